// Soak test of acquisition: two cameras, each driven by its own application
// thread through 200 cycles of preview, snapshot, recording and stop. Run by
// the plain, ASan and TSan builds (label "instance"); bounded well under a
// minute by a clock that runs 25 times faster than the real one.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ZirvoSdk_USB3_7730QX.h"
#include "api/camera_registry.h"
#include "instance/camera_instance.h"
#include "support/sim_fixture.h"
#include "support/temporary_config.h"
#include "zirvo_port.h"

namespace zirvo {
namespace {

#if defined(_WIN32)
// The Windows build runs under wine in CI, where every short sleep lasts a
// timer tick and a cycle takes seconds: a few cycles there, the full soak in
// the native builds.
constexpr int kDefaultCycles = 4;
#else
constexpr int kDefaultCycles = 200;
#endif

// ZIRVO_SOAK_CYCLES overrides the count (a longer soak by hand, a short one
// to look at a slow platform).
int Cycles() {
  const char* text = std::getenv("ZIRVO_SOAK_CYCLES");
  const int cycles = text ? std::atoi(text) : 0;
  return cycles > 0 ? cycles : kDefaultCycles;
}

// Real time, 25 times faster: the settling pauses and polls shrink alike,
// and a wait still lasts as long as its time-out says on this clock. (A
// manual clock would run ahead by as much as the busiest thread sleeps.)
class FastClock : public platform::Clock {
 public:
  static constexpr int64_t kSpeed = 25;
  uint32_t TimeGetTime() override {
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return 1000u + static_cast<uint32_t>(
                       std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * kSpeed / 1000);
  }
  uint32_t GetTickCount() override { return TimeGetTime(); }
  void Sleep(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::microseconds(int64_t{milliseconds} * 1000 / kSpeed));
  }

 private:
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class ScopedFastClock {
 public:
  ScopedFastClock() : previous_(platform::SetClock(&clock_)) {}
  ~ScopedFastClock() { platform::SetClock(previous_); }
  ScopedFastClock(const ScopedFastClock&) = delete;
  ScopedFastClock& operator=(const ScopedFastClock&) = delete;

 private:
  FastClock clock_;
  platform::Clock* previous_;
};

// Frames at the sensor's pace (a few milliseconds for these small windows),
// so that the transfer threads wait for them instead of spinning.
ZirvoSimConfig PacedConfig() {
  ZirvoSimConfig config = testing::FastSimConfig();
  config.paced = 1;
  return config;
}

bool IsRecording(int handle) {
  CameraRegistry& registry = TheCameraRegistry();
  std::lock_guard lock(registry.Lock());
  CameraNode* node = registry.Find(handle);
  return node != nullptr && node->camera->IsRecording();
}

uint32_t Le32(const std::vector<char>& bytes, std::size_t at) {
  return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
         uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

// What went wrong in one camera's cycles; empty when nothing did.
struct CycleLog {
  std::vector<std::string> failures;
  int frames = 0;
  void Fail(int cycle, const std::string& what) {
    if (failures.size() < 10) failures.push_back("cycle " + std::to_string(cycle) + ": " + what);
  }
};

class AcquisitionSoakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZirvoPort_UseOffscreenWindows(1);
    ASSERT_NE(first_.get(), nullptr);
    ZirvoSimConfig config = PacedConfig();
    second_ = ZirvoSim_Attach(2, &config);
    ASSERT_NE(second_, nullptr);
  }
  void TearDown() override {
    ZirvoSim_Detach(second_);
    ZirvoPort_UseOffscreenWindows(0);
  }

  // One camera's cycles, on the calling thread.
  void RunCycles(int deviceNumber, int width, int height, int bitsPerPixel, CycleLog& log) {
    const int handle = Zirvo_Initialize(nullptr);
    if (handle == 0) return log.Fail(0, "no handle");
    if (Zirvo_SetDeviceNumber(handle, deviceNumber) != 1) log.Fail(0, "device number");
    Zirvo_SetCaptureWindowEx(handle, 4384, 0, width, 3288, 0, height);
    Zirvo_SetColorMode(handle, bitsPerPixel);
    HWND window = ZirvoPort_CreateMessageWindow();
    const std::size_t stride = (std::size_t(width) * std::size_t(bitsPerPixel / 8) + 3) & ~std::size_t{3};
    std::vector<uint8_t> buffer(stride * std::size_t(height));
    const std::filesystem::path file =
        config_.folder() / ("soak" + std::to_string(deviceNumber) + ".avi");
    const int cycles = Cycles();
    for (int cycle = 0; cycle < cycles; ++cycle) {
      if (cycle % 2 == 0) {
        if (Zirvo_CallBackPreview(handle, window, buffer.data(), int(buffer.size()), cycle % 4) != 1)
          log.Fail(cycle, "callback preview");
        for (int received = 0; received < 2;) {
          ZirvoPortMessage message{};
          if (ZirvoPort_GetMessage(window, &message, 10000) != 1) {
            log.Fail(cycle, "no frame message");
            break;
          }
          if (message.message != WM_CAMERA_FRAME) continue;
          if (message.wParam == 0) {
            log.Fail(cycle, "frame failure " + std::to_string(message.lParam));
            break;
          }
          ++received;
          ++log.frames;
        }
      } else if (Zirvo_Preview(handle) != 1) {
        log.Fail(cycle, "preview");
      }
      if (Zirvo_StopPreview(handle) != 1) log.Fail(cycle, "stop after preview");
      if (Zirvo_SnapShot(handle, buffer.data(), int(buffer.size()), 1) != 1) log.Fail(cycle, "snapshot");
      if (Zirvo_Record(handle, file.string().c_str(), 30, cycle % 3 == 0) != 1) log.Fail(cycle, "record");
      // Up to 100 s of the fast clock (4 s of real time), however coarse the
      // platform's sleeps are.
      const uint32_t recordStart = ZirvoPort_TimeGetTime();
      while (IsRecording(handle) && ZirvoPort_TimeGetTime() - recordStart < 100000) ZirvoPort_Sleep(10);
      if (IsRecording(handle)) log.Fail(cycle, "recording did not end");
      if ((cycle % 5 == 0 ? Zirvo_Close(handle) : Zirvo_StopPreview(handle)) != 1) log.Fail(cycle, "stop");
      // Empties the queue: frames posted before the stop.
      ZirvoPortMessage message{};
      while (ZirvoPort_GetMessage(window, &message, 0) == 1) {
      }
    }
    Zirvo_Release(handle);
    ZirvoPort_DestroyWindow(window);
    // The last recording is a whole file.
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
    if (bytes.size() < 232 || Le32(bytes, 4) != bytes.size() - 8 || Le32(bytes, 48) == 0)
      log.Fail(cycles, "last recording incomplete");
  }

  test::TemporaryConfig config_;
  ScopedFastClock clock_;
  testing::SimulatedCameraOnDrive first_{1, PacedConfig()};
  ZirvoSimCamera* second_ = nullptr;
};

TEST_F(AcquisitionSoakTest, TwoCamerasCyclePreviewSnapShotRecordAndStop) {
  CycleLog first, second;
  std::thread other([&] { RunCycles(1, 48, 32, 24, second); });
  RunCycles(0, 61, 40, 8, first);
  other.join();
  for (const std::string& failure : first.failures) ADD_FAILURE() << "camera 1, " << failure;
  for (const std::string& failure : second.failures) ADD_FAILURE() << "camera 2, " << failure;
  EXPECT_GE(first.frames, Cycles());
  EXPECT_GE(second.frames, Cycles());
}

}  // namespace
}  // namespace zirvo
