// ImageFilterPage: brightness to gamma, automatic white balance and Bayer
// phase, written into the camera's live filter entries as the user moves them.
#pragma once

#include <array>

#include "settings/dialogs/slider_page.h"

namespace zirvo {

inline constexpr int kIdOnce = 2074;
inline constexpr int kIdAllFrames = 1035;
inline constexpr std::array<int, 4> kBayerRadioIds{1029, 1031, 1032, 1033};

// Which parts of the filter sheet a colour mode offers.
struct ImageFilterEnables {
  std::array<bool, 9> rows{};       // Brightness … Gamma
  bool whiteBalanceAndBayer = false;  // 2074, 1035 and the Bayer radio buttons
  bool grayTab = false;

  static ImageFilterEnables ForColorMode(int colorMode);
};

// The Bayer radio buttons of a page: added to `form`, checked from entry 9.
void AddBayerRadios(FormBase& form, int x, int y, int spacing);
void ShowBayerPhase(FormBase& form, int phase);
// The phase of the checked radio button, or -1 when none is checked.
int CheckedBayerPhase(const FormBase& form);

class ImageFilterPage : public SliderPage {
 public:
  ImageFilterPage(DialogCamera& camera, const ImageFilterEnables& enables);

  // OK: the nine edits and the checked Bayer phase into the entries.
  void ReadEdits();
  // Trackbars and edits from entries 0 to 8, the Bayer radio of entry 9.
  void Reload();

 protected:
  // Row i edits entry i.
  void RowChanged(int index, int value) override { Store(index, value); }
  void OnClicked(int id) override;

 private:
  void Store(int entry, int value);
};

}  // namespace zirvo
