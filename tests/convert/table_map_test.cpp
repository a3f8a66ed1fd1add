// Byte and word table passes: vector against scalar, untouched fourth channels, clamped word indexes.
#include "convert/table_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "convert/brightness.h"
#include "convert/processor.h"
#include "support/filter_reference.h"

namespace zirvo {
namespace {

using test::RandomImage;
using test::TestImage;

constexpr uint32_t kVbmi = kFeatureAvx2 | kFeatureAvx512 | kFeatureAvx512Vbmi;

std::vector<uint8_t> RandomByteTable(std::mt19937& random) {
  std::vector<uint8_t> table(256);
  std::uniform_int_distribution<int> byte(0, 255);
  for (uint8_t& entry : table) entry = static_cast<uint8_t>(byte(random));
  return table;
}

PixelWalk WalkOver(TestImage& destination, const TestImage& source, const KernelRect& rect, int x, int y) {
  return MakePixelWalk(destination.data(), source.data(), rect, x, y, destination.step, source.step,
                       destination.stride, source.stride);
}

class ByteTablePassTest : public ::testing::Test {
 protected:
  void CompareVectorWithScalar(int width, int height, int step, int channels, uint32_t features) {
    const TestImage source = RandomImage(width, height, step, random_);
    const TestImage background = RandomImage(width + 3, height + 2, step, random_);
    const std::vector<uint8_t> table = RandomByteTable(random_);
    const KernelRect rects[] = {{0, 0, width, height}, {width / 3, height / 2, width, height}};
    for (const KernelRect& rect : rects) {
      for (int offset : {0, 3}) {
        TestImage scalar = background;
        TestImage vector = background;
        MapByteTable(WalkOver(scalar, source, rect, offset, offset / 3), channels, table.data());
        SelectByteTablePass(features)(WalkOver(vector, source, rect, offset, offset / 3), channels,
                                      table.data());
        ASSERT_EQ(scalar.bytes, vector.bytes) << width << "x" << height << " step " << step << " rect.left "
                                              << rect.left << " offset " << offset;
      }
    }
  }

  std::mt19937 random_{7730};
};

TEST_F(ByteTablePassTest, VectorPassesEqualScalarOnManySizes) {
  std::vector<uint32_t> featureSets;
  if (__builtin_cpu_supports("avx512vbmi")) featureSets.push_back(kVbmi);
  if (__builtin_cpu_supports("avx2")) featureSets.push_back(kFeatureAvx2);
  if (featureSets.empty()) GTEST_SKIP() << "no AVX2";
  const int widths[] = {1, 2, 4, 5, 10, 11, 15, 16, 17, 21, 22, 31, 32, 33, 63, 64, 65, 127, 128, 129, 200};
  for (uint32_t features : featureSets) {
    for (int width : widths) {
      for (int height : {1, 4, 5, 7}) {
        CompareVectorWithScalar(width, height, 1, 1, features);
        CompareVectorWithScalar(width, height, 3, 3, features);
        CompareVectorWithScalar(width, height, 4, 3, features);
      }
    }
  }
}

TEST_F(ByteTablePassTest, FourthChannelIsNeverWritten) {
  std::vector<uint8_t> table(256, 0);
  TestImage image = RandomImage(37, 3, 4, random_);
  const TestImage before = image;
  for (ByteTablePass pass : {SelectByteTablePass(0), SelectByteTablePass(kFeatureAvx2), SelectByteTablePass(kVbmi)}) {
    if (pass == MapByteTableAvx512Vbmi && !__builtin_cpu_supports("avx512vbmi")) continue;
    if (pass == MapByteTableAvx2 && !__builtin_cpu_supports("avx2")) continue;
    TestImage mapped = before;
    pass(WalkOver(mapped, mapped, {0, 0, 37, 3}, 0, 0), 3, table.data());
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 37; ++x) {
        EXPECT_EQ(mapped.Sample(x, y, 3, 1), before.Sample(x, y, 3, 1));
        EXPECT_EQ(mapped.Sample(x, y, 0, 1), 0u);
      }
    }
  }
}

// Every index in every position of a vector block, in place, as the
// pipeline runs it; a row whose length is no multiple of the block.
TEST_F(ByteTablePassTest, Avx2PassMapsEveryIndexInPlace) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
  const std::vector<uint8_t> table = RandomByteTable(random_);
  TestImage image;
  image.width = 257 * 31;
  image.height = 2;
  image.step = 1;
  image.stride = image.width;
  image.bytes.resize(static_cast<size_t>(image.stride) * image.height);
  for (size_t i = 0; i < image.bytes.size(); ++i) image.bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
  const TestImage before = image;
  MapByteTableAvx2(WalkOver(image, image, {0, 0, image.width, 2}, 0, 0), 1, table.data());
  for (size_t i = 0; i < image.bytes.size(); ++i) ASSERT_EQ(image.bytes[i], table[before.bytes[i]]) << i;
}

// A destination one pixel behind its source in the same row: each pixel
// reads what the pixel before it has not yet overwritten, as byte by byte.
TEST_F(ByteTablePassTest, Avx2PassOnOverlappingRowsFollowsTheScalarOrder) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
  const std::vector<uint8_t> table = RandomByteTable(random_);
  const TestImage image = RandomImage(100, 2, 3, random_);
  TestImage scalar = image;
  TestImage vector = image;
  MapByteTable(MakePixelWalk(scalar.data(), scalar.data(), {1, 0, 100, 2}, 0, 0, 3, 3, scalar.stride,
                             scalar.stride),
               3, table.data());
  MapByteTableAvx2(MakePixelWalk(vector.data(), vector.data(), {1, 0, 100, 2}, 0, 0, 3, 3, vector.stride,
                                 vector.stride),
                   3, table.data());
  EXPECT_EQ(vector.bytes, scalar.bytes);
}

// Brightness tables are mostly plain scalings, which the AVX2 pass computes
// instead of looking up: every setting, every byte, both pixel layouts.
TEST_F(ByteTablePassTest, Avx2PassEqualsScalarForEveryBrightnessTable) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
  for (int step : {3, 4}) {
    TestImage image = RandomImage(257, 2, step, random_);
    for (int i = 0; i < 256; ++i) image.bytes[i] = static_cast<uint8_t>(i);
    for (int32_t brightness = -255; brightness <= 255; ++brightness) {
      uint8_t table[256];
      BuildBrightnessTable8(brightness, table);
      TestImage scalar = image;
      TestImage vector = image;
      MapByteTable(WalkOver(scalar, scalar, {0, 0, 257, 2}, 0, 0), 3, table);
      MapByteTableAvx2(WalkOver(vector, vector, {0, 0, 257, 2}, 0, 0), 3, table);
      ASSERT_EQ(vector.bytes, scalar.bytes) << "brightness " << brightness << " step " << step;
    }
  }
}

// A table one entry away from a scaling is looked up, not scaled.
TEST_F(ByteTablePassTest, Avx2PassKeepsATableThatOnlyNearlyScales) {
  if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "no AVX2";
  for (int changed : {1, 17, 128, 200, 255}) {
    std::vector<uint8_t> table(256);
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(std::min(255, i * 3 / 2));
    table[changed] = static_cast<uint8_t>(table[changed] - 1);
    TestImage image = RandomImage(300, 1, 1, random_);
    for (int i = 0; i < 256; ++i) image.bytes[i] = static_cast<uint8_t>(i);
    TestImage scalar = image;
    MapByteTable(WalkOver(scalar, scalar, {0, 0, 300, 1}, 0, 0), 1, table.data());
    MapByteTableAvx2(WalkOver(image, image, {0, 0, 300, 1}, 0, 0), 1, table.data());
    ASSERT_EQ(image.bytes, scalar.bytes) << "entry " << changed;
  }
}

TEST_F(ByteTablePassTest, NothingOutsideTheDestinationRectangleChanges) {
  std::vector<uint8_t> table(256);
  std::iota(table.begin(), table.end(), 1);
  const TestImage source = RandomImage(9, 6, 3, random_);
  TestImage destination = RandomImage(12, 8, 3, random_);
  const TestImage before = destination;
  MapByteTable(WalkOver(destination, source, {2, 1, 7, 4}, 4, 3), 3, table.data());
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 12; ++x) {
      const bool inside = x >= 4 && x < 9 && y >= 3 && y < 6;
      for (int c = 0; c < 3; ++c) {
        const uint32_t expected =
            inside ? table[source.Sample(x - 4 + 2, y - 3 + 1, c, 1)] : before.Sample(x, y, c, 1);
        ASSERT_EQ(destination.Sample(x, y, c, 1), expected) << x << "," << y;
      }
    }
  }
}

TEST(SelectByteTablePass, UsesTheWidestSetPresent) {
  EXPECT_EQ(SelectByteTablePass(0), MapByteTable);
  EXPECT_EQ(SelectByteTablePass(kFeatureAvx2), MapByteTableAvx2);
  EXPECT_EQ(SelectByteTablePass(kFeatureAvx2 | kFeatureAvx512), MapByteTableAvx2);
  EXPECT_EQ(SelectByteTablePass(kVbmi), MapByteTableAvx512Vbmi);
}

TEST(WordTablePass, SamplesBeyondTheTableReadItsLastEntry) {
  std::vector<uint16_t> table(1024);
  std::iota(table.begin(), table.end(), 100);
  TestImage image;
  image.width = 4;
  image.height = 1;
  image.step = 6;
  image.stride = 24;
  image.bytes.assign(24, 0);
  const uint32_t samples[4] = {0, 1023, 1024, 65535};
  for (int x = 0; x < 4; ++x) image.SetSample(x, 0, 1, 2, samples[x]);
  MapWordTable(WalkOver(image, image, {0, 0, 4, 1}, 0, 0), 3, table.data(), 1024);
  EXPECT_EQ(image.Sample(0, 0, 1, 2), 100u);
  EXPECT_EQ(image.Sample(1, 0, 1, 2), 1123u);
  EXPECT_EQ(image.Sample(2, 0, 1, 2), 1123u);
  EXPECT_EQ(image.Sample(3, 0, 1, 2), 1123u);
  EXPECT_EQ(image.Sample(0, 0, 0, 2), 100u);
}

TEST(WalkChecks, RefuseMissingBuffersAndNarrowPixels) {
  uint8_t buffer[16] = {};
  const uint8_t table[256] = {};
  const PixelWalk good = MakePixelWalk(buffer, buffer, {0, 0, 2, 2}, 0, 0, 3, 3, 8, 8);
  EXPECT_EQ(RunByteTablePass(good, 3, table, MapByteTable), 1);
  PixelWalk noSource = good;
  noSource.source = nullptr;
  EXPECT_EQ(RunByteTablePass(noSource, 3, table, MapByteTable), 0);
  PixelWalk narrow = good;
  narrow.sourceStep = 2;
  EXPECT_EQ(RunByteTablePass(narrow, 3, table, MapByteTable), 0);
}

}  // namespace
}  // namespace zirvo
