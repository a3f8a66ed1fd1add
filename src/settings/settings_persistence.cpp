// Loading and saving the settings records in the user's settings key.
#include "settings/settings_persistence.h"

#include <cstdio>
#include <memory>
#include <string>

#include "platform/settings_store.h"

namespace zirvo {
namespace {

using platform::SettingsKey;
using KeyPointer = std::unique_ptr<SettingsKey>;

constexpr const char* kFilterValueNames[] = {"Brightness", "Contrast", "Hue",    "Saturation",
                                             "Sharpness",  "R_Gain",   "G_Gain", "B_Gain",
                                             "Gamma",      "BayerMode"};
constexpr const char* kGrayValueNames[] = {"Mode",     "GainR1",   "GainG1",   "GainG2", "GainB1",
                                           "OffsetR1", "OffsetG1", "OffsetG2", "OffsetB1"};

std::string NumberedKeyName(const char* prefix, int number) {
  char name[32];
  std::snprintf(name, sizeof name, "%s_%02d", prefix, number);
  return name;
}

// Leaves `field` as it was when the value cannot be read.
void ReadInto(SettingsKey& key, const char* name, int32_t& field) {
  uint32_t value;
  if (key.QueryValue(name, value)) field = static_cast<int32_t>(value);
}

bool Write(SettingsKey& key, const char* name, int32_t value) {
  return key.SetValue(name, static_cast<uint32_t>(value));
}

KeyPointer OpenSettings() { return platform::OpenUserKey(platform::kSettingsKeyPath); }
KeyPointer CreateSettings() { return platform::CreateUserKey(platform::kSettingsKeyPath); }

KeyPointer OpenSettingsSubKey(const std::string& name) {
  KeyPointer root = OpenSettings();
  return root ? root->OpenSubKey(name.c_str()) : nullptr;
}

struct SizeField {
  const char* name;
  int32_t CameraSizeSettings::*field;
};
constexpr SizeField kSizeFields[] = {
    {"TH", &CameraSizeSettings::totalWidth}, {"TV", &CameraSizeSettings::totalHeight},
    {"EH", &CameraSizeSettings::width},      {"EV", &CameraSizeSettings::height},
    {"EHS", &CameraSizeSettings::left},      {"EVS", &CameraSizeSettings::top},
    {"Buf", &CameraSizeSettings::buffers}};

void ReadSize(SettingsKey& key, CameraSizeSettings& size) {
  for (const SizeField& field : kSizeFields) ReadInto(key, field.name, size.*field.field);
}

bool WriteSize(SettingsKey& key, const CameraSizeSettings& size) {
  bool written = true;
  for (const SizeField& field : kSizeFields) written = Write(key, field.name, size.*field.field) && written;
  return written;
}

struct AnalogField {
  const char* name;
  int32_t AnalogSettings::*field;
  int32_t fallback;
};
constexpr AnalogField kAnalogFields[] = {
    {"Global", &AnalogSettings::globalGain, 100},
    {"ColorG1", &AnalogSettings::colorGainGreen1, 100},
    {"ColorR", &AnalogSettings::colorGainRed, 100},
    {"ColorB", &AnalogSettings::colorGainBlue, 100},
    {"ColorG2", &AnalogSettings::colorGainGreen2, 100},
    {"Exposure", &AnalogSettings::exposure, 600},
    {"V_Mirror", &AnalogSettings::mirrorVertical, 0},
    {"H_Mirror", &AnalogSettings::mirrorHorizontal, 0},
    {"AutoIris", &AnalogSettings::autoIris, 0}};

struct TopLevelDefault {
  const char* name;
  int32_t value;
};
constexpr TopLevelDefault kTopLevelDefaults[] = {
    {"Size", 0}, {"Color", 2}, {"SubSample", 0}, {"WaitTime", 10}, {"Clock", 0}};

// Writes `value` unless the key already holds `name`.
bool WriteIfMissing(SettingsKey& key, const char* name, int32_t value) {
  uint32_t stored;
  return key.QueryValue(name, stored) || Write(key, name, value);
}

// The factory defaults of a first run, written where the key lacks them: a
// missing key, an emptied file or one without its top-level values all start
// like a first run, while every value already there stays.
bool WriteFirstRunDefaults() {
  KeyPointer root = CreateSettings();
  if (!root) return false;
  bool written = false;
  if (KeyPointer preset = root->CreateSubKey("Size_00")) {
    written = true;
    const CameraSizeSettings defaults;
    for (const SizeField& field : kSizeFields)
      written = WriteIfMissing(*preset, field.name, defaults.*field.field) && written;
    written = preset->Close() && written;
  }
  for (const TopLevelDefault& value : kTopLevelDefaults)
    written = WriteIfMissing(*root, value.name, value.value) && written;
  return root->Close() && written;
}

void ReadPresetTable(SettingsKey& root, PresetTable& table) {
  int count = 0;
  for (; count < kMaxPresets; ++count) {
    KeyPointer preset = root.OpenSubKey(NumberedKeyName("Size", count).c_str());
    if (!preset) break;
    ReadSize(*preset, table.presets[static_cast<std::size_t>(count)]);
  }
  table.count = count;
}

int SaveValues(const std::string& subKey, const FilterSettings& filter, int firstEntry,
               const char* const* names, int valueCount) {
  KeyPointer root = CreateSettings();
  if (!root) return 0;
  KeyPointer key = root->CreateSubKey(subKey.c_str());
  if (!key) return 0;
  bool written = true;
  for (int i = 0; i < valueCount; ++i) written = Write(*key, names[i], filter[firstEntry + i]) && written;
  written = key->Close() && written;
  return root->Close() && written ? 1 : 0;
}

}  // namespace

int loadCameraSize(CameraSizeSettings& size, ErrorRecorder& errors) {
  KeyPointer root = OpenSettings();
  uint32_t index;
  if (!root || !root->QueryValue("Size", index)) {
    root.reset();
    WriteFirstRunDefaults();
    errors.RecordError(kErrorSettingsKey);
    return 0;
  }
  KeyPointer preset = root->OpenSubKey(NumberedKeyName("Size", static_cast<int32_t>(index)).c_str());
  if (!preset) {
    errors.RecordError(kErrorSettingsKey);
    return 0;
  }
  ReadSize(*preset, size);
  return 1;
}

int loadVideoFormat(VideoFormatSettings& format, ErrorRecorder& errors) {
  KeyPointer root = OpenSettings();
  if (!root) {
    errors.RecordError(kErrorSettingsKey);
    return 0;
  }
  // Only the six codes select an output bitmap and a conversion; another
  // stored number is treated like a missing value.
  int32_t colorMode = format.colorMode;
  ReadInto(*root, "Color", colorMode);
  if (colorMode >= 0 && colorMode <= 5) format.colorMode = colorMode;
  ReadInto(*root, "SubSample", format.subSampleMode);
  ReadInto(*root, "WaitTime", format.waitTime);
  ReadInto(*root, "Clock", format.halfClock);
  return 1;
}

int loadAnalog(int deviceIndex, AnalogSettings& analog) {
  KeyPointer gains = OpenSettingsSubKey(NumberedKeyName("Gain", deviceIndex));
  // A value missing from a present key takes its default too: a gain or
  // exposure of 0 would give a black image.
  for (const AnalogField& field : kAnalogFields) {
    analog.*field.field = field.fallback;
    if (gains) ReadInto(*gains, field.name, analog.*field.field);
  }
  return 1;
}

int saveAnalog(int deviceIndex, const AnalogSettings& analog) {
  KeyPointer root = CreateSettings();
  if (!root) return 0;
  KeyPointer gains = root->CreateSubKey(NumberedKeyName("Gain", deviceIndex).c_str());
  if (!gains) return 0;
  bool written = true;
  for (const AnalogField& field : kAnalogFields) written = Write(*gains, field.name, analog.*field.field) && written;
  written = gains->Close() && written;
  return root->Close() && written ? 1 : 0;
}

int loadFilter(FilterSettings& filter) {
  KeyPointer key = OpenSettingsSubKey("Filter");
  if (!key) {
    for (int entry = kFilterBrightness; entry <= kFilterSharpness; ++entry) filter[entry] = 0;
    for (int entry = kFilterGainRed; entry <= kFilterGamma; ++entry) filter[entry] = 100;
    filter[kFilterBayerMode] = 3;
    for (int entry = kFilterWhiteBalanceFirst; entry <= kFilterWhiteBalanceLast; ++entry) filter[entry] = 0;
    return 0;
  }
  for (int i = 0; i < 10; ++i) ReadInto(*key, kFilterValueNames[i], filter[kFilterBrightness + i]);
  return 1;
}

int saveFilter(const FilterSettings& filter) {
  return SaveValues("Filter", filter, kFilterBrightness, kFilterValueNames, 10);
}

int loadGray(FilterSettings& filter) {
  KeyPointer key = OpenSettingsSubKey("Gray");
  if (!key) {
    filter[kFilterGrayMode] = 0;
    for (int entry = kFilterGrayGainR; entry <= kFilterGrayGainB; ++entry) filter[entry] = 128;
    for (int entry = kFilterGrayOffsetR; entry <= kFilterGrayOffsetB; ++entry) filter[entry] = 0;
    return 0;
  }
  for (int i = 0; i < 9; ++i) ReadInto(*key, kGrayValueNames[i], filter[kFilterGrayMode + i]);
  return 1;
}

int saveGray(const FilterSettings& filter) {
  return SaveValues("Gray", filter, kFilterGrayMode, kGrayValueNames, 9);
}

int loadPresets(PresetTable& table) {
  KeyPointer root = OpenSettings();
  if (!root) return 0;
  ReadPresetTable(*root, table);
  ReadInto(*root, "Size", table.size);
  ReadInto(*root, "Color", table.colorMode);
  ReadInto(*root, "SubSample", table.subSampleMode);
  ReadInto(*root, "WaitTime", table.waitTime);
  ReadInto(*root, "Clock", table.clock);
  return 1;
}

int savePresets(const PresetTable& table) {
  KeyPointer root = CreateSettings();
  if (!root) return 0;
  // The table has room for kMaxPresets; a larger count never reaches Size_100.
  int count = table.count < 0 ? 0 : (table.count > kMaxPresets ? kMaxPresets : table.count);
  bool written = true;
  for (int i = 0; i < count; ++i) {
    KeyPointer preset = root->CreateSubKey(NumberedKeyName("Size", i).c_str());
    if (!preset) {
      written = false;
      break;
    }
    written = WriteSize(*preset, table.presets[static_cast<std::size_t>(i)]) && written;
    written = preset->Close() && written;
  }
  written = Write(*root, "Size", table.size) && written;
  written = Write(*root, "Color", table.colorMode) && written;
  written = Write(*root, "SubSample", table.subSampleMode) && written;
  written = Write(*root, "WaitTime", table.waitTime) && written;
  written = Write(*root, "Clock", table.clock) && written;
  return root->Close() && written ? 1 : 0;
}

int findPreset(int width, int height, CameraSizeSettings& size, ErrorRecorder& errors) {
  KeyPointer root = OpenSettings();
  if (!root) {
    errors.RecordError(kErrorNoPreset);
    return 0;
  }
  PresetTable table;
  ReadPresetTable(*root, table);
  for (int i = 0; i < table.count; ++i) {
    const CameraSizeSettings& preset = table.presets[static_cast<std::size_t>(i)];
    if (preset.width == width && preset.height == height) {
      size = preset;
      return 1;
    }
  }
  errors.RecordError(kErrorNoPreset);
  return 0;
}

}  // namespace zirvo
