// Tests of the per-user settings store: keys, values, durability and sharing.
#include "platform/settings_store.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <cerrno>
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

#if !defined(_WIN32)
// Takes every free file descriptor but `spare` for its lifetime, as a busy
// process that has run out of them would.
class ExhaustedDescriptors {
 public:
  explicit ExhaustedDescriptors(int spare) {
    getrlimit(RLIMIT_NOFILE, &saved_);
    const int source = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (source < 0) return;
    taken_.push_back(source);
    // A low limit keeps the number of descriptors to take small.
    struct rlimit low = saved_;
    low.rlim_cur = static_cast<rlim_t>(source + 64);
    if (low.rlim_cur < saved_.rlim_cur) setrlimit(RLIMIT_NOFILE, &low);
    for (int fd; (fd = dup(source)) >= 0;) taken_.push_back(fd);
    exhausted_ = errno == EMFILE;
    for (int i = 0; i < spare && !taken_.empty(); ++i) {
      close(taken_.back());
      taken_.pop_back();
    }
  }
  ~ExhaustedDescriptors() {
    for (int fd : taken_) close(fd);
    setrlimit(RLIMIT_NOFILE, &saved_);
  }
  bool exhausted() const { return exhausted_; }

 private:
  struct rlimit saved_ {};
  std::vector<int> taken_;
  bool exhausted_ = false;
};
#endif

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

#if !defined(_WIN32)
TEST_F(SettingsStoreTest, NoDescriptorLeftFailsTheLoadAndLeavesTheFile) {
  { CreateUserKey(kSettingsKeyPath)->SetValue("Size", 5); }
  const std::string before = config_.ReadSettingsFile();
  bool opened = true;
  bool created = true;
  {
    ExhaustedDescriptors none(0);
    ASSERT_TRUE(none.exhausted());
    opened = OpenUserKey(kSettingsKeyPath) != nullptr;
    created = CreateUserKey(kSettingsKeyPath) != nullptr;
  }
  EXPECT_FALSE(opened);
  EXPECT_FALSE(created);
  EXPECT_EQ(config_.ReadSettingsFile(), before);
  EXPECT_TRUE(DamagedCopies().empty());
  EXPECT_EQ(Query(*OpenUserKey(kSettingsKeyPath), "Size"), 5u);
}

TEST_F(SettingsStoreTest, SaveWhoseLockTakesTheLastDescriptorFailsAndKeepsTheFile) {
  {
    auto root = CreateUserKey(kSettingsKeyPath);
    root->SetValue("Size", 5);
    root->CreateSubKey("Gain_00")->SetValue("Global", 77);
  }
  const std::string before = config_.ReadSettingsFile();
  auto root = CreateUserKey(kSettingsKeyPath);
  ASSERT_NE(root, nullptr);
  ASSERT_TRUE(root->SetValue("Color", 3));
  bool closed = true;
  {
    // The lock gets the one descriptor left; reading the file again cannot.
    ExhaustedDescriptors allButOne(1);
    ASSERT_TRUE(allButOne.exhausted());
    closed = root->Close();
  }
  EXPECT_FALSE(closed);
  EXPECT_EQ(config_.ReadSettingsFile(), before);
  EXPECT_TRUE(DamagedCopies().empty());
  auto reopened = OpenUserKey(kSettingsKeyPath);
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(Query(*reopened->OpenSubKey("Gain_00"), "Global"), 77u);
}

#endif

TEST_F(SettingsStoreTest, ByteOrderMarkBeforeTheFirstValueIsSkipped) {
  config_.WriteSettingsFile("\xEF\xBB\xBFSize=3\r\n[Size_03]\r\nEH=640\r\n");
  auto root = OpenUserKey(kSettingsKeyPath);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(Query(*root, "Size"), 3u);
  EXPECT_EQ(Query(*root->OpenSubKey("Size_03"), "EH"), 640u);
  EXPECT_TRUE(DamagedCopies().empty());
  // Saved again without the mark, the value is still the key's own.
  { CreateUserKey(kSettingsKeyPath)->SetValue("Color", 2); }
  EXPECT_EQ(config_.ReadSettingsFile().rfind("\xEF\xBB\xBF", 0), std::string::npos);
  EXPECT_EQ(Query(*OpenUserKey(kSettingsKeyPath), "Size"), 3u);
}

TEST_F(SettingsStoreTest, SectionOfManyValuesKeepsEveryValueAndTheLastOfARepeat) {
  std::string text = "Size=1\n[Filter]\n";
  for (int i = 0; i < 20000; ++i) text += "V" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  text += "v17=-17\n";
  config_.WriteSettingsFile(text);
  {
    auto root = CreateUserKey(kSettingsKeyPath);
    ASSERT_NE(root, nullptr);
    root->CreateSubKey("filter")->SetValue("V19999", 5);
  }
  auto filter = OpenUserKey(kSettingsKeyPath)->OpenSubKey("Filter");
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(Query(*filter, "V0"), 0u);
  EXPECT_EQ(Query(*filter, "V17"), static_cast<uint32_t>(-17));
  EXPECT_EQ(Query(*filter, "V12345"), 12345u);
  EXPECT_EQ(Query(*filter, "V19999"), 5u);
  EXPECT_TRUE(DamagedCopies().empty());
}

TEST_F(SettingsStoreTest, FileBeyondAnyStoreIsKeptAsideUnread) {
  // Valid lines, but more of them than a store ever holds.
  std::string text = "[Filter]\n";
  while (text.size() <= (1u << 20)) text += "Brightness=1\n";
  config_.WriteSettingsFile(text);
  EXPECT_EQ(OpenUserKey(kSettingsKeyPath), nullptr);
  ASSERT_EQ(DamagedCopies().size(), 1u);
  EXPECT_EQ(std::filesystem::file_size(DamagedCopies().front()), text.size());

  std::string entries;
  for (int i = 0; i <= 65536; ++i) entries += "[S" + std::to_string(i) + "]\n";
  config_.WriteSettingsFile(entries);
  EXPECT_EQ(OpenUserKey(kSettingsKeyPath), nullptr);
  EXPECT_EQ(DamagedCopies().size(), 2u);
}

TEST_F(SettingsStoreTest, KeysOwnValuesStayFirstWhenAddedAfterASection) {
  config_.WriteSettingsFile("[Gray]\nMode=1\n");
  { CreateUserKey(kSettingsKeyPath)->SetValue("Size", 2); }
  auto root = OpenUserKey(kSettingsKeyPath);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(Query(*root, "Size"), 2u);
  EXPECT_EQ(Query(*root->OpenSubKey("Gray"), "Mode"), 1u);
  uint32_t value = 0;
  EXPECT_FALSE(root->OpenSubKey("Gray")->QueryValue("Size", value));
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
