// Automatic exposure: five regions of the raw frame measured, the global gain
// or the exposure scaled by one factor per frame.
#pragma once

#include <cstdint>

namespace zirvo {

class FrameBitmap;

// The device writes automatic exposure needs. The camera implements it over
// its device; tests over a simulated sensor.
class ExposureControl {
 public:
  virtual ~ExposureControl() = default;
  // Last global gain written, 16 bits; 0 when none was written yet.
  virtual int GetGlobalGain() = 0;
  virtual int SetGlobalGain(int value) = 0;
  // 1 and the last exposure written, or 0 when none was written yet.
  virtual int GetExposure(int* value) = 0;
  virtual int SetExposure(int value) = 0;
};

// Automatic exposure modes (AnalogSettings::autoIris); anything else is off.
inline constexpr int32_t kAutoIrisModeExposure = 1;
inline constexpr int32_t kAutoIrisModeGain = 2;

inline constexpr int kAutoIrisGainMinimum = 1;
inline constexpr int kAutoIrisGainMaximum = 125;
inline constexpr int kAutoIrisExposureMinimum = 1;
inline constexpr int kAutoIrisExposureMaximum = 8191;

struct AutoIrisOutcome {
  enum class Change { None, GlobalGain, Exposure };
  int result = 0;     // 1 the step ran (whether or not it changed anything), 0 it did not
  int errorCode = 0;  // to record: 9 without a raw frame or a device; 0 nothing
  Change change = Change::None;
  int32_t value = 0;  // the new gain or exposure, written to the device already
  double factor = 1.0;
};

// The five region means of `raw` (8- or 16-bit samples; 16-bit ones count
// bits 2-9) in region order; false for a bitmap of another depth or without
// pixels. `usableFeatures` (ProcessorFeature bits) picks the mean kernel.
bool MeasureIrisRegions(const FrameBitmap& raw, int (&means)[5], uint32_t usableFeatures = 0);

// The correction factor of five region means, in double precision.
double AutoIrisFactor(const int (&means)[5]);

// True when a factor is close enough to 1 to leave the sensor alone.
inline bool InsideIrisDeadBand(double factor) { return factor > 0.6 && factor < 1.2; }

// One step: off (`mode` neither 1 nor 2) does nothing and asks for no error.
// Otherwise measures `raw` and, outside the dead band, scales the global
// gain (mode 2, limited to 1..125) or the exposure (mode 1, 1..8191)
// through `control`.
AutoIrisOutcome AutoIrisStep(const FrameBitmap* raw, int32_t mode, ExposureControl* control,
                             uint32_t usableFeatures = 0);

}  // namespace zirvo
