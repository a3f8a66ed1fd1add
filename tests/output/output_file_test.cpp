// OutputFile and the temporary file that replaces a target on commit.
#include "output/output_file.h"

#include <gtest/gtest.h>

#include "platform/file.h"
#include "support/output_files.h"

namespace zirvo {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

class OutputFileTest : public ::testing::Test {
 protected:
  test::TemporaryFolder folder_;
};

TEST_F(OutputFileTest, OpenTruncatesAndReopeningClosesTheFirstFile) {
  const std::string first = folder_.File("first");
  WriteFileBytes(first, {1, 2, 3, 4});
  OutputFile file;
  EXPECT_FALSE(file.write("x", 1));
  ASSERT_TRUE(file.open(first.c_str()));
  ASSERT_TRUE(file.write("ab", 2));
  ASSERT_TRUE(file.open(folder_.File("second").c_str()));
  EXPECT_EQ(ReadFileBytes(first), (std::vector<uint8_t>{'a', 'b'}));
  EXPECT_TRUE(file.close());
  EXPECT_TRUE(file.close());  // nothing open
  EXPECT_FALSE(file.openNew(first.c_str()));
  EXPECT_FALSE(file.isOpen());
}

TEST_F(OutputFileTest, ACommittedReplacementBecomesTheTargetAndLeavesNothingBeside) {
  const std::string target = folder_.File("picture.bmp");
  WriteFileBytes(target, {'o', 'l', 'd'});
  ReplacementFile replacement;
  ASSERT_TRUE(replacement.create(target.c_str()));
  EXPECT_NE(replacement.temporaryName(), target);
  EXPECT_EQ(replacement.temporaryName().rfind(target, 0), 0u);  // beside it, same folder
  EXPECT_EQ(ReadFileBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  WriteFileBytes(replacement.temporaryName(), {'n', 'e', 'w'});
  ASSERT_TRUE(replacement.commit());
  EXPECT_EQ(ReadFileBytes(target), (std::vector<uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"picture.bmp"});
}

TEST_F(OutputFileTest, AnUncommittedReplacementIsRemovedAndTheTargetKept) {
  const std::string target = folder_.File("keep.png");
  WriteFileBytes(target, {'o', 'l', 'd'});
  {
    ReplacementFile replacement;
    ASSERT_TRUE(replacement.create(target.c_str()));
    WriteFileBytes(replacement.temporaryName(), {'h', 'a', 'l', 'f'});
  }
  EXPECT_EQ(ReadFileBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"keep.png"});
}

TEST_F(OutputFileTest, TwoReplacementsOfOneTargetGetTheirOwnFiles) {
  const std::string target = folder_.File("shared.tif");
  ReplacementFile first;
  ReplacementFile second;
  ASSERT_TRUE(first.create(target.c_str()));
  ASSERT_TRUE(second.create(target.c_str()));
  EXPECT_NE(first.temporaryName(), second.temporaryName());
  EXPECT_EQ(folder_.Names().size(), 2u);
}

TEST_F(OutputFileTest, NoReplacementInAFolderThatDoesNotExist) {
  ReplacementFile replacement;
  EXPECT_FALSE(replacement.create(folder_.File("missing/picture.bmp").c_str()));
  EXPECT_FALSE(replacement.create(""));
  EXPECT_FALSE(replacement.commit());
}

}  // namespace
}  // namespace zirvo
