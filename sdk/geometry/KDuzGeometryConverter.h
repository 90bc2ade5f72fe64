// Turns one kind of geometry into another so that writers and the game can
// work with triangle meshes: triangulates meshes, tessellates patches and
// NURBS surfaces through the surface evaluators, converts NURBS surfaces
// into NURBs, swaps U and V of NURBS geometry and gives every polygon
// vertex of a mesh its own control point. Layer elements, shapes, skin
// clusters and shape-channel curves come along.
#pragma once

#include "sdk/object/KDuzObject.h"

#include <vector>

namespace duzsdk {

class KDuzCluster;
class KDuzGeometry;
class KDuzMesh;
class KDuzNode;
class KDuzNurb;
class KDuzNurbsSurface;
class KDuzPatch;
class KDuzSurfaceEvaluator;
class KSparseWeightMatrix;

// The triangles of a polygon of n >= 3 corners, as 3 * (n - 2) corner
// numbers written to out: (0, 1, 2), (2, 3, 0), then pairs (a, f, b),
// (f, f + 1, b) taken alternately from the front and the back. Purely
// combinatorial. Returns the count written; 0 for n < 3.
int KDuzTriangulatePolygonIndices(int n, int* out);

class KDuzGeometryConverter : public KDuzObject {
public:
    KDuzGeometryConverter(KDuzSdkManager* manager, const char* name);
    ~KDuzGeometryConverter() override;

    static KDuzGeometryConverter* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;

    // ---- on a node: the node's geometry is replaced and destroyed ----
    // Mesh, patch, NURB or NURBS surface to a triangle mesh; false (node
    // untouched) for any other attribute or when nothing can be made.
    bool TriangulateInPlace(KDuzNode* node);
    // A NURBS surface to an equivalent NURB; false otherwise.
    bool ConvertNurbsSurfaceInPlace(KDuzNode* node);

    // ---- new objects, owned by the manager, connected to nothing ----
    KDuzMesh* TriangulateMesh(const KDuzMesh* mesh);
    // Null when the patch or NURB cannot be sampled (too few control
    // points, no span, an order outside 1 to 4).
    KDuzMesh* TriangulatePatch(const KDuzPatch* patch);
    KDuzMesh* TriangulateNurb(const KDuzNurb* nurb);
    KDuzNurb* ConvertNurbsSurfaceToNurb(const KDuzNurbsSurface* surface);
    // Null for a null source; with neither flag an unchanged copy.
    KDuzNurb* SwapNurbUV(const KDuzNurb* nurb, bool swapUV, bool swapLinks);
    KDuzNurbsSurface* SwapNurbsSurfaceUV(const KDuzNurbsSurface* surface, bool swapUV, bool swapLinks);

    // ---- in place on a mesh ----
    // One control point per polygon vertex; every element mapped by
    // control point follows, in the mesh and its shapes. False, nothing
    // changed, when the mesh does not qualify.
    bool ExpandControlPointsPerPolygonVertex(KDuzMesh* mesh);
    // The normals of the mesh and of each shape mapped by polygon vertex;
    // false when a shape's control-point count differs from the mesh's or
    // normals do not cover the control points.
    bool ConvertShapeNormals(KDuzMesh* mesh);

private:
    bool ReplaceNodeAttribute(KDuzNode* node, KDuzGeometry* geometry);
    KDuzMesh* Tessellate(const KDuzGeometry& source, KDuzSurfaceEvaluator& evaluator, bool uClosed, bool vClosed);
    void BuildSurfaceMeshTopology(KDuzMesh& mesh, int nu, int nv, bool uClosed, bool vClosed, bool winding);
    void ConvertSkin(const KDuzGeometry& source, KDuzGeometry& target, KSparseWeightMatrix& weights);
    // The skin and shapes of a NURBS geometry into its U/V-swapped copy.
    void CarrySwappedDeformers(const KDuzGeometry& source, KDuzGeometry& copy, int nu, int nv, bool swapUV,
                               bool swapLinks);
    std::vector<KDuzCluster*> ConvertClusters(const std::vector<KDuzCluster*>& clusters, int sourceCount,
                                              KSparseWeightMatrix& weights);
};

}  // namespace duzsdk
