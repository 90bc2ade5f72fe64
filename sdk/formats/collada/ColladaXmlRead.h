// Reading side of the Collada XML helpers: look-ups over the libxml2 tree,
// attribute and text access, the hand-written number scanners and the readers
// of "source" elements into the SDK's typed arrays. None of them keeps state.
// The types shared with the writing side (ColladaUrl, the array aliases) live
// here too.
#pragma once

#include <vector>

#include <libxml/tree.h>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KString.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVectorArray.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/scene/KDuzRGBAColor.h"

namespace duzsdk {

// A "url" attribute: the whole text and the part after its first '#'.
struct ColladaUrl {
    KString url;
    KString id;
};

using ColladaDoubleArray = KTypedArray<double>;
using ColladaIntArray = KTypedArray<int>;
using ColladaMatrixArray = KTypedArray<KgeMatrix>;
using ColladaNodeArray = std::vector<xmlNode*>;
// Names own their texts (the heap KString pointers of the original design
// become values, so nothing can leak).
using ColladaNameArray = std::vector<KString>;

// ---- look-ups (element children only; every other node type is skipped) ----
xmlNode* ColladaFindChildByName(const xmlNode* parent, const char* name);
xmlNode* ColladaFindChildById(const xmlNode* parent, const KString& id);
xmlNode* ColladaFindChildByNames(const xmlNode* parent, const std::vector<KString>& names);
void ColladaFindChildrenByName(const xmlNode* parent, const char* name, ColladaNodeArray& out);
xmlNode* ColladaFindTechnique(const xmlNode* parent);
xmlNode* ColladaFindTechniqueCommon(const xmlNode* parent);
xmlNode* ColladaFindTechniqueByProfile(const xmlNode* parent, const char* profile);
xmlNode* ColladaFindAccessor(const xmlNode* source);
xmlNode* ColladaFindArrayChild(const xmlNode* source, const char* valueType);
// The first element child, or null.
xmlNode* ColladaFirstChildElement(const xmlNode* parent);
bool ColladaIsElement(const xmlNode* node, const char* name);
const char* ColladaElementName(const xmlNode* node);

// ---- attributes and text ----
KString ColladaGetAttribute(const xmlNode* element, const char* name);
KString ColladaGetContent(const xmlNode* element);
int ColladaGetOffset(const xmlNode* element);
ColladaUrl ColladaGetUrl(const xmlNode* element);
KString ColladaArrayElementName(const KString& valueType);

// ---- scanners; a cursor points into a zero-terminated text ----
double ColladaScanNumber(const char*& cursor);
int ColladaScanInt(const char*& cursor);
KString ColladaNextToken(const char*& cursor);
// Starts from white with alpha 1; three numbers, a fourth only when text remains.
// Components are kept as read (no clamping).
void ColladaScanColor(const char*& cursor, KDuzRGBAColor& color);
// 16 numbers; text row i becomes stored column i. Missing numbers read 0.
void ColladaScanMatrix(const char*& cursor, KgeMatrix& matrix);

// Array scanners: the array's current count is the number of slots overwritten
// first, then further groups are appended while text remains. Return the
// number of groups read.
int ColladaScanIntArray(const char* text, ColladaIntArray& array);
int ColladaScanDoubleArray(const char* text, ColladaDoubleArray& array);
int ColladaScanUvArray(const char* text, KgeUVVectorArray& array, int stride);
int ColladaScanVectorArray(const char* text, KgeTVectorArray& array);
int ColladaScanRgbArray(const char* text, KDuzRGBAColorArray& array);
int ColladaScanRgbaArray(const char* text, KDuzRGBAColorArray& array);
int ColladaScanNameArray(const char* text, ColladaNameArray& array);
int ColladaScanMatrixArray(const char* text, ColladaMatrixArray& array);
// ColladaScanIntArray over an element's text, read in place.
int ColladaReadIntArray(const xmlNode* element, ColladaIntArray& array);
// Frees the texts an element holds, once its numbers have been taken: big
// arrays need not stay in the tree until the document is freed.
void ColladaReleaseText(xmlNode* element);

// ---- source readers: true when the source was read completely ----
bool ColladaReadFloatSource(const xmlNode* source, ColladaDoubleArray& values);
bool ColladaReadMatrixSource(const xmlNode* source, ColladaMatrixArray& matrices);
bool ColladaReadUvSource(const xmlNode* source, KgeUVVectorArray& uvs);
bool ColladaReadVectorSource(const xmlNode* source, KgeTVectorArray& vectors);
bool ColladaReadNameSource(const xmlNode* source, ColladaNameArray& names);
bool ColladaReadColorSource(const xmlNode* source, KDuzRGBAColorArray& colors);

}  // namespace duzsdk
