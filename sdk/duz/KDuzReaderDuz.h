// The reader of DUZ files before version 6. Files of version 5.8 and later
// that list their kinds in "Definitions" keep one record per object in
// "Objects" (the layered layout, close to version 6 except that a model
// record holds its geometry); older files keep top-level "Model" fields with
// their children, targets and attribute fields by name (the old layout).
// The records both versions share are read by the version 6 reader's code,
// which this reader extends: derived from it, this reader reads the same
// records with the same code and the same checks. Where version 5 gives a
// shared record other values, this reader reads it itself or corrects what
// the shared code read: the shading model of a material is lowered, a
// texture's UV translation and scaling give V first, its cropping values
// are kept as fourth, second, third and first, the fog colour has alpha 1,
// character links are found by name in any group and keep their offsets
// without a node or template name, and a cluster's transforms follow the
// link's matrix. Every count, index and name is hostile input.
#pragma once

#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/duz/KDuzReaderDuz6.h"

namespace duzsdk {

class KDuzCamera;
class KDuzCharacter;
class KDuzCluster;
class KDuzControlSet;
class KDuzGeometry;
class KDuzLight;
class KDuzMesh;
class KDuzTexture;
class KDuzSurfaceMaterial;

class KDuzReaderDuz : public KDuzReaderDuz6 {
public:
    KDuzReaderDuz(KDuzSdkManager* manager, KDuzImporter* importer);
    ~KDuzReaderDuz() override;

    bool ReadFromFileObject(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* file) override;
    void ReadContentInformation() override;

    // True when the open file keeps the old layout (see the class comment);
    // set from the file version, and for 5.8.0 from "Definitions".
    bool IsOldLayout() const;
    // Sets the layout flag of the file object from the file's version; with
    // openMainSection the main section is opened (and closed) for the 5.8.0
    // test, else the open section is looked at.
    void UpdatePropertyFormatFlag(bool openMainSection);

    // ---- objects and models
    bool ReadObject(KDuzScene* scene, const KString& kind, const KString& subType, const KString& name,
                    const KString& fullName) override;
    bool ReadTopLevelModels(KDuzScene* scene);
    bool ReadModel5(KDuzNode& node);
    void ReadNodeAttribute5(KDuzNode& node);
    // Old "Properties" blocks: a field per property, named like it.
    bool ReadOldProperties(KDuzObject* object);
    bool ResolveNodeLinks(KDuzNode* root);

    // ---- records
    void ReadModelTargets(KDuzNode& node);
    void ReadModelChildren(KDuzNode& node);
    void ReadModelLimits(KDuzNode& node);
    void ReadModelPivots(KDuzNode& node);
    void ReadModelDefaultChannels(KDuzNode& node);
    void CopyTakeDefaultsToProperties(KDuzNode& node);
    bool ReadCamera(KDuzCamera* camera);
    void ReadUserProperties(KDuzObject* object);

    // ---- geometry
    bool ReadMesh(KDuzMesh* mesh);
    void ReadInlineMaterialsAndTextures(KDuzGeometry* geometry);
    // One group per polygon, or every polygon in group 0.
    void ReadPolygonGroups(KDuzMesh* mesh);
    // False (and an empty element) when the counts do not fit the mapping.
    bool ReadVertexColors(KDuzMesh* mesh);
    void ReadMeshTextureId(KDuzMesh* mesh);
    void ExtendTextureDirectArrays(KDuzMesh* mesh);
    // One "LayerTextureInfo" block into the layer's texture and UV
    // elements; false for a value outside its table.
    bool ReadLayerTextureMode(KDuzGeometry* geometry, int layerIndex);
    bool ReadOldMaterial(KDuzSurfaceMaterial* material);
    bool ReadOldTexture(KDuzTexture* texture);
    bool ReadOldCluster(KDuzCluster* cluster);
    void ReadOldLinks(KDuzGeometry* geometry);

    // ---- sections
    // The version 6 light settings, with a fog colour of alpha 1: version 5
    // files give the fog no alpha of its own.
    bool ReadGlobalLightSettings(KDuzScene* scene);
    void ReadOldGlobalSettings(KDuzScene* scene);
    void ReadMedia(KDuzScene* scene);
    // The file of a media body: its extracted content, else the first of
    // "Filename" and "RelativeFilename" (both taken from the file's folder)
    // that exists, else the one the record names.
    KString ReadMediaFileName();
    KString ChooseMediaPath(const KString& fileName, const KString& relativeName);
    void ReadGoboManager(KDuzScene* scene);
    void MergeDuplicateTextures(KDuzScene* scene);
    void MergeDuplicateMaterials(KDuzScene* scene);

    // ---- characters and poses
    void ReadCharacters(KDuzScene* scene);
    void ReadOldCharacterBody(KDuzCharacter& character, int& inputType, int& inputIndex);
    void ReadControlSet(KDuzControlSet& controlSet);
    void ReadCharacterParameters(KDuzCharacter& character);
    void ReadSceneGenericPersistence(KDuzScene* scene);
    // False when a bind or rest pose was met (those are left to the bind
    // and rest pose pass).
    bool ReadPoses(KDuzScene* scene);
    void ReadBindRestPoses(KDuzScene* scene);

private:
    bool OldLayout() const { return mFile != nullptr && mFile->GetPropertyFormatFlag(); }
    // The version 6 reader's property block reader, or the old one.
    bool ReadObjectProperties(KDuzObject* object);
    void ReadCharacterLinkOld(KDuzCharacter& character, int id);
    void ReadCharacterGroupLinksOld(KDuzCharacter& character, int group);
    void SettleCameraNodes5(KDuzScene* scene);
    void ResolvePendingTextures(KDuzScene* scene);
    // Names of each removed object now name its kept twin; then the removed
    // objects are destroyed.
    void DropAndRemap(const std::unordered_map<KDuzObject*, KDuzObject*>& twins);
    // Every node below root by name, the first in pre-order keeping a name
    // (the node KDuzNode::FindChild finds), for links by name in one pass.
    static std::unordered_map<std::string, KDuzNode*> IndexNodesBelow(KDuzNode* root);

    // Links a file gives by name, made once every model exists.
    std::multimap<std::string, KDuzNode*> mPendingLookAt;
    std::multimap<std::string, KDuzNode*> mPendingUpVector;
    std::multimap<std::string, KDuzCamera*> mPendingTextures;
    std::vector<std::pair<KDuzNode*, std::vector<KString>>> mChildNames;
    struct ClusterNames {
        KString link;
        KString associate;
    };
    std::map<KDuzCluster*, ClusterNames> mClusterNames;
    // The textures of the geometry being read, in file order; positions in
    // this list are the texture indices of the old records.
    std::vector<KDuzTexture*> mInlineTextures;
    int mUnnamedCharacters = 0;
    // Kinds of records read past because this SDK has no class for them,
    // named in the reader's message after the read.
    std::set<std::string> mSkippedKinds;
};

}  // namespace duzsdk
