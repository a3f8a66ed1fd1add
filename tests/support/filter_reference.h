// Test images and plain, literal references of the tone and colour filters, for bit-exact comparisons.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "display/kernel.h"

namespace zirvo::test {

// A bitmap as the kernels see it: rows `stride` bytes apart, `step` bytes per pixel.
struct TestImage {
  int width = 0;
  int height = 0;
  int step = 0;
  int stride = 0;
  std::vector<uint8_t> bytes;

  uint8_t* data() { return bytes.data(); }
  const uint8_t* data() const { return bytes.data(); }
  uint32_t Sample(int x, int y, int channel, int sampleBytes) const;
  void SetSample(int x, int y, int channel, int sampleBytes, uint32_t value);
};

// Stride rounded up to 4 bytes; every byte (padding included) random.
TestImage RandomImage(int width, int height, int step, std::mt19937& random);
// Like RandomImage, but 16-bit samples limited to 0..maximum (padding bytes stay random).
TestImage RandomWordImage(int width, int height, int step, uint32_t maximum, std::mt19937& random);

// Feature words of every variant this processor can run: none, AVX2, AVX-512 with VBMI.
std::vector<uint32_t> RunnableFeatureSets();

// Runs a rectangle kernel on the images as ApplyKernel would after clipping.
int RunKernel(RectangleKernel kernel, TestImage& destination, const TestImage& source, const KernelRect& rect,
              int destinationX, int destinationY, void* parameter);

// Literal tables.
std::vector<uint32_t> ReferenceGammaTable(int32_t gamma, int top);
std::vector<uint32_t> ReferenceContrastTable8(int32_t contrast);
std::vector<uint32_t> ReferenceContrastTable16(int32_t contrast);
uint32_t ReferenceBrightness(int32_t brightness, uint32_t sample, uint32_t top);

// Maps the first `channels` samples of every pixel of the rectangle through
// table[min(sample, table.size() - 1)].
void ReferenceMap(TestImage& destination, const TestImage& source, const KernelRect& rect, int destinationX,
                  int destinationY, int channels, int sampleBytes, const std::vector<uint32_t>& table);

// Blur pass into the destination, then the sharpen pass, as two separate loops.
void ReferenceSharpen(TestImage& destination, const TestImage& source, const KernelRect& rect,
                      int destinationX, int destinationY, int channels, int sampleBytes, int32_t amount);

// The hue/saturation steps with branches and freshly built tables, on 8-bit samples.
struct ReferenceHueSaturation {
  ReferenceHueSaturation(int32_t hue, int32_t lightness, int32_t saturation);
  uint32_t Pixel(int32_t blue, int32_t green, int32_t red) const;

  uint32_t q[256];
  int32_t g3[256];
  int32_t tSum[512];
  int32_t tCap[512];
  int32_t s[256];
  int32_t shiftQuotient;
  int32_t shiftRemainder;
};

void ReferenceHueSaturation8(TestImage& destination, const TestImage& source, const KernelRect& rect,
                             int destinationX, int destinationY, int32_t hue, int32_t saturation);

}  // namespace zirvo::test
