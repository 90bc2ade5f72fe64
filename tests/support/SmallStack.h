// Runs a test body on a thread with a small stack, so that a walk that
// recurses once per node overflows after a few thousand nodes instead of the
// hundreds of thousands a process's main stack would take.
#pragma once

#include <cstddef>
#include <functional>

namespace duztest {

// Runs body to its end on a new thread of stackBytes; false when the thread
// could not be made.
bool RunOnSmallStack(std::size_t stackBytes, const std::function<void()>& body);

}  // namespace duztest
