// The scene in front of the simulated sensor: a colour test chart with a gray ramp and an optional moving bar.
#pragma once

#include <cstdint>

namespace zirvo::sim {

// Light reaching one photosite, 0 (dark) to kFullScale (the chart's white).
inline constexpr int kFullScale = 4095;

enum class Component { Red = 0, Green = 1, Blue = 2 };

// What a row of the chart crosses, worked out once per sensor row.
struct ChartRow {
  enum class Kind { Outside, Background, Patches, Ramp, MovingBar };
  Kind kind = Kind::Outside;
  int patchRow = -1;         // Patches: which row of patches, -1 in the gaps between them
  int barStart = 0;          // MovingBar: first column of the bar
};

// Chart layout over the active area (4384 x 3288): a mid-gray background, a
// 6 x 4 grid of colour patches in the middle, a horizontal gray ramp below it
// and, when animated, a white bar that moves along the bottom band one step
// per frame. Pure function of position and animation step.
class TestChart {
 public:
  static ChartRow Row(int activeRow, bool animated, uint32_t animationStep);
  static int At(const ChartRow& row, int activeColumn, Component component);
};

}  // namespace zirvo::sim
