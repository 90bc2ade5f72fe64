// Animation library: channels become keys of the curves of take "Take 001".
#include <cfloat>
#include <cmath>

#include "sdk/animation/KDuzTakeNode.h"
#include "sdk/animation/KFCurve.h"
#include "sdk/animation/KFCurveKey.h"
#include "sdk/formats/collada/KDuzReaderCollada.h"
#include "sdk/geometry/KDuzGeometry.h"
#include "sdk/scene/KDuzNode.h"
#include "sdk/scene/KDuzScene.h"

namespace duzsdk {

namespace {

constexpr const char* kTakeName = "Take 001";

// The element's children by id, for the sampler and source look-ups of its
// channels (one pass instead of one per look-up).
std::unordered_map<std::string, xmlNode*> ChildrenById(const xmlNode* element) {
    std::unordered_map<std::string, xmlNode*> byId;
    for (xmlNode* child = element->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        const KString id = ColladaGetAttribute(child, "id");
        if (!id.IsEmpty()) byId.emplace(id.Buffer(), child);
    }
    return byId;
}

// Curves keep floats: values beyond their range become infinities instead of
// undefined conversions.
float ToFloat(double value) {
    if (std::isnan(value)) return static_cast<float>(value);
    if (value > FLT_MAX) return INFINITY;
    if (value < -FLT_MAX) return -INFINITY;
    return static_cast<float>(value);
}

// The colour component a member names: R, G, B (or X, Y, Z, or 0, 1, 2);
// -1 for any other.
int ColorComponent(const KString& member) {
    const char* const names[3][3] = {{"R", "X", "0"}, {"G", "Y", "1"}, {"B", "Z", "2"}};
    for (int c = 0; c < 3; ++c)
        for (const char* name : names[c])
            if (member == name) return c;
    return -1;
}

// Each key's 16 numbers (a matrix row by row, for column vectors) as nine:
// translation, Euler XYZ rotation and scaling.
ColladaDoubleArray MatrixKeysToTransforms(const ColladaDoubleArray& output) {
    ColladaDoubleArray values;
    const int keys = output.Count() / 16;
    for (int j = 0; j < keys; ++j) {
        KgeMatrix matrix;
        double* data = matrix.Data();
        for (int k = 0; k < 16; ++k) data[(k % 4) * 4 + k / 4] = output[16 * j + k];
        const KgeTVector parts[3] = {matrix.GetTranslation(), matrix.GetEulerXYZ(), matrix.GetScaling()};
        for (const KgeTVector& part : parts)
            for (int c = 0; c < 3; ++c) values.Add(part[c]);
    }
    return values;
}

xmlNode* Lookup(const std::unordered_map<std::string, xmlNode*>& byId, const KString& id) {
    const auto found = byId.find(id.Buffer());
    return found != byId.end() ? found->second : nullptr;
}

}  // namespace

void KDuzReaderCollada::WidenTakeSpan(KTime time) {
    if (!mTakeSpanSet) {
        mTakeStart = time;
        mTakeStop = time;
        mTakeSpanSet = true;
        return;
    }
    if (time.GetSecondDouble() < mTakeStart.GetSecondDouble()) mTakeStart = time;
    if (time.GetSecondDouble() > mTakeStop.GetSecondDouble()) mTakeStop = time;
}

bool KDuzReaderCollada::ReadAnimation(xmlNode* animation, KDuzScene* scene, int depth) {
    if (!ColladaIsElement(animation, "animation")) {
        NotifyError(KString("Node is not an animation node: ") + ColladaGetAttribute(animation, "id"));
        return false;
    }
    if (depth > kMaxNodeDepth) {
        NotifyError(KString("animations nested too deeply"));
        return false;
    }
    (void)scene;
    const auto byId = ChildrenById(animation);
    for (xmlNode* channel = animation->children; channel != nullptr; channel = channel->next) {
        if (!ColladaIsElement(channel, "channel")) continue;
        const KString target = ColladaGetAttribute(channel, "target");
        KString elementId;
        KString key;
        KString member;
        ColladaSplitTarget(target, elementId, key, member);
        const KString suffix = target.IsEmpty() ? KString("") : KString(": ") + target;

        // ---- the node ----
        KDuzNode* node = nullptr;
        const bool morph = elementId.IsEmpty();
        if (morph) {
            const auto shapes = mMorphTable.find(key.Buffer());
            if (shapes == mMorphTable.end() || shapes->second.empty()) {
                NotifyError(KString("shape not found for animation") + suffix);
                return false;
            }
            node = FindSceneNode(shapes->second.front().nodeName);
        } else {
            node = FindSceneNode(elementId);
            if (node == nullptr) node = FirstInstancingNode(elementId);
        }
        if (node == nullptr) {
            NotifyWarning(KString("node channel not found for animation") + suffix);
            continue;
        }
        KDuzTakeNode* takeNode = node->CreateTakeNode(kTakeName);
        if (takeNode != nullptr) node->SetCurrentTakeNodeByName(kTakeName);
        else takeNode = node->GetCurrentTakeNode();
        if (takeNode == nullptr) continue;

        // ---- the curves ----
        std::vector<KFCurve*> curves;
        bool scaled = morph;
        bool matrixChannel = false;
        bool wholeColor = false;
        if (morph) {
            const char* cursor = member.Buffer();
            const int index = ColladaScanInt(cursor);
            auto* geometry = dynamic_cast<KDuzGeometry*>(node->GetNodeAttribute());
            KFCurve* curve = geometry != nullptr ? geometry->GetShapeChannel(takeNode, index) : nullptr;
            if (curve == nullptr)
                NotifyWarning(KString("Could not get shape channel for shape ") + KString(index) + ", node: " +
                              node->GetName());
            else curves.push_back(curve);
        } else {
            const auto found = mAnimatedTargets.find(key.Buffer());
            // Our own channels: a node's visibility, and the matrix of a
            // node whose static matrix was the identity and left out.
            const KString sid = key.MidToEnd(key.ReverseFindChar('/') + 1);
            ColladaTransformTarget implicit;
            if (found == mAnimatedTargets.end() && (sid == "visibility" || sid == "matrix")) implicit.kind = sid;
            if (found == mAnimatedTargets.end() && implicit.kind.IsEmpty()) {
                NotifyWarning(KString("unknown animation channel: ") + key);
                continue;
            }
            const ColladaTransformTarget& record = found != mAnimatedTargets.end() ? found->second : implicit;
            const KString& kind = record.kind;
            if (kind == "translate" || kind == "scale") {
                const bool t = kind == "translate";
                KFCurve* x = t ? takeNode->GetTranslationXCurve() : takeNode->GetScalingXCurve();
                KFCurve* y = t ? takeNode->GetTranslationYCurve() : takeNode->GetScalingYCurve();
                KFCurve* z = t ? takeNode->GetTranslationZCurve() : takeNode->GetScalingZCurve();
                if (member.IsEmpty()) curves = {x, y, z};
                else if (member == "X") curves = {x};
                else if (member == "Y") curves = {y};
                else if (member == "Z") curves = {z};
                else NotifyWarning(KString("unknown target in animation channel: ") + member);
            } else if (kind == "rotate") {
                if (member == "ANGLE") {
                    if (record.index == 0) curves = {takeNode->GetRotationXCurve()};
                    else if (record.index == 1) curves = {takeNode->GetRotationYCurve()};
                    else if (record.index == 2) curves = {takeNode->GetRotationZCurve()};
                } else {
                    NotifyWarning(KString("unknown target in animation channel: ") + member);
                }
            } else if (kind == "color") {
                KFCurve* const rgb[3] = {takeNode->GetColorXCurve(), takeNode->GetColorYCurve(),
                                         takeNode->GetColorZCurve()};
                const int component = ColorComponent(member);
                if (member.IsEmpty()) curves = {rgb[0], rgb[1], rgb[2]};
                else if (component >= 0) curves = {rgb[component]};
                else NotifyWarning(KString("unknown target in animation channel: ") + member);
                wholeColor = member.IsEmpty();
            } else if (kind == "matrix") {
                curves = {takeNode->GetTranslationXCurve(), takeNode->GetTranslationYCurve(),
                          takeNode->GetTranslationZCurve(), takeNode->GetRotationXCurve(),
                          takeNode->GetRotationYCurve(),    takeNode->GetRotationZCurve(),
                          takeNode->GetScalingXCurve(),     takeNode->GetScalingYCurve(),
                          takeNode->GetScalingZCurve()};
                matrixChannel = true;
            } else if (kind == "visibility") {
                curves = {takeNode->GetVisibilityCurve()};
            } else if (kind == "intensity") {
                curves = {takeNode->GetIntensityCurve()};
                scaled = true;
            } else if (kind == "falloff_angle") {
                curves = {takeNode->GetConeAngleCurve()};
            } else if (kind == "xfov" || kind == "yfov") {
                curves = {takeNode->GetFieldOfViewCurve()};
            } else {
                NotifyWarning(KString("unknown animation channel: ") + kind + ". This animation will be lost.");
                continue;
            }
            for (KFCurve* curve : curves)
                if (curve == nullptr) curves.clear();
        }
        if (curves.empty()) {
            NotifyWarning(KString("could not find curve for target ") + target);
            continue;
        }

        // ---- the sampler and its sources ----
        xmlNode* sampler = Lookup(byId, ColladaGetAttribute(channel, "source").MidToEnd(1));
        if (sampler == nullptr) continue;
        ColladaDoubleArray input, output, inTangent, outTangent;
        ColladaNameArray interpolation;
        bool haveInterpolation = false;
        ColladaNodeArray inputs;
        ColladaFindChildrenByName(sampler, "input", inputs);
        for (xmlNode* samplerInput : inputs) {
            const KString semantic = ColladaGetAttribute(samplerInput, "semantic");
            const KString sourceAttribute = ColladaGetAttribute(samplerInput, "source");
            xmlNode* source = Lookup(byId, sourceAttribute.MidToEnd(1));
            bool read = true;
            if (semantic == "INPUT") read = ColladaReadFloatSource(source, input);
            else if (semantic == "OUTPUT") read = ColladaReadFloatSource(source, output);
            else if (semantic == "IN_TANGENT") read = ColladaReadFloatSource(source, inTangent);
            else if (semantic == "OUT_TANGENT") read = ColladaReadFloatSource(source, outTangent);
            else if (semantic == "INTERPOLATION") {
                read = ColladaReadNameSource(source, interpolation);
                haveInterpolation = true;
            } else {
                NotifyWarning(KString("unknown animation source: ") + semantic);
            }
            if (!read) {
                NotifyError(KString("reading array in <source>: ") + sourceAttribute);
                return false;
            }
        }
        const int keys = input.Count();
        if (matrixChannel) {
            // Keys of the parts of each matrix, straight lines between them.
            output = MatrixKeysToTransforms(output);
            inTangent.Clear();
            outTangent.Clear();
            interpolation.clear();
            haveInterpolation = false;
        }
        const int n = static_cast<int>(curves.size());
        // A whole colour may carry alpha: it is skipped.
        const int stride = wholeColor && output.Count() == 4LL * keys ? 4 : n;
        const long long expected = static_cast<long long>(keys) * stride;
        // Tangents are (time, value) points, or for older documents values alone.
        const int tangentWidth = (inTangent.Count() == 2 * expected || outTangent.Count() == 2 * expected) ? 2 : 1;
        if (scaled) {
            for (double& value : output) value *= 100.0;
            for (ColladaDoubleArray* values : {&inTangent, &outTangent})
                for (int i = tangentWidth - 1; i < values->Count(); i += tangentWidth) (*values)[i] *= 100.0;
        }
        const int interpolations = static_cast<int>(interpolation.size());
        if (output.Count() != expected || (inTangent.Count() != 0 && inTangent.Count() != expected * tangentWidth) ||
            (outTangent.Count() != 0 && outTangent.Count() != expected * tangentWidth) ||
            (interpolations != 0 && interpolations != expected)) {
            NotifyWarning(KString("Number of outputs (") + KString(output.Count()) + ")," + " in tangents (" +
                          KString(inTangent.Count()) + ")," + " out tangents (" + KString(outTangent.Count()) + ") " +
                          " or interpolation (" + KString(interpolations) + ")" + " not the number expected (" +
                          KString(static_cast<int>(expected)) + ").");
        }
        const bool tangents = inTangent.Count() > 0 || outTangent.Count() > 0;
        std::uint32_t interpolationCode = kFCurveInterpolationLinear;
        std::uint32_t tangentMode = kFCurveTangentAuto;
        if (haveInterpolation) {
            interpolationCode = kFCurveInterpolationCubic;
            tangentMode = tangents ? kFCurveTangentUser : kFCurveTangentAuto;
        }

        // ---- the keys ----
        for (int c = 0; c < n; ++c) {
            KFCurve* curve = curves[static_cast<size_t>(c)];
            curve->BeginKeyModify();
            curve->ReserveKeys(curve->KeyGetCount() + keys);
            // Keys stop at the last one OUTPUT holds a value for.
            std::vector<int> indices;
            for (int j = 0; j < keys; ++j) {
                const long long at = static_cast<long long>(j) * stride + c;
                if (at >= output.Count()) break;
                KTime time;
                time.SetSecondDouble(input[j]);
                KFCurveKey key;
                key.Set(time.Get(), ToFloat(output[static_cast<int>(at)]), interpolationCode, tangentMode);
                indices.push_back(curve->KeyAdd(time, key));
                WidenTakeSpan(time);
            }
            const int made = static_cast<int>(indices.size());
            if (haveInterpolation) {
                for (int j = 0; j < made; ++j) {
                    const long long at = static_cast<long long>(j) * stride + c;
                    if (at >= interpolations || indices[static_cast<size_t>(j)] < 0) continue;
                    const KString& name = interpolation[static_cast<size_t>(at)];
                    if (name == "LINEAR") curve->KeySetInterpolation(indices[static_cast<size_t>(j)], kFCurveInterpolationLinear);
                    else if (name == "STEP") curve->KeySetInterpolation(indices[static_cast<size_t>(j)], kFCurveInterpolationConstant);
                    else if (name != "BEZIER")
                        NotifyWarning(KString("this interpolation type is not supported: ") + name +
                                      " It will be interpreted as BEZIER.");
                }
            }
            if (tangents) {
                // The slope on each side of key j, from a value over the span
                // (width 1) or from the point the tangent names (width 2).
                auto slope = [&](const ColladaDoubleArray& tangent, int j, int index, bool left, float& out) {
                    const long long at = (static_cast<long long>(j) * stride + c) * tangentWidth;
                    if (at + tangentWidth - 1 >= tangent.Count()) return false;
                    const double t = input[j];
                    double dt = 0.0;
                    double dv = 0.0;
                    if (tangentWidth == 2) {
                        dt = left ? t - tangent[static_cast<int>(at)] : tangent[static_cast<int>(at)] - t;
                        const double v = curve->KeyGetValue(index);
                        dv = left ? v - tangent[static_cast<int>(at) + 1] : tangent[static_cast<int>(at) + 1] - v;
                    } else {
                        dt = left ? (t - input[j - 1]) * curve->KeyGetLeftWeight(index)
                                  : (input[j + 1] - t) * curve->KeyGetRightWeight(index);
                        dv = tangent[static_cast<int>(at)];
                    }
                    // Equal times give no slope rather than a division by zero.
                    if (dt == 0.0 || !std::isfinite(dt)) return false;
                    out = ToFloat(dv / dt);
                    return true;
                };
                for (int j = 0; j < made; ++j) {
                    const int index = indices[static_cast<size_t>(j)];
                    if (index < 0) continue;
                    float value = 0.0f;
                    if (j > 0 && slope(inTangent, j, index, true, value)) curve->KeySetLeftDerivative(index, value);
                    if (j + 1 < made && slope(outTangent, j, index, false, value)) {
                        curve->KeySetRightDerivative(index, value);
                        if (j > 0 && curve->ComputeLeftDerivative(index) != value) curve->KeySetBreak(index, true);
                    }
                }
            }
            curve->EndKeyModify();
        }
    }
    for (xmlNode* nested = animation->children; nested != nullptr; nested = nested->next)
        if (ColladaIsElement(nested, "animation")) ReadAnimation(nested, scene, depth + 1);
    return true;
}

}  // namespace duzsdk
