#include "sdk/formats/KDuzWriterDxf.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/PlatformFile.h"
#include "sdk/geometry/KDuzBakeDeformation.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzDeformer.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/io/KDuzSavedNames.h"
#include "sdk/io/KDuzSceneRenamer.h"
#include "sdk/io/KDuzStreamOptionsFormats.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

constexpr size_t kFlushSize = 1 << 20;
constexpr int kRenameModeDxf = 3;

// a x b for row vectors: a is applied first.
KgeMatrix Multiply(const KgeMatrix& a, const KgeMatrix& b) {
    KgeMatrix out;
    double* o = out.Data();
    const double* x = a.Data();
    const double* y = b.Data();
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += x[4 * r + k] * y[4 * k + c];
            o[4 * r + c] = sum;
        }
    }
    return out;
}

// Depth-first, parents before children, without recursion: a deep chain
// of nodes cannot exhaust the stack.
template <typename Visit>
void ForEachBelow(KDuzNode* root, Visit visit) {
    std::vector<std::pair<KDuzNode*, int>> stack;
    for (int i = root->GetChildCount() - 1; i >= 0; --i) stack.emplace_back(root->GetChild(i), 0);
    while (!stack.empty()) {
        KDuzNode* node = stack.back().first;
        stack.pop_back();
        if (node == nullptr) continue;
        visit(node);
        for (int i = node->GetChildCount() - 1; i >= 0; --i) stack.emplace_back(node->GetChild(i), 0);
    }
}

KDuzMesh* MeshOf(KDuzNode* node) {
    KDuzObject* attribute = node->GetNodeAttribute();
    if (attribute == nullptr || KDuzNode::GetAttributeTypeOf(attribute) != KDuzNodeAttribute::eMesh) return nullptr;
    return dynamic_cast<KDuzMesh*>(attribute);
}

// The colour of a mesh node: that of the last material of layer 0.
int NodeColour(const KDuzMesh* mesh) {
    const int count = mesh->GetMaterialCount(0);
    return count > 0 ? KDuzWriterDxf::MaterialColour(mesh->GetMaterial(count - 1, 0)) : 0;
}

}  // namespace

KDuzWriterDxf::KDuzWriterDxf(KDuzSdkManager* manager) : KDuzWriter(manager), mMeshes(manager) {}

KDuzWriterDxf::~KDuzWriterDxf() { FileClose(); }

bool KDuzWriterDxf::FileCreate(const char* fileName) {
    FileClose();
    if (fileName != nullptr) mFile = duzplatform::OpenFile(fileName, "w");
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    mPath = fileName;
    return true;
}

bool KDuzWriterDxf::FileClose() {
    bool closed = true;
    if (mFile != nullptr) {
        if (!mOut.empty() && std::fwrite(mOut.data(), 1, mOut.size(), mFile) != mOut.size()) closed = false;
        if (std::fclose(mFile) != 0) closed = false;
        // The text is written here, so here is where a full disk shows.
        if (!closed) mError.SetLastError(eOutOfDiskSpace);
    }
    mOut.clear();
    mFile = nullptr;
    mPath = "";
    return closed;
}

KDuzStreamOptions* KDuzWriterDxf::GetWriteOptions() { return KDuzStreamOptionsDxfWriter::Create(mManager, ""); }

bool KDuzWriterDxf::PreprocessScene(KDuzScene* scene) {
    KDuzSceneRenamer renamer(scene);
    renamer.RenameFor(kRenameModeDxf);
    return true;
}

bool KDuzWriterDxf::PostprocessScene(KDuzScene* /*scene*/) { return false; }

// ---- output --------------------------------------------------------------------------

void KDuzWriterDxf::Line(const char* text) {
    mOut += text;
    mOut += '\n';
    if (mOut.size() >= kFlushSize && mFile != nullptr) {
        std::fwrite(mOut.data(), 1, mOut.size(), mFile);
        mOut.clear();
    }
}

void KDuzWriterDxf::Pair(const char* code, const char* value) {
    Line(code);
    Line(value);
}

// The text of "   %d", without printf's cost.
void KDuzWriterDxf::IntPair(const char* code, int value) {
    char text[24] = "   ";
    *std::to_chars(text + 3, text + sizeof text - 1, value).ptr = '\0';
    Pair(code, text);
}

// The shortest text that reads back as the same double, without exponent
// (readers of old files know none); a value that is no number is written
// as 0, since no reader could take it.
void KDuzWriterDxf::RealPair(const char* code, double value) {
    if (!std::isfinite(value)) value = 0.0;
    if (value == 0.0) value = 0.0;   // no "-0"
    char text[400];
    const auto result = std::to_chars(text, text + sizeof text - 3, value, std::chars_format::fixed);
    char* end = result.ptr;
    if (std::memchr(text, '.', static_cast<size_t>(end - text)) == nullptr) {
        *end++ = '.';
        *end++ = '0';
    }
    *end = '\0';
    Pair(code, text);
}

// A name on one line: line ends in it would break the pairs.
std::string KDuzWriterDxf::NameOf(const KDuzNode* node) const {
    std::string name = node->GetName() != nullptr ? node->GetName() : "";
    for (char& c : name) {
        if (c == '\n' || c == '\r') c = '_';
    }
    return name;
}

// ---- colours -------------------------------------------------------------------------

int KDuzWriterDxf::RgbToColorIndex(double r, double g, double b) {
    auto is = [&](double x, double y, double z) { return r == x && g == y && b == z; };
    if (is(1, 0, 0)) return 1;
    if (is(1, 1, 0)) return 2;
    if (is(0, 1, 0)) return 3;
    if (is(0, 1, 1)) return 4;
    if (is(0, 0, 1)) return 5;
    if (is(1, 0, 1)) return 6;
    if (is(1, 1, 1)) return 7;
    if (is(0.502, 0.502, 0.502)) return 8;
    if (is(0.753, 0.753, 0.753)) return 9;
    if (is(0, 0, 0)) return 250;
    enum { eRed, eGreen, eBlue };
    int maxChannel = eBlue;
    if (g <= r && b <= r) maxChannel = eRed;
    else if (r <= g && b <= g) maxChannel = eGreen;
    int midChannel = 0;
    double max = 0.0, mid = 0.0, min = 0.0;
    if (maxChannel == eRed) {
        midChannel = b > g ? eBlue : eGreen;
        max = r;
        mid = midChannel == eBlue ? b : g;
        min = midChannel == eBlue ? g : b;
    } else if (maxChannel == eGreen) {
        midChannel = b > r ? eBlue : eRed;
        max = g;
        mid = midChannel == eBlue ? b : r;
        min = midChannel == eBlue ? r : b;
    } else {
        midChannel = g > r ? eGreen : eRed;
        max = b;
        mid = midChannel == eGreen ? g : r;
        min = midChannel == eGreen ? r : g;
    }
    // A colour with no positive channel (or no number) has no hue: the
    // darkest grey.
    if (!(max > 0.0) || !std::isfinite(max) || !std::isfinite(mid) || !std::isfinite(min)) return 250;
    const double s = min / max;
    if (s > 0.8) {
        const double a = (r + g + b) / 3.0;
        return a < 0.4 ? 250 : a < 0.53 ? 251 : a < 0.66 ? 252 : a < 0.8 ? 253 : a < 0.93 ? 254 : 255;
    }
    const double m = mid / max;
    const double d = 1.0 - s;
    // The six (maximum, middle) orders: red-green, red-blue, green-red,
    // green-blue, blue-red, blue-green.
    int order = 0;
    if (maxChannel == eRed) order = midChannel == eGreen ? 0 : 1;
    else if (maxChannel == eGreen) order = midChannel == eRed ? 2 : 3;
    else order = midChannel == eRed ? 4 : 5;
    static const int kBands[3][6] = {
        {40, 220, 60, 120, 200, 140}, {30, 230, 70, 110, 190, 150}, {20, 240, 80, 100, 180, 160}};
    int h = 0;
    if (m > s + 7.0 * d / 8.0) {
        const int minChannel = 3 - maxChannel - midChannel;
        h = minChannel == eBlue ? 50 : minChannel == eRed ? 130 : 210;
    } else if (m > s + 5.0 * d / 8.0) {
        h = kBands[0][order];
    } else if (m > s + 3.0 * d / 8.0) {
        h = kBands[1][order];
    } else if (m > s + d / 8.0) {
        h = kBands[2][order];
    } else {
        h = maxChannel == eRed ? 10 : maxChannel == eGreen ? 90 : 170;
    }
    if (max <= 0.85) h += max > 0.6 ? 2 : max > 0.4 ? 4 : max > 0.2 ? 6 : 8;
    if (s > 0.2) h += 1;
    return h;
}

int KDuzWriterDxf::MaterialColour(const KDuzSurfaceMaterial* material) {
    if (material == nullptr) return 0;
    duzVectorTemplate3<double> colour(0.0, 0.0, 0.0);
    const KDuzProperty diffuse = material->FindProperty("DiffuseColor");
    if (diffuse.IsValid()) diffuse.GetValue(&colour, eValueKindDouble3);
    double factor = 1.0;
    const KDuzProperty factorProperty = material->FindProperty("DiffuseFactor");
    if (factorProperty.IsValid()) factorProperty.GetValue(&factor, eValueKindDouble);
    return RgbToColorIndex(colour[0] * factor, colour[1] * factor, colour[2] * factor);
}

// ---- deformations --------------------------------------------------------------------

KgeMatrix KDuzWriterDxf::ScaleMatrix(const KgeMatrix& matrix, double factor) {
    KgeMatrix out(matrix);
    for (int i = 0; i < 16; ++i) out.Data()[i] *= factor;
    return out;
}

void KDuzWriterDxf::ApplyShapes(KDuzMesh& mesh, std::vector<KgeTVector>& points) { KDuzBakeShapes(mesh, points); }

KgeMatrix KDuzWriterDxf::ComputeLocalMatrix(const KDuzNode& node) {
    const auto t = node.GetLclTranslation();
    const auto r = node.GetLclRotation();
    const auto s = node.GetLclScaling();
    KgeMatrix m;
    m.SetTRS(KgeTVector(t[0], t[1], t[2], 0.0), KgeTVector(r[0], r[1], r[2], 0.0), KgeTVector(s[0], s[1], s[2], 0.0));
    return m;
}

KgeMatrix KDuzWriterDxf::ComputeGlobalMatrix(const KDuzNode& node) {
    KgeMatrix global = ComputeLocalMatrix(node);
    for (const KDuzNode* parent = node.GetParent(); parent != nullptr; parent = parent->GetParent()) {
        global = Multiply(global, ComputeLocalMatrix(*parent));
    }
    return global;
}

void KDuzWriterDxf::ApplySkin(KDuzNode& node, KDuzMesh& mesh, std::vector<KgeTVector>& points) {
    KDuzBakeSkin(ComputeGlobalMatrix(node), mesh, points, &ComputeGlobalMatrix);
}

// ---- write ---------------------------------------------------------------------------

bool KDuzWriterDxf::Write(KDuzScene* scene, KDuzStreamOptions* options) {
    mError.ClearError();
    if (scene == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        return false;
    }
    // The renaming is for the file only: the caller's names come back.
    const KDuzSavedNames names(mManager);
    PreprocessScene(scene);
    auto* dxfOptions = dynamic_cast<KDuzStreamOptionsDxfWriter*>(options);
    if (dxfOptions == nullptr) {
        mError.SetLastError(eStreamOptionsNotSet);
        return false;
    }
    if (mFile == nullptr) {
        mError.SetLastError(eFileNotOpened);
        return false;
    }
    mTriangulate = dxfOptions->GetBoolOption("TRIANGULATE", true);
    mDeformation = dxfOptions->GetBoolOption("DEFORMATION", true);
    KDuzNode* root = scene->GetRootNode();
    const int children = root != nullptr ? root->GetChildCount() : 0;
    const int total = root != nullptr ? root->GetChildCount(true) : 0;

    Pair("999", "Dizidir Dxf writer for DUZ");
    Pair("  0", "SECTION");
    Pair("  2", "HEADER");
    Pair("  9", "$ACADVER");
    Pair("  1", "AC1008");
    Pair("  9", "$UCSORG");
    Pair(" 10", "0.0");
    Pair(" 20", "0.0");
    Pair(" 30", "0.0");
    Pair("  9", "$UCSXDIR");
    Pair(" 10", "1.0");
    Pair(" 20", "0.0");
    Pair(" 30", "0.0");
    Pair("  9", "$TILEMODE");
    Pair(" 70", "   1");
    Pair("  9", "$UCSYDIR");
    Pair(" 10", "0.0");
    Pair(" 20", "1.0");
    Pair(" 30", "0.0");
    Pair("  0", "ENDSEC");

    Pair("  0", "SECTION");
    Pair("  2", "TABLES");
    if (children > 0) {
        Pair("  0", "TABLE");
        Pair("  2", "LTYPE");
        Pair(" 70", "   1");
        Pair("  0", "LTYPE");
        Pair("  2", "CONTINUOUS");
        Pair(" 70", "   64");
        Pair("  3", "Solid line");
        Pair(" 72", "   65");
        Pair(" 73", "   0");
        Pair(" 40", "0.0");
        Pair("  0", "ENDTAB");
        Pair("  0", "TABLE");
        Pair("  2", "LAYER");
        IntPair(" 70", total);
        ForEachBelow(root, [this](KDuzNode* node) { WriteLayers(node); });
        Pair("  0", "ENDTAB");
    }
    Pair("  0", "ENDSEC");
    Pair("  0", "SECTION");
    Pair("  2", "BLOCKS");
    Pair("  0", "ENDSEC");
    Pair("  0", "SECTION");
    Pair("  2", "ENTITIES");
    if (root != nullptr) ForEachBelow(root, [this](KDuzNode* node) { WriteMeshEntities(node); });
    Pair("  0", "ENDSEC");
    Pair("  0", "EOF");
    mMeshes.Clear();
    PostprocessScene(scene);
    return true;
}

void KDuzWriterDxf::WriteLayers(KDuzNode* node) {
    // Triangles are made beside the scene, never in it: nodes sharing a
    // mesh keep it, and the caller's scene stays as it was.
    KDuzMesh* mesh = mMeshes.MeshFor(node, mTriangulate);
    if (mesh == nullptr) return;
    const int colour = NodeColour(mesh);
    Pair("  0", "LAYER");
    Pair("  2", NameOf(node).c_str());
    Pair(" 70", "   0");
    IntPair(" 62", node->GetVisibility() ? colour : -colour);
    Pair("  6", "CONTINUOUS");
}

void KDuzWriterDxf::WriteMeshEntities(KDuzNode* node) {
    KDuzMesh* mesh = mMeshes.MeshFor(node, mTriangulate);
    if (mesh == nullptr) return;
    // Triangulating a mesh keeps its points, so the node's own mesh (with
    // its shapes and skin in the scene) moves them.
    KDuzMesh* own = MeshOf(node);
    WriteMesh(node, mesh, own != nullptr && own->GetControlPointsCount() == mesh->GetControlPointsCount() ? own : mesh);
}

void KDuzWriterDxf::WriteMesh(KDuzNode* node, KDuzMesh* mesh, KDuzMesh* pointSource) {
    const std::string name = NameOf(node);
    const int colour = NodeColour(mesh);
    const int pointCount = mesh->GetControlPointsCount();
    const KgeTVector* source = mesh->GetControlPoints();
    std::vector<KgeTVector> points(source, source + (source != nullptr ? pointCount : 0));
    // Deformations are applied to a copy: the scene keeps its own points, so
    // that writing twice does not deform twice.
    if (mDeformation) {
        if (pointSource->GetShapeCount() > 0) ApplyShapes(*pointSource, points);
        if (pointSource->GetDeformerCountOfType(KDuzDeformer::eSkin) > 0) ApplySkin(*node, *pointSource, points);
    }

    // Polygons with a corner outside the points are left out; larger
    // polygons become a fan of triangles, since a face holds 4 corners at most.
    const int polygonCount = mesh->GetPolygonCount();
    int faceRecords = 0;
    std::vector<char> usable(static_cast<size_t>(std::max(polygonCount, 0)), 0);
    for (int p = 0; p < polygonCount; ++p) {
        const int size = mesh->GetPolygonSize(p);
        if (size < 3) continue;
        bool inside = true;
        for (int k = 0; k < size && inside; ++k) {
            const int v = mesh->GetPolygonVertex(p, k);
            inside = v >= 0 && v < pointCount;
        }
        if (!inside) continue;
        usable[p] = 1;
        faceRecords += size <= 4 ? 1 : size - 2;
    }

    KDuzLayer* layer = mesh->GetLayer(0);
    KDuzLayerElementMaterial* materials = layer != nullptr ? layer->GetMaterials() : nullptr;
    const int mapping = materials != nullptr ? materials->GetMappingMode() : KDuzLayerElement::eNone;
    // The colour of the material an element entry names; -1 without one.
    auto entryColour = [&](int entry) {
        if (materials == nullptr) return -1;
        int index = entry;
        if (materials->GetReferenceMode() != KDuzLayerElement::eDirect) {
            const KTypedArray<int>& indices = materials->GetIndexArray();
            if (entry < 0 || entry >= indices.Count()) return -1;
            index = indices[entry];
        }
        const KDuzSurfaceMaterial* material = mesh->GetMaterial(index, 0);
        return material != nullptr ? MaterialColour(material) : -1;
    };

    Pair("  0", "POLYLINE");
    Pair("  8", name.c_str());
    if (mesh->GetMaterialCount(0) > 0) IntPair(" 62", colour);
    Pair(" 66", "   1");
    Pair(" 10", "0.0");
    Pair(" 20", "0.0");
    Pair(" 30", "0.0");
    Pair(" 70", "   64");
    IntPair(" 71", pointCount);
    IntPair(" 72", faceRecords);

    const KgeMatrix& global = node->GetGlobalTransform();
    for (int j = 0; j < pointCount; ++j) {
        Pair("  0", "VERTEX");
        Pair("  8", name.c_str());
        if (mapping == KDuzLayerElement::eByControlPoint) {
            const int pointColour = entryColour(j);
            if (pointColour >= 0) IntPair(" 62", pointColour);
        }
        const KgeTVector p = global.TransformPoint(points[j]);
        RealPair(" 10", p[0]);
        RealPair(" 20", -p[2]);
        RealPair(" 30", p[1]);
        Pair(" 70", "   192");
    }

    auto face = [&](int faceColour, bool colourAlways, const int* corners, int count) {
        Pair("  0", "VERTEX");
        Pair("  8", name.c_str());
        if (faceColour >= 0 && (colourAlways || faceColour > 0)) IntPair(" 62", faceColour);
        Pair(" 10", "0.0");
        Pair(" 20", "0.0");
        Pair(" 30", "0.0");
        Pair(" 70", "   128");
        static const char* const kCodes[4] = {" 71", " 72", " 73", " 74"};
        char text[24] = " ";
        for (int k = 0; k < count; ++k) {
            *std::to_chars(text + 1, text + sizeof text - 1, corners[count - 1 - k] + 1).ptr = '\0';
            Pair(kCodes[k], text);
        }
    };
    for (int p = 0; p < polygonCount; ++p) {
        if (!usable[p]) continue;
        const int size = mesh->GetPolygonSize(p);
        int faceColour = colour;
        bool always = false;
        if (mapping == KDuzLayerElement::eByPolygon) {
            faceColour = entryColour(p);
            always = true;
        }
        int corners[4];
        if (size <= 4) {
            for (int k = 0; k < size; ++k) corners[k] = mesh->GetPolygonVertex(p, k);
            face(faceColour, always, corners, size);
            continue;
        }
        for (int r = 0; r + 2 < size; ++r) {
            corners[0] = mesh->GetPolygonVertex(p, 0);
            corners[1] = mesh->GetPolygonVertex(p, r + 1);
            corners[2] = mesh->GetPolygonVertex(p, r + 2);
            face(faceColour, always, corners, 3);
        }
    }
    Pair("  0", "SEQEND");
}

}  // namespace duzsdk
