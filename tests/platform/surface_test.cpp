// Drawing surfaces: creation, selection, colour tables, block and stretch copies.
#include "platform/surface.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zirvo::platform {
namespace {

BitmapInfo InfoFor(int32_t width, int32_t height, uint16_t bits) {
  BitmapInfo info{};
  info.header.size = kBitmapHeaderSize;
  info.header.width = width;
  info.header.height = height;
  info.header.planes = 1;
  info.header.bitCount = bits;
  for (int i = 0; i < 256; ++i) {
    info.colors[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                      static_cast<uint8_t>(i / 2), 0};
  }
  return info;
}

// A surface selected into its own context, as FrameBitmap holds one.
struct Selected {
  SurfaceOwner surface;
  DrawingContextOwner context;
  uint8_t* pixels = nullptr;
  int32_t stride = 0;
  Surface* previous = nullptr;

  Selected(int32_t width, int32_t height, uint16_t bits) {
    surface = CreateSurface(nullptr, InfoFor(width, height, bits), kDibRgbColors, &pixels,
                            nullptr, 0);
    context = CreateMemoryContext();
    if (surface && context) previous = SelectSurface(*context, *surface);
    stride = ((width * (bits / 8)) + 3) & ~3;
  }
  // Picture row `row` of a bottom-up surface of `height` rows.
  uint8_t* PictureRow(int32_t height, int32_t row) { return pixels + (height - 1 - row) * stride; }
};

TEST(SurfaceCreation, MakesZeroedPixelsForEveryDepthUpTo32) {
  for (uint16_t bits : {8, 16, 24, 32}) {
    uint8_t* pixels = nullptr;
    SurfaceOwner surface =
        CreateSurface(nullptr, InfoFor(7, 3, bits), kDibRgbColors, &pixels, nullptr, 0);
    ASSERT_TRUE(surface);
    ASSERT_NE(pixels, nullptr);
    size_t bytes = static_cast<size_t>((7 * (bits / 8) + 3) & ~3) * 3;
    for (size_t i = 0; i < bytes; ++i) ASSERT_EQ(pixels[i], 0);
  }
}

TEST(SurfaceCreation, RefusesWideDepthsBadSizesAndSections) {
  uint8_t* pixels = reinterpret_cast<uint8_t*>(1);
  EXPECT_FALSE(CreateSurface(nullptr, InfoFor(4, 4, 48), kDibRgbColors, &pixels, nullptr, 0));
  EXPECT_EQ(pixels, nullptr);
  EXPECT_FALSE(CreateSurface(nullptr, InfoFor(4, 4, 64), kDibRgbColors, &pixels, nullptr, 0));
  EXPECT_FALSE(CreateSurface(nullptr, InfoFor(0, 4, 8), kDibRgbColors, &pixels, nullptr, 0));
  EXPECT_FALSE(CreateSurface(nullptr, InfoFor(4, 0, 8), kDibRgbColors, &pixels, nullptr, 0));
  int section = 0;
  EXPECT_FALSE(CreateSurface(nullptr, InfoFor(4, 4, 8), kDibRgbColors, &pixels, &section, 0));
}

TEST(SurfaceSelection, ReturnsWhatTheContextHeldBefore) {
  Selected first(4, 4, 8);
  ASSERT_NE(first.previous, nullptr);
  SurfaceView view{};
  ASSERT_TRUE(DescribeSelectedSurface(*first.context, &view));
  EXPECT_EQ(view.pixels, first.pixels);
  uint8_t* pixels = nullptr;
  SurfaceOwner second =
      CreateSurface(nullptr, InfoFor(2, 2, 24), kDibRgbColors, &pixels, nullptr, 0);
  EXPECT_EQ(SelectSurface(*first.context, *second), first.surface.get());
  EXPECT_EQ(SelectSurface(*first.context, *first.previous), second.get());
  EXPECT_FALSE(DescribeSelectedSurface(*first.context, &view));
}

TEST(SurfaceSelection, ASurfaceSitsInOneContextAtATime) {
  Selected owner(4, 4, 8);
  DrawingContextOwner other = CreateMemoryContext();
  EXPECT_EQ(SelectSurface(*other, *owner.surface), nullptr);
}

TEST(SurfaceSelection, DeletingASelectedSurfaceLeavesTheContextUsable) {
  Selected owner(4, 4, 8);
  owner.surface.reset();
  SurfaceView view{};
  EXPECT_FALSE(DescribeSelectedSurface(*owner.context, &view));
  Selected other(4, 4, 8);
  EXPECT_FALSE(BlockCopy(*other.context, 0, 0, 4, 4, *owner.context, 0, 0));
}

TEST(SurfaceColorTable, SetsEntriesWithinTheTable) {
  Selected gray(4, 4, 8);
  ColorEntry entries[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  EXPECT_EQ(SetColorTable(*gray.context, 254, 3, entries), 2);
  SurfaceView view{};
  DescribeSelectedSurface(*gray.context, &view);
  EXPECT_EQ(view.colors[255].green, 5);
  EXPECT_EQ(SetColorTable(*gray.context, 256, 1, entries), 0);
  Selected colour(4, 4, 24);
  EXPECT_EQ(SetColorTable(*colour.context, 0, 1, entries), 0);
}

TEST(SurfaceBlockCopy, CopiesSameDepthsInPictureOrientation) {
  Selected source(4, 3, 16);
  Selected destination(4, 3, 16);
  for (int i = 0; i < source.stride * 3; ++i) source.pixels[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(BlockCopy(*destination.context, 1, 0, 2, 1, *source.context, 0, 2));
  // Picture row 2 of the source is memory row 0; picture row 0 is memory row 2.
  EXPECT_EQ(std::memcmp(destination.PictureRow(3, 0) + 2, source.PictureRow(3, 2), 4), 0);
  EXPECT_EQ(destination.PictureRow(3, 0)[0], 0);
  EXPECT_EQ(destination.PictureRow(3, 1)[2], 0);
}

TEST(SurfaceBlockCopy, ExpandsEightBitsThroughTheColourTable) {
  Selected source(2, 1, 8);
  Selected destination(2, 1, 24);
  source.pixels[0] = 10;
  source.pixels[1] = 200;
  ASSERT_TRUE(BlockCopy(*destination.context, 0, 0, 2, 1, *source.context, 0, 0));
  const uint8_t expected[6] = {10, 245, 5, 200, 55, 100};
  EXPECT_EQ(std::memcmp(destination.pixels, expected, 6), 0);
}

TEST(SurfaceBlockCopy, ClipsAgainstBothSurfaces) {
  Selected source(3, 3, 8);
  Selected destination(3, 3, 8);
  std::memset(source.pixels, 9, static_cast<size_t>(source.stride) * 3);
  ASSERT_TRUE(BlockCopy(*destination.context, -1, 2, 10, 10, *source.context, 0, 0));
  EXPECT_EQ(destination.PictureRow(3, 2)[0], 9);
  EXPECT_EQ(destination.PictureRow(3, 2)[1], 9);
  EXPECT_EQ(destination.PictureRow(3, 2)[2], 0);  // source column 3 does not exist
  EXPECT_EQ(destination.PictureRow(3, 1)[0], 0);
}

TEST(SurfaceBlockCopy, MovesOverlappingRowsWithinOneSurface) {
  Selected image(2, 4, 8);
  for (int row = 0; row < 4; ++row) image.PictureRow(4, row)[0] = static_cast<uint8_t>(row + 1);
  ASSERT_TRUE(BlockCopy(*image.context, 0, 1, 2, 3, *image.context, 0, 0));
  EXPECT_EQ(image.PictureRow(4, 0)[0], 1);
  EXPECT_EQ(image.PictureRow(4, 1)[0], 1);
  EXPECT_EQ(image.PictureRow(4, 2)[0], 2);
  EXPECT_EQ(image.PictureRow(4, 3)[0], 3);
  ASSERT_TRUE(BlockCopy(*image.context, 0, 0, 2, 3, *image.context, 0, 1));
  EXPECT_EQ(image.PictureRow(4, 0)[0], 1);
  EXPECT_EQ(image.PictureRow(4, 1)[0], 2);
  EXPECT_EQ(image.PictureRow(4, 2)[0], 3);
}

TEST(SurfaceBlockCopy, RefusesFormatsItCannotConvert) {
  Selected colour(2, 2, 24);
  Selected gray(2, 2, 8);
  Selected sixteen(2, 2, 16);
  EXPECT_FALSE(BlockCopy(*gray.context, 0, 0, 2, 2, *colour.context, 0, 0));
  EXPECT_FALSE(BlockCopy(*colour.context, 0, 0, 2, 2, *sixteen.context, 0, 0));
  EXPECT_TRUE(BlockCopy(*colour.context, 0, 0, 2, 2, *gray.context, 0, 0));
}

TEST(SurfaceStretchCopy, ANegativeSourceHeightTurnsThePictureOver) {
  Selected source(2, 3, 24);
  Selected destination(2, 3, 24);
  for (int row = 0; row < 3; ++row) source.PictureRow(3, row)[0] = static_cast<uint8_t>(row + 1);
  ASSERT_TRUE(StretchCopy(*destination.context, 0, 0, 2, 3, *source.context, 0, 2, 2, -3));
  EXPECT_EQ(destination.PictureRow(3, 0)[0], 3);
  EXPECT_EQ(destination.PictureRow(3, 1)[0], 2);
  EXPECT_EQ(destination.PictureRow(3, 2)[0], 1);
}

TEST(SurfaceStretchCopy, ScalesByNearestNeighbourAndConvertsDepth) {
  Selected source(2, 2, 32);
  Selected destination(4, 4, 24);
  source.PictureRow(2, 0)[4] = 77;  // picture (row 0, column 1), blue
  ASSERT_TRUE(StretchCopy(*destination.context, 0, 0, 4, 4, *source.context, 0, 0, 2, 2));
  EXPECT_EQ(destination.PictureRow(4, 0)[6], 77);
  EXPECT_EQ(destination.PictureRow(4, 1)[9], 77);
  EXPECT_EQ(destination.PictureRow(4, 2)[6], 0);
  EXPECT_FALSE(StretchCopy(*destination.context, 0, 0, -4, 4, *source.context, 0, 0, 2, 2));
}

}  // namespace
}  // namespace zirvo::platform
