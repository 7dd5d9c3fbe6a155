#pragma once
// Whether an image of a given size may be made at all: the pixel limit the reader uses, the side limit,
// and the memory the machine has free. Every size-changing operation asks before it allocates.

#include <cstdint>
#include <string>

namespace platform {

// Bytes the system could give this process now (MemAvailable plus free swap); the maximum value when
// it cannot tell. Tests may set a fake figure (0 restores the real one).
std::uint64_t AvailableMemory();
void SetAvailableMemoryForTesting(std::uint64_t bytes);

// Empty when `copies` pfBGR24 buffers of width x height may be made, else why not, naming the limit:
// "40000 x 30000 pixels is more than the 500000000 pixels this program handles".
std::string RefuseImageSize(std::int64_t width, std::int64_t height, int copies = 1);

} // namespace platform
