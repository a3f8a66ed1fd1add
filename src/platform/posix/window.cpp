// Display windows on Linux: window classes and handles, off-screen windows
// where no desktop is open, X11 windows where one is.
#include "platform/window.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/never_destroyed.h"
#include "platform/posix/display_window.h"
#include "platform/posix/x11_window.h"
#include "platform/streaming_copy.h"

namespace zirvo::platform {

namespace {

constexpr uint32_t kVisibleStyle = 0x10000000;  // WS_VISIBLE

// A window with no desktop behind it: its client area is a picture in
// memory, black until something is drawn, as the class background is. The
// last frame is kept in its own format, rows from the top, and turned into
// 32-bit pixels only when someone looks: drawing costs one copy.
class OffscreenWindow final : public DisplayWindow {
 public:
  OffscreenWindow(int32_t x, int32_t y, int32_t width, int32_t height)
      : x_(x), y_(y), width_(std::max(0, width)), height_(std::max(0, height)) {}

  bool Show(bool shown) override {
    std::lock_guard lock(mutex_);
    shown_ = shown;
    return !closed_;
  }
  bool Visible() override {
    std::lock_guard lock(mutex_);
    return shown_ && !closed_;
  }
  void Close() override {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  bool ClientSize(int32_t* width, int32_t* height) override {
    std::lock_guard lock(mutex_);
    *width = width_;
    *height = height_;
    return true;
  }
  bool Position(int32_t* x, int32_t* y) override {
    std::lock_guard lock(mutex_);
    *x = x_;
    *y = y_;
    return true;
  }
  bool Resize(int32_t width, int32_t height) override {
    if (width < 0 || height < 0) return false;
    std::lock_guard lock(mutex_);
    width_ = width;
    height_ = height;
    pixels_.clear();
    pending_.width = pending_.height = 0;
    return true;
  }
  bool Present(const SurfaceView& source, RowPlacement placement) override {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    int32_t width = std::min(width_, source.width);
    int32_t height = std::min(height_, source.height);
    // A smaller frame leaves the rest of the earlier one showing.
    if (width < pending_.width || height < pending_.height) Flatten();
    size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(source.bitsPerPixel / 8);
    pending_.bits = source.bitsPerPixel;
    pending_.width = width;
    pending_.height = height;
    pending_.rowBytes = rowBytes;
    pending_.rows.resize(rowBytes * static_cast<size_t>(height));
    if (source.bitsPerPixel == 8) std::copy(source.colors, source.colors + 256, pending_.colors);
    // Stores that bypass the cache: the picture is looked at rarely, and a
    // whole frame drawn through the cache would take memory bandwidth from
    // the capture thread's copy of the same frame.
    for (int32_t row = 0; row < height; ++row) {
      CopyStreaming(pending_.rows.data() + rowBytes * static_cast<size_t>(row),
                    PictureRow(source, placement, row), rowBytes);
    }
    return true;
  }
  bool Read(std::vector<uint32_t>* pixels, int32_t* width, int32_t* height) override {
    std::lock_guard lock(mutex_);
    Flatten();
    *pixels = pixels_;
    *width = width_;
    *height = height_;
    return true;
  }

 private:
  static size_t Area(int32_t width, int32_t height) {
    return static_cast<size_t>(width) * static_cast<size_t>(height);
  }

  void Flatten() {
    if (pixels_.empty()) pixels_.assign(Area(width_, height_), 0);
    for (int32_t row = 0; row < pending_.height; ++row) {
      RowToBgrx(pending_.bits, pending_.colors,
                pending_.rows.data() + pending_.rowBytes * static_cast<size_t>(row), pending_.width,
                pixels_.data() + static_cast<size_t>(row) * static_cast<size_t>(width_));
    }
    pending_.width = pending_.height = 0;
  }

  // The last frame drawn, not yet in `pixels_`.
  struct Frame {
    int bits = 0;
    int32_t width = 0;
    int32_t height = 0;
    size_t rowBytes = 0;
    std::vector<uint8_t> rows;
    ColorEntry colors[256] = {};
  };

  std::mutex mutex_;  // the application's thread and the capture thread
  int32_t x_;
  int32_t y_;
  int32_t width_;
  int32_t height_;
  bool shown_ = false;
  bool closed_ = false;
  std::vector<uint32_t> pixels_;  // rows from the top; made at the first look
  Frame pending_;
};

// What a handle names: a window of ours, or an application's X11 window.
struct WindowRecord {
  std::shared_ptr<DisplayWindow> window;
  unsigned long wrappedXid = 0;
  int controlId = 0;
};

class WindowTable {
 public:
  bool RegisterClass(const char* name) {
    std::lock_guard lock(mutex_);
    return classes_.insert(name).second;
  }
  bool UnregisterClass(const char* name) {
    std::lock_guard lock(mutex_);
    return classes_.erase(name) != 0;
  }
  bool HasClass(const char* name) {
    std::lock_guard lock(mutex_);
    return classes_.count(name) != 0;
  }

  WindowHandle Add(WindowRecord record) {
    std::lock_guard lock(mutex_);
    return AddLocked(std::move(record));
  }
  WindowHandle Wrap(unsigned long xid) {
    std::lock_guard lock(mutex_);
    auto found = wrapped_.find(xid);
    if (found != wrapped_.end()) return found->second;
    WindowRecord record;
    record.wrappedXid = xid;
    WindowHandle handle = AddLocked(std::move(record));
    wrapped_.emplace(xid, handle);
    return handle;
  }
  // Forgets a wrapped id; windows of ours are destroyed, not unwrapped.
  bool Unwrap(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(reinterpret_cast<uintptr_t>(handle));
    if (found == windows_.end() || found->second.window || found->second.wrappedXid == 0) return false;
    wrapped_.erase(found->second.wrappedXid);
    windows_.erase(found);
    return true;
  }
  bool Find(WindowHandle handle, WindowRecord* record) {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(reinterpret_cast<uintptr_t>(handle));
    if (found == windows_.end()) return false;
    *record = found->second;
    return true;
  }
  std::shared_ptr<DisplayWindow> Remove(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(reinterpret_cast<uintptr_t>(handle));
    if (found == windows_.end() || !found->second.window) return nullptr;
    std::shared_ptr<DisplayWindow> removed = std::move(found->second.window);
    windows_.erase(found);
    return removed;
  }

  std::atomic<WindowSystem> system{WindowSystem::kDesktopWhenAvailable};

 private:
  // Odd numbers: message-window handles are even, so the two never meet.
  WindowHandle AddLocked(WindowRecord record) {
    nextHandle_ += 2;
    windows_.emplace(nextHandle_, std::move(record));
    return reinterpret_cast<WindowHandle>(nextHandle_);
  }

  std::mutex mutex_;  // every thread that creates, finds or destroys a window
  uintptr_t nextHandle_ = 0x40001;
  std::map<uintptr_t, WindowRecord> windows_;
  std::map<unsigned long, WindowHandle> wrapped_;
  std::set<std::string> classes_;
};

// Never destroyed: a capture thread may still draw at process exit.
WindowTable& Windows() {
  static NeverDestroyed<WindowTable> table;
  return table.get();
}

bool DesktopWanted() {
  if (Windows().system.load() == WindowSystem::kOffscreen) return false;
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}

std::shared_ptr<DisplayWindow> FindWindow(WindowHandle handle) {
  WindowRecord record;
  if (!Windows().Find(handle, &record)) return nullptr;
  return record.window;
}

// The parent's X11 id; 0 for a parent that is not on a desktop. False for a
// handle that names no window at all.
bool ParentOnDesktop(WindowHandle parent, unsigned long* xid) {
  *xid = 0;
  WindowRecord record;
  if (Windows().Find(parent, &record)) {
    *xid = record.window ? record.window->Xid() : record.wrappedXid;
    return true;
  }
  return IsMessageWindow(parent);
}

}  // namespace

class WindowContext {
 public:
  explicit WindowContext(std::shared_ptr<DisplayWindow> window) : window_(std::move(window)) {}
  DisplayWindow& Window() { return *window_; }

 private:
  std::shared_ptr<DisplayWindow> window_;
};

void WindowContextDeleter::operator()(WindowContext* context) const noexcept { delete context; }

bool IsPresentable(const SurfaceView& source) {
  bool depth = source.bitsPerPixel == 8 || source.bitsPerPixel == 24 || source.bitsPerPixel == 32;
  return depth && source.pixels != nullptr && source.width > 0 && source.height > 0;
}

const uint8_t* PictureRow(const SurfaceView& source, RowPlacement placement, int32_t row) {
  // A bottom-up surface as stored shows its last memory row at the top.
  bool memoryOrder = (placement == RowPlacement::kTurnedOver) != source.topDown;
  int32_t memoryRow = memoryOrder ? row : source.height - 1 - row;
  return source.pixels + static_cast<size_t>(memoryRow) * static_cast<size_t>(source.stride);
}

void RowToBgrx(int bitsPerPixel, const ColorEntry* colors, const uint8_t* in, int32_t count,
               uint32_t* out) {
  switch (bitsPerPixel) {
    case 8: {
      uint32_t table[256];
      for (int i = 0; i < 256; ++i) {
        const ColorEntry& entry = colors[i];
        table[i] = entry.blue | (uint32_t{entry.green} << 8) | (uint32_t{entry.red} << 16);
      }
      for (int32_t i = 0; i < count; ++i) out[i] = table[in[i]];
      break;
    }
    case 24: {
      // Four bytes at a time but for the last pixel, which may end the row.
      int32_t i = 0;
      for (; i + 1 < count; ++i) {
        uint32_t pixel;
        std::memcpy(&pixel, in + 3 * i, 4);
        out[i] = pixel & 0xFFFFFFu;
      }
      if (i < count) {
        const uint8_t* pixel = in + 3 * i;
        out[i] = pixel[0] | (uint32_t{pixel[1]} << 8) | (uint32_t{pixel[2]} << 16);
      }
      break;
    }
    default:
      for (int32_t i = 0; i < count; ++i) {
        uint32_t pixel;
        std::memcpy(&pixel, in + 4 * i, 4);
        out[i] = pixel & 0xFFFFFFu;
      }
      break;
  }
}

bool RegisterDisplayClass(const char* className) {
  if (className == nullptr || *className == '\0') return false;
  return Windows().RegisterClass(className);
}

bool UnregisterDisplayClass(const char* className) {
  return className != nullptr && Windows().UnregisterClass(className);
}

void ScreenSize(int32_t* width, int32_t* height) {
  *width = 0;
  *height = 0;
  if (DesktopWanted() && !X11ScreenSize(width, height)) {
    *width = 0;
    *height = 0;
  }
}

// The window manager draws the frame outside the client area.
bool AdjustWindowRectangle(WindowRect* rect, uint32_t) { return rect != nullptr; }

WindowHandle CreateDisplayWindow(const WindowCreation& creation) {
  if (creation.className == nullptr || !Windows().HasClass(creation.className)) return nullptr;
  if (creation.width < 0 || creation.height < 0) return nullptr;
  unsigned long parentXid = 0;
  if (creation.parent != nullptr && !ParentOnDesktop(creation.parent, &parentXid)) return nullptr;

  std::shared_ptr<DisplayWindow> window;
  bool desktop = creation.parent != nullptr ? parentXid != 0 : DesktopWanted();
  if (Windows().system.load() == WindowSystem::kOffscreen) desktop = false;
  if (desktop) {
    window = CreateX11Window(creation, parentXid);
  } else {
    window = std::make_shared<OffscreenWindow>(creation.x, creation.y, creation.width,
                                               creation.height);
  }
  if (!window) return nullptr;
  if ((creation.style & kVisibleStyle) != 0) window->Show(true);

  WindowRecord record;
  record.window = std::move(window);
  record.controlId = creation.parent != nullptr ? creation.controlId : 0;
  return Windows().Add(std::move(record));
}

bool ShowDisplayWindow(WindowHandle window) {
  std::shared_ptr<DisplayWindow> found = FindWindow(window);
  return found && found->Show(true);
}

bool HideDisplayWindow(WindowHandle window) {
  std::shared_ptr<DisplayWindow> found = FindWindow(window);
  return found && found->Show(false);
}

bool DestroyDisplayWindow(WindowHandle window) {
  std::shared_ptr<DisplayWindow> removed = Windows().Remove(window);
  if (!removed) return false;
  removed->Close();
  return true;
}

bool IsDisplayWindowVisible(WindowHandle window) {
  std::shared_ptr<DisplayWindow> found = FindWindow(window);
  return found && found->Visible();
}

bool GetDisplayClientRect(WindowHandle window, WindowRect* rect) {
  std::shared_ptr<DisplayWindow> found = FindWindow(window);
  int32_t width = 0;
  int32_t height = 0;
  if (!found || rect == nullptr || !found->ClientSize(&width, &height)) return false;
  *rect = {0, 0, width, height};
  return true;
}

bool GetDisplayWindowPosition(WindowHandle window, int32_t* x, int32_t* y) {
  std::shared_ptr<DisplayWindow> found = FindWindow(window);
  return found && found->Position(x, y);
}

bool ResizeDisplayWindow(WindowHandle window, int32_t width, int32_t height) {
  std::shared_ptr<DisplayWindow> found = FindWindow(window);
  return found && found->Resize(width, height);
}

int GetDisplayControlId(WindowHandle window) {
  WindowRecord record;
  return Windows().Find(window, &record) ? record.controlId : 0;
}

WindowContextOwner GetWindowContext(WindowHandle window) {
  std::shared_ptr<DisplayWindow> found = FindWindow(window);
  if (!found) return nullptr;
  return WindowContextOwner(new WindowContext(std::move(found)));
}

bool CopyToWindow(WindowContext& target, const DrawingContext& source, RowPlacement placement) {
  SurfaceView view{};
  if (!DescribeSelectedSurface(source, &view) || !IsPresentable(view)) return false;
  return target.Window().Present(view, placement);
}

bool ReadDisplayWindowPixels(WindowHandle window, std::vector<uint32_t>* pixels, int32_t* width,
                             int32_t* height) {
  std::shared_ptr<DisplayWindow> found = FindWindow(window);
  return found && pixels != nullptr && found->Read(pixels, width, height);
}

void SetWindowSystem(WindowSystem system) { Windows().system.store(system); }

WindowSystem CurrentWindowSystem() { return Windows().system.load(); }

WindowHandle WrapX11Window(unsigned long xid) {
  return xid == 0 ? nullptr : Windows().Wrap(xid);
}

bool ReleaseWrappedX11Window(WindowHandle window) { return Windows().Unwrap(window); }

unsigned long X11WindowOf(WindowHandle window) {
  WindowRecord record;
  if (!Windows().Find(window, &record)) return 0;
  return record.window ? record.window->Xid() : record.wrappedXid;
}

}  // namespace zirvo::platform
