#include "sdk/base/KgeQuaternion.h"

#include <algorithm>
#include <cmath>

#include "sdk/base/KgeMath.h"

namespace duzsdk {

KgeQuaternion::KgeQuaternion(const double* xyzw) { std::copy(xyzw, xyzw + 4, mData); }

KgeQuaternion KgeQuaternion::FromEulerXYZ(double x, double y, double z) {
    KgeQuaternion q;
    KgeQuaternionFromEulerXYZ(q.mData, x, y, z);
    return q;
}

KgeQuaternion KgeQuaternion::FromMatrix(const double* m) {
    KgeQuaternion q;
    KgeMatrixToQuaternion(q.mData, m);
    return q;
}

double& KgeQuaternion::operator[](int i) { return mData[std::clamp(i, 0, 3)]; }

const double& KgeQuaternion::operator[](int i) const { return mData[std::clamp(i, 0, 3)]; }

KgeQuaternion KgeQuaternion::operator*(const KgeQuaternion& other) const {
    KgeQuaternion r;
    KgeQuaternionMultiply(r.mData, mData, other.mData);
    return r;
}

KgeQuaternion& KgeQuaternion::operator*=(const KgeQuaternion& other) {
    KgeQuaternionMultiply(mData, mData, other.mData);
    return *this;
}

KgeQuaternion KgeQuaternion::Conjugate() const {
    return KgeQuaternion(-mData[0], -mData[1], -mData[2], mData[3]);
}

double KgeQuaternion::Length() const { return std::sqrt(KgeVector4Dot(mData, mData)); }

KgeQuaternion& KgeQuaternion::Normalize() {
    KgeVector4Normalize(mData, mData);
    return *this;
}

void KgeQuaternion::ToMatrix(double* m) const { KgeQuaternionToMatrix(m, mData); }

void KgeQuaternion::ToEulerXYZ(double* out) const { KgeQuaternionToEulerXYZ(out, mData); }

}  // namespace duzsdk
