#include "sdk/geometry/KDuzSurfaceMaterial.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/KPropertySlotTable.h"
#include "sdk/object/KPropertyTemplate.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <array>
#include <cmath>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzSurfaceMaterial_internal");
constexpr const char* kMaterialErrors[] = {kDuzMaterialErrorTakeNode};

enum class Kind { Text, Flag, Number, Triple };

struct BuiltInRow {
    const char* name;
    const char* dataType;
    Kind kind;
};

// In the order of EDuzMaterialProperty. The Lambert and Phong rows are
// checked against the public tables below, which give their defaults.
constexpr BuiltInRow kBuiltIns[eMaterialPropertyCount] = {
    {"ShadingModel", "KString", Kind::Text},
    {"MultiLayer", "Bool", Kind::Flag},
    {"EmissiveColor", "Color", Kind::Triple},
    {"EmissiveFactor", "Number", Kind::Number},
    {"AmbientColor", "Color", Kind::Triple},
    {"AmbientFactor", "Number", Kind::Number},
    {"DiffuseColor", "Color", Kind::Triple},
    {"DiffuseFactor", "Number", Kind::Number},
    {"Bump", "Vector", Kind::Triple},
    {"TransparentColor", "Color", Kind::Triple},
    {"TransparencyFactor", "Number", Kind::Number},
    {"SpecularColor", "Color", Kind::Triple},
    {"SpecularFactor", "Number", Kind::Number},
    {"ShininessExponent", "Number", Kind::Number},
    {"ReflectionColor", "Color", Kind::Triple},
    {"ReflectionFactor", "Number", Kind::Number},
};

constexpr bool RowsMatch(const KDuzMaterialPropertyRow* rows, size_t count, int first) {
    for (size_t i = 0; i < count; ++i) {
        if (std::string_view(rows[i].name) != kBuiltIns[first + static_cast<int>(i)].name ||
            std::string_view(rows[i].dataType) != kBuiltIns[first + static_cast<int>(i)].dataType)
            return false;
    }
    return true;
}
static_assert(kDuzMaterialBuiltInCount + std::size(kDuzLambertProperties) == kDuzLambertBuiltInCount);
static_assert(kDuzLambertBuiltInCount + std::size(kDuzPhongProperties) == eMaterialPropertyCount);
static_assert(RowsMatch(kDuzLambertProperties, std::size(kDuzLambertProperties), kDuzMaterialBuiltInCount));
static_assert(RowsMatch(kDuzPhongProperties, std::size(kDuzPhongProperties), kDuzLambertBuiltInCount));

constexpr int kBuiltInInfoFlags = KPropertyInfo::kOwned | KPropertyInfo::kOwnedName;

// Getter and setter of built-in Id: they read and write the value the
// internal object keeps, so that the value outlives its property.
template <int Id>
void BuiltInGetter(KPlug* owner, void* out) {
    const auto* internal = static_cast<const KDuzSurfaceMaterial_internal*>(owner);
    if (internal == nullptr || out == nullptr) return;
    const double* values = internal->Values(Id);
    switch (kBuiltIns[Id].kind) {
        case Kind::Text: *static_cast<KString*>(out) = internal->ShadingModelText(); break;
        case Kind::Flag: *static_cast<bool*>(out) = values[0] != 0.0; break;
        case Kind::Number: *static_cast<double*>(out) = values[0]; break;
        case Kind::Triple: std::memcpy(static_cast<KgeTVector*>(out)->Data(), values, 4 * sizeof(double)); break;
    }
}

template <int Id>
void BuiltInSetter(KPlug* owner, const void* in) {
    auto* internal = static_cast<KDuzSurfaceMaterial_internal*>(owner);
    if (internal == nullptr || in == nullptr) return;
    double* values = internal->MutableValues(Id);
    switch (kBuiltIns[Id].kind) {
        case Kind::Text: internal->MutableShadingModelText() = *static_cast<const KString*>(in); break;
        case Kind::Flag: values[0] = *static_cast<const bool*>(in) ? 1.0 : 0.0; break;
        case Kind::Number: values[0] = *static_cast<const double*>(in); break;
        case Kind::Triple:
            std::memcpy(values, static_cast<const KgeTVector*>(in)->Data(), 4 * sizeof(double));
            break;
    }
}

struct Accessors {
    KPropertyGetter getter;
    KPropertySetter setter;
};

template <std::size_t... I>
constexpr std::array<Accessors, sizeof...(I)> MakeAccessors(std::index_sequence<I...>) {
    return {{Accessors{&BuiltInGetter<static_cast<int>(I)>, &BuiltInSetter<static_cast<int>(I)>}...}};
}

constexpr std::array<Accessors, eMaterialPropertyCount> kAccessors =
    MakeAccessors(std::make_index_sequence<eMaterialPropertyCount>());

// The default of a built-in number or colour: the public tables' value; a
// stored vector carries w = 1 as the internal vector templates do.
void DefaultValues(int id, double out[4]) {
    out[0] = out[1] = out[2] = 0.0;
    out[3] = 1.0;
    const KDuzMaterialPropertyRow* row = nullptr;
    if (id >= kDuzMaterialBuiltInCount && id < kDuzLambertBuiltInCount)
        row = &kDuzLambertProperties[id - kDuzMaterialBuiltInCount];
    else if (id >= kDuzLambertBuiltInCount && id < eMaterialPropertyCount)
        row = &kDuzPhongProperties[id - kDuzLambertBuiltInCount];
    if (row == nullptr) return;   // the shading model and the flag start empty
    const int count = kBuiltIns[id].kind == Kind::Triple ? 3 : 1;
    for (int i = 0; i < count; ++i) out[i] = row->value[i];
}

template <typename T>
T* CreateThrough(KDuzSdkManager* manager, const KClassId& classId, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<T*>(manager->CreateObject(classId, name));
}

template <typename T>
KDuzPlug* ConstructAndPostCreate(KDuzSdkManager* manager, const char* name) {
    T* material = new (std::nothrow) T(manager, name);
    if (material == nullptr) return nullptr;
    // The constructor made the internal object; this step keeps it.
    material->PostCreate();
    return material;
}

}  // namespace

// ---- internal --------------------------------------------------------------------

namespace {

const KPropertySlotTable* SlotTableOf(int builtInCount, KPropertySlotTable::Factory factory) {
    auto make = [factory](int count) {
        std::vector<KPropertySlotTable::Row> rows;
        for (int i = 0; i < count; ++i) rows.push_back({kBuiltIns[i].name, kBuiltInInfoFlags});
        return KPropertySlotTable(std::move(rows), factory);
    };
    static const KPropertySlotTable base = make(kDuzMaterialBuiltInCount);
    static const KPropertySlotTable lambert = make(kDuzLambertBuiltInCount);
    static const KPropertySlotTable phong = make(eMaterialPropertyCount);
    if (builtInCount <= kDuzMaterialBuiltInCount) return &base;
    if (builtInCount <= kDuzLambertBuiltInCount) return &lambert;
    return &phong;
}

}  // namespace

KDuzSurfaceMaterial_internal::KDuzSurfaceMaterial_internal(KDuzSurfaceMaterial* material, int builtInCount)
    : KDuzTakeNodeContainer_internal(material) {
    const KPropertySlotTable* table = SlotTableOf(builtInCount, &MakeSlot);
    mBuiltInCount = table->GetCount();
    for (int id = 0; id < eMaterialPropertyCount; ++id) DefaultValues(id, mValues[id]);
    ListSlots(table);
}

KPlugTypeInfo* KDuzSurfaceMaterial_internal::GetPlugTypeInfo() const {
    return PlugTypeInfoGetRecord(kTypeNumber);
}

int KDuzSurfaceMaterial_internal::GetStaticTypeNumber() const { return kTypeNumber; }

void KDuzSurfaceMaterial_internal::MakeSlot(KObject* owner, int slot) {
    auto* internal = static_cast<KDuzSurfaceMaterial_internal*>(owner);
    if (internal == nullptr || slot < 0 || slot >= internal->mBuiltInCount) return;
    // Made the way binding a public property makes an internal one, so
    // that a handle made late shows what an early one did.
    const PropertyDataType type = PropertyDataTypeFromName(kBuiltIns[slot].dataType);
    const KDataType* dataType = KDataTypeFindByName(type.GetName());
    int code = dataType != nullptr ? KDataTypeToPropertyTypeCode(dataType) : KPropertyTypeFromName(type.GetName());
    if (code == eKPropCharPtr) code = eKPropString;
    KProperty* property = internal->AddNewProperty(kBuiltIns[slot].name, code, dataType, false);
    if (property == nullptr) return;
    property->InitPropertyFlags(internal->mPropertyFlags[slot]);
    property->GetInfo().getter = kAccessors[static_cast<size_t>(slot)].getter;
    property->GetInfo().setter = kAccessors[static_cast<size_t>(slot)].setter;
    // The template keeps a copy of the value it last read.
    property->GetValue(nullptr);
}

void KDuzSurfaceMaterial_internal::SlotReleased(int slot, KProperty* property) {
    // The value lives here already; the flags are kept for the next time.
    if (slot >= 0 && slot < eMaterialPropertyCount && property != nullptr)
        mPropertyFlags[slot] = property->GetPropertyFlags();
    KDuzTakeNodeContainer_internal::SlotReleased(slot, property);
}

bool KDuzSurfaceMaterial_internal::StoresQuietly(int id) const {
    if (id < 0 || id >= mBuiltInCount || GetPropertyCount() <= id || PeekProperty(id) != nullptr) return false;
    return !HasListeners() && GetOwner() == nullptr && (!KPlugSystemIsActive() || GetContainer() == nullptr);
}

void KDuzSurfaceMaterial_internal::MarkRead(int id) {
    if (id < 0 || id >= mBuiltInCount) return;
    // Without events, as no handle shows it: a reader's flag update sets
    // flag 8 whatever the file's letters say.
    if (KProperty* made = PeekProperty(id)) made->InitPropertyFlags(made->GetPropertyFlags() | 8);
    else mPropertyFlags[id] |= 8;
}

// ---- material ------------------------------------------------------------------------

KDuzSurfaceMaterial::KDuzSurfaceMaterial(KDuzSdkManager* manager, const char* name)
    : KDuzSurfaceMaterial(manager, name, kDuzMaterialBuiltInCount) {}

KDuzSurfaceMaterial::KDuzSurfaceMaterial(KDuzSdkManager* manager, const char* name, int builtInCount)
    : KDuzTakeNodeContainer(manager, name, &mMaterialError), mMaterialError(kMaterialErrors, 1) {
    auto* internal = new KDuzSurfaceMaterial_internal(this, builtInCount);
    SetInternalObject(internal);
    WrapInternalProperties();
    CreateDefaultTakeNode();
    const int count = internal->GetBuiltInCount();
    internal->MutableShadingModelText() = count == kDuzMaterialBuiltInCount  ? "unknown"
                                          : count == kDuzLambertBuiltInCount ? "Lambert"
                                                                             : "Phong";
}

KDuzSurfaceMaterial::~KDuzSurfaceMaterial() = default;

KDuzSurfaceMaterial* KDuzSurfaceMaterial::Create(KDuzSdkManager* manager, const char* name) {
    return CreateThrough<KDuzSurfaceMaterial>(manager, ClassId(), name);
}

KDuzPlug* KDuzSurfaceMaterial::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return ConstructAndPostCreate<KDuzSurfaceMaterial>(manager, name);
}

KClassId KDuzSurfaceMaterial::ClassId() { return KDuzClassIdOf(eDuzClassSurfaceMaterial); }

KClassId KDuzSurfaceMaterial::GetClassId() const { return ClassId(); }

KDuzSurfaceMaterial_internal* KDuzSurfaceMaterial::Twin() const {
    return static_cast<KDuzSurfaceMaterial_internal*>(const_cast<KDuzSurfaceMaterial*>(this)->GetInternalObject());
}

int KDuzSurfaceMaterial::EntryOfBuiltIn(int id) const {
    const KDuzSurfaceMaterial_internal* internal = Twin();
    if (internal == nullptr || id < 0 || id >= internal->GetBuiltInCount()) return -1;
    return FindEntryOfInternalSlot(id);
}

KDuzProperty KDuzSurfaceMaterial::GetBuiltIn(EDuzMaterialProperty id) const {
    const int index = EntryOfBuiltIn(id);
    if (index >= 0) return GetPropertyAt(index);
    // Taken out of the slots (renamed or removed): by name, as before.
    const KDuzSurfaceMaterial_internal* internal = Twin();
    if (internal == nullptr || id < 0 || id >= internal->GetBuiltInCount()) return KDuzProperty::Invalid;
    return FindPropertyOfType(kBuiltIns[id].name, PropertyDataTypeFromName(kBuiltIns[id].dataType), true);
}

void KDuzSurfaceMaterial::StoreBuiltIn(int id, const void* value, int kind) {
    KDuzSurfaceMaterial_internal* internal = Twin();
    if (internal == nullptr || id < 0 || id >= internal->GetBuiltInCount()) return;
    const int index = EntryOfBuiltIn(id);
    if (index >= 0 && !IsPropertyHandleMade(index) && internal->StoresQuietly(id)) {
        // What the property's setter would do, without the property.
        switch (kBuiltIns[id].kind) {
            case Kind::Text: internal->MutableShadingModelText() = *static_cast<const KString*>(value); break;
            case Kind::Flag: internal->MutableValues(id)[0] = *static_cast<const bool*>(value) ? 1.0 : 0.0; break;
            case Kind::Number: internal->MutableValues(id)[0] = *static_cast<const double*>(value); break;
            case Kind::Triple: std::memcpy(internal->MutableValues(id), value, 3 * sizeof(double)); break;
        }
        return;
    }
    KDuzProperty property = GetBuiltIn(static_cast<EDuzMaterialProperty>(id));
    if (property.IsValid()) property.SetValue(value, kind);
}

KString KDuzSurfaceMaterial::GetShadingModelText() const {
    const KDuzSurfaceMaterial_internal* internal = Twin();
    return internal != nullptr ? internal->ShadingModelText() : KString();
}

void KDuzSurfaceMaterial::SetShadingModelText(const KString& text) {
    StoreBuiltIn(eMaterialShadingModel, &text, eValueKindString);
}

bool KDuzSurfaceMaterial::GetMultiLayerValue() const {
    const KDuzSurfaceMaterial_internal* internal = Twin();
    return internal != nullptr && internal->Values(eMaterialMultiLayer)[0] != 0.0;
}

void KDuzSurfaceMaterial::SetMultiLayerValue(bool multiLayer) {
    StoreBuiltIn(eMaterialMultiLayer, &multiLayer, eValueKindBool);
}

double KDuzSurfaceMaterial::GetBuiltInDouble(EDuzMaterialProperty id) const {
    const KDuzSurfaceMaterial_internal* internal = Twin();
    if (internal == nullptr || id < 0 || id >= internal->GetBuiltInCount() || kBuiltIns[id].kind != Kind::Number)
        return 0.0;
    return internal->Values(id)[0];
}

KDuzSurfaceMaterial::Vector3 KDuzSurfaceMaterial::GetBuiltInDouble3(EDuzMaterialProperty id) const {
    const KDuzSurfaceMaterial_internal* internal = Twin();
    if (internal == nullptr || id < 0 || id >= internal->GetBuiltInCount() || kBuiltIns[id].kind != Kind::Triple)
        return Vector3(0.0, 0.0, 0.0);
    const double* values = internal->Values(id);
    return Vector3(values[0], values[1], values[2]);
}

void KDuzSurfaceMaterial::SetBuiltInDouble(EDuzMaterialProperty id, double value) {
    if (id >= 0 && id < eMaterialPropertyCount && kBuiltIns[id].kind == Kind::Number)
        StoreBuiltIn(id, &value, eValueKindDouble);
}

void KDuzSurfaceMaterial::SetBuiltInDouble3(EDuzMaterialProperty id, const Vector3& value) {
    if (id >= 0 && id < eMaterialPropertyCount && kBuiltIns[id].kind == Kind::Triple)
        StoreBuiltIn(id, &value, eValueKindDouble3);
}

bool KDuzSurfaceMaterial::CopyBuiltInAt(const KDuzSurfaceMaterial& source, int index) {
    const KDuzSurfaceMaterial_internal* from = source.Twin();
    const int slot = source.GetInternalSlotAt(index);
    if (from == nullptr || slot < 0 || slot >= from->GetBuiltInCount()) return false;
    // The first property of that name here is the same built-in, so it is
    // the one of that data type a search by name and type finds.
    const int target = EntryOfBuiltIn(slot);
    if (target < 0 || FindPropertyIndex(kBuiltIns[slot].name) != target) return false;
    const double* values = from->Values(slot);
    switch (kBuiltIns[slot].kind) {
        case Kind::Text: StoreBuiltIn(slot, &from->ShadingModelText(), eValueKindString); break;
        case Kind::Flag: {
            const bool flag = values[0] != 0.0;
            StoreBuiltIn(slot, &flag, eValueKindBool);
            break;
        }
        case Kind::Number: StoreBuiltIn(slot, &values[0], eValueKindDouble); break;
        case Kind::Triple: {
            const Vector3 triple(values[0], values[1], values[2]);
            StoreBuiltIn(slot, &triple, eValueKindDouble3);
            break;
        }
    }
    return true;
}

void KDuzSurfaceMaterial::CopyBuiltIns(const KDuzSurfaceMaterial& source, int first, int last) {
    const KDuzSurfaceMaterial_internal* from = source.Twin();
    if (from == nullptr) return;
    for (int id = first; id < last && id < from->GetBuiltInCount(); ++id) {
        const auto which = static_cast<EDuzMaterialProperty>(id);
        if (kBuiltIns[id].kind == Kind::Triple) {
            const Vector3 value = source.GetBuiltInDouble3(which);
            StoreBuiltIn(id, &value, eValueKindDouble3);
        } else if (kBuiltIns[id].kind == Kind::Number) {
            const double value = source.GetBuiltInDouble(which);
            StoreBuiltIn(id, &value, eValueKindDouble);
        }
    }
}

KDuzObject* KDuzSurfaceMaterial::Clone(int cloneType) {
    if (cloneType != 2) return nullptr;
    KDuzSurfaceMaterial* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

KDuzSurfaceMaterial& KDuzSurfaceMaterial::CopyFrom(const KDuzSurfaceMaterial& source) {
    if (&source == this) return *this;
    // The container drops its curve links before the take nodes they point
    // into, and links the copied default take again.
    CopyTakeNodes(source);
    const int count = source.GetPropertyCount();
    for (int i = 0; i < count; ++i) {
        // Built-ins on both sides go value to value: a copy (or a clone)
        // makes no handles either.
        if (CopyBuiltInAt(source, i)) continue;
        // The source is only read: its properties stay without handles.
        source.PeekPropertyAt(i, [&](KDuzProperty& from) {
            if (!from.IsValid()) return;
            KDuzProperty to = FindPropertyOfType(from.GetName(), from.GetDataType(), true);
            // A property of that name but another type stays; one of the
            // source's type is made beside it.
            if (!to.IsValid()) to = KDuzProperty::Create(this, from.GetName(), from.GetDataType(), "", true);
            if (to.IsValid()) to.CopyValue(from);
        });
    }
    return *this;
}

bool KDuzSurfaceMaterial::IsEqual(const KDuzSurfaceMaterial& other) const {
    // Both sides are only read: their properties stay without handles. The
    // other's indices by name, so that the look-ups stay linear.
    std::unordered_map<std::string, std::vector<int>> theirIndices;
    for (int j = 0; j < other.GetPropertyCount(); ++j) theirIndices[other.GetPropertyNameAt(j)].push_back(j);
    bool equal = true;
    for (int i = 0; i < GetPropertyCount() && equal; ++i) {
        PeekPropertyAt(i, [&](KDuzProperty& mine) {
            const auto named = theirIndices.find(mine.GetName());
            bool found = false;
            // The first of that name and data type, as FindPropertyOfType finds it.
            for (size_t k = 0; named != theirIndices.end() && k < named->second.size() && !found; ++k) {
                other.PeekPropertyAt(named->second[k], [&](KDuzProperty& theirs) {
                    if (!theirs.IsValid() || theirs.GetDataType() != mine.GetDataType()) return;
                    found = true;
                    equal = mine.ValueEquals(theirs);
                });
            }
            if (!found) equal = false;
        });
    }
    return equal;
}

void KDuzSurfaceMaterial::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KDuzObject_internal* internal = GetInternalObject();
    if (internal == nullptr || takeNode == nullptr) return;
    for (int i = 0; i < internal->GetPropertyCount(); ++i) {
        // Built-ins not made are not animatable: they stay unmade.
        if (!(internal->GetPropertyInfoFlags(i) & KPropertyInfo::kAnimatable)) continue;
        KProperty* property = internal->GetProperty(i);
        if (property != nullptr && property->TestInfoFlag2()) AddPropertyCurveNodes(property, takeNode);
    }
}

void KDuzSurfaceMaterial::SettleLateHandle(KDuzProperty& handle, const KProperty* property) const {
    const KDuzSurfaceMaterial_internal* internal = Twin();
    if (internal == nullptr || property == nullptr || property->GetOwnerObject() != internal) return;
    // Known by its getter, not by its slot: a built-in keeps it when a
    // rename or removal takes the properties out of their slots.
    bool builtIn = false;
    for (int id = 0; id < internal->GetBuiltInCount() && !builtIn; ++id)
        builtIn = property->GetInfo().getter == kAccessors[static_cast<size_t>(id)].getter;
    if (!builtIn) return;
    // As a built-in handle made with the material: flagged built-in, with
    // open limits; flag 8 of the internal property is not a letter of it.
    unsigned flags = kDuzPropertyBuiltIn;
    if (property->HasInfoFlag(KPropertyInfo::kAnimatable)) flags |= kDuzPropertyAnimatable;
    if (property->HasInfoFlag(KPropertyInfo::kUser)) flags |= kDuzPropertyUser;
    if (property->HasInfoFlag(0x080)) flags |= kDuzPropertyInfo128;
    handle.InitRecordSettings(flags, -HUGE_VAL, HUGE_VAL);
}

bool KDuzSurfaceMaterial::StoresReadValueWithoutHandle(int index) const {
    // A material's report of a change of a property that is not animatable
    // does nothing; its built-ins keep their values without properties.
    const KDuzSurfaceMaterial_internal* internal = Twin();
    const int slot = GetInternalSlotAt(index);
    return internal != nullptr && slot >= 0 && slot < internal->GetBuiltInCount();
}

void KDuzSurfaceMaterial::PropertyReadWithoutHandle(int index) {
    KDuzSurfaceMaterial_internal* internal = Twin();
    const int slot = GetInternalSlotAt(index);
    if (internal != nullptr && slot >= 0 && slot < internal->GetBuiltInCount()) internal->MarkRead(slot);
}

// ---- Lambert -------------------------------------------------------------------------

KDuzSurfaceLambert::KDuzSurfaceLambert(KDuzSdkManager* manager, const char* name)
    : KDuzSurfaceLambert(manager, name, kDuzLambertBuiltInCount) {}

KDuzSurfaceLambert::KDuzSurfaceLambert(KDuzSdkManager* manager, const char* name, int builtInCount)
    : KDuzSurfaceMaterial(manager, name, builtInCount) {}

KDuzSurfaceLambert::~KDuzSurfaceLambert() = default;

KDuzSurfaceLambert* KDuzSurfaceLambert::Create(KDuzSdkManager* manager, const char* name) {
    return CreateThrough<KDuzSurfaceLambert>(manager, ClassId(), name);
}

KDuzPlug* KDuzSurfaceLambert::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return ConstructAndPostCreate<KDuzSurfaceLambert>(manager, name);
}

KClassId KDuzSurfaceLambert::ClassId() { return KDuzClassIdOf(eDuzClassSurfaceLambert); }

KClassId KDuzSurfaceLambert::GetClassId() const { return ClassId(); }

KDuzObject* KDuzSurfaceLambert::Clone(int cloneType) {
    if (cloneType != 2) return nullptr;
    KDuzSurfaceLambert* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

KDuzSurfaceMaterial& KDuzSurfaceLambert::CopyFrom(const KDuzSurfaceMaterial& source) {
    KDuzSurfaceMaterial::CopyFrom(source);
    const auto* lambert = dynamic_cast<const KDuzSurfaceLambert*>(&source);
    if (lambert == nullptr || lambert == this) return *this;
    CopyBuiltIns(*lambert, kDuzMaterialBuiltInCount, kDuzLambertBuiltInCount);
    return *this;
}

// ---- Phong ---------------------------------------------------------------------------

KDuzSurfacePhong::KDuzSurfacePhong(KDuzSdkManager* manager, const char* name)
    : KDuzSurfaceLambert(manager, name, eMaterialPropertyCount) {}

KDuzSurfacePhong::~KDuzSurfacePhong() = default;

KDuzSurfacePhong* KDuzSurfacePhong::Create(KDuzSdkManager* manager, const char* name) {
    return CreateThrough<KDuzSurfacePhong>(manager, ClassId(), name);
}

KDuzPlug* KDuzSurfacePhong::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return ConstructAndPostCreate<KDuzSurfacePhong>(manager, name);
}

KClassId KDuzSurfacePhong::ClassId() { return KDuzClassIdOf(eDuzClassSurfacePhong); }

KClassId KDuzSurfacePhong::GetClassId() const { return ClassId(); }

KDuzObject* KDuzSurfacePhong::Clone(int cloneType) {
    if (cloneType != 2) return nullptr;
    KDuzSurfacePhong* clone = Create(GetSdkManager(), GetName());
    if (clone != nullptr) clone->CopyFrom(*this);
    return clone;
}

KDuzSurfaceMaterial& KDuzSurfacePhong::CopyFrom(const KDuzSurfaceMaterial& source) {
    KDuzSurfaceLambert::CopyFrom(source);
    const auto* phong = dynamic_cast<const KDuzSurfacePhong*>(&source);
    if (phong == nullptr || phong == this) return *this;
    CopyBuiltIns(*phong, kDuzLambertBuiltInCount, eMaterialPropertyCount);
    return *this;
}

}  // namespace duzsdk
