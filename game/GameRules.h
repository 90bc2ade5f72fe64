#pragma once

#include <array>
#include <string>
#include <vector>

// The rules of play that need no window: catching, the trail, the jump and
// mouse look.

// The opponent catches the user within 1 unit in x and z and 2 in y (strict).
bool GameIsCaught(const float user[3], const float opponent[3]);

// The trail point recorded for the user's position: during a jump the
// height of the last point is kept; never lower than 2.1.
std::array<float, 3> GameTrailPoint(const float user[3], bool jumping,
                                    const std::vector<std::array<float, 3>>& trail);

// The jump: a parabola in time plus the pull of the world's gravity (-80).
struct CGJump {
    bool jumping = false;
    float time = 0.0f;
    float speed = 0.0f;

    void Start(float initialSpeed);
    // The vertical step for x seconds; 0 when not jumping.
    float Step(float x);
};

// Mouse look from the last to the new cursor position: sets the turn and
// pitch flags. Returns false (flags untouched) when there is no last position.
struct CGLookFlags {
    bool turnLeft = false, turnRight = false, pitchUp = false, pitchDown = false;
};
bool GameMouseLookFlags(int lastX, int lastY, int x, int y, CGLookFlags& flags);

// What a model file of a level directory becomes, by its exact file name.
enum class CGModelRole {
    SkyBox,         // static "sky1.duz" .. "sky5.duz": unlit, no physics
    StaticObject,   // any other static file
    Crane,          // dynamic "kran.duz", "kran_hoch.duz", "Kran_rueck1.duz", "Kran_rueck2.duz"
    User,           // dynamic "enemy.duz": the model of the user's character
    Opponent,       // dynamic "vesk.duz"
    None,           // any other dynamic file
};
CGModelRole GameModelRole(const std::string& fileName, bool staticDirectory);
