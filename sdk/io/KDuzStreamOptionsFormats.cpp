#include "sdk/io/KDuzStreamOptionsFormats.h"

#include "sdk/base/KTimeModes.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"

#include <cmath>

namespace duzsdk {

namespace {

struct OptionRow {
    const char* name;
    const char* type;
    const char* label;
    // Switches that a reset turns on; every other option resets to zero.
    bool resetsOn;
};

// Labels are the system's own, spelling included.
constexpr OptionRow kMotionReaderOptions[] = {
    {"TRANSLATION", "Bool", "Motion Reader Translation Option", false},
    {"ROTATION", "Bool", "Motion Reader Rotation Option", false},
    {"SCALING", "Bool", "Motion Reader Scaling Option", false},
    {"UNUSED SEGMENTS", "Bool", "Motion Reader Unused Segment Option", false},
    {"AS OPTICAL SEGMENTS", "Bool", "Motion Reader As Optical Segments Option", false},
    {"EXACT ZERO AS OCCLUDED", "Bool", "Motion Reader Exact Zero as Occluded Option", false},
    {"SET OCCLUDED TO LAST VALID POSITION", "Bool",
     "Motion Reader Set Occluded to Last Valid Position Option", false},
    {"ACTOR PREFIX", "Bool", "Motion Reader Actor Prefix Option", false},
    {"CREATE REFERENCE NODE", "Bool", "Motion Reader Create Reference Node Option", false},
    {"DUMMY NODES", "Bool", "Motion Reader Dummy Nodes Option", false},
    {"LIMITS", "Bool", "Motion Reader Limits Option", false},
    {"RENAME DUPLICATE NAMES", "Bool", "Motion Reader Rename Duplicate Names Option", false},
    {"BASE T IN OFFSET", "Bool", "Motion Reader Base T in Offset Option", false},
    {"BASE R IN PREROTATION", "Bool", "Motion Reader Base R in Prerotation Option", false},
    {"TAKE NAME", "KString", "Motion Reader Take Name", false},
    {"START", "Time", "Motion Reader Start Time", false},
    {"FRAME COUNT", "Integer", "Motion Reader Frame Count", false},
    {"FRAME RATE", "Number", "Motion Reader Frame Rate", false},
    {"ASF SCENE OWNED", "Bool", "Motion Reader ASF Scene Owned", false},
};

constexpr OptionRow kMotionWriterOptions[] = {
    {"TRANSLATION", "Bool", "Motion Writer Translation Option", false},
    {"ROTATION", "Bool", "Motion Writer Rotation Option", false},
    {"SCALING", "Bool", "Motion Writer Scaling Option", false},
    {"UNUSED SEGMENTS", "Bool", "Motion Writer Unused Segment Option", false},
    {"GAPS AS VALID DATA", "Bool", "Motion Writer Gaps As Valid Data Option", false},
    {"C3D REAL FORMAT", "Bool", "Motion Writer C3d Real Format Option", false},
    {"FROM GLOBAL POSITION", "Bool", "Motion Writer From Global Position Option", false},
    {"REQUIRE SINGLE ROOT NODE", "Bool", "Motion Writer Require Single Root Node Option", false},
    {"FRAME RATE USED", "Bool", "Motion Writer Frame Rate Used Option", false},
    {"FRAME RANGE", "Bool", "Motion Writer Frame Range Option", false},
    {"RENAME DUPLICATE NAMES", "Bool", "Motion Writer Rename Duplicate Names Option", false},
    {"TAKE NAME", "KString", "Motion Writer Take Name", false},
    {"START", "Time", "Motion Writer Start Time", false},
    {"FRAME COUNT", "Integer", "Motion Writer Frame Count", false},
    {"FRAME RATE", "Number", "Motion Writer Frame Rate", false},
    {"ASF SCENE OWNED", "Bool", "Motion Writer ASF Scene Owned", false},
};

constexpr OptionRow k3dsReaderOptions[] = {
    {"REFERENCENODE", "Bool", "3ds Reader Reference Option", false},
    {"MATERIAL", "Bool", "3ds Reader Material Option", true},
    {"TEXTURE", "Bool", "3ds Reader Texture Option", true},
    {"ANIMATION", "Bool", "3ds Reader Animation Option", true},
    {"MESH", "Bool", "3ds Reader Mesh Option", true},
    {"LIGHT", "Bool", "3ds Reader Light Option", true},
    {"CAMERA", "Bool", "3ds Reader Camera Option", true},
    {"AMBIENT LIGHT", "Bool", "3ds Reader Ambiant Light Option", true},
    {"RESCALING", "Bool", "3ds Reader Rescaling Option", true},
    {"FILTER", "Bool", "3ds Reader Filter Option", false},
    {"SMOOTHGROUP", "Bool", "3ds Reader Smooth Group Option", true},
    {"MESH COUNT", "Integer", "3ds Reader Mesh Count", false},
    {"LIGHT COUNT", "Integer", "3ds Reader Light Count", false},
    {"CAMERA COUNT", "Integer", "3ds Reader Camera Count", false},
    {"TAKE NAME", "KString", "3ds Reader Take Name", false},
};

constexpr OptionRow k3dsWriterOptions[] = {
    {"REFERENCENODE", "Bool", "3ds Writer Reference Option", false},
    {"MATERIAL", "Bool", "3ds Writer Material Option", true},
    {"TEXTURE", "Bool", "3ds Writer Texture Option", true},
    {"ANIMATION", "Bool", "3ds Writer Animation Option", true},
    {"MESH", "Bool", "3ds Writer Mesh Option", true},
    {"LIGHT", "Bool", "3ds Writer Light Option", true},
    {"CAMERA", "Bool", "3ds Writer Camera Option", true},
    {"AMBIENT LIGHT", "Bool", "3ds Writer Ambiant Light Option", true},
    {"RESCALING", "Bool", "3ds Writer Rescaling Option", true},
    {"FILTER", "Bool", "3ds Writer Filter Option", false},
    {"TEXUVBYPOLY", "Bool", "3ds Writer Texture UV by Polygon Option", true},
    {"MESH COUNT", "Integer", "3ds Writer Mesh Count", false},
    {"LIGHT COUNT", "Integer", "3ds Writer Light Count", false},
    {"CAMERA COUNT", "Integer", "3ds Writer Camera Count", false},
    {"TAKE NAME", "KString", "3ds Writer Take Name", false},
};

constexpr OptionRow kDxfReaderOptions[] = {
    {"REFERENCENODE", "Bool", "Dxf Reader Reference Node Option", true},
    {"WELD VERTICES", "Bool", "Dxf Reader Weld Vertices Option", true},
    {"OBJECT DERIVATION LABEL", "Bool", "Dxf Reader Object Derivation Option", false},
    {"OBJECT DERIVATION", "Integer", "Dxf Reader Object Derivation Option", false},
};

constexpr OptionRow kDxfWriterOptions[] = {
    {"TRIANGULATE", "Bool", "Dxf Writer Triangulate Option", true},
    {"DEFORMATION", "Bool", "Dxf Writer Deformation Option", true},
};

constexpr OptionRow kObjReaderOptions[] = {
    {"REFERENCENODE", "Bool", "Object Reader Reference Node Option", true},
};

constexpr OptionRow kObjWriterOptions[] = {
    {"TRIANGULATE", "Bool", "Object Writer Triangulate Option", false},
    {"DEFORMATION", "Bool", "Object Writer Deformation Option", true},
};

constexpr OptionRow kColladaReaderOptions[] = {
    {"TAKE NAME", "KString", "Collada Reader Take Name", false},
    {"START", "Time", "Collada Reader Start Time", false},
    {"FRAME COUNT", "Integer", "Collada Frame Count", false},
    {"FRAME RATE", "Number", "Collada Reader Frame Rate", false},
};

constexpr OptionRow kColladaWriterOptions[] = {
    {"TRIANGULATE", "Bool", "Collada Writer Triangulate Option", false},
    {"SINGLE MATRIX", "Bool", "Collada Writer Single Matrix Option", false},
    {"FRAME RATE", "Number", "Collada Writer Frame Rate", false},
};

constexpr double kColladaFrameRate = 30.0;
constexpr double kFrameRateTolerance = 0.001;

template <class Set, size_t N>
void AddOptions(Set& set, const OptionRow (&rows)[N]) {
    for (const OptionRow& row : rows) set.AddOption(row.name, row.type, row.label);
}

template <class Set, size_t N>
void SetResetSwitches(Set& set, const OptionRow (&rows)[N]) {
    for (const OptionRow& row : rows)
        if (row.resetsOn) set.SetBoolOption(row.name, true);
}

template <class Set>
Set* CreateSet(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<Set*>(manager->CreateObject(Set::ClassId(), name));
}

template <class Set>
KDuzPlug* ConstructSet(KDuzSdkManager* manager, const char* name) {
    auto* options = new Set(manager, name);
    options->PostCreate();
    return options;
}

// A set of the same class and name with every option copied by index.
template <class Set>
Set* CloneSet(const Set& source, int mode) {
    if (mode != 2) return nullptr;
    Set* copy = Set::Create(source.GetSdkManager(), source.GetName());
    if (copy != nullptr) copy->CopyOptionsFrom(source);
    return copy;
}

}  // namespace

// The creation members shared by every class here.
#define DUZ_STREAM_OPTIONS_CREATION(Class, ClassEnum)                                  \
    Class::~Class() = default;                                                          \
    Class* Class::Create(KDuzSdkManager* manager, const char* name) {                  \
        return CreateSet<Class>(manager, name);                                         \
    }                                                                                   \
    KDuzPlug* Class::ClassCreator(KDuzSdkManager* manager, const char* name) {         \
        return ConstructSet<Class>(manager, name);                                      \
    }                                                                                   \
    KClassId Class::ClassId() { return KDuzClassIdOf(ClassEnum); }                      \
    KClassId Class::GetClassId() const { return ClassId(); }

DUZ_STREAM_OPTIONS_CREATION(KDuzStreamOptionsMotionReader, eDuzClassStreamOptionsMotionReader)
DUZ_STREAM_OPTIONS_CREATION(KDuzStreamOptionsMotionWriter, eDuzClassStreamOptionsMotionWriter)
DUZ_STREAM_OPTIONS_CREATION(KDuzStreamOptions3dsReader, eDuzClassStreamOptions3dsReader)
DUZ_STREAM_OPTIONS_CREATION(KDuzStreamOptions3dsWriter, eDuzClassStreamOptions3dsWriter)
DUZ_STREAM_OPTIONS_CREATION(KDuzStreamOptionsDxfReader, eDuzClassStreamOptionsDxfReader)
DUZ_STREAM_OPTIONS_CREATION(KDuzStreamOptionsDxfWriter, eDuzClassStreamOptionsDxfWriter)
DUZ_STREAM_OPTIONS_CREATION(KDuzStreamOptionsObjReader, eDuzClassStreamOptionsObjReader)
DUZ_STREAM_OPTIONS_CREATION(KDuzStreamOptionsObjWriter, eDuzClassStreamOptionsObjWriter)
DUZ_STREAM_OPTIONS_CREATION(KDuzStreamOptionsColladaReader, eDuzClassStreamOptionsColladaReader)
DUZ_STREAM_OPTIONS_CREATION(KDuzStreamOptionsColladaWriter, eDuzClassStreamOptionsColladaWriter)

#undef DUZ_STREAM_OPTIONS_CREATION

// ---- motion ------------------------------------------------------------------------

namespace {

// The motion reset: an owned skeleton scene goes, then zeroes and the
// global time mode with its frame rate.
template <class Set>
void ResetMotionSet(Set& set, KDuzObject*& asfScene, int& timeMode) {
    if (set.GetBoolOption("ASF SCENE OWNED") && asfScene != nullptr) asfScene->Destroy();
    asfScene = nullptr;
    set.KDuzStreamOptions::Reset();
    timeMode = KTimeGetGlobalTimeMode();
    set.SetDoubleOption("FRAME RATE", KTimeGetFrameRate(timeMode));
}

}  // namespace

KDuzStreamOptionsMotionReader::KDuzStreamOptionsMotionReader(KDuzSdkManager* manager, const char* name)
    : KDuzStreamOptions(manager, name) {
    AddOptions(*this, kMotionReaderOptions);
    KDuzStreamOptionsMotionReader::Reset();
}

void KDuzStreamOptionsMotionReader::Reset() { ResetMotionSet(*this, mAsfScene, mTimeMode); }

KDuzObject* KDuzStreamOptionsMotionReader::Clone(int mode) {
    KDuzStreamOptionsMotionReader* copy = CloneSet(*this, mode);
    if (copy == nullptr) return nullptr;
    copy->mAsfScene = mAsfScene;
    copy->mTimeMode = mTimeMode;
    // The scene has one owner: the clone only points at it, so that two
    // resets never destroy it twice.
    copy->SetBoolOption("ASF SCENE OWNED", false);
    return copy;
}

KDuzStreamOptionsMotionWriter::KDuzStreamOptionsMotionWriter(KDuzSdkManager* manager, const char* name)
    : KDuzStreamOptions(manager, name) {
    AddOptions(*this, kMotionWriterOptions);
    KDuzStreamOptionsMotionWriter::Reset();
}

void KDuzStreamOptionsMotionWriter::Reset() { ResetMotionSet(*this, mAsfScene, mTimeMode); }

KDuzObject* KDuzStreamOptionsMotionWriter::Clone(int mode) {
    KDuzStreamOptionsMotionWriter* copy = CloneSet(*this, mode);
    if (copy == nullptr) return nullptr;
    copy->mAsfScene = mAsfScene;
    copy->mTimeMode = mTimeMode;
    copy->SetBoolOption("ASF SCENE OWNED", false);
    return copy;
}

// ---- 3DS ---------------------------------------------------------------------------

KDuzStreamOptions3dsReader::KDuzStreamOptions3dsReader(KDuzSdkManager* manager, const char* name)
    : KDuzStreamOptions(manager, name) {
    AddOptions(*this, k3dsReaderOptions);
    KDuzStreamOptions3dsReader::Reset();
}

void KDuzStreamOptions3dsReader::Reset() {
    KDuzStreamOptions::Reset();
    SetResetSwitches(*this, k3dsReaderOptions);
}

KDuzObject* KDuzStreamOptions3dsReader::Clone(int mode) { return CloneSet(*this, mode); }

KDuzStreamOptions3dsWriter::KDuzStreamOptions3dsWriter(KDuzSdkManager* manager, const char* name)
    : KDuzStreamOptions(manager, name) {
    AddOptions(*this, k3dsWriterOptions);
    KDuzStreamOptions3dsWriter::Reset();
}

void KDuzStreamOptions3dsWriter::Reset() {
    KDuzStreamOptions::Reset();
    SetResetSwitches(*this, k3dsWriterOptions);
}

KDuzObject* KDuzStreamOptions3dsWriter::Clone(int mode) { return CloneSet(*this, mode); }

// ---- DXF ---------------------------------------------------------------------------

KDuzStreamOptionsDxfReader::KDuzStreamOptionsDxfReader(KDuzSdkManager* manager, const char* name)
    : KDuzStreamOptions(manager, name) {
    AddOptions(*this, kDxfReaderOptions);
}

void KDuzStreamOptionsDxfReader::Reset() {
    KDuzStreamOptions::Reset();
    SetResetSwitches(*this, kDxfReaderOptions);
}

KDuzObject* KDuzStreamOptionsDxfReader::Clone(int mode) { return CloneSet(*this, mode); }

int KDuzStreamOptionsDxfReader::GetObjectDerivation() const { return GetIntOption("OBJECT DERIVATION"); }

KDuzStreamOptionsDxfWriter::KDuzStreamOptionsDxfWriter(KDuzSdkManager* manager, const char* name)
    : KDuzStreamOptions(manager, name) {
    AddOptions(*this, kDxfWriterOptions);
}

void KDuzStreamOptionsDxfWriter::Reset() {
    KDuzStreamOptions::Reset();
    SetResetSwitches(*this, kDxfWriterOptions);
}

KDuzObject* KDuzStreamOptionsDxfWriter::Clone(int mode) { return CloneSet(*this, mode); }

// ---- OBJ ---------------------------------------------------------------------------

KDuzStreamOptionsObjReader::KDuzStreamOptionsObjReader(KDuzSdkManager* manager, const char* name)
    : KDuzStreamOptions(manager, name) {
    AddOptions(*this, kObjReaderOptions);
    KDuzStreamOptionsObjReader::Reset();
}

void KDuzStreamOptionsObjReader::Reset() {
    KDuzStreamOptions::Reset();
    SetResetSwitches(*this, kObjReaderOptions);
}

KDuzObject* KDuzStreamOptionsObjReader::Clone(int mode) { return CloneSet(*this, mode); }

KDuzStreamOptionsObjWriter::KDuzStreamOptionsObjWriter(KDuzSdkManager* manager, const char* name)
    : KDuzStreamOptions(manager, name) {
    AddOptions(*this, kObjWriterOptions);
    KDuzStreamOptionsObjWriter::Reset();
}

void KDuzStreamOptionsObjWriter::Reset() {
    KDuzStreamOptions::Reset();
    SetResetSwitches(*this, kObjWriterOptions);
}

KDuzObject* KDuzStreamOptionsObjWriter::Clone(int mode) { return CloneSet(*this, mode); }

// ---- Collada -----------------------------------------------------------------------

KDuzStreamOptionsColladaReader::KDuzStreamOptionsColladaReader(KDuzSdkManager* manager,
                                                               const char* name)
    : KDuzStreamOptions(manager, name) {
    AddOptions(*this, kColladaReaderOptions);
    KDuzStreamOptionsColladaReader::Reset();
}

void KDuzStreamOptionsColladaReader::Reset() {
    KDuzStreamOptions::Reset();
    SetDoubleOption("FRAME RATE", kColladaFrameRate);
    mTimeMode = KTimeModeFromFrameRate(kColladaFrameRate, kFrameRateTolerance);
}

KDuzObject* KDuzStreamOptionsColladaReader::Clone(int mode) {
    KDuzStreamOptionsColladaReader* copy = CloneSet(*this, mode);
    if (copy != nullptr) copy->mTimeMode = mTimeMode;
    return copy;
}

bool KDuzStreamOptionsColladaReader::SetTimeMode(int mode, double frameRate) {
    if (mode != 0) {
        mTimeMode = mode;
        return SetDoubleOption("FRAME RATE", KTimeGetFrameRate(mode));
    }
    if (frameRate == 0.0) {
        mTimeMode = KTimeGetGlobalTimeMode();
        return SetDoubleOption("FRAME RATE", KTimeGetFrameRate(mTimeMode));
    }
    mTimeMode = KTimeModeFromFrameRate(frameRate, kFrameRateTolerance);
    return SetDoubleOption("FRAME RATE", frameRate);
}

KDuzStreamOptionsColladaWriter::KDuzStreamOptionsColladaWriter(KDuzSdkManager* manager,
                                                               const char* name)
    : KDuzStreamOptions(manager, name) {
    AddOptions(*this, kColladaWriterOptions);
    KDuzStreamOptionsColladaWriter::Reset();
}

void KDuzStreamOptionsColladaWriter::Reset() {
    KDuzStreamOptions::Reset();
    SetDoubleOption("FRAME RATE", kColladaFrameRate);
    mTimeMode = KTimeModeFromFrameRate(kColladaFrameRate, kFrameRateTolerance);
}

KDuzObject* KDuzStreamOptionsColladaWriter::Clone(int mode) {
    KDuzStreamOptionsColladaWriter* copy = CloneSet(*this, mode);
    if (copy != nullptr) copy->mTimeMode = mTimeMode;
    return copy;
}

KTime KDuzStreamOptionsColladaWriter::GetFramePeriod() const {
    KTime period;
    if (mTimeMode != 0 && period.SetTime(0, 0, 0, 1, 0, mTimeMode)) return period;
    double rate = GetDoubleOption("FRAME RATE", kColladaFrameRate);
    // A zero, negative or non-finite rate would divide into a time that
    // cannot be held in ticks.
    if (!std::isfinite(rate) || rate <= 0.0) rate = kColladaFrameRate;
    period.SetSecondDouble(1.0 / rate);
    return period;
}

}  // namespace duzsdk
