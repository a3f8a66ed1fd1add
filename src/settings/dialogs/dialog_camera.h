// DialogCamera: what the property dialogs need of the camera they edit.
#pragma once

#include <functional>

#include "settings/settings_records.h"

namespace zirvo {

// Sensor registers of the four colour gains.
inline constexpr int kGainRegisterGreen1 = 0x3056;
inline constexpr int kGainRegisterBlue = 0x3058;
inline constexpr int kGainRegisterRed = 0x305A;
inline constexpr int kGainRegisterGreen2 = 0x305C;

// The live records the filter and analog pages edit. The capture thread reads
// them every frame, so each change is made in one step (no half-applied change).
struct DialogValues {
  FilterSettings filter;
  AnalogSettings analog;
};

// Line length, frame length and pixel period of the exposure-time display.
struct ExposureTiming {
  int lineLength = 0;
  int frameLength = 0;
  double pixelPeriodMicroseconds = 0.0;
};

class DialogCamera {
 public:
  virtual ~DialogCamera() = default;

  virtual int ColorMode() = 0;  // ColorModeCode 0 to 5
  virtual DialogValues Values() = 0;
  virtual void Change(const std::function<void(DialogValues&)>& change) = 0;

  // Sent to the sensor at once; failures are not reported.
  virtual void SendGlobalGain(int value) = 0;
  virtual void SendChannelGain(int gainRegister, int value) = 0;
  virtual void SendExposure(int value) = 0;
  virtual void SendMirrorV(int flag) = 0;
  virtual void SendMirrorH(int flag) = 0;
  // What the sensor was last programmed with: the gains and exposure of
  // `analog` are replaced, the rest stays.
  virtual void ReadProgrammedAnalog(AnalogSettings& analog) = 0;
  virtual ExposureTiming Timing() = 0;

  // The camera dialog's copy of the stored presets and video format.
  virtual int LoadPresets(PresetTable& table) = 0;
  virtual int SavePresets(const PresetTable& table) = 0;
};

}  // namespace zirvo
