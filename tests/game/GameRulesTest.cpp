#include "game/CGGameState.h"
#include "game/GameRules.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

namespace {

TEST(GameRules, CaughtIsStrictInEveryAxis) {
    const float user[3] = {0, 2, 0};
    struct Case {
        float x, y, z;
        bool caught;
    } cases[] = {
        {0.5f, 3.5f, -0.5f, true}, {1, 2, 0, false}, {0, 4, 0, false}, {0, 2, -1, false}, {-0.99f, 0.01f, 0.99f, true},
    };
    for (const Case& c : cases) {
        const float opponent[3] = {c.x, c.y, c.z};
        EXPECT_EQ(GameIsCaught(user, opponent), c.caught) << c.x << " " << c.y << " " << c.z;
    }
}

TEST(GameRules, TrailPointsStayAtOrAbove2_1AndKeepTheirHeightDuringJumps) {
    std::vector<std::array<float, 3>> trail;
    const float low[3] = {1, 0.5f, 2};
    EXPECT_EQ(GameTrailPoint(low, false, trail), (std::array<float, 3>{1, 2.1f, 2}));
    EXPECT_EQ(GameTrailPoint(low, true, trail), (std::array<float, 3>{1, 2.1f, 2}));   // empty trail
    trail.push_back({0, 5, 0});
    const float high[3] = {3, 9, 4};
    EXPECT_EQ(GameTrailPoint(high, true, trail), (std::array<float, 3>{3, 5, 4}));
    EXPECT_EQ(GameTrailPoint(high, false, trail), (std::array<float, 3>{3, 9, 4}));
}

TEST(GameRules, JumpStepsOnlyWhileJumping) {
    CGJump jump;
    EXPECT_EQ(jump.Step(0.1f), 0.0f);
    jump.Start(70);
    jump.Start(10);   // ignored while in the air
    EXPECT_FLOAT_EQ(jump.speed, 70.0f);
    const float x = 0.01f;
    EXPECT_FLOAT_EQ(jump.Step(x), x * (-19000 * x * x + 70 * x) + x * 80);
    jump.jumping = false;
    EXPECT_EQ(jump.Step(x), 0.0f);
}

TEST(GameRules, MouseLookNeedsALastPosition) {
    CGLookFlags flags;
    flags.turnLeft = true;
    EXPECT_FALSE(GameMouseLookFlags(-1, -1, 5, 5, flags));
    EXPECT_TRUE(flags.turnLeft);
    ASSERT_TRUE(GameMouseLookFlags(10, 10, 12, 8, flags));
    EXPECT_TRUE(flags.turnRight);
    EXPECT_FALSE(flags.turnLeft);
    EXPECT_TRUE(flags.pitchUp);
    EXPECT_FALSE(flags.pitchDown);
    ASSERT_TRUE(GameMouseLookFlags(10, 10, 10, 10, flags));
    EXPECT_FALSE(flags.turnRight || flags.turnLeft || flags.pitchUp || flags.pitchDown);
}

TEST(GameRules, SpecialKeysToggleAndReport) {
    CGGameState state;
    state.statusTimer = 5;
    struct Step {
        int key;
        const char* message;
    } steps[] = {
        {GLUT_KEY_F1, "Help: on"},
        {GLUT_KEY_F1, "Help: off"},
        {GLUT_KEY_F2, "Framerate: on"},
        {GLUT_KEY_F3, "Wireframe: on"},
        {GLUT_KEY_F3, "Wireframe: off"},
        {GLUT_KEY_F4, "Texture: Nearest"},
        {GLUT_KEY_F4, "Texture: Bilinear"},
        {GLUT_KEY_F5, "Mipmapping: LINEAR"},
        {GLUT_KEY_F5, "Mipmapping: Aus"},
        {GLUT_KEY_F5, "Mipmapping: Nearest"},
        {GLUT_KEY_F6, "Vertex Buffer: Immediate Mode Triangles"},
        {GLUT_KEY_F6, "Vertex Buffer: Vertex Arrays"},
        {GLUT_KEY_F6, "Vertex Buffer: ARB Vertex Buffer Object"},
        {GLUT_KEY_F7, "Displaylist: off"},
        {GLUT_KEY_F7, "displaylist: on"},
        {GLUT_KEY_F8, "Frustum: on"},
        {GLUT_KEY_F9, "Blending: off"},
    };
    for (const Step& s : steps) {
        GameApplySpecialKey(state, s.key, true);
        EXPECT_EQ(state.statusMessage, s.message);
        EXPECT_EQ(state.statusTimer, 0);
        state.statusTimer = 5;
    }
    GameApplySpecialKey(state, GLUT_KEY_F6, false);
    EXPECT_EQ(state.statusMessage, "Vertex Buffer: ARB_vertex_buffer_object not supported!");
    EXPECT_TRUE(state.useVbo);
    state.statusTimer = 5;
    GameApplySpecialKey(state, GLUT_KEY_UP, true);   // not a toggle
    EXPECT_EQ(state.statusTimer, 5);
}

TEST(GameRules, ReadConfigResetsFlagsButKeepsTurning) {
    CGGameState state;
    state.won = state.lost = state.helpPage = state.nextLevel = true;
    state.walkForward = state.strafeLeft = true;
    state.turnLeft = state.pitchUp = true;
    state.blending = false;
    state.polygonMode = kGameLine;
    state.lastCursorX = 4;
    state.ReadConfig("/nonexistent", "2");
    EXPECT_FALSE(state.won || state.lost || state.helpPage || state.nextLevel);
    EXPECT_FALSE(state.walkForward || state.strafeLeft);
    EXPECT_TRUE(state.turnLeft && state.pitchUp);
    EXPECT_TRUE(state.blending);
    EXPECT_EQ(state.polygonMode, kGameFill);
    EXPECT_EQ(state.lastCursorX, -1);
    EXPECT_EQ(state.statusMessage, "Mipmapping: Aus");
    EXPECT_EQ(state.config.levelId, "2");
}

}  // namespace

namespace {

TEST(GameRules, ModelRolesByExactFileName) {
    struct Case {
        const char* name;
        bool isStatic;
        CGModelRole role;
    } cases[] = {
        {"sky1.duz", true, CGModelRole::SkyBox},       {"sky5.duz", true, CGModelRole::SkyBox},
        {"sky6.duz", true, CGModelRole::StaticObject}, {"Sky1.duz", true, CGModelRole::StaticObject},
        {"readme.txt", true, CGModelRole::StaticObject}, {"kran.duz", true, CGModelRole::StaticObject},
        {"kran.duz", false, CGModelRole::Crane},       {"Kran_rueck2.duz", false, CGModelRole::Crane},
        {"kran_rueck2.duz", false, CGModelRole::None}, {"enemy.duz", false, CGModelRole::User},
        {"vesk.duz", false, CGModelRole::Opponent},    {"sky1.duz", false, CGModelRole::None},
    };
    for (const Case& c : cases) EXPECT_EQ(GameModelRole(c.name, c.isStatic), c.role) << c.name;
}

}  // namespace
