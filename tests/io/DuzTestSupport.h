#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "sdk/io/KDuz.h"

namespace duztest {

using Bytes = std::vector<uint8_t>;

// A fresh folder per test, removed afterwards.
class TempFolder {
public:
    TempFolder()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("duz_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline Bytes ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void WriteText(const std::string& path, const std::string& text)
{
    WriteFile(path, Bytes(text.begin(), text.end()));
}

inline uint32_t Get32(const Bytes& b, size_t at, bool bigEndian = false)
{
    if (bigEndian)
        return (uint32_t(b[at]) << 24) | (uint32_t(b[at + 1]) << 16) | (uint32_t(b[at + 2]) << 8) | b[at + 3];
    return b[at] | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}

// Builds binary field files byte by byte, independently of the writer.
class ByteBuilder {
public:
    explicit ByteBuilder(bool bigEndian = false) : bigEndian_(bigEndian) {}

    ByteBuilder& U8(uint8_t v)
    {
        bytes.push_back(v);
        return *this;
    }
    ByteBuilder& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * (bigEndian_ ? 3 - i : i))));
        return *this;
    }
    ByteBuilder& U64(uint64_t v)
    {
        for (int i = 0; i < 8; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * (bigEndian_ ? 7 - i : i))));
        return *this;
    }
    ByteBuilder& Text(const std::string& s)
    {
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    ByteBuilder& Header(uint32_t version)
    {
        Text("Dizidir DUZ Binary  ");
        U8(0);
        U8(0x1A);
        U8(bigEndian_ ? 1 : 0);
        return U32(version);
    }
    ByteBuilder& Null() { return Zeros(13); }
    ByteBuilder& Zeros(size_t n)
    {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }

    // Values of one record.
    struct Values {
        bool bigEndian = false;
        Bytes bytes;
        uint32_t count = 0;
        Values& I(int32_t v) { return Word('I', static_cast<uint32_t>(v)); }
        Values& F(float v)
        {
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            return Word('F', bits);
        }
        Values& D(double v)
        {
            uint64_t bits;
            std::memcpy(&bits, &v, 8);
            return Long('D', bits);
        }
        Values& L(int64_t v) { return Long('L', static_cast<uint64_t>(v)); }
        Values& C(char c)
        {
            bytes.push_back('C');
            bytes.push_back(static_cast<uint8_t>(c));
            ++count;
            return *this;
        }
        Values& S(const std::string& s, char type = 'S')
        {
            Word(type, static_cast<uint32_t>(s.size()));
            bytes.insert(bytes.end(), s.begin(), s.end());
            return *this;
        }
        Values& R(const Bytes& raw)
        {
            Word('R', static_cast<uint32_t>(raw.size()));
            bytes.insert(bytes.end(), raw.begin(), raw.end());
            return *this;
        }
        Values& Word(char type, uint32_t w)
        {
            bytes.push_back(static_cast<uint8_t>(type));
            for (int i = 0; i < 4; ++i)
                bytes.push_back(static_cast<uint8_t>(w >> (8 * (bigEndian ? 3 - i : i))));
            ++count;
            return *this;
        }
        Values& Long(char type, uint64_t w)
        {
            bytes.push_back(static_cast<uint8_t>(type));
            for (int i = 0; i < 8; ++i)
                bytes.push_back(static_cast<uint8_t>(w >> (8 * (bigEndian ? 7 - i : i))));
            ++count;
            return *this;
        }
    };
    Values V() const { return Values{bigEndian_, {}, 0}; }

    // One record; `children` appends the nested records and the block's null
    // record. The end offset is absolute, as in the file.
    ByteBuilder& Record(const std::string& name, const Values& values, const std::function<void()>& children = {})
    {
        const size_t start = bytes.size();
        Zeros(12);
        U8(static_cast<uint8_t>(name.size()));
        Text(name);
        bytes.insert(bytes.end(), values.bytes.begin(), values.bytes.end());
        if (children)
            children();
        Patch(start, static_cast<uint32_t>(bytes.size()));
        Patch(start + 4, values.count);
        Patch(start + 8, static_cast<uint32_t>(values.bytes.size()));
        return *this;
    }
    void Patch(size_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<uint8_t>(v >> (8 * (bigEndian_ ? 3 - i : i)));
    }

    Bytes bytes;

private:
    bool bigEndian_;
};

inline duzplatform::LocalDateTime FixedTime()
{
    duzplatform::LocalDateTime t;
    t.year = 2007;
    t.month = 3;
    t.day = 5;
    t.hour = 14;
    t.minute = 7;
    t.second = 9;
    t.millisecond = 123;
    return t;
}

}  // namespace duztest
