// Straightforward readings of the Bayer kernels and a raw-image helper, to check the fast kernels.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "convert/parameter_blocks.h"
#include "display/kernel.h"

// The vector kernel variants exist on x86 builds only.
#if defined(__x86_64__) || defined(__i386__)
#define ZIRVO_TEST_VECTOR_KERNELS 1
#endif

namespace zirvo::testing {

// A buffer of `height` rows of `stride` bytes, with guard bytes before and after.
struct TestImage {
  int width = 0;
  int height = 0;
  int bytesPerPixel = 1;
  int stride = 0;
  std::vector<uint8_t> storage;
  static constexpr int kGuard = 64;

  TestImage(int w, int h, int bpp, int extraStride = 0, uint8_t fill = 0xA5);
  uint8_t* Bits() { return storage.data() + kGuard; }
  const uint8_t* Bits() const { return storage.data() + kGuard; }
  uint32_t Sample(int x, int y) const;  // 1- or 2-byte samples
  void SetSample(int x, int y, uint32_t value);
  uint32_t Channel(int x, int y, int channel) const;  // of 1- or 2-byte channels
  bool GuardsIntact(uint8_t fill = 0xA5) const;
};

// Random samples below `limit` (256 for 8-bit, up to 65536 for 16-bit).
void FillRandom(TestImage& image, uint32_t limit, std::mt19937& random);

void ReferenceDemosaicInner(TestImage& destination, const TestImage& source,
                            const KernelRect& rect, int destinationX, int destinationY,
                            const BayerBlock& block);
void ReferenceDemosaicBorder(TestImage& destination, const TestImage& source,
                             const KernelRect& rect, int destinationX, int destinationY,
                             const BayerBlock& block);
// Result bits as the kernel documents them.
int ReferenceWhiteBalance(const TestImage& source, const KernelRect& rect,
                          WhiteBalanceResult& result);
int ReferenceHotPixel(TestImage& image, const KernelRect& rect, const BayerBlock& block,
                      int threshold);

}  // namespace zirvo::testing
