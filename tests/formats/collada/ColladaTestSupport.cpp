#include "formats/collada/ColladaTestSupport.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlschemas.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace colladatest {

namespace {

constexpr char kColladaResources[] = "/usr/lib/python3/dist-packages/collada/resources/";
constexpr char kColladaXmlSchemaUrl[] = "http://www.w3.org/2001/03/xml.xsd";

xmlExternalEntityLoader gColladaDefaultLoader = nullptr;

// The schema imports the XML namespace schema by its web address; the copy
// that ships beside it is used instead, so validation needs no network.
xmlParserInputPtr ColladaLocalSchemaLoader(const char* url, const char* id, xmlParserCtxtPtr context) {
    if (url != nullptr && std::strcmp(url, kColladaXmlSchemaUrl) == 0)
        return gColladaDefaultLoader((std::string(kColladaResources) + "xsd.xml").c_str(), id, context);
    return gColladaDefaultLoader(url, id, context);
}

void ColladaCollectMessage(void* context, const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    *static_cast<std::string*>(context) += text;
}

xmlSchemaPtr ColladaSchema141(std::string& errors) {
    static xmlSchemaPtr schema = nullptr;
    if (schema != nullptr) return schema;
    gColladaDefaultLoader = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(ColladaLocalSchemaLoader);
    xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt((std::string(kColladaResources) + "schema-1.4.1.xml").c_str());
    xmlSchemaSetParserErrors(parser, ColladaCollectMessage, ColladaCollectMessage, &errors);
    schema = xmlSchemaParse(parser);
    xmlSchemaFreeParserCtxt(parser);
    return schema;
}

}  // namespace

std::string ValidateAgainstSchema(const std::string& path) {
    std::string errors;
    xmlSchemaPtr schema = ColladaSchema141(errors);
    if (schema == nullptr) return "schema not loaded: " + errors;
    xmlDocPtr document = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
    if (document == nullptr) return "not well-formed XML";
    xmlSchemaValidCtxtPtr context = xmlSchemaNewValidCtxt(schema);
    xmlSchemaSetValidErrors(context, ColladaCollectMessage, ColladaCollectMessage, &errors);
    const int result = xmlSchemaValidateDoc(context, document);
    xmlSchemaFreeValidCtxt(context);
    xmlFreeDoc(document);
    if (result != 0 && errors.empty()) errors = "invalid";
    return errors;
}

namespace {

// The command's output and whether it exited with 0.
bool ColladaRunCommand(const std::string& command, std::string& output) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return false;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) output.append(buffer.data(), n);
    return pclose(pipe.release()) == 0;
}

// True for a finding that a file the document references is not there: an
// image file that the test scene names. References inside the document
// carry a fragment ("#id") and are findings.
bool ColladaIsMissingFileFinding(const std::string& line) {
    const char* const kText = "Can't resolve file://";
    const size_t at = line.find(kText);
    return at != std::string::npos && line.find('#', at) == std::string::npos;
}

}  // namespace

void ExpectValidDocument(const std::string& path) {
    EXPECT_EQ(ValidateAgainstSchema(path), "") << path;
    EXPECT_EQ(ValidateWithOpenCollada(path), "") << path;
}

std::string ValidateWithOpenCollada(const std::string& path) {
    // The loading validator, then the coherence checks of links and ids.
    std::string output;
    const bool loaded = ColladaRunCommand("/usr/lib/opencollada/OpenCOLLADAValidator '" + path + "' 2>&1", output);
    const bool coherent = ColladaRunCommand("/usr/lib/opencollada/DAEValidator '" + path +
                                         "' --check-links --check-unique-ids --check-unique-sids 2>&1",
                                     output);
    // Its progress lines are not findings.
    std::string findings;
    bool missingFiles = false;
    bool failed = false;
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
        // It also looks for the image files, which the test scenes only
        // name; when they are all it finds, the document is valid.
        if (ColladaIsMissingFileFinding(line)) {
            missingFiles = true;
            continue;
        }
        if (line == "Validation FAILED.") {
            failed = true;
            continue;
        }
        findings += line + "\n";
    }
    if (findings.empty() && missingFiles) return findings;
    if (failed) findings += "Validation FAILED.\n";
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
    // Every document we write must load strictly.
    if (status != 0) {
        ADD_FAILURE() << "pycollada refused " << path << ":\n" << output;
        return "FAILED: " + output;
    }
    return output;
}

}  // namespace colladatest
