#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace duzplatform {

// A settings file of "[section]" lines and "key = value" lines, read the way
// the Windows profile reader reads it:
// - section and key names compare without regard to ASCII case and must match whole;
// - names and values are trimmed of surrounding blanks, and a value wrapped in one
//   pair of matching quotes loses them;
// - a line whose first non-blank character is ";" is a comment;
// - lines end in LF or CR LF; keys before the first section and lines without "=" are ignored;
// - when a section or key appears twice, the first key wins;
// - a missing file, section or key gives the caller's default.
class IniFile {
public:
    IniFile() = default;

    // Replaces the contents with those of the file; false (and empty) when it cannot be read.
    bool Load(const std::string& path);
    // Replaces the contents with the parsed text.
    void Parse(std::string_view text);
    void Clear();

    bool HasSection(std::string_view section) const;
    bool HasKey(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;

    // Names in the order they first appear in the file.
    std::vector<std::string> GetSectionNames() const;
    std::vector<std::string> GetKeyNames(std::string_view section) const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;   // key, value
        std::unordered_map<std::string, size_t> keyIndex;            // folded key -> entry
    };

    const Section* FindSection(std::string_view section) const;
    const std::string* FindValue(std::string_view section, std::string_view key) const;

    std::vector<Section> mSections;
    std::unordered_map<std::string, size_t> mSectionIndex;   // folded name -> section
};

// One lookup in one file, as GetPrivateProfileString does it: reads the file each call.
std::string ReadIniString(const std::string& path, std::string_view section,
                          std::string_view key, std::string_view defaultValue);

} // namespace duzplatform
