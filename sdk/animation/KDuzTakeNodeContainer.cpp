#include "sdk/animation/KDuzTakeNodeContainer.h"

#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KProperty.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzTakeNodeContainer_internal");

bool IsTransformName(const char* name, const char*& shortName) {
    static constexpr const char* kNames[3][2] = {
        {"Lcl Translation", "T"}, {"Lcl Rotation", "R"}, {"Lcl Scaling", "S"}};
    for (const auto& row : kNames) {
        if (name != nullptr && std::strcmp(name, row[0]) == 0) {
            shortName = row[1];
            return true;
        }
    }
    shortName = name;
    return false;
}

// Component count of an internal property: its data type's, else by code.
int ComponentCount(const KProperty* property) {
    if (const KDataType* type = property->GetDataType()) return type->GetComponentCount();
    switch (property->GetValueType()) {
        case eKPropVector3D:
        case eKPropColorRGB: return 3;
        case eKPropVector4D:
        case eKPropColorRGBA: return 4;
        case eKPropMatrix: return 16;
        default: return 1;
    }
}

bool IsMatrixType(const KDataType* type) {
    return type != nullptr && std::strcmp(type->GetBase()->GetName(), "Matrix") == 0;
}

// The curve's value changes without telling its listeners (the link that
// would write the value straight back into the property); the listeners'
// earlier state is restored afterwards, so later edits still reach them.
void SetDefaultQuietly(KFCurve* curve, double value) {
    if (curve == nullptr) return;
    const bool enabled = curve->IsNotificationEnabled();
    curve->SetNotificationEnabled(false);
    curve->SetDefaultValue(static_cast<float>(value));
    curve->SetNotificationEnabled(enabled);
}

// The child at index, or a new one with that name and a curve.
KFCurveNode* ChannelChild(KFCurveNode* node, int index, const char* name) {
    if (KFCurveNode* child = node->GetChild(index)) return child;
    KFCurveNode* child = KFCurveNodeCreate(name);
    if (child == nullptr) return nullptr;
    child->SetCurve(KFCurveCreate());
    node->AddChild(child);
    return child;
}

}  // namespace

const char* KDuzChannelName(int componentCount, int index) {
    static constexpr const char* kVector[] = {"X", "Y", "Z", "toto"};
    static constexpr const char* kMatrix[] = {"0", "1", "2", "3", "4", "5", "6", "7",
                                              "8", "9", "A", "B", "C", "D", "E", "F"};
    if (index < 0) return nullptr;
    if (componentCount <= 4) return index < 4 ? kVector[index] : nullptr;
    return index < 16 ? kMatrix[index] : nullptr;
}

// ---- internal twin -------------------------------------------------------------

KPlugTypeInfo* KDuzTakeNodeContainer_internal::GetPlugTypeInfo() const {
    return PlugTypeInfoGetRecord(kTypeNumber);
}

int KDuzTakeNodeContainer_internal::GetStaticTypeNumber() const { return kTypeNumber; }

// ---- life ------------------------------------------------------------------------

KDuzTakeNodeContainer::KDuzTakeNodeContainer(KDuzSdkManager* manager, const char* name,
                                             KErrorState* error)
    : KDuzObject(manager, name), mError(error) {}

KDuzTakeNodeContainer::~KDuzTakeNodeContainer() {
    ClearCurveLinks();
    DeleteTakeNodes();
    ReleaseContents();
}

KDuzPlug* KDuzTakeNodeContainer::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* container = new KDuzTakeNodeContainer(manager, name, nullptr);
    container->PostCreate();
    return container;
}

KClassId KDuzTakeNodeContainer::ClassId() { return KDuzClassIdOf(eDuzClassTakeNodeContainer); }

KClassId KDuzTakeNodeContainer::GetClassId() const { return ClassId(); }

KDuzTakeNodeContainer* KDuzTakeNodeContainer::Of(KDuzObject* object) {
    return object != nullptr ? dynamic_cast<KDuzTakeNodeContainer*>(object->GetTakeNodeContainer())
                             : nullptr;
}

void KDuzTakeNodeContainer::PostCreate() {
    if (GetInternalObject() == nullptr) SetInternalObject(new KDuzTakeNodeContainer_internal(this));
    KDuzObject::PostCreate();
}

void KDuzTakeNodeContainer::DestroyContents(bool recursive, bool dependents) {
    ClearTakeNodes(recursive, dependents);
}

void KDuzTakeNodeContainer::ReportError(const char* text) {
    if (mError != nullptr) mError->SetLastErrorWithText(0, text);
}

// ---- take nodes --------------------------------------------------------------------

void KDuzTakeNodeContainer::DeleteTakeNodes() {
    mTakeContentPending = false;
    mDeferredAttributes.clear();
    while (!mTakeNodes.empty()) {
        KDuzTakeNode* last = mTakeNodes.back();
        mTakeNodes.pop_back();
        delete last;
    }
}

void KDuzTakeNodeContainer::ClearTakeNodes(bool recursive, bool dependents) {
    // Links first: they point into the curves the take nodes own.
    ClearCurveLinks();
    DeleteTakeNodes();
    mCurrentTake = -1;
    DestroyOwnedObjects(recursive, dependents);
}

KDuzTakeNode* KDuzTakeNodeContainer::CreateDefaultTakeNode() {
    KDuzTakeNode* take = mTakeNodes.empty() ? CreateTakeNode("Default") : mTakeNodes.front();
    if (take != nullptr) mCurrentTake = 0;
    return take;
}

void KDuzTakeNodeContainer::CreateDefaultTakeNodeLater() {
    if (!mTakeNodes.empty()) {
        CreateDefaultTakeNode();
        return;
    }
    mTakeNodes.push_back(new KDuzTakeNode("Default"));
    mCurrentTake = 0;
    // What CreateTakeNode does to the properties at once; their channels wait.
    for (int i = 0; i < GetPropertyCount(); ++i) {
        if (IsPropertyPending(i)) continue;
        KDuzProperty property = GetPropertyAt(i);
        if (property.GetFlag(kDuzPropertyAnimatable)) property.ModifyFlag(kDuzPropertyFlag8, true);
    }
    mTakeContentPending = true;
}

void KDuzTakeNodeContainer::FillPendingTake() const {
    if (!mTakeContentPending || mTakeNodes.empty()) return;
    auto* self = const_cast<KDuzTakeNodeContainer*>(this);
    self->mTakeContentPending = false;
    KDuzTakeNode* take = mTakeNodes.front();
    self->FillDefaultTakeLater(take);
    // In list order, as they were listed; those listed without a handle
    // while the take waited get theirs now.
    std::vector<KDuzProperty> properties;
    for (int i = 0; i < GetPropertyCount(); ++i) {
        if (IsPropertyPending(i) && !IsPropertyPendingAnimatable(i)) continue;
        KDuzProperty property = GetPropertyAt(i);
        if (property.GetFlag(kDuzPropertyAnimatable)) properties.push_back(property);
    }
    for (KDuzProperty& property : properties) self->AddPropertyToTakes(property, take->GetName());
    // What each attribute attached meanwhile would have copied when it attached.
    std::vector<HdlKObject> attributes;
    attributes.swap(self->mDeferredAttributes);
    for (const HdlKObject& handle : attributes) {
        if (KDuzObject* attribute = KDuzGetPublicObject(handle.Get())) attribute->SetTakeCurvesFromProperties(take);
    }
}

bool KDuzTakeNodeContainer::DeferAttachedTakeCurves(KDuzObject* attribute) {
    if (!mTakeContentPending || mTakeNodes.size() != 1 || attribute == nullptr) return false;
    mDeferredAttributes.push_back(HdlKObject::FromPlug(attribute->GetInternalPlug()));
    return true;
}

bool KDuzTakeNodeContainer::ForgetDeferredTakeCurves(KDuzObject* attribute) {
    if (!mTakeContentPending || attribute == nullptr) return false;
    const HdlKObject handle = HdlKObject::FromPlug(attribute->GetInternalPlug());
    auto it = std::find(mDeferredAttributes.begin(), mDeferredAttributes.end(), handle);
    if (it == mDeferredAttributes.end()) return false;
    mDeferredAttributes.erase(it);
    return true;
}

void KDuzTakeNodeContainer::ReadDefaultTake(const std::function<void(KDuzTakeNode*)>& read) {
    const bool waited = mTakeContentPending && mTakeNodes.size() == 1 && mCurveLinks.empty();
    const std::vector<HdlKObject> deferred = mDeferredAttributes;
    KDuzTakeNode* take = GetDefaultTakeNode();
    read(take);
    if (!waited || mTakeNodes.size() != 1 || mTakeNodes.front() != take) return;
    // Back to waiting: the links into the filled curves go with them, and a
    // later fill reads the properties as they are then, as before.
    ClearCurveLinks();
    KDuzTakeNode* empty = new KDuzTakeNode(take->GetName());
    mTakeNodes.front() = empty;
    delete take;
    mDeferredAttributes = deferred;
    mTakeContentPending = true;
}

KDuzTakeNode* KDuzTakeNodeContainer::CreateTakeNode(const char* name) {
    if (name == nullptr) name = "";
    FillPendingTake();
    for (KDuzTakeNode* take : mTakeNodes) {
        if (std::strcmp(take->GetName(), name) == 0) {
            ReportError(kTakeErrorAlreadyExists);
            return nullptr;
        }
    }
    KDuzTakeNode* take;
    if (!mTakeNodes.empty()) {
        // Every new take starts with the default take's curves and values.
        take = new KDuzTakeNode(*mTakeNodes.front());
        take->SetName(name);
        mTakeNodes.push_back(take);
        return take;
    }
    take = new KDuzTakeNode(name);
    mTakeNodes.push_back(take);
    AddPropertiesToTakeNode(take);
    // Properties marked animatable before the first take existed get their
    // channels now, carrying the values they hold.
    std::vector<KDuzProperty> properties;
    for (int i = 0; i < GetPropertyCount(); ++i) {
        if (!IsPropertyPending(i)) properties.push_back(GetPropertyAt(i));
    }
    for (KDuzProperty& property : properties) {
        if (property.GetFlag(kDuzPropertyAnimatable)) AddPropertyToTakeNodes(property, take->GetName());
    }
    return take;
}

bool KDuzTakeNodeContainer::RemoveTakeNode(int index) {
    if (index == 0) {
        ReportError(kTakeErrorRemoveDefault);
        return false;
    }
    if (index < 0 || index >= GetTakeNodeCount()) {
        ReportError(kTakeErrorIndexOutOfRange);
        return false;
    }
    // A removal at or below the current take shifts it down, so the same
    // take (or, for the current one, the previous) stays current.
    if (index <= mCurrentTake) --mCurrentTake;
    KDuzTakeNode* take = mTakeNodes[static_cast<size_t>(index)];
    mTakeNodes.erase(mTakeNodes.begin() + index);
    delete take;
    return true;
}

KDuzTakeNode* KDuzTakeNodeContainer::GetTakeNodeAt(int index) {
    FillPendingTake();
    if (index < 0 || index >= GetTakeNodeCount()) {
        ReportError(kTakeErrorNoSuchTake);
        return nullptr;
    }
    return mTakeNodes[static_cast<size_t>(index)];
}

const char* KDuzTakeNodeContainer::GetTakeNodeName(int index) {
    // A name needs no channels.
    if (index < 0 || index >= GetTakeNodeCount()) {
        ReportError(kTakeErrorNoSuchTake);
        return nullptr;
    }
    return mTakeNodes[static_cast<size_t>(index)]->GetName();
}

KDuzTakeNode* KDuzTakeNodeContainer::GetDefaultTakeNode() const {
    FillPendingTake();
    return mTakeNodes.empty() ? nullptr : mTakeNodes.front();
}

KDuzTakeNode* KDuzTakeNodeContainer::CurrentTakeQuiet() const {
    FillPendingTake();
    if (mCurrentTake < 0 || mCurrentTake >= static_cast<int>(mTakeNodes.size())) return nullptr;
    return mTakeNodes[static_cast<size_t>(mCurrentTake)];
}

KDuzTakeNode* KDuzTakeNodeContainer::GetCurrentTakeNode() {
    KDuzTakeNode* take = CurrentTakeQuiet();
    if (take == nullptr) ReportError(kTakeErrorNoSuchTake);
    return take;
}

bool KDuzTakeNodeContainer::SetCurrentTakeNodeByName(const char* name) {
    for (int i = 0; name != nullptr && i < GetTakeNodeCount(); ++i) {
        if (std::strcmp(mTakeNodes[static_cast<size_t>(i)]->GetName(), name) == 0) {
            mCurrentTake = i;
            return true;
        }
    }
    ReportError(kTakeErrorUnknownName);
    mCurrentTake = 0;
    return false;
}

bool KDuzTakeNodeContainer::SetCurrentTakeNode(int index) {
    if (index >= 0 && index < GetTakeNodeCount()) {
        mCurrentTake = index;
        return true;
    }
    ReportError(kTakeErrorIndexOutOfRange);
    mCurrentTake = 0;
    return false;
}

bool KDuzTakeNodeContainer::GetAnimationInterval(KTime& start, KTime& stop) {
    KDuzTakeNode* take = CurrentTakeQuiet();
    if (take == nullptr || take->GetCurveNode() == nullptr) return false;
    KTime foundStart(kFCurveInfiniteTicks);
    KTime foundStop(kFCurveMinusInfiniteTicks);
    const bool found = take->GetCurveNode()->ExtendAnimationInterval(foundStart, foundStop);
    if (found) {
        if (foundStart.Get() < start.Get()) start = foundStart;
        if (foundStop.Get() > stop.Get()) stop = foundStop;
    }
    return found;
}

void KDuzTakeNodeContainer::CopyTakeNodes(const KDuzTakeNodeContainer& other) {
    if (&other == this) return;
    other.FillPendingTake();
    CopyName(other);
    // The links point into the take nodes about to go.
    ClearCurveLinks();
    DeleteTakeNodes();
    for (const KDuzTakeNode* take : other.mTakeNodes) mTakeNodes.push_back(new KDuzTakeNode(*take));
    mCurrentTake = other.mCurrentTake;
    RelinkDefaultTake();
}

bool KDuzTakeNodeContainer::IsChannelAnimated(const char* name1, const char* name2,
                                              const char* name3) {
    // Only the takes past the default one count: with none there is nothing to fill.
    if (mTakeNodes.size() < 2) return false;
    FillPendingTake();
    for (size_t i = 1; i < mTakeNodes.size(); ++i) {
        if (mTakeNodes[i]->IsAnimated(name1, name2, name3)) return true;
    }
    return false;
}

bool KDuzTakeNodeContainer::IsChannelAnimatedFor(const char* name1, const char* name2,
                                                 const KFCurveNode* node) {
    if (node == nullptr || mTakeNodes.size() < 2) return false;
    FillPendingTake();
    for (size_t i = 1; i < mTakeNodes.size(); ++i) {
        KFCurveNode* current = mTakeNodes[i]->GetCurveNode();
        for (const char* name : {name1, name2}) {
            if (current != nullptr && name != nullptr) current = current->FindByPath(name);
        }
        if (current == nullptr) continue;
        KFCurveNode* child = current->GetChild(current->FindChildIndexByName(node->GetName()));
        if (child != nullptr && child->GetCurve() != nullptr && child->GetCurve()->KeyGetCount() > 0)
            return true;
    }
    return false;
}

// ---- properties and curves ----------------------------------------------------------

const char* KDuzTakeNodeContainer::ShortCurveNodeName(const char* name) {
    const char* shortName;
    IsTransformName(name, shortName);
    return shortName;
}

KFCurveNode* KDuzTakeNodeContainer::FindPropertyCurveNode(KDuzTakeNode* takeNode,
                                                          const char* propertyName) {
    if (takeNode == nullptr || takeNode->GetCurveNode() == nullptr || propertyName == nullptr)
        return nullptr;
    KFCurveNode* root = takeNode->GetCurveNode();
    const char* shortName;
    if (IsTransformName(propertyName, shortName)) return root->FindByPath(shortName);
    return root->GetChild(root->FindChildIndexByName(propertyName));
}

void KDuzTakeNodeContainer::AddPropertyCurveNodes(KProperty* property, KDuzTakeNode* takeNode) {
    if (property == nullptr || takeNode == nullptr || takeNode->GetCurveNode() == nullptr) return;
    KFCurveNode* root = takeNode->GetCurveNode();
    const bool isDefault = strcasecmp(takeNode->GetName(), "Default") == 0;
    const char* name = property->GetName();
    if (root->FindChildIndexByName(name) >= 0) return;
    const int count = std::min(ComponentCount(property), 16);
    KFCurveNode* node;
    if (count >= 2) {
        node = root->FindOrCreateChild(name, false);
        if (node == nullptr) return;
        for (int i = 0; i < count; ++i) {
            KFCurveNode* child = ChannelChild(node, i, KDuzChannelName(count, i));
            if (isDefault && child != nullptr && child->GetCurve() != nullptr)
                LinkPropertyCurve(property, i, child->GetCurve());
        }
    } else {
        node = root->FindOrCreateChild(name, true);
        if (node == nullptr) return;
        if (isDefault) LinkPropertyCurve(property, 0, node->GetCurve());
    }
    SetCurveNodeDefaults(property, node);
}

void KDuzTakeNodeContainer::SetCurveNodeDefaults(KProperty* property, KFCurveNode* node) {
    if (property == nullptr || node == nullptr) return;
    double values[16] = {};
    if (!property->GetDoubles(values)) return;
    const int count = ComponentCount(property);
    if (count == 3 || count == 4) {
        for (int i = 0; i < count; ++i) {
            if (KFCurveNode* child = node->GetChild(i)) SetDefaultQuietly(child->GetCurve(), values[i]);
        }
    } else if (count == 16) {
        for (int i = 0; i < 16; ++i) {
            if (KFCurveNode* child = node->GetChild(i)) SetDefaultQuietly(child->GetCurve(), values[i]);
        }
    } else {
        SetDefaultQuietly(node->GetCurve(), values[0]);
    }
}

void KDuzTakeNodeContainer::LinkPropertyCurve(KProperty* property, int channel, KFCurve* curve) {
    if (property == nullptr || curve == nullptr) return;
    auto* link = new KDuzCurveLink;
    link->property = HdlKObject::FromPlug(property);
    link->channel = channel;
    link->curve = curve;
    link->container = this;
    mCurveLinks.push_back(link);
    curve->CallbackRegister(&KDuzTakeNodeContainer::OnLinkedCurveChanged, link);
}

void KDuzTakeNodeContainer::UnlinkCurve(KDuzCurveLink*& link) {
    auto it = std::find(mCurveLinks.begin(), mCurveLinks.end(), link);
    if (link == nullptr || it == mCurveLinks.end()) return;
    if (link->curve != nullptr) link->curve->CallbackUnregister(&KDuzTakeNodeContainer::OnLinkedCurveChanged, link);
    mCurveLinks.erase(it);
    delete link;
    link = nullptr;
}

void KDuzTakeNodeContainer::ClearCurveLinks() {
    while (!mCurveLinks.empty()) {
        KDuzCurveLink* link = mCurveLinks.front();
        UnlinkCurve(link);
    }
}

void KDuzTakeNodeContainer::OnLinkedCurveChanged(KFCurve* curve, KFCurveChange* change, void* data) {
    auto* link = static_cast<KDuzCurveLink*>(data);
    if (curve == nullptr || change == nullptr || link == nullptr) return;
    if (change->mFlags & kFCurveChangeDefaultValue) {
        if (KProperty* property = KPropertyCast(link->property.Get())) {
            const double v = curve->GetDefaultValue();
            const int channel = link->channel;
            const KDataType* type = property->GetDataType();
            double values[16] = {};
            if (type != nullptr) {
                if (IsMatrixType(type)) {
                    if (type->GetValueSize() <= 128 && channel >= 0 && channel < type->GetComponentCount() &&
                        channel < 16 && property->GetDoubles(values)) {
                        values[channel] = v;
                        property->SetDoubles(values);
                    }
                } else if (channel >= 0 && channel < type->GetComponentCount() && channel < 16 &&
                           type->GetValueSize() <= 32 && property->GetDoubles(values)) {
                    values[channel] = v;
                    property->SetDoubles(values);
                }
            } else {
                switch (property->GetValueType()) {
                    case eKPropInt:
                    case eKPropBool:
                    case eKPropEnum: property->SetInt(static_cast<int>(v)); break;
                    case eKPropFloat:
                    case eKPropDouble: property->SetDouble(v); break;
                    case eKPropVector4D:
                    case eKPropVector3D:
                    case eKPropColorRGB:
                    case eKPropColorRGBA:
                    case eKPropMatrix:
                        if (channel >= 0 && channel < 16 && property->GetDoubles(values)) {
                            values[channel] = v;
                            property->SetDoubles(values);
                        }
                        break;
                    default: break;
                }
            }
        }
    }
    if (change->mFlags & kFCurveChangeDestroyed) {
        link->curve = nullptr;   // going away: nothing to unregister from
        KDuzCurveLink* doomed = link;
        if (link->container != nullptr) link->container->UnlinkCurve(doomed);
    }
}

void KDuzTakeNodeContainer::RelinkDefaultTake() {
    KDuzTakeNode* take = GetDefaultTakeNode();
    KDuzObject_internal* internal = GetInternalObject();
    if (take == nullptr || internal == nullptr) return;
    for (int i = 0; i < internal->GetPropertyCount(); ++i) {
        KFCurveNode* node = FindPropertyCurveNode(take, internal->GetPropertyName(i));
        if (node == nullptr) continue;
        KProperty* property = internal->GetProperty(i);
        if (property == nullptr) continue;
        if (node->GetCurve() != nullptr && node->GetChildCount() == 0) {
            LinkPropertyCurve(property, 0, node->GetCurve());
            continue;
        }
        for (int c = 0; c < node->GetChildCount() && c < 16; ++c) {
            if (KFCurveNode* child = node->GetChild(c)) LinkPropertyCurve(property, c, child->GetCurve());
        }
    }
}

void KDuzTakeNodeContainer::AddPropertyToTakeNodes(KDuzProperty& property, const char* takeName) {
    if (!property.IsValid() || !property.GetFlag(kDuzPropertyAnimatable)) return;
    property.ModifyFlag(kDuzPropertyFlag8, true);
    // The take gets it when it is filled, unless an attribute waits to copy
    // its values: those went in before anything added later.
    if (mTakeContentPending && !mDeferredAttributes.empty()) FillPendingTake();
    if (mTakeContentPending) return;
    AddPropertyToTakes(property, takeName);
}

void KDuzTakeNodeContainer::AddPropertyToTakes(KDuzProperty& property, const char* takeName) {
    const EPropertyTypeCode code = property.GetPropertyTypeCode();
    const char* name = property.GetName();
    const char* shortName;
    const bool transform = IsTransformName(name, shortName);
    for (size_t t = 0; t < mTakeNodes.size(); ++t) {
        KDuzTakeNode* take = mTakeNodes[t];
        if (takeName != nullptr && std::strcmp(take->GetName(), takeName) != 0) continue;
        KFCurveNode* root = take->GetCurveNode();
        if (root == nullptr) continue;
        KFCurveNode* node = FindPropertyCurveNode(take, name);
        if (transform || node != nullptr) {
            if (node != nullptr) SetCurveNodeValue(property, node);
            continue;
        }
        const bool channels = code == ePropertyTypeVector || code == ePropertyTypeColor ||
                              code == ePropertyTypeMatrix;
        node = root->FindOrCreateChild(name, !channels);
        if (node == nullptr) continue;
        KProperty* bound = property.GetBoundProperty();
        if (t == 0 && bound != nullptr) {
            if (channels) {
                const int count = code == ePropertyTypeMatrix ? 16 : 3;
                for (int c = 0; c < count; ++c) {
                    KFCurveNode* child = node->FindOrCreateChild(KDuzChannelName(count, c), true);
                    if (child != nullptr) LinkPropertyCurve(bound, c, child->GetCurve());
                }
            } else {
                LinkPropertyCurve(bound, 0, node->GetCurve());
            }
        }
        SetCurveNodeValue(property, node);
    }
}

void KDuzTakeNodeContainer::SetCurveNodeValue(const KDuzProperty& property, KFCurveNode* node) {
    if (node == nullptr || !property.IsValid()) return;
    const EPropertyTypeCode code = property.GetPropertyTypeCode();
    double values[16] = {};
    if (code == ePropertyTypeVector || code == ePropertyTypeColor) {
        // Read in the property's own kind (three or four doubles); x, y, z go to the curves.
        if (!property.GetValue(values, property.GetValueKind())) return;
        for (int c = 0; c < 3; ++c) {
            KFCurveNode* child = ChannelChild(node, c, KDuzChannelName(3, c));
            if (child != nullptr) SetDefaultQuietly(child->GetCurve(), values[c]);
        }
    } else if (code == ePropertyTypeMatrix) {
        KgeMatrix matrix = property.GetMatrix();
        for (int c = 0; c < 16; ++c) {
            KFCurveNode* child = ChannelChild(node, c, KDuzChannelName(16, c));
            if (child != nullptr) SetDefaultQuietly(child->GetCurve(), matrix.Data()[c]);
        }
    } else {
        double value = 0.0;
        if (!property.GetValue(&value, 4)) return;   // only numeric kinds have a curve value
        SetDefaultQuietly(node->GetCurve(), value);
    }
}

bool KDuzTakeNodeContainer::UpdateTakeCurves(const KDuzProperty& property, KDuzTakeNode* takeNode) {
    if (takeNode == nullptr || takeNode->GetCurveNode() == nullptr || !property.IsValid()) return false;
    KFCurveNode* node = FindPropertyCurveNode(takeNode, property.GetName());
    if (node == nullptr) return false;
    SetCurveNodeValue(property, node);
    return true;
}

void KDuzTakeNodeContainer::PropertyAdded(KDuzProperty& property) {
    KDuzObject::PropertyAdded(property);
    AddPropertyToTakeNodes(property, nullptr);
}

void KDuzTakeNodeContainer::RemovePropertyCurveNodes(const char* name) {
    FillPendingTake();
    for (KDuzTakeNode* take : mTakeNodes) {
        KFCurveNode* node = FindPropertyCurveNode(take, name);
        KFCurveNode* parent = node != nullptr ? node->GetParent() : nullptr;
        if (parent != nullptr) parent->RemoveChild(parent->FindChildIndex(node));
    }
}

void KDuzTakeNodeContainer::PropertyRemoved(KDuzProperty& property) {
    RemovePropertyCurveNodes(property.GetName());
    KDuzObject::PropertyRemoved(property);
}

void KDuzTakeNodeContainer::UnwrappedPropertyRemoved(const char* name, KProperty* property, int slot) {
    if (!mTakeNodes.empty()) {
        const KDuzObject_internal* internal = GetInternalObject();
        if (name == nullptr && internal != nullptr) name = internal->GetPropertyName(slot);
        if (name != nullptr) RemovePropertyCurveNodes(name);
    }
    KDuzObject::UnwrappedPropertyRemoved(name, property, slot);
}

void KDuzTakeNodeContainer::PropertyFlagsChanging(const KDuzProperty&, unsigned bits) {
    if (bits & kDuzPropertyAnimatable) FillPendingTake();
}

bool KDuzTakeNodeContainer::TakesFollowValueOf(const char* name) const {
    if (mTakeContentPending || mTakeNodes.empty()) return false;
    KDuzTakeNode* current = mCurrentTake >= 0 && mCurrentTake < static_cast<int>(mTakeNodes.size())
                                ? mTakeNodes[static_cast<size_t>(mCurrentTake)]
                                : nullptr;
    return FindPropertyCurveNode(current, name) != nullptr || FindPropertyCurveNode(mTakeNodes.front(), name) != nullptr;
}

void KDuzTakeNodeContainer::PropertyChanged(KDuzProperty& property) {
    if (!property.GetFlag(kDuzPropertyAnimatable)) return;
    // A waiting take reads the values when it is filled.
    if (mTakeContentPending) return;
    KDuzTakeNode* current = CurrentTakeQuiet();
    if (current == nullptr || current->GetCurveNode() == nullptr) return;
    UpdateTakeCurves(property, current);
    KDuzTakeNode* first = GetDefaultTakeNode();
    if (first != current) UpdateTakeCurves(property, first);
}

}  // namespace duzsdk
