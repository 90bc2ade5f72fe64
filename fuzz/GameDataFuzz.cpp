// libFuzzer target for the game's own data readers: every input is decoded
// as a BMP texture and parsed as a settings file, then asked the way the
// game asks (every section and key, and the keys a model's settings use).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "game/CGTexture.h"
#include "platform/IniFile.h"

namespace {
volatile size_t gSink;   // keeps the lookups' results alive
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> file(data, data + size);
    std::vector<uint8_t> pixels;
    int width = 0, height = 0;
    if (CGTexture::DecodeBitmap(file, pixels, width, height) &&
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4)
        __builtin_trap();

    duzplatform::IniFile ini;
    ini.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    size_t total = 0;
    for (const std::string& section : ini.GetSectionNames()) {
        for (const std::string& key : ini.GetKeyNames(section)) {
            if (!ini.HasKey(section, key))
                __builtin_trap();
            total += ini.GetString(section, key, "<err>").size();
        }
    }
    for (const char* part : {"0", "1", "2"}) {
        total += ini.GetString("texture", part, "<err>").size();
        total += ini.GetString("shader", part, "<err>").size();
    }
    for (const char* key : {"translation_x", "translation_y", "translation_z", "rotation_x", "rotation_y",
                            "rotation_z", "rotation_angle"})
        total += std::atof(ini.GetString("transformation", key, "0").c_str()) != 0.0;
    gSink = total;
    return 0;
}
