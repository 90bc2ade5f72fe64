#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "DuzTestSupport.h"
#include "sdk/base/KMemory.h"
#include "sdk/io/KDuz.h"

using namespace duzsdk;
using namespace duztest;

namespace {

Bytes MemoryProject(bool binary, const std::function<void(KDuz&)>& body, KDuzFileHeaderInfo* info = nullptr,
                    bool encrypted = false)
{
    KDuz duz;
    EXPECT_TRUE(duz.ProjectCreate(nullptr, 0, binary, encrypted, info));
    body(duz);
    void* buffer = nullptr;
    size_t size = 0;
    duz.ProjectClose(&buffer, &size);
    Bytes bytes(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + size);
    KMemFree(buffer);
    return bytes;
}

size_t Find(const Bytes& bytes, const std::string& text)
{
    return std::string(bytes.begin(), bytes.end()).find(text);
}

}  // namespace

TEST(KDuzHeaderExtension, TimeStampTexts)
{
    duzplatform::ScopedFixedLocalDateTime clock(FixedTime());
    KDuz duz;
    ASSERT_TRUE(duz.ProjectCreate(nullptr, 0, true, false));
    EXPECT_STREQ(duz.GetTimeStampText().Buffer(), "2007-03-05 14:07:09:123");
    EXPECT_STREQ(duz.GetCompactTimeStampText().Buffer(), "0903140512200707");
    // Values out of range would make the key text longer than an id.
    EXPECT_FALSE(duz.SetTimeStampFromText("2007-3-5 14:7:9"));
    EXPECT_TRUE(duz.SetTimeStampFromText("123456789-1-1 1:1:1:1"));
    EXPECT_TRUE(duz.GetCompactTimeStampText().IsEmpty());
    EXPECT_TRUE(duz.SetTimeStampFromText("-1-1-1 1:1:1:1"));
    EXPECT_TRUE(duz.GetCompactTimeStampText().IsEmpty());
    void* buffer = nullptr;
    size_t size = 0;
    duz.ProjectClose(&buffer, &size);
    KMemFree(buffer);
}

TEST(KDuzHeaderExtension, MixAndUnmixAreInverse)
{
    unsigned char block[16], key[16];
    for (int i = 0; i < 16; ++i) {
        block[i] = static_cast<unsigned char>(i * 37 + 1);
        key[i] = static_cast<unsigned char>(255 - i * 11);
    }
    unsigned char copy[16];
    std::memcpy(copy, block, 16);
    KDuz::MixId(copy, key);
    EXPECT_NE(0, std::memcmp(copy, block, 16));
    // The first byte follows the running byte that starts at 0x40.
    EXPECT_EQ(copy[0], 0x40 ^ block[0] ^ key[0]);
    KDuz::UnmixId(copy, key);
    EXPECT_EQ(0, std::memcmp(copy, block, 16));
}

TEST(KDuzHeaderExtension, HeaderInformationRoundTrip)
{
    for (bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "binary" : "ASCII");
        duzplatform::ScopedFixedLocalDateTime clock(FixedTime());
        KDuzFileHeaderInfo written;
        written.fileVersion = 5800;
        written.cameraResolutionFlag = true;
        written.cameraName = "Producer Perspective";
        written.cameraResolutionMode = "Fixed Resolution";
        written.cameraResolutionW = 640;
        written.cameraResolutionH = 480;
        const Bytes bytes = MemoryProject(binary, [](KDuz&) {}, &written);
        KDuz duz;
        KDuzFileHeaderInfo read;
        ASSERT_TRUE(duz.ProjectOpenMemory(bytes.data(), bytes.size(), true, true, &read))
            << duz.GetLastErrorString();
        EXPECT_EQ(duz.GetFileVersion(), 5800);
        EXPECT_TRUE(read.cameraResolutionFlag);
        EXPECT_STREQ(read.cameraName.Buffer(), "Producer Perspective");
        EXPECT_STREQ(read.cameraResolutionMode.Buffer(), "Fixed Resolution");
        EXPECT_EQ(read.cameraResolutionW, 640);
        EXPECT_EQ(read.cameraResolutionH, 480);
        EXPECT_TRUE(read.timeStampFlag);
        EXPECT_EQ(read.creationTime.year, 2007);
        EXPECT_EQ(read.creationTime.second, 9);
        EXPECT_FALSE(read.ple);
        EXPECT_STREQ(read.creator.Buffer(), KDuz::kCreatorText);
        // ASCII keeps the extension as the first field of the main section.
        EXPECT_EQ(duz.FieldGetInstanceCount("DUZHeaderExtension"), binary ? 0 : 1);
    }
}

TEST(KDuzHeaderExtension, OldExtensionVersionGivesOnlyTheVersion)
{
    ByteBuilder b;
    b.Header(6100);
    b.Record("DUZHeaderExtension", b.V(), [&] {
        b.Record("DUZHeaderVersion", b.V().I(1000));
        b.Record("DUZVersion", b.V().I(5800));
        b.Record("CurrentCameraResolution", b.V(), [&] {
            b.Record("CameraName", b.V().S("cam"));
            b.Null();
        });
        b.Record("Creator", b.V().S("someone"));
        b.Null();
    });
    b.Record("Field", b.V().I(1));
    b.Null();
    KDuz duz;
    KDuzFileHeaderInfo info;
    ASSERT_TRUE(duz.ProjectOpenMemory(b.bytes.data(), b.bytes.size(), true, true, &info)) << duz.GetLastErrorString();
    EXPECT_EQ(duz.GetFileVersion(), 5800);
    EXPECT_FALSE(duz.IsEncrypted());
    EXPECT_FALSE(info.cameraResolutionFlag);
    EXPECT_TRUE(info.creator.IsEmpty());
    EXPECT_EQ(duz.FieldReadIntOrDefault("Field", -1), 1);
    EXPECT_EQ(duz.FieldGetInstanceCount("DUZHeaderExtension"), 0);
}

TEST(KDuzHeaderExtension, UnknownEncryptionTypeFails)
{
    ByteBuilder b;
    b.Header(6100);
    b.Record("DUZHeaderExtension", b.V(), [&] {
        b.Record("DUZHeaderVersion", b.V().I(1003));
        b.Record("EncryptionType", b.V().I(2));
        b.Null();
    });
    b.Null();
    KDuz duz;
    EXPECT_FALSE(duz.ProjectOpenMemory(b.bytes.data(), b.bytes.size()));
    EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorVersionNotSupportedYet);
    EXPECT_STREQ(duz.GetLastErrorString(), "Encryption type is not supported");
}

TEST(KDuzHeaderExtension, FileIdsTieTheSectionToItsTime)
{
    Bytes bytes;
    {
        duzplatform::ScopedFixedLocalDateTime clock(FixedTime());
        bytes = MemoryProject(true, [](KDuz& duz) {
            duz.FieldWriteBegin("Data");
            duz.FieldWriteInt(1);
            duz.FieldWriteEnd();
        });
    }
    KDuz good;
    ASSERT_TRUE(good.ProjectOpenMemory(bytes.data(), bytes.size())) << good.GetLastErrorString();
    EXPECT_EQ(good.GetCreationTime().millisecond, 123);

    // Another creation time no longer matches the footer id.
    Bytes changed = bytes;
    const size_t at = Find(changed, "2007-03-05 14:07:09:123");
    ASSERT_NE(at, std::string::npos);
    changed[at + 3] = '8';
    KDuz bad;
    EXPECT_FALSE(bad.ProjectOpenMemory(changed.data(), changed.size()));
    EXPECT_EQ(bad.GetLastErrorID(), KDuz::kErrorCorrupted);

    // "FileId" without "CreationTime" does not open either.
    Bytes renamed = bytes;
    // The section's field, not the header extension's "CreationTimeStamp".
    const size_t time = Find(renamed, "\x0c" "CreationTimeS");
    ASSERT_NE(time, std::string::npos);
    renamed[time + 1] = 'X';
    KDuz missing;
    EXPECT_FALSE(missing.ProjectOpenMemory(renamed.data(), renamed.size()));
}

TEST(KDuzHeaderExtension, PasswordField)
{
    Bytes bytes = MemoryProject(true, [](KDuz& duz) {
        EXPECT_FALSE(duz.WritePasswordField(nullptr));
        EXPECT_TRUE(duz.WritePasswordField("pw"));
        EXPECT_FALSE(duz.WritePasswordField("pw"));  // once per file
        duz.FieldWriteBegin("Block");
        duz.FieldWriteBlockBegin();
        EXPECT_FALSE(duz.WritePasswordField("x"));
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    });
    // The password itself is not in the file.
    EXPECT_EQ(Find(bytes, "pw"), std::string::npos);
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(bytes.data(), bytes.size()));
    EXPECT_TRUE(duz.HasPassword());
    EXPECT_FALSE(duz.CheckPassword(""));
    EXPECT_TRUE(duz.CheckPassword("pw"));
    EXPECT_TRUE(duz.CheckPassword("anything"));  // checked once, then clear

    KDuz ascii;
    ASSERT_TRUE(ascii.ProjectCreate(nullptr, 0, false, false));
    EXPECT_FALSE(ascii.WritePasswordField("pw"));
    void* buffer = nullptr;
    size_t size = 0;
    ascii.ProjectClose(&buffer, &size);
    KMemFree(buffer);
}

TEST(KDuzHeaderExtension, EncipheredFileFailsCrcWhenChanged)
{
    TempFolder folder;
    const std::string path = folder.File("enc.duz");
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, true));
        duz.FieldWriteBegin("Secret");
        duz.FieldWriteString("value");
        duz.FieldWriteEnd();
        duz.ProjectClose();
    }
    Bytes bytes = ReadFile(path);
    EXPECT_EQ(bytes.size() % 16, 4u);  // whole cipher blocks, then the CRC trailer
    bytes[bytes.size() - 40] ^= 0x55;
    const std::string changed = folder.File("changed.duz");
    WriteFile(changed, bytes);
    KDuz duz;
    EXPECT_FALSE(duz.ProjectOpen(changed.c_str(), true, true));
    EXPECT_EQ(duz.GetLastErrorID(), KDuz::kErrorCrcCheckFailed);
}

TEST(KDuzHeaderExtension, MediaFolders)
{
    TempFolder folder;
    const std::string path = folder.File("scene.duz");
    KDuz duz;
    ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
    EXPECT_TRUE(duz.GetFbmFolder(false).IsEmpty());
    const KString made = duz.GetFbmFolder(true);
    EXPECT_STREQ(made.Buffer(), folder.File("scene.fbm/").c_str());
    EXPECT_TRUE(std::filesystem::is_directory(made.Buffer()));
    EXPECT_STREQ(duz.GetFbmFolder(false).Buffer(), made.Buffer());
    EXPECT_STREQ(duz.JoinFileFolderPath("tex.png"), folder.File("tex.png").c_str());
    duz.ProjectClose();
}

TEST(KDuzHeaderExtension, ExportKeepsForeignFilesInProjectFolder)
{
    TempFolder folder;
    std::filesystem::create_directories(folder.File("scene.fbd"));
    WriteText(folder.File("scene.fbd/Project.txt"), "old");
    WriteText(folder.File("scene.fbd/notes.txt"), "user data");
    KDuz duz;
    ASSERT_TRUE(duz.ProjectCreateFile(folder.File("scene.duz").c_str(), true, false));
    duz.ProjectClose();
    EXPECT_FALSE(std::filesystem::exists(folder.File("scene.fbd/Project.txt")));
    EXPECT_TRUE(std::filesystem::exists(folder.File("scene.fbd/notes.txt")));
}

TEST(KDuzHeaderExtension, EmbeddedMediaAreStoredOnceAndExtractedBesideTheFile)
{
    TempFolder folder;
    std::filesystem::create_directories(folder.File("a"));
    std::filesystem::create_directories(folder.File("b"));
    WriteText(folder.File("a/tex.png"), "first image");
    WriteText(folder.File("b/tex.png"), "second image");
    WriteText(folder.File("empty.png"), "");
    const std::string path = folder.File("media.duz");
    {
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), true, false));
        for (const char* name : {"a/tex.png", "a/tex.png", "b/tex.png", "empty.png"}) {
            duz.FieldWriteBegin("Media");
            duz.FieldWriteString(name);
            EXPECT_TRUE(duz.FieldWriteEmbeddedFile(folder.File(name).c_str(), name));
            duz.FieldWriteEnd();
        }
        EXPECT_FALSE(duz.FieldWriteEmbeddedFile(folder.File("none.png").c_str(), "none.png"));
        // Media names may come from a file: devices and FIFOs are refused
        // at once instead of being read forever or waited on.
        ASSERT_EQ(mkfifo(folder.File("pipe.png").c_str(), 0600), 0);
        for (const std::string& name : {std::string("/dev/zero"), folder.File("pipe.png"), folder.File("a")})
            EXPECT_FALSE(duz.FieldWriteEmbeddedFile(name.c_str(), nullptr)) << name;
        duz.ProjectClose();
    }
    const Bytes bytes = ReadFile(path);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find("first image"), text.rfind("first image"));  // stored once

    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpen(path.c_str())) << duz.GetLastErrorString();
    std::vector<std::string> extracted;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(duz.FieldReadBegin("Media"));
        KString fileName = folder.File(duz.FieldReadString()).c_str();
        KString relative = "x";
        bool wasExtracted = false;
        const bool result = duz.FieldReadEmbeddedFile(fileName, relative, nullptr, &wasExtracted);
        duz.FieldReadEnd();
        if (i == 1)
            continue;  // the repeated name carries no bytes of its own
        if (i == 3) {
            EXPECT_FALSE(result);  // nothing to extract from an empty value
            continue;
        }
        EXPECT_TRUE(result);
        EXPECT_TRUE(wasExtracted);
        extracted.push_back(fileName.Buffer());
    }
    ASSERT_EQ(extracted.size(), 2u);
    EXPECT_EQ(extracted[0], folder.File("media.fbm/tex.png"));
    EXPECT_EQ(extracted[1], folder.File("media.fbm/1/tex.png"));
    const Bytes second = ReadFile(extracted[1]);
    EXPECT_EQ(std::string(second.begin(), second.end()), "second image");
    EXPECT_TRUE(duz.WasEmbeddedFileExtracted());
}
