// Decoding of the window, output size and read-mode registers.
#include "frame_geometry.h"

#include <algorithm>

namespace zirvo::sim {
namespace {

constexpr uint16_t kFlipRowsBit = 0x8000;
constexpr uint16_t kMirrorColumnsBit = 0x4000;

int OddIncrement(unsigned field) { return field == 0 ? 1 : static_cast<int>(field); }

int PairedPosition(int first, int index, int oddIncrement) {
  return first + (index / 2) * (oddIncrement + 1) + (index % 2);
}

}  // namespace

FrameGeometry FrameGeometry::FromRegisters(const SensorRegisters& registers) {
  FrameGeometry geometry;
  geometry.firstColumn = registers.Get(reg::kFirstColumn);
  geometry.firstRow = registers.Get(reg::kFirstRow);
  geometry.lastColumn = registers.Get(reg::kLastColumn);
  geometry.lastRow = registers.Get(reg::kLastRow);
  geometry.width = std::min<int>(registers.Get(reg::kOutputWidth), kMaxOutputWidth);
  geometry.height = std::min<int>(registers.Get(reg::kOutputHeight), kMaxOutputHeight);
  const uint16_t readMode = registers.Get(reg::kReadMode);
  geometry.columnOddIncrement = OddIncrement(readMode & 0x3Fu);
  geometry.rowOddIncrement = OddIncrement((readMode >> 6) & 0x3Fu);
  geometry.flipRows = (readMode & kFlipRowsBit) != 0;
  geometry.mirrorColumns = (readMode & kMirrorColumnsBit) != 0;
  return geometry;
}

int FrameGeometry::ArrayColumn(int i) const {
  const int index = mirrorColumns ? width - 1 - i : i;
  return PairedPosition(firstColumn, index, columnOddIncrement);
}

int FrameGeometry::ArrayRow(int j) const {
  const int index = flipRows ? height - 1 - j : j;
  return PairedPosition(firstRow, index, rowOddIncrement);
}

}  // namespace zirvo::sim
