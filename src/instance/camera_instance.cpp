// CameraInstance: start-up, names, camera information, colour mode and shut-down.
#include "instance/camera_instance.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <new>

#include "device/model7730_device.h"
#include "display/frame_bitmap.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "settings/settings_persistence.h"

namespace zirvo {
namespace {

constexpr const char* kDeviceNameBase = "Zirvo7730QX";
constexpr int kColorModeBits[] = {8, 16, 24, 32, 48, 64};
constexpr int kColorModeReportedBits[] = {8, 12, 24, 32, 44, 60};

constexpr int kRegisterGainGreen1 = 0x3056;
constexpr int kRegisterGainBlue = 0x3058;
constexpr int kRegisterGainRed = 0x305A;
constexpr int kRegisterGainGreen2 = 0x305C;

// The ranges the setters accept: a hand-edited store must not program more.
constexpr int kMaximumGain = 127;
constexpr int kMaximumExposure = 8192;

int32_t Clamp(int32_t value, int32_t maximum) { return std::clamp(value, 0, maximum); }

}  // namespace

int ColorModeCodeForBits(int bitsPerPixel) {
  for (int code = 0; code < 6; ++code)
    if (kColorModeBits[code] == bitsPerPixel) return code;
  return -1;
}

int ReportedBitsForColorMode(int code) {
  return code >= 0 && code < 6 ? kColorModeReportedBits[code] : -1;
}

bool IsValidCaptureWindow(const CameraSizeSettings& window, int subSampleMode) {
  if (window.width < 0 || window.height < 0 || window.left < 0 || window.top < 0) return false;
  if (window.width > kSensorWidth || window.left > kSensorWidth) return false;
  if (window.height > kSensorHeight || window.top > kSensorHeight) return false;
  // Both parts are at most the sensor size here, so the sums cannot overflow.
  if (window.left + window.width > kSensorWidth) return false;
  if (window.top + window.height > kSensorHeight) return false;
  return subSampleMode >= 0 && subSampleMode <= 20;
}

CameraInstance::CameraInstance() : rateUpdateTime_(platform::TimeGetTime()) {}

CameraInstance::~CameraInstance() {
  // Stopped before saving: a running capture thread may still change the
  // exposure (automatic exposure) while the analog settings are written.
  Close();
  // Workers that outlived the bounded stop end here, before what they use goes.
  ReapWorkers();
  SaveSettings();
  device_.reset();
  for (std::unique_ptr<FrameBitmap>& bitmap : bitmaps_) bitmap.reset();
}

void CameraInstance::SaveSettings() noexcept {
  // Settings that were never loaded hold construction values: saving them
  // would overwrite the user's stored ones with zeros.
  if (!settingsLoaded_) return;
  try {
    const InstanceSettings settings = settings_.Snapshot();
    saveAnalog(device_->GetDeviceIndex(), settings.analog);
    saveFilter(settings.filter);
    saveGray(settings.filter);
  } catch (...) {
    // Shutting down without memory: the stored settings stay as they were.
  }
}

int CameraInstance::Initialize(platform::WindowHandle notificationWindow) {
  DetectProcessor(&processor_);
  bool complete = CreateDevice();
  complete = CreateBitmaps() && complete;
  errors_.SetNotificationWindow(notificationWindow);
  if (!complete) {
    RecordError(kErrorMemory);
    return 0;
  }
  LoadAndProgramCaptureWindow();
  FilterSettings filter = settings_.Filter();
  loadFilter(filter);
  loadGray(filter);
  settings_.Update([&](InstanceSettings& s) { s.filter = filter; });
  LoadAndProgramAnalog();
  settingsLoaded_ = true;
  VideoFormatSettings videoFormat = settings_.VideoFormat();
  loadVideoFormat(videoFormat, errors_);
  settings_.Update([&](InstanceSettings& s) { s.videoFormat = videoFormat; });
  return 1;
}

bool CameraInstance::CreateDevice() {
  try {
    device_ = std::make_unique<Model7730Device>();
  } catch (const std::bad_alloc&) {
    device_.reset();
  }
  return device_ != nullptr;
}

bool CameraInstance::CreateBitmaps() {
  bool complete = true;
  for (std::unique_ptr<FrameBitmap>& bitmap : bitmaps_) {
    try {
      bitmap = std::make_unique<FrameBitmap>();
    } catch (const std::bad_alloc&) {
      complete = false;
    }
  }
  return complete;
}

void CameraInstance::LoadAndProgramCaptureWindow() {
  CameraSizeSettings window = settings_.CaptureWindow();
  const int subSampleMode = settings_.VideoFormat().subSampleMode;
  loadCameraSize(window, errors_);
  if (!IsValidCaptureWindow(window, subSampleMode)) {
    RecordError(kErrorCaptureWindow);
    window.totalWidth = window.width = kSensorWidth;
    window.totalHeight = window.height = kSensorHeight;
    window.left = window.top = 0;
  }
  settings_.Update([&](InstanceSettings& s) { s.captureWindow = window; });
  device_->SetCaptureWindow(window.left, window.top, window.width, window.height, subSampleMode);
  previewRectangle_ = PreviewRectangle{0, 0, window.width, window.height};
}

void CameraInstance::LoadAndProgramAnalog() {
  AnalogSettings analog = settings_.Analog();
  loadAnalog(device_->GetDeviceIndex(), analog);
  for (int32_t* gain : {&analog.globalGain, &analog.colorGainGreen1, &analog.colorGainRed,
                        &analog.colorGainBlue, &analog.colorGainGreen2})
    *gain = Clamp(*gain, kMaximumGain);
  analog.exposure = Clamp(analog.exposure, kMaximumExposure);
  settings_.Update([&](InstanceSettings& s) { s.analog = analog; });
  device_->SetGlobalGain(analog.globalGain);
  device_->SetChannelGain(kRegisterGainGreen1, analog.colorGainGreen1);
  device_->SetChannelGain(kRegisterGainRed, analog.colorGainRed);
  device_->SetChannelGain(kRegisterGainBlue, analog.colorGainBlue);
  device_->SetChannelGain(kRegisterGainGreen2, analog.colorGainGreen2);
  device_->SetExposure(analog.exposure);
  device_->SetMirrorV(analog.mirrorVertical);
  device_->SetMirrorH(analog.mirrorHorizontal);
  device_->SetTimeout(deviceTimeout_);
}

void CameraInstance::SetDialogRefresh(DialogRefresh* refresh) {
  std::lock_guard lock(dialogRefreshLock_);
  dialogRefresh_ = refresh;
}

// Held across the call so a dialog cannot unregister and go away meanwhile;
// the call only posts to the dialog's thread.
void CameraInstance::RefreshFilterSheet() {
  std::lock_guard lock(dialogRefreshLock_);
  if (dialogRefresh_) dialogRefresh_->RefreshFilterSheet();
}

void CameraInstance::RefreshExposureBoxes() {
  std::lock_guard lock(dialogRefreshLock_);
  if (dialogRefresh_) dialogRefresh_->RefreshExposureBoxes();
}

int CameraInstance::Close() {
  DestroyPreviewWindow();
  exposureDisplay_.flag = 0;
  StopPreview();
  return 1;
}

void CameraInstance::DestroyPreviewWindow() {
  previewWindow_.Destroy();
}

bool CameraInstance::CheckDevice() {
  if (device_) return true;
  RecordError(kErrorNoDevice);
  return false;
}

int CameraInstance::SetDeviceNumber(int deviceNumber) {
  if (!CheckDevice()) return 0;
  if (!device_->IsValidDeviceIndex(deviceNumber) || device_->SelectDevice(deviceNumber) != 0) {
    RecordError(kErrorDeviceNumber);
    return 0;
  }
  return 1;
}

std::string CameraInstance::DeviceName(int number) {
  char name[kDeviceNameEntry];
  std::snprintf(name, sizeof name, "%s_%02d", kDeviceNameBase, number);
  return name;
}

int CameraInstance::EnumDevice(char* names) {
  if (!CheckDevice()) return 0;
  if (!names) {
    RecordError(kErrorArgument);
    return 0;
  }
  int written = 0;
  for (int i = 0; i < device_->GetDeviceCount(); ++i) {
    if (!device_->IsValidDeviceIndex(i)) continue;
    ++written;
    std::snprintf(names + (written - 1) * kDeviceNameEntry, kDeviceNameEntry, "%s",
                  DeviceName(written).c_str());
  }
  for (int i = written; i < kDeviceNameTableMinimum; ++i) names[i * kDeviceNameEntry] = '\0';
  return written;
}

int CameraInstance::EnumDeviceW(wchar_t* names) {
  if (!CheckDevice()) return 0;
  std::wstring base;
  if (!names || !platform::MultiByteToWide(kDeviceNameBase, base)) {
    RecordError(names ? kErrorDeviceNumber : kErrorArgument);
    return 0;
  }
  int written = 0;
  for (int i = 0; i < device_->GetDeviceCount(); ++i) {
    if (!device_->IsValidDeviceIndex(i)) continue;
    ++written;
    std::swprintf(names + (written - 1) * kDeviceNameEntry, kDeviceNameEntry, L"%ls_%02d", base.c_str(),
                  written);
  }
  for (int i = written; i < kDeviceNameTableMinimum; ++i) names[i * kDeviceNameEntry] = L'\0';
  return written;
}

int CameraInstance::GetDeviceName(int deviceNumber, char* name, int size) {
  if (!CheckDevice()) return 0;
  if (!name || size < kMinimumDeviceNameSize || deviceNumber < 0 ||
      deviceNumber >= device_->GetDeviceCount()) {
    RecordError(kErrorArgument);
    return 0;
  }
  if (!device_->IsValidDeviceIndex(deviceNumber)) {
    RecordError(kErrorDeviceNumber);
    return 0;
  }
  std::snprintf(name, static_cast<std::size_t>(size), "%s", DeviceName(deviceNumber + 1).c_str());
  return 1;
}

int CameraInstance::GetDeviceNameW(int deviceNumber, wchar_t* name, int size) {
  if (!CheckDevice()) return 0;
  if (!name || size < kMinimumDeviceNameSize || deviceNumber < 0 ||
      deviceNumber >= device_->GetDeviceCount()) {
    RecordError(kErrorArgument);
    return 0;
  }
  std::wstring wide;
  if (!device_->IsValidDeviceIndex(deviceNumber) || !platform::MultiByteToWide(DeviceName(deviceNumber + 1), wide)) {
    RecordError(kErrorDeviceNumber);
    return 0;
  }
  std::swprintf(name, static_cast<std::size_t>(size), L"%ls", wide.c_str());
  return 1;
}

int CameraInstance::GetCameraInfo(CameraInfo* info) {
  if (!CheckDevice()) return 0;
  if (!info) {
    RecordError(kErrorArgument);
    return 0;
  }
  if (static_cast<uint32_t>(info->recordSize) < sizeof(CameraInfo)) {
    RecordError(kErrorMemory);
    return 0;
  }
  info->maxWidth = kSensorWidth;
  info->maxHeight = kSensorHeight;
  info->gainMin = 1;
  info->gainMax = 125;
  info->colorGainMin = 1;
  info->colorGainMax = 125;
  info->exposureMin = 1;
  info->exposureMax = 8191;
  return 1;
}

int CameraInstance::SetColorMode(int bitsPerPixel) {
  int code = ColorModeCodeForBits(bitsPerPixel);
  if (code < 0) {
    RecordError(kErrorArgument);
    return 0;
  }
  settings_.Update([code](InstanceSettings& s) { s.videoFormat.colorMode = code; });
  return 1;
}

int CameraInstance::GetColorMode() const {
  return ReportedBitsForColorMode(settings_.VideoFormat().colorMode);
}

}  // namespace zirvo
