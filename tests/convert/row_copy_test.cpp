// Whole-row and 24-bit row copies, flipped and in order.
#include "convert/row_copy.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/kernel_reference.h"

namespace zirvo {
namespace {

using test::MakeImage;
using test::RandomImage;
using test::TestImage;

TEST(CopyRowsFlipped, CopiesWholeRowsInReverseOrder) {
  for (auto [width, height] : test::KernelTestSizes()) {
    TestImage source = RandomImage(width, height, 3, width * height);
    TestImage destination = MakeImage(width, height, 3);
    ASSERT_EQ(test::RunKernel(&CopyRowsFlipped, destination, source, source.Whole(), 0, 0), 1);
    for (int32_t row = 0; row < height; ++row) {
      ASSERT_EQ(std::memcmp(destination.At(row, 0), source.At(height - 1 - row, 0),
                            source.stride),
                0);
    }
  }
}

TEST(CopyRowsFlipped, TruncatesRowsToTheNarrowerStride) {
  TestImage source = RandomImage(10, 2, 1, 3);  // stride 12
  TestImage destination = MakeImage(6, 2, 1);    // stride 8
  test::RunKernel(&CopyRowsFlipped, destination, source, source.Whole(), 0, 0);
  EXPECT_EQ(std::memcmp(destination.At(0, 0), source.At(1, 0), 8), 0);
  EXPECT_EQ(std::memcmp(destination.At(1, 0), source.At(0, 0), 8), 0);
}

TEST(CopyRowsFlipped, NeverRunsPastTheLastRowFromAnInnerColumn) {
  // From column 2 on only stride - 2 bytes remain in each row.
  TestImage source = RandomImage(8, 2, 1, 4);
  TestImage destination = MakeImage(8, 2, 1);
  ASSERT_EQ(test::RunKernel(&CopyRowsFlipped, destination, source, KernelRect{2, 0, 8, 2}, 2, 0),
            1);
  EXPECT_EQ(std::memcmp(destination.At(0, 2), source.At(1, 2), 6), 0);
  EXPECT_EQ(*destination.At(0, 0), 0);
}

class Bgr24Copy : public ::testing::TestWithParam<int> {};

TEST_P(Bgr24Copy, TakesTheFirstThreeBytesFlippedOrInOrder) {
  for (auto [width, height] : test::KernelTestSizes()) {
    TestImage source = RandomImage(width, height, GetParam(), width + 17 * height);
    TestImage flipped = MakeImage(width, height, 3);
    TestImage ordered = MakeImage(width, height, 3);
    ASSERT_EQ(test::RunKernel(&CopyBgr24Flipped, flipped, source, source.Whole(), 0, 0), 1);
    ASSERT_EQ(test::RunKernel(&Bgr32ToBgr24, ordered, source, source.Whole(), 0, 0), 1);
    for (int32_t row = 0; row < height; ++row) {
      for (int32_t column = 0; column < width; ++column) {
        ASSERT_EQ(std::memcmp(flipped.At(row, column), source.At(height - 1 - row, column), 3), 0);
        ASSERT_EQ(std::memcmp(ordered.At(row, column), source.At(row, column), 3), 0);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ThreeAndFourBytePixels, Bgr24Copy, ::testing::Values(3, 4));

TEST(Bgr24CopyFormats, RefusesOtherPixelSizes) {
  TestImage source = RandomImage(4, 2, 2, 1);
  TestImage destination = MakeImage(4, 2, 3);
  EXPECT_EQ(test::RunKernel(&CopyBgr24Flipped, destination, source, source.Whole(), 0, 0), 0);
  TestImage wide = MakeImage(4, 2, 4);
  TestImage four = RandomImage(4, 2, 4, 1);
  EXPECT_EQ(test::RunKernel(&Bgr32ToBgr24, wide, four, four.Whole(), 0, 0), 0);
}

}  // namespace
}  // namespace zirvo
