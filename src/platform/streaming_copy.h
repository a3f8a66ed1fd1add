// Copies whose stores bypass the cache, for whole frames that leave it anyway.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zirvo::platform {

// Below this many bytes in one image a plain copy is as fast and leaves the
// result in the cache for whoever reads it next.
inline constexpr std::size_t kStreamingCopyMinimumBytes = std::size_t{4} << 20;

// memcpy with stores that go straight to memory (no read of the destination
// lines first, no eviction of what the cache holds), where the processor has
// them; a plain memcpy elsewhere. Any alignment of either pointer; the ranges
// must not overlap. The stores are complete and ordered before it returns,
// so a lock released afterwards publishes them.
void CopyStreaming(void* destination, const void* source, std::size_t bytes);

}  // namespace zirvo::platform
