/* Port functions of the SDK's platform layer for in-process companions such as the camera simulator (Linux). */
#ifndef ZIRVO_PORT_H
#define ZIRVO_PORT_H

#include <stdint.h>

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

#ifdef __cplusplus
}
#endif

#endif /* ZIRVO_PORT_H */
