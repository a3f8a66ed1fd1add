// SliderRow: a trackbar, an edit box and an up-down control bound to one value.
#pragma once

#include <string>

#include "settings/dialogs/form_base.h"

namespace zirvo {

struct SliderRowControls {
  const char* label;
  int trackbar;
  int edit;
  int upDown;
  int minimum;
  int maximum;
  int tickFrequency;
};

class SliderRow {
 public:
  // Adds the row's label, trackbar, edit and up-down to `form` on line `y`.
  SliderRow(FormBase& form, const SliderRowControls& controls, int y);

  const SliderRowControls& Controls() const { return controls_; }
  bool Owns(int id) const { return id == controls_.trackbar || id == controls_.edit || id == controls_.upDown; }

  // Range, position and tick frequency of the trackbar, range, position and
  // buddy of the up-down, the value in the edit, all three enabled or not.
  void SetUp(int value, bool enabled);
  // Trackbar, edit and up-down show `value` (the trackbar clamps it).
  void Show(int value);
  void ShowInEdit(int value);
  void MoveTrackbar(int value);
  // The edit read as a signed number, kept inside the row's range.
  int EditValue() const;
  int Clamp(int value) const;

 private:
  void SetUpRanges();

  FormBase& form_;
  SliderRowControls controls_;
};

}  // namespace zirvo
