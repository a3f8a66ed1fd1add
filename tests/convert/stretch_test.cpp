// Nearest-neighbour stretch with reversed rows.
#include "convert/stretch.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/kernel_reference.h"

namespace zirvo {
namespace {

using test::MakeImage;
using test::RandomImage;
using test::TestImage;

int Stretch(ScalingKernel kernel, TestImage& destination, const TestImage& source) {
  return kernel(destination.Data(), source.Data(), destination.Whole(), source.Whole(),
                destination.width, destination.height, source.width, source.height,
                destination.bytesPerPixel, source.bytesPerPixel, destination.stride,
                source.stride, 0, nullptr);
}

// The straight reading: single-precision steps, products in long double.
TestImage ReferenceStretch(const TestImage& source, int32_t width, int32_t height, int bytes) {
  TestImage out = MakeImage(width, height, bytes);
  float xStep = static_cast<float>(static_cast<double>(source.width) / width);
  float yStep = static_cast<float>(static_cast<double>(source.height) / height);
  for (int32_t i = 0; i < height; ++i) {
    for (int32_t j = 0; j < width; ++j) {
      auto u = static_cast<int64_t>(static_cast<long double>(yStep) * i);
      auto v = static_cast<int64_t>(static_cast<long double>(xStep) * j);
      u = std::min<int64_t>(std::max<int64_t>(u, 0), source.height - 1);
      v = std::min<int64_t>(std::max<int64_t>(v, 0), source.width - 1);
      std::memcpy(out.At(i, j), source.At(static_cast<int32_t>(source.height - 1 - u),
                                          static_cast<int32_t>(v)),
                  bytes);
    }
  }
  return out;
}

TEST(StretchGray, TakesEverySecondColumnAndRowsThreeAndOneWhenHalving) {
  TestImage source = MakeImage(4, 4, 1);
  for (int32_t row = 0; row < 4; ++row) {
    for (int32_t column = 0; column < 4; ++column) *source.At(row, column) = 10 * row + column;
  }
  TestImage destination = MakeImage(2, 2, 1);
  ASSERT_EQ(Stretch(&StretchGray8, destination, source), 1);
  EXPECT_EQ(*destination.At(0, 0), 30);
  EXPECT_EQ(*destination.At(0, 1), 32);
  EXPECT_EQ(*destination.At(1, 0), 10);
  EXPECT_EQ(*destination.At(1, 1), 12);
}

TEST(StretchGray, RepeatsEachPixelTwiceWhenDoubling) {
  TestImage source = MakeImage(2, 2, 1);
  source.bytes = {1, 2, 0, 0, 3, 4, 0, 0};
  TestImage destination = MakeImage(4, 4, 1);
  Stretch(&StretchGray8, destination, source);
  const uint8_t expected[4][4] = {{3, 3, 4, 4}, {3, 3, 4, 4}, {1, 1, 2, 2}, {1, 1, 2, 2}};
  for (int32_t row = 0; row < 4; ++row) {
    for (int32_t column = 0; column < 4; ++column) {
      EXPECT_EQ(*destination.At(row, column), expected[row][column]);
    }
  }
}

TEST(StretchGray, MatchesTheStraightReadingForManySizePairs) {
  const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {3, 7}, {640, 480}, {17, 5}, {101, 99}};
  for (auto [sourceWidth, sourceHeight] : sizes) {
    TestImage source = RandomImage(sourceWidth, sourceHeight, 1, sourceWidth);
    for (auto [width, height] : sizes) {
      TestImage destination = MakeImage(width, height, 1);
      Stretch(&StretchGray8, destination, source);
      EXPECT_EQ(destination.bytes, ReferenceStretch(source, width, height, 1).bytes)
          << sourceWidth << "x" << sourceHeight << " to " << width << "x" << height;
    }
  }
}

TEST(StretchBgr, CopiesThreeBytesFromFourBytePixels) {
  TestImage source = RandomImage(13, 7, 4, 2);
  TestImage destination = MakeImage(29, 3, 3);
  ASSERT_EQ(Stretch(&StretchBgr24, destination, source), 1);
  TestImage expected = ReferenceStretch(source, 29, 3, 3);
  for (int32_t row = 0; row < 3; ++row) {
    EXPECT_EQ(std::memcmp(destination.At(row, 0), expected.At(row, 0), 29 * 3), 0);
  }
}

TEST(StretchBgr, StaysInsideASmallerSourceWhenEnlarging) {
  // Sanitizer builds catch a read past the 1 x 1 source's single row.
  TestImage source = RandomImage(1, 1, 3, 5);
  TestImage destination = MakeImage(64, 48, 3);
  ASSERT_EQ(Stretch(&StretchBgr24, destination, source), 1);
  EXPECT_EQ(std::memcmp(destination.At(47, 63), source.At(0, 0), 3), 0);
}

TEST(StretchBgr, RefusesNarrowPixels) {
  TestImage source = RandomImage(4, 4, 1, 5);
  TestImage destination = MakeImage(4, 4, 3);
  EXPECT_EQ(Stretch(&StretchBgr24, destination, source), 0);
}

}  // namespace
}  // namespace zirvo
