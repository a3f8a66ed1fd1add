// Hot-pixel correction: hand-worked cases, 16-bit words, vector scan against the reference.
#include "convert/hot_pixel.h"

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
  RectangleKernel kernel;
  bool available;
};

std::vector<Variant> Variants() {
  return {{"plain", HotPixelCorrect, true},
#ifdef ZIRVO_TEST_VECTOR_KERNELS
          {"avx2", HotPixelCorrectAvx2, __builtin_cpu_supports("avx2") != 0},
#endif
  };
}

int Correct(RectangleKernel kernel, TestImage& image, const KernelRect& rect, BayerBlock block,
            int threshold = 30) {
  return kernel(image.Bits(), image.Bits(), rect, rect.left, rect.top, image.bytesPerPixel,
                image.bytesPerPixel, image.stride, image.stride, &block, &threshold);
}

TestImage Uniform(int w, int h, int sampleBytes, uint32_t value) {
  TestImage image(w, h, sampleBytes, 0, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.SetSample(x, y, value);
  }
  return image;
}

class HotPixelHandCases : public ::testing::TestWithParam<int> {
 protected:
  RectangleKernel Kernel() const { return Variants()[GetParam()].kernel; }
  void SetUp() override {
    if (static_cast<size_t>(GetParam()) >= Variants().size() ||
        !Variants()[GetParam()].available) {
      GTEST_SKIP() << "no such variant here";
    }
  }
  const BayerBlock block_{0, 100, 100, 100};
};

TEST_P(HotPixelHandCases, ModeratelyBrightRedSiteIsKept) {
  // Estimate red 117, green and blue 100: only differences of 17.
  TestImage image = Uniform(12, 12, 1, 100);
  image.SetSample(6, 5, 131);  // odd row, even column: red in mode 0
  EXPECT_EQ(Correct(Kernel(), image, {0, 0, 12, 12}, block_), 0);
  EXPECT_EQ(image.Sample(6, 5), 131u);
}

TEST_P(HotPixelHandCases, BrightRedSiteIsReplacedByItsSameColourMean) {
  TestImage image = Uniform(12, 12, 1, 100);
  image.SetSample(6, 5, 200);
  EXPECT_EQ(Correct(Kernel(), image, {0, 0, 12, 12}, block_), 1);
  EXPECT_EQ(image.Sample(6, 5), 100u);
}

TEST_P(HotPixelHandCases, EdgePixelsAndTinyFramesAreNotTouched) {
  TestImage image = Uniform(12, 12, 1, 100);
  image.SetSample(1, 6, 250);
  image.SetSample(10, 6, 250);
  EXPECT_EQ(Correct(Kernel(), image, {0, 0, 12, 12}, block_), 0);
  for (int size = 1; size <= 4; ++size) {
    TestImage tiny = Uniform(size, size, 1, 0);
    tiny.SetSample(size / 2, size / 2, 255);
    const std::vector<uint8_t> before = tiny.storage;
    EXPECT_EQ(Correct(Kernel(), tiny, {0, 0, size, size}, block_), 0);
    EXPECT_EQ(tiny.storage, before);
  }
}

TEST_P(HotPixelHandCases, SixteenBitSamplesAreCorrectedAsWholeWords) {
  // 0x0164 over neighbours of 0x0064: equal low bytes, yet 256 above its mean.
  TestImage image = Uniform(12, 12, 2, 0x0064);
  image.SetSample(6, 5, 0x0164);
  EXPECT_EQ(Correct(Kernel(), image, {0, 0, 12, 12}, block_), 1);
  EXPECT_EQ(image.Sample(6, 5), 0x0064u);
  EXPECT_TRUE(image.GuardsIntact(0));
}

TEST_P(HotPixelHandCases, SixteenBitThresholdIsScaledToTenBitSamples) {
  // The 8-bit example widened by 4: 524 over 400 is kept, 800 is replaced.
  TestImage image = Uniform(12, 12, 2, 400);
  image.SetSample(6, 5, 524);
  image.SetSample(6, 9, 800);
  EXPECT_EQ(Correct(Kernel(), image, {0, 0, 12, 12}, block_), 1);
  EXPECT_EQ(image.Sample(6, 5), 524u);
  EXPECT_EQ(image.Sample(6, 9), 400u);
}

TEST_P(HotPixelHandCases, SeparateSourceIsCopiedThenCorrected) {
  TestImage source = Uniform(12, 12, 1, 100);
  source.SetSample(6, 5, 200);
  TestImage destination(14, 13, 1);
  BayerBlock block = block_;
  int threshold = 30;
  EXPECT_EQ(Kernel()(destination.Bits(), source.Bits(), {0, 0, 12, 12}, 2, 1, 1, 1,
                     destination.stride, source.stride, &block, &threshold),
            1);
  EXPECT_EQ(destination.Sample(8, 6), 100u);
  EXPECT_EQ(destination.Sample(2, 1), 100u);
  EXPECT_EQ(destination.Sample(1, 1), 0xA5u);
  EXPECT_EQ(source.Sample(6, 5), 200u);
}

INSTANTIATE_TEST_SUITE_P(Variants, HotPixelHandCases, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param ? "avx2" : "plain"; });

class HotPixelMatchesReference : public ::testing::Test {
 protected:
  std::mt19937 random_{4242};

  // A smooth frame with sharp steps and scattered hot pixels, so corrections
  // cluster and feed each other.
  TestImage Scene(int w, int h, int sampleBytes) {
    TestImage image(w, h, sampleBytes, 4, 0);
    const uint32_t top = sampleBytes == 1 ? 255 : 1023;
    std::uniform_int_distribution<int> noise(0, 6);
    std::uniform_int_distribution<int> spot(0, 40);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint32_t base = ((x / 7 + y / 5) % 3) * (top / 3) + ((x & 1) ? 20u : 0u);
        uint32_t value = std::min<uint32_t>(base + noise(random_), top);
        if (spot(random_) == 0) value = top - noise(random_);
        image.SetSample(x, y, value);
      }
    }
    return image;
  }
};

TEST_F(HotPixelMatchesReference, EveryVariantReplacesTheSamePixels) {
  const int sizes[][2] = {{5, 5}, {6, 7}, {9, 9}, {17, 6}, {20, 20}, {21, 8}, {36, 11},
                          {37, 12}, {100, 40}, {4384, 6}};
  const BayerBlock gains[] = {{0, 100, 100, 100}, {0, 250, 100, 101}, {0, 0, 100, 400}};
  for (const Variant& variant : Variants()) {
    if (!variant.available) continue;
    SCOPED_TRACE(variant.name);
    int index = 0;
    for (int sampleBytes : {1, 2}) {
      for (const auto& size : sizes) {
        for (int mode = 0; mode < 4; ++mode, ++index) {
          const TestImage scene = Scene(size[0], size[1], sampleBytes);
          TestImage expected = scene;
          TestImage actual = scene;
          BayerBlock block = gains[index % 3];
          block.bayerMode = mode;
          const KernelRect rect = index % 2 ? KernelRect{0, 0, size[0], size[1]}
                                            : KernelRect{1, 0, size[0], size[1] - (index % 3 == 0)};
          const int replaced = testing::ReferenceHotPixel(expected, rect, block, 30);
          EXPECT_EQ(Correct(variant.kernel, actual, rect, block), replaced);
          ASSERT_EQ(actual.storage, expected.storage)
              << size[0] << "x" << size[1] << " mode " << mode << " bytes " << sampleBytes;
          if (size[0] == 100) {
            EXPECT_GT(replaced, 0);
          }
        }
      }
    }
  }
}

// The vector scan picks candidates from a mean that may lie one below the
// exact one: thresholds of every kind, widths around its step of 32 bytes,
// and excesses of exactly the threshold and one less must still come out as
// the sequential test decides.
TEST_F(HotPixelMatchesReference, EveryThresholdAndWidthAroundTheStep) {
  const BayerBlock block{1, 120, 100, 90};
  std::uniform_int_distribution<int> level(0, 255);
  for (const Variant& variant : Variants()) {
    if (!variant.available) continue;
    SCOPED_TRACE(variant.name);
    for (int threshold : {-300, -5, 0, 1, 2, 3, 29, 30, 31, 200, 254, 255, 256, 1000}) {
      for (int width : {5, 35, 36, 37, 38, 67, 68, 69, 70, 101}) {
        TestImage scene = Scene(width, 9, 1);
        // Spots whose excess over the four-neighbour mean is the threshold or one less.
        for (int k = 0; k < width / 4; ++k) {
          const int x = 2 + (k * 7) % (width - 4);
          const int y = 2 + k % 5;
          const int mean = (static_cast<int>(scene.Sample(x, y - 2)) + static_cast<int>(scene.Sample(x, y + 2)) +
                            static_cast<int>(scene.Sample(x - 2, y)) + static_cast<int>(scene.Sample(x + 2, y))) >> 2;
          const int value = mean + threshold - (k % 2) - (level(random_) % 2 ? 0 : 1);
          scene.SetSample(x, y, static_cast<uint32_t>(std::clamp(value, 0, 255)));
        }
        TestImage expected = scene;
        TestImage actual = scene;
        const KernelRect rect{0, 0, width, 9};
        const int replaced = testing::ReferenceHotPixel(expected, rect, block, threshold);
        EXPECT_EQ(Correct(variant.kernel, actual, rect, block, threshold), replaced);
        ASSERT_EQ(actual.storage, expected.storage) << "threshold " << threshold << " width " << width;
      }
    }
  }
}

TEST(HotPixelSelection, UsesTheVectorScanWithAvx2) {
  EXPECT_EQ(SelectHotPixelCorrect(0), &HotPixelCorrect);
#ifdef ZIRVO_TEST_VECTOR_KERNELS
  EXPECT_EQ(SelectHotPixelCorrect(kFeatureAvx2), &HotPixelCorrectAvx2);
#endif
}

}  // namespace
}  // namespace zirvo
