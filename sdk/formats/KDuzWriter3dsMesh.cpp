// Mesh records, material records, texture maps and texture files of the
// 3DS writer.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "sdk/base/KPath.h"
#include "sdk/base/KgeMath.h"
#include "sdk/formats/3dsftk/FtkDatabase.h"
#include "sdk/formats/3dsftk/FtkKfHierarchy.h"
#include "sdk/formats/3dsftk/FtkMaterial.h"
#include "sdk/formats/3dsftk/FtkTriMesh.h"
#include "sdk/formats/KDuzWriter3ds.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzProperty.h"

namespace duzsdk {

namespace {

constexpr int kDiffuse = 3;

// The triangles of an n-gon, alternating between the low and the high end
// of the polygon: (0,1,2), (2,3,0), (0,3,n-1), (3,4,n-1), (n-1,4,n-2), ...
template <typename Emit>
void TriangulatePolygon(int n, Emit emit) {
    if (n < 3) return;
    emit(0, 1, 2);
    if (n < 4) return;
    emit(2, 3, 0);
    int low = 3;
    int high = n;  // vertex 0, counted from the top
    bool highStep = true;
    for (int made = 2; made < n - 2; ++made) {
        if (highStep) {
            emit(high % n, low, high - 1);
            --high;
        } else {
            emit(low, low + 1, high);
            ++low;
        }
        highStep = !highStep;
    }
}

// Entry of an element for a position: the index array's entry when the
// element refers through it, the position itself otherwise; -1 outside.
int ElementEntry(const KDuzLayerElement* element, int position) {
    if (element == nullptr || position < 0) return -1;
    if (element->GetReferenceMode() == KDuzLayerElement::eDirect) return position;
    const KTypedArray<int>& indices = element->GetIndexArray();
    return position < indices.Count() ? indices[position] : -1;
}

// Through a peek: a material written makes no handles.
bool ReadDoubles(const KDuzObject* object, const char* name, double* out, int count) {
    return object->PeekPropertyValue(name, out, count == 3 ? eValueKindDouble3 : eValueKindDouble);
}

FtkColorF ToColor(const double rgb[3], double factor) {
    return FtkColorF{static_cast<float>(rgb[0] * factor), static_cast<float>(rgb[1] * factor),
                     static_cast<float>(rgb[2] * factor)};
}

}  // namespace

// ---- meshes --------------------------------------------------------------------------

FtkTriMesh* KDuzWriter3DS::WriteMesh(KDuzMesh* mesh, const double translation[3], const double rotation[3],
                                     const double scaling[3], const char* nodeName) {
    if (mesh == nullptr) return nullptr;
    const int polygonCount = mesh->GetPolygonCount();
    const int pointCount = mesh->GetControlPointsCount();
    if (polygonCount == 0 || pointCount == 0) return nullptr;
    const KgeTVector* points = mesh->GetControlPoints();
    const KDuzLayer* layer0 = mesh->GetLayer(0);

    const bool textured = mTexture && mesh->GetTextureCount(0, kDiffuse) > 0;
    const KDuzLayerElementUV* uvElement = layer0 != nullptr ? layer0->GetUVsOfType(kDiffuse) : nullptr;
    const int uvMode = textured && uvElement != nullptr ? uvElement->GetMappingMode() : KDuzLayerElement::eNone;
    // One vertex per polygon corner keeps every corner's UV; the scene's
    // mesh is left as it is.
    const bool splitCorners = uvMode == KDuzLayerElement::eByPolygonVertex && mTexUVByPoly;

    const KDuzLayerElementNormal* normalElement = layer0 != nullptr ? layer0->GetNormals() : nullptr;
    const KgeTVector* normals = normalElement != nullptr && normalElement->GetDirectArray().Count() >= pointCount
                                    ? normalElement->GetDirectArray().Data()
                                    : nullptr;

    long long faceTotal = 0;
    for (int p = 0; p < polygonCount; ++p) faceTotal += std::max(0, mesh->GetPolygonSize(p) - 2);
    const long long vertexTotal = splitCorners ? mesh->GetPolygonVertexCount() : pointCount;
    if (faceTotal > kMaxMeshCount || vertexTotal > kMaxMeshCount) {
        // 3DS counts and indices are 16-bit: larger meshes would wrap them.
        mRefused = true;
        std::string text = "Mesh \"" + std::string(nodeName != nullptr ? nodeName : "") + "\" has " +
                           std::to_string(vertexTotal) + " vertices and " + std::to_string(faceTotal) +
                           " triangles; a 3DS mesh holds at most 65535 of each";
        mError.SetLastErrorWithText(eFileNotCreated, text.c_str());
        return nullptr;
    }
    ++mMeshCounter;
    const int vertexCount = static_cast<int>(vertexTotal);
    const int faceCount = static_cast<int>(faceTotal);

    FtkTriMesh* record = nullptr;
    FtkTriMeshInit(&record, static_cast<uint16_t>(vertexCount), static_cast<uint16_t>(faceCount),
                   kFtkTriSmoothGroups | (textured ? kFtkTriTexVerts : 0u));
    if (record == nullptr) return nullptr;
    if (record->vertices == nullptr || (faceCount > 0 && record->faces == nullptr) ||
        (faceCount > 0 && record->smoothGroups == nullptr)) {
        FtkTriMeshRelease(&record);
        return nullptr;
    }
    FtkCopyName(record->name, sizeof record->name, nodeName != nullptr ? nodeName : "");

    double zt[3], zr[3], zs[3], local[16];
    ToZUpPoint(translation, zt);
    ToZUpRotation(rotation, zr);
    ToZUpScale(scaling, zs);
    KgeMatrixComposeTRS(local, zt, zr, zs);
    static const int kAffine[12] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14};
    for (int i = 0; i < 12; ++i) record->meshMatrix[i] = static_cast<float>(local[kAffine[i]]);

    // Vertices through the node's own transform, then to Z-up.
    double m[16];
    KgeMatrixComposeTRS(m, translation, rotation, scaling);
    std::vector<int> sourcePoint(vertexCount);
    if (splitCorners) {
        int corner = 0;
        for (int p = 0; p < polygonCount; ++p)
            for (int k = 0; k < mesh->GetPolygonSize(p); ++k) sourcePoint[corner++] = mesh->GetPolygonVertex(p, k);
    } else {
        for (int i = 0; i < vertexCount; ++i) sourcePoint[i] = i;
    }
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    std::vector<double> planar(textured && uvMode == KDuzLayerElement::eAllSame ? 2 * vertexCount : 0);
    for (int i = 0; i < vertexCount; ++i) {
        const int source = sourcePoint[i];
        double x = 0, y = 0, z = 0;
        if (source >= 0 && source < pointCount) {
            const KgeTVector& p = points[source];
            x = p[0] * m[0] + p[1] * m[4] + p[2] * m[8] + m[12];
            y = p[0] * m[1] + p[1] * m[5] + p[2] * m[9] + m[13];
            z = p[0] * m[2] + p[1] * m[6] + p[2] * m[10] + m[14];
        }
        record->vertices[i] = {static_cast<float>(x), static_cast<float>(-z), static_cast<float>(y)};
        if (!planar.empty()) {
            planar[2 * i] = x;
            planar[2 * i + 1] = y;
            if (i == 0 || x < minX) minX = x;
            if (i == 0 || x > maxX) maxX = x;
            if (i == 0 || y < minY) minY = y;
            if (i == 0 || y > maxY) maxY = y;
        }
    }
    if (textured && record->texVerts != nullptr) {
        const KgeUVVectorArray* uvs = uvElement != nullptr ? &uvElement->GetDirectArray() : nullptr;
        for (int i = 0; i < vertexCount; ++i) {
            FtkTexVert& t = record->texVerts[i];
            t = FtkTexVert{0.0f, 0.0f};
            if (uvMode == KDuzLayerElement::eByControlPoint && uvs != nullptr) {
                const int entry = ElementEntry(uvElement, i);
                if (entry >= 0 && entry < uvs->Count())
                    t = FtkTexVert{static_cast<float>((*uvs)[entry].mU), static_cast<float>((*uvs)[entry].mV)};
            } else if (uvMode == KDuzLayerElement::eAllSame) {
                // A flat extent has no span to divide by: its coordinate is 0.
                const double spanX = maxX - minX, spanY = maxY - minY;
                t.u = spanX != 0.0 ? static_cast<float>((planar[2 * i] - minX) / spanX) : 0.0f;
                t.v = spanY != 0.0 ? static_cast<float>((planar[2 * i + 1] - minY) / spanY) : 0.0f;
            }
        }
    }

    // Materials: a textured mesh without one gets a grey "Default".
    const int materialCount = mesh->GetMaterialCount(0);
    const bool defaultMaterial = mMaterial && materialCount == 0 && textured;
    const bool materials = mMaterial && (materialCount > 0 || defaultMaterial);
    const KDuzLayerElement* materialElement = layer0 != nullptr ? layer0->GetMaterials() : nullptr;
    const int textureCount = textured ? mesh->GetTextureCount(0, kDiffuse) : 0;
    const KDuzLayerElement* texture0 = textured && layer0 != nullptr ? layer0->GetTexturesOfType(kDiffuse) : nullptr;
    const KDuzLayer* layer1 = mesh->GetLayerCount() > 1 ? mesh->GetLayer(1) : nullptr;
    const KDuzLayerElement* texture1 =
        textured && textureCount > 1 && layer1 != nullptr ? layer1->GetTexturesOfType(kDiffuse) : nullptr;
    const bool twoLayers = texture0 != nullptr && texture1 != nullptr;
    const int none = textureCount;
    std::map<long long, std::vector<uint16_t>> groups;

    int face = 0;
    uint32_t flatGroup = 4;
    const KgeUVVectorArray* cornerUvs = uvElement != nullptr ? &uvElement->GetDirectArray() : nullptr;
    int cornerBase = 0;
    for (int p = 0; p < polygonCount; ++p) {
        const int size = mesh->GetPolygonSize(p);
        const int firstPoint = mesh->GetPolygonVertex(p, 0);
        if (textured && uvMode == KDuzLayerElement::eByPolygonVertex && record->texVerts != nullptr &&
            cornerUvs != nullptr) {
            for (int k = 0; k < size; ++k) {
                const int uvIndex = mesh->GetTextureUVIndex(p, k);
                const int vertex = splitCorners ? cornerBase + k : mesh->GetPolygonVertex(p, k);
                if (vertex < 0 || vertex >= vertexCount || uvIndex < 0 || uvIndex >= cornerUvs->Count()) continue;
                record->texVerts[vertex] =
                    FtkTexVert{static_cast<float>((*cornerUvs)[uvIndex].mU), static_cast<float>((*cornerUvs)[uvIndex].mV)};
            }
        }
        long long cell = 0;
        if (materials) {
            int material = 0;
            if (!defaultMaterial && materialElement != nullptr) {
                switch (materialElement->GetMappingMode()) {
                    case KDuzLayerElement::eAllSame: material = ElementEntry(materialElement, 0); break;
                    case KDuzLayerElement::eByPolygon: material = ElementEntry(materialElement, p); break;
                    case KDuzLayerElement::eByPolygonVertex: material = ElementEntry(materialElement, firstPoint); break;
                    default: material = 0; break;
                }
            }
            // An index that names no material of the mesh takes the first.
            if (material < 0 || material >= std::max(1, materialCount)) material = 0;
            int first = -1, second = -1;
            if (textured) {
                const int mode = texture0 != nullptr ? texture0->GetMappingMode() : KDuzLayerElement::eNone;
                if (mode == KDuzLayerElement::eAllSame) {
                    first = ElementEntry(texture0, 0);
                    second = ElementEntry(texture1, 0);
                } else if (mode == KDuzLayerElement::eByPolygon) {
                    if (twoLayers) {
                        first = ElementEntry(texture1, p);
                        second = ElementEntry(texture0, p);
                    } else {
                        first = ElementEntry(texture0, p);
                    }
                } else {
                    first = ElementEntry(texture0, firstPoint);
                    second = ElementEntry(texture1, firstPoint);
                }
                const bool firstValid = first >= 0 && first < textureCount;
                const bool secondValid = second >= 0 && second < textureCount;
                if (!firstValid && secondValid) {
                    first = second;
                    second = none;
                }
                if (!(first >= 0 && first < textureCount)) first = none;
                if (!(second >= 0 && second < textureCount)) second = none;
            } else {
                first = second = none;
            }
            cell = (static_cast<long long>(material) * (none + 1) + first) * (none + 1) + second;
        }
        TriangulatePolygon(size, [&](int a, int b, int c) {
            const int ia = splitCorners ? cornerBase + a : mesh->GetPolygonVertex(p, a);
            const int ib = splitCorners ? cornerBase + b : mesh->GetPolygonVertex(p, b);
            const int ic = splitCorners ? cornerBase + c : mesh->GetPolygonVertex(p, c);
            FtkFace& f = record->faces[face];
            auto clamp = [&](int v) { return static_cast<uint16_t>(v >= 0 && v < vertexCount ? v : 0); };
            f = FtkFace{clamp(ia), clamp(ib), clamp(ic), 7};
            uint32_t group = 1;
            const int pa = sourcePoint[f.v1], pb = sourcePoint[f.v2], pc = sourcePoint[f.v3];
            if (normals != nullptr && pa >= 0 && pb >= 0 && pc >= 0 && pa < pointCount && pb < pointCount &&
                pc < pointCount) {
                const KgeTVector &A = points[pa], &B = points[pb], &C = points[pc];
                const double u[3] = {C[0] - B[0], C[1] - B[1], C[2] - B[2]};
                const double v[3] = {A[0] - B[0], A[1] - B[1], A[2] - B[2]};
                double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
                const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                if (length > 0.0) {
                    for (double& x : n) x /= length;
                    bool flat = true;
                    for (int corner : {pa, pb, pc})
                        for (int k = 0; k < 3; ++k)
                            if (std::fabs(normals[corner][k] - n[k]) > 1e-6) flat = false;
                    if (flat) {
                        group = flatGroup;
                        // After 2^30 the groups start again at 4, apart from the smooth group 1.
                        flatGroup = flatGroup == (1u << 30) ? 4u : flatGroup << 2;
                    }
                }
            }
            record->smoothGroups[face] = group;
            if (materials) groups[cell].push_back(static_cast<uint16_t>(face));
            ++face;
        });
        cornerBase += std::max(0, size);
    }

    if (materials && !groups.empty()) {
        record->matGroupCount = static_cast<uint16_t>(groups.size());
        FtkTriMeshAllocArrays(record, kFtkTriMatGroups);
        uint16_t g = 0;
        for (const auto& [cell, faces] : groups) {
            const int second = static_cast<int>(cell % (none + 1));
            const int first = static_cast<int>((cell / (none + 1)) % (none + 1));
            const int material = static_cast<int>(cell / (none + 1) / (none + 1));
            FtkTriMeshSetGroupFaces(record, g, static_cast<uint16_t>(faces.size()));
            record->matGroups[g].faceCount = static_cast<uint16_t>(faces.size());
            FtkMaterial* entry =
                WriteMaterial(mesh, defaultMaterial ? -1 : material, first == none ? -1 : first, second == none ? -1 : second);
            if (entry != nullptr) {
                FtkCopyName(record->matGroups[g].name, 16, entry->name);
                FtkMaterialPut(mDatabase, entry);
                FtkMaterialRelease(&entry);
            }
            if (record->matGroups[g].faces != nullptr)
                std::copy(faces.begin(), faces.end(), record->matGroups[g].faces);
            else
                record->matGroups[g].faceCount = 0;
            ++g;
        }
    }
    record->fast = 1;
    return record;
}

// ---- materials -----------------------------------------------------------------------

FtkMaterial* KDuzWriter3DS::WriteMaterial(KDuzMesh* mesh, int m, int t1, int t2) {
    KDuzSurfaceMaterial* material = mesh != nullptr && m >= 0 ? mesh->GetMaterial(m, 0) : nullptr;
    const int textureCount = mesh != nullptr ? mesh->GetTextureCount(0, kDiffuse) : 0;
    KDuzTexture* texture1 = mesh != nullptr && t1 >= 0 && t1 < textureCount ? mesh->GetTexture(t1, 0, kDiffuse) : nullptr;
    KDuzTexture* texture2 = mesh != nullptr && t2 >= 0 && t2 < textureCount ? mesh->GetTexture(t2, 0, kDiffuse) : nullptr;
    auto usable = [](const KDuzTexture* t) {
        return t != nullptr && t->GetMappingType() == KDuzTexture::eMappingUV && t->GetTextureUse() == 0;
    };
    if (!usable(texture2)) texture2 = nullptr;
    if (!usable(texture1)) {
        texture1 = texture2;
        t1 = t2;
        texture2 = nullptr;
    }
    if (texture1 != nullptr && texture1->GetFileName()[0] == '\0') texture1 = nullptr;
    if (texture2 != nullptr && texture2->GetFileName()[0] == '\0') texture2 = nullptr;
    if (texture1 != nullptr) CopyTextureFile(texture1->GetFileName());
    if (texture2 != nullptr) CopyTextureFile(texture2->GetFileName());

    FtkMaterial* record = nullptr;
    FtkMaterialInit(&record);
    if (record == nullptr) return nullptr;

    if (material != nullptr) {
        const bool lambert = dynamic_cast<KDuzSurfaceLambert*>(material) != nullptr;
        const bool phong = dynamic_cast<KDuzSurfacePhong*>(material) != nullptr;
        double colour[3], factor = 1.0;
        if (ReadDoubles(material, "AmbientColor", colour, 3)) {
            factor = 1.0;
            ReadDoubles(material, "AmbientFactor", &factor, 1);
            record->ambient = ToColor(colour, factor);
        }
        if (ReadDoubles(material, "DiffuseColor", colour, 3)) {
            factor = 1.0;
            ReadDoubles(material, "DiffuseFactor", &factor, 1);
            record->diffuse = ToColor(colour, factor);
        }
        if (phong || !lambert) {
            if (ReadDoubles(material, "SpecularColor", colour, 3)) record->specular = ToColor(colour, 1.0);
            if (ReadDoubles(material, "SpecularFactor", &factor, 1))
                record->shinStrength = static_cast<float>(factor * 0.75);
            double exponent = 0.0;
            if (ReadDoubles(material, "ShininessExponent", &exponent, 1)) {
                // The inverse of the reader's exponent 2^(10 min(2s, 1)), so a
                // round trip keeps the value: s = log2(exponent) / 20, which
                // tops out at 0.5 for the reader's largest exponent, 1024.
                double shininess = exponent > 0.0 ? std::log2(exponent) / 20.0 : 0.0;
                record->shininess = static_cast<float>(std::clamp(shininess, 0.0, 0.5));
            }
        }
        // Mean of a colour times its factor, either alone where the other is missing.
        auto meanTimesFactor = [&](const char* colourName, const char* factorName, float& out) {
            double c[3], f = 1.0;
            const bool hasColour = ReadDoubles(material, colourName, c, 3);
            const bool hasFactor = ReadDoubles(material, factorName, &f, 1);
            if (hasColour) out = static_cast<float>((c[0] + c[1] + c[2]) / 3.0 * (hasFactor ? f : 1.0));
            else if (hasFactor) out = static_cast<float>(f);
        };
        meanTimesFactor("EmissiveColor", "EmissiveFactor", record->selfIllumPct);
        meanTimesFactor("TransparentColor", "TransparencyFactor", record->transparency);
    } else if (m < 0) {
        record->ambient = record->diffuse = FtkColorF{0.588f, 0.588f, 0.588f};
    }
    record->shading = 3;
    record->twoSided = 1;

    const std::string counter = std::to_string(mMeshCounter);
    std::string name;
    if (texture1 != nullptr && texture2 != nullptr) {
        name = counter + ".Mat" + std::to_string(m) + "T" + std::to_string(t1) + "T" + std::to_string(t2);
        if (name.size() >= 15) name.clear();
    } else if (texture1 != nullptr) {
        name = counter + ".Mat" + std::to_string(m) + "Tex" + std::to_string(t1);
        if (name.size() >= 15) name.clear();
    } else {
        name = material != nullptr ? material->GetName() : "Default";
        if (name.size() > 15) name.resize(15);
    }
    FtkCopyName(record->name, 16, name.c_str());

    auto fillMap = [&](FtkTextureMap& map, KDuzTexture* texture, int index, bool second) {
        const std::string fileName = texture->GetFileName();
        std::string stored;
        if (fileName.size() <= 11) {
            stored = fileName;
        } else {
            const KString part = KPathGetFileName(fileName.c_str(), true);
            if (part.GetLength() <= 12) {
                stored = part.Buffer();
            } else {
                stored = "Tex" + std::to_string(index);
                std::string message = "Texture name file: \"" + std::string(part.Buffer()) +
                                      "\" is too long.\nChange manually texture name: \"Tex" + std::to_string(index) +
                                      "\" in material \"" + record->name + "\" by \"" + fileName +
                                      "\" for proper work\n\n";
                mMessageText += message.c_str();
            }
        }
        FtkCopyName(map.name, 13, stored.c_str());
        if (second) {
            double alpha = texture->GetDefaultAlpha();
            if (texture->GetBlendMode() == 1) alpha *= 0.5;
            map.percent = static_cast<float>(alpha);
        } else {
            map.percent = 1.0f;
        }
        map.tiling = texture->GetWrapModeU() == 0 ? 1 : 2;
        const double sU = texture->GetScaleU(), sV = texture->GetScaleV();
        map.uScale = static_cast<float>(sU);
        map.vScale = static_cast<float>(sV);
        // A scaling of 0 has no offset to divide out: it counts as 1.
        const double divU = sU != 0.0 ? sU : 1.0, divV = sV != 0.0 ? sV : 1.0;
        const double tU = texture->GetTranslationU(), tV = texture->GetTranslationV();
        const double w = texture->GetRotationW();
        if (w == 0.0) {
            map.uOffset = static_cast<float>(-(tU / divU) - (1.0 - 1.0 / divU) * 0.5);
            map.vOffset = static_cast<float>(tV / divV + (1.0 - 1.0 / divV) * 0.5);
        } else {
            double rotationMatrix[16];
            KgeMatrixComposeTRS(rotationMatrix, std::array<double, 3>{0, 0, 0}.data(),
                                std::array<double, 3>{0, 0, -w}.data(), std::array<double, 3>{1, 1, 1}.data());
            double point[3] = {-(tU - 0.5) / divU, -(tV - 0.5) / divV, 0.0};
            KgeMatrixTransformPoint(point, rotationMatrix, point);
            map.uOffset = static_cast<float>(point[0] - 0.5);
            map.vOffset = static_cast<float>(-(point[1] - 0.5));
            map.rotation = static_cast<float>(-w);
        }
    };
    if (texture1 != nullptr) fillMap(record->texture, texture1, t1, false);
    if (texture2 != nullptr) fillMap(record->texture2, texture2, t2, true);
    return record;
}

bool KDuzWriter3DS::CopyTextureFile(const char* path) {
    if (path == nullptr || path[0] == '\0') return false;
    const KString destination = KPathJoin(KPathGetDirectory(mFileName.c_str()), KPathGetFileName(path, true));
    if (KPathFileExists(destination)) return true;
    return CopyTextureFileTo(path, destination.Buffer());
}

}  // namespace duzsdk
