// Exported functions of acquisition: preview, callback preview, recording,
// single captures, the current image and still images.
#include "ZirvoSdk_USB3_7730QX.h"

#include "api/call_frame.h"

using zirvo::CameraInstance;
using zirvo::WithCamera;

extern "C" {

ZIRVO_API int ZIRVO_CALL Zirvo_Preview(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.Preview(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_CallBackPreview(int handle, HWND window, void* buffer, int size, int rowOrder) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) {
    return camera.CallBackPreview(window, buffer, size, rowOrder);
  });
}

ZIRVO_API int ZIRVO_CALL Zirvo_Record(int handle, const char* fileName, unsigned int durationMilliseconds,
                                      int showWindow) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) {
    return camera.Record(fileName, durationMilliseconds, showWindow);
  });
}

ZIRVO_API int ZIRVO_CALL Zirvo_RecordW(int handle, const wchar_t* fileName, unsigned int durationMilliseconds,
                                       int showWindow) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) {
    return camera.RecordW(fileName, durationMilliseconds, showWindow);
  });
}

ZIRVO_API int ZIRVO_CALL Zirvo_StartPreview(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.StartPreview(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_StopPreview(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.StopPreview(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_Capture(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.Capture(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SnapShot(int handle, void* buffer, int size, int rowOrder) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SnapShot(buffer, size, rowOrder); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetImage(int handle, void* buffer, int size, int rowOrder) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.GetImage(buffer, size, rowOrder); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SaveImage(int handle, const char* fileName, int format) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SaveImage(fileName, format); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SaveImageW(int handle, const wchar_t* fileName, int format) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SaveImageW(fileName, format); });
}

}  // extern "C"
