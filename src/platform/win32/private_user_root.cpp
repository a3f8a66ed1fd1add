// A private HKEY_CURRENT_USER for tests: RegOverridePredefKey onto a throw-away key.
#include "platform/private_user_root.h"

#include <windows.h>

#include <mutex>

namespace zirvo::platform {
namespace {

constexpr const char* kPrivateRoots = "Software\\ZirvoPrivateRoots";

// The private key in force, relative to the real HKEY_CURRENT_USER; tests only.
std::mutex rootMutex;
std::string privateKey;

std::string LeafName(const std::string& folder) {
  const std::size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

void DeletePrivateKey() {
  if (privateKey.empty()) return;
  ::RegDeleteTreeA(HKEY_CURRENT_USER, privateKey.c_str());
  privateKey.clear();
}

}  // namespace

bool UsePrivateUserRoot(const std::string& folder) {
  std::lock_guard lock(rootMutex);
  ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  DeletePrivateKey();
  const std::string path = std::string(kPrivateRoots) + "\\" + LeafName(folder);
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool mapped = ::RegOverridePredefKey(HKEY_CURRENT_USER, key) == ERROR_SUCCESS;
  ::RegCloseKey(key);
  privateKey = path;
  if (!mapped) DeletePrivateKey();
  return mapped;
}

void RestoreUserRoot() {
  std::lock_guard lock(rootMutex);
  ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  DeletePrivateKey();
}

}  // namespace zirvo::platform
