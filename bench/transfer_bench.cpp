// Streaming full frames from the unpaced simulated camera through the device
// transport, beside a memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "device/model7730_device.h"
#include "zirvo_camsim.h"

namespace {

constexpr int kWidth = 4384;
constexpr int kHeight = 3288;
constexpr std::size_t kFrameBytes = std::size_t(kWidth) * kHeight;
constexpr int kBenchDrive = 1;

// One simulated camera opened and programmed for the full window.
class StreamingCamera {
 public:
  StreamingCamera() {
    ZirvoSim_HideHostDisks(1);
    ZirvoSim_ResetEnum();
    ZirvoSimConfig config;
    ZirvoSim_DefaultConfig(&config);
    config.paced = 0;
    camera_ = ZirvoSim_Attach(kBenchDrive, &config);
    device_ = std::make_unique<zirvo::Model7730Device>();
    device_->SetTimeout(8000);
    device_->SetCaptureWindow(0, 0, kWidth, kHeight, 0);
  }

  ~StreamingCamera() {
    device_.reset();
    ZirvoSim_Detach(camera_);
    ZirvoSim_ResetEnum();
  }

  bool IsReady() const { return camera_ != nullptr && device_->IsOpen(); }
  zirvo::Model7730Device& device() { return *device_; }

 private:
  ZirvoSimCamera* camera_ = nullptr;
  std::unique_ptr<zirvo::Model7730Device> device_;
};

// Waits for a newer frame and copies it out; false when the transfer failed.
bool TakeNextFrame(zirvo::Model7730Device& device, std::vector<uint8_t>& destination) {
  for (;;) {
    const int status = device.GetFrameStatus();
    if (status == zirvo::DiskCameraDevice::kFrameStatusFailed) return false;
    if (status == zirvo::DiskCameraDevice::kFrameStatusNewFrame) break;
    // Leaves the core to the transfer thread on a machine with few cores.
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  device.TakeLatestFrame(destination.data(), int(destination.size()), 0, 0);
  return true;
}

void BM_StreamFullFrames(benchmark::State& state) {
  StreamingCamera camera;
  if (!camera.IsReady()) {
    state.SkipWithError("simulated camera could not be opened");
    return;
  }
  std::vector<uint8_t> destination(kFrameBytes);
  zirvo::Model7730Device& device = camera.device();
  if (device.StartStreaming() != 0) {
    state.SkipWithError("start failed");
    return;
  }
  int64_t frames = 0;
  const std::clock_t processStart = std::clock();
  for (auto _ : state) {
    if (!TakeNextFrame(device, destination)) {
      state.SkipWithError("transfer failed");
      break;
    }
    benchmark::DoNotOptimize(destination.data());
    ++frames;
  }
  const int framesRead = device.GetFrameCounter();
  const double processSeconds = double(std::clock() - processStart) / CLOCKS_PER_SEC;
  device.StopStreaming();
  state.SetBytesProcessed(frames * int64_t(kFrameBytes));
  state.counters["frames_per_second"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
  state.counters["frames_read"] = double(framesRead);
  // Both threads' processor time: the transfer thread also copies frames
  // that are never taken when the camera is faster than the consumer.
  state.counters["process_cpu_ms_per_frame"] = frames > 0 ? processSeconds * 1000.0 / double(frames) : 0.0;
}
BENCHMARK(BM_StreamFullFrames)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// One frame's bytes copied once per iteration: the rate streaming is held to.
void BM_MemcpyFullFrame(benchmark::State& state) {
  std::vector<uint8_t> source(kFrameBytes, 0x5A);
  std::vector<uint8_t> destination(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(destination.data(), source.data(), kFrameBytes);
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
  state.counters["frames_per_second"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MemcpyFullFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The same copy from three rotating sources, as the slots are: a working set
// larger than the last-level cache, like streaming's.
void BM_MemcpyFullFrameRotating(benchmark::State& state) {
  std::vector<std::vector<uint8_t>> sources(3, std::vector<uint8_t>(kFrameBytes, 0x5A));
  std::vector<uint8_t> destination(kFrameBytes);
  std::size_t next = 0;
  for (auto _ : state) {
    std::memcpy(destination.data(), sources[next].data(), kFrameBytes);
    next = (next + 1) % sources.size();
    benchmark::DoNotOptimize(destination.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrameBytes));
  state.counters["frames_per_second"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MemcpyFullFrameRotating)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace
