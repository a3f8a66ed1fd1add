// SheetBase: frame buttons, page switching, refresh hand-over between threads.
#include "settings/dialogs/sheet_base.h"

namespace zirvo {

namespace {
constexpr int kButtonWidth = 60, kButtonHeight = 13;
}

SheetBase::SheetBase(const SheetLayout& layout) : caption_(layout.caption), frame_(*this, layout.size) {
  frame_.SetTemplateId(layout.templateId);
  frame_.Add(kIdTab, ControlKind::kTab, layout.tab);
  frame_.Add(kIdOk, ControlKind::kDefaultPushButton, {layout.okX, layout.buttonY, kButtonWidth, kButtonHeight}, layout.okText);
  frame_.Add(kIdCancel, ControlKind::kPushButton, {layout.cancelX, layout.buttonY, kButtonWidth, kButtonHeight}, layout.cancelText);
  frame_.Add(layout.thirdButton, ControlKind::kPushButton, {layout.thirdButtonX, layout.buttonY, kButtonWidth, kButtonHeight}, layout.thirdButtonText);
}

std::string SheetBase::PageTitle(int index) const {
  const DialogControl& tab = frame_.Control(kIdTab);
  return index >= 0 && index < static_cast<int>(tab.items.size()) ? tab.items[static_cast<std::size_t>(index)]
                                                                    : std::string();
}

void SheetBase::AddPage(FormBase& page, const std::string& title, int templateId) {
  page.SetTemplateId(templateId);
  pages_.push_back(&page);
  DialogControl& tab = frame_.Control(kIdTab);
  tab.items.push_back(title);
  if (tab.selection < 0) tab.selection = 0;
}

void SheetBase::TabChanged(int index) {
  if (index < 0 || index >= PageCount()) return;
  visiblePage_ = index;
  frame_.Control(kIdTab).selection = index;
}

void SheetBase::FrameControls::OnClicked(int id) {
  if (sheet_.result_ == 0) sheet_.ButtonClicked(id);
}

void SheetBase::SetWaker(DialogWaker* waker) {
  std::lock_guard lock(wakerLock_);
  waker_ = waker;
}

void SheetBase::Wake() {
  std::lock_guard lock(wakerLock_);
  if (waker_) waker_->Wake();
}

void SheetBase::RefreshFilterSheet() {
  filterPending_.store(true);
  Wake();
}

void SheetBase::RefreshExposureBoxes() {
  exposurePending_.store(true);
  Wake();
}

void SheetBase::DeliverRefresh() {
  if (result_ != 0) return;
  if (filterPending_.exchange(false)) FilterRefreshed();
  if (exposurePending_.exchange(false)) ExposureRefreshed();
}

}  // namespace zirvo
