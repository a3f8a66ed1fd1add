// Contrast tables and kernels.
#include "convert/contrast.h"

#include <algorithm>
#include <cmath>

#include "convert/parameter_blocks.h"
#include "convert/processor.h"

namespace zirvo {

namespace {

// One entry: 0 below the setting, the top above top - setting, the stretched
// value between (double, division first, truncated).
template <typename Entry>
void BuildContrastTable(int64_t low, int64_t top, Entry* table) {
  for (int64_t i = 0; i <= top; ++i) {
    if (i < low) {
      table[i] = 0;
    } else if (i > top - low) {
      table[i] = static_cast<Entry>(top);
    } else {
      const int64_t middle = (top + 1) / 2;
      const double scale = static_cast<double>(top + 1) / static_cast<double>(2 * (middle - low));
      const double value = scale * static_cast<double>(i - low);
      table[i] = static_cast<Entry>(std::clamp(value, 0.0, static_cast<double>(top)));
    }
  }
}

int Contrast8(const PixelWalk& walk, void* parameter, int channels, ByteTablePass pass) {
  if (parameter == nullptr) return 0;
  uint8_t table[kContrastTable8Size];
  BuildContrastTable8(static_cast<const ValueBlock*>(parameter)->value, table);
  return RunByteTablePass(walk, channels, table, pass);
}

int Contrast16(const PixelWalk& walk, void* parameter, int channels) {
  if (parameter == nullptr) return 0;
  uint16_t table[kContrastTable16Size];
  BuildContrastTable16(static_cast<const ValueBlock*>(parameter)->value, table);
  return RunWordTablePass(walk, channels, table, kContrastTable16Size);
}

}  // namespace

void BuildContrastTable8(int32_t setting, uint8_t* table) {
  BuildContrastTable<uint8_t>(setting, kContrastTable8Size - 1, table);
}

void BuildContrastTable16(int32_t setting, uint16_t* table) {
  BuildContrastTable<uint16_t>(int64_t{setting} * 16, kContrastTable16Size - 1, table);
}

int ContrastMono8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                  int destinationY, int destinationStep, int sourceStep, int destinationStride,
                  int sourceStride, void* parameter, void*) {
  return Contrast8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                 sourceStep, destinationStride, sourceStride),
                   parameter, 1, MapByteTable);
}

int ContrastBgr8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                 int destinationY, int destinationStep, int sourceStep, int destinationStride,
                 int sourceStride, void* parameter, void*) {
  return Contrast8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                 sourceStep, destinationStride, sourceStride),
                   parameter, 3, MapByteTable);
}

int ContrastMono8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                      int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                      void* parameter, void*) {
  return Contrast8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                                 destinationStride, sourceStride),
                   parameter, 1, MapByteTableAvx2);
}

int ContrastBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                     int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                     void* parameter, void*) {
  return Contrast8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                                 destinationStride, sourceStride),
                   parameter, 3, MapByteTableAvx2);
}

int ContrastMono8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                            int destinationX, int destinationY, int destinationStep, int sourceStep,
                            int destinationStride, int sourceStride, void* parameter, void*) {
  return Contrast8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                 sourceStep, destinationStride, sourceStride),
                   parameter, 1, MapByteTableAvx512Vbmi);
}

int ContrastBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                           int destinationX, int destinationY, int destinationStep, int sourceStep,
                           int destinationStride, int sourceStride, void* parameter, void*) {
  return Contrast8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                 sourceStep, destinationStride, sourceStride),
                   parameter, 3, MapByteTableAvx512Vbmi);
}

int ContrastMono16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                   int destinationY, int destinationStep, int sourceStep, int destinationStride,
                   int sourceStride, void* parameter, void*) {
  return Contrast16(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                  sourceStep, destinationStride, sourceStride),
                    parameter, 1);
}

int ContrastBgr16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                  int destinationY, int destinationStep, int sourceStep, int destinationStride,
                  int sourceStride, void* parameter, void*) {
  return Contrast16(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                                  sourceStep, destinationStride, sourceStride),
                    parameter, 3);
}

ToneKernels SelectContrastKernels(uint32_t usableFeatures) {
  if (HasAvx512Vbmi(usableFeatures)) {
    return {ContrastMono8Avx512Vbmi, ContrastMono16, ContrastBgr8Avx512Vbmi, ContrastBgr16};
  }
  if ((usableFeatures & kFeatureAvx2) != 0) {
    return {ContrastMono8Avx2, ContrastMono16, ContrastBgr8Avx2, ContrastBgr16};
  }
  return {ContrastMono8, ContrastMono16, ContrastBgr8, ContrastBgr16};
}

}  // namespace zirvo
