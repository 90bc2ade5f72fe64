// The version 5 "Takes" section: one "Take" block per exported take with the
// animated channels of the camera switcher, every node, texture and material.
#include <limits>
#include <memory>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KProgress.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuz5RecordNames.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/io/KFCurveNodeDuzStorage.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duzsdk {

bool KDuzWriterDuz::WriteTakes(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    duz.WriteComment("Takes and animation section");
    duz.WriteComment("----------------------------------------------------");
    duz.WriteComment("");
    duz.FieldWriteBegin(duz5::kTakes);
    duz.FieldWriteBlockBegin();
    duz.FieldWriteNamedString("Current", scene->GetCurrentTakeName());

    // The running span starts empty once and widens over the takes.
    mSpanStart = std::numeric_limits<int64_t>::max();
    mSpanStop = std::numeric_limits<int64_t>::min() + 1;
    KDuzNode* root = scene->GetRootNode();
    const std::vector<KDuzObject*> textures = Collect(scene, eDuzClassTexture);
    const std::vector<KDuzObject*> materials = Collect(scene, eDuzClassSurfaceMaterial);
    KPointerArray<KString> names;
    scene->FillTakeNameList(names);
    for (int t = 0; t < names.Count(); ++t) {
        const KString name = *names[t];
        if (name == KString("Default")) continue;
        KDuzTakeDescription* description = scene->GetTakeDescription(name);
        if (description == nullptr) {
            KDuzTakeDescription fresh;
            fresh.name = name;
            scene->SetTakeDescription(fresh);
            description = scene->GetTakeDescription(name);
            if (description == nullptr) continue;
        } else if (!description->select) {
            continue;
        }
        KString status("Storing take ");
        status += name;
        ReportProgress(status.Buffer(), 0.0f);
        mModelsStored = 0;
        mModelsTotal = (root != nullptr ? root->GetChildCount(true) : 0) + static_cast<int>(textures.size()) +
                       static_cast<int>(materials.size());

        duz.FieldWriteBegin("Take");
        duz.FieldWriteKString(name);
        duz.FieldWriteBlockBegin();
        KDuzWriteTakeHead(duz, scene, name, description, mSpanStart, mSpanStop, true);

        duz.WriteComment("Models animation");
        duz.WriteComment("----------------------------------------------------");
        duz.WriteComment("");
        if (KDuzNode* switcher = scene->GetCameraSwitcherNode())
            WriteObjectTakeAnimation(switcher, name.Buffer(), "Model", false);
        if (root != nullptr) WriteModelTakeAnimation(root, name.Buffer());
        duz.WriteComment("Textures animation");
        duz.WriteComment("----------------------------------------------------");
        duz.WriteComment("");
        for (KDuzObject* texture : textures) {
            ReportProgress(nullptr, Percentage(mModelsStored++, mModelsTotal));
            WriteObjectTakeAnimation(texture, name.Buffer(), "Texture", false);
        }
        duz.WriteComment("Materials animation");
        duz.WriteComment("----------------------------------------------------");
        duz.WriteComment("");
        for (KDuzObject* material : materials) {
            ReportProgress(nullptr, Percentage(mModelsStored++, mModelsTotal));
            WriteObjectTakeAnimation(material, name.Buffer(), "Material", true);
        }
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        if (IProgress* progress = KProgressGetGlobal()) progress->Step(1);
    }
    for (int t = 0; t < names.Count(); ++t) delete names[t];
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    return true;
}

bool KDuzWriterDuz::WriteObjectTakeAnimation(KDuzObject* object, const char* takeName, const char* kindName,
                                             bool isMaterial) {
    auto* container = dynamic_cast<KDuzTakeNodeContainer*>(object);
    if (container == nullptr || !container->SetCurrentTakeNodeByName(takeName)) return false;
    KDuz& duz = *GetFieldFile();
    duz.FieldWriteBegin(kindName);
    duz.FieldWriteKString(object->GetNameWithPrefix());
    duz.FieldWriteBlockBegin();
    duz.FieldWriteBegin("Version");
    duz.FieldWriteDouble(1.1);
    duz.FieldWriteEnd();
    KDuzTakeNode* take = container->GetCurrentTakeNode();
    if (take != nullptr && take != container->GetDefaultTakeNode() && take->GetCurveNode() != nullptr) {
        // The layout stores shininess in percent. The curve is scaled for the
        // write and then restored from a copy, so its values do not drift.
        KFCurve* shininess = nullptr;
        std::unique_ptr<KFCurve> saved;
        if (isMaterial) {
            KFCurveNode* node = KDuzTakeNodeContainer::FindPropertyCurveNode(take, "Shininess");
            shininess = node != nullptr ? node->GetCurve() : nullptr;
            if (shininess != nullptr) saved.reset(shininess->Clone());
            if (saved == nullptr) shininess = nullptr;
            if (shininess != nullptr) shininess->ScaleValues(false, 100.0f);
        }
        const bool oldLayout = mTarget != nullptr && mTarget->GetPropertyFormatFlag();
        KFCurveNode* root = take->GetCurveNode();
        for (int i = 0; i < root->GetChildCount(); ++i)
            KFCurveNodeWriteDuz(*root->GetChild(i), duz, false, true, true, "Channel", true, oldLayout);
        if (shininess != nullptr) shininess->CopyFrom(*saved, true);
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    return true;
}

void KDuzWriterDuz::WriteModelTakeAnimation(KDuzNode* start, const char* takeName) {
    VisitPreOrder(start, [this, start, takeName](KDuzNode* node) {
        if (node != start) WriteObjectTakeAnimation(node, takeName, "Model", false);
        ReportProgress(nullptr, Percentage(mModelsStored++, mModelsTotal));
    });
}

}  // namespace duzsdk
