// Hue and saturation over 16 pixels at a time with AVX-512 (VBMI for the byte shuffles and the saturation lookup).
// GCC 12 warns about the deliberately undefined pass-through operand inside
// its own unmasked AVX-512 intrinsics (a known false positive).
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
  v.sextantMultiplier = _mm512_setr_epi32(-1, 256, -65536, 1, -256, 65536, -1, 256, -65536, 1, -256, 65536, 0,
                                          0, 0, 0);
  v.sextants = _mm512_set1_epi32(rotation.sextants);
  v.remainder = _mm512_set1_epi32(rotation.remainder);
  return v;
}

// Bytes B, G, R of each lane's low three bytes; the top byte is ignored.
__m512i TransformLanes(__m512i pixels, const HueVectors& v) {
  const __m512i byteMask = _mm512_set1_epi32(0xFF);
  const __m512i blue = _mm512_and_si512(pixels, byteMask);
  const __m512i green = _mm512_and_si512(_mm512_srli_epi32(pixels, 8), byteMask);
  const __m512i red = _mm512_and_si512(_mm512_srli_epi32(pixels, 16), byteMask);

  const __mmask16 redLeads = _mm512_cmpge_epi32_mask(red, green);
  __m512i maximum = _mm512_max_epi32(red, green);
  __m512i minimum = _mm512_min_epi32(red, green);
  __m512i numerator = _mm512_mask_blend_epi32(redLeads, _mm512_sub_epi32(blue, red), _mm512_sub_epi32(green, blue));
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

  const __m512i reciprocal = _mm512_ternarylogic_epi32(
      LookupBytes(v.reciprocal[0], delta, deltaHigh),
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
  const __m512i step = _mm512_srli_epi32(
      _mm512_add_epi32(_mm512_mullo_epi32(chroma, position), _mm512_set1_epi32(128)), 8);
  const __m512i coloured = _mm512_add_epi32(_mm512_add_epi32(grayLow, _mm512_and_si512(grayChroma, mask)),
                                            _mm512_mullo_epi32(step, multiplier));
  const __mmask16 gray = _mm512_cmpeq_epi32_mask(delta, _mm512_setzero_si512());
  return _mm512_mask_blend_epi32(gray, coloured, grayLow);
}

__mmask64 FirstBytes(int count) { return count >= 64 ? ~__mmask64{0} : (__mmask64{1} << count) - 1; }

// 3-byte pixels: spread to 4-byte lanes, transform, pack back.
void TransformRowOfTriples(uint8_t* destination, const uint8_t* source, int width, const HueVectors& v) {
  alignas(64) uint8_t spreadIndex[64];
  alignas(64) uint8_t packIndex[64];
  for (int i = 0; i < 64; ++i) {
    spreadIndex[i] = static_cast<uint8_t>((i / 4) * 3 + (i % 4 < 3 ? i % 4 : 0));
    packIndex[i] = static_cast<uint8_t>((i / 3) * 4 + i % 3);
  }
  const __m512i spread = _mm512_load_si512(spreadIndex);
  const __m512i pack = _mm512_load_si512(packIndex);
  for (int x = 0; x < width; x += 16) {
    const __mmask64 bytes = FirstBytes(3 * (width - x < 16 ? width - x : 16));
    const __m512i raw = _mm512_maskz_loadu_epi8(bytes, source + 3 * x);
    const __m512i lanes = _mm512_permutexvar_epi8(spread, raw);
    const __m512i result = TransformLanes(lanes, v);
    _mm512_mask_storeu_epi8(destination + 3 * x, bytes, _mm512_permutexvar_epi8(pack, result));
  }
}

// 4-byte pixels: the fourth byte of each destination pixel is never written.
void TransformRowOfQuads(uint8_t* destination, const uint8_t* source, int width, const HueVectors& v) {
  for (int x = 0; x < width; x += 16) {
    const int count = width - x < 16 ? width - x : 16;
    const __mmask64 bytes = FirstBytes(4 * count);
    const __m512i raw = _mm512_maskz_loadu_epi8(bytes, source + 4 * x);
    const __m512i result = TransformLanes(raw, v);
    _mm512_mask_storeu_epi8(destination + 4 * x, bytes & __mmask64{0x7777777777777777ull}, result);
  }
}

}  // namespace

int HueSaturationBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                                int destinationX, int destinationY, int destinationStep, int sourceStep,
                                int destinationStride, int sourceStride, void* parameter, void* extra) {
  const PixelWalk walk = MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                       sourceStep, destinationStride, sourceStride);
  const auto* block = static_cast<const HueBlock*>(parameter);
  const bool vectorLayout = destinationStep == sourceStep && (sourceStep == 3 || sourceStep == 4);
  if (block == nullptr || block->lightness != 0 || !vectorLayout || !IsUsableWalk(walk, 3)) {
    return HueSaturationBgr8(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                             destinationStride, sourceStride, parameter, extra);
  }
  if (IsEmptyWalk(walk)) return 1;
  const HueVectors vectors = LoadHueVectors(*block);
  for (int y = rect.top; y < rect.bottom; ++y) {
    if (sourceStep == 3) {
      TransformRowOfTriples(walk.DestinationRow(y), walk.SourceRow(y), rect.Width(), vectors);
    } else {
      TransformRowOfQuads(walk.DestinationRow(y), walk.SourceRow(y), rect.Width(), vectors);
    }
  }
  return 1;
}

}  // namespace zirvo
