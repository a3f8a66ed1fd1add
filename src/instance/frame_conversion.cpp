// CameraInstance's per-frame conversion: one consistent copy of the settings,
// the pipeline over the camera's bitmaps, the write-back of what it measured.
#include "instance/frame_conversion.h"

#include <new>

#include "device/model7730_device.h"
#include "display/frame_bitmap.h"
#include "instance/camera_instance.h"

namespace zirvo {
namespace {

// Automatic exposure's way to the sensor.
class DeviceExposureControl final : public ExposureControl {
 public:
  explicit DeviceExposureControl(Model7730Device& device) : device_(device) {}
  int GetGlobalGain() override { return device_.GetGlobalGain(); }
  int SetGlobalGain(int value) override { return device_.SetGlobalGain(value); }
  int GetExposure(int* value) override { return device_.GetExposure(value); }
  int SetExposure(int value) override { return device_.SetExposure(value); }

 private:
  Model7730Device& device_;
};

FrameSettings FrameSettingsOf(const InstanceSettings& settings, int32_t colorMode) {
  FrameSettings frame;
  frame.filter = settings.filter;
  frame.colorMode = colorMode;
  frame.autoIris = settings.analog.autoIris;
  return frame;
}

bool SameGains(const FilterSettings& a, const FilterSettings& b) {
  return a[kFilterGainRed] == b[kFilterGainRed] && a[kFilterGainGreen] == b[kFilterGainGreen] &&
         a[kFilterGainBlue] == b[kFilterGainBlue];
}

bool SameGrayGains(const FilterSettings& a, const FilterSettings& b) {
  for (int entry : {kFilterGrayGainR, kFilterGrayGainG1, kFilterGrayGainG2, kFilterGrayGainB})
    if (a[entry] != b[entry]) return false;
  return true;
}

bool SameWhiteBalanceSwitches(const FilterSettings& a, const FilterSettings& b) {
  for (int entry : {int{kFilterAutoWhiteBalance}, kFilterWhiteBalanceOnceFirst, kFilterWhiteBalanceOnceSecond})
    if (a[entry] != b[entry]) return false;
  return true;
}

bool SameAnalogGains(const AnalogSettings& a, const AnalogSettings& b) {
  return a.globalGain == b.globalGain && a.colorGainGreen1 == b.colorGainGreen1 &&
         a.colorGainRed == b.colorGainRed && a.colorGainBlue == b.colorGainBlue &&
         a.colorGainGreen2 == b.colorGainGreen2;
}

}  // namespace

void StoreFrameMeasurements(InstanceSettings& stored, const InstanceSettings& used,
                            const FrameMeasurements& measured) {
  FilterSettings& filter = stored.filter;
  if (measured.whiteBalanceMeasured && SameGains(filter, used.filter)) {
    filter[kFilterGainRed] = measured.whiteBalance.red;
    filter[kFilterGainGreen] = measured.whiteBalance.green;
    filter[kFilterGainBlue] = measured.whiteBalance.blue;
  }
  if (measured.whiteBalanceOnceDone && SameWhiteBalanceSwitches(filter, used.filter)) {
    filter[kFilterAutoWhiteBalance] = 0;
    filter[kFilterWhiteBalanceOnceFirst] = 0;
    filter[kFilterWhiteBalanceOnceSecond] = 0;
  }
  if (measured.grayGainsMeasured) {
    if (SameGrayGains(filter, used.filter)) {
      filter[kFilterGrayGainR] = measured.grayGains[0];
      filter[kFilterGrayGainG1] = measured.grayGains[1];
      filter[kFilterGrayGainG2] = measured.grayGains[2];
      filter[kFilterGrayGainB] = measured.grayGains[3];
    }
    if (filter[kFilterGrayGainCounter] == used.filter[kFilterGrayGainCounter])
      filter[kFilterGrayGainCounter] = measured.grayGainCounter;
  }
  const AutoIrisOutcome& iris = measured.autoIris;
  AnalogSettings& analog = stored.analog;
  if (iris.change == AutoIrisOutcome::Change::GlobalGain && SameAnalogGains(analog, used.analog)) {
    // The channel registers keep their values, as when a caller sets the
    // global gain: only the settings follow it.
    analog.globalGain = analog.colorGainGreen1 = analog.colorGainRed = analog.colorGainBlue =
        analog.colorGainGreen2 = iris.value;
  }
  if (iris.change == AutoIrisOutcome::Change::Exposure && analog.exposure == used.analog.exposure)
    analog.exposure = iris.value;
}

int CameraInstance::PrepareConversion(int colorMode) {
  FrameBitmap* output = OutputBitmapFor(
      ConversionBitmaps{Bitmap(kBitmapRaw8), Bitmap(kBitmapRaw16), Bitmap(kBitmap24),
                        Bitmap(kBitmap32), Bitmap(kBitmap48), Bitmap(kBitmap64), nullptr},
      colorMode);
  FrameBitmap* work = Bitmap(kBitmapWork);
  if (output == nullptr || work == nullptr) return 0;
  if (!pipeline_) {
    try {
      pipeline_ = std::make_unique<ConversionPipeline>(processor_);
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  // A window of rows for the sharpening, made once here rather than per frame.
  if (work->Create(output->Width(), pipeline_->WorkRows(*output), output->BitsPerPixel()) != 1) return 0;
  conversionColorMode_ = colorMode;
  return 1;
}

void CameraInstance::ConvertFrame(FrameBitmap* heldRaw8) {
  if (!pipeline_) return;
  const InstanceSettings used = settings_.Snapshot();
  const ConversionBitmaps bitmaps{heldRaw8 ? heldRaw8 : Bitmap(kBitmapRaw8), Bitmap(kBitmapRaw16), Bitmap(kBitmap24),
                                  Bitmap(kBitmap32),   Bitmap(kBitmap48),    Bitmap(kBitmap64),
                                  Bitmap(kBitmapWork)};
  FrameMeasurements measured;
  if (device_) {
    DeviceExposureControl exposure(*device_);
    measured = pipeline_->Convert(bitmaps, FrameSettingsOf(used, conversionColorMode_), &exposure);
  } else {
    measured = pipeline_->Convert(bitmaps, FrameSettingsOf(used, conversionColorMode_), nullptr);
  }
  if (measured.autoIris.errorCode != 0) RecordError(measured.autoIris.errorCode);

  const bool filterChanged = measured.whiteBalanceMeasured || measured.grayGainsMeasured ||
                             measured.whiteBalanceOnceDone;
  const bool exposureChanged = measured.autoIris.change != AutoIrisOutcome::Change::None;
  if (filterChanged || exposureChanged)
    settings_.Update([&](InstanceSettings& stored) { StoreFrameMeasurements(stored, used, measured); });
  if (measured.whiteBalanceMeasured || measured.grayGainsMeasured) RefreshFilterSheet();
  if (exposureChanged) RefreshExposureBoxes();
}

}  // namespace zirvo
