// The fixed-function start state with its lights, the menu and help page
// texts, and the first played frame after the menu.
#include "GlTestSupport.h"

#include "../GameTestSupport.h"

#include "game/CGMenue.h"
#include "game/GameScreens.h"

#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Vec4 = std::array<float, 4>;

Vec4 LightValue(GLenum light, GLenum parameter) {
    Vec4 v{-1, -1, -1, -1};
    glGetLightfv(light, parameter, v.data());
    return v;
}

void ExpectNear(const Vec4& actual, const Vec4& expected) {
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(actual[i], expected[i], 1e-5) << "component " << i;
}

TEST(GameInitGL, SetsUpTheLightsAndTheLightModel) {
    GlDemoLevel& level = GlLevel();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    GameInitGL(level.state);

    struct Row {
        GLenum light, parameter;
        Vec4 value;
    };
    const Row rows[] = {
        {GL_LIGHT0, GL_AMBIENT, {0.2f, 0.2f, 0.2f, 1}},  {GL_LIGHT0, GL_DIFFUSE, {0.4f, 0.4f, 0.4f, 1}},
        {GL_LIGHT0, GL_SPECULAR, {0.9f, 0.9f, 0.9f, 1}}, {GL_LIGHT0, GL_POSITION, {10, 10, 10, 1}},
        {GL_LIGHT1, GL_AMBIENT, {0.2f, 0.2f, 0.2f, 1}},  {GL_LIGHT1, GL_DIFFUSE, {0.4f, 0.4f, 0.4f, 1}},
        {GL_LIGHT1, GL_SPECULAR, {0.9f, 0.9f, 0.9f, 1}}, {GL_LIGHT1, GL_POSITION, {10, 10, 10, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "light 0x" << std::hex << row.light << ", parameter 0x" << row.parameter);
        ExpectNear(LightValue(row.light, row.parameter), row.value);
    }
    GLfloat attenuation = -1;
    glGetLightfv(GL_LIGHT1, GL_CONSTANT_ATTENUATION, &attenuation);
    EXPECT_EQ(attenuation, 0.0f);
    // GL_LIGHT0 is switched on and off again: only GL_LIGHT1 shines.
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));

    Vec4 ambient{};
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient.data());
    ExpectNear(ambient, {0.5f, 0.5f, 0.5f, 1});
    GLint localViewer = 0, twoSided = 0, face = 0, tracked = 0, shading = 0;
    glGetIntegerv(GL_LIGHT_MODEL_LOCAL_VIEWER, &localViewer);
    glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &twoSided);
    EXPECT_EQ(localViewer, 1);
    EXPECT_EQ(twoSided, 1);
    // Colour tracking feeds the front diffuse colour.
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    glGetIntegerv(GL_COLOR_MATERIAL_FACE, &face);
    glGetIntegerv(GL_COLOR_MATERIAL_PARAMETER, &tracked);
    EXPECT_EQ(face, GL_FRONT);
    EXPECT_EQ(tracked, GL_DIFFUSE);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    glGetIntegerv(GL_SHADE_MODEL, &shading);
    EXPECT_EQ(shading, GL_SMOOTH);
}

TEST(GameInitGL, AFrameMovesTheLightsWithTheView) {
    GlDemoLevel& level = GlLevel();
    GameSetupCamera(level.state);
    GameSetFrameLights(level.state);
    // Positions are given in the level's space: stored through the camera.
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    auto eye = [&m](const Vec4& p) {
        Vec4 out{};
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) out[size_t(r)] += m[c * 4 + r] * p[size_t(c)];
        return out;
    };
    ExpectNear(LightValue(GL_LIGHT1, GL_POSITION), eye({1, 1, 1, 0}));
    ExpectNear(LightValue(GL_LIGHT0, GL_POSITION), eye({10, 10, 10, 1}));
    // The view is not the identity, or the check above proves nothing.
    EXPECT_NE(eye({10, 10, 10, 1})[2], 10.0f);
}

// The texts of the screens, located by their pixels so that any font that
// starts its glyphs at the raster position passes: in the rows just above a
// text's baseline its leftmost pixel lies at the text's x, in its colour.
struct TextSpot {
    const char* text;
    float x, y;                       // raster position, in the screen's -1..1 units
    std::array<uint8_t, 3> colour;    // 255 or 0 per channel
};

bool HasColour(const uint8_t* p, const std::array<uint8_t, 3>& colour) {
    for (size_t c = 0; c < 3; ++c)
        if (colour[c] == 255 ? p[c] < 200 : p[c] > 80) return false;
    return true;
}

// The leftmost pixel of the colour in the rows 2 to 6 above the baseline; -1 for none.
int LeftmostAboveBaseline(const GlImage& image, float y, const std::array<uint8_t, 3>& colour) {
    const int baseline = int((y + 1) / 2 * float(image.height));
    int leftmost = -1;
    for (int row = baseline + 2; row <= baseline + 6 && row < image.height; ++row)
        for (int x = 0; x < image.width; ++x)
            if (HasColour(image.At(x, row), colour)) {
                if (leftmost < 0 || x < leftmost) leftmost = x;
                break;
            }
    return leftmost;
}

void ExpectText(const GlImage& image, const TextSpot& spot) {
    SCOPED_TRACE(spot.text);
    const int expected = int((spot.x + 1) / 2 * float(image.width));
    const int found = LeftmostAboveBaseline(image, spot.y, spot.colour);
    EXPECT_GE(found, expected - 1);
    EXPECT_LE(found, expected + 8);
}

constexpr std::array<uint8_t, 3> kGreen = {0, 255, 0}, kYellow = {255, 255, 0}, kWhite = {255, 255, 255};

class GameScreens : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(level.menu, nullptr);
        glColor4f(1, 1, 1, 1);
        GlResetRenderSettings(level.state);
    }
    void TearDown() override {
        level.menu->selected = 0;
        level.menu->helpPage = false;
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    GlImage DrawMenu() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        GameDrawMenuScreen(level.state, level.menu);
        return GlReadFrame();
    }
    GlDemoLevel& level = GlLevel();
};

TEST_F(GameScreens, MenuEntriesAndHintsStandWhereTheMenuPutsThem) {
    for (int selected = 0; selected < 3; ++selected) {
        level.menu->selected = selected;
        SCOPED_TRACE(level.menu->SelectedText());
        const GlImage image = DrawMenu();
        image.Save("menu " + level.menu->SelectedText());
        const char* entries[3] = {"Start", "Help", "Exit"};
        // Entries from 0.3 down in steps of 0.3; the selected one in yellow.
        for (int i = 0; i < 3; ++i)
            ExpectText(image, {entries[i], -0.9f, 0.3f - 0.3f * float(i), i == selected ? kYellow : kGreen});
        ExpectText(image, {"Navigation mit Pfeiltasten", -0.9f, 0.9f, kGreen});
        ExpectText(image, {"Bestaetigung mit Leertaste", -0.9f, 0.8f, kGreen});
    }
}

TEST_F(GameScreens, HelpPageShowsEachLineEndedBySemicolon) {
    GameTempDir dir;
    // Two shown lines three steps apart; the text after the last ";" is not shown.
    const std::string help = dir.Write("help.txt", "HELL;;;EEEE;HIDDEN");
    const std::string kept = level.state.config.helpFile;
    level.state.config.helpFile = help;
    level.menu->helpPage = true;
    const GlImage image = DrawMenu();
    level.state.config.helpFile = kept;
    image.Save("help page");
    ExpectText(image, {"HELL", -0.5f, 0.5f, kWhite});
    ExpectText(image, {"EEEE", -0.5f, 0.35f, kWhite});
    for (float empty : {0.45f, 0.4f, 0.3f}) {
        SCOPED_TRACE(empty);
        EXPECT_EQ(LeftmostAboveBaseline(image, empty, kWhite), -1);
    }
}

TEST_F(GameScreens, FirstPlayedFrameAfterTheMenuKeepsTheLevelsColours) {
    const GlImage before = GlDrawLevelFrame(level);
    DrawMenu();
    Vec4 colour{};
    glGetFloatv(GL_CURRENT_COLOR, colour.data());
    ExpectNear(colour, {1, 1, 1, 1});
    const GlImage after = GlDrawLevelFrame(level);
    after.Save("first frame after the menu");
    EXPECT_EQ(after.CountDifferences(before, 2), 0u);
}

TEST_F(GameScreens, FrameCounterEndsInsideTheWindow) {
    // Wide numbers too: the last digit must not reach the right edge.
    for (const double fps : {60.0, 1234.56}) {
        SCOPED_TRACE(fps);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        GameOnReshape(level.state, kGlWidth, kGlHeight);
        glDisable(GL_LIGHTING);
        glColor4f(1, 1, 1, 1);
        GameDrawFps(level.state, fps);
        glEnable(GL_LIGHTING);
        const GlImage image = GlReadFrame();
        image.Save("frame counter");
        int leftmost = image.width, rightmost = -1;
        for (int y = 0; y < image.height / 4; ++y)
            for (int x = 0; x < image.width; ++x)
                if (image.Lit(x, y)) {
                    leftmost = std::min(leftmost, x);
                    rightmost = std::max(rightmost, x);
                }
        ASSERT_GE(rightmost, 0) << "nothing drawn";
        EXPECT_LT(rightmost, image.width - 2);
        // The whole text, not a clipped part of it.
        EXPECT_NEAR(rightmost - leftmost, level.state.fonts[0].TextWidth(fps > 1000 ? "fps: 1234.56" : "fps:   60.00"),
                    level.state.fonts[0].TextWidth("0") + 2);
    }
}

}  // namespace
