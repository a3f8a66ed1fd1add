// ImageFilterDialog: OK, Cancel with restore, Default, refresh of both pages.
#include "settings/dialogs/image_filter_dialog.h"

namespace zirvo {

namespace {

SheetLayout FilterSheetLayout(DialogLanguage language) {
  const bool japanese = language == DialogLanguage::kJapanese;
  SheetLayout layout;
  layout.caption = japanese ? "プロパティ" : "Property";
  layout.templateId = japanese ? 102 : 108;
  layout.size = {0, 0, 294, 194};
  layout.tab = {4, 4, 286, 168};
  layout.buttonY = 177;
  layout.okText = "OK";
  layout.cancelText = japanese ? "キャンセル" : "Cancel";
  layout.thirdButtonX = 100;
  layout.thirdButtonText = japanese ? "規定値(&D)" : "Default(&D)";
  return layout;
}

}  // namespace

ImageFilterDialog::ImageFilterDialog(DialogCamera& camera, DialogLanguage language)
    : SheetBase(FilterSheetLayout(language)),
      camera_(camera),
      saved_(camera.Values().filter),
      imagePage_(camera, ImageFilterEnables::ForColorMode(camera.ColorMode())) {
  const bool japanese = language == DialogLanguage::kJapanese;
  AddPage(imagePage_, "Image Filter", japanese ? 103 : 107);
  if (ImageFilterEnables::ForColorMode(camera.ColorMode()).grayTab) {
    grayPage_ = std::make_unique<GrayFilterPage>(camera);
    AddPage(*grayPage_, "Gray Filter", japanese ? 113 : 112);
  }
}

void ImageFilterDialog::TabChanged(int index) {
  SheetBase::TabChanged(index);
  // Both pages show the one Bayer phase entry.
  if (VisiblePage() == 0) {
    ShowBayerPhase(imagePage_, camera_.Values().filter[kFilterBayerMode]);
  } else if (grayPage_) {
    grayPage_->ReloadBayerPhase();
  }
}

void ImageFilterDialog::ButtonClicked(int id) {
  if (id == kIdOk) {
    imagePage_.ReadEdits();
    if (grayPage_) grayPage_->ReadEdits();
    Close(kIdOk);
  } else if (id == kIdCancel) {
    Close(kIdCancel);
    camera_.Change([this](DialogValues& values) { values.filter = saved_; });
  } else if (id == kIdDefault) {
    const bool gray = grayPage_ != nullptr;
    camera_.Change([gray](DialogValues& values) {
      FilterSettings& filter = values.filter;
      for (int entry = kFilterBrightness; entry <= kFilterSharpness; ++entry) filter[entry] = 0;
      for (int entry = kFilterGainRed; entry <= kFilterGamma; ++entry) filter[entry] = 100;
      filter[kFilterBayerMode] = 3;
      if (!gray) return;
      for (int entry = kFilterGrayGainR; entry <= kFilterGrayGainB; ++entry) filter[entry] = 128;
      for (int entry = kFilterGrayOffsetR; entry <= kFilterGrayOffsetB; ++entry) filter[entry] = 0;
    });
    imagePage_.Reload();
    if (grayPage_) {
      grayPage_->ReloadRows();
      grayPage_->ReloadBayerPhase();
    }
  }
}

void ImageFilterDialog::FilterRefreshed() {
  imagePage_.Reload();
  if (grayPage_) grayPage_->ReloadRows();
}

}  // namespace zirvo
