// Mean sample level of a rectangle, for automatic exposure.
#pragma once

#include <cstdint>

#include "display/kernel.h"

namespace zirvo {

// Rectangle kernels that read the source only and return the integer mean
// (sum / count, truncated) of the rectangle's samples; 0 for an empty one.
// MeanLevel16 averages ((sample >> 2) & 0xFF) of little-endian 16-bit samples.
int MeanLevel8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
               int destinationX, int destinationY, int destinationBytesPerPixel,
               int sourceBytesPerPixel, int destinationStride, int sourceStride,
               void* parameter, void* extra);
int MeanLevel16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                int destinationX, int destinationY, int destinationBytesPerPixel,
                int sourceBytesPerPixel, int destinationStride, int sourceStride,
                void* parameter, void* extra);
// The same result, sixteen samples at a time.
int MeanLevel16Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride,
                    void* parameter, void* extra);

RectangleKernel SelectMeanLevel16(uint32_t usableFeatures);

}  // namespace zirvo
