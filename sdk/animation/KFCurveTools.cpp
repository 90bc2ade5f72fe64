#include "sdk/animation/KFCurveTools.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "sdk/animation/KFCurveFilterGimbleKiller.h"
#include "sdk/animation/KFCurvePrivate.h"
#include "sdk/base/KSortedPtrMap.h"
#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeRotationOrder.h"

namespace duzsdk {

using kfcurve_detail::SaturateTicks;
using kfcurve_detail::SecondsBetween;

namespace {

struct CurveToolSettings {
    KTime defaultPeriod{1539538600};  // 1/30 s
    int rotationFilterChoice = 2;
    bool applyRotationFilterOnRead = true;
    double unrollSetting = 0.25;
    bool unrollFlag = false;
    KSortedPtrMap* timeWarps = nullptr;
    KFCurveRotationFilterHandler rotationFilter = &KFCurveRunRotationFilter;
};

CurveToolSettings& Settings()
{
    static CurveToolSettings settings;
    return settings;
}

// Refinement stops splitting below this span.
constexpr std::int64_t kMinRefineStep = 384884650;  // 1/120 s
constexpr int kMaxRefineDepth = 32;

void Identity(double* m)
{
    for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

// Nodes holding the curves of a tree, in channel order.
void CollectCurveNodes(KFCurveNode* node, std::vector<KFCurveNode*>& out, int depth)
{
    if (!node || depth > kFCurveNodeMaxDepth) return;
    if (node->GetCurve()) out.push_back(node);
    for (int i = 0; i < node->GetChildCount(); ++i) CollectCurveNodes(node->GetChild(i), out, depth + 1);
}

void FitTree(KFCurveNode* node, const KFCurveNode* reference, KTime offset, double tolerance, int depth)
{
    if (!node || !reference || depth > kFCurveNodeMaxDepth) return;
    if (KFCurve* curve = node->GetCurve()) {
        for (int i = 0; i < curve->KeyGetCount(); ++i)
            KFCurveFitKeyTangents(i, curve, reference->GetCurve(), offset, tolerance);
    }
    if (node->GetChildCount() != reference->GetChildCount()) return;
    for (int i = 0; i < node->GetChildCount(); ++i)
        FitTree(node->GetChild(i), reference->GetChild(i), offset, tolerance, depth + 1);
}

void RefineImpl(std::int64_t start, std::int64_t stop, KFCurve* curve, const KFCurve* reference, double tolerance,
                int steps, bool fit, KTime fitOffset, KFCurve* const* extraCurves,
                const KFCurve* const* extraReferences, int extraCount, int depth)
{
    if (!(start < stop) || !curve || !reference || steps <= 1 || depth > kMaxRefineDepth) return;
    const std::int64_t step = static_cast<std::int64_t>((static_cast<__int128>(stop) - start) / steps);
    if (step <= kMinRefineStep) return;
    std::int64_t previous = start;
    for (int b = 0; b <= steps - 2; ++b) {
        const std::int64_t t = SaturateTicks(static_cast<__int128>(start) + static_cast<__int128>(step) * (b + 1));
        const float want = reference->Evaluate(KTime(t));
        if (std::fabs(curve->Evaluate(KTime(t)) - want) > tolerance) {
            KFCurveKeyAddFitted(KTime(t), want, curve, reference, fit, fitOffset, tolerance);
            for (int e = 0; e < extraCount; ++e) {
                if (extraCurves[e] && extraReferences[e])
                    KFCurveKeyAddFitted(KTime(t), extraReferences[e]->Evaluate(KTime(t)), extraCurves[e],
                                        extraReferences[e], fit, fitOffset, tolerance);
            }
            RefineImpl(previous, t, curve, reference, tolerance, steps, fit, fitOffset, extraCurves, extraReferences,
                       extraCount, depth + 1);
            if (b == steps - 2)
                RefineImpl(t, SaturateTicks(static_cast<__int128>(t) + step), curve, reference, tolerance, steps, fit,
                           fitOffset, extraCurves, extraReferences, extraCount, depth + 1);
        }
        previous = t;
    }
}

void RefineTree(KFCurveNode* node, const KFCurveNode* reference, double tolerance, int steps, bool fit,
                KTime fitOffset, int depth)
{
    if (!node || !reference || depth > kFCurveNodeMaxDepth) return;
    KFCurve* curve = node->GetCurve();
    const KFCurve* ref = reference->GetCurve();
    if (curve && ref) {
        for (int k = 0; k + 1 < ref->KeyGetCount(); ++k)
            KFCurveRefineAgainst(ref->KeyGetTime(k), ref->KeyGetTime(k + 1), curve, ref, tolerance, steps, fit,
                                 fitOffset);
    }
    if (node->GetChildCount() != reference->GetChildCount()) return;
    for (int i = 0; i < node->GetChildCount(); ++i)
        RefineTree(node->GetChild(i), reference->GetChild(i), tolerance, steps, fit, fitOffset, depth + 1);
}

void AllKeysHaveImpl(const KFCurveNode* node, std::uint32_t mask, bool withLayers, bool& any, bool& all, int depth)
{
    if (!node || depth > kFCurveNodeMaxDepth) return;
    if (const KFCurve* curve = node->GetCurve()) {
        for (int i = 0; i < curve->KeyGetCount(); ++i) {
            any = true;
            if ((curve->KeyGetInterpolation(i) & mask) == 0) all = false;
        }
    }
    for (int i = 0; i < node->GetChildCount(); ++i) AllKeysHaveImpl(node->GetChild(i), mask, false, any, all, depth + 1);
    if (withLayers && node->GetLayer()) AllKeysHaveImpl(node->GetLayer(), mask, true, any, all, depth + 1);
}

// The chain's node with the given id; created when a layer with a greater id
// exists, else null.
KFCurveNode* FindOrInsertLayer(KFCurveNode* node, int layerId)
{
    if (KFCurveNode* found = node->FindLayer(layerId)) return found;
    bool greater = false;
    for (KFCurveNode* n = node; n; n = n->GetLayer()) greater = greater || n->GetLayerId() > layerId;
    if (!greater || !node->InsertLayer(layerId)) return nullptr;
    return node->FindLayer(layerId);
}

bool InList(const int* ids, int count, int id)
{
    return ids && std::find(ids, ids + count, id) != ids + count;
}

}  // namespace

// ---------------------------------------------------------------------------
// Fitting and refinement

void KFCurveFitKeyTangents(int index, KFCurve* curve, const KFCurve* reference, KTime offset, double tolerance)
{
    if (!curve || !reference || offset.Get() <= 0) return;
    const int n = curve->KeyGetCount();
    if (index < 0 || index >= n) return;
    const std::int64_t t = curve->KeyGetTime(index).Get();
    const double v = curve->KeyGetValue(index);
    const double span = SecondsBetween(0, offset.Get());
    double left = 0.0, right = 0.0;
    bool differs = false;
    if (index > 0) {
        left = (v - reference->Evaluate(KTime(SaturateTicks(static_cast<__int128>(t) - offset.Get())))) / span;
        differs = differs || std::fabs(left - curve->ComputeLeftDerivative(index)) > tolerance;
    }
    if (index < n - 1) {
        right = (reference->Evaluate(KTime(SaturateTicks(static_cast<__int128>(t) + offset.Get()))) - v) / span;
        differs = differs || std::fabs(right - curve->ComputeRightDerivative(index)) > tolerance;
    }
    if (!differs) return;
    curve->BeginKeyModify();
    curve->KeySetTangentMode(index, kFCurveTangentUserBreak);
    curve->KeySetLeftDerivative(index, static_cast<float>(left));
    curve->KeySetRightDerivative(index, static_cast<float>(right));
    curve->EndKeyModify();
}

void KFCurveNodeFitKeyTangents(KFCurveNode* node, const KFCurveNode* reference, KTime offset, double tolerance)
{
    FitTree(node, reference, offset, tolerance, 0);
}

int KFCurveKeyAddFitted(KTime time, float value, KFCurve* curve, const KFCurve* reference, bool fit, KTime offset,
                        double tolerance)
{
    if (!curve) return -1;
    const int index = curve->KeyInsert(time);
    curve->KeySetValue(index, value);
    if (fit) KFCurveFitKeyTangents(index, curve, reference, offset, tolerance);
    return index;
}

void KFCurveRefineAgainst(KTime start, KTime stop, KFCurve* curve, const KFCurve* reference, double tolerance,
                          int steps, bool fit, KTime fitOffset, KFCurve* const* extraCurves,
                          const KFCurve* const* extraReferences, int extraCount)
{
    if (!extraCurves || !extraReferences) extraCount = 0;
    RefineImpl(start.Get(), stop.Get(), curve, reference, tolerance, steps, fit, fitOffset, extraCurves,
               extraReferences, std::max(extraCount, 0), 0);
}

void KFCurveNodeRefineAgainst(KFCurveNode* node, const KFCurveNode* reference, double tolerance, int steps,
                              bool fit, KTime fitOffset)
{
    RefineTree(node, reference, tolerance, steps, fit, fitOffset, 0);
}

// ---------------------------------------------------------------------------
// Time-warp registry

void KFCurveSetTimeWarpSet(KSortedPtrMap* set)
{
    Settings().timeWarps = set;
}

KSortedPtrMap* KFCurveGetTimeWarpSet()
{
    return Settings().timeWarps;
}

KFCurveNode* KFCurveFindTimeWarp(int id)
{
    KSortedPtrMap* set = Settings().timeWarps;
    if (!set) return nullptr;
    return static_cast<KFCurveNode*>(set->Find(static_cast<uintptr_t>(static_cast<std::uint32_t>(id))));
}

bool KFCurveGetTimeWarpId(int* id, const KFCurveNode* node)
{
    KSortedPtrMap* set = Settings().timeWarps;
    if (!node || !set) return false;
    for (int i = 0; i < set->GetCount(); ++i) {
        uintptr_t key = 0;
        if (set->GetAt(i, &key) == node) {
            if (id) *id = static_cast<int>(static_cast<std::uint32_t>(key));
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// Layer combination

int KFCurveNodeLayerChannelCount(const KFCurveNode* layer)
{
    if (!layer) return 0;
    switch (layer->GetLayerType()) {
    case eCurveNodeLayerRotation: return 3;
    case eCurveNodeLayerQuaternion: return 4;
    default: return (layer->GetCurve() ? 1 : 0) + layer->GetChildCount();
    }
}

void KFCurveNodeLayerCombine(const KFCurveNode* layer, double* out, const double* accumulated,
                             const double* layerValues)
{
    if (!layer) return;
    const int n = KFCurveNodeLayerChannelCount(layer);
    switch (layer->GetLayerType()) {
    case eCurveNodeLayerPlain:
    case eCurveNodeLayerTranslation:
        for (int i = 0; i < n; ++i) out[i] = accumulated[i] + layerValues[i];
        break;
    case eCurveNodeLayerScaling:
        for (int i = 0; i < n; ++i) out[i] = accumulated[i] * layerValues[i];
        break;
    case eCurveNodeLayerRotation: {
        // As in evaluation: the layer's rotation on the left.
        const KgeRotationOrder order(layer->GetRotationOrder());
        double a[16], l[16], product[16];
        Identity(a);
        Identity(l);
        Identity(product);
        order.EulerToMatrix(a, accumulated);
        order.EulerToMatrix(l, layerValues);
        KgeMatrixMultiply3x3(product, a, l);
        order.MatrixToEuler(out, product);
        break;
    }
    case eCurveNodeLayerQuaternion: {
        double q[4];
        KgeQuaternionMultiply(q, layerValues, accumulated);
        std::copy(q, q + 4, out);
        break;
    }
    default:
        break;
    }
}

void KFCurveNodeLayerInverse(const KFCurveNode* layer, double* out, const double* values)
{
    if (!layer) return;
    const int n = KFCurveNodeLayerChannelCount(layer);
    switch (layer->GetLayerType()) {
    case eCurveNodeLayerPlain:
    case eCurveNodeLayerTranslation:
        for (int i = 0; i < n; ++i) out[i] = -values[i];
        break;
    case eCurveNodeLayerScaling:
        // A zero factor has no reciprocal; it is left as it is.
        for (int i = 0; i < n; ++i) out[i] = values[i] != 0.0 ? 1.0 / values[i] : values[i];
        break;
    case eCurveNodeLayerRotation: {
        const KgeRotationOrder order(layer->GetRotationOrder());
        double m[16], inverse[16];
        Identity(m);
        Identity(inverse);
        order.EulerToMatrix(m, values);
        KgeMatrixTranspose3x3(inverse, m);
        order.MatrixToEuler(out, inverse);
        break;
    }
    case eCurveNodeLayerQuaternion:
        out[0] = -values[0];
        out[1] = -values[1];
        out[2] = -values[2];
        out[3] = values[3];
        break;
    default:
        break;
    }
}

bool KFCurveNodeAllKeysHave(const KFCurveNode* node, std::uint32_t interpolationMask, bool withLayers)
{
    bool any = false, all = true;
    AllKeysHaveImpl(node, interpolationMask, withLayers, any, all, 0);
    return any && all;
}

void KFCurveNodeEvaluateLayersToDepth(KFCurveNode* node, double* values, KTime time, const int* layerIds,
                                      int layerIdCount, int* indexHint)
{
    if (!node) return;
    int position = 0;
    int guard = 0;
    for (KFCurveNode* n = node; n && guard < 100000; n = n->GetLayer(), ++guard) {
        if (layerIds) {
            if (position >= layerIdCount) break;
            const int wanted = layerIds[position];
            if (n->GetLayerId() < wanted) continue;
            if (n->GetLayerId() > wanted) break;
            ++position;
        }
        std::vector<double> layerValues(static_cast<size_t>(std::max(n->GetValueCount(), 4) + 4), 0.0);
        node->EvaluateLayer(layerValues.data(), time, n->GetLayerId(), indexHint);
        KFCurveNodeLayerCombine(n, values, values, layerValues.data());
    }
}

void KFCurveNodeEvaluateLayerLists(KFCurveNode* node, double* values, KTime time, const int* addedIds,
                                   int addedCount, const int* removedIds, int removedCount, int* indexHint)
{
    if (!node || !values) return;
    if (!addedIds) addedCount = 0;
    if (!removedIds) removedCount = 0;
    int guard = 0;
    for (KFCurveNode* n = node; n && guard < 100000; n = n->GetLayer(), ++guard) {
        const bool add = InList(addedIds, addedCount, n->GetLayerId());
        const bool remove = InList(removedIds, removedCount, n->GetLayerId());
        if (add == remove) continue;   // neither, or both: no change
        std::vector<double> layerValues(static_cast<size_t>(std::max(n->GetValueCount(), 4) + 4), 0.0);
        node->EvaluateLayer(layerValues.data(), time, n->GetLayerId(), indexHint);
        if (remove) KFCurveNodeLayerInverse(n, layerValues.data(), layerValues.data());
        KFCurveNodeLayerCombine(n, values, values, layerValues.data());
    }
}

// ---------------------------------------------------------------------------
// Layer merge

namespace {

// Every key time of the chain's channel curves within [start, stop], sorted
// and once; layers with more than four channels are not looked at.
std::vector<std::int64_t> ChainKeyTimes(KFCurveNode* node, std::int64_t start, std::int64_t stop)
{
    std::vector<std::int64_t> times;
    int guard = 0;
    for (KFCurveNode* n = node; n && guard < 100000; n = n->GetLayer(), ++guard) {
        std::vector<KFCurveNode*> channels;
        CollectCurveNodes(n, channels, 0);
        if (channels.size() > 4) continue;
        for (KFCurveNode* c : channels) {
            const KFCurve* curve = c->GetCurve();
            for (int k = 0; k < curve->KeyGetCount(); ++k) {
                const std::int64_t t = curve->KeyRecord(k).mTime;
                if (t >= start && t <= stop) times.push_back(t);
            }
        }
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

}  // namespace

void KFCurveNodeMergeConstantKeys(KFCurveNode* node, KFCurveNode* target, KTime start, KTime stop)
{
    if (!node || !target) return;
    std::vector<KFCurveNode*> targets;
    CollectCurveNodes(target, targets, 0);
    const std::vector<std::int64_t> times = ChainKeyTimes(node, start.Get(), stop.Get());
    const int valueCount = std::max({node->GetValueCount(), KFCurveNodeLayerChannelCount(node), 4}) + 4;
    std::vector<double> values(static_cast<size_t>(valueCount), 0.0);
    KTime later;
    later.SetSecondDouble(1.0 / 120.0);
    for (std::int64_t t : times) {
        // Keys at t of the chain: do they mix "next" and "standard" constants?
        bool next = false, standard = false;
        for (KFCurveNode* n = node; n; n = n->GetLayer()) {
            std::vector<KFCurveNode*> channels;
            CollectCurveNodes(n, channels, 0);
            for (KFCurveNode* c : channels) {
                const KFCurve* curve = c->GetCurve();
                const double position = curve->KeyFind(KTime(t));
                if (position < 0) continue;
                const int k = static_cast<int>(position);
                if (curve->KeyRecord(k).mTime != t) continue;
                (curve->KeyGetConstantMode(k) == kFCurveConstantNext ? next : standard) = true;
            }
        }
        const KTime when = next && standard ? KTime(t).Add(later) : KTime(t);
        std::fill(values.begin(), values.end(), 0.0);
        node->GetNeutralValues(values.data());
        KFCurveNodeEvaluateLayersToDepth(node, values.data(), when, nullptr, 0);
        for (size_t c = 0; c < targets.size(); ++c) {
            KFCurve* curve = targets[c]->GetCurve();
            curve->KeySet(curve->KeyGetCount(), KTime(t), static_cast<float>(values[c]), kFCurveInterpolationConstant,
                          0);
        }
    }
}

bool KFCurveNodeMergeLayers(KFCurveNode* node, const int* layerIds, int layerIdCount, int layerId, int flags,
                            KTime start, KTime stop, KTime period, KFCurveNode* destination,
                            KFCurveNode* reference, bool useTimeWarp, const KFCurveMergeOptions* options)
{
    // A period of zero or less would never reach the stop.
    if (!node || period.Get() <= 0) return false;
    if (!layerIds) layerIdCount = 0;
    KFCurveNode* copy = node->Clone(false, false, false, node->GetLayerId());
    if (!copy) return false;
    copy->CreateCurves();

    const int valueCount = std::max({node->GetValueCount(), KFCurveNodeLayerChannelCount(node), 4}) + 4;
    std::vector<double> values(static_cast<size_t>(valueCount), 0.0);
    const bool hasChannels = copy->GetChildCount() > 0;
    // With a reference, the layers to add to and remove from its values.
    std::vector<int> added, removed;
    if (reference) {
        const int referenceId = reference->GetLayerId();
        bool referenceInChain = false;
        int guard = 0;
        for (KFCurveNode* n = node; n && guard < 100000; n = n->GetLayer(), ++guard) {
            const int id = n->GetLayerId();
            if (id == referenceId) {
                referenceInChain = true;
                continue;
            }
            if (!layerIds || InList(layerIds, layerIdCount, id)) added.push_back(id);
        }
        if (referenceInChain && layerIds && !InList(layerIds, layerIdCount, referenceId)) removed.push_back(referenceId);
    }
    auto sampleInto = [&](KFCurveNode* target, std::int64_t t) {
        KTime evalTime(t);
        if (useTimeWarp && node->GetTimeWarp()) {
            std::vector<double> warp(static_cast<size_t>(node->GetTimeWarp()->GetValueCount() + 1), 0.0);
            node->GetTimeWarp()->GatherValuesAt(warp.data(), KTime(t));
            evalTime.SetSecondDouble(warp[0]);
        }
        std::fill(values.begin(), values.end(), 0.0);
        if (!reference) {
            node->GetNeutralValues(values.data());
            KFCurveNodeEvaluateLayersToDepth(node, values.data(), evalTime, layerIds, layerIdCount);
        } else {
            reference->EvaluateLayer(values.data(), evalTime, reference->GetLayerId());
            KFCurveNodeEvaluateLayerLists(node, values.data(), evalTime, added.data(), static_cast<int>(added.size()),
                                          removed.data(), static_cast<int>(removed.size()));
        }
        if (hasChannels) {
            if (target->GetLayerType() == eCurveNodeLayerRotation && !reference && target->GetChildCount() == 3)
                target->UnrollRotationValues(values.data(), values.data(), KTime(t));
            target->KeyAppend(KTime(t), values.data(), false);
        } else if (target->GetCurve()) {
            target->GetCurve()->KeyAppendFast(KTime(t), static_cast<float>(values[0]));
        }
    };

    const bool constantMerge = options && options->mergeConstant && !layerIds &&
                               KFCurveNodeAllKeysHave(node, kFCurveInterpolationConstant, true);
    // With options the layers' own key times are sampled too, and a second
    // copy gets keys at those times only.
    KFCurveNode* keyed = nullptr;
    std::vector<std::int64_t> keyTimes, extra;
    if (options && !constantMerge) {
        keyTimes = ChainKeyTimes(node, start.Get(), stop.Get());
        keyed = node->Clone(false, false, false, node->GetLayerId());
        if (keyed) keyed->CreateCurves();
        const std::int64_t offset = options->timeOffset.Get();
        for (std::int64_t k : keyTimes) {
            for (std::int64_t t : {k - offset, k, k + offset}) {
                if (t >= start.Get() && t <= stop.Get()) extra.push_back(t);
            }
        }
        std::sort(extra.begin(), extra.end());
        extra.erase(std::unique(extra.begin(), extra.end()), extra.end());
    }
    std::size_t nextExtra = 0;
    if (constantMerge) {
        KFCurveNodeMergeConstantKeys(node, copy, start, stop);
    } else {
        // The first sample after the stop is still taken; nothing when start lies after stop.
        for (std::int64_t t = start.Get(); start.Get() <= stop.Get();) {
            for (; nextExtra < extra.size() && extra[nextExtra] <= t; ++nextExtra) {
                if (extra[nextExtra] < t) sampleInto(copy, extra[nextExtra]);
            }
            sampleInto(copy, t);
            if (t > stop.Get()) break;
            const __int128 next = static_cast<__int128>(t) + period.Get();
            if (next > INT64_MAX) break;
            t = static_cast<std::int64_t>(next);
        }
        for (; nextExtra < extra.size(); ++nextExtra) sampleInto(copy, extra[nextExtra]);
    }
    if (keyed) {
        for (std::int64_t k : keyTimes) sampleInto(keyed, k);
        if (options->fitTangents) KFCurveNodeFitKeyTangents(keyed, copy, options->timeOffset, options->tolerance);
        if (options->refine) {
            KFCurveNodeRefineAgainst(keyed, copy, options->tolerance, options->refineSteps, options->fitTangents,
                                     options->timeOffset);
        }
        if (options->keyTimesResult) std::swap(keyed, copy);
    }
    delete keyed;

    // Detach the merged curves, one per channel.
    std::vector<KFCurveNode*> holders;
    CollectCurveNodes(copy, holders, 0);
    std::vector<KFCurve*> merged;
    for (KFCurveNode* holder : holders) merged.push_back(holder->SetCurve(nullptr, false));

    const bool skipGiven = (flags & (kFCurveMergeReplaceRange | kFCurveMergeReplaceCurves)) != 0;
    if (flags & kFCurveMergeNeutralOthers) {
        for (KFCurveNode* n = node; n; n = n->GetLayer()) {
            const int id = n->GetLayerId();
            if (layerIds ? !InList(layerIds, layerIdCount, id) : (skipGiven && id == layerId)) continue;
            std::vector<KFCurveNode*> channels;
            CollectCurveNodes(n, channels, 0);
            std::vector<double> neutral(static_cast<size_t>(std::max(n->GetNeutralValues(nullptr), 1)), 0.0);
            n->GetNeutralValues(neutral.data());
            for (size_t k = 0; k < channels.size(); ++k) {
                KFCurve* flat = KFCurveCreate();
                if (!flat) continue;
                flat->SetDefaultValue(static_cast<float>(k < neutral.size() ? neutral[k] : 0.0));
                channels[k]->GetCurve()->Replace(*flat, start, stop, false, true, KTime(0));
                delete flat;
            }
        }
    } else if (flags & kFCurveMergeFlattenOthers) {
        KFCurveNode* previous = node;
        for (KFCurveNode* n = node->GetLayer(); n;) {
            KFCurveNode* next = n->GetLayer();
            const int id = n->GetLayerId();
            const bool listed = layerIds ? InList(layerIds, layerIdCount, id) : true;
            if (listed && !((flags & kFCurveMergeReplaceRange) && id == layerId)) {
                previous->SetLayer(next, false);
                n->SetLayer(nullptr, false);
                delete n;
            } else {
                previous = n;
            }
            n = next;
        }
        if (InList(layerIds, layerIdCount, 0)) {
            std::vector<KFCurveNode*> channels;
            CollectCurveNodes(node, channels, 0);
            for (KFCurveNode* c : channels) c->GetCurve()->KeyClear();
        }
    }

    bool used = false;
    if (destination) {
        std::vector<KFCurveNode*> targets;
        CollectCurveNodes(destination, targets, 0);
        for (size_t k = 0; k < targets.size() && k < merged.size(); ++k) {
            targets[k]->SetCurve(merged[k], true);
            merged[k] = nullptr;
        }
        used = true;
    }
    if (!used && (flags & (kFCurveMergeReplaceRange | kFCurveMergeReplaceCurves))) {
        if (KFCurveNode* target = FindOrInsertLayer(node, layerId)) {
            std::vector<KFCurveNode*> targets;
            CollectCurveNodes(target, targets, 0);
            if (flags & kFCurveMergeReplaceRange) {
                KFCurveNode* holder = target->Clone(false, false, false, -1);
                if (holder) {
                    std::vector<KFCurveNode*> slots;
                    holder->CreateCurves();
                    CollectCurveNodes(holder, slots, 0);
                    for (size_t k = 0; k < slots.size() && k < merged.size(); ++k) {
                        slots[k]->SetCurve(merged[k], true);
                        merged[k] = nullptr;
                    }
                    target->ReplaceRange(holder, start, stop, false, true, KTime(0));
                    delete holder;
                }
            } else {
                for (size_t k = 0; k < targets.size() && k < merged.size(); ++k) {
                    KFCurve* old = targets[k]->GetCurve();
                    merged[k]->SetColor(old->GetColor());
                    merged[k]->SetUserObject(old->GetUserObject());
                    targets[k]->SetCurve(merged[k], true);
                    merged[k] = nullptr;
                }
            }
        }
    }
    for (KFCurve* c : merged) delete c;
    delete copy;
    return true;
}

// ---------------------------------------------------------------------------
// Settings

KTime KFCurveGetDefaultPeriod() { return Settings().defaultPeriod; }
void KFCurveSetDefaultPeriod(KTime period) { Settings().defaultPeriod = period; }
int KFCurveGetRotationFilterChoice() { return Settings().rotationFilterChoice; }
void KFCurveSetRotationFilterChoice(int choice) { Settings().rotationFilterChoice = choice; }
bool KFCurveGetApplyRotationFilterOnRead() { return Settings().applyRotationFilterOnRead; }
void KFCurveSetApplyRotationFilterOnRead(bool on) { Settings().applyRotationFilterOnRead = on; }
double KFCurveGetUnrollSetting() { return Settings().unrollSetting; }
void KFCurveSetUnrollSetting(double value) { Settings().unrollSetting = value; }
bool KFCurveGetUnrollFlag() { return Settings().unrollFlag; }
void KFCurveSetUnrollFlag(bool on) { Settings().unrollFlag = on; }

void KFCurveSetRotationFilterHandler(KFCurveRotationFilterHandler handler)
{
    // Null puts the real filters back.
    Settings().rotationFilter = handler ? handler : &KFCurveRunRotationFilter;
}

bool KFCurveApplyRotationFilter(KFCurveNode* node, KTime start, KTime stop)
{
    const int choice = Settings().rotationFilterChoice;
    if (!node || (choice != 1 && choice != 2) || !Settings().rotationFilter) return false;
    return Settings().rotationFilter(choice, node, start, stop);
}

}  // namespace duzsdk
