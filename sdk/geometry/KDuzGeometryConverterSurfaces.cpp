// The converter's surface operations: tessellating patches and NURBs into
// triangle meshes (with their shapes and skins), converting NURBS surfaces
// into NURBs and swapping U and V.
#include "sdk/geometry/KDuzGeometryConverter.h"

#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometryConverterElements.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/geometry/KDuzNURBSurfaceEvaluator.h"
#include "sdk/geometry/KDuzNurb.h"
#include "sdk/geometry/KDuzNurbsCurve.h"
#include "sdk/geometry/KDuzNurbsSurface.h"
#include "sdk/geometry/KDuzPatch.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/geometry/KDuzSurfaceEvaluator.h"
#include "sdk/geometry/KSparseWeightMatrix.h"
#include "sdk/scene/KDuzNode.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace duzsdk {

namespace {

// The first layer with normals of a container; null when none has.
KDuzLayerElementNormal* FirstNormals(const KDuzLayerContainer& container) {
    for (int l = 0; l < container.GetLayerCount(); ++l) {
        KDuzLayer* layer = container.GetLayer(l);
        if (layer != nullptr && layer->GetNormals() != nullptr) return layer->GetNormals();
    }
    return nullptr;
}

// Evaluates into a geometry's control points and layer-0 normals, sized to
// the evaluator's grid, fourth components 1.
bool EvaluateInto(KDuzSurfaceEvaluator& evaluator, KDuzGeometryBase& target, KSparseWeightMatrix* weights) {
    const int count = evaluator.GetUPointCount() * evaluator.GetVPointCount();
    if (!target.InitControlPoints(count) || !target.InitNormals(count)) return false;
    KDuzLayerElementNormal* normals = target.GetLayer(0)->GetNormals();
    normals->SetMappingMode(KDuzLayerElement::eByControlPoint);
    evaluator.SetPointOutput(target.GetControlPoints());
    evaluator.SetNormalOutput(normals->GetDirectArray().Data());
    if (!evaluator.Evaluate(weights)) return false;
    for (KgeTVector& point : target.GetControlPointArray()) point[3] = 1.0;
    if (KDuzLayerElementNormal* first = FirstNormals(target)) {
        for (KgeTVector& normal : first->GetDirectArray()) normal[3] = 1.0;
    }
    return true;
}

// The point at (u, v) of a U-fastest nu x nv grid moves to (v, u) of the
// transposed grid.
template <typename T>
void Transpose(T* data, int nu, int nv) {
    if (data == nullptr || nu <= 0 || nv <= 0) return;
    std::vector<T> old(data, data + static_cast<size_t>(nu) * static_cast<size_t>(nv));
    for (int v = 0; v < nv; ++v)
        for (int u = 0; u < nu; ++u) data[u * nv + v] = old[static_cast<size_t>(v * nu + u)];
}

std::vector<double> WeightsOf(const KDuzGeometryBase& geometry) {
    std::vector<double> weights;
    weights.reserve(static_cast<size_t>(geometry.GetControlPointsCount()));
    for (const KgeTVector& point : geometry.GetControlPointArray()) weights.push_back(point[3]);
    return weights;
}

}  // namespace

// ---- tessellation -----------------------------------------------------------------------------

KDuzMesh* KDuzGeometryConverter::TriangulatePatch(const KDuzPatch* patch) {
    if (patch == nullptr || patch->GetControlPointsCount() != patch->GetUCount() * patch->GetVCount()) return nullptr;
    std::unique_ptr<KDuzSurfaceEvaluator> evaluator(
        KDuzSurfaceEvaluator::Create(patch->GetPatchUType(), patch->GetPatchVType()));
    if (evaluator == nullptr) return nullptr;
    evaluator->SetUClosed(patch->GetUClosed() ? 1 : 0);
    evaluator->SetVClosed(patch->GetVClosed() ? 1 : 0);
    evaluator->SetUStep(patch->GetUStep());
    evaluator->SetVStep(patch->GetVStep());
    evaluator->SetControlPoints(patch->GetControlPoints(), patch->GetUCount(), patch->GetVCount());
    return Tessellate(*patch, *evaluator, patch->GetUClosed(), patch->GetVClosed());
}

KDuzMesh* KDuzGeometryConverter::TriangulateNurb(const KDuzNurb* nurb) {
    if (nurb == nullptr || nurb->GetControlPointsCount() != nurb->GetUCount() * nurb->GetVCount()) return nullptr;
    // Orders above four have more basis functions than a span window holds.
    if (nurb->GetUOrder() < 1 || nurb->GetUOrder() > KDuzNURBSurfaceEvaluator::kMaxOrder ||
        nurb->GetVOrder() < 1 || nurb->GetVOrder() > KDuzNURBSurfaceEvaluator::kMaxOrder)
        return nullptr;
    std::unique_ptr<KDuzSurfaceEvaluator> evaluator(
        KDuzNURBSurfaceEvaluator::Create(nurb->GetUOrder(), nurb->GetVOrder()));
    if (evaluator == nullptr) return nullptr;
    const bool uClosed = nurb->GetNurbUType() != eNurbOpen;
    const bool vClosed = nurb->GetNurbVType() != eNurbOpen;
    evaluator->SetUClosed(uClosed ? 1 : 0);
    evaluator->SetVClosed(vClosed ? 1 : 0);
    evaluator->SetUStep(nurb->GetUStep());
    evaluator->SetVStep(nurb->GetVStep());
    evaluator->SetControlPoints(nurb->GetControlPoints(), nurb->GetUCount(), nurb->GetVCount());
    evaluator->SetData(1, nurb->GetUKnotVector(), nurb->GetUKnotArrayCount());
    evaluator->SetData(2, nurb->GetVKnotVector(), nurb->GetVKnotArrayCount());
    const std::vector<double> weights = WeightsOf(*nurb);
    evaluator->SetData(0, weights.data(), static_cast<int>(weights.size()));
    return Tessellate(*nurb, *evaluator, uClosed, vClosed);
}

KDuzMesh* KDuzGeometryConverter::Tessellate(const KDuzGeometry& source, KDuzSurfaceEvaluator& evaluator,
                                            bool uClosed, bool vClosed) {
    const int nu = evaluator.GetUPointCount();
    const int nv = evaluator.GetVPointCount();
    if (nu == 0 || nv == 0) return nullptr;
    KDuzMesh* mesh = KDuzMesh::Create(GetSdkManager(), "");
    if (mesh == nullptr) return nullptr;
    mesh->CopyLayers(source);
    mesh->CopyPivot(source);
    // The weights serve the skin only; without one they are not recorded.
    const bool skinned = source.GetSrcObject(KDuzSkin::ClassId(), 0) != nullptr;
    KSparseWeightMatrix weights(skinned ? source.GetControlPointsCount() : 0, skinned ? nu * nv : 0);
    if (!EvaluateInto(evaluator, *mesh, skinned ? &weights : nullptr)) {
        mesh->Destroy();
        return nullptr;
    }

    // Shapes: the same evaluator (and tables) over each shape's points.
    auto& shapes = const_cast<KDuzGeometry&>(source);
    const int uCount = evaluator.GetControlPointUCount();
    const int vCount = evaluator.GetControlPointVCount();
    for (int s = 0; s < shapes.GetShapeCount(); ++s) {
        KDuzShape* shape = shapes.GetShape(s);
        if (shape == nullptr || shape->GetControlPointsCount() != source.GetControlPointsCount()) continue;
        KDuzShape* copy = KDuzShape::Create(GetSdkManager(), "");
        if (copy == nullptr) continue;
        copy->CopyFrom(*shape);
        evaluator.SetControlPoints(shape->GetControlPoints(), uCount, vCount);
        if (!EvaluateInto(evaluator, *copy, nullptr) || mesh->AddShape(copy, shapes.GetShapeName(s)) < 0)
            copy->Destroy();
    }
    evaluator.SetControlPoints(source.GetControlPoints(), uCount, vCount);

    if (skinned) ConvertSkin(source, *mesh, weights);
    BuildSurfaceMeshTopology(*mesh, nu, nv, uClosed, vClosed, false);
    return mesh;
}

void KDuzGeometryConverter::BuildSurfaceMeshTopology(KDuzMesh& mesh, int nu, int nv, bool uClosed, bool vClosed,
                                                     bool winding) {
    // The first layer with diffuse UVs keeps them; otherwise layer 0 gets them.
    KDuzLayerElementUV* uvs = nullptr;
    for (int l = 0; l < mesh.GetLayerCount() && uvs == nullptr; ++l) {
        if (KDuzLayer* layer = mesh.GetLayer(l)) uvs = layer->GetUVs();
    }
    if (uvs == nullptr) {
        if (mesh.GetLayerCount() == 0 && mesh.CreateLayer() < 0) return;
        KDuzLayer* layer = mesh.GetLayer(0);
        uvs = layer->SetUVsOfType(KDuzCreateLayerElementUV(GetSdkManager(), ""), 3);
        if (uvs == nullptr) return;
    }
    uvs->SetMappingMode(KDuzLayerElement::eByPolygonVertex);
    uvs->SetReferenceMode(KDuzLayerElement::eIndexToDirect);
    KgeUVVectorArray& direct = uvs->GetDirectArray();
    KTypedArray<int>& indices = uvs->GetIndexArray();
    indices.Empty();

    const int cellsU = nu - 1 + (uClosed && nu > 1 ? 1 : 0);
    const int cellsV = nv - 1 + (vClosed && nv > 1 ? 1 : 0);
    const long long cells = cellsU > 0 && cellsV > 0 ? static_cast<long long>(cellsU) * cellsV : 0;
    const double du = uClosed ? nu : nu - 1;
    const double dv = vClosed ? nv : nv - 1;
    const int uvBase = direct.Count();
    KTypedArray<KDuzMeshPolygon>& polygons = mesh.GetPolygonArray();
    KTypedArray<int>& corners = mesh.GetPolygonVertexArray();
    polygons.Empty();
    corners.Empty();
    if (cells == 0 || !direct.SetCount(uvBase + static_cast<int>(cells * 4)) ||
        !polygons.SetCount(static_cast<int>(cells * 2)) || !corners.SetCount(static_cast<int>(cells * 6)) ||
        !indices.SetCount(static_cast<int>(cells * 6))) {
        polygons.Empty();
        corners.Empty();
        indices.Empty();
        direct.SetCount(uvBase);
        return;
    }
    int cell = 0;
    for (int j = 0; j < cellsV; ++j) {
        for (int i = 0; i < cellsU; ++i, ++cell) {
            const int i1 = (i + 1) % nu;
            const int j1 = (j + 1) % nv;
            const int a = j * nu + i;
            const int b = j * nu + i1;
            const int c = j1 * nu + i;
            const int d = j1 * nu + i1;
            const int uv = uvBase + 4 * cell;
            direct[uv] = KgeUVVector(i / du, j / dv);
            direct[uv + 1] = KgeUVVector((i + 1) / du, j / dv);
            direct[uv + 2] = KgeUVVector(i / du, (j + 1) / dv);
            direct[uv + 3] = KgeUVVector((i + 1) / du, (j + 1) / dv);
            const int first[3][2] = {{a, uv}, {c, uv + 2}, {b, uv + 1}};
            const int second[3][2] = {{b, uv + 1}, {c, uv + 2}, {d, uv + 3}};
            const int firstReversed[3][2] = {{a, uv}, {b, uv + 1}, {c, uv + 2}};
            const int secondReversed[3][2] = {{b, uv + 1}, {d, uv + 3}, {c, uv + 2}};
            const int (*triangles[2])[2] = {winding ? firstReversed : first, winding ? secondReversed : second};
            for (int t = 0; t < 2; ++t) {
                const int polygon = 2 * cell + t;
                polygons[polygon] = KDuzMeshPolygon{3 * polygon, 3, -1};
                for (int k = 0; k < 3; ++k) {
                    corners[3 * polygon + k] = triangles[t][k][0];
                    indices[3 * polygon + k] = triangles[t][k][1];
                }
            }
        }
    }
}

// ---- skins ------------------------------------------------------------------------------------

void KDuzGeometryConverter::ConvertSkin(const KDuzGeometry& source, KDuzGeometry& target,
                                        KSparseWeightMatrix& weights) {
    const std::vector<KDuzSkin*> skins = KDuzSkinsOf(source);
    if (skins.empty()) return;
    KDuzRemoveSkins(target);
    for (const KDuzSkin* skin : skins) {
        std::vector<KDuzCluster*> clusters;
        for (int c = 0; c < skin->GetClusterCount(); ++c) clusters.push_back(skin->GetCluster(c));
        std::vector<KDuzCluster*> converted = ConvertClusters(clusters, source.GetControlPointsCount(), weights);
        // The skin's name and settings, no clusters.
        KDuzSkin* copy = KDuzSkin::Create(GetSdkManager(), skin->GetName());
        if (copy == nullptr) {
            for (KDuzCluster* cluster : converted) cluster->Destroy();
            continue;
        }
        copy->SetDeformAccuracy(skin->GetDeformAccuracy());
        copy->SetMultiLayer(skin->GetMultiLayer());
        for (KDuzCluster* cluster : converted) copy->ConnectSrcObject(cluster);
        target.ConnectSrcObject(copy);
    }
}

std::vector<KDuzCluster*> KDuzGeometryConverter::ConvertClusters(const std::vector<KDuzCluster*>& clusters,
                                                                 int sourceCount, KSparseWeightMatrix& weights) {
    std::vector<KDuzCluster*> converted;
    if (clusters.empty()) return converted;
    weights.NormalizeRows(1, true);
    const int clusterCount = static_cast<int>(clusters.size());
    KSparseWeightMatrix links(clusterCount, sourceCount);
    for (int k = 0; k < clusterCount; ++k) {
        const KDuzCluster* cluster = clusters[static_cast<size_t>(k)];
        if (cluster == nullptr) continue;
        const int* indices = cluster->GetControlPointIndices();
        const double* values = cluster->GetControlPointWeights();
        for (int i = 0; i < cluster->GetControlPointIndicesCount(); ++i) links.Add(k, indices[i], values[i]);
    }
    const int mode = clusters[0] != nullptr ? clusters[0]->GetLinkMode() : KDuzCluster::eNormalize;
    if (mode == KDuzCluster::eNormalize) links.NormalizeRows(1, true);

    const int vertices = weights.GetRowCount(1);
    std::vector<double> sums(static_cast<size_t>(vertices), 0.0);
    std::vector<int> touched;
    for (int k = 0; k < clusterCount; ++k) {
        const KDuzCluster* source = clusters[static_cast<size_t>(k)];
        if (source == nullptr) continue;
        KDuzCluster* cluster = KDuzCluster::Create(GetSdkManager(), "");
        if (cluster == nullptr) continue;
        KDuzCopyClusterSettings(*source, *cluster);
        cluster->SetLinkMode(mode == KDuzCluster::eNormalize ? KDuzCluster::eTotalOne : mode);
        // Sum over the cluster's points and each point's vertices.
        for (int e = 0; e < links.GetEntryCount(0, k); ++e) {
            const KSparseWeightMatrix::Entry* link = links.GetEntry(0, k, e);
            for (int w = 0; w < weights.GetEntryCount(0, link->index); ++w) {
                const KSparseWeightMatrix::Entry* weight = weights.GetEntry(0, link->index, w);
                double& sum = sums[static_cast<size_t>(weight->index)];
                if (sum == 0.0) touched.push_back(weight->index);
                sum += std::fabs(link->value * weight->value);
            }
        }
        std::sort(touched.begin(), touched.end());
        touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
        for (int v : touched) {
            if (sums[static_cast<size_t>(v)] != 0.0) cluster->AddControlPointIndex(v, sums[static_cast<size_t>(v)]);
            sums[static_cast<size_t>(v)] = 0.0;
        }
        touched.clear();
        converted.push_back(cluster);
    }
    return converted;
}

// ---- NURBS surfaces and NURBs -------------------------------------------------------------------

KDuzNurb* KDuzGeometryConverter::ConvertNurbsSurfaceToNurb(const KDuzNurbsSurface* surface) {
    if (surface == nullptr) return nullptr;
    KDuzNurbsSurface* swapped = nullptr;
    const KDuzNurbsSurface* from = surface;
    if (!surface->GetFlipNormals()) {
        swapped = SwapNurbsSurfaceUV(surface, true, true);
        if (swapped == nullptr) return nullptr;
        from = swapped;
    }
    KDuzNurb* nurb = KDuzNurb::Create(GetSdkManager(), surface->GetName());
    bool ok = nurb != nullptr;
    if (ok) {
        auto type = [](int t) { return t == eNurbPeriodic || t == eNurbClosed ? t : static_cast<int>(eNurbOpen); };
        nurb->SetOrder(from->GetUOrder(), from->GetVOrder());
        ok = nurb->InitControlPoints(from->GetUCount(), type(from->GetNurbUType()), from->GetVCount(),
                                     type(from->GetNurbVType()));
    }
    if (ok) {
        auto copyKnots = [](double* to, int toCount, const double* source, int count) {
            const int n = std::min(toCount, count);
            if (n > 0) std::memcpy(to, source, sizeof(double) * static_cast<size_t>(n));
        };
        copyKnots(nurb->GetUKnotVector(), nurb->GetUKnotArrayCount(), from->GetUKnotVector(), from->GetUKnotArrayCount());
        copyKnots(nurb->GetVKnotVector(), nurb->GetVKnotArrayCount(), from->GetVKnotVector(), from->GetVKnotArrayCount());
        nurb->SetStep(from->GetUStep(), from->GetVStep());
        nurb->SetSwapUVFlag(from->GetSwapUVFlag());
        nurb->SetSwapLinksFlag(from->GetSwapLinksFlag());
        nurb->SetSurfaceDisplay(from->GetSurfaceDisplay());
        // The control points keep their weights: a rational surface stays rational.
        ok = nurb->KDuzGeometry::CopyFrom(*from);
        // The old surface takes its skin with it when it goes.
        KDuzCopySkin(GetSdkManager(), *from, *nurb, [](int index) { return index; });
        KDuzCopyShapes(GetSdkManager(), const_cast<KDuzNurbsSurface&>(*from), *nurb, 0, 0, false);
    }
    if (swapped != nullptr) {
        // Its shape copies went to the NURB as copies of their own.
        std::vector<KDuzShape*> shapes;
        for (int i = 0; i < swapped->GetShapeCount(); ++i) shapes.push_back(swapped->GetShape(i));
        swapped->ClearShape();
        for (KDuzShape* shape : shapes) {
            if (shape != nullptr) shape->Destroy();
        }
        swapped->Destroy();
    }
    if (!ok && nurb != nullptr) {
        nurb->Destroy();
        nurb = nullptr;
    }
    return nurb;
}

void KDuzGeometryConverter::CarrySwappedDeformers(const KDuzGeometry& source, KDuzGeometry& copy, int nu, int nv,
                                                  bool swapUV, bool swapLinks) {
    // With the swap-links flag the cluster indices follow the transposed
    // grid; with either flag the shapes are transposed like the points.
    if (swapLinks && nu > 0) {
        KDuzCopySkin(GetSdkManager(), source, copy, [nu, nv](int c) { return c / nu + nv * (c % nu); });
    } else {
        KDuzCopySkin(GetSdkManager(), source, copy, [](int c) { return c; });
    }
    KDuzCopyShapes(GetSdkManager(), const_cast<KDuzGeometry&>(source), copy, nu, nv, swapUV || swapLinks);
}

KDuzNurb* KDuzGeometryConverter::SwapNurbUV(const KDuzNurb* nurb, bool swapUV, bool swapLinks) {
    if (nurb == nullptr) return nullptr;
    KDuzNurb* copy = KDuzNurb::Create(GetSdkManager(), "");
    if (copy == nullptr) return nullptr;
    copy->Copy(*nurb);
    const int nu = nurb->GetUCount();
    const int nv = nurb->GetVCount();
    CarrySwappedDeformers(*nurb, *copy, nu, nv, swapUV, swapLinks);
    if (!swapUV) return copy;
    copy->SetOrder(nurb->GetVOrder(), nurb->GetUOrder());
    copy->SetStep(nurb->GetVStep(), nurb->GetUStep());
    if (!copy->InitControlPoints(nv, nurb->GetNurbVType(), nu, nurb->GetNurbUType())) {
        copy->Destroy();
        return nullptr;
    }
    auto copyArray = [](auto* to, int toCount, const auto* from, int count) {
        const int n = std::min(toCount, count);
        if (n > 0) std::memcpy(to, from, sizeof(*to) * static_cast<size_t>(n));
    };
    copyArray(copy->GetUKnotVector(), copy->GetUKnotArrayCount(), nurb->GetVKnotVector(), nurb->GetVKnotArrayCount());
    copyArray(copy->GetVKnotVector(), copy->GetVKnotArrayCount(), nurb->GetUKnotVector(), nurb->GetUKnotArrayCount());
    copyArray(copy->GetUMultiplicityVector(), nv, nurb->GetVMultiplicityVector(), nv);
    copyArray(copy->GetVMultiplicityVector(), nu, nurb->GetUMultiplicityVector(), nu);
    KTypedArray<KgeTVector>& points = copy->GetControlPointArray();
    if (nurb->GetControlPointsCount() == nu * nv) {
        std::memcpy(points.Data(), nurb->GetControlPoints(), sizeof(KgeTVector) * static_cast<size_t>(nu * nv));
        Transpose(points.Data(), nu, nv);
    }
    return copy;
}

KDuzNurbsSurface* KDuzGeometryConverter::SwapNurbsSurfaceUV(const KDuzNurbsSurface* surface, bool swapUV,
                                                             bool swapLinks) {
    if (surface == nullptr) return nullptr;
    KDuzNurbsSurface* copy = KDuzNurbsSurface::Create(GetSdkManager(), surface->GetName());
    if (copy == nullptr) return nullptr;
    copy->Copy(*surface);
    const int nu = surface->GetUCount();
    const int nv = surface->GetVCount();
    CarrySwappedDeformers(*surface, *copy, nu, nv, swapUV, swapLinks);
    if (!swapUV && !swapLinks) return copy;
    if (swapUV) {
        copy->SetOrder(surface->GetVOrder(), surface->GetUOrder());
        copy->SetStep(surface->GetVStep(), surface->GetUStep());
        if (!copy->InitControlPoints(nv, surface->GetNurbVType(), nu, surface->GetNurbUType())) {
            copy->Destroy();
            return nullptr;
        }
        auto copyKnots = [](double* to, int toCount, const double* from, int count) {
            const int n = std::min(toCount, count);
            if (n > 0) std::memcpy(to, from, sizeof(double) * static_cast<size_t>(n));
        };
        copyKnots(copy->GetUKnotVector(), copy->GetUKnotArrayCount(), surface->GetVKnotVector(),
                  surface->GetVKnotArrayCount());
        copyKnots(copy->GetVKnotVector(), copy->GetVKnotArrayCount(), surface->GetUKnotVector(),
                  surface->GetUKnotArrayCount());
        if (surface->GetControlPointsCount() == nu * nv) {
            std::memcpy(copy->GetControlPoints(), surface->GetControlPoints(),
                        sizeof(KgeTVector) * static_cast<size_t>(nu * nv));
            Transpose(copy->GetControlPoints(), nu, nv);
        }
    }
    // Curves in the surface's parameter space trade their u and v too.
    for (int i = 0; KDuzObject* object = KDuzPlugGetSrcNode(copy, i); ++i) {
        auto* node = dynamic_cast<KDuzNode*>(object);
        auto* curve = node != nullptr ? dynamic_cast<KDuzNurbsCurve*>(node->GetNodeAttribute()) : nullptr;
        if (curve == nullptr || curve->GetDimension() != 2) continue;
        for (KgeTVector& point : curve->GetControlPointArray()) std::swap(point[0], point[1]);
    }
    return copy;
}

}  // namespace duzsdk
