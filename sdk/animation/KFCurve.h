#pragma once
// Keyed animation curve: one scalar channel given as a time-ordered list of
// keys kept in fixed 25-key blocks, with extrapolation, tangents, evaluation,
// a one-value evaluation cache and change callbacks.

#include <cstdint>
#include <vector>

#include "sdk/animation/KFCurveKey.h"
#include "sdk/base/KTime.h"

namespace duzsdk {

class KFCurve;
class KFCurveNode;

using KFCurveCallback = void (*)(KFCurve* curve, KFCurveChange* change, void* userData);

// The time line ends used to mean "unbounded" in span operations.
inline constexpr std::int64_t kFCurveInfiniteTicks = 0x7FFFFFFFFFFFFFFFLL;
inline constexpr std::int64_t kFCurveMinusInfiniteTicks = -0x7FFFFFFFFFFFFFFFLL;  // 0x8000000000000001

// Most keys a curve accepts; well beyond any real curve, and small enough that
// the block arithmetic stays inside 32-bit indices.
inline constexpr int kFCurveMaxKeyCount = 0x7FFFFFFF - 1600;

class KFCurve {
public:
    KFCurve();
    virtual ~KFCurve();
    KFCurve(const KFCurve&) = delete;
    KFCurve& operator=(const KFCurve&) = delete;

    // Curve-level settings.
    float GetDefaultValue() const { return mDefaultValue; }
    void SetDefaultValue(float value);
    const float* GetColor() const { return mColor; }
    void SetColor(const float* rgb);
    void SetColor(float red, float green, float blue)
    {
        const float rgb[3] = {red, green, blue};
        SetColor(rgb);
    }
    int GetPreExtrapolation() const { return mPreExtrapolation; }
    void SetPreExtrapolation(int mode);
    int GetPreExtrapolationCount() const { return mPreExtrapolationCount; }
    void SetPreExtrapolationCount(int count);
    int GetPostExtrapolation() const { return mPostExtrapolation; }
    void SetPostExtrapolation(int mode);
    int GetPostExtrapolationCount() const { return mPostExtrapolationCount; }
    void SetPostExtrapolationCount(int count);
    void SetUserObject(void* object) { mUserObject = object; }
    void* GetUserObject() const { return mUserObject; }
    std::int32_t GetRevision() const { return mRevision; }
    int KeyGetCount() const { return mKeyCount; }
    int KeyGetCapacity() const { return mKeyCapacity; }

    // Key reads. An index outside 0..count-1 reads as a zero key.
    KFCurveKey KeyGet(int index) const;
    float KeyGetValue(int index) const;
    KTime KeyGetTime(int index) const;
    std::uint32_t KeyGetInterpolation(int index) const;
    std::uint32_t KeyGetConstantMode(int index) const;
    std::uint32_t KeyGetTangentMode(int index, bool extended = false) const;
    std::uint32_t KeyGetWeightMode(int index) const;
    std::uint32_t KeyGetVelocityMode(int index) const;
    bool KeyIsMarked(int index) const;
    float KeyGetDataFloat(int index, int slot) const;
    double KeyGetDataDouble(int index, int slot) const;

    // Key writes on one key; an index outside 0..count-1 is ignored.
    void KeySetValue(int index, float value);
    void KeyIncValue(int index, float delta);
    void KeyMultValue(int index, float factor);
    void KeySetTime(int index, KTime time);
    void KeySetInterpolation(int index, std::uint32_t interpolation);
    void KeySetConstantMode(int index, std::uint32_t mode);
    void KeySetTangentMode(int index, std::uint32_t mode);
    void KeySetWeightMode(int index, std::uint32_t mode, std::uint32_t mask = kFCurveWeightedAll);
    void KeySetVelocityMode(int index, std::uint32_t mode, std::uint32_t mask = kFCurveVelocityAll);
    void KeySetBreak(int index, bool on);
    void KeySetMarked(int index, bool marked);
    void KeySetDataDouble(int index, int slot, double value);
    void KeySetDataFloat(int index, int slot, float value);
    void KeyMultDerivative(int index, float factor);

    // Whole-key setters. The index may be the count (append); an index past
    // the count is refused (false) because it would leave gap keys.
    bool KeySet(int index, KTime time, float value, std::uint32_t interpolation = kFCurveInterpolationCubic,
                std::uint32_t tangentMode = kFCurveTangentAuto, float data0 = 0.0f, float data1 = 0.0f,
                std::uint32_t weightMode = 0, float weightRight = kFCurveDefaultWeight,
                float weightNextLeft = kFCurveDefaultWeight, float velocityRight = 0.0f,
                float velocityNextLeft = 0.0f);
    bool KeySetTCB(int index, KTime time, float value, float tension = 0.0f, float continuity = 0.0f,
                   float bias = 0.0f);
    bool KeySetFromKey(int index, const KFCurveKey& key);
    bool KeyCopy(int index, const KFCurve& source, int sourceIndex);

    // Ordered insertion.
    int KeyAdd(KTime time, const KFCurveKey& key, int* lastIndex = nullptr);
    int KeyAdd(KTime time, int* lastIndex = nullptr);
    int KeyAppendFast(KTime time, float value);
    int KeyInsert(KTime time, int* lastIndex = nullptr);
    bool KeyInsertKeepShape(int* lastIndex, std::uint32_t interpolation, std::uint32_t tangentMode,
                            std::uint32_t preset, bool rewriteExisting, KTime time, double tolerance);

    // Removal and capacity.
    bool KeyRemove(int index);
    bool KeyRemove(int first, int last);
    void KeyRemoveBetween(KTime start, KTime stop);
    void KeyClear();
    bool ReserveKeys(int count);

    // Callbacks and modify blocks.
    void CallbackRegister(KFCurveCallback callback, void* userData);
    void CallbackUnregister(KFCurveCallback callback, void* userData);
    void BeginKeyModify();
    int EndKeyModify();
    // Off: changes are neither recorded nor delivered.
    void SetNotificationEnabled(bool enabled) { mNotifyEnabled = enabled; }
    bool IsNotificationEnabled() const { return mNotifyEnabled; }
    // Off: changes are recorded and delivered together when switched on again.
    void SetDeliverNow(bool deliver);

    // Evaluation.
    double KeyFind(KTime time, int* lastIndex = nullptr) const;
    double KeyFindExtrapolated(KTime time, int* lastIndex = nullptr) const;
    float EvaluateIndex(double position) const;
    float Evaluate(KTime time, int* lastIndex = nullptr) const;
    float EvaluateCached(KTime time, int* lastIndex = nullptr);
    float EvaluateLeftDerivative(KTime time, int* lastIndex = nullptr) const;
    float EvaluateRightDerivative(KTime time, int* lastIndex = nullptr) const;
    void SetCache(KTime time, float value);
    void ResetCache() { mCachedTime = kFCurveInfiniteTicks; }
    KTime GetCachedTime() const { return KTime(mCachedTime); }
    float GetCachedValue() const { return mCachedValue; }

    // Tangents.
    float ComputeRightDerivative(int index) const;
    float ComputeLeftDerivative(int index) const;
    float KeyGetRightAuto(int index, bool applyClamp = false) const;
    float KeyGetLeftAuto(int index, bool applyClamp = false) const;
    void KeySetRightDerivative(int index, float derivative);
    void KeySetLeftDerivative(int index, float derivative);
    void KeySetRightAuto(int index, float value);
    void KeySetLeftAuto(int index, float value);
    float KeyGetRightWeight(int index) const;
    float KeyGetLeftWeight(int index) const;
    bool KeyIsRightWeighted(int index) const;
    bool KeyIsLeftWeighted(int index) const;
    void KeySetRightWeighted(int index, bool on);
    void KeySetLeftWeighted(int index, bool on);
    void KeySetRightWeight(int index, float weight);
    void KeySetLeftWeight(int index, float weight);
    float KeyGetRightVelocity(int index) const;
    float KeyGetLeftVelocity(int index) const;
    bool KeyIsRightVelocity(int index) const;
    bool KeyIsLeftVelocity(int index) const;
    void KeySetRightVelocityMode(int index, bool on);
    void KeySetLeftVelocityMode(int index, bool on);
    void KeySetRightVelocity(int index, float velocity);
    void KeySetLeftVelocity(int index, float velocity);
    KFCurveTangentInfo KeyGetRightTangentInfo(int index) const;
    KFCurveTangentInfo KeyGetLeftTangentInfo(int index) const;
    void KeySetRightTangentInfo(int index, const KFCurveTangentInfo& info, bool forceDerivative = false);
    void KeySetLeftTangentInfo(int index, const KFCurveTangentInfo& info, bool forceDerivative = false);
    float KeyGetRightBezierValue(int index) const;
    float KeyGetLeftBezierValue(int index) const;
    void KeyIsClamped(int index, bool* leftFlat, bool* rightFlat) const;
    bool KeyIsFlatAuto(int index) const;

    // Whole-curve operations.
    bool ScaleValues(bool markedOnly, float factor);
    void CopyFrom(const KFCurve& source, bool withKeys = true);
    KFCurve* Clone(KTime start = KTime(kFCurveMinusInfiniteTicks), KTime stop = KTime(kFCurveInfiniteTicks)) const;
    void Replace(const KFCurve& source, KTime start, KTime stop, bool exactSpan, bool keysAtEnds, KTime offset);
    void ReplaceOffset(const KFCurve& source, KTime start, KTime stop, float spanOffset, float afterOffset,
                       bool mirrorSpan, bool mirrorAfter, bool exactSpan, bool keysAtEnds, KTime offset);
    void ReplaceScaled(const KFCurve& source, KTime start, KTime stop, float startFactor, float stopFactor,
                       bool exactSpan, bool keysAtEnds, KTime offset);

    // Direct record access for code that walks keys in bulk (index unchecked).
    const KFCurveKey& KeyRecord(int index) const { return mBlocks[index / kKeysPerBlock][index % kKeysPerBlock]; }

    static constexpr int kKeysPerBlock = 25;
    static constexpr int kBlockBytes = 1024;
    static constexpr int kTableStepSlots = 64;

private:
    enum class ReplaceKind { Plain, Offset, Scaled };
    struct ReplaceArgs {
        ReplaceKind kind = ReplaceKind::Plain;
        float spanOffset = 0.0f, afterOffset = 0.0f;
        bool mirrorSpan = false, mirrorAfter = false;
        float startFactor = 1.0f, stopFactor = 1.0f;
    };

    KFCurveKey& K(int index) { return mBlocks[index / kKeysPerBlock][index % kKeysPerBlock]; }
    const KFCurveKey& K(int index) const { return mBlocks[index / kKeysPerBlock][index % kKeysPerBlock]; }
    bool Valid(int index) const { return index >= 0 && index < mKeyCount; }
    std::int64_t T(int index) const { return K(index).mTime; }
    float V(int index) const { return K(index).mValue; }

    void ReportChange(std::uint32_t code, int index);
    void Deliver();
    void StoreDataSlot(KFCurveKey& key, int slot, double value);
    void ApplyInterpolation(KFCurveKey& key, std::uint32_t interpolation);
    bool PrepareWholeKeySet(int index);
    void FinishWholeKeySet(int index, int oldCount);
    void ShiftUp(int index);
    void ShiftDown(int first, int removed);
    void FreeBlocksAbove(int lastNeededBlock);
    void ReplaceImpl(const KFCurve& source, std::int64_t start, std::int64_t stop, bool exactSpan, bool keysAtEnds,
                     std::int64_t offset, const ReplaceArgs& args);
    void InsertUserKeyAt(std::int64_t ticks, float value, int* index);

    float mColor[3] = {1.0f, 1.0f, 1.0f};
    float mDefaultValue = 0.0f;
    std::int32_t mRevision = 0;
    bool mDeliverNow = true;
    bool mNotifyEnabled = true;
    int mModifyDepth = 0;
    KFCurveKey** mBlocks = nullptr;
    int mKeyCount = 0;
    int mKeyCapacity = 0;
    int mLastBlock = -1;
    int mPreExtrapolation = kFCurveExtrapolationConstant;
    int mPreExtrapolationCount = 0;
    int mPostExtrapolation = kFCurveExtrapolationConstant;
    int mPostExtrapolationCount = 0;
    void* mUserObject = nullptr;
    mutable int mLastIndex = 0;
    std::int64_t mCachedTime = kFCurveInfiniteTicks;
    float mCachedValue = 0.0f;
    KFCurveChange mPendingChange;
    std::vector<KFCurveCallback> mCallbacks;
    std::vector<void*> mCallbackData;
};

// A new empty curve, or null when allocation fails.
KFCurve* KFCurveCreate();
// Null-safe delete of a curve or curve node.
void KFCurveObjectDelete(KFCurve* curve);
void KFCurveObjectDelete(KFCurveNode* node);
// Bytes of key blocks and block tables held by all curves.
std::int64_t KFCurveGetMemoryUsage();

// Tangent helpers shared with the curve filters.
void KFCurveGetChordSlopes(const KFCurve& curve, int index, float* left, float* right);
float KFCurveAutoToLeftDerivative(double autoValue, const KFCurve& curve, int index);
float KFCurveAutoToRightDerivative(double autoValue, const KFCurve& curve, int index);
float KFCurveLeftDerivativeToAuto(double derivative, const KFCurve& curve, int index);
float KFCurveRightDerivativeToAuto(double derivative, const KFCurve& curve, int index);
void KFCurveDerivativesToAutos(double leftDerivative, double rightDerivative, float* leftAuto, float* rightAuto,
                               const KFCurve& curve, int index);
// The auto blend itself: slope that auto parameter x stands for, given the
// chord of the side in question (own) and the other one.
double KFCurveAutoBlend(double x, double own, double other, bool rightSide);
double KFCurveAutoUnblend(double derivative, double own, double other, bool rightSide);

// Parameter s in 0..1 at which the cubic Bezier with abscissae 0, w1, 1-w2, 1
// reaches f (secant method, float arithmetic).
double KFCurveBezierSolve(double f, float w1, float w2);

// TCB values that give key `index` the two derivatives, keeping the tension.
void KFCurveInsertCoefficients(double* tension, double* continuity, double* bias, double leftDerivative,
                               double rightDerivative, const KFCurve& curve, int index);

}  // namespace duzsdk
