#pragma once
// Writing a section of field-file content to memory and opening it again,
// for the curve and curve-node storage tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "sdk/base/KMemory.h"
#include "sdk/io/KDuz.h"

namespace curvetest {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::int64_t kSecond = 46186158000LL;

inline const char* EncodingName(bool binary) { return binary ? "binary" : "ascii"; }

// The bytes of a file whose main section is what `body` writes.
inline Bytes WriteFile(bool binary, const std::function<void(duzsdk::KDuz&)>& body, int version = 6100)
{
    duzsdk::KDuz duz;
    duzsdk::KDuzFileHeaderInfo info;
    info.fileVersion = version;
    EXPECT_TRUE(duz.ProjectCreate(nullptr, 0, binary, false, &info));
    body(duz);
    EXPECT_FALSE(duz.GetError().HasError()) << duz.GetLastErrorString();
    void* data = nullptr;
    size_t size = 0;
    duz.ProjectClose(&data, &size);
    Bytes bytes(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
    duzsdk::KMemFree(data);
    return bytes;
}

// Opens the bytes with the main section current.
inline bool OpenFile(duzsdk::KDuz& duz, const Bytes& bytes)
{
    return duz.ProjectOpenMemory(bytes.data(), bytes.size(), false, true);
}

// An ASCII file of the given main-section text.
inline Bytes AsciiFile(const std::string& body, int version = 6100)
{
    const std::string header = "; DUZ " + std::to_string(version / 1000) + "." + std::to_string(version % 1000 / 100) +
                               "." + std::to_string(version % 100) + " project file\n";
    const std::string text = header + body;
    return Bytes(text.begin(), text.end());
}

}  // namespace curvetest
