#pragma once

#include "game/CGStaticObject.h"
#include "platform/physics/PhysicsTypes.h"

// A crane: turns about its [transformation] axis at its rotation angle in
// degrees per second, carrying its physics actors along.
class CGKran : public CGDynamicObject {
public:
    using CGDynamicObject::CGDynamicObject;
    void Draw() override;

    // One frame's turn: advances the angle and poses the actors.
    void Animate(double fps);
    // The rotation by angle degrees about the axis; the identity for a zero axis.
    static duzplatform::PhysicsMat33 RotationMatrix(const float axis[3], float angleDegrees);

    float angle = 0.0f;
    float previousAngle = 0.0f;
};
