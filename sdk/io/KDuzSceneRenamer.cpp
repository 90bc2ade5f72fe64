#include "sdk/io/KDuzSceneRenamer.h"

#include "sdk/io/KDuzRenamingStrategy.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

#include <memory>
#include <vector>

namespace duzsdk {

struct KDuzSceneRenamer::Settings {
    int direction;
    bool noCaseCheck;
    bool replaceCharacters;
    bool digitPrefix;
    const char* inSymbol;
    const char* outSymbol;
    bool resolveNameSpaceClashes;
    bool removeClashMarkers;
};

namespace {

struct ModeRow {
    int mode;
    int direction;
    bool noCaseCheck;
    bool replaceCharacters;
    bool digitPrefix;
    const char* inSymbol;
    const char* outSymbol;
    bool resolveNameSpaceClashes;
    bool removeClashMarkers;
};

constexpr ModeRow kModes[] = {
    {1, 0, false, true, false, ":", ":", true, false},
    {2, 0, false, true, false, ":", ":", false, false},
    {3, 0, false, true, false, ":", ":", true, false},
    {4, 0, true, false, false, ":", ":", true, false},
    {6, 0, false, true, false, ":", ":", false, false},
    {7, 1, false, true, false, ":", ":", false, true},
    {10, 0, true, true, false, ".", ":", false, true},
    {11, 1, false, true, false, ":", ".", true, false},
    {12, 0, true, false, false, ":", ":", false, false},
    {13, 1, true, false, false, ":", ":", false, true},
    {16, 0, true, true, false, ":", ":", false, false},
    {17, 0, true, true, true, ":", "_", false, true},
};

// The classes renamed, in this order; names are made unique within a class.
constexpr EDuzClass kRenamedClasses[] = {
    eDuzClassNode,           eDuzClassNodeAttribute, eDuzClassPose,    eDuzClassGlobalSettings,
    eDuzClassSurfaceMaterial, eDuzClassTexture,      eDuzClassVideo,   eDuzClassDeformer,
    eDuzClassSubDeformer,    eDuzClassConstraint,
};

void RenameObject(KRenamingStrategy& strategy, KDuzObject* object) {
    KDuzObjectName name(object->GetName());
    strategy.Rename(name);
    object->SetNameExtra(name.GetExtraNameString());
    object->SetName(name.GetCurrentName());
}

}  // namespace

void KDuzSceneRenamer::RenameFor(int mode) {
    for (const ModeRow& row : kModes) {
        if (row.mode != mode) continue;
        Run(Settings{row.direction, row.noCaseCheck, row.replaceCharacters, row.digitPrefix,
                     row.inSymbol, row.outSymbol, row.resolveNameSpaceClashes, row.removeClashMarkers});
        return;
    }
}

void KDuzSceneRenamer::Run(const Settings& settings) {
    if (mScene == nullptr) return;
    auto strategy = std::make_unique<KDuzRenamingStrategy>(settings.direction, false);
    mStrategy = strategy.get();
    strategy->SetNoCaseCheck(settings.noCaseCheck);
    strategy->SetInNameSpaceSymbol(KString(settings.inSymbol));
    strategy->SetOutNameSpaceSymbol(KString(settings.outSymbol));
    strategy->SetReplaceCharacters(settings.replaceCharacters);
    strategy->SetDigitPrefix(settings.digitPrefix);

    std::vector<KDuzObject*> objects;
    for (EDuzClass renamedClass : kRenamedClasses) {
        objects.clear();
        KDuzCollectSrcObjects(mScene, KDuzClassIdOf(renamedClass), objects);
        if (settings.direction == KDuzRenamingStrategy::eDecode) {
            for (KDuzObject* object : objects) RenameObject(*strategy, object);
            continue;
        }
        // Case clashes first, then equal names; each mode change forgets the
        // names used so far.
        strategy->SetClashMode(KDuzRenamingStrategy::eClashNoNumbering);
        for (KDuzObject* object : objects) RenameObject(*strategy, object);
        strategy->SetClashMode(KDuzRenamingStrategy::eClashNoCaseCheck);
        for (KDuzObject* object : objects) RenameObject(*strategy, object);
    }

    if (settings.resolveNameSpaceClashes) strategy->ResolveNameSpaceClashes(mScene->GetRootNode(), true);
    if (settings.removeClashMarkers) strategy->RemoveNameSpaceClashMarkers(mScene->GetRootNode());
    mStrategy = nullptr;
}

}  // namespace duzsdk
