#include "sdk/animation/KFCurveFilterResample.h"

#include <algorithm>
#include <cmath>

#include "sdk/base/KTimeModes.h"

namespace duzsdk {

namespace {

const char* const kMessages[] = {"Bad Period", "Bad Interval"};

// Sample count of the span, or -1 when it is not usable.
std::int64_t SampleCount(std::int64_t start, std::int64_t stop, std::int64_t period, bool withStop)
{
    if (stop <= start || period <= 0) return -1;
    // Both ends are finite here, so the difference fits in unsigned 64 bits.
    const std::uint64_t span = static_cast<std::uint64_t>(stop) - static_cast<std::uint64_t>(start);
    const std::uint64_t whole = span / static_cast<std::uint64_t>(period);
    const bool extra = withStop && span % static_cast<std::uint64_t>(period) != 0;
    if (whole + 1 + (extra ? 1 : 0) > static_cast<std::uint64_t>(kFCurveFilterMaxSamples)) return -1;
    return static_cast<std::int64_t>(whole + 1 + (extra ? 1 : 0));
}

bool Finite(std::int64_t t) { return t != kFCurveFilterInfinite && t != kFCurveFilterMinusInfinite; }

template <typename KeyMaker>
bool Sample(KFCurve& target, KTime start, KTime stop, KTime period, bool withStop,
            KeyMaker makeKey)
{
    if (!Finite(start.Get()) || !Finite(stop.Get())) return false;
    const std::int64_t count = SampleCount(start.Get(), stop.Get(), period.Get(), withStop);
    if (count < 0) return false;
    target.KeyClear();
    if (!target.ReserveKeys(static_cast<int>(count))) return false;
    target.BeginKeyModify();
    int hint = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        std::int64_t t = start.Get() + i * period.Get();
        if (t > stop.Get()) t = stop.Get();  // the extra key sits at stop
        makeKey(static_cast<int>(i), KTime(t), &hint);
    }
    target.EndKeyModify();
    return true;
}

}  // namespace

KFCurveFilterResample::KFCurveFilterResample()
    : KFCurveFilter("FCurve Resample", kMessages, 2)
{
    KFCurveFilterResample::Reset();
}

void KFCurveFilterResample::Reset()
{
    KFCurveFilter::Reset();
    const KTimeModeClock* clock = KTimeModeGetClock(KTimeGetGlobalTimeMode());
    mPeriod = KTime(clock && clock->ticksPerFrame > 0 ? clock->ticksPerFrame : 1539538600);
    mAlignStart = false;
    mKeepKeyShape = false;
}

bool KFCurveFilterResample::Apply(KFCurve& curve)
{
    const std::int64_t period = mPeriod.Get();
    if (period <= 0) {
        Fail(0, "Bad Period");
        return false;
    }
    const int n = curve.KeyGetCount();
    std::int64_t start = GetStartTime().Get();
    std::int64_t stop = GetStopTime().Get();
    if (start == kFCurveFilterMinusInfinite && n > 0) start = curve.KeyGetTime(0).Get();
    if (stop == kFCurveFilterInfinite && n > 0) stop = curve.KeyGetTime(n - 1).Get();
    // A keyless curve over an open span has nothing to sample.
    if (!Finite(start) || !Finite(stop)) {
        Fail(1, "Bad Interval");
        return false;
    }
    if (mAlignStart && start % period != 0) {
        const std::int64_t below = start / period * period - (start < 0 ? period : 0);
        if (below > 0 && below <= kFCurveFilterInfinite - period) start = below + period;
    }
    if (start >= stop) {
        Fail(1, "Bad Interval");
        return false;
    }
    if (SampleCount(start, stop, period, true) < 0) {
        Fail(0, "Bad Period");
        return false;
    }
    KFCurve* source = curve.Clone();
    KFCurve* target = KFCurveCreate();
    bool ok = source && target;
    if (ok) {
        target->CopyFrom(curve, false);
        ok = mKeepKeyShape ? KFCurveResampleKeepShape(*source, *target, KTime(start), KTime(stop), mPeriod, true)
                           : KFCurveResample(*source, *target, KTime(start), KTime(stop), mPeriod,
                                             kFCurveInterpolationCubic, kFCurveTangentAuto, true);
        if (ok) KFCurveMergeRange(*source, *target, curve);
    }
    KFCurveObjectDelete(source);
    KFCurveObjectDelete(target);
    if (!ok) Fail(0, "Bad Period");
    return ok;
}

bool KFCurveResample(const KFCurve& source, KFCurve& target, KTime start, KTime stop, KTime period,
                     std::uint32_t interpolation, std::uint32_t tangentMode, bool withStop)
{
    return Sample(target, start, stop, period, withStop, [&](int i, KTime t, int* hint) {
        target.KeySet(i, t, source.Evaluate(t, hint), interpolation, tangentMode, 0.0f, 0.0f);
    });
}

bool KFCurveResampleKeepShape(const KFCurve& source, KFCurve& target, KTime start, KTime stop, KTime period,
                              bool withStop)
{
    const int n = source.KeyGetCount();
    return Sample(target, start, stop, period, withStop, [&](int i, KTime t, int* hint) {
        const float value = source.Evaluate(t, hint);
        std::uint32_t interpolation = kFCurveInterpolationCubic;
        std::uint32_t tangent = kFCurveTangentAuto;
        float d0 = 0.0f, d1 = 0.0f;
        if (n > 0 && t >= source.KeyGetTime(0) && t <= source.KeyGetTime(n - 1)) {
            const int k = std::min(static_cast<int>(std::floor(source.KeyFind(t, hint))), n - 1);
            interpolation = source.KeyGetInterpolation(k);
            tangent = source.KeyGetTangentMode(k);
            if (interpolation == kFCurveInterpolationCubic) {
                if (tangent == kFCurveTangentTCB) {
                    tangent = kFCurveTangentAuto;
                } else if (tangent == kFCurveTangentUser || tangent == kFCurveTangentUserBreak) {
                    d0 = source.EvaluateRightDerivative(t, hint);
                    d1 = source.EvaluateLeftDerivative(t, hint);
                }
            }
        }
        target.KeySet(i, t, value, interpolation, tangent, d0, d1);
    });
}

void KFCurveMergeRange(const KFCurve& base, const KFCurve& replacement, KFCurve& result)
{
    const int nb = base.KeyGetCount();
    const int nr = replacement.KeyGetCount();
    if (nb == 0) {
        if (nr > 0) result.CopyFrom(replacement, true);
        return;
    }
    if (nr == 0) {
        result.CopyFrom(base, true);
        return;
    }
    const KTime r0 = replacement.KeyGetTime(0), r1 = replacement.KeyGetTime(nr - 1);
    if (!(r0 > base.KeyGetTime(0) || r1 < base.KeyGetTime(nb - 1))) {
        result.CopyFrom(replacement, true);
        return;
    }
    // i0: first base key not before the replacement; after: first base key
    // after it. Binary searches keep the merge linear in the key count.
    auto firstAtOrAfter = [&](std::int64_t t, bool strictly) {
        int lo = 0, hi = nb;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            const std::int64_t kt = base.KeyRecord(mid).mTime;
            if (kt < t || (strictly && kt == t)) lo = mid + 1; else hi = mid;
        }
        return lo;
    };
    const int i0 = firstAtOrAfter(r0.Get(), false);
    const int after = std::max(firstAtOrAfter(r1.Get(), true), i0);
    // The key at the rounded-down position of the replacement's end.
    const int i1 = std::max(after - 1, 0);
    const std::int64_t total = static_cast<std::int64_t>(i0) + nr + (nb - after);
    if (total > kFCurveMaxKeyCount) return;
    result.BeginKeyModify();
    result.KeyClear();
    result.CopyFrom(base, false);
    result.ReserveKeys(static_cast<int>(total));
    int j = 0;
    for (int k = 0; k < i0; ++k) result.KeySetFromKey(j++, base.KeyRecord(k));
    const int firstInserted = j;
    for (int k = 0; k < nr; ++k) result.KeySetFromKey(j++, replacement.KeyRecord(k));
    const int lastInserted = j - 1;
    for (int k = after; k < nb; ++k) result.KeySetFromKey(j++, base.KeyRecord(k));

    auto userOrBreak = [&](int k) {
        const std::uint32_t mode = base.KeyGetTangentMode(k);
        return base.KeyGetInterpolation(k) == kFCurveInterpolationCubic &&
               (mode == kFCurveTangentUser || mode == kFCurveTangentUserBreak);
    };
    if (i0 - 1 >= 0 && i0 < nb && userOrBreak(i0 - 1))
        result.KeySetDataFloat(firstInserted - 1, 1, base.EvaluateRightDerivative(r0));
    if (i1 >= 0 && i1 < nb - 1 && userOrBreak(i1)) {
        result.KeySetInterpolation(lastInserted, kFCurveInterpolationCubic);
        result.KeySetTangentMode(lastInserted, kFCurveTangentUserBreak);
        result.KeySetDataFloat(lastInserted, 0, base.EvaluateLeftDerivative(r1));
        result.KeySetDataFloat(lastInserted, 1, base.KeyGetDataFloat(i1, 1));
    }
    result.EndKeyModify();
}

}  // namespace duzsdk
