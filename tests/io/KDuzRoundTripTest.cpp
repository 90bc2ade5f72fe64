#include <gtest/gtest.h>

#include <string>

#include "DuzTestSupport.h"
#include "sdk/base/KMemory.h"
#include "sdk/io/KDuz.h"

using namespace duzsdk;
using namespace duztest;

namespace {

struct Mode {
    const char* name;
    bool binary;
    bool encrypted;
    const char* password;
};

const Mode kModes[] = {
    {"Binary", true, false, nullptr},
    {"Ascii", false, false, nullptr},
    {"Enciphered", true, true, nullptr},
    {"Password", true, false, "secret"},
    {"EncipheredPassword", true, true, "p%s"},
};

void WriteTree(KDuz& duz, const Mode& mode)
{
    if (mode.password != nullptr) {
        EXPECT_TRUE(duz.WritePasswordField(mode.password));
    }
    duz.FieldWriteBegin("Scalars");
    duz.FieldWriteChar('Z');
    duz.FieldWriteInt(-123456);
    duz.FieldWriteInt64(-9000000000000LL);
    duz.FieldWriteFloat(1.5f);
    duz.FieldWriteDouble(0.1);
    duz.FieldWriteString("Model::Cube");
    duz.FieldWriteString("");
    duz.FieldWriteString("with, comma: and {brace} 100%");
    duz.FieldWriteEnd();
    if (mode.binary) {
        duz.FieldWriteBegin("Raw");
        const unsigned char raw[5] = {0, 1, 2, 0xfe, 0xff};
        EXPECT_TRUE(duz.FieldWriteRaw(raw, sizeof(raw)));
        duz.FieldWriteEnd();
    }
    duz.FieldWriteBegin("Array");
    for (int i = 0; i < 1000; ++i)
        duz.FieldWriteDouble(i * 0.5 - 100);
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("Objects");
    duz.FieldWriteBlockBegin();
    for (int m = 0; m < 3; ++m) {
        duz.FieldWriteBegin("Model");
        duz.FieldWriteString(("Model::M" + std::to_string(m)).c_str());
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBegin("Index");
        duz.FieldWriteInt(m);
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Times");
        duz.FieldWriteTimeSpan(KTime(m), KTime(46186158000LL * m));
        duz.FieldWriteEnd();
        duz.FieldWriteBegin("Empty");
        duz.FieldWriteBlockBegin();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
    }
    duz.FieldWriteBlockEnd();
    duz.FieldWriteEnd();
    duz.FieldWriteBegin("Tail");
    duz.FieldWriteInt(99);
    duz.FieldWriteEnd();
}

void CheckTree(KDuz& duz, const Mode& mode)
{
    if (mode.password != nullptr) {
        EXPECT_TRUE(duz.HasPassword());
        EXPECT_FALSE(duz.CheckPassword("wrong"));
        EXPECT_TRUE(duz.CheckPassword(mode.password));
    } else {
        EXPECT_FALSE(duz.HasPassword());
    }
    ASSERT_TRUE(duz.FieldReadBegin("Scalars"));
    ASSERT_EQ(duz.FieldReadGetValueCount(), 8);
    EXPECT_EQ(duz.FieldReadChar(), 'Z');
    EXPECT_EQ(duz.FieldReadInt(), -123456);
    EXPECT_EQ(duz.FieldReadInt64(), -9000000000000LL);
    EXPECT_EQ(duz.FieldReadFloat(), 1.5f);
    EXPECT_EQ(duz.FieldReadDouble(), 0.1);
    EXPECT_STREQ(duz.FieldReadString(), "Model::Cube");
    EXPECT_STREQ(duz.FieldReadString(), "");
    EXPECT_STREQ(duz.FieldReadString(), "with, comma: and {brace} 100%");
    duz.FieldReadEnd();
    if (mode.binary) {
        ASSERT_TRUE(duz.FieldReadBegin("Raw"));
        int length = 0;
        const auto* raw = static_cast<const unsigned char*>(duz.FieldReadRaw(&length));
        ASSERT_EQ(length, 5);
        EXPECT_EQ(raw[4], 0xff);
        duz.FieldReadEnd();
    }
    ASSERT_TRUE(duz.FieldReadBegin("Array"));
    ASSERT_EQ(duz.FieldReadGetValueCount(), 1000);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(duz.FieldReadDouble(), i * 0.5 - 100) << i;
    duz.FieldReadEnd();
    ASSERT_TRUE(duz.FieldReadBegin("Objects"));
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    ASSERT_EQ(duz.FieldGetInstanceCount("Model"), 3);
    for (int m = 0; m < 3; ++m) {
        ASSERT_TRUE(duz.FieldReadBegin("Model"));
        EXPECT_EQ(duz.FieldReadString(), "Model::M" + std::to_string(m));
        ASSERT_TRUE(duz.FieldReadBlockBegin());
        EXPECT_EQ(duz.FieldReadIntOrDefault("Index", -1), m);
        KTime start, stop;
        duz.FieldReadTimeSpanByName("Times", &start, &stop);
        EXPECT_EQ(start.Get(), m);
        EXPECT_EQ(stop.Get(), 46186158000LL * m);
        ASSERT_TRUE(duz.FieldReadBegin("Empty"));
        // An empty block reads as a block without fields.
        if (duz.FieldReadBlockBegin()) {
            EXPECT_EQ(duz.FieldGetCount(), 0);
            duz.FieldReadBlockEnd();
        }
        duz.FieldReadEnd();
        duz.FieldReadBlockEnd();
        duz.FieldReadEnd();
    }
    duz.FieldReadBlockEnd();
    duz.FieldReadEnd();
    EXPECT_EQ(duz.FieldReadIntOrDefault("Tail", -1), 99);
}

class KDuzRoundTrip : public ::testing::TestWithParam<Mode> {};

}  // namespace

TEST_P(KDuzRoundTrip, DiskFileReadsBackEqual)
{
    const Mode& mode = GetParam();
    TempFolder folder;
    const std::string path = folder.File("round.duz");
    {
        duzplatform::ScopedFixedLocalDateTime clock(FixedTime());
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreateFile(path.c_str(), mode.binary, mode.encrypted)) << duz.GetLastErrorString();
        WriteTree(duz, mode);
        EXPECT_EQ(duz.GetLastErrorID(), -1) << duz.GetLastErrorString();
        duz.ProjectClose();
    }
    const Bytes bytes = ReadFile(path);
    const std::string text(bytes.begin(), bytes.end());
    // Enciphered bodies hide their names; the header extension stays readable.
    EXPECT_EQ(text.find("Objects") == std::string::npos, mode.encrypted);
    EXPECT_NE(text.find("DUZHeaderExtension"), std::string::npos);
    KDuz duz;
    KDuzFileHeaderInfo info;
    ASSERT_TRUE(duz.ProjectOpenForReader(path.c_str(), true, true, &info)) << duz.GetLastErrorString();
    EXPECT_EQ(duz.IsBinary(), mode.binary);
    EXPECT_EQ(duz.IsEncrypted(), mode.encrypted);
    EXPECT_EQ(duz.GetFileVersion(), 6100);
    EXPECT_TRUE(info.timeStampFlag);
    EXPECT_EQ(info.creationTime.millisecond, 123);
    EXPECT_STREQ(info.creator.Buffer(), KDuz::kCreatorText);
    CheckTree(duz, mode);
}

TEST_P(KDuzRoundTrip, MemoryProjectReadsBackEqualAndIsReproducible)
{
    const Mode& mode = GetParam();
    Bytes first;
    for (int pass = 0; pass < 2; ++pass) {
        duzplatform::ScopedFixedLocalDateTime clock(FixedTime());
        KDuz duz;
        ASSERT_TRUE(duz.ProjectCreate(nullptr, 0, mode.binary, mode.encrypted));
        WriteTree(duz, mode);
        void* buffer = nullptr;
        size_t size = 0;
        duz.ProjectClose(&buffer, &size);
        Bytes bytes(static_cast<uint8_t*>(buffer), static_cast<uint8_t*>(buffer) + size);
        KMemFree(buffer);
        if (pass == 0)
            first = bytes;
        else
            EXPECT_EQ(bytes, first);  // a fixed clock gives the same bytes
    }
    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(first.data(), first.size())) << duz.GetLastErrorString();
    CheckTree(duz, mode);
}

INSTANTIATE_TEST_SUITE_P(Modes, KDuzRoundTrip, ::testing::ValuesIn(kModes),
                         [](const ::testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });
