// What a toolkit front end sees of a property dialog: its controls, the user's
// actions it reports, and the changes it must show.
//
// The front ends live in a module loaded at run time and built without the
// core's symbols, so everything they call here is virtual or inline.
#pragma once

#include <string>
#include <vector>

namespace zirvo {

enum class DialogLanguage { kEnglish, kJapanese };

enum class ControlKind {
  kLabel,
  kGroupBox,
  kEdit,
  kReadOnlyEdit,
  kDropDownList,
  kPushButton,
  kDefaultPushButton,
  kCheckBox,
  kRadioButton,  // radio buttons with the same `group` exclude each other
  kTrackbar,
  kUpDown,       // spins the edit named by `buddy`
  kTab,
  kStatic,       // text the dialog rewrites (the exposure time)
};

// Control ids shared by every dialog.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdDefault = 3;
inline constexpr int kIdTab = 1001;
inline constexpr int kIdApply = 1002;
inline constexpr int kNoId = -1;  // labels and group boxes

// Where a control sits, in dialog units of an "MS Shell Dlg" 8 template.
struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct DialogControl {
  int id = kNoId;
  ControlKind kind = ControlKind::kLabel;
  DialogRect rect;
  std::string text;  // UTF-8
  bool enabled = true;
  bool checked = false;
  // Trackbars and up-down controls.
  int minimum = 0;
  int maximum = 0;
  int position = 0;
  int tickFrequency = 0;
  int buddy = kNoId;
  // Drop-down lists and tab controls; selection -1 is none.
  std::vector<std::string> items;
  int selection = -1;
  int group = 0;
};

// Told about every change the dialog makes to its own controls, so that the
// front end shows it. Never called for a change the front end reported.
class FormObserver {
 public:
  virtual ~FormObserver() = default;
  virtual void ControlChanged(int id) = 0;
};

// One page of a sheet, or the body of a dialog without pages.
class DialogForm {
 public:
  virtual ~DialogForm() = default;
  virtual const std::vector<DialogControl>& Controls() const = 0;
  // Template size in dialog units, and the Win32 resource id of the template
  // (0: the controls sit in the sheet's own template).
  virtual DialogRect Size() const = 0;
  virtual int TemplateId() const = 0;
  virtual void SetObserver(FormObserver* observer) = 0;

  // The user's actions. Check boxes and radio buttons change their own check
  // mark on a click, as Win32's automatic buttons do.
  virtual void EditChanged(int id, const std::string& text) = 0;
  virtual void TrackbarMoved(int id, int position) = 0;
  virtual void Clicked(int id) = 0;
  virtual void SelectionChanged(int id, int index) = 0;

  const DialogControl* Find(int id) const {
    for (const DialogControl& control : Controls())
      if (control.id == id) return &control;
    return nullptr;
  }
};

// Wakes the dialog's thread; called from any thread.
class DialogWaker {
 public:
  virtual ~DialogWaker() = default;
  virtual void Wake() = 0;
};

// A modal dialog: its frame (tab control, OK, Cancel, Default or Apply) and
// the pages shown one at a time inside its tab control.
class DialogSheet {
 public:
  virtual ~DialogSheet() = default;
  virtual DialogForm& Frame() = 0;
  virtual std::string Caption() const = 0;
  virtual int PageCount() const = 0;
  virtual DialogForm& Page(int index) = 0;
  virtual std::string PageTitle(int index) const = 0;
  virtual int VisiblePage() const = 0;
  virtual void TabChanged(int index) = 0;
  // 0 while open; 1 after OK, 2 after Cancel (also the window's close box).
  virtual int Result() const = 0;
  // Refreshes asked for by the capture thread wake the dialog's thread
  // through `waker` (null to stop: no Wake runs after that returns); the
  // front end then calls DeliverRefresh there.
  virtual void SetWaker(DialogWaker* waker) = 0;
  virtual void DeliverRefresh() = 0;
};

}  // namespace zirvo
