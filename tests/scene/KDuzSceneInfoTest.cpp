#include "sdk/scene/KDuzSceneInfo.h"

#include "sdk/base/KMemory.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzMediaContent.h"
#include "sdk/scene/KDuzThumbnail.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace duzsdk {
namespace {

class KDuzSceneInfoTest : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
    }
    void TearDown() override {
        if (manager != nullptr) manager->Destroy();
    }

    KDuzSdkManager* manager = nullptr;
};

TEST_F(KDuzSceneInfoTest, NewInfoIsEmptyAndCopySharesTheThumbnail) {
    KDuzSceneInfo* info = KDuzSceneInfo::Create(manager, "info");
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->Is(KDuzClassIdOf(eDuzClassSceneInfo)));
    for (const KString* text : {&info->title, &info->subject, &info->author, &info->keywords,
                                &info->revision, &info->comment})
        EXPECT_STREQ(text->Buffer(), "");
    EXPECT_EQ(info->GetSceneThumbnail(), nullptr);

    KDuzThumbnail* thumbnail = KDuzThumbnail::Create(manager, "thumb");
    ASSERT_NE(thumbnail, nullptr);
    info->title = "Title";
    info->comment = "Comment";
    info->SetSceneThumbnail(thumbnail);

    KDuzSceneInfo* copy = KDuzSceneInfo::Create(manager, "copy");
    ASSERT_NE(copy, nullptr);
    copy->Copy(*info);
    EXPECT_STREQ(copy->title.Buffer(), "Title");
    EXPECT_STREQ(copy->comment.Buffer(), "Comment");
    EXPECT_EQ(copy->GetSceneThumbnail(), thumbnail);
    EXPECT_EQ(info->GetSceneThumbnail(), thumbnail);

    // Clearing forgets the thumbnail; it belongs to the manager, not the info.
    copy->Clear();
    EXPECT_STREQ(copy->title.Buffer(), "");
    EXPECT_EQ(copy->GetSceneThumbnail(), nullptr);
    EXPECT_EQ(thumbnail->GetSize(), KDuzThumbnail::eNOT_SET);
}

TEST_F(KDuzSceneInfoTest, ThumbnailSizesFollowTheTable) {
    struct Row {
        int size;
        int format;
        int bytes;
    };
    constexpr Row kRows[] = {
        {64, 0, 12288}, {64, 1, 16384}, {64, 7, 16384},  {128, 0, 49152},
        {128, 1, 65536}, {100, 0, 0},   {0, 1, 0},       {-64, 0, 0},
    };
    KDuzThumbnail* thumbnail = KDuzThumbnail::Create(manager, "thumb");
    ASSERT_NE(thumbnail, nullptr);
    EXPECT_EQ(thumbnail->GetThumbnailImage(), nullptr);
    EXPECT_EQ(thumbnail->GetSizeInBytes(), 0);
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::to_string(row.size) + "/" + std::to_string(row.format));
        thumbnail->SetDataFormat(row.format);
        thumbnail->SetSize(row.size);
        EXPECT_EQ(thumbnail->GetSize(), row.size);
        EXPECT_EQ(thumbnail->GetSizeInBytes(), row.bytes);
        EXPECT_EQ(thumbnail->GetThumbnailImage() != nullptr, row.bytes > 0);
        if (row.bytes > 0) {
            // The whole image is writable, as the readers fill it.
            std::memset(thumbnail->GetThumbnailImage(), 0xAB, static_cast<size_t>(row.bytes));
        }
    }
}

TEST_F(KDuzSceneInfoTest, ThumbnailFormatChangeKeepsTheImageAsLargeAsItsByteCount) {
    KDuzThumbnail* thumbnail = KDuzThumbnail::Create(manager, "thumb");
    ASSERT_NE(thumbnail, nullptr);
    thumbnail->SetSize(KDuzThumbnail::e64x64);
    ASSERT_EQ(thumbnail->GetSizeInBytes(), 12288);
    // Growing from three to four bytes per pixel: a reader copying
    // GetSizeInBytes bytes must stay inside the image (ASan checks).
    thumbnail->SetDataFormat(KDuzThumbnail::eRGBA_32);
    ASSERT_EQ(thumbnail->GetSizeInBytes(), 16384);
    ASSERT_NE(thumbnail->GetThumbnailImage(), nullptr);
    std::memset(thumbnail->GetThumbnailImage(), 1, static_cast<size_t>(thumbnail->GetSizeInBytes()));

    // A format change that keeps the byte count keeps the pixels.
    thumbnail->SetDataFormat(9);
    EXPECT_EQ(thumbnail->GetThumbnailImage()[16383], 1);
}

TEST(KDuzMediaContentTest, NewContentHasTheInitialValues) {
    KDuzMediaContent content;
    EXPECT_EQ(content.width, 0);
    EXPECT_EQ(content.height, 0);
    EXPECT_EQ(content.bytesPerPixel, 3);
    EXPECT_EQ(content.content, nullptr);
    EXPECT_EQ(content.originalFormat, 1);
    EXPECT_FALSE(content.valid);
    EXPECT_FALSE(content.ownsBuffer);
    content.SetOriginalFileName("a.tif");
    EXPECT_STREQ(content.GetOriginalFileName().Buffer(), "a.tif");
    content.Clear();
    EXPECT_STREQ(content.GetOriginalFileName().Buffer(), "");
}

TEST(KDuzMediaContentTest, AllocateChecksItsRequestBeforeAllocating) {
    struct Row {
        int width;
        int height;
        bool own;
        int format;
        int bytesPerPixel;
        bool valid;
        size_t bytes;
    };
    constexpr Row kRows[] = {
        {0, 10, true, 0, 3, false, 0},    {4, 4, false, 5, 3, true, 0},   {4, 4, true, 1, 4, true, 64},
        {4, 4, true, 2, 4, false, 0},     {4, -1, true, 0, 3, false, 0},  {4, 4, true, 0, 0, false, 0},
        // Bytes per pixel is a signed byte: 0x1FF reads as -1.
        {4, 4, true, 0, 0x1FF, false, 0}, {3, 5, true, 0, 3, true, 45},
        // Too large to address in a 32-bit count: refused, not truncated.
        {65536, 65536, true, 0, 4, false, 0},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height) + " f" +
                     std::to_string(row.format) + " b" + std::to_string(row.bytesPerPixel));
        KDuzMediaContent content;
        EXPECT_EQ(content.Allocate(row.width, row.height, row.own, row.format, row.bytesPerPixel), row.valid);
        EXPECT_EQ(content.valid, row.valid);
        EXPECT_EQ(content.ownsBuffer, row.own);
        EXPECT_EQ(content.content != nullptr, row.bytes > 0);
        EXPECT_EQ(content.GetByteCount(), row.bytes);
        if (row.bytes > 0) std::memset(content.content, 0, row.bytes);
    }
}

TEST(KDuzMediaContentTest, ReallocatingAndClearingFreeOnlyOwnedBuffers) {
    KDuzMediaContent content;
    ASSERT_TRUE(content.Allocate(8, 8, true, 0, 3));
    // A second request frees the first buffer (LeakSanitizer checks).
    ASSERT_TRUE(content.Allocate(2, 2, true, 0, 4));
    EXPECT_EQ(content.GetByteCount(), 16u);
    content.Clear();
    EXPECT_EQ(content.content, nullptr);
    EXPECT_FALSE(content.valid);

    // A borrowed buffer stays with its lender.
    unsigned char lent[12] = {};
    ASSERT_TRUE(content.Allocate(2, 2, false, 0, 3));
    content.content = lent;
    content.Clear();
    EXPECT_EQ(content.content, nullptr);
}

}  // namespace
}  // namespace duzsdk
