#include "game/CGTimer.h"

void CGTimer::Start() {
    mStart = std::chrono::steady_clock::now();
    mPrevious = 0.0f;
    elapsed = delta = 0.0f;
}

void CGTimer::Tick() {
    elapsed = std::chrono::duration<float>(std::chrono::steady_clock::now() - mStart).count();
    delta = elapsed - mPrevious;
    mPrevious = elapsed;
}

double GameFrameSeconds() {
    static std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - last).count();
    last = now;
    return seconds;
}
