// PreviewWindow: window class and window creation, the per-frame drawing
// path (reduction, flipped copy or stretch into the display bitmap), take-down.
#include "display/preview_window.h"

#include <cstdio>
#include <cstdlib>

#include "convert/row_copy.h"
#include "convert/sample_depth.h"
#include "convert/stretch.h"
#include "display/frame_bitmap.h"
#include "platform/clock.h"

namespace zirvo {

namespace {

// The bitmap a colour mode is shown from, and how its output image gets there.
struct DisplaySource {
  FrameBitmap* output = nullptr;     // the mode's output image
  FrameBitmap* shown = nullptr;      // 8 or 24 bits, what is copied or stretched
  RectangleKernel reduction = nullptr;  // output -> shown, or null when they are one
  int shownBits = 0;
};

DisplaySource SourceForMode(int colorMode, const DisplayBitmaps& bitmaps) {
  switch (colorMode) {
    case 0: return {bitmaps.raw8, bitmaps.raw8, nullptr, 8};
    case 1: return {bitmaps.raw16, bitmaps.raw8, ReduceMono16Shift4, 8};
    case 2: return {bitmaps.bgr24, bitmaps.bgr24, nullptr, 24};
    case 3: return {bitmaps.bgr32, bitmaps.bgr24, Bgr32ToBgr24, 24};
    case 4: return {bitmaps.bgr48, bitmaps.bgr24, ReduceBgr16Shift4, 24};
    case 5: return {bitmaps.bgr64, bitmaps.bgr24, ReduceBgr16Shift4, 24};
    default: return {};
  }
}

// (Re)creates `bitmap` at the size and depth given, with the gray table at 8
// bits, unless it already has them.
bool EnsureFormat(FrameBitmap& bitmap, int32_t width, int32_t height, int bits) {
  if (bitmap.Width() == width && bitmap.Height() == height && bitmap.BitsPerPixel() == bits &&
      bitmap.Pixels() != nullptr) {
    return true;
  }
  bitmap.Release();
  if (bitmap.Create(width, height, bits) == 0) return false;
  if (bits == 8) bitmap.SetPalette(0, nullptr, 0, 256);
  return true;
}

// Brings the output image into the 8- or 24-bit bitmap that can be shown,
// never writing past a reduction target of another size or depth.
FrameBitmap* ReduceForDisplay(const DisplaySource& source) {
  if (source.output == nullptr || source.shown == nullptr || source.output->Pixels() == nullptr) {
    return nullptr;
  }
  if (source.reduction == nullptr) return source.shown;
  if (!EnsureFormat(*source.shown, source.output->Width(), source.output->Height(),
                    source.shownBits)) {
    return nullptr;
  }
  source.shown->ApplyKernel(source.reduction, *source.output, nullptr, 0, 0, nullptr, nullptr);
  return source.shown;
}

}  // namespace

void PreviewClientSize(int32_t captureWidth, int32_t captureHeight, int32_t subSampleMode,
                       int32_t* width, int32_t* height) {
  int32_t divisor = 1;
  if (subSampleMode == 1 || subSampleMode == 16) divisor = 2;
  if (subSampleMode == 2 || subSampleMode == 17) divisor = 4;
  *width = captureWidth / divisor;
  *height = captureHeight / divisor;
}

void CentreOnScreen(int32_t screenWidth, int32_t screenHeight, int32_t windowWidth,
                    int32_t windowHeight, int32_t* x, int32_t* y) {
  int64_t left = (int64_t{screenWidth} - windowWidth) / 2;
  int64_t top = (int64_t{screenHeight} - windowHeight) / 2;
  *x = left < 0 ? 0 : static_cast<int32_t>(left);
  *y = top < 0 ? 0 : static_cast<int32_t>(top);
}

// Held by the application's thread around its use of the window: the capture
// thread skips its frames meanwhile instead of taking the lock back first.
class PreviewWindow::ApplicationHold {
 public:
  explicit ApplicationHold(PreviewWindow& preview) : preview_(preview) {
    preview_.applicationWaiting_.fetch_add(1);
    preview_.mutex_.lock();
  }
  ~ApplicationHold() {
    preview_.mutex_.unlock();
    preview_.applicationWaiting_.fetch_sub(1);
  }
  ApplicationHold(const ApplicationHold&) = delete;
  ApplicationHold& operator=(const ApplicationHold&) = delete;

 private:
  PreviewWindow& preview_;
};

PreviewWindow::~PreviewWindow() { Destroy(); }

int PreviewWindow::Create(const void* owner, const PreviewPlacement& placement) {
  ApplicationHold hold(*this);
  DestroyLocked();

  char name[64];
  uint32_t unique = static_cast<uint32_t>(std::rand()) + platform::TimeGetTime();
  std::snprintf(name, sizeof(name), "VideoRenderer_%08x_%08x",
                static_cast<uint32_t>(reinterpret_cast<uintptr_t>(owner)), unique);
  if (!platform::RegisterDisplayClass(name)) return 0;
  className_ = name;

  platform::WindowCreation creation;
  creation.className = className_.c_str();
  if (placement.parent != nullptr) {
    creation.title = kChildPreviewTitle;
    creation.style = kChildPreviewStyle;
    creation.x = placement.left;
    creation.y = placement.top;
    creation.width = placement.right;
    creation.height = placement.bottom;
    creation.parent = placement.parent;
    creation.controlId = kPreviewControlId;
  } else {
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    PreviewClientSize(placement.captureWidth, placement.captureHeight, placement.subSampleMode,
                      &clientWidth, &clientHeight);
    platform::WindowRect outer{0, 0, clientWidth, clientHeight};
    if (!platform::AdjustWindowRectangle(&outer, kTopLevelPreviewStyle)) {
      DestroyLocked();
      return 0;
    }
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    platform::ScreenSize(&screenWidth, &screenHeight);
    creation.title = kTopLevelPreviewTitle;
    creation.style = kTopLevelPreviewStyle;
    creation.width = outer.right - outer.left;
    creation.height = outer.bottom - outer.top;
    CentreOnScreen(screenWidth, screenHeight, creation.width, creation.height, &creation.x,
                   &creation.y);
  }

  // A window that cannot be shown or drawn into is taken down at once rather
  // than left on the screen until the next close.
  window_ = platform::CreateDisplayWindow(creation);
  if (window_ == nullptr || !platform::ShowDisplayWindow(window_)) {
    DestroyLocked();
    return 0;
  }
  context_ = platform::GetWindowContext(window_);
  if (!context_) {
    DestroyLocked();
    return 0;
  }
  return 1;
}

bool PreviewWindow::ReadClientSize(int32_t* width, int32_t* height) {
  if (window_ == nullptr || !context_) return false;
  if (!platform::IsDisplayWindowVisible(window_)) return false;
  platform::WindowRect client;
  if (!platform::GetDisplayClientRect(window_, &client)) return false;
  *width = client.right - client.left;
  *height = client.bottom - client.top;
  return *width > 0 && *height > 0;
}

void PreviewWindow::DrawFrame(int colorMode, const DisplayBitmaps& bitmaps) {
  // Never waits: while the window is being made, sized or taken down, this
  // frame is not shown.
  if (applicationWaiting_.load() != 0) return;
  std::unique_lock lock(mutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  if (!ReadClientSize(&clientWidth, &clientHeight)) return;

  DisplaySource source = SourceForMode(colorMode, bitmaps);
  FrameBitmap* shown = ReduceForDisplay(source);
  if (shown == nullptr || !shown->HasSurface()) return;

  // Mode 1 always goes through the display bitmap, as it always has.
  if (clientWidth == shown->Width() && clientHeight == shown->Height() && colorMode != 1) {
    platform::CopyToWindow(*context_, *shown->Context(), platform::RowPlacement::kTurnedOver);
    return;
  }

  if (bitmaps.display == nullptr) return;
  FrameBitmap& display = *bitmaps.display;
  if (!EnsureFormat(display, clientWidth, clientHeight, source.shownBits)) return;
  ScalingKernel stretch = source.shownBits == 8 ? StretchGray8 : StretchBgr24;
  if (display.ApplyScaler(stretch, *shown, nullptr, nullptr, 0, nullptr) == 0) return;
  platform::CopyToWindow(*context_, *display.Context(), platform::RowPlacement::kAsStored);
}

void PreviewWindow::PrepareDisplay(int colorMode, FrameBitmap& display) {
  ApplicationHold hold(*this);
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  if (colorMode < 0 || colorMode > 5 || !ReadClientSize(&clientWidth, &clientHeight)) return;
  display.Release();
  display.Create(clientWidth, clientHeight, colorMode <= 1 ? 8 : 24);
  if (colorMode <= 1) display.SetPalette(0, nullptr, 0, 256);
}

void PreviewWindow::Destroy() {
  ApplicationHold hold(*this);
  DestroyLocked();
}

void PreviewWindow::DestroyLocked() {
  context_.reset();
  if (window_ != nullptr) platform::DestroyDisplayWindow(window_);
  window_ = nullptr;
  if (!className_.empty()) platform::UnregisterDisplayClass(className_.c_str());
  className_.clear();
}

platform::WindowHandle PreviewWindow::Handle() const {
  std::lock_guard lock(mutex_);
  return window_;
}

bool PreviewWindow::HasContext() const {
  std::lock_guard lock(mutex_);
  return context_ != nullptr;
}

std::string PreviewWindow::ClassName() const {
  std::lock_guard lock(mutex_);
  return className_;
}

}  // namespace zirvo
