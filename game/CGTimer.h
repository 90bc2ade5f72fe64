#pragma once

#include <chrono>

// The frame timer: seconds since Start and the delta of the last Tick.
class CGTimer {
public:
    void Start();
    void Tick();

    float elapsed = 0.0f;
    float delta = 0.0f;

private:
    std::chrono::steady_clock::time_point mStart = std::chrono::steady_clock::now();
    float mPrevious = 0.0f;
};

// Seconds since the previous call (about 0 on the first).
double GameFrameSeconds();
