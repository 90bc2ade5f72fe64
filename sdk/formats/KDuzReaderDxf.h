// Reads the 3-D faces of a DXF text file into a scene: polyface meshes
// (POLYLINE, VERTEX ... SEQEND), 3DFACE entities and block references
// (INSERT of a BLOCK). Colour numbers become Lambert materials. Every other
// entity is skipped.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sdk/base/KString.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/io/KDuzReader.h"
#include "sdk/io/KRenamingStrategy.h"

namespace duzsdk {

class KDuzMesh;
class KDuzNode;
class KDuzSurfaceLambert;

// The faces of one mesh while it is read: points (SDK axes) and face
// records of 3 or 4 0-based point indices with a colour number.
struct DxfFaceAccumulator {
    struct Face {
        int colour = 0;
        int count = 0;
        int index[4] = {0, 0, 0, 0};
    };
    std::vector<KgeTVector> points;
    std::vector<Face> faces;
    bool usesMaterials = false;
    // Welding: with `indexed`, points by grid cell, chained through `next`.
    bool indexed = false;
    std::unordered_map<uint64_t, int> cells;
    std::vector<int> next;

    // The index of a point equal to p within 1e-6 per coordinate (the
    // first one added), or of p appended.
    int AddWelded(const KgeTVector& p);
    // Appends p (as a point others may be welded to) and returns its index.
    int Append(const KgeTVector& p);
};

class KDuzReaderDxf : public KDuzReader {
public:
    explicit KDuzReaderDxf(KDuzSdkManager* manager);
    ~KDuzReaderDxf() override;

    bool FileOpen(const char* fileName) override;
    bool FileClose() override;
    bool IsFileOpen() override { return mFile != nullptr; }
    KDuzStreamOptions* GetReadOptions(bool parseFileAsNeeded) override;
    bool Read(KDuzScene* scene, KDuzStreamOptions* options) override;

    // Sets red, green and blue of the colour for a DXF colour number from 1
    // to 255; other numbers leave it unchanged.
    static void ColorIndexToRgb(int n, double rgb[3]);

private:
    struct Placement {
        double insertion[3] = {0.0, 0.0, 0.0};
        double scale[3] = {1.0, 1.0, 1.0};
        double base[3] = {0.0, 0.0, 0.0};
        double rotation = 0.0;
    };
    enum class Target { eLayer, eEntity, eBlock };

    bool LoadFile();
    bool ReadGroupPair(int& code, std::string_view& value);
    bool ReadLine(std::string_view& line);
    bool ReadLayerTable();
    bool ReadEntities(Target target, KDuzNode* parent, DxfFaceAccumulator* block, KDuzNode* blockNode,
                      bool referencesToParent, bool& met);
    bool ReadEntitiesByLayer(KDuzNode* parent);
    bool ReadPolyline(DxfFaceAccumulator& faces, bool& any);
    bool ReadVertex(DxfFaceAccumulator& faces, int base, int colour, int layerColour, bool& more);
    bool Read3DFace(DxfFaceAccumulator* faces, bool weld, KDuzMesh** mesh, bool& any);
    bool ReadInsert(KDuzNode* parent);
    bool FindBlock(const std::string& name, size_t& position);
    void IndexBlocks();
    bool ReadBlockBasePoint(double base[3]);
    bool ReadBlock(KDuzNode* parent, const char* name, const Placement& placement, bool referencesToParent,
                   size_t blockKey);
    KDuzMesh* BuildMesh(const DxfFaceAccumulator& faces);
    KDuzSurfaceLambert* MaterialOfColour(int n);
    int LayerColour(const std::string& layer) const;
    int ResolveColour(int colour, const std::string& layer) const;
    KDuzNode* CreateNamedNode(const char* name);
    bool Fail(const char* text);

    FILE* mFile = nullptr;
    KString mPath;
    KNumberRenamingStrategy mRenamer;
    int mMaterialCounter = 0;
    int mDerivation = 0;
    bool mWeld = false;
    bool mReferenceNode = false;
    std::array<KDuzSurfaceLambert*, 256> mMaterials{};
    std::map<std::string, int> mLayers;

    // The whole file and the read position in it.
    std::vector<char> mText;
    size_t mPos = 0;
    bool mCorrupt = false;

    // Blocks: the section's position, each block's entities by name, the
    // blocks being read (a block holding a reference to itself is read
    // once) and the work left for reading references.
    size_t mBlocksPosition = 0;
    bool mBlocksIndexed = false;
    std::unordered_map<std::string, size_t> mBlockIndex;
    std::vector<size_t> mActiveBlocks;
    int64_t mReferenceBudget = 0;
    bool mBudgetMessage = false;
};

}  // namespace duzsdk
