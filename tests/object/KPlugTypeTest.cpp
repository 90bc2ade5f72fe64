#include "sdk/object/KPlug.h"
#include "sdk/object/KPlugHandle.h"
#include "sdk/object/KPlugType.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace duzsdk;

TEST(KPlugTypeTest, EveryRowIsRegisteredWithItsNumberAndParent) {
    int next = kPlugTypeFirstFree;
    for (const KPlugTypeRow& row : kPlugTypeRows) {
        SCOPED_TRACE(row.name);
        int expected;
        if (std::strcmp(row.name, "None") == 0) expected = -1;
        else if (std::strcmp(row.name, "KObject") == 0) expected = 1;
        else if (std::strcmp(row.name, "KPlug") == 0) expected = 2;
        else expected = next++;
        EXPECT_EQ(PlugTypeNumberOf(row.name), expected);
        KPlugTypeInfo* record = PlugTypeInfoGetRecord(expected);
        ASSERT_NE(record, nullptr);
        EXPECT_STREQ(record->GetName(), row.name);
        EXPECT_EQ(PlugTypeInfoGet(expected), &record->filter);
        if (row.parent == nullptr) {
            EXPECT_EQ(record->parent, nullptr);
        } else {
            ASSERT_NE(record->parent, nullptr);
            EXPECT_STREQ(record->parent->GetName(), row.parent);
        }
    }
    // The odd spellings are the registered names.
    EXPECT_GT(PlugTypeNumberOf("KDuzCharacter_Internal"), 2);
    EXPECT_GT(PlugTypeNumberOf("KFCurveFilterGimbleKiller"), 2);
    EXPECT_EQ(PlugTypeInfoGet(next), nullptr);
}

TEST(KPlugTypeTest, AncestryFollowsParents) {
    KPlugTypeInfo* mesh = PlugTypeInfoFindByName("KDuzMesh_internal");
    ASSERT_NE(mesh, nullptr);
    for (const char* ancestor : {"KDuzMesh_internal", "KDuzGeometry_internal", "KDuzNodeAttribute_internal",
                                 "KDuzObject_internal", "KObject", "KPlug"}) {
        SCOPED_TRACE(ancestor);
        EXPECT_TRUE(mesh->IsA(PlugTypeNumberOf(ancestor)));
    }
    EXPECT_FALSE(mesh->IsA(kPlugTypeKProperty));
    EXPECT_FALSE(mesh->IsA(PlugTypeNumberOf("KDuzNode_internal")));
}

TEST(KPlugTypeTest, FilterAcceptance) {
    KPlug plug;
    KPlugFilter* none = PlugTypeInfoGet(kPlugTypeNone);
    KPlugFilter* plugType = PlugTypeInfoGet(kPlugTypeKPlug);
    KPlugFilter* objectType = PlugTypeInfoGet(kPlugTypeKObject);
    EXPECT_TRUE(none->Accepts(nullptr));
    EXPECT_TRUE(none->Accepts(&plug));
    EXPECT_TRUE(plugType->Accepts(&plug));
    EXPECT_FALSE(objectType->Accepts(&plug));
    EXPECT_FALSE(plugType->Accepts(nullptr));
    EXPECT_TRUE(plugType->IsSameType(PlugTypeInfoGet(kPlugTypeKPlug)));
    EXPECT_FALSE(plugType->IsSameType(nullptr));
    EXPECT_TRUE(objectType->IsTypeNumber(1));
}

TEST(KPlugTypeTest, RegistrationChecksTheRange) {
    auto* record = new KPlugTypeInfo;
    PlugTypeInfoInit(record, "TestType", PlugTypeInfoGetRecord(kPlugTypeKPlug));
    EXPECT_EQ(PlugTypeInfoRegister(record, 699), -1);
    EXPECT_EQ(PlugTypeInfoRegister(record, -2), -1);
    EXPECT_EQ(PlugTypeInfoGet(699), nullptr);
    EXPECT_EQ(PlugTypeInfoGet(-5), nullptr);
    int number = PlugTypeInfoRegister(record, -1);
    EXPECT_GE(number, kPlugTypeFirstFree);
    EXPECT_EQ(PlugTypeInfoGet(number), &record->filter);
    EXPECT_EQ(record->GetTypeNumber(), number);
    // Owned records go with the plug system's last stop.
    record->owned = true;
    KPlugSystemInit();
    KPlugSystemRelease();
    EXPECT_EQ(PlugTypeInfoGet(number), nullptr);
}

class KPlugHandleTest : public ::testing::Test {
protected:
    void SetUp() override { KPlugSystemInit(); }
    void TearDown() override { KPlugSystemRelease(); }
};

TEST_F(KPlugHandleTest, ReferenceDiesWithItsPlugEvenWhenTheRecordIsReused) {
    auto* first = new KPlug;
    HdlKObject ref = HdlKObject::FromPlug(first);
    EXPECT_EQ(ref.Get(), first);
    EXPECT_EQ(first->GetHandle(), ref.record);
    delete first;
    EXPECT_EQ(ref.Get(), nullptr);

    // Last freed, first reused: the next plug gets the same record.
    KPlug second;
    HdlKObject secondRef = HdlKObject::FromPlug(&second);
    EXPECT_EQ(secondRef.record, ref.record);
    EXPECT_NE(secondRef.serial, ref.serial);
    EXPECT_EQ(ref.Get(), nullptr);
    EXPECT_EQ(secondRef.Get(), &second);
}

TEST_F(KPlugHandleTest, PoolGrowsBlockByBlock) {
    std::vector<std::unique_ptr<KPlug>> plugs;
    for (int i = 0; i < KPlugHandlePool::kBlockSize + 1; ++i) {
        plugs.push_back(std::make_unique<KPlug>());
        ASSERT_NE(plugs.back()->GetHandle(), nullptr);
    }
    EXPECT_EQ(KPlugHandlePoolGet()->GetBlockCount(), 2);
    EXPECT_EQ(HdlKObject::FromPlug(plugs.front().get()).Get(), plugs.front().get());
    EXPECT_EQ(HdlKObject::FromPlug(plugs.back().get()).Get(), plugs.back().get());
}

TEST(KPlugSystemTest, StartAndStopNest) {
    EXPECT_FALSE(KPlugSystemIsActive());
    KPlugSystemInit();
    KPlugSystemInit();
    KPlugSystemRelease();
    EXPECT_TRUE(KPlugSystemIsActive());
    KPlug plug;
    HdlKObject ref = HdlKObject::FromPlug(&plug);
    EXPECT_EQ(ref.Get(), &plug);
    KPlugSystemRelease();
    EXPECT_FALSE(KPlugSystemIsActive());
    // A reference resolves to nothing once the system stops, and stays dead
    // after a restart.
    EXPECT_EQ(ref.Get(), nullptr);
    KPlugSystemInit();
    EXPECT_EQ(ref.Get(), nullptr);
    KPlugSystemRelease();
}

TEST(KPlugSystemTest, NoHandleWithoutPlugSystem) {
    KPlug plug;
    EXPECT_EQ(plug.GetHandle(), nullptr);
    EXPECT_TRUE(HdlKObject::FromPlug(&plug).IsNull());
}
