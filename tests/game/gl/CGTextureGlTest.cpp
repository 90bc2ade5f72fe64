// Texture upload: every BMP of a folder becomes a mipmapped, repeating GL
// texture holding the bitmap's pixels with the colour key made transparent.
#include "GlTestSupport.h"

#include "../GameTestSupport.h"

#include "game/CGTexture.h"

#include <GL/glew.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Texel {
    uint8_t r, g, b, a;
    bool operator==(const Texel&) const = default;
};

std::vector<Texel> Level0(GLuint id, int width, int height) {
    std::vector<Texel> texels(size_t(width) * size_t(height));
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texels;
}

TEST(CGTextureGl, UploadsEveryBitmapOfTheFolderWithMipmaps) {
    GameTempDir dir;
    const std::string textures = GlDemoDataDir() + "/level1/textures/";
    for (const char* name : {"box.bmp", "snow.bmp"})
        std::filesystem::copy_file(textures + name, dir.Path() + "/" + name);
    dir.Write("notes.txt", "not a bitmap");   // taken as a BMP, refused, no entry

    CGTexture manager;
    manager.LoadDirectory(dir.Path() + "/");
    ASSERT_EQ(manager.table.size(), 2u);
    EXPECT_EQ(manager.table[0].name, "box");
    EXPECT_EQ(manager.table[1].name, "snow");

    struct Row {
        const char* name;
        int side;
        Texel corner, inner;   // texels (0, 0) and (side / 2 + 1, side / 2 + 1)
    };
    const Row rows[] = {
        // The box: dark seams every 16 texels, brown between them.
        {"box", 64, {90, 50, 20, 255}, {150, 90, 40, 255}},
        // The snow flake: a white disc on the colour key, which turns transparent.
        {"snow", 16, {255, 255, 255, 0}, {255, 255, 255, 255}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const GLuint id = GLuint(manager.Find(row.name));
        ASSERT_NE(id, 0u);
        ASSERT_TRUE(glIsTexture(id));
        glBindTexture(GL_TEXTURE_2D, id);
        GLint width = 0, height = 0, level1 = 0, wrapS = 0, wrapT = 0, minFilter = 0, magFilter = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        EXPECT_EQ(width, row.side);
        EXPECT_EQ(height, row.side);
        EXPECT_EQ(level1, row.side / 2);   // mipmaps built
        EXPECT_EQ(wrapS, GL_REPEAT);
        EXPECT_EQ(wrapT, GL_REPEAT);
        EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_NEAREST);
        EXPECT_EQ(magFilter, GL_LINEAR);

        const std::vector<Texel> texels = Level0(id, row.side, row.side);
        const size_t inner = size_t(row.side / 2 + 1) * size_t(row.side + 1);
        EXPECT_EQ(texels[0], row.corner);
        EXPECT_EQ(texels[inner], row.inner);
    }
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
