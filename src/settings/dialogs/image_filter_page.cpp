// ImageFilterPage: set-up from the entries, reactions, reload.
#include "settings/dialogs/image_filter_page.h"

#include <iterator>

namespace zirvo {

namespace {

constexpr SliderRowControls kRows[] = {
    {"&Brightness", 2001, 2002, 2004, -255, 255, 64}, {"&Contrast", 2011, 2012, 2014, -127, 127, 32},
    {"&Hue", 2021, 2022, 2024, -360, 360, 90},        {"&Saturation", 2031, 2032, 2034, -255, 255, 64},
    {"Shar&pness", 2041, 2042, 2044, 0, 30, 4},       {"&R Gain", 2051, 2052, 2054, 0, 400, 32},
    {"&G Gain", 2061, 2062, 2063, 0, 400, 32},        {"&B Gain", 2071, 2072, 2073, 0, 400, 32},
    {"&Gamma", 2081, 2082, 2084, 0, 200, 32},
};
constexpr int kFirstRowY = 2, kRowSpacing = 12;
constexpr int kBayerGroup = 1;

}  // namespace

ImageFilterEnables ImageFilterEnables::ForColorMode(int colorMode) {
  ImageFilterEnables enables;
  const bool monochrome = colorMode == 0 || colorMode == 1;
  for (int row = 0; row < 9; ++row)
    enables.rows[static_cast<std::size_t>(row)] =
        !monochrome || row == kFilterBrightness || row == kFilterContrast || row == kFilterSharpness ||
        row == kFilterGamma;
  enables.whiteBalanceAndBayer = !monochrome;
  enables.grayTab = monochrome;
  return enables;
}

void AddBayerRadios(FormBase& form, int x, int y, int spacing) {
  for (std::size_t phase = 0; phase < kBayerRadioIds.size(); ++phase)
    form.Add(kBayerRadioIds[phase], ControlKind::kRadioButton, {x + static_cast<int>(phase) * spacing, y, spacing - 2, 10}, std::to_string(phase)).group = kBayerGroup;
}

void ShowBayerPhase(FormBase& form, int phase) {
  for (std::size_t i = 0; i < kBayerRadioIds.size(); ++i)
    form.SetChecked(kBayerRadioIds[i], static_cast<int>(i) == phase);
}

int CheckedBayerPhase(const FormBase& form) {
  for (std::size_t i = 0; i < kBayerRadioIds.size(); ++i)
    if (form.Checked(kBayerRadioIds[i])) return static_cast<int>(i);
  return -1;
}

ImageFilterPage::ImageFilterPage(DialogCamera& camera, const ImageFilterEnables& enables)
    : SliderPage({0, 0, 251, 142}, camera) {
  rows_.reserve(std::size(kRows));
  for (int i = 0; i < static_cast<int>(std::size(kRows)); ++i)
    rows_.emplace_back(*this, kRows[i], kFirstRowY + i * kRowSpacing);
  Label("Auto white balance", {4, 116, 70, 8});
  Add(kIdOnce, ControlKind::kPushButton, {78, 114, 40, 12}, "Once");
  Add(kIdAllFrames, ControlKind::kCheckBox, {124, 115, 60, 10}, "All frames");
  Label("Bayer Mode", {4, 130, 52, 8});
  AddBayerRadios(*this, 78, 129, 28);

  const FilterSettings filter = camera_.Values().filter;
  for (std::size_t i = 0; i < rows_.size(); ++i)
    rows_[i].SetUp(filter[static_cast<int>(i)], enables.rows[i]);
  SetEnabled(kIdOnce, enables.whiteBalanceAndBayer);
  SetEnabled(kIdAllFrames, enables.whiteBalanceAndBayer);
  for (int id : kBayerRadioIds) SetEnabled(id, enables.whiteBalanceAndBayer);
  ShowBayerPhase(*this, filter[kFilterBayerMode]);
  opened_ = true;
}

void ImageFilterPage::Store(int entry, int value) {
  camera_.Change([&](DialogValues& values) { values.filter[entry] = value; });
}

void ImageFilterPage::OnClicked(int id) {
  for (std::size_t phase = 0; phase < kBayerRadioIds.size(); ++phase)
    if (id == kBayerRadioIds[phase]) Store(kFilterBayerMode, static_cast<int>(phase));
  if (id == kIdAllFrames) {
    const int on = Checked(kIdAllFrames) ? 1 : 0;
    camera_.Change([on](DialogValues& values) {
      values.filter[kFilterAutoWhiteBalance] = on;
      values.filter[kFilterAutoWhiteBalance + 1] = 0;
      values.filter[kFilterAutoWhiteBalance + 2] = 0;
    });
  } else if (id == kIdOnce) {
    camera_.Change([](DialogValues& values) {
      for (int entry = kFilterAutoWhiteBalance; entry <= kFilterAutoWhiteBalance + 2; ++entry)
        values.filter[entry] = 1;
    });
    SetChecked(kIdAllFrames, false);
  }
}

void ImageFilterPage::ReadEdits() {
  std::array<int, 9> edits{};
  for (std::size_t i = 0; i < rows_.size(); ++i) edits[i] = rows_[i].EditValue();
  const int phase = CheckedBayerPhase(*this);
  camera_.Change([&](DialogValues& values) {
    for (std::size_t i = 0; i < edits.size(); ++i) values.filter[static_cast<int>(i)] = edits[i];
    if (phase >= 0) values.filter[kFilterBayerMode] = phase;
  });
}

void ImageFilterPage::Reload() {
  const FilterSettings filter = camera_.Values().filter;
  for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i].Show(filter[static_cast<int>(i)]);
  ShowBayerPhase(*this, filter[kFilterBayerMode]);
}

}  // namespace zirvo
