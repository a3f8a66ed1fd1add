// Bayer demosaic kernels (8- and 16-bit raw into B,G,R colour) and their per-processor choice.
#pragma once

#include <cstdint>

#include "display/kernel.h"

namespace zirvo {

// All take a BayerBlock* as `parameter` and return 1 (0 without a block or for
// pixel sizes they cannot handle: 8-bit source into 3 or 4 bytes, 16-bit
// source into 6 or 8 bytes). The fourth channel of 4- and 8-byte pixels keeps
// its value. Every channel is clamped to 255 or 4095 (green too, for 16-bit
// samples above 12 bits). Gains are taken within 0..1600 % (the settings allow
// 0..400) so that no product overflows: a negative gain gives black.
//
// Inner: the interior, rows top + 2 .. bottom − 3 and columns left + 2 ..
// right − 3; nothing unless the rectangle is wider and taller than 4. The
// column phase runs on across rows, so for odd widths it drifts from row to
// row.
int DemosaicInner8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                   int destinationX, int destinationY, int destinationBytesPerPixel,
                   int sourceBytesPerPixel, int destinationStride, int sourceStride,
                   void* parameter, void* extra);
int DemosaicInner16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride,
                    void* parameter, void* extra);

// Border: the 2-pixel frame as four strips (rows 0–1, rows H−2..H−1, columns
// 0–1, columns W−2..W−1), phases toggling through all strips, offsets that
// leave the rectangle moved 4 pixels to the other side. Rectangles narrower or
// lower than 4 pixels are written once per pixel with the parity phase, their
// offsets folded by 2 further into the rectangle (onto the pixel itself where
// the rectangle is 1 pixel wide or high): nothing outside is read or written.
int DemosaicBorder8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride,
                    void* parameter, void* extra);
int DemosaicBorder16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                     int destinationX, int destinationY, int destinationBytesPerPixel,
                     int sourceBytesPerPixel, int destinationStride, int sourceStride,
                     void* parameter, void* extra);

// Vector variants, bit-identical to the plain ones (the border ones write the
// long middles of their full-width rows with vectors).
int DemosaicInner8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                       int destinationX, int destinationY, int destinationBytesPerPixel,
                       int sourceBytesPerPixel, int destinationStride, int sourceStride,
                       void* parameter, void* extra);
int DemosaicInner16Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                        int destinationX, int destinationY, int destinationBytesPerPixel,
                        int sourceBytesPerPixel, int destinationStride, int sourceStride,
                        void* parameter, void* extra);
int DemosaicInner8Avx512(uint8_t* destination, const uint8_t* source,
                         const KernelRect& sourceRect, int destinationX, int destinationY,
                         int destinationBytesPerPixel, int sourceBytesPerPixel,
                         int destinationStride, int sourceStride, void* parameter, void* extra);
int DemosaicInner16Avx512(uint8_t* destination, const uint8_t* source,
                          const KernelRect& sourceRect, int destinationX, int destinationY,
                          int destinationBytesPerPixel, int sourceBytesPerPixel,
                          int destinationStride, int sourceStride, void* parameter, void* extra);

int DemosaicBorder8Avx2(uint8_t* destination, const uint8_t* source,
                        const KernelRect& sourceRect, int destinationX, int destinationY,
                        int destinationBytesPerPixel, int sourceBytesPerPixel,
                        int destinationStride, int sourceStride, void* parameter, void* extra);
int DemosaicBorder16Avx2(uint8_t* destination, const uint8_t* source,
                         const KernelRect& sourceRect, int destinationX, int destinationY,
                         int destinationBytesPerPixel, int sourceBytesPerPixel,
                         int destinationStride, int sourceStride, void* parameter, void* extra);
int DemosaicBorder8Avx512(uint8_t* destination, const uint8_t* source,
                          const KernelRect& sourceRect, int destinationX, int destinationY,
                          int destinationBytesPerPixel, int sourceBytesPerPixel,
                          int destinationStride, int sourceStride, void* parameter, void* extra);
int DemosaicBorder16Avx512(uint8_t* destination, const uint8_t* source,
                           const KernelRect& sourceRect, int destinationX, int destinationY,
                           int destinationBytesPerPixel, int sourceBytesPerPixel,
                           int destinationStride, int sourceStride, void* parameter,
                           void* extra);

// The fastest variant the usable processor features allow (see processor.h);
// chosen once per camera.
RectangleKernel SelectDemosaicInner8(uint32_t usableFeatures);
RectangleKernel SelectDemosaicInner16(uint32_t usableFeatures);
RectangleKernel SelectDemosaicBorder8(uint32_t usableFeatures);
RectangleKernel SelectDemosaicBorder16(uint32_t usableFeatures);

}  // namespace zirvo
