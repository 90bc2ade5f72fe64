#pragma once
// Geometry on raw double arrays: 4x4 matrices (16 doubles, row-major, element
// (r, c) at 4r + c), vectors and quaternions (4 doubles; quaternions x, y, z, w).
//
// Points are row vectors multiplied on the left (p' = p x M): rows 0-2 are the
// images of the x, y and z axes, elements 12-14 the translation. Angles are
// degrees at every interface. Functions that only write part of a matrix say so;
// the other elements of the output are left as they were.

namespace duzsdk {

constexpr double kKgeDegreesToRadians = 0.017453292519943295;
constexpr double kKgeRadiansToDegrees = 57.29577951308232;
constexpr double kKgeDegreesToHalfRadians = 0.008726646259971648;
constexpr double kKgeTwiceRadiansToDegrees = 114.59155902616465;

// --- Matrix copy, compare, transpose ---------------------------------------

// out x, y, z = x·row0 + y·row1 + z·row2 + row3; out may be point. Returns out.
double* KgeMatrixTransformPoint(double* out, const double* m, const double* point);

void KgeMatrixCopy(double* out, const double* m);
// The 12 affine elements (0-2, 4-6, 8-10, 12-14); column 3 of out is untouched.
void KgeMatrixCopyAffine(double* out, const double* m);
// Full 4x4 transpose; out may be m.
void KgeMatrixTranspose(double* out, const double* m);
// Transpose of the 3x3 part only; out may be m. Other elements of out untouched.
void KgeMatrixTranspose3x3(double* out, const double* m);

// Nonzero tolerance: 1 when any affine element differs by more than it, else 0.
// Tolerance 0: byte-wise order of the first 15 elements (-1, 0 or 1), so -0.0
// and 0.0 differ.
int KgeMatrixCompare(const double* a, const double* b, double tolerance);
// As KgeMatrixCompare over all 16 elements.
int KgeMatrixCompareFull(const double* a, const double* b, double tolerance);
// As KgeMatrixCompare over x, y, z.
int KgeVector3Compare(const double* a, const double* b, double tolerance);

// --- Products and inverses ---------------------------------------------------

// out = b x a over the affine part: b is applied to a point first, then a.
// out's 3x3 = b's 3x3 x a's 3x3; out's translation = b's translation x a's 3x3
// + a's translation. Column 3 of out is not written. out may be a or b.
void KgeMatrixMultiplyAffine(double* out, const double* a, const double* b);
// 3x3 part of out = b x a (out[i][j] = sum b[i][k] a[k][j]); out may be a or b.
void KgeMatrixMultiply3x3(double* out, const double* a, const double* b);
// 3x3 part of out = b x transpose(a) (out[i][j] = sum b[i][k] a[j][k]); out may
// be a or b.
void KgeMatrixMultiply3x3ByTranspose(double* out, const double* a, const double* b);

// Inverse of an affine matrix whose three axes are orthogonal (any lengths):
// column c of the 3x3 is axis c / |axis c|^2, translation = -(m's translation x
// the new 3x3). An axis of length 0 gives a zero column. Column 3 of out is not
// written. out may be m.
void KgeMatrixInverseOrthogonal(double* out, const double* m);
// out = b x inverse(a) (KgeMatrixInverseOrthogonal); out may be a or b.
void KgeMatrixMultiplyInverseOrthogonal(double* out, const double* a, const double* b);

// --- Decomposition and composition -------------------------------------------

bool KgeMatrixHasNonNegativeDeterminant(const double* m);
// out x, y, z = lengths of rows 0-2, all three negated when the 3x3 determinant
// is negative (a zero determinant counts as positive).
void KgeMatrixGetScaling(double* out, const double* m);
// translation = elements 12-14 (x, y, z), scale = the three unsigned row lengths,
// rotation's 3x3 = the rows divided by them (a zero-length row is rebuilt, see
// KgeMatrixGetRotationAxes). Only the 3x3 part of rotation is written.
void KgeMatrixSplitScaleRotation(double* translation, double* rotation, double* scale,
                                 const double* m);
// Writes into the 3x3 part of out the rows of m divided by the matching signed
// scale. A row that is too short to give a direction (a zero scale) is replaced
// by the cross product of the other two when exactly one row is missing, else by
// the unit axis, so a decomposition never produces NaN.
void KgeMatrixGetRotationAxes(double* out, const double* m, const double* signedScale);
// Rows 0-2 of out = rows 0-2 of m times scale x, y, z. out may be m.
void KgeMatrixScaleRows(double* out, const double* m, const double* scale);
// out = scale, then rotate (Euler XYZ degrees), then translate; all 16 elements
// are written (column 3 is 0, 0, 0, 1).
void KgeMatrixComposeTRS(double* out, const double* translation, const double* eulerXYZ,
                         const double* scale);
// As KgeMatrixComposeTRS with the rotation of a quaternion (x, y, z, w).
void KgeMatrixComposeTQS(double* out, const double* translation, const double* quaternion,
                         const double* scale);

// --- Euler angles --------------------------------------------------------------

// Rotation part of out from Euler angles in degrees: about x first, then y, then z.
void KgeEulerXYZToMatrix(double* out, double x, double y, double z);
// out x, y, z: Euler XYZ degrees of a rotation matrix without scaling.
void KgeMatrixToEulerXYZ(double* out, const double* m);
// As KgeMatrixToEulerXYZ after dividing the rows by their signed lengths.
void KgeMatrixToEulerXYZUnscaled(double* out, const double* m);

// Rotation orders by index: 0 XYZ, 2 XZY, 4 YZX, 6 YXZ, 8 ZXY, 10 ZYX (12, the
// spheric order, goes through quaternions and is handled by KgeRotationOrder).
// Writes the axes (i, j, k) of the order: axis i is applied first. Returns false
// and gives the XYZ axes for any index that is not one of the six above.
bool KgeRotationOrderAxes(int orderIndex, int* axes);
// Rotation part of out from three angles in degrees indexed by axis (angles[0]
// about x, ...) for the order index; an unknown index acts as XYZ.
void KgeEulerByAxesToMatrix(double* out, int orderIndex, const double* anglesByAxis);
// The inverse of KgeEulerByAxesToMatrix: angles indexed by axis, degrees.
void KgeMatrixToEulerByAxes(double* anglesByAxis, int orderIndex, const double* m);

// --- Quaternions ----------------------------------------------------------------

// out = q1 x q2 (Hamilton product, q1 on the left); out may be q1 or q2.
void KgeQuaternionMultiply(double* out, const double* q1, const double* q2);
// Rotation part of out; s = 2 / |q|^2 (0 for a zero quaternion, giving identity).
void KgeQuaternionToMatrix(double* out, const double* q);
// Quaternion (x, y, z, w) of the rotation part of m.
void KgeMatrixToQuaternion(double* out, const double* m);
// Normalised quaternion of the rotation of KgeEulerXYZToMatrix for these angles.
void KgeQuaternionFromEulerXYZ(double* out, double x, double y, double z);
// out x, y, z: Euler XYZ degrees of the quaternion's rotation.
void KgeQuaternionToEulerXYZ(double* out, const double* q);
// out x, y, z: the image of the y axis under the quaternion's rotation.
void KgeQuaternionRotateYAxis(double* out, const double* q);

// --- Four- and three-double helpers --------------------------------------------

// out = v / |v|; a zero vector gives zero. out may be v.
void KgeVector4Normalize(double* out, const double* v);
double KgeVector4Dot(const double* a, const double* b);
void KgeVector4Scale(double* out, const double* v, double s);
void KgeVector4Add(double* out, const double* a, const double* b);
// out x, y, z = v / |v| over x, y, z; all three 0 for a zero vector. out may be v.
void KgeVector3Normalize(double* out, const double* v);

}  // namespace duzsdk
