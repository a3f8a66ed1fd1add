// Mean level of 16-bit samples with AVX2: sixteen samples per instruction.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "convert/mean_level.h"

namespace zirvo {

namespace {

// Rows are short and far apart: fetching rows ahead hides the latency
// that the hardware's stream detection leaves at each row start.
constexpr int32_t kRowsAhead = 2;

uint64_t Total(__m256i sums) {
  uint64_t quarters[4];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(quarters), sums);
  return quarters[0] + quarters[1] + quarters[2] + quarters[3];
}

// Bits 2..9 of each word in its low byte, its high byte 0, so that sums of
// absolute differences against zero add them.
[[gnu::always_inline]] inline __m256i LevelSums(const uint8_t* words) {
  const __m256i loaded = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words));
  const __m256i levels = _mm256_and_si256(_mm256_srli_epi16(loaded, 2), _mm256_set1_epi16(0xFF));
  return _mm256_sad_epu8(levels, _mm256_setzero_si256());
}

uint64_t SumRow16(const uint8_t* row, int32_t count, const uint8_t* ahead) {
  int32_t i = 0;
  // Two sums so that consecutive additions do not wait on each other.
  __m256i first = _mm256_setzero_si256();
  __m256i second = _mm256_setzero_si256();
  for (; i + 32 <= count; i += 32) {
    _mm_prefetch(reinterpret_cast<const char*>(ahead + 2 * i), _MM_HINT_T0);
    first = _mm256_add_epi64(first, LevelSums(row + 2 * i));
    second = _mm256_add_epi64(second, LevelSums(row + 2 * i + 32));
  }
  if (i + 16 <= count) {
    first = _mm256_add_epi64(first, LevelSums(row + 2 * i));
    i += 16;
  }
  uint64_t sum = Total(_mm256_add_epi64(first, second));
  for (; i < count; ++i) {
    const uint32_t sample = row[2 * i] | (uint32_t{row[2 * i + 1]} << 8);
    sum += (sample >> 2) & 0xFF;
  }
  return sum;
}

}  // namespace

int MeanLevel16Avx2(uint8_t*, const uint8_t* source, const KernelRect& sourceRect, int, int, int, int, int,
                    int sourceStride, void*, void*) {
  const int32_t width = sourceRect.Width();
  const int32_t height = sourceRect.Height();
  if (width <= 0 || height <= 0 || source == nullptr) return 0;
  uint64_t sum = 0;
  for (int32_t row = sourceRect.top; row < sourceRect.bottom; ++row) {
    const uint8_t* line =
        source + static_cast<ptrdiff_t>(row) * sourceStride + static_cast<ptrdiff_t>(sourceRect.left) * 2;
    const int32_t distance = row + kRowsAhead < sourceRect.bottom ? kRowsAhead : 0;
    sum += SumRow16(line, width, line + static_cast<ptrdiff_t>(distance) * sourceStride);
  }
  return static_cast<int>(sum / (static_cast<uint64_t>(width) * static_cast<uint64_t>(height)));
}

}  // namespace zirvo
