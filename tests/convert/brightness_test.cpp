// Brightness tables against the double-precision product, and the brightness kernels.
#include "convert/brightness.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "convert/parameter_blocks.h"
#include "convert/processor.h"
#include "support/filter_reference.h"

namespace zirvo {
namespace {

using test::RandomImage;
using test::RandomWordImage;
using test::ReferenceBrightness;
using test::ReferenceMap;
using test::RunKernel;
using test::TestImage;

std::vector<uint32_t> ReferenceTable(int32_t brightness, uint32_t top) {
  std::vector<uint32_t> table(top + 1);
  for (uint32_t i = 0; i <= top; ++i) table[i] = ReferenceBrightness(brightness, i, top);
  return table;
}

TEST(BrightnessTables, EqualTheDoubleProductForEverySettingAndSample) {
  std::vector<uint16_t> table16(kBrightnessTable16Size);
  for (int32_t b = -255; b <= 255; ++b) {
    uint8_t table8[kBrightnessTable8Size];
    BuildBrightnessTable8(b, table8);
    BuildBrightnessTable16(b, table16.data());
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(table8[i], ReferenceBrightness(b, i, 255)) << b << " " << i;
    for (uint32_t i = 0; i < 1024; ++i)
      ASSERT_EQ(table16[i], ReferenceBrightness(b, i, 1023)) << b << " " << i;
  }
}

TEST(BrightnessTables, FullSettingsBlackenOrMultiplyByEleven) {
  uint8_t table[kBrightnessTable8Size];
  BuildBrightnessTable8(-255, table);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(table[i], 0) << i;
  BuildBrightnessTable8(255, table);
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[1], 11);
  EXPECT_EQ(table[23], 253);
  EXPECT_EQ(table[24], 255);
  EXPECT_EQ(table[200], 255);
}

TEST(BrightnessTables, OneStepDownTruncatesTheProduct) {
  uint8_t table[kBrightnessTable8Size];
  BuildBrightnessTable8(-1, table);
  EXPECT_EQ(table[255], 254);
  EXPECT_EQ(table[128], 127);
  EXPECT_EQ(table[1], 0);
}

TEST(BrightnessTables, SettingsBeyondTheRangeSaturate) {
  uint8_t table[kBrightnessTable8Size];
  BuildBrightnessTable8(INT32_MAX, table);
  EXPECT_EQ(table[1], 255);
  BuildBrightnessTable8(INT32_MIN, table);
  EXPECT_EQ(table[255], 0);
}

class BrightnessKernelTest : public ::testing::Test {
 protected:
  std::mt19937 random_{4242};
};

TEST_F(BrightnessKernelTest, EveryVariantEqualsTheReferenceOnManySizes) {
  for (uint32_t features : test::RunnableFeatureSets()) {
    const ToneKernels variant = SelectBrightnessKernels(features);
    for (int width : {1, 4, 5, 21, 22, 63, 64, 65, 129}) {
      for (int height : {1, 4, 5, 6}) {
        for (int step : {1, 3, 4}) {
          const TestImage source = RandomImage(width, height, step, random_);
          TestImage expected = source;
          TestImage actual = source;
          const KernelRect rect{0, height / 2, width, height};
          ValueBlock block{step == 4 ? -100 : 37};
          const int channels = step == 1 ? 1 : 3;
          ReferenceMap(expected, source, rect, 0, height / 2, channels, 1, ReferenceTable(block.value, 255));
          ASSERT_EQ(RunKernel(step == 1 ? variant.mono8 : variant.bgr8, actual, actual, rect, 0, height / 2,
                              &block),
                    1);
          ASSERT_EQ(actual.bytes, expected.bytes) << width << "x" << height << " step " << step;
        }
      }
    }
  }
}

TEST_F(BrightnessKernelTest, SixteenBitKernelsTreatSamplesAbove1023As1023) {
  for (int step : {2, 6, 8}) {
    TestImage image = RandomWordImage(11, 3, step, 65535, random_);
    image.SetSample(0, 0, 0, 2, 2000);
    const TestImage source = image;
    TestImage expected = source;
    ValueBlock block{-128};
    ReferenceMap(expected, source, {0, 0, 11, 3}, 0, 0, step == 2 ? 1 : 3, 2, ReferenceTable(-128, 1023));
    ASSERT_EQ(
        RunKernel(step == 2 ? BrightnessMono16 : BrightnessBgr16, image, image, {0, 0, 11, 3}, 0, 0, &block),
        1);
    EXPECT_EQ(image.bytes, expected.bytes) << step;
    EXPECT_EQ(image.Sample(0, 0, 0, 2), ReferenceBrightness(-128, 1023, 1023));
  }
}

}  // namespace
}  // namespace zirvo
