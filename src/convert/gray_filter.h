// Gray filter for monochrome frames from a colour sensor: per-site gains and
// offsets, their measurement, and the luminance of a colour image.
#pragma once

#include <cstdint>

#include "convert/processor.h"
#include "display/kernel.h"

namespace zirvo {

// The site of a sample is named by the gray filter's own table: BayerMode 0
// puts G1 R / B G2 at the rectangle's first row and column, bit 0 swaps the
// rows, bit 1 the columns. GrayGainMeasure8 and GrayFilter8 flip the row
// phase after each row and the column phase after every sample, never
// resetting it at a row start: over an odd width each row starts on the
// other column phase (even widths give plain parity).
// `parameter` points at a GrayBlock; with a null block the kernels return 0.
//
// GrayGainMeasure8 reads the samples 1..254 of each site (0 and 255 are
// saturated) and writes GrayGainG1 = 128 and, for R, G2 and B,
// trunc(meanG1 / meanSite x 128) limited to 0..255. A gain that cannot be
// computed (no counted sample at that site or at G1) is left as it was and
// its bit below is set in the result, beside bit 0.
inline constexpr int kGrayGainKeptR = 0x2;
inline constexpr int kGrayGainKeptG2 = 0x4;
inline constexpr int kGrayGainKeptB = 0x8;
int GrayGainMeasure8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                     int destinationX, int destinationY, int destinationBytesPerPixel,
                     int sourceBytesPerPixel, int destinationStride, int sourceStride,
                     void* parameter, void* extra);

// Every sample: (gain x s) / 128 + offset of its site, limited to 0..255.
int GrayFilter8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                int destinationX, int destinationY, int destinationBytesPerPixel,
                int sourceBytesPerPixel, int destinationStride, int sourceStride,
                void* parameter, void* extra);

// The vector variants: gains only, each limited to 0..255, every sample
// min(255, (gain x s) >> 7). The row parity follows BayerMode bit 0; the
// column is the plain parity within the rectangle whatever BayerMode says
// (even columns G1 or B, odd columns R or G2). Every column of the rectangle
// is processed, the first included, and nothing outside it is touched. Both
// give the same bytes; they differ only in block width (8 and 16 samples).
int GrayFilter8Mmx(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                   int destinationX, int destinationY, int destinationBytesPerPixel,
                   int sourceBytesPerPixel, int destinationStride, int sourceStride,
                   void* parameter, void* extra);
int GrayFilter8Sse2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride,
                    void* parameter, void* extra);

// GrayFilter8Sse2 when both feature words have SSE2, else GrayFilter8Mmx when
// both have MMX, else GrayFilter8.
RectangleKernel SelectGrayFilter8(const ProcessorInfo& processor);

// 24- or 32-bit source to 8-bit: (59 G + 30 R + 11 B) / 100. 1, or 0 for
// pixel sizes it cannot serve.
int BgrToGray8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
               int destinationX, int destinationY, int destinationBytesPerPixel,
               int sourceBytesPerPixel, int destinationStride, int sourceStride,
               void* parameter, void* extra);
#if defined(__x86_64__) || defined(__i386__)
// The same bytes with byte shuffles for 24-bit sources; needs kFeatureAvx2.
int BgrToGray8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                   int destinationX, int destinationY, int destinationBytesPerPixel,
                   int sourceBytesPerPixel, int destinationStride, int sourceStride,
                   void* parameter, void* extra);
#endif

// BgrToGray8Avx2 where the processor has usable AVX2, else BgrToGray8.
RectangleKernel SelectBgrToGray8(const ProcessorInfo& processor);

}  // namespace zirvo
