// Repacking, widening, mirroring, stretching and row copies on full frames.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_frames.h"
#include "convert/mirror.h"
#include "convert/row_copy.h"
#include "convert/row_repack.h"
#include "convert/stretch.h"

namespace zirvo::bench {
namespace {

// A width that needs repacking (stride 4388) at full height.
constexpr int32_t kUnalignedWidth = kFrameWidth - 2;

void RepackRows8(benchmark::State& state) {
  BenchFrame frame = MakeBenchFrame(1, 1, 0, kUnalignedWidth);
  for (auto _ : state) {
    RunFrameKernel(&zirvo::RepackRows8, frame, frame);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * frame.Pixels());
}

void WidenSamples8To16(benchmark::State& state) {
  BenchFrame frame = MakeBenchFrame(2);
  BenchFrame packed = MakeBenchFrame(1);
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(frame.Data(), packed.Data(), static_cast<size_t>(packed.Pixels()));
    state.ResumeTiming();
    RunFrameKernel(&zirvo::WidenSamples8To16, frame, frame);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * frame.Pixels());
}

void MirrorRows8(benchmark::State& state) {
  BenchFrame frame = MakeBenchFrame(1);
  for (auto _ : state) {
    RunFrameKernel(&zirvo::MirrorRows8, frame, frame);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * frame.Bytes());
}

void MirrorRows16(benchmark::State& state) {
  BenchFrame frame = MakeBenchFrame(2);
  for (auto _ : state) {
    RunFrameKernel(&zirvo::MirrorRows16, frame, frame);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * frame.Bytes());
}

// Full frame into a 1920 x 1440 preview window.
void RunStretch(benchmark::State& state, ScalingKernel kernel, int bytesPerPixel) {
  BenchFrame source = MakeBenchFrame(bytesPerPixel);
  BenchFrame window = MakeBenchFrame(bytesPerPixel, 2, 0, 1920, 1440);
  for (auto _ : state) {
    kernel(window.Data(), source.Data(), window.Whole(), source.Whole(), window.width,
           window.height, source.width, source.height, bytesPerPixel, bytesPerPixel,
           window.stride, source.stride, 0, nullptr);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * window.Pixels());
}

void StretchGray8(benchmark::State& state) { RunStretch(state, &zirvo::StretchGray8, 1); }
void StretchBgr24(benchmark::State& state) { RunStretch(state, &zirvo::StretchBgr24, 3); }

void RunRowCopy(benchmark::State& state, RectangleKernel kernel, int sourceBytes) {
  BenchFrame source = MakeBenchFrame(sourceBytes);
  BenchFrame destination = MakeBenchFrame(3);
  for (auto _ : state) {
    RunFrameKernel(kernel, destination, source);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * destination.Bytes());
}

void CopyBgr24Flipped(benchmark::State& state) {
  RunRowCopy(state, &zirvo::CopyBgr24Flipped, 3);
}
void CopyBgr24FlippedFrom32(benchmark::State& state) {
  RunRowCopy(state, &zirvo::CopyBgr24Flipped, 4);
}
void Bgr32ToBgr24(benchmark::State& state) { RunRowCopy(state, &zirvo::Bgr32ToBgr24, 4); }
void CopyRowsFlipped(benchmark::State& state) { RunRowCopy(state, &zirvo::CopyRowsFlipped, 3); }

BENCHMARK(RepackRows8)->Unit(benchmark::kMillisecond);
BENCHMARK(WidenSamples8To16)->Unit(benchmark::kMillisecond);
BENCHMARK(MirrorRows8)->Unit(benchmark::kMillisecond);
BENCHMARK(MirrorRows16)->Unit(benchmark::kMillisecond);
BENCHMARK(StretchGray8)->Unit(benchmark::kMillisecond);
BENCHMARK(StretchBgr24)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyBgr24Flipped)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyBgr24FlippedFrom32)->Unit(benchmark::kMillisecond);
BENCHMARK(Bgr32ToBgr24)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyRowsFlipped)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zirvo::bench
