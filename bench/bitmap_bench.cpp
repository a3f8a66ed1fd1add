// Bitmap creation, copy-out and mean levels on full frames.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_frames.h"
#include "convert/mean_level.h"
#include "display/copy_image_out.h"
#include "display/frame_bitmap.h"

namespace zirvo::bench {
namespace {

class IgnoreFailure : public CopyOutFailure {
 public:
  void Report(int) override {}
};

void CreateBitmap24(benchmark::State& state) {
  for (auto _ : state) {
    FrameBitmap bitmap;
    benchmark::DoNotOptimize(bitmap.Create(kFrameWidth, kFrameHeight, 24));
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kFrameWidth} * 3 * kFrameHeight);
}

void CopyImageOutFlipped24(benchmark::State& state) {
  FrameBitmap bitmap;
  bitmap.Create(kFrameWidth, kFrameHeight, 24);
  size_t bytes = static_cast<size_t>(bitmap.Stride()) * bitmap.Height();
  std::vector<uint8_t> out(bytes);
  IgnoreFailure failure;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        CopyImageOut(bitmap, 0, out.data(), static_cast<uint32_t>(bytes), failure));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

void MeanLevel8(benchmark::State& state) {
  BenchFrame frame = MakeBenchFrame(1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(RunFrameKernel(&zirvo::MeanLevel8, frame, frame));
  }
  state.SetBytesProcessed(state.iterations() * frame.Bytes());
}

void MeanLevel16(benchmark::State& state) {
  BenchFrame frame = MakeBenchFrame(2, 1, 1024);
  for (auto _ : state) {
    benchmark::DoNotOptimize(RunFrameKernel(&zirvo::MeanLevel16, frame, frame));
  }
  state.SetBytesProcessed(state.iterations() * frame.Bytes());
}

BENCHMARK(CreateBitmap24)->Unit(benchmark::kMillisecond);
BENCHMARK(CopyImageOutFlipped24)->Unit(benchmark::kMillisecond);
BENCHMARK(MeanLevel8)->Unit(benchmark::kMillisecond);
BENCHMARK(MeanLevel16)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zirvo::bench
