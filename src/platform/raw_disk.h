// Raw disks by drive number: open, position, whole-block read and write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zirvo::platform {

// One open disk. Like a Win32 file handle it has one position shared by every
// thread that uses it; each call is atomic on its own, a SetPosition followed
// by a Read is not.
class RawDisk {
 public:
  virtual ~RawDisk() = default;
  // Byte offset of the next Read or Write. False is a failed positioning.
  virtual bool SetPosition(uint32_t byteOffset) = 0;
  // Synchronous transfer at the current position, which then advances.
  // False is a failure; a short transfer is not reported (the caller never
  // looks at the byte count).
  virtual bool Read(void* buffer, uint32_t bytes) = 0;
  virtual bool Write(const void* buffer, uint32_t bytes) = 0;
};

// Opens drive `drive` for reading and writing, shared with other openers.
// Drive numbers resolve first to the virtual disks attached in this process,
// then to the host's whole disks in name order. Null when it cannot be opened.
std::unique_ptr<RawDisk> OpenRawDisk(int drive);

// Buffers for RawDisk transfers: real disks are opened unbuffered, which needs
// buffers aligned to the logical block size.
inline constexpr std::size_t kDiskBufferAlignment = 4096;

struct DiskBufferDeleter {
  void operator()(std::uint8_t* buffer) const noexcept;
};
using DiskBuffer = std::unique_ptr<std::uint8_t[], DiskBufferDeleter>;
// Zero-filled, aligned to kDiskBufferAlignment, rounded up to whole 512-byte
// blocks. Null when the allocation fails.
DiskBuffer AllocateDiskBuffer(std::size_t bytes);

// A disk served by code in this process (the camera simulator). Calls arrive
// from any thread and must be safe to make concurrently.
class VirtualDisk {
 public:
  virtual ~VirtualDisk() = default;
  virtual bool ReadAt(uint32_t byteOffset, void* buffer, uint32_t bytes) = 0;
  virtual bool WriteAt(uint32_t byteOffset, const void* buffer, uint32_t bytes) = 0;
};

// Makes `disk` answer as drive `drive`, hiding whatever host disk had that
// number. False when the number is negative or already taken by a virtual disk.
bool AttachVirtualDisk(int drive, std::shared_ptr<VirtualDisk> disk);
// Removes drive `drive`. Handles opened on it fail every call from then on;
// returns once no call into the disk is in progress any more.
void DetachVirtualDisk(int drive);
// While hidden, drive numbers resolve to virtual disks only (tests).
void SetHostDisksHidden(bool hidden);
bool HostDisksHidden();

}  // namespace zirvo::platform
