#pragma once
// A curve-node tree in an DUZ field file: one field per node whose value is
// the node's name and whose block holds "UserName", "TimeWarpID", the curve
// fields, the children as "Channel" fields, "LayerID", "LayerType" and the
// next layer node as "LayerChannel".
//
// Curve options: option 1 is "with colour" for both directions; option 2 is
// the derivative form when writing and "default value only" when reading.

#include "sdk/animation/KFCurveNode.h"

namespace duzsdk {

class KDuz;

// Channel and layer blocks nested deeper than this are skipped on reading and
// not written.
inline constexpr int kFCurveNodeDuzMaxDepth = kFCurveNodeMaxDepth;

// Writes the node's field named fieldName ("Channel" for a child,
// "LayerChannel" for a layer) with its block. shortNames stores the
// translation, rotation and scaling nodes as "T", "R" and "S"; skipUserName
// leaves out "UserName". Returns false when the field file holds an error or
// the tree was too deep to write whole.
bool KFCurveNodeWriteDuz(KFCurveNode& node, KDuz& duz, bool defaultOnly, bool shortNames, bool skipUserName,
                         const char* fieldName, bool curveOption1, bool curveOption2);

// The next "Channel" field of the current block as a new parentless node,
// missing channels created; null when there is none.
KFCurveNode* KFCurveNodeReadRootDuz(KDuz& duz, bool curveOption1, bool curveOption2);

// The next "Channel" field of the current block read into the matching child
// of parent (created when missing and createMissing is set; skipped
// otherwise). Null when no further "Channel" field exists.
KFCurveNode* KFCurveNodeReadChannelDuz(KDuz& duz, KFCurveNode* parent, bool curveOption1, bool createMissing,
                                       bool curveOption2);

// Reads the sub-block of the current field into an existing node.
bool KFCurveNodeReadDuz(KFCurveNode& node, KDuz& duz, bool curveOption1, bool createMissing, bool curveOption2);

// Reads a "LayerChannel" field, when the current block has one, into a new
// layer node of node. True when one was read.
bool KFCurveNodeReadLayerDuz(KDuz& duz, KFCurveNode& node, bool curveOption1);

}  // namespace duzsdk
