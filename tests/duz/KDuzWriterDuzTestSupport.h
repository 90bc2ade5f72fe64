// Writing scenes with the DUZ 5 writer, for its tests.
#pragma once

#include <string>

#include "KDuzWriterDuz6TestSupport.h"
#include "sdk/duz/KDuzWriterDuz.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duztest {

// Registry indices of the version 5 formats.
enum Duz5Format { kDuz5Binary = 3, kDuz5Ascii = 4 };

// The three file modes of the version 5 writer.
inline const char* Duz5ModeName(int mode) {
    return mode == duzsdk::KDuzWriterDuz::eBinary ? "binary"
           : mode == duzsdk::KDuzWriterDuz::eAscii ? "ascii"
                                                   : "enciphered";
}

class Duz5WriterTestBase : public WriterTestBase {
protected:
    // Writes the scene with a version 5 writer in the given file mode (the
    // enciphered form has no registry entry); false with the writer's error.
    bool WriteDuz5(duzsdk::KDuzScene* source, const std::string& path, int mode,
                   duzsdk::KDuzStreamOptions* options = nullptr) {
        duzsdk::KDuzWriterDuz writer(manager, nullptr);
        writer.SetFileMode(mode);
        if (!writer.FileCreate(path.c_str())) {
            lastExportError = writer.GetLastErrorString();
            return false;
        }
        const bool written = writer.Write(source, options != nullptr ? options : WriteOptions());
        lastExportError = writer.GetLastErrorString();
        return writer.FileClose() && written;
    }

    std::string Duz5Ascii(duzsdk::KDuzStreamOptions* options = nullptr) {
        const std::string path = PathOf("text5.duz");
        EXPECT_TRUE(WriteDuz5(scene, path, duzsdk::KDuzWriterDuz::eAscii, options)) << lastExportError;
        return ReadFileBytes(path);
    }

    duzsdk::KDuzScene* WriteAndRead(duzsdk::KDuzScene* source, int mode,
                                     duzsdk::KDuzStreamOptions* options = nullptr,
                                     const char* password = nullptr) {
        const std::string path = PathOf(std::string("scene5_") + Duz5ModeName(mode) + ".duz");
        if (!WriteDuz5(source, path, mode, options)) {
            ADD_FAILURE() << "write failed: " << lastExportError;
            return nullptr;
        }
        duzsdk::KDuzScene* read = Import(path, password);
        if (read == nullptr) ADD_FAILURE() << "import failed: " << lastImportError;
        return read;
    }

    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
    static int CountOf(const std::string& text, const std::string& part) {
        int count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
        return count;
    }
    // The text of the first block of the given head line, up to its closing brace.
    static std::string Block(const std::string& text, const std::string& head) {
        const size_t start = text.find(head);
        if (start == std::string::npos) return std::string();
        int depth = 0;
        for (size_t i = start; i < text.size(); ++i) {
            if (text[i] == '{') ++depth;
            if (text[i] == '}' && --depth == 0) return text.substr(start, i - start + 1);
        }
        return text.substr(start);
    }
};

// A take "Walk" of one second in which the node moves from x 1 to x 2.
inline void AddWalkTake(duzsdk::KDuzScene* scene, duzsdk::KDuzNode* node) {
    using namespace duzsdk;
    KDuzTakeNode* walk = node->CreateTakeNode("Walk");
    walk->GetTranslationXCurve()->KeySet(0, KTime(0), 1.0f, kFCurveInterpolationLinear);
    walk->GetTranslationXCurve()->KeySet(1, KTime(KTime::kTicksPerSecond), 2.0f, kFCurveInterpolationLinear);
    KDuzTakeDescription take;
    take.name = "Walk";
    take.localStop = take.referenceStop = KTime(KTime::kTicksPerSecond);
    scene->SetTakeDescription(take);
}

// A mesh with normals, UVs, a material and a texture on layer 0.
inline duzsdk::KDuzMesh* TexturedMesh(duzsdk::KDuzSdkManager* manager, duzsdk::KDuzSurfaceMaterial* material,
                                      duzsdk::KDuzTexture* texture) {
    using namespace duzsdk;
    KDuzMesh* mesh = KDuzMesh::Create(manager, "");
    mesh->InitControlPoints(4);
    for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = KgeTVector(i * 0.5, i * 1.25, -i * 2.0, 1.0);
    for (int p = 0; p < 2; ++p) {
        mesh->BeginPolygon();
        for (int i = 0; i < 3; ++i) mesh->AddPolygon(p + i);
        mesh->EndPolygon();
    }
    mesh->CreateLayer();
    KDuzLayer* layer = mesh->GetLayer(0);
    auto* normals = KDuzCreateLayerElementNormal(manager, "");
    normals->SetMappingMode(KDuzLayerElement::eByControlPoint);
    for (int i = 0; i < 4; ++i) normals->GetDirectArray().Add(KgeTVector(0, 1, 0, 0));
    layer->SetNormals(normals);
    auto* uvs = KDuzCreateLayerElementUV(manager, "");
    uvs->SetMappingMode(KDuzLayerElement::eByControlPoint);
    for (int i = 0; i < 4; ++i) uvs->GetDirectArray().Add(KgeUVVector(i * 0.25, 1 - i * 0.25));
    layer->SetUVsOfType(uvs, 3);
    auto* materials = KDuzCreateLayerElementMaterial(manager, "");
    materials->SetMappingMode(KDuzLayerElement::eAllSame);
    materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    materials->GetDirectArray().Add(material);
    materials->GetIndexArray().Add(0);
    layer->SetMaterials(materials);
    auto* textures = KDuzCreateLayerElementTexture(manager, "");
    textures->SetMappingMode(KDuzLayerElement::eAllSame);
    textures->GetDirectArray().Add(texture);
    textures->GetIndexArray().Add(0);
    layer->SetTexturesOfType(3, textures);
    return mesh;
}

}  // namespace duztest
