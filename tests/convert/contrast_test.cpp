// Contrast tables against the literal formula and hand-worked values, and the contrast kernels.
#include "convert/contrast.h"

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
using test::ReferenceMap;
using test::RunKernel;
using test::TestImage;

TEST(ContrastTable8, EqualsLiteralFormulaForEverySetting) {
  for (int32_t contrast = -127; contrast <= 127; ++contrast) {
    uint8_t table[kContrastTable8Size];
    BuildContrastTable8(contrast, table);
    const std::vector<uint32_t> expected = test::ReferenceContrastTable8(contrast);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(table[i], expected[i]) << contrast << " " << i;
  }
}

TEST(ContrastTable16, EqualsLiteralFormulaForEverySetting) {
  std::vector<uint16_t> table(kContrastTable16Size);
  for (int32_t contrast = -127; contrast <= 127; ++contrast) {
    BuildContrastTable16(contrast, table.data());
    const std::vector<uint32_t> expected = test::ReferenceContrastTable16(contrast);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(table[i], expected[i]) << contrast << " " << i;
  }
}

TEST(ContrastTable8, PositiveSettingStretchesTheMiddleRange) {
  uint8_t table[kContrastTable8Size];
  BuildContrastTable8(64, table);
  for (int i = 0; i <= 64; ++i) EXPECT_EQ(table[i], 0) << i;
  EXPECT_EQ(table[191], 254);
  for (int i = 192; i < 256; ++i) EXPECT_EQ(table[i], 255) << i;
}

TEST(ContrastTable8, NegativeSettingCompressesTowardsTheMiddle) {
  uint8_t table[kContrastTable8Size];
  BuildContrastTable8(-127, table);
  EXPECT_EQ(table[0], 63);
  EXPECT_EQ(table[255], 191);
}

TEST(ContrastTable8, SettingsBeyondTheRangeStayWithinTheSampleRange) {
  uint8_t table[kContrastTable8Size];
  for (int32_t contrast : {128, 129, 1000, INT32_MAX, -128, -100000, INT32_MIN}) {
    BuildContrastTable8(contrast, table);
    for (int i = 1; i < 256; ++i) ASSERT_GE(table[i], table[i - 1]) << contrast << " " << i;
  }
  BuildContrastTable8(128, table);
  EXPECT_EQ(table[127], 0);
  EXPECT_EQ(table[128], 255);
}

class ContrastKernelTest : public ::testing::Test {
 protected:
  std::mt19937 random_{99};
};

TEST_F(ContrastKernelTest, EveryVariantEqualsTheReferenceOnManySizes) {
  for (uint32_t features : test::RunnableFeatureSets()) {
    const ToneKernels variant = SelectContrastKernels(features);
    for (int width : {1, 4, 5, 16, 21, 22, 64, 65, 101}) {
      for (int height : {1, 4, 5, 8}) {
        for (int step : {1, 3, 4}) {
          const TestImage source = RandomImage(width, height, step, random_);
          TestImage expected = RandomImage(width + 1, height + 3, step, random_);
          TestImage actual = expected;
          const KernelRect rect{width / 2, 0, width, height};
          const int channels = step == 1 ? 1 : 3;
          ValueBlock block{step == 3 ? -90 : 45};
          ReferenceMap(expected, source, rect, 1, 3, channels, 1, test::ReferenceContrastTable8(block.value));
          ASSERT_EQ(RunKernel(step == 1 ? variant.mono8 : variant.bgr8, actual, source, rect, 1, 3, &block),
                    1);
          ASSERT_EQ(actual.bytes, expected.bytes) << width << "x" << height << " step " << step;
        }
      }
    }
  }
}

TEST_F(ContrastKernelTest, SixteenBitKernelsTreatSamplesAboveTheTableAsItsTop) {
  for (int step : {2, 6, 8}) {
    const TestImage source = RandomWordImage(9, 5, step, 65535, random_);
    TestImage expected = source;
    TestImage actual = source;
    ValueBlock block{30};
    ReferenceMap(expected, source, {0, 0, 9, 5}, 0, 0, step == 2 ? 1 : 3, 2,
                 test::ReferenceContrastTable16(30));
    RectangleKernel kernel = step == 2 ? ContrastMono16 : ContrastBgr16;
    ASSERT_EQ(RunKernel(kernel, actual, actual, {0, 0, 9, 5}, 0, 0, &block), 1);
    EXPECT_EQ(actual.bytes, expected.bytes) << step;
  }
}

}  // namespace
}  // namespace zirvo
