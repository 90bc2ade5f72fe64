// The differences between the scene dump of a scene as a write left it and
// of the same scene read back that the layout or the object model specify,
// each taken out by a rule of its own.
#pragma once

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzScene.h"

namespace duztest {

// The scene dump of a model read from the bundled file and of the same model
// written and read back, with the differences the layout or the object
// model specify taken out, each by its own rule:
// - a property whose value a reader set carries the internal "set" mark
//   (flag 8), also when the first file did not list the property;
// - the producer cameras are copied into the camera settings through the
//   cameras' float channels (background colour, focal length) and the
//   reader's up vectors have no fourth component;
// - a producer camera's node is not read back (only its camera is copied
//   into the settings), so the producer nodes' own blocks are left out;
// - a file with "Version5" settings reads back with a "GlobalToolsSettings"
//   object that stands for the settings' tools block;
// - the flat values a material record carries for older readers ("Emissive"
//   to "Reflectivity") come back as properties of the material;
// - the fog colour of the version 5 settings is stored with an alpha of 1.
inline std::string NormalizedDump(const std::string& dump) {
    static const char* const kFlatValues[] = {"Emissive", "Ambient",   "Diffuse",     "Opacity",
                                              "Specular", "Shininess", "Reflectivity"};
    std::istringstream in(dump);
    std::string out;
    std::string line;
    bool skipping = false;
    while (std::getline(in, line)) {
        if (line.rfind("object ", 0) == 0 || line == "end")
            skipping = line.rfind("object KDuzNode \"Producer ", 0) == 0 ||
                       line.rfind("object KDuzObject \"GlobalToolsSettings\"", 0) == 0;
        if (skipping || line.find("src KDuzObject \"GlobalToolsSettings\"") != std::string::npos) continue;
        bool flat = false;
        for (const char* name : kFlatValues)
            flat = flat || line.rfind(std::string("  property \"") + name + "\" ", 0) == 0;
        if (flat) continue;
        // The internal "set" mark.
        const size_t mark = line.find(" pflags=0x");
        if (mark != std::string::npos) {
            size_t end = mark + 10;
            while (end < line.size() && std::isxdigit(static_cast<unsigned char>(line[end]))) ++end;
            const unsigned long flags = std::strtoul(line.substr(mark + 10, end - mark - 10).c_str(), nullptr, 16) & ~0x8ul;
            char text[32] = "";
            if (flags != 0) std::snprintf(text, sizeof text, " pflags=0x%lx", flags);
            line = line.substr(0, mark) + text + line.substr(end);
        }
        // The fog colour is stored opaque.
        if (line.rfind("  light ", 0) == 0) {
            const size_t fog = line.find("fogColor=(");
            const size_t close = fog != std::string::npos ? line.find(')', fog) : std::string::npos;
            const size_t last = close != std::string::npos ? line.rfind(' ', close) : std::string::npos;
            if (last != std::string::npos && last > fog) line = line.substr(0, last + 1) + "1" + line.substr(close);
        }
        // The up vector's fourth component.
        if (line.rfind("  camera position=", 0) == 0) {
            const size_t up = line.find("up=(");
            const size_t close = up != std::string::npos ? line.find(')', up) : std::string::npos;
            const size_t last = close != std::string::npos ? line.rfind(' ', close) : std::string::npos;
            if (last != std::string::npos && last > up) line = line.substr(0, last) + line.substr(close);
        }
        // The float channels of the producer cameras.
        if (line.find("property \"BackgroundColor\"") != std::string::npos ||
            line.find("property \"FocalLength\"") != std::string::npos) {
            const size_t value = line.find("value=");
            if (value != std::string::npos) {
                std::string rounded = line.substr(0, value + 6);
                size_t at = value + 6;
                while (at < line.size()) {
                    const char c = line[at];
                    if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
                        size_t used = 0;
                        const double number = std::stod(line.substr(at), &used);
                        char text[32];
                        std::snprintf(text, sizeof text, "%.7g", static_cast<double>(static_cast<float>(number)));
                        rounded += text;
                        at += used;
                    } else if (c == ' ' || c == '(' || c == ')') {
                        rounded += c;
                        ++at;
                    } else {
                        rounded += line.substr(at);
                        break;
                    }
                }
                line = rounded;
            }
        }
        out += line + "\n";
    }
    return out;
}

// Specified: the name of an attribute written inside its model record is
// not stored (the write named it after its node).
inline void ForgetInlineAttributeNames(duzsdk::KDuzScene& scene) {
    const duzsdk::KClassId attributes = duzsdk::KDuzNodeAttribute::ClassId();
    for (int i = 0; i < scene.GetSrcObjectCount(attributes); ++i) {
        duzsdk::KDuzObject* attribute = scene.GetSrcObject(attributes, i);
        if (!duzsdk::KDuzWriterDuz6::IsSeparateGeometry(attribute)) attribute->SetName("", false);
    }
}

}  // namespace duztest
