// The description of a point-cache file that a vertex-cache deformer plays:
// its relative and absolute file names and its file type. Reading or
// writing the samples themselves is not part of this SDK.
#pragma once

#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzProperty.h"

namespace duzsdk {

// The cache's messages, by error code. No operation here reports them; they
// belong to the cache-file operations.
inline constexpr const char* kDuzCacheErrorTexts[] = {
    "Point cache data is not supported on this architecture",
    "Invalid absolute path",
    "Invalid sampling rate",
    "Invalid/unspecified cache format",
    "Unsupported file version",
    "Conversion from PC2 to MC failed",
    "Conversion from MC to PC2 failed",
    "Cache file not found",
    "Cache file not opened",
    "Cache file could not be created",
    "Invalid open flag",
    "Error writing sample data",
    "Error reading sample data",
};

class KDuzCache : public KDuzObject {
public:
    KDuzCache(KDuzSdkManager* manager, const char* name);
    ~KDuzCache() override;

    static KDuzCache* Create(KDuzSdkManager* manager, const char* name);
    static KDuzPlug* ClassCreator(KDuzSdkManager* manager, const char* name);
    static KClassId ClassId();
    KClassId GetClassId() const override;
    void PostCreate() override;
    int GetNameKind() const override { return eDuzNameKindCache; }
    // A new cache of this name for every mode (unlike the other classes,
    // which clone in mode 2 only); the file names and type are not copied.
    KDuzObject* Clone(int mode) override;

    void SetCacheFileName(const char* relative, const char* absolute);
    void GetCacheFileName(KString& relative, KString& absolute) const;
    bool SetCacheFileType(int type);
    int GetCacheFileType() const;

    // Drops the opened cache files (none is ever opened here).
    void ReleaseFiles();
    KErrorState& GetError() { return mError; }

private:
    KErrorState mError;
    // Place-holders for the opened cache files; this SDK opens none.
    void* mFiles[2] = {nullptr, nullptr};
    int mCounters[3] = {0, 0, 0};
    KDuzTypedProperty<KString> mFileName;
    KDuzTypedProperty<KString> mAbsoluteFileName;
    KDuzTypedProperty<int> mFileType;
};

}  // namespace duzsdk
