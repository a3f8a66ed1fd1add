// Demosaic of full camera frames (8-bit into 24 and 32 bits, 16-bit into 48), beside OpenCV's bilinear one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "convert/demosaic.h"
#include "convert/parameter_blocks.h"
#include "convert/processor.h"

#ifdef ZIRVO_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace zirvo::bench {

constexpr int kFrameWidth = 4384;
constexpr int kFrameHeight = 3288;

// Usable features of this processor, as the camera's detection would report them.
uint32_t BenchFeatures() {
  uint32_t features = kFeatureSse2;
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") &&
      __builtin_cpu_supports("bmi2")) {
    features |= kFeatureAvx2;
  }
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq")) {
    features |= kFeatureAvx512;
    if (__builtin_cpu_supports("avx512vbmi")) features |= kFeatureAvx512Vbmi;
  }
  return features;
}

// A colour chart of smooth patches seen through a mode-0 mosaic, with a few
// hot pixels; samples scaled to `top` (255 or 4095).
std::vector<uint8_t> ChartMosaic(int sampleBytes, uint32_t top) {
  static constexpr int kPatches[6][3] = {{200, 120, 90}, {60, 160, 220}, {240, 230, 60},
                                         {40, 40, 40},   {150, 60, 200}, {90, 220, 120}};
  std::vector<uint8_t> frame(static_cast<size_t>(kFrameWidth) * kFrameHeight * sampleBytes);
  std::mt19937 random(7730);
  std::uniform_int_distribution<int> hot(0, 20000);
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 0; x < kFrameWidth; ++x) {
      const int patch = (x * 6 / kFrameWidth + (y * 4 / kFrameHeight) * 2) % 6;
      const int colour = (x & 1) == (y & 1) ? 1 : ((y & 1) == 0 ? 2 : 0);
      const double shade = 0.75 + 0.25 * (x % 731) / 731.0;
      auto value = static_cast<uint32_t>(kPatches[patch][colour] * shade * top / 255.0);
      if (hot(random) == 0) value = top;
      const size_t index = static_cast<size_t>(y) * kFrameWidth + x;
      if (sampleBytes == 1) {
        frame[index] = static_cast<uint8_t>(std::min(value, top));
      } else {
        const auto word = static_cast<uint16_t>(std::min(value, top));
        frame[2 * index] = static_cast<uint8_t>(word);
        frame[2 * index + 1] = static_cast<uint8_t>(word >> 8);
      }
    }
  }
  return frame;
}

namespace {

void RunDemosaic(benchmark::State& state, RectangleKernel inner, RectangleKernel border,
                 int sampleBytes, int destinationBytes) {
  const std::vector<uint8_t> source =
      ChartMosaic(sampleBytes, sampleBytes == 1 ? 255 : 4095);
  const int destinationStride = (kFrameWidth * destinationBytes + 3) / 4 * 4;
  std::vector<uint8_t> destination(static_cast<size_t>(destinationStride) * kFrameHeight);
  BayerBlock block{0, 135, 100, 180};
  const KernelRect rect{0, 0, kFrameWidth, kFrameHeight};
  for (auto _ : state) {
    inner(destination.data(), source.data(), rect, 0, 0, destinationBytes, sampleBytes,
          destinationStride, kFrameWidth * sampleBytes, &block, nullptr);
    border(destination.data(), source.data(), rect, 0, 0, destinationBytes, sampleBytes,
           destinationStride, kFrameWidth * sampleBytes, &block, nullptr);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrameWidth * kFrameHeight);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFrameWidth) *
                          kFrameHeight * (sampleBytes + destinationBytes));
}

int NoKernel(uint8_t*, const uint8_t*, const KernelRect&, int, int, int, int, int, int, void*,
             void*) {
  return 1;
}

void RegisterDemosaic(const char* family, int sampleBytes, int destinationBytes) {
  const uint32_t features = BenchFeatures();
  const bool eight = sampleBytes == 1;
  struct Choice {
    const char* suffix;
    uint32_t features;
  };
  const Choice choices[] = {{"", features},
                            {"Avx2", features & (kFeatureSse2 | kFeatureAvx2)},
                            {"Plain", kFeatureSse2}};
  for (const Choice& choice : choices) {
    const bool sameAsSelected = choice.suffix[0] != '\0' && choice.features == features;
    const bool avx2Missing = choice.features != kFeatureSse2 && !(features & kFeatureAvx2);
    if (sameAsSelected || avx2Missing) continue;
    const RectangleKernel inner = eight ? SelectDemosaicInner8(choice.features)
                                        : SelectDemosaicInner16(choice.features);
    const RectangleKernel border = eight ? SelectDemosaicBorder8(choice.features)
                                         : SelectDemosaicBorder16(choice.features);
    const std::string name = std::string(family) + choice.suffix;
    benchmark::RegisterBenchmark(name.c_str(), RunDemosaic, inner, border, sampleBytes,
                                 destinationBytes)
        ->Unit(benchmark::kMillisecond);
  }
}

#ifdef ZIRVO_HAVE_OPENCV
void OpenCvBayer(benchmark::State& state, int sampleBytes) {
  cv::setNumThreads(1);
  std::vector<uint8_t> source = ChartMosaic(sampleBytes, sampleBytes == 1 ? 255 : 4095);
  const cv::Mat raw(kFrameHeight, kFrameWidth, sampleBytes == 1 ? CV_8UC1 : CV_16UC1,
                    source.data());
  cv::Mat bgr(kFrameHeight, kFrameWidth, sampleBytes == 1 ? CV_8UC3 : CV_16UC3);
  for (auto _ : state) {
    cv::cvtColor(raw, bgr, cv::COLOR_BayerGB2BGR);
    benchmark::DoNotOptimize(bgr.data);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFrameWidth * kFrameHeight);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFrameWidth) *
                          kFrameHeight * sampleBytes * 4);
}
#endif

const bool kRegistered = [] {
  RegisterDemosaic("Demosaic8To24", 1, 3);
  RegisterDemosaic("Demosaic8To32", 1, 4);
  RegisterDemosaic("Demosaic16To48", 2, 6);
  // The border alone: its share of the full demosaic.
  benchmark::RegisterBenchmark("DemosaicBorder8To24", RunDemosaic, NoKernel,
                               SelectDemosaicBorder8(BenchFeatures()), 1, 3)
      ->Unit(benchmark::kMillisecond);
#ifdef ZIRVO_HAVE_OPENCV
  benchmark::RegisterBenchmark("OpenCvBayerToBgr8", OpenCvBayer, 1)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("OpenCvBayerToBgr16", OpenCvBayer, 2)
      ->Unit(benchmark::kMillisecond);
#endif
  return true;
}();

}  // namespace
}  // namespace zirvo::bench
