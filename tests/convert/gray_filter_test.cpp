// Gray filter: plain and vector variants, gain measurement, luminance.
#include "convert/gray_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "convert/parameter_blocks.h"
#include "support/kernel_reference.h"

namespace zirvo {
namespace {

using test::KernelTestSizes;
using test::RandomImage;
using test::RunInPlace;
using test::TestImage;

// Site names straight from the table: [BayerMode][row parity][column parity].
enum SiteName { G1, R, B, G2 };
constexpr SiteName kSiteTable[4][2][2] = {
    {{G1, R}, {B, G2}}, {{B, G2}, {G1, R}}, {{R, G1}, {G2, B}}, {{G2, B}, {R, G1}}};

int32_t Gain(const GrayBlock& block, SiteName site) {
  const int32_t gains[] = {block.gainG1, block.gainR, block.gainB, block.gainG2};
  return gains[site];
}

int32_t Offset(const GrayBlock& block, SiteName site) {
  const int32_t offsets[] = {block.offsetG1, block.offsetR, block.offsetB, block.offsetG2};
  return offsets[site];
}

// The column phase flips after every sample and is never reset at a row start.
void ReferencePlain(TestImage& image, const KernelRect& rect, const GrayBlock& block) {
  int columnPhase = 0;
  for (int32_t r = rect.top; r < rect.bottom; ++r) {
    for (int32_t c = rect.left; c < rect.right; ++c, columnPhase ^= 1) {
      SiteName site = kSiteTable[block.bayerMode][(r - rect.top) & 1][columnPhase];
      int v = Gain(block, site) * *image.At(r, c) / 128 + Offset(block, site);
      *image.At(r, c) = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
  }
}

void ReferenceVector(TestImage& image, const KernelRect& rect, const GrayBlock& block) {
  for (int32_t r = rect.top; r < rect.bottom; ++r) {
    // Row parity follows BayerMode's row swap only; columns are plain parity.
    bool secondRow = (((r - rect.top) + block.bayerMode) & 1) != 0;
    for (int32_t c = rect.left; c < rect.right; ++c) {
      bool odd = ((c - rect.left) & 1) != 0;
      int32_t gain = secondRow ? (odd ? block.gainG2 : block.gainB)
                               : (odd ? block.gainR : block.gainG1);
      gain = std::clamp(gain, 0, 255);
      *image.At(r, c) = static_cast<uint8_t>(std::min(255, (gain * *image.At(r, c)) >> 7));
    }
  }
}

GrayBlock RandomBlock(std::mt19937& random, int32_t mode) {
  auto gain = [&] { return static_cast<int32_t>(random() % 300); };
  auto offset = [&] { return static_cast<int32_t>(random() % 511) - 255; };
  return {mode, gain(), gain(), gain(), gain(), offset(), offset(), offset(), offset()};
}

std::vector<KernelRect> RectanglesOf(const TestImage& image) {
  std::vector<KernelRect> rects = {image.Whole()};
  if (image.width > 2 && image.height > 2) {
    rects.push_back({1, 1, image.width - 1, image.height - 1});
    rects.push_back({1, 0, image.width, image.height - 1});
  }
  return rects;
}

class GrayFilterVariants : public ::testing::TestWithParam<RectangleKernel> {};

TEST_P(GrayFilterVariants, MatchesVectorSemanticsOnRandomFramesAndRectangles) {
  std::mt19937 random(7);
  for (auto [width, height] : KernelTestSizes()) {
    for (int32_t mode = 0; mode < 4; ++mode) {
      TestImage original = RandomImage(width, height, 1, random(), width + 5);
      for (const KernelRect& rect : RectanglesOf(original)) {
        GrayBlock block = RandomBlock(random, mode);
        TestImage expected = original;
        ReferenceVector(expected, rect, block);
        TestImage actual = original;
        ASSERT_EQ(RunInPlace(GetParam(), actual, rect, &block), 1);
        ASSERT_EQ(actual.bytes, expected.bytes)
            << width << "x" << height << " mode " << mode << " rect left " << rect.left;
      }
    }
  }
}

TEST_P(GrayFilterVariants, LimitsGainsAndProductsTo255) {
  TestImage image = test::MakeImage(4, 2, 1);
  std::fill(image.bytes.begin(), image.bytes.end(), 200);
  GrayBlock block{0, 64, 255, 1000, -5, 90, 90, 90, 90};  // R, G1, G2, B
  ASSERT_EQ(RunInPlace(GetParam(), image, image.Whole(), &block), 1);
  // Row 0: G1 255 -> 398 limited to 255, R 64 -> 100; row 1: B below 0
  // counts as 0, G2 above 255 as 255. Offsets are ignored.
  EXPECT_EQ(*image.At(0, 0), 255);
  EXPECT_EQ(*image.At(0, 1), 100);
  EXPECT_EQ(*image.At(1, 0), 0);
  EXPECT_EQ(*image.At(1, 1), 255);
}

TEST_P(GrayFilterVariants, IgnoresTheColumnSwapOfBayerModesTwoAndThree) {
  TestImage original = RandomImage(37, 5, 1, 11);
  GrayBlock modeZero{0, 10, 200, 60, 130, 0, 0, 0, 0};
  GrayBlock modeTwo = modeZero;
  modeTwo.bayerMode = 2;
  TestImage zero = original;
  TestImage two = original;
  RunInPlace(GetParam(), zero, zero.Whole(), &modeZero);
  RunInPlace(GetParam(), two, two.Whole(), &modeTwo);
  EXPECT_EQ(zero.bytes, two.bytes);
}

TEST_P(GrayFilterVariants, RefusesAMissingBlock) {
  TestImage image = RandomImage(8, 2, 1, 3);
  TestImage before = image;
  EXPECT_EQ(RunInPlace(GetParam(), image, image.Whole(), nullptr), 0);
  EXPECT_EQ(image.bytes, before.bytes);
}

INSTANTIATE_TEST_SUITE_P(MmxAndSse2, GrayFilterVariants,
                         ::testing::Values(&GrayFilter8Mmx, &GrayFilter8Sse2));

TEST(GrayFilterPlain, MatchesAStraightReadingOnRandomFrames) {
  std::mt19937 random(5);
  for (auto [width, height] : KernelTestSizes()) {
    for (int32_t mode = 0; mode < 4; ++mode) {
      TestImage original = RandomImage(width, height, 1, random());
      for (const KernelRect& rect : RectanglesOf(original)) {
        GrayBlock block = RandomBlock(random, mode);
        TestImage expected = original;
        ReferencePlain(expected, rect, block);
        TestImage actual = original;
        ASSERT_EQ(RunInPlace(&GrayFilter8, actual, rect, &block), 1);
        ASSERT_EQ(actual.bytes, expected.bytes) << width << "x" << height << " mode " << mode;
      }
    }
  }
}

TEST(GrayFilterPlain, UnityGainsWithoutOffsetsChangeNothing) {
  TestImage image = RandomImage(31, 7, 1, 9);
  TestImage before = image;
  GrayBlock block{1, 128, 128, 128, 128, 0, 0, 0, 0};
  RunInPlace(&GrayFilter8, image, image.Whole(), &block);
  EXPECT_EQ(image.bytes, before.bytes);
}

TEST(GrayFilterPlain, AppliesHandWorkedSiteValues) {
  TestImage image = test::MakeImage(2, 2, 1);
  *image.At(0, 0) = 200;  // G1 in mode 0
  *image.At(0, 1) = 201;  // R
  *image.At(1, 0) = 100;  // B
  *image.At(1, 1) = 100;  // G2
  GrayBlock block{0, 64, 255, 128, 128, 0, 0, 255, -255};
  RunInPlace(&GrayFilter8, image, image.Whole(), &block);
  EXPECT_EQ(*image.At(0, 0), 255);  // 398 limited
  EXPECT_EQ(*image.At(0, 1), 100);  // halved
  EXPECT_EQ(*image.At(1, 0), 0);    // offset -255
  EXPECT_EQ(*image.At(1, 1), 255);  // offset +255
}

TEST(GrayFilterPlain, CarriesTheColumnPhaseAcrossRowsOfAnOddWidth) {
  TestImage image = test::MakeImage(3, 2, 1);
  std::fill(image.bytes.begin(), image.bytes.end(), 100);
  GrayBlock block{0, 0, 128, 64, 128, 0, 0, 0, 0};  // R black, G2 halved
  RunInPlace(&GrayFilter8, image, image.Whole(), &block);
  EXPECT_EQ(*image.At(0, 0), 100);  // G1
  EXPECT_EQ(*image.At(0, 1), 0);    // R
  EXPECT_EQ(*image.At(0, 2), 100);  // G1
  EXPECT_EQ(*image.At(1, 0), 50);   // three flips later: G2, not B
  EXPECT_EQ(*image.At(1, 1), 100);  // B
  EXPECT_EQ(*image.At(1, 2), 50);   // G2
}

TEST(GrayFilterSelection, PrefersSse2ThenMmxWhenBothWordsHaveTheBit) {
  ProcessorInfo info{};
  info.reportedFeatures = kFeatureMmx | kFeatureSse2;
  info.verifiedFeatures = kFeatureMmx | kFeatureSse2;
  EXPECT_EQ(SelectGrayFilter8(info), &GrayFilter8Sse2);
  info.verifiedFeatures = kFeatureMmx;
  EXPECT_EQ(SelectGrayFilter8(info), &GrayFilter8Mmx);
  info.reportedFeatures = kFeatureSse2;
  info.verifiedFeatures = kFeatureMmx | kFeatureSse2;
  EXPECT_EQ(SelectGrayFilter8(info), &GrayFilter8Sse2);
  info.reportedFeatures = kFeatureSse;
  EXPECT_EQ(SelectGrayFilter8(info), &GrayFilter8);
}

// A 2 x 2-cell frame whose sites hold the given levels in BayerMode `mode`.
TestImage FrameOfSites(int32_t mode, uint8_t g1, uint8_t r, uint8_t b, uint8_t g2) {
  TestImage image = test::MakeImage(6, 4, 1);
  const uint8_t levels[] = {g1, r, b, g2};
  for (int32_t row = 0; row < 4; ++row) {
    for (int32_t column = 0; column < 6; ++column) {
      *image.At(row, column) = levels[kSiteTable[mode][row & 1][column & 1]];
    }
  }
  return image;
}

TEST(GrayGainMeasurement, ComputesGainsFromSiteMeansInEveryMode) {
  for (int32_t mode = 0; mode < 4; ++mode) {
    TestImage image = FrameOfSites(mode, 100, 80, 200, 160);
    GrayBlock block{mode, 1, 2, 3, 4, 0, 0, 0, 0};
    EXPECT_EQ(RunInPlace(&GrayGainMeasure8, image, image.Whole(), &block), 1);
    EXPECT_EQ(block.gainG1, 128);
    EXPECT_EQ(block.gainR, 160);   // 100 / 80 x 128
    EXPECT_EQ(block.gainB, 64);    // 100 / 200 x 128
    EXPECT_EQ(block.gainG2, 80);   // 100 / 160 x 128
  }
}

TEST(GrayGainMeasurement, TruncatesTheRatioAndLimitsItTo255) {
  TestImage image = FrameOfSites(0, 100, 30, 70, 2);
  GrayBlock block{0, 0, 0, 0, 0, 0, 0, 0, 0};
  RunInPlace(&GrayGainMeasure8, image, image.Whole(), &block);
  EXPECT_EQ(block.gainR, 255);   // 426.6
  EXPECT_EQ(block.gainB, 182);   // 182.857
  EXPECT_EQ(block.gainG2, 255);  // 6400
}

TEST(GrayGainMeasurement, SkipsSaturatedSamplesAndKeepsGainsWithoutSamples) {
  TestImage image = FrameOfSites(0, 100, 255, 0, 50);
  *image.At(0, 0) = 255;  // a saturated G1 sample must not count
  GrayBlock block{0, 77, 5, 88, 99, 0, 0, 0, 0};
  int result = RunInPlace(&GrayGainMeasure8, image, image.Whole(), &block);
  EXPECT_EQ(result, 1 | kGrayGainKeptR | kGrayGainKeptB);
  EXPECT_EQ(block.gainR, 77);
  EXPECT_EQ(block.gainB, 99);
  EXPECT_EQ(block.gainG2, 255);  // 100 / 50 x 128 = 256, limited
  EXPECT_EQ(block.gainG1, 128);
}

TEST(GrayGainMeasurement, KeepsEveryGainWhenGreenOneHasNoSamples) {
  TestImage image = FrameOfSites(0, 0, 80, 80, 80);
  GrayBlock block{0, 10, 20, 30, 40, 0, 0, 0, 0};
  int result = RunInPlace(&GrayGainMeasure8, image, image.Whole(), &block);
  EXPECT_EQ(result, 1 | kGrayGainKeptR | kGrayGainKeptG2 | kGrayGainKeptB);
  EXPECT_EQ(block.gainR, 10);
  EXPECT_EQ(block.gainG2, 30);
  EXPECT_EQ(block.gainB, 40);
}

TEST(GrayGainMeasurement, CountsPhasesFromTheRectangleCorner) {
  TestImage image = FrameOfSites(0, 100, 80, 200, 160);
  // Starting one column in, mode 2 names the same samples as mode 0 did.
  GrayBlock block{2, 0, 0, 0, 0, 0, 0, 0, 0};
  RunInPlace(&GrayGainMeasure8, image, KernelRect{1, 0, 5, 4}, &block);
  EXPECT_EQ(block.gainR, 160);
  EXPECT_EQ(block.gainB, 64);
  EXPECT_EQ(block.gainG2, 80);
}

TEST(GrayGainMeasurement, CarriesTheColumnPhaseAcrossRowsOfAnOddWidth) {
  TestImage image = test::MakeImage(5, 2, 1);
  const uint8_t rows[2][5] = {{100, 50, 100, 50, 100}, {25, 200, 25, 200, 25}};
  for (int32_t row = 0; row < 2; ++row) {
    for (int32_t column = 0; column < 5; ++column) *image.At(row, column) = rows[row][column];
  }
  GrayBlock block{0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(RunInPlace(&GrayGainMeasure8, image, image.Whole(), &block), 1);
  EXPECT_EQ(block.gainR, 255);   // 100 / 50 x 128 = 256, limited
  EXPECT_EQ(block.gainG2, 255);  // row 1 starts on the odd phase: G2 holds the 25s
  EXPECT_EQ(block.gainB, 64);    // 100 / 200 x 128
}

TEST(Luminance, WeighsGreenRedAndBlue) {
  TestImage source = test::MakeImage(3, 1, 3);
  const uint8_t pixels[] = {255, 255, 255, 0, 0, 255, 10, 20, 30};
  std::copy(std::begin(pixels), std::end(pixels), source.bytes.begin());
  TestImage gray = test::MakeImage(3, 1, 1);
  ASSERT_EQ(test::RunKernel(&BgrToGray8, gray, source, source.Whole(), 0, 0), 1);
  EXPECT_EQ(*gray.At(0, 0), 255);
  EXPECT_EQ(*gray.At(0, 1), 76);
  EXPECT_EQ(*gray.At(0, 2), (59 * 20 + 30 * 30 + 11 * 10) / 100);
}

TEST(Luminance, ReadsThirtyTwoBitPixelsAndRefusesOtherSizes) {
  TestImage source = RandomImage(9, 3, 4, 4);
  TestImage gray = test::MakeImage(9, 3, 1);
  ASSERT_EQ(test::RunKernel(&BgrToGray8, gray, source, source.Whole(), 0, 0), 1);
  const uint8_t* pixel = source.At(2, 8);
  EXPECT_EQ(*gray.At(2, 8), (59 * pixel[1] + 30 * pixel[2] + 11 * pixel[0]) / 100);
  TestImage wide = test::MakeImage(9, 3, 2);
  EXPECT_EQ(test::RunKernel(&BgrToGray8, gray, wide, wide.Whole(), 0, 0), 0);
}

bool MachineHasAvx2() {
  ProcessorInfo info{};
  DetectProcessor(&info);
  return (UsableFeatures(info) & kFeatureAvx2) != 0;
}

TEST(Luminance, SelectionTakesTheAvx2VariantOnlyWhenUsable) {
  ProcessorInfo info{};
  EXPECT_EQ(SelectBgrToGray8(info), &BgrToGray8);
#if defined(__x86_64__) || defined(__i386__)
  info.reportedFeatures = kFeatureAvx2 | kFeatureSse2;
  info.verifiedFeatures = kFeatureAvx2 | kFeatureSse2;
  EXPECT_EQ(SelectBgrToGray8(info), &BgrToGray8Avx2);
#endif
}

#if defined(__x86_64__) || defined(__i386__)
TEST(Luminance, Avx2VariantMatchesThePlainOneOnRandomFrames) {
  if (!MachineHasAvx2()) GTEST_SKIP() << "no usable AVX2";
  for (int bytes : {3, 4}) {
    for (auto [width, height] : KernelTestSizes()) {
      TestImage source = RandomImage(width, height, bytes, width * 13 + height + bytes);
      std::vector<KernelRect> rects = {source.Whole()};
      if (width > 2) rects.push_back({1, 0, width - 1, height});
      for (const KernelRect& rect : rects) {
        TestImage plain = RandomImage(width, height, 1, 99);
        TestImage vector = plain;
        ASSERT_EQ(test::RunKernel(&BgrToGray8, plain, source, rect, 0, 0), 1);
        ASSERT_EQ(test::RunKernel(&BgrToGray8Avx2, vector, source, rect, 0, 0), 1);
        ASSERT_EQ(vector.bytes, plain.bytes) << width << "x" << height << " bytes " << bytes;
      }
    }
  }
}

TEST(Luminance, Avx2VariantIsExactForEveryWeightedSum) {
  if (!MachineHasAvx2()) GTEST_SKIP() << "no usable AVX2";
  // Every (G, R) pair with B cycling covers the full range of sums.
  TestImage source = test::MakeImage(256, 256, 3);
  for (int32_t green = 0; green < 256; ++green) {
    for (int32_t red = 0; red < 256; ++red) {
      uint8_t* pixel = source.At(green, red);
      pixel[0] = static_cast<uint8_t>(green * 7 + red);
      pixel[1] = static_cast<uint8_t>(green);
      pixel[2] = static_cast<uint8_t>(red);
    }
  }
  TestImage plain = test::MakeImage(256, 256, 1);
  TestImage vector = test::MakeImage(256, 256, 1);
  test::RunKernel(&BgrToGray8, plain, source, source.Whole(), 0, 0);
  test::RunKernel(&BgrToGray8Avx2, vector, source, source.Whole(), 0, 0);
  EXPECT_EQ(vector.bytes, plain.bytes);
}
#endif

}  // namespace
}  // namespace zirvo
