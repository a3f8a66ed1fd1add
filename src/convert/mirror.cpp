// Horizontal mirror of raw rows, in place or into another buffer.
#include "convert/mirror.h"

#include <algorithm>

#include "convert/kernel_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zirvo {

namespace {

#if defined(__SSE2__)
// Reverses the 16-bit lanes, and with kBytes == 1 the bytes within them too.
template <int kBytes>
__m128i ReverseBlock(__m128i block) {
  block = _mm_shuffle_epi32(block, _MM_SHUFFLE(0, 1, 2, 3));
  block = _mm_shufflelo_epi16(block, _MM_SHUFFLE(2, 3, 0, 1));
  block = _mm_shufflehi_epi16(block, _MM_SHUFFLE(2, 3, 0, 1));
  if constexpr (kBytes == 1) {
    block = _mm_or_si128(_mm_slli_epi16(block, 8), _mm_srli_epi16(block, 8));
  }
  return block;
}

__m128i Load(const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }
void Store(uint8_t* at, __m128i value) { _mm_storeu_si128(reinterpret_cast<__m128i*>(at), value); }
#endif

// Pixels swapped byte-wise: rows need no alignment.
template <typename Pixel>
void ReverseScalar(uint8_t* first, uint8_t* last) {
  while (last - first >= static_cast<ptrdiff_t>(2 * sizeof(Pixel))) {
    last -= sizeof(Pixel);
    std::swap_ranges(first, first + sizeof(Pixel), last);
    first += sizeof(Pixel);
  }
}

// Swaps blocks from both ends towards the middle; the middle rest is scalar.
template <typename Pixel>
void ReverseInPlace(uint8_t* row, int32_t width) {
  uint8_t* front = row;
  uint8_t* back = row + static_cast<ptrdiff_t>(width) * sizeof(Pixel);
#if defined(__SSE2__)
  while (back - front >= 32) {
    __m128i head = Load(front);
    __m128i tail = Load(back - 16);
    Store(front, ReverseBlock<sizeof(Pixel)>(tail));
    Store(back - 16, ReverseBlock<sizeof(Pixel)>(head));
    front += 16;
    back -= 16;
  }
#endif
  ReverseScalar<Pixel>(front, back);
}

template <typename Pixel>
void ReverseCopy(uint8_t* out, const uint8_t* in, int32_t width) {
  int32_t done = 0;
#if defined(__SSE2__)
  constexpr int32_t kPerBlock = 16 / sizeof(Pixel);
  for (; done + kPerBlock <= width; done += kPerBlock) {
    const uint8_t* from = in + static_cast<ptrdiff_t>(width - done - kPerBlock) * sizeof(Pixel);
    Store(out + static_cast<ptrdiff_t>(done) * sizeof(Pixel),
          ReverseBlock<sizeof(Pixel)>(Load(from)));
  }
#endif
  for (; done < width; ++done) {
    const uint8_t* from = in + static_cast<ptrdiff_t>(width - 1 - done) * sizeof(Pixel);
    std::copy(from, from + sizeof(Pixel), out + static_cast<ptrdiff_t>(done) * sizeof(Pixel));
  }
}

template <typename Pixel>
int MirrorRows(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
               int destinationX, int destinationY, int destinationStride, int sourceStride) {
  int32_t width = rect.Width();
  for (int32_t i = 0; i < rect.Height(); ++i) {
    const uint8_t* in = PixelAt(source, rect.top + i, sourceStride, rect.left, sizeof(Pixel));
    uint8_t* out = PixelAt(destination, destinationY + i, destinationStride, destinationX,
                           sizeof(Pixel));
    if (out == in) {
      ReverseInPlace<Pixel>(out, width);
    } else {
      ReverseCopy<Pixel>(out, in, width);
    }
  }
  return 1;
}

}  // namespace

int MirrorRows8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                int destinationX, int destinationY, int, int, int destinationStride,
                int sourceStride, void*, void*) {
  return MirrorRows<uint8_t>(destination, source, sourceRect, destinationX, destinationY,
                             destinationStride, sourceStride);
}

int MirrorRows16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                 int destinationX, int destinationY, int, int, int destinationStride,
                 int sourceStride, void*, void*) {
  return MirrorRows<uint16_t>(destination, source, sourceRect, destinationX, destinationY,
                              destinationStride, sourceStride);
}

}  // namespace zirvo
