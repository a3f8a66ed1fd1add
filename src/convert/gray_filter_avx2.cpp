// Luminance of 24-bit pixels with byte shuffles, for processors with AVX2.
#include "convert/gray_filter_internal.h"

#include <immintrin.h>

namespace zirvo {

namespace {

// pshufb masks gathering channel `channel` of 16 consecutive 24-bit pixels
// out of the 48 bytes held by three vectors, one mask per vector. A type of
// this file's own: nothing inline from a shared header is compiled for AVX2.
struct ShuffleMask {
  int8_t bytes[16];
};

constexpr ShuffleMask ChannelMask(int channel, int vector) {
  ShuffleMask mask{};
  for (int position = 0; position < 16; ++position) {
    int index = 3 * position + channel;
    mask.bytes[position] = index / 16 == vector ? static_cast<int8_t>(index % 16) : int8_t{-128};
  }
  return mask;
}

__m128i Load(const ShuffleMask& mask) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask.bytes));
}

struct ChannelGather {
  __m128i fromFirst, fromSecond, fromThird;

  explicit ChannelGather(int channel)
      : fromFirst(Load(ChannelMask(channel, 0))),
        fromSecond(Load(ChannelMask(channel, 1))),
        fromThird(Load(ChannelMask(channel, 2))) {}

  __m128i Gather(__m128i first, __m128i second, __m128i third) const {
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(first, fromFirst),
                                     _mm_shuffle_epi8(second, fromSecond)),
                        _mm_shuffle_epi8(third, fromThird));
  }
};

// (59 G + 30 R + 11 B) / 100 on 16-bit lanes; the sum stays below 25501, for
// which (x * 5243) >> 19 is exactly x / 100.
__m128i WeighedLevels(__m128i blue, __m128i green, __m128i red) {
  __m128i sum = _mm_add_epi16(
      _mm_add_epi16(_mm_mullo_epi16(green, _mm_set1_epi16(59)),
                    _mm_mullo_epi16(red, _mm_set1_epi16(30))),
      _mm_mullo_epi16(blue, _mm_set1_epi16(11)));
  return _mm_srli_epi16(_mm_mulhi_epu16(sum, _mm_set1_epi16(5243)), 3);
}

}  // namespace

void LuminanceRow24Avx2(uint8_t* out, const uint8_t* in, int32_t width) {
  static const ChannelGather blueGather(0);
  static const ChannelGather greenGather(1);
  static const ChannelGather redGather(2);
  const __m128i zero = _mm_setzero_si128();
  int32_t j = 0;
  for (; j + 16 <= width; j += 16) {
    const auto* block = reinterpret_cast<const __m128i*>(in + 3 * j);
    __m128i first = _mm_loadu_si128(block);
    __m128i second = _mm_loadu_si128(block + 1);
    __m128i third = _mm_loadu_si128(block + 2);
    __m128i blue = blueGather.Gather(first, second, third);
    __m128i green = greenGather.Gather(first, second, third);
    __m128i red = redGather.Gather(first, second, third);
    __m128i low = WeighedLevels(_mm_unpacklo_epi8(blue, zero), _mm_unpacklo_epi8(green, zero),
                                _mm_unpacklo_epi8(red, zero));
    __m128i high = WeighedLevels(_mm_unpackhi_epi8(blue, zero), _mm_unpackhi_epi8(green, zero),
                                 _mm_unpackhi_epi8(red, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_packus_epi16(low, high));
  }
  LuminanceRowScalar(out + j, in + 3 * j, width - j, 3);
}

}  // namespace zirvo
