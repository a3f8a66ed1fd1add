// Linux whole-disk names, their drive order and the instance paths built from them.
#include <algorithm>
#include <string>

#include "platform/host_disks.h"

namespace zirvo::platform {
namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// Instance paths carry no spaces: the driver writes them as underscores.
std::string InstancePathPart(const std::string& text) {
  std::string part = Trimmed(text);
  std::replace(part.begin(), part.end(), ' ', '_');
  return part;
}

}  // namespace

bool IsWholeDiskName(const std::string& name) {
  if (name.size() < 3 || name.compare(0, 2, "sd") != 0) return false;
  return std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// sdz comes before sdaa.
bool ComesBeforeInDriveOrder(const std::string& first, const std::string& second) {
  return first.size() != second.size() ? first.size() < second.size() : first < second;
}

std::string UsbStorageInstancePath(const std::string& vendor, const std::string& model,
                                   const std::string& revision, int drive) {
  return "USBSTOR\\Disk&Ven_" + InstancePathPart(vendor) + "&Prod_" + InstancePathPart(model) +
         "&Rev_" + InstancePathPart(revision) + "\\" + std::to_string(drive) + "&0";
}

}  // namespace zirvo::platform
