#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/physics/PhysicsActor.h"
#include "platform/physics/PhysicsTypes.h"

namespace duzplatform {

class CapsuleController;
class PhysicsEngine;

enum class PhysicsSimulationType : int {
    Software = 0,
    Hardware = 1,   // no hardware here: such a scene cannot be made
};

struct PhysicsSceneDesc {
    PhysicsVec3 gravity = {0.0f, -9.81f, 0.0f};
    float maxTimestep = 1.0f / 60.0f;   // the fixed step
    uint32_t maxIterations = 8;         // at most this many fixed steps per Simulate
    bool fixedTimestep = true;          // false: one step of the whole time
    PhysicsSimulationType simulationType = PhysicsSimulationType::Software;
};

struct PhysicsMaterial {
    float restitution = 0.0f;
    float staticFriction = 0.0f;
    float dynamicFriction = 0.0f;
};

// What a capsule sweep hit first.
struct PhysicsSweepHit {
    float fraction = 1.0f;        // of the motion, 0 to 1
    PhysicsVec3 normal;           // contact normal: unit, facing against the motion
    PhysicsVec3 surfaceNormal;    // of the face hit (triangle or plane; else the contact normal), on the mover's side
    PhysicsVec3 point;
    PhysicsShape* shape = nullptr;
};

class PhysicsScene {
public:
    ~PhysicsScene();
    PhysicsScene(const PhysicsScene&) = delete;
    PhysicsScene& operator=(const PhysicsScene&) = delete;

    PhysicsEngine& Engine() const { return mEngine; }

    PhysicsVec3 Gravity() const { return mDesc.gravity; }
    void SetGravity(const PhysicsVec3& gravity) { mDesc.gravity = gravity; }
    float FixedTimestep() const { return mDesc.maxTimestep; }
    uint32_t MaxIterations() const { return mDesc.maxIterations; }

    // Material 0 always exists (the default material); others are added on demand.
    PhysicsMaterial* Material(uint16_t index);
    uint16_t CreateMaterial(const PhysicsMaterial& material);
    uint16_t MaterialCount() const { return static_cast<uint16_t>(mMaterials.size()); }

    // Whether shapes of the two groups take part in contacts with each other (default: yes).
    void SetGroupCollisionFlag(uint16_t group1, uint16_t group2, bool enable);
    bool GroupCollisionFlag(uint16_t group1, uint16_t group2) const;

    // Null when the descriptor is refused (reported through the engine's reporter).
    PhysicsActor* CreateActor(const PhysicsActorDesc& desc);
    void ReleaseActor(PhysicsActor* actor);
    uint32_t ActorCount() const { return static_cast<uint32_t>(mActors.size()); }
    PhysicsActor* Actor(uint32_t index) const;
    PhysicsActor* const* Actors() const { return mActorPointers.data(); }

    // Advances the scene clock by the given seconds in fixed steps (at most
    // MaxIterations of them; time beyond that is dropped, so a long pause does
    // not make the world race). False while a previous step is not fetched or for
    // a negative or non-finite time.
    bool Simulate(float seconds);
    // Completes the step started by Simulate; false when none is pending.
    bool FetchResults(bool block);
    bool IsSimulating() const { return mSimulating; }
    uint64_t StepCount() const { return mStepCount; }
    double SimulatedTime() const { return mSimulatedTime; }

    // Sweeps a y-aligned capsule centred at `from` along `motion` against the
    // shapes whose group has its bit in `activeGroups`, skipping `ignore`'s shapes.
    bool SweepCapsule(float radius, float height, const PhysicsExtVec3& from, const PhysicsVec3& motion,
                      uint32_t activeGroups, const PhysicsActor* ignore, PhysicsSweepHit* hit) const;

    // The collision world, for the layer's own classes.
    struct World;
    World& CollisionWorld() const { return *mWorld; }

private:
    friend class PhysicsEngine;
    friend class CapsuleController;
    PhysicsScene(PhysicsEngine& engine, const PhysicsSceneDesc& desc);
    void AttachController(CapsuleController* controller);
    void DetachController(CapsuleController* controller);

    PhysicsEngine& mEngine;
    PhysicsSceneDesc mDesc;
    std::unique_ptr<World> mWorld;
    std::vector<PhysicsMaterial> mMaterials;
    std::array<uint32_t, kPhysicsGroupCount> mGroupPairs;   // bit g2 of row g1
    std::vector<std::unique_ptr<PhysicsActor>> mActors;
    std::vector<PhysicsActor*> mActorPointers;
    std::vector<CapsuleController*> mControllers;
    double mPendingTime = 0.0;
    double mSimulatedTime = 0.0;
    uint64_t mStepCount = 0;
    bool mSimulating = false;
};

} // namespace duzplatform
