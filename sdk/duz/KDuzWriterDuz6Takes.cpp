// The "Takes" section of version 6 files: the current take's name and one
// "Take" block per exported take with the animation of every animated object.
#include "sdk/base/KDynamicArray.h"
#include "sdk/duz/KDuz6RecordNames.h"
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

namespace {

bool SpanSet(KTime start, KTime stop) { return start.Get() != 0 || stop.Get() != 0; }

void WriteSpan(KDuz& duz, const char* name, KTime start, KTime stop) {
    duz.FieldWriteBegin(name);
    duz.FieldWriteTimeSpan(start, stop);
    duz.FieldWriteEnd();
}

}  // namespace

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
        KString fileName = name;
        for (int i = 0; i < fileName.Length(); ++i)
            if (fileName[i] == ' ' || fileName[i] == '\t') *fileName.CharPtrAt(i) = '_';
        fileName += ".tak";
        duz.FieldWriteNamedString("FileName", fileName.Buffer());

        const bool localSet = SpanSet(description->localStart, description->localStop);
        const bool referenceSet = SpanSet(description->referenceStart, description->referenceStop);
        if (!localSet || !referenceSet) {
            scene->SetCurrentTake(name.Buffer());
            KTime start(mSpanStart);
            KTime stop(mSpanStop);
            if (KDuzNode* switcher = scene->GetCameraSwitcherNode()) {
                KTime switcherStart(mSpanStart);
                KTime switcherStop(mSpanStop);
                switcher->GetAnimationInterval(switcherStart, switcherStop);
                if (switcherStart.IsLessThan(start)) start = switcherStart;
                if (stop.IsLessThan(switcherStop)) stop = switcherStop;
            }
            if (KDuzNode* root = scene->GetRootNode()) root->GetAnimationInterval(start, stop);
            mSpanStart = start.Get();
            mSpanStop = stop.Get();
        }
        if (mSpanStart > mSpanStop) {
            mSpanStart = 0;
            mSpanStop = KTime::kTicksPerSecond;
        }
        if (!localSet) {
            description->localStart = KTime(mSpanStart);
            description->localStop = KTime(mSpanStop);
        }
        WriteSpan(duz, "LocalTime", description->localStart, description->localStop);
        if (!referenceSet) {
            description->referenceStart = KTime(mSpanStart);
            description->referenceStop = KTime(mSpanStop);
        }
        WriteSpan(duz, "ReferenceTime", description->referenceStart, description->referenceStop);
        if (!description->comments.IsEmpty()) duz.FieldWriteNamedString("Comments", description->comments.Buffer());
        if (description->thumbnail != nullptr) WriteThumbnail(description->thumbnail);

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
        // Constraint animation comes with the constraint classes.
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
