#include "sdk/formats/collada/ColladaXmlWrite.h"

#include "sdk/formats/collada/ColladaXmlStream.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace duzsdk {

namespace {

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// The element that holds values of a type ("float" gives "float_array").
const char* ArrayElementNameOf(const char* valueType) {
    const std::string_view type = valueType != nullptr ? valueType : "";
    if (type == "float") return "float_array";
    if (type == "name") return "Name_array";
    if (type == "IDREF") return "IDREF_array";
    if (type == "int") return "int_array";
    if (type == "bool") return "bool_array";
    return "";
}

KString ArrayIdOf(const KString& id) { return id + "-array"; }
KString ReferenceTo(const KString& id) { return KString("#") + id; }

}  // namespace

// ---- number text -------------------------------------------------------------------

void ColladaAppendDouble(std::string& text, double value) {
    char buffer[400];
    text.append(buffer, ColladaFormatDouble(buffer, value));
}

std::string ColladaTripleText(double x, double y, double z) {
    std::string text;
    ColladaAppendDouble(text, x);
    text += ' ';
    ColladaAppendDouble(text, y);
    text += ' ';
    ColladaAppendDouble(text, z);
    return text;
}

void ColladaAppendInt(std::string& text, int value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
}

KString ColladaDoubleText(double value) {
    std::string text;
    ColladaAppendDouble(text, value);
    return KString(text.c_str());
}

KString ColladaIntText(int value) {
    std::string text;
    ColladaAppendInt(text, value);
    return KString(text.c_str());
}

// ---- elements ----------------------------------------------------------------------

xmlNode* ColladaNewChild(xmlNode* parent, const char* name, const char* text) {
    if (name == nullptr) return nullptr;
    xmlNode* element = parent != nullptr ? xmlNewChild(parent, nullptr, X(name), nullptr)
                                         : xmlNewNode(nullptr, X(name));
    // A text node of its own rather than xmlNewChild's content, which would
    // read "&" as the start of an entity reference.
    if (element != nullptr && text != nullptr) xmlNodeAddContent(element, X(text));
    return element;
}

xmlNode* ColladaNewChild(xmlNode* parent, const char* name, const std::string& text) {
    xmlNode* element = ColladaNewChild(parent, name, nullptr);
    if (element != nullptr) xmlNodeAddContentLen(element, X(text.data()), static_cast<int>(text.size()));
    return element;
}

void ColladaSetAttribute(xmlNode* element, const char* name, const char* value) {
    if (element == nullptr || name == nullptr) return;
    xmlNewProp(element, X(name), X(value != nullptr ? value : ""));
}

xmlNode* ColladaAddTechnique(xmlNode* parent, const char* profile) {
    xmlNode* technique = ColladaNewChild(parent, "technique");
    ColladaSetAttribute(technique, "profile", profile);
    return technique;
}

void ColladaAddInput(xmlNode* parent, const char* semantic, const char* sourceId, int offset, int set) {
    xmlNode* input = ColladaNewChild(parent, "input");
    ColladaSetAttribute(input, "semantic", semantic);
    if (offset != -1) ColladaSetAttribute(input, "offset", ColladaIntText(offset));
    if (set != -1) ColladaSetAttribute(input, "set", ColladaIntText(set));
    if (sourceId != nullptr) ColladaSetAttribute(input, "source", KString("#") + sourceId);
}

xmlNode* ColladaAddAccessor(xmlNode* parent, const KString& sourceReference, int count, int stride,
                            const char* paramName, const char* paramType) {
    xmlNode* accessor = ColladaNewChild(parent, "accessor");
    ColladaSetAttribute(accessor, "source", sourceReference);
    ColladaSetAttribute(accessor, "count", ColladaIntText(count));
    if (stride != 1) ColladaSetAttribute(accessor, "stride", ColladaIntText(stride));
    xmlNode* param = ColladaNewChild(accessor, "param");
    if (paramName != nullptr && paramName[0] != '\0') ColladaSetAttribute(param, "name", paramName);
    ColladaSetAttribute(param, "type", paramType);
    return accessor;
}

namespace {

void AddAccessorWithParams(xmlNode* source, const KString& arrayReference, int count,
                           const char* const* names, int nameCount, const char* type) {
    xmlNode* common = ColladaNewChild(source, "technique_common");
    xmlNode* accessor = ColladaNewChild(common, "accessor");
    ColladaSetAttribute(accessor, "source", arrayReference);
    ColladaSetAttribute(accessor, "count", ColladaIntText(count));
    ColladaSetAttribute(accessor, "stride", ColladaIntText(nameCount));
    for (int i = 0; i < nameCount; ++i) {
        xmlNode* param = ColladaNewChild(accessor, "param");
        ColladaSetAttribute(param, "name", names[i]);
        ColladaSetAttribute(param, "type", type);
    }
}

}  // namespace

void ColladaAddXyzAccessor(xmlNode* source, const KString& arrayReference, int count) {
    static const char* const kNames[] = {"X", "Y", "Z"};
    AddAccessorWithParams(source, arrayReference, count, kNames, 3, "float");
}

void ColladaAddStAccessor(xmlNode* source, const KString& arrayReference, int count) {
    static const char* const kNames[] = {"S", "T"};
    AddAccessorWithParams(source, arrayReference, count, kNames, 2, "float");
}

xmlNode* ColladaAddArray(xmlNode* parent, const char* valueType, const std::string& text, const KString& id,
                         int count) {
    const char* name = ArrayElementNameOf(valueType);
    xmlNode* array = nullptr;
    if (name[0] != '\0') {
        array = ColladaNewChild(parent, name, text);
    } else {
        array = ColladaNewChild(parent, "array", text);
        ColladaSetAttribute(array, "type", valueType);
    }
    ColladaSetAttribute(array, "id", id);
    ColladaSetAttribute(array, "count", ColladaIntText(count));
    return array;
}

xmlNode* ColladaAddFloatParam(xmlNode* parent, const char* name, double value) {
    xmlNode* outer = ColladaNewChild(parent, name);
    xmlNode* number = ColladaNewChild(outer, "float", ColladaDoubleText(value).Buffer());
    ColladaSetAttribute(number, "sid", name);
    return outer;
}

xmlNode* ColladaAddColorParam(xmlNode* parent, const char* name, double red, double green, double blue) {
    xmlNode* outer = ColladaNewChild(parent, name);
    std::string text = ColladaTripleText(red, green, blue);
    text += ' ';
    ColladaAppendDouble(text, 1.0);
    xmlNode* color = ColladaNewChild(outer, "color", text);
    ColladaSetAttribute(color, "sid", name);
    return outer;
}

KString ColladaMatrixToText(const KgeMatrix& matrix) {
    const double* m = matrix.Data();
    std::string text;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            ColladaAppendDouble(text, m[row * 4 + column]);
            text += (column == 3 && row == 3) ? '\n' : ' ';
        }
    }
    return KString(text.c_str());
}

// ---- arrays ------------------------------------------------------------------------

namespace {

// Where an array's text goes: a string that becomes the element's text, or
// the part's stream. Names are escaped by the tree when saved, by the stream
// when written.
struct StringText {
    std::string& text;
    void Double(double value) { ColladaAppendDouble(text, value); }
    void Int(int value) { ColladaAppendInt(text, value); }
    void Char(char c) { text += c; }
    void Name(std::string_view name) { text += name; }
};

struct StreamText {
    ColladaXmlStream& stream;
    void Double(double value) { stream.PlainDouble(value); }
    void Int(int value) { stream.PlainInt(value); }
    void Char(char c) { stream.PlainChar(c); }
    void Name(std::string_view name) { stream.Text(name); }
};

// An array element whose text the fill writes, into the tree or the stream.
template <class Fill>
void AddArrayText(xmlNode* parent, const char* valueType, const KString& id, int count, ColladaXmlStream* stream,
                  Fill fill) {
    if (stream == nullptr) {
        std::string text;
        StringText out{text};
        fill(out);
        ColladaAddArray(parent, valueType, text, id, count);
        return;
    }
    xmlNode* array = ColladaAddArray(parent, valueType, std::string(), id, count);
    stream->OpenText(array);
    StreamText out{*stream};
    fill(out);
}

}  // namespace

void ColladaAddVectorFloatArray(xmlNode* parent, const KString& arrayId, const KgeTVector* vectors, int count,
                                ColladaXmlStream* stream) {
    AddArrayText(parent, "float", arrayId, 3 * count, stream, [&](auto& out) {
        out.Char('\n');
        for (int i = 0; i < count; ++i) {
            out.Double(vectors[i][0]);
            out.Char(' ');
            out.Double(vectors[i][1]);
            out.Char(' ');
            out.Double(vectors[i][2]);
            out.Char('\n');
        }
    });
}

void ColladaAddUvFloatArray(xmlNode* parent, const KString& arrayId, const KgeUVVector* uvs, int count,
                            ColladaXmlStream* stream) {
    AddArrayText(parent, "float", arrayId, 2 * count, stream, [&](auto& out) {
        out.Char('\n');
        for (int i = 0; i < count; ++i) {
            out.Double(uvs[i].mU);
            out.Char(' ');
            out.Double(uvs[i].mV);
            out.Char('\n');
        }
    });
}

void ColladaAddDoubleFloatArray(xmlNode* parent, const KString& arrayId, const double* values, int count,
                                ColladaXmlStream* stream) {
    AddArrayText(parent, "float", arrayId, count, stream, [&](auto& out) {
        for (int i = 0; i < count; ++i) {
            out.Char(i % 16 == 0 ? '\n' : ' ');
            out.Double(values[i]);
        }
        out.Char('\n');
    });
}

void ColladaAddColorFloatArray(xmlNode* parent, const KString& arrayId, const KDuzRGBAColor* colors, int count,
                               ColladaXmlStream* stream) {
    AddArrayText(parent, "float", arrayId, 4 * count, stream, [&](auto& out) {
        for (int i = 0; i < count; ++i) {
            out.Double(colors[i].mRed);
            out.Char(' ');
            out.Double(colors[i].mGreen);
            out.Char(' ');
            out.Double(colors[i].mBlue);
            out.Char(' ');
            out.Double(colors[i].mAlpha);
            out.Char('\n');
        }
    });
}

void ColladaAddNameArray(xmlNode* parent, const KString& arrayId, const KStringList& names, const char* valueType,
                         ColladaXmlStream* stream) {
    AddArrayText(parent, valueType, arrayId, names.Count(), stream, [&](auto& out) {
        out.Char('\n');
        int total = 0;
        for (int i = 0; i < names.Count(); ++i) {
            const char* name = names.GetStringAt(i);
            const std::string_view view = name != nullptr ? name : "";
            total += static_cast<int>(view.size());
            if (total > 70) {
                out.Char('\n');
                total = 0;
            } else if (total != 0) {
                out.Char(' ');
            }
            out.Name(view);
        }
        out.Char('\n');
    });
}

// ---- sources -----------------------------------------------------------------------

namespace {

xmlNode* NewSource(xmlNode* parent, const KString& id) {
    xmlNode* source = ColladaNewChild(parent, "source");
    ColladaSetAttribute(source, "id", id);
    return source;
}

xmlNode* TechniqueFor(xmlNode* source, bool common) {
    return common ? ColladaNewChild(source, "technique_common") : ColladaAddTechnique(source, "MAYA");
}

void AddMatrixValues(xmlNode* source, const KString& id, const KgeMatrix* matrices, int count, bool affine,
                     ColladaXmlStream* stream) {
    std::vector<double> values(static_cast<size_t>(count) * 16);
    for (int i = 0; i < count; ++i) {
        const KgeMatrix m = affine ? KgeMatrix::FromAffine(matrices[i]) : matrices[i];
        std::copy(m.Data(), m.Data() + 16, values.begin() + static_cast<std::ptrdiff_t>(i) * 16);
    }
    ColladaAddDoubleFloatArray(source, ArrayIdOf(id), values.data(), 16 * count, stream);
    xmlNode* common = ColladaNewChild(source, "technique_common");
    ColladaAddAccessor(common, ReferenceTo(ArrayIdOf(id)), count, 16, nullptr, "float4x4");
}

}  // namespace

xmlNode* ColladaAddVectorSource(xmlNode* parent, const KString& id, const KgeTVector* vectors, int count,
                                ColladaXmlStream* stream) {
    xmlNode* source = NewSource(parent, id);
    ColladaAddVectorFloatArray(source, ArrayIdOf(id), vectors, count, stream);
    ColladaAddXyzAccessor(source, ReferenceTo(ArrayIdOf(id)), count);
    return source;
}

xmlNode* ColladaAddUvSource(xmlNode* parent, const KString& id, const KgeUVVector* uvs, int count,
                            ColladaXmlStream* stream) {
    xmlNode* source = NewSource(parent, id);
    ColladaAddUvFloatArray(source, ArrayIdOf(id), uvs, count, stream);
    ColladaAddStAccessor(source, ReferenceTo(ArrayIdOf(id)), count);
    return source;
}

xmlNode* ColladaAddColorSource(xmlNode* parent, const KString& id, const KDuzRGBAColor* colors, int count,
                               ColladaXmlStream* stream) {
    xmlNode* source = NewSource(parent, id);
    ColladaAddColorArrayAndAccessor(source, id, colors, count, stream);
    return source;
}

void ColladaAddColorArrayAndAccessor(xmlNode* source, const KString& id, const KDuzRGBAColor* colors, int count,
                                     ColladaXmlStream* stream) {
    static const char* const kNames[] = {"R", "G", "B", "A"};
    ColladaAddColorFloatArray(source, ArrayIdOf(id), colors, count, stream);
    AddAccessorWithParams(source, ReferenceTo(ArrayIdOf(id)), count, kNames, 4, "double");
}

xmlNode* ColladaAddMatrixSource(xmlNode* parent, const KString& id, const KgeMatrix* matrices, int count,
                                ColladaXmlStream* stream) {
    xmlNode* source = NewSource(parent, id);
    AddMatrixValues(source, id, matrices, count, false, stream);
    return source;
}

xmlNode* ColladaAddAffineMatrixSource(xmlNode* parent, const KString& id, const KgeMatrix* matrices, int count) {
    xmlNode* source = NewSource(parent, id);
    AddMatrixValues(source, id, matrices, count, true, nullptr);
    return source;
}

xmlNode* ColladaAddFloatSource(xmlNode* parent, const KString& id, const KStringList& paramNames,
                               const double* values, int count, bool common, ColladaXmlStream* stream) {
    xmlNode* source = NewSource(parent, id);
    ColladaAddDoubleFloatArray(source, ArrayIdOf(id), values, count, stream);
    xmlNode* technique = TechniqueFor(source, common);
    const KString reference = ReferenceTo(ArrayIdOf(id));
    const int k = paramNames.Count();
    if (k == 0) {
        ColladaAddAccessor(technique, reference, count, 1, nullptr, "float");
    } else {
        // One accessor, one param per value of a group.
        xmlNode* accessor = ColladaAddAccessor(technique, reference, count / k, k, paramNames.GetStringAt(0), "float");
        for (int i = 1; i < k; ++i) {
            xmlNode* param = ColladaNewChild(accessor, "param");
            ColladaSetAttribute(param, "name", paramNames.GetStringAt(i));
            ColladaSetAttribute(param, "type", "float");
        }
    }
    return source;
}

xmlNode* ColladaAddNameSource(xmlNode* parent, const KString& id, const KStringList& names,
                              const char* paramType, bool common, ColladaXmlStream* stream) {
    xmlNode* source = NewSource(parent, id);
    // Names that are ids of the document go into an id reference array.
    const bool references = paramType != nullptr && std::string_view(paramType) == "IDREF";
    ColladaAddNameArray(source, ArrayIdOf(id), names, references ? "IDREF" : "name", stream);
    xmlNode* technique = TechniqueFor(source, common);
    ColladaAddAccessor(technique, ReferenceTo(ArrayIdOf(id)), names.Count(), 1, nullptr, paramType);
    return source;
}

}  // namespace duzsdk
