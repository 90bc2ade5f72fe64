#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ScratchFolder.h"
#include "platform/sound/SoundSystem.h"

using namespace duzplatform;

namespace {

void PutLittle(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A tenth of a second of a 440 Hz tone: 16-bit mono PCM WAV at 8000 Hz.
std::vector<uint8_t> ToneWav()
{
    const uint32_t rate = 8000, samples = 800;
    std::vector<uint8_t> wav;
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    PutLittle(wav, 36 + samples * 2, 4);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLittle(wav, 16, 4);
    PutLittle(wav, 1, 2);   // PCM
    PutLittle(wav, 1, 2);   // mono
    PutLittle(wav, rate, 4);
    PutLittle(wav, rate * 2, 4);
    PutLittle(wav, 2, 2);
    PutLittle(wav, 16, 2);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    PutLittle(wav, samples * 2, 4);
    for (uint32_t i = 0; i < samples; ++i)
        PutLittle(wav, static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * 3.14159265 * 440 / rate))),
                  2);
    return wav;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

class SoundSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // No sound card is needed: the dummy driver mixes into nothing.
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        ASSERT_TRUE(folder.IsValid());
        songPath = folder / "song.wav";
        WriteFile(songPath, ToneWav());
    }

    ScratchFolder folder;
    std::string songPath;
};

} // namespace

TEST_F(SoundSystemTest, VersionPassesTheMusicCheck)
{
    // Music starts only with version 3.75 or later.
    EXPECT_GE(SoundSystem::GetVersion(), 3.75f);
}

TEST_F(SoundSystemTest, PlaysMusicTheWayTheGameAsks)
{
    SoundSystem sound;
    ASSERT_TRUE(sound.Init(44100, 32, 0));
    sound.SetOutput(2);
    sound.SetDriver(0);
    sound.SetMixer(0);
    ASSERT_TRUE(sound.Init(44100, 32, 1));   // a second Init on the open device

    SoundSample* song = sound.LoadSample(kSoundFreeSlot, songPath.c_str(), 304, 0, 0);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(sound.LoadSample(kSoundFreeSlot, (folder / "song1.mp3").c_str(), 304, 0, 0), nullptr);
    EXPECT_TRUE(sound.SetSampleMode(song, SoundMode::LoopNormal));
    EXPECT_EQ(sound.SampleMode(song), SoundMode::LoopNormal);

    const int channel = sound.PlaySound(kSoundFreeChannel, song, nullptr, true);
    ASSERT_GE(channel, 0);
    ASSERT_LT(channel, 32);
    EXPECT_TRUE(sound.IsPaused(channel));
    EXPECT_FALSE(sound.IsPlaying(channel));
    EXPECT_TRUE(sound.SetVolume(channel, 160));
    EXPECT_EQ(sound.Volume(channel), 160);
    EXPECT_TRUE(sound.SetPaused(channel, false));
    EXPECT_TRUE(sound.IsPlaying(channel));

    // A second free-channel play takes another channel.
    const int other = sound.PlaySound(kSoundFreeChannel, song, nullptr, false);
    EXPECT_GE(other, 0);
    EXPECT_NE(other, channel);
    EXPECT_TRUE(sound.StopSound(other));
    sound.Close();
    EXPECT_FALSE(sound.IsInitialized());
}

TEST_F(SoundSystemTest, FailuresAreSoft)
{
    SoundSystem sound;
    // Before Init nothing works, and nothing breaks.
    EXPECT_EQ(sound.LoadSample(kSoundFreeSlot, songPath.c_str(), 0, 0, 0), nullptr);
    EXPECT_EQ(sound.PlaySound(kSoundFreeChannel, nullptr, nullptr, false), -1);
    EXPECT_FALSE(sound.SetVolume(0, 100));
    EXPECT_FALSE(sound.SetPaused(0, false));

    ASSERT_TRUE(sound.Init(44100, 8, 0));
    const std::string garbage = folder / "garbage.mp3";
    WriteFile(garbage, std::vector<uint8_t>(100, 0x5A));
    // A FIFO without a writer would block the open, a device never ends.
    const std::string fifo = folder / "fifo.mp3";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Load {
        const char* name;
        std::string file;
        int slot, offset, length;
    };
    const Load refused[] = {
        {"missing file", folder / "song.mp3", kSoundFreeSlot, 0, 0},
        {"not audio", garbage, kSoundFreeSlot, 0, 0},
        {"FIFO", fifo, kSoundFreeSlot, 0, 0},
        {"device", "/dev/zero", kSoundFreeSlot, 0, 0},
        {"folder", folder.Path(), kSoundFreeSlot, 0, 0},
        {"offset beyond the end", songPath, kSoundFreeSlot, 100000, 0},
        {"length beyond the end", songPath, kSoundFreeSlot, 0, 100000},
        {"negative offset", songPath, kSoundFreeSlot, -1, 0},
        {"slot out of range", songPath, SoundSystem::kMaxSlots, 0, 0},
    };
    for (const Load& load : refused) {
        SCOPED_TRACE(load.name);
        EXPECT_EQ(sound.LoadSample(load.slot, load.file.c_str(), 0, load.offset, load.length), nullptr);
    }
    EXPECT_EQ(sound.LoadSample(kSoundFreeSlot, nullptr, 0, 0, 0), nullptr);

    SoundSample* song = sound.LoadSample(0, songPath.c_str(), 0, 0, 0);
    ASSERT_NE(song, nullptr);
    int effect = 0;
    EXPECT_EQ(sound.PlaySound(kSoundFreeChannel, song, &effect, false), -1);
    EXPECT_EQ(sound.PlaySound(8, song, nullptr, false), -1);
    SoundSample* stranger = reinterpret_cast<SoundSample*>(&effect);
    EXPECT_EQ(sound.PlaySound(kSoundFreeChannel, stranger, nullptr, false), -1);
    EXPECT_FALSE(sound.SetSampleMode(stranger, 2));
    sound.FreeSample(song);
    EXPECT_EQ(sound.PlaySound(kSoundFreeChannel, song, nullptr, false), -1);
    EXPECT_FALSE(sound.Init(44100, 0, 0));
}

TEST_F(SoundSystemTest, VolumeIsClampedToTheByteRange)
{
    SoundSystem sound;
    ASSERT_TRUE(sound.Init(22050, 4, 0));
    const std::pair<int, int> cases[] = {{0, 0}, {255, 255}, {300, 255}, {-5, 0}, {128, 128}};
    for (const auto& [given, kept] : cases) {
        EXPECT_TRUE(sound.SetVolume(1, given));
        EXPECT_EQ(sound.Volume(1), kept) << given;
    }
}

TEST_F(SoundSystemTest, LoadsAByteRangeOfAFile)
{
    // A WAV stored after 37 bytes of something else, and followed by more.
    std::vector<uint8_t> bundle(37, 0xEE);
    const std::vector<uint8_t> wav = ToneWav();
    bundle.insert(bundle.end(), wav.begin(), wav.end());
    bundle.insert(bundle.end(), 50, 0xEE);
    const std::string path = folder / "bundle.bin";
    WriteFile(path, bundle);
    SoundSystem sound;
    ASSERT_TRUE(sound.Init(44100, 4, 0));
    EXPECT_NE(sound.LoadSample(kSoundFreeSlot, path.c_str(), 0, 37, static_cast<int>(wav.size())), nullptr);
}

TEST_F(SoundSystemTest, OneDeviceAtATime)
{
    SoundSystem first;
    ASSERT_TRUE(first.Init(44100, 4, 0));
    SoundSystem second;
    EXPECT_FALSE(second.Init(44100, 4, 0));
    first.Close();
    EXPECT_TRUE(second.Init(44100, 4, 0));
}

TEST_F(SoundSystemTest, NoDeviceLeavesTheGameSilent)
{
    const char* saved = std::getenv("SDL_AUDIODRIVER");
    const std::string keep = saved != nullptr ? saved : "";
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SoundSystem sound;
    const bool opened = sound.Init(44100, 32, 1);
    setenv("SDL_AUDIODRIVER", keep.c_str(), 1);
    EXPECT_FALSE(opened);
    EXPECT_EQ(sound.LoadSample(kSoundFreeSlot, songPath.c_str(), 304, 0, 0), nullptr);
    EXPECT_EQ(sound.PlaySound(kSoundFreeChannel, nullptr, nullptr, true), -1);

    // An audio device index that does not exist fails the same way.
    SoundSystem other;
    other.SetDriver(99);
    EXPECT_FALSE(other.Init(44100, 32, 0));
}

TEST_F(SoundSystemTest, Mp3SupportIsReported)
{
    const bool mp3 = SoundSystem::HasMp3Support();
    RecordProperty("mp3", mp3 ? "yes" : "no");
    SoundSystem sound;
    ASSERT_TRUE(sound.Init(44100, 4, 0));
    // A file named ".mp3" is decoded by its content, so a WAV song works either way.
    const std::string song = folder / "song.mp3";
    WriteFile(song, ToneWav());
    EXPECT_NE(sound.LoadSample(kSoundFreeSlot, song.c_str(), 304, 0, 0), nullptr);
}

TEST_F(SoundSystemTest, LeavesTheProcessSignalsToTheProgram)
{
    // Ctrl+C, kill and timeout must still end a program that plays music: the
    // sound library's own handlers would only queue an event nobody reads.
    SoundSystem sound;
    ASSERT_TRUE(sound.Init(44100, 32, 0));
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        struct sigaction action {};
        ASSERT_EQ(sigaction(signal, nullptr, &action), 0);
        EXPECT_EQ(action.sa_handler, SIG_DFL);
    }
    sound.Close();
}
