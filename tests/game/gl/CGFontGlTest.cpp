// Texts at the heights the game asks for: the five fonts of the game state,
// the larger selected menu entry, and the demo help page within the screen.
#include "GlTestSupport.h"

#include "../GameTestSupport.h"

#include "game/CGMenue.h"
#include "game/GameScreens.h"
#include "game/GameUtil.h"

#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Rows (bottom first) that hold a pixel of the colour within columns [x0, x1).
struct Extent {
    int bottom = -1, top = -1;
    int Height() const { return top < 0 ? 0 : top - bottom + 1; }
};

bool Near(const uint8_t* p, const std::array<uint8_t, 3>& colour) {
    for (size_t c = 0; c < 3; ++c)
        if (std::abs(int(p[c]) - int(colour[c])) > 60) return false;
    return true;
}

Extent RowsWith(const GlImage& image, const std::array<uint8_t, 3>& colour, int x0, int x1) {
    Extent e;
    for (int y = 0; y < image.height; ++y)
        for (int x = x0; x < x1 && x < image.width; ++x)
            if (Near(image.At(x, y), colour)) {
                if (e.bottom < 0) e.bottom = y;
                e.top = y;
                break;
            }
    return e;
}

constexpr std::array<uint8_t, 3> kWhite = {255, 255, 255}, kGreen = {0, 255, 0}, kYellow = {255, 255, 0};

// One text in white at the middle of an empty frame, drawn the way the head-up
// texts are: a raster position in a -1..1 view, then the font.
GlImage DrawAlone(const CGFont& font, const char* text) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glColor4f(1, 1, 1, 1);
    glRasterPos2f(0, 0);
    font.Print("%s", text);
    glEnable(GL_LIGHTING);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return GlReadFrame();
}

TEST(CGFontGl, CapitalsStandAsHighAsTheFontsHeightAsks) {
    GlDemoLevel& level = GlLevel();
    // A capital stands 100 of the stroke font's 152.38 units of cell, and of
    // its 119.05 units above the baseline.
    struct Row {
        int font, height;
        double capital;   // pixels
    };
    const Row rows[] = {
        {0, -24, 24 * 100 / 119.05}, {1, 24, 24 * 100 / 152.38}, {2, 20, 20 * 100 / 152.38},
        {3, 35, 35 * 100 / 152.38},  {4, 45, 45 * 100 / 152.38},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.height);
        const CGFont& font = level.state.fonts[size_t(row.font)];
        ASSERT_EQ(font.height, row.height);
        const GlImage image = DrawAlone(font, "HH");
        image.Save("font " + std::to_string(row.height));
        const Extent e = RowsWith(image, kWhite, 0, image.width);
        EXPECT_NEAR(e.Height(), row.capital, 2.0);
        // On the baseline: the raster position's row, less half a stroke.
        EXPECT_NEAR(e.bottom, kGlHeight / 2, 2);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(CGFontGl, TheSelectedMenuEntryIsLargerThanTheOthers) {
    GlDemoLevel& level = GlLevel();
    ASSERT_NE(level.menu, nullptr);
    // "Start" is the first entry, its baseline at y = 0.3: once selected
    // (yellow, 45), once not (green, 35).
    const int x0 = int((-0.9 + 1) / 2 * kGlWidth), x1 = x0 + 300;
    const int baseline = int((0.3 + 1) / 2 * kGlHeight);
    int heights[2] = {0, 0};
    for (int selected : {0, 1}) {
        level.menu->selected = selected;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        GameDrawMenuScreen(level.state, level.menu);
        GlImage image = GlReadFrame();
        image.Save("menu entry " + std::to_string(selected));
        // Only the rows of the first entry: the second one's baseline is 115 rows lower.
        for (int y = 0; y < image.height; ++y)
            if (y < baseline - 20 || y > baseline + 60)
                std::fill_n(&image.rgb[size_t(y) * size_t(image.width) * 3], size_t(image.width) * 3, uint8_t(0));
        const Extent e = RowsWith(image, selected == 0 ? kYellow : kGreen, x0, x1);
        SCOPED_TRACE(selected);
        EXPECT_NEAR(e.bottom, baseline, 3);
        heights[selected] = e.Height();
    }
    level.menu->selected = 0;
    // Cells of 45 and 35 pixels: the same word, 9/7 as high.
    EXPECT_GE(double(heights[0]), 1.2 * double(heights[1]));
}

TEST(CGFontGl, TheDemoHelpPageFitsTheScreen) {
    GlDemoLevel& level = GlLevel();
    std::string text;
    ASSERT_TRUE(ReadTextFile(level.state.config.helpFile, text));
    // Lines start at x = -0.5 (a quarter of the width in) and go down from y = 0.5 by 0.05.
    const float room = kGlWidth - (-0.5f + 1) / 2 * kGlWidth;
    const CGFont& font = level.state.fonts[2];
    int lines = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ';') continue;
        std::string line = text.substr(start, i - start);
        for (char& c : line)
            if (c == '\n') c = ' ';
        SCOPED_TRACE(line);
        EXPECT_LE(font.TextWidth(line), room);
        start = i + 1;
        ++lines;
    }
    EXPECT_GE(lines, 5);
    // The lowest line stays above the bottom edge with room for its descenders.
    EXPECT_GT(0.5f - 0.05f * float(lines - 1), -1.0f + 2.0f * 8 / kGlHeight);

    // As drawn: no white reaches the right edge.
    level.menu->helpPage = true;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    GameDrawMenuScreen(level.state, level.menu);
    level.menu->helpPage = false;
    const GlImage image = GlReadFrame();
    image.Save("demo help page");
    EXPECT_GT(RowsWith(image, kWhite, kGlWidth / 4, kGlWidth / 2).Height(), 0);
    EXPECT_EQ(RowsWith(image, kWhite, kGlWidth - 3, kGlWidth).Height(), 0);
}

}  // namespace
