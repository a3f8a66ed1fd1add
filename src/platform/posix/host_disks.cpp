// The host's whole SCSI disks from /sys/block, opened unbuffered on file descriptors.
#include "platform/host_disks.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace zirvo::platform {
namespace {

constexpr uint32_t kBlockBytes = 512;

std::string ReadAttribute(const std::string& disk, const char* attribute) {
  std::ifstream file("/sys/block/" + disk + "/device/" + attribute);
  std::string text;
  std::getline(file, text);
  return text;
}

bool IsAligned(const void* buffer, uint32_t bytes) {
  return reinterpret_cast<std::uintptr_t>(buffer) % kDiskBufferAlignment == 0 &&
         bytes % kBlockBytes == 0;
}

class HostDisk final : public RawDisk {
 public:
  HostDisk(int descriptor, bool unbuffered) : descriptor_(descriptor), unbuffered_(unbuffered) {}
  ~HostDisk() override { close(descriptor_); }
  HostDisk(const HostDisk&) = delete;
  HostDisk& operator=(const HostDisk&) = delete;

  bool SetPosition(uint32_t byteOffset) override {
    position_.store(byteOffset, std::memory_order_relaxed);
    return true;
  }

  bool Read(void* buffer, uint32_t bytes) override {
    const uint32_t at = position_.load(std::memory_order_relaxed);
    const bool ok = (!unbuffered_ || IsAligned(buffer, bytes)) ? ReadDirect(buffer, bytes, at)
                                                                : ReadBounced(buffer, bytes, at);
    if (ok) position_.store(at + bytes, std::memory_order_relaxed);
    return ok;
  }

  bool Write(const void* buffer, uint32_t bytes) override {
    const uint32_t at = position_.load(std::memory_order_relaxed);
    bool ok;
    if (!unbuffered_ || IsAligned(buffer, bytes)) {
      ok = pwrite(descriptor_, buffer, bytes, at) >= 0;
    } else if (bytes % kBlockBytes != 0) {
      ok = false;  // a partial block cannot reach an unbuffered disk
    } else {
      ok = WriteBounced(buffer, bytes, at);
    }
    if (ok) position_.store(at + bytes, std::memory_order_relaxed);
    return ok;
  }

 private:
  bool ReadDirect(void* buffer, uint32_t bytes, uint32_t at) {
    return pread(descriptor_, buffer, bytes, at) >= 0;
  }

  // Unbuffered transfers need aligned whole blocks; callers' odd buffers go
  // through an aligned copy.
  bool ReadBounced(void* buffer, uint32_t bytes, uint32_t at) {
    DiskBuffer bounce = AllocateDiskBuffer(bytes);
    if (bounce == nullptr) return false;
    const uint32_t rounded = (bytes + kBlockBytes - 1) / kBlockBytes * kBlockBytes;
    if (pread(descriptor_, bounce.get(), rounded, at) < 0) return false;
    std::memcpy(buffer, bounce.get(), bytes);
    return true;
  }

  bool WriteBounced(const void* buffer, uint32_t bytes, uint32_t at) {
    DiskBuffer bounce = AllocateDiskBuffer(bytes);
    if (bounce == nullptr) return false;
    std::memcpy(bounce.get(), buffer, bytes);
    return pwrite(descriptor_, bounce.get(), bytes, at) >= 0;
  }

  const int descriptor_;
  const bool unbuffered_;
  // Any thread holding the handle.
  std::atomic<uint32_t> position_{0};
};

}  // namespace

std::vector<std::string> ListHostDisks() {
  std::vector<std::string> disks;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/block", error)) {
    std::string name = entry.path().filename().string();
    if (IsWholeDiskName(name)) disks.push_back(std::move(name));
  }
  std::sort(disks.begin(), disks.end(), ComesBeforeInDriveOrder);
  return disks;
}

std::unique_ptr<RawDisk> OpenHostDisk(const std::string& name) { return OpenDiskFile("/dev/" + name); }

std::unique_ptr<RawDisk> OpenDiskFile(const std::string& path) {
  int descriptor = open(path.c_str(), O_RDWR | O_DIRECT | O_CLOEXEC);
  bool unbuffered = true;
  if (descriptor < 0 && errno == EINVAL) {
    descriptor = open(path.c_str(), O_RDWR | O_CLOEXEC);
    unbuffered = false;
  }
  if (descriptor < 0) return nullptr;
  return std::make_unique<HostDisk>(descriptor, unbuffered);
}

std::string HostDiskEnumerationText(const std::string& name, int drive) {
  return UsbStorageInstancePath(ReadAttribute(name, "vendor"), ReadAttribute(name, "model"),
                                ReadAttribute(name, "rev"), drive);
}

std::unique_ptr<RawDisk> OpenHostDrive(int drive) {
  const std::vector<std::string> disks = ListHostDisks();
  if (drive < 0 || drive >= static_cast<int>(disks.size())) return nullptr;
  return OpenHostDisk(disks[static_cast<std::size_t>(drive)]);
}

bool AppendHostEnumerationTexts(std::vector<std::string>& texts) {
  const std::vector<std::string> disks = ListHostDisks();
  for (std::size_t drive = 0; drive < disks.size(); ++drive) {
    texts.push_back(HostDiskEnumerationText(disks[drive], static_cast<int>(drive)));
  }
  return true;
}

}  // namespace zirvo::platform
