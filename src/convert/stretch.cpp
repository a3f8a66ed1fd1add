// Nearest-neighbour stretch for the preview, rows reversed.
#include "convert/stretch.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "convert/kernel_rows.h"

namespace zirvo {

namespace {

// The step is a single-precision value; its product with a 32-bit index is
// exact in double precision, so the truncation equals that of a product in
// extended precision.
int32_t SourceIndex(float step, int32_t index, int32_t extent) {
  double product = static_cast<double>(step) * index;
  int64_t position = static_cast<int64_t>(product);
  return static_cast<int32_t>(std::clamp<int64_t>(position, 0, extent - 1));
}

float StepOf(int32_t sourceExtent, int32_t destinationExtent) {
  return static_cast<float>(static_cast<double>(sourceExtent) / destinationExtent);
}

// Byte offsets of the source pixel of each destination column, reused by the
// thread so that steady-state calls do not allocate.
const std::vector<int32_t>& ColumnOffsets(const KernelRect& to, const KernelRect& from,
                                          int sourceBytesPerPixel) {
  thread_local std::vector<int32_t> offsets;
  int32_t width = to.Width();
  offsets.resize(static_cast<size_t>(width));
  float step = StepOf(from.Width(), width);
  for (int32_t j = 0; j < width; ++j) {
    offsets[static_cast<size_t>(j)] =
        (from.left + SourceIndex(step, j, from.Width())) * sourceBytesPerPixel;
  }
  return offsets;
}

template <int kBytes>
void StretchRow(uint8_t* out, const uint8_t* in, const int32_t* offsets, int32_t width,
                int destinationBytesPerPixel) {
  for (int32_t j = 0; j < width; ++j) {
    std::memcpy(out + static_cast<ptrdiff_t>(j) * destinationBytesPerPixel, in + offsets[j],
                kBytes);
  }
}

template <int kBytes>
int Stretch(uint8_t* destination, const uint8_t* source, const KernelRect& to,
            const KernelRect& from, int destinationBytesPerPixel, int sourceBytesPerPixel,
            int destinationStride, int sourceStride) {
  if (destinationBytesPerPixel < kBytes || sourceBytesPerPixel < kBytes) return 0;
  if (to.Width() <= 0 || to.Height() <= 0 || from.Width() <= 0 || from.Height() <= 0) return 1;
  try {
    const std::vector<int32_t>& offsets = ColumnOffsets(to, from, sourceBytesPerPixel);
    float rowStep = StepOf(from.Height(), to.Height());
    for (int32_t i = 0; i < to.Height(); ++i) {
      int32_t u = SourceIndex(rowStep, i, from.Height());
      const uint8_t* in = PixelAt(source, from.bottom - 1 - u, sourceStride, 0, 0);
      uint8_t* out = PixelAt(destination, to.top + i, destinationStride, to.left,
                             destinationBytesPerPixel);
      StretchRow<kBytes>(out, in, offsets.data(), to.Width(), destinationBytesPerPixel);
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

}  // namespace

int StretchGray8(uint8_t* destination, const uint8_t* source, const KernelRect& destinationRect,
                 const KernelRect& sourceRect, int, int, int, int, int destinationBytesPerPixel,
                 int sourceBytesPerPixel, int destinationStride, int sourceStride, int, void*) {
  return Stretch<1>(destination, source, destinationRect, sourceRect, destinationBytesPerPixel,
                    sourceBytesPerPixel, destinationStride, sourceStride);
}

int StretchBgr24(uint8_t* destination, const uint8_t* source, const KernelRect& destinationRect,
                 const KernelRect& sourceRect, int, int, int, int, int destinationBytesPerPixel,
                 int sourceBytesPerPixel, int destinationStride, int sourceStride, int, void*) {
  return Stretch<3>(destination, source, destinationRect, sourceRect, destinationBytesPerPixel,
                    sourceBytesPerPixel, destinationStride, sourceStride);
}

}  // namespace zirvo
