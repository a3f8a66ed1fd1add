// Hue and saturation over 16 pixels at a time with AVX-512 and VBMI byte shuffles.

// GCC 12 warns about the deliberately undefined pass-through operand inside its
// own unmasked AVX-512 intrinsics (a known false positive).
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include "convert/hue_saturation.h"
#include "convert/table_map.h"

namespace zirvo {

namespace {

struct HueVectors {
  __m512i saturation[4];  // the 256 saturation bytes
  __m512i sextantMask;
  __m512i sextantMultiplier;
  __m512i reciprocal[3][4];  // bytes 0, 1 and 2 of the 256 reciprocals
  __m512i sextants;
  __m512i remainder;
};

// table[index] for the low byte of every byte lane, `high` being the top bit of each index byte.
__m512i LookupBytes(const __m512i* quarters, __m512i index, __mmask64 high) {
  const __m512i low = _mm512_permutex2var_epi8(quarters[0], index, quarters[1]);
  const __m512i upper = _mm512_permutex2var_epi8(quarters[2], index, quarters[3]);
  return _mm512_mask_blend_epi8(high, low, upper);
}

HueVectors LoadHueVectors(const HueBlock& block) {
  SaturationTables tables;
  BuildSaturationTables(block, &tables);
  alignas(64) uint8_t saturationBytes[256];
  for (int n = 0; n < 256; ++n) saturationBytes[n] = static_cast<uint8_t>(tables.saturation[n]);
  const HueRotation rotation = HueRotationOf(block.hue);
  HueVectors v;
  for (int q = 0; q < 4; ++q) v.saturation[q] = _mm512_load_si512(saturationBytes + 64 * q);
  const uint32_t* reciprocal = HueBaseTablesOnce().reciprocal;
  for (int b = 0; b < 3; ++b) {
    alignas(64) uint8_t bytes[256];
    for (int n = 0; n < 256; ++n) bytes[n] = static_cast<uint8_t>(reciprocal[n] >> (8 * b));
    for (int q = 0; q < 4; ++q) v.reciprocal[b][q] = _mm512_load_si512(bytes + 64 * q);
  }
  v.sextantMask = _mm512_setr_epi32(0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF,
                                    0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0, 0, 0, 0);
  v.sextantMultiplier =
      _mm512_setr_epi32(-1, 256, -65536, 1, -256, 65536, -1, 256, -65536, 1, -256, 65536, 0, 0, 0, 0);
  v.sextants = _mm512_set1_epi32(rotation.sextants);
  v.remainder = _mm512_set1_epi32(rotation.remainder);
  return v;
}

// Bytes B, G, R of each lane's low three bytes; the top byte is ignored.
// Inlined so the table registers stay in registers across the row loop.
[[gnu::always_inline]] inline __m512i TransformLanes(__m512i pixels, const HueVectors& v) {
  const __m512i byteMask = _mm512_set1_epi32(0xFF);
  const __m512i blue = _mm512_and_si512(pixels, byteMask);
  const __m512i green = _mm512_and_si512(_mm512_srli_epi32(pixels, 8), byteMask);
  const __m512i red = _mm512_and_si512(_mm512_srli_epi32(pixels, 16), byteMask);

  const __mmask16 redLeads = _mm512_cmpge_epi32_mask(red, green);
  __m512i maximum = _mm512_max_epi32(red, green);
  __m512i minimum = _mm512_min_epi32(red, green);
  __m512i numerator =
      _mm512_mask_blend_epi32(redLeads, _mm512_sub_epi32(blue, red), _mm512_sub_epi32(green, blue));
  __m512i sextant = _mm512_mask_blend_epi32(redLeads, _mm512_set1_epi32(3), _mm512_set1_epi32(1));
  const __mmask16 blueAbove = _mm512_cmpgt_epi32_mask(blue, maximum);
  maximum = _mm512_max_epi32(maximum, blue);
  numerator = _mm512_mask_mov_epi32(numerator, blueAbove, _mm512_sub_epi32(red, green));
  sextant = _mm512_mask_mov_epi32(sextant, blueAbove, _mm512_set1_epi32(5));
  minimum = _mm512_min_epi32(minimum, blue);
  const __m512i delta = _mm512_sub_epi32(maximum, minimum);
  const __mmask16 wraps = _mm512_cmplt_epi32_mask(numerator, _mm512_setzero_si512());
  sextant = _mm512_mask_sub_epi32(sextant, wraps, sextant, _mm512_set1_epi32(1));
  numerator = _mm512_mask_add_epi32(numerator, wraps, numerator, delta);

  // Lightness 0: the lightness sum is the sum itself, its cap min(sum, 511 - sum).
  const __m512i sum = _mm512_add_epi32(maximum, minimum);
  const __m512i cap = _mm512_min_epi32(sum, _mm512_sub_epi32(_mm512_set1_epi32(511), sum));
  // Lanes hold delta in their low byte and zeros above, and entry 0 of each
  // byte table is 0, so a byte lookup yields the lane's value directly.
  const __mmask64 deltaHigh = _mm512_movepi8_mask(delta);
  const __m512i saturated = LookupBytes(v.saturation, delta, deltaHigh);
  const __m512i spread = _mm512_min_epi32(saturated, cap);
  const __m512i low = _mm512_srli_epi32(_mm512_sub_epi32(sum, spread), 1);
  const __m512i chroma = _mm512_sub_epi32(_mm512_srli_epi32(_mm512_add_epi32(sum, spread), 1), low);

  const __m512i reciprocal =
      _mm512_ternarylogic_epi32(LookupBytes(v.reciprocal[0], delta, deltaHigh),
                                _mm512_slli_epi32(LookupBytes(v.reciprocal[1], delta, deltaHigh), 8),
                                _mm512_slli_epi32(LookupBytes(v.reciprocal[2], delta, deltaHigh), 16), 0xFE);
  __m512i position = _mm512_srli_epi32(
      _mm512_add_epi32(_mm512_mullo_epi32(reciprocal, numerator), _mm512_set1_epi32(0x8000)), 16);
  position = _mm512_add_epi32(position, v.remainder);
  sextant = _mm512_add_epi32(sextant, v.sextants);
  const __mmask16 carries = _mm512_cmpge_epi32_mask(position, _mm512_set1_epi32(255));
  position = _mm512_mask_sub_epi32(position, carries, position, _mm512_set1_epi32(255));
  sextant = _mm512_mask_add_epi32(sextant, carries, sextant, _mm512_set1_epi32(1));

  const __m512i triple = _mm512_set1_epi32(0x10101);
  const __m512i grayLow = _mm512_mullo_epi32(low, triple);
  const __m512i grayChroma = _mm512_mullo_epi32(chroma, triple);
  const __m512i mask = _mm512_permutexvar_epi32(sextant, v.sextantMask);
  const __m512i multiplier = _mm512_permutexvar_epi32(sextant, v.sextantMultiplier);
  const __m512i step =
      _mm512_srli_epi32(_mm512_add_epi32(_mm512_mullo_epi32(chroma, position), _mm512_set1_epi32(128)), 8);
  const __m512i coloured = _mm512_add_epi32(_mm512_add_epi32(grayLow, _mm512_and_si512(grayChroma, mask)),
                                            _mm512_mullo_epi32(step, multiplier));
  const __mmask16 gray = _mm512_cmpeq_epi32_mask(delta, _mm512_setzero_si512());
  return _mm512_mask_blend_epi32(gray, coloured, grayLow);
}


// Byte pixels, 32 at a time in 16-bit lanes: every intermediate fits 16 bits,
// Q = Qhigh * 65536 + Qlow splits the one wide product, and each channel adds
// its share of chroma and step separately (the packed sum never carries).
struct WideVectors {
  __m512i chromaSelect[3];  // per sextant: 0xFFFF where the channel takes chroma
  __m512i stepSign[3];      // per sextant: +1, -1 or 0 times step for the channel
  __m512i gather[3];        // pixel bytes to the low bytes of each channel's words
  __m512i scatterFirst;     // channel words back to bytes 0..63 of the pixels
  __m512i scatterSecond;    // and to bytes 64..127
  __mmask64 redFirst;       // red bytes among them
  __mmask64 redSecond;
};

WideVectors LoadWideVectors(int step) {
  alignas(64) int16_t select[3][32] = {};
  alignas(64) int16_t sign[3][32] = {};
  constexpr uint32_t kMask[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
  constexpr int32_t kMultiplier[6] = {-1, 256, -65536, 1, -256, 65536};
  for (int sextant = 0; sextant < 12; ++sextant) {
    for (int c = 0; c < 3; ++c) {
      select[c][sextant] = (kMask[sextant % 6] >> (8 * c)) & 0xFF ? int16_t{-1} : int16_t{0};
      const int32_t multiplier = kMultiplier[sextant % 6];
      const int32_t magnitude = multiplier < 0 ? -multiplier : multiplier;
      if (magnitude == (1 << (8 * c))) sign[c][sextant] = multiplier < 0 ? -1 : 1;
    }
  }
  alignas(64) uint8_t gather[3][64] = {};
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 32; ++i) gather[c][2 * i] = static_cast<uint8_t>(step * i + c);
  }
  // Output byte j is channel j % step of pixel j / step: the low byte of word j / step.
  alignas(64) uint8_t scatter[2][64];
  uint64_t red[2] = {0, 0};
  for (int half = 0; half < 2; ++half) {
    for (int b = 0; b < 64; ++b) {
      const int j = 64 * half + b;
      const int channel = j % step;
      scatter[half][b] = static_cast<uint8_t>((channel == 1 ? 64 : 0) + 2 * (j / step));
      if (channel == 2) red[half] |= uint64_t{1} << b;
    }
  }
  WideVectors w;
  for (int c = 0; c < 3; ++c) {
    w.chromaSelect[c] = _mm512_load_si512(select[c]);
    w.stepSign[c] = _mm512_load_si512(sign[c]);
    w.gather[c] = _mm512_load_si512(gather[c]);
  }
  w.scatterFirst = _mm512_load_si512(scatter[0]);
  w.scatterSecond = _mm512_load_si512(scatter[1]);
  w.redFirst = red[0];
  w.redSecond = red[1];
  return w;
}

// Channel words (values 0..255) of 32 pixels in, turned channel words out.
[[gnu::always_inline]] inline void TransformWide(__m512i channels[3], const HueVectors& v,
                                                 const WideVectors& w) {
  const __m512i blue = channels[0];
  const __m512i green = channels[1];
  const __m512i red = channels[2];
  const __mmask32 redLeads = _mm512_cmpge_epu16_mask(red, green);
  __m512i maximum = _mm512_max_epu16(red, green);
  __m512i minimum = _mm512_min_epu16(red, green);
  __m512i numerator =
      _mm512_mask_blend_epi16(redLeads, _mm512_sub_epi16(blue, red), _mm512_sub_epi16(green, blue));
  __m512i sextant = _mm512_mask_blend_epi16(redLeads, _mm512_set1_epi16(3), _mm512_set1_epi16(1));
  const __mmask32 blueAbove = _mm512_cmpgt_epu16_mask(blue, maximum);
  maximum = _mm512_max_epu16(maximum, blue);
  numerator = _mm512_mask_mov_epi16(numerator, blueAbove, _mm512_sub_epi16(red, green));
  sextant = _mm512_mask_mov_epi16(sextant, blueAbove, _mm512_set1_epi16(5));
  minimum = _mm512_min_epu16(minimum, blue);
  const __m512i delta = _mm512_sub_epi16(maximum, minimum);
  const __mmask32 wraps = _mm512_cmplt_epi16_mask(numerator, _mm512_setzero_si512());
  sextant = _mm512_mask_sub_epi16(sextant, wraps, sextant, _mm512_set1_epi16(1));
  numerator = _mm512_mask_add_epi16(numerator, wraps, numerator, delta);

  const __m512i sum = _mm512_add_epi16(maximum, minimum);
  const __m512i cap = _mm512_min_epi16(sum, _mm512_sub_epi16(_mm512_set1_epi16(511), sum));
  // Words hold delta in their low byte; entry 0 of every byte table is 0.
  const __mmask64 deltaHigh = _mm512_movepi8_mask(delta);
  const __m512i spread = _mm512_min_epi16(LookupBytes(v.saturation, delta, deltaHigh), cap);
  const __m512i low = _mm512_srli_epi16(_mm512_sub_epi16(sum, spread), 1);
  const __m512i chroma = _mm512_sub_epi16(_mm512_srli_epi16(_mm512_add_epi16(sum, spread), 1), low);

  const __m512i reciprocalLow =
      _mm512_or_si512(LookupBytes(v.reciprocal[0], delta, deltaHigh),
                      _mm512_slli_epi16(LookupBytes(v.reciprocal[1], delta, deltaHigh), 8));
  const __m512i reciprocalHigh = LookupBytes(v.reciprocal[2], delta, deltaHigh);
  // (Q * num + 0x8000) >> 16 = Qhigh * num + high half of Qlow * num + bit 15 of its low half.
  __m512i position = _mm512_add_epi16(_mm512_mullo_epi16(reciprocalHigh, numerator),
                                      _mm512_mulhi_epu16(reciprocalLow, numerator));
  position = _mm512_add_epi16(position, _mm512_srli_epi16(_mm512_mullo_epi16(reciprocalLow, numerator), 15));
  position = _mm512_add_epi16(
      position,
      _mm512_set1_epi16(static_cast<int16_t>(_mm_cvtsi128_si32(_mm512_castsi512_si128(v.remainder)))));
  sextant = _mm512_add_epi16(
      sextant,
      _mm512_set1_epi16(static_cast<int16_t>(_mm_cvtsi128_si32(_mm512_castsi512_si128(v.sextants)))));
  const __mmask32 carries = _mm512_cmpge_epu16_mask(position, _mm512_set1_epi16(255));
  position = _mm512_mask_sub_epi16(position, carries, position, _mm512_set1_epi16(255));
  sextant = _mm512_mask_add_epi16(sextant, carries, sextant, _mm512_set1_epi16(1));
  const __m512i step =
      _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(chroma, position), _mm512_set1_epi16(128)), 8);
  for (int c = 0; c < 3; ++c) {
    const __m512i withChroma =
        _mm512_add_epi16(low, _mm512_and_si512(chroma, _mm512_permutexvar_epi16(sextant, w.chromaSelect[c])));
    channels[c] = _mm512_add_epi16(
        withChroma, _mm512_mullo_epi16(step, _mm512_permutexvar_epi16(sextant, w.stepSign[c])));
  }
}

__mmask64 BytesFrom(int64_t count) {
  if (count <= 0) return 0;
  return count >= 64 ? ~__mmask64{0} : (__mmask64{1} << count) - 1;
}

// Pixels of `step` bytes (3 or 4); with 4 the fourth byte is never written.
void TransformRowWide(uint8_t* destination, const uint8_t* source, int width, int step, const HueVectors& v,
                      const WideVectors& w) {
  const __mmask64 keep = step == 4 ? __mmask64{0x7777777777777777ull} : ~__mmask64{0};
  constexpr __mmask64 kLowBytes = 0x5555555555555555ull;
  for (int x = 0; x < width; x += 32) {
    const int64_t bytes = static_cast<int64_t>(width - x < 32 ? width - x : 32) * step;
    const __mmask64 first = BytesFrom(bytes);
    const __mmask64 second = BytesFrom(bytes - 64);
    const uint8_t* in = source + static_cast<int64_t>(x) * step;
    const __m512i raw0 = _mm512_maskz_loadu_epi8(first, in);
    const __m512i raw1 = _mm512_maskz_loadu_epi8(second, in + 64);
    __m512i channels[3];
    for (int c = 0; c < 3; ++c)
      channels[c] = _mm512_maskz_permutex2var_epi8(kLowBytes, raw0, w.gather[c], raw1);
    TransformWide(channels, v, w);
    uint8_t* out = destination + static_cast<int64_t>(x) * step;
    const __m512i out0 =
        _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(channels[0], w.scatterFirst, channels[1]),
                                     w.redFirst, w.scatterFirst, channels[2]);
    const __m512i out1 =
        _mm512_mask_permutexvar_epi8(_mm512_permutex2var_epi8(channels[0], w.scatterSecond, channels[1]),
                                     w.redSecond, w.scatterSecond, channels[2]);
    _mm512_mask_storeu_epi8(out, first & keep, out0);
    _mm512_mask_storeu_epi8(out + 64, second & keep, out1);
  }
}

__mmask32 FirstWords(int count) {
  if (count <= 0) return 0;
  return count >= 32 ? ~__mmask32{0} : (__mmask32{1} << count) - 1;
}

// How 16-bit samples are split: the top 8 of `bits` bits are turned, the rest kept.
struct WordVectors {
  __m512i top;
  __m512i lowMask;
  __m128i shift;
  __m512i toLanes;       // bytes of two 8-pixel word vectors to 16 B, G, R lanes
  __m512i fromLanes[2];  // lane bytes back to the words of pixels 0..7 and 8..15
};

WordVectors LoadWordVectors(int32_t sampleBits) {
  const int bits = sampleBits < 8 ? 8 : sampleBits > 16 ? 16 : sampleBits;
  const int shift = bits - 8;
  alignas(64) uint8_t toLanes[64];
  alignas(64) uint8_t fromLanes[2][64];
  for (int i = 0; i < 16; ++i) {
    for (int c = 0; c < 4; ++c)
      toLanes[4 * i + c] = static_cast<uint8_t>((i < 8 ? 0 : 64) + 8 * (i % 8) + 2 * c);
  }
  for (int half = 0; half < 2; ++half) {
    for (int b = 0; b < 64; ++b)
      fromLanes[half][b] = static_cast<uint8_t>(32 * half + 4 * (b / 8) + (b % 8) / 2);
  }
  WordVectors w;
  w.top = _mm512_set1_epi16(static_cast<int16_t>((1u << bits) - 1));
  w.lowMask = _mm512_set1_epi16(static_cast<int16_t>((1u << shift) - 1));
  w.shift = _mm_cvtsi32_si128(shift);
  w.toLanes = _mm512_load_si512(toLanes);
  w.fromLanes[0] = _mm512_load_si512(fromLanes[0]);
  w.fromLanes[1] = _mm512_load_si512(fromLanes[1]);
  return w;
}

// Two vectors of 8 pixels x 4 words in, the same out with channels 0..2 turned.
void TransformWordPixels(__m512i* pixels, const HueVectors& v, const WordVectors& w) {
  __m512i kept[2];
  __m512i turned[2];
  for (int half = 0; half < 2; ++half) {
    const __m512i clamped = _mm512_min_epu16(pixels[half], w.top);
    kept[half] = _mm512_and_si512(clamped, w.lowMask);
    turned[half] = _mm512_srl_epi16(clamped, w.shift);
  }
  const __m512i lanes = _mm512_permutex2var_epi8(turned[0], w.toLanes, turned[1]);
  const __m512i result = TransformLanes(lanes, v);
  constexpr __mmask64 kLowBytes = 0x5555555555555555ull;
  for (int half = 0; half < 2; ++half) {
    const __m512i words = _mm512_maskz_permutexvar_epi8(kLowBytes, w.fromLanes[half], result);
    pixels[half] = _mm512_or_si512(_mm512_sll_epi16(words, w.shift), kept[half]);
  }
}

void TransformWordRowOfQuads(uint8_t* destination, const uint8_t* source, int width, const HueVectors& v,
                             const WordVectors& w) {
  constexpr __mmask32 kChannels = 0x77777777u;
  for (int x = 0; x < width; x += 16) {
    const int count = width - x < 16 ? width - x : 16;
    const __mmask32 first = FirstWords(4 * count);
    const __mmask32 second = FirstWords(4 * count - 32);
    __m512i pixels[2] = {_mm512_maskz_loadu_epi16(first, source + 8 * x),
                         _mm512_maskz_loadu_epi16(second, source + 8 * x + 64)};
    TransformWordPixels(pixels, v, w);
    _mm512_mask_storeu_epi16(destination + 8 * x, first & kChannels, pixels[0]);
    _mm512_mask_storeu_epi16(destination + 8 * x + 64, second & kChannels, pixels[1]);
  }
}

void TransformWordRowOfTriples(uint8_t* destination, const uint8_t* source, int width, const HueVectors& v,
                               const WordVectors& w) {
  alignas(64) uint16_t spreadIndex[32];
  alignas(64) uint16_t packIndex[32];
  for (int i = 0; i < 32; ++i) {
    spreadIndex[i] = static_cast<uint16_t>((i / 4) * 3 + (i % 4 < 3 ? i % 4 : 0));
    packIndex[i] = static_cast<uint16_t>((i / 3) * 4 + i % 3);
  }
  const __m512i spread = _mm512_load_si512(spreadIndex);
  const __m512i pack = _mm512_load_si512(packIndex);
  for (int x = 0; x < width; x += 16) {
    const int count = width - x < 16 ? width - x : 16;
    const __mmask32 first = FirstWords(3 * count < 24 ? 3 * count : 24);
    const __mmask32 second = FirstWords(3 * count - 24);
    __m512i pixels[2] = {
        _mm512_permutexvar_epi16(spread, _mm512_maskz_loadu_epi16(first, source + 6 * x)),
        _mm512_permutexvar_epi16(spread, _mm512_maskz_loadu_epi16(second, source + 6 * x + 48))};
    TransformWordPixels(pixels, v, w);
    _mm512_mask_storeu_epi16(destination + 6 * x, first, _mm512_permutexvar_epi16(pack, pixels[0]));
    _mm512_mask_storeu_epi16(destination + 6 * x + 48, second, _mm512_permutexvar_epi16(pack, pixels[1]));
  }
}

}  // namespace

int HueSaturationBgr16Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                                 int destinationX, int destinationY, int destinationStep, int sourceStep,
                                 int destinationStride, int sourceStride, void* parameter, void* extra) {
  const PixelWalk walk = MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                       sourceStep, destinationStride, sourceStride);
  const auto* block = static_cast<const HueBlock*>(parameter);
  const bool vectorLayout = destinationStep == sourceStep && (sourceStep == 6 || sourceStep == 8);
  if (block == nullptr || block->lightness != 0 || !vectorLayout || !IsUsableWalk(walk, 6)) {
    return HueSaturationBgr16(destination, source, rect, destinationX, destinationY, destinationStep,
                              sourceStep, destinationStride, sourceStride, parameter, extra);
  }
  if (IsEmptyWalk(walk)) return 1;
  const HueVectors vectors = LoadHueVectors(*block);
  const WordVectors words = LoadWordVectors(block->sampleBits);
  for (int y = rect.top; y < rect.bottom; ++y) {
    if (sourceStep == 6) {
      TransformWordRowOfTriples(walk.DestinationRow(y), walk.SourceRow(y), rect.Width(), vectors, words);
    } else {
      TransformWordRowOfQuads(walk.DestinationRow(y), walk.SourceRow(y), rect.Width(), vectors, words);
    }
  }
  return 1;
}

int HueSaturationBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                                int destinationX, int destinationY, int destinationStep, int sourceStep,
                                int destinationStride, int sourceStride, void* parameter, void* extra) {
  const PixelWalk walk = MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                       sourceStep, destinationStride, sourceStride);
  const auto* block = static_cast<const HueBlock*>(parameter);
  const bool vectorLayout = destinationStep == sourceStep && (sourceStep == 3 || sourceStep == 4);
  if (block == nullptr || block->lightness != 0 || !vectorLayout || !IsUsableWalk(walk, 3)) {
    return HueSaturationBgr8(destination, source, rect, destinationX, destinationY, destinationStep,
                             sourceStep, destinationStride, sourceStride, parameter, extra);
  }
  if (IsEmptyWalk(walk)) return 1;
  const HueVectors vectors = LoadHueVectors(*block);
  const WideVectors wide = LoadWideVectors(sourceStep);
  for (int y = rect.top; y < rect.bottom; ++y) {
    TransformRowWide(walk.DestinationRow(y), walk.SourceRow(y), rect.Width(), sourceStep, vectors, wide);
  }
  return 1;
}

}  // namespace zirvo
