// Hue and saturation with AVX2: the steps of TransformPixel on eight 8-bit
// pixels at a time, one pixel per 32-bit lane, tables read by gathers.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "convert/hue_saturation.h"
#include "convert/table_map.h"

namespace zirvo {

namespace {

constexpr int kLanes = 8;

struct HueLanes {
  const int32_t* saturation;
  const int32_t* reciprocal;
  const int32_t* lightnessSum;
  const int32_t* lightnessCap;
  bool plainLightness;  // lightness 0: the sum is the index, the cap min(k, 511 - k)
  __m256i sextants;
  __m256i remainder;
  __m256i masks;        // channel masks of sextants 0..5 (6..11 repeat them)
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

// Pixels 0x00RRGGBB in, results 0x00RRGGBB out; every step as TransformPixel takes it.
[[gnu::always_inline]] inline __m256i TransformLanes(__m256i pixels, const HueLanes& k) {
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  const __m256i blue = _mm256_and_si256(pixels, byteMask);
  const __m256i green = _mm256_and_si256(_mm256_srli_epi32(pixels, 8), byteMask);
  const __m256i red = _mm256_and_si256(_mm256_srli_epi32(pixels, 16), byteMask);

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
  if (!k.plainLightness) {
    lightnessSum = _mm256_i32gather_epi32(k.lightnessSum, sum, 4);
    cap = _mm256_i32gather_epi32(k.lightnessCap, sum, 4);
  }
  const __m256i spread = _mm256_min_epi32(_mm256_i32gather_epi32(k.saturation, delta, 4), cap);
  const __m256i low = _mm256_srai_epi32(_mm256_sub_epi32(lightnessSum, spread), 1);
  const __m256i chroma =
      _mm256_sub_epi32(_mm256_srai_epi32(_mm256_add_epi32(lightnessSum, spread), 1), low);

  // Unsigned 32-bit product, as the scalar steps wrap.
  const __m256i product = _mm256_mullo_epi32(_mm256_i32gather_epi32(k.reciprocal, delta, 4), numerator);
  __m256i position = _mm256_add_epi32(
      _mm256_srli_epi32(_mm256_add_epi32(product, _mm256_set1_epi32(0x8000)), 16), k.remainder);
  sextant = _mm256_add_epi32(sextant, k.sextants);
  const __m256i carries = _mm256_cmpgt_epi32(position, _mm256_set1_epi32(254));
  position = _mm256_sub_epi32(position, _mm256_and_si256(carries, _mm256_set1_epi32(255)));
  sextant = _mm256_sub_epi32(sextant, carries);
  const __m256i beyondFirstTurn = _mm256_cmpgt_epi32(sextant, _mm256_set1_epi32(5));
  sextant = _mm256_sub_epi32(sextant, _mm256_and_si256(beyondFirstTurn, _mm256_set1_epi32(6)));

  const __m256i triple = _mm256_set1_epi32(0x10101);
  const __m256i grayLow = _mm256_mullo_epi32(low, triple);
  const __m256i grayChroma = _mm256_mullo_epi32(chroma, triple);
  const __m256i step = _mm256_srai_epi32(
      _mm256_add_epi32(_mm256_mullo_epi32(chroma, position), _mm256_set1_epi32(128)), 8);
  const __m256i coloured = _mm256_add_epi32(
      _mm256_add_epi32(grayLow, _mm256_and_si256(grayChroma, _mm256_permutevar8x32_epi32(k.masks, sextant))),
      _mm256_mullo_epi32(step, _mm256_permutevar8x32_epi32(k.multipliers, sextant)));
  const __m256i gray = _mm256_cmpeq_epi32(delta, _mm256_setzero_si256());
  return _mm256_blendv_epi8(coloured, grayLow, gray);
}

// Eight 3-byte pixels: gathered as 4-byte words (the last reads the first
// byte of the ninth pixel, which the caller guarantees exists), stored as
// 24 bytes exactly.
__m256i LoadPixels3(const uint8_t* source) {
  const __m256i offsets = _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21);
  const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(source), offsets, 1);
  return _mm256_and_si256(words, _mm256_set1_epi32(0xFFFFFF));
}

void StorePixels3(uint8_t* destination, __m256i results) {
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                        0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i packed = _mm256_shuffle_epi8(results, pack);
  const __m128i first = _mm256_castsi256_si128(packed);
  const __m128i second = _mm256_extracti128_si256(packed, 1);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), first);
  const uint32_t firstTail = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(first, 8)));
  std::memcpy(destination + 8, &firstTail, 4);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + 12), second);
  const uint32_t secondTail = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(second, 8)));
  std::memcpy(destination + 20, &secondTail, 4);
}

// Eight 4-byte pixels; the destination's fourth bytes stay as they are.
void StorePixels4(uint8_t* destination, __m256i results) {
  const __m256i kept = _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(destination)),
                                        _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), _mm256_or_si256(kept, results));
}

void TransformOne(uint8_t* destination, const uint8_t* source, const HueBaseTables& base,
                  const SaturationTables& tables, HueRotation rotation) {
  const uint32_t result = TransformPixel(source[0], source[1], source[2], base, tables, rotation);
  destination[0] = static_cast<uint8_t>(result);
  destination[1] = static_cast<uint8_t>(result >> 8);
  destination[2] = static_cast<uint8_t>(result >> 16);
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
  const auto& block = *static_cast<const HueBlock*>(parameter);
  const HueBaseTables& base = HueBaseTablesOnce();
  SaturationTables tables;
  BuildSaturationTables(block, &tables);
  const HueRotation rotation = HueRotationOf(block.hue);
  constexpr uint32_t kMask[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
  constexpr int32_t kMultiplier[6] = {-1, 256, -65536, 1, -256, 65536};
  const HueLanes lanes{tables.saturation,
                       reinterpret_cast<const int32_t*>(base.reciprocal),
                       tables.lightnessSum,
                       tables.lightnessCap,
                       HasPlainLightness(tables),
                       _mm256_set1_epi32(rotation.sextants),
                       _mm256_set1_epi32(rotation.remainder),
                       _mm256_setr_epi32(static_cast<int>(kMask[0]), static_cast<int>(kMask[1]),
                                         static_cast<int>(kMask[2]), static_cast<int>(kMask[3]),
                                         static_cast<int>(kMask[4]), static_cast<int>(kMask[5]), 0, 0),
                       _mm256_setr_epi32(kMultiplier[0], kMultiplier[1], kMultiplier[2], kMultiplier[3],
                                         kMultiplier[4], kMultiplier[5], 0, 0)};
  const int step = sourceStep;
  const int32_t width = rect.Width();
  // A block of 3-byte pixels reads one byte past itself: it needs a ninth pixel.
  const int32_t blockEnd = step == 3 ? width - kLanes : width - kLanes + 1;
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    uint8_t* out = walk.DestinationRow(y);
    const uint8_t* in = walk.SourceRow(y);
    // Eight pixels are read before any is written: only in place or apart
    // is that what the pixel-by-pixel order gives.
    const ptrdiff_t apart = out > in ? out - in : in - out;
    const bool blocks = apart == 0 || apart >= static_cast<ptrdiff_t>(width) * step;
    int32_t x = 0;
    if (blocks) {
      for (; x < blockEnd; x += kLanes) {
        const __m256i pixels = step == 3 ? LoadPixels3(in + x * step)
                                         : _mm256_and_si256(
                                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + x * step)),
                                               _mm256_set1_epi32(0xFFFFFF));
        const __m256i results = TransformLanes(pixels, lanes);
        if (step == 3) {
          StorePixels3(out + x * step, results);
        } else {
          StorePixels4(out + x * step, results);
        }
      }
    }
    for (; x < width; ++x) TransformOne(out + x * step, in + x * step, base, tables, rotation);
  }
  return 1;
}

}  // namespace zirvo
