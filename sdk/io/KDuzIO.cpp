#include "sdk/io/KDuzIO.h"

#include "sdk/object/KDuzClassTree.h"

namespace duzsdk {

const char* const KDuzIO::kErrorTexts[KDuzIO::eErrorCount] = {
    "File is corrupted",
    "File version is not supported yet",
    "File version is not supported anymore",
    "File not opened",
    "File not created",
    "Out of disk space",
    "Uninitialized filename, use method Initialize(char* pFilename) first",
    "Unidentified error",
    "Index out of range",
    "Password error",
    "Stream options not set",
    "Out of memory resources for embedding textures",
};

KDuzIO::KDuzIO(KDuzSdkManager* manager, const char* name)
    : KDuzObject(manager, name), mError(kErrorTexts, eErrorCount) {}

KDuzIO::~KDuzIO() = default;

KClassId KDuzIO::ClassId() { return KDuzClassIdOf(eDuzClassIO); }

KClassId KDuzIO::GetClassId() const { return ClassId(); }

bool KDuzIO::Initialize(const char* fileName) {
    mFileName = fileName != nullptr ? fileName : "";
    return true;
}

void KDuzIO::SetProgressStatus(int /*status*/, const char* text, const char* detail,
                               float /*percentage*/) {
    if (mActiveOptions == nullptr || detail == nullptr) return;
    KString status(text != nullptr ? text : "");
    if (detail[0] != '\0') {
        status += " - ";
        status += detail;
    }
    // Nothing receives progress yet; the composed text is dropped here.
    (void)status;
}

KString KDuzPropertyGetKString(const KDuzProperty& property) {
    if (!property.IsValid()) return KString();
    return property.GetString();
}

}  // namespace duzsdk
