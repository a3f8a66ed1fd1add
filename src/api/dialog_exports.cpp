// Exported functions of the property dialogs.
#include "ZirvoSdk_USB3_7730QX.h"

#include "api/call_frame.h"

using zirvo::CameraInstance;
using zirvo::WithCamera;

extern "C" {

ZIRVO_API int ZIRVO_CALL Zirvo_SetCameraDlg(int handle, HWND parent) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetCameraDlg(parent); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetImageDlg(int handle, HWND parent) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetImageDlg(parent); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetAnalogDlg(int handle, HWND parent) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetAnalogDlg(parent); });
}

}  // extern "C"
