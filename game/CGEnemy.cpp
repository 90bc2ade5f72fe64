#include "game/CGEnemy.h"

#include "platform/physics/CapsuleController.h"
#include "platform/physics/PhysicsActor.h"

#include <GL/gl.h>

CGEnemy::CGEnemy() {
    cameras[kBackview].Turn(3.1415925f);
    cameras[kBackview].pitchSign = -1;
    cameras[kThirdPerson].eye[0] = -5.0f;
    cameras[kThirdPerson].eye[1] = 3.0f;
    cameras[kThirdPerson].eye[2] = 6.0f;
    displayLists = true;
}

void CGEnemy::Turn(float angle) {
    for (CGCamera& c : cameras) c.Turn(angle);
}

void CGEnemy::Pitch(float angle) {
    for (CGCamera& c : cameras) c.Pitch(angle);
}

void CGEnemy::ToggleView() {
    if (active == kFirstPerson) {
        active = kThirdPerson;
        viewIndex = 1;
    } else if (active == kThirdPerson) {
        active = kBackview;
        viewIndex = 0;
    } else {
        active = kFirstPerson;
        viewIndex = 0;
    }
}

const char* CGEnemy::ViewName() const {
    switch (active) {
    case kThirdPerson: return "Third Person";
    case kBackview: return "First Person (backview)";
    default: return "First Person";
    }
}

void CGEnemy::FollowController() {
    if (controller == nullptr || controller->Actor() == nullptr) return;
    const duzplatform::PhysicsVec3 p = controller->Actor()->GlobalPosition();
    for (int v : {kFirstPerson, kBackview}) {
        cameras[v].eye[0] = p.x;
        cameras[v].eye[1] = p.y;
        cameras[v].eye[2] = p.z;
    }
    const CGCamera& first = cameras[kFirstPerson];
    cameras[kThirdPerson].eye[0] = p.x - 3 * first.look[0];
    cameras[kThirdPerson].eye[1] = p.y + 1.5f;
    cameras[kThirdPerson].eye[2] = p.z - 3 * first.look[2];
}

void CGEnemy::Draw() {
    FollowController();
    if (active != kThirdPerson || controller == nullptr || controller->Actor() == nullptr) return;
    const duzplatform::PhysicsVec3 p = controller->Actor()->GlobalPosition();
    glPushMatrix();
    glTranslatef(p.x, p.y - 2.0f, p.z);
    glRotatef(360.0f - (ActiveCamera().yaw * 180.0f / 3.1415926f - 90.0f), 0, 1, 0);
    swing.Step(Fps());
    // Parts 0 and 1 are the swinging legs, the rest is the body (drawn once).
    for (int i = 0; i < PartCount() && i <= 2; ++i) {
        glPushMatrix();
        if (i < 2) {
            SetPartRange(i, i);
            glTranslatef(0.0f, 1.632f, 0.0f);
            glRotatef(i == 0 ? swing.angle : -swing.angle, 0, 0, 1);
        } else {
            SetPartRange(2, PartCount() - 1);
        }
        CGObject::Draw();
        glPopMatrix();
    }
    glPopMatrix();
}
