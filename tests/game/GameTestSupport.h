#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

// A fresh directory below the system's temporary folder, removed afterwards.
class GameTempDir {
public:
    GameTempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "duzgame-XXXXXX").string();
        mPath = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~GameTempDir() {
        std::error_code error;
        if (!mPath.empty()) std::filesystem::remove_all(mPath, error);
    }
    const std::string& Path() const { return mPath; }
    // Writes the file (making its folders) and returns its full path.
    std::string Write(const std::string& relative, const std::string& content) const {
        std::filesystem::path full = std::filesystem::path(mPath) / relative;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << content;
        return full.string();
    }

private:
    std::string mPath;
};
