#include "sdk/scene/KDuzGlobalLightSettings.h"

#include <gtest/gtest.h>

#include <limits>

namespace duzsdk {
namespace {

void ExpectDefaults(KDuzGlobalLightSettings& settings) {
    EXPECT_EQ(settings.GetAmbientColor(), KDuzRGBAColor(0.4, 0.4, 0.4, 0.0));
    EXPECT_FALSE(settings.GetFogEnable());
    EXPECT_EQ(settings.GetFogColor(), KDuzRGBAColor(1.0, 1.0, 1.0, 0.0));
    EXPECT_EQ(settings.GetFogMode(), 0);
    EXPECT_EQ(settings.GetFogStart(), 0.3);
    EXPECT_EQ(settings.GetFogEnd(), 1000.0);
    EXPECT_EQ(settings.GetFogDensity(), 0.002);
    EXPECT_FALSE(settings.GetCastShadows());
    EXPECT_EQ(settings.GetShadowIntensity(), 0.0);
    EXPECT_EQ(settings.GetShadowPlaneCount(), 0);
}

TEST(KDuzGlobalLightSettingsTest, DefaultsAtConstructionAndAfterRestore) {
    KDuzGlobalLightSettings settings;
    ExpectDefaults(settings);

    settings.SetAmbientColor(KDuzRGBAColor(0.1, 0.2, 0.3, 0.4));
    settings.SetFogEnable(true);
    settings.SetFogColor(KDuzRGBAColor(0.5, 0.5, 0.5, 1.0));
    settings.SetFogMode(3);
    settings.SetFogEnd(5000.0);
    settings.SetFogStart(2000.0);
    settings.SetFogDensity(-4.0);   // stored unchecked
    settings.SetCastShadows(true);
    settings.SetShadowIntensity(50.0);
    settings.AddShadowPlane(KDuzShadowPlane());
    EXPECT_EQ(settings.GetAmbientColor(), KDuzRGBAColor(0.1, 0.2, 0.3, 0.4));
    EXPECT_TRUE(settings.GetFogEnable());
    EXPECT_EQ(settings.GetFogMode(), 3);
    EXPECT_EQ(settings.GetFogStart(), 2000.0);
    EXPECT_EQ(settings.GetFogDensity(), -4.0);
    EXPECT_TRUE(settings.GetCastShadows());
    EXPECT_EQ(settings.GetShadowIntensity(), 50.0);

    // The fog start here lies above the default end: restoring must not
    // let one clamp against the other.
    settings.RestoreDefaultSettings();
    ExpectDefaults(settings);
}

TEST(KDuzGlobalLightSettingsTest, FogRangeStaysOrdered) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        bool setStart;
        double value;
        double start, end;
    };
    // Each case starts from the defaults (start 0.3, end 1000).
    const Case kCases[] = {
        {"start above the end becomes the end", true, 2000.0, 1000.0, 1000.0},
        {"negative start becomes 0", true, -5.0, 0.0, 1000.0},
        {"NaN start becomes 0", true, nan, 0.0, 1000.0},
        {"start inside the range", true, 12.5, 12.5, 1000.0},
        {"end below the start becomes the start", false, 0.1, 0.3, 0.3},
        {"NaN end becomes the start", false, nan, 0.3, 0.3},
        {"end above the start", false, 50.0, 0.3, 50.0},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        KDuzGlobalLightSettings settings;
        if (c.setStart) {
            settings.SetFogStart(c.value);
        } else {
            settings.SetFogEnd(c.value);
        }
        EXPECT_EQ(settings.GetFogStart(), c.start);
        EXPECT_EQ(settings.GetFogEnd(), c.end);
    }
}

// A file's range beyond the default end survives when set as one range.
TEST(KDuzGlobalLightSettingsTest, FogRangeFromAFileKeepsBothValues) {
    KDuzGlobalLightSettings settings;
    settings.SetFogRange(2000.0, 5000.0);
    EXPECT_EQ(settings.GetFogStart(), 2000.0);
    EXPECT_EQ(settings.GetFogEnd(), 5000.0);
    settings.SetFogRange(10.0, 20.0);
    EXPECT_EQ(settings.GetFogStart(), 10.0);
    EXPECT_EQ(settings.GetFogEnd(), 20.0);
    settings.SetFogRange(30.0, 20.0);   // a reversed range closes up
    EXPECT_EQ(settings.GetFogStart(), 20.0);
    EXPECT_EQ(settings.GetFogEnd(), 20.0);
}

TEST(KDuzGlobalLightSettingsTest, ShadowIntensityAndColoursAreClamped) {
    KDuzGlobalLightSettings settings;
    const struct {
        double in, out;
    } kIntensities[] = {{500.0, 300.0}, {-1.0, 0.0}, {300.0, 300.0}, {0.0, 0.0}, {12.5, 12.5},
                        {std::numeric_limits<double>::quiet_NaN(), 0.0}};
    for (const auto& c : kIntensities) {
        SCOPED_TRACE(c.in);
        settings.SetShadowIntensity(c.in);
        EXPECT_EQ(settings.GetShadowIntensity(), c.out);
    }
    KDuzRGBAColor raw;
    raw.mRed = 2.0;
    raw.mBlue = -1.0;
    settings.SetAmbientColor(raw);
    EXPECT_EQ(settings.GetAmbientColor(), KDuzRGBAColor(1.0, 1.0, 0.0, 1.0));
    settings.SetFogColor(raw);
    EXPECT_EQ(settings.GetFogColor(), KDuzRGBAColor(1.0, 1.0, 0.0, 1.0));
}

TEST(KDuzGlobalLightSettingsTest, ShadowPlanes) {
    const KDuzShadowPlane fresh;
    EXPECT_TRUE(fresh.mEnable);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fresh.mOrigin[i], 0.0);
        EXPECT_EQ(fresh.mNormal[i], i == 1 ? 1.0 : 0.0);
    }

    KDuzGlobalLightSettings settings;
    for (int i = 0; i < 40; ++i) {   // past several growth blocks
        KDuzShadowPlane plane;
        plane.mEnable = i % 2 == 0;
        plane.mOrigin = KgeTVector(i, 0.0, 0.0, 0.0);
        ASSERT_TRUE(settings.AddShadowPlane(plane));
    }
    ASSERT_EQ(settings.GetShadowPlaneCount(), 40);
    for (int i = 0; i < 40; ++i) {
        const KDuzShadowPlane* plane = settings.GetShadowPlane(i);
        ASSERT_NE(plane, nullptr);
        EXPECT_EQ(plane->mEnable, i % 2 == 0);
        EXPECT_EQ(plane->mOrigin[0], i);
    }
    // The stored record, not a copy.
    settings.GetShadowPlane(3)->mNormal = KgeTVector(1.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(settings.GetShadowPlane(3)->mNormal[0], 1.0);
    EXPECT_FALSE(settings.GetError().HasError());

    settings.RemoveAllShadowPlanes();
    EXPECT_EQ(settings.GetShadowPlaneCount(), 0);
}

TEST(KDuzGlobalLightSettingsTest, ShadowPlaneIndexOutOfRange) {
    KDuzGlobalLightSettings settings;
    settings.AddShadowPlane(KDuzShadowPlane());
    for (int index : {1, -1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        SCOPED_TRACE(index);
        settings.GetError().ClearError();
        EXPECT_EQ(settings.GetShadowPlane(index), nullptr);
        EXPECT_EQ(settings.GetError().GetLastErrorIndex(), KDuzGlobalLightSettings::eIndexOutOfRange);
        EXPECT_STREQ(settings.GetError().GetLastErrorString(), "Index out of range.");
    }
}

}  // namespace
}  // namespace duzsdk
