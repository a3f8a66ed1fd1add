// Whole-row and 24-bit copies, flipped or in order.
#pragma once

#include <cstdint>

#include "display/kernel.h"

namespace zirvo {

// Copies the rectangle's rows bottom-up into consecutive destination rows
// from destinationY: per row the smaller of the two strides' remainders
// from the start column on, so that neither row is overrun. Returns 1.
int CopyRowsFlipped(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                    void* extra);

// First three bytes of each source pixel (24 or 32 bits) into 24-bit
// pixels; CopyBgr24Flipped takes source rows bottom-up, Bgr32ToBgr24 in
// order. 1, or 0 for pixel sizes they cannot serve.
int CopyBgr24Flipped(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                     int destinationX, int destinationY, int destinationBytesPerPixel,
                     int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                     void* extra);
int Bgr32ToBgr24(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                 int destinationX, int destinationY, int destinationBytesPerPixel,
                 int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                 void* extra);

}  // namespace zirvo
