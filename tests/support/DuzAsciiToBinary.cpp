#include "tests/support/DuzAsciiToBinary.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/io/KDuz.h"

namespace duztest {
namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Comma-separated values; false for an unterminated quote.
bool SplitValues(const std::string& text, std::vector<Token>& out) {
    std::size_t i = 0;
    const std::string trimmed = Trim(text);
    if (trimmed.empty()) return true;
    while (i <= trimmed.size()) {
        while (i < trimmed.size() && (trimmed[i] == ' ' || trimmed[i] == '\t')) ++i;
        Token token;
        if (i < trimmed.size() && trimmed[i] == '"') {
            const std::size_t close = trimmed.find('"', i + 1);
            if (close == std::string::npos) return false;
            token.text = trimmed.substr(i + 1, close - i - 1);
            token.quoted = true;
            i = close + 1;
            while (i < trimmed.size() && trimmed[i] != ',') ++i;
        } else {
            const std::size_t comma = trimmed.find(',', i);
            const std::size_t end = comma == std::string::npos ? trimmed.size() : comma;
            token.text = Trim(trimmed.substr(i, end - i));
            i = end;
        }
        out.push_back(token);
        if (i >= trimmed.size()) break;
        ++i;   // the comma
    }
    return true;
}

bool IsInteger(const std::string& text, long long& value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end != nullptr && *end == '\0';
}

bool IsNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != nullptr && *end == '\0';
}

// How a whole number of a field is stored: as the binary writer would, a
// double where the readers read doubles, a 64-bit int for times.
enum class Whole { Int, Double, Int64 };

bool IsOneOf(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (name == n) return true;
    return false;
}

Whole WholeNumbersOf(const std::string& field, const std::vector<Token>& tokens, std::size_t index) {
    if (IsOneOf(field, {"Vertices", "Normals", "UV", "Colors", "Size", "Color", "Default", "TextureAlpha",
                        "Intensity", "IKReachTranslation", "IKReachRotation", "ConeAngle", "UpTargetRotation",
                        "PostTargetRotation", "Position", "ModelUVTranslation", "ModelUVScaling", "Matrix",
                        "LookAt", "LimbLength", "IKPivot", "CameraOrthoZoom", "AudioColor", "Up", "Weights",
                        "Translation", "Rotation", "Scaling", "Pivot", "Value"}))
        return Whole::Double;
    if (IsOneOf(field, {"LocalTime", "ReferenceTime", "KeyTime"})) return Whole::Int64;
    // "Property": name, type, label or flags, then the value, stored by type.
    if (field == "Property" && index >= 3 && tokens.size() > 1) {
        const std::string& type = tokens[1].text;
        if (IsOneOf(type, {"int", "Integer", "bool", "Bool", "enum", "Enum"})) return Whole::Int;
        if (IsOneOf(type, {"KTime", "Time"})) return Whole::Int64;
        return Whole::Double;
    }
    return Whole::Int;
}

void WriteValue(duzsdk::KDuz& duz, const Token& token, Whole whole) {
    long long integer = 0;
    double number = 0.0;
    if (token.quoted) {
        duz.FieldWriteString(token.text.c_str());
    } else if (IsInteger(token.text, integer) && whole == Whole::Double) {
        duz.FieldWriteDouble(static_cast<double>(integer));
    } else if (IsInteger(token.text, integer) && whole == Whole::Int64) {
        duz.FieldWriteInt64(integer);
    } else if (IsInteger(token.text, integer)) {
        if (integer >= INT_MIN && integer <= INT_MAX)
            duz.FieldWriteInt(static_cast<int>(integer));
        else
            duz.FieldWriteInt64(integer);
    } else if (IsNumber(token.text, number)) {
        duz.FieldWriteDouble(number);
    } else if (token.text.size() == 1) {
        duz.FieldWriteChar(token.text[0]);
    } else {
        duz.FieldWriteString(token.text.c_str());
    }
}

}  // namespace

bool ConvertDuzAsciiToBinary(const std::string& asciiPath, const std::string& binaryPath, int fileVersion) {
    std::ifstream in(asciiPath, std::ios::binary);
    if (!in) return false;
    // Logical lines: a line ending in a comma goes on in the next one.
    std::vector<std::string> lines;
    std::string line;
    std::string pending;
    while (std::getline(in, line)) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';') {
            if (!pending.empty()) return false;
            continue;
        }
        pending += trimmed;
        if (pending.back() == ',') continue;
        lines.push_back(pending);
        pending.clear();
    }
    if (!pending.empty()) return false;

    duzsdk::KDuz duz;
    duzsdk::KDuzFileHeaderInfo header;
    header.fileVersion = fileVersion;
    if (!duz.ProjectCreateFile(binaryPath.c_str(), true, false, &header)) return false;
    int depth = 0;
    bool ok = true;
    for (const std::string& text : lines) {
        if (text == "}") {
            if (depth == 0) {
                ok = false;
                break;
            }
            duz.FieldWriteBlockEnd();
            duz.FieldWriteEnd();
            --depth;
            continue;
        }
        const std::size_t colon = text.find(':');
        if (colon == std::string::npos || colon == 0 || text[0] == '"') {
            ok = false;
            break;
        }
        std::string values = text.substr(colon + 1);
        const bool opens = !Trim(values).empty() && Trim(values).back() == '{';
        if (opens) values = Trim(values).substr(0, Trim(values).size() - 1);
        std::vector<Token> tokens;
        if (!SplitValues(values, tokens)) {
            ok = false;
            break;
        }
        const std::string field = Trim(text.substr(0, colon));
        duz.FieldWriteBegin(field.c_str());
        for (std::size_t i = 0; i < tokens.size(); ++i) WriteValue(duz, tokens[i], WholeNumbersOf(field, tokens, i));
        if (opens) {
            duz.FieldWriteBlockBegin();
            ++depth;
        } else {
            duz.FieldWriteEnd();
        }
    }
    ok = ok && depth == 0;
    duz.ProjectClose();
    if (!ok) std::filesystem::remove(binaryPath);
    return ok;
}

}  // namespace duztest
