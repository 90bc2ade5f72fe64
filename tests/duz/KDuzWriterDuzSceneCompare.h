// What a version 5 file carries of a scene, compared between the scene as
// written and as read back. The layout's own losses are left out, each
// named where it is:
// - the root's children come back in the order of the reader's name map
//   (the layout links nodes by name), so children are matched by name;
// - the local transform travels in the default channels, whose values are
//   floats;
// - the layout has no edges, no layer element names and only the layer
//   elements the version 5 blocks express;
// - an attribute the layout has no record for comes back as a null, and an
//   effector skeleton as a root;
// - take curves carry float key values.
#pragma once

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzNodeAttribute.h"
#include "sdk/scene/KDuzPose.h"
#include "sdk/scene/KDuzScene.h"
#include "sdk/scene/KDuzSceneInfo.h"
#include "sdk/scene/KDuzSkeleton.h"

namespace duztest {

class Duz5SceneCompare {
public:
    // ASCII files keep 15 significant digits of a double; floats keep about 7.
    explicit Duz5SceneCompare(double tolerance) : mTolerance(tolerance) {}

    std::vector<std::string> Compare(duzsdk::KDuzScene& a, duzsdk::KDuzScene& b) {
        mDifferences.clear();
        CompareChildren(a.GetRootNode(), b.GetRootNode(), "root");
        ComparePoses(a, b);
        CompareInfo(a, b);
        return mDifferences;
    }

private:
    void Differ(const std::string& where, const std::string& what) { mDifferences.push_back(where + ": " + what); }

    static bool Near(double x, double y, double tolerance) {
        return x == y || std::fabs(x - y) <= tolerance * std::max(1.0, std::max(std::fabs(x), std::fabs(y)));
    }
    void Number(const std::string& where, double x, double y, double tolerance = -1.0) {
        if (!Near(x, y, tolerance < 0.0 ? mTolerance : tolerance))
            Differ(where, std::to_string(x) + " != " + std::to_string(y));
    }

    // The attribute type a reader makes of what the writer wrote.
    static int ExpectedType(const duzsdk::KDuzObject* attribute) {
        using namespace duzsdk;
        if (attribute == nullptr) return KDuzNodeAttribute::eNull;
        const int type = KDuzNode::GetAttributeTypeOf(attribute);
        if (type >= KDuzNodeAttribute::eNull && type <= KDuzNodeAttribute::eOpticalReference) return type;
        return -1;   // no record in this layout
    }

    void CompareChildren(duzsdk::KDuzNode* x, duzsdk::KDuzNode* y, const std::string& where) {
        Number(where + " children", x->GetChildCount(), y->GetChildCount(), 0.0);
        for (int i = 0; i < x->GetChildCount(); ++i) {
            duzsdk::KDuzNode* child = x->GetChild(i);
            duzsdk::KDuzNode* match = nullptr;
            for (int j = 0; j < y->GetChildCount() && match == nullptr; ++j)
                if (std::strcmp(y->GetChild(j)->GetName(), child->GetName()) == 0) match = y->GetChild(j);
            const std::string path = where + "/" + child->GetName();
            if (match == nullptr)
                Differ(path, "missing");
            else
                CompareNode(child, match, path);
        }
    }

    void CompareNode(duzsdk::KDuzNode* x, duzsdk::KDuzNode* y, const std::string& where) {
        using namespace duzsdk;
        Number(where + " visibility", x->GetVisibility(), y->GetVisibility(), 0.0);
        const int shading = x->GetShadingMode() >= 1 && x->GetShadingMode() <= 5 ? x->GetShadingMode() : 0;
        Number(where + " shading", shading, y->GetShadingMode(), 0.0);
        Number(where + " culling", x->GetCullingType(), y->GetCullingType(), 0.0);
        Number(where + " multi-layer", x->GetMultiLayer(), y->GetMultiLayer(), 0.0);
        Number(where + " multi-take", x->GetMultiTake(), y->GetMultiTake(), 0.0);
        const duzVectorTemplate3<double> t[2] = {x->GetLclTranslation(), y->GetLclTranslation()};
        const duzVectorTemplate3<double> r[2] = {x->GetLclRotation(), y->GetLclRotation()};
        const duzVectorTemplate3<double> s[2] = {x->GetLclScaling(), y->GetLclScaling()};
        for (int k = 0; k < 3; ++k) {
            Number(where + " translation", t[0][k], t[1][k], kFloat);
            Number(where + " rotation", r[0][k], r[1][k], kFloat);
            Number(where + " scaling", s[0][k], s[1][k], kFloat);
        }
        KDuzObject* ax = x->GetNodeAttribute();
        KDuzObject* ay = y->GetNodeAttribute();
        const int expected = ExpectedType(ax);
        if (expected >= 0) Number(where + " attribute type", expected, KDuzNode::GetAttributeTypeOf(ay), 0.0);
        if (auto* skeleton = dynamic_cast<KDuzSkeleton*>(ax)) {
            auto* other = dynamic_cast<KDuzSkeleton*>(ay);
            const int type = skeleton->GetSkeletonType() == KDuzSkeleton::eEffector ? KDuzSkeleton::eRoot
                                                                                     : skeleton->GetSkeletonType();
            if (other != nullptr) Number(where + " skeleton type", type, other->GetSkeletonType(), 0.0);
        }
        if (auto* mesh = dynamic_cast<KDuzMesh*>(ax)) CompareMesh(mesh, dynamic_cast<KDuzMesh*>(ay), where);
        CompareTakes(x, y, where);
        CompareChildren(x, y, where);
    }

    void CompareMesh(duzsdk::KDuzMesh* x, duzsdk::KDuzMesh* y, const std::string& where) {
        using namespace duzsdk;
        if (y == nullptr) return;   // reported with the type
        if (x->GetControlPointsCount() == 0) return;   // an empty mesh writes no body
        Number(where + " control points", x->GetControlPointsCount(), y->GetControlPointsCount(), 0.0);
        KgeMatrix pivot;
        x->GetPivot(pivot);
        for (int i = 0; i < x->GetControlPointsCount() && i < y->GetControlPointsCount(); ++i) {
            const KgeTVector p = pivot.TransformPoint(x->GetControlPoints()[i]);
            for (int k = 0; k < 3; ++k) Number(where + " point " + std::to_string(i), p[k], y->GetControlPoints()[i][k]);
        }
        Number(where + " polygons", x->GetPolygonCount(), y->GetPolygonCount(), 0.0);
        const KTypedArray<int>& cx = x->GetPolygonVertexArray();
        const KTypedArray<int>& cy = y->GetPolygonVertexArray();
        Number(where + " corners", cx.Count(), cy.Count(), 0.0);
        for (int i = 0; i < cx.Count() && i < cy.Count(); ++i)
            Number(where + " corner " + std::to_string(i), cx[i], cy[i], 0.0);
    }

    // The curves of every take but the default one, key by key.
    void CompareTakes(duzsdk::KDuzNode* x, duzsdk::KDuzNode* y, const std::string& where) {
        for (int t = 1; t < x->GetTakeNodeCount(); ++t) {
            const char* name = x->GetTakeNodeName(t);
            duzsdk::KDuzTakeNode* other = nullptr;
            for (int u = 0; u < y->GetTakeNodeCount(); ++u)
                if (std::strcmp(y->GetTakeNodeName(u), name) == 0) other = y->GetTakeNodeAt(u);
            if (other == nullptr) {
                Differ(where + " take " + name, "missing");
                continue;
            }
            CompareCurves(where + " take " + name, x->GetTakeNodeAt(t)->GetCurveNode(), other->GetCurveNode());
        }
    }

    void CompareCurves(const std::string& where, duzsdk::KFCurveNode* x, duzsdk::KFCurveNode* y) {
        if (x == nullptr) return;
        if (y == nullptr) {
            Differ(where, "curve node missing");
            return;
        }
        const duzsdk::KFCurve* cx = x->GetCurve();
        const duzsdk::KFCurve* cy = y->GetCurve();
        if (cx != nullptr && cx->KeyGetCount() > 0) {
            if (cy == nullptr) {
                Differ(where, "curve missing");
            } else {
                Number(where + " keys", cx->KeyGetCount(), cy->KeyGetCount(), 0.0);
                for (int k = 0; k < cx->KeyGetCount() && k < cy->KeyGetCount(); ++k) {
                    if (cx->KeyGetTime(k).Get() != cy->KeyGetTime(k).Get()) Differ(where, "key time " + std::to_string(k));
                    Number(where + " key value " + std::to_string(k), cx->KeyGetValue(k), cy->KeyGetValue(k), kFloat);
                    Number(where + " key interpolation " + std::to_string(k), cx->KeyGetInterpolation(k),
                           cy->KeyGetInterpolation(k), 0.0);
                }
            }
        }
        for (int i = 0; i < x->GetChildCount(); ++i) {
            duzsdk::KFCurveNode* child = x->GetChild(i);
            duzsdk::KFCurveNode* match = nullptr;
            for (int j = 0; j < y->GetChildCount(); ++j)
                if (std::strcmp(y->GetChild(j)->GetName(), child->GetName()) == 0) match = y->GetChild(j);
            CompareCurves(where + "/" + child->GetName(), child, match);
        }
    }

    void ComparePoses(duzsdk::KDuzScene& a, duzsdk::KDuzScene& b) {
        Number("poses", a.GetPoseCount(), b.GetPoseCount(), 0.0);
        for (int i = 0; i < a.GetPoseCount() && i < b.GetPoseCount(); ++i) {
            const duzsdk::KDuzPose* x = a.GetPose(i);
            const duzsdk::KDuzPose* y = b.GetPose(i);
            const std::string where = std::string("pose ") + x->GetName();
            Number(where + " bind", x->IsBindPose(), y->IsBindPose(), 0.0);
            Number(where + " entries", x->GetCount(), y->GetCount(), 0.0);
            for (int e = 0; e < x->GetCount() && e < y->GetCount(); ++e) {
                if (x->GetNode(e) != nullptr && y->GetNode(e) != nullptr &&
                    std::strcmp(x->GetNode(e)->GetName(), y->GetNode(e)->GetName()) != 0)
                    Differ(where, "node of entry " + std::to_string(e));
                if (!x->IsBindPose()) Number(where + " local", x->IsLocalMatrix(e), y->IsLocalMatrix(e), 0.0);
                for (int k = 0; k < 16; ++k)
                    Number(where + " matrix", x->GetMatrix(e).Data()[k], y->GetMatrix(e).Data()[k]);
            }
        }
    }

    void CompareInfo(duzsdk::KDuzScene& a, duzsdk::KDuzScene& b) {
        const duzsdk::KDuzSceneInfo* x = a.GetSceneInfo();
        const duzsdk::KDuzSceneInfo* y = b.GetSceneInfo();
        if (x == nullptr) return;
        if (y == nullptr) {
            Differ("scene info", "missing");
            return;
        }
        if (x->title != y->title || x->author != y->author || x->comment != y->comment) Differ("scene info", "texts");
    }

    static constexpr double kFloat = 1e-6;
    double mTolerance;
    std::vector<std::string> mDifferences;
};

}  // namespace duztest
