// Frame sizes per sub-sample mode.
#include "device/frame_geometry.h"

#include <algorithm>

#include "device/command_block.h"

namespace zirvo {

namespace {

FrameGeometry Sized(int transferWidth, int transferHeight, int copyWidth, int copyHeight) {
  FrameGeometry geometry;
  geometry.transferWidth = std::max(transferWidth, 0);
  geometry.transferHeight = std::max(transferHeight, 0);
  geometry.copyWidth = std::clamp(copyWidth, 0, geometry.transferWidth);
  geometry.copyHeight = std::clamp(copyHeight, 0, geometry.transferHeight);
  return geometry;
}

}  // namespace

FrameGeometry ComputeFrameGeometry(int width, int height, int mode) {
  switch (mode) {
    case 1:
      return Sized((width + 1) / 2, (height + 1) / 2, width / 2, height / 2);
    case 2:
      return Sized((width + 1) / 4, (height + 1) / 4, width / 4, height / 4);
    case 3: {
      FrameGeometry geometry = Sized(width, height, width / 8, height / 8);
      geometry.sampleStep = 8;
      return geometry;
    }
    case 17:
      return Sized(width, height, width / 2, height / 2);
    case 18:
      return Sized(width, height, width / 4, height / 4);
    default:
      return Sized(width, height, width, height);
  }
}

uint32_t FrameReadBytes(const FrameGeometry& geometry) {
  const uint64_t bytes = uint64_t(geometry.transferWidth) * uint64_t(geometry.transferHeight);
  return uint32_t((bytes + kBlockBytes - 1) / kBlockBytes * kBlockBytes);
}

uint32_t BitmapBytes(const FrameGeometry& geometry) {
  const uint32_t stride = (uint32_t(geometry.transferWidth) + 3) & ~3u;
  return stride * uint32_t(geometry.transferHeight);
}

}  // namespace zirvo
