#pragma once

#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVector.h"

namespace duzsdk {

// Converts Euler angles to rotation matrices and back for one rotation order.
// The index is twice a node's rotation order:
//   0 XYZ, 2 XZY, 4 YZX, 6 YXZ, 8 ZXY, 10 ZYX (the first axis is applied first,
//   all about fixed axes), 12 spheric XYZ (through quaternions).
// Angles are degrees indexed by axis: [0] about x, [1] about y, [2] about z.
// Only the rotation (3x3) part of a matrix is written. An index outside the
// list above converts as XYZ.
class KgeRotationOrder {
public:
    static constexpr int kSphericXYZ = 12;

    explicit KgeRotationOrder(int orderIndex = 0) : mOrderIndex(orderIndex) {}

    int GetOrderIndex() const { return mOrderIndex; }
    void SetOrderIndex(int orderIndex) { mOrderIndex = orderIndex; }
    // The axes (first, second, third) of the order; XYZ for the spheric order and
    // for unknown indices, which then give false.
    bool GetAxes(int* axes) const;

    void EulerToMatrix(double* out, const double* anglesByAxis) const;
    void MatrixToEuler(double* anglesByAxis, const double* m) const;
    void EulerToMatrix(KgeMatrix& out, const KgeTVector& angles) const;
    // x, y, z of angles are replaced; w is kept.
    void MatrixToEuler(KgeTVector& angles, const KgeMatrix& m) const;

private:
    int mOrderIndex;
};

}  // namespace duzsdk
