// How the control points of one geometry map onto those of another, with
// weights. The map is a source of the geometry that owns it.
#pragma once

#include <memory>

#include "sdk/base/KErrorState.h"
#include "sdk/geometry/KSparseWeightMatrix.h"
#include "sdk/object/KDuzObject.h"

namespace duzsdk {

class KDuzGeometryWeightedMap : public KDuzObject {
public:
    KDuzGeometryWeightedMap(KDuzSdkManager* manager, const char* name);
    ~KDuzGeometryWeightedMap() override;

    static KDuzGeometryWeightedMap* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;
    void PostCreate() override;
    void DestroyContents(bool recursive, bool dependents) override;
    int GetNameKind() const override { return eDuzNameKindGeometryWeightedMap; }
    // Mode 2: a map of this name with a copy of the mapping; other modes null.
    KDuzObject* Clone(int mode) override;

    // The mapping: side 0 has one row per source point, side 1 one per
    // destination point. Null until one is set.
    KSparseWeightMatrix* GetMapping() const { return mMapping.get(); }
    // Takes ownership; null clears.
    void SetMapping(std::unique_ptr<KSparseWeightMatrix> mapping) { mMapping = std::move(mapping); }
    // A deep copy of the other's mapping (none when it has none).
    bool CopyFrom(const KDuzGeometryWeightedMap& other);
    KErrorState& GetError() { return mError; }

private:
    std::unique_ptr<KSparseWeightMatrix> mMapping;
    KErrorState mError;
};

}  // namespace duzsdk
