#include "sdk/base/KSettingsFile.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/PlatformFile.h"
#include "platform/SystemInfo.h"
#include "sdk/base/KMemory.h"
#include "sdk/base/KSortedStringMap.h"

namespace duzsdk {

namespace {

constexpr int kMapBlockSize = 20;

// Space, tab, line ends and other control characters surround names and values.
bool IsFiller(char c)
{
    return static_cast<unsigned char>(c) < '!';
}

std::string_view TrimEnd(std::string_view text)
{
    while (!text.empty() && IsFiller(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view TrimStart(std::string_view text)
{
    while (!text.empty() && IsFiller(text.front()))
        text.remove_prefix(1);
    return text;
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

bool SameName(std::string_view a, const char* b)
{
    return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

// One line of a settings file, of any length; false at the end of the file.
bool ReadLine(FILE* stream, std::string* line)
{
    line->clear();
    char chunk[512];
    while (std::fgets(chunk, sizeof chunk, stream) != nullptr) {
        line->append(chunk);
        if (!line->empty() && line->back() == '\n')
            return true;
    }
    return !line->empty();
}

struct ParsedLine {
    enum Kind { kNothing, kSection, kValue } kind = kNothing;
    std::string_view name;    // section or key
    std::string_view value;
};

// The one reading of a line that the scan and the cache share, so both answer alike.
ParsedLine ParseLine(std::string_view line)
{
    ParsedLine parsed;
    const size_t comment = line.find(';');
    if (comment != std::string_view::npos)
        line = line.substr(0, comment);

    const size_t open = line.find('[');
    const size_t close = open == std::string_view::npos ? open : line.find(']', open + 1);
    if (close != std::string_view::npos) {
        parsed.kind = ParsedLine::kSection;
        parsed.name = line.substr(open + 1, close - open - 1);
        return parsed;
    }

    // "key = value"; a line without "=" holds no value.
    line = TrimStart(line);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return parsed;
    parsed.name = TrimEnd(line.substr(0, equals));
    if (parsed.name.empty())
        return parsed;
    std::string_view value = line.substr(equals);
    while (!value.empty() && (IsFiller(value.front()) || value.front() == '='))
        value.remove_prefix(1);
    parsed.kind = ParsedLine::kValue;
    parsed.value = TrimEnd(value);
    return parsed;
}

FILE* OpenSettings(const KString& path, const char* mode)
{
    return duzplatform::OpenFile(duzplatform::ToNativePath(path.Buffer()).c_str(), mode);
}

char* CopyText(std::string_view text)
{
    char* copy = static_cast<char*>(KMemAlloc(text.size() + 1));
    if (copy != nullptr) {
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
    }
    return copy;
}

// KString lengths are int: a longer text gives an invalid string rather than a cut one.
KString MakeKString(std::string_view text)
{
    if (text.size() > static_cast<size_t>(INT_MAX))
        return KString(static_cast<const char*>(nullptr));
    return KString(text.data(), static_cast<int>(text.size()));
}

}  // namespace

KString& KSettingsFolder()
{
    static KString folder("");
    return folder;
}

KSettingsFile::KSettingsFile(const char* name, bool load)
{
    std::string stem = KSettingsFolder().Buffer();
    stem += '/';
    const std::string_view fileName = name != nullptr ? name : "";
    if (!fileName.empty() && fileName.front() == '@') {
        std::string computer;
        if (!duzplatform::GetComputerName(&computer))
            computer.assign(1, '?');
        stem.append(computer).append(".");
        path_ = MakeKString(std::string(stem).append(fileName.substr(1)));
    } else {
        path_ = MakeKString(std::string(stem).append(fileName));
    }
    backupPath_ = MakeKString(stem.append("backupfile.txt"));
    if (load)
        LoadCache();
}

KSettingsFile::~KSettingsFile()
{
    if (cache_ != nullptr && dirty_)
        SaveCache();
    FreeCache();
}

const char* KSettingsFile::GetValue(const char* section, const char* key, const char* defaultValue)
{
    if (section == nullptr || key == nullptr)
        return defaultValue;

    if (cache_ != nullptr) {
        auto* keys = static_cast<KSortedStringMap*>(cache_->Find(section));
        const char* value = keys != nullptr ? static_cast<const char*>(keys->Find(key)) : nullptr;
        return value != nullptr ? value : defaultValue;
    }

    if (defaultValue != nullptr) {
        const std::string copy = defaultValue;   // the default may be our own last value
        value_ = MakeKString(copy);
    }
    bool found = false;
    if (FILE* stream = OpenSettings(path_, "r")) {
        bool inSection = false;
        std::string line;
        while (!found && ReadLine(stream, &line)) {
            const ParsedLine parsed = ParseLine(line);
            if (parsed.kind == ParsedLine::kSection) {
                // The next section line ends the wanted one.
                inSection = SameName(parsed.name, section);
            } else if (parsed.kind == ParsedLine::kValue && inSection && SameName(parsed.name, key)) {
                value_ = MakeKString(parsed.value);
                found = true;
            }
        }
        std::fclose(stream);
    }
    return found || defaultValue != nullptr ? value_.Buffer() : nullptr;
}

bool KSettingsFile::LoadCache()
{
    FreeCache();
    cache_ = new KSortedStringMap(kMapBlockSize);
    FILE* stream = OpenSettings(path_, "r");
    if (stream == nullptr)
        return false;

    // Gathered first and inserted in sorted order, so that every insertion
    // lands at the end of its map and a large file loads in n log n.
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> values;
        std::unordered_set<std::string> keys;   // folded, for the first-wins rule
    };
    std::vector<Section> sections;
    std::unordered_map<std::string, size_t> sectionIndex;
    Section* current = nullptr;
    std::string line;
    while (ReadLine(stream, &line)) {
        const ParsedLine parsed = ParseLine(line);
        if (parsed.kind == ParsedLine::kSection) {
            // A section named twice adds to the first one.
            const auto found = sectionIndex.emplace(Fold(parsed.name), sections.size());
            if (found.second)
                sections.push_back(Section{std::string(parsed.name), {}, {}});
            current = &sections[found.first->second];
        } else if (parsed.kind == ParsedLine::kValue && current != nullptr) {
            // The first value of a key wins, as in a scan.
            if (current->keys.insert(Fold(parsed.name)).second)
                current->values.emplace_back(std::string(parsed.name), std::string(parsed.value));
        }
    }
    std::fclose(stream);

    const auto byName = [](const std::string& a, const std::string& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    };
    std::sort(sections.begin(), sections.end(),
              [&byName](const Section& a, const Section& b) { return byName(a.name, b.name); });
    for (Section& section : sections) {
        auto* keys = new KSortedStringMap(kMapBlockSize);
        if (cache_->Insert(section.name.c_str(), keys) < 0) {
            delete keys;
            continue;
        }
        std::sort(section.values.begin(), section.values.end(),
                  [&byName](const auto& a, const auto& b) { return byName(a.first, b.first); });
        for (const auto& [key, text] : section.values) {
            char* value = CopyText(text);
            if (value != nullptr && keys->Insert(key.c_str(), value) < 0)
                KMemFree(value);
        }
    }
    return true;
}

void KSettingsFile::FreeCache()
{
    if (cache_ == nullptr)
        return;
    for (int i = 0; i < cache_->Count(); ++i) {
        auto* keys = static_cast<KSortedStringMap*>(cache_->GetAt(i));
        if (keys == nullptr)
            continue;
        for (int j = 0; j < keys->Count(); ++j)
            KMemFree(keys->GetAt(j));
        delete keys;
    }
    delete cache_;
    cache_ = nullptr;
}

bool KSettingsFile::SaveCache()
{
    if (cache_ == nullptr)
        return false;

    bool exists = false;
    if (FILE* probe = OpenSettings(path_, "r")) {
        exists = true;
        std::fclose(probe);
    }
    // An existing file is replaced only once its successor is complete.
    const KString& target = exists ? backupPath_ : path_;
    FILE* out = OpenSettings(target, "w");
    if (out == nullptr)
        return false;

    cache_->SortIfDirty();
    bool ok = true;
    for (int i = 0; i < cache_->Count(); ++i) {
        const char* section = nullptr;
        auto* keys = static_cast<KSortedStringMap*>(cache_->GetAt(i, &section));
        if (keys == nullptr)
            continue;
        if (i > 0)
            ok = ok && std::fputs("\n", out) >= 0;
        ok = ok && std::fprintf(out, "[%s]\n", section) >= 0;
        keys->SortIfDirty();
        for (int j = 0; j < keys->Count(); ++j) {
            const char* key = nullptr;
            const char* value = static_cast<const char*>(keys->GetAt(j, &key));
            if (value != nullptr)
                ok = ok && std::fprintf(out, "%s = %s\n", key, value) >= 0;
        }
    }
    ok = std::fclose(out) == 0 && ok;

    if (!exists)
        return ok;
    const std::string backup = duzplatform::ToNativePath(backupPath_.Buffer());
    if (!ok) {
        std::remove(backup.c_str());   // our own half-written copy
        return false;
    }
    // rename replaces the old file in one step, so no reader sees it missing.
    return std::rename(backup.c_str(), duzplatform::ToNativePath(path_.Buffer()).c_str()) == 0;
}

}  // namespace duzsdk
