#include "platform/IniFile.h"

#include "platform/PlatformFile.h"

namespace duzplatform {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

std::string Fold(std::string_view text)
{
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2) {
        const char first = value.front();
        if ((first == '"' || first == '\'') && value.back() == first)
            return value.substr(1, value.size() - 2);
    }
    return value;
}

} // namespace

bool IniFile::Load(const std::string& path)
{
    Clear();
    // Settings name further files (levels, models); only regular files are
    // read, so a device or FIFO under a settings name cannot stall the game.
    std::string text;
    if (!ReadWholeFile(path.c_str(), &text))
        return false;
    Parse(text);
    return true;
}

void IniFile::Clear()
{
    mSections.clear();
    mSectionIndex.clear();
}

void IniFile::Parse(std::string_view text)
{
    Clear();
    // A UTF-8 byte-order mark written by some editors is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    Section* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;

        if (line.empty() || line.front() == ';')
            continue;

        if (line.front() == '[') {
            const size_t close = line.find(']');
            const std::string_view name =
                Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            const std::string folded = Fold(name);
            auto found = mSectionIndex.find(folded);
            if (found == mSectionIndex.end()) {
                found = mSectionIndex.emplace(folded, mSections.size()).first;
                mSections.push_back(Section{std::string(name), {}, {}});
            }
            current = &mSections[found->second];
            continue;
        }

        if (current == nullptr)
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = Trim(line.substr(0, equals));
        const std::string_view value = Unquote(Trim(line.substr(equals + 1)));
        const std::string folded = Fold(key);
        if (current->keyIndex.count(folded) != 0)
            continue;
        current->keyIndex.emplace(folded, current->entries.size());
        current->entries.emplace_back(std::string(key), std::string(value));
    }
}

const IniFile::Section* IniFile::FindSection(std::string_view section) const
{
    const auto found = mSectionIndex.find(Fold(Trim(section)));
    return found == mSectionIndex.end() ? nullptr : &mSections[found->second];
}

const std::string* IniFile::FindValue(std::string_view section, std::string_view key) const
{
    const Section* found = FindSection(section);
    if (found == nullptr)
        return nullptr;
    const auto entry = found->keyIndex.find(Fold(Trim(key)));
    return entry == found->keyIndex.end() ? nullptr : &found->entries[entry->second].second;
}

bool IniFile::HasSection(std::string_view section) const
{
    return FindSection(section) != nullptr;
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const
{
    return FindValue(section, key) != nullptr;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const
{
    const std::string* value = FindValue(section, key);
    return value != nullptr ? *value : std::string(defaultValue);
}

std::vector<std::string> IniFile::GetSectionNames() const
{
    std::vector<std::string> names;
    names.reserve(mSections.size());
    for (const Section& section : mSections)
        names.push_back(section.name);
    return names;
}

std::vector<std::string> IniFile::GetKeyNames(std::string_view section) const
{
    std::vector<std::string> names;
    if (const Section* found = FindSection(section)) {
        names.reserve(found->entries.size());
        for (const auto& entry : found->entries)
            names.push_back(entry.first);
    }
    return names;
}

std::string ReadIniString(const std::string& path, std::string_view section,
                          std::string_view key, std::string_view defaultValue)
{
    IniFile file;
    if (!file.Load(path))
        return std::string(defaultValue);
    return file.GetString(section, key, defaultValue);
}

} // namespace duzplatform
