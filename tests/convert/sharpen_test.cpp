// Sharpening against the literal two-pass unsharp mask: every variant, layout, size and amount.
#include "convert/sharpen.h"

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
using test::ReferenceSharpen;
using test::RunKernel;
using test::TestImage;

struct Variant {
  const char* name;
  ToneKernels kernels;
  bool usable;
};

std::vector<Variant> Variants() {
  return {{"baseline", SelectSharpenKernels(0), true},
          {"avx2", SelectSharpenKernels(kFeatureAvx2), __builtin_cpu_supports("avx2") != 0},
          {"avx512", SelectSharpenKernels(kFeatureAvx2 | kFeatureAvx512 | kFeatureAvx512Vbmi),
           __builtin_cpu_supports("avx512vbmi") != 0}};
}

class SharpenTest : public ::testing::Test {
 protected:
  // Random source and destination; the kernel must match the reference on
  // every byte of the destination, frame and fourth channel included.
  void Compare(RectangleKernel kernel, int width, int height, int step, int sampleBytes, int32_t amount,
               const KernelRect& rect, int x, int y, uint32_t maximum) {
    const TestImage source = sampleBytes == 1 ? RandomImage(width, height, step, random_)
                                              : RandomWordImage(width, height, step, maximum, random_);
    TestImage expected = RandomImage(width + 3, height + 2, step, random_);
    TestImage actual = expected;
    const int channels = step / sampleBytes == 1 ? 1 : 3;
    ValueBlock block{amount};
    ReferenceSharpen(expected, source, rect, x, y, channels, sampleBytes, amount);
    ASSERT_EQ(RunKernel(kernel, actual, source, rect, x, y, &block), 1);
    ASSERT_EQ(actual.bytes, expected.bytes)
        << width << "x" << height << " step " << step << " amount " << amount << " at " << x << "," << y;
  }

  void CompareAllSizes(RectangleKernel kernel, int step, int sampleBytes, uint32_t maximum) {
    const int widths[] = {1, 4, 5, 6, 7, 13, 20, 21, 22, 23, 31, 32, 33, 34, 63, 64, 65, 66, 67, 130};
    for (int width : widths) {
      for (int height : {1, 4, 5, 6, 9}) {
        const int32_t amount = amounts_[(width + height) % 6];
        Compare(kernel, width, height, step, sampleBytes, amount, {0, 0, width, height}, 0, 0, maximum);
        Compare(kernel, width, height, step, sampleBytes, amount, {width / 3, height / 4, width, height}, 3,
                2, maximum);
      }
    }
  }

  std::mt19937 random_{30};
  const int32_t amounts_[6] = {1, 10, 30, 7, 200, -4};
};

TEST_F(SharpenTest, EightBitVariantsEqualTheReference) {
  for (const Variant& variant : Variants()) {
    if (!variant.usable) continue;
    SCOPED_TRACE(variant.name);
    CompareAllSizes(variant.kernels.mono8, 1, 1, 255);
    CompareAllSizes(variant.kernels.bgr8, 3, 1, 255);
    CompareAllSizes(variant.kernels.bgr8, 4, 1, 255);
  }
}

TEST_F(SharpenTest, SixteenBitVariantsEqualTheReference) {
  for (const Variant& variant : Variants()) {
    if (!variant.usable) continue;
    SCOPED_TRACE(variant.name);
    CompareAllSizes(variant.kernels.mono16, 2, 2, 1023);
    CompareAllSizes(variant.kernels.bgr16, 6, 2, 1023);
    CompareAllSizes(variant.kernels.bgr16, 8, 2, 1023);
  }
}

TEST_F(SharpenTest, SixteenBitSamplesBeyondTenBitsReadTheTableEnds) {
  for (const Variant& variant : Variants()) {
    if (!variant.usable) continue;
    SCOPED_TRACE(variant.name);
    for (int32_t amount : {3, 30, 5000}) {
      Compare(variant.kernels.bgr16, 23, 9, 6, 2, amount, {0, 0, 23, 9}, 0, 0, 65535);
      Compare(variant.kernels.mono16, 23, 9, 2, 2, amount, {0, 0, 23, 9}, 0, 0, 65535);
    }
  }
}

TEST_F(SharpenTest, FlatImageIsUnchangedByAnyAmount) {
  for (int32_t amount : {1, 15, 30}) {
    TestImage source = RandomImage(17, 9, 3, random_);
    std::fill(source.bytes.begin(), source.bytes.end(), 77);
    TestImage destination = source;
    ValueBlock block{amount};
    for (const Variant& variant : Variants()) {
      if (!variant.usable) continue;
      ASSERT_EQ(RunKernel(variant.kernels.bgr8, destination, source, {0, 0, 17, 9}, 0, 0, &block), 1);
      EXPECT_EQ(destination.bytes, source.bytes) << variant.name << " " << amount;
    }
  }
}

TEST_F(SharpenTest, AmountTenAddsTheDifferenceFromTheBoxMean) {
  TestImage source = RandomImage(8, 8, 1, random_);
  std::fill(source.bytes.begin(), source.bytes.end(), 100);
  source.SetSample(4, 4, 0, 1, 116);  // box sums of 4 x 4: mean rises by 1 where it is covered
  TestImage destination = source;
  ValueBlock block{10};
  ASSERT_EQ(RunKernel(SharpenMono8, destination, source, {0, 0, 8, 8}, 0, 0, &block), 1);
  EXPECT_EQ(destination.Sample(4, 4, 0, 1), 116u + (116 - 101));
  EXPECT_EQ(destination.Sample(3, 3, 0, 1), 100u + (100 - 101) + 0);  // (10 * -1) / 10 = -1
  EXPECT_EQ(destination.Sample(2, 2, 0, 1), 100u);                    // box x 0..3, y 0..3 misses (4, 4)
  EXPECT_EQ(destination.Sample(5, 5, 0, 1), 99u);
  EXPECT_EQ(destination.Sample(6, 6, 0, 1), 100u);  // frame column: not written
}

TEST_F(SharpenTest, InPlaceEqualsSharpeningFromACopy) {
  for (const Variant& variant : Variants()) {
    if (!variant.usable) continue;
    for (int step : {3, 4}) {
      const TestImage original = RandomImage(29, 11, step, random_);
      TestImage fromCopy = original;
      TestImage inPlace = original;
      ValueBlock block{25};
      ASSERT_EQ(RunKernel(variant.kernels.bgr8, fromCopy, original, {0, 0, 29, 11}, 0, 0, &block), 1);
      ASSERT_EQ(RunKernel(variant.kernels.bgr8, inPlace, inPlace, {0, 0, 29, 11}, 0, 0, &block), 1);
      EXPECT_EQ(inPlace.bytes, fromCopy.bytes) << variant.name << " step " << step;
    }
    const TestImage original = RandomWordImage(19, 8, 6, 1023, random_);
    TestImage fromCopy = original;
    TestImage inPlace = original;
    ValueBlock block{9};
    ASSERT_EQ(RunKernel(variant.kernels.bgr16, fromCopy, original, {0, 0, 19, 8}, 0, 0, &block), 1);
    ASSERT_EQ(RunKernel(variant.kernels.bgr16, inPlace, inPlace, {0, 0, 19, 8}, 0, 0, &block), 1);
    EXPECT_EQ(inPlace.bytes, fromCopy.bytes) << variant.name << " 16-bit";
  }
}

TEST_F(SharpenTest, EveryWidthAroundTheVectorLengthsAndEveryAmount) {
  for (const Variant& variant : Variants()) {
    if (!variant.usable) continue;
    SCOPED_TRACE(variant.name);
    for (int step : {3, 4}) {
      for (int width = 5; width <= 80; ++width) {
        const int height = 5 + width % 3;
        const int32_t amount = width % 31;
        Compare(variant.kernels.bgr8, width, height, step, 1, amount, {0, 0, width, height}, 0, 0, 255);
        Compare(variant.kernels.bgr8, width + 3, height + 2, step, 1, 30 - amount,
                {2, 1, width + 2, height + 1}, 1, 3, 255);
      }
    }
  }
}

// The vector byte loops take amounts up to 128 either way in 16-bit lanes; one
// further the wide path takes over. Both sides of that line, on widths that
// leave every length of tail behind the last whole vector, and on a row long
// enough for the streaming stores' alignment to matter.
TEST_F(SharpenTest, AmountsAtTheSixteenBitLimitEqualTheReference) {
  for (const Variant& variant : Variants()) {
    if (!variant.usable) continue;
    SCOPED_TRACE(variant.name);
    for (int32_t amount : {127, 128, 129, -127, -128, -129, 1000}) {
      for (int width : {14, 15, 16, 17, 18, 19, 25, 26, 27, 45, 46, 47, 48, 49, 50, 51, 52}) {
        Compare(variant.kernels.bgr8, width, 6, 3, 1, amount, {0, 0, width, 6}, 0, 0, 255);
        Compare(variant.kernels.mono8, width, 6, 1, 1, amount, {0, 0, width, 6}, 0, 0, 255);
        Compare(variant.kernels.mono8, width + 36, 6, 1, 1, amount, {1, 0, width + 36, 6}, 2, 1, 255);
      }
    }
  }
}

TEST_F(SharpenTest, InPlaceEqualsSharpeningFromACopyAtEveryWidth) {
  for (const Variant& variant : Variants()) {
    if (!variant.usable) continue;
    for (int step : {3, 4}) {
      for (int width = 5; width <= 80; ++width) {
        const TestImage original = RandomImage(width, 7, step, random_);
        TestImage fromCopy = original;
        TestImage inPlace = original;
        ValueBlock block{width % 31};
        ASSERT_EQ(RunKernel(variant.kernels.bgr8, fromCopy, original, {0, 0, width, 7}, 0, 0, &block), 1);
        ASSERT_EQ(RunKernel(variant.kernels.bgr8, inPlace, inPlace, {0, 0, width, 7}, 0, 0, &block), 1);
        ASSERT_EQ(inPlace.bytes, fromCopy.bytes) << variant.name << " step " << step << " width " << width;
      }
    }
  }
}

// Frames this large take the streaming stores; they must write what the scalar kernel writes.
TEST_F(SharpenTest, FrameBeyondTheCacheEqualsTheScalarKernel) {
  constexpr int kWidth = 4099;
  constexpr int kHeight = 2731;
  const TestImage source = RandomImage(kWidth, kHeight, 3, random_);
  TestImage start = source;
  for (uint8_t& byte : start.bytes) byte = static_cast<uint8_t>(~byte);
  TestImage expected = start;
  ValueBlock block{17};
  ASSERT_EQ(RunKernel(SharpenBgr8, expected, source, {0, 0, kWidth, kHeight}, 0, 0, &block), 1);
  for (const Variant& variant : Variants()) {
    if (!variant.usable) continue;
    TestImage actual = start;
    ASSERT_EQ(RunKernel(variant.kernels.bgr8, actual, source, {0, 0, kWidth, kHeight}, 0, 0, &block), 1);
    EXPECT_TRUE(actual.bytes == expected.bytes) << variant.name;
  }
}

TEST(SelectSharpenKernels, NeedsVbmiForTheAvx512Variant) {
  EXPECT_EQ(SelectSharpenKernels(0).bgr8, SharpenBgr8);
  EXPECT_EQ(SelectSharpenKernels(kFeatureAvx2).bgr8, SharpenBgr8Avx2);
  EXPECT_EQ(SelectSharpenKernels(kFeatureAvx2 | kFeatureAvx512).bgr8, SharpenBgr8Avx2);
  EXPECT_EQ(SelectSharpenKernels(kFeatureAvx2 | kFeatureAvx512 | kFeatureAvx512Vbmi).bgr8, SharpenBgr8Avx512);
}

TEST_F(SharpenTest, MisalignedWordsAndMissingParameterAreRefused) {
  TestImage image = RandomImage(8, 8, 6, random_);
  ValueBlock block{5};
  EXPECT_EQ(SharpenBgr16(image.data() + 1, image.data() + 1, {0, 0, 7, 7}, 0, 0, 6, 6, image.stride,
                         image.stride, &block, nullptr),
            0);
  EXPECT_EQ(RunKernel(SharpenBgr16, image, image, {0, 0, 8, 8}, 0, 0, nullptr), 0);
}

}  // namespace
}  // namespace zirvo
