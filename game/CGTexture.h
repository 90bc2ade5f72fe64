#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The game's texture manager: every file of the level's texture directory
// becomes a mipmapped OpenGL texture, found by its name (file name without
// the extension).
class CGTexture {
public:
    struct Tex {
        std::string name;
        int id = 0;
    };

    // Loads every file of the directory as a BMP; files that are not
    // readable 24-bit BMPs are skipped (logged).
    void LoadDirectory(const std::string& directory);
    // One texture from a BMP file; 0 when the file does not load (no GL call then).
    int Upload(const std::string& path, bool repeat);
    // The file as RGBA pixels (4 bytes each); false when it cannot be read or
    // is not an uncompressed 24-bit BMP of sane size. Sets width and height.
    bool LoadBitmap(const std::string& path, std::vector<uint8_t>& pixels);
    // The id of the last texture of that name; 0 when there is none.
    int Find(const std::string& name) const;

    // Decodes a BMP held in memory; the file-free core of LoadBitmap.
    static bool DecodeBitmap(const std::vector<uint8_t>& file, std::vector<uint8_t>& pixels, int& width,
                             int& height);

    static constexpr int kMaxSide = 16384;

    int width = 0;
    int height = 0;
    std::vector<Tex> table;
};
