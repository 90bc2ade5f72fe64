// The "Relations" and "Connections" sections of version 6 files.
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

// Deep enough for any scene tree; a source graph that loops stops here
// instead of recursing without end.
constexpr int kMaxConnectionDepth = 4096;

constexpr int kProducerOrder[] = {
    KDuzGlobalCameraSettings::ePerspective, KDuzGlobalCameraSettings::eTop,  KDuzGlobalCameraSettings::eBottom,
    KDuzGlobalCameraSettings::eFront,       KDuzGlobalCameraSettings::eBack, KDuzGlobalCameraSettings::eRight,
    KDuzGlobalCameraSettings::eLeft,
};

}  // namespace

bool KDuzWriterDuz6::WriteRelations(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    WriteBanner(" Object relations", 66);
    duz.FieldWriteBegin(duz6::kRelations);
    duz.FieldWriteBlockBegin();
    KDuzNode* root = scene->GetRootNode();
    KDuzNode* switcher = scene->GetCameraSwitcherNode();
    for (int i = 0; i < scene->GetNodeCount(); ++i) {
        KDuzNode* node = scene->GetNode(i);
        if (node != nullptr && node != root && node != switcher) WriteRelation(duz6::kModel, node);
    }
    if (KDuzGlobalCameraSettings* cameras = scene->GetGlobalCameraSettings())
        for (int producer : kProducerOrder) WriteRelation(duz6::kModel, cameras->GetProducerNode(producer));
    WriteRelation(duz6::kModel, switcher);
    if (Option("MATERIAL"))
        for (int i = 0; i < scene->GetMaterialCount(); ++i) WriteRelation(duz6::kMaterial, scene->GetMaterial(i));
    if (Option("TEXTURE"))
        for (int i = 0; i < scene->GetTextureCount(); ++i) WriteRelation(duz6::kTexture, scene->GetTexture(i));
    if (Option("MEDIA"))
        for (int i = 0; i < scene->GetVideoCount(); ++i) WriteRelation(duz6::kVideo, scene->GetVideo(i));
    // Deformer, character-pose and constraint relations come with their classes.
    for (int i = 0; i < scene->GetPoseCount(); ++i) WriteRelation(duz6::kPose, scene->GetPose(i));
    WriteSceneInfoRelation(scene->GetSceneInfo());
    duz.FieldWriteBlockEnd();
    return duz.FieldWriteEnd() == 0;
}

bool KDuzWriterDuz6::WriteConnections(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    WriteBanner(" Object connections", 66);
    duz.FieldWriteBegin(duz6::kConnections);
    duz.FieldWriteBlockBegin();
    if (KDuzNode* root = scene->GetRootNode()) {
        // The root is always "Model::Scene" in the file, whatever its name.
        const KString name = root->GetNameString();
        root->SetName("Scene", false);
        mConnectionDepth = 0;
        WriteObjectConnections(root, true);
        root->SetName(name.Buffer(), false);
    }
    // Control-set plug and constraint connections come with their classes.
    duz.FieldWriteBlockEnd();
    return duz.FieldWriteEnd() == 0;
}

void KDuzWriterDuz6::WriteObjectConnections(KDuzObject* object, bool recurse) {
    if (object == nullptr || mConnectionDepth >= kMaxConnectionDepth) return;
    ++mConnectionDepth;
    const int sources = object->GetSrcObjectCount();
    for (int i = 0; i < sources; ++i) WriteConnect(object->GetSrcObject(KClassId(), i), nullptr, object, nullptr);
    for (int p = 0; p < object->GetPropertyCount(); ++p) {
        KDuzProperty property = object->GetPropertyAt(p);
        if (!property.IsValid()) continue;
        for (int i = 0; i < property.GetSrcObjectCount(); ++i)
            WriteConnect(property.GetSrcObject(KClassId(), i), nullptr, object, &property);
    }
    if (recurse) {
        const bool deeper = object->Is(KDuzNode::ClassId()) || object->Is(KDuzNodeAttribute::ClassId());
        for (int i = 0; i < sources; ++i) WriteObjectConnections(object->GetSrcObject(KClassId(), i), deeper);
    }
    --mConnectionDepth;
}

KDuzObject* KDuzWriterDuz6::GetConnectableObject(KDuzObject* object) const {
    if (object != nullptr && IsNodeAttribute(object) && !IsSeparateGeometry(object)) {
        if (KDuzObject* node = object->GetDstObject(KDuzNode::ClassId(), 0)) return node;
    }
    return object;
}

bool KDuzWriterDuz6::WriteConnect(KDuzObject* sourceObject, const KDuzProperty* sourceProperty,
                                  KDuzObject* destinationObject, const KDuzProperty* destinationProperty) {
    KDuz& duz = *GetFieldFile();
    const bool sourceIsObject = sourceProperty == nullptr;
    const bool destinationIsObject = destinationProperty == nullptr;
    if (sourceIsObject) sourceObject = GetConnectableObject(sourceObject);
    if (destinationIsObject) destinationObject = GetConnectableObject(destinationObject);
    if ((sourceIsObject && sourceObject == nullptr) || (!sourceIsObject && !sourceProperty->IsValid()) ||
        (destinationIsObject && destinationObject == nullptr) ||
        (!destinationIsObject && !destinationProperty->IsValid()))
        return false;
    auto ownerName = [](const KDuzProperty& property) {
        const KDuzObject* owner = property.GetOwner();
        return owner != nullptr ? owner->GetNameWithPrefix() : KString();
    };
    if (sourceIsObject && destinationIsObject) {
        // An attribute written inside its own model links to nothing else.
        if (sourceObject == destinationObject) return false;
        // A separate geometry belongs to its model only when geometry is written.
        if (IsSeparateGeometry(sourceObject) && destinationObject->Is(KDuzNode::ClassId()) && !Option("MODEL"))
            return true;
    }
    duz.FieldWriteBegin(duz6::kConnect);
    if (sourceIsObject && destinationIsObject) {
        duz.FieldWriteString("OO");
        duz.FieldWriteKString(sourceObject->GetNameWithPrefix());
        duz.FieldWriteKString(destinationObject->GetNameWithPrefix());
    } else if (!sourceIsObject && destinationIsObject) {
        duz.FieldWriteString("PO");
        duz.FieldWriteKString(ownerName(*sourceProperty));
        duz.FieldWriteString(sourceProperty->GetName());
        duz.FieldWriteKString(destinationObject->GetNameWithPrefix());
    } else if (sourceIsObject) {
        duz.FieldWriteString("OP");
        duz.FieldWriteKString(sourceObject->GetNameWithPrefix());
        duz.FieldWriteKString(ownerName(*destinationProperty));
        duz.FieldWriteString(destinationProperty->GetName());
    } else {
        duz.FieldWriteString("PP");
        duz.FieldWriteKString(ownerName(*sourceProperty));
        duz.FieldWriteString(sourceProperty->GetName());
        duz.FieldWriteKString(ownerName(*destinationProperty));
        duz.FieldWriteString(destinationProperty->GetName());
    }
    duz.FieldWriteEnd();
    return true;
}

}  // namespace duzsdk
