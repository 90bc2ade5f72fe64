#include "game/CGTexture.h"

#include "GameTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

// A 24-bit BMP with the given pixels (B, G, R triples, no row padding).
std::vector<uint8_t> Bitmap(int32_t width, int32_t height, const std::vector<uint8_t>& bgr) {
    std::vector<uint8_t> file(54 + bgr.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, uint32_t(54 + bgr.size()));
    Put32(file, 10, 54);
    Put32(file, 14, 40);
    Put32(file, 18, uint32_t(width));
    Put32(file, 22, uint32_t(height));
    file[26] = 1;
    file[28] = 24;
    std::copy(bgr.begin(), bgr.end(), file.begin() + 54);
    return file;
}

TEST(CGTexture, DecodesPixelsWithTheExactColourKey) {
    // Blue, green, red order on disk; 250/250/250 is the transparent key.
    const std::vector<uint8_t> bgr = {1, 2, 3, 250, 250, 250, 251, 250, 250, 250, 250, 251};
    std::vector<uint8_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(CGTexture::DecodeBitmap(Bitmap(4, 1, bgr), pixels, w, h));
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 1);
    const std::vector<uint8_t> expected = {3, 2, 1, 255, 255, 255, 255, 0, 250, 250, 251, 255, 251, 250, 250, 255};
    EXPECT_EQ(pixels, expected);
}

TEST(CGTexture, RowsAreReadWithoutPadding) {
    // Width 1: a padded file would hold 4 bytes a row; this reader takes 3.
    const std::vector<uint8_t> bgr = {10, 20, 30, 40, 50, 60};
    std::vector<uint8_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(CGTexture::DecodeBitmap(Bitmap(1, 2, bgr), pixels, w, h));
    EXPECT_EQ(pixels, (std::vector<uint8_t>{30, 20, 10, 255, 60, 50, 40, 255}));
}

TEST(CGTexture, RefusesBrokenHeaders) {
    const std::vector<uint8_t> good = Bitmap(2, 2, std::vector<uint8_t>(12, 7));
    struct Case {
        const char* what;
        size_t at;   // byte to change (SIZE_MAX: truncate instead)
        uint32_t value;
        bool wide;
    } cases[] = {
        {"not BM", 0, 'X', false},
        {"32 bits", 28, 32, false},
        {"compressed", 30, 1, true},
        {"negative width", 18, uint32_t(-2), true},
        {"zero height", 22, 0, true},
        {"huge width", 18, 100000, true},
        {"width times height beyond the data", 18, 16384, true},
        {"pixel offset beyond the file", 10, 4096, true},
        {"pixel offset inside the headers", 10, 20, true},
        {"short info header", 14, 12, true},
        {"truncated pixels", SIZE_MAX, 0, false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = good;
        if (c.at == SIZE_MAX)
            file.erase(file.end() - 1);
        else if (c.wide)
            Put32(file, c.at, c.value);
        else
            file[c.at] = uint8_t(c.value);
        std::vector<uint8_t> pixels;
        int w = -1, h = -1;
        EXPECT_FALSE(CGTexture::DecodeBitmap(file, pixels, w, h)) << c.what;
        EXPECT_TRUE(pixels.empty()) << c.what;
        EXPECT_EQ(w, -1) << c.what;
    }
    std::vector<uint8_t> pixels;
    int w = 0, h = 0;
    EXPECT_FALSE(CGTexture::DecodeBitmap({}, pixels, w, h));
}

TEST(CGTexture, HonoursThePixelOffset) {
    std::vector<uint8_t> file = Bitmap(1, 1, {0, 0, 0});
    // Two spare bytes between the headers and the pixels.
    file.insert(file.begin() + 54, {9, 9});
    file[54 + 2] = 5;
    file[54 + 3] = 6;
    file[54 + 4] = 7;
    Put32(file, 10, 56);
    std::vector<uint8_t> pixels;
    int w = 0, h = 0;
    ASSERT_TRUE(CGTexture::DecodeBitmap(file, pixels, w, h));
    EXPECT_EQ(pixels, (std::vector<uint8_t>{7, 6, 5, 255}));
}

TEST(CGTexture, LoadBitmapFromFilesAndFindByName) {
    GameTempDir dir;
    const std::vector<uint8_t> file = Bitmap(4, 2, std::vector<uint8_t>(24, 100));
    const std::string path = dir.Write("tex/rock.bmp", std::string(file.begin(), file.end()));
    CGTexture textures;
    std::vector<uint8_t> pixels;
    EXPECT_FALSE(textures.LoadBitmap(dir.Path() + "/missing.bmp", pixels));
    EXPECT_FALSE(textures.LoadBitmap(dir.Write("text.bmp", "just text"), pixels));
    EXPECT_EQ(textures.width, 0);
    ASSERT_TRUE(textures.LoadBitmap(dir.Path() + "\\tex\\rock.bmp", pixels));
    EXPECT_EQ(textures.width, 4);
    EXPECT_EQ(textures.height, 2);
    EXPECT_EQ(pixels.size(), 32u);

    textures.table = {{"rock", 3}, {"snow", 4}, {"rock", 9}};
    EXPECT_EQ(textures.Find("rock"), 9);   // the last of the name
    EXPECT_EQ(textures.Find("snow"), 4);
    EXPECT_EQ(textures.Find("Snow"), 0);
    EXPECT_EQ(textures.Find("grass"), 0);
}

}  // namespace
