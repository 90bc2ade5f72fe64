#pragma once

#include "game/CGObject.h"

// Static scenery: drawn rotated by its [transformation] angle and then
// translated; gets one frozen mesh actor per part.
class CGStaticObject : public CGObject {
public:
    explicit CGStaticObject(const std::string& settingsDirectory, const CGTexture* textures = nullptr,
                            const CGShader* shader = nullptr) {
        Bind(settingsDirectory, textures, shader);
    }
    void Draw() override;
};

// A sky box: an unlit static model without physics.
class CGSkyBox : public CGStaticObject {
public:
    using CGStaticObject::CGStaticObject;
    void Draw() override;
};

// Objects that move or animate (the user's character, the opponent, cranes).
class CGDynamicObject : public CGObject {
public:
    CGDynamicObject() = default;
    explicit CGDynamicObject(const std::string& settingsDirectory, const CGTexture* textures = nullptr,
                             const CGShader* shader = nullptr) {
        Bind(settingsDirectory, textures, shader);
    }
};
