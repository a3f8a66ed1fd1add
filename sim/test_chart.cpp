// Layout and colours of the test chart.
#include "test_chart.h"

namespace zirvo::sim {
namespace {

constexpr int kWidth = 4384;
constexpr int kHeight = 3288;

// Bounds as fractions of the active area, in pixels.
constexpr int kPatchLeft = kWidth / 4;
constexpr int kPatchRight = kWidth * 3 / 4;
constexpr int kPatchTop = kHeight / 4;
constexpr int kPatchBottom = kHeight * 13 / 20;
constexpr int kPatchColumns = 6;
constexpr int kPatchRows = 4;
constexpr int kPatchWidth = (kPatchRight - kPatchLeft) / kPatchColumns;
constexpr int kPatchHeight = (kPatchBottom - kPatchTop) / kPatchRows;
constexpr int kPatchGap = 24;  // background shows between patches

constexpr int kRampTop = kHeight * 70 / 100;
constexpr int kRampBottom = kHeight * 78 / 100;
constexpr int kBarTop = kHeight * 92 / 100;
constexpr int kBarBottom = kHeight * 97 / 100;
constexpr int kBarWidth = 128;
constexpr int kBarStep = 64;

// Mid-gray, chosen so that the default exposure and gains give a mean level
// inside the automatic exposure's dead band.
constexpr int kBackground = kFullScale * 58 / 100;

struct Colour {
  int red, green, blue;
};

constexpr int Level(double fraction) { return static_cast<int>(fraction * kFullScale); }
constexpr Colour Patch(double r, double g, double b) { return {Level(r), Level(g), Level(b)}; }

// Linear reflectances after the classic 24-patch colour chart.
constexpr Colour kPatches[kPatchRows][kPatchColumns] = {
    {Patch(0.17, 0.10, 0.07), Patch(0.55, 0.36, 0.28), Patch(0.17, 0.23, 0.40),
     Patch(0.13, 0.17, 0.07), Patch(0.30, 0.27, 0.50), Patch(0.17, 0.53, 0.47)},
    {Patch(0.70, 0.27, 0.05), Patch(0.10, 0.12, 0.45), Patch(0.55, 0.12, 0.14),
     Patch(0.12, 0.05, 0.17), Patch(0.40, 0.53, 0.07), Patch(0.75, 0.43, 0.04)},
    {Patch(0.04, 0.05, 0.33), Patch(0.08, 0.33, 0.08), Patch(0.45, 0.04, 0.04),
     Patch(0.83, 0.65, 0.02), Patch(0.55, 0.12, 0.35), Patch(0.00, 0.27, 0.45)},
    {Patch(0.90, 0.90, 0.90), Patch(0.59, 0.59, 0.59), Patch(0.36, 0.36, 0.36),
     Patch(0.19, 0.19, 0.19), Patch(0.09, 0.09, 0.09), Patch(0.03, 0.03, 0.03)},
};

int Pick(const Colour& colour, Component component) {
  switch (component) {
    case Component::Red: return colour.red;
    case Component::Green: return colour.green;
    case Component::Blue: return colour.blue;
  }
  return 0;
}

int PatchRowAt(int activeRow) {
  const int offset = activeRow - kPatchTop;
  const int row = offset / kPatchHeight;
  if (row >= kPatchRows || offset % kPatchHeight >= kPatchHeight - kPatchGap) return -1;
  return row;
}

int PatchAt(const ChartRow& row, int activeColumn, Component component) {
  if (row.patchRow < 0 || activeColumn < kPatchLeft || activeColumn >= kPatchRight) return kBackground;
  const int offset = activeColumn - kPatchLeft;
  const int column = offset / kPatchWidth;
  if (column >= kPatchColumns || offset % kPatchWidth >= kPatchWidth - kPatchGap) return kBackground;
  return Pick(kPatches[row.patchRow][column], component);
}

}  // namespace

ChartRow TestChart::Row(int activeRow, bool animated, uint32_t animationStep) {
  ChartRow row;
  if (activeRow < 0 || activeRow >= kHeight) return row;
  row.kind = ChartRow::Kind::Background;
  if (activeRow >= kPatchTop && activeRow < kPatchBottom) {
    row.kind = ChartRow::Kind::Patches;
    row.patchRow = PatchRowAt(activeRow);
  } else if (activeRow >= kRampTop && activeRow < kRampBottom) {
    row.kind = ChartRow::Kind::Ramp;
  } else if (animated && activeRow >= kBarTop && activeRow < kBarBottom) {
    row.kind = ChartRow::Kind::MovingBar;
    row.barStart = static_cast<int>((static_cast<uint64_t>(animationStep) * kBarStep) %
                                    (kWidth - kBarWidth));
  }
  return row;
}

int TestChart::At(const ChartRow& row, int activeColumn, Component component) {
  if (row.kind == ChartRow::Kind::Outside || activeColumn < 0 || activeColumn >= kWidth) return 0;
  switch (row.kind) {
    case ChartRow::Kind::Patches: return PatchAt(row, activeColumn, component);
    case ChartRow::Kind::Ramp: return activeColumn * kFullScale / (kWidth - 1);
    case ChartRow::Kind::MovingBar:
      return activeColumn >= row.barStart && activeColumn < row.barStart + kBarWidth ? kFullScale
                                                                                     : kBackground;
    default: return kBackground;
  }
}

}  // namespace zirvo::sim
