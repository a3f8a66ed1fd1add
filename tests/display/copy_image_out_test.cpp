// Copy-out of an image into a caller's buffer.
#include "display/copy_image_out.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/streaming_copy.h"

namespace zirvo {
namespace {

class RecordingFailure : public CopyOutFailure {
 public:
  void Report(int errorCode) override { codes.push_back(errorCode); }
  std::vector<int> codes;
};

class CopyImageOutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(bitmap_.Create(4, 2, 8), 1);
    for (int i = 0; i < 8; ++i) bitmap_.Pixels()[i] = static_cast<uint8_t>(i + 1);
  }

  FrameBitmap bitmap_;
  RecordingFailure failure_;
};

TEST_F(CopyImageOutTest, FlagZeroPutsTheLastMemoryRowFirst) {
  std::vector<uint8_t> out(8, 0);
  EXPECT_EQ(CopyImageOut(bitmap_, 0, out.data(), 8, failure_), 1);
  EXPECT_EQ(out, (std::vector<uint8_t>{5, 6, 7, 8, 1, 2, 3, 4}));
  EXPECT_TRUE(failure_.codes.empty());
}

TEST_F(CopyImageOutTest, NonZeroFlagKeepsMemoryOrder) {
  std::vector<uint8_t> out(9, 0xEE);
  EXPECT_EQ(CopyImageOut(bitmap_, 1, out.data(), 9, failure_), 1);
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 0xEE}));
}

TEST_F(CopyImageOutTest, AShortBufferReportsErrorFiveAndStaysUntouched) {
  std::vector<uint8_t> out(8, 0xEE);
  EXPECT_EQ(CopyImageOut(bitmap_, 0, out.data(), 7, failure_), 0);
  EXPECT_EQ(failure_.codes, std::vector<int>{kErrorBufferTooSmall});
  EXPECT_EQ(out, std::vector<uint8_t>(8, 0xEE));
}

TEST_F(CopyImageOutTest, ANullBufferIsRefused) {
  EXPECT_EQ(CopyImageOut(bitmap_, 1, nullptr, 100, failure_), 0);
  EXPECT_EQ(failure_.codes.size(), 1u);
}

TEST(CopyImageOutPadding, CopiesRowPaddingAsTheBitmapHoldsIt) {
  FrameBitmap bitmap;
  ASSERT_EQ(bitmap.Create(3, 2, 24), 1);  // stride 12
  bitmap.Pixels()[11] = 0xAB;            // padding of memory row 0
  std::vector<uint8_t> out(24, 0);
  RecordingFailure failure;
  ASSERT_EQ(CopyImageOut(bitmap, 0, out.data(), 24, failure), 1);
  EXPECT_EQ(out[23], 0xAB);
}

// Images past the streaming threshold take the other copy: both row orders,
// into a buffer at an odd address, byte for byte with the bitmap.
TEST(CopyImageOutLargeImage, BothRowOrdersMatchTheBitmapAtAnOddAddress) {
  FrameBitmap bitmap;
  ASSERT_EQ(bitmap.Create(1001, 1500, 24), 1);  // stride 3004, about 4.5 MB
  const size_t stride = static_cast<size_t>(bitmap.Stride());
  const size_t rows = static_cast<size_t>(bitmap.Height());
  ASSERT_GE(stride * rows, platform::kStreamingCopyMinimumBytes);
  for (size_t i = 0; i < stride * rows; ++i) bitmap.Pixels()[i] = static_cast<uint8_t>(i * 13 + i / 3004);
  RecordingFailure failure;
  for (int flag : {0, 1}) {
    std::vector<uint8_t> out(stride * rows + 2, 0xEE);
    ASSERT_EQ(CopyImageOut(bitmap, flag, out.data() + 1, static_cast<uint32_t>(stride * rows), failure), 1);
    for (size_t row = 0; row < rows; ++row) {
      const size_t memoryRow = flag != 0 ? row : rows - 1 - row;
      ASSERT_TRUE(std::equal(out.begin() + 1 + row * stride, out.begin() + 1 + (row + 1) * stride,
                             bitmap.Pixels() + memoryRow * stride))
          << "flag " << flag << " row " << row;
    }
    EXPECT_EQ(out.front(), 0xEE);
    EXPECT_EQ(out.back(), 0xEE);
  }
  EXPECT_TRUE(failure.codes.empty());
}

}  // namespace
}  // namespace zirvo
