#include "tests/support/SceneDump.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/geometry/KDuzCache.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/geometry/KDuzGeometryWeightedMap.h"
#include "sdk/geometry/KDuzGeometryBase.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzLayerContainer.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVertexCacheDeformer.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/object/KDataType.h"
#include "sdk/object/KDuzObject.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/object/KObject.h"
#include "sdk/object/KProperty.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzCameraSwitcher.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzGlobalTimeSettings.h"
#include "sdk/scene/KDuzLight.h"
#include "sdk/scene/KDuzMarker.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzNodeLimits.h"
#include "sdk/scene/KDuzNodeTransform.h"
#include "sdk/scene/KDuzNull.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzSkeleton.h"
#include "sdk/scene/KDuzThumbnail.h"

namespace duztest {
namespace {

using namespace duzsdk;

// Equal bits give equal text, different bits different text.
std::string Num(double v) {
    char buffer[64];
    if (std::isnan(v)) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        std::snprintf(buffer, sizeof buffer, "nan(0x%016" PRIx64 ")", bits);
    } else if (std::isinf(v)) {
        return v > 0 ? "inf" : "-inf";
    } else {
        std::snprintf(buffer, sizeof buffer, "%.17g", v);
    }
    return buffer;
}

std::string NumF(float v) {
    if (std::isnan(v)) {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "nanf(0x%08" PRIx32 ")", bits);
        return buffer;
    }
    return Num(static_cast<double>(v));
}

std::string Hex(uint64_t v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%" PRIx64, v);
    return buffer;
}

std::string Int(long long v) { return std::to_string(v); }
std::string Bool(bool v) { return v ? "1" : "0"; }

// Printable ASCII stays; every other byte (UTF-8 included) is escaped, so a
// dump is plain ASCII and a diff shows each byte.
std::string Quote(const char* text) {
    if (text == nullptr) return "null";
    std::string out = "\"";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        if (*p == '"' || *p == '\\') {
            out += '\\';
            out += static_cast<char>(*p);
        } else if (*p >= 0x20 && *p < 0x7F) {
            out += static_cast<char>(*p);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", *p);
            out += buffer;
        }
    }
    out += '"';
    return out;
}
std::string Quote(const KString& text) { return Quote(text.Buffer()); }

std::string Vec(const double* v, int n) {
    std::string out = "(";
    for (int i = 0; i < n; ++i) {
        if (i) out += ' ';
        out += Num(v[i]);
    }
    return out + ")";
}
std::string Vec(const KgeTVector& v) { return Vec(v.Data(), 4); }
std::string Color(const KDuzRGBAColor& c) {
    const double v[4] = {c.mRed, c.mGreen, c.mBlue, c.mAlpha};
    return Vec(v, 4);
}
std::string Matrix(const KgeMatrix& m) { return Vec(m.Data(), 16); }
// Values that files keep as differences (shape offsets, matrices relative
// to a cluster's link) come back within the last bits only: twelve digits,
// with -0 shown as 0.
std::string Near(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.12g", std::fabs(v) < 1e-12 ? 0.0 : v);
    return buffer;
}
std::string NearVec(const double* v, int n) {
    std::string out = "(";
    for (int i = 0; i < n; ++i) {
        if (i) out += ' ';
        out += Near(v[i]);
    }
    return out + ")";
}

std::string Bytes(const unsigned char* data, int length) {
    static const char* const kDigits = "0123456789abcdef";
    std::string out = "len=" + Int(length) + " ";
    for (int i = 0; data != nullptr && i < length; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

class Dumper {
public:
    Dumper(KDuzScene& scene, const SceneDumpOptions& options) : mScene(scene), mOptions(options) {}

    std::string Run() {
        Discover();
        AssignIds();
        std::string out;
        out += "scene " + Ref(&mScene) + "\n";
        SceneFields(out);
        out += "hierarchy\n";
        if (mScene.GetRootNode() != nullptr) Tree(out, mScene.GetRootNode(), 1, 0);
        std::vector<KDuzObject*> sorted = mObjects;
        std::sort(sorted.begin(), sorted.end(),
                  [&](KDuzObject* a, KDuzObject* b) { return mIds.at(a) < mIds.at(b); });
        for (KDuzObject* object : sorted) {
            out += "object " + mIds.at(object) + "\n";
            Body(out, object, "  ");
        }
        out += "end\n";
        return out;
    }

private:
    // ---- discovery -----------------------------------------------------------

    void Add(KDuzObject* object) {
        if (object == nullptr || !mSeen.insert(object).second) return;
        mObjects.push_back(object);
        mQueue.push_back(object);
    }

    void AddTree(KDuzNode* node, int depth) {
        if (node == nullptr || depth > 10000) return;
        Add(node);
        for (int i = 0; i < node->GetChildCount(); ++i) AddTree(node->GetChild(i), depth + 1);
    }

    static KDuzObject* ObjectOfPlug(const KPlug* plug) {
        if (plug == nullptr) return nullptr;
        if (KDuzObject* object = KDuzGetPublicObject(plug)) return object;
        if (const KProperty* property = KPropertyCast(const_cast<KPlug*>(plug)))
            return KDuzGetPublicObject(property->GetOwnerObject());
        return nullptr;
    }

    void AddPlugEnds(const KPlug* plug) {
        if (plug == nullptr) return;
        for (int i = 0; i < plug->GetSourceCount(); ++i) Add(ObjectOfPlug(plug->GetSource(i)));
        for (int i = 0; i < plug->GetDestinationCount(); ++i) Add(ObjectOfPlug(plug->GetDestination(i)));
    }

    void Discover() {
        Add(&mScene);
        AddTree(mScene.GetRootNode(), 0);
        AddTree(mScene.GetCameraSwitcherNode(), 0);
        Add(mScene.GetSceneInfo());
        if (KDuzGlobalCameraSettings* cameras = mScene.GetGlobalCameraSettings()) {
            for (int p = 0; p < 7; ++p) {
                Add(cameras->GetProducerNode(p));
                Add(cameras->GetProducerCamera(p));
            }
        }
        for (std::size_t at = 0; at < mQueue.size(); ++at) {
            KDuzObject* object = mQueue[at];
            AddPlugEnds(object->GetInternalObject());
            for (int i = 0; i < object->GetPropertyCount(); ++i)
                AddPlugEnds(object->GetPropertyAt(i).GetBoundProperty());
            if (auto* node = dynamic_cast<KDuzNode*>(object)) {
                Add(node->GetParent());
                for (int i = 0; i < node->GetChildCount(); ++i) Add(node->GetChild(i));
                for (int i = 0; i < node->GetNodeAttributeCount(); ++i) Add(node->GetNodeAttributeByIndex(i));
            }
            if (auto* attribute = dynamic_cast<KDuzNodeAttribute*>(object)) Add(attribute->GetNode());
            if (auto* pose = dynamic_cast<KDuzPose*>(object))
                for (int i = 0; i < pose->GetCount(); ++i) Add(pose->GetNode(i));
            if (auto* info = dynamic_cast<KDuzSceneInfo*>(object)) Add(info->GetSceneThumbnail());
            if (auto* layers = dynamic_cast<KDuzLayerContainer*>(object)) {
                for (int l = 0; l < layers->GetLayerCount(); ++l) {
                    KDuzLayer* layer = layers->GetLayer(l);
                    for (int s = 0; layer != nullptr && s < KDuzLayer::kSlotCount; ++s) {
                        KDuzLayerElement* element = layer->GetSlot(s);
                        if (auto* m = dynamic_cast<KDuzLayerElementMaterial*>(element))
                            for (KDuzSurfaceMaterial* material : m->GetDirectArray()) Add(material);
                        if (auto* t = dynamic_cast<KDuzLayerElementTexture*>(element))
                            for (KDuzTexture* texture : t->GetDirectArray()) Add(texture);
                    }
                }
            }
        }
    }

    // ---- names -------------------------------------------------------------

    static std::string BaseKey(const KDuzObject* object) {
        return std::string(object->GetClassId().GetName()) + " " + Quote(object->GetName());
    }

    // Where a node sits: the names and child indices up to its root.
    static std::string NodePath(KDuzNode* node) {
        std::string path;
        for (int depth = 0; node != nullptr && depth < 10000; ++depth) {
            KDuzNode* parent = node->GetParent();
            int index = -1;
            for (int i = 0; parent != nullptr && i < parent->GetChildCount(); ++i)
                if (parent->GetChild(i) == node) index = i;
            path = Quote(node->GetName()) + "[" + Int(index) + "]/" + path;
            node = parent;
        }
        return path;
    }

    // Where an object hangs: a node by its path, an attribute by its node's,
    // anything else by the sorted places of the objects it is connected to
    // as a source (a cluster by its skin, a skin by its geometry, ...).
    std::string Place(KDuzObject* object, int depth) {
        if (object == nullptr) return "null";
        if (auto* node = dynamic_cast<KDuzNode*>(object)) return NodePath(node);
        const std::string key = BaseKey(object);
        if (auto* attribute = dynamic_cast<KDuzNodeAttribute*>(object))
            if (attribute->GetNode() != nullptr) return key + " of " + NodePath(attribute->GetNode());
        if (depth > 8 || object == &mScene) return key;
        auto found = mPlaces.find(object);
        if (found != mPlaces.end()) return found->second;
        mPlaces[object] = key;  // a cycle ends here
        std::vector<std::string> owners;
        if (const KPlug* plug = object->GetInternalObject())
            for (int i = 0; i < plug->GetDestinationCount(); ++i)
                if (KDuzObject* owner = ObjectOfPlug(plug->GetDestination(i)); owner != nullptr && owner != &mScene)
                    owners.push_back(Place(owner, depth + 1));
        std::sort(owners.begin(), owners.end());
        std::string place = key + " in [";
        for (const std::string& owner : owners) place += owner + ";";
        place += "]";
        return mPlaces[object] = place;
    }

    void AssignIds() {
        std::map<std::string, std::vector<KDuzObject*>> groups;
        for (KDuzObject* object : mObjects) groups[BaseKey(object)].push_back(object);
        mSignatureMode = true;
        for (auto& [key, members] : groups) {
            if (members.size() == 1) {
                mIds[members[0]] = key;
                continue;
            }
            // Duplicate names: order by content (then by place in the node
            // tree), never by address.
            std::vector<std::pair<std::string, std::size_t>> order;
            for (std::size_t i = 0; i < members.size(); ++i) {
                std::string signature;
                if (mOptions.numberByPlace) signature = Place(members[i], 0) + "\n";
                if (auto* node = dynamic_cast<KDuzNode*>(members[i])) signature += NodePath(node) + "\n";
                Body(signature, members[i], "");
                order.emplace_back(std::move(signature), i);
            }
            std::sort(order.begin(), order.end());
            for (std::size_t k = 0; k < order.size(); ++k)
                mIds[members[order[k].second]] = key + "#" + Int(static_cast<long long>(k + 1));
        }
        mSignatureMode = false;
    }

    std::string Ref(const KDuzObject* object) const {
        if (object == nullptr) return "null";
        if (mSignatureMode) return BaseKey(object);
        auto found = mIds.find(object);
        return found != mIds.end() ? found->second : "?" + BaseKey(object);
    }

    std::string PlugRef(const KPlug* plug) const {
        if (plug == nullptr) return "null";
        if (KDuzObject* object = KDuzGetPublicObject(plug)) return Ref(object);
        if (const KProperty* property = KPropertyCast(const_cast<KPlug*>(plug)))
            return Ref(KDuzGetPublicObject(property->GetOwnerObject())) + " . " + Quote(property->GetName());
        return std::string("plug ") + plug->GetPlugTypeName();
    }

    // Ends that are scene content: public objects and properties. The SDK
    // manager's own lists (its object registry) are bookkeeping, not scene.
    static bool IsSceneEnd(const KPlug* plug) {
        return plug != nullptr && (KDuzGetPublicObject(plug) != nullptr || KPropertyCast(const_cast<KPlug*>(plug)) != nullptr);
    }

    // Sources are grouped by class and keep their order within it (that
    // order carries meaning: children, materials by index, ...), while how
    // the classes interleave depends only on the order things were
    // connected. The scene's sources and every destination list are sorted.
    void Connections(std::string& out, const KPlug* plug, const std::string& indent, bool sortSources) {
        if (plug == nullptr) return;
        std::vector<std::string> sources;
        for (int i = 0; i < plug->GetSourceCount(); ++i)
            if (IsSceneEnd(plug->GetSource(i)))
                sources.push_back(PlugRef(plug->GetSource(i)) + " flags=" + Int(plug->GetSourceFlags(i)));
        if (sortSources) {
            std::sort(sources.begin(), sources.end());
        } else {
            std::stable_sort(sources.begin(), sources.end(), [](const std::string& a, const std::string& b) {
                return a.substr(0, a.find(' ')) < b.substr(0, b.find(' '));
            });
        }
        for (const std::string& s : sources) out += indent + "src " + s + "\n";
        std::vector<std::string> destinations;
        for (int i = 0; i < plug->GetDestinationCount(); ++i)
            if (IsSceneEnd(plug->GetDestination(i)))
                destinations.push_back(PlugRef(plug->GetDestination(i)) + " flags=" +
                                   Int(plug->GetDestinationFlags(i)));
        std::sort(destinations.begin(), destinations.end());
        for (const std::string& d : destinations) out += indent + "dst " + d + "\n";
    }

    // ---- scene ----------------------------------------------------------------

    void SceneFields(std::string& out) {
        out += "  root " + Ref(mScene.GetRootNode()) + "\n";
        out += "  cameraSwitcherNode " + Ref(mScene.GetCameraSwitcherNode()) + "\n";
        out += "  sceneInfo " + Ref(mScene.GetSceneInfo()) + "\n";
        out += "  globalSettings " + Ref(mScene.GetGlobalSettings()) + "\n";
        if (const KDuzGlobalLightSettings* light = mScene.GetGlobalLightSettings()) {
            out += "  light ambient=" + Color(light->GetAmbientColor()) + " fog=" + Bool(light->GetFogEnable()) +
                   " fogColor=" + Color(light->GetFogColor()) + " fogMode=" + Int(light->GetFogMode()) +
                   " density=" + Num(light->GetFogDensity()) + " start=" + Num(light->GetFogStart()) +
                   " end=" + Num(light->GetFogEnd()) + " shadows=" + Bool(light->GetCastShadows()) +
                   " shadowIntensity=" + Num(light->GetShadowIntensity()) + "\n";
            auto* mutableLight = const_cast<KDuzGlobalLightSettings*>(light);
            for (int i = 0; i < light->GetShadowPlaneCount(); ++i) {
                const KDuzShadowPlane* plane = mutableLight->GetShadowPlane(i);
                if (plane != nullptr)
                    out += "  shadowPlane " + Int(i) + " enable=" + Bool(plane->mEnable) + " origin=" +
                           Vec(plane->mOrigin) + " normal=" + Vec(plane->mNormal) + "\n";
            }
        }
        if (const KDuzGlobalCameraSettings* cameras = mScene.GetGlobalCameraSettings()) {
            out += "  cameras default=" + Quote(cameras->GetDefaultCamera()) +
                   " viewing=" + Int(cameras->GetDefaultViewingMode()) + "\n";
            for (int p = 0; p < 7; ++p)
                out += "  producer " + Int(p) + " node=" + Ref(cameras->GetProducerNode(p)) +
                       " camera=" + Ref(cameras->GetProducerCamera(p)) + "\n";
        }
        if (KDuzGlobalTimeSettings* time = mScene.GetGlobalTimeSettings()) {
            KDuzTimeSpan span = time->GetTimelineDefaultTimeSpan();
            out += "  time mode=" + Int(time->GetTimeMode()) + " format=" + Int(time->GetTimeFormat()) +
                   " snap=" + Int(time->GetSnapOnFrames()) + " span=" + Int(span.mStart.Get()) + "," +
                   Int(span.mStop.Get()) + " currentMarker=" + Int(time->GetCurrentTimeMarker()) + "\n";
            for (int i = 0; i < time->GetTimeMarkerCount(); ++i) {
                const KDuzTimeMarker* marker = time->GetTimeMarker(i);
                if (marker != nullptr)
                    out += "  marker " + Int(i) + " " + Quote(marker->mName) + " t=" + Int(marker->mTime.Get()) +
                           " loop=" + Bool(marker->mLoop) + "\n";
            }
        }
        if (!mOptions.includeTakes) return;
        out += "  currentTake " + Quote(mScene.GetCurrentTakeName()) + "\n";
        for (int i = 0; i < mScene.GetTakeDescriptionCount(); ++i) {
            const KDuzTakeDescription* take = mScene.GetTakeDescriptionAt(i);
            if (take == nullptr) continue;
            out += "  takeInfo " + Int(i) + " " + Quote(take->name) + " import=" + Quote(take->importName) +
                   " comments=" + Quote(take->comments) + " select=" + Bool(take->select) +
                   " local=" + Int(take->localStart.Get()) + "," + Int(take->localStop.Get()) +
                   " reference=" + Int(take->referenceStart.Get()) + "," + Int(take->referenceStop.Get()) +
                   " reserved=" + Int(take->reserved) + " second=" + Bool(take->secondFlag) +
                   " thumbnail=" + Ref(take->thumbnail) + "\n";
        }
    }

    void Tree(std::string& out, KDuzNode* node, int depth, int guard) {
        if (guard > 10000) return;
        out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + Ref(node) + "\n";
        for (int i = 0; i < node->GetChildCount(); ++i)
            if (KDuzNode* child = node->GetChild(i)) Tree(out, child, depth + 1, guard + 1);
    }

    // ---- objects ---------------------------------------------------------------

    void Body(std::string& out, KDuzObject* object, const std::string& in) {
        KStringList flags = object->GetTypeFlags();
        std::string flagText;
        for (int i = 0; i < flags.GetCount(); ++i) {
            flagText += i ? "," : "";
            flagText += Quote(flags.GetStringAt(i));
        }
        out += in + "class " + object->GetClassId().GetName() + " runtime=" +
               object->GetRuntimeClassId().GetName() + " kind=" + Int(object->GetNameKind()) +
               " type=" + Quote(object->GetTypeName()) + " typeFlags=[" + flagText + "]\n";
        out += in + "name current=" + Quote(object->GetName()) + " initial=" + Quote(object->GetInitialName()) +
               " extra=" + Quote(object->GetNameExtra()) + "\n";
        Properties(out, object, in);
        Connections(out, object->GetInternalObject(), in, object == &mScene);
        if (auto* node = dynamic_cast<KDuzNode*>(object)) Node(out, node, in);
        if (auto* attribute = dynamic_cast<KDuzNodeAttribute*>(object))
            out += in + "attribute type=" + Int(attribute->GetAttributeType()) + " node=" + Ref(attribute->GetNode()) + "\n";
        if (auto* null = dynamic_cast<KDuzNull*>(object))
            out += in + "null size=" + Num(null->GetSize()) + " sizeSet=" + Bool(null->IsSizeSet()) +
                   " look=" + Int(null->GetLook()) + "\n";
        if (auto* marker = dynamic_cast<KDuzMarker*>(object))
            out += in + "marker type=" + Int(marker->GetType()) + " look=" + Int(marker->GetLook()) +
                   " size=" + Num(marker->GetSize()) + " label=" + Bool(marker->GetShowLabel()) +
                   " ikPivot=" + Vec(marker->GetIKPivot()) + " color=" + Color(marker->GetColor()) +
                   " reachT=" + Num(marker->GetDefaultIKReachTranslation()) +
                   " reachR=" + Num(marker->GetDefaultIKReachRotation()) + "\n";
        if (auto* skeleton = dynamic_cast<KDuzSkeleton*>(object))
            out += in + "skeleton type=" + Int(skeleton->GetSkeletonType()) + "/" + Bool(skeleton->GetSkeletonTypeIsSet()) +
                   " limb=" + Num(skeleton->GetLimbLength()) + "/" + Bool(skeleton->GetLimbLengthIsSet()) +
                   " size=" + Num(skeleton->GetSize()) + "/" + Bool(skeleton->GetSizeIsSet()) +
                   " color=" + Color(skeleton->GetLimbNodeColor()) + "/" + Bool(skeleton->GetLimbNodeColorIsSet()) + "\n";
        if (auto* camera = dynamic_cast<KDuzCamera*>(object))
            out += in + "camera position=" + Vec(camera->GetPosition()) + " up=" + Vec(camera->GetUpVector()) +
                   " interest=" + Vec(camera->GetInterestPosition()) + " ortho=" + Num(camera->GetOrthoZoom()) +
                   " infoOnMoving=" + Bool(camera->GetShowInfoOnMoving()) +
                   " safeAreaOnRender=" + Bool(camera->GetDisplaySafeAreaOnRender()) +
                   " audio=" + Bool(camera->GetShowAudio()) + " audioColor=" + Color(camera->GetAudioColor()) +
                   " aaMethod=" + Int(camera->GetAntialiasingMethod()) +
                   " frameSampling=" + Int(camera->GetFrameSamplingType()) +
                   " backgroundMedia=" + Quote(camera->GetBackgroundMediaName()) +
                   " videoClipTexture=" + Quote(camera->GetVideoClipTextureName()) + "\n";
        if (auto* switcher = dynamic_cast<KDuzCameraSwitcher*>(object)) {
            out += in + "switcher default=" + Int(switcher->GetDefaultCameraIndex()) + "\n";
            for (int i = 0; i < switcher->GetCameraNameCount(); ++i)
                out += in + "switcherCamera " + Int(i) + " " + Quote(switcher->GetCameraName(i)) + "\n";
        }
        if (auto* light = dynamic_cast<KDuzLight*>(object))
            out += in + "light type=" + Int(light->GetLightType()) + " cast=" + Bool(light->GetCastLight()) +
                   " ground=" + Bool(light->GetGroundProjection()) + " volumetric=" + Bool(light->GetVolumetricLight()) +
                   " frontVolumetric=" + Bool(light->GetFrontVolumetricLight()) +
                   " file=" + Quote(light->GetFileName()) + "\n";
        if (auto* geometry = dynamic_cast<KDuzGeometryBase*>(object)) Geometry(out, geometry, in);
        Deformer(out, object, in);
        if (auto* texture = dynamic_cast<KDuzTexture*>(object))
            out += in + "texture file=" + Quote(texture->GetFileName()) +
                   " relative=" + Quote(texture->GetRelativeFileName()) +
                   " media=" + Quote(texture->GetMediaName()) + " textureType=" + Quote(texture->GetTextureType()) + "\n";
        if (auto* video = dynamic_cast<KDuzVideo*>(object))
            out += in + "video file=" + Quote(video->GetFileName()) + " relative=" + Quote(video->GetRelativeFileName()) +
                   " original=" + Quote(video->GetOriginalFilename()) + " mipmap=" + Bool(video->GetUseMipMap()) +
                   " originalFormat=" + Bool(video->GetOriginalFormat()) + "\n";
        if (auto* pose = dynamic_cast<KDuzPose*>(object)) {
            out += in + "pose bind=" + Bool(pose->IsBindPose()) + " rest=" + Bool(pose->IsRestPose()) +
                   " count=" + Int(pose->GetCount()) + "\n";
            for (int i = 0; i < pose->GetCount(); ++i) {
                KDuzObjectName name = pose->GetNodeName(i);
                out += in + "poseEntry " + Int(i) + " node=" + Ref(pose->GetNode(i)) +
                       " name=" + Quote(name.GetCurrentName()) + "/" + Quote(name.GetInitialName()) +
                       " local=" + Bool(pose->IsLocalMatrix(i)) + " matrix=" + Matrix(pose->GetMatrix(i)) + "\n";
            }
        }
        if (auto* thumbnail = dynamic_cast<KDuzThumbnail*>(object))
            out += in + "thumbnail format=" + Int(thumbnail->GetDataFormat()) + " size=" + Int(thumbnail->GetSize()) +
                   " bytes " + Bytes(thumbnail->GetThumbnailImage(), thumbnail->GetSizeInBytes()) + "\n";
        if (auto* info = dynamic_cast<KDuzSceneInfo*>(object))
            out += in + "sceneInfo thumbnail=" + Ref(info->GetSceneThumbnail()) + "\n";
        if (auto* settings = dynamic_cast<KDuzGlobalSettings*>(object))
            out += in + "systemUnit " + Num(settings->GetSystemUnit().GetScaleFactor()) + "\n";
        if (mOptions.includeTakes)
            if (auto* container = dynamic_cast<KDuzTakeNodeContainer*>(object)) Takes(out, container, in);
    }

    std::string Value(const KDuzProperty& property) {
        switch (property.GetValueKind()) {
        case eValueKindBool: {
            bool v = false;
            property.GetValue(&v, eValueKindBool);
            return Bool(v);
        }
        case eValueKindInt: {
            int v = 0;
            property.GetValue(&v, eValueKindInt);
            return Int(v);
        }
        case eValueKindFloat: {
            float v = 0;
            property.GetValue(&v, eValueKindFloat);
            return NumF(v);
        }
        case eValueKindDouble: {
            double v = 0;
            property.GetValue(&v, eValueKindDouble);
            return Num(v);
        }
        case eValueKindDouble3: {
            duzVectorTemplate3<double> v(0.0, 0.0, 0.0);
            property.GetValue(&v, eValueKindDouble3);
            return Vec(v.Buffer(), 3);
        }
        case eValueKindDouble4: {
            double v[4] = {0, 0, 0, 0};
            property.GetDouble4(v);
            return Vec(v, 4);
        }
        case eValueKindMatrix:
            return Matrix(property.GetMatrix());
        case eValueKindEnum: {
            int v = 0;
            property.GetValue(&v, eValueKindInt);
            std::string text = Int(v) + " enum=[";
            for (int i = 0; i < property.GetEnumCount(); ++i) {
                text += i ? "," : "";
                text += Quote(property.GetEnumValue(i));
            }
            return text + "]";
        }
        case eValueKindString: {
            KString v;
            property.GetValue(&v, eValueKindString);
            return Quote(v);
        }
        case eValueKindTime: {
            KTime v;
            property.GetValue(&v, eValueKindTime);
            return Int(v.Get());
        }
        case eValueKindBuffer: {
            KDuzOwnedBuffer v;
            property.GetValue(&v, eValueKindBuffer);
            return Bytes(v.data, v.length);
        }
        default:
            return "-";
        }
    }

    // The takes whose channel tree holds a curve node of the property, with
    // their key counts.
    std::string Animation(KDuzObject* object, const char* name) {
        if (!mOptions.includeTakes) return "";
        KDuzTakeNodeContainer* container = KDuzTakeNodeContainer::Of(object);
        if (container == nullptr) return "";
        std::string text;
        for (int t = 0; t < container->GetTakeNodeCount(); ++t) {
            KDuzTakeNode* take = container->GetTakeNodeAt(t);
            KFCurveNode* node = take ? KDuzTakeNodeContainer::FindPropertyCurveNode(take, name) : nullptr;
            if (node != nullptr) text += (text.empty() ? "" : ",") + Quote(take->GetName()) + ":" + Int(node->GetKeyCount());
        }
        return text.empty() ? "" : " anim=[" + text + "]";
    }

    void Properties(std::string& out, KDuzObject* object, const std::string& in) {
        std::unordered_set<const KProperty*> wrapped;
        for (int i = 0; i < object->GetPropertyCount(); ++i) {
            KDuzProperty property = object->GetPropertyAt(i);
            const KProperty* bound = property.GetBoundProperty();
            wrapped.insert(bound);
            // Fields at their usual value are left out to keep dumps small;
            // a missing field reads as that value.
            const std::string name = property.GetName();
            out += in + "property " + Quote(property.GetName()) + " type=" + Quote(property.GetDataType().GetName()) +
                   " kind=" + Int(property.GetValueKind()) + " flags=" + Hex(property.GetFlags());
            const std::string label = property.GetLabel().Buffer();
            if (label != name) out += " label=" + Quote(property.GetLabel());
            if (property.GetMinLimit() != 0.0 || std::signbit(property.GetMinLimit())) out += " min=" + Num(property.GetMinLimit());
            if (property.GetMaxLimit() != 100.0) out += " max=" + Num(property.GetMaxLimit());
            if (property.GetUserTag() != 0) out += " tag=" + Int(property.GetUserTag());
            if (bound != nullptr) {
                out += " info=" + Hex(static_cast<unsigned>(bound->GetInfo().flags)) +
                       " internalType=" + Int(bound->GetValueType());
                if (bound->GetPropertyFlags() != 0) out += " pflags=" + Hex(static_cast<unsigned>(bound->GetPropertyFlags()));
            } else {
                out += " unbound";
            }
            out += " value=" + Value(property) + Animation(object, property.GetName()) + "\n";
            Connections(out, bound, in + "  ", false);
        }
        // Internal properties no public handle wraps.
        if (const KObject* internal = object->GetInternalObject()) {
            for (int i = 0; i < internal->GetPropertyCount(); ++i) {
                KProperty* property = internal->GetProperty(i);
                if (property == nullptr || wrapped.count(property) != 0) continue;
                out += in + "internalProperty " + Quote(property->GetName()) +
                       " type=" + Int(property->GetValueType()) +
                       " info=" + Hex(static_cast<unsigned>(property->GetInfo().flags)) +
                       " value=" + Quote(property->ToString()) + "\n";
                Connections(out, property, in + "  ", false);
            }
        }
    }

    void Node(std::string& out, KDuzNode* node, const std::string& in) {
        out += in + "node parent=" + Ref(node->GetParent()) + " children=" + Int(node->GetChildCount()) + "\n";
        for (int i = 0; i < node->GetChildCount(); ++i) out += in + "child " + Int(i) + " " + Ref(node->GetChild(i)) + "\n";
        for (int i = 0; i < node->GetChildNameCount(); ++i)
            out += in + "childName " + Int(i) + " " + Quote(node->GetChildName(i)) + "\n";
        out += in + "attributes default=" + Int(node->GetDefaultNodeAttributeIndex()) + "\n";
        for (int i = 0; i < node->GetNodeAttributeCount(); ++i)
            out += in + "attribute " + Int(i) + " " + Ref(node->GetNodeAttributeByIndex(i)) + "\n";
        out += in + "nodeFields visibility=" + Bool(node->GetVisibility()) + " shading=" + Int(node->GetShadingMode()) +
               " multiLayer=" + Bool(node->GetMultiLayer()) + " multiTake=" + Int(node->GetMultiTake()) +
               " culling=" + Int(node->GetCullingType()) + " legacy=" + Bool(node->GetLegacyModel()) +
               " inherit=" + Int(node->GetTransformationInheritType()) +
               " rotationActive=" + Bool(node->GetRotationActive()) + "\n";
        out += in + "targets lookAt=" + Ref(node->GetLookAtTarget()) + " up=" + Ref(node->GetUpVectorTarget()) +
               " postTargetRotation=" + Vec(node->GetPostTargetRotation()) +
               " targetUp=" + Vec(node->GetTargetUpVector()) + "\n";
        for (int set = 0; set < 2; ++set) {
            const KDuzNodePivotSet* pivot = node->GetPivotSet(set);
            if (pivot == nullptr) continue;
            out += in + "pivot " + Int(set) + " rotOffset=" + Vec(pivot->rotationOffset) +
                   " rotPivot=" + Vec(pivot->rotationPivot) + " pre=" + Vec(pivot->preRotation) +
                   " post=" + Vec(pivot->postRotation) + " scaleOffset=" + Vec(pivot->scalingOffset) +
                   " scalePivot=" + Vec(pivot->scalingPivot) + " geoT=" + Vec(pivot->geometricTranslation) +
                   " geoR=" + Vec(pivot->geometricRotation) + " geoS=" + Vec(pivot->geometricScaling) +
                   " order=" + Int(pivot->rotationOrder) + " limitOnly=" + Bool(pivot->rotationSpaceForLimitOnly) +
                   " quaternion=" + Bool(pivot->quaternionInterpolate) + " state=" + Int(pivot->state) +
                   " pivotState=" + Int(node->GetPivotState(set)) + "\n";
        }
        if (KDuzNodeLimits* limits = node->GetLimits()) {
            static const char* const kNames[] = {"T", "R", "S"};
            for (int kind = 0; kind < 3; ++kind) {
                const KDuzLimits* l = limits->GetLimits(kind);
                if (l == nullptr) continue;
                bool minX, minY, minZ, maxX, maxY, maxZ;
                l->GetMinActive(minX, minY, minZ);
                l->GetMaxActive(maxX, maxY, maxZ);
                out += in + "limits " + kNames[kind] + " active=" + Bool(l->GetActive()) + " minActive=" +
                       Bool(minX) + Bool(minY) + Bool(minZ) + " maxActive=" + Bool(maxX) + Bool(maxY) + Bool(maxZ) +
                       " min=" + Vec(l->GetMin()) + " max=" + Vec(l->GetMax()) + "\n";
            }
        }
        for (int i = 0; i < node->GetCharacterLinkCount(); ++i) {
            const KDuzNodeCharacterLink* link = node->GetCharacterLink(i);
            if (link != nullptr)
                out += in + "characterLink " + Int(i) + " type=" + Int(link->type) + " index=" + Int(link->index) +
                       " extra=" + Int(link->extra) + "\n";
        }
    }

    void Geometry(std::string& out, KDuzGeometryBase* geometry, const std::string& in) {
        const KgeTVector* points = geometry->GetControlPoints();
        out += in + "controlPoints " + Int(geometry->GetControlPointsCount()) + "\n";
        for (int i = 0; i < geometry->GetControlPointsCount(); ++i)
            out += in + "cp " + Int(i) + " " + Vec(points[i]) + "\n";
        if (auto* shaped = dynamic_cast<KDuzGeometry*>(geometry)) {
            KgeMatrix pivot;
            shaped->GetPivot(pivot);
            out += in + "geometryPivot " + Matrix(pivot) + " shapes=" + Int(shaped->GetShapeCount()) + "\n";
            for (int i = 0; i < shaped->GetShapeCount(); ++i) {
                out += in + "shape " + Int(i) + " " + Quote(shaped->GetShapeName(i)) + "\n";
                if (KDuzShape* shape = shaped->GetShape(i)) ShapeContent(out, shape, in + "  ");
            }
        }
        if (auto* mesh = dynamic_cast<KDuzMesh*>(geometry)) {
            out += in + "mesh polygons=" + Int(mesh->GetPolygonCount()) +
                   " polygonVertices=" + Int(mesh->GetPolygonVertexArray().Count()) +
                   " edges=" + Int(mesh->GetMeshEdgeCount()) + " uv=" + Int(mesh->GetUCount()) + "," +
                   Int(mesh->GetVCount()) + " ext=" + Int(mesh->GetUExtendedCount()) + "," +
                   Int(mesh->GetVExtendedCount()) + " step=" + Int(mesh->GetUStep()) + "," + Int(mesh->GetVStep()) +
                   " closed=" + Bool(mesh->GetUClosed()) + Bool(mesh->GetVClosed()) +
                   " topCap=" + Bool(mesh->GetUTopCap()) + Bool(mesh->GetVTopCap()) + "\n";
            const KTypedArray<KDuzMeshPolygon>& polygons = mesh->GetPolygonArray();
            for (int p = 0; p < polygons.Count(); ++p) {
                std::string line = in + "polygon " + Int(p) + " group=" + Int(mesh->GetPolygonGroup(p)) + " [";
                const int size = mesh->GetPolygonSize(p);
                for (int v = 0; v < size; ++v) {
                    line += v ? " " : "";
                    line += Int(mesh->GetPolygonVertex(p, v));
                }
                out += line + "]\n";
            }
            const KTypedArray<int>& vertices = mesh->GetPolygonVertexArray();
            std::string line = in + "polygonVertexArray [";
            for (int i = 0; i < vertices.Count(); ++i) {
                line += i ? " " : "";
                line += Int(vertices[i]);
            }
            out += line + "]\n";
            line = in + "edgeArray [";
            for (int i = 0; i < mesh->GetMeshEdgeCount(); ++i) {
                line += i ? " " : "";
                line += Int(mesh->GetMeshEdge(i));
            }
            out += line + "]\n";
        }
        auto* layers = static_cast<KDuzLayerContainer*>(geometry);
        out += in + "layers " + Int(layers->GetLayerCount()) + "\n";
        for (int l = 0; l < layers->GetLayerCount(); ++l) {
            KDuzLayer* layer = layers->GetLayer(l);
            out += in + "layer " + Int(l) + (layer == nullptr ? " null" : "") + "\n";
            for (int s = 0; layer != nullptr && s < KDuzLayer::kSlotCount; ++s)
                if (KDuzLayerElement* element = layer->GetSlot(s)) Element(out, element, s, in + "  ");
        }
    }

    // A shape's points and its layer 0 normals.
    void ShapeContent(std::string& out, KDuzShape* shape, const std::string& in) {
        const KgeTVector* points = shape->GetControlPoints();
        out += in + "shapePoints " + Int(shape->GetControlPointsCount()) + "\n";
        for (int i = 0; i < shape->GetControlPointsCount(); ++i)
            out += in + "sp " + Int(i) + " " + NearVec(points[i].Data(), 3) + "\n";
        const KDuzLayer* layer = shape->GetLayer(0);
        const KDuzLayerElementNormal* normals = layer != nullptr ? layer->GetNormals() : nullptr;
        if (normals == nullptr) return;
        out += in + "shapeNormals mapping=" + Int(normals->GetMappingMode()) +
               " reference=" + Int(normals->GetReferenceMode()) + " " + Int(normals->GetDirectArray().Count()) + "\n";
        for (int i = 0; i < normals->GetDirectArray().Count(); ++i)
            out += in + "sn " + Int(i) + " " + NearVec(normals->GetDirectArray()[i].Data(), 3) + "\n";
    }

    void Deformer(std::string& out, KDuzObject* object, const std::string& in) {
        if (auto* deformer = dynamic_cast<KDuzDeformer*>(object))
            out += in + "deformer type=" + Int(deformer->GetDeformerType()) +
                   " multiLayer=" + Bool(deformer->GetMultiLayer()) + "\n";
        if (auto* skin = dynamic_cast<KDuzSkin*>(object)) {
            std::string line = in + "skin accuracy=" + Num(skin->GetDeformAccuracy()) + " clusters=[";
            for (int i = 0; i < skin->GetClusterCount(); ++i) line += (i ? " " : "") + Ref(skin->GetCluster(i));
            out += line + "]\n";
        }
        if (auto* cluster = dynamic_cast<KDuzCluster*>(object)) {
            out += in + "cluster mode=" + Int(cluster->GetLinkMode()) + " multiLayer=" +
                   Bool(cluster->GetMultiLayer()) + " userData=" + Quote(cluster->GetUserDataID().Buffer()) + "," +
                   Quote(cluster->GetUserData().Buffer()) + " link=" + Ref(cluster->GetLink()) +
                   " associate=" + Ref(cluster->GetAssociateModel()) +
                   " parentSet=" + Bool(cluster->IsTransformParentSet()) + "\n";
            std::string line = in + "clusterWeights [";
            for (int i = 0; i < cluster->GetControlPointIndicesCount(); ++i)
                line += (i ? " " : "") + Int(cluster->GetControlPointIndices()[i]) + ":" +
                        Num(cluster->GetControlPointWeights()[i]);
            out += line + "]\n";
            KgeMatrix m;
            out += in + "clusterTransform " + NearVec(cluster->GetTransformMatrix(m).Data(), 16) + "\n";
            out += in + "clusterLink " + NearVec(cluster->GetTransformLinkMatrix(m).Data(), 16) + "\n";
            if (cluster->GetAssociateModel() != nullptr)
                out += in + "clusterAssociate " + NearVec(cluster->GetTransformAssociateModelMatrix(m).Data(), 16) + "\n";
            if (cluster->IsTransformParentSet())
                out += in + "clusterParent " + NearVec(cluster->GetTransformParentMatrix(m).Data(), 16) + "\n";
        }
        if (auto* vertexCache = dynamic_cast<KDuzVertexCacheDeformer*>(object))
            out += in + "vertexCache channel=" + Quote(vertexCache->GetCacheChannel().Buffer()) +
                   " active=" + Bool(vertexCache->IsActive()) + " cache=" + Ref(vertexCache->GetCache()) + "\n";
        if (auto* cache = dynamic_cast<KDuzCache*>(object)) {
            KString relative, absolute;
            cache->GetCacheFileName(relative, absolute);
            out += in + "cache file=" + Quote(relative.Buffer()) + " absolute=" + Quote(absolute.Buffer()) +
                   " type=" + Int(cache->GetCacheFileType()) + "\n";
        }
        if (auto* map = dynamic_cast<KDuzGeometryWeightedMap*>(object)) {
            const KSparseWeightMatrix* mapping = map->GetMapping();
            if (mapping == nullptr) {
                out += in + "weightedMap none\n";
                return;
            }
            out += in + "weightedMap " + Int(mapping->GetRowCount(0)) + "x" + Int(mapping->GetRowCount(1)) + "\n";
            for (int row = 0; row < mapping->GetRowCount(0); ++row) {
                if (mapping->GetEntryCount(0, row) == 0) continue;
                std::string line = in + "mapRow " + Int(row) + " [";
                for (int e = 0; e < mapping->GetEntryCount(0, row); ++e) {
                    const KSparseWeightEntry* entry = mapping->GetEntry(0, row, e);
                    line += (e ? " " : "") + Int(entry->index) + ":" + Num(entry->value);
                }
                out += line + "]\n";
            }
        }
    }

    template <class T, class F>
    static std::string List(const KTypedArray<T>& array, F format) {
        std::string text = "[";
        for (int i = 0; i < array.Count(); ++i) {
            text += i ? " " : "";
            text += format(array[i]);
        }
        return text + "]";
    }

    void Element(std::string& out, KDuzLayerElement* element, int slot, const std::string& in) {
        out += in + "element slot=" + Int(slot) + " name=" + Quote(element->GetName()) +
               " mapping=" + KDuzMappingModeName(element->GetMappingMode()) + "(" + Int(element->GetMappingMode()) +
               ") reference=" + KDuzReferenceModeName(element->GetReferenceMode()) + "(" +
               Int(element->GetReferenceMode()) + ")\n";
        out += in + "  index " + List(element->GetIndexArray(), [](int v) { return Int(v); }) + "\n";
        std::string direct;
        if (auto* e = dynamic_cast<KDuzLayerElementNormal*>(element)) {
            direct = "normals " + List(e->GetDirectArray(), [](const KgeTVector& v) { return Vec(v); });
        } else if (auto* e = dynamic_cast<KDuzLayerElementMaterial*>(element)) {
            direct = "materials " + List(e->GetDirectArray(), [&](KDuzSurfaceMaterial* m) { return Ref(m); });
        } else if (auto* e = dynamic_cast<KDuzLayerElementPolygonGroup*>(element)) {
            direct = "groups " + List(e->GetDirectArray(), [](int v) { return Int(v); });
        } else if (auto* e = dynamic_cast<KDuzLayerElementUV*>(element)) {
            direct = "uvs " + List(e->GetDirectArray(), [](const KgeUVVector& v) {
                         const double d[2] = {v.mU, v.mV};
                         return Vec(d, 2);
                     });
        } else if (auto* e = dynamic_cast<KDuzLayerElementVertexColor*>(element)) {
            direct = "colors " + List(e->GetDirectArray(), [](const KDuzRGBAColor& c) { return Color(c); });
        } else if (auto* e = dynamic_cast<KDuzLayerElementSmoothing*>(element)) {
            direct = "smoothing " + List(e->GetDirectArray(), [](bool v) { return Bool(v); });
        } else if (auto* e = dynamic_cast<KDuzLayerElementVisibility*>(element)) {
            direct = "visibility " + List(e->GetDirectArray(), [](bool v) { return Bool(v); });
        } else if (auto* e = dynamic_cast<KDuzLayerElementTexture*>(element)) {
            out += in + "  texture channel=" + Quote(e->GetChannelTag().GetName()) + " blend=" + Int(e->GetBlendMode()) +
                   " alpha=" + Num(e->GetAlpha()) + "\n";
            direct = "textures " + List(e->GetDirectArray(), [&](KDuzTexture* t) { return Ref(t); });
        } else if (auto* e = dynamic_cast<KDuzLayerElementUserData*>(element)) {
            out += in + "  userData id=" + Int(e->GetId()) + " attributes=" + Int(e->GetAttributeCount()) + "\n";
            for (int a = 0; a < e->GetAttributeCount(); ++a) {
                const PropertyDataType type = e->GetDataType(a);
                const KDynamicArray* values = e->GetDirectArrayOf(a);
                std::string line = in + "  userAttribute " + Int(a) + " " + Quote(e->GetDataName(a)) +
                                   " type=" + Quote(type.GetName()) + " kind=" + Int(type.GetValueKind()) + " [";
                const int size = KDuzLayerElementUserData::ValueSizeOfKind(type.GetValueKind());
                for (int i = 0; values != nullptr && size > 0 && i < values->Count(); ++i) {
                    const unsigned char* at = static_cast<const unsigned char*>(values->Data()) +
                                              static_cast<std::size_t>(i) * static_cast<std::size_t>(size);
                    if (i) line += " ";
                    switch (type.GetValueKind()) {
                    case eValueKindBool: line += Bool(*at != 0); break;
                    case eValueKindInt: { int v; std::memcpy(&v, at, 4); line += Int(v); break; }
                    case eValueKindFloat: { float v; std::memcpy(&v, at, 4); line += NumF(v); break; }
                    case eValueKindDouble: { double v; std::memcpy(&v, at, 8); line += Num(v); break; }
                    default: line += "?"; break;
                    }
                }
                out += line + "]\n";
            }
            return;
        } else {
            direct = "unknown element";
        }
        out += in + "  direct " + direct + "\n";
    }

    // ---- animation ----------------------------------------------------------------

    void Takes(std::string& out, KDuzTakeNodeContainer* container, const std::string& in) {
        if (container->GetTakeNodeCount() == 0) return;
        out += in + "takes count=" + Int(container->GetTakeNodeCount()) +
               " current=" + Int(container->GetCurrentTakeNodeIndex()) + "\n";
        for (int t = 0; t < container->GetTakeNodeCount(); ++t) {
            KDuzTakeNode* take = container->GetTakeNodeAt(t);
            if (take == nullptr) continue;
            out += in + "take " + Int(t) + " " + Quote(take->GetName()) + "\n";
            if (take->GetCurveNode() != nullptr) CurveNode(out, take->GetCurveNode(), in + "  ", 0);
        }
    }

    void CurveNode(std::string& out, KFCurveNode* node, const std::string& in, int depth) {
        if (depth > kFCurveNodeMaxDepth) {
            out += in + "curveNode too deep\n";
            return;
        }
        const KDataType* type = node->GetDataType();
        // Fields at their usual value are left out, as for properties.
        std::string line = in + "curveNode " + Quote(node->GetName()) + " flags=" + Hex(static_cast<unsigned>(node->GetFlags()));
        if (std::string(node->GetName() ? node->GetName() : "") != (node->GetTypeName() ? node->GetTypeName() : "")) line += " type=" + Quote(node->GetTypeName());
        if (type != nullptr) line += " dataType=" + Quote(type->GetName());
        if (node->GetUserTag() != 0) line += " tag=" + Int(node->GetUserTag());
        if (node->GetLayerType() != 0) line += " layerType=" + Int(node->GetLayerType());
        if (node->GetLayerId() != 0) line += " layerId=" + Int(node->GetLayerId());
        if (node->GetRotationOrder() != 0) line += " rotationOrder=" + Int(node->GetRotationOrder());
        if (node->GetQuaternionInterpolation()) line += " quaternion=1";
        if (node->GetTemplate() != nullptr) line += " template=" + Quote(node->GetTemplate()->GetName());
        if (node->GetTimeWarp() != nullptr) line += " timeWarp=" + Quote(node->GetTimeWarp()->GetName());
        if (node->GetProperty() != nullptr) line += " property=" + PlugRef(node->GetProperty());
        out += line + "\n";
        if (KFCurve* curve = node->GetCurve()) Curve(out, curve, in + "  ");
        if (KFCurveNode* layer = node->GetLayer()) {
            out += in + "  layerNode\n";
            CurveNode(out, layer, in + "    ", depth + 1);
        }
        for (int i = 0; i < node->GetChildCount(); ++i)
            if (KFCurveNode* child = node->GetChild(i)) CurveNode(out, child, in + "  ", depth + 1);
    }

    static void Curve(std::string& out, KFCurve* curve, const std::string& in) {
        const float* color = curve->GetColor();
        out += in + "curve default=" + NumF(curve->GetDefaultValue()) + " color=(" + NumF(color[0]) + " " +
               NumF(color[1]) + " " + NumF(color[2]) + ") pre=" + Int(curve->GetPreExtrapolation()) + "/" +
               Int(curve->GetPreExtrapolationCount()) + " post=" + Int(curve->GetPostExtrapolation()) + "/" +
               Int(curve->GetPostExtrapolationCount()) + " keys=" + Int(curve->KeyGetCount()) + "\n";
        for (int k = 0; k < curve->KeyGetCount(); ++k) {
            const KFCurveKey key = curve->KeyGet(k);
            out += in + "  key " + Int(k) + " t=" + Int(key.mTime) + " v=" + NumF(key.mValue) +
                   " flags=" + Hex(key.mFlags) + " interp=" + Hex(key.GetInterpolation()) +
                   " tangent=" + Hex(key.GetTangentMode(true)) + " data=" + NumF(key.mData[0]) + "," +
                   NumF(key.mData[1]) + " weight=" + Int(key.mWeight[0]) + "," + Int(key.mWeight[1]) +
                   " velocity=" + Int(key.mVelocity[0]) + "," + Int(key.mVelocity[1]) + "\n";
        }
    }

    KDuzScene& mScene;
    SceneDumpOptions mOptions;
    std::vector<KDuzObject*> mObjects;
    std::vector<KDuzObject*> mQueue;
    std::unordered_set<const KDuzObject*> mSeen;
    std::unordered_map<const KDuzObject*, std::string> mIds;
    bool mSignatureMode = false;
    std::unordered_map<const KDuzObject*, std::string> mPlaces;
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::string DumpScene(duzsdk::KDuzScene& scene, const SceneDumpOptions& options) {
    return Dumper(scene, options).Run();
}

std::string DiffDumps(const std::string& expected, const std::string& actual) {
    if (expected == actual) return "";
    const std::vector<std::string> a = SplitLines(expected);
    const std::vector<std::string> b = SplitLines(actual);
    std::size_t first = 0;
    while (first < a.size() && first < b.size() && a[first] == b[first]) ++first;
    // The common tail bounds the differing block.
    std::size_t tailA = a.size(), tailB = b.size();
    while (tailA > first && tailB > first && a[tailA - 1] == b[tailB - 1]) {
        --tailA;
        --tailB;
    }
    constexpr std::size_t kContext = 3;
    constexpr std::size_t kShown = 12;
    std::string out = "dumps differ at line " + std::to_string(first + 1) + " (expected " +
                      std::to_string(a.size()) + " lines, actual " + std::to_string(b.size()) + ")\n";
    if (a.size() == b.size() && a.size() == first) out += "  (only the final newline differs)\n";
    for (std::size_t i = first > kContext ? first - kContext : 0; i < first; ++i)
        out += "  " + std::to_string(i + 1) + "  " + a[i] + "\n";
    for (std::size_t i = first; i < tailA && i < first + kShown; ++i)
        out += "- " + std::to_string(i + 1) + "  " + a[i] + "\n";
    if (tailA - first > kShown) out += "- ... " + std::to_string(tailA - first - kShown) + " more\n";
    for (std::size_t i = first; i < tailB && i < first + kShown; ++i)
        out += "+ " + std::to_string(i + 1) + "  " + b[i] + "\n";
    if (tailB - first > kShown) out += "+ ... " + std::to_string(tailB - first - kShown) + " more\n";
    for (std::size_t i = tailA; i < a.size() && i < tailA + kContext; ++i)
        out += "  " + std::to_string(i + 1) + "  " + a[i] + "\n";
    return out;
}

}  // namespace duztest
