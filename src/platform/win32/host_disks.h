// Whether the host's own disks are hidden from the raw-disk and enumeration layers.
#pragma once

namespace zirvo::platform {

bool HostDisksHidden();

}  // namespace zirvo::platform
