#include "sdk/object/KDataType.h"
#include "sdk/object/KObject.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/KPropertyTemplate.h"
#include "sdk/object/KWorld.h"

#include "sdk/base/KStringList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace duzsdk;

namespace {

class KPropertyTest : public ::testing::Test {
protected:
    void SetUp() override {
        KDuzSdkInit();
        object = new KObject;
        object->Initialize(KWorldGet()->GetSpaceA());
    }
    void TearDown() override {
        object->Destroy();
        KDuzSdkUninit();
    }
    KObject* object = nullptr;
};

struct ValueEvents {
    std::vector<int> codes;
    static bool On(void* t, int, int code, KPlug*, const void*, const void*, int) {
        static_cast<ValueEvents*>(t)->codes.push_back(code);
        return true;
    }
};

}  // namespace

TEST(KPropertyTypeNamesTest, CodesAndNames) {
    constexpr const char* kNames[] = {"unknown", "int", "bool", "float", "double", "charptr", "enum",
                                      "KTime", "KString", "object", "event", "stringlist", "Vector4D",
                                      "Vector3D", "ColorRGB", "ColorRGBA", "Action", "Reference",
                                      "Matrix4x4"};
    for (int code = 0; code < 19; ++code) {
        SCOPED_TRACE(kNames[code]);
        EXPECT_EQ(KPropertyTypeFromName(kNames[code]), code);
        EXPECT_STREQ(KPropertyTypeName(code), kNames[code]);
    }
    EXPECT_EQ(KPropertyTypeFromName("Int"), 0);
    EXPECT_EQ(KPropertyTypeFromName(nullptr), 0);
}

TEST_F(KPropertyTest, CreateByCodeGivesTheRightTemplateAndDefaults) {
    struct Case {
        int code;
        int reported;
        EPropertyStorage storage;
    };
    constexpr Case kCases[] = {
        {1, 1, EPropertyStorage::Int},      {2, 2, EPropertyStorage::Bool},
        {4, 4, EPropertyStorage::Double},   {6, 6, EPropertyStorage::Int},
        {7, 7, EPropertyStorage::Time},     {8, 8, EPropertyStorage::String},
        {9, 9, EPropertyStorage::Object},   {12, 13, EPropertyStorage::Vector4},
        {13, 13, EPropertyStorage::Vector4}, {14, 14, EPropertyStorage::Vector4},
        {15, 15, EPropertyStorage::Vector4}, {16, 16, EPropertyStorage::Bool},
        {17, 17, EPropertyStorage::Property}, {18, 18, EPropertyStorage::Matrix},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.code);
        std::string name = "p" + std::to_string(c.code);
        KProperty* p = object->CreateProperty(name.c_str(), c.code, nullptr, false, false, nullptr, false);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->GetValueType(), c.reported);
        EXPECT_EQ(p->GetStorage(), c.storage);
        EXPECT_EQ(p->GetMin(), 0.0);
        EXPECT_EQ(p->GetMax(), 100.0);
        EXPECT_TRUE(p->HasInfoFlag(KPropertyInfo::kOwned));
        EXPECT_EQ(p->GetOwnerObject(), object);
        EXPECT_EQ(object->FindPropertyByName(name.c_str()), p);
    }
    for (int code : {0, 3, 5, 10, 11, 19, -1}) {
        EXPECT_EQ(object->CreateProperty("bad", code, nullptr, false, false, nullptr, false), nullptr) << code;
    }
    double v[4];
    ASSERT_TRUE(object->FindPropertyByName("p13")->GetDoubles(v));
    EXPECT_EQ(v[3], 1.0);   // Vector3D defaults to w = 1
    ASSERT_TRUE(object->FindPropertyByName("p15")->GetDoubles(v));
    EXPECT_EQ(v[3], 0.0);
    double m[16];
    EXPECT_FALSE(object->FindPropertyByName("p18")->GetDoubles(m));   // not animatable: no raw access
    KgeMatrix identity;
    static_cast<KPropertyTemplate<KgeMatrix>*>(object->FindPropertyByName("p18"))->GetValue(&identity);
    EXPECT_EQ(identity.Data()[0], 1.0);
    EXPECT_EQ(identity.Data()[5], 1.0);
}

TEST_F(KPropertyTest, ScalarConversions) {
    KProperty* b = object->CreateProperty("b", eKPropBool, nullptr, false, false, nullptr, false);
    KProperty* i = object->CreateProperty("i", eKPropInt, nullptr, false, false, nullptr, false);
    KProperty* d = object->CreateProperty("d", eKPropDouble, nullptr, false, false, nullptr, false);
    KProperty* s = object->CreateProperty("s", eKPropString, nullptr, false, false, nullptr, false);
    EXPECT_TRUE(b->SetInt(5));
    EXPECT_EQ(b->GetDouble(), 1.0);
    EXPECT_TRUE(i->SetDouble(0.7));
    EXPECT_EQ(i->GetInt(), 0);
    EXPECT_TRUE(i->SetDouble(-2.9));
    EXPECT_EQ(i->GetInt(), -2);
    EXPECT_TRUE(i->SetDouble(1e300));   // saturates, no undefined conversion
    EXPECT_EQ(i->GetInt(), 2147483647);
    EXPECT_TRUE(d->SetInt(3) == false);
    EXPECT_TRUE(d->SetDouble(2.5));
    EXPECT_EQ(d->GetInt(), 0);
    EXPECT_EQ(d->GetDouble(), 2.5);
    EXPECT_FALSE(s->SetDouble(1.0));
    EXPECT_EQ(s->GetDouble(), 0.0);
    // A code changed behind the template's back never reads the wrong type.
    s->SetValueType(eKPropInt);
    EXPECT_EQ(s->GetInt(), 0);
    EXPECT_FALSE(s->SetInt(4));
}

TEST_F(KPropertyTest, TextForms) {
    KProperty* b = object->CreateProperty("b", eKPropBool, nullptr, false, false, nullptr, false);
    EXPECT_TRUE(b->FromString("TRUE"));
    EXPECT_EQ(b->GetInt(), 1);
    EXPECT_STREQ(b->ToString().Buffer(), "True");
    EXPECT_FALSE(b->FromString("yes"));
    EXPECT_EQ(b->GetInt(), 1);

    KProperty* i = object->CreateProperty("i", eKPropInt, nullptr, false, false, nullptr, false);
    EXPECT_TRUE(i->FromString("42"));
    EXPECT_STREQ(i->ToString().Buffer(), "42");
    KProperty* v = object->CreateProperty("v", eKPropVector3D, nullptr, false, false, nullptr, false);
    EXPECT_STREQ(v->ToString().Buffer(), "{0.000000,0.000000,0.000000}");
    KProperty* c = object->CreateProperty("c", eKPropColorRGB, nullptr, false, false, nullptr, false);
    EXPECT_STREQ(c->ToString().Buffer(), "{0.000000,0.000000,0.000000,1.000000}");
    KProperty* o = object->CreateProperty("o", eKPropObject, nullptr, false, false, nullptr, false);
    EXPECT_STREQ(o->ToString().Buffer(), "Object!");
    EXPECT_FALSE(o->FromString("x"));
    KProperty* str = object->CreateProperty("str", eKPropString, nullptr, false, false, nullptr, false);
    EXPECT_TRUE(str->FromString("hello"));
    EXPECT_STREQ(str->ToString().Buffer(), "hello");
    KProperty* t = object->CreateProperty("t", eKPropTime, nullptr, false, false, nullptr, false);
    KTime time;
    time.SetTime(0, 0, 2, 0);
    static_cast<KPropertyTemplate<KTime>*>(t)->Set(time);
    KString text = t->ToString();
    KProperty* t2 = object->CreateProperty("t2", eKPropTime, nullptr, false, false, nullptr, false);
    EXPECT_TRUE(t2->FromString(text.Buffer()));
    EXPECT_EQ(static_cast<KPropertyTemplate<KTime>*>(t2)->Get().Get(), time.Get());

    KProperty* e = object->CreateProperty("e", eKPropEnum, nullptr, false, true, nullptr, false);
    e->GetEnumList(true)->Append("Off");
    e->GetEnumList(true)->Append("On");
    e->SetInt(1);
    EXPECT_STREQ(e->ToString().Buffer(), "On");
    EXPECT_EQ(e->GetEnumItem(-1), nullptr);
    EXPECT_EQ(e->GetEnumItem(2), nullptr);
}

TEST_F(KPropertyTest, TextPropertyOwnsItsCopy) {
    auto* p = new KPropertyCharPtr(object, "path");
    {
        std::string temporary = "a/b/c";
        EXPECT_TRUE(p->FromString(temporary.c_str()));
    }
    const char* value = nullptr;
    p->GetValue(&value);
    EXPECT_STREQ(value, "a/b/c");
    EXPECT_STREQ(p->ToString().Buffer(), "a/b/c");
    p->SetValue(&value);   // its own text again
    p->GetValue(&value);
    EXPECT_STREQ(value, "a/b/c");
}

TEST_F(KPropertyTest, NamesLoseDoubleQuotesAndStayUnique) {
    KProperty* q = object->CreateProperty("say \"hi\"", eKPropInt, nullptr, false, false, nullptr, false);
    EXPECT_STREQ(q->GetName(), "say hi");

    KProperty* c1 = object->CreateProperty("Color", eKPropInt, nullptr, false, false, nullptr, false);
    KProperty* c2 = object->CreateProperty("Color", eKPropInt, nullptr, false, false, nullptr, false);
    KProperty* c3 = object->CreateProperty("Color", eKPropInt, nullptr, false, false, nullptr, false);
    EXPECT_STREQ(c1->GetName(), "Color");
    EXPECT_STREQ(c2->GetName(), "Color 0");
    EXPECT_STREQ(c3->GetName(), "Color 1");
    EXPECT_EQ(object->CreateProperty("Color", eKPropBool, nullptr, false, false, nullptr, true), c1);

    KProperty* speed = object->CreateProperty("Speed", eKPropInt, nullptr, false, false, nullptr, false);
    KProperty* joint = object->CreateProperty("Joint7", eKPropInt, nullptr, false, false, nullptr, false);
    KProperty* x = object->CreateProperty("x", eKPropInt, nullptr, false, false, nullptr, false);
    struct Case {
        const char* request;
        const char* expected;
    };
    const Case kCases[] = {{"Speed", "Speed 1"}, {"  Joint7 ", "Joint8"}, {"   ", "1"}, {"Fresh", "Fresh"}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.request);
        EXPECT_STREQ(x->MakeNameUnique(c.request).Buffer(), c.expected);
    }
    ASSERT_TRUE(x->SetName("Speed", true));
    EXPECT_STREQ(x->GetName(), "Speed 1");
    KProperty* y = object->CreateProperty("y", eKPropInt, nullptr, false, false, nullptr, false);
    ASSERT_TRUE(y->SetName("Speed", true));
    EXPECT_STREQ(y->GetName(), "Speed 2");
    std::string longName(3000, 'n');
    KProperty* z = object->CreateProperty(longName.c_str(), eKPropInt, nullptr, false, false, nullptr, false);
    EXPECT_STREQ(z->MakeNameUnique(longName.c_str()).Buffer(), longName.c_str());   // its own name
    EXPECT_EQ(std::strlen(x->MakeNameUnique(longName.c_str()).Buffer()), longName.size() + 2);
    (void)speed;
    (void)joint;
}

TEST_F(KPropertyTest, ValueEventsReachTheOwner) {
    ValueEvents events;
    object->AddListener(&events, &ValueEvents::On, nullptr, nullptr);
    KProperty* d = object->CreateProperty("d", eKPropDouble, nullptr, false, false, nullptr, false);
    d->SetDouble(1.0);
    EXPECT_EQ(events.codes, (std::vector<int>{20, 21}));
}

TEST_F(KPropertyTest, GetterAndSetterStandForTheStoredValue) {
    struct Backing {
        static double& Value() {
            static double v = 0;
            return v;
        }
        static void Get(KPlug*, void* out) { *static_cast<double*>(out) = Value(); }
        static void Set(KPlug*, const void* in) { Value() = *static_cast<const double*>(in) * 2; }
    };
    auto* p = new KPropertyTemplate<double>(object, "bound");
    p->GetInfo().getter = &Backing::Get;
    p->GetInfo().setter = &Backing::Set;
    p->SetDouble(3.0);
    EXPECT_EQ(Backing::Value(), 6.0);
    EXPECT_EQ(p->GetDouble(), 6.0);
}

TEST_F(KPropertyTest, AnimatableDoublesAndDataTypes) {
    const KDataType* lcl = KDataTypeFindByName("Lcl Translation");
    KProperty* t = object->CreateProperty("T", KDataTypeToPropertyTypeCode(lcl), lcl, true, false, nullptr, false);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->TestInfoFlag2());
    EXPECT_EQ(t->GetDataType(), lcl);
    const double in[4] = {1, 2, 3, 1};
    EXPECT_TRUE(t->SetDoubles(in));
    double out[4] = {};
    EXPECT_TRUE(t->GetDoubles(out));
    EXPECT_EQ(out[2], 3.0);
    KProperty* n = object->CreateProperty("n", eKPropDouble, nullptr, false, false, nullptr, false);
    EXPECT_STREQ(n->GetDataType()->GetName(), "Number");
    KProperty* i = object->CreateProperty("i", eKPropInt, nullptr, false, false, nullptr, false);
    EXPECT_EQ(i->GetDataType(), nullptr);
    EXPECT_TRUE(i->GetDoubles(out));   // a scalar: one double
    KProperty* s = object->CreateProperty("s", eKPropString, nullptr, false, false, nullptr, false);
    EXPECT_FALSE(s->GetDoubles(out));
    EXPECT_FALSE(s->SetDoubles(in));
}

TEST_F(KPropertyTest, LimitsLabelsAndFlags) {
    KProperty* p = object->CreateProperty("p", eKPropDouble, nullptr, false, false, nullptr, false);
    struct Counter {
        int settings = 0;
        static bool On(void* t, int, int code, KPlug*, const void*, const void*, int) {
            if (code == KProperty::kObjectEventSettingsChanged) ++static_cast<Counter*>(t)->settings;
            return true;
        }
    } counter;
    object->AddListener(&counter, nullptr, &Counter::On, nullptr);
    p->SetMinMax(0, 100);   // unchanged: no event
    p->SetMinMax(-1, 1);
    p->SetMin(-1);
    p->SetMax(2);
    p->SetFlags(4, true);
    EXPECT_EQ(counter.settings, 3);
    EXPECT_TRUE(p->TestFlags(4));
    EXPECT_EQ(p->GetMax(), 2.0);
    EXPECT_EQ(p->GetLabel(), nullptr);
    p->SetLabel("Label");
    EXPECT_STREQ(p->GetLabel(), "Label");
    p->SetLabel("");
    EXPECT_EQ(p->GetLabel(), nullptr);
    EXPECT_EQ(p->GetInfo().ModifyFlags(0x400, true), 0x400);
    EXPECT_EQ(p->GetInfo().ModifyFlags(0x400, false), 0);
}

TEST_F(KPropertyTest, ReferencePropertiesFollowTheirTarget) {
    auto* other = new KObject;
    other->SetName("Other");
    KProperty* target = other->CreateProperty("Target", eKPropDouble, nullptr, false, false, nullptr, false);
    target->SetMinMax(-5, 5);
    KProperty* ref = object->CreateReferenceProperty(target, nullptr);
    ASSERT_NE(ref, nullptr);
    EXPECT_STREQ(ref->GetName(), "Other.Target");
    EXPECT_EQ(ref->GetValueType(), eKPropReference);
    EXPECT_EQ(ref->GetReferencedProperty(), target);
    EXPECT_EQ(ref->GetMin(), -5.0);
    EXPECT_TRUE(ref->HasInfoFlag(KPropertyInfo::kUser));
    EXPECT_FALSE(ref->HasInfoFlag(KPropertyInfo::kNamedReference));
    EXPECT_EQ(target->GetReferrerCount(), 1);
    EXPECT_EQ(target->GetDestinationProperty(0), ref);
    KProperty* named = object->CreateReferenceProperty(target, "Alias");
    ASSERT_NE(named, nullptr);
    EXPECT_TRUE(named->HasInfoFlag(KPropertyInfo::kNamedReference));

    KProperty* objectProperty = other->CreateProperty("Obj", eKPropObject, nullptr, false, false, nullptr, false);
    EXPECT_EQ(object->CreateReferenceProperty(objectProperty, nullptr), nullptr);
    EXPECT_EQ(object->CreateReferenceProperty(nullptr, nullptr), nullptr);

    // Destroying the target destroys the reference properties that point at it.
    const int before = object->GetPropertyCount();
    EXPECT_TRUE(other->RemoveProperty(target));
    EXPECT_EQ(object->GetPropertyCount(), before - 2);
    EXPECT_EQ(object->FindPropertyByName("Alias"), nullptr);
    other->Destroy();
}

TEST_F(KPropertyTest, ReferenceLosingItsSourceIsDestroyedUnlessOwnerIsDying) {
    auto* other = new KObject;
    KProperty* target = other->CreateProperty("Target", eKPropDouble, nullptr, false, false, nullptr, false);
    KProperty* ref = object->CreateReferenceProperty(target, "R");
    ASSERT_NE(ref, nullptr);
    ASSERT_TRUE(ref->DisconnectSource(target));
    EXPECT_EQ(object->FindPropertyByName("R"), nullptr);

    // A walk that cuts the last source does not free the plug under itself.
    ref = object->CreateReferenceProperty(target, "R2");
    ASSERT_NE(ref, nullptr);
    ref->DisconnectAllSources();
    EXPECT_EQ(object->FindPropertyByName("R2"), nullptr);

    // While its owner is being destroyed nothing is destroyed twice.
    auto* holder = new KObject;
    ASSERT_NE(holder->CreateReferenceProperty(target, "R3"), nullptr);
    holder->Destroy();
    EXPECT_EQ(target->GetReferrerCount(), 0);
    other->Destroy();
}

TEST_F(KPropertyTest, CloneIntoAndCloneProperty) {
    auto* other = new KObject;
    KProperty* p = object->CreateProperty("Name", eKPropInt, nullptr, false, true, nullptr, false);
    p->SetMinMax(1, 9);
    p->SetInt(7);
    other->CreateProperty("Name", eKPropInt, nullptr, false, false, nullptr, false);
    other->CreateProperty("Name 0", eKPropInt, nullptr, false, false, nullptr, false);
    KProperty* clone = p->CloneInto(other);
    ASSERT_NE(clone, nullptr);
    EXPECT_STREQ(clone->GetName(), "Name 0 1");
    EXPECT_TRUE(clone->HasInfoFlag(KPropertyInfo::kUser));
    EXPECT_EQ(clone->GetMax(), 9.0);
    KProperty* viaObject = other->CloneProperty(p);
    ASSERT_NE(viaObject, nullptr);
    EXPECT_STREQ(viaObject->GetName(), "Name 1");
    EXPECT_EQ(viaObject->GetMin(), 1.0);
    KProperty* animatable = object->CreateProperty("A", eKPropDouble, nullptr, true, false, nullptr, false);
    EXPECT_EQ(animatable->CloneInto(other), nullptr);
    EXPECT_EQ(p->CloneInto(nullptr), nullptr);

    // Copying values between same-coded properties; other codes store nothing.
    KProperty* target = other->FindPropertyByName("Name");
    target->CopyValue(p);
    EXPECT_EQ(target->GetInt(), 7);
    KProperty* d = other->CreateProperty("D", eKPropDouble, nullptr, false, false, nullptr, false);
    d->CopyValue(p);
    EXPECT_EQ(d->GetDouble(), 0.0);
    other->Destroy();
}

TEST_F(KPropertyTest, ObjectRefusingUserProperties) {
    object->SetCapabilities(object->GetCapabilities() | KObject::kCapabilityNoUserProperties);
    EXPECT_EQ(object->CreateProperty("u", eKPropInt, nullptr, false, true, nullptr, false), nullptr);
    EXPECT_NE(object->CreateProperty("b", eKPropInt, nullptr, false, false, nullptr, false), nullptr);
}

TEST_F(KPropertyTest, WorldRegisteredPropertiesGetIds) {
    auto* other = new KObject;
    KProperty* p = other->CreateProperty("w", eKPropInt, nullptr, false, false, nullptr, false);
    p->GetInfo().flags |= KPropertyInfo::kWorldRegistered;
    other->Initialize(KWorldGet()->GetSpaceA());
    EXPECT_GE(p->GetInfo().worldId, 0);
    EXPECT_EQ(KWorldGet()->GetProperty(p->GetInfo().worldId), p);
    int id = p->GetInfo().worldId;
    other->Destroy();
    EXPECT_EQ(KWorldGet()->GetProperty(id), nullptr);
}

TEST_F(KPropertyTest, PropertyNotOwnedByItsObjectMayOutliveIt) {
    auto* holder = new KObject;
    auto* free = new KPropertyTemplate<double>(nullptr, "free");
    free->GetInfo().flags &= ~KPropertyInfo::kOwned;
    free->Init("free", holder, nullptr, nullptr);
    holder->AddProperty(free);
    KPlug source;
    free->ConnectSource(&source);
    holder->Destroy();
    EXPECT_EQ(free->GetOwner(), nullptr);
    EXPECT_EQ(free->GetSourceCount(), 0);
    free->SetDouble(1.5);   // its events no longer go to the dead object
    EXPECT_EQ(free->GetDouble(), 1.5);
    free->Destroy();
}

TEST_F(KPropertyTest, ReplacingTheTargetKeepsTheReferenceAlive) {
    auto* other = new KObject;
    KProperty* first = other->CreateProperty("First", eKPropDouble, nullptr, false, false, nullptr, false);
    KProperty* second = other->CreateProperty("Second", eKPropDouble, nullptr, false, false, nullptr, false);
    KProperty* ref = object->CreateReferenceProperty(first, "R");
    ASSERT_NE(ref, nullptr);
    // Between the cut and the new link the reference has no source; the
    // pending replacement keeps its object from destroying it.
    ASSERT_TRUE(ref->ReplaceSource(first, second, -1));
    EXPECT_EQ(object->FindPropertyByName("R"), ref);
    EXPECT_EQ(ref->GetReferencedProperty(), second);
    EXPECT_EQ(first->GetReferrerCount(), 0);
    EXPECT_EQ(second->GetReferrerCount(), 1);
    EXPECT_TRUE(ref->SetSource(0, first));
    EXPECT_EQ(ref->GetReferencedProperty(), first);
    other->Destroy();
    EXPECT_EQ(object->FindPropertyByName("R"), nullptr);
}
