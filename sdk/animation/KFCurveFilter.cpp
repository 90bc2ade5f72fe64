#include "sdk/animation/KFCurveFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sdk/object/KPlugType.h"

namespace duzsdk {

KFCurveFilter::KFCurveFilter(const char* name, const char* const* messages, int messageCount)
    : mName(name), mError(messages, messageCount)
{
}

bool KFCurveFilter::NeedApply(KFCurve&) { return true; }

bool KFCurveFilter::NeedApply(KFCurve** curves, int count)
{
    bool all = true;
    for (int i = 0; i < count; ++i) {
        if (curves && curves[i] && !NeedApply(*curves[i])) all = false;
    }
    return all;
}

bool KFCurveFilter::NeedApply(KFCurveNode& node, bool recursive) { return NeedApplyNode(node, recursive, 0); }

bool KFCurveFilter::NeedApplyNode(KFCurveNode& node, bool recursive, int depth)
{
    if (depth > kFCurveNodeMaxDepth) return false;
    if (recursive) {
        for (int i = 0; i < node.GetChildCount(); ++i) {
            if (KFCurveNode* child = node.GetChild(i)) NeedApplyNode(*child, true, depth + 1);
        }
    }
    if (KFCurve* curve = node.GetCurve()) NeedApply(&curve, 1);
    return true;
}

bool KFCurveFilter::Apply(KFCurve** curves, int count)
{
    bool all = true;
    for (int i = 0; i < count; ++i) {
        if (curves && curves[i] && !Apply(*curves[i])) all = false;
    }
    return all;
}

bool KFCurveFilter::Apply(KFCurveNode& node, bool recursive)
{
    // Children go through the virtual node form (the constant-key reducer
    // picks its tolerance per child), so the depth is counted here.
    if (mNodeDepth > kFCurveNodeMaxDepth) return false;
    if (recursive) {
        ++mNodeDepth;
        for (int i = 0; i < node.GetChildCount(); ++i) {
            if (KFCurveNode* child = node.GetChild(i)) Apply(*child, true);
        }
        --mNodeDepth;
    }
    if (KFCurve* curve = node.GetCurve()) Apply(*curve);
    return true;
}

void KFCurveFilter::Reset()
{
    mStart = KTime(kFCurveFilterMinusInfinite);
    mStop = KTime(kFCurveFilterInfinite);
}

bool KFCurveFilter::IsA(const char* className) const
{
    if (!className) return false;
    return std::strcmp(className, GetClassName()) == 0 || std::strcmp(className, "KFCurveFilter") == 0 ||
           std::strcmp(className, "KObject") == 0 || std::strcmp(className, "KPlug") == 0;
}

int KFCurveFilter::GetStartIndex(const KFCurve& curve) const
{
    const int n = curve.KeyGetCount();
    if (n == 0) return -1;
    const KTime t = std::max(curve.KeyGetTime(0), mStart);
    const double position = curve.KeyFind(t);
    return std::clamp(static_cast<int>(std::max(position, 0.0)), 0, n - 1);
}

int KFCurveFilter::GetStopIndex(const KFCurve& curve) const
{
    const int n = curve.KeyGetCount();
    if (n == 0) return -1;
    const KTime t = std::min(curve.KeyGetTime(n - 1), mStop);
    const double position = curve.KeyFind(t);
    return std::clamp(static_cast<int>(std::max(position, 0.0)), 0, n - 1);
}

}  // namespace duzsdk
