// The two calling contracts through which pixel kernels run over bitmaps.
#pragma once

#include <cstdint>

namespace zirvo {

// A rectangle in pixels; right and bottom are exclusive. Kernels receive it in
// memory rows and columns (memory row 0 is the first row the camera sent).
struct KernelRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
};

// Rectangle kernel, applied by FrameBitmap::ApplyKernel. Reads the source
// pixels of `sourceRect` and writes the destination pixels from
// (destinationX, destinationY) on; in-place kernels get the same buffer twice.
// `parameter` points at the kernel's parameter block (or setting), `extra` at
// its second parameter; either may be null for kernels that take none.
using RectangleKernel = int (*)(uint8_t* destination, const uint8_t* source,
                                const KernelRect& sourceRect, int destinationX,
                                int destinationY, int destinationBytesPerPixel,
                                int sourceBytesPerPixel, int destinationStride,
                                int sourceStride, void* parameter, void* extra);

// Scaling kernel, applied by FrameBitmap::ApplyScaler.
using ScalingKernel = int (*)(uint8_t* destination, const uint8_t* source,
                              const KernelRect& destinationRect,
                              const KernelRect& sourceRect, int destinationWidth,
                              int destinationHeight, int sourceWidth,
                              int sourceHeight, int destinationBytesPerPixel,
                              int sourceBytesPerPixel, int destinationStride,
                              int sourceStride, int value, void* user);

}  // namespace zirvo
