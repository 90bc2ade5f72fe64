#include "sdk/base/KEncryptedFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/FileTestSupport.h"
#include "sdk/base/KCrcFile.h"
#include "sdk/base/KFile.h"
#include "sdk/base/KMemory.h"

namespace duzsdk {
namespace {

using test::TempFile;

const KEncryptionKey kZeroKey{};
const KEncryptionKey kKey{{0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u}};

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::string Pattern(size_t n, unsigned seed = 1)
{
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<char>(((i + seed) * 2654435761u) >> 11);
    return bytes;
}

// A bottom layer that counts the seeks asked of it.
class SeekCountingLayer : public KChainedFile {
public:
    bool Seek(int origin, int64_t offset) override
    {
        ++seeks;
        return KChainedFile::Seek(origin, offset);
    }
    bool SeekFromStart(int64_t offset) override
    {
        ++seeks;
        return KChainedFile::SeekFromStart(offset);
    }
    int seeks = 0;
};

// Writes `header` plainly, then `data` enciphered from the end of the header.
bool WriteEnciphered(const char* path, const std::string& header, const std::string& data,
                     const KEncryptionKey& key = kKey)
{
    auto* bottom = new KChainedFile;
    if (!bottom->Open(path, "w+b") || bottom->Write(header.data(), header.size()) != header.size()) {
        delete bottom;
        return false;
    }
    KEncryptedFile layer(key, static_cast<int64_t>(header.size()), bottom, KChainedFile::kOpenWrite, true);
    if (layer.Tell() != static_cast<int64_t>(header.size()))
        return false;
    if (layer.Write(data.data(), data.size()) != data.size())
        return false;
    return layer.Close();
}

// Reads everything from `dataStart` on through a deciphering layer.
std::string ReadEnciphered(const char* path, int64_t dataStart, const KEncryptionKey& key = kKey)
{
    KEncryptedFile layer(key, dataStart);
    if (!layer.OpenMode(path, KFile::kModeRead, false))
        return "<not opened>";
    std::string out;
    char chunk[7];
    size_t got = 0;
    while ((got = layer.Read(chunk, sizeof(chunk))) > 0)
        out.append(chunk, got);
    return out;
}

TEST(KEncryptedFileTest, ZeroKeyAndBlockGiveThePublishedVector)
{
    const size_t capacity = 16;
    void* data = KMemAlloc(capacity);
    KEncryptedFile layer(kZeroKey, 0);
    ASSERT_TRUE(layer.IsCipherReady());
    ASSERT_TRUE(layer.OpenMemory(data, capacity, true));
    const char zeros[16] = {};
    EXPECT_EQ(layer.Write(zeros, sizeof(zeros)), 16u);
    ASSERT_TRUE(layer.Flush());
    size_t size = 0;
    auto* bytes = static_cast<char*>(layer.GetBuffer(&size));
    EXPECT_EQ(layer.GetUsedSize(), 16u);
    EXPECT_EQ(Hex(std::string(bytes, 16)), "9F589F5CF6122C32B6BFEC2F2AE8C35A");
    EXPECT_TRUE(layer.Close());
    KMemFree(bytes);
}

TEST(KEncryptedFileTest, RoundTripsDataOfAnyLength)
{
    const size_t lengths[] = {1, 15, 16, 17, 31, 32, 33, 100, 4099};
    for (size_t n : lengths) {
        SCOPED_TRACE(n);
        TempFile temp;
        ASSERT_TRUE(temp.IsValid());
        const std::string data = Pattern(n);
        ASSERT_TRUE(WriteEnciphered(temp.Path(), "HDR", data));
        const std::string onDisk = temp.Contents();
        const size_t blocks = (n + 15) / 16;
        ASSERT_EQ(onDisk.size(), 3 + blocks * 16);
        EXPECT_EQ(onDisk.substr(0, 3), "HDR");
        EXPECT_EQ(onDisk.find(data.substr(0, std::min<size_t>(n, 8))), std::string::npos);
        // Reading past the last block gives the data and the zero padding.
        EXPECT_EQ(ReadEnciphered(temp.Path(), 3), data + std::string(blocks * 16 - n, '\0'));
    }
}

TEST(KEncryptedFileTest, TwentyBytesAfterEightLeaveTwoPaddedBlocks)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    const std::string data = Pattern(20, 7);
    ASSERT_TRUE(WriteEnciphered(temp.Path(), "8 bytes!", data));
    EXPECT_EQ(temp.Contents().size(), 8u + 32u);
    const std::string plain = ReadEnciphered(temp.Path(), 8);
    ASSERT_EQ(plain.size(), 32u);
    EXPECT_EQ(plain.substr(0, 20), data);
    EXPECT_EQ(plain.substr(20), std::string(12, '\0'));
}

TEST(KEncryptedFileTest, PartialFirstBlockIsPaddedWithZeros)
{
    // The file below ends exactly at the data start: there is no block yet,
    // so a short write must not read stale bytes as a block.
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    ASSERT_TRUE(WriteEnciphered(temp.Path(), std::string(8, 'h'), "hello"));
    EXPECT_EQ(ReadEnciphered(temp.Path(), 8), "hello" + std::string(11, '\0'));
}

TEST(KEncryptedFileTest, PartialRewriteKeepsTheRestOfTheBlock)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    const std::string data = Pattern(48, 3);
    ASSERT_TRUE(WriteEnciphered(temp.Path(), "hd", data));

    // In a later session, over a file opened for reading and writing.
    {
        auto* bottom = new KChainedFile;
        ASSERT_TRUE(bottom->Open(temp.Path(), "r+b"));
        KEncryptedFile layer(kKey, 2, bottom, KChainedFile::kOpenWrite, true);
        ASSERT_TRUE(layer.SeekFromStart(2 + 16 + 6));
        EXPECT_EQ(layer.Write("XYZ", 3), 3u);
        EXPECT_TRUE(layer.Close());
    }
    std::string expected = data;
    expected.replace(22, 3, "XYZ");
    EXPECT_EQ(ReadEnciphered(temp.Path(), 2), expected);

    // Within one session: a rewrite straddling two blocks, then reading back.
    {
        KEncryptedFile layer(kKey, 2);
        ASSERT_TRUE(layer.Open(temp.Path(), "a+b"));
        EXPECT_EQ(layer.Tell(), 2 + 48);  // appending starts at the end
        ASSERT_TRUE(layer.SeekFromStart(2 + 14));
        EXPECT_EQ(layer.Write("abcd", 4), 4u);
        ASSERT_TRUE(layer.SeekFromStart(2 + 12));
        char back[8] = {};
        EXPECT_EQ(layer.Read(back, 8), 8u);
        expected.replace(14, 4, "abcd");
        EXPECT_EQ(std::string(back, 8), expected.substr(12, 8));
        EXPECT_TRUE(layer.Close());
    }
    EXPECT_EQ(ReadEnciphered(temp.Path(), 2), expected);
}

TEST(KEncryptedFileTest, SequentialAccessSeeksBelowOnlyAtTheFirstBlock)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    const std::string data = Pattern(200, 5);
    {
        auto* bottom = new SeekCountingLayer;
        KEncryptedFile layer(kKey, 4, bottom, KChainedFile::kClosed, true);
        ASSERT_TRUE(layer.OpenMode(temp.Path(), KFile::kModeReadWrite, false));
        ASSERT_TRUE(layer.SeekFromStart(0));
        bottom->seeks = 0;
        // A plain header is not this layer's business.
        EXPECT_EQ(layer.Write("abcd", 4), 0u);
        layer.ClearError();
        ASSERT_TRUE(layer.SeekFromStart(4));
        bottom->seeks = 0;
        for (size_t done = 0; done < data.size(); done += 7) {
            const size_t n = std::min<size_t>(7, data.size() - done);
            ASSERT_EQ(layer.Write(data.data() + done, n), n);
        }
        EXPECT_TRUE(layer.Flush());
        EXPECT_EQ(bottom->seeks, 1);
        EXPECT_TRUE(layer.Close());
    }
    {
        auto* bottom = new SeekCountingLayer;
        KEncryptedFile layer(kKey, 4, bottom, KChainedFile::kClosed, true);
        ASSERT_TRUE(layer.OpenMode(temp.Path(), KFile::kModeRead, false));
        bottom->seeks = 0;
        std::string back;
        char chunk[5];
        size_t got = 0;
        while ((got = layer.Read(chunk, sizeof(chunk))) > 0)
            back.append(chunk, got);
        EXPECT_EQ(bottom->seeks, 1);
        EXPECT_EQ(back.substr(0, data.size()), data);
    }
}

TEST(KEncryptedFileTest, PartialBlockBelowIsNotReadAsData)
{
    // A trailing partial block (a CRC trailer, a cut-off file) is not data.
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    const std::string data = Pattern(40, 9);
    ASSERT_TRUE(WriteEnciphered(temp.Path(), "", data));
    const std::string intact = temp.Contents();
    ASSERT_EQ(intact.size(), 48u);

    temp.SetContents(intact + "CRC!");
    EXPECT_EQ(ReadEnciphered(temp.Path(), 0), data + std::string(8, '\0'));

    temp.SetContents(intact.substr(0, 40));  // the last block cut in half
    EXPECT_EQ(ReadEnciphered(temp.Path(), 0), data.substr(0, 32));

    KEncryptedFile layer(kKey, 0);
    temp.SetContents(intact + "CRC!");
    ASSERT_TRUE(layer.Open(temp.Path(), "rb"));
    EXPECT_EQ(layer.GetLastBlock(), 2);
    EXPECT_FALSE(layer.IsEOF());
    ASSERT_TRUE(layer.Seek(2, 0));
    EXPECT_EQ(layer.Tell(), 48);
    EXPECT_TRUE(layer.IsEOF());
    char byte = 0;
    EXPECT_EQ(layer.Read(&byte, 1), 0u);
    EXPECT_EQ(layer.GetError(), 0);  // the end of the data is no error
    ASSERT_TRUE(layer.Seek(1, -8));
    EXPECT_FALSE(layer.IsEOF());
    char tail[8];
    EXPECT_EQ(layer.Read(tail, 8), 8u);
    EXPECT_TRUE(layer.IsEOF());
    EXPECT_EQ(std::string(tail, 8), std::string(8, '\0'));
}

// A bottom layer whose file seems to end at `cutAt` once that is set, as if
// it had been cut while open.
class CutLayer : public KChainedFile {
public:
    size_t Read(void* buffer, size_t count) override
    {
        const int64_t position = Tell();
        if (cutAt >= 0)
            count = std::min<size_t>(count, static_cast<size_t>(std::max<int64_t>(cutAt - position, 0)));
        return KChainedFile::Read(buffer, count);
    }
    int64_t cutAt = -1;
};

TEST(KEncryptedFileTest, FileCutWhileOpenGivesAnErrorNotNoise)
{
    const std::string data = Pattern(48, 4);
    std::string memory(48, '\0');
    {
        KEncryptedFile writer(kKey, 0);
        ASSERT_TRUE(writer.OpenMemory(memory.data(), memory.size(), false));
        ASSERT_EQ(writer.Write(data.data(), data.size()), 48u);
        ASSERT_TRUE(writer.Close());
    }
    auto* bottom = new CutLayer;
    KEncryptedFile layer(kKey, 0, bottom, KChainedFile::kClosed, true);
    ASSERT_TRUE(layer.OpenMemory(memory.data(), memory.size(), false));
    ASSERT_EQ(layer.GetLastBlock(), 2);
    bottom->cutAt = 40;
    std::string back(48, '\0');
    EXPECT_EQ(layer.Read(back.data(), back.size()), 32u);
    EXPECT_EQ(back.substr(0, 32), data.substr(0, 32));
    EXPECT_NE(layer.GetError(), 0);
}

TEST(KEncryptedFileTest, CrcProtectedEncipheredFileRoundTrips)
{
    // The chain of an enciphered field file: a CRC layer over the plain file,
    // the enciphering layer over that, a plain header before the data start.
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    const std::string header = "plain header of 20 b";
    const std::string data = Pattern(1000, 11);
    {
        auto* bottom = new KChainedFile;
        ASSERT_TRUE(bottom->Open(temp.Path(), "w+b"));
        auto* crc = new KCrcFile(0, bottom, KChainedFile::kOpenWrite, true);
        ASSERT_EQ(crc->Write(header.data(), header.size()), header.size());
        KEncryptedFile layer(kKey, 20, crc, KChainedFile::kOpenWrite, true);
        ASSERT_EQ(layer.Write(data.data(), data.size()), data.size());
        EXPECT_TRUE(layer.Close());
    }
    EXPECT_EQ(temp.Contents().size(), 20u + 1008u + 4u);
    KChainedFile bottom;
    ASSERT_TRUE(bottom.Open(temp.Path(), "rb"));
    {
        KCrcFile check(0, &bottom, KChainedFile::kOpenRead, false);
        EXPECT_TRUE(check.IsCrcValid());
    }
    char plainHeader[20];
    ASSERT_EQ(bottom.Read(plainHeader, 20), 20u);
    EXPECT_EQ(std::string(plainHeader, 20), header);
    KEncryptedFile layer(kKey, 20, &bottom, KChainedFile::kOpenRead, false);
    EXPECT_EQ(layer.GetLastBlock(), 62);
    std::string back(1100, '\0');
    EXPECT_EQ(layer.Read(back.data(), back.size()), 1008u);
    EXPECT_EQ(back.substr(0, 1000), data);
}

TEST(KEncryptedFileTest, GrowableMemoryStreamHoldsOnlyWhatWasWritten)
{
    // As a field file writes into memory: a plain header through the base
    // layer, then the enciphered body over it. The buffer's slack past the
    // bytes written is not data.
    const size_t capacity = 1024;
    auto* initial = static_cast<unsigned char*>(KMemAlloc(capacity));
    std::memset(initial, 0xA5, capacity);
    KChainedFile base;
    ASSERT_TRUE(base.OpenMemory(initial, capacity, true));
    ASSERT_EQ(base.Write("0123456789", 10), 10u);
    std::string body;
    {
        KEncryptedFile layer(kKey, 10, &base, KChainedFile::kOpenWrite, false);
        EXPECT_EQ(layer.GetLastBlock(), -1);
        EXPECT_EQ(layer.Write("hello", 5), 5u);
        ASSERT_TRUE(layer.Flush());
        EXPECT_EQ(layer.GetUsedSize(), 26u);
        ASSERT_TRUE(layer.Seek(2, 0));
        EXPECT_EQ(layer.Tell(), 26);
    }
    size_t size = 0;
    auto* bytes = static_cast<char*>(base.GetBuffer(&size));
    std::string stream(bytes, base.GetUsedSize());
    EXPECT_TRUE(base.Close());
    KMemFree(bytes);

    KChainedFile reader;
    ASSERT_TRUE(reader.OpenMemory(stream.data(), stream.size(), false));
    char header[10];
    ASSERT_EQ(reader.Read(header, 10), 10u);
    KEncryptedFile layer(kKey, 10, &reader, KChainedFile::kOpenRead, false);
    std::string back(20, 'x');
    EXPECT_EQ(layer.Read(back.data(), back.size()), 16u);
    EXPECT_EQ(back.substr(0, 16), "hello" + std::string(11, '\0'));
}

TEST(KEncryptedFileTest, GapsReadAsZeros)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    {
        KEncryptedFile layer(kKey, 0);
        ASSERT_TRUE(layer.OpenMode(temp.Path(), KFile::kModeWrite, false));
        ASSERT_TRUE(layer.SeekFromStart(50));
        EXPECT_EQ(layer.Write("tail", 4), 4u);
        ASSERT_TRUE(layer.SeekFromStart(0));
        char gap[54];
        EXPECT_EQ(layer.Read(gap, sizeof(gap)), sizeof(gap));  // before anything reached the file
        EXPECT_EQ(std::string(gap, sizeof(gap)), std::string(50, '\0') + "tail");
        EXPECT_TRUE(layer.Close());
    }
    EXPECT_EQ(temp.Contents().size(), 64u);
    EXPECT_EQ(ReadEnciphered(temp.Path(), 0), std::string(50, '\0') + "tail" + std::string(10, '\0'));
}

TEST(KEncryptedFileTest, BlocksThatCannotBeWrittenAreReported)
{
    // A fixed buffer with room for one block and a half.
    char bytes[24] = {};
    {
        KEncryptedFile layer(kKey, 0);
        ASSERT_TRUE(layer.OpenMemory(bytes, sizeof(bytes), false));
        const std::string data = Pattern(48);
        // Blocks 0 and 1 are taken; block 1 cannot be written out when block 2 begins.
        EXPECT_EQ(layer.Write(data.data(), data.size()), 32u);
        EXPECT_NE(layer.GetError(), 0);
        EXPECT_FALSE(layer.Close());
    }
    {
        KEncryptedFile layer(kKey, 0);
        ASSERT_TRUE(layer.OpenMemory(bytes, sizeof(bytes), false));
        EXPECT_EQ(layer.Write("0123456789ABCDEF01234", 21), 21u);  // the second block stays cached
        EXPECT_FALSE(layer.Flush());
        EXPECT_FALSE(layer.Close());
    }
    {
        // Writing before the data start is refused.
        KEncryptedFile layer(kKey, 8);
        ASSERT_TRUE(layer.OpenMemory(bytes, sizeof(bytes), false));
        ASSERT_TRUE(layer.SeekFromStart(3));
        EXPECT_EQ(layer.Write("x", 1), 0u);
        EXPECT_NE(layer.GetError(), 0);
        char out = 0;
        EXPECT_EQ(layer.Read(&out, 1), 0u);
    }
}

TEST(KEncryptedFileTest, FormattedTextReadsBackLineByLine)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    {
        KEncryptedFile layer(kKey, 0);
        ASSERT_TRUE(layer.Open(temp.Path(), "w+t"));
        EXPECT_EQ(layer.GetOpenState(), KChainedFile::kOpenWrite);
        EXPECT_EQ(layer.Printf("first %d\n", 1), 8u);
        EXPECT_EQ(layer.Printf("%s\n", "second line"), 12u);
        EXPECT_EQ(layer.Printf("no newline"), 10u);
        EXPECT_TRUE(layer.Close());
    }
    KEncryptedFile layer(kKey, 0);
    ASSERT_TRUE(layer.Open(temp.Path(), "rt"));
    EXPECT_EQ(layer.GetOpenState(), KChainedFile::kOpenRead);
    char line[64];
    ASSERT_NE(layer.ReadLine(line, sizeof(line)), nullptr);
    EXPECT_STREQ(line, "first 1\n");
    ASSERT_NE(layer.ReadLine(line, 5), nullptr);
    EXPECT_STREQ(line, "seco");
    ASSERT_NE(layer.ReadLine(line, sizeof(line)), nullptr);
    EXPECT_STREQ(line, "nd line\n");
    ASSERT_NE(layer.ReadLine(line, sizeof(line)), nullptr);
    EXPECT_STREQ(line, "no newline");  // the padding after it is skipped
    EXPECT_EQ(layer.ReadLine(line, sizeof(line)), nullptr);
    EXPECT_EQ(layer.ReadLine(line, 0), nullptr);
}

TEST(KEncryptedFileTest, WrongKeyDoesNotRecoverTheData)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    const std::string data = Pattern(32, 2);
    ASSERT_TRUE(WriteEnciphered(temp.Path(), "", data, kKey));
    EXPECT_EQ(ReadEnciphered(temp.Path(), 0, kKey), data);
    EXPECT_NE(ReadEnciphered(temp.Path(), 0, kZeroKey), data);
}

TEST(KEncryptedFileTest, OpenModesAndClosedState)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    KEncryptedFile layer(kKey, 0);
    EXPECT_EQ(layer.Tell(), 0);
    EXPECT_FALSE(layer.SeekFromStart(0));
    char byte = 0;
    EXPECT_EQ(layer.Read(&byte, 1), 0u);
    EXPECT_EQ(layer.Write("x", 1), 0u);
    EXPECT_FALSE(layer.Close());

    ASSERT_TRUE(WriteEnciphered(temp.Path(), "", "0123456789ABCDEF"));
    // Reading opens the file read-only: writing through it cannot change it.
    ASSERT_TRUE(layer.OpenMode(temp.Path(), KFile::kModeRead, false));
    EXPECT_EQ(layer.GetLastBlock(), 0);
    EXPECT_EQ(layer.Write("zzzz", 4), 4u);  // taken into the cached block
    EXPECT_FALSE(layer.Close());            // but it cannot reach the file
    EXPECT_EQ(ReadEnciphered(temp.Path(), 0), "0123456789ABCDEF");

    // Append keeps the contents and continues at the end.
    ASSERT_TRUE(layer.OpenMode(temp.Path(), KFile::kModeAppend, false));
    EXPECT_EQ(layer.Tell(), 16);
    EXPECT_EQ(layer.Write("more", 4), 4u);
    EXPECT_TRUE(layer.Close());
    EXPECT_EQ(ReadEnciphered(temp.Path(), 0), "0123456789ABCDEFmore" + std::string(12, '\0'));

    // Writing modes empty the file.
    ASSERT_TRUE(layer.OpenMode(temp.Path(), KFile::kModeWrite, false));
    EXPECT_EQ(layer.GetLastBlock(), -1);
    EXPECT_TRUE(layer.Close());
    EXPECT_EQ(temp.Contents(), "");
    EXPECT_FALSE(layer.OpenMode("/nonexistent-folder/x", KFile::kModeRead, false));
    EXPECT_EQ(layer.GetOpenState(), KChainedFile::kClosed);
}

TEST(KEncryptedFileTest, TruncateDropsBlocksPastTheNewEnd)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    KEncryptedFile layer(kKey, 0);
    ASSERT_TRUE(layer.OpenMode(temp.Path(), KFile::kModeReadWrite, false));
    const std::string data = Pattern(40);
    ASSERT_EQ(layer.Write(data.data(), data.size()), 40u);
    EXPECT_EQ(layer.Truncate(16), 0);
    EXPECT_EQ(layer.GetLastBlock(), 0);
    ASSERT_TRUE(layer.Seek(2, 0));
    EXPECT_EQ(layer.Tell(), 16);
    EXPECT_TRUE(layer.Close());
    EXPECT_EQ(ReadEnciphered(temp.Path(), 0), data.substr(0, 16));
}

TEST(KEncryptedFileTest, SeekFromTheEndCountsTheCachedBlock)
{
    const size_t capacity = 8;
    void* data = KMemAlloc(capacity);
    KEncryptedFile layer(kKey, 0);
    ASSERT_TRUE(layer.OpenMemory(data, capacity, true));
    EXPECT_EQ(layer.Write("0123456789abcdefXYZ", 19), 19u);
    ASSERT_TRUE(layer.Seek(2, 0));
    EXPECT_EQ(layer.Tell(), 32);
    ASSERT_TRUE(layer.Seek(1, -16));
    char back[3] = {};
    EXPECT_EQ(layer.Read(back, 3), 3u);
    EXPECT_EQ(std::string(back, 3), "XYZ");
    ASSERT_TRUE(layer.Flush());
    EXPECT_EQ(layer.GetUsedSize(), 32u);
    void* grown = layer.GetBuffer(nullptr);
    EXPECT_TRUE(layer.Close());
    KMemFree(grown);
}

}  // namespace
}  // namespace duzsdk
