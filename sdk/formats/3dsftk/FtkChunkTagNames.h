#pragma once
// Names of every chunk tag the 3DS toolkit knows, sorted by value.
#include <cstddef>
#include <cstdint>

namespace duzsdk {

struct FtkTagName {
    uint16_t tag;
    const char* name;
};
extern const FtkTagName kFtkTagNames[];
extern const size_t kFtkTagNameCount;

} // namespace duzsdk
