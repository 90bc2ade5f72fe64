// Small field readers shared by the version 6 record readers.
#pragma once

#include <cstring>

#include "sdk/base/KString.h"
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

}  // namespace duzsdk
