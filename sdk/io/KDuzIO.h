// The common base of the importer and the exporter: the file name, the error
// object on the import/export message table and a copy of the last reader's
// or writer's message text.
#pragma once

#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"
#include "sdk/object/KDuzObject.h"

namespace duzsdk {

class KDuzStreamOptions;

class KDuzIO : public KDuzObject {
public:
    enum EError {
        eFileCorrupted = 0,
        eFileVersionNotSupportedYet = 1,
        eFileVersionNotSupportedAnymore = 2,
        eFileNotOpened = 3,
        eFileNotCreated = 4,
        eOutOfDiskSpace = 5,
        eUninitializedFilename = 6,
        eUnidentifiedError = 7,
        eIndexOutOfRange = 8,
        ePasswordError = 9,
        eStreamOptionsNotSet = 10,
        eEmbeddedOutOfMemory = 11,
        eErrorCount = 12
    };
    static const char* const kErrorTexts[eErrorCount];

    KDuzIO(KDuzSdkManager* manager, const char* name);
    ~KDuzIO() override;

    static KClassId ClassId();
    KClassId GetClassId() const override;

    // Stores the file name; always true.
    virtual bool Initialize(const char* fileName);
    virtual KString GetFileName() const { return mFileName; }
    // Progress of the readers and writers. No receiver exists: with an
    // active option set and a detail the status text is composed for a
    // receiver to come, then dropped.
    virtual void SetProgressStatus(int status, const char* text, const char* detail, float percentage);

    KErrorState& GetError() { return mError; }
    const KErrorState& GetError() const { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorIndex(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }
    const KString& GetMessageText() const { return mMessageText; }
    KDuzStreamOptions* GetActiveOptions() const { return mActiveOptions; }

protected:
    KErrorState mError;
    KString mFileName;
    KDuzStreamOptions* mActiveOptions = nullptr;   // not owned; set during a nested write
    KString mMessageText;
};

// The property's value as a text.
KString KDuzPropertyGetKString(const KDuzProperty& property);

}  // namespace duzsdk
