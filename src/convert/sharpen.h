// Sharpness kernels: an unsharp mask against the 4 x 4 box mean, reading the scratch copy.
#pragma once

#include <cstdint>

#include "convert/sharpen_rows.h"
#include "convert/table_map.h"
#include "display/kernel.h"

namespace zirvo {

// `parameter` points at a ValueBlock holding Sharpness. The source must be a
// separate buffer or exactly the destination (then originals are kept aside);
// 16-bit buffers must be word-aligned. The 2-pixel frame is never written.
int SharpenMono8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                 int destinationY, int destinationStep, int sourceStep, int destinationStride,
                 int sourceStride, void* parameter, void* extra);
int SharpenMono16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                  int destinationY, int destinationStep, int sourceStep, int destinationStride,
                  int sourceStride, void* parameter, void* extra);
int SharpenBgr8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                int destinationY, int destinationStep, int sourceStep, int destinationStride,
                int sourceStride, void* parameter, void* extra);
int SharpenBgr16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                 int destinationY, int destinationStep, int sourceStep, int destinationStride,
                 int sourceStride, void* parameter, void* extra);
int SharpenMono8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                     int destinationY, int destinationStep, int sourceStep, int destinationStride,
                     int sourceStride, void* parameter, void* extra);
int SharpenMono16Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                      int destinationY, int destinationStep, int sourceStep, int destinationStride,
                      int sourceStride, void* parameter, void* extra);
int SharpenBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                    int destinationY, int destinationStep, int sourceStep, int destinationStride,
                    int sourceStride, void* parameter, void* extra);
int SharpenBgr16Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                     int destinationY, int destinationStep, int sourceStep, int destinationStride,
                     int sourceStride, void* parameter, void* extra);
int SharpenMono8Avx512(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                       int destinationY, int destinationStep, int sourceStep, int destinationStride,
                       int sourceStride, void* parameter, void* extra);
int SharpenMono16Avx512(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                        int destinationY, int destinationStep, int sourceStep, int destinationStride,
                        int sourceStride, void* parameter, void* extra);
int SharpenBgr8Avx512(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                      int destinationY, int destinationStep, int sourceStep, int destinationStride,
                      int sourceStride, void* parameter, void* extra);
int SharpenBgr16Avx512(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                       int destinationY, int destinationStep, int sourceStep, int destinationStride,
                       int sourceStride, void* parameter, void* extra);

ToneKernels SelectSharpenKernels(uint32_t usableFeatures);

// Row loops of each instruction set (the AVX files define theirs).
void SharpenRowBaseline8(const SharpenRowInput<uint8_t>& in, void* sums, int amount, bool narrow);
void SharpenRowBaseline16(const SharpenRowInput<uint16_t>& in, void* sums, int amount, bool narrow);
void SharpenRowAvx2For8(const SharpenRowInput<uint8_t>& in, void* sums, int amount, bool narrow);
void SharpenRowAvx2For16(const SharpenRowInput<uint16_t>& in, void* sums, int amount, bool narrow);
void SharpenRowAvx512For8(const SharpenRowInput<uint8_t>& in, void* sums, int amount, bool narrow);
void SharpenRowAvx512For16(const SharpenRowInput<uint16_t>& in, void* sums, int amount, bool narrow);

}  // namespace zirvo
