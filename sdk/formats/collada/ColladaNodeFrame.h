// What the Collada reader and writer agree on about a node's frame: the sids
// of the inverse post-rotation, the turn between a camera's or light's own
// axes and the document's, and the check that a transform stack fits the
// node's pivot transform.
#pragma once

#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVector.h"

namespace duzsdk {

class KDuzNode;
class KDuzObject;

// Sids of the rotations that together make the inverse of the node's
// post-rotation, written X, Y, Z (so that they compose as the inverse of an
// Euler XYZ rotation).
extern const char* const kColladaPostRotationInverseSids[3];

// A rotation of angle degrees about the axis (x, y, z); identity for a zero
// or non-finite axis.
KgeMatrix ColladaAxisRotation(double x, double y, double z, double angle);

// The rotation C with document frame = our node frame x C for the attribute:
// our cameras look along +X and our spot and directional lights shine along
// -Y, where the document's look and shine along -Z. Identity for any other
// attribute.
KgeMatrix ColladaAttributeFrameTurn(KDuzObject* attribute);

// The authoring tool our writer names: the reader knows its documents by it.
extern const char* const kColladaAuthoringTool;

// Sid of the element the writer puts first in each child of a turned node, so
// that the child stays where it is in our scene: it undoes the parent's turn.
extern const char* const kColladaParentTurnInverseSid;

// What a child of parent needs in front of its own transforms for its place
// to stay the same between our frame and the document's, where parent's
// frame is turned (T Roff Rp Rpre R Rpost^-1 [turn] Rp^-1 Soff Sp S Sp^-1):
// to the document, B^-1 turn^-1 B, with B the part after the turn; from the
// document, its inverse. afterTurn false: the turn is the last of the parent's
// transforms (B is the identity). Identity for a parent that is not turned.
KgeMatrix ColladaChildFrameFix(KDuzNode* parent, bool toDocument, bool afterTurn);

// Whether a node's transform elements, met in document order, can be held
// element by element by T Roff Rp Rpre R Rpost^-1 Rp^-1 Soff Sp S Sp^-1.
class ColladaStackCheck {
public:
    enum Slot {
        kTranslate, kRotationOffset, kRotationPivot, kPre, kRotate, kPost, kPostInverse,
        kRotationPivotInverse, kScalingOffset, kScalingPivot, kScale, kScalingPivotInverse
    };
    // axis: 0 X, 1 Y, 2 Z, -1 any other axis (for rotations).
    void Add(Slot slot, int axis);
    void AddPivot(Slot slot, const KgeTVector& value);
    void AddMatrix();
    bool Fits() const;
    bool HasMatrix() const { return mMatrix; }

private:
    bool mFits = true;
    int mCount = 0;
    int mLast = -1;
    bool mMatrix = false;
    int mRotateAxes = 0;
    int mRotateCount = 0;
    // Pre- and post-rotations compose as Euler XYZ: Z, Y, X in the document.
    int mPreLastAxis = 3;
    int mPostLastAxis = 3;
    bool mPost = false;
    bool mPostInverse = false;
    KgeTVector mPivots[4];
    bool mHasPivot[4] = {false, false, false, false};
};

}  // namespace duzsdk
