#pragma once

#include "game/CGCamera.h"
#include "game/CGStaticObject.h"

#include <array>
#include <vector>

class CGEnemy;

// The opponent: walks along the trail of points recorded behind the user.
class CGMorvoVesk : public CGDynamicObject {
public:
    CGMorvoVesk(const std::string& settingsDirectory, const CGTexture* textures, CGEnemy* target,
                const CGShader* shader);
    void Draw() override;

    // Moves on to the next waypoint once within 1 unit of the current one
    // (x and z), then heads for the waypoint 1.5 below it.
    void FollowTrail();
    // One step along the direction: 7 units per second.
    void Advance(double fps);

    CGEnemy* target = nullptr;
    float direction[3] = {0, 0, 0};
    float position[3] = {30.0f, 0.0f, -30.0f};
    bool following = true;
    std::vector<std::array<float, 3>> trail;
    size_t waypoint = 0;
    CGSwing swing;
};
