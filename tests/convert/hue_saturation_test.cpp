// Hue and saturation: literal steps, hand-worked pixels, 16-bit samples, concurrent cameras.
#include "convert/hue_saturation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "convert/processor.h"
#include "support/filter_reference.h"

namespace zirvo {
namespace {

using test::RandomImage;
using test::RandomWordImage;
using test::ReferenceHueSaturation;
using test::RunKernel;
using test::TestImage;

constexpr uint32_t kAllFeatures = kFeatureAvx2 | kFeatureAvx512 | kFeatureAvx512Vbmi;

std::vector<RectangleKernel> EightBitVariants() {
  std::vector<RectangleKernel> variants{HueSaturationBgr8};
  if (__builtin_cpu_supports("avx2")) variants.push_back(SelectHueSaturationBgr8(kFeatureAvx2));
  if (__builtin_cpu_supports("avx512vbmi")) variants.push_back(SelectHueSaturationBgr8(kAllFeatures));
  return variants;
}

TestImage OnePixel(int step, uint8_t blue, uint8_t green, uint8_t red) {
  TestImage image;
  image.width = 1;
  image.height = 1;
  image.step = step;
  image.stride = 4 * ((step + 3) / 4);
  image.bytes.assign(image.stride, 0xAB);
  image.bytes[0] = blue;
  image.bytes[1] = green;
  image.bytes[2] = red;
  return image;
}

TEST(HueSaturationPixel, PureRedTurnedByHalfATurnOfTheSettingBecomesGreenish) {
  for (RectangleKernel kernel : EightBitVariants()) {
    for (int step : {3, 4}) {
      TestImage image = OnePixel(step, 0, 0, 255);
      HueBlock block{128, 0, 0, 8};
      ASSERT_EQ(RunKernel(kernel, image, image, {0, 0, 1, 1}, 0, 0, &block), 1);
      EXPECT_EQ(image.bytes[2], 0);
      EXPECT_EQ(image.bytes[1], 255);
      EXPECT_EQ(image.bytes[0], 253);
      if (step == 4) {
        EXPECT_EQ(image.bytes[3], 0xAB);
      }
    }
  }
}

TEST(HueSaturationPixel, GrayPassesUnchangedForAnySetting) {
  const HueBaseTables& base = HueBaseTablesOnce();
  for (int32_t hue : {-360, -128, -1, 1, 77, 128, 255, 360}) {
    for (int32_t saturation : {-255, -100, 0, 100, 255}) {
      SaturationTables tables;
      BuildSaturationTables({hue, 0, saturation, 8}, &tables);
      for (int32_t v = 0; v < 256; ++v) {
        ASSERT_EQ(TransformPixel(v, v, v, base, tables, HueRotationOf(hue)),
                  static_cast<uint32_t>(v * 0x10101))
            << hue << " " << saturation << " " << v;
      }
    }
  }
}

TEST(HueSaturationPixel, EqualsTheLiteralStepsOnRandomPixels) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int32_t> byte(0, 255);
  std::uniform_int_distribution<int32_t> hue(-360, 360);
  std::uniform_int_distribution<int32_t> saturation(-255, 255);
  const HueBaseTables& base = HueBaseTablesOnce();
  for (int setting = 0; setting < 60; ++setting) {
    const int32_t h = setting < 4 ? setting * 64 : hue(random);
    const int32_t s = setting % 5 == 0 ? 0 : saturation(random);
    const ReferenceHueSaturation reference(h, 0, s);
    SaturationTables tables;
    BuildSaturationTables({h, 0, s, 8}, &tables);
    const HueRotation rotation = HueRotationOf(h);
    for (int pixel = 0; pixel < 20000; ++pixel) {
      const int32_t b = byte(random), g = byte(random), r = byte(random);
      ASSERT_EQ(TransformPixel(b, g, r, base, tables, rotation), reference.Pixel(b, g, r))
          << "hue " << h << " saturation " << s << " bgr " << b << "," << g << "," << r;
    }
  }
}

TEST(HueSaturationPixel, LightnessTablesFollowTheLiteralSteps) {
  for (int32_t lightness : {-200, -1, 0, 1, 90}) {
    SaturationTables tables;
    BuildSaturationTables({0, lightness, 40, 8}, &tables);
    const ReferenceHueSaturation reference(0, lightness, 40);
    for (int k = 0; k < 512; ++k) {
      ASSERT_EQ(tables.lightnessSum[k], reference.tSum[k]) << lightness << " " << k;
      ASSERT_EQ(tables.lightnessCap[k], reference.tCap[k]) << lightness << " " << k;
    }
  }
}

TEST(HueSaturationPixel, SettingsBeyondTheRangeKeepEveryIndexInItsTable) {
  const HueBaseTables& base = HueBaseTablesOnce();
  for (int32_t saturation : {INT32_MIN, -100000, -257, 256, 100000, INT32_MAX}) {
    for (int32_t lightness : {INT32_MIN, -300, 300, INT32_MAX}) {
      SaturationTables tables;
      BuildSaturationTables({0, lightness, saturation, 8}, &tables);
      for (int n = 0; n < 256; ++n) ASSERT_TRUE(tables.saturation[n] >= 0 && tables.saturation[n] <= 255);
      for (int k = 0; k < 512; ++k) {
        ASSERT_TRUE(tables.lightnessSum[k] >= 0 && tables.lightnessSum[k] <= 511);
        ASSERT_TRUE(tables.lightnessCap[k] >= 0 && tables.lightnessCap[k] <= tables.lightnessSum[k]);
      }
      (void)TransformPixel(0, 128, 255, base, tables, HueRotationOf(INT32_MIN));
    }
  }
}

class HueSaturationKernelTest : public ::testing::Test {
 protected:
  std::mt19937 random_{1530};
};

TEST_F(HueSaturationKernelTest, EveryVariantEqualsTheReferenceOnManySizes) {
  for (RectangleKernel kernel : EightBitVariants()) {
    for (int width : {1, 4, 5, 15, 16, 17, 21, 22, 31, 32, 33, 47, 48, 49, 63, 64, 65, 100, 127, 128, 129,
                      191, 192, 193, 255, 257}) {
      for (int height : {1, 4, 5}) {
        for (int step : {3, 4}) {
          const TestImage source = RandomImage(width, height, step, random_);
          TestImage expected = RandomImage(width + 2, height + 1, step, random_);
          TestImage actual = expected;
          const KernelRect rect{width / 5, 0, width, height};
          HueBlock block{width * 7 - 200, 0, height * 40 - 150, 8};
          test::ReferenceHueSaturation8(expected, source, rect, 2, 1, block.hue, block.saturation);
          ASSERT_EQ(RunKernel(kernel, actual, source, rect, 2, 1, &block), 1);
          ASSERT_EQ(actual.bytes, expected.bytes) << width << "x" << height << " step " << step;
        }
      }
    }
  }
}

// One row holding every blue and green value for one red value; a fourth
// byte, where present, must come through untouched.
TestImage EveryBlueAndGreen(int step, int red) {
  TestImage colours;
  colours.width = 65536;
  colours.height = 1;
  colours.step = step;
  colours.stride = step * 65536;
  colours.bytes.resize(colours.stride);
  for (int i = 0; i < 65536; ++i) {
    colours.bytes[step * i] = static_cast<uint8_t>(i);
    colours.bytes[step * i + 1] = static_cast<uint8_t>(i >> 8);
    colours.bytes[step * i + 2] = static_cast<uint8_t>(red);
    if (step == 4) colours.bytes[step * i + 3] = static_cast<uint8_t>(i * 7 + red);
  }
  return colours;
}

// Every colour once, for a few settings and both pixel steps: the vector
// kernel computes in a different arrangement and must agree everywhere.
TEST_F(HueSaturationKernelTest, EightBitVectorVariantEqualsScalarOnEveryColour) {
  if (!__builtin_cpu_supports("avx512vbmi")) GTEST_SKIP() << "no AVX-512 VBMI";
  const RectangleKernel vector = SelectHueSaturationBgr8(kAllFeatures);
  ASSERT_NE(vector, HueSaturationBgr8);
  const HueBlock blocks[] = {{128, 0, 0, 8}, {-200, 0, 150, 8}, {77, 0, -255, 8}, {360, 0, 255, 8}};
  for (int step : {3, 4}) {
    for (const HueBlock& setting : blocks) {
      for (int red = 0; red < 256; ++red) {
        const TestImage colours = EveryBlueAndGreen(step, red);
        TestImage scalar = colours;
        TestImage actual = colours;
        HueBlock block = setting;
        ASSERT_EQ(RunKernel(HueSaturationBgr8, scalar, colours, {0, 0, 65536, 1}, 0, 0, &block), 1);
        ASSERT_EQ(RunKernel(vector, actual, colours, {0, 0, 65536, 1}, 0, 0, &block), 1);
        ASSERT_EQ(actual.bytes, scalar.bytes) << "hue " << setting.hue << " saturation "
                                              << setting.saturation << " red " << red << " step " << step;
      }
    }
  }
}

TEST_F(HueSaturationKernelTest, EightBitAvx2VariantEqualsScalarOnEveryColour) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
  const RectangleKernel vector = SelectHueSaturationBgr8(kFeatureAvx2);
  ASSERT_NE(vector, HueSaturationBgr8);
  // Lightness 40 takes the gathered lightness tables instead of the plain
  // ones. Two settings see every colour, the others every seventh red.
  const HueBlock blocks[] = {{-200, 0, 150, 8}, {5, 40, 90, 8}, {128, 0, 0, 8}, {77, 0, -255, 8}, {360, 0, 255, 8}};
  for (int step : {3, 4}) {
    for (const HueBlock& setting : blocks) {
      const int redStep = &setting - blocks < 2 ? 1 : 7;
      for (int red = 0; red < 256; red += redStep) {
        const TestImage colours = EveryBlueAndGreen(step, red);
        TestImage scalar = colours;
        TestImage inPlace = colours;
        HueBlock block = setting;
        ASSERT_EQ(RunKernel(HueSaturationBgr8, scalar, colours, {0, 0, 65536, 1}, 0, 0, &block), 1);
        ASSERT_EQ(RunKernel(vector, inPlace, inPlace, {0, 0, 65536, 1}, 0, 0, &block), 1);
        ASSERT_EQ(inPlace.bytes, scalar.bytes) << "hue " << setting.hue << " saturation "
                                               << setting.saturation << " red " << red << " step " << step;
      }
    }
  }
}

// The vector kernel computes the saturation table instead of reading it: at
// and past the ends of the factor's useful span it must still agree.
TEST_F(HueSaturationKernelTest, EightBitAvx2VariantEqualsScalarForSaturationOutsideItsRange) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
  const RectangleKernel vector = SelectHueSaturationBgr8(kFeatureAvx2);
  for (int32_t saturation : {INT32_MIN, -257, -256, -255, 256, 65023, 65024, 65025, 100000, INT32_MAX}) {
    for (int red : {0, 1, 100, 254, 255}) {
      const TestImage colours = EveryBlueAndGreen(3, red);
      TestImage scalar = colours;
      TestImage actual = colours;
      HueBlock block{45, 0, saturation, 8};
      ASSERT_EQ(RunKernel(HueSaturationBgr8, scalar, colours, {0, 0, 65536, 1}, 0, 0, &block), 1);
      ASSERT_EQ(RunKernel(vector, actual, colours, {0, 0, 65536, 1}, 0, 0, &block), 1);
      ASSERT_EQ(actual.bytes, scalar.bytes) << "saturation " << saturation << " red " << red;
    }
  }
}

// The vector kernels keep the tables of the last settings a thread used: a
// call with any one setting changed, or changed back, must not reuse them.
TEST_F(HueSaturationKernelTest, VectorVariantsFollowEverySettingChangeBetweenCalls) {
  const HueBlock blocks[] = {{30, 0, 40, 8},  {31, 0, 40, 8}, {31, 0, 41, 8}, {31, 9, 41, 8},
                             {30, 0, 40, 8},  {30, 0, 40, 8}, {-30, 0, 40, 8}, {30, 0, 40, 8}};
  const TestImage source = RandomImage(45, 3, 3, random_);
  const TestImage words = RandomWordImage(45, 3, 6, 4095, random_);
  for (const HueBlock& setting : blocks) {
    HueBlock block = setting;
    for (RectangleKernel kernel : EightBitVariants()) {
      TestImage expected = source;
      TestImage actual = source;
      ASSERT_EQ(RunKernel(HueSaturationBgr8, expected, source, {0, 0, 45, 3}, 0, 0, &block), 1);
      ASSERT_EQ(RunKernel(kernel, actual, source, {0, 0, 45, 3}, 0, 0, &block), 1);
      ASSERT_EQ(actual.bytes, expected.bytes) << "hue " << block.hue << " lightness " << block.lightness
                                              << " saturation " << block.saturation;
    }
    if (!__builtin_cpu_supports("avx2")) continue;
    block.sampleBits = 12;
    TestImage expected = words;
    TestImage actual = words;
    ASSERT_EQ(RunKernel(HueSaturationBgr16, expected, words, {0, 0, 45, 3}, 0, 0, &block), 1);
    ASSERT_EQ(RunKernel(SelectHueSaturationBgr16(kFeatureAvx2), actual, words, {0, 0, 45, 3}, 0, 0, &block), 1);
    ASSERT_EQ(actual.bytes, expected.bytes) << "16-bit hue " << block.hue << " saturation " << block.saturation;
  }
}

TEST_F(HueSaturationKernelTest, SixteenBitVectorVariantsEqualScalar) {
  std::vector<RectangleKernel> variants;
  if (__builtin_cpu_supports("avx512vbmi")) variants.push_back(SelectHueSaturationBgr16(kAllFeatures));
  if (__builtin_cpu_supports("avx2")) variants.push_back(SelectHueSaturationBgr16(kFeatureAvx2));
  if (variants.empty()) GTEST_SKIP() << "no AVX2";
  for (RectangleKernel vector : variants) {
    ASSERT_NE(vector, HueSaturationBgr16);
    for (int width : {1, 4, 5, 7, 8, 9, 15, 16, 17, 21, 22, 31, 32, 33, 50, 63, 64, 65}) {
      for (int height : {1, 4, 5}) {
        for (int step : {6, 8}) {
          for (int32_t bits : {8, 10, 12, 16, 3, 40}) {
            const TestImage source = RandomWordImage(width, height, step, bits == 8 ? 300 : 65535, random_);
            TestImage scalar = RandomImage(width + 2, height + 1, step, random_);
            TestImage actual = scalar;
            const KernelRect rect{width / 4, height / 2, width, height};
            HueBlock block{width * 11 - 300, 0, height * 60 - 200, bits};
            ASSERT_EQ(RunKernel(HueSaturationBgr16, scalar, source, rect, 2, 1, &block), 1);
            ASSERT_EQ(RunKernel(vector, actual, source, rect, 2, 1, &block), 1);
            ASSERT_EQ(actual.bytes, scalar.bytes) << width << "x" << height << " step " << step << " bits " << bits;
          }
        }
      }
    }
  }
}

// Every colour once at 10 bits, in place, both pixel steps, a plain and a
// gathered-lightness setting: the words' low bits must come through and a
// fourth word must stay as it was.
TEST_F(HueSaturationKernelTest, SixteenBitAvx2VariantEqualsScalarOnEveryColour) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
  const RectangleKernel vector = SelectHueSaturationBgr16(kFeatureAvx2);
  for (int step : {6, 8}) {
    for (const HueBlock& setting : {HueBlock{-200, 0, 150, 10}, HueBlock{5, 40, 90, 10}}) {
      for (int red = 0; red < 256; red += 5) {
        TestImage colours;
        colours.width = 65536;
        colours.height = 1;
        colours.step = step;
        colours.stride = step * 65536;
        colours.bytes.resize(colours.stride);
        for (int i = 0; i < 65536; ++i) {
          const uint32_t words[4] = {static_cast<uint32_t>((i & 0xFF) << 2 | (i & 3)),
                                     static_cast<uint32_t>((i >> 8) << 2 | (i >> 3 & 3)),
                                     static_cast<uint32_t>(red << 2 | (i >> 5 & 3)), static_cast<uint32_t>(i ^ 0x5A5A)};
          for (int c = 0; c < step / 2; ++c) colours.SetSample(i, 0, c, 2, words[c]);
        }
        TestImage scalar = colours;
        TestImage inPlace = colours;
        HueBlock block = setting;
        ASSERT_EQ(RunKernel(HueSaturationBgr16, scalar, colours, {0, 0, 65536, 1}, 0, 0, &block), 1);
        ASSERT_EQ(RunKernel(vector, inPlace, inPlace, {0, 0, 65536, 1}, 0, 0, &block), 1);
        ASSERT_EQ(inPlace.bytes, scalar.bytes)
            << "lightness " << setting.lightness << " red " << red << " step " << step;
      }
    }
  }
}

TEST_F(HueSaturationKernelTest, EightBitSampleWidthOnWordsEqualsTheByteKernel) {
  for (int step : {6, 8}) {
    TestImage words = RandomWordImage(19, 3, step, 255, random_);
    TestImage bytes = RandomImage(19, 3, step / 2, random_);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 19; ++x) {
        for (int c = 0; c < 3; ++c) bytes.SetSample(x, y, c, 1, words.Sample(x, y, c, 2));
      }
    }
    HueBlock block{-45, 0, 120, 8};
    ASSERT_EQ(RunKernel(HueSaturationBgr8, bytes, bytes, {0, 0, 19, 3}, 0, 0, &block), 1);
    const TestImage before = words;
    ASSERT_EQ(RunKernel(HueSaturationBgr16, words, words, {0, 0, 19, 3}, 0, 0, &block), 1);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 19; ++x) {
        for (int c = 0; c < 3; ++c) ASSERT_EQ(words.Sample(x, y, c, 2), bytes.Sample(x, y, c, 1));
        if (step == 8) {
          ASSERT_EQ(words.Sample(x, y, 3, 2), before.Sample(x, y, 3, 2));
        }
      }
    }
  }
}

TEST_F(HueSaturationKernelTest, TwelveBitSamplesTurnTheirTopBitsAndKeepTheRest) {
  TestImage image = RandomWordImage(64, 2, 6, 65535, random_);
  for (int x = 0; x < 8; ++x) {  // gray pixels, some above the 12-bit range
    const uint32_t v = x < 4 ? 0x123u * (x + 1) : 5000u + x;
    for (int c = 0; c < 3; ++c) image.SetSample(x, 0, c, 2, v);
  }
  const TestImage before = image;
  HueBlock block{90, 0, 200, 12};
  ASSERT_EQ(RunKernel(HueSaturationBgr16, image, image, {0, 0, 64, 2}, 0, 0, &block), 1);
  const ReferenceHueSaturation reference(90, 0, 200);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 64; ++x) {
      uint32_t in[3];
      for (int c = 0; c < 3; ++c) in[c] = std::min<uint32_t>(before.Sample(x, y, c, 2), 4095);
      const uint32_t turned = reference.Pixel(in[0] >> 4, in[1] >> 4, in[2] >> 4);
      for (int c = 0; c < 3; ++c) {
        const uint32_t expected = (((turned >> (8 * c)) & 0xFF) << 4) | (in[c] & 0xF);
        ASSERT_EQ(image.Sample(x, y, c, 2), expected) << x << "," << y << " channel " << c;
      }
    }
  }
  for (int x = 0; x < 4; ++x) EXPECT_EQ(image.Sample(x, 0, 1, 2), 0x123u * (x + 1));
  EXPECT_EQ(image.Sample(5, 0, 0, 2), 4095u);
}

// Two cameras converting at once with different settings must each get what
// they would get alone.
TEST_F(HueSaturationKernelTest, ConcurrentCamerasWithDifferentSaturationDoNotDisturbEachOther) {
  const TestImage frame = RandomImage(97, 23, 3, random_);
  const HueBlock blocks[2] = {{40, 0, -180, 8}, {40, 0, 230, 8}};
  RectangleKernel kernel = SelectHueSaturationBgr8(kAllFeatures);
  if (!__builtin_cpu_supports("avx512vbmi")) kernel = HueSaturationBgr8;
  TestImage alone[2] = {frame, frame};
  for (int camera = 0; camera < 2; ++camera) {
    HueBlock block = blocks[camera];
    ASSERT_EQ(RunKernel(kernel, alone[camera], frame, {0, 0, 97, 23}, 0, 0, &block), 1);
  }
  ASSERT_NE(alone[0].bytes, alone[1].bytes);
  int mismatches[2] = {0, 0};
  std::atomic<int> ready{0};
  std::vector<std::thread> cameras;
  for (int camera = 0; camera < 2; ++camera) {
    cameras.emplace_back([&, camera] {
      ready.fetch_add(1);
      while (ready.load() < 2) std::this_thread::yield();
      for (int round = 0; round < 600; ++round) {
        TestImage output = frame;
        HueBlock block = blocks[camera];
        RunKernel(round % 2 == 0 ? kernel : HueSaturationBgr8, output, frame, {0, 0, 97, 23}, 0, 0, &block);
        if (output.bytes != alone[camera].bytes) ++mismatches[camera];
      }
    });
  }
  for (std::thread& camera : cameras) camera.join();
  EXPECT_EQ(mismatches[0], 0);
  EXPECT_EQ(mismatches[1], 0);
}

TEST_F(HueSaturationKernelTest, NarrowPixelsAndMissingBlockAreRefused) {
  TestImage image = RandomImage(4, 4, 3, random_);
  EXPECT_EQ(RunKernel(HueSaturationBgr8, image, image, {0, 0, 4, 4}, 0, 0, nullptr), 0);
  HueBlock block{10, 0, 10, 12};
  EXPECT_EQ(RunKernel(HueSaturationBgr16, image, image, {0, 0, 4, 4}, 0, 0, &block), 0);
}

}  // namespace
}  // namespace zirvo
