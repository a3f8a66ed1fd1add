// Tests of the settings operations' rules and of what the camera instance
// does with them where the exports cannot look: no device, the count of
// capture-window changes, several values changed as one.
#include "instance/settings_operations.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <thread>
#include <vector>

#include "ZirvoSdk_USB3_7730QX.h"
#include "instance/camera_instance.h"
#include "support/sim_fixture.h"
#include "support/temporary_config.h"

namespace zirvo {
namespace {

TEST(FilterIdRanges, IdsOutsideOneToTwentySevenTakeNothing) {
  for (int id : {INT_MIN, -1, 0, 28, INT_MAX}) {
    EXPECT_FALSE(IsFilterId(id)) << id;
    EXPECT_FALSE(FilterIdAcceptsValue(id, 0)) << id;
  }
  for (int id = kFirstFilterId; id <= kLastFilterId; ++id) EXPECT_TRUE(IsFilterId(id));
}

TEST(FilterIdRanges, PackedGainsAndWhiteBalanceSwitchTakeAnyValue) {
  for (int id : {ZIRVO_FILTER_BAYER_GAIN_RGB, ZIRVO_FILTER_BAYER_GAIN_AUTO})
    for (int value : {INT_MIN, -1, 0, 401, INT_MAX}) EXPECT_TRUE(FilterIdAcceptsValue(id, value)) << id << " " << value;
}

TEST(FilterIdRanges, GainsStopAt127AndExposureAt8192) {
  for (int id = ZIRVO_FILTER_GLOBAL_GAIN; id <= ZIRVO_FILTER_COLOR_GAIN_BLUE; ++id) {
    EXPECT_TRUE(FilterIdAcceptsValue(id, 127)) << id;
    EXPECT_FALSE(FilterIdAcceptsValue(id, 128)) << id;
    EXPECT_FALSE(FilterIdAcceptsValue(id, -1)) << id;
  }
  EXPECT_TRUE(FilterIdAcceptsValue(ZIRVO_FILTER_EXPOSURE_TIME, 8192));
  EXPECT_FALSE(FilterIdAcceptsValue(ZIRVO_FILTER_EXPOSURE_TIME, 8193));
}

TEST(BayerPhase, MirrorsFlipRowAndColumnPhaseOfTheFourPhasesOnly) {
  const int rows[] = {1, 0, 3, 2};
  const int columns[] = {2, 3, 0, 1};
  for (int phase = 0; phase < 4; ++phase) {
    EXPECT_EQ(FlipBayerRows(phase), rows[phase]);
    EXPECT_EQ(FlipBayerColumns(phase), columns[phase]);
  }
  for (int phase : {-1, 4, 5, INT_MIN}) {
    EXPECT_EQ(FlipBayerRows(phase), phase);
    EXPECT_EQ(FlipBayerColumns(phase), phase);
  }
}

TEST(ExposureLineLength, FullModeHasAFloorOf1536Clocks) {
  EXPECT_EQ(ExposureLineLength(0, 0), 1536);
  EXPECT_EQ(ExposureLineLength(1223, 0), 1536);
  EXPECT_EQ(ExposureLineLength(1225, 0), 1537);
  EXPECT_EQ(ExposureLineLength(4384, 0), 4696);
  // Every mode but 1 and 2 counts as full.
  EXPECT_EQ(ExposureLineLength(4384, 3), 4696);
  EXPECT_EQ(ExposureLineLength(4384, 16), 4696);
}

TEST(ExposureLineLength, HalfAndQuarterModes) {
  EXPECT_EQ(ExposureLineLength(4384, 1), 2348);
  EXPECT_EQ(ExposureLineLength(4383, 1), 2348);
  EXPECT_EQ(ExposureLineLength(4382, 1), 2347);
  EXPECT_EQ(ExposureLineLength(4894, 2), 1302);  // a quarter of 1223
  EXPECT_EQ(ExposureLineLength(4895, 2), 1302);  // 1224 + 78
  EXPECT_EQ(ExposureLineLength(4899, 2), 1303);
}

TEST(ExposureLineLength, HugeWidthsStayWithin32Bits) {
  EXPECT_EQ(ExposureLineLength(INT_MAX, 0), INT_MAX);
  EXPECT_EQ(ExposureLineLength(INT_MAX, 1), (int64_t{INT_MAX} + 313) / 2);
  EXPECT_EQ(ExposureLineLength(INT_MIN, 0), 1536);
}

TEST(RealExposure, TruncatesTowardZeroAtNinetySixClocksPerMicrosecond) {
  EXPECT_EQ(RealExposureMicroseconds(4696, 100), 4891);  // 4891.67
  EXPECT_EQ(RealExposureMicroseconds(1302, 100), 1356);  // 1356.25
  EXPECT_EQ(RealExposureMicroseconds(96, 1), 1);
  EXPECT_EQ(RealExposureMicroseconds(95, 1), 0);
  EXPECT_EQ(RealExposureMicroseconds(-95, 1), 0);
  EXPECT_EQ(RealExposureMicroseconds(INT_MAX, INT_MAX), INT_MAX);
  EXPECT_EQ(RealExposureMicroseconds(INT_MAX, INT_MIN), INT_MIN);
}

TEST(IoPort, OutputBitFollowsFlagBitTwoAndLeavesTheOthers) {
  EXPECT_EQ(PortByteWithOutput(0x00, 4), 0x40);
  EXPECT_EQ(PortByteWithOutput(0x00, ~4), 0x00);
  EXPECT_EQ(PortByteWithOutput(0xFF, 0), 0xBF);
  EXPECT_EQ(PortByteWithOutput(0xBF, 4 | 1), 0xFF);
}

TEST(IoPort, InputsAreBitsThreeAndFour) {
  EXPECT_EQ(PortInputBits(0x08), 1);
  EXPECT_EQ(PortInputBits(0x10), 2);
  EXPECT_EQ(PortInputBits(0x18), 3);
  EXPECT_EQ(PortInputBits(0xE7), 0);
}

TEST(SubSampleMode, OlderHalfAndQuarterCodesAreReportedAsOneAndTwo) {
  EXPECT_EQ(ReportedSubSampleMode(16), 1);
  EXPECT_EQ(ReportedSubSampleMode(17), 2);
  for (int mode : {0, 1, 2, 3, 4, 15, 18}) EXPECT_EQ(ReportedSubSampleMode(mode), mode);
}

TEST(SettingsWithoutDevice, DeviceOperationsRecordError1AndQueriesStillAnswer) {
  CameraInstance camera;  // never started: no device
  int ok = 7;
  EXPECT_EQ(camera.SetFilterValue(ZIRVO_FILTER_GAMMA, 100), 0);
  EXPECT_EQ(camera.GetFilterValue(ZIRVO_FILTER_GAMMA, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(camera.SetMirrorV(1), 0);
  EXPECT_EQ(camera.GetMirrorH(), 0);
  EXPECT_EQ(camera.SetCaptureWindowEx(4384, 0, 640, 3288, 0, 480), 0);
  EXPECT_EQ(camera.SetPreviewWindow(nullptr, nullptr), 0);
  ok = 7;
  EXPECT_EQ(camera.ReadRegister(0x3000, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(camera.GetIOPort(nullptr), 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(camera.PopError(), 1) << i;
  EXPECT_EQ(camera.PopError(), 0);
  EXPECT_EQ(camera.CaptureWindow().width, 4384);  // nothing stored

  // These need no device.
  int width = 0;
  EXPECT_EQ(camera.GetCaptureWindowEx(nullptr, nullptr, &width, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(width, 4384);
  EXPECT_EQ(camera.Width(), 4384);
  EXPECT_EQ(camera.GetRealExposureTime(&ok), 0);  // exposure 0 before any setting is loaded
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(camera.SetSubSample(2), 1);
  EXPECT_EQ(camera.SetWaitTime(5), 1);
  EXPECT_EQ(camera.PopError(), 0);
}

class SettingsOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(sim_.get(), nullptr);
    ASSERT_EQ(camera_.Initialize(nullptr), 1);
    while (camera_.PopError() != 0) {
    }
  }

  test::TemporaryConfig config_;
  testing::ScopedManualClock clock_{1000};
  testing::SimulatedCameraOnDrive sim_{1};
  CameraInstance camera_;
};

TEST_F(SettingsOperationsTest, CaptureWindowGenerationCountsChangesOfWindowAndSubSampleMode) {
  const uint32_t start = camera_.CaptureWindowGeneration();
  ASSERT_EQ(camera_.SetCaptureWindowEx(4384, 0, 640, 3288, 0, 480), 1);
  EXPECT_EQ(camera_.CaptureWindowGeneration(), start + 1);
  // The same window again changes nothing the capture thread must follow.
  ASSERT_EQ(camera_.SetCaptureWindowEx(4384, 0, 640, 3288, 0, 480), 1);
  EXPECT_EQ(camera_.CaptureWindowGeneration(), start + 1);
  // A refused window is stored all the same, and so counts.
  ASSERT_EQ(camera_.SetCaptureWindowEx(4384, 1, 4384, 3288, 0, 480), 0);
  EXPECT_EQ(camera_.CaptureWindowGeneration(), start + 2);
  ASSERT_EQ(camera_.SetSubSample(1), 1);
  EXPECT_EQ(camera_.CaptureWindowGeneration(), start + 3);
  ASSERT_EQ(camera_.SetSubSample(1), 1);
  ASSERT_EQ(camera_.SetSubSample(9), 0);
  EXPECT_EQ(camera_.CaptureWindowGeneration(), start + 3);
}

TEST_F(SettingsOperationsTest, GlobalGainChangesAllFiveGainsInOneStep) {
  // A reader beside the setter never sees the five gains disagree.
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done.load()) {
      const AnalogSettings analog = camera_.Analog();
      for (int32_t gain : {analog.colorGainGreen1, analog.colorGainRed, analog.colorGainBlue, analog.colorGainGreen2})
        if (gain != analog.globalGain) torn.fetch_add(1);
    }
  });
  for (int round = 0; round < 200; ++round) camera_.SetFilterValue(ZIRVO_FILTER_GLOBAL_GAIN, round % 128);
  done.store(true);
  reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(camera_.Analog().colorGainBlue, 199 % 128);
}

TEST_F(SettingsOperationsTest, ColourGainsAndExposureAnswerWhatTheSensorWasGiven) {
  // Start-up gave the sensor every gain: the answer is what it holds, not a
  // stored value that a hand-edited store could put beyond its range.
  camera_.Settings().Update([](InstanceSettings& s) { s.analog.colorGainRed = 99; });
  EXPECT_EQ(camera_.GetFilterValue(ZIRVO_FILTER_COLOR_GAIN_RED, nullptr), 100);
  EXPECT_EQ(camera_.GetFilterValue(ZIRVO_FILTER_EXPOSURE_TIME, nullptr), 600);
}

}  // namespace
}  // namespace zirvo
