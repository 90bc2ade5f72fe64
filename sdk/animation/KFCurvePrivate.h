#pragma once
// Arithmetic shared by the curve's source files; not part of the interface.

#include <cfloat>
#include <cstdint>

namespace duzsdk::kfcurve_detail {

inline constexpr double kTicksPerSecond = 46186158000.0;

// (b - a) in seconds, exact in the tick difference even when the two times
// lie at opposite ends of the 64-bit range.
inline double SecondsBetween(std::int64_t a, std::int64_t b)
{
    std::int64_t d;
    if (!__builtin_sub_overflow(b, a, &d)) return static_cast<double>(d) / kTicksPerSecond;
    return static_cast<double>(static_cast<__int128>(b) - static_cast<__int128>(a)) / kTicksPerSecond;
}

// A double rounded to float, held at the largest float beyond the float
// range: a curve of finite keys gives finite values and slopes, where a plain
// rounding would give an infinity and then 0 x inf or inf - inf, NaN. Values
// in the range round as a plain cast does; NaN stays NaN.
inline float ToFloat(double value)
{
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

// a - b rounded to float, held at the largest float where it leaves the range.
inline float Difference(float a, float b)
{
    return ToFloat(static_cast<double>(a) - b);
}

// Linear interpolation rounded to float: one de Casteljau step.
inline float Lerp(float a, float b, double f)
{
    return ToFloat(a + (static_cast<double>(b) - a) * f);
}

inline std::int64_t SaturateTicks(__int128 value)
{
    if (value > static_cast<__int128>(INT64_MAX)) return INT64_MAX;
    if (value < static_cast<__int128>(INT64_MIN)) return INT64_MIN;
    return static_cast<std::int64_t>(value);
}

}  // namespace duzsdk::kfcurve_detail
