// AnalogPage: set-up, reactions with their camera commands, reload.
#include "settings/dialogs/analog_page.h"

#include <cstdio>

namespace zirvo {

namespace {

// Tick frequency (maximum − minimum) / 8.
constexpr SliderRowControls kRows[] = {
    {"&Global Gain", 1013, 1015, 1038, 1, 125, 15},  {"&Color Gain G1", 1018, 1019, 1039, 1, 125, 15},
    {"&Color Gain R", 1020, 1021, 1040, 1, 125, 15}, {"&Color Gain B", 1022, 1023, 1041, 1, 125, 15},
    {"&Color Gain G2", 1024, 1025, 1042, 1, 125, 15}, {"&Exposure", 1026, 1027, 1043, 1, 8191, 1023},
};
constexpr int kGlobal = 0, kExposure = 5;
constexpr int kColorGainRegisters[] = {0, kGainRegisterGreen1, kGainRegisterRed, kGainRegisterBlue,
                                       kGainRegisterGreen2};
constexpr int kIrisGroup = 3;

int32_t& Field(AnalogSettings& analog, int row) {
  int32_t* fields[] = {&analog.globalGain,    &analog.colorGainGreen1, &analog.colorGainRed,
                       &analog.colorGainBlue, &analog.colorGainGreen2, &analog.exposure};
  return *fields[row];
}

int FieldValue(AnalogSettings analog, int row) { return Field(analog, row); }

}  // namespace

std::string ExposureTimeText(const ExposureTiming& timing, int exposure) {
  const double time = (static_cast<double>(timing.lineLength) * exposure + timing.frameLength) *
                      timing.pixelPeriodMicroseconds * 0.001;
  char text[64];
  std::snprintf(text, sizeof text, "=%.2fms", time);
  return text;
}

AnalogPage::AnalogPage(DialogCamera& camera, DialogLanguage language)
    : SliderPage(language == DialogLanguage::kJapanese ? DialogRect{0, 0, 251, 146} : DialogRect{0, 0, 238, 126},
                 camera) {
  rows_.reserve(std::size(kRows));
  for (int i = 0; i < static_cast<int>(std::size(kRows)); ++i) rows_.emplace_back(*this, kRows[i], 2 + i * 12);
  Add(kIdExposureTime, ControlKind::kStatic, {150, 78, 84, 8}, "= msec");
  Label("Auto Iris", {4, 93, 40, 8});
  Add(kIdIrisGain, ControlKind::kCheckBox, {58, 92, 40, 10}, "Gain").group = kIrisGroup;
  Add(kIdIrisExposure, ControlKind::kCheckBox, {100, 92, 50, 10}, "Exposure").group = kIrisGroup;
  Add(kIdMirrorV, ControlKind::kCheckBox, {58, 106, 40, 10}, "Mirror V");
  Add(kIdMirrorH, ControlKind::kCheckBox, {100, 106, 50, 10}, "Mirror H");

  const AnalogSettings analog = camera_.Values().analog;
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i) rows_[static_cast<std::size_t>(i)].SetUp(FieldValue(analog, i), true);
  SetChecked(kIdMirrorV, analog.mirrorVertical != 0);
  SetChecked(kIdMirrorH, analog.mirrorHorizontal != 0);
  SetChecked(kIdIrisExposure, analog.autoIris == 1);
  SetChecked(kIdIrisGain, analog.autoIris == 2);
  ShowExposureTime();
  opened_ = true;
}

void AnalogPage::RowChanged(int index, int value) {
  camera_.Change([&](DialogValues& values) { Field(values.analog, index) = value; });
  if (index == kGlobal) {
    camera_.SendGlobalGain(value);
    // The four colour gains follow the global gain, each as if typed.
    for (int color = 1; color <= 4; ++color) {
      SliderRow& colorRow = rows_[static_cast<std::size_t>(color)];
      SetText(colorRow.Controls().edit, FormatSigned(value));
      ApplyEdit(colorRow);
    }
  } else if (index == kExposure) {
    camera_.SendExposure(value);
    ShowExposureTime();
  } else {
    camera_.SendChannelGain(kColorGainRegisters[index], value);
  }
}

void AnalogPage::OnClicked(int id) {
  const int on = Checked(id) ? 1 : 0;
  if (id == kIdMirrorV || id == kIdMirrorH) {
    const bool vertical = id == kIdMirrorV;
    if (vertical) {
      camera_.SendMirrorV(on);
    } else {
      camera_.SendMirrorH(on);
    }
    // A mirror moves the first pixel to the other column or row of the cell.
    camera_.Change([&](DialogValues& values) {
      (vertical ? values.analog.mirrorVertical : values.analog.mirrorHorizontal) = on;
      int32_t& phase = values.filter[kFilterBayerMode];
      if (phase >= 0 && phase <= 3) phase ^= vertical ? 1 : 2;
    });
  } else if (id == kIdIrisGain || id == kIdIrisExposure) {
    const int other = id == kIdIrisGain ? kIdIrisExposure : kIdIrisGain;
    if (on) SetChecked(other, false);
    const int mode = on ? (id == kIdIrisGain ? 2 : 1) : 0;
    camera_.Change([mode](DialogValues& values) { values.analog.autoIris = mode; });
  }
}

void AnalogPage::ReadEdits() {
  int edits[6];
  for (std::size_t i = 0; i < rows_.size(); ++i) edits[i] = rows_[i].EditValue();
  camera_.Change([&](DialogValues& values) {
    for (int i = 0; i < 6; ++i) Field(values.analog, i) = edits[i];
  });
}

void AnalogPage::Reload() {
  const AnalogSettings analog = camera_.Values().analog;
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i) rows_[static_cast<std::size_t>(i)].Show(FieldValue(analog, i));
  ShowExposureTime();
}

void AnalogPage::ShowExposureTime() {
  SetText(kIdExposureTime, ExposureTimeText(camera_.Timing(), camera_.Values().analog.exposure));
}

}  // namespace zirvo
