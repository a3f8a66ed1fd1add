// Tests of the camera instance against simulated cameras: start-up, names,
// information, colour mode, device choice and shut-down.
#include "instance/camera_instance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "device/model7730_device.h"
#include "display/frame_bitmap.h"
#include "support/sim_fixture.h"
#include "support/temporary_config.h"

namespace zirvo {
namespace {

using RegisterWrite = std::pair<int, int>;  // address, value

// The 16-bit register writes the camera saw, in order (two-phase blocks).
std::vector<RegisterWrite> RegisterWrites(ZirvoSimCamera* camera) {
  std::vector<ZirvoSimExchange> log(ZirvoSim_GetLog(camera, nullptr, 0));
  log.resize(ZirvoSim_GetLog(camera, log.data(), static_cast<unsigned>(log.size())));
  std::vector<RegisterWrite> writes;
  int address = -1;
  for (const ZirvoSimExchange& exchange : log) {
    if (!exchange.write || exchange.offset != testing::kCommandSectorOffset || exchange.command[0] != 0x20)
      continue;
    int word = exchange.command[2] << 8 | exchange.command[3];
    if (exchange.command[1] == 0x00) {
      address = word;
    } else if (exchange.command[1] == 0x01 && address >= 0) {
      writes.emplace_back(address, word);
      address = -1;
    }
  }
  return writes;
}

// Index of the first write of `address` at or after `from`; -1 when none.
int FindWrite(const std::vector<RegisterWrite>& writes, int address, int from = 0) {
  for (int i = from; i < static_cast<int>(writes.size()); ++i)
    if (writes[static_cast<std::size_t>(i)].first == address) return i;
  return -1;
}

std::vector<int> DrainErrors(CameraInstance& camera) {
  std::vector<int> codes;
  for (int code; (code = camera.PopError()) != 0;) codes.push_back(code);
  return codes;
}

class CameraInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cameras_.push_back(std::make_unique<testing::SimulatedCameraOnDrive>(1));
    ASSERT_NE(cameras_[0]->get(), nullptr);
  }

  void TearDown() override { ZirvoSim_Detach(second_); }

  // Attached beside the first, which keeps its enumeration entry.
  void AttachSecondCamera(int drive = 3) {
    ZirvoSimConfig config = testing::FastSimConfig();
    second_ = ZirvoSim_Attach(drive, &config);
    ASSERT_NE(second_, nullptr);
  }

  ZirvoSimCamera* sim(int i = 0) const { return i == 0 ? cameras_[0]->get() : second_; }

  std::unique_ptr<CameraInstance> Started(platform::WindowHandle window = nullptr) {
    auto camera = std::make_unique<CameraInstance>();
    EXPECT_EQ(camera->Initialize(window), 1);
    return camera;
  }

  test::TemporaryConfig config_;
  testing::ScopedManualClock clock_{1000};
  std::vector<std::unique_ptr<testing::SimulatedCameraOnDrive>> cameras_;
  ZirvoSimCamera* second_ = nullptr;
};

TEST_F(CameraInstanceTest, ConstructionCreatesNothing) {
  CameraInstance camera;
  EXPECT_EQ(camera.Device(), nullptr);
  for (int slot = 0; slot < kBitmapCount; ++slot) EXPECT_EQ(camera.Bitmap(static_cast<BitmapSlot>(slot)), nullptr);
  EXPECT_EQ(camera.CaptureWindow(), (CameraSizeSettings{4384, 3288, 4384, 3288, 0, 0, 10}));
  EXPECT_EQ(camera.VideoFormat().waitTime, 10);
  EXPECT_EQ(camera.GetColorMode(), 8);
  EXPECT_EQ(camera.Mode(), ModeIdle);
  EXPECT_EQ(camera.RateUpdateTime(), 1000u);
  EXPECT_TRUE(RegisterWrites(sim()).empty());
}

TEST_F(CameraInstanceTest, CleanProfileStartsWithDefaultsAndSavesTheRestOnRelease) {
  auto camera = Started();
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{12});
  EXPECT_EQ(camera->Analog(), (AnalogSettings{100, 100, 100, 100, 100, 600, 0, 0, 0}));
  EXPECT_EQ(camera->Filter()[kFilterGamma], 100);
  EXPECT_EQ(camera->Filter()[kFilterGrayGainR], 128);
  // The first-run defaults hold colour mode 2, which the video format then loads.
  EXPECT_EQ(camera->GetColorMode(), 24);
  ASSERT_NE(camera->Bitmap(kBitmapDisplay), nullptr);

  EXPECT_EQ(config_.Stored("Size_00", "EH"), 4384);
  for (const char* name : {"Size", "Color", "SubSample", "WaitTime", "Clock"})
    EXPECT_TRUE(config_.Stored("", name).has_value()) << name;
  EXPECT_FALSE(config_.HasKey("Gain_00"));
  EXPECT_FALSE(config_.HasKey("Filter"));
  EXPECT_FALSE(config_.HasKey("Gray"));

  camera.reset();
  EXPECT_EQ(config_.Stored("Gain_00", "Exposure"), 600);
  EXPECT_EQ(config_.Stored("Filter", "BayerMode"), 3);
  EXPECT_EQ(config_.Stored("Gray", "GainB1"), 128);
}

TEST_F(CameraInstanceTest, StartUpProgramsWindowGainsExposureAndMirrorsInOrder) {
  config_.Store("", {{"Size", 1}, {"Color", 0}, {"SubSample", 0}, {"WaitTime", 10}, {"Clock", 0}});
  config_.Store("Size_00", {{"TH", 4384}, {"TV", 3288}, {"EH", 4384}, {"EV", 3288}, {"EHS", 0}, {"EVS", 0}});
  config_.Store("Size_01", {{"TH", 4384}, {"TV", 3288}, {"EH", 640}, {"EV", 480}, {"EHS", 16}, {"EVS", 8}});
  config_.Store("Gain_00", {{"Global", 40}, {"ColorG1", 41}, {"ColorR", 42}, {"ColorB", 43}, {"ColorG2", 44},
                            {"Exposure", 700}, {"V_Mirror", 1}, {"H_Mirror", 0}, {"AutoIris", 0}});
  ZirvoSim_ClearLog(sim());
  auto camera = Started();
  EXPECT_TRUE(DrainErrors(*camera).empty());
  EXPECT_EQ(camera->CaptureWindow().width, 640);
  EXPECT_EQ(camera->PreviewRect().right, 640);
  EXPECT_EQ(camera->PreviewRect().bottom, 480);

  std::vector<RegisterWrite> writes = RegisterWrites(sim());
  int window = FindWrite(writes, 0x034C);
  ASSERT_GE(window, 0);
  EXPECT_EQ(writes[static_cast<std::size_t>(window)].second, 640);
  EXPECT_EQ(writes[static_cast<std::size_t>(FindWrite(writes, 0x0344))].second, 16 + 24);
  int global = FindWrite(writes, 0x305E, window);
  int green1 = FindWrite(writes, 0x3056, global);
  int red = FindWrite(writes, 0x305A, green1);
  int blue = FindWrite(writes, 0x3058, red);
  int green2 = FindWrite(writes, 0x305C, blue);
  int exposure = FindWrite(writes, 0x0202, green2);
  int mirror = FindWrite(writes, 0x3040, exposure);
  ASSERT_GT(global, window);
  ASSERT_GT(green1, global);
  ASSERT_GT(red, green1);
  ASSERT_GT(blue, red);
  ASSERT_GT(green2, blue);
  ASSERT_GT(exposure, green2);
  ASSERT_GT(mirror, exposure);
  EXPECT_EQ(writes[static_cast<std::size_t>(global)].second, 0x1000 | 40);
  EXPECT_EQ(writes[static_cast<std::size_t>(green1)].second, 0x1000 | 41);
  EXPECT_EQ(writes[static_cast<std::size_t>(red)].second, 0x1000 | 42);
  EXPECT_EQ(writes[static_cast<std::size_t>(blue)].second, 0x1000 | 43);
  EXPECT_EQ(writes[static_cast<std::size_t>(green2)].second, 0x1000 | 44);
  EXPECT_EQ(writes[static_cast<std::size_t>(exposure)].second, 700);
  EXPECT_EQ(writes[static_cast<std::size_t>(mirror)].second, 0x8041);
  EXPECT_EQ(camera->Device()->GetTimeout(), 8000u);
}

TEST_F(CameraInstanceTest, StoredWindowBeyondTheSensorIsReplacedByTheFullFrame) {
  config_.Store("", {{"Size", 0}});
  config_.Store("Size_00", {{"TH", 100}, {"TV", 100}, {"EH", 4000}, {"EV", 480}, {"EHS", 385}, {"EVS", 0}, {"Buf", 4}});
  auto camera = Started();
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{7});
  EXPECT_EQ(camera->CaptureWindow(), (CameraSizeSettings{4384, 3288, 4384, 3288, 0, 0, 4}));
  EXPECT_EQ(ZirvoSim_GetRegister(sim(), 0x034C), 4384);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(), 0x034E), 3288);
}

TEST_F(CameraInstanceTest, StoredWindowTooSmallToProgramIsReplacedByTheFullFrame) {
  for (auto [width, height] : {std::pair{2, 1}, std::pair{0, 0}, std::pair{3, 480}, std::pair{640, 2}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    config_.Store("", {{"Size", 0}});
    config_.Store("Size_00", {{"TH", 4384}, {"TV", 3288}, {"EH", width}, {"EV", height}, {"EHS", 8}, {"EVS", 8}});
    auto camera = Started();
    EXPECT_EQ(DrainErrors(*camera), std::vector<int>{7});
    EXPECT_EQ(camera->CaptureWindow(), (CameraSizeSettings{4384, 3288, 4384, 3288, 0, 0, 10}));
    int deviceWidth = 0;
    camera->Device()->GetCaptureWindow(nullptr, nullptr, &deviceWidth, nullptr, nullptr);
    EXPECT_EQ(deviceWidth, 4384);
    EXPECT_EQ(ZirvoSim_GetRegister(sim(), 0x034C), 4384);
  }
  CameraSizeSettings smallest{4384, 3288, 4, 3, 0, 0, 10};
  EXPECT_TRUE(IsValidCaptureWindow(smallest, 0));
  smallest.height = 2;
  EXPECT_FALSE(IsValidCaptureWindow(smallest, 0));
}

TEST_F(CameraInstanceTest, CameraUnpluggedDuringStartUpLeavesTheReasonsInTheErrorStore) {
  // The open and the chip-identifier read are answered, nothing after them.
  ZirvoSim_UnplugAfter(sim(), 3);
  auto camera = Started();
  ASSERT_TRUE(camera->Device()->IsOpen());
  const std::vector<int> errors = DrainErrors(*camera);
  // Window, global gain, four colour gains, exposure and flip: one each.
  EXPECT_EQ(std::count(errors.begin(), errors.end(), 6), 8);
  EXPECT_EQ(std::count(errors.begin(), errors.end(), 12), 1);
  EXPECT_EQ(errors.size(), 9u);
}

TEST_F(CameraInstanceTest, CameraThatNeverConfirmsTheWindowReportsAFailedCommand) {
  config_.Store("", {{"Size", 0}});
  config_.Store("Size_00", {{"TH", 4384}, {"TV", 3288}, {"EH", 640}, {"EV", 480}, {"EHS", 0}, {"EVS", 0}});
  ZirvoSim_SetReadbackMismatch(sim(), 0x034C, 1000);
  auto camera = Started();
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{6});
}

TEST_F(CameraInstanceTest, WindowChangeAndFlipTheCameraNeverConfirmsFailWithErrorSix) {
  auto camera = Started();
  DrainErrors(*camera);
  ZirvoSim_SetReadbackMismatch(sim(), 0x3040, 1000);
  EXPECT_EQ(camera->SetMirrorV(1), 0);
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{6});
  ZirvoSim_SetReadbackMismatch(sim(), 0x034C, 1000);
  EXPECT_EQ(camera->SetCaptureWindowEx(4384, 0, 640, 3288, 0, 480), 0);
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{6});
  // A camera that answers truly again takes both.
  ZirvoSim_SetReadbackMismatch(sim(), -1, 0);
  EXPECT_EQ(camera->SetCaptureWindowEx(4384, 0, 640, 3288, 0, 480), 1);
  EXPECT_EQ(camera->SetMirrorV(0), 1);
  EXPECT_TRUE(DrainErrors(*camera).empty());
}

TEST_F(CameraInstanceTest, WindowReachingExactlyTheSensorEdgeIsKept) {
  config_.Store("", {{"Size", 0}});
  config_.Store("Size_00", {{"EH", 4000}, {"EV", 288}, {"EHS", 384}, {"EVS", 3000}});
  auto camera = Started();
  EXPECT_TRUE(DrainErrors(*camera).empty());
  EXPECT_EQ(camera->CaptureWindow().left, 384);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(), 0x034C), 4000);
}

TEST_F(CameraInstanceTest, WindowIsCheckedAndProgrammedBeforeTheVideoFormatIsLoaded) {
  // A stored sub-sample mode outside 0 to 20 arrives only with the video
  // format, the last step: the window check and programming still see 0.
  config_.Store("", {{"Size", 0}, {"SubSample", 25}});
  config_.Store("Size_00", {{"TH", 4384}, {"TV", 3288}, {"EH", 640}, {"EV", 480}, {"EHS", 0}, {"EVS", 0}});
  auto camera = Started();
  EXPECT_TRUE(DrainErrors(*camera).empty());
  EXPECT_EQ(camera->CaptureWindow().width, 640);
  int width = 0, mode = -1;
  camera->Device()->GetCaptureWindow(nullptr, nullptr, &width, nullptr, &mode);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(), 0x034C), 640);
  EXPECT_EQ(camera->VideoFormat().subSampleMode, 25);
}

TEST_F(CameraInstanceTest, SizeNamingAMissingPresetKeepsTheFullFrameAndLoadsTheRest) {
  config_.Store("", {{"Size", 3}, {"Color", 3}});
  config_.Store("Size_00", {{"EH", 640}, {"EV", 480}});
  config_.Store("Gain_00", {{"Exposure", 900}});
  auto camera = Started();
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{12});
  EXPECT_EQ(camera->CaptureWindow(), (CameraSizeSettings{4384, 3288, 4384, 3288, 0, 0, 10}));
  EXPECT_EQ(ZirvoSim_GetRegister(sim(), 0x034C), 4384);
  EXPECT_EQ(camera->Analog().exposure, 900);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(), 0x0202), 900);
  EXPECT_EQ(camera->GetColorMode(), 32);
  // The key existed: no first-run defaults are written over the table.
  EXPECT_EQ(config_.Stored("Size_00", "EH"), 640);
  EXPECT_EQ(config_.Stored("", "Size"), 3);
}

TEST_F(CameraInstanceTest, DamagedSettingsFileStartsLikeAFirstRunAndIsKeptAside) {
  const std::string damaged = "Size=0\n[Gain_00]\nGlobal=fifty\n";
  config_.WriteSettingsFile(damaged);
  auto camera = Started();
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{12});
  EXPECT_EQ(camera->Analog(), (AnalogSettings{100, 100, 100, 100, 100, 600, 0, 0, 0}));
  EXPECT_EQ(config_.Stored("Size_00", "EH"), 4384);
  camera.reset();
  EXPECT_EQ(config_.Stored("Gain_00", "Global"), 100);

  int copies = 0;
  for (const auto& entry : std::filesystem::directory_iterator(config_.SettingsFile().parent_path())) {
    if (entry.path().filename().string().find(".damaged-") == std::string::npos) continue;
    ++copies;
    std::ifstream in(entry.path(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), damaged);
  }
  EXPECT_EQ(copies, 1);
}

TEST_F(CameraInstanceTest, StoredAnalogValuesBeyondTheSettersRangeAreClamped) {
  config_.Store("Gain_00", {{"Global", 500}, {"Exposure", 70000}, {"ColorR", -4}});
  auto camera = Started();
  EXPECT_EQ(camera->Analog().globalGain, 127);
  EXPECT_EQ(camera->Analog().exposure, 8192);
  EXPECT_EQ(camera->Analog().colorGainRed, 0);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(), 0x0202), 8192);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(), 0x305E), 0x1000 | 125);
}

TEST_F(CameraInstanceTest, StartUpErrorsArePostedToTheNotificationWindow) {
  platform::WindowHandle window = platform::CreateMessageWindow();
  auto camera = Started(window);
  platform::WindowMessage message{};
  ASSERT_EQ(platform::GetWindowMessage(window, message, 0), 1);
  EXPECT_EQ(message.message, 0x8003u);
  EXPECT_EQ(message.lParam, 12);
  EXPECT_EQ(platform::GetWindowMessage(window, message, 0), 0);
  EXPECT_EQ(camera->NotificationWindow(), window);
  camera.reset();
  platform::DestroyMessageWindow(window);
}

TEST_F(CameraInstanceTest, EnumDeviceNamesEveryCameraAndEmptiesTheRestOfTen) {
  AttachSecondCamera();
  auto camera = Started();
  char names[10][kDeviceNameEntry];
  std::memset(names, 'x', sizeof names);
  EXPECT_EQ(camera->EnumDevice(&names[0][0]), 2);
  EXPECT_STREQ(names[0], "Zirvo7730QX_01");
  EXPECT_STREQ(names[1], "Zirvo7730QX_02");
  for (int i = 2; i < 10; ++i) EXPECT_STREQ(names[i], "") << i;

  wchar_t wide[10][kDeviceNameEntry];
  std::wmemset(&wide[0][0], L'x', 10 * kDeviceNameEntry);
  EXPECT_EQ(camera->EnumDeviceW(&wide[0][0]), 2);
  EXPECT_STREQ(wide[1], L"Zirvo7730QX_02");
  EXPECT_STREQ(wide[9], L"");
}

TEST_F(CameraInstanceTest, WithoutCamerasEnumDeviceGivesTenEmptyNames) {
  cameras_.clear();
  testing::SimulatedCameraOnDrive none(1);
  none.Detach();
  auto camera = Started();
  char names[10][kDeviceNameEntry];
  std::memset(names, 'x', sizeof names);
  EXPECT_EQ(camera->EnumDevice(&names[0][0]), 0);
  for (int i = 0; i < 10; ++i) EXPECT_STREQ(names[i], "") << i;
  DrainErrors(*camera);
  EXPECT_EQ(camera->SetDeviceNumber(0), 0);
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{2});
  char name[16];
  EXPECT_EQ(camera->GetDeviceName(0, name, 16), 0);
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{9});
}

TEST_F(CameraInstanceTest, DeviceNameNeedsSixteenCharactersAndAKnownNumber) {
  AttachSecondCamera();
  auto camera = Started();
  DrainErrors(*camera);
  char name[16] = "untouched";
  EXPECT_EQ(camera->GetDeviceName(0, name, 15), 0);
  EXPECT_STREQ(name, "untouched");
  EXPECT_EQ(camera->GetDeviceName(2, name, 16), 0);
  EXPECT_EQ(camera->GetDeviceName(-1, name, 16), 0);
  EXPECT_EQ(camera->GetDeviceName(0, nullptr, 16), 0);
  EXPECT_EQ(DrainErrors(*camera), (std::vector<int>{9, 9, 9, 9}));
  EXPECT_EQ(camera->GetDeviceName(1, name, 16), 1);
  EXPECT_STREQ(name, "Zirvo7730QX_02");
  wchar_t wide[16];
  EXPECT_EQ(camera->GetDeviceNameW(0, wide, 15), 0);
  EXPECT_EQ(camera->GetDeviceNameW(0, wide, 16), 1);
  EXPECT_STREQ(wide, L"Zirvo7730QX_01");
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{9});
}

TEST_F(CameraInstanceTest, CameraInfoNeedsARecordOfThirtySixBytes) {
  auto camera = Started();
  DrainErrors(*camera);
  CameraInfo info;
  std::memset(&info, 0x55, sizeof info);
  info.recordSize = 35;
  EXPECT_EQ(camera->GetCameraInfo(&info), 0);
  EXPECT_EQ(info.maxWidth, 0x55555555);
  info.recordSize = -1;  // compared without sign: a huge record
  EXPECT_EQ(camera->GetCameraInfo(&info), 1);
  info.recordSize = 36;
  EXPECT_EQ(camera->GetCameraInfo(&info), 1);
  EXPECT_EQ(info.recordSize, 36);
  EXPECT_EQ(info.maxWidth, 4384);
  EXPECT_EQ(info.maxHeight, 3288);
  EXPECT_EQ(info.gainMin, 1);
  EXPECT_EQ(info.gainMax, 125);
  EXPECT_EQ(info.colorGainMin, 1);
  EXPECT_EQ(info.colorGainMax, 125);
  EXPECT_EQ(info.exposureMin, 1);
  EXPECT_EQ(info.exposureMax, 8191);
  EXPECT_EQ(camera->GetCameraInfo(nullptr), 0);
  EXPECT_EQ(DrainErrors(*camera), (std::vector<int>{9, 5}));
}

TEST_F(CameraInstanceTest, ColorModeTakesBitCountsAndReportsSignificantBits) {
  CameraInstance camera;
  const std::pair<int, int> modes[] = {{8, 8}, {16, 12}, {24, 24}, {32, 32}, {48, 44}, {64, 60}};
  for (auto [bits, reported] : modes) {
    EXPECT_EQ(camera.SetColorMode(bits), 1) << bits;
    EXPECT_EQ(camera.GetColorMode(), reported) << bits;
  }
  for (int bits : {12, 0, -8, 44, 60}) EXPECT_EQ(camera.SetColorMode(bits), 0) << bits;
  EXPECT_EQ(camera.GetColorMode(), 60);
  EXPECT_EQ(DrainErrors(camera), (std::vector<int>{9, 9, 9, 9, 9}));
}

TEST_F(CameraInstanceTest, StoredColorModeOutsideTheSixCodesIsIgnored) {
  config_.Store("", {{"Size", 0}, {"Color", 9}});
  config_.Store("Size_00", {{"EH", 4384}});
  auto camera = Started();
  EXPECT_EQ(camera->GetColorMode(), 8);
}

TEST_F(CameraInstanceTest, AnotherDeviceNumberOpensTheNextCamera) {
  AttachSecondCamera();
  auto camera = Started();
  DrainErrors(*camera);
  ZirvoSim_ClearLog(sim(1));
  EXPECT_EQ(camera->SetDeviceNumber(1), 1);
  EXPECT_EQ(camera->Device()->GetDeviceIndex(), 1);
  EXPECT_GT(ZirvoSim_GetLog(sim(1), nullptr, 0), 0u);
  EXPECT_EQ(camera->SetDeviceNumber(2), 0);
  EXPECT_EQ(camera->SetDeviceNumber(-1), 0);
  EXPECT_EQ(DrainErrors(*camera), (std::vector<int>{2, 2}));
}

TEST_F(CameraInstanceTest, TwoCamerasKeepTheirOwnStoredSettings) {
  AttachSecondCamera();
  config_.Store("", {{"Size", 0}, {"Color", 2}});
  config_.Store("Size_00", {{"TH", 4384}, {"TV", 3288}, {"EH", 640}, {"EV", 480}, {"EHS", 16}, {"EVS", 8}});
  config_.Store("Gain_00", {{"Global", 33}, {"ColorR", 34}, {"Exposure", 700}, {"V_Mirror", 0}});
  config_.Store("Gain_01", {{"Global", 55}, {"ColorR", 56}, {"Exposure", 900}, {"V_Mirror", 1}});
  auto camera = Started();
  EXPECT_TRUE(DrainErrors(*camera).empty());
  EXPECT_EQ(camera->Analog().globalGain, 33);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(0), 0x305E), 0x1000 | 33);

  ASSERT_EQ(camera->SetDeviceNumber(1), 1);
  EXPECT_TRUE(DrainErrors(*camera).empty());
  EXPECT_EQ(camera->Analog().globalGain, 55);
  EXPECT_EQ(camera->Analog().exposure, 900);
  // The newly selected camera is programmed as at start-up.
  EXPECT_EQ(ZirvoSim_GetRegister(sim(1), 0x034C), 640);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(1), 0x0344), 16 + 24);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(1), 0x305E), 0x1000 | 55);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(1), 0x305A), 0x1000 | 56);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(1), 0x0202), 900);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(1), 0x3040), 0x8041);

  camera.reset();
  EXPECT_EQ(config_.Stored("Gain_01", "Global"), 55);
  EXPECT_EQ(config_.Stored("Gain_01", "Exposure"), 900);
  EXPECT_EQ(config_.Stored("Gain_00", "Global"), 33);
  EXPECT_EQ(config_.Stored("Gain_00", "Exposure"), 700);
}

TEST_F(CameraInstanceTest, CameraThatCannotBeOpenedLeavesEverythingAsItWas) {
  // Listed twice, attached once: number 1 is valid but cannot be opened.
  ZirvoSim_AddEnumEntry("USBSTOR\\Disk&Ven_KELVOR&Prod_USB3.0_7730QX&Rev_1.00\\GONE&0");
  config_.Store("Gain_00", {{"Global", 33}});
  config_.Store("Gain_01", {{"Global", 55}});
  auto camera = Started();
  DrainErrors(*camera);
  ASSERT_EQ(camera->Device()->GetDeviceCount(), 2);
  EXPECT_EQ(camera->SetDeviceNumber(1), 0);
  EXPECT_EQ(DrainErrors(*camera), std::vector<int>{2});
  EXPECT_EQ(camera->Device()->GetDeviceIndex(), 0);
  EXPECT_TRUE(camera->Device()->IsOpen());
  EXPECT_EQ(camera->Analog().globalGain, 33);
  // Setters still reach the camera in use.
  EXPECT_EQ(camera->Device()->SetExposure(321), 1);
  EXPECT_EQ(ZirvoSim_GetRegister(sim(), 0x0202), 321);
  camera.reset();
  EXPECT_EQ(config_.Stored("Gain_01", "Global"), 55);
  EXPECT_EQ(config_.Stored("Gain_00", "Global"), 33);
}

TEST_F(CameraInstanceTest, CloseIsIdleSafeAndRepeatable) {
  auto camera = Started();
  DrainErrors(*camera);
  EXPECT_EQ(camera->Close(), 1);
  EXPECT_EQ(camera->Close(), 1);
  EXPECT_TRUE(DrainErrors(*camera).empty());
  EXPECT_EQ(camera->Mode(), ModeIdle);
}

TEST_F(CameraInstanceTest, WithoutDeviceOperationsRecordErrorOne) {
  CameraInstance camera;
  EXPECT_EQ(camera.Close(), 1);
  char names[10][kDeviceNameEntry];
  EXPECT_EQ(camera.EnumDevice(&names[0][0]), 0);
  EXPECT_EQ(camera.SetDeviceNumber(0), 0);
  CameraInfo info{36, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(camera.GetCameraInfo(&info), 0);
  EXPECT_EQ(DrainErrors(camera), (std::vector<int>{1, 1, 1, 1}));
}

TEST_F(CameraInstanceTest, CameraNeverStartedSavesNothingOnRelease) {
  config_.Store("Gain_00", {{"Global", 77}});
  { CameraInstance camera; }
  EXPECT_EQ(config_.Stored("Gain_00", "Global"), 77);
  EXPECT_FALSE(config_.HasKey("Filter"));
}

}  // namespace
}  // namespace zirvo
