#include <gtest/gtest.h>

#include <string>

#include "DuzTestSupport.h"
#include "sdk/base/KChainedFile.h"
#include "sdk/base/KMemory.h"
#include "sdk/io/KDuz.h"

using namespace duzsdk;
using namespace duztest;

namespace {

// Writes a binary project in memory and returns its bytes.
Bytes WriteBinary(const std::function<void(KDuz&)>& body, int* errorOut = nullptr)
{
    KDuz duz;
    EXPECT_TRUE(duz.ProjectCreate(nullptr, 0, true, false));
    body(duz);
    if (errorOut != nullptr)
        *errorOut = duz.GetLastErrorID();
    void* buffer = nullptr;
    size_t size = 0;
    duz.ProjectClose(&buffer, &size);
    Bytes bytes(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + size);
    KMemFree(buffer);
    return bytes;
}

// Start of the record named `name` (its name bytes preceded by the length byte).
size_t RecordAt(const Bytes& bytes, const std::string& name)
{
    std::string needle(1, static_cast<char>(name.size()));
    needle += name;
    const std::string haystack(bytes.begin(), bytes.end());
    const size_t at = haystack.find(needle);
    EXPECT_NE(at, std::string::npos) << name;
    return at == std::string::npos ? 0 : at - 12;
}

}  // namespace

TEST(KDuzWrite, RecordOffsetsArePatched)
{
    const Bytes bytes = WriteBinary([](KDuz& duz) {
        duz.FieldWriteBegin("Empty");
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Sibling");
        duz.FieldWriteInt(1);
        duz.FieldWriteDouble(2);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Holder");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Child");
        duz.FieldWriteChar('c');
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Last");
        duz.FieldWriteEnd();
    });
    const size_t empty = RecordAt(bytes, "Empty");
    const size_t sibling = RecordAt(bytes, "Sibling");
    const size_t holder = RecordAt(bytes, "Holder");
    const size_t child = RecordAt(bytes, "Child");
    const size_t last = RecordAt(bytes, "Last");
    // No values: 13 bytes and the name, count and length zero.
    EXPECT_EQ(Get32(bytes, empty), empty + 13 + 5);
    EXPECT_EQ(Get32(bytes, empty + 4), 0u);
    EXPECT_EQ(Get32(bytes, empty + 8), 0u);
    EXPECT_EQ(Get32(bytes, empty), sibling);
    EXPECT_EQ(Get32(bytes, sibling + 4), 2u);
    EXPECT_EQ(Get32(bytes, sibling + 8), 5u + 9u);
    // The child's block ends with a null record, which the holder covers.
    EXPECT_EQ(Get32(bytes, child), child + 13 + 5 + 2);
    EXPECT_EQ(Get32(bytes, child + 13 + 5 + 2), 0u);
    EXPECT_EQ(Get32(bytes, holder), child + 13 + 5 + 2 + 13);
    EXPECT_EQ(Get32(bytes, holder), last);
    // The closing null record of the section patches the last one.
    EXPECT_EQ(Get32(bytes, last), last + 13 + 4);
}

TEST(KDuzWrite, ValueBytes)
{
    const Bytes bytes = WriteBinary([](KDuz& duz) {
        duz.FieldWriteBegin("V");
        duz.FieldWriteFloat(1.0f);
        duz.FieldWriteInt64(-2);
        duz.FieldWriteString("Model::Scene");
        duz.FieldWriteRaw("\x01\x02", 2);
        duz.FieldWriteEnd();
    });
    const size_t at = RecordAt(bytes, "V") + 13 + 1;
    const Bytes expected = {'F', 0x00, 0x00, 0x80, 0x3f,                                           // 1.0f
                            'L', 0xfe, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,                  // -2
                            'S', 12, 0, 0, 0, 'S', 'c', 'e', 'n', 'e', 0x00, 0x01, 'M', 'o', 'd', 'e', 'l',
                            'R', 2, 0, 0, 0, 0x01, 0x02};
    ASSERT_LE(at + expected.size(), bytes.size());
    EXPECT_EQ(Bytes(bytes.begin() + at, bytes.begin() + at + expected.size()), expected);
}

TEST(KDuzWrite, QuotedBinaryNamesDropTheirQuotes)
{
    const Bytes bytes = WriteBinary([](KDuz& duz) {
        duz.FieldWriteBegin("\"Quoted\"");
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("\"");  // a lone quote must not give a negative length
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Next");
        duz.FieldWriteEnd();
    });
    const size_t quoted = RecordAt(bytes, "Quoted");
    EXPECT_EQ(bytes[quoted + 12], 6);
    const size_t lone = Get32(bytes, quoted);
    EXPECT_EQ(bytes[lone + 12], 0);
    EXPECT_EQ(Get32(bytes, lone), RecordAt(bytes, "Next"));
}

TEST(KDuzWrite, TimeFollowsTheSectionVersion)
{
    const Bytes bytes = WriteBinary([](KDuz& duz) {
        duz.FieldWriteBegin("T6100");
        duz.FieldWriteTime(KTime(46186158000LL));
        duz.FieldWriteEnd();
        duz.FinishBeforeClose();
        duz.SetFileVersion(1000);
        ASSERT_TRUE(duz.ProjectCreateSection(false));
        duz.FieldWriteBegin("T1000");
        duz.FieldWriteTime(KTime(46186158000LL));
        duz.FieldWriteEnd();
    });
    const size_t modern = RecordAt(bytes, "T6100") + 13 + 5;
    EXPECT_EQ(bytes[modern], 'L');
    EXPECT_EQ(Get32(bytes, modern + 1), static_cast<uint32_t>(46186158000LL));
    const size_t old = RecordAt(bytes, "T1000") + 13 + 5;
    EXPECT_EQ(bytes[old], 'D');
    EXPECT_EQ(Get32(bytes, old + 5), 0x3ff00000u);  // 1.0 second
}

TEST(KDuzWrite, ErrorsAndTheStickyRule)
{
    struct Case {
        const char* what;
        std::function<int(KDuz&)> act;
        int error;
        const char* text;
    };
    const Case cases[] = {
        {"begin while a field is open",
         [](KDuz& d) {
             d.FieldWriteBegin("A");
             return d.FieldWriteBegin("B");
         },
         10, "Begin Field error last field not closed"},
        {"value with no field open", [](KDuz& d) { return d.FieldWriteInt(1); }, 10,
         "Write field error : Field not opened"},
        {"block with no field open", [](KDuz& d) { return d.FieldWriteBlockBegin(); }, 10,
         "Write field error : Field not opened"},
        {"null text",
         [](KDuz& d) {
             d.FieldWriteBegin("A");
             return d.FieldWriteString(nullptr);
         },
         10, "Write field error : NULL value"},
        {"null raw data",
         [](KDuz& d) {
             d.FieldWriteBegin("A");
             return d.FieldWriteRaw(nullptr, 4) ? 0 : d.GetLastErrorID();
         },
         10, "Write field error : NULL value"},
        {"name longer than 255 bytes", [](KDuz& d) { return d.FieldWriteBegin(std::string(256, 'n').c_str()); },
         10, nullptr},
        {"blocks nested 200 deep",
         [](KDuz& d) {
             int result = 0;
             for (int i = 0; i < 200 && result == 0; ++i) {
                 d.FieldWriteBegin("N");
                 result = d.FieldWriteBlockBegin();
             }
             return result;
         },
         10, nullptr},
        {"block end with no block", [](KDuz& d) { return d.FieldWriteBlockEnd(); }, 10, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreate(nullptr, 0, true, false));
        EXPECT_EQ(c.act(duz), c.error);
        EXPECT_EQ(duz.GetLastErrorID(), c.error);
        if (c.text != nullptr) {
            EXPECT_STREQ(duz.GetLastErrorString(), c.text);
        }
        // Once in error, writes return the error and emit nothing.
        const int64_t before = duz.WritePosition();
        EXPECT_EQ(duz.FieldWriteInt(5), c.error);
        EXPECT_EQ(duz.FieldWriteBegin("Z"), c.error);
        EXPECT_EQ(duz.WritePosition(), before);
        void* buffer = nullptr;
        size_t size = 0;
        duz.ProjectClose(&buffer, &size);
        KMemFree(buffer);
    }
}

TEST(KDuzWrite, CommentNeedsAnOpenFile)
{
    KDuz duz;
    EXPECT_EQ(duz.WriteComment("x"), KDuz::kErrorFileNotOpened);
    EXPECT_STREQ(duz.GetLastErrorString(), "File not opened");
    // Nothing is written to a closed file.
    EXPECT_EQ(duz.FieldWriteBegin("A"), KDuz::kErrorFileNotOpened);
}

// A block nested past the limit is refused with the same error in both
// encodings, and nothing of it is written: in ASCII the indentation of a
// continuation line grows with the square of the depth.
TEST(KDuzWrite, NestingLimitIsTheSameInBothEncodings)
{
    for (const bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "binary" : "ascii");
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreate(nullptr, 0, binary, false));
        int opened = 0;
        int result = 0;
        for (int depth = 0; depth < KDuz::kMaxWriteLevels + 10 && result == 0; ++depth) {
            duz.FieldWriteBegin("Level");
            duz.FieldWriteInt(depth);
            result = duz.FieldWriteBlockBegin();
            if (result == 0)
                ++opened;
        }
        EXPECT_EQ(opened, KDuz::kMaxWriteLevels - 1);
        EXPECT_EQ(result, KDuz::kErrorInvalidData);
        EXPECT_STREQ(duz.GetLastErrorString(), "Write field error : blocks nested too deeply");
        void* buffer = nullptr;
        size_t size = 0;
        duz.ProjectClose(&buffer, &size);
        // Stops at the limit: a thousand levels would have written hundreds of MB.
        EXPECT_LT(size, size_t(8) << 20);
        KMemFree(buffer);
    }
}
