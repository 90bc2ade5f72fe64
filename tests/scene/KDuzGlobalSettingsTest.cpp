#include "sdk/scene/KDuzGlobalSettings.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace duzsdk {
namespace {

class KDuzGlobalSettingsTest : public testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        settings = KDuzGlobalSettings::Create(manager, "GlobalSettings");
        ASSERT_NE(settings, nullptr);
    }
    void TearDown() override {
        if (manager != nullptr) manager->Destroy();
    }

    void SetInt(const char* name, int value) {
        ASSERT_TRUE(settings->FindProperty(name).SetValue(&value, eValueKindInt)) << name;
    }
    int GetInt(const char* name) {
        int value = -99;
        EXPECT_TRUE(settings->FindProperty(name).GetValue(&value, eValueKindInt)) << name;
        return value;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzGlobalSettings* settings = nullptr;
};

TEST_F(KDuzGlobalSettingsTest, NewSettingsHoldTheYUpSystemAndCentimetres) {
    EXPECT_TRUE(settings->Is(KDuzClassIdOf(eDuzClassGlobalSettings)));
    EXPECT_EQ(settings->GetNameKind(), 20);
    EXPECT_STREQ(settings->GetName(), "GlobalSettings");

    // The seven properties, in creation order, with their data types.
    const struct {
        const char* name;
        const char* type;
    } kProperties[] = {
        {"UpAxis", "Integer"},    {"UpAxisSign", "Integer"}, {"FrontAxis", "Integer"},
        {"FrontAxisSign", "Integer"}, {"CoordAxis", "Integer"}, {"CoordAxisSign", "Integer"},
        {"UnitScaleFactor", "Number"},
    };
    ASSERT_EQ(settings->GetPropertyCount(), 7);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(kProperties[i].name);
        const KDuzProperty property = settings->GetPropertyAt(i);
        EXPECT_STREQ(property.GetName(), kProperties[i].name);
        EXPECT_STREQ(property.GetDataType().GetName(), kProperties[i].type);
    }
    EXPECT_EQ(GetInt("UpAxis"), 1);
    EXPECT_EQ(GetInt("UpAxisSign"), 1);
    EXPECT_EQ(GetInt("FrontAxis"), 2);
    EXPECT_EQ(GetInt("FrontAxisSign"), 1);
    EXPECT_EQ(GetInt("CoordAxis"), 0);
    EXPECT_EQ(GetInt("CoordAxisSign"), 1);

    const KDuzAxisSystem system = settings->GetAxisSystem();
    EXPECT_EQ(system, KDuzAxisSystem(2, 2, 0));
    EXPECT_EQ(system.GetCoordSystem(), 0);
    EXPECT_EQ(settings->GetSystemUnit().GetScaleFactor(), 1.0);
}

TEST_F(KDuzGlobalSettingsTest, SettersWriteThePropertiesAndGettersReadThem) {
    EXPECT_TRUE(settings->SetAxisSystem(KDuzAxisSystem(3, -2, 0)));
    EXPECT_EQ(GetInt("UpAxis"), 2);
    EXPECT_EQ(GetInt("FrontAxis"), 1);
    EXPECT_EQ(GetInt("FrontAxisSign"), -1);
    KDuzAxisSystem out;
    settings->GetAxisSystem(out);
    EXPECT_EQ(out, KDuzAxisSystem(3, -2, 0));

    EXPECT_TRUE(settings->SetSystemUnit(kDuzUnitMeter));
    double factor = 0;
    EXPECT_TRUE(settings->FindProperty("UnitScaleFactor").GetValue(&factor, eValueKindDouble));
    EXPECT_EQ(factor, 100.0);
    KDuzSystemUnit unit;
    settings->GetSystemUnit(unit);
    EXPECT_EQ(unit.GetScaleFactor(), 100.0);

    EXPECT_TRUE(settings->InitProperties());   // back to the held system and 1 cm
    EXPECT_EQ(settings->GetSystemUnit().GetScaleFactor(), 1.0);
    EXPECT_EQ(settings->GetAxisSystem(), KDuzAxisSystem(3, -2, 0));
}

// A reader fills the properties directly; the typed system follows them.
TEST_F(KDuzGlobalSettingsTest, PropertiesWrittenByAFileDriveTheAxisSystem) {
    SetInt("UpAxis", 2);
    SetInt("UpAxisSign", 1);
    SetInt("FrontAxis", 1);
    SetInt("FrontAxisSign", -1);
    SetInt("CoordAxis", 0);
    SetInt("CoordAxisSign", 1);
    const KDuzAxisSystem system = settings->GetAxisSystem();
    int sign = 0;
    EXPECT_EQ(system.GetUpVector(sign), 3);
    EXPECT_EQ(sign, 1);
    EXPECT_EQ(system, KDuzAxisSystem(3, -2, 0));
}

// A file that sets only the up axis and its sign: the other four keep the
// default Y-up values, which put front on the up axis; the system is Z up.
TEST_F(KDuzGlobalSettingsTest, OnlyTheUpAxisFromAFileGivesThatUpAxis) {
    SetInt("UpAxis", 2);
    SetInt("UpAxisSign", 1);
    const KDuzAxisSystem system = settings->GetAxisSystem();
    int sign = 0;
    EXPECT_EQ(system.GetUpVector(sign), 3);
    EXPECT_EQ(sign, 1);
    EXPECT_EQ(system.GetCoordSystem(), KDuzAxisSystem::eRightHanded);
    EXPECT_TRUE(KDuzAxisSystem::AreValidFields(system.GetUpAxis(), system.GetUpSign(), system.GetFrontAxis(),
                                               system.GetFrontSign(), system.GetCoordAxis(),
                                               system.GetCoordSign()));
}

TEST_F(KDuzGlobalSettingsTest, DamagedFileValuesFallBackToDefaults) {
    SetInt("UpAxis", 7);
    EXPECT_EQ(settings->GetAxisSystem(), KDuzAxisSystem(2, 2, 0));

    SetInt("UpAxis", 2);
    SetInt("UpAxisSign", 0);   // no direction
    EXPECT_EQ(settings->GetAxisSystem(), KDuzAxisSystem(2, 2, 0));

    // A valid up axis holds; the front and coordinate axes are rebuilt.
    SetInt("UpAxisSign", -1);
    SetInt("FrontAxis", 1);
    SetInt("CoordAxisSign", 0);
    EXPECT_EQ(settings->GetAxisSystem(), KDuzAxisSystem(-3, 2, 0));

    for (double bad : {0.0, -2.0, std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN()}) {
        SCOPED_TRACE(bad);
        ASSERT_TRUE(settings->FindProperty("UnitScaleFactor").SetValue(&bad, eValueKindDouble));
        EXPECT_EQ(settings->GetSystemUnit().GetScaleFactor(), 1.0);
    }
}

TEST_F(KDuzGlobalSettingsTest, MissingPropertiesReadAsTheHeldValues) {
    settings->SetAxisSystem(KDuzAxisSystem(2, 2, 1));
    KDuzProperty unitProperty = settings->FindProperty("UnitScaleFactor");
    unitProperty.DestroyProperty();
    KDuzProperty upSign = settings->FindProperty("UpAxisSign");
    upSign.DestroyProperty();
    EXPECT_EQ(settings->GetSystemUnit().GetScaleFactor(), 1.0);
    EXPECT_EQ(settings->GetAxisSystem(), KDuzAxisSystem(2, 2, 1));
    EXPECT_FALSE(settings->SetSystemUnit(kDuzUnitInch));
}

TEST_F(KDuzGlobalSettingsTest, CreateWithoutManagerGivesNull) {
    EXPECT_EQ(KDuzGlobalSettings::Create(nullptr, "x"), nullptr);
}

}  // namespace
}  // namespace duzsdk
