#pragma once

namespace duzsdk {

// A rotation as four doubles (x, y, z, w), w last. Default: the identity
// (0, 0, 0, 1). Matrices are 16 doubles in the row-vector convention of
// KgeMath.h; the matrix of q1 * q2 applies q2 first, then q1.
class KgeQuaternion {
public:
    KgeQuaternion() = default;
    KgeQuaternion(double x, double y, double z, double w) : mData{x, y, z, w} {}
    explicit KgeQuaternion(const double* xyzw);

    static KgeQuaternion FromEulerXYZ(double x, double y, double z);
    // The rotation part of a 16-double matrix.
    static KgeQuaternion FromMatrix(const double* m);

    double* Data() { return mData; }
    const double* Data() const { return mData; }
    // Component i (0 x, 1 y, 2 z, 3 w); an index outside 0..3 is clamped.
    double& operator[](int i);
    const double& operator[](int i) const;

    // Hamilton product, this on the left.
    KgeQuaternion operator*(const KgeQuaternion& other) const;
    KgeQuaternion& operator*=(const KgeQuaternion& other);
    KgeQuaternion Conjugate() const;
    double Length() const;
    // To unit length; a zero quaternion stays zero.
    KgeQuaternion& Normalize();

    // Writes the rotation part of a 16-double matrix.
    void ToMatrix(double* m) const;
    // Euler XYZ degrees into out x, y, z.
    void ToEulerXYZ(double* out) const;

private:
    double mData[4] = {0.0, 0.0, 0.0, 1.0};
};

}  // namespace duzsdk
