// Small field readers and writers shared by the version 6 records.
#pragma once

#include <cstring>

#include "sdk/base/KString.h"
#include "sdk/base/KgeTVector.h"
#include "sdk/io/KDuz.h"

namespace duzsdk {

// Reads `count` doubles of the named field into out; false (out untouched)
// when the field is missing.
inline bool KDuz6ReadDoublesField(KDuz& file, const char* name, double* out, int count)
{
    if (!file.FieldReadBegin(name))
        return false;
    file.FieldReadDoubles(out, count);
    file.FieldReadEnd();
    return true;
}

// The text after the first "::", or the whole text without one.
inline KString KDuz6StripPrefix(const char* text)
{
    if (text == nullptr)
        return KString("");
    const char* at = std::strstr(text, "::");
    return KString(at != nullptr ? at + 2 : text);
}

inline bool KDuz6TextEquals(const char* a, const char* b)
{
    return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

inline bool KDuz6TextEqualsNoCase(const char* a, const char* b)
{
    return a != nullptr && b != nullptr && KStringCompareNoCase(a, b) == 0;
}

// A named field of one value, as most settings are laid out.
inline void KDuz6WriteIntField(KDuz& file, const char* name, int value)
{
    file.FieldWriteBegin(name);
    file.FieldWriteInt(value);
    file.FieldWriteEnd();
}

inline void KDuz6WriteDoubleField(KDuz& file, const char* name, double value)
{
    file.FieldWriteBegin(name);
    file.FieldWriteDouble(value);
    file.FieldWriteEnd();
}

inline void KDuz6WriteTimeField(KDuz& file, const char* name, KTime value)
{
    file.FieldWriteBegin(name);
    file.FieldWriteTime(value);
    file.FieldWriteEnd();
}

// The first three components of the vector as one field.
inline void KDuz6WriteVector3Field(KDuz& file, const char* name, const KgeTVector& value)
{
    file.FieldWriteBegin(name);
    for (int i = 0; i < 3; ++i)
        file.FieldWriteDouble(value.GetElement(i));
    file.FieldWriteEnd();
}

}  // namespace duzsdk
