// Linked into every test program: the host's own disks are hidden before any test runs.
#include "platform/raw_disk.h"

namespace {

// Under wine \\.\PhysicalDrive0 can be the machine's real disk; no test may reach it.
const bool hostDisksHidden = [] {
  zirvo::platform::SetHostDisksHidden(true);
  return true;
}();

}  // namespace
