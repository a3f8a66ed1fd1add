// The system language from the locale variables: the first one set decides.
#include "platform/system_language.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace zirvo::platform {
namespace {

class SystemLanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kNames)
      if (const char* value = std::getenv(name)) saved_[Index(name)] = value;
    Set(nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    for (const char* name : kNames) {
      const std::optional<std::string>& value = saved_[Index(name)];
      value ? setenv(name, value->c_str(), 1) : unsetenv(name);
    }
  }
  static void Set(const char* all, const char* messages, const char* lang) {
    const char* values[] = {all, messages, lang};
    for (int i = 0; i < 3; ++i) values[i] ? setenv(kNames[i], values[i], 1) : unsetenv(kNames[i]);
  }
  static int Index(const char* name) {
    for (int i = 0; i < 3; ++i)
      if (std::string(kNames[i]) == name) return i;
    return 0;
  }
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::optional<std::string> saved_[3];
};

TEST_F(SystemLanguageTest, JapaneseWhenTheDecidingVariableBeginsWithJa) {
  Set(nullptr, nullptr, "ja_JP.UTF-8");
  EXPECT_TRUE(SystemLanguageIsJapanese());
  Set(nullptr, "ja_JP.eucJP", "en_US.UTF-8");
  EXPECT_TRUE(SystemLanguageIsJapanese());
  Set("ja", "en_US.UTF-8", "en_US.UTF-8");
  EXPECT_TRUE(SystemLanguageIsJapanese());
}

TEST_F(SystemLanguageTest, EnglishOtherwiseAndTheFirstSetVariableWins) {
  EXPECT_FALSE(SystemLanguageIsJapanese());
  Set("C", nullptr, "ja_JP.UTF-8");
  EXPECT_FALSE(SystemLanguageIsJapanese());
  Set("", "en_GB.UTF-8", "ja_JP.UTF-8");  // an empty variable counts as unset
  EXPECT_FALSE(SystemLanguageIsJapanese());
  Set(nullptr, nullptr, "jv_ID");
  EXPECT_FALSE(SystemLanguageIsJapanese());
}

}  // namespace
}  // namespace zirvo::platform
