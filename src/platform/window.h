// Windows that show pictures: window classes, child and top-level windows,
// their drawing contexts, and the copy of a bitmap into a window.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/message_window.h"
#include "platform/surface.h"

namespace zirvo::platform {

struct WindowRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// What CreateWindowExA receives. A null parent makes a top-level window.
struct WindowCreation {
  const char* className = nullptr;
  const char* title = nullptr;
  uint32_t style = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  WindowHandle parent = nullptr;
  int controlId = 0;  // children only
};

// RegisterClassExA with the default window procedure, an arrow cursor and a
// black background; UnregisterClassA. False on refusal (a name already taken).
bool RegisterDisplayClass(const char* className);
bool UnregisterDisplayClass(const char* className);

// Screen size in pixels (GetSystemMetrics); 0 x 0 without a screen.
void ScreenSize(int32_t* width, int32_t* height);
// AdjustWindowRectEx without a menu: the outer rectangle of a top-level
// window of that style whose client area is `rect`.
bool AdjustWindowRectangle(WindowRect* rect, uint32_t style);

// CreateWindowExA with a registered class. Where no desktop is open the
// window is an off-screen picture of its client area; a child of a window
// that is not on a desktop is off-screen too. Null on failure.
WindowHandle CreateDisplayWindow(const WindowCreation& creation);
// SetFocus, ShowWindow(SW_SHOW) and UpdateWindow; the result of UpdateWindow.
bool ShowDisplayWindow(WindowHandle window);
bool HideDisplayWindow(WindowHandle window);
bool DestroyDisplayWindow(WindowHandle window);

bool IsDisplayWindowVisible(WindowHandle window);
// Client area as (0, 0, width, height); false for a window that does not exist.
bool GetDisplayClientRect(WindowHandle window, WindowRect* rect);
// Outer position relative to the parent (the screen for a top-level window).
bool GetDisplayWindowPosition(WindowHandle window, int32_t* x, int32_t* y);
// Changes the client size as a user or the parent's owner would.
bool ResizeDisplayWindow(WindowHandle window, int32_t width, int32_t height);
// The control identifier of a child window; 0 for others.
int GetDisplayControlId(WindowHandle window);

// GetDC: the window's drawing context, released (ReleaseDC) with the owner.
class WindowContext;
struct WindowContextDeleter {
  void operator()(WindowContext* context) const noexcept;
};
using WindowContextOwner = std::unique_ptr<WindowContext, WindowContextDeleter>;
WindowContextOwner GetWindowContext(WindowHandle window);

// How the rows of a bottom-up surface land in the window.
enum class RowPlacement {
  kAsStored,     // BitBlt: the surface as Windows shows it, memory row 0 at the bottom
  kTurnedOver,   // StretchBlt with a negative source height: memory row 0 at the top
};

// Copies the whole surface selected into `source` (8 bits through its colour
// table, 24 or 32 bits) to the window's client origin, clipped to the client
// area. False without a surface, for another depth, or when the window is gone.
bool CopyToWindow(WindowContext& target, const DrawingContext& source, RowPlacement placement);

// What the window shows now: its client area as 32-bit pixels, blue, green,
// red, 0, rows from the top. False for a window that does not exist.
bool ReadDisplayWindowPixels(WindowHandle window, std::vector<uint32_t>* pixels, int32_t* width,
                      int32_t* height);

// Which windows CreateDisplayWindow makes: the desktop's when one can be opened
// (the default), or off-screen ones always. Tests and headless programs.
enum class WindowSystem { kDesktopWhenAvailable, kOffscreen };
void SetWindowSystem(WindowSystem system);
WindowSystem CurrentWindowSystem();

// An X11 window of the application (by its id on the display named in
// DISPLAY) as a handle that can parent a preview window. The same id always
// gives the same handle. Null where X11 is not used.
WindowHandle WrapX11Window(unsigned long xid);
// Forgets the handle of a wrapped id (the X11 window itself stays the
// application's); true when `window` was one. A preview window inside it is
// left as it is.
bool ReleaseWrappedX11Window(WindowHandle window);
// The X11 id behind a wrapped handle or a window shown on an X11 display; 0
// for other handles.
unsigned long X11WindowOf(WindowHandle window);

}  // namespace zirvo::platform
