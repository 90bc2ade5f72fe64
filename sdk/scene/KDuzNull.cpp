#include "sdk/scene/KDuzNull.h"

#include "sdk/base/KStringList.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzNull_internal");

}  // namespace

class KDuzNull_internal : public KDuzNodeAttribute_internal {
public:
    explicit KDuzNull_internal(KDuzObject* object)
        : KDuzNodeAttribute_internal(object),
          size(new KPropertyTemplate<double>(this, "Size")),
          look(new KPropertyTemplate<int>(this, "Look", KDataTypeFindByName("Enum"), false, nullptr, 0,
                                          eKPropEnum)) {
        KStringList* texts = look->GetEnumList(true);
        texts->Append("None");
        texts->Append("Cross");
    }

    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }

    // Owned by the property array.
    KPropertyTemplate<double>* size;
    KPropertyTemplate<int>* look;
};

namespace {

KDuzNull_internal* Twin(const KDuzNull* null) {
    return static_cast<KDuzNull_internal*>(const_cast<KDuzNull*>(null)->GetInternalObject());
}

}  // namespace

KDuzNull::KDuzNull(KDuzSdkManager* manager, const char* name) : KDuzNodeAttribute(manager, name) {
    SetInternalObject(new KDuzNull_internal(this));
    Reset();
    WrapInternalProperties();
}

KDuzNull::~KDuzNull() = default;

KDuzNull* KDuzNull::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzNull*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzNull::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* null = new KDuzNull(manager, name);
    null->PostCreate();
    return null;
}

KClassId KDuzNull::ClassId() { return KDuzClassIdOf(eDuzClassNull); }

KClassId KDuzNull::GetClassId() const { return ClassId(); }

KStringList KDuzNull::GetTypeFlags() const {
    KStringList list;
    list.Append("Null");
    return list;
}

void KDuzNull::Reset() {
    if (KDuzNull_internal* twin = Twin(this)) {
        twin->size->Set(GetDefaultSize());
        twin->look->Set(eCross);
    }
    mSizeSet = false;
}

void KDuzNull::SetSize(double size) {
    if (KDuzNull_internal* twin = Twin(this)) twin->size->Set(size);
    mSizeSet = true;
}

double KDuzNull::GetSize() const {
    KDuzNull_internal* twin = Twin(this);
    return twin != nullptr ? twin->size->Get() : GetDefaultSize();
}

void KDuzNull::SetLook(ELook look) {
    if (KDuzNull_internal* twin = Twin(this)) twin->look->Set(static_cast<int>(look));
}

KDuzNull::ELook KDuzNull::GetLook() const {
    KDuzNull_internal* twin = Twin(this);
    return twin != nullptr ? static_cast<ELook>(twin->look->Get()) : eCross;
}

void KDuzNull::Copy(const KDuzNull& other) {
    if (&other == this) return;
    Reset();
    SetLook(other.GetLook());
    SetSize(other.GetSize());
    mSizeSet = other.mSizeSet;
}

KDuzObject* KDuzNull::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzNull* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->Copy(*this);
    return clone;
}

}  // namespace duzsdk
