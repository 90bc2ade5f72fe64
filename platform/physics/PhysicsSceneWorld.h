#pragma once

// The Bullet collision world behind a PhysicsScene; only the layer's sources include this.
#include <btBulletCollisionCommon.h>

#include "platform/physics/PhysicsScene.h"

namespace duzplatform {

struct PhysicsScene::World {
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher{&configuration};
    btDbvtBroadphase broadphase;
    btCollisionWorld world{&dispatcher, &broadphase, &configuration};
};

inline btVector3 ToBullet(const PhysicsVec3& v) { return btVector3(v.x, v.y, v.z); }
inline PhysicsVec3 FromBullet(const btVector3& v) { return {v.x(), v.y(), v.z()}; }

inline btMatrix3x3 ToBullet(const PhysicsMat33& m)
{
    return btMatrix3x3(m.m[0][0], m.m[0][1], m.m[0][2], m.m[1][0], m.m[1][1], m.m[1][2], m.m[2][0], m.m[2][1],
                       m.m[2][2]);
}

} // namespace duzplatform
