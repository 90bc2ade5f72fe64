// Geometry library: meshes with their sources, vertices and polygon groups,
// the per-node mesh copies and the morph-target shapes.
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometryConverter.h"
#include "sdk/geometry/KDuzLayer.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceMaterial.h"
#include "sdk/geometry/KDuzTexture.h"
#include "sdk/object/KDuzProperty.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

namespace {

// Layer sets beyond this are refused: each one is a layer of the mesh.
constexpr int kMaxLayerSet = KDuzReaderCollada::kMaxTexcoordSet;
// Offsets beyond this cannot come from a real tuple layout.
constexpr int kMaxInputOffset = 1 << 16;

struct InputRecord {
    KString semantic;
    int set = 0;
    int offset = 0;
    KString source;
};

enum class GroupKind { ePolygons, ePolylist, eTriangles, eTristrips, eTrifans };

struct Group {
    xmlNode* element;
    GroupKind kind;
};

// A corner made from an index tuple: the group's list and the tuple's
// position in it (kept small: a big mesh has one per corner).
struct Corner {
    int list;
    int position;
};

// The per-corner elements of the mesh being read. Each source's values are
// appended once per element, at a base that its indices are offset by;
// corners of groups without the element's input get a neutral value, so
// that every group's values stay on its own corners.
class CornerElements {
public:
    void Pad(KDuzLayerElementNormal* element, int corners) {
        Track(mNormals, element);
        auto& direct = element->GetDirectArray();
        while (direct.Count() < corners)
            if (direct.Add(KgeTVector(0.0, 0.0, 0.0, 0.0)) < 0) return;
    }
    void Pad(KDuzLayerElementUV* element, int corners) {
        Track(mUvs, element);
        PadIndices(element, corners, KgeUVVector(0.0, 0.0));
    }
    void Pad(KDuzLayerElementVertexColor* element, int corners) {
        Track(mColors, element);
        PadIndices(element, corners, KDuzRGBAColor(1.0, 1.0, 1.0, 1.0));
    }
    void PadAll(int corners) {
        for (KDuzLayerElementNormal* element : mNormals) Pad(element, corners);
        for (KDuzLayerElementUV* element : mUvs) Pad(element, corners);
        for (KDuzLayerElementVertexColor* element : mColors) Pad(element, corners);
    }
    template <class Element, class Values>
    int Base(Element* element, const KString& source, const Values& values) {
        const auto key = std::make_pair(static_cast<const void*>(element), std::string(source.Buffer()));
        const auto found = mBases.find(key);
        if (found != mBases.end()) return found->second;
        auto& direct = element->GetDirectArray();
        const int base = direct.Count();
        for (const auto& value : values) direct.Add(value);
        mBases.emplace(key, base);
        return base;
    }

private:
    template <class Element>
    static void Track(std::vector<Element*>& list, Element* element) {
        if (std::find(list.begin(), list.end(), element) == list.end()) list.push_back(element);
    }
    template <class Element, class Value>
    void PadIndices(Element* element, int corners, const Value& neutral) {
        KTypedArray<int>& indices = element->GetIndexArray();
        if (indices.Count() >= corners) return;
        auto pad = mPadIndex.find(element);
        if (pad == mPadIndex.end()) pad = mPadIndex.emplace(element, element->GetDirectArray().Add(neutral)).first;
        while (indices.Count() < corners)
            if (indices.Add(pad->second) < 0) return;
    }

    std::vector<KDuzLayerElementNormal*> mNormals;
    std::vector<KDuzLayerElementUV*> mUvs;
    std::vector<KDuzLayerElementVertexColor*> mColors;
    std::map<std::pair<const void*, std::string>, int> mBases;
    std::unordered_map<const void*, int> mPadIndex;
};

KDuzLayer* LayerAt(KDuzMesh* mesh, int index) {
    while (mesh->GetLayerCount() <= index)
        if (mesh->CreateLayer() < 0) return nullptr;
    return mesh->GetLayer(index);
}

// Stores value at positions [from, to) of an element's index array, padding
// the positions before with -1.
void FillIndices(KDuzLayerElement* element, int from, int to, int value) {
    KTypedArray<int>& indices = element->GetIndexArray();
    const int old = indices.Count();
    if (to > old && !indices.SetCount(to)) return;
    for (int i = old; i < from; ++i) indices[i] = -1;
    for (int i = from; i < to; ++i) indices[i] = value;
}

// Room for `extra` more elements, so that appending one by one never copies.
template <class Array>
void Reserve(Array& array, long long extra) {
    const int old = array.Count();
    if (extra <= 0 || old + extra > INT_MAX / 2) return;
    if (array.Resize(static_cast<int>(old + extra))) array.SetCount(old);
}

void CopyNormals(KDuzGeometryBase* destination, const KDuzGeometryBase* source) {
    const int count = source->GetControlPointsCount();
    destination->InitControlPoints(count);
    destination->InitNormals(0);
    const KgeTVector* points = source->GetControlPoints();
    const KDuzLayer* layer = source->GetLayer(0);
    const KDuzLayerElementNormal* normals = layer != nullptr ? layer->GetNormals() : nullptr;
    for (int i = 0; i < count; ++i) {
        const KgeTVector normal = normals != nullptr ? normals->GetDirectArray().GetAt(i) : KgeTVector();
        destination->SetControlPointAt(points[i], normal, i);
    }
}

// The direct array of an element whose values grow with the mesh; null for
// elements of a few shared objects (materials, textures).
KDynamicArray* GrowingDirectArray(KDuzLayerElement* element) {
    if (auto* normals = dynamic_cast<KDuzLayerElementNormal*>(element)) return &normals->GetDirectArray().Untyped();
    if (auto* uvs = dynamic_cast<KDuzLayerElementUV*>(element)) return &uvs->GetDirectArray().Untyped();
    if (auto* colors = dynamic_cast<KDuzLayerElementVertexColor*>(element)) return &colors->GetDirectArray().Untyped();
    return nullptr;
}

// Copies a layer, its elements' index arrays and growing direct arrays moved
// rather than copied: the source keeps empty ones.
bool TakeLayer(KDuzLayer* destination, KDuzLayer* source, KDuzSdkManager* manager) {
    struct Taken {
        KTypedArray<int> indices;
        KDynamicArray direct;
        bool hasDirect = false;
    };
    std::vector<Taken> taken(KDuzLayer::kSlotCount);
    for (int slot = 0; slot < KDuzLayer::kSlotCount; ++slot) {
        KDuzLayerElement* element = source->GetSlot(slot);
        if (element == nullptr) continue;
        taken[slot].indices = std::move(element->GetIndexArray());
        if (KDynamicArray* direct = GrowingDirectArray(element)) {
            taken[slot].direct = std::move(*direct);
            taken[slot].hasDirect = true;
        }
    }
    const bool copied = destination->CopyFrom(*source, manager);
    for (int slot = 0; slot < KDuzLayer::kSlotCount; ++slot) {
        KDuzLayerElement* element = destination->GetSlot(slot);
        if (element == nullptr || source->GetSlot(slot) == nullptr) continue;
        element->GetIndexArray() = std::move(taken[slot].indices);
        KDynamicArray* direct = GrowingDirectArray(element);
        if (direct != nullptr && taken[slot].hasDirect) *direct = std::move(taken[slot].direct);
    }
    return copied;
}

}  // namespace

void KDuzReaderCollada::CountMeshUses() {
    mMeshUsesCounted = true;
    mMeshUses.clear();
    std::unordered_map<std::string, int> byId;
    std::vector<const xmlNode*> pending{xmlDocGetRootElement(mDocument)};
    while (!pending.empty()) {
        const xmlNode* element = pending.back();
        pending.pop_back();
        if (ColladaIsElement(element, "instance_node")) return;
        if (ColladaIsElement(element, "instance_geometry")) {
            ++byId[ColladaGetUrl(element).id.Buffer()];
        } else if (ColladaIsElement(element, "instance_controller")) {
            const auto controller = mControllers.find(ColladaGetUrl(element).id.Buffer());
            if (controller != mControllers.end()) ++byId[controller->second->source.MidToEnd(1).Buffer()];
        }
        for (const xmlNode* child = element != nullptr ? element->children : nullptr; child != nullptr;
             child = child->next)
            if (child->type == XML_ELEMENT_NODE) pending.push_back(child);
    }
    for (const auto& [id, count] : byId) {
        const auto found = mNodeAttributes.find(id);
        if (found != mNodeAttributes.end() && found->second != nullptr) mMeshUses[found->second] += count;
    }
    // Morph targets are read again after their instances.
    for (const auto& [id, controller] : mControllers) {
        for (const KString& target : controller->morphTargetIds) {
            const auto found = mNodeAttributes.find(target.Buffer());
            if (found != mNodeAttributes.end()) mMeshUses.erase(found->second);
        }
    }
}

bool KDuzReaderCollada::TakesLastMeshUse(const KDuzObject* mesh) {
    if (!mMeshUsesCounted) CountMeshUses();
    const auto found = mMeshUses.find(mesh);
    return found != mMeshUses.end() && --found->second == 0;
}

bool KDuzReaderCollada::ReadGeometry(xmlNode* geometry) {
    const KString id = ColladaGetAttribute(geometry, "id");
    KDuzMesh* mesh = nullptr;
    for (xmlNode* child = geometry->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        if (ColladaIsElement(child, "asset") || ColladaIsElement(child, "extra")) continue;
        if (!ColladaIsElement(child, "mesh")) {
            // Splines and convex meshes are not read; instances of them get
            // no attribute.
            NotifyWarning(KString("Unrecognized geometry element: ") + ColladaElementName(child));
            continue;
        }
        if (mesh != nullptr) {
            NotifyError(KString("more than one mesh defined for library ") + id);
            return false;
        }
        mesh = KDuzMesh::Create(mManager, "");
        if (mesh == nullptr || !ReadMesh(child, mesh)) return false;
        mNodeAttributes.emplace(id.Buffer(), mesh);
    }
    if (mesh == nullptr) {
        NotifyWarning(KString("no mesh found for library ") + id);
        mNodeAttributes.emplace(id.Buffer(), nullptr);
    }
    return true;
}

bool KDuzReaderCollada::ReadMesh(xmlNode* mesh, KDuzMesh* target) {
    if (target->GetLayer(0) == nullptr) target->CreateLayer();
    if (target->GetLayer(0) == nullptr || target->GetLayer(0)->GetNormals() == nullptr) target->InitNormals(0);
    mSuccess = ReadVertices(mesh, target);
    if (mSuccess) mSuccess = ReadPrimitives(mesh, target);
    return mSuccess;
}

bool KDuzReaderCollada::ReadVertices(xmlNode* mesh, KDuzMesh* target) {
    xmlNode* vertices = ColladaFindChildByName(mesh, "vertices");
    if (vertices == nullptr) {
        NotifyError(KString("<vertex> node not found"));
        return false;
    }
    ColladaNodeArray inputs;
    ColladaFindChildrenByName(vertices, "input", inputs);
    KgeTVectorArray positions;
    KgeTVectorArray normals;
    KDuzRGBAColorArray colors;
    bool haveColors = false;
    for (xmlNode* input : inputs) {
        const KString semantic = ColladaGetAttribute(input, "semantic");
        if (semantic == "POSITION" || semantic == "NORMAL" || semantic == "COLOR") {
            const KString sourceAttribute = ColladaGetAttribute(input, "source");
            xmlNode* source = ColladaFindChildById(mesh, sourceAttribute.MidToEnd(1));
            if (source == nullptr) {
                NotifyError(KString("source") + " " + sourceAttribute + " not source in vertices input");
                return false;
            }
            bool read = false;
            if (semantic == "POSITION") {
                positions.Clear();
                read = ColladaReadVectorSource(source, positions);
            } else if (semantic == "NORMAL") {
                normals.Clear();
                read = ColladaReadVectorSource(source, normals);
            } else {
                colors.Clear();
                read = ColladaReadColorSource(source, colors);
                haveColors = true;
            }
            if (!read) {
                NotifyError(KString("reading array in <source>: ") + sourceAttribute);
                return false;
            }
        } else if (semantic == "UV" || semantic == "TEXCOORD" || semantic == "BINORMAL" || semantic == "TANGENT" ||
                   semantic == "TEXBINORMAL" || semantic == "TEXTANGENT") {
            // Per-vertex data the mesh has no place for; the mesh reads without it.
            if (WarnOnce(semantic)) NotifyWarning(semantic + " not supported in vertices input");
        } else {
            NotifyError(semantic + " not supported in vertices input");
            return false;
        }
    }
    const int n = positions.Count();
    if (!target->InitControlPoints(n)) {
        NotifyError(KString("too many control points in mesh"));
        return false;
    }
    const bool withNormals = normals.Count() >= n;
    for (int i = 0; i < n; ++i)
        target->SetControlPointAt(positions[i], withNormals ? normals[i] : KgeTVector(0.0, 0.0, 0.0, 0.0), i);
    if (haveColors) {
        KDuzLayer* layer = LayerAt(target, 0);
        KDuzLayerElementVertexColor* element = layer->GetVertexColors();
        if (element == nullptr) element = layer->SetVertexColors(KDuzCreateLayerElementVertexColor(mManager, ""));
        if (element != nullptr) {
            element->SetMappingMode(KDuzLayerElement::eByControlPoint);
            element->SetReferenceMode(KDuzLayerElement::eDirect);
            for (const KDuzRGBAColor& color : colors) element->GetDirectArray().Add(color);
        }
    }
    return true;
}

bool KDuzReaderCollada::ReadPrimitives(xmlNode* mesh, KDuzMesh* target) {
    // Polygon groups, then polygon lists, then triangles, strips and fans,
    // each in document order.
    std::vector<Group> groups;
    for (const auto& [name, kind] : {std::pair{"polygons", GroupKind::ePolygons},
                                     std::pair{"polylist", GroupKind::ePolylist},
                                     std::pair{"triangles", GroupKind::eTriangles},
                                     std::pair{"tristrips", GroupKind::eTristrips},
                                     std::pair{"trifans", GroupKind::eTrifans}}) {
        for (xmlNode* child = mesh->children; child != nullptr; child = child->next)
            if (ColladaIsElement(child, name)) groups.push_back(Group{child, kind});
    }
    for (xmlNode* child = mesh->children; child != nullptr; child = child->next)
        if (ColladaIsElement(child, "lines") || ColladaIsElement(child, "linestrips"))
            NotifyWarning(KString("<") + ColladaElementName(child) + "> in a mesh is not read: only faces are");
    KDuzLayer* layer0 = LayerAt(target, 0);
    if (layer0 == nullptr) return false;
    KDuzLayerElementNormal* layerNormals = layer0->GetNormals();
    if (layerNormals != nullptr) {
        layerNormals->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
        layerNormals->GetDirectArray().Clear();
    }
    bool normalsSeen = false;
    const int pointCount = target->GetControlPointsCount();
    // One placeholder material per symbol in a mesh, so that binding the
    // symbol replaces it for every group that names it.
    std::unordered_map<std::string, int> materialBySymbol;
    std::vector<KDuzLayerElementTexture*> boundTextureElements;
    // Each group's polygons and their material, for the material indices.
    struct GroupRange {
        int first, last, material;
    };
    std::vector<GroupRange> ranges;
    CornerElements cornerElements;
    long long skippedPolygons = 0;
    bool holesWarned = false;

    for (const Group& group : groups) {
        // ---- material and texture bindings ----
        int materialIndex = -1;
        int textureIndex = -1;
        std::vector<std::pair<KDuzLayerElementTexture*, int>> groupTextures;
        const KString symbol = ColladaGetAttribute(group.element, "material");
        if (!symbol.IsEmpty()) {
            KDuzLayerElementMaterial* materials = layer0->GetMaterials();
            if (materials == nullptr) {
                materials = layer0->SetMaterials(KDuzCreateLayerElementMaterial(mManager, ""));
                if (materials == nullptr) return false;
                materials->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
            }
            const auto known = materialBySymbol.find(symbol.Buffer());
            if (known != materialBySymbol.end()) {
                materialIndex = known->second;
            } else {
                KDuzSurfaceMaterial* placeholder = KDuzSurfaceMaterial::Create(mManager, symbol.Buffer());
                materialIndex = materials->GetDirectArray().Add(placeholder);
                materialBySymbol.emplace(symbol.Buffer(), materialIndex);
            }

            const auto bindings = mTextureBindings.find(symbol.Buffer());
            if (bindings != mTextureBindings.end()) {
                for (const ColladaTextureBinding& binding : bindings->second) {
                    const int layerIndex = TexcoordLayer(symbol, binding.texcoord);
                    KDuzLayer* layer = LayerAt(target, layerIndex);
                    if (layer == nullptr || binding.texture == nullptr) continue;
                    KDuzLayerElementTexture* element = layer->GetTexturesOfType(binding.channel);
                    if (element == nullptr)
                        element = layer->SetTexturesOfType(binding.channel,
                                                           KDuzCreateLayerElementTexture(mManager, ""));
                    if (element == nullptr) continue;
                    element->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
                    element->SetMappingMode(KDuzLayerElement::eByPolygon);
                    element->SetBlendMode(binding.texture->GetBlendMode() != 0 ? 1 : 0);
                    auto& direct = element->GetDirectArray();
                    int position = -1;
                    for (int i = 0; i < direct.Count(); ++i)
                        if (ColladaSameTexture(direct[i], binding.texture))
                            position = i;
                    if (position < 0) position = direct.Add(binding.texture);
                    // The polygons' own texture index is the first layer's.
                    if (layerIndex == 0) textureIndex = position;
                    groupTextures.emplace_back(element, position);
                    if (std::find(boundTextureElements.begin(), boundTextureElements.end(), element) ==
                        boundTextureElements.end())
                        boundTextureElements.push_back(element);
                }
            }
        }

        // ---- inputs ----
        ColladaNodeArray inputElements;
        ColladaFindChildrenByName(group.element, "input", inputElements);
        int vertexOffset = -1;
        int maxOffset = 0;
        std::vector<InputRecord> records;
        for (xmlNode* input : inputElements) {
            const int offset = ColladaGetOffset(input);
            if (offset < 0 || offset > kMaxInputOffset) {
                NotifyError(KString("invalid offset in <input> of mesh: ") + KString(offset));
                return false;
            }
            maxOffset = std::max(maxOffset, offset);
            const KString semantic = ColladaGetAttribute(input, "semantic");
            if (semantic == "VERTEX") {
                vertexOffset = offset;
                continue;
            }
            InputRecord record;
            record.semantic = semantic;
            const KString setText = ColladaGetAttribute(input, "set");
            const char* cursor = setText.Buffer();
            record.set = setText.IsEmpty() ? 0 : ColladaScanInt(cursor);
            record.offset = offset;
            record.source = ColladaGetAttribute(input, "source");
            records.push_back(record);
        }
        if (vertexOffset < 0) {
            NotifyError(KString("No vertices defined in mesh "));
            return false;
        }
        const int width = maxOffset + 1;

        // ---- index lists ----
        // A polygon with holes is read as its outer polygon.
        ColladaNodeArray pElements;
        for (xmlNode* child = group.element->children; child != nullptr; child = child->next) {
            if (ColladaIsElement(child, "p")) {
                pElements.push_back(child);
            } else if (ColladaIsElement(child, "ph") && group.kind == GroupKind::ePolygons) {
                xmlNode* outer = ColladaFindChildByName(child, "p");
                if (outer != nullptr) pElements.push_back(outer);
                if (!holesWarned) NotifyWarning(KString("polygons with holes are read without their holes"));
                holesWarned = true;
            }
        }
        std::vector<ColladaIntArray> lists(pElements.size());
        if (pElements.size() > static_cast<size_t>(INT_MAX)) return false;
        for (size_t i = 0; i < pElements.size(); ++i) {
            ColladaReadIntArray(pElements[i], lists[i]);
            // The indices are all the mesh needs of the text.
            ColladaReleaseText(pElements[i]);
            if (lists[i].Count() % width != 0) {
                NotifyError(KString("incomplete index tuple in <p> of mesh"));
                return false;
            }
        }
        ColladaIntArray vcount;
        if (group.kind == GroupKind::ePolylist) {
            xmlNode* vcountElement = ColladaFindChildByName(group.element, "vcount");
            ColladaReadIntArray(vcountElement, vcount);
            ColladaReleaseText(vcountElement);
            long long tuples = 0;
            for (const int v : vcount) {
                if (v < 0) tuples = -1;
                if (tuples < 0) break;
                tuples += v;
            }
            long long available = 0;
            for (const ColladaIntArray& list : lists) available += list.Count() / width;
            if (tuples < 0 || tuples > available) {
                NotifyError(KString("<vcount> does not match <p> in mesh"));
                return false;
            }
        }

        // ---- polygons ----
        // The polygons as tuples of the lists: strips and fans use a tuple
        // in several triangles, and polygons of fewer than three corners are
        // left out with theirs. Walked once to make the polygons and once
        // per input for its values, so no list of corners is kept (a big
        // mesh would have one entry per corner).
        long long groupTuples = 0;
        for (const ColladaIntArray& list : lists) groupTuples += list.Count() / width;
        const bool sharedTuples = group.kind == GroupKind::eTristrips || group.kind == GroupKind::eTrifans;
        Reserve(target->GetPolygonVertexArray(), sharedTuples ? 3 * groupTuples : groupTuples);
        if (group.kind == GroupKind::eTriangles) Reserve(target->GetPolygonArray(), (groupTuples + 2) / 3);
        else if (sharedTuples) Reserve(target->GetPolygonArray(), groupTuples);
        const int firstPolygon = target->GetPolygonCount();
        const int firstCorner = target->GetPolygonVertexCount();
        // visit(corners, size) for every polygon in order, until it returns false.
        auto walk = [&](bool countSkipped, auto&& visit) {
            std::vector<Corner> polygon;
            if (group.kind == GroupKind::ePolylist) {
                size_t listIndex = 0;
                int position = 0;
                for (const int size : vcount) {
                    polygon.clear();
                    for (int c = 0; c < size; ++c) {
                        while (position >= lists[listIndex].Count()) {
                            ++listIndex;
                            position = 0;
                        }
                        polygon.push_back(Corner{static_cast<int>(listIndex), position});
                        position += width;
                    }
                    if (!visit(polygon.data(), size)) return false;
                }
                return true;
            }
            for (size_t listIndex = 0; listIndex < lists.size(); ++listIndex) {
                const int tuples = lists[listIndex].Count() / width;
                auto tuple = [&](int k) { return Corner{static_cast<int>(listIndex), k * width}; };
                if (group.kind == GroupKind::ePolygons) {
                    polygon.clear();
                    for (int k = 0; k < tuples; ++k) polygon.push_back(tuple(k));
                    if (!visit(polygon.data(), tuples)) return false;
                } else if (group.kind == GroupKind::eTriangles) {
                    for (int k = 0; k < tuples; k += 3) {
                        const Corner triangle[3] = {tuple(k), tuple(std::min(k + 1, tuples - 1)),
                                                    tuple(std::min(k + 2, tuples - 1))};
                        if (!visit(triangle, std::min(3, tuples - k))) return false;
                    }
                } else {
                    // Strips turn every other triangle to keep one winding.
                    for (int k = 0; k + 2 < tuples; ++k) {
                        const bool strip = group.kind == GroupKind::eTristrips;
                        const Corner triangle[3] = {
                            strip ? tuple(k % 2 == 0 ? k : k + 1) : tuple(0),
                            strip ? tuple(k % 2 == 0 ? k + 1 : k) : tuple(k + 1), tuple(k + 2)};
                        if (!visit(triangle, 3)) return false;
                    }
                    if (countSkipped && tuples < 3 && tuples > 0) ++skippedPolygons;
                }
            }
            return true;
        };
        const bool made = walk(true, [&](const Corner* polygon, int size) {
            if (size < 3) {
                ++skippedPolygons;
                return true;
            }
            target->BeginPolygon(materialIndex, textureIndex, -1, true);
            for (int c = 0; c < size; ++c) {
                const int index = lists[polygon[c].list][polygon[c].position + vertexOffset];
                if (index < 0 || index >= pointCount) {
                    NotifyError(KString("vertex index out of range in mesh: ") + KString(index));
                    return false;
                }
                target->AddPolygon(index, -1);
            }
            return true;
        });
        if (!made) return false;
        const long long groupCorners = static_cast<long long>(target->GetPolygonVertexCount()) - firstCorner;
        const int lastPolygon = target->GetPolygonCount();
        ranges.push_back(GroupRange{firstPolygon, lastPolygon, materialIndex});
        for (const auto& [element, position] : groupTextures) FillIndices(element, firstPolygon, lastPolygon, position);

        // ---- per polygon-vertex data ----
        for (const InputRecord& record : records) {
            if (record.set < 0 || record.set > kMaxLayerSet) {
                NotifyError(KString("invalid set in <input> of mesh: ") + KString(record.set));
                return false;
            }
            KDuzLayer* layer = LayerAt(target, record.set);
            if (layer == nullptr) return false;
            xmlNode* source = ColladaFindChildById(mesh, record.source.MidToEnd(1));
            if (source == nullptr) {
                NotifyError(KString("source") + " " + "\"" + record.source + "\"" + " not found as <" + "source" +
                            "> for <input>");
                return false;
            }
            const KString elementName = ColladaGetAttribute(source, "name");
            const KString readError = KString("reading array in <source>: ") + record.source;
            auto forEachIndex = [&](int count, auto&& use) {
                return walk(false, [&](const Corner* polygon, int size) {
                    if (size < 3) return true;
                    for (int c = 0; c < size; ++c) {
                        const int index = lists[polygon[c].list][polygon[c].position + record.offset];
                        if (index < 0 || index >= count) {
                            NotifyError(KString("index out of range for ") + record.semantic + " in mesh: " +
                                        KString(index));
                            return false;
                        }
                        use(index);
                    }
                    return true;
                });
            };
            if (record.semantic == "NORMAL") {
                normalsSeen = true;
                KgeTVectorArray values;
                if (!ColladaReadVectorSource(source, values)) {
                    NotifyError(readError);
                    return false;
                }
                KDuzLayerElementNormal* element = layer->GetNormals();
                if (element == nullptr) element = layer->SetNormals(KDuzCreateLayerElementNormal(mManager, ""));
                if (element == nullptr) return false;
                element->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
                element->SetReferenceMode(KDuzLayerElement::eDirect);
                element->SetName(elementName.Buffer());
                cornerElements.Pad(element, firstCorner);
                Reserve(element->GetDirectArray(), groupCorners);
                if (!forEachIndex(values.Count(), [&](int index) { element->GetDirectArray().Add(values[index]); }))
                    return false;
            } else if (record.semantic == "COLOR") {
                KDuzRGBAColorArray values;
                if (!ColladaReadColorSource(source, values)) {
                    NotifyError(readError);
                    return false;
                }
                KDuzLayerElementVertexColor* element = layer->GetVertexColors();
                if (element == nullptr)
                    element = layer->SetVertexColors(KDuzCreateLayerElementVertexColor(mManager, ""));
                if (element == nullptr) return false;
                element->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
                element->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
                element->SetName(elementName.Buffer());
                cornerElements.Pad(element, firstCorner);
                const int base = cornerElements.Base(element, record.source, values);
                Reserve(element->GetIndexArray(), groupCorners);
                if (!forEachIndex(values.Count(), [&](int index) { element->GetIndexArray().Add(base + index); }))
                    return false;
            } else if (record.semantic == "UV" || record.semantic == "TEXCOORD") {
                KgeUVVectorArray values;
                if (!ColladaReadUvSource(source, values)) {
                    NotifyError(readError);
                    return false;
                }
                KDuzLayerElementUV* element = layer->GetUVsOfType(3);
                if (element == nullptr) element = layer->SetUVsOfType(KDuzCreateLayerElementUV(mManager, ""), 3);
                if (element == nullptr) return false;
                element->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
                element->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
                element->SetName(elementName.Buffer());
                cornerElements.Pad(element, firstCorner);
                const int base = cornerElements.Base(element, record.source, values);
                Reserve(element->GetIndexArray(), groupCorners);
                if (!forEachIndex(values.Count(), [&](int index) { element->GetIndexArray().Add(base + index); }))
                    return false;
            } else {
                NotifyWarning(KString("Unknown property for polygons: ") + record.semantic);
            }
        }
    }
    if (skippedPolygons > 0)
        NotifyWarning(KString("polygons of fewer than three corners are left out: ") +
                      KString(static_cast<int>(std::min<long long>(skippedPolygons, INT_MAX))));
    // Groups without an input get neutral values on their corners.
    cornerElements.PadAll(target->GetPolygonVertexCount());
    // Groups without a texture of a bound channel show none.
    for (KDuzLayerElementTexture* element : boundTextureElements) {
        const int polygons = target->GetPolygonCount();
        if (element->GetIndexArray().Count() < polygons) FillIndices(element, polygons, polygons, -1);
    }
    // Material indices by group: a group without material has none (-1).
    KDuzLayerElementMaterial* materials = layer0->GetMaterials();
    if (materials != nullptr && !ranges.empty()) {
        // One group's material holds for all its polygons; several groups
        // map by polygon even when they agree.
        KTypedArray<int>& indices = materials->GetIndexArray();
        indices.Clear();
        if (ranges.size() == 1) {
            materials->SetMappingMode(KDuzLayerElement::eAllSame);
            indices.Add(ranges.front().material);
        } else {
            materials->SetMappingMode(KDuzLayerElement::eByPolygon);
            for (const GroupRange& range : ranges) FillIndices(materials, range.first, range.last, range.material);
        }
    }
    if (!normalsSeen) target->ComputeVertexNormals(false);
    return true;
}

bool KDuzReaderCollada::CopyMesh(KDuzMesh* destination, KDuzMesh* source, bool take) {
    // Layer 0 replaces the normals made with the points below, so a source
    // without layers is copied.
    take = take && source->GetLayer(0) != nullptr;
    if (take) {
        destination->GetControlPointArray() = std::move(source->GetControlPointArray());
        destination->GetPolygonArray() = std::move(source->GetPolygonArray());
        destination->GetPolygonVertexArray() = std::move(source->GetPolygonVertexArray());
    } else {
        const int n = source->GetControlPointsCount();
        destination->InitControlPoints(n);
        destination->InitNormals(n);
        const KgeTVector* points = source->GetControlPoints();
        const KDuzLayer* sourceLayer0 = source->GetLayer(0);
        const KDuzLayerElementNormal* normals = sourceLayer0 != nullptr ? sourceLayer0->GetNormals() : nullptr;
        for (int i = 0; i < n; ++i) {
            // Per polygon-vertex normals can be fewer than the points: the
            // layer copy below brings the real element anyway.
            const KgeTVector normal = normals != nullptr ? normals->GetDirectArray().GetAt(i) : KgeTVector();
            destination->SetControlPointAt(points[i], normal, i);
        }
        // Polygons without material or texture: the same as one BeginPolygon
        // and AddPolygon per corner, whose layer side effects the layer copy
        // below replaces anyway.
        destination->GetPolygonArray().AssignFrom(source->GetPolygonArray());
        destination->GetPolygonVertexArray().AssignFrom(source->GetPolygonVertexArray());
    }
    for (int l = 0; l < source->GetLayerCount(); ++l) {
        KDuzLayer* layer = LayerAt(destination, l);
        KDuzLayer* from = source->GetLayer(l);
        if (layer == nullptr || from == nullptr) continue;
        if (take)
            TakeLayer(layer, from, mManager);
        else
            layer->CopyFrom(*from, mManager);
    }
    for (int s = 0; s < source->GetShapeCount(); ++s) {
        KDuzShape* from = source->GetShape(s);
        if (from == nullptr) continue;
        KDuzShape* shape = KDuzShape::Create(mManager, "");
        if (shape == nullptr) continue;
        CopyNormals(shape, from);
        const KString name(source->GetShapeName(s));
        if (destination->AddShape(shape, name.Buffer()) == -1) {
            NotifyWarning(KString("Could not add shape ") + name + " to mesh.");
            continue;
        }
        const KDuzProperty weight = source->FindProperty(name.Buffer(), true);
        KDuzProperty target = destination->FindProperty(name.Buffer(), true);
        if (weight.IsValid() && target.IsValid()) {
            double value = 0.0;
            weight.GetValue(&value, eValueKindDouble);
            target.SetValue(&value, eValueKindDouble);
        }
    }
    for (int d = 0; d < source->GetDeformerCount(); ++d) {
        auto* fromSkin = dynamic_cast<KDuzSkin*>(source->GetDeformer(d));
        if (fromSkin == nullptr) continue;
        KDuzSkin* skin = KDuzSkin::Create(mManager, "");
        if (skin == nullptr) continue;
        destination->AddDeformer(skin);
        for (int c = 0; c < fromSkin->GetClusterCount(); ++c) {
            KDuzCluster* from = fromSkin->GetCluster(c);
            if (from == nullptr) continue;
            KDuzCluster* cluster = KDuzCluster::Create(mManager, "");
            if (cluster == nullptr) continue;
            mCreatedClusters.push_back(cluster);
            ColladaCopyCluster(cluster, from);
            skin->ConnectSrcObject(cluster);
        }
    }
    return true;
}

bool KDuzReaderCollada::BuildMorphShapes(KDuzMesh* mesh, const KString& nodeName,
                                         const ColladaController& controller) {
    const size_t targets = controller.morphTargetIds.size();
    if (targets == 0) return true;
    for (size_t i = 0; i < targets; ++i) {
        const KString& targetId = controller.morphTargetIds[i];
        const auto found = mNodeAttributes.find(targetId.Buffer());
        auto* targetMesh = found != mNodeAttributes.end() ? dynamic_cast<KDuzMesh*>(found->second) : nullptr;
        if (targetMesh == nullptr) {
            NotifyError(KString("morph target not found: ") + targetId);
            return false;
        }
        KDuzShape* shape = KDuzShape::Create(mManager, "");
        if (shape == nullptr) return false;
        CopyNormals(shape, targetMesh);
        const int index = mesh->AddShape(shape, targetId.Buffer());
        if (index < 0) {
            NotifyError(KString("could not add shape ") + targetId + " to mesh " + nodeName + ";\n" +
                        "Error code is " + mesh->GetLastErrorString());
            return false;
        }
        KDuzProperty weight = mesh->FindProperty(targetId.Buffer(), true);
        if (weight.IsValid() && i < controller.morphWeights.size()) {
            const double value = controller.morphWeights[i];
            weight.SetValue(&value, eValueKindDouble);
        }
        mMorphTable[controller.weightSourceId.Buffer()].push_back(
            ColladaMorphChannel{controller.weightSourceId, nodeName, targetId, index});
    }
    KDuzGeometryConverter* converter = KDuzGeometryConverter::Create(mManager, "");
    const bool converted = converter != nullptr && converter->ConvertShapeNormals(mesh);
    if (converter != nullptr) converter->Destroy();
    if (!converted) {
        NotifyError(KString("Badly formed mesh or shape; Could not convert shape normals to polygon vertex."));
        return false;
    }
    return true;
}

bool KDuzReaderCollada::CopyNodeForInstance(KDuzNode* destination, KDuzNode* source) {
    if (!ColladaCopyNodeAttribute(destination, source)) return false;
    int order = 0;
    source->GetRotationOrder(0, order);
    destination->SetRotationOrder(0, order);
    destination->SetPivotState(0, 1);
    destination->SetPivotState(1, 1);
    ColladaCopyNodeTransform(destination, source);
    return true;
}

}  // namespace duzsdk
