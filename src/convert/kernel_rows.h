// Row and pixel addressing shared by the rectangle kernels.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zirvo {

// Internal linkage: the files built for wider instruction sets include these
// too, and their copies must never stand in for the baseline ones at link time.
namespace {

inline uint8_t* PixelAt(uint8_t* base, int row, int stride, int column, int bytesPerPixel) {
  return base + static_cast<ptrdiff_t>(row) * stride +
         static_cast<ptrdiff_t>(column) * bytesPerPixel;
}

inline const uint8_t* PixelAt(const uint8_t* base, int row, int stride, int column,
                              int bytesPerPixel) {
  return base + static_cast<ptrdiff_t>(row) * stride +
         static_cast<ptrdiff_t>(column) * bytesPerPixel;
}

// Little-endian 16-bit samples at any alignment.
inline uint16_t LoadSample16(const uint8_t* at) {
  uint16_t value;
  std::memcpy(&value, at, sizeof(value));
  if constexpr (std::endian::native == std::endian::big) {
    value = static_cast<uint16_t>((value >> 8) | (value << 8));
  }
  return value;
}

inline void StoreSample16(uint8_t* at, uint32_t value) {
  auto sample = static_cast<uint16_t>(value);
  if constexpr (std::endian::native == std::endian::big) {
    sample = static_cast<uint16_t>((sample >> 8) | (sample << 8));
  }
  std::memcpy(at, &sample, sizeof(sample));
}

// Three bytes of a little-endian 32-bit value; all but the last pixel of a
// row may store four, the fourth being overwritten by the next pixel.
inline void StoreFourBytes(uint8_t* at, uint32_t value) { std::memcpy(at, &value, 4); }

}  // namespace

}  // namespace zirvo
