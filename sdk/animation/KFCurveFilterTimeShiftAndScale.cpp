#include "sdk/animation/KFCurveFilterTimeShiftAndScale.h"

namespace duzsdk {

KFCurveFilterTimeShiftAndScale::KFCurveFilterTimeShiftAndScale()
    : KFCurveFilter("TimeShiftAndScaleFilter", kFCurveFilterBaseMessages, 2)
{
}

bool KFCurveFilterTimeShiftAndScale::Apply(KFCurve& curve)
{
    // NaN and infinite scales are no scale at all.
    const bool scaled = mScale > 0.0 && mScale != 1.0 && mScale < 1e300;
    if (!scaled && mShift.Get() == 0) {
        Fail(1, "TimeShiftAndScaleFilter, No key were changed by filter.");
        return false;
    }
    const int n = curve.KeyGetCount();
    if (n == 0) {
        Fail(0, "TimeShiftAndScaleFilter, No key to be filtered.");
        return false;
    }
    curve.BeginKeyModify();
    for (int i = 0; i < n; ++i) {
        KTime t = curve.KeyGetTime(i).Add(mShift);
        if (scaled) t.SetSecondDouble(t.GetSecondDouble() * mScale);
        curve.KeySetTime(i, t);
    }
    curve.EndKeyModify();
    return true;
}

}  // namespace duzsdk
