// SheetBase: a modal dialog's frame, its pages, its result, and the refresh
// the capture thread asks for, delivered on the dialog's thread.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "instance/dialog_refresh.h"
#include "settings/dialogs/form_base.h"

namespace zirvo {

// Texts and geometry of a sheet's frame.
struct SheetLayout {
  std::string caption;
  int templateId = 0;
  DialogRect size;
  DialogRect tab;
  int buttonY = 0;
  int okX = 165;
  int cancelX = 230;
  std::string okText;
  std::string cancelText;
  int thirdButton = kIdDefault;  // Default (3) or Apply (1002)
  int thirdButtonX = 0;
  std::string thirdButtonText;
};

class SheetBase : public DialogSheet, public DialogRefresh {
 public:
  explicit SheetBase(const SheetLayout& layout);

  DialogForm& Frame() override { return frame_; }
  std::string Caption() const override { return caption_; }
  int PageCount() const override { return static_cast<int>(pages_.size()); }
  DialogForm& Page(int index) override { return *pages_.at(static_cast<std::size_t>(index)); }
  std::string PageTitle(int index) const override;
  int VisiblePage() const override { return visiblePage_; }
  void TabChanged(int index) override;
  int Result() const override { return result_; }
  void SetWaker(DialogWaker* waker) override;
  void DeliverRefresh() override;

  // DialogRefresh: from the capture thread, only marks and wakes.
  void RefreshFilterSheet() override;
  void RefreshExposureBoxes() override;

  FormBase& FrameForm() { return frame_; }

 protected:
  // Adds a page with its tab title and template; the first page is shown.
  void AddPage(FormBase& page, const std::string& title, int templateId);
  // OK, Cancel and the third button.
  virtual void ButtonClicked(int id) = 0;
  virtual void FilterRefreshed() {}
  virtual void ExposureRefreshed() {}
  void Close(int result) { result_ = result; }

 private:
  class FrameControls : public FormBase {
   public:
    FrameControls(SheetBase& sheet, DialogRect size) : FormBase(size), sheet_(sheet) {}

   protected:
    void OnClicked(int id) override;

   private:
    SheetBase& sheet_;
  };

  void Wake();

  std::string caption_;
  FrameControls frame_;
  std::vector<FormBase*> pages_;
  int visiblePage_ = 0;
  int result_ = 0;
  // Set by the capture thread, taken by the dialog's thread.
  std::atomic<bool> filterPending_{false};
  std::atomic<bool> exposurePending_{false};
  std::mutex wakerLock_;
  DialogWaker* waker_ = nullptr;  // guarded by wakerLock_
};

}  // namespace zirvo
