#include "formats/collada/ColladaTestSupport.h"

#include <libxml/parser.h>
#include <libxml/xmlschemas.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace colladatest {

namespace {

constexpr char kResources[] = "/usr/lib/python3/dist-packages/collada/resources/";
constexpr char kXmlSchemaUrl[] = "http://www.w3.org/2001/03/xml.xsd";

xmlExternalEntityLoader gDefaultLoader = nullptr;

// The schema imports the XML namespace schema by its web address; the copy
// that ships beside it is used instead, so validation needs no network.
xmlParserInputPtr LocalLoader(const char* url, const char* id, xmlParserCtxtPtr context) {
    if (url != nullptr && std::strcmp(url, kXmlSchemaUrl) == 0)
        return gDefaultLoader((std::string(kResources) + "xsd.xml").c_str(), id, context);
    return gDefaultLoader(url, id, context);
}

void Collect(void* context, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    *static_cast<std::string*>(context) += text;
}

xmlSchemaPtr Schema(std::string& errors) {
    static xmlSchemaPtr schema = nullptr;
    if (schema != nullptr) return schema;
    gDefaultLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(LocalLoader);
    xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt((std::string(kResources) + "schema-1.4.1.xml").c_str());
    xmlSchemaSetParserErrors(parser, Collect, Collect, &errors);
    schema = xmlSchemaParse(parser);
    xmlSchemaFreeParserCtxt(parser);
    return schema;
}

}  // namespace

std::string ValidateAgainstSchema(const std::string& path) {
    std::string errors;
    xmlSchemaPtr schema = Schema(errors);
    if (schema == nullptr) return "schema not loaded: " + errors;
    xmlDocPtr document = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
    if (document == nullptr) return "not well-formed XML";
    xmlSchemaValidCtxtPtr context = xmlSchemaNewValidCtxt(schema);
    xmlSchemaSetValidErrors(context, Collect, Collect, &errors);
    const int result = xmlSchemaValidateDoc(context, document);
    xmlSchemaFreeValidCtxt(context);
    xmlFreeDoc(document);
    if (result != 0 && errors.empty()) errors = "invalid";
    return errors;
}

namespace {

// The command's output and whether it exited with 0.
bool RunCommand(const std::string& command, std::string& output) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return false;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) output.append(buffer.data(), n);
    return pclose(pipe.release()) == 0;
}

}  // namespace

std::string ValidateWithOpenCollada(const std::string& path) {
    // The loading validator, then the coherence checks of links and ids.
    std::string output;
    const bool loaded = RunCommand("/usr/lib/opencollada/OpenCOLLADAValidator '" + path + "' 2>&1", output);
    const bool coherent = RunCommand("/usr/lib/opencollada/DAEValidator '" + path +
                                         "' --check-links --check-unique-ids --check-unique-sids 2>&1",
                                     output);
    // Its progress lines are not findings.
    std::string findings;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line.find("is valid against the COLLADA 1.4.1 schema") != std::string::npos ||
            line == "Validation SUCCEEDED." || line.rfind("Processing ", 0) == 0 || line.rfind("Checking ", 0) == 0 ||
            line.rfind("Processed ", 0) == 0)
            continue;
        findings += line + "\n";
    }
    if ((!loaded || !coherent) && findings.empty()) findings = "validator failed";
    return findings;
}

std::string LoadWithPeer(const std::string& path) {
    const std::string command = std::string("/usr/bin/python3 ") + DUZ_COLLADA_WRITER_PEER_SCRIPT + " '" + path + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return "FAILED: no python";
    std::string output;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) output.append(buffer.data(), n);
    const int status = pclose(pipe.release());
    if (status != 0) return "FAILED: " + output;
    return output;
}

}  // namespace colladatest
