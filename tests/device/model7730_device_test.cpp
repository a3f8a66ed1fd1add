// The 7730QX's sensor registers: wire blocks, verified writes, window,
// flip, gain and exposure programming, against the simulated camera.
#include "device/model7730_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "device/device_test_support.h"

namespace zirvo {
namespace {

using device_test::CommandHeaders;
using device_test::Eventually;
using device_test::ReadLog;
using Headers = std::vector<std::vector<int>>;

class Model7730DeviceTest : public device_test::SimulatedCameraTest {
 protected:
  void Open(int chipId = 0x2E00) {
    camera_ = Attach(1, chipId);
    device_ = std::make_unique<Model7730Device>();
    ASSERT_TRUE(device_->IsOpen());
    ZirvoSim_ClearLog(camera_);
  }

  void TearDown() override {
    device_.reset();
    SimulatedCameraTest::TearDown();
  }

  int Register(int address) { return ZirvoSim_GetRegister(camera_, address); }

  // Addresses of the 16-bit writes on the wire, in order.
  std::vector<int> WrittenAddresses() {
    std::vector<int> addresses;
    for (const std::vector<int>& header : CommandHeaders(camera_)) {
      if (header[0] == 0x20 && header[1] == 0x00) addresses.push_back(header[2] << 8 | header[3]);
    }
    return addresses;
  }

  int ReadCommands() {
    int reads = 0;
    for (const std::vector<int>& header : CommandHeaders(camera_)) reads += header[0] == 0x21;
    return reads;
  }

  ZirvoSimCamera* camera_ = nullptr;
  std::unique_ptr<Model7730Device> device_;
};

TEST_F(Model7730DeviceTest, OpenReadsTheChipIdentifier) {
  camera_ = Attach(1, 0x1234);
  Model7730Device device;
  EXPECT_EQ(device.GetChipId(), 0x1234);
  EXPECT_EQ(CommandHeaders(camera_), (Headers{{0x21, 0x00, 0x00, 0x00}}));
}

TEST_F(Model7730DeviceTest, ConstructionLeavesTheDefaultWindowUnprogrammed) {
  Open();
  int x = -1, y = -1, width = 0, height = 0, mode = -1;
  device_->GetCaptureWindow(&x, &y, &width, &height, &mode);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(width, 4384);
  EXPECT_EQ(height, 3288);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(device_->GetFrameBytes(), 14414848u);
  EXPECT_EQ(Register(0x034C), -1);
}

TEST_F(Model7730DeviceTest, RegisterWriteIsAddressBlockThenValueBlock) {
  Open();
  EXPECT_EQ(device_->WriteRegister16(0x3056, 0x107D), 1);
  EXPECT_EQ(CommandHeaders(camera_), (Headers{{0x20, 0x00, 0x30, 0x56}, {0x20, 0x01, 0x10, 0x7D}}));
  EXPECT_EQ(Register(0x3056), 0x107D);
}

TEST_F(Model7730DeviceTest, RegisterReadWaitsThenReadsTheLittleEndianReply) {
  Open();
  ASSERT_EQ(device_->WriteRegister16(0x3044, 0xBEEF), 1);
  ZirvoSim_ClearLog(camera_);
  const uint32_t before = clock_.TimeGetTime();
  uint16_t value = 0;
  EXPECT_EQ(device_->ReadSensorRegister(0x3044, &value), 1);
  EXPECT_EQ(value, 0xBEEF);
  EXPECT_GE(clock_.TimeGetTime() - before, 10u);
  const std::vector<ZirvoSimExchange> log = ReadLog(camera_);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(log[0].write);
  EXPECT_EQ(log[0].command[0], 0x21);
  EXPECT_EQ(log[0].command[2], 0x30);
  EXPECT_EQ(log[0].command[3], 0x44);
  EXPECT_FALSE(log[1].write);
  EXPECT_EQ(log[1].offset, device_test::kReplySector);
}

TEST_F(Model7730DeviceTest, FullWindowProgramsTheSensorAsDocumented) {
  Open();
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 4384, 3288, 0), 0);
  EXPECT_EQ(Register(0x0344), 24);
  EXPECT_EQ(Register(0x0346), 0);
  EXPECT_EQ(Register(0x0348), 4407);
  EXPECT_EQ(Register(0x034A), 3287);
  EXPECT_EQ(Register(0x034C), 4384);
  EXPECT_EQ(Register(0x034E), 3288);
  EXPECT_EQ(Register(0x0340), 3431);
  EXPECT_EQ(Register(0x0342), 9392);
  EXPECT_EQ(Register(0x3040), 0x41);
  EXPECT_EQ(Register(0x0104), 0);
  EXPECT_EQ(Register(0x0400), 0);
  EXPECT_EQ(Register(0x0404), 16);
  EXPECT_EQ(Register(0x3010), 0x94);
  EXPECT_EQ(Register(0x3014), 0x3FC);
}

TEST_F(Model7730DeviceTest, WindowRegistersGoOutInTheirFixedOrder) {
  Open();
  device_->SetCaptureWindow(8, 4, 640, 480, 0);
  std::vector<int> distinct;
  for (int address : WrittenAddresses()) {
    if (distinct.empty() || distinct.back() != address) distinct.push_back(address);
  }
  EXPECT_EQ(distinct, (std::vector<int>{0x0104, 0x0340, 0x0342, 0x0344, 0x0346, 0x0348, 0x034A, 0x034C, 0x034E,
                                        0x0400, 0x0404, 0x3018, 0x3010, 0x3014, 0x301A, 0x0104, 0x3040}));
  EXPECT_EQ(Register(0x0344), 32);
  EXPECT_EQ(Register(0x0346), 4);
}

// One entry per exchange: a command block's first four bytes, or {-1} for a
// read of the reply sector.
Headers WireSequence(ZirvoSimCamera* camera) {
  Headers sequence;
  for (const ZirvoSimExchange& exchange : ReadLog(camera)) {
    if (exchange.write && exchange.offset == device_test::kCommandSector) {
      sequence.push_back({exchange.command[0], exchange.command[1], exchange.command[2], exchange.command[3]});
    } else if (!exchange.write && exchange.offset == device_test::kReplySector) {
      sequence.push_back({-1});
    } else {
      sequence.push_back({-2, int(exchange.offset)});
    }
  }
  return sequence;
}

void AppendWrite(Headers& sequence, int address, int value) {
  sequence.push_back({0x20, 0x00, address >> 8, address & 0xFF});
  sequence.push_back({0x20, 0x01, (value >> 8) & 0xFF, value & 0xFF});
}

void AppendRead(Headers& sequence, int address) {
  sequence.push_back({0x21, 0x00, address >> 8, address & 0xFF});
  sequence.push_back({-1});
}

// Window (8, 4, 640, 480, 0) up to and including 0x3014.
const std::vector<std::pair<int, int>> kWindowWritesBeforeReset{
    {0x0104, 1},   {0x0340, 623}, {0x0342, 3072}, {0x0344, 32},   {0x0346, 4},
    {0x0348, 671}, {0x034A, 483}, {0x034C, 640},  {0x034E, 480},  {0x0400, 0},
    {0x0404, 16},  {0x3018, 0},   {0x3010, 0x94}, {0x3014, 0x3FC}};

TEST_F(Model7730DeviceTest, WindowChangeOnTheVerifiedChipIsTheExactExchangeSequence) {
  Open();
  const int reset = ZirvoSim_PeekRegister(camera_, 0x301A);
  ASSERT_GE(reset, 0);
  ASSERT_EQ(device_->SetCaptureWindow(8, 4, 640, 480, 0), 0);
  Headers expected;
  auto verifiedWrite = [&](int address, int value) {
    AppendWrite(expected, address, value);
    AppendRead(expected, address);
  };
  for (const auto& [address, value] : kWindowWritesBeforeReset) verifiedWrite(address, value);
  AppendRead(expected, 0x30D4);
  AppendRead(expected, 0x3044);
  AppendRead(expected, 0x301A);
  verifiedWrite(0x301A, reset | 0x0002);
  verifiedWrite(0x0104, 0);
  verifiedWrite(0x3040, 0x41);
  EXPECT_EQ(WireSequence(camera_), expected);
  // Every reply is read at least 10 ms after its read command.
  const std::vector<ZirvoSimExchange> log = ReadLog(camera_);
  for (std::size_t i = 1; i < log.size(); ++i) {
    if (!log[i].write) {
      EXPECT_GE(log[i].time_ms - log[i - 1].time_ms, 10u) << "exchange " << i;
    }
  }
}

TEST_F(Model7730DeviceTest, WindowChangeOnAnotherChipIsPlainWritesWithTheDefaultReset) {
  Open(0x1234);
  ASSERT_EQ(device_->SetCaptureWindow(8, 4, 640, 480, 0), 0);
  Headers expected;
  for (const auto& [address, value] : kWindowWritesBeforeReset) AppendWrite(expected, address, value);
  AppendWrite(expected, 0x301A, 0x10DE);
  AppendWrite(expected, 0x0104, 0);
  AppendWrite(expected, 0x3040, 0x41);
  EXPECT_EQ(WireSequence(camera_), expected);
}

TEST_F(Model7730DeviceTest, OddHalfWindowRoundsTheOutputUp) {
  Open(0x1234);
  ASSERT_EQ(device_->SetCaptureWindow(5, 3, 101, 51, 1), 0);
  Headers expected;
  for (const auto& [address, value] : std::vector<std::pair<int, int>>{
           {0x0104, 1}, {0x0340, 26 + 143}, {0x0342, 2 * (1224 + 156)}, {0x0344, 29}, {0x0346, 3},
           {0x0348, 130}, {0x034A, 54}, {0x034C, 51}, {0x034E, 26}, {0x0400, 0}, {0x0404, 16},
           {0x3018, 0}, {0x3010, 0x94}, {0x3014, 0x3FC}, {0x301A, 0x10DE}, {0x0104, 0}, {0x3040, 0xC3}}) {
    AppendWrite(expected, address, value);
  }
  EXPECT_EQ(WireSequence(camera_), expected);
}

TEST_F(Model7730DeviceTest, VerifiedRetriesAreTenMillisecondsApart) {
  Open();
  ZirvoSim_SetReadbackMismatch(camera_, 0x3040, 1);
  ASSERT_EQ(device_->SetMirrorV(1), 0);
  Headers expected;
  AppendWrite(expected, 0x3040, 0x8041);
  AppendRead(expected, 0x3040);
  AppendWrite(expected, 0x3040, 0x8041);
  AppendRead(expected, 0x3040);
  EXPECT_EQ(WireSequence(camera_), expected);
  const std::vector<ZirvoSimExchange> log = ReadLog(camera_);
  ASSERT_EQ(log.size(), 8u);
  EXPECT_GE(log[4].time_ms - log[3].time_ms, 10u);
}

TEST_F(Model7730DeviceTest, WindowOriginThatWouldOverflowIsRefused) {
  Open();
  EXPECT_EQ(device_->SetCaptureWindow(0x7FFFFFFE, 0, 4, 100, 0), 1);
  EXPECT_EQ(device_->SetCaptureWindow(0, 0x7FFFFFFE, 100, 4, 0), 1);
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 0x7FFFFFFF, 100, 0), 1);
  EXPECT_TRUE(ReadLog(camera_).empty());
  int x = -1;
  device_->GetCaptureWindow(&x, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(x, 0);
}

TEST_F(Model7730DeviceTest, HalfModeProgramsHalfOutput) {
  Open();
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 4384, 3288, 1), 0);
  EXPECT_EQ(Register(0x034C), 2192);
  EXPECT_EQ(Register(0x034E), 1644);
  EXPECT_EQ(Register(0x0348), 4408);
  EXPECT_EQ(Register(0x034A), 3288);
  EXPECT_EQ(Register(0x0340), 1787);
  EXPECT_EQ(Register(0x0342), 4696);
  EXPECT_EQ(Register(0x3040), 0xC3);
}

TEST_F(Model7730DeviceTest, QuarterModeUsesTheMinimumLineLength) {
  Open();
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 640, 480, 2), 0);
  EXPECT_EQ(Register(0x034C), 160);
  EXPECT_EQ(Register(0x034E), 120);
  EXPECT_EQ(Register(0x0342), 2604);
  EXPECT_EQ(Register(0x3040), 0x1C7);
  EXPECT_EQ(device_->GetFrameBytes(), 19456u);
}

TEST_F(Model7730DeviceTest, EighthModeProgramsFullResolution) {
  Open();
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 640, 480, 3), 0);
  EXPECT_EQ(Register(0x034C), 640);
  EXPECT_EQ(Register(0x3040), 0x41);
}

TEST_F(Model7730DeviceTest, BadWindowsAreRefusedWithoutTouchingTheCamera) {
  Open();
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 3, 100, 0), 1);
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 100, 2, 0), 1);
  EXPECT_EQ(device_->SetCaptureWindow(-1, 0, 100, 100, 0), 1);
  EXPECT_EQ(device_->SetCaptureWindow(1, 0, 4384, 100, 0), 1);
  EXPECT_EQ(device_->SetCaptureWindow(0, 1, 100, 3288, 0), 1);
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 100, 100, 21), 1);
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 100, 100, -1), 1);
  EXPECT_TRUE(ReadLog(camera_).empty());
  int width = 0;
  device_->GetCaptureWindow(nullptr, nullptr, &width, nullptr, nullptr);
  EXPECT_EQ(width, 4384);
}

TEST_F(Model7730DeviceTest, WindowChangeReadsBackThe301ARegisterOnTheVerifiedChip) {
  Open();
  device_->SetCaptureWindow(0, 0, 640, 480, 0);
  EXPECT_EQ(Register(0x301A) & 0x0002, 0x0002);
  EXPECT_EQ(Register(0x301A), ZirvoSim_PeekRegister(camera_, 0x301A));
}

TEST_F(Model7730DeviceTest, OtherChipWritesOnceAndSetsTheDefault301A) {
  Open(0x1234);
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 640, 480, 0), 0);
  EXPECT_EQ(Register(0x301A), 0x10DE);
  EXPECT_EQ(ReadCommands(), 0);
  EXPECT_EQ(WrittenAddresses().size(), 17u);
  uint16_t value = 0x5555;
  ZirvoSim_ClearLog(camera_);
  EXPECT_EQ(device_->ReadSensorRegister(0x0340, &value), 0);
  EXPECT_EQ(value, 0x5555);
  EXPECT_TRUE(ReadLog(camera_).empty());
}

TEST_F(Model7730DeviceTest, VerifiedWriteRetriesUntilTheReadBackMatches) {
  Open();
  ZirvoSim_SetReadbackMismatch(camera_, 0x0344, 3);
  device_->SetCaptureWindow(0, 0, 640, 480, 0);
  const std::vector<int> addresses = WrittenAddresses();
  EXPECT_EQ(std::count(addresses.begin(), addresses.end(), 0x0344), 4);
  EXPECT_EQ(std::count(addresses.begin(), addresses.end(), 0x0346), 1);
}

TEST_F(Model7730DeviceTest, VerifiedWriteGivesUpAfterTenMismatches) {
  Open();
  device_->SetCaptureWindow(0, 0, 640, 480, 0);
  ZirvoSim_ClearLog(camera_);
  ZirvoSim_SetReadbackMismatch(camera_, 0x3040, 50);
  // The flip's result does not report the failed write.
  EXPECT_EQ(device_->SetMirrorV(1), 0);
  const std::vector<int> addresses = WrittenAddresses();
  EXPECT_EQ(std::count(addresses.begin(), addresses.end(), 0x3040), 10);
}

TEST_F(Model7730DeviceTest, UnverifiedWritesAreSingle) {
  Open();
  ZirvoSim_SetReadbackMismatch(camera_, -1, 50);
  EXPECT_EQ(device_->WriteSensorRegister(0x0202, 100), 1);
  EXPECT_EQ(WrittenAddresses(), (std::vector<int>{0x0202}));
  EXPECT_EQ(ReadCommands(), 0);
}

TEST_F(Model7730DeviceTest, VerticalFlipSetsAndClearsBitFifteen) {
  Open();
  device_->SetCaptureWindow(0, 0, 4384, 3288, 0);
  EXPECT_EQ(device_->SetMirrorV(1), 0);
  EXPECT_EQ(Register(0x3040), 0x8041);
  EXPECT_EQ(device_->GetMirrorV(), 1);
  EXPECT_EQ(device_->SetMirrorV(0), 0);
  EXPECT_EQ(Register(0x3040), 0x0041);
  EXPECT_EQ(device_->GetMirrorV(), 0);
}

TEST_F(Model7730DeviceTest, WindowChangeClearsTheFlip) {
  Open();
  device_->SetMirrorV(1);
  device_->SetCaptureWindow(0, 0, 640, 480, 1);
  EXPECT_EQ(Register(0x3040), 0xC3);
  EXPECT_EQ(device_->GetMirrorV(), 0);
  device_->SetMirrorV(1);
  EXPECT_EQ(Register(0x3040), 0x80C3);
}

TEST_F(Model7730DeviceTest, HorizontalMirrorIsNotSupported) {
  Open();
  EXPECT_EQ(device_->SetMirrorH(1), 0);
  EXPECT_EQ(device_->GetMirrorH(), 0);
  EXPECT_TRUE(ReadLog(camera_).empty());
}

TEST_F(Model7730DeviceTest, ChannelGainIsClampedAndCachedWithoutEnableBit) {
  Open();
  uint16_t value = 0;
  EXPECT_EQ(device_->GetChannelGain(0x3056, &value), 0);
  EXPECT_EQ(device_->SetChannelGain(0x3056, 200), 1);
  EXPECT_EQ(Register(0x3056), 0x107D);
  EXPECT_EQ(device_->GetChannelGain(0x3056, &value), 1);
  EXPECT_EQ(value, 125);
  EXPECT_EQ(device_->SetChannelGain(0x305C, 0x10005), 1);
  EXPECT_EQ(Register(0x305C), 0x1005);
  EXPECT_EQ(device_->GetChannelGain(0x3058, &value), 0);
}

TEST_F(Model7730DeviceTest, ChannelGainOfAnotherRegisterIsRefused) {
  Open();
  uint16_t value = 0;
  EXPECT_EQ(device_->SetChannelGain(0x305E, 10), 0);
  EXPECT_EQ(device_->GetChannelGain(0x305E, &value), 0);
  EXPECT_TRUE(ReadLog(camera_).empty());
}

TEST_F(Model7730DeviceTest, GlobalGainCachesTheValueWithoutEnableBit) {
  Open();
  EXPECT_EQ(device_->GetGlobalGain(), 0);
  EXPECT_EQ(device_->SetGlobalGain(100), 1);
  EXPECT_EQ(Register(0x305E), 0x1064);
  EXPECT_EQ(device_->GetGlobalGain(), 100);
  device_->SetGlobalGain(500);
  EXPECT_EQ(device_->GetGlobalGain(), 125);
}

TEST_F(Model7730DeviceTest, GainAndExposureFromTwoThreadsKeepTheirRegisterWritesWhole) {
  // Automatic exposure writes from the capture thread while the caller's
  // thread writes too: each address block must be followed by its own value.
  Open();
  std::atomic<int> ready{0};
  auto together = [&ready] {
    ready.fetch_add(1);
    while (ready.load() < 2) std::this_thread::yield();
  };
  std::thread gains([&] {
    together();
    int seen = 0;
    for (int i = 0; i < 150; ++i) {
      device_->SetGlobalGain(1 + i % 100);
      device_->GetExposure(&seen);
    }
  });
  together();
  for (int i = 0; i < 150; ++i) {
    device_->SetExposure(1000 + i);
    device_->GetGlobalGain();
  }
  gains.join();
  EXPECT_EQ(device_->GetGlobalGain(), 50);
  int exposure = 0;
  ASSERT_EQ(device_->GetExposure(&exposure), 1);
  EXPECT_EQ(exposure, 1149);
  int address = -1, gainWrites = 0, exposureWrites = 0;
  for (const std::vector<int>& header : CommandHeaders(camera_)) {
    if (header[0] != 0x20) continue;
    const int word = header[2] << 8 | header[3];
    if (header[1] == 0x00) {
      ASSERT_EQ(address, -1) << "two address blocks in a row";
      address = word;
      continue;
    }
    if (address == 0x305E) {
      EXPECT_GE(word & 0xFFF, 1);
      EXPECT_LE(word & 0xFFF, 100);
      ++gainWrites;
    } else if (address == 0x0202) {
      EXPECT_GE(word, 1000);
      EXPECT_LE(word, 1149);
      ++exposureWrites;
    }
    address = -1;
  }
  EXPECT_EQ(gainWrites, 150);
  EXPECT_EQ(exposureWrites, 150);
  EXPECT_EQ(Register(0x305E), 0x1000 | 50);
  EXPECT_EQ(Register(0x0202), 1149);
}

TEST_F(Model7730DeviceTest, ExposureOfZeroBecomesOne) {
  Open();
  int exposure = -5;
  EXPECT_EQ(device_->GetExposure(&exposure), 0);
  EXPECT_EQ(device_->SetExposure(0), 1);
  EXPECT_EQ(Register(0x0202), 1);
  EXPECT_EQ(device_->GetExposure(&exposure), 1);
  EXPECT_EQ(exposure, 1);
  device_->SetExposure(0x12345);
  EXPECT_EQ(Register(0x0202), 0x2345);
}

TEST_F(Model7730DeviceTest, RegisterOperationsFailOnAnUnpluggedCamera) {
  Open();
  ZirvoSim_Unplug(camera_);
  EXPECT_EQ(device_->SetGlobalGain(10), 0);
  EXPECT_EQ(device_->SetExposure(10), 0);
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 64, 48, 0), 0);
  EXPECT_EQ(device_->SetMirrorV(1), 0);
  uint16_t value = 7;
  EXPECT_EQ(device_->ReadSensorRegister(0x0000, &value), 0);
  EXPECT_EQ(value, 7);
}

TEST_F(Model7730DeviceTest, OtherChipReappliesGainExposureAndFlipAfterStart) {
  Open(0x1234);
  device_->SetCaptureWindow(0, 0, 64, 48, 0);
  device_->SetGlobalGain(20);
  device_->SetExposure(300);
  device_->SetMirrorV(1);
  ZirvoSim_ClearLog(camera_);
  ASSERT_EQ(device_->StartStreaming(), 0);
  const std::vector<int> addresses = WrittenAddresses();
  std::vector<uint32_t> times;
  for (const ZirvoSimExchange& exchange : ReadLog(camera_)) {
    if (exchange.write && exchange.command[0] == 0x20 && exchange.command[1] == 0x00) times.push_back(exchange.time_ms);
  }
  device_->StopStreaming();
  EXPECT_EQ(addresses, (std::vector<int>{0x305E, 0x0202, 0x3040}));
  // 100 ms between the re-applied settings.
  ASSERT_EQ(times.size(), 3u);
  EXPECT_GE(times[1] - times[0], 100u);
  EXPECT_GE(times[2] - times[1], 100u);
  EXPECT_EQ(Register(0x305E), 0x1014);
  EXPECT_EQ(Register(0x0202), 300);
  EXPECT_EQ(Register(0x3040), 0x8041);
}

TEST_F(Model7730DeviceTest, VerifiedChipStartsWithoutReapplying) {
  Open();
  device_->SetCaptureWindow(0, 0, 64, 48, 0);
  device_->SetGlobalGain(20);
  ZirvoSim_ClearLog(camera_);
  ASSERT_EQ(device_->StartStreaming(), 0);
  device_->StopStreaming();
  EXPECT_TRUE(WrittenAddresses().empty());
}

TEST_F(Model7730DeviceTest, RefusedWindowWhileStreamingStillResumes) {
  Open();
  device_->SetCaptureWindow(0, 0, 64, 48, 0);
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(Eventually([&] { return device_->GetFrameCounter() >= 1; }));
  EXPECT_EQ(device_->SetCaptureWindow(0, 0, 3, 48, 0), 1);
  EXPECT_EQ(device_->GetTransferState(), TransferState::Streaming);
  const int after = device_->GetFrameCounter();
  EXPECT_TRUE(Eventually([&] { return device_->GetFrameCounter() >= after + 2; }));
  device_->StopStreaming();
}

TEST_F(Model7730DeviceTest, RegisterChangesWhileStreamingStayOutOfFrameReads) {
  Open();
  device_->SetCaptureWindow(0, 0, 64, 48, 0);
  ASSERT_EQ(device_->StartStreaming(), 0);
  ASSERT_TRUE(Eventually([&] { return device_->GetFrameCounter() >= 2; }));
  for (int gain = 0; gain < 20; ++gain) ASSERT_EQ(device_->SetGlobalGain(gain), 1);
  ASSERT_EQ(device_->SetCaptureWindow(0, 0, 32, 24, 0), 0);
  const int after = device_->GetFrameCounter();
  ASSERT_TRUE(Eventually([&] { return device_->GetFrameCounter() >= after + 2; }));
  device_->StopStreaming();
  // Each frame read directly follows its frame request.
  const std::vector<ZirvoSimExchange> log = ReadLog(camera_);
  int frameReads = 0;
  for (std::size_t i = 1; i < log.size(); ++i) {
    if (!log[i].write && log[i].offset == device_test::kFrameArea) {
      ++frameReads;
      EXPECT_TRUE(log[i - 1].write && log[i - 1].command[0] == 0x10) << "exchange " << i;
    }
  }
  EXPECT_GE(frameReads, 4);
  EXPECT_EQ(Register(0x305E), 0x1013);
}

}  // namespace
}  // namespace zirvo
