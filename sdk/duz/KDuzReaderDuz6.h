// The reader of version 6 DUZ files. It walks the field tree of an opened
// file section by section ("Definitions", "Objects", "Relations", "Version5",
// "Connections", "Takes") and builds the objects, links and takes of a scene.
// Every count and name in the file is treated as hostile: a missing field
// leaves the object's default, and nothing read from the file can make the
// reader touch memory it does not own.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"
#include "sdk/io/IDuzObject.h"
#include "sdk/io/KDuzReader.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KPlugHandle.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duzsdk {

class KDuzCameraSwitcher;
class KDuzCharacter;
class KDuzCharacterLink;
class KDuzImporter;
class KFCurveNode;
class KSortedPtrMap;
class KDuzSceneInfo;
class KDuzThumbnail;
class KDuzNode;
class KDuzObject;
class KDuzPlug;
class KDuzScene;
class KDuzSdkManager;
class KDuzGenericNode;
class KDuzGlobalSettings;
class KDuzStreamOptions;
struct KDuz6RecordContext;
class KDuzStreamOptionsDuzReader;

class KDuzReaderDuz6 : public KDuzReader {
public:
    // Kinds of a file, in the order of its "Definitions".
    using KindList = std::vector<KString>;

    KDuzReaderDuz6(KDuzSdkManager* manager, KDuzImporter* importer);
    ~KDuzReaderDuz6() override;
    KDuzReaderDuz6(const KDuzReaderDuz6&) = delete;
    KDuzReaderDuz6& operator=(const KDuzReaderDuz6&) = delete;

    // ---- the file ----
    // 0.0.0 with error 3 when no file is open.
    void GetVersion(int& major, int& minor, int& revision) override;
    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    bool CheckPassword(const char* password);
    bool GetDefaultRenderResolution(KString& cameraName, KString& resolutionMode, double& width,
                                    double& height) override;

    // ---- reading ----
    bool Read(KDuzScene* scene, KDuzStreamOptions* options) override;
    // Reads `file` instead of the reader's own file when it is given; the
    // names of that file's objects are then kept apart from the caller's.
    virtual bool ReadFromFileObject(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* file);
    KDuzStreamOptions* GetReadOptions(bool parseFileAsNeeded) override;
    // New options owned by the caller, or null.
    virtual KDuzStreamOptionsDuzReader* GetReadOptionsFromFileObject(IDuzObject* file,
                                                                      bool parseFileAsNeeded);

    // ---- sections (the current field list is where each expects it) ----
    bool ReadDefinitions(KDuzScene* scene, KindList& kinds);
    bool ReadObjects(KDuzScene* scene, const KindList& kinds);
    virtual bool ReadObject(KDuzScene* scene, const KString& kind, const KString& subType,
                            const KString& name, const KString& fullName);
    bool ReadModel(KDuzNode& node, const KString& subType);
    bool ReadGenericNode(KDuzGenericNode& node);
    bool ReadNodeProperties(KDuzNode& node);
    bool ReadGlobalSettings(KDuzGlobalSettings& settings);
    // False when the current block has no "Properties60".
    bool ReadProperties60(KDuzObject* object);
    bool ReadRelations(KDuzScene* scene);
    bool ReadGlobalToolsSettings(KDuzScene* scene);
    // "Version5" blocks and the camera "Switcher"; none reports an error.
    bool ReadGlobalLightSettings(KDuzScene* scene);
    bool ReadAmbientRenderSettings(KDuzScene* scene);
    bool ReadFogOptions(KDuzScene* scene);
    bool ReadShadowPlanes(KDuzScene* scene);
    bool ReadTimeSettings(KDuzScene* scene);
    bool ReadRendererSetting(KDuzScene* scene);
    // "Model::" and one of the fixed camera names gives the bare name.
    static KString StripProducerCameraPrefix(const char* name);
    bool ReadCameraSwitcherSection(KDuzScene* scene);
    // The switcher's fields of the current block (the "Switcher" block or a
    // camera switcher's model record).
    bool ReadCameraSwitcher(KDuzCameraSwitcher* switcher);
    // False (the dispatch destroys the constraint) when "CONSTRAINT" is off.
    bool ReadConstraint(KDuzObject* constraint);
    // The current block read by a nested version 5 read into the scene of a
    // character pose, the options named in withContent set to true or, when
    // it is false, to false. False when the read fails or pose scenes are
    // nested too deeply.
    bool ReadCharacterPoseScene(KDuzScene* poseScene, bool withContent);
    // Pose scenes inside pose scenes deeper than this are not read.
    static constexpr int kMaxPoseSceneDepth = 8;
    // The "Offset" fields of a parent constraint of version 101, one per
    // ".Offset R" property in property order.
    void ReadParentConstraintOffsets(KDuzObject& constraint);
    // Properties, then the single links and the link groups.
    bool ReadCharacter(KDuzCharacter& character);
    // The "LINK" fields of the current block, by name or by position.
    void ReadCharacterLinkGroup(KDuzCharacter& character, int group);
    // One link block for one node id (the block is current).
    void ReadCharacterLink(KDuzCharacter& character, int id);
    // The fields of one character link block ("NAME", offsets, rotation
    // space) into the link.
    void ReadCharacterLinkFields(KDuzCharacterLink& link);
    bool ReadConnections(KDuzScene* scene);
    static void RedirectToNodeAttribute(KDuzObject* source, KDuzPlug*& destination);
    bool ReadTakes(KDuzScene* scene);
    // The take's thumbnail goes into the description.
    bool ReadTake(KDuzScene* scene, KDuzTakeDescription& description);
    bool ReadTakeContent(KDuz& duz, KDuzScene* scene, KDuzTakeDescription& description);
    void RemapCameraSwitcherIndices(KDuzScene* scene);
    // ---- take animation post-steps ----
    // "TimeWarps" of the current block: each "TW" curve node under its id
    // (the first of an id keeps it); every node read is listed in `read`,
    // which the caller frees. False without the field.
    static bool ReadTimeWarps(KDuz& duz, KSortedPtrMap& warps, std::vector<KFCurveNode*>& read);
    // Bakes inherited time warps into the curves of the tree, flattens its
    // layered nodes through their warps and runs the rotation clean-up on
    // the nodes that changed.
    static void ApplyTimeWarps(KFCurveNode* node, KFCurveNode* inherited);
    // Resamples the node's curve through the warp (when both have more than
    // one key) and drops the node's time-warp reference.
    static void BakeTimeWarp(KFCurveNode* node, KFCurveNode* warp);
    // Shifts the take's animation by its time offset (the description's
    // local span moves with it); always true.
    bool ApplyTakeTimeOffset(KDuzScene* scene, KDuzTakeDescription& take);
    // A name whose extension is not TIF or TIFF: the file of that name is
    // removed and the extension becomes ".tif". For converted media only.
    static void UseTiffFileName(KString& fileName);
    // Read-option steps; they fill the current read options.
    bool ReadSummary(int* sectionIndex);
    // Puts the given options' scene information and take descriptions into
    // the file's summary. The file being read is never written: the updated
    // summary is kept by the reader and answers the option requests that
    // follow, until the file is closed. True when the file had a summary.
    virtual bool UpdateFileSummary(KDuzStreamOptions* options);
    // Writes a "Summary" section from the options into a new section of a
    // field file open for writing (the last one replaced on request);
    // false, with the field file's error cleared, when it has no room.
    static bool WriteSummary(KDuz& duz, const KDuzStreamOptionsDuzReader& options, bool replaceLast);
    static void WriteSceneInfo(KDuz& duz, const KDuzSceneInfo* info);
    // Nothing for a thumbnail without a size; always true.
    static bool WriteThumbnail(KDuz& duz, const KDuzThumbnail* thumbnail);
    // "SceneInfo" of the current block; null without one of type "UserData".
    KDuzSceneInfo* ReadSceneInfoSection();
    // The body of a scene information record whose block is current.
    KDuzSceneInfo* ReadSceneInfo(const char* type);
    // "Thumbnail" of the current block; null when missing or dropped.
    KDuzThumbnail* ReadThumbnail();
    // The same from another field file (a take file).
    KDuzThumbnail* ReadThumbnailFrom(KDuz& duz);
    virtual void ReadContentInformation();
    void ReadTakeDescriptions();
    void RebuildTrimmedSurfaceRegions(KDuzScene* scene);

    // ---- for the record readers ----
    KDuzImporter* GetImporter() const { return mImporter; }
    IDuzObject* GetFileObject() const { return mFile; }
    // The field file of the read in progress (or of the open file); null
    // when there is none.
    KDuz* GetFieldFile() const { return mFile; }
    KDuzStreamOptionsDuzReader* GetCurrentReadOptions() const { return mReadOptions; }
    // The object registered under a full name during the current read.
    KDuzObject* FindObjectByName(const char* fullName) const;
    KDuzNode* FindNodeByName(const char* name) const;
    int GetNodeMapCount() const { return static_cast<int>(mNodes.size()); }
    // Nodes whose "Model" record was older than version 232, for the node
    // fix-up at the end of a read.
    const std::vector<KDuzNode*>& GetLegacyNodes() const { return mLegacyNodes; }

protected:
    // Shared with the version 5 reader, which reads the same records.
    KDuzObject* CreateGenericObject(const KString& kind, const KString& subType, const KString& name);
    // Maps the name (the first object keeps it) and connects the object.
    void Register(KDuzScene* scene, const KString& fullName, KDuzObject* object);
    bool MapName(const char* fullName, KDuzObject* object);
    void ForgetMirroredNames();
    // The start both DUZ readers share: the option set, the file object (the
    // caller's when given, else the reader's own) and an empty name map,
    // mirrored into the reader's own file object only. False with the error
    // set when the options or the file are missing.
    bool BeginRead(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* file, bool& givenFile);
    void SettleCameraNodes(KDuzScene* scene);
    // "File is corrupted" with the reader's reason: what it was reading, the
    // file's path and the field file's own text when it has one.
    void SetDamaged(const char* what);
    void DropProducerCameraNodes(KDuzScene* scene, const std::vector<KDuzNode*>& nodes);
    void Finalise(KDuzScene* scene);
    void UnmapObjects(const std::unordered_set<const KDuzObject*>& objects);
    KDuz6RecordContext MakeRecordContext();
    bool OptionIsSet(const char* name) const;
    void ForgetUpdatedSummary();
    int CountMarkedTakes() const;
    const KDuzTakeDescription* FindTakeDescription(const char* name) const;

    IDuzObject* mFile = nullptr;   // owned
    KDuzImporter* mImporter;
    KDuzStreamOptionsDuzReader* mReadOptions = nullptr;
    // The summary of the open file as UpdateFileSummary left it, kept apart
    // from the manager's objects so that the reader may outlive them.
    struct UpdatedSummary {
        KDuzOptionTakeInfo takes;
        bool hasSceneInfo = false;
        KString sceneTexts[6];   // title, subject, author, keywords, revision, comment
        KDuzThumbnail* sceneThumbnail = nullptr;   // shared, as scene information shares it
        KString currentTake;
    };
    std::unique_ptr<UpdatedSummary> mUpdatedSummary;
    // Full names of the objects of the current read. The first object of a
    // name keeps it, so duplicate records bind connections the same way on
    // every read; the reader's own file object gets the same names. Each
    // entry keeps a weak handle too: a record may destroy an object another
    // record mapped (a placeholder geometry, a replaced node), and a name
    // must then find nothing rather than a freed object.
    struct MappedObject {
        KDuzObject* object;
        HdlKObject handle;
    };
    std::map<std::string, MappedObject> mNames;
    bool mMirrorNames = false;
    // What this reader put into its own file object's map, so that the next
    // read can take it out again before the scene is cleared.
    std::vector<std::pair<std::string, const KDuzObject*>> mMirrored;
    int mRuntimeClassCount = 0;
    // The options "LINK" and "SHAPE" for the records of one "Objects"
    // section.
    bool mReadLinks = false;
    bool mReadShapes = false;
    std::map<std::string, KDuzNode*> mNodes;
    std::vector<KDuzNode*> mLegacyNodes;
    bool mRenderResolutionPresent = false;
    KString mCameraName;
    KString mResolutionMode;
    double mResolutionWidth = 0.0;
    double mResolutionHeight = 0.0;
};

}  // namespace duzsdk
