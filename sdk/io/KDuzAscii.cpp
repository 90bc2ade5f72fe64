#include <cstdio>
#include <cstring>
#include <strings.h>

#include "sdk/base/KChainedFile.h"
#include "sdk/io/KDuz.h"

namespace duzsdk {

namespace {

// Versions that the old product's headers stand for, by major.minor.
struct OldProductVersion {
    int major;
    int minor;
    int version;
};
constexpr OldProductVersion kOldProductVersions[] = {
    {1, 5, 1000}, {2, 7, 2001}, {3, 0, 3000}, {4, 0, 4000}, {4, 1, 4001}, {4, 5, 4050},
};

}  // namespace

bool KDuz::ReadAsciiHeader()
{
    if (!IsOpen())
        return false;
    const int64_t saved = stream_->Tell();
    char line[65] = {};
    const size_t got = stream_->Read(line, 64);
    stream_->SeekFromStart(saved);
    line[got] = '\0';
    line[std::strcspn(line, "\r\n")] = '\0';

    char semicolon = 0, dot1 = 0, dot2 = 0;
    char product[64] = {}, word1[64] = {}, word2[64] = {};
    int major = 0, minor = 0, revision = 0;
    bool shortForm = false;
    if (std::sscanf(line, "%c %63s %d%c%d%c%d %63s %63s", &semicolon, product, &major, &dot1, &minor, &dot2,
                    &revision, word1, word2) != 9) {
        revision = 0;
        dot2 = '.';
        shortForm = true;
        if (std::sscanf(line, "%c %63s %d%c%d %63s %63s", &semicolon, product, &major, &dot1, &minor, word1,
                        word2) < 7)
            return false;
    }
    if (semicolon != ';' || dot1 != '.' || dot2 != '.' || strcasecmp(word1, "project") != 0 ||
        strcasecmp(word2, "file") != 0)
        return false;
    if (major < 0 || major > 2000000 || minor < 0 || revision < 0)
        return false;
    int version = major * 1000 + (minor % 10) * 100 + (revision % 100);
    if (shortForm && std::strcmp(product, "Dizistudio") == 0) {
        for (const OldProductVersion& row : kOldProductVersions) {
            if (row.major == major && row.minor == minor)
                version = row.version;
        }
    }
    fileVersion_ = version;
    return true;
}

}  // namespace duzsdk
