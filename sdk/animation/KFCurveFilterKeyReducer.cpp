#include "sdk/animation/KFCurveFilterKeyReducer.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "sdk/animation/KFCurveFilterKeySync.h"
#include "sdk/animation/KFCurveFilterResample.h"

namespace duzsdk {

namespace {

const char* const kUnchanged = "KeyReducer, No key were changed by filter.";

struct CurveDeleter {
    void operator()(KFCurve* c) const { KFCurveObjectDelete(c); }
};
using CurvePtr = std::unique_ptr<KFCurve, CurveDeleter>;

// Points inside each key interval where the fit is also measured, so that the
// result stays within the tolerance between keys and not only at them.
constexpr double kInnerSamples[] = {0.25, 0.5, 0.75};
constexpr int kInnerCount = 3;

// Spans of at least this many keys are split away from their ends.
constexpr int kBalancedSpan = 64;

}  // namespace

KFCurveFilterKeyReducer::KFCurveFilterKeyReducer() : KFCurveFilter("Bezier Fit/Key Reducer", kFCurveFilterBaseMessages, 2)
{
    KFCurveFilterKeyReducer::Reset();
}

void KFCurveFilterKeyReducer::Reset()
{
    KFCurveFilter::Reset();
    mTolerance = 1.0;
    mDepth = 0;
    mKeySync = false;
}

// Between two fitted keys the fitted curve is one cubic segment fixed by the
// first key's value and two slopes and the second key's value, so it is
// evaluated on a two-key curve: no fitted key is inserted into a growing
// curve while refining.
double KFCurveFilterKeyReducer::WorstError(const KFCurve& curve, const std::vector<KFCurveKey>& fitted, int lo,
                                           int hi, int* worst) const
{
    // On a long span the split is kept away from the ends: splitting at the
    // worst key alone can peel one key per pass off a noisy curve, which is
    // quadratic. The middle's worst key splits instead; the extra key lies on
    // the curve, so the fit only gets better.
    const int m = hi - lo;
    const int margin = m >= kBalancedSpan ? m / 16 : 0;
    double middleError = -1.0;
    int middle = -1;
    // One two-key curve serves every span: its keys are overwritten.
    KFCurve& segment = *mSegment;
    // Keys stay in time order through the two writes.
    if (segment.KeyGetCount() < 2 || fitted[lo].mTime < segment.KeyRecord(1).mTime) {
        segment.KeySetFromKey(0, fitted[lo]);
        segment.KeySetFromKey(1, fitted[hi]);
    } else {
        segment.KeySetFromKey(1, fitted[hi]);
        segment.KeySetFromKey(0, fitted[lo]);
    }
    double e = 0.0;
    *worst = -1;
    int hint = 0;
    for (int k = lo; k < hi; ++k) {
        const KFCurveKey& key = curve.KeyRecord(k);
        double d = segment.Evaluate(KTime(key.mTime), &hint) - key.mValue;
        double err = d * d;
        int at = k;
        // Inner samples of the interval k..k+1 count against the key that can
        // split it (the interval's end, unless that is the span's end).
        const std::int64_t t0 = key.mTime, t1 = curve.KeyRecord(k + 1).mTime;
        for (int f = 0; f < kInnerCount; ++f) {
            const KTime t(t0 + static_cast<std::int64_t>(static_cast<double>(t1 - t0) * kInnerSamples[f]));
            d = segment.Evaluate(t, &hint) - mInner[static_cast<std::size_t>(k) * kInnerCount + f];
            if (d * d > err) {
                err = d * d;
                at = k + 1 < hi ? k + 1 : k;
            }
        }
        // NaN keys cannot be fitted better by splitting; they count as fitting.
        if (err > e) {
            e = err;
            *worst = at;
        }
        if (k > lo + margin && k < hi - margin && err > middleError) {
            middleError = err;
            middle = k;
        }
    }
    if (margin > 0 && *worst >= 0 && (*worst <= lo + margin || *worst >= hi - margin) && middle > lo)
        *worst = middle;
    return e;
}

void KFCurveFilterKeyReducer::Refine(const KFCurve& curve, std::vector<KFCurveKey>& fitted,
                                     std::vector<char>& present, int lo0, int hi0)
{
    // An explicit stack: the split depth grows with the key count on a bad
    // curve and must not be bounded by the thread's stack.
    struct Frame {
        int lo, hi, split, stage;
    };
    std::vector<Frame> stack{{lo0, hi0, -1, 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.stage == 0) {
            int worst = -1;
            const double e = WorstError(curve, fitted, f.lo, f.hi, &worst);
            if (!(e > mTolerance * mTolerance) || worst <= f.lo || worst >= f.hi) {
                stack.pop_back();
                continue;
            }
            ++mDepth;
            const int k = worst;
            const float left = curve.ComputeLeftDerivative(k);
            const float right = curve.ComputeRightDerivative(k);
            KFCurveKey key;
            key.Set(curve.KeyRecord(k).mTime, curve.KeyRecord(k).mValue, kFCurveInterpolationCubic,
                    left == right ? kFCurveTangentUser : kFCurveTangentUserBreak, right, fitted[f.lo].mData[1]);
            fitted[k] = key;
            present[k] = 1;
            fitted[f.lo].mData[1] = left;
            f.split = k;
            f.stage = 1;
            if (k - f.lo > 1) {
                stack.push_back({f.lo, k, -1, 0});
                continue;
            }
        }
        Frame& g = stack.back();
        if (g.stage == 1) {
            if (g.split - g.lo > 1 && mDepth < 10) UpdateProgress(g.lo, g.split);
            g.stage = 2;
            if (g.hi - g.split > 1) {
                stack.push_back({g.split, g.hi, -1, 0});
                continue;
            }
        }
        Frame& h = stack.back();
        if (h.hi - h.split > 1 && mDepth < 10) UpdateProgress(h.split, h.hi);
        --mDepth;
        stack.pop_back();
    }
}

bool KFCurveFilterKeyReducer::Apply(KFCurve& curve)
{
    const int n = curve.KeyGetCount();
    if (n <= 1) {
        Fail(1, kUnchanged);
        return false;
    }
    const KTime start = std::max(curve.KeyGetTime(0), GetStartTime());
    const KTime stop = std::min(curve.KeyGetTime(n - 1), GetStopTime());
    if (!(stop.Subtract(start).GetSecondDouble() > 0.0)) {
        Fail(1, "KeyReducer, Invalid Time Span. No key were changed by filter.");
        return false;
    }
    const int i0 = std::clamp(static_cast<int>(std::floor(curve.KeyFind(start))), 0, n - 1);
    const int i1 = std::clamp(static_cast<int>(std::ceil(curve.KeyFind(stop))), 0, n - 1);
    if (i1 <= i0) {
        Fail(1, kUnchanged);
        return false;
    }
    std::vector<KFCurveKey> fitted(static_cast<std::size_t>(n));
    std::vector<char> present(static_cast<std::size_t>(n), 0);
    fitted[i0].Set(curve.KeyRecord(i0).mTime, curve.KeyRecord(i0).mValue, kFCurveInterpolationCubic,
                   kFCurveTangentUser, curve.ComputeRightDerivative(i0), curve.ComputeLeftDerivative(i1));
    fitted[i1].Set(curve.KeyRecord(i1).mTime, curve.KeyRecord(i1).mValue, kFCurveInterpolationCubic,
                   kFCurveTangentAuto, 0.0f, 0.0f);
    present[i0] = present[i1] = 1;
    mDepth = 0;
    KFCurve segment;
    segment.SetNotificationEnabled(false);
    segment.CopyFrom(curve, false);
    mSegment = &segment;
    // The curve's own values at the inner samples, once for every pass.
    mInner.assign(static_cast<std::size_t>(n) * kInnerCount, 0.0f);
    int sourceHint = 0;
    for (int k = i0; k < i1; ++k) {
        const std::int64_t t0 = curve.KeyRecord(k).mTime, t1 = curve.KeyRecord(k + 1).mTime;
        for (int f = 0; f < kInnerCount; ++f) {
            const KTime t(t0 + static_cast<std::int64_t>(static_cast<double>(t1 - t0) * kInnerSamples[f]));
            mInner[static_cast<std::size_t>(k) * kInnerCount + f] = curve.Evaluate(t, &sourceHint);
        }
    }
    Refine(curve, fitted, present, i0, i1);
    mSegment = nullptr;
    mInner.clear();
    mInner.shrink_to_fit();

    CurvePtr f(KFCurveCreate());
    CurvePtr copy(curve.Clone());
    if (!f || !copy) return false;
    f->CopyFrom(curve, false);
    int count = 0;
    for (int k = i0; k <= i1; ++k) count += present[k];
    f->ReserveKeys(count);
    f->BeginKeyModify();
    int j = 0;
    for (int k = i0; k <= i1; ++k) {
        if (present[k]) f->KeySetFromKey(j++, fitted[k]);
    }
    f->EndKeyModify();
    KFCurveMergeRange(*copy, *f, curve);
    return true;
}

bool KFCurveFilterKeyReducer::Apply(KFCurve** curves, int count)
{
    const bool saved = mKeySync;
    mKeySync = false;
    const bool result = KFCurveFilter::Apply(curves, count);
    if (saved && count >= 2) {
        KFCurveFilterKeySync sync;
        sync.SetStartTime(GetStartTime());
        sync.SetStopTime(GetStopTime());
        sync.Apply(curves, count);
    }
    mKeySync = saved;
    return result;
}

bool KFCurveFilterKeyReducer::Apply(KFCurveNode& node, bool recursive)
{
    const bool saved = mKeySync;
    mKeySync = false;
    const bool result = KFCurveFilter::Apply(node, recursive);
    if (saved && node.GetChildCount() >= 2) {
        KFCurveFilterKeySync sync;
        sync.SetStartTime(GetStartTime());
        sync.SetStopTime(GetStopTime());
        sync.Apply(node, recursive);
    }
    mKeySync = saved;
    return result;
}

}  // namespace duzsdk
