#include "game/CGSound.h"

#include "game/GameUtil.h"

CGSound::CGSound() { system.Init(44100, 32, 0); }

int CGSound::PlayMusic(const std::string& directory) {
    if (duzplatform::SoundSystem::GetVersion() < 3.75f) {
        GameLog("Wrong Dll Version! You should be using FMOD %.02f\n", 3.75);
        return -1;
    }
    system.SetOutput(2);
    system.SetDriver(0);
    system.SetMixer(0);
    if (!system.Init(44100, 32, 1)) {
        GameLog("Fmod not initialized!");
        return -1;
    }
    GameLog("Fmod initialized!");
    const std::string song = NativePath(directory + "song.mp3");
    const std::string song1 = NativePath(directory + "song1.mp3");
    duzplatform::SoundSample* sample = system.LoadSample(duzplatform::kSoundFreeSlot, song.c_str(), 304, 0, 0);
    system.LoadSample(duzplatform::kSoundFreeSlot, song1.c_str(), 304, 0, 0);
    if (sample == nullptr) {
        GameLog("soundfile not loaded!");
        return -1;
    }
    system.SetSampleMode(sample, duzplatform::SoundMode::LoopNormal);
    const int channel = system.PlaySound(duzplatform::kSoundFreeChannel, sample, nullptr, true);
    if (channel < 0) {
        GameLog("file could not played");
        return -1;
    }
    system.SetVolume(channel, 160);
    system.SetPaused(channel, false);
    GameLog("playing sound");
    return channel;
}
