#pragma once

// A view of the user's character: eye, look direction, side and up vectors,
// turned by yaw and pitch (radians).
struct CGCamera {
    float eye[3] = {-5.0f, 2.0f, 5.0f};
    float look[3] = {0.0f, 0.0f, -1.0f};
    float side[3] = {1.0f, 0.0f, 0.0f};
    float up[3] = {0.0f, 1.0f, 0.0f};
    float yaw = 0.0f;
    float pitch = 0.0f;
    int pitchSign = 1;

    void Turn(float angle);
    // Pitch stays within about +-84 degrees: a step past the limit is turned back.
    void Pitch(float angle);
};

// The leg and arm swing of animated characters: one step per draw.
struct CGSwing {
    float speed = 69.0f;
    float angle = -70.0f;
    float limit = 70.0f;

    void Step(double fps);
};
