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
/* Always 0. */
ZIRVO_API int ZIRVO_CALL Zirvo_GetStatus(int handle, int unused);
/* Not supported: always 0, recording error 11. Zirvo_Fps, Zirvo_SetCrossbar
   and Zirvo_SetSamplingRate are the same function. */
ZIRVO_API int ZIRVO_CALL Zirvo_Trigger(int handle);
ZIRVO_API int ZIRVO_CALL Zirvo_Fps(int handle);
ZIRVO_API int ZIRVO_CALL Zirvo_SetCrossbar(int handle);
ZIRVO_API int ZIRVO_CALL Zirvo_SetSamplingRate(int handle);

#ifdef __cplusplus
}
#endif

#endif /* ZIRVOSDK_USB3_7730QX_H */
