// FrameBitmap: surfaces or heap pixels, palettes, and the kernel contracts.
#include "display/frame_bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zirvo {

namespace {

bool IsSupportedDepth(int bits) {
  return bits == 8 || bits == 16 || bits == 24 || bits == 32 || bits == 48 || bits == 64;
}

// Rectangle arithmetic in 64 bits so that extreme caller values cannot wrap.
struct WideRect {
  int64_t left, top, right, bottom;
  bool Empty() const { return right <= left || bottom <= top; }
  bool Outside(int64_t width, int64_t height) const {
    return right <= 0 || bottom <= 0 || left >= width || top >= height;
  }
};

}  // namespace

int32_t FrameStride(int32_t width, int bitsPerPixel) {
  int64_t bytes = (static_cast<int64_t>(width) * (bitsPerPixel / 8) + 3) & ~int64_t{3};
  return bytes > INT32_MAX || bytes < 0 ? 0 : static_cast<int32_t>(bytes);
}

FrameBitmap::FrameBitmap() { Reset(); }

FrameBitmap::~FrameBitmap() { Release(); }

void FrameBitmap::Reset() { Release(); }

void FrameBitmap::ClearFields() {
  pixels_ = nullptr;
  width_ = 0;
  height_ = 0;
  stride_ = 0;
  bitsPerPixel_ = 0;
  std::memset(&info_, 0, sizeof(info_));
  info_.header.size = platform::kBitmapHeaderSize;
}

void FrameBitmap::WriteGrayRamp() {
  for (int i = 0; i < 256; ++i) {
    uint8_t level = static_cast<uint8_t>(i);
    info_.colors[i] = {level, level, level, 0};
  }
}

bool FrameBitmap::SetFormat(int32_t width, int32_t height, int bitsPerPixel) {
  if (width <= 0 || height <= 0 || !IsSupportedDepth(bitsPerPixel)) return false;
  const int32_t stride = FrameStride(width, bitsPerPixel);
  if (stride == 0) return false;
  Release();
  info_.header.width = width;
  info_.header.height = height;
  info_.header.planes = 1;
  info_.header.bitCount = static_cast<uint16_t>(bitsPerPixel);
  info_.header.compression = platform::kCompressionRgb;
  width_ = width;
  height_ = height;
  bitsPerPixel_ = static_cast<uint16_t>(bitsPerPixel);
  stride_ = stride;
  return true;
}

int FrameBitmap::Create(int32_t width, int32_t height, int bitsPerPixel) {
  if (!SetFormat(width, height, bitsPerPixel)) return 0;
  return CreateSurface(nullptr, platform::kDibRgbColors, nullptr, 0);
}

int FrameBitmap::Borrow(uint8_t* pixels, int32_t width, int32_t height, int bitsPerPixel) {
  if (pixels == nullptr || !SetFormat(width, height, bitsPerPixel)) return 0;
  if (bitsPerPixel == 8) WriteGrayRamp();
  pixels_ = pixels;
  return 1;
}

int FrameBitmap::CreateSurface(platform::DrawingContext* reference, uint32_t usage,
                               void* section, uint32_t offset) {
  if (bitsPerPixel_ == 8) WriteGrayRamp();
  uint8_t* pixels = nullptr;
  platform::SurfaceOwner surface =
      platform::CreateSurface(reference, info_, usage, &pixels, section, offset);
  if (surface) {
    pixels_ = pixels;
    return AttachSurface(std::move(surface));
  }
  return AllocateHeapPixels();
}

int FrameBitmap::AttachSurface(platform::SurfaceOwner surface) {
  section_ = std::move(surface);
  memoryContext_ = platform::CreateMemoryContext();
  if (memoryContext_) previousObject_ = platform::SelectSurface(*memoryContext_, *section_);
  if (memoryContext_ && previousObject_ != nullptr) return 1;
  Release();
  return 0;
}

int FrameBitmap::AllocateHeapPixels() {
  size_t bytes = static_cast<size_t>(stride_) * static_cast<size_t>(height_);
  try {
    heapPixels_ = std::make_unique<uint8_t[]>(bytes);
  } catch (const std::bad_alloc&) {
    Release();
    return 0;
  }
  pixels_ = heapPixels_.get();
  return 1;
}

int FrameBitmap::Release() {
  if (section_) {
    if (memoryContext_ && previousObject_ != nullptr) {
      platform::SelectSurface(*memoryContext_, *previousObject_);
    }
    section_.reset();
    previousObject_ = nullptr;
  }
  memoryContext_.reset();
  heapPixels_.reset();
  ClearFields();
  return 0;
}

int FrameBitmap::SetPalette(int kind, const platform::ColorEntry* entries, uint32_t first,
                            uint32_t count) {
  if (kind == 0) {
    WriteGrayRamp();
    if (memoryContext_) platform::SetColorTable(*memoryContext_, 0, 256, info_.colors);
  } else if (kind == 2 && memoryContext_ && entries != nullptr) {
    platform::SetColorTable(*memoryContext_, first, count, entries);
  }
  return 1;
}

int FrameBitmap::CopyFormat(const FrameBitmap* source) {
  if (source == nullptr || source->width_ <= 0 || source->height_ <= 0 ||
      source->bitsPerPixel_ == 0) {
    return 0;
  }
  // Copied before Release so that a bitmap can take its own format.
  platform::BitmapHeader header = source->info_.header;
  int32_t width = source->width_;
  int32_t height = source->height_;
  int32_t stride = source->stride_;
  uint16_t bits = source->bitsPerPixel_;
  platform::DrawingContext* reference = source == this ? nullptr : source->Context();
  Release();
  info_.header = header;
  width_ = width;
  height_ = height;
  stride_ = stride;
  bitsPerPixel_ = bits;
  return CreateSurface(reference, platform::kDibRgbColors, nullptr, 0);
}

int FrameBitmap::BlitFrom(const FrameBitmap& source, const KernelRect* sourceRect, int x,
                          int y) {
  if (!memoryContext_ || !source.memoryContext_) return 0;
  KernelRect whole{0, 0, source.width_, source.height_};
  const KernelRect& from = sourceRect != nullptr ? *sourceRect : whole;
  return platform::BlockCopy(*memoryContext_, x, y, from.Width(), from.Height(),
                             *source.memoryContext_, from.left, from.top)
             ? 1
             : 0;
}

int FrameBitmap::ApplyKernel(RectangleKernel kernel, const FrameBitmap& source,
                             const KernelRect* rect, int x, int y, void* parameter,
                             void* extra) {
  if (kernel == nullptr) return 0;
  KernelRect whole{0, 0, source.width_, source.height_};
  const KernelRect& given = rect != nullptr ? *rect : whole;
  WideRect from{given.left, given.top, given.right, given.bottom};
  WideRect to{x, y, x + (from.right - from.left), y + (from.bottom - from.top)};
  if (to.Empty() || to.Outside(width_, height_)) return 0;

  // Clip the destination and move the source edges by the same amounts.
  WideRect clipped{std::max<int64_t>(to.left, 0), std::max<int64_t>(to.top, 0),
                   std::min<int64_t>(to.right, width_), std::min<int64_t>(to.bottom, height_)};
  from.left += clipped.left - to.left;
  from.top += clipped.top - to.top;
  from.right += clipped.right - to.right;
  from.bottom += clipped.bottom - to.bottom;
  to = clipped;
  if (from.Empty() || from.Outside(source.width_, source.height_)) return 0;

  // Clip the source and take the same amounts off the destination, on every
  // side, so both stay the same size and the bottom edge used for the
  // bottom-up row below is the one the kernel really writes.
  WideRect sourceClipped{std::max<int64_t>(from.left, 0), std::max<int64_t>(from.top, 0),
                         std::min<int64_t>(from.right, source.width_),
                         std::min<int64_t>(from.bottom, source.height_)};
  to.left += sourceClipped.left - from.left;
  to.top += sourceClipped.top - from.top;
  to.right += sourceClipped.right - from.right;
  to.bottom += sourceClipped.bottom - from.bottom;
  from = sourceClipped;
  if (to.Empty() || to.Outside(width_, height_)) return 0;

  KernelRect memoryRect{static_cast<int32_t>(from.left),
                        static_cast<int32_t>(source.height_ - from.bottom),
                        static_cast<int32_t>(from.right),
                        static_cast<int32_t>(source.height_ - from.top)};
  int destinationX = static_cast<int>(to.left);
  int destinationY = static_cast<int>(height_ - to.bottom);
  return kernel(pixels_, source.pixels_, memoryRect, destinationX, destinationY,
                BytesPerPixel(), source.BytesPerPixel(), stride_, source.stride_, parameter,
                extra);
}

int FrameBitmap::ApplyScaler(ScalingKernel kernel, const FrameBitmap& source,
                             const KernelRect* sourceRect, const KernelRect* destinationRect,
                             int value, void* user) {
  if (kernel == nullptr) return 0;
  KernelRect from = sourceRect != nullptr ? *sourceRect
                                          : KernelRect{0, 0, source.width_, source.height_};
  KernelRect to = destinationRect != nullptr ? *destinationRect
                                             : KernelRect{0, 0, width_, height_};
  auto inside = [](const KernelRect& r, int32_t width, int32_t height) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           r.right <= width && r.bottom <= height;
  };
  if (!inside(from, source.width_, source.height_) || !inside(to, width_, height_)) return 0;
  return kernel(pixels_, source.pixels_, to, from, width_, height_, source.width_,
                source.height_, BytesPerPixel(), source.BytesPerPixel(), stride_,
                source.stride_, value, user);
}

}  // namespace zirvo
