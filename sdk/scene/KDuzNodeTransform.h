// The records a node evaluates its transform with: rotation orders and
// inherit types, the two pivot sets, the evaluation record the limits and
// the transform read, the per-take caches, and the clamp of a limit record.
#pragma once

#include "sdk/base/KTime.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeRotationOrder.h"
#include "sdk/base/KgeTVector.h"

namespace duzsdk {

enum ERotationOrder : int {
    eEulerXYZ = 0,
    eEulerXZY = 1,
    eEulerYZX = 2,
    eEulerYXZ = 3,
    eEulerZXY = 4,
    eEulerZYX = 5,
    eSphericXYZ = 6,
};
// Null for a value outside 0..6.
const char* ERotationOrderName(int order);

enum ETransformInheritType : int {
    eInheritRrSs = 0,
    eInheritRSrs = 1,
    eInheritRrs = 2,
};
// 0 and 1 share "RrSs"; null for any other value.
const char* ETransformInheritTypeName(int type);

// Flag bits of a limit record.
enum : int {
    kDuzLimitActive = 0x01,
    kDuzLimitMinX = 0x02,
    kDuzLimitMinY = 0x04,
    kDuzLimitMinZ = 0x08,
    kDuzLimitMaxX = 0x10,
    kDuzLimitMaxY = 0x20,
    kDuzLimitMaxZ = 0x40,
    kDuzLimitAxisMask = 0x7E,
};

struct KDuzNodeLimitRecord {
    int flags = 0;
    KgeTVector min{0.0, 0.0, 0.0, 1.0};
    KgeTVector max{0.0, 0.0, 0.0, 1.0};
    KgeTVector extra{0.0, 0.0, 0.0, 1.0};

    void Reset(double initial);
    void Copy(const KDuzNodeLimitRecord& other);
};

// Clamps x, y, z of in per axis with the record's minimum and maximum bits
// (the maximum wins when the minimum is above it). The active bit is not
// consulted. out may be in; w is copied.
void KDuzLimitRecordApply(const KDuzNodeLimitRecord& record, const double* in, double* out);

struct KDuzNodePivotSet {
    KgeTVector rotationOffset;
    KgeTVector rotationPivot;
    KgeTVector preRotation;
    KgeTVector postRotation;
    KgeTVector scalingOffset;
    KgeTVector scalingPivot;
    KgeTVector geometricTranslation;
    KgeTVector geometricRotation;
    KgeTVector geometricScaling;
    int rotationOrder = 0;
    bool rotationSpaceForLimitOnly = false;
    bool quaternionInterpolate = false;
    // 1 after reset; 0 once loaded from the node's properties.
    int state = 1;

    KDuzNodePivotSet() { Reset(); }
    void Reset();
};

struct KDuzNodePrePostRotation {
    int flags = 0;  // bit 0 pre-rotation present, bit 1 post-rotation present
    KgeMatrix preMatrix;
    KgeMatrix postMatrix;
    long long reserved = 0;
    KgeRotationOrder rotationOrder;

    void Reset();
    void Copy(const KDuzNodePrePostRotation& other);
    // out = postMatrix^-1 x R_order(angles) x preMatrix (3x3 parts).
    void EulerToMatrix(KgeMatrix& out, const KgeTVector& angles) const;
    // Undoes EulerToMatrix.
    void MatrixToEuler(KgeTVector& angles, const KgeMatrix& m) const;
};

// Flag bits of an evaluation record.
enum : int {
    kDuzEvalRotationOffset = 0x01,
    kDuzEvalRotationPivot = 0x02,
    kDuzEvalScalingOffset = 0x04,
    kDuzEvalScalingPivot = 0x08,
};

struct KDuzNodeTransformEvaluation {
    int flags = 0;
    int inheritType = 0;
    KgeTVector rotationOffset{0.0, 0.0, 0.0, 1.0};
    KgeTVector rotationPivot{0.0, 0.0, 0.0, 1.0};
    KgeTVector scalingOffset{0.0, 0.0, 0.0, 1.0};
    KgeTVector scalingPivot{0.0, 0.0, 0.0, 1.0};
    bool rotationSpaceForLimitOnly = false;
    KDuzNodePrePostRotation prePost;
    KDuzNodeLimitRecord rotationLimits;
    KDuzNodeLimitRecord translationLimits;
    KDuzNodeLimitRecord scalingLimits;

    KDuzNodeTransformEvaluation() { Reset(); }
    void Reset();
    void Copy(const KDuzNodeTransformEvaluation& other);
    // The limit record of a kind (0 translation, 1 rotation, 2 scaling); null otherwise.
    KDuzNodeLimitRecord* LimitsOfKind(int kind);
    const KDuzNodeLimitRecord* LimitsOfKind(int kind) const;

    bool RotationActive() const { return (rotationLimits.flags & kDuzLimitActive) != 0; }
    // The local rotation matrix: through the pre/post record and the rotation
    // order only while rotation is active and not limited to limit space.
    void LocalRotationMatrix(KgeMatrix& out, const KgeTVector& r) const;
    // The offset the pivots and offsets add to the translation.
    KgeTVector GetPivotTranslation(const KgeMatrix& rl, const KgeMatrix& sl) const;
    KgeTVector GetTranslation(const KgeTVector& t, const KgeMatrix& rl, const KgeMatrix& sl) const;
    // parentLocalS: the parent's own local scaling (inherit type 2).
    void GetGlobalScaling(KgeMatrix& sg, const KgeMatrix& parentSg, const KgeMatrix& sl, const KgeMatrix& rl,
                          const KgeTVector& parentLocalS) const;
    void ComposeGlobal(KgeMatrix& g, const KgeTVector& tg, const KgeMatrix& rg, const KgeMatrix& sg) const;
};

struct KDuzNodeTransformCache {
    int hints[3] = {0, 0, 0};
    KTime times[3];
    bool cached[3] = {false, false, false};
    KgeTVector local[3];  // T, R, S
    bool globalCached = false;
    KTime globalTime;
    KgeMatrix g;
    KgeTVector tg;
    KgeMatrix rg;
    KgeMatrix sg;
    // Change count of the node graph this cache was filled at.
    unsigned long long epoch = 0;

    void Reset();
    void Drop();
};

struct KDuzDecomposedTransform {
    int index = -1;
    KgeMatrix matrix;
    KgeTVector vector;
    KgeMatrix rotation;
    KgeMatrix scale;

    void Reset() { *this = KDuzDecomposedTransform(); }
};

// What a node keeps once it is evaluated: most nodes of a large scene are
// never evaluated and do without.
struct KDuzNodeCaches {
    KDuzNodeTransformCache atTime;
    KDuzNodeTransformCache byDefault;
    KDuzDecomposedTransform decomposed[2];
};

// Matrix helpers of the transform evaluation (16 doubles, row-major).
void KgeMatrixMultiply4x4(double* out, const double* a, const double* b);
void KgeVectorTimesMatrix3x3(double* out, const double* v, const double* m);
void KgeMatrixSetRotationScaleTranslation(double* out, const double* t, const double* r, const double* s);
void KgeMatrixSetTranslationOnly(double* out, const double* t);

}  // namespace duzsdk
