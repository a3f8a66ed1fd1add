// Gamma kernels and the gamma tables, built once per setting and shared by every camera.
#pragma once

#include <cstdint>

#include "convert/table_map.h"
#include "display/kernel.h"

namespace zirvo {

constexpr int kGammaTable8Size = 256;
constexpr int kGammaTable16Size = 1024;

// Exponent of a Gamma setting, limited to 0.001..99.999.
double GammaExponent(int32_t gamma);

// The table of a Gamma setting. Built on first use, immutable, valid until
// process end; safe to call from any thread.
const uint8_t* GammaTable8(int32_t gamma);
const uint16_t* GammaTable16(int32_t gamma);

// `parameter` points at a ValueBlock holding Gamma. The 16-bit kernels map
// samples above 1023 like 1023.
int GammaMono8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
               int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
               void* parameter, void* extra);
int GammaMono16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                int destinationY, int destinationStep, int sourceStep, int destinationStride,
                int sourceStride, void* parameter, void* extra);
int GammaBgr8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
              int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
              void* parameter, void* extra);
int GammaBgr16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
               int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
               void* parameter, void* extra);
int GammaMono8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                   int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                   void* parameter, void* extra);
int GammaBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                  int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                  void* parameter, void* extra);
int GammaMono8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                         int destinationX, int destinationY, int destinationStep, int sourceStep,
                         int destinationStride, int sourceStride, void* parameter, void* extra);
int GammaBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                        int destinationY, int destinationStep, int sourceStep, int destinationStride,
                        int sourceStride, void* parameter, void* extra);

ToneKernels SelectGammaKernels(uint32_t usableFeatures);

}  // namespace zirvo
