// Frame sizes per sub-sample mode, including the odd and mismatched modes.
#include "device/frame_geometry.h"

#include <gtest/gtest.h>

namespace zirvo {
namespace {

TEST(FrameGeometryTest, FullWindowReadRoundsUpToWholeBlocks) {
  const FrameGeometry geometry = ComputeFrameGeometry(4384, 3288, 0);
  EXPECT_EQ(geometry.copyWidth, 4384);
  EXPECT_EQ(geometry.copyHeight, 3288);
  EXPECT_EQ(FrameReadBytes(geometry), 14414848u);
}

TEST(FrameGeometryTest, HalfModeOfEvenWindowNeedsNoRounding) {
  const FrameGeometry geometry = ComputeFrameGeometry(640, 480, 1);
  EXPECT_EQ(geometry.copyWidth, 320);
  EXPECT_EQ(geometry.copyHeight, 240);
  EXPECT_EQ(FrameReadBytes(geometry), 76800u);
}

TEST(FrameGeometryTest, SmallWindowReadsWholeBlocks) {
  EXPECT_EQ(FrameReadBytes(ComputeFrameGeometry(100, 100, 0)), 10240u);
}

TEST(FrameGeometryTest, OddHalfWindowTransfersEverySentColumnButCopiesTheTruncatedSize) {
  const FrameGeometry geometry = ComputeFrameGeometry(101, 75, 1);
  EXPECT_EQ(geometry.transferWidth, 51);
  EXPECT_EQ(geometry.transferHeight, 38);
  EXPECT_EQ(geometry.copyWidth, 50);
  EXPECT_EQ(geometry.copyHeight, 37);
}

TEST(FrameGeometryTest, QuarterModeWithRemainderThreeTransfersTheExtraColumn) {
  const FrameGeometry geometry = ComputeFrameGeometry(643, 483, 2);
  EXPECT_EQ(geometry.transferWidth, 161);
  EXPECT_EQ(geometry.transferHeight, 121);
  EXPECT_EQ(geometry.copyWidth, 160);
  EXPECT_EQ(geometry.copyHeight, 120);
}

TEST(FrameGeometryTest, SoftwareSubSampleModesReadTheWholeFrameAndCopyLess) {
  const FrameGeometry half = ComputeFrameGeometry(640, 480, 17);
  EXPECT_EQ(FrameReadBytes(half), 640u * 480u);
  EXPECT_EQ(half.copyWidth * half.copyHeight, 320 * 240);
  const FrameGeometry quarter = ComputeFrameGeometry(640, 480, 18);
  EXPECT_EQ(quarter.transferWidth, 640);
  EXPECT_EQ(quarter.copyWidth * quarter.copyHeight, 160 * 120);
}

TEST(FrameGeometryTest, EighthModeReadsTheFullResolutionFrameAndSamplesAnEighth) {
  // The sensor sends mode 3 at full resolution: a read of an eighth would
  // hold only the frame's first rows.
  const FrameGeometry geometry = ComputeFrameGeometry(4384, 3288, 3);
  EXPECT_EQ(geometry.transferWidth, 4384);
  EXPECT_EQ(geometry.transferHeight, 3288);
  EXPECT_EQ(geometry.copyWidth, 548);
  EXPECT_EQ(geometry.copyHeight, 411);
  EXPECT_EQ(geometry.sampleStep, 8);
  EXPECT_EQ(ComputeFrameGeometry(640, 480, 2).sampleStep, 1);
}

TEST(FrameGeometryTest, CopyNeverExceedsTransferInAnyMode) {
  for (int mode = 0; mode <= 31; ++mode) {
    for (int width : {4, 5, 7, 9, 4384}) {
      const FrameGeometry geometry = ComputeFrameGeometry(width, width, mode);
      EXPECT_LE(geometry.copyWidth, geometry.transferWidth) << mode;
      EXPECT_LE(geometry.copyHeight, geometry.transferHeight) << mode;
      EXPECT_GE(FrameReadBytes(geometry), uint32_t(geometry.transferWidth * geometry.transferHeight));
    }
  }
}

TEST(FrameGeometryTest, BitmapBytesPadTransferRowsToFourBytes) {
  EXPECT_EQ(BitmapBytes(ComputeFrameGeometry(101, 10, 0)), 104u * 10u);
  EXPECT_EQ(BitmapBytes(ComputeFrameGeometry(100, 10, 0)), 100u * 10u);
}

}  // namespace
}  // namespace zirvo
