#include "sdk/base/KString.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>

#include "base/KMemTestHooks.h"
#include "sdk/base/KMemory.h"

namespace duzsdk {
namespace {

KString Invalid() { return KString(static_cast<const char*>(nullptr)); }

// Text and validity of a string, as one value for comparisons in tables.
std::string Show(const KString& s)
{
    return s.IsValid() ? std::string(s.Buffer(), static_cast<size_t>(s.Length())) : std::string("<invalid>");
}

TEST(KString, ConstructionForms)
{
    struct Case {
        const char* name;
        KString value;
        const char* expected;
    };
    const Case cases[] = {
        {"default", KString(), ""},
        {"text", KString("abc"), "abc"},
        {"null text", KString(static_cast<const char*>(nullptr)), "<invalid>"},
        {"buffer", KString("abcdef", 3), "abc"},
        {"buffer with null pointer", KString(static_cast<const char*>(nullptr), 3), "<invalid>"},
        {"buffer with negative length", KString("abc", -1), "<invalid>"},
        {"int", KString(-42), "-42"},
        {"int min", KString(INT_MIN), "-2147483648"},
        {"double", KString(1.5), "1.500000"},
        {"double negative", KString(-0.25), "-0.250000"},
        {"fill", KString('x', 3), "xxx"},
        {"fill zero", KString('x', 0), ""},
        {"fill negative", KString('x', -5), ""},
        {"copy", KString(KString("copy")), "copy"},
        {"copy of invalid", KString(Invalid()), "<invalid>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Show(c.value), c.expected);
        EXPECT_EQ(c.value.Buffer()[c.value.Length()], '\0');
    }
}

TEST(KString, HugeDoubleIsNotTruncated)
{
    KString s(1e300);
    ASSERT_TRUE(s.IsValid());
    EXPECT_EQ(s.Length(), 301 + 7);  // 301 digits, the point and six decimals
    EXPECT_EQ(s.Right(7).Compare(".000000"), 0);
    KString t;
    t.AssignDouble(-1e300);
    EXPECT_EQ(t.Length(), 309);
    EXPECT_EQ(t.Buffer()[0], '-');
}

TEST(KString, InlineUpTo62CharactersHeapFrom63)
{
    test::ScopedCountingHooks hooks;
    KString inlined(std::string(62, 'a').c_str());
    EXPECT_EQ(hooks.traffic().allocations, 0);
    KString onHeap(std::string(63, 'b').c_str());
    EXPECT_EQ(hooks.traffic().allocations, 1);
    EXPECT_EQ(hooks.traffic().lastSize, 64u);  // length + 1
    EXPECT_EQ(onHeap.Length(), 63);
    onHeap.Clear();
    EXPECT_TRUE(hooks.traffic().live.empty());
    EXPECT_EQ(onHeap.Compare(""), 0);
}

TEST(KString, EveryHeapBlockComesBack)
{
    test::ScopedCountingHooks hooks;
    {
        const std::string longText(200, 'q');
        KString a(longText.c_str());
        KString b(a);
        KString c(std::move(b));
        b = a;
        a += a;
        KString d = KStringConcat(a, c) + "tail";
        d.ReplaceFirst("qq", "r");
        KString e = d.Upper().Lower().Trim().Mid(3, 150);
        KString* heap = KStringNew();
        heap->AssignText(longText.c_str());
        KStringDelete(heap);
        KStringDelete(KStringDeleteIfEmpty(KStringNew()));
    }
    EXPECT_GT(hooks.traffic().allocations, 5);
    EXPECT_TRUE(hooks.traffic().live.empty());
    EXPECT_EQ(hooks.traffic().unknownFrees, 0);
}

TEST(KString, SelfAssignmentAndSelfAppend)
{
    for (int length : {0, 5, 40, 62, 63, 100}) {
        SCOPED_TRACE(length);
        const std::string text(static_cast<size_t>(length), 'z');
        KString s(text.c_str());
        const KString& same = s;
        s = same;
        s.AssignString(s);
        s.AssignText(s.Buffer());
        EXPECT_EQ(Show(s), text);
        s.AppendString(s);
        EXPECT_EQ(Show(s), text + text);
        s.AppendText(s.Buffer());
        EXPECT_EQ(Show(s), text + text + text + text);
        // A part of itself.
        KString t(text.c_str());
        t.AppendChar('!');
        t.AssignBuffer(t.Buffer() + 1, length > 3 ? 3 : 0);
        EXPECT_EQ(Show(t), length > 3 ? std::string("zzz") : std::string());
    }
}

TEST(KString, MoveLeavesTheSourceEmpty)
{
    for (int length : {0, 10, 62, 63, 300}) {
        SCOPED_TRACE(length);
        const std::string text(static_cast<size_t>(length), 'm');
        KString source(text.c_str());
        KString target(std::move(source));
        EXPECT_EQ(Show(target), text);
        EXPECT_EQ(Show(source), "");
        KString other("old");
        other = std::move(target);
        EXPECT_EQ(Show(other), text);
        EXPECT_EQ(Show(target), "");
    }
    KString invalid = Invalid();
    KString moved(std::move(invalid));
    EXPECT_FALSE(moved.IsValid());
    EXPECT_TRUE(invalid.IsValid());
}

TEST(KString, AppendsAndInvalidPropagation)
{
    KString s("a");
    s.AppendChar('b').AppendInt(-12).AppendText("cd").AppendString(KString("e"));
    EXPECT_EQ(Show(s), "ab-12cde");
    s += 'f';
    s += "g";
    EXPECT_EQ(Show(s), "ab-12cdefg");

    struct Case {
        const char* name;
        KString result;
    };
    const Case invalidCases[] = {
        {"append null text", KString("x").AppendText(nullptr)},
        {"append invalid string", KString("x").AppendString(Invalid())},
        {"append to invalid", Invalid().AppendText("x")},
        {"concat invalid left", KStringConcat(Invalid(), KString("x"))},
        {"concat invalid right", KStringConcat(KString("x"), Invalid())},
        {"concat null text", KStringConcatText(KString("x"), nullptr)},
        {"concat char to invalid", KStringConcatChar(Invalid(), 'c')},
        {"concat int to invalid", KStringConcatInt(Invalid(), 3)},
        {"assign null", KString("x").AssignText(nullptr)},
        {"invalidate", KString("x").Invalidate()},
    };
    for (const Case& c : invalidCases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.result.IsValid());
        EXPECT_STREQ(c.result.Buffer(), "");
        EXPECT_EQ(c.result.Length(), 0);
    }
    EXPECT_EQ(Show(KStringConcatInt(KString("n"), 7)), "n7");
    EXPECT_EQ(Show(KStringConcatChar(KString("n"), '!')), "n!");
    EXPECT_EQ(Show(KString("a") + KString("b") + "c" + 'd'), "abcd");
    EXPECT_TRUE(Invalid().Clear().IsValid());
}

TEST(KString, RepeatedAppendsStayLinear)
{
    test::ScopedCountingHooks hooks;
    KString s;
    for (int i = 0; i < 100000; ++i) {
        s.AppendChar(static_cast<char>('a' + i % 26));
    }
    EXPECT_EQ(s.Length(), 100000);
    EXPECT_EQ(s.Buffer()[26], 'a');
    EXPECT_LT(hooks.traffic().allocations, 40);
}

TEST(KString, RefusedAllocationMakesTheStringInvalid)
{
    test::ScopedCountingHooks hooks;
    hooks.traffic().failAfter = 0;
    KString big(std::string(100, 'x').c_str());
    EXPECT_FALSE(big.IsValid());
    KString small("fits inline");  // needs no heap block
    EXPECT_TRUE(small.IsValid());
    small.AppendText(std::string(100, 'y').c_str());
    EXPECT_FALSE(small.IsValid());
    hooks.traffic().failAfter = -1;
    EXPECT_TRUE(hooks.traffic().live.empty());
}

TEST(KString, Comparisons)
{
    struct Case {
        const char* a;
        const char* b;
        int compare;
        int compareNoCase;
    };
    const Case cases[] = {
        {"abc", "abc", 0, 0},        {"abc", "abd", -1, -1},      {"abd", "abc", 1, 1},
        {"ab", "abc", -1, -1},       {"", "", 0, 0},              {"", nullptr, 0, 0},
        {"a", nullptr, 1, 1},        {"Model", "model", -1, 0},   {"MODEL", "model_", -1, -1},
        {"\xC3\xA9", "z", 1, 1},     {"\xC3\xA9", "\xC3\x89", 1, 1},  // no case folding past ASCII
        {"_", "a", -1, -1},          {"_", "A", 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + (c.b != nullptr ? c.b : "(null)"));
        KString s(c.a);
        EXPECT_EQ(s.Compare(c.b), c.compare);
        EXPECT_EQ(s.CompareNoCase(c.b), c.compareNoCase);
        EXPECT_EQ(s.EqualsText(c.b), c.compare == 0);
        EXPECT_EQ(s.DiffersFromText(c.b), c.compare != 0);
        if (c.b != nullptr) {
            EXPECT_EQ(s.EqualsString(KString(c.b)), c.compare == 0);
            EXPECT_EQ(s.DiffersFromString(KString(c.b)), c.compare != 0);
            EXPECT_EQ(s == c.b, c.compare == 0);
            EXPECT_EQ(s < KString(c.b), c.compare < 0);
        }
    }
    EXPECT_TRUE(Invalid().EqualsText(""));  // an invalid string reads as ""
}

TEST(KString, Searches)
{
    const KString s("abcabc");
    struct Case {
        const char* name;
        int result;
        int expected;
    };
    const Case cases[] = {
        {"FindChar first", s.FindChar('b'), 1},
        {"FindChar from start", s.FindChar('b', 2), 4},
        {"FindChar absent", s.FindChar('z'), -1},
        {"FindChar start past end", s.FindChar('a', 100), -1},
        {"FindChar negative start", s.FindChar('a', -1), -1},
        {"ReverseFindChar", s.ReverseFindChar('a'), 3},
        {"ReverseFindChar absent", s.ReverseFindChar('z'), -1},
        {"FindOneOf", s.FindOneOf("xc"), 2},
        {"FindOneOf from start", s.FindOneOf("xa", 1), 3},
        {"FindOneOf none", s.FindOneOf("xyz"), -1},
        {"FindOneOf null set", s.FindOneOf(nullptr), -1},
        {"FindOneOf negative start", s.FindOneOf("a", -3), -1},
        {"Find", s.Find("ca"), 2},
        {"Find from start", s.Find("bc", 2), 4},
        {"Find absent", s.Find("cb"), -1},
        {"Find null pattern", s.Find(nullptr, 0), 0},
        {"Find empty pattern", s.Find("", 3), 3},
        {"Find start past end", s.Find("a", 99), -1},
        {"Find empty pattern past end", s.Find("", 99), 6},
        {"Find negative start", s.Find("a", -1), -1},
        {"Find in empty", KString().Find("a"), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.result, c.expected);
    }
}

TEST(KString, Tokens)
{
    struct Case {
        const char* text;
        const char* delimiters;
        int count;
        const char* tokens[4];
    };
    const Case cases[] = {
        {" a, b ,,c ", " ,", 3, {"a", "b", "c", ""}},
        {"one", " ", 1, {"one", "", "", ""}},
        {"", " ", 0, {"", "", "", ""}},
        {",,,", ",", 0, {"", "", "", ""}},
        {"a b", nullptr, 1, {"a b", "", "", ""}},
        {"x\xC3\xA9y", "\xA9", 2, {"x\xC3", "y", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        KString s(c.text);
        EXPECT_EQ(s.CountTokens(c.delimiters), c.count);
        for (int i = 0; i < 4; ++i) {
            KString token = s.GetToken(i, c.delimiters);
            EXPECT_TRUE(token.IsValid());
            EXPECT_EQ(Show(token), c.tokens[i]) << "token " << i;
        }
        EXPECT_EQ(Show(s.GetToken(-1, c.delimiters)), "");
        EXPECT_EQ(Show(s), c.text);  // splitting leaves the string alone
    }
    EXPECT_EQ(Invalid().CountTokens(" "), 0);
}

TEST(KString, Substrings)
{
    const KString s("abcdef");
    struct Case {
        const char* name;
        KString result;
        const char* expected;
    };
    const Case cases[] = {
        {"Mid", s.Mid(1, 3), "bcd"},
        {"Mid count cut", s.Mid(4, 10), "ef"},
        {"Mid at length", s.Mid(6, 3), ""},
        {"Mid past length", s.Mid(7, 3), "<invalid>"},
        {"Mid negative start", s.Mid(-1, 3), "<invalid>"},
        {"Mid negative count", s.Mid(1, -1), "<invalid>"},
        {"MidToEnd", s.MidToEnd(2), "cdef"},
        {"Left", s.Left(2), "ab"},
        {"Left too long", KString("abc").Left(10), "abc"},
        {"Left negative", s.Left(-1), "<invalid>"},
        {"Right", s.Right(2), "ef"},
        {"Right too long", KString("abc").Right(10), "abc"},
        {"Right zero", s.Right(0), ""},
        {"Right negative", s.Right(-1), "<invalid>"},
        // Extreme counts must not overflow on the way to their answer.
        {"Right most negative", s.Right(INT_MIN), "<invalid>"},
        {"Right largest", s.Right(INT_MAX), "abcdef"},
        {"Left most negative", s.Left(INT_MIN), "<invalid>"},
        {"Mid largest count", s.Mid(2, INT_MAX), "cdef"},
        {"Mid most negative start", s.Mid(INT_MIN, 2), "<invalid>"},
        {"Mid of invalid", Invalid().Mid(0, 0), "<invalid>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Show(c.result), c.expected);
    }
}

TEST(KString, CaseAndTrim)
{
    const KString s("Ab\xC3\xA9z \xC3\x89");
    EXPECT_EQ(Show(s.Upper()), "AB\xC3\xA9Z \xC3\x89");
    EXPECT_EQ(Show(s.Lower()), "ab\xC3\xA9z \xC3\x89");
    EXPECT_FALSE(Invalid().Upper().IsValid());

    struct Case {
        const char* text;
        int mode;
        const char* expected;
    };
    const Case cases[] = {
        {"  a  ", 0, "  a"},  {"  a  ", 1, "a  "},    {"  a  ", 2, "a"},  {"  a  ", 7, "a"},
        {"\t\r\n a b\v\f", 2, "a b"}, {"   ", 2, ""},  {"   ", 0, ""},    {"", 2, ""},
        {"\xA0x\xA0", 2, "\xA0x\xA0"},  // not a blank byte
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " mode " + std::to_string(c.mode));
        EXPECT_EQ(Show(KString(c.text).Trim(c.mode)), c.expected);
    }
    EXPECT_FALSE(Invalid().Trim(2).IsValid());
}

TEST(KString, ReplaceFirst)
{
    struct Case {
        const char* name;
        std::string text;
        const char* pattern;
        const char* replacement;
        int start;
        bool replaced;
        std::string expected;
    };
    const std::string far = std::string(4096, '.') + "Model::x";
    const std::string nearEdge = std::string(4095, '.') + "Model::";
    const Case cases[] = {
        {"prefix stripped", "Model::Cube", "Model::", "", 0, true, "Cube"},
        {"first only", "a-b-c", "-", "+", 0, true, "a+b-c"},
        {"from start", "a-b-c", "-", "+", 2, true, "a-b+c"},
        {"absent", "abc", "x", "y", 0, false, "abc"},
        {"null replacement", "abc", "b", nullptr, 0, true, "ac"},
        {"null pattern", "abc", nullptr, "y", 0, false, "abc"},
        {"growing", "abc", "b", "0123456789", 0, true, "a0123456789c"},
        {"found at 4096", far, "Model::", "", 0, false, far},
        {"found at 4095", nearEdge, "Model::", "", 0, true, std::string(4095, '.')},
        {"result over 4095", std::string(4090, '.') + "ab", "a", "123456", 0, false,
         std::string(4090, '.') + "ab"},
        {"result of 4095", std::string(4090, '.') + "ab", "a", "1234", 0, true,
         std::string(4090, '.') + "1234b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KString s(c.text.c_str());
        EXPECT_EQ(s.ReplaceFirst(c.pattern, c.replacement, c.start), c.replaced);
        EXPECT_EQ(Show(s), c.expected);
    }
    KString self("abab");
    EXPECT_TRUE(self.ReplaceFirst("b", self.Buffer()));  // replacement is the string itself
    EXPECT_EQ(Show(self), "aababab");
    KString invalid = Invalid();
    EXPECT_FALSE(invalid.ReplaceFirst("", "x"));
}

TEST(KString, CharPtrAtAndSpareByte)
{
    KString s("xyz");
    EXPECT_EQ(*s.CharPtrAt(1), 'y');
    *s.CharPtrAt(1) = 'Y';
    EXPECT_EQ(Show(s), "xYz");
    char* spare = s.CharPtrAt(s.Length());
    EXPECT_EQ(*spare, '\0');
    EXPECT_NE(spare, s.Buffer() + s.Length());  // not part of the string
    *spare = 'q';
    EXPECT_EQ(*s.CharPtrAt(-1), '\0');  // set back to zero on every call
    EXPECT_EQ(s.CharPtrAt(-1), spare);
    EXPECT_EQ(s[1], 'Y');
    EXPECT_EQ(s[3], '\0');
    EXPECT_EQ(s[-1], '\0');
}

TEST(KString, AssignmentForms)
{
    KString s("start");
    EXPECT_EQ(Show(s.AssignInt(123)), "123");
    EXPECT_EQ(Show(s.AssignDouble(2.0)), "2.000000");
    EXPECT_EQ(Show(s.AssignChar('c')), "c");
    EXPECT_EQ(Show(s.AssignString(KString("str"))), "str");
    EXPECT_EQ(Show(s.AssignString(Invalid())), "<invalid>");
    s = "text";
    EXPECT_EQ(Show(s), "text");
    EXPECT_TRUE(s.Clear().IsEmpty());
    EXPECT_TRUE(s.IsValid());
    KString fromEmpty;
    EXPECT_TRUE(fromEmpty.IsEmpty());
    EXPECT_EQ(fromEmpty.Buffer(), KString().Buffer());  // the shared empty text
    EXPECT_NE(fromEmpty.Buffer(), Invalid().Buffer());
}

TEST(KString, DetachHeapBuffer)
{
    test::ScopedCountingHooks hooks;
    KString onHeap(std::string(80, 'h').c_str());
    char* block = onHeap.DetachHeapBuffer();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::strlen(block), 80u);
    EXPECT_TRUE(onHeap.IsEmpty());
    EXPECT_TRUE(onHeap.IsValid());
    KMemFree(block);

    KString inlined("short");
    EXPECT_EQ(inlined.DetachHeapBuffer(), nullptr);
    EXPECT_TRUE(inlined.IsEmpty());
    EXPECT_TRUE(hooks.traffic().live.empty());
}

TEST(KString, HeapStringHelpers)
{
    test::ScopedCountingHooks hooks;
    KString* created = KStringOrNew(nullptr);
    ASSERT_NE(created, nullptr);
    EXPECT_TRUE(created->IsEmpty());
    EXPECT_EQ(KStringOrNew(created), created);
    EXPECT_EQ(KStringDeleteIfEmpty(created), nullptr);  // freed

    KString* named = KStringNew();
    named->AssignText("name");
    EXPECT_EQ(KStringDeleteIfEmpty(named), named);
    KStringDelete(named);
    KStringDelete(nullptr);
    EXPECT_EQ(KStringDeleteIfEmpty(nullptr), nullptr);
    EXPECT_TRUE(hooks.traffic().live.empty());

    KString* shared = KStringOrStaticEmpty(nullptr);
    ASSERT_NE(shared, nullptr);
    EXPECT_TRUE(shared->IsEmpty());
    EXPECT_EQ(KStringOrStaticEmpty(nullptr), shared);
    KString mine("mine");
    EXPECT_EQ(KStringOrStaticEmpty(&mine), &mine);
}

}  // namespace
}  // namespace duzsdk
