// The parts of one version 5 "Model" record: head, version, layer and take
// flags, visibility and shading, "Limits", look-at links, the lists of
// animated and user properties, default channel values, children and tail.
#include <cstring>
#include <limits>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/io/KFCurveNodeDuzStorage.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzNodeLimits.h"
#include "sdk/scene/KDuzNodeLimitsAccessor.h"

namespace duzsdk {

namespace {

constexpr unsigned kUserPropertyFlag = 2;

bool ChannelAnimated(KDuzObject* object, const char* name, bool components) {
    auto* container = dynamic_cast<KDuzTakeNodeContainer*>(object);
    if (container == nullptr) return false;
    if (!components) return container->IsChannelAnimated(name);
    return container->IsChannelAnimated(name, "X") || container->IsChannelAnimated(name, "Y") ||
           container->IsChannelAnimated(name, "Z");
}

// The name a user property is written under. Readers append " (" + type
// + ")" to it, so the suffix of the property's own type is taken off too:
// a name read back and written again stays as it was.
KString UserPropertyFileName(const KDuzProperty& property) {
    const char* own = property.GetName();
    KString name = KDuzPropertyNameStripTypeSuffix(own);
    const char* type = property.GetDataType().GetName();
    if (std::strcmp(name.Buffer(), own != nullptr ? own : "") != 0 || type == nullptr || type[0] == '\0')
        return name;
    KString suffix(" (");
    suffix += type;
    suffix += ")";
    const int length = name.Length();
    const int suffixLength = suffix.Length();
    if (length > suffixLength && std::strcmp(name.Buffer() + length - suffixLength, suffix.Buffer()) == 0)
        return name.Left(length - suffixLength);
    return name;
}

// "Value" of a user property, in the kinds that its reader reads back.
void WriteUserPropertyValue(KDuz& duz, const KDuzProperty& property) {
    switch (property.GetValueKind()) {
        case eValueKindBool: {
            bool value = false;
            property.GetValue(&value, eValueKindBool);
            KDuz6WriteIntField(duz, "Value", value ? 1 : 0);
            break;
        }
        case eValueKindInt:
        case eValueKindEnum: {
            int value = 0;
            property.GetValue(&value, eValueKindInt);
            KDuz6WriteIntField(duz, "Value", value);
            break;
        }
        case eValueKindFloat:
        case eValueKindDouble: {
            double value = 0.0;
            property.GetValue(&value, eValueKindDouble);
            KDuz6WriteDoubleField(duz, "Value", value);
            break;
        }
        case eValueKindDouble3: {
            double values[3] = {0.0, 0.0, 0.0};
            property.GetValue(values, eValueKindDouble3);
            duz.FieldWriteBegin("Value");
            for (double value : values) duz.FieldWriteDouble(value);
            duz.FieldWriteEnd();
            break;
        }
        default:
            break;
    }
}

struct AnimatedRow {
    const char* internalName;
    const char* name;
    bool components;
};

}  // namespace

KString KDuzPropertyNameStripTypeSuffix(const char* name) {
    KString text(name != nullptr ? name : "");
    static const char* const kTypes[] = {"Bool", "Real", "Color", "Integer", "Vector"};
    for (const char* type : kTypes) {
        KString suffix(" (");
        suffix += type;
        suffix += ")";
        const int length = text.Length();
        const int suffixLength = suffix.Length();
        if (length >= suffixLength && std::strcmp(text.Buffer() + length - suffixLength, suffix.Buffer()) == 0)
            return text.Left(length - suffixLength);
    }
    return text;
}

void KDuzWriterDuz::WriteVector3(const char* name, const KgeTVector& v) {
    KDuz6WriteVector3Field(*GetFieldFile(), name, v);
}

void KDuzWriterDuz::WriteModelHead(KDuzNode* node) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kModel);
    duz.FieldWriteKString(node->GetNameWithPrefix());
    duz.FieldWriteBlockBegin();
}

void KDuzWriterDuz::WriteModelVersion(KDuzNode* /*node*/) { KDuz6WriteIntField(*GetFieldFile(), "Version", 194); }

void KDuzWriterDuz::WriteLayerAndTakeFlags(KDuzNode* node) {
    KDuz& duz = *GetFieldFile();
    KDuz6WriteIntField(duz, duz5::kMultiLayer, node->GetMultiLayer() ? 1 : 0);
    KDuz6WriteIntField(duz, duz5::kMultiTake, node->GetMultiTake());
}

void KDuzWriterDuz::WriteVisibilityAndShading(KDuzNode* node) {
    KDuz& duz = *GetFieldFile();
    if (!node->GetVisibility()) duz.FieldWriteNamedString(duz5::kHidden, "True");
    static const char kLetters[] = {'W', 'F', 'Y', 'T', 'U'};
    const int mode = node->GetShadingMode();
    if (mode >= 1 && mode <= 5) {
        duz.FieldWriteBegin(duz5::kShading);
        duz.FieldWriteChar(kLetters[mode - 1]);
        duz.FieldWriteEnd();
    }
}

void KDuzWriterDuz::WriteLimits(KDuzNode* node) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kLimits);
    duz.FieldWriteBlockBegin();
    const KDuzNodeLimitsAccessor limits(node);
    const bool autoFlags[3] = {limits.GetAuto(0), limits.GetAuto(1), limits.GetAuto(2)};
    static const char* const kAuto[] = {"TAuto", "RAuto", "SAuto"};
    static const char* const kEnable[] = {"TEnable", "REnable", "SEnable"};
    for (int k = 0; k < 3; ++k) KDuz6WriteIntField(duz, kAuto[k], autoFlags[k] ? 1 : 0);
    for (int k = 0; k < 3; ++k)
        if (!autoFlags[k]) KDuz6WriteIntField(duz, kEnable[k], limits.GetEnable(k) ? 1 : 0);
    static const char kKinds[] = {'T', 'R', 'S'};
    static const char kAxes[] = {'X', 'Y', 'Z'};
    auto writeAxes = [&](const char* what, KgeTVector (KDuzNodeLimitsAccessor::*get)(int) const) {
        for (int k = 0; k < 3; ++k) {
            if (autoFlags[k]) continue;
            const KgeTVector v = (limits.*get)(k);
            const double neutral = k == 2 ? 1.0 : 0.0;
            for (int a = 0; a < 3; ++a) {
                if (v[a] == neutral) continue;
                char name[16];
                std::snprintf(name, sizeof(name), "%c%c%s", kKinds[k], kAxes[a], what);
                KDuz6WriteDoubleField(duz, name, v[a]);
            }
        }
    };
    writeAxes("Default", &KDuzNodeLimitsAccessor::GetDefault);
    writeAxes("Min", &KDuzNodeLimitsAccessor::GetMin);
    writeAxes("Max", &KDuzNodeLimitsAccessor::GetMax);
    if (!autoFlags[1]) {
        if (limits.GetRotationType() != 1) KDuz6WriteIntField(duz, "RType", limits.GetRotationType());
        if (limits.GetRotationClampType() != 0) KDuz6WriteIntField(duz, "RClampType", limits.GetRotationClampType());
        const KgeTVector axis = limits.GetRotationAxis();
        static const char* const kAxisNames[] = {"RXAxis", "RYAxis", "RZAxis"};
        for (int a = 0; a < 3; ++a)
            if (axis[a] != 0.0) KDuz6WriteDoubleField(duz, kAxisNames[a], axis[a]);
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz::WriteLookAt(KDuzNode* node) {
    KDuz& duz = *GetFieldFile();
    const KgeTVector none(0.0, 0.0, 0.0, 1.0);
    if (KDuzNode* target = node->GetLookAtTarget()) {
        duz.FieldWriteNamedString(duz5::kLookAtModel, target->GetNameWithPrefix().Buffer());
        if (KgeEulerDiffers(node->GetPostTargetRotation(), none, 0.000001))
            WriteVector3("PostTargetRotation", node->GetPostTargetRotation());
        if (KgeEulerDiffers(node->GetTargetUpVector(), none, 0.000001))
            WriteVector3("UpTargetRotation", node->GetTargetUpVector());
    }
    if (KDuzNode* up = node->GetUpVectorTarget())
        duz.FieldWriteNamedString(duz5::kUpVectorModel, up->GetNameWithPrefix().Buffer());
}

void KDuzWriterDuz::WriteAnimatedProperties(KDuzNode* node) {
    KDuz& duz = *GetFieldFile();
    std::vector<std::pair<KString, KString>> rows;
    rows.emplace_back("mTranslationProperty", "Lcl Translation");
    rows.emplace_back("mRotationProperty", "Lcl Rotation");
    rows.emplace_back("mScalingProperty", "Lcl Scaling");
    if (ChannelAnimated(node, "Visibility", false)) rows.emplace_back("mVisibilityProperty", "Visibility");
    KDuzObject* attribute = node->GetNodeAttribute();
    const int type = attribute != nullptr ? KDuzNode::GetAttributeTypeOf(attribute) : 0;
    auto addIf = [&](KDuzObject* owner, const AnimatedRow& row) {
        if (ChannelAnimated(owner, row.name, row.components)) rows.emplace_back(row.internalName, row.name);
    };
    if (type == KDuzNodeAttribute::eLight) {
        for (const AnimatedRow& row : {AnimatedRow{"mLightColor", "Color", true}, AnimatedRow{"mIntensity", "Intensity", false},
                                       AnimatedRow{"mConeAngle", "Cone angle", false}, AnimatedRow{"mFog", "Fog", false}})
            addIf(node, row);
    } else if (type == KDuzNodeAttribute::eCameraSwitcher) {
        addIf(node, {"mCameraIndexProperty", "Camera Index", false});
    } else if (type == KDuzNodeAttribute::eCamera) {
        for (const AnimatedRow& row :
             {AnimatedRow{"mRollProperty", "Roll", false}, AnimatedRow{"mApertureProperty", "FieldOfView", false},
              AnimatedRow{"mFieldOfViewXProperty", "FieldOfViewX", false},
              AnimatedRow{"mFieldOfViewYProperty", "FieldOfViewY", false},
              AnimatedRow{"mOpticalCenterXProperty", "OpticalCenterX", false},
              AnimatedRow{"mOpticalCenterYProperty", "OpticalCenterY", false},
              AnimatedRow{"mTurnTableProperty", "TurnTable", false},
              AnimatedRow{"mBackColorProperty", "BackgroundColor", true}})
            addIf(node, row);
    } else if (type == KDuzNodeAttribute::eMarker) {
        const auto* marker = static_cast<KDuzMarker*>(attribute);
        if (marker->GetType() == KDuzMarker::eOptical) {
            addIf(node, {"Occlusion", "Occlusion", false});
        } else if (marker->GetType() == KDuzMarker::eIKEffector) {
            addIf(node, {"IK Reach Translation", "IK Reach Translation", false});
            addIf(node, {"IK Reach Rotation", "IK Reach Rotation", false});
        }
    }
    std::vector<KDuzProperty> user;
    for (int i = 0; i < node->GetPropertyCount(); ++i) {
        // Looked at through a peek: only a user property gets its handle kept.
        bool isUser = false;
        node->PeekPropertyAt(i, [&isUser](KDuzProperty& peeked) {
            isUser = peeked.IsValid() && peeked.GetFlag(kUserPropertyFlag);
        });
        if (!isUser) continue;
        const KDuzProperty property = node->GetPropertyAt(i);
        user.push_back(property);
        const KString name = UserPropertyFileName(property);
        rows.emplace_back(name, name);
    }
    duz.FieldWriteBegin("AnimatedProperty");
    for (const auto& row : rows) duz.FieldWriteKString(row.first);
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("Animated");
    for (const auto& row : rows) duz.FieldWriteKString(row.second);
    duz.FieldWriteEnd();
    for (const KDuzProperty& property : user) {
        duz.FieldWriteBegin(duz5::kUserProperty);
        duz.FieldWriteBlockBegin();
        duz.FieldWriteNamedString("Name", UserPropertyFileName(property).Buffer());
        duz.FieldWriteNamedString(duz5::kType, property.GetDataType().GetName());
        duz.FieldWriteNamedString("Label", property.GetLabel().Buffer());
        WriteUserPropertyValue(duz, property);
        if (property.GetMinLimit() > -std::numeric_limits<double>::infinity())
            KDuz6WriteDoubleField(duz, "Min", property.GetMinLimit());
        if (property.GetMaxLimit() < std::numeric_limits<double>::infinity())
            KDuz6WriteDoubleField(duz, "Max", property.GetMaxLimit());
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
}

void KDuzWriterDuz::WriteDefaultChannels(KDuzNode* node) {
    const bool oldLayout = mTarget != nullptr && mTarget->GetPropertyFormatFlag();
    // Read without keeping the take filled: the node pays for it only while written.
    node->ReadDefaultTake([&](KDuzTakeNode* take) {
        if (take == nullptr || take->GetCurveNode() == nullptr) return;
        KFCurveNode* root = take->GetCurveNode();
        for (int i = 0; i < root->GetChildCount(); ++i)
            KFCurveNodeWriteDuz(*root->GetChild(i), *GetFieldFile(), true, true, true, "Channel", true, oldLayout);
    });
}

void KDuzWriterDuz::WriteChildren(KDuzNode* node) {
    const std::vector<KDuzNode*> children = ChildrenOf(node);
    if (children.empty()) return;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz5::kChildren);
    for (KDuzNode* child : children) duz.FieldWriteKString(child->GetNameWithPrefix());
    duz.FieldWriteEnd();
}

void KDuzWriterDuz::WriteModelTail(KDuzNode* /*node*/) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

}  // namespace duzsdk
