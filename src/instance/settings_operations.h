// The rules behind the camera instance's settings operations, as plain
// functions: filter-id ranges, Bayer-phase flips, the exposure line length,
// the I/O-port bits and the reported sub-sample mode.
#pragma once

#include <cstdint>

namespace zirvo {

inline constexpr int kFirstFilterId = 1;   // ZIRVO_FILTER_BRIGHTNESS
inline constexpr int kLastFilterId = 27;   // ZIRVO_FILTER_GRAY_OFFSET_B

// Colour-channel gain registers of the sensor.
inline constexpr int kChannelGainRegisterGreen1 = 0x3056;
inline constexpr int kChannelGainRegisterBlue = 0x3058;
inline constexpr int kChannelGainRegisterRed = 0x305A;
inline constexpr int kChannelGainRegisterGreen2 = 0x305C;

// Largest values of the simple stores.
inline constexpr int kLargestSubSampleMode = 4;
inline constexpr int kLargestHalfClock = 5;
inline constexpr int kLargestAutoIris = 2;

bool IsFilterId(int id);
// Whether SetFilterValue takes `value` for `id`; false for an unknown id.
bool FilterIdAcceptsValue(int id, int value);

// SetMirrorV flips the row phase (bit 0), SetMirrorH the column phase
// (bit 1); a phase outside 0 to 3 is not one of the four and stays.
int32_t FlipBayerRows(int32_t bayerMode);
int32_t FlipBayerColumns(int32_t bayerMode);

// Line length in pixel clocks for a capture width and sub-sample mode. A
// window stored unvalidated may be of any width, so the sum is taken wide and
// the result held within 32 bits.
int32_t ExposureLineLength(int32_t width, int32_t subSampleMode);
// Exposure in microseconds at a 96 MHz pixel clock, truncated; held within
// 32 bits however large the product.
int32_t RealExposureMicroseconds(int32_t lineLength, int32_t exposure);
inline constexpr double kPixelClockPeriodMicroseconds = 1.0 / 96.0;

// The output bit of the port byte follows bit 2 of SetIOPort's flags.
uint8_t PortByteWithOutput(uint8_t port, int flags);
// The two input lines that GetIOPort reports, bits 3 and 4 of the port byte.
uint8_t PortInputBits(uint8_t port);

// Stored modes 16 and 17 are the half and quarter modes of an older list.
int ReportedSubSampleMode(int32_t stored);

}  // namespace zirvo
