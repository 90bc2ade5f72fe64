#include "sdk/animation/KFCurveFilterUnroll.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "sdk/animation/KFCurveFilterKeySync.h"
#include "sdk/animation/KFCurveTools.h"
#include "sdk/base/KgeMath.h"

namespace duzsdk {

namespace {

const char* const kMessages[] = {"No key", "Left unchanged", "Need rotation curvenode", "Unexepected"};
const char* const kNotRotation = "Unroll Filter, Works only on rotation CurveNodes.";
const char* const kNoKey = "Unroll Filter, No key to be filtered.";
const char* const kAxes[3] = {"X", "Y", "Z"};

struct NodeDeleter {
    void operator()(KFCurveNode* node) const { KFCurveObjectDelete(node); }
};

}  // namespace

KFCurveFilterUnroll::KFCurveFilterUnroll() : KFCurveFilter("Unroll Filter", kMessages, 4)
{
    KFCurveFilterUnroll::Reset();
}

void KFCurveFilterUnroll::Reset()
{
    KFCurveFilter::Reset();
    mQuality = KFCurveGetUnrollSetting();
    mTestPath = KFCurveGetUnrollFlag();
}

bool KFCurveFilterUnroll::Apply(KFCurve&)
{
    Fail(2, kNotRotation);
    return false;
}

bool KFCurveFilterUnroll::Apply(KFCurve** curves, int count)
{
    if (count != 3 || !curves || !curves[0] || !curves[1] || !curves[2]) {
        Fail(2, kNotRotation);
        return false;
    }
    std::unique_ptr<KFCurveNode, NodeDeleter> r(KFCurveNodeCreate("R", nullptr, eCurveNodeLayerRotation));
    if (!r) return false;
    for (int i = 0; i < 3; ++i) {
        KFCurveNode* child = KFCurveNodeCreate(kAxes[i]);
        if (!child) return false;
        child->SetCurve(curves[i], false);
        r->AddChild(child);
    }
    const bool result = Apply(*r, true);
    // The caller's curves leave the temporary nodes before they are destroyed.
    for (int i = 0; i < 3; ++i) r->GetChild(i)->SetCurve(nullptr, false);
    return result;
}

bool KFCurveFilterUnroll::Apply(KFCurveNode& node, bool)
{
    KFCurve* curves[3] = {};
    for (int i = 0; i < 3; ++i) {
        const KFCurveNode* axis = node.GetChild(node.FindChildIndexByName(kAxes[i]));
        curves[i] = axis ? axis->GetCurve() : nullptr;
    }
    if (node.GetLayerType() != eCurveNodeLayerRotation || node.GetChildCount() != 3 || !curves[0] || !curves[1] ||
        !curves[2]) {
        Fail(2, kNotRotation);
        return false;
    }
    KTime first, last;
    if (!node.GetKeySpan(first, last)) {
        Fail(0, kNoKey);
        return false;
    }
    const KTime start = std::max(first, GetStartTime());
    const KTime stop = std::min(last, GetStopTime());

    std::unique_ptr<KFCurveNode, NodeDeleter> copy(node.Clone(false, true));
    if (!copy) return false;
    KFCurve* c[3] = {};
    for (int i = 0; i < 3; ++i) {
        const KFCurveNode* axis = copy->GetChild(copy->FindChildIndexByName(kAxes[i]));
        c[i] = axis ? axis->GetCurve() : nullptr;
        if (!c[i]) return false;
    }
    KFCurveFilterKeySync sync;
    sync.SetStartTime(GetStartTime());
    sync.SetStopTime(GetStopTime());
    if (sync.NeedApply(c, 3)) sync.Apply(c, 3);

    const int startIndex = c[0]->KeyGetCount() ? static_cast<int>(std::max(c[0]->KeyFind(start), 0.0)) : -1;
    const int stopIndex = c[0]->KeyGetCount() ? static_cast<int>(std::max(c[0]->KeyFind(stop), 0.0)) : -1;
    if (startIndex < 0) {
        Fail(0, kNoKey);
        return false;
    }
    // The synchroniser gives the three curves the same keys; if it could not,
    // only the keys all three hold are walked.
    const int last3 = std::min({c[0]->KeyGetCount(), c[1]->KeyGetCount(), c[2]->KeyGetCount()}) - 1;
    const int end = std::min(stopIndex, last3);
    double reference[3] = {0.0, 0.0, 0.0};
    if (startIndex > 0 && startIndex <= last3) {
        for (int a = 0; a < 3; ++a) reference[a] = c[a]->KeyGetValue(startIndex);
    }
    const int order = node.GetRotationOrder();
    for (int k = startIndex; k <= end; ++k) {
        double triple[3], chosen[3];
        for (int a = 0; a < 3; ++a) triple[a] = c[a]->KeyGetValue(k);
        KgeEulerEquivalentChooseForOrder(chosen, triple, reference, order);
        for (int a = 0; a < 3; ++a) c[a]->KeySetValue(k, static_cast<float>(chosen[a]));
        if (!mTestPath || KFCurveFilterUnrollPathQuality(reference, chosen) >= mQuality) {
            for (int a = 0; a < 3; ++a) reference[a] = chosen[a];
        }
    }
    if (startIndex == stopIndex) return true;
    node.ReplaceRange(copy.get(), start, stop, false, true, KTime(0));
    return true;
}

double KFCurveFilterUnrollPathQuality(const double* a, const double* b)
{
    double d2 = 0.0;
    for (int i = 0; i < 3; ++i) d2 += (a[i] - b[i]) * (a[i] - b[i]);
    if (d2 <= 2.220446e-16) return 100.0;
    double ma[16] = {}, mb[16] = {}, rel[16] = {}, q[4];
    KgeEulerXYZToMatrix(ma, a[0], a[1], a[2]);
    KgeEulerXYZToMatrix(mb, b[0], b[1], b[2]);
    KgeMatrixMultiply3x3ByTranspose(rel, mb, ma);
    KgeMatrixToQuaternion(q, rel);
    const double angle = 2.0 * std::acos(std::clamp(q[3], -1.0, 1.0)) * kKgeRadiansToDegrees;
    return angle * angle / d2;
}

}  // namespace duzsdk
