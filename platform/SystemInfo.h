#pragma once

#include <string>

namespace duzplatform {

// The computer's name; false when the system does not give one.
bool GetComputerName(std::string* name);

// The folder for temporary files, ending in "/" (honours TMPDIR; "/tmp/" when unset or unusable).
std::string GetTemporaryFolder();

// The process's current folder as an absolute path without a trailing "/"; "" when unknown.
std::string GetCurrentFolder();

} // namespace duzplatform
