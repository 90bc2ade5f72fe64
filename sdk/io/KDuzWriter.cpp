#include "sdk/io/KDuzWriter.h"

#include <cstring>
#include <vector>

#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

const char* const KDuzWriter::kErrorTexts[KDuzWriter::eErrorCount] = {
    "File is corrupted",
    "File not opened",
    "File not created",
    "Out of disk space",
    "Stream options not set",
    "Out of memory resources for embedding textures",
    "Unidentified error",
};

KDuzWriter::KDuzWriter(KDuzSdkManager* manager) : mManager(manager), mError(kErrorTexts, eErrorCount) {}

KDuzWriter::~KDuzWriter() = default;

KDuzNode* KDuzWriter::FindFlaggedNodeInChain(KDuzScene* scene) {
    if (scene == nullptr) return nullptr;
    KDuzNode* node = scene->GetRootNode();
    if (node == nullptr || node->GetChildCount() != 1) return nullptr;
    do {
        node = node->GetChild(0);
        if (node == nullptr) return nullptr;
        if (node->IsFlagged(false)) return node;
    } while (node->GetChildCount() == 1);
    return nullptr;
}

bool KDuzWriter::CheckNodeNames(KDuzNode* node, KString& report) {
    if (node == nullptr) return true;
    bool result = true;
    const char* name = node->GetName();
    if (name != nullptr && std::strpbrk(name, " \t\n") != nullptr) {
        report += "\n    ";
        report += name;
        result = false;
    }
    // Each child through the slot, so that a writer's own check applies to
    // the whole tree; a failure does not stop the walk.
    for (int i = 0; i < node->GetChildCount(); ++i) {
        if (!CheckNodeNames(node->GetChild(i), report)) result = false;
    }
    return result;
}

}  // namespace duzsdk
