// Automatic exposure: region means, the factor and the one correction per frame.
#include "convert/auto_iris.h"

#include <algorithm>

#include "convert/mean_level.h"
#include "display/frame_bitmap.h"

namespace zirvo {
namespace {

// Region bounds as fractions of width and height: left, top, right, bottom.
constexpr double kRegions[5][4] = {
    {0.1, 0.1, 0.2, 0.2},     {0.1, 0.8, 0.2, 0.9}, {0.45, 0.45, 0.55, 0.55},
    {0.8, 0.1, 0.9, 0.2},     {0.8, 0.8, 0.9, 0.9},
};

int32_t Fraction(double fraction, int32_t size) {
  return static_cast<int32_t>(fraction * size);
}

double BaseFactor(int mean) {
  if (mean > 200) return 0.85;
  if (mean > 160) return 0.9;
  if (mean >= 100) return 1.0;
  if (mean >= 50) return 1.05;
  return 1.1;
}

double Adjustment(int mean) {
  if (mean > 200) return -0.15;
  if (mean > 160) return -0.1;
  if (mean >= 100) return 0.0;
  if (mean >= 50) return 0.05;
  return 0.1;
}

}  // namespace

bool MeasureIrisRegions(const FrameBitmap& raw, int (&means)[5], uint32_t usableFeatures) {
  RectangleKernel mean = nullptr;
  if (raw.BitsPerPixel() == 8) mean = MeanLevel8;
  if (raw.BitsPerPixel() == 16) mean = SelectMeanLevel16(usableFeatures);
  if (mean == nullptr || raw.Pixels() == nullptr) return false;
  // The mean kernel only reads; ApplyKernel wants a writable destination.
  auto& frame = const_cast<FrameBitmap&>(raw);
  for (int i = 0; i < 5; ++i) {
    const KernelRect region{Fraction(kRegions[i][0], raw.Width()), Fraction(kRegions[i][1], raw.Height()),
                            Fraction(kRegions[i][2], raw.Width()), Fraction(kRegions[i][3], raw.Height())};
    means[i] = frame.ApplyKernel(mean, raw, &region, region.left, region.top, nullptr, nullptr);
  }
  return true;
}

double AutoIrisFactor(const int (&means)[5]) {
  double factor = BaseFactor(means[0]);
  for (int i = 1; i < 5; ++i) factor += Adjustment(means[i]);
  return factor;
}

AutoIrisOutcome AutoIrisStep(const FrameBitmap* raw, int32_t mode, ExposureControl* control,
                             uint32_t usableFeatures) {
  AutoIrisOutcome outcome;
  if (mode != kAutoIrisModeExposure && mode != kAutoIrisModeGain) return outcome;
  int means[5] = {};
  if (raw == nullptr || control == nullptr || !MeasureIrisRegions(*raw, means, usableFeatures)) {
    outcome.errorCode = 9;
    return outcome;
  }
  outcome.result = 1;
  outcome.factor = AutoIrisFactor(means);
  if (InsideIrisDeadBand(outcome.factor)) return outcome;

  if (mode == kAutoIrisModeGain) {
    const int gain = control->GetGlobalGain() & 0xFFFF;
    const auto scaled = static_cast<int32_t>(gain * outcome.factor);
    const int32_t value = std::clamp(scaled, kAutoIrisGainMinimum, kAutoIrisGainMaximum);
    control->SetGlobalGain(value);
    outcome.change = AutoIrisOutcome::Change::GlobalGain;
    outcome.value = value;
    return outcome;
  }

  int exposure = 0;
  // An exposure never written cannot be scaled: jumping to the minimum would
  // black the picture out.
  if (control->GetExposure(&exposure) != 1) return outcome;
  const auto scaled = static_cast<int32_t>(exposure * outcome.factor) & 0xFFFF;
  const int32_t value = std::clamp(scaled, kAutoIrisExposureMinimum, kAutoIrisExposureMaximum);
  control->SetExposure(value);
  outcome.change = AutoIrisOutcome::Change::Exposure;
  outcome.value = value;
  return outcome;
}

}  // namespace zirvo
