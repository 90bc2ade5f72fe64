#include "sdk/scene/KDuzNull.h"

#include "sdk/base/KStringList.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KPlugHandle.h"
#include "sdk/object/KPropertySlotTable.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzNull_internal");

}  // namespace

// Size and look are slots made when asked for; their values live here, so
// a null that is only read and written makes neither.
class KDuzNull_internal : public KDuzNodeAttribute_internal {
public:
    enum Slot : int { eColorSlot, eSizeSlot, eLookSlot };

    explicit KDuzNull_internal(KDuzObject* object) : KDuzNodeAttribute_internal(object, &SlotTable()) {}

    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }

    double GetSize() {
        double value = size;
        if (KProperty* made = PeekProperty(eSizeSlot)) made->GetValue(&value);
        return value;
    }
    int GetLook() {
        int value = look;
        if (KProperty* made = PeekProperty(eLookSlot)) made->GetValue(&value);
        return value;
    }
    // Through the property, with its events, unless nothing could hear them.
    void SetSize(double value) {
        if (Unheard(eSizeSlot)) size = value;
        else if (KProperty* property = MaterializeSlot(eSizeSlot)) property->SetValue(&value);
    }
    void SetLook(int value) {
        if (Unheard(eLookSlot)) look = value;
        else if (KProperty* property = MaterializeSlot(eLookSlot)) property->SetValue(&value);
    }

    double size = 0.0;
    int look = 0;

private:
    bool Unheard(int slot) const {
        return PeekProperty(slot) == nullptr && GetPropertyCount() > slot && !HasListeners() &&
               GetOwner() == nullptr && (!KPlugSystemIsActive() || GetContainer() == nullptr);
    }

    static void MakeSlot(KObject* owner, int slot) {
        if (slot == eColorSlot) {
            MakeColorSlot(owner);
        } else if (slot == eSizeSlot) {
            auto* property = new KPropertyTemplate<double>(owner, "Size");
            property->GetInfo().getter = [](KPlug* plug, void* out) {
                *static_cast<double*>(out) = static_cast<KDuzNull_internal*>(plug)->size;
            };
            property->GetInfo().setter = [](KPlug* plug, const void* in) {
                static_cast<KDuzNull_internal*>(plug)->size = *static_cast<const double*>(in);
            };
            property->GetValue(nullptr);
        } else if (slot == eLookSlot) {
            auto* property = new KPropertyTemplate<int>(owner, "Look", KDataTypeFindByName("Enum"), false, nullptr,
                                                        0, eKPropEnum);
            KStringList* texts = property->GetEnumList(true);
            texts->Append("None");
            texts->Append("Cross");
            property->GetInfo().getter = [](KPlug* plug, void* out) {
                *static_cast<int*>(out) = static_cast<KDuzNull_internal*>(plug)->look;
            };
            property->GetInfo().setter = [](KPlug* plug, const void* in) {
                static_cast<KDuzNull_internal*>(plug)->look = *static_cast<const int*>(in);
            };
            property->GetValue(nullptr);
        }
    }

    static const KPropertySlotTable& SlotTable() {
        constexpr int kPlain = KPropertyInfo::kOwned | KPropertyInfo::kOwnedName;
        static const KPropertySlotTable table({{"Color", kColorSlotFlags}, {"Size", kPlain}, {"Look", kPlain}},
                                              &MakeSlot);
        return table;
    }
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
        twin->SetSize(GetDefaultSize());
        twin->SetLook(eCross);
    }
    mSizeSet = false;
}

void KDuzNull::SetSize(double size) {
    if (KDuzNull_internal* twin = Twin(this)) twin->SetSize(size);
    mSizeSet = true;
}

double KDuzNull::GetSize() const {
    KDuzNull_internal* twin = Twin(this);
    return twin != nullptr ? twin->GetSize() : GetDefaultSize();
}

void KDuzNull::SetLook(ELook look) {
    if (KDuzNull_internal* twin = Twin(this)) twin->SetLook(static_cast<int>(look));
}

KDuzNull::ELook KDuzNull::GetLook() const {
    KDuzNull_internal* twin = Twin(this);
    return twin != nullptr ? static_cast<ELook>(twin->GetLook()) : eCross;
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
