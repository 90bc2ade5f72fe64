#include "sdk/base/KChainedFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/FileTestSupport.h"
#include "sdk/base/KFile.h"
#include "sdk/base/KMemory.h"
#include "sdk/base/KMemoryFile.h"

namespace duzsdk {
namespace {

using test::TempFile;

TEST(KChainedFileTest, OpenStateFollowsTheMode)
{
    struct TextCase {
        const char* mode;
        bool opens;
        int state;
    };
    const TextCase textCases[] = {
        {"rb", true, KChainedFile::kOpenRead},
        {"r+b", true, KChainedFile::kOpenRead},
        {"w+b", true, KChainedFile::kOpenWrite},
        {"w+t", true, KChainedFile::kOpenWrite},
        {"", false, KChainedFile::kClosed},
    };
    for (const TextCase& c : textCases) {
        SCOPED_TRACE(c.mode);
        TempFile temp;
        ASSERT_TRUE(temp.IsValid());
        for (int depth = 0; depth < 2; ++depth) {
            // At the bottom of the chain, and through a layer above it.
            KChainedFile bottom;
            KChainedFile top(0, &bottom);
            KChainedFile& layer = depth == 0 ? bottom : top;
            EXPECT_EQ(layer.Open(temp.Path(), c.mode), c.opens);
            EXPECT_EQ(layer.GetOpenState(), c.state);
            EXPECT_EQ(layer.IsOpen(), c.opens);
            layer.Close();
            EXPECT_EQ(layer.GetOpenState(), KChainedFile::kClosed);
        }
    }

    const struct {
        int mode;
        bool opens;
        int state;
    } numberCases[] = {
        {KFile::kModeRead, true, KChainedFile::kOpenRead},
        {KFile::kModeWrite, true, KChainedFile::kOpenWrite},
        {KFile::kModeReadWrite, true, KChainedFile::kOpenWrite},
        {KFile::kModeAppend, true, KChainedFile::kOpenWrite},
        {7, false, KChainedFile::kClosed},
    };
    for (const auto& c : numberCases) {
        SCOPED_TRACE(c.mode);
        TempFile temp;
        ASSERT_TRUE(temp.IsValid());
        KChainedFile layer;
        EXPECT_EQ(layer.OpenMode(temp.Path(), c.mode, false), c.opens);
        EXPECT_EQ(layer.GetOpenState(), c.state);
    }

    KChainedFile missing;
    EXPECT_FALSE(missing.Open("/nonexistent-folder/x", "rb"));
    EXPECT_EQ(missing.GetOpenState(), KChainedFile::kClosed);
}

TEST(KChainedFileTest, OperationsPassThroughTheChain)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    KChainedFile top(0, new KChainedFile(0, new KChainedFile, 0, true), 0, true);
    ASSERT_TRUE(top.Open(temp.Path(), "w+b"));
    EXPECT_EQ(top.GetOwnFile(), nullptr);
    ASSERT_NE(top.GetInner()->GetInner()->GetOwnFile(), nullptr);

    EXPECT_EQ(top.Write("line one\nline two", 17), 17u);
    EXPECT_EQ(top.Printf(" and %d%%", 3), 7u);
    EXPECT_EQ(top.Tell(), 24);
    EXPECT_TRUE(top.Seek(2, -3));
    EXPECT_EQ(top.Tell(), 21);
    EXPECT_TRUE(top.SeekFromStart(0));
    char line[32];
    ASSERT_NE(top.ReadLine(line, sizeof(line)), nullptr);
    EXPECT_STREQ(line, "line one\n");
    char rest[32] = {};
    EXPECT_EQ(top.Read(rest, sizeof(rest)), 15u);
    EXPECT_EQ(std::string(rest, 15), "line two and 3%");
    EXPECT_TRUE(top.IsEOF());
    EXPECT_EQ(top.GetError(), 0);
    EXPECT_EQ(top.Truncate(8), 0);
    EXPECT_EQ(top.GetBuffer(nullptr), nullptr);
    EXPECT_EQ(top.GetUsedSize(), 0u);
    EXPECT_TRUE(top.Close());
    EXPECT_FALSE(top.IsOpen());
    EXPECT_EQ(temp.Contents(), "line one");
}

TEST(KChainedFileTest, MemoryBufferIsReachedFromTheTop)
{
    const size_t capacity = 4;
    void* data = KMemAlloc(capacity);
    KChainedFile bottom;
    KChainedFile top(0, &bottom);
    ASSERT_TRUE(top.OpenMemory(data, capacity, true));
    EXPECT_EQ(top.GetOpenState(), KChainedFile::kOpenRead);
    EXPECT_EQ(top.Write("0123456789", 10), 10u);
    EXPECT_TRUE(top.Flush());
    size_t size = 0;
    void* buffer = top.GetBuffer(&size);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(top.GetUsedSize(), 10u);
    EXPECT_NE(top.GetMemoryFile(), nullptr);
    EXPECT_EQ(std::string(static_cast<char*>(buffer), 10), "0123456789");
    EXPECT_TRUE(top.Close());
    EXPECT_EQ(top.GetMemoryFile(), nullptr);
    KMemFree(buffer);
}

TEST(KChainedFileTest, EachOpenReplacesTheOwnFile)
{
    TempFile first;
    TempFile second;
    ASSERT_TRUE(first.IsValid() && second.IsValid());
    KChainedFile layer;
    ASSERT_TRUE(layer.Open(first.Path(), "wb"));
    EXPECT_EQ(layer.Write("first", 5), 5u);
    // Opened again without a close: the previous file is closed, not leaked.
    ASSERT_TRUE(layer.Open(second.Path(), "wb"));
    EXPECT_EQ(first.Contents(), "first");
    EXPECT_STREQ(layer.GetOwnFile()->GetFileName().Buffer(), second.Path());
}

// Counts its own destruction.
class CountedLayer : public KChainedFile {
public:
    explicit CountedLayer(int* destroyed) : destroyed_(destroyed) {}
    ~CountedLayer() override { ++*destroyed_; }

private:
    int* destroyed_;
};

TEST(KChainedFileTest, DestroysOnlyAnOwnedInnerLayer)
{
    int destroyed = 0;
    {
        KChainedFile owner(0, new CountedLayer(&destroyed), 0, true);
    }
    EXPECT_EQ(destroyed, 1);
    CountedLayer kept(&destroyed);
    {
        KChainedFile borrower(0, &kept, 0, false);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(KChainedFileTest, ClosedChainGivesNeutralValues)
{
    KChainedFile bottom;
    KChainedFile top(0, &bottom);
    for (KChainedFile* layer : {&bottom, &top}) {
        char buffer[8];
        EXPECT_FALSE(layer->IsOpen());
        EXPECT_EQ(layer->Read(buffer, sizeof(buffer)), 0u);
        EXPECT_EQ(layer->ReadLine(buffer, sizeof(buffer)), nullptr);
        EXPECT_EQ(layer->Write("x", 1), 0u);
        EXPECT_EQ(layer->Printf("%s", "x"), 0u);
        EXPECT_FALSE(layer->Seek(0, 0));
        EXPECT_EQ(layer->Tell(), 0);
        EXPECT_FALSE(layer->SeekFromStart(0));
        EXPECT_EQ(layer->GetError(), 0);
        EXPECT_FALSE(layer->IsEOF());
        EXPECT_EQ(layer->Truncate(0), -1);
        EXPECT_FALSE(layer->Flush());
        EXPECT_FALSE(layer->Close());
    }
}

TEST(KChainedFileTest, ErrorsBelowReachTheTop)
{
    char bytes[4] = {};
    KChainedFile bottom;
    KChainedFile top(0, &bottom);
    ASSERT_TRUE(top.OpenMemory(bytes, sizeof(bytes), false));
    EXPECT_EQ(top.Write("abcdef", 6), 4u);
    EXPECT_NE(top.GetError(), 0);
    top.ClearError();
    EXPECT_EQ(top.GetError(), 0);
}

}  // namespace
}  // namespace duzsdk
