// Sharpening row loops compiled for AVX-512; bytes in 16-bit lanes by hand.
#include <immintrin.h>

#include <algorithm>

#include "convert/sharpen.h"

namespace zirvo {
namespace {

// bzhi reads only the low byte of its index, so the count is limited first
// (it may be negative for the upper half of a short chunk).
__mmask32 FirstLanes(int count) {
  return static_cast<__mmask32>(_bzhi_u32(~0u, static_cast<unsigned>(std::clamp(count, 0, 32))));
}

__m512i LoadBytesAsWords(const uint8_t* bytes, __mmask32 lanes) {
  return _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(lanes, bytes));
}

__m512i SumFourBytes(const uint8_t* const rows[4], int e, __mmask32 lanes) {
  const __m512i upper =
      _mm512_add_epi16(LoadBytesAsWords(rows[0] + e, lanes), LoadBytesAsWords(rows[1] + e, lanes));
  const __m512i lower =
      _mm512_add_epi16(LoadBytesAsWords(rows[2] + e, lanes), LoadBytesAsWords(rows[3] + e, lanes));
  return _mm512_add_epi16(upper, lower);
}

void SumFourByteRows(const SharpenRowInput<uint8_t>& in, uint16_t* __restrict__ sums) {
  const int count = (in.width - 1) * in.elementsPerPixel;
  // Local copies: the stores to `sums` must not make the compiler reload them.
  const uint8_t* const rows[4] = {in.rows[0], in.rows[1], in.rows[2], in.rows[3]};
  const char* const next = reinterpret_cast<const char*>(in.next);
  int e = 0;
  for (; e + 32 <= count; e += 32) {
    _mm512_storeu_si512(sums + e, SumFourBytes(rows, e, ~__mmask32{0}));
    if (next != nullptr) _mm_prefetch(next + e, _MM_HINT_T0);
  }
  if (e < count) {
    const __mmask32 lanes = FirstLanes(count - e);
    _mm512_mask_storeu_epi16(sums + e, lanes, SumFourBytes(rows, e, lanes));
  }
}

// Signed 16-bit division by 10 truncating toward zero: multiply-high by
// ceil(2^18 / 10), then a negative quotient is one too low.
__m512i DivideByTen(__m512i value) {
  const __m512i floor = _mm512_srai_epi16(_mm512_mulhi_epi16(value, _mm512_set1_epi16(26215)), 2);
  return _mm512_sub_epi16(floor, _mm512_srai_epi16(value, 15));
}

// |amount| <= 128: a * difference and o + correction fit 16 bits.
__m512i SharpenWords(const SharpenRowInput<uint8_t>& in, const uint16_t* sums, int e, __mmask32 lanes,
                     __m512i a) {
  const int p = in.elementsPerPixel;
  const __m512i left = _mm512_add_epi16(_mm512_maskz_loadu_epi16(lanes, sums + e - 2 * p),
                                        _mm512_maskz_loadu_epi16(lanes, sums + e - p));
  const __m512i right = _mm512_add_epi16(_mm512_maskz_loadu_epi16(lanes, sums + e),
                                         _mm512_maskz_loadu_epi16(lanes, sums + e + p));
  const __m512i blurred = _mm512_srli_epi16(_mm512_add_epi16(left, right), 4);
  const __m512i original = LoadBytesAsWords(in.centre + e, lanes);
  const __m512i product = _mm512_mullo_epi16(_mm512_sub_epi16(original, blurred), a);
  return _mm512_add_epi16(original, DivideByTen(product));
}

// 64 samples from e on (fewer at the row's end), limited to 0..255 by the
// saturating pack, whose per-lane interleave the permute undoes.
__m512i SharpenBytes(const SharpenRowInput<uint8_t>& in, const uint16_t* sums, int e, int count, __m512i a) {
  const __m512i low = SharpenWords(in, sums, e, FirstLanes(count), a);
  const __m512i high = SharpenWords(in, sums, e + 32, FirstLanes(count - 32), a);
  return _mm512_maskz_permutexvar_epi64(0xFF, _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7),
                                        _mm512_packus_epi16(low, high));
}

// Plain shifts rather than BZHI, whose 64-bit form 32-bit x86 lacks.
__mmask64 FirstBytes(int count) {
  return count >= 64 ? ~__mmask64{0} : (__mmask64{1} << std::max(count, 0)) - 1;
}

void SharpenBytesFromSums(const SharpenRowInput<uint8_t>& in, const uint16_t* sums, int amount) {
  const int p = in.elementsPerPixel;
  const int end = (in.width - 2) * p;
  const __m512i a = _mm512_set1_epi16(static_cast<int16_t>(amount));
  uint8_t* output = in.output;
  int e = 2 * p;
  // The first chunk ends on a cache line, so the later ones can stream whole lines.
  const int head = static_cast<int>((64 - reinterpret_cast<uintptr_t>(output + e) % 64) % 64);
  if (head > 0) {
    const int count = std::min(head, end - e);
    _mm512_mask_storeu_epi8(output + e, FirstBytes(count), SharpenBytes(in, sums, e, count, a));
    e += count;
  }
  if (in.streaming) {
    for (; e + 64 <= end; e += 64)
      _mm512_stream_si512(reinterpret_cast<__m512i*>(output + e), SharpenBytes(in, sums, e, 64, a));
    _mm_sfence();
  }
  for (; e < end; e += 64) {
    _mm512_mask_storeu_epi8(output + e, FirstBytes(end - e), SharpenBytes(in, sums, e, end - e, a));
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
