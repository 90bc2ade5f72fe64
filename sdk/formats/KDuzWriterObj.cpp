#include "sdk/formats/KDuzWriterObj.h"

#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/PlatformFile.h"
#include "sdk/base/KPath.h"
#include "sdk/geometry/KDuzBakeDeformation.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/io/KDuzExporter.h"
#include "sdk/io/KDuzSavedNames.h"
#include "sdk/io/KDuzSceneRenamer.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzObjectName.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

// Output goes out in blocks that start small (most files are) and double up
// to the largest while the file keeps filling them.
constexpr size_t kFirstOutBlock = 1 << 16;
constexpr size_t kOutBlock = 1 << 20;
constexpr int kDiffuseChannel = 3;
constexpr int kRenameForObj = 3;
constexpr int kMappingByPolygon = 3;
constexpr int kMappingAllSame = 5;

const char kObjHeader[] = "# \n# Wavefront OBJ file\n# Created with Dizidir DUZ\n# \n";
// One minus the transparency is the opacity, which other programs read from
// "d"; they take "Tr" for the transparency itself. Our reader takes both
// keywords the same way, so "d" keeps our own files as they were.
const char kOpacityKeyword[] = "d";

const char kMtlHeader[] = "# \n# Wavefront material file\n# Created with Dizidir DUZ\n# \n";

// A name as one OBJ word: every blank or control character becomes "_",
// since readers take a name up to the first blank and a line end would
// start a statement of its own.
std::string OneWord(const char* name) {
    std::string word(name != nullptr ? name : "");
    for (char& c : word) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7F) c = '_';
    }
    return word;
}

// p x a x b for row vectors: a is applied first.
KgeMatrix Then(const KgeMatrix& a, const KgeMatrix& b) { return b.MultiplyAffine(a); }

KgeTVector ToVector(const duzVectorTemplate3<double>& v) { return KgeTVector(v[0], v[1], v[2], 0.0); }

// Identity with the node's local translation, rotation and scaling set in place.
KgeMatrix ObjNodeLocalMatrix(const KDuzNode* node) {
    KgeMatrix matrix;
    matrix.SetTranslationKeepRS(ToVector(node->GetLclTranslation()));
    matrix.SetRotationKeepTS(ToVector(node->GetLclRotation()));
    matrix.SetScalingKeepTR(ToVector(node->GetLclScaling()));
    return matrix;
}

// The local matrices from the node up to the root, applied node first.
KgeMatrix ObjNodeGlobalMatrix(const KDuzNode* node) {
    KgeMatrix global = ObjNodeLocalMatrix(node);
    for (const KDuzNode* parent = node->GetParent(); parent != nullptr; parent = parent->GetParent()) {
        global = Then(global, ObjNodeLocalMatrix(parent));
    }
    return global;
}

// The vector part of a row-vector transform: (x, y, z) times the upper 3x3.
KgeTVector TransformVector(const KgeMatrix& m, const KgeTVector& v) {
    const double* e = m.Data();
    return KgeTVector(v[0] * e[0] + v[1] * e[4] + v[2] * e[8], v[0] * e[1] + v[1] * e[5] + v[2] * e[9],
                      v[0] * e[2] + v[1] * e[6] + v[2] * e[10], 0.0);
}

KgeTVector Normalized(const KgeTVector& v) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0.0 || !std::isfinite(length)) return v;
    return KgeTVector(v[0] / length, v[1] / length, v[2] / length, 0.0);
}

// Through peeks: a material written makes no handles.
bool ReadColor(const KDuzObject* material, const char* name, double rgb[3]) {
    double value[3] = {0.0, 0.0, 0.0};
    if (!material->PeekPropertyValue(name, value, eValueKindDouble3)) return false;
    std::copy(value, value + 3, rgb);
    return true;
}
bool ReadDouble(const KDuzObject* material, const char* name, double& out) {
    return material->PeekPropertyValue(name, &out, eValueKindDouble);
}

// A layer element as the faces need it: the direct-array entry of one
// polygon corner; -1 when the element does not say or its index is out of
// range.
struct ElementView {
    int mapping = KDuzLayerElement::eNone;
    const int* indices = nullptr;   // null for direct reference
    int indexCount = 0;
    int directCount = 0;

    ElementView() = default;
    ElementView(const KDuzLayerElement& element, int count)
        : mapping(element.GetMappingMode()), directCount(count) {
        if (element.GetReferenceMode() != KDuzLayerElement::eDirect) {
            indices = element.GetIndexArray().Data();
            indexCount = element.GetIndexArray().Count();
        }
    }
    int Entry(int polygon, int polygonVertex, int controlPoint) const {
        int position;
        switch (mapping) {
            case KDuzLayerElement::eByControlPoint: position = controlPoint; break;
            case KDuzLayerElement::eByPolygonVertex: position = polygonVertex; break;
            case KDuzLayerElement::eByPolygon: position = polygon; break;
            case KDuzLayerElement::eAllSame: position = 0; break;
            default: return -1;
        }
        if (indices != nullptr) {
            if (position < 0 || position >= indexCount) return -1;
            position = indices[position];
        }
        return position >= 0 && position < directCount ? position : -1;
    }
};

}  // namespace

// ---- text output -------------------------------------------------------------------

ObjTextOut::ObjTextOut(FILE* file) { Reset(file); }

void ObjTextOut::Reset(FILE* file) {
    mFile = file;
    mUsed = 0;
    mFailed = false;
}

void ObjTextOut::Reserve(size_t bytes) {
    if (mCapacity - mUsed < bytes) Spill();
}

void ObjTextOut::Text(const char* text, size_t length) {
    while (length > 0) {
        if (mUsed == mCapacity) Spill();
        const size_t n = std::min(length, mCapacity - mUsed);
        std::memcpy(mBuffer.get() + mUsed, text, n);
        mUsed += n;
        text += n;
        length -= n;
    }
}

void ObjTextOut::Number(double value) {
    // Fixed notation of the largest double needs 309 digits, six decimals and a sign.
    constexpr size_t kLongest = 330;
    Reserve(kLongest);
    char* start = mBuffer.get() + mUsed;
    const auto result = std::to_chars(start, start + kLongest, value, std::chars_format::fixed, 6);
    mUsed += static_cast<size_t>(result.ptr - start);
}

void ObjTextOut::Integer(long long value) {
    Reserve(24);
    char* start = mBuffer.get() + mUsed;
    const auto result = std::to_chars(start, start + 24, value);
    mUsed += static_cast<size_t>(result.ptr - start);
}

bool ObjTextOut::Flush() {
    if (mUsed > 0) {
        if (mFile == nullptr || std::fwrite(mBuffer.get(), 1, mUsed, mFile) != mUsed) mFailed = true;
        mUsed = 0;
    }
    return !mFailed;
}

// The first output comes here too, with no block yet: it makes the first.
void ObjTextOut::Spill() {
    Flush();
    if (mBuffer != nullptr && mCapacity >= kOutBlock) return;
    mCapacity = mBuffer == nullptr ? kFirstOutBlock : mCapacity * 2;
    mBuffer = std::make_unique_for_overwrite<char[]>(mCapacity);
}

// ---- writer ------------------------------------------------------------------------

KDuzWriterObj::KDuzWriterObj(KDuzSdkManager* manager, KDuzExporter* exporter)
    : KDuzWriter(manager), mExporter(exporter), mMeshes(manager) {}

KDuzWriterObj::~KDuzWriterObj() {
    FinishMaterials(false);
    FileClose();
}

std::string KDuzWriterObj::MaterialPathFor(const std::string& objPath) {
    const size_t slash = objPath.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (objPath.size() < nameStart + 4) return std::string();
    const size_t dot = objPath.size() - 4;
    if (strcasecmp(objPath.c_str() + dot, ".obj") != 0) return std::string();
    return objPath.substr(0, nameStart) + OneWord(objPath.substr(nameStart, dot - nameStart).c_str()) + ".mtl";
}

bool KDuzWriterObj::FileCreate(const char* fileName) {
    FileClose();
    if (fileName == nullptr || fileName[0] == '\0') {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    KPathCreateDirectories(fileName);
    mFile = duzplatform::OpenFile(fileName, "w");
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    mPath = fileName;
    const KString target = mExporter != nullptr ? mExporter->GetFileName() : KString();
    mTargetPath = target.IsEmpty() ? std::string(fileName) : std::string(target.Buffer());
    mOut.Reset(mFile);
    return true;
}

bool KDuzWriterObj::FileClose() {
    bool closed = true;
    if (mFile != nullptr) {
        closed = mOut.Flush();
        closed = std::fclose(mFile) == 0 && closed;
        if (!closed) mError.SetLastError(eOutOfDiskSpace);
    }
    mFile = nullptr;
    mPath = "";
    // The MTL file joins the OBJ file only once that is whole; under an
    // export, only once the OBJ file has taken its place.
    if (mMtlPending) {
        mMtlPending = false;
        if (closed && mExporter != nullptr && mExporter->AcceptsCompanionFiles()) {
            mExporter->AddCompanionFile(mMtlTemporary.c_str(), mMtlPath.c_str());
        } else {
            std::string reason;
            if (closed && !duzplatform::CommitTemporary(mMtlTemporary, mMtlPath, &reason)) {
                mError.SetLastErrorWithText(eFileNotCreated, reason.c_str());
                closed = false;
            }
            if (!closed) std::remove(mMtlTemporary.c_str());
        }
        mMtlTemporary.clear();
    }
    return closed;
}

KDuzStreamOptions* KDuzWriterObj::GetWriteOptions() { return KDuzStreamOptionsObjWriter::Create(mManager, ""); }

bool KDuzWriterObj::PreprocessScene(KDuzScene* scene) {
    KDuzSceneRenamer renamer(scene);
    renamer.RenameFor(kRenameForObj);
    return true;
}

bool KDuzWriterObj::Write(KDuzScene* scene, KDuzStreamOptions* options) {
    auto* objOptions = dynamic_cast<KDuzStreamOptionsObjWriter*>(options);
    if (objOptions == nullptr || scene == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        return false;
    }
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    // The renaming is for the file only: the caller's names come back.
    const KDuzSavedNames names(mManager);
    PreprocessScene(scene);
    mTriangulate = objOptions->GetBoolOption("TRIANGULATE", false);
    mDeform = objOptions->GetBoolOption("DEFORMATION", true);
    // Numbering starts again with every file written.
    mNextVertex = mNextUv = mNextNormal = 1;
    mHasMaterials = false;
    mRenamer.Clear();
    KDuzNode* root = scene->GetRootNode();
    if (root == nullptr) {
        mError.SetLastError(eUnidentifiedError);
        return false;
    }
    PreprocessNodes(root);

    mOut.Text(kObjHeader, sizeof kObjHeader - 1);
    if (mHasMaterials) {
        if (!CreateMaterialFile()) return false;
        mOut.Text("mtllib ", 7);
        mOut.Text(mMtlName);
        mOut.Text("\n\n", 2);
        KDuzObjectName name("default");
        mRenamer.Rename(name);
        mDefaultMaterial = KDuzSurfaceMaterial::Create(mManager, name.GetCurrentName());
    }
    WriteNode(root);
    mMeshes.Clear();
    if (mDefaultMaterial != nullptr) mDefaultMaterial->Destroy();
    mDefaultMaterial = nullptr;

    bool written = mOut.Flush() && std::fflush(mFile) == 0 && std::ferror(mFile) == 0;
    if (mMtlFile != nullptr) {
        written = mMtlOut.Flush() && written;
        written = std::fclose(mMtlFile) == 0 && written;
        mMtlFile = nullptr;
        mMtlPending = written;
    }
    FinishMaterials(written);
    if (!written) {
        mError.SetLastError(eOutOfDiskSpace);
        return false;
    }
    return true;
}

void KDuzWriterObj::PreprocessNodes(KDuzNode* node) {
    // Depth first without recursion: scenes may be chains of any depth.
    std::vector<KDuzNode*> pending{node};
    while (!pending.empty()) {
        KDuzNode* current = pending.back();
        pending.pop_back();
        const auto* attribute = dynamic_cast<const KDuzNodeAttribute*>(current->GetNodeAttribute());
        if (attribute != nullptr) {
            const int type = attribute->GetAttributeType();
            if (type == KDuzNodeAttribute::eMesh || type == KDuzNodeAttribute::eNurb ||
                type == KDuzNodeAttribute::ePatch || type == KDuzNodeAttribute::eNurbsSurface) {
                // Triangles are made beside the scene, never in it: nodes
                // sharing a geometry keep it, and the caller's scene stays.
                CheckMaterials(mMeshes.MeshFor(current, mTriangulate));
            }
        }
        for (int i = current->GetChildCount() - 1; i >= 0; --i) pending.push_back(current->GetChild(i));
    }
}

void KDuzWriterObj::CheckMaterials(const KDuzMesh* mesh) {
    if (mesh == nullptr) return;
    if (mesh->GetMaterialCount(0) > 0 || mesh->GetTextureCount(0, kDiffuseChannel) > 0) mHasMaterials = true;
}

bool KDuzWriterObj::CreateMaterialFile() {
    mMtlPath = MaterialPathFor(mTargetPath);
    if (mMtlPath.empty()) {
        // Without ".obj" there is no MTL name to make: the line names the
        // output path in lower case and no entries are written.
        mMtlName = OneWord(mTargetPath.c_str());
        std::transform(mMtlName.begin(), mMtlName.end(), mMtlName.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return true;
    }
    // Written beside its final name and renamed there once the export is whole.
    const std::string pattern = duzplatform::IsReplaceableTarget(mMtlPath.c_str())
                                    ? duzplatform::CreateTemporaryBeside(mMtlPath, ".tmp")
                                    : std::string();
    mMtlFile = pattern.empty() ? nullptr : duzplatform::OpenFile(pattern.c_str(), "w");
    if (mMtlFile == nullptr) {
        if (!pattern.empty()) std::remove(pattern.c_str());
        mError.SetLastErrorWithText(eFileNotCreated, "Unable to create the material file");
        return false;
    }
    mMtlTemporary = pattern;
    mMtlName = std::filesystem::path(mMtlPath).filename().string();
    mMtlOut.Reset(mMtlFile);
    mMtlOut.Text(kMtlHeader, sizeof kMtlHeader - 1);
    return true;
}

void KDuzWriterObj::FinishMaterials(bool keep) {
    mRecords.clear();
    mRecordIndex.clear();
    if (mMtlFile != nullptr) {
        std::fclose(mMtlFile);
        mMtlFile = nullptr;
    }
    if (!keep && !mMtlTemporary.empty()) {
        std::remove(mMtlTemporary.c_str());
        mMtlTemporary.clear();
        mMtlPending = false;
    }
    mMtlName.clear();
}

void KDuzWriterObj::WriteNode(KDuzNode* node) {
    std::vector<KDuzNode*> pending{node};
    while (!pending.empty()) {
        KDuzNode* current = pending.back();
        pending.pop_back();
        if (KDuzMesh* mesh = mMeshes.MeshFor(current, mTriangulate)) WriteMesh(current, mesh);
        for (int i = current->GetChildCount() - 1; i >= 0; --i) pending.push_back(current->GetChild(i));
    }
}

void KDuzWriterObj::Deform(KDuzNode* node, KDuzMesh* mesh, std::vector<KgeTVector>& points,
                           std::vector<KgeTVector>* normals) {
    const bool shapes = mesh->GetShapeCount() > 0;
    const bool skin = mesh->GetDeformerCountOfType(KDuzDeformer::eSkin) > 0;
    if (!mDeform || (!shapes && !skin)) return;
    // Normals follow as the tips point + normal, deformed with the points.
    std::vector<KgeTVector> tips;
    if (normals != nullptr) {
        tips = points;
        for (size_t i = 0; i < tips.size(); ++i) {
            for (int k = 0; k < 3; ++k) tips[i][k] += (*normals)[i][k];
        }
    }
    if (shapes) {
        ApplyShapes(mesh, points);
        if (normals != nullptr) ApplyShapes(mesh, tips);
    }
    if (skin) {
        ApplySkin(node, mesh, points);
        if (normals != nullptr) ApplySkin(node, mesh, tips);
    }
    if (normals != nullptr) {
        for (size_t i = 0; i < tips.size(); ++i) {
            (*normals)[i] = KgeTVector(tips[i][0] - points[i][0], tips[i][1] - points[i][1], tips[i][2] - points[i][2], 0.0);
        }
    }
}

void KDuzWriterObj::ApplyShapes(KDuzMesh* mesh, std::vector<KgeTVector>& points) { KDuzBakeShapes(*mesh, points); }

void KDuzWriterObj::ApplySkin(KDuzNode* node, KDuzMesh* mesh, std::vector<KgeTVector>& points) {
    KDuzBakeSkin(node->GetGlobalTransform(), *mesh, points,
                 [](const KDuzNode& other) { return ObjNodeGlobalMatrix(&other); });
}

const std::string& KDuzWriterObj::UseMaterial(KDuzSurfaceMaterial* material, KDuzTexture* texture) {
    const auto key = std::make_pair(material, texture);
    auto found = mRecordIndex.find(key);
    if (found == mRecordIndex.end()) {
        std::string word = OneWord(material->GetName());
        if (word.empty()) word = "material";
        // The default material's name was made unique when it was created.
        if (material != mDefaultMaterial) {
            KDuzObjectName name(word.c_str());
            mRenamer.Rename(name);
            word = name.GetCurrentName();
        }
        mRecords.push_back(ObjMaterialRecord{material, texture, word});
        found = mRecordIndex.emplace(key, mRecords.size() - 1).first;
        WriteMaterial(mRecords.back());
    }
    return mRecords[found->second].name;
}

void KDuzWriterObj::WriteMaterial(const ObjMaterialRecord& record) {
    if (mMtlFile == nullptr) return;
    ObjTextOut& out = mMtlOut;
    auto line3 = [&out](const char* keyword, const double* rgb, double factor) {
        out.Text(keyword, std::strlen(keyword));
        for (int k = 0; k < 3; ++k) {
            out.Char(' ');
            out.Number(rgb[k] * factor);
        }
        out.Char('\n');
    };
    auto line1 = [&out](const char* keyword, double value) {
        out.Text(keyword, std::strlen(keyword));
        out.Char(' ');
        out.Number(value);
        out.Char('\n');
    };
    out.Text("\nnewmtl ", 8);
    out.Text(record.name);
    out.Char('\n');
    // A texture without a file (the reader's placeholder for faces without
    // one) gets no map: an empty name would read back as a texture of nothing.
    const char* file = record.texture != nullptr ? record.texture->GetFileName() : nullptr;
    if (file != nullptr && file[0] != '\0' && record.texture->GetTextureUse() == 0) {
        CopyTexture(file);
        out.Text("map_Kd ", 7);
        out.Text(std::string(KPathGetFileName(file, true).Buffer()));
        out.Char('\n');
    }
    const KDuzSurfaceMaterial* material = record.material;
    auto* lambert = dynamic_cast<const KDuzSurfaceLambert*>(material);
    auto* phong = dynamic_cast<const KDuzSurfacePhong*>(material);
    if (lambert != nullptr) {
        // From the material's values: its built-ins stay without handles.
        auto colorLine = [&](const char* keyword, EDuzMaterialProperty colorId, EDuzMaterialProperty factorId) {
            const duzVectorTemplate3<double> value = material->GetBuiltInDouble3(colorId);
            const double color[3] = {value[0], value[1], value[2]};
            line3(keyword, color, material->GetBuiltInDouble(factorId));
        };
        colorLine("Ka", eMaterialAmbientColor, eMaterialAmbientFactor);
        colorLine("Kd", eMaterialDiffuseColor, eMaterialDiffuseFactor);
        if (phong != nullptr) {
            colorLine("Ks", eMaterialSpecularColor, eMaterialSpecularFactor);
            out.Text("illum 2\n", 8);
            line1("Ns", material->GetBuiltInDouble(eMaterialShininessExponent));
        } else {
            out.Text("illum 1\n", 8);
        }
        const duzVectorTemplate3<double> color = material->GetBuiltInDouble3(eMaterialTransparentColor);
        const double factor = material->GetBuiltInDouble(eMaterialTransparencyFactor);
        line1(kOpacityKeyword, 1.0 - (color[0] + color[1] + color[2]) / 3.0 * factor);
        return;
    }
    // Another material: whatever it has of the usual properties.
    static const char* const kColors[3][3] = {{"Ka", "AmbientColor", "AmbientFactor"},
                                              {"Kd", "DiffuseColor", "DiffuseFactor"},
                                              {"Ks", "SpecularColor", "SpecularFactor"}};
    for (const auto& row : kColors) {
        double color[3];
        double factor = 1.0;
        if (!ReadColor(material, row[1], color)) continue;
        ReadDouble(material, row[2], factor);
        line3(row[0], color, factor);
    }
    out.Text("illum 2\n", 8);
    double shininess = 0.0;
    if (ReadDouble(material, "ShininessExponent", shininess)) line1("Ns", shininess * 100.0);
    double emissive[3];
    double factor = 1.0;
    const bool hasColor = ReadColor(material, "EmissiveColor", emissive);
    const bool hasFactor = ReadDouble(material, "EmissiveFactor", factor);
    const double mean = hasColor ? (emissive[0] + emissive[1] + emissive[2]) / 3.0 : 1.0;
    if (hasColor || hasFactor) line1(kOpacityKeyword, 1.0 - mean * (hasFactor ? factor : 1.0));
}

bool KDuzWriterObj::CopyTexture(const char* path) {
    const std::string source(path != nullptr ? path : "");
    const KString target = KPathJoin(KPathGetDirectory(mTargetPath.c_str()), KPathGetFileName(source.c_str(), true));
    if (KPathFileExists(target)) return true;
    return CopyTextureFileTo(source.c_str(), target.Buffer());
}

void KDuzWriterObj::WriteMesh(KDuzNode* node, KDuzMesh* mesh) {
    const int pointCount = mesh->GetControlPointsCount();
    const int polygonCount = mesh->GetPolygonCount();
    const KDuzMeshPolygon* polygons = mesh->GetPolygonArray().Data();
    const int* polygonVertices = mesh->GetPolygonVertexArray().Data();
    const int polygonVertexCount = mesh->GetPolygonVertexArray().Count();
    KDuzLayer* layer = mesh->GetLayer(0);
    const KgeMatrix global = node->GetGlobalTransform();
    const KgeMatrix normalMatrix = global.InverseOrthogonal().Transpose();

    ObjTextOut& out = mOut;
    out.Text("g ", 2);
    out.Text(OneWord(node->GetName()));
    out.Char('\n');

    // A polygon is written only when all its corners name control points.
    auto whole = [&](int p) {
        const KDuzMeshPolygon& polygon = polygons[p];
        if (polygon.mSize <= 0 || polygon.mStart < 0 || polygon.mStart > polygonVertexCount - polygon.mSize) return false;
        for (int i = 0; i < polygon.mSize; ++i) {
            const int point = polygonVertices[polygon.mStart + i];
            if (point < 0 || point >= pointCount) return false;
        }
        return true;
    };

    // Normals and UVs are written only when every corner finds its entry:
    // a corner pointing at a missing "vn" or "vt" line spoils the file.
    const KDuzLayerElementNormal* normalElement = layer != nullptr ? layer->GetNormals() : nullptr;
    const KDuzLayerElementUV* uvElement = layer != nullptr ? layer->GetUVsOfType(kDiffuseChannel) : nullptr;
    const int normalCount = normalElement != nullptr ? normalElement->GetDirectArray().Count() : 0;
    const int uvCount = uvElement != nullptr ? uvElement->GetDirectArray().Count() : 0;
    const ElementView normalView = normalCount > 0 ? ElementView(*normalElement, normalCount) : ElementView();
    const ElementView uvView = uvCount > 0 ? ElementView(*uvElement, uvCount) : ElementView();
    const int textureCount = mesh->GetTextureCount(0, kDiffuseChannel);
    const int textureMapping = mesh->GetTextureMappingMode();
    const KDuzLayerElementTexture* textureElement = layer != nullptr ? layer->GetTexturesOfType(kDiffuseChannel) : nullptr;
    // With one texture per polygon each corner gets a "vt" line of its own,
    // swapped as that polygon's texture asks.
    const bool uvPerCorner = uvCount > 0 && textureCount > 0 && textureMapping == kMappingByPolygon;
    auto polygonTexture = [&](int polygon) -> KDuzTexture* {
        if (textureElement == nullptr) return nullptr;
        const KTypedArray<int>& indices = textureElement->GetIndexArray();
        if (textureMapping == kMappingAllSame) return mesh->GetTexture(textureCount - 1, 0, kDiffuseChannel);
        if (textureMapping != kMappingByPolygon || polygon >= indices.Count()) return nullptr;
        return mesh->GetTexture(indices[polygon], 0, kDiffuseChannel);
    };

    bool withNormals = normalCount > 0;
    bool withUvs = uvCount > 0;
    for (int p = 0, polygonVertex = 0; p < polygonCount && (withNormals || withUvs); ++p) {
        const KDuzMeshPolygon& polygon = polygons[p];
        if (!whole(p)) {
            polygonVertex += std::max(polygon.mSize, 0);
            continue;
        }
        for (int i = 0; i < polygon.mSize; ++i, ++polygonVertex) {
            const int point = polygonVertices[polygon.mStart + i];
            if (withNormals && normalView.Entry(p, polygonVertex, point) < 0) withNormals = false;
            if (withUvs && uvView.Entry(p, polygonVertex, point) < 0) withUvs = false;
        }
    }

    // Deformation works on copies: the scene keeps its own mesh.
    const KgeTVector* points = mesh->GetControlPoints();
    const KgeTVector* normals = withNormals ? normalElement->GetDirectArray().Data() : nullptr;
    std::vector<KgeTVector> deformedPoints;
    std::vector<KgeTVector> deformedNormals;
    // Triangulating a mesh keeps its points, so the node's own mesh (with
    // its shapes and skin in the scene) moves them.
    auto* own = dynamic_cast<KDuzMesh*>(node->GetNodeAttribute());
    KDuzMesh* pointSource = own != nullptr && own->GetControlPointsCount() == pointCount ? own : mesh;
    const bool deforming = mDeform && pointCount > 0 &&
                           (pointSource->GetShapeCount() > 0 || pointSource->GetDeformerCountOfType(KDuzDeformer::eSkin) > 0);
    if (deforming) {
        deformedPoints.assign(points, points + pointCount);
        // Only normals by control point move with the points.
        const bool pointNormals = withNormals && normalView.mapping == KDuzLayerElement::eByControlPoint &&
                                  normalView.indices == nullptr && normalCount == pointCount;
        if (pointNormals) deformedNormals.assign(normals, normals + normalCount);
        Deform(node, pointSource, deformedPoints, pointNormals ? &deformedNormals : nullptr);
        points = deformedPoints.data();
        if (pointNormals) normals = deformedNormals.data();
    }

    const long long firstVertex = mNextVertex;
    const long long firstUv = mNextUv;
    const long long firstNormal = mNextNormal;
    for (int i = 0; i < pointCount; ++i) {
        const KgeTVector world = global.TransformPoint(points[i]);
        out.Text("v ", 2);
        out.Number(world[0]);
        out.Char(' ');
        out.Number(world[1]);
        out.Char(' ');
        out.Number(world[2]);
        out.Char('\n');
    }
    mNextVertex += pointCount;

    auto writeUv = [&out](const KgeUVVector& uv, bool swap) {
        out.Text("vt ", 3);
        out.Number(swap ? uv.mV : uv.mU);
        out.Char(' ');
        out.Number(swap ? uv.mU : uv.mV);
        out.Char('\n');
    };
    if (withUvs) {
        const KgeUVVector* direct = uvElement->GetDirectArray().Data();
        if (uvPerCorner) {
            long long written = 0;
            for (int p = 0, polygonVertex = 0; p < polygonCount; ++p) {
                const KDuzMeshPolygon& polygon = polygons[p];
                if (!whole(p)) {
                    polygonVertex += std::max(polygon.mSize, 0);
                    continue;
                }
                const KDuzTexture* texture = polygonTexture(p);
                const bool swap = texture != nullptr && texture->GetSwapUV();
                for (int i = 0; i < polygon.mSize; ++i, ++polygonVertex) {
                    writeUv(direct[uvView.Entry(p, polygonVertex, polygonVertices[polygon.mStart + i])], swap);
                }
                written += polygon.mSize;
            }
            mNextUv += written;
        } else {
            const KDuzTexture* last = textureCount > 0 && textureMapping == kMappingAllSame
                                          ? mesh->GetTexture(textureCount - 1, 0, kDiffuseChannel)
                                          : nullptr;
            const bool swap = last != nullptr && last->GetSwapUV();
            for (int i = 0; i < uvCount; ++i) writeUv(direct[i], swap);
            mNextUv += uvCount;
        }
    }
    if (withNormals) {
        for (int i = 0; i < normalCount; ++i) {
            const KgeTVector world = Normalized(TransformVector(normalMatrix, normals[i]));
            out.Text("vn ", 3);
            out.Number(world[0]);
            out.Char(' ');
            out.Number(world[1]);
            out.Char(' ');
            out.Number(world[2]);
            out.Char('\n');
        }
        mNextNormal += normalCount;
    }

    // Materials: one "usemtl" for the whole mesh when nothing varies by polygon.
    const int materialCount = mesh->GetMaterialCount(0);
    const int materialMapping = mesh->GetMaterialMappingMode();
    const KDuzLayerElementMaterial* materialElement = layer != nullptr ? layer->GetMaterials() : nullptr;
    auto useMaterial = [this, &out](KDuzSurfaceMaterial* material, KDuzTexture* texture) {
        out.Text("usemtl ", 7);
        out.Text(UseMaterial(material, texture));
        out.Char('\n');
    };
    const bool perPolygon = (materialCount > 0 && materialMapping != kMappingAllSame) ||
                            (textureCount > 0 && textureMapping != kMappingAllSame);
    if (materialCount == 0 && textureCount == 0) {
        if (mHasMaterials && mDefaultMaterial != nullptr) useMaterial(mDefaultMaterial, nullptr);
    } else if (!perPolygon) {
        KDuzSurfaceMaterial* material = materialCount > 0 ? mesh->GetMaterial(materialCount - 1) : mDefaultMaterial;
        KDuzTexture* texture = textureCount > 0 ? mesh->GetTexture(textureCount - 1, 0, kDiffuseChannel) : nullptr;
        if (material != nullptr) useMaterial(material, texture);
    }
    auto polygonMaterial = [&](int polygon) -> KDuzSurfaceMaterial* {
        if (materialCount == 0) return mDefaultMaterial;
        if (materialMapping == kMappingAllSame) return mesh->GetMaterial(materialCount - 1);
        if (materialElement == nullptr) return nullptr;
        const KTypedArray<int>& indices = materialElement->GetIndexArray();
        int position = -1;
        if (materialMapping == kMappingByPolygon) position = polygon;
        else if (materialMapping == KDuzLayerElement::eByControlPoint) position = mesh->GetPolygonVertex(polygon, 0);
        if (position < 0 || position >= indices.Count()) return nullptr;
        return mesh->GetMaterial(indices[position]);
    };

    KDuzSurfaceMaterial* lastMaterial = nullptr;
    KDuzTexture* lastTexture = nullptr;
    bool first = true;
    long long nextCornerUv = firstUv;
    for (int p = 0, polygonVertex = 0; p < polygonCount; ++p) {
        const KDuzMeshPolygon& polygon = polygons[p];
        if (perPolygon) {
            KDuzSurfaceMaterial* material = polygonMaterial(p);
            KDuzTexture* texture = polygonTexture(p);
            if ((first || material != lastMaterial || texture != lastTexture) && material != nullptr) {
                useMaterial(material, texture);
            }
            first = false;
            lastMaterial = material;
            lastTexture = texture;
        }
        if (!whole(p)) {
            polygonVertex += std::max(polygon.mSize, 0);
            continue;
        }
        out.Char('f');
        for (int i = 0; i < polygon.mSize; ++i, ++polygonVertex) {
            const int point = polygonVertices[polygon.mStart + i];
            out.Char(' ');
            out.Integer(firstVertex + point);
            if (!withUvs && !withNormals) continue;
            out.Char('/');
            if (withUvs) out.Integer(uvPerCorner ? nextCornerUv++ : firstUv + uvView.Entry(p, polygonVertex, point));
            if (withNormals) {
                out.Char('/');
                out.Integer(firstNormal + normalView.Entry(p, polygonVertex, point));
            }
        }
        out.Char('\n');
    }
}

}  // namespace duzsdk
