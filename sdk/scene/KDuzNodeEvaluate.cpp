// Pivot sets and the evaluation of a node's local and global transforms.
#include "sdk/scene/KDuzNode.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KgeMath.h"
#include "sdk/scene/KDuzNodeInternal.h"
#include "sdk/scene/KDuzNodeLimits.h"

#include <atomic>

namespace duzsdk {

namespace {

// Change count of every node's transform inputs. A cache filled at an
// older count is stale: a property, pivot, limit, inherit type or parent
// changed somewhere, possibly above this node.
std::atomic<unsigned long long> gTransformEpoch{1};

bool NonZero(const KgeTVector& v) { return v[0] != 0.0 || v[1] != 0.0 || v[2] != 0.0; }

KgeTVector Xyz1(const KgeTVector& v) { return KgeTVector(v[0], v[1], v[2], 1.0); }

void SetFlag(int& flags, int bit, bool on) { flags = on ? (flags | bit) : (flags & ~bit); }

const char* const kChannelPaths[3] = {"T", "R", "S"};

// Longer parent chains than this are not followed (a damaged graph only).
constexpr size_t kMaxChain = size_t{1} << 24;

}  // namespace

void KDuzNode::TouchTransforms() { gTransformEpoch.fetch_add(1, std::memory_order_relaxed); }

void KDuzNode::DropTransformCaches() {
    if (mCaches == nullptr) return;
    mCaches->byDefault.Drop();
    mCaches->atTime.Drop();
}

KDuzNodeCaches& KDuzNode::Caches() {
    if (mCaches == nullptr) mCaches = std::make_unique<KDuzNodeCaches>();
    return *mCaches;
}

const KDuzDecomposedTransform& KDuzNode::GetDecomposedTransform(int index) const {
    static const KDuzDecomposedTransform kNone;
    return mCaches != nullptr ? mCaches->decomposed[index == 0 ? 0 : 1] : kNone;
}

void KDuzNode::ValidateCache(KDuzNodeTransformCache& cache) {
    const unsigned long long epoch = gTransformEpoch.load(std::memory_order_relaxed);
    if (cache.epoch != epoch) {
        cache.Drop();
        cache.epoch = epoch;
    }
}

KDuzNodeTransformEvaluation& KDuzNode::GetTransformEvaluationRecord() { return mInternal->evaluation; }

const KDuzNodeTransformEvaluation& KDuzNode::GetTransformEvaluationRecord() const {
    return mInternal->evaluation;
}

KDuzNodePivotSet* KDuzNode::PivotSet(int set) {
    if (mInternal == nullptr || set < 0 || set > 1) return nullptr;
    return set == 0 ? &mInternal->pivotSet0 : &mInternal->MutablePivotSet1();
}

const KDuzNodePivotSet* KDuzNode::GetPivotSet(int set) const {
    if (mInternal == nullptr || set < 0 || set > 1) return nullptr;
    return set == 0 ? &mInternal->pivotSet0 : &mInternal->PivotSet1();
}

// ---- pivot-set setters ---------------------------------------------------------------

#define DUZ_PIVOT_GETTER(Name, field)                                      \
    KgeTVector KDuzNode::Get##Name(int set) const {                        \
        const KDuzNodePivotSet* pivots = GetPivotSet(set);                 \
        return pivots != nullptr ? pivots->field : KgeTVector(0, 0, 0, 1); \
    }

DUZ_PIVOT_GETTER(RotationOffset, rotationOffset)
DUZ_PIVOT_GETTER(RotationPivot, rotationPivot)
DUZ_PIVOT_GETTER(ScalingOffset, scalingOffset)
DUZ_PIVOT_GETTER(ScalingPivot, scalingPivot)
DUZ_PIVOT_GETTER(PreRotation, preRotation)
DUZ_PIVOT_GETTER(PostRotation, postRotation)
DUZ_PIVOT_GETTER(GeometricTranslation, geometricTranslation)
DUZ_PIVOT_GETTER(GeometricRotation, geometricRotation)
DUZ_PIVOT_GETTER(GeometricScaling, geometricScaling)
#undef DUZ_PIVOT_GETTER

void KDuzNode::SetRotationOffset(int set, const KgeTVector& v) {
    KDuzNodePivotSet* pivots = PivotSet(set);
    if (pivots == nullptr) return;
    pivots->rotationOffset = Xyz1(v);
    if (set == 0) {
        KDuzNodeTransformEvaluation& e = mInternal->evaluation;
        e.rotationOffset = Xyz1(v);
        SetFlag(e.flags, kDuzEvalRotationOffset, NonZero(v));
    }
    TouchTransforms();
}

void KDuzNode::SetRotationPivot(int set, const KgeTVector& v) {
    KDuzNodePivotSet* pivots = PivotSet(set);
    if (pivots == nullptr) return;
    pivots->rotationPivot = Xyz1(v);
    if (set == 0) {
        KDuzNodeTransformEvaluation& e = mInternal->evaluation;
        e.rotationPivot = Xyz1(v);
        SetFlag(e.flags, kDuzEvalRotationPivot, NonZero(v));
    }
    TouchTransforms();
}

void KDuzNode::SetScalingOffset(int set, const KgeTVector& v) {
    KDuzNodePivotSet* pivots = PivotSet(set);
    if (pivots == nullptr) return;
    pivots->scalingOffset = Xyz1(v);
    if (set == 0) {
        KDuzNodeTransformEvaluation& e = mInternal->evaluation;
        e.scalingOffset = Xyz1(v);
        SetFlag(e.flags, kDuzEvalScalingOffset, NonZero(v));
    }
    TouchTransforms();
}

void KDuzNode::SetScalingPivot(int set, const KgeTVector& v) {
    KDuzNodePivotSet* pivots = PivotSet(set);
    if (pivots == nullptr) return;
    pivots->scalingPivot = Xyz1(v);
    if (set == 0) {
        KDuzNodeTransformEvaluation& e = mInternal->evaluation;
        e.scalingPivot = Xyz1(v);
        SetFlag(e.flags, kDuzEvalScalingPivot, NonZero(v));
    }
    TouchTransforms();
}

void KDuzNode::SetPreRotation(int set, const KgeTVector& v) {
    KDuzNodePivotSet* pivots = PivotSet(set);
    if (pivots == nullptr) return;
    pivots->preRotation = Xyz1(v);
    if (set == 0) {
        KDuzNodePrePostRotation& prePost = mInternal->evaluation.prePost;
        SetFlag(prePost.flags, 1, NonZero(v));
        prePost.preMatrix.SetIdentity();
        KgeEulerXYZToMatrix(prePost.preMatrix.Data(), v[0], v[1], v[2]);
    }
    TouchTransforms();
}

void KDuzNode::SetPostRotation(int set, const KgeTVector& v) {
    KDuzNodePivotSet* pivots = PivotSet(set);
    if (pivots == nullptr) return;
    pivots->postRotation = Xyz1(v);
    if (set == 0) {
        KDuzNodePrePostRotation& prePost = mInternal->evaluation.prePost;
        SetFlag(prePost.flags, 2, NonZero(v));
        prePost.postMatrix.SetIdentity();
        KgeEulerXYZToMatrix(prePost.postMatrix.Data(), v[0], v[1], v[2]);
    }
    TouchTransforms();
}

void KDuzNode::SetGeometricTranslation(int set, const KgeTVector& v) {
    if (KDuzNodePivotSet* pivots = PivotSet(set)) pivots->geometricTranslation = Xyz1(v);
}

void KDuzNode::SetGeometricRotation(int set, const KgeTVector& v) {
    if (KDuzNodePivotSet* pivots = PivotSet(set)) pivots->geometricRotation = Xyz1(v);
}

void KDuzNode::SetGeometricScaling(int set, const KgeTVector& v) {
    if (KDuzNodePivotSet* pivots = PivotSet(set)) pivots->geometricScaling = Xyz1(v);
}

void KDuzNode::SetRotationOrder(int set, int order) {
    KDuzNodePivotSet* pivots = PivotSet(set);
    if (pivots == nullptr) return;
    // Orders come from files: one outside the known orders is taken as XYZ
    // (twice a huge order would also overflow the index computed below).
    if (order < eEulerXYZ || order > eSphericXYZ) order = eEulerXYZ;
    pivots->rotationOrder = order;
    if (set == 0) mInternal->evaluation.prePost.rotationOrder.SetOrderIndex(2 * order);
    TouchTransforms();
}

void KDuzNode::GetRotationOrder(int set, int& order) const {
    const KDuzNodePivotSet* pivots = GetPivotSet(set);
    order = pivots != nullptr ? pivots->rotationOrder : 0;
}

void KDuzNode::SetRotationSpaceForLimitOnly(int set, bool on) {
    KDuzNodePivotSet* pivots = PivotSet(set);
    if (pivots == nullptr) return;
    pivots->rotationSpaceForLimitOnly = on;
    if (set == 0) mInternal->evaluation.rotationSpaceForLimitOnly = on;
    TouchTransforms();
}

bool KDuzNode::GetRotationSpaceForLimitOnly(int set) const {
    const KDuzNodePivotSet* pivots = GetPivotSet(set);
    return pivots != nullptr && pivots->rotationSpaceForLimitOnly;
}

void KDuzNode::SetQuaternionInterpolate(int set, bool on) {
    if (KDuzNodePivotSet* pivots = PivotSet(set)) pivots->quaternionInterpolate = on;
}

bool KDuzNode::GetQuaternionInterpolate(int set) const {
    const KDuzNodePivotSet* pivots = GetPivotSet(set);
    return pivots != nullptr && pivots->quaternionInterpolate;
}

void KDuzNode::SetPivotState(int set, int state) {
    // The state it has already: set 1 is not made for it.
    if (GetPivotSet(set) != nullptr && GetPivotState(set) == state) return;
    if (KDuzNodePivotSet* pivots = PivotSet(set)) pivots->state = state;
}

int KDuzNode::GetPivotState(int set) const {
    const KDuzNodePivotSet* pivots = GetPivotSet(set);
    return pivots != nullptr ? pivots->state : 1;
}

void KDuzNode::SelectPivotSet(int set) {
    const KDuzNodePivotSet* pivots = GetPivotSet(set);
    if (pivots == nullptr) return;
    KDuzNodeTransformEvaluation& e = mInternal->evaluation;
    e.prePost.rotationOrder.SetOrderIndex(2 * pivots->rotationOrder);
    e.rotationSpaceForLimitOnly = pivots->rotationSpaceForLimitOnly;
    e.rotationOffset = pivots->rotationOffset;
    SetFlag(e.flags, kDuzEvalRotationOffset, NonZero(pivots->rotationOffset));
    e.rotationPivot = pivots->rotationPivot;
    SetFlag(e.flags, kDuzEvalRotationPivot, NonZero(pivots->rotationPivot));
    SetFlag(e.prePost.flags, 1, NonZero(pivots->preRotation));
    e.prePost.preMatrix.SetIdentity();
    KgeEulerXYZToMatrix(e.prePost.preMatrix.Data(), pivots->preRotation[0], pivots->preRotation[1],
                        pivots->preRotation[2]);
    SetFlag(e.prePost.flags, 2, NonZero(pivots->postRotation));
    e.prePost.postMatrix.SetIdentity();
    KgeEulerXYZToMatrix(e.prePost.postMatrix.Data(), pivots->postRotation[0], pivots->postRotation[1],
                        pivots->postRotation[2]);
    e.scalingOffset = pivots->scalingOffset;
    SetFlag(e.flags, kDuzEvalScalingOffset, NonZero(pivots->scalingOffset));
    e.scalingPivot = pivots->scalingPivot;
    SetFlag(e.flags, kDuzEvalScalingPivot, NonZero(pivots->scalingPivot));
}

void KDuzNode::ResetPivotSet(int set) {
    if (set < 0 || set > 1) return;
    // Iterative over the subtree: node first, then its children in order.
    std::vector<KDuzNode*> pending{this};
    int visited = 0;
    while (!pending.empty() && visited++ < (1 << 24)) {
        KDuzNode* node = pending.back();
        pending.pop_back();
        const KgeTVector zero(0.0, 0.0, 0.0, 1.0);
        node->SetRotationOrder(set, 0);
        node->SetPreRotation(set, zero);
        node->SetPostRotation(set, zero);
        node->SetRotationPivot(set, zero);
        node->SetScalingPivot(set, zero);
        node->SetRotationOffset(set, zero);
        node->SetScalingOffset(set, zero);
        node->SetGeometricTranslation(set, zero);
        node->SetGeometricRotation(set, zero);
        node->SetGeometricScaling(set, KgeTVector(1.0, 1.0, 1.0, 1.0));
        node->SetRotationSpaceForLimitOnly(set, false);
        node->SetQuaternionInterpolate(set, false);
        for (int i = node->GetChildCount() - 1; i >= 0; --i) {
            if (KDuzNode* child = node->GetChild(i)) pending.push_back(child);
        }
    }
}

// ---- local values ----------------------------------------------------------------------

void KDuzNode::ApplyLimits(int channel, KgeTVector& v) const {
    if (mInternal == nullptr) return;
    const KDuzNodeTransformEvaluation& e = mInternal->evaluation;
    if (channel == 0) {
        KDuzLimitRecordApply(e.translationLimits, v.Data(), v.Data());
        return;
    }
    if (channel == 2) {
        KDuzLimitRecordApply(e.scalingLimits, v.Data(), v.Data());
        return;
    }
    if (!mInternal->pivotSet0.rotationSpaceForLimitOnly) {
        KDuzLimitRecordApply(e.rotationLimits, v.Data(), v.Data());
        return;
    }
    // Clamp in the node's rotation space, then come back to Euler XYZ.
    const bool active = e.RotationActive();
    KgeMatrix m;
    if (active && !e.rotationSpaceForLimitOnly)
        e.prePost.EulerToMatrix(m, v);
    else
        KgeEulerXYZToMatrix(m.Data(), v[0], v[1], v[2]);
    if (active)
        e.prePost.MatrixToEuler(v, m);
    else
        KgeMatrixToEulerXYZ(v.Data(), m.Data());
    KDuzLimitRecordApply(e.rotationLimits, v.Data(), v.Data());
    m.SetIdentity();
    if (active)
        e.prePost.EulerToMatrix(m, v);
    else
        KgeEulerXYZToMatrix(m.Data(), v[0], v[1], v[2]);
    if (active && !e.rotationSpaceForLimitOnly)
        e.prePost.MatrixToEuler(v, m);
    else
        KgeMatrixToEulerXYZ(v.Data(), m.Data());
}

KgeTVector KDuzNode::LocalDefault(int channel, bool applyLimits) {
    ValidateCache(Caches().byDefault);
    KDuzNodeTransformCache& cache = Caches().byDefault;
    if (cache.cached[channel]) return cache.local[channel];
    KgeTVector v(0.0, 0.0, 0.0, 1.0);
    if (channel == 2) v.SetXYZW(1.0, 1.0, 1.0, 1.0);
    KDuzTakeNode* take = GetDefaultTakeNode();
    KFCurveNode* root = take != nullptr ? take->GetCurveNode() : nullptr;
    KFCurveNode* node = root != nullptr ? root->FindByPath(kChannelPaths[channel]) : nullptr;
    if (node != nullptr && node->GetValueCount() <= 16) {
        double values[16] = {};
        const double* end = node->GatherDefaultValues(values);
        const int count = static_cast<int>(end - values);
        for (int c = 0; c < 3 && c < count; ++c) v[c] = values[c];
    }
    if (applyLimits) ApplyLimits(channel, v);
    cache.local[channel] = v;
    cache.cached[channel] = true;
    return v;
}

KgeTVector KDuzNode::LocalAtTime(int channel, KTime time, bool applyLimits) {
    ValidateCache(Caches().atTime);
    KDuzNodeTransformCache& cache = Caches().atTime;
    if (cache.cached[channel] && cache.times[channel].Get() == time.Get()) return cache.local[channel];
    KgeTVector v(0.0, 0.0, 0.0, 1.0);
    if (channel == 2) v.SetXYZW(1.0, 1.0, 1.0, 1.0);
    KDuzTakeNode* take = GetCurrentTakeNode();
    KFCurveNode* root = take != nullptr ? take->GetCurveNode() : nullptr;
    KFCurveNode* node = root != nullptr ? root->FindByPath(kChannelPaths[channel]) : nullptr;
    if (node != nullptr && node->GetValueCount() <= 16) {
        double values[16] = {};
        const double* end = node->EvaluateAt(values, time, &cache.hints[channel]);
        const int count = end != nullptr ? static_cast<int>(end - values) : 0;
        for (int c = 0; c < 3 && c < count; ++c) v[c] = values[c];
    }
    if (applyLimits) ApplyLimits(channel, v);
    cache.local[channel] = v;
    cache.times[channel] = time;
    cache.cached[channel] = true;
    return v;
}

KgeTVector KDuzNode::GetDefaultT(bool applyLimits) { return LocalDefault(0, applyLimits); }
KgeTVector KDuzNode::GetDefaultR(bool applyLimits) { return LocalDefault(1, applyLimits); }
KgeTVector KDuzNode::GetDefaultS(bool applyLimits) { return LocalDefault(2, applyLimits); }

void KDuzNode::GetDefaultTRS(bool applyLimits) {
    for (int channel = 0; channel < 3; ++channel) LocalDefault(channel, applyLimits);
}

KgeTVector KDuzNode::GetLocalTFromCurrentTake(KTime time, bool applyLimits) {
    return LocalAtTime(0, time, applyLimits);
}
KgeTVector KDuzNode::GetLocalRFromCurrentTake(KTime time, bool applyLimits) {
    return LocalAtTime(1, time, applyLimits);
}
KgeTVector KDuzNode::GetLocalSFromCurrentTake(KTime time, bool applyLimits) {
    return LocalAtTime(2, time, applyLimits);
}

void KDuzNode::GetLocalTRSFromCurrentTake(KTime time, bool applyLimits) {
    for (int channel = 0; channel < 3; ++channel) LocalAtTime(channel, time, applyLimits);
}

// ---- global transforms ---------------------------------------------------------------------

namespace {

// One evaluation step shared by the default and the at-time paths.
void ComposeNode(const KDuzNodeTransformEvaluation& e, const KgeTVector& t, const KgeTVector& r,
                 const KgeTVector& s, const KDuzNodeTransformCache* parent, const KgeTVector& parentLocalS,
                 KDuzNodeTransformCache& cache) {
    KgeMatrix rl;
    e.LocalRotationMatrix(rl, r);
    KgeMatrix sl;
    sl.SetElement(0, 0, s[0]);
    sl.SetElement(1, 1, s[1]);
    sl.SetElement(2, 2, s[2]);
    if (parent != nullptr) {
        KgeMatrixMultiply3x3(cache.rg.Data(), parent->rg.Data(), rl.Data());  // Rl x parent Rg
        e.GetGlobalScaling(cache.sg, parent->sg, sl, rl, parentLocalS);
        const KgeTVector v = e.GetTranslation(t, rl, sl);
        double point[3] = {v[0], v[1], v[2]};
        KgeMatrixTransformPoint(point, parent->g.Data(), point);
        cache.tg.SetXYZW(point[0], point[1], point[2], 1.0);
    } else {
        cache.sg.SetIdentity();
        cache.sg.SetElement(0, 0, s[0]);
        cache.sg.SetElement(1, 1, s[1]);
        cache.sg.SetElement(2, 2, s[2]);
        cache.rg = rl;
        cache.tg = e.GetTranslation(t, rl, sl);
    }
    e.ComposeGlobal(cache.g, cache.tg, cache.rg, cache.sg);
    cache.globalCached = true;
}

}  // namespace

bool KDuzNode::GlobalIsCached(bool atTime, KTime time) {
    KDuzNodeTransformCache& cache = atTime ? Caches().atTime : Caches().byDefault;
    ValidateCache(cache);
    return mInternal == nullptr ||
           (cache.globalCached && (!atTime || cache.globalTime.Get() == time.Get()));
}

const KgeMatrix& KDuzNode::EvaluateGlobal(bool atTime, KTime time, int set) {
    KDuzNodeTransformCache& own = atTime ? Caches().atTime : Caches().byDefault;
    if (GlobalIsCached(atTime, time)) return own.g;
    // The parent's transform comes first. Walking up and evaluating down
    // (instead of recursing) keeps a deep hierarchy off the call stack.
    std::vector<KDuzNode*> chain{this};
    for (KDuzNode* parent = GetParent(); parent != nullptr && !parent->GlobalIsCached(atTime, time);
         parent = parent->GetParent()) {
        if (chain.size() >= kMaxChain) break;   // only a damaged graph gets here
        chain.push_back(parent);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) (*it)->ComposeOwnGlobal(atTime, time, set);
    return own.g;
}

void KDuzNode::ComposeOwnGlobal(bool atTime, KTime time, int set) {
    if (mInternal == nullptr) return;
    KDuzNodeTransformCache& cache = atTime ? Caches().atTime : Caches().byDefault;
    if (set == 1) SelectPivotSet(1);
    if (atTime) GetLocalTRSFromCurrentTake(time, true);
    else GetDefaultTRS(true);
    // The inherit type the file gave counts on both paths.
    mInternal->evaluation.inheritType = mInternal->GetIntValue(eNodeInheritType);
    KDuzNode* parent = GetParent();
    const KDuzNodeTransformCache* parentCache = nullptr;
    KgeTVector parentS(1.0, 1.0, 1.0, 1.0);
    if (parent != nullptr && parent->mInternal != nullptr) {
        parentCache = atTime ? &parent->Caches().atTime : &parent->Caches().byDefault;
        parentS = atTime ? parent->GetLocalSFromCurrentTake(time, true) : parent->GetDefaultS(true);
    }
    ComposeNode(mInternal->evaluation, cache.local[0], cache.local[1], cache.local[2], parentCache, parentS,
                cache);
    if (atTime) cache.globalTime = time;
    if (set == 1) SelectPivotSet(0);
}

const KgeMatrix& KDuzNode::GetGlobalTransform(int set) {
    // One cached matrix for both pivot sets: a set-1 request right after a
    // set-0 one returns the set-0 matrix.
    return EvaluateGlobal(false, KTime(), set);
}

const KgeMatrix& KDuzNode::GetGlobalTransformAtTime(KTime time, int set) {
    return EvaluateGlobal(true, time, set);
}

void KDuzNode::SetDecomposedTransform(const KgeMatrix& m) {
    KDuzDecomposedTransform& record = Caches().decomposed[1];
    record.index = 1;
    record.matrix = KgeMatrix::FromAffine(m);
    double translation[4] = {0, 0, 0, 1};
    double scale[4] = {1, 1, 1, 1};
    record.rotation.SetIdentity();
    KgeMatrixSplitScaleRotation(translation, record.rotation.Data(), scale, m.Data());
    record.vector.SetXYZW(translation[0], translation[1], translation[2], 1.0);
    record.scale.SetIdentity();
    for (int i = 0; i < 3; ++i) record.scale.SetElement(i, i, scale[i]);
}

}  // namespace duzsdk
