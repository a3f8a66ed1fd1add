// Hot-pixel correction of a full 8-bit camera frame of a colour chart.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "convert/hot_pixel.h"
#include "convert/parameter_blocks.h"

namespace zirvo::bench {

// In demosaic_bench.cpp.
uint32_t BenchFeatures();
std::vector<uint8_t> ChartMosaic(int sampleBytes, uint32_t top);

namespace {

constexpr int kWidth = 4384;
constexpr int kHeight = 3288;

void HotPixelCorrect8(benchmark::State& state, RectangleKernel kernel) {
  const std::vector<uint8_t> scene = ChartMosaic(1, 255);
  std::vector<uint8_t> frame = scene;
  BayerBlock block{0, 135, 100, 180};
  int threshold = 30;
  const KernelRect rect{0, 0, kWidth, kHeight};
  int replaced = 0;
  for (auto _ : state) {
    state.PauseTiming();
    frame = scene;  // every pass sees the hot pixels afresh
    state.ResumeTiming();
    replaced = kernel(frame.data(), frame.data(), rect, 0, 0, 1, 1, kWidth, kWidth, &block,
                      &threshold);
    benchmark::DoNotOptimize(replaced);
  }
  state.counters["replaced"] = replaced;
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kWidth) * kHeight);
}

const bool kRegistered = [] {
  benchmark::RegisterBenchmark("HotPixelCorrect8", HotPixelCorrect8,
                               SelectHotPixelCorrect(BenchFeatures()))
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("HotPixelCorrect8Plain", HotPixelCorrect8, HotPixelCorrect)
      ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace zirvo::bench
