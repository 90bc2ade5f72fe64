#pragma once
// Shared fixture of the 3DS toolkit tests: a clean toolkit state and a scratch
// folder per test.
#include "sdk/formats/3dsftk/FtkError.h"
#include "sdk/formats/3dsftk/FtkFile.h"

#include <gtest/gtest.h>

using namespace duzsdk;

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Little-endian bytes of chunks, built in the test.
namespace ftkbytes {
using Bytes = std::vector<unsigned char>;
inline Bytes Le16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
inline Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
inline Bytes F32(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return Le32(bits);
}
inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
inline Bytes Str(const char* s) { return Bytes(s, s + std::strlen(s) + 1); }
// Header (a given length replaces the true one), then the body.
inline Bytes Chunk(uint16_t tag, const Bytes& body, int64_t length = -1)
{
    return Cat({Le16(tag), Le32(length >= 0 ? uint32_t(length) : uint32_t(body.size() + 6)), body});
}
} // namespace ftkbytes

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
