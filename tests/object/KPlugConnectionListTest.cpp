// The connection list must read exactly like a vector after any mix of
// inserts and erases at the front, the back and in between, including after
// its dead slots are reused or dropped, and find each plug's last entry.
#include "sdk/object/KPlugConnectionList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace duzsdk {
namespace {

KPlug* FakePlug(int n) { return reinterpret_cast<KPlug*>(static_cast<std::uintptr_t>(n + 1) * 16); }

void ExpectSame(const KPlugConnectionList& list, const std::vector<KPlugConnection>& model) {
    ASSERT_EQ(list.size(), model.size());
    for (std::size_t i = 0; i < model.size(); ++i) {
        EXPECT_EQ(list[i].plug, model[i].plug) << i;
        EXPECT_EQ(list[i].flags, model[i].flags) << i;
    }
    std::size_t walked = 0;
    for (const KPlugConnection& entry : list) EXPECT_EQ(entry.plug, model[walked++].plug);
    EXPECT_EQ(walked, model.size());
}

int ModelFindLast(const std::vector<KPlugConnection>& model, const KPlug* plug) {
    for (std::size_t i = model.size(); i > 0; --i)
        if (model[i - 1].plug == plug) return static_cast<int>(i - 1);
    return -1;
}

TEST(KPlugConnectionListTest, MatchesAVectorUnderMixedEdits) {
    // Each pattern picks the position of the next edit from the step number.
    struct Case {
        const char* name;
        int (*erasePos)(int step, int size);
        int (*insertPos)(int step, int size);
    };
    const Case cases[] = {
        {"front", [](int, int) { return 0; }, [](int, int) { return 0; }},
        {"back", [](int, int size) { return size - 1; }, [](int, int size) { return size; }},
        {"middle", [](int, int size) { return size / 3; }, [](int, int size) { return size / 2; }},
        {"mixed", [](int step, int size) { return (step * 7) % size; },
         [](int step, int size) { return step % 3 == 0 ? 0 : (step * 5) % (size + 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KPlugConnectionList list;
        std::vector<KPlugConnection> model;
        int next = 0;
        for (int i = 0; i < 200; ++i, ++next) {
            list.insert(list.size(), {FakePlug(next), next});
            model.push_back({FakePlug(next), next});
        }
        for (int step = 0; step < 600; ++step) {
            const int size = static_cast<int>(model.size());
            if (size > 0 && (step % 4 != 3 || size > 150)) {
                const int pos = c.erasePos(step, size);
                list.erase(static_cast<std::size_t>(pos));
                model.erase(model.begin() + pos);
            } else {
                const int pos = c.insertPos(step, size);
                list.insert(static_cast<std::size_t>(pos), {FakePlug(next), next});
                model.insert(model.begin() + pos, {FakePlug(next), next});
                ++next;
            }
            ExpectSame(list, model);
            if (testing::Test::HasFailure()) return;
        }
    }
}

TEST(KPlugConnectionListTest, EmptiesAndRefillsAfterFrontErases) {
    KPlugConnectionList list;
    for (int i = 0; i < 40; ++i) list.insert(list.size(), {FakePlug(i), 0});
    for (int i = 0; i < 39; ++i) list.erase(0);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].plug, FakePlug(39));
    list.erase(0);
    EXPECT_TRUE(list.empty());
    list.insert(5, {FakePlug(1), 3});   // clamped to the end
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].flags, 3);
    list.erase(4);                       // past the end: nothing happens
    EXPECT_EQ(list.size(), 1u);
}

TEST(KPlugConnectionListTest, MatchesAVectorUnderRandomEditsReadsAndFinds) {
    // Lists edited anywhere, with index reads and finds in between that must
    // see every gap. Some plugs are listed twice. Phases that mostly shrink
    // or mostly grow the list take it from long (dead slots kept) to short
    // (entries moved) and back, through front-only gaps, middle gaps,
    // gaps dropped at the back and compaction.
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        auto below = [&random](std::size_t n) {
            return static_cast<std::size_t>(std::uniform_int_distribution<std::size_t>(0, n - 1)(random));
        };
        KPlugConnectionList list;
        std::vector<KPlugConnection> model;
        int next = 0;
        const std::size_t start = 20 + below(300);
        for (std::size_t i = 0; i < start; ++i, ++next) {
            list.insert(list.size(), {FakePlug(next), next});
            model.push_back({FakePlug(next), next});
        }
        for (int step = 0; step < 3000; ++step) {
            const std::size_t size = model.size();
            const std::size_t kind = below(10);
            const bool shrinking = (step / 250) % 2 == 0;
            if (size > 0 && (kind < 3 || (shrinking && kind < 7))) {
                // Erase: anywhere, or near the front or the back.
                std::size_t pos = below(size);
                if (kind == 1) pos = below(std::min<std::size_t>(size, 3));
                if (kind == 2) pos = size - 1 - below(std::min<std::size_t>(size, 3));
                list.erase(pos);
                model.erase(model.begin() + static_cast<std::ptrdiff_t>(pos));
            } else if (kind < 9 || size == 0) {
                // Insert: mostly at the back, sometimes a plug already listed.
                std::size_t pos = kind < 7 ? size : below(size + 1);
                if (kind == 8 && size > 0) pos = 0;
                KPlugConnection entry{FakePlug(next), next};
                if (size > 0 && below(8) == 0) entry.plug = model[below(size)].plug;
                ++next;
                list.insert(pos, entry);
                model.insert(model.begin() + static_cast<std::ptrdiff_t>(pos), entry);
            }
            ASSERT_EQ(list.size(), model.size());
            // Reads between edits, by index and by plug.
            for (int probe = 0; probe < 3 && !model.empty(); ++probe) {
                const std::size_t i = below(model.size());
                ASSERT_EQ(list[i].plug, model[i].plug) << "index " << i;
                ASSERT_EQ(list[i].flags, model[i].flags) << "index " << i;
                const KPlug* plug = model[below(model.size())].plug;
                ASSERT_EQ(list.find_last(plug), ModelFindLast(model, plug));
                ASSERT_EQ(list.count(plug), static_cast<int>(std::count_if(
                                                model.begin(), model.end(),
                                                [plug](const KPlugConnection& e) { return e.plug == plug; })));
            }
            const KPlug* gone = FakePlug(next + 5);
            ASSERT_EQ(list.find_last(gone), -1);
            ASSERT_FALSE(list.contains(gone));
            if (step % 97 == 0) {
                ExpectSame(list, model);
                if (testing::Test::HasFailure()) return;
            }
        }
        ExpectSame(list, model);
    }
}

TEST(KPlugConnectionListTest, ReadsRightAfterItsGapsLeaveFromTheBack) {
    // A gap in the middle, then the entries after it erased from the back
    // until the gap goes too, down to a short list edited in the middle and
    // grown again past a 64-slot word.
    KPlugConnectionList list;
    std::vector<KPlugConnection> model;
    int next = 0;
    auto append = [&] {
        list.insert(list.size(), {FakePlug(next), next});
        model.push_back({FakePlug(next), next});
        ++next;
    };
    auto erase = [&](std::size_t pos) {
        list.erase(pos);
        model.erase(model.begin() + static_cast<std::ptrdiff_t>(pos));
    };
    for (int i = 0; i < 40; ++i) append();
    erase(30);
    while (model.size() > 12) erase(model.size() - 1);
    ExpectSame(list, model);
    erase(5);
    ExpectSame(list, model);
    for (int i = 0; i < 70; ++i) append();
    ExpectSame(list, model);
    erase(20);
    for (int i = 0; i < 70; ++i) append();
    ExpectSame(list, model);
    for (const KPlugConnection& entry : model) EXPECT_EQ(list.find_last(entry.plug), ModelFindLast(model, entry.plug));
}

TEST(KPlugConnectionListTest, FindsEveryPlugAfterErasesInShuffledOrder) {
    // What destroying a scene in any order does to its list: each plug is
    // found, then erased, with the rest still found at the right index.
    std::vector<int> order(2000);
    for (int i = 0; i < 2000; ++i) order[static_cast<std::size_t>(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    KPlugConnectionList list;
    std::vector<KPlugConnection> model;
    for (int i = 0; i < 2000; ++i) {
        list.insert(list.size(), {FakePlug(i), i});
        model.push_back({FakePlug(i), i});
    }
    for (std::size_t k = 0; k < order.size(); ++k) {
        const KPlug* plug = FakePlug(order[k]);
        const int index = list.find_last(plug);
        ASSERT_EQ(index, ModelFindLast(model, plug)) << "step " << k;
        list.erase(static_cast<std::size_t>(index));
        model.erase(model.begin() + index);
        if (k % 101 == 0 && !model.empty()) {
            const KPlug* other = model[model.size() / 2].plug;
            ASSERT_EQ(list.find_last(other), static_cast<int>(model.size() / 2));
        }
    }
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.begin(), list.end());
}

}  // namespace
}  // namespace duzsdk
