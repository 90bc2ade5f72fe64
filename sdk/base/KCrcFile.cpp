#include "sdk/base/KCrcFile.h"

#include <array>

namespace duzsdk {

namespace {

constexpr uint32_t kPolynomial = 0x04C11DB7;
constexpr size_t kTrailerSize = 4;

constexpr std::array<uint32_t, 256> BuildTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i << 24;
        for (int step = 0; step < 8; ++step)
            value = (value & 0x80000000u) != 0 ? (value << 1) ^ kPolynomial : value << 1;
        table[i] = value;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = BuildTable();

}  // namespace

KCrcFile::KCrcFile(int64_t dataStart, KChainedFile* inner, int openState, bool ownsInner)
    : KChainedFile(dataStart, inner, openState, ownsInner)
{
}

const uint32_t* KCrcFile::Table()
{
    return kTable.data();
}

uint32_t KCrcFile::Update(uint32_t crc, const void* bytes, size_t count)
{
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < count; ++i)
        crc = (crc << 8) ^ kTable[(crc >> 24) ^ p[i]];
    return crc;
}

bool KCrcFile::ComputeCrc(uint32_t* crc)
{
    *crc = 0xFFFFFFFFu;
    if (!IsOpen())
        return false;
    const int64_t saved = Tell();
    bool ok = saved >= 0 && Seek(2, 0);
    const int64_t length = ok ? Tell() : -1;
    ok = ok && length >= 0 && SeekFromStart(0);
    // Every byte counts, however short the file: a writer's data of 1 to 4
    // bytes gets its true CRC, and empty data the CRC of nothing.
    int64_t left = ok ? length : 0;
    unsigned char chunk[65536];
    while (ok && left > 0) {
        const size_t want = left < static_cast<int64_t>(sizeof(chunk)) ? static_cast<size_t>(left)
                                                                       : sizeof(chunk);
        const size_t got = Read(chunk, want);
        *crc = Update(*crc, chunk, got);
        left -= static_cast<int64_t>(got);
        ok = got == want;
    }
    if (saved >= 0 && !SeekFromStart(saved))
        ok = false;
    return ok;
}

uint32_t KCrcFile::ComputeCrc()
{
    uint32_t crc = 0;
    ComputeCrc(&crc);
    return crc;
}

bool KCrcFile::IsCrcValid()
{
    if (openState_ != kOpenRead || !IsOpen())
        return false;
    // A file shorter than a trailer holds no CRC to check.
    const int64_t saved = Tell();
    if (!Seek(2, 0))
        return false;
    const int64_t length = Tell();
    SeekFromStart(saved);
    if (length < static_cast<int64_t>(kTrailerSize))
        return false;
    uint32_t crc = 0;
    return ComputeCrc(&crc) && crc == kResidue;
}

bool KCrcFile::Close()
{
    bool ok = true;
    if (openState_ == kOpenWrite && IsOpen()) {
        uint32_t crc = 0;
        ok = ComputeCrc(&crc);
        if (ok) {
            const uint32_t trailer = ~crc;
            const unsigned char bytes[kTrailerSize] = {
                static_cast<unsigned char>(trailer >> 24), static_cast<unsigned char>(trailer >> 16),
                static_cast<unsigned char>(trailer >> 8), static_cast<unsigned char>(trailer)};
            // At the end, wherever the writer left the position.
            ok = Seek(2, 0) && Write(bytes, sizeof(bytes)) == sizeof(bytes);
        }
        if (!ok)
            SetLayerError();
    }
    const bool closed = KChainedFile::Close();
    return ok && closed;
}

}  // namespace duzsdk
