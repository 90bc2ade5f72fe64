// A NURBS surface cut by closed boundaries in its parameter space. The
// surface and the boundaries are connected sources; the boundaries are
// grouped into regions, each its outer boundary followed by its holes. The
// control points and shapes it shows are those of the surface it trims.
#pragma once

#include "sdk/geometry/KDuzGeometry.h"

#include <vector>

namespace duzsdk {

class KDuzBoundary;
class KDuzNurbsSurface;

class KDuzTrimNurbsSurface_internal : public KDuzGeometry_internal {
public:
    explicit KDuzTrimNurbsSurface_internal(KDuzObject* object) : KDuzGeometry_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override;
    int GetStaticTypeNumber() const override;
};

// The geometry's messages and one of the trimmed surface's own.
inline constexpr const char* kDuzTrimNurbsSurfaceErrorTexts[] = {
    "Parameter out of range.", "Parameter is NULL.",    "Material not found.",
    "Material already added.", "Texture not found.",    "Texture already added.",
    "Shape already added.",    "Shape name is invalid.", "Shape name is already used.",
    "No shape curve found.",   "No NURBS surface.",
};

class KDuzTrimNurbsSurface : public KDuzGeometry {
public:
    // Set when a forwarded operation finds no NURBS surface.
    static constexpr int eNoNurbsSurface = 10;

    KDuzTrimNurbsSurface(KDuzSdkManager* manager, const char* name);
    ~KDuzTrimNurbsSurface() override;

    static KDuzTrimNurbsSurface* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();

    KClassId GetClassId() const override;
    void PostCreate() override;
    KDuzObject* Clone(int mode) override;
    KString GetTypeName() const override { return KString("TrimNurbsSurface"); }
    int GetAttributeType() const override { return eTrimNurbsSurface; }

    // ---- forwarded to the trimmed NURBS surface ----
    KgeTVector* SetControlPointAt(const KgeTVector& point, const KgeTVector& normal, int index) override;
    int GetControlPointsCount() const override;
    KgeTVector* GetControlPoints() override;
    const KgeTVector* GetControlPoints() const override;
    // Adds the shape to the surface; on success and when attached, the
    // shape's channel by its name on this trimmed surface in every take of
    // the node. The index, or -1 when refused or not attached.
    int AddShape(KDuzShape* shape, const char* name) override;
    void ClearShape() override;
    int GetShapeCount() const override;
    KDuzShape* GetShape(int index) override;
    const char* GetShapeName(int index) override;
    KFCurve* GetShapeChannel(KDuzTakeNode* takeNode, int index) override;

    // ---- surface and boundaries ----
    // Disconnects every connected surface, then connects this one (when not null).
    void SetNurbsSurface(KDuzNurbsSurface* surface);
    KDuzNurbsSurface* GetNurbsSurface() const;
    // Boundaries of a region; -1 for a region out of range.
    int GetBoundaryCount(int region = 0) const;
    // Null for a region out of range or an index outside its boundaries.
    KDuzBoundary* GetBoundary(int index, int region = 0) const;
    int GetRegionCount() const { return static_cast<int>(mRegionEnds.size()); }
    // The position of each region's last boundary among the connected ones.
    const std::vector<int>& GetRegionEnds() const { return mRegionEnds; }
    // Connects the boundary: the first after construction, a copy or
    // BeginRegion opens a region as its outer boundary, the others join the
    // last region as holes. False for null, for a boundary without
    // "OuterBoundary" or when it cannot be connected.
    bool AddBoundary(KDuzBoundary* boundary);
    // The next boundary added opens a new region.
    void BeginRegion() { mNewRegion = true; }
    // Destroys every connected boundary, last first, and forgets the regions.
    void ClearBoundaries();
    // Connects a clone of each of the other's boundaries, in order and
    // with their "OuterBoundary" values, and rebuilds the regions.
    void CopyBoundaries(const KDuzTrimNurbsSurface& other);
    // The region ends from the connected boundaries' "OuterBoundary"
    // values, in connection order; the first boundary is always outer.
    void RebuildRegions();
    // Unless other is this: its boundaries (cloned), its surface (shared),
    // flip-normals flag and regions, then the geometry part.
    bool Copy(const KDuzTrimNurbsSurface& other);

    void SetFlipNormals(bool flag) { mFlipNormals = flag; }
    bool GetFlipNormals() const { return mFlipNormals; }

private:
    std::vector<KDuzBoundary*> Boundaries() const;

    bool mFlipNormals = false;
    std::vector<int> mRegionEnds;
    bool mNewRegion = true;
};

}  // namespace duzsdk
