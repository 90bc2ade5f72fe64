#include "sdk/animation/KFCurveFilterConstantKeyReducer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sdk/animation/KFCurveTools.h"

namespace duzsdk {

KFCurveFilterConstantKeyReducer::KFCurveFilterConstantKeyReducer()
    : KFCurveFilter("Constant Key Reducer", kFCurveFilterBaseMessages, 2)
{
    KFCurveFilterConstantKeyReducer::Reset();
}

void KFCurveFilterConstantKeyReducer::Reset()
{
    KFCurveFilter::Reset();
    mTolerance = 0.009;
    mTranslationTolerance = 0.00009;
    mRotationTolerance = 0.009;
    mScalingTolerance = 0.004;
    mOtherTolerance = 0.009;
    mKeepFirstAndLast = false;
    mKeepFirstKey = false;
}

bool KFCurveFilterConstantKeyReducer::Apply(KFCurveNode& node, bool recursive)
{
    if (node.GetQuaternionInterpolation()) return false;
    if (KFCurveNodeAllKeysHave(&node, kFCurveInterpolationConstant, false)) return false;
    auto named = [&](const char* a, const char* b) {
        const KFCurveNode* nodes[2] = {&node, node.GetParent()};
        for (const KFCurveNode* n : nodes) {
            const char* name = n ? n->GetName() : nullptr;
            if (name && (std::strcmp(name, a) == 0 || std::strcmp(name, b) == 0)) return true;
        }
        return false;
    };
    double tolerance = mOtherTolerance;
    if (named("R", "Lcl Rotation")) tolerance = mRotationTolerance;
    else if (named("S", "Lcl Scaling")) tolerance = mScalingTolerance;
    else if (named("T", "Lcl Translation")) tolerance = mTranslationTolerance;
    const double saved = mTolerance;
    mTolerance = tolerance;
    const bool result = KFCurveFilter::Apply(node, recursive);
    mTolerance = saved;
    return result;
}

bool KFCurveFilterConstantKeyReducer::IsConstant(const KFCurve& curve, int k, float v, int lo, int hi) const
{
    for (int w = std::max(k - 2, lo); w <= std::min(k + 2, hi); ++w) {
        const double value = curve.KeyGetValue(w);
        // NaN never counts as constant.
        if (!(value >= v - mTolerance && value <= v + mTolerance)) return false;
        if (curve.KeyGetInterpolation(w) == kFCurveInterpolationCubic && !curve.KeyIsFlatAuto(w)) return false;
    }
    return true;
}

bool KFCurveFilterConstantKeyReducer::Apply(KFCurve& curve)
{
    if (curve.KeyGetCount() == 0) {
        Fail(0, "ConstantKeyReducer, No key to be filtered.");
        return false;
    }
    const int lo = GetStartIndex(curve);
    int hi = GetStopIndex(curve);
    int scanLow = lo;
    int k = hi;
    if (mKeepFirstAndLast) {
        scanLow = lo + 1;
        k = hi - 1;
        if (k < 0) return true;
    }
    // Removals are gathered and done from the top down in one modify block,
    // each as one range, so a long constant curve costs linear time.
    curve.BeginKeyModify();
    while (k >= scanLow) {
        const float v = curve.KeyGetValue(k);
        int b = k;
        while (b >= scanLow && IsConstant(curve, b, v, lo, hi)) --b;
        const int r = k - b;
        if (r == 0) {
            --k;
            continue;
        }
        ++b;  // lowest key of the run
        if (r != curve.KeyGetCount()) {
            curve.KeyRemove(b, b + r - 1);
        } else if (mKeepFirstKey) {
            if (hi > lo) curve.KeyRemove(lo + 1, hi);
        } else {
            const float first = curve.KeyGetValue(0);
            curve.KeyClear();
            curve.SetDefaultValue(first);
        }
        hi -= r;
        k = b - 1;
    }
    curve.EndKeyModify();
    return true;
}

}  // namespace duzsdk
