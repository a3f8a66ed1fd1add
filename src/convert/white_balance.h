// Automatic white-balance measurement over 8- and 16-bit Bayer raw frames.
#pragma once

#include <cstdint>

#include "convert/parameter_blocks.h"
#include "display/kernel.h"

namespace zirvo {

// Result bits. A colour without samples, or with a zero mean (a zero green
// mean spoils both), keeps the gain the block held: the pipeline fills the
// block with the current gains before measuring, so those stay in force.
constexpr int kWhiteBalanceMeasured = 1;   // the kernel ran
constexpr int kWhiteBalanceBlueKept = 2;   // first gain (blue in mode 0) not computed
constexpr int kWhiteBalanceRedKept = 4;    // second gain (red in mode 0) not computed

// `parameter` is a WhiteBalanceResult*, whose bayerMode selects the phases.
// Writes green 100 and the computable gains (saturated to the int32 range),
// reads the source only, and returns kWhiteBalanceMeasured plus the kept
// bits: 1 when every gain was measured, 0 without a block or for a source
// that is not 1 (8) or 2 (16) bytes per pixel. Sums are 64-bit.
int WhiteBalanceMeasure8(uint8_t* destination, const uint8_t* source,
                         const KernelRect& sourceRect, int destinationX, int destinationY,
                         int destinationBytesPerPixel, int sourceBytesPerPixel,
                         int destinationStride, int sourceStride, void* parameter, void* extra);
int WhiteBalanceMeasure16(uint8_t* destination, const uint8_t* source,
                          const KernelRect& sourceRect, int destinationX, int destinationY,
                          int destinationBytesPerPixel, int sourceBytesPerPixel,
                          int destinationStride, int sourceStride, void* parameter, void* extra);

// Same results, with AVX2 sums.
int WhiteBalanceMeasure8Avx2(uint8_t* destination, const uint8_t* source,
                             const KernelRect& sourceRect, int destinationX, int destinationY,
                             int destinationBytesPerPixel, int sourceBytesPerPixel,
                             int destinationStride, int sourceStride, void* parameter,
                             void* extra);
int WhiteBalanceMeasure16Avx2(uint8_t* destination, const uint8_t* source,
                              const KernelRect& sourceRect, int destinationX, int destinationY,
                              int destinationBytesPerPixel, int sourceBytesPerPixel,
                              int destinationStride, int sourceStride, void* parameter,
                              void* extra);

RectangleKernel SelectWhiteBalanceMeasure8(uint32_t usableFeatures);
RectangleKernel SelectWhiteBalanceMeasure16(uint32_t usableFeatures);

// Per-colour sums and counts of a rectangle, in the order of the result
// block: first colour, green, second colour.
struct WhiteBalanceSums {
  uint64_t sum[3] = {0, 0, 0};
  uint64_t count[3] = {0, 0, 0};
};

// Turns sums into gains in `result`; returns the result bits.
int WhiteBalanceFromSums(const WhiteBalanceSums& sums, WhiteBalanceResult& result);

// Sums of the samples at even and odd positions of one row.
struct WhiteBalanceRowSums {
  uint64_t even = 0;
  uint64_t odd = 0;
};
using WhiteBalanceRowSummer = WhiteBalanceRowSums (*)(const uint8_t* row, int32_t count);

// The measurement with `sumRow` adding up each row of `sampleBytes` samples.
int WhiteBalanceMeasureWith(const uint8_t* source, const KernelRect& rect, int sampleBytes,
                            int sourceBytesPerPixel, int sourceStride, void* parameter,
                            WhiteBalanceRowSummer sumRow);

}  // namespace zirvo
