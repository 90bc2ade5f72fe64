#include "sdk/geometry/KDuzShape.h"

#include <new>

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugType.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzShape_internal");

class KDuzShape_internal : public KDuzNodeAttribute_internal {
public:
    explicit KDuzShape_internal(KDuzObject* object) : KDuzNodeAttribute_internal(object) {}
    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }
};

}  // namespace

KDuzShape::KDuzShape(KDuzSdkManager* manager, const char* name) : KDuzGeometryBase(manager, name) {}

KDuzShape::~KDuzShape() = default;

KDuzShape* KDuzShape::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzShape*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzShape::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* shape = new (std::nothrow) KDuzShape(manager, name);
    if (shape != nullptr) shape->PostCreate();
    return shape;
}

KClassId KDuzShape::ClassId() { return KDuzClassIdOf(eDuzClassShape); }

KClassId KDuzShape::GetClassId() const { return ClassId(); }

void KDuzShape::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzShape_internal(this));
    KDuzGeometryBase::PostCreate();
}

KDuzObject* KDuzShape::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzShape* clone = Create(GetSdkManager(), "");
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

}  // namespace duzsdk
