// Renders the frame the sensor sends for its registers, caching what did not change.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "frame_geometry.h"
#include "sensor_registers.h"

namespace zirvo::sim {

struct Frame {
  FrameGeometry geometry;
  std::vector<uint8_t> samples;  // width x height, rows packed, in the order sent
};

// The four photosites of the colour-filter array, fixed on the pixel array:
// even rows red, green 1; odd rows green 2, blue.
enum class Site { Red = 0, Green1 = 1, Green2 = 2, Blue = 3 };
Site SiteAt(int arrayColumn, int arrayRow);

// Not thread-safe: the camera's lock guards it.
class FrameRenderer {
 public:
  FrameRenderer(unsigned seed, unsigned hotPixels, bool animated);

  // Frames are immutable once returned; a change of registers or animation
  // step yields a new one, so a frame being copied out is never rewritten.
  std::shared_ptr<const Frame> Render(const SensorRegisters& registers, uint32_t animationStep);

 private:
  // Light per sample, 0..kFullScale. Most rows of the chart repeat, so only
  // the distinct rows are kept and each output row names the one it shows.
  struct Light {
    FrameGeometry geometry;
    uint32_t animationStep = 0;
    std::vector<std::vector<uint16_t>> distinctRows;
    std::vector<int> rowParity;        // per distinct row: parity of its array row
    std::vector<uint32_t> rowSource;   // per output row: index into distinctRows
    std::vector<uint32_t> hotSamples;  // sample indices of hot pixels
  };
  // Exposure, global gain, then the channel gain of each Site in order.
  using Response = std::array<uint32_t, 6>;

  void RenderLight(const FrameGeometry& geometry, uint32_t animationStep);
  std::vector<uint16_t> LightRow(const FrameGeometry& geometry, const std::vector<int>& columns,
                                 int arrayRow, uint32_t animationStep) const;
  void MarkHotPixels(Light& light) const;
  std::shared_ptr<const Frame> Expose(const Response& response) const;

  struct HotPixel {
    int column;
    int row;
  };
  std::vector<HotPixel> hotPixels_;
  const bool animated_;
  std::unique_ptr<Light> light_;
  Response response_{};
  std::shared_ptr<const Frame> frame_;
};

}  // namespace zirvo::sim
