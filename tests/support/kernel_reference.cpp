// Test images with a row stride, random content, and direct kernel calls.
#include "support/kernel_reference.h"

#include <random>

namespace zirvo::test {

uint16_t TestImage::Sample16(int32_t row, int32_t column, int word) const {
  const uint8_t* at = At(row, column) + 2 * word;
  return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

TestImage MakeImage(int32_t width, int32_t height, int bytesPerPixel, int32_t stride) {
  TestImage image;
  image.width = width;
  image.height = height;
  image.bytesPerPixel = bytesPerPixel;
  image.stride = stride != 0 ? stride : (width * bytesPerPixel + 3) & ~3;
  image.bytes.assign(static_cast<size_t>(image.stride) * height, 0);
  return image;
}

TestImage RandomImage(int32_t width, int32_t height, int bytesPerPixel, uint32_t seed,
                      int32_t stride) {
  TestImage image = MakeImage(width, height, bytesPerPixel, stride);
  std::mt19937 random(seed);
  for (uint8_t& byte : image.bytes) byte = static_cast<uint8_t>(random());
  return image;
}

TestImage RandomImage16(int32_t width, int32_t height, int wordsPerPixel, uint32_t seed,
                        uint32_t limit) {
  TestImage image = MakeImage(width, height, 2 * wordsPerPixel);
  std::mt19937 random(seed);
  for (size_t i = 0; i + 1 < image.bytes.size(); i += 2) {
    uint32_t value = random() % limit;
    image.bytes[i] = static_cast<uint8_t>(value);
    image.bytes[i + 1] = static_cast<uint8_t>(value >> 8);
  }
  return image;
}

std::vector<std::pair<int32_t, int32_t>> KernelTestSizes() {
  std::vector<std::pair<int32_t, int32_t>> sizes = {{1, 1}, {4, 4}, {1, 7}, {7, 1}, {3, 5},
                                                    {2, 2}, {5, 3}, {13, 9}};
  for (int32_t multiple : {8, 16, 32, 64}) {
    for (int32_t delta : {-1, 0, 1}) sizes.push_back({multiple + delta, 3});
    sizes.push_back({2 * multiple + 7, 2});
  }
  sizes.push_back({129, 17});
  return sizes;
}

int RunKernel(RectangleKernel kernel, TestImage& destination, const TestImage& source,
              const KernelRect& rect, int destinationX, int destinationY, void* parameter,
              void* extra) {
  return kernel(destination.Data(), source.Data(), rect, destinationX, destinationY,
                destination.bytesPerPixel, source.bytesPerPixel, destination.stride,
                source.stride, parameter, extra);
}

int RunInPlace(RectangleKernel kernel, TestImage& image, const KernelRect& rect, void* parameter,
               void* extra) {
  return kernel(image.Data(), image.Data(), rect, rect.left, rect.top, image.bytesPerPixel,
                image.bytesPerPixel, image.stride, image.stride, parameter, extra);
}

}  // namespace zirvo::test
