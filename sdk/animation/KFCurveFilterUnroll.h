#pragma once
// Makes Euler rotation curves continuous: each key's triple is replaced by the
// equivalent triple nearest the previous one.

#include "sdk/animation/KFCurveFilter.h"

namespace duzsdk {

class KFCurveFilterUnroll : public KFCurveFilter {
public:
    KFCurveFilterUnroll();
    using KFCurveFilter::Apply;
    bool Apply(KFCurve& curve) override;
    // Only three curves, taken as X, Y and Z of a rotation.
    bool Apply(KFCurve** curves, int count) override;
    // Only a rotation node with "X", "Y" and "Z" curves.
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    void Reset() override;
    const char* GetClassName() const override { return "KFCurveFilterUnroll"; }

    void SetTestPath(bool on) { mTestPath = on; }
    bool GetTestPath() const { return mTestPath; }
    void SetQualityThreshold(double threshold) { mQuality = threshold; }
    double GetQualityThreshold() const { return mQuality; }

private:
    double mQuality = 0.25;
    bool mTestPath = false;
};

// Squared rotation angle of the step from a to b (Euler XYZ degrees) over the
// squared distance of the triples; 100 for triples that coincide.
double KFCurveFilterUnrollPathQuality(const double* a, const double* b);

}  // namespace duzsdk
