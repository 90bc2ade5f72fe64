#pragma once
// Re-expresses the translation, rotation and scaling animation of a transform
// node under another set of fixed matrices and another rotation order, by
// sampling the world matrix and decomposing it again.

#include "sdk/animation/KFCurveFilter.h"
#include "sdk/base/KgeMatrix.h"

namespace duzsdk {

// Thirteen fixed matrices of a transform; see KFCurveFilterMatrixConverter.
class KFCurveFilterMatrixSet {
public:
    static constexpr int kCount = 13;
    KFCurveFilterMatrixSet();
    void SetMatrix(int index, const KgeMatrix& matrix);
    const KgeMatrix& GetMatrix(int index) const { return mMatrices[index]; }
    bool IsIdentity(int index) const { return mIdentity[index]; }
    bool IsAllIdentity() const { return mAllIdentity; }
    void ResetFlags();
    void InvertNonIdentity();
    bool IsEqual(const KFCurveFilterMatrixSet& other) const;

private:
    KgeMatrix mMatrices[kCount];
    bool mIdentity[kCount];
    bool mAllIdentity = true;
};

class KFCurveFilterMatrixConverter : public KFCurveFilter {
public:
    KFCurveFilterMatrixConverter();
    using KFCurveFilter::Apply;
    // Works on whole transform nodes only.
    bool Apply(KFCurve& curve) override;
    bool Apply(KFCurve** curves, int count) override;
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    void Reset() override;
    const char* GetClassName() const override { return "KFCurveFilterMatrixConverter"; }

    void SetSourceMatrix(int index, const KgeMatrix& matrix) { mSource.SetMatrix(index, matrix); }
    void SetDestinationMatrix(int index, const KgeMatrix& matrix) { mDestination.SetMatrix(index, matrix); }
    void SetPeriod(KTime period) { mPeriod = period; }
    KTime GetPeriod() const { return mPeriod; }
    void SetKeyAtStop(bool on) { mKeyAtStop = on; }
    void SetUnrollAfter(bool on) { mUnrollAfter = on; }
    void SetReduceAfter(bool on) { mReduceAfter = on; }
    void SetRewriteTranslation(bool on) { mRewriteTranslation = on; }
    void SetAlignStart(bool on) { mAlignStart = on; }
    void SetForce(bool on) { mForce = on; }
    void SetSourceRotationOrder(int order) { mSourceOrder = order; }
    void SetDestinationRotationOrder(int order) { mDestinationOrder = order; }

    // The world matrix of a T, R, S triple set under the source set.
    void Compose(double* g, const double* t, const double* r, const double* s);
    // The T, R (Euler XYZ), S triples of g under the destination set as it is
    // during a conversion (non-identity matrices inverted). A zero scaling
    // axis keeps `previousRotation`.
    void Decompose(const double* g, double* t, double* r, double* s, const double* previousRotation) const;

private:
    bool Convert(KFCurveNode& node);
    void ConvertTriples(const double* tIn, const double* rIn, const double* sIn, double* tOut, double* rOut,
                        double* sOut, const double* previousRotation);

    KFCurveFilterMatrixSet mSource;
    KFCurveFilterMatrixSet mDestination;
    KTime mPeriod{0};
    bool mAlignStart = true;
    bool mUnrollAfter = true;
    bool mReduceAfter = true;
    int mSourceOrder = 0;
    int mDestinationOrder = 0;
    bool mKeyAtStop = true;
    bool mRewriteTranslation = true;
    bool mForce = false;
};

}  // namespace duzsdk
