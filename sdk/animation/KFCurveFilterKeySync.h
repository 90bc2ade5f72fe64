#pragma once
// Gives several curves the same key times: every curve gets a key wherever
// any of them has one, keeping its own values.

#include <vector>

#include "sdk/animation/KFCurveFilter.h"

namespace duzsdk {

class KFCurveFilterKeySync : public KFCurveFilter {
public:
    KFCurveFilterKeySync();
    using KFCurveFilter::Apply;
    using KFCurveFilter::NeedApply;
    // A single curve has nothing to be synchronised with.
    bool NeedApply(KFCurve& curve) override;
    bool NeedApply(KFCurve** curves, int count) override;
    bool NeedApply(KFCurveNode& node, bool recursive = true) override;
    bool Apply(KFCurve& curve) override;
    bool Apply(KFCurve** curves, int count) override;
    bool Apply(KFCurveNode& node, bool recursive = true) override;
    const char* GetClassName() const override { return "KFCurveFilterKeySync"; }

    // The node forms take at most this many children.
    static constexpr int kMaxNodeCurves = 19;

private:
    static void InsertTimes(KFCurve& curve, const KFCurve& snapshot, const std::vector<std::int64_t>& times);
};

}  // namespace duzsdk
