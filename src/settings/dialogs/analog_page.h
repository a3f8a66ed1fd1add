// AnalogPage: global and colour gains, exposure with its time, automatic iris
// and mirrors, each sent to the camera as the user changes it.
#pragma once

#include <string>

#include "settings/dialogs/slider_page.h"

namespace zirvo {

inline constexpr int kIdGlobalGainEdit = 1015;
inline constexpr int kIdExposureEdit = 1027;
inline constexpr int kIdExposureTime = 1049;
inline constexpr int kIdMirrorV = 1028;
inline constexpr int kIdMirrorH = 1030;
inline constexpr int kIdIrisGain = 1036;
inline constexpr int kIdIrisExposure = 1037;

// "=%.2fms" of (line length × exposure + frame length) × pixel period.
std::string ExposureTimeText(const ExposureTiming& timing, int exposure);

class AnalogPage : public SliderPage {
 public:
  AnalogPage(DialogCamera& camera, DialogLanguage language);

  // OK: edits 1015 … 1027 into Global … Exposure.
  void ReadEdits();
  // Trackbars, edits and the exposure time from the analog record.
  void Reload();

 protected:
  // Rows: Global, G1, R, B, G2, Exposure.
  void RowChanged(int index, int value) override;
  void OnClicked(int id) override;

 private:
  void ShowExposureTime();
};

}  // namespace zirvo
