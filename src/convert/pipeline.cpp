// The per-frame stage list: which kernel runs on which bitmap, in which order, under which condition.
#include "convert/pipeline.h"

#include <algorithm>
#include <cstring>

#include "convert/brightness.h"
#include "convert/contrast.h"
#include "convert/gamma.h"
#include "convert/gray_filter.h"
#include "convert/hot_pixel.h"
#include "convert/hue_saturation.h"
#include "convert/parameter_blocks.h"
#include "convert/sharpen.h"
#include "convert/table_map.h"
#include "display/frame_bitmap.h"

namespace zirvo {
namespace {

constexpr int32_t kHotPixelThreshold = 30;
constexpr int32_t kNeutralGrayGain = 128;
constexpr int32_t kNeutralGamma = 100;
// Bytes of output per band: the band and its work window stay in a core's
// second-level cache between the stages. At least kMinimumBandRows rows, as
// the 16-bit kernels build tables of up to 4096 entries on every call.
constexpr int64_t kBandBytes = 128 * 1024;
constexpr int32_t kMinimumBandRows = 16;
// Rows the sharpening window holds beyond its band: two above, two below.
constexpr int32_t kWindowMarginRows = 4;

int BitsOfOutput(int32_t colorMode) {
  constexpr int kBits[] = {8, 16, 24, 32, 48, 64};
  return colorMode >= 0 && colorMode < 6 ? kBits[colorMode] : 0;
}

bool IsColour(int32_t colorMode) { return colorMode >= kColorMode24 && colorMode <= kColorMode64; }
bool HasWideSamples(int32_t colorMode) {
  return colorMode == kColorMode16 || colorMode == kColorMode48 || colorMode == kColorMode64;
}

bool HasPixels(const FrameBitmap* bitmap, int bits) {
  return bitmap != nullptr && bitmap->Pixels() != nullptr && bitmap->BitsPerPixel() == bits &&
         bitmap->Width() > 0 && bitmap->Height() > 0;
}

bool SameSize(const FrameBitmap& a, const FrameBitmap& b) {
  return a.Width() == b.Width() && a.Height() == b.Height();
}

// A work window of the output's format, either of the whole frame's height or
// tall enough for a band of two rows and its margins.
bool IsUsableWindow(const FrameBitmap* work, const FrameBitmap& output) {
  return work != nullptr && work->Pixels() != nullptr && work->Width() == output.Width() &&
         work->BitsPerPixel() == output.BitsPerPixel() &&
         work->Height() >= std::min(output.Height(), 2 + kWindowMarginRows);
}

// The picture rectangle (top-down, as ApplyKernel takes it) of memory rows
// first .. end - 1 across the whole width.
KernelRect MemoryRows(const FrameBitmap& bitmap, int32_t first, int32_t end) {
  return KernelRect{0, bitmap.Height() - end, bitmap.Width(), bitmap.Height() - first};
}

int InPlace(FrameBitmap& bitmap, RectangleKernel kernel, const KernelRect& rows, void* parameter) {
  return bitmap.ApplyKernel(kernel, bitmap, &rows, rows.left, rows.top, parameter, nullptr);
}

BayerGains GainsOf(const FilterSettings& filter) {
  return BayerGains{filter[kFilterGainRed], filter[kFilterGainGreen], filter[kFilterGainBlue]};
}

struct ComposedTable {
  uint8_t table[256];
  int channels;
  ByteTablePass pass;
};

// A rectangle kernel mapping each sample through a ComposedTable.
int MapComposedTable(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                     int destinationX, int destinationY, int destinationStep, int sourceStep,
                     int destinationStride, int sourceStride, void* parameter, void*) {
  const auto& composed = *static_cast<const ComposedTable*>(parameter);
  return RunByteTablePass(MakePixelWalk(destination, source, rect, destinationX, destinationY,
                                        destinationStep, sourceStep, destinationStride, sourceStride),
                          composed.channels, composed.table, composed.pass);
}

void ComposeWith(uint8_t (&composed)[256], const uint8_t* table) {
  for (uint8_t& value : composed) value = table[value];
}

}  // namespace

// The filters after the Bayer stage, each only where its setting is away
// from neutral.
struct ConversionPipeline::ToneStages {
  RectangleKernel hueSaturation = nullptr;
  HueBlock hue{};
  // 8-bit samples: gamma, contrast and (without sharpening between them)
  // brightness are each a table of the sample alone, so one table made of
  // them in their order does all of them in one pass.
  RectangleKernel composed = nullptr;
  ComposedTable composedTable{};
  RectangleKernel gamma = nullptr;
  ValueBlock gammaValue{};
  RectangleKernel contrast = nullptr;
  ValueBlock contrastValue{};
  RectangleKernel sharpen = nullptr;
  ValueBlock sharpenValue{};
  RectangleKernel brightness = nullptr;
  ValueBlock brightnessValue{};
};

FrameBitmap* RawBitmapFor(const ConversionBitmaps& bitmaps, int32_t colorMode) {
  if (colorMode < kColorMode8 || colorMode > kColorMode64) return nullptr;
  return HasWideSamples(colorMode) ? bitmaps.raw16 : bitmaps.raw8;
}

FrameBitmap* OutputBitmapFor(const ConversionBitmaps& bitmaps, int32_t colorMode) {
  switch (colorMode) {
    case kColorMode8: return bitmaps.raw8;
    case kColorMode16: return bitmaps.raw16;
    case kColorMode24: return bitmaps.colour24;
    case kColorMode32: return bitmaps.colour32;
    case kColorMode48: return bitmaps.colour48;
    case kColorMode64: return bitmaps.colour64;
    default: return nullptr;
  }
}

ConversionPipeline::ConversionPipeline(const ProcessorInfo& processor) {
  const uint32_t usable = UsableFeatures(processor);
  usableFeatures_ = usable;
  bayer_ = SelectBayerKernels(usable);
  hotPixels_ = SelectHotPixelCorrect(usable);
  grayGainMeasure_ = &GrayGainMeasure8;
  grayFilter_ = SelectGrayFilter8(processor);
  bgrToGray_ = SelectBgrToGray8(processor);
  hueSaturation8_ = SelectHueSaturationBgr8(usable);
  hueSaturation16_ = SelectHueSaturationBgr16(usable);
  gamma_ = SelectGammaKernels(usable);
  contrast_ = SelectContrastKernels(usable);
  sharpen_ = SelectSharpenKernels(usable);
  brightness_ = SelectBrightnessKernels(usable);
  byteTablePass_ = SelectByteTablePass(usable);
}

FrameMeasurements ConversionPipeline::Convert(const ConversionBitmaps& bitmaps,
                                              const FrameSettings& settings,
                                              ExposureControl* exposure) const {
  const FilterSettings& filter = settings.filter;
  const int32_t mode = settings.colorMode;
  FrameMeasurements measured;
  measured.grayGainCounter = filter[kFilterGrayGainCounter];

  FrameBitmap* raw = RawBitmapFor(bitmaps, mode);
  FrameBitmap* output = OutputBitmapFor(bitmaps, mode);
  measured.autoIris = AutoIrisStep(raw, settings.autoIris, exposure, usableFeatures_);
  if (!HasPixels(raw, HasWideSamples(mode) ? 16 : 8) || !HasPixels(output, BitsOfOutput(mode)) ||
      !SameSize(*raw, *output))
    return measured;

  CorrectHotPixels(*raw, filter);
  if (mode == kColorMode8 && filter[kFilterGrayMode] == 1) RunGrayFilter(*raw, filter, measured);
  if (mode == kColorMode8 && filter[kFilterGrayMode] == 2)
    RunGrayFromColour(bitmaps.colour24, *raw, filter, measured);

  const bool colour = IsColour(mode);
  BayerGains gains = GainsOf(filter);
  if (colour) {
    MeasureBayerGains(*raw, filter, gains, measured);
    DemosaicBorder(bayer_, *output, *raw, filter[kFilterBayerMode], gains);
  }
  FilterOutput(*output, colour ? raw : nullptr, bitmaps.work, mode, filter, gains);
  return measured;
}

void ConversionPipeline::CorrectHotPixels(FrameBitmap& raw, const FilterSettings& filter) const {
  BayerBlock block{filter[kFilterBayerMode], filter[kFilterGainRed], filter[kFilterGainGreen],
                   filter[kFilterGainBlue]};
  int threshold = kHotPixelThreshold;
  raw.ApplyKernel(hotPixels_, raw, nullptr, 0, 0, &block, &threshold);
}

void ConversionPipeline::RunGrayFilter(FrameBitmap& raw, const FilterSettings& filter,
                                       FrameMeasurements& measured) const {
  GrayBlock block{filter[kFilterBayerMode],    filter[kFilterGrayGainR],   filter[kFilterGrayGainG1],
                  filter[kFilterGrayGainG2],   filter[kFilterGrayGainB],   filter[kFilterGrayOffsetR],
                  filter[kFilterGrayOffsetG1], filter[kFilterGrayOffsetG2], filter[kFilterGrayOffsetB]};
  const int32_t counter = filter[kFilterGrayGainCounter];
  if (counter != 0) {
    raw.ApplyKernel(grayGainMeasure_, raw, nullptr, 0, 0, &block, nullptr);
    measured.grayGainsMeasured = true;
    measured.grayGains = {block.gainR, block.gainG1, block.gainG2, block.gainB};
    // "All frames" is any negative count: it stays where it is rather than
    // running down towards the wrap-around.
    measured.grayGainCounter = counter > 0 ? counter - 1 : counter;
  }
  const bool neutral = block.gainR == kNeutralGrayGain && block.gainG1 == kNeutralGrayGain &&
                       block.gainG2 == kNeutralGrayGain && block.gainB == kNeutralGrayGain;
  if (!neutral) raw.ApplyKernel(grayFilter_, raw, nullptr, 0, 0, &block, nullptr);
}

void ConversionPipeline::RunGrayFromColour(FrameBitmap* colour24, FrameBitmap& raw,
                                           const FilterSettings& filter,
                                           FrameMeasurements& measured) const {
  if (!HasPixels(colour24, 24) || !SameSize(*colour24, raw)) return;
  BayerGains gains = GainsOf(filter);
  MeasureBayerGains(raw, filter, gains, measured);
  DemosaicFrame(bayer_, *colour24, raw, filter[kFilterBayerMode], gains);
  raw.ApplyKernel(bgrToGray_, *colour24, nullptr, 0, 0, nullptr, nullptr);
}

void ConversionPipeline::MeasureBayerGains(const FrameBitmap& raw, const FilterSettings& filter,
                                           BayerGains& gains, FrameMeasurements& measured) const {
  if (filter[kFilterAutoWhiteBalance] == 0) return;
  if (MeasureWhiteBalance(bayer_, raw, filter[kFilterBayerMode], gains)) {
    measured.whiteBalanceMeasured = true;
    measured.whiteBalance = gains;
  }
  measured.whiteBalanceOnceDone = filter[kFilterWhiteBalanceOnceFirst] != 0 &&
                                  filter[kFilterWhiteBalanceOnceSecond] != 0;
}

void ConversionPipeline::FilterOutput(FrameBitmap& output, const FrameBitmap* mosaic,
                                      FrameBitmap* work, int32_t mode, const FilterSettings& filter,
                                      const BayerGains& gains) const {
  const bool wide = HasWideSamples(mode);
  const bool colour = IsColour(mode);
  auto pick = [&](const ToneKernels& kernels) {
    if (colour) return wide ? kernels.bgr16 : kernels.bgr8;
    return wide ? kernels.mono16 : kernels.mono8;
  };
  ToneStages stages;
  if (colour && (filter[kFilterHue] != 0 || filter[kFilterSaturation] != 0)) {
    stages.hueSaturation = wide ? hueSaturation16_ : hueSaturation8_;
    stages.hue = HueBlock{filter[kFilterHue], 0, filter[kFilterSaturation], wide ? 12 : 8};
  }
  if (filter[kFilterGamma] != kNeutralGamma) {
    stages.gamma = pick(gamma_);
    stages.gammaValue.value = filter[kFilterGamma];
  }
  if (filter[kFilterContrast] != 0) {
    stages.contrast = pick(contrast_);
    stages.contrastValue.value = filter[kFilterContrast];
  }
  // Sharpening reads the rows around its band as they were before it: without
  // a work window of the output's format it cannot run.
  if (filter[kFilterSharpness] != 0 && IsUsableWindow(work, output)) {
    stages.sharpen = pick(sharpen_);
    stages.sharpenValue.value = filter[kFilterSharpness];
  }
  if (filter[kFilterBrightness] != 0) {
    stages.brightness = pick(brightness_);
    stages.brightnessValue.value = filter[kFilterBrightness];
  }

  if (!wide) ComposeTables(stages, colour ? 3 : 1);

  const int32_t height = output.Height();
  const bool anyStage = stages.hueSaturation || stages.composed || stages.gamma || stages.contrast ||
                        stages.sharpen || stages.brightness;
  // Without a stage nothing is kept in the cache between stages.
  int32_t band = anyStage ? BandRowsFor(output.Stride(), height) : height;
  // A window smaller than the frame holds at most its rows less the margins.
  if (stages.sharpen && work->Height() < height)
    band = std::min(band, (work->Height() - kWindowMarginRows) & ~1);
  const int32_t bayerMode = filter[kFilterBayerMode];

  // Every stage but the sharpening works pixel by pixel, so a band may pass
  // all of them before the next band starts. Sharpening a row reads the row
  // below it and its rectangle reaches one more, so it trails two rows behind
  // and takes the band while it is still in the cache.
  // With a table last before the sharpening, the table writes the band into
  // the window at once, and into the output only where the sharpening leaves
  // the output alone (kernels that write nothing on narrow frames excepted).
  const bool mapIntoWindow = stages.sharpen && stages.composed && !stages.gamma && !stages.contrast &&
                             output.Width() >= 5 && height >= 5;
  SharpenWindow window{work, 0, 0};
  for (int32_t top = 0; top < height; top += band) {
    const int32_t end = std::min(height, top + band);
    if (mosaic != nullptr) DemosaicInnerRows(bayer_, output, *mosaic, bayerMode, gains, top, end);
    const KernelRect rows = MemoryRows(output, top, end);
    if (stages.hueSaturation) InPlace(output, stages.hueSaturation, rows, &stages.hue);
    if (stages.composed && !mapIntoWindow) InPlace(output, stages.composed, rows, &stages.composedTable);
    if (stages.gamma) InPlace(output, stages.gamma, rows, &stages.gammaValue);
    if (stages.contrast) InPlace(output, stages.contrast, rows, &stages.contrastValue);
    if (stages.sharpen == nullptr) {
      if (stages.brightness) InPlace(output, stages.brightness, rows, &stages.brightnessValue);
      continue;
    }
    if (mapIntoWindow) {
      MapIntoWindow(output, window, stages, top, end);
    } else {
      CopyIntoWindow(output, window, top, end);
    }
    const int32_t upTo = end == height ? height : end - 2;
    if (upTo > window.sharpened) SharpenAndBrighten(output, window, stages, upTo, end);
  }
}

void ConversionPipeline::CopyIntoWindow(const FrameBitmap& output, SharpenWindow& window, int32_t first,
                                        int32_t end) const {
  const size_t stride = static_cast<size_t>(output.Stride());
  std::memcpy(window.bitmap->Pixels() + static_cast<size_t>(first - window.top) * stride,
              output.Pixels() + static_cast<size_t>(first) * stride, static_cast<size_t>(end - first) * stride);
}

void ConversionPipeline::MapIntoWindow(FrameBitmap& output, SharpenWindow& window, ToneStages& stages,
                                       int32_t first, int32_t end) const {
  FrameBitmap& bitmap = *window.bitmap;
  const KernelRect rows = MemoryRows(output, first, end);
  bitmap.ApplyKernel(stages.composed, output, &rows, 0, bitmap.Height() - (end - window.top),
                     &stages.composedTable, nullptr);
  // What the sharpening never writes: the first and last two rows of the
  // frame and the first and last two columns of every row.
  const int32_t height = output.Height();
  const int32_t width = output.Width();
  const int32_t innerFirst = std::clamp(first, 2, height - 2);
  const int32_t innerEnd = std::clamp(end, 2, height - 2);
  if (first < innerFirst) InPlace(output, stages.composed, MemoryRows(output, first, innerFirst), &stages.composedTable);
  if (innerFirst < innerEnd) {
    KernelRect columns = MemoryRows(output, innerFirst, innerEnd);
    columns.right = 2;
    InPlace(output, stages.composed, columns, &stages.composedTable);
    columns.left = width - 2;
    columns.right = width;
    InPlace(output, stages.composed, columns, &stages.composedTable);
  }
  const int32_t lastFirst = std::max(innerEnd, first);
  if (lastFirst < end) InPlace(output, stages.composed, MemoryRows(output, lastFirst, end), &stages.composedTable);
}

void ConversionPipeline::ComposeTables(ToneStages& stages, int channels) const {
  uint8_t(&composed)[256] = stages.composedTable.table;
  for (int value = 0; value < 256; ++value) composed[value] = static_cast<uint8_t>(value);
  uint8_t table[256];
  bool any = false;
  if (stages.gamma) {
    ComposeWith(composed, GammaTable8(stages.gammaValue.value));
    stages.gamma = nullptr;
    any = true;
  }
  if (stages.contrast) {
    BuildContrastTable8(stages.contrastValue.value, table);
    ComposeWith(composed, table);
    stages.contrast = nullptr;
    any = true;
  }
  if (stages.brightness && !stages.sharpen) {
    BuildBrightnessTable8(stages.brightnessValue.value, table);
    ComposeWith(composed, table);
    stages.brightness = nullptr;
    any = true;
  }
  if (!any) return;
  stages.composed = MapComposedTable;
  stages.composedTable.channels = channels;
  stages.composedTable.pass = byteTablePass_;
}

void ConversionPipeline::SharpenAndBrighten(FrameBitmap& output, SharpenWindow& window, ToneStages& stages,
                                            int32_t upTo, int32_t end) const {
  // The window holds frame rows window.top .. end - 1 unsharpened. The kernel
  // leaves two rows at either edge of its rectangle alone and reads rows
  // y - 2 .. y + 1 for row y, so over them it writes exactly rows
  // window.sharpened .. upTo - 1 (upTo is end - 2, or the frame's height),
  // as over the whole frame.
  FrameBitmap& bitmap = *window.bitmap;
  const int32_t rows = end - window.top;
  const KernelRect source{0, bitmap.Height() - rows, bitmap.Width(), bitmap.Height()};
  output.ApplyKernel(stages.sharpen, bitmap, &source, 0, output.Height() - end, &stages.sharpenValue, nullptr);
  if (stages.brightness)
    InPlace(output, stages.brightness, MemoryRows(output, window.sharpened, upTo), &stages.brightnessValue);
  // The next rectangle starts two rows above the next row to sharpen.
  if (end < output.Height()) {
    const int32_t nextTop = upTo - 2;
    const size_t stride = static_cast<size_t>(output.Stride());
    std::memmove(bitmap.Pixels(), bitmap.Pixels() + static_cast<size_t>(nextTop - window.top) * stride,
                 static_cast<size_t>(end - nextTop) * stride);
    window.top = nextTop;
  }
  window.sharpened = upTo;
}

int32_t ConversionPipeline::BandRowsFor(int32_t stride, int32_t height) const {
  int32_t band = bandRows_;
  if (band < 0) band = static_cast<int32_t>(std::max<int64_t>(kMinimumBandRows, kBandBytes / std::max(stride, 1)));
  // Bands start on even rows, where the Bayer phase of the whole frame is.
  return band == 0 || band >= height ? height : std::max(2, band & ~1);
}

int32_t ConversionPipeline::WorkRows(const FrameBitmap& output) const {
  if (output.Height() <= 0) return 0;
  return std::min(output.Height(), BandRowsFor(output.Stride(), output.Height()) + kWindowMarginRows);
}

}  // namespace zirvo
