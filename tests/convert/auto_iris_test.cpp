// Automatic exposure: the factor of the five regions, its dead band, the
// limits of gain and exposure, and convergence on the simulator's chart.
#include "convert/auto_iris.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "convert/pipeline.h"
#include "convert/processor.h"
#include "display/frame_bitmap.h"
#include "support/sim_scene.h"

namespace zirvo::testing {
namespace {

// Records what automatic exposure does to the device.
class FakeExposureControl final : public ExposureControl {
 public:
  int GetGlobalGain() override { return gain; }
  int SetGlobalGain(int value) override {
    gain = value;
    ++gainWrites;
    return 1;
  }
  int GetExposure(int* value) override {
    if (!exposureKnown) return 0;
    *value = exposure;
    return 1;
  }
  int SetExposure(int value) override {
    exposure = value;
    exposureKnown = true;
    ++exposureWrites;
    return 1;
  }

  int gain = 0;
  int exposure = 0;
  bool exposureKnown = true;
  int gainWrites = 0;
  int exposureWrites = 0;
};

// Region bounds in picture rows (top down), as fractions of the frame.
constexpr double kRegions[5][4] = {{0.1, 0.1, 0.2, 0.2},
                                   {0.1, 0.8, 0.2, 0.9},
                                   {0.45, 0.45, 0.55, 0.55},
                                   {0.8, 0.1, 0.9, 0.2},
                                   {0.8, 0.8, 0.9, 0.9}};

// A frame of `background` with each region filled with its level. Picture
// row r is memory row height - 1 - r.
std::unique_ptr<FrameBitmap> RegionFrame(int width, int height, int bits, int background,
                                         const std::array<int, 5>& levels) {
  auto frame = std::make_unique<FrameBitmap>();
  frame->Create(width, height, bits);
  auto put = [&](int x, int pictureRow, int level) {
    uint8_t* row = frame->Pixels() + static_cast<size_t>(height - 1 - pictureRow) * frame->Stride();
    if (bits == 8) {
      row[x] = static_cast<uint8_t>(level);
    } else {
      // 16-bit levels count bits 2..9; set the bits outside to prove it.
      const int word = (level << 2) | 0xF003;
      row[2 * x] = static_cast<uint8_t>(word);
      row[2 * x + 1] = static_cast<uint8_t>(word >> 8);
    }
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) put(x, y, background);
  for (int i = 0; i < 5; ++i) {
    const int left = static_cast<int>(kRegions[i][0] * width), top = static_cast<int>(kRegions[i][1] * height);
    const int right = static_cast<int>(kRegions[i][2] * width), bottom = static_cast<int>(kRegions[i][3] * height);
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) put(x, y, levels[static_cast<size_t>(i)]);
  }
  return frame;
}

AutoIrisOutcome StepOn(const std::array<int, 5>& levels, int mode, FakeExposureControl& control, int bits = 8) {
  auto frame = RegionFrame(97, 83, bits, 0, levels);
  return AutoIrisStep(frame.get(), mode, &control);
}

TEST(AutoIrisTest, RegionsAreMeasuredWhereTheyLie) {
  struct Depth {
    int bits;
    uint32_t features;
  };
  for (const auto [bits, features] : {Depth{8, 0}, Depth{16, 0}, Depth{16, kFeatureAvx2}}) {
    if (features != 0 && !__builtin_cpu_supports("avx2")) continue;
    auto frame = RegionFrame(131, 77, bits, 7, {10, 60, 110, 170, 230});
    int means[5] = {};
    ASSERT_TRUE(MeasureIrisRegions(*frame, means, features));
    EXPECT_EQ(means[0], 10) << bits;
    EXPECT_EQ(means[1], 60) << bits;
    EXPECT_EQ(means[2], 110) << bits;
    EXPECT_EQ(means[3], 170) << bits;
    EXPECT_EQ(means[4], 230) << bits;
  }
  FrameBitmap colour;
  colour.Create(40, 40, 24);
  int means[5];
  EXPECT_FALSE(MeasureIrisRegions(colour, means));
}

TEST(AutoIrisTest, FactorFollowsTheLevelTable) {
  EXPECT_DOUBLE_EQ(AutoIrisFactor({120, 120, 120, 120, 120}), 1.0);
  EXPECT_DOUBLE_EQ(AutoIrisFactor({220, 120, 120, 120, 120}), 0.85);
  EXPECT_DOUBLE_EQ(AutoIrisFactor({180, 120, 120, 120, 120}), 0.9);
  EXPECT_DOUBLE_EQ(AutoIrisFactor({60, 120, 120, 120, 120}), 1.05);
  EXPECT_DOUBLE_EQ(AutoIrisFactor({20, 20, 20, 20, 20}), 1.1 + 0.1 + 0.1 + 0.1 + 0.1);
  // Edges: 200 and 160 belong to the lower step, 100 and 50 to the upper one.
  EXPECT_DOUBLE_EQ(AutoIrisFactor({200, 201, 160, 161, 100}), 0.9 - 0.15 + 0.0 - 0.1 + 0.0);
  EXPECT_DOUBLE_EQ(AutoIrisFactor({100, 99, 50, 49, 0}), 1.0 + 0.05 + 0.05 + 0.1 + 0.1);
}

TEST(AutoIrisTest, DeadBandChangesNothing) {
  FakeExposureControl control;
  control.gain = 100;
  for (const std::array<int, 5>& levels :
       {std::array<int, 5>{120, 120, 120, 120, 120}, {220, 120, 120, 120, 120}, {120, 180, 180, 180, 180}}) {
    const AutoIrisOutcome outcome = StepOn(levels, kAutoIrisModeGain, control);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.change, AutoIrisOutcome::Change::None);
  }
  EXPECT_EQ(control.gainWrites, 0);
  EXPECT_EQ(control.gain, 100);
}

TEST(AutoIrisTest, BrightFrameScalesTheGainDown) {
  // 0.85 - 4 x 0.15 is just below 0.25 in double precision: 100 becomes 24.
  FakeExposureControl control;
  control.gain = 100;
  const AutoIrisOutcome outcome = StepOn({230, 230, 230, 230, 230}, kAutoIrisModeGain, control);
  EXPECT_EQ(outcome.change, AutoIrisOutcome::Change::GlobalGain);
  EXPECT_EQ(outcome.value, 24);
  EXPECT_EQ(control.gain, 24);
  EXPECT_EQ(control.exposureWrites, 0);
}

TEST(AutoIrisTest, FactorJustAboveTheBandApplies) {
  // 1.0 + 4 x 0.05 lies just above 1.2: a gain of 100 becomes 120.
  FakeExposureControl control;
  control.gain = 100;
  EXPECT_EQ(StepOn({120, 70, 70, 70, 70}, kAutoIrisModeGain, control, 16).value, 120);
  // 1.0 - 4 x 0.1 lies just above 0.6: nothing changes.
  control.gain = 100;
  EXPECT_EQ(StepOn({120, 180, 180, 180, 180}, kAutoIrisModeGain, control, 16).change,
            AutoIrisOutcome::Change::None);
}

TEST(AutoIrisTest, GainStaysWithinOneAnd125) {
  FakeExposureControl control;
  const std::array<int, 5> darker{20, 20, 20, 120, 120};  // F = 1.3
  control.gain = 1;
  EXPECT_EQ(StepOn(darker, kAutoIrisModeGain, control).value, 1);  // trunc(1.3)
  control.gain = 0;
  EXPECT_EQ(StepOn(darker, kAutoIrisModeGain, control).value, 1);
  control.gain = 120;
  EXPECT_EQ(StepOn(darker, kAutoIrisModeGain, control).value, 125);
}

TEST(AutoIrisTest, DarkFrameScalesTheExposureUp) {
  FakeExposureControl control;
  control.exposure = 600;
  const AutoIrisOutcome outcome = StepOn({10, 10, 10, 10, 10}, kAutoIrisModeExposure, control);
  EXPECT_EQ(outcome.change, AutoIrisOutcome::Change::Exposure);
  EXPECT_EQ(outcome.value, 900);
  EXPECT_EQ(control.exposure, 900);
  EXPECT_EQ(control.gainWrites, 0);
  control.exposure = 8000;
  EXPECT_EQ(StepOn({10, 10, 10, 10, 10}, kAutoIrisModeExposure, control).value, 8191);
  control.exposure = 2;
  EXPECT_EQ(StepOn({230, 230, 230, 230, 230}, kAutoIrisModeExposure, control).value, 1);
}

TEST(AutoIrisTest, ExposureNeverWrittenIsLeftAlone) {
  FakeExposureControl control;
  control.exposureKnown = false;
  const AutoIrisOutcome outcome = StepOn({10, 10, 10, 10, 10}, kAutoIrisModeExposure, control);
  EXPECT_EQ(outcome.result, 1);
  EXPECT_EQ(outcome.change, AutoIrisOutcome::Change::None);
  EXPECT_EQ(control.exposureWrites, 0);
}

TEST(AutoIrisTest, OffMeasuresNothingAndAsksForNoError) {
  FakeExposureControl control;
  control.gain = 100;
  for (int mode : {0, 3, -1}) {
    const AutoIrisOutcome outcome = StepOn({10, 10, 10, 10, 10}, mode, control);
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.errorCode, 0);
  }
  EXPECT_EQ(control.gainWrites + control.exposureWrites, 0);
}

TEST(AutoIrisTest, MissingFrameOrDeviceIsError9) {
  FakeExposureControl control;
  EXPECT_EQ(AutoIrisStep(nullptr, kAutoIrisModeGain, &control).errorCode, 9);
  auto frame = RegionFrame(50, 50, 8, 10, {10, 10, 10, 10, 10});
  const AutoIrisOutcome outcome = AutoIrisStep(frame.get(), kAutoIrisModeExposure, nullptr);
  EXPECT_EQ(outcome.result, 0);
  EXPECT_EQ(outcome.errorCode, 9);
  FrameBitmap empty;
  EXPECT_EQ(AutoIrisStep(&empty, kAutoIrisModeGain, &control).errorCode, 9);
}

// --- Convergence on the chart, through the pipeline ---------------------------

struct Convergence {
  int frames = 0;        // frames converted until the factor fell in the band
  double factor = 0.0;   // the last frame's factor
  int value = 0;         // gain or exposure then
};

Convergence Converge(int mode, int colorMode, int exposure, int gain) {
  constexpr int kWidth = 219, kHeight = 164;
  SimScene scene(kWidth, kHeight, 16, 5);
  EXPECT_TRUE(scene.Ready());
  SceneExposureControl control(scene);
  control.SetExposure(exposure);
  control.SetGlobalGain(gain);
  scene.SetChannelGains(100, 100, 100, 100);
  ConversionPipeline pipeline(ProcessorInfo{});
  FrameSettings settings;
  settings.filter[kFilterGamma] = 100;
  settings.colorMode = colorMode;
  settings.autoIris = mode;
  Convergence result;
  for (int frame = 1; frame <= 40; ++frame) {
    FrameBitmap raw;
    raw.Create(kWidth, kHeight, colorMode == kColorMode16 ? 16 : 8);
    LoadRawFrame(raw, scene.Frame());
    ConversionBitmaps bitmaps;
    (colorMode == kColorMode16 ? bitmaps.raw16 : bitmaps.raw8) = &raw;
    const FrameMeasurements measured = pipeline.Convert(bitmaps, settings, &control);
    EXPECT_EQ(measured.autoIris.result, 1);
    result.frames = frame;
    result.factor = measured.autoIris.factor;
    if (measured.autoIris.change == AutoIrisOutcome::Change::None) break;
  }
  int current = 0;
  if (mode == kAutoIrisModeExposure) control.GetExposure(&current);
  result.value = mode == kAutoIrisModeExposure ? current : control.GetGlobalGain();
  return result;
}

TEST(AutoIrisConvergenceTest, ExposureFromFarTooDark) {
  const Convergence result = Converge(kAutoIrisModeExposure, kColorMode8, 12, 100);
  EXPECT_TRUE(InsideIrisDeadBand(result.factor)) << result.factor;
  EXPECT_GE(result.frames, 3);  // far off: more than one correction
  EXPECT_LE(result.frames, 15);
  EXPECT_GT(result.value, 100);
}

TEST(AutoIrisConvergenceTest, ExposureFromFarTooBright) {
  const Convergence result = Converge(kAutoIrisModeExposure, kColorMode16, 8191, 100);
  EXPECT_TRUE(InsideIrisDeadBand(result.factor)) << result.factor;
  EXPECT_GE(result.frames, 3);  // far off: more than one correction
  EXPECT_LE(result.frames, 15);
  EXPECT_LT(result.value, 2000);
}

TEST(AutoIrisConvergenceTest, GainFromFarTooDark) {
  const Convergence result = Converge(kAutoIrisModeGain, kColorMode16, 600, 2);
  EXPECT_TRUE(InsideIrisDeadBand(result.factor)) << result.factor;
  EXPECT_GE(result.frames, 3);  // far off: more than one correction
  EXPECT_LE(result.frames, 15);
  EXPECT_GT(result.value, 20);
}

TEST(AutoIrisConvergenceTest, GainFromFarTooBright) {
  const Convergence result = Converge(kAutoIrisModeGain, kColorMode8, 4000, 125);
  EXPECT_TRUE(InsideIrisDeadBand(result.factor)) << result.factor;
  EXPECT_GE(result.frames, 3);  // far off: more than one correction
  EXPECT_LE(result.frames, 15);
  EXPECT_LT(result.value, 60);
}

}  // namespace
}  // namespace zirvo::testing
