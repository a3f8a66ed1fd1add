/* Public C interface of the Zirvo 7730QX USB 3.0 camera library. */
#ifndef ZIRVOSDK_USB3_7730QX_H
#define ZIRVOSDK_USB3_7730QX_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if !defined(_WINDEF_) && !defined(ZIRVO_HWND_DEFINED)
#define ZIRVO_HWND_DEFINED
/* The window handle type of <windows.h>, declared alike so either may come first. */
typedef struct HWND__* HWND;
#endif
#if defined(ZIRVO_BUILDING_SDK)
#define ZIRVO_API __declspec(dllexport)
#else
#define ZIRVO_API __declspec(dllimport)
#endif
#define ZIRVO_CALL __cdecl
#else
#ifndef ZIRVO_HWND_DEFINED
#define ZIRVO_HWND_DEFINED
/* A window handle: from ZirvoPort_CreateMessageWindow (zirvo_port.h). Opaque. */
typedef struct HWND__* HWND;
#endif
#if defined(__GNUC__)
#define ZIRVO_API __attribute__((visibility("default")))
#else
#define ZIRVO_API
#endif
#define ZIRVO_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Version reported by Zirvo_GetDllVersion. */
#define ZIRVO_DLL_VERSION 0x01310519

/* Window messages posted to the application. */
#define WM_CAMERA_FRAME 0x8002 /* wParam: FrameInfo*, or 0 and lParam 5, 8 or 13 on failure */
#define WM_CAMERA_ERROR 0x8003 /* wParam 0, lParam: the error code recorded */

/* Error codes read with Zirvo_GetLastError (0 when none is stored). */
#define ZIRVO_ERROR_NO_DEVICE 1        /* no device, or not allowed in the current mode */
#define ZIRVO_ERROR_DEVICE_NUMBER 2    /* device number not valid, or the camera cannot be opened */
#define ZIRVO_ERROR_THREAD 3           /* a worker thread or its event could not be created */
#define ZIRVO_ERROR_WINDOW 4           /* preview window not created, or no matching size preset */
#define ZIRVO_ERROR_MEMORY 5           /* a bitmap is missing, or a buffer or record is too small */
#define ZIRVO_ERROR_COMMAND 6          /* a device command failed */
#define ZIRVO_ERROR_CAPTURE_WINDOW 7   /* the capture window is out of range */
#define ZIRVO_ERROR_TRANSFER 8         /* a frame transfer failed, or preview could not start */
#define ZIRVO_ERROR_ARGUMENT 9         /* an argument is out of range */
#define ZIRVO_ERROR_NOT_SUPPORTED 11   /* the function is not supported */
#define ZIRVO_ERROR_SETTINGS 12        /* settings unreadable, or a recording could not start */
#define ZIRVO_ERROR_STOPPED 13         /* the camera stopped delivering while streaming */

/* Still image formats. */
typedef enum SaveFormat {
  SAVE_FORMAT_BMP = 0,
  SAVE_FORMAT_RAW = 1,
  SAVE_FORMAT_JPEG_100 = 2,
  SAVE_FORMAT_JPEG_70 = 3,
  SAVE_FORMAT_JPEG_20 = 4,
  SAVE_FORMAT_PNG = 5,
  SAVE_FORMAT_TIFF = 6
} SaveFormat;

/* What each WM_CAMERA_FRAME points to; overwritten by the next frame. */
typedef struct FrameInfo {
  int32_t recordSize;       /* sizeof(FrameInfo) */
  int32_t width;
  int32_t height;
  int32_t bitsPerPixel;
  int32_t frameRateTimes10; /* frames per second x 10 */
  void* buffer;             /* the caller buffer the frame was copied into */
} FrameInfo;

/* Filled by Zirvo_GetCameraInfo; the caller sets recordSize (at least 36). */
typedef struct CameraInfo {
  int32_t recordSize;
  int32_t maxWidth;
  int32_t maxHeight;
  int32_t gainMin;
  int32_t gainMax;
  int32_t colorGainMin;
  int32_t colorGainMax;
  int32_t exposureMin;
  int32_t exposureMax;
} CameraInfo;

/* Entries of the tables filled by Zirvo_EnumDevice(W), in characters. */
#define ZIRVO_DEVICE_NAME_ENTRY 256

/* Filter ids of Zirvo_SetFilterValue and Zirvo_GetFilterValue, with the
   values each accepts. Each has a named pair of exports below. */
typedef enum ZirvoFilterId {
  ZIRVO_FILTER_BRIGHTNESS = 1,       /* -255 to 255 */
  ZIRVO_FILTER_CONTRAST = 2,         /* -127 to 127 */
  ZIRVO_FILTER_HUE = 3,              /* -360 to 360 */
  ZIRVO_FILTER_SATURATION = 4,       /* -255 to 255 */
  ZIRVO_FILTER_SHARPNESS = 5,        /* 0 to 30 */
  ZIRVO_FILTER_BAYER_GAIN_RGB = 6,   /* any: bits 0-7 red, 8-15 green, 16-23 blue white-balance gain */
  ZIRVO_FILTER_BAYER_GAIN_RED = 7,   /* 0 to 400, white-balance gain in percent */
  ZIRVO_FILTER_BAYER_GAIN_GREEN = 8, /* 0 to 400 */
  ZIRVO_FILTER_BAYER_GAIN_BLUE = 9,  /* 0 to 400 */
  ZIRVO_FILTER_BAYER_GAIN_AUTO = 10, /* any; automatic white balance on when not 0 */
  ZIRVO_FILTER_GAMMA = 11,           /* 0 to 200 */
  ZIRVO_FILTER_BAYER_MODE = 12,      /* 0 to 3, phase of the colour pattern */
  ZIRVO_FILTER_GLOBAL_GAIN = 13,     /* 0 to 127; sets all four colour gains too */
  ZIRVO_FILTER_COLOR_GAIN_RED = 14,  /* 0 to 127, sensor gain (the sensor takes at most 125) */
  ZIRVO_FILTER_COLOR_GAIN_GREEN1 = 15,
  ZIRVO_FILTER_COLOR_GAIN_GREEN2 = 16,
  ZIRVO_FILTER_COLOR_GAIN_BLUE = 17,
  ZIRVO_FILTER_EXPOSURE_TIME = 18,   /* 0 to 8192 sensor lines (0 programs 1) */
  ZIRVO_FILTER_GRAY_MODE = 19,       /* 0 Bayer, 1 Bayer convert, 2 grayscale */
  ZIRVO_FILTER_GRAY_GAIN_R = 20,     /* 0 to 255 */
  ZIRVO_FILTER_GRAY_GAIN_G1 = 21,
  ZIRVO_FILTER_GRAY_GAIN_G2 = 22,
  ZIRVO_FILTER_GRAY_GAIN_B = 23,
  ZIRVO_FILTER_GRAY_OFFSET_R = 24,   /* -255 to 255 */
  ZIRVO_FILTER_GRAY_OFFSET_G1 = 25,
  ZIRVO_FILTER_GRAY_OFFSET_G2 = 26,
  ZIRVO_FILTER_GRAY_OFFSET_B = 27
} ZirvoFilterId;

/* Results are 1 for success and 0 for failure unless said otherwise; the
   reason of a failure is in the camera's error store. Every function taking
   a camera handle returns its failure value for a handle it does not know. */

ZIRVO_API int ZIRVO_CALL Zirvo_GetDllVersion(void);
/* A new camera handle; 0 only when no camera instance could be made. The
   handle is valid even when start-up failed: read Zirvo_GetLastError. */
ZIRVO_API int ZIRVO_CALL Zirvo_Initialize(HWND notificationWindow);
ZIRVO_API int ZIRVO_CALL Zirvo_Release(int handle);
/* The newest stored error code, removed from the store; 0 when none. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetLastError(int handle);
ZIRVO_API int ZIRVO_CALL Zirvo_SetDeviceNumber(int handle, int deviceNumber);
/* `names` holds at least max(10, cameras) entries of ZIRVO_DEVICE_NAME_ENTRY
   characters. Returns the number of cameras named. */
ZIRVO_API int ZIRVO_CALL Zirvo_EnumDevice(int handle, char* names);
ZIRVO_API int ZIRVO_CALL Zirvo_EnumDeviceW(int handle, wchar_t* names);
/* `size` in characters, at least 16. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetDeviceName(int handle, int deviceNumber, char* name, int size);
ZIRVO_API int ZIRVO_CALL Zirvo_GetDeviceNameW(int handle, int deviceNumber, wchar_t* name, int size);
ZIRVO_API int ZIRVO_CALL Zirvo_GetCameraInfo(int handle, CameraInfo* info);
/* Stops acquisition and takes the preview window down; always 1 for a known handle. */
ZIRVO_API int ZIRVO_CALL Zirvo_Close(int handle);
/* Bits per pixel: 8, 16, 24, 32, 48 or 64. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetColorMode(int handle, int bitsPerPixel);
/* 8, 12, 24, 32, 44 or 60 (significant bits); -1 for an unknown handle. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetColorMode(int handle);

/* ---- Acquisition ------------------------------------------------------ */

/* Live preview in a window of the library's own: a child of the window set
   with Zirvo_SetPreviewWindow, else a top-level window centred on the screen. */
ZIRVO_API int ZIRVO_CALL Zirvo_Preview(int handle);
/* Preview that also posts WM_CAMERA_FRAME to `window` after each frame and
   copies the image into `buffer` (stride x height bytes; rowOrder != 0: the
   first row the camera sent first, 0: the last first). */
ZIRVO_API int ZIRVO_CALL Zirvo_CallBackPreview(int handle, HWND window, void* buffer, int size, int rowOrder);
/* Records `durationMilliseconds` of frames into an uncompressed AVI file;
   showWindow != 0 shows the preview window meanwhile. Starts streaming if it
   is not running; the recording ends by itself, the stream goes on. */
ZIRVO_API int ZIRVO_CALL Zirvo_Record(int handle, const char* fileName, unsigned int durationMilliseconds,
                                      int showWindow);
ZIRVO_API int ZIRVO_CALL Zirvo_RecordW(int handle, const wchar_t* fileName, unsigned int durationMilliseconds,
                                       int showWindow);
/* Streams without a window (frame messages after a callback preview). */
ZIRVO_API int ZIRVO_CALL Zirvo_StartPreview(int handle);
/* Ends streaming and recording; a recording cut short is finished. */
ZIRVO_API int ZIRVO_CALL Zirvo_StopPreview(int handle);
/* Prepares for fast snapshots (no thread, no frame read). */
ZIRVO_API int ZIRVO_CALL Zirvo_Capture(int handle);
/* Reads and converts one frame; copies it into `buffer` when one is given. */
ZIRVO_API int ZIRVO_CALL Zirvo_SnapShot(int handle, void* buffer, int size, int rowOrder);
/* Copies the last converted image; reads nothing from the camera. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetImage(int handle, void* buffer, int size, int rowOrder);
/* Saves the last converted image; `format` is a SaveFormat. */
ZIRVO_API int ZIRVO_CALL Zirvo_SaveImage(int handle, const char* fileName, int format);
ZIRVO_API int ZIRVO_CALL Zirvo_SaveImageW(int handle, const wchar_t* fileName, int format);

/* Format and windows. Only the capture and preview windows need the camera
   itself. */
/* The capture window's width (EH) and height (EV), before sub-sampling. */
ZIRVO_API int ZIRVO_CALL Zirvo_Width(int handle);
ZIRVO_API int ZIRVO_CALL Zirvo_Height(int handle);
/* Sub-sample mode 0 to 4, used from the next start; another value fails
   without an error code. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetSubSample(int handle, int mode);
/* The stored mode (a stored 16 reads 1, 17 reads 2); -1 for an unknown handle. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetSubSample(int handle);
/* Milliseconds of each capture-loop turn, 0 or more; a negative value fails
   without an error code. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetWaitTime(int handle, int milliseconds);
/* -1 for an unknown handle. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetWaitTime(int handle);
/* Clock setting 0 to 5 (error 9 otherwise); stored and saved only. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetHalfClock(int handle, int value);
/* The stored clock setting; 0 for an unknown handle. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetHalfClock(int handle);
/* The capture window of the first stored size preset whose width and height
   are these (error 4 when none is). A preset outside the sensor records error
   7 and programs the whole sensor instead; the result is then still 1. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetCaptureWindow(int handle, int width, int height);
/* Total width, left edge, width, total height, top edge, height. Values
   outside the sensor are kept but record error 7 and return 0: the next start
   fails until they are mended. The sensor takes a valid window at once. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetCaptureWindowEx(int handle, int totalWidth, int left, int width,
                                                  int totalHeight, int top, int height);
/* Writes the six values through the pointers that are not null; 1. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetCaptureWindowEx(int handle, int* totalWidth, int* left, int* width,
                                                  int* totalHeight, int* top, int* height);
/* Parent window and placement (x, y, width, height) of a child preview
   window; a null parent makes a top-level window. Used from the next start. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetPreviewWindow(int handle, HWND parent, int x, int y, int width,
                                                int height);
/* Always 0 (writes 0 to `out` when not null); one function under two names. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetVideoFormat(int handle, int* out);
ZIRVO_API int ZIRVO_CALL Zirvo_GetSamplingRate(int handle, int* out);
/* Always 0. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetStatus(int handle, int reserved);
/* Not supported: 0 and error 11; further arguments are ignored. One function
   under four names. */
ZIRVO_API int ZIRVO_CALL Zirvo_Trigger(int handle, ...);
ZIRVO_API int ZIRVO_CALL Zirvo_Fps(int handle, ...);
ZIRVO_API int ZIRVO_CALL Zirvo_SetCrossbar(int handle, ...);
ZIRVO_API int ZIRVO_CALL Zirvo_SetSamplingRate(int handle, ...);

/* Sensor. */
/* Flips the picture vertically on the sensor (1) or not (0); every call also
   flips the row phase of the Bayer mode. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetMirrorV(int handle, int flag);
/* Whether the sensor flips the picture now. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetMirrorV(int handle);
/* Mirrors each frame horizontally (1) or not (0); every call also flips the
   column phase of the Bayer mode. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetMirrorH(int handle, int flag);
/* Whether frames are mirrored horizontally. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetMirrorH(int handle);
/* Automatic exposure: 0 off, 1 by exposure time, 2 by gain (error 9 otherwise). */
ZIRVO_API int ZIRVO_CALL Zirvo_SetAutoIris(int handle, int mode);
/* The stored mode; writes 1 to `ok` when not null. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetAutoIris(int handle, int* ok);
/* Exposure time in microseconds from the exposure, the capture width and the
   sub-sample mode; writes 1 to `ok` when not null. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetRealExposureTime(int handle, int* ok);
/* Not supported: 0 and error 11. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetRealExposureTime(int handle, int microseconds);

/* Filter values by id (ZirvoFilterId). A value outside the id's range records
   error 9 and changes nothing. Gains and exposure (ids 13 to 18) reach the
   sensor at once, the others the next converted frame. The getter writes 1 to
   `ok` (when not null) on success, 0 on failure; ids 13 to 18 read back what
   the sensor was last given. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetFilterValue(int handle, int id, int value);
ZIRVO_API int ZIRVO_CALL Zirvo_GetFilterValue(int handle, int id, int* ok);
/* The same for one id each: Zirvo_SetX(h, v) is Zirvo_SetFilterValue(h, id, v)
   and Zirvo_GetX(h, ok) is Zirvo_GetFilterValue(h, id, ok). */
ZIRVO_API int ZIRVO_CALL Zirvo_SetBrightness(int handle, int value);         /* id 1 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetBrightness(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetContrast(int handle, int value);           /* id 2 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetContrast(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetHue(int handle, int value);                /* id 3 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetHue(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetSaturation(int handle, int value);         /* id 4 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetSaturation(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetSharpness(int handle, int value);          /* id 5 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetSharpness(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetBayerGainRGB(int handle, int value);       /* id 6 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetBayerGainRGB(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetBayerGainRed(int handle, int value);       /* id 7 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetBayerGainRed(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetBayerGainGreen(int handle, int value);     /* id 8 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetBayerGainGreen(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetBayerGainBlue(int handle, int value);      /* id 9 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetBayerGainBlue(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetBayerGainAuto(int handle, int value);      /* id 10 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetBayerGainAuto(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGamma(int handle, int value);              /* id 11 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGamma(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetBayerMode(int handle, int value);          /* id 12 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetBayerMode(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGlobalGain(int handle, int value);         /* id 13 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGlobalGain(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetColorGainRed(int handle, int value);       /* id 14 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetColorGainRed(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetColorGainGreen1(int handle, int value);    /* id 15 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetColorGainGreen1(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetColorGainGreen2(int handle, int value);    /* id 16 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetColorGainGreen2(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetColorGainBlue(int handle, int value);      /* id 17 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetColorGainBlue(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetExposureTime(int handle, int value);       /* id 18 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetExposureTime(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGrayMode(int handle, int value);           /* id 19 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGrayMode(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGrayGainR(int handle, int value);          /* id 20 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGrayGainR(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGrayGainG1(int handle, int value);         /* id 21 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGrayGainG1(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGrayGainG2(int handle, int value);         /* id 22 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGrayGainG2(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGrayGainB(int handle, int value);          /* id 23 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGrayGainB(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGrayOffsetR(int handle, int value);        /* id 24 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGrayOffsetR(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGrayOffsetG1(int handle, int value);       /* id 25 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGrayOffsetG1(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGrayOffsetG2(int handle, int value);       /* id 26 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGrayOffsetG2(int handle, int* ok);
ZIRVO_API int ZIRVO_CALL Zirvo_SetGrayOffsetB(int handle, int value);        /* id 27 */
ZIRVO_API int ZIRVO_CALL Zirvo_GetGrayOffsetB(int handle, int* ok);

/* Raw access. Register failures record error 6. */
/* Sensor register at the low 8 bits of `address`; the low 16 bits of `value`. */
ZIRVO_API int ZIRVO_CALL Zirvo_WriteRegister(int handle, int address, int value);
/* Value 0 to 65535 of the register at the low 8 bits of `address`; `ok` (when
   not null) tells success. */
ZIRVO_API int ZIRVO_CALL Zirvo_ReadRegister(int handle, int address, int* ok);
/* The same at a full 16-bit address. */
ZIRVO_API int ZIRVO_CALL Zirvo_WriteRegisterEx(int handle, int address, int value);
ZIRVO_API int ZIRVO_CALL Zirvo_ReadRegisterEx(int handle, int address, int* ok);
/* Serial ROM: this camera has none to offer, so both fail with error 1. */
ZIRVO_API int ZIRVO_CALL Zirvo_WriteSromID(int handle, int address, int value);
ZIRVO_API int ZIRVO_CALL Zirvo_ReadSromID(int handle, int address, int* ok);
/* Output line on (bit 2 of `flags` set) or off; the result is the camera's
   answer, 0 on this camera. The last two arguments are ignored. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetIOPort(int handle, int flags, int reserved1, int reserved2);
/* The two input lines as bits 0 and 1 of `*out` (error 9 when null). The last
   two arguments are ignored. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetIOPort(int handle, unsigned char* out, int reserved1, int reserved2);

/* Property dialogs, modal on the calling thread, in Japanese when the system
   language is Japanese, else in English; `parent` owns the dialog (may be
   null). 1 once the dialog has closed, whatever the user chose; 0 with error 1
   without a camera, and with error 4 when no dialog can be shown (no desktop
   toolkit or no display). The camera dialog stops acquisition around itself
   and starts it again afterwards; the filter and analog dialogs act at once
   and restore the values they changed when cancelled. */
ZIRVO_API int ZIRVO_CALL Zirvo_SetCameraDlg(int handle, HWND parent);
ZIRVO_API int ZIRVO_CALL Zirvo_SetImageDlg(int handle, HWND parent);
ZIRVO_API int ZIRVO_CALL Zirvo_SetAnalogDlg(int handle, HWND parent);

#ifdef __cplusplus
}
#endif

#endif /* ZIRVOSDK_USB3_7730QX_H */
