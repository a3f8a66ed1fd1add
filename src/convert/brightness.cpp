// Brightness tables and kernels.
#include "convert/brightness.h"

#include <algorithm>
#include <cmath>

#include "convert/parameter_blocks.h"
#include "convert/processor.h"

namespace zirvo {

namespace {

double BrightnessFactor(int32_t brightness) {
  const double b = static_cast<double>(brightness);
  if (brightness < 0) return 1 - std::fabs(b) * (1.0 / 255);
  if (brightness > 0) return 1 + b * (10.0 / 255);
  return 1;
}

template <typename Entry>
void BuildBrightnessTable(int32_t brightness, int top, Entry* table) {
  const double factor = BrightnessFactor(brightness);
  for (int i = 0; i <= top; ++i) {
    // Clamping before the truncation equals clamping after it (integer bounds)
    // and keeps the conversion defined for any setting.
    const double value = std::clamp(factor * static_cast<double>(i), 0.0, static_cast<double>(top));
    table[i] = static_cast<Entry>(value);
  }
}

int Brightness8(const PixelWalk& walk, void* parameter, int channels, ByteTablePass pass) {
  if (parameter == nullptr) return 0;
  uint8_t table[kBrightnessTable8Size];
  BuildBrightnessTable8(static_cast<const ValueBlock*>(parameter)->value, table);
  return RunByteTablePass(walk, channels, table, pass);
}

int Brightness16(const PixelWalk& walk, void* parameter, int channels) {
  if (parameter == nullptr) return 0;
  uint16_t table[kBrightnessTable16Size];
  BuildBrightnessTable16(static_cast<const ValueBlock*>(parameter)->value, table);
  return RunWordTablePass(walk, channels, table, kBrightnessTable16Size);
}

}  // namespace

void BuildBrightnessTable8(int32_t setting, uint8_t* table) {
  BuildBrightnessTable<uint8_t>(setting, kBrightnessTable8Size - 1, table);
}

void BuildBrightnessTable16(int32_t setting, uint16_t* table) {
  BuildBrightnessTable<uint16_t>(setting, kBrightnessTable16Size - 1, table);
}

int BrightnessMono8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                    int destinationY, int destinationStep, int sourceStep, int destinationStride,
                    int sourceStride, void* parameter, void*) {
  return Brightness8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                   sourceStep, destinationStride, sourceStride),
                     parameter, 1, MapByteTable);
}

int BrightnessBgr8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                   int destinationY, int destinationStep, int sourceStep, int destinationStride,
                   int sourceStride, void* parameter, void*) {
  return Brightness8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                   sourceStep, destinationStride, sourceStride),
                     parameter, 3, MapByteTable);
}

int BrightnessMono8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                        int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                        void* parameter, void*) {
  return Brightness8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                                   destinationStride, sourceStride),
                     parameter, 1, MapByteTableAvx2);
}

int BrightnessBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                       int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                       void* parameter, void*) {
  return Brightness8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                                   destinationStride, sourceStride),
                     parameter, 3, MapByteTableAvx2);
}

int BrightnessMono8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                              int destinationX, int destinationY, int destinationStep, int sourceStep,
                              int destinationStride, int sourceStride, void* parameter, void*) {
  return Brightness8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                   sourceStep, destinationStride, sourceStride),
                     parameter, 1, MapByteTableAvx512Vbmi);
}

int BrightnessBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                             int destinationX, int destinationY, int destinationStep, int sourceStep,
                             int destinationStride, int sourceStride, void* parameter, void*) {
  return Brightness8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                   sourceStep, destinationStride, sourceStride),
                     parameter, 3, MapByteTableAvx512Vbmi);
}

int BrightnessMono16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                     int destinationY, int destinationStep, int sourceStep, int destinationStride,
                     int sourceStride, void* parameter, void*) {
  return Brightness16(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                    sourceStep, destinationStride, sourceStride),
                      parameter, 1);
}

int BrightnessBgr16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                    int destinationY, int destinationStep, int sourceStep, int destinationStride,
                    int sourceStride, void* parameter, void*) {
  return Brightness16(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                    sourceStep, destinationStride, sourceStride),
                      parameter, 3);
}

ToneKernels SelectBrightnessKernels(uint32_t usableFeatures) {
  if (HasAvx512Vbmi(usableFeatures)) {
    return {BrightnessMono8Avx512Vbmi, BrightnessMono16, BrightnessBgr8Avx512Vbmi, BrightnessBgr16};
  }
  if ((usableFeatures & kFeatureAvx2) != 0)
    return {BrightnessMono8Avx2, BrightnessMono16, BrightnessBgr8Avx2, BrightnessBgr16};
  return {BrightnessMono8, BrightnessMono16, BrightnessBgr8, BrightnessBgr16};
}

}  // namespace zirvo
