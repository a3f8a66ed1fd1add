// The settings store on the registry under HKEY_CURRENT_USER.
#include "platform/settings_store.h"

#include <windows.h>

namespace zirvo::platform {
namespace {

class RegistryKey final : public SettingsKey {
 public:
  RegistryKey(HKEY key, bool writable) : key_(key), writable_(writable) {}
  ~RegistryKey() override { Close(); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  std::unique_ptr<SettingsKey> OpenSubKey(const char* name) override {
    if (key_ == nullptr) return nullptr;
    HKEY sub = nullptr;
    const REGSAM access = writable_ ? KEY_ALL_ACCESS : KEY_READ;
    if (::RegOpenKeyExA(key_, name, 0, access, &sub) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<RegistryKey>(sub, writable_);
  }

  std::unique_ptr<SettingsKey> CreateSubKey(const char* name) override {
    if (key_ == nullptr || !writable_) return nullptr;
    return Create(key_, name);
  }

  bool QueryValue(const char* name, uint32_t& value) override {
    if (key_ == nullptr) return false;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (::RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(data)) {
      return false;
    }
    value = data;
    return true;
  }

  bool SetValue(const char* name, uint32_t value) override {
    if (key_ == nullptr || !writable_) return false;
    const DWORD data = value;
    return ::RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                            sizeof(data)) == ERROR_SUCCESS;
  }

  // Each value is durable once set: nothing is left to write at close.
  bool Close() override {
    if (key_ == nullptr) return true;
    const bool closed = ::RegCloseKey(key_) == ERROR_SUCCESS;
    key_ = nullptr;
    return closed;
  }

  static std::unique_ptr<SettingsKey> Create(HKEY parent, const char* name) {
    HKEY key = nullptr;
    char emptyClass[] = "";
    if (::RegCreateKeyExA(parent, name, 0, emptyClass, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
      return nullptr;
    }
    return std::make_unique<RegistryKey>(key, true);
  }

 private:
  HKEY key_;
  const bool writable_;
};

}  // namespace

std::unique_ptr<SettingsKey> OpenUserKey(const char* path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<RegistryKey>(key, false);
}

std::unique_ptr<SettingsKey> CreateUserKey(const char* path) {
  return RegistryKey::Create(HKEY_CURRENT_USER, path);
}

}  // namespace zirvo::platform
