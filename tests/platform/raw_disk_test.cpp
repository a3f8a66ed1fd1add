// Drive numbers, virtual disks and disk buffers of the platform layer.
#include "platform/raw_disk.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace zirvo::platform {
namespace {

// A disk of a few blocks in memory that remembers every offset it was asked for.
class MemoryDisk final : public VirtualDisk {
 public:
  explicit MemoryDisk(std::size_t bytes) : bytes_(bytes, 0) {}

  bool ReadAt(uint32_t byteOffset, void* buffer, uint32_t bytes) override {
    std::lock_guard lock(mutex_);
    offsets_.push_back(byteOffset);
    if (byteOffset + bytes > bytes_.size()) return false;
    std::memcpy(buffer, bytes_.data() + byteOffset, bytes);
    return true;
  }

  bool WriteAt(uint32_t byteOffset, const void* buffer, uint32_t bytes) override {
    std::lock_guard lock(mutex_);
    offsets_.push_back(byteOffset);
    if (byteOffset + bytes > bytes_.size()) return false;
    std::memcpy(bytes_.data() + byteOffset, buffer, bytes);
    return true;
  }

  std::vector<uint32_t> Offsets() {
    std::lock_guard lock(mutex_);
    return offsets_;
  }

 private:
  std::mutex mutex_;
  std::vector<uint8_t> bytes_;
  std::vector<uint32_t> offsets_;
};

// Host disks stay hidden so that no test can reach a real drive.
class RawDiskTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHostDisksHidden(true); }
  void TearDown() override {
    for (int drive : {0, 1, 2, 4, 7}) DetachVirtualDisk(drive);
  }
};

TEST_F(RawDiskTest, VirtualDiskAnswersAtItsDriveNumber) {
  auto disk = std::make_shared<MemoryDisk>(0x21000);
  ASSERT_TRUE(AttachVirtualDisk(2, disk));
  auto handle = OpenRawDisk(2);
  ASSERT_NE(handle, nullptr);
  const char text[] = "sector";
  ASSERT_TRUE(handle->SetPosition(0x20200));
  ASSERT_TRUE(handle->Write(text, sizeof text));
  char back[sizeof text] = {};
  ASSERT_TRUE(handle->SetPosition(0x20200));
  ASSERT_TRUE(handle->Read(back, sizeof back));
  EXPECT_STREQ(back, text);
}

TEST_F(RawDiskTest, TransfersAdvanceThePosition) {
  auto disk = std::make_shared<MemoryDisk>(0x21000);
  ASSERT_TRUE(AttachVirtualDisk(1, disk));
  auto handle = OpenRawDisk(1);
  ASSERT_NE(handle, nullptr);
  uint8_t block[512] = {};
  ASSERT_TRUE(handle->SetPosition(0x20000));
  ASSERT_TRUE(handle->Read(block, sizeof block));
  ASSERT_TRUE(handle->Write(block, sizeof block));
  EXPECT_EQ(disk->Offsets(), (std::vector<uint32_t>{0x20000, 0x20200}));
}

TEST_F(RawDiskTest, HiddenHostLeavesUnattachedDrivesUnopenable) {
  EXPECT_EQ(OpenRawDisk(0), nullptr);
  EXPECT_EQ(OpenRawDisk(3), nullptr);
  EXPECT_EQ(OpenRawDisk(-1), nullptr);
}

TEST_F(RawDiskTest, DriveNumberTakenOnlyOnce) {
  ASSERT_TRUE(AttachVirtualDisk(4, std::make_shared<MemoryDisk>(512)));
  EXPECT_FALSE(AttachVirtualDisk(4, std::make_shared<MemoryDisk>(512)));
  EXPECT_FALSE(AttachVirtualDisk(-1, std::make_shared<MemoryDisk>(512)));
}

TEST_F(RawDiskTest, HandleFailsAfterDetach) {
  ASSERT_TRUE(AttachVirtualDisk(7, std::make_shared<MemoryDisk>(1024)));
  auto handle = OpenRawDisk(7);
  ASSERT_NE(handle, nullptr);
  DetachVirtualDisk(7);
  uint8_t block[512] = {};
  EXPECT_FALSE(handle->Read(block, sizeof block));
  EXPECT_FALSE(handle->Write(block, sizeof block));
  EXPECT_EQ(OpenRawDisk(7), nullptr);
}

TEST_F(RawDiskTest, ReadPastTheEndFails) {
  ASSERT_TRUE(AttachVirtualDisk(0, std::make_shared<MemoryDisk>(1024)));
  auto handle = OpenRawDisk(0);
  ASSERT_NE(handle, nullptr);
  uint8_t block[512] = {};
  ASSERT_TRUE(handle->SetPosition(1024));
  EXPECT_FALSE(handle->Read(block, sizeof block));
}

TEST(DiskBufferTest, ZeroedAlignedWholeBlocks) {
  DiskBuffer buffer = AllocateDiskBuffer(513);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.get()) % kDiskBufferAlignment, 0u);
  for (std::size_t i = 0; i < 1024; ++i) ASSERT_EQ(buffer[i], 0) << i;
}

}  // namespace
}  // namespace zirvo::platform
