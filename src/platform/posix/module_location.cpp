// The shared object that holds this code, found with dladdr.
#include "platform/module_location.h"

#include <dlfcn.h>

namespace zirvo::platform {

std::string ThisModuleFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ThisModuleFolder), &info) == 0 || !info.dli_fname) return {};
  std::string path = info.dli_fname;
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace zirvo::platform
