#include "platform/sound/SoundSystem.h"

#include "platform/PlatformFile.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <limits>

namespace duzplatform {

class SoundSample {
public:
    SoundSample(Mix_Chunk* chunk, uint32_t mode) : mChunk(chunk), mMode(mode) {}
    ~SoundSample() { Mix_FreeChunk(mChunk); }   // also stops the channels playing it
    SoundSample(const SoundSample&) = delete;
    SoundSample& operator=(const SoundSample&) = delete;

    Mix_Chunk* mChunk;
    uint32_t mMode;
};

namespace {

// SDL_mixer drives one device per process.
std::atomic<bool> gDeviceTaken{false};

constexpr int kChunkSize = 2048;

// The bytes [offset, offset + length) of the file; length 0 runs to the end.
bool ReadFileRange(const char* fileName, int offset, int length, std::vector<uint8_t>& bytes)
{
    if (offset < 0 || length < 0)
        return false;
    // Regular files only: a device or a FIFO is refused without blocking.
    std::FILE* file = OpenFile(fileName, "rb");
    if (file == nullptr)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && offset <= size && length <= size - offset;
    const long count = length != 0 ? length : size - offset;
    // The mixer takes an int length.
    ok = ok && count <= static_cast<long>(std::numeric_limits<int>::max());
    if (ok) {
        bytes.resize(static_cast<size_t>(count));
        ok = std::fseek(file, offset, SEEK_SET) == 0 &&
             (count == 0 || std::fread(bytes.data(), static_cast<size_t>(count), 1, file) == 1);
    }
    std::fclose(file);
    return ok;
}

} // namespace

SoundSystem::SoundSystem() = default;

SoundSystem::~SoundSystem()
{
    Close();
}

bool SoundSystem::HasMp3Support()
{
    // Asking loads the decoder when it is there; it stays loaded until Mix_Quit.
    return (Mix_Init(MIX_INIT_MP3) & MIX_INIT_MP3) != 0;
}

bool SoundSystem::Init(int mixRate, int maxChannels, uint32_t /*flags*/)
{
    if (mixRate < 4000 || mixRate > 192000 || maxChannels < 1 || maxChannels > kMaxChannels)
        return false;
    if (mOpen && (mDriver != mOpenDriver || mixRate != mMixRate))
        Close();
    if (!mOpen && !OpenDevice(mixRate))
        return false;
    Mix_AllocateChannels(maxChannels);
    mVolumes.resize(static_cast<size_t>(maxChannels), 255);
    return true;
}

bool SoundSystem::OpenDevice(int mixRate)
{
    if (gDeviceTaken.exchange(true))
        return false;
    // SDL would take SIGINT and SIGTERM for a quit event that only an SDL event
    // loop reads; the program's own loop would never end on Ctrl+C or kill. A
    // program (or SDL_NO_SIGNAL_HANDLERS in the environment) may still decide.
    SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_DEFAULT);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        gDeviceTaken = false;
        return false;
    }
    const char* device = nullptr;
    if (mDriver != 0) {
        device = mDriver > 0 && mDriver < SDL_GetNumAudioDevices(0) ? SDL_GetAudioDeviceName(mDriver, 0) : nullptr;
        if (device == nullptr) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            gDeviceTaken = false;
            return false;
        }
    }
    if (Mix_OpenAudioDevice(mixRate, MIX_DEFAULT_FORMAT, 2, kChunkSize, device,
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        gDeviceTaken = false;
        return false;
    }
    Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG);   // decoders that are missing just stay unavailable
    // The mixer records a pause as the tick count it happened at, so a pause in
    // the first millisecond after start-up (tick 0) would be lost.
    while (SDL_GetTicks() == 0)
        SDL_Delay(1);
    mOpen = true;
    mOpenDriver = mDriver;
    mMixRate = mixRate;
    return true;
}

void SoundSystem::Close()
{
    if (!mOpen)
        return;
    Mix_HaltChannel(-1);
    mSlots.clear();
    mVolumes.clear();
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    mOpen = false;
    gDeviceTaken = false;
}

SoundSample* SoundSystem::LoadSample(int slot, const char* fileName, uint32_t mode, int offset, int length)
{
    if (!mOpen || fileName == nullptr || slot < kSoundFreeSlot || slot >= kMaxSlots)
        return nullptr;
    // The file is read here, not by the mixer, so it goes through the
    // platform layer's checks; the decoder copies what it needs.
    std::vector<uint8_t> bytes;
    if (!ReadFileRange(fileName, offset, length, bytes) || bytes.empty())
        return nullptr;
    Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    if (chunk == nullptr)
        return nullptr;
    size_t index = 0;
    if (slot < 0) {
        index = std::find(mSlots.begin(), mSlots.end(), nullptr) - mSlots.begin();
        if (index >= static_cast<size_t>(kMaxSlots)) {
            Mix_FreeChunk(chunk);
            return nullptr;
        }
    } else {
        index = static_cast<size_t>(slot);
    }
    if (index >= mSlots.size())
        mSlots.resize(index + 1);
    mSlots[index] = std::make_unique<SoundSample>(chunk, mode);
    return mSlots[index].get();
}

bool SoundSystem::SetSampleMode(SoundSample* sample, uint32_t mode)
{
    if (sample == nullptr || std::none_of(mSlots.begin(), mSlots.end(), [sample](const auto& s) {
            return s.get() == sample;
        }))
        return false;
    sample->mMode = mode;
    return true;
}

uint32_t SoundSystem::SampleMode(const SoundSample* sample) const
{
    return sample != nullptr ? sample->mMode : 0;
}

void SoundSystem::FreeSample(SoundSample* sample)
{
    for (auto& slot : mSlots)
        if (slot.get() == sample)
            slot.reset();
}

int SoundSystem::FindIdleChannel() const
{
    for (size_t channel = 0; channel < mVolumes.size(); ++channel)
        if (!Mix_Playing(static_cast<int>(channel)))
            return static_cast<int>(channel);
    return -1;
}

int SoundSystem::PlaySound(int channel, SoundSample* sample, void* effectUnit, bool paused)
{
    if (!mOpen || effectUnit != nullptr ||
        std::none_of(mSlots.begin(), mSlots.end(), [sample](const auto& s) { return s && s.get() == sample; }))
        return -1;
    if (channel == kSoundFreeChannel)
        channel = FindIdleChannel();
    if (!ValidChannel(channel))
        return -1;
    const int loops = (sample->mMode & (SoundMode::LoopNormal | SoundMode::LoopBidirectional)) ? -1 : 0;
    // Start muted so nothing is heard before a paused start takes hold.
    Mix_Volume(channel, 0);
    if (Mix_PlayChannel(channel, sample->mChunk, loops) != channel)
        return -1;
    if (paused)
        Mix_Pause(channel);
    SetVolume(channel, mVolumes[static_cast<size_t>(channel)]);
    return channel;
}

bool SoundSystem::ValidChannel(int channel) const
{
    return mOpen && channel >= 0 && static_cast<size_t>(channel) < mVolumes.size();
}

bool SoundSystem::SetVolume(int channel, int volume)
{
    if (!ValidChannel(channel))
        return false;
    volume = std::clamp(volume, 0, 255);
    mVolumes[static_cast<size_t>(channel)] = volume;
    Mix_Volume(channel, (volume * MIX_MAX_VOLUME + 127) / 255);
    return true;
}

int SoundSystem::Volume(int channel) const
{
    return ValidChannel(channel) ? mVolumes[static_cast<size_t>(channel)] : 0;
}

bool SoundSystem::SetPaused(int channel, bool paused)
{
    if (!ValidChannel(channel))
        return false;
    if (paused)
        Mix_Pause(channel);
    else
        Mix_Resume(channel);
    return true;
}

bool SoundSystem::IsPaused(int channel) const
{
    return ValidChannel(channel) && Mix_Paused(channel) != 0;
}

bool SoundSystem::IsPlaying(int channel) const
{
    return ValidChannel(channel) && Mix_Playing(channel) != 0 && Mix_Paused(channel) == 0;
}

bool SoundSystem::StopSound(int channel)
{
    if (!ValidChannel(channel))
        return false;
    Mix_HaltChannel(channel);
    return true;
}

} // namespace duzplatform
