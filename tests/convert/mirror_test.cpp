// Horizontal mirror of 1- and 2-byte rows.
#include "convert/mirror.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/kernel_reference.h"

namespace zirvo {
namespace {

using test::KernelTestSizes;
using test::RandomImage;
using test::TestImage;

TestImage ReferenceMirror(const TestImage& image, const KernelRect& rect) {
  TestImage mirrored = image;
  int bytes = image.bytesPerPixel;
  for (int32_t row = rect.top; row < rect.bottom; ++row) {
    for (int32_t column = rect.left; column < rect.right; ++column) {
      int32_t from = rect.right - 1 - (column - rect.left);
      std::memcpy(mirrored.At(row, column), image.At(row, from), bytes);
    }
  }
  return mirrored;
}

class Mirror : public ::testing::TestWithParam<int> {
 protected:
  RectangleKernel Kernel() const { return GetParam() == 1 ? &MirrorRows8 : &MirrorRows16; }
};

TEST_P(Mirror, ReversesEveryRowInPlaceLeavingPaddingAlone) {
  for (auto [width, height] : KernelTestSizes()) {
    for (int32_t extra : {0, 6}) {
      TestImage image = RandomImage(width, height, GetParam(), width + height,
                                    ((width * GetParam() + 3) & ~3) + extra);
      std::vector<KernelRect> rects = {image.Whole()};
      if (width > 3) rects.push_back({1, 0, width - 2, height});
      for (const KernelRect& rect : rects) {
        TestImage expected = ReferenceMirror(image, rect);
        TestImage actual = image;
        ASSERT_EQ(test::RunInPlace(Kernel(), actual, rect), 1);
        ASSERT_EQ(actual.bytes, expected.bytes) << width << "x" << height;
      }
    }
  }
}

TEST_P(Mirror, WritesReversedRowsIntoAnotherBuffer) {
  for (auto [width, height] : KernelTestSizes()) {
    TestImage source = RandomImage(width, height, GetParam(), 3 * width + height);
    TestImage destination = test::MakeImage(width, height, GetParam());
    ASSERT_EQ(test::RunKernel(Kernel(), destination, source, source.Whole(), 0, 0), 1);
    TestImage expected = ReferenceMirror(source, source.Whole());
    for (int32_t row = 0; row < height; ++row) {
      ASSERT_EQ(std::memcmp(destination.At(row, 0), expected.At(row, 0),
                            static_cast<size_t>(width) * GetParam()),
                0);
    }
  }
}

TEST_P(Mirror, MakesTheFirstPixelOfEachRowItsLast) {
  TestImage image = RandomImage(5, 2, GetParam(), 1);
  TestImage before = image;
  test::RunInPlace(Kernel(), image, image.Whole());
  EXPECT_EQ(std::memcmp(image.At(1, 4), before.At(1, 0), GetParam()), 0);
  EXPECT_EQ(std::memcmp(image.At(0, 2), before.At(0, 2), GetParam()), 0);
}

INSTANTIATE_TEST_SUITE_P(OneAndTwoBytePixels, Mirror, ::testing::Values(1, 2));

}  // namespace
}  // namespace zirvo
