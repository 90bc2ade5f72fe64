#include "sdk/animation/KFCurveFilterMatrixConverter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "sdk/animation/KFCurveFilterConstantKeyReducer.h"
#include "sdk/animation/KFCurveFilterResample.h"
#include "sdk/animation/KFCurveFilterUnroll.h"
#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeRotationOrder.h"

namespace duzsdk {

namespace {

const char* const kMessages[] = {
    "No key", "Left unchanged", "Invalid Apply method.  Use KFCurveFilterMatrixConverter::Apply(KFCurveNode&, bool)",
    "Missing at least a transform KFCurve.  pCurveNode must possess T(x, y, z), R(x, y, z), S(x, y, z) KFCurves"};

// An axis shorter than this has no direction to keep.
constexpr double kZeroScale = 1e-12;

void Identity(double* m)
{
    std::memset(m, 0, 16 * sizeof(double));
    m[0] = m[5] = m[10] = m[15] = 1.0;
}

// out := x·y, x applied to a point first. out may be x or y.
void Then(double* out, const double* x, const double* y)
{
    double tmp[16];
    Identity(tmp);
    KgeMatrixMultiplyAffine(tmp, y, x);
    std::memcpy(out, tmp, sizeof tmp);
}

void Inverse(double* out, const double* m)
{
    double tmp[16];
    Identity(tmp);
    KgeMatrixInverseOrthogonal(tmp, m);
    std::memcpy(out, tmp, sizeof tmp);
}

// Inverse of diagonal(s, 1), a zero axis counting as 1.
void InverseDiagonal(double* out, const double* s)
{
    Identity(out);
    for (int i = 0; i < 3; ++i) out[5 * i] = std::fabs(s[i]) < kZeroScale ? 1.0 : 1.0 / s[i];
}

bool HasZeroAxis(const double* s)
{
    return std::fabs(s[0]) < kZeroScale || std::fabs(s[1]) < kZeroScale || std::fabs(s[2]) < kZeroScale;
}

bool Finite3(const double* v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

struct CurveDeleter {
    void operator()(KFCurve* c) const { KFCurveObjectDelete(c); }
};

}  // namespace

// --- matrix set ----------------------------------------------------------------------

KFCurveFilterMatrixSet::KFCurveFilterMatrixSet() { ResetFlags(); }

void KFCurveFilterMatrixSet::SetMatrix(int index, const KgeMatrix& matrix)
{
    if (index < 0 || index >= kCount) return;
    mMatrices[index] = KgeMatrix::FromAffine(matrix);
    mIdentity[index] = !mMatrices[index].IsNotEqual(KgeMatrix());
    mAllIdentity = true;
    for (int i = 0; i < kCount; ++i) mAllIdentity = mAllIdentity && mIdentity[i];
}

void KFCurveFilterMatrixSet::ResetFlags()
{
    for (int i = 0; i < kCount; ++i) mIdentity[i] = true;
    mAllIdentity = true;
}

void KFCurveFilterMatrixSet::InvertNonIdentity()
{
    for (int i = 0; i < kCount; ++i) {
        if (!mIdentity[i]) mMatrices[i] = mMatrices[i].InverseOrthogonal();
    }
}

bool KFCurveFilterMatrixSet::IsEqual(const KFCurveFilterMatrixSet& other) const
{
    for (int i = 0; i < kCount; ++i) {
        const KgeMatrix& a = mIdentity[i] ? KgeMatrix() : mMatrices[i];
        const KgeMatrix& b = other.mIdentity[i] ? KgeMatrix() : other.mMatrices[i];
        if (a.IsNotEqual(b)) return false;
    }
    return true;
}

// --- converter -----------------------------------------------------------------------

KFCurveFilterMatrixConverter::KFCurveFilterMatrixConverter() : KFCurveFilter("FCurve Matrix Converter", kMessages, 4)
{
    KFCurveFilterMatrixConverter::Reset();
}

void KFCurveFilterMatrixConverter::Reset()
{
    mAlignStart = mKeyAtStop = mUnrollAfter = mReduceAfter = mRewriteTranslation = true;
    mSource.ResetFlags();
    mDestination.ResetFlags();
    KFCurveFilter::Reset();
}

bool KFCurveFilterMatrixConverter::Apply(KFCurve&)
{
    Fail(2, "MatrixConverter, invalid apply method.");
    return false;
}

bool KFCurveFilterMatrixConverter::Apply(KFCurve**, int)
{
    Fail(2, "MatrixConverter, invalid apply method.");
    return false;
}

void KFCurveFilterMatrixConverter::Compose(double* g, const double* t, const double* r, const double* s)
{
    const KFCurveFilterMatrixSet& a = mSource;
    auto A = [&](int i) { return a.GetMatrix(i).Data(); };
    auto has = [&](int i) { return !a.IsIdentity(i); };
    double T[16], R[16], S[16];
    Identity(T);
    T[12] = t[0], T[13] = t[1], T[14] = t[2];
    Identity(R);
    KgeRotationOrder(mSourceOrder).EulerToMatrix(R, r);
    Identity(S);
    S[0] = s[0], S[5] = s[1], S[10] = s[2];

    Identity(g);
    KgeMatrixCopyAffine(g, A(0));
    if (has(1)) Then(g, A(1), g);
    Then(g, T, g);
    if (has(2)) Then(g, A(2), g);
    if (has(8)) {
        double e[16];
        Identity(e);
        if (has(3)) KgeMatrixCopyAffine(e, A(3));
        else if (has(9)) KgeMatrixCopyAffine(e, A(9));
        Then(e, R, e);
        if (has(4)) Then(e, A(4), e);
        else if (has(10)) Then(e, A(10), e);
        Then(e, A(8), e);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) e[4 * i + j] = i == j ? 1.0 : 0.0;
        Then(g, e, g);
        mRewriteTranslation = true;
    }
    if (has(11)) Then(g, A(11), g);
    if (has(3)) Then(g, A(3), g);
    Then(g, R, g);
    if (has(4)) Then(g, A(4), g);
    if (has(11)) {
        double inv[16];
        Inverse(inv, A(11));
        Then(g, inv, g);
        mRewriteTranslation = true;
    }
    if (has(12)) Then(g, A(12), g);
    if (has(5)) Then(g, A(5), g);
    Then(g, S, g);
    if (has(6)) Then(g, A(6), g);
    if (has(12)) {
        double inv[16];
        Inverse(inv, A(12));
        Then(g, inv, g);
        mRewriteTranslation = true;
    }
    if (has(7)) Then(g, A(7), g);
}

void KFCurveFilterMatrixConverter::Decompose(const double* g, double* t, double* r, double* s,
                                             const double* previousRotation) const
{
    const KFCurveFilterMatrixSet& b = mDestination;
    auto B = [&](int i) { return b.GetMatrix(i).Data(); };
    auto has = [&](int i) { return !b.IsIdentity(i); };
    double m[16], inv[16];
    if (b.IsAllIdentity()) {
        KgeMatrixGetScaling(s, g);
        if (HasZeroAxis(s)) {
            // One collapsed axis is rebuilt from the other two.
            Identity(m);
            KgeMatrixGetRotationAxes(m, g, s);
            KgeMatrixToEulerXYZ(r, m);
        } else {
            InverseDiagonal(inv, s);
            Then(m, inv, g);
            KgeMatrixToEulerXYZUnscaled(r, m);
        }
        for (int i = 0; i < 3; ++i) t[i] = g[12 + i];
    } else {
        Identity(m);
        if (has(6)) KgeMatrixCopyAffine(m, B(6));
        if (has(7)) Then(m, m, B(7));
        Then(m, m, g);
        if (has(1)) Then(m, m, B(1));
        if (has(0)) Then(m, m, B(0));
        double k[3] = {1.0, 1.0, 1.0};
        for (int i : {5, 4, 3, 2}) {
            if (!has(i)) continue;
            double a[3];
            KgeMatrixGetScaling(a, B(i));
            for (int c = 0; c < 3; ++c) k[c] *= a[c];
        }
        double v[3];
        KgeMatrixGetScaling(v, m);
        double d[3];
        for (int c = 0; c < 3; ++c) d[c] = std::fabs(k[c]) < kZeroScale ? 0.0 : v[c] / k[c];
        const bool negative = d[0] * d[1] * d[2] < 0.0;
        for (int c = 0; c < 3; ++c) s[c] = negative ? -std::fabs(d[c]) : std::fabs(d[c]);
        double p[16];
        Identity(p);
        if (has(4)) KgeMatrixCopyAffine(p, B(4));
        if (has(5)) Then(p, p, B(5));
        InverseDiagonal(inv, d);
        Then(p, p, inv);
        Then(m, p, m);
        double f[16], e[3];
        Identity(f);
        const int fixed = has(2) ? 2 : (has(3) ? 3 : -1);
        if (fixed >= 0) {
            KgeMatrixToEulerXYZUnscaled(e, B(fixed));
            KgeEulerXYZToMatrix(f, e[0], e[1], e[2]);
        }
        KgeMatrixTranspose3x3(f, f);
        double h[16];
        Identity(h);
        KgeMatrixToEulerXYZUnscaled(e, m);
        KgeEulerXYZToMatrix(h, e[0], e[1], e[2]);
        KgeMatrixMultiply3x3(f, f, h);
        KgeMatrixToEulerXYZ(r, f);
        Identity(p);
        if (has(2)) KgeMatrixCopyAffine(p, B(2));
        if (has(3)) Then(p, p, B(3));
        Inverse(inv, f);
        Then(p, p, inv);
        Then(m, p, m);
        for (int i = 0; i < 3; ++i) t[i] = m[12 + i];
    }
    // Two collapsed axes (scale keys of 0) leave no rotation to read.
    const int zeroAxes = (std::fabs(s[0]) < kZeroScale) + (std::fabs(s[1]) < kZeroScale) + (std::fabs(s[2]) < kZeroScale);
    const bool lost = b.IsAllIdentity() ? zeroAxes >= 2 : zeroAxes >= 1;
    if ((lost || !Finite3(r)) && previousRotation) {
        for (int i = 0; i < 3; ++i) r[i] = previousRotation[i];
    }
}

void KFCurveFilterMatrixConverter::ConvertTriples(const double* tIn, const double* rIn, const double* sIn,
                                                  double* tOut, double* rOut, double* sOut,
                                                  const double* previousRotation)
{
    double g[16];
    Compose(g, tIn, rIn, sIn);
    Decompose(g, tOut, rOut, sOut, previousRotation);
    if (mDestinationOrder != 0) {
        double m[16];
        Identity(m);
        KgeEulerXYZToMatrix(m, rOut[0], rOut[1], rOut[2]);
        KgeRotationOrder(mDestinationOrder).MatrixToEuler(rOut, m);
    }
}

bool KFCurveFilterMatrixConverter::Convert(KFCurveNode& node)
{
    KFCurve* source[9] = {};
    if (!node.GetTRSCurves(source, source + 3, source + 6)) {
        Fail(3, "MatrixConverter, Missing curve.");
        return false;
    }
    std::unique_ptr<KFCurve, CurveDeleter> made[9];
    KFCurve* out[9];
    for (int i = 0; i < 9; ++i) {
        made[i].reset(KFCurveCreate());
        if (!made[i]) return false;
        out[i] = made[i].get();
        out[i]->CopyFrom(*source[i], false);
    }
    double in[9], res[9];
    for (int i = 0; i < 9; ++i) in[i] = source[i]->GetDefaultValue();
    double previous[3] = {in[3], in[4], in[5]};
    ConvertTriples(in, in + 3, in + 6, res, res + 3, res + 6, previous);
    for (int i = 0; i < 9; ++i) out[i]->SetDefaultValue(static_cast<float>(res[i]));
    if (Finite3(res + 3) && mDestinationOrder == 0) std::copy(res + 3, res + 6, previous);

    bool anyKeys = false;
    std::int64_t first = kFCurveFilterInfinite, last = kFCurveFilterMinusInfinite;
    for (KFCurve* c : source) {
        const int n = c->KeyGetCount();
        if (n == 0) continue;
        anyKeys = true;
        first = std::min(first, c->KeyRecord(0).mTime);
        last = std::max(last, c->KeyRecord(n - 1).mTime);
    }
    if (anyKeys) {
        const std::int64_t period = mPeriod.Get();
        std::int64_t start = std::max(first, GetStartTime().Get());
        const std::int64_t stop = std::min(last, GetStopTime().Get());
        if (mAlignStart) start = start / period * period;
        const double count = (KTime(stop).Subtract(KTime(start)).GetSecondDouble() / mPeriod.GetSecondDouble()) + 2.0;
        if (!(count <= static_cast<double>(kFCurveFilterMaxSamples))) {
            Fail(1, "MatrixConverter, Too many samples. No key were changed by filter.");
            return false;
        }
        for (KFCurve* c : out) {
            c->ReserveKeys(static_cast<int>(count));
            c->BeginKeyModify();
        }
        KFCurveNode* groups[3] = {node.FindByPath("T"), node.FindByPath("R"), node.FindByPath("S")};
        int hints[9] = {};
        const double margin = 0.025 * static_cast<double>(period);
        int j = 0;
        auto sample = [&](std::int64_t t) {
            double values[9];
            for (int g = 0; g < 3; ++g) {
                double v[8] = {};
                if (groups[g]->GetValueCount() >= 3 && groups[g]->GetValueCount() <= 8) {
                    groups[g]->Evaluate(v, KTime(t), nullptr, true);
                } else {
                    for (int a = 0; a < 3; ++a) v[a] = source[3 * g + a]->Evaluate(KTime(t), &hints[3 * g + a]);
                }
                for (int a = 0; a < 3; ++a) values[3 * g + a] = v[a];
            }
            ConvertTriples(values, values + 3, values + 6, res, res + 3, res + 6, previous);
            if (Finite3(res + 3) && mDestinationOrder == 0) std::copy(res + 3, res + 6, previous);
            for (int i = 0; i < 9; ++i) {
                std::uint32_t interpolation = kFCurveInterpolationCubic, tangent = kFCurveTangentAuto;
                const int n = source[i]->KeyGetCount();
                const int k = n ? static_cast<int>(source[i]->KeyFind(KTime(t), &hints[i])) : -1;
                if (k >= 0 && k < n && source[i]->KeyRecord(k).mTime <= t) {
                    interpolation = source[i]->KeyGetInterpolation(k);
                    tangent = source[i]->KeyGetTangentMode(k);
                    if (tangent != 0x100 && tangent != 0x200 && tangent != 0x400 && tangent != 0x900 &&
                        tangent != 0xC00)
                        tangent = kFCurveTangentAuto;
                }
                out[i]->KeySet(j, KTime(t), static_cast<float>(res[i]), interpolation, tangent, 0.0f, 0.0f);
            }
            ++j;
        };
        std::int64_t t = start;
        while (static_cast<double>(t) < static_cast<double>(stop) - margin) {
            sample(t);
            if (t > kFCurveFilterInfinite - period) break;
            t += period;
        }
        sample(mKeyAtStop ? stop : t);
        for (KFCurve* c : out) c->EndKeyModify();
    }
    for (int i = 3; i < 9; ++i) source[i]->CopyFrom(*out[i], true);
    if (mRewriteTranslation) {
        for (int i = 0; i < 3; ++i) source[i]->CopyFrom(*out[i], true);
    }
    return true;
}

bool KFCurveFilterMatrixConverter::Apply(KFCurveNode& node, bool)
{
    if (mSource.IsEqual(mDestination) && !mForce && mSourceOrder == mDestinationOrder) {
        Fail(1, "MatrixConverter, No key were changed by filter.");
        return false;
    }
    // The span cannot be aligned to, nor sampled at, a period of 0.
    if (mPeriod.Get() <= 0) {
        Fail(1, "MatrixConverter, Invalid period. No key were changed by filter.");
        return false;
    }
    mDestination.InvertNonIdentity();
    const bool result = Convert(node);
    mDestination.InvertNonIdentity();
    if (mUnrollAfter) {
        if (KFCurveNode* r = node.FindByPath("R")) {
            KFCurveFilterUnroll unroll;
            unroll.Apply(*r, true);
            KFCurveFilterResample resample;
            resample.SetKeepKeyShape(true);
            resample.SetPeriod(mPeriod);
            resample.SetAlignStart(mAlignStart);
            resample.Apply(*r, true);
        }
    }
    if (mReduceAfter) {
        KFCurveFilterConstantKeyReducer reducer;
        reducer.Apply(node, true);
    }
    node.InvalidateCache(0, true);
    return result;
}

}  // namespace duzsdk
