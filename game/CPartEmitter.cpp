#include "game/CPartEmitter.h"

#include <GL/gl.h>

#include <cstddef>

void CParticle::Draw(unsigned texture) const {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4fv(colour);
    const float x = position[0], y = position[1], z = position[2], s = size;
    glBegin(GL_QUADS);
    glTexCoord2f(1, 1); glVertex3f(x + s, y + s, z);
    glTexCoord2f(0, 1); glVertex3f(x - s, y + s, z);
    glTexCoord2f(0, 0); glVertex3f(x - s, y - s, z);
    glTexCoord2f(1, 0); glVertex3f(x + s, y - s, z);
    // The same square wound the other way, so it shows from both sides.
    glTexCoord2f(0, 1); glVertex3f(x - s, y + s, z);
    glTexCoord2f(1, 1); glVertex3f(x + s, y + s, z);
    glTexCoord2f(1, 0); glVertex3f(x + s, y - s, z);
    glTexCoord2f(0, 0); glVertex3f(x - s, y - s, z);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

bool CPartEmitter::Add(const CParticle& particle) {
    if (count >= maximum) return false;
    particles.push_back(particle);
    ++count;
    return true;
}

void CPartEmitter::Update(float clock, float delta) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < particles.size(); ++i) {
        CParticle& p = particles[i];
        if (p.lifetime < clock - p.birth) {
            p.alive = false;
            continue;
        }
        for (int c = 0; c < 3; ++c) p.position[c] += p.velocity[c] * delta;
        if (kept != i) particles[kept] = p;
        ++kept;
    }
    particles.resize(kept);
    count = static_cast<int>(kept);
}

void CPartEmitter::Draw(unsigned texture) const {
    // Flakes keep their own colour whatever the scene's lights and materials.
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    for (const CParticle& p : particles)
        if (p.alive) p.Draw(texture);
    glPopAttrib();
}
