// Control points over the layers: the part every geometry and every shape
// shares.
#pragma once

#include "sdk/base/KgeTVector.h"
#include "sdk/geometry/KDuzLayerContainer.h"

namespace duzsdk {

class KDuzGeometryBase : public KDuzLayerContainer {
public:
    // Upper bound of control-point counts and indices (2^26 points, 2 GB),
    // far above any real model; a count or index read from a file beyond
    // it is refused instead of allocated.
    static constexpr int kMaxControlPoints = 1 << 26;

    KDuzGeometryBase(KDuzSdkManager* manager, const char* name);
    ~KDuzGeometryBase() override;

    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;

    // Empties the control points, then sizes them to count zeroed points.
    // False (points emptied) for a negative count or one above the limit.
    virtual bool InitControlPoints(int count);
    // Only when layer 0 has a normal element: grows the control points and
    // the normals to index + 1 when needed, stores both at index and returns
    // the stored normal. Null otherwise, and for a negative or too large index.
    virtual KgeTVector* SetControlPointAt(const KgeTVector& point, const KgeTVector& normal, int index);
    virtual int GetControlPointsCount() const { return mControlPoints.Count(); }
    // The points (null when there are none); GetControlPointsCount entries.
    virtual KgeTVector* GetControlPoints() { return mControlPoints.Data(); }
    virtual const KgeTVector* GetControlPoints() const { return mControlPoints.Data(); }
    KTypedArray<KgeTVector>& GetControlPointArray() { return mControlPoints; }
    const KTypedArray<KgeTVector>& GetControlPointArray() const { return mControlPoints; }

    // Layer 0's normal vectors; null when layer 0 or its normal element is
    // missing. Their count is the element's direct-array count.
    KgeTVector* GetNormals() const;
    // Makes layer 0 and its normal element when missing; maps by control
    // point, or by polygon vertex when count is set and differs from the
    // control-point count; direct; count zeroed normals (the control-point
    // count for 0). False for a negative or too large count or when
    // something cannot be made.
    bool InitNormals(int count = 0);

    // The other's layers (as new elements) and control points.
    bool CopyFrom(const KDuzGeometryBase& other);

private:
    // Small blocks: most geometries are small, and a count read from a file
    // sizes the array at once (InitControlPoints).
    KTypedArray<KgeTVector> mControlPoints{8};
};

}  // namespace duzsdk
