// Sharpening row loops compiled for AVX2; bytes in 16-bit lanes by hand, the rest as the compiler makes it.
#include <immintrin.h>

#include <cstdint>

#include "convert/sharpen.h"

namespace zirvo {
namespace {

constexpr int kWords = 16;  // 16-bit lanes in a vector
constexpr int kBytes = 32;

__m256i LoadBytesAsWords(const uint8_t* bytes) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
}

__m256i LoadWords(const uint16_t* words) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words)); }

__m256i SumFourBytes(const uint8_t* const rows[4], int e) {
  const __m256i upper = _mm256_add_epi16(LoadBytesAsWords(rows[0] + e), LoadBytesAsWords(rows[1] + e));
  const __m256i lower = _mm256_add_epi16(LoadBytesAsWords(rows[2] + e), LoadBytesAsWords(rows[3] + e));
  return _mm256_add_epi16(upper, lower);
}

void SumFourByteRows(const SharpenRowInput<uint8_t>& in, uint16_t* __restrict__ sums) {
  const int count = (in.width - 1) * in.elementsPerPixel;
  // Local copies: the stores to `sums` must not make the compiler reload them.
  const uint8_t* const rows[4] = {in.rows[0], in.rows[1], in.rows[2], in.rows[3]};
  const char* const next = reinterpret_cast<const char*>(in.next);
  int e = 0;
  for (; e + kBytes <= count; e += kBytes) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + e), SumFourBytes(rows, e));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + e + kWords), SumFourBytes(rows, e + kWords));
    if (next != nullptr) _mm_prefetch(next + e, _MM_HINT_T0);
  }
  for (; e < count; ++e) {
    sums[e] = static_cast<uint16_t>(rows[0][e] + rows[1][e] + rows[2][e] + rows[3][e]);
  }
}

// Signed 16-bit division by 10 truncating toward zero: multiply-high by
// ceil(2^18 / 10), then a negative quotient is one too low.
__m256i DivideByTen(__m256i value) {
  const __m256i floor = _mm256_srai_epi16(_mm256_mulhi_epi16(value, _mm256_set1_epi16(26215)), 2);
  return _mm256_sub_epi16(floor, _mm256_srai_epi16(value, 15));
}

// |amount| <= 128: a * difference and o + correction fit 16 bits. `sums`
// starts at element e - 2p, `centre` at element e.
__m256i SharpenWords(const uint8_t* centre, const uint16_t* sums, int p, __m256i a) {
  const __m256i left = _mm256_add_epi16(LoadWords(sums), LoadWords(sums + p));
  const __m256i right = _mm256_add_epi16(LoadWords(sums + 2 * p), LoadWords(sums + 3 * p));
  const __m256i blurred = _mm256_srli_epi16(_mm256_add_epi16(left, right), 4);
  const __m256i original = LoadBytesAsWords(centre);
  const __m256i product = _mm256_mullo_epi16(_mm256_sub_epi16(original, blurred), a);
  return _mm256_add_epi16(original, DivideByTen(product));
}

// 32 samples, limited to 0..255 by the saturating pack, whose per-half
// interleave the permute undoes.
__m256i SharpenBytes(const uint8_t* centre, const uint16_t* sums, int p, __m256i a) {
  const __m256i packed =
      _mm256_packus_epi16(SharpenWords(centre, sums, p, a), SharpenWords(centre + kWords, sums + kWords, p, a));
  return _mm256_permute4x64_epi64(packed, 0xD8);
}

void StoreBytes(uint8_t* destination, __m256i bytes) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), bytes);
}

void SharpenBytesFromSums(const SharpenRowInput<uint8_t>& in, const uint16_t* sums, int amount) {
  const int p = in.elementsPerPixel;
  const int end = (in.width - 2) * p;
  int e = 2 * p;
  if (end - e < kBytes) {
    SharpenBytesNarrow(in, sums, amount);
    return;
  }
  const __m256i a = _mm256_set1_epi16(static_cast<int16_t>(amount));
  // Local copies: the byte stores may alias `in`, which the compiler would
  // otherwise read again after every one.
  const uint8_t* const centre = in.centre;
  uint8_t* const output = in.output;
  const auto sharpen = [centre, sums, p, a](int at) { return SharpenBytes(centre + at, sums + at - 2 * p, p, a); };
  // Chunks overlap rather than end in a partial one: an overlapped sample is
  // written again with the same value, as the sources are not the output.
  // The first chunk brings the next ones onto whole vectors of the output.
  StoreBytes(output + e, sharpen(e));
  e += static_cast<int>((kBytes - reinterpret_cast<uintptr_t>(output + e) % kBytes) % kBytes);
  if (in.streaming) {
    for (; e + kBytes <= end; e += kBytes) _mm256_stream_si256(reinterpret_cast<__m256i*>(output + e), sharpen(e));
    _mm_sfence();
  }
  for (; e + kBytes <= end; e += kBytes) StoreBytes(output + e, sharpen(e));
  if (e < end) StoreBytes(output + end - kBytes, sharpen(end - kBytes));
}

}  // namespace

void SharpenRowAvx2For8(const SharpenRowInput<uint8_t>& in, void* sums, int amount, bool narrow) {
  if (!narrow) {
    SharpenRowWith<uint8_t, 255>(in, sums, amount, narrow);
    return;
  }
  uint16_t* typed = static_cast<uint16_t*>(sums);
  SumFourByteRows(in, typed);
  SharpenBytesFromSums(in, typed, amount);
}

void SharpenRowAvx2For16(const SharpenRowInput<uint16_t>& in, void* sums, int amount, bool narrow) {
  SharpenRowWith<uint16_t, 1023>(in, sums, amount, narrow);
}

}  // namespace zirvo
