// Full sensor frames with random content for the kernel benchmarks.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "display/kernel.h"

namespace zirvo::bench {

inline constexpr int32_t kFrameWidth = 4384;
inline constexpr int32_t kFrameHeight = 3288;

struct BenchFrame {
  int32_t width = kFrameWidth;
  int32_t height = kFrameHeight;
  int bytesPerPixel = 1;
  int32_t stride = 0;
  std::vector<uint8_t> bytes;

  uint8_t* Data() { return bytes.data(); }
  KernelRect Whole() const { return {0, 0, width, height}; }
  int64_t Bytes() const { return static_cast<int64_t>(stride) * height; }
  int64_t Pixels() const { return static_cast<int64_t>(width) * height; }
};

// Random bytes; with `sampleLimit` the frame holds 16-bit samples below it.
inline BenchFrame MakeBenchFrame(int bytesPerPixel, uint32_t seed = 1, uint32_t sampleLimit = 0,
                                 int32_t width = kFrameWidth, int32_t height = kFrameHeight) {
  BenchFrame frame;
  frame.width = width;
  frame.height = height;
  frame.bytesPerPixel = bytesPerPixel;
  frame.stride = (width * bytesPerPixel + 3) & ~3;
  frame.bytes.resize(static_cast<size_t>(frame.stride) * height);
  std::mt19937 random(seed);
  if (sampleLimit == 0) {
    for (uint8_t& byte : frame.bytes) byte = static_cast<uint8_t>(random());
    return frame;
  }
  for (size_t i = 0; i + 1 < frame.bytes.size(); i += 2) {
    uint32_t sample = random() % sampleLimit;
    frame.bytes[i] = static_cast<uint8_t>(sample);
    frame.bytes[i + 1] = static_cast<uint8_t>(sample >> 8);
  }
  return frame;
}

// Runs a rectangle kernel over the whole source into `destination`.
inline int RunFrameKernel(RectangleKernel kernel, BenchFrame& destination, BenchFrame& source,
                          void* parameter = nullptr) {
  return kernel(destination.Data(), source.Data(), source.Whole(), 0, 0,
                destination.bytesPerPixel, source.bytesPerPixel, destination.stride,
                source.stride, parameter, nullptr);
}

}  // namespace zirvo::bench
