#include "sdk/base/KDynamicArray.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "base/KMemTestHooks.h"

namespace duzsdk {
namespace {

struct Vec4 {
    double x, y, z, w;
};

std::vector<int> Contents(const KTypedArray<int>& array)
{
    return std::vector<int>(array.begin(), array.end());
}

TEST(KDynamicArray, StartsEmptyAndClampsBlockAndElementSize)
{
    KDynamicArray array(0, 0);
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(array.CapacityInBlocks(), 0);
    EXPECT_EQ(array.BlockSize(), 1);
    EXPECT_EQ(array.ElementSize(), 1);
    EXPECT_EQ(array.Data(), nullptr);
    EXPECT_EQ(array.ElementAt(0), nullptr);
}

TEST(KDynamicArray, GrowsOneBlockAtATimeWhileSmall)
{
    test::ScopedCountingHooks hooks;
    KTypedArray<int> array(16);
    std::vector<int> growthAt;
    int calls = 0;
    for (int i = 1; i <= 64; ++i) {
        array.Add(i);
        int now = hooks.traffic().allocations + hooks.traffic().reallocations;
        if (now != calls) {
            growthAt.push_back(i);
            calls = now;
        }
    }
    EXPECT_EQ(growthAt, (std::vector<int>{1, 17, 33, 49}));
    EXPECT_EQ(array.CapacityInBlocks(), 4);
    EXPECT_EQ(hooks.traffic().lastSize, 4 * 16 * sizeof(int));
}

TEST(KDynamicArray, LargeArraysGrowInProportion)
{
    // Element-by-element filling must not cost a reallocation per block.
    test::ScopedCountingHooks hooks;
    KTypedArray<int> array(4);
    for (int i = 0; i < 100000; ++i) {
        ASSERT_EQ(array.Add(i), i);
    }
    EXPECT_LT(hooks.traffic().reallocations, 100);
    EXPECT_EQ(array[99999], 99999);
}

TEST(KDynamicArray, InsertAtClampsAndKeepsOrder)
{
    struct Case {
        const char* name;
        int index;
        int expectedIndex;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"front", 0, 0, {9, 1, 2, 3}},
        {"middle", 2, 2, {1, 2, 9, 3}},
        {"at count", 3, 3, {1, 2, 3, 9}},
        {"beyond count appends", 100, 3, {1, 2, 3, 9}},
        {"negative fails", -1, -1, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KTypedArray<int> array(2);
        array.Add(1);
        array.Add(2);
        array.Add(3);
        EXPECT_EQ(array.InsertAt(c.index, 9), c.expectedIndex);
        EXPECT_EQ(Contents(array), c.expected);
    }
}

TEST(KDynamicArray, RemoveChecksTheIndexAndKeepsStorage)
{
    KTypedArray<int> array(8);
    for (int i = 0; i < 5; ++i) {
        array.Add(i);
    }
    EXPECT_FALSE(array.RemoveAt(-1));
    EXPECT_FALSE(array.RemoveAt(5));
    EXPECT_TRUE(array.RemoveAt(1));
    EXPECT_EQ(Contents(array), (std::vector<int>{0, 2, 3, 4}));
    EXPECT_EQ(array.RemoveLast(), 4);
    EXPECT_EQ(array.CapacityInBlocks(), 1);
    array.Empty();
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(array.CapacityInBlocks(), 1);
    EXPECT_EQ(array.RemoveLast(), 0);
    EXPECT_FALSE(array.RemoveAt(0));
}

TEST(KDynamicArray, PointerArraysAddAndRemoveLast)
{
    int a = 1;
    int b = 2;
    KDynamicArray array(16, sizeof(void*));
    EXPECT_EQ(array.AddPointer(&a), 0);
    EXPECT_EQ(array.AddPointer(&b), 1);
    EXPECT_EQ(array.GetPointer(0), &a);
    EXPECT_EQ(array.GetPointer(2), nullptr);
    EXPECT_EQ(array.RemoveLast(), &b);
    EXPECT_EQ(array.RemoveLast(), &a);
    EXPECT_EQ(array.RemoveLast(), nullptr);

    KDynamicArray bytes(16, 1);
    EXPECT_EQ(bytes.AddPointer(&a), -1);  // not an array of pointers
    EXPECT_EQ(bytes.Count(), 0);
}

TEST(KDynamicArray, ResizeKeepsOneBlockAndZeroesWhatItDrops)
{
    KTypedArray<int> array(4);
    for (int i = 1; i <= 10; ++i) {
        array.Add(i);
    }
    ASSERT_TRUE(array.Resize(6));
    EXPECT_EQ(array.CapacityInBlocks(), 2);
    EXPECT_EQ(Contents(array), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(array.Resize(3));
    ASSERT_TRUE(array.Resize(6));  // same blocks: the dropped elements read as zero
    EXPECT_EQ(Contents(array), (std::vector<int>{1, 2, 3, 0, 0, 0}));
    ASSERT_TRUE(array.Resize(11));  // grown storage is zeroed
    EXPECT_EQ(Contents(array), (std::vector<int>{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(array.Resize(0));
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(array.CapacityInBlocks(), 1);
    EXPECT_NE(array.Data(), nullptr);
    EXPECT_FALSE(array.Resize(-1));
}

TEST(KDynamicArray, AddZeroedAndSetCount)
{
    KTypedArray<Vec4> array(16);
    array.Add(Vec4{1, 2, 3, 4});
    ASSERT_TRUE(array.AddZeroed(0));
    EXPECT_EQ(array.Count(), 1);
    ASSERT_TRUE(array.AddZeroed(20));
    ASSERT_EQ(array.Count(), 21);
    EXPECT_EQ(array[0].w, 4.0);
    for (int i = 1; i < 21; ++i) {
        EXPECT_EQ(array[i].x, 0.0);
        EXPECT_EQ(array[i].w, 0.0);
    }
    int blocks = array.CapacityInBlocks();
    ASSERT_TRUE(array.SetCount(5));  // cutting keeps the storage
    EXPECT_EQ(array.Count(), 5);
    EXPECT_EQ(array.CapacityInBlocks(), blocks);
    array[4].x = 7;
    ASSERT_TRUE(array.SetCount(6));
    EXPECT_EQ(array[5].x, 0.0);
    EXPECT_FALSE(array.SetCount(-2));
    EXPECT_FALSE(array.AddZeroed(-1));
    EXPECT_EQ(array.Count(), 6);
}

TEST(KDynamicArray, HostileCountsFailWithoutTouchingTheArray)
{
    test::ScopedCountingHooks hooks;
    KTypedArray<Vec4> array(16);
    array.Add(Vec4{1, 2, 3, 4});
    int before = hooks.traffic().allocations + hooks.traffic().reallocations;
    // Counts whose storage cannot be addressed are refused before allocating.
    EXPECT_FALSE(array.SetCount(INT_MAX));
    EXPECT_FALSE(array.Resize(INT_MAX));
    EXPECT_EQ(hooks.traffic().allocations + hooks.traffic().reallocations, before);
    EXPECT_EQ(hooks.traffic().refused, 0);
    // A count that fits but whose memory is not there fails the same way.
    hooks.traffic().refuseAbove = 1 << 20;
    EXPECT_FALSE(array.SetCount(100000));
    EXPECT_EQ(hooks.traffic().refused, 1);
    ASSERT_EQ(array.Count(), 1);
    EXPECT_EQ(array[0].z, 3.0);
}

TEST(KDynamicArray, FailedGrowthKeepsTheOldBlock)
{
    test::ScopedCountingHooks hooks;
    KTypedArray<int> array(2);
    array.Add(10);
    array.Add(20);
    hooks.traffic().failAfter = 0;
    EXPECT_EQ(array.Add(30), -1);
    EXPECT_EQ(array.InsertAt(0, 5), -1);
    EXPECT_EQ(Contents(array), (std::vector<int>{10, 20}));
    hooks.traffic().failAfter = -1;
    EXPECT_EQ(array.Add(30), 2);
    EXPECT_EQ(Contents(array), (std::vector<int>{10, 20, 30}));
    array.Clear();
    EXPECT_TRUE(hooks.traffic().live.empty());
    EXPECT_EQ(array.Data(), nullptr);
}

TEST(KDynamicArray, AssignFromTakesOverBlockAndElementSize)
{
    KDynamicArray source(4, sizeof(int64_t));
    for (int64_t v : {int64_t{1} << 40, int64_t{-3}, int64_t{7}}) {
        source.Add(&v);
    }
    KDynamicArray target(16, 1);
    unsigned char byte = 0xAA;
    target.Add(&byte);
    ASSERT_TRUE(target.AssignFrom8ByteElements(source));
    EXPECT_EQ(target.BlockSize(), 4);
    EXPECT_EQ(target.ElementSize(), 8);
    ASSERT_EQ(target.Count(), 3);
    EXPECT_EQ(*static_cast<const int64_t*>(target.ElementAt(0)), int64_t{1} << 40);
    EXPECT_EQ(*static_cast<const int64_t*>(target.ElementAt(2)), 7);
    EXPECT_TRUE(target.AssignFrom(target));
    EXPECT_EQ(target.Count(), 3);
}

TEST(KDynamicArray, MoveHandsOverTheStorage)
{
    test::ScopedCountingHooks hooks;
    KTypedArray<int> a(4);
    a.Add(1);
    a.Add(2);
    KDynamicArray moved(std::move(a.Untyped()));
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(a.Data(), nullptr);
    EXPECT_EQ(moved.Count(), 2);
    KDynamicArray other(1, 1);
    other = std::move(moved);
    EXPECT_EQ(other.Count(), 2);
    EXPECT_EQ(other.ElementSize(), static_cast<int>(sizeof(int)));
    other.Clear();
    EXPECT_TRUE(hooks.traffic().live.empty());
}

TEST(KTypedArray, CheckedAccessAndSearch)
{
    KTypedArray<int> array(4);
    array.Add(5);
    array.Add(6);
    EXPECT_EQ(array.GetAt(1), 6);
    EXPECT_EQ(array.GetAt(2, -1), -1);
    EXPECT_EQ(array.GetAt(-1, -1), -1);
    EXPECT_TRUE(array.SetAt(0, 8));
    EXPECT_FALSE(array.SetAt(2, 8));
    EXPECT_EQ(array.Find(8), 0);
    EXPECT_EQ(array.Find(5), -1);
}

TEST(KDynamicArray, ReleaseElementAsksTheObjectToDestroyItself)
{
    struct Element {
        int destroyed = 0;
        void Destroy() { ++destroyed; }
    };
    Element element;
    EXPECT_TRUE(KDynamicArray::ReleaseElement(&element));
    EXPECT_TRUE(KDynamicArray::ReleaseElement(static_cast<Element*>(nullptr)));
    EXPECT_EQ(element.destroyed, 1);
}

}  // namespace
}  // namespace duzsdk
