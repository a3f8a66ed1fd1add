// Every kernel a full colour frame passes with all filters on, one thread:
// hot pixels, demosaic, hue/saturation, gamma, contrast, sharpness with its
// copy, brightness.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "convert/brightness.h"
#include "convert/contrast.h"
#include "convert/demosaic.h"
#include "convert/gamma.h"
#include "convert/hot_pixel.h"
#include "convert/hue_saturation.h"
#include "convert/parameter_blocks.h"
#include "convert/sharpen.h"

namespace zirvo::bench {

// In demosaic_bench.cpp.
uint32_t BenchFeatures();
std::vector<uint8_t> ChartMosaic(int sampleBytes, uint32_t top);

namespace {

constexpr int kWidth = 4384;
constexpr int kHeight = 3288;
constexpr int kColourStride = (kWidth * 3 + 3) & ~3;

struct ColourKernels {
  RectangleKernel hotPixels;
  RectangleKernel demosaicInner;
  RectangleKernel demosaicBorder;
  RectangleKernel hueSaturation;
  RectangleKernel gamma;
  RectangleKernel contrast;
  RectangleKernel sharpen;
  RectangleKernel brightness;
};

ColourKernels SelectColourKernels(uint32_t features) {
  return {SelectHotPixelCorrect(features),      SelectDemosaicInner8(features),
          SelectDemosaicBorder8(features),      SelectHueSaturationBgr8(features),
          SelectGammaKernels(features).bgr8,    SelectContrastKernels(features).bgr8,
          SelectSharpenKernels(features).bgr8,  SelectBrightnessKernels(features).bgr8};
}

void FullColourFrameAllFilters(benchmark::State& state) {
  const ColourKernels kernels = SelectColourKernels(BenchFeatures());
  const std::vector<uint8_t> scene = ChartMosaic(1, 255);
  std::vector<uint8_t> raw = scene;
  std::vector<uint8_t> colour(static_cast<size_t>(kColourStride) * kHeight);
  std::vector<uint8_t> scratch(colour.size());
  const KernelRect whole{0, 0, kWidth, kHeight};

  BayerBlock bayer{0, 135, 100, 180};
  int threshold = 30;
  HueBlock hue{20, 0, 40, 8};
  ValueBlock gamma{120}, contrast{20}, sharpness{10}, brightness{15};

  auto inPlace = [&](RectangleKernel kernel, void* parameter) {
    kernel(colour.data(), colour.data(), whole, 0, 0, 3, 3, kColourStride, kColourStride, parameter,
           nullptr);
  };
  for (auto _ : state) {
    state.PauseTiming();
    raw = scene;  // the hot pixels are there again on every pass
    state.ResumeTiming();
    kernels.hotPixels(raw.data(), raw.data(), whole, 0, 0, 1, 1, kWidth, kWidth, &bayer, &threshold);
    kernels.demosaicInner(colour.data(), raw.data(), whole, 0, 0, 3, 1, kColourStride, kWidth, &bayer,
                          nullptr);
    kernels.demosaicBorder(colour.data(), raw.data(), whole, 0, 0, 3, 1, kColourStride, kWidth, &bayer,
                           nullptr);
    inPlace(kernels.hueSaturation, &hue);
    inPlace(kernels.gamma, &gamma);
    inPlace(kernels.contrast, &contrast);
    std::memcpy(scratch.data(), colour.data(), colour.size());
    kernels.sharpen(colour.data(), scratch.data(), whole, 0, 0, 3, 3, kColourStride, kColourStride,
                    &sharpness, nullptr);
    inPlace(kernels.brightness, &brightness);
    benchmark::DoNotOptimize(colour.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kWidth) * kHeight);
}

BENCHMARK(FullColourFrameAllFilters)->Unit(benchmark::kMillisecond);

// The same kernels and bytes, with the per-pixel stages between the demosaic
// and the sharpening copy run band by band, so that each band of rows passes
// hue/saturation, gamma and contrast while it is still in the cache.
void FullColourFrameAllFiltersBanded(benchmark::State& state) {
  const int bandRows = static_cast<int>(state.range(0));
  const ColourKernels kernels = SelectColourKernels(BenchFeatures());
  const std::vector<uint8_t> scene = ChartMosaic(1, 255);
  std::vector<uint8_t> raw = scene;
  std::vector<uint8_t> colour(static_cast<size_t>(kColourStride) * kHeight);
  std::vector<uint8_t> scratch(colour.size());
  const KernelRect whole{0, 0, kWidth, kHeight};

  BayerBlock bayer{0, 135, 100, 180};
  int threshold = 30;
  HueBlock hue{20, 0, 40, 8};
  ValueBlock gamma{120}, contrast{20}, sharpness{10}, brightness{15};

  auto inPlace = [&](RectangleKernel kernel, const KernelRect& rect, void* parameter) {
    kernel(colour.data(), colour.data(), rect, rect.left, rect.top, 3, 3, kColourStride,
           kColourStride, parameter, nullptr);
  };
  for (auto _ : state) {
    state.PauseTiming();
    raw = scene;
    state.ResumeTiming();
    kernels.hotPixels(raw.data(), raw.data(), whole, 0, 0, 1, 1, kWidth, kWidth, &bayer, &threshold);
    kernels.demosaicInner(colour.data(), raw.data(), whole, 0, 0, 3, 1, kColourStride, kWidth, &bayer,
                          nullptr);
    kernels.demosaicBorder(colour.data(), raw.data(), whole, 0, 0, 3, 1, kColourStride, kWidth, &bayer,
                           nullptr);
    for (int top = 0; top < kHeight; top += bandRows) {
      const KernelRect band{0, top, kWidth, std::min(kHeight, top + bandRows)};
      inPlace(kernels.hueSaturation, band, &hue);
      inPlace(kernels.gamma, band, &gamma);
      inPlace(kernels.contrast, band, &contrast);
      const size_t offset = static_cast<size_t>(band.top) * kColourStride;
      std::memcpy(scratch.data() + offset, colour.data() + offset,
                  static_cast<size_t>(band.Height()) * kColourStride);
    }
    kernels.sharpen(colour.data(), scratch.data(), whole, 0, 0, 3, 3, kColourStride, kColourStride,
                    &sharpness, nullptr);
    inPlace(kernels.brightness, whole, &brightness);
    benchmark::DoNotOptimize(colour.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kWidth) * kHeight);
}

BENCHMARK(FullColourFrameAllFiltersBanded)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zirvo::bench
