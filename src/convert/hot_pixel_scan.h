// The sequential hot-pixel test shared by the plain and vector scans.
#pragma once

#include <cstdlib>
#include <cstring>

#include "convert/demosaic_cell.h"
#include "display/kernel.h"

namespace zirvo {

// Internal linkage: the files built for wider instruction sets include these
// too, and their copies must never stand in for the baseline ones at link time.
namespace {

constexpr int kDefaultHotPixelThreshold = 30;
constexpr int kHotPixelColourLimit = 30;

// The rectangle being corrected, in the destination's pixels.
template <typename Sample>
struct HotPixelArea {
  uint8_t* bits;
  int stride;
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  int32_t bayerMode;
  GainFactors factors;
  int32_t threshold;    // already scaled to the sample range
  int32_t colourLimit;  // likewise

  Sample* Row(int32_t y) const {
    return reinterpret_cast<Sample*>(bits + static_cast<intptr_t>(y) * stride);
  }
};

template <typename Sample>
int32_t SameColourMean(const HotPixelArea<Sample>& area, int32_t x, int32_t y) {
  return (static_cast<int32_t>(area.Row(y - 2)[x]) + area.Row(y + 2)[x] + area.Row(y)[x - 2] +
          area.Row(y)[x + 2]) >>
         2;
}

// QuadColourAt: demosaic estimate with the parity phase; 8-bit red and blue
// keep their low 8 bits unclamped.
template <typename Sample>
bool LooksColourful(const HotPixelArea<Sample>& area, int32_t x, int32_t y) {
  const int rowPhase = ((y - area.top) & 1) ^ RowPhaseOfMode(area.bayerMode);
  const int columnPhase = ((x - area.left) & 1) ^ ColumnPhaseOfMode(area.bayerMode);
  const Sample* rows[4] = {area.Row(y - 2), area.Row(y - 1), area.Row(y), area.Row(y + 1)};
  const int32_t columns[4] = {x - 2, x - 1, x, x + 1};
  const CellSums sums = CellSumsAt(rows, columns, CellKindOf(rowPhase, columnPhase));
  int32_t red = ScaledSum(sums.redSum, area.factors.red);
  int32_t blue = ScaledSum(sums.blueSum, area.factors.blue);
  if constexpr (sizeof(Sample) == 1) {
    red &= 0xFF;
    blue &= 0xFF;
  }
  const int32_t green = sums.green;
  const int exceeding = (std::abs(red - green) > area.colourLimit) +
                        (std::abs(red - blue) > area.colourLimit) +
                        (std::abs(green - blue) > area.colourLimit);
  return exceeding >= 2;
}

// The full test at (x, y); replaces the pixel by its same-colour mean when it
// is hot. Returns whether it did.
template <typename Sample>
bool CorrectIfHot(const HotPixelArea<Sample>& area, int32_t x, int32_t y) {
  const int32_t mean = SameColourMean(area, x, y);
  Sample* pixel = area.Row(y) + x;
  if (static_cast<int32_t>(*pixel) - mean < area.threshold) return false;
  if (!LooksColourful(area, x, y)) return false;
  *pixel = static_cast<Sample>(mean);
  return true;
}

// Sets up `area` from the kernel arguments; false when there is nothing to
// do (the caller returns 0). Copies a separate source into place first.
template <typename Sample>
bool PrepareHotPixelArea(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                         int destinationX, int destinationY, int destinationStride,
                         int sourceStride, void* parameter, void* extra,
                         HotPixelArea<Sample>* area) {
  if (parameter == nullptr || rect.Width() <= 0 || rect.Height() <= 0) return false;
  const auto& block = *static_cast<const BayerBlock*>(parameter);
  const int32_t threshold =
      extra != nullptr ? *static_cast<const int*>(extra) : kDefaultHotPixelThreshold;
  constexpr int32_t kScale = sizeof(Sample) == 1 ? 1 : 4;
  if (destination != source) {
    for (int32_t row = 0; row < rect.Height(); ++row) {
      std::memmove(destination + static_cast<intptr_t>(destinationY + row) * destinationStride +
                       static_cast<intptr_t>(destinationX) * sizeof(Sample),
                   source + static_cast<intptr_t>(rect.top + row) * sourceStride +
                       static_cast<intptr_t>(rect.left) * sizeof(Sample),
                   static_cast<size_t>(rect.Width()) * sizeof(Sample));
    }
  }
  const bool inPlace = destination == source;
  area->bits = destination;
  area->stride = destinationStride;
  area->left = inPlace ? rect.left : destinationX;
  area->top = inPlace ? rect.top : destinationY;
  area->width = rect.Width();
  area->height = rect.Height();
  area->bayerMode = block.bayerMode;
  area->factors = GainFactorsOf(block);
  // Bounded so that scaling and the vector lanes cannot overflow.
  area->threshold = std::clamp<int32_t>(threshold, -(1 << 20), 1 << 20) * kScale;
  area->colourLimit = kHotPixelColourLimit * kScale;
  return area->width > 4 && area->height > 4;
}

}  // namespace

}  // namespace zirvo
