// Drive numbers to disks: virtual disks attached in this process, then the host's own.
#include "platform/raw_disk.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "platform/host_disks.h"

namespace zirvo::platform {
namespace {

// One attachment of a virtual disk. Handles share it; Detach waits on it
// until no call is inside the disk any more.
class Attachment {
 public:
  explicit Attachment(std::shared_ptr<VirtualDisk> disk) : disk_(std::move(disk)) {}

  // Returns the disk to call into, or null once detached; a non-null result
  // must be paired with EndCall.
  VirtualDisk* BeginCall() {
    std::lock_guard lock(mutex_);
    if (disk_ == nullptr) return nullptr;
    ++callsInside_;
    return disk_.get();
  }

  void EndCall() {
    std::lock_guard lock(mutex_);
    if (--callsInside_ == 0) idle_.notify_all();
  }

  void Detach() {
    std::shared_ptr<VirtualDisk> released;
    std::unique_lock lock(mutex_);
    released = std::move(disk_);
    idle_.wait(lock, [&] { return callsInside_ == 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable idle_;
  // Guarded by mutex_; touched by every thread that uses a handle and by Detach.
  std::shared_ptr<VirtualDisk> disk_;
  int callsInside_ = 0;
};

class VirtualDiskHandle final : public RawDisk {
 public:
  explicit VirtualDiskHandle(std::shared_ptr<Attachment> attachment)
      : attachment_(std::move(attachment)) {}

  bool SetPosition(uint32_t byteOffset) override {
    position_.store(byteOffset, std::memory_order_relaxed);
    return true;
  }

  bool Read(void* buffer, uint32_t bytes) override {
    return Transfer(bytes, [&](VirtualDisk& disk, uint32_t at) {
      return disk.ReadAt(at, buffer, bytes);
    });
  }

  bool Write(const void* buffer, uint32_t bytes) override {
    return Transfer(bytes, [&](VirtualDisk& disk, uint32_t at) {
      return disk.WriteAt(at, buffer, bytes);
    });
  }

 private:
  template <typename Call>
  bool Transfer(uint32_t bytes, Call call) {
    VirtualDisk* disk = attachment_->BeginCall();
    if (disk == nullptr) return false;
    const uint32_t at = position_.load(std::memory_order_relaxed);
    const bool ok = call(*disk, at);
    attachment_->EndCall();
    if (ok) position_.store(at + bytes, std::memory_order_relaxed);
    return ok;
  }

  std::shared_ptr<Attachment> attachment_;
  // Any thread holding the handle; as on Windows, a position followed by a
  // transfer from two threads interleaves as it will.
  std::atomic<uint32_t> position_{0};
};

struct DiskNamespace {
  std::mutex mutex;
  // Guarded by mutex; attach, detach and open run on any thread.
  std::map<int, std::shared_ptr<Attachment>> virtualDisks;
  std::atomic<bool> hostDisksHidden{false};
};

DiskNamespace& Namespace() {
  static DiskNamespace instance;
  return instance;
}

std::shared_ptr<Attachment> FindVirtualDisk(int drive) {
  DiskNamespace& names = Namespace();
  std::lock_guard lock(names.mutex);
  auto found = names.virtualDisks.find(drive);
  return found == names.virtualDisks.end() ? nullptr : found->second;
}

std::unique_ptr<RawDisk> OpenVisibleHostDrive(int drive) {
  if (Namespace().hostDisksHidden.load()) return nullptr;
  return OpenHostDrive(drive);
}

}  // namespace

std::unique_ptr<RawDisk> OpenRawDisk(int drive) {
  if (drive < 0) return nullptr;
  if (std::shared_ptr<Attachment> attachment = FindVirtualDisk(drive)) {
    return std::make_unique<VirtualDiskHandle>(std::move(attachment));
  }
  return OpenVisibleHostDrive(drive);
}

bool AttachVirtualDisk(int drive, std::shared_ptr<VirtualDisk> disk) {
  if (drive < 0 || disk == nullptr) return false;
  DiskNamespace& names = Namespace();
  std::lock_guard lock(names.mutex);
  return names.virtualDisks.try_emplace(drive, std::make_shared<Attachment>(std::move(disk)))
      .second;
}

void DetachVirtualDisk(int drive) {
  std::shared_ptr<Attachment> attachment;
  {
    DiskNamespace& names = Namespace();
    std::lock_guard lock(names.mutex);
    auto found = names.virtualDisks.find(drive);
    if (found == names.virtualDisks.end()) return;
    attachment = std::move(found->second);
    names.virtualDisks.erase(found);
  }
  attachment->Detach();
}

void SetHostDisksHidden(bool hidden) { Namespace().hostDisksHidden.store(hidden); }

bool HostDisksHidden() { return Namespace().hostDisksHidden.load(); }

void DiskBufferDeleter::operator()(std::uint8_t* buffer) const noexcept {
  ::operator delete[](buffer, std::align_val_t{kDiskBufferAlignment});
}

DiskBuffer AllocateDiskBuffer(std::size_t bytes) {
  std::size_t rounded = (bytes + 511u) & ~static_cast<std::size_t>(511u);
  if (rounded < bytes) return nullptr;
  if (rounded == 0) rounded = 512;
  // Aligned operator new: the C runtime of every platform has it, unlike aligned_alloc.
  auto* memory = static_cast<std::uint8_t*>(
      ::operator new[](rounded, std::align_val_t{kDiskBufferAlignment}, std::nothrow));
  if (memory == nullptr) return nullptr;
  std::memset(memory, 0, rounded);
  return DiskBuffer(memory);
}

}  // namespace zirvo::platform
