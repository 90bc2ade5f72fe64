#include "sdk/base/KPath.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "PathScratchFolder.h"

using namespace duzsdk;

namespace {

struct TextCase {
    const char* input;
    const char* expected;
};

struct PairCase {
    const char* first;
    const char* second;
    const char* expected;
};

std::string Str(const KString& text)
{
    return text.Buffer();
}

}  // namespace

TEST(KPath, CleanGivesTheNormalForm)
{
    const TextCase cases[] = {
        {"a/./b/../c", "a/c"},
        {"..\\x", "../x"},
        {"../../a/..", "../.."},
        {"C:/a/../b/", "C:/b"},
        {"C:\\a\\.\\b", "C:/a/b"},
        {"C:/..", ""},              // would climb above the drive
        {"C:\\", "C:/"},
        {"c:", "c:/"},
        {"/home//user/./x/", "/home/user/x"},
        {"/", "/"},
        {"/..", ""},
        {"\\x\\y", "/x/y"},
        {"\\\\server\\share\\f.txt", "//server/share/f.txt"},
        {"//server/share/../..", "//"},
        {"", ""},
        {".", ""},
        {"./", ""},
        {"a/b:c", "a/b:c"},         // a colon inside a Linux name is no drive
        {"dir.x\\file", "dir.x/file"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(Str(KPathClean(c.input)), c.expected);
    }
    EXPECT_EQ(Str(KPathClean(static_cast<const char*>(nullptr))), "");
    EXPECT_EQ(KPathCleanWide(L"a\\.\\b\\..\\c"), L"a/c");
    EXPECT_EQ(KPathCleanWide(L"\\\\srv\\s\\"), L"//srv/s");
    EXPECT_EQ(KPathCleanWide(nullptr), L"");
    EXPECT_EQ(KPathCleanWide(L"/"), L"/");
}

TEST(KPath, NameParts)
{
    EXPECT_EQ(Str(KPathGetFileName("C:/a/b.c.txt", false)), "b.c");
    EXPECT_EQ(Str(KPathGetFileName("C:/a/b.c.txt", true)), "b.c.txt");
    EXPECT_EQ(Str(KPathGetFileName("a\\b/c\\d.e", false)), "d");
    EXPECT_EQ(Str(KPathGetFileName("noext", false)), "noext");
    EXPECT_EQ(Str(KPathGetFileName("dir/", true)), "");

    const TextCase extensions[] = {
        {"dir.x/file", ""}, {"a.b\\c", ""}, {"a/b.DUZ", "DUZ"}, {"x.", ""}, {"x.tar.gz", "gz"}, {"", ""},
    };
    for (const TextCase& c : extensions) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(Str(KPathGetExtension(c.input)), c.expected);
    }
    EXPECT_TRUE(KPathIsDuzFile("a/b.DUZ"));
    EXPECT_FALSE(KPathIsDuzFile("a.duz/b"));
    EXPECT_TRUE(KPathHasExtension(KString("x.Tif"), "TIF"));
    EXPECT_FALSE(KPathHasExtension("x.tiff", "tif"));

    const PairCase replacements[] = {
        {"a/b.duz", ".fbd", "a/b.fbd"},
        {"a.d/b", ".x", "a.d/b.x"},
        {"a.d\\b.c", "", "a.d\\b"},
        {"b.duz", "_1.duz", "b_1.duz"},
    };
    for (const PairCase& c : replacements) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(Str(KPathReplaceExtension(c.first, c.second)), c.expected);
    }

    const PairCase folders[] = {
        // path, stripped, directory
        {"a/b/c.txt", "a/b", "a/b"},
        {"a\\b\\c", "a\\b", "a\\b"},
        {"a\\b/c\\d", "a\\b/c", "a\\b/c"},   // the later separator counts, whichever it is
        {"c.txt", "c.txt", ""},
        {"/c.txt", "", ""},
    };
    for (const PairCase& c : folders) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(Str(KPathStripFileName(c.first)), c.second);
        EXPECT_EQ(Str(KPathGetDirectory(c.first)), c.expected);
    }
}

TEST(KPath, PrefixesAndRelativeForms)
{
    const TextCase prefixes[] = {
        {"c:/x", "C:"},
        {"\\\\srv\\share\\dir\\file", "//SRV/SHARE"},
        {"//srv/share", "//SRV/SHARE"},
        {"\\\\srv", ""},
        {"/home/x", ""},
        {"x/y", ""},
    };
    for (const TextCase& c : prefixes) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(Str(KPathGetDrivePrefix(c.input)), c.expected);
    }

    struct RelativeCase {
        const char* path;
        bool relative;
    };
    const RelativeCase relatives[] = {
        {"a/b", true}, {"", true}, {"ab:c", true}, {"../x", true},
        {"C:/x", false}, {"c:x", false}, {"\\\\srv\\s", false}, {"/usr/x", false}, {"\\x", false},
    };
    for (const RelativeCase& c : relatives) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(KPathIsRelative(c.path), c.relative);
    }
    EXPECT_FALSE(KPathIsRelative(static_cast<const char*>(nullptr)));
}

TEST(KPath, Join)
{
    const PairCase cases[] = {
        {"a", "b", "a/b"},
        {"a/", "b", "a/b"},
        {"a\\", "..\\b", "b"},
        {"C:\\m", "f.png", "C:/m/f.png"},
        {"/x", "C:\\f", "C:/f"},            // an absolute file stands alone
        {"/x", "\\\\srv\\s\\f", "//srv/s/f"},
        {"/x", "/y/../z", "/z"},
        {"", "f", "f"},                     // an empty base does not make the file absolute
        {"", "../f", "../f"},
        {"/base", "", "/base"},
        {"/", "f", "/f"},
    };
    for (const PairCase& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " + " + c.second);
        EXPECT_EQ(Str(KPathJoin(c.first, c.second)), c.expected);
    }
}

TEST(KPath, RelativePaths)
{
    const PairCase cases[] = {
        {"C:/a/b/x.duz", "C:/A/c/f.duz", "../c/f.duz"},  // drive paths ignore case
        {"C:/a/b/x.duz", "D:/c/f.duz", "D:/c/f.duz"},
        {"c:\\a\\x.duz", "C:\\a\\f.duz", "f.duz"},
        {"/data/a/x.duz", "/data/a/t/f.png", "t/f.png"},
        {"/data/a/x", "/data/A/f", "../A/f"},            // Linux folders differ by case
        {"/d/a/b/c/x", "/d/f", "../../../f"},
        {"/d/a/", "/d/a/f", "f"},
        {"/d/a/", "/d/b/", "../b/"},
        {"//srv/sh/a/x", "\\\\SRV\\SH\\b\\f", "../b/f"},
        {"//srv/sh/a/x", "//other/sh/b/f", "//other/sh/b/f"},
        {"C:/a/x", "/a/f", "/a/f"},
    };
    for (const PairCase& c : cases) {
        SCOPED_TRACE(std::string(c.first) + " -> " + c.second);
        EXPECT_EQ(Str(KPathGetRelativePath(c.first, c.second)), c.expected);
    }
    // Relative paths are taken from the current folder.
    EXPECT_EQ(Str(KPathGetRelativePath("x.duz", "sub/f.png")), "sub/f.png");

    const PairCase files[] = {
        {"C:/a/b/", "C:/a/c/f.png", "../c/f.png"},
        {"/d/a/", "/d/a/f.png", "f.png"},
        {"/d/a/", "/d/a/t/f.png", "t/f.png"},
        {"C:/a/", "D:\\t\\f.png", "D:/t/f.png"},
    };
    for (const PairCase& c : files) {
        SCOPED_TRACE(std::string(c.first) + " -> " + c.second);
        EXPECT_EQ(Str(KPathGetRelativeFilePath(c.first, c.second)), c.expected);
    }
    const std::string current = Str(KPathGetCurrentDirectory());
    EXPECT_EQ(Str(KPathGetRelativeFilePath(current + "/", "f.png")), "f.png");
}

TEST(KPath, AbsoluteFormsUseTheCurrentFolder)
{
    const std::string current = Str(KPathGetCurrentDirectory());
    ASSERT_FALSE(current.empty());
    EXPECT_EQ(current.front(), '/');
    EXPECT_EQ(current, Str(KPathClean(std::filesystem::current_path().string())));

    EXPECT_EQ(Str(KPathMakeAbsolute("a/../b")), Str(KPathJoin(current, "b")));
    EXPECT_EQ(Str(KPathMakeAbsolute("")), current);
    EXPECT_EQ(Str(KPathMakeAbsolute("/x/./y")), "/x/y");
    EXPECT_EQ(Str(KPathMakeAbsolute("C:\\x\\..\\y")), "C:/y");
}

TEST(KPath, FilesAndFolders)
{
    PathScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string file = folder / "model.duz";
    std::ofstream(file) << "x";

    EXPECT_TRUE(KPathFileExists(file));
    EXPECT_TRUE(KPathFileExists(folder.Path() + "\\model.duz"));
    EXPECT_FALSE(KPathFileExists(folder.Path()));   // a folder is not a file
    EXPECT_FALSE(KPathFileExists(folder / "absent"));
    EXPECT_FALSE(KPathFileExists(""));
    EXPECT_FALSE(KPathFileExists(static_cast<const char*>(nullptr)));

    // The last part of the path is a file name unless the path ends in a separator.
    EXPECT_TRUE(KPathCreateDirectories(folder / "n1/n2/out.obj"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "n1/n2"));
    EXPECT_FALSE(std::filesystem::exists(folder / "n1/n2/out.obj"));
    EXPECT_TRUE(KPathCreateDirectories(folder.Path() + "\\n3\\n4\\"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "n3/n4"));
    EXPECT_TRUE(KPathCreateDirectories(folder / "n1/n2/other.obj"));   // already there
    EXPECT_FALSE(KPathCreateDirectories(folder / "model.duz/sub/x"));  // a file in the way
    EXPECT_FALSE(KPathCreateDirectories("C:/models/x.obj"));
    EXPECT_FALSE(KPathCreateDirectories(""));
}
