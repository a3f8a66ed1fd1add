// Exported functions of the camera's lifetime, errors, choice and information.
#include "ZirvoSdk_USB3_7730QX.h"

#include "api/call_frame.h"

using zirvo::CameraInstance;
using zirvo::WithCamera;

extern "C" {

ZIRVO_API int ZIRVO_CALL Zirvo_GetDllVersion(void) { return ZIRVO_DLL_VERSION; }

ZIRVO_API int ZIRVO_CALL Zirvo_Initialize(HWND notificationWindow) {
  try {
    zirvo::CameraRegistry& registry = zirvo::TheCameraRegistry();
    std::lock_guard lock(registry.Lock());
    int key = registry.Create();
    if (key == 0) return 0;
    // The handle stands even when start-up fails; the reasons are in its error store.
    if (zirvo::CameraNode* node = registry.Find(key)) {
      try {
        node->camera->Initialize(notificationWindow);
      } catch (...) {
        node->camera->RecordError(zirvo::kErrorMemory);
      }
    }
    return key;
  } catch (...) {
    return 0;
  }
}

ZIRVO_API int ZIRVO_CALL Zirvo_Release(int handle) {
  try {
    zirvo::CameraRegistry& registry = zirvo::TheCameraRegistry();
    std::lock_guard lock(registry.Lock());
    return registry.Release(handle);
  } catch (...) {
    return 0;
  }
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetLastError(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.PopError(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetDeviceNumber(int handle, int deviceNumber) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetDeviceNumber(deviceNumber); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_EnumDevice(int handle, char* names) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.EnumDevice(names); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_EnumDeviceW(int handle, wchar_t* names) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.EnumDeviceW(names); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetDeviceName(int handle, int deviceNumber, char* name, int size) {
  return WithCamera(handle, 0,
                    [&](CameraInstance& camera) { return camera.GetDeviceName(deviceNumber, name, size); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetDeviceNameW(int handle, int deviceNumber, wchar_t* name, int size) {
  return WithCamera(handle, 0,
                    [&](CameraInstance& camera) { return camera.GetDeviceNameW(deviceNumber, name, size); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetCameraInfo(int handle, CameraInfo* info) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.GetCameraInfo(info); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_Close(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.Close(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetColorMode(int handle, int bitsPerPixel) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetColorMode(bitsPerPixel); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetColorMode(int handle) {
  return WithCamera(handle, -1, [](CameraInstance& camera) { return camera.GetColorMode(); });
}

}  // extern "C"
