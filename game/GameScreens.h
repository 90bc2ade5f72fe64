#pragma once

#include <string>

class CGGameState;
class CGMenue;
class CGObject;

// The game's GL-side screens and per-frame set-up, kept out of the program
// entry so they can be driven without the GLUT main loop.

// Normalised normals, black clear colour, smooth shading, the light model,
// GL_LIGHT0 (left off) and GL_LIGHT1, colour tracking of the front diffuse
// colour and the depth test.
void GameInitGL(CGGameState& state);
// The places of the two lights in a played frame, after the camera is set.
void GameSetFrameLights(CGGameState& state);

// Modelview identity, then the view of the user's character's active camera.
void GameSetupCamera(CGGameState& state);
// Stores the size and sets the viewport and the perspective projection.
void GameOnReshape(CGGameState& state, int width, int height);

// A text at (x, y) at depth z in the first font, or the second (flag 1).
void GameDrawText(CGGameState& state, float x, float y, float z, const std::string& text, int secondFont);
void GameDrawFps(CGGameState& state, double fps);
// The lines of the help file (each ended by ";") in the third font.
void GameDrawHelpScreen(CGGameState& state);
// The menu (and its help page when asked for) in an orthographic view; ends
// by restoring the perspective projection.
void GameDrawMenuScreen(CGGameState& state, CGMenue* menu);

// The render settings chosen with F3 to F9, copied into one object or into
// every static and then every dynamic object.
void GameApplyRenderOptions(const CGGameState& state, CGObject& object);
void GameApplyRenderOptions(CGGameState& state);
