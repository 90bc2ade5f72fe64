#include "sdk/base/KMemoryFile.h"

#include <algorithm>
#include <cstring>

#include "sdk/base/KMemory.h"

namespace duzsdk {


KMemoryFile::KMemoryFile() = default;

KMemoryFile::~KMemoryFile()
{
    KMemoryFile::Close();
}

bool KMemoryFile::Close()
{
    const bool wasOpen = buffer_ != nullptr;
    const bool ok = wasOpen && !failed_;
    buffer_ = nullptr;
    size_ = 0;
    position_ = 0;
    growable_ = false;
    used_ = 0;
    failed_ = false;
    return ok;
}

bool KMemoryFile::AttachBuffer(void* data, size_t size, bool growable)
{
    if (data == nullptr)
        return false;
    buffer_ = static_cast<unsigned char*>(data);
    size_ = size;
    position_ = 0;
    growable_ = growable;
    used_ = 0;
    failed_ = false;
    return true;
}

size_t KMemoryFile::Read(void* buffer, size_t count)
{
    if (buffer == nullptr || buffer_ == nullptr)
        return 0;
    const size_t taken = std::min(count, Remaining());
    if (taken > 0)
        std::memcpy(buffer, buffer_ + position_, taken);
    position_ += taken;
    return taken;
}

char* KMemoryFile::ReadLine(char* buffer, int capacity)
{
    if (buffer == nullptr || buffer_ == nullptr || capacity < 1)
        return nullptr;
    if (Remaining() == 0) {
        buffer[0] = '\0';
        return nullptr;
    }
    const size_t limit = std::min(static_cast<size_t>(capacity - 1), Remaining());
    const unsigned char* start = buffer_ + position_;
    const void* newline = std::memchr(start, '\n', limit);
    const size_t taken =
        newline != nullptr ? static_cast<size_t>(static_cast<const unsigned char*>(newline) - start) + 1
                           : limit;
    std::memcpy(buffer, start, taken);
    buffer[taken] = '\0';
    position_ += taken;
    return buffer;
}

bool KMemoryFile::ReadExact(void* bytes, size_t count)
{
    if (buffer_ == nullptr)
        return false;
    if (Remaining() < count) {
        failed_ = true;
        return false;
    }
    std::memcpy(bytes, buffer_ + position_, count);
    position_ += count;
    return true;
}

size_t KMemoryFile::Write(const void* data, size_t count)
{
    if (data == nullptr || buffer_ == nullptr)
        return 0;
    if (count > Remaining() && growable_) {
        // At least double, so a run of small writes costs linear time overall.
        const size_t missing = count - Remaining();
        const size_t growth = std::max(size_, missing + 1);
        size_t newSize = 0;
        void* grown = nullptr;
        if (!__builtin_add_overflow(size_, growth, &newSize))
            grown = KMemRealloc(buffer_, newSize);
        if (grown != nullptr) {
            buffer_ = static_cast<unsigned char*>(grown);
            size_ = newSize;
        }
        // On failure the old buffer stays valid and keeps what it holds.
    }
    const size_t taken = std::min(count, Remaining());
    if (taken < count)
        failed_ = true;
    if (taken > 0)
        std::memcpy(buffer_ + position_, data, taken);
    position_ += taken;
    used_ = std::max(used_, position_);
    return taken;
}

bool KMemoryFile::Seek(int origin, int64_t offset)
{
    if (buffer_ == nullptr)
        return false;
    // Sizes above the 64-bit signed range cannot be attached in practice; the
    // arithmetic saturates rather than wraps all the same.
    const int64_t size = static_cast<int64_t>(std::min<size_t>(size_, INT64_MAX));
    int64_t target = 0;
    bool overflow = false;
    switch (origin) {
    case 0:
        target = offset;
        break;
    case 1:
        overflow = __builtin_add_overflow(static_cast<int64_t>(position_), offset, &target);
        if (overflow)
            target = offset < 0 ? 0 : size;
        break;
    case 2:
        overflow = __builtin_sub_overflow(size, offset, &target);
        if (overflow)
            target = offset < 0 ? size : 0;
        break;
    default:
        target = 0;
        break;
    }
    position_ = static_cast<size_t>(std::clamp<int64_t>(target, 0, size));
    return true;
}

int64_t KMemoryFile::Tell()
{
    return buffer_ == nullptr ? 0 : static_cast<int64_t>(position_);
}

bool KMemoryFile::SeekFromStart(int64_t offset)
{
    if (buffer_ == nullptr || offset < 0 || static_cast<uint64_t>(offset) > size_)
        return false;
    position_ = static_cast<size_t>(offset);
    return true;
}

bool KMemoryFile::IsOpen() const
{
    return buffer_ != nullptr;
}

int KMemoryFile::GetError()
{
    return failed_ ? 1 : 0;
}

void KMemoryFile::ClearError()
{
    failed_ = false;
}

bool KMemoryFile::IsEOF()
{
    return buffer_ == nullptr || position_ >= size_;
}

void* KMemoryFile::GetBuffer(size_t* outSize)
{
    if (outSize != nullptr)
        *outSize = buffer_ != nullptr ? size_ : 0;
    return buffer_;
}

bool KMemoryFile::ReservedTwoNames(const char*, const char*)
{
    return false;
}

bool KMemoryFile::ReservedOneName(const char*)
{
    return false;
}

}  // namespace duzsdk
