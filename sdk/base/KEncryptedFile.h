#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/base/KChainedFile.h"

namespace duzsdk {

// The 128-bit key of an enciphered file: four 32-bit words, built at run time
// by the field file. The key bytes are the words in order, each little-endian.
struct KEncryptionKey {
    uint32_t words[4] = {0, 0, 0, 0};
};

// A layer that enciphers everything from `dataStart` on in 16-byte Twofish
// blocks (electronic-codebook mode, no initialisation vector). Bytes before
// `dataStart` are the business of the layers below and the caller; this layer
// neither reads nor writes them. The last block is filled up with zero bytes
// and no length is stored, so a reader sees the padding as data and knows the
// end of its data by its own means.
//
// One plaintext block is cached: sequential reads and writes seek the file
// below only at their first block, and a write that covers part of a block
// reads the block first and keeps its other bytes. A trailing partial block
// below (a CRC trailer, a cut-off file) is not a block: reading stops before
// it, and Seek from the end ends at the last whole block.
//
// Positions are in the coordinates of the file below. Over a growable memory
// buffer, the data below ends at the bytes written into it (its used size).
class KEncryptedFile : public KChainedFile {
public:
    static constexpr int kBlockSize = 16;

    // Closed unless built over an open inner layer with a non-zero open state;
    // then it continues at the inner layer's position.
    KEncryptedFile(const KEncryptionKey& key, int64_t dataStart = 0, KChainedFile* inner = nullptr,
                   int openState = kClosed, bool ownsInner = false);
    // Writes out a block still held in the cache; destroy this layer before
    // the layer below it.
    ~KEncryptedFile() override;

    // The opens reset the cache and start at `dataStart`.
    bool OpenMemory(void* data, size_t size, bool growable) override;
    // Mode 0 when the text holds "r", 3 when it holds "a", else 2; text flag
    // when it holds "t".
    bool Open(const char* path, const char* mode) override;
    // Mode 0 opens the file below read-only; 1 and 2 open it read/write and
    // empty it (mode 2, "w+"); 3 opens an existing file read/write without
    // emptying it and starts at its end.
    bool OpenMode(const char* path, int mode, bool text) override;
    // Writes out the cached block, then closes below. False when a block could
    // not be written at any time since the open, or the close below failed.
    bool Close() override;

    // Deciphers; stops at the end of the last block present.
    size_t Read(void* buffer, size_t count) override;
    // Deciphered text up to and including "\n", at most capacity - 1 bytes.
    // Zero bytes (block padding) are skipped. Null when nothing is left.
    char* ReadLine(char* buffer, int capacity) override;
    // Enciphers; returns the bytes taken. A block that cannot be read back or
    // written out stops the write, and GetError reports it.
    size_t Write(const void* data, size_t count) override;
    // Writes out the cached block, then flushes below.
    bool Flush() override;

    // origin 1 adds the position, origin 2 the end of the data (the end of the
    // last whole block, or of the cached block when that lies further).
    bool Seek(int origin, int64_t offset) override;
    // 0 when closed, -1 when the layer below reports -1.
    int64_t Tell() override;
    // Any position from 0 to 2^60; reading and writing need one at or past
    // `dataStart`. Positions past the end are fine: gaps read as zeros.
    bool SeekFromStart(int64_t offset) override;
    // Writes out the cached block first and takes the new length into account.
    int Truncate(int64_t length) override;
    // True when no block holds the position: the end of the data is reached.
    // (The file below may not know yet, having delivered its bytes exactly.)
    bool IsEOF() override;

    // Block geometry. BlockIndex is -1 before `dataStart`.
    int64_t BlockIndex(int64_t position) const;
    int64_t BlockStart(int64_t block) const;
    int BlockOffset(int64_t position) const;
    // Index of the last whole block present, -1 for none.
    int64_t GetLastBlock() const { return lastBlock_; }
    // False when the cipher could not be set up; the layer then opens nothing.
    bool IsCipherReady() const { return cipher_ != nullptr; }

private:
    struct Cipher;

    void ResetCache();
    bool FinishOpen(bool opened, bool atEnd);
    int64_t LengthBelow();
    int64_t ComputeLastBlock();
    int64_t EndPosition();
    bool GetBlockBytes(int64_t block, int offset, void* out, int count);
    bool PutBlockBytes(int64_t block, int offset, const void* in, int count);
    bool LoadBlock(int64_t block);
    bool FlushBlock();
    bool WriteBlock(int64_t block, const unsigned char* plain);

    Cipher* cipher_ = nullptr;
    int cacheState_ = 0;  // 0 none, 1 the last access below was a read, 2 a write
    int64_t logicalPosition_;
    int64_t cachedBlock_ = -1;
    int64_t lastIoBlock_ = -1;
    int64_t lastBlock_ = -1;
    bool dirty_ = false;        // the cached block holds bytes not yet written below
    bool writeFailed_ = false;  // a block could not be written since the open
    unsigned char plainBlock_[kBlockSize] = {};
    unsigned char cipherBlock_[kBlockSize] = {};
};

}  // namespace duzsdk
