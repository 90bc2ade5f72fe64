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

// Keys on each side of a gap that a shape-keeping insertion can read: the
// neighbours, and theirs for their automatic tangents.
constexpr int kContextKeys = 3;

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

// Inserts the given times into one curve with the shape-keeping insertion,
// each value then taken from the curve as it was. A shape-keeping insertion
// looks at and rewrites only the keys next to it, so each gap between two
// keys is worked on a small window of the keys around it and the curve is
// rebuilt in one pass, instead of shifting every later key per insertion.
// The times are sorted and none is the time of a key of the curve.
void KFCurveFilterKeySync::InsertTimes(KFCurve& curve, const KFCurve& snapshot, const std::vector<std::int64_t>& times)
{
    const int n = curve.KeyGetCount();
    if (times.empty()) return;
    std::unique_ptr<KFCurve> out(KFCurveCreate());
    if (!out) return;
    out->SetNotificationEnabled(false);
    out->CopyFrom(curve, false);
    out->ReserveKeys(static_cast<int>(std::min<std::int64_t>(kFCurveMaxKeyCount, n + static_cast<std::int64_t>(times.size()))));
    int hint = 0;
    std::size_t u = 0;
    KFCurveKey pending{};
    bool havePending = false;
    // Keys of the gap before key g (g == n: after the last key).
    for (int g = 0; g <= n; ++g) {
        const std::int64_t upper = g < n ? curve.KeyRecord(g).mTime : kFCurveFilterInfinite;
        std::size_t v = u;
        while (v < times.size() && (g == n || times[v] < upper)) ++v;
        if (u == v) {
            if (havePending) out->KeySetFromKey(out->KeyGetCount(), pending);
            if (g < n) {
                pending = curve.KeyRecord(g);
                havePending = true;
            }
            continue;
        }
        KFCurve window;
        window.SetNotificationEnabled(false);
        window.CopyFrom(curve, false);
        int w = 0;
        const int outCount = out->KeyGetCount();
        const int context = std::min(kContextKeys, outCount);
        for (int k = outCount - context; k < outCount; ++k) window.KeySetFromKey(w++, out->KeyRecord(k));
        const int first = w;
        if (havePending) window.KeySetFromKey(w++, pending);
        for (int k = g; k < std::min(g + kContextKeys, n); ++k) window.KeySetFromKey(w++, curve.KeyRecord(k));
        int windowHint = 0;
        for (std::size_t i = u; i < v; ++i) {
            const int index = window.KeyInsert(KTime(times[i]), &windowHint);
            window.KeySetValue(index, snapshot.Evaluate(KTime(times[i]), &hint));
        }
        for (int k = 0; k < context; ++k) out->KeySetFromKey(outCount - context + k, window.KeyRecord(k));
        const int inserted = static_cast<int>(v - u);
        const int last = first + (havePending ? 1 : 0) + inserted;  // first key not yet final
        for (int k = first; k < last; ++k) out->KeySetFromKey(out->KeyGetCount(), window.KeyRecord(k));
        havePending = g < n;
        if (havePending) pending = window.KeyRecord(last);
        u = v;
    }
    if (havePending) out->KeySetFromKey(out->KeyGetCount(), pending);
    curve.CopyFrom(*out, true);
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
    // Every key time of any curve within the span, once.
    const std::int64_t start = GetStartTime().Get();
    const std::int64_t stop = GetStopTime().Get();
    std::vector<std::int64_t> times;
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < curves[i]->KeyGetCount(); ++k) {
            const std::int64_t t = curves[i]->KeyRecord(k).mTime;
            if (t >= start && t <= stop) times.push_back(t);
        }
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    for (int i = 0; i < count; ++i) {
        KFCurve& c = *curves[i];
        std::vector<std::int64_t> missing;
        int k = 0;
        const int n = c.KeyGetCount();
        for (std::int64_t t : times) {
            while (k < n && c.KeyRecord(k).mTime < t) ++k;
            if (k >= n || c.KeyRecord(k).mTime != t) missing.push_back(t);
        }
        if (missing.empty()) continue;
        std::unique_ptr<KFCurve> snapshot(c.Clone());
        if (!snapshot) return false;
        c.BeginKeyModify();
        InsertTimes(c, *snapshot, missing);
        c.EndKeyModify();
    }
    return true;
}

}  // namespace duzsdk
