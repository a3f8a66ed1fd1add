// A private settings root for one test.
#include "support/temporary_config.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/private_user_root.h"
#include "platform/settings_store.h"

namespace zirvo::test {

TemporaryConfig::TemporaryConfig() {
  std::random_device random;
  for (;;) {
    folder_ = std::filesystem::temp_directory_path() /
              ("zirvo-config-" + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(folder_)) break;
  }
  platform::UsePrivateUserRoot(folder_.string());
}

TemporaryConfig::~TemporaryConfig() {
  platform::RestoreUserRoot();
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

namespace zirvo::test {

void TemporaryConfig::Store(const std::string& subKey,
                            std::initializer_list<std::pair<const char*, int32_t>> values) const {
  auto root = platform::CreateUserKey(platform::kSettingsKeyPath);
  if (!root) return;
  std::unique_ptr<platform::SettingsKey> sub;
  if (!subKey.empty()) sub = root->CreateSubKey(subKey.c_str());
  platform::SettingsKey& key = sub ? *sub : *root;
  for (const auto& [name, value] : values) key.SetValue(name, static_cast<uint32_t>(value));
}

std::optional<int32_t> TemporaryConfig::Stored(const std::string& subKey, const char* name) const {
  auto root = platform::OpenUserKey(platform::kSettingsKeyPath);
  if (!root) return std::nullopt;
  std::unique_ptr<platform::SettingsKey> sub;
  if (!subKey.empty() && !(sub = root->OpenSubKey(subKey.c_str()))) return std::nullopt;
  uint32_t value;
  if (!(sub ? *sub : *root).QueryValue(name, value)) return std::nullopt;
  return static_cast<int32_t>(value);
}

bool TemporaryConfig::HasKey(const std::string& subKey) const {
  auto root = platform::OpenUserKey(platform::kSettingsKeyPath);
  return root && (subKey.empty() || root->OpenSubKey(subKey.c_str()) != nullptr);
}

}  // namespace zirvo::test
