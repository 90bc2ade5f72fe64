// Turns a file into the contents of a scene. The importer parses nothing
// itself: the file-format registry makes the reader for the file, the reader
// opens it and reports its version, the reader's option set carries the
// file's takes and summary, and the reader's read fills the scene.
#pragma once

#include "sdk/base/KDynamicArray.h"
#include "sdk/io/KDuzIO.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duzsdk {

class IDuzObject;
class KDuzReader;
class KDuzScene;
class KDuzSceneInfo;
class KDuzStreamOptionsDuzReader;

class KDuzImporter : public KDuzIO {
public:
    KDuzImporter(KDuzSdkManager* manager, const char* name);
    ~KDuzImporter() override;

    static KDuzImporter* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;

    // Forgets the previous file, stores the name and opens the file through
    // a new reader.
    bool Initialize(const char* fileName) override;
    // Reads the initialised file into the scene; the option set may be null.
    bool Import(KDuzScene* scene, KDuzStreamOptions* options = nullptr);
    // The reader's option set for the current file (owned by the caller);
    // null on failure.
    KDuzStreamOptions* GetImportOptions(bool silent = false);

    // Reads a second time from an already opened file object the DUZ 5 way.
    KDuzStreamOptions* GetOptionsWithDuz5Reader(IDuzObject* fileObject);
    bool ReadWithDuz5Reader(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* fileObject);

    void GetFileVersion(int& major, int& minor, int& revision) const {
        major = mMajor;
        minor = mMinor;
        revision = mRevision;
    }
    // The default render resolution the file's header held; false without one.
    bool GetDefaultRenderResolution(KString& cameraName, KString& resolutionMode, double& width,
                                    double& height) const;

    int GetTakeDescriptionCount() const { return mTakes.Count(); }
    // Null outside 0 .. count - 1.
    const KDuzTakeDescription* GetTakeDescription(int index) const { return mTakes.GetAt(index, nullptr); }
    const KString& GetCurrentTakeName() const { return mCurrentTakeName; }
    KDuzSceneInfo* GetSceneInfo() const { return mSceneInfo; }
    int GetFormatIndex() const { return mFormatIndex; }
    KDuzReader* GetReader() const { return mReader; }

private:
    void Reset();
    void DestroyReader();
    void DestroySceneInfo();
    bool OpenFile();
    // Sets error 1 when the file names a major version above 6; true then.
    bool RejectNewerVersion();
    void TakeInfoFromOptions(KDuzStreamOptionsDuzReader& options);
    void SetErrorFromReader();
    void TakeInfoToOptions(KDuzStreamOptions* options) const;
    void DeleteTakeDescriptions();

    int mFormatIndex = -1;
    KDuzReader* mReader = nullptr;   // owned
    bool mTakeInfoFetched = false;
    KPointerArray<KDuzTakeDescription> mTakes{16};   // owned records
    KDuzSceneInfo* mSceneInfo = nullptr;              // owned, not registered
    KString mCurrentTakeName;
    int mMajor = 0;
    int mMinor = 0;
    int mRevision = 0;
    bool mRenderResolution = false;
    KString mCameraName;
    KString mResolutionMode;
    double mWidth = 0.0;
    double mHeight = 0.0;
};

}  // namespace duzsdk
