// The "Takes" section of version 6 files: the current take's name and one
// "Take" block per exported take with the animation of every animated object.
#include "sdk/base/KDynamicArray.h"
#include "sdk/duz/KDuz6RecordNames.h"
#include "sdk/character/KDuzConstraint.h"
#include "sdk/duz/KDuzSharedWriteRecords.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/scene/KDuzGenericNode.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duzsdk {

bool KDuzWriterDuz6::WriteTakes(KDuzScene* scene) {
    KDuz& duz = *GetFieldFile();
    duz.WriteComment("Takes and animation section");
    duz.WriteComment("----------------------------------------------------");
    duz.WriteComment("");
    duz.FieldWriteBegin(duz6::kTakes);
    duz.FieldWriteBlockBegin();
    duz.FieldWriteNamedString("Current", scene->GetCurrentTakeName());

    // The running span starts empty once and widens over the takes.
    mSpanStart = KTime::kTicksPerSecond;
    mSpanStop = 0;
    mSpanStarted = true;
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

        duz.FieldWriteBegin("Take");
        duz.FieldWriteKString(name);
        duz.FieldWriteBlockBegin();
        KDuzWriteTakeHead(duz, scene, name, description, mSpanStart, mSpanStop, false);

        WriteBanner("Models animation", 52);
        if (KDuzNode* switcher = scene->GetCameraSwitcherNode())
            WriteObjectAnimation(switcher, name.Buffer(), duz6::kModel);
        WriteModelsAnimation(scene, name.Buffer());
        WriteBanner("Generic nodes animation", 52);
        for (KDuzObject* node : Sources(scene, KDuzGenericNode::ClassId()))
            WriteObjectAnimation(node, name.Buffer(), duz6::kGenericNode);
        WriteBanner("Textures animation", 52);
        for (KDuzObject* texture : Sources(scene, KDuzTexture::ClassId()))
            WriteObjectAnimation(texture, name.Buffer(), duz6::kTexture);
        WriteBanner("Materials animation", 52);
        duz.WriteComment("");
        for (KDuzObject* material : Sources(scene, KDuzSurfaceMaterial::ClassId()))
            WriteObjectAnimation(material, name.Buffer(), duz6::kMaterial);
        WriteBanner("Constraints animation", 52);
        for (KDuzObject* constraint : Sources(scene, KDuzConstraint::ClassId()))
            WriteObjectAnimation(constraint, name.Buffer(), duz6::kConstraint);
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    for (int t = 0; t < names.Count(); ++t) delete names[t];
    duz.FieldWriteBlockEnd();
    return duz.FieldWriteEnd() == 0;
}

bool KDuzWriterDuz6::WriteModelsAnimation(KDuzScene* scene, const char* takeName) {
    bool all = true;
    KDuzNode* switcher = scene->GetCameraSwitcherNode();
    for (KDuzObject* node : Sources(scene, KDuzNode::ClassId())) {
        // The switcher's block came first.
        if (node == switcher) continue;
        if (!WriteObjectAnimation(node, takeName, duz6::kModel)) all = false;
    }
    return all;
}

}  // namespace duzsdk
