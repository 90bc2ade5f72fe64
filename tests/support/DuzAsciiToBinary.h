// Rewrites a plain ASCII DUZ file as a binary one through the field file's
// writer, so tests can read the same content both ways. The typing of the
// values follows their text and, for whole numbers, the field: quoted text
// is a string, an unquoted single non-digit character a char, a number with
// a fraction or exponent a double; a whole number is a double in the fields
// the readers read as doubles (vertices, normals, colours, property values
// of non-integer types, ...), a 64-bit int in time fields and past 32 bits,
// else an int.
#pragma once

#include <string>

namespace duztest {

// False (and no file) for text the converter does not know: a line that is
// not a field, a block end or a comment, or unbalanced braces.
// The binary file is written as version 6.1.0, or 5.8.0 when fileVersion
// is 5800 (the field file writes no other).
bool ConvertDuzAsciiToBinary(const std::string& asciiPath, const std::string& binaryPath, int fileVersion = 6100);

}  // namespace duztest
