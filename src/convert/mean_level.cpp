// Mean sample level of a rectangle of 8- or 16-bit samples.
#include "convert/mean_level.h"

#include <cstddef>
#include <cstdint>

#include "convert/processor.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zirvo {

namespace {

#if defined(__SSE2__)
// Automatic exposure measures every frame: sums of absolute differences
// against zero add 16 bytes per instruction.
uint64_t Total(__m128i sums) {
  uint64_t halves[2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(halves), sums);
  return halves[0] + halves[1];
}
#endif

uint64_t SumRow8(const uint8_t* row, int32_t count) {
  uint64_t sum = 0;
  int32_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  __m128i sums = zero;
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    sums = _mm_add_epi64(sums, _mm_sad_epu8(bytes, zero));
  }
  sum = Total(sums);
#endif
  for (; i < count; ++i) sum += row[i];
  return sum;
}

uint64_t SumRow16(const uint8_t* row, int32_t count) {
  uint64_t sum = 0;
  int32_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i lowByte = _mm_set1_epi16(0xFF);
  __m128i sums = zero;
  for (; i + 8 <= count; i += 8) {
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * i));
    // Each word keeps bits 2..9 in its low byte, its high byte 0.
    const __m128i levels = _mm_and_si128(_mm_srli_epi16(words, 2), lowByte);
    sums = _mm_add_epi64(sums, _mm_sad_epu8(levels, zero));
  }
  sum = Total(sums);
#endif
  for (; i < count; ++i) {
    uint32_t sample = row[2 * i] | (uint32_t{row[2 * i + 1]} << 8);
    sum += (sample >> 2) & 0xFF;
  }
  return sum;
}

template <uint64_t (*SumRow)(const uint8_t*, int32_t), int kBytes>
int MeanOf(const uint8_t* source, const KernelRect& rect, int stride) {
  int32_t width = rect.Width();
  int32_t height = rect.Height();
  if (width <= 0 || height <= 0 || source == nullptr) return 0;
  uint64_t sum = 0;
  for (int32_t row = rect.top; row < rect.bottom; ++row) {
    const uint8_t* line = source + static_cast<ptrdiff_t>(row) * stride +
                          static_cast<ptrdiff_t>(rect.left) * kBytes;
    sum += SumRow(line, width);
  }
  uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  return static_cast<int>(sum / count);
}

}  // namespace

int MeanLevel8(uint8_t*, const uint8_t* source, const KernelRect& sourceRect, int, int, int,
               int, int, int sourceStride, void*, void*) {
  return MeanOf<SumRow8, 1>(source, sourceRect, sourceStride);
}

int MeanLevel16(uint8_t*, const uint8_t* source, const KernelRect& sourceRect, int, int, int,
                int, int, int sourceStride, void*, void*) {
  return MeanOf<SumRow16, 2>(source, sourceRect, sourceStride);
}

#if !(defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86))
// Without the vector file the name still links; it is never selected.
int MeanLevel16Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect, int destinationX,
                    int destinationY, int destinationBytesPerPixel, int sourceBytesPerPixel, int destinationStride,
                    int sourceStride, void* parameter, void* extra) {
  return MeanLevel16(destination, source, sourceRect, destinationX, destinationY, destinationBytesPerPixel,
                     sourceBytesPerPixel, destinationStride, sourceStride, parameter, extra);
}
#endif

RectangleKernel SelectMeanLevel16(uint32_t usableFeatures) {
#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
  if ((usableFeatures & kFeatureAvx2) != 0) return MeanLevel16Avx2;
#endif
  (void)usableFeatures;
  return MeanLevel16;
}

}  // namespace zirvo
