// Discovery and open, 8-bit registers, the pause handshake and the frame
// transfer, against the simulated camera.
#include "device/disk_camera_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "device/device_test_support.h"
#include "device/model7730_device.h"

namespace zirvo {
namespace {

using device_test::CommandHeaders;
using device_test::Eventually;
using device_test::ReadLog;
using device_test::UnpacedConfig;

constexpr char kCameraText[] = "USBSTOR\\Disk&Ven_KELVOR&Prod_USB3.0_7730QX&Rev_1.00\\X&0";

// --- Discovery --------------------------------------------------------------

class DeviceDiscoveryTest : public device_test::SimulatedCameraTest {};

TEST_F(DeviceDiscoveryTest, ScanCountsOnlyTextsWithAllWordsAndWithoutDS) {
  ZirvoSim_AddEnumEntry(kCameraText);
  ZirvoSim_AddEnumEntry("USBSTOR\\Disk&Ven_KELVOR&Prod_USB3.0_7730QX&Rev_1.00\\DS&0");
  ZirvoSim_AddEnumEntry("USBSTOR\\Disk&Ven_KELVOR&Prod_USB2.0_7730QX&Rev_1.00\\X&0");
  ZirvoSim_AddEnumEntry("USBSTOR\\Disk&Ven_KELVOR&Prod_USB3.0_7731QX&Rev_1.00\\X&0");
  ZirvoSim_AddEnumEntry("USBSTOR\\Disk&Ven_Kelvor&Prod_USB3.0_7730QX&Rev_1.00\\X&0");
  ZirvoSim_AddEnumEntry("USBSTOR\\Disk&Ven_KELVOR&Prod_usb3.0_7730QX&Rev_1.00\\X&0");
  ZirvoSim_AddEnumEntry("7730 USB3.0 KELVOR");
  Model7730Device device;
  EXPECT_EQ(device.GetDeviceCount(), 2);
  EXPECT_EQ(device.IsValidDeviceIndex(1), 1);
  EXPECT_EQ(device.IsValidDeviceIndex(2), 0);
  EXPECT_EQ(device.IsValidDeviceIndex(-1), 0);
}

TEST_F(DeviceDiscoveryTest, TextThatDoesNotFitTheValueBufferIsSkipped) {
  std::string fits = kCameraText;
  // 255 characters and the terminator fill the 256-byte buffer exactly.
  fits.resize(255, 'x');
  std::string tooLong = kCameraText;
  tooLong.resize(256, 'x');
  ZirvoSim_AddEnumEntry(fits.c_str());
  ZirvoSim_AddEnumEntry(tooLong.c_str());
  Model7730Device device;
  EXPECT_EQ(device.GetDeviceCount(), 1);
}

TEST_F(DeviceDiscoveryTest, ScanWithNoEntriesCountsNothingAndSelectFails) {
  Model7730Device device;
  EXPECT_EQ(device.GetDeviceCount(), 0);
  EXPECT_EQ(device.GetDeviceIndex(), 0);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.SelectDevice(0), 1);
}

TEST_F(DeviceDiscoveryTest, DrivesZeroAndFiveAreNeverTouched) {
  ZirvoSimCamera* zero = Attach(0);
  ZirvoSimCamera* five = Attach(5);
  Model7730Device device;
  EXPECT_EQ(device.GetDeviceCount(), 2);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.SelectDevice(1), 1);
  EXPECT_TRUE(ReadLog(zero).empty());
  EXPECT_TRUE(ReadLog(five).empty());
}

TEST_F(DeviceDiscoveryTest, DeviceNumbersFollowDriveOrderNotRegistryOrder) {
  ZirvoSim_AddEnumEntry(kCameraText);
  Attach(4);
  Attach(2);
  ZirvoSim_ResetEnum();
  ZirvoSim_AddEnumEntry(kCameraText);
  ZirvoSim_AddEnumEntry(kCameraText);
  Model7730Device device;
  EXPECT_EQ(device.GetOpenDrive(), 2);
  EXPECT_EQ(device.SelectDevice(1), 0);
  EXPECT_EQ(device.GetDeviceIndex(), 1);
  EXPECT_EQ(device.GetOpenDrive(), 4);
  EXPECT_EQ(device.SelectDevice(0), 0);
  EXPECT_EQ(device.GetOpenDrive(), 2);
}

TEST_F(DeviceDiscoveryTest, SecondNumberWithoutSecondDiskFailsAndKeepsTheCameraInUse) {
  ZirvoSimCamera* camera = Attach(3);
  ZirvoSim_AddEnumEntry(kCameraText);
  Model7730Device device;
  ASSERT_EQ(device.GetDeviceCount(), 2);
  ASSERT_EQ(device.SetCaptureWindow(0, 0, 64, 48, 0), 0);
  ASSERT_EQ(device.StartStreaming(), 0);
  EXPECT_EQ(device.SelectDevice(1), 1);
  EXPECT_EQ(device.GetDeviceIndex(), 0);
  EXPECT_EQ(device.GetOpenDrive(), 3);
  EXPECT_NE(device.GetTransferState(), TransferState::Failed);
  EXPECT_EQ(device.WriteRegister16(0x3056, 0x1010), 1);
  EXPECT_EQ(ZirvoSim_GetRegister(camera, 0x3056), 0x1010);
  device.StopStreaming();
}

TEST_F(DeviceDiscoveryTest, SelectingTheCountChangesNothing) {
  Attach(1);
  Model7730Device device;
  ASSERT_EQ(device.GetDeviceCount(), 1);
  EXPECT_EQ(device.SelectDevice(1), 1);
  EXPECT_EQ(device.GetDeviceIndex(), 0);
  EXPECT_EQ(device.GetOpenDrive(), 1);
}

TEST_F(DeviceDiscoveryTest, OpenOnlyReadsUntilTheCameraMatches) {
  ZirvoSimCamera* camera = Attach(1);
  Model7730Device device;
  ASSERT_TRUE(device.IsOpen());
  const std::vector<ZirvoSimExchange> log = ReadLog(camera);
  ASSERT_GE(log.size(), 2u);
  EXPECT_FALSE(log[0].write);
  EXPECT_EQ(log[0].offset, device_test::kReplySector);
  EXPECT_EQ(log[0].bytes, 512u);
  // The chip identifier read is the first command.
  EXPECT_TRUE(log[1].write);
  EXPECT_EQ(log[1].offset, device_test::kCommandSector);
  EXPECT_EQ(log[1].command[0], 0x21);
  EXPECT_EQ(device.GetChipId(), 0x2E00);
}

TEST_F(DeviceDiscoveryTest, TwoDeviceObjectsShareOneCamera) {
  Attach(2);
  Model7730Device first;
  Model7730Device second;
  EXPECT_EQ(first.GetOpenDrive(), 2);
  EXPECT_EQ(second.GetOpenDrive(), 2);
  EXPECT_EQ(second.WriteRegister16(0x305E, 0x1010), 1);
}

TEST_F(DeviceDiscoveryTest, DiskWithOtherModelBytesIsRefused) {
  Attach(1);
  DiskCameraDevice other(0x70, 0x06);
  other.ScanRegistry("7730");
  EXPECT_EQ(other.Open(), 0);
  DiskCameraDevice same(0x70, 0x05);
  EXPECT_EQ(same.Open(), 1);
}

// --- 8-bit register model ---------------------------------------------------

class ByteRegisterTest : public device_test::SimulatedCameraTest {
 protected:
  void SetUp() override {
    SimulatedCameraTest::SetUp();
    camera_ = Attach(1);
    ASSERT_EQ(device_.Open(), 1);
    ZirvoSim_ClearLog(camera_);
  }

  ZirvoSimCamera* camera_ = nullptr;
  DiskCameraDevice device_{0x70, 0x05};
};

TEST_F(ByteRegisterTest, WriteSendsAddressAndValueInOneBlock) {
  EXPECT_EQ(device_.WriteRegister8(0x3A5C, 0x7E), 1);
  EXPECT_EQ(CommandHeaders(camera_), (std::vector<std::vector<int>>{{0x20, 0x3A, 0x5C, 0x7E}}));
}

TEST_F(ByteRegisterTest, SixteenBitWriteIsTwoByteWritesHighFirst) {
  EXPECT_EQ(device_.WriteRegister16(0x1200, 0xABCD), 1);
  EXPECT_EQ(CommandHeaders(camera_),
            (std::vector<std::vector<int>>{{0x20, 0x12, 0x00, 0xAB}, {0x20, 0x12, 0x01, 0xCD}}));
}

TEST_F(ByteRegisterTest, ReadWritesTheRequestThenReadsTheReplySector) {
  uint8_t value = 0;
  EXPECT_EQ(device_.ReadRegister8(0x3A5C, &value), 1);
  const std::vector<ZirvoSimExchange> log = ReadLog(camera_);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].write);
  EXPECT_EQ(log[0].command[0], 0x21);
  EXPECT_EQ(log[0].command[1], 0x3A);
  EXPECT_EQ(log[0].command[2], 0x5C);
  EXPECT_FALSE(log[1].write);
  EXPECT_EQ(log[1].offset, device_test::kReplySector);
}

TEST_F(ByteRegisterTest, FailedReadLeavesTheValueUnchanged) {
  ZirvoSim_Unplug(camera_);
  uint8_t value = 0x5A;
  EXPECT_EQ(device_.ReadRegister8(0x0001, &value), 0);
  EXPECT_EQ(value, 0x5A);
  uint16_t wide = 0x1234;
  EXPECT_EQ(device_.ReadRegister16(0x0000, &wide), 0);
  EXPECT_EQ(wide, 0x1234);
  EXPECT_EQ(device_.WriteRegister8(0x0001, 1), 0);
}

TEST_F(ByteRegisterTest, BaseOperationsWithoutEffectGiveTheirFixedResults) {
  EXPECT_EQ(device_.SetCaptureWindow(0, 0, 8, 8, 0), 1);
  EXPECT_EQ(device_.SetMirrorH(1), 1);
  EXPECT_EQ(device_.SetMirrorV(1), 1);
  EXPECT_EQ(device_.Reserved8(), 1);
  EXPECT_EQ(device_.PollSingleCapture(), 1);
  uint8_t port = 0x77;
  EXPECT_EQ(device_.GetIoPort(&port), 0);
  EXPECT_EQ(port, 0x77);
  EXPECT_EQ(device_.ReadSromId(0, &port), 0);
  EXPECT_EQ(port, 0x77);
  EXPECT_EQ(device_.Reserved10(), 0);
  EXPECT_EQ(device_.Reserved27(0), 0);
  EXPECT_EQ(device_.Reserved28(), 0);
  EXPECT_EQ(device_.Reserved29(1), 0);
  int reserved = 0x55;
  EXPECT_EQ(device_.Reserved30(&reserved), 0);
  EXPECT_EQ(reserved, 0x55);
  EXPECT_EQ(device_.SetIoPort(1), 0);
  EXPECT_EQ(device_.WriteSromId(0, 1), 0);
  EXPECT_EQ(device_.SetSampleWidth(1), 0);
  EXPECT_EQ(device_.GetMirrorH(), 0);
  EXPECT_EQ(device_.GetMirrorV(), 0);
  EXPECT_TRUE(ReadLog(camera_).empty());
}

TEST_F(ByteRegisterTest, TimeoutAcceptsOneToTenThousand) {
  EXPECT_EQ(device_.GetTimeout(), 3000u);
  device_.SetTimeout(0);
  device_.SetTimeout(10001);
  EXPECT_EQ(device_.GetTimeout(), 3000u);
  device_.SetTimeout(10000);
  EXPECT_EQ(device_.GetTimeout(), 10000u);
}

// --- Frame transfer ---------------------------------------------------------

class FrameTransferTest : public device_test::SimulatedCameraTest {
 protected:
  void OpenCamera(const ZirvoSimConfig& config) {
    camera_ = Attach(1, config);
    device_ = std::make_unique<Model7730Device>();
    ASSERT_TRUE(device_->IsOpen());
    device_->SetTimeout(8000);
  }

  void OpenCamera(int chipId = 0x2E00) { OpenCamera(UnpacedConfig(chipId)); }

  // A stall that lasts until lifted: the camera waits on the manual clock,
  // which its own waiting moves on.
  void OpenStallingCamera(int chipId = 0x2E00) {
    ZirvoSimConfig config = UnpacedConfig(chipId);
    config.stall_timeout_ms = 0xFFFFFFFFu;
    OpenCamera(config);
    ASSERT_EQ(device_->SetCaptureWindow(0, 0, 64, 48, 0), 0);
  }

  void TearDown() override {
    device_.reset();
    SimulatedCameraTest::TearDown();
  }

  void OpenSmallWindow(int width = 64, int height = 48, int mode = 0) {
    OpenCamera();
    ASSERT_EQ(device_->SetCaptureWindow(0, 0, width, height, mode), 0);
  }

  bool FramesArrive(int count) {
    return Eventually([&] { return device_->GetFrameCounter() >= count; });
  }

  std::vector<uint8_t> LastServedFrame() {
    std::vector<uint8_t> frame(4384 * 3288);
    frame.resize(ZirvoSim_CopyLastFrame(camera_, frame.data(), unsigned(frame.size())));
    return frame;
  }

  // From here on time moves only when the test advances `held_`; it stays
  // installed until the fixture's teardown puts the previous clock back.
  void HoldClock() { platform::SetClock(&held_); }

  // Called right after a stop: no frame is requested any more. The read that
  // was in flight may still reach the camera, once, and finish on its own.
  void ExpectNothingAskedForAfterTheStop() {
    ZirvoSim_ClearLog(camera_);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int frameReads = 0;
    for (const ZirvoSimExchange& exchange : ReadLog(camera_)) {
      EXPECT_FALSE(exchange.write && exchange.offset == device_test::kCommandSector &&
                   exchange.command[0] == 0x10);
      frameReads += !exchange.write && exchange.offset == device_test::kFrameArea;
    }
    EXPECT_LE(frameReads, 1);
  }

  // True once some thread has slept on the held clock since `before`.
  bool SleptSince(uint64_t before) {
    return Eventually([&] { return held_.Sleeps() > before; });
  }

  ZirvoSimCamera* camera_ = nullptr;
  std::unique_ptr<Model7730Device> device_;
  device_test::HeldClock held_;
};

TEST_F(FrameTransferTest, StopOnIdleDeviceReturnsAtOnce) {
  OpenCamera();
  EXPECT_EQ(device_->StopStreaming(), 0);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Idle);
}

TEST_F(FrameTransferTest, StreamingSendsStartThenRequestsEachFrame) {
  OpenSmallWindow();
  ZirvoSim_ClearLog(camera_);
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(3));
  device_->StopStreaming();
  const std::vector<ZirvoSimExchange> log = ReadLog(camera_);
  ASSERT_GE(log.size(), 5u);
  // Start command, then per frame: request block, frame-area read.
  EXPECT_TRUE(log[0].write);
  EXPECT_EQ(log[0].command[0], 0x10);
  for (int frame = 0; frame < 2; ++frame) {
    const ZirvoSimExchange& request = log[1 + 2 * frame];
    const ZirvoSimExchange& read = log[2 + 2 * frame];
    EXPECT_TRUE(request.write);
    EXPECT_EQ(request.offset, device_test::kCommandSector);
    EXPECT_EQ(request.command[0], 0x10);
    EXPECT_FALSE(read.write);
    EXPECT_EQ(read.offset, device_test::kFrameArea);
    EXPECT_EQ(read.bytes, 64u * 48u);
  }
}

TEST_F(FrameTransferTest, PlainPathPollsReadyFlagBeforeEachFrame) {
  OpenCamera(0x1234);
  ASSERT_EQ(device_->SetCaptureWindow(0, 0, 100, 100, 0), 0);
  ZirvoSim_ClearLog(camera_);
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(2));
  device_->StopStreaming();
  bool sawFrameRead = false;
  bool polledFirst = false;
  for (const ZirvoSimExchange& exchange : ReadLog(camera_)) {
    if (!exchange.write && exchange.offset == device_test::kReplySector && !sawFrameRead) polledFirst = true;
    if (!exchange.write && exchange.offset == device_test::kFrameArea) {
      sawFrameRead = true;
      EXPECT_EQ(exchange.bytes, 10240u);
    }
    if (exchange.write && exchange.offset == device_test::kCommandSector && sawFrameRead) {
      // No frame requests: only the re-applied settings are written.
      EXPECT_NE(exchange.command[0], 0x10);
    }
  }
  EXPECT_TRUE(polledFirst);
  EXPECT_TRUE(sawFrameRead);
}

TEST_F(FrameTransferTest, FramesFillSlotsOneTwoZeroInTurn) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(7));
  ASSERT_EQ(device_->PauseTransfer(), 1);
  std::vector<int> sequences;
  for (int slot = 0; slot < 3; ++slot) sequences.push_back(device_->GetSlotSequence(slot));
  for (int slot = 0; slot < 3; ++slot) {
    EXPECT_EQ(sequences[slot] % 3, slot) << sequences[0] << " " << sequences[1] << " " << sequences[2];
  }
  device_->StopStreaming();
}

TEST_F(FrameTransferTest, FrameStatusReportsNothingUntilAFrameArrives) {
  OpenStallingCamera();
  ZirvoSim_SetStall(camera_, 1);
  ASSERT_EQ(device_->StartStreaming(), 0);
  EXPECT_EQ(device_->GetFrameStatus(), 2);
  ZirvoSim_SetStall(camera_, 0);
  EXPECT_TRUE(Eventually([&] { return device_->GetFrameStatus() == 3; }));
  device_->StopStreaming();
}

TEST_F(FrameTransferTest, TakenFrameIsTheFrameTheCameraSent) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(2));
  std::vector<uint8_t> taken(64 * 48, 0);
  EXPECT_EQ(device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0), 0);
  EXPECT_GT(device_->GetLastTaken(), 0);
  device_->StopStreaming();
  // A still scene: every frame of one window is the same.
  EXPECT_EQ(taken, LastServedFrame());
}

TEST_F(FrameTransferTest, StatusAfterTakingIsTwoUntilAnotherFrameCompletes) {
  OpenStallingCamera();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  // Once the stalled read moves the clock, every frame before it is counted.
  const uint32_t start = clock_.TimeGetTime();
  ZirvoSim_SetStall(camera_, 1);
  ASSERT_TRUE(Eventually([&] { return clock_.TimeGetTime() != start; }));
  std::vector<uint8_t> taken(64 * 48);
  device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0);
  EXPECT_EQ(device_->GetFrameStatus(), 2);
  ZirvoSim_SetStall(camera_, 0);
  EXPECT_TRUE(Eventually([&] { return device_->GetFrameStatus() == 3; }));
  device_->StopStreaming();
}

TEST_F(FrameTransferTest, TakeNeverWritesBeyondTheStatedSize) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  std::vector<uint8_t> destination(64 * 48, 0xEE);
  device_->TakeLatestFrame(destination.data(), 100, 0, 0);
  device_->StopStreaming();
  const std::vector<uint8_t> sent = LastServedFrame();
  EXPECT_TRUE(std::equal(destination.begin(), destination.begin() + 100, sent.begin()));
  EXPECT_EQ(std::count(destination.begin() + 100, destination.end(), 0xEE), 64 * 48 - 100);
}

TEST_F(FrameTransferTest, HalfModeOfOddWindowKeepsRowsAligned) {
  OpenSmallWindow(101, 75, 1);
  unsigned width = 0;
  unsigned height = 0;
  ZirvoSim_GetFrameSize(camera_, &width, &height);
  ASSERT_EQ(width, 51u);
  ASSERT_EQ(height, 38u);
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  std::vector<uint8_t> taken(50 * 37 + 16, 0xEE);
  device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0);
  device_->StopStreaming();
  const std::vector<uint8_t> sent = LastServedFrame();
  ASSERT_EQ(sent.size(), 51u * 38u);
  for (int row = 0; row < 37; ++row) {
    ASSERT_TRUE(std::equal(taken.begin() + row * 50, taken.begin() + row * 50 + 50, sent.begin() + row * 51))
        << "row " << row;
  }
  EXPECT_EQ(taken[50 * 37], 0xEE);
}

TEST_F(FrameTransferTest, SoftwareHalfModeHandsOutTheTopLeftQuarter) {
  OpenSmallWindow(64, 48, 17);
  ASSERT_EQ(device_->GetFrameBytes(), 64u * 48u);
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  std::vector<uint8_t> taken(64 * 48, 0xEE);
  device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0);
  device_->StopStreaming();
  const std::vector<uint8_t> sent = LastServedFrame();
  ASSERT_EQ(sent.size(), 64u * 48u);
  for (int row = 0; row < 24; ++row) {
    ASSERT_TRUE(std::equal(taken.begin() + row * 32, taken.begin() + row * 32 + 32, sent.begin() + row * 64));
  }
  EXPECT_EQ(std::count(taken.begin() + 32 * 24, taken.end(), 0xEE), 64 * 48 - 32 * 24);
}

TEST_F(FrameTransferTest, SoftwareQuarterModeCopiesItsShare) {
  OpenSmallWindow(64, 48, 18);
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  std::vector<uint8_t> taken(64 * 48, 0xEE);
  device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0);
  device_->StopStreaming();
  EXPECT_EQ(std::count(taken.begin(), taken.end(), 0xEE) <= 64 * 48 - 16 * 12, true);
  EXPECT_TRUE(std::all_of(taken.begin() + 16 * 12, taken.end(), [](uint8_t v) { return v == 0xEE; }));
}

// Where output column or row `index` of the eighth mode comes from: every
// eighth pair, as the sensor's own skipping takes them.
int EighthModeSource(int index) { return index / 2 * 16 + index % 2; }

TEST_F(FrameTransferTest, EverySubSampleModeHandsOutItsPictureRowByRow) {
  // Over the chart's first patches, so that rows and columns differ.
  constexpr int kLeft = 1000;
  constexpr int kTop = 800;
  constexpr int kWidth = 640;
  constexpr int kHeight = 480;
  OpenCamera();
  for (int mode : {0, 1, 2, 3, 4}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    ASSERT_EQ(device_->SetCaptureWindow(kLeft, kTop, kWidth, kHeight, mode), 0);
    const int divisor = mode == 1 ? 2 : mode == 2 ? 4 : mode == 3 ? 8 : 1;
    const int width = kWidth / divisor;
    const int height = kHeight / divisor;
    ASSERT_EQ(device_->StartStreaming(), 0);
    ASSERT_TRUE(FramesArrive(1));
    std::vector<uint8_t> taken(size_t(width) * height + 16, 0xEE);
    device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0);
    device_->StopStreaming();
    const std::vector<uint8_t> sent = LastServedFrame();
    unsigned sentWidth = 0;
    unsigned sentHeight = 0;
    ZirvoSim_GetFrameSize(camera_, &sentWidth, &sentHeight);
    ASSERT_EQ(sent.size(), size_t(sentWidth) * sentHeight);
    // Mode 3 is sent at full resolution and sampled here; the others are
    // sent at their own size.
    ASSERT_EQ(int(sentWidth), mode == 3 ? kWidth : width);
    std::set<std::vector<uint8_t>> distinctRows;
    for (int row = 0; row < height; ++row) {
      std::vector<uint8_t> expected(static_cast<size_t>(width));
      for (int column = 0; column < width; ++column) {
        const int sourceRow = mode == 3 ? EighthModeSource(row) : row;
        const int sourceColumn = mode == 3 ? EighthModeSource(column) : column;
        expected[size_t(column)] = sent[size_t(sourceRow) * sentWidth + size_t(sourceColumn)];
      }
      ASSERT_TRUE(std::equal(expected.begin(), expected.end(), taken.begin() + row * width)) << "row " << row;
      distinctRows.insert(expected);
    }
    // The chart changes down the picture, so rows taken from the wrong place show.
    EXPECT_GE(distinctRows.size(), 4u);
    EXPECT_TRUE(std::all_of(taken.begin() + width * height, taken.end(), [](uint8_t v) { return v == 0xEE; }));
  }
}

TEST_F(FrameTransferTest, WindowGrownWhileStreamingNeverOverrunsTheSlots) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  ASSERT_EQ(device_->SetCaptureWindow(0, 0, 640, 480, 0), 0);
  const int after = device_->GetFrameCounter();
  ASSERT_TRUE(FramesArrive(after + 3));
  EXPECT_EQ(device_->GetTransferState(), TransferState::Streaming);
  std::vector<uint8_t> taken(640 * 480, 0xEE);
  device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0);
  device_->StopStreaming();
  // The slots hold 64 x 48 bytes; nothing beyond them is handed out.
  EXPECT_TRUE(std::all_of(taken.begin() + 64 * 48, taken.end(), [](uint8_t v) { return v == 0xEE; }));
  // A new start sizes the slots for the new window.
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0);
  device_->StopStreaming();
  EXPECT_EQ(taken, LastServedFrame());
}

TEST_F(FrameTransferTest, WindowShrunkWhileStreamingReadsAndHandsOutTheNewSize) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  ASSERT_EQ(device_->SetCaptureWindow(0, 0, 32, 16, 0), 0);
  ZirvoSim_ClearLog(camera_);
  const int after = device_->GetFrameCounter();
  ASSERT_TRUE(FramesArrive(after + 4));
  std::vector<uint8_t> taken(64 * 48, 0xEE);
  device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0);
  device_->StopStreaming();
  std::vector<ZirvoSimExchange> reads;
  for (const ZirvoSimExchange& exchange : ReadLog(camera_))
    if (!exchange.write && exchange.offset == device_test::kFrameArea) reads.push_back(exchange);
  ASSERT_FALSE(reads.empty());
  EXPECT_EQ(reads.back().bytes, 512u);
  EXPECT_TRUE(std::all_of(taken.begin() + 32 * 16, taken.end(), [](uint8_t v) { return v == 0xEE; }));
  taken.resize(32 * 16);
  EXPECT_EQ(taken, LastServedFrame());
}

TEST_F(FrameTransferTest, StartingAgainWithoutStopReplacesTheRunningTransfer) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(3));
  ASSERT_EQ(device_->StartStreaming(), 0);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Streaming);
  EXPECT_TRUE(FramesArrive(2));
  EXPECT_EQ(device_->StopStreaming(), 0);
  ExpectNothingAskedForAfterTheStop();
}

TEST_F(FrameTransferTest, UnplugWhileStreamingFailsTheTransfer) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(2));
  ZirvoSim_Unplug(camera_);
  EXPECT_TRUE(Eventually([&] { return device_->GetFrameStatus() == 1; }));
  EXPECT_EQ(device_->GetTransferState(), TransferState::Failed);
  EXPECT_EQ(device_->StopStreaming(), 0);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Idle);
}

TEST_F(FrameTransferTest, StartFailsWithTwentyWhenTheCommandCannotBeSent) {
  OpenSmallWindow();
  ZirvoSim_Unplug(camera_);
  EXPECT_EQ(device_->StartStreaming(), 20);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Idle);
  EXPECT_EQ(device_->StartSingleCapture(), 20);
}

TEST_F(FrameTransferTest, StartWithoutDiskFailsOnTheFirstRead) {
  Model7730Device device;
  ASSERT_FALSE(device.IsOpen());
  EXPECT_EQ(device.StartStreaming(), 0);
  EXPECT_TRUE(Eventually([&] { return device.GetFrameStatus() == 1; }));
  EXPECT_EQ(device.StopStreaming(), 0);
}

TEST_F(FrameTransferTest, StalledReadyFlagTimesOutOnThePlainPath) {
  OpenCamera(0x1234);
  ASSERT_EQ(device_->SetCaptureWindow(0, 0, 64, 48, 0), 0);
  device_->SetTimeout(200);
  ZirvoSim_SetStall(camera_, 1);
  ZirvoSim_ClearLog(camera_);
  ASSERT_EQ(device_->StartStreaming(), 0);
  EXPECT_TRUE(Eventually([&] { return device_->GetFrameStatus() == 1; }));
  EXPECT_EQ(device_->GetFrameCounter(), 0);
  device_->StopStreaming();
  // One poll per unit of time-out, then no frame-area read at all.
  int polls = 0;
  for (const ZirvoSimExchange& exchange : ReadLog(camera_)) {
    EXPECT_FALSE(!exchange.write && exchange.offset == device_test::kFrameArea);
    polls += !exchange.write && exchange.offset == device_test::kReplySector;
  }
  EXPECT_EQ(polls, 200);
}

TEST_F(FrameTransferTest, StalledFrameReadFailsAfterTheCameraGivesUp) {
  ZirvoSimConfig config = UnpacedConfig();
  config.stall_timeout_ms = 50;
  OpenCamera(config);
  ASSERT_EQ(device_->SetCaptureWindow(0, 0, 64, 48, 0), 0);
  ZirvoSim_SetStall(camera_, 1);
  ASSERT_EQ(device_->StartStreaming(), 0);
  EXPECT_TRUE(Eventually([&] { return device_->GetFrameStatus() == 1; }));
  device_->StopStreaming();
}

TEST_F(FrameTransferTest, DestroyingAStreamingDeviceEndsItsThread) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(2));
  device_.reset();
  ExpectNothingAskedForAfterTheStop();
}

TEST_F(FrameTransferTest, SelectingAnotherDeviceFailsTheRunningTransfer) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  EXPECT_EQ(device_->SelectDevice(0), 0);
  EXPECT_TRUE(Eventually([&] { return device_->GetFrameStatus() == 1; }));
  device_->StopStreaming();
}

// --- Pause handshake --------------------------------------------------------

TEST_F(FrameTransferTest, PauseHoldsTheTransferUntilResumed) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  const int token = device_->PauseTransfer();
  ASSERT_EQ(token, 1);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Paused);
  const unsigned served = ZirvoSim_FramesServed(camera_);
  clock_.Advance(50);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(ZirvoSim_FramesServed(camera_), served);
  device_->ResumeTransfer(token);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Streaming);
  EXPECT_TRUE(Eventually([&] { return ZirvoSim_FramesServed(camera_) > served; }));
  device_->StopStreaming();
}

TEST_F(FrameTransferTest, RegisterChangesBackToBackLeaveAFrameBetweenEach) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  const int before = device_->GetFrameCounter();
  constexpr int kChanges = 40;
  for (int i = 0; i < kChanges; ++i) ASSERT_EQ(device_->SetExposure(100 + i), 1) << i;
  // Each change after the first waited for a frame read since the resume
  // that ended the one before it.
  EXPECT_GE(device_->GetFrameCounter() - before, kChanges - 1);
  EXPECT_EQ(ZirvoSim_GetRegister(camera_, 0x0202), 100 + kChanges - 1);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Streaming);
  device_->StopStreaming();
}

TEST_F(FrameTransferTest, StopAndDestructionDuringAStalledFrameReadReturnAtOnce) {
  OpenStallingCamera();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  // The next frame read reaches the camera and blocks there.
  ZirvoSim_SetStall(camera_, 1);
  ASSERT_TRUE(Eventually([&] { return ZirvoSim_StalledReads(camera_) == 1; }));
  const int framesBefore = device_->GetFrameCounter();
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    device_->StopStreaming();
    stopped.store(true);
  });
  const bool stopReturned = Eventually([&] { return stopped.load(); });
  // Without the mend the stop waits for the stall: end it so the test ends.
  if (!stopReturned) ZirvoSim_SetStall(camera_, 0);
  stopper.join();
  EXPECT_TRUE(stopReturned);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Idle);
  EXPECT_EQ(device_->GetFrameCounter(), framesBefore);

  // The read still holds the disk: a new start gives up after the time-out
  // instead of holding the caller.
  device_->SetTimeout(50);
  std::atomic<int> startResult{-1};
  std::thread starter([&] { startResult.store(device_->StartStreaming()); });
  const bool startReturned = Eventually([&] { return startResult.load() != -1; });
  if (!startReturned) ZirvoSim_SetStall(camera_, 0);
  starter.join();
  EXPECT_TRUE(startReturned);
  EXPECT_EQ(startResult.load(), 20);
  device_->StopStreaming();

  // The device goes while the read is still blocked; when the camera answers
  // at last, the read ends on its own without the device.
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] {
    device_.reset();
    destroyed.store(true);
  });
  const bool destroyReturned = Eventually([&] { return destroyed.load(); });
  if (!destroyReturned) ZirvoSim_SetStall(camera_, 0);
  destroyer.join();
  EXPECT_TRUE(destroyReturned);
  const unsigned served = ZirvoSim_FramesServed(camera_);
  ZirvoSim_SetStall(camera_, 0);
  EXPECT_TRUE(Eventually([&] { return ZirvoSim_FramesServed(camera_) == served + 1; }));
}

TEST_F(FrameTransferTest, PauseOfIdleTransferChangesNothing) {
  OpenCamera();
  EXPECT_EQ(device_->PauseTransfer(), 0);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Idle);
  device_->ResumeTransfer(0);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Idle);
}

TEST_F(FrameTransferTest, UnacknowledgedPauseGivesUpAndStreamingGoesOn) {
  OpenStallingCamera();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  // A frame read held until the test lets it go: nothing acknowledges a pause.
  const uint32_t start = clock_.TimeGetTime();
  ZirvoSim_SetStall(camera_, 1);
  ASSERT_TRUE(Eventually([&] { return clock_.TimeGetTime() - start > 100; }));
  ZirvoSim_ClearLog(camera_);
  const int framesBefore = device_->GetFrameCounter();
  EXPECT_EQ(device_->SetGlobalGain(40), 0);
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 32, 32, 0), 20);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Streaming);
  for (const std::vector<int>& header : CommandHeaders(camera_)) EXPECT_NE(header[0], 0x20);
  EXPECT_EQ(ZirvoSim_GetRegister(camera_, 0x305E), -1);
  ZirvoSim_SetStall(camera_, 0);
  EXPECT_TRUE(FramesArrive(framesBefore + 2));
  device_->StopStreaming();
}

TEST_F(FrameTransferTest, FailureDuringAPauseIsNotHiddenByTheResume) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  const int token = device_->PauseTransfer();
  ASSERT_EQ(token, 1);
  // Selecting another camera fails the transfer under the pause.
  Attach(2);
  device_->ScanRegistry("7730");
  ASSERT_EQ(device_->SelectDevice(1), 0);
  device_->ResumeTransfer(token);
  EXPECT_EQ(device_->GetFrameStatus(), 1);
  device_->StopStreaming();
}

TEST_F(FrameTransferTest, ReadFailingDuringAPauseAbandonsTheRegisterChange) {
  OpenStallingCamera();
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(FramesArrive(1));
  // The next frame read blocks until the camera is unplugged under the pause,
  // and the pause lasts until the test moves the held clock.
  HoldClock();
  ZirvoSim_SetStall(camera_, 1);
  ASSERT_TRUE(SleptSince(0));
  std::atomic<bool> sawPause{false};
  std::atomic<bool> sawFailure{false};
  std::atomic<bool> changeEnded{false};
  std::thread unplug([&] {
    sawPause = Eventually([&] { return device_->GetTransferState() == TransferState::Paused; });
    ZirvoSim_Unplug(camera_);
    sawFailure = Eventually([&] { return device_->GetFrameStatus() == 1; });
    // The pause shows before its wait reads the clock: one step could land
    // before the wait begins and leave it waiting on time that never moves.
    while (!changeEnded.load()) {
      held_.Advance(1000);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const int windowResult = device_->SetCaptureWindow(0, 0, 32, 24, 0);
  changeEnded = true;
  unplug.join();
  EXPECT_TRUE(sawPause.load());
  EXPECT_TRUE(sawFailure.load());
  EXPECT_EQ(windowResult, 20);
  int width = 0;
  device_->GetCaptureWindow(nullptr, nullptr, &width, nullptr, nullptr);
  EXPECT_EQ(width, 64);
  EXPECT_EQ(device_->GetFrameStatus(), 1);
  device_->StopStreaming();
}

TEST_F(FrameTransferTest, PauseIsRefusedWhileAnotherWaits) {
  OpenCamera();
  // Nothing acknowledges here; the first wait lasts until the test ends it.
  HoldClock();
  const uint32_t start = held_.TimeGetTime();
  std::atomic<bool> firstEnded{false};
  int firstResult = -1;
  std::thread first([&] {
    firstResult = device_->WaitPauseAck();
    firstEnded.store(true);
  });
  ASSERT_TRUE(SleptSince(0));
  // The refusal comes at once: held time would never end a wait of its own.
  std::atomic<int> secondResult{-1};
  std::thread second([&] { secondResult = device_->WaitPauseAck(); });
  const bool refusedAtOnce = Eventually([&] { return secondResult.load() != -1; });
  EXPECT_TRUE(refusedAtOnce);
  EXPECT_FALSE(firstEnded.load());
  held_.Advance(1000);
  first.join();
  if (!refusedAtOnce) held_.Advance(1000);
  second.join();
  EXPECT_EQ(secondResult.load(), 0);
  EXPECT_EQ(firstResult, 0);
  EXPECT_GE(held_.TimeGetTime() - start, 1000u);
}

TEST_F(FrameTransferTest, ConsumerCopiesNeverMeetTheProducersWrites) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  std::vector<uint8_t> taken(64 * 48);
  int lastSequence = 0;
  for (int copy = 0; copy < 300; ++copy) {
    ASSERT_TRUE(Eventually([&] { return device_->GetFrameStatus() != 2; }));
    ASSERT_EQ(device_->GetFrameStatus(), 3);
    device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0);
    EXPECT_GT(device_->GetLastTaken(), lastSequence);
    lastSequence = device_->GetLastTaken();
  }
  device_->StopStreaming();
  EXPECT_EQ(taken, LastServedFrame());
}

// The counter is how callers learn that a frame arrived: once it reads n,
// frame n is there to be taken, however the two threads interleave.
TEST_F(FrameTransferTest, CountedFrameIsAlwaysThereToTake) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartStreaming(), 0);
  std::vector<uint8_t> taken(64 * 48);
  int behind = 0;
  for (int copy = 0; copy < 2000; ++copy) {
    // A tight spin: the consumer must act the moment the counter moves.
    const int before = device_->GetFrameCounter();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int counted = before;
    while ((counted = device_->GetFrameCounter()) == before) {
      ASSERT_LT(std::chrono::steady_clock::now(), end);
    }
    device_->TakeLatestFrame(taken.data(), int(taken.size()), 0, 0);
    if (device_->GetLastTaken() < counted) ++behind;
  }
  device_->StopStreaming();
  EXPECT_EQ(behind, 0);
}

// --- Frame rate ---------------------------------------------------------------

// Time that moves 250 ms with every frame the device has read.
class FramePacedClock : public platform::Clock {
 public:
  explicit FramePacedClock(const DiskCameraDevice& device, uint32_t start = 0) : device_(device), start_(start) {}
  uint32_t TimeGetTime() override { return start_ + 250u * uint32_t(device_.GetFrameCounter()); }
  uint32_t GetTickCount() override { return TimeGetTime(); }
  void Sleep(uint32_t) override { std::this_thread::yield(); }

 private:
  const DiskCameraDevice& device_;
  const uint32_t start_;
};

// Streams on a clock that moves 250 ms per frame read until the device has
// measured a rate; 0 when it never did.
float MeasureOnFramePacedClock(DiskCameraDevice& device, uint32_t start) {
  FramePacedClock frameClock(device, start);
  platform::Clock* previous = platform::SetClock(&frameClock);
  float rate = 0.0f;
  if (device.StartStreaming() == 0) {
    Eventually([&] { return device.GetFrameRate() != 0.0f; });
    rate = device.GetFrameRate();
  }
  device.StopStreaming();
  platform::SetClock(previous);
  return rate;
}

TEST_F(FrameTransferTest, FrameRateIsFramesPerMeasuredSecond) {
  OpenSmallWindow();
  EXPECT_EQ(device_->GetFrameRate(), 0.0f);
  // Five frames in 1250 ms: the first interval longer than a second.
  EXPECT_FLOAT_EQ(MeasureOnFramePacedClock(*device_, 0), 4.0f);
}

TEST_F(FrameTransferTest, FrameRateIntervalSpansTheClockWrap) {
  OpenSmallWindow();
  EXPECT_FLOAT_EQ(MeasureOnFramePacedClock(*device_, 0xFFFFFF00u), 4.0f);
}

// --- Single capture -------------------------------------------------------------

TEST_F(FrameTransferTest, SingleCaptureFillsSlotZeroOnce) {
  OpenSmallWindow();
  ASSERT_EQ(device_->StartSingleCapture(), 0);
  ASSERT_TRUE(Eventually([&] { return device_->GetTransferState() == TransferState::Stopping; }));
  EXPECT_EQ(device_->GetSlotSequence(0), 1);
  EXPECT_EQ(device_->GetSlotSequence(1), 0);
  std::vector<uint8_t> taken(64 * 48 + 8, 0xEE);
  EXPECT_EQ(device_->FinishSingleCapture(taken.data(), int(taken.size()), 0, 0), 0);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Idle);
  EXPECT_EQ(device_->GetLastTaken(), 1);
  EXPECT_EQ(ZirvoSim_FramesServed(camera_), 1u);
  taken.resize(64 * 48);
  EXPECT_EQ(taken, LastServedFrame());
}

TEST_F(FrameTransferTest, SingleCaptureThatTimesOutLeavesTheDestinationAndEnds) {
  OpenStallingCamera();
  device_->SetTimeout(100);
  ZirvoSim_SetStall(camera_, 1);
  ASSERT_EQ(device_->StartSingleCapture(), 0);
  std::vector<uint8_t> taken(64 * 48, 0xEE);
  EXPECT_EQ(device_->FinishSingleCapture(taken.data(), int(taken.size()), 0, 0), 0);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Idle);
  EXPECT_EQ(device_->GetLastTaken(), 0);
  EXPECT_TRUE(std::all_of(taken.begin(), taken.end(), [](uint8_t v) { return v == 0xEE; }));
  // The late frame does not revive the capture, and the next start joins it.
  ZirvoSim_SetStall(camera_, 0);
  device_->SetTimeout(10000);  // the wait ends with the frame; a loaded machine must not time it out
  ASSERT_EQ(device_->StartSingleCapture(), 0);
  EXPECT_EQ(device_->FinishSingleCapture(taken.data(), int(taken.size()), 0, 0), 0);
  EXPECT_EQ(device_->GetLastTaken(), 1);
  EXPECT_EQ(taken, LastServedFrame());
}

TEST_F(FrameTransferTest, DestroyingAfterAnAbandonedCaptureDoesNotHang) {
  ZirvoSimConfig config = UnpacedConfig();
  config.stall_timeout_ms = 200;
  OpenCamera(config);
  ASSERT_EQ(device_->SetCaptureWindow(0, 0, 64, 48, 0), 0);
  device_->SetTimeout(10);
  ZirvoSim_SetStall(camera_, 1);
  ASSERT_EQ(device_->StartSingleCapture(), 0);
  std::vector<uint8_t> taken(64 * 48);
  device_->FinishSingleCapture(taken.data(), int(taken.size()), 0, 0);
  device_.reset();
  SUCCEED();
}

}  // namespace
}  // namespace zirvo
