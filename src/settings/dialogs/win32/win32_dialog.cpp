// Win32 front end of the property dialogs: sheets from the resource
// templates through DialogBoxParamW, pages through CreateDialogParamW inside
// the sheet's tab control. Unicode windows show the templates' Japanese texts
// whatever the ANSI code page; ANSI ones would turn them into question marks
// outside a Japanese system.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "settings/dialogs/dialog_front_end.h"

namespace zirvo {
namespace {

constexpr UINT kRefreshMessage = WM_APP + 20;
constexpr int kPageX = 30, kPageY = 25;

std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string WindowText(HWND window) {
  std::wstring wide(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  wide.resize(static_cast<std::size_t>(GetWindowTextW(window, wide.data(), static_cast<int>(wide.size()))));
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  if (length > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
  return text;
}

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

// Keeps one form's controls and its window in step both ways.
class Win32Form final : public FormObserver {
 public:
  explicit Win32Form(DialogForm& form) : form_(form) {}
  ~Win32Form() override { form_.SetObserver(nullptr); }
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;

  DialogForm& Form() { return form_; }
  HWND Window() const { return window_; }

  void Bind(HWND window) {
    window_ = window;
    for (const DialogControl& control : form_.Controls())
      if (control.id != kNoId) Apply(control);
    form_.SetObserver(this);
  }

  void ControlChanged(int id) override {
    if (const DialogControl* control = form_.Find(id)) Apply(*control);
  }

  bool Owns(int id) const { return id != kNoId && form_.Find(id) != nullptr; }

  // Notifications that the dialog caused itself (SetWindowText sends
  // EN_CHANGE at once) are the form's own changes and are not reported.
  void Command(WPARAM wParam) {
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    const DialogControl* control = form_.Find(id);
    if (updating_ || !control) return;
    switch (control->kind) {
      case ControlKind::kEdit:
      case ControlKind::kReadOnlyEdit:
        if (code == EN_CHANGE) form_.EditChanged(id, WindowText(GetDlgItem(window_, id)));
        break;
      case ControlKind::kDropDownList:
        if (code == CBN_SELCHANGE)
          form_.SelectionChanged(id, static_cast<int>(SendDlgItemMessageW(window_, id, CB_GETCURSEL, 0, 0)));
        break;
      case ControlKind::kPushButton:
      case ControlKind::kDefaultPushButton:
      case ControlKind::kCheckBox:
      case ControlKind::kRadioButton:
        if (code == BN_CLICKED) form_.Clicked(id);
        break;
      default:
        break;
    }
  }

  void Scroll(LPARAM lParam) {
    HWND bar = reinterpret_cast<HWND>(lParam);
    const int id = GetDlgCtrlID(bar);
    const DialogControl* control = form_.Find(id);
    if (updating_ || !control || control->kind != ControlKind::kTrackbar) return;
    form_.TrackbarMoved(id, static_cast<int>(SendMessageW(bar, TBM_GETPOS, 0, 0)));
  }

 private:
  void Apply(const DialogControl& control) {
    HWND item = GetDlgItem(window_, control.id);
    if (!item) return;
    updating_ = true;
    if (control.kind != ControlKind::kTab) EnableWindow(item, control.enabled);
    switch (control.kind) {
      case ControlKind::kStatic:
      case ControlKind::kEdit:
      case ControlKind::kReadOnlyEdit:
        if (WindowText(item) != control.text) SetWindowTextW(item, Wide(control.text).c_str());
        break;
      case ControlKind::kDropDownList:
        SendMessageW(item, CB_RESETCONTENT, 0, 0);
        for (const std::string& entry : control.items)
          SendMessageW(item, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(entry).c_str()));
        SendMessageW(item, CB_SETCURSEL, static_cast<WPARAM>(control.selection), 0);
        break;
      case ControlKind::kCheckBox:
      case ControlKind::kRadioButton:
        SendMessageW(item, BM_SETCHECK, control.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
      case ControlKind::kTrackbar:
        SendMessageW(item, TBM_SETRANGEMAX, FALSE, control.maximum);
        SendMessageW(item, TBM_SETRANGEMIN, FALSE, control.minimum);
        SendMessageW(item, TBM_SETPOS, TRUE, control.position);
        SendMessageW(item, TBM_SETTICFREQ, static_cast<WPARAM>(control.tickFrequency), 0);
        break;
      case ControlKind::kUpDown:
        SendMessageW(item, UDM_SETRANGE32, static_cast<WPARAM>(control.minimum), control.maximum);
        SendMessageW(item, UDM_SETPOS32, 0, control.position);
        if (control.buddy != kNoId)
          SendMessageW(item, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(window_, control.buddy)), 0);
        break;
      default:
        break;
    }
    updating_ = false;
  }

  DialogForm& form_;
  HWND window_ = nullptr;
  bool updating_ = false;
};

// One modal run of a sheet.
struct SheetRun final : DialogWaker {
  explicit SheetRun(DialogSheet& sheet) : sheet(sheet), frame(sheet.Frame()) {
    for (int i = 0; i < sheet.PageCount(); ++i) pages.push_back(std::make_unique<Win32Form>(sheet.Page(i)));
  }
  // From any thread: the refresh runs on the dialog's thread.
  void Wake() override { PostMessageW(window, kRefreshMessage, 0, 0); }

  void ShowVisiblePage() {
    for (int i = 0; i < static_cast<int>(pages.size()); ++i) {
      Win32Form& page = *pages[static_cast<std::size_t>(i)];
      if (page.Form().TemplateId() != 0 && page.Window())
        ShowWindow(page.Window(), i == sheet.VisiblePage() ? SW_SHOW : SW_HIDE);
    }
  }

  DialogSheet& sheet;
  HWND window = nullptr;
  Win32Form frame;
  std::vector<std::unique_ptr<Win32Form>> pages;
};

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      reinterpret_cast<Win32Form*>(lParam)->Bind(window);
      return TRUE;
    case WM_COMMAND:
      if (form) form->Command(wParam);
      return TRUE;
    case WM_HSCROLL:
      if (form) form->Scroll(lParam);
      return TRUE;
    default:
      return FALSE;
  }
}

void OpenSheet(SheetRun& run, HWND window) {
  run.window = window;
  SetWindowTextW(window, Wide(run.sheet.Caption()).c_str());
  HWND tab = GetDlgItem(window, kIdTab);
  for (int i = 0; i < run.sheet.PageCount(); ++i) {
    std::wstring title = Wide(run.sheet.PageTitle(i));
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title.data();
    SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  for (std::unique_ptr<Win32Form>& page : run.pages) {
    const int templateId = page->Form().TemplateId();
    if (templateId == 0) {
      page->Bind(window);  // its controls are in the sheet's own template
      continue;
    }
    HWND child = CreateDialogParamW(ThisModule(), MAKEINTRESOURCEW(templateId), tab, PageProc,
                                    reinterpret_cast<LPARAM>(page.get()));
    if (child) SetWindowPos(child, nullptr, kPageX, kPageY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  run.frame.Bind(window);
  SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(run.sheet.VisiblePage()), 0);
  run.ShowVisiblePage();
  run.sheet.SetWaker(&run);
}

INT_PTR CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* run = reinterpret_cast<SheetRun*>(GetWindowLongPtrW(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      OpenSheet(*reinterpret_cast<SheetRun*>(lParam), window);
      return TRUE;
    case WM_COMMAND: {
      if (!run) return FALSE;
      const int id = LOWORD(wParam);
      // Pages without a template of their own sit in the sheet's window.
      for (std::unique_ptr<Win32Form>& page : run->pages)
        if (page->Form().TemplateId() == 0 && page->Owns(id)) page->Command(wParam);
      if (run->frame.Owns(id)) run->frame.Command(wParam);
      if (run->sheet.Result() != 0) {
        run->sheet.SetWaker(nullptr);
        EndDialog(window, run->sheet.Result());
      }
      return TRUE;
    }
    case WM_HSCROLL:
      if (run)
        for (std::unique_ptr<Win32Form>& page : run->pages)
          if (page->Form().TemplateId() == 0) page->Scroll(lParam);
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (run && header->idFrom == static_cast<UINT_PTR>(kIdTab) && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
        run->sheet.TabChanged(static_cast<int>(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
        run->ShowVisiblePage();
      }
      return TRUE;
    }
    case kRefreshMessage:
      if (run) run->sheet.DeliverRefresh();
      return TRUE;
    case WM_DESTROY:
      if (run) run->sheet.SetWaker(nullptr);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int RunWin32Dialog(DialogSheet& sheet, platform::WindowHandle parent) {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  SheetRun run(sheet);
  const INT_PTR result = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(sheet.Frame().TemplateId()),
                                         reinterpret_cast<HWND>(parent), SheetProc, reinterpret_cast<LPARAM>(&run));
  sheet.SetWaker(nullptr);
  return result > 0 && sheet.Result() != 0 ? 1 : 0;
}

}  // namespace zirvo
