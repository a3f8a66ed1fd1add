// White-balance measurement over full 8- and 16-bit camera frames.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "convert/parameter_blocks.h"
#include "convert/white_balance.h"

namespace zirvo::bench {

// In demosaic_bench.cpp.
uint32_t BenchFeatures();
std::vector<uint8_t> ChartMosaic(int sampleBytes, uint32_t top);

namespace {

constexpr int kWidth = 4384;
constexpr int kHeight = 3288;

void Measure(benchmark::State& state, RectangleKernel kernel, int sampleBytes) {
  const std::vector<uint8_t> frame = ChartMosaic(sampleBytes, sampleBytes == 1 ? 255 : 4095);
  const KernelRect rect{0, 0, kWidth, kHeight};
  WhiteBalanceResult result{100, 100, 100, 0};
  for (auto _ : state) {
    benchmark::DoNotOptimize(kernel(nullptr, frame.data(), rect, 0, 0, 0, sampleBytes, 0,
                                    kWidth * sampleBytes, &result, nullptr));
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kWidth) * kHeight *
                          sampleBytes);
}

const bool kRegistered = [] {
  const uint32_t features = BenchFeatures();
  benchmark::RegisterBenchmark("WhiteBalanceMeasure8", Measure,
                               SelectWhiteBalanceMeasure8(features), 1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("WhiteBalanceMeasure8Plain", Measure, WhiteBalanceMeasure8, 1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("WhiteBalanceMeasure16", Measure,
                               SelectWhiteBalanceMeasure16(features), 2)
      ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace zirvo::bench
