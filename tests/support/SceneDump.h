// A canonical text form of a whole scene, for tests that must show that two
// scenes hold the same data (a scene built in memory and the same scene
// written and read back, or one file read before and after a change).
#pragma once

#include <string>

namespace duzsdk {
class KDuzScene;
}

namespace duztest {

struct SceneDumpOptions {
    bool includeTakes = true;
    // Objects of one class and name (unnamed attributes, deformers, ...)
    // are told apart by where they hang first (the node path of an
    // attribute, the places of what they are connected to), and only then
    // by content, so that an object whose content differs between two
    // scenes keeps its number and the difference shows on its own lines.
    bool numberByPlace = false;
};

// A deterministic text dump of everything the scene holds, one fact per line.
std::string DumpScene(duzsdk::KDuzScene& scene, const SceneDumpOptions& options = {});

// Empty when equal; otherwise the first differing lines with line numbers and
// a few lines of context.
std::string DiffDumps(const std::string& expected, const std::string& actual);

}  // namespace duztest
