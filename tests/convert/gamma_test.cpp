// Gamma tables against the literal logarithm search, the shared cache, and the gamma kernels.
#include "convert/gamma.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <thread>
#include <vector>

#include "convert/parameter_blocks.h"
#include "convert/processor.h"
#include "support/filter_reference.h"

namespace zirvo {
namespace {

using test::RandomImage;
using test::RandomWordImage;
using test::ReferenceGammaTable;
using test::ReferenceMap;
using test::RunKernel;
using test::TestImage;

constexpr uint32_t kAllFeatures = kFeatureAvx2 | kFeatureAvx512 | kFeatureAvx512Vbmi;

TEST(GammaTable8, EqualsLiteralSearchForEverySetting) {
  for (int32_t gamma = 0; gamma <= 200; ++gamma) {
    const std::vector<uint32_t> expected = ReferenceGammaTable(gamma, 255);
    const uint8_t* table = GammaTable8(gamma);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(table[i], expected[i]) << "gamma " << gamma << " sample " << i;
  }
}

TEST(GammaTable16, EqualsLiteralSearchForSelectedSettings) {
  for (int32_t gamma : {0, 1, 2, 7, 33, 50, 99, 101, 137, 150, 199, 200}) {
    const std::vector<uint32_t> expected = ReferenceGammaTable(gamma, 1023);
    const uint16_t* table = GammaTable16(gamma);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(table[i], expected[i]) << "gamma " << gamma << " sample " << i;
  }
}

TEST(GammaTable8, GammaZeroLiftsEverySampleToTheTop) {
  const uint8_t* table = GammaTable8(0);
  EXPECT_EQ(table[0], 0);
  EXPECT_EQ(table[1], 253);
  EXPECT_EQ(table[255], 254);
  for (int i = 1; i < 256; ++i) {
    EXPECT_TRUE(table[i] == 253 || table[i] == 254) << i;
    EXPECT_GE(table[i], table[i - 1]) << i;
  }
}

TEST(GammaTable8, FullScaleMapsOneBelowTheTop) {
  for (int32_t gamma : {1, 60, 100, 140, 200}) EXPECT_EQ(GammaTable8(gamma)[255], 254) << gamma;
  EXPECT_EQ(GammaTable16(140)[1023], 1022);
}

TEST(GammaExponent, IsLimitedAtBothEnds) {
  EXPECT_DOUBLE_EQ(GammaExponent(0), 0.001);
  EXPECT_DOUBLE_EQ(GammaExponent(-40), 0.001);
  EXPECT_DOUBLE_EQ(GammaExponent(50), 0.5);
  EXPECT_DOUBLE_EQ(GammaExponent(150), 6.0);
  EXPECT_DOUBLE_EQ(GammaExponent(5000), 99.999);
}

TEST(GammaTableCache, SettingsOutsideTheRangeShareTheLimitTables) {
  EXPECT_EQ(GammaTable8(-7), GammaTable8(0));
  EXPECT_EQ(GammaTable8(1090), GammaTable8(123456));
  const std::vector<uint32_t> expected = ReferenceGammaTable(5000, 255);
  const uint8_t* table = GammaTable8(5000);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(table[i], expected[i]) << i;
}

TEST(GammaTableCache, ConcurrentFirstUsesAgreeOnOneTable) {
  constexpr int kThreads = 4;
  const uint16_t* seen[kThreads] = {};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&seen, t] {
      for (int32_t gamma = 300; gamma < 340; ++gamma) seen[t] = GammaTable16(gamma + (t % 2));
      seen[t] = GammaTable16(339);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t], seen[0]);
  EXPECT_EQ(seen[0][1023], ReferenceGammaTable(339, 1023)[1023]);
}

class GammaKernelTest : public ::testing::Test {
 protected:
  void Compare8(RectangleKernel kernel, int width, int height, int step, int channels, int32_t gamma) {
    const TestImage source = RandomImage(width, height, step, random_);
    TestImage expected = RandomImage(width + 2, height + 1, step, random_);
    TestImage actual = expected;
    const KernelRect rect{width / 4, height / 3, width, height};
    ValueBlock block{gamma};
    ReferenceMap(expected, source, rect, 2, 1, channels, 1, Reference(gamma));
    ASSERT_EQ(RunKernel(kernel, actual, source, rect, 2, 1, &block), 1);
    ASSERT_EQ(actual.bytes, expected.bytes) << width << "x" << height << " step " << step;
  }

  const std::vector<uint32_t>& Reference(int32_t gamma) {
    auto found = references_.find(gamma);
    if (found == references_.end()) found = references_.emplace(gamma, ReferenceGammaTable(gamma, 255)).first;
    return found->second;
  }

  std::mt19937 random_{1234};
  std::map<int32_t, std::vector<uint32_t>> references_;
};

TEST_F(GammaKernelTest, EveryVariantEqualsTheReferenceOnManySizes) {
  for (uint32_t features : test::RunnableFeatureSets()) {
    const ToneKernels variant = SelectGammaKernels(features);
    for (int width : {1, 4, 5, 10, 11, 17, 21, 22, 32, 33, 63, 64, 65, 130}) {
      for (int height : {1, 4, 5, 9}) {
        Compare8(variant.mono8, width, height, 1, 1, 60);
        Compare8(variant.bgr8, width, height, 3, 3, 160);
        Compare8(variant.bgr8, width, height, 4, 3, 20);
      }
    }
  }
}

TEST(SelectGammaKernels, UsesTheWidestSetPresent) {
  EXPECT_EQ(SelectGammaKernels(0).bgr8, GammaBgr8);
  EXPECT_EQ(SelectGammaKernels(kFeatureAvx2).mono8, GammaMono8Avx2);
  EXPECT_EQ(SelectGammaKernels(kFeatureAvx2 | kFeatureAvx512).bgr8, GammaBgr8Avx2);
  EXPECT_EQ(SelectGammaKernels(kAllFeatures).bgr8, GammaBgr8Avx512Vbmi);
  EXPECT_EQ(SelectGammaKernels(kAllFeatures).mono16, GammaMono16);
}

TEST_F(GammaKernelTest, SixteenBitKernelsMapWordsAndTreatLargeSamplesAsTheTop) {
  for (int step : {6, 8}) {
    const TestImage source = RandomWordImage(13, 5, step, 65535, random_);
    TestImage expected = source;
    TestImage actual = source;
    ValueBlock block{77};
    std::vector<uint32_t> table = ReferenceGammaTable(77, 1023);
    ReferenceMap(expected, source, {0, 0, 13, 5}, 0, 0, 3, 2, table);
    ASSERT_EQ(RunKernel(GammaBgr16, actual, actual, {0, 0, 13, 5}, 0, 0, &block), 1);
    EXPECT_EQ(actual.bytes, expected.bytes) << step;
  }
  // Odd width: rows follow the stride, not twice the width.
  const TestImage mono = RandomWordImage(7, 3, 2, 1023, random_);
  TestImage expected = mono;
  TestImage actual = mono;
  ValueBlock block{130};
  ReferenceMap(expected, mono, {0, 0, 7, 3}, 0, 0, 1, 2, ReferenceGammaTable(130, 1023));
  ASSERT_EQ(RunKernel(GammaMono16, actual, actual, {0, 0, 7, 3}, 0, 0, &block), 1);
  EXPECT_EQ(actual.bytes, expected.bytes);
}

TEST_F(GammaKernelTest, MissingParameterIsRefusedAndEmptyRectangleIsANoOp) {
  TestImage image = RandomImage(4, 4, 3, random_);
  const TestImage before = image;
  EXPECT_EQ(RunKernel(GammaBgr8, image, image, {0, 0, 4, 4}, 0, 0, nullptr), 0);
  ValueBlock block{50};
  EXPECT_EQ(RunKernel(GammaBgr8, image, image, {2, 2, 2, 4}, 0, 0, &block), 1);
  EXPECT_EQ(image.bytes, before.bytes);
}

}  // namespace
}  // namespace zirvo
