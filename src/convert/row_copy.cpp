// Whole-row and 24-bit copies, flipped or in order.
#include "convert/row_copy.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "convert/kernel_rows.h"

namespace zirvo {

namespace {

// First three bytes of every pixel; 3-byte sources are one block copy.
void CopyThreeBytes(uint8_t* out, const uint8_t* in, int32_t width, int sourceBytesPerPixel) {
  if (sourceBytesPerPixel == 3) {
    std::memmove(out, in, static_cast<size_t>(width) * 3);
    return;
  }
  // Four bytes stored per pixel, the fourth overwritten by the next pixel;
  // the last pixel of the row is stored as three.
  int32_t j = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; j + 1 < width; ++j) {
      uint32_t pixel;
      std::memcpy(&pixel, in + 4 * j, 4);
      StoreFourBytes(out + 3 * j, pixel);
    }
  }
  for (; j < width; ++j) {
    out[3 * j] = in[4 * j];
    out[3 * j + 1] = in[4 * j + 1];
    out[3 * j + 2] = in[4 * j + 2];
  }
}

int CopyBgr24Rows(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                  int destinationX, int destinationY, int destinationBytesPerPixel,
                  int sourceBytesPerPixel, int destinationStride, int sourceStride,
                  bool flipped) {
  if (destinationBytesPerPixel != 3 || (sourceBytesPerPixel != 3 && sourceBytesPerPixel != 4)) {
    return 0;
  }
  for (int32_t i = 0; i < rect.Height(); ++i) {
    int32_t row = flipped ? rect.bottom - 1 - i : rect.top + i;
    CopyThreeBytes(PixelAt(destination, destinationY + i, destinationStride, destinationX, 3),
                   PixelAt(source, row, sourceStride, rect.left, sourceBytesPerPixel),
                   rect.Width(), sourceBytesPerPixel);
  }
  return 1;
}

}  // namespace

int CopyRowsFlipped(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride, void*,
                    void*) {
  int64_t destinationRest =
      int64_t{destinationStride} - int64_t{destinationX} * destinationBytesPerPixel;
  int64_t sourceRest = int64_t{sourceStride} - int64_t{sourceRect.left} * sourceBytesPerPixel;
  int64_t bytes = std::min(destinationRest, sourceRest);
  if (bytes <= 0) return 1;
  for (int32_t i = 0; i < sourceRect.Height(); ++i) {
    std::memmove(PixelAt(destination, destinationY + i, destinationStride, destinationX,
                         destinationBytesPerPixel),
                 PixelAt(source, sourceRect.bottom - 1 - i, sourceStride, sourceRect.left,
                         sourceBytesPerPixel),
                 static_cast<size_t>(bytes));
  }
  return 1;
}

int CopyBgr24Flipped(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                     int destinationX, int destinationY, int destinationBytesPerPixel,
                     int sourceBytesPerPixel, int destinationStride, int sourceStride, void*,
                     void*) {
  return CopyBgr24Rows(destination, source, sourceRect, destinationX, destinationY,
                       destinationBytesPerPixel, sourceBytesPerPixel, destinationStride,
                       sourceStride, true);
}

int Bgr32ToBgr24(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                 int destinationX, int destinationY, int destinationBytesPerPixel,
                 int sourceBytesPerPixel, int destinationStride, int sourceStride, void*,
                 void*) {
  return CopyBgr24Rows(destination, source, sourceRect, destinationX, destinationY,
                       destinationBytesPerPixel, sourceBytesPerPixel, destinationStride,
                       sourceStride, false);
}

}  // namespace zirvo
