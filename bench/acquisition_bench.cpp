// The whole road of a frame through the public functions, unpaced: transfer,
// pipeline, preview drawing, copy into the caller's buffer and frame message,
// as a callback preview of full frames with a wait time of 0.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "ZirvoSdk_USB3_7730QX.h"
#include "platform/private_user_root.h"
#include "zirvo_camsim.h"
#include "zirvo_port.h"

namespace {

constexpr int kSensorWidth = 4384;
constexpr int kSensorHeight = 3288;
constexpr int kBenchDrive = 1;

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// An unpaced simulated camera with its settings in a throw-away folder,
// streaming by callback preview into a buffer the size of one image.
class CallbackStream {
 public:
  CallbackStream(int bitsPerPixel, int width, int height, bool paced = false, int waitTime = 0) {
    folder_ = std::filesystem::temp_directory_path() / ("zirvo-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    zirvo::platform::UsePrivateUserRoot(folder_.string());
    ZirvoSim_HideHostDisks(1);
    ZirvoSim_ResetEnum();
    ZirvoSimConfig config;
    ZirvoSim_DefaultConfig(&config);
    config.paced = paced ? 1 : 0;
    // Unpaced, the camera serves one picture again and again: drawing a new
    // one per frame is the simulator's work, not the road's, and would take
    // a core from it on a small machine.
    config.animated = paced ? 1 : 0;
    camera_ = ZirvoSim_Attach(kBenchDrive, &config);
    handle_ = Zirvo_Initialize(nullptr);
    window_ = ZirvoPort_CreateMessageWindow();
    if (handle_ == 0 || window_ == nullptr) return;
    Zirvo_SetCaptureWindowEx(handle_, kSensorWidth, 0, width, kSensorHeight, 0, height);
    Zirvo_SetSubSample(handle_, 0);
    Zirvo_SetWaitTime(handle_, waitTime);
    Zirvo_SetColorMode(handle_, bitsPerPixel);
    Zirvo_SetBayerMode(handle_, 1);
    Zirvo_SetExposureTime(handle_, 600);
    Zirvo_SetGlobalGain(handle_, 100);
    const std::size_t stride = (std::size_t(width) * std::size_t(bitsPerPixel / 8) + 3) & ~std::size_t{3};
    buffer_.resize(stride * std::size_t(height));
    ready_ = Zirvo_CallBackPreview(handle_, window_, buffer_.data(), int(buffer_.size()), 1) == 1;
  }

  ~CallbackStream() {
    if (handle_ != 0) Zirvo_Release(handle_);
    if (window_ != nullptr) ZirvoPort_DestroyWindow(window_);
    ZirvoSim_Detach(camera_);
    ZirvoSim_ResetEnum();
    zirvo::platform::RestoreUserRoot();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  bool IsReady() const { return ready_; }
  ZirvoSimCamera* camera() const { return camera_; }

  // The next frame message: 1 a frame, 0 a failure, -1 nothing within 10 s.
  int NextFrame(int32_t* rateTimes10) {
    for (;;) {
      ZirvoPortMessage message{};
      if (ZirvoPort_GetMessage(window_, &message, 10000) != 1) return -1;
      if (message.message != WM_CAMERA_FRAME) continue;
      if (message.wParam == 0) return 0;
      *rateTimes10 = reinterpret_cast<const FrameInfo*>(message.wParam)->frameRateTimes10;
      return 1;
    }
  }

 private:
  std::filesystem::path folder_;
  ZirvoSimCamera* camera_ = nullptr;
  int handle_ = 0;
  HWND window_ = nullptr;
  std::vector<uint8_t> buffer_;
  bool ready_ = false;
};

// Frames per second of the whole road (items per second) and the process's
// CPU time per frame, all threads together, the simulated camera's rendering
// included.
void RunCallbackPreview(benchmark::State& state, int bitsPerPixel, int width, int height) {
  ZirvoPort_UseOffscreenWindows(std::getenv("DISPLAY") == nullptr ? 1 : 0);
  CallbackStream stream(bitsPerPixel, width, height);
  if (!stream.IsReady()) {
    state.SkipWithError("the callback preview did not start");
    return;
  }
  int32_t rate = 0;
  // The first frames warm the buffers and the rate measurement.
  for (int i = 0; i < 3; ++i) stream.NextFrame(&rate);
  const double cpuStart = ProcessCpuSeconds();
  int64_t frames = 0;
  for (auto _ : state) {
    if (stream.NextFrame(&rate) != 1) {
      state.SkipWithError("a frame failed or did not come");
      return;
    }
    ++frames;
  }
  const double cpuSeconds = ProcessCpuSeconds() - cpuStart;
  state.SetItemsProcessed(frames);
  state.counters["frames_per_s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
  state.counters["cpu_ms_per_frame"] = frames > 0 ? cpuSeconds * 1000.0 / double(frames) : 0.0;
  state.counters["frame_info_rate"] = rate / 10.0;
}

void BM_CallbackPreviewFullFrame24(benchmark::State& state) {
  RunCallbackPreview(state, 24, kSensorWidth, kSensorHeight);
}
BENCHMARK(BM_CallbackPreviewFullFrame24)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_CallbackPreviewFullFrame8(benchmark::State& state) {
  RunCallbackPreview(state, 8, kSensorWidth, kSensorHeight);
}
BENCHMARK(BM_CallbackPreviewFullFrame8)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_CallbackPreview1024x768x24(benchmark::State& state) { RunCallbackPreview(state, 24, 1024, 768); }
BENCHMARK(BM_CallbackPreview1024x768x24)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The paced camera at the full window and the default wait time: every frame
// the sensor makes should arrive, and FrameInfo's rate match the sensor's.
void BM_PacedFullFrameCallback(benchmark::State& state) {
  ZirvoPort_UseOffscreenWindows(std::getenv("DISPLAY") == nullptr ? 1 : 0);
  CallbackStream stream(8, kSensorWidth, kSensorHeight, true, 10);
  if (!stream.IsReady()) {
    state.SkipWithError("the callback preview did not start");
    return;
  }
  int32_t rate = 0;
  for (int i = 0; i < 2; ++i) stream.NextFrame(&rate);
  const unsigned servedStart = ZirvoSim_FramesServed(stream.camera());
  int64_t frames = 0;
  for (auto _ : state) {
    if (stream.NextFrame(&rate) != 1) {
      state.SkipWithError("a frame failed or did not come");
      return;
    }
    ++frames;
  }
  const unsigned served = ZirvoSim_FramesServed(stream.camera()) - servedStart;
  const double sensorRate = 1e6 / double(ZirvoSim_FrameTimeUs(stream.camera()));
  state.counters["sensor_rate"] = sensorRate;
  state.counters["frame_info_rate"] = rate / 10.0;
  state.counters["rate_error_percent"] = (rate / 10.0 - sensorRate) * 100.0 / sensorRate;
  // Served but never delivered (the last served may still be on its way).
  state.counters["frames_lost"] = double(int64_t(served) - frames);
}
BENCHMARK(BM_PacedFullFrameCallback)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(24);

}  // namespace
