// Tests of the exported settings functions against a simulated camera: what
// each stores, answers and programs into the sensor's registers.
#include "ZirvoSdk_USB3_7730QX.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "api/camera_registry.h"
#include "support/sim_fixture.h"
#include "support/temporary_config.h"
#include "zirvo_port.h"

namespace zirvo {
namespace {

constexpr int kGlobalGainRegister = 0x305E;
constexpr int kGreen1Register = 0x3056;
constexpr int kBlueRegister = 0x3058;
constexpr int kRedRegister = 0x305A;
constexpr int kGreen2Register = 0x305C;
constexpr int kExposureRegister = 0x0202;
constexpr int kReadModeRegister = 0x3040;
constexpr int kGainEnable = 0x1000;

class SettingsExportsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(camera_.get(), nullptr); }
  void TearDown() override {
    if (handle_) Zirvo_Release(handle_);
  }

  // Opens the camera and empties its error store (a fresh profile records 12).
  void Open() {
    handle_ = Zirvo_Initialize(nullptr);
    ASSERT_NE(handle_, 0);
    Errors();
  }

  std::vector<int> Errors() const {
    std::vector<int> codes;
    for (int code; (code = Zirvo_GetLastError(handle_)) != 0;) codes.push_back(code);
    return codes;
  }

  int Register(int address) const { return ZirvoSim_GetRegister(camera_.get(), address); }

  int Filter(int id) const {
    int ok = -1;
    int value = Zirvo_GetFilterValue(handle_, id, &ok);
    EXPECT_EQ(ok, 1) << "id " << id;
    return value;
  }

  CameraSizeSettings Window() const {
    CameraSizeSettings window;
    EXPECT_EQ(Zirvo_GetCaptureWindowEx(handle_, &window.totalWidth, &window.left, &window.width,
                                       &window.totalHeight, &window.top, &window.height),
              1);
    window.buffers = 0;
    return window;
  }

  CameraInstance& Instance() const { return *TheCameraRegistry().Find(handle_)->camera; }

  test::TemporaryConfig config_;
  testing::ScopedManualClock clock_{1000};
  testing::SimulatedCameraOnDrive camera_{1};
  int handle_ = 0;
};

// --- Filter values -------------------------------------------------------------

struct StoredRange {
  int id;
  int minimum;
  int maximum;
};

// The ids whose getter answers the stored value.
constexpr StoredRange kStoredRanges[] = {
    {1, -255, 255}, {2, -127, 127}, {3, -360, 360}, {4, -255, 255}, {5, 0, 30},     {7, 0, 400},
    {8, 0, 400},    {9, 0, 400},    {11, 0, 200},   {12, 0, 3},     {19, 0, 2},     {20, 0, 255},
    {21, 0, 255},   {22, 0, 255},   {23, 0, 255},   {24, -255, 255}, {25, -255, 255}, {26, -255, 255},
    {27, -255, 255}};

TEST_F(SettingsExportsTest, StoredFilterValuesTakeTheirRangeEdgesAndRefuseOneBeyond) {
  Open();
  for (const StoredRange& range : kStoredRanges) {
    SCOPED_TRACE(range.id);
    EXPECT_EQ(Zirvo_SetFilterValue(handle_, range.id, range.minimum), 1);
    EXPECT_EQ(Filter(range.id), range.minimum);
    EXPECT_EQ(Zirvo_SetFilterValue(handle_, range.id, range.maximum), 1);
    EXPECT_EQ(Filter(range.id), range.maximum);
    EXPECT_TRUE(Errors().empty());
    EXPECT_EQ(Zirvo_SetFilterValue(handle_, range.id, range.minimum - 1), 0);
    EXPECT_EQ(Zirvo_SetFilterValue(handle_, range.id, range.maximum + 1), 0);
    EXPECT_EQ(Errors(), (std::vector<int>{9, 9}));
    EXPECT_EQ(Filter(range.id), range.maximum);
  }
}

using NamedSetter = int (*)(int, int);
using NamedGetter = int (*)(int, int*);
struct NamedPair {
  int id;
  NamedSetter set;
  NamedGetter get;
  int sample;  // a value the id accepts and answers back unchanged
};

constexpr NamedPair kNamedPairs[] = {
    {1, Zirvo_SetBrightness, Zirvo_GetBrightness, -17},
    {2, Zirvo_SetContrast, Zirvo_GetContrast, -18},
    {3, Zirvo_SetHue, Zirvo_GetHue, -300},
    {4, Zirvo_SetSaturation, Zirvo_GetSaturation, 19},
    {5, Zirvo_SetSharpness, Zirvo_GetSharpness, 21},
    {6, Zirvo_SetBayerGainRGB, Zirvo_GetBayerGainRGB, 0x00010203},
    {7, Zirvo_SetBayerGainRed, Zirvo_GetBayerGainRed, 22},
    {8, Zirvo_SetBayerGainGreen, Zirvo_GetBayerGainGreen, 23},
    {9, Zirvo_SetBayerGainBlue, Zirvo_GetBayerGainBlue, 24},
    {10, Zirvo_SetBayerGainAuto, Zirvo_GetBayerGainAuto, 1},
    {11, Zirvo_SetGamma, Zirvo_GetGamma, 25},
    {12, Zirvo_SetBayerMode, Zirvo_GetBayerMode, 1},
    {13, Zirvo_SetGlobalGain, Zirvo_GetGlobalGain, 26},
    {14, Zirvo_SetColorGainRed, Zirvo_GetColorGainRed, 27},
    {15, Zirvo_SetColorGainGreen1, Zirvo_GetColorGainGreen1, 28},
    {16, Zirvo_SetColorGainGreen2, Zirvo_GetColorGainGreen2, 29},
    {17, Zirvo_SetColorGainBlue, Zirvo_GetColorGainBlue, 30},
    {18, Zirvo_SetExposureTime, Zirvo_GetExposureTime, 31},
    {19, Zirvo_SetGrayMode, Zirvo_GetGrayMode, 2},
    {20, Zirvo_SetGrayGainR, Zirvo_GetGrayGainR, 32},
    {21, Zirvo_SetGrayGainG1, Zirvo_GetGrayGainG1, 33},
    {22, Zirvo_SetGrayGainG2, Zirvo_GetGrayGainG2, 34},
    {23, Zirvo_SetGrayGainB, Zirvo_GetGrayGainB, 35},
    {24, Zirvo_SetGrayOffsetR, Zirvo_GetGrayOffsetR, -36},
    {25, Zirvo_SetGrayOffsetG1, Zirvo_GetGrayOffsetG1, -37},
    {26, Zirvo_SetGrayOffsetG2, Zirvo_GetGrayOffsetG2, -38},
    {27, Zirvo_SetGrayOffsetB, Zirvo_GetGrayOffsetB, -39},
};

TEST_F(SettingsExportsTest, EachNamedPairIsTheGenericPairWithItsId) {
  Open();
  for (const NamedPair& pair : kNamedPairs) {
    SCOPED_TRACE(pair.id);
    EXPECT_EQ(pair.set(handle_, pair.sample), 1);
    EXPECT_EQ(Filter(pair.id), pair.sample);
    int ok = 0;
    EXPECT_EQ(pair.get(handle_, &ok), pair.sample);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(pair.get(handle_, nullptr), pair.sample);
  }
  // Distinct samples, and none of the pairs wrote another id's value.
  for (const NamedPair& pair : kNamedPairs) {
    if (pair.id == 6) continue;  // ids 7 to 9 are its three bytes
    EXPECT_EQ(Filter(pair.id), pair.sample) << "id " << pair.id;
  }
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SettingsExportsTest, PackedWhiteBalanceGainsSplitIntoThreeBytesAndPackAgain) {
  Open();
  EXPECT_EQ(Zirvo_SetBayerGainRGB(handle_, 0x7F204080), 1);
  EXPECT_EQ(Zirvo_GetBayerGainRed(handle_, nullptr), 128);
  EXPECT_EQ(Zirvo_GetBayerGainGreen(handle_, nullptr), 64);
  EXPECT_EQ(Zirvo_GetBayerGainBlue(handle_, nullptr), 32);
  EXPECT_EQ(Zirvo_GetBayerGainRGB(handle_, nullptr), 0x00204080);
  // A gain above 255 packs its low byte.
  EXPECT_EQ(Zirvo_SetBayerGainRed(handle_, 400), 1);
  EXPECT_EQ(Zirvo_GetBayerGainRGB(handle_, nullptr), 0x00204090);
  EXPECT_EQ(Zirvo_SetBayerGainRGB(handle_, -1), 1);
  EXPECT_EQ(Zirvo_GetBayerGainRGB(handle_, nullptr), 0x00FFFFFF);
}

TEST_F(SettingsExportsTest, AutomaticWhiteBalanceTakesAnyValueAsOnOrOff) {
  Open();
  EXPECT_EQ(Zirvo_SetBayerGainAuto(handle_, INT_MIN), 1);
  EXPECT_EQ(Zirvo_GetBayerGainAuto(handle_, nullptr), 1);
  EXPECT_EQ(Zirvo_SetBayerGainAuto(handle_, 0), 1);
  EXPECT_EQ(Zirvo_GetBayerGainAuto(handle_, nullptr), 0);
}

TEST_F(SettingsExportsTest, UnknownFilterIdsFailWithError9AndClearOk) {
  Open();
  int ok = 1;
  EXPECT_EQ(Zirvo_GetFilterValue(handle_, 28, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Zirvo_GetFilterValue(handle_, 0, nullptr), 0);
  EXPECT_EQ(Zirvo_SetFilterValue(handle_, 28, 0), 0);
  EXPECT_EQ(Zirvo_SetFilterValue(handle_, -1, 0), 0);
  EXPECT_EQ(Errors(), (std::vector<int>{9, 9, 9, 9}));
}

TEST_F(SettingsExportsTest, GlobalGainSetsAllFiveGainsButWritesOnlyItsRegister) {
  Open();
  const int red = Register(kRedRegister);
  EXPECT_EQ(Zirvo_SetGlobalGain(handle_, 50), 1);
  EXPECT_EQ(Register(kGlobalGainRegister), kGainEnable | 50);
  EXPECT_EQ(Register(kRedRegister), red);
  EXPECT_EQ(Zirvo_GetGlobalGain(handle_, nullptr), 50);
  // The colour gains read back what the sensor holds; the stored ones follow the global gain.
  EXPECT_EQ(Zirvo_GetColorGainRed(handle_, nullptr), 100);
  const AnalogSettings analog = Instance().Analog();
  EXPECT_EQ(analog.globalGain, 50);
  EXPECT_EQ(analog.colorGainGreen1, 50);
  EXPECT_EQ(analog.colorGainRed, 50);
  EXPECT_EQ(analog.colorGainBlue, 50);
  EXPECT_EQ(analog.colorGainGreen2, 50);
}

TEST_F(SettingsExportsTest, GlobalGainRangeEdgesReachTheSensorClampedAt125) {
  Open();
  EXPECT_EQ(Zirvo_SetGlobalGain(handle_, 0), 1);
  EXPECT_EQ(Register(kGlobalGainRegister), kGainEnable);
  EXPECT_EQ(Zirvo_GetGlobalGain(handle_, nullptr), 0);
  EXPECT_EQ(Zirvo_SetGlobalGain(handle_, 127), 1);
  EXPECT_EQ(Register(kGlobalGainRegister), kGainEnable | 125);
  EXPECT_EQ(Zirvo_GetGlobalGain(handle_, nullptr), 125);
  EXPECT_EQ(Zirvo_SetGlobalGain(handle_, 128), 0);
  EXPECT_EQ(Zirvo_SetGlobalGain(handle_, -1), 0);
  EXPECT_EQ(Errors(), (std::vector<int>{9, 9}));
  EXPECT_EQ(Register(kGlobalGainRegister), kGainEnable | 125);
}

TEST_F(SettingsExportsTest, EachColourGainWritesItsOwnRegister) {
  Open();
  const struct {
    NamedSetter set;
    NamedGetter get;
    int sensorRegister;
  } gains[] = {{Zirvo_SetColorGainRed, Zirvo_GetColorGainRed, kRedRegister},
               {Zirvo_SetColorGainGreen1, Zirvo_GetColorGainGreen1, kGreen1Register},
               {Zirvo_SetColorGainGreen2, Zirvo_GetColorGainGreen2, kGreen2Register},
               {Zirvo_SetColorGainBlue, Zirvo_GetColorGainBlue, kBlueRegister}};
  int value = 60;
  for (const auto& gain : gains) {
    SCOPED_TRACE(gain.sensorRegister);
    EXPECT_EQ(gain.set(handle_, ++value), 1);
    EXPECT_EQ(Register(gain.sensorRegister), kGainEnable | value);
    EXPECT_EQ(gain.get(handle_, nullptr), value);
    EXPECT_EQ(gain.set(handle_, 0), 1);
    EXPECT_EQ(Register(gain.sensorRegister), kGainEnable);
    EXPECT_EQ(gain.set(handle_, 127), 1);
    EXPECT_EQ(Register(gain.sensorRegister), kGainEnable | 125);
    EXPECT_EQ(gain.get(handle_, nullptr), 125);
    EXPECT_EQ(gain.set(handle_, 128), 0);
    EXPECT_EQ(gain.set(handle_, -1), 0);
    EXPECT_EQ(Errors(), (std::vector<int>{9, 9}));
    EXPECT_EQ(Register(gain.sensorRegister), kGainEnable | 125);
  }
  EXPECT_EQ(Register(kGlobalGainRegister), kGainEnable | 100);
}

TEST_F(SettingsExportsTest, ExposureReachesItsRegisterAtBothEdges) {
  Open();
  EXPECT_EQ(Zirvo_SetExposureTime(handle_, 8192), 1);
  EXPECT_EQ(Register(kExposureRegister), 8192);
  EXPECT_EQ(Zirvo_GetExposureTime(handle_, nullptr), 8192);
  // The sensor takes no exposure of 0: it is given 1.
  EXPECT_EQ(Zirvo_SetExposureTime(handle_, 0), 1);
  EXPECT_EQ(Register(kExposureRegister), 1);
  EXPECT_EQ(Zirvo_GetExposureTime(handle_, nullptr), 1);
  EXPECT_EQ(Zirvo_SetExposureTime(handle_, 8193), 0);
  EXPECT_EQ(Zirvo_SetExposureTime(handle_, -1), 0);
  EXPECT_EQ(Errors(), (std::vector<int>{9, 9}));
  EXPECT_EQ(Register(kExposureRegister), 1);
}

// --- Mirrors -------------------------------------------------------------------

TEST_F(SettingsExportsTest, VerticalMirrorFlipsTheSensorAndTheRowPhaseOnEveryCall) {
  Open();
  ASSERT_EQ(Zirvo_GetBayerMode(handle_, nullptr), 3);  // the first-run phase
  EXPECT_EQ(Zirvo_SetMirrorV(handle_, 1), 1);
  EXPECT_EQ(Register(kReadModeRegister), 0x8041);
  EXPECT_EQ(Zirvo_GetMirrorV(handle_), 1);
  EXPECT_EQ(Zirvo_GetBayerMode(handle_, nullptr), 2);
  EXPECT_EQ(Zirvo_SetMirrorV(handle_, 7), 1);
  EXPECT_EQ(Zirvo_GetMirrorV(handle_), 1);
  EXPECT_EQ(Zirvo_GetBayerMode(handle_, nullptr), 3);
  EXPECT_EQ(Zirvo_SetMirrorV(handle_, 0), 1);
  EXPECT_EQ(Register(kReadModeRegister), 0x0041);
  EXPECT_EQ(Zirvo_GetMirrorV(handle_), 0);
  EXPECT_EQ(Zirvo_GetBayerMode(handle_, nullptr), 2);
  EXPECT_EQ(Instance().Analog().mirrorVertical, 0);
}

TEST_F(SettingsExportsTest, HorizontalMirrorFlipsTheColumnPhaseAndLeavesTheSensorAlone) {
  Open();
  ZirvoSim_ClearLog(camera_.get());
  EXPECT_EQ(Zirvo_SetMirrorH(handle_, 5), 1);
  EXPECT_EQ(Zirvo_GetMirrorH(handle_), 1);
  EXPECT_EQ(Zirvo_GetBayerMode(handle_, nullptr), 1);
  EXPECT_EQ(Zirvo_SetMirrorH(handle_, 1), 1);
  EXPECT_EQ(Zirvo_GetMirrorH(handle_), 1);
  EXPECT_EQ(Zirvo_GetBayerMode(handle_, nullptr), 3);
  EXPECT_EQ(Zirvo_SetMirrorH(handle_, 0), 1);
  EXPECT_EQ(Zirvo_GetMirrorH(handle_), 0);
  EXPECT_EQ(Zirvo_GetBayerMode(handle_, nullptr), 1);
  EXPECT_EQ(ZirvoSim_GetLog(camera_.get(), nullptr, 0), 0u);
}

TEST_F(SettingsExportsTest, StoredPhaseOutsideTheFourIsNotFlipped) {
  config_.Store("Filter", {{"BayerMode", 7}});
  Open();
  EXPECT_EQ(Zirvo_SetMirrorV(handle_, 1), 1);
  EXPECT_EQ(Zirvo_SetMirrorH(handle_, 1), 1);
  EXPECT_EQ(Zirvo_GetBayerMode(handle_, nullptr), 7);
}

// --- Capture window ------------------------------------------------------------

TEST_F(SettingsExportsTest, CaptureWindowTakesTheFirstPresetOfThatSize) {
  Open();
  config_.Store("Size_01", {{"TH", 4384}, {"TV", 3288}, {"EH", 640}, {"EV", 480}, {"EHS", 8}, {"EVS", 4}, {"Buf", 3}});
  config_.Store("Size_02", {{"TH", 4384}, {"TV", 3288}, {"EH", 640}, {"EV", 480}, {"EHS", 0}, {"EVS", 0}, {"Buf", 5}});
  EXPECT_EQ(Zirvo_SetCaptureWindow(handle_, 640, 480), 1);
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(Window(), (CameraSizeSettings{4384, 3288, 640, 480, 8, 4, 0}));
  EXPECT_EQ(Instance().CaptureWindow().buffers, 3);
  EXPECT_EQ(Zirvo_Width(handle_), 640);
  EXPECT_EQ(Zirvo_Height(handle_), 480);
  EXPECT_EQ(Register(0x034C), 640);
  EXPECT_EQ(Register(0x034E), 480);
  EXPECT_EQ(Register(0x0344), 8 + 24);
  EXPECT_EQ(Register(0x0346), 4);
}

TEST_F(SettingsExportsTest, CaptureWindowOfASizeNoPresetHasRecordsError4) {
  Open();
  ASSERT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 0, 1000, 3288, 0, 800), 1);
  EXPECT_EQ(Zirvo_SetCaptureWindow(handle_, 640, 480), 0);
  EXPECT_EQ(Errors(), std::vector<int>{4});
  EXPECT_EQ(Zirvo_Width(handle_), 1000);
  EXPECT_EQ(Register(0x034C), 1000);
}

TEST_F(SettingsExportsTest, PresetBeyondTheSensorGivesTheWholeSensorAndStillSucceeds) {
  Open();
  ASSERT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 0, 1000, 3288, 0, 800), 1);
  config_.Store("Size_01", {{"TH", 100}, {"TV", 100}, {"EH", 4384}, {"EV", 480}, {"EHS", 1}, {"EVS", 0}, {"Buf", 6}});
  EXPECT_EQ(Zirvo_SetCaptureWindow(handle_, 4384, 480), 1);
  EXPECT_EQ(Errors(), std::vector<int>{7});
  EXPECT_EQ(Instance().CaptureWindow(), (CameraSizeSettings{4384, 3288, 4384, 3288, 0, 0, 6}));
  EXPECT_EQ(Register(0x034C), 4384);
  EXPECT_EQ(Register(0x034E), 3288);
  EXPECT_EQ(Register(0x0344), 24);
}

TEST_F(SettingsExportsTest, WindowBeyondTheSensorIsKeptButRefusedAndNotProgrammed) {
  Open();
  ASSERT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 0, 1000, 3288, 0, 800), 1);
  const struct {
    int left, width, top, height;
  } invalid[] = {{1, 4384, 0, 800},  {0, 1000, 1, 3288}, {-1, 1000, 0, 800}, {0, -1, 0, 800},
                 {0, 4385, 0, 800},  {0, 1000, 0, 3289}, {4385, 0, 0, 800},  {0, 1000, 3289, 0},
                 {INT_MAX, INT_MAX, 0, 800}};
  for (const auto& window : invalid) {
    SCOPED_TRACE(::testing::Message() << window.left << " " << window.width << " " << window.top << " "
                                      << window.height);
    EXPECT_EQ(Zirvo_SetCaptureWindowEx(handle_, 11, window.left, window.width, 12, window.top, window.height), 0);
    EXPECT_EQ(Errors(), std::vector<int>{7});
    EXPECT_EQ(Window(), (CameraSizeSettings{11, 12, window.width, window.height, window.left, window.top, 0}));
    EXPECT_EQ(Register(0x034C), 1000);
    EXPECT_EQ(Register(0x034E), 800);
  }
}

TEST_F(SettingsExportsTest, WindowTouchingTheSensorEdgesOrEmptyIsValid) {
  Open();
  EXPECT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 384, 4000, 3288, 3000, 288), 1);
  EXPECT_EQ(Register(0x034C), 4000);
  EXPECT_EQ(Register(0x0346), 3000);
  EXPECT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 0, 0, 3288, 0, 0), 1);
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(Zirvo_Width(handle_), 0);
}

TEST_F(SettingsExportsTest, SubSampleModeBeyondTwentyMakesEveryWindowInvalid) {
  config_.Store("", {{"Size", 0}, {"SubSample", 21}});
  Open();
  EXPECT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 0, 640, 3288, 0, 480), 0);
  EXPECT_EQ(Errors(), std::vector<int>{7});
}

TEST_F(SettingsExportsTest, NewWindowKeepsTheVerticalMirror) {
  Open();
  ASSERT_EQ(Zirvo_SetMirrorV(handle_, 1), 1);
  EXPECT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 0, 640, 3288, 0, 480), 1);
  EXPECT_EQ(Register(kReadModeRegister), 0x8041);
  EXPECT_EQ(Zirvo_GetMirrorV(handle_), 1);
}

TEST_F(SettingsExportsTest, CaptureWindowQueryFillsOnlyTheGivenPointers) {
  Open();
  ASSERT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 16, 640, 3288, 8, 480), 1);
  int width = 0;
  int top = 0;
  EXPECT_EQ(Zirvo_GetCaptureWindowEx(handle_, nullptr, nullptr, &width, nullptr, &top, nullptr), 1);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(top, 8);
}

// --- Preview window, exposure time ---------------------------------------------

TEST_F(SettingsExportsTest, PreviewWindowStoresParentAndPlacement) {
  Open();
  HWND parent = ZirvoPort_CreateMessageWindow();
  EXPECT_EQ(Zirvo_SetPreviewWindow(handle_, parent, 10, 20, 300, 200), 1);
  EXPECT_EQ(Instance().PreviewParent(), parent);
  const PreviewRectangle& placement = Instance().PreviewRect();
  EXPECT_EQ(placement.left, 10);
  EXPECT_EQ(placement.top, 20);
  EXPECT_EQ(placement.right, 300);
  EXPECT_EQ(placement.bottom, 200);
  ZirvoPort_DestroyWindow(parent);
}

TEST_F(SettingsExportsTest, RealExposureTimeFollowsWidthSubSampleModeAndExposure) {
  Open();
  ASSERT_EQ(Zirvo_SetExposureTime(handle_, 100), 1);
  int ok = 0;
  EXPECT_EQ(Zirvo_GetRealExposureTime(handle_, &ok), 4891);  // 4696 clocks x 100 / 96 MHz
  EXPECT_EQ(ok, 1);
  ASSERT_EQ(Zirvo_SetSubSample(handle_, 1), 1);
  EXPECT_EQ(Zirvo_GetRealExposureTime(handle_, nullptr), 2445);  // (4384 + 313) / 2 clocks
  ASSERT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 0, 2001, 3288, 0, 1000), 1);
  EXPECT_EQ(Zirvo_GetRealExposureTime(handle_, nullptr), 1205);  // (2001 + 313) / 2 clocks
  ASSERT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 0, 2000, 3288, 0, 1000), 1);
  ASSERT_EQ(Zirvo_SetSubSample(handle_, 2), 1);
  EXPECT_EQ(Zirvo_GetRealExposureTime(handle_, nullptr), 1356);  // at least 1302 clocks
}

TEST_F(SettingsExportsTest, RealExposureTimeOfAWindowStoredUnvalidatedStaysWithinRange) {
  Open();
  ASSERT_EQ(Zirvo_SetExposureTime(handle_, 8192), 1);
  ASSERT_EQ(Zirvo_SetCaptureWindowEx(handle_, 4384, 0, INT_MAX, 3288, 0, 480), 0);
  EXPECT_EQ(Zirvo_GetRealExposureTime(handle_, nullptr), INT_MAX);
}

// --- Registers, serial ROM, I/O port -------------------------------------------

TEST_F(SettingsExportsTest, ShortRegisterFormsUseTheLowEightBitsOfTheAddress) {
  Open();
  EXPECT_EQ(Zirvo_WriteRegister(handle_, 0x1234, 0xBEEF), 1);
  EXPECT_EQ(Register(0x0034), 0xBEEF);
  EXPECT_EQ(Register(0x1234), -1);
  EXPECT_EQ(Zirvo_WriteRegisterEx(handle_, 0x1234, 0x1CAFE), 1);
  EXPECT_EQ(Register(0x1234), 0xCAFE);
  EXPECT_EQ(Register(0x0034), 0xBEEF);
  int ok = 0;
  EXPECT_EQ(Zirvo_ReadRegister(handle_, 0x1234, &ok), 0xBEEF);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(Zirvo_ReadRegisterEx(handle_, 0x1234, &ok), 0xCAFE);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SettingsExportsTest, RegisterValuesReadBackUnsigned) {
  Open();
  ASSERT_EQ(Zirvo_WriteRegisterEx(handle_, 0x3000, 0xFFFF), 1);
  EXPECT_EQ(Zirvo_ReadRegisterEx(handle_, 0x3000, nullptr), 65535);
  EXPECT_EQ(Zirvo_ReadRegister(handle_, 0x0000, nullptr), 0x2E00);  // the chip identifier
}

TEST_F(SettingsExportsTest, RegisterAccessToAnUnpluggedCameraRecordsError6) {
  Open();
  ZirvoSim_Unplug(camera_.get());
  EXPECT_EQ(Zirvo_WriteRegisterEx(handle_, 0x3000, 1), 0);
  int ok = 1;
  EXPECT_EQ(Zirvo_ReadRegisterEx(handle_, 0x3000, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Errors(), (std::vector<int>{6, 6}));
}

TEST_F(SettingsExportsTest, SerialRomIsNotThereAndRecordsError1) {
  Open();
  int ok = 1;
  EXPECT_EQ(Zirvo_ReadSromID(handle_, 0, &ok), 0);
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Zirvo_WriteSromID(handle_, 0, 1), 0);
  EXPECT_EQ(Errors(), (std::vector<int>{1, 1}));
}

TEST_F(SettingsExportsTest, IoPortStartsWithEveryLineOff) {
  Open();
  unsigned char in = 0xFF;
  EXPECT_EQ(Zirvo_GetIOPort(handle_, &in, 0, 0), 1);
  EXPECT_EQ(in, 0);
  // This camera's port takes nothing: the result is its answer, without an error.
  EXPECT_EQ(Zirvo_SetIOPort(handle_, 4, 0, 0), 0);
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(Zirvo_GetIOPort(handle_, nullptr, 0, 0), 0);
  EXPECT_EQ(Errors(), std::vector<int>{9});
}

// --- Unsupported functions, status ---------------------------------------------

TEST_F(SettingsExportsTest, UnsupportedFunctionsRecordError11) {
  Open();
  EXPECT_EQ(Zirvo_Trigger(handle_), 0);
  EXPECT_EQ(Zirvo_Fps(handle_, 30), 0);
  EXPECT_EQ(Zirvo_SetCrossbar(handle_, 1, 2), 0);
  EXPECT_EQ(Zirvo_SetSamplingRate(handle_), 0);
  EXPECT_EQ(Zirvo_SetRealExposureTime(handle_, 1000), 0);
  EXPECT_EQ(Errors(), (std::vector<int>{11, 11, 11, 11, 11}));
}

TEST_F(SettingsExportsTest, VideoFormatSamplingRateAndStatusAnswerZero) {
  Open();
  int format = 7;
  EXPECT_EQ(Zirvo_GetVideoFormat(handle_, &format), 0);
  EXPECT_EQ(format, 0);
  int rate = 7;
  EXPECT_EQ(Zirvo_GetSamplingRate(handle_, &rate), 0);
  EXPECT_EQ(rate, 0);
  EXPECT_EQ(Zirvo_GetVideoFormat(handle_, nullptr), 0);
  EXPECT_EQ(Zirvo_GetStatus(handle_, 5), 0);
  EXPECT_TRUE(Errors().empty());
}

// --- Simple stores -------------------------------------------------------------

TEST_F(SettingsExportsTest, SubSampleModeTakesZeroToFourWithoutRecordingRefusals) {
  Open();
  EXPECT_EQ(Zirvo_SetSubSample(handle_, 4), 1);
  EXPECT_EQ(Zirvo_GetSubSample(handle_), 4);
  EXPECT_EQ(Zirvo_SetSubSample(handle_, 5), 0);
  EXPECT_EQ(Zirvo_SetSubSample(handle_, -1), 0);
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(Zirvo_GetSubSample(handle_), 4);
}

TEST_F(SettingsExportsTest, StoredOlderSubSampleModesReadAsHalfAndQuarter) {
  config_.Store("", {{"Size", 0}, {"SubSample", 16}});
  Open();
  EXPECT_EQ(Zirvo_GetSubSample(handle_), 1);
  Zirvo_Release(handle_);
  config_.Store("", {{"SubSample", 17}});
  Open();
  EXPECT_EQ(Zirvo_GetSubSample(handle_), 2);
}

TEST_F(SettingsExportsTest, WaitTimeTakesZeroAndMoreWithoutRecordingRefusals) {
  Open();
  EXPECT_EQ(Zirvo_GetWaitTime(handle_), 10);
  EXPECT_EQ(Zirvo_SetWaitTime(handle_, 0), 1);
  EXPECT_EQ(Zirvo_SetWaitTime(handle_, -1), 0);
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(Zirvo_GetWaitTime(handle_), 0);
}

TEST_F(SettingsExportsTest, HalfClockAndAutoIrisRefuseWithError9) {
  Open();
  EXPECT_EQ(Zirvo_SetHalfClock(handle_, 5), 1);
  EXPECT_EQ(Zirvo_SetHalfClock(handle_, 6), 0);
  EXPECT_EQ(Zirvo_SetHalfClock(handle_, -1), 0);
  EXPECT_EQ(Zirvo_GetHalfClock(handle_), 5);
  EXPECT_EQ(Zirvo_SetAutoIris(handle_, 2), 1);
  EXPECT_EQ(Zirvo_SetAutoIris(handle_, 3), 0);
  EXPECT_EQ(Zirvo_SetAutoIris(handle_, -1), 0);
  EXPECT_EQ(Errors(), (std::vector<int>{9, 9, 9, 9}));
  int ok = 0;
  EXPECT_EQ(Zirvo_GetAutoIris(handle_, &ok), 2);
  EXPECT_EQ(ok, 1);
}

TEST_F(SettingsExportsTest, SettingsReachTheStoreAtRelease) {
  Open();
  ASSERT_EQ(Zirvo_SetGlobalGain(handle_, 55), 1);
  ASSERT_EQ(Zirvo_SetAutoIris(handle_, 1), 1);
  ASSERT_EQ(Zirvo_SetGamma(handle_, 150), 1);
  ASSERT_EQ(Zirvo_SetGrayOffsetB(handle_, -9), 1);
  // Nothing is written before the camera is released.
  EXPECT_FALSE(config_.HasKey("Gain_00"));
  ASSERT_EQ(Zirvo_Release(handle_), 1);
  handle_ = 0;
  EXPECT_EQ(config_.Stored("Gain_00", "Global"), 55);
  EXPECT_EQ(config_.Stored("Gain_00", "ColorG2"), 55);
  EXPECT_EQ(config_.Stored("Gain_00", "AutoIris"), 1);
  EXPECT_EQ(config_.Stored("Filter", "Gamma"), 150);
  EXPECT_EQ(config_.Stored("Gray", "OffsetB1"), -9);
}

}  // namespace
}  // namespace zirvo
