#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataType.h"

#include "sdk/base/KTime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace duzsdk;

TEST(KDataTypeTest, EveryTableRowIsRegisteredWithItsRootAndLayout) {
    EXPECT_EQ(KDataTypeGetRegisteredCount(), 47);
    struct Layout {
        const char* root;
        int size;
        int components;
    };
    constexpr Layout kLayouts[] = {
        {"Number", 8, 1}, {"Time", 8, 0}, {"Vector", 24, 3}, {"Vector4", 32, 4}, {"Matrix", 128, 16}};
    for (const KDataTypeRow& row : kDataTypeRows) {
        SCOPED_TRACE(row.name);
        const KDataType* type = KDataTypeFindByName(row.name);
        ASSERT_NE(type, nullptr);
        EXPECT_STREQ(type->GetName(), row.name);
        EXPECT_STREQ(type->GetBase()->GetName(), row.root);
        EXPECT_EQ(type->GetBase(), KDataTypeFindByName(row.root));
        for (const Layout& layout : kLayouts) {
            if (std::strcmp(layout.root, row.root) != 0) continue;
            EXPECT_EQ(type->GetValueSize(), layout.size);
            EXPECT_EQ(type->GetComponentCount(), layout.components);
        }
    }
}

TEST(KDataTypeTest, LookupIsExactExceptForTrigger) {
    EXPECT_EQ(KDataTypeFindByName("Trigger"), KDataTypeFindByName("Action"));
    EXPECT_EQ(KDataTypeFindByName("trigger"), nullptr);
    EXPECT_EQ(KDataTypeFindByName("number"), nullptr);
    EXPECT_EQ(KDataTypeFindByName(nullptr), nullptr);
}

TEST(KDataTypeTest, PropertyTypeCodes) {
    struct Case {
        const char* name;
        int code;
    };
    constexpr Case kCases[] = {{"Action", 16}, {"Bool", 2},     {"Integer", 1},     {"Color", 14},
                               {"ColorAndAlpha", 15}, {"Enum", 6}, {"Matrix", 18}, {"Time", 7},
                               {"Number", 4},  {"Intensity", 4}, {"Vector", 13},  {"Lcl Rotation", 13},
                               {"HSB", 13},    {"Vector4", 12},  {"Quaternion", 12},
                               {"Matrix Scaling", 18}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KDataTypeToPropertyTypeCode(KDataTypeFindByName(c.name)), c.code);
    }
    EXPECT_EQ(KDataTypeToPropertyTypeCode(nullptr), 0);
}

TEST(KDataTypeTest, ComponentNames) {
    struct Case {
        const char* type;
        int index;
        const char* expected;   // null: no name
    };
    constexpr Case kCases[] = {
        {"Vector", 0, "x"},          {"Lcl Translation", 2, "z"}, {"Vector", 3, "?"},
        {"Vector4", 3, "w"},         {"Quaternion", 0, "x"},      {"Color", 1, "g"},
        {"ColorAndAlpha", 3, "a"},   {"Translation UV", 1, "V"},  {"Scaling UV", 2, "?"},
        {"HSB", 2, "B"},             {"Time", 0, "?"},            {"Vector", -1, "?"},
        {"Number", 0, nullptr},      {"Intensity", 0, nullptr},   {"Matrix", 0, nullptr},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.type) + " " + std::to_string(c.index));
        const char* name = KDataTypeFindByName(c.type)->GetComponentName(c.index);
        if (c.expected == nullptr) EXPECT_EQ(name, nullptr);
        else EXPECT_STREQ(name, c.expected);
    }
}

TEST(KDataTypeTest, VectorTextParsing) {
    const KDataType* vector = KDataTypeFindByName("Lcl Translation");
    double v[3] = {};
    EXPECT_TRUE(vector->FromText("{1,-2.5,3e2}", v));
    EXPECT_DOUBLE_EQ(v[0], 1.0);
    EXPECT_DOUBLE_EQ(v[1], -2.5);
    EXPECT_DOUBLE_EQ(v[2], 300.0);
    EXPECT_TRUE(vector->FromText("{ 1, 2, 3}", v));   // blanks before numbers
    for (const char* bad : {"{1,2}", "{1;2;3}", "{1,2,3", "1,2,3}", "{1,2,3 }", "{1,,3}", "", "{}"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(vector->FromText(bad, v));
    }
    double m[16];
    std::string matrix = "{";
    for (int i = 0; i < 16; ++i) matrix += std::to_string(i) + (i < 15 ? "," : "}");
    EXPECT_TRUE(KDataTypeFindByName("Matrix")->FromText(matrix.c_str(), m));
    EXPECT_DOUBLE_EQ(m[15], 15.0);
}

TEST(KDataTypeTest, TextFormsUseTwoDecimalsByDefault) {
    char out[128];
    double number = 3.14159;
    ASSERT_TRUE(KDataTypeFindByName("Number")->ToText(out, sizeof out, &number));
    EXPECT_STREQ(out, "3.14");
    double v4[4] = {1, 2.5, -3, 0.125};
    ASSERT_TRUE(KDataTypeFindByName("Vector4")->ToText(out, sizeof out, v4));
    EXPECT_STREQ(out, "{1.00,2.50,-3.00,0.12}");
    // Output is cut to size - 1 characters and terminated.
    ASSERT_TRUE(KDataTypeFindByName("Vector4")->ToText(out, 6, v4));
    EXPECT_STREQ(out, "{1.00");
    double parsed = 0;
    EXPECT_TRUE(KDataTypeFindByName("Real")->FromText("abc", &parsed));   // atof: 0
    EXPECT_EQ(parsed, 0.0);
    double defaults[16];
    std::memset(defaults, 0xff, sizeof defaults);
    EXPECT_TRUE(KDataTypeFindByName("Matrix Rotation")->SetDefault(defaults));
    for (double d : defaults) EXPECT_EQ(d, 0.0);
}

TEST(KDataTypeTest, TimeTextRoundTrip) {
    const KDataType* time = KDataTypeFindByName("Time");
    KTime t;
    t.SetTime(0, 0, 1, 5);
    char out[64];
    ASSERT_TRUE(time->ToText(out, sizeof out, &t));
    KTime back;
    ASSERT_TRUE(time->FromText(out, &back));
    EXPECT_EQ(back.Get(), t.Get()) << out;
}

namespace {

PropertyDataType RegisterForTest(void*, const char* name, int kind) {
    PropertyDataType handle;
    PropertyDataTypeRecordCreate(handle, name, kind);
    return handle;
}

// Registered the way a manager registers them (by making one), so that the
// names stay usable by every later test in the same process.
void EnsureRegistered() {
    if (!PropertyDataTypesAreRegistered()) KDuzSdkManager::Create()->Destroy();
    ASSERT_TRUE(PropertyDataTypesAreRegistered());
}

}  // namespace

TEST(PropertyDataTypeTest, SeventyTwoNamesRegisteredOncePerProcess) {
    EnsureRegistered();
    EXPECT_EQ(kPropertyDataTypeNameCount, 72);
    for (const PropertyDataTypeNameRow& row : kPropertyDataTypeNames) {
        SCOPED_TRACE(row.name);
        PropertyDataType handle = PropertyDataTypeGetRegistered(row.name);
        ASSERT_TRUE(handle.IsValid());
        EXPECT_STREQ(handle.GetName(), row.name);
        EXPECT_EQ(handle.GetValueKind(), row.kind);
    }
    PropertyDataType first = PropertyDataTypeGetRegistered("Bool");
    EXPECT_FALSE(PropertyDataTypeRegisterAll(&RegisterForTest, nullptr));
    EXPECT_EQ(PropertyDataTypeGetRegistered("Bool"), first);
    EXPECT_FALSE(PropertyDataTypeGetRegistered("bool").IsValid());
}

TEST(PropertyDataTypeTest, KindTable) {
    EnsureRegistered();
    constexpr const char* kNames[] = {nullptr, "Bool", "Integer", "Float", "Number", "Vector", "Vector4",
                                      "Matrix", "Enum", "KString", "Time", "Ref", "Stream"};
    for (int kind = 0; kind <= 12; ++kind) {
        SCOPED_TRACE(kind);
        PropertyDataType handle = PropertyDataTypeTableGet(kind);
        if (kNames[kind] == nullptr) EXPECT_FALSE(handle.IsValid());
        else EXPECT_STREQ(handle.GetName(), kNames[kind]);
    }
    EXPECT_FALSE(PropertyDataTypeTableGet(13).IsValid());
    EXPECT_FALSE(PropertyDataTypeTableGet(-1).IsValid());
}

TEST(PropertyDataTypeTest, FileNamesBothWays) {
    EnsureRegistered();
    for (const PropertyDataTypeFileRow& row : kPropertyDataTypeFileNames) {
        SCOPED_TRACE(row.fileName);
        PropertyDataType handle = PropertyDataTypeGetRegistered(row.registeredName);
        EXPECT_STREQ(PropertyDataTypeToFileName(handle), row.fileName);
        EXPECT_EQ(PropertyDataTypeFromFileName(row.fileName), handle);
    }
    // Outside the table: the first entry of the same kind.
    EXPECT_STREQ(PropertyDataTypeToFileName(PropertyDataTypeGetRegistered("Translation")), "ColorRGB");
    EXPECT_STREQ(PropertyDataTypeToFileName(PropertyDataTypeGetRegistered("Intensity")), "double");
    EXPECT_STREQ(PropertyDataTypeToFileName(PropertyDataTypeGetRegistered("Stream")), "unknown");
    EXPECT_STREQ(PropertyDataTypeToFileName(PropertyDataType()), "unknown");
    EXPECT_FALSE(PropertyDataTypeFromFileName("Double").IsValid());
    EXPECT_FALSE(PropertyDataTypeFromFileName(nullptr).IsValid());
}

TEST(KDataTypeTest, DecimalsAreClampedToASaneRange) {
    if (KDataTypeDecimalsAreKnown()) GTEST_SKIP() << "decimals were read earlier in this process";
    KDataTypeSetDecimalsSource([]() -> const char* { return "-3"; });
    EXPECT_EQ(KDataTypeGetDecimals(), 0);
    char out[64];
    double number = 2.75;
    ASSERT_TRUE(KDataTypeFindByName("Number")->ToText(out, sizeof out, &number));
    EXPECT_STREQ(out, "3");
    KDataTypeSetDecimalsSource(nullptr);
}
