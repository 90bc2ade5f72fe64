// Writes a scene as a Wavefront OBJ text file, with an MTL material file
// beside it when any mesh carries materials or textures. Every mesh is
// written in world space, optionally triangulated and deformed by its blend
// shapes and skin; NURBS and patches always become triangle meshes first.
#pragma once

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sdk/base/KString.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/formats/KDuzWriteMeshes.h"
#include "sdk/io/KDuzWriter.h"
#include "sdk/io/KRenamingStrategy.h"

namespace duzsdk {

class KDuzExporter;
class KDuzMesh;
class KDuzNode;
class KDuzSurfaceMaterial;
class KDuzTexture;

// One MTL entry: a distinct material and texture pair and its entry name.
struct ObjMaterialRecord {
    KDuzSurfaceMaterial* material = nullptr;
    KDuzTexture* texture = nullptr;
    std::string name;
};

// A block-buffered text stream with locale-free number output.
class ObjTextOut {
public:
    explicit ObjTextOut(FILE* file = nullptr);
    void Reset(FILE* file);
    void Text(const char* text, size_t length);
    void Text(const std::string& text) { Text(text.data(), text.size()); }
    void Char(char c) {
        if (mUsed == mCapacity) Spill();
        mBuffer[mUsed++] = c;
    }
    // The "%lf" form: fixed, six digits after the point.
    void Number(double value);
    void Integer(long long value);
    // Writes what is buffered; false once any write failed.
    bool Flush();
    bool Failed() const { return mFailed; }

private:
    void Reserve(size_t bytes);
    // Flushes a full block and makes the next one larger, up to a limit.
    void Spill();
    FILE* mFile = nullptr;
    // Made at the first output and left unfilled, small at first: a writer
    // that writes a small file neither fills nor touches a large block.
    std::unique_ptr<char[]> mBuffer;
    size_t mCapacity = 0;
    size_t mUsed = 0;
    bool mFailed = false;
};

class KDuzWriterObj : public KDuzWriter {
public:
    // The exporter, when given, names the final file: the exporter writes to
    // a temporary name and renames it at the end, while the MTL file and the
    // copied textures belong beside the final name.
    explicit KDuzWriterObj(KDuzSdkManager* manager, KDuzExporter* exporter = nullptr);
    ~KDuzWriterObj() override;

    bool FileCreate(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    KDuzStreamOptions* GetWriteOptions() override;
    bool Write(KDuzScene* scene, KDuzStreamOptions* options) override;
    bool PreprocessScene(KDuzScene* scene) override;
    bool PostprocessScene(KDuzScene*) override { return false; }

    // The MTL file of an OBJ path: the same folder and name with ".mtl" for
    // ".obj" (any case), blanks in the file name made "_"; empty when the
    // path does not end in ".obj".
    static std::string MaterialPathFor(const std::string& objPath);

private:
    struct MeshData;

    void PreprocessNodes(KDuzNode* node);
    void CheckMaterials(const KDuzMesh* mesh);
    bool CreateMaterialFile();
    void WriteNode(KDuzNode* node);
    void WriteMesh(KDuzNode* node, KDuzMesh* mesh);
    const std::string& UseMaterial(KDuzSurfaceMaterial* material, KDuzTexture* texture);
    void WriteMaterial(const ObjMaterialRecord& record);
    bool CopyTexture(const char* path);
    void FinishMaterials(bool keep);
    void Deform(KDuzNode* node, KDuzMesh* mesh, std::vector<KgeTVector>& points,
                std::vector<KgeTVector>* normals);
    static void ApplyShapes(KDuzMesh* mesh, std::vector<KgeTVector>& points);
    static void ApplySkin(KDuzNode* node, KDuzMesh* mesh, std::vector<KgeTVector>& points);

    KDuzExporter* mExporter;
    FILE* mFile = nullptr;
    FILE* mMtlFile = nullptr;
    KString mPath;           // the path opened
    std::string mTargetPath; // the final OBJ path
    std::string mMtlName;    // as named by "mtllib"
    std::string mMtlTemporary;
    std::string mMtlPath;    // the final MTL path
    bool mMtlPending = false;  // written, waiting for the OBJ file to close well
    bool mTriangulate = false;
    KDuzWriteMeshes mMeshes;
    bool mDeform = true;
    bool mHasMaterials = false;
    long long mNextVertex = 1;
    long long mNextUv = 1;
    long long mNextNormal = 1;
    KDuzSurfaceMaterial* mDefaultMaterial = nullptr;
    std::vector<ObjMaterialRecord> mRecords;
    std::map<std::pair<KDuzSurfaceMaterial*, KDuzTexture*>, size_t> mRecordIndex;
    KNumberRenamingStrategy mRenamer;
    ObjTextOut mOut;
    ObjTextOut mMtlOut;
};

}  // namespace duzsdk
