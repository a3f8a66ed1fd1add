// A private $XDG_CONFIG_HOME for tests.
#include "platform/private_user_root.h"

#include <cstdlib>
#include <mutex>
#include <optional>

namespace zirvo::platform {
namespace {

// The caller's value before the first redirection; tests only, one at a time.
std::mutex rootMutex;
bool redirected = false;
std::optional<std::string> previousRoot;

}  // namespace

bool UsePrivateUserRoot(const std::string& folder) {
  std::lock_guard lock(rootMutex);
  if (!redirected) {
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    previousRoot = previous != nullptr ? std::optional<std::string>(previous) : std::nullopt;
  }
  if (::setenv("XDG_CONFIG_HOME", folder.c_str(), 1) != 0) return false;
  redirected = true;
  return true;
}

void RestoreUserRoot() {
  std::lock_guard lock(rootMutex);
  if (!redirected) return;
  if (previousRoot) {
    ::setenv("XDG_CONFIG_HOME", previousRoot->c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
  redirected = false;
}

}  // namespace zirvo::platform
