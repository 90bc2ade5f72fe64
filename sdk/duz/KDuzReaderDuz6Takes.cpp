// The "Takes" section of a version 6 file: per take, the animation of each
// animated object, read into a take node of the take's name.
#include <cstring>
#include <memory>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/animation/KFCurveTools.h"
#include "sdk/base/KSortedPtrMap.h"
#include "sdk/base/KProgress.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/io/KFCurveNodeDuzStorage.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/scene/KDuzGenericNode.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

// Every "Channel" field of the current block into the curve node.
void ReadCurveNodeChannels(KDuz& duz, KFCurveNode* node) {
    if (node == nullptr) return;
    while (KFCurveNodeReadChannelDuz(duz, node, false, true, false) != nullptr) {
    }
}

}  // namespace

bool KDuzReaderDuz6::ReadTakes(KDuzScene* scene) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || scene == nullptr) return false;
    bool result = true;
    if (duz->FieldReadBegin("Takes")) {
        if (duz->FieldReadBlockBegin()) {
            while (duz->FieldReadBegin("Take")) {
                const KString name(duz->FieldReadString());
                const KDuzTakeDescription* description =
                    name.IsEmpty() ? nullptr : FindTakeDescription(name.Buffer());
                if (description != nullptr && description->select && duz->FieldReadBlockBegin()) {
                    // The description may live in the caller's options; the
                    // scene gets a copy of its own.
                    KDuzTakeDescription copy = *description;
                    if (ReadTake(scene, copy))
                        scene->SetTakeDescription(copy);
                    else
                        result = false;
                    duz->FieldReadBlockEnd();
                    if (IProgress* progress = KProgressGetGlobal()) progress->Step(1);
                }
                duz->FieldReadEnd();
            }
            duz->FieldReadBlockEnd();
        }
        duz->FieldReadEnd();
    }
    if (mReadOptions != nullptr) {
        const KString current = mReadOptions->GetStringOption("CURRENT TAKE NAME");
        if (!current.IsEmpty() && scene->HasTakeName(current)) scene->SetCurrentTake(current.Buffer());
    }
    return result;
}

bool KDuzReaderDuz6::ReadTake(KDuzScene* scene, KDuzTakeDescription& description) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr) return false;
    if (!duz->FieldReadBegin("FileName"))
        return ReadTakeContent(*duz, scene, description) && ApplyTakeTimeOffset(scene, description);
    const KString fileName(duz->FieldReadString());
    duz->FieldReadEnd();

    const KString path(duz->JoinFileFolderPath(fileName.Buffer()));
    auto takeFile = std::make_unique<KDuz>();
    if (takeFile->ProjectOpen(path.Buffer())) {
        const bool read = ReadTakeContent(*takeFile, scene, description);
        takeFile->ProjectClose();
        return read && ApplyTakeTimeOffset(scene, description);
    }
    // Files of version 2000 and above keep the take in the block as well.
    if (duz->IsVersionAbove1999())
        return ReadTakeContent(*duz, scene, description) && ApplyTakeTimeOffset(scene, description);
    const int code = takeFile->GetLastErrorID();
    mError.SetLastErrorWithText(code == KDuz::kErrorCorrupted || code == KDuz::kErrorFileNotOpened
                                    ? code
                                    : static_cast<int>(eUnidentifiedError),
                                takeFile->GetLastErrorString());
    return false;
}

bool KDuzReaderDuz6::ReadTakeContent(KDuz& duz, KDuzScene* scene, KDuzTakeDescription& description) {
    if (scene == nullptr) return true;
    const char* takeName = description.name.Buffer();
    // The take's time warps serve the curve readers while the take is read;
    // they are taken away again on every way out, and the warps that no
    // curve kept are freed then.
    KSortedPtrMap warps(20);
    std::vector<KFCurveNode*> warpNodes;
    ReadTimeWarps(duz, warps, warpNodes);
    std::vector<std::unique_ptr<KFCurveNode, void (*)(KFCurveNode*)>> holders;
    for (KFCurveNode* warp : warpNodes) {
        holders.emplace_back(KFCurveNodeCreate("TimeWarpHolder"), [](KFCurveNode* n) { KFCurveObjectDelete(n); });
        if (holders.back() != nullptr) {
            holders.back()->SetTimeWarp(warp);
            continue;
        }
        // Without a holder the warp cannot be kept: it leaves the set first.
        for (int i = warps.GetCount() - 1; i >= 0; --i)
            if (warps.GetAt(i) == warp) warps.RemoveAt(i);
        KFCurveObjectDelete(warp);
    }
    struct InstalledWarps {
        KSortedPtrMap* previous;
        explicit InstalledWarps(KSortedPtrMap* set) : previous(KFCurveGetTimeWarpSet()) { KFCurveSetTimeWarpSet(set); }
        ~InstalledWarps() { KFCurveSetTimeWarpSet(previous); }
    } installed(&warps);

    IProgress* progress = KProgressGetGlobal();
    const int total = duz.FieldGetInstanceCount("Model") + duz.FieldGetInstanceCount("Texture") +
                      duz.FieldGetInstanceCount("Material");
    int done = 0;
    if (progress != nullptr) {
        KString text("Retrieving take ");
        text += takeName;
        progress->SetStatus(text.Buffer(), nullptr, 0.0f);
    }
    // A take read without a thumbnail keeps the one its description has.
    if (KDuzThumbnail* thumbnail = ReadThumbnailFrom(duz)) description.SetThumbnail(thumbnail);
    const bool merge = OptionIsSet("MERGE LAYER AND TIMEWARP");

    auto readInto = [&](KDuzTakeNodeContainer* container, bool withMerge) {
        if (container == nullptr) return;
        if (container->CreateTakeNode(takeName) == nullptr && !container->SetCurrentTakeNodeByName(takeName))
            return;
        container->SetCurrentTakeNodeByName(takeName);
        KDuzTakeNode* take = container->GetCurrentTakeNode();
        if (take != nullptr && duz.FieldReadBlockBegin()) {
            ReadCurveNodeChannels(duz, take->GetCurveNode());
            if (withMerge) ApplyTimeWarps(take->GetCurveNode(), nullptr);
            duz.FieldReadBlockEnd();
        }
        container->SetCurrentTakeNode(0);
    };
    auto step = [&]() {
        if (progress != nullptr && total > 0)
            progress->SetStatus(nullptr, nullptr, static_cast<float>(done) * 100.0f / static_cast<float>(total));
        ++done;
    };

    while (duz.FieldReadBegin("Model")) {
        step();
        const KString name(duz.FieldReadString());
        KDuzTakeNodeContainer* container = nullptr;
        if (std::strcmp(name.Buffer(), "Camera Switcher") == 0 ||
            std::strcmp(name.Buffer(), "Model::Camera Switcher") == 0) {
            container = scene->GetCameraSwitcherNode();
        } else {
            // Only a model takes model animation.
            container = dynamic_cast<KDuzNode*>(FindObjectByName(name.Buffer()));
        }
        readInto(container, merge);
        duz.FieldReadEnd();
    }
    while (duz.FieldReadBegin("GenericNode")) {
        const KString name = KDuzStripNamePrefix(duz.FieldReadString());
        readInto(scene->FindGenericNode(name.Buffer()), false);
        duz.FieldReadEnd();
    }
    while (duz.FieldReadBegin("Texture")) {
        step();
        const KString name = KDuzStripNamePrefix(duz.FieldReadString());
        readInto(dynamic_cast<KDuzTakeNodeContainer*>(scene->FindTexture(name.Buffer())), merge);
        duz.FieldReadEnd();
    }
    while (duz.FieldReadBegin("Material")) {
        step();
        const KString name = KDuzStripNamePrefix(duz.FieldReadString());
        readInto(dynamic_cast<KDuzTakeNodeContainer*>(scene->FindMaterial(name.Buffer())), merge);
        duz.FieldReadEnd();
    }
    while (duz.FieldReadBegin("Constraint")) {
        const KString name = KDuzStripNamePrefix(duz.FieldReadString());
        readInto(dynamic_cast<KDuzTakeNodeContainer*>(
                     scene->FindSrcObject(KDuzClassIdOf(eDuzClassConstraint), name.Buffer())),
                 false);
        duz.FieldReadEnd();
    }
    return true;
}

}  // namespace duzsdk
