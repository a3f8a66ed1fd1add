// Drawing surfaces: device-independent bitmaps, the memory contexts they are
// selected into, and the block and stretch copies between them.
#pragma once

#include <cstdint>
#include <memory>

namespace zirvo::platform {

struct ColorEntry {
  uint8_t blue;
  uint8_t green;
  uint8_t red;
  uint8_t reserved;
};

// Laid out as a Win32 BITMAPINFOHEADER. A positive height is a bottom-up
// bitmap (memory row 0 is the bottom row of the picture), a negative one
// top-down.
struct BitmapHeader {
  uint32_t size;
  int32_t width;
  int32_t height;
  uint16_t planes;
  uint16_t bitCount;
  uint32_t compression;
  uint32_t sizeImage;
  int32_t xPixelsPerMeter;
  int32_t yPixelsPerMeter;
  uint32_t colorsUsed;
  uint32_t colorsImportant;
};
static_assert(sizeof(BitmapHeader) == 40);

struct BitmapInfo {
  BitmapHeader header;
  ColorEntry colors[256];
};

inline constexpr uint32_t kBitmapHeaderSize = 40;
inline constexpr uint32_t kCompressionRgb = 0;
inline constexpr uint32_t kDibRgbColors = 0;

class Surface;
class DrawingContext;

struct SurfaceDeleter {
  void operator()(Surface* surface) const noexcept;
};
struct DrawingContextDeleter {
  void operator()(DrawingContext* context) const noexcept;
};
// Deleting a surface still selected into a context puts the context's
// default bitmap back first; deleting a context releases its selection.
using SurfaceOwner = std::unique_ptr<Surface, SurfaceDeleter>;
using DrawingContextOwner = std::unique_ptr<DrawingContext, DrawingContextDeleter>;

// CreateDIBSection: uncompressed 8, 16, 24 or 32 bits per pixel, rows of
// (width x bytes per pixel) rounded up to 4 bytes, pixels zeroed, the colour
// table taken from `info` for 8 bits. `reference` and `usage` are accepted
// for the Win32 shape only. File-mapping sections are not supported here
// (a non-null `section` is refused). Null on refusal; `*pixels` is then null.
SurfaceOwner CreateSurface(DrawingContext* reference, const BitmapInfo& info,
                           uint32_t usage, uint8_t** pixels, void* section,
                           uint32_t offset);

// CreateCompatibleDC(NULL): holds a 1 x 1 default bitmap until a surface is
// selected into it.
DrawingContextOwner CreateMemoryContext();

// SelectObject: returns what the context held before, or null when the
// surface is already selected into another context.
Surface* SelectSurface(DrawingContext& context, Surface& surface);

// SetDIBColorTable on the context's selected 8-bit surface; returns the
// number of entries set (0 for other depths or a range outside 0..255).
int SetColorTable(DrawingContext& context, uint32_t first, uint32_t count,
                  const ColorEntry* entries);

// BitBlt with SRCCOPY. Coordinates are in picture orientation (row 0 at the
// top). Copies between equal depths, and from 8 (through its colour table),
// 24 or 32 bits into 24 or 32 bits. The rectangle is clipped to both
// surfaces. False for a context without a surface or formats it cannot copy.
bool BlockCopy(DrawingContext& destination, int x, int y, int width, int height,
               const DrawingContext& source, int sourceX, int sourceY);

// StretchBlt with SRCCOPY, nearest neighbour, same formats as BlockCopy. A
// negative source width or height walks the source backwards from
// (sourceX, sourceY), so (0, h - 1, w, -h) turns the picture upside down.
// The destination extents must be positive.
bool StretchCopy(DrawingContext& destination, int x, int y, int width,
                 int height, const DrawingContext& source, int sourceX,
                 int sourceY, int sourceWidth, int sourceHeight);

// The pixels of a context's selected surface, for code that draws it.
struct SurfaceView {
  uint8_t* pixels;
  int32_t width;
  int32_t height;  // always positive
  int32_t stride;
  int32_t bitsPerPixel;
  bool topDown;
  const ColorEntry* colors;  // 256 entries
};

// False when the context holds only its default bitmap.
bool DescribeSelectedSurface(const DrawingContext& context, SurfaceView* view);

}  // namespace zirvo::platform
