// Writers of formats that hold no deformers (OBJ, DXF) write deformed points
// instead. These work on a copy of the geometry's points, so the scene keeps
// its own.
#pragma once

#include <vector>

#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVector.h"

namespace duzsdk {

class KDuzGeometry;
class KDuzNode;

// Each blend shape moves every point by (its point - the unshaped point)
// times the current value of its channel. A shape of another point count
// cannot be matched point by point and is skipped.
void KDuzBakeShapes(KDuzGeometry& geometry, std::vector<KgeTVector>& points);

// The global matrix of a link node or an associate model, as the writer
// computes it.
using KDuzGlobalMatrixOf = KgeMatrix (*)(const KDuzNode& node);

// Skin 0 of the geometry moves the points; the link mode of cluster 0
// decides for every cluster (normalize, additive, total-one). meshGlobal is
// the global matrix of the geometry's node. Per point, additive clusters
// compose in cluster order; the others add up their weighted matrices.
// Indices outside the points and zero weights are skipped.
void KDuzBakeSkin(const KgeMatrix& meshGlobal, KDuzGeometry& geometry, std::vector<KgeTVector>& points,
                  KDuzGlobalMatrixOf globalOf);

}  // namespace duzsdk
