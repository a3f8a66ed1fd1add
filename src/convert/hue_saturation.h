// Hue and saturation kernels over B, G, R samples, with their lookup tables.
#pragma once

#include <cstdint>

#include "convert/parameter_blocks.h"
#include "display/kernel.h"

namespace zirvo {

// Reciprocals and gray triples: immutable, built once per process, shared by every camera.
struct HueBaseTables {
  uint32_t reciprocal[256];  // 0xFF0000 / i, 0 for i = 0
  int32_t grayTriple[256];   // i in all three bytes of 0xRRGGBB
};

const HueBaseTables& HueBaseTablesOnce();

// The lightness and saturation tables of one hue block, built per call (on the
// caller's stack), so cameras with different settings never share them.
struct SaturationTables {
  int32_t lightnessSum[512];
  int32_t lightnessCap[512];
  int32_t saturation[256];  // limited to 0..255: larger values are capped below 256 anyway
};

void BuildSaturationTables(const HueBlock& block, SaturationTables* tables);

// Rotation of the hue setting in 1/1530 turn: sextants and remainder.
struct HueRotation {
  int32_t sextants;   // 0..5
  int32_t remainder;  // 0..254
};

HueRotation HueRotationOf(int32_t hue);

// One pixel: returns 0xRRGGBB.
uint32_t TransformPixel(int32_t blue, int32_t green, int32_t red, const HueBaseTables& base,
                        const SaturationTables& tables, HueRotation rotation);

// Samples of `sampleBits` bits (8..16): the top 8 are turned, the bits below kept.
struct WordSplit {
  uint32_t top;  // largest sample; larger ones count as it
  int shift;     // bits below the 8 that are turned
  uint32_t lowMask;
};

WordSplit WordSplitOf(int32_t sampleBits);

// One pixel of three 16-bit samples, read from `source`, written to `destination`.
void TransformPixelWords(uint8_t* destination, const uint8_t* source, const HueBaseTables& base,
                         const SaturationTables& tables, HueRotation rotation, WordSplit split);

// `parameter` points at a HueBlock. The 16-bit kernel reads samples of
// `sampleBits` bits (8..16; samples above that range count as its top), turns
// their top 8 bits and keeps the bits below them.
int HueSaturationBgr8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                      int destinationY, int destinationStep, int sourceStep, int destinationStride,
                      int sourceStride, void* parameter, void* extra);
int HueSaturationBgr16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                       int destinationY, int destinationStep, int sourceStep, int destinationStride,
                       int sourceStride, void* parameter, void* extra);
// The same bytes, eight pixels at a time; other pixel steps, and a
// destination overlapping its source within a row, go the scalar way.
int HueSaturationBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                          int destinationY, int destinationStep, int sourceStep, int destinationStride,
                          int sourceStride, void* parameter, void* extra);
int HueSaturationBgr16Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                           int destinationY, int destinationStep, int sourceStep, int destinationStride,
                           int sourceStride, void* parameter, void* extra);
int HueSaturationBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                                int destinationX, int destinationY, int destinationStep, int sourceStep,
                                int destinationStride, int sourceStride, void* parameter, void* extra);

int HueSaturationBgr16Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                                 int destinationX, int destinationY, int destinationStep, int sourceStep,
                                 int destinationStride, int sourceStride, void* parameter, void* extra);

RectangleKernel SelectHueSaturationBgr8(uint32_t usableFeatures);
RectangleKernel SelectHueSaturationBgr16(uint32_t usableFeatures);

}  // namespace zirvo
