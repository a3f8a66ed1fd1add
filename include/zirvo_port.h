/* Port functions of the SDK's platform layer for applications and in-process companions (Linux). */
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
   a window that does not exist or was destroyed while waiting. */
ZIRVO_PORT_API int ZirvoPort_GetMessage(HWND window, ZirvoPortMessage* message, int timeout_ms);
/* 1 when the window existed. Messages still queued are dropped; later posts
   to it fail quietly. */
ZIRVO_PORT_API int ZirvoPort_DestroyWindow(HWND window);

#ifdef __cplusplus
}
#endif

#endif /* ZIRVO_PORT_H */
