// The simulator's firmware as seen over the raw-disk exchange: identity, registers, frames, log, faults, pacing.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "platform/raw_disk.h"
#include "support/sim_fixture.h"
#include "zirvo_camsim.h"

namespace zirvo::testing {
namespace {

class SimulatedCameraTest : public SimCameraTest {
 protected:
  void SetUp() override {
    SimCameraTest::SetUp();
    disk_ = platform::OpenRawDisk(Drive());
    ASSERT_NE(disk_, nullptr);
  }
  void TearDown() override {
    disk_.reset();
    SimCameraTest::TearDown();
  }
  platform::RawDisk& disk() { return *disk_; }

  std::vector<ZirvoSimExchange> Log() {
    std::vector<ZirvoSimExchange> entries(ZirvoSim_GetLog(camera(), nullptr, 0));
    entries.resize(ZirvoSim_GetLog(camera(), entries.data(), static_cast<unsigned>(entries.size())));
    return entries;
  }

 private:
  std::unique_ptr<platform::RawDisk> disk_;
};

TEST_F(SimulatedCameraTest, ReplySectorCarriesIdentityAndModelBytes) {
  uint8_t sector[512];
  ASSERT_TRUE(ReadReplySector(disk(), sector));
  EXPECT_EQ(0, std::memcmp(sector, "KELVOR USB 3.0 Camera V1.0", 26));
  EXPECT_EQ(0x70, sector[26]);
  EXPECT_EQ(0x05, sector[27]);
}

TEST_F(SimulatedCameraTest, ChipIdentifierAnswersSixteenBitRead) {
  uint16_t value = 0;
  ASSERT_TRUE(ReadRegisterOverWire(disk(), 0x0000, value));
  EXPECT_EQ(0x2E00, value);
}

TEST_F(SimulatedCameraTest, TwoPhaseWriteIsReadBackAndReported) {
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x0202, 0x1234));
  uint16_t value = 0;
  ASSERT_TRUE(ReadRegisterOverWire(disk(), 0x0202, value));
  EXPECT_EQ(0x1234, value);
  EXPECT_EQ(0x1234, ZirvoSim_GetRegister(camera(), 0x0202));
}

TEST_F(SimulatedCameraTest, UnpacedFrameHasProgrammedSizeAndZeroPadding) {
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x034C, 100));
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x034E, 100));
  ASSERT_TRUE(SendCommand(disk(), 0x10));
  std::vector<uint8_t> frame;
  ASSERT_TRUE(ReadFrameArea(disk(), frame, 10240));
  EXPECT_EQ(1u, ZirvoSim_FramesServed(camera()));
  std::vector<uint8_t> last(20000, 0);
  ASSERT_EQ(10000u, ZirvoSim_CopyLastFrame(camera(), last.data(), static_cast<unsigned>(last.size())));
  EXPECT_EQ(0, std::memcmp(frame.data(), last.data(), 10000));
  for (std::size_t i = 10000; i < frame.size(); ++i) ASSERT_EQ(0, frame[i]) << i;
}

}  // namespace
}  // namespace zirvo::testing
