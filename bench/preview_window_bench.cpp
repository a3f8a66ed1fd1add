// The preview draw of a full frame: the flipped copy at the image's size, the
// stretch to a smaller client, the 64-bit reduction, and a window on X11.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "bench_frames.h"
#include "display/frame_bitmap.h"
#include "display/preview_window.h"
#include "platform/window.h"

namespace zirvo::bench {
namespace {

struct PreviewBench {
  FrameBitmap raw8, raw16, bgr24, bgr32, bgr48, bgr64, display;
  PreviewWindow preview;

  DisplayBitmaps View() { return {&raw8, &raw16, &bgr24, &bgr32, &bgr48, &bgr64, &display}; }

  // Fills `output` with random bytes.
  static void Fill(FrameBitmap& output) {
    BenchFrame frame = MakeBenchFrame(output.BytesPerPixel(), 3, 0, output.Width(), output.Height());
    std::memcpy(output.Pixels(), frame.Data(), static_cast<size_t>(frame.Bytes()));
  }

  bool OpenTopLevel(int32_t clientWidth, int32_t clientHeight) {
    PreviewPlacement placement;
    placement.captureWidth = clientWidth;
    placement.captureHeight = clientHeight;
    return preview.Create(this, placement) == 1;
  }
};

void Draw(benchmark::State& state, int colorMode, int32_t clientWidth, int32_t clientHeight,
          platform::WindowSystem system) {
  if (system == platform::WindowSystem::kDesktopWhenAvailable) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
      state.SkipWithError("no X display");
      return;
    }
  }
  platform::SetWindowSystem(system);
  PreviewBench bench;
  bench.bgr24.Create(kFrameWidth, kFrameHeight, 24);
  FrameBitmap* outputs[] = {&bench.raw8, &bench.raw16, &bench.bgr24, &bench.bgr32, &bench.bgr48, &bench.bgr64};
  const int bits[] = {8, 16, 24, 32, 48, 64};
  if (colorMode <= 1) bench.raw8.Create(kFrameWidth, kFrameHeight, 8);
  outputs[colorMode]->Create(kFrameWidth, kFrameHeight, bits[colorMode]);
  PreviewBench::Fill(*outputs[colorMode]);
  if (!bench.OpenTopLevel(clientWidth, clientHeight)) {
    state.SkipWithError("window not made");
    return;
  }
  DisplayBitmaps view = bench.View();
  for (auto _ : state) {
    bench.preview.DrawFrame(colorMode, view);
  }
  state.SetItemsProcessed(state.iterations());
  bench.preview.Destroy();
  platform::SetWindowSystem(platform::WindowSystem::kDesktopWhenAvailable);
}

void PreviewFlippedCopy24(benchmark::State& state) {
  Draw(state, 2, kFrameWidth, kFrameHeight, platform::WindowSystem::kOffscreen);
}
void PreviewStretchQuarter24(benchmark::State& state) {
  Draw(state, 2, kFrameWidth / 4, kFrameHeight / 4, platform::WindowSystem::kOffscreen);
}
void PreviewStretchQuarter8(benchmark::State& state) {
  Draw(state, 0, kFrameWidth / 4, kFrameHeight / 4, platform::WindowSystem::kOffscreen);
}
void PreviewReduce64StretchQuarter(benchmark::State& state) {
  Draw(state, 5, kFrameWidth / 4, kFrameHeight / 4, platform::WindowSystem::kOffscreen);
}
void PreviewX11StretchQuarter24(benchmark::State& state) {
  Draw(state, 2, kFrameWidth / 4, kFrameHeight / 4, platform::WindowSystem::kDesktopWhenAvailable);
}
void PreviewX11Half24(benchmark::State& state) {
  Draw(state, 2, kFrameWidth / 2, kFrameHeight / 2, platform::WindowSystem::kDesktopWhenAvailable);
}

BENCHMARK(PreviewFlippedCopy24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PreviewStretchQuarter24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PreviewStretchQuarter8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PreviewReduce64StretchQuarter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PreviewX11StretchQuarter24)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PreviewX11Half24)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zirvo::bench
