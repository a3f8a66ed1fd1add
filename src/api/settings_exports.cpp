// Exported functions of the settings: format and windows, sensor, filter
// values by id and by name, raw register, serial-ROM and I/O-port access.
#include "ZirvoSdk_USB3_7730QX.h"

#include "api/call_frame.h"

using zirvo::CameraInstance;
using zirvo::WithCamera;

// One body under several names: alias symbols at the body's address. The
// DLL's module-definition file maps each name to the body as well, so its
// export table holds one entry point for them.
#define ZIRVO_ALIAS_OF(body) __attribute__((alias(#body), copy(body)))

namespace {

int SetFilter(int handle, int id, int value) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetFilterValue(id, value); });
}

int GetFilter(int handle, int id, int* ok) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.GetFilterValue(id, ok); });
}

}  // namespace

extern "C" {

// --- Format and windows ------------------------------------------------------

ZIRVO_API int ZIRVO_CALL Zirvo_Width(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.Width(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_Height(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.Height(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetSubSample(int handle, int mode) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetSubSample(mode); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetSubSample(int handle) {
  return WithCamera(handle, -1, [](CameraInstance& camera) { return camera.GetSubSample(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetWaitTime(int handle, int milliseconds) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetWaitTime(milliseconds); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetWaitTime(int handle) {
  return WithCamera(handle, -1, [](CameraInstance& camera) { return camera.GetWaitTime(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetHalfClock(int handle, int value) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetHalfClock(value); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetHalfClock(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.GetHalfClock(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetCaptureWindow(int handle, int width, int height) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetCaptureWindow(width, height); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetCaptureWindowEx(int handle, int totalWidth, int left, int width,
                                                  int totalHeight, int top, int height) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) {
    return camera.SetCaptureWindowEx(totalWidth, left, width, totalHeight, top, height);
  });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetCaptureWindowEx(int handle, int* totalWidth, int* left, int* width,
                                                  int* totalHeight, int* top, int* height) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) {
    return camera.GetCaptureWindowEx(totalWidth, left, width, totalHeight, top, height);
  });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetPreviewWindow(int handle, HWND parent, int x, int y, int width, int height) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) {
    const zirvo::PreviewRectangle rectangle{x, y, width, height};
    return camera.SetPreviewWindow(parent, &rectangle);
  });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetVideoFormat(int handle, int* out) {
  return WithCamera(handle, 0, [&](CameraInstance&) {
    if (out) *out = 0;
    return 0;
  });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetSamplingRate(int handle, int* out) ZIRVO_ALIAS_OF(Zirvo_GetVideoFormat);

ZIRVO_API int ZIRVO_CALL Zirvo_GetStatus(int handle, int) {
  return WithCamera(handle, 0, [](CameraInstance&) { return 0; });
}

ZIRVO_API int ZIRVO_CALL Zirvo_Trigger(int handle, ...) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.NotSupported(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_Fps(int handle, ...) ZIRVO_ALIAS_OF(Zirvo_Trigger);
ZIRVO_API int ZIRVO_CALL Zirvo_SetCrossbar(int handle, ...) ZIRVO_ALIAS_OF(Zirvo_Trigger);
ZIRVO_API int ZIRVO_CALL Zirvo_SetSamplingRate(int handle, ...) ZIRVO_ALIAS_OF(Zirvo_Trigger);

// --- Sensor ------------------------------------------------------------------

ZIRVO_API int ZIRVO_CALL Zirvo_SetMirrorV(int handle, int flag) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetMirrorV(flag); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetMirrorV(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.GetMirrorV(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetMirrorH(int handle, int flag) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetMirrorH(flag); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetMirrorH(int handle) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.GetMirrorH(); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetAutoIris(int handle, int mode) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetAutoIris(mode); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetAutoIris(int handle, int* ok) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.GetAutoIris(ok); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetRealExposureTime(int handle, int* ok) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.GetRealExposureTime(ok); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetRealExposureTime(int handle, int) {
  return WithCamera(handle, 0, [](CameraInstance& camera) { return camera.NotSupported(); });
}

// --- Filter values -----------------------------------------------------------

ZIRVO_API int ZIRVO_CALL Zirvo_SetFilterValue(int handle, int id, int value) { return SetFilter(handle, id, value); }

ZIRVO_API int ZIRVO_CALL Zirvo_GetFilterValue(int handle, int id, int* ok) { return GetFilter(handle, id, ok); }

// Each named pair is the generic pair with its id fixed.
#define ZIRVO_FILTER_EXPORTS(Name, id)                                                            \
  ZIRVO_API int ZIRVO_CALL Zirvo_Set##Name(int handle, int value) { return SetFilter(handle, id, value); } \
  ZIRVO_API int ZIRVO_CALL Zirvo_Get##Name(int handle, int* ok) { return GetFilter(handle, id, ok); }

ZIRVO_FILTER_EXPORTS(Brightness, ZIRVO_FILTER_BRIGHTNESS)
ZIRVO_FILTER_EXPORTS(Contrast, ZIRVO_FILTER_CONTRAST)
ZIRVO_FILTER_EXPORTS(Hue, ZIRVO_FILTER_HUE)
ZIRVO_FILTER_EXPORTS(Saturation, ZIRVO_FILTER_SATURATION)
ZIRVO_FILTER_EXPORTS(Sharpness, ZIRVO_FILTER_SHARPNESS)
ZIRVO_FILTER_EXPORTS(BayerGainRGB, ZIRVO_FILTER_BAYER_GAIN_RGB)
ZIRVO_FILTER_EXPORTS(BayerGainRed, ZIRVO_FILTER_BAYER_GAIN_RED)
ZIRVO_FILTER_EXPORTS(BayerGainGreen, ZIRVO_FILTER_BAYER_GAIN_GREEN)
ZIRVO_FILTER_EXPORTS(BayerGainBlue, ZIRVO_FILTER_BAYER_GAIN_BLUE)
ZIRVO_FILTER_EXPORTS(BayerGainAuto, ZIRVO_FILTER_BAYER_GAIN_AUTO)
ZIRVO_FILTER_EXPORTS(Gamma, ZIRVO_FILTER_GAMMA)
ZIRVO_FILTER_EXPORTS(BayerMode, ZIRVO_FILTER_BAYER_MODE)
ZIRVO_FILTER_EXPORTS(GlobalGain, ZIRVO_FILTER_GLOBAL_GAIN)
ZIRVO_FILTER_EXPORTS(ColorGainRed, ZIRVO_FILTER_COLOR_GAIN_RED)
ZIRVO_FILTER_EXPORTS(ColorGainGreen1, ZIRVO_FILTER_COLOR_GAIN_GREEN1)
ZIRVO_FILTER_EXPORTS(ColorGainGreen2, ZIRVO_FILTER_COLOR_GAIN_GREEN2)
ZIRVO_FILTER_EXPORTS(ColorGainBlue, ZIRVO_FILTER_COLOR_GAIN_BLUE)
ZIRVO_FILTER_EXPORTS(ExposureTime, ZIRVO_FILTER_EXPOSURE_TIME)
ZIRVO_FILTER_EXPORTS(GrayMode, ZIRVO_FILTER_GRAY_MODE)
ZIRVO_FILTER_EXPORTS(GrayGainR, ZIRVO_FILTER_GRAY_GAIN_R)
ZIRVO_FILTER_EXPORTS(GrayGainG1, ZIRVO_FILTER_GRAY_GAIN_G1)
ZIRVO_FILTER_EXPORTS(GrayGainG2, ZIRVO_FILTER_GRAY_GAIN_G2)
ZIRVO_FILTER_EXPORTS(GrayGainB, ZIRVO_FILTER_GRAY_GAIN_B)
ZIRVO_FILTER_EXPORTS(GrayOffsetR, ZIRVO_FILTER_GRAY_OFFSET_R)
ZIRVO_FILTER_EXPORTS(GrayOffsetG1, ZIRVO_FILTER_GRAY_OFFSET_G1)
ZIRVO_FILTER_EXPORTS(GrayOffsetG2, ZIRVO_FILTER_GRAY_OFFSET_G2)
ZIRVO_FILTER_EXPORTS(GrayOffsetB, ZIRVO_FILTER_GRAY_OFFSET_B)

#undef ZIRVO_FILTER_EXPORTS

// --- Raw access --------------------------------------------------------------

// The short forms reach the first 256 registers only.
ZIRVO_API int ZIRVO_CALL Zirvo_WriteRegister(int handle, int address, int value) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.WriteRegister(address & 0xFF, value); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_ReadRegister(int handle, int address, int* ok) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.ReadRegister(address & 0xFF, ok); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_WriteRegisterEx(int handle, int address, int value) {
  return WithCamera(handle, 0,
                    [&](CameraInstance& camera) { return camera.WriteRegister(address & 0xFFFF, value); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_ReadRegisterEx(int handle, int address, int* ok) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.ReadRegister(address & 0xFFFF, ok); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_WriteSromID(int handle, int address, int value) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.WriteSromID(address, value); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_ReadSromID(int handle, int address, int* ok) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.ReadSromID(address, ok); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_SetIOPort(int handle, int flags, int, int) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.SetIOPort(flags); });
}

ZIRVO_API int ZIRVO_CALL Zirvo_GetIOPort(int handle, unsigned char* out, int, int) {
  return WithCamera(handle, 0, [&](CameraInstance& camera) { return camera.GetIOPort(out); });
}

}  // extern "C"
