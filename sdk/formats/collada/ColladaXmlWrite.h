// The creating half of the Collada XML helpers: free functions that append
// Collada elements (sources, arrays, accessors, inputs, techniques and
// parameters) to a libxml2 tree, with the document's number formatting:
// "%f" for doubles (six digits after the point), "%d" for integers.
#pragma once

#include <libxml/tree.h>

#include <string>

#include "sdk/base/KDynamicArray.h"
#include "sdk/base/KString.h"
#include "sdk/base/KStringList.h"
#include "sdk/base/KgeMatrix.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/geometry/KDuzLayerElement.h"
#include "sdk/scene/KDuzRGBAColor.h"

namespace duzsdk {

class ColladaXmlStream;

// The helpers that add number arrays take an optional stream of the part
// the parent belongs to: with one, the array's text is written to it
// directly (the parent is flushed first) instead of held in the tree.

// ---- number text -------------------------------------------------------------------
// Appends the value as printf "%f" would write it (same digits, much faster).
void ColladaAppendDouble(std::string& text, double value);
void ColladaAppendInt(std::string& text, int value);
KString ColladaDoubleText(double value);
KString ColladaIntText(int value);
// Three numbers separated by blanks (a vector or a colour).
std::string ColladaTripleText(double x, double y, double z);

// ---- elements ----------------------------------------------------------------------
// A new last child of the parent (null parent: a new unattached element). The
// text, when given, becomes a text node; it is escaped when saved.
xmlNode* ColladaNewChild(xmlNode* parent, const char* name, const char* text = nullptr);
xmlNode* ColladaNewChild(xmlNode* parent, const char* name, const std::string& text);
void ColladaSetAttribute(xmlNode* element, const char* name, const char* value);
inline void ColladaSetAttribute(xmlNode* element, const char* name, const KString& value) {
    ColladaSetAttribute(element, name, value.Buffer());
}

xmlNode* ColladaAddTechnique(xmlNode* parent, const char* profile);
// "offset" and "set" are left out when -1, "source" when the id is null.
void ColladaAddInput(xmlNode* parent, const char* semantic, const char* sourceId, int offset, int set);
// "stride" is left out when 1, the param's "name" when null or empty.
xmlNode* ColladaAddAccessor(xmlNode* parent, const KString& sourceReference, int count, int stride,
                            const char* paramName, const char* paramType);
void ColladaAddXyzAccessor(xmlNode* source, const KString& arrayReference, int count);
void ColladaAddStAccessor(xmlNode* source, const KString& arrayReference, int count);
xmlNode* ColladaAddArray(xmlNode* parent, const char* valueType, const std::string& text, const KString& id,
                         int count);
xmlNode* ColladaAddFloatParam(xmlNode* parent, const char* name, double value);
// Alpha is always written as 1.
xmlNode* ColladaAddColorParam(xmlNode* parent, const char* name, double red, double green, double blue);
KString ColladaMatrixToText(const KgeMatrix& matrix);

// ---- arrays ------------------------------------------------------------------------
void ColladaAddVectorFloatArray(xmlNode* parent, const KString& arrayId, const KgeTVector* vectors, int count,
                                ColladaXmlStream* stream = nullptr);
void ColladaAddUvFloatArray(xmlNode* parent, const KString& arrayId, const KgeUVVector* uvs, int count,
                            ColladaXmlStream* stream = nullptr);
void ColladaAddDoubleFloatArray(xmlNode* parent, const KString& arrayId, const double* values, int count,
                                ColladaXmlStream* stream = nullptr);
void ColladaAddColorFloatArray(xmlNode* parent, const KString& arrayId, const KDuzRGBAColor* colors, int count,
                               ColladaXmlStream* stream = nullptr);
void ColladaAddNameArray(xmlNode* parent, const KString& arrayId, const KStringList& names,
                         const char* valueType = "name", ColladaXmlStream* stream = nullptr);

// ---- sources -----------------------------------------------------------------------
xmlNode* ColladaAddVectorSource(xmlNode* parent, const KString& id, const KgeTVector* vectors, int count,
                                ColladaXmlStream* stream = nullptr);
xmlNode* ColladaAddUvSource(xmlNode* parent, const KString& id, const KgeUVVector* uvs, int count,
                            ColladaXmlStream* stream = nullptr);
xmlNode* ColladaAddColorSource(xmlNode* parent, const KString& id, const KDuzRGBAColor* colors, int count,
                               ColladaXmlStream* stream = nullptr);
void ColladaAddColorArrayAndAccessor(xmlNode* source, const KString& id, const KDuzRGBAColor* colors, int count,
                                     ColladaXmlStream* stream = nullptr);
xmlNode* ColladaAddMatrixSource(xmlNode* parent, const KString& id, const KgeMatrix* matrices, int count,
                                ColladaXmlStream* stream = nullptr);
// Each matrix written as its affine copy (last column 0, 0, 0, 1).
xmlNode* ColladaAddAffineMatrixSource(xmlNode* parent, const KString& id, const KgeMatrix* matrices, int count);
// Under "technique_common" when common, else a "MAYA" technique.
xmlNode* ColladaAddFloatSource(xmlNode* parent, const KString& id, const KStringList& paramNames,
                               const double* values, int count, bool common, ColladaXmlStream* stream = nullptr);
xmlNode* ColladaAddNameSource(xmlNode* parent, const KString& id, const KStringList& names,
                              const char* paramType, bool common, ColladaXmlStream* stream = nullptr);

}  // namespace duzsdk
