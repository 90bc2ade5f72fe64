// The base of every file-format writer: the SDK manager, an error object on
// the writers' message table, the message text the exporter copies after
// each write, and the node-name checks all formats share.
#pragma once

#include <cstdint>

#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"

namespace duzsdk {

class KDuz;
class KDuzNode;
class KDuzScene;
class KDuzSdkManager;
class KDuzStreamOptions;

class KDuzWriter {
public:
    enum EError {
        eFileCorrupted = 0,
        eFileNotOpened = 1,
        eFileNotCreated = 2,
        eOutOfDiskSpace = 3,
        eStreamOptionsNotSet = 4,
        eEmbeddedOutOfMemory = 5,
        eUnidentifiedError = 6,
        eErrorCount = 7
    };
    static const char* const kErrorTexts[eErrorCount];

    explicit KDuzWriter(KDuzSdkManager* manager);
    virtual ~KDuzWriter();
    KDuzWriter(const KDuzWriter&) = delete;
    KDuzWriter& operator=(const KDuzWriter&) = delete;

    virtual bool FileCreate(const char* fileName) = 0;
    virtual bool FileClose() = 0;
    virtual bool IsFileOpen() = 0;
    virtual KDuzStreamOptions* GetWriteOptions() = 0;
    virtual bool Write(KDuzScene* scene, KDuzStreamOptions* options) = 0;
    virtual bool PreprocessScene(KDuzScene* scene) = 0;
    virtual bool PostprocessScene(KDuzScene* scene) = 0;
    // Below a root with exactly one child, follows the single-child chain
    // and returns the first node that carries its own flag; null otherwise.
    virtual KDuzNode* FindFlaggedNodeInChain(KDuzScene* scene);
    // Appends "\n    " and the name of the node and of every descendant
    // whose name holds a blank, tab or newline; false when any did.
    virtual bool CheckNodeNames(KDuzNode* node, KString& report);

    int GetLastErrorID() const { return mError.GetLastErrorIndex(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }
    KErrorState& GetError() { return mError; }
    void GetMessageText(KString& destination) const { destination = mMessageText; }
    const KString& GetMessageText() const { return mMessageText; }
    KDuzSdkManager* GetSdkManager() const { return mManager; }

protected:
    // Copies a texture file to `target` beside the written file. Only a
    // regular file is copied (the name may come from a hostile file, and a
    // FIFO would block); anything else is skipped with a warning in the
    // message text. A copy is whole or absent. False when nothing was copied.
    bool CopyTextureFileTo(const char* source, const char* target);
    // A write that the field file refused: out of disk space, with the
    // field file's own reason when it gives one (a binary file's size
    // limit, a value it cannot store).
    void SetFieldFileError(const KDuz* file);

    KDuzSdkManager* mManager;
    KErrorState mError;
    KString mMessageText;
    KString mExtraText;       // for the derived writers
    int64_t mExtraValue = 0;  // for the derived writers
    int mExtraInt = 0;        // for the derived writers
};

// A record of the DUZ 5 writer: a name, a second text and three flags.
struct KDuzGoboRecord {
    explicit KDuzGoboRecord(const char* text) : name(text != nullptr ? text : "") {}
    KString name;
    KString second;
    bool flags[3] = {false, false, false};
};

}  // namespace duzsdk
