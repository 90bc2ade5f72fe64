#pragma once

#include "game/CGCamera.h"
#include "game/CGStaticObject.h"

namespace duzplatform {
class CapsuleController;
}

// The user's character: three cameras (first person, first person looking
// back, third person) and a body drawn only in the third-person view.
class CGEnemy : public CGDynamicObject {
public:
    enum View { kFirstPerson = 0, kBackview = 1, kThirdPerson = 2 };

    CGEnemy();
    void Draw() override;

    void Turn(float angle);
    void Pitch(float angle);
    // First person -> third person -> backview -> first person.
    void ToggleView();
    const char* ViewName() const;
    void LoadModel(const std::string& settingsDirectory, const CGTexture* textures, const CGShader* shader) {
        Bind(settingsDirectory, textures, shader);
    }

    CGCamera& ActiveCamera() { return cameras[active]; }
    const CGCamera& FirstPerson() const { return cameras[kFirstPerson]; }
    // Places the cameras at the controller's position.
    void FollowController();

    CGCamera cameras[3];
    CGSwing swing;
    int active = kFirstPerson;
    int viewIndex = 0;   // 1 in the third-person view
    // The capsule that carries the character; its actor's position is the body's.
    duzplatform::CapsuleController* controller = nullptr;
};
