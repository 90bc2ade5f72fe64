#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "sdk/animation/KFCurve.h"

namespace duzsdk::test {

// Shorthands for the key tables.
inline constexpr std::uint32_t C = kFCurveInterpolationConstant;
inline constexpr std::uint32_t L = kFCurveInterpolationLinear;
inline constexpr std::uint32_t B = kFCurveInterpolationCubic;
inline constexpr std::uint32_t kAuto = kFCurveTangentAuto;
inline constexpr std::uint32_t kUser = kFCurveTangentUser;
inline constexpr std::uint32_t kUserBreak = kFCurveTangentUserBreak;

inline KTime Sec(double seconds)
{
    return KTime(static_cast<std::int64_t>(std::llround(seconds * 46186158000.0)));
}

struct KeySpec {
    double seconds;
    float value;
    std::uint32_t interpolation = kFCurveInterpolationCubic;
    std::uint32_t tangentMode = kFCurveTangentAuto;
    float data0 = 0.0f;
    float data1 = 0.0f;
};

// A curve built key by key through the whole-key setter.
inline void Fill(KFCurve& curve, std::initializer_list<KeySpec> keys)
{
    int i = curve.KeyGetCount();
    for (const KeySpec& k : keys)
        curve.KeySet(i++, Sec(k.seconds), k.value, k.interpolation, k.tangentMode, k.data0, k.data1);
}

// Records every delivery a curve makes.
struct ChangeLog {
    std::vector<KFCurveChange> deliveries;

    static void Callback(KFCurve*, KFCurveChange* change, void* self)
    {
        static_cast<ChangeLog*>(self)->deliveries.push_back(*change);
    }
    void Attach(KFCurve& curve) { curve.CallbackRegister(&ChangeLog::Callback, this); }
};

}  // namespace duzsdk::test
