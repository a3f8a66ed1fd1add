// A private settings root for one test, so the user's own settings stay untouched.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

namespace zirvo::test {

class TemporaryConfig {
 public:
  TemporaryConfig();
  ~TemporaryConfig();
  TemporaryConfig(const TemporaryConfig&) = delete;
  TemporaryConfig& operator=(const TemporaryConfig&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  // The file that holds the library's settings key.
  std::filesystem::path SettingsFile() const { return folder_ / "Kelvor" / "Zirvo7730QX3Sdk.ini"; }
  std::string ReadSettingsFile() const;
  void WriteSettingsFile(const std::string& text) const;

  // Values of the settings key ("" names the key itself, else a sub-key).
  void Store(const std::string& subKey,
             std::initializer_list<std::pair<const char*, int32_t>> values) const;
  std::optional<int32_t> Stored(const std::string& subKey, const char* name) const;
  bool HasKey(const std::string& subKey) const;

 private:
  std::filesystem::path folder_;
};

}  // namespace zirvo::test
