// What the simulated sensor sends: geometry, read-out skipping, flip, colour-filter phase, brightness, hot pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <vector>

#include "platform/raw_disk.h"
#include "support/sim_fixture.h"
#include "zirvo_camsim.h"

namespace zirvo::testing {
namespace {

struct Window {
  int x, y, width, height, mode;
};

class FrameRendererTest : public SimCameraTest {
 protected:
  void SetUp() override {
    SimCameraTest::SetUp();
    disk_ = platform::OpenRawDisk(Drive());
    ASSERT_NE(disk_, nullptr);
  }
  void TearDown() override {
    disk_.reset();
    SimCameraTest::TearDown();
  }

  void Write(uint16_t address, uint16_t value) {
    ASSERT_TRUE(WriteRegisterOverWire(*disk_, address, value));
  }

  // The registers the SDK programs for a capture window (read mode without flip).
  void Program(const Window& w, uint16_t flip = 0) {
    const int outWidth = w.mode == 1 ? (w.width + 1) / 2 : w.mode == 2 ? (w.width + 1) / 4 : w.width;
    const int outHeight = w.mode == 1 ? (w.height + 1) / 2 : w.mode == 2 ? (w.height + 1) / 4 : w.height;
    const bool skipping = w.mode == 1 || w.mode == 2;
    Write(0x0344, static_cast<uint16_t>(w.x + 24));
    Write(0x0346, static_cast<uint16_t>(w.y));
    Write(0x0348, static_cast<uint16_t>(w.x + w.width + (skipping ? 24 : 23)));
    Write(0x034A, static_cast<uint16_t>(w.y + w.height - (skipping ? 0 : 1)));
    Write(0x034C, static_cast<uint16_t>(outWidth));
    Write(0x034E, static_cast<uint16_t>(outHeight));
    const uint16_t readMode = w.mode == 1 ? 0xC3 : w.mode == 2 ? 0x1C7 : 0x41;
    Write(0x3040, static_cast<uint16_t>(readMode | flip));
  }

  std::vector<uint8_t> Frame() {
    unsigned width = 0;
    unsigned height = 0;
    ZirvoSim_GetFrameSize(camera(), &width, &height);
    std::vector<uint8_t> frame;
    EXPECT_TRUE(ReadFrameArea(*disk_, frame, width * height));
    return frame;
  }

  unsigned Width() {
    unsigned width = 0;
    ZirvoSim_GetFrameSize(camera(), &width, nullptr);
    return width;
  }

  static double Mean(const std::vector<uint8_t>& frame) {
    return std::accumulate(frame.begin(), frame.end(), 0.0) / static_cast<double>(frame.size());
  }

 private:
  std::unique_ptr<platform::RawDisk> disk_;
};

// Inside the chart's red patch: red sites bright, green and blue dark.
constexpr int kRedPatchX = 1900;
constexpr int kRedPatchY = 1500;

TEST_F(FrameRendererTest, PowerOnFrameIsTheFullSensor) {
  unsigned width = 0;
  unsigned height = 0;
  ZirvoSim_GetFrameSize(camera(), &width, &height);
  EXPECT_EQ(4384u, width);
  EXPECT_EQ(3288u, height);
}

TEST_F(FrameRendererTest, FullFrameReadIsPaddedToWholeBlocks) {
  std::vector<uint8_t> frame;
  ASSERT_TRUE(ReadFrameArea(*platform::OpenRawDisk(Drive()), frame, 14414848));
  EXPECT_GT(Mean(std::vector<uint8_t>(frame.begin(), frame.begin() + 14414592)), 20.0);
  EXPECT_TRUE(std::all_of(frame.begin() + 14414592, frame.end(), [](uint8_t v) { return v == 0; }));
}

TEST_F(FrameRendererTest, OutputSizeFollowsTheWindowRegisters) {
  Program({100, 200, 640, 480, 0});
  unsigned width = 0;
  unsigned height = 0;
  ZirvoSim_GetFrameSize(camera(), &width, &height);
  EXPECT_EQ(640u, width);
  EXPECT_EQ(480u, height);
  EXPECT_EQ(640u * 480u, Frame().size());
}

// A window across several patches and the gaps between them, so that every
// column and row of the read-out matters.
constexpr int kPatchesX = 1300;
constexpr int kPatchesY = 1000;

TEST_F(FrameRendererTest, HalfModeReadsEverySecondPairOfTheFullWindow) {
  Program({kPatchesX, kPatchesY, 640, 480, 0});
  const std::vector<uint8_t> reference = Frame();
  Program({kPatchesX, kPatchesY, 640, 480, 1});
  ASSERT_EQ(320u, Width());
  const std::vector<uint8_t> half = Frame();
  ASSERT_EQ(320u * 240u, half.size());
  for (int j = 0; j < 240; ++j) {
    for (int i = 0; i < 320; ++i) {
      const int column = (i / 2) * 4 + i % 2;
      const int row = (j / 2) * 4 + j % 2;
      ASSERT_EQ(reference[row * 640 + column], half[j * 320 + i]) << i << "," << j;
    }
  }
}

TEST_F(FrameRendererTest, QuarterModeReadsEveryFourthPairOfTheFullWindow) {
  Program({kPatchesX, kPatchesY, 1024, 768, 0});
  const std::vector<uint8_t> reference = Frame();
  Program({kPatchesX, kPatchesY, 1024, 768, 2});
  ASSERT_EQ(256u, Width());
  const std::vector<uint8_t> quarter = Frame();
  ASSERT_EQ(256u * 192u, quarter.size());
  for (int j = 0; j < 192; ++j) {
    for (int i = 0; i < 256; ++i) {
      const int column = (i / 2) * 8 + i % 2;
      const int row = (j / 2) * 8 + j % 2;
      ASSERT_EQ(reference[row * 1024 + column], quarter[j * 256 + i]) << i << "," << j;
    }
  }
}

TEST_F(FrameRendererTest, OddWindowInHalfModeSendsTheRoundedUpSize) {
  Program({kPatchesX, kPatchesY, 641, 481, 1});
  unsigned width = 0;
  unsigned height = 0;
  ZirvoSim_GetFrameSize(camera(), &width, &height);
  EXPECT_EQ(321u, width);
  EXPECT_EQ(241u, height);
  EXPECT_EQ(321u * 241u, Frame().size());
}

TEST_F(FrameRendererTest, OddSizesArePackedWithoutPadding) {
  Program({kRedPatchX, kRedPatchY, 5, 3, 0});
  const std::vector<uint8_t> frame = Frame();
  ASSERT_EQ(15u, frame.size());
  // Rows of five: the red sites (even columns of row 0) sit at 0, 2, 4 and again at 10, 12, 14.
  EXPECT_EQ(frame[0], frame[10]);
  EXPECT_GT(frame[0], 3 * frame[5]);
}

TEST_F(FrameRendererTest, OneByOneFrameIsOneSample) {
  Program({kRedPatchX, kRedPatchY, 1, 1, 0});
  const std::vector<uint8_t> frame = Frame();
  ASSERT_EQ(1u, frame.size());
  EXPECT_GT(frame[0], 50);
}

TEST_F(FrameRendererTest, EmptyOutputSizeGivesOnlyPadding) {
  Write(0x034C, 0);
  std::vector<uint8_t> frame;
  ASSERT_TRUE(ReadFrameArea(*platform::OpenRawDisk(Drive()), frame, 512));
  EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t v) { return v == 0; }));
}

TEST_F(FrameRendererTest, VerticalFlipReversesRowOrder) {
  const Window window{2000, 1000, 32, 600, 0};  // crosses patch rows, so rows differ
  Program(window);
  const std::vector<uint8_t> upright = Frame();
  Program(window, 0x8000);
  const std::vector<uint8_t> flipped = Frame();
  ASSERT_EQ(upright.size(), flipped.size());
  for (int j = 0; j < 600; ++j) {
    ASSERT_TRUE(std::equal(upright.begin() + j * 32, upright.begin() + (j + 1) * 32,
                           flipped.begin() + (599 - j) * 32))
        << j;
  }
  EXPECT_NE(upright, flipped);
}

TEST_F(FrameRendererTest, WindowOriginMovesTheColourPhase) {
  Program({kRedPatchX, kRedPatchY, 8, 8, 0});
  const std::vector<uint8_t> even = Frame();
  EXPECT_GT(even[0], 3 * even[1]);  // red, green
  EXPECT_GT(even[8 + 1], 0);
  EXPECT_GT(even[0], 3 * even[8 + 1]);  // blue at odd row, odd column
  Program({kRedPatchX + 1, kRedPatchY, 8, 8, 0});
  const std::vector<uint8_t> shifted = Frame();
  EXPECT_GT(shifted[1], 3 * shifted[0]);  // green, red
  Program({kRedPatchX, kRedPatchY + 1, 8, 8, 0});
  const std::vector<uint8_t> down = Frame();
  EXPECT_GT(down[8], 3 * down[0]);  // the red row is now the second
}

TEST_F(FrameRendererTest, VerticalFlipMovesTheColourPhase) {
  Program({kRedPatchX, kRedPatchY, 8, 8, 0}, 0x8000);
  const std::vector<uint8_t> flipped = Frame();
  // Eight rows flipped: output row 0 is the odd last row (green 2, blue).
  EXPECT_GT(flipped[8], 3 * flipped[0]);
}

TEST_F(FrameRendererTest, SameRegistersGiveTheSameFrame) {
  Program({kPatchesX, kPatchesY, 200, 100, 0});
  const std::vector<uint8_t> first = Frame();
  Write(0x0202, 300);
  Write(0x0202, 600);
  EXPECT_EQ(first, Frame());
  EXPECT_EQ(2u, ZirvoSim_FramesServed(camera()));
}

TEST_F(FrameRendererTest, BrightnessIsProportionalToExposure) {
  Program({300, 300, 200, 100, 0});
  const double reference = Mean(Frame());
  Write(0x0202, 300);
  EXPECT_NEAR(reference / 2, Mean(Frame()), 1.0);
  Write(0x0202, 0);
  EXPECT_EQ(0.0, Mean(Frame()));
}

TEST_F(FrameRendererTest, BrightnessIsProportionalToGlobalGain) {
  Program({300, 300, 200, 100, 0});
  const double reference = Mean(Frame());
  Write(0x305E, 0x1032);
  EXPECT_NEAR(reference / 2, Mean(Frame()), 1.0);
}

TEST_F(FrameRendererTest, GainFlagBitDoesNotChangeTheGain) {
  Program({300, 300, 200, 100, 0});
  const std::vector<uint8_t> flagged = Frame();
  Write(0x305E, 0x0064);
  EXPECT_EQ(flagged, Frame());
}

TEST_F(FrameRendererTest, ChannelGainActsOnItsOwnSitesOnly) {
  Program({kRedPatchX, kRedPatchY, 2, 2, 0});
  const std::vector<uint8_t> before = Frame();
  Write(0x305A, 0x1032);  // red
  const std::vector<uint8_t> after = Frame();
  EXPECT_NEAR(before[0] / 2.0, after[0], 1.0);
  EXPECT_EQ(before[1], after[1]);
  EXPECT_EQ(before[2], after[2]);
  EXPECT_EQ(before[3], after[3]);
  Write(0x3058, 0x1000);  // blue to zero
  EXPECT_EQ(0, Frame()[3]);
}

TEST_F(FrameRendererTest, DefaultSettingsGiveMidLevelsInTheMeteringCorners) {
  Program({438, 328, 438, 328, 0});  // 0.1 to 0.2 of the sensor
  const double mean = Mean(Frame());
  EXPECT_GE(mean, 100.0);
  EXPECT_LE(mean, 160.0);
}

TEST_F(FrameRendererTest, HighGainSaturatesAt255) {
  Program({300, 300, 16, 16, 0});
  Write(0x0202, 6000);
  const std::vector<uint8_t> frame = Frame();
  EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t v) { return v == 255; }));
}

class AnimatedFrameTest : public FrameRendererTest {
 protected:
  ZirvoSimConfig Config() const override {
    ZirvoSimConfig config = FastSimConfig();
    config.animated = 1;
    return config;
  }
};

TEST_F(AnimatedFrameTest, SuccessiveFramesDifferInTheMovingBand) {
  Program({0, 3050, 4384, 100, 0});
  const std::vector<uint8_t> first = Frame();
  const std::vector<uint8_t> second = Frame();
  EXPECT_NE(first, second);
}

TEST_F(AnimatedFrameTest, ChartAboveTheBandStandsStill) {
  Program({0, 0, 4384, 64, 0});
  const std::vector<uint8_t> first = Frame();
  EXPECT_EQ(first, Frame());
}

class HotPixelTest : public FrameRendererTest {
 protected:
  ZirvoSimConfig Config() const override {
    ZirvoSimConfig config = FastSimConfig();
    config.hot_pixels = 12;
    config.seed = 77;
    return config;
  }
};

TEST_F(HotPixelTest, HotPixelsAreTheOnlySaturatedSamplesAtDefaultSettings) {
  const std::vector<uint8_t> frame = Frame();
  EXPECT_EQ(12, std::count(frame.begin(), frame.end(), 255));
}

TEST_F(HotPixelTest, AnotherSeedPlacesThemElsewhere) {
  const std::vector<uint8_t> frame = Frame();
  ZirvoSimConfig config = FastSimConfig();
  config.hot_pixels = 12;
  config.seed = 78;
  ZirvoSimCamera* other = ZirvoSim_Attach(5, &config);
  ASSERT_NE(nullptr, other);
  std::vector<uint8_t> otherFrame;
  const bool read = ReadFrameArea(*platform::OpenRawDisk(5), otherFrame, 4384u * 3288u);
  ZirvoSim_Detach(other);
  ASSERT_TRUE(read);
  EXPECT_EQ(12, std::count(otherFrame.begin(), otherFrame.end(), 255));
  EXPECT_NE(frame, otherFrame);
}

}  // namespace
}  // namespace zirvo::testing
