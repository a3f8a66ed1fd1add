// Loading and saving the settings records in the user's settings key.
//
// Each routine returns 1 on success and 0 on failure. Error code 12 means the
// settings key could not be read; 4 that no preset matches a lookup.
#pragma once

#include "settings/error_recorder.h"
#include "settings/settings_records.h"

namespace zirvo {

inline constexpr int kErrorNoPreset = 4;
inline constexpr int kErrorSettingsKey = 12;

// The capture window of the current "Size" preset. On a first run (no key,
// or a key without "Size") it writes the factory defaults that are missing,
// reports error 12 and loads nothing. A store that cannot be read at all
// reports error 12 and is left alone.
int loadCameraSize(CameraSizeSettings& size, ErrorRecorder& errors);
// Colour mode, sub-sample mode, wait time and clock; missing values stay, and
// so does the colour mode when the stored one is not a code 0 to 5.
int loadVideoFormat(VideoFormatSettings& format, ErrorRecorder& errors);

// Gains, exposure, mirrors and iris of the camera with device index
// `deviceIndex` (sub-key Gain_NN). Always succeeds: what cannot be read takes
// its default.
int loadAnalog(int deviceIndex, AnalogSettings& analog);
int saveAnalog(int deviceIndex, const AnalogSettings& analog);

// Entries 0 to 9 ("Filter") and 11 to 19 ("Gray") of the filter settings.
// A missing key puts the defaults in place and returns 0.
int loadFilter(FilterSettings& filter);
int saveFilter(const FilterSettings& filter);
int loadGray(FilterSettings& filter);
int saveGray(const FilterSettings& filter);

// Every Size_NN preset (00 on, up to the first gap, at most kMaxPresets) and
// the five top-level values.
int loadPresets(PresetTable& table);
// Writes the table's presets (at most kMaxPresets) and its five top-level values.
int savePresets(const PresetTable& table);

// The first stored preset of `width` x `height` into `size`; error 4 when
// the key cannot be read or no preset matches.
int findPreset(int width, int height, CameraSizeSettings& size, ErrorRecorder& errors);

}  // namespace zirvo
