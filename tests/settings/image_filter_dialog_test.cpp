// The filter sheet driven as a user drives it: typing, sliding, clicking,
// switching tabs, OK, Cancel, Default, and refreshes from the capture thread.
#include "settings/dialogs/image_filter_dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/fake_dialog_camera.h"

namespace zirvo {
namespace {

using test::FakeDialogCamera;

constexpr int kBrightnessEdit = 2002, kBrightnessBar = 2001, kHueBar = 2021, kHueEdit = 2022, kHueUpDown = 2024;
constexpr int kRedGainEdit = 2052, kGammaEdit = 2082, kGammaBar = 2081;

class ImageFilterDialogTest : public ::testing::Test {
 protected:
  FilterSettings Filter() { return camera_.Values().filter; }
  FakeDialogCamera camera_;
};

TEST_F(ImageFilterDialogTest, MonochromeModeOffersGrayTabAndDisablesColourControls) {
  camera_.colorMode = 0;
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  ASSERT_EQ(dialog.PageCount(), 2);
  EXPECT_EQ(dialog.PageTitle(0), "Image Filter");
  EXPECT_EQ(dialog.PageTitle(1), "Gray Filter");
  ImageFilterPage& page = dialog.ImagePage();
  for (int id : {2001, 2002, 2004, 2011, 2041, 2081, 2082, 2084}) EXPECT_TRUE(page.Find(id)->enabled) << id;
  for (int id : {2021, 2022, 2024, 2031, 2051, 2061, 2062, 2063, 2071, 2074, 1035, 1029, 1033})
    EXPECT_FALSE(page.Find(id)->enabled) << id;
  // A disabled control takes no action.
  page.EditChanged(kHueEdit, "90");
  page.Clicked(kIdOnce);
  EXPECT_EQ(Filter()[kFilterHue], 0);
  EXPECT_EQ(Filter()[kFilterAutoWhiteBalance], 0);
}

TEST_F(ImageFilterDialogTest, ColourModeHasOneTabWithEverythingEnabled) {
  camera_.colorMode = 2;
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  EXPECT_EQ(dialog.PageCount(), 1);
  EXPECT_EQ(dialog.GrayPage(), nullptr);
  for (const DialogControl& control : dialog.ImagePage().Controls()) EXPECT_TRUE(control.enabled) << control.id;
}

TEST_F(ImageFilterDialogTest, RowsStartFromTheEntriesWithTheirRangesAndTicks) {
  camera_.Change([](DialogValues& v) { v.filter[kFilterHue] = -45; });
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  const DialogForm& page = dialog.ImagePage();
  const DialogControl* bar = page.Find(kHueBar);
  EXPECT_EQ(bar->minimum, -360);
  EXPECT_EQ(bar->maximum, 360);
  EXPECT_EQ(bar->tickFrequency, 90);
  EXPECT_EQ(bar->position, -45);
  EXPECT_EQ(page.Find(kHueEdit)->text, "-45");
  EXPECT_EQ(page.Find(kHueUpDown)->buddy, kHueEdit);
  EXPECT_EQ(page.Find(kHueUpDown)->minimum, -360);
  EXPECT_EQ(page.Find(2041)->tickFrequency, 4);
  EXPECT_EQ(page.Find(2063)->buddy, 2062);  // the green row's up-down is 2063
  EXPECT_TRUE(page.Find(1033)->checked);    // Bayer phase 3
  EXPECT_FALSE(page.Find(1029)->checked);
}

TEST_F(ImageFilterDialogTest, TypingStoresTheEntryAndMovesTheTrackbar) {
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  ImageFilterPage& page = dialog.ImagePage();
  test::RecordingObserver observer;
  page.SetObserver(&observer);
  page.EditChanged(kBrightnessEdit, "-40");
  EXPECT_EQ(Filter()[kFilterBrightness], -40);
  EXPECT_EQ(page.Find(kBrightnessBar)->position, -40);
  EXPECT_TRUE(observer.Saw(kBrightnessBar));
  EXPECT_FALSE(observer.Saw(kBrightnessEdit));  // the user's own text stays as typed
  page.EditChanged(kBrightnessEdit, "-");
  EXPECT_EQ(Filter()[kFilterBrightness], 0);
  page.EditChanged(kGammaEdit, "12x");
  EXPECT_EQ(Filter()[kFilterGamma], 0);
}

TEST_F(ImageFilterDialogTest, TypedValuesOutsideTheRowStayInsideItsRange) {
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.ImagePage().EditChanged(kRedGainEdit, "9999");
  EXPECT_EQ(Filter()[kFilterGainRed], 400);
  dialog.ImagePage().EditChanged(kHueEdit, "-2147483648");
  EXPECT_EQ(Filter()[kFilterHue], -360);
}

TEST_F(ImageFilterDialogTest, MovingATrackbarShowsTheValueAndStoresIt) {
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  ImageFilterPage& page = dialog.ImagePage();
  test::RecordingObserver observer;
  page.SetObserver(&observer);
  page.TrackbarMoved(kGammaBar, 150);
  EXPECT_EQ(page.Find(kGammaEdit)->text, "150");
  EXPECT_TRUE(observer.Saw(kGammaEdit));
  EXPECT_EQ(Filter()[kFilterGamma], 150);
  page.TrackbarMoved(kGammaBar, 500);  // a trackbar never leaves its range
  EXPECT_EQ(Filter()[kFilterGamma], 200);
}

TEST_F(ImageFilterDialogTest, WhiteBalanceButtonsAndBayerRadios) {
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  ImageFilterPage& page = dialog.ImagePage();
  page.Clicked(1031);
  EXPECT_EQ(Filter()[kFilterBayerMode], 1);
  EXPECT_TRUE(page.Find(1031)->checked);
  EXPECT_FALSE(page.Find(1033)->checked);
  camera_.Change([](DialogValues& v) { v.filter[26] = v.filter[27] = 5; });
  page.Clicked(kIdAllFrames);
  EXPECT_EQ(Filter()[kFilterAutoWhiteBalance], 1);
  EXPECT_EQ(Filter()[26], 0);
  EXPECT_EQ(Filter()[27], 0);
  page.Clicked(kIdOnce);
  EXPECT_EQ(Filter()[25], 1);
  EXPECT_EQ(Filter()[26], 1);
  EXPECT_EQ(Filter()[27], 1);
  EXPECT_FALSE(page.Find(kIdAllFrames)->checked);
  page.Clicked(kIdAllFrames);
  page.Clicked(kIdAllFrames);
  EXPECT_EQ(Filter()[kFilterAutoWhiteBalance], 0);
}

TEST_F(ImageFilterDialogTest, CancelRestoresEveryEntryTheDialogChanged) {
  camera_.colorMode = 1;
  camera_.Change([](DialogValues& v) { v.filter[kFilterGrayGainG1] = 77; });
  const FilterSettings before = Filter();
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.ImagePage().TrackbarMoved(kBrightnessBar, 99);
  dialog.GrayPage()->EditChanged(2104, "300");
  dialog.GrayPage()->Clicked(1048);
  dialog.Frame().Clicked(kIdDefault);
  EXPECT_NE(Filter().entries, before.entries);
  dialog.Frame().Clicked(kIdCancel);
  EXPECT_EQ(dialog.Result(), 2);
  EXPECT_EQ(Filter().entries, before.entries);
}

TEST_F(ImageFilterDialogTest, OkKeepsTheEditedValues) {
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.ImagePage().EditChanged(kBrightnessEdit, "12");
  dialog.ImagePage().Clicked(1029);
  dialog.Frame().Clicked(kIdOk);
  EXPECT_EQ(dialog.Result(), 1);
  EXPECT_EQ(Filter()[kFilterBrightness], 12);
  EXPECT_EQ(Filter()[kFilterBayerMode], 0);
  dialog.Frame().Clicked(kIdCancel);  // a closed dialog takes no more buttons
  EXPECT_EQ(Filter()[kFilterBrightness], 12);
}

TEST_F(ImageFilterDialogTest, DefaultInColourModeResetsImageEntriesOnly) {
  camera_.Change([](DialogValues& v) {
    for (int e = 0; e < 9; ++e) v.filter[e] = 7;
    v.filter[kFilterBayerMode] = 1;
    v.filter[kFilterGrayMode] = 2;
    v.filter[kFilterGrayGainR] = 9;
    v.filter[kFilterAutoWhiteBalance] = 1;
  });
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.Frame().Clicked(kIdDefault);
  const FilterSettings f = Filter();
  for (int e = 0; e <= 4; ++e) EXPECT_EQ(f[e], 0) << e;
  for (int e = 5; e <= 8; ++e) EXPECT_EQ(f[e], 100) << e;
  EXPECT_EQ(f[kFilterBayerMode], 3);
  EXPECT_EQ(f[kFilterGrayMode], 2);
  EXPECT_EQ(f[kFilterGrayGainR], 9);
  EXPECT_EQ(f[kFilterAutoWhiteBalance], 1);
  EXPECT_EQ(dialog.ImagePage().Find(kGammaEdit)->text, "100");
  EXPECT_EQ(dialog.ImagePage().Find(kBrightnessBar)->position, 0);
  EXPECT_TRUE(dialog.ImagePage().Find(1033)->checked);
  EXPECT_EQ(dialog.Result(), 0);
}

TEST_F(ImageFilterDialogTest, DefaultInMonochromeModeAlsoResetsGrayGainsAndOffsets) {
  camera_.colorMode = 0;
  camera_.Change([](DialogValues& v) {
    v.filter[kFilterGrayGainB] = 1;
    v.filter[kFilterGrayOffsetG2] = -9;
    v.filter[kFilterGrayMode] = 1;
  });
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.Frame().Clicked(kIdDefault);
  for (int e = kFilterGrayGainR; e <= kFilterGrayGainB; ++e) EXPECT_EQ(Filter()[e], 128);
  for (int e = kFilterGrayOffsetR; e <= kFilterGrayOffsetB; ++e) EXPECT_EQ(Filter()[e], 0);
  EXPECT_EQ(Filter()[kFilterGrayMode], 1);
  EXPECT_EQ(dialog.GrayPage()->Find(2110)->text, "128");
}

TEST_F(ImageFilterDialogTest, GrayPageRowsModeAndAutomaticGain) {
  camera_.colorMode = 0;
  camera_.Change([](DialogValues& v) { v.filter[kFilterGrayMode] = 1; });
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  GrayFilterPage& gray = *dialog.GrayPage();
  EXPECT_TRUE(gray.Find(1047)->checked);
  EXPECT_FALSE(gray.Find(kIdAllFrames)->checked);
  EXPECT_EQ(gray.Find(2112)->minimum, -255);
  gray.EditChanged(2113, "-30");  // red offset
  EXPECT_EQ(Filter()[kFilterGrayOffsetR], -30);
  EXPECT_EQ(gray.Find(2112)->position, -30);
  gray.TrackbarMoved(2106, 200);  // green2 gain
  EXPECT_EQ(Filter()[kFilterGrayGainG2], 200);
  EXPECT_EQ(gray.Find(2107)->text, "200");
  gray.Clicked(1048);
  EXPECT_EQ(Filter()[kFilterGrayMode], 2);
  gray.Clicked(kIdAllFrames);
  EXPECT_EQ(Filter()[kFilterAutoGrayGain], -1);
  gray.Clicked(kIdAllFrames);
  EXPECT_EQ(Filter()[kFilterAutoGrayGain], 0);
  gray.Clicked(kIdOnce);
  EXPECT_EQ(Filter()[kFilterAutoGrayGain], 1);
  gray.Clicked(kIdAllFrames);
  EXPECT_EQ(Filter()[kFilterAutoGrayGain], 0);
}

TEST_F(ImageFilterDialogTest, BothPagesShowTheOneBayerPhase) {
  camera_.colorMode = 0;
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.TabChanged(1);
  EXPECT_EQ(dialog.VisiblePage(), 1);
  dialog.GrayPage()->Clicked(1029);
  EXPECT_EQ(Filter()[kFilterBayerMode], 0);
  dialog.TabChanged(0);
  EXPECT_EQ(dialog.VisiblePage(), 0);
  EXPECT_TRUE(dialog.ImagePage().Find(1029)->checked);
  EXPECT_FALSE(dialog.ImagePage().Find(1033)->checked);
}

class CountingWaker : public DialogWaker {
 public:
  void Wake() override { wakes.fetch_add(1); }
  std::atomic<int> wakes{0};
};

TEST_F(ImageFilterDialogTest, CaptureThreadRefreshReachesControlsOnlyOnTheDialogThread) {
  camera_.colorMode = 0;
  ImageFilterDialog dialog(camera_, DialogLanguage::kEnglish);
  CountingWaker waker;
  dialog.SetWaker(&waker);
  test::RecordingObserver observer;
  dialog.ImagePage().SetObserver(&observer);
  std::thread capture([&] {
    camera_.Change([](DialogValues& v) {
      v.filter[kFilterGainRed] = 321;
      v.filter[kFilterGrayGainG1] = 222;
    });
    static_cast<DialogRefresh&>(dialog).RefreshFilterSheet();
  });
  capture.join();
  EXPECT_EQ(waker.wakes.load(), 1);
  EXPECT_TRUE(observer.changed.empty());  // nothing touched from the capture thread
  EXPECT_EQ(dialog.ImagePage().Find(kRedGainEdit)->text, "100");
  dialog.DeliverRefresh();
  EXPECT_EQ(dialog.ImagePage().Find(kRedGainEdit)->text, "321");
  EXPECT_EQ(dialog.ImagePage().Find(2051)->position, 321);
  EXPECT_EQ(dialog.GrayPage()->Find(2104)->text, "222");
  observer.changed.clear();
  dialog.DeliverRefresh();  // delivered once only
  EXPECT_TRUE(observer.changed.empty());
  dialog.SetWaker(nullptr);
  static_cast<DialogRefresh&>(dialog).RefreshFilterSheet();
  EXPECT_EQ(waker.wakes.load(), 1);
}

TEST_F(ImageFilterDialogTest, SheetTextsFollowTheLanguage) {
  ImageFilterDialog english(camera_, DialogLanguage::kEnglish);
  ImageFilterDialog japanese(camera_, DialogLanguage::kJapanese);
  EXPECT_EQ(english.Caption(), "Property");
  EXPECT_EQ(english.Frame().Find(kIdDefault)->text, "Default(&D)");
  EXPECT_EQ(japanese.Caption(), "プロパティ");
  EXPECT_EQ(japanese.Frame().Find(kIdCancel)->text, "キャンセル");
  EXPECT_EQ(japanese.Frame().Find(kIdDefault)->text, "規定値(&D)");
  EXPECT_EQ(japanese.ImagePage().Find(kIdAllFrames)->text, "All frames");  // pages are English in both
  EXPECT_EQ(japanese.Frame().Find(kIdTab)->rect.height, 168);
}

}  // namespace
}  // namespace zirvo
