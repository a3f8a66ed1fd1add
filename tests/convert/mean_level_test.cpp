// Mean levels of rectangles of 8- and 16-bit samples.
#include "convert/mean_level.h"

#include <gtest/gtest.h>

#include "support/kernel_reference.h"

namespace zirvo {
namespace {

using test::MakeImage;
using test::TestImage;

TEST(MeanLevel8, TruncatesTheMeanOfTheRectangleOnly) {
  TestImage image = MakeImage(5, 3, 1);
  for (int32_t row = 0; row < 3; ++row) {
    for (int32_t column = 0; column < 5; ++column) *image.At(row, column) = 255;
  }
  *image.At(1, 1) = 10;
  *image.At(1, 2) = 11;
  *image.At(2, 1) = 12;
  *image.At(2, 2) = 12;
  EXPECT_EQ(test::RunInPlace(&MeanLevel8, image, KernelRect{1, 1, 3, 3}), 11);  // 45 / 4
  EXPECT_EQ(test::RunInPlace(&MeanLevel8, image, KernelRect{0, 0, 5, 3}),
            (11 * 255 + 45) / 15);
}

TEST(MeanLevel8, GivesZeroForAnEmptyRectangle) {
  TestImage image = MakeImage(4, 4, 1);
  std::fill(image.bytes.begin(), image.bytes.end(), 200);
  EXPECT_EQ(test::RunInPlace(&MeanLevel8, image, KernelRect{2, 2, 2, 4}), 0);
}

TEST(MeanLevel16, AveragesBitsTwoToNineOfEachSample) {
  TestImage image = MakeImage(3, 2, 2);
  const uint16_t samples[] = {1023, 4095, 0x0404, 4, 3, 400};
  for (int i = 0; i < 6; ++i) {
    uint8_t* at = image.At(i / 3, i % 3);
    at[0] = static_cast<uint8_t>(samples[i]);
    at[1] = static_cast<uint8_t>(samples[i] >> 8);
  }
  // 255 + 255 + 1 + 1 + 0 + 100
  EXPECT_EQ(test::RunInPlace(&MeanLevel16, image, image.Whole()), 612 / 6);
}

TEST(MeanLevel16, AddressesRowsByTheStride) {
  TestImage image = MakeImage(3, 2, 2, 12);  // 6 padding bytes per row
  std::fill(image.bytes.begin(), image.bytes.end(), 0xFF);
  for (int32_t row = 0; row < 2; ++row) {
    for (int32_t column = 0; column < 3; ++column) {
      image.At(row, column)[0] = 40;  // 40 >> 2 = 10
      image.At(row, column)[1] = 0;
    }
  }
  EXPECT_EQ(test::RunInPlace(&MeanLevel16, image, image.Whole()), 10);
}

// Rows long enough for the 16-sample blocks, with tails of every length and
// rectangles that start at odd columns.
TEST(MeanLevel, MatchesAPlainSumOverAnyWidth) {
  for (const auto& [width, height] : test::KernelTestSizes()) {
    for (int bytes : {1, 2}) {
      TestImage image = bytes == 1 ? test::RandomImage(width, height, 1, 7u + static_cast<uint32_t>(width))
                                   : test::RandomImage16(width, height, 1, 9u + static_cast<uint32_t>(width));
      for (const KernelRect& rect : {image.Whole(), KernelRect{width / 3, height / 4, width, height}}) {
        uint64_t sum = 0;
        for (int32_t row = rect.top; row < rect.bottom; ++row) {
          for (int32_t column = rect.left; column < rect.right; ++column) {
            const uint8_t* at = image.At(row, column);
            sum += bytes == 1 ? at[0] : ((at[0] | at[1] << 8) >> 2) & 0xFF;
          }
        }
        const uint64_t count = static_cast<uint64_t>(rect.Width()) * rect.Height();
        const int expected = count == 0 ? 0 : static_cast<int>(sum / count);
        EXPECT_EQ(test::RunInPlace(bytes == 1 ? &MeanLevel8 : &MeanLevel16, image, rect), expected)
            << width << " x " << height << ", " << bytes << " byte(s), left " << rect.left;
      }
    }
  }
}

}  // namespace
}  // namespace zirvo
