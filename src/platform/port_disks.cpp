// The C port functions over the platform layer's disks, enumeration and clock.
#include <cstddef>
#include <memory>
#include <new>

#include "platform/clock.h"
#include "platform/disk_enumeration.h"
#include "platform/raw_disk.h"
#include "zirvo_port.h"

namespace zirvo::platform {
namespace {

class PortDisk final : public VirtualDisk {
 public:
  PortDisk(const ZirvoPortDiskOps& ops, void* context) : ops_(ops), context_(context) {}

  bool ReadAt(uint32_t byteOffset, void* buffer, uint32_t bytes) override {
    return ops_.read != nullptr && ops_.read(context_, byteOffset, buffer, bytes) != 0;
  }

  bool WriteAt(uint32_t byteOffset, const void* buffer, uint32_t bytes) override {
    return ops_.write != nullptr && ops_.write(context_, byteOffset, buffer, bytes) != 0;
  }

 private:
  const ZirvoPortDiskOps ops_;
  void* const context_;
};

// Callers built against an older, shorter table get the missing entries null.
ZirvoPortDiskOps CopyOps(const ZirvoPortDiskOps& given) {
  ZirvoPortDiskOps ops{};
  ops.size = sizeof(ops);
  if (given.size >= offsetof(ZirvoPortDiskOps, read) + sizeof(ops.read)) ops.read = given.read;
  if (given.size >= offsetof(ZirvoPortDiskOps, write) + sizeof(ops.write)) ops.write = given.write;
  return ops;
}

}  // namespace
}  // namespace zirvo::platform

using namespace zirvo::platform;

extern "C" {

int ZirvoPort_AttachDisk(int drive, const ZirvoPortDiskOps* ops, void* context) {
  if (ops == nullptr) return 0;
  try {
    return AttachVirtualDisk(drive, std::make_shared<PortDisk>(CopyOps(*ops), context)) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

void ZirvoPort_DetachDisk(int drive) { DetachVirtualDisk(drive); }

void ZirvoPort_HideHostDisks(int hide) { SetHostDisksHidden(hide != 0); }

void ZirvoPort_AddEnumText(const char* text) {
  if (text == nullptr) return;
  try {
    AddDiskEnumerationText(text);
  } catch (const std::bad_alloc&) {
  }
}

void ZirvoPort_RemoveEnumText(const char* text) {
  if (text == nullptr) return;
  try {
    RemoveDiskEnumerationText(text);
  } catch (const std::bad_alloc&) {
  }
}

void ZirvoPort_ResetEnumTexts(void) { ResetDiskEnumerationTexts(); }

uint32_t ZirvoPort_TimeGetTime(void) { return TimeGetTime(); }

void ZirvoPort_Sleep(uint32_t milliseconds) { Sleep(milliseconds); }

}  // extern "C"
