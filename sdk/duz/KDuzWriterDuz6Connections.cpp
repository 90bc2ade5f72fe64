// The "Relations" and "Connections" sections of version 6 files.
#include <unordered_set>
#include <vector>

#include "sdk/character/KDuzConstraint.h"
#include "sdk/character/KDuzControlSetPlug.h"
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
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"

namespace duzsdk {

namespace {

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
    for (KDuzObject* node : Sources(scene, KDuzNode::ClassId()))
        if (node != root && node != switcher) WriteRelation(duz6::kModel, node);
    if (KDuzGlobalCameraSettings* cameras = scene->GetGlobalCameraSettings())
        for (int producer : kProducerOrder) WriteRelation(duz6::kModel, cameras->GetProducerNode(producer));
    WriteRelation(duz6::kModel, switcher);
    if (Option("MATERIAL"))
        for (KDuzObject* material : Sources(scene, KDuzSurfaceMaterial::ClassId()))
            WriteRelation(duz6::kMaterial, material);
    if (Option("TEXTURE"))
        for (KDuzObject* texture : Sources(scene, KDuzTexture::ClassId())) WriteRelation(duz6::kTexture, texture);
    if (Option("MEDIA"))
        for (KDuzObject* video : Sources(scene, KDuzVideo::ClassId())) WriteRelation(duz6::kVideo, video);
    if (Option("LINK")) {
        for (const KClassId& kind : {KDuzClassIdOf(eDuzClassDeformer), KDuzClassIdOf(eDuzClassSubDeformer)})
            for (KDuzObject* deformer : Sources(scene, kind)) WriteRelation(duz6::kDeformer, deformer);
    }
    // Character-pose relations come with their class.
    for (KDuzObject* pose : Sources(scene, KDuzPose::ClassId())) WriteRelation(duz6::kPose, pose);
    WriteSceneInfoRelation(scene->GetSceneInfo());
    for (KDuzObject* constraint : Sources(scene, KDuzConstraint::ClassId()))
        if (IsWrittenConstraint(constraint)) WriteRelation(duz6::kConstraint, constraint);
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
        WriteObjectConnections(root, true);
        root->SetName(name.Buffer(), false);
    }
    if (Option("CHARACTER"))
        for (KDuzObject* plug : Sources(scene, KDuzControlSetPlug::ClassId())) WriteObjectConnections(plug, false);
    for (KDuzObject* constraint : Sources(scene, KDuzConstraint::ClassId()))
        if (IsWrittenConstraint(constraint)) WriteObjectConnections(constraint, false);
    duz.FieldWriteBlockEnd();
    return duz.FieldWriteEnd() == 0;
}

bool KDuzWriterDuz6::IsUnwrittenDeformer(const KDuzObject* object) const {
    // Deformers and clusters are objects of the file only under "LINK"; a
    // connection to one that is not there is dropped by the reader.
    return object != nullptr && !Option("LINK") &&
           (object->Is(KDuzClassIdOf(eDuzClassDeformer)) || object->Is(KDuzClassIdOf(eDuzClassSubDeformer)));
}

void KDuzWriterDuz6::WriteOwnConnections(KDuzObject* object) {
    for (KDuzObject* source : Sources(object, KClassId()))
        if (!IsUnwrittenDeformer(source)) WriteConnect(source, nullptr, object, nullptr);
    for (int p = 0; p < object->GetPropertyCount(); ++p) {
        // Objects connect to a property through its handle: one without a
        // handle has none, and is not made just to be asked.
        if (!object->IsPropertyHandleMade(p)) continue;
        KDuzProperty property = object->GetPropertyAt(p);
        if (!property.IsValid() || property.GetSrcObjectCount() == 0) continue;
        for (KDuzObject* source : Sources(&property, KClassId())) WriteConnect(source, nullptr, object, &property);
    }
}

// Depth first, in source order, with the path on a stack of its own so that
// deep hierarchies need no deep recursion. An object met again along several
// paths is written once per path; one that is already on the current path
// (a loop in the source graph) is not entered again.
void KDuzWriterDuz6::WriteObjectConnections(KDuzObject* object, bool recurse) {
    if (object == nullptr) return;
    struct Frame {
        KDuzObject* object;
        bool recurse;
        std::vector<KDuzObject*> sources;
        size_t next;
    };
    std::vector<Frame> path;
    std::unordered_set<const KDuzObject*> onPath;
    auto visit = [&](KDuzObject* visited, bool deeper) {
        WriteOwnConnections(visited);
        path.push_back({visited, deeper, deeper ? Sources(visited, KClassId()) : std::vector<KDuzObject*>(), 0});
        onPath.insert(visited);
    };
    visit(object, recurse);
    while (!path.empty()) {
        Frame& top = path.back();
        if (!top.recurse || top.next >= top.sources.size()) {
            onPath.erase(top.object);
            path.pop_back();
            continue;
        }
        KDuzObject* child = top.sources[top.next++];
        const bool deeper = top.object->Is(KDuzNode::ClassId()) || top.object->Is(KDuzNodeAttribute::ClassId());
        if (child != nullptr && onPath.count(child) == 0 && !IsUnwrittenDeformer(child)) visit(child, deeper);
    }
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
