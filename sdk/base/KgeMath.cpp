#include "sdk/base/KgeMath.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace duzsdk {

namespace {

constexpr int kAffineIndices[12] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};

// Shortest row length that still gives a finite unit direction when divided.
constexpr double kMinAxisLength = std::numeric_limits<double>::min();

int SignOf(int v) { return (v > 0) - (v < 0); }

double Length3(const double* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

double Determinant3x3(const double* m) {
    return m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
           m[2] * (m[4] * m[9] - m[5] * m[8]);
}

void Cross3(double* out, const double* a, const double* b) {
    const double x = a[1] * b[2] - a[2] * b[1];
    const double y = a[2] * b[0] - a[0] * b[2];
    const double z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void SetIdentity(double* m) {
    for (int i = 0; i < 16; ++i) {
        m[i] = (i % 5 == 0) ? 1.0 : 0.0;
    }
}

struct OrderAxes {
    int index;
    int axes[3];
};

constexpr OrderAxes kOrderAxes[] = {
    {0, {0, 1, 2}},   // XYZ
    {2, {0, 2, 1}},   // XZY
    {4, {1, 2, 0}},   // YZX
    {6, {1, 0, 2}},   // YXZ
    {8, {2, 0, 1}},   // ZXY
    {10, {2, 1, 0}},  // ZYX
};

// The odd permutations (2, 6, 10) are the even ones with the angles negated.
bool IsOddOrder(int orderIndex) { return (orderIndex & 2) != 0; }

}  // namespace

double* KgeMatrixTransformPoint(double* out, const double* m, const double* point) {
    const double x = point[0], y = point[1], z = point[2];
    out[0] = x * m[0] + y * m[4] + z * m[8] + m[12];
    out[1] = x * m[1] + y * m[5] + z * m[9] + m[13];
    out[2] = x * m[2] + y * m[6] + z * m[10] + m[14];
    return out;
}

void KgeMatrixCopy(double* out, const double* m) {
    if (out != m) {
        std::memmove(out, m, 16 * sizeof(double));
    }
}

void KgeMatrixCopyAffine(double* out, const double* m) {
    for (int i : kAffineIndices) {
        out[i] = m[i];
    }
}

void KgeMatrixTranspose(double* out, const double* m) {
    double t[16];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            t[4 * c + r] = m[4 * r + c];
        }
    }
    std::memcpy(out, t, sizeof(t));
}

void KgeMatrixTranspose3x3(double* out, const double* m) {
    double t[9];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            t[3 * c + r] = m[4 * r + c];
        }
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            out[4 * r + c] = t[3 * r + c];
        }
    }
}

int KgeMatrixCompare(const double* a, const double* b, double tolerance) {
    if (tolerance != 0.0) {
        for (int i : kAffineIndices) {
            if (std::fabs(a[i] - b[i]) > tolerance) {
                return 1;
            }
        }
        return 0;
    }
    return SignOf(std::memcmp(a, b, 15 * sizeof(double)));
}

int KgeMatrixCompareFull(const double* a, const double* b, double tolerance) {
    if (tolerance != 0.0) {
        for (int i = 0; i < 16; ++i) {
            if (std::fabs(a[i] - b[i]) > tolerance) {
                return 1;
            }
        }
        return 0;
    }
    return SignOf(std::memcmp(a, b, 16 * sizeof(double)));
}

int KgeVector3Compare(const double* a, const double* b, double tolerance) {
    if (tolerance != 0.0) {
        for (int i = 0; i < 3; ++i) {
            if (std::fabs(a[i] - b[i]) > tolerance) {
                return 1;
            }
        }
        return 0;
    }
    return SignOf(std::memcmp(a, b, 3 * sizeof(double)));
}

void KgeMatrixMultiplyAffine(double* out, const double* a, const double* b) {
    // Into a temporary first: callers pass out = a and out = b.
    double t[12];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            double s = b[4 * r] * a[c] + b[4 * r + 1] * a[4 + c] + b[4 * r + 2] * a[8 + c];
            if (r == 3) {
                s += a[12 + c];
            }
            t[3 * r + c] = s;
        }
    }
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            out[4 * r + c] = t[3 * r + c];
        }
    }
}

void KgeMatrixMultiply3x3(double* out, const double* a, const double* b) {
    double t[9];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            t[3 * r + c] = b[4 * r] * a[c] + b[4 * r + 1] * a[4 + c] + b[4 * r + 2] * a[8 + c];
        }
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            out[4 * r + c] = t[3 * r + c];
        }
    }
}

void KgeMatrixMultiply3x3ByTranspose(double* out, const double* a, const double* b) {
    double t[9];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            t[3 * r + c] =
                b[4 * r] * a[4 * c] + b[4 * r + 1] * a[4 * c + 1] + b[4 * r + 2] * a[4 * c + 2];
        }
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            out[4 * r + c] = t[3 * r + c];
        }
    }
}

void KgeMatrixInverseOrthogonal(double* out, const double* m) {
    double t[12];
    for (int axis = 0; axis < 3; ++axis) {
        const double* row = m + 4 * axis;
        const double lengthSquared = row[0] * row[0] + row[1] * row[1] + row[2] * row[2];
        // A collapsed axis (scaling 0) has no inverse; a zero column keeps the
        // result finite and maps everything onto the collapsed plane.
        const double inv = lengthSquared > 0.0 ? 1.0 / lengthSquared : 0.0;
        for (int r = 0; r < 3; ++r) {
            t[3 * r + axis] = std::isfinite(inv) ? row[r] * inv : 0.0;
        }
    }
    for (int c = 0; c < 3; ++c) {
        t[9 + c] = -(m[12] * t[c] + m[13] * t[3 + c] + m[14] * t[6 + c]);
    }
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            out[4 * r + c] = t[3 * r + c];
        }
    }
}

void KgeMatrixMultiplyInverseOrthogonal(double* out, const double* a, const double* b) {
    double inverse[16];
    SetIdentity(inverse);
    KgeMatrixInverseOrthogonal(inverse, a);
    KgeMatrixMultiplyAffine(out, inverse, b);
}

bool KgeMatrixHasNonNegativeDeterminant(const double* m) { return Determinant3x3(m) >= 0.0; }

void KgeMatrixGetScaling(double* out, const double* m) {
    const double sign = KgeMatrixHasNonNegativeDeterminant(m) ? 1.0 : -1.0;
    for (int r = 0; r < 3; ++r) {
        out[r] = sign * Length3(m + 4 * r);
    }
}

void KgeMatrixGetRotationAxes(double* out, const double* m, const double* signedScale) {
    double axes[3][3];
    bool present[3];
    int missing = 0;
    for (int r = 0; r < 3; ++r) {
        const double s = signedScale[r];
        present[r] = std::fabs(s) >= kMinAxisLength && std::isfinite(1.0 / s);
        for (int c = 0; c < 3; ++c) {
            axes[r][c] = present[r] ? m[4 * r + c] / s : (r == c ? 1.0 : 0.0);
        }
        missing += present[r] ? 0 : 1;
    }
    if (missing == 1) {
        // One collapsed axis: the other two still fix the rotation, so rebuild it
        // as their cross product (right-handed, as a zero determinant reads as
        // positive) and keep the unit axis when the two are parallel.
        const int r = present[0] ? (present[1] ? 2 : 1) : 0;
        double cross[3];
        Cross3(cross, axes[(r + 1) % 3], axes[(r + 2) % 3]);
        const double length = Length3(cross);
        if (length >= kMinAxisLength) {
            for (int c = 0; c < 3; ++c) {
                axes[r][c] = cross[c] / length;
            }
        }
    }
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            out[4 * r + c] = axes[r][c];
        }
    }
}

void KgeMatrixSplitScaleRotation(double* translation, double* rotation, double* scale,
                                 const double* m) {
    double lengths[3];
    for (int r = 0; r < 3; ++r) {
        lengths[r] = Length3(m + 4 * r);
    }
    translation[0] = m[12];
    translation[1] = m[13];
    translation[2] = m[14];
    KgeMatrixGetRotationAxes(rotation, m, lengths);
    scale[0] = lengths[0];
    scale[1] = lengths[1];
    scale[2] = lengths[2];
}

void KgeMatrixScaleRows(double* out, const double* m, const double* scale) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            out[4 * r + c] = m[4 * r + c] * scale[r];
        }
    }
}

void KgeMatrixComposeTRS(double* out, const double* translation, const double* eulerXYZ,
                         const double* scale) {
    double t[16];
    SetIdentity(t);
    KgeEulerXYZToMatrix(t, eulerXYZ[0], eulerXYZ[1], eulerXYZ[2]);
    KgeMatrixScaleRows(t, t, scale);
    t[12] = translation[0];
    t[13] = translation[1];
    t[14] = translation[2];
    std::memcpy(out, t, sizeof(t));
}

void KgeMatrixComposeTQS(double* out, const double* translation, const double* quaternion,
                         const double* scale) {
    double t[16];
    SetIdentity(t);
    KgeQuaternionToMatrix(t, quaternion);
    KgeMatrixScaleRows(t, t, scale);
    t[12] = translation[0];
    t[13] = translation[1];
    t[14] = translation[2];
    std::memcpy(out, t, sizeof(t));
}

void KgeEulerXYZToMatrix(double* out, double x, double y, double z) {
    const double rx = x * kKgeDegreesToRadians;
    const double ry = y * kKgeDegreesToRadians;
    const double rz = z * kKgeDegreesToRadians;
    const double sx = std::sin(rx), cx = std::cos(rx);
    const double sy = std::sin(ry), cy = std::cos(ry);
    const double sz = std::sin(rz), cz = std::cos(rz);
    out[0] = cy * cz;
    out[1] = cy * sz;
    out[2] = -sy;
    out[4] = sy * sx * cz - cx * sz;
    out[5] = sy * sx * sz + cx * cz;
    out[6] = sx * cy;
    out[8] = sx * sz + cz * sy * cx;
    out[9] = sz * sy * cx - sx * cz;
    out[10] = cx * cy;
}

void KgeMatrixToEulerXYZ(double* out, const double* m) {
    double x, y, z;
    if (m[2] >= 0.999999) {
        x = std::atan2(-m[9], -m[8]) * kKgeRadiansToDegrees;
        y = -90.0;
        z = 0.0;
    } else if (m[2] <= -0.999999) {
        x = std::atan2(m[4], m[5]) * kKgeRadiansToDegrees;
        y = 90.0;
        z = 0.0;
    } else {
        x = std::atan2(m[6], m[10]) * kKgeRadiansToDegrees;
        y = -std::asin(m[2]) * kKgeRadiansToDegrees;
        z = std::atan2(m[1], m[0]) * kKgeRadiansToDegrees;
    }
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

void KgeMatrixToEulerXYZUnscaled(double* out, const double* m) {
    double scale[3];
    KgeMatrixGetScaling(scale, m);
    double axes[16];
    KgeMatrixGetRotationAxes(axes, m, scale);
    KgeMatrixToEulerXYZ(out, axes);
}

bool KgeRotationOrderAxes(int orderIndex, int* axes) {
    for (const OrderAxes& row : kOrderAxes) {
        if (row.index == orderIndex) {
            std::copy(row.axes, row.axes + 3, axes);
            return true;
        }
    }
    std::copy(kOrderAxes[0].axes, kOrderAxes[0].axes + 3, axes);
    return false;
}

void KgeEulerByAxesToMatrix(double* out, int orderIndex, const double* anglesByAxis) {
    int axes[3];
    // An index outside the table (a damaged file's order) falls back to XYZ
    // rather than reading outside the axis table.
    if (!KgeRotationOrderAxes(orderIndex, axes)) {
        orderIndex = 0;
    }
    const int i = axes[0], j = axes[1], k = axes[2];
    double a = anglesByAxis[i] * kKgeDegreesToRadians;
    double b = anglesByAxis[j] * kKgeDegreesToRadians;
    double c = anglesByAxis[k] * kKgeDegreesToRadians;
    if (IsOddOrder(orderIndex)) {
        a = -a;
        b = -b;
        c = -c;
    }
    const double ca = std::cos(a), sa = std::sin(a);
    const double cb = std::cos(b), sb = std::sin(b);
    const double cc = std::cos(c), sc = std::sin(c);
    auto at = [out](int row, int column) -> double& { return out[4 * row + column]; };
    at(i, i) = cb * cc;
    at(j, i) = sb * sa * cc - ca * sc;
    at(k, i) = sb * ca * cc + sa * sc;
    at(i, j) = cb * sc;
    at(j, j) = sb * sa * sc + ca * cc;
    at(k, j) = sb * ca * sc - sa * cc;
    at(i, k) = -sb;
    at(j, k) = cb * sa;
    at(k, k) = cb * ca;
}

void KgeMatrixToEulerByAxes(double* anglesByAxis, int orderIndex, const double* m) {
    int axes[3];
    if (!KgeRotationOrderAxes(orderIndex, axes)) {
        orderIndex = 0;
    }
    const int i = axes[0], j = axes[1], k = axes[2];
    auto at = [m](int row, int column) { return m[4 * row + column]; };
    const double t = std::sqrt(at(i, i) * at(i, i) + at(i, j) * at(i, j));
    double a, b, c;
    if (t > 1.6e-9) {
        a = std::atan2(at(j, k), at(k, k));
        b = std::atan2(-at(i, k), t);
        c = std::atan2(at(i, j), at(i, i));
    } else {
        a = std::atan2(-at(k, j), at(j, j));
        b = std::atan2(-at(i, k), t);
        c = 0.0;
    }
    if (IsOddOrder(orderIndex)) {
        a = -a;
        b = -b;
        c = -c;
    }
    anglesByAxis[i] = a * kKgeRadiansToDegrees;
    anglesByAxis[j] = b * kKgeRadiansToDegrees;
    anglesByAxis[k] = c * kKgeRadiansToDegrees;
}

void KgeQuaternionMultiply(double* out, const double* q1, const double* q2) {
    const double ax = q1[0], ay = q1[1], az = q1[2], aw = q1[3];
    const double bx = q2[0], by = q2[1], bz = q2[2], bw = q2[3];
    out[0] = aw * bx + ax * bw + ay * bz - az * by;
    out[1] = aw * by - ax * bz + ay * bw + az * bx;
    out[2] = aw * bz + ax * by - ay * bx + az * bw;
    out[3] = aw * bw - ax * bx - ay * by - az * bz;
}

void KgeQuaternionToMatrix(double* out, const double* q) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double norm = x * x + y * y + z * z + w * w;
    const double s = norm > 0.0 ? 2.0 / norm : 0.0;
    out[0] = 1.0 - s * (y * y + z * z);
    out[1] = s * (x * y + z * w);
    out[2] = s * (x * z - y * w);
    out[4] = s * (x * y - z * w);
    out[5] = 1.0 - s * (x * x + z * z);
    out[6] = s * (y * z + x * w);
    out[8] = s * (x * z + y * w);
    out[9] = s * (y * z - x * w);
    out[10] = 1.0 - s * (x * x + y * y);
}

void KgeMatrixToQuaternion(double* out, const double* m) {
    double x, y, z, w;
    double t = (1.0 + m[0] + m[5] + m[10]) / 4.0;
    if (t > 1e-10) {
        w = std::sqrt(t);
        x = (m[6] - m[9]) / (4.0 * w);
        y = (m[8] - m[2]) / (4.0 * w);
        z = (m[1] - m[4]) / (4.0 * w);
    } else {
        w = 0.0;
        t = -(m[10] + m[5]) / 2.0;
        if (t > 1e-10) {
            x = std::sqrt(t);
            y = m[1] / (2.0 * x);
            z = m[2] / (2.0 * x);
        } else {
            x = 0.0;
            t = (1.0 - m[10]) / 2.0;
            if (t > 1e-10) {
                y = std::sqrt(t);
                z = m[6] / (2.0 * y);
            } else {
                y = 0.0;
                z = 1.0;
            }
        }
    }
    out[0] = x;
    out[1] = y;
    out[2] = z;
    out[3] = w;
}

void KgeQuaternionFromEulerXYZ(double* out, double x, double y, double z) {
    const double hx = x * kKgeDegreesToHalfRadians;
    const double hy = y * kKgeDegreesToHalfRadians;
    const double hz = z * kKgeDegreesToHalfRadians;
    const double sx = std::sin(hx), cx = std::cos(hx);
    const double sy = std::sin(hy), cy = std::cos(hy);
    const double sz = std::sin(hz), cz = std::cos(hz);
    // The rotation of KgeEulerXYZToMatrix: about x, then y, then z (qz qy qx).
    // The spheric order's half-angle formulas agree with it only for a rotation
    // about one axis, so they are not used here.
    out[0] = sx * cy * cz - cx * sy * sz;
    out[1] = cx * sy * cz + sx * cy * sz;
    out[2] = cx * cy * sz - sx * sy * cz;
    out[3] = cx * cy * cz + sx * sy * sz;
    KgeVector4Normalize(out, out);
}

void KgeQuaternionToEulerXYZ(double* out, const double* q) {
    double m[16];
    SetIdentity(m);
    KgeQuaternionToMatrix(m, q);
    KgeMatrixToEulerXYZ(out, m);
}

void KgeQuaternionRotateYAxis(double* out, const double* q) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    out[0] = 2.0 * (x * y - z * w);
    out[1] = 2.0 * (0.5 - x * x - z * z);
    out[2] = 2.0 * (y * z + x * w);
}

void KgeVector4Normalize(double* out, const double* v) {
    const double length = std::sqrt(KgeVector4Dot(v, v));
    // A zero vector has no direction; it stays zero rather than becoming NaN.
    const double inv = length > 0.0 ? 1.0 / length : 0.0;
    for (int i = 0; i < 4; ++i) {
        out[i] = std::isfinite(inv) ? v[i] * inv : 0.0;
    }
}

double KgeVector4Dot(const double* a, const double* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
}

void KgeVector4Scale(double* out, const double* v, double s) {
    for (int i = 0; i < 4; ++i) {
        out[i] = v[i] * s;
    }
}

void KgeVector4Add(double* out, const double* a, const double* b) {
    for (int i = 0; i < 4; ++i) {
        out[i] = a[i] + b[i];
    }
}

void KgeVector3Normalize(double* out, const double* v) {
    const double length = Length3(v);
    const double inv = length > 0.0 ? 1.0 / length : 0.0;
    for (int i = 0; i < 3; ++i) {
        out[i] = std::isfinite(inv) ? v[i] * inv : 0.0;
    }
}

}  // namespace duzsdk
