// White-balance measurement: per-colour sums over the mosaic and the gain formulas.
#include "convert/white_balance.h"

#include <cmath>
#include <limits>

#include "convert/parameter_blocks.h"
#include "convert/processor.h"

namespace zirvo {
namespace {

constexpr int kFirstColour = 0;
constexpr int kGreen = 1;
constexpr int kSecondColour = 2;

// Which sum a sample of the given phases feeds (mode-0 terms).
int ColourSlot(int rowPhase, int columnPhase) {
  if (rowPhase == columnPhase) return kGreen;
  return rowPhase == 0 ? kFirstColour : kSecondColour;
}

using RowSums = WhiteBalanceRowSums;

template <typename Sample>
RowSums SumAlternating(const Sample* row, int32_t count) {
  // 32-bit lanes vectorise; a row of under 2^16 samples cannot wrap them.
  uint32_t even = 0;
  uint32_t odd = 0;
  int32_t j = 0;
  for (; j + 1 < count; j += 2) {
    even += row[j];
    odd += row[j + 1];
  }
  if (j < count) even += row[j];
  return {even, odd};
}

template <typename Sample>
RowSums SumRow(const Sample* row, int32_t count) {
  constexpr int32_t kPiece = 1 << 15;
  RowSums total;
  for (int32_t start = 0; start < count; start += kPiece) {
    const int32_t length = std::min(kPiece, count - start);
    const RowSums piece = SumAlternating(row + start, length);
    // A piece of even length keeps the parity of what follows.
    total.even += piece.even;
    total.odd += piece.odd;
  }
  return total;
}

template <typename Sample>
RowSums SumRowPlain(const uint8_t* row, int32_t count) {
  return SumRow(reinterpret_cast<const Sample*>(row), count);
}

WhiteBalanceSums MeasureSums(const uint8_t* source, const KernelRect& rect, int sampleBytes,
                             int sourceStride, int32_t bayerMode, WhiteBalanceRowSummer sumRow) {
  WhiteBalanceSums sums;
  const int32_t width = rect.Width();
  int rowPhase = bayerMode & 1;
  int columnPhase = (bayerMode >> 1) & 1;
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    const uint8_t* row = source + static_cast<intptr_t>(y) * sourceStride +
                         static_cast<intptr_t>(rect.left) * sampleBytes;
    const RowSums rowSums = sumRow(row, width);
    const int evenSlot = ColourSlot(rowPhase, columnPhase);
    const int oddSlot = ColourSlot(rowPhase, columnPhase ^ 1);
    sums.sum[evenSlot] += rowSums.even;
    sums.sum[oddSlot] += rowSums.odd;
    sums.count[evenSlot] += static_cast<uint64_t>((width + 1) / 2);
    sums.count[oddSlot] += static_cast<uint64_t>(width / 2);
    rowPhase ^= 1;
    columnPhase ^= width & 1;
  }
  return sums;
}

int32_t TruncatedGain(double value) {
  constexpr double kLargest = std::numeric_limits<int32_t>::max();
  return value >= kLargest ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}

}  // namespace

int WhiteBalanceMeasureWith(const uint8_t* source, const KernelRect& rect, int sampleBytes,
                            int sourceBytesPerPixel, int sourceStride, void* parameter,
                            WhiteBalanceRowSummer sumRow) {
  if (parameter == nullptr || sourceBytesPerPixel != sampleBytes) return 0;
  auto& block = *static_cast<WhiteBalanceResult*>(parameter);
  if (rect.Width() <= 0 || rect.Height() <= 0) return WhiteBalanceFromSums({}, block);
  return WhiteBalanceFromSums(
      MeasureSums(source, rect, sampleBytes, sourceStride, block.bayerMode, sumRow), block);
}

int WhiteBalanceFromSums(const WhiteBalanceSums& sums, WhiteBalanceResult& block) {
  block.gainGreen = 100;
  auto measurable = [&](int slot) { return sums.count[slot] > 0 && sums.sum[slot] > 0; };
  int bits = kWhiteBalanceMeasured;
  if (!measurable(kGreen)) return bits | kWhiteBalanceBlueKept | kWhiteBalanceRedKept;
  auto mean = [&](int slot) {
    return static_cast<double>(sums.sum[slot]) / static_cast<double>(sums.count[slot]);
  };
  const double greenMean = mean(kGreen);
  // A missing colour's mean counts as 0 in the total, as an empty sum would.
  const double firstMean = measurable(kFirstColour) ? mean(kFirstColour) : 0.0;
  const double secondMean = measurable(kSecondColour) ? mean(kSecondColour) : 0.0;
  const double total = greenMean + secondMean + firstMean;
  const double k = 1.0 / ((total / greenMean) * (1.0 / 3.0));
  if (measurable(kFirstColour)) {
    block.gainBlue = TruncatedGain((total / firstMean) * (1.0 / 3.0) * k * 100.0);
  } else {
    bits |= kWhiteBalanceBlueKept;
  }
  if (measurable(kSecondColour)) {
    block.gainRed = TruncatedGain((total / secondMean) * (1.0 / 3.0) * k * 100.0);
  } else {
    bits |= kWhiteBalanceRedKept;
  }
  return bits;
}

int WhiteBalanceMeasure8(uint8_t* /*destination*/, const uint8_t* source,
                         const KernelRect& sourceRect, int /*destinationX*/,
                         int /*destinationY*/, int /*destinationBytesPerPixel*/,
                         int sourceBytesPerPixel, int /*destinationStride*/, int sourceStride,
                         void* parameter, void* /*extra*/) {
  return WhiteBalanceMeasureWith(source, sourceRect, 1, sourceBytesPerPixel, sourceStride,
                                 parameter, SumRowPlain<uint8_t>);
}

int WhiteBalanceMeasure16(uint8_t* /*destination*/, const uint8_t* source,
                          const KernelRect& sourceRect, int /*destinationX*/,
                          int /*destinationY*/, int /*destinationBytesPerPixel*/,
                          int sourceBytesPerPixel, int /*destinationStride*/, int sourceStride,
                          void* parameter, void* /*extra*/) {
  return WhiteBalanceMeasureWith(source, sourceRect, 2, sourceBytesPerPixel, sourceStride,
                                 parameter, SumRowPlain<uint16_t>);
}

RectangleKernel SelectWhiteBalanceMeasure8(uint32_t usableFeatures) {
#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
  if (usableFeatures & kFeatureAvx2) return WhiteBalanceMeasure8Avx2;
#endif
  (void)usableFeatures;
  return WhiteBalanceMeasure8;
}

RectangleKernel SelectWhiteBalanceMeasure16(uint32_t usableFeatures) {
#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
  if (usableFeatures & kFeatureAvx2) return WhiteBalanceMeasure16Avx2;
#endif
  (void)usableFeatures;
  return WhiteBalanceMeasure16;
}

}  // namespace zirvo
