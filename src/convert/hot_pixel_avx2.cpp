// AVX2 hot-pixel correction: vector candidate search, exact sequential test on candidates.
#include <immintrin.h>

#include <algorithm>

#include "convert/hot_pixel.h"
#include "convert/hot_pixel_scan.h"

namespace zirvo {
namespace {

// Lanes whose pixel exceeds its same-colour mean by at least the threshold,
// from the buffer as it is now (earlier corrections included).
uint32_t CandidateBits(const HotPixelArea<uint8_t>& area, int32_t x, int32_t y) {
  auto load = [&](int32_t row, int32_t column) {
    return _mm256_cvtepu8_epi16(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(area.Row(row) + column)));
  };
  const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(load(y - 2, x), load(y + 2, x)),
                                       _mm256_add_epi16(load(y, x - 2), load(y, x + 2)));
  const __m256i excess = _mm256_sub_epi16(load(y, x), _mm256_srli_epi16(sum, 2));
  // Excess lies in −255..255, so a threshold clamped to ±256 decides alike.
  const int32_t below = std::clamp<int32_t>(area.threshold, -256, 256) - 1;
  const __m256i hot = _mm256_cmpgt_epi16(excess, _mm256_set1_epi16(static_cast<int16_t>(below)));
  return static_cast<uint32_t>(_pext_u32(static_cast<uint32_t>(_mm256_movemask_epi8(hot)),
                                         0x55555555u));
}

uint32_t CandidateBits(const HotPixelArea<uint16_t>& area, int32_t x, int32_t y) {
  auto load = [&](int32_t row, int32_t column) {
    return _mm256_cvtepu16_epi32(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(area.Row(row) + column)));
  };
  const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(load(y - 2, x), load(y + 2, x)),
                                       _mm256_add_epi32(load(y, x - 2), load(y, x + 2)));
  const __m256i excess = _mm256_sub_epi32(load(y, x), _mm256_srli_epi32(sum, 2));
  const __m256i hot = _mm256_cmpgt_epi32(excess, _mm256_set1_epi32(area.threshold - 1));
  return static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(hot)));
}

// Thirty-two byte lanes at once for a positive threshold: a superset of the
// lanes above, as only candidates are tested and the exact test decides. The
// mean is taken from below: halving floors each pair sum, then the two halves'
// sum, so it is the exact mean or one less, and no hot pixel is missed.
// Floored halves come from the rounding-up average of inverted bytes.
struct WideCandidates {
  static constexpr int32_t kStep = 32;
  static uint32_t Bits(const HotPixelArea<uint8_t>& area, int32_t x, int32_t y) {
    const __m256i ones = _mm256_set1_epi8(-1);
    auto inverted = [&](int32_t row, int32_t column) {
      return _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(area.Row(row) + column)), ones);
    };
    const __m256i vertical = _mm256_avg_epu8(inverted(y - 2, x), inverted(y + 2, x));
    const __m256i horizontal = _mm256_avg_epu8(inverted(y, x - 2), inverted(y, x + 2));
    const __m256i mean = _mm256_xor_si256(_mm256_avg_epu8(vertical, horizontal), ones);
    const __m256i pixel = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(area.Row(y) + x));
    // Lanes whose excess over the mean reaches the threshold (1..256) stay above zero.
    const uint8_t below = static_cast<uint8_t>(std::min<int32_t>(area.threshold, 256) - 1);
    const __m256i hot = _mm256_subs_epu8(_mm256_subs_epu8(pixel, mean), _mm256_set1_epi8(static_cast<char>(below)));
    return ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hot, _mm256_setzero_si256())));
  }
};

template <typename Sample>
struct ExactCandidates {
  static constexpr int32_t kStep = sizeof(Sample) == 1 ? 16 : 8;
  static uint32_t Bits(const HotPixelArea<Sample>& area, int32_t x, int32_t y) { return CandidateBits(area, x, y); }
};

// Runs the exact test on each candidate of the step at x, in order; after a
// replacement the rest of the step is searched again, as the new value feeds
// the mean two pixels on.
template <typename Candidates, typename Sample>
int CorrectStep(const HotPixelArea<Sample>& area, int32_t x, int32_t y) {
  int replaced = 0;
  uint32_t candidates = Candidates::Bits(area, x, y);
  while (candidates != 0) {
    const int lane = __builtin_ctz(candidates);
    const uint32_t done = (2u << lane) - 1;  // lane 31: wraps to every lane
    if (CorrectIfHot(area, x + lane, y)) {
      ++replaced;
      candidates = Candidates::Bits(area, x, y) & ~done;
    } else {
      candidates &= ~done;
    }
  }
  return replaced;
}

template <typename Candidates, typename Sample>
int CorrectArea(const HotPixelArea<Sample>& area) {
  constexpr int32_t kStep = Candidates::kStep;
  const int32_t first = area.left + 2;
  const int32_t end = area.left + area.width - 2;  // exclusive
  int replaced = 0;
  for (int32_t y = area.top + 2; y <= area.top + area.height - 3; ++y) {
    int32_t x = first;
    // A step reads up to x + kStep + 1, inside the rectangle while x + kStep <= end.
    for (; x + kStep <= end; x += kStep) replaced += CorrectStep<Candidates>(area, x, y);
    for (; x < end; ++x) replaced += CorrectIfHot(area, x, y) ? 1 : 0;
  }
  return replaced;
}

template <typename Sample>
int CorrectArea(const HotPixelArea<Sample>& area) {
  if constexpr (sizeof(Sample) == 1) {
    if (area.threshold > 0) return CorrectArea<WideCandidates>(area);
  }
  return CorrectArea<ExactCandidates<Sample>>(area);
}

template <typename Sample>
int Correct(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
            int destinationX, int destinationY, int destinationStride, int sourceStride,
            void* parameter, void* extra) {
  HotPixelArea<Sample> area{};
  if (!PrepareHotPixelArea(destination, source, rect, destinationX, destinationY,
                           destinationStride, sourceStride, parameter, extra, &area)) {
    return 0;
  }
  return CorrectArea(area);
}

}  // namespace

int HotPixelCorrectAvx2(uint8_t* destination, const uint8_t* source,
                        const KernelRect& sourceRect, int destinationX, int destinationY,
                        int destinationBytesPerPixel, int sourceBytesPerPixel,
                        int destinationStride, int sourceStride, void* parameter, void* extra) {
  if (destinationBytesPerPixel != sourceBytesPerPixel) return 0;
  if (sourceBytesPerPixel == 1) {
    return Correct<uint8_t>(destination, source, sourceRect, destinationX, destinationY,
                            destinationStride, sourceStride, parameter, extra);
  }
  if (sourceBytesPerPixel == 2) {
    return Correct<uint16_t>(destination, source, sourceRect, destinationX, destinationY,
                             destinationStride, sourceStride, parameter, extra);
  }
  return 0;
}

}  // namespace zirvo
