// Mean sample level of a rectangle of 8- or 16-bit samples.
#include "convert/mean_level.h"

#include <cstddef>
#include <cstdint>

namespace zirvo {

namespace {

uint64_t SumRow8(const uint8_t* row, int32_t count) {
  uint64_t sum = 0;
  for (int32_t i = 0; i < count; ++i) sum += row[i];
  return sum;
}

uint64_t SumRow16(const uint8_t* row, int32_t count) {
  uint64_t sum = 0;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t sample = row[2 * i] | (uint32_t{row[2 * i + 1]} << 8);
    sum += (sample >> 2) & 0xFF;
  }
  return sum;
}

template <uint64_t (*SumRow)(const uint8_t*, int32_t), int kBytes>
int MeanOf(const uint8_t* source, const KernelRect& rect, int stride) {
  int32_t width = rect.Width();
  int32_t height = rect.Height();
  if (width <= 0 || height <= 0 || source == nullptr) return 0;
  uint64_t sum = 0;
  for (int32_t row = rect.top; row < rect.bottom; ++row) {
    const uint8_t* line = source + static_cast<ptrdiff_t>(row) * stride +
                          static_cast<ptrdiff_t>(rect.left) * kBytes;
    sum += SumRow(line, width);
  }
  uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  return static_cast<int>(sum / count);
}

}  // namespace

int MeanLevel8(uint8_t*, const uint8_t* source, const KernelRect& sourceRect, int, int, int,
               int, int, int sourceStride, void*, void*) {
  return MeanOf<SumRow8, 1>(source, sourceRect, sourceStride);
}

int MeanLevel16(uint8_t*, const uint8_t* source, const KernelRect& sourceRect, int, int, int,
                int, int, int sourceStride, void*, void*) {
  return MeanOf<SumRow16, 2>(source, sourceRect, sourceStride);
}

}  // namespace zirvo
