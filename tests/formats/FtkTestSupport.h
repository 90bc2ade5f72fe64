#pragma once
// Shared fixture of the 3DS toolkit tests: a clean toolkit state and a scratch
// folder per test.
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"

#include <gtest/gtest.h>

using namespace duzsdk;

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class FtkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FtkReset();
        char pattern[] = "/tmp/ftktestXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        FtkReset();
        std::filesystem::remove_all(dir);
    }
    std::string Path(const char* name) const { return dir + "/" + name; }
    static void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes)
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static std::vector<unsigned char> ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Opens the file for reading and makes it current.
    FtkFile* OpenForRead(const std::string& path)
    {
        FtkFile* f = FtkFileOpen(path.c_str(), "rb");
        if (f)
            FtkSetCurrentFile(f);
        return f;
    }
    std::string dir;
};
