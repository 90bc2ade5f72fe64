// Checks shared by the Collada writer tests: the COLLADA 1.4.1 schema that
// the independent reader pycollada ships, and that reader itself.
#pragma once

#include <string>

namespace colladatest {

// Empty when the document is valid against the schema; otherwise libxml2's
// messages.
std::string ValidateAgainstSchema(const std::string& path);

// Empty when the OpenCOLLADA validator reports nothing for the document;
// otherwise what it reports.
std::string ValidateWithOpenCollada(const std::string& path);

// Both of the above, as test expectations.
void ExpectValidDocument(const std::string& path);

// What pycollada, loading strictly, understood of the document, one fact
// per line (see collada_writer_peer.py); a test failure, and "FAILED" with
// the reason, when it could not load it.
std::string LoadWithPeer(const std::string& path);

}  // namespace colladatest
