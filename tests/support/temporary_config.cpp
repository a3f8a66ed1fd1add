// A private $XDG_CONFIG_HOME for one test.
#include "support/temporary_config.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace zirvo::test {

TemporaryConfig::TemporaryConfig() {
  if (const char* previous = std::getenv("XDG_CONFIG_HOME")) previous_ = previous;
  std::random_device random;
  for (;;) {
    folder_ = std::filesystem::temp_directory_path() /
              ("zirvo-config-" + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(folder_)) break;
  }
  ::setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
}

TemporaryConfig::~TemporaryConfig() {
  if (previous_) ::setenv("XDG_CONFIG_HOME", previous_->c_str(), 1);
  else ::unsetenv("XDG_CONFIG_HOME");
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string TemporaryConfig::ReadSettingsFile() const {
  std::ifstream in(SettingsFile(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void TemporaryConfig::WriteSettingsFile(const std::string& text) const {
  std::filesystem::create_directories(SettingsFile().parent_path());
  std::ofstream(SettingsFile(), std::ios::binary) << text;
}

}  // namespace zirvo::test
