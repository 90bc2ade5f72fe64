#include "sdk/base/KMemoryFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/KMemTestHooks.h"
#include "sdk/base/KMemory.h"

namespace duzsdk {
namespace {

// A KMemAlloc block holding `text`, freed at the end of the test.
class HeapBytes {
public:
    explicit HeapBytes(const std::string& text) : size_(text.size())
    {
        data_ = static_cast<char*>(KMemAlloc(text.size() == 0 ? 1 : text.size()));
        std::memcpy(data_, text.data(), text.size());
    }
    ~HeapBytes() { KMemFree(data_); }
    HeapBytes(const HeapBytes&) = delete;
    HeapBytes& operator=(const HeapBytes&) = delete;

    char* data() { return data_; }
    size_t size() const { return size_; }
    // Takes back a buffer the memory file has grown.
    void Adopt(void* grown) { data_ = static_cast<char*>(grown); }

private:
    char* data_;
    size_t size_;
};

TEST(KMemoryFileTest, GrowableBufferGrowsToHoldTheWrite)
{
    HeapBytes bytes("wxyz");
    KMemoryFile file;
    ASSERT_TRUE(file.AttachBuffer(bytes.data(), 4, true));
    EXPECT_EQ(file.Write("0123456789", 10), 10u);
    size_t size = 0;
    void* buffer = file.GetBuffer(&size);
    bytes.Adopt(buffer);
    EXPECT_EQ(size, 11u);  // 4 + max(4, 10 - 4 + 1)
    EXPECT_EQ(file.GetUsedSize(), 10u);
    EXPECT_EQ(std::string(static_cast<char*>(buffer), 10), "0123456789");
    EXPECT_EQ(file.Tell(), 10);
    EXPECT_EQ(file.GetError(), 0);
}

TEST(KMemoryFileTest, FixedBufferTakesWhatFitsAndReportsIt)
{
    char bytes[4] = {};
    KMemoryFile file;
    ASSERT_TRUE(file.AttachBuffer(bytes, sizeof(bytes), false));
    EXPECT_EQ(file.Write("0123456789", 10), 4u);
    EXPECT_EQ(std::string(bytes, 4), "0123");
    EXPECT_NE(file.GetError(), 0);
    EXPECT_EQ(file.Write("x", 1), 0u);
    file.ClearError();
    EXPECT_EQ(file.GetError(), 0);
    EXPECT_TRUE(file.Close());
}

TEST(KMemoryFileTest, FailedGrowthKeepsTheBufferAndItsBytes)
{
    test::ScopedCountingHooks hooks;
    {
        HeapBytes bytes("abcd");
        KMemoryFile file;
        ASSERT_TRUE(file.AttachBuffer(bytes.data(), 4, true));
        ASSERT_TRUE(file.SeekFromStart(2));
        hooks.traffic().failAfter = 0;  // refuse the next request
        EXPECT_EQ(file.Write("XYZ", 3), 2u);
        hooks.traffic().failAfter = -1;
        EXPECT_NE(file.GetError(), 0);
        size_t size = 0;
        EXPECT_EQ(file.GetBuffer(&size), bytes.data());
        EXPECT_EQ(size, 4u);
        EXPECT_EQ(std::string(bytes.data(), 4), "abXY");
        EXPECT_FALSE(file.Close());  // the short write is still on record
    }
    EXPECT_TRUE(hooks.traffic().live.empty());
}

TEST(KMemoryFileTest, SmallWritesGrowGeometrically)
{
    test::ScopedCountingHooks hooks;
    HeapBytes bytes("");
    KMemoryFile file;
    ASSERT_TRUE(file.AttachBuffer(bytes.data(), 1, true));
    const int writes = 100000;
    for (int i = 0; i < writes; ++i)
        ASSERT_EQ(file.Write("ab", 2), 2u);
    bytes.Adopt(file.GetBuffer(nullptr));
    EXPECT_EQ(file.GetUsedSize(), 2u * writes);
    EXPECT_LE(hooks.traffic().reallocations, 20);
}

TEST(KMemoryFileTest, UsedSizeIsTheHighWaterMark)
{
    HeapBytes bytes(std::string(16, '.'));
    KMemoryFile file;
    ASSERT_TRUE(file.AttachBuffer(bytes.data(), bytes.size(), true));
    EXPECT_EQ(file.GetUsedSize(), 0u);
    EXPECT_EQ(file.Write("0123456789", 10), 10u);
    ASSERT_TRUE(file.SeekFromStart(2));
    EXPECT_EQ(file.Write("ab", 2), 2u);  // patching earlier bytes does not shrink it
    EXPECT_EQ(file.GetUsedSize(), 10u);
    size_t capacity = 0;
    file.GetBuffer(&capacity);
    EXPECT_EQ(capacity, 16u);
}

TEST(KMemoryFileTest, SeekClampsToTheBuffer)
{
    char bytes[10] = {};
    KMemoryFile file;
    ASSERT_TRUE(file.AttachBuffer(bytes, sizeof(bytes), false));
    struct Case {
        int origin;
        int64_t offset;
        int64_t expected;
    };
    // Applied in order; origin 1 counts from the previous row's position.
    const Case cases[] = {
        {0, 3, 3},   {1, 2, 5},   {2, 1, 9},  // from the end: size - offset
        {2, 0, 10},  {2, -5, 10}, {0, -3, 0},  {0, 100, 10}, {1, -4, 6},
        {7, 5, 0},   {1, INT64_MAX, 10},      {1, INT64_MIN, 0}, {2, INT64_MIN, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "origin " << c.origin << " offset " << c.offset);
        EXPECT_TRUE(file.Seek(c.origin, c.offset));
        EXPECT_EQ(file.Tell(), c.expected);
    }
}

TEST(KMemoryFileTest, SeekFromStartStaysInsideTheBuffer)
{
    char bytes[10] = {};
    KMemoryFile file;
    ASSERT_TRUE(file.AttachBuffer(bytes, sizeof(bytes), false));
    EXPECT_TRUE(file.SeekFromStart(10));
    EXPECT_EQ(file.Tell(), 10);
    EXPECT_TRUE(file.IsEOF());
    EXPECT_FALSE(file.SeekFromStart(11));
    EXPECT_FALSE(file.SeekFromStart(-1));
    EXPECT_EQ(file.Tell(), 10);
    EXPECT_TRUE(file.SeekFromStart(0));
    EXPECT_FALSE(file.IsEOF());
}

TEST(KMemoryFileTest, FixedSizeReadsTakeAllBytesOrNone)
{
    const unsigned char data[] = {0x01, 0x02, 0x03, 0x84, 0x01, 0x82, 0xFE, 0xAA, 0xBB, 0xCC};
    KMemoryFile file;
    ASSERT_TRUE(file.AttachBuffer(const_cast<unsigned char*>(data), sizeof(data), false));
    EXPECT_EQ(file.ReadInt32(static_cast<int32_t*>(nullptr), false), static_cast<int32_t>(0x84030201u));
    uint16_t u16 = 0;
    EXPECT_EQ(file.ReadInt16(&u16, true), 0x0182u);
    int8_t i8 = 0;
    EXPECT_EQ(file.ReadByte(&i8), -2);
    EXPECT_EQ(file.Tell(), 7);

    // Three bytes left.
    int32_t i32 = 5;
    EXPECT_EQ(file.ReadInt32(&i32, true), 0);
    EXPECT_EQ(i32, 0);
    EXPECT_EQ(file.Tell(), 7);
    EXPECT_NE(file.GetError(), 0);
    file.ClearError();
    uint16_t swapped = 0;
    EXPECT_EQ(file.ReadInt16(&swapped, true), 0xAABBu);
    EXPECT_EQ(file.ReadByte(static_cast<uint8_t*>(nullptr)), 0xCCu);
    EXPECT_EQ(file.ReadByte(&i8), 0);
    EXPECT_TRUE(file.IsEOF());
}

TEST(KMemoryFileTest, ReadCopiesWhatIsLeft)
{
    char data[] = "0123456789";
    KMemoryFile file;
    ASSERT_TRUE(file.AttachBuffer(data, 10, false));
    char out[8] = {};
    EXPECT_EQ(file.Read(out, 6), 6u);
    EXPECT_EQ(file.Read(out, 8), 4u);
    EXPECT_EQ(std::string(out, 4), "6789");
    EXPECT_EQ(file.Read(out, 8), 0u);
    EXPECT_EQ(file.Read(nullptr, 8), 0u);
    EXPECT_EQ(file.GetError(), 0);  // running out is not an error for a plain read
}

TEST(KMemoryFileTest, ReadLineSplitsAtNewlines)
{
    struct Case {
        const char* input;
        int capacity;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"ab\ncd", 64, {"ab\n", "cd"}},
        {"ab\r\ncd\n", 64, {"ab\r\n", "cd\n"}},
        {"a\rb", 64, {"a\rb"}},  // only "\n" ends a line here
        {"abcdef", 3, {"ab", "cd", "ef"}},
        {"\n", 64, {"\n"}},
        {"", 64, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "input \"" << c.input << "\" capacity " << c.capacity);
        std::string data = c.input;
        data.push_back('\0');  // a non-empty buffer even for no data
        KMemoryFile file;
        ASSERT_TRUE(file.AttachBuffer(data.data(), data.size() - 1, false));
        std::vector<std::string> lines;
        char buffer[64];
        for (int guard = 0; guard < 20; ++guard) {
            if (file.ReadLine(buffer, c.capacity) == nullptr)
                break;
            lines.emplace_back(buffer);
        }
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(KMemoryFileTest, ReadLineRejectsNoCapacity)
{
    char data[] = "abc";
    KMemoryFile file;
    ASSERT_TRUE(file.AttachBuffer(data, 3, false));
    char buffer[4];
    EXPECT_EQ(file.ReadLine(buffer, 0), nullptr);
    EXPECT_EQ(file.ReadLine(buffer, -1), nullptr);
    EXPECT_EQ(file.ReadLine(nullptr, 4), nullptr);
    EXPECT_EQ(file.Tell(), 0);
}

TEST(KMemoryFileTest, PrintfWritesLongTextWhole)
{
    HeapBytes bytes("....");
    KMemoryFile file;
    ASSERT_TRUE(file.AttachBuffer(bytes.data(), 4, true));
    const std::string longText(20000, 'z');
    EXPECT_EQ(file.Printf("<%s>%d", longText.c_str(), 7), longText.size() + 3);
    bytes.Adopt(file.GetBuffer(nullptr));
    EXPECT_EQ(file.GetUsedSize(), longText.size() + 3);
    EXPECT_EQ(std::string(bytes.data(), file.GetUsedSize()), "<" + longText + ">7");
}

TEST(KMemoryFileTest, WithoutBufferEverythingIsNeutral)
{
    KMemoryFile file;
    char buffer[4];
    size_t size = 99;
    EXPECT_FALSE(file.AttachBuffer(nullptr, 4, false));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(file.IsEOF());
    EXPECT_EQ(file.Read(buffer, 4), 0u);
    EXPECT_EQ(file.ReadLine(buffer, 4), nullptr);
    EXPECT_EQ(file.Write("ab", 2), 0u);
    EXPECT_FALSE(file.Seek(0, 0));
    EXPECT_EQ(file.Tell(), 0);
    EXPECT_EQ(file.Printf("x"), 0u);
    EXPECT_EQ(file.GetBuffer(&size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(file.Truncate(0), -1);  // the inherited stream is closed
    EXPECT_FALSE(file.ReservedOneName("a"));
    EXPECT_FALSE(file.ReservedTwoNames("a", "b"));
    EXPECT_FALSE(file.Close());
}

TEST(KMemoryFileTest, CloseForgetsButDoesNotFree)
{
    test::ScopedCountingHooks hooks;
    {
        HeapBytes bytes("abcd");
        {
            KMemoryFile file;
            ASSERT_TRUE(file.AttachBuffer(bytes.data(), 4, true));
            EXPECT_TRUE(file.Close());
            EXPECT_FALSE(file.IsOpen());
            EXPECT_EQ(file.GetBuffer(nullptr), nullptr);
            ASSERT_TRUE(file.AttachBuffer(bytes.data(), 4, true));
        }  // destroyed while attached
        EXPECT_EQ(hooks.traffic().frees, 0);
        EXPECT_EQ(std::string(bytes.data(), 4), "abcd");
    }
    EXPECT_TRUE(hooks.traffic().live.empty());
}

}  // namespace
}  // namespace duzsdk
