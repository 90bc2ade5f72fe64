// Record heads, relation records, the per-object animation block of a take
// and the pose body of version 6 files.
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/io/KFCurveNodeDuzStorage.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzSceneInfo.h"

namespace duzsdk {

void KDuzWriterDuz6::WriteRecordHead(const char* kind, const KDuzObject* object) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(kind);
    duz.FieldWriteKString(object->GetNameWithPrefix());
    duz.FieldWriteKString(object->GetTypeName());
    duz.FieldWriteBlockBegin();
}

void KDuzWriterDuz6::WriteModelHead(const KDuzNode* node) { WriteRecordHead(duz6::kModel, node); }

void KDuzWriterDuz6::WriteModelVersion(const KDuzNode* /*node*/) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz6::kVersion);
    duz.FieldWriteInt(duz6::kModelVersion);
    duz.FieldWriteEnd();
}

void KDuzWriterDuz6::WriteCulling(const KDuzNode* node) {
    KDuzWriteCulling(*GetFieldFile(), node);
}

void KDuzWriterDuz6::WriteLightTypeFlags(const KDuzLight* /*light*/) {
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteNamedString(duz6::kTypeFlags, "Light");
    duz.FieldWriteBegin(duz6::kGeometryVersion);
    duz.FieldWriteInt(duz6::kGeometryVersionNumber);
    duz.FieldWriteEnd();
}

void KDuzWriterDuz6::WriteRelation(const char* kind, const KDuzObject* object) {
    if (object == nullptr) return;
    WriteRecordHead(kind, object);
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

void KDuzWriterDuz6::WriteSceneInfoRelation(const KDuzSceneInfo* info) {
    if (info == nullptr) return;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(duz6::kSceneInfo);
    duz.FieldWriteString("SceneInfo::GlobalInfo");
    duz.FieldWriteString("UserData");
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
}

bool KDuzWriterDuz6::WriteObjectAnimation(KDuzObject* object, const char* takeName, const char* fieldName) {
    auto* container = dynamic_cast<KDuzTakeNodeContainer*>(object);
    if (container == nullptr) return false;
    const int previous = container->GetCurrentTakeNodeIndex();
    if (!container->SetCurrentTakeNodeByName(takeName)) return false;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(fieldName);
    duz.FieldWriteKString(object->GetNameWithPrefix());
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin(duz6::kVersion);
    duz.FieldWriteDouble(duz6::kObjectAnimationVersion);
    duz.FieldWriteEnd();
    KDuzTakeNode* take = container->GetCurrentTakeNode();
    if (take != nullptr && take != container->GetDefaultTakeNode() && take->GetCurveNode() != nullptr) {
        KFCurveNode* root = take->GetCurveNode();
        for (int i = 0; i < root->GetChildCount(); ++i)
            KFCurveNodeWriteDuz(*root->GetChild(i), duz, false, true, false, duz6::kChannel, false, false);
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    // The object's own current take is not the writer's to change.
    container->SetCurrentTakeNode(previous);
    return true;
}

void KDuzWriterDuz6::WritePoseBody(const KDuzPose* pose) {
    KDuzWritePoseNodes(*GetFieldFile(), pose);
}

}  // namespace duzsdk
