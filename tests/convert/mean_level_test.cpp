// Mean levels of rectangles of 8- and 16-bit samples.
#include "convert/mean_level.h"

#include <gtest/gtest.h>

#include <vector>

#include "convert/processor.h"
#include "support/kernel_reference.h"

namespace zirvo {
namespace {

using test::MakeImage;
using test::TestImage;

// The plain kernel and the vector one this processor can run.
std::vector<RectangleKernel> MeanLevel16Variants() {
  std::vector<RectangleKernel> variants{&MeanLevel16};
  if (__builtin_cpu_supports("avx2")) variants.push_back(SelectMeanLevel16(kFeatureAvx2));
  return variants;
}

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
  for (RectangleKernel mean : MeanLevel16Variants()) EXPECT_EQ(test::RunInPlace(mean, image, image.Whole()), 612 / 6);
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
  for (RectangleKernel mean : MeanLevel16Variants()) EXPECT_EQ(test::RunInPlace(mean, image, image.Whole()), 10);
}

TEST(MeanLevel16, SelectsTheVectorKernelOnlyWithAvx2) {
  EXPECT_EQ(SelectMeanLevel16(0), &MeanLevel16);
  EXPECT_EQ(SelectMeanLevel16(kFeatureAvx2), &MeanLevel16Avx2);
}

// Every sample at its top, rows wide enough for many vector blocks: the
// high bits above bit 9 must not leak into the levels.
TEST(MeanLevel16, VectorKernelIgnoresTheBitsAboveNine) {
  for (uint16_t sample : {uint16_t{0xFFFF}, uint16_t{0xFC03}, uint16_t{0x03FC}}) {
    TestImage image = MakeImage(1001, 3, 2);
    for (size_t i = 0; i + 1 < image.bytes.size(); i += 2) {
      image.bytes[i] = static_cast<uint8_t>(sample);
      image.bytes[i + 1] = static_cast<uint8_t>(sample >> 8);
    }
    for (RectangleKernel mean : MeanLevel16Variants()) {
      EXPECT_EQ(test::RunInPlace(mean, image, KernelRect{1, 0, 1001, 3}), (sample >> 2) & 0xFF) << sample;
    }
  }
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
        const std::vector<RectangleKernel> kernels =
            bytes == 1 ? std::vector<RectangleKernel>{&MeanLevel8} : MeanLevel16Variants();
        for (RectangleKernel mean : kernels) {
          EXPECT_EQ(test::RunInPlace(mean, image, rect), expected)
              << width << " x " << height << ", " << bytes << " byte(s), left " << rect.left;
        }
      }
    }
  }
}

}  // namespace
}  // namespace zirvo
