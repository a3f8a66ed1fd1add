// FrameBitmap: a bottom-up bitmap of 8 to 64 bits per pixel and the two
// contracts through which pixel kernels run over pairs of them.
#pragma once

#include <cstdint>
#include <memory>

#include "display/kernel.h"
#include "platform/surface.h"

namespace zirvo {

class FrameBitmap {
 public:
  FrameBitmap();
  ~FrameBitmap();
  FrameBitmap(const FrameBitmap&) = delete;
  FrameBitmap& operator=(const FrameBitmap&) = delete;

  // All sizes 0, no surface, header size 40.
  void Reset();

  // 1 success, 0 failure. Bad arguments leave the bitmap as it was; a
  // surface that cannot be made leaves it empty.
  int Create(int32_t width, int32_t height, int bitsPerPixel);
  // Pixels owned elsewhere, laid out as Create would (rows of Stride bytes),
  // with no surface: for kernels only, never drawn. They must outlive every
  // use; Release forgets them without freeing. Bad arguments: 0, unchanged.
  int Borrow(uint8_t* pixels, int32_t width, int32_t height, int bitsPerPixel);
  int CreateSurface(platform::DrawingContext* reference, uint32_t usage, void* section,
                    uint32_t offset);
  int Release();

  // kind 0: gray ramp into the stored and the surface's table; kind 2: the
  // caller's entries into the surface's table only; other kinds nothing.
  int SetPalette(int kind, const platform::ColorEntry* entries, uint32_t first,
                 uint32_t count);

  // A fresh, zeroed bitmap of the source's format; pixels are not copied.
  int CopyFormat(const FrameBitmap* source);

  // Block copy from `source` (whole, or `sourceRect` in picture coordinates)
  // to (x, y). False when either bitmap has no surface.
  int BlitFrom(const FrameBitmap& source, const KernelRect* sourceRect, int x, int y);

  // Runs `kernel` with this bitmap as destination. `rect` is in picture
  // coordinates (row 0 at the top); it is clipped against both bitmaps and
  // turned into memory rows. 0 when nothing is left or without a kernel.
  int ApplyKernel(RectangleKernel kernel, const FrameBitmap& source, const KernelRect* rect,
                  int x, int y, void* parameter, void* extra);

  // Runs a scaling kernel; rectangles default to the whole bitmaps. 0
  // without a kernel, or when a rectangle is empty or leaves its bitmap.
  int ApplyScaler(ScalingKernel kernel, const FrameBitmap& source,
                  const KernelRect* sourceRect, const KernelRect* destinationRect,
                  int value, void* user);

  uint8_t* Pixels() { return pixels_; }
  const uint8_t* Pixels() const { return pixels_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Stride() const { return stride_; }
  int BitsPerPixel() const { return bitsPerPixel_; }
  int BytesPerPixel() const { return bitsPerPixel_ / 8; }
  bool HasSurface() const { return section_ != nullptr; }
  platform::DrawingContext* Context() const { return memoryContext_.get(); }
  const platform::BitmapInfo& Info() const { return info_; }

 private:
  void ClearFields();
  void WriteGrayRamp();
  // Releases the bitmap and takes the new size and depth: false, unchanged,
  // for a size or depth that cannot be.
  bool SetFormat(int32_t width, int32_t height, int bitsPerPixel);
  int AttachSurface(platform::SurfaceOwner section);
  int AllocateHeapPixels();

  platform::BitmapInfo info_;
  platform::DrawingContextOwner memoryContext_;
  platform::SurfaceOwner section_;
  uint8_t* pixels_ = nullptr;
  std::unique_ptr<uint8_t[]> heapPixels_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t stride_ = 0;
  uint16_t bitsPerPixel_ = 0;
  platform::Surface* previousObject_ = nullptr;
};

// Bytes per row for a width and depth: rounded up to a multiple of 4. 0 when
// it does not fit a signed 32-bit value.
int32_t FrameStride(int32_t width, int bitsPerPixel);

}  // namespace zirvo
