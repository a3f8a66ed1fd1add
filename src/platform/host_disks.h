// The host's own whole disks, as the operating-system layer finds them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/raw_disk.h"

namespace zirvo::platform {

// Whole disks in drive order (on Linux the SCSI disks sda, sdb, ... sdz, sdaa, ...).
std::vector<std::string> ListHostDisks();

// Opens a disk named by ListHostDisks for unbuffered shared reading and writing.
std::unique_ptr<RawDisk> OpenHostDisk(const std::string& name);

// The instance text the disk driver would record for host disk `drive`
// (its position in ListHostDisks).
std::string HostDiskEnumerationText(const std::string& name, int drive);

}  // namespace zirvo::platform
