#pragma once
// Free tools over curves and curve-node trees: tangent fitting against a
// reference, adaptive refinement, the time-warp registry, layer combination
// and the merge of a layer chain into one set of curves.

#include <cstdint>

#include "sdk/animation/KFCurveNode.h"

namespace duzsdk {

class KSortedPtrMap;

// --- tangent fitting and refinement -------------------------------------------

// Makes key `index` user + break with the finite-difference slopes of the
// reference when they differ from its own by more than the tolerance.
void KFCurveFitKeyTangents(int index, KFCurve* curve, const KFCurve* reference, KTime offset, double tolerance);
// The same for every key of every curve of two trees of equal shape.
void KFCurveNodeFitKeyTangents(KFCurveNode* node, const KFCurveNode* reference, KTime offset, double tolerance);
// Inserts a key keeping the shape, sets its value and optionally fits it.
int KFCurveKeyAddFitted(KTime time, float value, KFCurve* curve, const KFCurve* reference, bool fit, KTime offset,
                        double tolerance);
// Adds fitted keys where the curve strays from the reference by more than the
// tolerance, refining the span around each such sample. Extra curve pairs get
// keys at the same times.
void KFCurveRefineAgainst(KTime start, KTime stop, KFCurve* curve, const KFCurve* reference, double tolerance,
                          int steps, bool fit, KTime fitOffset, KFCurve* const* extraCurves = nullptr,
                          const KFCurve* const* extraReferences = nullptr, int extraCount = 0);
// KFCurveRefineAgainst over every key interval of the reference curves.
void KFCurveNodeRefineAgainst(KFCurveNode* node, const KFCurveNode* reference, double tolerance, int steps,
                              bool fit, KTime fitOffset);

// --- time-warp registry ----------------------------------------------------------

// The set of time-warp curve nodes keyed by their integer id; not owned.
void KFCurveSetTimeWarpSet(KSortedPtrMap* set);
KSortedPtrMap* KFCurveGetTimeWarpSet();
KFCurveNode* KFCurveFindTimeWarp(int id);
bool KFCurveGetTimeWarpId(int* id, const KFCurveNode* node);

// --- layers --------------------------------------------------------------------------

// Channels a layer node combines: 3 for rotations, 4 for quaternions, else
// one per own curve and child.
int KFCurveNodeLayerChannelCount(const KFCurveNode* layer);
void KFCurveNodeLayerCombine(const KFCurveNode* layer, double* out, const double* accumulated,
                             const double* layerValues);
void KFCurveNodeLayerInverse(const KFCurveNode* layer, double* out, const double* values);
bool KFCurveNodeAllKeysHave(const KFCurveNode* node, std::uint32_t interpolationMask, bool withLayers);
// Combines the chain (or the listed layers, ids ascending) into `values`.
void KFCurveNodeEvaluateLayersToDepth(KFCurveNode* node, double* values, KTime time, const int* layerIds,
                                      int layerIdCount, int* indexHint = nullptr);
// Walks the chain once: each layer whose id is in the added list is combined
// into `values` by its layer type, each layer in the removed list is taken
// out through its type's inverse. Either list may be null.
void KFCurveNodeEvaluateLayerLists(KFCurveNode* node, double* values, KTime time, const int* addedIds,
                                   int addedCount, const int* removedIds, int removedCount,
                                   int* indexHint = nullptr);

enum : int {
    kFCurveMergeFlattenOthers = 0x2,
    kFCurveMergeNeutralOthers = 0x4,
    kFCurveMergeReplaceRange = 0x8,
    kFCurveMergeReplaceCurves = 0x10,
};

// How a merge builds its curves beyond plain sampling.
struct KFCurveMergeOptions {
    // A chain whose keys are all constant merges into constant keys at its
    // own key times instead of being sampled.
    bool mergeConstant = false;
    // Keys at the layers' own key times get the slopes of the sampled result
    // (finite differences over timeOffset) where they differ by more than the
    // tolerance.
    bool fitTangents = false;
    double tolerance = 0.001;
    KTime timeOffset{0};
    // Keys are added where the key-time curves stray from the sampled result.
    bool refine = false;
    int refineSteps = 4;
    // The result is the curves with keys at the layers' key times (fitted and
    // refined), not the sampled ones.
    bool keyTimesResult = false;
};

// Samples the combined value of a node's layer chain into new curves and puts
// them back by the flags. False (nothing changed) for a period of zero or less.
// With a reference node (a layer standing for the chain's layer of its id)
// each sample starts from the reference's own values; the other taking-part
// layers of the chain are added and, when a list leaves the reference's id
// out, the chain's layer of that id is removed, so the result is the
// combination of the taking-part layers.
bool KFCurveNodeMergeLayers(KFCurveNode* node, const int* layerIds, int layerIdCount, int layerId, int flags,
                            KTime start, KTime stop, KTime period, KFCurveNode* destination,
                            KFCurveNode* reference, bool useTimeWarp, const KFCurveMergeOptions* options = nullptr);
// Constant keys at every key time of the chain within [start, stop], valued
// by the combined chain, into the curves of `target` (a keyless structural
// copy of the node). Where the chain's keys at a time mix the two constant
// modes, the value 1/120 s later is taken.
void KFCurveNodeMergeConstantKeys(KFCurveNode* node, KFCurveNode* target, KTime start, KTime stop);

// --- settings ------------------------------------------------------------------------

KTime KFCurveGetDefaultPeriod();
void KFCurveSetDefaultPeriod(KTime period);
// 1 gimbal-lock killer, 2 unroll, other none.
int KFCurveGetRotationFilterChoice();
void KFCurveSetRotationFilterChoice(int choice);
// The switch the DUZ readers test (it gates the constant-key reducer on read).
bool KFCurveGetApplyRotationFilterOnRead();
void KFCurveSetApplyRotationFilterOnRead(bool on);
double KFCurveGetUnrollSetting();
void KFCurveSetUnrollSetting(double value);
bool KFCurveGetUnrollFlag();
void KFCurveSetUnrollFlag(bool on);

// The filters live above this file; they plug their implementation in here.
using KFCurveRotationFilterHandler = bool (*)(int choice, KFCurveNode* node, KTime start, KTime stop);
void KFCurveSetRotationFilterHandler(KFCurveRotationFilterHandler handler);
// Runs the chosen rotation clean-up filter; false when none is chosen or plugged in.
bool KFCurveApplyRotationFilter(KFCurveNode* node, KTime start, KTime stop);

}  // namespace duzsdk
