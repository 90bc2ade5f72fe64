// What pivot conversion hands to the matrix-converter curve filter and to
// the geometry, for one node. The filter and the geometry classes live in
// later layers; they install the two hooks below. Without a filter hook the
// T, R and S curves are only shifted by the rotation-offset difference;
// without a geometry hook the geometry's pivot is left alone.
#pragma once

#include "sdk/base/KTime.h"
#include "sdk/base/KgeMatrix.h"

namespace duzsdk {

class KDuzObject;
class KFCurveNode;

// Matrix slots of the filter that pivot conversion fills.
enum EDuzPivotFilterSlot : int {
    eDuzPivotSlotPreRotation = 3,
    eDuzPivotSlotPostRotation = 4,
    eDuzPivotSlotScalingOffset = 8,
    eDuzPivotSlotSourcePreRotation = 9,
    eDuzPivotSlotInversePostRotation = 10,
    eDuzPivotSlotRotationPivot = 11,
    eDuzPivotSlotScalingPivot = 12,
    eDuzPivotSlotCount = 13,
};

struct KDuzPivotConversionFilter {
    KgeMatrix slots[eDuzPivotSlotCount];
    bool slotSet[eDuzPivotSlotCount] = {};
    KTime samplingPeriod;
    int settings[4] = {1, 1, 0, 0};
    int sourceRotationOrder = 0;       // 2 x order
    int destinationRotationOrder = 0;  // 2 x order
    bool convertRotation = false;

    void SetMatrix(int slot, const KgeMatrix& m) {
        if (slot < 0 || slot >= eDuzPivotSlotCount) return;
        slots[slot] = KgeMatrix::FromAffine(m);
        slotSet[slot] = true;
    }
};

// Applies the filter to one take's curve node (the take's root). Null puts
// back the default, which runs the matrix-converter curve filter.
using KDuzPivotFilterApplier = void (*)(const KDuzPivotConversionFilter& filter, KFCurveNode* takeRoot);
void KDuzSetPivotFilterApplier(KDuzPivotFilterApplier applier);
void KDuzApplyPivotConversionFilter(const KDuzPivotConversionFilter& filter, KFCurveNode* takeRoot);

// Moves the geometric difference into a geometry's pivot: the geometry sets
// its pivot P to factor applied after P (KgeMatrixMultiplyAffine (P, factor))
// and applies it.
using KDuzGeometryPivotAdjuster = void (*)(KDuzObject* geometry, const KgeMatrix& factor);
void KDuzSetGeometryPivotAdjuster(KDuzGeometryPivotAdjuster adjuster);

}  // namespace duzsdk
