// Display windows on Win32: RegisterClassExA, CreateWindowExA, GetDC, and
// the copy of a DIB into a window DC.
#include "platform/window.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace zirvo::platform {

class WindowContext {
 public:
  WindowContext(HWND window, HDC dc) : window_(window), dc_(dc) {}
  ~WindowContext() { ::ReleaseDC(window_, dc_); }
  WindowContext(const WindowContext&) = delete;
  WindowContext& operator=(const WindowContext&) = delete;

  HWND Window() const { return window_; }
  HDC Dc() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

void WindowContextDeleter::operator()(WindowContext* context) const noexcept { delete context; }

namespace {

std::atomic<WindowSystem> windowSystem{WindowSystem::kDesktopWhenAvailable};

// A header for the surface's pixels that puts its rows where `placement`
// wants them: a positive height shows memory row 0 at the bottom.
void DescribeForDevice(const SurfaceView& view, RowPlacement placement, BITMAPINFO* info) {
  BITMAPINFOHEADER& header = info->bmiHeader;
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = view.width;
  bool bottomRowFirst = (placement == RowPlacement::kAsStored) != view.topDown;
  header.biHeight = bottomRowFirst ? view.height : -view.height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(view.bitsPerPixel);
  header.biCompression = BI_RGB;
  if (view.bitsPerPixel == 8) std::memcpy(info->bmiColors, view.colors, 256 * sizeof(RGBQUAD));
}

}  // namespace

bool RegisterDisplayClass(const char* className) {
  if (className == nullptr || *className == '\0') return false;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(WNDCLASSEXA);
  windowClass.style = 0;
  windowClass.lpfnWndProc = ::DefWindowProcA;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = className;
  return ::RegisterClassExA(&windowClass) != 0;
}

bool UnregisterDisplayClass(const char* className) {
  return className != nullptr && ::UnregisterClassA(className, ::GetModuleHandleA(nullptr)) != 0;
}

void ScreenSize(int32_t* width, int32_t* height) {
  *width = ::GetSystemMetrics(SM_CXSCREEN);
  *height = ::GetSystemMetrics(SM_CYSCREEN);
}

bool AdjustWindowRectangle(WindowRect* rect, uint32_t style) {
  if (rect == nullptr) return false;
  RECT adjusted{rect->left, rect->top, rect->right, rect->bottom};
  if (!::AdjustWindowRectEx(&adjusted, style, FALSE, 0)) return false;
  *rect = {adjusted.left, adjusted.top, adjusted.right, adjusted.bottom};
  return true;
}

WindowHandle CreateDisplayWindow(const WindowCreation& creation) {
  HMENU menu = creation.parent != nullptr
                   ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(creation.controlId))
                   : nullptr;
  return ::CreateWindowExA(0, creation.className, creation.title, creation.style, creation.x,
                           creation.y, creation.width, creation.height, creation.parent, menu,
                           ::GetModuleHandleA(nullptr), nullptr);
}

bool ShowDisplayWindow(WindowHandle window) {
  ::SetFocus(window);
  ::ShowWindow(window, SW_SHOW);
  return ::UpdateWindow(window) != FALSE;
}

bool HideDisplayWindow(WindowHandle window) {
  if (!::IsWindow(window)) return false;
  ::ShowWindow(window, SW_HIDE);
  return true;
}

bool DestroyDisplayWindow(WindowHandle window) { return ::DestroyWindow(window) != FALSE; }

bool IsDisplayWindowVisible(WindowHandle window) { return ::IsWindowVisible(window) != FALSE; }

bool GetDisplayClientRect(WindowHandle window, WindowRect* rect) {
  RECT client{};
  if (rect == nullptr || !::GetClientRect(window, &client)) return false;
  *rect = {client.left, client.top, client.right, client.bottom};
  return true;
}

bool GetDisplayWindowPosition(WindowHandle window, int32_t* x, int32_t* y) {
  RECT outer{};
  if (!::GetWindowRect(window, &outer)) return false;
  POINT corner{outer.left, outer.top};
  if ((::GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0) {
    ::ScreenToClient(::GetParent(window), &corner);
  }
  *x = corner.x;
  *y = corner.y;
  return true;
}

bool ResizeDisplayWindow(WindowHandle window, int32_t width, int32_t height) {
  RECT outer{};
  RECT client{};
  if (!::GetWindowRect(window, &outer) || !::GetClientRect(window, &client)) return false;
  int frameWidth = (outer.right - outer.left) - client.right;
  int frameHeight = (outer.bottom - outer.top) - client.bottom;
  return ::SetWindowPos(window, nullptr, 0, 0, width + frameWidth, height + frameHeight,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

int GetDisplayControlId(WindowHandle window) { return ::GetDlgCtrlID(window); }

WindowContextOwner GetWindowContext(WindowHandle window) {
  HDC dc = ::GetDC(window);
  if (dc == nullptr) return nullptr;
  return WindowContextOwner(new WindowContext(window, dc));
}

bool CopyToWindow(WindowContext& target, const DrawingContext& source, RowPlacement placement) {
  SurfaceView view{};
  if (!DescribeSelectedSurface(source, &view)) return false;
  if (view.bitsPerPixel != 8 && view.bitsPerPixel != 24 && view.bitsPerPixel != 32) return false;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  DescribeForDevice(view, placement, reinterpret_cast<BITMAPINFO*>(&info));
  int copied = ::StretchDIBits(target.Dc(), 0, 0, view.width, view.height, 0, 0, view.width,
                               view.height, view.pixels, reinterpret_cast<BITMAPINFO*>(&info),
                               DIB_RGB_COLORS, SRCCOPY);
  ::GdiFlush();
  return copied > 0;  // scan lines copied; 0 or GDI_ERROR on failure
}

bool ReadDisplayWindowPixels(WindowHandle window, std::vector<uint32_t>* pixels, int32_t* width,
                             int32_t* height) {
  RECT client{};
  if (pixels == nullptr || !::GetClientRect(window, &client)) return false;
  const int w = client.right;
  const int h = client.bottom;
  HDC windowDc = ::GetDC(window);
  if (windowDc == nullptr) return false;
  HDC memoryDc = ::CreateCompatibleDC(windowDc);
  HBITMAP copy = ::CreateCompatibleBitmap(windowDc, w > 0 ? w : 1, h > 0 ? h : 1);
  bool read = false;
  if (memoryDc != nullptr && copy != nullptr) {
    HGDIOBJ previous = ::SelectObject(memoryDc, copy);
    ::BitBlt(memoryDc, 0, 0, w, h, windowDc, 0, 0, SRCCOPY);
    ::SelectObject(memoryDc, previous);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    pixels->assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    read = h == 0 || ::GetDIBits(memoryDc, copy, 0, static_cast<UINT>(h), pixels->data(), &info,
                                 DIB_RGB_COLORS) == h;
    for (uint32_t& pixel : *pixels) pixel &= 0x00FFFFFFu;
    *width = w;
    *height = h;
  }
  if (copy != nullptr) ::DeleteObject(copy);
  if (memoryDc != nullptr) ::DeleteDC(memoryDc);
  ::ReleaseDC(window, windowDc);
  return read;
}

// Windows always has its desktop; the choice matters on Linux only.
void SetWindowSystem(WindowSystem system) { windowSystem.store(system); }
WindowSystem CurrentWindowSystem() { return windowSystem.load(); }

WindowHandle WrapX11Window(unsigned long) { return nullptr; }
bool ReleaseWrappedX11Window(WindowHandle) { return false; }
unsigned long X11WindowOf(WindowHandle) { return 0; }

}  // namespace zirvo::platform
