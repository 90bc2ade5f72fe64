// A growable array of the OBJ reader kept in blocks of a fixed number of
// elements. Growing never moves what is stored and never holds more than
// one block beyond the count, so a large file's vertex and corner lists
// cost their own size instead of a vector's doubling and copying. A block is
// not cleared when made: each element is written as it is added.
#pragma once
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace duzsdk {

template <class T>
class ObjBlockArray {
public:
    // 1024 elements a block: a small file stays small, a large one needs
    // a few thousand block pointers.
    static constexpr int kShift = 10;
    static constexpr size_t kBlock = size_t{1} << kShift;

    size_t size() const { return mCount; }
    bool empty() const { return mCount == 0; }

    T& operator[](size_t index) { return mBlocks[index >> kShift][index & (kBlock - 1)]; }
    const T& operator[](size_t index) const { return mBlocks[index >> kShift][index & (kBlock - 1)]; }

    template <class... Args>
    T& emplace_back(Args&&... args) {
        if ((mCount >> kShift) == mBlocks.size()) mBlocks.push_back(std::make_unique_for_overwrite<T[]>(kBlock));
        T& slot = (*this)[mCount++];
        slot = T(std::forward<Args>(args)...);
        return slot;
    }
    void push_back(const T& value) { emplace_back(value); }

    // Drops the elements from `count` on; the blocks stay for reuse.
    void Truncate(size_t count) {
        if (count < mCount) mCount = count;
    }
    // Empties the array and frees every block.
    void clear() {
        mBlocks.clear();
        mBlocks.shrink_to_fit();
        mCount = 0;
    }

private:
    std::vector<std::unique_ptr<T[]>> mBlocks;
    size_t mCount = 0;
};

}  // namespace duzsdk
