// Evaluation of a KFCurveNode tree: time warp, curves, layer combination,
// quaternion channels, quaternion interpolation of rotations, the per-node
// cache, key appending and the replacement of a time range.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "sdk/animation/KFCurveNode.h"
#include "sdk/animation/KFCurvePrivate.h"
#include "sdk/base/KgeMath.h"
#include "sdk/base/KgeRotationOrder.h"

namespace duzsdk {

using kfcurve_detail::SecondsBetween;

namespace {

constexpr int kSphericOrder = 12;
constexpr int kCacheSize = 4;

// A scratch buffer of doubles that stays on the stack for the common sizes.
class Scratch {
public:
    explicit Scratch(int count)
    {
        if (count > kInline) mHeap.resize(static_cast<size_t>(count));
        mData = count > kInline ? mHeap.data() : mInline;
        std::fill(mData, mData + std::max(count, 0), 0.0);
    }
    double* data() { return mData; }

private:
    static constexpr int kInline = 16;
    double mInline[kInline];
    std::vector<double> mHeap;
    double* mData;
};

void Identity(double* m)
{
    for (int i = 0; i < 16; ++i) m[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

bool ChildHasCurve(const KFCurveNode* node, int index)
{
    const KFCurveNode* child = node->GetChild(index);
    return child && child->GetCurve();
}

}  // namespace

// ---------------------------------------------------------------------------
// Vector and angle helpers

void KgeVectorAddN(double* dst, const double* a, const double* b, int n)
{
    for (int i = 0; i < n; ++i) dst[i] = a[i] + b[i];
}

void KgeVectorScaleN(double* dst, const double* a, double s, int n)
{
    for (int i = 0; i < n; ++i) dst[i] = s * a[i];
}

void KgeVectorLerpN(double* dst, const double* a, const double* b, double u, int n)
{
    for (int i = 0; i < n; ++i) dst[i] = (1.0 - u) * a[i] + u * b[i];
}

void KgeVectorBezierN(double* dst, const double* p0, const double* p1, const double* p2, const double* p3, double u,
                      int n)
{
    for (int i = 0; i < n; ++i) {
        const double p01 = (1 - u) * p0[i] + u * p1[i];
        const double p12 = (1 - u) * p1[i] + u * p2[i];
        const double p23 = (1 - u) * p2[i] + u * p3[i];
        const double p012 = (1 - u) * p01 + u * p12;
        const double p123 = (1 - u) * p12 + u * p23;
        dst[i] = (1 - u) * p012 + u * p123;
    }
}

double KgeVector4Length(const double* v)
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3]);
}

double KgeAngleNearest(double angle, double reference)
{
    const double turns = (reference - angle) / 360.0;
    double k = std::trunc(turns);
    const double fraction = turns - k;
    if (fraction > 0.5) k += 1.0;
    if (fraction < -0.5) k -= 1.0;
    return angle + 360.0 * k;
}

void KgeMatrixFromQuaternionRotation(double* m, const double* q)
{
    Identity(m);
    KgeQuaternionToMatrix(m, q);
}

void KgeMatrixFromEulerXYZRotation(double* m, const double* euler)
{
    Identity(m);
    KgeEulerXYZToMatrix(m, euler[0], euler[1], euler[2]);
}

bool KgeEulerEquivalentChoose(double* out, const double* candidate, const double* reference, const int* axes)
{
    double a[3], b[3];
    for (int i = 0; i < 3; ++i) a[i] = b[i] = candidate[i];
    b[axes[0]] = candidate[axes[0]] + 180.0;
    b[axes[1]] = 180.0 - candidate[axes[1]];
    b[axes[2]] = candidate[axes[2]] + 180.0;
    double da = 0.0, db = 0.0;
    for (int i = 0; i < 3; ++i) {
        a[i] = KgeAngleNearest(a[i], reference[i]);
        b[i] = KgeAngleNearest(b[i], reference[i]);
        da += (a[i] - reference[i]) * (a[i] - reference[i]);
        db += (b[i] - reference[i]) * (b[i] - reference[i]);
    }
    const bool alternative = !(db > da);
    double* r = alternative ? b : a;
    // In gimbal lock only the sum or the difference of the outer angles is
    // fixed; move both toward the reference while keeping it.
    const double second = std::fmod(std::fmod(r[axes[1]], 360.0) + 360.0, 360.0);
    const double d0 = reference[axes[0]] - r[axes[0]];
    const double d2 = reference[axes[2]] - r[axes[2]];
    if (std::fabs(second - 90.0) < 1e-6) {
        const double h = (d0 + d2) / 2.0;
        r[axes[0]] += h;
        r[axes[2]] += h;
    } else if (std::fabs(second - 270.0) < 1e-6) {
        const double h = (d0 - d2) / 2.0;
        r[axes[0]] += h;
        r[axes[2]] -= h;
    }
    for (int i = 0; i < 3; ++i) out[i] = r[i];
    return alternative;
}

bool KgeEulerEquivalentChooseForOrder(double* out, const double* candidate, const double* reference, int order)
{
    if (order == kSphericOrder) {
        for (int i = 0; i < 3; ++i) out[i] = candidate[i];
        return false;
    }
    int axes[3];
    KgeRotationOrderAxes(order, axes);
    return KgeEulerEquivalentChoose(out, candidate, reference, axes);
}

// ---------------------------------------------------------------------------
// Value counts, gathering

int KFCurveNode::GetValueCountImpl(int depth) const
{
    if (depth > kFCurveNodeMaxDepth) return 0;
    int n = mCurve ? 1 : 0;
    if (mLayerType == eCurveNodeLayerQuaternion && mLayerId == 0) return n + 3;
    for (const KFCurveNode* child : mChildren) n += child->GetValueCountImpl(depth + 1);
    return n;
}

int KFCurveNode::GetValueCount() const
{
    return GetValueCountImpl(0);
}

double* KFCurveNode::GatherImpl(double* values, KTime time, int* indexHint, int depth) const
{
    if (depth > kFCurveNodeMaxDepth) return values;
    if (mCurve) *values++ = mCurve->Evaluate(time, indexHint);
    for (const KFCurveNode* child : mChildren) values = child->GatherImpl(values, time, indexHint, depth + 1);
    return values;
}

double* KFCurveNode::GatherValuesAt(double* values, KTime time, int* indexHint) const
{
    return GatherImpl(values, time, indexHint, 0);
}

double* KFCurveNode::GatherDefaultImpl(double* values, int depth) const
{
    if (depth > kFCurveNodeMaxDepth) return values;
    if (mCurve) *values++ = mCurve->GetDefaultValue();
    for (const KFCurveNode* child : mChildren) values = child->GatherDefaultImpl(values, depth + 1);
    return values;
}

double* KFCurveNode::GatherDefaultValues(double* values) const
{
    return GatherDefaultImpl(values, 0);
}

// ---------------------------------------------------------------------------
// Evaluation

double* KFCurveNode::EvaluateAt(double* values, KTime time, int* indexHint)
{
    return EvaluateImpl(values, time, indexHint, true, 0);
}

double* KFCurveNode::Evaluate(double* values, KTime time, int* indexHint, bool useCache)
{
    return EvaluateImpl(values, time, indexHint, useCache, 0);
}

double* KFCurveNode::EvaluateImpl(double* values, KTime time, int* indexHint, bool useCache, int depth)
{
    if (depth > kFCurveNodeMaxDepth) return values;
    if (mTimeWarp && mTimeWarp != this) {
        Scratch warp(mTimeWarp->GetValueCount());
        if (mTimeWarp->EvaluateImpl(warp.data(), time, nullptr, useCache, depth + 1) != warp.data())
            time.SetSecondDouble(warp.data()[0]);
    }
    const bool base = mLayerId == 0;
    if (useCache && mCacheState == 2 && base &&
        (mCachedTime == time.Get() || (mFlags & kFCurveNodeFlagCacheAnyTime))) {
        const int n = GetValueCount();
        if (n <= kCacheSize) {
            std::memcpy(values, mCachedValues, static_cast<size_t>(n) * sizeof(double));
            return values + n;
        }
    }

    double* out = values;
    if (mCurve) *out++ = useCache ? mCurve->EvaluateCached(time, indexHint) : mCurve->Evaluate(time, indexHint);

    const bool quaternionBase = mLayerType == eCurveNodeLayerQuaternion && base;
    double quat[4] = {0.0, 0.0, 0.0, 1.0};
    if (quaternionBase) {
        for (int i = 0; i < GetChildCount() && i < 4; ++i) {
            KFCurveNode* child = mChildren[static_cast<size_t>(i)];
            Scratch one(child->GetValueCount());
            if (child->EvaluateImpl(one.data(), time, indexHint, useCache, depth + 1) != one.data())
                quat[i] = one.data()[0];
        }
    } else if (mLayerType == eCurveNodeLayerRotation) {
        out = EvaluateRotation(out, time, indexHint, useCache, depth);
    } else {
        out = EvaluateChildren(out, time, indexHint, useCache, depth);
    }

    if (mLayer) {
        const int layerCount = mLayer->GetValueCount();
        Scratch layer(layerCount);
        const int written = static_cast<int>(out - values);
        const int layerWritten =
            static_cast<int>(mLayer->EvaluateImpl(layer.data(), time, nullptr, useCache, depth + 1) - layer.data());
        const double* l = layer.data();
        if (mCurve) {
            if (layerWritten > 0) {
                if (mLayerType == eCurveNodeLayerPlain || mLayerType == eCurveNodeLayerTranslation) values[0] += l[0];
                else if (mLayerType == eCurveNodeLayerScaling) values[0] *= l[0];
            }
        } else if (mLayerType == eCurveNodeLayerRotation) {
            if (written >= 3 && layerWritten >= 3) {
                const KgeRotationOrder order(mRotationOrder);
                double node[16], lay[16], product[16];
                Identity(node);
                Identity(lay);
                Identity(product);
                order.EulerToMatrix(node, values);
                order.EulerToMatrix(lay, l);
                // The layer's matrix on the left, the node's on the right.
                KgeMatrixMultiply3x3(product, node, lay);
                order.MatrixToEuler(values, product);
            }
        } else if (mLayerType == eCurveNodeLayerQuaternion) {
            if (quaternionBase) {
                if (layerWritten >= 4) KgeQuaternionMultiply(quat, l, quat);
            } else if (written >= 4 && layerWritten >= 4) {
                KgeQuaternionMultiply(values, l, values);
            }
        } else {
            // Only as many channels as both sides actually wrote.
            const int n = std::min({written, layerWritten, std::max(mLayer->GetChildCount(), 1)});
            for (int i = 0; i < n; ++i) {
                if (mLayerType == eCurveNodeLayerScaling) values[i] *= l[i]; else values[i] += l[i];
            }
        }
    }

    if (quaternionBase) {
        double m[16], euler[3];
        Identity(m);
        KgeQuaternionToMatrix(m, quat);
        KgeMatrixToEulerXYZ(euler, m);
        for (double angle : euler) *out++ = angle;
    }

    if (useCache && base) {
        const int n = static_cast<int>(out - values);
        // Outputs longer than the cache are simply not cached.
        if (n <= kCacheSize) {
            std::memcpy(mCachedValues, values, static_cast<size_t>(n) * sizeof(double));
            mCachedTime = time.Get();
            mCacheState = 2;
        }
    }
    return out;
}

double* KFCurveNode::EvaluateChildren(double* values, KTime time, int* indexHint, bool useCache, int depth)
{
    for (KFCurveNode* child : mChildren) values = child->EvaluateImpl(values, time, indexHint, useCache, depth + 1);
    return values;
}

double* KFCurveNode::EvaluateRotation(double* values, KTime time, int* indexHint, bool useCache, int depth)
{
    if (EvaluateRotationQuaternion(values, time, indexHint, useCache)) return values + 3;
    return EvaluateChildren(values, time, indexHint, useCache, depth);
}

bool KFCurveNode::EvaluateRotationQuaternion(double* values, KTime time, int* indexHint, bool useCache)
{
    if (!mQuaternionInterpolation || GetChildCount() != 3) return false;
    for (int i = 0; i < 3; ++i) {
        if (!ChildHasCurve(this, i) || GetChild(i)->GetChildCount() != 0) return false;
    }
    KFCurve* c[3] = {GetChild(0)->GetCurve(), GetChild(1)->GetCurve(), GetChild(2)->GetCurve()};
    const int n0 = c[0]->KeyGetCount();
    if (n0 < 2) return false;
    int hint = indexHint ? *indexHint : 0;
    const double x = c[0]->KeyFindExtrapolated(time, &hint);
    const int lo = static_cast<int>(std::floor(x));
    const int hi = lo + 1;
    if (!(x > lo) || lo < 0 || hi > n0 - 1) return false;
    const std::uint32_t interpolation = c[0]->KeyGetInterpolation(lo);
    if (interpolation != kFCurveInterpolationLinear && interpolation != kFCurveInterpolationCubic) return false;

    int below[3], above[3];
    below[0] = lo;
    above[0] = hi;
    for (int k = 1; k < 3; ++k) {
        const double p = c[k]->KeyFindExtrapolated(time);
        below[k] = static_cast<int>(std::floor(p));
        above[k] = static_cast<int>(std::ceil(p));
    }

    const std::int64_t t1 = c[0]->KeyGetTime(lo).Get(), t2 = c[0]->KeyGetTime(hi).Get();
    const bool hasPrev = lo - 1 >= 0, hasNext = hi + 1 <= n0 - 1;
    const std::int64_t t0 = hasPrev ? c[0]->KeyGetTime(lo - 1).Get() : t1 - (t2 - t1);
    const std::int64_t t3 = hasNext ? c[0]->KeyGetTime(hi + 1).Get() : t2 + (t2 - t1);
    const double s = SecondsBetween(t1, t2);

    const KgeRotationOrder order(mRotationOrder);
    const std::int64_t times[4] = {t0, t1, t2, t3};
    double r[4][16], rel[4][16], q[4][4];
    for (int i = 0; i < 4; ++i) {
        double e[3] = {0.0, 0.0, 0.0};
        GatherValuesAt(e, KTime(times[i]));
        Identity(r[i]);
        order.EulerToMatrix(r[i], e);
    }
    for (int i = 0; i < 4; ++i) {
        Identity(rel[i]);
        KgeMatrixMultiply3x3ByTranspose(rel[i], r[1], r[i]);
    }
    if (!hasPrev) KgeMatrixTranspose3x3(rel[0], rel[2]);
    if (!hasNext) KgeMatrixMultiply3x3(rel[3], rel[2], rel[2]);
    for (int i = 0; i < 4; ++i) KgeMatrixToQuaternion(q[i], rel[i]);
    for (int i = 1; i < 4; ++i) {
        if (KgeVector4Dot(q[i], q[i - 1]) < 0.0) KgeVectorScaleN(q[i], q[i], -1.0, 4);
    }

    const double u = x - lo;
    double result[4];
    if (interpolation == kFCurveInterpolationLinear) {
        KgeVectorLerpN(result, q[1], q[2], u, 4);
    } else {
        double w0[4], w1[4], w2[4];
        for (int j = 0; j < 4; ++j) w1[j] = s > 0.0 ? (q[2][j] - q[1][j]) / s : 0.0;
        // Without a positive neighbouring span the segment's own velocity stands in.
        const double prevSpan = SecondsBetween(t0, t1), nextSpan = SecondsBetween(t2, t3);
        for (int j = 0; j < 4; ++j) {
            w0[j] = prevSpan > 0.0 ? (q[1][j] - q[0][j]) / prevSpan : w1[j];
            w2[j] = nextSpan > 0.0 ? (q[3][j] - q[2][j]) / nextSpan : w1[j];
        }
        auto controlFromEuler = [&](double* outQ, const double* euler) {
            double m[16], relative[16];
            Identity(m);
            Identity(relative);
            order.EulerToMatrix(m, euler);
            KgeMatrixMultiply3x3ByTranspose(relative, r[1], m);
            KgeMatrixToQuaternion(outQ, relative);
        };

        double p1[4], p2[4];
        const std::uint32_t modeLo = c[0]->KeyGetTangentMode(lo);
        if (modeLo == kFCurveTangentTCB) {
            const double tt = c[0]->KeyGetDataFloat(lo, 0), kk = c[0]->KeyGetDataFloat(lo, 1),
                         bb = c[0]->KeyGetDataFloat(lo, 2);
            for (int j = 0; j < 4; ++j) {
                const double prev = prevSpan > 0.0 ? w0[j] : w1[j];
                const double d = ((1 - kk) * (1 - bb) * w1[j] + (1 + bb) * (1 + kk) * prev) * (1 - tt) / 2;
                p1[j] = q[1][j] + d * s / 3;
            }
        } else if (modeLo & kFCurveTangentAuto) {
            double autos[4];
            autos[0] = c[0]->KeyGetRightAuto(lo);
            for (int k = 1; k < 3; ++k) {
                const int key = below[k];
                const bool usable = key > 0 && key < c[k]->KeyGetCount() && c[k]->KeyGetTime(key).Get() == t1;
                autos[k] = usable ? c[k]->KeyGetRightAuto(key) : 0.0;
            }
            autos[3] = (autos[0] + autos[1] + autos[2]) / 3.0;
            for (int j = 0; j < 4; ++j) p1[j] = q[1][j] + KFCurveAutoBlend(autos[j], w1[j], w0[j], true) * s / 3;
        } else {
            double e[3];
            for (int k = 0; k < 3; ++k) {
                const int key = below[k];
                if (key >= 0 && key < c[k]->KeyGetCount() && c[k]->KeyGetTime(key).Get() == t1)
                    e[k] = c[k]->KeyGetRightBezierValue(key);
                else
                    e[k] = c[k]->Evaluate(KTime(t1 + static_cast<std::int64_t>((t2 - t1) / 3)));
            }
            controlFromEuler(p1, e);
        }
        const std::uint32_t modeHi = c[0]->KeyGetTangentMode(hi);
        if (modeHi == kFCurveTangentTCB) {
            const double tt = c[0]->KeyGetDataFloat(hi, 0), kk = c[0]->KeyGetDataFloat(hi, 1),
                         bb = c[0]->KeyGetDataFloat(hi, 2);
            for (int j = 0; j < 4; ++j) {
                const double next = nextSpan > 0.0 ? w2[j] : w1[j];
                const double d = ((1 - kk) * (1 + bb) * w1[j] + (1 + kk) * (1 - bb) * next) * (1 - tt) / 2;
                p2[j] = q[2][j] - d * s / 3;
            }
        } else if (modeHi & kFCurveTangentAuto) {
            double autos[4];
            autos[0] = c[0]->KeyGetLeftAuto(hi);
            for (int k = 1; k < 3; ++k) {
                const int key = above[k];
                const bool usable = key >= 0 && key < c[k]->KeyGetCount() - 1 && c[k]->KeyGetTime(key).Get() == t2;
                autos[k] = usable ? c[k]->KeyGetLeftAuto(key) : 0.0;
            }
            autos[3] = (autos[0] + autos[1] + autos[2]) / 3.0;
            for (int j = 0; j < 4; ++j) p2[j] = q[2][j] - KFCurveAutoBlend(autos[j], w1[j], w2[j], false) * s / 3;
        } else {
            double e[3];
            for (int k = 0; k < 3; ++k) {
                const int key = above[k];
                if (key >= 0 && key < c[k]->KeyGetCount() && c[k]->KeyGetTime(key).Get() == t2)
                    e[k] = c[k]->KeyGetLeftBezierValue(key);
                else
                    e[k] = c[k]->Evaluate(KTime(t2 - static_cast<std::int64_t>((t2 - t1) / 3)));
            }
            controlFromEuler(p2, e);
        }
        double p0[4], p3[4];
        std::memcpy(p0, q[1], sizeof p0);
        std::memcpy(p3, q[2], sizeof p3);
        if (KgeVector4Dot(p1, p0) < 0.0) KgeVectorScaleN(p1, p1, -1.0, 4);
        if (KgeVector4Dot(p2, p1) < 0.0) KgeVectorScaleN(p2, p2, -1.0, 4);
        if (KgeVector4Dot(p3, p2) < 0.0) KgeVectorScaleN(p3, p3, -1.0, 4);
        KgeVectorBezierN(result, p0, p1, p2, p3, u, 4);
    }

    double m[16], world[16];
    KgeMatrixFromQuaternionRotation(m, result);
    Identity(world);
    KgeMatrixMultiply3x3(world, r[1], m);
    order.MatrixToEuler(values, world);

    if (useCache) {
        for (int k = 0; k < 3; ++k) {
            c[k]->ResetCache();
            if (mLayerId == 0) {
                KFCurveNode* child = GetChild(k);
                child->mCachedValues[0] = values[k];
                child->mCachedTime = time.Get();
                child->mCacheState = 2;
            }
        }
    }
    return true;
}

double* KFCurveNode::EvaluateLayer(double* values, KTime time, int layerId, int* indexHint)
{
    const int id = LayersAllowed() ? layerId : 0;
    KFCurveNode* layer = FindLayer(id);
    if (!layer) return values;
    if (layer->mCurve) *values++ = layer->mCurve->Evaluate(time, indexHint);
    if (layer->mLayerType == eCurveNodeLayerRotation) {
        if (layer->EvaluateRotationQuaternion(values, time, indexHint, false)) return values + 3;
    }
    for (KFCurveNode* child : layer->mChildren) values = child->EvaluateLayer(values, time, id, indexHint);
    return values;
}

void KFCurveNode::InvalidateImpl(int layerId, bool withLayers, int depth)
{
    if (depth > kFCurveNodeMaxDepth) return;
    const int id = LayersAllowed() ? layerId : 0;
    if (id == mLayerId) {
        if (mCurve) mCurve->ResetCache();
        mCachedTime = kFCurveInfiniteTicks;
        mCacheState = 1;
        for (KFCurveNode* child : mChildren) child->InvalidateImpl(id, withLayers, depth + 1);
        if (withLayers) {
            for (KFCurveNode* n = mLayer; n; n = n->mLayer) n->InvalidateImpl(n->mLayerId, false, depth + 1);
        }
    } else if (mLayer && mLayer->mLayerId <= id) {
        mLayer->InvalidateImpl(id, withLayers, depth + 1);
    }
}

void KFCurveNode::InvalidateCache(int layerId, bool withLayers)
{
    InvalidateImpl(layerId, withLayers, 0);
}

// ---------------------------------------------------------------------------
// Key appending and rotation continuity

const double* KFCurveNode::KeyAppendImpl(KTime time, const double* values, int depth)
{
    if (depth > kFCurveNodeMaxDepth) return values;
    if (mCurve) mCurve->KeyAppendFast(time, static_cast<float>(*values++));
    for (KFCurveNode* child : mChildren) values = child->KeyAppendImpl(time, values, depth + 1);
    return values;
}

const double* KFCurveNode::KeyAppend(KTime time, const double* values, bool unrollRotation)
{
    if (unrollRotation && !mCurve && GetChildCount() == 3) {
        double unrolled[3];
        UnrollRotationValues(unrolled, values, time);
        KeyAppendImpl(time, unrolled, 0);
        return values + 3;
    }
    return KeyAppendImpl(time, values, 0);
}

void KFCurveNode::UnrollRotationValues(double* out, const double* values, KTime time) const
{
    const KTime previous = GetPreviousKeyTime(time);
    if (previous == time) {
        for (int i = 0; i < 3; ++i) out[i] = values[i];
        return;
    }
    double reference[3] = {0.0, 0.0, 0.0};
    if (GetValueCount() == 3) GatherValuesAt(reference, previous);
    KgeEulerEquivalentChooseForOrder(out, values, reference, mRotationOrder);
}

bool KFCurveNode::ComputeEulerOffsets(double* offsets, const double* previous, const double* current) const
{
    bool alternative = false;
    double p[3] = {previous[0], previous[1], previous[2]};
    if (mRotationOrder != kSphericOrder) {
        int axes[3];
        KgeRotationOrderAxes(mRotationOrder, axes);
        double chosen[3];
        alternative = KgeEulerEquivalentChoose(chosen, previous, current, axes);
        if (alternative) {
            p[0] = previous[0] + 180.0;
            p[1] = 180.0 - previous[1];
            p[2] = previous[2] + 180.0;
        }
    }
    for (int i = 0; i < 3; ++i) {
        const double turns = (current[i] - p[i]) / 360.0;
        double k = std::trunc(turns);
        const double fraction = turns - k;
        if (fraction > 0.5000000000000002) k += 1.0;
        if (fraction < -0.5000000000000002) k -= 1.0;
        offsets[i] = 360.0 * k + (alternative ? 180.0 : 0.0);
    }
    return alternative;
}

// ---------------------------------------------------------------------------
// Range replacement

namespace {

// Both trees hold `count` leaf channels with a curve each.
bool HasCurveChannels(const KFCurveNode* node, int count)
{
    if (!node || node->GetChildCount() < count) return false;
    for (int i = 0; i < count; ++i) {
        if (!ChildHasCurve(node, i) || node->GetChild(i)->GetChildCount() != 0) return false;
    }
    return true;
}

}  // namespace

bool KFCurveNode::ReplaceRange(KFCurveNode* source, KTime start, KTime stop, bool useExactSpan,
                               bool keysAtEndsWhenEmpty, KTime offset)
{
    return ReplaceRangeImpl(source, start, stop, useExactSpan, keysAtEndsWhenEmpty, offset, 0);
}

bool KFCurveNode::ReplaceRangeImpl(KFCurveNode* source, KTime start, KTime stop, bool useExactSpan, bool keysAtEnds,
                                   KTime offset, int depth)
{
    if (!source || source == this || depth > kFCurveNodeMaxDepth) return false;
    const KTime tStart = start.Add(offset), tStop = stop.Add(offset);
    if (mLayerType == eCurveNodeLayerRotation) {
        if (!HasCurveChannels(this, 3) || !HasCurveChannels(source, 3)) return false;
        double m = -1.0;
        for (int k : {1, 2, 0}) m = std::max(m, GetChild(k)->GetCurve()->KeyFind(tStart));
        double a0[3], a1[3], s0[3], s1[3];
        for (int k = 0; k < 3; ++k) {
            a0[k] = GetChild(k)->GetCurve()->Evaluate(tStart);
            a1[k] = GetChild(k)->GetCurve()->Evaluate(tStop);
            s0[k] = source->GetChild(k)->GetCurve()->Evaluate(start);
            s1[k] = source->GetChild(k)->GetCurve()->Evaluate(stop);
        }
        bool altStart = false;
        double o0[3] = {0.0, 0.0, 0.0}, o1[3] = {0.0, 0.0, 0.0};
        if (m > 0.0) {
            altStart = ComputeEulerOffsets(o0, s0, a0);
            s1[0] += o0[0];
            s1[1] = altStart ? o0[1] - s1[1] : s1[1] + o0[1];
            s1[2] += o0[2];
        }
        const bool altStop = ComputeEulerOffsets(o1, a1, s1);
        for (int k = 0; k < 3; ++k) {
            GetChild(k)->GetCurve()->ReplaceOffset(*source->GetChild(k)->GetCurve(), start, stop,
                                                   static_cast<float>(o0[k]), static_cast<float>(o1[k]),
                                                   k == 1 && altStart, k == 1 && altStop, useExactSpan, keysAtEnds,
                                                   offset);
        }
        return true;
    }
    if (mLayerType == eCurveNodeLayerQuaternion) {
        if (!HasCurveChannels(this, 4)) return false;
        double v0[4] = {0, 0, 0, 1}, v1[4] = {0, 0, 0, 1};
        for (int k = 0; k < 4; ++k) {
            v0[k] = GetChild(k)->GetCurve()->Evaluate(tStart);
            v1[k] = GetChild(k)->GetCurve()->Evaluate(tStop);
        }
        if (source->GetChildCount() != GetChildCount()) return false;
        return ReplaceQuaternionChannels(source, start, stop, KgeVector4Length(v0), KgeVector4Length(v1),
                                         useExactSpan, keysAtEnds, offset);
    }
    if (mCurve && source->mCurve) mCurve->Replace(*source->mCurve, start, stop, useExactSpan, keysAtEnds, offset);
    bool ok = true;
    if (source->GetChildCount() == GetChildCount()) {
        for (int k = 0; k < GetChildCount(); ++k)
            ok = GetChild(k)->ReplaceRangeImpl(source->GetChild(k), start, stop, useExactSpan, keysAtEnds, offset,
                                               depth + 1) && ok;
    }
    return ok;
}

bool KFCurveNode::ReplaceQuaternionChannels(KFCurveNode* source, KTime start, KTime stop, double startFactor,
                                            double stopFactor, bool useExactSpan, bool keysAtEndsWhenEmpty,
                                            KTime offset)
{
    if (!HasCurveChannels(this, 4) || !HasCurveChannels(source, 4)) return false;
    for (int k = 0; k < 4; ++k) {
        GetChild(k)->GetCurve()->ReplaceScaled(*source->GetChild(k)->GetCurve(), start, stop,
                                               static_cast<float>(startFactor), static_cast<float>(stopFactor),
                                               useExactSpan, keysAtEndsWhenEmpty, offset);
    }
    return true;
}

}  // namespace duzsdk
