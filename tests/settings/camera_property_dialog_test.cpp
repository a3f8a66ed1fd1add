// The camera dialog driven as a user drives it: lists, preset edits, Custom,
// Apply, OK and Cancel, against a preset store in memory.
#include "settings/dialogs/camera_property_dialog.h"

#include <gtest/gtest.h>

#include "support/fake_dialog_camera.h"

namespace zirvo {
namespace {

using test::FakeDialogCamera;

constexpr int kEffectiveWidth = 1041, kEffectiveHeight = 1042, kStartX = 1043;

class CameraPropertyDialogTest : public ::testing::Test {
 protected:
  CameraPropertyDialogTest() {
    // What a first run writes.
    camera_.stored.Add({4384, 3288, 4384, 3288, 0, 0, 10});
    camera_.stored.colorMode = 2;
  }
  std::vector<std::string> Items(CameraPropertyDialog& dialog, int id) { return dialog.Page(0).Find(id)->items; }
  FakeDialogCamera camera_;
};

TEST_F(CameraPropertyDialogTest, FirstRunShowsTheFactoryPresetAndCustom) {
  CameraPropertyDialog dialog(camera_, DialogLanguage::kEnglish);
  DialogForm& page = dialog.Page(0);
  EXPECT_EQ(Items(dialog, kIdSizeList), (std::vector<std::string>{"4384 x 3288", "Custom"}));
  EXPECT_EQ(page.Find(kIdSizeList)->selection, 0);
  EXPECT_EQ(page.Find(kIdTotalWidth)->text, "4384");
  EXPECT_EQ(page.Find(kIdTotalWidth + 1)->text, "3288");
  EXPECT_EQ(page.Find(kIdTotalWidth)->kind, ControlKind::kReadOnlyEdit);
  EXPECT_EQ(page.Find(kStartX)->text, "0");
  EXPECT_EQ(page.Find(kIdWaitTime)->text, "10");
  EXPECT_EQ(page.Find(kIdColorList)->selection, 2);
  EXPECT_EQ(Items(dialog, kIdColorList).at(1), "Monochrome 12bit *");
  EXPECT_EQ(Items(dialog, kIdSubSampleList), (std::vector<std::string>{"1/1", "1/2 Skip", "1/4 Skip"}));
  EXPECT_EQ(Items(dialog, kIdClockList), (std::vector<std::string>{"Nomal"}));
  EXPECT_FALSE(dialog.Frame().Find(kIdApply)->enabled);
  EXPECT_EQ(dialog.PageTitle(0), "Stream Format");
  EXPECT_EQ(dialog.Frame().Find(kIdApply)->text, "Apply(&A)");
}

TEST_F(CameraPropertyDialogTest, JapaneseTextsAndLists) {
  CameraPropertyDialog dialog(camera_, DialogLanguage::kJapanese);
  EXPECT_EQ(dialog.Caption(), "プロパティ");
  EXPECT_EQ(dialog.PageTitle(0), "ストリーム形式");
  EXPECT_EQ(Items(dialog, kIdColorList).at(4), "カラー 48bit ※");
  EXPECT_EQ(Items(dialog, kIdClockList), (std::vector<std::string>{"標準"}));
  EXPECT_EQ(Items(dialog, kIdSizeList).back(), "カスタム");
  EXPECT_EQ(dialog.Frame().Find(kIdApply)->text, "適用(&A)");
  bool noteFound = false;
  for (const DialogControl& control : dialog.Page(0).Controls())
    noteFound |= control.text == "※WORD転送モードの際は動作クロックをハーフに設定してください";
  EXPECT_TRUE(noteFound);
}

TEST_F(CameraPropertyDialogTest, CustomSizeAppliedBecomesANewPresetBeforeCustom) {
  CameraPropertyDialog dialog(camera_, DialogLanguage::kEnglish);
  DialogForm& page = dialog.Page(0);
  page.SelectionChanged(kIdSizeList, 1);  // "Custom": the edits keep what they show
  EXPECT_TRUE(dialog.Frame().Find(kIdApply)->enabled);
  EXPECT_EQ(page.Find(kEffectiveWidth)->text, "4384");
  page.EditChanged(kEffectiveWidth, "1280");
  page.EditChanged(kEffectiveHeight, "960");
  dialog.Frame().Clicked(kIdApply);
  EXPECT_EQ(dialog.Result(), 0);
  ASSERT_EQ(camera_.saves, 1);
  ASSERT_EQ(camera_.stored.count, 2);
  EXPECT_EQ(camera_.stored.presets[1], (CameraSizeSettings{4384, 3288, 1280, 960, 0, 0, 10}));
  EXPECT_EQ(camera_.stored.size, 1);
  EXPECT_EQ(Items(dialog, kIdSizeList), (std::vector<std::string>{"4384 x 3288", "1280 x 960", "Custom"}));
  EXPECT_EQ(page.Find(kIdSizeList)->selection, 1);
  EXPECT_FALSE(dialog.Frame().Find(kIdApply)->enabled);
}

TEST_F(CameraPropertyDialogTest, EditingAPresetReplacesItsEntry) {
  camera_.stored.Add({4384, 3288, 640, 480, 8, 8, 3});
  CameraPropertyDialog dialog(camera_, DialogLanguage::kEnglish);
  DialogForm& page = dialog.Page(0);
  page.SelectionChanged(kIdSizeList, 1);
  EXPECT_EQ(page.Find(kEffectiveWidth)->text, "640");
  EXPECT_EQ(page.Find(kStartX)->text, "8");
  page.EditChanged(kEffectiveWidth, "800");
  page.EditChanged(kStartX, "junk");
  dialog.Frame().Clicked(kIdOk);
  EXPECT_EQ(dialog.Result(), 1);
  EXPECT_EQ(camera_.stored.count, 2);
  EXPECT_EQ(camera_.stored.presets[1], (CameraSizeSettings{4384, 3288, 800, 480, 0, 8, 3}));
  EXPECT_EQ(Items(dialog, kIdSizeList).at(1), "800 x 480");
}

TEST_F(CameraPropertyDialogTest, ListsAndWaitTimeAreReadOnApply) {
  CameraPropertyDialog dialog(camera_, DialogLanguage::kEnglish);
  DialogForm& page = dialog.Page(0);
  page.SelectionChanged(kIdColorList, 5);
  page.SelectionChanged(kIdSubSampleList, 2);
  page.EditChanged(kIdWaitTime, "25");
  dialog.Frame().Clicked(kIdApply);
  EXPECT_EQ(camera_.stored.colorMode, 5);
  EXPECT_EQ(camera_.stored.subSampleMode, 2);
  EXPECT_EQ(camera_.stored.waitTime, 25);
  EXPECT_EQ(camera_.stored.clock, 0);
  page.EditChanged(kIdWaitTime, "-5");  // read as an unsigned number: no number
  dialog.Frame().Clicked(kIdApply);
  EXPECT_EQ(camera_.stored.waitTime, 0);
}

TEST_F(CameraPropertyDialogTest, SubSampleModesWithoutAListEntrySurviveOk) {
  camera_.stored.subSampleMode = 17;
  CameraPropertyDialog dialog(camera_, DialogLanguage::kEnglish);
  EXPECT_EQ(dialog.Page(0).Find(kIdSubSampleList)->selection, -1);
  dialog.Frame().Clicked(kIdOk);
  EXPECT_EQ(camera_.stored.subSampleMode, 17);
}

TEST_F(CameraPropertyDialogTest, CancelWritesNothing) {
  CameraPropertyDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.Page(0).SelectionChanged(kIdColorList, 0);
  dialog.Frame().Clicked(kIdCancel);
  EXPECT_EQ(dialog.Result(), 2);
  EXPECT_EQ(camera_.saves, 0);
}

TEST_F(CameraPropertyDialogTest, ApplyIsRefusedUntilSomethingChanges) {
  CameraPropertyDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.Frame().Clicked(kIdApply);
  EXPECT_EQ(camera_.saves, 0);
  dialog.Page(0).EditChanged(kIdWaitTime, "11");
  EXPECT_TRUE(dialog.Frame().Find(kIdApply)->enabled);
}

TEST_F(CameraPropertyDialogTest, UnreadableStoreOffersOnlyCustom) {
  camera_.storeReadable = false;
  CameraPropertyDialog dialog(camera_, DialogLanguage::kEnglish);
  EXPECT_EQ(Items(dialog, kIdSizeList), (std::vector<std::string>{"Custom"}));
  EXPECT_EQ(dialog.Page(0).Find(kIdSizeList)->selection, 0);
  EXPECT_EQ(dialog.Page(0).Find(kIdWaitTime)->text, "10");
  dialog.Page(0).EditChanged(kEffectiveWidth, "100");
  dialog.Frame().Clicked(kIdOk);
  EXPECT_EQ(camera_.stored.count, 1);
  EXPECT_EQ(camera_.stored.presets[0].width, 100);
}

TEST_F(CameraPropertyDialogTest, AFullTableTakesNoCustomPreset) {
  for (int i = 1; i < kMaxPresets; ++i) camera_.stored.Add({4384, 3288, i, i, 0, 0, 10});
  CameraPropertyDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.Page(0).SelectionChanged(kIdSizeList, kMaxPresets);
  dialog.Page(0).EditChanged(kEffectiveWidth, "321");
  dialog.Frame().Clicked(kIdOk);
  EXPECT_EQ(camera_.stored.count, kMaxPresets);
  EXPECT_LT(camera_.stored.size, kMaxPresets);
  EXPECT_EQ(camera_.stored.presets[kMaxPresets - 1].width, kMaxPresets - 1);
}

}  // namespace
}  // namespace zirvo
