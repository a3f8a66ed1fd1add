// Where each sample of a frame comes from on the sensor, as the registers program it.
#pragma once

#include <cstdint>

#include "sensor_registers.h"

namespace zirvo::sim {

// Columns of the pixel array before the first active one.
inline constexpr int kActiveColumnOffset = 24;
inline constexpr int kActiveWidth = 4384;
inline constexpr int kActiveHeight = 3288;
// Output sizes beyond the pixel array (with its borders) are cut to it.
inline constexpr int kMaxOutputWidth = 4608;
inline constexpr int kMaxOutputHeight = 3456;

struct FrameGeometry {
  int firstColumn = 0;
  int firstRow = 0;
  int lastColumn = 0;
  int lastRow = 0;
  int width = 0;
  int height = 0;
  // Odd increments of the read mode: 1 reads every pair, 3 every second, 7 every fourth.
  int columnOddIncrement = 1;
  int rowOddIncrement = 1;
  bool flipRows = false;
  bool mirrorColumns = false;

  static FrameGeometry FromRegisters(const SensorRegisters& registers);

  // Pixel-array column of output column `i` and row of output row `j`;
  // samples are read in pairs so that skipping keeps the colour pattern.
  int ArrayColumn(int i) const;
  int ArrayRow(int j) const;
  bool InsideWindow(int arrayColumn, int arrayRow) const {
    return arrayColumn <= lastColumn && arrayRow <= lastRow;
  }
  uint32_t Bytes() const { return static_cast<uint32_t>(width) * static_cast<uint32_t>(height); }

  bool operator==(const FrameGeometry&) const = default;
};

}  // namespace zirvo::sim
