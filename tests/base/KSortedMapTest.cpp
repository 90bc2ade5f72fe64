#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/KMemTestHooks.h"
#include "sdk/base/KSortedPtrMap.h"
#include "sdk/base/KSortedStringMap.h"

namespace duzsdk {
namespace {

int gValues[8];
void* Value(int i) { return &gValues[i]; }

std::vector<uintptr_t> Keys(KSortedPtrMap& map)
{
    std::vector<uintptr_t> keys;
    for (int i = 0; i < map.Count(); ++i) {
        uintptr_t key = 0;
        map.GetAt(i, &key);
        keys.push_back(key);
    }
    return keys;
}

std::vector<std::string> Keys(KSortedStringMap& map)
{
    std::vector<std::string> keys;
    for (int i = 0; i < map.Count(); ++i) {
        const char* key = nullptr;
        map.GetAt(i, &key);
        keys.emplace_back(key);
    }
    return keys;
}

TEST(KSortedPtrMap, KeysCompareAsUnsignedPointerWidthValues)
{
    KSortedPtrMap map(2);
    const uintptr_t keys[] = {0x80000000u, 5, UINTPTR_MAX, 0xFFFFFFFFu, 0, uintptr_t{1} << 40};
    for (uintptr_t key : keys) {
        EXPECT_EQ(map.Insert(key, Value(0)), 1);
    }
    EXPECT_EQ(Keys(map), (std::vector<uintptr_t>{0, 5, 0x80000000u, 0xFFFFFFFFu, uintptr_t{1} << 40,
                                                 UINTPTR_MAX}));
    int index = -2;
    EXPECT_EQ(map.Find(uintptr_t{1} << 40, &index), Value(0));
    EXPECT_EQ(index, 4);
}

TEST(KSortedPtrMap, PointerKeysAndMisses)
{
    KSortedPtrMap map(20);
    int index = 7;
    EXPECT_EQ(map.Find(uintptr_t{3}, &index), nullptr);  // empty map
    EXPECT_EQ(index, -1);

    int objectA = 0;
    int objectB = 0;
    map.Insert(&objectA, Value(1));
    map.Insert(&objectB, Value(2));
    map.Insert(uintptr_t{9}, nullptr);  // a null value reads as a miss
    EXPECT_EQ(map.Find(&objectA), Value(1));
    EXPECT_EQ(map.Find(&objectB), Value(2));
    EXPECT_EQ(map.Find(uintptr_t{9}, &index), nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(map.Find(uintptr_t{10}, &index), nullptr);
    EXPECT_EQ(index, -1);

    uintptr_t key = 123;
    EXPECT_EQ(map.GetAt(3, &key), nullptr);
    EXPECT_EQ(map.GetAt(-1, &key), nullptr);
    EXPECT_EQ(key, 123u);
    EXPECT_FALSE(map.RemoveAt(3));
    EXPECT_TRUE(map.RemoveAt(0));
    EXPECT_EQ(map.Count(), 2);
}

TEST(KSortedPtrMap, LaterDuplicateComesFirstAndClearFreesPairs)
{
    test::ScopedCountingHooks hooks;
    {
        KSortedPtrMap map(4);
        map.Insert(uintptr_t{7}, Value(1));
        map.Insert(uintptr_t{3}, Value(3));
        map.Insert(uintptr_t{7}, Value(2));
        ASSERT_EQ(map.Count(), 3);
        EXPECT_EQ(map.GetAt(1), Value(2));
        EXPECT_EQ(map.GetAt(2), Value(1));
        int index = -1;
        EXPECT_NE(map.Find(uintptr_t{7}, &index), nullptr);
        EXPECT_TRUE(index == 1 || index == 2);
        map.Destruct();
        EXPECT_EQ(map.Count(), 0);
        EXPECT_TRUE(hooks.traffic().live.empty());
        map.Insert(uintptr_t{1}, Value(1));
    }
    EXPECT_TRUE(hooks.traffic().live.empty());
}

TEST(KSortedPtrMap, RefusedGrowthLeavesTheMapAsItWas)
{
    test::ScopedCountingHooks hooks;
    KSortedPtrMap map(1);
    map.Insert(uintptr_t{1}, Value(1));
    hooks.traffic().failAfter = 0;
    EXPECT_EQ(map.Insert(uintptr_t{2}, Value(2)), 0);
    hooks.traffic().failAfter = -1;
    EXPECT_EQ(map.Count(), 1);
    EXPECT_EQ(map.Find(uintptr_t{1}), Value(1));
}

TEST(KSortedStringMap, CaseInsensitiveByDefault)
{
    KSortedStringMap map(20);
    EXPECT_FALSE(map.IsCaseSensitive());
    map.Insert("Model", Value(1));
    map.Insert("b_node", Value(2));
    map.Insert("ALPHA", Value(3));
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"ALPHA", "b_node", "Model"}));
    struct Case {
        const char* key;
        void* value;
    };
    const Case cases[] = {{"model", Value(1)}, {"MODEL", Value(1)}, {"B_NODE", Value(2)},
                          {"alpha", Value(3)}, {"alph", nullptr},   {"", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(map.Find(c.key), c.value);
    }
    EXPECT_EQ(map.Find(nullptr), nullptr);
    EXPECT_EQ(map.Insert(nullptr, Value(1)), -1);
}

TEST(KSortedStringMap, SwitchingToCaseSensitiveReSorts)
{
    KSortedStringMap map(2);
    for (const char* key : {"c", "B", "a", "_x", "Model"}) {
        map.Insert(key, Value(1));
    }
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"_x", "a", "B", "c", "Model"}));
    map.SetCaseSensitive(true);
    EXPECT_EQ(map.Find("model"), nullptr);
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"B", "Model", "_x", "a", "c"}));
    for (const char* key : {"B", "Model", "_x", "a", "c"}) {
        SCOPED_TRACE(key);
        EXPECT_NE(map.Find(key), nullptr);
    }
    // An insert right after a switch lands in the new order.
    map.SetCaseSensitive(false);
    map.Insert("b2", Value(2));
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"_x", "a", "B", "b2", "c", "Model"}));
}

TEST(KSortedStringMap, BytesAbove0x7FOrderAfterAscii)
{
    KSortedStringMap map(4);
    map.SetCaseSensitive(true);
    map.Insert("\xC3\xA9t\xC3\xA9", Value(1));
    map.Insert("z", Value(2));
    EXPECT_EQ(Keys(map), (std::vector<std::string>{"z", "\xC3\xA9t\xC3\xA9"}));
}

TEST(KSortedStringMap, RemoveValueRefAndKeyOwnership)
{
    test::ScopedCountingHooks hooks;
    {
        KSortedStringMap map(2);
        char key[] = "Texture";
        map.Insert(key, Value(1));
        key[0] = 'X';  // the map holds its own copy
        map.Insert("Material", Value(2));
        map.Insert("Material", Value(3));
        EXPECT_EQ(map.Find("texture"), Value(1));
        EXPECT_EQ(hooks.traffic().live.size(), 4u);  // three keys and the pairs

        EXPECT_FALSE(map.Remove("absent"));
        EXPECT_EQ(map.Count(), 3);
        EXPECT_EQ(map.GetAt(0), Value(3));  // the later duplicate comes first

        void** ref = map.ValueRefAt(2);
        ASSERT_NE(ref, nullptr);
        *ref = Value(4);
        EXPECT_EQ(map.Find("TEXTURE"), Value(4));
        EXPECT_EQ(map.ValueRefAt(3), nullptr);
        EXPECT_EQ(map.ValueRefAt(-1), nullptr);

        EXPECT_TRUE(map.Remove("material"));
        EXPECT_EQ(map.Count(), 2);
        EXPECT_FALSE(map.RemoveAt(2));
        EXPECT_TRUE(map.RemoveAt(0));
        EXPECT_EQ(Keys(map), (std::vector<std::string>{"Texture"}));
        map.Clear();
        EXPECT_TRUE(hooks.traffic().live.empty());
        map.Insert("again", Value(1));
    }
    EXPECT_TRUE(hooks.traffic().live.empty());
    EXPECT_EQ(hooks.traffic().unknownFrees, 0);
}

TEST(KSortedStringMap, ManyKeysInScrambledOrderStaySorted)
{
    KSortedStringMap map(20);
    const int n = 2000;
    for (int i = 0; i < n; ++i) {
        int k = (i * 7919) % n;  // a permutation of 0 .. n - 1
        ASSERT_GE(map.Insert(("key" + std::to_string(k)).c_str(), Value(k % 8)), 0);
    }
    std::vector<std::string> keys = Keys(map);
    ASSERT_EQ(static_cast<int>(keys.size()), n);
    for (size_t i = 1; i < keys.size(); ++i) {
        ASSERT_LT(keys[i - 1], keys[i]);
    }
    for (int k = 0; k < n; k += 37) {
        int index = -1;
        EXPECT_EQ(map.Find(("KEY" + std::to_string(k)).c_str(), &index), Value(k % 8));
        EXPECT_EQ(keys[index], "key" + std::to_string(k));
    }
}

}  // namespace
}  // namespace duzsdk
