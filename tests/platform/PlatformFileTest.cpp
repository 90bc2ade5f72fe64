#include "platform/PlatformFile.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "ScratchFolder.h"

using namespace duzplatform;

namespace {

// Kills the test process when a call blocks: a FIFO without a writer blocks
// a plain open forever.
class Watchdog {
public:
    explicit Watchdog(unsigned seconds) { alarm(seconds); }
    ~Watchdog() { alarm(0); }
};

std::string ReadAll(FILE* stream)
{
    std::string text;
    char buffer[64];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), stream)) > 0)
        text.append(buffer, got);
    return text;
}

} // namespace

TEST(PlatformFile, RegularFilesOpenInEveryMode)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string path = folder / "plain.bin";

    FILE* out = OpenFile(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);   // created
    std::fputs("abc", out);
    std::fclose(out);

    FILE* append = OpenFile(path.c_str(), "at");
    ASSERT_NE(append, nullptr);
    std::fputs("de", append);
    std::fclose(append);

    FILE* update = OpenFile(path.c_str(), "r+b");
    ASSERT_NE(update, nullptr);
    std::fputc('A', update);
    std::fclose(update);

    FILE* in = OpenFile(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(ReadAll(in), "Abcde");
    // Read-only really is read-only.
    EXPECT_EQ(std::fputc('x', in), EOF);
    std::fclose(in);

    EXPECT_EQ(OpenFile((folder / "absent").c_str(), "rb"), nullptr);
    EXPECT_EQ(OpenFile((folder / "absent").c_str(), "r+b"), nullptr);
    EXPECT_EQ(OpenFile(path.c_str(), "q"), nullptr);   // not a mode
    EXPECT_EQ(OpenFile("", "rb"), nullptr);
}

TEST(PlatformFile, RefusesAnythingButRegularFilesWithoutBlocking)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string fifo = folder / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = folder / "socket";
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
    std::strcpy(address.sun_path, socketPath.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const std::string regular = folder / "file";
    std::ofstream(regular) << "x";
    const std::string link = folder / "link-to-zero";
    ASSERT_EQ(symlink("/dev/zero", link.c_str()), 0);

    const Watchdog watchdog(20);
    const char* const targets[] = {"/dev/zero", "/dev/null", fifo.c_str(), socketPath.c_str(),
                                   folder.Path().c_str(), link.c_str()};
    // Every mode that reads.
    for (const char* target : targets) {
        for (const char* mode : {"rb", "r+b", "w+t", "a+b"}) {
            SCOPED_TRACE(std::string(target) + " " + mode);
            FILE* stream = OpenFile(target, mode);
            EXPECT_EQ(stream, nullptr);
            if (stream != nullptr)
                std::fclose(stream);
        }
    }
    // A write-only stream may go to a device, but a FIFO without a reader
    // fails at once rather than waiting for one.
    for (const char* target : {fifo.c_str(), socketPath.c_str(), folder.Path().c_str()}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(OpenFile(target, "wb"), nullptr);
        EXPECT_EQ(OpenFile(target, "ab"), nullptr);
    }
    FILE* sink = OpenFile("/dev/null", "wb");
    ASSERT_NE(sink, nullptr);
    EXPECT_EQ(std::fputs("gone", sink) >= 0, true);
    EXPECT_EQ(std::fclose(sink), 0);
    // A write open never replaced the FIFO or the socket with a file.
    struct stat info {};
    ASSERT_EQ(stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    close(listener);
}
