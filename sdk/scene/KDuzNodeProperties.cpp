// The node's property block and the operations that move values between the
// properties and the pivot sets and limits.
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeInternal.h"
#include "sdk/scene/KDuzNodeLimits.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KgeMath.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KPlugType.h"
#include "sdk/object/KPropertySlotTable.h"

#include <array>
#include <cstring>
#include <utility>

namespace duzsdk {

namespace {

using K = EDuzNodePropertyKind;

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzNode_internal");

}  // namespace

const KDuzNodePropertyRow kDuzNodeProperties[eNodePropertyCount] = {
    {eNodeQuaternionInterpolate, "QuaternionInterpolate", K::Bool, {0, 0, 0}},
    {eNodeVisibility, "Visibility", K::Channel, {1, 0, 0}},
    {eNodeLclTranslation, "Lcl Translation", K::Channel, {0, 0, 0}},
    {eNodeLclRotation, "Lcl Rotation", K::Channel, {0, 0, 0}},
    {eNodeLclScaling, "Lcl Scaling", K::Channel, {1, 1, 1}},
    {eNodeRotationOffset, "RotationOffset", K::Vector, {0, 0, 0}},
    {eNodeRotationPivot, "RotationPivot", K::Vector, {0, 0, 0}},
    {eNodeScalingOffset, "ScalingOffset", K::Vector, {0, 0, 0}},
    {eNodeScalingPivot, "ScalingPivot", K::Vector, {0, 0, 0}},
    {eNodeTranslationActive, "TranslationActive", K::Bool, {0, 0, 0}},
    {eNodeTranslationMin, "TranslationMin", K::Vector, {0, 0, 0}},
    {eNodeTranslationMax, "TranslationMax", K::Vector, {0, 0, 0}},
    {eNodeTranslationMinX, "TranslationMinX", K::Bool, {0, 0, 0}},
    {eNodeTranslationMinY, "TranslationMinY", K::Bool, {0, 0, 0}},
    {eNodeTranslationMinZ, "TranslationMinZ", K::Bool, {0, 0, 0}},
    {eNodeTranslationMaxX, "TranslationMaxX", K::Bool, {0, 0, 0}},
    {eNodeTranslationMaxY, "TranslationMaxY", K::Bool, {0, 0, 0}},
    {eNodeTranslationMaxZ, "TranslationMaxZ", K::Bool, {0, 0, 0}},
    {eNodeRotationOrder, "RotationOrder", K::Enum, {0, 0, 0}},
    {eNodeRotationSpaceForLimitOnly, "RotationSpaceForLimitOnly", K::Bool, {0, 0, 0}},
    {eNodeAxisLen, "AxisLen", K::Double, {10, 0, 0}},
    {eNodePreRotation, "PreRotation", K::Vector, {0, 0, 0}},
    {eNodePostRotation, "PostRotation", K::Vector, {0, 0, 0}},
    {eNodeRotationActive, "RotationActive", K::Bool, {0, 0, 0}},
    {eNodeRotationMin, "RotationMin", K::Vector, {0, 0, 0}},
    {eNodeRotationMax, "RotationMax", K::Vector, {0, 0, 0}},
    {eNodeRotationMinX, "RotationMinX", K::Bool, {0, 0, 0}},
    {eNodeRotationMinY, "RotationMinY", K::Bool, {0, 0, 0}},
    {eNodeRotationMinZ, "RotationMinZ", K::Bool, {0, 0, 0}},
    {eNodeRotationMaxX, "RotationMaxX", K::Bool, {0, 0, 0}},
    {eNodeRotationMaxY, "RotationMaxY", K::Bool, {0, 0, 0}},
    {eNodeRotationMaxZ, "RotationMaxZ", K::Bool, {0, 0, 0}},
    {eNodeRotationStiffnessX, "RotationStiffnessX", K::Double, {0, 0, 0}},
    {eNodeRotationStiffnessY, "RotationStiffnessY", K::Double, {0, 0, 0}},
    {eNodeRotationStiffnessZ, "RotationStiffnessZ", K::Double, {0, 0, 0}},
    {eNodeMinDampRangeX, "MinDampRangeX", K::Double, {0, 0, 0}},
    {eNodeMinDampRangeY, "MinDampRangeY", K::Double, {0, 0, 0}},
    {eNodeMinDampRangeZ, "MinDampRangeZ", K::Double, {0, 0, 0}},
    {eNodeMaxDampRangeX, "MaxDampRangeX", K::Double, {0, 0, 0}},
    {eNodeMaxDampRangeY, "MaxDampRangeY", K::Double, {0, 0, 0}},
    {eNodeMaxDampRangeZ, "MaxDampRangeZ", K::Double, {0, 0, 0}},
    {eNodeMinDampStrengthX, "MinDampStrengthX", K::Double, {0, 0, 0}},
    {eNodeMinDampStrengthY, "MinDampStrengthY", K::Double, {0, 0, 0}},
    {eNodeMinDampStrengthZ, "MinDampStrengthZ", K::Double, {0, 0, 0}},
    {eNodeMaxDampStrengthX, "MaxDampStrengthX", K::Double, {0, 0, 0}},
    {eNodeMaxDampStrengthY, "MaxDampStrengthY", K::Double, {0, 0, 0}},
    {eNodeMaxDampStrengthZ, "MaxDampStrengthZ", K::Double, {0, 0, 0}},
    {eNodePreferedAngleX, "PreferedAngleX", K::Double, {0, 0, 0}},
    {eNodePreferedAngleY, "PreferedAngleY", K::Double, {0, 0, 0}},
    {eNodePreferedAngleZ, "PreferedAngleZ", K::Double, {0, 0, 0}},
    {eNodeInheritType, "InheritType", K::Enum, {0, 0, 0}},
    {eNodeScalingActive, "ScalingActive", K::Bool, {0, 0, 0}},
    {eNodeScalingMin, "ScalingMin", K::Vector, {0, 0, 0}},
    {eNodeScalingMax, "ScalingMax", K::Vector, {0, 0, 0}},
    {eNodeScalingMinX, "ScalingMinX", K::Bool, {0, 0, 0}},
    {eNodeScalingMinY, "ScalingMinY", K::Bool, {0, 0, 0}},
    {eNodeScalingMinZ, "ScalingMinZ", K::Bool, {0, 0, 0}},
    {eNodeScalingMaxX, "ScalingMaxX", K::Bool, {0, 0, 0}},
    {eNodeScalingMaxY, "ScalingMaxY", K::Bool, {0, 0, 0}},
    {eNodeScalingMaxZ, "ScalingMaxZ", K::Bool, {0, 0, 0}},
    {eNodeGeometricTranslation, "GeometricTranslation", K::Vector, {0, 0, 0}},
    {eNodeGeometricRotation, "GeometricRotation", K::Vector, {0, 0, 0}},
    {eNodeGeometricScaling, "GeometricScaling", K::Vector, {1, 1, 1}},
    {eNodeLookAtProperty, "LookAtProperty", K::ObjectList, {0, 0, 0}},
    {eNodeUpVectorProperty, "UpVectorProperty", K::ObjectList, {0, 0, 0}},
    {eNodeShow, "Show", K::Bool, {1, 0, 0}},
    {eNodeNegativePercentShapeSupport, "NegativePercentShapeSupport", K::Bool, {1, 0, 0}},
    {eNodeDefaultAttributeIndex, "DefaultAttributeIndex", K::Int, {-1, 0, 0}},
};

namespace {

// Getter and setter of template property Id: they read and write the
// value the internal object keeps for it, so the node can also store a
// value without events.
template <int Id>
void NodeGetter(KPlug* owner, void* out) {
    auto* internal = static_cast<KDuzNode_internal*>(owner);
    if (internal == nullptr || out == nullptr) return;
    const KgeTVector& v = static_cast<const KDuzNode_internal*>(internal)->Value(Id);
    switch (kDuzNodeProperties[Id].kind) {
        case K::Bool:
            *static_cast<bool*>(out) = v[0] != 0.0;
            break;
        case K::Double:
            *static_cast<double*>(out) = v[0];
            break;
        case K::Int:
        case K::Enum:
            *static_cast<int*>(out) = static_cast<int>(v[0]);
            break;
        case K::Vector:
            *static_cast<KgeTVector*>(out) = v;
            break;
        default:
            break;
    }
}

bool SameVector(const KgeTVector& a, const KgeTVector& b);

template <int Id>
void NodeSetter(KPlug* owner, const void* in) {
    auto* internal = static_cast<KDuzNode_internal*>(owner);
    if (internal == nullptr || in == nullptr) return;
    // Built aside: a value set to what it holds leaves the defaults shared.
    KgeTVector v = static_cast<const KDuzNode_internal*>(internal)->Value(Id);
    switch (kDuzNodeProperties[Id].kind) {
        case K::Bool:
            v[0] = *static_cast<const bool*>(in) ? 1.0 : 0.0;
            break;
        case K::Double:
            v[0] = *static_cast<const double*>(in);
            break;
        case K::Int:
        case K::Enum:
            v[0] = *static_cast<const int*>(in);
            break;
        case K::Vector: {
            // x, y, z; a stored vector always carries w = 1.
            const auto* value = static_cast<const KgeTVector*>(in);
            v.SetXYZW((*value)[0], (*value)[1], (*value)[2], 1.0);
            break;
        }
        default:
            break;
    }
    if (!SameVector(static_cast<const KDuzNode_internal*>(internal)->Value(Id), v)) internal->MutableValue(Id) = v;
}

struct Accessors {
    KPropertyGetter getter;
    KPropertySetter setter;
};

template <std::size_t... I>
constexpr std::array<Accessors, sizeof...(I)> MakeAccessors(std::index_sequence<I...>) {
    return {{Accessors{&NodeGetter<static_cast<int>(I)>, &NodeSetter<static_cast<int>(I)>}...}};
}

const std::array<Accessors, eNodePropertyCount> kAccessors =
    MakeAccessors(std::make_index_sequence<eNodePropertyCount>());

const char* RotationOrderItem(KPlug*, int index) { return ERotationOrderName(index); }
const char* InheritTypeItem(KPlug*, int index) { return ETransformInheritTypeName(index); }

bool DiffersFromXYZ(const KgeTVector& v, double x, double y, double z) {
    const double reference[3] = {x, y, z};
    return KgeVector3Compare(v.Data(), reference, 1e-6) != 0;
}

bool DiffersVector(const KgeTVector& a, const KgeTVector& b) {
    return KgeVector3Compare(a.Data(), b.Data(), 1e-6) != 0;
}

// The limit-related properties of one kind, in the order active, min x/y/z
// flags, max x/y/z flags, minimum, maximum.
struct LimitProperties {
    int kind;
    EDuzNodeProperty active;
    EDuzNodeProperty axis[6];
    EDuzNodeProperty min;
    EDuzNodeProperty max;
};

constexpr LimitProperties kLimitProperties[3] = {
    {eDuzLimitTranslation,
     eNodeTranslationActive,
     {eNodeTranslationMinX, eNodeTranslationMinY, eNodeTranslationMinZ, eNodeTranslationMaxX,
      eNodeTranslationMaxY, eNodeTranslationMaxZ},
     eNodeTranslationMin,
     eNodeTranslationMax},
    {eDuzLimitRotation,
     eNodeRotationActive,
     {eNodeRotationMinX, eNodeRotationMinY, eNodeRotationMinZ, eNodeRotationMaxX, eNodeRotationMaxY,
      eNodeRotationMaxZ},
     eNodeRotationMin,
     eNodeRotationMax},
    {eDuzLimitScaling,
     eNodeScalingActive,
     {eNodeScalingMinX, eNodeScalingMinY, eNodeScalingMinZ, eNodeScalingMaxX, eNodeScalingMaxY,
      eNodeScalingMaxZ},
     eNodeScalingMin,
     eNodeScalingMax},
};

constexpr int kAxisBits[6] = {kDuzLimitMinX, kDuzLimitMinY, kDuzLimitMinZ,
                              kDuzLimitMaxX, kDuzLimitMaxY, kDuzLimitMaxZ};

}  // namespace

// ---- internal object ----------------------------------------------------------------

namespace {

int InfoFlagsOfKind(K kind) {
    const int base = KPropertyInfo::kOwned | KPropertyInfo::kOwnedName;
    switch (kind) {
        case K::Enum: return base | KPropertyInfo::kEnumCallback;
        case K::Channel: return base | KPropertyInfo::kAnimatable;
        case K::ObjectList: return base | KPropertyInfo::kIsList | KPropertyInfo::kIsObjectList;
        default: return base;
    }
}

void MakeNodeSlot(KObject* owner, int id) { static_cast<KDuzNode_internal*>(owner)->MakeSlotProperty(id); }

const KPropertySlotTable& NodeSlotTable() {
    static const KPropertySlotTable table = [] {
        std::vector<KPropertySlotTable::Row> rows;
        for (const KDuzNodePropertyRow& row : kDuzNodeProperties) rows.push_back({row.name, InfoFlagsOfKind(row.kind)});
        return KPropertySlotTable(std::move(rows), &MakeNodeSlot);
    }();
    return table;
}

}  // namespace

namespace {

const KgeTVector* DefaultValues() {
    static const std::array<KgeTVector, eNodePropertyCount> values = [] {
        std::array<KgeTVector, eNodePropertyCount> out;
        for (const KDuzNodePropertyRow& row : kDuzNodeProperties)
            out[row.id].SetXYZW(row.defaultValue[0], row.defaultValue[1], row.defaultValue[2], 1.0);
        return out;
    }();
    return values.data();
}

// Bit for bit: a stored -0 or NaN is a change.
bool SameVector(const KgeTVector& a, const KgeTVector& b) {
    return std::memcmp(a.Data(), b.Data(), 4 * sizeof(double)) == 0;
}

}  // namespace

const KgeTVector& KDuzNode_internal::Value(int id) const {
    if (mValueBlocks != nullptr) {
        if (const auto& block = mValueBlocks[id / kValueBlockSize]) return block[id % kValueBlockSize];
    }
    return DefaultValues()[id];
}

KgeTVector& KDuzNode_internal::MutableValue(int id) {
    if (mValueBlocks == nullptr) mValueBlocks = std::make_unique<std::unique_ptr<KgeTVector[]>[]>(kValueBlockCount);
    auto& block = mValueBlocks[id / kValueBlockSize];
    if (block == nullptr) {
        const int first = id / kValueBlockSize * kValueBlockSize;
        block = std::make_unique<KgeTVector[]>(kValueBlockSize);
        for (int i = 0; i < kValueBlockSize && first + i < eNodePropertyCount; ++i) block[i] = DefaultValues()[first + i];
    }
    return block[id % kValueBlockSize];
}

KDuzNode_internal::KDuzNode_internal(KDuzNode* node) : KDuzTakeNodeContainer_internal(node), mNode(node) {
    ListSlots(&NodeSlotTable());
}

void KDuzNode_internal::MakeSlotProperty(int id) {
    if (id < 0 || id >= eNodePropertyCount) return;
    const KDuzNodePropertyRow& row = kDuzNodeProperties[id];
    KProperty* property = nullptr;
    switch (row.kind) {
        case K::Bool:
            property = new KPropertyTemplate<bool>(this, row.name);
            break;
        case K::Double:
            property = new KPropertyTemplate<double>(this, row.name);
            break;
        case K::Int:
            property = new KPropertyTemplate<int>(this, row.name);
            break;
        case K::Vector:
            property = new KPropertyTemplate<KgeTVector>(this, row.name);
            break;
        case K::Enum: {
            property = new KPropertyTemplate<int>(this, row.name, nullptr, false, nullptr, 0, eKPropEnum);
            property->GetInfo().SetEnumList(row.id == eNodeRotationOrder ? &RotationOrderItem
                                                                         : &InheritTypeItem);
            break;
        }
        case K::Channel: {
            const KDataType* type = KDataTypeFindByName(row.name);
            property = AddNewProperty(row.name, KDataTypeToPropertyTypeCode(type), type, true);
            if (property == nullptr) break;
            // Made when first asked for: its first value and flag come
            // without events, as nothing could watch them on a new node.
            property->InitPropertyFlags(property->GetPropertyFlags() | 8);
            if (row.id == eNodeVisibility) {
                if (auto* visibility = dynamic_cast<KPropertyTemplate<double>*>(property))
                    visibility->StoreInitialValue(1.0);
            } else if (row.id == eNodeLclScaling) {
                if (auto* scaling = dynamic_cast<KPropertyTemplate<KgeTVector>*>(property))
                    scaling->StoreInitialValue(KgeTVector(1.0, 1.0, 1.0, 1.0));
            }
            break;
        }
        case K::ObjectList: {
            auto* list = new KPropertyObjectList(this, row.name);
            // A list of sources: the targets connect to it.
            list->KPlug::SetFlags((list->KPlug::GetFlags() | KPlug::kAcceptsSources) &
                                  ~(KPlug::kAcceptsDestinations | KPlug::kOneWaySink));
            list->InitPropertyFlags(list->GetPropertyFlags() | 1);   // made late: no event
            property = list;
            break;
        }
    }
    if (property != nullptr && row.kind != K::Channel && row.kind != K::ObjectList) {
        property->GetInfo().getter = kAccessors[row.id].getter;
        property->GetInfo().setter = kAccessors[row.id].setter;
        // The template keeps a copy of the value it last read.
        property->GetValue(nullptr);
    }
}

void KDuzNode_internal::SlotMaterialized(int slot, KProperty* property) {
    if (slot >= 0 && slot < eNodePropertyCount) mProperties[slot] = property;
    KDuzTakeNodeContainer_internal::SlotMaterialized(slot, property);
}

void KDuzNode_internal::SlotReleased(int slot, KProperty* property) {
    if (slot >= 0 && slot < eNodePropertyCount && mProperties[slot] == property) mProperties[slot] = nullptr;
    KDuzTakeNodeContainer_internal::SlotReleased(slot, property);
}

KProperty* KDuzNode_internal::Property(EDuzNodeProperty id) const {
    if (KProperty* property = mProperties[id]) return property;
    return const_cast<KDuzNode_internal*>(this)->MaterializeSlot(id);
}

bool KDuzNode_internal::IsUnheard(EDuzNodeProperty id) const {
    if (mProperties[id] != nullptr || HasListeners() || GetOwner() != nullptr) return false;
    return !KPlugSystemIsActive() || GetContainer() == nullptr;
}

bool KDuzNode_internal::StoresQuietly(EDuzNodeProperty id) const {
    if (kAccessors[id].setter == nullptr || mProperties[id] != nullptr) return false;
    const K kind = kDuzNodeProperties[id].kind;
    if (kind == K::Channel || kind == K::ObjectList) return false;
    // While the node is made nothing can listen yet; later only an unmade
    // property of an object nobody listens to is stored without being made.
    return mConstructing || IsUnheard(id);
}

KDuzNode_internal::~KDuzNode_internal() = default;

const KDuzNodePivotSet& KDuzNode_internal::PivotSet1() const {
    static const KDuzNodePivotSet kReset;
    return mPivotSet1 != nullptr ? *mPivotSet1 : kReset;
}

KDuzNodePivotSet& KDuzNode_internal::MutablePivotSet1() {
    if (mPivotSet1 == nullptr) mPivotSet1 = std::make_unique<KDuzNodePivotSet>();
    return *mPivotSet1;
}

KPlugTypeInfo* KDuzNode_internal::GetPlugTypeInfo() const { return PlugTypeInfoGetRecord(kTypeNumber); }

int KDuzNode_internal::GetStaticTypeNumber() const { return kTypeNumber; }

bool KDuzNode_internal::SendValueEvent(int a, int code, KPlug* plug, const void* newValue,
                                       const void* oldValue, int d) {
    if (code == KProperty::kValueEventChanged) KDuzNode::TouchTransforms();
    return KDuzTakeNodeContainer_internal::SendValueEvent(a, code, plug, newValue, oldValue, d);
}

namespace {

// Reads the value of a node property: through the property when it is
// made, else straight from the stored value the way its getter would.
template <typename T>
void ReadNodeValue(const KDuzNode_internal* internal, KProperty* made, EDuzNodeProperty id, T* out) {
    if (made != nullptr) {
        made->GetValue(out);
    } else if (KPropertyGetter getter = kAccessors[id].getter;
               getter != nullptr && kDuzNodeProperties[id].kind != K::Channel &&
               kDuzNodeProperties[id].kind != K::ObjectList) {
        getter(const_cast<KDuzNode_internal*>(internal), out);
    }
}

}  // namespace

bool KDuzNode_internal::GetBool(EDuzNodeProperty id) const {
    bool value = false;
    ReadNodeValue(this, mProperties[id], id, &value);
    return value;
}

void KDuzNode_internal::SetBool(EDuzNodeProperty id, bool value) {
    if (StoresQuietly(id)) {
        StoreBool(id, value);
        KDuzNode::TouchTransforms();   // what the value events would have done
        return;
    }
    if (KProperty* p = Property(id)) p->SetValue(&value);
}

double KDuzNode_internal::GetDoubleValue(EDuzNodeProperty id) const {
    double value = 0.0;
    ReadNodeValue(this, mProperties[id], id, &value);
    return value;
}

void KDuzNode_internal::SetDoubleValue(EDuzNodeProperty id, double value) {
    if (StoresQuietly(id)) {
        StoreDouble(id, value);
        KDuzNode::TouchTransforms();   // what the value events would have done
        return;
    }
    if (KProperty* p = Property(id)) p->SetValue(&value);
}

int KDuzNode_internal::GetIntValue(EDuzNodeProperty id) const {
    int value = 0;
    ReadNodeValue(this, mProperties[id], id, &value);
    return value;
}

void KDuzNode_internal::SetIntValue(EDuzNodeProperty id, int value) {
    if (StoresQuietly(id)) {
        StoreInt(id, value);
        KDuzNode::TouchTransforms();   // what the value events would have done
        return;
    }
    if (KProperty* p = Property(id)) p->SetValue(&value);
}

KgeTVector KDuzNode_internal::GetVector(EDuzNodeProperty id) const {
    KgeTVector value(0.0, 0.0, 0.0, 1.0);
    ReadNodeValue(this, mProperties[id], id, &value);
    return value;
}

void KDuzNode_internal::SetVector(EDuzNodeProperty id, const KgeTVector& value) {
    if (StoresQuietly(id)) {
        StoreVector(id, value);
        KDuzNode::TouchTransforms();   // what the value events would have done
        return;
    }
    if (KProperty* p = Property(id)) p->SetValue(&value);
}

namespace {

// Stores into the value only when it changes, so that storing defaults
// leaves them shared.
void StoreIfChanged(KDuzNode_internal& internal, int id, const KgeTVector& value) {
    if (!SameVector(internal.Value(id), value)) internal.MutableValue(id) = value;
}

KgeTVector WithX(const KgeTVector& v, double x) {
    KgeTVector out(v);
    out[0] = x;
    return out;
}

}  // namespace

void KDuzNode_internal::StoreBool(EDuzNodeProperty id, bool value) {
    StoreIfChanged(*this, id, WithX(Value(id), value ? 1.0 : 0.0));
}
void KDuzNode_internal::StoreDouble(EDuzNodeProperty id, double value) {
    StoreIfChanged(*this, id, WithX(Value(id), value));
}
void KDuzNode_internal::StoreInt(EDuzNodeProperty id, int value) {
    StoreIfChanged(*this, id, WithX(Value(id), value));
}
void KDuzNode_internal::StoreVector(EDuzNodeProperty id, const KgeTVector& value) {
    StoreIfChanged(*this, id, KgeTVector(value[0], value[1], value[2], 1.0));
}

// ---- node operations on the block ---------------------------------------------------

void KDuzNode::ResetTransformProperties() {
    KDuzNode_internal* in = mInternal;
    if (in == nullptr) return;
    const KgeTVector zero(0.0, 0.0, 0.0, 1.0);
    for (EDuzNodeProperty id :
         {eNodeRotationOffset, eNodeRotationPivot, eNodeScalingOffset, eNodeScalingPivot, eNodeTranslationMin,
          eNodeTranslationMax, eNodePreRotation, eNodePostRotation, eNodeRotationMin, eNodeRotationMax,
          eNodeScalingMin, eNodeScalingMax, eNodeGeometricTranslation, eNodeGeometricRotation}) {
        in->StoreVector(id, zero);
    }
    in->StoreVector(eNodeGeometricScaling, KgeTVector(1.0, 1.0, 1.0, 1.0));
    for (const LimitProperties& limits : kLimitProperties) {
        in->StoreBool(limits.active, false);
        for (EDuzNodeProperty id : limits.axis) in->StoreBool(id, false);
    }
    in->StoreBool(eNodeRotationSpaceForLimitOnly, false);
    in->StoreInt(eNodeRotationOrder, 0);
    in->StoreInt(eNodeInheritType, 0);
    in->StoreDouble(eNodeAxisLen, 10.0);
    in->SetBool(eNodeQuaternionInterpolate, false);
    in->SetDoubleValue(eNodeRotationStiffnessX, 0.0);
    in->SetDoubleValue(eNodeRotationStiffnessY, 0.0);
    in->SetDoubleValue(eNodeRotationStiffnessZ, 0.0);
    in->pivotSet0.Reset();
    in->ResetPivotSet1();
    SelectPivotSet(0);
    TouchTransforms();
}

void KDuzNode::UpdatePropertiesFromPivotsAndLimits() {
    KDuzNode_internal* in = mInternal;
    if (in == nullptr) return;
    const KDuzNodePivotSet& set = in->pivotSet0;
    in->StoreVector(eNodeRotationOffset, set.rotationOffset);
    in->StoreVector(eNodeRotationPivot, set.rotationPivot);
    in->StoreVector(eNodePreRotation, set.preRotation);
    in->StoreVector(eNodePostRotation, set.postRotation);
    in->StoreVector(eNodeScalingOffset, set.scalingOffset);
    in->StoreVector(eNodeScalingPivot, set.scalingPivot);
    in->StoreVector(eNodeGeometricTranslation, set.geometricTranslation);
    in->StoreVector(eNodeGeometricRotation, set.geometricRotation);
    in->StoreVector(eNodeGeometricScaling, set.geometricScaling);
    in->StoreInt(eNodeRotationOrder, set.rotationOrder);
    in->StoreBool(eNodeRotationSpaceForLimitOnly, set.rotationSpaceForLimitOnly);
    in->StoreBool(eNodeQuaternionInterpolate, set.quaternionInterpolate);
    for (const LimitProperties& limits : kLimitProperties) {
        const KDuzNodeLimitRecord* record = in->evaluation.LimitsOfKind(limits.kind);
        in->StoreBool(limits.active, (record->flags & kDuzLimitActive) != 0);
        for (int i = 0; i < 6; ++i) in->StoreBool(limits.axis[i], (record->flags & kAxisBits[i]) != 0);
        in->StoreVector(limits.min, record->min);
        in->StoreVector(limits.max, record->max);
    }
}

void KDuzNode::UpdatePivotsAndLimitsFromProperties() {
    KDuzNode_internal* in = mInternal;
    if (in == nullptr) return;

    // 1. Pivot set 0 from the properties, only when one of them says the
    //    node uses pivots: pivots set through the API survive a node whose
    //    properties are all at their defaults.
    const bool quaternion = in->GetBool(eNodeQuaternionInterpolate);
    bool pivotsUsed = in->GetIntValue(eNodeRotationOrder) != 0 || quaternion;
    for (EDuzNodeProperty id :
         {eNodeRotationOffset, eNodeRotationPivot, eNodeScalingOffset, eNodeScalingPivot, eNodePreRotation,
          eNodePostRotation, eNodeGeometricTranslation, eNodeGeometricRotation}) {
        pivotsUsed = pivotsUsed || DiffersFromXYZ(in->GetVector(id), 0.0, 0.0, 0.0);
    }
    pivotsUsed = pivotsUsed || DiffersFromXYZ(in->GetVector(eNodeGeometricScaling), 1.0, 1.0, 1.0);
    if (pivotsUsed) {
        SetRotationOrder(0, in->GetIntValue(eNodeRotationOrder));
        SetRotationOffset(0, in->GetVector(eNodeRotationOffset));
        SetRotationPivot(0, in->GetVector(eNodeRotationPivot));
        SetScalingOffset(0, in->GetVector(eNodeScalingOffset));
        SetScalingPivot(0, in->GetVector(eNodeScalingPivot));
        SetPreRotation(0, in->GetVector(eNodePreRotation));
        SetPostRotation(0, in->GetVector(eNodePostRotation));
        SetGeometricTranslation(0, in->GetVector(eNodeGeometricTranslation));
        SetGeometricRotation(0, in->GetVector(eNodeGeometricRotation));
        SetGeometricScaling(0, in->GetVector(eNodeGeometricScaling));
        SetRotationSpaceForLimitOnly(0, in->GetBool(eNodeRotationSpaceForLimitOnly));
        SetQuaternionInterpolate(0, quaternion);
        in->pivotSet0.state = 0;
        in->ResetPivotSet1();
    }

    // 2. The limits, all of them when any differs.
    bool differs = false;
    for (const LimitProperties& limits : kLimitProperties) {
        const KDuzNodeLimitRecord* record = in->evaluation.LimitsOfKind(limits.kind);
        differs = differs || in->GetBool(limits.active) != ((record->flags & kDuzLimitActive) != 0);
        for (int i = 0; i < 6; ++i)
            differs = differs || in->GetBool(limits.axis[i]) != ((record->flags & kAxisBits[i]) != 0);
        differs = differs || DiffersVector(in->GetVector(limits.min), record->min) ||
                  DiffersVector(in->GetVector(limits.max), record->max);
    }
    if (differs) {
        for (const LimitProperties& limits : kLimitProperties) {
            KDuzNodeLimitRecord* record = in->evaluation.LimitsOfKind(limits.kind);
            int flags = record->flags & ~(kDuzLimitActive | kDuzLimitAxisMask);
            if (in->GetBool(limits.active)) flags |= kDuzLimitActive;
            for (int i = 0; i < 6; ++i) {
                if (in->GetBool(limits.axis[i])) flags |= kAxisBits[i];
            }
            record->flags = flags;
            const KgeTVector min = in->GetVector(limits.min);
            const KgeTVector max = in->GetVector(limits.max);
            for (int c = 0; c < 3; ++c) {
                record->min[c] = min[c];
                record->max[c] = max[c];
            }
        }
    }

    // The inherit type is part of the evaluation on every path.
    mInternal->evaluation.inheritType = in->GetIntValue(eNodeInheritType);

    // 3. Quaternion interpolation on every take's rotation channel.
    if (quaternion) {
        for (int i = 0; i < GetTakeNodeCount(); ++i) {
            KDuzTakeNode* take = GetTakeNodeAt(i);
            KFCurveNode* root = take != nullptr ? take->GetCurveNode() : nullptr;
            KFCurveNode* r = root != nullptr ? root->FindByPath("R") : nullptr;
            if (r != nullptr) r->SetQuaternionInterpolation(true);
        }
    }
    TouchTransforms();
}

namespace {

bool WriteVector3(KDuzObject& node, const char* name, const duzVectorTemplate3<double>& v) {
    KDuzProperty property = node.FindProperty(name);
    if (!property.IsValid()) return false;
    return property.SetValue(&v, 5);
}

}  // namespace

duzVectorTemplate3<double> KDuzNode::ReadChannel(int id) const {
    const double* fallback = kDuzNodeProperties[id].defaultValue;
    double values[4] = {fallback[0], fallback[1], fallback[2], 1.0};
    // An unmade channel holds its default.
    if (KProperty* property = mInternal != nullptr ? mInternal->MadeProperty(static_cast<EDuzNodeProperty>(id)) : nullptr)
        property->GetDoubles(values);
    return duzVectorTemplate3<double>(values[0], values[1], values[2]);
}

bool KDuzNode::WriteChannel(int id, const duzVectorTemplate3<double>& v) {
    const char* name = kDuzNodeProperties[id].name;
    if (mInternal == nullptr) return WriteVector3(*this, name, v);
    KProperty* property = mInternal->MadeProperty(static_cast<EDuzNodeProperty>(id));
    const double* fallback = kDuzNodeProperties[id].defaultValue;
    if (property == nullptr && v[0] == fallback[0] && v[1] == fallback[1] && v[2] == fallback[2]) {
        // Its default: nothing to make.
        TouchTransforms();
        return true;
    }
    if (property == nullptr) property = mInternal->Property(static_cast<EDuzNodeProperty>(id));
    // A handle, or curves that copy the value, hear of it through the handle.
    if (property == nullptr || HasHandleFor(property) || TakesFollowValueOf(name)) return WriteVector3(*this, name, v);
    double values[4] = {0.0, 0.0, 0.0, 1.0};
    property->GetDoubles(values);
    values[0] = v[0];
    values[1] = v[1];
    values[2] = v[2];
    property->SetDoubles(values);
    TouchTransforms();   // what the node hears of a change through a handle
    return true;
}

duzVectorTemplate3<double> KDuzNode::GetLclTranslation() const { return ReadChannel(eNodeLclTranslation); }
duzVectorTemplate3<double> KDuzNode::GetLclRotation() const { return ReadChannel(eNodeLclRotation); }
duzVectorTemplate3<double> KDuzNode::GetLclScaling() const { return ReadChannel(eNodeLclScaling); }

bool KDuzNode::SetLclTranslation(const duzVectorTemplate3<double>& v) {
    return WriteChannel(eNodeLclTranslation, v);
}
bool KDuzNode::SetLclRotation(const duzVectorTemplate3<double>& v) { return WriteChannel(eNodeLclRotation, v); }
bool KDuzNode::SetLclScaling(const duzVectorTemplate3<double>& v) { return WriteChannel(eNodeLclScaling, v); }

void KDuzNode::SetTransformationInheritType(int type) {
    if (mInternal == nullptr) return;
    mInternal->SetIntValue(eNodeInheritType, type);
    mInternal->evaluation.inheritType = type;
    TouchTransforms();
}

int KDuzNode::GetTransformationInheritType() const {
    return mInternal != nullptr ? mInternal->GetIntValue(eNodeInheritType) : 0;
}

void KDuzNode::SetRotationActive(bool active) {
    if (mLimits != nullptr) mLimits->SetRotationActive(active);
    if (mInternal != nullptr) mInternal->SetBool(eNodeRotationActive, active);
    TouchTransforms();
}

bool KDuzNode::GetRotationActive() const {
    return mInternal != nullptr && mInternal->GetBool(eNodeRotationActive);
}

}  // namespace duzsdk
