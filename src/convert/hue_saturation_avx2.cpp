// Hue and saturation with AVX2: the steps of TransformPixel on eight pixels
// at a time, one pixel per 32-bit lane, or sixteen on 16-bit lanes where the
// tables are plain. Gathers are slow on many processors, so the tables that
// are plain arithmetic are computed instead.
#include <immintrin.h>

#include <cstdint>
#include <cstring>
#include <optional>

#include "convert/hue_saturation.h"
#include "convert/table_map.h"

namespace zirvo {

namespace {

constexpr int kLanes = 8;

struct HueLanes {
  const int32_t* saturation;
  const int32_t* lightnessSum;
  const int32_t* lightnessCap;
  __m256i saturationFactor;
  __m256i remainder;
  // Channel masks and multipliers of the pixel's own sextant 0..6 (the last
  // after a carry), with the hue's whole sextants already added.
  __m256i masks;
  __m256i multipliers;
};

// With lightness 0 the lightness tables are plain arithmetic: no gathers.
bool HasPlainLightness(const SaturationTables& tables) {
  for (int k = 0; k < 512; ++k) {
    const int32_t cap = k < 511 - k ? k : 511 - k;
    if (tables.lightnessSum[k] != k || tables.lightnessCap[k] != cap) return false;
  }
  return true;
}

// The saturation table's factor (Saturation + 256) * 256, limited to the span
// where it still changes an entry: at or below 0 every entry is 0, from
// 255 * 65536 on every entry past 0 is 255. Inside it n * factor + 0x8000
// fits 32 unsigned bits for every n up to 255.
uint32_t SaturationFactorOf(int32_t saturation) {
  const int64_t factor = (int64_t{saturation} + 256) * 256;
  return static_cast<uint32_t>(factor < 0 ? 0 : factor > 255 * 65536 ? 255 * 65536 : factor);
}

uint32_t SaturationOf(uint32_t n, uint32_t factor) {
  const uint32_t scaled = (n * factor + 0x8000u) >> 16;
  return scaled < 255 ? scaled : 255;
}

bool HasPlainSaturation(const SaturationTables& tables, uint32_t factor) {
  for (uint32_t n = 0; n < 256; ++n) {
    if (static_cast<uint32_t>(tables.saturation[n]) != SaturationOf(n, factor)) return false;
  }
  return true;
}

// 0xFF0000 / delta for delta 1..255, truncated, from a float division.
// 0xFF0000 and delta are exact floats and the quotient is rounded once to
// within half an ulp, at most q * 2^-24 < 1 / delta. A quotient that is not
// a whole number lies at least 1 / delta below the next one, so rounding
// never reaches it, and never falls below the whole number beneath (it is
// a float too): truncation gives the integer quotient. Delta 0 gives a
// value that only gray pixels see, and they do not use it.
[[gnu::always_inline]] inline __m256i ReciprocalOf(__m256i delta) {
  const __m256 quotient = _mm256_div_ps(_mm256_set1_ps(16711680.0f), _mm256_cvtepi32_ps(delta));
  return _mm256_cvttps_epi32(quotient);
}

// Channels in, one sample 0..255 per 32-bit lane; results 0x00RRGGBB out;
// every step as TransformPixel takes it.
// PlainLightness: lightness 0, the sum is the index and the cap min(k, 511 - k).
// PlainSaturation: the saturation table is SaturationOf(n, saturationFactor).
template <bool PlainLightness, bool PlainSaturation>
[[gnu::always_inline]] inline __m256i TransformLanes(__m256i blue, __m256i green, __m256i red, const HueLanes& k) {
  const __m256i greenLeads = _mm256_cmpgt_epi32(green, red);
  __m256i maximum = _mm256_max_epi32(red, green);
  __m256i minimum = _mm256_min_epi32(red, green);
  __m256i numerator =
      _mm256_blendv_epi8(_mm256_sub_epi32(green, blue), _mm256_sub_epi32(blue, red), greenLeads);
  __m256i sextant = _mm256_blendv_epi8(_mm256_set1_epi32(1), _mm256_set1_epi32(3), greenLeads);
  const __m256i blueAbove = _mm256_cmpgt_epi32(blue, maximum);
  maximum = _mm256_max_epi32(maximum, blue);
  numerator = _mm256_blendv_epi8(numerator, _mm256_sub_epi32(red, green), blueAbove);
  sextant = _mm256_blendv_epi8(sextant, _mm256_set1_epi32(5), blueAbove);
  minimum = _mm256_min_epi32(minimum, blue);
  const __m256i delta = _mm256_sub_epi32(maximum, minimum);
  const __m256i wraps = _mm256_cmpgt_epi32(_mm256_setzero_si256(), numerator);
  sextant = _mm256_add_epi32(sextant, wraps);  // wraps is -1 where it applies
  numerator = _mm256_add_epi32(numerator, _mm256_and_si256(wraps, delta));

  const __m256i sum = _mm256_add_epi32(maximum, minimum);
  __m256i lightnessSum = sum;
  __m256i cap = _mm256_min_epi32(sum, _mm256_sub_epi32(_mm256_set1_epi32(511), sum));
  if constexpr (!PlainLightness) {
    lightnessSum = _mm256_i32gather_epi32(k.lightnessSum, sum, 4);
    cap = _mm256_i32gather_epi32(k.lightnessCap, sum, 4);
  }
  __m256i saturated;
  if constexpr (PlainSaturation) {
    const __m256i scaled = _mm256_add_epi32(_mm256_mullo_epi32(delta, k.saturationFactor), _mm256_set1_epi32(0x8000));
    saturated = _mm256_min_epu32(_mm256_srli_epi32(scaled, 16), _mm256_set1_epi32(255));
  } else {
    saturated = _mm256_i32gather_epi32(k.saturation, delta, 4);
  }
  const __m256i spread = _mm256_min_epi32(saturated, cap);
  const __m256i low = _mm256_srai_epi32(_mm256_sub_epi32(lightnessSum, spread), 1);
  const __m256i chroma =
      _mm256_sub_epi32(_mm256_srai_epi32(_mm256_add_epi32(lightnessSum, spread), 1), low);

  // Unsigned 32-bit product, as the scalar steps wrap.
  const __m256i product = _mm256_mullo_epi32(ReciprocalOf(delta), numerator);
  __m256i position = _mm256_add_epi32(
      _mm256_srli_epi32(_mm256_add_epi32(product, _mm256_set1_epi32(0x8000)), 16), k.remainder);
  const __m256i carries = _mm256_cmpgt_epi32(position, _mm256_set1_epi32(254));
  position = _mm256_sub_epi32(position, _mm256_and_si256(carries, _mm256_set1_epi32(255)));
  sextant = _mm256_sub_epi32(sextant, carries);

  // A gray pixel (delta 0) needs no case of its own: its spread is S[0] = 0,
  // so chroma and step are 0 and the sum below is the gray triple of low,
  // whatever its sextant and position came to.
  const __m256i triple = _mm256_set1_epi32(0x10101);
  const __m256i grayLow = _mm256_mullo_epi32(low, triple);
  const __m256i grayChroma = _mm256_mullo_epi32(chroma, triple);
  const __m256i step = _mm256_srai_epi32(
      _mm256_add_epi32(_mm256_mullo_epi32(chroma, position), _mm256_set1_epi32(128)), 8);
  return _mm256_add_epi32(
      _mm256_add_epi32(grayLow, _mm256_and_si256(grayChroma, _mm256_permutevar8x32_epi32(k.masks, sextant))),
      _mm256_mullo_epi32(step, _mm256_permutevar8x32_epi32(k.multipliers, sextant)));
}

// Eight pixels' bytes. Three-byte pixels are read as exactly their 24 bytes:
// bytes 0..15 into the low half and 8..23 into the high half; four-byte
// pixels as their 32 bytes.
template <int Step>
[[gnu::always_inline]] inline __m256i LoadBlockBytes(const uint8_t* source) {
  if constexpr (Step == 3) {
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 8));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(first), second, 1);
  } else {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
  }
}

// Eight pixels' channels, one sample per 32-bit lane.
struct Channels {
  __m256i blue, green, red;
};

template <int Step>
[[gnu::always_inline]] inline Channels LoadChannels(const uint8_t* source) {
  const __m256i bytes = LoadBlockBytes<Step>(source);
  __m256i blue;
  if constexpr (Step == 3) {
    blue = _mm256_setr_epi8(0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1,  //
                            4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1, 13, -1, -1, -1);
  } else {
    blue = _mm256_setr_epi8(0, -1, -1, -1, 4, -1, -1, -1, 8, -1, -1, -1, 12, -1, -1, -1,  //
                            0, -1, -1, -1, 4, -1, -1, -1, 8, -1, -1, -1, 12, -1, -1, -1);
  }
  // Only the first byte of each slot is an index; the -1s above it get 0 added.
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i green = _mm256_add_epi8(blue, one);
  const __m256i red = _mm256_add_epi8(green, one);
  return {_mm256_shuffle_epi8(bytes, blue), _mm256_shuffle_epi8(bytes, green), _mm256_shuffle_epi8(bytes, red)};
}

// Stores exactly 24 bytes: the low half packs pixels 0..3 into bytes 0..11,
// the high half pixels 4..7 into bytes 4..15, written at 0 and at 8.
void StorePixels3(uint8_t* destination, __m256i results) {
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                        -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14);
  const __m256i packed = _mm256_shuffle_epi8(results, pack);
  const __m128i first = _mm256_castsi256_si128(packed);
  const __m128i second = _mm_or_si128(_mm256_extracti128_si256(packed, 1), _mm_srli_si128(first, 8));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), first);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 8), second);
}

// Eight 4-byte pixels; the destination's fourth bytes stay as they are.
void StorePixels4(uint8_t* destination, __m256i results) {
  const __m256i kept = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(destination)),
                                        _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), _mm256_or_si256(kept, results));
}

// Whole blocks of eight pixels of one row, `step` bytes apart.
template <int Step, bool PlainLightness, bool PlainSaturation>
void TransformBlocks(uint8_t* out, const uint8_t* in, int32_t blocks, const HueLanes& lanes) {
  for (int32_t b = 0; b < blocks; ++b, in += kLanes * Step, out += kLanes * Step) {
    const Channels c = LoadChannels<Step>(in);
    const __m256i results = TransformLanes<PlainLightness, PlainSaturation>(c.blue, c.green, c.red, lanes);
    if constexpr (Step == 3) {
      StorePixels3(out, results);
    } else {
      StorePixels4(out, results);
    }
  }
}

using BlockRun = void (*)(uint8_t* out, const uint8_t* in, int32_t blocks, const HueLanes& lanes);

template <int Step>
BlockRun SelectBlockRun(bool plainLightness, bool plainSaturation) {
  if (plainLightness) {
    return plainSaturation ? TransformBlocks<Step, true, true> : TransformBlocks<Step, true, false>;
  }
  return plainSaturation ? TransformBlocks<Step, false, true> : TransformBlocks<Step, false, false>;
}

// Sixteen pixels on 16-bit lanes, for plain lightness and saturation tables:
// every value of TransformPixel but the 24-bit products fits 16 bits, and the
// result is built channel by channel instead of as 0xRRGGBB (no channel
// carries into the next: low + chroma stays at or below 255, step at or
// below chroma).
struct WideLanes {
  __m256i saturationFactor;  // SaturationFactorOf over 256 (it is a multiple of 256)
  __m256i remainder;
  // Per channel, indexed by the pixel's own sextant 0..6 in the low byte
  // and 8 + it in the high byte: whether chroma is added, and the sign of step.
  __m256i chromaMask[3];
  __m256i stepSign[3];
};

WideLanes MakeWideLanes(uint32_t saturationFactor, HueRotation rotation) {
  // Channel c of sextant 0..5: chroma added (B, G, R), step added (+1), taken (-1) or not.
  constexpr int8_t kChroma[3][6] = {{1, 0, 0, 0, 1, 1}, {0, 0, 1, 1, 1, 0}, {1, 1, 1, 0, 0, 0}};
  constexpr int8_t kSign[3][6] = {{-1, 0, 0, 1, 0, 0}, {0, 1, 0, 0, -1, 0}, {0, 0, -1, 0, 0, 1}};
  WideLanes lanes{};
  lanes.saturationFactor = _mm256_set1_epi16(static_cast<int16_t>(saturationFactor >> 8));
  lanes.remainder = _mm256_set1_epi16(static_cast<int16_t>(rotation.remainder));
  for (int c = 0; c < 3; ++c) {
    alignas(16) int8_t chroma[16];
    alignas(16) int8_t sign[16];
    for (int own = 0; own < 8; ++own) {
      const int sextant = (own + rotation.sextants) % 6;
      const int16_t mask = kChroma[c][sextant] != 0 ? -1 : 0;
      const int16_t signWord = kSign[c][sextant];
      chroma[own] = static_cast<int8_t>(mask);
      chroma[own + 8] = static_cast<int8_t>(mask >> 8);
      sign[own] = static_cast<int8_t>(signWord);
      sign[own + 8] = static_cast<int8_t>(signWord >> 8);
    }
    lanes.chromaMask[c] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(chroma)));
    lanes.stepSign[c] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(sign)));
  }
  return lanes;
}

// Channel `c` of sixteen pixels, one byte per 16-bit slot: the first eight
// pixels in slots 0..3 of each half, the next eight in slots 4..7, read as
// LoadChannels reads them.
template <int Step>
__m256i WideIndexOf(int c, bool second) {
  alignas(32) int8_t index[32];
  for (int half = 0; half < 2; ++half) {
    // Three-byte pixels: the high half holds bytes 8..23, pixel 4 at byte 4.
    const int first = Step == 3 ? 4 * half : 0;
    for (int slot = 0; slot < 8; ++slot) {
      const bool mine = (slot >= 4) == second;
      index[16 * half + 2 * slot] = mine ? static_cast<int8_t>(first + Step * (slot % 4) + c) : -1;
      index[16 * half + 2 * slot + 1] = -1;
    }
  }
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(index));
}

struct WideIndexes {
  __m256i first[3];
  __m256i second[3];
};

template <int Step>
WideIndexes MakeWideIndexes() {
  WideIndexes indexes;
  for (int c = 0; c < 3; ++c) {
    indexes.first[c] = WideIndexOf<Step>(c, false);
    indexes.second[c] = WideIndexOf<Step>(c, true);
  }
  return indexes;
}

// (Q[delta] * numerator + 0x8000) >> 16 on 32-bit lanes, Q from ReciprocalOf.
[[gnu::always_inline]] inline __m256i PositionHalf(__m256i delta, __m256i numerator) {
  const __m256i product = _mm256_mullo_epi32(ReciprocalOf(delta), numerator);
  return _mm256_srli_epi32(_mm256_add_epi32(product, _mm256_set1_epi32(0x8000)), 16);
}

template <int Step>
void TransformWideBlocks(uint8_t* out, const uint8_t* in, int32_t blocks, const WideLanes& k,
                         const WideIndexes& index) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = _mm256_set1_epi16(1);
  for (int32_t b = 0; b < blocks; ++b, in += 16 * Step, out += 16 * Step) {
    const __m256i bytesA = LoadBlockBytes<Step>(in);
    const __m256i bytesB = LoadBlockBytes<Step>(in + 8 * Step);
    __m256i channel[3];
    for (int c = 0; c < 3; ++c) {
      channel[c] = _mm256_or_si256(_mm256_shuffle_epi8(bytesA, index.first[c]),
                                   _mm256_shuffle_epi8(bytesB, index.second[c]));
    }
    const __m256i blue = channel[0];
    const __m256i green = channel[1];
    const __m256i red = channel[2];

    const __m256i greenLeads = _mm256_cmpgt_epi16(green, red);
    __m256i maximum = _mm256_max_epi16(red, green);
    __m256i minimum = _mm256_min_epi16(red, green);
    __m256i numerator =
        _mm256_blendv_epi8(_mm256_sub_epi16(green, blue), _mm256_sub_epi16(blue, red), greenLeads);
    __m256i sextant = _mm256_blendv_epi8(one, _mm256_set1_epi16(3), greenLeads);
    const __m256i blueAbove = _mm256_cmpgt_epi16(blue, maximum);
    maximum = _mm256_max_epi16(maximum, blue);
    numerator = _mm256_blendv_epi8(numerator, _mm256_sub_epi16(red, green), blueAbove);
    sextant = _mm256_blendv_epi8(sextant, _mm256_set1_epi16(5), blueAbove);
    minimum = _mm256_min_epi16(minimum, blue);
    const __m256i delta = _mm256_sub_epi16(maximum, minimum);
    const __m256i wraps = _mm256_cmpgt_epi16(zero, numerator);
    sextant = _mm256_add_epi16(sextant, wraps);
    numerator = _mm256_add_epi16(numerator, _mm256_and_si256(wraps, delta));

    const __m256i sum = _mm256_add_epi16(maximum, minimum);
    const __m256i cap = _mm256_min_epi16(sum, _mm256_sub_epi16(_mm256_set1_epi16(511), sum));
    // S[delta] = min(255, (delta * factor + 128) >> 8) from the 32-bit product's halves.
    const __m256i productLow = _mm256_mullo_epi16(delta, k.saturationFactor);
    const __m256i productHigh = _mm256_mulhi_epu16(delta, k.saturationFactor);
    const __m256i saturated = _mm256_min_epu16(
        _mm256_max_epu16(_mm256_srli_epi16(_mm256_adds_epu16(productLow, _mm256_set1_epi16(128)), 8),
                         _mm256_slli_epi16(productHigh, 8)),
        _mm256_set1_epi16(255));
    const __m256i spread = _mm256_min_epi16(saturated, cap);
    const __m256i low = _mm256_srli_epi16(_mm256_sub_epi16(sum, spread), 1);
    const __m256i chroma = _mm256_sub_epi16(_mm256_srli_epi16(_mm256_add_epi16(sum, spread), 1), low);

    // Delta 0 (gray) divides by 1 instead: its numerator is 0 and its chroma 0.
    const __m256i divisor = _mm256_max_epi16(delta, one);
    const __m256i position0 =
        _mm256_packus_epi32(PositionHalf(_mm256_unpacklo_epi16(divisor, zero), _mm256_unpacklo_epi16(numerator, zero)),
                            PositionHalf(_mm256_unpackhi_epi16(divisor, zero), _mm256_unpackhi_epi16(numerator, zero)));
    __m256i position = _mm256_add_epi16(position0, k.remainder);
    const __m256i carries = _mm256_cmpgt_epi16(position, _mm256_set1_epi16(254));
    position = _mm256_sub_epi16(position, _mm256_and_si256(carries, _mm256_set1_epi16(255)));
    sextant = _mm256_sub_epi16(sextant, carries);
    const __m256i step =
        _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(chroma, position), _mm256_set1_epi16(128)), 8);

    const __m256i lookup = _mm256_add_epi16(_mm256_or_si256(sextant, _mm256_slli_epi16(sextant, 8)),
                                            _mm256_set1_epi16(0x0800));
    __m256i result[3];
    for (int c = 0; c < 3; ++c) {
      const __m256i added = _mm256_add_epi16(_mm256_and_si256(chroma, _mm256_shuffle_epi8(k.chromaMask[c], lookup)),
                                             _mm256_sign_epi16(step, _mm256_shuffle_epi8(k.stepSign[c], lookup)));
      result[c] = _mm256_add_epi16(low, added);
    }
    const __m256i blueGreen = _mm256_or_si256(result[0], _mm256_slli_epi16(result[1], 8));
    const __m256i first = _mm256_unpacklo_epi16(blueGreen, result[2]);
    const __m256i second = _mm256_unpackhi_epi16(blueGreen, result[2]);
    if constexpr (Step == 3) {
      StorePixels3(out, first);
      StorePixels3(out + 8 * Step, second);
    } else {
      StorePixels4(out, first);
      StorePixels4(out + 8 * Step, second);
    }
  }
}

void TransformOne(uint8_t* destination, const uint8_t* source, const HueBaseTables& base,
                  const SaturationTables& tables, HueRotation rotation) {
  const uint32_t result = TransformPixel(source[0], source[1], source[2], base, tables, rotation);
  destination[0] = static_cast<uint8_t>(result);
  destination[1] = static_cast<uint8_t>(result >> 8);
  destination[2] = static_cast<uint8_t>(result >> 16);
}


// The tables and lanes of one hue block, shared by both sample widths.
struct LanePlan {
  explicit LanePlan(const HueBlock& block)
      : key(block), base(&HueBaseTablesOnce()), rotation(HueRotationOf(block.hue)) {
    BuildSaturationTables(block, &tables);
    constexpr uint32_t kMask[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
    constexpr int32_t kMultiplier[6] = {-1, 256, -65536, 1, -256, 65536};
    alignas(32) int32_t masks[kLanes];
    alignas(32) int32_t multipliers[kLanes];
    for (int i = 0; i < kLanes; ++i) {
      masks[i] = static_cast<int32_t>(kMask[(i + rotation.sextants) % 6]);
      multipliers[i] = kMultiplier[(i + rotation.sextants) % 6];
    }
    const uint32_t saturationFactor = SaturationFactorOf(block.saturation);
    plainLightness = HasPlainLightness(tables);
    plainSaturation = HasPlainSaturation(tables, saturationFactor);
    lanes = HueLanes{tables.saturation,
                     tables.lightnessSum,
                     tables.lightnessCap,
                     _mm256_set1_epi32(static_cast<int>(saturationFactor)),
                     _mm256_set1_epi32(rotation.remainder),
                     _mm256_load_si256(reinterpret_cast<const __m256i*>(masks)),
                     _mm256_load_si256(reinterpret_cast<const __m256i*>(multipliers))};
    wideLanes = MakeWideLanes(saturationFactor, rotation);
  }
  LanePlan(const LanePlan&) = delete;
  LanePlan& operator=(const LanePlan&) = delete;

  bool IsFor(const HueBlock& block) const {
    return key.hue == block.hue && key.lightness == block.lightness && key.saturation == block.saturation;
  }

  HueBlock key;  // the settings the tables were built from (sampleBits plays no part)
  const HueBaseTables* base;
  SaturationTables tables;
  HueRotation rotation;
  bool plainLightness;
  bool plainSaturation;
  HueLanes lanes;  // points into `tables`
  WideLanes wideLanes;
};

// The plan of the last block this thread converted with: the bands of a frame
// share their settings, so its tables are built once a frame, not once a band.
// Per thread, so cameras converting side by side never share one.
const LanePlan& PlanFor(const HueBlock& block) {
  thread_local std::optional<LanePlan> plan;
  if (!plan || !plan->IsFor(block)) plan.emplace(block);
  return *plan;
}

// A block's pixels are all read before any is written: only in place or
// apart is that what the pixel-by-pixel order gives. Blocks read and write
// their own pixels' bytes only.
bool BlocksKeepTheOrder(const uint8_t* out, const uint8_t* in, int32_t width, int step) {
  const ptrdiff_t apart = out > in ? out - in : in - out;
  return apart == 0 || apart >= static_cast<ptrdiff_t>(width) * step;
}


// Byte index pairs for one 32-bit slot: the word at `offset` in its low
// half, zeros above; -1 everywhere for a slot left empty.
constexpr int8_t kEmpty = -1;

// Eight pixels of 16-bit samples. Both halves of the two vectors hold two
// whole pixels each, so the channel words are gathered lane by lane; the
// slots come out as pixels 0, 1, 4, 5 | 2, 3, 6, 7, and the stores put them
// back the same way. Six-byte pixels are read as four 16-byte pieces at 0,
// 12, 24 and 32 (the last holds pixels 6 and 7 at 4 and 10): exactly the
// block's 48 bytes.
template <int Step>
struct WordBlock {
  __m256i first;   // pixels 0, 1 | 2, 3
  __m256i second;  // pixels 4, 5 | 6, 7
};

template <int Step>
[[gnu::always_inline]] inline WordBlock<Step> LoadWordBlock(const uint8_t* source) {
  if constexpr (Step == 6) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 12));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 24));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 32));
    return {_mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1),
            _mm256_inserti128_si256(_mm256_castsi128_si256(c), d, 1)};
  } else {
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(source)),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + 32))};
  }
}

// Channel `c` of the eight pixels, one word per 32-bit slot.
template <int Step>
[[gnu::always_inline]] inline __m256i ChannelWords(const WordBlock<Step>& block, int c) {
  const int8_t w = static_cast<int8_t>(2 * c);
  constexpr int8_t p = Step;  // second pixel of a piece
  // The last piece holds its pixels 4 bytes further on with six-byte pixels.
  constexpr int8_t q = Step == 6 ? 4 : 0;
  const __m256i fromFirst = _mm256_setr_epi8(
      w, w + 1, kEmpty, kEmpty, w + p, w + p + 1, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty,
      kEmpty, kEmpty,  //
      w, w + 1, kEmpty, kEmpty, w + p, w + p + 1, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty,
      kEmpty, kEmpty);
  const __m256i fromSecond = _mm256_setr_epi8(
      kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, w, w + 1, kEmpty, kEmpty, w + p, w + p + 1,
      kEmpty, kEmpty,  //
      kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, w + q, w + q + 1, kEmpty, kEmpty, w + q + p,
      w + q + p + 1, kEmpty, kEmpty);
  return _mm256_or_si256(_mm256_shuffle_epi8(block.first, fromFirst), _mm256_shuffle_epi8(block.second, fromSecond));
}

// Puts blue and green (slot = blue | green << 16) and red (slot = red) of
// the slots `from`, `from + 1` of each half back at the pixel positions of a
// piece: pixel one at byte 0, pixel two at byte Step.
template <int Step>
[[gnu::always_inline]] inline __m256i PieceWords(__m256i blueGreen, __m256i red, int from) {
  const int8_t s = static_cast<int8_t>(4 * from);
  const int8_t t = static_cast<int8_t>(4 * from + 4);
  __m256i blueGreenIndex;
  __m256i redIndex;
  if constexpr (Step == 6) {
    blueGreenIndex = _mm256_setr_epi8(s, s + 1, s + 2, s + 3, kEmpty, kEmpty, t, t + 1, t + 2, t + 3, kEmpty, kEmpty,
                                      kEmpty, kEmpty, kEmpty, kEmpty,  //
                                      s, s + 1, s + 2, s + 3, kEmpty, kEmpty, t, t + 1, t + 2, t + 3, kEmpty, kEmpty,
                                      kEmpty, kEmpty, kEmpty, kEmpty);
    redIndex = _mm256_setr_epi8(kEmpty, kEmpty, kEmpty, kEmpty, s, s + 1, kEmpty, kEmpty, kEmpty, kEmpty, t, t + 1,
                                kEmpty, kEmpty, kEmpty, kEmpty,  //
                                kEmpty, kEmpty, kEmpty, kEmpty, s, s + 1, kEmpty, kEmpty, kEmpty, kEmpty, t, t + 1,
                                kEmpty, kEmpty, kEmpty, kEmpty);
  } else {
    blueGreenIndex = _mm256_setr_epi8(s, s + 1, s + 2, s + 3, kEmpty, kEmpty, kEmpty, kEmpty, t, t + 1, t + 2, t + 3,
                                      kEmpty, kEmpty, kEmpty, kEmpty,  //
                                      s, s + 1, s + 2, s + 3, kEmpty, kEmpty, kEmpty, kEmpty, t, t + 1, t + 2, t + 3,
                                      kEmpty, kEmpty, kEmpty, kEmpty);
    redIndex = _mm256_setr_epi8(kEmpty, kEmpty, kEmpty, kEmpty, s, s + 1, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty,
                                kEmpty, t, t + 1, kEmpty, kEmpty,  //
                                kEmpty, kEmpty, kEmpty, kEmpty, s, s + 1, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty,
                                kEmpty, t, t + 1, kEmpty, kEmpty);
  }
  return _mm256_or_si256(_mm256_shuffle_epi8(blueGreen, blueGreenIndex), _mm256_shuffle_epi8(red, redIndex));
}

// Writes exactly the block's bytes. Six-byte pieces are stored in order so
// that each one's four spare bytes are overwritten by the next; eight-byte
// pixels keep the destination's fourth word.
template <int Step>
[[gnu::always_inline]] inline void StoreWordBlock(uint8_t* destination, __m256i blueGreen, __m256i red) {
  __m256i first = PieceWords<Step>(blueGreen, red, 0);
  __m256i second = PieceWords<Step>(blueGreen, red, 2);
  if constexpr (Step == 6) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), _mm256_castsi256_si128(first));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 12), _mm256_extracti128_si256(first, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 24), _mm256_castsi256_si128(second));
    const __m128i last = _mm256_extracti128_si256(second, 1);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + 36), last);
    const uint32_t tail = static_cast<uint32_t>(_mm_extract_epi32(last, 2));
    std::memcpy(destination + 44, &tail, sizeof tail);
  } else {
    const __m256i fourth = _mm256_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000ull));
    const __m256i keptFirst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(destination));
    const __m256i keptSecond = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(destination + 32));
    first = _mm256_or_si256(first, _mm256_and_si256(keptFirst, fourth));
    second = _mm256_or_si256(second, _mm256_and_si256(keptSecond, fourth));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), first);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + 32), second);
  }
}

template <int Step, bool PlainLightness, bool PlainSaturation>
void TransformWordBlocks(uint8_t* out, const uint8_t* in, int32_t blocks, const HueLanes& lanes, WordSplit split) {
  const __m128i shift = _mm_cvtsi32_si128(split.shift);
  const __m256i top = _mm256_set1_epi32(static_cast<int>(split.top));
  const __m256i lowMask = _mm256_set1_epi32(static_cast<int>(split.lowMask));
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  for (int32_t b = 0; b < blocks; ++b, in += kLanes * Step, out += kLanes * Step) {
    const WordBlock<Step> loaded = LoadWordBlock<Step>(in);
    const __m256i blue = _mm256_min_epu32(ChannelWords(loaded, 0), top);
    const __m256i green = _mm256_min_epu32(ChannelWords(loaded, 1), top);
    const __m256i red = _mm256_min_epu32(ChannelWords(loaded, 2), top);
    const __m256i turned = TransformLanes<PlainLightness, PlainSaturation>(
        _mm256_srl_epi32(blue, shift), _mm256_srl_epi32(green, shift), _mm256_srl_epi32(red, shift), lanes);
    const __m256i newBlue =
        _mm256_or_si256(_mm256_sll_epi32(_mm256_and_si256(turned, byteMask), shift), _mm256_and_si256(blue, lowMask));
    const __m256i newGreen = _mm256_or_si256(
        _mm256_sll_epi32(_mm256_and_si256(_mm256_srli_epi32(turned, 8), byteMask), shift),
        _mm256_and_si256(green, lowMask));
    const __m256i newRed =
        _mm256_or_si256(_mm256_sll_epi32(_mm256_srli_epi32(turned, 16), shift), _mm256_and_si256(red, lowMask));
    StoreWordBlock<Step>(out, _mm256_or_si256(newBlue, _mm256_slli_epi32(newGreen, 16)), newRed);
  }
}

using WordBlockRun = void (*)(uint8_t* out, const uint8_t* in, int32_t blocks, const HueLanes& lanes,
                              WordSplit split);

template <int Step>
WordBlockRun SelectWordBlockRun(bool plainLightness, bool plainSaturation) {
  if (plainLightness) {
    return plainSaturation ? TransformWordBlocks<Step, true, true> : TransformWordBlocks<Step, true, false>;
  }
  return plainSaturation ? TransformWordBlocks<Step, false, true> : TransformWordBlocks<Step, false, false>;
}
}  // namespace

int HueSaturationBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                          int destinationY, int destinationStep, int sourceStep, int destinationStride,
                          int sourceStride, void* parameter, void* extra) {
  const PixelWalk walk = MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                       sourceStep, destinationStride, sourceStride);
  const bool vectorSteps = destinationStep == sourceStep && (sourceStep == 3 || sourceStep == 4);
  if (!vectorSteps || parameter == nullptr || !IsUsableWalk(walk, 3)) {
    return HueSaturationBgr8(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                             destinationStride, sourceStride, parameter, extra);
  }
  if (IsEmptyWalk(walk)) return 1;
  const LanePlan& plan = PlanFor(*static_cast<const HueBlock*>(parameter));
  const int step = sourceStep;
  const BlockRun run = step == 3 ? SelectBlockRun<3>(plan.plainLightness, plan.plainSaturation)
                                 : SelectBlockRun<4>(plan.plainLightness, plan.plainSaturation);
  // Plain tables take sixteen pixels at a time on 16-bit lanes.
  const bool wide = plan.plainLightness && plan.plainSaturation;
  const WideLanes& wideLanes = plan.wideLanes;
  const WideIndexes wideIndexes = step == 3 ? MakeWideIndexes<3>() : MakeWideIndexes<4>();
  const int32_t width = rect.Width();
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    uint8_t* out = walk.DestinationRow(y);
    const uint8_t* in = walk.SourceRow(y);
    const int32_t blocks = BlocksKeepTheOrder(out, in, width, step) ? width / kLanes : 0;
    const int32_t wideBlocks = wide ? blocks / 2 : 0;
    if (step == 3) {
      TransformWideBlocks<3>(out, in, wideBlocks, wideLanes, wideIndexes);
    } else {
      TransformWideBlocks<4>(out, in, wideBlocks, wideLanes, wideIndexes);
    }
    const int32_t done = wideBlocks * 2 * kLanes;
    run(out + done * step, in + done * step, blocks - 2 * wideBlocks, plan.lanes);
    for (int32_t x = blocks * kLanes; x < width; ++x) {
      TransformOne(out + x * step, in + x * step, *plan.base, plan.tables, plan.rotation);
    }
  }
  return 1;
}

int HueSaturationBgr16Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                           int destinationY, int destinationStep, int sourceStep, int destinationStride,
                           int sourceStride, void* parameter, void* extra) {
  const PixelWalk walk = MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                       sourceStep, destinationStride, sourceStride);
  const bool vectorSteps = destinationStep == sourceStep && (sourceStep == 6 || sourceStep == 8);
  if (!vectorSteps || parameter == nullptr || !IsUsableWalk(walk, 6)) {
    return HueSaturationBgr16(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                              destinationStride, sourceStride, parameter, extra);
  }
  if (IsEmptyWalk(walk)) return 1;
  const auto& block = *static_cast<const HueBlock*>(parameter);
  const LanePlan& plan = PlanFor(block);
  const WordSplit split = WordSplitOf(block.sampleBits);
  const int step = sourceStep;
  const WordBlockRun run = step == 6 ? SelectWordBlockRun<6>(plan.plainLightness, plan.plainSaturation)
                                     : SelectWordBlockRun<8>(plan.plainLightness, plan.plainSaturation);
  const int32_t width = rect.Width();
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    uint8_t* out = walk.DestinationRow(y);
    const uint8_t* in = walk.SourceRow(y);
    const int32_t blocks = BlocksKeepTheOrder(out, in, width, step) ? width / kLanes : 0;
    run(out, in, blocks, plan.lanes, split);
    for (int32_t x = blocks * kLanes; x < width; ++x) {
      TransformPixelWords(out + x * step, in + x * step, *plan.base, plan.tables, plan.rotation, split);
    }
  }
  return 1;
}

}  // namespace zirvo
