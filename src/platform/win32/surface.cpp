// Drawing surfaces on GDI: DIB sections, memory device contexts, BitBlt and StretchBlt.
#include "platform/surface.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace zirvo::platform {

static_assert(sizeof(BitmapHeader) == sizeof(BITMAPINFOHEADER));
static_assert(sizeof(ColorEntry) == sizeof(RGBQUAD));
static_assert(sizeof(BitmapInfo) == sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));

class Surface {
 public:
  // The default bitmap of a memory context; `bitmap` stays owned by GDI.
  Surface() = default;
  Surface(HBITMAP bitmap, uint8_t* pixels, int32_t width, int32_t height, bool topDown,
          int32_t bitsPerPixel, int32_t stride)
      : bitmap_(bitmap), pixels_(pixels), width_(width), height_(height), topDown_(topDown),
        bitsPerPixel_(bitsPerPixel), stride_(stride) {}
  ~Surface() {
    if (owned() && bitmap_ != nullptr) ::DeleteObject(bitmap_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  bool owned() const { return pixels_ != nullptr; }
  HBITMAP Bitmap() const { return bitmap_; }
  void SetBitmap(HBITMAP bitmap) { bitmap_ = bitmap; }
  uint8_t* Pixels() const { return pixels_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Stride() const { return stride_; }
  int32_t BitsPerPixel() const { return bitsPerPixel_; }
  bool TopDown() const { return topDown_; }
  ColorEntry* Colors() { return colors_; }

  DrawingContext* selectedInto = nullptr;

 private:
  HBITMAP bitmap_ = nullptr;
  uint8_t* pixels_ = nullptr;  // inside the DIB section, freed with it
  int32_t width_ = 1;
  int32_t height_ = 1;
  bool topDown_ = false;
  int32_t bitsPerPixel_ = 1;
  int32_t stride_ = 4;
  ColorEntry colors_[256] = {};  // copy of the section's table, for DescribeSelectedSurface
};

class DrawingContext {
 public:
  explicit DrawingContext(HDC dc) : dc_(dc) {}
  ~DrawingContext() { ::DeleteDC(dc_); }
  DrawingContext(const DrawingContext&) = delete;
  DrawingContext& operator=(const DrawingContext&) = delete;

  HDC Dc() const { return dc_; }
  Surface& Stock() { return stock_; }
  bool HoldsSurface() const { return selected != &stock_; }

  // Puts the context's own 1 x 1 bitmap back in.
  void SelectStock() {
    if (stock_.Bitmap() != nullptr) ::SelectObject(dc_, stock_.Bitmap());
    selected = &stock_;
  }

  Surface* selected = &stock_;

 private:
  HDC dc_;
  Surface stock_;
};

void SurfaceDeleter::operator()(Surface* surface) const noexcept {
  if (surface->selectedInto != nullptr) surface->selectedInto->SelectStock();
  delete surface;
}

void DrawingContextDeleter::operator()(DrawingContext* context) const noexcept {
  if (context->HoldsSurface()) {
    Surface* held = context->selected;
    context->SelectStock();
    held->selectedInto = nullptr;
  }
  delete context;
}

namespace {

bool IsSurfaceDepth(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

int32_t StrideFor(int32_t width, int32_t bits) {
  int64_t bytes = (static_cast<int64_t>(width) * (bits / 8) + 3) & ~int64_t{3};
  return bytes > INT32_MAX ? 0 : static_cast<int32_t>(bytes);
}

// The conversions both platforms offer; GDI would do more, with colour matching.
bool CanCopy(const Surface& destination, const Surface& source) {
  if (!IsSurfaceDepth(destination.BitsPerPixel()) || !IsSurfaceDepth(source.BitsPerPixel())) {
    return false;
  }
  if (destination.BitsPerPixel() == source.BitsPerPixel()) return true;
  bool colourDestination = destination.BitsPerPixel() == 24 || destination.BitsPerPixel() == 32;
  return colourDestination && source.BitsPerPixel() != 16;
}

}  // namespace

SurfaceOwner CreateSurface(DrawingContext* reference, const BitmapInfo& info, uint32_t usage,
                           uint8_t** pixels, void* section, uint32_t offset) {
  if (pixels != nullptr) *pixels = nullptr;
  const BitmapHeader& header = info.header;
  if (section != nullptr || header.compression != kCompressionRgb ||
      !IsSurfaceDepth(header.bitCount) || header.width <= 0 || header.height == 0 ||
      header.height == INT32_MIN) {
    return nullptr;
  }
  const int32_t stride = StrideFor(header.width, header.bitCount);
  if (stride == 0) return nullptr;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(reference != nullptr ? reference->Dc() : nullptr,
                                      reinterpret_cast<const BITMAPINFO*>(&info), usage, &bits,
                                      nullptr, offset);
  if (bitmap == nullptr || bits == nullptr) {
    if (bitmap != nullptr) ::DeleteObject(bitmap);
    return nullptr;
  }
  const bool topDown = header.height < 0;
  const int32_t height = topDown ? -header.height : header.height;
  auto* pixelBytes = static_cast<uint8_t*>(bits);
  std::memset(pixelBytes, 0, static_cast<size_t>(stride) * static_cast<size_t>(height));
  SurfaceOwner surface(new (std::nothrow) Surface(bitmap, pixelBytes, header.width, height,
                                                  topDown, header.bitCount, stride));
  if (!surface) {
    ::DeleteObject(bitmap);
    return nullptr;
  }
  if (header.bitCount == 8) std::memcpy(surface->Colors(), info.colors, sizeof(info.colors));
  if (pixels != nullptr) *pixels = pixelBytes;
  return surface;
}

DrawingContextOwner CreateMemoryContext() {
  HDC dc = ::CreateCompatibleDC(nullptr);
  if (dc == nullptr) return nullptr;
  DrawingContextOwner context(new (std::nothrow) DrawingContext(dc));
  if (!context) ::DeleteDC(dc);
  return context;
}

Surface* SelectSurface(DrawingContext& context, Surface& surface) {
  if (surface.selectedInto != nullptr && surface.selectedInto != &context) return nullptr;
  Surface* previous = context.selected;
  if (&surface == &context.Stock()) {
    if (previous != &context.Stock()) previous->selectedInto = nullptr;
    context.SelectStock();
    return previous;
  }
  HGDIOBJ replaced = ::SelectObject(context.Dc(), surface.Bitmap());
  if (replaced == nullptr || replaced == HGDI_ERROR) return nullptr;
  if (previous == &context.Stock()) {
    context.Stock().SetBitmap(static_cast<HBITMAP>(replaced));
  } else {
    previous->selectedInto = nullptr;
  }
  surface.selectedInto = &context;
  context.selected = &surface;
  return previous;
}

int SetColorTable(DrawingContext& context, uint32_t first, uint32_t count,
                  const ColorEntry* entries) {
  if (!context.HoldsSurface() || context.selected->BitsPerPixel() != 8) return 0;
  if (entries == nullptr || first >= 256) return 0;
  const uint32_t settable = std::min<uint32_t>(count, 256 - first);
  const UINT set = ::SetDIBColorTable(context.Dc(), first, settable,
                                      reinterpret_cast<const RGBQUAD*>(entries));
  std::memcpy(context.selected->Colors() + first, entries, set * sizeof(ColorEntry));
  return static_cast<int>(set);
}

bool BlockCopy(DrawingContext& destinationContext, int x, int y, int width, int height,
               const DrawingContext& sourceContext, int sourceX, int sourceY) {
  if (!destinationContext.HoldsSurface() || !sourceContext.HoldsSurface()) return false;
  const Surface& destination = *destinationContext.selected;
  const Surface& source = *sourceContext.selected;
  if (!CanCopy(destination, source) || width < 0 || height < 0) return false;
  // Clipped here against both surfaces: GDI leaves source pixels outside the
  // source bitmap to the driver.
  int64_t shiftX = std::max<int64_t>({0, -int64_t{x}, -int64_t{sourceX}});
  int64_t shiftY = std::max<int64_t>({0, -int64_t{y}, -int64_t{sourceY}});
  int64_t columns = std::min<int64_t>({int64_t{width} - shiftX,
                                       int64_t{destination.Width()} - (int64_t{x} + shiftX),
                                       int64_t{source.Width()} - (int64_t{sourceX} + shiftX)});
  int64_t rows = std::min<int64_t>({int64_t{height} - shiftY,
                                    int64_t{destination.Height()} - (int64_t{y} + shiftY),
                                    int64_t{source.Height()} - (int64_t{sourceY} + shiftY)});
  if (columns <= 0 || rows <= 0) return true;
  const BOOL copied = ::BitBlt(destinationContext.Dc(), static_cast<int>(x + shiftX),
                               static_cast<int>(y + shiftY), static_cast<int>(columns),
                               static_cast<int>(rows), sourceContext.Dc(),
                               static_cast<int>(sourceX + shiftX),
                               static_cast<int>(sourceY + shiftY), SRCCOPY);
  ::GdiFlush();
  return copied != FALSE;
}

bool StretchCopy(DrawingContext& destinationContext, int x, int y, int width, int height,
                 const DrawingContext& sourceContext, int sourceX, int sourceY, int sourceWidth,
                 int sourceHeight) {
  if (!destinationContext.HoldsSurface() || !sourceContext.HoldsSurface()) return false;
  const Surface& destination = *destinationContext.selected;
  const Surface& source = *sourceContext.selected;
  if (!CanCopy(destination, source) || width <= 0 || height <= 0) return false;
  if (sourceWidth == 0 || sourceHeight == 0) return true;
  ::SetStretchBltMode(destinationContext.Dc(), COLORONCOLOR);
  const BOOL copied = ::StretchBlt(destinationContext.Dc(), x, y, width, height,
                                   sourceContext.Dc(), sourceX, sourceY, sourceWidth, sourceHeight,
                                   SRCCOPY);
  ::GdiFlush();
  return copied != FALSE;
}

bool DescribeSelectedSurface(const DrawingContext& context, SurfaceView* view) {
  if (!context.HoldsSurface() || view == nullptr) return false;
  Surface& surface = *context.selected;
  ::GdiFlush();
  *view = {surface.Pixels(), surface.Width(), surface.Height(), surface.Stride(),
           surface.BitsPerPixel(), surface.TopDown(), surface.Colors()};
  return true;
}

}  // namespace zirvo::platform
