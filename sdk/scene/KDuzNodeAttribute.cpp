#include "sdk/scene/KDuzNodeAttribute.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

#include <strings.h>

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzNodeAttribute_internal");
constexpr double kDefaultGrey = 0.8;

// The node keeps its own copy of the type codes; both must agree.
constexpr int kTypePairs[][2] = {
    {KDuzNodeAttribute::eUnidentified, eUnidentified}, {KDuzNodeAttribute::eNull, eNull},
    {KDuzNodeAttribute::eMarker, eMarker},             {KDuzNodeAttribute::eSkeleton, eSkeleton},
    {KDuzNodeAttribute::eMesh, eMesh},                 {KDuzNodeAttribute::eNurb, eNurb},
    {KDuzNodeAttribute::ePatch, ePatch},               {KDuzNodeAttribute::eCamera, eCamera},
    {KDuzNodeAttribute::eCameraSwitcher, eCameraSwitcher}, {KDuzNodeAttribute::eLight, eLight},
    {KDuzNodeAttribute::eOpticalReference, eOpticalReference},
    {KDuzNodeAttribute::eNurbsCurve, eNurbsCurve},
    {KDuzNodeAttribute::eTrimNurbsSurface, eTrimNurbsSurface},
    {KDuzNodeAttribute::eBoundary, eBoundary},         {KDuzNodeAttribute::eNurbsSurface, eNurbsSurface},
};
constexpr bool TypeCodesAgree() {
    for (const auto& pair : kTypePairs) {
        if (pair[0] != pair[1]) return false;
    }
    return true;
}
static_assert(TypeCodesAgree(), "attribute type codes");

}  // namespace

void KDuzSetCurveDefaultQuietly(KFCurve* curve, double value) {
    if (curve == nullptr) return;
    const bool enabled = curve->IsNotificationEnabled();
    curve->SetNotificationEnabled(false);
    curve->SetDefaultValue(static_cast<float>(value));
    curve->SetNotificationEnabled(enabled);
}

// ---- internal twin ---------------------------------------------------------------

KDuzNodeAttribute_internal::KDuzNodeAttribute_internal(KDuzObject* object)
    : KDuzObject_internal(object),
      mColor(new KPropertyTemplate<KgeRGBVector>(this, "Color", KDataTypeFindByName("Color"))) {
    mColor->GetInfo().ModifyFlags(KPropertyInfo::kAnimatable, true);
    mColor->Set(KgeRGBVector(kDefaultGrey, kDefaultGrey, kDefaultGrey, 1.0));
}

KDuzNodeAttribute_internal::KDuzNodeAttribute_internal(KDuzObject* object, const KPropertySlotTable* slots)
    : KDuzObject_internal(object), mColor(nullptr) {
    ListSlots(slots);
    mColor = dynamic_cast<KPropertyTemplate<KgeRGBVector>*>(MaterializeSlot(0));
}

void KDuzNodeAttribute_internal::MakeColorSlot(KObject* owner) {
    auto* color = new KPropertyTemplate<KgeRGBVector>(owner, "Color", KDataTypeFindByName("Color"));
    color->GetInfo().ModifyFlags(KPropertyInfo::kAnimatable, true);
    color->Set(KgeRGBVector(kDefaultGrey, kDefaultGrey, kDefaultGrey, 1.0));
}

KPlugTypeInfo* KDuzNodeAttribute_internal::GetPlugTypeInfo() const {
    return PlugTypeInfoGetRecord(kTypeNumber);
}

int KDuzNodeAttribute_internal::GetStaticTypeNumber() const { return kTypeNumber; }

void KDuzNodeAttribute_internal::SetColor(const KgeRGBVector& color) {
    KgeRGBVector stored = mColor->Get();
    stored[0] = color[0];
    stored[1] = color[1];
    stored[2] = color[2];
    mColor->Set(stored);
}

KgeRGBVector KDuzNodeAttribute_internal::GetColor() { return mColor->Get(); }

KProperty* KDuzNodeAttribute_internal::AddChannelProperty(const char* name,
                                                          const char* dataTypeName) {
    const KDataType* type = KDataTypeFindByName(dataTypeName);
    const int code = type != nullptr ? KDataTypeToPropertyTypeCode(type) : eKPropDouble;
    KProperty* property = AddNewProperty(name, code, type, true);
    if (property != nullptr) property->SetFlags(8, true);
    return property;
}

// ---- life ------------------------------------------------------------------------

KDuzNodeAttribute::KDuzNodeAttribute(KDuzSdkManager* manager, const char* name)
    : KDuzObject(manager, name) {}

KDuzNodeAttribute::~KDuzNodeAttribute() = default;

KDuzNodeAttribute* KDuzNodeAttribute::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzNodeAttribute*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzNodeAttribute::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* attribute = new KDuzNodeAttribute(manager, name);
    attribute->PostCreate();
    return attribute;
}

KClassId KDuzNodeAttribute::ClassId() { return KDuzClassIdOf(eDuzClassNodeAttribute); }

KClassId KDuzNodeAttribute::GetClassId() const { return ClassId(); }

// ---- attaching ---------------------------------------------------------------------

bool KDuzNodeAttribute::ConnectNotify(const KDuzConnectEvent& event) {
    if (event.source == this && event.destination != nullptr &&
        event.destination->Is(KDuzNode::ClassId())) {
        auto* node = dynamic_cast<KDuzNode*>(event.destination);
        if (event.code == eDuzConnectedSource && node != nullptr) {
            SetNode(node);
        } else if (event.code == eDuzDisconnectedSource && node != nullptr && node == mNode) {
            // An attribute carried by two nodes keeps its channels on the
            // node it is still linked to when the other one lets it go.
            ClearNode();
        }
    }
    return KDuzObject::ConnectNotify(event);
}

void KDuzNodeAttribute::SetNode(KDuzNode* node) {
    mNode = node;
    KDuzTakeNodeContainer* container = GetNodeContainer();
    if (container == nullptr) return;
    if (!AddsTakeChannels() && container->DeferAttachedTakeCurves(this)) return;
    // The count is read again each step: adding channels may add takes.
    for (int i = 0; i < container->GetTakeNodeCount(); ++i) {
        KDuzTakeNode* take = container->GetTakeNodeAt(i);
        if (take == nullptr) continue;
        AddPropertiesToTakeNode(take);
        SetTakeCurvesFromProperties(take);
    }
}

void KDuzNodeAttribute::ClearNode() {
    KDuzTakeNodeContainer* container = GetNodeContainer();
    if (container != nullptr && !container->ForgetDeferredTakeCurves(this)) {
        for (int i = 0; i < container->GetTakeNodeCount(); ++i) {
            if (KDuzTakeNode* take = container->GetTakeNodeAt(i)) RemovePropertiesFromTakeNode(take);
        }
    }
    mNode = nullptr;
}

void KDuzNodeAttribute::DestroyContents(bool recursive, bool dependents) {
    // The node's curves would otherwise outlive the properties they drive.
    if (mNode != nullptr) ClearNode();
    KDuzObject::DestroyContents(recursive, dependents);
}

KDuzObject* KDuzNodeAttribute::GetTakeNodeContainer() { return mNode; }

KDuzTakeNodeContainer* KDuzNodeAttribute::GetNodeContainer() const { return mNode; }

KDuzTakeNode* KDuzNodeAttribute::GetNodeDefaultTake() const {
    return mNode != nullptr ? mNode->GetDefaultTakeNode() : nullptr;
}

KDuzNodeAttribute_internal* KDuzNodeAttribute::GetAttributeInternal() const {
    return dynamic_cast<KDuzNodeAttribute_internal*>(
        const_cast<KDuzNodeAttribute*>(this)->GetInternalObject());
}

// ---- channel helpers ------------------------------------------------------------------

bool KDuzNodeAttribute::IsDefaultTake(const KDuzTakeNode* takeNode) {
    return takeNode != nullptr && strcasecmp(takeNode->GetName(), "Default") == 0;
}

KFCurveNode* KDuzNodeAttribute::RootOf(KDuzTakeNode* takeNode) {
    return takeNode != nullptr ? takeNode->GetCurveNode() : nullptr;
}

namespace {

KFCurveNode* FindOrCreateTyped(KFCurveNode* parent, const char* name, const char* dataTypeName) {
    if (parent == nullptr || name == nullptr) return nullptr;
    KFCurveNode* node = parent->GetChild(parent->FindChildIndexByName(name));
    if (node != nullptr) return node;
    // Made with its data type so the take node's type look-ups find it.
    node = KFCurveNodeCreate(name, dataTypeName != nullptr ? KDataTypeFindByName(dataTypeName) : nullptr);
    if (node != nullptr) parent->AddChild(node);
    return node;
}

}  // namespace

KFCurveNode* KDuzNodeAttribute::AddChannelGroup(KDuzTakeNode* takeNode, const char* name,
                                                const char* dataTypeName) {
    return FindOrCreateTyped(RootOf(takeNode), name, dataTypeName);
}

KFCurve* KDuzNodeAttribute::AddChannel(KFCurveNode* parent, const char* name,
                                       const char* dataTypeName, double defaultValue, float red,
                                       float green, float blue) {
    KFCurveNode* node = FindOrCreateTyped(parent, name, dataTypeName);
    if (node == nullptr) return nullptr;
    if (node->GetCurve() == nullptr) node->SetCurve(KFCurveCreate());
    KFCurve* curve = node->GetCurve();
    if (curve == nullptr) return nullptr;
    KDuzSetCurveDefaultQuietly(curve, defaultValue);
    const bool enabled = curve->IsNotificationEnabled();
    curve->SetNotificationEnabled(false);
    curve->SetColor(red, green, blue);
    curve->SetNotificationEnabled(enabled);
    return curve;
}

void KDuzNodeAttribute::RemoveChannel(KDuzTakeNode* takeNode, const char* name) {
    if (takeNode == nullptr || takeNode->GetCurveNode() == nullptr) return;
    KFCurveNode* root = takeNode->GetCurveNode();
    const int index = root->FindChildIndexByName(name);
    if (index >= 0) root->RemoveChild(index);
}

namespace {

KFCurve* DefaultTakeCurve(KDuzTakeNode* take, const char* name, const char* child) {
    if (take == nullptr || take->GetCurveNode() == nullptr || name == nullptr) return nullptr;
    KFCurveNode* root = take->GetCurveNode();
    KFCurveNode* node = root->GetChild(root->FindChildIndexByName(name));
    if (node != nullptr && child != nullptr) node = node->GetChild(node->FindChildIndexByName(child));
    return node != nullptr ? node->GetCurve() : nullptr;
}

}  // namespace

bool KDuzNodeAttribute::GetDefaultChannel(const char* name, const char* child, double& value) const {
    KFCurve* curve = DefaultTakeCurve(GetNodeDefaultTake(), name, child);
    if (curve == nullptr) return false;
    value = curve->GetDefaultValue();
    return true;
}

bool KDuzNodeAttribute::SetDefaultChannel(const char* name, const char* child, double value) const {
    KFCurve* curve = DefaultTakeCurve(GetNodeDefaultTake(), name, child);
    if (curve == nullptr) return false;
    curve->SetDefaultValue(static_cast<float>(value));
    return true;
}

}  // namespace duzsdk
