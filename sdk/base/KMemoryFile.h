#pragma once

#include <cstddef>
#include <cstdint>

#include "sdk/base/KFile.h"

namespace duzsdk {

// The KFile interface over a caller's memory buffer. The buffer stays the
// caller's: Close forgets it without freeing it. A growable buffer must come
// from KMemAlloc, since writing past its end reallocates it with KMemRealloc;
// the caller takes the grown buffer back through GetBuffer.
//
// Open and OpenMode are inherited and open a disk file into the inherited
// stream, as Truncate acts on it; the memory operations never use it.
class KMemoryFile : public KFile {
public:
    KMemoryFile();
    ~KMemoryFile() override;

    using KFile::ReadByte;
    using KFile::ReadInt16;
    using KFile::ReadInt32;

    // Forgets the buffer. False when none was attached or a read or write
    // failed since the last ClearError.
    bool Close() override;

    size_t Read(void* buffer, size_t count) override;
    // Up to and including the next "\n", at most capacity - 1 bytes, never past
    // the end. Null when nothing is left, for capacity < 1, a null target or
    // no buffer.
    char* ReadLine(char* buffer, int capacity) override;

    // A growable buffer grows to size + max(size, missing + 1) bytes. A fixed
    // buffer, or one whose growth fails, takes what fits; GetError then
    // reports the short write. Returns the bytes written.
    size_t Write(const void* data, size_t count) override;
    // Nothing to hand on; true while a buffer is attached.
    bool Flush() override { return buffer_ != nullptr; }

    // origin 0: offset; 1: position + offset; 2: size - offset; other: 0.
    // The result is clamped to 0 .. size. False without a buffer.
    bool Seek(int origin, int64_t offset) override;
    int64_t Tell() override;
    // Moves only when 0 <= offset <= size.
    bool SeekFromStart(int64_t offset) override;

    bool IsOpen() const override;
    int GetError() override;
    void ClearError() override;
    bool IsEOF() override;

    // The buffer and its size (the capacity, grown slack included).
    void* GetBuffer(size_t* outSize) override;

    virtual bool ReservedTwoNames(const char* first, const char* second);
    virtual bool ReservedOneName(const char* name);

    // Uses the caller's buffer from position 0; false for null data.
    virtual bool AttachBuffer(void* data, size_t size, bool growable);

    // High-water mark: the end of the furthest byte written since the buffer
    // was attached. A writer hands this out as the used size of the stream.
    size_t GetUsedSize() const { return used_; }
    bool IsGrowable() const { return growable_; }

protected:
    // All bytes or nothing; on failure the position stays and GetError reports it.
    bool ReadExact(void* bytes, size_t count) override;

private:
    size_t Remaining() const { return size_ - position_; }

    unsigned char* buffer_ = nullptr;
    size_t size_ = 0;
    size_t position_ = 0;
    bool growable_ = false;
    size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace duzsdk
