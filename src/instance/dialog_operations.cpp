// The property dialogs of a camera instance: the camera as the dialogs see
// it, the refresh registration while a sheet is open, and the stop and restart
// of acquisition around the camera dialog.
#include <functional>

#include "device/model7730_device.h"
#include "instance/camera_instance.h"
#include "instance/settings_operations.h"
#include "settings/dialogs/analog_dialog.h"
#include "settings/dialogs/camera_property_dialog.h"
#include "settings/dialogs/dialog_front_end.h"
#include "settings/dialogs/image_filter_dialog.h"
#include "settings/settings_persistence.h"

namespace zirvo {

class CameraInstance::DialogCameraAdapter final : public DialogCamera {
 public:
  explicit DialogCameraAdapter(CameraInstance& camera) : camera_(camera) {}

  int ColorMode() override { return camera_.settings_.VideoFormat().colorMode; }

  DialogValues Values() override {
    return camera_.settings_.Read([](const InstanceSettings& s) { return DialogValues{s.filter, s.analog}; });
  }

  // One update under the settings lock: the capture thread sees all of a
  // change or none of it.
  void Change(const std::function<void(DialogValues&)>& change) override {
    camera_.settings_.Update([&](InstanceSettings& s) {
      DialogValues values{s.filter, s.analog};
      change(values);
      s.filter = values.filter;
      s.analog = values.analog;
    });
  }

  void SendGlobalGain(int value) override { Device().SetGlobalGain(value); }
  void SendChannelGain(int gainRegister, int value) override { Device().SetChannelGain(gainRegister, value); }
  void SendExposure(int value) override { Device().SetExposure(value); }
  void SendMirrorV(int flag) override { Device().SetMirrorV(flag); }
  void SendMirrorH(int flag) override { Device().SetMirrorH(flag); }

  void ReadProgrammedAnalog(AnalogSettings& analog) override {
    Model7730Device& device = Device();
    analog.globalGain = device.GetGlobalGain() & 0xFFFF;
    const std::pair<int, int32_t*> channels[] = {{kGainRegisterGreen1, &analog.colorGainGreen1},
                                                 {kGainRegisterRed, &analog.colorGainRed},
                                                 {kGainRegisterBlue, &analog.colorGainBlue},
                                                 {kGainRegisterGreen2, &analog.colorGainGreen2}};
    // A register never written has no value to offer; the record keeps its own.
    for (const auto& [gainRegister, field] : channels) {
      uint16_t written = 0;
      if (device.GetChannelGain(gainRegister, &written) == 1) *field = written;
    }
    int exposure = 0;
    if (device.GetExposure(&exposure) == 1) analog.exposure = exposure;
  }

  ExposureTiming Timing() override {
    const InstanceSettings settings = camera_.settings_.Snapshot();
    const ExposureDisplay& display = camera_.exposureDisplay_;
    // Before the first preparation the line length follows from the window.
    const int lineLength = display.lineLength != 0
                               ? display.lineLength
                               : ExposureLineLength(settings.captureWindow.width, settings.videoFormat.subSampleMode);
    return {lineLength, display.frameLength, kPixelClockPeriodMicroseconds};
  }

  int LoadPresets(PresetTable& table) override { return loadPresets(table); }
  int SavePresets(const PresetTable& table) override { return savePresets(table); }

 private:
  Model7730Device& Device() { return *camera_.device_; }

  CameraInstance& camera_;
};

int CameraInstance::RunRegisteredDialog(SheetBase& dialog, platform::WindowHandle parent) {
  SetDialogRefresh(&dialog);
  const int shown = RunModalDialog(dialog, parent);
  // Unregistering waits for a refresh in progress, so none reaches the dialog
  // once it is gone.
  SetDialogRefresh(nullptr);
  if (!shown) {
    RecordError(kErrorWindow);
    return 0;
  }
  return 1;
}

int CameraInstance::SetImageDlg(platform::WindowHandle parent) {
  if (!CheckDevice()) return 0;
  DialogCameraAdapter camera(*this);
  ImageFilterDialog dialog(camera, SystemDialogLanguage());
  return RunRegisteredDialog(dialog, parent);
}

int CameraInstance::SetAnalogDlg(platform::WindowHandle parent) {
  if (!CheckDevice()) return 0;
  DialogCameraAdapter camera(*this);
  AnalogDialog dialog(camera, SystemDialogLanguage());
  return RunRegisteredDialog(dialog, parent);
}

int CameraInstance::SetCameraDlg(platform::WindowHandle parent) {
  if (!CheckDevice()) return 0;
  const AcquisitionMode mode = Mode();
  if (mode == ModeStreaming || mode == ModeCapture) StopPreview();
  DialogCameraAdapter camera(*this);
  CameraPropertyDialog dialog(camera, SystemDialogLanguage());
  const int shown = RunRegisteredDialog(dialog, parent);
  if (shown && dialog.Result() == kIdOk) {
    CameraSizeSettings window = settings_.CaptureWindow();
    if (loadCameraSize(window, errors_) == 1) StoreCaptureWindow(window);
    VideoFormatSettings format = settings_.VideoFormat();
    loadVideoFormat(format, errors_);
    const bool subSampleChanged = settings_.Update([&](InstanceSettings& s) {
      const bool changed = s.videoFormat.subSampleMode != format.subSampleMode;
      s.videoFormat = format;
      return changed;
    });
    if (subSampleChanged) captureWindowGeneration_.fetch_add(1);
  }
  RestartAcquisition(mode);
  return shown;
}

// A new preparation takes the settings the dialog may have changed; the
// preview window, if any, stays as it is.
void CameraInstance::RestartAcquisition(AcquisitionMode mode) {
  if (mode == ModeStreaming) {
    StartPreview();
  } else if (mode == ModeCapture) {
    Capture();
  }
}

}  // namespace zirvo
