#include "sdk/scene/KDuzMarker.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KStringList.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

namespace {

constexpr int kTypeNumber = PlugTypeNumberOf("KDuzMarker_internal");
constexpr const char* kOcclusion = "Occlusion";
constexpr const char* kIKReachTranslation = "IK Reach Translation";
constexpr const char* kIKReachRotation = "IK Reach Rotation";

}  // namespace

class KDuzMarker_internal : public KDuzNodeAttribute_internal {
public:
    explicit KDuzMarker_internal(KDuzObject* object)
        : KDuzNodeAttribute_internal(object),
          look(new KPropertyTemplate<int>(this, "Look", KDataTypeFindByName("Enum"), false, nullptr, 0,
                                          eKPropEnum)),
          size(new KPropertyTemplate<double>(this, "Size")),
          showLabel(new KPropertyTemplate<bool>(this, "ShowLabel")),
          ikPivot(new KPropertyTemplate<KgeTVector>(this, "IKPivot", KDataTypeFindByName("Vector"))) {
        KStringList* texts = look->GetEnumList(true);
        for (const char* text : {"Cube", "Hard Cross", "Light Cross", "Sphere"}) texts->Append(text);
    }

    KPlugTypeInfo* GetPlugTypeInfo() const override { return PlugTypeInfoGetRecord(kTypeNumber); }
    int GetStaticTypeNumber() const override { return kTypeNumber; }

    // Owned by the property array.
    KPropertyTemplate<int>* look;
    KPropertyTemplate<double>* size;
    KPropertyTemplate<bool>* showLabel;
    KPropertyTemplate<KgeTVector>* ikPivot;
};

namespace {

KDuzMarker_internal* Twin(const KDuzMarker* marker) {
    return static_cast<KDuzMarker_internal*>(const_cast<KDuzMarker*>(marker)->GetInternalObject());
}

}  // namespace

KDuzMarker::KDuzMarker(KDuzSdkManager* manager, const char* name) : KDuzNodeAttribute(manager, name) {
    SetInternalObject(new KDuzMarker_internal(this));
    Reset();
    WrapInternalProperties();
}

KDuzMarker::~KDuzMarker() = default;

KDuzMarker* KDuzMarker::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzMarker*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzMarker::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* marker = new KDuzMarker(manager, name);
    marker->PostCreate();
    return marker;
}

KClassId KDuzMarker::ClassId() { return KDuzClassIdOf(eDuzClassMarker); }

KClassId KDuzMarker::GetClassId() const { return ClassId(); }

KString KDuzMarker::GetTypeName() const {
    switch (mType) {
        case eOptical: return KString("OpticalMarker");
        case eIKEffector: return KString("IKEffector");
        case eFKEffector: return KString("FKEffector");
        default: return KString("Marker");
    }
}

KStringList KDuzMarker::GetTypeFlags() const {
    KStringList list;
    list.Append("Marker");
    return list;
}

void KDuzMarker::Reset() {
    mType = eStandard;
    SetLook(eCube);
    SetSize(100.0);
    SetColor(KDuzRGBAColor(1.0, 0.0, 0.0, 1.0));
    SetShowLabel(false);
    SetIKPivot(KgeTVector(0.0, 0.0, 0.0, 1.0));
}

void KDuzMarker::SetType(EType type) {
    if (type == mType) return;
    KDuzNode* node = GetNode();
    // The channels of the old type leave the node's takes before the type
    // changes, so that the removal finds them.
    if (node != nullptr) ClearNode();
    mType = type;
    if (node != nullptr) SetNode(node);
}

void KDuzMarker::SetLook(ELook look) {
    if (KDuzMarker_internal* twin = Twin(this)) twin->look->Set(static_cast<int>(look));
}

KDuzMarker::ELook KDuzMarker::GetLook() const {
    KDuzMarker_internal* twin = Twin(this);
    return twin != nullptr ? static_cast<ELook>(twin->look->Get()) : eCube;
}

void KDuzMarker::SetSize(double size) {
    if (KDuzMarker_internal* twin = Twin(this)) twin->size->Set(size);
}

double KDuzMarker::GetSize() const {
    KDuzMarker_internal* twin = Twin(this);
    return twin != nullptr ? twin->size->Get() : 0.0;
}

void KDuzMarker::SetShowLabel(bool show) {
    if (KDuzMarker_internal* twin = Twin(this)) twin->showLabel->Set(show);
}

bool KDuzMarker::GetShowLabel() const {
    KDuzMarker_internal* twin = Twin(this);
    return twin != nullptr && twin->showLabel->Get();
}

void KDuzMarker::SetIKPivot(const KgeTVector& pivot) {
    if (KDuzMarker_internal* twin = Twin(this)) twin->ikPivot->Set(KgeTVector(pivot[0], pivot[1], pivot[2], 1.0));
}

KgeTVector KDuzMarker::GetIKPivot() const {
    KDuzMarker_internal* twin = Twin(this);
    if (twin == nullptr) return KgeTVector(0.0, 0.0, 0.0, 1.0);
    const KgeTVector stored = twin->ikPivot->Get();
    return KgeTVector(stored[0], stored[1], stored[2], 1.0);
}

void KDuzMarker::SetColor(const KDuzRGBAColor& color) {
    if (KDuzMarker_internal* twin = Twin(this))
        twin->SetColor(KgeRGBVector(color.mRed, color.mGreen, color.mBlue, 1.0));
}

KDuzRGBAColor KDuzMarker::GetColor() const {
    KDuzMarker_internal* twin = Twin(this);
    if (twin == nullptr) return KDuzRGBAColor();
    const KgeRGBVector stored = twin->GetColor();
    return KDuzRGBAColor(stored[0], stored[1], stored[2], 1.0);
}

// ---- IK reach ---------------------------------------------------------------------

void KDuzMarker::SetDefaultIKReachTranslation(double value) {
    if (mType == eIKEffector) SetDefaultChannel(kIKReachTranslation, nullptr, value);
}

double KDuzMarker::GetDefaultIKReachTranslation() const {
    double value = 0.0;
    if (mType != eIKEffector || !GetDefaultChannel(kIKReachTranslation, nullptr, value)) return 0.0;
    return value;
}

void KDuzMarker::SetDefaultIKReachRotation(double value) {
    if (mType == eIKEffector) SetDefaultChannel(kIKReachRotation, nullptr, value);
}

double KDuzMarker::GetDefaultIKReachRotation() const {
    double value = 0.0;
    if (mType != eIKEffector || !GetDefaultChannel(kIKReachRotation, nullptr, value)) return 0.0;
    return value;
}

// ---- take channels -------------------------------------------------------------------

void KDuzMarker::AddPropertiesToTakeNode(KDuzTakeNode* takeNode) {
    KDuzNodeAttribute::AddPropertiesToTakeNode(takeNode);
    KFCurveNode* root = RootOf(takeNode);
    if (mType == eOptical) {
        AddChannel(root, kOcclusion, kOcclusion, 0.0, 0.75f, 0.0f, 0.0f);
    } else if (mType == eIKEffector) {
        AddChannel(root, kIKReachTranslation, kIKReachTranslation, 0.0, 0.75f, 0.0f, 0.0f);
        AddChannel(root, kIKReachRotation, kIKReachRotation, 0.0, 0.75f, 0.0f, 0.0f);
    }
}

void KDuzMarker::RemovePropertiesFromTakeNode(KDuzTakeNode* takeNode) {
    if (mType == eOptical) {
        RemoveChannel(takeNode, kOcclusion);
    } else if (mType == eIKEffector) {
        RemoveChannel(takeNode, kIKReachTranslation);
        RemoveChannel(takeNode, kIKReachRotation);
    }
    KDuzNodeAttribute::RemovePropertiesFromTakeNode(takeNode);
}

// ---- copies ------------------------------------------------------------------------------

void KDuzMarker::Copy(const KDuzMarker& other) {
    if (&other == this) return;
    SetType(other.GetType());
    SetLook(other.GetLook());
    SetSize(other.GetSize());
    SetColor(other.GetColor());
    SetShowLabel(other.GetShowLabel());
}

KDuzObject* KDuzMarker::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzMarker* clone = Create(GetSdkManager(), "");
    if (clone != nullptr) clone->Copy(*this);
    return clone;
}

}  // namespace duzsdk
