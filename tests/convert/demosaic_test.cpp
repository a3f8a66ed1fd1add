// Demosaic kernels: hand-worked values, and every variant bit for bit against the reference.
#include "convert/demosaic.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "convert/parameter_blocks.h"
#include "convert/processor.h"
#include "support/bayer_reference.h"

namespace zirvo {
namespace {

using testing::TestImage;

struct Variant {
  std::string name;
  RectangleKernel inner;
  RectangleKernel border;
  bool available;
};

std::vector<Variant> InnerVariants8() {
  return {{"plain", DemosaicInner8, DemosaicBorder8, true},
#ifdef ZIRVO_TEST_VECTOR_KERNELS
          {"avx2", DemosaicInner8Avx2, DemosaicBorder8Avx2, __builtin_cpu_supports("avx2") != 0},
          {"avx512", DemosaicInner8Avx512, DemosaicBorder8Avx512,
           __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi")},
#endif
  };
}

std::vector<Variant> InnerVariants16() {
  return {{"plain", DemosaicInner16, DemosaicBorder16, true},
#ifdef ZIRVO_TEST_VECTOR_KERNELS
          {"avx2", DemosaicInner16Avx2, DemosaicBorder16Avx2,
           __builtin_cpu_supports("avx2") != 0},
          {"avx512", DemosaicInner16Avx512, DemosaicBorder16Avx512,
           __builtin_cpu_supports("avx512bw") != 0},
#endif
  };
}

int RunKernel(RectangleKernel kernel, TestImage& destination, const TestImage& source,
        const KernelRect& rect, int x, int y, BayerBlock block) {
  return kernel(destination.Bits(), source.Bits(), rect, x, y, destination.bytesPerPixel,
                source.bytesPerPixel, destination.stride, source.stride, &block, nullptr);
}

KernelRect Whole(const TestImage& image) { return {0, 0, image.width, image.height}; }

class DemosaicHandValues : public ::testing::Test {
 protected:
  // Demosaics a uniform 8 × 8 frame and returns the output pixel at (3, 3).
  std::vector<uint32_t> UniformPixel(uint32_t value, int sampleBytes, BayerBlock block) {
    TestImage source(8, 8, sampleBytes, 0, 0);
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) source.SetSample(x, y, value);
    }
    TestImage destination(8, 8, 3 * sampleBytes);
    const RectangleKernel inner = sampleBytes == 1 ? DemosaicInner8 : DemosaicInner16;
    EXPECT_EQ(RunKernel(inner, destination, source, Whole(source), 0, 0, block), 1);
    return {destination.Channel(3, 3, 0), destination.Channel(3, 3, 1),
            destination.Channel(3, 3, 2)};
  }
};

TEST_F(DemosaicHandValues, UniformGrayStaysGrayInEveryModeAndBothKernels) {
  for (int mode = 0; mode < 4; ++mode) {
    TestImage source(9, 7, 1, 0, 0);
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 9; ++x) source.SetSample(x, y, 93);
    }
    TestImage destination(9, 7, 3);
    const BayerBlock block{mode, 100, 100, 100};
    RunKernel(DemosaicInner8, destination, source, Whole(source), 0, 0, block);
    RunKernel(DemosaicBorder8, destination, source, Whole(source), 0, 0, block);
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 9; ++x) {
        for (int c = 0; c < 3; ++c) ASSERT_EQ(destination.Channel(x, y, c), 93u) << x << "," << y;
      }
    }
  }
}

TEST_F(DemosaicHandValues, GainsBecomeTruncatedFactors) {
  // F(101) = 129: 16 × 200 × 129 >> 11 = 201; F(250) = 320: 16 × 50 × 320 >> 11 = 125.
  const auto pixel = UniformPixel(200, 1, BayerBlock{0, 101, 100, 100});
  EXPECT_EQ(pixel[2], 201u);
  EXPECT_EQ(pixel[0], 200u);
  EXPECT_EQ(UniformPixel(50, 1, BayerBlock{0, 100, 100, 250})[0], 125u);
  EXPECT_EQ(UniformPixel(50, 1, BayerBlock{0, 0, 100, 100})[2], 0u);
}

TEST_F(DemosaicHandValues, GreenGainIsNeverApplied) {
  EXPECT_EQ(UniformPixel(80, 1, BayerBlock{0, 100, 400, 100})[1], 80u);
}

TEST_F(DemosaicHandValues, ChannelsSaturateInsteadOfWrapping) {
  EXPECT_EQ(UniformPixel(255, 1, BayerBlock{0, 400, 100, 400})[2], 255u);
  EXPECT_EQ(UniformPixel(255, 1, BayerBlock{0, 400, 100, 400})[0], 255u);
  EXPECT_EQ(UniformPixel(4000, 2, BayerBlock{0, 200, 100, 100})[2], 4095u);
  // Green of 16-bit samples above the 12-bit range is clamped too.
  EXPECT_EQ(UniformPixel(60000, 2, BayerBlock{0, 100, 100, 100})[1], 4095u);
}

TEST_F(DemosaicHandValues, NegativeAndHugeGainsNeitherWrapNorOverflow) {
  EXPECT_EQ(UniformPixel(200, 1, BayerBlock{0, -50, 100, 100})[2], 0u);
  EXPECT_EQ(UniformPixel(65535, 2, BayerBlock{0, 100000, 100, 100})[2], 4095u);
}

TEST(DemosaicArguments, RefusesMissingBlockAndWrongPixelSizes) {
  TestImage source(8, 8, 1, 0, 7);
  TestImage destination(8, 8, 3);
  const std::vector<uint8_t> before = destination.storage;
  std::vector<RectangleKernel> kernels = {DemosaicInner8, DemosaicBorder8};
  for (const Variant& variant : InnerVariants8()) {
    if (variant.available) kernels.insert(kernels.end(), {variant.inner, variant.border});
  }
  for (RectangleKernel kernel : kernels) {
    EXPECT_EQ(kernel(destination.Bits(), source.Bits(), Whole(source), 0, 0, 3, 1,
                     destination.stride, source.stride, nullptr, nullptr),
              0);
    BayerBlock block{0, 100, 100, 100};
    EXPECT_EQ(kernel(destination.Bits(), source.Bits(), Whole(source), 0, 0, 3, 2,
                     destination.stride, source.stride, &block, nullptr),
              0);
  }
  EXPECT_EQ(destination.storage, before);
}

// ---- every variant against the reference ----

struct Case {
  int width;
  int height;
  int destinationBytes;  // per pixel
  int mode;
  BayerBlock gains;
  KernelRect rect;  // within the source
  int destinationX;
  int destinationY;
};

class DemosaicMatchesReference : public ::testing::Test {
 protected:
  std::mt19937 random_{20261208};

  // Runs inner and border of `variant` and the reference on fresh buffers and
  // compares every byte, guards and untouched pixels included.
  void Check(const Case& c, int sampleBytes, const Variant& variant) {
    TestImage source(c.width, c.height, sampleBytes, 4, 0);
    testing::FillRandom(source, sampleBytes == 1 ? 256 : (c.mode % 2 ? 65536 : 4096), random_);
    const int outWidth = c.destinationX + c.rect.Width() + 3;
    const int outHeight = c.destinationY + c.rect.Height() + 2;
    TestImage expected(outWidth, outHeight, c.destinationBytes, 8);
    TestImage actual(outWidth, outHeight, c.destinationBytes, 8);
    BayerBlock block = c.gains;
    block.bayerMode = c.mode;
    testing::ReferenceDemosaicInner(expected, source, c.rect, c.destinationX, c.destinationY,
                                    block);
    testing::ReferenceDemosaicBorder(expected, source, c.rect, c.destinationX, c.destinationY,
                                     block);
    ASSERT_EQ(RunKernel(variant.inner, actual, source, c.rect, c.destinationX, c.destinationY, block), 1);
    ASSERT_EQ(RunKernel(variant.border, actual, source, c.rect, c.destinationX, c.destinationY, block), 1);
    ASSERT_TRUE(actual.GuardsIntact());
    ASSERT_EQ(actual.storage, expected.storage)
        << c.width << "x" << c.height << " rect " << c.rect.left << "," << c.rect.top << ","
        << c.rect.right << "," << c.rect.bottom << " mode " << c.mode << " bpp "
        << c.destinationBytes << " at " << c.destinationX << "," << c.destinationY;
  }

  std::vector<Case> Cases(int sampleBytes) {
    const std::vector<std::pair<int, int>> sizes = {
        {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {1, 7}, {7, 1}, {2, 9}, {9, 3}, {4, 11},
        {6, 5}, {7, 7}, {8, 6}, {13, 9}, {19, 8}, {20, 7}, {21, 6}, {35, 9}, {36, 10},
        {37, 11}, {67, 6}, {68, 7}, {69, 5}, {131, 9}, {100, 33}};
    const BayerBlock gainSets[] = {{0, 100, 100, 100}, {0, 101, 100, 250}, {0, 0, 100, 400},
                                   {0, 400, 100, 0}, {0, 250, 100, 101}};
    std::vector<Case> cases;
    int index = 0;
    for (const auto& [w, h] : sizes) {
      for (int mode = 0; mode < 4; ++mode) {
        const int bytes = (index % 2 ? 4 : 3) * sampleBytes;
        const BayerBlock gains = gainSets[index % 5];
        const int dx = index % 3;
        const int dy = (index / 3) % 2;
        cases.push_back({w, h, bytes, mode, gains, {0, 0, w, h}, dx, dy});
        // A sub-rectangle with odd corners where there is room.
        if (w > 3 && h > 3) {
          cases.push_back({w, h, bytes, mode, gains, {1, 1, w - (index % 2), h - 1}, dy, dx});
        }
        ++index;
      }
    }
    return cases;
  }
};

TEST_F(DemosaicMatchesReference, EightBitVariants) {
  for (const Variant& variant : InnerVariants8()) {
    if (!variant.available) continue;
    SCOPED_TRACE(variant.name);
    for (const Case& c : Cases(1)) Check(c, 1, variant);
  }
}

TEST_F(DemosaicMatchesReference, SixteenBitVariants) {
  for (const Variant& variant : InnerVariants16()) {
    if (!variant.available) continue;
    SCOPED_TRACE(variant.name);
    for (const Case& c : Cases(2)) Check(c, 2, variant);
  }
}

TEST_F(DemosaicMatchesReference, OddWidthDriftsTheInnerColumnPhase) {
  // Width 7: interior rows of 3 pixels, so the second interior row starts on
  // the other column phase; a parity reading would differ there.
  TestImage source(7, 7, 1, 0, 0);
  testing::FillRandom(source, 256, random_);
  TestImage destination(7, 7, 3);
  const BayerBlock block{0, 100, 100, 100};
  // (2, 3) starts the second interior row: the drifted phase (1, 1) is green
  // with the diagonal pair, where the parity rule would take red's cross pair.
  source.SetSample(1, 2, 10);
  source.SetSample(2, 3, 30);
  source.SetSample(1, 3, 100);
  source.SetSample(2, 2, 200);
  RunKernel(DemosaicInner8, destination, source, Whole(source), 0, 0, block);
  EXPECT_EQ(destination.Channel(2, 3, 1), 20u);
}

TEST_F(DemosaicMatchesReference, FullWidthRowsOfTheCameraFrame) {
  for (const Variant& variant : InnerVariants8()) {
    if (!variant.available) continue;
    SCOPED_TRACE(variant.name);
    Check({4384, 6, 3, 1, {0, 123, 100, 77}, {0, 0, 4384, 6}, 0, 0}, 1, variant);
    Check({4384, 6, 4, 2, {0, 123, 100, 77}, {0, 0, 4384, 6}, 0, 0}, 1, variant);
  }
  for (const Variant& variant : InnerVariants16()) {
    if (!variant.available) continue;
    SCOPED_TRACE(variant.name);
    Check({4384, 6, 6, 3, {0, 123, 100, 77}, {0, 0, 4384, 6}, 0, 0}, 2, variant);
    Check({4384, 6, 8, 0, {0, 123, 100, 77}, {0, 0, 4384, 6}, 0, 0}, 2, variant);
  }
}

TEST(DemosaicSelection, PicksTheWidestVectorTheFeaturesAllow) {
  EXPECT_EQ(SelectDemosaicInner8(0), &DemosaicInner8);
  EXPECT_EQ(SelectDemosaicInner16(kFeatureSse2), &DemosaicInner16);
  EXPECT_EQ(SelectDemosaicBorder16(0), &DemosaicBorder16);
#ifdef ZIRVO_TEST_VECTOR_KERNELS
  EXPECT_EQ(SelectDemosaicInner8(kFeatureSse2 | kFeatureAvx2), &DemosaicInner8Avx2);
  EXPECT_EQ(SelectDemosaicInner8(kFeatureAvx2 | kFeatureAvx512), &DemosaicInner8Avx2);
  EXPECT_EQ(SelectDemosaicInner8(kFeatureAvx2 | kFeatureAvx512Vbmi), &DemosaicInner8Avx2);
  EXPECT_EQ(SelectDemosaicInner8(kFeatureAvx2 | kFeatureAvx512 | kFeatureAvx512Vbmi),
            &DemosaicInner8Avx512);
  EXPECT_EQ(SelectDemosaicInner16(kFeatureAvx2 | kFeatureAvx512), &DemosaicInner16Avx512);
  EXPECT_EQ(SelectDemosaicBorder8(kFeatureAvx2), &DemosaicBorder8Avx2);
  EXPECT_EQ(SelectDemosaicBorder8(kFeatureAvx2 | kFeatureAvx512 | kFeatureAvx512Vbmi),
            &DemosaicBorder8Avx512);
  EXPECT_EQ(SelectDemosaicBorder16(kFeatureAvx2 | kFeatureAvx512), &DemosaicBorder16Avx512);
#endif
}

}  // namespace
}  // namespace zirvo
