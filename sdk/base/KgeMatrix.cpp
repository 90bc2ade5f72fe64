#include "sdk/base/KgeMatrix.h"

#include <cstring>

#include "sdk/base/KgeMath.h"

namespace duzsdk {

namespace {

constexpr double kMatrixTolerance = 1e-6;

struct Decomposition {
    double translation[3];
    double eulerXYZ[3];
    double scaling[3];
};

Decomposition Decompose(const double* m) {
    Decomposition d;
    d.translation[0] = m[12];
    d.translation[1] = m[13];
    d.translation[2] = m[14];
    KgeMatrixGetScaling(d.scaling, m);
    double axes[16];
    KgeMatrixGetRotationAxes(axes, m, d.scaling);
    KgeMatrixToEulerXYZ(d.eulerXYZ, axes);
    return d;
}

}  // namespace

KgeMatrix::KgeMatrix() { ResetToIdentity(); }

KgeMatrix::KgeMatrix(const double* elements16) { std::memcpy(mData, elements16, sizeof(mData)); }

KgeMatrix KgeMatrix::FromAffine(const KgeMatrix& other) {
    KgeMatrix m;
    m.CopyAffine(other);
    return m;
}

KgeMatrix KgeMatrix::FromEulerXYZ(double x, double y, double z) {
    KgeMatrix m;
    KgeEulerXYZToMatrix(m.mData, x, y, z);
    return m;
}

void KgeMatrix::ResetToIdentity() {
    for (int i = 0; i < 16; ++i) {
        mData[i] = (i % 5 == 0) ? 1.0 : 0.0;
    }
}

void KgeMatrix::CopyAffine(const KgeMatrix& other) { KgeMatrixCopyAffine(mData, other.mData); }

double KgeMatrix::GetElement(int row, int column) const {
    if (row < 0 || row > 3 || column < 0 || column > 3) {
        return 0.0;
    }
    return mData[4 * row + column];
}

void KgeMatrix::SetElement(int row, int column, double value) {
    if (row >= 0 && row <= 3 && column >= 0 && column <= 3) {
        mData[4 * row + column] = value;
    }
}

KgeTVector KgeMatrix::GetTranslation() const {
    return KgeTVector(mData[12], mData[13], mData[14], 0.0);
}

KgeTVector KgeMatrix::GetScaling() const {
    KgeTVector s;
    KgeMatrixGetScaling(s.Data(), mData);
    return s;
}

KgeTVector KgeMatrix::GetEulerXYZ() const {
    KgeTVector r;
    KgeMatrixToEulerXYZUnscaled(r.Data(), mData);
    return r;
}

KgeTVector KgeMatrix::TransformPoint(const KgeTVector& point) const {
    KgeTVector r;
    KgeMatrixTransformPoint(r.Data(), mData, point.Data());
    return r;
}

KgeMatrix KgeMatrix::MultiplyAffine(const KgeMatrix& other) const {
    KgeMatrix r;
    KgeMatrixMultiplyAffine(r.mData, mData, other.mData);
    return r;
}

KgeMatrix KgeMatrix::InverseOrthogonal() const {
    KgeMatrix r;
    KgeMatrixInverseOrthogonal(r.mData, mData);
    return r;
}

KgeMatrix KgeMatrix::Transpose() const {
    KgeMatrix r;
    KgeMatrixTranspose(r.mData, mData);
    return r;
}

bool KgeMatrix::IsEqual(const KgeMatrix& other) const {
    return KgeMatrixCompareFull(mData, other.mData, kMatrixTolerance) == 0;
}

bool KgeMatrix::IsNotEqual(const KgeMatrix& other) const {
    return KgeMatrixCompare(mData, other.mData, kMatrixTolerance) != 0;
}

void KgeMatrix::SetTRS(const KgeTVector& translation, const KgeTVector& rotation,
                       const KgeTVector& scaling) {
    double composed[16];
    KgeMatrixComposeTRS(composed, translation.Data(), rotation.Data(), scaling.Data());
    KgeMatrixCopyAffine(mData, composed);
}

void KgeMatrix::SetTranslationKeepRS(const KgeTVector& translation) {
    const Decomposition d = Decompose(mData);
    double composed[16];
    KgeMatrixComposeTRS(composed, translation.Data(), d.eulerXYZ, d.scaling);
    KgeMatrixCopyAffine(mData, composed);
}

void KgeMatrix::SetRotationKeepTS(const KgeTVector& rotation) {
    const Decomposition d = Decompose(mData);
    double composed[16];
    KgeMatrixComposeTRS(composed, d.translation, rotation.Data(), d.scaling);
    KgeMatrixCopyAffine(mData, composed);
}

void KgeMatrix::SetQuaternionKeepTS(const KgeQuaternion& rotation) {
    const Decomposition d = Decompose(mData);
    double composed[16];
    KgeMatrixComposeTQS(composed, d.translation, rotation.Data(), d.scaling);
    KgeMatrixCopyAffine(mData, composed);
}

void KgeMatrix::SetScalingKeepTR(const KgeTVector& scaling) {
    const Decomposition d = Decompose(mData);
    double composed[16];
    KgeMatrixComposeTRS(composed, d.translation, d.eulerXYZ, scaling.Data());
    KgeMatrixCopyAffine(mData, composed);
}

}  // namespace duzsdk
