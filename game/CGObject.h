#pragma once

#include "game/CGShader.h"
#include "game/CGTexture.h"

#include <string>
#include <vector>

namespace duzsdk {
class KDuzMesh;
class KDuzScene;
}  // namespace duzsdk
namespace duzplatform {
class PhysicsActor;
}

// Material of one mesh part, ready for glMaterialfv. Starts at the OpenGL
// defaults so a part without materials draws like untouched GL state.
struct CGMaterial {
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;
    float emission[4] = {0.0f, 0.0f, 0.0f, 1.0f};
};

// One mesh child of a model: flat triangle arrays (three corners per
// triangle), its material and its GL objects.
struct CGPart {
    int polygonCount = 0;         // triangles (polygons are fanned into triangles)
    int polygonVertexCount = 0;   // corners drawn: 3 x polygonCount
    int controlPointCount = 0;
    int uvCount = 0;
    std::vector<float> vertices;  // x, y, z per corner, in world space
    std::vector<float> normals;   // x, y, z per corner
    std::vector<float> uvs;       // u, v per corner
    CGMaterial material;
    unsigned displayList = 0;
    unsigned vertexBuffer = 0, uvBuffer = 0, normalBuffer = 0;
};

// The game's drawable model: mesh parts from a DUZ file, per-model settings
// and physics actors.
class CGObject {
public:
    CGObject() = default;
    virtual ~CGObject() = default;
    CGObject(const CGObject&) = delete;
    CGObject& operator=(const CGObject&) = delete;

    virtual void Draw();

    // Settings directory plus copies of the texture table and shader record.
    void Bind(const std::string& settingsDirectory, const CGTexture* textures, const CGShader* shader);
    // Imports the file, reads the settings and builds the GL objects. A file
    // that does not import gives an object without parts. False then.
    bool ImportModel(const std::string& path);
    // Appends one part per mesh child of the root (direct children only).
    void AddPartsFromScene(duzsdk::KDuzScene* scene);
    // The material records of the mesh's layers; the last material wins.
    static void ReadNodeProperties(const duzsdk::KDuzMesh* mesh, CGMaterial& material);
    void ReadModelSettings();
    void SetRenderOptions(int polygonMode, bool blending, int mipmap, bool displayLists, int filter);

    // GL side (need a current context).
    void BuildVertexBuffers();
    void BuildDisplayList();
    void ApplyTextureFilter() const;
    void DrawImmediate(int part) const;

    int PartCount() const { return static_cast<int>(parts.size()); }
    // Draws parts first..last; an empty range (last < first) draws none.
    void SetPartRange(int first, int last) {
        firstPart = first;
        lastPart = last;
    }
    bool PartTextured(int part) const { return part >= 0 && part < int(textured.size()) && textured[size_t(part)]; }
    int PartTexture(int part) const { return part >= 0 && part < int(textureIds.size()) ? textureIds[size_t(part)] : 0; }
    bool PartUsesShader(int part) const {
        return part >= 0 && part < int(usesShader.size()) && usesShader[size_t(part)];
    }

    std::vector<duzplatform::PhysicsActor*> actors;
    const double* timingSource = nullptr;   // frames per second, for animated objects
    int polygonMode = 0x1B02;               // GL_FILL
    int textureFilter = 2;
    bool blending = true;
    bool displayLists = false;
    int mipmapMode = 1;
    bool useVbo = false;
    bool immediateMode = false;

    std::vector<CGPart> parts;
    // Per-part settings, appended by every settings file (the first file's
    // entries therefore apply to the parts).
    std::vector<int> textureIds;
    std::vector<bool> textured;
    std::vector<bool> usesShader;

    CGShader shader;
    std::vector<CGTexture::Tex> textureTable;
    std::string settingsDirectory;

    float translation[3] = {0, 0, 0};
    float rotationAxis[3] = {0, 0, 0};
    float rotationAngle = 0;
    std::string name;
    int firstPart = 0;
    int lastPart = -1;

protected:
    double Fps() const { return timingSource != nullptr && *timingSource > 0 ? *timingSource : 1.0; }
    int FindTexture(const std::string& textureName) const;
};
