#include "game/CGCamera.h"

#include <cmath>

void CGCamera::Turn(float a) {
    yaw += a;
    look[0] = std::sin(yaw);
    look[2] = -std::cos(yaw);
    side[0] = std::sin(yaw + 1.5707963f);
    side[2] = -std::cos(yaw + 1.5707963f);
}

void CGCamera::Pitch(float a) {
    if ((pitch > -1.4707963f && a < 0) || (pitch < 1.4707963f && a > 0))
        pitch += a;
    else
        pitch -= a * float(pitchSign);
    look[1] = std::sin(pitch);
    side[1] = std::sin(pitch + 1.5707963f);
}

void CGSwing::Step(double fps) {
    if (-limit < angle && angle < limit) {
        angle += static_cast<float>(speed / (fps > 0 ? fps : 1.0));
    } else {
        speed = -speed;
        angle = speed > 0 ? -(limit - 1) : limit - 1;
    }
}
