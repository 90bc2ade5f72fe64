#include "platform/physics/PhysicsScene.h"

#include <algorithm>
#include <cmath>

#include "platform/physics/CapsuleController.h"
#include "platform/physics/PhysicsEngine.h"
#include "platform/physics/PhysicsSceneWorld.h"
#include "platform/physics/PhysicsTriangleMesh.h"

namespace duzplatform {

namespace {

// Keeps the closest hit among the shapes whose group the mover collides with.
struct FilteredSweepCallback : btCollisionWorld::ClosestConvexResultCallback {
    FilteredSweepCallback(const btVector3& from, const btVector3& to, uint32_t groups, const PhysicsActor* ignored)
        : ClosestConvexResultCallback(from, to), activeGroups(groups), ignore(ignored)
    {
    }

    bool needsCollision(btBroadphaseProxy* proxy) const override
    {
        const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
        const auto* shape = static_cast<const PhysicsShape*>(object->getUserPointer());
        if (shape == nullptr || &shape->Actor() == ignore)
            return false;
        return shape->Group() < kPhysicsGroupCount && ((activeGroups >> shape->Group()) & 1u) != 0;
    }

    btScalar addSingleResult(btCollisionWorld::LocalConvexResult& result, bool normalInWorldSpace) override
    {
        // Called only for a hit closer than the ones before.
        const btScalar fraction = ClosestConvexResultCallback::addSingleResult(result, normalInWorldSpace);
        triangleIndex = result.m_localShapeInfo != nullptr ? result.m_localShapeInfo->m_triangleIndex : -1;
        return fraction;
    }

    uint32_t activeGroups;
    const PhysicsActor* ignore;
    int triangleIndex = -1;
};

// The normal of the face the sweep touched, in world space; the contact normal
// is kept for round shapes and where the face is not known.
btVector3 SurfaceNormal(const PhysicsShape& shape, int triangleIndex, const btVector3& contactNormal)
{
    const btMatrix3x3 basis = ToBullet(shape.Actor().GlobalOrientation());
    btVector3 normal = contactNormal;
    if (shape.Type() == PhysicsShapeType::Plane) {
        normal = basis * ToBullet(shape.Desc().planeNormal);
    } else if (shape.Type() == PhysicsShapeType::TriangleMesh && shape.Desc().mesh != nullptr && triangleIndex >= 0 &&
               static_cast<uint32_t>(triangleIndex) < shape.Desc().mesh->TriangleCount()) {
        const CookedTriangleMesh& data = shape.Desc().mesh->Data();
        auto corner = [&data, triangleIndex](int k) {
            const size_t v = data.indices[3 * static_cast<size_t>(triangleIndex) + k];
            return btVector3(data.points[3 * v], data.points[3 * v + 1], data.points[3 * v + 2]);
        };
        const btVector3 face = (corner(1) - corner(0)).cross(corner(2) - corner(0));
        if (face.length2() > btScalar(1e-20))
            normal = basis * face;
    }
    if (normal.length2() <= btScalar(1e-20))
        return contactNormal;
    normal.normalize();
    return normal.dot(contactNormal) < 0 ? -normal : normal;
}

} // namespace

PhysicsScene::PhysicsScene(PhysicsEngine& engine, const PhysicsSceneDesc& desc)
    : mEngine(engine), mDesc(desc), mWorld(std::make_unique<World>()), mMaterials(1)
{
    mGroupPairs.fill(0xFFFFFFFFu);
}

PhysicsScene::~PhysicsScene()
{
    // Controllers outlive their scene only as empty shells.
    for (CapsuleController* controller : mControllers)
        controller->DetachFromScene();
    mControllers.clear();
    mActorPointers.clear();
    mActors.clear();   // removes their objects from the world before it goes
}

PhysicsMaterial* PhysicsScene::Material(uint16_t index)
{
    return index < mMaterials.size() ? &mMaterials[index] : nullptr;
}

uint16_t PhysicsScene::CreateMaterial(const PhysicsMaterial& material)
{
    if (mMaterials.size() >= 0xFFFF) {
        mEngine.ReportError(PhysicsErrorCode::OutOfMemory, "too many materials", __FILE__, __LINE__);
        return 0;
    }
    mMaterials.push_back(material);
    return static_cast<uint16_t>(mMaterials.size() - 1);
}

void PhysicsScene::SetGroupCollisionFlag(uint16_t group1, uint16_t group2, bool enable)
{
    if (group1 >= kPhysicsGroupCount || group2 >= kPhysicsGroupCount) {
        mEngine.ReportError(PhysicsErrorCode::InvalidParameter, "collision group above 31", __FILE__, __LINE__);
        return;
    }
    // The setting is symmetric.
    if (enable) {
        mGroupPairs[group1] |= 1u << group2;
        mGroupPairs[group2] |= 1u << group1;
    } else {
        mGroupPairs[group1] &= ~(1u << group2);
        mGroupPairs[group2] &= ~(1u << group1);
    }
}

bool PhysicsScene::GroupCollisionFlag(uint16_t group1, uint16_t group2) const
{
    if (group1 >= kPhysicsGroupCount || group2 >= kPhysicsGroupCount)
        return false;
    return ((mGroupPairs[group1] >> group2) & 1u) != 0;
}

PhysicsActor* PhysicsScene::CreateActor(const PhysicsActorDesc& desc)
{
    std::unique_ptr<PhysicsActor> actor(new PhysicsActor(*this, desc));
    if (!actor->Build(desc))
        return nullptr;
    mActors.push_back(std::move(actor));
    mActorPointers.push_back(mActors.back().get());
    return mActorPointers.back();
}

void PhysicsScene::ReleaseActor(PhysicsActor* actor)
{
    for (const CapsuleController* controller : mControllers)
        if (controller->Actor() == actor) {
            mEngine.ReportError(PhysicsErrorCode::InvalidOperation,
                                "a controller's actor is released with its controller", __FILE__, __LINE__);
            return;
        }
    auto found = std::find_if(mActors.begin(), mActors.end(), [actor](const auto& a) { return a.get() == actor; });
    if (found == mActors.end())
        return;
    mActorPointers.erase(mActorPointers.begin() + (found - mActors.begin()));
    mActors.erase(found);
}

PhysicsActor* PhysicsScene::Actor(uint32_t index) const
{
    return index < mActorPointers.size() ? mActorPointers[index] : nullptr;
}

bool PhysicsScene::Simulate(float seconds)
{
    if (mSimulating || !std::isfinite(seconds) || seconds < 0.0f)
        return false;
    double step = mDesc.maxTimestep;
    uint32_t steps = 0;
    if (mDesc.fixedTimestep) {
        mPendingTime += seconds;
        const double whole = std::floor(mPendingTime / step);
        if (whole > mDesc.maxIterations) {
            steps = mDesc.maxIterations;
            mPendingTime = 0.0;   // drop what the step budget cannot cover
        } else {
            steps = static_cast<uint32_t>(whole);
            mPendingTime -= steps * step;
        }
    } else if (seconds > 0.0f) {
        step = seconds;
        steps = 1;
    }
    // Nothing in the world moves by itself: scenery is static, bodies are frozen
    // or moved by their owners, and the broadphase is kept current on every pose
    // change. A step advances the scene clock, and new controllers take their
    // stand on the ground that is now in the scene.
    for (CapsuleController* controller : mControllers)
        controller->SettleOnGround();
    mStepCount += steps;
    mSimulatedTime += steps * step;
    mSimulating = true;
    return true;
}

bool PhysicsScene::FetchResults(bool /*block*/)
{
    // Steps complete inside Simulate, so blocking and polling give the same answer.
    if (!mSimulating)
        return false;
    mSimulating = false;
    return true;
}

bool PhysicsScene::SweepCapsule(float radius, float height, const PhysicsExtVec3& from, const PhysicsVec3& motion,
                                uint32_t activeGroups, const PhysicsActor* ignore, PhysicsSweepHit* hit) const
{
    const btVector3 start(static_cast<btScalar>(from.x), static_cast<btScalar>(from.y), static_cast<btScalar>(from.z));
    const btVector3 delta = ToBullet(motion);
    if (delta.length2() <= btScalar(1e-12) || activeGroups == 0 || !(radius > 0.0f))
        return false;
    const btVector3 end = start + delta;
    btCapsuleShape capsule(radius, std::max(height, 0.0f));
    btTransform fromTransform(btQuaternion::getIdentity(), start);
    btTransform toTransform(btQuaternion::getIdentity(), end);
    FilteredSweepCallback callback(start, end, activeGroups, ignore);
    mWorld->world.convexSweepTest(&capsule, fromTransform, toTransform, callback);
    if (!callback.hasHit())
        return false;
    if (hit != nullptr) {
        btVector3 normal = callback.m_hitNormalWorld;
        if (normal.length2() > btScalar(1e-12))
            normal.normalize();
        // Report the side of the surface the mover came from.
        if (normal.dot(delta) > 0)
            normal = -normal;
        hit->fraction = std::clamp(callback.m_closestHitFraction, btScalar(0), btScalar(1));
        hit->normal = FromBullet(normal);
        hit->point = FromBullet(callback.m_hitPointWorld);
        hit->shape = static_cast<PhysicsShape*>(callback.m_hitCollisionObject->getUserPointer());
        hit->surfaceNormal = FromBullet(SurfaceNormal(*hit->shape, callback.triangleIndex, normal));
    }
    return true;
}

void PhysicsScene::AttachController(CapsuleController* controller)
{
    mControllers.push_back(controller);
}

void PhysicsScene::DetachController(CapsuleController* controller)
{
    mControllers.erase(std::remove(mControllers.begin(), mControllers.end(), controller), mControllers.end());
}

} // namespace duzplatform
