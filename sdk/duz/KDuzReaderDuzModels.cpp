// Objects and models of version 5 files: the "Objects" dispatch of the
// layered layout, the top-level "Model" fields of the old layout, the model
// records and the links a file gives by name.
#include <cmath>
#include <cstring>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KProgress.h"
#include "sdk/character/KDuzCharacterPose.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuz6FieldHelpers.h"
#include "sdk/duz/KDuzReaderDuz.h"
#include "sdk/duz/KDuzReaderDuz6Records.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KFCurveNodeDuzStorage.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/PropertyDataTypeMap.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeLimits.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzOpticalReference.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSkeleton.h"

namespace duzsdk {

namespace {

bool Equals(const KString& text, const char* literal) { return std::strcmp(text.Buffer(), literal) == 0; }

KgeTVector Vector3(const double* v, double w = 0.0) { return KgeTVector(v[0], v[1], v[2], w); }

KDuzRGBAColor Colour3(KDuz& duz, const char* name, double r, double g, double b) {
    double rgb[3] = {r, g, b};
    KDuz6ReadDoublesField(duz, name, rgb, 3);
    return KDuzRGBAColor(rgb[0], rgb[1], rgb[2], 1.0);
}

// The text of the field's next value; an exhausted field gives "".
const char* NextText(KDuz& duz) { return duz.FieldReadGetRemainingValueCount() > 0 ? duz.FieldReadString() : ""; }

}  // namespace

// ---- "Objects" (layered layout) ---------------------------------------------

bool KDuzReaderDuz::ReadObject(KDuzScene* scene, const KString& kind, const KString& subType, const KString& name,
                               const KString& fullName) {
    if (Equals(kind, duz5::kModel)) {
        KDuzNode* node = KDuzNode::Create(mManager, name.Buffer());
        if (node == nullptr) return true;
        mNodes.emplace(name.Buffer(), node);
        ReadModel5(*node);
        Register(scene, fullName, node);
        return true;
    }
    if (Equals(kind, duz5::kPose) && Equals(subType, "CharacterPose")) {
        const int index = scene != nullptr ? scene->CreateCharacterPose(name.Buffer()) : -1;
        if (index < 0) return true;
        auto* pose = dynamic_cast<KDuzCharacterPose*>(scene->GetCharacterPose(index));
        KDuzScene* poseScene = pose != nullptr ? pose->GetScene() : nullptr;
        if (poseScene == nullptr || !ReadCharacterPoseScene(poseScene, false)) scene->DestroyCharacterPose(index);
        return true;
    }
    if (Equals(kind, duz5::kMaterial)) {
        KDuzSurfaceMaterial* material = KDuz6ReadMaterial(MakeRecordContext(), name.Buffer(), subType.Buffer());
        if (material != nullptr) {
            // Version 5 keeps the shading model in lower case.
            material->SetShadingModelText(material->GetShadingModelText().Lower());
        }
        Register(scene, fullName, material);
        return true;
    }
    if (Equals(kind, duz5::kTexture)) {
        KDuzTexture* texture = KDuzTexture::Create(mManager, name.Buffer());
        if (texture == nullptr) return true;
        KDuz6ReadTexture(MakeRecordContext(), texture);
        // The UV translation and scaling of version 5 files give V first.
        double u = 0.0;
        double v = 0.0;
        texture->GetModelUVTranslation(u, v);
        texture->SetModelUVTranslation(v, u);
        texture->GetModelUVScaling(u, v);
        texture->SetModelUVScaling(v, u);
        Register(scene, fullName, texture);
        return true;
    }
    // The other records are those of version 6 files. A video that ends
    // without a file name is kept there: connections may name it.
    return KDuzReaderDuz6::ReadObject(scene, kind, subType, name, fullName);
}

// ---- top-level "Model" fields (old layout) ------------------------------------

bool KDuzReaderDuz::ReadTopLevelModels(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr) return false;
    const int total = duz->FieldGetInstanceCount(duz5::kModel);
    IProgress* progress = KProgressGetGlobal();
    if (progress != nullptr) progress->SetStatus("Retrieving models", nullptr, 0.0f);
    for (int handled = 0; duz->FieldReadBegin(duz5::kModel); ++handled) {
        if (progress != nullptr && total > 0)
            progress->SetStatus("Retrieving models", nullptr, static_cast<float>(handled) * 100.0f / total);
        const KString fullName(NextText(*duz));
        const KString name = KDuz6StripPrefix(fullName.Buffer());
        KDuzNode* node = KDuzNode::Create(mManager, name.Buffer());
        if (node != nullptr) {
            // The first node of a name keeps it for the links by name; a
            // later one lives on in the scene but no name reaches it.
            mNodes.emplace(name.Buffer(), node);
            if (duz->FieldReadBlockBegin()) {
                ReadModel5(*node);
                duz->FieldReadBlockEnd();
            }
            KString mapped("Model::");
            mapped += name;
            MapName(mapped.Buffer(), node);
            // Unlike the layered layout, the hierarchy pass places the node.
            if (scene != nullptr) scene->ConnectSrcObject(node);
        }
        duz->FieldReadEnd();
    }
    if (progress != nullptr) progress->Step(1);
    return true;
}

bool KDuzReaderDuz::ReadModel5(KDuzNode& node) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr) return false;
    if (duz->FieldReadIntOrDefault(duz6::kVersion, 100) < duz5::kLegacyModelVersion) {
        node.SetLegacyModel(true);
        mLegacyNodes.push_back(&node);
    }
    KDuz6ReadModelVisibilityAndShading(*duz, &node);
    KDuz6ReadModelCulling(*duz, &node);
    ReadModelTargets(node);
    ReadModelChildren(node);
    ReadNodeAttribute5(node);
    if (OldLayout()) {
        ReadModelLimits(node);
        if (OptionIsSet("PIVOT")) ReadModelPivots(node);
        // The node's properties show what the records set.
        node.UpdatePropertiesFromPivotsAndLimits();
    } else {
        // Version 5.8 files keep the node's settings in a version 6
        // property block.
        ReadProperties60(&node);
        node.UpdatePivotsAndLimitsFromProperties();
    }
    KDuz6ReadModelMultiLayer(*duz, &node);
    ReadModelDefaultChannels(node);
    if (OldLayout()) CopyTakeDefaultsToProperties(node);
    else node.SetTakeCurvesFromProperties(node.GetDefaultTakeNode());
    node.WrapInternalProperties();
    mInlineTextures.clear();
    return true;
}

void KDuzReaderDuz::ReadModelTargets(KDuzNode& node) {
    KDuz* duz = GetFieldFile();
    if (duz->FieldReadBegin(duz5::kLookAtModel)) {
        const KString target = KDuz6StripPrefix(NextText(*duz));
        mPendingLookAt.emplace(target.Buffer(), &node);
        duz->FieldReadEnd();
    }
    KDuz6ReadModelTargetRotations(*duz, &node);
    if (duz->FieldReadBegin(duz5::kUpVectorModel)) {
        const KString target = KDuz6StripPrefix(NextText(*duz));
        mPendingUpVector.emplace(target.Buffer(), &node);
        duz->FieldReadEnd();
    }
}

void KDuzReaderDuz::ReadModelChildren(KDuzNode& node) {
    KDuz* duz = GetFieldFile();
    if (!duz->FieldReadBegin(duz5::kChildren)) return;
    std::vector<KString> names;
    while (duz->FieldReadGetRemainingValueCount() > 0) {
        const KString child = KDuz6StripPrefix(duz->FieldReadString());
        if (child.IsEmpty()) break;
        names.push_back(child);
    }
    duz->FieldReadEnd();
    if (!names.empty()) mChildNames.emplace_back(&node, std::move(names));
}

void KDuzReaderDuz::ReadModelLimits(KDuzNode& node) {
    KDuz* duz = GetFieldFile();
    if (!duz->FieldReadBegin(duz5::kLimits)) return;
    if (duz->FieldReadBlockBegin()) {
        // Of the version 5 limit settings this SDK keeps the enable flags
        // and the scaling default as the scaling maximum.
        KDuzNodeLimits* limits = node.GetLimits();
        const char* enables[3] = {"TEnable", "REnable", "SEnable"};
        bool enabled[3];
        for (int kind = 0; kind < 3; ++kind) enabled[kind] = duz->FieldReadIntOrDefault(enables[kind], 0) != 0;
        const double scaling[3] = {duz->FieldReadDoubleOrDefault("SXDefault", 1.0),
                                   duz->FieldReadDoubleOrDefault("SYDefault", 1.0),
                                   duz->FieldReadDoubleOrDefault("SZDefault", 1.0)};
        if (limits != nullptr) {
            limits->SetTranslationActive(enabled[0]);
            limits->SetRotationActive(enabled[1]);
            limits->SetScalingActive(enabled[2]);
            limits->GetScalingLimits().SetMax(Vector3(scaling, 1.0));
        }
        duz->FieldReadBlockEnd();
    }
    duz->FieldReadEnd();
}

void KDuzReaderDuz::ReadModelPivots(KDuzNode& node) {
    KDuz* duz = GetFieldFile();
    if (!duz->FieldReadBegin(duz5::kPivots)) return;
    if (duz->FieldReadBlockBegin()) {
        duz->FieldReadIntOrDefault(duz6::kVersion, 0);
        const char* sets[2] = {duz5::kPivotPackage, duz5::kPivotFile};
        for (int set = 0; set < 2; ++set) {
            if (!duz->FieldReadBegin(sets[set])) continue;
            if (duz->FieldReadBlockBegin()) {
                if (duz->FieldReadBegin("PivotEnabled")) {
                    node.SetPivotState(set, duz->FieldReadInt() != 0 ? 0 : 1);
                    duz->FieldReadEnd();
                }
                double v[3] = {0.0, 0.0, 0.0};
                if (KDuz6ReadDoublesField(*duz, "TranslationOffset", v, 3)) node.SetRotationOffset(set, Vector3(v));
                if (KDuz6ReadDoublesField(*duz, "RotationPivot", v, 3)) node.SetRotationPivot(set, Vector3(v));
                if (KDuz6ReadDoublesField(*duz, "PreRotation", v, 3)) node.SetPreRotation(set, Vector3(v));
                if (KDuz6ReadDoublesField(*duz, "PostRotation", v, 3)) node.SetPostRotation(set, Vector3(v));
                if (KDuz6ReadDoublesField(*duz, "ScalingPivot", v, 3)) node.SetScalingPivot(set, Vector3(v));
                duz->FieldReadBlockEnd();
            }
            duz->FieldReadEnd();
        }
        duz->FieldReadBlockEnd();
    }
    duz->FieldReadEnd();
}

void KDuzReaderDuz::ReadModelDefaultChannels(KDuzNode& node) {
    KDuz* duz = GetFieldFile();
    KDuzTakeNode* take = node.GetDefaultTakeNode();
    KFCurveNode* root = take != nullptr ? take->GetCurveNode() : nullptr;
    if (root == nullptr) return;
    while (KFCurveNodeReadChannelDuz(*duz, root, true, true, false) != nullptr) {
    }
}

// The old layout keeps a node's settings only as the defaults of its
// default take's channels; the properties take them over.
void KDuzReaderDuz::CopyTakeDefaultsToProperties(KDuzNode& node) {
    KDuzTakeNode* take = node.GetDefaultTakeNode();
    KFCurveNode* root = take != nullptr ? take->GetCurveNode() : nullptr;
    if (root == nullptr) return;
    auto copy = [](KFCurveNode* channel, KDuzProperty property, bool vectorOnly) {
        if (channel == nullptr || !property.IsValid() || channel->GetValueCount() > 16) return;
        double values[16] = {};
        const int count = static_cast<int>(channel->GatherDefaultValues(values) - values);
        const int kind = property.GetValueKind();
        if (channel->GetChildCount() == 3 && count >= 3 && kind == eValueKindDouble3) {
            property.SetValue(values, eValueKindDouble3);
        } else if (!vectorOnly && count >= 1 && (kind == eValueKindDouble || kind == eValueKindFloat)) {
            property.SetValue(values, eValueKindDouble);
        }
    };
    for (int i = 0; i < node.GetPropertyCount(); ++i) {
        KDuzProperty property = node.GetPropertyAt(i);
        if (property.IsValid()) copy(root->FindByPath(property.GetName()), property, false);
    }
    KFCurveNode* transform = root->FindByPath("Transform");
    if (transform == nullptr) return;
    copy(transform->FindByPath("T"), node.FindProperty("Lcl Translation"), true);
    copy(transform->FindByPath("R"), node.FindProperty("Lcl Rotation"), true);
    copy(transform->FindByPath("S"), node.FindProperty("Lcl Scaling"), true);
}

// ---- node attributes ----------------------------------------------------------

void KDuzReaderDuz::ReadNodeAttribute5(KDuzNode& node) {
    KDuz* duz = GetFieldFile();
    const bool hasType = duz->FieldReadBegin(duz5::kType);
    const KString type(hasType ? NextText(*duz) : "");
    if (hasType) duz->FieldReadEnd();
    bool userProperties = true;
    if (!hasType) {
        KDuzMesh* mesh = KDuzMesh::Create(mManager, "");
        if (mesh != nullptr) {
            ReadMesh(mesh);
            node.SetNodeAttribute(mesh);
        }
    } else if (Equals(type, duz5::kTypeCamera)) {
        KDuzCamera* camera = KDuzCamera::Create(mManager, "");
        if (camera != nullptr) {
            // Attached first: the camera's position is its node's translation.
            node.SetNodeAttribute(camera);
            ReadCamera(camera);
        }
    } else if (Equals(type, duz5::kTypeCameraSwitcher)) {
        KDuzCameraSwitcher* switcher = KDuzCameraSwitcher::Create(mManager, "");
        if (switcher != nullptr) {
            node.SetNodeAttribute(switcher);
            ReadCameraSwitcher(switcher);
        }
        userProperties = false;
    } else if (Equals(type, duz5::kTypeNurb) || Equals(type, duz5::kTypePatch)) {
        KDuzObject* geometry = KDuz6ReadCurvedGeometry(MakeRecordContext(), type.Buffer(), "");
        if (geometry != nullptr) {
            if (OldLayout())
                if (auto* asGeometry = dynamic_cast<KDuzGeometry*>(geometry))
                    ReadInlineMaterialsAndTextures(asGeometry);
            node.SetNodeAttribute(geometry);
        }
    } else if (!Equals(type, "Mesh") && KDuz6ReadNodeAttribute(MakeRecordContext(), &node, type.Buffer())) {
        // Null, markers, skeletons, light and optical reference: the same
        // fields as in version 6 files. A mesh has no "Type" here.
    } else {
        userProperties = false;
    }
    if (OldLayout() && userProperties) ReadUserProperties(&node);
}

// ---- the camera -----------------------------------------------------------------

bool KDuzReaderDuz::ReadCamera(KDuzCamera* camera) {
    KDuz* duz = GetFieldFile();
    if (camera == nullptr || duz == nullptr) return true;
    const int version = duz->FieldReadIntOrDefault(duz6::kVersion, 0);
    double v[3] = {0.0, 0.0, 0.0};
    if (KDuz6ReadDoublesField(*duz, "Position", v, 3)) camera->SetPosition(Vector3(v, 1.0));
    if (KDuz6ReadDoublesField(*duz, "Up", v, 3)) camera->SetUpVector(Vector3(v));
    if (KDuz6ReadDoublesField(*duz, "LookAt", v, 3)) camera->SetInterestPosition(Vector3(v));
    const bool old = OldLayout();
    if (old) {
        camera->SetRoll(duz->FieldReadDoubleOrDefault("Roll", 0.0));
        camera->SetProjectionType(duz->FieldReadIntOrDefault("Type", 0));
        double aspectH = 0.0;
        double aspectW = 0.0;
        if (version > 116) {
            aspectH = duz->FieldReadDoubleOrDefault("AspectH", 0.0);
            aspectW = duz->FieldReadDoubleOrDefault("AspectW", 0.0);
        } else {
            aspectH = duz->FieldReadIntOrDefault("AspectH", 0);
            aspectW = duz->FieldReadIntOrDefault("AspectW", 0);
        }
        camera->SetAspect(duz->FieldReadIntOrDefault("AspectType", 0), aspectW, aspectH);
        camera->SetPixelRatio(duz->FieldReadDoubleOrDefault("PixelRatio", 1.0));
        static const char* const kFormats[] = {"D1 NTSC", "NTSC",    "PAL",     "D1 PAL",  "HD",
                                               "640x480", "320x200", "320x240", "128x128", "Full Screen"};
        const KString format(duz->FieldReadStringOrDefault("FormatName", ""));
        int formatCode = 0;
        for (int i = 0; i < 10; ++i)
            if (Equals(format, kFormats[i])) formatCode = i + 1;
        camera->SetFormat(formatCode);
        camera->SetLockMode(duz->FieldReadIntOrDefault("CameraLock", 0) != 0);
        camera->SetApertureMode(duz->FieldReadIntOrDefault("ApertureMode", 0));
        double film[2] = {0.0, 0.0};
        if (KDuz6ReadDoublesField(*duz, "CameraAperture", film, 2)) {
            camera->SetFilmWidth(film[0]);
            camera->SetFilmHeight(film[1]);
        }
        camera->SetFilmSqueezeRatio(duz->FieldReadDoubleOrDefault("SqueezeRatio", 0.0));
        static const char* const kApertures[] = {"16mm Theatrical",      "Super 16mm",      "35mm Academy",
                                                 "35mm TV Projection",   "35mm Full Aperture",
                                                 "35mm 1.85 Projection", "35mm Anamorphic", "70mm Projection",
                                                 "VistaVision",          "Dynavision",      "Imax"};
        const KString aperture = KDuz6StripPrefix(duz->FieldReadStringOrDefault("ApertureFormat", ""));
        int apertureCode = aperture.IsEmpty() ? 4 : 0;
        for (int i = 0; i < 11; ++i)
            if (Equals(aperture, kApertures[i])) apertureCode = i + 1;
        camera->SetApertureFormat(apertureCode);
        camera->SetNearPlane(duz->FieldReadDoubleOrDefault("NearPlane", 10.0));
        camera->SetFarPlane(duz->FieldReadDoubleOrDefault("FarPlane", 4000.0));
        if (version < 210)
            camera->SetFieldOfView(duz->FieldReadDoubleOrDefault("Aperture", 0.0));
        else
            camera->SetFocalLength(duz->FieldReadDoubleOrDefault("FocalLength", 35.0));
        if (duz->FieldReadBegin("FieldOfViewXProperty")) {
            const double x = duz->FieldReadDouble();
            camera->SetFieldOfViewX(x < 1.0 ? 1.0 : x);
            duz->FieldReadEnd();
        }
        if (duz->FieldReadBegin("FieldOfViewYProperty")) {
            const double y = duz->FieldReadDouble();
            camera->SetFieldOfViewY(y < 1.0 ? 1.0 : y);
            duz->FieldReadEnd();
        }
        if (duz->FieldReadBegin("OpticalCenterXProperty")) {
            camera->SetOpticalCenterX(duz->FieldReadDouble());
            duz->FieldReadEnd();
        }
        if (duz->FieldReadBegin("OpticalCenterYProperty")) {
            camera->SetOpticalCenterY(duz->FieldReadDouble());
            duz->FieldReadEnd();
        }
        if (duz->FieldReadBegin("TurnTable")) {
            camera->SetTurnTable(duz->FieldReadDouble());
            duz->FieldReadEnd();
        }
        if (version < 200) {
            KString background(duz->FieldReadStringOrDefault("BackgroundTexture", ""));
            if (duz->FieldReadBegin("VideoClipTexture")) {
                background = NextText(*duz);
                duz->FieldReadEnd();
            }
            const KString stripped = KDuz6StripPrefix(background.Buffer());
            camera->SetVideoClipTextureName(stripped.Buffer());
            if (!stripped.IsEmpty()) mPendingTextures.emplace(stripped.Buffer(), camera);
        } else {
            camera->SetBackgroundMediaName(KDuz6StripPrefix(duz->FieldReadStringOrDefault("Media", "")).Buffer());
        }
        camera->SetViewFrustumBackPlaneMode(duz->FieldReadIntOrDefault("ViewFrustumPlane", 2));
        camera->SetBackgroundMode(duz->FieldReadIntOrDefault("BackgroundMode", 0));
        camera->SetForegroundTransparent(duz->FieldReadIntOrDefault("ForegroundTransparent", 1) != 0);
        camera->SetBackgroundAlphaTreshold(duz->FieldReadDoubleOrDefault("BackgroundTreshold", 0.5));
        camera->SetBackgroundPlacementOptions(duz->FieldReadIntOrDefault("DisplayMode", 6) & 3);
        camera->SetBackPlaneDistance(duz->FieldReadDoubleOrDefault("ViewFrustumPlaneDistance", 100.0));
        camera->SetBackPlaneDistanceMode(duz->FieldReadIntOrDefault("ViewFrustumPlaneDistanceMode", 0));
        camera->SetViewCameraToLookAt(duz->FieldReadIntOrDefault("ViewLookAt", 1) != 0);
        camera->SetViewFrustumNearFarPlane(duz->FieldReadIntOrDefault("ViewFrustum", 0) != 0);
        camera->SetShowGrid(duz->FieldReadIntOrDefault("ShowGrid", 1) != 0);
        camera->SetShowAzimut(duz->FieldReadIntOrDefault("ShowAzimut", 1) != 0);
        camera->SetShowName(duz->FieldReadIntOrDefault("ShowName", 1) != 0);
        camera->SetShowTimeCode(duz->FieldReadIntOrDefault("ShowTimeCode", 0) != 0);
        camera->SetDisplaySafeArea(duz->FieldReadIntOrDefault("DisplaySafeArea", 0) != 0);
        camera->SetSafeAreaDisplayStyle(duz->FieldReadIntOrDefault("SafeAreaStyle", 1));
        camera->SetDisplaySafeAreaOnRender(duz->FieldReadIntOrDefault("DisplaySafeAreaOnRender", 0) != 0);
    }
    camera->SetShowInfoOnMoving(duz->FieldReadIntOrDefault("ShowInfoOnMoving", 1) != 0);
    camera->SetShowAudio(duz->FieldReadIntOrDefault("ShowAudio", 0) != 0);
    if (old) camera->SetBackgroundColor(Colour3(*duz, "BackGroundColor", 0.0, 0.0, 0.0));
    camera->SetAudioColor(Colour3(*duz, "AudioColor", 0.0, 1.0, 0.0));
    camera->SetOrthoZoom(duz->FieldReadDoubleOrDefault("CameraOrthoZoom", 1.0));
    if (!old) return true;
    camera->SetUseFrameColor(duz->FieldReadIntOrDefault("UseFrameColor", 0) != 0);
    camera->SetFrameColor(Colour3(*duz, "FrameColor", 0.3, 0.3, 0.3));
    if (duz->FieldReadBegin("CameraAndLens")) {
        if (duz->FieldReadBlockBegin()) {
            if (duz->FieldReadBegin("DepthOfField")) {
                if (duz->FieldReadGetValueCount() >= 4) {
                    camera->SetUseDepthOfField(duz->FieldReadInt() != 0);
                    camera->SetFocusSource(duz->FieldReadInt());
                    camera->SetFocusAngle(duz->FieldReadDouble());
                    camera->SetFocusDistance(duz->FieldReadDouble());
                }
                duz->FieldReadEnd();
            }
            if (duz->FieldReadBegin("Antialiasing")) {
                if (duz->FieldReadGetValueCount() >= 3) {
                    camera->SetUseAntialiasing(duz->FieldReadInt() != 0);
                    camera->SetAntialiasingMethod(duz->FieldReadInt());
                    camera->SetAntialiasingIntensity(duz->FieldReadDouble());
                }
                duz->FieldReadEnd();
            }
            if (duz->FieldReadBegin("OverSampling")) {
                if (duz->FieldReadGetValueCount() >= 3) {
                    camera->SetFrameSamplingType(duz->FieldReadInt());
                    camera->SetFrameSamplingCount(duz->FieldReadInt());
                    camera->SetUseAccumulationBuffer(duz->FieldReadInt() != 0);
                }
                duz->FieldReadEnd();
            }
            camera->SetUseOverSamplingTime(duz->FieldReadIntOrDefault("UseOverSamplingTime", 1));
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    return true;
}

// ---- old "Properties" blocks and user properties -------------------------------

bool KDuzReaderDuz::ReadOldProperties(KDuzObject* object) {
    KDuz* duz = GetFieldFile();
    if (object == nullptr || duz == nullptr || !duz->FieldReadBegin(duz5::kProperties)) return false;
    if (duz->FieldReadBlockBegin()) {
        if (duz->FieldReadIntOrDefault(duz6::kVersion, 0) > 99) {
            std::vector<KDuzObject*> owners{object};
            if (auto* node = dynamic_cast<KDuzNode*>(object))
                if (KDuzObject* attribute = node->GetNodeAttribute()) owners.push_back(attribute);
            for (KDuzObject* owner : owners) {
                for (int i = 0; i < owner->GetPropertyCount(); ++i) {
                    KDuzProperty property = owner->GetPropertyAt(i);
                    if (!property.IsValid() || !duz->FieldReadBegin(property.GetName())) continue;
                    double values[16] = {};
                    const int count = duz->FieldReadGetValueCount();
                    switch (property.GetValueKind()) {
                        case eValueKindBool: {
                            const bool value = duz->FieldReadInt() != 0;
                            property.SetValue(&value, eValueKindBool);
                            break;
                        }
                        case eValueKindInt:
                        case eValueKindEnum: {
                            const int value = duz->FieldReadInt();
                            property.SetValue(&value, eValueKindInt);
                            break;
                        }
                        case eValueKindFloat:
                        case eValueKindDouble: {
                            const double value = duz->FieldReadDouble();
                            property.SetValue(&value, eValueKindDouble);
                            break;
                        }
                        case eValueKindDouble3:
                        case eValueKindDouble4:
                        case eValueKindMatrix: {
                            const int kind = property.GetValueKind();
                            const int n = kind == eValueKindDouble3 ? 3 : kind == eValueKindDouble4 ? 4 : 16;
                            duz->FieldReadDoubles(values, count < n ? (count > 0 ? count : 0) : n);
                            property.SetValue(values, kind);
                            break;
                        }
                        case eValueKindString: {
                            const KString value(duz->FieldReadString());
                            property.SetValue(&value, eValueKindString);
                            break;
                        }
                        default: break;
                    }
                    duz->FieldReadEnd();
                }
            }
        }
        duz->FieldReadBlockEnd();
    }
    duz->FieldReadEnd();
    object->WrapInternalProperties();
    return true;
}

bool KDuzReaderDuz::ReadObjectProperties(KDuzObject* object) {
    return OldLayout() ? ReadOldProperties(object) : ReadProperties60(object);
}

void KDuzReaderDuz::ReadUserProperties(KDuzObject* object) {
    KDuz* duz = GetFieldFile();
    if (object == nullptr || duz == nullptr) return;
    while (duz->FieldReadBegin(duz5::kUserProperty)) {
        if (duz->FieldReadBlockBegin()) {
            KString name(duz->FieldReadStringOrDefault("Name", "UserProp"));
            const KString type(duz->FieldReadStringOrDefault("Type", ""));
            const KString label(duz->FieldReadStringOrDefault("Label", ""));
            const bool vector = KDuz6TextEqualsNoCase(type.Buffer(), "Vector");
            if (!vector) {
                name += " (";
                name += type;
                name += ")";
            }
            PropertyDataType dataType = PropertyDataTypeFromName(type.Buffer());
            if (!dataType.IsValid()) dataType = PropertyDataTypeFromName(vector ? "Vector" : type.Buffer());
            KDuzProperty property = dataType.IsValid()
                                        ? KDuzProperty::Create(object, name.Buffer(), dataType, label.Buffer())
                                        : KDuzProperty();
            if (property.IsValid()) {
                property.ModifyFlag(2u, true);
                property.ModifyFlag(1u, true);
                switch (property.GetValueKind()) {
                    case eValueKindBool: {
                        const bool value = duz->FieldReadIntOrDefault("Value", 0) != 0;
                        property.SetValue(&value, eValueKindBool);
                        break;
                    }
                    // Enumerations and floats as their writer writes them:
                    // the entry's index, a double.
                    case eValueKindInt:
                    case eValueKindEnum: {
                        const int value = duz->FieldReadIntOrDefault("Value", 0);
                        property.SetValue(&value, eValueKindInt);
                        break;
                    }
                    case eValueKindFloat:
                    case eValueKindDouble: {
                        const double value = duz->FieldReadDoubleOrDefault("Value", 0.0);
                        property.SetValue(&value, eValueKindDouble);
                        break;
                    }
                    case eValueKindDouble3: {
                        double values[3] = {0.0, 0.0, 0.0};
                        KDuz6ReadDoublesField(*duz, "Value", values, 3);
                        const duzVectorTemplate3<double> value(values[0], values[1], values[2]);
                        property.SetValue(&value, eValueKindDouble3);
                        break;
                    }
                    default: break;
                }
                property.SetMinLimit(duz->FieldReadDoubleOrDefault("Min", -HUGE_VAL));
                property.SetMaxLimit(duz->FieldReadDoubleOrDefault("Max", HUGE_VAL));
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
}

// ---- links by name -------------------------------------------------------------

bool KDuzReaderDuz::ResolveNodeLinks(KDuzNode* root) {
    if (!OldLayout() || root == nullptr) return true;
    for (const auto& [parent, names] : mChildNames)
        for (const KString& name : names)
            if (KDuzNode* child = FindNodeByName(name.Buffer())) parent->AddChild(child);
    // A node listed as its own ancestor's child keeps the place it had.
    for (const auto& [name, node] : mNodes)
        if (node->GetParent() == nullptr && node != root) root->AddChild(node);
    // One index of the tree instead of a search per name: a file may hold
    // a million links.
    const std::unordered_map<std::string, KDuzNode*> byName = IndexNodesBelow(root);
    auto find = [&byName](const char* name) -> KDuzNode* {
        const auto found = byName.find(name);
        return found != byName.end() ? found->second : nullptr;
    };
    if (OptionIsSet("LINK")) {
        for (const auto& [cluster, names] : mClusterNames) {
            if (KDuzNode* link = find(names.link.Buffer())) cluster->SetLink(link);
            if (!names.associate.IsEmpty())
                if (KDuzNode* model = find(names.associate.Buffer())) cluster->SetAssociateModel(model);
        }
    }
    for (const auto& [name, node] : mPendingLookAt) node->SetLookAtTarget(find(name.c_str()));
    for (const auto& [name, node] : mPendingUpVector) node->SetUpVectorTarget(find(name.c_str()));
    return true;
}

std::unordered_map<std::string, KDuzNode*> KDuzReaderDuz::IndexNodesBelow(KDuzNode* root) {
    std::unordered_map<std::string, KDuzNode*> index;
    if (root == nullptr) return index;
    std::vector<KDuzNode*> pending;
    auto pushChildren = [&pending](const KDuzNode* node) {
        for (int i = node->GetChildCount() - 1; i >= 0; --i)
            if (KDuzNode* child = node->GetChild(i)) pending.push_back(child);
    };
    pushChildren(root);
    while (!pending.empty()) {
        KDuzNode* node = pending.back();
        pending.pop_back();
        if (const char* name = node->GetName()) index.emplace(name, node);
        pushChildren(node);
    }
    return index;
}

}  // namespace duzsdk
