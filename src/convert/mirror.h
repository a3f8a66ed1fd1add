// Horizontal mirror of raw rows.
#pragma once

#include <cstdint>

#include "display/kernel.h"

namespace zirvo {

// Reverses the pixels of every rectangle row (1-byte or 2-byte pixels), rows
// addressed by the stride. In place when destination and source rows are the
// same; otherwise the reversed rows go to the destination. Returns 1.
int MirrorRows8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                int destinationX, int destinationY, int destinationBytesPerPixel,
                int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                void* extra);
int MirrorRows16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                 int destinationX, int destinationY, int destinationBytesPerPixel,
                 int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                 void* extra);

}  // namespace zirvo
