// Platform files: creation modes, positioned writes, truncation, replacement.
#include "platform/file.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/output_files.h"

namespace zirvo::platform {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

std::vector<uint8_t> Bytes(const char* text) {
  return std::vector<uint8_t>(text, text + std::char_traits<char>::length(text));
}

class FileTest : public ::testing::Test {
 protected:
  test::TemporaryFolder folder_;
};

TEST_F(FileTest, CreateOrTruncateEmptiesAnExistingFileAndMakesAMissingOne) {
  const std::string existing = folder_.File("existing");
  WriteFileBytes(existing, Bytes("old contents"));
  auto file = OpenFileForWriting(existing.c_str(), FileCreation::kCreateOrTruncate);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Close());
  EXPECT_EQ(FileSize(existing.c_str()), 0);

  const std::string fresh = folder_.File("fresh");
  file = OpenFileForWriting(fresh.c_str(), FileCreation::kCreateOrTruncate);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->Write("abc", 3));
  EXPECT_TRUE(file->Close());
  EXPECT_EQ(ReadFileBytes(fresh), Bytes("abc"));
}

TEST_F(FileTest, CreateNewRefusesAnExistingName) {
  const std::string name = folder_.File("taken");
  WriteFileBytes(name, Bytes("keep"));
  EXPECT_FALSE(OpenFileForWriting(name.c_str(), FileCreation::kCreateNew));
  EXPECT_EQ(ReadFileBytes(name), Bytes("keep"));
  EXPECT_TRUE(OpenFileForWriting(folder_.File("free").c_str(), FileCreation::kCreateNew));
}

TEST_F(FileTest, NamesThatCannotBeOpenedGiveNoFile) {
  EXPECT_FALSE(OpenFileForWriting(folder_.File("missing/folder/file").c_str(),
                                  FileCreation::kCreateOrTruncate));
  EXPECT_FALSE(OpenFileForWriting("", FileCreation::kCreateOrTruncate));
  EXPECT_FALSE(OpenFileForWriting(nullptr, FileCreation::kCreateNew));
  EXPECT_FALSE(FlushFileByName(folder_.File("missing").c_str()));
  EXPECT_EQ(FileSize(folder_.File("missing").c_str()), -1);
}

TEST_F(FileTest, SeekOverwritesInPlaceAndTruncateCutsAtThePosition) {
  const std::string name = folder_.File("patched");
  auto file = OpenFileForWriting(name.c_str(), FileCreation::kCreateOrTruncate);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Write("0123456789", 10));
  EXPECT_EQ(file->Position(), 10u);
  ASSERT_TRUE(file->Seek(2));
  ASSERT_TRUE(file->Write("ab", 2));
  EXPECT_EQ(file->Position(), 4u);
  ASSERT_TRUE(file->Seek(7));
  ASSERT_TRUE(file->Truncate());
  ASSERT_TRUE(file->Flush());
  ASSERT_TRUE(file->Close());
  EXPECT_EQ(ReadFileBytes(name), Bytes("01ab456"));
}

TEST_F(FileTest, CallsAfterCloseFail) {
  auto file = OpenFileForWriting(folder_.File("closed").c_str(), FileCreation::kCreateNew);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Close());
  EXPECT_FALSE(file->Write("x", 1));
  EXPECT_FALSE(file->Seek(0));
  EXPECT_FALSE(file->Flush());
  EXPECT_FALSE(file->Close());
}

TEST_F(FileTest, RenameReplacingTakesTheNameOfAnExistingFileAndRemoveDeletes) {
  const std::string from = folder_.File("new");
  const std::string to = folder_.File("target");
  WriteFileBytes(from, Bytes("new"));
  WriteFileBytes(to, Bytes("old"));
  ASSERT_TRUE(RenameReplacing(from.c_str(), to.c_str()));
  EXPECT_EQ(ReadFileBytes(to), Bytes("new"));
  EXPECT_FALSE(FileExists(from.c_str()));
  EXPECT_FALSE(RenameReplacing(from.c_str(), to.c_str()));
  EXPECT_TRUE(FlushFileByName(to.c_str()));
  EXPECT_TRUE(RemoveFile(to.c_str()));
  EXPECT_FALSE(FileExists(to.c_str()));
  EXPECT_FALSE(RemoveFile(to.c_str()));
}

TEST_F(FileTest, AWriteBeyondTheSizeLimitFails) {
  if (!test::FileSizeLimit::Available()) GTEST_SKIP() << "no file-size limit here";
  auto file = OpenFileForWriting(folder_.File("limited").c_str(), FileCreation::kCreateNew);
  ASSERT_TRUE(file);
  std::vector<uint8_t> block(3000, 7);
  test::FileSizeLimit limit(4000);
  EXPECT_TRUE(file->Write(block.data(), block.size()));
  EXPECT_FALSE(file->Write(block.data(), block.size()));
}

}  // namespace
}  // namespace zirvo::platform
