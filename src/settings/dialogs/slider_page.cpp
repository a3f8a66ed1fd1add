// SliderPage: edits and trackbars to row values.
#include "settings/dialogs/slider_page.h"

namespace zirvo {

SliderRow* SliderPage::RowOf(int id) {
  for (SliderRow& row : rows_)
    if (row.Owns(id)) return &row;
  return nullptr;
}

void SliderPage::ApplyEdit(SliderRow& row) {
  const int value = row.EditValue();
  RowChanged(static_cast<int>(&row - rows_.data()), value);
  row.MoveTrackbar(value);
}

void SliderPage::OnEditChanged(int id) {
  SliderRow* row = RowOf(id);
  if (opened_ && row && id == row->Controls().edit) ApplyEdit(*row);
}

void SliderPage::OnTrackbarMoved(int id) {
  SliderRow* row = RowOf(id);
  if (!row || id != row->Controls().trackbar) return;
  const int value = Control(id).position;
  row->ShowInEdit(value);
  RowChanged(static_cast<int>(row - rows_.data()), value);
}

}  // namespace zirvo
