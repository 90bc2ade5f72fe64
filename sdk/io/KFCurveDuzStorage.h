#pragma once
// A curve's fields in an DUZ field file: "Default", "KeyVer", "KeyCount",
// "Key" (all keys in one field, a short letter grammar per key),
// "Pre-Extrapolation" / "Post-Extrapolation" blocks and "Color". The curve
// node storage writes the surrounding block and calls these.

#include "sdk/animation/KFCurve.h"

namespace duzsdk {

class KDuz;

// Key version written in the current form.
inline constexpr int kFCurveDuzKeyVersion = 4005;
// Key version written in the derivative form: that form writes no clamp
// letters, which is exactly the grammar readers apply below 4005.
inline constexpr int kFCurveDuzKeyVersionDerivativeForm = 4004;

// Writes the curve's fields into the open block. With defaultOnly only
// "Default" is written; withColor adds "Color"; derivativeForm writes auto
// keys as explicit derivatives (the DUZ 5 property layout asks for it).
// Returns false only when the field file holds an error afterwards.
bool KFCurveDuzStore(const KFCurve& curve, KDuz& duz, bool defaultOnly, bool withColor, bool derivativeForm);

// Reads a curve from the current block. Null when the block has no "Default"
// field. Otherwise the given curve (its keys replaced) or, with a null curve,
// a new one that the caller owns.
KFCurve* KFCurveDuzRetrieve(KDuz& duz, KFCurve* curve, bool defaultOnly, bool withColor);
// The same, always into a new curve.
KFCurve* KFCurveDuzRetrieve(KDuz& duz, bool defaultOnly, bool withColor);

// Reads the curve with the "Default" field already current. Loading reports
// nothing to the curve's callbacks. Malformed keys are dropped; a key count
// that the "Key" field cannot hold sets the field file's "File is corrupted"
// error and keeps the keys that are there. Always true.
bool KFCurveDuzRetrieveCurrent(KFCurve& curve, KDuz& duz, bool defaultOnly, bool withColor);

}  // namespace duzsdk
