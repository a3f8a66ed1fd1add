// PreviewWindow: window variants, the drawing path per colour mode and client
// size, take-down while a frame is drawn, and the window on an X11 desktop.
#include "display/preview_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "display/frame_bitmap.h"
#include "platform/window.h"
#include "support/x_display.h"

#if defined(ZIRVO_TEST_HAVE_X11)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

namespace zirvo {
namespace {

using platform::WindowHandle;

// The camera instance's bitmaps, sized as preparation sizes them.
struct Bitmaps {
  FrameBitmap raw8, raw16, bgr24, bgr32, bgr48, bgr64, display;

  DisplayBitmaps View() {
    return {&raw8, &raw16, &bgr24, &bgr32, &bgr48, &bgr64, &display};
  }

  void Prepare(int colorMode, int32_t width, int32_t height) {
    if (colorMode <= 3) {
      raw8.Create(width, height, 8);
      raw8.SetPalette(0, nullptr, 0, 256);
    }
    if (colorMode == 1 || colorMode == 4 || colorMode == 5) raw16.Create(width, height, 16);
    if (colorMode != 1) bgr24.Create(width, height, 24);
    if (colorMode == 3) bgr32.Create(width, height, 32);
    if (colorMode == 4) bgr48.Create(width, height, 48);
    if (colorMode == 5) bgr64.Create(width, height, 64);
  }

  FrameBitmap& Output(int colorMode) {
    FrameBitmap* outputs[] = {&raw8, &raw16, &bgr24, &bgr32, &bgr48, &bgr64};
    return *outputs[colorMode];
  }
};

// Distinct, asymmetric colour for every stored pixel, so that a turned or
// shifted picture cannot pass.
uint8_t Blue(int32_t row, int32_t column) { return static_cast<uint8_t>(column * 29 + row * 3 + 1); }
uint8_t Green(int32_t row, int32_t column) { return static_cast<uint8_t>(row * 37 + column + 5); }
uint8_t Red(int32_t row, int32_t column) { return static_cast<uint8_t>(200 - row * 11 - column * 7); }

uint32_t Bgrx(uint8_t blue, uint8_t green, uint8_t red) {
  return blue | (uint32_t{green} << 8) | (uint32_t{red} << 16);
}

// Fills the output image of `colorMode` so that its shown byte per channel
// is Blue/Green/Red of the pixel (the gray modes show Green).
void FillOutput(int colorMode, FrameBitmap& output) {
  for (int32_t row = 0; row < output.Height(); ++row) {
    uint8_t* line = output.Pixels() + static_cast<size_t>(row) * output.Stride();
    for (int32_t column = 0; column < output.Width(); ++column) {
      uint8_t b = Blue(row, column), g = Green(row, column), r = Red(row, column);
      switch (colorMode) {
        case 0: line[column] = g; break;
        case 1: {
          // Bits 4 to 11 are shown; the others must not leak into the picture.
          uint16_t sample = static_cast<uint16_t>((g << 4) | 0x0F | (column % 2 ? 0xF000 : 0));
          std::memcpy(line + 2 * column, &sample, 2);
          break;
        }
        case 2: line[3 * column] = b; line[3 * column + 1] = g; line[3 * column + 2] = r; break;
        case 3:
          line[4 * column] = b; line[4 * column + 1] = g; line[4 * column + 2] = r;
          line[4 * column + 3] = 0x5A;
          break;
        default: {
          int words = colorMode == 4 ? 3 : 4;
          uint16_t channel[4] = {static_cast<uint16_t>((b << 4) | 0x3),
                                 static_cast<uint16_t>((g << 4) | 0x9),
                                 static_cast<uint16_t>((r << 4) | 0xC), 0xFFFF};
          std::memcpy(line + 2 * words * column, channel, 2 * words);
        }
      }
    }
  }
}

uint32_t ShownPixel(int colorMode, int32_t row, int32_t column) {
  if (colorMode <= 1) {
    uint8_t g = Green(row, column);
    return Bgrx(g, g, g);
  }
  return Bgrx(Blue(row, column), Green(row, column), Red(row, column));
}

std::vector<uint32_t> Read(WindowHandle window, int32_t* width = nullptr, int32_t* height = nullptr) {
  std::vector<uint32_t> pixels;
  int32_t w = 0, h = 0;
  EXPECT_TRUE(platform::ReadDisplayWindowPixels(window, &pixels, &w, &h));
  if (width) *width = w;
  if (height) *height = h;
  return pixels;
}

class PreviewWindowTest : public ::testing::Test {
 protected:
  // The application's window that children go into: off-screen on Linux, a
  // real top-level window on Windows.
  void SetUp() override {
    platform::SetWindowSystem(platform::WindowSystem::kOffscreen);
    ASSERT_TRUE(platform::RegisterDisplayClass(kParentClass));
    platform::WindowCreation creation;
    creation.className = kParentClass;
    creation.title = "application";
    creation.style = 0x10CF0000;  // overlapped window, visible
    creation.width = 800;
    creation.height = 600;
    parent_ = platform::CreateDisplayWindow(creation);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    preview_.Destroy();
    if (parent_ != nullptr) platform::DestroyDisplayWindow(parent_);
    platform::UnregisterDisplayClass(kParentClass);
    platform::SetWindowSystem(platform::WindowSystem::kDesktopWhenAvailable);
  }

  static constexpr const char* kParentClass = "ZirvoTestApplicationWindow";

  // A child window of the given client size.
  WindowHandle OpenChild(int32_t width, int32_t height) {
    PreviewPlacement placement;
    placement.parent = parent_;
    placement.right = width;
    placement.bottom = height;
    EXPECT_EQ(preview_.Create(this, placement), 1);
    return preview_.Handle();
  }

  WindowHandle parent_ = nullptr;
  PreviewWindow preview_;
  Bitmaps bitmaps_;
};

TEST(PreviewGeometry, TopLevelClientIsTheCaptureSizeAfterSubSampling) {
  struct Case { int mode; int32_t width, height; } cases[] = {
      {0, 1280, 1024}, {1, 640, 512}, {16, 640, 512}, {2, 320, 256}, {17, 320, 256},
      {3, 1280, 1024}, {18, 1280, 1024}};
  for (const Case& c : cases) {
    int32_t width = 0, height = 0;
    PreviewClientSize(1280, 1024, c.mode, &width, &height);
    EXPECT_EQ(width, c.width) << "mode " << c.mode;
    EXPECT_EQ(height, c.height) << "mode " << c.mode;
  }
  int32_t width = 0, height = 0;
  PreviewClientSize(1001, 7, 2, &width, &height);
  EXPECT_EQ(width, 250);
  EXPECT_EQ(height, 1);
}

TEST(PreviewGeometry, CentredOnTheScreenAndNeverAboveOrLeftOfIt) {
  int32_t x = -1, y = -1;
  CentreOnScreen(1920, 1080, 656, 551, &x, &y);
  EXPECT_EQ(x, 632);
  EXPECT_EQ(y, 264);
  CentreOnScreen(1920, 1080, 657, 552, &x, &y);  // odd remainders truncate
  EXPECT_EQ(x, 631);
  EXPECT_EQ(y, 264);
  CentreOnScreen(800, 600, 4400, 3300, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  CentreOnScreen(800, 600, 900, 500, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 50);
}

TEST_F(PreviewWindowTest, ChildTakesTheRectangleAndTheControlId) {
  PreviewPlacement placement;
  placement.parent = parent_;
  placement.left = 10;
  placement.top = 20;
  placement.right = 320;
  placement.bottom = 240;
  ASSERT_EQ(preview_.Create(this, placement), 1);
  WindowHandle window = preview_.Handle();
  int32_t x = 0, y = 0;
  ASSERT_TRUE(platform::GetDisplayWindowPosition(window, &x, &y));
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 20);
  platform::WindowRect client;
  ASSERT_TRUE(platform::GetDisplayClientRect(window, &client));
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 240);
  EXPECT_EQ(platform::GetDisplayControlId(window), kPreviewControlId);
  EXPECT_TRUE(platform::IsDisplayWindowVisible(window));
  EXPECT_TRUE(preview_.HasContext());
}

TEST_F(PreviewWindowTest, TopLevelClientAreaIsTheSubSampledCaptureSizeAndBlack) {
  PreviewPlacement placement;
  placement.captureWidth = 1280;
  placement.captureHeight = 1024;
  placement.subSampleMode = 1;
  ASSERT_EQ(preview_.Create(this, placement), 1);
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels = Read(preview_.Handle(), &width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 512);
  EXPECT_EQ(platform::GetDisplayControlId(preview_.Handle()), 0);
  // The class background: black until the first frame.
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0u), 640 * 512);
}

TEST_F(PreviewWindowTest, ClassIsNamedPerInstanceAndStartAndGoesWithTheWindow) {
  PreviewWindow other;
  int anotherOwner = 0;
  OpenChild(8, 8);
  PreviewPlacement placement;
  placement.parent = parent_;
  placement.right = 8;
  placement.bottom = 8;
  ASSERT_EQ(other.Create(&anotherOwner, placement), 1);
  std::string first = preview_.ClassName();
  std::string second = other.ClassName();
  ASSERT_EQ(first.size(), std::strlen("VideoRenderer_01234567_89abcdef"));
  char owner[9];
  std::snprintf(owner, sizeof(owner), "%08x", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this)));
  EXPECT_EQ(first.substr(0, 23), std::string("VideoRenderer_") + owner + "_");
  EXPECT_NE(first, second);

  WindowHandle firstWindow = preview_.Handle();
  preview_.Destroy();
  EXPECT_TRUE(preview_.ClassName().empty());
  EXPECT_EQ(preview_.Handle(), nullptr);
  EXPECT_FALSE(preview_.HasContext());
  EXPECT_FALSE(platform::IsDisplayWindowVisible(firstWindow));
  // Unregistered: the name can be taken again.
  EXPECT_TRUE(platform::RegisterDisplayClass(first.c_str()));
  EXPECT_TRUE(platform::UnregisterDisplayClass(first.c_str()));
  preview_.Destroy();  // a second take-down is harmless
  other.Destroy();
}

TEST_F(PreviewWindowTest, CreatingAgainTakesTheOpenWindowDown) {
  WindowHandle first = OpenChild(16, 16);
  std::string firstClass = preview_.ClassName();
  WindowHandle second = OpenChild(16, 16);
  EXPECT_NE(first, second);
  EXPECT_FALSE(platform::IsDisplayWindowVisible(first));
  EXPECT_TRUE(platform::IsDisplayWindowVisible(second));
  EXPECT_TRUE(platform::RegisterDisplayClass(firstClass.c_str()));
  platform::UnregisterDisplayClass(firstClass.c_str());
}

TEST_F(PreviewWindowTest, ParentThatNamesNoWindowFailsAndLeavesNothingBehind) {
  PreviewPlacement placement;
  placement.parent = reinterpret_cast<WindowHandle>(uintptr_t{0x1233});
  placement.right = 10;
  placement.bottom = 10;
  EXPECT_EQ(preview_.Create(this, placement), 0);
  EXPECT_EQ(preview_.Handle(), nullptr);
  EXPECT_FALSE(preview_.HasContext());
  EXPECT_TRUE(preview_.ClassName().empty());
}

// Client area equal to the image: the stored image is shown turned over
// (memory row 0, the first row sent, at the top) and the display bitmap is
// not touched.
TEST_F(PreviewWindowTest, EqualClientShowsTheImageTurnedOverForEveryModeButOne) {
  const int32_t width = 7, height = 5;  // odd: rows are padded in memory
  for (int mode : {0, 2, 3, 4, 5}) {
    SCOPED_TRACE(mode);
    Bitmaps bitmaps;
    bitmaps.Prepare(mode, width, height);
    FillOutput(mode, bitmaps.Output(mode));
    WindowHandle window = OpenChild(width, height);
    preview_.DrawFrame(mode, bitmaps.View());
    std::vector<uint32_t> shown = Read(window);
    ASSERT_EQ(shown.size(), size_t{width * height});
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        ASSERT_EQ(shown[y * width + x], ShownPixel(mode, y, x)) << "x " << x << " y " << y;
      }
    }
    EXPECT_EQ(bitmaps.display.Width(), 0);
    EXPECT_EQ(bitmaps.display.Pixels(), nullptr);
  }
}

TEST_F(PreviewWindowTest, ReducedModesLeaveTheirPictureInTheTwentyFourBitBitmap) {
  for (int mode : {3, 4, 5}) {
    SCOPED_TRACE(mode);
    Bitmaps bitmaps;
    bitmaps.Prepare(mode, 3, 2);
    FillOutput(mode, bitmaps.Output(mode));
    OpenChild(3, 2);
    preview_.DrawFrame(mode, bitmaps.View());
    const uint8_t* row1 = bitmaps.bgr24.Pixels() + bitmaps.bgr24.Stride();
    EXPECT_EQ(row1[3 * 2 + 0], Blue(1, 2));
    EXPECT_EQ(row1[3 * 2 + 1], Green(1, 2));
    EXPECT_EQ(row1[3 * 2 + 2], Red(1, 2));
  }
}

// Mode 1 goes through the 8-bit bitmap and the display bitmap, even at the
// image's own size.
TEST_F(PreviewWindowTest, SixteenBitGrayIsShownThroughTheDisplayBitmapAtEqualSize) {
  const int32_t width = 6, height = 4;
  bitmaps_.Prepare(1, width, height);
  FillOutput(1, bitmaps_.raw16);
  WindowHandle window = OpenChild(width, height);
  preview_.DrawFrame(1, bitmaps_.View());
  EXPECT_EQ(bitmaps_.display.Width(), width);
  EXPECT_EQ(bitmaps_.display.Height(), height);
  EXPECT_EQ(bitmaps_.display.BitsPerPixel(), 8);
  EXPECT_EQ(bitmaps_.raw8.Pixels()[bitmaps_.raw8.Stride() * 3 + 5], Green(3, 5));
  std::vector<uint32_t> shown = Read(window);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      ASSERT_EQ(shown[y * width + x], ShownPixel(1, y, x)) << "x " << x << " y " << y;
    }
  }
}

// Nearest neighbour with the picture turned over in the same pass: window
// row y shows display memory row (client height - 1 - y).
uint32_t StretchedPixel(int mode, int32_t x, int32_t y, int32_t sourceWidth, int32_t sourceHeight,
                        int32_t clientWidth, int32_t clientHeight) {
  int32_t storedRow = clientHeight - 1 - y;
  int32_t u = static_cast<int32_t>(storedRow * (static_cast<float>(sourceHeight) / clientHeight));
  int32_t v = static_cast<int32_t>(x * (static_cast<float>(sourceWidth) / clientWidth));
  return ShownPixel(mode, sourceHeight - 1 - u, v);
}

TEST_F(PreviewWindowTest, OtherClientSizesAreStretchedUprightThroughTheDisplayBitmap) {
  struct Case { int mode; int32_t clientWidth, clientHeight; } cases[] = {
      {2, 3, 2}, {2, 16, 12}, {0, 3, 2}, {0, 24, 16}, {3, 5, 3}, {1, 12, 8}, {5, 2, 2}};
  const int32_t width = 8, height = 6;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " client " << c.clientWidth << "x"
                                      << c.clientHeight);
    Bitmaps bitmaps;
    bitmaps.Prepare(c.mode, width, height);
    FillOutput(c.mode, bitmaps.Output(c.mode));
    WindowHandle window = OpenChild(c.clientWidth, c.clientHeight);
    preview_.DrawFrame(c.mode, bitmaps.View());
    EXPECT_EQ(bitmaps.display.Width(), c.clientWidth);
    EXPECT_EQ(bitmaps.display.Height(), c.clientHeight);
    EXPECT_EQ(bitmaps.display.BitsPerPixel(), c.mode <= 1 ? 8 : 24);
    std::vector<uint32_t> shown = Read(window);
    for (int32_t y = 0; y < c.clientHeight; ++y) {
      for (int32_t x = 0; x < c.clientWidth; ++x) {
        ASSERT_EQ(shown[y * c.clientWidth + x],
                  StretchedPixel(c.mode, x, y, width, height, c.clientWidth, c.clientHeight))
            << "x " << x << " y " << y;
      }
    }
  }
}

TEST_F(PreviewWindowTest, OnePixelClientShowsColumnZeroOfTheLastStoredRow) {
  bitmaps_.Prepare(2, 9, 7);
  FillOutput(2, bitmaps_.bgr24);
  WindowHandle window = OpenChild(1, 1);
  preview_.DrawFrame(2, bitmaps_.View());
  EXPECT_EQ(bitmaps_.display.Width(), 1);
  EXPECT_EQ(bitmaps_.display.Height(), 1);
  std::vector<uint32_t> shown = Read(window);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], ShownPixel(2, 6, 0));
}

TEST_F(PreviewWindowTest, DisplayBitmapFollowsTheClientWhenTheWindowIsResized) {
  bitmaps_.Prepare(2, 8, 6);
  FillOutput(2, bitmaps_.bgr24);
  WindowHandle window = OpenChild(4, 3);
  preview_.DrawFrame(2, bitmaps_.View());
  ASSERT_EQ(bitmaps_.display.Width(), 4);
  uint8_t* kept = bitmaps_.display.Pixels();

  preview_.DrawFrame(2, bitmaps_.View());
  EXPECT_EQ(bitmaps_.display.Pixels(), kept);  // lives on from frame to frame

  ASSERT_TRUE(platform::ResizeDisplayWindow(window, 16, 12));
  preview_.DrawFrame(2, bitmaps_.View());
  EXPECT_EQ(bitmaps_.display.Width(), 16);
  EXPECT_EQ(bitmaps_.display.Height(), 12);
  std::vector<uint32_t> shown = Read(window);
  EXPECT_EQ(shown[11 * 16 + 15], StretchedPixel(2, 15, 11, 8, 6, 16, 12));
  EXPECT_EQ(shown[0], StretchedPixel(2, 0, 0, 8, 6, 16, 12));

  // Back at the image's size the flipped copy takes over again.
  ASSERT_TRUE(platform::ResizeDisplayWindow(window, 8, 6));
  preview_.DrawFrame(2, bitmaps_.View());
  shown = Read(window);
  EXPECT_EQ(shown[0], ShownPixel(2, 0, 0));
  EXPECT_EQ(shown[5 * 8 + 7], ShownPixel(2, 5, 7));
  EXPECT_EQ(bitmaps_.display.Width(), 16);
}

TEST_F(PreviewWindowTest, ColourModeChangeBringsTheDisplayBitmapToTheNewDepth) {
  Bitmaps bitmaps;
  bitmaps.Prepare(0, 8, 6);
  bitmaps.Prepare(2, 8, 6);
  FillOutput(0, bitmaps.raw8);
  FillOutput(2, bitmaps.bgr24);
  WindowHandle window = OpenChild(4, 3);
  preview_.DrawFrame(0, bitmaps.View());
  EXPECT_EQ(bitmaps.display.BitsPerPixel(), 8);
  preview_.DrawFrame(2, bitmaps.View());
  EXPECT_EQ(bitmaps.display.BitsPerPixel(), 24);
  std::vector<uint32_t> shown = Read(window);
  EXPECT_EQ(shown[1 * 4 + 2], StretchedPixel(2, 2, 1, 8, 6, 4, 3));
}

TEST_F(PreviewWindowTest, HiddenOrEmptyWindowIsNotDrawn) {
  bitmaps_.Prepare(2, 4, 4);
  FillOutput(2, bitmaps_.bgr24);
  WindowHandle window = OpenChild(4, 4);
  ASSERT_TRUE(platform::HideDisplayWindow(window));
  preview_.DrawFrame(2, bitmaps_.View());
  std::vector<uint32_t> shown = Read(window);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), 0u), 16);

  ASSERT_TRUE(platform::ShowDisplayWindow(window));
  ASSERT_TRUE(platform::ResizeDisplayWindow(window, 0, 4));
  preview_.DrawFrame(2, bitmaps_.View());
  EXPECT_EQ(bitmaps_.display.Width(), 0);

  ASSERT_TRUE(platform::ResizeDisplayWindow(window, 4, 4));
  preview_.DrawFrame(2, bitmaps_.View());
  EXPECT_EQ(Read(window)[0], ShownPixel(2, 0, 0));
}

TEST_F(PreviewWindowTest, EmptyOutputOrUnknownModeDrawsNothing) {
  WindowHandle window = OpenChild(4, 4);
  preview_.DrawFrame(2, bitmaps_.View());  // nothing prepared
  preview_.DrawFrame(7, bitmaps_.View());
  preview_.DrawFrame(-1, bitmaps_.View());
  std::vector<uint32_t> shown = Read(window);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), 0u), 16);
}

TEST_F(PreviewWindowTest, PrepareSizesTheDisplayBitmapToAVisibleClient) {
  WindowHandle window = OpenChild(12, 9);
  preview_.PrepareDisplay(1, bitmaps_.display);
  EXPECT_EQ(bitmaps_.display.Width(), 12);
  EXPECT_EQ(bitmaps_.display.Height(), 9);
  EXPECT_EQ(bitmaps_.display.BitsPerPixel(), 8);
  EXPECT_EQ(bitmaps_.display.Info().colors[200].green, 200);
  preview_.PrepareDisplay(4, bitmaps_.display);
  EXPECT_EQ(bitmaps_.display.BitsPerPixel(), 24);

  ASSERT_TRUE(platform::HideDisplayWindow(window));
  preview_.PrepareDisplay(0, bitmaps_.display);
  EXPECT_EQ(bitmaps_.display.BitsPerPixel(), 24);  // left as it was
  preview_.Destroy();
  preview_.PrepareDisplay(0, bitmaps_.display);
  EXPECT_EQ(bitmaps_.display.BitsPerPixel(), 24);
}

TEST_F(PreviewWindowTest, DrawingAfterTheWindowWentDoesNothing) {
  bitmaps_.Prepare(2, 4, 4);
  FillOutput(2, bitmaps_.bgr24);
  WindowHandle window = OpenChild(4, 4);
  preview_.Destroy();
  preview_.DrawFrame(2, bitmaps_.View());
  std::vector<uint32_t> pixels;
  int32_t w = 0, h = 0;
  EXPECT_FALSE(platform::ReadDisplayWindowPixels(window, &pixels, &w, &h));
}

// The capture thread draws while the application's thread opens and closes
// the window: no frame may land in a window or context already released
// (the sanitizer builds watch the memory), and every window drawn into
// shows a whole frame.
TEST_F(PreviewWindowTest, TakeDownWhileTheCaptureThreadDrawsIsSafe) {
  const int32_t width = 64, height = 48;
  bitmaps_.Prepare(2, width, height);
  FillOutput(2, bitmaps_.bgr24);
  std::atomic<bool> running{true};
  std::atomic<int> frames{0};
  std::thread capture([&] {
    DisplayBitmaps view = bitmaps_.View();
    while (running.load()) {
      preview_.DrawFrame(2, view);
      frames.fetch_add(1);
    }
  });
  int drawnWindows = 0;
  for (int cycle = 0; cycle < 60; ++cycle) {
    WindowHandle window = OpenChild(cycle % 2 ? width : 32, cycle % 2 ? height : 24);
    int seen = frames.load();
    while (frames.load() < seen + 2) std::this_thread::yield();
    std::vector<uint32_t> shown;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(platform::ReadDisplayWindowPixels(window, &shown, &w, &h));
    uint32_t expected = cycle % 2 ? ShownPixel(2, 0, 0) : StretchedPixel(2, 0, 0, width, height, w, h);
    if (shown[0] == expected) ++drawnWindows;
    preview_.Destroy();
    EXPECT_FALSE(platform::ReadDisplayWindowPixels(window, &shown, &w, &h));
  }
  running.store(false);
  capture.join();
  EXPECT_EQ(drawnWindows, 60);
}

// A chart that shows at a glance whether it is upright and in its colours:
// red top left, green top right, blue bottom left, white bottom right, with
// a gray ramp across the top rows and a yellow marker near the top-left corner.
[[maybe_unused]] uint32_t ChartPixel(int32_t row, int32_t column, int32_t width, int32_t height) {
  if (row < 16) {
    uint8_t level = static_cast<uint8_t>(column * 255 / (width - 1));
    return Bgrx(level, level, level);
  }
  if (row >= 40 && row < 72 && column >= 40 && column < 72) return Bgrx(0, 255, 255);
  bool top = row < height / 2;
  bool left = column < width / 2;
  if (top && left) return Bgrx(0, 0, 255);
  if (top) return Bgrx(0, 255, 0);
  if (left) return Bgrx(255, 0, 0);
  return Bgrx(255, 255, 255);
}

[[maybe_unused]] void FillChart(FrameBitmap& bitmap) {
  for (int32_t row = 0; row < bitmap.Height(); ++row) {
    uint8_t* line = bitmap.Pixels() + static_cast<size_t>(row) * bitmap.Stride();
    for (int32_t column = 0; column < bitmap.Width(); ++column) {
      uint32_t pixel = ChartPixel(row, column, bitmap.Width(), bitmap.Height());
      line[3 * column] = static_cast<uint8_t>(pixel);
      line[3 * column + 1] = static_cast<uint8_t>(pixel >> 8);
      line[3 * column + 2] = static_cast<uint8_t>(pixel >> 16);
    }
  }
}

#if defined(_WIN32)

// The Win32 window as the desktop shows it, read back through GetDC, BitBlt
// and GetDIBits.
TEST(PreviewWindowOnDesktop, TopLevelWindowShowsTheChartUprightAndCentred) {
  platform::SetWindowSystem(platform::WindowSystem::kDesktopWhenAvailable);
  const int32_t width = 640, height = 512;
  Bitmaps bitmaps;
  bitmaps.Prepare(2, width, height);
  FillChart(bitmaps.bgr24);
  PreviewWindow preview;
  PreviewPlacement placement;
  placement.captureWidth = 1280;
  placement.captureHeight = 1024;
  placement.subSampleMode = 1;
  ASSERT_EQ(preview.Create(&bitmaps, placement), 1);
  platform::WindowRect client;
  ASSERT_TRUE(platform::GetDisplayClientRect(preview.Handle(), &client));
  EXPECT_EQ(client.right, width);
  EXPECT_EQ(client.bottom, height);
  int32_t x = 0, y = 0, screenWidth = 0, screenHeight = 0;
  ASSERT_TRUE(platform::GetDisplayWindowPosition(preview.Handle(), &x, &y));
  platform::ScreenSize(&screenWidth, &screenHeight);
  platform::WindowRect outer{0, 0, width, height};
  ASSERT_TRUE(platform::AdjustWindowRectangle(&outer, kTopLevelPreviewStyle));
  int32_t expectedX = 0, expectedY = 0;
  CentreOnScreen(screenWidth, screenHeight, outer.right - outer.left, outer.bottom - outer.top,
                 &expectedX, &expectedY);
  EXPECT_EQ(x, expectedX);
  EXPECT_EQ(y, expectedY);

  preview.DrawFrame(2, bitmaps.View());
  int32_t readWidth = 0, readHeight = 0;
  std::vector<uint32_t> shown = Read(preview.Handle(), &readWidth, &readHeight);
  ASSERT_EQ(shown.size(), size_t{width * height});
  std::string picture = testing::WritePicture("zirvo-preview-win32", shown, width, height);
  int wrong = 0;
  for (int32_t row = 0; row < height; ++row) {
    for (int32_t column = 0; column < width; ++column) {
      if (shown[row * width + column] != ChartPixel(row, column, width, height)) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0) << "picture in " << picture;
  EXPECT_EQ(bitmaps.display.Width(), 0);
  preview.Destroy();
}

#endif

#if defined(ZIRVO_TEST_HAVE_X11)

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

// The top-level and child windows on a real X server, read back as a person
// would see them: a screenshot of the root window.
class PreviewWindowOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::EnsureXDisplay()) GTEST_SKIP() << "no X server and no Xvfb";
    // Before the library's handler, which hands on errors of other connections.
    static const bool quiet = (XSetErrorHandler(IgnoreErrors), true);
    (void)quiet;
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) GTEST_SKIP() << "X server does not answer";
    platform::SetWindowSystem(platform::WindowSystem::kDesktopWhenAvailable);
  }
  void TearDown() override {
    preview_.Destroy();
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  // Root window pixels of a rectangle, blue in the low byte.
  std::vector<uint32_t> Screenshot(int x, int y, int width, int height) {
    XSync(display_, False);
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), x, y, width, height, AllPlanes,
                              ZPixmap);
    std::vector<uint32_t> pixels;
    if (image == nullptr) return pixels;
    for (int row = 0; row < height; ++row) {
      for (int column = 0; column < width; ++column) {
        pixels.push_back(static_cast<uint32_t>(XGetPixel(image, column, row)) & 0xFFFFFFu);
      }
    }
    XDestroyImage(image);
    return pixels;
  }

  Display* display_ = nullptr;
  PreviewWindow preview_;
  Bitmaps bitmaps_;
};

TEST_F(PreviewWindowOnScreen, TopLevelWindowShowsTheChartUprightCentredAndTitled) {
  const int32_t width = 640, height = 512;
  bitmaps_.Prepare(2, width, height);
  FillChart(bitmaps_.bgr24);
  PreviewPlacement placement;
  placement.captureWidth = 1280;
  placement.captureHeight = 1024;
  placement.subSampleMode = 1;
  ASSERT_EQ(preview_.Create(this, placement), 1);
  Window window = platform::X11WindowOf(preview_.Handle());
  ASSERT_NE(window, 0u);

  char* title = nullptr;
  ASSERT_NE(XFetchName(display_, window, &title), 0);
  EXPECT_STREQ(title, kTopLevelPreviewTitle);
  XFree(title);
  int32_t x = 0, y = 0;
  ASSERT_TRUE(platform::GetDisplayWindowPosition(preview_.Handle(), &x, &y));
  int screenWidth = DisplayWidth(display_, DefaultScreen(display_));
  int screenHeight = DisplayHeight(display_, DefaultScreen(display_));
  EXPECT_EQ(x, (screenWidth - width) / 2);
  EXPECT_EQ(y, (screenHeight - height) / 2);

  preview_.DrawFrame(2, bitmaps_.View());
  std::vector<uint32_t> screen = Screenshot(x, y, width, height);
  ASSERT_EQ(screen.size(), size_t{width * height});
  std::string picture = testing::WritePicture("/tmp/zirvo-preview-toplevel", screen, width, height);
  int wrong = 0;
  for (int32_t row = 0; row < height; ++row) {
    for (int32_t column = 0; column < width; ++column) {
      if (screen[row * width + column] != ChartPixel(row, column, width, height)) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0) << "screenshot in " << picture;
  EXPECT_EQ(bitmaps_.display.Width(), 0);  // the flipped copy, no stretch
}

TEST_F(PreviewWindowOnScreen, ChildWindowShowsTheStretchedChartInsideTheApplicationsWindow) {
  const int32_t width = 640, height = 512;
  Window parent = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 100, 80, 500, 400, 0,
                                      0, 0x00808080);
  XMapWindow(display_, parent);
  XSync(display_, False);
  bitmaps_.Prepare(2, width, height);
  FillChart(bitmaps_.bgr24);

  PreviewPlacement placement;
  placement.parent = platform::WrapX11Window(parent);
  placement.left = 10;
  placement.top = 20;
  placement.right = 320;
  placement.bottom = 256;
  ASSERT_EQ(preview_.Create(this, placement), 1);
  Window child = platform::X11WindowOf(preview_.Handle());
  ASSERT_NE(child, 0u);
  Window root = 0, childParent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  ASSERT_NE(XQueryTree(display_, child, &root, &childParent, &children, &count), 0);
  if (children) XFree(children);
  EXPECT_EQ(childParent, parent);
  char* title = nullptr;
  ASSERT_NE(XFetchName(display_, child, &title), 0);
  EXPECT_STREQ(title, kChildPreviewTitle);
  XFree(title);

  preview_.DrawFrame(2, bitmaps_.View());
  std::vector<uint32_t> screen = Screenshot(100, 80, 500, 400);
  std::string picture = testing::WritePicture("/tmp/zirvo-preview-child", screen, 500, 400);
  int wrong = 0;
  for (int32_t row = 0; row < 400; ++row) {
    for (int32_t column = 0; column < 500; ++column) {
      bool inside = column >= 10 && column < 330 && row >= 20 && row < 276;
      uint32_t expected = 0x808080;
      if (inside) {
        // Half size: every second pixel of every second row of the chart.
        int32_t y = row - 20, x = column - 10;
        int32_t storedRow = 255 - y;
        expected = ChartPixel(height - 1 - 2 * storedRow, 2 * x, width, height);
      }
      if (screen[row * 500 + column] != expected) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0) << "screenshot in " << picture;

  // The application takes its window down: our child goes with it, and the
  // next frames are skipped without a protocol error ending the process.
  XDestroyWindow(display_, parent);
  XSync(display_, False);
  preview_.DrawFrame(2, bitmaps_.View());
  EXPECT_FALSE(platform::IsDisplayWindowVisible(preview_.Handle()));
  preview_.DrawFrame(2, bitmaps_.View());
}

// Two cameras, two capture threads, two windows: each shows its own picture.
TEST_F(PreviewWindowOnScreen, TwoCaptureThreadsDrawIntoTheirOwnWindowsAtOnce) {
  const int32_t width = 200, height = 150;
  Bitmaps first, second;
  first.Prepare(2, width, height);
  second.Prepare(0, width, height);
  FillChart(first.bgr24);
  FillOutput(0, second.raw8);
  PreviewWindow other;
  Window parent = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 600, 400, 0, 0, 0);
  XMapWindow(display_, parent);
  XSync(display_, False);
  PreviewPlacement placement;
  placement.parent = platform::WrapX11Window(parent);
  placement.left = 0;
  placement.right = width;
  placement.bottom = height;
  ASSERT_EQ(preview_.Create(&first, placement), 1);
  placement.left = 300;
  ASSERT_EQ(other.Create(&second, placement), 1);
  std::thread one([&] {
    for (int frame = 0; frame < 30; ++frame) preview_.DrawFrame(2, first.View());
  });
  std::thread two([&] {
    for (int frame = 0; frame < 30; ++frame) other.DrawFrame(0, second.View());
  });
  one.join();
  two.join();
  std::vector<uint32_t> screen = Screenshot(0, 0, 600, 400);
  int wrong = 0;
  for (int32_t row = 0; row < height; ++row) {
    for (int32_t column = 0; column < width; ++column) {
      if (screen[row * 600 + column] != ChartPixel(row, column, width, height)) ++wrong;
      if (screen[row * 600 + 300 + column] != ShownPixel(0, row, column)) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
  other.Destroy();
  XDestroyWindow(display_, parent);
  XSync(display_, False);
}

TEST_F(PreviewWindowOnScreen, CloseFromTheWindowManagerStopsTheDrawing) {
  bitmaps_.Prepare(0, 64, 32);
  PreviewPlacement placement;
  placement.captureWidth = 64;
  placement.captureHeight = 32;
  ASSERT_EQ(preview_.Create(this, placement), 1);
  Window window = platform::X11WindowOf(preview_.Handle());
  ASSERT_NE(window, 0u);
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  XSendEvent(display_, window, False, NoEventMask, &close);
  XSync(display_, False);
  preview_.DrawFrame(0, bitmaps_.View());
  EXPECT_FALSE(platform::IsDisplayWindowVisible(preview_.Handle()));
  XWindowAttributes attributes;
  EXPECT_EQ(XGetWindowAttributes(display_, window, &attributes), 0);  // gone from the server
}

#endif

}  // namespace
}  // namespace zirvo
