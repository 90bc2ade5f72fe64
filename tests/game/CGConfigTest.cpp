#include "game/CGConfig.h"
#include "game/GameUtil.h"

#include "GameTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const char* kConfig =
    "[level1]\npath=\\one\n[level2]\npath=\\two\n"
    "[geo]\nstat_path=\\static\\\ndyn_path=\\dynamic\\\n"
    "[texture]\ntex_path=\\tex\\\n[help]\nhelppath=\\help.txt\n[menue]\nmenuepath=\\m\\menue.duz\n"
    "[shader]\nvertexshader=\\s\\a.vert\nfragmentshader=\\s\\a.frag\n"
    "[shader2]\nvertexshader=\\s\\b.vert\nfragmentshader=\\s\\b.frag\n"
    "[view]\nresolution=1280x1024:32\n";

TEST(CGConfig, ReadsTheLevelsSettingsJoinedWithoutSeparators) {
    GameTempDir dir;
    dir.Write("config.ini", kConfig);
    CGConfig one;
    one.Read(dir.Path(), "1");
    EXPECT_EQ(one.staticDirectory, dir.Path() + "\\one\\static\\");
    EXPECT_EQ(one.dynamicDirectory, dir.Path() + "\\one\\dynamic\\");
    EXPECT_EQ(one.textureDirectory, dir.Path() + "\\one\\tex\\");
    EXPECT_EQ(one.helpFile, dir.Path() + "\\help.txt");
    EXPECT_EQ(one.menuModel, dir.Path() + "\\m\\menue.duz");
    EXPECT_EQ(one.vertexShader1, dir.Path() + "\\s\\a.vert");
    EXPECT_EQ(one.fragmentShader2, dir.Path() + "\\s\\b.frag");
    EXPECT_EQ(one.screenWidth, 1280);
    EXPECT_EQ(one.screenHeight, 1024);
    EXPECT_TRUE(one.goal.Contains(-15, 12, -88));
    EXPECT_EQ(NativePath(one.staticDirectory), dir.Path() + "/one/static/");

    // Any level other than "1" reads [level2] and has the second goal box.
    CGConfig two;
    two.Read(dir.Path(), "7");
    EXPECT_EQ(two.staticDirectory, dir.Path() + "\\two\\static\\");
    EXPECT_FALSE(two.goal.Contains(-15, 12, -88));
    EXPECT_TRUE(two.goal.Contains(9, 1.5f, -189));
}

TEST(CGConfig, MissingKeysReadAsErr) {
    GameTempDir dir;
    dir.Write("config.ini", "");
    CGConfig config;
    config.Read(dir.Path(), "1");
    EXPECT_EQ(config.levelPath, "<err>");
    EXPECT_EQ(config.staticDirectory, dir.Path() + "<err><err>");
    EXPECT_EQ(config.resolution, "<err>");
    EXPECT_EQ(config.screenWidth, 0);
    EXPECT_EQ(config.screenHeight, 0);
}

TEST(CGConfig, ResolutionTexts) {
    struct Case {
        const char* text;
        int width, height;
    } cases[] = {
        {"1024x768:32", 1024, 768}, {"640x480", 640, 480}, {"800", 800, 800},
        {"800:16", 800, 800},       {"<err>", 0, 0},      {"x600", 0, 600},
    };
    for (const Case& c : cases) {
        int w = -1, h = -1;
        CGConfig::ParseResolution(c.text, w, h);
        EXPECT_EQ(w, c.width) << c.text;
        EXPECT_EQ(h, c.height) << c.text;
    }
}

TEST(CGConfig, GoalBoundsAreStrict) {
    CGGoalBox box{-11, 14, -87, -19, 10, -89};
    EXPECT_TRUE(box.Contains(-15, 12, -88));
    EXPECT_FALSE(box.Contains(-11, 12, -88));
    EXPECT_FALSE(box.Contains(-15, 10, -88));
    EXPECT_FALSE(box.Contains(-15, 12, -89));
}

TEST(GameUtil, TextFilesAndListings) {
    GameTempDir dir;
    std::string text;
    EXPECT_FALSE(ReadTextFile("", text));
    EXPECT_FALSE(ReadTextFile(dir.Path() + "/missing.txt", text));
    EXPECT_FALSE(ReadTextFile(dir.Write("empty.txt", ""), text));
    ASSERT_TRUE(ReadTextFile(dir.Write("crlf.txt", "a;\r\nb;"), text));
    EXPECT_EQ(text, "a;\nb;");
    // Refused at once: a FIFO without a writer would block the open, a
    // device never ends.
    const std::string fifo = dir.Path() + "/help.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir.Path()}) {
        EXPECT_FALSE(ReadTextFile(path, text)) << path;
        EXPECT_TRUE(text.empty()) << path;
    }

    dir.Write("list/b.duz", "x");
    dir.Write("list/A.duz", "x");
    dir.Write("list/sub/c.duz", "x");
    std::vector<std::string> names = ListFiles(dir.Path() + "\\list\\");
    // Directories are skipped; names sort without regard to case.
    EXPECT_EQ(names, (std::vector<std::string>{"A.duz", "b.duz"}));
    EXPECT_TRUE(ListFiles(dir.Path() + "/nowhere").empty());
    EXPECT_EQ(StripExtension("sky1.duz"), "sky1");
    EXPECT_EQ(StripExtension("abc"), "");
}

}  // namespace
