#include "sdk/base/KgeRotationOrder.h"

#include <algorithm>
#include <cmath>

#include "sdk/base/KgeMath.h"

namespace duzsdk {

namespace {

// asin of a value that rounding may have pushed just outside [-1, 1].
double ClampedAsin(double v) { return std::asin(std::clamp(v, -1.0, 1.0)); }

// The spheric order: the x axis is turned to its place by a rotation through y
// and z given as half angles, then rolled about itself by x.
void SphericToMatrix(double* out, const double* angles) {
    const double hx = angles[0] * kKgeDegreesToHalfRadians;
    const double hy = angles[1] * kKgeDegreesToHalfRadians;
    const double hz = angles[2] * kKgeDegreesToHalfRadians;
    const double sx = std::sin(hx), cx = std::cos(hx);
    const double sy = std::sin(hy), cy = std::cos(hy);
    const double sz = std::sin(hz), cz = std::cos(hz);
    const double q[4] = {sx * cy * cz, sx * sz + sy * cx, sz * cx - sx * sy, cz * cy * cx};
    KgeQuaternionToMatrix(out, q);
}

void MatrixToSpheric(double* angles, const double* m) {
    // With the x axis turned back onto -x the direction angles are not defined;
    // the order reports (180, 180, 180) for it. The roll about x is lost there,
    // so such a matrix does not rebuild from its angles; stored files rely on
    // these values, so they are kept.
    if (!(m[0] > -0.9999999999)) {
        angles[0] = angles[1] = angles[2] = 180.0;
        return;
    }
    // Shortest rotation taking the x axis to row 0.
    double q1[4] = {0.0, -m[2], m[1], 1.0 + m[0]};
    KgeVector4Normalize(q1, q1);

    const double s = q1[2] * q1[2] * q1[1] * q1[1];
    double d = 1.0;
    if (s > 1e-10) {
        // 1 - 4s is >= 0 for a unit q1; rounding may take it just below.
        const double e = std::sqrt(std::max(0.0, 1.0 - 4.0 * s));
        d = std::sqrt((1.0 - e) * 0.5 / s);
    }
    const double z = ClampedAsin(q1[2] * d) * kKgeTwiceRadiansToDegrees;
    const double y = ClampedAsin(d * q1[1]) * kKgeTwiceRadiansToDegrees;

    // What is left after undoing q1 is a roll about x; read it off the y axis.
    const double conjugate[4] = {-q1[0], -q1[1], -q1[2], q1[3]};
    double full[4];
    KgeMatrixToQuaternion(full, m);
    double roll[4];
    KgeQuaternionMultiply(roll, conjugate, full);
    KgeVector4Normalize(roll, roll);
    double yAxis[3];
    KgeQuaternionRotateYAxis(yAxis, roll);
    angles[0] = std::atan2(yAxis[2], yAxis[1]) * kKgeRadiansToDegrees;
    angles[1] = y;
    angles[2] = z;
}

}  // namespace

bool KgeRotationOrder::GetAxes(int* axes) const { return KgeRotationOrderAxes(mOrderIndex, axes); }

void KgeRotationOrder::EulerToMatrix(double* out, const double* anglesByAxis) const {
    if (mOrderIndex == kSphericXYZ) {
        SphericToMatrix(out, anglesByAxis);
    } else if (mOrderIndex == 0) {
        KgeEulerXYZToMatrix(out, anglesByAxis[0], anglesByAxis[1], anglesByAxis[2]);
    } else {
        KgeEulerByAxesToMatrix(out, mOrderIndex, anglesByAxis);
    }
}

void KgeRotationOrder::MatrixToEuler(double* anglesByAxis, const double* m) const {
    if (mOrderIndex == kSphericXYZ) {
        MatrixToSpheric(anglesByAxis, m);
        return;
    }
    int axes[3];
    if (mOrderIndex == 0 || !KgeRotationOrderAxes(mOrderIndex, axes)) {
        KgeMatrixToEulerXYZ(anglesByAxis, m);
    } else {
        KgeMatrixToEulerByAxes(anglesByAxis, mOrderIndex, m);
    }
}

void KgeRotationOrder::EulerToMatrix(KgeMatrix& out, const KgeTVector& angles) const {
    EulerToMatrix(out.Data(), angles.Data());
}

void KgeRotationOrder::MatrixToEuler(KgeTVector& angles, const KgeMatrix& m) const {
    MatrixToEuler(angles.Data(), m.Data());
}

}  // namespace duzsdk
