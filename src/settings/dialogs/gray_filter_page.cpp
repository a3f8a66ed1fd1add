// GrayFilterPage: set-up from the entries, reactions, reload.
#include "settings/dialogs/gray_filter_page.h"

#include "settings/dialogs/image_filter_page.h"

namespace zirvo {

namespace {

constexpr SliderRowControls kGainRows[] = {
    {"Red", 2100, 2101, 2102, 0, 400, 32},
    {"Green1", 2103, 2104, 2105, 0, 400, 32},
    {"Green2", 2106, 2107, 2108, 0, 400, 32},
    {"Blue", 2109, 2110, 2111, 0, 400, 32},
};
constexpr SliderRowControls kOffsetRows[] = {
    {"Red", 2112, 2113, 2114, -255, 255, 32},
    {"Green1", 2115, 2116, 2117, -255, 255, 32},
    {"Green2", 2118, 2119, 2120, -255, 255, 32},
    {"Blue", 2121, 2122, 2123, -255, 255, 32},
};
constexpr int kRowSpacing = 12;
constexpr int kFilterModeGroup = 2;

}  // namespace

GrayFilterPage::GrayFilterPage(DialogCamera& camera) : SliderPage({0, 0, 251, 142}, camera) {
  rows_.reserve(8);
  Group("Gain", {2, 0, 247, 60});
  for (int i = 0; i < 4; ++i) rows_.emplace_back(*this, kGainRows[i], 10 + i * kRowSpacing);
  Group("Offset", {2, 61, 247, 60});
  for (int i = 0; i < 4; ++i) rows_.emplace_back(*this, kOffsetRows[i], 71 + i * kRowSpacing);
  Label("Filter mode", {4, 124, 40, 8});
  const char* modeTexts[] = {"Bayer", "Bayer convert", "Grayscale"};
  const int modeX[] = {48, 84, 146}, modeWidth[] = {34, 60, 50};
  for (std::size_t i = 0; i < kFilterModeRadioIds.size(); ++i)
    Add(kFilterModeRadioIds[i], ControlKind::kRadioButton, {modeX[i], 123, modeWidth[i], 10}, modeTexts[i]).group = kFilterModeGroup;
  Label("Auto Gain", {4, 134, 36, 8});
  Add(kIdOnce, ControlKind::kPushButton, {42, 132, 30, 10}, "Once");
  Add(kIdAllFrames, ControlKind::kCheckBox, {76, 133, 46, 9}, "All frames");
  Label("Bayer Mode", {126, 134, 40, 8});
  AddBayerRadios(*this, 168, 133, 20);

  const FilterSettings filter = camera_.Values().filter;
  for (SliderRow& row : rows_) row.SetUp(filter[EntryOf(row)], true);
  for (std::size_t i = 0; i < kFilterModeRadioIds.size(); ++i)
    SetChecked(kFilterModeRadioIds[i], static_cast<int>(i) == filter[kFilterGrayMode]);
  ShowBayerPhase(*this, filter[kFilterBayerMode]);
  opened_ = true;
}

int GrayFilterPage::EntryOf(const SliderRow& row) const {
  return kFilterGrayGainR + static_cast<int>(&row - rows_.data());
}

void GrayFilterPage::Store(int entry, int value) {
  camera_.Change([&](DialogValues& values) { values.filter[entry] = value; });
}

void GrayFilterPage::OnClicked(int id) {
  for (std::size_t mode = 0; mode < kFilterModeRadioIds.size(); ++mode)
    if (id == kFilterModeRadioIds[mode]) Store(kFilterGrayMode, static_cast<int>(mode));
  for (std::size_t phase = 0; phase < kBayerRadioIds.size(); ++phase)
    if (id == kBayerRadioIds[phase]) Store(kFilterBayerMode, static_cast<int>(phase));
  if (id == kIdOnce) {
    Store(kFilterAutoGrayGain, 1);
  } else if (id == kIdAllFrames) {
    camera_.Change([](DialogValues& values) {
      int32_t& automatic = values.filter[kFilterAutoGrayGain];
      automatic = automatic == 0 ? -1 : 0;
    });
  }
}

void GrayFilterPage::ReadEdits() {
  std::array<int, 8> edits{};
  for (std::size_t i = 0; i < rows_.size(); ++i) edits[i] = rows_[i].EditValue();
  camera_.Change([&](DialogValues& values) {
    for (std::size_t i = 0; i < edits.size(); ++i) values.filter[kFilterGrayGainR + static_cast<int>(i)] = edits[i];
  });
}

void GrayFilterPage::ReloadRows() {
  const FilterSettings filter = camera_.Values().filter;
  for (SliderRow& row : rows_) row.Show(filter[EntryOf(row)]);
}

void GrayFilterPage::ReloadBayerPhase() { ShowBayerPhase(*this, camera_.Values().filter[kFilterBayerMode]); }

}  // namespace zirvo
