// Baking a node's pivots, offsets, pre- and post-rotation, geometric
// transform and rotation order into its animation.
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodePivotConversion.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KgeMath.h"

#include <cmath>
#include <vector>

namespace duzsdk {

namespace {

KDuzPivotFilterApplier gFilterApplier = &KDuzApplyPivotConversionFilter;
KDuzGeometryPivotAdjuster gDefaultGeometryAdjuster = nullptr;
KDuzGeometryPivotAdjuster gGeometryAdjuster = nullptr;

constexpr double kTolerance = 1e-6;

KgeTVector Zero() { return KgeTVector(0.0, 0.0, 0.0, 1.0); }

bool NonZeroExact(const KgeTVector& v) { return v[0] != 0.0 || v[1] != 0.0 || v[2] != 0.0; }

bool NonZeroTolerant(const KgeTVector& v) {
    const double zero[3] = {0.0, 0.0, 0.0};
    return KgeVector3Compare(v.Data(), zero, kTolerance) != 0;
}

KgeTVector Difference(const KgeTVector& a, const KgeTVector& b) {
    return KgeTVector(a[0] - b[0], a[1] - b[1], a[2] - b[2], 1.0);
}

KgeMatrix TranslationMatrix(const KgeTVector& v) {
    KgeMatrix m;
    KgeMatrixSetTranslationOnly(m.Data(), v.Data());
    return m;
}

KgeMatrix EulerMatrix(const KgeTVector& v) { return KgeMatrix::FromEulerXYZ(v[0], v[1], v[2]); }

KgeMatrix Affine(const KgeMatrix& a, const KgeMatrix& b) {
    KgeMatrix out;
    KgeMatrixMultiplyAffine(out.Data(), a.Data(), b.Data());
    return out;
}

KgeMatrix InverseOrthogonal(const KgeMatrix& m) {
    KgeMatrix out;
    KgeMatrixInverseOrthogonal(out.Data(), m.Data());
    return out;
}

// The values of a pivot set as far as they take part: offsets, pivots and
// pre/post-rotation only while the set was loaded (state 0); pre/post also
// not when the set keeps its rotation space for limits only.
struct Participating {
    KgeTVector rotationOffset, rotationPivot, scalingOffset, scalingPivot, preRotation, postRotation;
    bool takesPart;
    KgeMatrix geometric;
    int orderIndex;
    bool quaternion;

    explicit Participating(const KDuzNodePivotSet& set) {
        takesPart = set.state == 0;
        rotationOffset = takesPart ? set.rotationOffset : Zero();
        rotationPivot = takesPart ? set.rotationPivot : Zero();
        scalingOffset = takesPart ? set.scalingOffset : Zero();
        scalingPivot = takesPart ? set.scalingPivot : Zero();
        const bool prePost = takesPart && !set.rotationSpaceForLimitOnly;
        preRotation = prePost ? set.preRotation : Zero();
        postRotation = prePost ? set.postRotation : Zero();
        if (takesPart) {
            geometric =
                Affine(TranslationMatrix(set.geometricTranslation), EulerMatrix(set.geometricRotation));
            KgeMatrixScaleRows(geometric.Data(), geometric.Data(), set.geometricScaling.Data());
        }
        orderIndex = set.rotationSpaceForLimitOnly ? 0 : 2 * set.rotationOrder;
        quaternion = set.quaternionInterpolate;
    }
};

bool DiffersFromIdentity(const KgeMatrix& j) {
    double angles[3];
    KgeMatrixToEulerXYZUnscaled(angles, j.Data());
    const KgeMatrix rotation = KgeMatrix::FromEulerXYZ(angles[0], angles[1], angles[2]);
    const KgeMatrix identity;
    return KgeMatrixCompare(rotation.Data(), identity.Data(), kTolerance) != 0;
}

}  // namespace

void KDuzSetPivotFilterApplier(KDuzPivotFilterApplier applier)
{
    gFilterApplier = applier ? applier : &KDuzApplyPivotConversionFilter;
}
void KDuzSetGeometryPivotAdjuster(KDuzGeometryPivotAdjuster adjuster) {
    gGeometryAdjuster = adjuster ? adjuster : gDefaultGeometryAdjuster;
}

void KDuzInstallDefaultGeometryPivotAdjuster(KDuzGeometryPivotAdjuster adjuster) {
    // A test's own adjuster stays until it puts the default back.
    if (gGeometryAdjuster == gDefaultGeometryAdjuster) gGeometryAdjuster = adjuster;
    gDefaultGeometryAdjuster = adjuster;
}

bool KDuzNode::ConvertPivotAnimation(double frameRate, int flag) {
    // A rate of 0 (or below, or not a number) gives no sampling period.
    if (!(frameRate > 0.0) || !std::isfinite(frameRate)) return false;
    ResetPivotSet(1);
    const bool converted = ConvertPivotAnimationRecursive(1, frameRate, flag);
    ResetPivotSet(0);
    return converted;
}

bool KDuzNode::ConvertPivotAnimationRecursive(int direction, double frameRate, int flag) {
    if (!(frameRate > 0.0) || !std::isfinite(frameRate)) return false;
    // Pre-order over the subtree: each node before its children, children
    // in index order.
    std::vector<KDuzNode*> pending{this};
    while (!pending.empty()) {
        KDuzNode* node = pending.back();
        pending.pop_back();
        node->ConvertPivotAnimationNode(direction, frameRate, flag);
        for (int i = node->GetChildCount() - 1; i >= 0; --i) {
            if (KDuzNode* child = node->GetChild(i)) pending.push_back(child);
        }
    }
    return true;
}

void KDuzNode::ConvertPivotAnimationNode(int direction, double frameRate, int flag) {
    const KDuzNodePivotSet* first = GetPivotSet(direction == 1 ? 0 : 1);
    const KDuzNodePivotSet* second = GetPivotSet(direction == 1 ? 1 : 0);
    if (first == nullptr || second == nullptr) return;
    const Participating s(*first);
    const Participating d(*second);
    KDuzPivotConversionFilter filter;
    bool changed = false;

    // 1. Rotation pivot.
    const KgeTVector pivotDifference = Difference(s.rotationPivot, d.rotationPivot);
    if (NonZeroExact(pivotDifference)) {
        filter.SetMatrix(eDuzPivotSlotRotationPivot, TranslationMatrix(pivotDifference));
        changed = true;
    }

    // 2. The geometric difference goes into the geometry's pivot.
    if (KDuzObject* geometry = GetGeometry()) {
        const KgeMatrix factor = Affine(s.geometric, InverseOrthogonal(d.geometric));
        if (gGeometryAdjuster != nullptr) gGeometryAdjuster(geometry, factor);
    }

    // 3. Scaling pivot.
    const KgeTVector scalingPivotDifference = Difference(s.scalingPivot, d.scalingPivot);
    if (NonZeroTolerant(scalingPivotDifference)) {
        filter.SetMatrix(eDuzPivotSlotScalingPivot, TranslationMatrix(scalingPivotDifference));
        changed = true;
    }

    // 4. Offsets: the rotation offset moves the translation keys (step 7).
    const KgeTVector r = Difference(s.rotationOffset, d.rotationOffset);
    const KgeTVector u = Difference(s.scalingOffset, d.scalingOffset);
    if (NonZeroTolerant(u)) {
        filter.SetMatrix(eDuzPivotSlotScalingOffset, TranslationMatrix(u));
        changed = true;
    }

    // 5. Pre- and post-rotation, only while rotation is active.
    if (GetRotationActive()) {
        if (NonZeroExact(s.preRotation) || NonZeroExact(d.preRotation)) {
            const KgeMatrix q = EulerMatrix(s.preRotation);
            const KgeMatrix j = Affine(InverseOrthogonal(EulerMatrix(d.preRotation)), q);
            if (DiffersFromIdentity(j)) {
                filter.SetMatrix(eDuzPivotSlotPreRotation, j);
                changed = true;
            } else {
                filter.SetMatrix(eDuzPivotSlotSourcePreRotation, q);
            }
        }
        if (NonZeroExact(s.postRotation) || NonZeroExact(d.postRotation)) {
            const KgeMatrix q = EulerMatrix(d.postRotation);
            const KgeMatrix j = Affine(InverseOrthogonal(EulerMatrix(s.postRotation)), q);
            if (DiffersFromIdentity(j)) {
                filter.SetMatrix(eDuzPivotSlotPostRotation, j);
                changed = true;
            } else {
                filter.SetMatrix(eDuzPivotSlotInversePostRotation, InverseOrthogonal(q));
            }
        }
    }

    // 6. Settings and rotation orders.
    filter.samplingPeriod.SetSecondDouble(1.0 / frameRate);
    filter.settings[0] = 1;
    filter.settings[1] = 1;
    filter.settings[2] = flag;
    filter.settings[3] = 0;
    filter.sourceRotationOrder = s.orderIndex;
    filter.destinationRotationOrder = d.orderIndex;
    if (s.orderIndex != d.orderIndex || s.quaternion != d.quaternion) {
        changed = true;
        filter.convertRotation = true;
    }

    // 7. Every take: shift the translation by r, then filter when needed.
    for (int i = 0; i < GetTakeNodeCount(); ++i) {
        KDuzTakeNode* take = GetTakeNodeAt(i);
        if (take == nullptr) continue;
        KFCurve* curves[3] = {take->GetTranslationXCurve(), take->GetTranslationYCurve(),
                              take->GetTranslationZCurve()};
        for (int c = 0; c < 3; ++c) {
            KFCurve* curve = curves[c];
            if (curve == nullptr || r[c] == 0.0) continue;
            const float delta = static_cast<float>(r[c]);
            curve->SetDefaultValue(curve->GetDefaultValue() + delta);
            for (int k = 0; k < curve->KeyGetCount(); ++k) curve->KeyIncValue(k, delta);
        }
        KFCurveNode* root = take->GetCurveNode();
        if (root == nullptr) continue;
        root->InvalidateCache(0, true);
        if (changed && gFilterApplier != nullptr) gFilterApplier(filter, root);
    }

    // 8. The property follows the default take's curves; r is counted once.
    if (KDuzTakeNode* take = GetDefaultTakeNode()) {
        KFCurve* x = take->GetTranslationXCurve();
        KFCurve* y = take->GetTranslationYCurve();
        KFCurve* z = take->GetTranslationZCurve();
        if (x != nullptr && y != nullptr && z != nullptr) {
            SetLclTranslation(
                duzVectorTemplate3<double>(x->GetDefaultValue(), y->GetDefaultValue(), z->GetDefaultValue()));
        }
    }
    TouchTransforms();
}

}  // namespace duzsdk
