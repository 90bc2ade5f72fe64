#include <gtest/gtest.h>

#include <cmath>

#include "PhysicsTestWorld.h"

using namespace physicstest;

namespace {

// A capsule of radius 1 and height 1 resting with the skin width of 0.1 under
// it has its centre this far above the floor.
constexpr double kRestHeight = 0.1 + 1.0 + 0.5;
// Resting heights come from sweeps in float precision.
constexpr double kTolerance = 0.02;

struct FallCase {
    const char* name;
    bool meshFloor;       // a cooked floor at y = 0 besides the ground plane
    uint16_t floorGroup;
    uint32_t activeGroups;
    bool lands;
};

} // namespace

TEST(CapsuleControllerTest, FallsUntilItTouchesWhatItsGroupsCollideWith)
{
    const FallCase cases[] = {
        {"plane in group 0, mask with group 0", false, 0, 7, true},
        // The game's mask 6 leaves the ground plane (group 0) out.
        {"plane only, game mask 6", false, 0, 6, false},
        {"mesh floor in group 1, game mask 6", true, 1, 6, true},
        {"mesh floor in group 3, game mask 6", true, 3, 6, false},
    };
    for (const FallCase& c : cases) {
        SCOPED_TRACE(c.name);
        GameWorld world;
        ASSERT_NE(world.scene, nullptr);
        if (c.meshFloor) {
            ASSERT_NE(world.AddMesh(Floor(), c.floorGroup), nullptr);
        }
        CapsuleController* capsule = world.AddCapsule({0.0, 10.0, 0.0});
        ASSERT_NE(capsule, nullptr);
        const uint32_t flags = GameWorld::Walk(*capsule, {0.0f, -0.7f, 0.0f}, 40, c.activeGroups);
        if (c.lands) {
            EXPECT_NEAR(capsule->Position().y, kRestHeight, kTolerance);
            EXPECT_TRUE(flags & PhysicsControllerFlag::Down);
            // At rest it stays put and keeps reporting the ground below.
            const uint32_t again = capsule->Move({0.0f, -0.7f, 0.0f}, c.activeGroups, 0.000001f, 1.0f);
            EXPECT_TRUE(again & PhysicsControllerFlag::Down);
            EXPECT_NEAR(capsule->Position().y, kRestHeight, kTolerance);
        } else {
            EXPECT_NEAR(capsule->Position().y, 10.0 - 40 * 0.7, 1e-3);
            EXPECT_EQ(flags, 0u);
        }
        // The actor follows the controller.
        EXPECT_NEAR(capsule->Actor()->GlobalPosition().y, capsule->Position().y, 1e-4);
    }
}

TEST(CapsuleControllerTest, SlidesAlongAWallOfCookedTriangles)
{
    GameWorld world;
    ASSERT_NE(world.AddMesh(Floor()), nullptr);
    MeshData wall;
    wall.Quad({5, 0, -50}, {5, 10, -50}, {5, 10, 50}, {5, 0, 50});
    ASSERT_NE(world.AddMesh(wall), nullptr);
    CapsuleController* capsule = world.AddCapsule({0.0, kRestHeight, 0.0});
    ASSERT_NE(capsule, nullptr);

    // Walking diagonally into the wall: x stops a skin width short of it, z goes on.
    uint32_t flags = GameWorld::Walk(*capsule, {0.2f, -0.7f, 0.2f}, 100);
    EXPECT_TRUE(flags & PhysicsControllerFlag::Sides);
    EXPECT_TRUE(flags & PhysicsControllerFlag::Down);
    EXPECT_NEAR(capsule->Position().x, 5.0 - 1.0 - 0.1, 0.05);
    EXPECT_GT(capsule->Position().z, 15.0);
    EXPECT_NEAR(capsule->Position().y, kRestHeight, kTolerance);

    // Walking straight at it gains nothing.
    const double x = capsule->Position().x;
    GameWorld::Walk(*capsule, {0.3f, -0.7f, 0.0f}, 20);
    EXPECT_NEAR(capsule->Position().x, x, 1e-3);

    // A wall outside the active groups does not stop it.
    capsule->SetPosition({0.0, kRestHeight, 0.0});
    world.scene->Actor(world.scene->ActorCount() - 2)->Shape(0)->SetGroup(4);
    GameWorld::Walk(*capsule, {0.2f, -0.7f, 0.0f}, 50);
    EXPECT_NEAR(capsule->Position().x, 10.0, 1e-3);
}

struct LedgeCase {
    const char* name;
    float height;
    bool climbs;
};

TEST(CapsuleControllerTest, ClimbsLedgesUpToTheStepOffset)
{
    const LedgeCase cases[] = {
        {"0.5, below the step offset", 0.5f, true},
        {"0.9, just below the step offset", 0.9f, true},
        {"1.0, the demo level's step", 1.0f, true},
        {"1.2, above the step offset", 1.2f, false},
        {"1.5, well above the step offset", 1.5f, false},
    };
    for (const LedgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        GameWorld world;
        ASSERT_NE(world.AddMesh(Floor()), nullptr);
        MeshData ledge;
        ledge.Box({3, 0, -10}, {20, c.height, 10});
        ASSERT_NE(world.AddMesh(ledge), nullptr);
        CapsuleController* capsule = world.AddCapsule({0.0, kRestHeight, 0.0});
        ASSERT_NE(capsule, nullptr);
        GameWorld::Walk(*capsule, {0.2f, -0.7f, 0.0f}, 40);
        if (c.climbs) {
            EXPECT_GT(capsule->Position().x, 5.0);
            EXPECT_NEAR(capsule->Position().y, c.height + kRestHeight, kTolerance);
        } else {
            EXPECT_NEAR(capsule->Position().x, 3.0 - 1.0 - 0.1, 0.05);
            EXPECT_NEAR(capsule->Position().y, kRestHeight, kTolerance);
        }
    }
}

struct SlopeCase {
    const char* name;
    float riseOverRun;
    bool climbs;
};

TEST(CapsuleControllerTest, ClimbsOnlySlopesWithinTheLimit)
{
    // Slope limit 0.707 is about 45 degrees.
    const SlopeCase cases[] = {
        {"30 degrees", 0.577f, true},
        {"40 degrees", 0.839f, true},
        {"55 degrees", 1.428f, false},
        {"70 degrees", 2.747f, false},
    };
    for (const SlopeCase& c : cases) {
        SCOPED_TRACE(c.name);
        GameWorld world;
        ASSERT_NE(world.AddMesh(Floor()), nullptr);
        MeshData ramp;
        const float run = 20.0f;
        ramp.Quad({3, 0, -10}, {3, 0, 10}, {3 + run, run * c.riseOverRun, 10}, {3 + run, run * c.riseOverRun, -10});
        ASSERT_NE(world.AddMesh(ramp), nullptr);
        CapsuleController* capsule = world.AddCapsule({0.0, kRestHeight, 0.0});
        ASSERT_NE(capsule, nullptr);
        GameWorld::Walk(*capsule, {0.2f, -0.7f, 0.0f}, 60);
        if (c.climbs) {
            EXPECT_GT(capsule->Position().x, 8.0);
            EXPECT_GT(capsule->Position().y, kRestHeight + 2.0);
        } else {
            EXPECT_LT(capsule->Position().x, 3.5);
            EXPECT_LT(capsule->Position().y, kRestHeight + 0.5);
        }
    }
}

TEST(CapsuleControllerTest, IgnoresItsOwnActorAndShortMoves)
{
    GameWorld world;
    ASSERT_NE(world.AddMesh(Floor()), nullptr);
    CapsuleController* capsule = world.AddCapsule({0.0, 5.0, 0.0});
    ASSERT_NE(capsule, nullptr);
    // Its own shape is in group 2, inside the mask, and must not block it.
    EXPECT_EQ(capsule->Move({0.0f, 0.5f, 0.0f}, 6, 0.000001f), 0u);
    EXPECT_NEAR(capsule->Position().y, 5.5, 1e-5);
    // Below the minimum distance nothing happens.
    EXPECT_EQ(capsule->Move({0.0f, -1e-7f, 0.0f}, 6, 0.000001f), 0u);
    EXPECT_DOUBLE_EQ(capsule->Position().y, 5.5);
    // Another capsule in group 2 does block it.
    CapsuleController* other = world.AddCapsule({4.0, 5.5, 0.0});
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(capsule->Move({3.0f, 0.0f, 0.0f}, 6, 0.000001f) & PhysicsControllerFlag::Sides);
    EXPECT_LT(capsule->Position().x, 2.0);
}

TEST(CapsuleControllerTest, AMovedFrozenActorCarriesItsCollision)
{
    // Cranes move their frozen actors by setting the pose every frame.
    GameWorld world;
    ASSERT_NE(world.AddMesh(Floor()), nullptr);
    MeshData wall;
    wall.Quad({0, 0, -5}, {0, 10, -5}, {0, 10, 5}, {0, 0, 5});
    PhysicsActor* crane = world.AddMesh(wall, 1, {5.0f, 0.0f, 0.0f});
    ASSERT_NE(crane, nullptr);
    CapsuleController* capsule = world.AddCapsule({0.0, kRestHeight, 0.0});
    GameWorld::Walk(*capsule, {0.2f, -0.7f, 0.0f}, 30);
    EXPECT_LT(capsule->Position().x, 4.0 + 1e-3);

    // Turned by 90 degrees about y, the wall lies along x and no longer blocks.
    PhysicsMat33 turn;
    turn.m[0][0] = 0; turn.m[0][2] = 1;
    turn.m[2][0] = -1; turn.m[2][2] = 0;
    crane->SetGlobalOrientation(turn);
    crane->SetGlobalPosition({5.0f, 0.0f, 20.0f});
    GameWorld::Walk(*capsule, {0.2f, -0.7f, 0.0f}, 30);
    EXPECT_GT(capsule->Position().x, 8.0);
}

TEST(CapsuleControllerTest, ControllersOutliveAReleasedSceneAsShells)
{
    GameWorld world;
    CapsuleController* capsule = world.AddCapsule({0.0, 2.0, 0.0});
    ASSERT_NE(capsule, nullptr);
    EXPECT_EQ(world.scene->ActorCount(), 2u);
    world.engine->ReleaseScene(world.scene);
    world.scene = nullptr;
    EXPECT_EQ(capsule->Actor(), nullptr);
    EXPECT_EQ(capsule->Move({1.0f, 0.0f, 0.0f}, 6, 0.0f), 0u);
    world.manager->ReleaseController(capsule);
    EXPECT_EQ(world.manager->ControllerCount(), 0u);
    EXPECT_EQ(world.allocator.live, 0);
}

TEST(CapsuleControllerTest, RefusesInvalidDescriptors)
{
    GameWorld world;
    CapsuleControllerDesc desc;
    desc.radius = 1.0f;
    desc.height = 1.0f;
    ASSERT_NE(world.manager->CreateController(world.scene, desc), nullptr);
    const int before = world.allocator.live;

    CapsuleControllerDesc bad = desc;
    bad.radius = 0.0f;
    EXPECT_EQ(world.manager->CreateController(world.scene, bad), nullptr);
    bad = desc;
    bad.upDirection = PhysicsUpAxis::Z;
    EXPECT_EQ(world.manager->CreateController(world.scene, bad), nullptr);
    bad = desc;
    bad.position.y = std::nan("");
    EXPECT_EQ(world.manager->CreateController(world.scene, bad), nullptr);
    bad = desc;
    bad.slopeLimit = 1.5f;
    EXPECT_EQ(world.manager->CreateController(world.scene, bad), nullptr);
    EXPECT_EQ(world.manager->CreateController(nullptr, desc), nullptr);
    EXPECT_EQ(world.allocator.live, before);
    EXPECT_EQ(world.reporter.assertions, 4);
}

TEST(CapsuleControllerTest, StopsInACornerAndUnderACeiling)
{
    GameWorld world;
    ASSERT_NE(world.AddMesh(Floor()), nullptr);
    MeshData walls;
    walls.Quad({5, 0, -50}, {5, 10, -50}, {5, 10, 50}, {5, 0, 50});
    walls.Quad({-50, 0, 5}, {50, 0, 5}, {50, 10, 5}, {-50, 10, 5});
    walls.Quad({-50, 4, -50}, {50, 4, -50}, {50, 4, 50}, {-50, 4, 50});   // a ceiling at y = 4
    ASSERT_NE(world.AddMesh(walls), nullptr);
    CapsuleController* capsule = world.AddCapsule({0.0, kRestHeight, 0.0});
    ASSERT_NE(capsule, nullptr);

    // Pressing into the corner settles a skin width off both walls, without jitter.
    GameWorld::Walk(*capsule, {0.25f, -0.7f, 0.25f}, 60);
    const PhysicsExtVec3 settled = capsule->Position();
    EXPECT_NEAR(settled.x, 5.0 - 1.0 - 0.1, 0.05);
    EXPECT_NEAR(settled.z, 5.0 - 1.0 - 0.1, 0.05);
    GameWorld::Walk(*capsule, {0.25f, -0.7f, 0.25f}, 10);
    EXPECT_NEAR(capsule->Position().x, settled.x, 1e-4);
    EXPECT_NEAR(capsule->Position().z, settled.z, 1e-4);

    // Jumping into the ceiling stops the capsule's top a skin width below it.
    const uint32_t flags = capsule->Move({0.0f, 2.0f, 0.0f}, GameWorld::kGameGroups, 0.000001f);
    EXPECT_EQ(flags, PhysicsControllerFlag::Up);
    EXPECT_NEAR(capsule->Position().y, 4.0 - 0.1 - 1.5, kTolerance);
}

TEST(CapsuleControllerTest, WalksOverAFloorOfManyTrianglesWithoutSnagging)
{
    // Inner edges between coplanar triangles must not catch the capsule.
    GameWorld world;
    MeshData grid;
    for (int i = -10; i < 10; ++i)
        for (int j = -10; j < 10; ++j) {
            const float x = float(i), z = float(j);
            grid.Quad({x, 0, z}, {x, 0, z + 1}, {x + 1, 0, z + 1}, {x + 1, 0, z});
        }
    ASSERT_NE(world.AddMesh(grid), nullptr);
    CapsuleController* capsule = world.AddCapsule({-8.0, kRestHeight, -8.0});
    ASSERT_NE(capsule, nullptr);
    // The game's walking speed at 60 frames per second: 20 / 60 per frame.
    const uint32_t flags = GameWorld::Walk(*capsule, {20.0f / 60.0f * 0.8f, 0.0f, 20.0f / 60.0f * 0.6f}, 50);
    EXPECT_EQ(flags, PhysicsControllerFlag::Down);
    EXPECT_NEAR(capsule->Position().x, -8.0 + 50 * 0.8 / 3.0, 1e-3);
    EXPECT_NEAR(capsule->Position().z, -8.0 + 50 * 0.6 / 3.0, 1e-3);
    EXPECT_NEAR(capsule->Position().y, kRestHeight, kTolerance);
}

namespace {

// The demo level's ground: a slab whose top is at y = 0.
MeshData GroundSlab()
{
    MeshData ground;
    ground.Box({-100, -1, -100}, {100, 0, 100});
    return ground;
}

// The game's own vertical rule: no fall at a height of 2 or less, else 0.7 a frame.
float GameFall(const CapsuleController& capsule)
{
    return capsule.Position().y <= 2.0 ? 0.0f : -0.7f;
}

struct StairCase {
    const char* name;
    float fps;
    float dirX, dirZ;   // walking direction (unit)
};

} // namespace

TEST(CapsuleControllerTest, WalksUpStairsOfStepsBelowTheStepOffset)
{
    // Columns of 4 x 4 with tops 1 to 6 in a row: 1-unit steps, as in the demo
    // level, walked up along both axes and at other speeds.
    const StairCase cases[] = {
        {"+x at 60 fps", 60.0f, 1.0f, 0.0f},
        {"-x at 60 fps", 60.0f, -1.0f, 0.0f},
        {"+z at 60 fps", 60.0f, 0.0f, 1.0f},
        {"-z at 60 fps", 60.0f, 0.0f, -1.0f},
        {"+x at 15 fps", 15.0f, 1.0f, 0.0f},
        {"+x at 144 fps", 144.0f, 1.0f, 0.0f},
        {"+x at 500 fps", 500.0f, 1.0f, 0.0f},
        {"-z at 200 fps", 200.0f, 0.0f, -1.0f},
    };
    constexpr int kSteps = 6;
    for (const StairCase& c : cases) {
        SCOPED_TRACE(c.name);
        GameWorld world;
        ASSERT_NE(world.AddMesh(GroundSlab()), nullptr);
        // Along the walking axis the k-th column spans [3 + 4k, 7 + 4k].
        const bool alongX = c.dirX != 0.0f;
        const float sign = alongX ? (c.dirX > 0 ? 1.0f : -1.0f) : (c.dirZ > 0 ? 1.0f : -1.0f);
        for (int k = 0; k < kSteps; ++k) {
            const float a = sign * (3.0f + 4.0f * float(k)), b = sign * (7.0f + 4.0f * float(k));
            const float low = std::min(a, b), high = std::max(a, b), top = float(k + 1);
            MeshData column;
            if (alongX)
                column.Box({low, 0, -2}, {high, top, 2});
            else
                column.Box({-2, 0, low}, {2, top, high});
            ASSERT_NE(world.AddMesh(column), nullptr);
        }
        CapsuleController* capsule = world.AddCapsule({0.0, kRestHeight, 0.0});
        ASSERT_NE(capsule, nullptr);
        // Far enough to stand in the middle of the top step.
        const float speed = 20.0f / c.fps;
        const int frames = int(25.0f / (speed * std::fabs(alongX ? c.dirX : c.dirZ)));
        for (int i = 0; i < frames; ++i) {
            const float v = GameFall(*capsule);
            capsule->Move({c.dirX * speed, v, c.dirZ * speed}, GameWorld::kGameGroups, 0.000001f, v);
        }
        const double along = alongX ? sign * capsule->Position().x : sign * capsule->Position().z;
        EXPECT_NEAR(along, 25.0, speed);
        EXPECT_NEAR(capsule->Position().y, kSteps + kRestHeight, kTolerance);
    }
}

struct SettleCase {
    const char* name;
    double startAbove;   // of the ground's top
    uint16_t groundGroup;
    bool steep;          // a 60-degree ramp under the capsule instead of a slab
    bool movedFirst;     // the owner moves it before the scene's first step
    double expectAbove;
};

TEST(CapsuleControllerTest, StartsStandingOnTheGroundBelowIt)
{
    // The ground's top is at y = 5, out of reach of the ground plane at 0.
    constexpr double kTop = 5.0;
    const SettleCase cases[] = {
        // As the game starts: 2 above a floor, 0.4 above the capsule's rest.
        {"0.4 above its rest", 2.0, 1, false, false, kRestHeight},
        {"already resting", kRestHeight, 1, false, false, kRestHeight},
        {"more than a step offset above its rest", kRestHeight + 1.2, 1, false, false, kRestHeight + 1.2},
        {"ground in a group its shape ignores", 2.0, 9, false, false, 2.0},
        {"steep ground", 2.0, 1, true, false, 2.0},
        {"moved by its owner first", 2.0, 1, false, true, 2.5},
    };
    for (const SettleCase& c : cases) {
        SCOPED_TRACE(c.name);
        GameWorld world;
        world.scene->SetGroupCollisionFlag(2, 9, false);
        CapsuleController* capsule = world.AddCapsule({0.0, kTop + c.startAbove, 0.0});
        ASSERT_NE(capsule, nullptr);
        // The level arrives after the controller, as in the game.
        MeshData ground;
        if (c.steep)
            ground.Quad({-2, 5 - 3.46f, -5}, {-2, 5 - 3.46f, 5}, {2, 5 + 3.46f, 5}, {2, 5 + 3.46f, -5});
        else
            ground.Box({-20, kTop - 1, -20}, {20, kTop, 20});
        ASSERT_NE(world.AddMesh(ground, c.groundGroup), nullptr);
        if (c.movedFirst)
            capsule->Move({0.0f, 0.5f, 0.0f}, GameWorld::kGameGroups, 0.000001f);
        ASSERT_TRUE(world.scene->Simulate(0.2f));
        ASSERT_TRUE(world.scene->FetchResults(true));
        EXPECT_NEAR(capsule->Position().y, kTop + c.expectAbove, kTolerance);
        EXPECT_NEAR(capsule->Actor()->GlobalPosition().y, capsule->Position().y, 1e-4);
        // Only the first step places it.
        world.scene->Simulate(0.2f);
        world.scene->FetchResults(true);
        EXPECT_NEAR(capsule->Position().y, kTop + c.expectAbove, kTolerance);
    }
}

TEST(CapsuleControllerTest, StandsAsHighAfterAJumpAsBefore)
{
    GameWorld world;
    CapsuleController* capsule = world.AddCapsule({0.0, 2.0, 0.0});
    ASSERT_NE(capsule, nullptr);
    ASSERT_NE(world.AddMesh(GroundSlab()), nullptr);
    world.scene->Simulate(0.2f);
    world.scene->FetchResults(true);
    const double before = capsule->Position().y;
    // The jump goes up, then down until a move reports the ground below.
    GameWorld::Walk(*capsule, {0.0f, 0.5f, 0.0f}, 6);
    uint32_t flags = 0;
    for (int i = 0; i < 40 && !(flags & PhysicsControllerFlag::Down); ++i)
        flags = capsule->Move({0.0f, -0.3f, 0.0f}, GameWorld::kGameGroups, 0.000001f);
    EXPECT_TRUE(flags & PhysicsControllerFlag::Down);
    EXPECT_NEAR(capsule->Position().y, before, kTolerance);
    EXPECT_NEAR(before, kRestHeight, kTolerance);
}
