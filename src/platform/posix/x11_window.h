// Preview windows on an X11 display, with the client libraries loaded at run
// time so that the SDK needs none of them where no window is ever shown.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/posix/display_window.h"
#include "platform/window.h"

namespace zirvo::platform {

// True when libX11 could be loaded (tried once, on the first call).
bool X11Available();

// The size of the default screen of the display named in DISPLAY; false when
// it cannot be opened.
bool X11ScreenSize(int32_t* width, int32_t* height);

// Frames travel through MIT-SHM where the server offers it (the default);
// false sends them through the socket, as for a remote server. Tests.
void AllowX11SharedMemory(bool allowed);

// A window on its own connection to the display named in DISPLAY: a child of
// the X11 window `parentXid`, or top-level with its title and position when
// `parentXid` is 0. Null when the library, the display, the parent or a
// 32-bit true-colour visual is missing.
std::unique_ptr<DisplayWindow> CreateX11Window(const WindowCreation& creation,
                                               unsigned long parentXid);

}  // namespace zirvo::platform
