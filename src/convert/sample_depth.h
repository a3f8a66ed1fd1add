// Reductions, expansions and reorderings of sample depth and channel layout.
#pragma once

#include <cstdint>

#include "display/kernel.h"

namespace zirvo {

// All return 1, or 0 when the pixel sizes do not fit the kernel.

// 16-bit gray to 8-bit: (s >> 4) & 0xFF in order, (s >> 2) & 0xFF flipped.
int ReduceMono16Shift4(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                       int destinationX, int destinationY, int destinationBytesPerPixel,
                       int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                       void* extra);
int ReduceMono16Shift2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                       int destinationX, int destinationY, int destinationBytesPerPixel,
                       int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                       void* extra);

// Words 0-2 of 48- or 64-bit colour to 24-bit: (w >> 4) & 0xFF in order,
// (w >> 2) & 0xFF flipped.
int ReduceBgr16Shift4(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                      int destinationX, int destinationY, int destinationBytesPerPixel,
                      int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                      void* extra);
int ReduceBgr16Shift2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                      int destinationX, int destinationY, int destinationBytesPerPixel,
                      int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                      void* extra);

// 16-bit gray s << 4 and colour words 0-2 << 6, kept to 16 bits; the 64-bit
// forms set word 3 to 0xFFFF; the Swap forms write words 2, 1, 0. In order,
// in place allowed.
int ExpandMono16Shift4(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                       int destinationX, int destinationY, int destinationBytesPerPixel,
                       int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                       void* extra);
int ExpandBgr48Shift6(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                      int destinationX, int destinationY, int destinationBytesPerPixel,
                      int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                      void* extra);
int ExpandBgr64Shift6(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                      int destinationX, int destinationY, int destinationBytesPerPixel,
                      int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                      void* extra);
int ExpandSwapRgb48Shift6(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                          int destinationX, int destinationY, int destinationBytesPerPixel,
                          int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                          void* extra);
int ExpandSwapRgb64Shift6(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                          int destinationX, int destinationY, int destinationBytesPerPixel,
                          int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                          void* extra);

// 24- or 32-bit: bytes 2, 1, 0 into bytes 0, 1, 2 (byte 3 untouched); and
// 32-bit bytes 0-2 copied with byte 3 = 255 - byte 3. In order, in place
// allowed.
int SwapBgrToRgb24(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                   int destinationX, int destinationY, int destinationBytesPerPixel,
                   int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                   void* extra);
int CopyBgra32InvertAlpha(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                          int destinationX, int destinationY, int destinationBytesPerPixel,
                          int sourceBytesPerPixel, int destinationStride, int sourceStride, void* parameter,
                          void* extra);

}  // namespace zirvo
