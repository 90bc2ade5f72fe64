#include "FtkTestSupport.h"

#include "sdk/formats/3dsftk/FtkPrim.h"

#include <string>
#include <unistd.h>

using namespace duzsdk;
namespace {

using Bytes = std::vector<unsigned char>;

class FtkFileTest : public FtkTest {};

TEST_F(FtkFileTest, ErrorTextsAreExact)
{
    EXPECT_STREQ(FtkErrorText(0), "NO_FTK_ERRORS: No errors are pending");
    EXPECT_STREQ(FtkErrorText(4), "ERR_INVALID_CHUNK: An invalid chunk structure was encountered while reading the database. Usually caused by a corrupt database or file");
    EXPECT_STREQ(FtkErrorText(19), "ERR_TOO_MANY_FILES: The toolkit has reached its maximum open file limit of 252 files.");
    EXPECT_STREQ(FtkErrorText(22), "N_ERRORS: More errors were reported then could be recorded.");
    for (int code : {20, 21, 23, -1})
        EXPECT_STREQ(FtkErrorText(code), "Unknown error code was encountered") << code;
}

TEST_F(FtkFileTest, ErrorListOverflowsIntoOneEntryThenNErrors)
{
    EXPECT_EQ(FtkPushError(0), nullptr);
    EXPECT_FALSE(FtkErrorPending());
    for (int i = 0; i < kFtkErrorSlots; ++i)
        FtkPushError(1 + i % 18);
    EXPECT_TRUE(FtkErrorPending());
    EXPECT_EQ(FtkErrorAt(18).code, 1 + 18 % 18);
    EXPECT_EQ(FtkErrorOverflow().code, 0);
    EXPECT_STREQ(FtkPushError(ERR_INVALID_CHUNK), FtkErrorText(ERR_INVALID_CHUNK));
    EXPECT_EQ(FtkErrorOverflow().code, ERR_INVALID_CHUNK);
    FtkPushError(ERR_NO_MEM);
    EXPECT_EQ(FtkErrorOverflow().code, N_ERRORS);
    FtkPushError(ERR_NO_MEM);
    EXPECT_EQ(FtkErrorOverflow().code, N_ERRORS);
    FtkErrorReset();
    EXPECT_FALSE(FtkErrorPending());
    EXPECT_EQ(FtkErrorAt(0).code, 0);
    EXPECT_EQ(FtkErrorOverflow().code, 0);
}

TEST_F(FtkFileTest, ModeTextTakesFirstROrW)
{
    const std::string path = Path("m.bin");
    WriteFile(path, {1});
    struct Case {
        const char* mode;
        uint32_t expected; // 0: refused
    } cases[] = {{"rb", kFtkModeRead}, {"wb", kFtkModeWrite}, {"bwr", kFtkModeWrite}, {"xyz", 0}, {"", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        FtkReset();
        FtkFile* f = FtkFileOpen(path.c_str(), c.mode);
        if (c.expected == 0) {
            EXPECT_EQ(f, nullptr);
            EXPECT_EQ(FtkErrorAt(0).code, ERR_INIT_FAILED);
        } else {
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(f->mode, c.expected);
        }
    }
    FtkReset();
    EXPECT_EQ(FtkFileOpen(nullptr, "rb"), nullptr);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_INVALID_ARG);
    FtkReset();
    EXPECT_EQ(FtkFileOpen(Path("missing").c_str(), "rb"), nullptr);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_OPENING_FILE);
    // A device is no 3DS file: refused at once, not read without end.
    FtkReset();
    EXPECT_EQ(FtkFileOpen("/dev/zero", "rb"), nullptr);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_OPENING_FILE);
}

TEST_F(FtkFileTest, SameNameTwiceForReadingGivesOneRecord)
{
    const std::string path = Path("a.bin");
    WriteFile(path, {1, 2});
    FtkFile* a = FtkFileOpen(path.c_str(), "rb");
    FtkFile* b = FtkFileOpen(path.c_str(), "rb");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a->slot, 0);
    EXPECT_EQ(FtkFileByIndex(0), a);
    EXPECT_EQ(FtkFileByIndex(1), nullptr);
    EXPECT_FALSE(FtkErrorPending());
}

TEST_F(FtkFileTest, SlotsAreReusedLowestFirstAndLimitedTo252)
{
    const std::string path = Path("many.bin");
    WriteFile(path, {1});
    // A distinct name per record: the same file reached through "/." steps.
    auto nameFor = [&](int i) {
        std::string name = dir;
        for (int j = 0; j < i; ++j)
            name += "/.";
        return name + "/many.bin";
    };
    std::vector<FtkFile*> files;
    for (int i = 0; i < kFtkMaxFiles; ++i) {
        FtkFile* f = FtkFileOpen(nameFor(i).c_str(), "rb");
        ASSERT_NE(f, nullptr) << i;
        ASSERT_EQ(f->slot, i);
        files.push_back(f);
    }
    EXPECT_EQ(FtkFileUsedSlots(), 252u);
    EXPECT_EQ(FtkFileOpen(nameFor(300).c_str(), "rb"), nullptr);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_TOO_MANY_FILES);
    FtkErrorReset();
    FtkFileClose(files[7]);
    FtkFileClose(files[3]);
    FtkFile* again = FtkFileOpen(nameFor(300).c_str(), "rb");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->slot, 3);
    EXPECT_EQ(FtkFileUsedSlots(), 252u);
}

TEST_F(FtkFileTest, ClosingTheCurrentFileResetsIt)
{
    const std::string path = Path("c.bin");
    WriteFile(path, {5, 6});
    FtkFile* f = OpenForRead(path);
    ASSERT_NE(f, nullptr);
    FtkFileClose(f);
    EXPECT_EQ(FtkCurrentFileRecord(), nullptr);
    EXPECT_EQ(FtkReadByte(), 0);
    EXPECT_EQ(FtkErrorAt(0).code, ERR_READING_FILE);
}

TEST_F(FtkFileTest, OpeningForWritingMovesTheReaderToATemporary)
{
    const std::string path = Path("scene.3ds");
    WriteFile(path, {10, 20, 30, 40});
    FtkFile* reader = OpenForRead(path);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(FtkReadByte(), 10);
    uint8_t slot = reader->slot;

    FtkFile* writer = FtkFileOpen(path.c_str(), "wb");
    ASSERT_NE(writer, nullptr);
    ASSERT_FALSE(FtkErrorPending());
    EXPECT_NE(writer, reader);
    EXPECT_EQ(reader->slot, slot);
    EXPECT_TRUE(reader->temporary);
    std::string temp = reader->name;
    EXPECT_EQ(temp.rfind(dir + "/", 0), 0u) << temp;
    EXPECT_NE(temp, path);
    // Reading goes on where it stood.
    FtkSetCurrentFileByIndex(slot);
    EXPECT_EQ(FtkReadByte(), 20);
    FtkSetCurrentFile(writer);
    FtkWriteByte(99);
    FtkFileClose(writer);
    EXPECT_EQ(ReadFile(path), Bytes{99});
    EXPECT_TRUE(std::filesystem::exists(temp));
    FtkFileClose(reader);
    EXPECT_FALSE(std::filesystem::exists(temp));
    EXPECT_FALSE(FtkErrorPending());
}

TEST_F(FtkFileTest, OpeningForReadingClosesAWriterOfTheSameName)
{
    const std::string path = Path("w.bin");
    FtkFile* writer = FtkFileOpen(path.c_str(), "wb");
    ASSERT_NE(writer, nullptr);
    FtkSetCurrentFile(writer);
    FtkWriteShort(0x0201);
    FtkFile* reader = OpenForRead(path);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(FtkFileFindByName(path.c_str()), reader);
    EXPECT_EQ(FtkReadShort(), 0x0201); // the writer was flushed by its close
    EXPECT_FALSE(FtkErrorPending());
}

} // namespace
