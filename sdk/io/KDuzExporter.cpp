#include "sdk/io/KDuzExporter.h"

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

bool KDuzExporter::WriteWithDuz5Writer(KDuzScene* /*scene*/, KDuzStreamOptions* options,
                                       IDuzObject* fileObject) {
    if (options == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        return false;
    }
    if (fileObject == nullptr) {
        mError.SetLastError(eFileNotCreated);
        return false;
    }
    // No writer of the DUZ 5 layout exists in this SDK yet, so the nested
    // write cannot happen; it fails the way a failed write does.
    mError.SetLastError(eOutOfDiskSpace);
    return false;
}

}  // namespace duzsdk
