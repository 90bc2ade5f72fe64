// Post-steps of the animation of a take: time warps read for the take and
// baked into the curves they warp, the take's time offset, and the TIFF name
// of converted media.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveFilterConstantKeyReducer.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/animation/KFCurveTools.h"
#include "sdk/base/KFile.h"
#include "sdk/base/KSortedPtrMap.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/io/KFCurveNodeDuzStorage.h"
#include "sdk/object/KDataType.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

// A baked curve gets one key per period over the warp's span; a span that
// would need more keys is sampled more coarsely instead.
constexpr int64_t kMaxBakedKeys = 100000;

// The sampling period for the span: the default period, widened so that the
// span never takes more than kMaxBakedKeys keys; 0 when nothing can be
// sampled.
int64_t SamplingPeriod(int64_t start, int64_t stop) {
    const int64_t period = KFCurveGetDefaultPeriod().Get();
    if (period <= 0 || stop <= start) return 0;
    const __int128 span = static_cast<__int128>(stop) - start;
    const __int128 needed = (span + kMaxBakedKeys - 1) / kMaxBakedKeys;
    return static_cast<int64_t>(std::max<__int128>(period, needed));
}

// t + shift, held inside the time range instead of overflowing.
int64_t AddClamped(int64_t time, int64_t shift) {
    const __int128 sum = static_cast<__int128>(time) + shift;
    return static_cast<int64_t>(std::clamp<__int128>(sum, KTime::kMinusInfiniteTicks, KTime::kInfiniteTicks));
}

// Moves every key of every curve of the tree (channels and layers) by the
// shift.
void ShiftKeys(KFCurveNode* node, int64_t shift, int depth) {
    if (node == nullptr || depth > kFCurveNodeMaxDepth) return;
    if (KFCurve* curve = node->GetCurve()) {
        // The same shift for every key keeps their order; the last first so
        // that a key never passes its neighbour on the way.
        const int count = curve->KeyGetCount();
        if (shift > 0)
            for (int k = count - 1; k >= 0; --k) curve->KeySetTime(k, KTime(AddClamped(curve->KeyGetTime(k).Get(), shift)));
        else
            for (int k = 0; k < count; ++k) curve->KeySetTime(k, KTime(AddClamped(curve->KeyGetTime(k).Get(), shift)));
    }
    for (int i = 0; i < node->GetChildCount(); ++i) ShiftKeys(node->GetChild(i), shift, depth + 1);
    ShiftKeys(node->GetLayer(), shift, depth + 1);
}

void ApplyTimeWarpsImpl(KFCurveNode* node, KFCurveNode* inherited, int depth);

// Layered nodes (translation, rotation, scaling and the like) are flattened
// through their time warp: the chain is sampled over the warp's span (the
// node's own span without one) into the base curves.
void MergeLayeredNode(KFCurveNode* node, KFCurveNode* warp) {
    KFCurveNode* own = node->GetTimeWarp();
    if (warp != nullptr && own == nullptr) node->SetTimeWarp(warp);
    KTime start(KTime::kInfiniteTicks), stop(KTime::kMinusInfiniteTicks);
    const bool spanned = warp != nullptr ? warp->ExtendAnimationInterval(start, stop)
                                         : node->ExtendAnimationInterval(start, stop);
    const int64_t period = spanned ? SamplingPeriod(start.Get(), stop.Get()) : 0;
    if (period > 0)
        KFCurveNodeMergeLayers(node, nullptr, 0, 0, kFCurveMergeReplaceCurves, start, stop, KTime(period), nullptr,
                               nullptr, true);
    node->SetTimeWarp(nullptr);
}

void ApplyTimeWarpsImpl(KFCurveNode* node, KFCurveNode* inherited, int depth) {
    if (node == nullptr || depth > kFCurveNodeMaxDepth) return;
    KFCurveNode* warp = node->GetTimeWarp() != nullptr ? node->GetTimeWarp() : inherited;
    // A layered node with neither a warp nor layers has nothing to merge:
    // its curves stay as read.
    if (node->GetLayerType() != 0 && (warp != nullptr || node->GetLayer() != nullptr)) {
        MergeLayeredNode(node, warp);
    } else {
        bool changed = false;
        if (inherited != nullptr) {
            KDuzReaderDuz6::BakeTimeWarp(node, inherited);
            changed = true;
        }
        for (int i = 0; i < node->GetChildCount(); ++i) ApplyTimeWarpsImpl(node->GetChild(i), warp, depth + 1);
        if (!changed) return;
    }
    KFCurveApplyRotationFilter(node, kTimeMinusInfinite, kTimeInfinite);
    // Baking keys every period; the readers' filter switch removes the runs
    // of keys that change nothing.
    if (KFCurveGetApplyRotationFilterOnRead()) {
        KFCurveFilterConstantKeyReducer reducer;
        reducer.Apply(*node, true);
    }
}

}  // namespace

// ---- time warps -----------------------------------------------------------------

bool KDuzReaderDuz6::ReadTimeWarps(KDuz& duz, KSortedPtrMap& warps, std::vector<KFCurveNode*>& read) {
    if (!duz.FieldReadBegin("TimeWarps")) return false;
    if (duz.FieldReadBlockBegin()) {
        duz.FieldReadIntOrDefault("Version", 100);
        const KDataType* type = KDataTypeFindByName("TimeWarp");
        while (duz.FieldReadBegin("TW")) {
            const int id = duz.FieldReadInt();
            KFCurveNode* node = KFCurveNodeCreate("TimeWarp", type);
            if (node != nullptr) {
                KFCurveNodeReadDuz(*node, duz, true, true, false);
                // The first warp of an id keeps it.
                if (warps.Find(static_cast<uintptr_t>(static_cast<uint32_t>(id))) == nullptr)
                    warps.Insert(static_cast<uintptr_t>(static_cast<uint32_t>(id)), node);
                read.push_back(node);
            }
            duz.FieldReadEnd();
        }
        duz.FieldReadBlockEnd();
    }
    duz.FieldReadEnd();
    return true;
}

void KDuzReaderDuz6::BakeTimeWarp(KFCurveNode* node, KFCurveNode* warp) {
    if (node == nullptr) return;
    KFCurve* curve = node->GetCurve();
    KFCurve* warpCurve = warp != nullptr ? warp->GetCurve() : nullptr;
    if (curve != nullptr && warpCurve != nullptr && curve->KeyGetCount() > 1 && warpCurve->KeyGetCount() > 1) {
        KTime start(KTime::kInfiniteTicks), stop(KTime::kMinusInfiniteTicks);
        warp->ExtendAnimationInterval(start, stop);
        const int64_t period = SamplingPeriod(start.Get(), stop.Get());
        if (period > 0) {
            std::unique_ptr<KFCurve, void (*)(KFCurve*)> baked(KFCurveCreate(), [](KFCurve* c) { KFCurveObjectDelete(c); });
            if (baked != nullptr) {
                baked->SetDefaultValue(curve->GetDefaultValue());
                baked->SetColor(curve->GetColor());
                auto addKey = [&](int64_t t) {
                    KTime warped;
                    warped.SetSecondDouble(static_cast<double>(warpCurve->Evaluate(KTime(t))));
                    baked->KeySet(baked->KeyGetCount(), KTime(t), curve->Evaluate(warped), kFCurveInterpolationCubic,
                                  kFCurveTangentAuto, 0.0f, 0.0f, 0, 0.33333334f, 0.33333334f);
                };
                for (int64_t t = start.Get(); t < stop.Get(); t = AddClamped(t, period)) addKey(t);
                // The stop is keyed too, so that the baked curve ends where
                // the warped one does.
                addKey(stop.Get());
                curve->CopyFrom(*baked, true);
            }
        }
    }
    node->SetTimeWarp(nullptr);
}

void KDuzReaderDuz6::ApplyTimeWarps(KFCurveNode* node, KFCurveNode* inherited) {
    ApplyTimeWarpsImpl(node, inherited, 0);
}

// ---- take time offset ---------------------------------------------------------------

bool KDuzReaderDuz6::ApplyTakeTimeOffset(KDuzScene* scene, KDuzTakeDescription& take) {
    // A take that asks for no shift (as every take description does unless
    // an application sets one) costs no walk over the scene.
    if (scene == nullptr || (take.secondFlag && take.reserved == 0)) return true;
    const KString& takeName = take.importName.IsEmpty() ? take.name : take.importName;
    scene->SetCurrentTake(takeName.Buffer());
    auto rootCurveNode = [](KDuzNode* node) -> KFCurveNode* {
        KDuzTakeNode* current = node != nullptr ? node->GetCurrentTakeNode() : nullptr;
        return current != nullptr ? current->GetCurveNode() : nullptr;
    };
    int64_t shift = take.reserved;
    if (!take.secondFlag) {
        KTime start(KTime::kInfiniteTicks), stop(KTime::kMinusInfiniteTicks);
        bool animated = false;
        for (int i = 0; i < scene->GetNodeCount(); ++i)
            if (KFCurveNode* root = rootCurveNode(scene->GetNode(i)))
                animated = root->ExtendAnimationInterval(start, stop) || animated;
        // Nothing animated gives no earliest time and no shift.
        shift = animated ? AddClamped(take.reserved, -start.Get()) : 0;
    }
    if (shift != 0) {
        for (int i = 0; i < scene->GetNodeCount(); ++i) ShiftKeys(rootCurveNode(scene->GetNode(i)), shift, 0);
        take.localStart = KTime(AddClamped(take.localStart.Get(), shift));
        take.localStop = KTime(AddClamped(take.localStop.Get(), shift));
    }
    scene->SetCurrentTake("Default");
    return true;
}

// ---- TIFF media names ---------------------------------------------------------------

void KDuzReaderDuz6::UseTiffFileName(KString& fileName) {
    const char* name = fileName.Buffer();
    const char* separator = std::max(std::strrchr(name, '/'), std::strrchr(name, '\\'));
    const char* base = separator != nullptr ? separator + 1 : name;
    const char* dot = std::strrchr(base, '.');
    KString extension(dot != nullptr ? dot + 1 : "");
    extension = extension.Upper();
    if (extension == KString("TIF") || extension == KString("TIFF")) return;
    KFileRemove(fileName);
    // Only the extension changes: a dot in a folder name is not one.
    if (dot != nullptr) {
        KString renamed(name, static_cast<int>(dot - name));
        renamed += ".tif";
        fileName = renamed;
    }
}

}  // namespace duzsdk
