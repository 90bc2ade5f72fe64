#include "sdk/base/KMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "base/KMemTestHooks.h"

namespace duzsdk {
namespace {

TEST(KMemory, DefaultHooksAllocateResizeAndFree)
{
    char* block = static_cast<char*>(KMemAlloc(8));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "abcdefg", 8);
    block = static_cast<char*>(KMemRealloc(block, 4096));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abcdefg");
    KMemFree(block);
    KMemFree(nullptr);

    auto* zeros = static_cast<unsigned char*>(KMemCalloc(16, 4));
    ASSERT_NE(zeros, nullptr);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(zeros[i], 0) << i;
    }
    KMemFree(zeros);
}

TEST(KMemory, ReplacedHooksSeeEveryCall)
{
    test::ScopedCountingHooks hooks;
    void* a = KMemAlloc(10);
    void* b = KMemCalloc(3, 5);
    a = KMemRealloc(a, 100);
    void* c = KMemRealloc(nullptr, 7);
    KMemFree(a);
    KMemFree(b);
    KMemFree(c);
    KMemFree(nullptr);  // never reaches the hook

    EXPECT_EQ(hooks.traffic().allocations, 3);
    EXPECT_EQ(hooks.traffic().reallocations, 1);
    EXPECT_EQ(hooks.traffic().frees, 3);
    EXPECT_TRUE(hooks.traffic().live.empty());
    EXPECT_EQ(hooks.traffic().unknownFrees, 0);
}

TEST(KMemory, ResetRestoresTheRuntimeFunctions)
{
    {
        test::ScopedCountingHooks hooks;
    }
    KMemHooks current = KMemGetHooks();
    EXPECT_NE(current.alloc, &test::CountingAlloc);
    EXPECT_NE(current.free, &test::CountingFree);
    void* block = KMemAlloc(1);
    EXPECT_NE(block, nullptr);
    KMemFree(block);
}

TEST(KMemory, OverflowingSizesAreRefusedBeforeTheHook)
{
    test::ScopedCountingHooks hooks;
    const size_t huge = SIZE_MAX / 2 + 1;
    EXPECT_EQ(KMemCalloc(huge, 2), nullptr);
    void* block = KMemAlloc(4);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(KMemReallocArray(block, huge, 4), nullptr);
    EXPECT_EQ(hooks.traffic().refused, 0);  // the hooks were never asked
    KMemFree(block);  // the old block is still the caller's
    size_t product = 0;
    EXPECT_FALSE(KMemMultiplySize(huge, 2, &product));
    EXPECT_TRUE(KMemMultiplySize(1u << 20, 1u << 20, &product));
    EXPECT_EQ(product, size_t{1} << 40);
}

}  // namespace
}  // namespace duzsdk
