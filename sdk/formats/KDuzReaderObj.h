// Reads a Wavefront OBJ text file, with the MTL material libraries it names,
// into a scene: one node per group, holding one mesh in which every distinct
// (position, uv, normal) combination is one control point. Rational
// B-spline surfaces become NURB nodes under the scene's root.
#pragma once
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sdk/base/KString.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/formats/ObjBlockArray.h"
#include "sdk/formats/ObjCornerList.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/io/KDuzReader.h"
#include "sdk/io/KRenamingStrategy.h"

namespace duzsdk {

class KDuzMesh;
class KDuzNode;
class KDuzSurfaceMaterial;
class KDuzTexture;

// One "f" statement, or a run of them alike: faces of one corner count,
// material and flags whose corners follow each other in the group's corner
// list. A mesh of triangles in one material is then a handful of runs
// instead of a record per face.
struct ObjFace {
    int firstCorner = 0;
    int cornerCount = 0;
    int count = 1;       // faces in the run
    int material = -1;   // index into the reader's used-material list
    bool allNormals = true;
    bool allUvs = true;
};

// A normal as read or made: x, y, z (its w is always 0).
using ObjNormal = std::array<double, 3>;

// The free-form state set by "cstype" and "deg".
struct ObjFreeForm {
    int type = 0;   // 1 bmatrix, 2 bezier, 3 bspline, 4 cardinal, 5 taylor; 0 none yet
    bool rational = false;
    int degreeU = 0;
    int degreeV = 0;
};

// Case-insensitive ordering of names (C locale).
struct ObjNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

// The faces of one group name, by smoothing group (ascending as unsigned).
struct ObjGroup {
    std::string name;   // the spelling met first
    std::map<unsigned, ObjBlockArray<ObjFace>> faces;
    ObjCornerList corners;
    bool allFacesHaveNormals = true;
    bool allFacesHaveUvs = true;
    bool allFacesHaveTexture = true;
    bool someFaceHasTexture = false;
    int faceCount = 0;
};

class KDuzReaderObj : public KDuzReader {
public:
    explicit KDuzReaderObj(KDuzSdkManager* manager);
    ~KDuzReaderObj() override;

    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    KDuzStreamOptions* GetReadOptions(bool parseFileAsNeeded) override;
    bool Read(KDuzScene* scene, KDuzStreamOptions* options) override;

    // 0-based index of a 1-based or negative (relative) OBJ index against the
    // count read so far; -1 for 0 and anything out of range.
    static int ResolveIndex(long long index, int count);

private:
    // One "newmtl" entry of an MTL file, as read.
    struct MtlEntry {
        bool hasKa = false, hasKd = false, hasKs = false, hasTr = false;
        double ka[3] = {}, kd[3] = {}, ks[3] = {};
        int illum = 2;
        double ns = 0.0;
        double tr = 0.0;
        std::string mapKd;
    };
    // A material named by "usemtl" and what it gave (nulls when unreadable).
    struct UsedMaterial {
        std::string name;
        KDuzSurfaceMaterial* material = nullptr;
        KDuzTexture* texture = nullptr;
    };

    bool ReadStatements(KDuzScene* scene);
    bool ReadPhysicalLine(std::string_view& line);
    bool NextStatement(std::string_view& keyword, std::string_view& rest);
    bool ParseFace(std::string_view rest, ObjGroup& group, ObjFace& face);
    bool OpenMaterialLibraries(std::string_view rest);
    void ParseMaterialFile(FILE* file);
    void UseMaterial(std::string_view rest);
    KDuzSurfaceMaterial* MakeMaterial(const std::string& name, const MtlEntry& entry, KDuzTexture*& texture);
    void ReadSurface(std::string_view rest, const ObjFreeForm& form, int material, const std::string& groupName);
    void DestroySurfaceNodes();
    void MakeSmoothNormals(const ObjGroup& group, const ObjBlockArray<ObjFace>& faces);
    KgeTVector FaceNormal(const ObjGroup& group, const ObjFace& face) const;
    KDuzMesh* BuildGroupMesh(ObjGroup& group, bool lastGroup);
    void FillPolygons(KDuzMesh& mesh, const ObjGroup& group, bool withUvs);
    bool BuildScene(KDuzScene* scene);
    void Reset();

    FILE* mFile = nullptr;
    KString mPath;
    KNumberRenamingStrategy mRenamer;
    bool mReferenceNode = true;
    bool mUseMaterials = false;
    bool mTextureSeen = false;

    // Buffered input of the OBJ stream: a block of kReadBlock bytes, left
    // unfilled (a small file touches a page of it).
    std::unique_ptr<char[]> mBuffer;
    size_t mBufferPos = 0;
    size_t mBufferEnd = 0;
    bool mEof = false;
    // A line that crosses a block's end, or continued lines joined.
    std::string mLine;

    std::map<std::string, std::unique_ptr<ObjGroup>, ObjNameLess> mGroups;
    std::map<std::string, int, ObjNameLess> mMaterialByName;   // into mUsed
    std::vector<UsedMaterial> mUsed;
    std::unordered_map<std::string, MtlEntry> mMtlEntries;      // first definition wins
    std::set<std::string> mParsedLibraries;
    ObjBlockArray<KgeTVector> mPositions;
    ObjBlockArray<KgeUVVector> mUvs;
    ObjBlockArray<ObjNormal> mNormals;
    // Per position, the normal made for it in a smoothing group: an index
    // into mNormals, current only at or above the group's first made normal.
    std::vector<int> mSumOfVertex;
    int mParameterVertexCount = 0;
    // Surface nodes made while reading, added to the scene once the read succeeds.
    std::vector<KDuzNode*> mSurfaceNodes;
};

}  // namespace duzsdk
