#include "sdk/io/KDuzWriter.h"

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/PlatformFile.h"
#include "sdk/io/KDuz.h"
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

bool KDuzWriter::CopyTextureFileTo(const char* source, const char* target) {
    const std::string from(source != nullptr ? source : "");
    struct stat info {};
    if (from.empty() || stat(from.c_str(), &info) != 0) {
        mMessageText += ("Unable to locate texture file \"" + from + "\".\n").c_str();
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        mMessageText += ("Warning: texture file \"" + from + "\" is not a regular file; not copied.\n").c_str();
        return false;
    }
    if (!duzplatform::CopyRegularFile(from.c_str(), target, nullptr)) {
        mMessageText += (std::string("Error writing texture file \"") + (target != nullptr ? target : "") + "\".\n").c_str();
        return false;
    }
    return true;
}

void KDuzWriter::SetFieldFileError(const KDuz* file) {
    // Only a reason of the field file's own is carried: its table text
    // ("No space left on device") says no more than the writer's.
    const int index = file != nullptr ? file->GetLastErrorID() : -1;
    const char* text = index >= 0 ? file->GetLastErrorString() : nullptr;
    const bool ownReason = text != nullptr && text[0] != '\0' &&
                           (index >= KDuz::kErrorTableSize || std::strcmp(text, KDuz::kErrorTexts[index]) != 0);
    if (ownReason)
        mError.SetLastErrorWithText(eOutOfDiskSpace, text);
    else
        mError.SetLastError(eOutOfDiskSpace);
}

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
