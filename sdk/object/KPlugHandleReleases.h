// How many weak-handle records have been freed since the process started. A
// holder of weak handles that finds the number unchanged since its last look
// knows that none of its plugs has been destroyed, and need not check each.
#pragma once

#include <cstdint>

namespace duzsdk {

std::uint64_t KPlugHandleReleaseCount();

}  // namespace duzsdk
