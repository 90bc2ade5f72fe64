#include "sdk/scene/KDuzNodeTransform.h"

#include "sdk/base/KgeMath.h"

#include <cmath>
#include <cstring>

namespace duzsdk {

const char* ERotationOrderName(int order) {
    static constexpr const char* kNames[] = {"Euler XYZ", "Euler XZY", "Euler YZX",  "Euler YXZ",
                                             "Euler ZXY", "Euler ZYX", "Spheric XYZ"};
    return order >= 0 && order < 7 ? kNames[order] : nullptr;
}

const char* ETransformInheritTypeName(int type) {
    static constexpr const char* kNames[] = {"RrSs", "RrSs", "Rrs"};
    return type >= 0 && type < 3 ? kNames[type] : nullptr;
}

// ---- limit records ------------------------------------------------------------------

void KDuzNodeLimitRecord::Reset(double initial) {
    flags = 0;
    min.SetXYZW(initial, initial, initial, 1.0);
    max.SetXYZW(initial, initial, initial, 1.0);
    extra.SetXYZW(0.0, 0.0, 0.0, 1.0);
}

void KDuzNodeLimitRecord::Copy(const KDuzNodeLimitRecord& other) {
    flags = other.flags;
    for (int c = 0; c < 3; ++c) {
        min[c] = other.min[c];
        max[c] = other.max[c];
        extra[c] = other.extra[c];
    }
}

void KDuzLimitRecordApply(const KDuzNodeLimitRecord& record, const double* in, double* out) {
    if (in == nullptr || out == nullptr) return;
    if ((record.flags & kDuzLimitAxisMask) == 0) {
        if (out != in) std::memmove(out, in, 3 * sizeof(double));
        return;
    }
    for (int axis = 0; axis < 3; ++axis) {
        double value = in[axis];
        if ((record.flags & (kDuzLimitMinX << axis)) && value < record.min[axis]) value = record.min[axis];
        if ((record.flags & (kDuzLimitMaxX << axis)) && value > record.max[axis]) value = record.max[axis];
        out[axis] = value;
    }
}

// ---- pivot sets ---------------------------------------------------------------------

void KDuzNodePivotSet::Reset() {
    const KgeTVector zero(0.0, 0.0, 0.0, 1.0);
    rotationOffset = rotationPivot = preRotation = postRotation = zero;
    scalingOffset = scalingPivot = geometricTranslation = geometricRotation = zero;
    geometricScaling.SetXYZW(1.0, 1.0, 1.0, 1.0);
    rotationOrder = 0;
    rotationSpaceForLimitOnly = false;
    quaternionInterpolate = false;
    state = 1;
}

// ---- pre- and post-rotation -----------------------------------------------------------

void KDuzNodePrePostRotation::Reset() {
    flags = 0;
    preMatrix.SetIdentity();
    postMatrix.SetIdentity();
    reserved = 0;
    rotationOrder.SetOrderIndex(0);
}

void KDuzNodePrePostRotation::Copy(const KDuzNodePrePostRotation& other) {
    flags = other.flags;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            preMatrix.SetElement(r, c, other.preMatrix.GetElement(r, c));
            postMatrix.SetElement(r, c, other.postMatrix.GetElement(r, c));
        }
    }
    reserved = other.reserved;
    rotationOrder.SetOrderIndex(other.rotationOrder.GetOrderIndex());
}

void KDuzNodePrePostRotation::EulerToMatrix(KgeMatrix& out, const KgeTVector& angles) const {
    out.SetIdentity();
    rotationOrder.EulerToMatrix(out.Data(), angles.Data());
    // Row vectors: out x pre applies R first, then the pre-rotation.
    if (flags & 1) KgeMatrixMultiply3x3(out.Data(), preMatrix.Data(), out.Data());
    // post^T x out: the inverse post-rotation applies first.
    if (flags & 2) {
        KgeMatrix postT;
        KgeMatrixTranspose3x3(postT.Data(), postMatrix.Data());
        KgeMatrixMultiply3x3(out.Data(), out.Data(), postT.Data());
    }
}

void KDuzNodePrePostRotation::MatrixToEuler(KgeTVector& angles, const KgeMatrix& m) const {
    KgeMatrix work = m;
    if (flags & 1) {
        KgeMatrix preT;
        KgeMatrixTranspose3x3(preT.Data(), preMatrix.Data());
        KgeMatrixMultiply3x3(work.Data(), preT.Data(), work.Data());
    }
    if (flags & 2) KgeMatrixMultiply3x3(work.Data(), work.Data(), postMatrix.Data());
    double result[3] = {0.0, 0.0, 0.0};
    rotationOrder.MatrixToEuler(result, work.Data());
    angles.SetXYZW(result[0], result[1], result[2], angles[3]);
}

// ---- evaluation record ----------------------------------------------------------------

void KDuzNodeTransformEvaluation::Reset() {
    flags = 0;
    inheritType = 0;
    const KgeTVector zero(0.0, 0.0, 0.0, 1.0);
    rotationOffset = rotationPivot = scalingOffset = scalingPivot = zero;
    rotationSpaceForLimitOnly = false;
    prePost.Reset();
    rotationLimits.Reset(0.0);
    translationLimits.Reset(0.0);
    scalingLimits.Reset(1.0);
}

void KDuzNodeTransformEvaluation::Copy(const KDuzNodeTransformEvaluation& other) {
    if (&other == this) return;
    flags = other.flags;
    inheritType = other.inheritType;
    for (int c = 0; c < 3; ++c) {
        rotationOffset[c] = other.rotationOffset[c];
        rotationPivot[c] = other.rotationPivot[c];
        scalingOffset[c] = other.scalingOffset[c];
        scalingPivot[c] = other.scalingPivot[c];
    }
    rotationSpaceForLimitOnly = other.rotationSpaceForLimitOnly;
    prePost.Copy(other.prePost);
    rotationLimits.Copy(other.rotationLimits);
    translationLimits.Copy(other.translationLimits);
    scalingLimits.Copy(other.scalingLimits);
}

// The record keeps rotation, translation, scaling in that order while the
// kinds number translation first: map them by name, never by position.
KDuzNodeLimitRecord* KDuzNodeTransformEvaluation::LimitsOfKind(int kind) {
    switch (kind) {
        case 0:
            return &translationLimits;
        case 1:
            return &rotationLimits;
        case 2:
            return &scalingLimits;
        default:
            return nullptr;
    }
}

const KDuzNodeLimitRecord* KDuzNodeTransformEvaluation::LimitsOfKind(int kind) const {
    return const_cast<KDuzNodeTransformEvaluation*>(this)->LimitsOfKind(kind);
}

void KDuzNodeTransformEvaluation::LocalRotationMatrix(KgeMatrix& out, const KgeTVector& r) const {
    if (RotationActive() && !rotationSpaceForLimitOnly) {
        prePost.EulerToMatrix(out, r);
    } else {
        out.SetIdentity();
        KgeEulerXYZToMatrix(out.Data(), r[0], r[1], r[2]);
    }
}

KgeTVector KDuzNodeTransformEvaluation::GetPivotTranslation(const KgeMatrix& rl, const KgeMatrix& sl) const {
    double v[3] = {0.0, 0.0, 0.0};
    if (flags & kDuzEvalScalingPivot) {
        for (int i = 0; i < 3; ++i) v[i] = (1.0 - sl.GetElement(i, i)) * scalingPivot[i];
    }
    if (flags & kDuzEvalScalingOffset) {
        for (int i = 0; i < 3; ++i) v[i] += scalingOffset[i];
    }
    if (flags & kDuzEvalRotationPivot) {
        for (int i = 0; i < 3; ++i) v[i] -= rotationPivot[i];
        KgeVectorTimesMatrix3x3(v, v, rl.Data());
        for (int i = 0; i < 3; ++i) v[i] += rotationPivot[i];
    } else if (flags & (kDuzEvalScalingOffset | kDuzEvalScalingPivot)) {
        KgeVectorTimesMatrix3x3(v, v, rl.Data());
    }
    if (flags & kDuzEvalRotationOffset) {
        for (int i = 0; i < 3; ++i) v[i] += rotationOffset[i];
    }
    return KgeTVector(v[0], v[1], v[2], 1.0);
}

KgeTVector KDuzNodeTransformEvaluation::GetTranslation(const KgeTVector& t, const KgeMatrix& rl,
                                                       const KgeMatrix& sl) const {
    const KgeTVector v = GetPivotTranslation(rl, sl);
    return KgeTVector(t[0] + v[0], t[1] + v[1], t[2] + v[2], 1.0);
}

void KDuzNodeTransformEvaluation::GetGlobalScaling(KgeMatrix& sg, const KgeMatrix& parentSg,
                                                   const KgeMatrix& sl, const KgeMatrix& rl,
                                                   const KgeTVector& parentLocalS) const {
    // Types outside 0..2 come only from malformed files; they act as 0.
    const int type = inheritType >= 0 && inheritType <= 2 ? inheritType : 0;
    if (type == 0) {
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                sg.SetElement(r, c, r == c ? parentSg.GetElement(r, r) * sl.GetElement(r, r) : 0.0);
            }
        }
        return;
    }
    KgeMatrix parent = parentSg;
    if (type == 2) {
        // Remove the parent's own scaling; an axis scaled to 0 contributes 0
        // instead of an infinite factor (which would give NaN below).
        for (int r = 0; r < 3; ++r) {
            const double s = parentLocalS[r];
            const double factor = std::fabs(s) < 1e-12 ? 0.0 : 1.0 / s;
            for (int c = 0; c < 3; ++c) parent.SetElement(r, c, parent.GetElement(r, c) * factor);
        }
    }
    // Sg = Sl x Rl x parent x Rl^T
    KgeMatrix work;
    KgeMatrixMultiply3x3ByTranspose(work.Data(), rl.Data(), parent.Data());  // parent x Rl^T
    KgeMatrixMultiply3x3(work.Data(), work.Data(), rl.Data());               // Rl x (parent x Rl^T)
    KgeMatrixMultiply3x3(work.Data(), work.Data(), sl.Data());               // Sl x ...
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) sg.SetElement(r, c, work.GetElement(r, c));
    }
}

void KDuzNodeTransformEvaluation::ComposeGlobal(KgeMatrix& g, const KgeTVector& tg, const KgeMatrix& rg,
                                                const KgeMatrix& sg) const {
    const int type = inheritType >= 0 && inheritType <= 2 ? inheritType : 0;
    g.SetIdentity();
    if (type == 0) {
        const double s[3] = {sg.GetElement(0, 0), sg.GetElement(1, 1), sg.GetElement(2, 2)};
        KgeMatrixSetRotationScaleTranslation(g.Data(), tg.Data(), rg.Data(), s);
        return;
    }
    KgeMatrixMultiply3x3(g.Data(), rg.Data(), sg.Data());  // Sg x Rg
    for (int c = 0; c < 3; ++c) g.SetElement(3, c, tg[c]);
}

// ---- caches ---------------------------------------------------------------------------

void KDuzNodeTransformCache::Reset() { *this = KDuzNodeTransformCache(); }

void KDuzNodeTransformCache::Drop() {
    for (int i = 0; i < 3; ++i) {
        hints[i] = 0;
        cached[i] = false;
    }
    globalCached = false;
}

// ---- matrix helpers ---------------------------------------------------------------------

void KgeMatrixMultiply4x4(double* out, const double* a, const double* b) {
    double result[16];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a[4 * r + k] * b[4 * k + c];
            result[4 * r + c] = sum;
        }
    }
    std::memcpy(out, result, sizeof(result));
}

void KgeVectorTimesMatrix3x3(double* out, const double* v, const double* m) {
    const double x = v[0], y = v[1], z = v[2];
    for (int c = 0; c < 3; ++c) out[c] = x * m[c] + y * m[4 + c] + z * m[8 + c];
}

void KgeMatrixSetRotationScaleTranslation(double* out, const double* t, const double* r, const double* s) {
    for (int row = 0; row < 3; ++row) {
        for (int c = 0; c < 3; ++c) out[4 * row + c] = s[row] * r[4 * row + c];
    }
    for (int c = 0; c < 3; ++c) out[12 + c] = t[c];
}

void KgeMatrixSetTranslationOnly(double* out, const double* t) {
    KgeMatrix identity;
    std::memcpy(out, identity.Data(), 16 * sizeof(double));
    for (int c = 0; c < 3; ++c) out[12 + c] = t[c];
}

}  // namespace duzsdk
