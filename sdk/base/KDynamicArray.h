#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace duzsdk {

// Untyped growable array of plain bytes. Elements are copied with memory
// moves; no constructor or destructor ever runs on them, so arrays of objects
// hold pointers and their owner frees the objects. Storage comes from the
// allocation hooks (KMemory.h) in whole blocks of `blockSize` elements.
//
// Every operation that grows the array fails cleanly (result -1 or false,
// array unchanged) when the size does not fit or the allocation fails.
class KDynamicArray {
public:
    // A block size below 1 becomes 1; an element size below 1 becomes 1.
    explicit KDynamicArray(int blockSize = 16, int elementSize = static_cast<int>(sizeof(void*)));
    ~KDynamicArray();

    KDynamicArray(const KDynamicArray&) = delete;
    KDynamicArray& operator=(const KDynamicArray&) = delete;
    KDynamicArray(KDynamicArray&& other) noexcept;
    KDynamicArray& operator=(KDynamicArray&& other) noexcept;

    // Inserts a copy of the element's bytes; an index above the count appends.
    // Returns the index used; -1 for a negative index or on failure.
    int InsertAt(int index, const void* element);
    int Add(const void* element) { return InsertAt(count_, element); }
    // For arrays of pointer-sized elements: appends the pointer. -1 on
    // failure or when the element size is not that of a pointer.
    int AddPointer(const void* value);

    // Moves the tail down by one element; the storage is kept. False for an
    // index outside 0 .. count - 1.
    bool RemoveAt(int index);
    // Removes and returns the last element of a pointer array; null when empty.
    void* RemoveLast();

    bool IsValidIndex(int index) const { return index >= 0 && index < count_; }

    // Count 0, storage kept.
    void Empty() { count_ = 0; }
    // Frees the storage; count and capacity 0.
    void Clear();

    // Exactly ceil(n / blockSize) blocks (at least one); elements dropped or
    // added read as zero bytes. False (unchanged) for n < 0 or on failure.
    bool Resize(int n);
    // Appends n zero-filled elements. False (unchanged) for n < 0 or on failure.
    bool AddZeroed(int n);
    // Above the count: appends zero-filled elements; otherwise cuts the count.
    bool SetCount(int n);

    // Clears, takes over the other's block size and element size and copies
    // its elements. AssignFrom8ByteElements is the historical name.
    bool AssignFrom(const KDynamicArray& other);
    bool AssignFrom8ByteElements(const KDynamicArray& other) { return AssignFrom(other); }

    // Asks an element object to destroy itself; nothing for null. True.
    template <class T>
    static bool ReleaseElement(T* element)
    {
        if (element != nullptr) {
            element->Destroy();
        }
        return true;
    }

    int Count() const { return count_; }
    int GetCount() const { return count_; }
    int CapacityInBlocks() const { return capacityInBlocks_; }
    int BlockSize() const { return blockSize_; }
    int ElementSize() const { return elementSize_; }
    // Allocated element slots (capacityInBlocks * blockSize).
    int64_t Capacity() const { return static_cast<int64_t>(capacityInBlocks_) * blockSize_; }

    void* Data() { return data_; }
    const void* Data() const { return data_; }
    // Address of element `index`; null for an index outside 0 .. count - 1.
    void* ElementAt(int index);
    const void* ElementAt(int index) const;
    // For pointer arrays: the pointer stored at `index`; null when outside.
    void* GetPointer(int index) const;

private:
    bool ReallocBlocks(int64_t blocks);
    bool GrowFor(int64_t neededCount, bool exact);
    void ZeroRange(int64_t fromElement, int64_t toElement);

    int count_ = 0;
    int capacityInBlocks_ = 0;
    int blockSize_ = 1;
    int elementSize_ = 1;
    unsigned char* data_ = nullptr;
};

// Typed view of a KDynamicArray over trivially copyable elements.
template <class T>
class KTypedArray {
    static_assert(std::is_trivially_copyable_v<T>, "KTypedArray holds plain bytes");

public:
    explicit KTypedArray(int blockSize = 16) : array_(blockSize, static_cast<int>(sizeof(T))) {}

    int InsertAt(int index, const T& value) { return array_.InsertAt(index, &value); }
    int Add(const T& value) { return array_.InsertAt(array_.Count(), &value); }
    bool RemoveAt(int index) { return array_.RemoveAt(index); }
    // Removes the last element and returns it; T{} when empty.
    T RemoveLast()
    {
        if (array_.Count() == 0) {
            return T{};
        }
        T value = Data()[array_.Count() - 1];
        array_.RemoveAt(array_.Count() - 1);
        return value;
    }

    bool IsValidIndex(int index) const { return array_.IsValidIndex(index); }
    void Empty() { array_.Empty(); }
    void Clear() { array_.Clear(); }
    bool Resize(int n) { return array_.Resize(n); }
    bool AddZeroed(int n) { return array_.AddZeroed(n); }
    bool SetCount(int n) { return array_.SetCount(n); }
    bool AssignFrom(const KTypedArray& other) { return array_.AssignFrom(other.array_); }

    int Count() const { return array_.Count(); }
    int GetCount() const { return array_.Count(); }
    bool IsEmpty() const { return array_.Count() == 0; }
    int BlockSize() const { return array_.BlockSize(); }
    int CapacityInBlocks() const { return array_.CapacityInBlocks(); }

    T* Data() { return static_cast<T*>(array_.Data()); }
    const T* Data() const { return static_cast<const T*>(array_.Data()); }
    // Unchecked access for indices the caller has validated.
    T& operator[](int index) { return Data()[index]; }
    const T& operator[](int index) const { return Data()[index]; }
    // Checked access: `fallback` for an index outside 0 .. count - 1.
    T GetAt(int index, T fallback = T{}) const
    {
        return IsValidIndex(index) ? Data()[index] : fallback;
    }
    bool SetAt(int index, const T& value)
    {
        if (!IsValidIndex(index)) {
            return false;
        }
        Data()[index] = value;
        return true;
    }
    // Index of the first element equal to value, -1 when none.
    int Find(const T& value) const
    {
        for (int i = 0; i < Count(); ++i) {
            if (Data()[i] == value) {
                return i;
            }
        }
        return -1;
    }

    T* begin() { return Data(); }
    T* end() { return Data() + Count(); }
    const T* begin() const { return Data(); }
    const T* end() const { return Data() + Count(); }

    KDynamicArray& Untyped() { return array_; }
    const KDynamicArray& Untyped() const { return array_; }

private:
    KDynamicArray array_;
};

// Array of pointers to objects owned elsewhere.
template <class T>
using KPointerArray = KTypedArray<T*>;

}  // namespace duzsdk
