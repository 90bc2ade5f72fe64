#include "sdk/animation/KFCurveFilterConstantKeyReducer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

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

bool KFCurveFilterConstantKeyReducer::IsConstant(const KFCurve& curve, const int* window, int count, float v) const
{
    for (int i = 0; i < count; ++i) {
        const int w = window[i];
        const double value = curve.KeyGetValue(w);
        // NaN never counts as constant.
        if (!(value >= v - mTolerance && value <= v + mTolerance)) return false;
        if (curve.KeyGetInterpolation(w) == kFCurveInterpolationCubic && !curve.KeyIsFlatAuto(w)) return false;
    }
    return true;
}

bool KFCurveFilterConstantKeyReducer::Apply(KFCurve& curve)
{
    const int n = curve.KeyGetCount();
    if (n == 0) {
        Fail(0, "ConstantKeyReducer, No key to be filtered.");
        return false;
    }
    const int lo = GetStartIndex(curve);
    const int hi = GetStopIndex(curve);
    int scanLow = lo;
    int k = hi;
    // Keys of the span above the scan that stay, nearest last. Runs are
    // found from the top down as if each were removed at once (the keys
    // above a removed run move down next to the keys below it), and removed
    // together at the end so that the filter stays linear.
    std::vector<int> above;
    if (mKeepFirstAndLast) {
        scanLow = lo + 1;
        k = hi - 1;
        if (k < 0) return true;
        above.push_back(hi);
    }
    std::vector<char> removed(static_cast<std::size_t>(n), 0);
    int remaining = n;
    bool cleared = false;
    while (k >= scanLow) {
        const int top = k;
        const float v = curve.KeyGetValue(top);
        int b = top;
        while (b >= scanLow) {
            // The window: two keys below, the key, and the two nearest keys
            // above it, among the run itself and then the staying keys.
            int window[5];
            int count = 0;
            for (int w = std::max(b - 2, lo); w <= b; ++w) window[count++] = w;
            int upper = 0;
            for (int w = b + 1; w <= top && upper < 2; ++w, ++upper) window[count++] = w;
            for (auto it = above.rbegin(); it != above.rend() && upper < 2; ++it, ++upper) window[count++] = *it;
            if (!IsConstant(curve, window, count, v)) break;
            --b;
        }
        const int r = top - b;
        if (r == 0) {
            above.push_back(top);
            --k;
            continue;
        }
        ++b;  // lowest key of the run
        if (r != remaining) {
            for (int i = b; i <= top; ++i) removed[i] = 1;
            remaining -= r;
        } else if (mKeepFirstKey) {
            for (int i = lo + 1; i <= hi; ++i) removed[i] = 1;
            remaining = n - (hi - lo);
        } else {
            cleared = true;
            break;
        }
        k = b - 1;
    }
    if (cleared) {
        const float first = curve.KeyGetValue(0);
        curve.BeginKeyModify();
        curve.KeyClear();
        curve.SetDefaultValue(first);
        curve.EndKeyModify();
        return true;
    }
    if (remaining == n) return true;
    std::unique_ptr<KFCurve> kept(KFCurveCreate());
    if (!kept) return false;
    kept->SetNotificationEnabled(false);
    kept->CopyFrom(curve, false);
    kept->ReserveKeys(remaining);
    for (int i = 0; i < n; ++i) {
        if (!removed[i]) kept->KeySetFromKey(kept->KeyGetCount(), curve.KeyRecord(i));
    }
    curve.CopyFrom(*kept, true);
    return true;
}

}  // namespace duzsdk
