// The host's physical drives (\\.\PhysicalDriveN), disk files, and the disk driver's Enum key.
#include "platform/host_disks.h"

#include <windows.h>

#include <cstring>

namespace zirvo::platform {
namespace {

constexpr const char* kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
constexpr DWORD kInstanceTextBytes = 256;

// Plain synchronous, cached handle: no overlapped or unbuffered I/O.
class DiskHandle final : public RawDisk {
 public:
  explicit DiskHandle(HANDLE handle) : handle_(handle) {}
  ~DiskHandle() override { ::CloseHandle(handle_); }
  DiskHandle(const DiskHandle&) = delete;
  DiskHandle& operator=(const DiskHandle&) = delete;

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

void ReadInstanceTexts(HKEY key, std::vector<std::string>& texts) {
  DWORD count = 0;
  DWORD size = sizeof(count);
  if (::RegQueryValueExA(key, "Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&count),
                         &size) != ERROR_SUCCESS) {
    return;
  }
  for (DWORD i = 0; i < count; ++i) {
    char name[64] = {};
    ::wsprintfA(name, "%d", static_cast<int>(i));
    char data[kInstanceTextBytes] = {};
    DWORD dataSize = kInstanceTextBytes;
    if (::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                           &dataSize) != ERROR_SUCCESS) {
      continue;  // missing, or longer than the buffer
    }
    texts.emplace_back(data, strnlen(data, dataSize));
  }
}

}  // namespace

std::unique_ptr<RawDisk> OpenDiskFile(const std::string& path) {
  HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<DiskHandle>(handle);
}

std::unique_ptr<RawDisk> OpenHostDrive(int drive) {
  char path[256] = {};
  ::wsprintfA(path, "\\\\.\\PhysicalDrive%d", drive);
  return OpenDiskFile(path);
}

bool AppendHostEnumerationTexts(std::vector<std::string>& texts) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDiskEnumKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  ReadInstanceTexts(key, texts);
  ::RegCloseKey(key);
  return true;
}

}  // namespace zirvo::platform
