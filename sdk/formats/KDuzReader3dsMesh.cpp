// Materials, textures and triangle meshes of the 3DS reader.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "sdk/base/KgeMath.h"
#include "sdk/formats/3dsftk/FtkMaterial.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"
#include "sdk/formats/KDuzReader3ds.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"

namespace duzsdk {

namespace {

constexpr int kDiffuse = 3;

template <size_t N>
std::string Name(const char (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

// Through the material's values: a material read makes no handles.
void SetColor(KDuzSurfaceMaterial* material, EDuzMaterialProperty id, const FtkColorF& c) {
    material->SetBuiltInDouble3(id, duzVectorTemplate3<double>(c.r, c.g, c.b));
}

}  // namespace

KDuzTexture* KDuzReader3DS::ReadTexture(const FtkMaterial& material, int materialIndex, bool second) {
    const FtkTextureMap& map = second ? material.texture2 : material.texture;
    const std::string file = Name(map.name);
    if (file.empty()) return nullptr;
    std::string name = file;
    if (mTextureNames.count(name) != 0) name = file + "-" + std::to_string(materialIndex);
    KDuzTexture* texture = KDuzTexture::Create(mManager, name.c_str());
    if (texture == nullptr) {
        mMessageText += (std::string("Unable to load texture file: ") + file + " .\n").c_str();
        return nullptr;
    }
    mTextureNames.insert(name);
    texture->SetFileName(file.c_str());
    texture->SetDefaultAlpha(map.percent);
    texture->SetMaterialMode(map.percent >= 1.0f ? 1 : 0);
    texture->SetBlendMode(0);
    const int wrap = map.tiling == 1 ? 0 : 1;
    texture->SetWrapMode(wrap, wrap);
    const double us = map.uScale;
    const double vs = map.vScale;
    const double uo = map.uOffset;
    const double vo = map.vOffset;
    texture->SetScale(us, vs);
    const double r = map.rotation;
    if (r == 0.0) {
        // A scale of 0 gives no finite placement: the offsets alone stay.
        const double u = us != 0.0 ? -us * ((1.0 - 1.0 / us) * 0.5 + uo) : -uo;
        const double v = vs != 0.0 ? -vs * ((1.0 - 1.0 / vs) * 0.5 - vo) : vo;
        texture->SetTranslation(u, v);
    } else {
        const double x = -us * (uo + 0.5);
        const double y = -vs * (0.5 - vo);
        const double a = -r * M_PI / 180.0;
        texture->SetTranslation(x * std::cos(a) - y * std::sin(a) + 0.5, x * std::sin(a) + y * std::cos(a) + 0.5);
        texture->SetRotation(0.0, 0.0, -r);
    }
    return texture;
}

bool KDuzReader3DS::ReadMaterials() {
    // The names of the textures the manager holds, taken once: a look-up
    // per texture would walk every object of the manager each time.
    mTextureNames.clear();
    const KClassId textureClass = KDuzTexture::ClassId();
    for (int i = 0, n = mManager->GetObjectCount(textureClass); i < n; ++i) {
        if (KDuzObject* object = mManager->GetObject(textureClass, i)) mTextureNames.insert(object->GetName());
    }
    for (size_t i = 0; i < mMaterialRecords.size(); ++i) {
        const FtkMaterial& record = *mMaterialRecords[i];
        const std::string name = Name(record.name);
        mMaterialRecordByName.try_emplace(name, static_cast<int>(i));
        KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(mManager, name.c_str());
        if (phong == nullptr) return false;
        mMaterialsByName.try_emplace(name, phong);
        if (mTexture) {
            TexturePair pair;
            pair.first = ReadTexture(record, static_cast<int>(i), false);
            pair.second = ReadTexture(record, static_cast<int>(i), true);
            mTextureMap[name] = pair;
        }
        SetColor(phong, eMaterialAmbientColor, record.ambient);
        phong->SetBuiltInDouble(eMaterialAmbientFactor, 1.0);
        SetColor(phong, eMaterialDiffuseColor, record.diffuse);
        phong->SetBuiltInDouble(eMaterialDiffuseFactor, 1.0);
        SetColor(phong, eMaterialSpecularColor, record.specular);
        phong->SetBuiltInDouble(eMaterialSpecularFactor, record.shinStrength / 0.75);
        phong->SetBuiltInDouble(eMaterialShininessExponent,
                  std::pow(2.0, 10.0 * std::min(2.0 * static_cast<double>(record.shininess), 1.0)));
        if (record.selfIllumPct != 0.0f) {
            SetColor(phong, eMaterialEmissiveColor, record.diffuse);
            phong->SetBuiltInDouble(eMaterialEmissiveFactor, record.selfIllumPct);
        }
        phong->SetBuiltInDouble(eMaterialTransparencyFactor, record.transparency);
        SetColor(phong, eMaterialTransparentColor, FtkColorF{1.0f, 1.0f, 1.0f});
    }
    return true;
}

bool KDuzReader3DS::BuildMesh(const FtkTriMesh& record, KDuzMesh* mesh) {
    const int vertexCount = record.vertexCount;
    const int faceCount = record.faceCount;
    if (record.vertices == nullptr || record.faces == nullptr) return true;
    // Texture vertices are used only when there is one per vertex.
    const bool uvs = record.texVerts != nullptr && record.texVertCount >= record.vertexCount;

    // Control points split by smoothing groups. Entry v stands for vertex v;
    // further entries are appended. Per vertex the entries with a non-zero
    // mask are chained (at most 32 of them: a new one shares no bit with the
    // earlier ones); a face with word 0 gets entries of its own.
    struct Entry {
        int vertex;
        uint32_t mask;
        int next;   // next entry of the same vertex with a non-zero mask
    };
    const bool split = mSmoothGroups && record.smoothGroups != nullptr;
    std::vector<Entry> entries;
    std::vector<int> firstEntry;    // per vertex: first non-zero-mask entry, -1
    std::vector<int> cornerEntry;   // per face corner of a face with word 0
    if (split) {
        entries.assign(static_cast<size_t>(vertexCount), Entry{-1, 0, -1});
        firstEntry.assign(static_cast<size_t>(vertexCount), -1);
        cornerEntry.assign(static_cast<size_t>(faceCount) * 3, -1);
        for (int f = 0; f < faceCount; ++f) {
            const FtkFace& face = record.faces[f];
            const uint16_t corners[3] = {face.v1, face.v2, face.v3};
            const uint32_t s = record.smoothGroups[f];
            for (int c = 0; c < 3; ++c) {
                const int v = corners[c];
                if (v >= vertexCount) continue;
                Entry& own = entries[static_cast<size_t>(v)];
                int chosen = -1;
                if (own.vertex < 0) {
                    own = Entry{v, s, -1};
                    chosen = v;
                    if (s != 0) firstEntry[static_cast<size_t>(v)] = v;
                } else if (s != 0) {
                    int last = -1;
                    for (int e = firstEntry[static_cast<size_t>(v)]; e >= 0; e = entries[static_cast<size_t>(e)].next) {
                        last = e;
                        if ((entries[static_cast<size_t>(e)].mask & s) != 0) {
                            entries[static_cast<size_t>(e)].mask |= s;
                            chosen = e;
                            break;
                        }
                    }
                    if (chosen < 0) {
                        chosen = static_cast<int>(entries.size());
                        entries.push_back(Entry{v, s, -1});
                        if (last >= 0) entries[static_cast<size_t>(last)].next = chosen;
                        else firstEntry[static_cast<size_t>(v)] = chosen;
                    }
                } else {
                    chosen = static_cast<int>(entries.size());
                    entries.push_back(Entry{v, 0, -1});
                }
                if (s == 0) cornerEntry[static_cast<size_t>(f) * 3 + static_cast<size_t>(c)] = chosen;
            }
        }
    }
    const int pointCount = split ? static_cast<int>(entries.size()) : vertexCount;
    if (!mesh->InitControlPoints(pointCount) || !mesh->InitNormals()) return false;
    mesh->InitMaterialIndices(3);
    mesh->InitTextureIndices(3);
    mesh->InitTextureUVIndices(2, kDiffuse);
    KDuzLayer* layer0 = mesh->GetLayer(0);
    if (layer0 == nullptr) return false;
    KDuzLayerElementUV* uvElement = layer0->GetUVsOfType(kDiffuse);
    if (uvElement == nullptr) return false;
    uvElement->GetDirectArray().SetCount(vertexCount);

    // The mesh matrix takes the stored (world) points into the object's space.
    double matrix[16] = {};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 3; ++col) matrix[row * 4 + col] = record.meshMatrix[row * 3 + col];
    }
    matrix[15] = 1.0;
    const double det = matrix[0] * (matrix[5] * matrix[10] - matrix[6] * matrix[9]) -
                       matrix[1] * (matrix[4] * matrix[10] - matrix[6] * matrix[8]) +
                       matrix[2] * (matrix[4] * matrix[9] - matrix[5] * matrix[8]);
    if (!(std::fabs(det) >= 1e-6)) {
        std::fill(matrix, matrix + 16, 0.0);
        matrix[0] = matrix[5] = matrix[10] = matrix[15] = 1.0;
    }
    double inverse[16] = {};
    KgeMatrixInverseOrthogonal(inverse, matrix);
    inverse[3] = inverse[7] = inverse[11] = 0.0;
    inverse[15] = 1.0;

    // Material groups: per face (material, texture 1, texture 2).
    std::vector<int> faceMaterial(static_cast<size_t>(faceCount), 0);
    std::vector<int> faceA(static_cast<size_t>(faceCount), 0);
    std::vector<int> faceB(static_cast<size_t>(faceCount), 0);
    bool twoTextures = false;
    for (int g = 0; g < record.matGroupCount && record.matGroups != nullptr; ++g) {
        const FtkMatGroup& group = record.matGroups[g];
        const std::string name = Name(group.name);
        // The materials of this import: one of an earlier import into the
        // same manager is not this file's.
        const auto found = mMaterialsByName.find(name);
        if (found == mMaterialsByName.end() || !mMaterial) continue;
        KDuzSurfaceMaterial* material = found->second;
        const int materialIndex = mesh->AddMaterial(material);
        int a = 0;
        int b = 0;
        const auto recordIndex = mMaterialRecordByName.find(name);
        if (uvs && mTexture && recordIndex != mMaterialRecordByName.end() &&
            mMaterialRecords[static_cast<size_t>(recordIndex->second)]->texture.name[0] != '\0') {
            const auto pair = mTextureMap.find(name);
            if (pair != mTextureMap.end()) {
                if (pair->second.first != nullptr) a = mesh->AddTexture(pair->second.first, 0, kDiffuse);
                if (pair->second.second != nullptr) {
                    b = mesh->AddTexture(pair->second.second, 0, kDiffuse);
                    twoTextures = true;
                }
            }
        }
        for (int k = 0; k < group.faceCount && group.faces != nullptr; ++k) {
            const int f = group.faces[k];
            // The toolkit checks group faces; a record made elsewhere may not be.
            if (f >= faceCount) continue;
            faceMaterial[static_cast<size_t>(f)] = materialIndex;
            faceA[static_cast<size_t>(f)] = a;
            faceB[static_cast<size_t>(f)] = b;
        }
    }

    KDuzLayer* layer1 = nullptr;
    KDuzLayerElementMaterial* materials1 = nullptr;
    KDuzLayerElementTexture* textures1 = nullptr;
    if (twoTextures) {
        while (mesh->GetLayerCount() < 2) {
            if (mesh->CreateLayer() < 0) return false;
        }
        layer1 = mesh->GetLayer(1);
        if (layer1 == nullptr) return false;
        materials1 = layer1->GetMaterials();
        if (materials1 == nullptr) {
            materials1 = layer1->SetMaterials(KDuzCreateLayerElementMaterial(mManager, ""));
            if (materials1 == nullptr) return false;
            materials1->SetMappingMode(KDuzLayerElement::eByPolygon);
            materials1->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
        }
        if (layer0->GetMaterials() != nullptr) materials1->GetDirectArray().Untyped().AssignFrom(
            layer0->GetMaterials()->GetDirectArray().Untyped());
        if (layer1->GetUVsOfType(kDiffuse) == nullptr)
            layer1->SetUVsOfType(KDuzCreateLayerElementUV(mManager, ""), kDiffuse);
        textures1 = layer1->GetTexturesOfType(kDiffuse);
        if (textures1 == nullptr) {
            textures1 = layer1->SetTexturesOfType(kDiffuse, KDuzCreateLayerElementTexture(mManager, ""));
            if (textures1 == nullptr) return false;
            textures1->SetMappingMode(KDuzLayerElement::eByPolygon);
            textures1->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
            textures1->SetBlendMode(1);
        }
        // Layer 1 indexes the same textures as layer 0.
        if (KDuzLayerElementTexture* textures0 = layer0->GetTexturesOfType(kDiffuse))
            textures1->GetDirectArray().Untyped().AssignFrom(textures0->GetDirectArray().Untyped());
    }

    KgeTVector* points = mesh->GetControlPoints();
    KgeUVVectorArray& uvDirect = uvElement->GetDirectArray();
    const double scale = PositionScale();
    for (int f = 0; f < faceCount; ++f) {
        const FtkFace& face = record.faces[f];
        const uint16_t corners[3] = {face.v1, face.v2, face.v3};
        // A face that names a vertex past the vertex list is dropped.
        if (corners[0] >= vertexCount || corners[1] >= vertexCount || corners[2] >= vertexCount) continue;
        int material = mMaterial ? std::max(faceMaterial[static_cast<size_t>(f)], 0) : 0;
        const int a = mTexture ? std::max(faceA[static_cast<size_t>(f)], 0) : 0;
        const int b = faceB[static_cast<size_t>(f)];
        int texture0 = a;
        int texture1 = 0;
        if (mTexture && b > 0) {
            texture0 = b;
            texture1 = a;
        }
        mesh->BeginPolygon(material, texture0, -1, true);
        if (layer1 != nullptr) {
            materials1->GetIndexArray().Add(material);
            textures1->GetIndexArray().Add(texture1);
        }
        const uint32_t word = split ? record.smoothGroups[f] : 0;
        for (int c = 0; c < 3; ++c) {
            const int v = corners[c];
            const FtkVector& p = record.vertices[v];
            double local[3];
            for (int j = 0; j < 3; ++j)
                local[j] = p.x * inverse[j] + p.y * inverse[4 + j] + p.z * inverse[8 + j] + inverse[12 + j];
            const KgeTVector point(local[0] * scale, local[2] * scale, -local[1] * scale, 1.0);
            if (uvs) uvDirect[v] = KgeUVVector(record.texVerts[v].u, record.texVerts[v].v);
            int controlPoint = v;
            if (split) {
                if (word == 0) {
                    const int e = cornerEntry[static_cast<size_t>(f) * 3 + static_cast<size_t>(c)];
                    if (e >= 0) controlPoint = e;
                } else {
                    for (int e = firstEntry[static_cast<size_t>(v)]; e >= 0; e = entries[static_cast<size_t>(e)].next) {
                        if ((entries[static_cast<size_t>(e)].mask & word) != 0) {
                            controlPoint = e;
                            break;
                        }
                    }
                }
            }
            points[controlPoint] = point;
            mesh->AddPolygon(controlPoint, v);
        }
        mesh->EndPolygon();
    }
    if (layer1 != nullptr) layer1->GetUVsOfType(kDiffuse)->CopyFrom(*uvElement);

    // Normals by control point: the sum of the face normals around it.
    KgeTVector* normals = mesh->GetNormals();
    if (normals != nullptr) {
        for (int i = 0; i < pointCount; ++i) normals[i] = KgeTVector(0.0, 0.0, 0.0, 0.0);
        const int polygons = mesh->GetPolygonCount();
        for (int p = 0; p < polygons; ++p) {
            const int ia = mesh->GetPolygonVertex(p, 0);
            const int ib = mesh->GetPolygonVertex(p, 1);
            const int ic = mesh->GetPolygonVertex(p, 2);
            const KgeTVector& pa = points[ia];
            const KgeTVector& pb = points[ib];
            const KgeTVector& pc = points[ic];
            const double u[3] = {pc[0] - pb[0], pc[1] - pb[1], pc[2] - pb[2]};
            const double w[3] = {pa[0] - pb[0], pa[1] - pb[1], pa[2] - pb[2]};
            const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
            for (const int i : {ia, ib, ic}) {
                for (int k = 0; k < 3; ++k) normals[i][k] += n[k];
            }
        }
        for (int i = 0; i < pointCount; ++i) {
            const double in[3] = {normals[i][0], normals[i][1], normals[i][2]};
            double out[3];
            KgeVector3Normalize(out, in);
            normals[i] = KgeTVector(out[0], out[1], out[2], 0.0);
        }
    }
    return true;
}

}  // namespace duzsdk
