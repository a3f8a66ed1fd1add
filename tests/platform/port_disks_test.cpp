// The C port functions: disks served through a table of callbacks, enumeration texts, the clock.
#include "zirvo_port.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "platform/disk_enumeration.h"
#include "platform/raw_disk.h"
#include "support/sim_fixture.h"

namespace zirvo::platform {
namespace {

struct CallbackDisk {
  uint8_t bytes[1024] = {};
  int calls = 0;
};

int ReadCallback(void* context, uint32_t offset, void* buffer, uint32_t bytes) {
  auto* disk = static_cast<CallbackDisk*>(context);
  ++disk->calls;
  if (offset + bytes > sizeof(disk->bytes)) return 0;
  std::memcpy(buffer, disk->bytes + offset, bytes);
  return 1;
}

int WriteCallback(void* context, uint32_t offset, const void* buffer, uint32_t bytes) {
  auto* disk = static_cast<CallbackDisk*>(context);
  ++disk->calls;
  if (offset + bytes > sizeof(disk->bytes)) return 0;
  std::memcpy(disk->bytes + offset, buffer, bytes);
  return 1;
}

class PortDisksTest : public ::testing::Test {
 protected:
  void SetUp() override { ZirvoPort_HideHostDisks(1); }
  void TearDown() override { ZirvoPort_DetachDisk(3); }
  CallbackDisk disk_;
};

TEST_F(PortDisksTest, AttachedCallbacksAnswerTheDrive) {
  const ZirvoPortDiskOps ops{sizeof(ZirvoPortDiskOps), ReadCallback, WriteCallback};
  ASSERT_EQ(1, ZirvoPort_AttachDisk(3, &ops, &disk_));
  auto raw = OpenRawDisk(3);
  ASSERT_NE(nullptr, raw);
  const uint8_t data[2] = {7, 9};
  ASSERT_TRUE(raw->SetPosition(100));
  ASSERT_TRUE(raw->Write(data, 2));
  EXPECT_EQ(7, disk_.bytes[100]);
  uint8_t back[2] = {};
  ASSERT_TRUE(raw->SetPosition(100));
  ASSERT_TRUE(raw->Read(back, 2));
  EXPECT_EQ(9, back[1]);
  EXPECT_FALSE(raw->Read(back, 2000));
}

TEST_F(PortDisksTest, ATakenDriveOrNoTableIsRefused) {
  const ZirvoPortDiskOps ops{sizeof(ZirvoPortDiskOps), ReadCallback, WriteCallback};
  ASSERT_EQ(1, ZirvoPort_AttachDisk(3, &ops, &disk_));
  EXPECT_EQ(0, ZirvoPort_AttachDisk(3, &ops, &disk_));
  EXPECT_EQ(0, ZirvoPort_AttachDisk(4, nullptr, &disk_));
  EXPECT_EQ(0, ZirvoPort_AttachDisk(-2, &ops, &disk_));
}

TEST_F(PortDisksTest, ShortTableLeavesUnknownCallbacksFailing) {
  const ZirvoPortDiskOps ops{offsetof(ZirvoPortDiskOps, write), ReadCallback, WriteCallback};
  ASSERT_EQ(1, ZirvoPort_AttachDisk(3, &ops, &disk_));
  auto raw = OpenRawDisk(3);
  uint8_t data[1] = {1};
  EXPECT_TRUE(raw->Read(data, 1));
  EXPECT_FALSE(raw->Write(data, 1));
}

TEST_F(PortDisksTest, DetachEndsCallsIntoTheContext) {
  const ZirvoPortDiskOps ops{sizeof(ZirvoPortDiskOps), ReadCallback, WriteCallback};
  ASSERT_EQ(1, ZirvoPort_AttachDisk(3, &ops, &disk_));
  auto raw = OpenRawDisk(3);
  ZirvoPort_DetachDisk(3);
  const int callsBefore = disk_.calls;
  uint8_t data[1];
  EXPECT_FALSE(raw->Read(data, 1));
  EXPECT_EQ(callsBefore, disk_.calls);
}

TEST(PortEnumerationTest, TextsReachTheEnumeration) {
  ZirvoPort_HideHostDisks(1);
  ZirvoPort_ResetEnumTexts();
  ZirvoPort_AddEnumText("a");
  ZirvoPort_AddEnumText(nullptr);
  ZirvoPort_AddEnumText("b");
  ZirvoPort_RemoveEnumText("a");
  std::vector<std::string> texts;
  ASSERT_TRUE(ReadDiskEnumeration(texts));
  EXPECT_EQ((std::vector<std::string>{"b"}), texts);
  ZirvoPort_ResetEnumTexts();
}

TEST(PortClockTest, FollowsTheReplacedClock) {
  testing::ScopedManualClock scoped(40);
  EXPECT_EQ(40u, ZirvoPort_TimeGetTime());
  ZirvoPort_Sleep(2);
  EXPECT_EQ(42u, ZirvoPort_TimeGetTime());
}

}  // namespace
}  // namespace zirvo::platform
