#include "game/CGMorvoVesk.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

CGMorvoVesk::CGMorvoVesk(const std::string& settingsDirectory, const CGTexture* textures, CGEnemy* user,
                         const CGShader* shaderRecord)
    : CGDynamicObject(settingsDirectory, textures, shaderRecord), target(user) {}

void CGMorvoVesk::FollowTrail() {
    if (trail.empty()) return;
    if (waypoint >= trail.size()) waypoint = trail.size() - 1;
    const auto& w = trail[waypoint];
    if (w[0] - 1 < position[0] && position[0] < w[0] + 1 && w[2] - 1 < position[2] && position[2] < w[2] + 1 &&
        waypoint + 1 < trail.size())
        ++waypoint;
    const auto& next = trail[waypoint];
    const float a = next[0] - position[0];
    const float b = next[1] - 1.5f - position[1];
    const float c = next[2] - position[2];
    const float length = std::trunc(std::sqrt(a * a + c * c + b * b));
    if (length == 0.0f) return;   // within a unit: keep the old heading
    direction[0] = std::clamp(a / length, -1.0f, 1.0f);
    direction[1] = std::clamp(b / length, -1.0f, 1.0f);
    direction[2] = std::clamp(c / length, -1.0f, 1.0f);
}

void CGMorvoVesk::Advance(double fps) {
    const float step = static_cast<float>(7.0 / (fps > 0 ? fps : 1.0));
    for (int i = 0; i < 3; ++i) position[i] += direction[i] * step;
}

void CGMorvoVesk::Draw() {
    glPushMatrix();
    if (following) {
        FollowTrail();
        Advance(Fps());
    }
    glTranslatef(position[0], position[1] - 0.2f, position[2]);
    const float dx = std::clamp(direction[0], -1.0f, 1.0f);
    const float heading = direction[2] >= 0 ? std::acos(dx) : 6.2831852f - std::acos(dx);
    glRotatef(360.0f - heading * 180.0f / 3.1415926f, 0, 1, 0);
    swing.Step(Fps());
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
