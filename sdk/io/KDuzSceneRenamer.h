// Renames the objects of a whole scene for a file format: one of seventeen
// numbered conversions, run by the writers before they write a scene and by
// the Collada reader after it read one.
#pragma once

namespace duzsdk {

class KDuzScene;
class KDuzRenamingStrategy;

class KDuzSceneRenamer {
public:
    // The conversions the Collada reader and writer use. Modes 5, 8, 9, 14,
    // 15 and any number outside 1 to 17 do nothing.
    enum EMode {
        eColladaReader = 16,
        eColladaWriter = 17,
    };

    explicit KDuzSceneRenamer(KDuzScene* scene) : mScene(scene) {}
    // Owns nothing: the scene is the caller's.
    ~KDuzSceneRenamer() = default;
    KDuzSceneRenamer(const KDuzSceneRenamer&) = delete;
    KDuzSceneRenamer& operator=(const KDuzSceneRenamer&) = delete;

    void RenameFor(int mode);

private:
    struct Settings;
    void Run(const Settings& settings);

    KDuzScene* mScene;
    // Exists only while a renaming runs.
    KDuzRenamingStrategy* mStrategy = nullptr;
};

}  // namespace duzsdk
