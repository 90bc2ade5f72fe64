#pragma once

#include <cstdint>

#include "sdk/base/KChainedFile.h"

namespace duzsdk {

// A layer that protects a file with a CRC-32 trailer: closing a file written
// through it appends the complement of the CRC of all data bytes, most
// significant byte first (CRC-32/BZIP2: polynomial 0x04C11DB7, initial value
// 0xFFFFFFFF, not reflected, final complement). A reader checks the whole file,
// trailer included, against the constant residue; the trailer stays part of
// what the reader sees, so the reader above knows the data's end by itself.
//
// The CRC is computed by reading the file back, so a written file must be
// readable too (mode 2, "w+").
class KCrcFile : public KChainedFile {
public:
    // CRC over data and trailer of an intact file.
    static constexpr uint32_t kResidue = 0xC704DD7B;

    explicit KCrcFile(int64_t dataStart = 0, KChainedFile* inner = nullptr, int openState = kClosed,
                      bool ownsInner = false);

    // In write state: appends the trailer at the end of the file, then closes.
    // False when the file could not be read back, the trailer could not be
    // written, or the close below failed; the file is closed in every case.
    bool Close() override;

    // The running CRC over every byte of the file (not complemented); the
    // position is restored. Bytes that cannot be read leave the value short,
    // which never matches: IsCrcValid and Close use the checked form.
    uint32_t ComputeCrc();
    // The same, false when the length cannot be taken or a byte cannot be read.
    bool ComputeCrc(uint32_t* crc);

    // True only when opened for reading, at least a trailer long, and the CRC
    // over data and trailer is the residue.
    bool IsCrcValid();

    // One step of the table-driven CRC over `count` bytes.
    static uint32_t Update(uint32_t crc, const void* bytes, size_t count);
    // The 256-entry most-significant-bit-first table of polynomial 0x04C11DB7.
    static const uint32_t* Table();
};

}  // namespace duzsdk
