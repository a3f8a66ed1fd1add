// The library's export catalogue: every exported name, the entry point it
// shares, and its result for a handle that is not in the registry; and the
// list of the names this build has so far.
#pragma once

#include <string>
#include <vector>

namespace zirvo::test {

// Failure value of the two exports that take no handle.
inline constexpr int kTakesNoHandle = 0x7FFFFFFF;

struct CatalogueEntry {
  const char* name;
  const char* body;  // the export whose entry point this name shares; its own name when none
  int unknownHandleResult;
};

inline constexpr CatalogueEntry kExportCatalogue[] = {
    // Lifetime, errors, camera choice, colour mode
    {"Zirvo_GetDllVersion", "Zirvo_GetDllVersion", kTakesNoHandle},
    {"Zirvo_Initialize", "Zirvo_Initialize", kTakesNoHandle},
    {"Zirvo_Release", "Zirvo_Release", 0},
    {"Zirvo_GetLastError", "Zirvo_GetLastError", 0},
    {"Zirvo_SetDeviceNumber", "Zirvo_SetDeviceNumber", 0},
    {"Zirvo_EnumDevice", "Zirvo_EnumDevice", 0},
    {"Zirvo_EnumDeviceW", "Zirvo_EnumDeviceW", 0},
    {"Zirvo_GetDeviceName", "Zirvo_GetDeviceName", 0},
    {"Zirvo_GetDeviceNameW", "Zirvo_GetDeviceNameW", 0},
    {"Zirvo_GetCameraInfo", "Zirvo_GetCameraInfo", 0},
    {"Zirvo_Close", "Zirvo_Close", 0},
    {"Zirvo_SetColorMode", "Zirvo_SetColorMode", 0},
    {"Zirvo_GetColorMode", "Zirvo_GetColorMode", -1},
    // Format and windows
    {"Zirvo_Width", "Zirvo_Width", 0},
    {"Zirvo_Height", "Zirvo_Height", 0},
    // Acquisition
    {"Zirvo_Preview", "Zirvo_Preview", 0},
    {"Zirvo_CallBackPreview", "Zirvo_CallBackPreview", 0},
    {"Zirvo_Record", "Zirvo_Record", 0},
    {"Zirvo_RecordW", "Zirvo_RecordW", 0},
    {"Zirvo_StartPreview", "Zirvo_StartPreview", 0},
    {"Zirvo_StopPreview", "Zirvo_StopPreview", 0},
    {"Zirvo_Capture", "Zirvo_Capture", 0},
    {"Zirvo_SnapShot", "Zirvo_SnapShot", 0},
    {"Zirvo_GetImage", "Zirvo_GetImage", 0},
    {"Zirvo_SaveImage", "Zirvo_SaveImage", 0},
    {"Zirvo_SaveImageW", "Zirvo_SaveImageW", 0},
    // Status and the unsupported functions
    {"Zirvo_GetStatus", "Zirvo_GetStatus", 0},
    {"Zirvo_Trigger", "Zirvo_Trigger", 0},
    {"Zirvo_Fps", "Zirvo_Trigger", 0},
    {"Zirvo_SetCrossbar", "Zirvo_Trigger", 0},
    {"Zirvo_SetSamplingRate", "Zirvo_Trigger", 0},
    {"Zirvo_GetVideoFormat", "Zirvo_GetVideoFormat", 0},
    {"Zirvo_GetSamplingRate", "Zirvo_GetVideoFormat", 0},
    // Windows, sub-sampling, wait time, mirrors, clock, iris, exposure, filter values, raw access
    {"Zirvo_SetPreviewWindow", "Zirvo_SetPreviewWindow", 0},
    {"Zirvo_SetCaptureWindow", "Zirvo_SetCaptureWindow", 0},
    {"Zirvo_SetCaptureWindowEx", "Zirvo_SetCaptureWindowEx", 0},
    {"Zirvo_GetCaptureWindowEx", "Zirvo_GetCaptureWindowEx", 0},
    {"Zirvo_SetSubSample", "Zirvo_SetSubSample", 0},
    {"Zirvo_GetSubSample", "Zirvo_GetSubSample", -1},
    {"Zirvo_SetWaitTime", "Zirvo_SetWaitTime", 0},
    {"Zirvo_GetWaitTime", "Zirvo_GetWaitTime", -1},
    {"Zirvo_SetMirrorV", "Zirvo_SetMirrorV", 0},
    {"Zirvo_GetMirrorV", "Zirvo_GetMirrorV", 0},
    {"Zirvo_SetMirrorH", "Zirvo_SetMirrorH", 0},
    {"Zirvo_GetMirrorH", "Zirvo_GetMirrorH", 0},
    {"Zirvo_SetHalfClock", "Zirvo_SetHalfClock", 0},
    {"Zirvo_GetHalfClock", "Zirvo_GetHalfClock", 0},
    {"Zirvo_SetAutoIris", "Zirvo_SetAutoIris", 0},
    {"Zirvo_GetAutoIris", "Zirvo_GetAutoIris", 0},
    {"Zirvo_SetRealExposureTime", "Zirvo_SetRealExposureTime", 0},
    {"Zirvo_GetRealExposureTime", "Zirvo_GetRealExposureTime", 0},
    {"Zirvo_SetFilterValue", "Zirvo_SetFilterValue", 0},
    {"Zirvo_GetFilterValue", "Zirvo_GetFilterValue", 0},
    {"Zirvo_WriteRegister", "Zirvo_WriteRegister", 0},
    {"Zirvo_ReadRegister", "Zirvo_ReadRegister", 0},
    {"Zirvo_WriteRegisterEx", "Zirvo_WriteRegisterEx", 0},
    {"Zirvo_ReadRegisterEx", "Zirvo_ReadRegisterEx", 0},
    {"Zirvo_WriteSromID", "Zirvo_WriteSromID", 0},
    {"Zirvo_ReadSromID", "Zirvo_ReadSromID", 0},
    {"Zirvo_SetIOPort", "Zirvo_SetIOPort", 0},
    {"Zirvo_GetIOPort", "Zirvo_GetIOPort", 0},
    // Dialogs
    {"Zirvo_SetCameraDlg", "Zirvo_SetCameraDlg", 0},
    {"Zirvo_SetImageDlg", "Zirvo_SetImageDlg", 0},
    {"Zirvo_SetAnalogDlg", "Zirvo_SetAnalogDlg", 0},
    // Filter values by name
    {"Zirvo_SetBrightness", "Zirvo_SetBrightness", 0},
    {"Zirvo_GetBrightness", "Zirvo_GetBrightness", 0},
    {"Zirvo_SetContrast", "Zirvo_SetContrast", 0},
    {"Zirvo_GetContrast", "Zirvo_GetContrast", 0},
    {"Zirvo_SetHue", "Zirvo_SetHue", 0},
    {"Zirvo_GetHue", "Zirvo_GetHue", 0},
    {"Zirvo_SetSaturation", "Zirvo_SetSaturation", 0},
    {"Zirvo_GetSaturation", "Zirvo_GetSaturation", 0},
    {"Zirvo_SetSharpness", "Zirvo_SetSharpness", 0},
    {"Zirvo_GetSharpness", "Zirvo_GetSharpness", 0},
    {"Zirvo_SetBayerGainRGB", "Zirvo_SetBayerGainRGB", 0},
    {"Zirvo_GetBayerGainRGB", "Zirvo_GetBayerGainRGB", 0},
    {"Zirvo_SetBayerGainRed", "Zirvo_SetBayerGainRed", 0},
    {"Zirvo_GetBayerGainRed", "Zirvo_GetBayerGainRed", 0},
    {"Zirvo_SetBayerGainGreen", "Zirvo_SetBayerGainGreen", 0},
    {"Zirvo_GetBayerGainGreen", "Zirvo_GetBayerGainGreen", 0},
    {"Zirvo_SetBayerGainBlue", "Zirvo_SetBayerGainBlue", 0},
    {"Zirvo_GetBayerGainBlue", "Zirvo_GetBayerGainBlue", 0},
    {"Zirvo_SetBayerGainAuto", "Zirvo_SetBayerGainAuto", 0},
    {"Zirvo_GetBayerGainAuto", "Zirvo_GetBayerGainAuto", 0},
    {"Zirvo_SetGamma", "Zirvo_SetGamma", 0},
    {"Zirvo_GetGamma", "Zirvo_GetGamma", 0},
    {"Zirvo_SetBayerMode", "Zirvo_SetBayerMode", 0},
    {"Zirvo_GetBayerMode", "Zirvo_GetBayerMode", 0},
    {"Zirvo_SetGlobalGain", "Zirvo_SetGlobalGain", 0},
    {"Zirvo_GetGlobalGain", "Zirvo_GetGlobalGain", 0},
    {"Zirvo_SetColorGainRed", "Zirvo_SetColorGainRed", 0},
    {"Zirvo_GetColorGainRed", "Zirvo_GetColorGainRed", 0},
    {"Zirvo_SetColorGainGreen1", "Zirvo_SetColorGainGreen1", 0},
    {"Zirvo_GetColorGainGreen1", "Zirvo_GetColorGainGreen1", 0},
    {"Zirvo_SetColorGainGreen2", "Zirvo_SetColorGainGreen2", 0},
    {"Zirvo_GetColorGainGreen2", "Zirvo_GetColorGainGreen2", 0},
    {"Zirvo_SetColorGainBlue", "Zirvo_SetColorGainBlue", 0},
    {"Zirvo_GetColorGainBlue", "Zirvo_GetColorGainBlue", 0},
    {"Zirvo_SetExposureTime", "Zirvo_SetExposureTime", 0},
    {"Zirvo_GetExposureTime", "Zirvo_GetExposureTime", 0},
    {"Zirvo_SetGrayMode", "Zirvo_SetGrayMode", 0},
    {"Zirvo_GetGrayMode", "Zirvo_GetGrayMode", 0},
    {"Zirvo_SetGrayGainR", "Zirvo_SetGrayGainR", 0},
    {"Zirvo_GetGrayGainR", "Zirvo_GetGrayGainR", 0},
    {"Zirvo_SetGrayGainG1", "Zirvo_SetGrayGainG1", 0},
    {"Zirvo_GetGrayGainG1", "Zirvo_GetGrayGainG1", 0},
    {"Zirvo_SetGrayGainG2", "Zirvo_SetGrayGainG2", 0},
    {"Zirvo_GetGrayGainG2", "Zirvo_GetGrayGainG2", 0},
    {"Zirvo_SetGrayGainB", "Zirvo_SetGrayGainB", 0},
    {"Zirvo_GetGrayGainB", "Zirvo_GetGrayGainB", 0},
    {"Zirvo_SetGrayOffsetR", "Zirvo_SetGrayOffsetR", 0},
    {"Zirvo_GetGrayOffsetR", "Zirvo_GetGrayOffsetR", 0},
    {"Zirvo_SetGrayOffsetG1", "Zirvo_SetGrayOffsetG1", 0},
    {"Zirvo_GetGrayOffsetG1", "Zirvo_GetGrayOffsetG1", 0},
    {"Zirvo_SetGrayOffsetG2", "Zirvo_SetGrayOffsetG2", 0},
    {"Zirvo_GetGrayOffsetG2", "Zirvo_GetGrayOffsetG2", 0},
    {"Zirvo_SetGrayOffsetB", "Zirvo_SetGrayOffsetB", 0},
    {"Zirvo_GetGrayOffsetB", "Zirvo_GetGrayOffsetB", 0},
};

// The exports built so far: the header, the shared library and the DLL must
// hold exactly these. A branch that builds more adds its names here.
inline constexpr const char* kBuiltExports[] = {
    // Lifetime, errors, camera choice, colour mode
    "Zirvo_GetDllVersion", "Zirvo_Initialize", "Zirvo_Release", "Zirvo_GetLastError",
    "Zirvo_SetDeviceNumber", "Zirvo_EnumDevice", "Zirvo_EnumDeviceW", "Zirvo_GetDeviceName",
    "Zirvo_GetDeviceNameW", "Zirvo_GetCameraInfo", "Zirvo_Close", "Zirvo_SetColorMode",
    "Zirvo_GetColorMode",
    // Settings: format and windows, status, sensor, filter values, raw access
    "Zirvo_Width", "Zirvo_Height", "Zirvo_GetStatus", "Zirvo_Trigger", "Zirvo_Fps",
    "Zirvo_SetCrossbar", "Zirvo_SetSamplingRate", "Zirvo_GetVideoFormat", "Zirvo_GetSamplingRate",
    "Zirvo_SetPreviewWindow", "Zirvo_SetCaptureWindow", "Zirvo_SetCaptureWindowEx",
    "Zirvo_GetCaptureWindowEx", "Zirvo_SetSubSample", "Zirvo_GetSubSample", "Zirvo_SetWaitTime",
    "Zirvo_GetWaitTime", "Zirvo_SetMirrorV", "Zirvo_GetMirrorV", "Zirvo_SetMirrorH",
    "Zirvo_GetMirrorH", "Zirvo_SetHalfClock", "Zirvo_GetHalfClock", "Zirvo_SetAutoIris",
    "Zirvo_GetAutoIris", "Zirvo_SetRealExposureTime", "Zirvo_GetRealExposureTime",
    "Zirvo_SetFilterValue", "Zirvo_GetFilterValue", "Zirvo_WriteRegister", "Zirvo_ReadRegister",
    "Zirvo_WriteRegisterEx", "Zirvo_ReadRegisterEx", "Zirvo_WriteSromID", "Zirvo_ReadSromID",
    "Zirvo_SetIOPort", "Zirvo_GetIOPort", "Zirvo_SetBrightness", "Zirvo_GetBrightness",
    "Zirvo_SetContrast", "Zirvo_GetContrast", "Zirvo_SetHue", "Zirvo_GetHue", "Zirvo_SetSaturation",
    "Zirvo_GetSaturation", "Zirvo_SetSharpness", "Zirvo_GetSharpness", "Zirvo_SetBayerGainRGB",
    "Zirvo_GetBayerGainRGB", "Zirvo_SetBayerGainRed", "Zirvo_GetBayerGainRed",
    "Zirvo_SetBayerGainGreen", "Zirvo_GetBayerGainGreen", "Zirvo_SetBayerGainBlue",
    "Zirvo_GetBayerGainBlue", "Zirvo_SetBayerGainAuto", "Zirvo_GetBayerGainAuto", "Zirvo_SetGamma",
    "Zirvo_GetGamma", "Zirvo_SetBayerMode", "Zirvo_GetBayerMode", "Zirvo_SetGlobalGain",
    "Zirvo_GetGlobalGain", "Zirvo_SetColorGainRed", "Zirvo_GetColorGainRed",
    "Zirvo_SetColorGainGreen1", "Zirvo_GetColorGainGreen1", "Zirvo_SetColorGainGreen2",
    "Zirvo_GetColorGainGreen2", "Zirvo_SetColorGainBlue", "Zirvo_GetColorGainBlue",
    "Zirvo_SetExposureTime", "Zirvo_GetExposureTime", "Zirvo_SetGrayMode", "Zirvo_GetGrayMode",
    "Zirvo_SetGrayGainR", "Zirvo_GetGrayGainR", "Zirvo_SetGrayGainG1", "Zirvo_GetGrayGainG1",
    "Zirvo_SetGrayGainG2", "Zirvo_GetGrayGainG2", "Zirvo_SetGrayGainB", "Zirvo_GetGrayGainB",
    "Zirvo_SetGrayOffsetR", "Zirvo_GetGrayOffsetR", "Zirvo_SetGrayOffsetG1",
    "Zirvo_GetGrayOffsetG1", "Zirvo_SetGrayOffsetG2", "Zirvo_GetGrayOffsetG2",
    "Zirvo_SetGrayOffsetB", "Zirvo_GetGrayOffsetB",
    // Acquisition
    "Zirvo_Preview", "Zirvo_CallBackPreview", "Zirvo_Record", "Zirvo_RecordW", "Zirvo_StartPreview",
    "Zirvo_StopPreview", "Zirvo_Capture", "Zirvo_SnapShot", "Zirvo_GetImage", "Zirvo_SaveImage",
    "Zirvo_SaveImageW",
    // Dialogs
    "Zirvo_SetCameraDlg", "Zirvo_SetImageDlg", "Zirvo_SetAnalogDlg",
};

// Catalogue entries of the built names; a built name missing from the
// catalogue is left out (CatalogueCoversEveryBuiltName reports it).
inline std::vector<CatalogueEntry> BuiltCatalogueEntries() {
  std::vector<CatalogueEntry> entries;
  for (const char* name : kBuiltExports)
    for (const CatalogueEntry& entry : kExportCatalogue)
      if (std::string(entry.name) == name) entries.push_back(entry);
  return entries;
}

}  // namespace zirvo::test
