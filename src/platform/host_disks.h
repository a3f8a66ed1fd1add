// The host's own whole disks, as the operating-system layer finds them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/raw_disk.h"

namespace zirvo::platform {

// What the platform-neutral disk layer asks of each platform: the host's drive
// with this number (Linux: position in ListHostDisks; Windows:
// \\.\PhysicalDriveN), and the disk driver's instance texts in key order
// (false when they cannot be read at all).
std::unique_ptr<RawDisk> OpenHostDrive(int drive);
bool AppendHostEnumerationTexts(std::vector<std::string>& texts);

// The Linux side of those two:

// Whole disks in drive order (on Linux the SCSI disks sda, sdb, ... sdz, sdaa, ...).
std::vector<std::string> ListHostDisks();
// The naming rule behind that list: a whole disk's name, and the order of two names.
bool IsWholeDiskName(const std::string& name);
bool ComesBeforeInDriveOrder(const std::string& first, const std::string& second);

// Opens a disk named by ListHostDisks for unbuffered shared reading and writing.
std::unique_ptr<RawDisk> OpenHostDisk(const std::string& name);
// The same for any path; unbuffered where the file system allows it.
std::unique_ptr<RawDisk> OpenDiskFile(const std::string& path);

// The instance text the disk driver would record for host disk `drive`
// (its position in ListHostDisks).
std::string HostDiskEnumerationText(const std::string& name, int drive);
// "USBSTOR\Disk&Ven_<vendor>&Prod_<model>&Rev_<revision>\<drive>&0", each part
// trimmed and its inner spaces written as underscores, as the driver does.
std::string UsbStorageInstancePath(const std::string& vendor, const std::string& model,
                                   const std::string& revision, int drive);

}  // namespace zirvo::platform
