// The current user's key/value settings store: keys, sub-keys and 32-bit values.
#pragma once

#include <cstdint>
#include <memory>

namespace zirvo::platform {

// Path of the library's key under the current user's root.
inline constexpr const char* kSettingsKeyPath = "Software\\Kelvor\\Zirvo7730QX3Sdk";

// An open key. Shaped after the Win32 registry so that one implementation can
// sit on RegOpenKeyExA/RegCreateKeyExA/RegQueryValueExA/RegSetValueExA/RegCloseKey
// and another on a per-user file. Names compare without regard to ASCII case.
//
// A key opened for reading sees the store as it was when its root was opened.
// A created key may buffer its changes until Close; Close (or the destructor,
// which cannot report) makes them durable. Not for use by two threads at once;
// separate keys may be used from separate threads and processes.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;

  // The existing sub-key `name` (a backslash separates deeper levels), or
  // null when it does not exist.
  virtual std::unique_ptr<SettingsKey> OpenSubKey(const char* name) = 0;
  // The sub-key `name`, created when missing. Null on a key opened for reading
  // or when it cannot be created.
  virtual std::unique_ptr<SettingsKey> CreateSubKey(const char* name) = 0;

  // False when the value is missing or is not a 32-bit value.
  virtual bool QueryValue(const char* name, uint32_t& value) = 0;
  // False on a key opened for reading or when the value cannot be set.
  virtual bool SetValue(const char* name, uint32_t value) = 0;

  // Ends the use of the key; false when its changes could not be made durable
  // (they are then all lost, never half-applied). Further calls do nothing.
  virtual bool Close() = 0;
};

// Opens `path` under the current user's root for reading; null when the key
// does not exist or the store cannot be read.
std::unique_ptr<SettingsKey> OpenUserKey(const char* path);
// Opens `path` for reading and writing, creating it when missing; null when it
// cannot be created.
std::unique_ptr<SettingsKey> CreateUserKey(const char* path);

}  // namespace zirvo::platform
