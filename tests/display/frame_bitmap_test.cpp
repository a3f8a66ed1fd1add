// FrameBitmap: sizes, storage, palettes, copies and the two kernel contracts.
#include "display/frame_bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace zirvo {
namespace {

struct KernelCall {
  int calls = 0;
  KernelRect rect;
  int x = -1;
  int y = -1;
  int destinationBytes = 0;
  int sourceBytes = 0;
  int destinationStride = 0;
  int sourceStride = 0;
  void* parameter = nullptr;
};

int RecordingKernel(uint8_t*, const uint8_t*, const KernelRect& rect, int x, int y,
                    int destinationBytes, int sourceBytes, int destinationStride,
                    int sourceStride, void* parameter, void* extra) {
  auto* call = static_cast<KernelCall*>(extra);
  ++call->calls;
  *call = {call->calls, rect, x, y, destinationBytes, sourceBytes, destinationStride,
           sourceStride, parameter};
  return 42;
}

struct ScalerCall {
  KernelRect to;
  KernelRect from;
  int sizes[4] = {};
  int value = 0;
};

int RecordingScaler(uint8_t*, const uint8_t*, const KernelRect& to, const KernelRect& from,
                    int destinationWidth, int destinationHeight, int sourceWidth,
                    int sourceHeight, int, int, int, int, int value, void* user) {
  auto* call = static_cast<ScalerCall*>(user);
  *call = {to, from, {destinationWidth, destinationHeight, sourceWidth, sourceHeight}, value};
  return 7;
}

bool AllZero(const FrameBitmap& bitmap) {
  const uint8_t* pixels = bitmap.Pixels();
  size_t bytes = static_cast<size_t>(bitmap.Stride()) * bitmap.Height();
  return std::all_of(pixels, pixels + bytes, [](uint8_t byte) { return byte == 0; });
}

void ExpectRect(const KernelRect& rect, int32_t left, int32_t top, int32_t right,
                int32_t bottom) {
  EXPECT_EQ(rect.left, left);
  EXPECT_EQ(rect.top, top);
  EXPECT_EQ(rect.right, right);
  EXPECT_EQ(rect.bottom, bottom);
}

TEST(FrameBitmapCreation, RoundsTheStrideOfEveryDepthToFourBytes) {
  FrameBitmap bitmap;
  const int depths[] = {8, 16, 24, 32, 48, 64};
  const int32_t strides640[] = {640, 1280, 1920, 2560, 3840, 5120};
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(bitmap.Create(640, 2, depths[i]), 1);
    EXPECT_EQ(bitmap.Stride(), strides640[i]);
    EXPECT_EQ(bitmap.BitsPerPixel(), depths[i]);
  }
  ASSERT_EQ(bitmap.Create(1001, 10, 8), 1);
  EXPECT_EQ(bitmap.Stride(), 1004);
  ASSERT_EQ(bitmap.Create(1001, 10, 24), 1);
  EXPECT_EQ(bitmap.Stride(), 3004);
}

TEST(FrameBitmapCreation, EightBitsGetASurfaceAContextAndTheGrayRamp) {
  FrameBitmap bitmap;
  ASSERT_EQ(bitmap.Create(640, 480, 8), 1);
  EXPECT_TRUE(bitmap.HasSurface());
  ASSERT_NE(bitmap.Context(), nullptr);
  platform::SurfaceView view{};
  ASSERT_TRUE(platform::DescribeSelectedSurface(*bitmap.Context(), &view));
  EXPECT_EQ(view.pixels, bitmap.Pixels());
  EXPECT_EQ(view.stride, 640);
  for (int i : {0, 1, 128, 255}) {
    EXPECT_EQ(view.colors[i].blue, i);
    EXPECT_EQ(view.colors[i].red, i);
    EXPECT_EQ(bitmap.Info().colors[i].green, i);
    EXPECT_EQ(bitmap.Info().colors[i].reserved, 0);
  }
  EXPECT_EQ(bitmap.Info().header.size, 40u);
  EXPECT_EQ(bitmap.Info().header.height, 480);
  EXPECT_EQ(bitmap.Info().header.planes, 1);
  EXPECT_TRUE(AllZero(bitmap));
}

TEST(FrameBitmapCreation, FortyEightBitsAreZeroedHeapMemoryWithoutAContext) {
  FrameBitmap bitmap;
  ASSERT_EQ(bitmap.Create(640, 480, 48), 1);
  EXPECT_EQ(bitmap.Stride(), 3840);
  EXPECT_FALSE(bitmap.HasSurface());
  EXPECT_EQ(bitmap.Context(), nullptr);
  ASSERT_NE(bitmap.Pixels(), nullptr);
  EXPECT_EQ(static_cast<size_t>(bitmap.Stride()) * bitmap.Height(), 1843200u);
  EXPECT_TRUE(AllZero(bitmap));
  EXPECT_EQ(bitmap.Info().colors[5].blue, 0);
}

TEST(FrameBitmapCreation, BadArgumentsKeepThePreviousBitmap) {
  FrameBitmap bitmap;
  ASSERT_EQ(bitmap.Create(64, 48, 8), 1);
  bitmap.Pixels()[3] = 9;
  EXPECT_EQ(bitmap.Create(0, 480, 8), 0);
  EXPECT_EQ(bitmap.Create(64, -1, 8), 0);
  EXPECT_EQ(bitmap.Create(64, 48, 0), 0);
  EXPECT_EQ(bitmap.Create(64, 48, 12), 0);
  EXPECT_EQ(bitmap.Create(INT32_MAX, 1, 64), 0);
  EXPECT_EQ(bitmap.Width(), 64);
  EXPECT_EQ(bitmap.Pixels()[3], 9);
}

// Copies the source rectangle to (x, y), row by row.
int CopyKernel(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int x, int y,
               int destinationBytesPerPixel, int sourceBytesPerPixel, int destinationStride, int sourceStride,
               void*, void*) {
  for (int32_t row = 0; row < rect.Height(); ++row) {
    std::memcpy(destination + (y + row) * destinationStride + x * destinationBytesPerPixel,
                source + (rect.top + row) * sourceStride + rect.left * sourceBytesPerPixel,
                std::size_t(rect.Width() * sourceBytesPerPixel));
  }
  return 1;
}

TEST(FrameBitmapBorrow, KernelsWorkOnTheLentPixelsAndReleaseLeavesThem) {
  std::vector<uint8_t> lent(8 * 3, 0);
  for (std::size_t i = 0; i < lent.size(); ++i) lent[i] = uint8_t(i);
  FrameBitmap bitmap;
  ASSERT_EQ(bitmap.Create(5, 5, 24), 1);
  ASSERT_EQ(bitmap.Borrow(lent.data(), 8, 3, 8), 1);
  EXPECT_EQ(bitmap.Pixels(), lent.data());
  EXPECT_EQ(bitmap.Width(), 8);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_EQ(bitmap.Stride(), 8);
  EXPECT_EQ(bitmap.BitsPerPixel(), 8);
  EXPECT_FALSE(bitmap.HasSurface());
  EXPECT_EQ(bitmap.Context(), nullptr);
  // A copy into a real bitmap reads the lent rows.
  FrameBitmap copy;
  ASSERT_EQ(copy.Create(8, 3, 8), 1);
  ASSERT_EQ(copy.ApplyKernel(CopyKernel, bitmap, nullptr, 0, 0, nullptr, nullptr), 1);
  EXPECT_TRUE(std::equal(lent.begin(), lent.end(), copy.Pixels()));
  bitmap.Release();
  EXPECT_EQ(bitmap.Pixels(), nullptr);
  EXPECT_EQ(lent[23], 23);  // not freed, not cleared
}

TEST(FrameBitmapBorrow, BadArgumentsKeepThePreviousBitmap) {
  FrameBitmap bitmap;
  ASSERT_EQ(bitmap.Create(4, 4, 8), 1);
  uint8_t* before = bitmap.Pixels();
  uint8_t pixel = 0;
  EXPECT_EQ(bitmap.Borrow(nullptr, 4, 4, 8), 0);
  EXPECT_EQ(bitmap.Borrow(&pixel, 0, 4, 8), 0);
  EXPECT_EQ(bitmap.Borrow(&pixel, 1, 1, 12), 0);
  EXPECT_EQ(bitmap.Pixels(), before);
  EXPECT_TRUE(bitmap.HasSurface());
}

TEST(FrameBitmapCreation, ReleaseEmptiesEverything) {
  FrameBitmap bitmap;
  ASSERT_EQ(bitmap.Create(8, 8, 24), 1);
  EXPECT_EQ(bitmap.Release(), 0);
  EXPECT_EQ(bitmap.Pixels(), nullptr);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Stride(), 0);
  EXPECT_EQ(bitmap.BitsPerPixel(), 0);
  EXPECT_EQ(bitmap.Context(), nullptr);
  EXPECT_EQ(bitmap.Info().header.size, 40u);
  EXPECT_EQ(bitmap.Info().header.width, 0);
}

TEST(FrameBitmapPalette, KindZeroRestoresTheRampAndKindTwoSetsTheSurfaceOnly) {
  FrameBitmap bitmap;
  ASSERT_EQ(bitmap.Create(4, 4, 8), 1);
  platform::ColorEntry red[2] = {{0, 0, 200, 0}, {0, 0, 201, 0}};
  EXPECT_EQ(bitmap.SetPalette(2, red, 10, 2), 1);
  platform::SurfaceView view{};
  ASSERT_TRUE(platform::DescribeSelectedSurface(*bitmap.Context(), &view));
  EXPECT_EQ(view.colors[11].red, 201);
  EXPECT_EQ(view.colors[11].blue, 0);
  EXPECT_EQ(bitmap.Info().colors[11].red, 11);
  EXPECT_EQ(bitmap.SetPalette(1, red, 0, 2), 1);
  EXPECT_EQ(view.colors[0].red, 0);
  EXPECT_EQ(bitmap.SetPalette(0, nullptr, 0, 0), 1);
  EXPECT_EQ(view.colors[11].blue, 11);
  EXPECT_EQ(view.colors[10].red, 10);
}

TEST(FrameBitmapFormat, CopyFormatGivesAnEmptyBitmapOfTheSameFormat) {
  FrameBitmap source;
  ASSERT_EQ(source.Create(640, 480, 24), 1);
  std::memset(source.Pixels(), 0x77, 100);
  FrameBitmap copy;
  ASSERT_EQ(copy.CopyFormat(&source), 1);
  EXPECT_EQ(copy.Width(), 640);
  EXPECT_EQ(copy.Height(), 480);
  EXPECT_EQ(copy.Stride(), 1920);
  EXPECT_EQ(copy.BitsPerPixel(), 24);
  EXPECT_TRUE(copy.HasSurface());
  EXPECT_NE(copy.Pixels(), source.Pixels());
  EXPECT_TRUE(AllZero(copy));
}

TEST(FrameBitmapFormat, CopyFormatOfHeapAndGrayBitmaps) {
  FrameBitmap wide;
  ASSERT_EQ(wide.Create(5, 3, 64), 1);
  FrameBitmap copy;
  ASSERT_EQ(copy.CopyFormat(&wide), 1);
  EXPECT_FALSE(copy.HasSurface());
  EXPECT_EQ(copy.Stride(), 40);
  FrameBitmap gray;
  ASSERT_EQ(gray.Create(5, 3, 8), 1);
  ASSERT_EQ(copy.CopyFormat(&gray), 1);
  EXPECT_EQ(copy.Info().colors[200].green, 200);
  EXPECT_EQ(copy.CopyFormat(&copy), 1);
  EXPECT_EQ(copy.Width(), 5);
}

TEST(FrameBitmapFormat, CopyFormatRefusesAnUnusableSource) {
  FrameBitmap empty;
  FrameBitmap bitmap;
  ASSERT_EQ(bitmap.Create(4, 4, 8), 1);
  EXPECT_EQ(bitmap.CopyFormat(nullptr), 0);
  EXPECT_EQ(bitmap.CopyFormat(&empty), 0);
  EXPECT_EQ(bitmap.Width(), 4);
}

TEST(FrameBitmapBlit, CopiesGrayIntoColourThroughThePaletteUpright) {
  FrameBitmap gray;
  ASSERT_EQ(gray.Create(3, 2, 8), 1);
  gray.Pixels()[0] = 10;                // memory row 0 = picture bottom row
  gray.Pixels()[gray.Stride()] = 20;    // memory row 1 = picture top row
  FrameBitmap colour;
  ASSERT_EQ(colour.Create(3, 2, 24), 1);
  ASSERT_EQ(colour.BlitFrom(gray, nullptr, 0, 0), 1);
  EXPECT_EQ(colour.Pixels()[0], 10);
  EXPECT_EQ(colour.Pixels()[2], 10);
  EXPECT_EQ(colour.Pixels()[colour.Stride() + 1], 20);
}

TEST(FrameBitmapBlit, TakesARectangleInPictureCoordinates) {
  FrameBitmap source;
  ASSERT_EQ(source.Create(4, 4, 8), 1);
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      source.Pixels()[row * 4 + column] = static_cast<uint8_t>(10 * row + column);
    }
  }
  FrameBitmap destination;
  ASSERT_EQ(destination.Create(4, 4, 8), 1);
  KernelRect rect{1, 0, 3, 1};  // picture row 0 is memory row 3
  ASSERT_EQ(destination.BlitFrom(source, &rect, 0, 3), 1);
  EXPECT_EQ(destination.Pixels()[0], 31);
  EXPECT_EQ(destination.Pixels()[1], 32);
  EXPECT_EQ(destination.Pixels()[2], 0);
}

TEST(FrameBitmapBlit, FailsForHeapBitmaps) {
  FrameBitmap wide;
  ASSERT_EQ(wide.Create(4, 4, 48), 1);
  FrameBitmap colour;
  ASSERT_EQ(colour.Create(4, 4, 24), 1);
  EXPECT_EQ(colour.BlitFrom(wide, nullptr, 0, 0), 0);
  EXPECT_EQ(wide.BlitFrom(colour, nullptr, 0, 0), 0);
}

class FrameBitmapKernel : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(destination_.Create(10, 10, 24), 1);
    ASSERT_EQ(source_.Create(10, 10, 8), 1);
  }

  int Apply(const KernelRect* rect, int x, int y, FrameBitmap* destination = nullptr) {
    FrameBitmap& target = destination != nullptr ? *destination : destination_;
    return target.ApplyKernel(&RecordingKernel, source_, rect, x, y, &parameter_, &call_);
  }

  FrameBitmap destination_;
  FrameBitmap source_;
  KernelCall call_;
  int parameter_ = 0;
};

TEST_F(FrameBitmapKernel, WithoutARectanglePassesTheWholeSourceAtTheOrigin) {
  EXPECT_EQ(Apply(nullptr, 0, 0), 42);
  ExpectRect(call_.rect, 0, 0, 10, 10);
  EXPECT_EQ(call_.x, 0);
  EXPECT_EQ(call_.y, 0);
  EXPECT_EQ(call_.destinationBytes, 3);
  EXPECT_EQ(call_.sourceBytes, 1);
  EXPECT_EQ(call_.destinationStride, 32);
  EXPECT_EQ(call_.sourceStride, 12);
  EXPECT_EQ(call_.parameter, &parameter_);
}

TEST_F(FrameBitmapKernel, TurnsPictureRowsIntoMemoryRows) {
  KernelRect rect{1, 1, 3, 3};
  Apply(&rect, 2, 2);
  ExpectRect(call_.rect, 1, 7, 3, 9);
  EXPECT_EQ(call_.x, 2);
  EXPECT_EQ(call_.y, 6);
}

TEST_F(FrameBitmapKernel, ClipsARectangleThatStartsAtNegativeCoordinates) {
  KernelRect rect{-2, -1, 3, 4};
  Apply(&rect, 0, 0);
  ExpectRect(call_.rect, 0, 6, 3, 10);
  EXPECT_EQ(call_.x, 2);
  EXPECT_EQ(call_.y, 5);
}

TEST_F(FrameBitmapKernel, ClipsANegativeDestinationPointAndShiftsTheSource) {
  Apply(nullptr, -3, -2);
  ExpectRect(call_.rect, 3, 0, 10, 8);
  EXPECT_EQ(call_.x, 0);
  EXPECT_EQ(call_.y, 2);
}

TEST_F(FrameBitmapKernel, ClipsTheRightAndBottomEdgesOfTheDestination) {
  Apply(nullptr, 7, 6);
  ExpectRect(call_.rect, 0, 6, 3, 10);
  EXPECT_EQ(call_.x, 7);
  EXPECT_EQ(call_.y, 0);
}

TEST_F(FrameBitmapKernel, KeepsTheSourceRowsAlignedWhenTheSourceIsClippedAtTheBottom) {
  FrameBitmap tall;
  ASSERT_EQ(tall.Create(10, 20, 8), 1);
  KernelRect rect{0, 0, 10, 12};
  Apply(&rect, 0, 0, &tall);
  ExpectRect(call_.rect, 0, 0, 10, 10);
  // Picture rows 0..9 of the source land on picture rows 0..9: memory 10..19.
  EXPECT_EQ(call_.y, 10);
}

TEST_F(FrameBitmapKernel, FailsWithoutCallingWhenNothingIsLeft) {
  KernelRect outsideSource{20, 20, 25, 25};
  KernelRect empty{3, 3, 3, 8};
  KernelRect reversed{5, 5, 2, 2};
  EXPECT_EQ(Apply(nullptr, 10, 0), 0);
  EXPECT_EQ(Apply(nullptr, 0, -10), 0);
  EXPECT_EQ(Apply(&outsideSource, 0, 0), 0);
  EXPECT_EQ(Apply(&empty, 0, 0), 0);
  EXPECT_EQ(Apply(&reversed, 0, 0), 0);
  KernelRect huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  EXPECT_EQ(Apply(&huge, INT32_MAX, 0), 0);
  EXPECT_EQ(call_.calls, 0);
  EXPECT_EQ(destination_.ApplyKernel(nullptr, source_, nullptr, 0, 0, nullptr, nullptr), 0);
}

TEST_F(FrameBitmapKernel, AnEnormousRectangleIsClippedToBothBitmaps) {
  KernelRect huge{-1000000, -1000000, 1000000, 1000000};
  EXPECT_EQ(Apply(&huge, -1000000, -1000000), 42);
  ExpectRect(call_.rect, 0, 0, 10, 10);
  EXPECT_EQ(call_.x, 0);
  EXPECT_EQ(call_.y, 0);
}

TEST_F(FrameBitmapKernel, ScalerDefaultsToBothWholeBitmaps) {
  ScalerCall call;
  EXPECT_EQ(destination_.ApplyScaler(&RecordingScaler, source_, nullptr, nullptr, 5, &call), 7);
  ExpectRect(call.to, 0, 0, 10, 10);
  ExpectRect(call.from, 0, 0, 10, 10);
  EXPECT_EQ(call.value, 5);
  KernelRect part{1, 2, 4, 6};
  EXPECT_EQ(destination_.ApplyScaler(&RecordingScaler, source_, &part, nullptr, 0, &call), 7);
  ExpectRect(call.from, 1, 2, 4, 6);
}

TEST_F(FrameBitmapKernel, ScalerRefusesRectanglesOutsideTheBitmaps) {
  ScalerCall call;
  KernelRect outside{0, 0, 11, 10};
  EXPECT_EQ(destination_.ApplyScaler(&RecordingScaler, source_, &outside, nullptr, 0, &call), 0);
  EXPECT_EQ(destination_.ApplyScaler(&RecordingScaler, source_, nullptr, &outside, 0, &call), 0);
  EXPECT_EQ(destination_.ApplyScaler(nullptr, source_, nullptr, nullptr, 0, &call), 0);
}

}  // namespace
}  // namespace zirvo
