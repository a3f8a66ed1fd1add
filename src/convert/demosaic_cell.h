// Cell-centred Bayer interpolation and row plumbing shared by the demosaic variants and the hot-pixel estimate.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "convert/parameter_blocks.h"
#include "display/kernel.h"

namespace zirvo {

// Colour of a cell's corner in mode-0 terms: index = row parity × 2 + column parity.
enum BayerCellKind : int {
  kCellGreenRedInColumn = 0,  // G with R at (x, y − 1)
  kCellBlue = 1,
  kCellRed = 2,
  kCellGreenRedInRow = 3,  // G with R at (x − 1, y)
};

struct GainFactors {
  int32_t red = 0;
  int32_t blue = 0;
};

// Green pair average and the two 16-weight sums of one output pixel.
struct CellSums {
  int32_t green = 0;
  int32_t redSum = 0;
  int32_t blueSum = 0;
};

// One interior row as the vector kernels see it: `rows` point at the first
// interior column in rows y − 2, y − 1, y, y + 1.
template <typename Sample>
struct InnerRowJob {
  const Sample* rows[4];
  uint8_t* output;
  int32_t count;
  int rowPhase;
  int columnPhase;  // of the first pixel
  GainFactors factors;
  int outputBytesPerPixel;
};

template <typename Sample>
using InnerRowFunction = void (*)(const InnerRowJob<Sample>&);

// The border kernel with `middle` writing the long middle parts of its four
// full-width rows (in demosaic.cpp, for uint8_t and uint16_t samples).
template <typename Sample>
int DemosaicBorderWithRows(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                           int destinationX, int destinationY, int destinationBytesPerPixel,
                           int sourceBytesPerPixel, int destinationStride, int sourceStride,
                           void* parameter, InnerRowFunction<Sample> middle);

// Internal linkage for the code below: the files built for wider instruction
// sets include it too, and their copies must never stand in for the baseline
// ones at link time.
namespace {

constexpr int RowPhaseOfMode(int32_t bayerMode) { return bayerMode & 1; }
constexpr int ColumnPhaseOfMode(int32_t bayerMode) { return (bayerMode >> 1) & 1; }
constexpr int CellKindOf(int rowPhase, int columnPhase) { return (rowPhase << 1) | columnPhase; }

// Gains are clamped to 0..1600 % so that a 16-bit sum times the factor stays
// inside 31 bits; the settings allow only 0..400 %.
inline int32_t GainFactor(int32_t gain) {
  const int32_t bounded = std::clamp<int32_t>(gain, 0, 1600);
  return static_cast<int32_t>(std::trunc(bounded * 1.28));
}

inline GainFactors GainFactorsOf(const BayerBlock& block) {
  return {GainFactor(block.gainRed), GainFactor(block.gainBlue)};
}

inline uint32_t LoadSample(const uint8_t* row, int32_t column) { return row[column]; }
inline uint32_t LoadSample(const uint16_t* row, int32_t column) { return row[column]; }

// `rows` are the rows at dy = −2, −1, 0, +1 and `columns` the columns at
// dx = −2, −1, 0, +1, already moved inside the rectangle by the caller.
template <int kKind, typename Sample>
CellSums CellSumsOfKind(const Sample* const rows[4], const int32_t columns[4]) {
  auto s = [&](int dx, int dy) {
    return static_cast<int32_t>(LoadSample(rows[dy + 2], columns[dx + 2]));
  };
  // Four 16-weight sums: the colour of row y (and y − 2) at column x or x − 1,
  // and the colour of row y − 1 (and y + 1) at column x or x − 1.
  auto atRowCurrent = [&] { return 9 * s(0, 0) + 3 * (s(-2, 0) + s(0, -2)) + s(-2, -2); };
  auto atRowLeft = [&] { return 9 * s(-1, 0) + 3 * (s(+1, 0) + s(-1, -2)) + s(+1, -2); };
  auto atAboveCurrent = [&] { return 9 * s(0, -1) + 3 * (s(-2, -1) + s(0, +1)) + s(-2, +1); };
  auto atAboveLeft = [&] { return 9 * s(-1, -1) + 3 * (s(+1, -1) + s(-1, +1)) + s(+1, +1); };
  if constexpr (kKind == kCellGreenRedInColumn) {
    return {(s(-1, -1) + s(0, 0)) >> 1, atAboveCurrent(), atRowLeft()};
  } else if constexpr (kKind == kCellGreenRedInRow) {
    return {(s(-1, -1) + s(0, 0)) >> 1, atRowLeft(), atAboveCurrent()};
  } else if constexpr (kKind == kCellRed) {
    return {(s(-1, 0) + s(0, -1)) >> 1, atRowCurrent(), atAboveLeft()};
  } else {
    return {(s(-1, 0) + s(0, -1)) >> 1, atAboveLeft(), atRowCurrent()};
  }
}

template <typename Sample>
CellSums CellSumsAt(const Sample* const rows[4], const int32_t columns[4], int kind) {
  switch (kind) {
    case kCellGreenRedInColumn:
      return CellSumsOfKind<kCellGreenRedInColumn>(rows, columns);
    case kCellGreenRedInRow:
      return CellSumsOfKind<kCellGreenRedInRow>(rows, columns);
    case kCellRed:
      return CellSumsOfKind<kCellRed>(rows, columns);
    default:
      return CellSumsOfKind<kCellBlue>(rows, columns);
  }
}

// Demosaic pixel sizes: 1-byte samples into 3 or 4 bytes, 2-byte into 6 or 8.
inline bool DemosaicPixelSizesValid(int sampleBytes, int destinationBytesPerPixel,
                                    int sourceBytesPerPixel) {
  return sourceBytesPerPixel == sampleBytes &&
         (destinationBytesPerPixel == 3 * sampleBytes ||
          destinationBytesPerPixel == 4 * sampleBytes);
}

inline int32_t ScaledSum(int32_t sum, int32_t factor) {
  return static_cast<int32_t>((static_cast<int64_t>(sum) * factor) >> 11);
}

template <typename Sample>
constexpr int32_t MaximumChannel() {
  return sizeof(Sample) == 1 ? 255 : 4095;
}

// Every channel is clamped, green included, so 16-bit output stays 12-bit.
template <typename Sample>
void StorePixel(uint8_t* pixel, const CellSums& sums, GainFactors factors) {
  constexpr int32_t kMaximum = MaximumChannel<Sample>();
  const int32_t blue = std::min(ScaledSum(sums.blueSum, factors.blue), kMaximum);
  const int32_t green = std::min(sums.green, kMaximum);
  const int32_t red = std::min(ScaledSum(sums.redSum, factors.red), kMaximum);
  if constexpr (sizeof(Sample) == 1) {
    pixel[0] = static_cast<uint8_t>(blue);
    pixel[1] = static_cast<uint8_t>(green);
    pixel[2] = static_cast<uint8_t>(red);
  } else {
    const uint16_t channels[3] = {static_cast<uint16_t>(blue), static_cast<uint16_t>(green),
                                  static_cast<uint16_t>(red)};
    std::memcpy(pixel, channels, sizeof(channels));
  }
}

// Validates the arguments and hands each interior row, with the toggled
// phases, to `processRow`. Returns the kernel's result.
template <typename Sample, typename RowFunction>
int ForEachInnerRow(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride,
                    void* parameter, RowFunction&& processRow) {
  if (parameter == nullptr ||
      !DemosaicPixelSizesValid(sizeof(Sample), destinationBytesPerPixel, sourceBytesPerPixel)) {
    return 0;
  }
  const auto& block = *static_cast<const BayerBlock*>(parameter);
  const int32_t width = rect.Width();
  const int32_t height = rect.Height();
  if (width <= 4 || height <= 4) return 1;
  InnerRowJob<Sample> job{};
  job.count = width - 4;
  job.factors = GainFactorsOf(block);
  job.outputBytesPerPixel = destinationBytesPerPixel;
  job.rowPhase = RowPhaseOfMode(block.bayerMode);
  job.columnPhase = ColumnPhaseOfMode(block.bayerMode);
  for (int32_t row = 2; row <= height - 3; ++row) {
    for (int dy = -2; dy <= 1; ++dy) {
      const uint8_t* line = source + static_cast<intptr_t>(rect.top + row + dy) * sourceStride;
      job.rows[dy + 2] = reinterpret_cast<const Sample*>(line) + rect.left + 2;
    }
    job.output = destination + static_cast<intptr_t>(destinationY + row) * destinationStride +
                 static_cast<intptr_t>(destinationX + 2) * destinationBytesPerPixel;
    processRow(job);
    job.rowPhase ^= 1;
    job.columnPhase ^= job.count & 1;
  }
  return 1;
}

template <int kFirstKind, int kSecondKind, typename Sample>
void InnerPixelPairs(const InnerRowJob<Sample>& job, int32_t first, int32_t end) {
  // Local copies: stores through the byte pointer could otherwise alias them.
  const Sample* const rows[4] = {job.rows[0], job.rows[1], job.rows[2], job.rows[3]};
  uint8_t* const output = job.output;
  const int bytesPerPixel = job.outputBytesPerPixel;
  const GainFactors factors = job.factors;
  auto write = [&](auto kind, int32_t j) {
    const int32_t columns[4] = {j - 2, j - 1, j, j + 1};
    StorePixel<Sample>(output + static_cast<intptr_t>(j) * bytesPerPixel,
                       CellSumsOfKind<decltype(kind)::value>(rows, columns), factors);
  };
  int32_t j = first;
  for (; j + 1 < end; j += 2) {
    write(std::integral_constant<int, kFirstKind>{}, j);
    write(std::integral_constant<int, kSecondKind>{}, j + 1);
  }
  if (j < end) write(std::integral_constant<int, kFirstKind>{}, j);
}

// Plain pixels [first, end) of a row, for the ends the vectors do not cover.
template <typename Sample>
void InnerPixelsPlain(const InnerRowJob<Sample>& job, int32_t first, int32_t end) {
  const int columnPhase = job.columnPhase ^ (first & 1);
  switch (CellKindOf(job.rowPhase, columnPhase)) {
    case kCellGreenRedInColumn:
      return InnerPixelPairs<kCellGreenRedInColumn, kCellBlue>(job, first, end);
    case kCellBlue:
      return InnerPixelPairs<kCellBlue, kCellGreenRedInColumn>(job, first, end);
    case kCellRed:
      return InnerPixelPairs<kCellRed, kCellGreenRedInRow>(job, first, end);
    default:
      return InnerPixelPairs<kCellGreenRedInRow, kCellRed>(job, first, end);
  }
}

}  // namespace

}  // namespace zirvo
