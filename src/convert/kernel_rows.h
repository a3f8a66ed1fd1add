// Row and pixel addressing shared by the rectangle kernels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zirvo {

inline uint8_t* PixelAt(uint8_t* base, int row, int stride, int column, int bytesPerPixel) {
  return base + static_cast<ptrdiff_t>(row) * stride +
         static_cast<ptrdiff_t>(column) * bytesPerPixel;
}

inline const uint8_t* PixelAt(const uint8_t* base, int row, int stride, int column,
                              int bytesPerPixel) {
  return base + static_cast<ptrdiff_t>(row) * stride +
         static_cast<ptrdiff_t>(column) * bytesPerPixel;
}

inline uint16_t LoadSample16(const uint8_t* at) {
  return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

inline void StoreSample16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace zirvo
