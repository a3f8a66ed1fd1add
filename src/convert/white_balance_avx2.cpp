// AVX2 row sums for the white-balance measurement.
#include <immintrin.h>

#include "convert/white_balance.h"

namespace zirvo {
namespace {

uint64_t HorizontalSum64(__m256i lanes) {
  const __m128i pair = _mm_add_epi64(_mm256_castsi256_si128(lanes),
                                     _mm256_extracti128_si256(lanes, 1));
  // Through memory: 32-bit x86 has no 64-bit lane extracts.
  alignas(16) uint64_t halves[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(halves), pair);
  return halves[0] + halves[1];
}

// Byte sums of even and odd positions, eight at a time through the sum of
// absolute differences against zero.
WhiteBalanceRowSums SumRow8(const uint8_t* row, int32_t count) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i low = _mm256_set1_epi16(0x00FF);
  __m256i even = zero;
  __m256i odd = zero;
  int32_t j = 0;
  for (; j + 32 <= count; j += 32) {
    const __m256i samples = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + j));
    even = _mm256_add_epi64(even, _mm256_sad_epu8(_mm256_and_si256(samples, low), zero));
    odd = _mm256_add_epi64(odd, _mm256_sad_epu8(_mm256_srli_epi16(samples, 8), zero));
  }
  WhiteBalanceRowSums sums{HorizontalSum64(even), HorizontalSum64(odd)};
  for (; j < count; ++j) (j & 1 ? sums.odd : sums.even) += row[j];
  return sums;
}

// Word sums in 32-bit lanes, widened every 2^15 steps before they can wrap.
WhiteBalanceRowSums SumRow16(const uint8_t* bytes, int32_t count) {
  const auto* row = reinterpret_cast<const uint16_t*>(bytes);
  const __m256i low = _mm256_set1_epi32(0xFFFF);
  WhiteBalanceRowSums sums;
  int32_t j = 0;
  while (j + 16 <= count) {
    __m256i even = _mm256_setzero_si256();
    __m256i odd = _mm256_setzero_si256();
    for (int32_t steps = 0; steps < (1 << 15) && j + 16 <= count; ++steps, j += 16) {
      const __m256i samples = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + j));
      even = _mm256_add_epi32(even, _mm256_and_si256(samples, low));
      odd = _mm256_add_epi32(odd, _mm256_srli_epi32(samples, 16));
    }
    auto widen = [](__m256i lanes) {
      return _mm256_add_epi64(_mm256_cvtepu32_epi64(_mm256_castsi256_si128(lanes)),
                              _mm256_cvtepu32_epi64(_mm256_extracti128_si256(lanes, 1)));
    };
    sums.even += HorizontalSum64(widen(even));
    sums.odd += HorizontalSum64(widen(odd));
  }
  for (; j < count; ++j) (j & 1 ? sums.odd : sums.even) += row[j];
  return sums;
}

}  // namespace

int WhiteBalanceMeasure8Avx2(uint8_t* /*destination*/, const uint8_t* source,
                             const KernelRect& sourceRect, int /*destinationX*/,
                             int /*destinationY*/, int /*destinationBytesPerPixel*/,
                             int sourceBytesPerPixel, int /*destinationStride*/,
                             int sourceStride, void* parameter, void* /*extra*/) {
  return WhiteBalanceMeasureWith(source, sourceRect, 1, sourceBytesPerPixel, sourceStride,
                                 parameter, SumRow8);
}

int WhiteBalanceMeasure16Avx2(uint8_t* /*destination*/, const uint8_t* source,
                              const KernelRect& sourceRect, int /*destinationX*/,
                              int /*destinationY*/, int /*destinationBytesPerPixel*/,
                              int sourceBytesPerPixel, int /*destinationStride*/,
                              int sourceStride, void* parameter, void* /*extra*/) {
  return WhiteBalanceMeasureWith(source, sourceRect, 2, sourceBytesPerPixel, sourceStride,
                                 parameter, SumRow16);
}

}  // namespace zirvo
