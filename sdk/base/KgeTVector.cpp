#include "sdk/base/KgeTVector.h"

#include <algorithm>
#include <cmath>

#include "sdk/base/KgeMath.h"

namespace duzsdk {

KgeTVector::KgeTVector(const double* xyzw) { CopyFrom(xyzw); }

void KgeTVector::SetXYZW(double x, double y, double z, double w) {
    mData[0] = x;
    mData[1] = y;
    mData[2] = z;
    mData[3] = w;
}

void KgeTVector::CopyFrom(const double* xyzw) { std::copy(xyzw, xyzw + 4, mData); }

double KgeTVector::GetElement(int i) const { return (i >= 0 && i < 4) ? mData[i] : 0.0; }

void KgeTVector::SetElement(int i, double value) {
    if (i >= 0 && i < 4) {
        mData[i] = value;
    }
}

double& KgeTVector::ElementRef(int i) { return mData[std::clamp(i, 0, 3)]; }

const double& KgeTVector::ElementRef(int i) const { return mData[std::clamp(i, 0, 3)]; }

KgeTVector KgeTVector::operator+(const KgeTVector& other) const {
    KgeTVector r(*this);
    return r += other;
}

KgeTVector KgeTVector::operator-(const KgeTVector& other) const {
    KgeTVector r(*this);
    return r -= other;
}

KgeTVector KgeTVector::operator-() const {
    return KgeTVector(-mData[0], -mData[1], -mData[2], -mData[3]);
}

KgeTVector KgeTVector::operator*(double s) const {
    KgeTVector r(*this);
    return r *= s;
}

KgeTVector KgeTVector::operator/(double s) const {
    KgeTVector r(*this);
    return r /= s;
}

KgeTVector& KgeTVector::operator+=(const KgeTVector& other) {
    KgeVector4Add(mData, mData, other.mData);
    return *this;
}

KgeTVector& KgeTVector::operator-=(const KgeTVector& other) {
    for (int i = 0; i < 4; ++i) {
        mData[i] -= other.mData[i];
    }
    return *this;
}

KgeTVector& KgeTVector::operator*=(double s) {
    KgeVector4Scale(mData, mData, s);
    return *this;
}

KgeTVector& KgeTVector::operator/=(double s) {
    for (double& v : mData) {
        v /= s;
    }
    return *this;
}

double KgeTVector::DotProduct(const KgeTVector& other) const {
    return mData[0] * other.mData[0] + mData[1] * other.mData[1] + mData[2] * other.mData[2];
}

double KgeTVector::Length() const { return std::sqrt(DotProduct(*this)); }

KgeTVector KgeTVector::CrossProduct(const KgeTVector& other) const {
    const double* a = mData;
    const double* b = other.mData;
    return KgeTVector(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                      a[0] * b[1] - a[1] * b[0], 0.0);
}

KgeTVector& KgeTVector::Normalize() {
    KgeVector3Normalize(mData, mData);
    return *this;
}

bool KgeTVector::IsEqual(const KgeTVector& other) const {
    return KgeVector3Compare(mData, other.mData, 1e-6) == 0;
}

}  // namespace duzsdk
