// The disk instance list: the host's disks followed by the texts registered in this process.
#include "platform/disk_enumeration.h"

#include <algorithm>
#include <mutex>

#include "platform/host_disks.h"
#include "platform/raw_disk.h"

namespace zirvo::platform {
namespace {

struct RegisteredTexts {
  std::mutex mutex;
  // Guarded by mutex; the simulator registers from any thread, the device scans.
  std::vector<std::string> texts;
};

RegisteredTexts& Registered() {
  static RegisteredTexts instance;
  return instance;
}

}  // namespace

bool ReadDiskEnumeration(std::vector<std::string>& texts) {
  texts.clear();
  const bool hostRead = HostDisksHidden() || AppendHostEnumerationTexts(texts);
  RegisteredTexts& registered = Registered();
  std::lock_guard lock(registered.mutex);
  texts.insert(texts.end(), registered.texts.begin(), registered.texts.end());
  return hostRead || !registered.texts.empty();
}

void AddDiskEnumerationText(const std::string& text) {
  RegisteredTexts& registered = Registered();
  std::lock_guard lock(registered.mutex);
  registered.texts.push_back(text);
}

void RemoveDiskEnumerationText(const std::string& text) {
  RegisteredTexts& registered = Registered();
  std::lock_guard lock(registered.mutex);
  auto found = std::find(registered.texts.begin(), registered.texts.end(), text);
  if (found != registered.texts.end()) registered.texts.erase(found);
}

void ResetDiskEnumerationTexts() {
  RegisteredTexts& registered = Registered();
  std::lock_guard lock(registered.mutex);
  registered.texts.clear();
}

}  // namespace zirvo::platform
