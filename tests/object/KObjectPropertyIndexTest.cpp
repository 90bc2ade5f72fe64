#include "sdk/object/KObject.h"
#include "sdk/object/KProperty.h"
#include "sdk/object/KPropertySlotTable.h"
#include "sdk/object/KPropertyTemplate.h"
#include "sdk/object/KWorld.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <vector>

using namespace duzsdk;

namespace {

class KObjectPropertyIndexTest : public ::testing::Test {
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

    // The plain list walks the indexed lookups must agree with.
    KProperty* ScanByName(const char* text) const {
        for (int i = 0; i < object->GetPropertyCount(); ++i) {
            KProperty* property = object->GetProperty(i);
            if (std::strcmp(property->GetName(), text) == 0) return property;
        }
        return nullptr;
    }
    int ScanIndex(const KProperty* property) const {
        for (int i = 0; i < object->GetPropertyCount(); ++i)
            if (object->GetProperty(i) == property) return i;
        return -1;
    }
    void ExpectIndexMatchesScan(const std::set<std::string>& names) const {
        for (const std::string& name : names)
            ASSERT_EQ(object->FindPropertyByName(name.c_str()), ScanByName(name.c_str())) << name;
        for (int i = 0; i < object->GetPropertyCount(); ++i)
            ASSERT_EQ(object->IndexOfProperty(object->GetProperty(i)), i);
    }

    KProperty* AddNamed(const char* name) { return new KPropertyTemplate<int>(object, name); }

    KObject* object = nullptr;
};

// Adds, renames (plain and unique) and removals in a fixed pseudo-random
// order over a small name pool, so names collide often and renames move
// properties into buckets both before and after their other members.
TEST_F(KObjectPropertyIndexTest, LookupsAgreeWithAListScanThroughMixedChanges) {
    const std::vector<std::string> pool = {"a", "b", "c", "a 0", "a 1", "Lcl Translation", "", "A"};
    std::set<std::string> names(pool.begin(), pool.end());
    names.insert("missing");
    std::vector<KProperty*> removed;
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    for (int step = 0; step < 600; ++step) {
        const std::string& name = pool[next(static_cast<std::uint32_t>(pool.size()))];
        const int count = object->GetPropertyCount();
        switch (next(5)) {
            case 0:
            case 1: AddNamed(name.c_str()); break;
            case 2:
                if (count > 0) object->GetProperty(static_cast<int>(next(count)))->SetName(name.c_str(), false);
                break;
            case 3:
                if (count > 0) {
                    KProperty* property = object->GetProperty(static_cast<int>(next(count)));
                    property->SetName(name.c_str(), true);
                    names.insert(property->GetName());
                    EXPECT_EQ(object->FindPropertyByName(property->GetName()), property);
                }
                break;
            case 4:
                if (count > 0) {
                    KProperty* property = object->GetProperty(static_cast<int>(next(count)));
                    ASSERT_TRUE(object->RemoveProperty(property));
                    EXPECT_EQ(object->IndexOfProperty(property), -1);
                }
                break;
        }
        ExpectIndexMatchesScan(names);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(object->GetPropertyCount(), 20);
}

TEST_F(KObjectPropertyIndexTest, CreatePropertyNumbersClashesAndReusesFreedNumbers) {
    auto create = [this](const char* name) {
        return object->CreateProperty(name, eKPropInt, nullptr, false, false, nullptr, false);
    };
    std::vector<std::string> made;
    for (int i = 0; i < 5; ++i) made.push_back(create("p")->GetName());
    EXPECT_EQ(made, (std::vector<std::string>{"p", "p 0", "p 1", "p 2", "p 3"}));

    // A removed or renamed number is taken again before the next new one.
    ASSERT_TRUE(object->RemoveProperty(object->FindPropertyByName("p 1")));
    EXPECT_STREQ(create("p")->GetName(), "p 1");
    object->FindPropertyByName("p 0")->SetName("q", false);
    EXPECT_STREQ(create("p")->GetName(), "p 0");
    EXPECT_STREQ(create("p")->GetName(), "p 4");

    // Numbers taken by hand are skipped; "p 05" is not a number of "p".
    AddNamed("p 5");
    AddNamed("p 6");
    AddNamed("p 05");
    EXPECT_STREQ(create("p")->GetName(), "p 7");
    ASSERT_TRUE(object->RemoveProperty(object->FindPropertyByName("p 05")));
    EXPECT_STREQ(create("p")->GetName(), "p 8");

    // Asking for the existing one still hands it back.
    KProperty* first = object->FindPropertyByName("p");
    EXPECT_EQ(object->CreateProperty("p", eKPropInt, nullptr, false, false, nullptr, true), first);
}

TEST_F(KObjectPropertyIndexTest, FirstInListOrderWinsAmongSameNamedProperties) {
    KProperty* first = AddNamed("x");
    KProperty* second = AddNamed("y");
    KProperty* third = AddNamed("x");
    EXPECT_EQ(object->FindPropertyByName("x"), first);
    // Renaming an earlier property onto a name makes it the match.
    first->SetName("z", false);
    EXPECT_EQ(object->FindPropertyByName("x"), third);
    second->SetName("x", false);
    EXPECT_EQ(object->FindPropertyByName("x"), second);
    third->SetName("X", false);   // names match case-sensitively
    EXPECT_EQ(object->FindPropertyByName("X"), third);
    EXPECT_EQ(object->FindPropertyByName("x"), second);
    EXPECT_EQ(object->FindPropertyByName(nullptr), nullptr);
}

TEST_F(KObjectPropertyIndexTest, PropertyLeavesTheIndexOnEveryWayOut) {
    KProperty* destroyed = AddNamed("gone");
    KProperty* kept = AddNamed("kept");
    destroyed->Destroy();   // behind the object's back
    EXPECT_EQ(object->FindPropertyByName("gone"), nullptr);
    EXPECT_EQ(object->IndexOfProperty(kept), 0);

    // A second add of a listed property would leave an entry destroyed twice.
    object->AddProperty(kept);
    EXPECT_EQ(object->GetPropertyCount(), 1);
    EXPECT_EQ(object->IndexOfProperty(kept), 0);

    object->RemoveAllProperties();
    EXPECT_EQ(object->GetPropertyCount(), 0);
    EXPECT_EQ(object->FindPropertyByName("kept"), nullptr);
    EXPECT_EQ(object->IndexOfProperty(kept), -1);
}


// Shared slots: properties listed unmade at the start of the list and made
// when asked for. The slot names collide with the pool on purpose.
constexpr const char* kSlotNames[] = {"a", "b", "Lcl Translation", "c", "a 1"};
int gSlotsMade = 0;

void MakeSlot(KObject* owner, int slot) {
    ++gSlotsMade;
    new KPropertyTemplate<int>(owner, kSlotNames[slot]);
}

const KPropertySlotTable& SlotTable() {
    static const KPropertySlotTable table(
        {{kSlotNames[0], 0}, {kSlotNames[1], 0}, {kSlotNames[2], 0}, {kSlotNames[3], 0}, {kSlotNames[4], 0}},
        &MakeSlot);
    return table;
}

class KObjectSlotTest : public KObjectPropertyIndexTest {
protected:
    void SetUp() override {
        KObjectPropertyIndexTest::SetUp();
        gSlotsMade = 0;
        ASSERT_TRUE(object->ListSlots(&SlotTable()));
    }
    // The first index carrying the name, read without making anything.
    int ScanNameIndex(const char* text) const {
        for (int i = 0; i < object->GetPropertyCount(); ++i)
            if (std::strcmp(object->GetPropertyName(i), text) == 0) return i;
        return -1;
    }
};

TEST_F(KObjectSlotTest, SlotsAreMadeOnlyWhenAskedFor) {
    EXPECT_EQ(object->GetPropertyCount(), 5);
    EXPECT_FALSE(object->ListSlots(&SlotTable()));   // only on an empty list
    EXPECT_STREQ(object->GetPropertyName(2), "Lcl Translation");
    EXPECT_EQ(object->PeekProperty(2), nullptr);
    EXPECT_EQ(object->GetUserPropertyCount(), 0);
    EXPECT_EQ(gSlotsMade, 0);

    KProperty* b = object->FindPropertyByName("b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(gSlotsMade, 1);
    EXPECT_EQ(object->PeekProperty(1), b);
    EXPECT_EQ(object->IndexOfProperty(b), 1);
    EXPECT_EQ(object->GetProperty(1), b);
    EXPECT_EQ(b->GetOwner(), object);

    // A new property of a slot's name gets a number, as it would beside a made one.
    KProperty* clash = object->CreateProperty("c", eKPropInt, nullptr, false, false, nullptr, false);
    EXPECT_STREQ(clash->GetName(), "c 0");
    EXPECT_EQ(object->IndexOfProperty(clash), 5);
    EXPECT_EQ(gSlotsMade, 2);   // the look-up made "c"
    EXPECT_TRUE(object->IsPropertyNameTaken("Lcl Translation", nullptr));
    EXPECT_EQ(gSlotsMade, 2);

    // The object goes without making the rest.
    object->RemoveAllProperties();
    EXPECT_EQ(object->GetPropertyCount(), 0);
    EXPECT_EQ(gSlotsMade, 2);
}

// Short runs from a fresh list of slots, so that changes meet slots made
// and unmade, at the end of the list and before other properties.
TEST_F(KObjectSlotTest, LookupsAgreeWithAListScanThroughMixedChanges) {
    const std::vector<std::string> pool = {"a", "b", "c", "a 0", "a 1", "Lcl Translation", "", "A"};
    std::set<std::string> names(pool.begin(), pool.end());
    names.insert("missing");
    std::uint32_t seed = 777;
    auto next = [&seed](std::uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    for (int run = 0; run < 80; ++run) {
        if (run > 0) {
            object->Destroy();
            object = new KObject;
            object->Initialize(KWorldGet()->GetSpaceA());
            ASSERT_TRUE(object->ListSlots(&SlotTable()));
        }
        for (int step = 0; step < 12; ++step) {
            const std::string& name = pool[next(static_cast<std::uint32_t>(pool.size()))];
            const int count = object->GetPropertyCount();
            switch (next(6)) {
                case 0: AddNamed(name.c_str()); break;
                case 1:
                    if (count > 0) object->GetProperty(static_cast<int>(next(count)))->SetName(name.c_str(), false);
                    break;
                case 2:
                    if (count > 0) {
                        KProperty* property = object->GetProperty(static_cast<int>(next(count)));
                        property->SetName(name.c_str(), true);
                        names.insert(property->GetName());
                    }
                    break;
                case 3:
                case 4:
                    if (count > 0) {
                        const int index = static_cast<int>(next(count));
                        KProperty* property = object->GetProperty(index);
                        ASSERT_TRUE(object->RemoveProperty(property));
                        EXPECT_EQ(object->IndexOfProperty(property), -1);
                        ASSERT_EQ(object->GetPropertyCount(), count - 1);
                    }
                    break;
                default:   // look-ups only: they make what they find
                    break;
            }
            // One name a step, so that slots stay unmade for a while.
            auto it = names.begin();
            std::advance(it, next(static_cast<std::uint32_t>(names.size())));
            const int index = ScanNameIndex(it->c_str());
            EXPECT_EQ(object->IsPropertyNameTaken(it->c_str(), nullptr), index >= 0) << *it;
            KProperty* found = object->FindPropertyByName(it->c_str());
            ASSERT_EQ(found, index < 0 ? nullptr : object->PeekProperty(index)) << *it << " run " << run;
            for (int i = 0; i < object->GetPropertyCount(); ++i) {
                KProperty* property = object->PeekProperty(i);
                if (property != nullptr) {
                    ASSERT_EQ(object->IndexOfProperty(property), i);
                    ASSERT_STREQ(object->GetPropertyName(i), property->GetName());
                }
            }
        }
    }
}

}  // namespace
