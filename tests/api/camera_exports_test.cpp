// Tests of the exported lifetime, error, choice and information functions.
#include "ZirvoSdk_USB3_7730QX.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "api/camera_registry.h"
#include "support/sim_fixture.h"
#include "support/temporary_config.h"
#include "zirvo_port.h"

namespace zirvo {
namespace {

class CameraExportsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(camera_.get(), nullptr); }
  void TearDown() override {
    for (int handle : handles_) Zirvo_Release(handle);
    ZirvoSim_Detach(second_);
  }

  int Open(HWND window = nullptr) {
    int handle = Zirvo_Initialize(window);
    if (handle) handles_.push_back(handle);
    return handle;
  }

  void AttachSecondCamera() {
    ZirvoSimConfig config = testing::FastSimConfig();
    second_ = ZirvoSim_Attach(2, &config);
    ASSERT_NE(second_, nullptr);
  }

  static std::vector<int> DrainErrors(int handle) {
    std::vector<int> codes;
    for (int code; (code = Zirvo_GetLastError(handle)) != 0;) codes.push_back(code);
    return codes;
  }

  test::TemporaryConfig config_;
  testing::ScopedManualClock clock_{1000};
  testing::SimulatedCameraOnDrive camera_{1};
  ZirvoSimCamera* second_ = nullptr;
  std::vector<int> handles_;
};

// A handle that is certainly not in the registry.
int UnknownHandle() {
  CameraRegistry& registry = TheCameraRegistry();
  int handle = 12345;
  while (registry.Find(handle)) ++handle;
  return handle;
}

TEST(CameraExportsWithoutCamera, DllVersionIsConstant) {
  EXPECT_EQ(Zirvo_GetDllVersion(), 0x01310519);
  EXPECT_EQ(Zirvo_GetDllVersion(), 19989785);
}

TEST_F(CameraExportsTest, EveryExportFailsCleanlyForAnUnknownHandle) {
  int known = Open();
  ASSERT_NE(known, 0);
  DrainErrors(known);
  int unknown = UnknownHandle();

  char names[10][256];
  std::memset(names, 'x', sizeof names);
  wchar_t wide[10][256];
  std::wmemset(&wide[0][0], L'x', 10 * 256);
  CameraInfo info{36, 7, 7, 7, 7, 7, 7, 7, 7};
  char name[32] = "kept";
  wchar_t wideName[32] = L"kept";

  EXPECT_EQ(Zirvo_GetLastError(unknown), 0);
  EXPECT_EQ(Zirvo_SetDeviceNumber(unknown, 0), 0);
  EXPECT_EQ(Zirvo_EnumDevice(unknown, &names[0][0]), 0);
  EXPECT_EQ(Zirvo_EnumDeviceW(unknown, &wide[0][0]), 0);
  EXPECT_EQ(Zirvo_GetDeviceName(unknown, 0, name, 32), 0);
  EXPECT_EQ(Zirvo_GetDeviceNameW(unknown, 0, wideName, 32), 0);
  EXPECT_EQ(Zirvo_GetCameraInfo(unknown, &info), 0);
  EXPECT_EQ(Zirvo_Close(unknown), 0);
  EXPECT_EQ(Zirvo_SetColorMode(unknown, 24), 0);
  EXPECT_EQ(Zirvo_GetColorMode(unknown), -1);
  EXPECT_EQ(Zirvo_Release(unknown), 0);

  EXPECT_EQ(names[0][0], 'x');
  EXPECT_EQ(wide[0][0], L'x');
  EXPECT_STREQ(name, "kept");
  EXPECT_STREQ(wideName, L"kept");
  EXPECT_EQ(info.maxWidth, 7);
  // Nothing is recorded anywhere, and the known camera is untouched.
  EXPECT_TRUE(DrainErrors(known).empty());
  EXPECT_NE(Zirvo_GetColorMode(known), -1);
}

TEST_F(CameraExportsTest, InitializeReturnsAHandleWhoseStartUpErrorsAreReadable) {
  HWND window = ZirvoPort_CreateMessageWindow();
  int handle = Open(window);
  ASSERT_NE(handle, 0);
  EXPECT_EQ(DrainErrors(handle), std::vector<int>{12});
  ZirvoPortMessage message{};
  ASSERT_EQ(ZirvoPort_GetMessage(window, &message, 0), 1);
  EXPECT_EQ(message.hwnd, window);
  EXPECT_EQ(message.message, static_cast<unsigned>(WM_CAMERA_ERROR));
  EXPECT_EQ(message.wParam, 0u);
  EXPECT_EQ(message.lParam, 12);
  ZirvoPort_DestroyWindow(window);
}

TEST_F(CameraExportsTest, ReleaseSucceedsOnceAndSavesTheSettings) {
  int handle = Zirvo_Initialize(nullptr);
  ASSERT_NE(handle, 0);
  EXPECT_FALSE(config_.HasKey("Gain_00"));
  EXPECT_EQ(Zirvo_Release(handle), 1);
  EXPECT_EQ(Zirvo_Release(handle), 0);
  EXPECT_EQ(Zirvo_GetColorMode(handle), -1);
  EXPECT_TRUE(config_.HasKey("Gain_00"));
  EXPECT_TRUE(config_.HasKey("Filter"));
  EXPECT_TRUE(config_.HasKey("Gray"));
}

TEST_F(CameraExportsTest, SecondHandleBecomesHeadAndLookingUpTheFirstMovesItBack) {
  int first = Open();
  int second = Open();
  ASSERT_NE(first, 0);
  ASSERT_NE(second, 0);
  EXPECT_NE(first, second);
  CameraRegistry& registry = TheCameraRegistry();
  EXPECT_EQ(registry.Head()->key, second);
  Zirvo_GetColorMode(first);
  EXPECT_EQ(registry.Head()->key, first);
}

TEST_F(CameraExportsTest, ReleasingTheOnlyCameraEmptiesTheRingForAFreshStart) {
  CameraRegistry& registry = TheCameraRegistry();
  ASSERT_EQ(registry.Count(), 0);
  int handle = Zirvo_Initialize(nullptr);
  ASSERT_EQ(registry.Count(), 1);
  EXPECT_EQ(Zirvo_Release(handle), 1);
  EXPECT_EQ(registry.Head(), nullptr);
  EXPECT_EQ(registry.Count(), 0);
  int next = Open();
  ASSERT_NE(next, 0);
  EXPECT_EQ(registry.Count(), 1);
  EXPECT_EQ(registry.Head()->next, registry.Head());
}

TEST_F(CameraExportsTest, TwentyOneErrorsLeaveTheNewestTwentyReadable) {
  int handle = Open();
  DrainErrors(handle);
  for (int i = 0; i < 21; ++i) Zirvo_SetColorMode(handle, i < 20 ? 12 : 1);
  // Twenty codes 9: the oldest of the twenty-one fell out.
  EXPECT_EQ(DrainErrors(handle), std::vector<int>(20, 9));
}

TEST_F(CameraExportsTest, ColorModeThroughTheExports) {
  int handle = Open();
  EXPECT_EQ(Zirvo_SetColorMode(handle, 16), 1);
  EXPECT_EQ(Zirvo_GetColorMode(handle), 12);
  DrainErrors(handle);
  EXPECT_EQ(Zirvo_SetColorMode(handle, 12), 0);
  EXPECT_EQ(Zirvo_GetLastError(handle), 9);
  EXPECT_EQ(Zirvo_GetColorMode(handle), 12);
}

TEST_F(CameraExportsTest, SeveralCamerasAtOnceEachKeepTheirOwnDeviceAndErrors) {
  AttachSecondCamera();
  int first = Open();
  int second = Open();
  DrainErrors(first);
  DrainErrors(second);
  EXPECT_EQ(Zirvo_SetDeviceNumber(second, 1), 1);

  char names[10][256];
  EXPECT_EQ(Zirvo_EnumDevice(first, &names[0][0]), 2);
  EXPECT_STREQ(names[1], "Zirvo7730QX_02");
  wchar_t name[16];
  EXPECT_EQ(Zirvo_GetDeviceNameW(second, 0, name, 16), 1);
  EXPECT_STREQ(name, L"Zirvo7730QX_01");
  CameraInfo info{36, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Zirvo_GetCameraInfo(second, &info), 1);
  EXPECT_EQ(info.exposureMax, 8191);

  EXPECT_EQ(Zirvo_SetDeviceNumber(first, 5), 0);
  EXPECT_EQ(DrainErrors(second), std::vector<int>{});
  EXPECT_EQ(DrainErrors(first), std::vector<int>{2});
  EXPECT_EQ(Zirvo_Close(first), 1);
  EXPECT_EQ(Zirvo_Close(second), 1);

  // The second camera saves under its own device number.
  EXPECT_EQ(Zirvo_Release(second), 1);
  EXPECT_TRUE(config_.HasKey("Gain_01"));
  EXPECT_EQ(Zirvo_Release(first), 1);
  EXPECT_TRUE(config_.HasKey("Gain_00"));
}

TEST_F(CameraExportsTest, ExportsFromSeveralThreadsAtOnceStayConsistent) {
  int shared = Open();
  ASSERT_NE(shared, 0);
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        if (Zirvo_SetColorMode(shared, 24) != 1 || Zirvo_GetColorMode(shared) < 8) ++failures[t];
        if (t == 0 && i % 10 == 0) {
          int own = Zirvo_Initialize(nullptr);
          if (own == 0 || Zirvo_Release(own) != 1) ++failures[t];
        }
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
  EXPECT_EQ(Zirvo_GetColorMode(shared), 24);
}

// Run as a child process by the next test: leaves a camera open and exits.
TEST(CameraExportsChild, ExitsWithACameraStillOpen) {
  if (!std::getenv("ZIRVO_EXIT_CHILD") || !std::getenv("XDG_CONFIG_HOME"))
    GTEST_SKIP() << "only run as a child of ProcessWithAnOpenCameraExitsCleanly";
  testing::SimulatedCameraOnDrive camera(1);
  int handle = Zirvo_Initialize(ZirvoPort_CreateMessageWindow());
  ASSERT_NE(handle, 0);
  std::fflush(nullptr);
  std::exit(0);
}

TEST_F(CameraExportsTest, ProcessWithAnOpenCameraExitsCleanly) {
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  std::string command = "ZIRVO_EXIT_CHILD=1 '" + self.string() +
                        "' --gtest_filter=CameraExportsChild.ExitsWithACameraStillOpen >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(ExportedSymbols, SharedLibraryExportsOnlyTheCApi) {
  std::filesystem::path library =
      std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "src" /
      "libZirvoSdk_USB3_7730QX.so";
  if (!std::filesystem::exists(library)) GTEST_SKIP() << "shared library not built at " << library;
  if (std::system("command -v nm >/dev/null 2>&1") != 0) GTEST_SKIP() << "nm is not installed";
  std::string command = "nm -D --defined-only '" + library.string() + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::vector<std::string> symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    std::size_t name = text.find_last_of(' ');
    symbols.push_back(text.substr(name + 1, text.find_last_not_of("\r\n") - name));
  }
  ASSERT_EQ(pclose(pipe), 0);
  ASSERT_FALSE(symbols.empty());
  bool sawInitialize = false;
  for (const std::string& symbol : symbols) {
    EXPECT_TRUE(symbol.rfind("Zirvo_", 0) == 0 || symbol.rfind("ZirvoPort_", 0) == 0) << symbol;
    sawInitialize = sawInitialize || symbol == "Zirvo_Initialize";
  }
  EXPECT_TRUE(sawInitialize);
}

}  // namespace
}  // namespace zirvo
