#include "sdk/io/KDuzImporter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "sdk/duz/KDuzReaderDuz.h"

#include "sdk/io/KDuz.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/io/KDuzReader.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"

namespace duzsdk {

namespace {

constexpr int kNewestMajorVersion = 6;

int FirstDuzReaderIndex() {
    const KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
    return registry != nullptr ? registry->GetFirstDuzReaderIndex() : -1;
}

// Why the system cannot open the file for reading; empty when it can.
std::string SystemReasonNotOpened(const char* path) {
    struct stat info {};
    if (stat(path, &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
    if (!S_ISREG(info.st_mode)) return "Not a regular file";
    if (access(path, R_OK) != 0) return std::strerror(errno);
    return std::string();
}

bool IsDuzFormat(int formatIndex) {
    const KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
    return registry != nullptr && registry->GetReaderFlag(formatIndex) != 0;
}

}  // namespace

KDuzImporter::KDuzImporter(KDuzSdkManager* manager, const char* name)
    : KDuzIO(manager, name), mFormatIndex(FirstDuzReaderIndex()) {
    Reset();
}

KDuzImporter::~KDuzImporter() { Reset(); }

KDuzImporter* KDuzImporter::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzImporter*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzImporter::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* importer = new KDuzImporter(manager, name);
    importer->PostCreate();
    return importer;
}

KClassId KDuzImporter::ClassId() { return KDuzClassIdOf(eDuzClassImporter); }

KClassId KDuzImporter::GetClassId() const { return ClassId(); }

void KDuzImporter::DestroyReader() {
    delete mReader;
    mReader = nullptr;
    mTakeInfoFetched = false;
}

void KDuzImporter::DeleteTakeDescriptions() { KDuzTakeDescriptionArrayDeleteAll(mTakes); }

void KDuzImporter::DestroySceneInfo() {
    delete mSceneInfo;
    mSceneInfo = nullptr;
}

void KDuzImporter::Reset() {
    DestroyReader();
    DeleteTakeDescriptions();
    mCurrentTakeName = "";
    DestroySceneInfo();
    mMajor = mMinor = mRevision = 0;
    mMessageText = "";
    mRenderResolution = false;
    mCameraName = "";
    mResolutionMode = "";
    mWidth = 0.0;
    mHeight = 0.0;
}

bool KDuzImporter::Initialize(const char* fileName) {
    Reset();
    KDuzIO::Initialize(fileName);
    return OpenFile();
}

bool KDuzImporter::RejectNewerVersion() {
    // The field file refuses a newer file before any reader sees its
    // version, so no reader is made for it; the version it recorded while
    // refusing still tells the caller why.
    KDuz probe;
    if (probe.ProjectOpenForReader(mFileName.Buffer(), false, false)) {
        probe.ProjectClose();
        return false;
    }
    if (probe.GetSectionCount() < 1) return false;
    int major = 0;
    int minor = 0;
    int revision = 0;
    KDuzSplitVersion(probe.GetSectionVersion(0), &major, &minor, &revision);
    if (major <= kNewestMajorVersion) return false;
    KString text = KStringConcatInt(KString("DUZ File version "), major);
    text += " is not supported in this product";
    mError.SetLastErrorWithText(eFileVersionNotSupportedYet, text.Buffer());
    return true;
}

bool KDuzImporter::OpenFile() {
    if (mFileName.IsEmpty()) {
        mError.SetLastError(eUninitializedFilename);
        return false;
    }
    DestroyReader();
    KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
    if (GetSdkManager() != nullptr && registry != nullptr)
        mReader = registry->CreateReader(GetSdkManager(), this, mFormatIndex);
    if (mReader == nullptr) {
        if (IsDuzFormat(mFormatIndex)) RejectNewerVersion();
        return false;
    }
    if (!mReader->FileOpen(mFileName.Buffer())) {
        // A newer file is refused with its version, before any other reason.
        if (IsDuzFormat(mFormatIndex) && RejectNewerVersion()) {
            DestroyReader();
            return false;
        }
        int index = mReader->GetLastErrorID();
        if (index < 0 || index > eFileNotOpened) index = eUnidentifiedError;
        // A file that cannot be opened at all says why in the system's words
        // (no such file, a folder, no permission); otherwise the reader's own
        // reason stands.
        const std::string reason = SystemReasonNotOpened(mFileName.Buffer());
        if (!reason.empty()) {
            mError.SetLastErrorWithText(eFileNotOpened, ("File not opened: " + reason).c_str());
        } else {
            mError.SetLastErrorWithText(index, mReader->GetLastErrorString());
        }
        DestroyReader();
        return false;
    }
    mReader->GetVersion(mMajor, mMinor, mRevision);
    if (!IsDuzFormat(mFormatIndex)) return true;
    if (mMajor <= kNewestMajorVersion) {
        mRenderResolution =
            mReader->GetDefaultRenderResolution(mCameraName, mResolutionMode, mWidth, mHeight);
        return true;
    }
    KString text = KStringConcatInt(KString("DUZ File version "), mMajor);
    text += " is not supported in this product";
    mError.SetLastErrorWithText(eFileVersionNotSupportedYet, text.Buffer());
    DestroyReader();
    return false;
}

bool KDuzImporter::GetDefaultRenderResolution(KString& cameraName, KString& resolutionMode,
                                              double& width, double& height) const {
    if (!mRenderResolution) return false;
    cameraName = mCameraName;
    resolutionMode = mResolutionMode;
    width = mWidth;
    height = mHeight;
    return true;
}

KDuzStreamOptions* KDuzImporter::GetImportOptions(bool silent) {
    if (mReader == nullptr && !OpenFile()) return nullptr;
    KDuzStreamOptions* options = mReader->GetReadOptions(!silent);
    if (options == nullptr) {
        if (!silent) SetErrorFromReader();
        return nullptr;
    }
    if (auto* duzOptions = dynamic_cast<KDuzStreamOptionsDuzReader*>(options))
        TakeInfoFromOptions(*duzOptions);
    return options;
}

void KDuzImporter::TakeInfoFromOptions(KDuzStreamOptionsDuzReader& options) {
    DeleteTakeDescriptions();
    for (int i = 0; i < options.GetTakeDescriptionCount(); ++i) {
        const KDuzTakeDescription* take = options.GetTakeDescription(i);
        if (take != nullptr) mTakes.Add(new KDuzTakeDescription(*take));
    }
    DestroySceneInfo();
    if (options.GetSceneInfo() != nullptr) {
        // Kept out of the manager's registry: the manager destroys its
        // objects in its own order, and the importer must not be left
        // pointing at a summary destroyed before it.
        mSceneInfo = static_cast<KDuzSceneInfo*>(KDuzSceneInfo::ClassCreator(GetSdkManager(), ""));
        mSceneInfo->Copy(*options.GetSceneInfo());
    }
    mCurrentTakeName = KDuzPropertyGetKString(options.GetOption("CURRENT TAKE NAME"));
    mTakeInfoFetched = true;
}

void KDuzImporter::TakeInfoToOptions(KDuzStreamOptions* options) const {
    auto* duzOptions = dynamic_cast<KDuzStreamOptionsDuzReader*>(options);
    if (duzOptions == nullptr) return;
    duzOptions->DeleteTakeDescriptions();
    for (int i = 0; i < mTakes.Count(); ++i)
        duzOptions->AddTakeDescription(new KDuzTakeDescription(*mTakes[i]));
}

// The reader knows what was wrong (and where): its text goes with the
// importer's error.
void KDuzImporter::SetErrorFromReader() {
    const char* text = mReader != nullptr ? mReader->GetLastErrorString() : nullptr;
    if (mReader != nullptr && mReader->GetLastErrorID() >= 0 && text != nullptr && text[0] != '\0')
        mError.SetLastErrorWithText(eUnidentifiedError, text);
    else
        mError.SetLastError(eUnidentifiedError);
}

bool KDuzImporter::Import(KDuzScene* scene, KDuzStreamOptions* options) {
    if (mReader == nullptr && !OpenFile()) return false;
    const bool duzFormat = IsDuzFormat(mFormatIndex);
    // A set made here is the importer's to destroy: left with the manager,
    // every import would add one more.
    KDuzStreamOptions* ownedOptions = nullptr;
    if (options != nullptr) {
        if (duzFormat && mTakeInfoFetched) TakeInfoToOptions(options);
    } else if (duzFormat && mTakeInfoFetched) {
        ownedOptions = KDuzStreamOptionsDuzReader::Create(GetSdkManager(), "");
        TakeInfoToOptions(ownedOptions);
        options = ownedOptions;
    }
    if (options == nullptr) {
        ownedOptions = GetImportOptions(false);
        if (ownedOptions == nullptr) return false;
        mTakeInfoFetched = true;
        options = ownedOptions;
    }
    const bool result = mReader->Read(scene, options);
    if (result && mSceneInfo != nullptr && scene != nullptr) {
        KDuzSceneInfo* info = scene->GetSceneInfo();
        if (info == nullptr) {
            info = KDuzSceneInfo::Create(GetSdkManager(), "");
            if (info != nullptr) scene->SetSceneInfo(info);
        }
        if (info != nullptr) info->Copy(*mSceneInfo);
    }
    mReader->GetMessageText(mMessageText);
    if (!result) {
        if (mReader->GetLastErrorID() == KDuzReader::eWrongPassword) {
            mError.SetLastErrorWithText(ePasswordError,
                                        "File is password protected and the provided password is wrong.");
        } else {
            SetErrorFromReader();
        }
    }
    if (ownedOptions != nullptr) ownedOptions->Destroy();
    return result;
}

KDuzStreamOptions* KDuzImporter::GetOptionsWithDuz5Reader(IDuzObject* fileObject) {
    if (fileObject == nullptr) {
        mError.SetLastError(eFileNotCreated);
        return nullptr;
    }
    // A reader of its own for the file object another reader holds open.
    KDuzReaderDuz reader(GetSdkManager(), this);
    KDuzStreamOptions* options = reader.GetReadOptionsFromFileObject(fileObject, true);
    if (options == nullptr) mError.SetLastError(eUnidentifiedError);
    return options;
}

bool KDuzImporter::ReadWithDuz5Reader(KDuzScene* scene, KDuzStreamOptions* options,
                                      IDuzObject* fileObject) {
    if (options == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        return false;
    }
    if (fileObject == nullptr) {
        mError.SetLastError(eFileNotCreated);
        return false;
    }
    KDuzReaderDuz reader(GetSdkManager(), this);
    const bool result = reader.ReadFromFileObject(scene, options, fileObject);
    if (!result) mError.SetLastError(eUnidentifiedError);
    return result;
}

}  // namespace duzsdk
