#include "GlTestSupport.h"

#include "game/CGEnemy.h"
#include "game/CGKran.h"
#include "game/CGMenue.h"
#include "game/CGMorvoVesk.h"
#include "game/GameRules.h"
#include "game/GameScreens.h"
#include "game/GameUtil.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

std::string GlDemoDataDir() {
    const char* dir = std::getenv("DUZ_DEMO_DATA");
    return dir != nullptr ? dir : "";
}

double GlImage::BlackShare() const {
    size_t black = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        if (rgb[i] == 0 && rgb[i + 1] == 0 && rgb[i + 2] == 0) ++black;
    return rgb.empty() ? 0.0 : double(black) / double(rgb.size() / 3);
}

size_t GlImage::CountDifferences(const GlImage& other, int tolerance) const {
    if (other.rgb.size() != rgb.size()) return rgb.size() / 3 + 1;
    size_t count = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        for (size_t c = 0; c < 3; ++c)
            if (std::abs(int(rgb[i + c]) - int(other.rgb[i + c])) > tolerance) {
                ++count;
                break;
            }
    return count;
}

void GlImage::Save(const std::string& name) const {
    const char* dir = std::getenv("DUZ_GL_TEST_IMAGES");
    if (dir == nullptr) return;
    if (FILE* f = std::fopen((std::string(dir) + "/" + name + ".ppm").c_str(), "wb")) {
        std::fprintf(f, "P6\n%d %d\n255\n", width, height);
        for (int y = height - 1; y >= 0; --y) std::fwrite(At(0, y), 1, size_t(width) * 3, f);
        std::fclose(f);
    }
}

GlImage GlReadFrame() {
    GlImage image;
    image.width = kGlWidth;
    image.height = kGlHeight;
    image.rgb.resize(size_t(kGlWidth) * kGlHeight * 3);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kGlWidth, kGlHeight, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
    return image;
}

namespace {

void LoadLevel(GlDemoLevel& level) {
    CGGameState& state = level.state;
    state.ReadConfig(GlDemoDataDir(), "1");
    state.config.screenWidth = kGlWidth;
    state.config.screenHeight = kGlHeight;
    state.BuildFonts();
    GameInitGL(state);
    level.shader = CGShader(state.config.vertexShader1, state.config.fragmentShader1);
    level.shader.Compile();

    const CGConfig& cfg = state.config;
    CGTexture* textures = state.textures.get();
    textures->LoadDirectory(cfg.textureDirectory);
    for (const std::string& name : ListFiles(cfg.staticDirectory)) {
        const std::string settings = cfg.staticDirectory + StripExtension(name) + "\\";
        const bool sky = GameModelRole(name, true) == CGModelRole::SkyBox;
        CGStaticObject* object = sky ? new CGSkyBox(settings, textures, &level.shader)
                                     : new CGStaticObject(settings, textures, &level.shader);
        GameApplyRenderOptions(state, *object);
        EXPECT_TRUE(object->ImportModel(cfg.staticDirectory + name)) << name;
        object->name = StripExtension(name);
        if (object->name == "goal") level.goal = object;
        state.staticObjects.push_back(object);
    }
    auto* user = new CGEnemy;
    state.dynamicObjects.push_back(user);
    for (const std::string& name : ListFiles(cfg.dynamicDirectory)) {
        const std::string settings = cfg.dynamicDirectory + StripExtension(name) + "\\";
        const std::string path = cfg.dynamicDirectory + name;
        switch (GameModelRole(name, false)) {
        case CGModelRole::Crane: {
            auto* crane = new CGKran(settings, textures, &level.shader);
            EXPECT_TRUE(crane->ImportModel(path)) << name;
            crane->rotationAngle = 0;   // a still crane, so frames can be compared
            crane->translation[0] = -5;   // and in view
            crane->translation[2] = -50;
            level.crane = crane;
            state.dynamicObjects.push_back(crane);
            break;
        }
        case CGModelRole::User:
            user->LoadModel(settings, textures, &level.shader);
            EXPECT_TRUE(user->ImportModel(path)) << name;
            break;
        case CGModelRole::Opponent: {
            auto* vesk = new CGMorvoVesk(settings, textures, user, &level.shader);
            EXPECT_TRUE(vesk->ImportModel(path)) << name;
            vesk->position[0] = -12;   // in view, legs held still
            vesk->position[2] = -40;
            vesk->swing.speed = 0;
            state.dynamicObjects.push_back(vesk);
            break;
        }
        default: break;
        }
    }
    level.menu = new CGMenue(2, 2, &state.fonts[3], &state.fonts[4]);
    level.menu->Bind(StripExtension(cfg.menuModel) + "\\", textures, &level.shader);
    GameApplyRenderOptions(state, *level.menu);
    EXPECT_TRUE(level.menu->ImportModel(cfg.menuModel));

    // A view up the stairs to the goal, the crane and the opponent in sight.
    CGCamera& camera = user->cameras[CGEnemy::kFirstPerson];
    camera.eye[0] = -15;
    camera.eye[1] = 6;
    camera.eye[2] = -22;
}

}  // namespace

GlDemoLevel& GlLevel() {
    static GlDemoLevel* level = [] {
        auto* l = new GlDemoLevel;   // lives as long as the window
        LoadLevel(*l);
        return l;
    }();
    return *level;
}

void GlResetRenderSettings(CGGameState& s) {
    s.polygonMode = kGameFill;
    s.blending = true;
    s.displayLists = true;
    s.mipmapMode = 1;
    s.useVbo = true;
    s.immediateMode = false;
    s.textureFilter = 2;
}

void GlPressKeys(CGGameState& state, std::initializer_list<int> keys) {
    for (int key : keys) GameApplySpecialKey(state, key, GLEW_ARB_vertex_program);
}

GlImage GlDrawLevelFrame(GlDemoLevel& level) {
    CGGameState& state = level.state;
    GameApplyRenderOptions(state);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    GameOnReshape(state, kGlWidth, kGlHeight);
    GameSetFrameLights(state);
    for (CGObject* o : state.staticObjects) o->Draw();
    for (CGObject* o : state.dynamicObjects) o->Draw();
    return GlReadFrame();
}
