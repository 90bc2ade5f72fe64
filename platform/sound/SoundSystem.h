#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace duzplatform {

// Sample mode bits. Only the loop bits change playback; the others describe
// the data and are kept as given.
namespace SoundMode {
constexpr uint32_t LoopOff = 1u << 0;
constexpr uint32_t LoopNormal = 1u << 1;
constexpr uint32_t LoopBidirectional = 1u << 2;   // played as a normal loop
} // namespace SoundMode

// Sample slots and channels chosen by the sound system.
constexpr int kSoundFreeChannel = -1;
constexpr int kSoundFreeSlot = -2;

class SoundSample;

// Background music and sound samples, played through the platform's audio
// device. Every call fails softly: without a device (or before Init) loads
// give null, plays give -1 and the rest give false, so a caller that ignores
// the results stays silent and keeps running. One instance may be open at a
// time, since the audio device is process-wide.
class SoundSystem {
public:
    // The interface level offered; callers that need 3.75 or later accept it.
    static constexpr float kVersion = 3.75f;
    static constexpr int kMaxSlots = 1024;
    static constexpr int kMaxChannels = 4096;

    SoundSystem();
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    static float GetVersion() { return kVersion; }
    // Whether MP3 files can be decoded by the installed audio libraries.
    static bool HasMp3Support();

    // Chosen before Init and used by the next Init that opens the device.
    // The output kind is kept only (the platform picks its audio driver); the
    // driver is an audio device index, 0 the default device; the mixer is kept only.
    void SetOutput(int output) { mOutput = output; }
    void SetDriver(int driver) { mDriver = driver; }
    void SetMixer(int mixer) { mMixer = mixer; }
    int Output() const { return mOutput; }
    int Driver() const { return mDriver; }
    int Mixer() const { return mMixer; }

    // Opens the audio device at the mix rate with the number of channels. On
    // an open system it only sets the channel count, unless the driver changed,
    // which reopens the device (samples are then freed).
    bool Init(int mixRate, int maxChannels, uint32_t flags);
    void Close();
    bool IsInitialized() const { return mOpen; }

    // Loads a sample from a file into the slot (kSoundFreeSlot or -1 for the
    // first free one; a used slot is freed first). A non-zero offset or length
    // takes that byte range of the file (length 0: to the end). Null on any failure.
    SoundSample* LoadSample(int slot, const char* fileName, uint32_t mode, int offset, int length);
    bool SetSampleMode(SoundSample* sample, uint32_t mode);
    uint32_t SampleMode(const SoundSample* sample) const;
    void FreeSample(SoundSample* sample);

    // Starts the sample on the channel (kSoundFreeChannel: the first idle one),
    // optionally paused; effect units are not offered and must be null.
    // Returns the channel, or -1.
    int PlaySound(int channel, SoundSample* sample, void* effectUnit, bool paused);
    // Volume 0 to 255; values outside are clamped.
    bool SetVolume(int channel, int volume);
    int Volume(int channel) const;
    bool SetPaused(int channel, bool paused);
    bool IsPaused(int channel) const;
    bool IsPlaying(int channel) const;
    bool StopSound(int channel);

private:
    bool OpenDevice(int mixRate);
    bool ValidChannel(int channel) const;
    int FindIdleChannel() const;

    int mOutput = 0;
    int mDriver = 0;
    int mMixer = 0;
    bool mOpen = false;
    int mOpenDriver = 0;
    int mMixRate = 0;
    std::vector<std::unique_ptr<SoundSample>> mSlots;
    std::vector<int> mVolumes;   // per channel, 0 to 255
};

} // namespace duzplatform
