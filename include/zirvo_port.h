/* Port functions of the SDK's platform layer for in-process companions such as the camera simulator (Linux). */
#ifndef ZIRVO_PORT_H
#define ZIRVO_PORT_H

#include <stdint.h>

#include "ZirvoSdk_USB3_7730QX.h"

#if defined(__GNUC__)
#define ZIRVO_PORT_API __attribute__((visibility("default")))
#else
#define ZIRVO_PORT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Disks ------------------------------------------------------------ */

/* A disk served in this process. Calls come from any thread, concurrently;
   each returns 1 on success and 0 on failure. Offsets are byte offsets. */
typedef struct ZirvoPortDiskOps {
  unsigned size; /* sizeof(ZirvoPortDiskOps) */
  int (*read)(void* context, uint32_t offset, void* buffer, uint32_t bytes);
  int (*write)(void* context, uint32_t offset, const void* buffer, uint32_t bytes);
} ZirvoPortDiskOps;

/* Makes `ops` answer as drive `drive` ahead of any host disk of that number.
   1 on success; 0 when the number is negative or already taken. */
ZIRVO_PORT_API int ZirvoPort_AttachDisk(int drive, const ZirvoPortDiskOps* ops, void* context);
/* Handles open on the drive fail from now on; returns once no call is inside
   `ops` any more, so the context may be freed afterwards. */
ZIRVO_PORT_API void ZirvoPort_DetachDisk(int drive);
/* 1: drive numbers resolve to attached disks only. */
ZIRVO_PORT_API void ZirvoPort_HideHostDisks(int hide);

/* ---- Disk enumeration ----------------------------------------------- */

/* Instance texts listed after the host's own disks. */
ZIRVO_PORT_API void ZirvoPort_AddEnumText(const char* text);
ZIRVO_PORT_API void ZirvoPort_RemoveEnumText(const char* text);
ZIRVO_PORT_API void ZirvoPort_ResetEnumTexts(void);

/* ---- Time -------------------------------------------------------------- */

/* The SDK's clock (replaceable in tests): wrapping milliseconds, and a sleep
   on that clock. */
ZIRVO_PORT_API uint32_t ZirvoPort_TimeGetTime(void);
ZIRVO_PORT_API void ZirvoPort_Sleep(uint32_t milliseconds);

/* ---- Message windows ------------------------------------------------- */

/* What Zirvo_Initialize and the frame functions post to (WM_CAMERA_ERROR,
   WM_CAMERA_FRAME). Posting never blocks the poster and never drops a
   message: the queue grows until the application reads it. */
typedef struct ZirvoPortMessage {
  HWND hwnd;
  unsigned message;
  uintptr_t wParam;
  intptr_t lParam;
} ZirvoPortMessage;

/* A window that only receives posted messages; null when it cannot be made. */
ZIRVO_PORT_API HWND ZirvoPort_CreateMessageWindow(void);
/* Takes the oldest message posted to `window`: 1 when one came, 0 when
   `timeout_ms` passed first (a negative time-out waits without limit), -1 for
   a null `message` or a window that does not exist or was destroyed while
   waiting. */
ZIRVO_PORT_API int ZirvoPort_GetMessage(HWND window, ZirvoPortMessage* message, int timeout_ms);
/* 1 when the window existed. Messages still queued are dropped; later posts
   to it fail quietly. Also releases a handle of ZirvoPort_WrapX11Window. */
ZIRVO_PORT_API int ZirvoPort_DestroyWindow(HWND window);

/* ---- Preview windows ------------------------------------------------- */

/* The application's own X11 window (its id on the display named in DISPLAY)
   as a handle that Zirvo_SetPreviewWindow accepts as the preview's parent, so
   that the preview appears inside a GTK or Qt window. The same id always gives
   the same handle until ZirvoPort_DestroyWindow releases it (which leaves the
   X11 window itself alone). Null for id 0 and where X11 is not used. */
ZIRVO_PORT_API HWND ZirvoPort_WrapX11Window(unsigned long xid);
/* The X11 id behind a wrapped handle or behind a preview window shown on an
   X11 display; 0 for any other handle. */
ZIRVO_PORT_API unsigned long ZirvoPort_X11WindowOf(HWND window);
/* What a preview window shows now: its client area as 32-bit pixels (blue in
   the low byte, then green, red, 0), rows from the top. Writes the size to
   `width` and `height` and returns 1 when `capacity` (in pixels) is enough;
   returns 0 for a window that does not exist and, with the size written,
   when the buffer is too small. Without a display, preview windows are
   off-screen pictures that only this function shows. */
ZIRVO_PORT_API int ZirvoPort_ReadWindowPixels(HWND window, uint32_t* pixels, int capacity,
                                              int* width, int* height);
/* 1: preview windows are off-screen pictures even where a display is open
   (headless services, tests); 0: the display's windows when DISPLAY names one
   (the default). */
ZIRVO_PORT_API void ZirvoPort_UseOffscreenWindows(int offscreen);

#ifdef __cplusplus
}
#endif

#endif /* ZIRVO_PORT_H */
