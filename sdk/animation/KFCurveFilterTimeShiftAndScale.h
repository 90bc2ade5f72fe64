#pragma once
// Moves every key of a curve in time, then scales the times.

#include "sdk/animation/KFCurveFilter.h"

namespace duzsdk {

class KFCurveFilterTimeShiftAndScale : public KFCurveFilter {
public:
    KFCurveFilterTimeShiftAndScale();
    using KFCurveFilter::Apply;
    bool Apply(KFCurve& curve) override;
    const char* GetClassName() const override { return "KFCurveFilterTimeShiftAndScale"; }

    KTime GetShift() const { return mShift; }
    void SetShift(KTime shift) { mShift = shift; }
    double GetScale() const { return mScale; }
    void SetScale(double scale) { mScale = scale; }

private:
    KTime mShift{0};
    double mScale = 1.0;
};

}  // namespace duzsdk
