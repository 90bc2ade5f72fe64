#include "sdk/formats/KDuzReaderObj.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <unordered_map>

#include "platform/PlatformFile.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzObjectName.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

constexpr size_t kReadBlock = 1 << 16;
constexpr int kShadingModeTextured = 5;
constexpr int kMappingByPolygon = 3;
constexpr int kMappingAllSame = 5;
constexpr int kMappingByPolygonVertex = 2;
constexpr int kDiffuseChannel = 3;
constexpr int kCsTypeBspline = 3;

// Blanks by character, one look-up a character on the hot paths.
constexpr std::array<bool, 256> kBlanks = [] {
    std::array<bool, 256> blanks{};
    for (const unsigned char c : {' ', '\t', '\f', '\v', '\r', '\n'}) blanks[c] = true;
    return blanks;
}();

bool IsBlank(char c) { return kBlanks[static_cast<unsigned char>(c)]; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The next blank-separated word of text, which loses it; empty at the end.
std::string_view NextWord(std::string_view& text) {
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) ++start;
    size_t end = start;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    const std::string_view word = text.substr(start, end - start);
    text.remove_prefix(end);
    return word;
}

// A whole word "d", "-d", "d.d" or "-d.d" whose digits, the point left out,
// make an integer of at most 2^53, as most numbers in files are written:
// that integer and the power of ten it is divided by are both exact doubles,
// so the one division rounds correctly and gives what from_chars gives.
// False for anything else, which from_chars reads.
bool ReadPlainDecimal(std::string_view word, double& value) {
    static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = word.data();
    const char* const end = p + word.size();
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    // At most 19 characters, so at most 19 digits: they cannot overflow,
    // and a fraction has at most 18.
    if (end - p > 19) return false;
    uint64_t digits = 0;
    const char* const start = p;
    auto isDigit = [](char c) { return static_cast<unsigned char>(c - '0') < 10; };
    while (p < end && isDigit(*p)) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
    if (p == start) return false;
    int fraction = 0;
    if (p < end) {
        if (*p++ != '.') return false;
        const char* const point = p;
        while (p < end && isDigit(*p)) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
        fraction = static_cast<int>(p - point);
        if (fraction == 0 || p != end) return false;
    }
    if (digits > (uint64_t{1} << 53)) return false;
    const double magnitude = static_cast<double>(digits) / kPowersOfTen[fraction];
    value = negative ? -magnitude : magnitude;
    return true;
}

// Reads up to `max` numbers from the front of text, locale-free; stops at
// the first word that is not a number. Returns how many were read.
int ParseDoubles(std::string_view text, double* out, int max) {
    int count = 0;
    while (count < max) {
        std::string_view word = NextWord(text);
        if (word.empty()) break;
        if (word.front() == '+') word.remove_prefix(1);
        double value = 0.0;
        if (!ReadPlainDecimal(word, value)) {
            const auto result = std::from_chars(word.data(), word.data() + word.size(), value);
            if (result.ec != std::errc() || word.empty()) break;
        }
        out[count++] = value;
    }
    return count;
}

// A whole integer field; false when the text is empty or not a number in range.
bool ParseInteger(std::string_view text, long long& value) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    // Most fields are a few plain digits: those cannot overflow below 19.
    if (text.size() < 19) {
        long long digits = 0;
        size_t i = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') digits = digits * 10 + (text[i++] - '0');
        if (i == text.size()) {
            value = digits;
            return true;
        }
    }
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// One face corner "v", "v/t", "v/t/n" or "v//n" (raw 1-based or negative
// numbers, 0 where absent); false without a vertex number.
bool ParseFaceVertex(std::string_view text, long long& vertex, long long& uv, long long& normal) {
    vertex = uv = normal = 0;
    // Plain digits and slashes, as nearly every file writes its corners, in
    // one pass; anything else (signs, other characters, long numbers) takes
    // the general path below, which gives the same for these.
    long long numbers[3] = {0, 0, 0};
    int found = 0;
    bool noUvField = false;
    bool plain = true;
    long long value = 0;
    int digits = 0;
    for (size_t i = 0; plain && i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : '/';
        if (c >= '0' && c <= '9') {
            plain = ++digits < 19;
            if (plain) value = value * 10 + (c - '0');
        } else if (c == '/') {
            if (digits > 0 && found < 3) numbers[found++] = value;
            if (i > 0 && i < text.size() && text[i - 1] == '/') noUvField = true;
            value = 0;
            digits = 0;
        } else {
            plain = false;
        }
    }
    if (plain) {
        if (found == 0 || numbers[0] == 0) return false;
        vertex = numbers[0];
        if (noUvField) {
            normal = numbers[1];
        } else {
            uv = numbers[1];
            normal = numbers[2];
        }
        return true;
    }
    std::string_view fields[3];
    int count = 0;
    size_t start = 0;
    while (start <= text.size() && count < 3) {
        size_t slash = text.find('/', start);
        if (slash == std::string_view::npos) slash = text.size();
        if (slash > start) fields[count++] = text.substr(start, slash - start);
        start = slash + 1;
    }
    if (count == 0 || !ParseInteger(fields[0], vertex) || vertex == 0) return false;
    const bool noUv = text.find("//") != std::string_view::npos;
    if (noUv) {
        if (count > 1 && !ParseInteger(fields[1], normal)) normal = 0;
    } else {
        if (count > 1 && !ParseInteger(fields[1], uv)) uv = 0;
        if (count > 2 && !ParseInteger(fields[2], normal)) normal = 0;
    }
    return true;
}

// Up to 18 digits at p, which moves past them; false without any or with
// more (the general path reads those).
bool ReadShortNumber(const char*& p, const char* end, long long& value) {
    const char* const start = p;
    long long digits = 0;
    while (p < end && static_cast<unsigned char>(*p - '0') < 10) {
        if (p - start < 18) digits = digits * 10 + (*p - '0');
        ++p;
    }
    value = digits;
    return p > start && p - start < 19;
}

// The corner at p when it is written as nearly every file writes corners,
// "v", "v/t", "v/t/n" or "v//n" in short plain numbers, a vertex other than
// 0 and a blank or the end after it: what ParseFaceVertex gives for it, in
// one pass and without finding the word first. Returns the end of the
// corner; null for anything else, which goes to ParseFaceVertex.
const char* ReadPlainCorner(const char* p, const char* end, long long& vertex, long long& uv, long long& normal) {
    uv = normal = 0;
    bool plain = ReadShortNumber(p, end, vertex);
    if (plain && p < end && *p == '/') {
        ++p;
        if (p < end && *p == '/') {
            ++p;
            plain = ReadShortNumber(p, end, normal);
        } else {
            plain = ReadShortNumber(p, end, uv);
            if (plain && p < end && *p == '/') {
                ++p;
                plain = ReadShortNumber(p, end, normal);
            }
        }
    }
    return plain && vertex != 0 && (p == end || IsBlank(*p)) ? p : nullptr;
}

ObjNormal XyzOf(const KgeTVector& vector) {
    const double* v = vector.Data();
    return ObjNormal{v[0], v[1], v[2]};
}

KgeTVector Normalized(const KgeTVector& vector) {
    const double* v = vector.Data();
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0.0 || !std::isfinite(length)) return KgeTVector(0.0, 0.0, 0.0, 0.0);
    return KgeTVector(v[0] / length, v[1] / length, v[2] / length, 0.0);
}

// Adds a face to its smoothing group's runs: it joins the last run when
// alike and its corners follow that run's.
void AppendFace(ObjBlockArray<ObjFace>& runs, const ObjFace& face) {
    if (!runs.empty()) {
        ObjFace& last = runs[runs.size() - 1];
        const long long end = last.firstCorner + static_cast<long long>(last.count) * last.cornerCount;
        if (last.cornerCount == face.cornerCount && last.material == face.material &&
            last.allNormals == face.allNormals && last.allUvs == face.allUvs && end == face.firstCorner &&
            last.count < INT_MAX) {
            ++last.count;
            return;
        }
    }
    runs.push_back(face);
}

// Calls visit with each face of the runs in order, as a run of one.
template <class Visit>
void ForEachFace(const ObjBlockArray<ObjFace>& runs, Visit&& visit) {
    for (size_t r = 0; r < runs.size(); ++r) {
        ObjFace face = runs[r];
        const int count = face.count;
        face.count = 1;
        for (int i = 0; i < count; ++i, face.firstCorner += face.cornerCount) visit(face);
    }
}

// Through the platform layer's open: only a regular file is read, and a
// FIFO or device is refused at once instead of blocking or never ending.
FILE* OpenRegularFile(const char* path) { return duzplatform::OpenFile(path, "rb"); }

// The control points of a group by their (position, uv, normal) key: an
// open-addressing table of point numbers into the list of keys, kept at
// most half full, so a look-up is constant time and a point costs a few
// ints instead of a node of a hash map.
class ObjPointTable {
public:
    // The number of the point with this key; a new key is appended to keys.
    int FindOrAdd(const ObjIndexTriple& key, ObjBlockArray<ObjIndexTriple>& keys) {
        if ((keys.size() + 1) * 2 > mSlots.size()) Grow(keys);
        for (size_t at = Hash(key) & mMask;; at = (at + 1) & mMask) {
            const int point = mSlots[at];
            if (point < 0) {
                mSlots[at] = static_cast<int>(keys.size());
                keys.push_back(key);
                return mSlots[at];
            }
            const ObjIndexTriple& other = keys[static_cast<size_t>(point)];
            if (other.vertex == key.vertex && other.uv == key.uv && other.normal == key.normal) return point;
        }
    }

    // Room for `points` points at once, so a table whose size is known
    // roughly is not grown and rehashed step by step.
    void Reserve(size_t points) {
        size_t size = 1024;
        while (size < (points + 1) * 2) size *= 2;
        if (size > mSlots.size()) {
            mSlots.assign(size, -1);
            mMask = size - 1;
        }
    }

private:
    static size_t Hash(const ObjIndexTriple& k) {
        size_t h = static_cast<size_t>(static_cast<unsigned>(k.vertex));
        h = h * 0x9E3779B97F4A7C15ull ^ static_cast<unsigned>(k.uv);
        h = h * 0x9E3779B97F4A7C15ull ^ static_cast<unsigned>(k.normal);
        h *= 0x9E3779B97F4A7C15ull;
        return h ^ (h >> 32);
    }
    void Grow(const ObjBlockArray<ObjIndexTriple>& keys) {
        const size_t size = mSlots.empty() ? 1024 : mSlots.size() * 2;
        mSlots.assign(size, -1);
        mMask = size - 1;
        for (size_t point = 0; point < keys.size(); ++point) {
            size_t at = Hash(keys[point]) & mMask;
            while (mSlots[at] >= 0) at = (at + 1) & mMask;
            mSlots[at] = static_cast<int>(point);
        }
    }

    std::vector<int> mSlots;
    size_t mMask = 0;
};

// Through the material's values: a material read makes no handles.
void SetColor(KDuzSurfaceMaterial* material, EDuzMaterialProperty id, const double* rgb) {
    material->SetBuiltInDouble3(id, duzVectorTemplate3<double>(rgb[0], rgb[1], rgb[2]));
}

}  // namespace

bool ObjNameLess::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

KDuzReaderObj::KDuzReaderObj(KDuzSdkManager* manager) : KDuzReader(manager) {}

KDuzReaderObj::~KDuzReaderObj() {
    FileClose();
    DestroySurfaceNodes();
}

bool KDuzReaderObj::FileOpen(const char* fileName) {
    FileClose();
    if (fileName != nullptr) mFile = OpenRegularFile(fileName);
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    mPath = fileName;
    return true;
}

bool KDuzReaderObj::FileClose() {
    bool closed = true;
    if (mFile != nullptr) closed = std::fclose(mFile) == 0;
    mFile = nullptr;
    mPath = "";
    return closed;
}

KDuzStreamOptions* KDuzReaderObj::GetReadOptions(bool /*parseFileAsNeeded*/) {
    return KDuzStreamOptionsObjReader::Create(mManager, "");
}

int KDuzReaderObj::ResolveIndex(long long index, int count) {
    if (index >= 1 && index <= count) return static_cast<int>(index - 1);
    if (index < 0 && -index <= count) return static_cast<int>(count + index);
    return -1;
}

void KDuzReaderObj::Reset() {
    mGroups.clear();
    mMaterialByName.clear();
    mUsed.clear();
    mMtlEntries.clear();
    mParsedLibraries.clear();
    mPositions.clear();
    mUvs.clear();
    mNormals.clear();
    mSumOfVertex = std::vector<int>();
    mParameterVertexCount = 0;
    DestroySurfaceNodes();
    mUseMaterials = false;
    mTextureSeen = false;
    mRenamer.Clear();
    mBuffer = std::make_unique_for_overwrite<char[]>(kReadBlock);
    mBufferPos = mBufferEnd = 0;
    mEof = false;
}

// ---- statements ------------------------------------------------------------------

// One physical line without its end (LF, CR or CR LF); false at the end of
// the file with nothing read. Lines of any length are read whole. The view
// stays valid until the next read: most lines are read in place in the
// block, only one that crosses the block's end is copied.
bool KDuzReaderObj::ReadPhysicalLine(std::string_view& line) {
    if (mBufferPos < mBufferEnd) {
        const char* start = mBuffer.get() + mBufferPos;
        const size_t available = mBufferEnd - mBufferPos;
        const char* lineFeed = static_cast<const char*>(std::memchr(start, '\n', available));
        const size_t searched = lineFeed != nullptr ? static_cast<size_t>(lineFeed - start) : available;
        const char* carriage = static_cast<const char*>(std::memchr(start, '\r', searched));
        const char* end = carriage != nullptr ? carriage : lineFeed;
        // A CR that ends the block may be the first half of a CR LF pair:
        // that line takes the copying path, which reads on.
        const bool pairOpen = end != nullptr && *end == '\r' && end + 1 == start + available && !mEof;
        if (end != nullptr && !pairOpen) {
            const size_t n = static_cast<size_t>(end - start);
            mBufferPos += n + 1;
            if (*end == '\r' && mBufferPos < mBufferEnd && mBuffer[mBufferPos] == '\n') ++mBufferPos;
            line = std::string_view(start, n);
            return true;
        }
    }
    mLine.clear();
    bool any = false;
    for (;;) {
        if (mBufferPos == mBufferEnd) {
            if (mEof) break;
            mBufferEnd = std::fread(mBuffer.get(), 1, kReadBlock, mFile);
            mBufferPos = 0;
            if (mBufferEnd == 0) {
                mEof = true;
                break;
            }
        }
        any = true;
        const char* start = mBuffer.get() + mBufferPos;
        const size_t available = mBufferEnd - mBufferPos;
        size_t n = 0;
        while (n < available && start[n] != '\n' && start[n] != '\r') ++n;
        mLine.append(start, n);
        mBufferPos += n;
        if (n == available) continue;
        const char end = mBuffer[mBufferPos++];
        if (end == '\r') {
            // A CR LF pair may straddle two blocks.
            if (mBufferPos == mBufferEnd && !mEof) {
                mBufferEnd = std::fread(mBuffer.get(), 1, kReadBlock, mFile);
                mBufferPos = 0;
                if (mBufferEnd == 0) mEof = true;
            }
            if (mBufferPos < mBufferEnd && mBuffer[mBufferPos] == '\n') ++mBufferPos;
        }
        break;
    }
    line = mLine;
    return any;
}

// The next statement: its keyword and the trimmed rest of its line, with
// backslash-continued lines joined. Blank lines are skipped; false at the
// end. Both views stay valid until the next read.
bool KDuzReaderObj::NextStatement(std::string_view& keyword, std::string_view& rest) {
    for (;;) {
        std::string_view line;
        if (!ReadPhysicalLine(line)) return false;
        std::string_view text = Trim(line);
        if (text.empty()) continue;
        if (text.back() == '\\') {
            std::string joined(text);
            std::string_view next;
            while (!joined.empty() && joined.back() == '\\') {
                joined.back() = ' ';
                if (!ReadPhysicalLine(next)) break;
                joined += next;
                // The front is trimmed already; trimming only the end keeps
                // long runs of joined lines linear.
                while (!joined.empty() && IsBlank(joined.back())) joined.pop_back();
            }
            mLine.swap(joined);
            text = mLine;
        }
        keyword = NextWord(text);
        rest = Trim(text);
        return true;
    }
}

bool KDuzReaderObj::Read(KDuzScene* scene, KDuzStreamOptions* options) {
    auto* objOptions = dynamic_cast<KDuzStreamOptionsObjReader*>(options);
    if (objOptions == nullptr || scene == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        return false;
    }
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    mReferenceNode = objOptions->GetBoolOption("REFERENCENODE", true);
    Reset();
    std::rewind(mFile);
    const bool read = ReadStatements(scene);
    if (!read) DestroySurfaceNodes();
    const bool built = read && BuildScene(scene);
    if (read && !built) mError.SetLastError(eUnidentifiedError);
    mGroups.clear();
    mBuffer.reset();
    return built;
}

bool KDuzReaderObj::ReadStatements(KDuzScene* /*scene*/) {
    std::string_view keyword;
    std::string_view rest;
    std::string groupName = "default";
    // The group of groupName once a face has named it; the map's entries stay put.
    ObjGroup* currentGroup = nullptr;
    int smoothing = 0;
    int currentMaterial = -1;
    ObjFreeForm form;
    auto corrupt = [this](const char* what) {
        mError.SetLastErrorWithText(eFileCorrupted, what);
        return false;
    };
    // Statements read that are not OBJ statements, and those that are: a
    // file of only the former (an image renamed .obj, say) is not an OBJ file.
    long long unknown = 0;
    long long known = 0;
    while (NextStatement(keyword, rest)) {
        if (keyword[0] == '#') continue;
        ++known;
        double values[4];
        if (keyword == "v") {
            const int n = ParseDoubles(rest, values, 4);
            if (n < 3) return corrupt("A vertex has fewer than 3 coordinates");
            if (mPositions.size() >= static_cast<size_t>(INT_MAX)) return corrupt("Too many vertices");
            mPositions.emplace_back(values[0], values[1], values[2], n > 3 ? values[3] : 1.0);
        } else if (keyword == "vt") {
            const int n = ParseDoubles(rest, values, 3);
            if (n < 1) return corrupt("A texture coordinate has no value");
            if (mUvs.size() >= static_cast<size_t>(INT_MAX)) return corrupt("Too many texture coordinates");
            mUvs.emplace_back(values[0], n > 1 ? values[1] : 0.0);
        } else if (keyword == "vn") {
            if (ParseDoubles(rest, values, 3) < 3) return corrupt("A normal has fewer than 3 coordinates");
            if (mNormals.size() >= static_cast<size_t>(INT_MAX)) return corrupt("Too many normals");
            mNormals.push_back(ObjNormal{values[0], values[1], values[2]});
        } else if (keyword == "vp") {
            if (ParseDoubles(rest, values, 3) < 1) return corrupt("A parameter vertex has no value");
            ++mParameterVertexCount;
        } else if (keyword == "f") {
            if (currentGroup == nullptr) {
                auto& slot = mGroups[groupName];
                if (!slot) {
                    slot = std::make_unique<ObjGroup>();
                    slot->name = groupName;
                }
                currentGroup = slot.get();
            }
            ObjGroup& group = *currentGroup;
            ObjFace face;
            face.material = currentMaterial;
            if (!ParseFace(rest, group, face)) continue;
            const bool hasTexture = face.material >= 0 && mUsed[face.material].texture != nullptr;
            AppendFace(group.faces[static_cast<unsigned>(smoothing)], face);
            if (!face.allNormals) group.allFacesHaveNormals = false;
            if (!face.allUvs) group.allFacesHaveUvs = false;
            if (hasTexture) group.someFaceHasTexture = true;
            else group.allFacesHaveTexture = false;
            ++group.faceCount;
        } else if (keyword == "g") {
            groupName = rest.empty() ? std::string_view("default") : rest;
            currentGroup = nullptr;
            const size_t blank = groupName.find_first_of(" \t");
            if (blank != std::string::npos) groupName[blank] = '_';
        } else if (keyword == "s") {
            std::string_view text = rest;
            const std::string_view word = NextWord(text);
            long long value = 0;
            if (ParseInteger(word, value) && value >= INT_MIN && value <= INT_MAX) smoothing = static_cast<int>(value);
            else if (word == "off") smoothing = 0;
        } else if (keyword == "mtllib") {
            mUseMaterials = true;
            // The names are copied: reading a library reuses the line buffer.
            if (!OpenMaterialLibraries(std::string(rest))) mMessageText += "Unable to load material library\n";
        } else if (keyword == "usemtl") {
            std::string_view text = rest;
            const std::string name(NextWord(text));
            if (name.empty()) continue;
            UseMaterial(name);
            currentMaterial = mMaterialByName[name];
        } else if (keyword == "mg" || keyword == "o" || keyword == "bmat" || keyword == "step") {
            continue;
        } else if (keyword == "cstype") {
            std::string_view text = rest;
            std::string_view type = NextWord(text);
            form.rational = type == "rat";
            if (form.rational) type = NextWord(text);
            static const char* const kTypes[] = {"bmatrix", "bezier", "bspline", "cardinal", "taylor"};
            for (int code = 1; code <= 5; ++code) {
                if (type == kTypes[code - 1]) form.type = code;
            }
        } else if (keyword == "deg") {
            std::string_view text = rest;
            long long value = 0;
            if (ParseInteger(NextWord(text), value) && value >= INT_MIN && value <= INT_MAX) {
                form.degreeU = static_cast<int>(value);
                if (ParseInteger(NextWord(text), value) && value >= INT_MIN && value <= INT_MAX) {
                    form.degreeV = static_cast<int>(value);
                }
            }
        } else if (keyword == "curv" || keyword == "curv2") {
            // Free-form curves are not imported: the block is skipped to "end".
            std::string_view inner;
            std::string_view innerRest;
            while (NextStatement(inner, innerRest) && inner != "end") {
            }
        } else if (keyword == "surf") {
            if (form.type == 0) return corrupt("A surface comes before any curve or surface type");
            ReadSurface(rest, form, currentMaterial, groupName);
        } else {
            --known;
            ++unknown;
            mMessageText += "Object not supported : ";
            mMessageText += std::string(keyword).c_str();
            mMessageText += "\n";
        }
    }
    if (std::ferror(mFile) != 0) return corrupt("The file could not be read");
    if (known == 0 && unknown > 0) return corrupt("Not an OBJ file: no statement in it is known");
    return true;
}

bool KDuzReaderObj::ParseFace(std::string_view rest, ObjGroup& group, ObjFace& face) {
    const int positions = static_cast<int>(mPositions.size());
    const int uvs = static_cast<int>(mUvs.size());
    const int normals = static_cast<int>(mNormals.size());
    const size_t first = group.corners.size();
    face.firstCorner = static_cast<int>(first);
    int written = 0;
    const char* at = rest.data();
    const char* const end = at + rest.size();
    for (;;) {
        while (at < end && IsBlank(*at)) ++at;
        if (at == end) break;
        long long v = 0, t = 0, n = 0;
        const char* next = ReadPlainCorner(at, end, v, t, n);
        if (next == nullptr) {
            next = at;
            while (next < end && !IsBlank(*next)) ++next;
            if (!ParseFaceVertex(std::string_view(at, static_cast<size_t>(next - at)), v, t, n)) {
                group.corners.Truncate(first);
                return false;
            }
        }
        at = next;
        ++written;
        ObjIndexTriple corner{ResolveIndex(v, positions), ResolveIndex(t, uvs), ResolveIndex(n, normals)};
        // A corner naming no position read so far is left out.
        if (corner.vertex < 0) continue;
        if (corner.normal < 0) face.allNormals = false;
        if (corner.uv < 0) face.allUvs = false;
        group.corners.push_back(corner);
    }
    face.cornerCount = static_cast<int>(group.corners.size() - first);
    // Faces left with fewer than three corners have no surface (nor normal).
    if (written < 3 || face.cornerCount < 3 || group.corners.size() > static_cast<size_t>(INT_MAX)) {
        group.corners.Truncate(first);
        return false;
    }
    return true;
}

// ---- free-form surfaces ----------------------------------------------------------------

void KDuzReaderObj::DestroySurfaceNodes() {
    // A node takes its attribute with it.
    for (KDuzNode* node : mSurfaceNodes) node->Destroy();
    mSurfaceNodes.clear();
}

// A "surf" statement and its block up to "end": a rational B-spline surface
// becomes a NURB node; other surfaces are read past.
void KDuzReaderObj::ReadSurface(std::string_view rest, const ObjFreeForm& form, int material,
                                const std::string& groupName) {
    const int positions = static_cast<int>(mPositions.size());
    std::vector<int> points;
    std::string_view text = rest;
    double range[4];
    bool parsed = ParseDoubles(text, range, 4) == 4;
    for (int i = 0; i < 4; ++i) NextWord(text);
    for (std::string_view word = NextWord(text); parsed && !word.empty(); word = NextWord(text)) {
        long long v = 0, t = 0, n = 0;
        if (!ParseFaceVertex(word, v, t, n)) parsed = false;
        const int vertex = ResolveIndex(v, positions);
        if (parsed && vertex >= 0) points.push_back(vertex);
    }
    std::vector<double> knots[2];   // u, v
    std::string_view keyword;
    std::string_view statement;
    while (NextStatement(keyword, statement) && keyword != "end") {
        if (keyword != "parm") continue;
        std::string_view fields = statement;
        const std::string_view direction = NextWord(fields);
        if (direction.empty() || (direction[0] != 'u' && direction[0] != 'v')) continue;
        std::vector<double>& target = knots[direction[0] == 'u' ? 0 : 1];
        for (std::string_view word = NextWord(fields); !word.empty(); word = NextWord(fields)) {
            double value = 0.0;
            if (ParseDoubles(word, &value, 1) != 1) break;
            target.push_back(value);
        }
    }
    if (!parsed || form.type != kCsTypeBspline || !form.rational) return;

    // The grid must fill the knot vectors exactly, with knots in order.
    const long long nu = static_cast<long long>(knots[0].size()) - form.degreeU - 1;
    const long long nv = static_cast<long long>(knots[1].size()) - form.degreeV - 1;
    bool usable = form.degreeU >= 1 && form.degreeV >= 1 && nu >= 1 && nv >= 1 &&
                  static_cast<long long>(points.size()) == nu * nv;
    for (const std::vector<double>& vector : knots) {
        for (size_t i = 0; usable && i < vector.size(); ++i) {
            usable = std::isfinite(vector[i]) && (i == 0 || vector[i - 1] <= vector[i]);
        }
    }
    if (!usable) {
        mMessageText += "Surface skipped: its control points do not fit its degrees and knots\n";
        return;
    }
    KDuzNurb* nurb = KDuzNurb::Create(mManager, "");
    if (nurb == nullptr) return;
    nurb->SetOrder(form.degreeV + 1, form.degreeU + 1);
    if (!nurb->InitControlPoints(static_cast<int>(nv), eNurbOpen, static_cast<int>(nu), eNurbOpen)) {
        nurb->Destroy();
        mMessageText += "Surface skipped: too large\n";
        return;
    }
    nurb->SetStep(3, 3);
    std::copy(knots[1].begin(), knots[1].end(), nurb->GetUKnotVector());
    std::copy(knots[0].begin(), knots[0].end(), nurb->GetVKnotVector());
    // The file runs u fastest; the surface's own U is the file's v.
    KgeTVector* target = nurb->GetControlPoints();
    for (size_t k = 0; k < points.size(); ++k) {
        const long long at = static_cast<long long>(k) / nu + nv * (static_cast<long long>(k) % nu);
        target[at] = mPositions[points[k]];
    }
    if (material >= 0) {
        const UsedMaterial& used = mUsed[material];
        if (used.material != nullptr) nurb->AddMaterial(used.material);
        if (used.texture != nullptr) {
            used.texture->SetSwapUV(true);
            nurb->AddTexture(used.texture, 0, kDiffuseChannel);
        }
    }
    KDuzObjectName name(groupName.c_str());
    mRenamer.Rename(name);
    KDuzNode* node = KDuzNode::Create(mManager, name.GetCurrentName());
    if (node == nullptr) {
        nurb->Destroy();
        return;
    }
    node->SetNodeAttribute(nurb);
    mSurfaceNodes.push_back(node);
}

// ---- materials ---------------------------------------------------------------------

bool KDuzReaderObj::OpenMaterialLibraries(std::string_view rest) {
    bool all = true;
    bool any = false;
    for (std::string_view word = NextWord(rest); !word.empty(); word = NextWord(rest)) {
        any = true;
        // Beside the OBJ file first: a library of the same name in the
        // caller's working folder must not stand in for the file's own.
        const std::string written(word);
        std::string name = (std::filesystem::path(mPath.Buffer()).parent_path() / written).string();
        FILE* file = OpenRegularFile(name.c_str());
        if (file == nullptr) {
            name = written;
            file = OpenRegularFile(name.c_str());
        }
        if (file == nullptr) {
            all = false;
            continue;
        }
        // A library named again adds nothing: its entries are in already.
        if (mParsedLibraries.insert(name).second) ParseMaterialFile(file);
        std::fclose(file);
    }
    return any && all;
}

// Every entry of an MTL file is read once; a name defined before (in this
// file or an earlier one) keeps its first definition.
void KDuzReaderObj::ParseMaterialFile(FILE* file) {
    FILE* const objFile = mFile;
    std::unique_ptr<char[]> objBuffer = std::move(mBuffer);
    const size_t objPos = mBufferPos;
    const size_t objEnd = mBufferEnd;
    const bool objEof = mEof;
    mFile = file;
    mBuffer = std::make_unique_for_overwrite<char[]>(kReadBlock);
    mBufferPos = mBufferEnd = 0;
    mEof = false;

    std::string_view keyword;
    std::string_view rest;
    MtlEntry* entry = nullptr;
    while (NextStatement(keyword, rest)) {
        double values[3];
        if (keyword == "newmtl") {
            std::string_view text = rest;
            const std::string name(NextWord(text));
            const auto inserted = mMtlEntries.try_emplace(name);
            entry = inserted.second ? &inserted.first->second : nullptr;
            continue;
        }
        if (entry == nullptr) continue;
        if (keyword == "Ka" && ParseDoubles(rest, values, 3) == 3) {
            entry->hasKa = true;
            std::copy(values, values + 3, entry->ka);
        } else if (keyword == "Kd" && ParseDoubles(rest, values, 3) == 3) {
            entry->hasKd = true;
            std::copy(values, values + 3, entry->kd);
        } else if (keyword == "Ks" && ParseDoubles(rest, values, 3) == 3) {
            entry->hasKs = true;
            std::copy(values, values + 3, entry->ks);
        } else if (keyword == "illum") {
            long long model = 0;
            std::string_view text = rest;
            if (ParseInteger(NextWord(text), model) && model >= INT_MIN && model <= INT_MAX) {
                entry->illum = static_cast<int>(model);
            }
        } else if (keyword == "Ns" && ParseDoubles(rest, values, 1) == 1) {
            entry->ns = values[0];
        } else if ((keyword == "Tr" || keyword == "d") && ParseDoubles(rest, values, 1) == 1) {
            entry->hasTr = true;
            entry->tr = values[0];
        } else if (keyword == "map_Kd") {
            entry->mapKd = rest;
        }
    }
    mFile = objFile;
    mBuffer = std::move(objBuffer);
    mBufferPos = objPos;
    mBufferEnd = objEnd;
    mEof = objEof;
}

KDuzSurfaceMaterial* KDuzReaderObj::MakeMaterial(const std::string& name, const MtlEntry& entry,
                                                 KDuzTexture*& texture) {
    KDuzSurfaceLambert* lambert = nullptr;
    KDuzSurfacePhong* phong = nullptr;
    if (entry.illum < 2) {
        lambert = KDuzSurfaceLambert::Create(mManager, name.c_str());
    } else {
        phong = KDuzSurfacePhong::Create(mManager, name.c_str());
        lambert = phong;
    }
    if (lambert == nullptr) return nullptr;
    if (entry.hasKa) {
        SetColor(lambert, eMaterialAmbientColor, entry.ka);
        lambert->SetBuiltInDouble(eMaterialAmbientFactor, 1.0);
    }
    if (entry.hasKd) {
        SetColor(lambert, eMaterialDiffuseColor, entry.kd);
        lambert->SetBuiltInDouble(eMaterialDiffuseFactor, 1.0);
    }
    if (entry.hasTr) {
        const double white[3] = {1.0, 1.0, 1.0};
        SetColor(lambert, eMaterialTransparentColor, white);
        lambert->SetBuiltInDouble(eMaterialTransparencyFactor, 1.0 - entry.tr);
    }
    if (phong != nullptr) {
        if (entry.hasKs) {
            SetColor(phong, eMaterialSpecularColor, entry.ks);
            phong->SetBuiltInDouble(eMaterialSpecularFactor, 1.0);
        }
        phong->SetBuiltInDouble(eMaterialShininessExponent, entry.ns);
    }
    texture = nullptr;
    if (!entry.mapKd.empty()) {
        texture = KDuzTexture::Create(mManager, name.c_str());
        if (texture != nullptr) texture->SetFileName(entry.mapKd.c_str());
    }
    return lambert;
}

// Makes the named material current, reading it from the MTL entries when it
// has not been read yet; a name is entered once however often it is used.
void KDuzReaderObj::UseMaterial(std::string_view nameView) {
    const std::string name(nameView);
    auto found = mMaterialByName.find(name);
    if (found == mMaterialByName.end()) {
        found = mMaterialByName.emplace(name, static_cast<int>(mUsed.size())).first;
        mUsed.push_back(UsedMaterial{name, nullptr, nullptr});
    }
    UsedMaterial& used = mUsed[found->second];
    if (used.material != nullptr) return;
    const auto entry = mMtlEntries.find(name);
    if (entry != mMtlEntries.end()) used.material = MakeMaterial(name, entry->second, used.texture);
    if (used.material == nullptr) {
        mMessageText += "Unable to read material \"";
        mMessageText += name.c_str();
        mMessageText += "\" in .mtl file\n";
        mUseMaterials = false;
        return;
    }
    if (used.texture != nullptr) mTextureSeen = true;
}

// ---- scene building ------------------------------------------------------------------

KgeTVector KDuzReaderObj::FaceNormal(const ObjGroup& group, const ObjFace& face) const {
    const size_t first = static_cast<size_t>(face.firstCorner);
    const double* p0 = mPositions[group.corners.Vertex(first)].Data();
    const double* p1 = mPositions[group.corners.Vertex(first + 1)].Data();
    const double* p2 = mPositions[group.corners.Vertex(first + 2)].Data();
    const double a[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    const double b[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
    return Normalized(KgeTVector(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0], 0.0));
}

// Makes the normals of one smoothing group's vertices: each the normalised
// sum of the normals of the vertex's corners there, face normals standing in
// where a corner lacks one. The sums are made in place in mNormals, so a
// vertex costs its normal and nothing more; mSumOfVertex gives each vertex
// its normal, and entries below this group's first made normal (left by
// earlier groups) do not count, so nothing needs resetting between groups.
void KDuzReaderObj::MakeSmoothNormals(const ObjGroup& group, const ObjBlockArray<ObjFace>& faces) {
    if (mSumOfVertex.size() != mPositions.size()) mSumOfVertex.assign(mPositions.size(), -1);
    const int first = static_cast<int>(mNormals.size());
    ForEachFace(faces, [&](const ObjFace& face) {
        ObjNormal faceNormal{};
        bool haveFaceNormal = false;
        for (int c = 0; c < face.cornerCount; ++c) {
            const ObjIndexTriple corner = group.corners[static_cast<size_t>(face.firstCorner + c)];
            int& at = mSumOfVertex[static_cast<size_t>(corner.vertex)];
            if (at < first) {
                at = static_cast<int>(mNormals.size());
                mNormals.push_back(ObjNormal{0.0, 0.0, 0.0});
            }
            ObjNormal add;
            if (corner.normal >= 0) {
                add = mNormals[static_cast<size_t>(corner.normal)];
            } else {
                if (!haveFaceNormal) faceNormal = XyzOf(FaceNormal(group, face));
                haveFaceNormal = true;
                add = faceNormal;
            }
            ObjNormal& sum = mNormals[static_cast<size_t>(at)];
            for (int k = 0; k < 3; ++k) sum[k] += add[k];
        }
    });
    for (size_t i = static_cast<size_t>(first); i < mNormals.size(); ++i) {
        ObjNormal& sum = mNormals[i];
        sum = XyzOf(Normalized(KgeTVector(sum[0], sum[1], sum[2], 0.0)));
    }
}

KDuzMesh* KDuzReaderObj::BuildGroupMesh(ObjGroup& group, bool lastGroup) {
    KDuzMesh* mesh = KDuzMesh::Create(mManager, "");
    if (mesh == nullptr) return nullptr;
    // UVs are kept only when every corner of the group has one; then every
    // control point has a UV of its own, numbered as the point.
    const bool withUvs = group.allFacesHaveUvs;
    // Normals are made for corners lacking one, a smoothing group at a time
    // just before its corners are keyed: flat faces take their face normal
    // at every corner, smooth ones their vertex's made normal.
    const bool makeNormals = !group.allFacesHaveNormals;

    // Each corner's key is replaced in place by its control point's number:
    // the corners are not needed as keys once the points are known.
    ObjBlockArray<ObjIndexTriple> pointKeys;
    {
        // A group has at most a point per corner and, in most files, about
        // one per position it uses.
        ObjPointTable table;
        table.Reserve(std::min(group.corners.size(), mPositions.size()));
        for (auto& [smoothing, faces] : group.faces) {
            const bool smooth = makeNormals && smoothing != 0;
            const bool flat = makeNormals && smoothing == 0;
            if (smooth) MakeSmoothNormals(group, faces);
            ForEachFace(faces, [&](const ObjFace& face) {
                int faceNormal = -1;
                if (flat && !face.allNormals) {
                    faceNormal = static_cast<int>(mNormals.size());
                    mNormals.push_back(XyzOf(FaceNormal(group, face)));
                }
                for (int c = 0; c < face.cornerCount; ++c) {
                    const size_t at = static_cast<size_t>(face.firstCorner + c);
                    ObjIndexTriple key = group.corners[at];
                    if (faceNormal >= 0) key.normal = faceNormal;
                    else if (smooth && key.normal < 0) key.normal = mSumOfVertex[static_cast<size_t>(key.vertex)];
                    if (!withUvs) key.uv = -1;
                    group.corners.SetVertex(at, table.FindOrAdd(key, pointKeys));
                }
            });
        }
    }
    group.corners.ClearUvsAndNormals();
    const int pointCount = static_cast<int>(pointKeys.size());
    const int uvCount = withUvs ? pointCount : 0;
    // The last mesh is the last user of the file's vertex lists: each goes
    // as soon as the mesh holds what it needs of it.
    if (!mesh->InitControlPoints(pointCount)) {
        mesh->Destroy();
        return nullptr;
    }
    KgeTVector* points = mesh->GetControlPoints();
    for (int i = 0; i < pointCount; ++i) points[i] = mPositions[pointKeys[i].vertex];
    if (lastGroup) mPositions.clear();
    if (!mesh->InitNormals()) {
        mesh->Destroy();
        return nullptr;
    }
    KgeTVector* normals = mesh->GetNormals();
    for (int i = 0; normals != nullptr && i < pointCount; ++i) {
        const int n = pointKeys[i].normal;
        if (n < 0) {
            normals[i] = KgeTVector(0.0, 0.0, 0.0, 0.0);
        } else {
            const ObjNormal& normal = mNormals[n];
            normals[i] = KgeTVector(normal[0], normal[1], normal[2], 0.0);
        }
    }
    if (lastGroup) mNormals.clear();

    mesh->InitMaterialIndices(mUseMaterials ? kMappingByPolygon : kMappingAllSame);
    if (mesh->GetLayer(0) == nullptr) mesh->CreateLayer();
    KDuzLayer* layer = mesh->GetLayer(0);
    if (uvCount > 0 && layer != nullptr) {
        mesh->InitTextureUVIndices(kMappingByPolygonVertex, kDiffuseChannel);
        KDuzLayerElementUV* element = layer->GetUVsOfType(kDiffuseChannel);
        if (element == nullptr) {
            element = layer->SetUVsOfType(KDuzCreateLayerElementUV(mManager, ""), kDiffuseChannel);
        }
        if (element != nullptr) {
            KgeUVVectorArray& direct = element->GetDirectArray();
            direct.Clear();
            if (direct.SetCount(uvCount)) {
                for (int i = 0; i < uvCount; ++i) direct[i] = mUvs[pointKeys[i].uv];
            }
            // Room for one UV index per corner at once, not grown corner by corner.
            KTypedArray<int>& indices = element->GetIndexArray();
            if (indices.Resize(static_cast<int>(group.corners.size()))) indices.Empty();
        }
    }
    pointKeys.clear();
    if (lastGroup) mUvs.clear();
    if (group.someFaceHasTexture) {
        mesh->InitTextureIndices(kMappingByPolygon);
        if (!group.allFacesHaveTexture) {
            KDuzTexture* empty = KDuzTexture::Create(mManager, "_empty_");
            if (empty != nullptr) {
                empty->SetDefaultAlpha(0.0);
                mesh->AddTexture(empty, 0, kDiffuseChannel);
            }
        }
    }
    FillPolygons(*mesh, group, withUvs);
    return mesh;
}

// The polygons, their corners and layer 0's per-polygon and per-corner
// indices, written straight into arrays sized once, as BeginPolygon and
// AddPolygon leave them face by face (elements made on the first polygon
// included). A used material's or texture's index in the mesh is looked
// up once and kept.
void KDuzReaderObj::FillPolygons(KDuzMesh& mesh, const ObjGroup& group, bool withUvs) {
    const int polygonCount = group.faceCount;
    const int cornerCount = static_cast<int>(group.corners.size());
    KTypedArray<KDuzMeshPolygon>& polygons = mesh.GetPolygonArray();
    KTypedArray<int>& polygonVertices = mesh.GetPolygonVertexArray();
    if (polygonCount == 0 || !polygons.Resize(polygonCount) || !polygonVertices.Resize(cornerCount)) {
        polygons.Empty();
        polygonVertices.Empty();
        return;
    }
    KDuzLayer* layer = mesh.GetLayer(0);
    // The index arrays to fill: an element's, sized, when it maps as they need.
    auto byPolygon = [polygonCount](KDuzLayerElement* element) -> int* {
        if (element == nullptr || element->GetMappingMode() != KDuzLayerElement::eByPolygon) return nullptr;
        const KDuzLayerElement::EReferenceMode reference = element->GetReferenceMode();
        if (reference != KDuzLayerElement::eIndex && reference != KDuzLayerElement::eIndexToDirect) return nullptr;
        KTypedArray<int>& indices = element->GetIndexArray();
        return indices.SetCount(polygonCount) ? indices.Data() : nullptr;
    };
    int* uvIndices = nullptr;
    if (withUvs && layer != nullptr) {
        KDuzLayerElementUV* uvs = layer->GetUVsOfType(kDiffuseChannel);
        if (uvs != nullptr && uvs->GetMappingMode() == KDuzLayerElement::eByPolygonVertex &&
            uvs->GetReferenceMode() == KDuzLayerElement::eIndexToDirect && uvs->GetIndexArray().SetCount(cornerCount)) {
            uvIndices = uvs->GetIndexArray().Data();
        }
    }
    int* materialIndices = nullptr;
    int* textureIndices = nullptr;
    constexpr int kUnknown = -2;
    std::vector<int> materialOfUsed(mUsed.size(), kUnknown);
    std::vector<int> textureOfUsed(mUsed.size(), kUnknown);
    int polygon = 0;
    int corner = 0;
    for (const auto& [smoothing, faces] : group.faces) {
        for (size_t r = 0; r < faces.size(); ++r) {
            const ObjFace& run = faces[r];
            int materialIndex = 0;
            int textureIndex = 0;
            if (run.material >= 0) {
                const size_t usedIndex = static_cast<size_t>(run.material);
                const UsedMaterial& used = mUsed[usedIndex];
                if (mUseMaterials && used.material != nullptr) {
                    materialIndex = materialOfUsed[usedIndex];
                    if (materialIndex == kUnknown) {
                        materialIndex = mesh.GetMaterialIndex(used.material->GetName());
                        if (materialIndex < 0) materialIndex = mesh.AddMaterial(used.material);
                        if (materialIndex >= 0) materialOfUsed[usedIndex] = materialIndex;
                    }
                }
                if (used.texture != nullptr) {
                    textureIndex = textureOfUsed[usedIndex];
                    if (textureIndex == kUnknown) {
                        textureIndex = mesh.GetTextureIndex(used.texture->GetName(), 0, kDiffuseChannel);
                        if (textureIndex < 0) textureIndex = mesh.AddTexture(used.texture, 0, kDiffuseChannel);
                        if (textureIndex >= 0) textureOfUsed[usedIndex] = textureIndex;
                    }
                }
            }
            if (polygon == 0 && layer != nullptr) {
                // The first polygon makes the material and texture elements when missing.
                KDuzLayerElementMaterial* materials = layer->GetMaterials();
                if (materials == nullptr && materialIndex != -1)
                    materials = layer->SetMaterials(KDuzCreateLayerElementMaterial(mManager, ""));
                KDuzLayerElementTexture* textures = layer->GetTextures();
                if (textures == nullptr && textureIndex != -1)
                    textures = layer->SetTextures(KDuzCreateLayerElementTexture(mManager, ""));
                materialIndices = byPolygon(materials);
                textureIndices = byPolygon(textures);
            }
            for (int i = 0; i < run.count; ++i, ++polygon) {
                polygons[polygon] = KDuzMeshPolygon{corner, run.cornerCount, -1};
                if (materialIndices != nullptr) materialIndices[polygon] = materialIndex;
                if (textureIndices != nullptr) textureIndices[polygon] = textureIndex;
                const size_t first = static_cast<size_t>(run.firstCorner) + static_cast<size_t>(i) * run.cornerCount;
                for (int c = 0; c < run.cornerCount; ++c, ++corner) {
                    const int point = group.corners.Vertex(first + static_cast<size_t>(c));
                    polygonVertices[corner] = point;
                    if (uvIndices != nullptr) uvIndices[corner] = point;
                }
            }
        }
    }
}

bool KDuzReaderObj::BuildScene(KDuzScene* scene) {
    KDuzNode* parent = scene->GetRootNode();
    if (parent == nullptr) return false;
    // Surfaces hang under the root in the order read, also with a reference node.
    for (KDuzNode* node : mSurfaceNodes) parent->AddChild(node);
    mSurfaceNodes.clear();
    if (mReferenceNode) {
        const std::string stem = std::filesystem::path(mPath.Buffer()).stem().string() + "_root";
        KDuzNode* reference = KDuzNode::Create(mManager, stem.c_str());
        if (reference == nullptr) return false;
        parent->AddChild(reference);
        parent = reference;
    }
    size_t left = mGroups.size();
    for (auto& [key, group] : mGroups) {
        KDuzObjectName name(group->name.c_str());
        mRenamer.Rename(name);
        KDuzNode* node = KDuzNode::Create(mManager, name.GetCurrentName());
        if (node == nullptr) return false;
        KDuzMesh* mesh = BuildGroupMesh(*group, --left == 0);
        // The group's faces are in the mesh now.
        group.reset();
        if (mesh == nullptr) {
            node->Destroy();
            return false;
        }
        node->SetNodeAttribute(mesh);
        if (mTextureSeen) node->SetShadingMode(kShadingModeTextured);
        parent->AddChild(node);
    }
    mGroups.clear();
    mSumOfVertex = std::vector<int>();
    return true;
}

}  // namespace duzsdk
