#pragma once
// Removes runs of keys that do not change a curve's value.

#include "sdk/animation/KFCurveFilter.h"

namespace duzsdk {

class KFCurveFilterConstantKeyReducer : public KFCurveFilter {
public:
    KFCurveFilterConstantKeyReducer();
    using KFCurveFilter::Apply;
    bool Apply(KFCurve& curve) override;
    // Picks the tolerance of the channel kind from the node's (or its
    // parent's) name; quaternion and all-constant trees are left alone.
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    void Reset() override;
    const char* GetClassName() const override { return "KFCurveFilterConstantKeyReducer"; }

    double GetTolerance() const { return mTolerance; }
    void SetTolerance(double tolerance) { mTolerance = tolerance; }
    void SetTranslationTolerance(double t) { mTranslationTolerance = t; }
    void SetRotationTolerance(double t) { mRotationTolerance = t; }
    void SetScalingTolerance(double t) { mScalingTolerance = t; }
    void SetOtherTolerance(double t) { mOtherTolerance = t; }
    bool GetKeepFirstAndLastKeys() const { return mKeepFirstAndLast; }
    void SetKeepFirstAndLastKeys(bool on) { mKeepFirstAndLast = on; }
    bool GetKeepOneKey() const { return mKeepFirstKey; }
    void SetKeepOneKey(bool on) { mKeepFirstKey = on; }

private:
    bool IsConstant(const KFCurve& curve, const int* window, int count, float v) const;

    double mTolerance = 0.009;
    double mTranslationTolerance = 0.00009;
    double mRotationTolerance = 0.009;
    double mScalingTolerance = 0.004;
    double mOtherTolerance = 0.009;
    bool mKeepFirstAndLast = false;
    bool mKeepFirstKey = false;
};

}  // namespace duzsdk
