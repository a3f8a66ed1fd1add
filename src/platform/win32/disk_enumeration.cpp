// Windows disk enumeration: the disk driver's Enum key, then the in-process texts.
#include "platform/disk_enumeration.h"

#include "platform/win32/host_disks.h"

#include <windows.h>

#include <cstring>
#include <mutex>

namespace zirvo::platform {

namespace {

constexpr const char* kDiskEnumKey = "SYSTEM\\CurrentControlSet\\Services\\Disk\\Enum";
constexpr DWORD kInstanceTextBytes = 256;

// Texts registered by the simulator; any thread may add or read them.
std::mutex registeredMutex;
std::vector<std::string> registeredTexts;

std::string InstanceText(const char* data, DWORD size) {
  std::size_t length = strnlen(data, size);
  return std::string(data, length);
}

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
                           &dataSize) == ERROR_SUCCESS) {
      texts.push_back(InstanceText(data, dataSize));
    }
  }
}

bool ReadHostTexts(std::vector<std::string>& texts) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDiskEnumKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  ReadInstanceTexts(key, texts);
  ::RegCloseKey(key);
  return true;
}

}  // namespace

bool ReadDiskEnumeration(std::vector<std::string>& texts) {
  texts.clear();
  bool hostRead = !HostDisksHidden() && ReadHostTexts(texts);
  std::lock_guard lock(registeredMutex);
  texts.insert(texts.end(), registeredTexts.begin(), registeredTexts.end());
  return hostRead || HostDisksHidden() || !registeredTexts.empty();
}

void AddDiskEnumerationText(const std::string& text) {
  std::lock_guard lock(registeredMutex);
  registeredTexts.push_back(text);
}

void ResetDiskEnumerationTexts() {
  std::lock_guard lock(registeredMutex);
  registeredTexts.clear();
}

}  // namespace zirvo::platform
