// The recording's 24-bit frame: every output depth, odd widths, rows reversed.
#include "output/record_frame.h"

#include <gtest/gtest.h>

#include <random>

#include "display/frame_bitmap.h"

namespace zirvo {
namespace {

void FillRandom(FrameBitmap& bitmap, uint32_t seed) {
  std::mt19937 random(seed);
  const std::size_t size = static_cast<std::size_t>(bitmap.Stride()) * bitmap.Height();
  for (std::size_t i = 0; i < size; ++i) bitmap.Pixels()[i] = static_cast<uint8_t>(random());
}

uint16_t Word(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

// The three bytes that the recording must hold for one source pixel.
void Expected(const uint8_t* pixel, int bits, uint8_t out[3]) {
  switch (bits) {
    case 8:
      out[0] = out[1] = out[2] = pixel[0];
      break;
    case 16:
      out[0] = out[1] = out[2] = static_cast<uint8_t>(Word(pixel) >> 2);
      break;
    case 24:
    case 32:
      for (int c = 0; c < 3; ++c) out[c] = pixel[c];
      break;
    default:
      for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(Word(pixel + 2 * c) >> 2);
      break;
  }
}

class RecordFrameTest : public ::testing::TestWithParam<int> {};

TEST_P(RecordFrameTest, EveryPixelLandsInTheMirroredRowAsTwentyFourBits) {
  const int bits = GetParam();
  for (auto [width, height] : {std::pair{1, 1}, {3, 2}, {5, 7}, {17, 3}, {33, 4}, {70, 2}}) {
    FrameBitmap frame;
    ASSERT_EQ(frame.Create(width, height, bits), 1);
    FillRandom(frame, static_cast<uint32_t>(width * 100 + bits));
    FrameBitmap record;
    ASSERT_EQ(ConvertFrameForRecording(frame, record), 1);
    ASSERT_EQ(record.BitsPerPixel(), 24);
    ASSERT_EQ(record.Width(), width);
    ASSERT_EQ(record.Height(), height);
    for (int32_t row = 0; row < height; ++row) {
      const uint8_t* in = frame.Pixels() + static_cast<std::size_t>(height - 1 - row) * frame.Stride();
      const uint8_t* out = record.Pixels() + static_cast<std::size_t>(row) * record.Stride();
      for (int32_t x = 0; x < width; ++x) {
        uint8_t expected[3];
        Expected(in + x * frame.BytesPerPixel(), bits, expected);
        for (int c = 0; c < 3; ++c) {
          ASSERT_EQ(out[3 * x + c], expected[c])
              << width << "x" << height << " row " << row << " x " << x << " byte " << c;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, RecordFrameTest, ::testing::Values(8, 16, 24, 32, 48, 64),
                         [](const auto& info) { return std::to_string(info.param) + "Bits"; });

TEST(RecordFrame, TheRecordingBitmapIsKeptWhileTheSizeStaysAndRemadeWhenItChanges) {
  FrameBitmap frame;
  ASSERT_EQ(frame.Create(6, 4, 32), 1);
  FrameBitmap record;
  ASSERT_EQ(ConvertFrameForRecording(frame, record), 1);
  const uint8_t* first = record.Pixels();
  ASSERT_EQ(ConvertFrameForRecording(frame, record), 1);
  EXPECT_EQ(record.Pixels(), first);
  ASSERT_EQ(frame.Create(7, 4, 8), 1);
  ASSERT_EQ(ConvertFrameForRecording(frame, record), 1);
  EXPECT_EQ(record.Width(), 7);
  EXPECT_EQ(record.Stride(), 24);
}

TEST(RecordFrame, AnEmptyFrameIsRefusedAndMakesNoBitmap) {
  FrameBitmap empty;
  FrameBitmap record;
  EXPECT_EQ(ConvertFrameForRecording(empty, record), 0);
  EXPECT_EQ(record.Pixels(), nullptr);
}

}  // namespace
}  // namespace zirvo
