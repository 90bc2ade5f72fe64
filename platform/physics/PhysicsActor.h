#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/physics/PhysicsTypes.h"

class btCollisionObject;
class btCollisionShape;

namespace duzplatform {

class PhysicsActor;
class PhysicsScene;
class PhysicsTriangleMesh;

struct PhysicsShapeDesc {
    PhysicsShapeType type = PhysicsShapeType::Plane;
    PhysicsVec3 localPosition;                    // relative to the actor
    uint16_t group = 0;                           // collision group, 0 to 31
    uint16_t materialIndex = 0;
    PhysicsVec3 planeNormal = {0.0f, 1.0f, 0.0f}; // plane: points p with dot(normal, p) = distance
    float planeDistance = 0.0f;
    float radius = 1.0f;                          // sphere, capsule
    float height = 1.0f;                          // capsule: distance between the two sphere centres, along y
    PhysicsVec3 boxHalfExtents = {1.0f, 1.0f, 1.0f};
    PhysicsTriangleMesh* mesh = nullptr;          // triangle mesh
};

// A body makes an actor dynamic. Bodies are moved by setting their pose or, for
// the controller's actor, by the controller; simulation moves none of them (the
// collision world holds static scenery, frozen bodies and kinematic controllers).
struct PhysicsBodyDesc {
    float mass = 0.0f;   // 0: from the actor's density and shapes
    uint32_t flags = PhysicsBodyFlag::Defaults;
    float linearDamping = 0.0f;
    float angularDamping = 0.05f;
    float maxAngularVelocity = -1.0f;
    float sleepLinearVelocity = -1.0f;
    float sleepAngularVelocity = -1.0f;
    float sleepEnergyThreshold = -1.0f;
    uint32_t solverIterationCount = 4;
    float wakeUpCounter = 0.4f;
};

struct PhysicsActorDesc {
    std::vector<PhysicsShapeDesc> shapes;
    const PhysicsBodyDesc* body = nullptr;   // null: a static actor
    float density = 0.0f;
    PhysicsMat33 orientation;
    PhysicsVec3 position;
    uint16_t group = 0;                      // actor group (kept for the caller)
    void* userData = nullptr;
};

class PhysicsShape {
public:
    ~PhysicsShape();
    PhysicsShape(const PhysicsShape&) = delete;
    PhysicsShape& operator=(const PhysicsShape&) = delete;

    PhysicsShapeType Type() const { return mDesc.type; }
    uint16_t Group() const { return mDesc.group; }
    // Groups above 31 are refused (the group is left as it was).
    bool SetGroup(uint16_t group);
    PhysicsActor& Actor() const { return mActor; }
    const PhysicsShapeDesc& Desc() const { return mDesc; }

    // The collision object this shape occupies in the world; null for an empty mesh.
    btCollisionObject* CollisionObject() const { return mObject.get(); }

private:
    friend class PhysicsActor;
    PhysicsShape(PhysicsActor& actor, const PhysicsShapeDesc& desc);
    bool Build(uint32_t bodyFlags);
    void UpdateTransform();

    PhysicsActor& mActor;
    PhysicsShapeDesc mDesc;
    std::unique_ptr<btCollisionShape> mOwnShape;   // primitives; meshes share the mesh's shape
    std::unique_ptr<btCollisionObject> mObject;
    bool mHoldsMesh = false;
};

class PhysicsActor {
public:
    ~PhysicsActor();
    PhysicsActor(const PhysicsActor&) = delete;
    PhysicsActor& operator=(const PhysicsActor&) = delete;

    PhysicsScene& Scene() const { return mScene; }

    PhysicsVec3 GlobalPosition() const { return mPosition; }
    PhysicsMat33 GlobalOrientation() const { return mOrientation; }
    // Teleports the actor and its shapes; the collision world sees the new pose at once.
    void SetGlobalPosition(const PhysicsVec3& position);
    void SetGlobalOrientation(const PhysicsMat33& orientation);

    uint32_t ShapeCount() const { return static_cast<uint32_t>(mShapes.size()); }
    PhysicsShape* Shape(uint32_t index) const;
    // All shapes in creation order, for callers that walk them as a list.
    PhysicsShape* const* Shapes() const { return mShapePointers.data(); }

    uint16_t Group() const { return mGroup; }
    void SetGroup(uint16_t group) { mGroup = group; }

    bool IsDynamic() const { return mHasBody; }
    uint32_t BodyFlags() const { return mBodyFlags; }
    float Mass() const { return mMass; }
    // Only dynamic actors have a mass; a negative or non-finite mass is refused.
    bool SetMass(float mass);

    // The rest request: the actor stops and sleeps until woken.
    void PutToSleep() { mSleeping = true; }
    void WakeUp() { mSleeping = false; }
    bool IsSleeping() const { return mSleeping; }

    void* UserData() const { return mUserData; }
    void SetUserData(void* userData) { mUserData = userData; }

private:
    friend class PhysicsScene;
    friend class PhysicsShape;
    PhysicsActor(PhysicsScene& scene, const PhysicsActorDesc& desc);
    bool Build(const PhysicsActorDesc& desc);
    void UpdateShapeTransforms();

    PhysicsScene& mScene;
    PhysicsVec3 mPosition;
    PhysicsMat33 mOrientation;
    std::vector<std::unique_ptr<PhysicsShape>> mShapes;
    std::vector<PhysicsShape*> mShapePointers;
    uint16_t mGroup = 0;
    bool mHasBody = false;
    uint32_t mBodyFlags = 0;
    float mMass = 0.0f;
    bool mSleeping = false;
    void* mUserData = nullptr;
};

} // namespace duzplatform
