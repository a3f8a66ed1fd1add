// The analog sheet driven as a user drives it, with every command it sends
// to the camera.
#include "settings/dialogs/analog_dialog.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/fake_dialog_camera.h"

namespace zirvo {
namespace {

using test::FakeDialogCamera;
using test::SentCommand;

constexpr int kGlobalBar = 1013, kGreen1Edit = 1019, kRedEdit = 1021, kBlueEdit = 1023, kGreen2Edit = 1025;
constexpr int kExposureBar = 1026;

class AnalogDialogTest : public ::testing::Test {
 protected:
  AnalogSettings Analog() { return camera_.Values().analog; }
  int BayerPhase() { return camera_.Values().filter[kFilterBayerMode]; }
  FakeDialogCamera camera_;
};

TEST_F(AnalogDialogTest, OpeningTakesWhatTheSensorWasLastProgrammedWith) {
  camera_.programmed = {40, 41, 42, 43, 44, 700, 0, 0, 0};
  camera_.Change([](DialogValues& v) { v.analog.mirrorVertical = 1; v.analog.autoIris = 2; });
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  EXPECT_EQ(Analog(), (AnalogSettings{40, 41, 42, 43, 44, 700, 1, 0, 2}));
  AnalogPage& page = dialog.Page();
  EXPECT_EQ(page.Find(kIdGlobalGainEdit)->text, "40");
  EXPECT_EQ(page.Find(kRedEdit)->text, "42");
  EXPECT_EQ(page.Find(kExposureBar)->position, 700);
  EXPECT_EQ(page.Find(kExposureBar)->tickFrequency, 1023);
  EXPECT_EQ(page.Find(kGlobalBar)->tickFrequency, 15);
  EXPECT_EQ(page.Find(1043)->maximum, 8191);
  EXPECT_TRUE(page.Find(kIdMirrorV)->checked);
  EXPECT_FALSE(page.Find(kIdMirrorH)->checked);
  EXPECT_TRUE(page.Find(kIdIrisGain)->checked);
  EXPECT_FALSE(page.Find(kIdIrisExposure)->checked);
  EXPECT_EQ(page.Find(kIdExposureTime)->text, "=7.02ms");  // (1000 * 700 + 2000) * 0.01 µs
  EXPECT_TRUE(camera_.Sent().empty());
}

TEST_F(AnalogDialogTest, TypingTheGlobalGainSetsAllFourColourGains) {
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  AnalogPage& page = dialog.Page();
  page.EditChanged(kIdGlobalGainEdit, "50");
  EXPECT_EQ(Analog(), (AnalogSettings{50, 50, 50, 50, 50, 600, 0, 0, 0}));
  for (int edit : {kGreen1Edit, kRedEdit, kBlueEdit, kGreen2Edit}) {
    EXPECT_EQ(page.Find(edit)->text, "50") << edit;
    EXPECT_EQ(page.Find(edit - 1)->position, 50) << edit;
  }
  EXPECT_EQ(page.Find(kGlobalBar)->position, 50);
  const std::vector<SentCommand> expected{{"global", 0, 50},
                                          {"channel", kGainRegisterGreen1, 50},
                                          {"channel", kGainRegisterRed, 50},
                                          {"channel", kGainRegisterBlue, 50},
                                          {"channel", kGainRegisterGreen2, 50}};
  EXPECT_EQ(camera_.Sent(), expected);
}

TEST_F(AnalogDialogTest, ColourGainAndExposureEditsSendTheirOwnCommand) {
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  AnalogPage& page = dialog.Page();
  page.EditChanged(kBlueEdit, "77");
  page.EditChanged(kIdExposureEdit, "100");
  EXPECT_EQ(Analog().colorGainBlue, 77);
  EXPECT_EQ(Analog().exposure, 100);
  EXPECT_EQ(page.Find(kExposureBar)->position, 100);
  EXPECT_EQ(page.Find(kIdExposureTime)->text, "=1.02ms");
  EXPECT_EQ(camera_.Sent(), (std::vector<SentCommand>{{"channel", kGainRegisterBlue, 77}, {"exposure", 0, 100}}));
}

TEST_F(AnalogDialogTest, TypedGainsStayInsideTheRowRange) {
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.Page().EditChanged(kRedEdit, "500");
  dialog.Page().EditChanged(kIdExposureEdit, "0");
  EXPECT_EQ(Analog().colorGainRed, 125);
  EXPECT_EQ(Analog().exposure, 1);
}

TEST_F(AnalogDialogTest, SlidingTheExposureActsAsTypingIt) {
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  test::RecordingObserver observer;
  dialog.Page().SetObserver(&observer);
  dialog.Page().TrackbarMoved(kExposureBar, 2000);
  EXPECT_EQ(dialog.Page().Find(kIdExposureEdit)->text, "2000");
  EXPECT_TRUE(observer.Saw(kIdExposureEdit));
  EXPECT_TRUE(observer.Saw(kIdExposureTime));
  EXPECT_EQ(Analog().exposure, 2000);
  EXPECT_EQ(camera_.Sent(), (std::vector<SentCommand>{{"exposure", 0, 2000}}));
}

TEST_F(AnalogDialogTest, MirrorsSendAndTurnTheBayerPhase) {
  camera_.Change([](DialogValues& v) { v.filter[kFilterBayerMode] = 2; });
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.Page().Clicked(kIdMirrorV);
  EXPECT_EQ(Analog().mirrorVertical, 1);
  EXPECT_EQ(BayerPhase(), 3);
  dialog.Page().Clicked(kIdMirrorV);
  EXPECT_EQ(Analog().mirrorVertical, 0);
  EXPECT_EQ(BayerPhase(), 2);
  dialog.Page().Clicked(kIdMirrorH);
  EXPECT_EQ(Analog().mirrorHorizontal, 1);
  EXPECT_EQ(BayerPhase(), 0);
  EXPECT_EQ(camera_.Sent(),
            (std::vector<SentCommand>{{"mirrorV", 0, 1}, {"mirrorV", 0, 0}, {"mirrorH", 0, 1}}));
}

TEST_F(AnalogDialogTest, AutomaticIrisBoxesExcludeEachOther) {
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  AnalogPage& page = dialog.Page();
  page.Clicked(kIdIrisExposure);
  EXPECT_EQ(Analog().autoIris, 1);
  page.Clicked(kIdIrisGain);
  EXPECT_EQ(Analog().autoIris, 2);
  EXPECT_FALSE(page.Find(kIdIrisExposure)->checked);
  page.Clicked(kIdIrisGain);
  EXPECT_EQ(Analog().autoIris, 0);
}

TEST_F(AnalogDialogTest, CancelSendsTheOldValuesBackAndRestoresThem) {
  camera_.programmed = {30, 31, 32, 33, 34, 500, 0, 0, 0};
  camera_.Change([](DialogValues& v) { v.analog.mirrorHorizontal = 1; v.filter[kFilterBayerMode] = 1; });
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  const AnalogSettings opened = Analog();
  dialog.Page().EditChanged(kIdGlobalGainEdit, "90");
  dialog.Page().TrackbarMoved(kExposureBar, 4000);
  dialog.Page().Clicked(kIdMirrorV);
  dialog.Page().Clicked(kIdIrisGain);
  camera_.ClearSent();
  dialog.Frame().Clicked(kIdCancel);
  EXPECT_EQ(dialog.Result(), 2);
  EXPECT_EQ(Analog(), opened);
  EXPECT_EQ(BayerPhase(), 1);
  const std::vector<SentCommand> expected{
      {"global", 0, 30},  {"channel", kGainRegisterGreen1, 31}, {"channel", kGainRegisterRed, 32},
      {"channel", kGainRegisterBlue, 33}, {"channel", kGainRegisterGreen2, 34}, {"exposure", 0, 500},
      {"mirrorV", 0, 0},  {"mirrorH", 0, 1}};
  EXPECT_EQ(camera_.Sent(), expected);
}

TEST_F(AnalogDialogTest, OkKeepsTheValuesAndSendsNothingMore) {
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.Page().EditChanged(kGreen2Edit, "60");
  camera_.ClearSent();
  dialog.Frame().Clicked(kIdOk);
  EXPECT_EQ(dialog.Result(), 1);
  EXPECT_EQ(Analog().colorGainGreen2, 60);
  EXPECT_TRUE(camera_.Sent().empty());
}

TEST_F(AnalogDialogTest, DefaultResetsGainsAndExposureButNotMirrorsOrIris) {
  camera_.programmed = {10, 11, 12, 13, 14, 15, 0, 0, 0};
  camera_.Change([](DialogValues& v) { v.analog.mirrorVertical = 1; v.analog.autoIris = 1; });
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  dialog.Frame().Clicked(kIdDefault);
  EXPECT_EQ(Analog(), (AnalogSettings{100, 100, 100, 100, 100, 600, 1, 0, 1}));
  EXPECT_EQ(dialog.Page().Find(kRedEdit)->text, "100");
  EXPECT_EQ(dialog.Page().Find(kExposureBar)->position, 600);
  EXPECT_EQ(camera_.Sent().size(), 6u);
  EXPECT_EQ(camera_.Sent().back(), (SentCommand{"exposure", 0, 600}));
  EXPECT_EQ(dialog.Result(), 0);
}

TEST_F(AnalogDialogTest, AutomaticExposureRefreshShowsNewValuesWithoutSendingThem) {
  AnalogDialog dialog(camera_, DialogLanguage::kEnglish);
  std::thread capture([&] {
    camera_.Change([](DialogValues& v) { v.analog.exposure = 1234; v.analog.globalGain = 70; });
    static_cast<DialogRefresh&>(dialog).RefreshExposureBoxes();
  });
  capture.join();
  EXPECT_EQ(dialog.Page().Find(kIdExposureEdit)->text, "600");
  dialog.DeliverRefresh();
  EXPECT_EQ(dialog.Page().Find(kIdExposureEdit)->text, "1234");
  EXPECT_EQ(dialog.Page().Find(kIdGlobalGainEdit)->text, "70");
  EXPECT_EQ(dialog.Page().Find(kIdExposureTime)->text, "=12.36ms");
  EXPECT_TRUE(camera_.Sent().empty());
}

TEST_F(AnalogDialogTest, JapaneseSheetIsTallerWithItsOwnButtonTexts) {
  AnalogDialog japanese(camera_, DialogLanguage::kJapanese);
  AnalogDialog english(camera_, DialogLanguage::kEnglish);
  EXPECT_EQ(japanese.Frame().Size().height, 199);
  EXPECT_EQ(japanese.Frame().Find(kIdOk)->rect.y, 182);
  EXPECT_EQ(japanese.Page().Size().width, 251);
  EXPECT_EQ(english.Frame().Size().height, 178);
  EXPECT_EQ(english.Frame().Find(kIdDefault)->rect.y, 161);
  EXPECT_EQ(english.Page().Size().width, 238);
  EXPECT_EQ(japanese.Frame().Find(kIdDefault)->text, "規定値(&D)");
  EXPECT_EQ(japanese.PageTitle(0), "Analog Gain");
}

}  // namespace
}  // namespace zirvo
