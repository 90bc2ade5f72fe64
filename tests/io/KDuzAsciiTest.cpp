#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <iterator>
#include <string>

#include "DuzTestSupport.h"
#include "sdk/base/KMemory.h"
#include "sdk/io/KDuz.h"

using namespace duzsdk;
using namespace duztest;

namespace {

std::string ReadText(const std::string& path)
{
    const Bytes b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

// The text an ASCII file holds after its header and header extension.
std::string Body(const std::string& text)
{
    const size_t at = text.find("CreationTime:");
    return at == std::string::npos ? text : text.substr(text.find('\n', text.find("Creator:", at)) + 1);
}

}  // namespace

TEST(KDuzAscii, HeaderLine)
{
    struct Case {
        const char* line;
        bool ascii;
        int version;
    };
    const Case cases[] = {
        {"; DUZ 6.1.0 project file", true, 6100},
        {"; DUZ 5.8 project file", true, 5800},
        {"; Dizistudio 4.5 project file", true, 4050},
        {"; Dizistudio 4.5.0 project file", true, 4500},
        {"; Dizistudio 2.7 project file", true, 2001},
        {"; DUZ 6.1.0 PROJECT FILE", true, 6100},
        {"DUZ 6.1.0 project file", false, 1000},
        {"; DUZ 6.1.0 project files", false, 1000},
        {"; DUZ 6,1,0 project file", false, 1000},
        {"; DUZ 99999999999999999999.1.0 project file", false, 1000},
        {";", false, 1000},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string path = folder.File("header.duz");
        WriteText(path, std::string(c.line) + "\nVersion: 1\n");
        KDuz duz;
        ASSERT_TRUE(duz.ProjectOpen(path.c_str(), true, false));
        EXPECT_FALSE(duz.IsBinary());
        EXPECT_EQ(duz.GetFileVersion(), c.version);
        if (c.ascii) {
            ASSERT_TRUE(duz.ProjectOpenMainSection());
            EXPECT_EQ(duz.FieldReadIntOrDefault("Version", -1), 1);
        }
    }
}

TEST(KDuzAscii, WrittenLinesAndNumberFormats)
{
    TempFolder folder;
    const std::string path = folder.File("format.duz");
    {
        duzplatform::ScopedFixedLocalDateTime clock(FixedTime());
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), false, false));
        duz.WriteComment("a comment with 100% text");
        duz.FieldWriteBegin("Objects");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Version");
        duz.FieldWriteInt(1000);
        duz.FieldWriteInt(2);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Model::Cube");
        duz.FieldWriteString("Model::Cube");
        duz.FieldWriteString("50% off");
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Floats");
        duz.FieldWriteFloat(1.5f);
        duz.FieldWriteFloat(2.0f);
        duz.FieldWriteFloat(0.0f);
        duz.FieldWriteDouble(0.1);
        duz.FieldWriteInt64(-5000000000LL);
        duz.FieldWriteChar('Y');
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        EXPECT_EQ(duz.GetLastErrorID(), -1) << duz.GetLastErrorString();
        duz.ProjectClose();
    }
    const std::string text = ReadText(path);
    EXPECT_EQ(text.rfind("; DUZ 6.1.0 project file\n", 0), 0u);
    EXPECT_NE(text.find("\n; ----------------------------------------------------\n\n"), std::string::npos);
    EXPECT_NE(text.find("CreationTime: \"2007-03-05 14:07:09:123\"\n"), std::string::npos);
    EXPECT_EQ(Body(text),
              ";a comment with 100% text\n"
              "Objects:  {\n"
              "    Version: 1000,2\n"
              "    \"Model::Cube\": \"Model::Cube\", \"50% off\"\n"
              "    Floats: 1.5,2,0,0.1,-5000000000,Y\n"
              "}\n");
}

TEST(KDuzAscii, LongValueListsWrap)
{
    TempFolder folder;
    const std::string path = folder.File("wrap.duz");
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), false, false));
        duz.FieldWriteBegin("Block");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Values");
        for (int i = 0; i < 60; ++i)
            duz.FieldWriteDouble(i + 0.25);
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.ProjectClose();
    }
    const std::string body = Body(ReadText(path));
    // Depth 1: continuation lines are indented by 1 * 1 + 4 blanks.
    EXPECT_NE(body.find("\n     ,"), std::string::npos);
    size_t longest = 0, start = 0;
    for (size_t end = body.find('\n'); end != std::string::npos; start = end + 1, end = body.find('\n', start))
        longest = std::max(longest, end - start);
    EXPECT_LE(longest, 140u);

    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpen(path.c_str())) << duz.GetLastErrorString();
    ASSERT_TRUE(duz.FieldReadBegin("Block"));
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    ASSERT_TRUE(duz.FieldReadBegin("Values"));
    ASSERT_EQ(duz.FieldReadGetValueCount(), 60);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(duz.FieldReadDouble(), i + 0.25);
}

TEST(KDuzAscii, ReadsHandWrittenText)
{
    TempFolder folder;
    const std::string path = folder.File("hand.duz");
    const std::string lf =
        "; DUZ 6.1.0 project file\n"
        "; any comment { with \" braces\n"
        "Objects:  {\n"
        "    Model: \"Model::Cube\", \"Mesh {not a block}\" {\n"
        "        Version: 232\n"
        "        Tiny: 1e-320, 1e-40\n"
        "        Inner:  {\n"
        "            Deep: 1\n"
        "        }\n"
        "    }\n"
        "    Model: \"Model::Sphere\", \"\" {\n"
        "        Version: 233\n"
        "    }\n"
        "    Two words: 7\n"
        "    Long: " + std::string(6000, '9') + "\n"
        "}\n"
        "Trailer: 5\n";
    for (bool crlf : {false, true}) {
        SCOPED_TRACE(crlf ? "CR LF" : "LF");
        std::string text = lf;
        if (crlf) {
            text.clear();
            for (char c : lf) {
                if (c == '\n')
                    text += '\r';
                text += c;
            }
        }
        WriteText(path, text);
        KDuz duz;
        ASSERT_TRUE(duz.ProjectOpen(path.c_str())) << duz.GetLastErrorString();
        EXPECT_EQ(duz.GetFileVersion(), 6100);
        EXPECT_EQ(duz.FieldReadIntOrDefault("Trailer", -1), 5);
        ASSERT_TRUE(duz.FieldReadBegin("Objects"));
        ASSERT_TRUE(duz.FieldReadBlockBegin());
        ASSERT_EQ(duz.FieldGetInstanceCount("Model"), 2);
        ASSERT_TRUE(duz.FieldReadBegin("Model"));
        EXPECT_EQ(duz.FieldReadGetValueCount(), 2);
        EXPECT_EQ(duz.FieldReadGetNextValueType(), 'S');
        EXPECT_STREQ(duz.FieldReadString(), "Model::Cube");
        EXPECT_STREQ(duz.FieldReadString(), "Mesh {not a block}");
        ASSERT_TRUE(duz.FieldReadBlockBegin());
        EXPECT_EQ(duz.FieldReadIntOrDefault("Version", -1), 232);
        ASSERT_TRUE(duz.FieldReadBegin("Tiny"));
        EXPECT_EQ(duz.FieldReadDouble(), 0.0);  // below the smallest normal double
        EXPECT_EQ(duz.FieldReadFloat(), 0.0f);  // below the smallest normal float
        duz.FieldReadEnd();
        ASSERT_TRUE(duz.FieldReadBegin("Inner"));
        ASSERT_TRUE(duz.FieldReadBlockBegin());
        EXPECT_EQ(duz.FieldReadIntOrDefault("Deep", -1), 1);
        duz.FieldReadBlockEnd();
        duz.FieldReadEnd();
        duz.FieldReadBlockEnd();
        duz.FieldReadEnd();
        ASSERT_TRUE(duz.FieldReadBegin("Model"));
        EXPECT_STREQ(duz.FieldReadString(), "Model::Sphere");
        EXPECT_STREQ(duz.FieldReadString(), "");
        ASSERT_TRUE(duz.FieldReadBlockBegin());
        EXPECT_EQ(duz.FieldReadIntOrDefault("Version", -1), 233);
        duz.FieldReadBlockEnd();
        duz.FieldReadEnd();
        EXPECT_EQ(duz.FieldReadIntOrDefault("Two words", -1), 7);
        // A line far longer than any line buffer is one value, not two.
        ASSERT_TRUE(duz.FieldReadBegin("Long"));
        EXPECT_EQ(duz.FieldReadGetValueCount(), 1);
        EXPECT_EQ(std::string(duz.FieldReadString()).size(), 6000u);
    }
}

TEST(KDuzAscii, CharactersThatCannotBeReadBackAreRefused)
{
    for (char c : {'{', '}', ',', '"', '\n', ':', '@', ' '}) {
        SCOPED_TRACE(static_cast<int>(c));
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreate(nullptr, 0, false, false));
        duz.FieldWriteBegin("Flag");
        EXPECT_EQ(duz.FieldWriteChar(c), KDuz::kErrorInvalidData);
        void* buffer = nullptr;
        size_t size = 0;
        duz.ProjectClose(&buffer, &size);
        KMemFree(buffer);
    }
}

TEST(KDuzAscii, TextsThatCannotBeReadBackAreRefused)
{
    for (const char* text : {"say \"hi\"", "two\nlines", "cr\rhere"}) {
        SCOPED_TRACE(text);
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreate(nullptr, 0, false, false));
        duz.FieldWriteBegin("Name");
        EXPECT_EQ(duz.FieldWriteString(text), KDuz::kErrorInvalidData);
        EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorInvalidData);
        void* buffer = nullptr;
        size_t size = 0;
        duz.ProjectClose(&buffer, &size);
        KMemFree(buffer);
    }
}

TEST(KDuzAscii, QuotedFieldNames)
{
    struct Case {
        const char* name;
        const char* written;
    };
    const Case cases[] = {
        {"Plain", "Plain"},
        {"Model::Cube", "\"Model::Cube\""},
        {"two words", "\"two words\""},
        {"a,b", "\"a,b\""},
        {"\"open", "\"open\""},
        {"close\"", "\"close\""},
        {"\"both\"", "\"both\""},
        {"a{b", "\"a{b\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(KDuz::QuoteFieldName(c.name).Buffer(), c.written);
    }
}

TEST(KDuzAscii, TimesAreSecondsInOldFiles)
{
    TempFolder folder;
    struct Case {
        const char* header;
        int64_t ticks;
    };
    for (const Case& c : {Case{"; Dizistudio 1.5 project file", 46186158000LL / 2}, Case{"; DUZ 6.1.0 project file", 12}}) {
        SCOPED_TRACE(c.header);
        const std::string path = folder.File("time.duz");
        WriteText(path, std::string(c.header) + "\nWhen: " + (c.ticks == 12 ? "12" : "0.5") + "\n");
        KDuz duz;
        ASSERT_TRUE(duz.ProjectOpen(path.c_str()));
        EXPECT_EQ(duz.FieldReadTimeByName("When").Get(), c.ticks);
    }
}

TEST(KDuzAscii, QuotedNamesReadBackWithoutQuotes)
{
    KDuz writer;
    ASSERT_TRUE(writer.ProjectCreate(nullptr, 0, false, false));
    for (const char* name : {"Model::Cube", "two words", "a{b", "x,y"}) {
        writer.FieldWriteBegin(name);
        writer.FieldWriteString(name);
        writer.FieldWriteEnd();
    }
    void* buffer = nullptr;
    size_t size = 0;
    writer.ProjectClose(&buffer, &size);
    const Bytes bytes(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + size);
    KMemFree(buffer);
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(bytes.data(), bytes.size())) << duz.GetLastErrorString();
    for (const char* name : {"Model::Cube", "two words", "a{b", "x,y"}) {
        SCOPED_TRACE(name);
        EXPECT_STREQ(duz.FieldReadStringOrDefault(name, "<missing>"), name);
    }
}

// Values are converted where they stand in the text; each reads as the C
// library reads its token, whichever way the reader asks for it.
TEST(KDuzAscii, ValuesReadInPlaceAsTheCLibraryReadsThem)
{
    TempFolder folder;
    const std::string path = folder.File("values.duz");
    WriteText(path,
              "; DUZ 6.1.0 project file\n"
              "Mixed: 1.5,-2,+3,0x10,1e400,-0,\" 12\",7abc,99999999999999999999,,8\n"
              "Wrapped: 1,2\n"
              "; a comment between continuation lines\n"
              "    ,3, 4\n"
              "Split: 1,2 {\n"
              "    Inner: 9\n"
              "} ,3\n");
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpen(path.c_str())) << duz.GetLastErrorString();

    struct Value {
        const char* text;
        double asDouble;
        int asInt;
        int64_t asInt64;
    };
    const Value mixed[] = {
        {"1.5", 1.5, 1, 1},
        {"-2", -2.0, -2, -2},
        {"+3", 3.0, 3, 3},
        {"0x10", 16.0, 0, 0},
        {"1e400", HUGE_VAL, 1, 1},
        {"-0", -0.0, 0, 0},
        {" 12", 12.0, 12, 12},
        {"7abc", 7.0, 7, 7},
        {"99999999999999999999", 1e20, -1, INT64_MAX},
        {"8", 8.0, 8, 8},
    };
    ASSERT_TRUE(duz.FieldReadBegin("Mixed"));
    ASSERT_EQ(duz.FieldReadGetValueCount(), 10);
    for (const Value& v : mixed)
        EXPECT_STREQ(duz.FieldReadString(), v.text);
    auto reread = [&](auto read) {
        duz.FieldReadEnd();
        duz.FieldReadRewind();
        EXPECT_TRUE(duz.FieldReadBegin("Mixed"));
        return read();
    };
    reread([&] {
        for (const Value& v : mixed) {
            const double d = duz.FieldReadDouble();
            EXPECT_EQ(d, v.asDouble) << v.text;
            EXPECT_EQ(std::signbit(d), std::signbit(v.asDouble)) << v.text;
        }
        return 0;
    });
    reread([&] {
        for (const Value& v : mixed)
            EXPECT_EQ(duz.FieldReadInt(), v.asInt) << v.text;
        return 0;
    });
    reread([&] {
        for (const Value& v : mixed)
            EXPECT_EQ(duz.FieldReadInt64(), v.asInt64) << v.text;
        return 0;
    });
    reread([&] {
        // In one call, as the mesh readers take arrays; past the end, zeros.
        double all[12];
        duz.FieldReadDoubles(all, 12);
        for (size_t i = 0; i < std::size(mixed); ++i)
            EXPECT_EQ(all[i], mixed[i].asDouble) << mixed[i].text;
        EXPECT_EQ(all[10], 0.0);
        EXPECT_EQ(all[11], 0.0);
        return 0;
    });
    reread([&] {
        int all[10];
        duz.FieldReadInts(all, 10);
        for (size_t i = 0; i < std::size(mixed); ++i)
            EXPECT_EQ(all[i], mixed[i].asInt) << mixed[i].text;
        return 0;
    });
    duz.FieldReadEnd();

    // Continuation lines, with a comment line among them, and values after a
    // nested block all belong to their field.
    for (const char* name : {"Wrapped", "Split"}) {
        ASSERT_TRUE(duz.FieldReadBegin(name)) << name;
        ASSERT_EQ(duz.FieldReadGetValueCount(), name[0] == 'W' ? 4 : 3) << name;
        int values[4] = {};
        duz.FieldReadInts(values, duz.FieldReadGetValueCount());
        EXPECT_EQ(values[0], 1);
        EXPECT_EQ(values[1], 2);
        EXPECT_EQ(values[2], 3);
        EXPECT_EQ(values[3], name[0] == 'W' ? 4 : 0);
        duz.FieldReadEnd();
    }
    ASSERT_TRUE(duz.FieldReadBeginInstance("Split", 0));
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    EXPECT_EQ(duz.FieldReadIntOrDefault("Inner", -1), 9);
}

// A device that never ends is no project file: it is refused at once rather
// than read forever (the text is also read no further than the size the file
// had when opened, which only a regular file has).
TEST(KDuzAscii, EndlessDeviceIsRefusedAtOnce)
{
    KDuz duz;
    EXPECT_FALSE(duz.ProjectOpen("/dev/zero"));
    EXPECT_EQ(duz.FieldGetCount(), 0);
}

// Hostile structure: very many blocks, and nesting far deeper than a reader
// may enter, closed or left open at the end of the file.
TEST(KDuzAscii, ManyAndDeepBlocks)
{
    TempFolder folder;
    const std::string path = folder.File("blocks.duz");
    constexpr int kCount = 200000;
    std::string many = "; DUZ 6.1.0 project file\n";
    for (int i = 0; i < kCount; ++i)
        many += "A: {}\n";
    const std::string deep = "; DUZ 6.1.0 project file\nD: " + std::string(kCount, '{') + "\n";
    struct Case {
        const char* name;
        std::string text;
        bool opens;
    };
    const Case cases[] = {
        {"many empty blocks", many, true},
        {"deep and closed", deep + std::string(kCount, '}') + "\nLast: 1\n", true},
        {"deep and left open", deep, false},
    };
    for (const Case& c : cases) {
        WriteText(path, c.text);
        KDuz duz;
        EXPECT_EQ(duz.ProjectOpen(path.c_str()), c.opens) << c.name;
        if (!c.opens) {
            EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorCorrupted) << c.name;
            continue;
        }
        if (c.name[0] == 'm') {
            ASSERT_EQ(duz.FieldGetInstanceCount("A"), kCount);
            ASSERT_TRUE(duz.FieldReadBeginInstance("A", kCount - 1));
            ASSERT_TRUE(duz.FieldReadBlockBegin());
            EXPECT_EQ(duz.FieldGetCount(), 0);
        } else {
            EXPECT_EQ(duz.FieldReadIntOrDefault("Last", -1), 1);
            ASSERT_TRUE(duz.FieldReadBegin("D"));
            ASSERT_TRUE(duz.FieldReadBlockBegin());
        }
    }
}
