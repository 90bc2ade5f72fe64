// Writes the binary encoding of an ASCII DUZ file through the field file's
// write interface, for the import fuzz target's seeds:
//   DuzBinarySeeds input.duz output.duz
// The text has no value types, so they are guessed the way the readers ask
// for them: quoted text is a string, a lone letter a character, a number a
// double in real-valued fields (a "." anywhere, vertex and colour arrays,
// typed "Property" values), a 64-bit time in time fields and key times, an
// integer otherwise. The binary-*.duz seeds of KDuzImportFuzz were made by
// this tool from the ASCII seeds of the same name, and import alike.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "sdk/io/KDuz.h"

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

struct Field {
    std::string name;
    std::vector<Token> values;
    bool opensBlock = false;
    bool closesBlock = false;   // a lone "}"
};

// One field per logical line; a value list ending in "," goes on.
std::vector<Field> Tokenize(const std::string& text)
{
    std::vector<Field> fields;
    size_t at = 0;
    const size_t n = text.size();
    auto skipBlanks = [&] {
        while (at < n && (text[at] == ' ' || text[at] == '\t' || text[at] == '\r'))
            ++at;
    };
    while (at < n) {
        skipBlanks();
        if (at >= n)
            break;
        if (text[at] == '\n') {
            ++at;
            continue;
        }
        if (text[at] == ';') {
            while (at < n && text[at] != '\n')
                ++at;
            continue;
        }
        if (text[at] == '}') {
            Field close;
            close.closesBlock = true;
            fields.push_back(close);
            ++at;
            continue;
        }
        Field field;
        const size_t colon = text.find(':', at);
        const size_t eol = text.find('\n', at);
        if (colon == std::string::npos || (eol != std::string::npos && colon > eol)) {
            at = eol == std::string::npos ? n : eol + 1;   // not a field line
            continue;
        }
        field.name = text.substr(at, colon - at);
        while (!field.name.empty() && std::isspace(static_cast<unsigned char>(field.name.back())))
            field.name.pop_back();
        at = colon + 1;
        bool more = true;
        while (more && at < n) {
            skipBlanks();
            if (at >= n || text[at] == '\n') {
                // A list ending in a comma goes on on the next line.
                if (!field.values.empty() && text[at - 1] == ',') {
                    ++at;
                    continue;
                }
                break;
            }
            if (text[at] == '{') {
                field.opensBlock = true;
                ++at;
                break;
            }
            Token token;
            if (text[at] == '"') {
                token.quoted = true;
                const size_t end = text.find('"', at + 1);
                const size_t stop = end == std::string::npos ? n : end;
                token.text = text.substr(at + 1, stop - at - 1);
                at = stop == n ? n : stop + 1;
            } else {
                const size_t start = at;
                while (at < n && text[at] != ',' && text[at] != '\n' && text[at] != '{' && text[at] != '\r')
                    ++at;
                token.text = text.substr(start, at - start);
                while (!token.text.empty() && std::isspace(static_cast<unsigned char>(token.text.back())))
                    token.text.pop_back();
            }
            field.values.push_back(token);
            skipBlanks();
            if (at < n && text[at] == ',') {
                ++at;
                more = true;
            } else {
                more = at < n && text[at] != '\n' && text[at] != '{';
                if (at < n && text[at] == '{') {
                    field.opensBlock = true;
                    ++at;
                    more = false;
                }
            }
        }
        fields.push_back(field);
    }
    return fields;
}

bool IsInteger(const std::string& text)
{
    if (text.empty())
        return false;
    size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

bool IsReal(const std::string& text)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

const std::set<std::string> kRealFields = {"Vertices", "Normals", "Binormals", "Tangents", "UV",       "Colors",
                                           "Weights",  "Points",  "Position",  "Up",       "LookAt",   "Color",
                                           "Matrix",   "Transform", "TransformLink", "Default", "KnotVector"};
const std::set<std::string> kTimeFields = {"LocalTime", "ReferenceTime", "KeyTime", "Time"};
const std::set<std::string> kIntegerTypes = {"bool", "Bool", "int", "Integer", "enum", "Enum", "Visibility Inheritance"};
const std::set<std::string> kTimeTypes = {"KTime", "Time"};

void WriteValue(duzsdk::KDuz& duz, const Token& token, char numberType)
{
    if (token.quoted) {
        duz.FieldWriteString(token.text.c_str());
        return;
    }
    if (IsInteger(token.text) || IsReal(token.text)) {
        const bool integral = IsInteger(token.text);
        const long long whole = integral ? std::strtoll(token.text.c_str(), nullptr, 10) : 0;
        char type = numberType;
        if (type == 'I' && (!integral || whole < INT32_MIN || whole > INT32_MAX))
            type = integral ? 'L' : 'D';
        if (type == 'L' && !integral)
            type = 'D';
        switch (type) {
        case 'L': duz.FieldWriteInt64(whole); break;
        case 'D': duz.FieldWriteDouble(std::strtod(token.text.c_str(), nullptr)); break;
        default: duz.FieldWriteInt(static_cast<int>(whole)); break;
        }
        return;
    }
    if (token.text.size() == 1)
        duz.FieldWriteChar(token.text[0]);
    else
        duz.FieldWriteString(token.text.c_str());
}

void WriteField(duzsdk::KDuz& duz, const Field& field)
{
    duz.FieldWriteBegin(field.name.c_str());
    bool anyDot = false;
    for (const Token& token : field.values)
        anyDot = anyDot || (!token.quoted && !IsInteger(token.text) && IsReal(token.text));
    char numbers = anyDot || kRealFields.count(field.name) != 0 ? 'D' : 'I';
    if (kTimeFields.count(field.name) != 0)
        numbers = 'L';
    if (field.name == "Property" && field.values.size() >= 2) {
        const std::string& type = field.values[1].text;
        numbers = kIntegerTypes.count(type) != 0 ? 'I' : kTimeTypes.count(type) != 0 ? 'L' : 'D';
    }
    bool keyTimeNext = field.name == "Key";
    for (const Token& token : field.values) {
        // Key lists start each key with its time; the letters that end a
        // key are followed by the next key's time.
        if (field.name == "Key") {
            const bool letter = !token.quoted && token.text.size() == 1 && std::isalpha(static_cast<unsigned char>(token.text[0]));
            WriteValue(duz, token, keyTimeNext && !letter ? 'L' : 'D');
            keyTimeNext = letter;
            continue;
        }
        WriteValue(duz, token, numbers);
    }
    if (field.opensBlock)
        duz.FieldWriteBlockBegin();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s input.duz output.duz\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    duzsdk::KDuz duz;
    if (!duz.ProjectCreateFile(argv[2], true, false)) {
        std::fprintf(stderr, "cannot create %s: %s\n", argv[2], duz.GetLastErrorString());
        return 1;
    }
    // Which opened fields have blocks, so that "}" closes the right one.
    std::vector<bool> open;
    for (const Field& field : Tokenize(text)) {
        if (field.closesBlock) {
            if (!open.empty()) {
                duz.FieldWriteBlockEnd();
                duz.FieldWriteEnd();
                open.pop_back();
            }
            continue;
        }
        WriteField(duz, field);
        if (field.opensBlock)
            open.push_back(true);
        else
            duz.FieldWriteEnd();
    }
    while (!open.empty()) {
        duz.FieldWriteBlockEnd();
        duz.FieldWriteEnd();
        open.pop_back();
    }
    duz.FinishBeforeClose();
    const bool ok = duz.GetLastErrorID() < 0;
    duz.ProjectClose();
    if (!ok) {
        std::fprintf(stderr, "writing %s failed\n", argv[2]);
        return 1;
    }
    return 0;
}
