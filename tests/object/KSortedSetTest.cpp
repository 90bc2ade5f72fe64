#include "sdk/object/KSortedSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

using namespace duzsdk;

namespace {

// Checks the red-black rules and returns the black height; -1 on a fault.
int BlackHeight(const KSortedSetNode* node, int (*compare)(const void*, const void*)) {
    if (node == nullptr) return 1;
    if (!node->IsBlack()) {
        if ((node->left && !node->left->IsBlack()) || (node->right && !node->right->IsBlack()))
            return -1;
    }
    if (node->left && (node->left->parent != node || compare(node->left->key, node->key) >= 0))
        return -1;
    if (node->right && (node->right->parent != node || compare(node->right->key, node->key) <= 0))
        return -1;
    int l = BlackHeight(node->left, compare);
    int r = BlackHeight(node->right, compare);
    if (l < 0 || r < 0 || l != r) return -1;
    return l + (node->IsBlack() ? 1 : 0);
}

int Height(const KSortedSetNode* node) {
    return node == nullptr ? 0 : 1 + std::max(Height(node->left), Height(node->right));
}

void* FakeAddress(std::uintptr_t value) { return reinterpret_cast<void*>(value); }

struct Named {
    std::string name;
};
const char* KeyText(const Named* key) { return key->name.c_str(); }

}  // namespace

TEST(KSortedSetTest, DuplicateKeyReplacesAndReportsFalse) {
    KSortedSet<void> set;
    EXPECT_TRUE(set.Insert(FakeAddress(0x1000)));
    EXPECT_FALSE(set.Insert(FakeAddress(0x1000)));
    EXPECT_EQ(set.GetCount(), 1);

    KSortedSet<Named, KSortedSetByName<Named>> names;
    Named a{"Alpha"}, a2{"Alpha"}, b{"beta"};
    EXPECT_TRUE(names.Insert(&a));
    EXPECT_TRUE(names.Insert(&b));
    EXPECT_FALSE(names.Insert(&a2));
    EXPECT_EQ(names.GetCount(), 2);
    Named probe{"Alpha"};
    EXPECT_EQ(names.Find(&probe), &a2);   // the stored key was replaced
    Named lower{"alpha"};
    EXPECT_EQ(names.Find(&lower), nullptr);   // case-sensitive
}

TEST(KSortedSetTest, StaysBalancedForOrderedAndReversedInput) {
    for (bool reversed : {false, true}) {
        SCOPED_TRACE(reversed ? "reversed" : "increasing");
        KSortedSet<void> set;
        const int n = 4096;
        for (int i = 0; i < n; ++i) {
            std::uintptr_t v = reversed ? std::uintptr_t(n - i) * 16 : std::uintptr_t(i + 1) * 16;
            ASSERT_TRUE(set.Insert(FakeAddress(v)));
        }
        EXPECT_EQ(set.GetCount(), n);
        EXPECT_TRUE(set.GetRoot()->IsBlack());
        EXPECT_GT(BlackHeight(set.GetRoot(), &KSortedSetByAddress::Compare), 0);
        EXPECT_LE(Height(set.GetRoot()), 2 * std::log2(n + 1));
        for (int i = 1; i <= n; ++i) ASSERT_NE(set.Find(FakeAddress(std::uintptr_t(i) * 16)), nullptr);
        EXPECT_EQ(set.Find(FakeAddress(8)), nullptr);
    }
}

TEST(KSortedSetTest, AddressesFarApartStayOrdered) {
    // Keys more than 2^31 apart: a truncated signed difference misorders them.
    KSortedSet<void> set;
    std::vector<std::uintptr_t> keys = {0x10, 0x7fff0000ull, 0x80000010ull, 0x100000000ull,
                                        0x7fff00000000ull, 0xffff800000000000ull, 0x90000000ull};
    for (auto k : keys) ASSERT_TRUE(set.Insert(FakeAddress(k)));
    EXPECT_GT(BlackHeight(set.GetRoot(), &KSortedSetByAddress::Compare), 0);
    for (auto k : keys) EXPECT_EQ(set.Find(FakeAddress(k)), FakeAddress(k));
    EXPECT_EQ(set.Find(FakeAddress(0x80000000ull)), nullptr);
}

TEST(KSortedSetTest, ClearEmptiesAndAllowsReuse) {
    KSortedSet<void> set;
    set.Clear();
    EXPECT_EQ(set.GetCount(), 0);
    EXPECT_EQ(set.GetRoot(), nullptr);
    for (int i = 1; i <= 100; ++i) set.Insert(FakeAddress(i * 8));
    set.Clear();
    EXPECT_EQ(set.GetCount(), 0);
    EXPECT_EQ(set.GetRoot(), nullptr);
    EXPECT_TRUE(set.Insert(FakeAddress(8)));
}
