// The exported message-window helpers of zirvo_port.h.
#include "zirvo_port.h"

#include "platform/message_window.h"
#include "platform/window.h"

extern "C" {

ZIRVO_PORT_API HWND ZirvoPort_CreateMessageWindow(void) {
  try {
    return zirvo::platform::CreateMessageWindow();
  } catch (...) {
    return nullptr;
  }
}

ZIRVO_PORT_API int ZirvoPort_GetMessage(HWND window, ZirvoPortMessage* message, int timeout_ms) {
  if (!message) return -1;
  try {
    zirvo::platform::WindowMessage taken{};
    int result = zirvo::platform::GetWindowMessage(window, taken, timeout_ms);
    if (result == 1) *message = ZirvoPortMessage{taken.window, taken.message, taken.wParam, taken.lParam};
    return result;
  } catch (...) {
    return -1;
  }
}

ZIRVO_PORT_API int ZirvoPort_DestroyWindow(HWND window) {
  try {
    using namespace zirvo::platform;
    return DestroyMessageWindow(window) || ReleaseWrappedX11Window(window) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
