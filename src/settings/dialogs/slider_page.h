// SliderPage: a page of slider rows, each edit or trackbar moved changing its
// row's value.
#pragma once

#include <vector>

#include "settings/dialogs/dialog_camera.h"
#include "settings/dialogs/slider_row.h"

namespace zirvo {

class SliderPage : public FormBase {
 protected:
  SliderPage(DialogRect size, DialogCamera& camera) : FormBase(size), camera_(camera) {}

  // Row `index` was given `value` by its edit or its trackbar.
  virtual void RowChanged(int index, int value) = 0;
  // The value typed into `row`'s edit, as if the user had just typed it.
  void ApplyEdit(SliderRow& row);

  void OnEditChanged(int id) override;
  void OnTrackbarMoved(int id) override;

  DialogCamera& camera_;
  std::vector<SliderRow> rows_;
  bool opened_ = false;  // edit changes before this are the set-up's own

 private:
  SliderRow* RowOf(int id);
};

}  // namespace zirvo
