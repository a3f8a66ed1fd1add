// Tests of the frame-rate measurement of the capture thread.
#include "instance/frame_rate_meter.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace zirvo {
namespace {

TEST(FrameRateMeterTest, ReportsZeroUntilMoreThanASecondHasPassed) {
  FrameRateMeter meter;
  meter.Restart(5000);
  for (uint32_t t = 5040; t <= 6000; t += 40) EXPECT_EQ(meter.CountFrame(t), 0) << t;
  // 26 frames over 1040 ms.
  EXPECT_EQ(meter.CountFrame(6040), 250);
}

TEST(FrameRateMeterTest, KeepsTheRateBetweenUpdatesAndTruncates) {
  FrameRateMeter meter;
  meter.Restart(0);
  // 7 frames over 1001 ms: 69.93 becomes 69.
  for (uint32_t t : {100u, 300u, 500u, 700u, 900u, 1000u}) meter.CountFrame(t);
  EXPECT_EQ(meter.CountFrame(1001), 69);
  // The next interval starts at the update: two frames within it change nothing.
  EXPECT_EQ(meter.CountFrame(1500), 69);
  EXPECT_EQ(meter.CountFrame(2001), 69);
  EXPECT_EQ(meter.CountFrame(2002), 29);  // 3 frames in 1001 ms
  EXPECT_EQ(meter.RateTimes10(), 29);
}

TEST(FrameRateMeterTest, MeasuresAcrossTheClockWrap) {
  FrameRateMeter meter;
  const uint32_t start = 0xFFFFFE00u;  // 512 ms before the wrap
  meter.Restart(start);
  uint32_t t = start;
  int32_t rate = 0;
  for (int frame = 0; frame < 12; ++frame) rate = meter.CountFrame(t += 100);
  // 11 frames in 1100 ms, the update landing after the wrap.
  EXPECT_EQ(rate, 100);
}

TEST(FrameRateMeterTest, RestartForgetsTheEarlierRate) {
  FrameRateMeter meter;
  meter.Restart(0);
  meter.CountFrame(2000);
  ASSERT_EQ(meter.RateTimes10(), 5);
  // A camera started long after the meter's interval began must not report
  // one frame over that whole time.
  meter.Restart(100000);
  EXPECT_EQ(meter.RateTimes10(), 0);
  EXPECT_EQ(meter.CountFrame(100100), 0);
}

}  // namespace
}  // namespace zirvo
