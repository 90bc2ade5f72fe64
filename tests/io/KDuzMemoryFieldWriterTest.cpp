#include <gtest/gtest.h>

#include "DuzTestSupport.h"
#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzMemoryFieldWriter.h"

using namespace duzsdk;
using namespace duztest;

TEST(KDuzMemoryFieldWriter, CloseHandsBackTheWrittenBytes)
{
    KDuzMemoryFieldWriter writer;
    ASSERT_TRUE(writer.Open());
    ASSERT_TRUE(writer.Close());
    ASSERT_NE(writer.GetBuffer(), nullptr);
    // An empty binary project: header, extension, ids and the footer; the
    // size is what was written, not the buffer's capacity.
    const uint32_t emptySize = writer.GetSize();
    EXPECT_EQ(emptySize % 16, 0u);
    EXPECT_GT(emptySize, 27u + 144u);
    EXPECT_EQ(emptySize, 848u);  // 27 + 491 + 152 + 13 + 16 + 5 + 144
    KDuz duz;
    EXPECT_TRUE(duz.ProjectOpenMemory(writer.GetBuffer(), writer.GetSize())) << duz.GetLastErrorString();
    EXPECT_EQ(duz.FieldGetInstanceCount("FileId"), 1);
}

TEST(KDuzMemoryFieldWriter, WrappedSubtreeReadsBack)
{
    KDuzMemoryFieldWriter writer;
    ASSERT_TRUE(writer.Open());
    EXPECT_EQ(writer.FieldWriteBegin("Copy"), 0);
    EXPECT_EQ(writer.FieldWriteBlockBegin(), 0);
    for (int i = 0; i < 200; ++i) {
        writer.FieldWriteBegin("Item");
        writer.FieldWriteChar('c');
        writer.FieldWriteInt(i);
        writer.FieldWriteInt64(int64_t(i) << 33);
        writer.FieldWriteFloat(0.5f);
        writer.FieldWriteDouble(i * 0.25);
        writer.FieldWriteString("Model::Thing");
        writer.FieldWriteTime(KTime(i));
        writer.FieldWriteEnd();
    }
    writer.FieldWriteBlockEnd();
    EXPECT_EQ(writer.FieldWriteEnd(), 0);
    ASSERT_TRUE(writer.Close());
    EXPECT_GT(writer.GetSize(), 1024u);  // grown past the first buffer

    KDuz duz;
    ASSERT_TRUE(duz.ProjectOpenMemory(writer.GetBuffer(), writer.GetSize())) << duz.GetLastErrorString();
    ASSERT_TRUE(duz.FieldReadBegin("Copy"));
    ASSERT_TRUE(duz.FieldReadBlockBegin());
    ASSERT_EQ(duz.FieldGetInstanceCount("Item"), 200);
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(duz.FieldReadBegin("Item"));
        EXPECT_EQ(duz.FieldReadChar(), 'c');
        EXPECT_EQ(duz.FieldReadInt(), i);
        EXPECT_EQ(duz.FieldReadInt64(), int64_t(i) << 33);
        EXPECT_EQ(duz.FieldReadFloat(), 0.5f);
        EXPECT_EQ(duz.FieldReadDouble(), i * 0.25);
        EXPECT_STREQ(duz.FieldReadString(), "Model::Thing");
        EXPECT_EQ(duz.FieldReadTime().Get(), i);
        duz.FieldReadEnd();
    }
}

TEST(KDuzMemoryFieldWriter, LifecycleWithoutStream)
{
    KDuzMemoryFieldWriter idle;
    EXPECT_FALSE(idle.Close());
    EXPECT_EQ(idle.FieldWriteInt(1), KDuz::kErrorFileNotOpened);
    idle.Destroy();  // frees only the state
    EXPECT_EQ(idle.GetState(), nullptr);
    EXPECT_FALSE(idle.Open());
    EXPECT_FALSE(idle.Close());

    // Destroy of an open writer closes it first; a second Open reuses the buffer.
    KDuzMemoryFieldWriter writer;
    ASSERT_TRUE(writer.Open());
    writer.FieldWriteBegin("A");
    writer.FieldWriteString(std::string(5000, 'x').c_str());
    writer.FieldWriteEnd();
    ASSERT_TRUE(writer.Open());  // the first stream is closed, not lost
    ASSERT_TRUE(writer.Close());
    writer.Destroy();
    EXPECT_EQ(writer.GetBuffer(), nullptr);

    KDuzMemoryFieldWriter open;
    ASSERT_TRUE(open.Open());
    open.FieldWriteBegin("B");
    open.FieldWriteString(std::string(5000, 'y').c_str());
    open.Destroy();
}
