// Raw disks: virtual disks by drive number, positions per handle, detach under open handles, disk files, buffers.
#include "platform/raw_disk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/host_disks.h"
#include "platform/clock.h"
#include "platform/threading.h"

namespace zirvo::platform {
namespace {

// A disk of plain memory that records the offsets it was asked for.
class MemoryDisk : public VirtualDisk {
 public:
  explicit MemoryDisk(std::size_t bytes) : bytes_(bytes, 0) {}

  bool ReadAt(uint32_t byteOffset, void* buffer, uint32_t bytes) override {
    std::lock_guard lock(mutex_);
    if (byteOffset + static_cast<std::size_t>(bytes) > bytes_.size()) return false;
    std::memcpy(buffer, bytes_.data() + byteOffset, bytes);
    offsets_.push_back(byteOffset);
    return true;
  }

  bool WriteAt(uint32_t byteOffset, const void* buffer, uint32_t bytes) override {
    std::lock_guard lock(mutex_);
    if (byteOffset + static_cast<std::size_t>(bytes) > bytes_.size()) return false;
    std::memcpy(bytes_.data() + byteOffset, buffer, bytes);
    offsets_.push_back(byteOffset);
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

// A disk whose reads wait until released, to hold a call inside it.
class BlockingDisk : public VirtualDisk {
 public:
  bool ReadAt(uint32_t, void*, uint32_t) override {
    inside.Set();
    release.Wait(kInfinite);
    return true;
  }
  bool WriteAt(uint32_t, const void*, uint32_t) override { return true; }
  ManualResetEvent inside;
  ManualResetEvent release;
};

class RawDiskTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHostDisksHidden(true); }
  void TearDown() override {
    for (int drive = 0; drive < 8; ++drive) DetachVirtualDisk(drive);
  }
};

TEST_F(RawDiskTest, NothingOpensWhereNoVirtualDiskIsAttached) {
  EXPECT_EQ(nullptr, OpenRawDisk(0));
  EXPECT_EQ(nullptr, OpenRawDisk(3));
  EXPECT_EQ(nullptr, OpenRawDisk(-1));
}

TEST_F(RawDiskTest, AttachRefusesNegativeDrivesAndTakenNumbers) {
  EXPECT_FALSE(AttachVirtualDisk(-1, std::make_shared<MemoryDisk>(512)));
  EXPECT_FALSE(AttachVirtualDisk(2, nullptr));
  EXPECT_TRUE(AttachVirtualDisk(2, std::make_shared<MemoryDisk>(512)));
  EXPECT_FALSE(AttachVirtualDisk(2, std::make_shared<MemoryDisk>(512)));
}

TEST_F(RawDiskTest, WritesAndReadsLandAtThePosition) {
  auto memory = std::make_shared<MemoryDisk>(4096);
  ASSERT_TRUE(AttachVirtualDisk(1, memory));
  auto disk = OpenRawDisk(1);
  ASSERT_NE(nullptr, disk);
  const uint8_t block[4] = {1, 2, 3, 4};
  ASSERT_TRUE(disk->SetPosition(1024));
  ASSERT_TRUE(disk->Write(block, sizeof(block)));
  uint8_t back[4] = {};
  ASSERT_TRUE(disk->SetPosition(1024));
  ASSERT_TRUE(disk->Read(back, sizeof(back)));
  EXPECT_EQ(0, std::memcmp(block, back, sizeof(block)));
  EXPECT_EQ((std::vector<uint32_t>{1024, 1024}), memory->Offsets());
}

TEST_F(RawDiskTest, PositionAdvancesByEachTransfer) {
  auto memory = std::make_shared<MemoryDisk>(4096);
  ASSERT_TRUE(AttachVirtualDisk(1, memory));
  auto disk = OpenRawDisk(1);
  ASSERT_NE(nullptr, disk);
  uint8_t buffer[512];
  ASSERT_TRUE(disk->SetPosition(512));
  ASSERT_TRUE(disk->Read(buffer, 512));
  ASSERT_TRUE(disk->Read(buffer, 512));
  ASSERT_TRUE(disk->Write(buffer, 512));
  EXPECT_EQ((std::vector<uint32_t>{512, 1024, 1536}), memory->Offsets());
}

TEST_F(RawDiskTest, EachHandleKeepsItsOwnPosition) {
  auto memory = std::make_shared<MemoryDisk>(4096);
  ASSERT_TRUE(AttachVirtualDisk(1, memory));
  auto first = OpenRawDisk(1);
  auto second = OpenRawDisk(1);
  ASSERT_TRUE(first && second);
  uint8_t buffer[16];
  ASSERT_TRUE(first->SetPosition(2048));
  ASSERT_TRUE(second->SetPosition(16));
  ASSERT_TRUE(first->Read(buffer, 16));
  ASSERT_TRUE(second->Read(buffer, 16));
  EXPECT_EQ((std::vector<uint32_t>{2048, 16}), memory->Offsets());
}

TEST_F(RawDiskTest, FailedTransferIsReported) {
  ASSERT_TRUE(AttachVirtualDisk(1, std::make_shared<MemoryDisk>(512)));
  auto disk = OpenRawDisk(1);
  uint8_t buffer[512];
  ASSERT_TRUE(disk->SetPosition(512));
  EXPECT_FALSE(disk->Read(buffer, 512));
  EXPECT_FALSE(disk->Write(buffer, 512));
}

TEST_F(RawDiskTest, OpenHandleFailsEveryCallAfterDetach) {
  ASSERT_TRUE(AttachVirtualDisk(1, std::make_shared<MemoryDisk>(4096)));
  auto disk = OpenRawDisk(1);
  ASSERT_NE(nullptr, disk);
  DetachVirtualDisk(1);
  uint8_t buffer[512] = {};
  EXPECT_FALSE(disk->Read(buffer, 512));
  EXPECT_FALSE(disk->Write(buffer, 512));
  EXPECT_EQ(nullptr, OpenRawDisk(1));
}

TEST_F(RawDiskTest, DetachedDriveNumberCanBeAttachedAgain) {
  ASSERT_TRUE(AttachVirtualDisk(1, std::make_shared<MemoryDisk>(512)));
  DetachVirtualDisk(1);
  EXPECT_TRUE(AttachVirtualDisk(1, std::make_shared<MemoryDisk>(512)));
  EXPECT_NE(nullptr, OpenRawDisk(1));
}

TEST_F(RawDiskTest, DetachWaitsForACallInsideTheDisk) {
  auto blocking = std::make_shared<BlockingDisk>();
  std::weak_ptr<BlockingDisk> watch = blocking;
  ASSERT_TRUE(AttachVirtualDisk(1, blocking));
  auto disk = OpenRawDisk(1);
  ASSERT_NE(nullptr, disk);
  std::thread reader([&] {
    uint8_t buffer[512];
    disk->Read(buffer, 512);
  });
  ASSERT_TRUE(blocking->inside.Wait(10000));
  std::atomic<bool> detached{false};
  std::thread detacher([&] {
    DetachVirtualDisk(1);
    detached.store(true);
  });
  Sleep(20);
  EXPECT_FALSE(detached.load());
  blocking->release.Set();
  blocking.reset();
  detacher.join();
  reader.join();
  EXPECT_TRUE(detached.load());
  // The namespace and the open handle no longer keep the disk alive.
  EXPECT_TRUE(watch.expired());
}

TEST(DiskBufferTest, IsAlignedZeroedAndWholeBlocks) {
  DiskBuffer buffer = AllocateDiskBuffer(513);
  ASSERT_NE(nullptr, buffer);
  EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(buffer.get()) % kDiskBufferAlignment);
  for (std::size_t i = 0; i < 1024; ++i) ASSERT_EQ(0, buffer[i]) << i;
  buffer[1023] = 1;  // the rounded-up block is usable (AddressSanitizer checks)
}

TEST(DiskBufferTest, ImpossibleSizeGivesNull) {
  EXPECT_EQ(nullptr, AllocateDiskBuffer(static_cast<std::size_t>(-1)));
}

class DiskFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("zirvo_disk_file_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::ofstream(path_, std::ios::binary) << std::string(8192, '\0');
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::filesystem::path path_;
};

TEST_F(DiskFileTest, AlignedBlocksGoThroughAndBack) {
  auto disk = OpenDiskFile(path_.string());
  ASSERT_NE(nullptr, disk);
  DiskBuffer out = AllocateDiskBuffer(512);
  for (int i = 0; i < 512; ++i) out[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(disk->SetPosition(1024));
  ASSERT_TRUE(disk->Write(out.get(), 512));
  DiskBuffer in = AllocateDiskBuffer(512);
  ASSERT_TRUE(disk->SetPosition(1024));
  ASSERT_TRUE(disk->Read(in.get(), 512));
  EXPECT_EQ(0, std::memcmp(out.get(), in.get(), 512));
}

TEST_F(DiskFileTest, UnalignedCallerBuffersAreServedToo) {
  auto disk = OpenDiskFile(path_.string());
  ASSERT_NE(nullptr, disk);
  std::vector<uint8_t> out(513);
  for (int i = 0; i < 512; ++i) out[1 + i] = static_cast<uint8_t>(255 - i);
  ASSERT_TRUE(disk->SetPosition(2048));
  ASSERT_TRUE(disk->Write(out.data() + 1, 512));
  std::vector<uint8_t> in(513);
  ASSERT_TRUE(disk->SetPosition(2048));
  ASSERT_TRUE(disk->Read(in.data() + 1, 100));
  EXPECT_EQ(0, std::memcmp(out.data() + 1, in.data() + 1, 100));
}

TEST_F(DiskFileTest, MissingFileDoesNotOpen) {
  EXPECT_EQ(nullptr, OpenDiskFile((path_.string() + ".missing")));
}

TEST(HostDiskNamesTest, OnlyWholeScsiDisksCount) {
  EXPECT_TRUE(IsWholeDiskName("sda"));
  EXPECT_TRUE(IsWholeDiskName("sdab"));
  EXPECT_FALSE(IsWholeDiskName("sda1"));
  EXPECT_FALSE(IsWholeDiskName("sd"));
  EXPECT_FALSE(IsWholeDiskName("vda"));
  EXPECT_FALSE(IsWholeDiskName("nvme0n1"));
  EXPECT_FALSE(IsWholeDiskName("loop0"));
}

TEST(HostDiskNamesTest, DriveOrderPutsShortNamesFirst) {
  std::vector<std::string> names{"sdaa", "sdb", "sdz", "sda"};
  std::sort(names.begin(), names.end(), ComesBeforeInDriveOrder);
  EXPECT_EQ((std::vector<std::string>{"sda", "sdb", "sdz", "sdaa"}), names);
}

}  // namespace
}  // namespace zirvo::platform
