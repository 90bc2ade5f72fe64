#pragma once

#include <cstdint>
#include <cstring>

namespace duzsdk {

// Field files store little-endian words unless their header marks them
// big-endian; these read and write one word in the file's order.
inline uint32_t KDuzLoad32(const unsigned char* p, bool bigEndian)
{
    uint32_t value;
    std::memcpy(&value, p, sizeof(value));
    const bool swap = bigEndian != (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__);
    return swap ? __builtin_bswap32(value) : value;
}

inline uint64_t KDuzLoad64(const unsigned char* p, bool bigEndian)
{
    uint64_t value;
    std::memcpy(&value, p, sizeof(value));
    const bool swap = bigEndian != (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__);
    return swap ? __builtin_bswap64(value) : value;
}

inline void KDuzStore32(unsigned char* p, uint32_t value, bool bigEndian)
{
    for (int i = 0; i < 4; ++i)
        p[bigEndian ? 3 - i : i] = static_cast<unsigned char>(value >> (8 * i));
}

inline void KDuzStore64(unsigned char* p, uint64_t value, bool bigEndian)
{
    for (int i = 0; i < 8; ++i)
        p[bigEndian ? 7 - i : i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace duzsdk
