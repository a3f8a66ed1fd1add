// The camera's per-frame conversion: what reaches the settings, the device,
// the error store and the open dialogs, and consistency while settings change.
#include "instance/frame_conversion.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "device/model7730_device.h"
#include "display/frame_bitmap.h"
#include "instance/camera_instance.h"
#include "support/sim_fixture.h"
#include "support/sim_scene.h"
#include "support/temporary_config.h"

namespace zirvo {
namespace {

using testing::LoadRawFrame;
using testing::SimScene;

class CountingRefresh final : public DialogRefresh {
 public:
  void RefreshFilterSheet() override { filterSheet.fetch_add(1); }
  void RefreshExposureBoxes() override { exposureBoxes.fetch_add(1); }
  std::atomic<int> filterSheet{0};
  std::atomic<int> exposureBoxes{0};
};

class FrameConversionTest : public ::testing::Test {
 protected:
  static constexpr int kWidth = 274;
  static constexpr int kHeight = 206;

  void SetUp() override {
    device_ = std::make_unique<testing::SimulatedCameraOnDrive>(1);
    ASSERT_NE(device_->get(), nullptr);
    camera_ = std::make_unique<CameraInstance>();
    ASSERT_EQ(camera_->Initialize(nullptr), 1);
    while (camera_->PopError() != 0) {
    }
    scene_ = std::make_unique<SimScene>(kWidth, kHeight, 16, 3);
    ASSERT_TRUE(scene_->Ready());
    camera_->SetDialogRefresh(&refresh_);
  }

  void TearDown() override {
    camera_->SetDialogRefresh(nullptr);
    camera_.reset();
    scene_.reset();
    device_.reset();
  }

  // Sizes the bitmaps of `mode` as the preparation of acquisition does.
  void Prepare(int mode) {
    const int bits[] = {8, 16, 24, 32, 48, 64};
    const bool wide = mode == kColorMode16 || mode == kColorMode48 || mode == kColorMode64;
    ASSERT_EQ(camera_->Bitmap(wide ? kBitmapRaw16 : kBitmapRaw8)->Create(kWidth, kHeight, wide ? 16 : 8), 1);
    if (mode != kColorMode16) {
      ASSERT_EQ(camera_->Bitmap(kBitmap24)->Create(kWidth, kHeight, 24), 1);
    }
    if (mode > kColorMode24) {
      const auto slot = static_cast<BitmapSlot>(kBitmap24 + mode - kColorMode24);
      ASSERT_EQ(camera_->Bitmap(slot)->Create(kWidth, kHeight, bits[mode]), 1);
    }
    ASSERT_EQ(camera_->PrepareConversion(mode), 1);
    mode_ = mode;
  }

  FrameBitmap& Raw() {
    const bool wide = mode_ == kColorMode16 || mode_ == kColorMode48 || mode_ == kColorMode64;
    return *camera_->Bitmap(wide ? kBitmapRaw16 : kBitmapRaw8);
  }

  std::vector<uint8_t> Output() {
    const BitmapSlot slots[] = {kBitmapRaw8, kBitmapRaw16, kBitmap24, kBitmap32, kBitmap48, kBitmap64};
    const FrameBitmap& output = *camera_->Bitmap(slots[mode_]);
    return std::vector<uint8_t>(output.Pixels(), output.Pixels() + static_cast<size_t>(output.Stride()) * output.Height());
  }

  void ConvertSceneFrame() {
    LoadRawFrame(Raw(), scene_->Frame());
    camera_->ConvertFrame();
  }

  void ChangeFilter(int entry, int32_t value) {
    camera_->Settings().Update([&](InstanceSettings& s) { s.filter[entry] = value; });
  }

  std::unique_ptr<testing::SimulatedCameraOnDrive> device_;
  test::TemporaryConfig config_;
  std::unique_ptr<CameraInstance> camera_;
  std::unique_ptr<SimScene> scene_;
  CountingRefresh refresh_;
  int mode_ = 0;
};

TEST_F(FrameConversionTest, FramesWithAutomaticExposureOffRecordNothing) {
  Prepare(kColorMode24);
  camera_->Settings().Update([](InstanceSettings& s) { s.analog.autoIris = 0; });
  camera_->RecordError(kErrorCaptureWindow);
  for (int frame = 0; frame < 25; ++frame) ConvertSceneFrame();
  EXPECT_EQ(camera_->PopError(), kErrorCaptureWindow);
  EXPECT_EQ(camera_->PopError(), 0);
}

TEST_F(FrameConversionTest, AutomaticGainReachesDeviceSettingsAndExposureBoxes) {
  Prepare(kColorMode8);
  scene_->SetExposure(60);  // a tenth of the usual light
  camera_->Device()->SetGlobalGain(40);
  camera_->Settings().Update([](InstanceSettings& s) {
    s.analog.autoIris = 2;
    s.analog.globalGain = s.analog.colorGainRed = s.analog.colorGainBlue = 40;
    s.analog.colorGainGreen1 = s.analog.colorGainGreen2 = 40;
  });
  ConvertSceneFrame();
  EXPECT_EQ(camera_->Device()->GetGlobalGain(), 60);  // 40 x 1.5
  EXPECT_EQ(ZirvoSim_GetRegister(device_->get(), 0x305E), 0x1000 | 60);
  const AnalogSettings analog = camera_->Analog();
  EXPECT_EQ(analog.globalGain, 60);
  EXPECT_EQ(analog.colorGainGreen1, 60);
  EXPECT_EQ(analog.colorGainRed, 60);
  EXPECT_EQ(analog.colorGainBlue, 60);
  EXPECT_EQ(analog.colorGainGreen2, 60);
  EXPECT_EQ(refresh_.exposureBoxes.load(), 1);
  EXPECT_EQ(refresh_.filterSheet.load(), 0);
  EXPECT_EQ(camera_->PopError(), 0);
}

TEST_F(FrameConversionTest, AutomaticExposureInTheDeadBandTouchesNothing) {
  Prepare(kColorMode16);
  int exposure = 0;
  ASSERT_EQ(camera_->Device()->GetExposure(&exposure), 1);
  camera_->Settings().Update([](InstanceSettings& s) { s.analog.autoIris = 1; });
  const AnalogSettings before = camera_->Analog();
  ConvertSceneFrame();  // the chart at the default exposure sits in the band
  int after = 0;
  camera_->Device()->GetExposure(&after);
  EXPECT_EQ(after, exposure);
  EXPECT_EQ(camera_->Analog(), before);
  EXPECT_EQ(refresh_.exposureBoxes.load(), 0);
}

TEST_F(FrameConversionTest, WhiteBalanceOnceIsStoredClearedAndRefreshesTheSheet) {
  Prepare(kColorMode32);
  scene_->SetChannelGains(70, 100, 100, 125);
  ChangeFilter(kFilterBayerMode, SimScene::kBayerMode);
  for (int entry : {int{kFilterAutoWhiteBalance}, kFilterWhiteBalanceOnceFirst, kFilterWhiteBalanceOnceSecond})
    ChangeFilter(entry, 1);
  ConvertSceneFrame();
  FilterSettings filter = camera_->Filter();
  EXPECT_GT(filter[kFilterGainRed], 125);
  EXPECT_LT(filter[kFilterGainBlue], 90);
  EXPECT_EQ(filter[kFilterGainGreen], 100);
  EXPECT_EQ(filter[kFilterAutoWhiteBalance], 0);
  EXPECT_EQ(filter[kFilterWhiteBalanceOnceFirst], 0);
  EXPECT_EQ(filter[kFilterWhiteBalanceOnceSecond], 0);
  EXPECT_EQ(refresh_.filterSheet.load(), 1);

  // "Once" is over: the next frame measures nothing.
  ChangeFilter(kFilterGainRed, 100);
  ConvertSceneFrame();
  EXPECT_EQ(camera_->Filter()[kFilterGainRed], 100);
  EXPECT_EQ(refresh_.filterSheet.load(), 1);
}

TEST_F(FrameConversionTest, WhiteBalanceOnEveryFrameKeepsItsSwitch) {
  Prepare(kColorMode24);
  scene_->SetChannelGains(100, 100, 100, 50);
  ChangeFilter(kFilterBayerMode, SimScene::kBayerMode);
  ChangeFilter(kFilterAutoWhiteBalance, 1);
  for (int frame = 1; frame <= 3; ++frame) {
    ChangeFilter(kFilterGainBlue, 100);
    ConvertSceneFrame();
    EXPECT_GT(camera_->Filter()[kFilterGainBlue], 180) << frame;
    EXPECT_EQ(camera_->Filter()[kFilterAutoWhiteBalance], 1);
    EXPECT_EQ(refresh_.filterSheet.load(), frame);
  }
}

TEST_F(FrameConversionTest, GrayGainCounterRunsDownInTheSettings) {
  Prepare(kColorMode8);
  // Blue weaker; with BayerMode 1 the gray filter names the blue site R.
  scene_->SetChannelGains(100, 100, 100, 80);
  ChangeFilter(kFilterBayerMode, SimScene::kBayerMode);
  ChangeFilter(kFilterGrayMode, 1);
  ChangeFilter(kFilterGrayGainCounter, 1);
  ConvertSceneFrame();
  FilterSettings filter = camera_->Filter();
  EXPECT_EQ(filter[kFilterGrayGainCounter], 0);
  EXPECT_EQ(filter[kFilterGrayGainG1], 128);
  EXPECT_GT(filter[kFilterGrayGainR], 150);
  EXPECT_EQ(refresh_.filterSheet.load(), 1);
  ConvertSceneFrame();
  EXPECT_EQ(refresh_.filterSheet.load(), 1);
  EXPECT_EQ(camera_->Filter()[kFilterGrayGainR], filter[kFilterGrayGainR]);
}

// The work window holds a few rows of the output's format, enough for the
// sharpening to give the bytes it gives with a copy of the whole frame.
TEST_F(FrameConversionTest, PrepareConversionMakesAWorkWindowInTheOutputFormat) {
  const int bits[] = {8, 16, 24, 32, 48, 64};
  for (int mode : {kColorMode24, kColorMode48, kColorMode64}) {
    SCOPED_TRACE(mode);
    Prepare(mode);
    const FrameBitmap& work = *camera_->Bitmap(kBitmapWork);
    EXPECT_EQ(work.Width(), kWidth);
    EXPECT_LT(work.Height(), kHeight);
    EXPECT_EQ(work.BitsPerPixel(), bits[mode]);

    ChangeFilter(kFilterSharpness, 20);
    ChangeFilter(kFilterBrightness, 9);
    LoadRawFrame(Raw(), scene_->Frame());
    ConversionBitmaps whole{camera_->Bitmap(kBitmapRaw8), camera_->Bitmap(kBitmapRaw16), camera_->Bitmap(kBitmap24),
                            camera_->Bitmap(kBitmap32),   camera_->Bitmap(kBitmap48),    camera_->Bitmap(kBitmap64),
                            nullptr};
    FrameBitmap fullCopy;
    ASSERT_EQ(fullCopy.CopyFormat(OutputBitmapFor(whole, mode)), 1);
    whole.work = &fullCopy;
    FrameSettings settings;
    settings.filter = camera_->Filter();
    settings.colorMode = mode;
    ConversionPipeline(ProcessorInfo{}).Convert(whole, settings, nullptr);
    const std::vector<uint8_t> expected = Output();

    ConvertSceneFrame();
    EXPECT_TRUE(Output() == expected);
  }
  EXPECT_EQ(camera_->PrepareConversion(7), 0);
}

TEST_F(FrameConversionTest, ConvertsInThePreparedModeWhateverTheSettingSaysNow) {
  Prepare(kColorMode24);
  ConvertSceneFrame();
  const std::vector<uint8_t> first = Output();
  camera_->SetColorMode(48);  // takes effect at the next preparation
  ConvertSceneFrame();
  EXPECT_EQ(Output(), first);
}

// --- The write-back rule ----------------------------------------------------

TEST(StoreFrameMeasurementsTest, ValuesSetMeanwhileStay) {
  InstanceSettings used;
  used.filter[kFilterGainRed] = used.filter[kFilterGainGreen] = used.filter[kFilterGainBlue] = 100;
  used.filter[kFilterGrayGainCounter] = 1;
  used.analog.exposure = 600;
  FrameMeasurements measured;
  measured.whiteBalanceMeasured = true;
  measured.whiteBalance = {150, 100, 70};
  measured.grayGainsMeasured = true;
  measured.grayGains = {140, 128, 120, 110};
  measured.grayGainCounter = 0;
  measured.autoIris.change = AutoIrisOutcome::Change::Exposure;
  measured.autoIris.value = 900;

  InstanceSettings untouched = used;
  StoreFrameMeasurements(untouched, used, measured);
  EXPECT_EQ(untouched.filter[kFilterGainRed], 150);
  EXPECT_EQ(untouched.filter[kFilterGainBlue], 70);
  EXPECT_EQ(untouched.filter[kFilterGrayGainR], 140);
  EXPECT_EQ(untouched.filter[kFilterGrayGainB], 110);
  EXPECT_EQ(untouched.filter[kFilterGrayGainCounter], 0);
  EXPECT_EQ(untouched.analog.exposure, 900);

  // A caller set the three gains at once (one of them to its old value),
  // a gray gain, the counter and the exposure while the frame was converted.
  InstanceSettings changed = used;
  changed.filter[kFilterGainRed] = 100;
  changed.filter[kFilterGainBlue] = 200;
  changed.filter[kFilterGrayGainG2] = 129;
  changed.filter[kFilterGrayGainCounter] = -1;
  changed.analog.exposure = 50;
  const InstanceSettings expected = changed;
  StoreFrameMeasurements(changed, used, measured);
  EXPECT_EQ(changed.filter.entries, expected.filter.entries);
  EXPECT_EQ(changed.analog, expected.analog);
}

TEST(StoreFrameMeasurementsTest, AutomaticGainMovesAllFiveGainsOrNone) {
  InstanceSettings used;
  used.analog.globalGain = used.analog.colorGainRed = 100;
  FrameMeasurements measured;
  measured.autoIris.change = AutoIrisOutcome::Change::GlobalGain;
  measured.autoIris.value = 24;
  InstanceSettings stored = used;
  StoreFrameMeasurements(stored, used, measured);
  EXPECT_EQ(stored.analog.globalGain, 24);
  EXPECT_EQ(stored.analog.colorGainGreen1, 24);
  EXPECT_EQ(stored.analog.colorGainRed, 24);
  EXPECT_EQ(stored.analog.colorGainBlue, 24);
  EXPECT_EQ(stored.analog.colorGainGreen2, 24);
  EXPECT_EQ(stored.analog.exposure, used.analog.exposure);

  InstanceSettings changed = used;
  changed.analog.colorGainBlue = 77;
  StoreFrameMeasurements(changed, used, measured);
  EXPECT_EQ(changed.analog.globalGain, 100);
  EXPECT_EQ(changed.analog.colorGainBlue, 77);
}

// --- Settings changed while frames are converted -----------------------------

FilterSettings SetA() {
  FilterSettings filter;
  filter[kFilterGainRed] = 130, filter[kFilterGainGreen] = 100, filter[kFilterGainBlue] = 80;
  filter[kFilterGamma] = 120, filter[kFilterContrast] = 15, filter[kFilterSharpness] = 8;
  filter[kFilterBrightness] = 10, filter[kFilterHue] = 30, filter[kFilterSaturation] = 40;
  filter[kFilterBayerMode] = SimScene::kBayerMode;
  return filter;
}

FilterSettings SetB() {
  FilterSettings filter;
  filter[kFilterGainRed] = 90, filter[kFilterGainGreen] = 100, filter[kFilterGainBlue] = 160;
  filter[kFilterGamma] = 80, filter[kFilterContrast] = -20, filter[kFilterSharpness] = 20;
  filter[kFilterBrightness] = -15, filter[kFilterHue] = -60, filter[kFilterSaturation] = -30;
  filter[kFilterBayerMode] = SimScene::kBayerMode;
  return filter;
}

TEST_F(FrameConversionTest, EveryFrameIsConvertedWithOneWholeSetOfSettings) {
  Prepare(kColorMode24);
  const std::vector<uint8_t> frame = scene_->Frame();
  auto convert = [&] {
    LoadRawFrame(Raw(), frame);
    camera_->ConvertFrame();
    return Output();
  };
  camera_->Settings().Update([](InstanceSettings& s) { s.filter = SetA(); });
  const std::vector<uint8_t> withA = convert();
  camera_->Settings().Update([](InstanceSettings& s) { s.filter = SetB(); });
  const std::vector<uint8_t> withB = convert();
  ASSERT_NE(withA, withB);

  std::atomic<bool> done{false};
  std::thread setter([&] {
    // The caller's thread: each setter changes its values in one update.
    for (bool a = true; !done.load(); a = !a) {
      camera_->Settings().Update([a](InstanceSettings& s) { s.filter = a ? SetA() : SetB(); });
      std::this_thread::yield();
    }
  });
  int sawA = 0, sawB = 0;
  for (int i = 0; i < 12; ++i) {
    const std::vector<uint8_t> output = convert();
    sawA += output == withA;
    sawB += output == withB;
  }
  done.store(true);
  setter.join();
  EXPECT_EQ(sawA + sawB, 12) << "a frame mixed the two sets";
}

}  // namespace
}  // namespace zirvo
