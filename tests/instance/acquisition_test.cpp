// Tests of acquisition through the exports on simulated cameras: the state
// table, streaming with frame messages and copies, single captures, the
// current image, recording and the failures of a camera that goes away.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ZirvoSdk_USB3_7730QX.h"
#include "api/camera_registry.h"
#include "device/model7730_device.h"
#include "display/frame_bitmap.h"
#include "instance/camera_instance.h"
#include "support/sim_fixture.h"
#include "support/temporary_config.h"
#include "zirvo_port.h"

namespace zirvo {
namespace {

constexpr uint32_t kFrameMessage = WM_CAMERA_FRAME;
constexpr int kFirstColumnRegister = 0x0344;

// Fields of FrameInfo as the capture thread writes them (whole, atomically).
template <class Field>
Field Load(const Field& field) {
  return std::atomic_ref<const Field>(field).load(std::memory_order_relaxed);
}

int32_t Stride(int32_t width, int bitsPerPixel) { return (width * (bitsPerPixel / 8) + 3) & ~3; }

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t Le32(const std::vector<uint8_t>& bytes, std::size_t at) {
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

struct AviFacts {
  uint32_t riffSize = 0, totalFrames = 0, width = 0, height = 0, moviSize = 0, indexEntries = 0;
  std::size_t fileSize = 0;
};

AviFacts ReadAvi(const std::filesystem::path& path) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  AviFacts facts;
  facts.fileSize = bytes.size();
  if (bytes.size() < 232) return facts;
  facts.riffSize = Le32(bytes, 4);
  facts.totalFrames = Le32(bytes, 48);
  facts.width = Le32(bytes, 64);
  facts.height = Le32(bytes, 68);
  facts.moviSize = Le32(bytes, 224);
  const std::size_t index = 228 + facts.moviSize;
  if (index + 8 <= bytes.size() && std::memcmp(&bytes[index], "idx1", 4) == 0)
    facts.indexEntries = Le32(bytes, index + 4) / 16;
  return facts;
}

// Time that runs on from the present as fast as the threads sleep. Single
// captures use it to skip their settling pauses; streams do not, since a
// capture loop spinning on it would see a frame late by seconds whenever
// the transfer thread waits for the processor.
class ManualTimeFromNow : public testing::ScopedManualClock {
 public:
  ManualTimeFromNow() : ScopedManualClock(ZirvoPort_TimeGetTime()) {}
};

// Unpaced, and a stalled frame read gives up only after a minute.
ZirvoSimConfig SimConfig() {
  ZirvoSimConfig config = testing::FastSimConfig();
  config.stall_timeout_ms = 60000;
  return config;
}

class AcquisitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(camera_.get(), nullptr);
    handle_ = Open();
    ASSERT_NE(handle_, 0);
    window_ = ZirvoPort_CreateMessageWindow();
    ASSERT_NE(window_, nullptr);
    // A small odd-width window: rows need padding, frames are cheap.
    SetCaptureWindow(handle_, 0, 0, 101, 60);
    ASSERT_EQ(Zirvo_SetColorMode(handle_, 8), 1);
    DrainErrors(handle_);
  }

  void TearDown() override {
    for (int handle : handles_) Zirvo_Release(handle);
    ZirvoPort_DestroyWindow(window_);
  }

  int Open() {
    int handle = Zirvo_Initialize(nullptr);
    if (handle) handles_.push_back(handle);
    return handle;
  }

  static CameraInstance& Instance(int handle) {
    CameraNode* node = TheCameraRegistry().Find(handle);
    return *node->camera;
  }

  static void SetCaptureWindow(int handle, int left, int top, int width, int height) {
    Instance(handle).Settings().Update([&](InstanceSettings& s) {
      s.captureWindow.left = left;
      s.captureWindow.top = top;
      s.captureWindow.width = width;
      s.captureWindow.height = height;
    });
  }

  static void SetVideoFormat(int handle, const std::function<void(VideoFormatSettings&)>& change) {
    Instance(handle).Settings().Update([&](InstanceSettings& s) { change(s.videoFormat); });
  }

  static std::vector<int> DrainErrors(int handle) {
    std::vector<int> codes;
    for (int code; (code = Zirvo_GetLastError(handle)) != 0;) codes.push_back(code);
    return codes;
  }

  // The next WM_CAMERA_FRAME to the callback window; false when none came.
  bool NextFrameMessage(ZirvoPortMessage& message, int timeoutMilliseconds = 5000) {
    while (ZirvoPort_GetMessage(window_, &message, timeoutMilliseconds) == 1) {
      if (message.message == kFrameMessage) return true;
    }
    return false;
  }

  // Waits for `count` successful frame messages; false on a failure message.
  bool ReceiveFrames(int count) {
    for (int received = 0; received < count;) {
      ZirvoPortMessage message{};
      if (!NextFrameMessage(message)) return false;
      if (message.wParam == 0) {
        ADD_FAILURE() << "frame failure " << message.lParam << " after " << received << " frames";
        return false;
      }
      ++received;
    }
    return true;
  }

  int PreparationCount() {
    int count = 0;
    for (const ZirvoSimExchange& exchange : testing::ExchangeLog(camera_.get())) {
      if (exchange.write && exchange.offset == testing::kCommandSectorOffset && exchange.command[0] == 0x20 &&
          exchange.command[1] == 0x00 && (exchange.command[2] << 8 | exchange.command[3]) == kFirstColumnRegister)
        ++count;
    }
    return count;
  }

  AcquisitionMode Mode() { return Instance(handle_).Mode(); }

  test::TemporaryConfig config_;
  testing::SimulatedCameraOnDrive camera_{1, SimConfig()};
  std::vector<int> handles_;
  int handle_ = 0;
  HWND window_ = nullptr;
};

// --- The state table, row by row ------------------------------------------

TEST_F(AcquisitionTest, IdleStartPreviewStreamsAndASecondStartChangesNothing) {
  const int before = PreparationCount();
  ASSERT_EQ(Zirvo_StartPreview(handle_), 1);
  EXPECT_EQ(Mode(), ModeStreaming);
  EXPECT_EQ(Zirvo_StartPreview(handle_), 1);
  EXPECT_EQ(PreparationCount() - before, 1);
  EXPECT_EQ(Mode(), ModeStreaming);
  EXPECT_EQ(Zirvo_StopPreview(handle_), 1);
  EXPECT_EQ(Mode(), ModeIdle);
  EXPECT_TRUE(DrainErrors(handle_).empty());
}

TEST_F(AcquisitionTest, StreamingRefusesCaptureAndSnapShot) {
  ASSERT_EQ(Zirvo_StartPreview(handle_), 1);
  DrainErrors(handle_);
  EXPECT_EQ(Zirvo_Capture(handle_), 0);
  EXPECT_EQ(DrainErrors(handle_), std::vector<int>{ZIRVO_ERROR_NO_DEVICE});
  EXPECT_EQ(Zirvo_SnapShot(handle_, nullptr, 0, 1), 0);
  EXPECT_EQ(DrainErrors(handle_), std::vector<int>{ZIRVO_ERROR_NO_DEVICE});
  EXPECT_EQ(Mode(), ModeStreaming);
}

TEST_F(AcquisitionTest, CaptureModeRefusesStartPreviewAndKeepsItsPreparation) {
  ManualTimeFromNow clock;
  ASSERT_EQ(Zirvo_Capture(handle_), 1);
  EXPECT_EQ(Mode(), ModeCapture);
  EXPECT_EQ(Zirvo_Capture(handle_), 1);
  EXPECT_EQ(Zirvo_StartPreview(handle_), 0);
  EXPECT_EQ(DrainErrors(handle_), std::vector<int>{ZIRVO_ERROR_NO_DEVICE});
  EXPECT_EQ(Mode(), ModeCapture);
  EXPECT_EQ(Zirvo_SnapShot(handle_, nullptr, 0, 1), 1);
  EXPECT_EQ(Mode(), ModeCapture);
  EXPECT_EQ(Zirvo_StopPreview(handle_), 1);
  EXPECT_EQ(Mode(), ModeIdle);
}

TEST_F(AcquisitionTest, PreviewStartsFromCaptureModeFailThenCloseBackToIdle) {
  ManualTimeFromNow clock;
  ASSERT_EQ(Zirvo_Capture(handle_), 1);
  EXPECT_EQ(Zirvo_CallBackPreview(handle_, window_, nullptr, 0, 1), 0);
  EXPECT_EQ(DrainErrors(handle_), (std::vector<int>{ZIRVO_ERROR_TRANSFER, ZIRVO_ERROR_NO_DEVICE}));
  EXPECT_EQ(Mode(), ModeIdle);

  ASSERT_EQ(Zirvo_Capture(handle_), 1);
  const std::string file = (config_.folder() / "refused.avi").string();
  EXPECT_EQ(Zirvo_Record(handle_, file.c_str(), 1000, 0), 0);
  EXPECT_EQ(DrainErrors(handle_), (std::vector<int>{ZIRVO_ERROR_SETTINGS, ZIRVO_ERROR_NO_DEVICE}));
  EXPECT_EQ(Mode(), ModeIdle);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(AcquisitionTest, SnapShotFromIdlePreparesEveryTimeAndStaysIdle) {
  ManualTimeFromNow clock;
  const int before = PreparationCount();
  const uint32_t start = ZirvoPort_TimeGetTime();
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Zirvo_SnapShot(handle_, nullptr, 0, 1), 1);
  EXPECT_EQ(PreparationCount() - before, 3);
  // Each preparation lets the sensor settle 300 ms before the read.
  EXPECT_GE(ZirvoPort_TimeGetTime() - start, 900u);
  EXPECT_EQ(Mode(), ModeIdle);
}

TEST_F(AcquisitionTest, CaptureThenSnapShotsPrepareOnceAndReadAFrameEach) {
  ManualTimeFromNow clock;
  const int preparations = PreparationCount();
  const unsigned served = ZirvoSim_FramesServed(camera_.get());
  ASSERT_EQ(Zirvo_Capture(handle_), 1);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Zirvo_SnapShot(handle_, nullptr, 0, 1), 1);
  EXPECT_EQ(PreparationCount() - preparations, 1);
  EXPECT_EQ(ZirvoSim_FramesServed(camera_.get()) - served, 3u);
}

TEST_F(AcquisitionTest, StopCloseAndReleaseEachEndInIdle) {
  ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, nullptr, 0, 1), 1);
  ASSERT_TRUE(ReceiveFrames(1));
  EXPECT_EQ(Zirvo_Close(handle_), 1);
  EXPECT_EQ(Mode(), ModeIdle);
  ASSERT_EQ(Zirvo_Capture(handle_), 1);
  EXPECT_EQ(Zirvo_StopPreview(handle_), 1);
  EXPECT_EQ(Mode(), ModeIdle);
  ASSERT_EQ(Zirvo_StartPreview(handle_), 1);
  EXPECT_EQ(Zirvo_Release(handle_), 1);
  handles_.clear();
}

// --- Streaming --------------------------------------------------------------

TEST_F(AcquisitionTest, CallBackPreviewPostsFrameInfoAndCopiesEachFrame) {
  const int32_t stride = Stride(101, 8);
  std::vector<uint8_t> buffer(std::size_t(stride) * 60, 0xAB);
  ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, buffer.data(), int(buffer.size()), 0), 1);
  ZirvoPortMessage message{};
  for (int frame = 0; frame < 3; ++frame) {
    ASSERT_TRUE(NextFrameMessage(message));
    ASSERT_NE(message.wParam, 0u);
    EXPECT_EQ(message.lParam, 0);
  }
  const FrameInfo& info = *reinterpret_cast<const FrameInfo*>(message.wParam);
  EXPECT_EQ(&info, &Instance(handle_).CurrentFrameInfo());
  EXPECT_EQ(Load(info.recordSize), int32_t(sizeof(FrameInfo)));
  EXPECT_EQ(Load(info.width), 101);
  EXPECT_EQ(Load(info.height), 60);
  EXPECT_EQ(Load(info.bitsPerPixel), 8);
  EXPECT_EQ(Load(info.buffer), buffer.data());
  ASSERT_EQ(Zirvo_StopPreview(handle_), 1);

  // The caller's copy holds the last converted frame, rows in reverse order.
  std::vector<uint8_t> image(buffer.size());
  ASSERT_EQ(Zirvo_GetImage(handle_, image.data(), int(image.size()), 0), 1);
  EXPECT_EQ(image, buffer);
  std::vector<uint8_t> upright(buffer.size());
  ASSERT_EQ(Zirvo_GetImage(handle_, upright.data(), int(upright.size()), 1), 1);
  for (int row = 0; row < 60; ++row) {
    ASSERT_TRUE(std::equal(upright.begin() + row * stride, upright.begin() + (row + 1) * stride,
                           image.begin() + (59 - row) * stride))
        << row;
  }
  EXPECT_NE(std::count(image.begin(), image.end(), 0xAB), std::ptrdiff_t(image.size()));
}

TEST_F(AcquisitionTest, BufferOneByteShortPostsErrorFiveInsteadOfEachFrame) {
  std::vector<uint8_t> buffer(std::size_t(Stride(101, 8)) * 60 - 1, 0xAB);
  ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, buffer.data(), int(buffer.size()), 1), 1);
  for (int frame = 0; frame < 3; ++frame) {
    ZirvoPortMessage message{};
    ASSERT_TRUE(NextFrameMessage(message));
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(message.lParam, ZIRVO_ERROR_MEMORY);
  }
  ASSERT_EQ(Zirvo_StopPreview(handle_), 1);
  const std::vector<int> errors = DrainErrors(handle_);
  EXPECT_GE(errors.size(), 3u);
  EXPECT_TRUE(std::all_of(errors.begin(), errors.end(), [](int code) { return code == ZIRVO_ERROR_MEMORY; }));
  EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xAB), std::ptrdiff_t(buffer.size()));
}

TEST_F(AcquisitionTest, PreviewAndRecordStopTheCallbackMessages) {
  ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, nullptr, 0, 1), 1);
  ASSERT_TRUE(ReceiveFrames(1));
  ASSERT_EQ(Zirvo_Preview(handle_), 1);  // already streaming: clears the callback only
  const auto waitForFrames = [&](unsigned count) {
    const unsigned served = ZirvoSim_FramesServed(camera_.get());
    while (ZirvoSim_FramesServed(camera_.get()) < served + count) ZirvoPort_Sleep(10);
  };
  waitForFrames(3);
  ZirvoPortMessage message{};
  while (ZirvoPort_GetMessage(window_, &message, 0) == 1) {
  }
  waitForFrames(5);
  EXPECT_EQ(ZirvoPort_GetMessage(window_, &message, 50), 0);
}

TEST_F(AcquisitionTest, NegativeWaitTimeStillStreams) {
  SetVideoFormat(handle_, [](VideoFormatSettings& format) { format.waitTime = -20; });
  ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, nullptr, 0, 1), 1);
  EXPECT_TRUE(ReceiveFrames(3));
}

TEST_F(AcquisitionTest, CaptureWindowChangedWhileStreamingTakesEffectWithTheNextFrames) {
  std::vector<uint8_t> buffer(std::size_t(Stride(200, 8)) * 100);
  ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, buffer.data(), int(buffer.size()), 1), 1);
  ASSERT_TRUE(ReceiveFrames(2));
  SetCaptureWindow(handle_, 8, 4, 200, 100);
  ZirvoPortMessage message{};
  int32_t width = 0;
  for (int i = 0; i < 50 && width != 200; ++i) {
    ASSERT_TRUE(NextFrameMessage(message));
    ASSERT_NE(message.wParam, 0u) << message.lParam;
    width = Load(reinterpret_cast<const FrameInfo*>(message.wParam)->width);
    ASSERT_TRUE(width == 101 || width == 200) << width;
  }
  EXPECT_EQ(width, 200);
  EXPECT_EQ(Load(reinterpret_cast<const FrameInfo*>(message.wParam)->height), 100);
  // Sub-sampled by the mode that quarters the copy only: the bitmaps follow
  // the device's copy size.
  SetVideoFormat(handle_, [](VideoFormatSettings& format) { format.subSampleMode = 18; });
  for (int i = 0; i < 50 && width != 50; ++i) {
    ASSERT_TRUE(NextFrameMessage(message));
    ASSERT_NE(message.wParam, 0u) << message.lParam;
    width = Load(reinterpret_cast<const FrameInfo*>(message.wParam)->width);
  }
  EXPECT_EQ(width, 50);
  EXPECT_EQ(Load(reinterpret_cast<const FrameInfo*>(message.wParam)->height), 25);
  ASSERT_EQ(Zirvo_StopPreview(handle_), 1);
  unsigned simWidth = 0, simHeight = 0;
  ZirvoSim_GetFrameSize(camera_.get(), &simWidth, &simHeight);
  EXPECT_EQ(simWidth, 200u);
}

TEST_F(AcquisitionTest, SubSampleModesSizeTheImageLikeTheDevice) {
  ManualTimeFromNow clock;
  SetCaptureWindow(handle_, 0, 0, 640, 480);
  struct Case {
    int mode, width, height;
  };
  for (const Case& c : {Case{1, 320, 240}, Case{2, 160, 120}, Case{3, 80, 60}, Case{16, 640, 480},
                        Case{17, 320, 240}}) {
    SetVideoFormat(handle_, [&](VideoFormatSettings& format) { format.subSampleMode = c.mode; });
    ASSERT_EQ(Zirvo_SnapShot(handle_, nullptr, 0, 1), 1) << c.mode;
    std::vector<uint8_t> image(std::size_t(Stride(c.width, 8)) * c.height);
    EXPECT_EQ(Zirvo_GetImage(handle_, image.data(), int(image.size()), 1), 1) << c.mode;
    EXPECT_EQ(Zirvo_GetImage(handle_, image.data(), int(image.size()) - 1, 1), 0) << c.mode;
    DrainErrors(handle_);
  }
}

// --- The preview window ---------------------------------------------------

class PreviewAcquisitionTest : public AcquisitionTest {
 protected:
  void SetUp() override {
    ZirvoPort_UseOffscreenWindows(1);
    AcquisitionTest::SetUp();
  }
  void TearDown() override {
    AcquisitionTest::TearDown();
    ZirvoPort_UseOffscreenWindows(0);
  }

  void WaitForFrames(unsigned count) {
    const unsigned served = ZirvoSim_FramesServed(camera_.get());
    while (ZirvoSim_FramesServed(camera_.get()) < served + count) ZirvoPort_Sleep(10);
  }
};

TEST_F(PreviewAcquisitionTest, PreviewWindowShowsTheConvertedFrameUpright) {
  ASSERT_EQ(Zirvo_SetColorMode(handle_, 24), 1);
  ASSERT_EQ(Zirvo_Preview(handle_), 1);
  const HWND window = Instance(handle_).PreviewWindowHandle();
  ASSERT_NE(window, nullptr);
  WaitForFrames(4);
  ASSERT_EQ(Zirvo_StopPreview(handle_), 1);
  // The window stays until Close, showing the last frame drawn. Its client
  // area is the image's size where the desktop allows (a Windows desktop
  // widens narrow top-level windows): the picture is then scaled by nearest
  // neighbour.
  int width = 0, height = 0;
  ZirvoPort_ReadWindowPixels(window, nullptr, 0, &width, &height);
  ASSERT_GT(width, 0);
  ASSERT_GT(height, 0);
  std::vector<uint32_t> pixels(std::size_t(width) * std::size_t(height));
  ASSERT_EQ(ZirvoPort_ReadWindowPixels(window, pixels.data(), int(pixels.size()), &width, &height), 1);
#if !defined(_WIN32)
  EXPECT_EQ(width, 101);
  EXPECT_EQ(height, 60);
#endif
  const int32_t stride = Stride(101, 24);
  std::vector<uint8_t> image(std::size_t(stride) * 60);
  ASSERT_EQ(Zirvo_GetImage(handle_, image.data(), int(image.size()), 1), 1);
  int differing = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Stored display row (height - 1 - y) takes stored image row 59 - u.
      const int row = 59 - std::min(int(float(height - 1 - y) * (60.0f / float(height))), 59);
      const int column = std::min(int(float(x) * (101.0f / float(width))), 100);
      const uint8_t* bgr = &image[std::size_t(row) * stride + 3 * std::size_t(column)];
      const uint32_t expected = uint32_t(bgr[0]) | uint32_t(bgr[1]) << 8 | uint32_t(bgr[2]) << 16;
      if ((pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] & 0xFFFFFF) != expected) ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(Zirvo_Close(handle_), 1);
  EXPECT_EQ(Instance(handle_).PreviewWindowHandle(), nullptr);
}

TEST_F(PreviewAcquisitionTest, CloseTakesTheWindowDownWhileFramesAreDrawn) {
  for (int cycle = 0; cycle < 5; ++cycle) {
    ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, nullptr, 0, 1), 1);
    ASSERT_NE(Instance(handle_).PreviewWindowHandle(), nullptr);
    ASSERT_TRUE(ReceiveFrames(2));
    EXPECT_EQ(Zirvo_Close(handle_), 1);
    EXPECT_EQ(Instance(handle_).PreviewWindowHandle(), nullptr);
    EXPECT_EQ(Mode(), ModeIdle);
  }
}

TEST_F(PreviewAcquisitionTest, RecordShowsAWindowOnlyWhenAsked) {
  const std::filesystem::path file = config_.folder() / "shown.avi";
  ASSERT_EQ(Zirvo_Record(handle_, file.string().c_str(), 100000, 0), 1);
  EXPECT_EQ(Instance(handle_).PreviewWindowHandle(), nullptr);
  ASSERT_EQ(Zirvo_StopPreview(handle_), 1);
  ASSERT_EQ(Zirvo_Record(handle_, file.string().c_str(), 100000, 1), 1);
  EXPECT_NE(Instance(handle_).PreviewWindowHandle(), nullptr);
  EXPECT_EQ(Zirvo_Close(handle_), 1);
  EXPECT_EQ(ReadAvi(file).riffSize + 8, ReadAvi(file).fileSize);
}

// --- Single captures and the current image -------------------------------

TEST_F(AcquisitionTest, SnapShotCopiesTheFrameTheCameraSentWithRowPadding) {
  ManualTimeFromNow clock;
  std::vector<uint8_t> image(std::size_t(Stride(101, 8)) * 60, 0xAB);
  ASSERT_EQ(Zirvo_SnapShot(handle_, image.data(), int(image.size()), 1), 1);
  std::vector<uint8_t> sent(101 * 60);
  ASSERT_EQ(ZirvoSim_CopyLastFrame(camera_.get(), sent.data(), unsigned(sent.size())), sent.size());
  for (int row = 0; row < 60; ++row) {
    ASSERT_TRUE(std::equal(sent.begin() + row * 101, sent.begin() + (row + 1) * 101,
                           image.begin() + row * Stride(101, 8)))
        << row;
  }
}

// Streamed frames of unpadded rows are read straight from their transfer
// slot (converted there in colour modes 24 and 32 without the mirror, copied
// or widened from there otherwise); padded ones are copied out first, as a
// snapshot's are. Over a corner of a colour patch streaming and snapshot give
// the same image byte for byte, padding included, in every colour mode.
TEST_F(AcquisitionTest, StreamedFramesMatchASnapShotOfTheSameSceneInEveryMode) {
  struct Case {
    int width;
    int bits;
    int mirror;
  };
  const Case cases[] = {{100, 24, 0}, {100, 32, 0}, {100, 24, 1}, {101, 24, 0}, {100, 8, 0},
                        {101, 8, 0},  {100, 16, 0}, {101, 16, 0}, {100, 48, 1}, {101, 64, 0}};
  for (const Case& test : cases) {
    SCOPED_TRACE(::testing::Message() << test.width << " wide, " << test.bits << " bits, mirror " << test.mirror);
    SetCaptureWindow(handle_, 1080, 800, test.width, 60);
    Instance(handle_).Settings().Update([&](InstanceSettings& s) { s.analog.mirrorHorizontal = test.mirror; });
    ASSERT_EQ(Zirvo_SetColorMode(handle_, test.bits), 1);
    const std::size_t bytes = std::size_t(Stride(test.width, test.bits)) * 60;
    std::vector<uint8_t> streamed(bytes, 0xAB);
    ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, streamed.data(), int(bytes), 1), 1);
    ASSERT_TRUE(ReceiveFrames(3));
    ASSERT_EQ(Zirvo_StopPreview(handle_), 1);
    std::vector<uint8_t> snapped(bytes, 0xCD);
    {
      ManualTimeFromNow clock;
      ASSERT_EQ(Zirvo_SnapShot(handle_, snapped.data(), int(bytes), 1), 1);
    }
    EXPECT_EQ(streamed, snapped);
    // Not a flat picture: a frame taken from the wrong place would show.
    EXPECT_GT(std::set<uint8_t>(snapped.begin(), snapped.end()).size(), 3u);
  }
  EXPECT_TRUE(DrainErrors(handle_).empty());
}

TEST_F(AcquisitionTest, HorizontalMirrorReversesEveryRow) {
  ManualTimeFromNow clock;
  ZirvoSimConfig still = testing::FastSimConfig();
  ASSERT_EQ(still.animated, 0);
  const int32_t stride = Stride(101, 8);
  std::vector<uint8_t> plain(std::size_t(stride) * 60);
  ASSERT_EQ(Zirvo_SnapShot(handle_, plain.data(), int(plain.size()), 1), 1);
  Instance(handle_).Settings().Update([](InstanceSettings& s) { s.analog.mirrorHorizontal = 1; });
  std::vector<uint8_t> mirrored(plain.size());
  ASSERT_EQ(Zirvo_SnapShot(handle_, mirrored.data(), int(mirrored.size()), 1), 1);
  for (int row = 0; row < 60; ++row) {
    for (int x = 0; x < 101; ++x)
      ASSERT_EQ(mirrored[row * stride + x], plain[row * stride + 100 - x]) << row << "," << x;
  }
}

TEST_F(AcquisitionTest, SixteenBitModeWidensEachSampleToTheTenBitScale) {
  ManualTimeFromNow clock;
  std::vector<uint8_t> eight(std::size_t(Stride(101, 8)) * 60);
  ASSERT_EQ(Zirvo_SnapShot(handle_, eight.data(), int(eight.size()), 1), 1);
  ASSERT_EQ(Zirvo_SetColorMode(handle_, 16), 1);
  const int32_t stride16 = Stride(101, 16);
  std::vector<uint8_t> sixteen(std::size_t(stride16) * 60);
  ASSERT_EQ(Zirvo_SnapShot(handle_, sixteen.data(), int(sixteen.size()), 1), 1);
  for (int row = 0; row < 60; ++row) {
    for (int x = 0; x < 101; ++x) {
      const int sample = sixteen[row * stride16 + 2 * x] | sixteen[row * stride16 + 2 * x + 1] << 8;
      ASSERT_EQ(sample, eight[row * Stride(101, 8) + x] * 4) << row << "," << x;
    }
  }
}

TEST_F(AcquisitionTest, GetImageNeedsAnImageAndABuffer) {
  ManualTimeFromNow clock;
  std::vector<uint8_t> image(std::size_t(Stride(101, 8)) * 60);
  EXPECT_EQ(Zirvo_GetImage(handle_, image.data(), int(image.size()), 1), 0);
  EXPECT_EQ(DrainErrors(handle_), std::vector<int>{ZIRVO_ERROR_MEMORY});
  ASSERT_EQ(Zirvo_SnapShot(handle_, nullptr, 0, 1), 1);
  EXPECT_EQ(Zirvo_GetImage(handle_, nullptr, int(image.size()), 1), 0);
  EXPECT_EQ(DrainErrors(handle_), std::vector<int>{ZIRVO_ERROR_MEMORY});
  EXPECT_EQ(Zirvo_GetImage(handle_, image.data(), int(image.size()), 1), 1);
}

TEST_F(AcquisitionTest, SaveImageWritesTheCurrentImage) {
  ManualTimeFromNow clock;
  ASSERT_EQ(Zirvo_SnapShot(handle_, nullptr, 0, 1), 1);
  const std::filesystem::path bmp = config_.folder() / "still.bmp";
  ASSERT_EQ(Zirvo_SaveImage(handle_, bmp.string().c_str(), SAVE_FORMAT_BMP), 1);
  EXPECT_EQ(std::filesystem::file_size(bmp), 1078u + std::size_t(Stride(101, 8)) * 60);
  const std::filesystem::path raw = config_.folder() / "still.raw";
  ASSERT_EQ(Zirvo_SaveImageW(handle_, raw.wstring().c_str(), SAVE_FORMAT_RAW), 1);
  std::vector<uint8_t> image(std::size_t(Stride(101, 8)) * 60);
  ASSERT_EQ(Zirvo_GetImage(handle_, image.data(), int(image.size()), 1), 1);
  EXPECT_EQ(ReadFile(raw), image);
  EXPECT_EQ(Zirvo_SaveImage(handle_, (config_.folder() / "x").string().c_str(), 7), 0);
}

TEST_F(AcquisitionTest, WideFileNamesTooLongFailWithTheirCodes) {
  ManualTimeFromNow clock;
  ASSERT_EQ(Zirvo_SnapShot(handle_, nullptr, 0, 1), 1);
  const std::wstring tooLong(1100, L'a');
  EXPECT_EQ(Zirvo_SaveImageW(handle_, tooLong.c_str(), SAVE_FORMAT_BMP), 0);
  EXPECT_EQ(DrainErrors(handle_), std::vector<int>{ZIRVO_ERROR_NO_DEVICE});
  EXPECT_EQ(Zirvo_RecordW(handle_, tooLong.c_str(), 100, 0), 0);
  EXPECT_EQ(DrainErrors(handle_), std::vector<int>{ZIRVO_ERROR_SETTINGS});
  EXPECT_EQ(Mode(), ModeIdle);
}

// --- Recording ----------------------------------------------------------

TEST_F(AcquisitionTest, RecordWithoutANameFails) {
  EXPECT_EQ(Zirvo_Record(handle_, "", 1000, 1), 0);
  EXPECT_EQ(Zirvo_Record(handle_, nullptr, 1000, 0), 0);
  EXPECT_EQ(DrainErrors(handle_), (std::vector<int>{ZIRVO_ERROR_ARGUMENT, ZIRVO_ERROR_ARGUMENT}));
  EXPECT_EQ(Mode(), ModeIdle);
}

TEST_F(AcquisitionTest, RecordingEndsByItselfAfterTheDurationWhileStreamingGoesOn) {
  const std::filesystem::path file = config_.folder() / "clip.avi";
  ASSERT_EQ(Zirvo_Record(handle_, file.string().c_str(), 200, 0), 1);
  EXPECT_EQ(Mode(), ModeStreaming);
  for (int i = 0; i < 2000 && Instance(handle_).IsRecording(); ++i) ZirvoPort_Sleep(10);
  ASSERT_FALSE(Instance(handle_).IsRecording());
  EXPECT_EQ(Mode(), ModeStreaming);
  const AviFacts avi = ReadAvi(file);
  EXPECT_EQ(avi.riffSize, avi.fileSize - 8);
  EXPECT_EQ(avi.width, 101u);
  EXPECT_EQ(avi.height, 60u);
  EXPECT_GE(avi.totalFrames, 2u);
  EXPECT_EQ(avi.indexEntries, avi.totalFrames);
  EXPECT_EQ(avi.moviSize, 4u + avi.totalFrames * (8u + uint32_t(Stride(101, 24)) * 60u));
  // The stream still delivers after the recording.
  const unsigned served = ZirvoSim_FramesServed(camera_.get());
  while (ZirvoSim_FramesServed(camera_.get()) < served + 3) ZirvoPort_Sleep(10);
  EXPECT_EQ(Zirvo_StopPreview(handle_), 1);
}

TEST_F(AcquisitionTest, StopPreviewFinishesARecordingCutShort) {
  const std::filesystem::path file = config_.folder() / "cut.avi";
  ASSERT_EQ(Zirvo_Record(handle_, file.string().c_str(), 3600000, 0), 1);
  const unsigned served = ZirvoSim_FramesServed(camera_.get());
  while (ZirvoSim_FramesServed(camera_.get()) < served + 5) ZirvoPort_Sleep(10);
  ASSERT_EQ(Zirvo_StopPreview(handle_), 1);
  const AviFacts avi = ReadAvi(file);
  EXPECT_EQ(avi.riffSize, avi.fileSize - 8);
  EXPECT_EQ(avi.indexEntries, avi.totalFrames);
}

TEST_F(AcquisitionTest, RecordingInColourModeSixtyFourRecordsTwentyFourBitFrames) {
  ASSERT_EQ(Zirvo_SetColorMode(handle_, 64), 1);
  const std::filesystem::path file = config_.folder() / "deep.avi";
  ASSERT_EQ(Zirvo_Record(handle_, file.string().c_str(), 50, 0), 1);
  for (int i = 0; i < 2000 && Instance(handle_).IsRecording(); ++i) ZirvoPort_Sleep(10);
  ASSERT_EQ(Zirvo_StopPreview(handle_), 1);
  const AviFacts avi = ReadAvi(file);
  EXPECT_GE(avi.totalFrames, 1u);
  EXPECT_EQ(avi.moviSize, 4u + avi.totalFrames * (8u + uint32_t(Stride(101, 24)) * 60u));
}

// --- A camera that goes away ----------------------------------------------

TEST_F(AcquisitionTest, UnplugWhileStreamingPostsThirteenAndStopPreviewReturns) {
  ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, nullptr, 0, 1), 1);
  ASSERT_TRUE(ReceiveFrames(2));
  ZirvoSim_Unplug(camera_.get());
  ZirvoPortMessage message{};
  do {
    ASSERT_TRUE(NextFrameMessage(message));
  } while (message.wParam != 0);
  EXPECT_EQ(message.lParam, ZIRVO_ERROR_STOPPED);
  EXPECT_EQ(Mode(), ModeStreaming);
  const std::vector<int> errors = DrainErrors(handle_);
  EXPECT_NE(std::find(errors.begin(), errors.end(), ZIRVO_ERROR_STOPPED), errors.end());
  EXPECT_EQ(Zirvo_StopPreview(handle_), 1);
  EXPECT_EQ(Mode(), ModeIdle);
}

TEST_F(AcquisitionTest, StalledCameraIsReportedWithinTheDeviceTimeOut) {
  ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, nullptr, 0, 1), 1);
  ASSERT_TRUE(ReceiveFrames(2));
  // A short device time-out on the real clock: the stalled read itself gives
  // up only after a minute.
  Instance(handle_).Device()->SetTimeout(200);
  ZirvoSim_SetStall(camera_.get(), 1);
  const uint32_t stalled = ZirvoPort_TimeGetTime();
  ZirvoPortMessage message{};
  do {
    ASSERT_TRUE(NextFrameMessage(message));
  } while (message.wParam != 0);
  EXPECT_EQ(message.lParam, ZIRVO_ERROR_STOPPED);
  // Reported by the capture thread's watch once the device's time-out has
  // passed without a frame, long before the read itself gives up at 60000.
  const uint32_t reported = ZirvoPort_TimeGetTime() - stalled;
  EXPECT_GE(reported, 200u);
  EXPECT_LT(reported, 60000u);
  ZirvoSim_SetStall(camera_.get(), 0);
  Instance(handle_).Device()->SetTimeout(8000);
  EXPECT_EQ(Zirvo_StopPreview(handle_), 1);
}

TEST_F(AcquisitionTest, StopPreviewReturnsWithinTheTimeOutWhileTheCameraStalls) {
  ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, nullptr, 0, 1), 1);
  ASSERT_TRUE(ReceiveFrames(2));
  // A short device time-out on the real clock; the stalled read gives up
  // only after a minute.
  Instance(handle_).Device()->SetTimeout(200);
  ZirvoSim_SetStall(camera_.get(), 1);
  // A new window makes the capture thread restart the transfer while the
  // stall holds a frame read.
  SetCaptureWindow(handle_, 0, 0, 80, 40);
  ZirvoPort_Sleep(50);
  const uint32_t start = ZirvoPort_TimeGetTime();
  Zirvo_StopPreview(handle_);
  const uint32_t took = ZirvoPort_TimeGetTime() - start;
  EXPECT_LT(took, 5000u);
  EXPECT_EQ(Mode(), ModeIdle);
  ZirvoSim_SetStall(camera_.get(), 0);
  Instance(handle_).Device()->SetTimeout(8000);
  // Once the camera answers again the next start reaps the stuck worker.
  ASSERT_EQ(Zirvo_CallBackPreview(handle_, window_, nullptr, 0, 1), 1);
  EXPECT_TRUE(ReceiveFrames(2));
  EXPECT_EQ(Zirvo_StopPreview(handle_), 1);
}

TEST_F(AcquisitionTest, SnapShotOfAnUnpluggedCameraFailsWithEight) {
  ManualTimeFromNow clock;
  ASSERT_EQ(Zirvo_Capture(handle_), 1);
  ASSERT_EQ(Zirvo_SnapShot(handle_, nullptr, 0, 1), 1);
  ZirvoSim_Unplug(camera_.get());
  EXPECT_EQ(Zirvo_SnapShot(handle_, nullptr, 0, 1), 0);
  const std::vector<int> errors = DrainErrors(handle_);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.front(), ZIRVO_ERROR_TRANSFER);
}

// --- Unsupported -----------------------------------------------------------

TEST_F(AcquisitionTest, TriggerAndItsAliasesRecordElevenAndStatusIsZero) {
  EXPECT_EQ(Zirvo_Trigger(handle_), 0);
  EXPECT_EQ(Zirvo_Fps(handle_), 0);
  EXPECT_EQ(Zirvo_SetCrossbar(handle_), 0);
  EXPECT_EQ(Zirvo_SetSamplingRate(handle_), 0);
  EXPECT_EQ(DrainErrors(handle_), std::vector<int>(4, ZIRVO_ERROR_NOT_SUPPORTED));
  EXPECT_EQ(Zirvo_GetStatus(handle_, 5), 0);
  EXPECT_TRUE(DrainErrors(handle_).empty());
}

// --- Two cameras ---------------------------------------------------------

TEST_F(AcquisitionTest, TwoCamerasStreamAndRecordAtOnce) {
  ZirvoSimConfig config = testing::FastSimConfig();
  ZirvoSimCamera* second = ZirvoSim_Attach(2, &config);
  ASSERT_NE(second, nullptr);
  const int other = Open();
  ASSERT_EQ(Zirvo_SetDeviceNumber(other, 1), 1);
  SetCaptureWindow(other, 0, 0, 64, 48);
  ASSERT_EQ(Zirvo_SetColorMode(other, 24), 1);
  const std::filesystem::path first = config_.folder() / "one.avi";
  const std::filesystem::path next = config_.folder() / "two.avi";
  ASSERT_EQ(Zirvo_Record(handle_, first.string().c_str(), 100, 0), 1);
  ASSERT_EQ(Zirvo_Record(other, next.string().c_str(), 100, 0), 1);
  for (int i = 0; i < 2000 && (Instance(handle_).IsRecording() || Instance(other).IsRecording()); ++i)
    ZirvoPort_Sleep(10);
  EXPECT_EQ(Zirvo_StopPreview(handle_), 1);
  EXPECT_EQ(Zirvo_StopPreview(other), 1);
  EXPECT_EQ(ReadAvi(first).width, 101u);
  EXPECT_EQ(ReadAvi(next).width, 64u);
  EXPECT_GE(ReadAvi(next).totalFrames, 1u);
  EXPECT_GT(ZirvoSim_FramesServed(second), 0u);
  Zirvo_Release(other);
  handles_.pop_back();
  ZirvoSim_Detach(second);
}

}  // namespace
}  // namespace zirvo
