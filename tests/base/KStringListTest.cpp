#include "sdk/base/KStringList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/KMemTestHooks.h"

namespace duzsdk {
namespace {

std::vector<std::string> Texts(const KStringList& list)
{
    std::vector<std::string> texts;
    for (int i = 0; i < list.Count(); ++i) {
        texts.emplace_back(list.GetStringAt(i));
    }
    return texts;
}

TEST(KStringList, SetTextSplitsOnTilde)
{
    struct Case {
        const char* text;
        std::vector<std::string> items;
        const char* joined;  // what GetText gives back
    };
    const Case cases[] = {
        {"a~b~", {"a", "b"}, "a~b"},
        {"a~~b", {"a", "", "b"}, "a~~b"},
        {"~a", {"", "a"}, "~a"},
        {"~", {""}, ""},
        {"", {}, ""},
        {"one", {"one"}, "one"},
        {"x y~\xC3\xA9", {"x y", "\xC3\xA9"}, "x y~\xC3\xA9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        KStringList list;
        list.Append("stale");
        list.SetText(c.text);
        EXPECT_EQ(Texts(list), c.items);
        for (int i = 0; i < list.Count(); ++i) {
            EXPECT_EQ(list.GetDataAt(i), 0);
        }
        KString joined;
        list.GetText(joined);
        EXPECT_STREQ(joined.Buffer(), c.joined);
    }
    KStringList list;
    list.Append("x");
    list.SetText(nullptr);
    EXPECT_EQ(list.Count(), 0);
}

TEST(KStringList, SetTextFromItsOwnItem)
{
    const std::string first(70, 'f');  // long enough to live on the heap
    KStringList list;
    list.Append((first + "~" + first).c_str());
    list.SetText(list.GetStringAt(0));
    EXPECT_EQ(Texts(list), (std::vector<std::string>{first, first}));
}

TEST(KStringList, GetTextAppendsToWhatIsThere)
{
    KStringList list;
    list.SetText("a~b~");
    KString out("prefix:");
    list.GetText(out);
    EXPECT_STREQ(out.Buffer(), "prefix:a~b");
}

TEST(KStringList, InsertRemoveAndReplace)
{
    KStringList list;
    EXPECT_EQ(list.Append("b", 2), 0);
    EXPECT_EQ(list.InsertAt(0, "a", 1), 0);
    EXPECT_EQ(list.InsertAt(99, "d", 4), 2);  // clamped to the count
    EXPECT_EQ(list.InsertAt(2, "c", 3), 2);
    EXPECT_EQ(list.InsertAt(-5, "first", 0), 0);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"first", "a", "b", "c", "d"}));
    EXPECT_EQ(list.GetDataAt(3), 3);

    EXPECT_TRUE(list.SetStringAt(0, "zero"));
    EXPECT_FALSE(list.SetStringAt(5, "x"));
    EXPECT_FALSE(list.SetStringAt(-1, "x"));
    EXPECT_TRUE(list.RemoveAt(1));
    EXPECT_FALSE(list.RemoveAt(4));
    EXPECT_FALSE(list.RemoveAt(-1));
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"zero", "b", "c", "d"}));

    EXPECT_EQ(list.FindIndex("c"), 2);
    EXPECT_EQ(list.FindIndex("C"), -1);  // case-sensitive
    EXPECT_EQ(list.FindIndex("absent"), -1);
    EXPECT_EQ(list.GetStringAt(4), nullptr);
    EXPECT_EQ(list.GetItemAt(-1), nullptr);
    EXPECT_TRUE(list.SetDataAt(0, 42));
    EXPECT_FALSE(list.SetDataAt(4, 42));
    EXPECT_EQ(list.GetDataAt(0), 42);
    EXPECT_EQ(list.GetDataAt(9), 0);
}

TEST(KStringList, CopiesAreDeepAndKeepData)
{
    KStringList source;
    source.Append("one", 1);
    source.Append("two", 2);
    KStringList copy(source);
    KStringList assigned;
    assigned.Append("old");
    assigned = source;
    source.SetStringAt(0, "changed");
    for (const KStringList* list : {&copy, &assigned}) {
        EXPECT_EQ(Texts(*list), (std::vector<std::string>{"one", "two"}));
        EXPECT_EQ(list->GetDataAt(1), 2);
    }
    assigned.Assign(assigned);
    EXPECT_EQ(assigned.Count(), 2);
}

TEST(KStringList, ItemsComeFromTheHooksAndAreFreed)
{
    test::ScopedCountingHooks hooks;
    {
        KStringList list;
        list.SetText("alpha~beta~gamma");
        list.Append(std::string(100, 'l').c_str());
        list.RemoveAt(1);
        KStringListTemplate<KStringListItem>* base = &list;
        base->InsertAt(0, "via base", 9);
        EXPECT_EQ(list.GetDataAt(0), 9);
        EXPECT_GE(hooks.traffic().allocations, 5);
    }
    EXPECT_TRUE(hooks.traffic().live.empty());
    EXPECT_EQ(hooks.traffic().unknownFrees, 0);
}

TEST(KStringList, RefusedItemAllocationReportsFailure)
{
    test::ScopedCountingHooks hooks;
    KStringList list;
    list.Append("kept");
    hooks.traffic().failAfter = 0;
    EXPECT_EQ(list.Append("lost"), -1);
    hooks.traffic().failAfter = -1;
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"kept"}));
}

}  // namespace
}  // namespace duzsdk
