#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

// A fresh folder under the temporary folder, removed with everything in it at the end of the test.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "duzplatform-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            mPath = pattern;
    }
    ~ScratchFolder()
    {
        if (!mPath.empty()) {
            std::error_code error;
            std::filesystem::remove_all(mPath, error);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool IsValid() const { return !mPath.empty(); }
    const std::string& Path() const { return mPath; }
    std::string operator/(const std::string& name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};
