// GrayFilterPage: gain and offset of each Bayer channel, filter mode,
// automatic gain and Bayer phase of the monochrome colour modes.
#pragma once

#include <array>

#include "settings/dialogs/slider_page.h"

namespace zirvo {

inline constexpr std::array<int, 3> kFilterModeRadioIds{1046, 1047, 1048};
inline constexpr int kFilterAutoGrayGain = 29;

class GrayFilterPage : public SliderPage {
 public:
  explicit GrayFilterPage(DialogCamera& camera);

  // OK: the eight edits into entries 12 to 19.
  void ReadEdits();
  // Trackbars and edits from entries 12 to 19.
  void ReloadRows();
  // The Bayer radio button of entry 9 (the image page may have changed it).
  void ReloadBayerPhase();

 protected:
  // Row i edits entry 12 + i.
  void RowChanged(int index, int value) override { Store(kFilterGrayGainR + index, value); }
  void OnClicked(int id) override;

 private:
  int EntryOf(const SliderRow& row) const;
  void Store(int entry, int value);
};

}  // namespace zirvo
