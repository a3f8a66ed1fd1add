// SliderRow: set-up and synchronisation of trackbar, edit and up-down.
#include "settings/dialogs/slider_row.h"

#include <algorithm>

namespace zirvo {

namespace {
constexpr int kLabelX = 4, kLabelWidth = 52;
constexpr int kTrackbarX = 58, kTrackbarWidth = 130;
constexpr int kEditX = 192, kEditWidth = 32, kUpDownWidth = 10;
constexpr int kRowHeight = 12;
}  // namespace

SliderRow::SliderRow(FormBase& form, const SliderRowControls& controls, int y) : form_(form), controls_(controls) {
  form.Add(kNoId, ControlKind::kLabel, {kLabelX, y + 2, kLabelWidth, 8}, controls.label);
  form.Add(controls.trackbar, ControlKind::kTrackbar, {kTrackbarX, y, kTrackbarWidth, kRowHeight});
  form.Add(controls.edit, ControlKind::kEdit, {kEditX, y, kEditWidth, kRowHeight});
  form.Add(controls.upDown, ControlKind::kUpDown, {kEditX + kEditWidth, y, kUpDownWidth, kRowHeight});
  SetUpRanges();
}

void SliderRow::SetUpRanges() {
  for (int id : {controls_.trackbar, controls_.upDown}) {
    DialogControl& control = form_.Control(id);
    control.minimum = controls_.minimum;
    control.maximum = controls_.maximum;
  }
  form_.Control(controls_.trackbar).tickFrequency = controls_.tickFrequency;
  form_.Control(controls_.upDown).buddy = controls_.edit;
}

void SliderRow::SetUp(int value, bool enabled) {
  SetUpRanges();
  Show(value);
  for (int id : {controls_.trackbar, controls_.edit, controls_.upDown}) form_.SetEnabled(id, enabled);
}

void SliderRow::Show(int value) {
  MoveTrackbar(value);
  ShowInEdit(value);
}

void SliderRow::ShowInEdit(int value) {
  form_.SetPosition(controls_.upDown, value);
  form_.SetText(controls_.edit, FormatSigned(value));
}

void SliderRow::MoveTrackbar(int value) { form_.SetPosition(controls_.trackbar, value); }

int SliderRow::EditValue() const { return Clamp(ParseDialogNumber(form_.Text(controls_.edit), true)); }

int SliderRow::Clamp(int value) const { return std::clamp(value, controls_.minimum, controls_.maximum); }

}  // namespace zirvo
