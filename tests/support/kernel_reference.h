// Test images with a row stride, random content, and direct kernel calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "display/kernel.h"

namespace zirvo::test {

// Rows of width x bytesPerPixel bytes at `stride` spacing, memory row 0
// first, in a buffer sized exactly to stride x height so that the sanitizer
// sees any access past the last row.
struct TestImage {
  int32_t width = 0;
  int32_t height = 0;
  int bytesPerPixel = 0;
  int32_t stride = 0;
  std::vector<uint8_t> bytes;

  uint8_t* Data() { return bytes.data(); }
  const uint8_t* Data() const { return bytes.data(); }
  uint8_t* At(int32_t row, int32_t column) {
    return bytes.data() + static_cast<size_t>(row) * stride +
           static_cast<size_t>(column) * bytesPerPixel;
  }
  const uint8_t* At(int32_t row, int32_t column) const {
    return bytes.data() + static_cast<size_t>(row) * stride +
           static_cast<size_t>(column) * bytesPerPixel;
  }
  uint16_t Sample16(int32_t row, int32_t column, int word = 0) const;
  KernelRect Whole() const { return {0, 0, width, height}; }
};

// Stride rounded up to 4 bytes unless `stride` is given.
TestImage MakeImage(int32_t width, int32_t height, int bytesPerPixel, int32_t stride = 0);
// Every byte random (seeded), row padding included.
TestImage RandomImage(int32_t width, int32_t height, int bytesPerPixel, uint32_t seed,
                      int32_t stride = 0);
// Like RandomImage with 16-bit samples below `limit`.
TestImage RandomImage16(int32_t width, int32_t height, int wordsPerPixel, uint32_t seed,
                        uint32_t limit = 65536);

// Sizes that provoke faults in vector code: 1 x 1, 4 x 4, odd sizes and
// widths around multiples of 8, 16, 32 and 64.
std::vector<std::pair<int32_t, int32_t>> KernelTestSizes();

int RunKernel(RectangleKernel kernel, TestImage& destination, const TestImage& source,
              const KernelRect& rect, int destinationX, int destinationY,
              void* parameter = nullptr, void* extra = nullptr);
// In place: the same image as destination and source.
int RunInPlace(RectangleKernel kernel, TestImage& image, const KernelRect& rect,
               void* parameter = nullptr, void* extra = nullptr);

}  // namespace zirvo::test
