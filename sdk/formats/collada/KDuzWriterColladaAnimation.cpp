// Node, light, camera and morph weight animation as "animation" elements:
// per curve its times, values, tangents and interpolations, a sampler and a
// channel that targets the element written for the node.
#include <string>
#include <vector>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/formats/collada/ColladaNodeFrame.h"
#include "sdk/formats/collada/ColladaXmlWrite.h"
#include "sdk/formats/collada/KDuzWriterCollada.h"
#include "sdk/geometry/KDuzMesh.h"
#include "sdk/scene/KDuzCamera.h"
#include "sdk/scene/KDuzNode.h"

namespace duzsdk {

namespace {

constexpr std::uint32_t kConstant = 2;
constexpr std::uint32_t kLinear = 4;

KStringList OneName(const char* name) {
    KStringList list;
    list.Append(name);
    return list;
}

}  // namespace

bool KDuzWriterCollada::ExportLibraryAnimations(KDuzNode* root) {
    // Every node of the tree in depth-first child order, with a stack of its
    // own: a hierarchy may be far deeper than the call stack.
    std::vector<KDuzNode*> stack{root};
    while (!stack.empty()) {
        KDuzNode* node = stack.back();
        stack.pop_back();
        KDuzTakeNode* take = node->GetCurrentTakeNode();
        if (take != nullptr && take != node->GetDefaultTakeNode()) {
            xmlNode* library = Library(mAnimationsPart, "library_animations");
            mAnimationsPart.FlushBefore(library);
            xmlNode* animation = ColladaNewChild(library, "animation");
            const KString n = node->GetNameString();
            ColladaSetAttribute(animation, "id", n + "-anim");
            ColladaSetAttribute(animation, "name", n);
            mSuccess = ExportNodeAnimation(node, animation, take);
            // The schema wants at least one animation inside: a node whose
            // curves hold no keys writes none.
            if (animation->children == nullptr) {
                xmlUnlinkNode(animation);
                xmlFreeNode(animation);
            }
            if (!mSuccess) return false;
        }
        for (int i = node->GetChildCount() - 1; i >= 0; --i) stack.push_back(node->GetChild(i));
    }
    // A library left empty is not placed in the document.
    if (mAnimationsPart.HasRoot()) {
        const xmlNode* library = Library(mAnimationsPart, "library_animations");
        if (library->children == nullptr && !mAnimationsPart.IsOpen(library)) mAnimationsPart.Clear();
    }
    return true;
}

bool KDuzWriterCollada::ExportNodeAnimation(KDuzNode* node, xmlNode* animation, KDuzTakeNode* take) {
    const KString n = node->GetNameString();
    if (mSingleMatrix) {
        if (ColladaHasTranslationKeys(node) || ColladaHasRotationKeys(node) || ColladaHasScalingKeys(node))
            ExportMatrixChannel(animation, node, take);
    } else {
        ExportCurve(animation, n, take->GetTranslationXCurve(), "translate", "X", false, false, false);
        ExportCurve(animation, n, take->GetTranslationYCurve(), "translate", "Y", false, false, false);
        ExportCurve(animation, n, take->GetTranslationZCurve(), "translate", "Z", false, false, false);
        ExportCurve(animation, n, take->GetRotationXCurve(), "rotateX", "ANGLE", false, false, false);
        ExportCurve(animation, n, take->GetRotationYCurve(), "rotateY", "ANGLE", false, false, false);
        ExportCurve(animation, n, take->GetRotationZCurve(), "rotateZ", "ANGLE", false, false, false);
        ExportCurve(animation, n, take->GetScalingXCurve(), "scale", "X", false, false, false);
        ExportCurve(animation, n, take->GetScalingYCurve(), "scale", "Y", false, false, false);
        ExportCurve(animation, n, take->GetScalingZCurve(), "scale", "Z", false, false, false);
    }
    ExportCurve(animation, n, take->GetVisibilityCurve(), "visibility", "", false, false, false);
    KDuzObject* attribute = node->GetNodeAttribute();
    switch (KDuzNode::GetAttributeTypeOf(attribute)) {
        case KDuzNodeAttribute::eLight:
            ExportCurve(animation, n, take->GetColorXCurve(), "color", "R", false, false, true);
            ExportCurve(animation, n, take->GetColorYCurve(), "color", "G", false, false, true);
            ExportCurve(animation, n, take->GetColorZCurve(), "color", "B", false, false, true);
            ExportCurve(animation, n, take->GetIntensityCurve(), "intensity", "", false, true, true);
            ExportCurve(animation, n, take->GetConeAngleCurve(), "angle", "", false, false, true);
            break;
        case KDuzNodeAttribute::eCamera: {
            auto* camera = static_cast<KDuzCamera*>(attribute);
            if (camera->GetProjectionType() != KDuzCamera::ePerspective) break;
            switch (static_cast<int>(camera->GetApertureMode())) {
                case 0:
                    ExportCurve(animation, n, take->GetFieldOfViewXCurve(), "xfov", "", false, false, true);
                    ExportCurve(animation, n, take->GetFieldOfViewYCurve(), "yfov", "", false, false, true);
                    break;
                case 1: ExportCurve(animation, n, take->GetFieldOfViewCurve(), "xfov", "", false, false, true); break;
                case 2: ExportCurve(animation, n, take->GetFieldOfViewCurve(), "yfov", "", false, false, true); break;
                case 3: {
                    KFCurve* focal = take->GetFocalLengthCurve();
                    if (focal == nullptr || focal->KeyGetCount() < 1) break;
                    NotifyWarning("Camera Focal Length converted to Field Of View");
                    KFCurve fieldOfView;
                    ColladaConvertFocalLengthCurve(&fieldOfView, focal, camera);
                    ExportCurve(animation, n, &fieldOfView, "yfov", "", false, false, true);
                    break;
                }
                default: break;
            }
            break;
        }
        case KDuzNodeAttribute::eMesh: {
            auto* mesh = static_cast<KDuzMesh*>(attribute);
            for (int i = 0; i < mesh->GetShapeCount(); ++i) {
                const KString member = KString("Weight") + ColladaIntText(i);
                ExportCurve(animation, n, mesh->GetShapeChannel(take, i), "morph-weights", member.Buffer(), true,
                            false, false);
            }
            break;
        }
        default: break;
    }
    return true;
}

bool KDuzWriterCollada::ExportCurve(xmlNode* parent, const KString& n, KFCurve* curve, const char* element,
                                    const char* member, bool morphWeight, bool divideBy100, bool libraryElement) {
    // A single key is written too: it is the value the take holds.
    if (curve == nullptr || curve->KeyGetCount() < 1) return true;
    const KString base = morphWeight || libraryElement ? n + "-lib" : n;
    const KString stem = base + "-" + element + "-animation";
    const KString inputId = stem + "-input" + member;
    const KString outputId = stem + "-output" + member;
    const KString inTangentId = stem + "-intan" + member;
    const KString outTangentId = stem + "-outtan" + member;
    const KString interpolationId = stem + "-interpolation" + member;
    const KString samplerId = stem + member;
    const KString m = member;
    KString target = base + "/" + element;
    if (!m.IsEmpty()) target += KString(".") + m;
    if (morphWeight) target = base + "-" + element + "(" + m + ")";
    const double scale = morphWeight || divideBy100 ? 0.01 : 1.0;

    const int count = curve->KeyGetCount();
    std::vector<double> times(static_cast<size_t>(count));
    std::vector<double> values(static_cast<size_t>(count));
    // Tangents are the (time, value) control points around each key.
    std::vector<double> inTangents(2 * static_cast<size_t>(count));
    std::vector<double> outTangents(2 * static_cast<size_t>(count));
    KStringList interpolations;
    for (int i = 0; i < count; ++i) {
        times[static_cast<size_t>(i)] = curve->KeyGetTime(i).GetSecondDouble();
        values[static_cast<size_t>(i)] = curve->KeyGetValue(i) * scale;
    }
    for (int i = 0; i < count; ++i) {
        const size_t k = static_cast<size_t>(i);
        const double before = i == 0 ? 0.0 : curve->KeyGetLeftWeight(i) * (times[k] - times[k - 1]);
        const double after = i == count - 1 ? 0.0 : curve->KeyGetRightWeight(i) * (times[k + 1] - times[k]);
        inTangents[2 * k] = times[k] - before;
        inTangents[2 * k + 1] = values[k] - (i == 0 ? 0.0 : curve->ComputeLeftDerivative(i) * before * scale);
        outTangents[2 * k] = times[k] + after;
        outTangents[2 * k + 1] = values[k] + (i == count - 1 ? 0.0 : curve->ComputeRightDerivative(i) * after * scale);
        const std::uint32_t interpolation = curve->KeyGetInterpolation(i);
        // Every key gets a name, so the list stays as long as the keys.
        interpolations.Append(interpolation == kConstant ? "STEP" : interpolation == kLinear ? "LINEAR" : "BEZIER");
    }

    xmlNode* animation = ColladaNewChild(parent, "animation");
    ColladaAddFloatSource(animation, inputId, OneName("TIME"), times.data(), count, true);
    ColladaAddFloatSource(animation, outputId, OneName(member), values.data(), count, true);
    KStringList point;
    point.Append("X");
    point.Append("Y");
    ColladaAddFloatSource(animation, inTangentId, point, inTangents.data(), 2 * count, true);
    ColladaAddFloatSource(animation, outTangentId, point, outTangents.data(), 2 * count, true);
    ColladaAddNameSource(animation, interpolationId, interpolations, "name", true);
    xmlNode* sampler = ColladaNewChild(animation, "sampler");
    ColladaSetAttribute(sampler, "id", samplerId);
    ColladaAddInput(sampler, "INPUT", inputId.Buffer(), -1, -1);
    ColladaAddInput(sampler, "OUTPUT", outputId.Buffer(), -1, -1);
    ColladaAddInput(sampler, "IN_TANGENT", inTangentId.Buffer(), -1, -1);
    ColladaAddInput(sampler, "OUT_TANGENT", outTangentId.Buffer(), -1, -1);
    ColladaAddInput(sampler, "INTERPOLATION", interpolationId.Buffer(), -1, -1);
    xmlNode* channel = ColladaNewChild(animation, "channel");
    ColladaSetAttribute(channel, "source", KString("#") + samplerId);
    ColladaSetAttribute(channel, "target", target);
    return true;
}

void KDuzWriterCollada::ExportMatrixChannel(xmlNode* parent, KDuzNode* node, KDuzTakeNode* take) {
    KTime start;
    KTime stop;
    take->GetAnimationInterval(start, stop);
    const int64_t period = mSamplingPeriod.Get();
    if (period <= 0 || stop < start) return;
    std::vector<double> times;
    std::vector<KgeMatrix> matrices;
    KDuzNode* parentNode = node->GetParent();
    const KgeMatrix turn = ColladaAttributeFrameTurn(node->GetNodeAttribute());
    for (KTime time = start; time <= stop; time += mSamplingPeriod) {
        times.push_back(time.GetSecondDouble());
        KgeMatrix local = node->GetGlobalTransformAtTime(time);
        if (parentNode != nullptr)
            local = parentNode->GetGlobalTransformAtTime(time).InverseOrthogonal().MultiplyAffine(local);
        // Written as the static "matrix" element is: rows of the
        // column-vector matrix, the translation in the fourth column.
        matrices.push_back(KgeMatrix::FromAffine(local.MultiplyAffine(turn)).Transpose());
    }
    const KString n = node->GetNameString();
    const KString inputId = n + "-Matrix-animation-input";
    const KString outputId = n + "-Matrix-animation-output-transform";
    const KString samplerId = n + "-Matrix-animation-transform";
    xmlNode* animation = ColladaNewChild(parent, "animation");
    ColladaAddFloatSource(animation, inputId, OneName("TIME"), times.data(), static_cast<int>(times.size()), true);
    ColladaAddMatrixSource(animation, outputId, matrices.data(), static_cast<int>(matrices.size()));
    xmlNode* sampler = ColladaNewChild(animation, "sampler");
    ColladaSetAttribute(sampler, "id", samplerId);
    ColladaAddInput(sampler, "INPUT", inputId.Buffer(), -1, -1);
    ColladaAddInput(sampler, "OUTPUT", outputId.Buffer(), -1, -1);
    xmlNode* channel = ColladaNewChild(animation, "channel");
    ColladaSetAttribute(channel, "source", KString("#") + samplerId);
    ColladaSetAttribute(channel, "target", n + "/matrix");
}

}  // namespace duzsdk
