#include "sdk/geometry/KDuzVideo.h"

#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzLight.h"

#include <gtest/gtest.h>

namespace duzsdk {
namespace {

class KDuzVideoTest : public ::testing::Test {
protected:
    void SetUp() override { manager = KDuzSdkManager::Create(); }
    void TearDown() override { manager->Destroy(); }

    KDuzSdkManager* manager = nullptr;
};

TEST_F(KDuzVideoTest, NewVideoHasItsDefaults) {
    KDuzVideo* video = KDuzVideo::Create(manager, "clip");
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->GetFileName(), nullptr);
    EXPECT_STREQ(video->GetRelativeFileName(), "");
    EXPECT_FALSE(video->GetUseMipMap());
    EXPECT_TRUE(video->GetOriginalFormat());
    EXPECT_STREQ(video->GetOriginalFilename(), "");
    EXPECT_EQ(video->FindProperty("PlaySpeed").GetDouble(), 1.0);
    for (const char* name : {"FrameRate", "LastFrame", "Width", "Height", "StartFrame", "StopFrame",
                             "InterlaceMode", "AccessMode", "FreeRunning", "Loop"}) {
        SCOPED_TRACE(name);
        KDuzProperty property = video->FindProperty(name);
        ASSERT_TRUE(property.IsValid());
        EXPECT_EQ(property.GetDouble(), 0.0);
    }
    EXPECT_EQ(video->FindProperty("Offset").GetTime().Get(), 0);
    EXPECT_TRUE(video->FindProperty("Path").IsValid());
    EXPECT_STREQ(video->GetTypeName().Buffer(), "Clip");
    KStringList flags = video->GetTypeFlags();
    ASSERT_EQ(flags.GetCount(), 1);
    EXPECT_STREQ(flags.GetStringAt(0), "Clip");
    EXPECT_EQ(video->GetNameKind(), 5);
    EXPECT_STREQ(video->FindProperty("AccessMode").GetEnumValue(7), "Full Frame Odd/Even");
    EXPECT_EQ(manager->FindVideo("clip"), video);
}

TEST(KDuzVideoEnumNameTest, TextsOfBothEnumerations) {
    static constexpr const char* kInterlace[] = {"Disk", "Memory", "Disk Async"};
    static constexpr const char* kAccess[] = {"None", "Fields", "Half Frame Even", "Half Frame Odd",
                                              "Full Frame Even", "Full Frame Odd",
                                              "Full Frame Even/Odd", "Full Frame Odd/Even"};
    for (int i = 0; i < 3; ++i) EXPECT_STREQ(KDuzVideoEnumName(eDuzVideoEnumInterlaceMode, i), kInterlace[i]);
    for (int i = 0; i < 8; ++i) EXPECT_STREQ(KDuzVideoEnumName(eDuzVideoEnumAccessMode, i), kAccess[i]);
    EXPECT_EQ(KDuzVideoEnumName(eDuzVideoEnumInterlaceMode, 3), nullptr);
    EXPECT_EQ(KDuzVideoEnumName(eDuzVideoEnumAccessMode, 8), nullptr);
    EXPECT_EQ(KDuzVideoEnumName(eDuzVideoEnumAccessMode, -1), nullptr);
    EXPECT_EQ(KDuzVideoEnumName(2, 0), nullptr);
}

TEST_F(KDuzVideoTest, PathBufferGrowsOnlyForLongerNames) {
    KDuzVideo* video = KDuzVideo::Create(manager, "clip");
    ASSERT_NE(video, nullptr);
    EXPECT_FALSE(video->SetFileName(""));
    EXPECT_FALSE(video->SetFileName(nullptr));
    EXPECT_EQ(video->GetFileName(), nullptr);

    ASSERT_TRUE(video->SetFileName("a/one.avi"));
    const char* first = video->GetFileName();
    const size_t capacity = video->GetVideoInternal()->Data().GetPathCapacity();
    EXPECT_EQ(capacity, 10u);
    ASSERT_TRUE(video->SetFileName("b/two.avi"));
    EXPECT_EQ(video->GetFileName(), first);
    EXPECT_STREQ(video->GetFileName(), "b/two.avi");
    ASSERT_TRUE(video->SetFileName("c.avi"));
    EXPECT_EQ(video->GetFileName(), first);
    EXPECT_EQ(video->GetVideoInternal()->Data().GetPathCapacity(), capacity);
    ASSERT_TRUE(video->SetFileName("a/much/longer/name.avi"));
    EXPECT_STREQ(video->GetFileName(), "a/much/longer/name.avi");
    EXPECT_GT(video->GetVideoInternal()->Data().GetPathCapacity(), capacity);
    EXPECT_FALSE(video->SetFileName(""));
    EXPECT_STREQ(video->GetFileName(), "a/much/longer/name.avi");

    // The "Path" property is the same text.
    KString path;
    ASSERT_TRUE(video->FindProperty("Path").GetValue(&path, eValueKindString));
    EXPECT_STREQ(path.Buffer(), "a/much/longer/name.avi");
}

TEST_F(KDuzVideoTest, ConnectingToATextureHandsOverItsNames) {
    KDuzVideo* video = KDuzVideo::Create(manager, "clip");
    KDuzTexture* texture = KDuzTexture::Create(manager, "wood");
    ASSERT_NE(video, nullptr);
    ASSERT_NE(texture, nullptr);
    video->SetFileName("maps/wood.avi");
    video->SetRelativeFileName("wood.avi");
    ASSERT_TRUE(texture->ConnectSrcObject(video));
    EXPECT_STREQ(texture->GetFileName(), "maps/wood.avi");
    EXPECT_STREQ(texture->GetRelativeFileName(), "wood.avi");
    EXPECT_STREQ(texture->GetMediaName(), "clip");

    // Both ways, once each.
    EXPECT_TRUE(texture->SetFileName("maps/oak.avi"));
    EXPECT_STREQ(video->GetFileName(), "maps/oak.avi");
    EXPECT_TRUE(video->SetFileName("maps/pine.avi"));
    EXPECT_STREQ(texture->GetFileName(), "maps/pine.avi");
    EXPECT_TRUE(texture->SetRelativeFileName("oak.avi"));
    EXPECT_STREQ(video->GetRelativeFileName(), "oak.avi");
    EXPECT_TRUE(video->SetRelativeFileName("pine.avi"));
    EXPECT_STREQ(texture->GetRelativeFileName(), "pine.avi");
}

TEST_F(KDuzVideoTest, AnEqualNameIsNotForwarded) {
    KDuzVideo* video = KDuzVideo::Create(manager, "clip");
    KDuzTexture* texture = KDuzTexture::Create(manager, "wood");
    ASSERT_NE(video, nullptr);
    ASSERT_NE(texture, nullptr);
    video->SetFileName("a.avi");
    ASSERT_TRUE(texture->ConnectSrcObject(video));
    // The path property changes the video's text without forwarding it, so
    // the two differ; setting the video's current text again leaves the
    // texture alone.
    const KString changed("b.avi");
    ASSERT_TRUE(video->FindProperty("Path").SetValue(&changed, eValueKindString));
    ASSERT_STREQ(video->GetFileName(), "b.avi");
    EXPECT_TRUE(video->SetFileName("b.avi"));
    EXPECT_STREQ(texture->GetFileName(), "a.avi");
    // And a texture name equal to the video's does not call the video.
    const char* buffer = video->GetFileName();
    EXPECT_TRUE(texture->SetFileName("b.avi"));
    EXPECT_EQ(video->GetFileName(), buffer);
    EXPECT_STREQ(video->GetFileName(), "b.avi");
}

TEST_F(KDuzVideoTest, ConnectingToALightSetsItsGobo) {
    KDuzVideo* video = KDuzVideo::Create(manager, "gobo");
    KDuzLight* light = KDuzLight::Create(manager, "spot");
    ASSERT_NE(video, nullptr);
    ASSERT_NE(light, nullptr);
    video->SetFileName("gobos/leaves.bmp");
    ASSERT_TRUE(light->ConnectSrcObject(video));
    EXPECT_STREQ(light->GetFileName(), "gobos/leaves.bmp");
}

TEST_F(KDuzVideoTest, OnlyTheFirstTextureHearsANewName) {
    KDuzVideo* video = KDuzVideo::Create(manager, "clip");
    KDuzTexture* first = KDuzTexture::Create(manager, "first");
    KDuzTexture* second = KDuzTexture::Create(manager, "second");
    ASSERT_TRUE(first->ConnectSrcObject(video));
    ASSERT_TRUE(second->ConnectSrcObject(video));
    EXPECT_TRUE(video->SetFileName("x.avi"));
    EXPECT_STREQ(first->GetFileName(), "x.avi");
    EXPECT_STREQ(second->GetFileName(), "");
}

TEST_F(KDuzVideoTest, CloneSharesNamesAndValuesAndOutlivesItsSource) {
    KDuzVideo* video = KDuzVideo::Create(manager, "clip");
    ASSERT_NE(video, nullptr);
    video->SetFileName("movie.avi");
    video->SetUseMipMap(true);
    const double speed = 2.0;
    video->FindProperty("PlaySpeed").SetValue(&speed, eValueKindDouble);

    EXPECT_EQ(video->Clone(0), nullptr);
    auto* clone = dynamic_cast<KDuzVideo*>(video->Clone(2));
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetName(), "clip");
    EXPECT_STREQ(clone->GetFileName(), "movie.avi");
    EXPECT_TRUE(clone->GetUseMipMap());
    EXPECT_EQ(clone->FindProperty("PlaySpeed").GetDouble(), 2.0);

    // A change on either side shows on the other.
    const int width = 640;
    clone->FindProperty("Width").SetValue(&width, eValueKindInt);
    EXPECT_EQ(video->FindProperty("Width").GetDouble(), 640.0);
    clone->SetFileName("other.avi");
    EXPECT_STREQ(video->GetFileName(), "other.avi");

    // Destroying one leaves the other's values alive.
    video->Destroy();
    EXPECT_STREQ(clone->GetFileName(), "other.avi");
    EXPECT_EQ(clone->FindProperty("PlaySpeed").GetDouble(), 2.0);
}

TEST_F(KDuzVideoTest, EmbeddedContentSettings) {
    KDuzVideo* video = KDuzVideo::Create(manager, "clip");
    ASSERT_NE(video, nullptr);
    video->SetOriginalFormat(false);
    video->SetOriginalFilename("C:\\media\\clip.avi");
    EXPECT_FALSE(video->GetOriginalFormat());
    EXPECT_STREQ(video->GetOriginalFilename(), "C:\\media\\clip.avi");
    video->SetOriginalFilename(nullptr);
    EXPECT_STREQ(video->GetOriginalFilename(), "");
}

}  // namespace
}  // namespace duzsdk
