// Gray filter, gain measurement and luminance on full frames.
#include <benchmark/benchmark.h>

#include "bench_frames.h"
#include "convert/gray_filter.h"
#include "convert/parameter_blocks.h"

namespace zirvo::bench {
namespace {

GrayBlock FilterBlock() { return {0, 140, 128, 120, 160, 3, 0, -2, 5}; }

void RunGrayFilter(benchmark::State& state, RectangleKernel kernel) {
  BenchFrame frame = MakeBenchFrame(1);
  GrayBlock block = FilterBlock();
  for (auto _ : state) {
    RunFrameKernel(kernel, frame, frame, &block);
    benchmark::DoNotOptimize(frame.Data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * frame.Bytes());
}

void GrayFilter8(benchmark::State& state) { RunGrayFilter(state, &zirvo::GrayFilter8); }
void GrayFilter8Mmx(benchmark::State& state) { RunGrayFilter(state, &zirvo::GrayFilter8Mmx); }
void GrayFilter8Sse2(benchmark::State& state) { RunGrayFilter(state, &zirvo::GrayFilter8Sse2); }

void GrayGainMeasure8(benchmark::State& state) {
  BenchFrame frame = MakeBenchFrame(1);
  for (auto _ : state) {
    GrayBlock block = FilterBlock();
    benchmark::DoNotOptimize(RunFrameKernel(&zirvo::GrayGainMeasure8, frame, frame, &block));
  }
  state.SetBytesProcessed(state.iterations() * frame.Bytes());
}

void RunLuminance(benchmark::State& state, RectangleKernel kernel) {
  BenchFrame colour = MakeBenchFrame(3);
  BenchFrame gray = MakeBenchFrame(1);
  for (auto _ : state) {
    RunFrameKernel(kernel, gray, colour);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * colour.Pixels());
}

void BgrToGray8(benchmark::State& state) { RunLuminance(state, &zirvo::BgrToGray8); }

void BgrToGray8Selected(benchmark::State& state) {
  ProcessorInfo processor{};
  DetectProcessor(&processor);
  RunLuminance(state, SelectBgrToGray8(processor));
}

BENCHMARK(GrayFilter8)->Unit(benchmark::kMillisecond);
BENCHMARK(GrayFilter8Mmx)->Unit(benchmark::kMillisecond);
BENCHMARK(GrayFilter8Sse2)->Unit(benchmark::kMillisecond);
BENCHMARK(GrayGainMeasure8)->Unit(benchmark::kMillisecond);
BENCHMARK(BgrToGray8)->Unit(benchmark::kMillisecond);
BENCHMARK(BgrToGray8Selected)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zirvo::bench
