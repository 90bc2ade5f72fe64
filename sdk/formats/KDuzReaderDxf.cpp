#include "sdk/formats/KDuzReaderDxf.h"

#include <fast_float/fast_float.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "platform/PlatformFile.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzObjectName.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

constexpr int kMappingByPolygon = 3;
constexpr int kByLayer = 256;
constexpr double kTolerance = 1e-6;
// Welding cells are twice the tolerance wide, so that two points within the
// tolerance always lie in the same or in neighbouring cells.
constexpr double kCell = 2e-6;
constexpr double kReach = 1.1e-6;
constexpr int kMaxChain = 16;
// Block references are expanded by reading the block again each time. The
// work that may go into them (pairs read, plus a share per node made) is
// bounded by the file's size, so that nested references cannot make a
// small file take exponential time.
//
// Every node costs memory far beyond the bytes of the reference that makes
// it, so a node takes a share large enough that references make at most
// one node per 16 bytes of the file (beyond a small floor), as many as a
// file of plain entities could.
constexpr int64_t kBudgetPerByte = 32;
constexpr int64_t kBudgetFloor = 1 << 16;
constexpr int64_t kBytesPerReferencedNode = 16;
constexpr int64_t kNodeCost = kBudgetPerByte * kBytesPerReferencedNode;
// Deeper nesting than this is not a drawing but an attack on the stack.
constexpr size_t kMaxBlockDepth = 64;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// A whole number field; false for anything else (also outside the int range).
bool ParseInt(std::string_view text, int& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    long long wide = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), wide);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    if (wide < INT_MIN || wide > INT_MAX) return false;
    value = static_cast<int>(wide);
    return true;
}

// An int group value: its number, 0 when it is not one.
int IntValue(std::string_view text) {
    int value = 0;
    return ParseInt(text, value) ? value : 0;
}

// A real group value, locale-free; the previous value stays when the text
// is not a finite number.
void ReadReal(std::string_view text, double& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double parsed = 0.0;
    const auto result = fast_float::from_chars(text.data(), text.data() + text.size(), parsed);
    if (result.ec == std::errc() && text.size() > 0 && std::isfinite(parsed)) value = parsed;
}

// A DXF point (x, y, z) on the SDK axes (x, z, -y).
KgeTVector MapPoint(const double p[3]) { return KgeTVector(p[0], p[2], -p[1], 1.0); }

bool NearlyEqual(const KgeTVector& a, const KgeTVector& b) {
    return std::abs(a[0] - b[0]) <= kTolerance && std::abs(a[1] - b[1]) <= kTolerance &&
           std::abs(a[2] - b[2]) <= kTolerance;
}

int64_t CellOf(double v) {
    const double cell = std::floor(v / kCell);
    // Beyond 2^52 cells the coordinates are further apart than the
    // tolerance anyway; clamping keeps the conversion defined.
    return static_cast<int64_t>(std::clamp(cell, -4.0e18, 4.0e18));
}

uint64_t CellKey(int64_t x, int64_t y, int64_t z) {
    uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(z) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    return h;
}

// Through the platform layer's open: only a regular file is read, and a
// FIFO or device is refused at once instead of blocking or never ending.
FILE* OpenRegularFile(const char* path) { return duzplatform::OpenFile(path, "rb"); }

}  // namespace

// ---- welding -------------------------------------------------------------------------

int DxfFaceAccumulator::AddWelded(const KgeTVector& p) {
    const bool finite = std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
    if (finite) {
        // Only the cells within reach of the tolerance (with a margin for
        // rounding) can hold an equal point: one or two per axis, mostly.
        int64_t lo[3];
        int64_t hi[3];
        for (int k = 0; k < 3; ++k) {
            lo[k] = CellOf(p[k] - kReach);
            hi[k] = std::min(CellOf(p[k] + kReach), lo[k] + 2);
        }
        // Cells hash to chains; a chain may hold points of other cells, which
        // the comparison sorts out.
        int best = -1;
        for (int64_t x = lo[0]; x <= hi[0]; ++x) {
            for (int64_t y = lo[1]; y <= hi[1]; ++y) {
                for (int64_t z = lo[2]; z <= hi[2]; ++z) {
                    const auto found = cells.find(CellKey(x, y, z));
                    if (found == cells.end()) continue;
                    for (int i = found->second; i >= 0; i = next[i]) {
                        if ((best < 0 || i < best) && NearlyEqual(points[i], p)) best = i;
                    }
                }
            }
        }
        if (best >= 0) return best;
    }
    return Append(p);
}

int DxfFaceAccumulator::Append(const KgeTVector& p) {
    const int index = static_cast<int>(points.size());
    points.push_back(p);
    next.push_back(-1);
    if (indexed && std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])) {
        int64_t c[3];
        for (int k = 0; k < 3; ++k) c[k] = CellOf(p[k]);
        auto [slot, isNew] = cells.try_emplace(CellKey(c[0], c[1], c[2]), index);
        if (!isNew) {
            // A point equal to one in the chain is never the first match;
            // and a chain is kept short, so that a crowd of near points
            // (unwelded polyface vertices) cannot make welding quadratic.
            int length = 0;
            for (int i = slot->second; i >= 0; i = next[i]) {
                if (++length >= kMaxChain || (points[i][0] == p[0] && points[i][1] == p[1] && points[i][2] == p[2])) {
                    return index;
                }
            }
            next[index] = slot->second;
            slot->second = index;
        }
    }
    return index;
}

// ---- file ----------------------------------------------------------------------------

KDuzReaderDxf::KDuzReaderDxf(KDuzSdkManager* manager) : KDuzReader(manager) {}

KDuzReaderDxf::~KDuzReaderDxf() { FileClose(); }

bool KDuzReaderDxf::FileOpen(const char* fileName) {
    FileClose();
    if (fileName != nullptr) mFile = OpenRegularFile(fileName);
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    mPath = fileName;
    return true;
}

bool KDuzReaderDxf::FileClose() {
    bool closed = true;
    if (mFile != nullptr) closed = std::fclose(mFile) == 0;
    mFile = nullptr;
    mPath = "";
    return closed;
}

KDuzStreamOptions* KDuzReaderDxf::GetReadOptions(bool /*parseFileAsNeeded*/) {
    return KDuzStreamOptionsDxfReader::Create(mManager, "");
}

bool KDuzReaderDxf::LoadFile() {
    mText.clear();
    struct stat info {};
    // Sized once: doubling a 1 GB buffer would hold twice that for a while.
    if (fstat(fileno(mFile), &info) == 0 && info.st_size > 0) mText.reserve(static_cast<size_t>(info.st_size));
    std::rewind(mFile);
    char block[1 << 16];
    for (;;) {
        const size_t n = std::fread(block, 1, sizeof block, mFile);
        if (n == 0) break;
        mText.insert(mText.end(), block, block + n);
    }
    return std::ferror(mFile) == 0;
}

bool KDuzReaderDxf::Fail(const char* text) {
    if (!mCorrupt) mError.SetLastErrorWithText(eFileCorrupted, text);
    mCorrupt = true;
    return false;
}

// One line without its end (LF, CR LF or a lone CR); false when nothing is
// left. A line of any length is one line.
bool KDuzReaderDxf::ReadLine(std::string_view& line) {
    if (mPos >= mText.size()) return false;
    const char* start = mText.data() + mPos;
    const size_t available = mText.size() - mPos;
    size_t n = 0;
    while (n < available && start[n] != '\n' && start[n] != '\r') ++n;
    line = std::string_view(start, n);
    mPos += n;
    if (mPos < mText.size()) {
        if (mText[mPos++] == '\r' && mPos < mText.size() && mText[mPos] == '\n') ++mPos;
    }
    return true;
}

// A group code line and its value line. False at the end of the file, when
// the value line is the file's last and has no line end, and when the code
// is not a number (the file is then corrupted).
bool KDuzReaderDxf::ReadGroupPair(int& code, std::string_view& value) {
    if (mCorrupt) return false;
    std::string_view line;
    if (!ReadLine(line)) return false;
    if (!ParseInt(Trim(line), code)) {
        // Counted only now: positions move back and forth while reading.
        const size_t lineNumber = static_cast<size_t>(std::count(static_cast<const char*>(mText.data()), line.data(), '\n')) + 1;
        char text[96];
        std::snprintf(text, sizeof text, "Group code expected on line %zu", lineNumber);
        return Fail(text);
    }
    if (!mActiveBlocks.empty() && --mReferenceBudget < 0) {
        // A block reference ran out of work: what it made stays, the rest
        // of it is skipped.
        if (!mBudgetMessage) mMessageText += "Block references beyond the reading limit were skipped\n";
        mBudgetMessage = true;
        return false;
    }
    if (!ReadLine(value)) return false;
    const bool ended = mPos > 0 && (mText[mPos - 1] == '\n' || mText[mPos - 1] == '\r');
    value = Trim(value);
    return ended;
}

// ---- read ----------------------------------------------------------------------------

bool KDuzReaderDxf::Read(KDuzScene* scene, KDuzStreamOptions* options) {
    mError.ClearError();
    mMessageText = "";
    if (!IsFileOpen()) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    auto* dxfOptions = dynamic_cast<KDuzStreamOptionsDxfReader*>(options);
    if (dxfOptions == nullptr || scene == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        return false;
    }
    mDerivation = dxfOptions->GetObjectDerivation();
    mWeld = dxfOptions->GetBoolOption("WELD VERTICES", false);
    mReferenceNode = dxfOptions->GetBoolOption("REFERENCENODE", false);

    mRenamer.Clear();
    mLayers.clear();
    mMaterials.fill(nullptr);
    mMaterialCounter = 0;
    mPos = 0;
    mCorrupt = false;
    mBlocksPosition = 0;
    mBlocksIndexed = false;
    mBlockIndex.clear();
    mActiveBlocks.clear();
    mBudgetMessage = false;
    if (!LoadFile()) return Fail("The file could not be read");
    mReferenceBudget = kBudgetFloor + kBudgetPerByte * static_cast<int64_t>(mText.size());

    KDuzNode* parent = scene->GetRootNode();
    if (parent == nullptr) return Fail("The scene has no root node");
    if (mReferenceNode) {
        KDuzNode* reference = KDuzNode::Create(mManager, "Duz_Root");
        if (reference == nullptr) return Fail("A node could not be made");
        parent->AddChild(reference);
        reference->SetLclRotation(duzVectorTemplate3<double>(90.0, 0.0, 0.0));
        parent = reference;
    }

    bool result = false;
    int code = 0;
    std::string_view value;
    bool done = false;
    bool sections = false;
    while (!done && ReadGroupPair(code, value)) {
        if (value == "EOF") {
            result = true;
            break;
        }
        if (code != 0 || value != "SECTION") continue;
        sections = true;
        if (!ReadGroupPair(code, value)) break;
        if (code != 2) continue;
        if (value == "TABLES") {
            ReadLayerTable();
        } else if (value == "BLOCKS") {
            mBlocksPosition = mPos;
        } else if (value == "ENTITIES") {
            bool met = false;
            switch (mDerivation) {
                case 0: result = ReadEntitiesByLayer(parent); break;
                case 1: result = ReadEntities(Target::eEntity, parent, nullptr, nullptr, true, met); break;
                case 2: result = ReadBlock(parent, "ENTITIES", Placement{}, true, SIZE_MAX); break;
                default: mError.SetLastErrorWithText(eUnidentifiedError, "Unknown object derivation"); break;
            }
            done = true;
        }
    }
    mText.clear();
    mText.shrink_to_fit();
    mBlockIndex.clear();
    if (!result && !mCorrupt && mError.GetLastErrorIndex() != eUnidentifiedError) {
        // A file without a single section is not a DXF file at all.
        mError.SetLastErrorWithText(eFileCorrupted, sections ? "Unexpected end of file" : "Not a DXF file: no section in it");
    }
    return result && !mCorrupt;
}

// ---- tables --------------------------------------------------------------------------

bool KDuzReaderDxf::ReadLayerTable() {
    int code = 0;
    std::string_view value;
    // Not reset between entries: an entry without a colour takes the one before.
    int colour = 0;
    while (ReadGroupPair(code, value)) {
        if (code != 0) continue;
        if (value == "ENDSEC") return true;
        if (value != "TABLE") continue;
        if (!ReadGroupPair(code, value)) return false;
        if (code != 2 || value != "LAYER") {
            bool ended = false;
            while (!ended && ReadGroupPair(code, value)) {
                if (code == 0 && value == "ENDSEC") return true;
                ended = code == 0 && value == "ENDTAB";
            }
            if (!ended) return false;
            continue;
        }
        // Entries until ENDTAB; the pairs before the first entry are the
        // table's own.
        bool inEntry = false;
        std::string name;
        for (;;) {
            if (!ReadGroupPair(code, value)) return false;
            if (code == 0) {
                if (inEntry && !name.empty()) mLayers.try_emplace(name, colour);
                name.clear();
                inEntry = value == "LAYER";
                if (value == "ENDTAB") break;
                if (value == "ENDSEC") return true;
                continue;
            }
            if (!inEntry) continue;
            if (code == 2) name.assign(value);
            else if (code == 62) colour = IntValue(value);
        }
    }
    return false;
}

int KDuzReaderDxf::LayerColour(const std::string& layer) const {
    const auto found = mLayers.find(layer);
    return found != mLayers.end() ? found->second : 0;
}

// An entity's colour: its own, or the absolute colour of its layer (for 0,
// "by block", and 256, "by layer").
int KDuzReaderDxf::ResolveColour(int colour, const std::string& layer) const {
    if (colour != 0 && colour != kByLayer) return colour;
    const int table = LayerColour(layer);
    return table == INT_MIN ? INT_MAX : std::abs(table);
}

void KDuzReaderDxf::ColorIndexToRgb(int n, double rgb[3]) {
    if (n >= 1 && n <= 7) {
        static const double kBasic[7][3] = {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}};
        for (int k = 0; k < 3; ++k) rgb[k] = kBasic[n - 1][k];
    } else if (n == 8 || n == 9) {
        rgb[0] = rgb[1] = rgb[2] = n == 8 ? 0.502 : 0.753;
    } else if (n >= 10 && n <= 249) {
        static const int kP[8] = {4, 4, 4, 4, 4, 3, 2, 1};
        static const int kQ[8] = {0, 1, 2, 3, 4, 4, 4, 4};
        static const double kF[5] = {1.0, 0.65, 0.5, 0.3, 0.15};
        const int i = n < 90 ? (n - 10) / 10 : n < 170 ? (n - 90) / 10 : (n - 170) / 10;
        double v[3];
        if (n < 90) {
            v[0] = kP[i], v[1] = kQ[i], v[2] = 0;
        } else if (n < 170) {
            v[0] = 0, v[1] = kP[i], v[2] = kQ[i];
        } else {
            v[0] = kQ[i], v[1] = 0, v[2] = kP[i];
        }
        const double factor = kF[(n % 10) / 2];
        for (int k = 0; k < 3; ++k) {
            const double channel = n % 2 == 1 ? (v[k] + 4.0) / 8.0 : v[k] / 4.0;
            rgb[k] = channel * factor;
        }
    } else if (n >= 250 && n <= 255) {
        rgb[0] = rgb[1] = rgb[2] = 0.33 + 0.134 * (n % 10);
    }
}

KDuzSurfaceLambert* KDuzReaderDxf::MaterialOfColour(int n) {
    if (n < 1 || n > 255) return nullptr;
    if (mMaterials[n] == nullptr) {
        const std::string name = "Material" + std::to_string(mMaterialCounter);
        KDuzSurfaceLambert* material = KDuzSurfaceLambert::Create(mManager, name.c_str());
        if (material == nullptr) return nullptr;
        ++mMaterialCounter;
        double rgb[3] = {1.0, 1.0, 1.0};
        ColorIndexToRgb(n, rgb);
        const duzVectorTemplate3<double> colour(rgb[0], rgb[1], rgb[2]);
        material->SetBuiltInDouble3(eMaterialDiffuseColor, colour);
        mMaterials[n] = material;
    }
    return mMaterials[n];
}

KDuzNode* KDuzReaderDxf::CreateNamedNode(const char* name) {
    KDuzObjectName unique(name);
    mRenamer.Rename(unique);
    return KDuzNode::Create(mManager, unique.GetCurrentName());
}

// ---- meshes --------------------------------------------------------------------------

KDuzMesh* KDuzReaderDxf::BuildMesh(const DxfFaceAccumulator& faces) {
    // Points without faces are no surface.
    if (faces.faces.empty()) return nullptr;
    KDuzMesh* mesh = KDuzMesh::Create(mManager, "");
    if (mesh == nullptr) return nullptr;
    const int count = static_cast<int>(faces.points.size());
    if (!mesh->InitControlPoints(count)) {
        mMessageText += "A mesh with more points than a mesh can hold was left out\n";
        mesh->Destroy();
        return nullptr;
    }
    if (faces.usesMaterials) mesh->InitMaterialIndices(kMappingByPolygon);
    std::copy(faces.points.begin(), faces.points.end(), mesh->GetControlPoints());
    std::array<int, 256> materialIndex;
    materialIndex.fill(-1);
    for (const DxfFaceAccumulator::Face& face : faces.faces) {
        int index = 0;
        if (face.colour >= 1 && face.colour <= 255) {
            if (materialIndex[face.colour] < 0) {
                KDuzSurfaceLambert* material = MaterialOfColour(face.colour);
                if (material != nullptr) materialIndex[face.colour] = mesh->AddMaterial(material);
            }
            index = std::max(materialIndex[face.colour], 0);
        }
        mesh->BeginPolygon(index, -1, -1);
        for (int k = 0; k < face.count; ++k) mesh->AddPolygon(face.index[k]);
        mesh->EndPolygon();
    }
    return mesh;
}

// The faces of one VERTEX record of a polyface mesh; `more` is set when
// the record that follows is another VERTEX.
bool KDuzReaderDxf::ReadVertex(DxfFaceAccumulator& faces, int base, int colour, int layerColour, bool& more) {
    int code = 0;
    std::string_view value;
    double p[3] = {0.0, 0.0, 0.0};
    int flags = 0;
    int number[4] = {0, 0, 0, 0};
    size_t start = mPos;
    for (;;) {
        start = mPos;
        if (!ReadGroupPair(code, value)) return false;
        if (code == 0) break;
        switch (code) {
            case 10: ReadReal(value, p[0]); break;
            case 20: ReadReal(value, p[1]); break;
            case 30: ReadReal(value, p[2]); break;
            case 62: colour = IntValue(value); break;
            case 70: flags = IntValue(value); break;
            case 71: case 72: case 73: case 74: number[code - 71] = IntValue(value); break;
            default: break;
        }
    }
    more = value == "VERTEX";
    // The record after the last vertex is the entity loop's to read.
    if (!more) mPos = start;
    if (flags == 192) {
        if (faces.points.size() >= static_cast<size_t>(KDuzGeometryBase::kMaxControlPoints)) {
            return Fail("Too many points in one mesh");
        }
        faces.Append(MapPoint(p));
    } else if (flags == 128) {
        if (colour == 0 || colour == kByLayer) colour = layerColour;
        // Numbers are 1-based within this polyline; a negative one marks an
        // invisible edge. INT_MIN has no absolute value and names no point.
        int index[4] = {-1, -1, -1, -1};
        const int pointCount = static_cast<int>(faces.points.size());
        const int corners = number[3] != 0 ? 4 : 3;
        for (int k = 0; k < corners; ++k) {
            if (number[k] == 0 || number[k] == INT_MIN) return true;
            const long long at = static_cast<long long>(std::abs(number[k])) + base - 1;
            if (at >= pointCount) return true;
            index[k] = static_cast<int>(at);
        }
        if (corners == 3 && (index[0] == index[1] || index[1] == index[2] || index[0] == index[2])) return true;
        DxfFaceAccumulator::Face face;
        face.colour = colour;
        face.count = corners;
        for (int k = 0; k < corners; ++k) face.index[k] = index[corners - 1 - k];
        if (colour > 0) faces.usesMaterials = true;
        faces.faces.push_back(face);
    }
    return true;
}

// A POLYLINE with its VERTEX records into the accumulator; `any` tells
// whether vertices followed. False only at the end of the file.
bool KDuzReaderDxf::ReadPolyline(DxfFaceAccumulator& faces, bool& any) {
    int code = 0;
    std::string_view value;
    std::string layer;
    int colour = 0;
    size_t start = mPos;
    for (;;) {
        start = mPos;
        if (!ReadGroupPair(code, value)) return false;
        if (code == 0) break;
        if (code == 8) layer.assign(value);
        else if (code == 62) colour = IntValue(value);
    }
    any = value == "VERTEX";
    if (!any) {
        mPos = start;
        return true;
    }
    const int resolved = ResolveColour(colour, layer);
    const int layerColour = ResolveColour(0, layer);
    const int base = static_cast<int>(faces.points.size());
    bool more = true;
    while (more) {
        if (!ReadVertex(faces, base, resolved, layerColour, more)) return false;
    }
    return true;
}

// A 3DFACE: into the accumulator when there is one, else as a mesh of its
// own. `any` tells whether it made a face.
bool KDuzReaderDxf::Read3DFace(DxfFaceAccumulator* faces, bool weld, KDuzMesh** mesh, bool& any) {
    int code = 0;
    std::string_view value;
    std::string layer;
    int colour = 0;
    double corner[4][3] = {};
    size_t start = mPos;
    any = false;
    for (;;) {
        start = mPos;
        if (!ReadGroupPair(code, value)) return false;
        if (code == 0) break;
        if (code >= 10 && code <= 13) ReadReal(value, corner[code - 10][0]);
        else if (code >= 20 && code <= 23) ReadReal(value, corner[code - 20][1]);
        else if (code >= 30 && code <= 33) ReadReal(value, corner[code - 30][2]);
        else if (code == 8) layer.assign(value);
        else if (code == 62) colour = IntValue(value);
    }
    mPos = start;
    KgeTVector p[4];
    for (int k = 0; k < 4; ++k) p[k] = MapPoint(corner[k]);
    // A fourth corner that repeats any other makes a triangle of the first
    // three: writers close triangles with the third corner or with the
    // first (as OpenSceneGraph does).
    const bool triangle = NearlyEqual(p[2], p[3]) || NearlyEqual(p[0], p[3]) || NearlyEqual(p[1], p[3]);
    const int n = triangle ? 3 : 4;
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            if (NearlyEqual(p[a], p[b])) return true;
        }
    }
    colour = ResolveColour(colour, layer);
    any = true;
    if (faces != nullptr) {
        DxfFaceAccumulator::Face face;
        face.colour = colour;
        face.count = n;
        for (int k = 0; k < n; ++k) {
            const KgeTVector& point = p[n - 1 - k];
            if (weld) {
                face.index[k] = faces->AddWelded(point);
            } else {
                face.index[k] = faces->Append(point);
            }
        }
        if (colour > 0) faces->usesMaterials = true;
        faces->faces.push_back(face);
        return true;
    }
    DxfFaceAccumulator single;
    DxfFaceAccumulator::Face face;
    face.colour = colour;
    face.count = n;
    for (int k = 0; k < n; ++k) {
        single.points.push_back(p[n - 1 - k]);
        face.index[k] = k;
    }
    single.usesMaterials = colour > 0;
    single.faces.push_back(face);
    *mesh = BuildMesh(single);
    return true;
}

// The entity loop of every mode. Ends with true at ENDSEC or ENDBLK, with
// false at the end of the file. `met` tells whether a polyline or a face
// went into the block's accumulator.
bool KDuzReaderDxf::ReadEntities(Target target, KDuzNode* parent, DxfFaceAccumulator* block, KDuzNode* blockNode,
                                 bool referencesToParent, bool& met) {
    int code = 0;
    std::string_view value;
    while (ReadGroupPair(code, value)) {
        if (code != 0) continue;
        if (value == "ENDSEC" || value == "ENDBLK") return true;
        if (value == "POLYLINE") {
            if (target == Target::eEntity) {
                KDuzNode* node = CreateNamedNode("POLYLINE");
                if (node == nullptr) return Fail("A node could not be made");
                DxfFaceAccumulator faces;
                bool any = false;
                const bool read = ReadPolyline(faces, any);
                KDuzMesh* mesh = read && any ? BuildMesh(faces) : nullptr;
                if (mesh != nullptr) {
                    node->SetNodeAttribute(mesh);
                    parent->AddChild(node);
                } else {
                    node->Destroy();
                }
                if (!read) return false;
            } else {
                bool any = false;
                if (!ReadPolyline(*block, any)) return false;
                met = met || any;
            }
        } else if (value == "3DFACE") {
            if (target == Target::eEntity) {
                KDuzNode* node = CreateNamedNode("3DFACE");
                if (node == nullptr) return Fail("A node could not be made");
                KDuzMesh* mesh = nullptr;
                bool any = false;
                const bool read = Read3DFace(nullptr, false, &mesh, any);
                if (mesh != nullptr) {
                    node->SetNodeAttribute(mesh);
                    parent->AddChild(node);
                } else {
                    node->Destroy();
                }
                if (!read) return false;
            } else {
                bool any = false;
                if (!Read3DFace(block, mWeld, nullptr, any)) return false;
                met = true;
            }
        } else if (value == "INSERT") {
            KDuzNode* under = target == Target::eBlock && !referencesToParent ? blockNode : parent;
            if (!ReadInsert(under)) return false;
        }
    }
    return false;
}

bool KDuzReaderDxf::ReadEntitiesByLayer(KDuzNode* parent) {
    // One accumulator per layer name, built in the names' sorted order.
    std::map<std::string, DxfFaceAccumulator> layers;
    int code = 0;
    std::string_view value;
    bool ended = false;
    while (ReadGroupPair(code, value)) {
        if (code != 0) continue;
        if (value == "ENDSEC" || value == "ENDBLK") {
            ended = true;
            break;
        }
        if (value != "POLYLINE" && value != "3DFACE") {
            if (value == "INSERT" && !ReadInsert(parent)) break;
            continue;
        }
        // The layer comes with the entity's pairs: find it before reading.
        const size_t start = mPos;
        std::string layer;
        int innerCode = 0;
        std::string_view inner;
        while (ReadGroupPair(innerCode, inner) && innerCode != 0) {
            if (innerCode == 8) layer.assign(inner);
        }
        if (mCorrupt) break;
        mPos = start;
        DxfFaceAccumulator& faces = layers[layer];
        faces.indexed = mWeld;
        bool any = false;
        const bool read = value == "POLYLINE" ? ReadPolyline(faces, any) : Read3DFace(&faces, mWeld, nullptr, any);
        if (!read) break;
    }
    for (auto& [name, faces] : layers) {
        KDuzMesh* mesh = BuildMesh(faces);
        faces = DxfFaceAccumulator();
        if (mesh == nullptr) continue;
        KDuzNode* node = CreateNamedNode(name.c_str());
        if (node == nullptr) {
            mesh->Destroy();
            return Fail("A node could not be made");
        }
        node->SetNodeAttribute(mesh);
        if (LayerColour(name) < 0) node->SetVisibility(false);
        parent->AddChild(node);
    }
    return ended && !mCorrupt;
}

// ---- blocks --------------------------------------------------------------------------

// Every block's entities, by name, in one pass over the blocks section; a
// name met again keeps its first block.
void KDuzReaderDxf::IndexBlocks() {
    mBlocksIndexed = true;
    const size_t savedPos = mPos;
    int code = 0;
    std::string_view value;
    if (mBlocksPosition == 0) {
        bool found = false;
        while (!found && ReadGroupPair(code, value)) {
            if (code != 0 || value != "SECTION") continue;
            if (!ReadGroupPair(code, value)) break;
            found = code == 2 && value == "BLOCKS";
        }
        if (!found) {
            mPos = savedPos;
            return;
        }
        mBlocksPosition = mPos;
    }
    mPos = mBlocksPosition;
    bool inHeader = false;
    while (ReadGroupPair(code, value)) {
        if (code == 0) {
            if (value == "EOF" || value == "ENDSEC") break;
            inHeader = value == "BLOCK";
            continue;
        }
        if (inHeader && code == 2) mBlockIndex.try_emplace(std::string(value), mPos);
    }
    mPos = savedPos;
}

bool KDuzReaderDxf::FindBlock(const std::string& name, size_t& position) {
    if (!mBlocksIndexed) IndexBlocks();
    if (mCorrupt) return false;
    const auto found = mBlockIndex.find(name);
    if (found == mBlockIndex.end()) return false;
    position = found->second;
    return true;
}

bool KDuzReaderDxf::ReadBlockBasePoint(double base[3]) {
    int code = 0;
    std::string_view value;
    for (;;) {
        const size_t start = mPos;
        if (!ReadGroupPair(code, value)) return false;
        if (code == 0) {
            mPos = start;
            return true;
        }
        if (code == 10) ReadReal(value, base[0]);
        else if (code == 20) ReadReal(value, base[1]);
        else if (code == 30) ReadReal(value, base[2]);
    }
}

bool KDuzReaderDxf::ReadInsert(KDuzNode* parent) {
    int code = 0;
    std::string_view value;
    std::string name;
    Placement placement;
    size_t start = mPos;
    for (;;) {
        start = mPos;
        if (!ReadGroupPair(code, value)) return false;
        if (code == 0) break;
        switch (code) {
            case 2: name.assign(value); break;
            case 10: case 20: case 30: ReadReal(value, placement.insertion[code / 10 - 1]); break;
            case 41: case 42: case 43: ReadReal(value, placement.scale[code - 41]); break;
            case 50: ReadReal(value, placement.rotation); break;
            default: break;
        }
    }
    size_t position = 0;
    bool read = true;
    if (!name.empty() && FindBlock(name, position)) {
        const bool active = std::find(mActiveBlocks.begin(), mActiveBlocks.end(), position) != mActiveBlocks.end();
        if (active || mActiveBlocks.size() >= kMaxBlockDepth || mReferenceBudget < kNodeCost) {
            // A block inside itself, or too deep or too much: the reference adds nothing.
            if (!mBudgetMessage && !active) {
                mMessageText += "Block references beyond the reading limit were skipped\n";
                mBudgetMessage = true;
            }
        } else {
            mPos = position;
            if (ReadBlockBasePoint(placement.base)) {
                KDuzObjectName unique(name.c_str());
                mRenamer.Rename(unique);
                mReferenceBudget -= kNodeCost;
                read = ReadBlock(parent, unique.GetCurrentName(), placement, false, position);
            }
        }
    }
    if (mCorrupt) return false;
    mPos = start;
    // The end of the file inside the block is not the end of this one.
    (void)read;
    return true;
}

bool KDuzReaderDxf::ReadBlock(KDuzNode* parent, const char* name, const Placement& placement,
                              bool referencesToParent, size_t blockKey) {
    KDuzNode* node = KDuzNode::Create(mManager, name);
    if (node == nullptr) return Fail("A node could not be made");
    DxfFaceAccumulator faces;
    faces.indexed = mWeld;
    bool met = false;
    const bool counted = blockKey != SIZE_MAX;
    if (counted) mActiveBlocks.push_back(blockKey);
    const bool ended = ReadEntities(Target::eBlock, parent, &faces, node, referencesToParent, met);
    if (counted) mActiveBlocks.pop_back();
    KDuzMesh* mesh = met ? BuildMesh(faces) : nullptr;
    if (mesh != nullptr) node->SetNodeAttribute(mesh);
    if (mesh == nullptr && node->GetChildCount() == 0) {
        node->Destroy();
        return ended;
    }
    // Block points are relative to the base point: the insertion point takes
    // the scaled and rotated base point off.
    const double* s = placement.scale;
    const double angle = placement.rotation * std::numbers::pi / 180.0;
    const double c = std::cos(angle);
    const double sn = std::sin(angle);
    const double bx = placement.base[0] * s[0];
    const double by = placement.base[1] * s[1];
    const double bz = placement.base[2] * s[2];
    const double t[3] = {placement.insertion[0] - (bx * c - by * sn), placement.insertion[1] - (bx * sn + by * c),
                         placement.insertion[2] - bz};
    if (s[0] != 1.0 || s[1] != 1.0 || s[2] != 1.0) {
        node->SetLclScaling(duzVectorTemplate3<double>(s[0], s[2], s[1]));
    }
    if (placement.rotation != 0.0) node->SetLclRotation(duzVectorTemplate3<double>(0.0, placement.rotation, 0.0));
    if (t[0] != 0.0 || t[1] != 0.0 || t[2] != 0.0) {
        node->SetLclTranslation(duzVectorTemplate3<double>(t[0], t[2], -t[1]));
    }
    parent->AddChild(node);
    return ended;
}

}  // namespace duzsdk
