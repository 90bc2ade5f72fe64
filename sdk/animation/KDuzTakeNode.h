#pragma once
// One take of an object's animation: a take name and a channel tree under a
// root curve node named "Defaults", with look-ups of the standard channels.

#include "sdk/animation/KFCurveNode.h"
#include "sdk/base/KErrorState.h"
#include "sdk/base/KString.h"

namespace duzsdk {

class KDuzTakeNode;

// An outside object that knows how to fill a take node (see KDuzTakeNode::Fill).
class KDuzTakeNodeFiller {
public:
    virtual ~KDuzTakeNodeFiller() = default;
    virtual bool FillTakeNode(KDuzTakeNode* takeNode, const char* text) = 0;
};

class KDuzTakeNode {
public:
    enum EError { eCurveNotFound = 0, eErrorCount };

    explicit KDuzTakeNode(const char* name);
    // Copies the name and the whole tree, curves included.
    KDuzTakeNode(const KDuzTakeNode& other);
    KDuzTakeNode& operator=(const KDuzTakeNode&) = delete;
    ~KDuzTakeNode();

    const char* GetName() const { return mName.Buffer(); }
    void SetName(const char* name) { mName = name ? name : ""; }
    KFCurveNode* GetCurveNode() const { return mRoot; }
    bool GetAnimationInterval(KTime& start, KTime& stop) const;
    KErrorState& GetError() { return mError; }

    // Each non-null text is a path looked up from the previous result; the
    // curve of the node reached, or null with error eCurveNotFound.
    KFCurve* GetCurve(const char* a, const char* b = nullptr, const char* c = nullptr);
    // As GetCurve, the last step being the first descendant of that data type.
    KFCurve* GetCurveByDataType(const char* a, const char* b, const KDataType* dataType);
    bool IsAnimated(const char* a, const char* b = nullptr, const char* c = nullptr);
    bool IsAnimated(const char* a, const char* b, const KDataType* dataType);
    bool Fill(KDuzTakeNodeFiller* filler, const char* text);

    KFCurve* GetTranslationXCurve() { return GetCurve("Transform", "T", "X"); }
    KFCurve* GetTranslationYCurve() { return GetCurve("Transform", "T", "Y"); }
    KFCurve* GetTranslationZCurve() { return GetCurve("Transform", "T", "Z"); }
    KFCurve* GetRotationXCurve() { return GetCurve("Transform", "R", "X"); }
    KFCurve* GetRotationYCurve() { return GetCurve("Transform", "R", "Y"); }
    KFCurve* GetRotationZCurve() { return GetCurve("Transform", "R", "Z"); }
    KFCurve* GetScalingXCurve() { return GetCurve("Transform", "S", "X"); }
    KFCurve* GetScalingYCurve() { return GetCurve("Transform", "S", "Y"); }
    KFCurve* GetScalingZCurve() { return GetCurve("Transform", "S", "Z"); }
    KFCurve* GetVisibilityCurve() { return GetCurveByTypeName("Visibility"); }
    KFCurve* GetColorXCurve() { return GetCurve("Color", "X"); }
    KFCurve* GetColorYCurve() { return GetCurve("Color", "Y"); }
    KFCurve* GetColorZCurve() { return GetCurve("Color", "Z"); }
    KFCurve* GetIntensityCurve() { return GetCurve("Intensity"); }
    KFCurve* GetConeAngleCurve() { return GetCurve("Cone angle"); }
    KFCurve* GetFogCurve() { return GetCurve("Fog"); }
    KFCurve* GetFieldOfViewCurve() { return GetCurve("FieldOfView"); }
    KFCurve* GetFieldOfViewXCurve() { return GetCurve("FieldOfViewX"); }
    KFCurve* GetFieldOfViewYCurve() { return GetCurve("FieldOfViewY"); }
    KFCurve* GetFocalLengthCurve() { return GetCurve("FocalLength"); }
    KFCurve* GetOpticalCenterXCurve() { return GetCurve("OpticalCenterX"); }
    KFCurve* GetOpticalCenterYCurve() { return GetCurve("OpticalCenterY"); }
    KFCurve* GetRollCurve() { return GetCurve("Roll"); }
    KFCurve* GetTurnTableCurve() { return GetCurve("TurnTable"); }
    KFCurve* GetBackgroundColorXCurve() { return GetCurve("BackgroundColor", "X"); }
    KFCurve* GetBackgroundColorYCurve() { return GetCurve("BackgroundColor", "Y"); }
    KFCurve* GetBackgroundColorZCurve() { return GetCurve("BackgroundColor", "Z"); }
    KFCurve* GetCameraIndexCurve() { return GetCurve("Camera Index"); }
    KFCurve* GetIKReachTranslationCurve() { return GetCurveByTypeName("IK Reach Translation"); }
    KFCurve* GetIKReachRotationCurve() { return GetCurveByTypeName("IK Reach Rotation"); }
    KFCurve* GetLclTranslationXCurve() { return GetCurve("Translation", "X"); }
    KFCurve* GetLclTranslationYCurve() { return GetCurve("Translation", "Y"); }
    KFCurve* GetLclTranslationZCurve() { return GetCurve("Translation", "Z"); }
    KFCurve* GetLclRotationXCurve() { return GetCurve("Rotation", "X"); }
    KFCurve* GetLclRotationYCurve() { return GetCurve("Rotation", "Y"); }
    KFCurve* GetLclRotationZCurve() { return GetCurve("Rotation", "Z"); }
    KFCurve* GetLclScalingXCurve() { return GetCurve("Scaling", "X"); }
    KFCurve* GetLclScalingYCurve() { return GetCurve("Scaling", "Y"); }
    KFCurve* GetLclScalingZCurve() { return GetCurve("Scaling", "Z"); }
    KFCurve* GetAlphaCurve() { return GetCurve("Alpha"); }
    KFCurve* GetShininessCurve() { return GetCurve("Shininess"); }

private:
    KFCurve* GetCurveByTypeName(const char* typeName);

    KString mName;
    KFCurveNode* mRoot = nullptr;
    KErrorState mError;
};

}  // namespace duzsdk
