/* The camera simulator: a 7730QX's firmware answering the raw-disk exchange, for tests and demos. */
#ifndef ZIRVO_CAMSIM_H
#define ZIRVO_CAMSIM_H

#include <stdint.h>

#if defined(__GNUC__)
#define ZIRVO_CAMSIM_API __attribute__((visibility("default")))
#else
#define ZIRVO_CAMSIM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ZirvoSimCamera ZirvoSimCamera;

typedef struct ZirvoSimConfig {
  unsigned size;             /* sizeof(ZirvoSimConfig) */
  int chip_id;               /* register 0x0000; 0x2E00 */
  int paced;                 /* 1: frames at the sensor's frame time; 0: a frame is always ready */
  unsigned seed;             /* places the hot pixels; 1 */
  int animated;              /* 1: a bar moves one step per frame served; 0 */
  unsigned hot_pixels;       /* isolated stuck-bright pixels on the sensor; 16 */
  unsigned stall_timeout_ms; /* a frame read blocked by a stall fails after this long; 10000 */
  int register_enum;         /* 1: list the camera in the disk enumeration; 1 */
} ZirvoSimConfig;

/* One exchange on the wire, in the order the camera saw them. */
typedef struct ZirvoSimExchange {
  int write;                 /* 1 write, 0 read */
  uint32_t offset;           /* byte offset on the disk */
  uint32_t bytes;
  unsigned char command[4];  /* first four bytes of a command-sector write, else zero */
  int ok;                    /* 1 answered, 0 failed (unplugged, stalled, detached) */
  uint32_t time_ms;          /* SDK clock when the exchange arrived */
} ZirvoSimExchange;

ZIRVO_CAMSIM_API void ZirvoSim_DefaultConfig(ZirvoSimConfig* config);

/* Attaches a camera as disk `drive` and lists it in the disk enumeration as
   "USBSTOR\Disk&Ven_KELVOR&Prod_USB3.0_7730QX&Rev_1.00\SIM<drive>&0".
   Null when the drive number is negative or taken. A null config uses the
   defaults. */
ZIRVO_CAMSIM_API ZirvoSimCamera* ZirvoSim_Attach(int drive, const ZirvoSimConfig* config);
/* Blocked frame reads fail, the disk and its enumeration text go away, the
   camera is freed. Null is ignored. */
ZIRVO_CAMSIM_API void ZirvoSim_Detach(ZirvoSimCamera* camera);

/* Enumeration texts without a disk behind them, and the host's disks. */
ZIRVO_CAMSIM_API void ZirvoSim_AddEnumEntry(const char* text);
ZIRVO_CAMSIM_API void ZirvoSim_ResetEnum(void);
ZIRVO_CAMSIM_API void ZirvoSim_HideHostDisks(int hide);

/* Value last written to a sensor register over the wire; -1 when none since
   attach. */
ZIRVO_CAMSIM_API int ZirvoSim_GetRegister(ZirvoSimCamera* camera, int address);
/* The register as the sensor holds it now, power-on values included; -1 for
   an address outside 0..0xFFFF. */
ZIRVO_CAMSIM_API int ZirvoSim_PeekRegister(ZirvoSimCamera* camera, int address);

ZIRVO_CAMSIM_API unsigned ZirvoSim_FramesServed(ZirvoSimCamera* camera);
/* Copies the frame last served (up to `size` bytes); returns the bytes copied. */
ZIRVO_CAMSIM_API unsigned ZirvoSim_CopyLastFrame(ZirvoSimCamera* camera, void* buffer, unsigned size);
/* Output size of the frame the sensor sends for the registers as they are. */
ZIRVO_CAMSIM_API void ZirvoSim_GetFrameSize(ZirvoSimCamera* camera, unsigned* width, unsigned* height);
/* Paced frame time for the registers as they are, in microseconds. */
ZIRVO_CAMSIM_API unsigned ZirvoSim_FrameTimeUs(ZirvoSimCamera* camera);

/* Exchange log, oldest first (the newest 65536 are kept). Copies up to `max`
   entries and returns how many the log holds. */
ZIRVO_CAMSIM_API unsigned ZirvoSim_GetLog(ZirvoSimCamera* camera, ZirvoSimExchange* entries, unsigned max);
ZIRVO_CAMSIM_API void ZirvoSim_ClearLog(ZirvoSimCamera* camera);

/* Faults. Unplug: every exchange fails from now on and the camera leaves the
   enumeration. Stall: no frame becomes ready; frame reads block until the
   stall ends (then go on) or stall_timeout_ms passes (then fail). Slow frames:
   each of the next `count` frame reads takes at least `milliseconds`.
   Read-back mismatch: the next `count` 16-bit reads of `address` (-1: any)
   answer a value other than the register's. */
ZIRVO_CAMSIM_API void ZirvoSim_Unplug(ZirvoSimCamera* camera);
ZIRVO_CAMSIM_API void ZirvoSim_SetStall(ZirvoSimCamera* camera, int stalled);
ZIRVO_CAMSIM_API void ZirvoSim_SetSlowFrames(ZirvoSimCamera* camera, unsigned count, unsigned milliseconds);
ZIRVO_CAMSIM_API void ZirvoSim_SetReadbackMismatch(ZirvoSimCamera* camera, int address, unsigned count);

#ifdef __cplusplus
}
#endif

#endif /* ZIRVO_CAMSIM_H */
