// The "Objects" section of a version 6 file: one record per scene object,
// turned into an object of the class its kind and sub-type name.
#include <cstring>

#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/character/KDuzCharacter.h"
#include "sdk/character/KDuzCharacterPose.h"
#include "sdk/character/KDuzConstraintParent.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/duz/KDuzReaderDuz6Records.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/io/KDuzImporter.h"
#include "sdk/io/KDuzStreamOptions.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGenericNode.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"

namespace duzsdk {

namespace {

bool Equals(const KString& text, const char* literal) { return std::strcmp(text.Buffer(), literal) == 0; }

// "Position From Positions" 1 ... "Character" 7; anything else 0.
int ConstraintTypeFromName(const KString& name) {
    static const char* const kNames[] = {"Position From Positions", "Rotation From Rotations",
                                         "Scale From Scales",       "Parent-Child",
                                         "Single Chain IK",         "Aim",
                                         "Character"};
    for (int i = 0; i < 7; ++i)
        if (Equals(name, kNames[i])) return i + 1;
    return 0;
}

// A file may hold any number of unknown kinds; each distinct pair makes a
// class that lives as long as the manager, so their number is bounded.
constexpr int kMaxRuntimeClassesPerRead = 256;

}  // namespace

bool KDuzReaderDuz6::ReadObjects(KDuzScene* scene, const KindList& kinds) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || !duz->FieldReadBegin("Objects")) return true;
    if (!duz->FieldReadBlockBegin()) {
        duz->FieldReadEnd();
        return true;
    }
    mRuntimeClassCount = 0;
    // Looked up once: every mesh record would otherwise ask the options by
    // name.
    mReadLinks = OptionIsSet("LINK");
    mReadShapes = OptionIsSet("SHAPE");
    for (const KString& kind : kinds) {
        while (duz->FieldReadBegin(kind.Buffer())) {
            const KString fullName(duz->FieldReadString());
            const KString subType(duz->FieldReadString());
            const KString name = KDuzStripNamePrefixOfString(fullName);
            if (duz->FieldReadBlockBegin()) {
                ReadObject(scene, kind, subType, name, fullName);
                duz->FieldReadBlockEnd();
            }
            duz->FieldReadEnd();
        }
    }
    duz->FieldReadBlockEnd();
    duz->FieldReadEnd();
    return true;
}

KDuz6RecordContext KDuzReaderDuz6::MakeRecordContext() {
    KDuz6RecordContext context;
    context.file = GetFieldFile();
    context.manager = mManager;
    context.readProperties60 = [this](KDuzObject* object) { return ReadProperties60(object); };
    context.findObject = [this](const char* fullName) { return FindObjectByName(fullName); };
    context.readCameraSwitcher = [this](KDuzCameraSwitcher* switcher) { return ReadCameraSwitcher(switcher); };
    context.readLinks = mReadLinks;
    context.readShapes = mReadShapes;
    return context;
}

KDuzObject* KDuzReaderDuz6::CreateGenericObject(const KString& kind, const KString& subType,
                                                const KString& name) {
    KClassId classId = mManager->FindClassByDuzType(kind.Buffer(), subType.Buffer());
    if (!classId.IsValid()) {
        if (mRuntimeClassCount >= kMaxRuntimeClassesPerRead) return nullptr;
        KString className(kind);
        className += "_";
        className += subType;
        classId = mManager->RegisterClass(className.Buffer(), KDuzTakeNodeContainer::ClassId(),
                                          &KDuzTakeNodeContainer::ClassCreator, kind.Buffer(),
                                          subType.Buffer());
        if (!classId.IsValid()) return nullptr;
        ++mRuntimeClassCount;
    }
    return dynamic_cast<KDuzObject*>(mManager->CreateObject(classId, name.Buffer()));
}

bool KDuzReaderDuz6::ReadObject(KDuzScene* scene, const KString& kind, const KString& subType,
                                const KString& name, const KString& fullName) {
    const KDuz6RecordContext context = MakeRecordContext();

    if (Equals(kind, "SceneInfo")) {
        // Not registered, so no connection can name it. The record says its
        // type in "Type"; the sub-type stands in when that is missing.
        KDuz* duz = GetFieldFile();
        const KString type(duz != nullptr ? duz->FieldReadStringOrDefault("Type", subType.Buffer()) : "");
        if (KDuzSceneInfo* info = ReadSceneInfo(type.Buffer())) {
            if (scene != nullptr) {
                if (KDuzSceneInfo* previous = scene->GetSceneInfo()) previous->Destroy();
                scene->SetSceneInfo(info);
            } else {
                info->Destroy();
            }
        }
        return true;
    }
    if (Equals(kind, "Model")) {
        KString type = subType;
        if (type.IsEmpty()) type = Equals(name, "Camera Switcher") ? "CameraSwitcher" : "Mesh";
        KDuzNode* node = KDuzNode::Create(mManager, name.Buffer());
        if (node == nullptr) return true;
        mNodes.emplace(name.Buffer(), node);
        ReadModel(*node, type);
        Register(scene, fullName, node);
        return true;
    }
    if (Equals(kind, "Geometry") && Equals(subType, "Mesh")) {
        KDuzMesh* mesh = KDuzMesh::Create(mManager, name.Buffer());
        if (mesh == nullptr) return true;
        KDuz6ReadMesh(context, mesh);
        Register(scene, fullName, mesh);
        return true;
    }
    if (Equals(kind, "Geometry")) {
        if (KDuzObject* geometry = KDuz6ReadCurvedGeometry(context, subType.Buffer(), name.Buffer())) {
            Register(scene, fullName, geometry);
            return true;
        }
    }
    if (Equals(kind, "Material")) {
        KDuzSurfaceMaterial* material = KDuz6ReadMaterial(context, name.Buffer(), subType.Buffer());
        Register(scene, fullName, material);
        return true;
    }
    if (Equals(kind, "Texture")) {
        KDuzTexture* texture = KDuzTexture::Create(mManager, name.Buffer());
        if (texture == nullptr) return true;
        KDuz6ReadTexture(context, texture);
        Register(scene, fullName, texture);
        return true;
    }
    if (Equals(kind, "Video")) {
        KDuzVideo* video = KDuzVideo::Create(mManager, name.Buffer());
        if (video == nullptr) return true;
        KDuz6ReadVideo(context, video);
        Register(scene, fullName, video);
        return true;
    }
    if (Equals(kind, "Pose")) {
        if (Equals(subType, "CharacterPose")) {
            // The pose's own scene is version 5 content: the rest of the
            // record, read by the version 5 reader.
            const int index = scene != nullptr ? scene->CreateCharacterPose(name.Buffer()) : -1;
            auto* pose = index >= 0 ? dynamic_cast<KDuzCharacterPose*>(scene->GetCharacterPose(index)) : nullptr;
            if (index >= 0 && (pose == nullptr || !ReadCharacterPoseScene(pose->GetScene(), true)))
                scene->DestroyCharacterPose(index);
            return true;
        }
        if (!Equals(subType, "BindPose") && !Equals(subType, "RestPose")) return true;
        KDuzPose* pose = KDuzPose::Create(mManager, name.Buffer());
        if (pose == nullptr) return true;
        const bool bindPose = Equals(subType, "BindPose");
        pose->SetIsBindPose(bindPose);
        if (KDuz6ReadPose(context, pose, bindPose)) {
            if (scene != nullptr) scene->ConnectSrcObject(pose);
        } else {
            pose->Destroy();
        }
        return true;
    }
    if (KDuzObject* object = KDuz6ReadDeformerRecord(context, kind, subType, name)) {
        Register(scene, fullName, object);
        return true;
    }
    if (Equals(kind, "GenericNode")) {
        KDuzGenericNode* node = KDuzGenericNode::Create(mManager, name.Buffer());
        if (node == nullptr) return true;
        ReadGenericNode(*node);
        Register(scene, fullName, node);
        return true;
    }
    if (Equals(kind, "Constraint")) {
        const int type = ConstraintTypeFromName(subType);
        if (type == 7) {
            // Characters are created by the scene and connected there.
            const int index = scene != nullptr ? scene->CreateCharacter(name.Buffer()) : -1;
            auto* character = index >= 0 ? dynamic_cast<KDuzCharacter*>(scene->GetCharacter(index)) : nullptr;
            if (character != nullptr) {
                ReadCharacter(*character);
                Register(scene, fullName, character);
            }
            return true;
        }
        if (type >= 1 && type <= 6) {
            KDuzObject* constraint = mManager->CreateConstraint(name.Buffer(), type);
            if (constraint == nullptr) return true;
            if (!ReadConstraint(constraint)) {
                constraint->Destroy();
                return true;
            }
            Register(scene, fullName, constraint);
            return true;
        }
    }
    if (Equals(kind, "ControlSetPlug")) {
        if (!Equals(subType, "ControlSetPlug") || scene == nullptr) return true;
        const int index = scene->CreateControlSetPlug(name.Buffer());
        KDuzObject* plug = index >= 0 ? scene->GetControlSetPlug(index) : nullptr;
        if (plug == nullptr) return true;
        if (KDuz* duz = GetFieldFile()) duz->FieldReadIntOrDefault("Version", 100);
        ReadProperties60(plug);
        plug->WrapInternalProperties();
        MapName(fullName.Buffer(), plug);
        return true;
    }
    if (Equals(kind, "GlobalSettings")) {
        if (scene != nullptr)
            if (KDuzGlobalSettings* settings = scene->GetGlobalSettings()) ReadGlobalSettings(*settings);
        return true;
    }

    // Kinds and sub-types without a class of their own.
    KDuzObject* object = CreateGenericObject(kind, subType, name);
    if (object == nullptr) return true;
    ReadProperties60(object);
    Register(scene, fullName, object);
    return true;
}

bool KDuzReaderDuz6::ReadCharacterPoseScene(KDuzScene* poseScene, bool withContent) {
    // Every level is a nested read by a reader of its own: the depth is the
    // thread's, so that a file nesting pose scenes without end cannot
    // exhaust the stack.
    static thread_local int depth = 0;
    if (poseScene == nullptr || mFile == nullptr || depth >= kMaxPoseSceneDepth) return false;
    struct DepthGuard {
        DepthGuard() { ++depth; }
        ~DepthGuard() { --depth; }
    } guard;
    KDuzImporter* importer = KDuzImporter::Create(mManager, "");
    if (importer == nullptr) return false;
    bool result = false;
    if (KDuzStreamOptions* options = importer->GetOptionsWithDuz5Reader(mFile)) {
        for (const char* option : {"MODEL", "MATERIAL", "TEXTURE", "SHAPE", "GOBO", "PIVOT", "ANIMATION",
                                   "GLOBAL SETTINGS"})
            options->SetBoolOption(option, withContent);
        result = importer->ReadWithDuz5Reader(poseScene, options, mFile);
        options->Destroy();
    }
    importer->Destroy();
    return result;
}

bool KDuzReaderDuz6::ReadConstraint(KDuzObject* constraint) {
    if (constraint == nullptr || !OptionIsSet("CONSTRAINT")) return false;
    ReadProperties60(constraint);
    constraint->WrapInternalProperties();
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || !duz->FieldReadBegin("Version")) return true;
    const int version = duz->FieldReadGetValueCount() > 0 ? duz->FieldReadInt() : 0;
    duz->FieldReadEnd();
    // Only version 101 of a parent constraint carries the offsets as fields.
    if (version == 101 && dynamic_cast<KDuzConstraintParent*>(constraint) != nullptr)
        ReadParentConstraintOffsets(*constraint);
    return true;
}

bool KDuzReaderDuz6::ReadModel(KDuzNode& node, const KString& subType) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr) return false;
    const KDuz6RecordContext context = MakeRecordContext();
    if (duz->FieldReadIntOrDefault("Version", 100) < 232) {
        node.SetLegacyModel(true);
        mLegacyNodes.push_back(&node);
    }
    KDuz6ReadModelVisibilityAndShading(*duz, &node);
    KDuz6ReadModelCulling(*duz, &node);
    KDuz6ReadModelTargetRotations(*duz, &node);
    KDuz6ReadNodeAttribute(context, &node, subType.Buffer());
    ReadNodeProperties(node);
    KDuz6ReadModelMultiLayer(*duz, &node);
    // A take still waiting to be filled takes the values read when it is.
    if (!node.IsTakeContentPending()) node.SetTakeCurvesFromProperties(node.GetDefaultTakeNode());
    node.WrapInternalProperties();
    return true;
}

bool KDuzReaderDuz6::ReadNodeProperties(KDuzNode& node) {
    const bool read = ReadProperties60(&node);
    node.UpdatePivotsAndLimitsFromProperties();
    return read;
}

bool KDuzReaderDuz6::ReadGenericNode(KDuzGenericNode& node) {
    if (KDuz* duz = GetFieldFile()) duz->FieldReadIntOrDefault("Version", 100);
    ReadProperties60(&node);
    node.WrapInternalProperties();
    return true;
}

bool KDuzReaderDuz6::ReadGlobalSettings(KDuzGlobalSettings& settings) {
    if (KDuz* duz = GetFieldFile()) duz->FieldReadIntOrDefault("Version", 1000);
    ReadProperties60(&settings);
    return true;
}

}  // namespace duzsdk
