// Test helpers: a simulated camera attached on a drive with the host's disks hidden, and a scoped manual clock.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include <vector>

#include "platform/clock.h"
#include "platform/raw_disk.h"
#include "zirvo_camsim.h"

namespace zirvo::testing {

// Defaults with unpaced frames and no hot pixels: fast and exactly predictable.
ZirvoSimConfig FastSimConfig();

// Installs a ManualClock for its lifetime and puts the previous clock back.
class ScopedManualClock {
 public:
  explicit ScopedManualClock(uint32_t start = 0);
  ~ScopedManualClock();
  ScopedManualClock(const ScopedManualClock&) = delete;
  ScopedManualClock& operator=(const ScopedManualClock&) = delete;
  platform::ManualClock& clock() { return clock_; }

 private:
  platform::ManualClock clock_;
  platform::Clock* previous_;
};

// A simulated camera on `drive`. Hides the host's disks for good (no test may
// reach a real disk) and resets the enumeration; detaches on destruction.
class SimulatedCameraOnDrive {
 public:
  explicit SimulatedCameraOnDrive(int drive = 1, const ZirvoSimConfig& config = FastSimConfig());
  ~SimulatedCameraOnDrive();
  SimulatedCameraOnDrive(const SimulatedCameraOnDrive&) = delete;
  SimulatedCameraOnDrive& operator=(const SimulatedCameraOnDrive&) = delete;

  ZirvoSimCamera* get() const { return camera_; }
  int drive() const { return drive_; }
  // Detaches now (a camera that goes away during a test).
  void Detach();

 private:
  int drive_;
  ZirvoSimCamera* camera_;
};

// A fixture that attaches one camera per test. Derived fixtures choose the
// drive and config by overriding them before SetUp runs.
class SimCameraTest : public ::testing::Test {
 protected:
  virtual int Drive() const { return 1; }
  virtual ZirvoSimConfig Config() const { return FastSimConfig(); }
  void SetUp() override;
  void TearDown() override;
  ZirvoSimCamera* camera() const { return camera_->get(); }
  // The camera goes away in the middle of the test.
  void DetachCamera() { camera_->Detach(); }

 private:
  std::unique_ptr<SimulatedCameraOnDrive> camera_;
};

// The camera's exchange log, oldest first.
std::vector<ZirvoSimExchange> ExchangeLog(ZirvoSimCamera* camera);

// The camera's exchange as the SDK speaks it, one block at a time.
inline constexpr uint32_t kReplySectorOffset = 0x20000;
inline constexpr uint32_t kCommandSectorOffset = 0x20200;
inline constexpr uint32_t kFrameAreaOffset = 0x20400;

bool SendCommand(platform::RawDisk& disk, uint8_t opcode, uint8_t b1 = 0, uint8_t b2 = 0, uint8_t b3 = 0);
bool ReadReplySector(platform::RawDisk& disk, uint8_t (&sector)[512]);
// Two-phase 16-bit write and 16-bit read (reply at bytes 258-259).
bool WriteRegisterOverWire(platform::RawDisk& disk, uint16_t address, uint16_t value);
bool ReadRegisterOverWire(platform::RawDisk& disk, uint16_t address, uint16_t& value);
// One read of `bytes` from the frame area.
bool ReadFrameArea(platform::RawDisk& disk, std::vector<uint8_t>& frame, uint32_t bytes);

}  // namespace zirvo::testing
