// Brightness kernels: every sample scaled by one factor, applied through a table built from it.
#pragma once

#include <cstdint>

#include "convert/table_map.h"
#include "display/kernel.h"

namespace zirvo {

constexpr int kBrightnessTable8Size = 256;
constexpr int kBrightnessTable16Size = 1024;

// The tables of a setting, exactly as the kernels apply them.
void BuildBrightnessTable8(int32_t setting, uint8_t* table);
void BuildBrightnessTable16(int32_t setting, uint16_t* table);

// `parameter` points at a ValueBlock holding Brightness. The 16-bit kernels
// treat samples above 1023 as 1023.
int BrightnessMono8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                    int destinationY, int destinationStep, int sourceStep, int destinationStride,
                    int sourceStride, void* parameter, void* extra);
int BrightnessMono16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                     int destinationY, int destinationStep, int sourceStep, int destinationStride,
                     int sourceStride, void* parameter, void* extra);
int BrightnessBgr8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                   int destinationY, int destinationStep, int sourceStep, int destinationStride,
                   int sourceStride, void* parameter, void* extra);
int BrightnessBgr16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                    int destinationY, int destinationStep, int sourceStep, int destinationStride,
                    int sourceStride, void* parameter, void* extra);
int BrightnessMono8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                        int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                        void* parameter, void* extra);
int BrightnessBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                       int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                       void* parameter, void* extra);
int BrightnessMono8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                              int destinationX, int destinationY, int destinationStep, int sourceStep,
                              int destinationStride, int sourceStride, void* parameter, void* extra);
int BrightnessBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                             int destinationX, int destinationY, int destinationStep, int sourceStep,
                             int destinationStride, int sourceStride, void* parameter, void* extra);

ToneKernels SelectBrightnessKernels(uint32_t usableFeatures);

}  // namespace zirvo
