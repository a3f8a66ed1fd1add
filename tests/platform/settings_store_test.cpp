// Tests of the per-user settings store: keys, values, durability and sharing.
#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/temporary_config.h"

namespace zirvo::platform {
namespace {

using test::TemporaryConfig;

class SettingsStoreTest : public ::testing::Test {
 protected:
  std::vector<std::filesystem::path> DamagedCopies() const {
    std::vector<std::filesystem::path> copies;
    for (const auto& entry : std::filesystem::directory_iterator(config_.SettingsFile().parent_path()))
      if (entry.path().filename().string().find(".damaged-") != std::string::npos)
        copies.push_back(entry.path());
    return copies;
  }

  static uint32_t Query(SettingsKey& key, const char* name) {
    uint32_t value = 0xDEADBEEF;
    EXPECT_TRUE(key.QueryValue(name, value)) << name;
    return value;
  }

  TemporaryConfig config_;
};

TEST_F(SettingsStoreTest, MissingKeyCannotBeOpenedForReading) {
  EXPECT_EQ(OpenUserKey(kSettingsKeyPath), nullptr);
  EXPECT_FALSE(std::filesystem::exists(config_.SettingsFile()));
}

TEST_F(SettingsStoreTest, CreatedKeyExistsBeforeAnyValueIsSet) {
  auto created = CreateUserKey(kSettingsKeyPath);
  ASSERT_NE(created, nullptr);
  EXPECT_NE(OpenUserKey(kSettingsKeyPath), nullptr);
}

TEST_F(SettingsStoreTest, ValuesAndSubKeysSurviveInTheFile) {
  {
    auto root = CreateUserKey(kSettingsKeyPath);
    ASSERT_NE(root, nullptr);
    ASSERT_TRUE(root->SetValue("Size", 3));
    auto sub = root->CreateSubKey("Size_00");
    ASSERT_NE(sub, nullptr);
    ASSERT_TRUE(sub->SetValue("Brightness", static_cast<uint32_t>(-255)));
    ASSERT_TRUE(sub->SetValue("TH", 0xFFFFFFFFu));
    EXPECT_TRUE(sub->Close());
    EXPECT_TRUE(root->Close());
  }
  auto root = OpenUserKey(kSettingsKeyPath);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(Query(*root, "Size"), 3u);
  auto sub = root->OpenSubKey("Size_00");
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(Query(*sub, "Brightness"), static_cast<uint32_t>(-255));
  EXPECT_EQ(Query(*sub, "TH"), 0xFFFFFFFFu);
  std::string text = config_.ReadSettingsFile();
  EXPECT_NE(text.find("[Size_00]"), std::string::npos);
  EXPECT_NE(text.find("Brightness=-255"), std::string::npos);
}

TEST_F(SettingsStoreTest, NamesMatchWhateverTheirCase) {
  {
    auto root = CreateUserKey(kSettingsKeyPath);
    auto sub = root->CreateSubKey("Gain_00");
    sub->SetValue("Global", 7);
  }
  auto root = OpenUserKey(kSettingsKeyPath);
  auto sub = root->OpenSubKey("GAIN_00");
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(Query(*sub, "global"), 7u);
}

TEST_F(SettingsStoreTest, MissingSubKeyAndValueAreReported) {
  { CreateUserKey(kSettingsKeyPath)->SetValue("Size", 0); }
  auto root = OpenUserKey(kSettingsKeyPath);
  EXPECT_EQ(root->OpenSubKey("Size_00"), nullptr);
  uint32_t value = 42;
  EXPECT_FALSE(root->QueryValue("Color", value));
  EXPECT_EQ(value, 42u);
}

TEST_F(SettingsStoreTest, KeyOpenedForReadingRefusesChanges) {
  { CreateUserKey(kSettingsKeyPath); }
  auto root = OpenUserKey(kSettingsKeyPath);
  EXPECT_FALSE(root->SetValue("Size", 1));
  EXPECT_EQ(root->CreateSubKey("Filter"), nullptr);
}

TEST_F(SettingsStoreTest, ReaderKeepsTheViewItOpened) {
  { CreateUserKey(kSettingsKeyPath)->SetValue("Size", 1); }
  auto reader = OpenUserKey(kSettingsKeyPath);
  { CreateUserKey(kSettingsKeyPath)->SetValue("Size", 2); }
  EXPECT_EQ(Query(*reader, "Size"), 1u);
  EXPECT_EQ(Query(*OpenUserKey(kSettingsKeyPath), "Size"), 2u);
}

TEST_F(SettingsStoreTest, FailedReplaceLeavesThePreviousFileWhole) {
  { CreateUserKey(kSettingsKeyPath)->SetValue("Size", 1); }
  std::string before = config_.ReadSettingsFile();
  // A folder where the new file must go makes writing it fail.
  std::filesystem::path temporary = config_.SettingsFile();
  temporary += ".tmp";
  std::filesystem::create_directory(temporary);

  auto root = CreateUserKey(kSettingsKeyPath);
  ASSERT_TRUE(root->SetValue("Size", 2));
  ASSERT_TRUE(root->SetValue("Color", 5));
  EXPECT_FALSE(root->Close());
  EXPECT_EQ(config_.ReadSettingsFile(), before);
  std::filesystem::remove(temporary);
}

TEST_F(SettingsStoreTest, SuccessfulReplaceLeavesNoTemporaryFile) {
  { CreateUserKey(kSettingsKeyPath)->SetValue("Size", 1); }
  std::filesystem::path temporary = config_.SettingsFile();
  temporary += ".tmp";
  EXPECT_FALSE(std::filesystem::exists(temporary));
}

TEST_F(SettingsStoreTest, DamagedFileCountsAsMissingAndIsKeptAside) {
  const std::string damaged = "Size=0\nthis line is not a setting\n";
  config_.WriteSettingsFile(damaged);
  EXPECT_EQ(OpenUserKey(kSettingsKeyPath), nullptr);
  std::vector<std::filesystem::path> copies = DamagedCopies();
  ASSERT_EQ(copies.size(), 1u);
  std::ifstream in(copies.front());
  std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept, damaged);
  EXPECT_FALSE(std::filesystem::exists(config_.SettingsFile()));
}

TEST_F(SettingsStoreTest, UnreadableStoreIsKeptAsideAndReplacedOnSave) {
  std::filesystem::create_directories(config_.SettingsFile() / "in-the-way");
  EXPECT_EQ(OpenUserKey(kSettingsKeyPath), nullptr);
  ASSERT_EQ(DamagedCopies().size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(DamagedCopies().front() / "in-the-way"));
  { CreateUserKey(kSettingsKeyPath)->SetValue("Size", 6); }
  EXPECT_EQ(Query(*OpenUserKey(kSettingsKeyPath), "Size"), 6u);
}

TEST_F(SettingsStoreTest, SavingOverADamagedFileKeepsTheDamagedCopy) {
  config_.WriteSettingsFile("Size=99999999999\n");
  {
    auto root = CreateUserKey(kSettingsKeyPath);
    ASSERT_NE(root, nullptr);
    root->SetValue("Size", 4);
  }
  EXPECT_EQ(DamagedCopies().size(), 1u);
  EXPECT_EQ(Query(*OpenUserKey(kSettingsKeyPath), "Size"), 4u);
}

TEST_F(SettingsStoreTest, SecondDamagedFileGetsItsOwnCopy) {
  config_.WriteSettingsFile("[unclosed\n");
  EXPECT_EQ(OpenUserKey(kSettingsKeyPath), nullptr);
  config_.WriteSettingsFile("=1\n");
  EXPECT_EQ(OpenUserKey(kSettingsKeyPath), nullptr);
  EXPECT_EQ(DamagedCopies().size(), 2u);
}

TEST_F(SettingsStoreTest, HandWrittenFileWithCommentsAndHexIsRead) {
  config_.WriteSettingsFile("; mine\n  Size = 0x10 \r\n\n# also mine\n[Gray]\nOffsetR1=-7\n");
  auto root = OpenUserKey(kSettingsKeyPath);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(Query(*root, "Size"), 16u);
  EXPECT_EQ(Query(*root->OpenSubKey("Gray"), "OffsetR1"), static_cast<uint32_t>(-7));
}

TEST_F(SettingsStoreTest, DeeperSubKeysExistThroughTheirParents) {
  {
    auto root = CreateUserKey(kSettingsKeyPath);
    root->CreateSubKey("Outer\\Inner")->SetValue("Depth", 2);
  }
  auto root = OpenUserKey(kSettingsKeyPath);
  auto outer = root->OpenSubKey("Outer");
  ASSERT_NE(outer, nullptr);
  auto inner = outer->OpenSubKey("Inner");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(Query(*inner, "Depth"), 2u);
}

TEST_F(SettingsStoreTest, WritersInOneProcessKeepEachOthersValues) {
  constexpr int kRounds = 40;
  auto writer = [](char prefix) {
    for (int i = 0; i < kRounds; ++i) {
      auto root = CreateUserKey(kSettingsKeyPath);
      ASSERT_NE(root, nullptr);
      std::string name = std::string(1, prefix) + "_" + std::to_string(i);
      root->SetValue(name.c_str(), i);
      EXPECT_TRUE(root->Close());
    }
  };
  std::thread first(writer, 'A');
  std::thread second(writer, 'B');
  first.join();
  second.join();
  auto root = OpenUserKey(kSettingsKeyPath);
  for (char prefix : {'A', 'B'})
    for (int i = 0; i < kRounds; ++i)
      EXPECT_EQ(Query(*root, (std::string(1, prefix) + "_" + std::to_string(i)).c_str()),
                static_cast<uint32_t>(i));
}

// Run as a child process by the next test: saves its own values many times.
TEST(SettingsStoreChild, SavesItsOwnValues) {
  const char* prefix = std::getenv("ZIRVO_STORE_WRITER");
  if (!prefix || !std::getenv("XDG_CONFIG_HOME")) GTEST_SKIP() << "only run as a child of WritersInTwoProcessesKeepEachOthersValues";
  for (int i = 0; i < 60; ++i) {
    auto root = CreateUserKey(kSettingsKeyPath);
    ASSERT_NE(root, nullptr);
    auto sub = root->CreateSubKey((std::string("Writer_") + prefix).c_str());
    ASSERT_NE(sub, nullptr);
    ASSERT_TRUE(sub->SetValue(("V" + std::to_string(i)).c_str(), i));
    ASSERT_TRUE(sub->Close());
    ASSERT_TRUE(root->SetValue((std::string(prefix) + std::to_string(i)).c_str(), i));
    ASSERT_TRUE(root->Close());
  }
}

TEST_F(SettingsStoreTest, WritersInTwoProcessesKeepEachOthersValues) {
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  auto child = [&](const char* prefix, int& status) {
    std::string command = "ZIRVO_STORE_WRITER=" + std::string(prefix) + " '" + self.string() +
                          "' --gtest_filter=SettingsStoreChild.SavesItsOwnValues >/dev/null 2>&1";
    status = std::system(command.c_str());
  };
  int first = -1, second = -1;
  std::thread a(child, "P", std::ref(first));
  std::thread b(child, "Q", std::ref(second));
  a.join();
  b.join();
  ASSERT_EQ(first, 0);
  ASSERT_EQ(second, 0);
  auto root = OpenUserKey(kSettingsKeyPath);
  ASSERT_NE(root, nullptr);
  for (const char* prefix : {"P", "Q"}) {
    auto sub = root->OpenSubKey((std::string("Writer_") + prefix).c_str());
    ASSERT_NE(sub, nullptr) << prefix;
    for (int i = 0; i < 60; ++i) {
      EXPECT_EQ(Query(*root, (std::string(prefix) + std::to_string(i)).c_str()), static_cast<uint32_t>(i));
      EXPECT_EQ(Query(*sub, ("V" + std::to_string(i)).c_str()), static_cast<uint32_t>(i));
    }
  }
  EXPECT_TRUE(DamagedCopies().empty());
}

}  // namespace
}  // namespace zirvo::platform
