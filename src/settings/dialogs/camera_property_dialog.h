// CameraPropertyDialog: colour mode, size preset (or a new one), sub-sample
// mode, wait time and clock, edited on a copy of the stored values and
// written back on OK or Apply.
#pragma once

#include "settings/dialogs/dialog_camera.h"
#include "settings/dialogs/sheet_base.h"

namespace zirvo {

inline constexpr int kIdColorList = 1009;
inline constexpr int kIdSizeList = 1010;
inline constexpr int kIdSubSampleList = 1012;
inline constexpr int kIdClockList = 1014;
inline constexpr int kIdTotalWidth = 1039;  // TH; 1040 … 1044: TV, EH, EV, EHS, EVS
inline constexpr int kIdWaitTime = 1045;

class CameraPropertyDialog : public SheetBase {
 public:
  // Loads the copy from the store and fills the lists and edits.
  CameraPropertyDialog(DialogCamera& camera, DialogLanguage language);

  const PresetTable& Copy() const { return table_; }

 protected:
  void ButtonClicked(int id) override;

 private:
  class StreamFormatPage : public FormBase {
   public:
    StreamFormatPage(CameraPropertyDialog& dialog, DialogLanguage language);
    void OnEditChanged(int id) override;
    void OnSelectionChanged(int id) override;

   private:
    CameraPropertyDialog& dialog_;
  };

  void FillControls();
  void ShowPreset(int index);
  void ReadControls();
  std::string PresetText(int index) const;

  DialogCamera& camera_;
  DialogLanguage language_;
  PresetTable table_;
  StreamFormatPage page_;
};

}  // namespace zirvo
