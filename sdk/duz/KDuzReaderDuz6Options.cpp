// Read options filled from a version 6 file before an import: what the file
// holds, whether it is a template or protected, and its takes. They come
// from the "Summary" kept in an extra section, else from the main section.
#include <cstring>
#include <memory>

#include "sdk/base/KProgress.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/io/KDuzStreamOptionsDuz.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzThumbnail.h"

namespace duzsdk {

namespace {

KString KDuzSceneInfo::* const kSceneTexts[6] = {&KDuzSceneInfo::title,    &KDuzSceneInfo::subject,
                                                 &KDuzSceneInfo::author,   &KDuzSceneInfo::keywords,
                                                 &KDuzSceneInfo::revision, &KDuzSceneInfo::comment};

void ReadTakeFields(KDuz& duz, KDuzTakeDescription& take) {
    take.comments = duz.FieldReadStringOrDefault("Comments", "");
    duz.FieldReadTimeSpanByName("LocalTime", &take.localStart, &take.localStop);
    duz.FieldReadTimeSpanByName("ReferenceTime", &take.referenceStart, &take.referenceStop);
}

}  // namespace

KDuzStreamOptions* KDuzReaderDuz6::GetReadOptions(bool parseFileAsNeeded) {
    return GetReadOptionsFromFileObject(nullptr, parseFileAsNeeded);
}

KDuzStreamOptionsDuzReader* KDuzReaderDuz6::GetReadOptionsFromFileObject(IDuzObject* file,
                                                                          bool parseFileAsNeeded) {
    KDuzStreamOptionsDuzReader* options = KDuzStreamOptionsDuzReader::Create(mManager, "");
    if (options == nullptr) return nullptr;
    IDuzObject* ownFile = mFile;
    if (file != nullptr) mFile = file;
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        options->Destroy();
        return nullptr;
    }
    mReadOptions = options;

    bool success = false;
    if (mFile->GetCurrentSectionIndex() < 0) {
        int section = -1;
        if (ReadSummary(&section)) {
            success = true;
        } else if (parseFileAsNeeded && mFile->ProjectOpenMainSection()) {
            // The summary is not written back here: asking for options must
            // not change the file being read.
            ReadContentInformation();
            mFile->FinishBeforeClose();
            success = true;
        } else if (parseFileAsNeeded) {
            SetDamaged("the main section");
        } else {
            mError.SetLastErrorWithText(eUnidentifiedError, "The file holds no summary, and reading its content was not asked for");
        }
    } else if (parseFileAsNeeded) {
        ReadContentInformation();
        success = true;
    }

    // What UpdateFileSummary put into the summary of the reader's own file.
    if (success && file == nullptr && mUpdatedSummary != nullptr) {
        KDuzSceneInfo* info = options->GetSceneInfo();
        options->GetTakeInfo().CopyFrom(mUpdatedSummary->takes);
        if (!mUpdatedSummary->hasSceneInfo) {
            if (info != nullptr) info->Destroy();
            info = nullptr;
        } else if (info != nullptr || (info = KDuzSceneInfo::Create(mManager, "")) != nullptr) {
            for (int i = 0; i < 6; ++i) (*info).*kSceneTexts[i] = mUpdatedSummary->sceneTexts[i];
            info->SetSceneThumbnail(mUpdatedSummary->sceneThumbnail);
        }
        options->SetSceneInfo(info);
        options->SetStringOption("CURRENT TAKE NAME", mUpdatedSummary->currentTake.Buffer());
    }
    mFile = ownFile;
    mReadOptions = nullptr;
    if (!success) {
        options->Destroy();
        return nullptr;
    }
    return options;
}

void KDuzReaderDuz6::ForgetUpdatedSummary() { mUpdatedSummary.reset(); }

bool KDuzReaderDuz6::UpdateFileSummary(KDuzStreamOptions* options) {
    auto* given = dynamic_cast<KDuzStreamOptionsDuzReader*>(options);
    if (given == nullptr || mFile == nullptr || mFile->GetCurrentSectionIndex() >= 0) return false;
    KDuzStreamOptionsDuzReader* read = KDuzStreamOptionsDuzReader::Create(mManager, "");
    if (read == nullptr) return false;
    mReadOptions = read;
    int section = -1;
    const bool found = ReadSummary(&section);
    mReadOptions = nullptr;
    if (!found) {
        read->Destroy();
        return false;
    }
    auto updated = std::make_unique<UpdatedSummary>();
    // Scene information: the given one's, or an empty one where the file
    // had some.
    KDuzSceneInfo* fileInfo = read->GetSceneInfo();
    const KDuzSceneInfo* givenInfo = given->GetSceneInfo();
    updated->hasSceneInfo = fileInfo != nullptr || givenInfo != nullptr;
    if (givenInfo != nullptr) {
        for (int i = 0; i < 6; ++i) updated->sceneTexts[i] = (*givenInfo).*kSceneTexts[i];
        updated->sceneThumbnail = givenInfo->GetSceneThumbnail();
    }
    if (fileInfo != nullptr) fileInfo->Destroy();
    read->SetSceneInfo(nullptr);
    // The given descriptions over the file's, index by index; the ones the
    // file did not have are added rather than dropped.
    updated->takes.CopyFrom(read->GetTakeInfo());
    for (int i = 0; i < given->GetTakeDescriptionCount(); ++i) {
        const KDuzTakeDescription* take = given->GetTakeDescription(i);
        if (take == nullptr) continue;
        if (KDuzTakeDescription* existing = updated->takes.GetTakeDescription(i))
            existing->Assign(*take);
        else
            updated->takes.AddTakeDescriptionCopy(*take);
    }
    updated->takes.SetSceneInfo(nullptr);
    updated->currentTake = read->GetStringOption("CURRENT TAKE NAME");
    read->Destroy();
    mUpdatedSummary = std::move(updated);
    return true;
}

bool KDuzReaderDuz6::ReadSummary(int* sectionIndex) {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || mReadOptions == nullptr) return false;
    int found = -1;
    for (int i = duz->GetExtraSectionCount() - 1; i >= 0 && found < 0; --i) {
        if (!duz->ProjectOpenExtraSection(i)) continue;
        if (duz->FieldReadBegin("Summary"))
            found = i;
        else
            duz->FinishBeforeClose();
    }
    if (found < 0) return false;
    if (sectionIndex != nullptr) *sectionIndex = found;
    if (duz->FieldReadBlockBegin()) {
        const int version = duz->FieldReadIntOrDefault("Version", 100);
        mReadOptions->SetBoolOption("TEMPLATE", duz->FieldReadIntOrDefault("Template", 0) != 0);
        mReadOptions->SetBoolOption("PASSWORD ENABLE", duz->FieldReadIntOrDefault("PasswordProtection", 0) != 0);
        if (duz->FieldReadBegin("ContentCount")) {
            if (duz->FieldReadBlockBegin()) {
                mReadOptions->SetIntOption("MODEL COUNT", duz->FieldReadIntOrDefault("Model", 0));
                mReadOptions->SetIntOption("DEVICE COUNT", duz->FieldReadIntOrDefault("Device", 0));
                mReadOptions->SetIntOption("CHARACTER COUNT", duz->FieldReadIntOrDefault("Character", 0));
                mReadOptions->SetIntOption("ACTOR COUNT", duz->FieldReadIntOrDefault("Actor", 0));
                mReadOptions->SetIntOption("CONSTRAINT_COUNT", duz->FieldReadIntOrDefault("Constraint", 0));
                mReadOptions->SetIntOption("MEDIA COUNT", duz->FieldReadIntOrDefault("Media", 0));
                duz->FieldReadBlockEnd();
            }
            duz->FieldReadEnd();
        }
        // Summaries of version 101 and above carry the scene information.
        if (version > 100) {
            if (KDuzSceneInfo* previous = mReadOptions->GetSceneInfo()) previous->Destroy();
            mReadOptions->SetSceneInfo(ReadSceneInfoSection());
        }
        ReadTakeDescriptions();
        duz->FieldReadBlockEnd();
    }
    duz->FieldReadEnd();
    duz->FinishBeforeClose();
    return true;
}

void KDuzReaderDuz6::ReadContentInformation() {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || mReadOptions == nullptr) return;
    duz->FieldReadRewind();
    mReadOptions->SetBoolOption("PASSWORD ENABLE", duz->IsEncrypted());
    if (IProgress* progress = KProgressGetGlobal())
        progress->SetStatus("Retrieving content information", nullptr, 0.0f);
    const int models = duz->FieldGetInstanceCount("Model");
    mReadOptions->SetIntOption("MODEL COUNT", models);
    for (int i = 0; i < models; ++i) {
        if (!duz->FieldReadBeginInstance("Model", i)) break;
        const char* name = duz->FieldReadString();
        const char* colon = std::strrchr(name, ':');
        const bool isTemplate = std::strcmp(colon != nullptr ? colon + 1 : name, "~duzexport~") == 0;
        duz->FieldReadEnd();
        if (isTemplate) {
            mReadOptions->SetBoolOption("TEMPLATE", true);
            break;
        }
    }
    mReadOptions->SetIntOption("DEVICE COUNT", duz->FieldGetInstanceCount("Device"));
    ReadTakeDescriptions();
    duz->FieldReadRewind();
}

void KDuzReaderDuz6::ReadTakeDescriptions() {
    KDuz* duz = GetFieldFile();
    if (duz == nullptr || mReadOptions == nullptr) return;
    mReadOptions->DeleteTakeDescriptions();
    mReadOptions->SetStringOption("CURRENT TAKE NAME", "");
    if (!duz->FieldReadBegin("Takes")) return;
    bool currentFound = false;
    if (duz->FieldReadBlockBegin()) {
        const KString current(duz->FieldReadStringOrDefault("Current", ""));
        mReadOptions->SetStringOption("CURRENT TAKE NAME", current.Buffer());
        while (duz->FieldReadBegin("Take")) {
            auto* take = new KDuzTakeDescription();
            take->name = duz->FieldReadString();
            if (duz->FieldReadBlockBegin()) {
                if (duz->FieldReadBegin("FileName")) {
                    const KString fileName(duz->FieldReadString());
                    duz->FieldReadEnd();
                    KDuz takeFile;
                    if (takeFile.ProjectOpen(duz->JoinFileFolderPath(fileName.Buffer()))) {
                        ReadTakeFields(takeFile, *take);
                        takeFile.ProjectClose();
                    } else if (duz->IsVersionAbove1999()) {
                        ReadTakeFields(*duz, *take);
                        take->SetThumbnail(ReadThumbnail());
                    }
                } else {
                    ReadTakeFields(*duz, *take);
                    take->SetThumbnail(ReadThumbnail());
                }
                duz->FieldReadBlockEnd();
            }
            take->importName = take->name;
            if (take->name == current) currentFound = true;
            mReadOptions->AddTakeDescription(take);
            duz->FieldReadEnd();
        }
        duz->FieldReadBlockEnd();
    }
    duz->FieldReadEnd();
    if (!currentFound) {
        const KDuzTakeDescription* first = mReadOptions->GetTakeDescription(0);
        mReadOptions->SetStringOption("CURRENT TAKE NAME", first != nullptr ? first->name.Buffer() : "");
    }
}

}  // namespace duzsdk
