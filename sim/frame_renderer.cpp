// The test chart through the colour-filter array, exposure and gains, into 8-bit samples.
#include "frame_renderer.h"

#include <algorithm>

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

void FrameRenderer::RenderLight(const FrameGeometry& geometry, uint32_t animationStep) {
  auto light = std::make_unique<Light>();
  light->geometry = geometry;
  light->animationStep = animationStep;
  light->levels.assign(geometry.Bytes(), 0);
  std::vector<int> columns(static_cast<std::size_t>(geometry.width));
  for (int i = 0; i < geometry.width; ++i) columns[i] = geometry.ArrayColumn(i);
  for (int j = 0; j < geometry.height; ++j) {
    const int arrayRow = geometry.ArrayRow(j);
    const ChartRow chartRow = TestChart::Row(arrayRow, animated_, animationStep);
    uint16_t* out = light->levels.data() + static_cast<std::size_t>(j) * geometry.width;
    for (int i = 0; i < geometry.width; ++i) {
      const int arrayColumn = columns[i];
      if (!geometry.InsideWindow(arrayColumn, arrayRow)) continue;
      const Component component = ComponentOf(SiteAt(arrayColumn, arrayRow));
      out[i] = static_cast<uint16_t>(
          TestChart::At(chartRow, arrayColumn - kActiveColumnOffset, component));
    }
  }
  MarkHotPixels(*light);
  light_ = std::move(light);
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
  const uint32_t exposure = response[0];
  const uint32_t globalGain = response[1];
  std::array<Curve, 4> curves;
  for (int site = 0; site < 4; ++site) {
    curves[site] = ResponseCurve(exposure, globalGain, response[2 + site]);
  }
  auto frame = std::make_shared<Frame>();
  frame->geometry = g;
  frame->samples.resize(g.Bytes());
  const int firstColumnParity = g.ArrayColumn(0) & 1;
  for (int j = 0; j < g.height; ++j) {
    const int rowParity = g.ArrayRow(j) & 1;
    // Paired read-out keeps column parity alternating from the first column.
    const Curve& even = curves[rowParity * 2 + firstColumnParity];
    const Curve& odd = curves[rowParity * 2 + (firstColumnParity ^ 1)];
    const std::size_t start = static_cast<std::size_t>(j) * g.width;
    const uint16_t* in = light_->levels.data() + start;
    uint8_t* out = frame->samples.data() + start;
    int i = 0;
    for (; i + 1 < g.width; i += 2) {
      out[i] = even[in[i]];
      out[i + 1] = odd[in[i + 1]];
    }
    if (i < g.width) out[i] = even[in[i]];
  }
  for (uint32_t sample : light_->hotSamples) frame->samples[sample] = 255;
  return frame;
}

}  // namespace zirvo::sim
