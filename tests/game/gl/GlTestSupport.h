#pragma once

// Shared pieces of the game's GL tests: a GLUT window (made once by the test
// program's main), frame read-back, and the demo level loaded into a game
// state the way the game loads it (without physics).

#include "game/CGGameState.h"
#include "game/CGShader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CGMenue;
class CGKran;

constexpr int kGlWidth = 1024;
constexpr int kGlHeight = 768;

// The demo data folder (environment DUZ_DEMO_DATA).
std::string GlDemoDataDir();

// The back buffer as RGB rows, bottom row first (OpenGL's window coordinates).
struct GlImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
    bool Lit(int x, int y) const {
        const uint8_t* p = At(x, y);
        return p[0] > 40 || p[1] > 40 || p[2] > 40;
    }
    // Share of pixels that are the clear colour (black).
    double BlackShare() const;
    // Pixels whose channels differ by more than the tolerance.
    size_t CountDifferences(const GlImage& other, int tolerance) const;
    // Written as a PPM into DUZ_GL_TEST_IMAGES when that is set (for a look at a failure).
    void Save(const std::string& name) const;
};
GlImage GlReadFrame();

// The demo level: its static objects, the user's character, the crane and
// the opponent, the menu, the fonts and the shader program of shader set 1.
struct GlDemoLevel {
    CGGameState state;
    CGShader shader;
    CGMenue* menu = nullptr;
    CGKran* crane = nullptr;
    CGObject* goal = nullptr;
};
// Loaded once per process (GL objects live as long as the window).
GlDemoLevel& GlLevel();

// The render settings the game starts with (display lists, buffer objects,
// bilinear filter, nearest mipmaps, fill, blending).
void GlResetRenderSettings(CGGameState& state);
// Presses the special keys in order, as the keyboard callback does.
void GlPressKeys(CGGameState& state, std::initializer_list<int> keys);

// One played frame of the level's static and dynamic objects: the idle
// step's copy of the render settings, the camera, the frame's lights, the
// objects; no snow, no texts.
GlImage GlDrawLevelFrame(GlDemoLevel& level);
