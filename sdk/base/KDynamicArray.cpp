#include "sdk/base/KDynamicArray.h"

#include <climits>
#include <cstring>

#include "sdk/base/KMemory.h"

namespace duzsdk {

KDynamicArray::KDynamicArray(int blockSize, int elementSize)
    : blockSize_(blockSize < 1 ? 1 : blockSize), elementSize_(elementSize < 1 ? 1 : elementSize)
{
}

KDynamicArray::~KDynamicArray() { Clear(); }

KDynamicArray::KDynamicArray(KDynamicArray&& other) noexcept
    : count_(other.count_),
      capacityInBlocks_(other.capacityInBlocks_),
      blockSize_(other.blockSize_),
      elementSize_(other.elementSize_),
      data_(other.data_)
{
    other.count_ = 0;
    other.capacityInBlocks_ = 0;
    other.data_ = nullptr;
}

KDynamicArray& KDynamicArray::operator=(KDynamicArray&& other) noexcept
{
    if (this != &other) {
        Clear();
        count_ = other.count_;
        capacityInBlocks_ = other.capacityInBlocks_;
        blockSize_ = other.blockSize_;
        elementSize_ = other.elementSize_;
        data_ = other.data_;
        other.count_ = 0;
        other.capacityInBlocks_ = 0;
        other.data_ = nullptr;
    }
    return *this;
}

// Reallocates to exactly `blocks` blocks. The element slots must stay
// addressable with an int index and the byte size must fit in size_t; on any
// failure the old storage is kept as it was.
bool KDynamicArray::ReallocBlocks(int64_t blocks)
{
    if (blocks < 1 || blocks > INT_MAX / blockSize_) {
        return false;
    }
    size_t slots = static_cast<size_t>(blocks) * static_cast<size_t>(blockSize_);
    void* grown = KMemReallocArray(data_, slots, static_cast<size_t>(elementSize_));
    if (grown == nullptr) {
        return false;
    }
    data_ = static_cast<unsigned char*>(grown);
    capacityInBlocks_ = static_cast<int>(blocks);
    return true;
}

// Makes room for `neededCount` elements. Small arrays grow one block at a
// time; larger ones by a quarter of their blocks as well, so that filling an
// array element by element stays linear in its size.
bool KDynamicArray::GrowFor(int64_t neededCount, bool exact)
{
    if (neededCount <= Capacity()) {
        return true;
    }
    if (neededCount > INT_MAX) {
        return false;
    }
    int64_t needed = (neededCount + blockSize_ - 1) / blockSize_;
    int64_t blocks = needed;
    if (!exact) {
        int64_t stepped = static_cast<int64_t>(capacityInBlocks_) + 1 + capacityInBlocks_ / 4;
        int64_t maxBlocks = INT_MAX / blockSize_;
        if (stepped > maxBlocks) {
            stepped = maxBlocks;
        }
        if (stepped > blocks) {
            blocks = stepped;
        }
    }
    return ReallocBlocks(blocks);
}

void KDynamicArray::ZeroRange(int64_t fromElement, int64_t toElement)
{
    if (data_ != nullptr && toElement > fromElement) {
        std::memset(data_ + static_cast<size_t>(fromElement) * elementSize_, 0,
                    static_cast<size_t>(toElement - fromElement) * elementSize_);
    }
}

int KDynamicArray::InsertAt(int index, const void* element)
{
    if (index < 0 || element == nullptr) {
        return -1;
    }
    if (index > count_) {
        index = count_;
    }
    if (!GrowFor(static_cast<int64_t>(count_) + 1, false)) {
        return -1;
    }
    size_t size = static_cast<size_t>(elementSize_);
    unsigned char* at = data_ + static_cast<size_t>(index) * size;
    std::memmove(at + size, at, static_cast<size_t>(count_ - index) * size);
    std::memcpy(at, element, size);
    ++count_;
    return index;
}

int KDynamicArray::AddPointer(const void* value)
{
    if (elementSize_ != static_cast<int>(sizeof(void*))) {
        return -1;
    }
    return InsertAt(count_, &value);
}

bool KDynamicArray::RemoveAt(int index)
{
    if (!IsValidIndex(index)) {
        return false;
    }
    size_t size = static_cast<size_t>(elementSize_);
    unsigned char* at = data_ + static_cast<size_t>(index) * size;
    std::memmove(at, at + size, static_cast<size_t>(count_ - index - 1) * size);
    --count_;
    return true;
}

void* KDynamicArray::RemoveLast()
{
    if (count_ == 0 || elementSize_ != static_cast<int>(sizeof(void*))) {
        return nullptr;
    }
    void* value = GetPointer(count_ - 1);
    --count_;
    return value;
}

void KDynamicArray::Clear()
{
    KMemFree(data_);
    data_ = nullptr;
    count_ = 0;
    capacityInBlocks_ = 0;
}

bool KDynamicArray::Resize(int n)
{
    if (n < 0) {
        return false;
    }
    int64_t blocks = (static_cast<int64_t>(n) + blockSize_ - 1) / blockSize_;
    if (blocks < 1) {
        blocks = 1;
    }
    if (blocks != capacityInBlocks_ && !ReallocBlocks(blocks)) {
        return false;
    }
    // Grown storage and dropped elements both read as zero bytes; only the
    // storage that exists now is touched.
    int64_t from = n < count_ ? n : count_;
    ZeroRange(from, Capacity());
    count_ = n;
    return true;
}

bool KDynamicArray::AddZeroed(int n)
{
    if (n < 0) {
        return false;
    }
    if (n == 0) {
        return true;
    }
    int64_t newCount = static_cast<int64_t>(count_) + n;
    if (!GrowFor(newCount, false)) {
        return false;
    }
    ZeroRange(count_, newCount);
    count_ = static_cast<int>(newCount);
    return true;
}

bool KDynamicArray::SetCount(int n)
{
    if (n < 0) {
        return false;
    }
    if (n > count_) {
        return AddZeroed(n - count_);
    }
    count_ = n;
    return true;
}

bool KDynamicArray::AssignFrom(const KDynamicArray& other)
{
    if (this == &other) {
        return true;
    }
    Clear();
    blockSize_ = other.blockSize_;
    elementSize_ = other.elementSize_;
    if (other.count_ == 0) {
        return true;
    }
    if (!GrowFor(other.count_, true)) {
        return false;
    }
    std::memcpy(data_, other.data_, static_cast<size_t>(other.count_) * elementSize_);
    count_ = other.count_;
    return true;
}

void* KDynamicArray::ElementAt(int index)
{
    return IsValidIndex(index) ? data_ + static_cast<size_t>(index) * elementSize_ : nullptr;
}

const void* KDynamicArray::ElementAt(int index) const
{
    return IsValidIndex(index) ? data_ + static_cast<size_t>(index) * elementSize_ : nullptr;
}

void* KDynamicArray::GetPointer(int index) const
{
    if (!IsValidIndex(index) || elementSize_ != static_cast<int>(sizeof(void*))) {
        return nullptr;
    }
    void* value = nullptr;
    std::memcpy(&value, data_ + static_cast<size_t>(index) * sizeof(void*), sizeof(void*));
    return value;
}

}  // namespace duzsdk
