#pragma once

#include <vector>

struct CGCamera;

// One snow flake: a textured square that falls until its lifetime is over.
class CParticle {
public:
    CParticle() = default;
    CParticle(const CParticle&) = default;
    CParticle& operator=(const CParticle&) = default;
    virtual ~CParticle() = default;
    virtual void Draw(unsigned texture) const;

    float position[3] = {0, 0, 0};
    float velocity[3] = {0, 0, 0};
    float colour[4] = {1, 1, 1, 1};
    float size = 1.0f;
    float birth = 0.0f;      // seconds on the frame timer
    float lifetime = 8.0f;   // seconds
    bool alive = true;
    const CGCamera* anchor = nullptr;
};

// The snow: at most `maximum` particles.
class CPartEmitter {
public:
    explicit CPartEmitter(int maximumCount) : maximum(maximumCount) {}
    // Refused (false) when full; otherwise keeps a copy.
    bool Add(const CParticle& particle);
    // Ends particles past their lifetime and moves the others by their
    // velocity over delta seconds; the ended ones are removed.
    void Update(float clock, float delta);
    void Draw(unsigned texture) const;
    int Count() const { return count; }

    std::vector<CParticle> particles;
    int count = 0;
    int maximum;
};
