// Inserts append and are merged in at the next look-up. These tests hold the
// maps to the plain model of the ordered insert (each pair placed before the
// pairs with an equal key at once) over random runs of inserts, look-ups,
// removals, re-sorts and case switches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "base/KMemTestHooks.h"
#include "sdk/base/KSortedPtrMap.h"
#include "sdk/base/KSortedStringMap.h"

namespace duzsdk {
namespace {

int gSlots[16];
void* Slot(uint32_t i) { return i % 7 == 0 ? nullptr : &gSlots[i % 16]; }   // some null values

// ---- the model: the ordered insert, pair by pair ----------------------------------

template <class Key, class Less>
struct Model {
    struct Pair {
        Key key;
        void* value;
    };
    std::vector<Pair> pairs;
    bool dirty = false;
    Less less;

    size_t LowerBound(const Key& key) const
    {
        size_t low = 0, high = pairs.size();
        while (low < high) {
            const size_t middle = low + (high - low) / 2;
            if (less(pairs[middle].key, key)) low = middle + 1;
            else high = middle;
        }
        return low;
    }
    void Insert(const Key& key, void* value) { pairs.insert(pairs.begin() + static_cast<long>(LowerBound(key)), Pair{key, value}); }
    void Sort()
    {
        if (dirty) std::stable_sort(pairs.begin(), pairs.end(), [&](const Pair& a, const Pair& b) { return less(a.key, b.key); });
        dirty = false;
    }
    void* Find(const Key& key, int* index)
    {
        *index = -1;
        if (pairs.empty()) return nullptr;
        Sort();
        const size_t at = LowerBound(key);
        if (at >= pairs.size() || less(key, pairs[at].key) || pairs[at].value == nullptr) return nullptr;
        *index = static_cast<int>(at);
        return pairs[at].value;
    }
};

struct PtrLess {
    bool operator()(uintptr_t a, uintptr_t b) const { return a < b; }
};

int FoldCompare(const std::string& a, const std::string& b, bool caseSensitive)
{
    for (size_t i = 0;; ++i) {
        int x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        int y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        if (!caseSensitive) {
            if (x >= 'A' && x <= 'Z') x += 32;
            if (y >= 'A' && y <= 'Z') y += 32;
        }
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
}

struct StringLess {
    const bool* caseSensitive;
    bool operator()(const std::string& a, const std::string& b) const { return FoldCompare(a, b, *caseSensitive) < 0; }
};

// ---- comparisons --------------------------------------------------------------------

void ExpectSamePairs(KSortedPtrMap& map, Model<uintptr_t, PtrLess>& model)
{
    model.Sort();
    ASSERT_EQ(map.Count(), static_cast<int>(model.pairs.size()));
    for (int i = 0; i < map.Count(); ++i) {
        uintptr_t key = 0;
        void* value = map.GetAt(i, &key);
        ASSERT_EQ(key, model.pairs[static_cast<size_t>(i)].key) << "pair " << i;
        ASSERT_EQ(value, model.pairs[static_cast<size_t>(i)].value) << "pair " << i;
    }
}

void ExpectSamePairs(KSortedStringMap& map, Model<std::string, StringLess>& model)
{
    model.Sort();
    ASSERT_EQ(map.Count(), static_cast<int>(model.pairs.size()));
    for (int i = 0; i < map.Count(); ++i) {
        const char* key = nullptr;
        void* value = map.GetAt(i, &key);
        ASSERT_EQ(std::string(key), model.pairs[static_cast<size_t>(i)].key) << "pair " << i;
        ASSERT_EQ(value, model.pairs[static_cast<size_t>(i)].value) << "pair " << i;
    }
}

// Runs of inserts of random length, each followed by one other operation.
TEST(KSortedMapBulk, PtrMapMatchesTheOrderedInsertOnRandomRuns)
{
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        KSortedPtrMap map(1 + static_cast<int>(seed % 20));
        Model<uintptr_t, PtrLess> model;
        const uintptr_t keyRange = seed % 2 == 0 ? 16 : 100000;   // many or few duplicates
        for (int step = 0; step < 60; ++step) {
            const uint32_t run = random() % (step % 10 == 0 ? 400 : 30);
            for (uint32_t i = 0; i < run; ++i) {
                const uintptr_t key = (random() % keyRange) * 8;
                void* value = Slot(static_cast<uint32_t>(random()));
                ASSERT_EQ(map.Insert(key, value), 1);
                model.Insert(key, value);
                // Look-ups between inserts see the runs not yet merged.
                if (random() % 4 == 0) {
                    const uintptr_t probe = (random() % keyRange) * 8;
                    int modelIndex = -2;
                    ASSERT_EQ(map.Find(probe), model.Find(probe, &modelIndex)) << probe;
                }
            }
            switch (random() % 6) {
            case 0: {
                const uintptr_t key = (random() % keyRange) * 8;
                int index = -2, modelIndex = -2;
                EXPECT_EQ(map.Find(key, &index), model.Find(key, &modelIndex));
                EXPECT_EQ(index, modelIndex);
                break;
            }
            case 1:
                if (map.Count() > 0) {
                    const int index = static_cast<int>(random() % static_cast<uint32_t>(map.Count()));
                    model.Sort();
                    ASSERT_TRUE(map.RemoveAt(index));
                    model.pairs.erase(model.pairs.begin() + index);
                }
                break;
            case 2:
                // Inserts while a re-sort is pending land as they always did.
                map.SetDirty();
                model.dirty = true;
                break;
            case 3:
                map.SortIfDirty();
                model.Sort();
                break;
            case 4:
                if (random() % 8 == 0) {
                    map.Clear();
                    model.pairs.clear();
                    model.dirty = false;
                }
                break;
            default:
                ExpectSamePairs(map, model);
                break;
            }
        }
        ExpectSamePairs(map, model);
    }
}

TEST(KSortedMapBulk, StringMapMatchesTheOrderedInsertOnRandomRuns)
{
    // Case variants, prefixes and bytes above 0x7F, so that case folding,
    // duplicates and the byte order all matter.
    const char* const stems[] = {"a", "A", "ab", "Ab", "aB", "b", "B", "_x", "Model", "model", "MODEL",
                                 "\xC3\xA9t\xC3\xA9", "z", "", "a_", "[", "Z"};
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        KSortedStringMap map(1 + static_cast<int>(seed % 20));
        bool caseSensitive = false;
        Model<std::string, StringLess> model{{}, false, StringLess{&caseSensitive}};
        for (int step = 0; step < 60; ++step) {
            const uint32_t run = random() % (step % 10 == 0 ? 300 : 25);
            for (uint32_t i = 0; i < run; ++i) {
                std::string key = stems[random() % (sizeof stems / sizeof stems[0])];
                if (random() % 2 == 0) key += std::to_string(random() % 50);
                void* value = Slot(static_cast<uint32_t>(random()));
                ASSERT_GE(map.Insert(key.c_str(), value), 0);
                model.Sort();   // the insert re-sorts first when a case switch is pending
                model.Insert(key, value);
                // Look-ups between inserts see the runs not yet merged.
                if (random() % 4 == 0) {
                    const std::string probe = stems[random() % (sizeof stems / sizeof stems[0])];
                    int modelIndex = -2;
                    ASSERT_EQ(map.Find(probe.c_str()), model.Find(probe, &modelIndex)) << probe;
                }
            }
            switch (random() % 6) {
            case 0: {
                std::string key = stems[random() % (sizeof stems / sizeof stems[0])];
                int index = -2, modelIndex = -2;
                EXPECT_EQ(map.Find(key.c_str(), &index), model.Find(key, &modelIndex)) << key;
                EXPECT_EQ(index, modelIndex) << key;
                break;
            }
            case 1:
                if (map.Count() > 0) {
                    const int index = static_cast<int>(random() % static_cast<uint32_t>(map.Count()));
                    model.Sort();
                    ASSERT_TRUE(map.RemoveAt(index));
                    model.pairs.erase(model.pairs.begin() + index);
                }
                break;
            case 2: {
                // The model switches after its pairs are placed: those were
                // placed under the comparison of their insert.
                const bool next = random() % 2 == 0;
                map.SetCaseSensitive(next);
                if (next != caseSensitive) {
                    model.Sort();
                    caseSensitive = next;
                    model.dirty = true;
                }
                break;
            }
            case 3: {
                std::string key = stems[random() % (sizeof stems / sizeof stems[0])];
                int modelIndex = -1;
                const bool present = model.Find(key, &modelIndex) != nullptr;
                EXPECT_EQ(map.Remove(key.c_str()), present) << key;
                if (present) model.pairs.erase(model.pairs.begin() + modelIndex);
                break;
            }
            case 4:
                if (map.Count() > 0) {
                    const int index = static_cast<int>(random() % static_cast<uint32_t>(map.Count()));
                    model.Sort();
                    void** ref = map.ValueRefAt(index);
                    ASSERT_NE(ref, nullptr);
                    *ref = &gSlots[3];
                    model.pairs[static_cast<size_t>(index)].value = &gSlots[3];
                }
                break;
            default:
                ExpectSamePairs(map, model);
                break;
            }
        }
        ExpectSamePairs(map, model);
    }
}

// Without a work buffer for the merge, the appended pairs go in one by one:
// the same pairs in the same order, and nothing leaks.
TEST(KSortedMapBulk, MergeWithoutWorkBufferGivesTheSamePairs)
{
    test::ScopedCountingHooks hooks;
    {
        std::mt19937 random(5);
        KSortedPtrMap ptrs(64);
        KSortedStringMap names(64);
        Model<uintptr_t, PtrLess> ptrModel;
        bool caseSensitive = false;
        Model<std::string, StringLess> nameModel{{}, false, StringLess{&caseSensitive}};
        for (int i = 0; i < 500; ++i) {
            const uintptr_t key = random() % 40;
            void* value = Slot(static_cast<uint32_t>(random()));
            ptrs.Insert(key, value);
            ptrModel.Insert(key, value);
            const std::string name = (random() % 2 ? "Key" : "key") + std::to_string(random() % 30);
            names.Insert(name.c_str(), value);
            nameModel.Insert(name, value);
        }
        hooks.traffic().failAfter = 0;
        ExpectSamePairs(ptrs, ptrModel);
        ExpectSamePairs(names, nameModel);
        EXPECT_GT(hooks.traffic().refused, 0);
        hooks.traffic().failAfter = -1;
    }
    EXPECT_TRUE(hooks.traffic().live.empty());
}

}  // namespace
}  // namespace duzsdk
