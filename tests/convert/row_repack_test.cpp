// Row repacking and 8-to-16-bit widening, in place.
#include "convert/row_repack.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/kernel_reference.h"

namespace zirvo {
namespace {

using test::KernelTestSizes;
using test::MakeImage;
using test::TestImage;

// A bitmap whose first width x height x bytes bytes hold a packed frame.
struct PackedFrame {
  TestImage bitmap;
  std::vector<uint8_t> packed;
};

PackedFrame MakePacked(int32_t width, int32_t height, int bytesPerSample, int bitmapBytes,
                       uint32_t seed) {
  PackedFrame frame{MakeImage(width, height, bitmapBytes), {}};
  std::mt19937 random(seed);
  for (uint8_t& byte : frame.bitmap.bytes) byte = static_cast<uint8_t>(random());
  frame.packed.assign(frame.bitmap.bytes.begin(),
                      frame.bitmap.bytes.begin() + static_cast<ptrdiff_t>(width) * height *
                                                       bytesPerSample);
  return frame;
}

int RunWhole(RectangleKernel kernel, TestImage& image) {
  return test::RunInPlace(kernel, image, image.Whole());
}

TEST(RowRepack, SpreadsPackedRowsToTheStrideInPlace) {
  for (int bytes : {1, 2}) {
    for (auto [width, height] : KernelTestSizes()) {
      PackedFrame frame = MakePacked(width, height, bytes, bytes, width * 31 + height);
      ASSERT_EQ(RunWhole(bytes == 1 ? &RepackRows8 : &RepackRows16, frame.bitmap), 1);
      for (int32_t row = 0; row < height; ++row) {
        ASSERT_EQ(std::memcmp(frame.bitmap.At(row, 0),
                              frame.packed.data() + static_cast<size_t>(row) * width * bytes,
                              static_cast<size_t>(width) * bytes),
                  0)
            << width << "x" << height << " row " << row;
      }
    }
  }
}

TEST(RowRepack, MovesTheRowsOfA1390WideFrame) {
  PackedFrame frame = MakePacked(1390, 3, 1, 1, 4);
  ASSERT_EQ(frame.bitmap.stride, 1392);
  RunWhole(&RepackRows8, frame.bitmap);
  EXPECT_EQ(*frame.bitmap.At(1, 0), frame.packed[1390]);
  EXPECT_EQ(*frame.bitmap.At(2, 1389), frame.packed[3 * 1390 - 1]);
}

TEST(RowRepack, RefusesAStrideShorterThanAPackedRow) {
  TestImage image = MakeImage(8, 2, 1, 4);
  EXPECT_EQ(test::RunKernel(&RepackRows8, image, image, KernelRect{0, 0, 8, 2}, 0, 0), 0);
}

TEST(WidenSamples, TurnsPackedBytesIntoSamplesTimesFourAtTheStride) {
  for (auto [width, height] : KernelTestSizes()) {
    PackedFrame frame = MakePacked(width, height, 1, 2, width * 7 + height);
    ASSERT_EQ(RunWhole(&WidenSamples8To16, frame.bitmap), 1);
    for (int32_t row = 0; row < height; ++row) {
      for (int32_t column = 0; column < width; ++column) {
        ASSERT_EQ(frame.bitmap.Sample16(row, column),
                  frame.packed[static_cast<size_t>(row) * width + column] * 4)
            << width << "x" << height << " at " << row << "," << column;
      }
    }
  }
}

TEST(WidenSamples, MapsTheExtremes) {
  TestImage image = MakeImage(2, 1, 2);
  image.bytes[0] = 255;
  image.bytes[1] = 1;
  RunWhole(&WidenSamples8To16, image);
  EXPECT_EQ(image.Sample16(0, 0), 1020);
  EXPECT_EQ(image.Sample16(0, 1), 4);
}

}  // namespace
}  // namespace zirvo
