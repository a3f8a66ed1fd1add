// Sample-depth reductions and expansions on full frames.
#include <benchmark/benchmark.h>

#include "bench_frames.h"
#include "convert/sample_depth.h"

namespace zirvo::bench {
namespace {

void RunConversion(benchmark::State& state, RectangleKernel kernel, int sourceBytes,
                   int destinationBytes) {
  BenchFrame source = MakeBenchFrame(sourceBytes, 1, 4096);
  BenchFrame destination = MakeBenchFrame(destinationBytes);
  for (auto _ : state) {
    RunFrameKernel(kernel, destination, source);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * source.Pixels());
}

void ReduceMono16Shift4(benchmark::State& state) {
  RunConversion(state, &zirvo::ReduceMono16Shift4, 2, 1);
}
void ReduceMono16Shift2(benchmark::State& state) {
  RunConversion(state, &zirvo::ReduceMono16Shift2, 2, 1);
}
void ReduceBgr16Shift4(benchmark::State& state) {
  RunConversion(state, &zirvo::ReduceBgr16Shift4, 6, 3);
}
void ReduceBgr16Shift4From64(benchmark::State& state) {
  RunConversion(state, &zirvo::ReduceBgr16Shift4, 8, 3);
}
void ReduceBgr16Shift2(benchmark::State& state) {
  RunConversion(state, &zirvo::ReduceBgr16Shift2, 6, 3);
}
void ExpandMono16Shift4(benchmark::State& state) {
  RunConversion(state, &zirvo::ExpandMono16Shift4, 2, 2);
}
void ExpandBgr48Shift6(benchmark::State& state) {
  RunConversion(state, &zirvo::ExpandBgr48Shift6, 6, 6);
}
void ExpandSwapRgb64Shift6(benchmark::State& state) {
  RunConversion(state, &zirvo::ExpandSwapRgb64Shift6, 8, 8);
}
void SwapBgrToRgb24(benchmark::State& state) {
  RunConversion(state, &zirvo::SwapBgrToRgb24, 3, 3);
}
void CopyBgra32InvertAlpha(benchmark::State& state) {
  RunConversion(state, &zirvo::CopyBgra32InvertAlpha, 4, 4);
}

BENCHMARK(ReduceMono16Shift4)->Unit(benchmark::kMillisecond);
BENCHMARK(ReduceMono16Shift2)->Unit(benchmark::kMillisecond);
BENCHMARK(ReduceBgr16Shift4)->Unit(benchmark::kMillisecond);
BENCHMARK(ReduceBgr16Shift4From64)->Unit(benchmark::kMillisecond);
BENCHMARK(ReduceBgr16Shift2)->Unit(benchmark::kMillisecond);
BENCHMARK(ExpandMono16Shift4)->Unit(benchmark::kMillisecond);
BENCHMARK(ExpandBgr48Shift6)->Unit(benchmark::kMillisecond);
BENCHMARK(ExpandSwapRgb64Shift6)->Unit(benchmark::kMillisecond);
BENCHMARK(SwapBgrToRgb24)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyBgra32InvertAlpha)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zirvo::bench
