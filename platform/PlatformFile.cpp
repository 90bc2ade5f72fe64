#include "platform/PlatformFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

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

unsigned NewFileMode()
{
    // The kernel reports the umask without changing it; the set-and-restore
    // fallback is kept to one thread at a time.
    unsigned mask = 0;
    bool known = false;
    if (FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (!known && std::fgets(line, sizeof(line), status) != nullptr) {
            if (std::strncmp(line, "Umask:", 6) == 0) {
                mask = static_cast<unsigned>(std::strtoul(line + 6, nullptr, 8));
                known = true;
            }
        }
        std::fclose(status);
    }
    if (!known) {
        static std::mutex guard;
        std::lock_guard<std::mutex> lock(guard);
        const mode_t previous = umask(022);
        umask(previous);
        mask = previous;
    }
    return 0666u & ~mask;
}

bool IsReplaceableTarget(const char* utf8Path)
{
    if (utf8Path == nullptr || utf8Path[0] == '\0')
        return false;
    struct stat info {};
    if (stat(utf8Path, &info) == 0)
        return S_ISREG(info.st_mode);
    // A dangling link is replaced like a missing file; anything else that
    // cannot be looked at (no search right, say) fails later on its own.
    return true;
}

std::string CreateTemporaryBeside(const std::string& target, const char* suffix)
{
    const std::string tail = suffix != nullptr ? suffix : "";
    std::string pattern = target + ".XXXXXX" + tail;
    const int fd = mkostemps(pattern.data(), static_cast<int>(tail.size()), O_CLOEXEC);
    if (fd < 0)
        return std::string();
    close(fd);
    return pattern;
}

bool CommitTemporary(const std::string& temporary, const std::string& target, std::string* reason)
{
    auto fail = [reason](const char* text) {
        if (reason != nullptr)
            *reason = text;
        return false;
    };
    struct stat existing {};
    unsigned mode = 0;
    if (stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode))
            return fail(S_ISDIR(existing.st_mode) ? "The target is a folder" : "The target is not a regular file");
        mode = existing.st_mode & 07777;
    } else {
        mode = NewFileMode();
    }
    if (chmod(temporary.c_str(), static_cast<mode_t>(mode)) != 0 || std::rename(temporary.c_str(), target.c_str()) != 0)
        return fail(std::strerror(errno));
    return true;
}

bool CopyRegularFile(const char* from, const char* to, std::string* reason)
{
    auto fail = [reason](const char* text) {
        if (reason != nullptr)
            *reason = text;
        return false;
    };
    FILE* in = OpenFile(from, "rb");
    if (in == nullptr)
        return fail(errno == EINVAL ? "Not a regular file" : std::strerror(errno));
    if (to == nullptr || !IsReplaceableTarget(to)) {
        std::fclose(in);
        return fail("The target is not a regular file");
    }
    const std::string temporary = CreateTemporaryBeside(to, ".tmp");
    FILE* out = temporary.empty() ? nullptr : OpenFile(temporary.c_str(), "wb");
    bool copied = out != nullptr;
    const char* problem = copied ? nullptr : "Unable to create the copy";
    char block[65536];
    while (copied) {
        const size_t n = std::fread(block, 1, sizeof(block), in);
        if (n == 0)
            break;
        copied = std::fwrite(block, 1, n, out) == n;
    }
    if (copied && std::ferror(in) != 0) {
        copied = false;
        problem = "Error reading the file";
    }
    std::fclose(in);
    if (out != nullptr && std::fclose(out) != 0)
        copied = false;
    if (!copied && problem == nullptr)
        problem = "Error writing the copy";
    std::string committed;
    if (copied && !CommitTemporary(temporary, to, &committed)) {
        copied = false;
        problem = nullptr;
    }
    if (!copied && !temporary.empty())
        std::remove(temporary.c_str());
    if (!copied)
        return fail(problem != nullptr ? problem : committed.c_str());
    return true;
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
