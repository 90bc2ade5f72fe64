#include "sdk/io/KDuzStreamOptionsDuz.h"

#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

namespace {

struct OptionRow {
    const char* name;
    const char* type;
    const char* label;
};

// The labels are the system's own, the repeated "Constraint Count" included.
constexpr OptionRow kReaderOptions[] = {
    {"PASSWORD", "KString", "DUZ Reader Password Option"},
    {"PASSWORD ENABLE", "Bool", "DUZ Reader Password Enable Option"},
    {"MODEL", "Bool", "DUZ Reader Model Option"},
    {"TEXTURE", "Bool", "DUZ Reader Texture Option"},
    {"MATERIAL", "Bool", "DUZ Reader Material Option"},
    {"MEDIA", "Bool", "DUZ Reader Media Option"},
    {"LINK", "Bool", "DUZ Reader Link Option"},
    {"SHAPE", "Bool", "DUZ Reader Shape Option"},
    {"GOBO", "Bool", "DUZ Reader Gobo Option"},
    {"ANIMATION", "Bool", "DUZ Reader Animation Option"},
    {"CHARACTER", "Bool", "DUZ Reader Character Option"},
    {"GLOBAL SETTINGS", "Bool", "DUZ Reader Global Settings Option"},
    {"PIVOT", "Bool", "DUZ Reader Pivot Option"},
    {"TEMPLATE", "Bool", "DUZ Reader Template Option"},
    {"MERGE LAYER AND TIMEWARP", "Bool", "DUZ Reader Merge Layer and Timewarp Option"},
    {"CONSTRAINT", "Bool", "DUZ Reader Constraint Option"},
    {"MODEL COUNT", "Integer", "DUZ Reader Model Count"},
    {"DEVICE COUNT", "Integer", "DUZ Reader Constraint Count"},
    {"CHARACTER COUNT", "Integer", "DUZ Reader Constraint Count"},
    {"ACTOR COUNT", "Integer", "DUZ Reader Constraint Count"},
    {"CONSTRAINT_COUNT", "Integer", "DUZ Reader Constraint Count"},
    {"MEDIA COUNT", "Integer", "DUZ Reader Constraint Count"},
    {"CURRENT TAKE NAME", "KString", "DUZ Reader Current Take Name"},
};

// The count and take-name options carry the reader's labels.
constexpr OptionRow kWriterOptions[] = {
    {"PASSWORD", "KString", "DUZ Writer Password Option"},
    {"PASSWORD ENABLE", "Bool", "DUZ Writer Password Enable Option"},
    {"MODEL", "Bool", "DUZ Writer Model Option"},
    {"TEXTURE", "Bool", "DUZ Writer Texture Option"},
    {"MATERIAL", "Bool", "DUZ Writer Material Option"},
    {"MEDIA", "Bool", "DUZ Writer Media Option"},
    {"LINK", "Bool", "DUZ Writer Link Option"},
    {"SHAPE", "Bool", "DUZ Writer Shape Option"},
    {"GOBO", "Bool", "DUZ Writer Gobo Option"},
    {"ANIMATION", "Bool", "DUZ Writer Animation Option"},
    {"CHARACTER", "Bool", "DUZ Writer Character Option"},
    {"GLOBAL SETTINGS", "Bool", "DUZ Writer Global Settings Option"},
    {"PIVOT", "Bool", "DUZ Writer Pivot Option"},
    {"EMBEDDED", "Bool", "DUZ Writer Embedded Option"},
    {"CONSTRAINT", "Bool", "DUZ Writer Constraint Option"},
    {"TEMPLATE", "Bool", "DUZ Writer Template Option"},
    {"MODEL COUNT", "Integer", "DUZ Reader Model Count"},
    {"DEVICE COUNT", "Integer", "DUZ Reader Constraint Count"},
    {"CHARACTER COUNT", "Integer", "DUZ Reader Constraint Count"},
    {"ACTOR COUNT", "Integer", "DUZ Reader Constraint Count"},
    {"CONSTRAINT_COUNT", "Integer", "DUZ Reader Constraint Count"},
    {"MEDIA COUNT", "Integer", "DUZ Reader Constraint Count"},
    {"CURRENT TAKE NAME", "KString", "DUZ Reader Current Take Name"},
};

}  // namespace

// ---- take information ------------------------------------------------------------

bool KDuzOptionTakeInfo::AddTakeDescription(KDuzTakeDescription* take) {
    if (take == nullptr) return false;
    if (mTakes.Add(take) < 0) {
        delete take;
        return false;
    }
    return true;
}

bool KDuzOptionTakeInfo::AddTakeDescriptionCopy(const KDuzTakeDescription& take) {
    return AddTakeDescription(new KDuzTakeDescription(take));
}

void KDuzOptionTakeInfo::Clear() {
    DeleteTakeDescriptions();
    mSceneInfo = nullptr;
}

void KDuzOptionTakeInfo::CopyFrom(const KDuzOptionTakeInfo& other) {
    if (&other == this) return;
    DeleteTakeDescriptions();
    for (const KDuzTakeDescription* take : other.mTakes)
        if (take != nullptr) AddTakeDescriptionCopy(*take);
    mSceneInfo = other.mSceneInfo;
}

// ---- reader set ----------------------------------------------------------------

KDuzStreamOptionsDuzReader::KDuzStreamOptionsDuzReader(KDuzSdkManager* manager, const char* name)
    : KDuzStreamOptions(manager, name) {
    for (const OptionRow& row : kReaderOptions) AddOption(row.name, row.type, row.label);
    KDuzStreamOptionsDuzReader::Reset();
}

KDuzStreamOptionsDuzReader::~KDuzStreamOptionsDuzReader() = default;

KDuzStreamOptionsDuzReader* KDuzStreamOptionsDuzReader::Create(KDuzSdkManager* manager,
                                                               const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzStreamOptionsDuzReader*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzStreamOptionsDuzReader::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* options = new KDuzStreamOptionsDuzReader(manager, name);
    options->PostCreate();
    return options;
}

KClassId KDuzStreamOptionsDuzReader::ClassId() {
    return KDuzClassIdOf(eDuzClassStreamOptionsDuzReader);
}

KClassId KDuzStreamOptionsDuzReader::GetClassId() const { return ClassId(); }

KDuzObject* KDuzStreamOptionsDuzReader::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzStreamOptionsDuzReader* copy = Create(GetSdkManager(), GetName());
    if (copy == nullptr) return nullptr;
    copy->CopyOptionsFrom(*this);
    // Copies, not shared records: a reset of either set deletes only its own.
    copy->mTakeInfo.CopyFrom(mTakeInfo);
    return copy;
}

void KDuzStreamOptionsDuzReader::Reset() {
    mTakeInfo.Clear();
    KDuzStreamOptions::Reset();
    SetAllBoolOptions(true);
    SetBoolOption("MERGE LAYER AND TIMEWARP", false);
    SetBoolOption("TEMPLATE", false);
}

// ---- writer set ----------------------------------------------------------------

KDuzStreamOptionsDuzWriter::KDuzStreamOptionsDuzWriter(KDuzSdkManager* manager, const char* name)
    : KDuzStreamOptions(manager, name) {
    for (const OptionRow& row : kWriterOptions) AddOption(row.name, row.type, row.label);
    KDuzStreamOptionsDuzWriter::Reset();
}

KDuzStreamOptionsDuzWriter::~KDuzStreamOptionsDuzWriter() = default;

KDuzStreamOptionsDuzWriter* KDuzStreamOptionsDuzWriter::Create(KDuzSdkManager* manager,
                                                               const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzStreamOptionsDuzWriter*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzStreamOptionsDuzWriter::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* options = new KDuzStreamOptionsDuzWriter(manager, name);
    options->PostCreate();
    return options;
}

KClassId KDuzStreamOptionsDuzWriter::ClassId() {
    return KDuzClassIdOf(eDuzClassStreamOptionsDuzWriter);
}

KClassId KDuzStreamOptionsDuzWriter::GetClassId() const { return ClassId(); }

KDuzObject* KDuzStreamOptionsDuzWriter::Clone(int mode) {
    if (mode != 2) return nullptr;
    KDuzStreamOptionsDuzWriter* copy = Create(GetSdkManager(), GetName());
    if (copy == nullptr) return nullptr;
    copy->CopyOptionsFrom(*this);
    copy->mTakeInfo.CopyFrom(mTakeInfo);
    return copy;
}

void KDuzStreamOptionsDuzWriter::Reset() {
    mTakeInfo.Clear();
    KDuzStreamOptions::Reset();
    SetAllBoolOptions(true);
    SetBoolOption("TEMPLATE", false);
    SetBoolOption("EMBEDDED", false);
}

}  // namespace duzsdk
