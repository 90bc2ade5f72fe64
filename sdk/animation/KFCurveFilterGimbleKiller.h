#pragma once
// Removes flips of Euler rotation curves near gimbal lock: each key takes the
// equivalent triple nearest the previous one, and where the step is still
// large, keys along the shortest rotation path are inserted.

#include "sdk/animation/KFCurveFilter.h"

namespace duzsdk {

class KFCurveFilterGimbleKiller : public KFCurveFilter {
public:
    KFCurveFilterGimbleKiller();
    using KFCurveFilter::Apply;
    bool Apply(KFCurve& curve) override;
    bool Apply(KFCurve** curves, int count) override;
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    void Reset() override;
    const char* GetClassName() const override { return "KFCurveFilterGimbleKiller"; }

    void SetKeySync(bool on) { mKeySync = on; }
    bool GetKeySync() const { return mKeySync; }

    // Most keys put between two source keys; the path halves each time, so
    // this is far more than a real rotation needs.
    static constexpr int kMaxInsertedPerKey = 256;

private:
    bool mKeySync = true;
};

// Runs the rotation clean-up filter `choice` (1 gimbal-lock killer, 2 unroll)
// over a rotation node for a span; the default handler of the curve tools.
bool KFCurveRunRotationFilter(int choice, KFCurveNode* node, KTime start, KTime stop);

}  // namespace duzsdk
