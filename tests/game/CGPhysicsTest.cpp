#include "game/CGPhysics.h"
#include "game/UserStream.h"

#include "GameTestSupport.h"

#include "platform/physics/PhysicsActor.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(UserStream, RoundTripsRawValuesAndFailsOnShortReads) {
    GameTempDir dir;
    const std::string path = dir.Path() + "/stream.bin";
    {
        UserStream out(path.c_str(), false);
        ASSERT_TRUE(out.IsOpen());
        out.StoreByte(7).StoreWord(0x1234).StoreDword(0xDEADBEEF).StoreFloat(1.5f).StoreDouble(-2.25);
        EXPECT_FALSE(out.Failed());
    }
    EXPECT_EQ(std::filesystem::file_size(path), 1u + 2 + 4 + 4 + 8);
    UserStream in(path.c_str(), true);
    EXPECT_EQ(in.ReadByte(), 7);
    EXPECT_EQ(in.ReadWord(), 0x1234);
    EXPECT_EQ(in.ReadDword(), 0xDEADBEEFu);
    EXPECT_EQ(in.ReadFloat(), 1.5f);
    EXPECT_EQ(in.RemainingBytes(), 8);
    EXPECT_EQ(in.ReadDouble(), -2.25);
    EXPECT_FALSE(in.Failed());
    EXPECT_EQ(in.ReadDword(), 0u);
    EXPECT_TRUE(in.Failed());

    UserStream missing((dir.Path() + "/none.bin").c_str(), true);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.ReadByte(), 0);
    EXPECT_TRUE(missing.Failed());
}

class CGPhysicsTest : public testing::Test {
protected:
    void SetUp() override { physics.cookedMeshFile = dir.Path() + "/temp.bin"; }
    GameTempDir dir;
    CGPhysics physics;
};

TEST_F(CGPhysicsTest, BuildsTheWorld) {
    ASSERT_NE(physics.scene, nullptr);
    EXPECT_EQ(physics.scene->Gravity().y, -80.0f);
    EXPECT_EQ(physics.scene->Material(0)->restitution, 0.5f);
    EXPECT_EQ(physics.scene->ActorCount(), 1u);   // the ground plane
    EXPECT_EQ(physics.engine->Parameter(1), 0.0025f);
    EXPECT_TRUE(physics.scene->GroupCollisionFlag(11, 0));
    EXPECT_STREQ(CGPhysics::CreateErrorName(2), "NXCE_WRONG_VERSION");
    EXPECT_STREQ(CGPhysics::CreateErrorName(42), "Unknown error");
}

TEST_F(CGPhysicsTest, MeshActorsAreFrozenAndPassThroughTheFile) {
    const float triangles[18] = {0, 0, 0, 1, 0, 0, 0, 0, 1, 5, 0, 5, 6, 0, 5, 5, 0, 6};
    duzplatform::PhysicsActor* first = physics.AddMeshActor(triangles, 6, {0, 0, 0}, 2);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->BodyFlags(), 2430u);
    ASSERT_EQ(first->ShapeCount(), 1u);
    EXPECT_EQ(first->Shape(0)->Desc().mesh->TriangleCount(), 2u);
    const auto twoTriangles = std::filesystem::file_size(physics.cookedMeshFile);

    // The second call leaves its own mesh in the file.
    duzplatform::PhysicsActor* second = physics.AddMeshActor(triangles, 3, {1, 2, 3}, 1);
    ASSERT_NE(second, nullptr);
    EXPECT_LT(std::filesystem::file_size(physics.cookedMeshFile), twoTriangles);
    EXPECT_EQ(second->GlobalPosition().y, 2.0f);
}

TEST_F(CGPhysicsTest, TriangleCountsBeyondTheVerticesAreCut) {
    const float triangle[9] = {0, 0, 0, 1, 0, 0, 0, 0, 1};
    // Claims 5 triangles for 3 vertices: only the one that exists is used.
    duzplatform::PhysicsActor* actor = physics.AddMeshActor(triangle, 3, {0, 0, 0}, 5);
    ASSERT_NE(actor, nullptr);
    EXPECT_EQ(actor->Shape(0)->Desc().mesh->TriangleCount(), 1u);
    // No triangles still makes an actor (through the file).
    duzplatform::PhysicsActor* empty = physics.AddMeshActor(nullptr, 0, {0, 0, 0}, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(std::filesystem::exists(physics.cookedMeshFile));
    EXPECT_EQ(physics.AddMeshActor(triangle, -1, {0, 0, 0}, 1), nullptr);
}

TEST_F(CGPhysicsTest, AnUnwritableCookingFileGivesNoActor) {
    physics.cookedMeshFile = dir.Path() + "/no/such/folder/temp.bin";
    const float triangle[9] = {0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(physics.AddMeshActor(triangle, 3, {0, 0, 0}, 1), nullptr);
}

TEST(CGPhysicsController, TheUsersCapsuleStandsOnTheGround) {
    GameCreateControllerManager();
    CGPhysics physics;
    duzplatform::CapsuleController* controller =
        GameControllerManager()->CreateController(physics.scene, GameControllerDesc());
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->Position().y, 2.0);
    EXPECT_EQ(controller->Radius(), 1.0f);
    EXPECT_EQ(controller->StepOffset(), 1.0f);
    GameControllerManager()->ReleaseController(controller);
    GameReleaseControllerManager();
    EXPECT_EQ(GameControllerManager(), nullptr);
}

}  // namespace

namespace {

// The level's collision setup: mesh shapes in group 1 stop the user's
// capsule (moves use the groups mask 6); the ground plane stays in group 0,
// so only the game's own height rule keeps the user above it.
TEST(CGPhysicsController, TheCapsuleLandsOnLevelMeshesButNotOnTheGroundPlane) {
    GameTempDir dir;
    GameCreateControllerManager();
    {
        CGPhysics physics;
        physics.cookedMeshFile = dir.Path() + "/temp.bin";
        // A 20 x 20 floor at height 5, wound to face up.
        const float floor[18] = {-10, 5, -10, -10, 5, 10, 10, 5, 10, -10, 5, -10, 10, 5, 10, 10, 5, -10};
        duzplatform::PhysicsActor* actor = physics.AddMeshActor(floor, 6, {0, 0, 0}, 2);
        ASSERT_NE(actor, nullptr);
        actor->Shape(0)->SetGroup(1);

        duzplatform::CapsuleControllerDesc desc = GameControllerDesc();
        desc.position = {0.0, 9.0, 0.0};
        duzplatform::CapsuleController* onFloor =
            GameControllerManager()->CreateController(physics.scene, desc);
        ASSERT_NE(onFloor, nullptr);
        uint32_t flags = 0;
        for (int i = 0; i < 20; ++i) flags = onFloor->Move({0, -0.7f, 0}, 6, 0.000001f, 1);
        EXPECT_TRUE(flags & duzplatform::PhysicsControllerFlag::Down);
        EXPECT_GT(onFloor->Position().y, 5.0);
        EXPECT_LT(onFloor->Position().y, 7.5);

        desc.position = {50.0, 3.0, 50.0};   // beside the floor, above the plane
        duzplatform::CapsuleController* offFloor =
            GameControllerManager()->CreateController(physics.scene, desc);
        ASSERT_NE(offFloor, nullptr);
        for (int i = 0; i < 10; ++i) offFloor->Move({0, -0.7f, 0}, 6, 0.000001f, 1);
        EXPECT_LT(offFloor->Position().y, 0.0);
        GameControllerManager()->PurgeControllers();
    }
    GameReleaseControllerManager();
}

}  // namespace
