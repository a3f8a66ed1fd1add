// Display windows: classes, handles, the copy of a surface into a window in
// both row placements, off-screen windows, and X11 windows on an X server.
#include "platform/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/message_window.h"
#include "platform/surface.h"
#include "support/x_display.h"
#include "zirvo_port.h"

#if !defined(_WIN32)
#include "platform/posix/x11_window.h"
#endif
#if defined(ZIRVO_TEST_HAVE_X11)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

namespace zirvo::platform {
namespace {

constexpr const char* kClass = "ZirvoWindowTestClass";
constexpr uint32_t kVisibleChild = 0x52000000;
constexpr uint32_t kVisibleTopLevel = 0x16CF0000;

// A bottom-up surface in a memory context, as FrameBitmap makes them.
struct Picture {
  DrawingContextOwner context;
  SurfaceOwner surface;
  uint8_t* pixels = nullptr;
  int32_t stride = 0;

  Picture(int32_t width, int32_t height, int bits, const ColorEntry* colors = nullptr) {
    BitmapInfo info{};
    info.header = {kBitmapHeaderSize, width, height, 1, static_cast<uint16_t>(bits), kCompressionRgb,
                   0, 0, 0, 0, 0};
    for (int i = 0; i < 256; ++i) {
      info.colors[i] = colors != nullptr ? colors[i]
                                         : ColorEntry{static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                                      static_cast<uint8_t>(i), 0};
    }
    context = CreateMemoryContext();
    surface = CreateSurface(nullptr, info, kDibRgbColors, &pixels, nullptr, 0);
    if (context && surface) SelectSurface(*context, *surface);
    stride = (width * (bits / 8) + 3) & ~3;
  }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetWindowSystem(WindowSystem::kOffscreen);
    ASSERT_TRUE(RegisterDisplayClass(kClass));
    WindowCreation creation;
    creation.className = kClass;
    creation.title = "parent";
    creation.style = 0x10CF0000;
    creation.width = 400;
    creation.height = 300;
    parent_ = CreateDisplayWindow(creation);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    if (parent_ != nullptr) DestroyDisplayWindow(parent_);
    UnregisterDisplayClass(kClass);
    SetWindowSystem(WindowSystem::kDesktopWhenAvailable);
  }

  WindowHandle Child(int32_t width, int32_t height) {
    WindowCreation creation;
    creation.className = kClass;
    creation.title = "child";
    creation.style = kVisibleChild;
    creation.width = width;
    creation.height = height;
    creation.parent = parent_;
    creation.controlId = 77;
    return CreateDisplayWindow(creation);
  }

  std::vector<uint32_t> Read(WindowHandle window) {
    std::vector<uint32_t> pixels;
    int32_t width = 0, height = 0;
    EXPECT_TRUE(ReadDisplayWindowPixels(window, &pixels, &width, &height));
    return pixels;
  }

  WindowHandle parent_ = nullptr;
};

TEST_F(WindowTest, ClassIsNeededForWindowsAndTakenOnlyOnce) {
  EXPECT_FALSE(RegisterDisplayClass(kClass));
  EXPECT_FALSE(RegisterDisplayClass(""));
  WindowCreation creation;
  creation.className = "ZirvoNeverRegistered";
  creation.style = kVisibleTopLevel;
  creation.width = 10;
  creation.height = 10;
  EXPECT_EQ(CreateDisplayWindow(creation), nullptr);
  EXPECT_FALSE(UnregisterDisplayClass("ZirvoNeverRegistered"));
}

TEST_F(WindowTest, ChildKeepsItsControlIdAndGoesAwayWhenDestroyed) {
  WindowHandle child = Child(20, 10);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetDisplayControlId(child), 77);
  EXPECT_TRUE(IsDisplayWindowVisible(child));
  ASSERT_TRUE(DestroyDisplayWindow(child));
  EXPECT_FALSE(IsDisplayWindowVisible(child));
  WindowRect client;
  EXPECT_FALSE(GetDisplayClientRect(child, &client));
  EXPECT_FALSE(DestroyDisplayWindow(child));
}

// Memory row 0 holds the first row the camera sent: as stored, Windows shows
// it at the bottom; turned over, at the top. 8-bit pixels go through the
// surface's own colour table.
TEST_F(WindowTest, RowsLandAsStoredOrTurnedOverThroughTheColourTable) {
  ColorEntry colors[256];
  for (int i = 0; i < 256; ++i) {
    colors[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2), 0};
  }
  Picture picture(3, 2, 8, colors);
  ASSERT_TRUE(picture.surface);
  const uint8_t values[2][3] = {{10, 20, 30}, {40, 50, 60}};
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 3; ++column) picture.pixels[row * picture.stride + column] = values[row][column];
  }
  auto expected = [&](int memoryRow, int column) {
    uint8_t v = values[memoryRow][column];
    return uint32_t{v} | (uint32_t{static_cast<uint8_t>(255 - v)} << 8) | (uint32_t{static_cast<uint8_t>(v / 2)} << 16);
  };
  WindowHandle child = Child(3, 2);
  WindowContextOwner context = GetWindowContext(child);
  ASSERT_TRUE(context);

  ASSERT_TRUE(CopyToWindow(*context, *picture.context, RowPlacement::kTurnedOver));
  std::vector<uint32_t> shown = Read(child);
  EXPECT_EQ(shown[0], expected(0, 0));
  EXPECT_EQ(shown[2], expected(0, 2));
  EXPECT_EQ(shown[3], expected(1, 0));

  ASSERT_TRUE(CopyToWindow(*context, *picture.context, RowPlacement::kAsStored));
  shown = Read(child);
  EXPECT_EQ(shown[0], expected(1, 0));
  EXPECT_EQ(shown[5], expected(0, 2));
}

TEST_F(WindowTest, CopyIsClippedToTheClientAreaAndLeavesTheRestAlone) {
  Picture large(5, 4, 24);
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 5; ++column) {
      uint8_t* pixel = large.pixels + row * large.stride + 3 * column;
      pixel[0] = static_cast<uint8_t>(row * 10 + column);
      pixel[1] = 1;
      pixel[2] = 2;
    }
  }
  WindowHandle small = Child(2, 3);
  WindowContextOwner context = GetWindowContext(small);
  ASSERT_TRUE(CopyToWindow(*context, *large.context, RowPlacement::kTurnedOver));
  std::vector<uint32_t> shown = Read(small);
  ASSERT_EQ(shown.size(), 6u);
  EXPECT_EQ(shown[2 * 2 + 1], 0x020100u | 21u);
  // Siblings at one place overlap on a desktop.
  context.reset();
  DestroyDisplayWindow(small);

  Picture tiny(1, 1, 32);
  tiny.pixels[0] = 9;
  tiny.pixels[1] = 8;
  tiny.pixels[2] = 7;
  tiny.pixels[3] = 0xFF;  // never shown
  WindowHandle wide = Child(3, 2);
  WindowContextOwner wideContext = GetWindowContext(wide);
  ASSERT_TRUE(CopyToWindow(*wideContext, *tiny.context, RowPlacement::kAsStored));
  shown = Read(wide);
  EXPECT_EQ(shown[0], 0x070809u);
  EXPECT_EQ(shown[1], 0u);
  EXPECT_EQ(shown[5], 0u);

  // A smaller frame after a larger one leaves the rest of the larger showing.
  ASSERT_TRUE(CopyToWindow(*wideContext, *large.context, RowPlacement::kTurnedOver));
  ASSERT_TRUE(CopyToWindow(*wideContext, *tiny.context, RowPlacement::kAsStored));
  shown = Read(wide);
  EXPECT_EQ(shown[0], 0x070809u);
  EXPECT_EQ(shown[1], 0x020100u | 1u);
  EXPECT_EQ(shown[5], 0x020100u | 12u);
}

TEST_F(WindowTest, SixteenBitSurfacesAndEmptyContextsAreNotShown) {
  WindowHandle child = Child(2, 2);
  WindowContextOwner context = GetWindowContext(child);
  Picture gray16(2, 2, 16);
  ASSERT_TRUE(gray16.surface);
  EXPECT_FALSE(CopyToWindow(*context, *gray16.context, RowPlacement::kAsStored));
  DrawingContextOwner empty = CreateMemoryContext();
  EXPECT_FALSE(CopyToWindow(*context, *empty, RowPlacement::kAsStored));
}

TEST_F(WindowTest, PortReadReportsTheSizeWhenTheBufferIsShort) {
  WindowHandle child = Child(4, 3);
  uint32_t pixels[12] = {};
  int width = 0, height = 0;
  EXPECT_EQ(ZirvoPort_ReadWindowPixels(child, pixels, 11, &width, &height), 0);
  EXPECT_EQ(width, 4);
  EXPECT_EQ(height, 3);
  EXPECT_EQ(ZirvoPort_ReadWindowPixels(child, pixels, 12, &width, &height), 1);
  EXPECT_EQ(ZirvoPort_ReadWindowPixels(nullptr, pixels, 12, &width, &height), 0);
}

#if !defined(_WIN32)

TEST_F(WindowTest, WrappedX11IdsKeepOneHandleThatNoOtherWindowHas) {
  WindowHandle wrapped = WrapX11Window(0x3a00007);
  ASSERT_NE(wrapped, nullptr);
  EXPECT_EQ(WrapX11Window(0x3a00007), wrapped);
  EXPECT_NE(WrapX11Window(0x3a00009), wrapped);
  EXPECT_EQ(WrapX11Window(0), nullptr);
  EXPECT_EQ(ZirvoPort_WrapX11Window(0x3a00007), wrapped);
  EXPECT_EQ(X11WindowOf(wrapped), 0x3a00007ul);
  EXPECT_EQ(ZirvoPort_X11WindowOf(wrapped), 0x3a00007ul);
  EXPECT_EQ(X11WindowOf(parent_), 0ul);  // off-screen
  WindowHandle message = CreateMessageWindow();
  EXPECT_NE(message, wrapped);
  EXPECT_NE(message, parent_);
  EXPECT_FALSE(IsMessageWindow(wrapped));
  EXPECT_FALSE(IsDisplayWindowVisible(message));
  DestroyMessageWindow(message);
}

TEST_F(WindowTest, ReleasedWrappersNameNothingAndOnlyWrappersAreReleased) {
  WindowHandle wrapped = ZirvoPort_WrapX11Window(0x3a0000b);
  ASSERT_NE(wrapped, nullptr);
  EXPECT_EQ(ZirvoPort_DestroyWindow(parent_), 0);  // a window of ours is not a wrapper
  EXPECT_EQ(ZirvoPort_DestroyWindow(wrapped), 1);
  EXPECT_EQ(ZirvoPort_X11WindowOf(wrapped), 0ul);
  EXPECT_EQ(ZirvoPort_DestroyWindow(wrapped), 0);
  std::vector<uint32_t> pixels;
  int32_t width = 0, height = 0;
  EXPECT_TRUE(ReadDisplayWindowPixels(parent_, &pixels, &width, &height));
  WindowHandle again = ZirvoPort_WrapX11Window(0x3a0000b);
  EXPECT_EQ(ZirvoPort_X11WindowOf(again), 0x3a0000bul);
  EXPECT_NE(again, wrapped);  // handles are never reused
  EXPECT_EQ(ZirvoPort_DestroyWindow(again), 1);
}

TEST_F(WindowTest, WithoutADisplayNamedWindowsAreOffscreen) {
  const char* saved = std::getenv("DISPLAY");
  std::string previous = saved != nullptr ? saved : "";
  ::unsetenv("DISPLAY");
  SetWindowSystem(WindowSystem::kDesktopWhenAvailable);
  int32_t width = -1, height = -1;
  ScreenSize(&width, &height);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0);
  WindowCreation creation;
  creation.className = kClass;
  creation.style = kVisibleTopLevel;
  creation.width = 30;
  creation.height = 20;
  WindowHandle window = CreateDisplayWindow(creation);
  EXPECT_NE(window, nullptr);
  EXPECT_EQ(X11WindowOf(window), 0ul);
  EXPECT_TRUE(IsDisplayWindowVisible(window));
  DestroyDisplayWindow(window);
  if (saved != nullptr) ::setenv("DISPLAY", previous.c_str(), 1);
}

// The window call fails; the process goes on (no exit from inside Xlib).
TEST_F(WindowTest, DisplayThatCannotBeOpenedFailsOnlyTheWindow) {
  const char* saved = std::getenv("DISPLAY");
  std::string previous = saved != nullptr ? saved : "";
  ::setenv("DISPLAY", ":4093", 1);
  SetWindowSystem(WindowSystem::kDesktopWhenAvailable);
  WindowCreation creation;
  creation.className = kClass;
  creation.style = kVisibleTopLevel;
  creation.width = 30;
  creation.height = 20;
  EXPECT_EQ(CreateDisplayWindow(creation), nullptr);
  creation.parent = WrapX11Window(0x1200001);
  creation.style = kVisibleChild;
  EXPECT_EQ(CreateDisplayWindow(creation), nullptr);
  if (saved != nullptr) {
    ::setenv("DISPLAY", previous.c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
}

#endif

#if defined(ZIRVO_TEST_HAVE_X11)

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

class X11WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!zirvo::testing::EnsureXDisplay()) GTEST_SKIP() << "no X server and no Xvfb";
    static const bool quiet = (XSetErrorHandler(IgnoreErrors), true);
    (void)quiet;
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) GTEST_SKIP() << "X server does not answer";
    SetWindowSystem(WindowSystem::kDesktopWhenAvailable);
    ASSERT_TRUE(RegisterDisplayClass(kClass));
  }
  void TearDown() override {
    AllowX11SharedMemory(true);
    UnregisterDisplayClass(kClass);
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  WindowHandle TopLevel(int32_t x, int32_t y, int32_t width, int32_t height) {
    WindowCreation creation;
    creation.className = kClass;
    creation.title = "top";
    creation.style = kVisibleTopLevel;
    creation.x = x;
    creation.y = y;
    creation.width = width;
    creation.height = height;
    return CreateDisplayWindow(creation);
  }

  Display* display_ = nullptr;
};

// A full frame through shared memory and through the socket: the same
// picture either way, read back from the server.
TEST_F(X11WindowTest, FrameArrivesWholeThroughSharedMemoryAndThroughTheSocket) {
  const int32_t width = 1001, height = 301;  // odd: padded rows
  Picture picture(width, height, 24);
  for (int32_t row = 0; row < height; ++row) {
    for (int32_t column = 0; column < width; ++column) {
      uint8_t* pixel = picture.pixels + row * picture.stride + 3 * column;
      pixel[0] = static_cast<uint8_t>(column);
      pixel[1] = static_cast<uint8_t>(row);
      pixel[2] = static_cast<uint8_t>(column ^ row);
    }
  }
  for (bool shared : {true, false}) {
    SCOPED_TRACE(shared ? "shared memory" : "socket");
    AllowX11SharedMemory(shared);
    WindowHandle window = TopLevel(0, 0, width, height);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(X11WindowOf(window), 0ul);
    WindowContextOwner context = GetWindowContext(window);
    ASSERT_TRUE(CopyToWindow(*context, *picture.context, RowPlacement::kTurnedOver));
    std::vector<uint32_t> shown;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(ReadDisplayWindowPixels(window, &shown, &w, &h));
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    int wrong = 0;
    for (int32_t row = 0; row < height; ++row) {
      for (int32_t column = 0; column < width; ++column) {
        uint32_t expected = static_cast<uint8_t>(column) | (uint32_t{static_cast<uint8_t>(row)} << 8) |
                            (uint32_t{static_cast<uint8_t>(column ^ row)} << 16);
        if (shown[row * width + column] != expected) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0);
    context.reset();
    DestroyDisplayWindow(window);
  }
}

TEST_F(X11WindowTest, HiddenResizedAndDestroyedWindowsAnswerLikeWindowsOnes) {
  WindowHandle window = TopLevel(50, 60, 40, 30);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsDisplayWindowVisible(window));
  int32_t x = 0, y = 0;
  ASSERT_TRUE(GetDisplayWindowPosition(window, &x, &y));
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 60);
  ASSERT_TRUE(HideDisplayWindow(window));
  EXPECT_FALSE(IsDisplayWindowVisible(window));
  ASSERT_TRUE(ShowDisplayWindow(window));
  ASSERT_TRUE(ResizeDisplayWindow(window, 64, 48));
  WindowRect client;
  ASSERT_TRUE(GetDisplayClientRect(window, &client));
  EXPECT_EQ(client.right, 64);
  EXPECT_EQ(client.bottom, 48);
  Window xid = X11WindowOf(window);
  WindowContextOwner context = GetWindowContext(window);
  ASSERT_TRUE(DestroyDisplayWindow(window));
  XWindowAttributes attributes;
  EXPECT_EQ(XGetWindowAttributes(display_, xid, &attributes), 0);
  // A context still held draws nothing into the window that is gone.
  Picture picture(4, 4, 24);
  EXPECT_FALSE(CopyToWindow(*context, *picture.context, RowPlacement::kAsStored));
}

#endif

}  // namespace
}  // namespace zirvo::platform
