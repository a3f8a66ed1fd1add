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

SliderRow::SliderRow(FormBase& form, const SliderRowSpec& spec, int y) : form_(form), spec_(spec) {
  form.Add(kNoId, ControlKind::kLabel, {kLabelX, y + 2, kLabelWidth, 8}, spec.label);
  form.Add(spec.trackbar, ControlKind::kTrackbar, {kTrackbarX, y, kTrackbarWidth, kRowHeight});
  form.Add(spec.edit, ControlKind::kEdit, {kEditX, y, kEditWidth, kRowHeight});
  form.Add(spec.upDown, ControlKind::kUpDown, {kEditX + kEditWidth, y, kUpDownWidth, kRowHeight});
  SetUpRanges();
}

void SliderRow::SetUpRanges() {
  for (int id : {spec_.trackbar, spec_.upDown}) {
    DialogControl& control = form_.Control(id);
    control.minimum = spec_.minimum;
    control.maximum = spec_.maximum;
  }
  form_.Control(spec_.trackbar).tickFrequency = spec_.tickFrequency;
  form_.Control(spec_.upDown).buddy = spec_.edit;
}

void SliderRow::SetUp(int value, bool enabled) {
  SetUpRanges();
  Show(value);
  for (int id : {spec_.trackbar, spec_.edit, spec_.upDown}) form_.SetEnabled(id, enabled);
}

void SliderRow::Show(int value) {
  MoveTrackbar(value);
  ShowInEdit(value);
}

void SliderRow::ShowInEdit(int value) {
  form_.SetPosition(spec_.upDown, value);
  form_.SetText(spec_.edit, FormatSigned(value));
}

void SliderRow::MoveTrackbar(int value) { form_.SetPosition(spec_.trackbar, value); }

int SliderRow::EditValue() const { return Clamp(ParseDialogNumber(form_.Text(spec_.edit), true)); }

int SliderRow::Clamp(int value) const { return std::clamp(value, spec_.minimum, spec_.maximum); }

}  // namespace zirvo
