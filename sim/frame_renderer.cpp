// The test chart through the colour-filter array, exposure and gains, into 8-bit samples.
#include "frame_renderer.h"

#include <algorithm>
#include <cstring>

#include "test_chart.h"

namespace zirvo::sim {
namespace {

constexpr double kReferenceExposure = 600.0;
constexpr double kReferenceGain = 100.0;
// Output of the chart's white at the reference exposure and gains.
constexpr double kWhiteLevel = 220.0;
constexpr uint16_t kGainBits = 0x7F;  // bit 12 and above are flags

uint16_t ChannelGainRegister(Site site) {
  switch (site) {
    case Site::Red: return reg::kGainRed;
    case Site::Green1: return reg::kGainGreen1;
    case Site::Green2: return reg::kGainGreen2;
    case Site::Blue: return reg::kGainBlue;
  }
  return reg::kGainRed;
}

Component ComponentOf(Site site) {
  switch (site) {
    case Site::Red: return Component::Red;
    case Site::Blue: return Component::Blue;
    default: return Component::Green;
  }
}

using Curve = std::array<uint8_t, kFullScale + 1>;

Curve ResponseCurve(uint32_t exposure, uint32_t globalGain, uint32_t channelGain) {
  const double factor = kWhiteLevel / kFullScale * (exposure / kReferenceExposure) *
                        ((globalGain & kGainBits) / kReferenceGain) *
                        ((channelGain & kGainBits) / kReferenceGain);
  Curve curve{};
  for (int level = 0; level <= kFullScale; ++level) {
    curve[level] = static_cast<uint8_t>(std::min(255.0, level * factor));
  }
  return curve;
}

// Inverse of the paired read-out: the output index that reads array position
// `position`, or -1 when none does.
int OutputIndex(int position, int first, int oddIncrement, int count, bool reversed) {
  const int offset = position - first;
  if (offset < 0) return -1;
  const int period = oddIncrement + 1;
  if (offset % period > 1) return -1;
  const int index = (offset / period) * 2 + offset % period;
  if (index >= count) return -1;
  return reversed ? count - 1 - index : index;
}

uint32_t NextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

}  // namespace

Site SiteAt(int arrayColumn, int arrayRow) {
  return static_cast<Site>((arrayRow & 1) * 2 + (arrayColumn & 1));
}

FrameRenderer::FrameRenderer(unsigned seed, unsigned hotPixels, bool animated)
    : animated_(animated) {
  uint32_t state = seed;
  for (unsigned i = 0; i < hotPixels; ++i) {
    const int column = kActiveColumnOffset + static_cast<int>(NextRandom(state) % kActiveWidth);
    const int row = static_cast<int>(NextRandom(state) % kActiveHeight);
    hotPixels_.push_back({column, row});
  }
}

std::shared_ptr<const Frame> FrameRenderer::Render(const SensorRegisters& registers,
                                                   uint32_t animationStep) {
  const FrameGeometry geometry = FrameGeometry::FromRegisters(registers);
  const uint32_t step = animated_ ? animationStep : 0;
  bool lightChanged = false;
  if (light_ == nullptr || !(light_->geometry == geometry) || light_->animationStep != step) {
    RenderLight(geometry, step);
    lightChanged = true;
  }
  Response response{registers.Get(reg::kExposure), registers.Get(reg::kGlobalGain)};
  for (int site = 0; site < 4; ++site) {
    response[2 + site] = registers.Get(ChannelGainRegister(static_cast<Site>(site)));
  }
  if (lightChanged || frame_ == nullptr || response != response_) {
    response_ = response;
    frame_ = Expose(response);
  }
  return frame_;
}

namespace {

// Rows that show the same part of the chart through the same filter row and
// window are identical.
struct RowKey {
  ChartRow::Kind kind;
  int patchRow;
  int barStart;
  int parity;
  bool insideWindow;
  bool operator==(const RowKey&) const = default;
};

RowKey KeyOf(const ChartRow& row, int arrayRow, bool insideWindow) {
  return {row.kind, row.patchRow, row.barStart, arrayRow & 1, insideWindow};
}

}  // namespace

void FrameRenderer::RenderLight(const FrameGeometry& geometry, uint32_t animationStep) {
  auto light = std::make_unique<Light>();
  light->geometry = geometry;
  light->animationStep = animationStep;
  std::vector<int> columns(static_cast<std::size_t>(geometry.width));
  for (int i = 0; i < geometry.width; ++i) columns[i] = geometry.ArrayColumn(i);
  std::vector<RowKey> keys;
  light->rowSource.resize(static_cast<std::size_t>(geometry.height));
  for (int j = 0; j < geometry.height; ++j) {
    const int arrayRow = geometry.ArrayRow(j);
    const RowKey key = KeyOf(TestChart::Row(arrayRow, animated_, animationStep), arrayRow,
                             arrayRow <= geometry.lastRow);
    const auto known = std::find(keys.begin(), keys.end(), key);
    if (known != keys.end()) {
      light->rowSource[j] = static_cast<uint32_t>(known - keys.begin());
      continue;
    }
    light->rowSource[j] = static_cast<uint32_t>(keys.size());
    keys.push_back(key);
    light->distinctRows.push_back(LightRow(geometry, columns, arrayRow, animationStep));
    light->rowParity.push_back(arrayRow & 1);
  }
  MarkHotPixels(*light);
  light_ = std::move(light);
}

std::vector<uint16_t> FrameRenderer::LightRow(const FrameGeometry& geometry,
                                              const std::vector<int>& columns, int arrayRow,
                                              uint32_t animationStep) const {
  std::vector<uint16_t> row(columns.size(), 0);
  const ChartRow chartRow = TestChart::Row(arrayRow, animated_, animationStep);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!geometry.InsideWindow(columns[i], arrayRow)) continue;
    const Component component = ComponentOf(SiteAt(columns[i], arrayRow));
    row[i] = static_cast<uint16_t>(TestChart::At(chartRow, columns[i] - kActiveColumnOffset, component));
  }
  return row;
}

void FrameRenderer::MarkHotPixels(Light& light) const {
  const FrameGeometry& g = light.geometry;
  for (const HotPixel& pixel : hotPixels_) {
    if (!g.InsideWindow(pixel.column, pixel.row)) continue;
    const int i = OutputIndex(pixel.column, g.firstColumn, g.columnOddIncrement, g.width, g.mirrorColumns);
    const int j = OutputIndex(pixel.row, g.firstRow, g.rowOddIncrement, g.height, g.flipRows);
    if (i < 0 || j < 0) continue;
    light.hotSamples.push_back(static_cast<uint32_t>(j) * static_cast<uint32_t>(g.width) +
                               static_cast<uint32_t>(i));
  }
}

std::shared_ptr<const Frame> FrameRenderer::Expose(const Response& response) const {
  const FrameGeometry& g = light_->geometry;
  std::array<Curve, 4> curves;
  for (int site = 0; site < 4; ++site) curves[site] = ResponseCurve(response[0], response[1], response[2 + site]);
  // Paired read-out keeps column parity alternating from the first column.
  const int firstColumnParity = g.width > 0 ? g.ArrayColumn(0) & 1 : 0;
  const std::size_t width = static_cast<std::size_t>(g.width);
  std::vector<std::vector<uint8_t>> exposedRows;
  for (std::size_t r = 0; r < light_->distinctRows.size(); ++r) {
    const int parity = light_->rowParity[r];
    const Curve& even = curves[parity * 2 + firstColumnParity];
    const Curve& odd = curves[parity * 2 + (firstColumnParity ^ 1)];
    const std::vector<uint16_t>& in = light_->distinctRows[r];
    std::vector<uint8_t> out(width);
    for (std::size_t i = 0; i < width; ++i) out[i] = (i & 1) == 0 ? even[in[i]] : odd[in[i]];
    exposedRows.push_back(std::move(out));
  }
  auto frame = std::make_shared<Frame>();
  frame->geometry = g;
  frame->samples.resize(g.Bytes());
  for (int j = 0; j < g.height; ++j) {
    if (width == 0) break;
    std::memcpy(frame->samples.data() + static_cast<std::size_t>(j) * width,
                exposedRows[light_->rowSource[j]].data(), width);
  }
  for (uint32_t sample : light_->hotSamples) frame->samples[sample] = 255;
  return frame;
}

}  // namespace zirvo::sim
