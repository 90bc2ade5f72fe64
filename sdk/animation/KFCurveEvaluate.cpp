// Key search, extrapolation, interpolation and the derivative of a KFCurve.

#include <algorithm>
#include <cmath>

#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurvePrivate.h"

namespace duzsdk {

using kfcurve_detail::Difference;
using kfcurve_detail::Lerp;
using kfcurve_detail::SaturateTicks;
using kfcurve_detail::SecondsBetween;
using kfcurve_detail::ToFloat;

namespace {

// Keys walked one by one from the hint before the search switches to halving;
// sequential evaluation stays on the walk, random access stays logarithmic.
constexpr int kLinearProbes = 8;

struct Bezier {
    float p0, p1, p2, p3;

    float At(double s) const
    {
        const float a = Lerp(p0, p1, s), b = Lerp(p1, p2, s), c = Lerp(p2, p3, s);
        const float d = Lerp(a, b, s), e = Lerp(b, c, s);
        return Lerp(d, e, s);
    }
    // d/ds, by de Casteljau on the differences of the control values.
    double Slope(double s) const
    {
        const float d0 = Difference(p1, p0), d1 = Difference(p2, p1), d2 = Difference(p3, p2);
        const float a = Lerp(d0, d1, s), b = Lerp(d1, d2, s);
        return 3.0 * Lerp(a, b, s);
    }
};

}  // namespace

double KFCurveBezierSolve(double f, float w1, float w2)
{
    const Bezier x{0.0f, w1, 1.0f - w2, 1.0f};
    auto g = [&](double s) { return static_cast<float>(x.At(s) - f); };
    const float g0 = g(0.0), g1 = g(1.0);
    double p, q;
    float gp, gq;
    if (std::fabs(g0) < std::fabs(g1)) {
        p = 0.0, gp = g0, q = 1.0, gq = g1;
    } else {
        p = 1.0, gp = g1, q = 0.0, gq = g0;
    }
    for (int step = 0; step < 15; ++step) {
        // Equal values give no secant; the current point is the best there is.
        if (gp == gq) break;
        const double delta = gp * (q - p) / (static_cast<double>(gp) - gq);
        q = p;
        gq = gp;
        p += delta;
        gp = g(p);
        if (std::fabs(delta) < 0.000001 || gp == 0.0f) break;
    }
    return p;
}

double KFCurve::KeyFind(KTime time, int* lastIndex) const
{
    if (mKeyCount == 0) return -1.0;
    int& hint = lastIndex ? *lastIndex : mLastIndex;
    const std::int64_t t = time.Get();
    const int start = std::clamp(hint, 0, mKeyCount - 1);

    if (t < T(start)) {
        // The last key before start whose time is not after t.
        int k = start - 1;
        for (int probe = 0; k >= 0 && T(k) > t && probe < kLinearProbes; ++probe) --k;
        if (k >= 0 && T(k) > t) {
            int lo = 0, hi = k;  // T(hi) > t
            while (lo < hi) {
                const int mid = lo + (hi - lo) / 2;
                if (T(mid) > t) hi = mid; else lo = mid + 1;
            }
            k = lo - 1;
        }
        if (k < 0) {
            hint = 0;
            return -0.5;
        }
        hint = k;
        return k + SecondsBetween(T(k), t) / SecondsBetween(T(k), T(k + 1));
    }
    if (t == T(start)) {
        hint = start;
        return start;
    }
    // The first key after start whose time is not before t.
    int next = start + 1;
    for (int probe = 0; next < mKeyCount && T(next) < t && probe < kLinearProbes; ++probe) ++next;
    if (next < mKeyCount && T(next) < t) {
        int lo = next, hi = mKeyCount;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (T(mid) < t) lo = mid + 1; else hi = mid;
        }
        next = lo;
    }
    if (next >= mKeyCount) {
        hint = mKeyCount;
        return mKeyCount - 0.5;
    }
    const int cur = next - 1;
    hint = next;
    const double r = cur + SecondsBetween(T(cur), t) / SecondsBetween(T(cur), T(next));
    return std::max(r, -0.5);
}

double KFCurve::KeyFindExtrapolated(KTime time, int* lastIndex) const
{
    if (mKeyCount == 0) return -1.0;
    int& hint = lastIndex ? *lastIndex : mLastIndex;
    const std::int64_t t = time.Get();
    const std::int64_t t0 = T(0), tn = T(mKeyCount - 1);
    const __int128 span = static_cast<__int128>(tn) - t0;

    if (t < t0) {
        const int mode = mPreExtrapolation;
        // Modes without a repetition rule, and a curve without a span to
        // repeat, hold the first key.
        if ((mode != kFCurveExtrapolationRepetition && mode != kFCurveExtrapolationMirrorRepetition) || span <= 0) {
            hint = 0;
            return 0.0;
        }
        // The count is unsigned: -1 stands for an unlimited repetition.
        const __int128 reach = span * static_cast<std::uint32_t>(mPreExtrapolationCount);
        __int128 limit = static_cast<__int128>(t0) - reach;
        if (limit < static_cast<__int128>(INT64_MIN)) {
            const __int128 m = (static_cast<__int128>(INT64_MIN) - t0) / span;
            limit = t0 + (m + 1) * span;
        }
        if (t <= limit) {
            hint = 0;
            return 0.0;
        }
        const __int128 d = static_cast<__int128>(t) - t0;
        const __int128 c = -(d / span);
        const __int128 r = d + span * c;  // -span < r <= 0
        if (mode == kFCurveExtrapolationMirrorRepetition && c % 2 == 0)
            return KeyFind(KTime(SaturateTicks(t0 - r)), &hint);
        return KeyFind(KTime(SaturateTicks(tn + r)), &hint);
    }
    if (t <= tn) return KeyFind(time, &hint);

    const int mode = mPostExtrapolation;
    if ((mode != kFCurveExtrapolationRepetition && mode != kFCurveExtrapolationMirrorRepetition) || span <= 0) {
        hint = mKeyCount - 1;
        return mKeyCount - 1;
    }
    const __int128 reach = span * static_cast<std::uint32_t>(mPostExtrapolationCount);
    const __int128 limit = std::min(static_cast<__int128>(tn) + reach, static_cast<__int128>(INT64_MAX));
    if (t >= limit) {
        hint = mKeyCount - 1;
        return mKeyCount - 1;
    }
    const __int128 d = static_cast<__int128>(t) - tn;
    const __int128 c = d / span;
    const __int128 r = d - c * span;  // 0 <= r < span
    if (mode == kFCurveExtrapolationMirrorRepetition && c % 2 == 0)
        return KeyFind(KTime(SaturateTicks(tn - r)), &hint);
    return KeyFind(KTime(SaturateTicks(t0 + r)), &hint);
}

float KFCurve::EvaluateIndex(double position) const
{
    if (mKeyCount == 0) return mDefaultValue;
    if (mKeyCount == 1) return V(0);
    // Positions outside the keys (a stored extrapolation mode the curve does
    // not know) hold the end key rather than read past the keys.
    if (!(position >= 0.0)) position = 0.0;
    if (position > mKeyCount - 1) position = mKeyCount - 1;
    const double floorPos = std::floor(position);
    const int k = static_cast<int>(floorPos);
    if (position == floorPos) return V(k);
    const double f = position - floorPos;
    const KFCurveKey& key = K(k);
    const float v0 = key.mValue, v1 = V(k + 1);
    switch (key.GetInterpolation()) {
    case kFCurveInterpolationConstant:
        return (key.mFlags & kFCurveConstantNext) ? v1 : v0;
    case kFCurveInterpolationLinear:
        return ToFloat(v0 + (static_cast<double>(v1) - v0) * f);
    case kFCurveInterpolationCubic: {
        const double span = SecondsBetween(key.mTime, T(k + 1));
        const double d0 = ComputeRightDerivative(k);
        const double d1 = ComputeLeftDerivative(k + 1);
        if ((key.mFlags & kFCurveWeightedAll) == 0) {
            const Bezier b{v0, ToFloat(v0 + d0 * span / 3.0), ToFloat(v1 - d1 * span / 3.0), v1};
            return b.At(f);
        }
        const float w1 = KeyGetRightWeight(k), w2 = KeyGetLeftWeight(k + 1);
        const double s = KFCurveBezierSolve(f, w1, w2);
        const Bezier b{v0, ToFloat(v0 + d0 * span * w1), ToFloat(v1 - d1 * span * w2), v1};
        return b.At(s);
    }
    default:
        return 0.0f;
    }
}

float KFCurve::Evaluate(KTime time, int* lastIndex) const
{
    if (mKeyCount >= 2) {
        const std::int64_t t = time.Get();
        const std::int64_t t0 = T(0), tn = T(mKeyCount - 1);
        const __int128 span = static_cast<__int128>(tn) - t0;
        if (mPreExtrapolation == kFCurveExtrapolationKeepSlope && t < t0) {
            const double slope = ComputeRightDerivative(0);
            if (mPreExtrapolationCount != -1) {
                const __int128 reach = span * mPreExtrapolationCount;
                if (static_cast<__int128>(t) < t0 - reach)
                    return ToFloat(V(0) - slope * (static_cast<double>(reach) / kfcurve_detail::kTicksPerSecond));
            }
            return ToFloat(V(0) + slope * SecondsBetween(t0, t));
        }
        if (mPostExtrapolation == kFCurveExtrapolationKeepSlope && t > tn) {
            const double slope = ComputeLeftDerivative(mKeyCount - 1);
            const float vn = V(mKeyCount - 1);
            if (mPostExtrapolationCount != -1) {
                const __int128 reach = span * mPostExtrapolationCount;
                if (static_cast<__int128>(t) > tn + reach)
                    return ToFloat(vn + slope * (static_cast<double>(reach) / kfcurve_detail::kTicksPerSecond));
            }
            return ToFloat(vn + slope * SecondsBetween(tn, t));
        }
    }
    return EvaluateIndex(KeyFindExtrapolated(time, lastIndex));
}

float KFCurve::EvaluateCached(KTime time, int* lastIndex)
{
    if (time.Get() != mCachedTime) {
        mCachedValue = Evaluate(time, lastIndex);
        mCachedTime = time.Get();
    }
    return mCachedValue;
}

void KFCurve::SetCache(KTime time, float value)
{
    mCachedTime = time.Get();
    mCachedValue = value;
}

float KFCurve::EvaluateLeftDerivative(KTime time, int* lastIndex) const
{
    if (mKeyCount < 2) return 0.0f;
    const double x = KeyFind(time, lastIndex);
    const double floorPos = std::floor(x);
    if (floorPos < 0.0 || std::ceil(x) > mKeyCount - 1) return 0.0f;
    const int k = static_cast<int>(floorPos);
    if (x == floorPos) return ComputeLeftDerivative(k);
    const double f = x - floorPos;
    const KFCurveKey& key = K(k);
    const float v0 = key.mValue, v1 = V(k + 1);
    const double span = SecondsBetween(key.mTime, T(k + 1));
    switch (key.GetInterpolation()) {
    case kFCurveInterpolationConstant:
        return 0.0f;
    case kFCurveInterpolationLinear:
        return ToFloat((static_cast<double>(v1) - v0) / span);
    case kFCurveInterpolationCubic: {
        const double d0 = ComputeRightDerivative(k);
        const double d1 = ComputeLeftDerivative(k + 1);
        if ((key.mFlags & kFCurveWeightedAll) == 0) {
            const Bezier b{v0, ToFloat(v0 + d0 * span / 3.0), ToFloat(v1 - d1 * span / 3.0), v1};
            return ToFloat(b.Slope(f) / span);
        }
        const float w1 = KeyGetRightWeight(k), w2 = KeyGetLeftWeight(k + 1);
        const double s = KFCurveBezierSolve(f, w1, w2);
        const Bezier value{v0, ToFloat(v0 + d0 * span * w1), ToFloat(v1 - d1 * span * w2), v1};
        const Bezier abscissa{0.0f, w1, 1.0f - w2, 1.0f};
        const double dx = abscissa.Slope(s) * span;
        if (dx == 0.0) return 0.0f;
        return ToFloat(value.Slope(s) / dx);
    }
    default:
        return 0.0f;
    }
}

float KFCurve::EvaluateRightDerivative(KTime time, int* lastIndex) const
{
    if (mKeyCount <= 1) return 0.0f;
    int local = lastIndex ? *lastIndex : mLastIndex;
    const double x = KeyFind(time, &local);
    if (std::ceil(x) > mKeyCount - 1) return 0.0f;
    if (x == std::floor(x)) {
        if (lastIndex) *lastIndex = local;
        return ComputeRightDerivative(static_cast<int>(x));
    }
    if (std::floor(x) >= 0.0) return EvaluateLeftDerivative(time, lastIndex);
    return 0.0f;
}

}  // namespace duzsdk
