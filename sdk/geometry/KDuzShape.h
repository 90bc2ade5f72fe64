// A blend target of a geometry: its own control points (and layers), which
// the geometry keeps under a shape name and blends towards.
#pragma once

#include "sdk/geometry/KDuzGeometryBase.h"

namespace duzsdk {

class KDuzShape : public KDuzGeometryBase {
public:
    KDuzShape(KDuzSdkManager* manager, const char* name);
    ~KDuzShape() override;

    static KDuzShape* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;
    void PostCreate() override;
    // The layers and control points of the other shape (or of any geometry,
    // which is how a shape starts as a copy of its geometry).
    bool CopyFrom(const KDuzShape& other) { return KDuzGeometryBase::CopyFrom(other); }
    using KDuzGeometryBase::CopyFrom;
    // Mode 2: an unnamed shape with this shape's points and layers; other
    // modes give null.
    KDuzObject* Clone(int mode) override;
};

}  // namespace duzsdk
