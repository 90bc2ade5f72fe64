#include "platform/physics/CapsuleController.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/physics/PhysicsActor.h"
#include "platform/physics/PhysicsCallbacks.h"
#include "platform/physics/PhysicsEngine.h"
#include "platform/physics/PhysicsScene.h"

namespace duzplatform {

namespace {

// Double-precision work vector; positions stay in double, sweeps take floats.
struct Vec {
    double x = 0, y = 0, z = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double Length(Vec a) { return std::sqrt(Dot(a, a)); }
Vec FromFloat(const PhysicsVec3& v) { return {v.x, v.y, v.z}; }
PhysicsVec3 ToFloat(Vec v) { return {float(v.x), float(v.y), float(v.z)}; }
PhysicsExtVec3 ToExt(Vec v) { return {v.x, v.y, v.z}; }
Vec FromExt(const PhysicsExtVec3& v) { return {v.x, v.y, v.z}; }

// Motions shorter than this are done.
constexpr double kNegligible = 1e-6;
// The back-off that keeps the skin width is measured along the motion; at
// grazing angles it is limited so a slide still makes progress.
constexpr double kMinBackOffCosine = 0.1;
// Sweeps reach this much beyond the skin width, so a capsule resting exactly
// a skin width above the ground still reports touching it.
constexpr double kContactSlop = 0.01;
// A landing this much above the start counts as having climbed.
constexpr double kClimbTolerance = 1e-4;
// A contact whose normal is this close to the face normal lies on the face,
// not on one of its edges.
constexpr double kFaceContactCosine = 0.999;
// A contact normal whose up part is below this is beside the capsule, not under it.
constexpr double kBrushingUp = 0.1;

bool IsFinite(const PhysicsExtVec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

} // namespace

struct CapsuleController::Attempt {
    PhysicsExtVec3 position;
    uint32_t flags = 0;
    bool steppedUp = false;
    bool landedOnSteep = false;
    double landingHeight = 0.0;   // height of the contact the down pass ended on
};

CapsuleController::CapsuleController(PhysicsScene& scene, const CapsuleControllerDesc& desc)
    : mScene(&scene), mPosition(desc.position), mRadius(desc.radius), mHeight(desc.height),
      mSlopeLimit(desc.slopeLimit), mSkinWidth(desc.skinWidth), mStepOffset(desc.stepOffset),
      mUserData(desc.userData)
{
}

CapsuleController::~CapsuleController()
{
    if (mScene == nullptr)
        return;
    mScene->DetachController(this);
    if (mActor != nullptr)
        mScene->ReleaseActor(mActor);
}

bool CapsuleController::Build()
{
    PhysicsBodyDesc body;
    body.flags = PhysicsBodyFlag::Defaults | PhysicsBodyFlag::Kinematic;
    body.mass = 1.0f;
    PhysicsShapeDesc capsule;
    capsule.type = PhysicsShapeType::Capsule;
    capsule.radius = mRadius;
    capsule.height = mHeight;
    PhysicsActorDesc actor;
    actor.shapes.push_back(capsule);
    actor.body = &body;
    actor.position = ToFloat(FromExt(mPosition));
    mActor = mScene->CreateActor(actor);
    if (mActor == nullptr)
        return false;
    mScene->AttachController(this);
    return true;
}

void CapsuleController::DetachFromScene()
{
    // The scene is going and takes the actor with it.
    mScene = nullptr;
    mActor = nullptr;
}

void CapsuleController::SyncActor()
{
    if (mActor != nullptr)
        mActor->SetGlobalPosition(ToFloat(FromExt(mPosition)));
}

bool CapsuleController::SetPosition(const PhysicsExtVec3& position)
{
    if (!IsFinite(position))
        return false;
    mPosition = position;
    SyncActor();
    return true;
}

void CapsuleController::SetStepOffset(float stepOffset)
{
    if (std::isfinite(stepOffset) && stepOffset >= 0.0f)
        mStepOffset = stepOffset;
}

void CapsuleController::SettleOnGround()
{
    if (mPlaced || mScene == nullptr || mActor == nullptr || mActor->ShapeCount() == 0)
        return;
    mPlaced = true;
    const uint16_t group = mActor->Shape(0)->Group();
    uint32_t groups = 0;
    for (uint16_t other = 0; other < kPhysicsGroupCount; ++other)
        if (mScene->GroupCollisionFlag(group, other))
            groups |= 1u << other;
    const double reach = mStepOffset + mSkinWidth + kContactSlop;
    PhysicsSweepHit hit;
    if (reach <= 0.0 || !mScene->SweepCapsule(mRadius, mHeight, mPosition, {0.0f, float(-reach), 0.0f}, groups,
                                              mActor, &hit))
        return;
    if (hit.normal.y < mSlopeLimit && hit.surfaceNormal.y < mSlopeLimit)
        return;   // steep ground: the controller could not stand there
    mPosition.y -= std::max(hit.fraction * reach - mSkinWidth, 0.0);
    SyncActor();
}

uint32_t CapsuleController::Move(const PhysicsVec3& displacement, uint32_t activeGroups, float minDistance,
                                 float /*sharpness*/)
{
    if (mScene == nullptr)
        return 0;
    mPlaced = true;
    const Vec motion = FromFloat(displacement);
    if (!std::isfinite(motion.x) || !std::isfinite(motion.y) || !std::isfinite(motion.z))
        return 0;
    if (Length(motion) < std::max(double(minDistance), 0.0))
        return 0;
    const PhysicsVec3 side = {displacement.x, 0.0f, displacement.z};
    Attempt attempt = Run(side, displacement.y, mStepOffset, activeGroups);
    // A step that ends on a surface too steep to walk would let the capsule
    // climb slopes in stairs, and one that ends on an edge higher than the step
    // offset above the capsule's bottom would climb a ledge by grazing it; take
    // the move again without stepping.
    const double bottom = mPosition.y - 0.5 * mHeight - mRadius;
    const bool climbedSteep = attempt.landedOnSteep && attempt.position.y > mPosition.y + kClimbTolerance;
    const bool tooHigh = (attempt.flags & PhysicsControllerFlag::Down) &&
                         attempt.landingHeight > bottom + mStepOffset + kClimbTolerance;
    if (attempt.steppedUp && (climbedSteep || tooHigh))
        attempt = Run(side, displacement.y, 0.0f, activeGroups);
    mPosition = attempt.position;
    SyncActor();
    return attempt.flags;
}

CapsuleController::Attempt CapsuleController::Run(const PhysicsVec3& sideMotion, float vertical, float stepOffset,
                                                  uint32_t activeGroups) const
{
    Attempt attempt;
    Vec position = FromExt(mPosition);
    const Vec up = {0.0, 1.0, 0.0};

    // One straight sweep, stopping the skin width short of what it hits. The
    // sweep reaches a skin width (and a little) further than the motion, so a
    // surface the move would end closer to than that counts as hit.
    auto sweep = [&](Vec motion, PhysicsSweepHit* hit, double minBackOffCosine = kMinBackOffCosine) {
        const double length = Length(motion);
        if (length < kNegligible)
            return false;
        const Vec direction = motion * (1.0 / length);
        const double reach = length + mSkinWidth + kContactSlop;
        PhysicsSweepHit found;
        if (!mScene->SweepCapsule(mRadius, mHeight, ToExt(position), ToFloat(direction * reach), activeGroups, mActor,
                                  &found)) {
            position = position + motion;
            return false;
        }
        const double travel = found.fraction * reach;
        const double cosine = std::max(-Dot(direction, FromFloat(found.normal)), minBackOffCosine);
        const double advance = std::clamp(travel - mSkinWidth / cosine, 0.0, length);
        position = position + direction * advance;
        if (hit != nullptr) {
            *hit = found;
            hit->fraction = static_cast<float>(advance / length);   // of the motion asked for
        }
        return true;
    };

    const bool hasSide = Length(FromFloat(sideMotion)) >= kNegligible;
    const double stepUp = hasSide ? std::max(double(stepOffset), 0.0) : 0.0;
    const double upAmount = stepUp + std::max(double(vertical), 0.0);
    const double downAmount = stepUp + std::max(-double(vertical), 0.0);
    attempt.steppedUp = stepUp > 0.0;

    if (upAmount > 0.0 && sweep(up * upAmount, nullptr))
        attempt.flags |= PhysicsControllerFlag::Up;

    if (hasSide) {
        const Vec intended = FromFloat(sideMotion);
        Vec remaining = intended;
        for (int i = 0; i < kMaxSlideIterations && Length(remaining) >= kNegligible; ++i) {
            PhysicsSweepHit hit;
            if (!sweep(remaining, &hit))
                break;
            attempt.flags |= PhysicsControllerFlag::Sides;
            const double length = Length(remaining);
            const Vec direction = remaining * (1.0 / length);
            const Vec left = direction * (length * (1.0 - hit.fraction));
            // Walkable surfaces may lift the capsule as it slides; anything
            // steeper acts as a wall, so the slide stays level.
            Vec normal = FromFloat(hit.normal);
            const bool walkable = hit.normal.y >= mSlopeLimit && hit.surfaceNormal.y >= mSlopeLimit;
            if (!walkable) {
                normal.y = 0.0;
                const double horizontal = Length(normal);
                if (horizontal < kNegligible)
                    break;
                normal = normal * (1.0 / horizontal);
            }
            remaining = left - normal * Dot(left, normal);
            // Never slide back against the intended direction (corners).
            if (Dot(remaining, intended) <= 0.0)
                break;
        }
    }

    if (downAmount > 0.0) {
        PhysicsSweepHit hit;
        // The skin is kept below the capsule, measured straight down: backing off
        // along a grazing contact (the capsule's side passing a ledge's edge)
        // would leave it hanging high above the ground beside the edge.
        if (sweep(up * -downAmount, &hit, 1.0)) {
            attempt.flags |= PhysicsControllerFlag::Down;
            // Only a face under the capsule counts as steep ground. Resting on
            // the top edge of a ledge reports the ledge's side face, while the
            // contact normal points up at the capsule's centre; and a contact
            // whose normal is nearly level is the capsule's side brushing past
            // that edge. Both are steps, not slopes.
            const bool onFace = Dot(FromFloat(hit.normal), FromFloat(hit.surfaceNormal)) >= kFaceContactCosine;
            const bool brushing = hit.normal.y < kBrushingUp;
            attempt.landedOnSteep = hit.surfaceNormal.y < mSlopeLimit && onFace && !brushing;
            attempt.landingHeight = hit.point.y;
        }
    }
    attempt.position = ToExt(position);
    return attempt;
}

ControllerManager::ControllerManager(PhysicsAllocator& allocator) : mAllocator(allocator) {}

ControllerManager::~ControllerManager()
{
    PurgeControllers();
}

CapsuleController* ControllerManager::CreateController(PhysicsScene* scene, const CapsuleControllerDesc& desc)
{
    if (scene == nullptr)
        return nullptr;
    const bool valid = IsFinite(desc.position) && desc.upDirection == PhysicsUpAxis::Y && desc.radius > 0.0f &&
                       std::isfinite(desc.radius) && desc.height >= 0.0f && std::isfinite(desc.height) &&
                       desc.skinWidth >= 0.0f && std::isfinite(desc.skinWidth) && desc.stepOffset >= 0.0f &&
                       std::isfinite(desc.stepOffset) && desc.slopeLimit >= 0.0f && desc.slopeLimit <= 1.0f;
    if (!valid) {
        scene->Engine().ReportAssertViolation("invalid capsule controller descriptor", __FILE__, __LINE__);
        return nullptr;
    }
    void* memory = mAllocator.Allocate(sizeof(CapsuleController), __FILE__, __LINE__);
    if (memory == nullptr) {
        scene->Engine().ReportError(PhysicsErrorCode::OutOfMemory, "no memory for a controller", __FILE__, __LINE__);
        return nullptr;
    }
    auto* controller = new (memory) CapsuleController(*scene, desc);
    if (!controller->Build()) {
        Destroy(controller);
        return nullptr;
    }
    mControllers.push_back(controller);
    return controller;
}

void ControllerManager::ReleaseController(CapsuleController* controller)
{
    auto found = std::find(mControllers.begin(), mControllers.end(), controller);
    if (found == mControllers.end())
        return;
    mControllers.erase(found);
    Destroy(controller);
}

void ControllerManager::PurgeControllers()
{
    for (CapsuleController* controller : mControllers)
        Destroy(controller);
    mControllers.clear();
}

CapsuleController* ControllerManager::Controller(uint32_t index) const
{
    return index < mControllers.size() ? mControllers[index] : nullptr;
}

void ControllerManager::Destroy(CapsuleController* controller)
{
    controller->~CapsuleController();
    mAllocator.Release(controller);
}

} // namespace duzplatform
