#pragma once

#include "game/CGConfig.h"
#include "game/CGFont.h"
#include "game/CGLight.h"
#include "game/CGTexture.h"

#include <memory>
#include <string>
#include <vector>

class CGObject;

// Polygon modes, as OpenGL numbers them.
constexpr int kGameFill = 0x1B02;
constexpr int kGameLine = 0x1B01;

// The one record of the game's state: objects of the level, input flags,
// rules, settings, render options, fonts, lights and messages.
class CGGameState {
public:
    CGGameState();

    // Forgets the level's objects (without destroying them: particles and
    // the old level's actors still point at them), resets the flags and
    // reads "config.ini" from the directory for the level.
    void ReadConfig(const std::string& directory, const std::string& levelId);
    // The fonts at their heights (needs a GL context).
    void BuildFonts();

    std::vector<CGObject*> staticObjects;
    std::vector<CGObject*> dynamicObjects;   // element 0: the user's character
    std::unique_ptr<CGTexture> textures;
    double trailTimer = 0;

    bool walkForward = false, walkBackward = false, strafeLeft = false, strafeRight = false;
    bool pitchDown = false, pitchUp = false, turnLeft = false, turnRight = false;
    bool hasFocus = false, won = false, lost = false, helpPage = false, nextLevel = false;
    double jumpRequest = 0;
    int lastCursorX = -1, lastCursorY = -1;

    CGConfig config;

    int polygonMode = kGameFill;
    bool showFps = false;
    bool blending = true;
    bool displayLists = true;
    bool frustum = false;
    int mipmapMode = 1;
    bool useVbo = true;
    bool immediateMode = false;
    int textureFilter = 2;

    CGFont fonts[5];
    std::string statusMessage;
    double statusTimer = 0;
    std::string viewMessage;
    double viewTimer = 0;

    CGLight light1;   // GL_LIGHT1
    CGLight light0;   // GL_LIGHT0
    CGLightModel lightModel;
};

// The outcome of a special key: the state changes and the status message.
// hasVertexProgram tells whether the vertex-buffer paths can be switched.
void GameApplySpecialKey(CGGameState& state, int key, bool hasVertexProgram);
