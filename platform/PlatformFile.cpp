#include "platform/PlatformFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace duzplatform {

namespace {

// The open() flags for a standard-I/O mode text; false for a mode fopen
// would refuse too.
bool ModeFlags(const char* mode, int* flags)
{
    int access = 0;
    int extra = 0;
    switch (mode[0]) {
    case 'r': access = O_RDONLY; break;
    case 'w': access = O_WRONLY; extra = O_CREAT | O_TRUNC; break;
    case 'a': access = O_WRONLY; extra = O_CREAT | O_APPEND; break;
    default: return false;
    }
    for (const char* c = mode + 1; *c != '\0'; ++c) {
        if (*c == '+')
            access = O_RDWR;
        else if (*c == 'x')
            extra |= O_EXCL;
    }
    *flags = access | extra;
    return true;
}

}  // namespace

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
    int flags = 0;
    if (used == 0 || !ModeFlags(cleaned, &flags))
        return nullptr;

    // Paths come from files the SDK reads, so they may name a device, a FIFO,
    // a socket or a folder: reading one never ends (/dev/zero) or blocks in
    // open (a FIFO without a writer). Whatever reads opens regular files
    // only; the check before the open refuses most at once, the non-blocking
    // open and the check after it close the gap in between. A write-only
    // stream may go to a device (/dev/null); a FIFO without a reader then
    // fails at once instead of blocking.
    const bool reads = (flags & O_ACCMODE) != O_WRONLY;
    struct stat before {};
    if (stat(utf8Path, &before) == 0 && !S_ISREG(before.st_mode) && (reads || S_ISDIR(before.st_mode))) {
        errno = S_ISDIR(before.st_mode) ? EISDIR : EINVAL;
        return nullptr;
    }
    const int fd = open(utf8Path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat after {};
    if (fstat(fd, &after) != 0 || (reads && !S_ISREG(after.st_mode)) || S_ISDIR(after.st_mode)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    // The stream gets the usual blocking descriptor.
    const int status = fcntl(fd, F_GETFL);
    if (status == -1 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1) {
        close(fd);
        return nullptr;
    }
    FILE* stream = fdopen(fd, cleaned);
    if (stream == nullptr)
        close(fd);
    return stream;
}

bool ReadWholeFile(const char* utf8Path, std::string* bytes)
{
    if (bytes == nullptr)
        return false;
    bytes->clear();
    FILE* stream = OpenFile(utf8Path, "rb");
    if (stream == nullptr)
        return false;
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), stream)) > 0)
        bytes->append(buffer, got);
    const bool complete = std::ferror(stream) == 0;
    std::fclose(stream);
    if (!complete)
        bytes->clear();
    return complete;
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
