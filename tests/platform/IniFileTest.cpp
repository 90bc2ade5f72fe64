#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "ScratchFolder.h"

using duzplatform::IniFile;

namespace {

constexpr const char* kConfig =
    "; generated settings\r\n"
    "orphan = before any section\r\n"
    "[View]\r\n"
    "  resolution  =  800x600:32@60  \r\n"
    "Path = levels\\level1\\\r\n"
    "PathSuffix = wrong\r\n"
    "quoted = \"  spaced  \"\r\n"
    "half = \"open\r\n"
    "inline = 4 ; not a comment here\r\n"
    "empty =\r\n"
    "no separator line\r\n"
    "   ; indented comment = 1\r\n"
    "[ Level1 ]\n"
    "models = a\n"
    "models = b\n"
    "[ViewOld]\n"
    "resolution = old\n"
    "[view]\n"
    "extra = merged\n"
    "resolution = later";

struct Lookup {
    const char* section;
    const char* key;
    const char* expected;
};

} // namespace

TEST(IniFile, LookupsFollowTheProfileReaderRules)
{
    IniFile ini;
    ini.Parse(kConfig);
    const Lookup cases[] = {
        {"view", "RESOLUTION", "800x600:32@60"},   // case and blanks
        {"View", "path", "levels\\level1\\"},       // backslashes kept
        {"View", "Pat", "<err>"},                    // whole key, not a prefix
        {"View", "PathSuffix", "wrong"},
        {"View", "quoted", "  spaced  "},            // one pair of quotes removed
        {"View", "half", "\"open"},                  // unmatched quote stays
        {"View", "inline", "4 ; not a comment here"},
        {"View", "empty", ""},                       // present but empty: not the default
        {"View", "no separator line", "<err>"},
        {"View", "; indented comment", "<err>"},
        {"View", "extra", "merged"},                 // a repeated section adds its keys
        {"Level1", "models", "a"},                   // first key wins
        {"View", "orphan", "<err>"},
        {"", "orphan", "<err>"},                     // keys before any section are ignored
        {"Vie", "resolution", "<err>"},              // whole section name
        {"ViewOld", "resolution", "old"},
        {"missing", "resolution", "<err>"},
    };
    for (const Lookup& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.GetString(c.section, c.key, "<err>"), c.expected);
    }
    EXPECT_TRUE(ini.HasKey("VIEW", "empty"));
    EXPECT_FALSE(ini.HasKey("View", "orphan"));
    EXPECT_EQ(ini.GetSectionNames(), (std::vector<std::string>{"View", "Level1", "ViewOld"}));
    EXPECT_EQ(ini.GetKeyNames("level1"), (std::vector<std::string>{"models"}));
}

TEST(IniFile, LineEndsAndByteOrderMark)
{
    IniFile ini;
    ini.Parse("\xEF\xBB\xBF[a]\nk=1\r\n[b]\rk=2\n");
    EXPECT_EQ(ini.GetString("a", "k", "-"), "1");
    // A lone CR does not end a line, so "[b]\rk=2" is a section line.
    EXPECT_TRUE(ini.HasSection("b"));
    EXPECT_EQ(ini.GetString("b", "k", "-"), "-");
}

TEST(IniFile, FilesAndMissingFiles)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string path = folder / "config.ini";
    {
        std::ofstream out(path, std::ios::binary);
        out << "[level1]\nmodels = models\\level1\\\n";
    }
    EXPECT_EQ(duzplatform::ReadIniString(path, "Level1", "Models", "<err>"), "models\\level1\\");
    EXPECT_EQ(duzplatform::ReadIniString(path, "Level1", "Textures", "<err>"), "<err>");
    EXPECT_EQ(duzplatform::ReadIniString(folder / "absent.ini", "a", "b", "<err>"), "<err>");

    IniFile ini;
    EXPECT_FALSE(ini.Load(folder.Path()));   // a folder is not a settings file
    // Nor is a device or a FIFO: neither is read forever or waited on.
    ASSERT_EQ(mkfifo((folder / "fifo.ini").c_str(), 0600), 0);
    EXPECT_FALSE(ini.Load(folder / "fifo.ini"));
    EXPECT_FALSE(ini.Load("/dev/zero"));
    EXPECT_TRUE(ini.Load(path));
    EXPECT_FALSE(ini.Load(folder / "absent.ini"));
    EXPECT_FALSE(ini.HasSection("level1"));  // a failed load leaves nothing behind
}
