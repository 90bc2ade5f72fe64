#pragma once
// Resampling of a curve at a fixed period, and the merge that puts a
// resampled (or refitted) span back between a curve's other keys.

#include "sdk/animation/KFCurveFilter.h"

namespace duzsdk {

class KFCurveFilterResample : public KFCurveFilter {
public:
    KFCurveFilterResample();
    using KFCurveFilter::Apply;
    bool Apply(KFCurve& curve) override;
    void Reset() override;
    const char* GetClassName() const override { return "KFCurveFilterResample"; }

    void SetAlignStart(bool on) { mAlignStart = on; }
    bool GetAlignStart() const { return mAlignStart; }
    KTime GetPeriod() const { return mPeriod; }
    void SetPeriod(KTime period) { mPeriod = period; }
    void SetKeepKeyShape(bool on) { mKeepKeyShape = on; }
    bool GetKeepKeyShape() const { return mKeepKeyShape; }

private:
    KTime mPeriod;
    bool mAlignStart = false;
    bool mKeepKeyShape = false;
};

// Samples the source into the target (keys cleared first) every period from
// start, with one more key at stop when withStop and the span is not a whole
// number of periods. False, target untouched, when the span or period is not
// usable or would give more than kFCurveFilterMaxSamples keys.
bool KFCurveResample(const KFCurve& source, KFCurve& target, KTime start, KTime stop, KTime period,
                     std::uint32_t interpolation, std::uint32_t tangentMode, bool withStop);
// The same sampling, each key taking the interpolation of the source key it
// falls on, and the source's slopes where that key has user tangents.
bool KFCurveResampleKeepShape(const KFCurve& source, KFCurve& target, KTime start, KTime stop, KTime period,
                              bool withStop);
// The result holds the base's keys outside the replacement's key span and the
// replacement's keys inside it. The result must not be the base or the
// replacement.
void KFCurveMergeRange(const KFCurve& base, const KFCurve& replacement, KFCurve& result);

}  // namespace duzsdk
