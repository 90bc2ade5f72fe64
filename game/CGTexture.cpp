#include "game/CGTexture.h"

#include "game/GameUtil.h"
#include "platform/PlatformFile.h"

#include <GL/glew.h>
#include <GL/glu.h>

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

}  // namespace

bool CGTexture::DecodeBitmap(const std::vector<uint8_t>& file, std::vector<uint8_t>& pixels, int& outWidth,
                             int& outHeight) {
    pixels.clear();
    // File header (14 bytes) and information header (at least 40).
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return false;
    const uint32_t dataOffset = Le32(file, 10);
    const uint32_t infoSize = Le32(file, 14);
    const int32_t w = static_cast<int32_t>(Le32(file, 18));
    const int32_t h = static_cast<int32_t>(Le32(file, 22));
    const uint16_t bits = Le16(file, 28);
    const uint32_t compression = Le32(file, 30);
    if (infoSize < 40 || bits != 24 || compression != 0) return false;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return false;
    const uint64_t count = uint64_t(w) * uint64_t(h);
    // Each stored row is padded to a multiple of four bytes; the last row's
    // padding may be missing.
    const uint64_t rowBytes = uint64_t(w) * 3;
    const uint64_t stride = (rowBytes + 3) & ~uint64_t(3);
    const uint64_t needed = stride * uint64_t(h - 1) + rowBytes;
    // Older writers leave the offset 0; the pixels then follow the headers.
    const uint64_t start = dataOffset == 0 ? 54 : dataOffset;
    if (start < 54 || start > file.size() || file.size() - start < needed) return false;

    pixels.assign(count * 4, 0);
    uint8_t* out = pixels.data();
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* in = file.data() + start + stride * uint64_t(y);
        for (int32_t x = 0; x < w; ++x, in += 3, out += 4) {
            const uint8_t b = in[0], g = in[1], r = in[2];
            if (r == 250 && g == 250 && b == 250) {
                out[0] = out[1] = out[2] = 255;
                out[3] = 0;   // the colour key: transparent white
            } else {
                out[0] = r;
                out[1] = g;
                out[2] = b;
                out[3] = 255;
            }
        }
    }
    outWidth = w;
    outHeight = h;
    return true;
}

bool CGTexture::LoadBitmap(const std::string& path, std::vector<uint8_t>& pixels) {
    pixels.clear();
    // Texture names come from the level's settings: regular files only.
    std::string bytes;
    if (!duzplatform::ReadWholeFile(NativePath(path).c_str(), &bytes)) return false;
    const std::vector<uint8_t> file(bytes.begin(), bytes.end());
    int w = 0, h = 0;
    if (!DecodeBitmap(file, pixels, w, h)) return false;
    width = w;
    height = h;
    return true;
}

int CGTexture::Upload(const std::string& path, bool repeat) {
    std::vector<uint8_t> pixels;
    if (!LoadBitmap(path, pixels)) {
        GameLog("texture not loaded: %s", path.c_str());
        return 0;
    }
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return static_cast<int>(id);
}

void CGTexture::LoadDirectory(const std::string& directory) {
    GameLog(" *** Lade Texturen ***");
    for (const std::string& name : ListFiles(directory)) {
        int id = Upload(directory + name, true);
        if (id == 0) continue;
        table.push_back({StripExtension(name), id});
    }
}

int CGTexture::Find(const std::string& name) const {
    int id = 0;
    for (const Tex& t : table)
        if (t.name == name) id = t.id;
    return id;
}
