#pragma once

#include <cstdint>

// Values and small records shared by the physics layer: the game's collision
// world (engine, scenes, actors, cooked triangle meshes, capsule controllers).
namespace duzplatform {

// The interface version callers ask for when they create the engine or the cooker.
constexpr uint32_t kPhysicsInterfaceVersion = 0x2070000;

struct PhysicsVec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Positions of controllers are kept in double precision so long walks do not drift.
struct PhysicsExtVec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// Row-major 3 x 3 rotation: m[row][column]; a point p turns into m * p.
struct PhysicsMat33 {
    float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

// Why engine creation failed; the numbers are the ones callers print.
enum class PhysicsCreateError : int {
    None = 0,
    RuntimeNotFound = 1,
    WrongVersion = 2,
    DescriptorInvalid = 3,
    ConnectionError = 4,
    ResetError = 5,
    InUse = 6,
};

// Kinds of shape, by their numbers.
enum class PhysicsShapeType : int {
    Plane = 0,
    Sphere = 1,
    Box = 2,
    Capsule = 3,
    Wheel = 4,
    Convex = 5,
    TriangleMesh = 6,
    HeightField = 7,
};

// Body flag bits. A body with all six frozen bits never moves by simulation;
// it moves only when its pose is set.
namespace PhysicsBodyFlag {
constexpr uint32_t DisableGravity = 1u << 0;
constexpr uint32_t FrozenPosX = 1u << 1;
constexpr uint32_t FrozenPosY = 1u << 2;
constexpr uint32_t FrozenPosZ = 1u << 3;
constexpr uint32_t FrozenRotX = 1u << 4;
constexpr uint32_t FrozenRotY = 1u << 5;
constexpr uint32_t FrozenRotZ = 1u << 6;
constexpr uint32_t Kinematic = 1u << 7;
constexpr uint32_t Visualize = 1u << 8;
constexpr uint32_t FilterSleepVelocity = 1u << 10;
constexpr uint32_t EnergySleepTest = 1u << 11;

constexpr uint32_t FrozenPosition = FrozenPosX | FrozenPosY | FrozenPosZ;
constexpr uint32_t FrozenRotation = FrozenRotX | FrozenRotY | FrozenRotZ;
constexpr uint32_t Frozen = FrozenPosition | FrozenRotation;
constexpr uint32_t Defaults = Visualize | EnergySleepTest;   // 2304; with Frozen: 2430
} // namespace PhysicsBodyFlag

// Collision flags returned by a controller move.
namespace PhysicsControllerFlag {
constexpr uint32_t Sides = 1u << 0;   // hit something while moving sideways
constexpr uint32_t Up = 1u << 1;      // hit a ceiling
constexpr uint32_t Down = 1u << 2;    // touching below: standing on something
} // namespace PhysicsControllerFlag

// Collision groups are 0 to 31; a controller's active-groups mask has bit g for group g.
constexpr uint32_t kPhysicsGroupCount = 32;

} // namespace duzplatform
