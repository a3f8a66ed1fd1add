// Every kernel a full colour frame passes with all filters on, one thread:
// hot pixels, demosaic, hue/saturation, gamma, contrast, sharpness with its
// copy, brightness; then the camera's pipeline itself in every colour mode.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "convert/auto_iris.h"
#include "convert/brightness.h"
#include "convert/contrast.h"
#include "convert/demosaic.h"
#include "convert/gamma.h"
#include "convert/hot_pixel.h"
#include "convert/hue_saturation.h"
#include "convert/parameter_blocks.h"
#include "convert/pipeline.h"
#include "convert/sharpen.h"
#include "display/frame_bitmap.h"

namespace zirvo::bench {

// In demosaic_bench.cpp.
uint32_t BenchFeatures();
std::vector<uint8_t> ChartMosaic(int sampleBytes, uint32_t top);

namespace {

constexpr int kWidth = 4384;
constexpr int kHeight = 3288;
constexpr int kColourStride = (kWidth * 3 + 3) & ~3;
constexpr KernelRect kWhole{0, 0, kWidth, kHeight};

// One colour frame on its way through the kernels, with every filter on.
class ColourFrame {
 public:
  ColourFrame()
      : scene_(ChartMosaic(1, 255)),
        raw_(scene_),
        colour_(static_cast<size_t>(kColourStride) * kHeight),
        scratch_(colour_.size()) {
    const uint32_t features = BenchFeatures();
    hotPixels_ = SelectHotPixelCorrect(features);
    demosaicInner_ = SelectDemosaicInner8(features);
    demosaicBorder_ = SelectDemosaicBorder8(features);
    hueSaturation_ = SelectHueSaturationBgr8(features);
    gammaKernel_ = SelectGammaKernels(features).bgr8;
    contrastKernel_ = SelectContrastKernels(features).bgr8;
    sharpenKernel_ = SelectSharpenKernels(features).bgr8;
    brightnessKernel_ = SelectBrightnessKernels(features).bgr8;
  }

  // The hot pixels are there again on every pass.
  void Restore() { raw_ = scene_; }

  void CorrectAndDemosaic() {
    hotPixels_(raw_.data(), raw_.data(), kWhole, 0, 0, 1, 1, kWidth, kWidth, &bayer_, &threshold_);
    demosaicInner_(colour_.data(), raw_.data(), kWhole, 0, 0, 3, 1, kColourStride, kWidth, &bayer_,
                   nullptr);
    demosaicBorder_(colour_.data(), raw_.data(), kWhole, 0, 0, 3, 1, kColourStride, kWidth, &bayer_,
                    nullptr);
  }

  // Hue/saturation, gamma and contrast over `rows`, then its copy for the sharpening.
  void ToneAndCopy(const KernelRect& rows) {
    InPlace(hueSaturation_, rows, &hue_);
    InPlace(gammaKernel_, rows, &gamma_);
    InPlace(contrastKernel_, rows, &contrast_);
    const size_t offset = static_cast<size_t>(rows.top) * kColourStride;
    std::memcpy(scratch_.data() + offset, colour_.data() + offset,
                static_cast<size_t>(rows.Height()) * kColourStride);
  }

  void SharpenAndBrighten() {
    sharpenKernel_(colour_.data(), scratch_.data(), kWhole, 0, 0, 3, 3, kColourStride, kColourStride,
                   &sharpness_, nullptr);
    InPlace(brightnessKernel_, kWhole, &brightness_);
  }

  const uint8_t* Pixels() const { return colour_.data(); }

 private:
  void InPlace(RectangleKernel kernel, const KernelRect& rows, void* parameter) {
    kernel(colour_.data(), colour_.data(), rows, rows.left, rows.top, 3, 3, kColourStride,
           kColourStride, parameter, nullptr);
  }

  std::vector<uint8_t> scene_, raw_, colour_, scratch_;
  RectangleKernel hotPixels_, demosaicInner_, demosaicBorder_, hueSaturation_, gammaKernel_,
      contrastKernel_, sharpenKernel_, brightnessKernel_;
  BayerBlock bayer_{0, 135, 100, 180};
  int threshold_ = 30;
  HueBlock hue_{20, 0, 40, 8};
  ValueBlock gamma_{120}, contrast_{20}, sharpness_{10}, brightness_{15};
};

// Each stage over the whole frame, one after the other. With range(0) > 0 the
// per-pixel stages between the demosaic and the sharpening copy run band by
// band of that many rows instead, each band passing them while it is still
// in the cache; the bytes are the same.
void RunColourPipeline(benchmark::State& state) {
  const int bandRows = static_cast<int>(state.range(0));
  ColourFrame frame;
  for (auto _ : state) {
    state.PauseTiming();
    frame.Restore();
    state.ResumeTiming();
    frame.CorrectAndDemosaic();
    if (bandRows == 0) {
      frame.ToneAndCopy(kWhole);
    } else {
      for (int top = 0; top < kHeight; top += bandRows) {
        frame.ToneAndCopy(KernelRect{0, top, kWidth, std::min(kHeight, top + bandRows)});
      }
    }
    frame.SharpenAndBrighten();
    benchmark::DoNotOptimize(frame.Pixels());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kWidth) * kHeight);
}

BENCHMARK(RunColourPipeline)->Name("FullColourFrameAllFilters")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(RunColourPipeline)->Name("FullColourFrameAllFiltersBanded")->Arg(32)->Arg(64)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zirvo::bench

// The camera's conversion pipeline on full frames of every colour mode:
// "neutral" runs what every frame gets (hot pixels, and the demosaic in the
// colour modes), "all" every filter; automatic exposure alone beside them.
namespace zirvo::bench {
namespace {

constexpr int kModeBits[] = {8, 16, 24, 32, 48, 64};

ProcessorInfo BenchProcessor() {
  ProcessorInfo processor{};
  processor.reportedFeatures = processor.verifiedFeatures = BenchFeatures() | kFeatureMmx;
  return processor;
}

FilterSettings BenchFilter(bool all) {
  FilterSettings filter;
  filter[kFilterGainRed] = 135;
  filter[kFilterGainGreen] = 100;
  filter[kFilterGainBlue] = 180;
  filter[kFilterGamma] = 100;
  if (!all) return filter;
  filter[kFilterHue] = 20;
  filter[kFilterSaturation] = 40;
  filter[kFilterGamma] = 120;
  filter[kFilterContrast] = 20;
  filter[kFilterSharpness] = 10;
  filter[kFilterBrightness] = 15;
  return filter;
}

// The bitmaps of one colour mode at full size, as the camera prepares them.
struct ModeFrames {
  explicit ModeFrames(int mode) {
    const bool wide = mode == kColorMode16 || mode >= kColorMode48;
    raw.Create(kWidth, kHeight, wide ? 16 : 8);
    if (mode >= kColorMode24) output.Create(kWidth, kHeight, kModeBits[mode]);
    scene = ChartMosaic(wide ? 2 : 1, wide ? 1023 : 255);
    (wide ? bitmaps.raw16 : bitmaps.raw8) = &raw;
    if (mode == kColorMode24) bitmaps.colour24 = &output;
    if (mode == kColorMode32) bitmaps.colour32 = &output;
    if (mode == kColorMode48) bitmaps.colour48 = &output;
    if (mode == kColorMode64) bitmaps.colour64 = &output;
    bitmaps.work = &work;
  }

  // Spreads the packed scene to the raw bitmap's stride: the hot pixels are
  // there again on every pass.
  void Restore() {
    const size_t row = static_cast<size_t>(raw.Width()) * raw.BytesPerPixel();
    for (int32_t y = 0; y < raw.Height(); ++y)
      std::memcpy(raw.Pixels() + static_cast<size_t>(y) * raw.Stride(), scene.data() + y * row, row);
  }

  FrameBitmap raw, output, work;
  std::vector<uint8_t> scene;
  ConversionBitmaps bitmaps;
};

// bandRows < 0: the pipeline's own bands; 0: every stage over the whole frame.
void RunPipeline(benchmark::State& state, int mode, bool all, int bandRows) {
  ModeFrames frames(mode);
  ConversionPipeline pipeline(BenchProcessor());
  if (bandRows >= 0) pipeline.SetBandRows(bandRows);
  // The work window as the camera sizes it.
  const FrameBitmap& output = mode >= kColorMode24 ? frames.output : frames.raw;
  frames.work.Create(kWidth, pipeline.WorkRows(output), output.BitsPerPixel());
  FrameSettings settings;
  settings.filter = BenchFilter(all);
  settings.colorMode = mode;
  for (auto _ : state) {
    state.PauseTiming();
    frames.Restore();
    state.ResumeTiming();
    benchmark::DoNotOptimize(pipeline.Convert(frames.bitmaps, settings, nullptr));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kWidth) * kHeight);
}

// Gain mode on a scene inside the dead band: the measurement is the cost.
class StillControl final : public ExposureControl {
 public:
  int GetGlobalGain() override { return 100; }
  int SetGlobalGain(int) override { return 1; }
  int GetExposure(int* value) override {
    *value = 600;
    return 1;
  }
  int SetExposure(int) override { return 1; }
};

void RunAutoIris(benchmark::State& state, int bits) {
  FrameBitmap raw;
  raw.Create(kWidth, kHeight, bits);
  const std::vector<uint8_t> scene = ChartMosaic(bits / 8, bits == 8 ? 255 : 1023);
  std::memcpy(raw.Pixels(), scene.data(), std::min(scene.size(), static_cast<size_t>(raw.Stride()) * kHeight));
  StillControl control;
  for (auto _ : state) benchmark::DoNotOptimize(AutoIrisStep(&raw, kAutoIrisModeGain, &control, BenchFeatures()));
  state.SetItemsProcessed(state.iterations());
}

const bool kPipelineRegistered = [] {
  for (int mode = 0; mode < 6; ++mode) {
    for (bool all : {false, true}) {
      const std::string name =
          "Pipeline/" + std::to_string(kModeBits[mode]) + (all ? "/all" : "/neutral");
      benchmark::RegisterBenchmark(name.c_str(), RunPipeline, mode, all, -1)->Unit(benchmark::kMillisecond);
    }
  }
  // The same stages one whole frame after another, for the gain of the bands.
  benchmark::RegisterBenchmark("Pipeline/24/all/whole-frames", RunPipeline, kColorMode24, true, 0)
      ->Unit(benchmark::kMillisecond);
  // Band heights against the second-level cache: each band and its work window
  // should stay there between the stages.
  for (int rows : {8, 16, 24, 32, 48, 64, 96}) {
    const std::string name = "Pipeline/24/all/band-rows:" + std::to_string(rows);
    benchmark::RegisterBenchmark(name.c_str(), RunPipeline, kColorMode24, true, rows)->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("AutoIris/8", RunAutoIris, 8)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("AutoIris/16", RunAutoIris, 16)->Unit(benchmark::kMicrosecond);
  return true;
}();

}  // namespace
}  // namespace zirvo::bench
