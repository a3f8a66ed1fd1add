// The Win32 dialog templates are the dialog model's controls written as a
// resource script: this test writes the script from the model and requires
// the committed one to match, so the two never drift apart.
// ZIRVO_WRITE_TEMPLATES=1 rewrites the committed script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "settings/dialogs/analog_dialog.h"
#include "settings/dialogs/camera_property_dialog.h"
#include "settings/dialogs/image_filter_dialog.h"
#include "support/fake_dialog_camera.h"

namespace zirvo {
namespace {

const char* const kScriptPath = ZIRVO_SOURCE_DIR "/src/settings/dialogs/win32/dialogs.rc";

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string Box(const DialogRect& r) {
  return std::to_string(r.x) + ", " + std::to_string(r.y) + ", " + std::to_string(r.width) + ", " +
         std::to_string(r.height);
}

// One control statement; radio groups start and end with WS_GROUP.
std::string Statement(const DialogControl& c, bool startsGroup) {
  const std::string id = std::to_string(c.id), box = Box(c.rect);
  const std::string group = startsGroup ? " | WS_GROUP" : "";
  switch (c.kind) {
    case ControlKind::kLabel:
    case ControlKind::kStatic:
      return "LTEXT " + Quoted(c.text) + ", " + id + ", " + box + (startsGroup ? ", SS_LEFT | WS_GROUP" : "");
    case ControlKind::kGroupBox:
      return "GROUPBOX " + Quoted(c.text) + ", " + id + ", " + box;
    case ControlKind::kEdit:
      return "EDITTEXT " + id + ", " + box + ", ES_AUTOHSCROLL | WS_TABSTOP" + group;
    case ControlKind::kReadOnlyEdit:
      return "EDITTEXT " + id + ", " + box + ", ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP" + group;
    case ControlKind::kDropDownList:
      return "COMBOBOX " + id + ", " + box + ", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP" + group;
    case ControlKind::kPushButton:
      return "PUSHBUTTON " + Quoted(c.text) + ", " + id + ", " + box + ", WS_TABSTOP" + group;
    case ControlKind::kDefaultPushButton:
      return "DEFPUSHBUTTON " + Quoted(c.text) + ", " + id + ", " + box + ", WS_TABSTOP" + group;
    case ControlKind::kCheckBox:
      return "AUTOCHECKBOX " + Quoted(c.text) + ", " + id + ", " + box + ", WS_TABSTOP" + group;
    case ControlKind::kRadioButton:
      return "AUTORADIOBUTTON " + Quoted(c.text) + ", " + id + ", " + box + ", WS_TABSTOP" + group;
    case ControlKind::kTrackbar:
      return "CONTROL \"\", " + id + ", \"msctls_trackbar32\", TBS_AUTOTICKS | WS_TABSTOP" + group + ", " + box;
    case ControlKind::kUpDown:
      return "CONTROL \"\", " + id + ", \"msctls_updown32\", UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, " +
             box;
    case ControlKind::kTab:
      return "CONTROL \"\", " + id + ", \"SysTabControl32\", WS_TABSTOP" + group + ", " + box;
  }
  return {};
}

void Controls(std::ostringstream& out, const std::vector<DialogControl>& controls, int& lastGroup) {
  for (const DialogControl& control : controls) {
    const bool radio = control.kind == ControlKind::kRadioButton;
    const bool startsGroup = radio ? control.group != lastGroup : lastGroup != 0;
    lastGroup = radio ? control.group : 0;
    out << "  " << Statement(control, startsGroup) << "\n";
  }
}

void Template(std::ostringstream& out, const DialogForm& form, const std::string& caption,
              const std::vector<const DialogForm*>& inside) {
  const DialogRect size = form.Size();
  out << form.TemplateId() << " DIALOGEX 0, 0, " << size.width << ", " << size.height << "\n";
  if (caption.empty()) {
    out << "STYLE DS_SETFONT | DS_FIXEDSYS | DS_CONTROL | WS_CHILD\n";
  } else {
    out << "STYLE DS_SETFONT | DS_MODALFRAME | DS_FIXEDSYS | WS_POPUP | WS_CAPTION | WS_SYSMENU\n";
    out << "CAPTION " << Quoted(caption) << "\n";
  }
  out << "FONT 8, \"MS Shell Dlg\", 400, 0, 0x1\nBEGIN\n";
  int lastGroup = 0;
  std::vector<DialogControl> frame = form.Controls();
  // The tab control first, the buttons last, page controls of the sheet's
  // own template between them.
  std::vector<DialogControl> tab, buttons;
  for (const DialogControl& control : frame) (control.kind == ControlKind::kTab ? tab : buttons).push_back(control);
  Controls(out, tab, lastGroup);
  for (const DialogForm* page : inside) Controls(out, page->Controls(), lastGroup);
  Controls(out, buttons, lastGroup);
  out << "END\n\n";
}

void Sheet(std::ostringstream& out, DialogSheet& sheet) {
  std::vector<const DialogForm*> inside;
  for (int i = 0; i < sheet.PageCount(); ++i)
    if (sheet.Page(i).TemplateId() == 0) inside.push_back(&sheet.Page(i));
  Template(out, sheet.Frame(), sheet.Caption(), inside);
  for (int i = 0; i < sheet.PageCount(); ++i)
    if (sheet.Page(i).TemplateId() != 0) Template(out, sheet.Page(i), "", {});
}

std::string Script() {
  std::ostringstream out;
  out << "// Dialog templates of the property dialogs, in Japanese and English.\n"
         "// Written from the dialog model by tests/settings/dialog_templates_test.cpp\n"
         "// (ZIRVO_WRITE_TEMPLATES=1); edit the model, not this file.\n"
         "#pragma code_page(65001)\n#include <windows.h>\n#include <commctrl.h>\n\n";
  for (DialogLanguage language : {DialogLanguage::kJapanese, DialogLanguage::kEnglish}) {
    out << (language == DialogLanguage::kJapanese ? "LANGUAGE LANG_JAPANESE, SUBLANG_DEFAULT\n\n"
                                                  : "LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US\n\n");
    test::FakeDialogCamera camera;
    camera.colorMode = 0;  // every page: the gray filter tab is present
    CameraPropertyDialog cameraDialog(camera, language);
    ImageFilterDialog filterDialog(camera, language);
    AnalogDialog analogDialog(camera, language);
    Sheet(out, cameraDialog);
    Sheet(out, filterDialog);
    Sheet(out, analogDialog);
  }
  return out.str();
}

TEST(DialogTemplates, ResourceScriptMatchesTheDialogModel) {
  const std::string expected = Script();
  if (const char* write = std::getenv("ZIRVO_WRITE_TEMPLATES"); write && std::string(write) == "1") {
    std::ofstream(kScriptPath, std::ios::binary) << expected;
  }
  std::ifstream file(kScriptPath, std::ios::binary);
  ASSERT_TRUE(file) << kScriptPath;
  std::stringstream committed;
  committed << file.rdbuf();
  EXPECT_EQ(committed.str(), expected) << "the templates differ from the dialog model";
}

TEST(DialogTemplates, EveryTemplateOfBothLanguagesIsPresent) {
  const std::string script = Script();
  for (int id : {101, 106, 102, 108, 103, 107, 113, 112, 104, 111, 105, 110})
    EXPECT_NE(script.find("\n" + std::to_string(id) + " DIALOGEX"), std::string::npos) << id;
  EXPECT_NE(script.find("104 DIALOGEX 0, 0, 294, 199"), std::string::npos);
  EXPECT_NE(script.find("111 DIALOGEX 0, 0, 294, 178"), std::string::npos);
  EXPECT_NE(script.find("110 DIALOGEX 0, 0, 238, 126"), std::string::npos);
  EXPECT_NE(script.find("CAPTION \"プロパティ\""), std::string::npos);
  EXPECT_NE(script.find("LTEXT \"※WORD転送モードの際は動作クロックをハーフに設定してください\", -1, 90, 185, 204, 8"),
            std::string::npos);
  EXPECT_NE(script.find("DEFPUSHBUTTON \"OK\", 1, 116, 209, 60, 13"), std::string::npos);
  EXPECT_NE(script.find("PUSHBUTTON \"Apply(&A)\", 1002, 246, 209, 60, 13"), std::string::npos);
}

}  // namespace
}  // namespace zirvo
