#include "sdk/base/KSettingsFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "PathScratchFolder.h"
#include "platform/SystemInfo.h"

using namespace duzsdk;

namespace {

// Points the settings folder at a scratch folder for one test.
class KSettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.IsValid());
        saved_ = KSettingsFolder().Buffer();
        KSettingsFolder() = folder_.Path().c_str();
    }
    void TearDown() override { KSettingsFolder() = saved_.c_str(); }

    std::string Host() const
    {
        std::string name;
        return duzplatform::GetComputerName(&name) ? name : "?";
    }
    std::string ApplicationPath() const { return folder_ / (Host() + ".Application.txt"); }

    static void Write(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    PathScratchFolder folder_;
    std::string saved_;
};

}  // namespace

TEST_F(KSettingsFileTest, NamesFollowTheComputerRule)
{
    KSettingsFile perComputer("@Application.txt", false);
    EXPECT_STREQ(perComputer.GetPath().Buffer(), ApplicationPath().c_str());
    EXPECT_STREQ(perComputer.GetBackupPath().Buffer(), (folder_ / (Host() + ".backupfile.txt")).c_str());
    EXPECT_FALSE(perComputer.IsCached());

    KSettingsFile plain("plain.txt", false);
    EXPECT_STREQ(plain.GetPath().Buffer(), (folder_ / "plain.txt").c_str());
    EXPECT_STREQ(plain.GetBackupPath().Buffer(), (folder_ / "backupfile.txt").c_str());

    KSettingsFolder() = "";
    KSettingsFile atRoot("@Application.txt", false);
    EXPECT_STREQ(atRoot.GetPath().Buffer(), ("/" + Host() + ".Application.txt").c_str());
}

TEST_F(KSettingsFileTest, MissingFileGivesTheDefault)
{
    for (bool load : {false, true}) {
        SCOPED_TRACE(load ? "cache" : "scan");
        KSettingsFile settings("@Application.txt", load);
        EXPECT_EQ(settings.IsCached(), load);
        EXPECT_EQ(std::atoi(settings.GetValue("NumericField", "Decimal", "2")), 2);
        EXPECT_EQ(settings.GetValue("NumericField", "Decimal", nullptr), nullptr);
        EXPECT_STREQ(settings.GetValue(nullptr, "Decimal", "d"), "d");
    }
}

TEST_F(KSettingsFileTest, ScanAndCacheReadTheSameValues)
{
    const std::string longValue(5000, 'v');
    Write(ApplicationPath(),
          "Decimal = 9\r\n"                 // before any section: ignored
          "[NumericFieldOld]\r\n"
          "Decimal = 7\r\n"
          "[NumericField]   ; numbers\r\n"
          "DecimalSeparator = ,\r\n"
          "\t Decimal = 4 ; four\r\n"
          "Spaced Key  =  a b  \r\n"
          "NoEquals 5\r\n"
          "\r\n"
          "[numericfield]\r\n"               // named again: adds to the first
          "Extra=x\r\n"
          "Decimal = 8\r\n"
          "[Other]\n"
          "Decimal=5\n"
          "Empty =\n"
          "Long = " + longValue + "\n"
          "Twice = == 6");
    struct Lookup {
        const char* section;
        const char* key;
        std::string expected;
    };
    const Lookup lookups[] = {
        {"NumericField", "Decimal", "4"},
        {"numericFIELD", "DECIMAL", "4"},
        {"NumericField", "DecimalSeparator", ","},
        {"NumericField", "Dec", "<default>"},          // keys match whole
        {"NumericFie", "Decimal", "<default>"},        // and so do sections
        {"NumericFieldOld", "Decimal", "7"},
        {"NumericField", "Spaced Key", "a b"},
        {"NumericField", "NoEquals", "<default>"},
        {"NumericField", "Extra", "x"},
        {"Other", "Decimal", "5"},                     // the previous section ended
        {"Other", "Empty", ""},
        {"Other", "Long", longValue},
        {"Other", "Twice", "6"},
        {"Missing", "Decimal", "<default>"},
        {"", "Decimal", "<default>"},
    };
    KSettingsFile scan("@Application.txt", false);
    KSettingsFile cache("@Application.txt", true);
    for (const Lookup& lookup : lookups) {
        SCOPED_TRACE(std::string(lookup.section) + "/" + lookup.key);
        EXPECT_EQ(scan.GetValue(lookup.section, lookup.key, "<default>"), lookup.expected);
        EXPECT_EQ(cache.GetValue(lookup.section, lookup.key, "<default>"), lookup.expected);
    }
    EXPECT_EQ(scan.GetValue("Other", "Missing", nullptr), nullptr);
    EXPECT_EQ(cache.GetValue("Other", "Missing", nullptr), nullptr);

    // The last value can serve as the next default.
    const char* previous = scan.GetValue("Other", "Decimal", "0");
    EXPECT_STREQ(scan.GetValue("Other", "Missing", previous), "5");
}

TEST_F(KSettingsFileTest, SimpleForms)
{
    const char* files[] = {
        "[NumericField]\nDecimal = 4 ; four\n",
        "[numericfield]\nDecimal=4\n",
        "[NumericField]\r\nDecimal\t=\t4\r\n",
    };
    for (const char* text : files) {
        SCOPED_TRACE(text);
        Write(ApplicationPath(), text);
        KSettingsFile scan("@Application.txt", false);
        KSettingsFile cache("@Application.txt", true);
        EXPECT_STREQ(scan.GetValue("NumericField", "Decimal", "2"), "4");
        EXPECT_STREQ(cache.GetValue("NumericField", "Decimal", "2"), "4");
    }
}

TEST_F(KSettingsFileTest, SavingWritesSortedSectionsThroughTheBackup)
{
    const std::string path = folder_ / "plain.txt";
    const std::string backup = folder_ / "backupfile.txt";
    Write(path, "[b]\nz = 1\nA = 2\n[A]\nk = v ; note\n");
    const std::string expected = "[A]\nk = v\n\n[b]\nA = 2\nz = 1\n";

    // A settings file that does not exist is written directly.
    {
        KSettingsFile settings("plain.txt", true);
        std::filesystem::remove(path);
        EXPECT_TRUE(settings.SaveCache());
        EXPECT_EQ(Read(path), expected);
        EXPECT_FALSE(std::filesystem::exists(backup));
    }
    // An existing one is replaced by the backup, and the backup goes.
    {
        KSettingsFile settings("plain.txt", true);
        Write(path, "[old]\nx = 1\n");
        settings.SetDirty(true);   // saved by the destructor
    }
    EXPECT_EQ(Read(path), expected);
    EXPECT_FALSE(std::filesystem::exists(backup));

    // Not dirty: nothing written.
    {
        KSettingsFile settings("plain.txt", true);
        Write(path, "[kept]\n");
    }
    EXPECT_EQ(Read(path), "[kept]\n");

    KSettingsFile scanOnly("plain.txt", false);
    EXPECT_FALSE(scanOnly.SaveCache());

    // A backup that cannot be made leaves the file alone.
    std::filesystem::create_directory(backup);
    {
        KSettingsFile settings("plain.txt", true);
        Write(path, "[kept]\n");
        EXPECT_FALSE(settings.SaveCache());
    }
    EXPECT_EQ(Read(path), "[kept]\n");
}
