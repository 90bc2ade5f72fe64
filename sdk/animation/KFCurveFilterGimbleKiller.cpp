#include "sdk/animation/KFCurveFilterGimbleKiller.h"

#include <cmath>
#include <memory>

#include "sdk/animation/KFCurveFilterKeySync.h"
#include "sdk/animation/KFCurveFilterUnroll.h"
#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeRotationOrder.h"

namespace duzsdk {

namespace {

const char* const kMessages[] = {"No key", "Left unchanged", "Not 3 curve", "Not rotation node"};
const char* const kAxes[3] = {"X", "Y", "Z"};
constexpr double kMinStep = 0.0008333333333333334;  // 1/1200 s
constexpr double kMaxDistance2 = 75.0;

struct NodeDeleter {
    void operator()(KFCurveNode* node) const { KFCurveObjectDelete(node); }
};

double Distance2(const double* a, const double* b)
{
    double d = 0.0;
    for (int i = 0; i < 3; ++i) d += (a[i] - b[i]) * (a[i] - b[i]);
    return d;
}

}  // namespace

KFCurveFilterGimbleKiller::KFCurveFilterGimbleKiller() : KFCurveFilter("Gimble Killer", kMessages, 4)
{
    KFCurveFilterGimbleKiller::Reset();
}

void KFCurveFilterGimbleKiller::Reset()
{
    KFCurveFilter::Reset();
    mKeySync = true;
}

bool KFCurveFilterGimbleKiller::Apply(KFCurve&)
{
    Fail(2, "Not 3 curve");
    return false;
}

bool KFCurveFilterGimbleKiller::Apply(KFCurve** curves, int count)
{
    if (count != 3 || !curves || !curves[0] || !curves[1] || !curves[2]) {
        Fail(2, "Need 3 KFCurve to apply a gimble killer filter.");
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
    for (int i = 0; i < 3; ++i) r->GetChild(i)->SetCurve(nullptr, false);
    return result;
}

bool KFCurveFilterGimbleKiller::Apply(KFCurveNode& node, bool)
{
    if (node.GetChildCount() != 3) {
        Fail(2, "Gimble Killer. ioCurveNode does not have 3 childs.");
        return false;
    }
    if (node.GetLayerType() != eCurveNodeLayerRotation) {
        Fail(3, "Gimble Killer. Not a Rotation node!");
        return false;
    }
    KFCurve* c[3] = {};
    for (int i = 0; i < 3; ++i) {
        const KFCurveNode* axis = node.FindByPath(kAxes[i]);
        c[i] = axis ? axis->GetCurve() : nullptr;
        if (!c[i]) {
            Fail(2, "Gimble Killer. ioCurveNode does not have 3 childs.");
            return false;
        }
    }
    const int n = c[0]->KeyGetCount();
    if (n == 0) {
        Fail(0, "Gimble Killer, No key to be filtered.");
        return false;
    }
    if (mKeySync) {
        KFCurveFilterKeySync sync;
        if (sync.NeedApply(c, 3)) {
            sync.SetStartTime(GetStartTime());
            sync.SetStopTime(GetStopTime());
            sync.Apply(c, 3);
        }
    }
    // Key i of Y and Z is read for every key i of X: the three must match.
    const int count = c[0]->KeyGetCount();
    if (c[1]->KeyGetCount() != count || c[2]->KeyGetCount() != count) {
        Fail(1, "Gimble Killer, the three curves do not have the same keys.");
        return false;
    }
    const int s = GetStartIndex(*c[0]);
    const int e = GetStopIndex(*c[0]);
    const int order = node.GetRotationOrder();
    const KgeRotationOrder rotation(order);

    std::unique_ptr<KFCurveNode, NodeDeleter> copy(node.Clone(false, false, true));
    if (!copy) return false;
    KFCurve* out[3];
    for (int i = 0; i < 3; ++i) {
        KFCurveNode* axis = copy->FindByPath(kAxes[i]);
        out[i] = axis ? axis->GetCurve() : nullptr;
        if (!out[i]) return false;
        out[i]->CopyFrom(*c[i], false);
        out[i]->ReserveKeys(count);
        out[i]->BeginKeyModify();
        out[i]->KeyCopy(0, *c[i], s);
    }
    double p[3];
    for (int a = 0; a < 3; ++a) p[a] = c[a]->KeyGetValue(s);
    double tp = c[0]->KeyGetTime(s).GetSecondDouble();
    int j = 1;
    auto write = [&](double seconds, const double* w) {
        KTime t;
        t.SetSecondDouble(seconds);
        for (int a = 0; a < 3; ++a) {
            out[a]->KeySet(j, t, static_cast<float>(w[a]), kFCurveInterpolationCubic, kFCurveTangentAuto, 0.0f,
                           0.0f);
        }
        ++j;
    };
    for (int i = s + 1; i <= e || i < count; ++i) {
        if (i >= count) break;
        double k[3];
        for (int a = 0; a < 3; ++a) k[a] = c[a]->KeyGetValue(i);
        const double tk = c[0]->KeyGetTime(i).GetSecondDouble();
        double rk[16] = {};
        rotation.EulerToMatrix(rk, k);
        for (int inserted = 0;; ++inserted) {
            if (order != KgeRotationOrder::kSphericXYZ) {
                double chosen[3];
                KgeEulerEquivalentChooseForOrder(chosen, k, p, order);
                for (int a = 0; a < 3; ++a) k[a] = chosen[a];
            }
            // NaN distances never shrink: such a key is written as it is.
            const double d2 = Distance2(k, p);
            if (!(d2 >= kMaxDistance2) || tk - tp < kMinStep || inserted >= kMaxInsertedPerKey) break;
            double rp[16] = {}, rel[16] = {}, q[4];
            rotation.EulerToMatrix(rp, p);
            KgeMatrixMultiply3x3ByTranspose(rel, rp, rk);
            KgeMatrixToQuaternion(q, rel);
            double cFactor = 0.5, tc = 0.0, w[3] = {};
            for (;;) {
                tc = tp * (1.0 - cFactor) + cFactor * tk;
                const double qc[4] = {cFactor * q[0], cFactor * q[1], cFactor * q[2], 1.0 - cFactor + cFactor * q[3]};
                double m[16] = {}, mc[16] = {};
                KgeQuaternionToMatrix(m, qc);
                KgeMatrixMultiply3x3(mc, rp, m);
                rotation.MatrixToEuler(w, mc);
                if (order != KgeRotationOrder::kSphericXYZ) {
                    double chosen[3];
                    KgeEulerEquivalentChooseForOrder(chosen, w, p, order);
                    for (int a = 0; a < 3; ++a) w[a] = chosen[a];
                }
                if (!(Distance2(w, p) >= kMaxDistance2) || tc - tp < kMinStep) break;
                cFactor *= 0.5;
            }
            if (j >= out[0]->KeyGetCapacity())
                for (KFCurve* o : out) o->ReserveKeys(j + 250);
            write(tc, w);
            for (int a = 0; a < 3; ++a) p[a] = w[a];
            tp = tc;
        }
        if (j >= out[0]->KeyGetCapacity())
            for (KFCurve* o : out) o->ReserveKeys(j + 250);
        // The key keeps its own time (each curve's key i).
        for (int a = 0; a < 3; ++a) {
            out[a]->KeySet(j, c[a]->KeyGetTime(i), static_cast<float>(k[a]), kFCurveInterpolationCubic,
                           kFCurveTangentAuto, 0.0f, 0.0f);
        }
        ++j;
        for (int a = 0; a < 3; ++a) p[a] = k[a];
        tp = tk;
    }
    for (KFCurve* o : out) o->EndKeyModify();
    node.ReplaceRange(copy.get(), GetStartTime(), GetStopTime(), false, true, KTime(0));
    return true;
}

bool KFCurveRunRotationFilter(int choice, KFCurveNode* node, KTime start, KTime stop)
{
    if (!node) return false;
    std::unique_ptr<KFCurveFilter> filter;
    if (choice == 1) filter = std::make_unique<KFCurveFilterGimbleKiller>();
    else if (choice == 2) filter = std::make_unique<KFCurveFilterUnroll>();
    else return false;
    filter->SetStartTime(start);
    filter->SetStopTime(stop);
    return filter->Apply(*node, true);
}

}  // namespace duzsdk
