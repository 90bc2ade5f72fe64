#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace duzsdk::test {

// An empty file made with mkstemp under the temporary folder, removed at the
// end of the test.
class TempFile {
public:
    TempFile()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "duzfile-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd >= 0) {
            ::close(fd);
            path_ = pattern;
        }
    }
    ~TempFile()
    {
        if (!path_.empty())
            std::remove(path_.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool IsValid() const { return !path_.empty(); }
    const char* Path() const { return path_.c_str(); }

    std::string Contents() const
    {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void SetContents(const std::string& bytes) const
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::string path_;
};

}  // namespace duzsdk::test
