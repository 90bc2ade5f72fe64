// The converter's mesh operations and its node-level replacement; the
// surface operations are in KDuzGeometryConverterSurfaces.cpp.
#include "sdk/geometry/KDuzGeometryConverter.h"

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KDuzTakeNodeContainer.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometryConverterElements.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KSparseWeightMatrix.h"
#include "sdk/object/KDuzClassTree.h"
#include "sdk/object/KDuzSdkManager.h"
#include "sdk/scene/KDuzNode.h"

#include <new>
#include <climits>
#include <vector>

namespace duzsdk {

int KDuzTriangulatePolygonIndices(int n, int* out) {
    if (n < 3 || out == nullptr) return 0;
    const int triangles = n - 2;
    int written = 0;
    auto emit = [&](int a, int b, int c) {
        out[written++] = a;
        out[written++] = b;
        out[written++] = c;
    };
    emit(0, 1, 2);
    if (triangles > 1) emit(2, 3, 0);
    int a = 0;
    int f = 3;
    int b = n - 1;
    while (written / 3 < triangles) {
        emit(a, f, b);
        if (written / 3 >= triangles) break;
        emit(f, f + 1, b);
        a = b;
        ++f;
        --b;
    }
    return written;
}

// ---- life --------------------------------------------------------------------------------

KDuzGeometryConverter::KDuzGeometryConverter(KDuzSdkManager* manager, const char* name)
    : KDuzObject(manager, name) {}

KDuzGeometryConverter::~KDuzGeometryConverter() = default;

KDuzGeometryConverter* KDuzGeometryConverter::Create(KDuzSdkManager* manager, const char* name) {
    if (manager == nullptr) return nullptr;
    return dynamic_cast<KDuzGeometryConverter*>(manager->CreateObject(ClassId(), name));
}

KDuzPlug* KDuzGeometryConverter::ClassCreator(KDuzSdkManager* manager, const char* name) {
    auto* converter = new (std::nothrow) KDuzGeometryConverter(manager, name);
    if (converter != nullptr) converter->PostCreate();
    return converter;
}

KClassId KDuzGeometryConverter::ClassId() { return KDuzClassIdOf(eDuzClassGeometryConverter); }

KClassId KDuzGeometryConverter::GetClassId() const { return ClassId(); }

// ---- mesh triangulation --------------------------------------------------------------------

KDuzMesh* KDuzGeometryConverter::TriangulateMesh(const KDuzMesh* source) {
    if (source == nullptr) return nullptr;
    KDuzMesh* mesh = KDuzMesh::Create(GetSdkManager(), "");
    if (mesh == nullptr) return nullptr;
    mesh->CopyFrom(*source);
    KTypedArray<KDuzMeshPolygon>& polygons = mesh->GetPolygonArray();
    KTypedArray<int>& corners = mesh->GetPolygonVertexArray();
    polygons.Empty();
    corners.Empty();
    KDuzForEachLayerElement(*mesh, [](KDuzLayerElement& element, const KDuzElementOps& ops) {
        const int mapping = element.GetMappingMode();
        if (mapping != KDuzLayerElement::eByPolygonVertex && mapping != KDuzLayerElement::eByPolygon) return;
        if (element.GetReferenceMode() == KDuzLayerElement::eDirect) {
            ops.clearDirect(element);
        } else {
            element.GetIndexArray().Empty();
        }
    });

    const KTypedArray<KDuzMeshPolygon>& sourcePolygons = source->GetPolygonArray();
    const KTypedArray<int>& sourceCorners = source->GetPolygonVertexArray();
    const long long sourceCornerCount = sourceCorners.Count();
    // Polygons of fewer than three corners, or outside the corner array,
    // are dropped; the walk still goes by each polygon's own record.
    auto usable = [&](const KDuzMeshPolygon& p) {
        return p.mSize >= 3 && p.mStart >= 0 && static_cast<long long>(p.mStart) + p.mSize <= sourceCornerCount;
    };
    long long newPolygons = 0;
    for (const KDuzMeshPolygon& p : sourcePolygons) {
        if (usable(p)) newPolygons += p.mSize - 2;
    }
    if (newPolygons * 3 > INT_MAX || !polygons.SetCount(static_cast<int>(newPolygons)) ||
        !corners.SetCount(static_cast<int>(newPolygons * 3))) {
        mesh->Destroy();
        return nullptr;
    }
    // Where each new corner and polygon comes from, for the layer elements.
    std::vector<int> cornerSource(static_cast<size_t>(newPolygons * 3));
    std::vector<int> polygonSource(static_cast<size_t>(newPolygons));

    const bool withEdges = source->GetMeshEdgeCount() > 0;
    std::vector<int> edgeTable(withEdges ? static_cast<size_t>(sourceCornerCount) : 0, -1);
    std::vector<int> diagonals;
    std::vector<int> pattern;
    int t = 0;
    for (int s = 0; s < sourcePolygons.Count(); ++s) {
        const KDuzMeshPolygon& p = sourcePolygons[s];
        if (!usable(p)) continue;
        const int n = p.mSize;
        pattern.resize(static_cast<size_t>(3 * (n - 2)));
        KDuzTriangulatePolygonIndices(n, pattern.data());
        const int first = 3 * t;
        for (int k = 0; k < n - 2; ++k, ++t) {
            // A triangle belongs to no polygon group of its own.
            polygons[t] = KDuzMeshPolygon{3 * t, 3, -1};
            polygonSource[static_cast<size_t>(t)] = s;
            for (int c = 0; c < 3; ++c) {
                const int corner = pattern[static_cast<size_t>(3 * k + c)];
                corners[3 * t + c] = sourceCorners[p.mStart + corner];
                cornerSource[static_cast<size_t>(3 * t + c)] = p.mStart + corner;
            }
        }
        if (!withEdges) continue;
        // A source edge k -> k + 1 is now the triangle corner holding k and
        // followed within its triangle by k + 1.
        for (int k = 0; k < 3 * (n - 2); ++k) {
            const int from = pattern[static_cast<size_t>(k)];
            const int to = pattern[static_cast<size_t>(k % 3 == 2 ? k - 2 : k + 1)];
            if (to == (from + 1) % n) edgeTable[static_cast<size_t>(p.mStart + from)] = first + k;
        }
        if (n >= 4) {
            diagonals.push_back(first + 2);
            for (int i = 1; i <= n - 4; ++i) diagonals.push_back(first + 3 * i + 1);
        }
    }

    if (withEdges) {
        std::vector<int> edges;
        edges.reserve(static_cast<size_t>(source->GetMeshEdgeCount()) + diagonals.size());
        for (int e = 0; e < source->GetMeshEdgeCount(); ++e) {
            const int old = source->GetMeshEdge(e);
            // Edges naming no corner, or a corner of a dropped polygon, go.
            if (old >= 0 && old < sourceCornerCount && edgeTable[static_cast<size_t>(old)] >= 0)
                edges.push_back(edgeTable[static_cast<size_t>(old)]);
        }
        edges.insert(edges.end(), diagonals.begin(), diagonals.end());
        mesh->SetMeshEdgeCount(static_cast<int>(edges.size()));
        for (size_t e = 0; e < edges.size(); ++e) mesh->SetMeshEdge(static_cast<int>(e), edges[e]);
    }

    // The control points stay, so the skin stays as it is; a mesh copy that
    // did not bring it along gets a copy here, as the old mesh takes its
    // own skin with it when it goes.
    KDuzCopySkin(GetSdkManager(), *source, *mesh, [](int index) { return index; });

    // Layer elements by polygon vertex follow the corners, by polygon the
    // polygons; the others stay as they are.
    const int layers = source->GetLayerCount() < mesh->GetLayerCount() ? source->GetLayerCount() : mesh->GetLayerCount();
    for (int l = 0; l < layers; ++l) {
        const KDuzLayer* from = source->GetLayer(l);
        KDuzLayer* to = mesh->GetLayer(l);
        if (from == nullptr || to == nullptr) continue;
        for (const KDuzElementOps& ops : KDuzElementOpsTable()) {
            const KDuzLayerElement* in = from->GetLayerElementOfType(ops.type, ops.uv);
            KDuzLayerElement* out = to->GetLayerElementOfType(ops.type, ops.uv);
            if (in == nullptr || out == nullptr) continue;
            const int mapping = in->GetMappingMode();
            const std::vector<int>* map = mapping == KDuzLayerElement::eByPolygonVertex ? &cornerSource
                                          : mapping == KDuzLayerElement::eByPolygon    ? &polygonSource
                                                                                       : nullptr;
            if (map == nullptr) continue;
            if (in->GetReferenceMode() == KDuzLayerElement::eDirect) {
                ops.gatherDirect(*in, *out, *map);
            } else {
                KDuzGatherIndices(*in, *out, *map);
            }
        }
    }
    return mesh;
}

// ---- one control point per polygon vertex ---------------------------------------------------

namespace {

// The first layer of a container that has a normal element.
KDuzLayerElementNormal* FirstNormals(const KDuzLayerContainer& container) {
    for (int l = 0; l < container.GetLayerCount(); ++l) {
        KDuzLayer* layer = container.GetLayer(l);
        if (layer != nullptr && layer->GetNormals() != nullptr) return layer->GetNormals();
    }
    return nullptr;
}

// Every element of the container mapped by control point, in every layer,
// takes the entry of each polygon vertex's control point.
void ExpandByControlPointElements(KDuzLayerContainer& container, const std::vector<int>& map) {
    KDuzForEachLayerElement(container, [&](KDuzLayerElement& element, const KDuzElementOps& ops) {
        if (element.GetMappingMode() != KDuzLayerElement::eByControlPoint) return;
        if (element.GetReferenceMode() == KDuzLayerElement::eDirect) {
            ops.gatherDirect(element, element, map);
        } else {
            KDuzGatherIndices(element, element, map);
        }
    });
}

void ExpandPoints(KDuzGeometryBase& geometry, const std::vector<int>& map) {
    KTypedArray<KgeTVector>& points = geometry.GetControlPointArray();
    std::vector<KgeTVector> old(points.begin(), points.end());
    points.SetCount(static_cast<int>(map.size()));
    for (size_t i = 0; i < map.size(); ++i) points[static_cast<int>(i)] = old[static_cast<size_t>(map[i])];
}

}  // namespace

bool KDuzGeometryConverter::ExpandControlPointsPerPolygonVertex(KDuzMesh* mesh) {
    if (mesh == nullptr || !mesh->CheckPolygonVertices()) return false;
    const int corners = mesh->GetPolygonVertexArray().Count();
    const int points = mesh->GetControlPointsCount();
    KDuzLayerElementNormal* normals = FirstNormals(*mesh);
    if (normals == nullptr || normals->GetDirectArray().Count() != corners) return false;
    std::vector<KDuzShape*> shapes;
    for (int i = 0; i < mesh->GetShapeCount(); ++i) {
        KDuzShape* shape = mesh->GetShape(i);
        KDuzLayerElementNormal* shapeNormals = shape != nullptr ? FirstNormals(*shape) : nullptr;
        if (shape == nullptr || shape->GetControlPointsCount() != points || shapeNormals == nullptr ||
            shapeNormals->GetDirectArray().Count() != corners)
            return false;
        shapes.push_back(shape);
    }

    const int* pv = mesh->GetPolygonVertices();
    const std::vector<int> map(pv, pv + corners);
    // Elements by control point (other than these normals, which already
    // hold one entry per corner) would be left one entry per old point.
    normals->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    ExpandByControlPointElements(*mesh, map);
    normals->SetMappingMode(KDuzLayerElement::eByControlPoint);
    ExpandPoints(*mesh, map);
    for (KDuzShape* shape : shapes) {
        KDuzLayerElementNormal* shapeNormals = FirstNormals(*shape);
        shapeNormals->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
        ExpandByControlPointElements(*shape, map);
        shapeNormals->SetMappingMode(KDuzLayerElement::eByControlPoint);
        ExpandPoints(*shape, map);
    }

    for (KDuzSkin* skin : KDuzSkinsOf(*mesh)) {
        KSparseWeightMatrix weights(points, corners);
        for (int i = 0; i < corners; ++i) weights.Add(map[static_cast<size_t>(i)], i, 1.0);
        std::vector<KDuzCluster*> old;
        for (int c = 0; c < skin->GetClusterCount(); ++c) old.push_back(skin->GetCluster(c));
        std::vector<KDuzCluster*> converted = ConvertClusters(old, points, weights);
        for (KDuzCluster* cluster : old) {
            skin->DisconnectSrcObject(cluster);
            cluster->Destroy();
        }
        for (KDuzCluster* cluster : converted) skin->ConnectSrcObject(cluster);
    }
    int* identity = mesh->GetPolygonVertices();
    for (int i = 0; i < corners; ++i) identity[i] = i;
    return true;
}

bool KDuzGeometryConverter::ConvertShapeNormals(KDuzMesh* mesh) {
    if (mesh == nullptr || !mesh->CheckPolygonVertices()) return false;
    const int corners = mesh->GetPolygonVertexArray().Count();
    const int points = mesh->GetControlPointsCount();
    const int* pv = mesh->GetPolygonVertices();
    // Corner -> control point and corner -> polygon, for the two mappings
    // that are not per corner already.
    std::vector<int> byPoint(pv, pv + corners);
    std::vector<int> byPolygon(static_cast<size_t>(corners), 0);
    const KTypedArray<KDuzMeshPolygon>& polygons = mesh->GetPolygonArray();
    for (int p = 0; p < polygons.Count(); ++p) {
        for (int c = 0; c < polygons[p].mSize; ++c) byPolygon[static_cast<size_t>(polygons[p].mStart + c)] = p;
    }
    std::vector<KDuzLayerContainer*> containers{mesh};
    for (int i = 0; i < mesh->GetShapeCount(); ++i) {
        KDuzShape* shape = mesh->GetShape(i);
        if (shape == nullptr || shape->GetControlPointsCount() != points) return false;
        containers.push_back(shape);
    }
    // Check everything first, so that a refusal changes nothing.
    for (KDuzLayerContainer* container : containers) {
        KDuzLayerElementNormal* normals = FirstNormals(*container);
        if (normals == nullptr) continue;
        const int mapping = normals->GetMappingMode();
        const bool indexed = normals->GetReferenceMode() != KDuzLayerElement::eDirect;
        const int entries = indexed ? normals->GetIndexArray().Count() : normals->GetDirectArray().Count();
        const int needed = mapping == KDuzLayerElement::eByControlPoint    ? points
                           : mapping == KDuzLayerElement::eByPolygonVertex ? corners
                           : mapping == KDuzLayerElement::eByPolygon       ? polygons.Count()
                           : mapping == KDuzLayerElement::eAllSame         ? 1
                                                                           : -1;
        if (needed < 0 || entries < needed) return false;
        if (indexed) {
            for (int index : normals->GetIndexArray()) {
                if (index < 0 || index >= normals->GetDirectArray().Count()) return false;
            }
        }
    }
    const std::vector<int> allSame(static_cast<size_t>(corners), 0);
    for (KDuzLayerContainer* container : containers) {
        KDuzLayerElementNormal* normals = FirstNormals(*container);
        if (normals == nullptr) continue;
        const int mapping = normals->GetMappingMode();
        const std::vector<int>* map = mapping == KDuzLayerElement::eByControlPoint ? &byPoint
                                      : mapping == KDuzLayerElement::eByPolygon    ? &byPolygon
                                      : mapping == KDuzLayerElement::eAllSame      ? &allSame
                                                                                   : nullptr;
        if (normals->GetReferenceMode() != KDuzLayerElement::eDirect) {
            // Resolve the indices into a direct array per corner.
            std::vector<int> resolved(static_cast<size_t>(corners));
            for (int i = 0; i < corners; ++i)
                resolved[static_cast<size_t>(i)] = normals->GetIndexArray()[map != nullptr ? (*map)[static_cast<size_t>(i)] : i];
            KDuzGatherDirect<KDuzLayerElementNormal>(*normals, *normals, resolved);
            normals->GetIndexArray().Empty();
            normals->SetReferenceMode(KDuzLayerElement::eDirect);
        } else if (map != nullptr) {
            KDuzGatherDirect<KDuzLayerElementNormal>(*normals, *normals, *map);
        }
        normals->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    }
    return true;
}

// ---- on a node -------------------------------------------------------------------------------

bool KDuzGeometryConverter::ReplaceNodeAttribute(KDuzNode* node, KDuzGeometry* geometry) {
    auto* old = dynamic_cast<KDuzGeometry*>(node->GetGeometry());
    if (old == nullptr || geometry == nullptr) return false;
    // The shape curves of every take, the default take's included: the old
    // geometry's channels leave every take with it, and the new geometry's
    // come fresh.
    std::vector<KFCurve*> saved;
    const int takes = node->GetTakeNodeCount();
    const int shapes = old->GetShapeCount();
    for (int t = 0; t < takes; ++t) {
        for (int s = 0; s < shapes; ++s) {
            KDuzTakeNode* take = node->GetTakeNodeAt(t);
            KFCurve* curve = take != nullptr && old->FindShapeChannelCurveNode(take, s) != nullptr
                                 ? old->GetShapeChannel(take, s)
                                 : nullptr;
            saved.push_back(curve != nullptr ? curve->Clone() : nullptr);
        }
    }
    KDuzObject* previous = node->SetNodeAttribute(geometry);
    for (int t = 0; t < takes; ++t) {
        for (int s = 0; s < shapes && s < geometry->GetShapeCount(); ++s) {
            KFCurve* curve = saved[static_cast<size_t>(t * shapes + s)];
            KDuzTakeNode* take = node->GetTakeNodeAt(t);
            if (curve == nullptr || take == nullptr || geometry->FindShapeChannelCurveNode(take, s) == nullptr) continue;
            if (KFCurve* target = geometry->GetShapeChannel(take, s)) target->CopyFrom(*curve, true);
        }
    }
    for (KFCurve* curve : saved) {
        if (curve != nullptr) KFCurveObjectDelete(curve);
    }
    if (previous != nullptr) {
        previous->Destroy();
    } else if (old != geometry) {
        old->Destroy();
    }
    return true;
}

bool KDuzGeometryConverter::ConvertNurbsSurfaceInPlace(KDuzNode* node) {
    auto* surface = node != nullptr ? dynamic_cast<KDuzNurbsSurface*>(node->GetGeometry()) : nullptr;
    if (surface == nullptr) return false;
    KDuzNurb* nurb = ConvertNurbsSurfaceToNurb(surface);
    if (nurb == nullptr) return false;
    return ReplaceNodeAttribute(node, nurb);
}

bool KDuzGeometryConverter::TriangulateInPlace(KDuzNode* node) {
    auto* geometry = node != nullptr ? dynamic_cast<KDuzGeometry*>(node->GetGeometry()) : nullptr;
    if (geometry == nullptr) return false;
    KDuzMesh* mesh = nullptr;
    switch (geometry->GetAttributeType()) {
    case KDuzNodeAttribute::eMesh:
        mesh = TriangulateMesh(static_cast<KDuzMesh*>(geometry));
        break;
    case KDuzNodeAttribute::ePatch:
        mesh = TriangulatePatch(static_cast<KDuzPatch*>(geometry));
        break;
    case KDuzNodeAttribute::eNurb:
        mesh = TriangulateNurb(static_cast<KDuzNurb*>(geometry));
        break;
    case KDuzNodeAttribute::eNurbsSurface: {
        // Sampled before anything is replaced, so that a surface that
        // cannot be sampled stays on its node.
        KDuzNurb* nurb = ConvertNurbsSurfaceToNurb(static_cast<KDuzNurbsSurface*>(geometry));
        mesh = nurb != nullptr ? TriangulateNurb(nurb) : nullptr;
        if (mesh == nullptr) {
            if (nurb != nullptr) nurb->Destroy();
            return false;
        }
        // Through the NURB, so that the shape curves pass the same way.
        if (!ReplaceNodeAttribute(node, nurb)) {
            nurb->Destroy();
            mesh->Destroy();
            return false;
        }
        break;
    }
    default:
        return false;
    }
    if (mesh == nullptr) return false;
    return ReplaceNodeAttribute(node, mesh);
}

}  // namespace duzsdk
