// Streaming-store copy: SSE2 where present (every x86-64, and the 32-bit
// build, which requires SSE2), memcpy otherwise.
#include "platform/streaming_copy.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zirvo::platform {

#if defined(__SSE2__)

void CopyStreaming(void* destination, const void* source, std::size_t bytes) {
  if (bytes == 0) return;
  auto* out = static_cast<uint8_t*>(destination);
  const auto* in = static_cast<const uint8_t*>(source);
  // Streaming stores need 16-byte aligned addresses: the head up to the
  // first aligned one is copied plainly; the source may stay unaligned.
  const std::size_t head = std::min<std::size_t>((16 - (reinterpret_cast<uintptr_t>(out) & 15)) & 15, bytes);
  std::memcpy(out, in, head);
  std::size_t done = head;
  // Four stores a turn fill a whole 64-byte line, which the write-combining
  // buffer then sends as one.
  for (; done + 64 <= bytes; done += 64) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done + 16));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done + 32));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done + 48));
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + done), a);
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + done + 16), b);
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + done + 32), c);
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + done + 48), d);
  }
  for (; done + 16 <= bytes; done += 16) {
    _mm_stream_si128(reinterpret_cast<__m128i*>(out + done),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done)));
  }
  std::memcpy(out + done, in + done, bytes - done);
  // Streaming stores are weakly ordered: fenced before anything that tells
  // another thread the copy is done.
  _mm_sfence();
}

#else

void CopyStreaming(void* destination, const void* source, std::size_t bytes) {
  std::memcpy(destination, source, bytes);
}

#endif

}  // namespace zirvo::platform
