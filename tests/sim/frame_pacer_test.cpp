// Frame timing of the simulated sensor on a manual clock, with the stall and slow-frame faults that bend it.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/raw_disk.h"
#include "support/sim_fixture.h"
#include "zirvo_camsim.h"

namespace zirvo::testing {
namespace {

constexpr uint32_t kStart = 1000;
constexpr double kDefaultFrameMilliseconds = 167.833;

class FramePacingTest : public SimCameraTest {
 protected:
  ZirvoSimConfig Config() const override {
    ZirvoSimConfig config = FastSimConfig();
    config.paced = 1;
    return config;
  }
  void SetUp() override {
    SimCameraTest::SetUp();
    disk_ = platform::OpenRawDisk(Drive());
    ASSERT_NE(disk_, nullptr);
  }
  void TearDown() override {
    disk_.reset();
    SimCameraTest::TearDown();
  }

  uint32_t Now() { return platform::TimeGetTime(); }
  platform::ManualClock& clock() { return clock_.clock(); }
  platform::RawDisk& disk() { return *disk_; }

  bool ReadFrame() {
    std::vector<uint8_t> frame;
    return ReadFrameArea(*disk_, frame, 512);
  }

  int ReadyFlag() {
    uint8_t sector[512];
    return ReadReplySector(*disk_, sector) ? sector[256] : -1;
  }

 private:
  // Installed before the camera attaches and removed after it is gone.
  ScopedManualClock clock_{kStart};
  std::unique_ptr<platform::RawDisk> disk_;
};

TEST_F(FramePacingTest, FrameTimeFollowsLineLengthAndFrameLength) {
  EXPECT_EQ(167833u, ZirvoSim_FrameTimeUs(camera()));
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x0342, 2604));
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x0340, 263));
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x0202, 100));
  EXPECT_EQ(3566u, ZirvoSim_FrameTimeUs(camera()));
}

TEST_F(FramePacingTest, ExposureLongerThanTheFrameStretchesIt) {
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x0202, 5000));
  EXPECT_EQ(244632u, ZirvoSim_FrameTimeUs(camera()));
}

TEST_F(FramePacingTest, FirstFrameArrivesOneFrameTimeAfterTheStartCommand) {
  ASSERT_TRUE(SendCommand(disk(), 0x10));
  ASSERT_TRUE(ReadFrame());
  EXPECT_EQ(kStart + 168, Now());
}

TEST_F(FramePacingTest, SuccessiveFramesComeOneFrameTimeApart) {
  ASSERT_TRUE(SendCommand(disk(), 0x10));
  for (int k = 1; k <= 10; ++k) {
    ASSERT_TRUE(SendCommand(disk(), 0x10));
    ASSERT_TRUE(ReadFrame());
    const double due = kStart + k * kDefaultFrameMilliseconds;
    EXPECT_GE(Now(), due) << k;
    EXPECT_LT(Now(), due + 1.0) << k;
  }
  EXPECT_EQ(10u, ZirvoSim_FramesServed(camera()));
}

TEST_F(FramePacingTest, ScheduleHoldsAcrossTheClockWrapAround) {
  const uint32_t start = 0xFFFFFF00u;
  clock().Set(start);
  ASSERT_TRUE(SendCommand(disk(), 0x10));
  for (int k = 1; k <= 4; ++k) {
    ASSERT_TRUE(ReadFrame());
    const uint32_t elapsed = Now() - start;
    EXPECT_GE(elapsed, k * kDefaultFrameMilliseconds) << k;
    EXPECT_LT(elapsed, k * kDefaultFrameMilliseconds + 1.0) << k;
  }
  EXPECT_LT(Now(), start);  // the clock did wrap
}

TEST_F(FramePacingTest, LateReaderGetsTheWaitingFrameAtOnceAndThenTheNextOnTime) {
  ASSERT_TRUE(SendCommand(disk(), 0x10));
  ASSERT_TRUE(ReadFrame());
  clock().Advance(1000);
  const uint32_t late = Now();
  ASSERT_TRUE(ReadFrame());
  EXPECT_EQ(late, Now());
  ASSERT_TRUE(ReadFrame());
  // Frames stay on the sensor's grid: the seventh frame time after the start.
  EXPECT_EQ(kStart + 1175, Now());
}

TEST_F(FramePacingTest, ReadyFlagRisesAtTheFrameTime) {
  ASSERT_TRUE(SendCommand(disk(), 0x10));
  EXPECT_EQ(0, ReadyFlag());
  clock().Set(kStart + 160);
  EXPECT_EQ(0, ReadyFlag());
  clock().Set(kStart + 170);
  EXPECT_EQ(1, ReadyFlag());
  EXPECT_EQ(1, ReadyFlag());
  ASSERT_TRUE(ReadFrame());
  EXPECT_EQ(0, ReadyFlag());
}

TEST_F(FramePacingTest, PollingForReadyCostsABusRoundTripEach) {
  ASSERT_TRUE(SendCommand(disk(), 0x10));
  int polls = 0;
  while (ReadyFlag() == 0) ++polls;
  EXPECT_EQ(kStart + 168, Now());
  EXPECT_EQ(167, polls);
}

TEST_F(FramePacingTest, SlowFrameTakesAtLeastItsTime) {
  ASSERT_TRUE(SendCommand(disk(), 0x10));
  ZirvoSim_SetSlowFrames(camera(), 1, 1500);
  const uint32_t before = Now();
  ASSERT_TRUE(ReadFrame());
  EXPECT_EQ(before + 1500, Now());
  // The next frame is back on the sensor's grid.
  ASSERT_TRUE(ReadFrame());
  EXPECT_LT(Now() - before, 1500 + 168u);
}

TEST_F(FramePacingTest, StallKeepsTheReadyFlagDownAndFailsTheReadAfterItsTimeOut) {
  ZirvoSim_SetStall(camera(), 1);
  clock().Advance(5000);
  EXPECT_EQ(0, ReadyFlag());
  const uint32_t before = Now();
  EXPECT_FALSE(ReadFrame());
  EXPECT_GE(Now() - before, 10000u);
  EXPECT_LT(Now() - before, 10010u);
  EXPECT_EQ(0u, ZirvoSim_FramesServed(camera()));
  ZirvoSimExchange last[64];
  const unsigned held = ZirvoSim_GetLog(camera(), last, 64);
  ASSERT_GT(held, 0u);
  EXPECT_EQ(0, last[held - 1].ok);
}

class LongStallTest : public FramePacingTest {
 protected:
  // Long enough that the reader's own sleeps cannot reach it first.
  ZirvoSimConfig Config() const override {
    ZirvoSimConfig config = FramePacingTest::Config();
    config.stall_timeout_ms = 0x7FFFFFFFu;
    return config;
  }
};

TEST_F(LongStallTest, EndOfStallLetsABlockedReadFinish) {
  ZirvoSim_SetStall(camera(), 1);
  const uint32_t before = Now();
  std::thread unstaller([&] {
    while (platform::TimeGetTime() - before < 500) std::this_thread::yield();
    ZirvoSim_SetStall(camera(), 0);
  });
  EXPECT_TRUE(ReadFrame());
  unstaller.join();
  EXPECT_GE(Now() - before, 500u);
  EXPECT_EQ(1u, ZirvoSim_FramesServed(camera()));
}

class UnpacedSlowFrameTest : public FramePacingTest {
 protected:
  ZirvoSimConfig Config() const override { return FastSimConfig(); }
};

TEST_F(UnpacedSlowFrameTest, OnlyTheGivenNumberOfFramesAreSlow) {
  ZirvoSim_SetSlowFrames(camera(), 2, 1200);
  const uint32_t before = Now();
  ASSERT_TRUE(ReadFrame());
  ASSERT_TRUE(ReadFrame());
  EXPECT_EQ(before + 2400, Now());
  ASSERT_TRUE(ReadFrame());
  EXPECT_EQ(before + 2400, Now());
}

TEST_F(UnpacedSlowFrameTest, UnpacedFramesTakeNoTime) {
  const uint32_t before = Now();
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(ReadFrame());
  EXPECT_EQ(before, Now());
}

// On the system clock: a read held by a stall is ended by unplug or detach.
class BlockedReadTest : public SimCameraTest {
 protected:
  // Waits (in real time) until the camera has seen `count` exchanges.
  void AwaitExchanges(unsigned count) {
    while (ZirvoSim_GetLog(camera(), nullptr, 0) < count) std::this_thread::yield();
  }
};

TEST_F(BlockedReadTest, UnplugEndsABlockedFrameRead) {
  auto disk = platform::OpenRawDisk(Drive());
  ZirvoSim_SetStall(camera(), 1);
  std::atomic<int> result{-1};
  std::thread reader([&] {
    std::vector<uint8_t> frame;
    result.store(ReadFrameArea(*disk, frame, 512) ? 1 : 0);
  });
  AwaitExchanges(1);
  while (ZirvoSim_StalledReads(camera()) == 0) std::this_thread::yield();
  EXPECT_EQ(ZirvoSim_StalledReads(camera()), 1u);
  ZirvoSim_Unplug(camera());
  reader.join();
  EXPECT_EQ(0, result.load());
  EXPECT_EQ(ZirvoSim_StalledReads(camera()), 0u);
}

TEST_F(BlockedReadTest, DetachEndsABlockedFrameReadAndReturns) {
  auto disk = platform::OpenRawDisk(Drive());
  ZirvoSim_SetStall(camera(), 1);
  std::atomic<int> result{-1};
  std::thread reader([&] {
    std::vector<uint8_t> frame;
    result.store(ReadFrameArea(*disk, frame, 512) ? 1 : 0);
  });
  AwaitExchanges(1);
  DetachCamera();
  reader.join();
  EXPECT_EQ(0, result.load());
}

}  // namespace
}  // namespace zirvo::testing
