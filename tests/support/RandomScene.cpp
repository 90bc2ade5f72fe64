#include "tests/support/RandomScene.h"

#include <cfloat>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/object/PropertyDataType.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeLimits.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzOpticalReference.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSkeleton.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duztest {
namespace {

using namespace duzsdk;

// std::mt19937's output is fixed by the standard; the distributions below
// are our own, so a seed means the same scene everywhere.
class Random {
public:
    explicit Random(uint32_t seed) : mEngine(seed) {}

    uint32_t Bits() { return static_cast<uint32_t>(mEngine()); }
    // Uniform in lo .. hi (inclusive).
    int Int(int lo, int hi) {
        const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo) + 1;
        return static_cast<int>(lo + static_cast<int64_t>(Bits() % span));
    }
    int64_t Int64(int64_t lo, int64_t hi) {
        const uint64_t span = static_cast<uint64_t>(hi - lo) + 1;
        const uint64_t high = Bits();
        const uint64_t bits = (high << 32) | Bits();
        return lo + static_cast<int64_t>(span == 0 ? bits : bits % span);
    }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    // Uniform in [0, 1) with 53 random bits.
    double Unit() {
        const uint64_t high = Bits() >> 5, low = Bits() >> 6;
        return static_cast<double>(high * 67108864u + low) / 9007199254740992.0;
    }
    double Range(double lo, double hi) { return lo + (hi - lo) * Unit(); }
    template <class T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Int(0, static_cast<int>(N) - 1)];
    }

private:
    std::mt19937 mEngine;
};

class Builder {
public:
    Builder(KDuzSdkManager& manager, KDuzScene& scene, uint32_t seed, const RandomSceneOptions& options)
        : mManager(manager), mScene(scene), mRandom(seed), mOptions(options) {}

    void Build() {
        if (mOptions.materials) {
            Materials();
            Textures();
            Videos();
        }
        Nodes();
        if (mOptions.materials) ConnectMaterials();
        Poses();
        Settings();
        if (mOptions.takes) Takes();
    }

private:
    // ---- values -----------------------------------------------------------

    // Unique per call (an index suffix), so names stay usable as file keys.
    std::string Name(const char* stem) {
        static const char* const kPieces[] = {"a", "b", "Box", "arm", "x_", "Leg", "9", " ", "-", ".", "Z"};
        static const char* const kWide[] = {"\xc3\xa9", "\xce\xa9", "\xe6\x97\xa5\xe6\x9c\xac",
                                            "\xf0\x9f\x99\x82", "\xc3\x9f"};
        std::string name = stem;
        const int pieces = mRandom.Int(0, 3);
        for (int i = 0; i < pieces; ++i)
            name += mOptions.nonAsciiNames && mRandom.Chance(30) ? mRandom.Pick(kWide) : mRandom.Pick(kPieces);
        return name + "_" + std::to_string(++mNameCounter);
    }

    double Double() {
        if (mOptions.extremeValues && mRandom.Chance(15)) {
            static const double kExtremes[] = {DBL_MAX, -DBL_MAX, DBL_MIN, -DBL_MIN, 4.9406564584124654e-324,
                                               1e300, -1e-300, -0.0, 0.0, 1e15 + 0.5};
            return mRandom.Pick(kExtremes);
        }
        return mRandom.Chance(30) ? static_cast<double>(mRandom.Int(-100, 100)) : mRandom.Range(-1000.0, 1000.0);
    }
    // Values a transform can take without the node's evaluation going wild.
    double Small() { return mRandom.Chance(30) ? 0.0 : mRandom.Range(-100.0, 100.0); }
    int Integer() {
        if (mOptions.extremeValues && mRandom.Chance(15)) {
            static const int kExtremes[] = {INT_MIN, INT_MAX, 0, -1, 1};
            return mRandom.Pick(kExtremes);
        }
        return mRandom.Int(-1000, 1000);
    }
    std::string Text() {
        if (mOptions.extremeValues && mRandom.Chance(20)) {
            if (mRandom.Chance(50)) return "";
            return std::string(static_cast<std::size_t>(mRandom.Int(300, 2000)), 'L') + "!";
        }
        static const char* const kWords[] = {"alpha", "beta", " ", ",", ":", "{}", "\\", "path/to/file.bmp",
                                             "\xc3\xa9t\xc3\xa9", "\xe6\x97\xa5"};
        std::string text;
        const int words = mRandom.Int(1, 5);
        for (int i = 0; i < words; ++i) text += mRandom.Pick(kWords);
        return text;
    }
    // Braces: the calls run left to right, so a seed means one scene whatever
    // the compiler (arguments of a call have no order).
    KgeTVector Vector(double w = 1.0) { return KgeTVector{Small(), Small(), Small(), w}; }
    duzVectorTemplate3<double> Triple() { return duzVectorTemplate3<double>{Small(), Small(), Small()}; }
    KDuzRGBAColor Color() {
        KDuzRGBAColor color;
        color.mRed = mRandom.Unit();
        color.mGreen = mRandom.Unit();
        color.mBlue = mRandom.Unit();
        color.mAlpha = mRandom.Unit();
        return color;
    }
    KgeMatrix Matrix() {
        double elements[16];
        for (double& e : elements) e = Small();
        return KgeMatrix(elements);
    }

    void Connect(KDuzObject* object) {
        if (object != nullptr) mScene.ConnectObject(object);
    }

    // ---- user properties ------------------------------------------------------

    void UserProperties(KDuzObject* owner) {
        if (!mOptions.userProperties) return;
        const int count = mRandom.Int(0, 4);
        for (int i = 0; i < count; ++i) {
            const PropertyDataTypeNameRow& row =
                kPropertyDataTypeNames[mRandom.Int(0, kPropertyDataTypeNameCount - 1)];
            const std::string name = Name("user");
            const std::string label = mRandom.Chance(50) ? Text() : std::string();
            KDuzProperty property = KDuzProperty::Create(owner, name.c_str(), PropertyDataTypeGetRegistered(row.name),
                                                         label.c_str(), true);
            if (!property.IsValid()) continue;
            property.ModifyFlag(kDuzPropertyUser, true);
            if (row.kind >= eValueKindBool && row.kind <= eValueKindDouble4 && mRandom.Chance(50))
                property.ModifyFlag(kDuzPropertyAnimatable, true);
            if (mRandom.Chance(30)) {
                property.SetMinLimit(Double());
                property.SetMaxLimit(Double());
            }
            SetRandomValue(property, row.kind);
        }
    }

    void SetRandomValue(KDuzProperty& property, int kind) {
        switch (kind) {
        case eValueKindBool: {
            const bool v = mRandom.Chance(50);
            property.SetValue(&v, kind);
            break;
        }
        case eValueKindInt: {
            const int v = Integer();
            property.SetValue(&v, kind);
            break;
        }
        case eValueKindFloat: {
            const float v = mOptions.extremeValues && mRandom.Chance(15) ? FLT_MAX : static_cast<float>(Small());
            property.SetValue(&v, kind);
            break;
        }
        case eValueKindDouble: {
            const double v = Double();
            property.SetValue(&v, kind);
            break;
        }
        case eValueKindDouble3: {
            const duzVectorTemplate3<double> v{Double(), Double(), Double()};
            property.SetValue(&v, kind);
            break;
        }
        case eValueKindDouble4: {
            const double v[4] = {Double(), Double(), Double(), Double()};
            property.SetValue(v, kind);
            break;
        }
        case eValueKindMatrix: {
            const KgeMatrix v = Matrix();
            property.SetValue(&v, kind);
            break;
        }
        case eValueKindEnum: {
            const int items = mRandom.Int(0, 4);
            for (int i = 0; i < items; ++i) property.AddEnumValue(Text().c_str());
            const int v = items > 0 ? mRandom.Int(0, items - 1) : 0;
            property.SetValue(&v, eValueKindInt);
            break;
        }
        case eValueKindString: {
            const KString v(Text().c_str());
            property.SetValue(&v, kind);
            break;
        }
        case eValueKindTime: {
            const KTime v(mOptions.extremeValues && mRandom.Chance(15) ? (mRandom.Chance(50) ? INT64_MAX : INT64_MIN)
                                                                       : mRandom.Int64(-1000000000000, 1000000000000));
            property.SetValue(&v, kind);
            break;
        }
        case eValueKindBuffer: {
            KDuzOwnedBuffer v;
            std::vector<unsigned char> bytes(static_cast<std::size_t>(mRandom.Int(0, 40)));
            for (unsigned char& b : bytes) b = static_cast<unsigned char>(mRandom.Bits());
            v.Assign(bytes.data(), static_cast<int>(bytes.size()));
            property.SetValue(&v, kind);
            break;
        }
        default:   // no value (actions, events) or a reference
            break;
        }
    }

    // ---- materials, textures, videos ---------------------------------------------

    void Materials() {
        const int count = mRandom.Int(0, 4);
        for (int i = 0; i < count; ++i) {
            KDuzSurfaceLambert* material;
            if (mRandom.Chance(50)) {
                KDuzSurfacePhong* phong = KDuzSurfacePhong::Create(&mManager, Name("mat").c_str());
                if (phong == nullptr) continue;
                const duzVectorTemplate3<double> specular = Triple();
                phong->GetSpecularColor().SetValue(&specular, eValueKindDouble3);
                const double shininess = mRandom.Range(0.0, 100.0);
                phong->GetShininessExponent().SetValue(&shininess, eValueKindDouble);
                material = phong;
            } else {
                material = KDuzSurfaceLambert::Create(&mManager, Name("lambert").c_str());
                if (material == nullptr) continue;
            }
            const duzVectorTemplate3<double> diffuse{mRandom.Unit(), mRandom.Unit(), mRandom.Unit()};
            material->GetDiffuseColor().SetValue(&diffuse, eValueKindDouble3);
            const double transparency = mRandom.Unit();
            material->GetTransparencyFactor().SetValue(&transparency, eValueKindDouble);
            Connect(material);
            UserProperties(material);
            mMaterials.push_back(material);
        }
    }

    void Textures() {
        const int count = mRandom.Int(0, 3);
        for (int i = 0; i < count; ++i) {
            KDuzTexture* texture = KDuzTexture::Create(&mManager, Name("tex").c_str());
            if (texture == nullptr) continue;
            texture->SetFileName(("C:/maps/" + Name("file") + ".bmp").c_str());
            texture->SetRelativeFileName(("maps/" + Name("file") + ".bmp").c_str());
            const int wrap[2] = {mRandom.Int(0, 1), mRandom.Int(0, 1)};
            texture->SetWrapMode(wrap[0], wrap[1]);
            const double translation[2] = {Small(), Small()};
            texture->SetTranslation(translation[0], translation[1]);
            const double scale[2] = {mRandom.Range(0.1, 10.0), mRandom.Range(0.1, 10.0)};
            texture->SetScale(scale[0], scale[1]);
            texture->SetSwapUV(mRandom.Chance(50));
            texture->SetDefaultAlpha(mRandom.Unit());
            Connect(texture);
            // A texture drives a colour of a material.
            if (!mMaterials.empty() && mRandom.Chance(70)) {
                KDuzSurfaceLambert* material = mMaterials[static_cast<std::size_t>(mRandom.Int(0, static_cast<int>(mMaterials.size()) - 1))];
                KDuzProperty target = mRandom.Chance(50) ? material->GetDiffuseColor() : material->GetTransparentColor();
                target.ConnectSrcObject(texture);
            }
            mTextures.push_back(texture);
        }
    }

    void Videos() {
        const int count = mTextures.empty() ? 0 : mRandom.Int(0, 2);
        for (int i = 0; i < count; ++i) {
            KDuzVideo* video = KDuzVideo::Create(&mManager, Name("clip").c_str());
            if (video == nullptr) continue;
            video->SetFileName(("C:/clips/" + Name("v") + ".avi").c_str());
            video->SetRelativeFileName(("clips/" + Name("v") + ".avi").c_str());
            video->SetUseMipMap(mRandom.Chance(50));
            Connect(video);
            mTextures[static_cast<std::size_t>(mRandom.Int(0, static_cast<int>(mTextures.size()) - 1))]->ConnectSrcObject(video);
        }
    }

    // ---- nodes -----------------------------------------------------------------------

    void Nodes() {
        KDuzNode* root = mScene.GetRootNode();
        if (root == nullptr) return;
        const int count = mRandom.Int(1, mOptions.maxNodes < 1 ? 1 : mOptions.maxNodes);
        std::vector<int> depths;
        for (int i = 0; i < count; ++i) {
            KDuzNode* node = KDuzNode::Create(&mManager, Name("node").c_str());
            if (node == nullptr) continue;
            KDuzNode* parent = root;
            int depth = 1;
            if (!mNodes.empty() && mRandom.Chance(70)) {
                const int at = mRandom.Int(0, static_cast<int>(mNodes.size()) - 1);
                if (depths[static_cast<std::size_t>(at)] < mOptions.maxDepth) {
                    parent = mNodes[static_cast<std::size_t>(at)];
                    depth = depths[static_cast<std::size_t>(at)] + 1;
                }
            }
            Connect(node);
            parent->AddChild(node);
            mNodes.push_back(node);
            depths.push_back(depth);
            Transform(node);
            Attribute(node);
            UserProperties(node);
        }
        // Targets between nodes of the tree.
        for (KDuzNode* node : mNodes) {
            if (mRandom.Chance(10)) node->SetLookAtTarget(RandomNode());
            if (mRandom.Chance(5)) node->SetUpVectorTarget(RandomNode());
        }
    }

    KDuzNode* RandomNode() {
        return mNodes.empty() ? nullptr : mNodes[static_cast<std::size_t>(mRandom.Int(0, static_cast<int>(mNodes.size()) - 1))];
    }

    void Transform(KDuzNode* node) {
        node->SetLclTranslation(Triple());
        node->SetLclRotation(Triple());
        node->SetLclScaling(duzVectorTemplate3<double>{mRandom.Range(0.1, 3.0), mRandom.Range(0.1, 3.0),
                                                       mRandom.Range(0.1, 3.0)});
        if (mRandom.Chance(20)) node->SetVisibility(false);
        if (mRandom.Chance(20)) node->SetShadingMode(mRandom.Int(0, 5));
        if (mRandom.Chance(20)) node->SetCullingType(mRandom.Int(0, 2));
        if (mRandom.Chance(10)) node->SetTransformationInheritType(mRandom.Int(0, 2));
        if (mRandom.Chance(30)) {
            node->SetRotationActive(true);
            for (int set = 0; set < 2; ++set) {
                if (!mRandom.Chance(60)) continue;
                node->SetRotationOffset(set, Vector());
                node->SetRotationPivot(set, Vector());
                node->SetScalingOffset(set, Vector());
                node->SetScalingPivot(set, Vector());
                node->SetPreRotation(set, Vector());
                node->SetPostRotation(set, Vector());
                node->SetGeometricTranslation(set, Vector());
                node->SetGeometricRotation(set, Vector());
                node->SetGeometricScaling(set, KgeTVector{1.0, mRandom.Range(0.5, 2.0), 1.0, 1.0});
                node->SetRotationOrder(set, mRandom.Int(0, 5));
                node->SetRotationSpaceForLimitOnly(set, mRandom.Chance(50));
                node->SetQuaternionInterpolate(set, mRandom.Chance(50));
                node->SetPivotState(set, mRandom.Int(0, 1));
            }
        }
        if (KDuzNodeLimits* limits = node->GetLimits(); limits != nullptr && mRandom.Chance(30)) {
            for (int kind = 0; kind < 3; ++kind) {
                KDuzLimits* l = limits->GetLimits(kind);
                if (l == nullptr || !mRandom.Chance(60)) continue;
                l->SetActive(mRandom.Chance(70));
                const bool active[6] = {mRandom.Chance(50), mRandom.Chance(50), mRandom.Chance(50),
                                        mRandom.Chance(50), mRandom.Chance(50), mRandom.Chance(50)};
                l->SetMinActive(active[0], active[1], active[2]);
                l->SetMaxActive(active[3], active[4], active[5]);
                l->SetMin(KgeTVector{-Small() - 1.0, -Small() - 1.0, -Small() - 1.0, 0.0});
                l->SetMax(KgeTVector{Small() + 1.0, Small() + 1.0, Small() + 1.0, 0.0});
            }
        }
    }

    void Attribute(KDuzNode* node) {
        const int kind = mRandom.Int(0, mOptions.meshes ? 8 : 6);
        KDuzObject* attribute = nullptr;
        switch (kind) {
        case 0:
            return;   // a node without attribute
        case 1: {
            KDuzNull* null = KDuzNull::Create(&mManager, "");
            if (null != nullptr && mRandom.Chance(50)) null->SetSize(mRandom.Range(1.0, 500.0));
            if (null != nullptr && mRandom.Chance(50)) null->SetLook(KDuzNull::eCross);
            attribute = null;
            break;
        }
        case 2: {
            KDuzMarker* marker = KDuzMarker::Create(&mManager, "");
            if (marker != nullptr) {
                marker->SetType(static_cast<KDuzMarker::EType>(mRandom.Int(0, 3)));
                marker->SetLook(static_cast<KDuzMarker::ELook>(mRandom.Int(0, 3)));
                marker->SetSize(mRandom.Range(1.0, 200.0));
                marker->SetShowLabel(mRandom.Chance(50));
                marker->SetIKPivot(Vector(0.0));
                marker->SetColor(Color());
            }
            attribute = marker;
            break;
        }
        case 3: {
            KDuzSkeleton* skeleton = KDuzSkeleton::Create(&mManager, "");
            if (skeleton != nullptr) {
                skeleton->SetSkeletonType(static_cast<KDuzSkeleton::ESkeletonType>(mRandom.Int(0, 3)));
                if (mRandom.Chance(60)) skeleton->SetLimbLength(mRandom.Range(0.1, 10.0));
                if (mRandom.Chance(60)) skeleton->SetSize(mRandom.Range(1.0, 100.0));
                if (mRandom.Chance(60)) skeleton->SetLimbNodeColor(Color());
            }
            attribute = skeleton;
            break;
        }
        case 4: {
            KDuzCamera* camera = KDuzCamera::Create(&mManager, "");
            if (camera != nullptr) {
                camera->SetPosition(Vector());
                camera->SetUpVector(KgeTVector(0.0, 1.0, 0.0, 0.0));
                camera->SetInterestPosition(Vector());
                camera->SetFieldOfView(mRandom.Range(10.0, 120.0));
                camera->SetNearPlane(mRandom.Range(0.1, 10.0));
                camera->SetFarPlane(mRandom.Range(100.0, 100000.0));
                camera->SetProjectionType(mRandom.Int(0, 1));
                camera->SetBackgroundColor(Color());
                camera->SetShowGrid(mRandom.Chance(50));
                mCameraNames.push_back(node->GetName());
            }
            attribute = camera;
            break;
        }
        case 5: {
            KDuzLight* light = KDuzLight::Create(&mManager, "");
            if (light != nullptr) {
                light->SetLightType(static_cast<KDuzLight::ELightType>(mRandom.Int(0, 2)));
                light->SetColor(Color());
                light->SetIntensity(mRandom.Range(0.0, 200.0));
                light->SetConeAngle(mRandom.Range(1.0, 179.0));
                light->SetCastLight(mRandom.Chance(80));
            }
            attribute = light;
            break;
        }
        case 6:
            attribute = KDuzOpticalReference::Create(&mManager, "");
            break;
        default:
            attribute = Mesh();
            break;
        }
        if (attribute == nullptr) return;
        Connect(attribute);
        node->SetNodeAttribute(attribute);
    }

    // ---- meshes -------------------------------------------------------------------

    KDuzMesh* Mesh() {
        KDuzMesh* mesh = KDuzMesh::Create(&mManager, mRandom.Chance(50) ? "" : Name("mesh").c_str());
        if (mesh == nullptr) return nullptr;
        const int points = mRandom.Int(0, 12);
        if (mesh->InitControlPoints(points)) {
            KgeTVector* data = mesh->GetControlPoints();
            for (int i = 0; i < points; ++i) data[i] = Vector();
        }
        const int polygons = points == 0 ? 0 : mRandom.Int(0, 8);
        for (int p = 0; p < polygons; ++p) {
            mesh->BeginPolygon(-1, -1, mRandom.Chance(30) ? mRandom.Int(0, 3) : -1, false);
            const int size = mRandom.Int(3, 5);
            for (int v = 0; v < size; ++v) mesh->AddPolygon(mRandom.Int(0, points - 1));
            mesh->EndPolygon();
        }
        const int edges = mRandom.Int(0, 6);
        if (mesh->SetMeshEdgeCount(edges))
            for (int e = 0; e < edges; ++e) mesh->SetMeshEdge(e, mRandom.Int(0, 20));
        const int layers = mRandom.Int(1, 3);
        for (int l = 0; l < layers; ++l) {
            // Polygons may have made layer 0 already.
            KDuzLayer* layer = l < mesh->GetLayerCount() ? mesh->GetLayer(l) : mesh->GetLayer(mesh->CreateLayer());
            if (layer == nullptr) continue;
            for (int kind = 0; kind < 10; ++kind)
                if (mRandom.Chance(45)) Element(layer, kind);
        }
        return mesh;
    }

    template <class Element>
    Element* Common(Element* element) {
        if (element == nullptr) return nullptr;
        element->SetMappingMode(static_cast<KDuzLayerElement::EMappingMode>(mRandom.Int(0, 5)));
        element->SetReferenceMode(static_cast<KDuzLayerElement::EReferenceMode>(mRandom.Int(0, 2)));
        const int indices = mRandom.Int(0, 8);
        for (int i = 0; i < indices; ++i) element->GetIndexArray().Add(mRandom.Int(-1, 7));
        return element;
    }

    int Entries() { return mRandom.Int(0, 8); }

    void Element(KDuzLayer* layer, int kind) {
        const std::string name = mRandom.Chance(50) ? std::string() : Name("el");
        KDuzSdkManager* m = &mManager;
        switch (kind) {
        case 0: {
            auto* e = Common(KDuzCreateLayerElementNormal(m, name.c_str()));
            if (e == nullptr) return;
            for (int i = Entries(); i > 0; --i) e->GetDirectArray().Add(Vector(0.0));
            layer->SetNormals(e);
            break;
        }
        case 1: {
            auto* e = Common(KDuzCreateLayerElementMaterial(m, name.c_str()));
            if (e == nullptr) return;
            for (int i = mMaterials.empty() ? 0 : Entries(); i > 0; --i)
                e->GetDirectArray().Add(mMaterials[static_cast<std::size_t>(mRandom.Int(0, static_cast<int>(mMaterials.size()) - 1))]);
            layer->SetMaterials(e);
            break;
        }
        case 2: {
            auto* e = Common(KDuzCreateLayerElementPolygonGroup(m, name.c_str()));
            if (e == nullptr) return;
            for (int i = Entries(); i > 0; --i) e->GetDirectArray().Add(mRandom.Int(0, 5));
            layer->SetPolygonGroups(e);
            break;
        }
        case 3: {
            auto* e = Common(KDuzCreateLayerElementUV(m, name.c_str()));
            if (e == nullptr) return;
            for (int i = Entries(); i > 0; --i) e->GetDirectArray().Add(KgeUVVector{mRandom.Unit(), mRandom.Unit()});
            layer->SetUVsOfType(e, mRandom.Pick(kDuzTextureChannels));
            break;
        }
        case 4: {
            auto* e = Common(KDuzCreateLayerElementVertexColor(m, name.c_str()));
            if (e == nullptr) return;
            for (int i = Entries(); i > 0; --i) e->GetDirectArray().Add(Color());
            layer->SetVertexColors(e);
            break;
        }
        case 5: {
            auto* e = Common(KDuzCreateLayerElementSmoothing(m, name.c_str()));
            if (e == nullptr) return;
            for (int i = Entries(); i > 0; --i) e->GetDirectArray().Add(mRandom.Chance(50));
            layer->SetSmoothing(e);
            break;
        }
        case 6: {
            auto* e = Common(KDuzCreateLayerElementVisibility(m, name.c_str()));
            if (e == nullptr) return;
            for (int i = Entries(); i > 0; --i) e->GetDirectArray().Add(mRandom.Chance(50));
            layer->SetVisibility(e);
            break;
        }
        case 7: {
            auto* e = Common(KDuzCreateLayerElementTexture(m, name.c_str()));
            if (e == nullptr) return;
            for (int i = mTextures.empty() ? 0 : Entries(); i > 0; --i)
                e->GetDirectArray().Add(mTextures[static_cast<std::size_t>(mRandom.Int(0, static_cast<int>(mTextures.size()) - 1))]);
            e->SetBlendMode(mRandom.Int(0, 3));
            e->SetAlpha(mRandom.Unit());
            layer->SetTexturesOfType(mRandom.Pick(kDuzTextureChannels), e);
            break;
        }
        case 8: {
            static const char* const kTypes[] = {"Bool", "Integer", "Float", "Number"};
            std::vector<PropertyDataType> types;
            std::vector<KString> names;
            const int attributes = mRandom.Int(1, 4);
            for (int a = 0; a < attributes; ++a) {
                types.push_back(PropertyDataTypeGetRegistered(mRandom.Pick(kTypes)));
                names.emplace_back(Name("attr").c_str());
            }
            auto* e = Common(KDuzCreateLayerElementUserData(m, name.c_str(), mRandom.Int(0, 100), types, names));
            if (e == nullptr) return;
            const int entries = Entries();
            if (e->ResizeAllDirectArrays(entries)) {
                for (int a = 0; a < e->GetAttributeCount(); ++a) {
                    KDynamicArray* values = e->GetDirectArrayOf(a);
                    const int size = KDuzLayerElementUserData::ValueSizeOfKind(e->GetDataType(a).GetValueKind());
                    if (values == nullptr || size == 0) continue;
                    auto* bytes = static_cast<unsigned char*>(values->Data());
                    for (int i = 0; i < values->Count(); ++i) {
                        unsigned char* at = bytes + static_cast<std::size_t>(i) * static_cast<std::size_t>(size);
                        switch (e->GetDataType(a).GetValueKind()) {
                        case eValueKindBool: *at = mRandom.Chance(50) ? 1 : 0; break;
                        case eValueKindInt: { const int v = Integer(); std::memcpy(at, &v, 4); break; }
                        case eValueKindFloat: { const float v = static_cast<float>(Small()); std::memcpy(at, &v, 4); break; }
                        default: { const double v = Double(); std::memcpy(at, &v, 8); break; }
                        }
                    }
                }
            }
            layer->SetUserData(e);
            break;
        }
        default: {
            // A second UV channel next to the diffuse one.
            auto* e = Common(KDuzCreateLayerElementUV(m, name.c_str()));
            if (e == nullptr) return;
            for (int i = Entries(); i > 0; --i) e->GetDirectArray().Add(KgeUVVector{Small(), Small()});
            layer->SetUVsOfType(e, 3);
            break;
        }
        }
    }

    // ---- scene-level objects ------------------------------------------------------------

    void ConnectMaterials() {
        for (KDuzNode* node : mNodes) {
            if (mMaterials.empty() || !mRandom.Chance(40)) continue;
            const int count = mRandom.Int(1, static_cast<int>(mMaterials.size()));
            for (int i = 0; i < count; ++i) {
                KDuzSurfaceLambert* material = mMaterials[static_cast<std::size_t>(mRandom.Int(0, static_cast<int>(mMaterials.size()) - 1))];
                if (!node->IsConnectedSrcObject(material)) node->ConnectSrcObject(material);
            }
        }
    }

    void Poses() {
        const int count = mNodes.empty() ? 0 : mRandom.Int(0, 2);
        for (int i = 0; i < count; ++i) {
            KDuzPose* pose = KDuzPose::Create(&mManager, Name("pose").c_str());
            if (pose == nullptr) continue;
            pose->SetIsBindPose(mRandom.Chance(50));
            const int entries = mRandom.Int(0, 5);
            for (int e = 0; e < entries; ++e) {
                KDuzNode* node = RandomNode();
                const KgeMatrix matrix = Matrix();
                pose->Add(node, matrix, mRandom.Chance(50));
            }
            Connect(pose);
        }
    }

    void Settings() {
        KDuzNode* switcherNode = mScene.GetCameraSwitcherNode();
        auto* switcher = switcherNode != nullptr ? dynamic_cast<KDuzCameraSwitcher*>(switcherNode->GetNodeAttribute()) : nullptr;
        if (switcher != nullptr && !mCameraNames.empty()) {
            for (const std::string& name : mCameraNames) switcher->AddCameraName(name.c_str());
            switcher->SetDefaultCameraIndex(mRandom.Int(1, static_cast<int>(mCameraNames.size())));
        }
        if (KDuzGlobalLightSettings* light = mScene.GetGlobalLightSettings(); light != nullptr && mRandom.Chance(50)) {
            light->SetAmbientColor(Color());
            light->SetFogEnable(mRandom.Chance(50));
            light->SetFogColor(Color());
            light->SetFogDensity(mRandom.Unit());
        }
    }

    // ---- takes --------------------------------------------------------------------------

    void Takes() {
        const std::string names[2] = {Name("Take"), Name("Walk")};
        std::vector<KDuzTakeNodeContainer*> animated;
        for (KDuzNode* node : mNodes) animated.push_back(node);
        for (KDuzSurfaceLambert* material : mMaterials) animated.push_back(material);
        for (KDuzTakeNodeContainer* container : animated) {
            if (!mRandom.Chance(60)) continue;
            for (const std::string& name : names) {
                KDuzTakeNode* take = container->CreateTakeNode(name.c_str());
                if (take == nullptr || take->GetCurveNode() == nullptr) continue;
                // Curves on a few of the take's channels.
                std::vector<KFCurve*> curves;
                CollectCurves(take->GetCurveNode(), curves, 0);
                for (KFCurve* curve : curves)
                    if (mRandom.Chance(25)) Keys(curve);
            }
        }
        for (const std::string& name : names) {
            KDuzTakeDescription description;
            description.name = name.c_str();
            description.comments = Text().c_str();
            const int64_t start = mRandom.Int64(-1000000, 1000000) * 46186158;
            description.localStart = KTime(start);
            description.localStop = KTime(start + mRandom.Int64(1, 1000) * 46186158);
            description.referenceStart = description.localStart;
            description.referenceStop = description.localStop;
            mScene.SetTakeDescription(description);
        }
        mScene.SetCurrentTake(names[mRandom.Int(0, 1)].c_str());
    }

    static void CollectCurves(KFCurveNode* node, std::vector<KFCurve*>& out, int depth) {
        if (node == nullptr || depth > kFCurveNodeMaxDepth) return;
        if (node->GetCurve() != nullptr) out.push_back(node->GetCurve());
        for (int i = 0; i < node->GetChildCount(); ++i) CollectCurves(node->GetChild(i), out, depth + 1);
    }

    void Keys(KFCurve* curve) {
        static const uint32_t kInterpolations[] = {kFCurveInterpolationConstant, kFCurveInterpolationLinear,
                                                   kFCurveInterpolationCubic};
        static const uint32_t kTangents[] = {kFCurveTangentAuto, kFCurveTangentTCB, kFCurveTangentUser,
                                             kFCurveTangentBreak, kFCurveTangentUserBreak, kFCurveTangentAutoBreak};
        static const uint32_t kWeights[] = {0, kFCurveWeightedRight, kFCurveWeightedNextLeft, kFCurveWeightedAll};
        const int keys = mRandom.Int(1, 8);
        int64_t time = mRandom.Int64(-100, 100) * 1539538600;
        for (int k = 0; k < keys; ++k) {
            const uint32_t interpolation = mRandom.Pick(kInterpolations);
            const uint32_t tangent = interpolation == kFCurveInterpolationCubic ? mRandom.Pick(kTangents) : 0;
            const float value = mOptions.extremeValues && mRandom.Chance(5) ? -FLT_MAX : static_cast<float>(Small());
            if (tangent == kFCurveTangentTCB) {
                const float tcb[3] = {static_cast<float>(mRandom.Range(-1.0, 1.0)), static_cast<float>(mRandom.Range(-1.0, 1.0)),
                                      static_cast<float>(mRandom.Range(-1.0, 1.0))};
                curve->KeySetTCB(curve->KeyGetCount(), KTime(time), value, tcb[0], tcb[1], tcb[2]);
            } else {
                const float data[2] = {static_cast<float>(Small()), static_cast<float>(Small())};
                const uint32_t weightMode = mRandom.Pick(kWeights);
                const float weights[2] = {static_cast<float>(mRandom.Range(0.01, 0.9)), static_cast<float>(mRandom.Range(0.01, 0.9))};
                const float velocities[2] = {static_cast<float>(Small()), static_cast<float>(Small())};
                curve->KeySet(curve->KeyGetCount(), KTime(time), value, interpolation, tangent, data[0], data[1], weightMode,
                              weights[0], weights[1], velocities[0], velocities[1]);
            }
            time += mRandom.Int64(1, 400) * 1539538600;
        }
        curve->SetPreExtrapolation(mRandom.Int(1, 4));
        curve->SetPostExtrapolation(mRandom.Int(1, 4));
        curve->SetPreExtrapolationCount(mRandom.Int(0, 5));
        curve->SetPostExtrapolationCount(mRandom.Int(0, 5));
    }

    KDuzSdkManager& mManager;
    KDuzScene& mScene;
    Random mRandom;
    RandomSceneOptions mOptions;
    int mNameCounter = 0;
    std::vector<KDuzNode*> mNodes;
    std::vector<KDuzSurfaceLambert*> mMaterials;
    std::vector<KDuzTexture*> mTextures;
    std::vector<std::string> mCameraNames;
};

}  // namespace

void BuildRandomScene(duzsdk::KDuzSdkManager& manager, duzsdk::KDuzScene& scene, uint32_t seed,
                      const RandomSceneOptions& options) {
    Builder(manager, scene, seed, options).Build();
}

}  // namespace duztest
