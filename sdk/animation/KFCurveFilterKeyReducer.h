#pragma once
// Replaces the keys of a curve span by the fewest cubic keys that stay within
// a tolerance of the curve, splitting at the worst-fitting key.

#include <vector>

#include "sdk/animation/KFCurveFilter.h"

namespace duzsdk {

class KFCurveFilterKeyReducer : public KFCurveFilter {
public:
    KFCurveFilterKeyReducer();
    using KFCurveFilter::Apply;
    bool Apply(KFCurve& curve) override;
    bool Apply(KFCurve** curves, int count) override;
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    void Reset() override;
    const char* GetClassName() const override { return "KFCurveFilterKeyReducer"; }

    double GetTolerance() const { return mTolerance; }
    void SetTolerance(double tolerance) { mTolerance = tolerance; }
    bool GetKeySync() const { return mKeySync; }
    void SetKeySync(bool on) { mKeySync = on; }

private:
    void Refine(const KFCurve& curve, std::vector<KFCurveKey>& fitted, std::vector<char>& present, int lo, int hi);
    double WorstError(const KFCurve& curve, const std::vector<KFCurveKey>& fitted, int lo, int hi,
                      int* worst) const;

    double mTolerance = 1.0;
    int mDepth = 0;
    KFCurve* mSegment = nullptr;  // the working segment during an apply
    std::vector<float> mInner;    // the curve's values inside each key interval
    bool mKeySync = false;
};

}  // namespace duzsdk
