#pragma once

#include <cstdint>
#include <vector>

#include "platform/physics/PhysicsTypes.h"

namespace duzplatform {

class PhysicsActor;
class PhysicsAllocator;
class PhysicsScene;

enum class PhysicsUpAxis : int { X = 0, Y = 1, Z = 2 };

struct CapsuleControllerDesc {
    PhysicsExtVec3 position;                      // centre of the capsule
    PhysicsUpAxis upDirection = PhysicsUpAxis::Y; // only Y is offered
    float slopeLimit = 0.707f;  // cosine of the steepest walkable slope; 0 walks any slope
    float skinWidth = 0.1f;     // gap kept between the capsule and what it touches
    float stepOffset = 0.5f;    // highest ledge climbed without jumping
    void* userData = nullptr;
    float radius = 0.0f;
    float height = 0.0f;        // distance between the two sphere centres
};

// A character capsule moved by explicit displacements ("move and slide"): it
// never falls by itself, and simulation does not push it. A move runs three
// passes: up (the step offset, plus any upward part of the displacement), the
// sideways part with sliding along what it hits, then down (the step offset
// again plus any downward part). Sideways motion climbs only walkable surfaces
// (their normal's up part at least the slope limit). A step-up that lands on a
// steeper face, or on something more than the step offset above the capsule's
// bottom, is undone, so steep slopes and ledges higher than the step offset
// stop the capsule; landing on the top edge of a lower ledge is a step.
//
// A new controller stands on what is below it: the first step of its scene
// (before any move) lowers it onto walkable ground within the step offset,
// among the groups its shape collides with. Placed above the ground (its
// descriptor cannot know how far down the level's floor lies), it would
// otherwise drop onto it after its first jump and stand lower than before.
class CapsuleController {
public:
    static constexpr int kMaxSlideIterations = 4;

    // Moves by the displacement against shapes whose group has its bit in
    // `activeGroups`, and returns the PhysicsControllerFlag bits of what was
    // hit. A displacement shorter than `minDistance` does nothing. `sharpness`
    // is accepted and has no effect: steps are taken at once.
    uint32_t Move(const PhysicsVec3& displacement, uint32_t activeGroups, float minDistance, float sharpness = 1.0f);

    PhysicsExtVec3 Position() const { return mPosition; }
    // Teleports without collision; false for a position that is not finite.
    bool SetPosition(const PhysicsExtVec3& position);

    // The kinematic actor that stands for the capsule in the scene; null once the scene is gone.
    PhysicsActor* Actor() const { return mActor; }
    PhysicsScene* Scene() const { return mScene; }

    float Radius() const { return mRadius; }
    float Height() const { return mHeight; }
    float SlopeLimit() const { return mSlopeLimit; }
    float SkinWidth() const { return mSkinWidth; }
    float StepOffset() const { return mStepOffset; }
    void SetStepOffset(float stepOffset);
    void* UserData() const { return mUserData; }
    void SetUserData(void* userData) { mUserData = userData; }

private:
    friend class ControllerManager;
    friend class PhysicsScene;
    struct Attempt;

    CapsuleController(PhysicsScene& scene, const CapsuleControllerDesc& desc);
    ~CapsuleController();
    bool Build();
    void DetachFromScene();
    void SyncActor();
    // Once, before the first move: down onto walkable ground within the step offset.
    void SettleOnGround();
    Attempt Run(const PhysicsVec3& side, float vertical, float stepOffset, uint32_t activeGroups) const;

    PhysicsScene* mScene;
    PhysicsActor* mActor = nullptr;
    PhysicsExtVec3 mPosition;
    float mRadius;
    float mHeight;
    float mSlopeLimit;
    float mSkinWidth;
    float mStepOffset;
    void* mUserData;
    bool mPlaced = false;   // settled on the ground, or moved by its owner
};

// Makes and owns capsule controllers; their memory comes from the caller's allocator.
class ControllerManager {
public:
    explicit ControllerManager(PhysicsAllocator& allocator);
    ~ControllerManager();
    ControllerManager(const ControllerManager&) = delete;
    ControllerManager& operator=(const ControllerManager&) = delete;

    // Null for an invalid descriptor, an up axis other than Y, or no memory.
    CapsuleController* CreateController(PhysicsScene* scene, const CapsuleControllerDesc& desc);
    void ReleaseController(CapsuleController* controller);
    void PurgeControllers();

    uint32_t ControllerCount() const { return static_cast<uint32_t>(mControllers.size()); }
    CapsuleController* Controller(uint32_t index) const;

private:
    void Destroy(CapsuleController* controller);

    PhysicsAllocator& mAllocator;
    std::vector<CapsuleController*> mControllers;
};

} // namespace duzplatform
