// The Win32 front end as a person meets it (under wine on Linux): dialogs from
// the templates in both languages, screenshots, a trackbar dragged and keys
// typed through the system's input, which must reach the camera.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "settings/dialogs/analog_dialog.h"
#include "settings/dialogs/camera_property_dialog.h"
#include "settings/dialogs/dialog_front_end.h"
#include "settings/dialogs/image_filter_dialog.h"
#include "support/fake_dialog_camera.h"

namespace zirvo {
namespace {

using test::FakeDialogCamera;

BOOL CALLBACK FindDialog(HWND window, LPARAM result) {
  char name[32] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) != "#32770" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(result) = window;
  return FALSE;
}

HWND OpenDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// The control `id` of the dialog or of its visible page.
HWND Control(HWND dialog, int id) {
  if (HWND direct = GetDlgItem(dialog, id)) return direct;
  HWND tab = GetDlgItem(dialog, 1001);
  for (HWND page = GetWindow(tab, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT))
    if (IsWindowVisible(page))
      if (HWND item = GetDlgItem(page, id)) return item;
  return nullptr;
}

// A 24-bit BMP of what the window shows on the screen.
bool Screenshot(HWND window, const std::string& name) {
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
  GdiFlush();
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(54 + stride * height), 0, 0, 54};
  FILE* out = std::fopen((name + ".bmp").c_str(), "wb");
  bool written = false;
  if (out) {
    written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info.bmiHeader, 40, 1, out) == 1 &&
              std::fwrite(bits, static_cast<std::size_t>(stride) * height, 1, out) == 1;
    std::fclose(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return copied && written;
}

void ClickAt(HWND control, double across) {
  RECT rect;
  GetWindowRect(control, &rect);
  SetCursorPos(rect.left + static_cast<int>((rect.right - rect.left) * across), (rect.top + rect.bottom) / 2);
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, clicks, sizeof(INPUT));
}

void TypeKeys(const std::vector<WORD>& keys) {
  for (WORD key : keys) {
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_KEYBOARD;
    press[0].ki.wVk = press[1].ki.wVk = key;
    press[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, press, sizeof(INPUT));
  }
}

// Steps run one per timer tick inside the dialog's modal loop; a step says
// when it is done. After 30 s the dialog is cancelled.
class Script {
 public:
  using Step = std::function<bool(HWND dialog)>;
  explicit Script(std::vector<Step> steps) : steps_(std::move(steps)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 100, &Script::Tick);
  }
  ~Script() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool Finished() const { return at_ == steps_.size(); }
  bool TimedOut() const { return ticks_ > 300; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Script* script = current_;
    if (!script) return;
    HWND dialog = OpenDialog();
    if (++script->ticks_ > 300 && dialog) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    if (dialog && script->at_ < script->steps_.size() && script->steps_[script->at_](dialog)) ++script->at_;
  }
  static inline Script* current_ = nullptr;
  std::vector<Step> steps_;
  std::size_t at_ = 0;
  int ticks_ = 0;
  UINT_PTR timer_ = 0;
};

Script::Step Settle() {
  return [count = 0](HWND) mutable { return ++count > 5; };
}

Script::Step Shoot(const std::string& name) {
  return [name](HWND dialog) {
    EXPECT_TRUE(Screenshot(dialog, name)) << name;
    return true;
  };
}

Script::Step Press(int id) {
  return [id](HWND dialog) {
    ClickAt(Control(dialog, id), 0.5);
    return true;
  };
}

int RunScripted(DialogSheet& sheet, std::vector<Script::Step> steps) {
  Script script(std::move(steps));
  const int shown = RunModalDialog(sheet, nullptr);
  EXPECT_TRUE(script.Finished());
  EXPECT_FALSE(script.TimedOut());
  return shown;
}

const std::pair<DialogLanguage, const char*> kLanguages[] = {{DialogLanguage::kEnglish, "en"},
                                                             {DialogLanguage::kJapanese, "ja"}};

TEST(Win32Dialogs, CameraDialogInBothLanguagesFromItsTemplates) {
  FakeDialogCamera camera;
  camera.stored.Add({4384, 3288, 4384, 3288, 0, 0, 10});
  for (const auto& [language, suffix] : kLanguages) {
    CameraPropertyDialog dialog(camera, language);
    EXPECT_EQ(RunScripted(dialog, {Settle(), Shoot(std::string("win32_camera_") + suffix),
                                   [](HWND window) {
                                     EXPECT_EQ(SendMessageW(Control(window, kIdSizeList), CB_GETCOUNT, 0, 0), 2);
                                     EXPECT_FALSE(IsWindowEnabled(Control(window, kIdApply)));
                                     wchar_t text[16] = {};
                                     GetWindowTextW(Control(window, kIdTotalWidth), text, 16);
                                     EXPECT_EQ(std::wstring(text), L"4384");
                                     return true;
                                   },
                                   Press(kIdOk)}),
              1);
    EXPECT_EQ(dialog.Result(), 1);
  }
}

TEST(Win32Dialogs, FilterSheetPagesAndAClickedTrackbarReachTheCamera) {
  FakeDialogCamera camera;
  camera.colorMode = 0;
  for (const auto& [language, suffix] : kLanguages) {
    ImageFilterDialog dialog(camera, language);
    EXPECT_EQ(RunScripted(dialog, {Settle(), Shoot(std::string("win32_image_filter_") + suffix),
                                   [](HWND window) {
                                     EXPECT_FALSE(IsWindowEnabled(Control(window, 2021)));  // hue in monochrome
                                     ClickAt(Control(window, 2081), 0.95);  // gamma trackbar, page right
                                     return true;
                                   },
                                   Settle(),
                                   [&camera](HWND window) {
                                     EXPECT_GT(camera.Values().filter[kFilterGamma], 100);
                                     wchar_t text[16] = {};
                                     GetWindowTextW(Control(window, 2082), text, 16);
                                     EXPECT_EQ(std::to_wstring(camera.Values().filter[kFilterGamma]), text);
                                     return true;
                                   },
                                   Press(kIdCancel)}),
              1);
    EXPECT_EQ(dialog.Result(), 2);
    EXPECT_EQ(camera.Values().filter[kFilterGamma], 100);  // Cancel restored it
  }
}

TEST(Win32Dialogs, AnalogSheetTypedGlobalGainSetsEveryColourGain) {
  FakeDialogCamera camera;
  for (const auto& [language, suffix] : kLanguages) {
    AnalogDialog dialog(camera, language);
    EXPECT_EQ(RunScripted(dialog, {Settle(), Shoot(std::string("win32_analog_") + suffix),
                                   [](HWND window) {
                                     for (int id : {1013, 1015, 1038, 1026, 1027, 1043})
                                       EXPECT_TRUE(IsWindowEnabled(Control(window, id))) << id;
                                     HWND edit = Control(window, kIdGlobalGainEdit);
                                     SetForegroundWindow(window);
                                     SetFocus(edit);
                                     SendMessageW(edit, EM_SETSEL, 0, -1);
                                     TypeKeys({'5', '0'});
                                     return true;
                                   },
                                   Settle(),
                                   [&camera](HWND) {
                                     EXPECT_EQ(camera.Values().analog.globalGain, 50);
                                     EXPECT_EQ(camera.Values().analog.colorGainGreen2, 50);
                                     return true;
                                   },
                                   Press(kIdOk)}),
              1);
    EXPECT_EQ(dialog.Result(), 1);
    camera.Change([](DialogValues& v) { v.analog.globalGain = 100; });
  }
}

}  // namespace
}  // namespace zirvo
