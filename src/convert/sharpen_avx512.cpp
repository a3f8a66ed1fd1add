// Sharpening row loops compiled for AVX-512; bytes in 16-bit lanes by hand.
#include <immintrin.h>

#include <algorithm>

#include "convert/sharpen.h"

namespace zirvo {
namespace {

// bzhi reads only the low byte of its index, so the count is limited first.
__mmask32 FirstLanes(int count) {
  return static_cast<__mmask32>(_bzhi_u32(~0u, static_cast<unsigned>(std::min(count, 32))));
}

__m512i LoadBytesAsWords(const uint8_t* bytes, __mmask32 lanes) {
  return _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(lanes, bytes));
}

void SumFourByteRows(const SharpenRowInput<uint8_t>& in, uint16_t* sums) {
  const int count = (in.width - 1) * in.elementsPerPixel;
  for (int e = 0; e < count; e += 32) {
    const __mmask32 lanes = FirstLanes(count - e);
    __m512i sum = _mm512_add_epi16(LoadBytesAsWords(in.rows[0] + e, lanes), LoadBytesAsWords(in.rows[1] + e, lanes));
    sum = _mm512_add_epi16(sum, LoadBytesAsWords(in.rows[2] + e, lanes));
    sum = _mm512_add_epi16(sum, LoadBytesAsWords(in.rows[3] + e, lanes));
    _mm512_mask_storeu_epi16(sums + e, lanes, sum);
  }
}

// Signed 16-bit division by 10 truncating toward zero: multiply-high by
// ceil(2^18 / 10), then a negative quotient is one too low.
__m512i DivideByTen(__m512i value) {
  const __m512i floor = _mm512_srai_epi16(_mm512_mulhi_epi16(value, _mm512_set1_epi16(26215)), 2);
  return _mm512_sub_epi16(floor, _mm512_srai_epi16(value, 15));
}

// |amount| <= 128: a * difference and o + correction fit 16 bits.
void SharpenBytesFromSums(const SharpenRowInput<uint8_t>& in, const uint16_t* sums, int amount) {
  const int p = in.elementsPerPixel;
  const int end = (in.width - 2) * p;
  const __m512i a = _mm512_set1_epi16(static_cast<int16_t>(amount));
  const __m512i zero = _mm512_setzero_si512();
  for (int e = 2 * p; e < end; e += 32) {
    const __mmask32 lanes = FirstLanes(end - e);
    const __m512i left = _mm512_add_epi16(_mm512_maskz_loadu_epi16(lanes, sums + e - 2 * p),
                                          _mm512_maskz_loadu_epi16(lanes, sums + e - p));
    const __m512i right = _mm512_add_epi16(_mm512_maskz_loadu_epi16(lanes, sums + e),
                                           _mm512_maskz_loadu_epi16(lanes, sums + e + p));
    const __m512i blurred = _mm512_srli_epi16(_mm512_add_epi16(left, right), 4);
    const __m512i original = LoadBytesAsWords(in.centre + e, lanes);
    const __m512i product = _mm512_mullo_epi16(_mm512_sub_epi16(original, blurred), a);
    const __m512i value = _mm512_max_epi16(_mm512_add_epi16(original, DivideByTen(product)), zero);
    _mm512_mask_cvtusepi16_storeu_epi8(in.output + e, lanes, value);
  }
}

}  // namespace

void SharpenRowAvx512For8(const SharpenRowInput<uint8_t>& in, void* sums, int amount, bool narrow) {
  if (!narrow) {
    SharpenRowWith<uint8_t, 255>(in, sums, amount, narrow);
    return;
  }
  uint16_t* typed = static_cast<uint16_t*>(sums);
  SumFourByteRows(in, typed);
  SharpenBytesFromSums(in, typed, amount);
}

void SharpenRowAvx512For16(const SharpenRowInput<uint16_t>& in, void* sums, int amount, bool narrow) {
  SharpenRowWith<uint16_t, 1023>(in, sums, amount, narrow);
}

}  // namespace zirvo
