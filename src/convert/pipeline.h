// ConversionPipeline: turns one raw frame into the output image of its colour
// mode, stage by stage, and reports what it measured on the way.
#pragma once

#include <array>
#include <cstdint>

#include "convert/auto_iris.h"
#include "convert/bayer_stage.h"
#include "convert/processor.h"
#include "convert/table_map.h"
#include "display/kernel.h"
#include "settings/settings_records.h"

namespace zirvo {

class FrameBitmap;

// Colour-mode codes, as the camera keeps them.
enum ColorModeCode : int32_t {
  kColorMode8 = 0,
  kColorMode16 = 1,
  kColorMode24 = 2,
  kColorMode32 = 3,
  kColorMode48 = 4,
  kColorMode64 = 5,
};

// Filter entries only the dialogs and the pipeline use: the white-balance
// "Once" markers and the gray-gain measurement counter (1 once, -1 every frame).
inline constexpr int kFilterWhiteBalanceOnceFirst = 26;
inline constexpr int kFilterWhiteBalanceOnceSecond = 27;
inline constexpr int kFilterGrayGainCounter = 29;

// The camera's bitmaps, borrowed for one frame. Which are used depends on the
// colour mode; the work window has the output bitmap's width and depth and
// ConversionPipeline::WorkRows rows (sharpening; a taller one serves too).
struct ConversionBitmaps {
  FrameBitmap* raw8 = nullptr;
  FrameBitmap* raw16 = nullptr;
  FrameBitmap* colour24 = nullptr;
  FrameBitmap* colour32 = nullptr;
  FrameBitmap* colour48 = nullptr;
  FrameBitmap* colour64 = nullptr;
  FrameBitmap* work = nullptr;
};

// One consistent set of the values a frame is converted with.
struct FrameSettings {
  FilterSettings filter;
  int32_t colorMode = kColorMode8;  // the mode the bitmaps were prepared for
  int32_t autoIris = 0;
};

// What a frame measured. The camera stores each group only where its stored
// values are still those of the frame's FrameSettings.
struct FrameMeasurements {
  AutoIrisOutcome autoIris;

  bool whiteBalanceMeasured = false;
  BayerGains whiteBalance;            // each at most 400
  bool whiteBalanceOnceDone = false;  // clear BayerGainAuto and both markers

  bool grayGainsMeasured = false;
  std::array<int32_t, 4> grayGains{};  // R, G1, G2, B
  int32_t grayGainCounter = 0;         // the counter after this frame
};

// The raw and output bitmap of a colour mode (the output is the raw bitmap
// itself in modes 8 and 16); null for a code outside 0..5.
FrameBitmap* RawBitmapFor(const ConversionBitmaps& bitmaps, int32_t colorMode);
FrameBitmap* OutputBitmapFor(const ConversionBitmaps& bitmaps, int32_t colorMode);

class ConversionPipeline {
 public:
  // Chooses every kernel's variant once from the processor's features.
  explicit ConversionPipeline(const ProcessorInfo& processor);

  // Converts the frame in `bitmaps` under `settings`: automatic exposure
  // (through `exposure`, may be null), hot pixels, gray filter or Bayer stage,
  // then hue/saturation, gamma, contrast, sharpness and brightness. Allocates
  // nothing; a frame whose bitmaps do not fit together is left as it is.
  FrameMeasurements Convert(const ConversionBitmaps& bitmaps, const FrameSettings& settings,
                            ExposureControl* exposure) const;

  // Rows per band of the per-pixel stages (odd counts are rounded down, at
  // least 2); 0 runs every stage over the whole frame, as far as the work
  // window allows; -1, the default, sizes bands to the cache. The bytes are
  // the same whichever is chosen.
  void SetBandRows(int32_t rows) { bandRows_ = rows; }

  // Rows of the work window that the bands over `output` need: a band and
  // two rows either side, at most the output's height.
  int32_t WorkRows(const FrameBitmap& output) const;

 private:
  struct ToneStages;
  // The sharpening's rows before it: the bitmap's memory row 0 holds frame
  // row `top`; rows above `sharpened` are done.
  struct SharpenWindow {
    FrameBitmap* bitmap;
    int32_t top;
    int32_t sharpened;
  };

  void CorrectHotPixels(FrameBitmap& raw, const FilterSettings& filter) const;
  void RunGrayFilter(FrameBitmap& raw, const FilterSettings& filter,
                     FrameMeasurements& measured) const;
  void RunGrayFromColour(FrameBitmap* colour24, FrameBitmap& raw, const FilterSettings& filter,
                         FrameMeasurements& measured) const;
  void MeasureBayerGains(const FrameBitmap& raw, const FilterSettings& filter, BayerGains& gains,
                         FrameMeasurements& measured) const;
  // The filters after the Bayer stage, band by band; with `mosaic` the
  // interior of each band is demosaiced from it first.
  void FilterOutput(FrameBitmap& output, const FrameBitmap* mosaic, FrameBitmap* work,
                    int32_t mode, const FilterSettings& filter, const BayerGains& gains) const;
  void CopyIntoWindow(const FrameBitmap& output, SharpenWindow& window, int32_t first, int32_t end) const;
  void MapIntoWindow(FrameBitmap& output, SharpenWindow& window, ToneStages& stages, int32_t first,
                     int32_t end) const;
  void SharpenAndBrighten(FrameBitmap& output, SharpenWindow& window, ToneStages& stages, int32_t upTo,
                          int32_t end) const;
  int32_t BandRowsFor(int32_t stride, int32_t height) const;
  // 8-bit samples: the per-sample table stages folded into one table.
  void ComposeTables(ToneStages& stages, int channels) const;

  BayerKernels bayer_;
  RectangleKernel hotPixels_ = nullptr;
  RectangleKernel grayGainMeasure_ = nullptr;
  RectangleKernel grayFilter_ = nullptr;
  RectangleKernel bgrToGray_ = nullptr;
  RectangleKernel hueSaturation8_ = nullptr;
  RectangleKernel hueSaturation16_ = nullptr;
  ToneKernels gamma_;
  ToneKernels contrast_;
  ToneKernels sharpen_;
  ToneKernels brightness_;
  ByteTablePass byteTablePass_ = nullptr;
  int32_t bandRows_ = -1;
  uint32_t usableFeatures_ = 0;  // the processor's, for kernels chosen per call
};

}  // namespace zirvo
