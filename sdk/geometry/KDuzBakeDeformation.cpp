#include "sdk/geometry/KDuzBakeDeformation.h"

#include "sdk/geometry/KDuzCluster.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/geometry/KDuzShape.h"
#include "sdk/geometry/KDuzSkin.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

namespace {

// a x b for row vectors: a is applied first. All sixteen entries, since a
// weighted matrix is not affine.
KgeMatrix Multiply(const KgeMatrix& a, const KgeMatrix& b) {
    KgeMatrix out;
    double* o = out.Data();
    const double* x = a.Data();
    const double* y = b.Data();
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += x[4 * r + k] * y[4 * k + c];
            o[4 * r + c] = sum;
        }
    }
    return out;
}

// (x, y, z, 1) times the matrix; the first three components.
KgeTVector TransformPoint(const KgeMatrix& m, const KgeTVector& p) {
    const double* d = m.Data();
    KgeTVector out(0.0, 0.0, 0.0, 1.0);
    for (int c = 0; c < 3; ++c) out[c] = p[0] * d[c] + p[1] * d[4 + c] + p[2] * d[8 + c] + d[12 + c];
    return out;
}

}  // namespace

void KDuzBakeShapes(KDuzGeometry& geometry, std::vector<KgeTVector>& points) {
    const std::vector<KgeTVector> base = points;
    const size_t count = base.size();
    for (int i = 0; i < geometry.GetShapeCount(); ++i) {
        KDuzShape* shape = geometry.GetShape(i);
        if (shape == nullptr || static_cast<size_t>(shape->GetControlPointsCount()) != count) continue;
        const double weight = geometry.GetShapeChannelValue(i);
        const KgeTVector* target = shape->GetControlPoints();
        for (size_t j = 0; j < count; ++j) {
            for (int k = 0; k < 3; ++k) points[j][k] += (target[j][k] - base[j][k]) * weight;
        }
    }
}

void KDuzBakeSkin(const KgeMatrix& meshGlobal, KDuzGeometry& geometry, std::vector<KgeTVector>& points,
                  KDuzGlobalMatrixOf globalOf) {
    auto* skin = dynamic_cast<KDuzSkin*>(geometry.GetDeformerOfType(0, KDuzDeformer::eSkin));
    if (skin == nullptr || skin->GetClusterCount() == 0 || skin->GetCluster(0) == nullptr) return;
    const int mode = skin->GetCluster(0)->GetLinkMode();
    const bool additive = mode == KDuzCluster::eAdditive;
    const size_t count = points.size();
    KgeMatrix zero;
    for (int i = 0; i < 16; ++i) zero.Data()[i] = 0.0;
    std::vector<KgeMatrix> accumulated(count, additive ? KgeMatrix() : zero);
    std::vector<double> weightSum(count, 0.0);
    for (int c = 0; c < skin->GetClusterCount(); ++c) {
        KDuzCluster* cluster = skin->GetCluster(c);
        KDuzNode* link = cluster != nullptr ? cluster->GetLink() : nullptr;
        if (link == nullptr) continue;
        KgeMatrix reference;
        KgeMatrix referenceGlobal = meshGlobal;
        KDuzNode* associate = cluster->GetAssociateModel();
        if (additive && associate != nullptr) {
            cluster->GetTransformAssociateModelMatrix(reference);
            referenceGlobal = globalOf(*associate);
        } else {
            cluster->GetTransformMatrix(reference);
        }
        KgeMatrix bind;
        cluster->GetTransformLinkMatrix(bind);
        // The point from the reference pose into the link's bind space, then
        // with the link to where it is now, then back into the mesh's space.
        const KgeMatrix k = Multiply(Multiply(Multiply(reference, bind.InverseOrthogonal()), globalOf(*link)),
                                     referenceGlobal.InverseOrthogonal());
        const int* indices = cluster->GetControlPointIndices();
        const double* weights = cluster->GetControlPointWeights();
        for (int i = 0; i < cluster->GetControlPointIndicesCount(); ++i) {
            const int index = indices[i];
            const double w = weights[i];
            if (w == 0.0 || index < 0 || static_cast<size_t>(index) >= count) continue;
            KgeMatrix weighted(k);
            for (int e = 0; e < 16; ++e) weighted.Data()[e] *= w;
            if (additive) {
                for (int d = 0; d < 4; ++d) weighted.Data()[5 * d] += 1.0 - w;
                accumulated[index] = Multiply(accumulated[index], weighted);
                weightSum[index] = 1.0;
            } else {
                for (int e = 0; e < 16; ++e) accumulated[index].Data()[e] += weighted.Data()[e];
                weightSum[index] += w;
            }
        }
    }
    for (size_t j = 0; j < count; ++j) {
        if (weightSum[j] == 0.0) continue;
        KgeTVector p = TransformPoint(accumulated[j], points[j]);
        for (int k = 0; k < 3; ++k) {
            if (mode == KDuzCluster::eNormalize)
                p[k] /= weightSum[j];
            else if (mode == KDuzCluster::eTotalOne)
                p[k] += points[j][k] * (1.0 - weightSum[j]);
        }
        p[3] = points[j][3];
        points[j] = p;
    }
}

}  // namespace duzsdk
