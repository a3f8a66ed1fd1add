// PreviewWindow: the live-picture window of one camera instance and the path
// that draws each converted frame into it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/window.h"

namespace zirvo {

class FrameBitmap;

// Control identifier of a child preview window.
inline constexpr int kPreviewControlId = 6540;
inline constexpr uint32_t kChildPreviewStyle = 0x52000000;     // child, visible, clip children
inline constexpr uint32_t kTopLevelPreviewStyle = 0x16CF0000;  // overlapped window, visible, clipping
inline constexpr const char* kChildPreviewTitle = "ActiveMovie Window";
inline constexpr const char* kTopLevelPreviewTitle = "Active Window";

// Where and how large the window is made.
struct PreviewPlacement {
  // Null: a top-level window centred on the screen. Otherwise a child window
  // inside `parent` at (left, top) of width `right` and height `bottom`.
  platform::WindowHandle parent = nullptr;
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  // Top-level client area: the capture size, halved for sub-sample modes 1
  // and 16, quartered for 2 and 17.
  int32_t captureWidth = 0;
  int32_t captureHeight = 0;
  int32_t subSampleMode = 0;
};

// The camera instance's bitmaps that the drawing reads and writes. The
// display source of colour modes 0 and 1 is `raw8`, of modes 2 to 5
// `bgr24`; modes 1, 3, 4 and 5 first reduce their output image into it.
struct DisplayBitmaps {
  FrameBitmap* raw8 = nullptr;
  FrameBitmap* raw16 = nullptr;
  FrameBitmap* bgr24 = nullptr;
  FrameBitmap* bgr32 = nullptr;
  FrameBitmap* bgr48 = nullptr;
  FrameBitmap* bgr64 = nullptr;
  FrameBitmap* display = nullptr;  // the picture at the client size
};

// Top-level client size for a capture size and sub-sample mode.
void PreviewClientSize(int32_t captureWidth, int32_t captureHeight, int32_t subSampleMode,
                       int32_t* width, int32_t* height);

// Position that centres a window of the given outer size on a screen; never
// negative.
void CentreOnScreen(int32_t screenWidth, int32_t screenHeight, int32_t windowWidth,
                    int32_t windowHeight, int32_t* x, int32_t* y);

// Owned by the camera instance. Create, Destroy and PrepareDisplay run on the
// application's thread; DrawFrame on the capture thread. One short lock keeps
// a frame from being drawn into a window or context that is being taken down:
// Destroy waits at most for the frame being drawn, and DrawFrame never waits
// at all (a frame that meets the application's thread at work is skipped).
class PreviewWindow {
 public:
  PreviewWindow() = default;
  ~PreviewWindow();
  PreviewWindow(const PreviewWindow&) = delete;
  PreviewWindow& operator=(const PreviewWindow&) = delete;

  // Registers a window class named after `owner` (the camera instance) and
  // this start, creates the child or top-level window, shows it and takes its
  // drawing context. A window still open is taken down first. 1 on success;
  // 0 when the class, the window or its context cannot be made (the caller
  // records its window error); the class stays registered until Destroy.
  int Create(const void* owner, const PreviewPlacement& placement);

  // Draws the output image of `colorMode` (0 to 5). Nothing is drawn without
  // a window or context, or while the window is hidden or has an empty
  // client area; the frame is then simply skipped.
  void DrawFrame(int colorMode, const DisplayBitmaps& bitmaps);

  // Sizes the display bitmap to the client area (8 bits with the gray table
  // for colour modes 0 and 1, else 24 bits) when the window is visible, has a
  // client area and a context; otherwise leaves it as it is.
  void PrepareDisplay(int colorMode, FrameBitmap& display);

  // Releases the context, destroys the window and unregisters the class;
  // safe to call at any time and more than once.
  void Destroy();

  platform::WindowHandle Handle() const;
  bool HasContext() const;
  // The registered class name; empty when no class is registered.
  std::string ClassName() const;

 private:
  class ApplicationHold;
  void DestroyLocked();
  bool ReadClientSize(int32_t* width, int32_t* height);

  mutable std::mutex mutex_;  // application thread and capture thread
  std::atomic<int> applicationWaiting_{0};  // application threads holding or awaiting mutex_
  platform::WindowHandle window_ = nullptr;        // guarded by mutex_
  platform::WindowContextOwner context_;           // guarded by mutex_
  std::string className_;                          // guarded by mutex_
};

}  // namespace zirvo
