#include "game/GameRules.h"

#include <cmath>

bool GameIsCaught(const float u[3], const float o[3]) {
    return std::fabs(u[0] - o[0]) < 1.0f && std::fabs(u[1] - o[1]) < 2.0f && std::fabs(u[2] - o[2]) < 1.0f;
}

std::array<float, 3> GameTrailPoint(const float u[3], bool jumping, const std::vector<std::array<float, 3>>& trail) {
    float y = jumping && !trail.empty() ? trail.back()[1] : u[1];
    if (y < 2.1f) y = 2.1f;
    return {u[0], y, u[2]};
}

void CGJump::Start(float initialSpeed) {
    if (jumping) return;
    jumping = true;
    time = 0.0f;
    speed = initialSpeed;
}

float CGJump::Step(float x) {
    if (!jumping) return 0.0f;
    time += x;
    const float gravity = -80.0f;
    return x * (-19000.0f * time * time + speed * time) - x * gravity;
}

bool GameMouseLookFlags(int lastX, int lastY, int x, int y, CGLookFlags& f) {
    if (lastX == -1 || lastY == -1) return false;
    f.turnRight = x > lastX;
    f.turnLeft = x < lastX;
    f.pitchDown = y > lastY;
    f.pitchUp = y < lastY;
    return true;
}

CGModelRole GameModelRole(const std::string& n, bool staticDirectory) {
    if (staticDirectory) {
        const bool sky = n == "sky1.duz" || n == "sky2.duz" || n == "sky3.duz" || n == "sky4.duz" || n == "sky5.duz";
        return sky ? CGModelRole::SkyBox : CGModelRole::StaticObject;
    }
    if (n == "kran.duz" || n == "kran_hoch.duz" || n == "Kran_rueck1.duz" || n == "Kran_rueck2.duz")
        return CGModelRole::Crane;
    if (n == "enemy.duz") return CGModelRole::User;
    if (n == "vesk.duz") return CGModelRole::Opponent;
    return CGModelRole::None;
}
