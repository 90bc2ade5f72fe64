// The connection list must read exactly like a vector after any mix of
// inserts and erases at the front, the back and in between, including after
// its dead front slots are reused or dropped.
#include "sdk/object/KPlugConnectionList.h"

#include <gtest/gtest.h>

#include <cstdint>
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

}  // namespace
}  // namespace duzsdk
