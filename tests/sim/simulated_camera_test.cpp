// The simulator's firmware as seen over the raw-disk exchange: identity, registers, frames, log, faults, pacing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/disk_enumeration.h"
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

  bool SendByteWrite(uint16_t address, uint8_t value) {
    return SendCommand(disk(), 0x20, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), value);
  }

  int ByteRead(uint16_t address) {
    uint8_t sector[512];
    if (!SendCommand(disk(), 0x21, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)) ||
        !ReadReplySector(disk(), sector)) {
      return -1;
    }
    return sector[257];
  }

  int ReadyFlag() {
    uint8_t sector[512];
    return ReadReplySector(disk(), sector) ? sector[256] : -1;
  }

  int Read16(uint16_t address) {
    uint16_t value = 0;
    return ReadRegisterOverWire(disk(), address, value) ? value : -1;
  }

  bool ReadSmallFrame(std::vector<uint8_t>& frame) { return ReadFrameArea(disk(), frame, 512); }

  std::vector<ZirvoSimExchange> Log() { return ExchangeLog(camera()); }

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

TEST_F(SimulatedCameraTest, RegistersReportMinusOneUntilWrittenOverTheWire) {
  EXPECT_EQ(-1, ZirvoSim_GetRegister(camera(), 0x0202));
  EXPECT_EQ(600, ZirvoSim_PeekRegister(camera(), 0x0202));
  EXPECT_EQ(600, Read16(0x0202));
  EXPECT_EQ(-1, ZirvoSim_GetRegister(camera(), 0x0202));
  EXPECT_EQ(-1, ZirvoSim_GetRegister(camera(), 0x10000));
  EXPECT_EQ(-1, ZirvoSim_PeekRegister(camera(), -1));
}

TEST_F(SimulatedCameraTest, ChipIdentifierIsReadOnly) {
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x0000, 0x1111));
  EXPECT_EQ(0x2E00, Read16(0x0000));
  EXPECT_EQ(0x1111, ZirvoSim_GetRegister(camera(), 0x0000));
}

TEST_F(SimulatedCameraTest, ValuePhaseWithoutAddressPhaseIsIgnored) {
  ASSERT_TRUE(SendCommand(disk(), 0x20, 0x01, 0x12, 0x34));
  EXPECT_EQ(600, Read16(0x0202));
  ASSERT_TRUE(SendCommand(disk(), 0x20, 0x00, 0x02, 0x02));
  ASSERT_TRUE(SendCommand(disk(), 0x20, 0x01, 0x00, 0x07));
  ASSERT_TRUE(SendCommand(disk(), 0x20, 0x01, 0x00, 0x09));  // a second value needs a new address
  EXPECT_EQ(7, Read16(0x0202));
}

TEST_F(SimulatedCameraTest, ByteWideFormWritesHalvesOfSixteenBitRegisters) {
  ASSERT_TRUE(SendByteWrite(0x3040, 0x80));
  ASSERT_TRUE(SendByteWrite(0x3041, 0x43));
  EXPECT_EQ(0x8043, Read16(0x3040));
  EXPECT_EQ(0x8043, ZirvoSim_GetRegister(camera(), 0x3040));
}

TEST_F(SimulatedCameraTest, ByteWideReadAnswersAtByte257) {
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x305E, 0x1064));
  EXPECT_EQ(0x10, ByteRead(0x305E));
  EXPECT_EQ(0x64, ByteRead(0x305F));
}

TEST_F(SimulatedCameraTest, ByteWideReadReachesLowAddressesToo) {
  EXPECT_EQ(0x2E, ByteRead(0x0000));
  EXPECT_EQ(0x00, ByteRead(0x0001));
  EXPECT_EQ(0x02, ByteRead(0x0202));  // exposure 600 = 0x0258
  EXPECT_EQ(0x58, ByteRead(0x0203));
}

TEST_F(SimulatedCameraTest, UnknownOpcodesAndOtherSectorsAreHarmless) {
  ASSERT_TRUE(SendCommand(disk(), 0x77, 1, 2, 3));
  uint8_t block[512];
  std::memset(block, 0xAB, sizeof(block));
  ASSERT_TRUE(disk().SetPosition(0));
  ASSERT_TRUE(disk().Write(block, sizeof(block)));
  ASSERT_TRUE(disk().SetPosition(0x1000));
  ASSERT_TRUE(disk().Read(block, sizeof(block)));
  EXPECT_TRUE(std::all_of(block, block + 512, [](uint8_t v) { return v == 0; }));
  ASSERT_TRUE(disk().SetPosition(0x20200));
  ASSERT_TRUE(disk().Write(block, 1));  // a short command block
  EXPECT_EQ(0x2E00, Read16(0x0000));
}

TEST_F(SimulatedCameraTest, LogRecordsEveryExchangeInOrder) {
  ZirvoSim_ClearLog(camera());
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x0202, 0x0102));
  ASSERT_TRUE(SendCommand(disk(), 0x10));
  std::vector<uint8_t> frame;
  ASSERT_TRUE(ReadFrameArea(disk(), frame, 1024));
  const std::vector<ZirvoSimExchange> log = Log();
  ASSERT_EQ(4u, log.size());
  const uint8_t expected[3][4] = {{0x20, 0x00, 0x02, 0x02}, {0x20, 0x01, 0x01, 0x02}, {0x10, 0, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(1, log[i].write);
    EXPECT_EQ(0x20200u, log[i].offset);
    EXPECT_EQ(512u, log[i].bytes);
    EXPECT_EQ(0, std::memcmp(expected[i], log[i].command, 4)) << i;
    EXPECT_EQ(1, log[i].ok);
  }
  EXPECT_EQ(0, log[3].write);
  EXPECT_EQ(0x20400u, log[3].offset);
  EXPECT_EQ(1024u, log[3].bytes);
}

TEST_F(SimulatedCameraTest, LogCopiesAtMostTheRoomGiven) {
  ZirvoSim_ClearLog(camera());
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(SendCommand(disk(), 0x10, static_cast<uint8_t>(i)));
  ZirvoSimExchange entries[2] = {};
  EXPECT_EQ(5u, ZirvoSim_GetLog(camera(), entries, 2));
  EXPECT_EQ(0, entries[0].command[1]);
  EXPECT_EQ(1, entries[1].command[1]);
  ZirvoSim_ClearLog(camera());
  EXPECT_EQ(0u, ZirvoSim_GetLog(camera(), nullptr, 0));
}

TEST_F(SimulatedCameraTest, AttachRegistersAnEnumerationTextThatPassesTheScanRule) {
  std::vector<std::string> texts;
  ASSERT_TRUE(platform::ReadDiskEnumeration(texts));
  ASSERT_EQ(1u, texts.size());
  EXPECT_EQ("USBSTOR\\Disk&Ven_KELVOR&Prod_USB3.0_7730QX&Rev_1.00\\SIM1&0", texts[0]);
  EXPECT_NE(std::string::npos, texts[0].find("KELVOR"));
  EXPECT_NE(std::string::npos, texts[0].find("USB3.0"));
  EXPECT_NE(std::string::npos, texts[0].find("7730"));
  EXPECT_EQ(std::string::npos, texts[0].find("DS"));
}

TEST_F(SimulatedCameraTest, SecondCameraOnTheSameDriveIsRefused) {
  const ZirvoSimConfig config = FastSimConfig();
  EXPECT_EQ(nullptr, ZirvoSim_Attach(Drive(), &config));
  EXPECT_EQ(nullptr, ZirvoSim_Attach(-1, &config));
}

TEST_F(SimulatedCameraTest, UnplugFailsEveryExchangeAndLeavesTheEnumeration) {
  ZirvoSim_Unplug(camera());
  uint8_t sector[512];
  EXPECT_FALSE(ReadReplySector(disk(), sector));
  EXPECT_FALSE(SendCommand(disk(), 0x10));
  std::vector<uint8_t> frame;
  EXPECT_FALSE(ReadSmallFrame(frame));
  std::vector<std::string> texts;
  ASSERT_TRUE(platform::ReadDiskEnumeration(texts));
  EXPECT_TRUE(texts.empty());
  const std::vector<ZirvoSimExchange> log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(0, log.back().ok);
}

TEST_F(SimulatedCameraTest, UnplugAfterAnswersTheGivenNumberOfExchangesOnly) {
  ZirvoSim_UnplugAfter(camera(), 3);
  uint8_t sector[512];
  EXPECT_TRUE(ReadReplySector(disk(), sector));
  EXPECT_TRUE(WriteRegisterOverWire(disk(), 0x0202, 700));  // two exchanges
  EXPECT_FALSE(ReadReplySector(disk(), sector));
  EXPECT_FALSE(ReadReplySector(disk(), sector));
  EXPECT_EQ(700, ZirvoSim_PeekRegister(camera(), 0x0202));
}

TEST_F(SimulatedCameraTest, ReadBackMismatchesTheGivenNumberOfTimes) {
  ASSERT_TRUE(WriteRegisterOverWire(disk(), 0x3040, 0x0041));
  ZirvoSim_SetReadbackMismatch(camera(), 0x3040, 2);
  EXPECT_EQ(600, Read16(0x0202));  // other registers answer truly
  EXPECT_NE(0x0041, Read16(0x3040));
  EXPECT_NE(0x0041, Read16(0x3040));
  EXPECT_EQ(0x0041, Read16(0x3040));
}

TEST_F(SimulatedCameraTest, ReadBackMismatchOnAnyRegister) {
  ZirvoSim_SetReadbackMismatch(camera(), -1, 1);
  EXPECT_NE(600, Read16(0x0202));
  EXPECT_EQ(600, Read16(0x0202));
}

TEST_F(SimulatedCameraTest, UnpacedCameraIsAlwaysReady) {
  EXPECT_EQ(1, ReadyFlag());
  std::vector<uint8_t> frame;
  ASSERT_TRUE(ReadSmallFrame(frame));
  EXPECT_EQ(1, ReadyFlag());
}

TEST_F(SimulatedCameraTest, DetachFailsAnOpenHandle) {
  DetachCamera();
  std::vector<uint8_t> frame;
  EXPECT_FALSE(ReadSmallFrame(frame));
  uint8_t sector[512];
  EXPECT_FALSE(ReadReplySector(disk(), sector));
}

TEST_F(SimulatedCameraTest, ConcurrentFrameReadsAndRegisterWritesAllSucceed) {
  auto second = platform::OpenRawDisk(Drive());
  ASSERT_NE(nullptr, second);
  std::atomic<int> failures{0};
  std::thread reader([&] {
    std::vector<uint8_t> frame;
    for (int i = 0; i < 50; ++i) {
      if (!ReadFrameArea(*second, frame, 512)) failures.fetch_add(1);
    }
  });
  for (int i = 0; i < 50; ++i) {
    if (!WriteRegisterOverWire(disk(), 0x0202, static_cast<uint16_t>(100 + i))) failures.fetch_add(1);
  }
  reader.join();
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(50u, ZirvoSim_FramesServed(camera()));
  EXPECT_EQ(149, ZirvoSim_GetRegister(camera(), 0x0202));
}

class PlainChipTest : public SimulatedCameraTest {
 protected:
  ZirvoSimConfig Config() const override {
    ZirvoSimConfig config = FastSimConfig();
    config.chip_id = 0x1234;
    return config;
  }
};

TEST_F(PlainChipTest, ChipIdentifierComesFromTheConfig) { EXPECT_EQ(0x1234, Read16(0x0000)); }

TEST(SimConfigTest, DefaultsAreThoseDocumented) {
  ZirvoSimConfig config{};
  ZirvoSim_DefaultConfig(&config);
  EXPECT_EQ(sizeof(ZirvoSimConfig), config.size);
  EXPECT_EQ(0x2E00, config.chip_id);
  EXPECT_EQ(1, config.paced);
  EXPECT_EQ(0, config.animated);
  EXPECT_EQ(1, config.register_enum);
}

TEST(SimConfigTest, ShortConfigKeepsDefaultsForTheFieldsItLacks) {
  ZirvoSimConfig config{};
  ZirvoSim_DefaultConfig(&config);
  config.size = offsetof(ZirvoSimConfig, paced);
  config.chip_id = 0x4321;
  config.paced = 0;  // beyond the stated size: must not be taken
  SimulatedCameraOnDrive attached(2, config);
  ASSERT_NE(nullptr, attached.get());
  EXPECT_EQ(0x4321, ZirvoSim_PeekRegister(attached.get(), 0));
  EXPECT_EQ(167833u, ZirvoSim_FrameTimeUs(attached.get()));
}

TEST(SimConfigTest, CameraWithoutEnumerationTextIsOnlyADisk) {
  ZirvoSimConfig config = FastSimConfig();
  config.register_enum = 0;
  SimulatedCameraOnDrive attached(2, config);
  ASSERT_NE(nullptr, attached.get());
  std::vector<std::string> texts;
  ASSERT_TRUE(platform::ReadDiskEnumeration(texts));
  EXPECT_TRUE(texts.empty());
  EXPECT_NE(nullptr, platform::OpenRawDisk(2));
}

TEST(SimEnumerationTest, EntriesWithoutDisksAndReset) {
  ZirvoSim_HideHostDisks(1);
  ZirvoSim_ResetEnum();
  ZirvoSim_AddEnumEntry("USBSTOR\\Disk&Ven_KELVOR&Prod_USB3.0_7730DS");
  std::vector<std::string> texts;
  ASSERT_TRUE(platform::ReadDiskEnumeration(texts));
  EXPECT_EQ(1u, texts.size());
  ZirvoSim_ResetEnum();
  ASSERT_TRUE(platform::ReadDiskEnumeration(texts));
  EXPECT_TRUE(texts.empty());
}

TEST(SimDetachTest, DetachRemovesDiskAndEnumerationText) {
  SimulatedCameraOnDrive attached(3);
  ASSERT_NE(nullptr, attached.get());
  attached.Detach();
  EXPECT_EQ(nullptr, platform::OpenRawDisk(3));
  std::vector<std::string> texts;
  ASSERT_TRUE(platform::ReadDiskEnumeration(texts));
  EXPECT_TRUE(texts.empty());
  ZirvoSim_Detach(nullptr);
}

}  // namespace
}  // namespace zirvo::testing
