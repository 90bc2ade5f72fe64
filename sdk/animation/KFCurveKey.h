#pragma once
// One key of an animation curve, the records that carry one tangent side, and
// the change record handed to curve callbacks.

#include <cstdint>
#include <cstring>

namespace duzsdk {

// Flag word of a key. Bits not listed are never set by the curve.
enum : std::uint32_t {
    kFCurveInterpolationConstant = 0x00000002,
    kFCurveInterpolationLinear = 0x00000004,
    kFCurveInterpolationCubic = 0x00000008,
    kFCurveInterpolationAll = 0x0000000E,

    // With constant interpolation the segment takes the next key's value;
    // with cubic interpolation the same bit means "auto tangent".
    kFCurveConstantNext = 0x00000100,
    kFCurveTangentAuto = 0x00000100,
    kFCurveTangentTCB = 0x00000200,
    kFCurveTangentUser = 0x00000400,
    kFCurveTangentBreak = 0x00000800,
    kFCurveTangentAutoBreak = 0x00000900,
    kFCurveTangentUserBreak = 0x00000C00,
    kFCurveTangentClamp = 0x00001000,
    kFCurveTangentPlainMask = 0x00000F00,
    kFCurveTangentExtendedMask = 0x00001F00,

    kFCurveMarked = 0x00010000,
    kFCurveMarkedCompanions = 0x00060000,
    kFCurveSparePair = 0x00300000,

    kFCurveWeightedRight = 0x01000000,
    kFCurveWeightedNextLeft = 0x02000000,
    kFCurveWeightedAll = 0x03000000,
    kFCurveVelocityRight = 0x10000000,
    kFCurveVelocityNextLeft = 0x20000000,
    kFCurveVelocityAll = 0x30000000,
};

// Change codes reported to callbacks (bit 0x0010 marks every key change).
enum : std::uint32_t {
    kFCurveChangeDefaultValue = 0x0001,
    kFCurveChangeDestroyed = 0x0200,
    kFCurveChangeKey = 0x0010,
    kFCurveChangeKeyAdded = 0x0810,
    kFCurveChangeKeyRemoved = 0x1010,
    kFCurveChangeKeyValue = 0x2010,
    kFCurveChangeKeyTime = 0x4010,
    kFCurveChangeKeyOther = 0x8010,
    kFCurveChangeKeyReplaced = 0xE010,
};

// Extrapolation modes.
enum : int {
    kFCurveExtrapolationConstant = 1,
    kFCurveExtrapolationRepetition = 2,
    kFCurveExtrapolationMirrorRepetition = 3,
    kFCurveExtrapolationKeepSlope = 4,
};

// Data slots of a key: 0 data0, 1 data1, 2 weight right, 3 weight next-left,
// 4 velocity right, 5 velocity next-left. Slot 2 read as a raw float is data2
// (the TCB bias), which shares the storage of the two weights.
enum : int {
    kFCurveDataSlot0 = 0,
    kFCurveDataSlot1 = 1,
    kFCurveDataWeightRight = 2,
    kFCurveDataWeightNextLeft = 3,
    kFCurveDataVelocityRight = 4,
    kFCurveDataVelocityNextLeft = 5,
};

// 1/3 as a float (0x3EAAAAAB): the weight of an unweighted side.
inline constexpr float kFCurveDefaultWeight = 1.0f / 3.0f;
inline constexpr float kFCurveMinWeight = 0.00010001f;
inline constexpr float kFCurveMaxWeight = 0.99f;
// Weights and velocities are stored as 16-bit fixed point with this scale.
inline constexpr double kFCurveFixedScale = 9999.0;

// 40 bytes; 25 of them fill one 1024-byte storage block. The time is kept as
// raw ticks so the record stays trivially copyable (blocks are copied whole).
struct KFCurveKey {
    float mValue = 0.0f;
    std::int64_t mTime = 0;
    std::uint32_t mFlags = 0;
    float mData[2] = {0.0f, 0.0f};
    std::int16_t mWeight[2] = {0, 0};  // right, next-left; data2 of a TCB key
    std::int16_t mVelocity[2] = {0, 0};

    std::int64_t GetTicks() const { return mTime; }
    std::uint32_t GetInterpolation() const { return mFlags & kFCurveInterpolationAll; }
    std::uint32_t GetTangentMode(bool extended = false) const {
        return mFlags & (extended ? kFCurveTangentExtendedMask : kFCurveTangentPlainMask);
    }
    bool IsCubic() const { return GetInterpolation() == kFCurveInterpolationCubic; }

    // The TCB bias shares the storage of the two 16-bit weights.
    float GetData2() const {
        float v;
        std::memcpy(&v, mWeight, sizeof v);
        return v;
    }
    void SetData2(float v) { std::memcpy(mWeight, &v, sizeof v); }

    // Marking clears the two companion bits in either direction.
    void SetMarked(bool marked) {
        if (marked) {
            mFlags = (mFlags | kFCurveMarked) & ~kFCurveMarkedCompanions;
        } else {
            mFlags &= ~(kFCurveMarked | kFCurveMarkedCompanions);
        }
    }
    bool IsMarked() const { return (mFlags & kFCurveMarked) != 0; }

    // Whole-key record as the shape-keeping insertion builds it: weight mode
    // none, weights 1/3, velocities 0.
    void Set(std::int64_t ticks, float value, std::uint32_t interpolation, std::uint32_t tangentMode,
             float data0 = 0.0f, float data1 = 0.0f);
    void SetTCB(std::int64_t ticks, float value, float tension, float continuity, float bias);
};
static_assert(sizeof(KFCurveKey) == 40, "a key is 40 bytes: 25 of them fill a 1024-byte block");

// One side of a key's tangent.
struct KFCurveTangentInfo {
    float mDerivative = 0.0f;
    float mWeight = kFCurveDefaultWeight;
    bool mWeighted = false;
    float mVelocity = 0.0f;
    bool mHasVelocity = false;
    float mAuto = 0.0f;
};

// What changed since the last delivery to the callbacks.
struct KFCurveChange {
    std::int32_t mFlags = 0;
    std::int32_t mLastIndex = -1;
    std::int32_t mFirstIndex = -1;
    std::int32_t mCount = 0;

    void Reset() { *this = KFCurveChange(); }
};

}  // namespace duzsdk
