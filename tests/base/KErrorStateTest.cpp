#include "sdk/base/KErrorState.h"

#include <gtest/gtest.h>

#include <string>

namespace duzsdk {
namespace {

constexpr const char* kMessages[] = {"Unknown error", "File not found", "Invalid file", "Out of memory"};
constexpr int kMessageCount = 4;

TEST(KErrorState, StartsCleared)
{
    KErrorState error(kMessages, kMessageCount);
    EXPECT_EQ(error.GetLastErrorIndex(), -1);
    EXPECT_FALSE(error.HasError());
    EXPECT_STREQ(error.GetLastErrorString(), "");
    EXPECT_EQ(error.GetErrorCount(), kMessageCount);
    EXPECT_EQ(error.GetErrorTexts(), kMessages);
}

TEST(KErrorState, SetLastErrorTakesTheTableText)
{
    struct Case {
        int index;
        const char* message;
    };
    const Case cases[] = {
        {0, "Unknown error"}, {2, "Invalid file"}, {3, "Out of memory"},
        {4, ""},    // one past the table: index kept, no text read
        {-7, ""},
        {100, ""},
    };
    KErrorState error(kMessages, kMessageCount);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        error.SetLastError(c.index);
        EXPECT_EQ(error.GetLastErrorIndex(), c.index);
        EXPECT_STREQ(error.GetLastErrorString(), c.message);
    }
    KErrorState noTable;
    noTable.SetLastError(0);
    EXPECT_EQ(noTable.GetLastErrorIndex(), 0);
    EXPECT_STREQ(noTable.GetLastErrorString(), "");
}

TEST(KErrorState, SpecificTextAndClearing)
{
    KErrorState error(kMessages, kMessageCount);
    error.SetLastErrorWithText(2, "Bad chunk at offset 12");
    EXPECT_EQ(error.GetLastErrorIndex(), 2);
    EXPECT_STREQ(error.GetLastErrorString(), "Bad chunk at offset 12");

    error.SetMessage("replaced");
    EXPECT_EQ(error.GetLastErrorIndex(), 2);
    EXPECT_STREQ(error.GetLastErrorString(), "replaced");
    error.SetMessage(nullptr);
    EXPECT_FALSE(error.GetMessage().IsValid());
    EXPECT_STREQ(error.GetLastErrorString(), "");

    error.ClearError();
    EXPECT_EQ(error.GetLastErrorIndex(), -1);
    EXPECT_TRUE(error.GetMessage().IsValid());
    EXPECT_STREQ(error.GetLastErrorString(), "");
}

TEST(KErrorState, TextTakenFromItsOwnMessage)
{
    const std::string longText(100, 'e');  // a heap-held message
    KErrorState error(kMessages, kMessageCount);
    error.SetLastErrorWithText(1, longText.c_str());
    error.SetLastErrorWithText(2, error.GetLastErrorString());
    EXPECT_EQ(error.GetLastErrorIndex(), 2);
    EXPECT_EQ(error.GetLastErrorString(), longText);
}

TEST(KErrorState, CopiesAreIndependent)
{
    KErrorState original(kMessages, kMessageCount);
    original.SetLastErrorWithText(1, "missing.duz");
    KErrorState copy(original);
    KErrorState assigned;
    assigned = original;
    original.SetLastError(3);
    for (const KErrorState* e : {&copy, &assigned}) {
        EXPECT_EQ(e->GetLastErrorIndex(), 1);
        EXPECT_STREQ(e->GetLastErrorString(), "missing.duz");
        EXPECT_EQ(e->GetErrorTexts(), kMessages);
        EXPECT_EQ(e->GetErrorCount(), kMessageCount);
    }
    assigned.SetLastError(0);
    EXPECT_STREQ(assigned.GetLastErrorString(), "Unknown error");
}

}  // namespace
}  // namespace duzsdk
