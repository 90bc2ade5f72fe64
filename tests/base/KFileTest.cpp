#include "sdk/base/KFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/FileTestSupport.h"

namespace duzsdk {
namespace {

using test::TempFile;

// What each open mode does to a file that already holds "old" when "new" is
// written and the file is then read back from the start.
struct OpenModeCase {
    int mode;
    bool text;
    bool opens;
    size_t written;     // bytes Write takes
    bool readsBack;     // reading after the write delivers the file's bytes
    const char* after;  // file contents after close
};

TEST(KFileTest, OpenModeMapsModeNumbersToStdioModes)
{
    const OpenModeCase cases[] = {
        {0, false, true, 0, true, "old"},      // "rb": read-only
        {0, true, true, 0, true, "old"},       // "rt"
        {1, false, true, 3, false, "new"},     // "wb": emptied, write-only
        {2, false, true, 3, true, "new"},      // "w+b": emptied, read/write
        {2, true, true, 3, true, "new"},       // "w+t": no newline translation
        {3, false, true, 3, false, "oldnew"},  // "ab": appends
        {4, false, false, 0, false, "old"},
        {-1, false, false, 0, false, "old"},
    };
    for (const OpenModeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " text " << c.text);
        TempFile temp;
        ASSERT_TRUE(temp.IsValid());
        temp.SetContents("old");
        KFile file;
        ASSERT_EQ(file.OpenMode(temp.Path(), c.mode, c.text), c.opens);
        EXPECT_STREQ(file.GetFileName().Buffer(), temp.Path());
        if (c.opens) {
            EXPECT_EQ(file.Write("new", 3), c.written);
            file.ClearError();
            ASSERT_TRUE(file.SeekFromStart(0));
            char bytes[8] = {};
            const size_t got = file.Read(bytes, sizeof(bytes));
            if (c.readsBack)
                EXPECT_EQ(std::string(bytes, got), c.after);
            else
                EXPECT_EQ(got, 0u);
            file.ClearError();
            file.Close();
        }
        EXPECT_EQ(temp.Contents(), c.after);
    }
}

TEST(KFileTest, FailedOpenKeepsThePathAndStaysClosed)
{
    KFile file;
    const std::string missing = (std::filesystem::temp_directory_path() / "duz-no-such-dir/x.bin").string();
    EXPECT_FALSE(file.Open(missing.c_str(), "rb"));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(std::string(file.GetFileName().Buffer()), missing);
    EXPECT_FALSE(file.Open(nullptr, "rb"));
    EXPECT_FALSE(file.Open(missing.c_str(), nullptr));
}

TEST(KFileTest, NonAsciiUtf8PathOpensTheSameFile)
{
    TempFile anchor;  // a unique name to build a folder from
    ASSERT_TRUE(anchor.IsValid());
    const std::filesystem::path folder = std::string(anchor.Path()) + ".d";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    const std::string name = "sc\xC3\xA8ne-\xE5\x90\x8D\xE5\x89\x8D.duz";  // "scène-名前.duz"
    const std::string path = (folder / name).string();

    KFile file;
    ASSERT_TRUE(file.OpenMode(path.c_str(), KFile::kModeWrite, false));
    EXPECT_EQ(file.Write("payload", 7), 7u);
    EXPECT_TRUE(file.Close());

    // The name spelled as UTF-8 characters reaches the same directory entry.
    const std::filesystem::path wide =
        folder / std::filesystem::path(u8"sc\u00E8ne-\u540D\u524D.duz");
    std::ifstream in(wide, std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents, "payload");
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().filename().string(), name);
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(KFileRemove(KString(path.c_str())), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / name));
    std::filesystem::remove(folder);
}

TEST(KFileTest, RemoveReportsMissingFiles)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    EXPECT_EQ(KFileRemove(KString(temp.Path())), 0);
    EXPECT_EQ(KFileRemove(KString(temp.Path())), -1);
    EXPECT_EQ(KFileRemove(KString("")), -1);
}

TEST(KFileTest, ClosedFileGivesNeutralValues)
{
    KFile file;
    char buffer[8] = {'x'};
    int32_t i32 = 7;
    int16_t i16 = 7;
    int8_t i8 = 7;
    size_t size = 99;
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(file.ReadLine(buffer, sizeof(buffer)), nullptr);
    EXPECT_EQ(file.ReadInt32(&i32, false), 0);
    EXPECT_EQ(i32, 0);
    EXPECT_EQ(file.ReadInt16(&i16, true), 0);
    EXPECT_EQ(i16, 0);
    EXPECT_EQ(file.ReadByte(&i8), 0);
    EXPECT_EQ(i8, 0);
    EXPECT_EQ(file.Write("abc", 3), 0u);
    EXPECT_FALSE(file.Seek(0, 0));
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_FALSE(file.SeekFromStart(0));
    EXPECT_EQ(file.GetError(), 0);
    file.ClearError();
    EXPECT_FALSE(file.IsEOF());
    EXPECT_EQ(file.Printf("%d", 42), 0u);
    EXPECT_EQ(file.Truncate(0), -1);
    EXPECT_EQ(file.GetBuffer(&size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(file.Flush());
    EXPECT_FALSE(file.Close());
}

TEST(KFileTest, TypedReadsSwapByteOrderOnRequest)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    temp.SetContents(std::string("\x01\x02\x03\x84\x01\x82\xFE\x01\x02\x03\x04\xFF", 12));
    KFile file;
    ASSERT_TRUE(file.OpenMode(temp.Path(), KFile::kModeRead, false));

    int32_t i32 = 0;
    EXPECT_EQ(file.ReadInt32(&i32, false), static_cast<int32_t>(0x84030201u));
    EXPECT_EQ(i32, static_cast<int32_t>(0x84030201u));
    int16_t i16 = 0;
    EXPECT_EQ(file.ReadInt16(&i16, true), 0x0182);
    uint8_t u8 = 0;
    EXPECT_EQ(file.ReadByte(&u8), 0xFE);
    uint32_t u32 = 0;
    EXPECT_EQ(file.ReadInt32(&u32, true), 0x01020304u);
    EXPECT_EQ(u32, 0x01020304u);
    EXPECT_EQ(file.GetError(), 0);

    // One byte left: a 2-byte value is cut off, which is an error, not a value.
    uint16_t u16 = 5;
    EXPECT_EQ(file.ReadInt16(&u16, false), 0u);
    EXPECT_EQ(u16, 0u);
    EXPECT_NE(file.GetError(), 0);
    EXPECT_TRUE(file.IsEOF());
    file.ClearError();
    EXPECT_EQ(file.GetError(), 0);
    EXPECT_FALSE(file.IsEOF());
}

// Runs KStdioReadLine over `input` with `capacity` until it returns null.
std::vector<std::string> ReadLines(const std::string& input, int capacity)
{
    std::vector<std::string> lines;
    std::string copy = input;
    FILE* stream = fmemopen(copy.empty() ? nullptr : copy.data(), copy.size(), "rb");
    if (copy.empty())
        stream = fmemopen(nullptr, 1, "w+b");  // an empty stream
    std::vector<char> buffer(static_cast<size_t>(capacity > 0 ? capacity : 1), 'x');
    for (int guard = 0; guard < 20; ++guard) {
        char* line = KStdioReadLine(buffer.data(), capacity, stream);
        if (line == nullptr)
            break;
        lines.emplace_back(line);
    }
    std::fclose(stream);
    return lines;
}

TEST(KFileTest, StdioReadLineKeepsLineEnds)
{
    struct Case {
        const char* input;
        int capacity;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"ab\r\ncd", 64, {"ab\r\n", "cd"}},
        {"ab\ncd\n", 64, {"ab\n", "cd\n"}},
        {"a\rb", 64, {"a\r", "b"}},            // a lone CR ends the line
        {"a\r", 64, {"a\r"}},                  // CR at end of file
        {"\n\n", 64, {"\n", "\n"}},
        {"a\r\nb", 3, {"a\r", "\n", "b"}},     // no room for the LF: it starts the next line
        {"abcdef", 3, {"ab", "cd", "ef"}},     // capacity - 1 characters per call
        {"", 64, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "input \"" << c.input << "\" capacity " << c.capacity);
        EXPECT_EQ(ReadLines(c.input, c.capacity), c.lines);
    }
}

TEST(KFileTest, StdioReadLineRejectsNoCapacity)
{
    std::string input = "abc";
    FILE* stream = fmemopen(input.data(), input.size(), "rb");
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(KStdioReadLine(buffer, 0, stream), nullptr);
    EXPECT_EQ(KStdioReadLine(buffer, -5, stream), nullptr);
    // Room for the terminator only: an empty line, nothing consumed.
    EXPECT_EQ(KStdioReadLine(buffer, 1, stream), buffer);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(KStdioReadLine(buffer, 4, stream), buffer);
    EXPECT_STREQ(buffer, "abc");
    std::fclose(stream);
}

TEST(KFileTest, ReadLineGoesThroughTheFile)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    temp.SetContents("one\r\ntwo");
    KFile file;
    ASSERT_TRUE(file.Open(temp.Path(), "rb"));
    char buffer[16];
    ASSERT_NE(file.ReadLine(buffer, sizeof(buffer)), nullptr);
    EXPECT_STREQ(buffer, "one\r\n");
    ASSERT_NE(file.ReadLine(buffer, sizeof(buffer)), nullptr);
    EXPECT_STREQ(buffer, "two");
    EXPECT_EQ(file.ReadLine(buffer, sizeof(buffer)), nullptr);
}

TEST(KFileTest, PrintfWritesLongTextWhole)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    const std::string longText(40000, 'q');
    KFile file;
    ASSERT_TRUE(file.OpenMode(temp.Path(), KFile::kModeWrite, true));
    EXPECT_EQ(file.Printf("%s|%d%%", longText.c_str(), 12), longText.size() + 4);
    EXPECT_EQ(file.Printf("%s", ""), 0u);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(temp.Contents(), longText + "|12%");
}

TEST(KFileTest, SeekOriginsFollowStdio)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    temp.SetContents("0123456789");
    KFile file;
    ASSERT_TRUE(file.Open(temp.Path(), "rb"));
    struct Case {
        int origin;
        int64_t offset;
        int64_t expected;
    };
    // Applied in order; origin 1 counts from the previous row's position.
    const Case cases[] = {
        {0, 4, 4}, {1, 3, 7}, {1, -2, 5}, {2, 0, 10}, {2, -3, 7}, {9, 2, 2}, {-1, 6, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "origin " << c.origin << " offset " << c.offset);
        EXPECT_TRUE(file.Seek(c.origin, c.offset));
        EXPECT_EQ(file.Tell(), c.expected);
    }
    EXPECT_FALSE(file.Seek(0, -1));
    EXPECT_TRUE(file.SeekFromStart(8));
    char bytes[4] = {};
    EXPECT_EQ(file.Read(bytes, sizeof(bytes)), 2u);
    EXPECT_EQ(std::string(bytes, 2), "89");
    EXPECT_TRUE(file.IsEOF());
}

TEST(KFileTest, TruncateSetsTheLength)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    KFile file;
    ASSERT_TRUE(file.OpenMode(temp.Path(), KFile::kModeReadWrite, false));
    ASSERT_EQ(file.Write("0123456789", 10), 10u);  // still in the stream's buffer
    EXPECT_EQ(file.Truncate(4), 0);
    EXPECT_EQ(std::filesystem::file_size(temp.Path()), 4u);
    EXPECT_EQ(file.Truncate(6), 0);
    EXPECT_EQ(file.Truncate(-1), -1);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(temp.Contents(), std::string("0123\0\0", 6));
}

TEST(KFileTest, FailedWritesAreReported)
{
    // Every write to /dev/full fails once it reaches the device.
    KFile small;
    ASSERT_TRUE(small.Open("/dev/full", "wb"));
    EXPECT_EQ(small.Write("abc", 3), 3u);  // only buffered so far
    EXPECT_FALSE(small.Close());

    KFile large;
    ASSERT_TRUE(large.Open("/dev/full", "wb"));
    const std::vector<char> bytes(1 << 20, 'x');
    EXPECT_LT(large.Write(bytes.data(), bytes.size()), bytes.size());
    EXPECT_NE(large.GetError(), 0);
    EXPECT_FALSE(large.Close());

    KFile flushed;
    ASSERT_TRUE(flushed.Open("/dev/full", "wb"));
    EXPECT_EQ(flushed.Write("abc", 3), 3u);
    EXPECT_FALSE(flushed.Flush());
    EXPECT_NE(flushed.GetError(), 0);
}

TEST(KFileTest, ReopeningClosesThePreviousStream)
{
    TempFile first;
    TempFile second;
    ASSERT_TRUE(first.IsValid() && second.IsValid());
    KFile file;
    ASSERT_TRUE(file.Open(first.Path(), "wb"));
    EXPECT_EQ(file.Write("kept", 4), 4u);
    ASSERT_TRUE(file.Open(second.Path(), "rb"));
    EXPECT_EQ(first.Contents(), "kept");
    EXPECT_STREQ(file.GetFileName().Buffer(), second.Path());
}

}  // namespace
}  // namespace duzsdk
