// A private $XDG_CONFIG_HOME for one test, so the user's own settings stay untouched.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

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

 private:
  std::filesystem::path folder_;
  std::optional<std::string> previous_;
};

}  // namespace zirvo::test
