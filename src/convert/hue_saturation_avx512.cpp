// Hue and saturation with AVX-512 and VBMI shuffles: 64 byte pixels or 32 word pixels at a time.

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
  __m512i saturation[4];     // the 256 saturation bytes
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
  v.sextants = _mm512_set1_epi16(static_cast<int16_t>(rotation.sextants));
  v.remainder = _mm512_set1_epi16(static_cast<int16_t>(rotation.remainder));
  return v;
}

// Samples of 32 pixels in 16-bit lanes: every intermediate fits 16 bits,
// Q = Qhigh * 65536 + Qlow splits the one wide product, and each channel adds
// its share of chroma and step separately (the packed sum never carries).
struct WideVectors {
  __m512i chromaSelect[3];  // per sextant: 0xFFFF where the channel takes chroma
  __m512i stepSign[3];      // per sextant: +1, -1 or 0 times step for the channel
};

WideVectors LoadWideVectors() {
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
  WideVectors w;
  for (int c = 0; c < 3; ++c) {
    w.chromaSelect[c] = _mm512_load_si512(select[c]);
    w.stepSign[c] = _mm512_load_si512(sign[c]);
  }
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
  position = _mm512_add_epi16(position, v.remainder);
  sextant = _mm512_add_epi16(sextant, v.sextants);
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

// Byte pixels, 64 at a time: the comparisons, table lookups, lightness and the
// final channel choice run on byte lanes; only the hue position and the step
// run in 16-bit halves. chroma equals spread because spread <= max + min.
struct ByteVectors {
  __m512i deinterleave[3];  // source byte of channel c of pixel i, over up to four registers
  __mmask64 deinterleaveHigh[3];
  __m512i interleave[4];    // per output register: pixel, plus 64 for green
  __mmask64 interleaveRed[4];
  __m512i channelCodes;     // per sextant: 2 bits per channel, 0 low, 1 high, 2 rising, 3 falling
  __m512i redSextant;  // the starting sextants of each leading channel, rotation added
  __m512i greenSextant;
  __m512i blueSextant;
  __m512i remainder;
};

ByteVectors LoadByteVectors(int step, const HueBlock& block) {
  ByteVectors b;
  for (int c = 0; c < 3; ++c) {
    alignas(64) uint8_t index[64];
    uint64_t high = 0;
    for (int i = 0; i < 64; ++i) {
      const int byte = step * i + c;
      index[i] = static_cast<uint8_t>(byte % 128);
      if (byte >= 128) high |= uint64_t{1} << i;
    }
    b.deinterleave[c] = _mm512_load_si512(index);
    b.deinterleaveHigh[c] = high;
  }
  for (int k = 0; k < 4; ++k) {
    alignas(64) uint8_t index[64];
    uint64_t red = 0;
    for (int j = 0; j < 64; ++j) {
      const int byte = 64 * k + j;
      const int channel = byte % step;
      index[j] = static_cast<uint8_t>((channel == 1 ? 64 : 0) + (byte / step) % 64);
      if (channel == 2) red |= uint64_t{1} << j;
    }
    b.interleave[k] = _mm512_load_si512(index);
    b.interleaveRed[k] = red;
  }
  constexpr uint32_t kMask[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
  constexpr int32_t kMultiplier[6] = {-1, 256, -65536, 1, -256, 65536};
  alignas(64) uint8_t codes[64] = {};
  for (int lane = 0; lane < 64; ++lane) {
    const int sextant = lane % 16;
    if (sextant >= 12) continue;
    int code = 0;
    for (int c = 0; c < 3; ++c) {
      const bool takesChroma = ((kMask[sextant % 6] >> (8 * c)) & 0xFF) != 0;
      const int32_t multiplier = kMultiplier[sextant % 6];
      const bool takesStep = (multiplier < 0 ? -multiplier : multiplier) == (1 << (8 * c));
      const int choice = !takesStep ? (takesChroma ? 1 : 0) : (multiplier > 0 ? 2 : 3);
      code |= choice << (2 * c);
    }
    codes[lane] = static_cast<uint8_t>(code);
  }
  b.channelCodes = _mm512_load_si512(codes);
  const HueRotation rotation = HueRotationOf(block.hue);
  b.redSextant = _mm512_set1_epi8(static_cast<char>(1 + rotation.sextants));
  b.greenSextant = _mm512_set1_epi8(static_cast<char>(3 + rotation.sextants));
  b.blueSextant = _mm512_set1_epi8(static_cast<char>(5 + rotation.sextants));
  b.remainder = _mm512_set1_epi16(static_cast<int16_t>(rotation.remainder));
  return b;
}

struct WordHalves {
  __m512i low;
  __m512i high;
};

// unpacklo/unpackhi order, undone exactly by packus.
[[gnu::always_inline]] inline WordHalves Widen(__m512i bytes, __m512i top) {
  return {_mm512_unpacklo_epi8(bytes, top), _mm512_unpackhi_epi8(bytes, top)};
}

struct HalfResult {
  __m512i position;  // before the carry, 0..509
  __m512i step;
};

[[gnu::always_inline]] inline HalfResult TransformHalf(__m512i spread, __m512i numerator, __m512i reciprocalLow,
                                                       __m512i reciprocalHigh, __m512i remainder) {
  __m512i position = _mm512_add_epi16(_mm512_mullo_epi16(reciprocalHigh, numerator),
                                      _mm512_mulhi_epu16(reciprocalLow, numerator));
  position = _mm512_add_epi16(position, _mm512_srli_epi16(_mm512_mullo_epi16(reciprocalLow, numerator), 15));
  position = _mm512_add_epi16(position, remainder);
  const __m512i wrapped = _mm512_min_epu16(position, _mm512_sub_epi16(position, _mm512_set1_epi16(255)));
  // (chroma * p + 128) >> 8 as a rounding high multiply of chroma * 128.
  const __m512i step = _mm512_mulhrs_epi16(_mm512_slli_epi16(spread, 7), wrapped);
  return {position, step};
}

[[gnu::always_inline]] inline void TransformBytes(__m512i channels[3], const HueVectors& v,
                                                  const ByteVectors& b) {
  const __m512i blue = channels[0];
  const __m512i green = channels[1];
  const __m512i red = channels[2];
  const __m512i zero = _mm512_setzero_si512();
  const __mmask64 redLeads = _mm512_cmpge_epu8_mask(red, green);
  const __m512i maximumRedGreen = _mm512_max_epu8(red, green);
  const __mmask64 blueAbove = _mm512_cmpgt_epu8_mask(blue, maximumRedGreen);
  const __m512i maximum = _mm512_max_epu8(maximumRedGreen, blue);
  const __m512i minimum = _mm512_min_epu8(_mm512_min_epu8(red, green), blue);
  const __m512i delta = _mm512_sub_epi8(maximum, minimum);
  // numerator = minuend - subtrahend, chosen before subtracting so the borrow is a comparison.
  __m512i minuend = _mm512_mask_blend_epi8(redLeads, blue, green);
  __m512i subtrahend = _mm512_mask_blend_epi8(redLeads, red, blue);
  minuend = _mm512_mask_mov_epi8(minuend, blueAbove, red);
  subtrahend = _mm512_mask_mov_epi8(subtrahend, blueAbove, green);
  const __mmask64 wraps = _mm512_cmplt_epu8_mask(minuend, subtrahend);
  __m512i numerator = _mm512_sub_epi8(minuend, subtrahend);
  numerator = _mm512_mask_add_epi8(numerator, wraps, numerator, delta);
  __m512i sextant = _mm512_mask_blend_epi8(redLeads, b.greenSextant, b.redSextant);
  sextant = _mm512_mask_mov_epi8(sextant, blueAbove, b.blueSextant);
  sextant = _mm512_mask_sub_epi8(sextant, wraps, sextant, _mm512_set1_epi8(1));

  // cap = min(s, 511 - s) in a byte: 511 - s = (255 - max) - min modulo 256 when s > 255.
  const __m512i inverseMaximum = _mm512_xor_si512(maximum, _mm512_set1_epi8(-1));
  const __mmask64 smallSum = _mm512_cmple_epu8_mask(minimum, inverseMaximum);
  const __m512i sumByte = _mm512_add_epi8(maximum, minimum);
  const __m512i cap = _mm512_mask_blend_epi8(smallSum, _mm512_sub_epi8(inverseMaximum, minimum), sumByte);
  const __mmask64 deltaHigh = _mm512_movepi8_mask(delta);
  const __m512i spread = _mm512_min_epu8(LookupBytes(v.saturation, delta, deltaHigh), cap);
  const __m512i reciprocal0 = LookupBytes(v.reciprocal[0], delta, deltaHigh);
  const __m512i reciprocal1 = LookupBytes(v.reciprocal[1], delta, deltaHigh);
  // Q >> 16 = 255 / delta, which is 1 for every delta of 128 and more.
  const __m512i reciprocal2 = _mm512_mask_mov_epi8(
      _mm512_permutex2var_epi8(v.reciprocal[2][0], delta, v.reciprocal[2][1]), deltaHigh, _mm512_set1_epi8(1));

  // low = (s - spread) >> 1 from the byte s - spread and its ninth bit, which is
  // set only for s > 255 with spread <= s - 256.
  const __mmask64 ninthBit = _kandn_mask64(smallSum, _mm512_cmple_epu8_mask(spread, sumByte));
  __m512i low = _mm512_and_si512(_mm512_srli_epi16(_mm512_sub_epi8(sumByte, spread), 1), _mm512_set1_epi8(0x7F));
  low = _mm512_mask_add_epi8(low, ninthBit, low, _mm512_set1_epi8(-128));

  const WordHalves spreadWords = Widen(spread, zero);
  const WordHalves numeratorWords = Widen(numerator, zero);
  const WordHalves reciprocalLow = Widen(reciprocal0, reciprocal1);
  const WordHalves reciprocalHigh = Widen(reciprocal2, zero);
  const HalfResult first =
      TransformHalf(spreadWords.low, numeratorWords.low, reciprocalLow.low, reciprocalHigh.low, b.remainder);
  const HalfResult second = TransformHalf(spreadWords.high, numeratorWords.high, reciprocalLow.high,
                                          reciprocalHigh.high, b.remainder);
  const __m512i step = _mm512_packus_epi16(first.step, second.step);
  // Positions of 255 and more saturate to 255 and carry into the next sextant.
  const __mmask64 carries = _mm512_cmpeq_epi8_mask(_mm512_packus_epi16(first.position, second.position),
                                                   _mm512_set1_epi8(-1));
  sextant = _mm512_mask_add_epi8(sextant, carries, sextant, _mm512_set1_epi8(1));

  const __m512i high = _mm512_add_epi8(low, spread);
  const __m512i rising = _mm512_add_epi8(low, step);
  const __m512i falling = _mm512_sub_epi8(high, step);
  const __m512i codes = _mm512_shuffle_epi8(b.channelCodes, sextant);
  for (int c = 0; c < 3; ++c) {
    const __mmask64 odd = _mm512_test_epi8_mask(codes, _mm512_set1_epi8(static_cast<char>(1 << (2 * c))));
    const __mmask64 middle = _mm512_test_epi8_mask(codes, _mm512_set1_epi8(static_cast<char>(2 << (2 * c))));
    const __m512i extreme = _mm512_mask_blend_epi8(odd, low, high);
    const __m512i between = _mm512_mask_blend_epi8(odd, rising, falling);
    channels[c] = _mm512_mask_blend_epi8(middle, extreme, between);
  }
}

// Pixels of `step` bytes (3 or 4); with 4 the fourth byte is never written.
void TransformRowBytes(uint8_t* destination, const uint8_t* source, int width, int step, const HueVectors& v,
                       const ByteVectors& b) {
  const __mmask64 keep = step == 4 ? __mmask64{0x7777777777777777ull} : ~__mmask64{0};
  const int registers = step;
  for (int x = 0; x < width; x += 64) {
    const int64_t bytes = static_cast<int64_t>(width - x < 64 ? width - x : 64) * step;
    const uint8_t* in = source + static_cast<int64_t>(x) * step;
    __m512i raw[4];
    for (int k = 0; k < 4; ++k) {
      raw[k] = k < registers ? _mm512_maskz_loadu_epi8(BytesFrom(bytes - 64 * k), in + 64 * k)
                             : _mm512_setzero_si512();
    }
    __m512i channels[3];
    for (int c = 0; c < 3; ++c) {
      const __m512i first = _mm512_permutex2var_epi8(raw[0], b.deinterleave[c], raw[1]);
      // Three registers need one more single-source permute; four need a second pair.
      channels[c] =
          step == 3 ? _mm512_mask_permutexvar_epi8(first, b.deinterleaveHigh[c], b.deinterleave[c], raw[2])
                    : _mm512_mask_blend_epi8(b.deinterleaveHigh[c], first,
                                             _mm512_permutex2var_epi8(raw[2], b.deinterleave[c], raw[3]));
    }
    TransformBytes(channels, v, b);
    uint8_t* out = destination + static_cast<int64_t>(x) * step;
    for (int k = 0; k < registers; ++k) {
      const __m512i blueGreen = _mm512_permutex2var_epi8(channels[0], b.interleave[k], channels[1]);
      const __m512i result =
          _mm512_mask_permutexvar_epi8(blueGreen, b.interleaveRed[k], b.interleave[k], channels[2]);
      _mm512_mask_storeu_epi8(out + 64 * k, BytesFrom(bytes - 64 * k) & keep, result);
    }
  }
}

// How 16-bit samples are split (the top 8 of `bits` bits are turned, the rest
// kept) and the word shuffles between pixels and channel vectors.
struct WordVectors {
  __m512i top;
  __m512i lowMask;
  __m128i shift;
  __m512i gather[3];        // word index of channel c of pixel i within a block of 32 pixels
  __mmask32 gatherHigh[3];  // lanes whose word lies in the second pair of registers
  __m512i scatter[4];       // per word of each output register: its pixel, plus 32 for green
  __mmask32 scatterRed[4];  // red words of each output register
  int wordsPerPixel;
};

// Index of output register k: pixel j / wordsPerPixel, plus 32 for green.
__m512i ScatterIndex(int k, int wordsPerPixel) {
  alignas(64) uint16_t index[32];
  for (int m = 0; m < 32; ++m) {
    const int j = 32 * k + m;
    index[m] = static_cast<uint16_t>((j % wordsPerPixel == 1 ? 32 : 0) + j / wordsPerPixel);
  }
  return _mm512_load_si512(index);
}

WordVectors LoadWordVectors(int32_t sampleBits, int wordsPerPixel) {
  const int bits = sampleBits < 8 ? 8 : sampleBits > 16 ? 16 : sampleBits;
  const int shift = bits - 8;
  WordVectors w;
  w.top = _mm512_set1_epi16(static_cast<int16_t>((1u << bits) - 1));
  w.lowMask = _mm512_set1_epi16(static_cast<int16_t>((1u << shift) - 1));
  w.shift = _mm_cvtsi32_si128(shift);
  w.wordsPerPixel = wordsPerPixel;
  for (int c = 0; c < 3; ++c) {
    alignas(64) uint16_t index[32];
    uint32_t high = 0;
    for (int i = 0; i < 32; ++i) {
      const int word = wordsPerPixel * i + c;
      index[i] = static_cast<uint16_t>(word % 64);
      if (word >= 64) high |= 1u << i;
    }
    w.gather[c] = _mm512_load_si512(index);
    w.gatherHigh[c] = high;
  }
  for (int k = 0; k < 4; ++k) {
    uint32_t red = 0;
    for (int m = 0; m < 32; ++m) {
      if ((32 * k + m) % wordsPerPixel == 2) red |= 1u << m;
    }
    w.scatterRed[k] = red;
    w.scatter[k] = ScatterIndex(k, wordsPerPixel);
  }
  return w;
}

__mmask32 WordsFrom(int64_t count) {
  if (count <= 0) return 0;
  return count >= 32 ? ~__mmask32{0} : (__mmask32{1} << count) - 1;
}

// 32 pixels of 3 or 4 words per step; a fourth word is never written.
void TransformWordRow(uint8_t* destination, const uint8_t* source, int width, const HueVectors& v,
                      const WordVectors& w, const WideVectors& wide) {
  const int registers = w.wordsPerPixel == 4 ? 4 : 3;
  const __mmask32 keep = w.wordsPerPixel == 4 ? __mmask32{0x77777777u} : ~__mmask32{0};
  for (int x = 0; x < width; x += 32) {
    const int64_t words = static_cast<int64_t>(width - x < 32 ? width - x : 32) * w.wordsPerPixel;
    const uint8_t* in = source + static_cast<int64_t>(x) * 2 * w.wordsPerPixel;
    uint8_t* out = destination + static_cast<int64_t>(x) * 2 * w.wordsPerPixel;
    __m512i kept[4];
    __m512i turned[4];
    for (int k = 0; k < 4; ++k) {
      const __m512i loaded = k < registers ? _mm512_maskz_loadu_epi16(WordsFrom(words - 32 * k), in + 64 * k)
                                           : _mm512_setzero_si512();
      const __m512i clamped = _mm512_min_epu16(loaded, w.top);
      kept[k] = _mm512_and_si512(clamped, w.lowMask);
      turned[k] = _mm512_srl_epi16(clamped, w.shift);
    }
    __m512i channels[3];
    for (int c = 0; c < 3; ++c) {
      const __m512i first = _mm512_permutex2var_epi16(turned[0], w.gather[c], turned[1]);
      const __m512i second = _mm512_permutex2var_epi16(turned[2], w.gather[c], turned[3]);
      channels[c] = _mm512_mask_blend_epi16(w.gatherHigh[c], first, second);
    }
    TransformWide(channels, v, wide);
    for (int k = 0; k < registers; ++k) {
      const __m512i blueGreen = _mm512_permutex2var_epi16(channels[0], w.scatter[k], channels[1]);
      const __m512i turnedWords =
          _mm512_mask_permutexvar_epi16(blueGreen, w.scatterRed[k], w.scatter[k], channels[2]);
      const __m512i result = _mm512_or_si512(_mm512_sll_epi16(turnedWords, w.shift), kept[k]);
      _mm512_mask_storeu_epi16(out + 64 * k, WordsFrom(words - 32 * k) & keep, result);
    }
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
  const WideVectors wide = LoadWideVectors();
  const WordVectors words = LoadWordVectors(block->sampleBits, sourceStep / 2);
  for (int y = rect.top; y < rect.bottom; ++y) {
    TransformWordRow(walk.DestinationRow(y), walk.SourceRow(y), rect.Width(), vectors, words, wide);
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
  const ByteVectors bytes = LoadByteVectors(sourceStep, *block);
  for (int y = rect.top; y < rect.bottom; ++y) {
    TransformRowBytes(walk.DestinationRow(y), walk.SourceRow(y), rect.Width(), sourceStep, vectors, bytes);
  }
  return 1;
}

}  // namespace zirvo
