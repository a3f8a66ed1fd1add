// Simulated cameras and wire-log helpers shared by the device tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "zirvo_camsim.h"

namespace zirvo::device_test {

inline constexpr uint32_t kCommandSector = 0x20200;
inline constexpr uint32_t kReplySector = 0x20000;
inline constexpr uint32_t kFrameArea = 0x20400;

inline ZirvoSimConfig UnpacedConfig(int chipId = 0x2E00) {
  ZirvoSimConfig config;
  ZirvoSim_DefaultConfig(&config);
  config.paced = 0;
  config.chip_id = chipId;
  return config;
}

// Attaches cameras on virtual drives with the host's disks hidden, on a
// manual clock so that the protocol's sleeps take no real time.
class SimulatedCameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZirvoSim_HideHostDisks(1);
    ZirvoSim_ResetEnum();
    previousClock_ = platform::SetClock(&clock_);
  }

  void TearDown() override {
    for (ZirvoSimCamera* camera : cameras_) ZirvoSim_Detach(camera);
    cameras_.clear();
    ZirvoSim_ResetEnum();
    // Host disks stay hidden: no later test may reach a real disk.
    platform::SetClock(previousClock_);
  }

  ZirvoSimCamera* Attach(int drive, const ZirvoSimConfig& config) {
    ZirvoSimCamera* camera = ZirvoSim_Attach(drive, &config);
    EXPECT_NE(camera, nullptr) << "drive " << drive;
    if (camera) cameras_.push_back(camera);
    return camera;
  }

  ZirvoSimCamera* Attach(int drive, int chipId = 0x2E00) { return Attach(drive, UnpacedConfig(chipId)); }

  // Detach before the test ends, e.g. to leave a device with a vanished disk.
  void Detach(ZirvoSimCamera* camera) {
    std::erase(cameras_, camera);
    ZirvoSim_Detach(camera);
  }

  platform::ManualClock clock_{1000};

 private:
  platform::Clock* previousClock_ = nullptr;
  std::vector<ZirvoSimCamera*> cameras_;
};

// Time that stands still until the test moves it. Sleeping only yields and is
// counted, so a test can tell that a thread is waiting and end the wait when it
// chooses, however slowly the threads run.
class HeldClock : public platform::Clock {
 public:
  explicit HeldClock(uint32_t start = 1000) : now_(start) {}
  uint32_t TimeGetTime() override { return now_.load(); }
  uint32_t GetTickCount() override { return now_.load(); }
  void Sleep(uint32_t) override {
    sleeps_.fetch_add(1);
    std::this_thread::yield();
  }
  void Advance(uint32_t milliseconds) { now_.fetch_add(milliseconds); }
  uint64_t Sleeps() const { return sleeps_.load(); }

 private:
  std::atomic<uint32_t> now_;
  std::atomic<uint64_t> sleeps_{0};
};

inline std::vector<ZirvoSimExchange> ReadLog(ZirvoSimCamera* camera) {
  std::vector<ZirvoSimExchange> log(ZirvoSim_GetLog(camera, nullptr, 0));
  log.resize(ZirvoSim_GetLog(camera, log.data(), unsigned(log.size())));
  return log;
}

// The first four bytes of every command block written, in order.
inline std::vector<std::vector<int>> CommandHeaders(ZirvoSimCamera* camera) {
  std::vector<std::vector<int>> headers;
  for (const ZirvoSimExchange& exchange : ReadLog(camera)) {
    if (exchange.write && exchange.offset == kCommandSector) {
      headers.push_back({exchange.command[0], exchange.command[1], exchange.command[2], exchange.command[3]});
    }
  }
  return headers;
}

// Waits in real time (bounded) for a condition another thread brings about.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

}  // namespace zirvo::device_test
