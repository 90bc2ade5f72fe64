#include "sdk/io/KDuzExporter.h"

#include <cstdio>
#include <string>

#include "platform/PlatformFile.h"
#include "sdk/base/KPath.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/io/KDuzStreamOptions.h"

#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/io/KDuzWriter.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

KDuzExporter::KDuzExporter(KDuzSdkManager* manager, const char* name) : KDuzIO(manager, name) {
    const KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
    mFormatIndex = registry != nullptr ? registry->GetFirstDuzWriterIndex() : -1;
    Reset();
}

KDuzExporter::~KDuzExporter() {
    Reset();
    DropCompanions();
}

KDuzExporter* KDuzExporter::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzExporter*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzExporter::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* exporter = new KDuzExporter(manager, name);
    exporter->PostCreate();
    return exporter;
}

KClassId KDuzExporter::ClassId() { return KDuzClassIdOf(eDuzClassExporter); }

KClassId KDuzExporter::GetClassId() const { return ClassId(); }

bool KDuzExporter::Initialize(const char* fileName) {
    Reset();
    return KDuzIO::Initialize(fileName);
}

void KDuzExporter::Reset() {
    delete mWriter;
    mWriter = nullptr;
    mMessageText = "";
}

void KDuzExporter::SetFileFormat(int formatIndex) {
    mFormatIndex = formatIndex;
    mFormatChosen = true;
}

int KDuzExporter::FindFormatByExtension() const {
    const KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
    if (registry == nullptr) return -1;
    const KString extension = KPathGetExtension(mFileName);
    for (int i = 0; i < registry->GetWriterCount(); ++i) {
        const KDuzFormatRegistry::WriterEntry* entry = registry->GetWriterEntry(i);
        if (entry != nullptr && entry->extension != nullptr && extension.CompareNoCase(entry->extension) == 0)
            return i;
    }
    return -1;
}

namespace {

// The import/export error of a writer error.
int ErrorOfWriter(int writerError) {
    switch (writerError) {
        case KDuzWriter::eFileCorrupted: return KDuzIO::eFileCorrupted;
        case KDuzWriter::eFileNotOpened: return KDuzIO::eFileNotOpened;
        case KDuzWriter::eFileNotCreated: return KDuzIO::eFileNotCreated;
        case KDuzWriter::eOutOfDiskSpace: return KDuzIO::eOutOfDiskSpace;
        case KDuzWriter::eStreamOptionsNotSet: return KDuzIO::eStreamOptionsNotSet;
        case KDuzWriter::eEmbeddedOutOfMemory: return KDuzIO::eEmbeddedOutOfMemory;
        default: return KDuzIO::eUnidentifiedError;
    }
}

}  // namespace

bool KDuzExporter::Export(KDuzScene* scene, KDuzStreamOptions* options) {
    mMessageText = "";
    if (mFileName.IsEmpty()) {
        mError.SetLastError(eUninitializedFilename);
        return false;
    }
    const KDuzFormatRegistry* registry = KDuzFormatRegistry::Get();
    const int formatIndex = mFormatChosen ? mFormatIndex : FindFormatByExtension();
    delete mWriter;
    mWriter = registry != nullptr ? registry->CreateWriter(GetSdkManager(), this, formatIndex) : nullptr;
    if (mWriter == nullptr) {
        mError.SetLastErrorWithText(eFileNotCreated, "No writer for this file format");
        return false;
    }
    const std::string target(mFileName.Buffer());
    // A folder, FIFO or device in the target's place would be replaced by a
    // regular file; refused before anything is written.
    if (!duzplatform::IsReplaceableTarget(target.c_str())) {
        mError.SetLastErrorWithText(eFileNotCreated, "The target is not a regular file");
        return false;
    }
    const std::string temporary = duzplatform::CreateTemporaryBeside(target, ".tmp");
    if (temporary.empty()) {
        mError.SetLastErrorWithText(eFileNotCreated, "Unable to create a temporary file beside the target");
        return false;
    }
    DropCompanions();
    mExporting = true;
    if (!mWriter->FileCreate(temporary.c_str())) {
        mExporting = false;
        SetWriterError(mWriter->GetLastErrorID(), mWriter->GetLastErrorString());
        std::remove(temporary.c_str());
        return false;
    }
    KDuzStreamOptions* ownedOptions = nullptr;
    if (options == nullptr) {
        ownedOptions = mWriter->GetWriteOptions();
        if (ownedOptions != nullptr) ownedOptions->Reset();
        options = ownedOptions;
    }
    mActiveOptions = options;
    bool written = mWriter->Write(scene, options);
    const int writeError = mWriter->GetLastErrorID();
    const KString writeText(mWriter->GetLastErrorString());
    // Closing writes what is still buffered and can fail too.
    if (!mWriter->FileClose()) written = false;
    mExporting = false;
    mActiveOptions = nullptr;
    mWriter->GetMessageText(mMessageText);
    if (ownedOptions != nullptr) ownedOptions->Destroy();
    if (written) {
        std::string reason;
        if (duzplatform::CommitTemporary(temporary, target, &reason)) {
            // The main file is in place: its companions follow it.
            for (const auto& companion : mCompanions) {
                if (!duzplatform::CommitTemporary(companion.first, companion.second, &reason) && written) {
                    mError.SetLastErrorWithText(eFileNotCreated, reason.c_str());
                    written = false;
                }
            }
            DropCompanions();
            return written;
        }
        mError.SetLastErrorWithText(eFileNotCreated, reason.c_str());
    } else if (writeError >= 0) {
        SetWriterError(writeError, writeText.Buffer());
    } else {
        SetWriterError(mWriter->GetLastErrorID(), mWriter->GetLastErrorString());
    }
    DropCompanions();
    std::remove(temporary.c_str());
    return false;
}

void KDuzExporter::AddCompanionFile(const char* temporary, const char* target) {
    if (temporary == nullptr || target == nullptr) return;
    mCompanions.emplace_back(temporary, target);
}

void KDuzExporter::DropCompanions() {
    // Whatever is still listed was not committed: its temporary goes.
    for (const auto& companion : mCompanions) std::remove(companion.first.c_str());
    mCompanions.clear();
}

void KDuzExporter::SetWriterError(int writerError, const char* text) {
    // A writer that failed without a text of its own gets the exporter's
    // text for the error, so a caller never reads an empty reason.
    if (text != nullptr && text[0] != '\0')
        mError.SetLastErrorWithText(ErrorOfWriter(writerError), text);
    else
        mError.SetLastError(ErrorOfWriter(writerError));
}

bool KDuzExporter::WriteWithDuz5Writer(KDuzScene* scene, KDuzStreamOptions* options, IDuzObject* fileObject) {
    if (options == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        return false;
    }
    if (fileObject == nullptr) {
        mError.SetLastError(eFileNotCreated);
        return false;
    }
    // A writer of its own that writes into the given file object: no
    // closing patch, no summary, and the file stays open.
    KDuzWriterDuz writer(GetSdkManager(), this);
    if (writer.WriteScene(scene, options, fileObject)) return true;
    mError.SetLastErrorWithText(ErrorOfWriter(writer.GetLastErrorID()), writer.GetLastErrorString());
    return false;
}

}  // namespace duzsdk
