#pragma once

#include "platform/sound/SoundSystem.h"

#include <string>

// The background music: "song.mp3" from the game's directory, looped.
// Every failure leaves the game silent.
class CGSound {
public:
    CGSound();
    // Returns the channel playing, or -1.
    int PlayMusic(const std::string& directory = "");

    duzplatform::SoundSystem system;
};
