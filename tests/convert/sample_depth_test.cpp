// Sample-depth reductions, expansions and channel reorderings.
#include "convert/sample_depth.h"

#include <gtest/gtest.h>

#include "support/kernel_reference.h"

namespace zirvo {
namespace {

using test::MakeImage;
using test::RandomImage;
using test::RandomImage16;
using test::TestImage;

TestImage OneSampleRow(std::initializer_list<uint16_t> samples) {
  TestImage image = MakeImage(static_cast<int32_t>(samples.size()), 1, 2);
  int32_t column = 0;
  for (uint16_t sample : samples) {
    image.At(0, column)[0] = static_cast<uint8_t>(sample);
    image.At(0, column)[1] = static_cast<uint8_t>(sample >> 8);
    ++column;
  }
  return image;
}

TEST(ReduceMono, KeepsBitsFourToElevenOrTwoToNine) {
  TestImage source = OneSampleRow({4095, 16, 1023, 1024});
  TestImage shift4 = MakeImage(4, 1, 1);
  TestImage shift2 = MakeImage(4, 1, 1);
  ASSERT_EQ(test::RunKernel(&ReduceMono16Shift4, shift4, source, source.Whole(), 0, 0), 1);
  ASSERT_EQ(test::RunKernel(&ReduceMono16Shift2, shift2, source, source.Whole(), 0, 0), 1);
  EXPECT_EQ(*shift4.At(0, 0), 255);
  EXPECT_EQ(*shift4.At(0, 1), 1);
  EXPECT_EQ(*shift2.At(0, 2), 255);
  EXPECT_EQ(*shift2.At(0, 0), 255);  // bits 2-9 of 0x0FFF
  EXPECT_EQ(*shift2.At(0, 3), 0);
}

TEST(ReduceMono, Shift2FlipsTheRowsAndShift4KeepsThem) {
  for (auto [width, height] : test::KernelTestSizes()) {
    TestImage source = RandomImage16(width, height, 1, width * 3 + height);
    TestImage ordered = MakeImage(width, height, 1);
    TestImage flipped = MakeImage(width, height, 1);
    test::RunKernel(&ReduceMono16Shift4, ordered, source, source.Whole(), 0, 0);
    test::RunKernel(&ReduceMono16Shift2, flipped, source, source.Whole(), 0, 0);
    for (int32_t row = 0; row < height; ++row) {
      for (int32_t column = 0; column < width; ++column) {
        ASSERT_EQ(*ordered.At(row, column), (source.Sample16(row, column) >> 4) & 0xFF);
        ASSERT_EQ(*flipped.At(row, column),
                  (source.Sample16(height - 1 - row, column) >> 2) & 0xFF);
      }
    }
  }
}

class ReduceBgr : public ::testing::TestWithParam<int> {};

TEST_P(ReduceBgr, TakesWordsZeroToTwoOfEachPixel) {
  int words = GetParam();
  for (auto [width, height] : test::KernelTestSizes()) {
    TestImage source = RandomImage16(width, height, words, width + height);
    TestImage ordered = MakeImage(width, height, 3);
    TestImage flipped = MakeImage(width, height, 3);
    ASSERT_EQ(test::RunKernel(&ReduceBgr16Shift4, ordered, source, source.Whole(), 0, 0), 1);
    ASSERT_EQ(test::RunKernel(&ReduceBgr16Shift2, flipped, source, source.Whole(), 0, 0), 1);
    for (int32_t row = 0; row < height; ++row) {
      for (int32_t column = 0; column < width; ++column) {
        for (int word = 0; word < 3; ++word) {
          ASSERT_EQ(ordered.At(row, column)[word], (source.Sample16(row, column, word) >> 4) & 0xFF);
          ASSERT_EQ(flipped.At(row, column)[word],
                    (source.Sample16(height - 1 - row, column, word) >> 2) & 0xFF);
        }
      }
    }
  }
}

TEST_P(ReduceBgr, MapsAnInnerRectangleToADestinationPoint) {
  int words = GetParam();
  TestImage source = RandomImage16(41, 9, words, 77);
  TestImage destination = RandomImage(45, 12, 3, 78);
  TestImage before = destination;
  KernelRect rect{3, 2, 40, 8};
  ASSERT_EQ(test::RunKernel(&ReduceBgr16Shift2, destination, source, rect, 5, 4), 1);
  for (int32_t row = 0; row < destination.height; ++row) {
    for (int32_t column = 0; column < destination.width; ++column) {
      bool inside = row >= 4 && row < 10 && column >= 5 && column < 42;
      for (int word = 0; word < 3; ++word) {
        uint8_t expected = inside ? static_cast<uint8_t>(
                                        source.Sample16(8 - 1 - (row - 4), column - 5 + 3, word) >> 2)
                                  : before.At(row, column)[word];
        ASSERT_EQ(destination.At(row, column)[word], expected) << row << "," << column;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(FortyEightAndSixtyFourBits, ReduceBgr, ::testing::Values(3, 4));

TEST(ExpandMono, ShiftsLeftByFourKeepingSixteenBitsInPlace) {
  TestImage image = OneSampleRow({4095, 0x1234, 1});
  ASSERT_EQ(test::RunInPlace(&ExpandMono16Shift4, image, image.Whole()), 1);
  EXPECT_EQ(image.Sample16(0, 0), 0xFFF0);
  EXPECT_EQ(image.Sample16(0, 1), 0x2340);
  EXPECT_EQ(image.Sample16(0, 2), 16);
}

struct ExpandCase {
  RectangleKernel kernel;
  int words;
  bool swap;
};

class ExpandBgr : public ::testing::TestWithParam<ExpandCase> {};

TEST_P(ExpandBgr, ShiftsChannelsBySixInPlace) {
  const ExpandCase& expand = GetParam();
  for (auto [width, height] : test::KernelTestSizes()) {
    TestImage original = RandomImage16(width, height, expand.words, width * height + 1);
    TestImage image = original;
    ASSERT_EQ(test::RunInPlace(expand.kernel, image, image.Whole()), 1);
    for (int32_t row = 0; row < height; ++row) {
      for (int32_t column = 0; column < width; ++column) {
        for (int word = 0; word < 3; ++word) {
          int from = expand.swap ? 2 - word : word;
          ASSERT_EQ(image.Sample16(row, column, word),
                    static_cast<uint16_t>(original.Sample16(row, column, from) << 6));
        }
        if (expand.words == 4) {
          ASSERT_EQ(image.Sample16(row, column, 3), 0xFFFF);
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, ExpandBgr,
                         ::testing::Values(ExpandCase{&ExpandBgr48Shift6, 3, false},
                                           ExpandCase{&ExpandBgr64Shift6, 4, false},
                                           ExpandCase{&ExpandSwapRgb48Shift6, 3, true},
                                           ExpandCase{&ExpandSwapRgb64Shift6, 4, true}));

TEST(SwapBgr, ReversesTheFirstThreeBytesAndLeavesTheFourth) {
  for (int bytes : {3, 4}) {
    TestImage original = RandomImage(9, 5, bytes, bytes);
    TestImage image = original;
    ASSERT_EQ(test::RunInPlace(&SwapBgrToRgb24, image, image.Whole()), 1);
    for (int32_t row = 0; row < 5; ++row) {
      for (int32_t column = 0; column < 9; ++column) {
        const uint8_t* before = original.At(row, column);
        const uint8_t* after = image.At(row, column);
        ASSERT_EQ(after[0], before[2]);
        ASSERT_EQ(after[1], before[1]);
        ASSERT_EQ(after[2], before[0]);
        if (bytes == 4) {
          ASSERT_EQ(after[3], before[3]);
        }
      }
    }
  }
}

TEST(SwapBgr, IntoAnotherBufferKeepsTheDestinationsFourthByteAtEveryWidth) {
  for (int32_t width = 1; width <= 19; ++width) {
    TestImage source = RandomImage(width, 3, 4, width);
    TestImage destination = MakeImage(width, 3, 4);
    for (std::size_t i = 3; i < destination.bytes.size(); i += 4) destination.bytes[i] = 0x5A;
    ASSERT_EQ(test::RunKernel(&SwapBgrToRgb24, destination, source, source.Whole(), 0, 0), 1);
    for (int32_t row = 0; row < 3; ++row) {
      for (int32_t column = 0; column < width; ++column) {
        const uint8_t* in = source.At(row, column);
        const uint8_t* out = destination.At(row, column);
        ASSERT_EQ(out[0], in[2]) << "width " << width << " column " << column;
        ASSERT_EQ(out[1], in[1]) << "width " << width << " column " << column;
        ASSERT_EQ(out[2], in[0]) << "width " << width << " column " << column;
        ASSERT_EQ(out[3], 0x5A) << "width " << width << " column " << column;
      }
    }
  }
}

TEST(InvertAlpha, CopiesColourAndInvertsTheFourthByte) {
  TestImage source = MakeImage(2, 1, 4);
  source.bytes = {1, 2, 3, 0, 4, 5, 6, 200};
  TestImage destination = MakeImage(2, 1, 4);
  ASSERT_EQ(test::RunKernel(&CopyBgra32InvertAlpha, destination, source, source.Whole(), 0, 0),
            1);
  EXPECT_EQ(destination.bytes, (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 55}));
}

TEST(InvertAlpha, MatchesPerPixelReadingOnRandomFramesInPlace) {
  for (auto [width, height] : test::KernelTestSizes()) {
    TestImage original = RandomImage(width, height, 4, width * 5 + height);
    TestImage image = original;
    ASSERT_EQ(test::RunInPlace(&CopyBgra32InvertAlpha, image, image.Whole()), 1);
    for (int32_t row = 0; row < height; ++row) {
      for (int32_t column = 0; column < width; ++column) {
        for (int byte = 0; byte < 3; ++byte) {
          ASSERT_EQ(image.At(row, column)[byte], original.At(row, column)[byte]);
        }
        ASSERT_EQ(image.At(row, column)[3], 255 - original.At(row, column)[3]);
      }
    }
  }
}

TEST(SwapBgr, MatchesPerPixelReadingOnRandomFrames) {
  for (int bytes : {3, 4}) {
    for (auto [width, height] : test::KernelTestSizes()) {
      TestImage original = RandomImage(width, height, bytes, width + height + bytes);
      TestImage image = original;
      ASSERT_EQ(test::RunInPlace(&SwapBgrToRgb24, image, image.Whole()), 1);
      for (int32_t row = 0; row < height; ++row) {
        for (int32_t column = 0; column < width; ++column) {
          ASSERT_EQ(image.At(row, column)[0], original.At(row, column)[2]);
          ASSERT_EQ(image.At(row, column)[2], original.At(row, column)[0]);
          ASSERT_EQ(image.At(row, column)[1], original.At(row, column)[1]);
        }
      }
      // Row padding stays as it was.
      for (int32_t row = 0; row < height; ++row) {
        for (int32_t at = width * bytes; at < image.stride; ++at) {
          ASSERT_EQ(image.bytes[row * image.stride + at], original.bytes[row * image.stride + at]);
        }
      }
    }
  }
}

TEST(SampleDepthFormats, RefusePixelSizesThatDoNotFit) {
  TestImage eight = RandomImage(4, 2, 1, 1);
  TestImage gray = MakeImage(4, 2, 1);
  TestImage colour = MakeImage(4, 2, 3);
  EXPECT_EQ(test::RunKernel(&ReduceMono16Shift4, gray, eight, eight.Whole(), 0, 0), 0);
  EXPECT_EQ(test::RunKernel(&ReduceBgr16Shift4, colour, eight, eight.Whole(), 0, 0), 0);
  EXPECT_EQ(test::RunInPlace(&ExpandBgr48Shift6, colour, colour.Whole()), 0);
  EXPECT_EQ(test::RunInPlace(&CopyBgra32InvertAlpha, colour, colour.Whole()), 0);
}

}  // namespace
}  // namespace zirvo
