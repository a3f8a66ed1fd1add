// GrayFilterPage: gain and offset of each Bayer channel, filter mode,
// automatic gain and Bayer phase of the monochrome colour modes.
#pragma once

#include <array>
#include <vector>

#include "settings/dialogs/dialog_camera.h"
#include "settings/dialogs/slider_row.h"

namespace zirvo {

inline constexpr std::array<int, 3> kFilterModeRadioIds{1046, 1047, 1048};
inline constexpr int kFilterAutoGrayGain = 29;

class GrayFilterPage : public FormBase {
 public:
  explicit GrayFilterPage(DialogCamera& camera);


  // OK: the eight edits into entries 12 to 19.
  void ReadEdits();
  // Trackbars and edits from entries 12 to 19.
  void ReloadRows();
  // The Bayer radio button of entry 9 (the image page may have changed it).
  void ReloadBayerPhase();

 protected:
  void OnEditChanged(int id) override;
  void OnTrackbarMoved(int id) override;
  void OnClicked(int id) override;

 private:
  SliderRow* RowOf(int id);
  int EntryOf(const SliderRow& row) const;
  void Store(int entry, int value);

  DialogCamera& camera_;
  std::vector<SliderRow> rows_;  // row i edits entry 12 + i
  bool opened_ = false;
};

}  // namespace zirvo
