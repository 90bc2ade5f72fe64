#include "platform/PlatformFile.h"

#include <sys/types.h>
#include <unistd.h>

#include <cstring>

namespace duzplatform {

FILE* OpenFile(const char* utf8Path, const char* mode)
{
    if (utf8Path == nullptr || utf8Path[0] == '\0' || mode == nullptr || mode[0] == '\0')
        return nullptr;

    // Keep every letter but "t"; the mode texts are a handful of characters.
    char cleaned[16];
    size_t used = 0;
    for (const char* c = mode; *c != '\0'; ++c) {
        if (*c == 't')
            continue;
        if (used + 1 >= sizeof(cleaned))
            return nullptr;
        cleaned[used++] = *c;
    }
    cleaned[used] = '\0';
    if (used == 0)
        return nullptr;
    return std::fopen(utf8Path, cleaned);
}

int RemoveFile(const char* utf8Path)
{
    if (utf8Path == nullptr || utf8Path[0] == '\0')
        return -1;
    return std::remove(utf8Path) == 0 ? 0 : -1;
}

int TruncateFile(FILE* stream, int64_t length)
{
    if (stream == nullptr || length < 0)
        return -1;
    if (std::fflush(stream) != 0)
        return -1;
    const int fd = fileno(stream);
    if (fd < 0)
        return -1;
    return ftruncate(fd, static_cast<off_t>(length)) == 0 ? 0 : -1;
}

int SeekFile(FILE* stream, int64_t offset, int origin)
{
    if (stream == nullptr)
        return -1;
    return fseeko(stream, static_cast<off_t>(offset), origin) == 0 ? 0 : -1;
}

int64_t TellFile(FILE* stream)
{
    if (stream == nullptr)
        return -1;
    return static_cast<int64_t>(ftello(stream));
}

}  // namespace duzplatform
