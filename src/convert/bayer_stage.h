// The Bayer stage: automatic white balance, then the demosaic of a raw frame
// into a colour bitmap.
#pragma once

#include <cstdint>

#include "convert/processor.h"
#include "display/kernel.h"

namespace zirvo {

class FrameBitmap;

// Highest gain the white balance may store (percent).
inline constexpr int32_t kMaximumBayerGain = 400;

struct BayerGains {
  int32_t red = 100;
  int32_t green = 100;
  int32_t blue = 100;
};

// The kernels of the stage for one sample depth, chosen once per camera.
struct BayerKernels {
  RectangleKernel whiteBalance8 = nullptr;
  RectangleKernel whiteBalance16 = nullptr;
  RectangleKernel inner8 = nullptr;
  RectangleKernel border8 = nullptr;
  RectangleKernel inner16 = nullptr;
  RectangleKernel border16 = nullptr;
};

BayerKernels SelectBayerKernels(uint32_t usableFeatures);

// Measures the white balance of the whole raw frame (8- or 16-bit samples).
// A gain that cannot be measured keeps its value in `gains`; each gain is
// then lowered to 400 if above. False when nothing could be measured.
bool MeasureWhiteBalance(const BayerKernels& kernels, const FrameBitmap& raw, int32_t bayerMode,
                         BayerGains& gains);

// The demosaic of `raw` into `colour` (the inner kernel, then the border),
// whole frame, with the given gains.
void DemosaicFrame(const BayerKernels& kernels, FrameBitmap& colour, const FrameBitmap& raw,
                   int32_t bayerMode, const BayerGains& gains);

// The same in two halves: the border strips alone, and the interior rows
// `firstRow` .. `endRow` - 1 (memory rows); firstRow must be even. Border and
// every band of the interior together write what DemosaicFrame writes.
void DemosaicBorder(const BayerKernels& kernels, FrameBitmap& colour, const FrameBitmap& raw,
                    int32_t bayerMode, const BayerGains& gains);
void DemosaicInnerRows(const BayerKernels& kernels, FrameBitmap& colour, const FrameBitmap& raw,
                       int32_t bayerMode, const BayerGains& gains, int32_t firstRow,
                       int32_t endRow);

}  // namespace zirvo
