#include "sdk/geometry/KDuzShape.h"

#include <new>

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

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

KDuzObject* KDuzShape::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzShape* clone = Create(GetSdkManager(), "");
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

}  // namespace duzsdk
