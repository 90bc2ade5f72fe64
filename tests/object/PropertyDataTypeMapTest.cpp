#include "sdk/object/PropertyDataTypeMap.h"

#include <gtest/gtest.h>

namespace duzsdk {
namespace {

PropertyDataType RegisterThroughMap(void*, const char* name, int kind) {
    return PropertyDataTypeMapRegister(name, kind);
}

TEST(PropertyDataTypeMapTest, RegisteredNamesAreFoundExactly) {
    PropertyDataType number = PropertyDataTypeMapRegister("TestNumber", eValueKindDouble);
    PropertyDataType vector = PropertyDataTypeMapRegister("TestVector", eValueKindDouble3);
    ASSERT_TRUE(number.IsValid());
    EXPECT_STREQ(number.GetName(), "TestNumber");
    EXPECT_EQ(number.GetValueKind(), eValueKindDouble);
    EXPECT_EQ(PropertyDataTypeFromName("TestNumber"), number);
    EXPECT_EQ(PropertyDataTypeFromName("TestVector"), vector);

    // Case-sensitive; unknown and null names give the default handle, which
    // is no registered type.
    for (const char* name : {"testnumber", "TestNumber ", "", "Unknown"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(PropertyDataTypeFromName(name), PropertyDataTypeDefault());
        EXPECT_NE(PropertyDataTypeFromName(name), number);
        EXPECT_NE(PropertyDataTypeFromName(name), vector);
    }
    EXPECT_EQ(PropertyDataTypeFromName(nullptr), PropertyDataTypeDefault());
    EXPECT_FALSE(PropertyDataTypeMapRegister(nullptr, 1).IsValid());
}

TEST(PropertyDataTypeMapTest, RegisteringANameAgainReplacesItsHandle) {
    PropertyDataType first = PropertyDataTypeMapRegister("TestReplaced", eValueKindInt);
    int count = PropertyDataTypeMapCount();
    PropertyDataType second = PropertyDataTypeMapRegister("TestReplaced", eValueKindFloat);
    EXPECT_NE(first, second);
    EXPECT_EQ(PropertyDataTypeMapCount(), count);
    EXPECT_EQ(PropertyDataTypeFromName("TestReplaced"), second);
    // The earlier handle stays usable for whoever holds it.
    EXPECT_STREQ(first.GetName(), "TestReplaced");
    EXPECT_EQ(first.GetValueKind(), eValueKindInt);
}

TEST(PropertyDataTypeMapTest, TheDataTypeTableRegistersThroughTheMap) {
    // What the first SDK manager does with its RegisterDataType.
    if (PropertyDataTypesAreRegistered()) GTEST_SKIP() << "the table was registered earlier";
    ASSERT_TRUE(PropertyDataTypeRegisterAll(&RegisterThroughMap, nullptr));
    for (const PropertyDataTypeNameRow& row : kPropertyDataTypeNames) {
        SCOPED_TRACE(row.name);
        PropertyDataType handle = PropertyDataTypeFromName(row.name);
        ASSERT_TRUE(handle.IsValid());
        EXPECT_EQ(handle, PropertyDataTypeGetRegistered(row.name));
        EXPECT_EQ(handle.GetValueKind(), row.kind);
    }
}

}  // namespace
}  // namespace duzsdk
