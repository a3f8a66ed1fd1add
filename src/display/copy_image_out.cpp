// CopyImageOut: row-order copy of a bitmap into a caller's buffer.
#include "display/copy_image_out.h"

#include <cstring>

#include "platform/streaming_copy.h"

namespace zirvo {
namespace {

void CopyPlainly(void* destination, const void* source, size_t bytes) { std::memcpy(destination, source, bytes); }

}  // namespace

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
  // A whole large image goes past the cache: it would not stay there until
  // the caller reads it, and on its way it would evict what the next frame's
  // conversion needs.
  void (*copy)(void*, const void*, size_t) =
      needed >= platform::kStreamingCopyMinimumBytes ? platform::CopyStreaming : CopyPlainly;
  if (rowOrderFlag != 0) {
    copy(out, pixels, needed);
    return 1;
  }
  for (size_t row = 0; row < rows; ++row) {
    copy(out + row * stride, pixels + (rows - 1 - row) * stride, stride);
  }
  return 1;
}

}  // namespace zirvo
