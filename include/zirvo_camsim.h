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

/* The firmware answers at three byte offsets of its disk:
   - 0x20000, the reply sector: "KELVOR USB 3.0 Camera V1.0" at 0, model bytes
     0x70 0x05 at 26 and 27, the frame-ready flag at 256, the reply of a
     byte-wide register read at 257 and of a 16-bit read at 258-259 (low byte
     first). While no frame is ready a read of it takes one millisecond (a bus
     round trip), so that polling for the flag spends time as on the wire.
   - 0x20200, the command sector: byte 0 is the opcode. 0x10 requests a frame
     (the first one starts the sensor). 0x20 writes a register: byte 1 = 0 is
     phase 0 with the address in bytes 2-3, byte 1 = 1 is phase 1 with the
     value in bytes 2-3; any other byte 1 is the byte-wide form (address in
     bytes 1-2, value in byte 3; even addresses are the high byte of the
     16-bit register there, odd ones the low byte of the one before), which
     therefore cannot reach addresses below 0x0200. 0x21 reads a register:
     byte 257 answers the byte-wide address in bytes 1-2 and, when byte 1 is 0,
     bytes 258-259 the 16-bit register in bytes 2-3. Other opcodes are ignored.
   - 0x20400, the frame area: one read returns the current frame (output size
     0x034C x 0x034E, one byte per sample, rows packed, in the order sent) and
     zeros after it.
   Reads elsewhere return zeros; writes elsewhere are accepted and dropped.
   Register 0x0000 (the chip identifier) ignores writes.

   The picture: a test chart seen through an RGGB colour-filter array fixed on
   the pixel array (even rows red, green; odd rows green, blue, counted from
   array column 0, which is 24 columns left of the first active one), read
   from column 0x0344 and row 0x0346. Read mode 0x3040: bits 0-5 and 6-11 are
   the column and row odd increments (1 full, 3 every second pair, 7 every
   fourth pair), bit 15 reverses the row order, bit 14 the column order.
   Brightness is proportional to exposure 0x0202, the global gain 0x305E and
   the channel gain of each site (0x3056 green 1, 0x3058 blue, 0x305A red,
   0x305C green 2), taking bits 0-6 of each gain; at exposure 600 and gains of
   100 the chart's white gives 220 and its gray background 127.

   Paced frames come every (0x0342 / 2) x max(0x0340, 0x0202 + 1) / 96 MHz,
   on the SDK's clock (ZirvoPort_TimeGetTime), from the first exchange that
   needs a frame; a frame-area read waits for the next one. */

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
   answer a value other than the register's. Unplug after: the next
   `exchanges` exchanges are answered, every later one fails as after an
   unplug (the enumeration entry stays). */
ZIRVO_CAMSIM_API void ZirvoSim_Unplug(ZirvoSimCamera* camera);
ZIRVO_CAMSIM_API void ZirvoSim_UnplugAfter(ZirvoSimCamera* camera, unsigned exchanges);
ZIRVO_CAMSIM_API void ZirvoSim_SetStall(ZirvoSimCamera* camera, int stalled);
/* Frame reads held by the stall at this moment. */
ZIRVO_CAMSIM_API unsigned ZirvoSim_StalledReads(ZirvoSimCamera* camera);
ZIRVO_CAMSIM_API void ZirvoSim_SetSlowFrames(ZirvoSimCamera* camera, unsigned count, unsigned milliseconds);
ZIRVO_CAMSIM_API void ZirvoSim_SetReadbackMismatch(ZirvoSimCamera* camera, int address, unsigned count);

#ifdef __cplusplus
}
#endif

#endif /* ZIRVO_CAMSIM_H */
