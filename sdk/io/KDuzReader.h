// The base of every file-format reader: the SDK manager, an error object on
// the readers' message table and a message text the importer copies after
// each read. The virtual operations keep a fixed order that every format's
// reader fills in.
#pragma once

#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"

namespace duzsdk {

class KDuzNode;
class KDuzObject;
class KDuzScene;
class KDuzSdkManager;
class KDuzStreamOptions;

class KDuzReader {
public:
    enum EError {
        eFileCorrupted = 0,
        eFileVersionNotSupportedYet = 1,
        eFileVersionNotSupportedAnymore = 2,
        eFileNotOpened = 3,
        eFileNotCreated = 4,
        eWrongPassword = 5,
        eStreamOptionsNotSet = 6,
        eUnidentifiedError = 7,
        eErrorCount = 8
    };
    static const char* const kErrorTexts[eErrorCount];

    explicit KDuzReader(KDuzSdkManager* manager);
    virtual ~KDuzReader();
    KDuzReader(const KDuzReader&) = delete;
    KDuzReader& operator=(const KDuzReader&) = delete;

    // The version of the open file; the base knows none and gives 0.0.0.
    virtual void GetVersion(int& major, int& minor, int& revision);
    virtual bool FileOpen(const char* fileName) = 0;
    virtual bool FileClose() = 0;
    virtual bool IsFileOpen() = 0;
    // The option set for the open file, owned by the caller; null on failure.
    virtual KDuzStreamOptions* GetReadOptions(bool parseFileAsNeeded) = 0;
    virtual bool Read(KDuzScene* scene, KDuzStreamOptions* options) = 0;
    // Appends "\n    " and the name of every node name found more than once
    // below `node` (itself included), each name once, in order of first
    // appearance. True when there is no duplicate.
    virtual bool CheckDuplicateNodeNames(KDuzNode* node, KString& report);

    // The default render resolution from the header of the open file. The
    // importer asks every DUZ reader for it without knowing the reader's
    // class; readers without one answer false and leave the outputs alone.
    virtual bool GetDefaultRenderResolution(KString& cameraName, KString& resolutionMode,
                                            double& width, double& height);

    int GetLastErrorID() const { return mError.GetLastErrorIndex(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }
    KErrorState& GetError() { return mError; }
    const KErrorState& GetError() const { return mError; }
    void GetMessageText(KString& destination) const { destination = mMessageText; }
    const KString& GetMessageText() const { return mMessageText; }
    KDuzSdkManager* GetSdkManager() const { return mManager; }

protected:
    KDuzSdkManager* mManager;
    KErrorState mError;
    KString mMessageText;
};

// False when either is null, else whether the scene took the object.
bool KDuzConnectObjectToScene(KDuzScene* scene, KDuzObject* object);

}  // namespace duzsdk
