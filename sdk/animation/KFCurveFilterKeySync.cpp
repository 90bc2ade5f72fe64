#include "sdk/animation/KFCurveFilterKeySync.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace duzsdk {

namespace {

const char* const kMessages[] = {"No key", "Left unchanged", "Multiple key count", "Unsynched keys",
                                 "Too many curves"};
const char* const kUnchanged = "KeySyncFilter, No key were changed by filter.";

// The curves of a node's children, in child order; children without a curve
// are passed over.
std::vector<KFCurve*> ChildCurves(const KFCurveNode& node)
{
    std::vector<KFCurve*> curves;
    for (int i = 0; i < node.GetChildCount(); ++i) {
        const KFCurveNode* child = node.GetChild(i);
        if (child && child->GetCurve()) curves.push_back(child->GetCurve());
    }
    return curves;
}

}  // namespace

KFCurveFilterKeySync::KFCurveFilterKeySync() : KFCurveFilter("FCurve Key Synchronizer", kMessages, 5)
{
    SetStartTime(KTime(kFCurveFilterMinusInfinite));
    SetStopTime(KTime(kFCurveFilterInfinite));
}

bool KFCurveFilterKeySync::NeedApply(KFCurve&)
{
    Fail(1, kUnchanged);
    return false;
}

bool KFCurveFilterKeySync::Apply(KFCurve&)
{
    Fail(1, kUnchanged);
    return false;
}

bool KFCurveFilterKeySync::NeedApply(KFCurveNode& node, bool)
{
    if (node.GetChildCount() > kMaxNodeCurves) {
        Fail(4, "KeySyncFilter, Curve count is too mush. No support above 20 curves..");
        return false;
    }
    std::vector<KFCurve*> curves = ChildCurves(node);
    return NeedApply(curves.data(), static_cast<int>(curves.size()));
}

bool KFCurveFilterKeySync::NeedApply(KFCurve** curves, int count)
{
    if (!curves || count <= 0) return false;
    for (int i = 0; i < count; ++i) {
        if (!curves[i]) return false;
    }
    const int n = curves[0]->KeyGetCount();
    for (int i = 1; i < count; ++i) {
        if (curves[i]->KeyGetCount() != n) {
            Fail(2, "KeySyncFilter, Key count is different in the Curves to be filtered.");
            return true;
        }
    }
    if (n == 0) return false;
    for (int k = 0; k < n; ++k) {
        const std::int64_t t = curves[0]->KeyRecord(k).mTime;
        for (int i = 1; i < count; ++i) {
            if (curves[i]->KeyRecord(k).mTime != t) {
                Fail(3, "KeySyncFilter, keys are not synchronized.");
                return true;
            }
        }
    }
    return false;
}

bool KFCurveFilterKeySync::Apply(KFCurveNode& node, bool)
{
    std::vector<KFCurve*> curves = ChildCurves(node);
    return Apply(curves.data(), static_cast<int>(curves.size()));
}

bool KFCurveFilterKeySync::Apply(KFCurve** curves, int count)
{
    if (!curves || count < 2) {
        Fail(1, kUnchanged);
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (!curves[i]) {
            Fail(1, kUnchanged);
            return false;
        }
    }
    // Working arrays sized by the count: any number of curves is served.
    struct Deleter {
        void operator()(KFCurve* c) const { KFCurveObjectDelete(c); }
    };
    std::vector<std::unique_ptr<KFCurve, Deleter>> snapshots(static_cast<std::size_t>(count));
    std::vector<int> hints(static_cast<std::size_t>(count), 0);
    int largest = 0;
    for (int i = 0; i < count; ++i) largest = std::max(largest, curves[i]->KeyGetCount());
    for (int i = 0; i < count; ++i) {
        snapshots[i].reset(curves[i]->Clone());
        if (!snapshots[i]) return false;
        curves[i]->ReserveKeys(largest);
        curves[i]->BeginKeyModify();
    }
    const std::int64_t stop = GetStopTime().Get();
    std::int64_t t = GetStartTime().Get();
    const bool fromStart = t == kFCurveFilterMinusInfinite;
    if (!fromStart) --t;
    bool first = fromStart;
    while (t < stop) {
        bool found = false;
        std::int64_t next = 0;
        for (int i = 0; i < count; ++i) {
            const KFCurve& c = *curves[i];
            const int n = c.KeyGetCount();
            if (n == 0) continue;
            int k;
            if (first) {
                k = 0;
            } else {
                const double position = c.KeyFind(KTime(t), &hints[i]);
                k = std::clamp(static_cast<int>(std::ceil(std::max(position, 0.0))), 0, n - 1);
                // A time between two keys rounds up; a key exactly at t is not after it.
                if (c.KeyRecord(k).mTime <= t && k + 1 < n) ++k;
            }
            const std::int64_t kt = c.KeyRecord(k).mTime;
            if (!first && kt <= t) continue;
            if (!found || kt < next) next = kt;
            found = true;
        }
        if (!found || next > stop) break;
        for (int i = 0; i < count; ++i) {
            const int index = curves[i]->KeyInsert(KTime(next), &hints[i]);
            curves[i]->KeySetValue(index, snapshots[i]->Evaluate(KTime(next)));
        }
        first = false;
        if (next == kFCurveFilterInfinite) break;
        t = next + 1;
    }
    for (int i = 0; i < count; ++i) curves[i]->EndKeyModify();
    return true;
}

}  // namespace duzsdk
