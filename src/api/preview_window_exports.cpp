// The exported preview-window helpers of zirvo_port.h.
#include "zirvo_port.h"

#include <algorithm>
#include <vector>

#include "platform/window.h"

extern "C" {

ZIRVO_PORT_API HWND ZirvoPort_WrapX11Window(unsigned long xid) {
  try {
    return zirvo::platform::WrapX11Window(xid);
  } catch (...) {
    return nullptr;
  }
}

ZIRVO_PORT_API unsigned long ZirvoPort_X11WindowOf(HWND window) {
  return zirvo::platform::X11WindowOf(window);
}

ZIRVO_PORT_API int ZirvoPort_ReadWindowPixels(HWND window, uint32_t* pixels, int capacity,
                                              int* width, int* height) {
  try {
    std::vector<uint32_t> read;
    int32_t readWidth = 0;
    int32_t readHeight = 0;
    if (!zirvo::platform::ReadDisplayWindowPixels(window, &read, &readWidth, &readHeight)) return 0;
    if (width != nullptr) *width = readWidth;
    if (height != nullptr) *height = readHeight;
    if (pixels == nullptr || capacity < 0 || read.size() > static_cast<size_t>(capacity)) return 0;
    std::copy(read.begin(), read.end(), pixels);
    return 1;
  } catch (...) {
    return 0;
  }
}

ZIRVO_PORT_API void ZirvoPort_UseOffscreenWindows(int offscreen) {
  zirvo::platform::SetWindowSystem(offscreen != 0 ? zirvo::platform::WindowSystem::kOffscreen
                                                  : zirvo::platform::WindowSystem::kDesktopWhenAvailable);
}

}  // extern "C"
