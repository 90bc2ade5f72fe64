#include "game/CGKran.h"

#include "platform/physics/PhysicsActor.h"

#include <GL/gl.h>

#include <cmath>

duzplatform::PhysicsMat33 CGKran::RotationMatrix(const float axis[3], float angleDegrees) {
    duzplatform::PhysicsMat33 r;   // identity
    const float length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    // A crane without an axis in its settings would otherwise get a NaN pose.
    if (!(length > 0.0f) || !std::isfinite(length)) return r;
    const float half = angleDegrees / 2.0f * 0.017453292f;
    const float s = std::sin(half);
    const float x = axis[0] / length * s, y = axis[1] / length * s, z = axis[2] / length * s;
    const float w = std::cos(half);
    const float m[3][3] = {{1 - 2 * y * y - 2 * z * z, 2 * x * y - 2 * z * w, 2 * x * z + 2 * y * w},
                           {2 * x * y + 2 * z * w, 1 - 2 * x * x - 2 * z * z, 2 * y * z - 2 * x * w},
                           {2 * x * z - 2 * y * w, 2 * y * z + 2 * x * w, 1 - 2 * x * x - 2 * y * y}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r.m[i][j] = m[i][j];
    return r;
}

void CGKran::Animate(double fps) {
    previousAngle = angle;
    angle += static_cast<float>(rotationAngle / (fps > 0 ? fps : 1.0));
    const duzplatform::PhysicsMat33 r = RotationMatrix(rotationAxis, angle);
    for (duzplatform::PhysicsActor* actor : actors) {
        if (actor == nullptr) continue;
        actor->SetGlobalOrientation(r);
        actor->SetGlobalPosition({translation[0], translation[1], translation[2]});
    }
}

void CGKran::Draw() {
    Animate(Fps());
    glPushMatrix();
    glTranslatef(translation[0], translation[1], translation[2]);
    glRotatef(angle, rotationAxis[0], rotationAxis[1], rotationAxis[2]);
    if (blending) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    CGObject::Draw();
    if (blending) glDisable(GL_BLEND);
    glPopMatrix();
}
