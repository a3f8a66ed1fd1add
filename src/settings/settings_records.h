// The camera instance's settings records and the camera dialog's preset table.
//
// Records are plain structures of signed 32-bit values, as stored. The camera
// instance keeps its copies behind one lock (instance/shared_settings.h).
#pragma once

#include <array>
#include <cstdint>

namespace zirvo {

// Sensor window of one size preset (stored names in brackets).
struct CameraSizeSettings {
  int32_t totalWidth = 4384;   // TH
  int32_t totalHeight = 3288;  // TV
  int32_t width = 4384;        // EH: captured window, before sub-sampling
  int32_t height = 3288;       // EV
  int32_t left = 0;            // EHS
  int32_t top = 0;             // EVS
  int32_t buffers = 10;        // Buf: carried with the preset, used by nothing

  friend bool operator==(const CameraSizeSettings&, const CameraSizeSettings&) = default;
};

// What the sensor is programmed with; one record per attached camera.
struct AnalogSettings {
  int32_t globalGain = 0;        // Global
  int32_t colorGainGreen1 = 0;   // ColorG1
  int32_t colorGainRed = 0;      // ColorR
  int32_t colorGainBlue = 0;     // ColorB
  int32_t colorGainGreen2 = 0;   // ColorG2
  int32_t exposure = 0;          // Exposure, in sensor lines
  int32_t mirrorVertical = 0;    // V_Mirror
  int32_t mirrorHorizontal = 0;  // H_Mirror
  int32_t autoIris = 0;          // AutoIris: 0 off, 1 by exposure, 2 by gain

  friend bool operator==(const AnalogSettings&, const AnalogSettings&) = default;
};

// Places in FilterSettings::entries. Entries 10 and 20 to 28 are never stored.
enum FilterEntry : int {
  kFilterBrightness = 0,
  kFilterContrast = 1,
  kFilterHue = 2,
  kFilterSaturation = 3,
  kFilterSharpness = 4,
  kFilterGainRed = 5,
  kFilterGainGreen = 6,
  kFilterGainBlue = 7,
  kFilterGamma = 8,
  kFilterBayerMode = 9,
  kFilterGrayMode = 11,
  kFilterGrayGainR = 12,
  kFilterGrayGainG1 = 13,
  kFilterGrayGainG2 = 14,
  kFilterGrayGainB = 15,
  kFilterGrayOffsetR = 16,
  kFilterGrayOffsetG1 = 17,
  kFilterGrayOffsetG2 = 18,
  kFilterGrayOffsetB = 19,
  kFilterWhiteBalanceFirst = 20,
  kFilterAutoWhiteBalance = 25,
  kFilterWhiteBalanceLast = 28,
  kFilterEntryCount = 30,
};

struct FilterSettings {
  std::array<int32_t, kFilterEntryCount> entries{};

  int32_t& operator[](int entry) { return entries[static_cast<std::size_t>(entry)]; }
  int32_t operator[](int entry) const { return entries[static_cast<std::size_t>(entry)]; }
};

// The camera instance's output format and pacing.
struct VideoFormatSettings {
  int32_t colorMode = 0;      // Color: ColorModeCode 0 to 5
  int32_t subSampleMode = 0;  // SubSample
  int32_t waitTime = 10;      // WaitTime, milliseconds
  int32_t halfClock = 0;      // Clock
};

inline constexpr int kMaxPresets = 100;

// The camera dialog's copy of every size preset and the five top-level values.
struct PresetTable {
  PresetTable() { presets.fill(EmptyPreset()); }

  static constexpr CameraSizeSettings EmptyPreset() { return {0, 0, 0, 0, 0, 0, 10}; }

  // Appends a preset; false when the table already holds kMaxPresets.
  bool Add(const CameraSizeSettings& preset) {
    if (count < 0 || count >= kMaxPresets) return false;
    presets[static_cast<std::size_t>(count++)] = preset;
    return true;
  }

  std::array<CameraSizeSettings, kMaxPresets> presets;
  int32_t count = 0;
  int32_t size = 0;  // index of the current preset
  int32_t colorMode = 0;
  int32_t subSampleMode = 0;
  int32_t waitTime = 10;
  int32_t clock = 0;
};

}  // namespace zirvo
