// Tests of the settings load and save routines against a private settings store.
#include "settings/settings_persistence.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "support/temporary_config.h"

namespace zirvo {
namespace {

using platform::kSettingsKeyPath;

struct RecordedErrors : ErrorRecorder {
  void RecordError(int code) override { codes.push_back(code); }
  std::vector<int> codes;
};

class SettingsPersistenceTest : public ::testing::Test {
 protected:
  // Writes `values` into sub-key `subKey` ("" for the key itself).
  void Store(const std::string& subKey, std::initializer_list<std::pair<const char*, int32_t>> values) {
    auto root = platform::CreateUserKey(kSettingsKeyPath);
    ASSERT_NE(root, nullptr);
    std::unique_ptr<platform::SettingsKey> key;
    if (!subKey.empty()) key = root->CreateSubKey(subKey.c_str());
    platform::SettingsKey& target = key ? *key : *root;
    for (const auto& [name, value] : values) target.SetValue(name, static_cast<uint32_t>(value));
  }

  bool Has(const std::string& subKey, const char* name, int32_t* value = nullptr) {
    auto root = platform::OpenUserKey(kSettingsKeyPath);
    if (!root) return false;
    std::unique_ptr<platform::SettingsKey> key;
    if (!subKey.empty()) {
      key = root->OpenSubKey(subKey.c_str());
      if (!key) return false;
    }
    uint32_t stored;
    if (!(key ? *key : *root).QueryValue(name, stored)) return false;
    if (value) *value = static_cast<int32_t>(stored);
    return true;
  }

  bool HasKey(const std::string& subKey) {
    auto root = platform::OpenUserKey(kSettingsKeyPath);
    return root && root->OpenSubKey(subKey.c_str()) != nullptr;
  }

  test::TemporaryConfig config_;
  RecordedErrors errors_;
};

TEST_F(SettingsPersistenceTest, FirstRunWritesFactoryDefaultsReportsTwelveAndLoadsNothing) {
  CameraSizeSettings size{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(loadCameraSize(size, errors_), 0);
  EXPECT_EQ(errors_.codes, std::vector<int>{12});
  EXPECT_EQ(size, (CameraSizeSettings{1, 2, 3, 4, 5, 6, 7}));

  int32_t value = -1;
  for (auto [name, expected] : {std::pair{"TH", 4384}, {"TV", 3288}, {"EH", 4384}, {"EV", 3288},
                                {"EHS", 0}, {"EVS", 0}, {"Buf", 10}}) {
    ASSERT_TRUE(Has("Size_00", name, &value)) << name;
    EXPECT_EQ(value, expected) << name;
  }
  for (auto [name, expected] : {std::pair{"Size", 0}, {"Color", 2}, {"SubSample", 0}, {"WaitTime", 10},
                                {"Clock", 0}}) {
    ASSERT_TRUE(Has("", name, &value)) << name;
    EXPECT_EQ(value, expected) << name;
  }
  EXPECT_FALSE(HasKey("Gain_00"));
  EXPECT_FALSE(HasKey("Filter"));
  EXPECT_FALSE(HasKey("Gray"));
}

TEST_F(SettingsPersistenceTest, SecondLoadAfterFirstRunFindsTheDefaults) {
  CameraSizeSettings size{1, 2, 3, 4, 5, 6, 7};
  loadCameraSize(size, errors_);
  errors_.codes.clear();
  EXPECT_EQ(loadCameraSize(size, errors_), 1);
  EXPECT_TRUE(errors_.codes.empty());
  EXPECT_EQ(size, CameraSizeSettings{});
}

TEST_F(SettingsPersistenceTest, CameraSizeComesFromThePresetNamedBySize) {
  Store("", {{"Size", 1}});
  Store("Size_00", {{"EH", 100}});
  Store("Size_01", {{"TH", 4384}, {"TV", 3288}, {"EH", 640}, {"EV", 480}, {"EHS", 8}, {"EVS", 4}});
  CameraSizeSettings size;
  EXPECT_EQ(loadCameraSize(size, errors_), 1);
  // Buf is missing from Size_01 and keeps what the record held.
  EXPECT_EQ(size, (CameraSizeSettings{4384, 3288, 640, 480, 8, 4, 10}));
}

TEST_F(SettingsPersistenceTest, SizeNamingAMissingPresetFailsWithTwelveAndChangesNothing) {
  Store("", {{"Size", 2}});
  Store("Size_00", {{"EH", 100}});
  CameraSizeSettings size{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(loadCameraSize(size, errors_), 0);
  EXPECT_EQ(errors_.codes, std::vector<int>{12});
  EXPECT_EQ(size, (CameraSizeSettings{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(SettingsPersistenceTest, MissingSizeValueStartsLikeAFirstRunAndKeepsWhatIsThere) {
  Store("", {{"Color", 3}});
  Store("Gain_00", {{"Global", 40}});
  CameraSizeSettings size{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(loadCameraSize(size, errors_), 0);
  EXPECT_EQ(errors_.codes, std::vector<int>{12});
  EXPECT_EQ(size, (CameraSizeSettings{1, 2, 3, 4, 5, 6, 7}));
  int32_t value = -1;
  ASSERT_TRUE(Has("", "Size", &value));
  EXPECT_EQ(value, 0);
  ASSERT_TRUE(Has("Size_00", "EH", &value));
  EXPECT_EQ(value, 4384);
  ASSERT_TRUE(Has("", "Color", &value));
  EXPECT_EQ(value, 3);
  ASSERT_TRUE(Has("Gain_00", "Global", &value));
  EXPECT_EQ(value, 40);
  // Repaired once: the next start loads the preset without an error.
  errors_.codes.clear();
  EXPECT_EQ(loadCameraSize(size, errors_), 1);
  EXPECT_TRUE(errors_.codes.empty());
  EXPECT_EQ(size, CameraSizeSettings{});
}

TEST_F(SettingsPersistenceTest, EmptySettingsFileGetsTheFirstRunDefaultsAndColourMode) {
  config_.WriteSettingsFile("");
  CameraSizeSettings size;
  EXPECT_EQ(loadCameraSize(size, errors_), 0);
  EXPECT_EQ(errors_.codes, std::vector<int>{12});
  VideoFormatSettings format;
  EXPECT_EQ(loadVideoFormat(format, errors_), 1);
  EXPECT_EQ(format.colorMode, 2);
  EXPECT_EQ(format.waitTime, 10);
  errors_.codes.clear();
  EXPECT_EQ(loadCameraSize(size, errors_), 1);
  EXPECT_TRUE(errors_.codes.empty());
}

TEST_F(SettingsPersistenceTest, PresetWithMissingValuesKeepsItsOwnWhenRepaired) {
  Store("Size_00", {{"EH", 640}, {"EV", 480}});
  CameraSizeSettings size;
  EXPECT_EQ(loadCameraSize(size, errors_), 0);
  EXPECT_EQ(loadCameraSize(size, errors_), 1);
  EXPECT_EQ(size, (CameraSizeSettings{4384, 3288, 640, 480, 0, 0, 10}));
}

TEST_F(SettingsPersistenceTest, VideoFormatWithoutKeyReportsTwelveAndKeepsValues) {
  VideoFormatSettings format{5, 1, 33, 2};
  EXPECT_EQ(loadVideoFormat(format, errors_), 0);
  EXPECT_EQ(errors_.codes, std::vector<int>{12});
  EXPECT_EQ(format.colorMode, 5);
  EXPECT_EQ(format.waitTime, 33);
  EXPECT_FALSE(std::filesystem::exists(config_.SettingsFile()));
}

TEST_F(SettingsPersistenceTest, VideoFormatReadsPresentValuesAndKeepsMissingOnes) {
  Store("", {{"Color", 4}, {"WaitTime", 25}});
  VideoFormatSettings format{0, 16, 10, 3};
  EXPECT_EQ(loadVideoFormat(format, errors_), 1);
  EXPECT_EQ(format.colorMode, 4);
  EXPECT_EQ(format.subSampleMode, 16);
  EXPECT_EQ(format.waitTime, 25);
  EXPECT_EQ(format.halfClock, 3);
}

TEST_F(SettingsPersistenceTest, VideoFormatKeepsTheColorModeWhenTheStoredOneIsNoCode) {
  VideoFormatSettings format{3, 0, 10, 0};
  for (int32_t stored : {6, -1, 64}) {
    Store("", {{"Color", stored}, {"SubSample", 2}});
    EXPECT_EQ(loadVideoFormat(format, errors_), 1);
    EXPECT_EQ(format.colorMode, 3) << stored;
    EXPECT_EQ(format.subSampleMode, 2) << stored;
  }
  Store("", {{"Color", 5}});
  loadVideoFormat(format, errors_);
  EXPECT_EQ(format.colorMode, 5);
  Store("", {{"Color", 0}});
  loadVideoFormat(format, errors_);
  EXPECT_EQ(format.colorMode, 0);
  EXPECT_TRUE(errors_.codes.empty());
}

TEST_F(SettingsPersistenceTest, AnalogWithoutKeyTakesDefaults) {
  AnalogSettings analog;
  EXPECT_EQ(loadAnalog(0, analog), 1);
  EXPECT_EQ(analog, (AnalogSettings{100, 100, 100, 100, 100, 600, 0, 0, 0}));
}

TEST_F(SettingsPersistenceTest, AnalogRoundTripsPerDeviceIndex) {
  AnalogSettings first{1, 2, 3, 4, 5, 6, 1, 0, 2};
  AnalogSettings second{11, 12, 13, 14, 15, 16, 0, 1, 1};
  EXPECT_EQ(saveAnalog(0, first), 1);
  EXPECT_EQ(saveAnalog(1, second), 1);
  AnalogSettings loaded;
  loadAnalog(1, loaded);
  EXPECT_EQ(loaded, second);
  loadAnalog(0, loaded);
  EXPECT_EQ(loaded, first);
  int32_t value;
  ASSERT_TRUE(Has("Gain_01", "ColorG1", &value));
  EXPECT_EQ(value, 12);
}

TEST_F(SettingsPersistenceTest, ValueMissingFromPresentGainKeyTakesItsDefault) {
  Store("Gain_00", {{"Global", 50}, {"V_Mirror", 1}});
  AnalogSettings analog{7, 7, 7, 7, 7, 7, 7, 7, 7};
  loadAnalog(0, analog);
  EXPECT_EQ(analog, (AnalogSettings{50, 100, 100, 100, 100, 600, 1, 0, 0}));
}

TEST_F(SettingsPersistenceTest, FilterWithoutKeyTakesDefaultsAndReportsFailure) {
  FilterSettings filter;
  filter.entries.fill(-9);
  EXPECT_EQ(loadFilter(filter), 0);
  for (int entry = 0; entry <= 4; ++entry) EXPECT_EQ(filter[entry], 0) << entry;
  for (int entry = 5; entry <= 8; ++entry) EXPECT_EQ(filter[entry], 100) << entry;
  EXPECT_EQ(filter[kFilterBayerMode], 3);
  EXPECT_EQ(filter[10], -9);
  for (int entry = 11; entry <= 19; ++entry) EXPECT_EQ(filter[entry], -9) << entry;
  for (int entry = 20; entry <= 28; ++entry) EXPECT_EQ(filter[entry], 0) << entry;
  EXPECT_EQ(filter[29], -9);
}

TEST_F(SettingsPersistenceTest, FilterAndGrayRoundTripOnlyTheirStoredEntries) {
  FilterSettings saved;
  for (int entry = 0; entry < kFilterEntryCount; ++entry) saved[entry] = entry - 15;
  EXPECT_EQ(saveFilter(saved), 1);
  EXPECT_EQ(saveGray(saved), 1);
  FilterSettings loaded;
  EXPECT_EQ(loadFilter(loaded), 1);
  EXPECT_EQ(loadGray(loaded), 1);
  for (int entry = 0; entry < kFilterEntryCount; ++entry) {
    bool stored = entry <= 9 || (entry >= 11 && entry <= 19);
    EXPECT_EQ(loaded[entry], stored ? entry - 15 : 0) << entry;
  }
  int32_t value;
  ASSERT_TRUE(Has("Filter", "BayerMode", &value));
  EXPECT_EQ(value, -6);
  ASSERT_TRUE(Has("Gray", "OffsetB1", &value));
  EXPECT_EQ(value, 4);
}

TEST_F(SettingsPersistenceTest, GrayWithoutKeyTakesDefaults) {
  FilterSettings filter;
  filter.entries.fill(-9);
  EXPECT_EQ(loadGray(filter), 0);
  EXPECT_EQ(filter[kFilterGrayMode], 0);
  for (int entry = 12; entry <= 15; ++entry) EXPECT_EQ(filter[entry], 128);
  for (int entry = 16; entry <= 19; ++entry) EXPECT_EQ(filter[entry], 0);
  EXPECT_EQ(filter[kFilterBayerMode], -9);
}

TEST_F(SettingsPersistenceTest, PresetsStopAtTheFirstGap) {
  Store("Size_00", {{"EH", 4384}, {"EV", 3288}});
  Store("Size_01", {{"EH", 640}, {"EV", 480}});
  Store("Size_03", {{"EH", 320}, {"EV", 240}});
  Store("", {{"Size", 1}, {"Color", 3}, {"WaitTime", 20}});
  PresetTable table;
  EXPECT_EQ(loadPresets(table), 1);
  EXPECT_EQ(table.count, 2);
  EXPECT_EQ(table.presets[1].width, 640);
  EXPECT_EQ(table.presets[2], PresetTable::EmptyPreset());
  EXPECT_EQ(table.size, 1);
  EXPECT_EQ(table.colorMode, 3);
  EXPECT_EQ(table.waitTime, 20);
}

TEST_F(SettingsPersistenceTest, PresetsWithoutKeyKeepTheStartValues) {
  PresetTable table;
  EXPECT_EQ(loadPresets(table), 0);
  EXPECT_EQ(table.count, 0);
  EXPECT_EQ(table.waitTime, 10);
  EXPECT_EQ(table.presets[0], PresetTable::EmptyPreset());
}

TEST_F(SettingsPersistenceTest, PresetTableRefusesAHundredAndFirstPreset) {
  PresetTable table;
  for (int i = 0; i < kMaxPresets; ++i) ASSERT_TRUE(table.Add({i, 1, 1, 1, 0, 0, 10}));
  EXPECT_FALSE(table.Add({999, 1, 1, 1, 0, 0, 10}));
  EXPECT_EQ(table.count, kMaxPresets);
}

TEST_F(SettingsPersistenceTest, HundredPresetsRoundTripAndNothingBeyondIsWritten) {
  PresetTable table;
  for (int i = 0; i < kMaxPresets; ++i) table.Add({4384, 3288, 100 + i, 50 + i, i, i, 10});
  table.count = kMaxPresets + 5;  // an over-full count is clamped
  table.size = 99;
  EXPECT_EQ(savePresets(table), 1);
  EXPECT_FALSE(HasKey("Size_100"));
  PresetTable loaded;
  EXPECT_EQ(loadPresets(loaded), 1);
  EXPECT_EQ(loaded.count, kMaxPresets);
  EXPECT_EQ(loaded.presets[99].width, 199);
  EXPECT_EQ(loaded.size, 99);
  CameraSizeSettings size;
  EXPECT_EQ(loadCameraSize(size, errors_), 1);
  EXPECT_EQ(size.left, 99);
}

TEST_F(SettingsPersistenceTest, PresetLookupTakesTheFirstMatch) {
  PresetTable table;
  table.Add({4384, 3288, 4384, 3288, 0, 0, 10});
  table.Add({4384, 3288, 640, 480, 16, 8, 3});
  table.Add({4384, 3288, 640, 480, 32, 32, 4});
  savePresets(table);
  CameraSizeSettings size;
  EXPECT_EQ(findPreset(640, 480, size, errors_), 1);
  EXPECT_EQ(size, (CameraSizeSettings{4384, 3288, 640, 480, 16, 8, 3}));
  EXPECT_TRUE(errors_.codes.empty());
}

TEST_F(SettingsPersistenceTest, PresetLookupWithoutMatchOrKeyReportsFour) {
  CameraSizeSettings size{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(findPreset(640, 480, size, errors_), 0);
  PresetTable table;
  table.Add({4384, 3288, 4384, 3288, 0, 0, 10});
  savePresets(table);
  EXPECT_EQ(findPreset(640, 480, size, errors_), 0);
  EXPECT_EQ(errors_.codes, (std::vector<int>{4, 4}));
  EXPECT_EQ(size, (CameraSizeSettings{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(SettingsPersistenceTest, PresetLookupDoesNotSeePresetsBeyondAGap) {
  Store("Size_00", {{"EH", 4384}, {"EV", 3288}});
  Store("Size_01", {{"EH", 640}, {"EV", 480}});
  Store("Size_03", {{"EH", 320}, {"EV", 240}, {"EHS", 4}});
  CameraSizeSettings size{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(findPreset(320, 240, size, errors_), 0);
  EXPECT_EQ(errors_.codes, std::vector<int>{4});
  EXPECT_EQ(size, (CameraSizeSettings{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(findPreset(640, 480, size, errors_), 1);
  // Values missing from the preset read as the dialog's start values.
  EXPECT_EQ(size, (CameraSizeSettings{0, 0, 640, 480, 0, 0, 10}));
}

TEST_F(SettingsPersistenceTest, DamagedFileLoadsLikeAFirstRun) {
  config_.WriteSettingsFile("Size=0\n[Size_00\n");
  CameraSizeSettings size;
  EXPECT_EQ(loadCameraSize(size, errors_), 0);
  EXPECT_EQ(errors_.codes, std::vector<int>{12});
  EXPECT_TRUE(Has("Size_00", "EH"));
}

}  // namespace
}  // namespace zirvo
