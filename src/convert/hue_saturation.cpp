// Hue and saturation: table construction, the per-pixel rotation and scaling, the scalar kernels.
#include "convert/hue_saturation.h"

#include <algorithm>
#include <cstring>

#include "convert/processor.h"
#include "convert/table_map.h"

namespace zirvo {

namespace {

// Twelve sextant rows; rows 6..11 repeat 0..5 so base + rotation never wraps.
constexpr int32_t kSextantMask[12] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
                                      0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
constexpr int32_t kSextantMultiplier[12] = {-1, 256, -65536, 1, -256, 65536, -1, 256, -65536, 1, -256, 65536};

HueBaseTables BuildBaseTables() {
  HueBaseTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    tables.reciprocal[i] = i == 0 ? 0 : 0xFF0000u / i;
    tables.grayTriple[i] = static_cast<int32_t>(i * 0x10101u);
  }
  return tables;
}

}  // namespace

const HueBaseTables& HueBaseTablesOnce() {
  static const HueBaseTables tables = BuildBaseTables();
  return tables;
}

void BuildSaturationTables(const HueBlock& block, SaturationTables* tables) {
  // A lightness step beyond +-256 would index outside the tables; this system sends 0.
  const int32_t lightness = std::clamp<int64_t>(((int64_t{block.lightness} * 256) + 128) >> 8, -256, 256);
  const int32_t flip = lightness <= 0 ? 0 : 0x1FF;
  const int32_t scale = lightness <= 0 ? lightness + 256 : 256 - lightness;
  for (int32_t k = 0; k < 512; ++k) {
    const int32_t v = ((((k ^ flip) * scale) + 128) >> 8) ^ flip;
    tables->lightnessSum[k] = v;
    tables->lightnessCap[k] = v < 256 ? v : 511 - v;
  }
  const int64_t saturationParameter = (int64_t{block.saturation} + 256) * 256;
  for (int64_t n = 0; n < 256; ++n) {
    tables->saturation[n] =
        static_cast<int32_t>(std::clamp<int64_t>((0x8000 + n * saturationParameter) >> 16, 0, 255));
  }
}

HueRotation HueRotationOf(int32_t hue) {
  const uint32_t h = (((static_cast<uint32_t>(hue) * 256u) & 0xFFFFu) * 6u) >> 8;
  const int32_t third = static_cast<int32_t>((h + 256) / 512);
  int32_t a = static_cast<int32_t>(h % 512);
  if (a >= 256) a -= 512;
  int32_t shift = (third % 3) * 510 + a;
  if (shift < 0) shift += 1530;
  if (shift >= 1530) shift -= 1530;
  return {shift / 255, shift % 255};
}

uint32_t TransformPixel(int32_t blue, int32_t green, int32_t red, const HueBaseTables& base,
                        const SaturationTables& tables, HueRotation rotation) {
  const bool redLeads = red >= green;
  int32_t maximum = redLeads ? red : green;
  int32_t minimum = redLeads ? green : red;
  int32_t numerator = redLeads ? green - blue : blue - red;
  int32_t sextant = redLeads ? 1 : 3;
  const bool blueAbove = blue > maximum;
  maximum = blueAbove ? blue : maximum;
  numerator = blueAbove ? red - green : numerator;
  sextant = blueAbove ? 5 : sextant;
  minimum = std::min(minimum, blue);
  const int32_t delta = maximum - minimum;
  const bool wraps = numerator < 0;
  sextant -= wraps ? 1 : 0;
  numerator += wraps ? delta : 0;

  const int32_t sum = maximum + minimum;
  const int32_t spread = std::min(tables.saturation[delta], tables.lightnessCap[sum]);
  const int32_t low = (tables.lightnessSum[sum] - spread) >> 1;
  const int32_t chroma = ((tables.lightnessSum[sum] + spread) >> 1) - low;

  int32_t position =
      static_cast<int32_t>((base.reciprocal[delta] * static_cast<uint32_t>(numerator) + 0x8000u) >> 16) +
      rotation.remainder;
  sextant += rotation.sextants;
  const bool carries = position >= 255;
  position -= carries ? 255 : 0;
  sextant += carries ? 1 : 0;
  const int32_t coloured = base.grayTriple[low] + (base.grayTriple[chroma] & kSextantMask[sextant]) +
                           ((chroma * position + 128) >> 8) * kSextantMultiplier[sextant];
  return static_cast<uint32_t>(delta == 0 ? base.grayTriple[low] : coloured);
}

WordSplit WordSplitOf(int32_t sampleBits) {
  const int bits = std::clamp<int32_t>(sampleBits, 8, 16);
  const int shift = bits - 8;
  return {(1u << bits) - 1, shift, (1u << shift) - 1};
}

void TransformPixelWords(uint8_t* destination, const uint8_t* source, const HueBaseTables& base,
                         const SaturationTables& tables, HueRotation rotation, WordSplit split) {
  uint16_t samples[3];
  std::memcpy(samples, source, sizeof samples);
  uint32_t clamped[3];
  for (int c = 0; c < 3; ++c) clamped[c] = std::min<uint32_t>(samples[c], split.top);
  const uint32_t result = TransformPixel(
      static_cast<int32_t>(clamped[0] >> split.shift), static_cast<int32_t>(clamped[1] >> split.shift),
      static_cast<int32_t>(clamped[2] >> split.shift), base, tables, rotation);
  for (int c = 0; c < 3; ++c) {
    const uint32_t turned = (result >> (8 * c)) & 0xFFu;
    samples[c] = static_cast<uint16_t>((turned << split.shift) | (clamped[c] & split.lowMask));
  }
  std::memcpy(destination, samples, sizeof samples);
}

namespace {

struct HuePlan {
  const HueBaseTables* base;
  SaturationTables tables;
  HueRotation rotation;
};

void PlanHue(const HueBlock& block, HuePlan* plan) {
  plan->base = &HueBaseTablesOnce();
  BuildSaturationTables(block, &plan->tables);
  plan->rotation = HueRotationOf(block.hue);
}

void TransformRow8(uint8_t* destination, const uint8_t* source, int width, int destinationStep,
                   int sourceStep, const HuePlan& plan) {
  for (int x = 0; x < width; ++x) {
    const uint32_t result =
        TransformPixel(source[0], source[1], source[2], *plan.base, plan.tables, plan.rotation);
    destination[0] = static_cast<uint8_t>(result);
    destination[1] = static_cast<uint8_t>(result >> 8);
    destination[2] = static_cast<uint8_t>(result >> 16);
    destination += destinationStep;
    source += sourceStep;
  }
}

void TransformRow16(uint8_t* destination, const uint8_t* source, int width, int destinationStep,
                    int sourceStep, const HuePlan& plan, WordSplit split) {
  for (int x = 0; x < width; ++x) {
    TransformPixelWords(destination, source, *plan.base, plan.tables, plan.rotation, split);
    destination += destinationStep;
    source += sourceStep;
  }
}

}  // namespace

int HueSaturationBgr8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                      int destinationY, int destinationStep, int sourceStep, int destinationStride,
                      int sourceStride, void* parameter, void*) {
  const PixelWalk walk = MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                       sourceStep, destinationStride, sourceStride);
  if (parameter == nullptr || !IsUsableWalk(walk, 3)) return 0;
  if (IsEmptyWalk(walk)) return 1;
  HuePlan plan;
  PlanHue(*static_cast<const HueBlock*>(parameter), &plan);
  for (int y = rect.top; y < rect.bottom; ++y) {
    TransformRow8(walk.DestinationRow(y), walk.SourceRow(y), rect.Width(), destinationStep, sourceStep, plan);
  }
  return 1;
}

int HueSaturationBgr16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                       int destinationY, int destinationStep, int sourceStep, int destinationStride,
                       int sourceStride, void* parameter, void*) {
  const PixelWalk walk = MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                       sourceStep, destinationStride, sourceStride);
  if (parameter == nullptr || !IsUsableWalk(walk, 6)) return 0;
  if (IsEmptyWalk(walk)) return 1;
  const auto& block = *static_cast<const HueBlock*>(parameter);
  HuePlan plan;
  PlanHue(block, &plan);
  const WordSplit split = WordSplitOf(block.sampleBits);
  for (int y = rect.top; y < rect.bottom; ++y) {
    TransformRow16(walk.DestinationRow(y), walk.SourceRow(y), rect.Width(), destinationStep, sourceStep, plan,
                   split);
  }
  return 1;
}

#if !(defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86))
// Without the vector file the name still links; it is never selected.
int HueSaturationBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                                int destinationX, int destinationY, int destinationStep, int sourceStep,
                                int destinationStride, int sourceStride, void* parameter, void* extra) {
  return HueSaturationBgr8(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                           destinationStride, sourceStride, parameter, extra);
}
int HueSaturationBgr16Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                                 int destinationX, int destinationY, int destinationStep, int sourceStep,
                                 int destinationStride, int sourceStride, void* parameter, void* extra) {
  return HueSaturationBgr16(destination, source, rect, destinationX, destinationY, destinationStep,
                            sourceStep, destinationStride, sourceStride, parameter, extra);
}
int HueSaturationBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                          int destinationY, int destinationStep, int sourceStep, int destinationStride,
                          int sourceStride, void* parameter, void* extra) {
  return HueSaturationBgr8(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                           destinationStride, sourceStride, parameter, extra);
}
int HueSaturationBgr16Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                           int destinationY, int destinationStep, int sourceStep, int destinationStride,
                           int sourceStride, void* parameter, void* extra) {
  return HueSaturationBgr16(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                            destinationStride, sourceStride, parameter, extra);
}
#endif

RectangleKernel SelectHueSaturationBgr8(uint32_t usableFeatures) {
  if (HasAvx512Vbmi(usableFeatures)) return HueSaturationBgr8Avx512Vbmi;
  return (usableFeatures & kFeatureAvx2) != 0 ? HueSaturationBgr8Avx2 : HueSaturationBgr8;
}

RectangleKernel SelectHueSaturationBgr16(uint32_t usableFeatures) {
  if (HasAvx512Vbmi(usableFeatures)) return HueSaturationBgr16Avx512Vbmi;
  return (usableFeatures & kFeatureAvx2) != 0 ? HueSaturationBgr16Avx2 : HueSaturationBgr16;
}

}  // namespace zirvo
