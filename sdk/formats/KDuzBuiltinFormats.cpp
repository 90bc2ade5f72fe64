#include "sdk/formats/KDuzBuiltinFormats.h"

#include "sdk/duz/KDuzReaderDuz.h"
#include "sdk/duz/KDuzReaderDuz6.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/duz/KDuzWriterDuz6.h"
#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/formats/KDuzReaderDxf.h"
#include "sdk/formats/KDuzReaderObj.h"
#include "sdk/formats/KDuzWriter3ds.h"
#include "sdk/formats/KDuzWriterDxf.h"
#include "sdk/formats/KDuzWriterObj.h"
#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/io/KDuzFormatRegistry.h"
#include "sdk/io/KDuzImporter.h"

namespace duzsdk {

namespace {

constexpr int kFirstVersion6Major = 6;

// Flag bytes handed out by the information functions.
constexpr unsigned char kDuzFlag = 1;

const void* DuzReaderInfo(int request, int formatNumber) {
    static const char* const extensions[] = {"duz", nullptr};
    static const char* const descriptions[] = {"DUZ (*.duz)", nullptr};
    switch (request) {
        case eDuzFormatInfoExtensions: return extensions;
        case eDuzFormatInfoDescriptions: return descriptions;
        case eDuzFormatInfoFlag: return formatNumber == 0 ? &kDuzFlag : nullptr;
        default: return nullptr;
    }
}

const char* const kDuzVersionsA[] = {"DUZ200611", "DUZ200608", "DUZ200602_MB75", "DUZ200508_RI70",
                                     "DUZ60_MB60", nullptr};
const char* const kDuzVersionsB[] = {"DUZ53_MB55", nullptr};

const void* DuzWriterInfo(int request, int formatNumber) {
    static const char* const extensions[] = {"duz", "duz", "duz", "duz", "duz", nullptr};
    static const char* const descriptions[] = {"DUZ binary (*.duz)", "DUZ ascii (*.duz)",
                                               "DUZ encrypted (*.duz)", "DUZ 5.0 binary (*.duz)",
                                               "DUZ 5.0 ascii (*.duz)", nullptr};
    const bool inGroup = formatNumber >= 0 && formatNumber < 5;
    switch (request) {
        case eDuzFormatInfoExtensions: return extensions;
        case eDuzFormatInfoDescriptions: return descriptions;
        case eDuzFormatInfoVersions:
            if (!inGroup) return nullptr;
            return formatNumber < 3 ? kDuzVersionsA : kDuzVersionsB;
        case eDuzFormatInfoFlag: return inGroup ? &kDuzFlag : nullptr;
        default: return nullptr;
    }
}

// One-format groups of the other built-in formats (no flag, no versions).
template <const char* Extension, const char* Description>
const void* SingleFormatInfo(int request, int /*formatNumber*/) {
    static const char* const extensions[] = {Extension, nullptr};
    static const char* const descriptions[] = {Description, nullptr};
    switch (request) {
        case eDuzFormatInfoExtensions: return extensions;
        case eDuzFormatInfoDescriptions: return descriptions;
        default: return nullptr;
    }
}

constexpr char kDxf[] = "dxf";
constexpr char kDxfText[] = "Autocad DXF (*.dxf)";
constexpr char k3ds[] = "3ds";
constexpr char k3dsText[] = "3D Studio 3DS (*.3ds)";
constexpr char kObj[] = "obj";
constexpr char kObjText[] = "Wavefront OBJ (*.obj)";
constexpr char kDae[] = "dae";
constexpr char kDaeText[] = "Collada DAE (*.dae)";

KDuzReader* CreateDxfReader(KDuzSdkManager* manager, KDuzImporter*, int) { return new KDuzReaderDxf(manager); }
KDuzWriter* Create3dsWriter(KDuzSdkManager* manager, KDuzExporter*, int) { return new KDuzWriter3DS(manager); }
KDuzWriter* CreateDxfWriter(KDuzSdkManager* manager, KDuzExporter*, int) { return new KDuzWriterDxf(manager); }
KDuzReader* CreateObjReader(KDuzSdkManager* manager, KDuzImporter*, int) { return new KDuzReaderObj(manager); }
KDuzWriter* CreateObjWriter(KDuzSdkManager* manager, KDuzExporter* exporter, int) {
    return new KDuzWriterObj(manager, exporter);
}

KDuzReader* Create3dsReader(KDuzSdkManager* manager, KDuzImporter*, int) { return new KDuzReader3DS(manager); }

KDuzReader* CreateColladaReader(KDuzSdkManager* manager, KDuzImporter*, int) {
    return new KDuzReaderCollada(manager);
}
KDuzWriter* CreateColladaWriter(KDuzSdkManager* manager, KDuzExporter*, int) {
    return new KDuzWriterCollada(manager);
}

// Opens the file with a probing reader and reads its major version; false
// when the reader cannot open it.
bool ProbeMajorVersion(KDuzReader& probe, const char* fileName, int& major) {
    if (!probe.FileOpen(fileName)) return false;
    int minor = 0;
    int revision = 0;
    probe.GetVersion(major, minor, revision);
    probe.FileClose();
    return true;
}

}  // namespace

KDuzReader* KDuzCreateDuzReader(KDuzSdkManager* manager, KDuzImporter* importer, int /*formatNumber*/) {
    const KString fileName = importer != nullptr ? importer->GetFileName() : KString();
    if (fileName.IsEmpty()) return new KDuzReaderDuz6(manager, importer);
    // Files before version 6 go to the version 5 reader, the others to the
    // version 6 one.
    int major = 0;
    {
        KDuzReaderDuz probe(manager, importer);
        if (ProbeMajorVersion(probe, fileName.Buffer(), major) && major < kFirstVersion6Major)
            return new KDuzReaderDuz(manager, importer);
    }
    KDuzReaderDuz6 probe(manager, importer);
    // A file no reader can open still gets the version 6 reader: its own
    // open fails again and tells the caller why (no such file, not a DUZ
    // file, damaged where).
    if (!ProbeMajorVersion(probe, fileName.Buffer(), major)) return new KDuzReaderDuz6(manager, importer);
    if (major < kFirstVersion6Major) return nullptr;
    return new KDuzReaderDuz6(manager, importer);
}

KDuzWriter* KDuzCreateDuzWriter(KDuzSdkManager* manager, KDuzExporter* exporter, int formatNumber) {
    // Formats 0 to 2 are the version 6 writer in its three file modes, 3 and
    // 4 the version 5 writer in binary and ASCII form.
    static constexpr int kModes[] = {KDuzWriterDuz6::eBinary, KDuzWriterDuz6::eAscii, KDuzWriterDuz6::eEnciphered};
    if (formatNumber == 3 || formatNumber == 4) {
        auto* writer = new KDuzWriterDuz(manager, exporter);
        writer->SetFileMode(formatNumber == 3 ? KDuzWriterDuz::eBinary : KDuzWriterDuz::eAscii);
        return writer;
    }
    if (formatNumber < 0 || formatNumber > 2) return nullptr;
    auto* writer = new KDuzWriterDuz6(manager, exporter);
    writer->SetFileMode(kModes[formatNumber]);
    return writer;
}

void KDuzRegisterBuiltinFormatGroups(KDuzFormatRegistry& registry) {
    int first = -1;
    registry.RegisterReaders(&KDuzCreateDuzReader, &DuzReaderInfo, &first, nullptr);
    if (first >= 0) registry.SetFirstDuzReaderIndex(first);
    registry.RegisterReaders(&CreateDxfReader, &SingleFormatInfo<kDxf, kDxfText>, nullptr, nullptr);
    registry.RegisterReaders(&Create3dsReader, &SingleFormatInfo<k3ds, k3dsText>, nullptr, nullptr);
    registry.RegisterReaders(&CreateObjReader, &SingleFormatInfo<kObj, kObjText>, nullptr, nullptr);
    registry.RegisterReaders(&CreateColladaReader, &SingleFormatInfo<kDae, kDaeText>, nullptr, nullptr);

    first = -1;
    registry.RegisterWriters(&KDuzCreateDuzWriter, &DuzWriterInfo, &first, nullptr);
    if (first >= 0) registry.SetFirstDuzWriterIndex(first);
    registry.RegisterWriters(&CreateDxfWriter, &SingleFormatInfo<kDxf, kDxfText>, nullptr, nullptr);
    registry.RegisterWriters(&Create3dsWriter, &SingleFormatInfo<k3ds, k3dsText>, nullptr, nullptr);
    registry.RegisterWriters(&CreateObjWriter, &SingleFormatInfo<kObj, kObjText>, nullptr, nullptr);
    registry.RegisterWriters(&CreateColladaWriter, &SingleFormatInfo<kDae, kDaeText>, nullptr, nullptr);
}

}  // namespace duzsdk
