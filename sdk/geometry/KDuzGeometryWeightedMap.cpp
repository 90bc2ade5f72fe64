#include "sdk/geometry/KDuzGeometryWeightedMap.h"

#include <new>

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzGeometryWeightedMap_internal");
constexpr const char* kWeightedMapErrors[] = {"Error"};

class KDuzGeometryWeightedMap_internal : public KDuzObject_internal {
public:
    explicit KDuzGeometryWeightedMap_internal(KDuzObject* object) : KDuzObject_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }
};

}  // namespace

KDuzGeometryWeightedMap::KDuzGeometryWeightedMap(KDuzSdkManager* manager, const char* name)
    : KDuzObject(manager, name), mError(kWeightedMapErrors, 1) {}

KDuzGeometryWeightedMap::~KDuzGeometryWeightedMap() = default;

KDuzGeometryWeightedMap* KDuzGeometryWeightedMap::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzGeometryWeightedMap*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzGeometryWeightedMap::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* map = new (std::nothrow) KDuzGeometryWeightedMap(manager, name);
    if (map != nullptr) map->PostCreate();
    return map;
}

KClassId KDuzGeometryWeightedMap::ClassId() { return KDuzClassIdOf(eDuzClassGeometryWeightedMap); }

KClassId KDuzGeometryWeightedMap::GetClassId() const { return ClassId(); }

void KDuzGeometryWeightedMap::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzGeometryWeightedMap_internal(this));
    KDuzObject::PostCreate();
}

void KDuzGeometryWeightedMap::DestroyContents(bool recursive, bool dependents) {
    mMapping.reset();
    KDuzObject::DestroyContents(recursive, dependents);
}

bool KDuzGeometryWeightedMap::CopyFrom(const KDuzGeometryWeightedMap& other) {
    if (&other == this) return true;
    // A fresh copy: this map may have no mapping of its own to copy into.
    if (other.mMapping == nullptr)
        mMapping.reset();
    else
        mMapping = std::make_unique<KSparseWeightMatrix>(*other.mMapping);
    return true;
}

KDuzObject* KDuzGeometryWeightedMap::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzGeometryWeightedMap* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

}  // namespace duzsdk
