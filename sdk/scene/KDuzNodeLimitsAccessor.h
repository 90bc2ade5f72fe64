// A node's limits seen in the terms of version 5 DUZ files: per kind
// (0 translation, 1 rotation, 2 scaling) an "auto" flag (limits not used),
// an "enable" flag (any per-axis bound active), a default, a minimum and a
// maximum; plus the rotation type, clamp and axis. Made on the stack for one
// node by the version 5 writer and reader.
#pragma once

#include "sdk/base/KgeTVector.h"

namespace duzsdk {

class KDuzLimits;
class KDuzNode;

class KDuzNodeLimitsAccessor {
public:
    explicit KDuzNodeLimitsAccessor(KDuzNode* node) : mNode(node) {}

    bool GetAuto(int kind) const;
    void SetAuto(int kind, bool on);
    bool GetEnable(int kind) const;
    void SetEnable(int kind, bool on);
    KgeTVector GetDefault(int kind) const;
    void SetDefault(int kind, const KgeTVector& v);
    KgeTVector GetMin(int kind) const;
    KgeTVector GetMax(int kind) const;
    void SetLimitValues(int kind, const KgeTVector& v);

    // 1 unless the rotation order is "Spheric XYZ" (6), then 0.
    int GetRotationType() const;
    // 1 for "Spheric XYZ", else 0.
    int GetRotationClampType() const;
    void SetRotationClamp(bool on);
    KgeTVector GetRotationAxis() const;
    void SetRotationAxis(const KgeTVector& v);
    double GetFactor() const { return mFactor; }
    void SetFactor(double factor) { mFactor = factor; }

private:
    KDuzLimits* Limits(int kind) const;

    KDuzNode* mNode;
    double mFactor = 1.0;
};

// Whether two Euler rotations in degrees differ by more than the tolerance,
// counting (x + 180, 180 - y, z + 180) as the same rotation.
bool KgeEulerDiffers(const KgeTVector& a, const KgeTVector& b, double tolerance);

}  // namespace duzsdk
