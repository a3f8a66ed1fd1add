// Spreading packed camera rows to the bitmap stride, in place.
#pragma once

#include <cstdint>

#include "display/kernel.h"

namespace zirvo {

// The packed rows at the start of the buffer (width = sourceRect.right,
// height = sourceRect.bottom) move to destinationStride spacing, walking
// backwards so that source and destination may be the same buffer. 1 pixel
// byte for RepackRows8, 2 for RepackRows16. 1, or 0 when the stride is
// shorter than a packed row.
int RepackRows8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                int destinationX, int destinationY, int destinationBytesPerPixel,
                int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                void* extra);
int RepackRows16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                 int destinationX, int destinationY, int destinationBytesPerPixel,
                 int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                 void* extra);

// Packed 8-bit samples at the start of a 16-bit buffer become 16-bit
// samples of value v x 4 (the 10-bit scale) at destinationStride, in place.
// 1, or 0 when the stride is shorter than a 16-bit row.
int WidenSamples8To16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                      int destinationX, int destinationY, int destinationBytesPerPixel,
                      int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                      void* extra);

}  // namespace zirvo
