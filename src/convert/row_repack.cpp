// Spreading packed camera rows to the bitmap stride, in place.
#include "convert/row_repack.h"

#include <cstring>

#include "convert/kernel_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zirvo {

namespace {

// Rows last to first: a row's destination never reaches the packed rows
// still to be moved, which all lie before it.
int RepackRows(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
               int destinationStride, int bytesPerPixel) {
  int32_t width = rect.right;
  int32_t height = rect.bottom;
  if (width <= 0 || height <= 0) return 1;
  size_t packedRow = static_cast<size_t>(width) * bytesPerPixel;
  if (static_cast<size_t>(destinationStride) < packedRow) return 0;
  for (int32_t row = height - 1; row >= 0; --row) {
    std::memmove(destination + static_cast<size_t>(row) * destinationStride,
                 source + static_cast<size_t>(row) * packedRow, packedRow);
  }
  return 1;
}

// One row of samples widened, last column first. Each block is loaded whole
// before its (wider) store, which only reaches samples already widened.
void WidenRow(uint8_t* out, const uint8_t* in, int32_t width) {
  int32_t column = width;
#if defined(__SSE2__)
  int32_t blocks = width / 16;
  for (column = width; column > blocks * 16; --column) {
    StoreSample16(out + 2 * (column - 1), uint32_t{in[column - 1]} << 2);
  }
  const __m128i zero = _mm_setzero_si128();
  for (int32_t block = blocks - 1; block >= 0; --block) {
    __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + block * 16));
    __m128i low = _mm_slli_epi16(_mm_unpacklo_epi8(samples, zero), 2);
    __m128i high = _mm_slli_epi16(_mm_unpackhi_epi8(samples, zero), 2);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + block * 32 + 16), high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + block * 32), low);
  }
  column = 0;
#endif
  for (; column > 0; --column) {
    StoreSample16(out + 2 * (column - 1), uint32_t{in[column - 1]} << 2);
  }
}

}  // namespace

int RepackRows8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect, int,
                int, int, int, int destinationStride, int, void*, void*) {
  return RepackRows(destination, source, sourceRect, destinationStride, 1);
}

int RepackRows16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect, int,
                 int, int, int, int destinationStride, int, void*, void*) {
  return RepackRows(destination, source, sourceRect, destinationStride, 2);
}

int WidenSamples8To16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                      int, int, int, int, int destinationStride, int, void*, void*) {
  int32_t width = sourceRect.right;
  int32_t height = sourceRect.bottom;
  if (width <= 0 || height <= 0) return 1;
  if (destinationStride < 2 * static_cast<int64_t>(width)) return 0;
  // Rows last to first, as in RepackRows: in place, no row's store reaches a
  // packed row not yet widened.
  for (int32_t row = height - 1; row >= 0; --row) {
    WidenRow(destination + static_cast<size_t>(row) * destinationStride,
             source + static_cast<size_t>(row) * width, width);
  }
  return 1;
}

}  // namespace zirvo
