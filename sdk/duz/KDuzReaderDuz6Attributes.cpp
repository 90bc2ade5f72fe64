// Node attributes of "Model" records and the plain model, camera, light and
// marker fields that version 5 files used and version 6 files may still hold.
#include "sdk/duz/KDuzReaderDuz6Records.h"

#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzOpticalReference.h"
#include "sdk/scene/KDuzSkeleton.h"

namespace duzsdk {

namespace {

KgeTVector Vector3(const double* v)
{
    return KgeTVector(v[0], v[1], v[2], 0.0);
}

// Optional fields of a "Properties" block inside the model's block.
template <class Apply>
void ReadPropertiesBlock(KDuz& file, Apply apply)
{
    if (!file.FieldReadBegin("Properties"))
        return;
    if (file.FieldReadBlockBegin()) {
        apply();
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
}

// "Size" and "Color" of a skeleton, each only when present.
void ReadSkeletonSizeAndColor(KDuz& file, KDuzSkeleton* skeleton, bool withColor)
{
    if (file.FieldReadBegin("Size")) {
        skeleton->SetSize(file.FieldReadDouble());
        file.FieldReadEnd();
    }
    double rgb[3] = {1.0, 1.0, 1.0};
    if (withColor && KDuz6ReadDoublesField(file, "Color", rgb, 3)) {
        KDuzRGBAColor color(1.0, 1.0, 1.0, 1.0);
        color.mRed = rgb[0];
        color.mGreen = rgb[1];
        color.mBlue = rgb[2];
        skeleton->SetLimbNodeColor(color);
    }
}

KDuzSkeleton* MakeSkeleton(KDuzSdkManager* manager, KDuzSkeleton::ESkeletonType type)
{
    KDuzSkeleton* skeleton = KDuzSkeleton::Create(manager, "");
    if (skeleton != nullptr)
        skeleton->SetSkeletonType(type);
    return skeleton;
}

// Makes sure the marker has the named double property, flagged 1.
void EnsureMarkerProperty(KDuzMarker* marker, const char* name)
{
    if (marker->FindProperty(name).IsValid())
        return;
    KDuzProperty property = KDuzProperty::Create(marker, name, PropertyDataTypeTableGet(eValueKindDouble));
    if (property.IsValid())
        property.ModifyFlag(1u, true);
}

}  // namespace

// ---------------------------------------------------------------- model flags

void KDuz6ReadModelVisibilityAndShading(KDuz& file, KDuzNode* node)
{
    if (node == nullptr)
        return;
    node->SetVisibility(true);
    if (file.FieldReadBegin("Hidden")) {
        if (KDuz6TextEqualsNoCase(file.FieldReadString(), "True"))
            node->SetVisibility(false);
        file.FieldReadEnd();
    }
    node->SetShadingMode(0);
    switch (file.FieldReadCharOrDefault("Shading", 0)) {
    case 'W': node->SetShadingMode(1); break;
    case 'F': node->SetShadingMode(2); break;
    case 'Y': node->SetShadingMode(3); break;
    case 'T': node->SetShadingMode(4); break;
    case 'U': node->SetShadingMode(5); break;
    default: break;
    }
}

void KDuz6ReadModelMultiLayer(KDuz& file, KDuzNode* node)
{
    if (node == nullptr)
        return;
    node->SetMultiLayer(file.FieldReadIntOrDefault("MultiLayer", 1) != 0);
    node->SetMultiTake(file.FieldReadIntOrDefault("MultiTake", 0));
}

void KDuz6ReadModelCulling(KDuz& file, KDuzNode* node)
{
    if (node == nullptr)
        return;
    const char* text = file.FieldReadStringOrDefault("Culling", "");
    int type = 0;
    if (KDuz6TextEquals(text, "CullingOnCCW"))
        type = 1;
    else if (KDuz6TextEquals(text, "CullingOnCW"))
        type = 2;
    node->SetCullingType(type);
}

void KDuz6ReadModelTargetRotations(KDuz& file, KDuzNode* node)
{
    if (node == nullptr)
        return;
    double v[3] = {0.0, 0.0, 0.0};
    KDuz6ReadDoublesField(file, "PostTargetRotation", v, 3);
    node->SetPostTargetRotation(Vector3(v));
    double up[3] = {0.0, 0.0, 0.0};
    KDuz6ReadDoublesField(file, "UpTargetRotation", up, 3);
    node->SetTargetUpVector(Vector3(up));
}

// ---------------------------------------------------------------- old-style attribute fields

void KDuz6ReadCameraFields(KDuz& file, KDuzCamera* camera)
{
    if (camera == nullptr)
        return;
    file.FieldReadIntOrDefault("Version", 0);
    double v[3] = {0.0, 0.0, 0.0};
    if (KDuz6ReadDoublesField(file, "Position", v, 3))
        camera->SetPosition(Vector3(v));
    if (KDuz6ReadDoublesField(file, "Up", v, 3))
        camera->SetUpVector(Vector3(v));
    if (KDuz6ReadDoublesField(file, "LookAt", v, 3))
        camera->SetInterestPosition(Vector3(v));
    camera->SetShowInfoOnMoving(file.FieldReadIntOrDefault("ShowInfoOnMoving", 1) != 0);
    camera->SetShowAudio(file.FieldReadIntOrDefault("ShowAudio", 0) != 0);
    double rgb[3] = {0.0, 1.0, 0.0};
    KDuz6ReadDoublesField(file, "AudioColor", rgb, 3);
    camera->SetAudioColor(KDuzRGBAColor(rgb[0], rgb[1], rgb[2], 1.0));
    camera->SetOrthoZoom(file.FieldReadDoubleOrDefault("CameraOrthoZoom", 1.0));
}

void KDuz6ReadLightFields(KDuz& file, KDuzLight* light)
{
    if (light == nullptr)
        return;
    if (file.FieldReadIntOrDefault("LightTypeVersion", 0) > 201) {
        double rgb[3] = {1.0, 1.0, 1.0};
        if (KDuz6ReadDoublesField(file, "Color", rgb, 3))
            light->SetColor(KDuzRGBAColor(rgb[0], rgb[1], rgb[2], 1.0));
        light->SetIntensity(file.FieldReadDoubleOrDefault("Intensity", 0.0));
        light->SetConeAngle(file.FieldReadDoubleOrDefault("ConeAngle", 0.0));
        light->SetFog(file.FieldReadDoubleOrDefault("Fog", 0.0));
    }
    light->SetLightType(static_cast<KDuzLight::ELightType>(file.FieldReadIntOrDefault("LightType", 0)));
    light->SetCastLight(file.FieldReadIntOrDefault("CastLight", 1) != 0);
}

void KDuz6ReadMarkerFields(KDuz& file, KDuzMarker* marker)
{
    if (marker == nullptr)
        return;
    KDuzRGBAColor color = marker->GetColor();
    if (file.FieldReadBegin("Properties")) {
        if (file.FieldReadBlockBegin()) {
            marker->SetLook(static_cast<KDuzMarker::ELook>(file.FieldReadIntOrDefault("Look", marker->GetLook())));
            marker->SetSize(file.FieldReadDoubleOrDefault("Size", marker->GetSize()));
            double v[3] = {0.0, 0.0, 0.0};
            if (KDuz6ReadDoublesField(file, "Color", v, 3)) {
                color.mRed = v[0];
                color.mGreen = v[1];
                color.mBlue = v[2];
            }
            if (KDuz6ReadDoublesField(file, "IKPivot", v, 3))
                marker->SetIKPivot(Vector3(v));
            marker->SetShowLabel(file.FieldReadIntOrDefault("ShowLabel", marker->GetShowLabel() ? 1 : 0) != 0);
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    } else {
        // The older form keeps the colour in animation channels.
        while (file.FieldReadBegin("Channel")) {
            const bool isColor = KDuz6StripPrefix(file.FieldReadString()) == KString("Color");
            if (isColor && file.FieldReadBlockBegin()) {
                while (file.FieldReadBegin("Channel")) {
                    const KString axis(file.FieldReadString());
                    double* target = axis == KString("X")   ? &color.mRed
                                     : axis == KString("Y") ? &color.mGreen
                                     : axis == KString("Z") ? &color.mBlue
                                                            : nullptr;
                    if (target != nullptr && file.FieldReadBlockBegin()) {
                        *target = file.FieldReadDoubleOrDefault("Default", *target);
                        file.FieldReadBlockEnd();
                    }
                    file.FieldReadEnd();
                }
                file.FieldReadBlockEnd();
            }
            file.FieldReadEnd();
            if (isColor)
                break;
        }
        // Later readers look at every field of the model again.
        file.FieldReadRewind();
    }
    marker->SetColor(color);
    if (marker->GetType() == KDuzMarker::eIKEffector) {
        marker->SetDefaultIKReachTranslation(file.FieldReadDoubleOrDefault("IKReachTranslation", 0.0));
        marker->SetDefaultIKReachRotation(file.FieldReadDoubleOrDefault("IKReachRotation", 0.0));
        EnsureMarkerProperty(marker, "IK Reach Translation");
        EnsureMarkerProperty(marker, "IK Reach Rotation");
    }
}

void KDuz6WrapProperties(KDuzObject* object)
{
    if (object != nullptr)
        object->WrapInternalProperties();
}

// ---------------------------------------------------------------- node attributes

bool KDuz6ReadNodeAttribute(const KDuz6RecordContext& context, KDuzNode* node, const char* subType)
{
    if (node == nullptr || context.file == nullptr || subType == nullptr)
        return false;
    KDuz& file = *context.file;
    KDuzSdkManager* manager = context.manager;
    const KString type(subType);

    if (type == KString("Null")) {
        KDuzNull* null = KDuzNull::Create(manager, "");
        if (null == nullptr)
            return false;
        ReadPropertiesBlock(file, [&] {
            if (file.FieldReadBegin("Size")) {
                null->SetSize(file.FieldReadDouble());
                file.FieldReadEnd();
            }
        });
        node->SetNodeAttribute(null);
        return true;
    }

    struct MarkerRow {
        const char* name;
        KDuzMarker::EType type;
    };
    static const MarkerRow kMarkers[] = {{"Marker", KDuzMarker::eStandard},
                                         {"OpticalMarker", KDuzMarker::eOptical},
                                         {"IKEffector", KDuzMarker::eIKEffector},
                                         {"FKEffector", KDuzMarker::eFKEffector}};
    for (const MarkerRow& row : kMarkers) {
        if (type != KString(row.name))
            continue;
        KDuzMarker* marker = KDuzMarker::Create(manager, "");
        if (marker == nullptr)
            return false;
        marker->SetType(row.type);
        node->SetNodeAttribute(marker);
        KDuz6ReadMarkerFields(file, marker);
        return true;
    }

    if (type == KString("Root") || type == KString("Limb") || type == KString("LimbNode")) {
        const KDuzSkeleton::ESkeletonType skeletonType = type == KString("Root")   ? KDuzSkeleton::eRoot
                                                         : type == KString("Limb") ? KDuzSkeleton::eLimb
                                                                                   : KDuzSkeleton::eLimbNode;
        KDuzSkeleton* skeleton = MakeSkeleton(manager, skeletonType);
        if (skeleton == nullptr)
            return false;
        if (skeletonType == KDuzSkeleton::eLimb && file.FieldReadBegin("LimbLength")) {
            skeleton->SetLimbLength(file.FieldReadDouble());
            file.FieldReadEnd();
        }
        const bool withColor = skeletonType != KDuzSkeleton::eRoot;
        if (skeletonType == KDuzSkeleton::eLimbNode && file.FieldGetInstanceCount("Properties") == 0) {
            // Older limb nodes keep their size in hundredths at the model level.
            if (file.FieldReadBegin("Size")) {
                skeleton->SetSize(file.FieldReadDouble() * 100.0);
                file.FieldReadEnd();
            }
        } else {
            ReadPropertiesBlock(file, [&] { ReadSkeletonSizeAndColor(file, skeleton, withColor); });
        }
        node->SetNodeAttribute(skeleton);
        return true;
    }
    if (type == KString("Effector")) {
        KDuzSkeleton* skeleton = MakeSkeleton(manager, KDuzSkeleton::eEffector);
        if (skeleton == nullptr)
            return false;
        node->SetNodeAttribute(skeleton);
        return true;
    }
    if (type == KString("Mesh")) {
        KDuzMesh* mesh = KDuzMesh::Create(manager, "");
        if (mesh == nullptr)
            return false;
        KDuz6ReadMesh(context, mesh);
        node->SetNodeAttribute(mesh);
        return true;
    }
    if (type == KString("Light")) {
        KDuzLight* light = KDuzLight::Create(manager, "");
        if (light == nullptr)
            return false;
        node->SetNodeAttribute(light);
        KDuz6ReadLightFields(file, light);
        return true;
    }
    if (type == KString("Camera")) {
        KDuzCamera* camera = KDuzCamera::Create(manager, "");
        if (camera == nullptr)
            return false;
        // Attached first: "Position" is the owner node's translation, which a
        // camera without a node cannot hold.
        node->SetNodeAttribute(camera);
        KDuz6ReadCameraFields(file, camera);
        return true;
    }
    if (type == KString("CameraSwitcher")) {
        KDuzCameraSwitcher* switcher = KDuzCameraSwitcher::Create(manager, "");
        if (switcher == nullptr)
            return false;
        node->SetNodeAttribute(switcher);
        if (context.readCameraSwitcher)
            context.readCameraSwitcher(switcher);
        return true;
    }
    if (type == KString("Optical")) {
        KDuzOpticalReference* optical = KDuzOpticalReference::Create(manager, "");
        if (optical == nullptr)
            return false;
        node->SetNodeAttribute(optical);
        return true;
    }
    if (type == KString("Nurb") || type == KString("Patch")) {
        KDuzObject* geometry = KDuz6ReadCurvedGeometry(context, type.Buffer(), "");
        if (geometry == nullptr)
            return false;
        node->SetNodeAttribute(geometry);
        return true;
    }
    // NURBS surfaces, curves and trimmed surfaces come in "Geometry" records.
    return false;
}

}  // namespace duzsdk
