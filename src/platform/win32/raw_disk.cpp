// Windows raw disks: the simulator's virtual disks first, then \\.\PhysicalDriveN.
#include "platform/raw_disk.h"

#include "platform/win32/host_disks.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <utility>

namespace zirvo::platform {
namespace {

// One attachment of a virtual disk. Handles opened on it share it; Detach
// marks it gone and waits until no handle is inside a call.
class Attachment {
 public:
  explicit Attachment(std::shared_ptr<VirtualDisk> disk) : disk_(std::move(disk)) {}

  template <typename Call>
  bool Enter(Call&& call) {
    {
      std::lock_guard lock(mutex_);
      if (detached_) return false;
      ++callsInProgress_;
    }
    bool result = call(*disk_);
    {
      std::lock_guard lock(mutex_);
      --callsInProgress_;
    }
    idle_.notify_all();
    return result;
  }

  void Detach() {
    std::unique_lock lock(mutex_);
    detached_ = true;
    idle_.wait(lock, [this] { return callsInProgress_ == 0; });
  }

 private:
  const std::shared_ptr<VirtualDisk> disk_;
  // Guards the two fields below; taken by every caller of the disk and by Detach.
  std::mutex mutex_;
  std::condition_variable idle_;
  bool detached_ = false;
  int callsInProgress_ = 0;
};

// Attached virtual disks by drive number; touched by any thread that opens,
// attaches or detaches.
std::mutex attachmentsMutex;
std::map<int, std::shared_ptr<Attachment>> attachments;
std::atomic<bool> hostDisksHidden{false};

std::shared_ptr<Attachment> FindAttachment(int drive) {
  std::lock_guard lock(attachmentsMutex);
  auto found = attachments.find(drive);
  return found == attachments.end() ? nullptr : found->second;
}

class VirtualRawDisk final : public RawDisk {
 public:
  explicit VirtualRawDisk(std::shared_ptr<Attachment> attachment)
      : attachment_(std::move(attachment)) {}

  bool SetPosition(uint32_t byteOffset) override {
    position_.store(byteOffset);
    return true;
  }

  bool Read(void* buffer, uint32_t bytes) override {
    uint32_t offset = position_.fetch_add(bytes);
    return attachment_->Enter(
        [&](VirtualDisk& disk) { return disk.ReadAt(offset, buffer, bytes); });
  }

  bool Write(const void* buffer, uint32_t bytes) override {
    uint32_t offset = position_.fetch_add(bytes);
    return attachment_->Enter(
        [&](VirtualDisk& disk) { return disk.WriteAt(offset, buffer, bytes); });
  }

 private:
  const std::shared_ptr<Attachment> attachment_;
  std::atomic<uint32_t> position_{0};
};

class PhysicalRawDisk final : public RawDisk {
 public:
  explicit PhysicalRawDisk(HANDLE handle) : handle_(handle) {}
  ~PhysicalRawDisk() override { ::CloseHandle(handle_); }
  PhysicalRawDisk(const PhysicalRawDisk&) = delete;
  PhysicalRawDisk& operator=(const PhysicalRawDisk&) = delete;

  bool SetPosition(uint32_t byteOffset) override {
    return ::SetFilePointer(handle_, static_cast<LONG>(byteOffset), nullptr, FILE_BEGIN) !=
           INVALID_SET_FILE_POINTER;
  }

  bool Read(void* buffer, uint32_t bytes) override {
    DWORD transferred = 0;
    return ::ReadFile(handle_, buffer, bytes, &transferred, nullptr) != FALSE;
  }

  bool Write(const void* buffer, uint32_t bytes) override {
    DWORD transferred = 0;
    return ::WriteFile(handle_, buffer, bytes, &transferred, nullptr) != FALSE;
  }

 private:
  const HANDLE handle_;
};

std::unique_ptr<RawDisk> OpenPhysicalDrive(int drive) {
  char path[256] = {};
  ::wsprintfA(path, "\\\\.\\PhysicalDrive%d", drive);
  HANDLE handle = ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<PhysicalRawDisk>(handle);
}

}  // namespace

std::unique_ptr<RawDisk> OpenRawDisk(int drive) {
  if (drive < 0) return nullptr;
  if (auto attachment = FindAttachment(drive)) {
    return std::make_unique<VirtualRawDisk>(std::move(attachment));
  }
  if (hostDisksHidden.load()) return nullptr;
  return OpenPhysicalDrive(drive);
}

void DiskBufferDeleter::operator()(std::uint8_t* buffer) const noexcept {
  ::operator delete[](buffer, std::align_val_t{kDiskBufferAlignment});
}

DiskBuffer AllocateDiskBuffer(std::size_t bytes) {
  std::size_t rounded = (bytes + 511) / 512 * 512;
  if (rounded == 0) rounded = 512;
  void* memory = ::operator new[](rounded, std::align_val_t{kDiskBufferAlignment}, std::nothrow);
  if (memory == nullptr) return nullptr;
  std::memset(memory, 0, rounded);
  return DiskBuffer(static_cast<std::uint8_t*>(memory));
}

bool AttachVirtualDisk(int drive, std::shared_ptr<VirtualDisk> disk) {
  if (drive < 0 || disk == nullptr) return false;
  std::lock_guard lock(attachmentsMutex);
  return attachments.emplace(drive, std::make_shared<Attachment>(std::move(disk))).second;
}

void DetachVirtualDisk(int drive) {
  std::shared_ptr<Attachment> attachment;
  {
    std::lock_guard lock(attachmentsMutex);
    auto found = attachments.find(drive);
    if (found == attachments.end()) return;
    attachment = std::move(found->second);
    attachments.erase(found);
  }
  attachment->Detach();
}

void SetHostDisksHidden(bool hidden) { hostDisksHidden.store(hidden); }

bool HostDisksHidden() { return hostDisksHidden.load(); }

}  // namespace zirvo::platform
