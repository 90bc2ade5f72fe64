// The four draw paths of the game's objects (display lists, buffer objects,
// immediate mode, vertex arrays), chosen with F7 and F6 as the game does, on
// the demo level: what reaches the GL state and the picture on each path.
#include "GlTestSupport.h"

#include "game/CGKran.h"
#include "game/GameScreens.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glu.h>

#include <array>
#include <set>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct DrawPath {
    const char* name;
    std::vector<int> keys;   // from the start settings
    bool displayLists, vbo, immediate;
};

const DrawPath kPaths[] = {
    {"display lists", {}, true, true, false},
    {"buffer objects", {GLUT_KEY_F7}, false, true, false},
    {"immediate mode", {GLUT_KEY_F7, GLUT_KEY_F6}, false, false, true},
    {"vertex arrays", {GLUT_KEY_F7, GLUT_KEY_F6, GLUT_KEY_F6}, false, false, false},
};

void SelectPath(CGGameState& state, const DrawPath& path) {
    GlResetRenderSettings(state);
    for (int key : path.keys) GlPressKeys(state, {key});
    ASSERT_EQ(state.displayLists, path.displayLists);
    ASSERT_EQ(state.useVbo, path.vbo);
    ASSERT_EQ(state.immediateMode, path.immediate);
}

// The textures the level's objects draw with.
std::set<GLuint> LevelTextures(const GlDemoLevel& level) {
    std::set<GLuint> ids;
    for (const auto* list : {&level.state.staticObjects, &level.state.dynamicObjects})
        for (const CGObject* o : *list)
            for (int i = 0; i < o->PartCount(); ++i)
                if (o->PartTextured(i) && o->PartTexture(i) != 0) ids.insert(GLuint(o->PartTexture(i)));
    return ids;
}

struct TextureParameters {
    GLint minFilter, magFilter, baseLevel, maxLevel;
    bool operator==(const TextureParameters&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TextureParameters& p) {
    return out << "{min 0x" << std::hex << p.minFilter << ", mag 0x" << p.magFilter << std::dec << ", levels "
               << p.baseLevel << ".." << p.maxLevel << "}";
}

TextureParameters ParametersOf(GLuint id) {
    TextureParameters p{};
    glBindTexture(GL_TEXTURE_2D, id);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &p.minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &p.magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, &p.baseLevel);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &p.maxLevel);
    glBindTexture(GL_TEXTURE_2D, 0);
    return p;
}

// What the texture filter (1 nearest, 2 bilinear) and the mipmap mode (0 off,
// 1 nearest, 2 linear) make of a texture's parameters.
TextureParameters Expected(int filter, int mipmap) {
    const GLint plain = filter == 1 ? GL_NEAREST : GL_LINEAR;
    switch (mipmap) {
    case 0: return {plain, plain, 0, 0};
    case 1: return {GL_NEAREST_MIPMAP_NEAREST, plain, 0, 1000};
    default: return {GL_LINEAR_MIPMAP_LINEAR, plain, 0, 1000};
    }
}

// Window position of a point in world space under the current matrices.
std::array<int, 2> Project(double x, double y, double z) {
    GLdouble model[16], projection[16], wx = 0, wy = 0, wz = 0;
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluProject(x, y, z, model, projection, viewport, &wx, &wy, &wz);
    return {int(wx), int(wy)};
}

class GameDrawPaths : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        glColor4f(1, 1, 1, 1);
    }
    void TearDown() override {
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        GlResetRenderSettings(level.state);
    }
    GlDemoLevel& level = GlLevel();
};

TEST_F(GameDrawPaths, EveryPathDrawsTheSameFrame) {
    GlImage first;
    for (const DrawPath& path : kPaths) {
        SCOPED_TRACE(path.name);
        ASSERT_NO_FATAL_FAILURE(SelectPath(level.state, path));
        const GlImage image = GlDrawLevelFrame(level);
        image.Save(std::string("level ") + path.name);
        // The sky boxes close the view: no clear colour shows.
        EXPECT_LT(image.BlackShare(), 0.01);
        if (first.rgb.empty())
            first = image;
        else
            EXPECT_EQ(image.CountDifferences(first, 2), 0u);
    }
}

TEST_F(GameDrawPaths, TextureFilterAndMipmappingReachEveryPath) {
    const std::set<GLuint> textures = LevelTextures(level);
    ASSERT_GE(textures.size(), 4u);   // ground, box, goal, sky
    for (const DrawPath& path : kPaths) {
        SCOPED_TRACE(path.name);
        ASSERT_NO_FATAL_FAILURE(SelectPath(level.state, path));
        // Every combination, each one a change from the one before:
        // (2,1) (2,2) (2,0) (1,0) (1,1) (1,2).
        for (int step = 0; step < 6; ++step) {
            if (step == 3)
                GlPressKeys(level.state, {GLUT_KEY_F4});
            else if (step > 0)
                GlPressKeys(level.state, {GLUT_KEY_F5});
            const int filter = level.state.textureFilter, mipmap = level.state.mipmapMode;
            SCOPED_TRACE(testing::Message() << "filter " << filter << ", mipmap " << mipmap << ", status \""
                                            << level.state.statusMessage << "\"");
            GlDrawLevelFrame(level);
            for (GLuint id : textures) EXPECT_EQ(ParametersOf(id), Expected(filter, mipmap)) << "texture " << id;
        }
    }
}

TEST_F(GameDrawPaths, WireframeOnEveryPath) {
    for (const DrawPath& path : kPaths) {
        SCOPED_TRACE(path.name);
        ASSERT_NO_FATAL_FAILURE(SelectPath(level.state, path));
        GlPressKeys(level.state, {GLUT_KEY_F3});
        ASSERT_EQ(level.state.statusMessage, "Wireframe: on");
        const GlImage lines = GlDrawLevelFrame(level);
        GLint mode[2] = {0, 0};
        glGetIntegerv(GL_POLYGON_MODE, mode);
        EXPECT_EQ(mode[0], GL_LINE);
        EXPECT_EQ(mode[1], GL_LINE);
        // Only edges are drawn: the clear colour shows between them.
        EXPECT_GT(lines.BlackShare(), 0.5);

        GlPressKeys(level.state, {GLUT_KEY_F3});
        const GlImage filled = GlDrawLevelFrame(level);
        glGetIntegerv(GL_POLYGON_MODE, mode);
        EXPECT_EQ(mode[0], GL_FILL);
        EXPECT_LT(filled.BlackShare(), 0.01);
    }
}

TEST_F(GameDrawPaths, BufferObjectsFeedOnlyTheBufferPath) {
    ASSERT_NE(level.goal, nullptr);
    ASSERT_EQ(level.goal->PartCount(), 1);
    const CGPart& part = level.goal->parts[0];
    ASSERT_NE(part.vertexBuffer, 0u);
    // The buffers hold the part's arrays.
    std::vector<float> stored(part.vertices.size());
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, part.vertexBuffer);
    glGetBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, GLsizeiptrARB(stored.size() * sizeof(float)), stored.data());
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    EXPECT_EQ(stored, part.vertices);

    for (const DrawPath& path : kPaths) {
        SCOPED_TRACE(path.name);
        ASSERT_NO_FATAL_FAILURE(SelectPath(level.state, path));
        GameApplyRenderOptions(level.state, *level.goal);
        GameOnReshape(level.state, kGlWidth, kGlHeight);
        level.goal->Draw();
        GLint vertices = -1, normals = -1, uvs = -1, bound = -1;
        glGetIntegerv(GL_VERTEX_ARRAY_BUFFER_BINDING, &vertices);
        glGetIntegerv(GL_NORMAL_ARRAY_BUFFER_BINDING, &normals);
        glGetIntegerv(GL_TEXTURE_COORD_ARRAY_BUFFER_BINDING, &uvs);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
        if (path.vbo && !path.displayLists) {
            EXPECT_EQ(GLuint(vertices), part.vertexBuffer);
            EXPECT_EQ(GLuint(normals), part.normalBuffer);
            EXPECT_EQ(GLuint(uvs), part.uvBuffer);
        } else if (!path.displayLists && !path.immediate) {
            EXPECT_EQ(vertices, 0);
            EXPECT_EQ(normals, 0);
            EXPECT_EQ(uvs, 0);
            void* pointer = nullptr;
            glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
            EXPECT_EQ(pointer, part.vertices.data());
        }
        EXPECT_EQ(bound, 0);
        // The client arrays are off again after every path.
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
        EXPECT_FALSE(glIsEnabled(GL_NORMAL_ARRAY));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    }
}

TEST_F(GameDrawPaths, ShaderPartsDrawWithTheProgramOnEveryPath) {
    // Shader set 1 of the demo links.
    ASSERT_TRUE(level.shader.glslSupported);
    ASSERT_NE(level.shader.program, 0u);
    GLint linked = 0, attached = 0;
    glGetObjectParameterivARB(level.shader.program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    glGetObjectParameterivARB(level.shader.program, GL_OBJECT_ATTACHED_OBJECTS_ARB, &attached);
    EXPECT_EQ(linked, 1);
    EXPECT_EQ(attached, 2);
    ASSERT_NE(level.goal, nullptr);
    ASSERT_TRUE(level.goal->PartUsesShader(0));
    EXPECT_EQ(level.goal->shader.program, level.shader.program);

    // A program that did not build: the same part in the fixed pipeline.
    CGShader missing(GlDemoDataDir() + "/shader/none.vert", GlDemoDataDir() + "/shader/none.frag");
    missing.Compile();
    EXPECT_EQ(missing.program, 0u);

    for (const DrawPath& path : kPaths) {
        SCOPED_TRACE(path.name);
        ASSERT_NO_FATAL_FAILURE(SelectPath(level.state, path));
        for (const CGShader* program : {&level.shader, &missing}) {
            level.goal->shader = *program;
            const GlImage image = GlDrawLevelFrame(level);
            // The middle of the goal's face towards the viewer.
            const auto [x, y] = Project(-15, 16, -87);
            ASSERT_TRUE(x > 0 && x < kGlWidth && y > 0 && y < kGlHeight);
            const uint8_t* pixel = image.At(x, y);
            if (program == &level.shader) {
                // The glow shader's colour: full red, a tenth of blue.
                EXPECT_GE(pixel[0], 250);
                EXPECT_NEAR(pixel[2], 26, 3);
            } else {
                // The goal texture has no blue.
                EXPECT_LE(pixel[2], 8);
                EXPECT_GE(pixel[0], 60);
            }
            GLint current = -1;
            glGetIntegerv(GL_CURRENT_PROGRAM, &current);
            EXPECT_EQ(current, 0);   // back to the fixed pipeline after the part
        }
        level.goal->shader = level.shader;
    }
}

// A crane of one square, textured with the snow flake, whose corners are the
// transparent colour key.
class SnowCrane : public CGKran {
public:
    explicit SnowCrane(int texture) {
        CGPart part;
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int c : {0, 1, 2, 0, 2, 3}) {
            part.vertices.insert(part.vertices.end(), {corners[c][0], corners[c][1], -5.0f});
            part.normals.insert(part.normals.end(), {0.0f, 0.0f, 1.0f});
            part.uvs.insert(part.uvs.end(), {(corners[c][0] + 1) / 2, (corners[c][1] + 1) / 2});
        }
        part.polygonCount = 2;
        part.polygonVertexCount = 6;
        parts.push_back(part);
        textureIds = {texture};
        textured = {true};
        usesShader = {false};
        BuildVertexBuffers();
        SetPartRange(0, 0);
        BuildDisplayList();
    }
};

TEST_F(GameDrawPaths, BlendingFollowsTheSettingOnEveryPath) {
    const int snow = level.state.textures->Find("snow");
    ASSERT_NE(snow, 0);
    SnowCrane crane(snow);
    for (const DrawPath& path : kPaths) {
        SCOPED_TRACE(path.name);
        ASSERT_NO_FATAL_FAILURE(SelectPath(level.state, path));
        for (bool blending : {true, false}) {
            if (level.state.blending != blending) GlPressKeys(level.state, {GLUT_KEY_F9});
            ASSERT_EQ(level.state.blending, blending);
            GameApplyRenderOptions(level.state, crane);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            GameOnReshape(level.state, kGlWidth, kGlHeight);
            glLoadIdentity();
            GameSetFrameLights(level.state);
            crane.Draw();
            const auto corner = Project(-0.9, -0.9, -5);
            const auto middle = Project(0, 0, -5);
            const GlImage image = GlReadFrame();
            SCOPED_TRACE(blending ? "blending on" : "blending off");
            EXPECT_TRUE(image.Lit(middle[0], middle[1]));
            // Blended, the transparent corner shows the clear colour.
            EXPECT_EQ(image.Lit(corner[0], corner[1]), !blending);
            EXPECT_FALSE(glIsEnabled(GL_BLEND));
        }
    }
}

}  // namespace
