#include "sdk/animation/KDuzTakeNode.h"

#include <cstring>

#include "sdk/object/KDataType.h"

namespace duzsdk {

namespace {

const char* const kTakeNodeErrors[KDuzTakeNode::eErrorCount] = {"Curve not found"};

// Reference nodes do not own their children: empty them before the root goes.
void EmptyReferenceNode(KFCurveNode* node, int depth)
{
    if (depth > kFCurveNodeMaxDepth) return;
    for (int i = node->GetChildCount() - 1; i >= 0; --i) {
        KFCurveNode* child = node->GetChild(i);
        if (child->IsReferenceNode()) {
            EmptyReferenceNode(child, depth + 1);
            node->RemoveChild(i);
        }
    }
}

const KFCurveNode* FindByDataTypeName(const KFCurveNode* node, const char* typeName, int depth)
{
    if (!node || depth > kFCurveNodeMaxDepth) return nullptr;
    for (int i = 0; i < node->GetChildCount(); ++i) {
        const KFCurveNode* child = node->GetChild(i);
        const KDataType* type = child->GetDataType();
        if (type && type->GetName() && std::strcmp(type->GetName(), typeName) == 0) return child;
        if (const KFCurveNode* found = FindByDataTypeName(child, typeName, depth + 1)) return found;
    }
    return nullptr;
}

}  // namespace

KDuzTakeNode::KDuzTakeNode(const char* name)
    : mName(name ? name : ""), mRoot(KFCurveNodeCreate("Defaults")), mError(kTakeNodeErrors, eErrorCount)
{
}

KDuzTakeNode::KDuzTakeNode(const KDuzTakeNode& other)
    : mName(other.mName), mRoot(other.mRoot ? other.mRoot->Clone(false) : KFCurveNodeCreate("Defaults")),
      mError(kTakeNodeErrors, eErrorCount)
{
}

KDuzTakeNode::~KDuzTakeNode()
{
    if (mRoot && mRoot->IsReferenceNode()) EmptyReferenceNode(mRoot, 0);
    delete mRoot;
}

bool KDuzTakeNode::GetAnimationInterval(KTime& start, KTime& stop) const
{
    return mRoot && mRoot->ExtendAnimationInterval(start, stop);
}

KFCurve* KDuzTakeNode::GetCurve(const char* a, const char* b, const char* c)
{
    const KFCurveNode* node = mRoot;
    for (const char* segment : {a, b, c}) {
        if (!segment || !node) continue;
        node = node->FindByPath(segment);
    }
    KFCurve* curve = node ? node->GetCurve() : nullptr;
    if (!curve) mError.SetLastError(eCurveNotFound);
    return curve;
}

KFCurve* KDuzTakeNode::GetCurveByDataType(const char* a, const char* b, const KDataType* dataType)
{
    const KFCurveNode* node = mRoot;
    for (const char* segment : {a, b}) {
        if (!segment || !node) continue;
        node = node->FindByPath(segment);
    }
    node = node ? node->FindDescendantByDataType(dataType) : nullptr;
    KFCurve* curve = node ? node->GetCurve() : nullptr;
    if (!curve) mError.SetLastError(eCurveNotFound);
    return curve;
}

KFCurve* KDuzTakeNode::GetCurveByTypeName(const char* typeName)
{
    const KFCurveNode* node = FindByDataTypeName(mRoot, typeName, 0);
    KFCurve* curve = node ? node->GetCurve() : nullptr;
    if (!curve) mError.SetLastError(eCurveNotFound);
    return curve;
}

bool KDuzTakeNode::IsAnimated(const char* a, const char* b, const char* c)
{
    KFCurve* curve = GetCurve(a, b, c);
    return curve && curve->KeyGetCount() > 0;
}

bool KDuzTakeNode::IsAnimated(const char* a, const char* b, const KDataType* dataType)
{
    KFCurve* curve = GetCurveByDataType(a, b, dataType);
    return curve && curve->KeyGetCount() > 0;
}

bool KDuzTakeNode::Fill(KDuzTakeNodeFiller* filler, const char* text)
{
    if (filler && filler->FillTakeNode(this, text)) return true;
    mError.SetLastError(eCurveNotFound);
    return false;
}

}  // namespace duzsdk
