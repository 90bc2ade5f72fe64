#include "sdk/formats/collada/ColladaXmlRead.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>

namespace duzsdk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

const char* SkipBlanks(const char* p) {
    while (*p != '\0' && IsBlank(*p)) ++p;
    return p;
}

// libxml2 text, freed on scope exit when it is a copy.
class XmlText {
public:
    explicit XmlText(xmlChar* text, bool owned = true) : mText(text), mOwned(owned) {}
    ~XmlText() {
        if (mText != nullptr && mOwned) xmlFree(mText);
    }
    XmlText(const XmlText&) = delete;
    XmlText& operator=(const XmlText&) = delete;
    const char* Get() const { return mText != nullptr ? reinterpret_cast<const char*>(mText) : ""; }
    bool IsNull() const { return mText == nullptr; }

private:
    xmlChar* mText;
    bool mOwned;
};

// An element's text. The usual element of one text node is read in place:
// big arrays are not copied before their numbers are scanned.
XmlText Content(const xmlNode* element) {
    if (element == nullptr) return XmlText(nullptr);
    const xmlNode* only = element->children;
    if (only != nullptr && only->next == nullptr && only->type == XML_TEXT_NODE && only->content != nullptr)
        return XmlText(only->content, false);
    return XmlText(xmlNodeGetContent(element));
}

// True when the attribute is present with exactly this (non-empty) value,
// without copying the value in the common one-text-node case.
bool AttributeEquals(const xmlNode* element, const char* name, const char* value) {
    if (value == nullptr || value[0] == '\0') return false;
    xmlAttr* attr = xmlHasProp(element, reinterpret_cast<const xmlChar*>(name));
    if (attr == nullptr) return false;
    const xmlNode* text = attr->children;
    if (text != nullptr && text->type == XML_TEXT_NODE && text->next == nullptr && text->content != nullptr)
        return std::strcmp(reinterpret_cast<const char*>(text->content), value) == 0;
    const XmlText whole(xmlGetProp(element, reinterpret_cast<const xmlChar*>(name)));
    return !whole.IsNull() && std::strcmp(whole.Get(), value) == 0;
}

// The digits of a "%d" field: blanks, an optional sign, digits; 0 when none.
// Saturates instead of overflowing.
int ParseDecimalAttribute(const KString& text, bool& present) {
    const char* p = text.Buffer();
    present = false;
    if (p == nullptr) return 0;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
    int sign = 1;
    if (*p == '+' || *p == '-') {
        if (*p == '-') sign = -1;
        ++p;
    }
    if (*p < '0' || *p > '9') return 0;
    present = true;
    long long value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > INT_MAX) value = INT_MAX;
        ++p;
    }
    return static_cast<int>(sign * value);
}

// The integer grammar without the trailing blank skip.
int ScanIntRaw(const char*& cursor) {
    if (cursor == nullptr) return 0;
    const char* p = cursor;
    long long value = 0;
    int sign = 1;
    bool started = false;
    while (*p != '\0') {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            value = value * 10 + (c - '0');
            if (value > INT_MAX) value = INT_MAX;
            started = true;
        } else if (c == '-') {
            sign = -sign;
            started = true;
        } else if (started && IsBlank(c)) {
            // A carriage return ends a number too: files with CR-only line
            // ends would otherwise merge neighbouring indices.
            break;
        }
        ++p;
    }
    cursor = p;
    return static_cast<int>(sign * value);
}

double PowerOfTen(int exponent) {
    const bool negative = exponent < 0;
    long long n = negative ? -static_cast<long long>(exponent) : exponent;
    double base = 10.0;
    double result = 1.0;
    while (n > 0) {
        if (n & 1) result *= base;
        base *= base;
        n >>= 1;
    }
    return negative ? 1.0 / result : result;
}

double ToSingle(double value) {
    if (std::isnan(value)) return value;
    if (std::fabs(value) > FLT_MAX) return std::copysign(static_cast<double>(INFINITY), value);
    return static_cast<double>(static_cast<float>(value));
}

// Upper bound of the groups a text can hold: every token takes one character
// and one separator, and a text of blanks alone still gives one group.
int MaxGroups(const char* text, int groupWidth) {
    const size_t length = std::strlen(text);
    const size_t tokens = (length + 1) / 2;
    const size_t groups = tokens / static_cast<size_t>(groupWidth) + 1;
    return groups > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(groups);
}

// The shared overwrite-then-append walk of the array scanners.
template <class Array, class ReadGroup>
int ScanGroups(const char* text, Array& array, ReadGroup readGroup) {
    if (text == nullptr || text[0] == '\0') return 0;
    // Leading blanks hold no group: an array of only a line end is empty.
    const char* cursor = SkipBlanks(text);
    int done = 0;
    const int slots = array.Count();
    for (; done < slots; ++done) {
        if (*cursor == '\0') return done;
        readGroup(cursor, array[done]);
    }
    while (*cursor != '\0') {
        typename std::remove_reference_t<decltype(array[0])> value{};
        readGroup(cursor, value);
        array.Add(value);
        ++done;
    }
    return done;
}

struct AccessorInfo {
    bool hasAccessor = false;
    bool hasCount = false;
    int count = 0;
    int stride = 1;
};

AccessorInfo ReadAccessor(const xmlNode* source, int defaultStride) {
    AccessorInfo info;
    info.stride = defaultStride;
    const xmlNode* accessor = ColladaFindAccessor(source);
    info.hasAccessor = accessor != nullptr;
    bool present = false;
    info.count = ParseDecimalAttribute(ColladaGetAttribute(accessor, "count"), present);
    info.hasCount = present;
    const int stride = ParseDecimalAttribute(ColladaGetAttribute(accessor, "stride"), present);
    if (present) info.stride = stride;
    return info;
}

// Pre-sizes an array to the accessor's count, capped by what the text can hold
// so that a hostile count cannot make a huge allocation.
template <class Array>
void Presize(Array& array, long long wanted, const char* text, int groupWidth) {
    const long long cap = MaxGroups(text, groupWidth);
    array.SetCount(static_cast<int>(wanted < cap ? wanted : cap));
}

}  // namespace

// ---- look-ups ----

bool ColladaIsElement(const xmlNode* node, const char* name) {
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->name != nullptr &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

const char* ColladaElementName(const xmlNode* node) {
    return node != nullptr && node->name != nullptr ? reinterpret_cast<const char*>(node->name) : "";
}

xmlNode* ColladaFirstChildElement(const xmlNode* parent) {
    if (parent == nullptr) return nullptr;
    for (xmlNode* child = parent->children; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE) return child;
    return nullptr;
}

xmlNode* ColladaFindChildByName(const xmlNode* parent, const char* name) {
    if (parent == nullptr || name == nullptr) return nullptr;
    for (xmlNode* child = parent->children; child != nullptr; child = child->next)
        if (ColladaIsElement(child, name)) return child;
    return nullptr;
}

xmlNode* ColladaFindChildById(const xmlNode* parent, const KString& id) {
    if (parent == nullptr || id.IsEmpty()) return nullptr;
    for (xmlNode* child = parent->children; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE && AttributeEquals(child, "id", id.Buffer())) return child;
    return nullptr;
}

xmlNode* ColladaFindChildByNames(const xmlNode* parent, const std::vector<KString>& names) {
    if (parent == nullptr) return nullptr;
    for (xmlNode* child = parent->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        for (const KString& name : names)
            if (ColladaIsElement(child, name.Buffer())) return child;
    }
    return nullptr;
}

void ColladaFindChildrenByName(const xmlNode* parent, const char* name, ColladaNodeArray& out) {
    if (parent == nullptr || name == nullptr) return;
    for (xmlNode* child = parent->children; child != nullptr; child = child->next)
        if (ColladaIsElement(child, name)) out.push_back(child);
}

xmlNode* ColladaFindTechnique(const xmlNode* parent) { return ColladaFindChildByName(parent, "technique"); }

xmlNode* ColladaFindTechniqueCommon(const xmlNode* parent) {
    return ColladaFindChildByName(parent, "technique_common");
}

xmlNode* ColladaFindTechniqueByProfile(const xmlNode* parent, const char* profile) {
    if (parent == nullptr) return nullptr;
    for (xmlNode* child = parent->children; child != nullptr; child = child->next)
        if (ColladaIsElement(child, "technique") && ColladaGetAttribute(child, "profile") == profile) return child;
    return nullptr;
}

xmlNode* ColladaFindAccessor(const xmlNode* source) {
    return ColladaFindChildByName(ColladaFindTechniqueCommon(source), "accessor");
}

xmlNode* ColladaFindArrayChild(const xmlNode* source, const char* valueType) {
    if (source == nullptr) return nullptr;
    const KString arrayName = ColladaArrayElementName(KString(valueType));
    for (xmlNode* child = source->children; child != nullptr; child = child->next) {
        if (ColladaIsElement(child, "array")) return child;
        if (!arrayName.IsEmpty() && ColladaIsElement(child, arrayName.Buffer())) return child;
    }
    return nullptr;
}

// ---- attributes and text ----

KString ColladaGetAttribute(const xmlNode* element, const char* name) {
    if (element == nullptr || name == nullptr) return KString("");
    const XmlText value(xmlGetProp(element, reinterpret_cast<const xmlChar*>(name)));
    return KString(value.Get());
}

KString ColladaGetContent(const xmlNode* element) {
    const XmlText text = Content(element);
    return KString(text.Get());
}

int ColladaGetOffset(const xmlNode* element) {
    const KString text = ColladaGetAttribute(element, "offset");
    const char* cursor = text.Buffer();
    return text.IsEmpty() ? 0 : ColladaScanInt(cursor);
}

ColladaUrl ColladaGetUrl(const xmlNode* element) {
    ColladaUrl url;
    url.url = ColladaGetAttribute(element, "url");
    const int hash = url.url.FindChar('#');
    url.id = hash >= 0 ? url.url.MidToEnd(hash + 1) : KString("");
    return url;
}

KString ColladaArrayElementName(const KString& valueType) {
    if (valueType == "float") return KString("float_array");
    if (valueType == "name") return KString("Name_array");
    if (valueType == "IDREF") return KString("IDREF_array");
    if (valueType == "int") return KString("int_array");
    if (valueType == "bool") return KString("bool_array");
    return KString("");
}

// ---- scanners ----

double ColladaScanNumber(const char*& cursor) {
    if (cursor == nullptr || *cursor == '\0') return 0.0;
    const char* p = SkipBlanks(cursor);
    double sign = 1.0;
    if (*p == '-') {
        sign = -1.0;
        ++p;
    }
    double mantissa = 0.0;
    double divisor = 1.0;
    bool point = false;
    int exponent = 0;
    for (;;) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10.0 + (c - '0');
            if (point) divisor *= 10.0;
            ++p;
        } else if (c == '.') {
            point = true;
            divisor = 1.0;
            ++p;
        } else if (c == 'e' || c == 'E') {
            ++p;
            exponent = ScanIntRaw(p);
            break;
        } else {
            break;
        }
    }
    double value = point ? mantissa / divisor : mantissa;
    value *= sign;
    if (exponent != 0) value *= PowerOfTen(exponent);
    while (*p != '\0' && !IsBlank(*p)) ++p;
    cursor = SkipBlanks(p);
    return ToSingle(value);
}

int ColladaScanInt(const char*& cursor) {
    if (cursor == nullptr) return 0;
    const int value = ScanIntRaw(cursor);
    cursor = SkipBlanks(cursor);
    return value;
}

KString ColladaNextToken(const char*& cursor) {
    if (cursor == nullptr) return KString("");
    const char* p = SkipBlanks(cursor);
    const char* start = p;
    while (*p != '\0' && !IsBlank(*p)) ++p;
    KString token(start, static_cast<int>(p - start));
    cursor = SkipBlanks(p);
    return token;
}

void ColladaScanColor(const char*& cursor, KDuzRGBAColor& color) {
    color.mRed = color.mGreen = color.mBlue = color.mAlpha = 1.0;
    if (cursor == nullptr || *cursor == '\0') return;
    color.mRed = ColladaScanNumber(cursor);
    color.mGreen = ColladaScanNumber(cursor);
    color.mBlue = ColladaScanNumber(cursor);
    if (*cursor != '\0') color.mAlpha = ColladaScanNumber(cursor);
}

void ColladaScanMatrix(const char*& cursor, KgeMatrix& matrix) {
    double* data = matrix.Data();
    for (int k = 0; k < 16; ++k) data[(k % 4) * 4 + k / 4] = ColladaScanNumber(cursor);
}

int ColladaScanIntArray(const char* text, ColladaIntArray& array) {
    if (text != nullptr && array.Count() == 0) {
        // Room for one number per token, so that appending never copies.
        long long tokens = 0;
        for (const char* p = text; *p != '\0'; ++p)
            if (!IsBlank(*p) && (p == text || IsBlank(p[-1]))) ++tokens;
        if (tokens > 0 && tokens < INT_MAX / 2 && array.Resize(static_cast<int>(tokens))) array.SetCount(0);
    }
    return ScanGroups(text, array, [](const char*& c, int& out) { out = ColladaScanInt(c); });
}

int ColladaReadIntArray(const xmlNode* element, ColladaIntArray& array) {
    const XmlText text = Content(element);
    return ColladaScanIntArray(text.Get(), array);
}

void ColladaReleaseText(xmlNode* element) {
    if (element == nullptr) return;
    xmlNode* child = element->children;
    while (child != nullptr) {
        xmlNode* next = child->next;
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        }
        child = next;
    }
}

int ColladaScanDoubleArray(const char* text, ColladaDoubleArray& array) {
    return ScanGroups(text, array, [](const char*& c, double& out) { out = ColladaScanNumber(c); });
}

int ColladaScanUvArray(const char* text, KgeUVVectorArray& array, int stride) {
    return ScanGroups(text, array, [stride](const char*& c, KgeUVVector& out) {
        out.mU = ColladaScanNumber(c);
        out.mV = ColladaScanNumber(c);
        for (int i = 2; i < stride; ++i) ColladaScanNumber(c);
    });
}

int ColladaScanVectorArray(const char* text, KgeTVectorArray& array) {
    return ScanGroups(text, array, [](const char*& c, KgeTVector& out) {
        const double x = ColladaScanNumber(c);
        const double y = ColladaScanNumber(c);
        const double z = ColladaScanNumber(c);
        out = KgeTVector(x, y, z, 0.0);
    });
}

int ColladaScanRgbArray(const char* text, KDuzRGBAColorArray& array) {
    return ScanGroups(text, array, [](const char*& c, KDuzRGBAColor& out) {
        out.mRed = ColladaScanNumber(c);
        out.mGreen = ColladaScanNumber(c);
        out.mBlue = ColladaScanNumber(c);
        out.mAlpha = 1.0;
    });
}

int ColladaScanRgbaArray(const char* text, KDuzRGBAColorArray& array) {
    return ScanGroups(text, array, [](const char*& c, KDuzRGBAColor& out) {
        out.mRed = ColladaScanNumber(c);
        out.mGreen = ColladaScanNumber(c);
        out.mBlue = ColladaScanNumber(c);
        out.mAlpha = ColladaScanNumber(c);
    });
}

int ColladaScanNameArray(const char* text, ColladaNameArray& array) {
    if (text == nullptr || text[0] == '\0') return 0;
    const char* cursor = text;
    size_t done = 0;
    for (; done < array.size(); ++done) {
        if (*cursor == '\0') return static_cast<int>(done);
        array[done] = ColladaNextToken(cursor);
    }
    while (*cursor != '\0') {
        array.push_back(ColladaNextToken(cursor));
        ++done;
    }
    return static_cast<int>(done);
}

int ColladaScanMatrixArray(const char* text, ColladaMatrixArray& array) {
    if (text == nullptr || text[0] == '\0') return 0;
    // Leading blanks hold no group: an array of only a line end is empty.
    const char* cursor = SkipBlanks(text);
    int done = 0;
    while (*cursor != '\0') {
        KgeMatrix matrix;
        ColladaScanMatrix(cursor, matrix);
        array.Add(KgeMatrix::FromAffine(matrix));
        ++done;
    }
    return done;
}

// ---- source readers ----

bool ColladaReadFloatSource(const xmlNode* source, ColladaDoubleArray& values) {
    if (source == nullptr) return false;
    const AccessorInfo info = ReadAccessor(source, 1);
    if (info.count < 0 || info.stride < 1) return false;
    const long long expected = static_cast<long long>(info.count) * info.stride;
    const XmlText text = Content(ColladaFindArrayChild(source, "float"));
    Presize(values, expected, text.Get(), 1);
    return ColladaScanDoubleArray(text.Get(), values) == expected;
}

bool ColladaReadMatrixSource(const xmlNode* source, ColladaMatrixArray& matrices) {
    if (source == nullptr) return false;
    const AccessorInfo info = ReadAccessor(source, 1);
    if (info.count < 0) return false;
    const XmlText text = Content(ColladaFindArrayChild(source, "float"));
    return ColladaScanMatrixArray(text.Get(), matrices) == info.count;
}

bool ColladaReadUvSource(const xmlNode* source, KgeUVVectorArray& uvs) {
    if (source == nullptr) return false;
    const AccessorInfo info = ReadAccessor(source, 1);
    if (info.count < 0 || info.stride < 2) return false;
    const XmlText text = Content(ColladaFindArrayChild(source, "float"));
    Presize(uvs, info.count, text.Get(), info.stride);
    return ColladaScanUvArray(text.Get(), uvs, info.stride) == info.count;
}

bool ColladaReadVectorSource(const xmlNode* source, KgeTVectorArray& vectors) {
    if (source == nullptr) return false;
    const AccessorInfo info = ReadAccessor(source, 1);
    if (info.count < 0) return false;
    const XmlText text = Content(ColladaFindArrayChild(source, "float"));
    Presize(vectors, info.count, text.Get(), 3);
    return ColladaScanVectorArray(text.Get(), vectors) == info.count;
}

bool ColladaReadNameSource(const xmlNode* source, ColladaNameArray& names) {
    if (source == nullptr) return false;
    const AccessorInfo info = ReadAccessor(source, 1);
    if (info.count < 0 || info.stride < 1) return false;
    const long long expected = static_cast<long long>(info.count) * info.stride;
    // Names, or ids of the document (morph targets, joints named by id).
    const xmlNode* array = ColladaFindArrayChild(source, "name");
    if (array == nullptr) array = ColladaFindArrayChild(source, "IDREF");
    const XmlText text = Content(array);
    const long long cap = MaxGroups(text.Get(), 1);
    names.resize(static_cast<size_t>(expected < cap ? expected : cap));
    return ColladaScanNameArray(text.Get(), names) == expected;
}

bool ColladaReadColorSource(const xmlNode* source, KDuzRGBAColorArray& colors) {
    if (source == nullptr) return false;
    const AccessorInfo info = ReadAccessor(source, 4);
    if (info.hasAccessor && info.stride != 3 && info.stride != 4) return false;
    if (!info.hasCount) {
        colors.SetCount(0);
        return true;
    }
    if (info.count < 0) return false;
    const XmlText text = Content(ColladaFindArrayChild(source, "float"));
    Presize(colors, info.count, text.Get(), info.stride);
    const int read = info.stride == 4 ? ColladaScanRgbaArray(text.Get(), colors)
                                      : ColladaScanRgbArray(text.Get(), colors);
    return read == info.count;
}

}  // namespace duzsdk
