// A structural comparison of two scenes for the writer's round trips: nodes
// by their place in the tree, attributes, meshes with every layer element,
// materials, textures, videos, poses, global settings and the curves of
// every take. Each difference is one line naming where it was found.
#pragma once

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KDynamicArray.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/geometry/KDuzVideo.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzGenericNode.h"
#include "sdk/scene/KDuzGlobalCameraSettings.h"
#include "sdk/scene/KDuzGlobalSettings.h"
#include "sdk/scene/KDuzGlobalLightSettings.h"
#include "sdk/scene/KDuzGlobalTimeSettings.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzTakeDescription.h"

namespace duztest {

class SceneCompare {
public:
    // ASCII files keep 15 significant digits of a double.
    explicit SceneCompare(double tolerance) : mTolerance(tolerance) {}

    // Properties that may differ, by name (with the reason in the caller).
    std::set<std::string> ignoredProperties;

    std::vector<std::string> Compare(duzsdk::KDuzScene& a, duzsdk::KDuzScene& b) {
        mDifferences.clear();
        Number("scene nodes", a.GetNodeCount(), b.GetNodeCount());
        CompareNodes(a.GetRootNode(), b.GetRootNode(), "root", true);
        Number("generic nodes", a.GetGenericNodeCount(), b.GetGenericNodeCount());
        for (int i = 0; i < a.GetGenericNodeCount(); ++i) {
            duzsdk::KDuzGenericNode* x = a.GetGenericNode(i);
            duzsdk::KDuzGenericNode* y = b.FindGenericNode(x->GetName());
            if (y == nullptr)
                Differ(std::string("generic node ") + x->GetName(), "missing");
            else
                CompareProperties(std::string("generic node ") + x->GetName(), x, y);
        }
        CompareShading(a, b);
        ComparePoses(a, b);
        CompareSettings(a, b);
        CompareTakes(a, b);
        return mDifferences;
    }

private:
    void Differ(const std::string& where, const std::string& what) { mDifferences.push_back(where + ": " + what); }

    bool Near(double x, double y) const {
        if (x == y) return true;
        if (std::isnan(x) && std::isnan(y)) return true;
        return std::fabs(x - y) <= mTolerance * std::max(1.0, std::max(std::fabs(x), std::fabs(y)));
    }

    void Number(const std::string& where, double x, double y) {
        if (!Near(x, y)) Differ(where, std::to_string(x) + " != " + std::to_string(y));
    }

    void Text(const std::string& where, const char* x, const char* y) {
        const std::string sx = x != nullptr ? x : "";
        const std::string sy = y != nullptr ? y : "";
        if (sx != sy) Differ(where, "\"" + sx + "\" != \"" + sy + "\"");
    }

    void CompareProperty(const std::string& where, const duzsdk::KDuzProperty& x, const duzsdk::KDuzProperty& y) {
        using namespace duzsdk;
        const int kind = x.GetValueKind();
        // Specified: a type that no file type name stands for is written as
        // "unknown" without a value (a plain stream property).
        if (kind == eValueKindBuffer && !x.GetFlag(kDuzPropertyAnimatable)) return;
        if (kind != y.GetValueKind()) {
            Differ(where, "value kind " + std::to_string(kind) + " != " + std::to_string(y.GetValueKind()));
            return;
        }
        if (x.GetFlags() != y.GetFlags())
            Differ(where, "flags " + std::to_string(x.GetFlags()) + " != " + std::to_string(y.GetFlags()));
        switch (kind) {
            case eValueKindFloat: {
                // ASCII files keep six decimals of a float.
                const double fx = x.GetDouble();
                const double fy = y.GetDouble();
                if (fx != fy && !(mTolerance > 0.0 && std::fabs(fx - fy) <= 5e-7 + 1e-6 * std::fabs(fx)))
                    Differ(where, std::to_string(fx) + " != " + std::to_string(fy));
                break;
            }
            case eValueKindBool: case eValueKindInt: case eValueKindEnum:
            case eValueKindDouble: Number(where, x.GetDouble(), y.GetDouble()); break;
            case eValueKindDouble3: case eValueKindDouble4: case eValueKindMatrix: {
                double vx[16] = {};
                double vy[16] = {};
                x.GetValue(vx, kind);
                y.GetValue(vy, kind);
                const int n = kind == eValueKindDouble3 ? 3 : kind == eValueKindDouble4 ? 4 : 16;
                for (int i = 0; i < n; ++i) Number(where + "[" + std::to_string(i) + "]", vx[i], vy[i]);
                break;
            }
            case eValueKindString: Text(where, x.GetString().Buffer(), y.GetString().Buffer()); break;
            case eValueKindTime:
                if (x.GetTime().Get() != y.GetTime().Get()) Differ(where, "time differs");
                break;
            default: break;
        }
        if (kind == eValueKindEnum && x.GetFlag(kDuzPropertyUser)) {
            // Specified: the items travel joined by "~", so they compare as that text.
            auto joined = [](const KDuzProperty& p) {
                std::string text;
                for (int i = 0; i < p.GetEnumCount(); ++i) {
                    if (i > 0) text += "~";
                    text += p.GetEnumValue(i) != nullptr ? p.GetEnumValue(i) : "";
                }
                return text;
            };
            // Specified: a reader takes a trailing "~" as the end of the list,
            // so trailing empty items are not read back.
            auto trimmed = [&](const KDuzProperty& p) {
                std::string text = joined(p);
                while (!text.empty() && text.back() == '~') text.pop_back();
                return text;
            };
            if (trimmed(x) != trimmed(y)) Differ(where, "enumeration items differ");
        }
        if (x.GetFlag(kDuzPropertyUser) && x.GetFlag(kDuzPropertyAnimatable) &&
            (kind == eValueKindInt || kind == eValueKindDouble)) {
            // Specified: an integer's limits are stored as integers
            // (truncated; clamped to the int range).
            auto stored = [kind](double limit) {
                if (kind != eValueKindInt) return limit;
                if (std::isnan(limit)) return 0.0;
                return std::trunc(std::max(-2147483648.0, std::min(2147483647.0, limit)));
            };
            Number(where + " min", stored(x.GetMinLimit()), y.GetMinLimit());
            Number(where + " max", stored(x.GetMaxLimit()), y.GetMaxLimit());
        }
    }

    void CompareProperties(const std::string& where, duzsdk::KDuzObject* x, duzsdk::KDuzObject* y) {
        for (int i = 0; i < x->GetPropertyCount(); ++i) {
            const duzsdk::KDuzProperty property = x->GetPropertyAt(i);
            if (!property.IsValid() || ignoredProperties.count(property.GetName()) != 0) continue;
            const duzsdk::KDuzProperty other = y->FindProperty(property.GetName());
            const std::string at = where + " property " + property.GetName();
            if (!other.IsValid())
                Differ(at, "missing");
            else
                CompareProperty(at, property, other);
        }
    }

    template <class Array, class Same>
    void Arrays(const std::string& where, const Array& x, const Array& y, Same same) {
        if (x.Count() != y.Count()) {
            Differ(where, "count " + std::to_string(x.Count()) + " != " + std::to_string(y.Count()));
            return;
        }
        for (int i = 0; i < x.Count(); ++i)
            if (!same(x[i], y[i])) {
                Differ(where, "entry " + std::to_string(i));
                return;
            }
    }

    // Whether the layout stores an element in its reference mode at all.
    static bool Stored(const duzsdk::KDuzLayerElement* element) {
        using namespace duzsdk;
        const int mode = element->GetReferenceMode();
        if (dynamic_cast<const KDuzLayerElementPolygonGroup*>(element) != nullptr) return mode != KDuzLayerElement::eDirect;
        if (dynamic_cast<const KDuzLayerElementVertexColor*>(element) != nullptr) return mode != KDuzLayerElement::eIndex;
        if (dynamic_cast<const KDuzLayerElementUV*>(element) != nullptr) return mode != KDuzLayerElement::eIndex;
        if (dynamic_cast<const KDuzLayerElementTexture*>(element) != nullptr)
            return mode != KDuzLayerElement::eDirect && element->GetIndexArray().Count() > 0;
        if (dynamic_cast<const KDuzLayerElementMaterial*>(element) != nullptr) return mode != KDuzLayerElement::eDirect;
        return true;
    }

    // Whether the layout stores the element's index array.
    static bool IndicesStored(const duzsdk::KDuzLayerElement* element) {
        using namespace duzsdk;
        const int mode = element->GetReferenceMode();
        if (dynamic_cast<const KDuzLayerElementPolygonGroup*>(element) != nullptr) return true;
        if (dynamic_cast<const KDuzLayerElementNormal*>(element) != nullptr ||
            dynamic_cast<const KDuzLayerElementSmoothing*>(element) != nullptr ||
            dynamic_cast<const KDuzLayerElementVisibility*>(element) != nullptr)
            return false;
        return mode == KDuzLayerElement::eIndexToDirect;
    }

    void CompareElement(const std::string& where, int slot, const duzsdk::KDuzLayerElement* x,
                        const duzsdk::KDuzLayerElement* y, duzsdk::KDuzNode* nodeX, duzsdk::KDuzNode* nodeY) {
        using namespace duzsdk;
        // Specified: elements in a mode the layout cannot hold are not
        // written, and their place in the layer refers to element 0 of the kind.
        if (x != nullptr && !Stored(x)) return;
        if ((x == nullptr) != (y == nullptr)) {
            Differ(where, x == nullptr ? "unexpected element" : "element missing");
            return;
        }
        if (x == nullptr) return;
        Text(where + " name", x->GetName(), y->GetName());
        Number(where + " mapping", x->GetMappingMode(), y->GetMappingMode());
        // Specified: a smoothing element keeps the reference mode it was
        // made with; material and texture elements are read back index-to-direct.
        const bool resolved = dynamic_cast<const KDuzLayerElementMaterial*>(x) != nullptr ||
                              dynamic_cast<const KDuzLayerElementTexture*>(x) != nullptr;
        if (dynamic_cast<const KDuzLayerElementSmoothing*>(x) == nullptr && !resolved)
            Number(where + " reference", x->GetReferenceMode(), y->GetReferenceMode());
        // Material and texture elements are compared by the object each index
        // names: a reader rebuilds their direct arrays in order of first use.
        if (!resolved && IndicesStored(x)) {
            // Specified: a reader stores an index past a UV or colour
            // element's direct array as -1.
            int directCount = -1;
            if (auto* uv = dynamic_cast<const KDuzLayerElementUV*>(x)) directCount = uv->GetDirectArray().Count();
            if (auto* c = dynamic_cast<const KDuzLayerElementVertexColor*>(x)) directCount = c->GetDirectArray().Count();
            Arrays(where + " indices", x->GetIndexArray(), y->GetIndexArray(), [directCount](int a, int b) {
                return (directCount >= 0 && (a < 0 || a >= directCount) ? -1 : a) == b;
            });
        }
        if (auto* m = dynamic_cast<const KDuzLayerElementMaterial*>(x))
            ResolvedNames(where + " materials", *m, *static_cast<const KDuzLayerElementMaterial*>(y), nodeX, nodeY,
                          KDuzSurfaceMaterial::ClassId());
        if (auto* t = dynamic_cast<const KDuzLayerElementTexture*>(x)) {
            auto* other = static_cast<const KDuzLayerElementTexture*>(y);
            ResolvedNames(where + " textures", *t, *other, nodeX, nodeY, KDuzTexture::ClassId());
            Number(where + " blend", t->GetBlendMode(), other->GetBlendMode());
            Number(where + " alpha", t->GetAlpha(), other->GetAlpha());
        }
        auto vectors = [&](const KgeTVector& a, const KgeTVector& b) {
            return Near(a[0], b[0]) && Near(a[1], b[1]) && Near(a[2], b[2]);
        };
        if (auto* n = dynamic_cast<const KDuzLayerElementNormal*>(x))
            Arrays(where + " normals", n->GetDirectArray(),
                   static_cast<const KDuzLayerElementNormal*>(y)->GetDirectArray(), vectors);
        if (auto* uv = dynamic_cast<const KDuzLayerElementUV*>(x))
            Arrays(where + " uvs", uv->GetDirectArray(), static_cast<const KDuzLayerElementUV*>(y)->GetDirectArray(),
                   [&](const KgeUVVector& a, const KgeUVVector& b) { return Near(a[0], b[0]) && Near(a[1], b[1]); });
        if (auto* c = dynamic_cast<const KDuzLayerElementVertexColor*>(x))
            Arrays(where + " colors", c->GetDirectArray(),
                   static_cast<const KDuzLayerElementVertexColor*>(y)->GetDirectArray(),
                   [&](const KDuzRGBAColor& a, const KDuzRGBAColor& b) {
                       return Near(a.mRed, b.mRed) && Near(a.mGreen, b.mGreen) && Near(a.mBlue, b.mBlue) &&
                              Near(a.mAlpha, b.mAlpha);
                   });
        auto flags = [](bool a, bool b) { return a == b; };
        if (auto* s = dynamic_cast<const KDuzLayerElementSmoothing*>(x))
            Arrays(where + " smoothing", s->GetDirectArray(),
                   static_cast<const KDuzLayerElementSmoothing*>(y)->GetDirectArray(), flags);
        if (auto* v = dynamic_cast<const KDuzLayerElementVisibility*>(x))
            Arrays(where + " visibility", v->GetDirectArray(),
                   static_cast<const KDuzLayerElementVisibility*>(y)->GetDirectArray(), flags);
        if (auto* u = dynamic_cast<const KDuzLayerElementUserData*>(x)) {
            auto* other = static_cast<const KDuzLayerElementUserData*>(y);
            Number(where + " user id", u->GetId(), other->GetId());
            Number(where + " user columns", u->GetAttributeCount(), other->GetAttributeCount());
            for (int a = 0; a < u->GetAttributeCount() && a < other->GetAttributeCount(); ++a) {
                Text(where + " user column name", u->GetDataName(a), other->GetDataName(a));
                const KDynamicArray* ax = u->GetDirectArrayOf(a);
                const KDynamicArray* ay = other->GetDirectArrayOf(a);
                if (ax == nullptr || ay == nullptr || ax->Count() != ay->Count() ||
                    ax->ElementSize() != ay->ElementSize()) {
                    Differ(where + " user column " + std::to_string(a), "sizes differ");
                    continue;
                }
                const int kind = u->GetDataType(a).GetValueKind();
                const bool floats = kind == eValueKindFloat;
                for (int j = 0; j < ax->Count(); ++j) {
                    const auto* px = static_cast<const unsigned char*>(ax->Data()) + j * ax->ElementSize();
                    const auto* py = static_cast<const unsigned char*>(ay->Data()) + j * ay->ElementSize();
                    bool same = std::memcmp(px, py, static_cast<size_t>(ax->ElementSize())) == 0;
                    if (!same && floats) {
                        // ASCII files keep six decimals of a float.
                        float fx, fy;
                        std::memcpy(&fx, px, sizeof fx);
                        std::memcpy(&fy, py, sizeof fy);
                        same = mTolerance > 0.0 && std::fabs(fx - fy) <= 5e-7 + 1e-6 * std::fabs(fx);
                    }
                    if (!same && kind == eValueKindDouble) {
                        double dx, dy;
                        std::memcpy(&dx, px, sizeof dx);
                        std::memcpy(&dy, py, sizeof dy);
                        same = Near(dx, dy);
                    }
                    if (!same) {
                        Differ(where + " user column " + std::to_string(a), "value " + std::to_string(j));
                        break;
                    }
                }
            }
        }
        (void)slot;
    }

    template <class Element>
    static std::vector<std::string> Resolve(const Element& element) {
        std::vector<std::string> names;
        const auto& direct = element.GetDirectArray();
        for (int index : element.GetIndexArray())
            names.push_back(index >= 0 && index < direct.Count() && direct[index] != nullptr ? direct[index]->GetName()
                                                                                               : "-");
        return names;
    }

    // What each index names: in index mode a position among the node's
    // connected objects, else an entry of the direct array.
    template <class Element>
    static std::vector<std::string> Resolve(const Element& element, duzsdk::KDuzNode* node,
                                            const duzsdk::KClassId& classId) {
        if (element.GetReferenceMode() != duzsdk::KDuzLayerElement::eIndex) return Resolve(element);
        std::vector<std::string> names;
        const int count = node != nullptr ? node->GetSrcObjectCount(classId) : 0;
        for (int index : element.GetIndexArray())
            names.push_back(index >= 0 && index < count ? node->GetSrcObject(classId, index)->GetName() : "-");
        return names;
    }

    template <class Element>
    void ResolvedNames(const std::string& where, const Element& x, const Element& y, duzsdk::KDuzNode* nodeX,
                       duzsdk::KDuzNode* nodeY, const duzsdk::KClassId& classId) {
        std::vector<std::string> nx = Resolve(x, nodeX, classId);
        const std::vector<std::string> ny = Resolve(y, nodeY, classId);
        // Specified: all-the-same materials keep one value.
        if (x.GetMappingMode() == duzsdk::KDuzLayerElement::eAllSame && nx.size() > 1 &&
            std::is_same_v<Element, duzsdk::KDuzLayerElementMaterial>)
            nx.resize(1);
        if (nx != ny) {
            std::string text = "objects named by the indices differ:";
            for (const std::string& n : nx) text += " " + n;
            text += " /";
            for (const std::string& n : ny) text += " " + n;
            Differ(where, text);
        }
    }

    void CompareMesh(const std::string& where, duzsdk::KDuzMesh* x, duzsdk::KDuzMesh* y, duzsdk::KDuzNode* nodeX,
                     duzsdk::KDuzNode* nodeY) {
        using namespace duzsdk;
        Arrays(where + " points", x->GetControlPointArray(), y->GetControlPointArray(),
               [&](const KgeTVector& a, const KgeTVector& b) {
                   return Near(a[0], b[0]) && Near(a[1], b[1]) && Near(a[2], b[2]);
               });
        Arrays(where + " corners", x->GetPolygonVertexArray(), y->GetPolygonVertexArray(),
               [](int a, int b) { return a == b; });
        Arrays(where + " polygons", x->GetPolygonArray(), y->GetPolygonArray(),
               [](const KDuzMeshPolygon& a, const KDuzMeshPolygon& b) {
                   return a.mStart == b.mStart && a.mSize == b.mSize;
               });
        // Specified: a mesh without control points keeps no edges or layers.
        if (x->GetControlPointsCount() == 0) return;
        Number(where + " edges", x->GetMeshEdgeCount(), y->GetMeshEdgeCount());
        // Specified: a layer without any element is not written, and the
        // layers after it move up.
        std::vector<KDuzLayer*> layers;
        for (int l = 0; l < x->GetLayerCount(); ++l) {
            KDuzLayer* layer = x->GetLayer(l);
            bool any = false;
            for (int s = 0; layer != nullptr && s < KDuzLayer::kSlotCount; ++s) any = any || layer->GetSlot(s) != nullptr;
            if (any) layers.push_back(layer);
        }
        Number(where + " layers", static_cast<double>(layers.size()), y->GetLayerCount());
        for (int l = 0; l < static_cast<int>(layers.size()) && l < y->GetLayerCount(); ++l)
            for (int s = 0; s < KDuzLayer::kSlotCount; ++s)
                CompareElement(where + " layer " + std::to_string(l) + " slot " + std::to_string(s), s,
                               layers[static_cast<size_t>(l)]->GetSlot(s), y->GetLayer(l)->GetSlot(s), nodeX, nodeY);
    }

    void CompareNodes(duzsdk::KDuzNode* x, duzsdk::KDuzNode* y, const std::string& where, bool root) {
        using namespace duzsdk;
        if (x == nullptr || y == nullptr) {
            if (x != y) Differ(where, "node missing");
            return;
        }
        if (!root) {
            Text(where + " name", x->GetName(), y->GetName());
            Number(where + " visibility", x->GetVisibility(), y->GetVisibility());
            Number(where + " shading", x->GetShadingMode(), y->GetShadingMode());
            Number(where + " culling", x->GetCullingType(), y->GetCullingType());
            Number(where + " multi-layer", x->GetMultiLayer(), y->GetMultiLayer());
            Number(where + " multi-take", x->GetMultiTake(), y->GetMultiTake());
            CompareProperties(where, x, y);
            KDuzObject* ax = x->GetNodeAttribute();
            KDuzObject* ay = y->GetNodeAttribute();
            Number(where + " attribute type", KDuzNode::GetAttributeTypeOf(ax), KDuzNode::GetAttributeTypeOf(ay));
            if (ax != nullptr && ay != nullptr && KDuzNode::GetAttributeTypeOf(ax) == KDuzNode::GetAttributeTypeOf(ay)) {
                CompareProperties(where + " attribute", ax, ay);
                if (auto* mesh = dynamic_cast<KDuzMesh*>(ax)) CompareMesh(where, mesh, static_cast<KDuzMesh*>(ay), x, y);
            }
            const int mx = x->GetSrcObjectCount(KDuzSurfaceMaterial::ClassId());
            Number(where + " materials", mx, y->GetSrcObjectCount(KDuzSurfaceMaterial::ClassId()));
            for (int i = 0; i < mx; ++i) {
                KDuzObject* m = y->GetSrcObject(KDuzSurfaceMaterial::ClassId(), i);
                Text(where + " material " + std::to_string(i), x->GetSrcObject(KDuzSurfaceMaterial::ClassId(), i)->GetName(),
                     m != nullptr ? m->GetName() : "");
            }
            Number(where + " textures", x->GetSrcObjectCount(KDuzTexture::ClassId()),
                   y->GetSrcObjectCount(KDuzTexture::ClassId()));
        }
        Number(where + " children", x->GetChildCount(), y->GetChildCount());
        for (int i = 0; i < x->GetChildCount() && i < y->GetChildCount(); ++i)
            CompareNodes(x->GetChild(i), y->GetChild(i), where + "/" + x->GetChild(i)->GetName(), false);
    }

    void CompareShading(duzsdk::KDuzScene& a, duzsdk::KDuzScene& b) {
        using namespace duzsdk;
        Number("materials", a.GetMaterialCount(), b.GetMaterialCount());
        for (int i = 0; i < a.GetMaterialCount(); ++i) {
            KDuzObject* x = a.GetMaterial(i);
            KDuzObject* y = b.FindMaterial(x->GetName());
            const std::string where = std::string("material ") + x->GetName();
            if (y == nullptr) {
                Differ(where, "missing");
                continue;
            }
            Number(where + " class", x->GetClassId() == y->GetClassId(), 1);
            CompareProperties(where, x, y);
        }
        Number("textures", a.GetTextureCount(), b.GetTextureCount());
        for (int i = 0; i < a.GetTextureCount(); ++i) {
            auto* x = static_cast<KDuzTexture*>(a.GetTexture(i));
            auto* y = static_cast<KDuzTexture*>(b.FindTexture(x->GetName()));
            const std::string where = std::string("texture ") + x->GetName();
            if (y == nullptr) {
                Differ(where, "missing");
                continue;
            }
            Text(where + " file", x->GetFileName(), y->GetFileName());
            Text(where + " relative file", x->GetRelativeFileName(), y->GetRelativeFileName());
            Text(where + " media", x->GetMediaName(), y->GetMediaName());
            Number(where + " alpha source", x->GetAlphaSource(), y->GetAlphaSource());
            Number(where + " crop 1", x->GetFirstCropping(), y->GetFirstCropping());
            Number(where + " crop 2", x->GetSecondCropping(), y->GetSecondCropping());
            Number(where + " crop 3", x->GetThirdCropping(), y->GetThirdCropping());
            Number(where + " crop 4", x->GetFourthCropping(), y->GetFourthCropping());
            double u[2], v[2];
            x->GetModelUVTranslation(u[0], v[0]);
            y->GetModelUVTranslation(u[1], v[1]);
            Number(where + " uv translation", u[0], u[1]);
            Number(where + " uv translation", v[0], v[1]);
            CompareProperties(where, x, y);
        }
        Number("videos", a.GetVideoCount(), b.GetVideoCount());
        for (int i = 0; i < a.GetVideoCount() && i < b.GetVideoCount(); ++i) {
            auto* x = static_cast<KDuzVideo*>(a.GetVideo(i));
            auto* y = static_cast<KDuzVideo*>(b.GetVideo(i));
            const std::string where = std::string("video ") + x->GetName();
            Text(where + " name", x->GetName(), y->GetName());
            Text(where + " file", x->GetFileName(), y->GetFileName());
            Number(where + " mip map", x->GetUseMipMap(), y->GetUseMipMap());
        }
    }

    void ComparePoses(duzsdk::KDuzScene& a, duzsdk::KDuzScene& b) {
        Number("poses", a.GetPoseCount(), b.GetPoseCount());
        for (int i = 0; i < a.GetPoseCount() && i < b.GetPoseCount(); ++i) {
            const duzsdk::KDuzPose* x = a.GetPose(i);
            const duzsdk::KDuzPose* y = b.GetPose(i);
            const std::string where = std::string("pose ") + x->GetName();
            Text(where + " name", x->GetName(), y->GetName());
            Number(where + " bind", x->IsBindPose(), y->IsBindPose());
            Number(where + " entries", x->GetCount(), y->GetCount());
            for (int e = 0; e < x->GetCount() && e < y->GetCount(); ++e) {
                Text(where + " node", x->GetNode(e)->GetName(), y->GetNode(e)->GetName());
                // Specified: a bind pose stores no local flags.
                if (!x->IsBindPose()) Number(where + " local", x->IsLocalMatrix(e), y->IsLocalMatrix(e));
                for (int k = 0; k < 16; ++k) Number(where + " matrix", x->GetMatrix(e).Data()[k], y->GetMatrix(e).Data()[k]);
            }
        }
    }

    void CompareSettings(duzsdk::KDuzScene& a, duzsdk::KDuzScene& b) {
        using namespace duzsdk;
        if (a.GetGlobalSettings() != nullptr && b.GetGlobalSettings() != nullptr)
            CompareProperties("global settings", a.GetGlobalSettings(), b.GetGlobalSettings());
    }

    void CompareCurveNodes(const std::string& where, duzsdk::KFCurveNode* x, duzsdk::KFCurveNode* y) {
        if (x == nullptr || y == nullptr) {
            if (x != y) Differ(where, "curve node missing");
            return;
        }
        const duzsdk::KFCurve* cx = x->GetCurve();
        const duzsdk::KFCurve* cy = y->GetCurve();
        if ((cx == nullptr) != (cy == nullptr)) Differ(where, "curve missing");
        if (cx != nullptr && cy != nullptr) {
            Number(where + " default", cx->GetDefaultValue(), cy->GetDefaultValue());
            Number(where + " keys", cx->KeyGetCount(), cy->KeyGetCount());
            for (int k = 0; k < cx->KeyGetCount() && k < cy->KeyGetCount(); ++k) {
                if (cx->KeyGetTime(k).Get() != cy->KeyGetTime(k).Get()) Differ(where, "key time " + std::to_string(k));
                Number(where + " key value " + std::to_string(k), cx->KeyGetValue(k), cy->KeyGetValue(k));
                Number(where + " key interpolation " + std::to_string(k), cx->KeyGetInterpolation(k),
                       cy->KeyGetInterpolation(k));
            }
        }
        for (int i = 0; i < x->GetChildCount(); ++i) {
            duzsdk::KFCurveNode* child = x->GetChild(i);
            duzsdk::KFCurveNode* match = nullptr;
            for (int j = 0; j < y->GetChildCount(); ++j)
                if (std::strcmp(y->GetChild(j)->GetName(), child->GetName()) == 0) match = y->GetChild(j);
            CompareCurveNodes(where + "/" + child->GetName(), child, match);
        }
    }

    void CompareTakeNodes(const std::string& where, duzsdk::KDuzTakeNodeContainer* x, duzsdk::KDuzTakeNodeContainer* y) {
        for (int t = 1; t < x->GetTakeNodeCount(); ++t) {
            const char* name = x->GetTakeNodeName(t);
            duzsdk::KDuzTakeNode* other = nullptr;
            for (int u = 0; u < y->GetTakeNodeCount(); ++u)
                if (std::strcmp(y->GetTakeNodeName(u), name) == 0) other = y->GetTakeNodeAt(u);
            if (other == nullptr) {
                Differ(where + " take " + name, "missing");
                continue;
            }
            CompareCurveNodes(where + " take " + name, x->GetTakeNodeAt(t)->GetCurveNode(), other->GetCurveNode());
        }
    }

    void CompareTakes(duzsdk::KDuzScene& a, duzsdk::KDuzScene& b) {
        // Specified: a reader makes current only a take that objects hold.
        if (a.HasTakeName(duzsdk::KString(a.GetCurrentTakeName())))
            Text("current take", a.GetCurrentTakeName(), b.GetCurrentTakeName());
        for (int i = 0; i < a.GetTakeDescriptionCount(); ++i) {
            const duzsdk::KDuzTakeDescription* x = a.GetTakeDescriptionAt(i);
            const duzsdk::KDuzTakeDescription* y = b.GetTakeDescription(x->name);
            const std::string where = std::string("take ") + x->name.Buffer();
            if (y == nullptr) {
                Differ(where, "description missing");
                continue;
            }
            Text(where + " comments", x->comments.Buffer(), y->comments.Buffer());
            if (x->localStart.Get() != y->localStart.Get() || x->localStop.Get() != y->localStop.Get())
                Differ(where, "local span");
            if (x->referenceStart.Get() != y->referenceStart.Get() || x->referenceStop.Get() != y->referenceStop.Get())
                Differ(where, "reference span");
        }
        for (int i = 0; i < a.GetNodeCount(); ++i) {
            duzsdk::KDuzNode* x = a.GetNode(i);
            if (x == a.GetRootNode()) continue;
            duzsdk::KDuzNode* y = x == a.GetCameraSwitcherNode() ? b.GetCameraSwitcherNode() : b.FindNode(x->GetName());
            if (y == nullptr) continue;   // reported with the tree
            CompareTakeNodes(std::string("node ") + x->GetName(), x, y);
        }
        for (int i = 0; i < a.GetMaterialCount(); ++i) {
            auto* x = dynamic_cast<duzsdk::KDuzTakeNodeContainer*>(a.GetMaterial(i));
            auto* y = dynamic_cast<duzsdk::KDuzTakeNodeContainer*>(b.FindMaterial(a.GetMaterial(i)->GetName()));
            if (x != nullptr && y != nullptr) CompareTakeNodes(std::string("material ") + x->GetName(), x, y);
        }
    }

    double mTolerance;
    std::vector<std::string> mDifferences;
};

inline std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace duztest
