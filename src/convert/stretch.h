// Nearest-neighbour stretch for the preview, rows reversed.
#pragma once

#include <cstdint>

#include "display/kernel.h"

namespace zirvo {

// Destination pixel (D.left + j, memory row D.top + i) takes the source
// pixel at column S.left + v of memory row S.bottom - 1 - u, with
// v = trunc(float(Sw / Dw) * j) and u = trunc(float(Sh / Dh) * i) kept inside
// the source rectangle. StretchGray8 copies 1 byte, StretchBgr24 the first 3
// bytes of each source pixel into 3-byte pixels. 1, or 0 for pixel sizes
// they cannot serve.
int StretchGray8(uint8_t* destination, const uint8_t* source, const KernelRect& destinationRect,
                 const KernelRect& sourceRect, int destinationWidth, int destinationHeight,
                 int sourceWidth, int sourceHeight, int destinationBytesPerPixel,
                 int sourceBytesPerPixel, int destinationStride, int sourceStride, int value,
                 void* user);
int StretchBgr24(uint8_t* destination, const uint8_t* source, const KernelRect& destinationRect,
                 const KernelRect& sourceRect, int destinationWidth, int destinationHeight,
                 int sourceWidth, int sourceHeight, int destinationBytesPerPixel,
                 int sourceBytesPerPixel, int destinationStride, int sourceStride, int value,
                 void* user);

}  // namespace zirvo
