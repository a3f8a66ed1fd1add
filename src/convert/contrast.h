// Contrast kernels: a stretch or compression of the sample range around its middle, by lookup table.
#pragma once

#include <cstdint>

#include "convert/table_map.h"
#include "display/kernel.h"

namespace zirvo {

constexpr int kContrastTable8Size = 256;
constexpr int kContrastTable16Size = 4096;

// The tables of a setting, exactly as the kernels apply them.
void BuildContrastTable8(int32_t setting, uint8_t* table);
void BuildContrastTable16(int32_t setting, uint16_t* table);

// `parameter` points at a ValueBlock holding Contrast. The 16-bit kernels map
// samples above 4095 like 4095.
int ContrastMono8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                  int destinationY, int destinationStep, int sourceStep, int destinationStride,
                  int sourceStride, void* parameter, void* extra);
int ContrastMono16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                   int destinationY, int destinationStep, int sourceStep, int destinationStride,
                   int sourceStride, void* parameter, void* extra);
int ContrastBgr8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                 int destinationY, int destinationStep, int sourceStep, int destinationStride,
                 int sourceStride, void* parameter, void* extra);
int ContrastBgr16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                  int destinationY, int destinationStep, int sourceStep, int destinationStride,
                  int sourceStride, void* parameter, void* extra);
int ContrastMono8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                      int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                      void* parameter, void* extra);
int ContrastBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                     int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                     void* parameter, void* extra);
int ContrastMono8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                            int destinationX, int destinationY, int destinationStep, int sourceStep,
                            int destinationStride, int sourceStride, void* parameter, void* extra);
int ContrastBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                           int destinationX, int destinationY, int destinationStep, int sourceStep,
                           int destinationStride, int sourceStride, void* parameter, void* extra);

ToneKernels SelectContrastKernels(uint32_t usableFeatures);

}  // namespace zirvo
