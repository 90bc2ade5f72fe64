// Writes the meshes of a scene as a DXF text file: one layer and one
// polyface mesh (POLYLINE, VERTEX ... SEQEND) per mesh node, in world
// coordinates. Patches and NURBS are triangulated into meshes first;
// material colours become DXF colour numbers.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "sdk/base/KString.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/formats/KDuzWriteMeshes.h"
#include "sdk/io/KDuzWriter.h"

namespace duzsdk {

class KDuzMesh;
class KDuzNode;
class KDuzSurfaceMaterial;

class KDuzWriterDxf : public KDuzWriter {
public:
    explicit KDuzWriterDxf(KDuzSdkManager* manager);
    ~KDuzWriterDxf() override;

    bool FileCreate(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    KDuzStreamOptions* GetWriteOptions() override;
    bool Write(KDuzScene* scene, KDuzStreamOptions* options) override;
    bool PreprocessScene(KDuzScene* scene) override;
    bool PostprocessScene(KDuzScene* scene) override;

    // The DXF colour number nearest to a colour (channels 0 to 1).
    static int RgbToColorIndex(double r, double g, double b);
    // The colour number of a material's diffuse colour times its factor.
    static int MaterialColour(const KDuzSurfaceMaterial* material);

    // Every element of the matrix times the factor.
    static KgeMatrix ScaleMatrix(const KgeMatrix& matrix, double factor);
    // Points of a mesh with its shapes applied at their channels' values.
    static void ApplyShapes(KDuzMesh& mesh, std::vector<KgeTVector>& points);
    // Points of a mesh moved by its first skin, for a mesh node whose
    // global matrix is given.
    static void ApplySkin(KDuzNode& node, KDuzMesh& mesh, std::vector<KgeTVector>& points);
    // A node's matrix rebuilt from its local translation, rotation and
    // scaling, and that composed with its ancestors' up to the root.
    static KgeMatrix ComputeLocalMatrix(const KDuzNode& node);
    static KgeMatrix ComputeGlobalMatrix(const KDuzNode& node);

private:
    void Line(const char* text);
    void Pair(const char* code, const char* value);
    void IntPair(const char* code, int value);
    void RealPair(const char* code, double value);
    void WriteLayers(KDuzNode* node);
    void WriteMeshEntities(KDuzNode* node);
    // `mesh` gives the faces; `points` (the node's own mesh when the faces
    // were made from it, so with the same points) gives the deformed points.
    void WriteMesh(KDuzNode* node, KDuzMesh* mesh, KDuzMesh* points);
    std::string NameOf(const KDuzNode* node) const;

    FILE* mFile = nullptr;
    KString mPath;
    bool mTriangulate = true;
    bool mDeformation = true;
    bool mWriteHidden = true;
    std::string mOut;
    KDuzWriteMeshes mMeshes;
};

}  // namespace duzsdk
