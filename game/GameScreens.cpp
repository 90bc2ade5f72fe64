#include "game/GameScreens.h"

#include "game/CGEnemy.h"
#include "game/CGGameState.h"
#include "game/CGMenue.h"
#include "game/GameUtil.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

void GameInitGL(CGGameState& state) {
    glEnable(GL_NORMALIZE);
    glClearColor(0, 0, 0, 0);
    glShadeModel(GL_SMOOTH);
    CGLightModel& model = state.lightModel;
    model.ambient[0] = model.ambient[1] = model.ambient[2] = 0.5f;
    model.ambient[3] = 1.0f;
    model.localViewer = true;
    model.Apply();
    for (CGLight* light : {&state.light0, &state.light1}) {
        light->SetAmbient(0.2f, 0.2f, 0.2f, 1);
        light->SetDiffuse(0.4f, 0.4f, 0.4f, 1);
        light->SetSpecular(0.9f, 0.9f, 0.9f, 1);
    }
    state.light0.SetPosition(10, 10, 10, 1);
    state.light0.Enable();
    state.light0.Disable();
    state.light1.SetPosition(10, 10, 10, 0);
    state.light1.SetConstantAttenuation(0);
    state.light1.Enable();
    glColorMaterial(GL_FRONT, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DEPTH_TEST);
}

void GameSetFrameLights(CGGameState& state) {
    state.light1.SetPosition(1, 1, 1, 0);
    state.light0.SetPosition(10, 10, 10, 1);
}

void GameSetupCamera(CGGameState& state) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (state.dynamicObjects.empty()) return;
    const CGCamera& c = static_cast<CGEnemy*>(state.dynamicObjects[0])->ActiveCamera();
    gluLookAt(c.eye[0], c.eye[1], c.eye[2], c.eye[0] + c.look[0], c.eye[1] + c.look[1], c.eye[2] + c.look[2],
              c.up[0], c.up[1], c.up[2]);
}

void GameOnReshape(CGGameState& state, int width, int height) {
    if (height == 0) height = 1;
    state.config.screenWidth = width;
    state.config.screenHeight = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / double(height), 1.0, 1000.0);
    GameSetupCamera(state);
}

void GameDrawText(CGGameState& state, float x, float y, float z, const std::string& text, int secondFont) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
    glTranslatef(0, 0, z);
    const float white[4] = {1, 1, 1, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, white);
    glColor4fv(white);
    glRasterPos2f(x, y);
    state.fonts[secondFont ? 1 : 0].Print("%s", CGFont::FormatWithoutArguments(text).c_str());
    glPopMatrix();
}

void GameDrawFps(CGGameState& state, double fps) {
    glLoadIdentity();
    glPushMatrix();
    glTranslatef(0, 0, -2);
    const float white[4] = {1, 1, 1, 1}, black[4] = {0, 0, 0, 0};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, black);
    char text[64];
    std::snprintf(text, sizeof text, "fps: %7.2f", fps);
    // At 0.8 across, the counter starts 370 pixels right of the centre of a
    // 1024-pixel window and its last digit falls off the edge; it is moved
    // left far enough to end a few pixels inside, whatever the width. The
    // text stands at a depth of 2 in the 45-degree view of GameOnReshape.
    const float width = float(state.config.screenWidth > 0 ? state.config.screenWidth : 1);
    const float height = float(state.config.screenHeight > 0 ? state.config.screenHeight : 1);
    const float halfWidth = 2.0f * std::tan(22.5f * 3.14159265f / 180.0f) * width / height;
    const float fits = halfWidth * (1.0f - 2.0f * (state.fonts[0].TextWidth(text) + 8.0f) / width);
    glRasterPos2f(std::min(0.8f, fits), -0.8f);
    state.fonts[0].Print("%s", text);
    glPopMatrix();
}

void GameDrawHelpScreen(CGGameState& state) {
    glDisable(GL_LIGHTING);
    glLoadIdentity();
    glPushMatrix();
    glTranslatef(0, 0, -2);
    const float white[4] = {1, 1, 1, 1};
    glMaterialfv(GL_FRONT, GL_AMBIENT, white);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, white);
    glMaterialfv(GL_FRONT, GL_SPECULAR, white);
    glMaterialfv(GL_FRONT, GL_EMISSION, white);
    glColor4fv(white);
    std::string text;
    ReadTextFile(state.config.helpFile, text);
    float y = 0.5f;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ';') continue;
        glRasterPos2f(-0.5f, y);
        std::string line = text.substr(start, i - start);
        for (char& c : line)
            if (c == '\n') c = ' ';
        state.fonts[2].Print("%s", CGFont::FormatWithoutArguments(line).c_str());
        start = i + 1;
        y -= 0.05f;
    }
    glPopMatrix();
    glEnable(GL_LIGHTING);
}

void GameDrawMenuScreen(CGGameState& state, CGMenue* menu) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 0, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 1, 0, 0, 0, 0, 1, 0);
    glDisable(GL_LIGHTING);
    if (menu != nullptr) {
        menu->Draw();
        if (menu->helpPage) GameDrawHelpScreen(state);
    }
    glEnable(GL_LIGHTING);
    GameOnReshape(state, state.config.screenWidth, state.config.screenHeight);
}

void GameApplyRenderOptions(const CGGameState& state, CGObject& o) {
    o.SetRenderOptions(state.polygonMode, state.blending, state.mipmapMode, state.displayLists, state.textureFilter);
    o.useVbo = state.useVbo;
    o.immediateMode = state.immediateMode;
}

void GameApplyRenderOptions(CGGameState& state) {
    for (auto* list : {&state.staticObjects, &state.dynamicObjects})
        for (CGObject* o : *list) GameApplyRenderOptions(state, *o);
}
