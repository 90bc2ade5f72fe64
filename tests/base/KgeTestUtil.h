#pragma once
// Shared checks for the geometry tests: element-wise comparison of raw double
// arrays with a stated tolerance, and hand-built reference rotations.

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <numbers>
#include <string>

namespace duzsdk::kgetest {

// Tolerance for values computed through trigonometry.
inline constexpr double kTrig = 1e-12;

// Identity in a 16-double array.
inline void Identity(double* m) {
    for (int i = 0; i < 16; ++i) {
        m[i] = (i % 5 == 0) ? 1.0 : 0.0;
    }
}

inline ::testing::AssertionResult NearArray(const double* actual, std::initializer_list<double> expected,
                                            double tolerance) {
    int i = 0;
    for (double e : expected) {
        if (!(std::fabs(actual[i] - e) <= tolerance)) {
            return ::testing::AssertionFailure()
                   << "element " << i << " is " << actual[i] << ", expected " << e << " (tolerance "
                   << tolerance << ")";
        }
        ++i;
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult NearArray(const double* actual, const double* expected, int n,
                                            double tolerance) {
    for (int i = 0; i < n; ++i) {
        if (!(std::fabs(actual[i] - expected[i]) <= tolerance)) {
            return ::testing::AssertionFailure()
                   << "element " << i << " is " << actual[i] << ", expected " << expected[i]
                   << " (tolerance " << tolerance << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult AllFinite(const double* v, int n) {
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(v[i])) {
            return ::testing::AssertionFailure() << "element " << i << " is " << v[i];
        }
    }
    return ::testing::AssertionSuccess();
}

// Rotation by `degrees` about one axis in the row-vector form (p' = p x R),
// written out by hand: about z, x goes to y; about x, y goes to z; about y, z
// goes to x. Only the 3x3 part is meaningful; the rest is identity.
inline void AxisRotation(double* m, int axis, double degrees) {
    Identity(m);
    const double r = degrees * std::numbers::pi / 180.0;
    const double c = std::cos(r), s = std::sin(r);
    const int j = (axis + 1) % 3, k = (axis + 2) % 3;
    m[4 * j + j] = c;
    m[4 * j + k] = s;
    m[4 * k + j] = -s;
    m[4 * k + k] = c;
}

// Plain 3x3 product a x b (apply a, then b) into the 3x3 part of out.
inline void Product3x3(double* out, const double* a, const double* b) {
    double t[16];
    Identity(t);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double s = 0.0;
            for (int k = 0; k < 3; ++k) {
                s += a[4 * r + k] * b[4 * k + c];
            }
            t[4 * r + c] = s;
        }
    }
    for (int i = 0; i < 16; ++i) {
        out[i] = t[i];
    }
}

}  // namespace duzsdk::kgetest
