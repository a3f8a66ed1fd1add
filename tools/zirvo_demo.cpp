// Demo: finds a camera (or attaches the simulated one), streams frames through
// the device transport for a few seconds and prints what arrived.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "device/model7730_device.h"
#include "platform/clock.h"
#include "zirvo_camsim.h"

namespace {

constexpr int kSimulatorDrive = 1;
constexpr uint32_t kPollMilliseconds = 10;
constexpr uint32_t kCameraTimeout = 8000;

struct Options {
  int seconds = 3;
  bool unpaced = false;
  bool simulatorOnly = false;
};

void PrintUsage(const char* program) {
  std::printf("usage: %s [--seconds N] [--unpaced] [--simulator]\n"
              "  --seconds N   stream for N seconds (default 3)\n"
              "  --unpaced     the simulated camera serves frames as fast as they are read\n"
              "  --simulator   use the simulated camera even if a real one is attached\n",
              program);
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--seconds" && i + 1 < argc) {
      options.seconds = std::atoi(argv[++i]);
      if (options.seconds < 1 || options.seconds > 3600) return false;
    } else if (argument == "--unpaced") {
      options.unpaced = true;
    } else if (argument == "--simulator") {
      options.simulatorOnly = true;
    } else {
      return false;
    }
  }
  return true;
}

// The simulated camera, attached only when no real camera answers.
class SimulatorAttachment {
 public:
  explicit SimulatorAttachment(bool unpaced) {
    // Only virtual disks from here on: nothing can reach a host disk.
    ZirvoSim_HideHostDisks(1);
    ZirvoSimConfig config;
    ZirvoSim_DefaultConfig(&config);
    config.paced = unpaced ? 0 : 1;
    config.animated = 1;
    camera_ = ZirvoSim_Attach(kSimulatorDrive, &config);
  }
  ~SimulatorAttachment() { ZirvoSim_Detach(camera_); }
  SimulatorAttachment(const SimulatorAttachment&) = delete;
  SimulatorAttachment& operator=(const SimulatorAttachment&) = delete;
  bool IsAttached() const { return camera_ != nullptr; }
  unsigned FramesServed() const { return ZirvoSim_FramesServed(camera_); }

 private:
  ZirvoSimCamera* camera_ = nullptr;
};

struct StreamResult {
  int framesTaken = 0;
  int framesRead = 0;
  float measuredRate = 0.0f;
  uint32_t elapsedMilliseconds = 0;
  bool failed = false;
};

StreamResult Stream(zirvo::Model7730Device& device, int seconds, std::vector<uint8_t>& frame) {
  StreamResult result;
  const uint32_t start = zirvo::platform::TimeGetTime();
  const uint32_t duration = uint32_t(seconds) * 1000u;
  while (zirvo::platform::TimeGetTime() - start < duration) {
    zirvo::platform::Sleep(kPollMilliseconds);
    const int status = device.GetFrameStatus();
    if (status == zirvo::DiskCameraDevice::kFrameStatusFailed) {
      result.failed = true;
      break;
    }
    if (status == zirvo::DiskCameraDevice::kFrameStatusNewFrame) {
      device.TakeLatestFrame(frame.data(), int(frame.size()), 0, 0);
      ++result.framesTaken;
    }
  }
  result.elapsedMilliseconds = zirvo::platform::TimeGetTime() - start;
  result.framesRead = device.GetFrameCounter();
  result.measuredRate = device.GetFrameRate();
  return result;
}

void PrintFrameFacts(const std::vector<uint8_t>& frame, int width, int height) {
  if (frame.empty()) return;
  const auto [low, high] = std::minmax_element(frame.begin(), frame.end());
  const double mean = std::accumulate(frame.begin(), frame.end(), 0.0) / double(frame.size());
  std::printf("last frame      : %d x %d, 8-bit samples, min %d, max %d, mean %.1f\n", width, height, *low,
              *high, mean);
  std::printf("first samples   :");
  for (std::size_t i = 0; i < std::min<std::size_t>(frame.size(), 8); ++i) std::printf(" %3d", frame[i]);
  std::printf("\n");
}

int RunDemo(const Options& options) {
  std::unique_ptr<SimulatorAttachment> simulator;
  // The probe only reads each disk's identity sector; nothing is written to a
  // disk that does not answer as a camera.
  auto device = std::make_unique<zirvo::Model7730Device>();
  if (options.simulatorOnly || !device->IsOpen()) {
    device.reset();
    simulator = std::make_unique<SimulatorAttachment>(options.unpaced);
    if (!simulator->IsAttached()) {
      std::fprintf(stderr, "the simulated camera could not be attached\n");
      return 1;
    }
    device = std::make_unique<zirvo::Model7730Device>();
  }
  if (!device->IsOpen()) {
    std::fprintf(stderr, "no camera found\n");
    return 1;
  }
  std::printf("camera          : %s on drive %d, chip 0x%04X, %d listed\n",
              simulator ? (options.unpaced ? "simulated (unpaced)" : "simulated (paced)") : "camera",
              device->GetOpenDrive(), device->GetChipId(), device->GetDeviceCount());

  device->SetTimeout(kCameraTimeout);
  const int width = zirvo::Model7730Device::kSensorWidth;
  const int height = zirvo::Model7730Device::kSensorHeight;
  if (device->SetCaptureWindow(0, 0, width, height, 0) != 0) {
    std::fprintf(stderr, "the capture window could not be programmed\n");
    return 1;
  }
  device->SetGlobalGain(16);
  device->SetExposure(2000);
  std::printf("window          : %d x %d at 0, 0, %u bytes per frame read\n", width, height,
              device->GetFrameBytes());

  std::vector<uint8_t> frame(std::size_t(width) * std::size_t(height));
  if (device->StartStreaming() != 0) {
    std::fprintf(stderr, "the start command could not be sent\n");
    return 1;
  }
  const StreamResult result = Stream(*device, options.seconds, frame);
  device->StopStreaming();

  const double seconds = result.elapsedMilliseconds / 1000.0;
  std::printf("streamed        : %.2f s, %d frames read, %d taken\n", seconds, result.framesRead,
              result.framesTaken);
  std::printf("frames/second   : %.2f read (device measured %.2f), %.2f taken\n",
              seconds > 0 ? result.framesRead / seconds : 0.0, result.measuredRate,
              seconds > 0 ? result.framesTaken / seconds : 0.0);
  if (simulator) std::printf("frames served   : %u\n", simulator->FramesServed());
  if (result.failed) {
    std::fprintf(stderr, "the transfer failed\n");
    return 1;
  }
  if (result.framesTaken > 0) PrintFrameFacts(frame, width, height);
  return result.framesTaken > 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    PrintUsage(argv[0]);
    return 2;
  }
  return RunDemo(options);
}
