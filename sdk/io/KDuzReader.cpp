#include "sdk/io/KDuzReader.h"

#include <string>
#include <unordered_set>

#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeFinderDuplicateName.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

const char* const KDuzReader::kErrorTexts[KDuzReader::eErrorCount] = {
    "File is corrupted",
    "File version is not supported yet",
    "File version is not supported anymore",
    "File not opened",
    "File not created",
    "Wrong password",
    "Stream options not set",
    "Unidentified error",
};

KDuzReader::KDuzReader(KDuzSdkManager* manager)
    : mManager(manager), mError(kErrorTexts, eErrorCount) {}

KDuzReader::~KDuzReader() = default;

void KDuzReader::GetVersion(int& major, int& minor, int& revision) {
    major = 0;
    minor = 0;
    revision = 0;
}

bool KDuzReader::GetDefaultRenderResolution(KString&, KString&, double&, double&) {
    return false;
}

bool KDuzReader::CheckDuplicateNodeNames(KDuzNode* node, KString& report) {
    KDuzNodeFinderDuplicateName finder;
    finder.SetOption(KDuzNodeFinderDuplicateName::eCheckNodeName, true);
    finder.SetOption(KDuzNodeFinderDuplicateName::eCheckMaterialName, false);
    finder.SetOption(KDuzNodeFinderDuplicateName::eCheckTextureName, false);
    KPointerArray<KDuzNode>& found = finder.Apply(node);
    if (found.Count() == 0) return true;
    // A set rather than a look back over earlier entries keeps big scenes linear.
    std::unordered_set<std::string> reported;
    for (int i = 0; i < found.Count(); ++i) {
        KDuzNode* duplicate = found[i];
        if (duplicate == nullptr) continue;
        const char* name = duplicate->GetName();
        if (!reported.insert(name != nullptr ? name : "").second) continue;
        report += "\n    ";
        report += name != nullptr ? name : "";
    }
    return false;
}

bool KDuzConnectObjectToScene(KDuzScene* scene, KDuzObject* object) {
    if (scene == nullptr || object == nullptr) return false;
    return scene->ConnectObject(object);
}

}  // namespace duzsdk
