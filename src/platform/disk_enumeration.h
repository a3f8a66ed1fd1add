// The system's list of disk instances: what the disk driver's enumeration key
// holds ("Count" and one instance text per disk).
#pragma once

#include <string>
#include <vector>

namespace zirvo::platform {

// Fills `texts` with one instance text per disk, in the key's order: the
// host's disks (unless hidden) and then the texts registered in this process.
// False when the enumeration cannot be read at all (the key cannot be opened).
bool ReadDiskEnumeration(std::vector<std::string>& texts);

// Texts registered by the camera simulator, beside the host's own.
void AddDiskEnumerationText(const std::string& text);
// Removes one registration of `text` (a simulated camera unplugged).
void RemoveDiskEnumerationText(const std::string& text);
void ResetDiskEnumerationTexts();

}  // namespace zirvo::platform
