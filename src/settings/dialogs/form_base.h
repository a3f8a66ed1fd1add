// FormBase: the control table behind a page or sheet, and the helpers its
// reactions use to change controls and tell the front end.
#pragma once

#include <string>
#include <vector>

#include "settings/dialogs/dialog_form.h"

namespace zirvo {

// Reads edit text as GetDlgItemInt does: optional sign (signed only), digits,
// nothing else; 0 when the text holds no number or it does not fit 32 bits.
int ParseDialogNumber(const std::string& text, bool isSigned);
std::string FormatSigned(int value);
std::string FormatUnsigned(int value);

class FormBase : public DialogForm {
 public:
  explicit FormBase(DialogRect size) : size_(size) {}

  const std::vector<DialogControl>& Controls() const override { return controls_; }
  DialogRect Size() const override { return size_; }
  int TemplateId() const override { return templateId_; }
  void SetTemplateId(int id) { templateId_ = id; }
  void SetObserver(FormObserver* observer) override { observer_ = observer; }

  // A disabled control takes no action. Otherwise the control keeps what the
  // front end reports (check boxes toggle, radio buttons take the mark from
  // their group), then the dialog reacts in the On… hooks.
  void EditChanged(int id, const std::string& text) final;
  void TrackbarMoved(int id, int position) final;
  void Clicked(int id) final;
  void SelectionChanged(int id, int index) final;

  // Helpers for the dialogs' own changes: each tells the observer.
  DialogControl& Control(int id);
  const DialogControl& Control(int id) const;
  void SetText(int id, const std::string& text);
  void SetEnabled(int id, bool enabled);
  void SetChecked(int id, bool checked);
  // Clamped to the control's range, as a trackbar does.
  void SetPosition(int id, int position);
  void SetItems(int id, std::vector<std::string> items);
  void SetSelection(int id, int index);
  const std::string& Text(int id) const { return Control(id).text; }
  bool Checked(int id) const { return Control(id).checked; }

  // Building the table: controls keep the order they are added in.
  DialogControl& Add(int id, ControlKind kind, DialogRect rect, std::string text = {});
  void Label(const std::string& text, DialogRect rect);
  void Group(const std::string& text, DialogRect rect);

 protected:
  void Notify(int id);
  virtual void OnEditChanged(int /*id*/) {}
  virtual void OnTrackbarMoved(int /*id*/) {}
  virtual void OnClicked(int /*id*/) {}
  virtual void OnSelectionChanged(int /*id*/) {}

 private:
  DialogRect size_;
  int templateId_ = 0;
  std::vector<DialogControl> controls_;
  FormObserver* observer_ = nullptr;
};

}  // namespace zirvo
