#include "game/CGGameState.h"

#include <GL/freeglut.h>

CGGameState::CGGameState() : textures(std::make_unique<CGTexture>()), light1(GL_LIGHT1), light0(GL_LIGHT0) {}

void CGGameState::ReadConfig(const std::string& directory, const std::string& levelId) {
    staticObjects.clear();
    dynamicObjects.clear();
    jumpRequest = 0;
    lastCursorX = lastCursorY = -1;
    won = lost = helpPage = nextLevel = false;
    walkForward = walkBackward = strafeLeft = strafeRight = false;
    blending = true;
    displayLists = true;
    mipmapMode = 1;
    useVbo = true;
    immediateMode = false;
    textureFilter = 2;
    polygonMode = kGameFill;
    statusMessage = "Mipmapping: Aus";
    config.Read(directory, levelId);
}

void CGGameState::BuildFonts() {
    const int heights[5] = {-24, 24, 20, 35, 45};
    for (int i : {0, 3, 4, 1, 2}) fonts[i].Build(heights[i]);
}

void GameApplySpecialKey(CGGameState& s, int key, bool hasVertexProgram) {
    auto flip = [&s](bool& flag, const char* on, const char* off) {
        flag = !flag;
        s.statusMessage = flag ? on : off;
    };
    switch (key) {
    case GLUT_KEY_F1: flip(s.helpPage, "Help: on", "Help: off"); break;
    case GLUT_KEY_F2: flip(s.showFps, "Framerate: on", "Framerate: off"); break;
    case GLUT_KEY_F3:
        s.polygonMode = s.polygonMode == kGameFill ? kGameLine : kGameFill;
        s.statusMessage = s.polygonMode == kGameLine ? "Wireframe: on" : "Wireframe: off";
        break;
    case GLUT_KEY_F4:
        if (s.textureFilter == 1) {
            s.textureFilter = 2;
            s.statusMessage = "Texture: Bilinear";
        } else {
            s.textureFilter = 1;
            s.statusMessage = "Texture: Nearest";
        }
        break;
    case GLUT_KEY_F5:
        if (s.mipmapMode == 0) {
            s.mipmapMode = 1;
            s.statusMessage = "Mipmapping: Nearest";
        } else if (s.mipmapMode == 1) {
            s.mipmapMode = 2;
            s.statusMessage = "Mipmapping: LINEAR";
        } else {
            s.mipmapMode = 0;
            s.statusMessage = "Mipmapping: Aus";
        }
        break;
    case GLUT_KEY_F6:
        if (!hasVertexProgram) {
            s.statusMessage = "Vertex Buffer: ARB_vertex_buffer_object not supported!";
        } else if (s.useVbo) {
            s.useVbo = false;
            s.immediateMode = true;
            s.statusMessage = "Vertex Buffer: Immediate Mode Triangles";
        } else if (s.immediateMode) {
            s.immediateMode = false;
            s.statusMessage = "Vertex Buffer: Vertex Arrays";
        } else {
            s.useVbo = true;
            s.statusMessage = "Vertex Buffer: ARB Vertex Buffer Object";
        }
        break;
    case GLUT_KEY_F7: flip(s.displayLists, "displaylist: on", "Displaylist: off"); break;
    case GLUT_KEY_F8: flip(s.frustum, "Frustum: on", "Frustum: off"); break;
    case GLUT_KEY_F9: flip(s.blending, "Blending: on", "Blending: off"); break;
    default: return;
    }
    s.statusTimer = 0;
}
