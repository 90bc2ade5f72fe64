#include "game/GameUtil.h"

#include "platform/IniFile.h"
#include "platform/PlatformFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <strings.h>
#include <system_error>

void GameLog(const char* format, ...) {
    static const bool enabled = std::getenv("DUZ_GAME_LOG") != nullptr;
    if (!enabled || format == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

std::string ReadSettings(const std::string& section, const std::string& key, const std::string& file) {
    return duzplatform::ReadIniString(NativePath(file), section, key, "<err>");
}

bool ReadTextFile(const std::string& path, std::string& text) {
    text.clear();
    if (path.empty()) return false;
    // Through the platform layer: a path from the settings may name a device
    // or a FIFO, which would never end or block in the open.
    std::string raw;
    if (!duzplatform::ReadWholeFile(NativePath(path).c_str(), &raw) || raw.empty()) return false;
    text.reserve(raw.size());
    for (char c : raw)
        if (c != '\r') text.push_back(c);
    return true;
}

std::string NativePath(const std::string& path) {
    std::string out = path;
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::string StripExtension(const std::string& name) {
    return name.size() < 4 ? std::string() : name.substr(0, name.size() - 4);
}

std::vector<std::string> ListFiles(const std::string& directory) {
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator it(NativePath(directory), error);
    if (error) return names;
    for (const auto& entry : it) {
        std::error_code typeError;
        if (!entry.is_regular_file(typeError)) continue;
        std::string name = entry.path().filename().string();
        if (name.empty() || name == "." || name == "..") continue;
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        int c = strcasecmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

std::string CurrentDirectory() {
    std::error_code error;
    std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string() : current.string();
}
