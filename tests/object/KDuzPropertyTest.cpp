#include "sdk/object/KDuzProperty.h"

#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/KObject.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/KPropertyTemplate.h"
#include "sdk/object/PropertyDataTypeMap.h"

#include <gtest/gtest.h>

#include <cstring>

namespace duzsdk {
namespace {

class KDuzPropertyTest : public ::testing::Test {
protected:
    void SetUp() override {
        manager = KDuzSdkManager::Create();
        ASSERT_NE(manager, nullptr);
        object = KDuzObject::Create(manager, "Holder");
        ASSERT_NE(object, nullptr);
    }
    void TearDown() override { manager->Destroy(); }

    static PropertyDataType Type(const char* name) {
        PropertyDataType type = PropertyDataTypeFromName(name);
        EXPECT_TRUE(type.IsValid()) << name;
        return type;
    }

    KDuzSdkManager* manager = nullptr;
    KDuzObject* object = nullptr;
};

TEST(KDuzValueKindTest, SizesPerKind) {
    struct Row { int kind; int size; };
    constexpr Row kRows[] = {{0, 0}, {1, 1}, {2, 4}, {3, 4}, {4, 8}, {5, 24}, {6, 32}, {7, 128},
                             {8, 4}, {10, 8}, {11, 1}, {13, 0}, {14, 0}, {-1, 0}};
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.kind);
        EXPECT_EQ(KDuzValueKindSize(row.kind), row.size);
    }
    EXPECT_EQ(KDuzValueKindSize(9), static_cast<int>(sizeof(KString)));
}

TEST(KDuzValueKindTest, TypeCodeNames) {
    const char* kNames[] = {"Unidentified", "Bool", "Real", "Color", "Integer", "Vector", "Enum"};
    for (int code = 0; code <= 6; ++code) EXPECT_STREQ(KDuzPropertyTypeCodeName(code), kNames[code]);
    EXPECT_EQ(KDuzPropertyTypeCodeName(7), nullptr);
    EXPECT_EQ(KDuzPropertyTypeCodeName(-1), nullptr);
}

TEST_F(KDuzPropertyTest, TypeCodesFollowDataTypes) {
    struct Row { const char* type; EPropertyTypeCode code; };
    const Row kRows[] = {{"Bool", ePropertyTypeBool},       {"Integer", ePropertyTypeInteger},
                         {"Float", ePropertyTypeReal},      {"Number", ePropertyTypeReal},
                         {"Vector", ePropertyTypeVector},   {"Vector4", ePropertyTypeVector},
                         {"Color", ePropertyTypeColor},     {"ColorAndAlpha", ePropertyTypeColor},
                         {"Matrix", ePropertyTypeMatrix},   {"Enum", ePropertyTypeEnum},
                         {"KString", ePropertyTypeUnidentified}, {"Time", ePropertyTypeUnidentified}};
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(KDuzPropertyTypeCodeOf(Type(row.type)), row.code);
    }
}

TEST_F(KDuzPropertyTest, UnownedValuesRoundTripInTheirOwnKind) {
    KDuzProperty b(manager, "b", Type("Bool"));
    bool yes = true, outBool = false;
    EXPECT_TRUE(b.SetValue(&yes, 1));
    EXPECT_TRUE(b.GetValue(&outBool, 1));
    EXPECT_TRUE(outBool);

    KDuzProperty v(manager, "v", Type("Vector"));
    duzVectorTemplate3<double> in(1.0, 2.0, 3.0);
    EXPECT_TRUE(v.SetValue(&in, 5));
    duzVectorTemplate3<double> out = v.GetDouble3();
    EXPECT_EQ(out[0], 1.0);
    EXPECT_EQ(out[2], 3.0);

    KDuzProperty m(manager, "m", Type("Matrix"));
    double elements[16];
    for (int i = 0; i < 16; ++i) elements[i] = i;
    KgeMatrix matrix(elements);
    EXPECT_TRUE(m.SetValue(&matrix, 7));
    EXPECT_EQ(m.GetMatrix().Data()[15], 15.0);

    KDuzProperty s(manager, "s", Type("KString"));
    KString text("a string value long enough to live on the heap");
    EXPECT_TRUE(s.SetValue(&text, 9));
    EXPECT_STREQ(s.GetString().Buffer(), text.Buffer());

    KDuzProperty t(manager, "t", Type("Time"));
    KTime time(123456789012345LL);
    EXPECT_TRUE(t.SetValue(&time, 10));
    EXPECT_EQ(t.GetTime().Get(), 123456789012345LL);

    for (KDuzProperty* p : {&b, &v, &m, &s, &t}) p->Destroy();
}

TEST_F(KDuzPropertyTest, MismatchedKindsNeverReadPastTheValue) {
    KDuzProperty b(manager, "b", Type("Bool"));
    KgeMatrix big;
    // A matrix-sized read or write of a one-byte value is refused.
    EXPECT_FALSE(b.GetValue(&big, 7));
    EXPECT_FALSE(b.SetValue(&big, 7));
    KString text("x");
    EXPECT_FALSE(b.SetValue(&text, 9));
    // Numeric kinds convert.
    double d = 2.0;
    EXPECT_TRUE(b.SetValue(&d, 4));
    int i = 0;
    EXPECT_TRUE(b.GetValue(&i, 2));
    EXPECT_EQ(i, 1);

    KDuzProperty v(manager, "v", Type("Vector"));
    double four[4] = {1, 2, 3, 4};
    EXPECT_FALSE(v.SetValue(four, 6));
    double outFour[4];
    EXPECT_FALSE(v.GetDouble4(outFour));
    b.Destroy();
    v.Destroy();
}

TEST_F(KDuzPropertyTest, OwnedBufferIsCopied) {
    KDuzProperty p(manager, "blob", Type("Stream"));
    KDuzOwnedBuffer in;
    const char bytes[] = "abcdef";
    ASSERT_TRUE(in.Assign(bytes, 6));
    EXPECT_TRUE(p.SetValue(&in, 12));
    in.Assign("zz", 2);
    KDuzOwnedBuffer out;
    EXPECT_TRUE(p.GetValue(&out, 12));
    ASSERT_EQ(out.length, 6);
    EXPECT_EQ(std::memcmp(out.data, bytes, 6), 0);
    EXPECT_FALSE(in.Assign(nullptr, 3));
    EXPECT_FALSE(in.Assign(bytes, -1));
    p.Destroy();
}

TEST_F(KDuzPropertyTest, OwnedPropertyIsBoundAndKeptInStep) {
    KDuzProperty p = KDuzProperty::Create(object, "Intensity", Type("Number"), "");
    ASSERT_TRUE(p.IsValid());
    KProperty* bound = p.GetBoundProperty();
    ASSERT_NE(bound, nullptr);
    EXPECT_STREQ(bound->GetName(), "Intensity");
    EXPECT_EQ(p.GetOwner(), object);

    double value = 42.5;
    EXPECT_TRUE(p.SetValue(&value, 4));
    EXPECT_DOUBLE_EQ(bound->GetDouble(), 42.5);
    bound->SetDouble(7.0);
    EXPECT_DOUBLE_EQ(p.GetDouble(), 7.0);
}

TEST_F(KDuzPropertyTest, VectorBoundToFourDoubleTemplateCopiesThreeComponents) {
    KDuzProperty p = KDuzProperty::Create(object, "Lcl Translation", Type("Lcl Translation"), "");
    KProperty* bound = p.GetBoundProperty();
    ASSERT_NE(bound, nullptr);
    double internal[4] = {0, 0, 0, 9};
    bound->SetDoubles(internal);
    duzVectorTemplate3<double> in(1.0, 2.0, 3.0);
    EXPECT_TRUE(p.SetValue(&in, 5));
    double back[16] = {};
    ASSERT_TRUE(bound->GetDoubles(back));
    EXPECT_EQ(back[0], 1.0);
    EXPECT_EQ(back[2], 3.0);
    EXPECT_EQ(back[3], 9.0);   // the fourth component is left alone
    EXPECT_EQ(p.GetDouble3()[1], 2.0);
}

TEST_F(KDuzPropertyTest, FloatIsStoredAsFloatAndPushedAsDouble) {
    KDuzProperty p = KDuzProperty::Create(object, "f", Type("Float"), "");
    ASSERT_NE(p.GetBoundProperty(), nullptr);
    float value = 0.25f;
    EXPECT_TRUE(p.SetValue(&value, 3));
    EXPECT_DOUBLE_EQ(p.GetBoundProperty()->GetDouble(), 0.25);
    float out = 0;
    EXPECT_TRUE(p.GetValue(&out, 3));
    EXPECT_EQ(out, 0.25f);
}

TEST_F(KDuzPropertyTest, CreateReturnsExistingPropertyWhateverItsType) {
    KDuzProperty first = KDuzProperty::Create(object, "Weight", Type("Number"), "");
    KDuzProperty second = KDuzProperty::Create(object, "Weight", Type("Bool"), "");
    EXPECT_TRUE(second.IsSame(first));
    EXPECT_EQ(second.GetDataType(), Type("Number"));
    EXPECT_EQ(object->GetPropertyCount(), 1);
    EXPECT_FALSE(KDuzProperty::Create(nullptr, "x", Type("Number")).IsValid());
    KDuzProperty third = KDuzProperty::Create(object, "Weight", Type("Bool"), "", true);
    EXPECT_FALSE(third.IsSame(first));
}

TEST_F(KDuzPropertyTest, LabelFallsBackToName) {
    KDuzProperty unlabeled(manager, "Name", Type("Number"), "");
    EXPECT_STREQ(unlabeled.GetLabel().Buffer(), "Name");
    KDuzProperty labeled(manager, "Name", Type("Number"), "Shown");
    EXPECT_STREQ(labeled.GetLabel().Buffer(), "Shown");
    unlabeled.Destroy();
    labeled.Destroy();
}

TEST_F(KDuzPropertyTest, EnumerationsAreRangeChecked) {
    KDuzProperty number = KDuzProperty::Create(object, "n", Type("Number"), "");
    EXPECT_EQ(number.AddEnumValue("A"), -1);
    EXPECT_EQ(number.GetEnumCount(), 0);

    KDuzProperty e = KDuzProperty::Create(object, "Mode", Type("Enum"), "");
    EXPECT_EQ(e.AddEnumValue("Off"), 0);
    EXPECT_EQ(e.AddEnumValue("On"), 1);
    EXPECT_EQ(e.GetEnumCount(), 2);
    EXPECT_STREQ(e.GetEnumValue(1), "On");
    EXPECT_EQ(e.GetEnumValue(2), nullptr);
    EXPECT_EQ(e.GetEnumValue(-1), nullptr);
    ASSERT_NE(e.GetBoundProperty(), nullptr);
    EXPECT_STREQ(e.GetBoundProperty()->GetEnumItem(1), "On");
}

TEST_F(KDuzPropertyTest, WrappedColorPropertyGetsColorType) {
    KObject* internal = object->GetInternalObject();
    auto* color = new KPropertyTemplate<KgeRGBVector>(internal, "Tint");
    ASSERT_EQ(color->GetValueType(), 14);
    KDuzProperty* wrapped = KDuzPropertyWrapInternal(manager, color);
    ASSERT_NE(wrapped, nullptr);
    EXPECT_STREQ(wrapped->GetDataType().GetName(), "Color");
    EXPECT_EQ(wrapped->GetPropertyTypeCode(), ePropertyTypeColor);
    EXPECT_TRUE(wrapped->IsBoundTo(color));
    wrapped->Destroy();   // an unowned wrapper leaves the internal property alone
    EXPECT_EQ(internal->GetPropertyCount(), 1);
}

TEST_F(KDuzPropertyTest, FlagsCarriedAtBinding) {
    KDuzProperty p(manager, "Animated", Type("Number"));
    p.ModifyFlag(kDuzPropertyAnimatable, true);
    object->AddProperty(p);
    KProperty* bound = p.GetBoundProperty();
    ASSERT_NE(bound, nullptr);
    EXPECT_TRUE(bound->HasInfoFlag(KPropertyInfo::kAnimatable));
    EXPECT_TRUE(bound->TestFlags(8));

    // A built-in property ends with the internal flag 8 clear.
    KDuzTypedProperty<double> member;
    member.InitOnOwner(object, "Member", Type("Number"));
    ASSERT_TRUE(member.IsValid());
    EXPECT_TRUE(member.GetFlag(kDuzPropertyBuiltIn));
    ASSERT_NE(member.GetBoundProperty(), nullptr);
    EXPECT_FALSE(member.GetBoundProperty()->TestFlags(8));
    EXPECT_TRUE(member.Set(3.5));
    EXPECT_EQ(member.Get(), 3.5);

    KDuzTypedProperty<double> again;
    again.InitOnOwner(object, "Member", Type("Number"));
    EXPECT_TRUE(again.IsSame(member));
}

TEST_F(KDuzPropertyTest, ValueEqualsAndCopyValue) {
    KDuzProperty a(manager, "a", Type("Time"));
    KDuzProperty b(manager, "b", Type("Time"));
    KTime high(0x100000000LL), low(0);
    a.SetValue(&high, 10);
    b.SetValue(&low, 10);
    EXPECT_FALSE(a.ValueEquals(b));   // the upper half differs
    EXPECT_TRUE(b.CopyValue(a));
    EXPECT_TRUE(a.ValueEquals(b));

    KDuzProperty n(manager, "n", Type("Number"));
    EXPECT_FALSE(n.ValueEquals(a));
    EXPECT_FALSE(n.CopyValue(a));
    for (KDuzProperty* p : {&a, &b, &n}) p->Destroy();
}

TEST_F(KDuzPropertyTest, CopiesSeeADestroyedPropertyAsInvalid) {
    KDuzProperty p = KDuzProperty::Create(object, "Gone", Type("KString"), "");
    KDuzProperty copy = p;
    KString text("value");
    ASSERT_TRUE(copy.SetValue(&text, 9));
    p.Destroy();
    EXPECT_FALSE(p.IsValid());
    EXPECT_FALSE(copy.IsValid());
    EXPECT_FALSE(copy.GetValue(&text, 9));
    EXPECT_STREQ(copy.GetName(), "");
    EXPECT_EQ(object->GetPropertyCount(), 0);
    EXPECT_EQ(object->GetInternalObject()->GetPropertyCount(), 0);
    copy.Destroy();   // harmless
}

TEST_F(KDuzPropertyTest, InternalPropertyRemovedBehindTheHandle) {
    KDuzProperty p = KDuzProperty::Create(object, "Shared", Type("Number"), "");
    double value = 3.0;
    ASSERT_TRUE(p.SetValue(&value, 4));
    KProperty* bound = p.GetBoundProperty();
    ASSERT_NE(bound, nullptr);
    object->GetInternalObject()->RemoveProperty(bound);
    // The record no longer reaches the freed property and keeps its last value.
    EXPECT_EQ(p.GetBoundProperty(), nullptr);
    EXPECT_DOUBLE_EQ(p.GetDouble(), 3.0);
    value = 4.0;
    EXPECT_TRUE(p.SetValue(&value, 4));
    EXPECT_DOUBLE_EQ(p.GetDouble(), 4.0);
}

TEST_F(KDuzPropertyTest, BindingAdoptsAnUnwrappedInternalPropertyOnly) {
    KObject* internal = object->GetInternalObject();
    auto* made = new KPropertyTemplate<double>(internal, "Made");
    KDuzProperty adopting = KDuzProperty::Create(object, "Made", Type("Number"), "");
    EXPECT_TRUE(adopting.IsBoundTo(made));
    // A second public property of that name gets an internal property of its own.
    KDuzProperty second = KDuzProperty::Create(object, "Made", Type("Number"), "", true);
    ASSERT_NE(second.GetBoundProperty(), nullptr);
    EXPECT_NE(second.GetBoundProperty(), made);
    adopting.Destroy();
    EXPECT_NE(second.GetBoundProperty(), nullptr);
    double value = 2.0;
    EXPECT_TRUE(second.SetValue(&value, 4));
    EXPECT_DOUBLE_EQ(second.GetBoundProperty()->GetDouble(), 2.0);
}

TEST_F(KDuzPropertyTest, InvalidHandleReadsFail) {
    KDuzProperty missing = object->FindProperty("none");
    EXPECT_FALSE(missing.IsValid());
    double value = 1.0;
    EXPECT_FALSE(missing.GetValue(&value, 4));
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(missing.GetSdkManager(), nullptr);
    KDuzConnectEvent event;
    EXPECT_FALSE(missing.ConnectNotify(event));
}

TEST_F(KDuzPropertyTest, ClassCreatorMakesUnownedHeapHandle) {
    KDuzPlug* plug = manager->CreateObject(KDuzProperty::ClassId(), "Loose");
    ASSERT_NE(plug, nullptr);
    auto* property = dynamic_cast<KDuzProperty*>(plug);
    ASSERT_NE(property, nullptr);
    EXPECT_STREQ(property->GetName(), "Loose");
    EXPECT_EQ(property->GetOwner(), nullptr);
    plug->Destroy();   // deletes the handle too
}

}  // namespace
}  // namespace duzsdk
