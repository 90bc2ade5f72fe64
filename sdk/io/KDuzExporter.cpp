#include "sdk/io/KDuzExporter.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

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

KDuzExporter::~KDuzExporter() { Reset(); }

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

// A new empty file beside the target whose name ends in ".tmp"; empty when
// none can be made.
std::string MakeTemporaryBeside(const std::string& target) {
    std::string pattern = target + ".XXXXXX.tmp";
    const int descriptor = mkstemps(pattern.data(), 4);
    if (descriptor < 0) return std::string();
    close(descriptor);
    return pattern;
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
    const std::string temporary = MakeTemporaryBeside(target);
    if (temporary.empty()) {
        mError.SetLastErrorWithText(eFileNotCreated, "Unable to create a temporary file beside the target");
        return false;
    }
    std::error_code code;
    if (!mWriter->FileCreate(temporary.c_str())) {
        mError.SetLastErrorWithText(ErrorOfWriter(mWriter->GetLastErrorID()), mWriter->GetLastErrorString());
        std::filesystem::remove(temporary, code);
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
    mActiveOptions = nullptr;
    mWriter->GetMessageText(mMessageText);
    if (ownedOptions != nullptr) ownedOptions->Destroy();
    if (written) {
        std::filesystem::rename(temporary, target, code);
        if (!code) return true;
        mError.SetLastErrorWithText(eFileNotCreated, code.message().c_str());
    } else {
        const int error = writeError >= 0 ? writeError : mWriter->GetLastErrorID();
        mError.SetLastErrorWithText(ErrorOfWriter(error), writeError >= 0 ? writeText.Buffer()
                                                                           : mWriter->GetLastErrorString());
    }
    std::filesystem::remove(temporary, code);
    return false;
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
