// The Bayer stage: white-balance measurement and demosaic over whole frames or bands of rows.
#include "convert/bayer_stage.h"

#include <algorithm>

#include "convert/demosaic.h"
#include "convert/parameter_blocks.h"
#include "convert/white_balance.h"
#include "display/frame_bitmap.h"

namespace zirvo {
namespace {

// The picture rectangle (top-down, as ApplyKernel takes it) of memory rows
// first .. end - 1 across the whole width.
KernelRect MemoryRows(const FrameBitmap& bitmap, int32_t first, int32_t end) {
  return KernelRect{0, bitmap.Height() - end, bitmap.Width(), bitmap.Height() - first};
}

bool IsSixteenBit(const FrameBitmap& raw) { return raw.BitsPerPixel() == 16; }

}  // namespace

BayerKernels SelectBayerKernels(uint32_t usableFeatures) {
  BayerKernels kernels;
  kernels.whiteBalance8 = SelectWhiteBalanceMeasure8(usableFeatures);
  kernels.whiteBalance16 = SelectWhiteBalanceMeasure16(usableFeatures);
  kernels.inner8 = SelectDemosaicInner8(usableFeatures);
  kernels.border8 = SelectDemosaicBorder8(usableFeatures);
  kernels.inner16 = SelectDemosaicInner16(usableFeatures);
  kernels.border16 = SelectDemosaicBorder16(usableFeatures);
  return kernels;
}

bool MeasureWhiteBalance(const BayerKernels& kernels, const FrameBitmap& raw, int32_t bayerMode,
                         BayerGains& gains) {
  // Filled with the gains in force, so a colour the frame cannot measure
  // (no samples, a zero mean) keeps its gain.
  WhiteBalanceResult block{gains.blue, gains.green, gains.red, bayerMode};
  RectangleKernel measure = IsSixteenBit(raw) ? kernels.whiteBalance16 : kernels.whiteBalance8;
  // The measurement reads its source only; the destination is the same frame.
  auto& frame = const_cast<FrameBitmap&>(raw);
  const int result = frame.ApplyKernel(measure, raw, nullptr, 0, 0, &block, nullptr);
  if ((result & kWhiteBalanceMeasured) == 0) return false;
  gains.blue = std::min(block.gainBlue, kMaximumBayerGain);
  gains.green = std::min(block.gainGreen, kMaximumBayerGain);
  gains.red = std::min(block.gainRed, kMaximumBayerGain);
  return true;
}

void DemosaicFrame(const BayerKernels& kernels, FrameBitmap& colour, const FrameBitmap& raw,
                   int32_t bayerMode, const BayerGains& gains) {
  BayerBlock block{bayerMode, gains.red, gains.green, gains.blue};
  const bool wide = IsSixteenBit(raw);
  colour.ApplyKernel(wide ? kernels.inner16 : kernels.inner8, raw, nullptr, 0, 0, &block, nullptr);
  colour.ApplyKernel(wide ? kernels.border16 : kernels.border8, raw, nullptr, 0, 0, &block, nullptr);
}

void DemosaicBorder(const BayerKernels& kernels, FrameBitmap& colour, const FrameBitmap& raw,
                    int32_t bayerMode, const BayerGains& gains) {
  BayerBlock block{bayerMode, gains.red, gains.green, gains.blue};
  colour.ApplyKernel(IsSixteenBit(raw) ? kernels.border16 : kernels.border8, raw, nullptr, 0, 0,
                     &block, nullptr);
}

void DemosaicInnerRows(const BayerKernels& kernels, FrameBitmap& colour, const FrameBitmap& raw,
                       int32_t bayerMode, const BayerGains& gains, int32_t firstRow,
                       int32_t endRow) {
  // The inner kernel writes its rectangle less two rows at either edge and
  // counts the Bayer phase from the rectangle's top: two rows of margin on
  // an even row keep both the rows written and the phase of the whole frame.
  const int32_t top = std::max(firstRow - 2, 0);
  const int32_t bottom = std::min(endRow + 2, raw.Height());
  if (bottom - top <= 4) return;
  BayerBlock block{bayerMode, gains.red, gains.green, gains.blue};
  const KernelRect rows = MemoryRows(raw, top, bottom);
  colour.ApplyKernel(IsSixteenBit(raw) ? kernels.inner16 : kernels.inner8, raw, &rows, rows.left,
                     rows.top, &block, nullptr);
}

}  // namespace zirvo
