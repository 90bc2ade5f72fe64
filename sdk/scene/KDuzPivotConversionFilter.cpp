// Pivot conversion through the matrix-converter curve filter.
#include <cstring>

#include "sdk/animation/KFCurveFilterMatrixConverter.h"
#include "sdk/scene/KDuzNodePivotConversion.h"

namespace duzsdk {

void KDuzApplyPivotConversionFilter(const KDuzPivotConversionFilter& settings, KFCurveNode* takeRoot)
{
    if (takeRoot == nullptr) return;
    // A take's tree holds the transform channels under "Transform".
    KFCurveNode* transform = takeRoot->FindByPath("Transform");
    if (transform == nullptr) transform = takeRoot;
    KFCurveFilterMatrixConverter filter;
    for (int slot = 0; slot < eDuzPivotSlotCount; ++slot) {
        if (settings.slotSet[slot]) filter.SetSourceMatrix(slot, settings.slots[slot]);
    }
    filter.SetPeriod(settings.samplingPeriod);
    // The node's four switches: align start, key at stop, unroll after (the
    // caller's flag) and reduce after.
    filter.SetAlignStart(settings.settings[0] != 0);
    filter.SetKeyAtStop(settings.settings[1] != 0);
    filter.SetUnrollAfter(settings.settings[2] != 0);
    filter.SetReduceAfter(settings.settings[3] != 0);
    filter.SetSourceRotationOrder(settings.sourceRotationOrder);
    filter.SetDestinationRotationOrder(settings.destinationRotationOrder);
    filter.SetForce(settings.convertRotation);
    filter.Apply(*transform, true);
}

}  // namespace duzsdk
