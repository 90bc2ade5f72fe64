#pragma once

#include "sdk/base/KgeQuaternion.h"
#include "sdk/base/KgeTVector.h"

namespace duzsdk {

// A 4x4 matrix of doubles, row-major (element (r, c) at 4r + c). Points are row
// vectors multiplied on the left (p' = p x M): rows 0-2 are the axes, elements
// 12-14 the translation; an affine matrix has column 3 = (0, 0, 0, 1).
// A new matrix is the identity. Angles are degrees.
class KgeMatrix {
public:
    KgeMatrix();
    explicit KgeMatrix(const double* elements16);

    // Identity, then the 12 affine elements of other.
    static KgeMatrix FromAffine(const KgeMatrix& other);
    // Identity, then the rotation of Euler XYZ angles.
    static KgeMatrix FromEulerXYZ(double x, double y, double z);

    void ResetToIdentity();
    void SetIdentity() { ResetToIdentity(); }
    // The 12 affine elements of other; column 3 of this is kept.
    void CopyAffine(const KgeMatrix& other);

    double* Data() { return mData; }
    const double* Data() const { return mData; }
    // Element 4·row + column; 0 (get) or nothing (set) outside the 4x4 range.
    double GetElement(int row, int column) const;
    void SetElement(int row, int column, double value);

    // (m12, m13, m14, 0).
    KgeTVector GetTranslation() const;
    // Row lengths, negated when the determinant is negative; w 0.
    KgeTVector GetScaling() const;
    // Euler XYZ of the rows divided by the signed scaling; w 0.
    KgeTVector GetEulerXYZ() const;
    // The point (x, y, z) times this matrix; w 0.
    KgeTVector TransformPoint(const KgeTVector& point) const;

    // other x this over the affine part: other is applied to a point first.
    KgeMatrix MultiplyAffine(const KgeMatrix& other) const;
    // Inverse for orthogonal axes of any length (KgeMatrixInverseOrthogonal).
    KgeMatrix InverseOrthogonal() const;
    // Full 4x4 transpose.
    KgeMatrix Transpose() const;

    // All 16 elements within 1e-6.
    bool IsEqual(const KgeMatrix& other) const;
    // Some affine element differs by more than 1e-6. Column 3 is not looked at,
    // so matrices differing only there are neither equal nor not-equal.
    bool IsNotEqual(const KgeMatrix& other) const;

    // The 12 affine elements of scale, then rotate (Euler XYZ), then translate.
    void SetTRS(const KgeTVector& translation, const KgeTVector& rotation,
                const KgeTVector& scaling);
    // Each decomposes this matrix into translation, signed scaling and Euler XYZ
    // rotation, replaces one and recomposes the affine part.
    void SetTranslationKeepRS(const KgeTVector& translation);
    void SetRotationKeepTS(const KgeTVector& rotation);
    void SetQuaternionKeepTS(const KgeQuaternion& rotation);
    void SetScalingKeepTR(const KgeTVector& scaling);

private:
    double mData[16];
};

static_assert(sizeof(KgeMatrix) == 128, "KgeMatrix is 16 doubles");

}  // namespace duzsdk
