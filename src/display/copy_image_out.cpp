// CopyImageOut: row-order copy of a bitmap into a caller's buffer.
#include "display/copy_image_out.h"

#include <cstring>

namespace zirvo {

int CopyImageOut(const FrameBitmap& bitmap, int rowOrderFlag, void* destination,
                 uint32_t length, CopyOutFailure& onFailure) {
  size_t stride = static_cast<size_t>(bitmap.Stride());
  size_t rows = static_cast<size_t>(bitmap.Height());
  size_t needed = stride * rows;
  if (length < needed || (destination == nullptr && needed > 0)) {
    onFailure.Report(kErrorBufferTooSmall);
    return 0;
  }
  if (needed == 0) return 1;
  auto* out = static_cast<uint8_t*>(destination);
  const uint8_t* pixels = bitmap.Pixels();
  if (rowOrderFlag != 0) {
    std::memcpy(out, pixels, needed);
    return 1;
  }
  for (size_t row = 0; row < rows; ++row) {
    std::memcpy(out + row * stride, pixels + (rows - 1 - row) * stride, stride);
  }
  return 1;
}

}  // namespace zirvo
