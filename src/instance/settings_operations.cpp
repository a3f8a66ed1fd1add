// The camera instance's settings operations: filter values by id, mirrors,
// capture and preview windows, exposure time, registers, serial ROM, I/O port
// and the simple stores.
#include "instance/settings_operations.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ZirvoSdk_USB3_7730QX.h"
#include "device/model7730_device.h"
#include "instance/camera_instance.h"
#include "settings/settings_persistence.h"

namespace zirvo {
namespace {

struct FilterRange {
  int32_t minimum;
  int32_t maximum;
};

constexpr int32_t kAnyValue = std::numeric_limits<int32_t>::max();

// Indexed by filter id; ids 6 and 10 take any value.
constexpr FilterRange kFilterRanges[kLastFilterId + 1] = {
    {0, -1},                     // no id 0
    {-255, 255},                 // brightness
    {-127, 127},                 // contrast
    {-360, 360},                 // hue
    {-255, 255},                 // saturation
    {0, 30},                     // sharpness
    {-kAnyValue - 1, kAnyValue}, // packed white-balance gains
    {0, 400},                    // red gain
    {0, 400},                    // green gain
    {0, 400},                    // blue gain
    {-kAnyValue - 1, kAnyValue}, // automatic white balance
    {0, 200},                    // gamma
    {0, 3},                      // Bayer mode
    {0, 127},                    // global gain
    {0, 127},                    // colour gain red
    {0, 127},                    // colour gain green 1
    {0, 127},                    // colour gain green 2
    {0, 127},                    // colour gain blue
    {0, 8192},                   // exposure
    {0, 2},                      // gray mode
    {0, 255},                    // gray gains
    {0, 255},
    {0, 255},
    {0, 255},
    {-255, 255},                 // gray offsets
    {-255, 255},
    {-255, 255},
    {-255, 255},
};

// Where the ids that only store a value keep it in the filter settings.
int FilterEntryOf(int id) {
  switch (id) {
    case ZIRVO_FILTER_BRIGHTNESS: return kFilterBrightness;
    case ZIRVO_FILTER_CONTRAST: return kFilterContrast;
    case ZIRVO_FILTER_HUE: return kFilterHue;
    case ZIRVO_FILTER_SATURATION: return kFilterSaturation;
    case ZIRVO_FILTER_SHARPNESS: return kFilterSharpness;
    case ZIRVO_FILTER_BAYER_GAIN_RED: return kFilterGainRed;
    case ZIRVO_FILTER_BAYER_GAIN_GREEN: return kFilterGainGreen;
    case ZIRVO_FILTER_BAYER_GAIN_BLUE: return kFilterGainBlue;
    case ZIRVO_FILTER_BAYER_GAIN_AUTO: return kFilterAutoWhiteBalance;
    case ZIRVO_FILTER_GAMMA: return kFilterGamma;
    case ZIRVO_FILTER_BAYER_MODE: return kFilterBayerMode;
    case ZIRVO_FILTER_GRAY_MODE: return kFilterGrayMode;
    default:
      if (id >= ZIRVO_FILTER_GRAY_GAIN_R && id <= ZIRVO_FILTER_GRAY_OFFSET_B)
        return kFilterGrayGainR + (id - ZIRVO_FILTER_GRAY_GAIN_R);
      return -1;
  }
}

// The analog field and sensor register behind ids 14 to 17.
struct ChannelGain {
  int32_t AnalogSettings::*field;
  int sensorRegister;
};

ChannelGain ChannelGainOf(int id) {
  switch (id) {
    case ZIRVO_FILTER_COLOR_GAIN_RED: return {&AnalogSettings::colorGainRed, kChannelGainRegisterRed};
    case ZIRVO_FILTER_COLOR_GAIN_GREEN1: return {&AnalogSettings::colorGainGreen1, kChannelGainRegisterGreen1};
    case ZIRVO_FILTER_COLOR_GAIN_GREEN2: return {&AnalogSettings::colorGainGreen2, kChannelGainRegisterGreen2};
    default: return {&AnalogSettings::colorGainBlue, kChannelGainRegisterBlue};
  }
}

bool IsChannelGainId(int id) { return id >= ZIRVO_FILTER_COLOR_GAIN_RED && id <= ZIRVO_FILTER_COLOR_GAIN_BLUE; }

int32_t PackedWhiteBalanceGains(const FilterSettings& filter) {
  return (filter[kFilterGainRed] & 0xFF) | (filter[kFilterGainGreen] & 0xFF) << 8 |
         (filter[kFilterGainBlue] & 0xFF) << 16;
}

constexpr uint8_t kPortOutputBit = 0x40;
constexpr int kOutputFlag = 4;

void WriteIfNotNull(int* pointer, int value) {
  if (pointer) *pointer = value;
}

}  // namespace

// --- Rules -------------------------------------------------------------------

bool IsFilterId(int id) { return id >= kFirstFilterId && id <= kLastFilterId; }

bool FilterIdAcceptsValue(int id, int value) {
  if (!IsFilterId(id)) return false;
  const FilterRange range = kFilterRanges[id];
  return value >= range.minimum && value <= range.maximum;
}

int32_t FlipBayerRows(int32_t bayerMode) {
  return bayerMode >= 0 && bayerMode <= 3 ? bayerMode ^ 1 : bayerMode;
}

int32_t FlipBayerColumns(int32_t bayerMode) {
  return bayerMode >= 0 && bayerMode <= 3 ? bayerMode ^ 2 : bayerMode;
}

int32_t ExposureLineLength(int32_t width, int32_t subSampleMode) {
  const int64_t wide = width;
  int64_t length;
  if (subSampleMode == 1) {
    length = (wide + 313) / 2;
  } else if (subSampleMode == 2) {
    const int64_t quarter = (wide + 1) / 4;
    length = quarter < 1224 ? 1302 : quarter + 78;
  } else {
    length = wide < 1224 ? 1536 : wide + 312;
  }
  return static_cast<int32_t>(std::clamp<int64_t>(length, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int32_t RealExposureMicroseconds(int32_t lineLength, int32_t exposure) {
  const double product = static_cast<double>(static_cast<int64_t>(lineLength) * exposure);
  const double microseconds = std::trunc(product * kPixelClockPeriodMicroseconds);
  return static_cast<int32_t>(std::clamp(microseconds, double(std::numeric_limits<int32_t>::min()),
                                         double(std::numeric_limits<int32_t>::max())));
}

uint8_t PortByteWithOutput(uint8_t port, int flags) {
  return (flags & kOutputFlag) ? uint8_t(port | kPortOutputBit) : uint8_t(port & ~kPortOutputBit);
}

uint8_t PortInputBits(uint8_t port) { return uint8_t((port >> 3) & 3); }

int ReportedSubSampleMode(int32_t stored) {
  if (stored == 16) return 1;
  if (stored == 17) return 2;
  return stored;
}

// --- Filter values -----------------------------------------------------------

int CameraInstance::SetFilterValue(int id, int value) {
  if (!CheckDevice()) return 0;
  if (!FilterIdAcceptsValue(id, value)) {
    RecordError(kErrorArgument);
    return 0;
  }
  switch (id) {
    case ZIRVO_FILTER_BAYER_GAIN_RGB:
      settings_.Update([&](InstanceSettings& s) {
        s.filter[kFilterGainRed] = value & 0xFF;
        s.filter[kFilterGainGreen] = (value >> 8) & 0xFF;
        s.filter[kFilterGainBlue] = (value >> 16) & 0xFF;
      });
      break;
    case ZIRVO_FILTER_BAYER_GAIN_AUTO:
      settings_.Update([&](InstanceSettings& s) { s.filter[kFilterAutoWhiteBalance] = value != 0 ? 1 : 0; });
      break;
    case ZIRVO_FILTER_GLOBAL_GAIN:
      settings_.Update([&](InstanceSettings& s) {
        s.analog.globalGain = s.analog.colorGainGreen1 = s.analog.colorGainRed = s.analog.colorGainBlue =
            s.analog.colorGainGreen2 = value;
      });
      device_->SetGlobalGain(value);
      break;
    case ZIRVO_FILTER_EXPOSURE_TIME:
      settings_.Update([&](InstanceSettings& s) { s.analog.exposure = value; });
      device_->SetExposure(value);
      break;
    default:
      if (IsChannelGainId(id)) {
        const ChannelGain gain = ChannelGainOf(id);
        settings_.Update([&](InstanceSettings& s) { s.analog.*gain.field = value; });
        device_->SetChannelGain(gain.sensorRegister, value);
      } else {
        const int entry = FilterEntryOf(id);
        settings_.Update([&](InstanceSettings& s) { s.filter[entry] = value; });
      }
      break;
  }
  return 1;
}

int CameraInstance::GetFilterValue(int id, int* ok) {
  if (!CheckDevice()) {
    WriteIfNotNull(ok, 0);
    return 0;
  }
  if (!IsFilterId(id)) {
    WriteIfNotNull(ok, 0);
    RecordError(kErrorArgument);
    return 0;
  }
  WriteIfNotNull(ok, 1);
  switch (id) {
    case ZIRVO_FILTER_BAYER_GAIN_RGB:
      return PackedWhiteBalanceGains(settings_.Filter());
    case ZIRVO_FILTER_GLOBAL_GAIN:
      return device_->GetGlobalGain() & 0xFFFF;
    case ZIRVO_FILTER_EXPOSURE_TIME: {
      // Before the sensor was given an exposure, the one it is to be given.
      int exposure = 0;
      if (device_->GetExposure(&exposure) == 1) return exposure;
      return settings_.Analog().exposure;
    }
    default:
      if (IsChannelGainId(id)) {
        const ChannelGain gain = ChannelGainOf(id);
        uint16_t written = 0;
        if (device_->GetChannelGain(gain.sensorRegister, &written) == 1) return written;
        return settings_.Analog().*gain.field;
      }
      return settings_.Filter()[FilterEntryOf(id)];
  }
}

// --- Mirrors -----------------------------------------------------------------

int CameraInstance::SetMirrorV(int flag) {
  if (!CheckDevice()) return 0;
  const int32_t mirror = flag != 0 ? 1 : 0;
  settings_.Update([&](InstanceSettings& s) {
    s.filter[kFilterBayerMode] = FlipBayerRows(s.filter[kFilterBayerMode]);
    s.analog.mirrorVertical = mirror;
  });
  return device_->SetMirrorV(mirror) == 0 ? 1 : 0;
}

int CameraInstance::GetMirrorV() {
  if (!CheckDevice()) return 0;
  return device_->GetMirrorV();
}

int CameraInstance::SetMirrorH(int flag) {
  if (!CheckDevice()) return 0;
  const int32_t mirror = flag != 0 ? 1 : 0;
  // The capture thread mirrors each frame itself: the sensor is not told.
  settings_.Update([&](InstanceSettings& s) {
    s.analog.mirrorHorizontal = mirror;
    s.filter[kFilterBayerMode] = FlipBayerColumns(s.filter[kFilterBayerMode]);
  });
  return 1;
}

int CameraInstance::GetMirrorH() {
  if (!CheckDevice()) return 0;
  return settings_.Analog().mirrorHorizontal;
}

// --- Capture and preview windows --------------------------------------------

int CameraInstance::SetCaptureWindow(int width, int height) {
  if (!CheckDevice()) return 0;
  CameraSizeSettings window = settings_.CaptureWindow();
  if (findPreset(width, height, window, errors_) != 1) return 0;
  const int subSampleMode = settings_.VideoFormat().subSampleMode;
  if (!IsValidCaptureWindow(window, subSampleMode)) {
    RecordError(kErrorCaptureWindow);
    window.totalWidth = window.width = kSensorWidth;
    window.totalHeight = window.height = kSensorHeight;
    window.left = window.top = 0;
  }
  StoreCaptureWindow(window);
  ProgramCaptureWindow(window, subSampleMode);
  return 1;
}

int CameraInstance::SetCaptureWindowEx(int totalWidth, int left, int width, int totalHeight, int top,
                                       int height) {
  if (!CheckDevice()) return 0;
  CameraSizeSettings window = settings_.CaptureWindow();
  window.totalWidth = totalWidth;
  window.left = left;
  window.width = width;
  window.totalHeight = totalHeight;
  window.top = top;
  window.height = height;
  // Kept even when invalid: the next start refuses it until it is mended.
  StoreCaptureWindow(window);
  const int subSampleMode = settings_.VideoFormat().subSampleMode;
  if (!IsValidCaptureWindow(window, subSampleMode)) {
    RecordError(kErrorCaptureWindow);
    return 0;
  }
  ProgramCaptureWindow(window, subSampleMode);
  return 1;
}

void CameraInstance::StoreCaptureWindow(const CameraSizeSettings& window) {
  const bool changed = settings_.Update([&](InstanceSettings& s) {
    const bool different = !(s.captureWindow == window);
    s.captureWindow = window;
    return different;
  });
  if (changed) captureWindowGeneration_.fetch_add(1);
}

void CameraInstance::ProgramCaptureWindow(const CameraSizeSettings& window, int subSampleMode) {
  if (device_->SetCaptureWindow(window.left, window.top, window.width, window.height, subSampleMode) !=
      DiskCameraDevice::kStarted)
    return;
  // A new window leaves the sensor unflipped; the vertical mirror stays as set.
  device_->SetMirrorV(settings_.Analog().mirrorVertical);
}

int CameraInstance::GetCaptureWindowEx(int* totalWidth, int* left, int* width, int* totalHeight, int* top,
                                       int* height) const {
  const CameraSizeSettings window = settings_.CaptureWindow();
  WriteIfNotNull(totalWidth, window.totalWidth);
  WriteIfNotNull(left, window.left);
  WriteIfNotNull(width, window.width);
  WriteIfNotNull(totalHeight, window.totalHeight);
  WriteIfNotNull(top, window.top);
  WriteIfNotNull(height, window.height);
  return 1;
}

int CameraInstance::Width() const { return settings_.CaptureWindow().width; }

int CameraInstance::Height() const { return settings_.CaptureWindow().height; }

int CameraInstance::SetPreviewWindow(platform::WindowHandle parent, const PreviewRectangle* rectangle) {
  if (!CheckDevice()) return 0;
  previewParent_ = parent;
  if (rectangle) previewRectangle_ = *rectangle;
  return 1;
}

// --- Exposure time -----------------------------------------------------------

int CameraInstance::GetRealExposureTime(int* ok) {
  const InstanceSettings settings = settings_.Snapshot();
  const int32_t lineLength = ExposureLineLength(settings.captureWindow.width, settings.videoFormat.subSampleMode);
  exposureDisplay_.pixelClockPeriodMicroseconds = kPixelClockPeriodMicroseconds;
  exposureDisplay_.lineLength = static_cast<uint16_t>(lineLength);
  exposureDisplay_.realExposure = RealExposureMicroseconds(lineLength, settings.analog.exposure);
  WriteIfNotNull(ok, 1);
  return exposureDisplay_.realExposure;
}

int CameraInstance::NotSupported() {
  RecordError(kErrorNotSupported);
  return 0;
}

// --- Registers, serial ROM, I/O port ----------------------------------------

int CameraInstance::WriteRegister(int address, int value) {
  if (!CheckDevice()) return 0;
  if (device_->WriteSensorRegister(address, value) != 1) {
    RecordError(kErrorCommand);
    return 0;
  }
  return 1;
}

int CameraInstance::ReadRegister(int address, int* ok) {
  if (!CheckDevice()) {
    WriteIfNotNull(ok, 0);
    return 0;
  }
  uint16_t value = 0;
  if (device_->ReadSensorRegister(address, &value) != 1) {
    WriteIfNotNull(ok, 0);
    RecordError(kErrorCommand);
    return 0;
  }
  WriteIfNotNull(ok, 1);
  return value;
}

int CameraInstance::ReadSromID(int address, int* ok) {
  uint8_t value = 0;
  if (!device_ || device_->ReadSromId(address, &value) == 0) {
    WriteIfNotNull(ok, 0);
    RecordError(kErrorNoDevice);
    return 0;
  }
  WriteIfNotNull(ok, 1);
  return value;
}

int CameraInstance::WriteSromID(int address, int value) {
  if (!device_ || device_->WriteSromId(address, value) == 0) {
    RecordError(kErrorNoDevice);
    return 0;
  }
  return 1;
}

int CameraInstance::SetIOPort(int flags) {
  if (!CheckDevice()) return 0;
  // A port that cannot be read is taken as all lines off.
  uint8_t port = 0;
  device_->GetIoPort(&port);
  return device_->SetIoPort(PortByteWithOutput(port, flags));
}

int CameraInstance::GetIOPort(unsigned char* out) {
  if (!CheckDevice()) return 0;
  if (!out) {
    RecordError(kErrorArgument);
    return 0;
  }
  uint8_t port = 0;
  device_->GetIoPort(&port);
  *out = PortInputBits(port);
  return 1;
}

// --- Simple stores -----------------------------------------------------------

int CameraInstance::SetSubSample(int mode) {
  if (mode < 0 || mode > kLargestSubSampleMode) return 0;
  const bool changed = settings_.Update([&](InstanceSettings& s) {
    const bool different = s.videoFormat.subSampleMode != mode;
    s.videoFormat.subSampleMode = mode;
    return different;
  });
  if (changed) captureWindowGeneration_.fetch_add(1);
  return 1;
}

int CameraInstance::GetSubSample() const { return ReportedSubSampleMode(settings_.VideoFormat().subSampleMode); }

int CameraInstance::SetWaitTime(int milliseconds) {
  if (milliseconds < 0) return 0;
  settings_.Update([&](InstanceSettings& s) { s.videoFormat.waitTime = milliseconds; });
  return 1;
}

int CameraInstance::GetWaitTime() const { return settings_.VideoFormat().waitTime; }

int CameraInstance::SetHalfClock(int value) {
  if (value < 0 || value > kLargestHalfClock) {
    RecordError(kErrorArgument);
    return 0;
  }
  settings_.Update([&](InstanceSettings& s) { s.videoFormat.halfClock = value; });
  return 1;
}

int CameraInstance::GetHalfClock() const { return settings_.VideoFormat().halfClock; }

int CameraInstance::SetAutoIris(int mode) {
  if (mode < 0 || mode > kLargestAutoIris) {
    RecordError(kErrorArgument);
    return 0;
  }
  settings_.Update([&](InstanceSettings& s) { s.analog.autoIris = mode; });
  return 1;
}

int CameraInstance::GetAutoIris(int* ok) const {
  WriteIfNotNull(ok, 1);
  return settings_.Analog().autoIris;
}

}  // namespace zirvo
