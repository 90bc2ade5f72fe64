#include "sdk/character/KDuzCharacter.h"

#include "sdk/character/KDuzControlSetPlug.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataTypeMap.h"
#include "sdk/scene/KDuzNode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

namespace duzsdk {

namespace {

constexpr const char* kSourceObject = "SourceObject";
constexpr const char* kDestinationObject = "DestinationObject";
constexpr const char* kActor = "Actor";
constexpr const char* kCharacterList = "Character";
constexpr const char* kControlSetList = "ControlSet";

// The characters alive in the process: a node that dies hands its records
// to the clearer, which trusts only owners found here.
std::unordered_set<const KDuzCharacter*>& LiveCharacters() {
    static std::unordered_set<const KDuzCharacter*> live;
    return live;
}

void ClearDyingNode(const KDuzNodeCharacterLink& link, KDuzNode* node) {
    auto* character = static_cast<KDuzCharacter*>(link.object);
    if (LiveCharacters().count(character) == 0) return;
    character->ForgetNode(link.type, link.index, link.extra, node);
}

const char* DataTypeOf(KDuzCharacterPropertyInfo::EKind kind) {
    switch (kind) {
        case KDuzCharacterPropertyInfo::eKindBool: return "Bool";
        case KDuzCharacterPropertyInfo::eKindVector: return "Vector";
        case KDuzCharacterPropertyInfo::eKindEnum: return "Enum";
        default: return "Number";
    }
}

bool ValidId(int id) { return id >= 0 && id < kDuzCharacterNodeCount; }

int NameKindOfInput(int type) {
    switch (type) {
        case eDuzCharacterInputActor: return eDuzNameKindConstraint;
        case eDuzCharacterInputCharacter: return eDuzNameKindConstraint2;
        case eDuzCharacterInputMarkerSet: return eDuzNameKindControlSetPlug;
        default: return -1;
    }
}

}  // namespace

KDuzCharacter::KDuzCharacter(KDuzSdkManager* manager, const char* name) : KDuzConstraint(manager, name) {
    LiveCharacters().insert(this);
}

KDuzCharacter::~KDuzCharacter() {
    LiveCharacters().erase(this);
    // Deleted without Destroy: the nodes must not keep records of this object.
    for (int id = 0; id < kDuzCharacterNodeCount; ++id) {
        if (mLinks[id].mNode != nullptr) mLinks[id].mNode->RemoveCharacterLink(this, eDuzCharacterLinkCharacter, id, 0);
    }
    delete mControlSet;
    delete mParameters;
}

KDuzCharacter* KDuzCharacter::Create(KDuzSdkManager* manager, const char* name) {
    return manager != nullptr ? dynamic_cast<KDuzCharacter*>(manager->CreateObject(ClassId(), name)) : nullptr;
}

KDuzPlug* KDuzCharacter::ClassCreator(KDuzSdkManager* manager, const char* name) {
    return KDuzConstraintCreateAndPost<KDuzCharacter>(manager, name);
}

KClassId KDuzCharacter::ClassId() { return KDuzClassIdOf(eDuzClassCharacter); }

void KDuzCharacter::InstallNodeClearer() { KDuzSetCharacterLinkClearer(&ClearDyingNode); }

KStringList* KDuzCharacter::GetTypeNames() const {
    auto* names = new KStringList();
    names->Append("Character");
    return names;
}

// ---- construction -------------------------------------------------------------------

void KDuzCharacter::PostCreate() {
    if (mControlSet == nullptr) mControlSet = new KDuzControlSet(this);
    if (mParameters == nullptr) mParameters = new KDuzCharacterParameterBlock();
    if (GetInternalObject() == nullptr)
        SetInternalObject(new KDuzConstraint_internal(this, PlugTypeNumberOf("KDuzCharacter_Internal")));
    mLoading = true;
    CreateSettingProperties();
    LoadPropertiesFromParameters();
    BindObjectList(kSourceObject, kConstraintListSource);
    BindObjectList(kDestinationObject, kConstraintListConstrained);
    BindObjectList(kActor, kConstraintListSource);
    BindObjectList(kCharacterList, kConstraintListSource);
    BindObjectList(kControlSetList, kConstraintListSource);
    CreateLinkProperties();
    mLoading = false;
    CreateDefaultTakeNode();
    WrapInternalProperties();
}

void KDuzCharacter::CreateSettingProperties() {
    for (int i = 0; i < KDuzCharacterPropertyInfoCount(); ++i) {
        const KDuzCharacterPropertyInfo& info = *KDuzCharacterPropertyInfoAt(i);
        KDuzProperty property = BindProperty(info.name, DataTypeOf(info.kind), info.animatable);
        if (info.kind == KDuzCharacterPropertyInfo::eKindEnum && property.GetEnumCount() == 0) {
            for (int t = 0; info.enumTexts != nullptr && info.enumTexts[t] != nullptr; ++t)
                property.AddEnumValue(info.enumTexts[t]);
        }
    }
    const bool active = true;
    const bool lock = false;
    const double weight = 100.0;
    FindProperty("Active").SetValue(&active, eValueKindBool);
    FindProperty("Lock").SetValue(&lock, eValueKindBool);
    FindProperty("Weight").SetValue(&weight, eValueKindDouble);
}

void KDuzCharacter::LoadPropertiesFromParameters() {
    if (mParameters == nullptr) return;
    const bool loading = mLoading;
    mLoading = true;
    for (int i = 0; i < KDuzCharacterPropertyInfoCount(); ++i) {
        const KDuzCharacterPropertyInfo& info = *KDuzCharacterPropertyInfoAt(i);
        if (info.row < 0) continue;
        KDuzProperty property = FindProperty(info.name);
        const int mode = mParameters->GetMode(info.row);
        const double value = mParameters->GetValue(info.row);
        switch (info.kind) {
            case KDuzCharacterPropertyInfo::eKindBool: {
                const bool on = mode != 0;
                property.SetValue(&on, eValueKindBool);
                break;
            }
            case KDuzCharacterPropertyInfo::eKindEnum: {
                const int number = info.role == KDuzCharacterPropertyInfo::eRowMode ? mode : static_cast<int>(value);
                property.SetValue(&number, eValueKindInt);
                break;
            }
            case KDuzCharacterPropertyInfo::eKindVector: {
                const duzVectorTemplate3<double> v(value, mParameters->GetValue(info.row + 1),
                                                   mParameters->GetValue(info.row + 2));
                property.SetValue(&v, eValueKindDouble3);
                break;
            }
            default: property.SetValue(&value, eValueKindDouble); break;
        }
    }
    mLoading = loading;
}

void KDuzCharacter::CreateLinkProperties() {
    for (int id = 0; id < kDuzCharacterNodeCount; ++id) {
        mLinks[id].mPropertyLink = KDuzProperty();
        const char* nodeName = nullptr;
        if (!KDuzCharacterGetNodeName(id, nodeName)) continue;
        char name[128];
        std::snprintf(name, sizeof(name), "%sLink", nodeName);
        KDuzProperty property = KDuzProperty::Create(this, name, PropertyDataTypeFromName("object"), "");
        property.SetUserTag(1000 + id);
        mLinks[id].mPropertyLink = property;
    }
}

// ---- settings ---------------------------------------------------------------------------

void KDuzCharacter::PropertyChanged(KDuzProperty& property) {
    const KDuzCharacterPropertyInfo* info = mLoading ? nullptr : KDuzCharacterPropertyInfoFind(property.GetName());
    if (info != nullptr && info->clamp) {
        double value = 0.0;
        property.GetValue(&value, eValueKindDouble);
        const double clamped = std::clamp(value, info->clampMin, info->clampMax);
        if (clamped != value) {
            // The write of the clamped value reports (and mirrors) itself.
            property.SetValue(&clamped, eValueKindDouble);
            return;
        }
    }
    KDuzConstraint::PropertyChanged(property);
    if (info != nullptr && info->mirror) MirrorIntoParameters(*info, property);
}

void KDuzCharacter::MirrorIntoParameters(const KDuzCharacterPropertyInfo& info, KDuzProperty& property) {
    if (mParameters == nullptr || info.row < 0) return;
    if (info.role == KDuzCharacterPropertyInfo::eRowMode) {
        int mode = 0;
        if (info.kind == KDuzCharacterPropertyInfo::eKindBool) {
            bool on = false;
            property.GetValue(&on, eValueKindBool);
            mode = on ? 1 : 0;
        } else {
            property.GetValue(&mode, eValueKindInt);
        }
        mParameters->SetMode(info.row, mode);
        return;
    }
    double value = 0.0;
    property.GetValue(&value, eValueKindDouble);
    mParameters->SetValue(info.row, 0, value);
}

// ---- links ---------------------------------------------------------------------------------

bool KDuzCharacter::SetCharacterLink(int id, const KDuzCharacterLink& link, bool updateProperty) {
    if (!ValidId(id)) return false;
    KDuzCharacterLink& stored = mLinks[id];
    if (stored.mNode != nullptr) stored.mNode->RemoveCharacterLink(this, eDuzCharacterLinkCharacter, id, 0);
    stored.Assign(link);
    if (stored.mNode != nullptr) stored.mNode->AddCharacterLink(this, eDuzCharacterLinkCharacter, id, 0);
    if (updateProperty && stored.mPropertyLink.IsValid()) {
        // Both calls come back through ConnectNotify, which stores the link
        // again with no node and then with the node: the records end as above.
        KDuzProperty property = stored.mPropertyLink;
        KDuzNode* node = stored.mNode;
        property.DisconnectAllSrcObjects();
        if (node != nullptr) property.ConnectSrcObject(node);
    }
    return true;
}

bool KDuzCharacter::GetCharacterLink(int id, KDuzCharacterLink* out) const {
    if (!ValidId(id) || !mLinks[id].IsSet()) return false;
    if (out != nullptr) out->Assign(mLinks[id]);
    return true;
}

void KDuzCharacter::ForgetNode(int kind, int index, int subIndex, const KDuzNode* node) {
    if (kind == eDuzCharacterLinkCharacter) {
        if (ValidId(index) && mLinks[index].mNode == node) mLinks[index].mNode = nullptr;
        return;
    }
    if (mControlSet != nullptr) mControlSet->ForgetNode(kind, index, subIndex, node);
}

// ---- connections ------------------------------------------------------------------------------

bool KDuzCharacter::ConnectNotify(const KDuzConnectEvent& event) {
    if (event.destination == this) {
        auto* source = dynamic_cast<KDuzObject*>(event.source);
        if (event.code == eDuzConnectAskDestination && source != nullptr && IsConnectedSrcObject(source))
            return false;
        if (event.code == eDuzConnectedDestination) {
            if (auto* plug = dynamic_cast<KDuzControlSetPlug*>(source)) {
                if (mControlSet != nullptr) mControlSet->FromPlug(plug);
                SetInput(eDuzCharacterInputMarkerSet, plug);
            } else if (auto* character = dynamic_cast<KDuzCharacter*>(source)) {
                SetInput(eDuzCharacterInputCharacter, character);
            }
        }
    } else if (auto* property = dynamic_cast<KDuzProperty*>(event.destination);
               property != nullptr && property->GetOwner() == this) {
        const int id = property->GetUserTag() - 1000;
        auto* node = dynamic_cast<KDuzNode*>(event.source);
        if (node != nullptr && ValidId(id) &&
            (event.code == eDuzConnectedDestination || event.code == eDuzDisconnectingDestination)) {
            KDuzCharacterLink copy(mLinks[id]);
            copy.mNode = event.code == eDuzConnectedDestination ? node : nullptr;
            SetCharacterLink(id, copy, false);
        }
        if (event.code == eDuzConnectedDestination && std::strcmp(property->GetName(), kControlSetList) == 0) {
            auto* plug = dynamic_cast<KDuzControlSetPlug*>(event.source);
            if (plug != nullptr && mControlSet != nullptr) mControlSet->FromPlug(plug);
        }
    }
    return KDuzConstraint::ConnectNotify(event);
}

// ---- input --------------------------------------------------------------------------------------

void KDuzCharacter::SetInput(int type, KDuzObject* object) {
    if (object == nullptr || object->GetNameKind() != NameKindOfInput(type)) return;
    auto connect = [&](const char* name) {
        KDuzProperty property = FindProperty(name);
        if (!property.IsValid()) return;
        property.DisconnectAllSrcObjects();
        property.ConnectSrcObject(object);
    };
    connect(kSourceObject);
    if (type == eDuzCharacterInputCharacter) connect(kCharacterList);
    if (type == eDuzCharacterInputMarkerSet) connect(kControlSetList);
}

KDuzObject* KDuzCharacter::GetInputObject() const {
    const KDuzProperty property = FindProperty(kSourceObject);
    return property.IsValid() ? property.GetSrcObject(KClassId(), 0) : nullptr;
}

int KDuzCharacter::GetInputType() const {
    const KDuzObject* input = GetInputObject();
    if (input == nullptr) return eDuzCharacterInputNone;
    switch (input->GetNameKind()) {
        case eDuzNameKindConstraint: return eDuzCharacterInputActor;
        case eDuzNameKindConstraint2: return eDuzCharacterInputCharacter;
        case eDuzNameKindControlSetPlug: return eDuzCharacterInputMarkerSet;
        default: return eDuzCharacterInputNone;
    }
}

// ---- reset, copy, clone, destroy ------------------------------------------------------------------

void KDuzCharacter::Reset() {
    SetName("");
    for (int id = 0; id < kDuzCharacterNodeCount; ++id) {
        KDuzCharacterLink& link = mLinks[id];
        if (link.mNode != nullptr) link.mNode->RemoveCharacterLink(this, eDuzCharacterLinkCharacter, id, 0);
        // The "%sLink" property stays this role's: later links still reach it.
        const KDuzProperty property = link.mPropertyLink;
        link.Reset();
        link.mPropertyLink = property;
    }
    if (mControlSet != nullptr) mControlSet->Clear();
}

KDuzCharacter& KDuzCharacter::CopyFrom(const KDuzCharacter& source) {
    if (&source == this) return *this;
    CopyName(source);
    SetInput(source.GetInputType(), source.GetInputObject());
    for (int id = 0; id < kDuzCharacterNodeCount; ++id) {
        KDuzCharacterLink link;
        if (source.GetCharacterLink(id, &link)) SetCharacterLink(id, link, true);
    }
    if (mParameters != nullptr && source.mParameters != nullptr) mParameters->CopyFrom(*source.mParameters);
    const KDuzControlSet* from = source.mControlSet;
    if (mControlSet != nullptr && from != nullptr) {
        mControlSet->SetType(from->GetType());
        for (int id = 0; id < kDuzCharacterNodeCount; ++id) {
            KDuzControlSetLink link;
            if (from->GetControlSetLink(id, &link)) mControlSet->SetControlSetLink(id, link);
        }
        for (int e = 0; e < kDuzEffectorCount; ++e) {
            KDuzControlSetEffector effector;
            if (from->GetEffector(e, &effector)) mControlSet->SetEffector(e, effector);
            KDuzNode* aux = nullptr;
            if (from->GetEffectorAux(e, &aux, 1)) mControlSet->SetEffectorAux(e, aux, 1);
        }
    }
    return *this;
}

KDuzObject* KDuzCharacter::Clone(int mode) {
    if (mode != 2 || GetSdkManager() == nullptr) return nullptr;
    KDuzCharacter* copy = Create(GetSdkManager(), GetName());
    if (copy != nullptr) copy->CopyFrom(*this);
    return copy;
}

void KDuzCharacter::DestroyContents(bool recursive, bool dependents) {
    Reset();
    // Nulled, so that the accessors and copies of a destroyed character hand
    // out nothing instead of freed memory.
    delete mControlSet;
    mControlSet = nullptr;
    delete mParameters;
    mParameters = nullptr;
    KDuzConstraint::DestroyContents(recursive, dependents);
}

}  // namespace duzsdk
