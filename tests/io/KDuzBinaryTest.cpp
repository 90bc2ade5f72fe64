#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "DuzTestSupport.h"
#include "sdk/base/KChainedFile.h"
#include "sdk/base/KMemory.h"
#include "sdk/io/KDuz.h"

using namespace duzsdk;
using namespace duztest;

namespace {

// A small id-less binary file: header, one block field, one plain field.
Bytes SmallFile(bool bigEndian = false, uint32_t version = 6100)
{
    ByteBuilder b(bigEndian);
    b.Header(version);
    b.Record("Version", b.V().I(1000).I(2));
    b.Record("Objects", b.V(), [&] {
        b.Record("Model", b.V().S("Cube").D(2.5));
        b.Null();
    });
    b.Null();
    return b.bytes;
}

}  // namespace

TEST(KDuzBinary, OpensHandBuiltFileWithoutFooter)
{
    const Bytes file = SmallFile();
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(file.data(), file.size())) << duz.GetLastErrorString();
    EXPECT_TRUE(duz.IsBinary());
    EXPECT_EQ(duz.GetFileVersion(), 6100);
    EXPECT_EQ(duz.GetSectionCount(), 1);
    EXPECT_EQ(duz.GetExtraSectionCount(), 0);
    ASSERT_TRUE(duz.FieldReadBegin("Version"));
    EXPECT_EQ(duz.FieldReadGetValueCount(), 2);
    EXPECT_EQ(duz.FieldReadInt(), 1000);
    EXPECT_EQ(duz.FieldReadInt(), 2);
    duz.FieldReadEnd();
    ASSERT_TRUE(duz.FieldReadBegin("Objects"));
    ASSERT_TRUE(duz.FieldReadIsBlock());
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    ASSERT_TRUE(duz.FieldReadBegin("Model"));
    EXPECT_STREQ(duz.FieldReadString(), "Cube");
    EXPECT_DOUBLE_EQ(duz.FieldReadDouble(), 2.5);
    duz.FieldReadEnd();
    duz.FieldReadBlockEnd();
    duz.FieldReadEnd();
}

TEST(KDuzBinary, BigEndianFileReadsEveryWordReversed)
{
    const Bytes file = SmallFile(true);
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(file.data(), file.size())) << duz.GetLastErrorString();
    EXPECT_TRUE(duz.IsBigEndian());
    EXPECT_EQ(duz.GetFileVersion(), 6100);
    EXPECT_EQ(duz.FieldReadIntOrDefault("Version", -1), 1000);
    ASSERT_TRUE(duz.FieldReadBegin("Objects"));
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    ASSERT_TRUE(duz.FieldReadBegin("Model"));
    EXPECT_STREQ(duz.FieldReadString(), "Cube");
    EXPECT_DOUBLE_EQ(duz.FieldReadDouble(), 2.5);
}

TEST(KDuzBinary, HeaderRecognition)
{
    struct Case {
        const char* what;
        size_t offset;  // byte to change, or SIZE_MAX
        uint8_t value;
        bool binary;
    };
    const Case cases[] = {
        {"intact", SIZE_MAX, 0, true},
        {"21st byte not zero", 20, 'X', false},
        {"magic in upper case", 0, 'D', true},  // "D" already; see next row for a real change
        {"second letter upper case", 1, 'I', true},
        {"magic differs", 3, 'q', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = SmallFile();
        if (c.offset != SIZE_MAX)
            file[c.offset] = c.value;
        KDuz duz;
        duz.ProjectOpenMemory(file.data(), file.size(), true, false);
        EXPECT_EQ(duz.IsBinary(), c.binary);
    }
}

TEST(KDuzBinary, NonStrictOpenOfUnknownFileIsVersion1000)
{
    TempFolder folder;
    const std::string path = folder.File("plain.duz");
    WriteText(path, "no header at all\n");
    KDuz duz;
    EXPECT_TRUE(duz.ProjectOpen(path.c_str(), true, false));
    EXPECT_FALSE(duz.IsBinary());
    EXPECT_EQ(duz.GetFileVersion(), 1000);

    KDuz strict;
    EXPECT_FALSE(strict.ProjectOpenForReader(path.c_str()));
    EXPECT_EQ(strict.GetLastErrorID(), KDuz::kErrorCorrupted);
    EXPECT_EQ(std::string(strict.GetLastErrorString()), "File is corrupted " + path);
}

TEST(KDuzBinary, UncreatableFileGivesError4)
{
    TempFolder folder;
    const std::string path = folder.File("no/such/folder/out.duz");
    KDuz duz;
    EXPECT_FALSE(duz.ProjectCreateFile(path.c_str(), true, false));
    EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorFileNotCreated);
    EXPECT_EQ(std::string(duz.GetLastErrorString()), "Unable to create file " + path);
}

TEST(KDuzBinary, ManyDistinctNamesStayFast)
{
    // Lookups by name and by index must not walk the field table each time.
    ByteBuilder b;
    b.Header(6100);
    constexpr int kFields = 50000;
    for (int i = 0; i < kFields; ++i)
        b.Record("F" + std::to_string(i), b.V().I(i));
    b.Null();
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(b.bytes.data(), b.bytes.size()));
    ASSERT_EQ(duz.FieldGetCount(), kFields);
    long long sum = 0;
    for (int i = 0; i < kFields; ++i)
        sum += duz.FieldReadIntOrDefault(("f" + std::to_string(i)).c_str(), 0);
    EXPECT_EQ(sum, static_cast<long long>(kFields) * (kFields - 1) / 2);
}

TEST(KDuzBinary, MissingFileGivesError3)
{
    TempFolder folder;
    const std::string path = folder.File("missing.duz");
    KDuz duz;
    EXPECT_FALSE(duz.ProjectOpen(path.c_str()));
    EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorFileNotOpened);
    EXPECT_EQ(std::string(duz.GetLastErrorString()), "Unable to open file " + path);
}

TEST(KDuzBinary, MajorVersion7IsRefused)
{
    for (uint32_t version : {7000u, 6999u}) {
        SCOPED_TRACE(version);
        const Bytes file = SmallFile(false, version);
        KDuz duz;
        const bool opened = duz.ProjectOpenMemory(file.data(), file.size());
        if (version == 7000) {
            EXPECT_FALSE(opened);
            EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorVersionNotSupportedYet);
            EXPECT_STREQ(duz.GetLastErrorString(), "DUZ file version 7.0.0 is not supported in this product");
            EXPECT_EQ(duz.GetSectionVersion(0), 7000);
        } else {
            EXPECT_TRUE(opened) << duz.GetLastErrorString();
        }
    }
}

// Every one of these files is damaged in a way that must be refused with
// error 0, without any read outside the file.
TEST(KDuzBinary, CorruptBlocksAreRefused)
{
    struct Case {
        const char* what;
        std::function<Bytes()> make;
    };
    const Case cases[] = {
        {"end offset not above its record",
         [] {
             ByteBuilder b;
             b.Header(6100).Record("A", b.V().I(1));
             b.Patch(27, 27);
             b.Null();
             return b.bytes;
         }},
        {"end offset past the file",
         [] {
             ByteBuilder b;
             b.Header(6100).Record("A", b.V().I(1));
             b.Patch(27, 100000);
             b.Null();
             return b.bytes;
         }},
        {"value list longer than the record",
         [] {
             ByteBuilder b;
             b.Header(6100).Record("A", b.V().I(1));
             b.Patch(27 + 8, 50);
             b.Null();
             return b.bytes;
         }},
        {"string length past the value list",
         [] {
             ByteBuilder b;
             auto v = b.V();
             v.Word('S', 0x7ffffff0u);
             b.Header(6100).Record("A", v);
             b.Null();
             return b.bytes;
         }},
        {"unknown value type",
         [] {
             ByteBuilder b;
             auto v = b.V().I(1);
             v.bytes[0] = 'Q';
             b.Header(6100).Record("A", v);
             b.Null();
             return b.bytes;
         }},
        {"value count larger than the list can hold",
         [] {
             ByteBuilder b;
             b.Header(6100).Record("A", b.V().I(1));
             b.Patch(27 + 4, 0x10000000u);
             b.Null();
             return b.bytes;
         }},
        {"no closing null record",
         [] {
             ByteBuilder b;
             b.Header(6100).Record("A", b.V().I(1));
             return b.bytes;
         }},
        {"name longer than the record",
         [] {
             ByteBuilder b;
             b.Header(6100).Record("A", b.V());
             b.bytes[27 + 12] = 200;
             b.Null();
             return b.bytes;
         }},
        {"cut inside the record header",
         [] {
             ByteBuilder b;
             b.Header(6100).Zeros(4).U32(5);
             return b.bytes;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes file = c.make();
        KDuz duz;
        EXPECT_FALSE(duz.ProjectOpenMemory(file.data(), file.size()));
        EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorCorrupted);
        EXPECT_EQ(duz.GetCurrentSectionIndex(), -1);
    }
}

TEST(KDuzBinary, CorruptNestedBlockLeavesReaderInParent)
{
    ByteBuilder b;
    b.Header(6100);
    b.Record("Outer", b.V(), [&] {
        b.Record("Inner", b.V().I(7));
        b.Null();
    });
    b.Record("After", b.V().I(42));
    b.Null();
    // Break the inner record's end offset so that it points back at itself.
    b.Patch(27 + 13 + 5, 27 + 13 + 5);
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(b.bytes.data(), b.bytes.size())) << duz.GetLastErrorString();
    ASSERT_TRUE(duz.FieldReadBegin("Outer"));
    EXPECT_FALSE(duz.FieldReadBlockBegin());
    EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorCorrupted);
    duz.FieldReadEnd();
    // Still in the top level: the rest of the file stays readable.
    EXPECT_EQ(duz.FieldReadIntOrDefault("After", -1), 42);
}

TEST(KDuzBinary, NestingDepthIsLimited)
{
    ByteBuilder b;
    b.Header(6100);
    std::function<void(int)> nest = [&](int depth) {
        b.Record("N", b.V().I(depth), depth < 400 ? std::function<void()>([&, depth] {
            nest(depth + 1);
            b.Null();
        })
                                                  : std::function<void()>());
    };
    nest(0);
    b.Null();
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(b.bytes.data(), b.bytes.size())) << duz.GetLastErrorString();
    int entered = 0;
    while (duz.FieldReadBegin("N") && duz.FieldReadBlockBegin())
        ++entered;
    EXPECT_LT(entered, 400);
    EXPECT_GT(entered, 100);
    EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorCorrupted);
}

TEST(KDuzBinary, WrittenHeaderVersion)
{
    struct Case {
        int version;
        uint32_t stored;
    };
    for (const Case c : {Case{5800, 3000}, Case{6100, 6100}, Case{1234, 6100}}) {
        SCOPED_TRACE(c.version);
        KDuzFileHeaderInfo info;
        info.fileVersion = c.version;
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreate(nullptr, 0, true, false, &info));
        void* buffer = nullptr;
        size_t size = 0;
        duz.ProjectClose(&buffer, &size);
        Bytes bytes(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + size);
        KMemFree(buffer);
        ASSERT_GE(bytes.size(), 27u);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 20), "Dizidir DUZ Binary  ");
        EXPECT_EQ(bytes[20], 0);
        EXPECT_EQ(bytes[21], 0x1A);
        EXPECT_EQ(bytes[22], 0);
        EXPECT_EQ(Get32(bytes, 23), c.stored);
    }
}

TEST(KDuzBinary, FooterLayoutAndSectionsFromFooters)
{
    TempFolder folder;
    const std::string path = folder.File("sections.duz");
    {
        duzplatform::ScopedFixedLocalDateTime clock(FixedTime());
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
        duz.FieldWriteBegin("Main");
        duz.FieldWriteInt(1);
        duz.FieldWriteEnd();
        duz.FinishBeforeClose();
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(duz.ProjectCreateSection(false));
            duz.FieldWriteBegin("Extra");
            duz.FieldWriteInt(10 + i);
            duz.FieldWriteEnd();
            duz.FinishBeforeClose();
        }
        EXPECT_EQ(duz.GetLastErrorID(), -1) << duz.GetLastErrorString();
        duz.ProjectClose();
    }
    const Bytes bytes = ReadFile(path);
    ASSERT_EQ(bytes.size() % 16, 0u);
    const uint8_t constant[16] = {0xf8, 0x5a, 0x8c, 0x6a, 0xde, 0xf5, 0xd9, 0x7e,
                                  0xec, 0xe9, 0x0c, 0xe3, 0x75, 0x8f, 0x29, 0x0b};
    EXPECT_EQ(0, std::memcmp(bytes.data() + bytes.size() - 16, constant, 16));
    EXPECT_EQ(Get32(bytes, bytes.size() - 144 + 4), 6100u);  // section version
    EXPECT_NE(Get32(bytes, bytes.size() - 144), 0u);          // an extra section's distance

    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpen(path.c_str(), true, false)) << duz.GetLastErrorString();
    ASSERT_EQ(duz.GetExtraSectionCount(), 2);
    ASSERT_TRUE(duz.ProjectOpenMainSection()) << duz.GetLastErrorString();
    EXPECT_EQ(duz.FieldReadIntOrDefault("Main", -1), 1);
    duz.FinishBeforeClose();
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(duz.ProjectOpenExtraSection(i)) << duz.GetLastErrorString();
        EXPECT_EQ(duz.GetSectionVersion(i + 1), 6100);
        EXPECT_EQ(duz.FieldReadIntOrDefault("Extra", -1), 10 + i);
        EXPECT_EQ(duz.FieldGetInstanceCount("Main"), 0);
        duz.FinishBeforeClose();
    }
    EXPECT_FALSE(duz.ProjectOpenExtraSection(2));
    EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorSectionDoesNotExist);
}

TEST(KDuzBinary, ShortAndBrokenFootersMeanNoFooter)
{
    // Shorter than a footer: the search must not seek before the file.
    Bytes tiny = SmallFile();
    ASSERT_LT(tiny.size(), 144u);
    KDuz first;
    EXPECT_TRUE(first.ProjectOpenMemory(tiny.data(), tiny.size())) << first.GetLastErrorString();

    // A footer whose distance points before the main section is ignored.
    ByteBuilder b;
    b.Header(6100);
    b.Record("A", b.V().I(1));
    b.Null();
    while (b.bytes.size() % 16 != 0)
        b.U8(0);
    b.U32(0x7fffffff).U32(6100).Zeros(120);
    const uint8_t constant[16] = {0xf8, 0x5a, 0x8c, 0x6a, 0xde, 0xf5, 0xd9, 0x7e,
                                  0xec, 0xe9, 0x0c, 0xe3, 0x75, 0x8f, 0x29, 0x0b};
    b.bytes.insert(b.bytes.end(), constant, constant + 16);
    KDuz second;
    EXPECT_TRUE(second.ProjectOpenMemory(b.bytes.data(), b.bytes.size(), true, false));
    EXPECT_EQ(second.GetExtraSectionCount(), 0);
}

TEST(KDuzBinary, ReadingNeverChangesTheFile)
{
    TempFolder folder;
    const std::string path = folder.File("idless.duz");
    const Bytes original = SmallFile();
    WriteFile(path, original);
    {
        // A plain open never holds write access: files name other files.
        KDuz duz;
        ASSERT_TRUE(duz.ProjectOpen(path.c_str(), true, true)) << duz.GetLastErrorString();
        EXPECT_EQ(duz.GetOpenMode(), KDuz::kOpenReadOnly);
        EXPECT_EQ(duz.FieldReadIntOrDefault("Version", -1), 1000);
        duz.FinishBeforeClose();
        EXPECT_FALSE(duz.ProjectCreateSection(false));
        // The refusal names the cause, not a full disk.
        EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorFileNotOpened);
        EXPECT_NE(std::string(duz.GetLastErrorString()).find("reading only"), std::string::npos)
            << duz.GetLastErrorString();
        duz.ProjectClose();
    }
    EXPECT_EQ(ReadFile(path), original);
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectOpenForUpdate(path.c_str(), true, true)) << duz.GetLastErrorString();
        EXPECT_EQ(duz.GetOpenMode(), KDuz::kOpenReadWrite);
        EXPECT_EQ(duz.FieldReadIntOrDefault("Version", -1), 1000);
        duz.ProjectClose();
    }
    EXPECT_EQ(ReadFile(path), original);
}

TEST(KDuzBinary, CreateSectionNeedsAWritableFile)
{
    const Bytes file = SmallFile();
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(file.data(), file.size(), true, false));
    EXPECT_FALSE(duz.ProjectCreateSection(false));
    EXPECT_EQ(duz.GetSectionCount(), 1);
    EXPECT_EQ(std::string(duz.GetLastErrorString()).find("No space"), std::string::npos) << duz.GetLastErrorString();
    EXPECT_TRUE(duz.GetError().HasError());
}

TEST(KDuzBinary, AppendsSectionToReadWriteFile)
{
    TempFolder folder;
    const std::string path = folder.File("append.duz");
    WriteFile(path, SmallFile());
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectOpenForUpdate(path.c_str(), true, false));
        ASSERT_TRUE(duz.ProjectCreateSection(false)) << duz.GetLastErrorString();
        duz.FieldWriteBegin("Summary");
        duz.FieldWriteInt(5);
        duz.FieldWriteEnd();
        duz.ProjectClose();
    }
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpen(path.c_str(), true, false)) << duz.GetLastErrorString();
    ASSERT_EQ(duz.GetExtraSectionCount(), 1);
    ASSERT_TRUE(duz.ProjectOpenExtraSection(0)) << duz.GetLastErrorString();
    EXPECT_EQ(duz.FieldReadIntOrDefault("Summary", -1), 5);
    duz.FinishBeforeClose();
    ASSERT_TRUE(duz.ProjectOpenMainSection()) << duz.GetLastErrorString();
    EXPECT_EQ(duz.FieldReadIntOrDefault("Version", -1), 1000);
}

TEST(KDuzBinary, SplitVersionAndSwapDouble)
{
    int major = 0, minor = 0, revision = 0;
    KDuzSplitVersion(6100, &major, &minor, &revision);
    EXPECT_EQ(major * 100 + minor * 10 + revision, 610);
    KDuzSplitVersion(5800, &major, &minor, &revision);
    EXPECT_EQ(major, 5);
    EXPECT_EQ(minor, 8);
    EXPECT_EQ(revision, 0);
    // 1.0 is 0x3FF0000000000000: high word byte-reversed first.
    EXPECT_EQ(KDuzSwapDouble(0x0000F03Fu, 0u), 1.0);
}

TEST(KDuzBinary, ReaderOpenFindsProjectLayoutAndAddsExtension)
{
    TempFolder folder;
    // Without a project folder the file itself opens, ".duz" added.
    WriteFile(folder.File("plain.duz"), SmallFile());
    KDuz plain;
    ASSERT_TRUE(plain.ProjectOpenForReader(folder.File("plain").c_str(), true, true)) << plain.GetLastErrorString();
    EXPECT_STREQ(plain.GetOpenedPath().Buffer(), folder.File("plain.duz").c_str());
    EXPECT_STREQ(plain.GetFileName().Buffer(), "plain.duz");
    EXPECT_EQ(plain.GetOpenMode(), KDuz::kOpenReadOnly);  // an import never writes
    plain.FinishBeforeClose();
    EXPECT_FALSE(plain.ProjectCreateSection(false));

    // With "scene.fbd" beside it, the project text inside is read instead.
    std::filesystem::create_directories(folder.File("scene.fbd"));
    WriteText(folder.File("scene.fbd/Project.txt"), "; DUZ 5.8.0 project file\nVersion: 7\n");
    KDuz project;
    ASSERT_TRUE(project.ProjectOpenForReader(folder.File("scene.duz").c_str(), true, true))
        << project.GetLastErrorString();
    EXPECT_STREQ(project.GetOpenedPath().Buffer(), folder.File("scene.fbd/Project.txt").c_str());
    EXPECT_STREQ(project.GetFileName().Buffer(), "Project");
    EXPECT_EQ(project.GetFileVersion(), 5800);
    EXPECT_EQ(project.FieldReadIntOrDefault("Version", -1), 7);
}

TEST(KDuzBinary, RewritesTheLastSection)
{
    TempFolder folder;
    const std::string path = folder.File("rewrite.duz");
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
        duz.FinishBeforeClose();
        ASSERT_TRUE(duz.ProjectCreateSection(false));
        duz.FieldWriteBegin("Summary");
        duz.FieldWriteString(std::string(300, 'o').c_str());
        duz.FieldWriteEnd();
        duz.ProjectClose();
    }
    const size_t before = ReadFile(path).size();
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectOpenForUpdate(path.c_str(), true, false));
        ASSERT_TRUE(duz.ProjectCreateSection(true)) << duz.GetLastErrorString();
        EXPECT_EQ(duz.GetSectionCount(), 2);
        duz.FieldWriteBegin("Summary");
        duz.FieldWriteString("new");
        duz.FieldWriteEnd();
        duz.ProjectClose();
    }
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpen(path.c_str(), true, false));
    ASSERT_EQ(duz.GetExtraSectionCount(), 1);
    ASSERT_TRUE(duz.ProjectOpenExtraSection(0)) << duz.GetLastErrorString();
    EXPECT_STREQ(duz.FieldReadStringOrDefault("Summary", ""), "new");
    // The old section is gone, not kept before the new one.
    EXPECT_LT(ReadFile(path).size() + 250, before);
}

TEST(KDuzBinary, BigEndianFooterWordsAreReversed)
{
    ByteBuilder b(true);
    b.Header(6100);
    b.Record("A", b.V().I(1));
    b.Null();
    while (b.bytes.size() % 16 != 0)
        b.U8(0);
    b.U32(0).U32(5800).Zeros(120);  // main section footer, version 5800
    const uint8_t constant[16] = {0xf8, 0x5a, 0x8c, 0x6a, 0xde, 0xf5, 0xd9, 0x7e,
                                  0xec, 0xe9, 0x0c, 0xe3, 0x75, 0x8f, 0x29, 0x0b};
    b.bytes.insert(b.bytes.end(), constant, constant + 16);
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(b.bytes.data(), b.bytes.size(), true, false));
    EXPECT_EQ(duz.GetSectionVersion(0), 5800);
    EXPECT_EQ(duz.GetExtraSectionCount(), 0);
}

TEST(KDuzBinary, FooterPaddingIsOneToSixteenBytes)
{
    for (int misalignment : {0, 1, 15}) {
        SCOPED_TRACE(misalignment);
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreate(nullptr, 0, true, false));
        // A raw value sized so that the stream ends `misalignment` bytes past a multiple of 16.
        const int64_t start = duz.WritePosition() + 13 + 3 + 5;
        const uint32_t length = static_cast<uint32_t>((16 - start % 16 + misalignment) % 16 + 16);
        const std::vector<uint8_t> raw(length, 0xAB);
        duz.FieldWriteBegin("Pad");
        duz.FieldWriteRaw(raw.data(), length);
        duz.FieldWriteEnd();
        const int64_t before = duz.WritePosition();
        ASSERT_EQ(before % 16, misalignment);
        ASSERT_TRUE(duz.WriteFooter(0, 6100));
        const int64_t padding = duz.WritePosition() - 144 - before;
        EXPECT_EQ(padding, misalignment == 0 ? 16 : 16 - misalignment);
        void* buffer = nullptr;
        size_t size = 0;
        duz.ProjectClose(&buffer, &size);
        KMemFree(buffer);
    }
}

// Value lists of a megabyte and more are read when their occurrence is
// selected, into one buffer that the blocks of the section share; a list
// still being read by an enclosing block keeps its values meanwhile.
TEST(KDuzBinary, LargeValueListsAreReadWhenSelected)
{
    TempFolder folder;
    const std::string path = folder.File("large.duz");
    constexpr int kCount = 150000;  // 1.35 MB of doubles per field
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
        for (const char* name : {"A", "B"}) {
            duz.FieldWriteBegin(name);
            for (int i = 0; i < kCount; ++i)
                duz.FieldWriteDouble(name[0] == 'A' ? i : -i);
            duz.FieldWriteEnd();
        }
        duz.FieldWriteBegin("C");
        for (int i = 0; i < kCount * 2; ++i)
            duz.FieldWriteInt(i + 7);
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("D");
        for (int i = 0; i < kCount; ++i)
            duz.FieldWriteDouble(i * 0.5);
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.ProjectClose();
    }
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpen(path.c_str())) << duz.GetLastErrorString();
    auto expectDoubles = [&](const char* name, double step) {
        ASSERT_TRUE(duz.FieldReadBeginInstance(name, 0)) << name;
        ASSERT_EQ(duz.FieldReadGetValueCount(), kCount) << name;
        std::vector<double> values(kCount);
        duz.FieldReadDoubles(values.data(), kCount);
        EXPECT_EQ(values[1], step) << name;
        EXPECT_EQ(values[kCount - 1], step * (kCount - 1)) << name;
    };
    expectDoubles("A", 1.0);
    expectDoubles("B", -1.0);
    expectDoubles("A", 1.0);  // read again after B took the buffer

    ASSERT_TRUE(duz.FieldReadBegin("C"));
    EXPECT_EQ(duz.FieldReadInt(), 7);
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    expectDoubles("D", 0.5);
    duz.FieldReadBlockEnd();
    EXPECT_EQ(duz.FieldReadInt(), 8);
    EXPECT_EQ(duz.FieldReadGetRemainingValueCount(), kCount * 2 - 2);
    duz.FieldReadEnd();
    EXPECT_EQ(duz.GetLastErrorID(), -1);
    duz.ProjectClose();

    // A damaged list is found when it is read: no values, and the file is
    // marked corrupted.
    Bytes bytes = ReadFile(path);
    const std::string marker("\x01" "AD", 3);
    const auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end());
    ASSERT_NE(at, bytes.end());
    *(at + 2 + 9 * 1000) = 'X';
    WriteFile(path, bytes);
    ASSERT_TRUE(duz.ProjectOpen(path.c_str())) << duz.GetLastErrorString();
    ASSERT_TRUE(duz.FieldReadBegin("A"));
    EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorCorrupted);
    EXPECT_EQ(duz.FieldReadGetValueCount(), 0);
    EXPECT_EQ(duz.FieldReadDouble(), 0.0);
    duz.FieldReadEnd();
    expectDoubles("B", -1.0);
}

TEST(KDuzBinary, WritesStopAtTheFourGiBLimitWithoutAWrappedOffset)
{
    // A section appended to a file that ends just below 4 GiB. The file is
    // sparse: the test writes kilobytes, not gigabytes.
    TempFolder folder;
    const std::string path = folder.File("large.duz");
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
        duz.FieldWriteBegin("Main");
        duz.FieldWriteInt(1);
        duz.FieldWriteEnd();
        duz.ProjectClose();
    }
    std::filesystem::resize_file(path, uintmax_t(0xfffff000u));
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenForUpdate(path.c_str(), true, false)) << duz.GetLastErrorString();
    ASSERT_TRUE(duz.ProjectCreateSection(false)) << duz.GetLastErrorString();
    // Each field passes the limit in its values, not at its start.
    const std::vector<char> chunk(1000, 'x');
    int fields = 0;
    while (duz.GetLastErrorID() < 0 && fields < 100) {
        duz.FieldWriteBegin("Chunk");
        duz.FieldWriteRaw(chunk.data(), static_cast<uint32_t>(chunk.size()));
        duz.FieldWriteEnd();
        ++fields;
    }
    EXPECT_GT(fields, 1);
    EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorNoSpaceLeft);
    EXPECT_NE(std::string(duz.GetLastErrorString()).find("4 GiB"), std::string::npos) << duz.GetLastErrorString();
    duz.ProjectClose();
    EXPECT_LE(std::filesystem::file_size(path), uintmax_t(KDuz::kBinaryFileLimit));
}
