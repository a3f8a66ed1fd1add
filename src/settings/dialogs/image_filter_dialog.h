// ImageFilterDialog: the filter sheet with the image filter page and, in the
// monochrome colour modes, the gray filter page; Cancel restores the entries.
#pragma once

#include <memory>

#include "settings/dialogs/gray_filter_page.h"
#include "settings/dialogs/image_filter_page.h"
#include "settings/dialogs/sheet_base.h"

namespace zirvo {

class ImageFilterDialog : public SheetBase {
 public:
  // Copies the entries aside and opens the pages on the live entries.
  ImageFilterDialog(DialogCamera& camera, DialogLanguage language);

  void TabChanged(int index) override;

  ImageFilterPage& ImagePage() { return imagePage_; }
  GrayFilterPage* GrayPage() { return grayPage_.get(); }

 protected:
  void ButtonClicked(int id) override;
  void FilterRefreshed() override;

 private:
  DialogCamera& camera_;
  const FilterSettings saved_;
  ImageFilterPage imagePage_;
  std::unique_ptr<GrayFilterPage> grayPage_;  // monochrome colour modes only
};

}  // namespace zirvo
