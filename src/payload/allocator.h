// The allocator pair handed to the 7z decoder, for its main and its temporary
// allocations alike.
#pragma once
#include <7zTypes.h>

namespace kw {

// Process-heap allocation: a request of 0 bytes gives null; freeing null is fine.
extern const ISzAlloc kDecoderAlloc;

}  // namespace kw
