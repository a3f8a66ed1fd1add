// Where the library's own code was loaded from, to find modules beside it.
#pragma once

#include <string>

namespace zirvo::platform {

// The folder, with a trailing separator, of the shared library or program
// that holds this code; empty when it cannot be found.
std::string ThisModuleFolder();

}  // namespace zirvo::platform
