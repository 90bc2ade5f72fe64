// What pivot conversion hands to the matrix-converter curve filter and to
// the geometry, for one node. The geometry classes live in a later layer and
// install the geometry hook below; either hook can be replaced (tests
// record what would be applied).
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
// and applies it. The geometry installs the default when the SDK registers
// its classes; null puts that default back.
using KDuzGeometryPivotAdjuster = void (*)(KDuzObject* geometry, const KgeMatrix& factor);
void KDuzSetGeometryPivotAdjuster(KDuzGeometryPivotAdjuster adjuster);
void KDuzInstallDefaultGeometryPivotAdjuster(KDuzGeometryPivotAdjuster adjuster);

}  // namespace duzsdk
