// Tests only: the current user's settings root moved to a throw-away place and back.
#pragma once

#include <string>

namespace zirvo::platform {

// From now on the settings store works under a private root named after
// `folder` (an existing, empty folder of the caller's): on Linux $XDG_CONFIG_HOME
// becomes `folder`; on Windows HKEY_CURRENT_USER maps onto a new key of its
// own. False when that cannot be done; nothing is changed then.
bool UsePrivateUserRoot(const std::string& folder);
// Puts the user's own root back and forgets the private one.
void RestoreUserRoot();

}  // namespace zirvo::platform
