#pragma once
// Tick counts the time tests share.

#include <cstdint>

namespace duzsdk::test {

inline constexpr std::int64_t kSecond = 46186158000;
inline constexpr std::int64_t kMax = INT64_MAX;
inline constexpr std::int64_t kMinusInf = INT64_MIN + 1;
inline constexpr std::int64_t kFrame30 = 1539538600;    // modes 6 and 7
inline constexpr std::int64_t kFrameNtsc = 1541078334;  // modes 8 and 9

}  // namespace duzsdk::test
