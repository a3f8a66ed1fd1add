// FormBase: control table, number parsing as Win32 edits do, change notices.
#include "settings/dialogs/form_base.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace zirvo {

int ParseDialogNumber(const std::string& text, bool isSigned) {
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  bool negative = false;
  if (isSigned && at < text.size() && text[at] == '-') {
    negative = true;
    ++at;
  }
  if (at == text.size()) return 0;
  uint64_t value = 0;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > UINT32_MAX) return 0;
  }
  if (isSigned) {
    const uint64_t limit = negative ? uint64_t{1} << 31 : INT32_MAX;
    if (value > limit) return 0;
    return negative ? static_cast<int>(-static_cast<int64_t>(value)) : static_cast<int>(value);
  }
  return static_cast<int>(static_cast<uint32_t>(value));
}

std::string FormatSigned(int value) { return std::to_string(value); }

std::string FormatUnsigned(int value) { return std::to_string(static_cast<uint32_t>(value)); }

void FormBase::EditChanged(int id, const std::string& text) {
  DialogControl& control = Control(id);
  if (!control.enabled) return;
  control.text = text;
  OnEditChanged(id);
}

void FormBase::TrackbarMoved(int id, int position) {
  DialogControl& control = Control(id);
  if (!control.enabled) return;
  control.position = std::clamp(position, control.minimum, control.maximum);
  OnTrackbarMoved(id);
}

void FormBase::Clicked(int id) {
  DialogControl& control = Control(id);
  if (!control.enabled) return;
  if (control.kind == ControlKind::kCheckBox) {
    control.checked = !control.checked;
  } else if (control.kind == ControlKind::kRadioButton) {
    for (DialogControl& other : controls_)
      if (other.kind == ControlKind::kRadioButton && other.group == control.group && other.id != id &&
          other.checked)
        SetChecked(other.id, false);
    control.checked = true;
  }
  OnClicked(id);
}

void FormBase::SelectionChanged(int id, int index) {
  DialogControl& control = Control(id);
  if (!control.enabled) return;
  control.selection = index >= 0 && index < static_cast<int>(control.items.size()) ? index : -1;
  OnSelectionChanged(id);
}

DialogControl& FormBase::Control(int id) {
  for (DialogControl& control : controls_)
    if (control.id == id) return control;
  throw std::out_of_range("no control " + std::to_string(id));
}

const DialogControl& FormBase::Control(int id) const { return const_cast<FormBase*>(this)->Control(id); }

void FormBase::SetText(int id, const std::string& text) {
  Control(id).text = text;
  Notify(id);
}

void FormBase::SetEnabled(int id, bool enabled) {
  Control(id).enabled = enabled;
  Notify(id);
}

void FormBase::SetChecked(int id, bool checked) {
  Control(id).checked = checked;
  Notify(id);
}

void FormBase::SetPosition(int id, int position) {
  DialogControl& control = Control(id);
  control.position = std::clamp(position, control.minimum, control.maximum);
  Notify(id);
}

void FormBase::SetItems(int id, std::vector<std::string> items) {
  DialogControl& control = Control(id);
  control.items = std::move(items);
  if (control.selection >= static_cast<int>(control.items.size())) control.selection = -1;
  Notify(id);
}

void FormBase::SetSelection(int id, int index) {
  DialogControl& control = Control(id);
  control.selection = index >= 0 && index < static_cast<int>(control.items.size()) ? index : -1;
  Notify(id);
}

DialogControl& FormBase::Add(int id, ControlKind kind, DialogRect rect, std::string text) {
  DialogControl& control = controls_.emplace_back();
  control.id = id;
  control.kind = kind;
  control.rect = rect;
  control.text = std::move(text);
  return control;
}

void FormBase::Label(const std::string& text, DialogRect rect) {
  Add(kNoId, ControlKind::kLabel, rect, text);
}

void FormBase::Group(const std::string& text, DialogRect rect) {
  Add(kNoId, ControlKind::kGroupBox, rect, text);
}

void FormBase::Notify(int id) {
  if (observer_) observer_->ControlChanged(id);
}

}  // namespace zirvo
