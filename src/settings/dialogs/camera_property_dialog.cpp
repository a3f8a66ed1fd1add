// CameraPropertyDialog: lists, preset edits, Apply, OK and Cancel.
#include "settings/dialogs/camera_property_dialog.h"

#include <cstdio>

namespace zirvo {

namespace {

constexpr int kSubSampleStored[] = {0, 1, 2, 16, 17};  // list index → stored mode

const char* Pick(DialogLanguage language, const char* english, const char* japanese) {
  return language == DialogLanguage::kJapanese ? japanese : english;
}

SheetLayout CameraSheetLayout(DialogLanguage language) {
  SheetLayout layout;
  layout.caption = Pick(language, "Property", "プロパティ");
  layout.templateId = language == DialogLanguage::kJapanese ? 101 : 106;
  layout.size = {0, 0, 313, 229};
  layout.tab = {7, 7, 299, 194};
  layout.buttonY = 209;
  layout.okX = 116;
  layout.cancelX = 181;
  layout.okText = "OK";
  layout.cancelText = Pick(language, "Cancel", "キャンセル");
  layout.thirdButton = kIdApply;
  layout.thirdButtonX = 246;
  layout.thirdButtonText = Pick(language, "Apply(&A)", "適用(&A)");
  return layout;
}

int32_t& PresetField(CameraSizeSettings& preset, int edit) {
  int32_t* fields[] = {&preset.totalWidth, &preset.totalHeight, &preset.width,
                       &preset.height,     &preset.left,        &preset.top};
  return *fields[edit];
}

}  // namespace

CameraPropertyDialog::StreamFormatPage::StreamFormatPage(CameraPropertyDialog& dialog, DialogLanguage language)
    : FormBase({0, 0, 313, 229}), dialog_(dialog) {
  auto pick = [language](const char* english, const char* japanese) { return Pick(language, english, japanese); };
  Group(pick("Video Format", "ビデオ形式"), {17, 24, 123, 104});
  Label(pick("Color / Compression(&C):", "色空間 / 圧縮(&C):"), {25, 37, 110, 8});
  Add(kIdColorList, ControlKind::kDropDownList, {49, 46, 83, 100});
  Label(pick("Size(&S):", "出力サイズ(&S):"), {25, 67, 110, 8});
  Add(kIdSizeList, ControlKind::kDropDownList, {49, 77, 83, 100});
  Label(pick("Sub Sample(&B):", "間引き転送モード(&B):"), {25, 96, 110, 8});
  Add(kIdSubSampleList, ControlKind::kDropDownList, {49, 107, 83, 100});

  Group(pick("Camera Size", "カスタムサイズ"), {145, 24, 149, 104});
  const char* labels[][2] = {{"H Total", "総水平画素"},      {"V Total", "総垂直画素"},
                             {"H Effective", "有効水平画素"}, {"V Effective", "有効垂直画素"},
                             {"H Start", "有効水平起点"},     {"V Start", "有効垂直起点"}};
  const int labelY[] = {37, 67, 96}, editY[] = {46, 77, 107};
  for (int i = 0; i < 6; ++i) {
    const int column = i % 2, line = i / 2;
    Label(pick(labels[i][0], labels[i][1]), {column ? 225 : 151, labelY[line], 66, 8});
    const int editX = column ? (i == 5 ? 233 : 235) : 159;
    Add(kIdTotalWidth + i, i < 2 ? ControlKind::kReadOnlyEdit : ControlKind::kEdit, {editX, editY[line], 50, 12});
  }

  Group(pick("Frame Rate", "フレームレート"), {17, 131, 277, 48});
  Label(pick("Wait Time(&T):", "フレーム間待ち時間(&T):"), {25, 143, 110, 8});
  Add(kIdWaitTime, ControlKind::kEdit, {49, 154, 83, 12});
  Label(pick("Clock(&C):", "動作クロック(&C):"), {151, 143, 110, 8});
  Add(kIdClockList, ControlKind::kDropDownList, {175, 154, 83, 100});
  Label(pick("* In the WORD forwarding mode, please set the clock to the half.",
             "※WORD転送モードの際は動作クロックをハーフに設定してください"),
        {90, 185, 204, 8});
}

void CameraPropertyDialog::StreamFormatPage::OnEditChanged(int) {
  dialog_.FrameForm().SetEnabled(kIdApply, true);
}

void CameraPropertyDialog::StreamFormatPage::OnSelectionChanged(int id) {
  if (id == kIdSizeList) {
    dialog_.table_.size = Control(id).selection;
    if (dialog_.table_.size != dialog_.table_.count) dialog_.ShowPreset(dialog_.table_.size);
  }
  dialog_.FrameForm().SetEnabled(kIdApply, true);
}

CameraPropertyDialog::CameraPropertyDialog(DialogCamera& camera, DialogLanguage language)
    : SheetBase(CameraSheetLayout(language)), camera_(camera), language_(language), page_(*this, language) {
  // The page's controls sit in the dialog's own template.
  AddPage(page_, Pick(language, "Stream Format", "ストリーム形式"), 0);
  camera_.LoadPresets(table_);
  FillControls();
}

std::string CameraPropertyDialog::PresetText(int index) const {
  const CameraSizeSettings& preset = table_.presets[static_cast<std::size_t>(index)];
  char text[32];
  std::snprintf(text, sizeof text, "%d x %d", preset.width, preset.height);
  return text;
}

void CameraPropertyDialog::FillControls() {
  const bool japanese = language_ == DialogLanguage::kJapanese;
  page_.SetItems(kIdColorList, japanese ? std::vector<std::string>{"白黒 8bit", "白黒 12bit ※", "カラー 24bit",
                                                                  "カラー 32bit", "カラー 48bit ※", "カラー 64bit ※"}
                                        : std::vector<std::string>{"Monochrome 8bit", "Monochrome 12bit *",
                                                                   "Color 24bit", "Color 32bit", "Color 48bit *",
                                                                   "Color 64bit *"});
  page_.SetSelection(kIdColorList, table_.colorMode);
  page_.SetItems(kIdSubSampleList, {"1/1", "1/2 Skip", "1/4 Skip"});
  int subSampleIndex = table_.subSampleMode;
  for (int index = 3; index < 5; ++index)
    if (kSubSampleStored[index] == table_.subSampleMode) subSampleIndex = index;
  page_.SetSelection(kIdSubSampleList, subSampleIndex);
  page_.SetItems(kIdClockList, {Pick(language_, "Nomal", "標準")});
  page_.SetSelection(kIdClockList, table_.clock);
  std::vector<std::string> sizes;
  for (int index = 0; index < table_.count; ++index) sizes.push_back(PresetText(index));
  sizes.push_back(Pick(language_, "Custom", "カスタム"));
  page_.SetItems(kIdSizeList, std::move(sizes));
  page_.SetSelection(kIdSizeList, table_.size);
  ShowPreset(table_.size);
  page_.SetText(kIdWaitTime, FormatUnsigned(table_.waitTime));
  FrameForm().SetEnabled(kIdApply, false);
}

void CameraPropertyDialog::ShowPreset(int index) {
  if (index < 0 || index >= kMaxPresets) return;
  CameraSizeSettings preset = table_.presets[static_cast<std::size_t>(index)];
  for (int edit = 0; edit < 6; ++edit) page_.SetText(kIdTotalWidth + edit, FormatUnsigned(PresetField(preset, edit)));
}

void CameraPropertyDialog::ReadControls() {
  // A list without a selection keeps the stored value: a sub-sample mode of
  // 16 or 17 has no list entry and must survive OK unchanged.
  auto selected = [this](int id, int32_t& value) {
    if (page_.Control(id).selection >= 0) value = page_.Control(id).selection;
  };
  selected(kIdColorList, table_.colorMode);
  selected(kIdClockList, table_.clock);
  const int subSampleIndex = page_.Control(kIdSubSampleList).selection;
  if (subSampleIndex >= 0 && subSampleIndex < 5) table_.subSampleMode = kSubSampleStored[subSampleIndex];
  table_.waitTime = ParseDialogNumber(page_.Text(kIdWaitTime), false);

  const int size = page_.Control(kIdSizeList).selection;
  CameraSizeSettings edited;
  for (int edit = 0; edit < 6; ++edit)
    PresetField(edited, edit) = ParseDialogNumber(page_.Text(kIdTotalWidth + edit), false);
  if (size >= 0 && size == table_.count) {
    // "Custom": a new preset before "Custom"; a full table keeps the old choice.
    if (table_.Add(edited)) {
      table_.size = size;
      std::vector<std::string> items = page_.Control(kIdSizeList).items;
      items.insert(items.begin() + size, PresetText(size));
      page_.SetItems(kIdSizeList, std::move(items));
      page_.SetSelection(kIdSizeList, size);
    } else {
      table_.size = kMaxPresets - 1;
      page_.SetSelection(kIdSizeList, table_.size);
      ShowPreset(table_.size);
    }
  } else if (size >= 0 && size < table_.count) {
    table_.size = size;
    edited.buffers = table_.presets[static_cast<std::size_t>(size)].buffers;
    table_.presets[static_cast<std::size_t>(size)] = edited;
    std::vector<std::string> items = page_.Control(kIdSizeList).items;
    items[static_cast<std::size_t>(size)] = PresetText(size);
    page_.SetItems(kIdSizeList, std::move(items));
    page_.SetSelection(kIdSizeList, size);
  }
  FrameForm().SetEnabled(kIdApply, false);
}

void CameraPropertyDialog::ButtonClicked(int id) {
  if (id == kIdApply || id == kIdOk) {
    ReadControls();
    camera_.SavePresets(table_);
    if (id == kIdOk) Close(kIdOk);
  } else if (id == kIdCancel) {
    Close(kIdCancel);
  }
}

}  // namespace zirvo
