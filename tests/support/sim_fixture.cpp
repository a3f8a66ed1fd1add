// Test helpers around the camera simulator.
#include "support/sim_fixture.h"

namespace zirvo::testing {

ZirvoSimConfig FastSimConfig() {
  ZirvoSimConfig config;
  ZirvoSim_DefaultConfig(&config);
  config.paced = 0;
  config.hot_pixels = 0;
  return config;
}

ScopedManualClock::ScopedManualClock(uint32_t start)
    : clock_(start), previous_(platform::SetClock(&clock_)) {}

ScopedManualClock::~ScopedManualClock() { platform::SetClock(previous_); }

SimulatedCameraOnDrive::SimulatedCameraOnDrive(int drive, const ZirvoSimConfig& config)
    : drive_(drive) {
  ZirvoSim_HideHostDisks(1);
  ZirvoSim_ResetEnum();
  camera_ = ZirvoSim_Attach(drive, &config);
}

SimulatedCameraOnDrive::~SimulatedCameraOnDrive() {
  Detach();
  ZirvoSim_ResetEnum();
}

void SimulatedCameraOnDrive::Detach() {
  ZirvoSim_Detach(camera_);
  camera_ = nullptr;
}

void SimCameraTest::SetUp() {
  camera_ = std::make_unique<SimulatedCameraOnDrive>(Drive(), Config());
  ASSERT_NE(camera_->get(), nullptr);
}

void SimCameraTest::TearDown() { camera_.reset(); }

std::vector<ZirvoSimExchange> ExchangeLog(ZirvoSimCamera* camera) {
  std::vector<ZirvoSimExchange> entries(ZirvoSim_GetLog(camera, nullptr, 0));
  entries.resize(ZirvoSim_GetLog(camera, entries.data(), static_cast<unsigned>(entries.size())));
  return entries;
}

bool SendCommand(platform::RawDisk& disk, uint8_t opcode, uint8_t b1, uint8_t b2, uint8_t b3) {
  uint8_t block[512] = {opcode, b1, b2, b3};
  return disk.SetPosition(kCommandSectorOffset) && disk.Write(block, sizeof(block));
}

bool ReadReplySector(platform::RawDisk& disk, uint8_t (&sector)[512]) {
  return disk.SetPosition(kReplySectorOffset) && disk.Read(sector, sizeof(sector));
}

bool WriteRegisterOverWire(platform::RawDisk& disk, uint16_t address, uint16_t value) {
  return SendCommand(disk, 0x20, 0x00, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)) &&
         SendCommand(disk, 0x20, 0x01, static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value));
}

bool ReadRegisterOverWire(platform::RawDisk& disk, uint16_t address, uint16_t& value) {
  uint8_t sector[512];
  if (!SendCommand(disk, 0x21, 0x00, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)) ||
      !ReadReplySector(disk, sector)) {
    return false;
  }
  value = static_cast<uint16_t>(sector[258] | (sector[259] << 8));
  return true;
}

bool ReadFrameArea(platform::RawDisk& disk, std::vector<uint8_t>& frame, uint32_t bytes) {
  frame.assign(bytes, 0xEE);
  return disk.SetPosition(kFrameAreaOffset) && disk.Read(frame.data(), bytes);
}

}  // namespace zirvo::testing
