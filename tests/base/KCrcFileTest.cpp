#include "sdk/base/KCrcFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/FileTestSupport.h"
#include "sdk/base/KFile.h"

namespace duzsdk {
namespace {

using test::TempFile;

// CRC-32/BZIP2 one bit at a time, independent of the layer's table.
uint32_t BitwiseCrc(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= static_cast<uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return ~crc;
}

std::string BigEndian(uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    return std::string(bytes, 4);
}

// Writes `data` through a CRC layer over a bottom layer opened with `mode`.
bool WriteProtected(const char* path, const std::string& data, const char* mode = "w+b")
{
    KChainedFile bottom;
    if (!bottom.Open(path, mode))
        return false;
    KCrcFile crc(0, &bottom, KChainedFile::kOpenWrite, false);
    if (crc.Write(data.data(), data.size()) != data.size())
        return false;
    return crc.Close();
}

bool IsValidOnDisk(const char* path)
{
    KChainedFile bottom;
    if (!bottom.Open(path, "rb"))
        return false;
    KCrcFile crc(0, &bottom, KChainedFile::kOpenRead, false);
    return crc.IsCrcValid();
}

TEST(KCrcFileTest, TableStepMatchesKnownValues)
{
    EXPECT_EQ(KCrcFile::Table()[0], 0u);
    EXPECT_EQ(KCrcFile::Table()[1], 0x04C11DB7u);
    const std::string check = "123456789";
    EXPECT_EQ(~KCrcFile::Update(0xFFFFFFFFu, check.data(), check.size()), 0xFC891918u);
    EXPECT_EQ(BitwiseCrc(check), 0xFC891918u);
    std::string varied;
    for (int i = 0; i < 1000; ++i)
        varied.push_back(static_cast<char>(i * 37 + (i >> 3)));
    EXPECT_EQ(~KCrcFile::Update(0xFFFFFFFFu, varied.data(), varied.size()), BitwiseCrc(varied));
}

TEST(KCrcFileTest, WrittenFileEndsInTheBigEndianCrcAndValidates)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    ASSERT_TRUE(WriteProtected(temp.Path(), "abc"));
    EXPECT_EQ(temp.Contents(), "abc" + BigEndian(BitwiseCrc("abc")));
    EXPECT_EQ(BitwiseCrc("abc"), 0x648CBB73u);
    EXPECT_TRUE(IsValidOnDisk(temp.Path()));
}

TEST(KCrcFileTest, ShortDataGetsItsTrueCrc)
{
    // Data of 0 to 5 bytes: the trailer always covers every data byte.
    const std::string data = "vwxyz";
    for (size_t n = 0; n <= data.size(); ++n) {
        SCOPED_TRACE(n);
        TempFile temp;
        ASSERT_TRUE(temp.IsValid());
        const std::string part = data.substr(0, n);
        ASSERT_TRUE(WriteProtected(temp.Path(), part));
        EXPECT_EQ(temp.Contents(), part + BigEndian(BitwiseCrc(part)));
        EXPECT_TRUE(IsValidOnDisk(temp.Path()));
    }
}

TEST(KCrcFileTest, EveryFlippedByteIsDetected)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    const std::string data = "Dizidir DUZ payload, protected";
    ASSERT_TRUE(WriteProtected(temp.Path(), data));
    const std::string intact = temp.Contents();
    ASSERT_EQ(intact.size(), data.size() + 4);
    for (size_t i = 0; i < intact.size(); ++i) {
        SCOPED_TRACE(i);
        std::string damaged = intact;
        damaged[i] = static_cast<char>(damaged[i] ^ 0x01);
        temp.SetContents(damaged);
        EXPECT_FALSE(IsValidOnDisk(temp.Path()));
    }
    temp.SetContents(intact.substr(0, intact.size() - 1));  // cut off
    EXPECT_FALSE(IsValidOnDisk(temp.Path()));
    temp.SetContents(intact);
    EXPECT_TRUE(IsValidOnDisk(temp.Path()));
}

TEST(KCrcFileTest, TrailerGoesToTheEndAfterAWriterSeeksBack)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    KChainedFile bottom;
    ASSERT_TRUE(bottom.Open(temp.Path(), "w+b"));
    KCrcFile crc(0, &bottom, KChainedFile::kOpenWrite, false);
    ASSERT_EQ(crc.Write("hdr=0;body", 10), 10u);
    ASSERT_TRUE(crc.SeekFromStart(4));
    ASSERT_EQ(crc.Write("9", 1), 1u);  // patch the header, position now 5
    ASSERT_TRUE(crc.Close());
    EXPECT_EQ(temp.Contents(), "hdr=9;body" + BigEndian(BitwiseCrc("hdr=9;body")));
    EXPECT_TRUE(IsValidOnDisk(temp.Path()));
}

TEST(KCrcFileTest, WriteOnlyFileFailsTheCloseWithoutABogusTrailer)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    EXPECT_FALSE(WriteProtected(temp.Path(), "abc", "wb"));
    EXPECT_EQ(temp.Contents(), "abc");
}

TEST(KCrcFileTest, TrailerThatDoesNotFitFailsTheClose)
{
    char bytes[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
    KChainedFile bottom;
    ASSERT_TRUE(bottom.OpenMemory(bytes, sizeof(bytes), false));
    KCrcFile crc(0, &bottom, KChainedFile::kOpenWrite, false);
    EXPECT_FALSE(crc.Close());
}

TEST(KCrcFileTest, IsCrcValidOnlyWhenReadingAFileWithATrailer)
{
    const std::string data = "abc" + BigEndian(BitwiseCrc("abc"));
    std::string memory = data;
    KChainedFile bottom;
    ASSERT_TRUE(bottom.OpenMemory(memory.data(), memory.size(), false));
    ASSERT_TRUE(bottom.SeekFromStart(2));

    KCrcFile reader(0, &bottom, KChainedFile::kOpenRead, false);
    EXPECT_TRUE(reader.IsCrcValid());
    EXPECT_EQ(bottom.Tell(), 2);  // the position is restored
    EXPECT_EQ(reader.ComputeCrc(), KCrcFile::kResidue);

    KCrcFile writer(0, &bottom, KChainedFile::kOpenWrite, false);
    EXPECT_FALSE(writer.IsCrcValid());

    KCrcFile closed(0, nullptr, KChainedFile::kOpenRead, false);
    EXPECT_FALSE(closed.IsCrcValid());

    // Shorter than a trailer: nothing to check, even when the residue matches
    // by chance for a CRC over all bytes.
    for (size_t n = 0; n < 4; ++n) {
        SCOPED_TRACE(n);
        std::string shortData = data.substr(0, n) + '\0';
        KChainedFile shortBottom;
        ASSERT_TRUE(shortBottom.OpenMemory(shortData.data(), n, false));
        KCrcFile shortReader(0, &shortBottom, KChainedFile::kOpenRead, false);
        EXPECT_FALSE(shortReader.IsCrcValid());
    }
}

TEST(KCrcFileTest, LargeFileRoundTrip)
{
    TempFile temp;
    ASSERT_TRUE(temp.IsValid());
    std::string data(300000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 2654435761u) >> 13);
    ASSERT_TRUE(WriteProtected(temp.Path(), data));
    EXPECT_EQ(temp.Contents(), data + BigEndian(BitwiseCrc(data)));
    EXPECT_TRUE(IsValidOnDisk(temp.Path()));
}

}  // namespace
}  // namespace duzsdk
