// White-balance measurement: hand-worked gains, kept gains, 64-bit sums, against the reference.
#include "convert/white_balance.h"

#include <gtest/gtest.h>

#include <random>

#include "convert/parameter_blocks.h"
#include "convert/processor.h"
#include "support/bayer_reference.h"

namespace zirvo {
namespace {

using testing::TestImage;

// Parameter: 0 plain sums, 1 AVX2 sums.
class WhiteBalanceMeasurement : public ::testing::TestWithParam<int> {
 protected:
  static constexpr WhiteBalanceResult kPrefilled{123, 100, 321, 0};

  void SetUp() override {
#ifdef ZIRVO_TEST_VECTOR_KERNELS
    if (GetParam() == 1 && !__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
#else
    if (GetParam() == 1) GTEST_SKIP() << "no vector kernels here";
#endif
  }

  int Measure(const TestImage& image, WhiteBalanceResult& result, KernelRect rect) {
    RectangleKernel kernel = image.bytesPerPixel == 1 ? WhiteBalanceMeasure8 : WhiteBalanceMeasure16;
#ifdef ZIRVO_TEST_VECTOR_KERNELS
    if (GetParam() == 1) {
      kernel = image.bytesPerPixel == 1 ? WhiteBalanceMeasure8Avx2 : WhiteBalanceMeasure16Avx2;
    }
#endif
    return kernel(nullptr, image.Bits(), rect, 0, 0, 0, image.bytesPerPixel, 0, image.stride,
                  &result, nullptr);
  }
  int Measure(const TestImage& image, WhiteBalanceResult& result) {
    return Measure(image, result, {0, 0, image.width, image.height});
  }

  // Mode-0 mosaic with the given green, blue (even row, odd column) and red.
  static TestImage Mosaic(int w, int h, int sampleBytes, uint32_t green, uint32_t blue,
                          uint32_t red) {
    TestImage image(w, h, sampleBytes, 0, 0);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const bool g = (x & 1) == (y & 1);
        image.SetSample(x, y, g ? green : ((y & 1) == 0 ? blue : red));
      }
    }
    return image;
  }
};

TEST_P(WhiteBalanceMeasurement, GreenMeanTwiceBlueMeanGivesTwoHundred) {
  const TestImage image = Mosaic(16, 12, 1, 120, 60, 120);
  WhiteBalanceResult result = kPrefilled;
  EXPECT_EQ(Measure(image, result), kWhiteBalanceMeasured);
  EXPECT_GE(result.gainBlue, 199);
  EXPECT_LE(result.gainBlue, 200);
  EXPECT_GE(result.gainRed, 99);
  EXPECT_LE(result.gainRed, 100);
  EXPECT_EQ(result.gainGreen, 100);
}

TEST_P(WhiteBalanceMeasurement, ModeSwapsWhichSitesCountAsBlue) {
  // Mode 3 swaps rows and columns: the mode-0 "red" sites are now the first colour.
  const TestImage image = Mosaic(16, 12, 1, 120, 60, 30);
  WhiteBalanceResult result = kPrefilled;
  result.bayerMode = 3;
  Measure(image, result);
  EXPECT_NEAR(result.gainBlue, 400, 1);
  EXPECT_NEAR(result.gainRed, 200, 1);
}

TEST_P(WhiteBalanceMeasurement, ColourWithZeroMeanKeepsItsGainAndIsReported) {
  const TestImage image = Mosaic(8, 8, 1, 100, 0, 50);
  WhiteBalanceResult result = kPrefilled;
  EXPECT_EQ(Measure(image, result), kWhiteBalanceMeasured | kWhiteBalanceBlueKept);
  EXPECT_EQ(result.gainBlue, 123);
  EXPECT_NEAR(result.gainRed, 200, 1);
}

TEST_P(WhiteBalanceMeasurement, ZeroGreenKeepsBothGains) {
  const TestImage image = Mosaic(8, 8, 1, 0, 40, 50);
  WhiteBalanceResult result = kPrefilled;
  EXPECT_EQ(Measure(image, result),
            kWhiteBalanceMeasured | kWhiteBalanceBlueKept | kWhiteBalanceRedKept);
  EXPECT_EQ(result.gainBlue, 123);
  EXPECT_EQ(result.gainRed, 321);
}

TEST_P(WhiteBalanceMeasurement, SinglePixelHasNoBlueOrRedSamples) {
  const TestImage image = Mosaic(1, 1, 1, 90, 0, 0);
  WhiteBalanceResult result = kPrefilled;
  EXPECT_EQ(Measure(image, result),
            kWhiteBalanceMeasured | kWhiteBalanceBlueKept | kWhiteBalanceRedKept);
  EXPECT_EQ(result.gainBlue, 123);
  EXPECT_EQ(result.gainRed, 321);
}

TEST_P(WhiteBalanceMeasurement, TinyMeanSaturatesInsteadOfOverflowing) {
  TestImage image = Mosaic(2048, 2048, 2, 65535, 0, 65535);
  image.SetSample(1, 0, 1);  // one blue sample of 1 among a million
  WhiteBalanceResult result = kPrefilled;
  EXPECT_EQ(Measure(image, result), kWhiteBalanceMeasured);
  EXPECT_EQ(result.gainBlue, 2147483647);
}

TEST_P(WhiteBalanceMeasurement, FullSixteenBitFrameDoesNotWrapTheSums) {
  // Green sum 4384 × 3288 / 2 × 4000 passes 2^32.
  const TestImage image = Mosaic(4384, 3288, 2, 4000, 2000, 1000);
  WhiteBalanceResult result = kPrefilled;
  EXPECT_EQ(Measure(image, result), kWhiteBalanceMeasured);
  EXPECT_NEAR(result.gainBlue, 200, 1);
  EXPECT_NEAR(result.gainRed, 400, 1);
}

TEST_P(WhiteBalanceMeasurement, MatchesReferenceOnRandomFramesAndOddSizes) {
  std::mt19937 random(77);
  const int sizes[][2] = {{1, 1}, {2, 1}, {1, 2}, {3, 3}, {5, 4}, {7, 9}, {33, 17}, {64, 3},
                          {65, 5}, {257, 7}, {31, 4}, {32, 3}, {33, 2}, {100, 5}};
  for (int sampleBytes : {1, 2}) {
    for (const auto& size : sizes) {
      for (int mode = 0; mode < 4; ++mode) {
        TestImage image(size[0], size[1], sampleBytes, 4, 0);
        testing::FillRandom(image, sampleBytes == 1 ? 256 : 65536, random);
        const KernelRect rect{0, 0, size[0], size[1]};
        WhiteBalanceResult expected = kPrefilled;
        expected.bayerMode = mode;
        WhiteBalanceResult actual = expected;
        const int expectedBits = testing::ReferenceWhiteBalance(image, rect, expected);
        EXPECT_EQ(Measure(image, actual, rect), expectedBits);
        EXPECT_EQ(actual.gainBlue, expected.gainBlue) << size[0] << "x" << size[1] << " m" << mode;
        EXPECT_EQ(actual.gainGreen, expected.gainGreen);
        EXPECT_EQ(actual.gainRed, expected.gainRed) << size[0] << "x" << size[1] << " m" << mode;
        if (size[0] > 2 && size[1] > 2) {
          const KernelRect inner{1, 1, size[0] - 1, size[1]};
          expected = actual = kPrefilled;
          expected.bayerMode = actual.bayerMode = mode;
          EXPECT_EQ(Measure(image, actual, inner), testing::ReferenceWhiteBalance(image, inner, expected));
          EXPECT_EQ(actual.gainBlue, expected.gainBlue);
          EXPECT_EQ(actual.gainRed, expected.gainRed);
        }
      }
    }
  }
}

TEST_P(WhiteBalanceMeasurement, RefusesMissingBlockOrWrongSampleSize) {
  const TestImage image = Mosaic(8, 8, 1, 100, 50, 50);
  EXPECT_EQ(WhiteBalanceMeasure8(nullptr, image.Bits(), {0, 0, 8, 8}, 0, 0, 0, 1, 0,
                                 image.stride, nullptr, nullptr),
            0);
  WhiteBalanceResult result = kPrefilled;
  EXPECT_EQ(WhiteBalanceMeasure16(nullptr, image.Bits(), {0, 0, 8, 8}, 0, 0, 0, 1, 0,
                                  image.stride, &result, nullptr),
            0);
  EXPECT_EQ(result.gainBlue, 123);
}

INSTANTIATE_TEST_SUITE_P(Sums, WhiteBalanceMeasurement, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param ? "avx2" : "plain"; });

TEST(WhiteBalanceSelection, UsesVectorSumsWithAvx2) {
  EXPECT_EQ(SelectWhiteBalanceMeasure8(0), &WhiteBalanceMeasure8);
  EXPECT_EQ(SelectWhiteBalanceMeasure16(kFeatureSse2), &WhiteBalanceMeasure16);
#ifdef ZIRVO_TEST_VECTOR_KERNELS
  EXPECT_EQ(SelectWhiteBalanceMeasure8(kFeatureAvx2), &WhiteBalanceMeasure8Avx2);
  EXPECT_EQ(SelectWhiteBalanceMeasure16(kFeatureAvx2), &WhiteBalanceMeasure16Avx2);
#endif
}

}  // namespace
}  // namespace zirvo
