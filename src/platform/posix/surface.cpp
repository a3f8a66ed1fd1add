// Drawing surfaces in plain memory: bitmaps, memory contexts, block and
// stretch copies with GDI's orientation and clipping.
#include "platform/surface.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace zirvo::platform {

class Surface {
 public:
  Surface(int32_t width, int32_t height, bool topDown, int32_t bitsPerPixel,
          int32_t stride)
      : width_(width), height_(height), topDown_(topDown),
        bitsPerPixel_(bitsPerPixel), stride_(stride) {}

  bool Allocate() {
    try {
      pixels_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height_), 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  uint8_t* Pixels() { return pixels_.data(); }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t Stride() const { return stride_; }
  int32_t BitsPerPixel() const { return bitsPerPixel_; }
  bool TopDown() const { return topDown_; }
  ColorEntry* Colors() { return colors_; }

  // Memory row of picture row `row`.
  uint8_t* PictureRow(int32_t row) {
    int32_t memoryRow = topDown_ ? row : height_ - 1 - row;
    return pixels_.data() + static_cast<size_t>(memoryRow) * static_cast<size_t>(stride_);
  }

  DrawingContext* selectedInto = nullptr;

 private:
  int32_t width_;
  int32_t height_;
  bool topDown_;
  int32_t bitsPerPixel_;
  int32_t stride_;
  std::vector<uint8_t> pixels_;
  ColorEntry colors_[256] = {};
};

class DrawingContext {
 public:
  DrawingContext() : stock_(1, 1, false, 1, 4) {}
  Surface& Stock() { return stock_; }
  bool HoldsSurface() const { return selected != &stock_; }

  Surface* selected = &stock_;

 private:
  Surface stock_;
};

void SurfaceDeleter::operator()(Surface* surface) const noexcept {
  if (surface->selectedInto != nullptr) {
    DrawingContext* context = surface->selectedInto;
    context->selected = &context->Stock();
  }
  delete surface;
}

void DrawingContextDeleter::operator()(DrawingContext* context) const noexcept {
  if (context->HoldsSurface()) context->selected->selectedInto = nullptr;
  delete context;
}

namespace {

bool IsSurfaceDepth(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Row length rounded up to 4 bytes; 0 when it does not fit 32 bits.
int32_t StrideFor(int32_t width, int32_t bits) {
  int64_t bytes = (static_cast<int64_t>(width) * (bits / 8) + 3) & ~int64_t{3};
  return bytes > INT32_MAX ? 0 : static_cast<int32_t>(bytes);
}

struct Bgr {
  uint8_t blue, green, red;
};

Bgr ReadPixel(Surface& surface, const uint8_t* row, int32_t column) {
  switch (surface.BitsPerPixel()) {
    case 8: {
      const ColorEntry& entry = surface.Colors()[row[column]];
      return {entry.blue, entry.green, entry.red};
    }
    case 24: {
      const uint8_t* pixel = row + column * 3;
      return {pixel[0], pixel[1], pixel[2]};
    }
    default: {
      const uint8_t* pixel = row + column * 4;
      return {pixel[0], pixel[1], pixel[2]};
    }
  }
}

void WritePixel(int32_t bits, uint8_t* row, int32_t column, Bgr value) {
  uint8_t* pixel = row + column * (bits / 8);
  pixel[0] = value.blue;
  pixel[1] = value.green;
  pixel[2] = value.red;
  if (bits == 32) pixel[3] = 0;
}

bool CanCopy(const Surface& destination, const Surface& source) {
  if (!IsSurfaceDepth(destination.BitsPerPixel()) || !IsSurfaceDepth(source.BitsPerPixel())) {
    return false;
  }
  if (destination.BitsPerPixel() == source.BitsPerPixel()) return true;
  bool colourDestination = destination.BitsPerPixel() == 24 || destination.BitsPerPixel() == 32;
  return colourDestination && source.BitsPerPixel() != 16;
}

// Copies `count` pixels, converting when the depths differ. The source
// columns are given by `columns` (null: consecutive from sourceColumn).
void CopyPixels(Surface& destination, uint8_t* destinationRow, int32_t column,
                Surface& source, const uint8_t* sourceRow, int32_t sourceColumn,
                int32_t count, const int32_t* columns) {
  int32_t bits = destination.BitsPerPixel();
  int32_t bytes = bits / 8;
  if (bits == source.BitsPerPixel()) {
    if (columns == nullptr) {
      std::memmove(destinationRow + column * bytes, sourceRow + sourceColumn * bytes,
                   static_cast<size_t>(count) * bytes);
      return;
    }
    for (int32_t i = 0; i < count; ++i) {
      std::memcpy(destinationRow + (column + i) * bytes, sourceRow + columns[i] * bytes, bytes);
    }
    return;
  }
  for (int32_t i = 0; i < count; ++i) {
    int32_t from = columns == nullptr ? sourceColumn + i : columns[i];
    WritePixel(bits, destinationRow, column + i, ReadPixel(source, sourceRow, from));
  }
}

}  // namespace

SurfaceOwner CreateSurface(DrawingContext*, const BitmapInfo& info, uint32_t,
                           uint8_t** pixels, void* section, uint32_t) {
  if (pixels != nullptr) *pixels = nullptr;
  const BitmapHeader& header = info.header;
  if (section != nullptr || header.compression != kCompressionRgb ||
      !IsSurfaceDepth(header.bitCount) || header.width <= 0 || header.height == 0 ||
      header.height == INT32_MIN) {
    return nullptr;
  }
  int32_t stride = StrideFor(header.width, header.bitCount);
  if (stride == 0) return nullptr;
  bool topDown = header.height < 0;
  int32_t height = topDown ? -header.height : header.height;
  SurfaceOwner surface(new (std::nothrow) Surface(header.width, height, topDown,
                                                  header.bitCount, stride));
  if (!surface || !surface->Allocate()) return nullptr;
  if (header.bitCount == 8) std::memcpy(surface->Colors(), info.colors, sizeof(info.colors));
  if (pixels != nullptr) *pixels = surface->Pixels();
  return surface;
}

DrawingContextOwner CreateMemoryContext() {
  return DrawingContextOwner(new (std::nothrow) DrawingContext());
}

Surface* SelectSurface(DrawingContext& context, Surface& surface) {
  if (surface.selectedInto != nullptr && surface.selectedInto != &context) return nullptr;
  if (&surface == &context.Stock()) {
    Surface* previous = context.selected;
    if (previous != &context.Stock()) previous->selectedInto = nullptr;
    context.selected = &context.Stock();
    return previous;
  }
  Surface* previous = context.selected;
  if (previous != &context.Stock()) previous->selectedInto = nullptr;
  surface.selectedInto = &context;
  context.selected = &surface;
  return previous;
}

int SetColorTable(DrawingContext& context, uint32_t first, uint32_t count,
                  const ColorEntry* entries) {
  if (!context.HoldsSurface() || context.selected->BitsPerPixel() != 8) return 0;
  if (entries == nullptr || first >= 256) return 0;
  uint32_t settable = std::min<uint32_t>(count, 256 - first);
  std::memcpy(context.selected->Colors() + first, entries, settable * sizeof(ColorEntry));
  return static_cast<int>(settable);
}

bool BlockCopy(DrawingContext& destinationContext, int x, int y, int width, int height,
               const DrawingContext& sourceContext, int sourceX, int sourceY) {
  if (!destinationContext.HoldsSurface() || !sourceContext.HoldsSurface()) return false;
  Surface& destination = *destinationContext.selected;
  Surface& source = *sourceContext.selected;
  if (!CanCopy(destination, source) || width < 0 || height < 0) return false;
  // Clip against both surfaces, moving both origins together.
  int64_t shiftX = std::max<int64_t>({0, -int64_t{x}, -int64_t{sourceX}});
  int64_t shiftY = std::max<int64_t>({0, -int64_t{y}, -int64_t{sourceY}});
  int64_t columns = std::min<int64_t>({int64_t{width} - shiftX,
                                       int64_t{destination.Width()} - (int64_t{x} + shiftX),
                                       int64_t{source.Width()} - (int64_t{sourceX} + shiftX)});
  int64_t rows = std::min<int64_t>({int64_t{height} - shiftY,
                                    int64_t{destination.Height()} - (int64_t{y} + shiftY),
                                    int64_t{source.Height()} - (int64_t{sourceY} + shiftY)});
  if (columns <= 0 || rows <= 0) return true;
  int32_t toX = static_cast<int32_t>(x + shiftX);
  int32_t toY = static_cast<int32_t>(y + shiftY);
  int32_t fromX = static_cast<int32_t>(sourceX + shiftX);
  int32_t fromY = static_cast<int32_t>(sourceY + shiftY);
  // Within one surface, rows go in the order that never reads a row already
  // overwritten.
  bool backwards = &destination == &source && toY > fromY;
  for (int32_t step = 0; step < rows; ++step) {
    int32_t row = backwards ? static_cast<int32_t>(rows) - 1 - step : step;
    CopyPixels(destination, destination.PictureRow(toY + row), toX, source,
               source.PictureRow(fromY + row), fromX, static_cast<int32_t>(columns), nullptr);
  }
  return true;
}

namespace {

// Nearest source coordinate for each destination step, or -1 outside.
std::vector<int32_t> MapAxis(int32_t count, int32_t start, int32_t extent, int32_t limit) {
  std::vector<int32_t> map(static_cast<size_t>(count));
  int64_t magnitude = extent < 0 ? -int64_t{extent} : extent;
  for (int32_t i = 0; i < count; ++i) {
    int64_t offset = int64_t{i} * magnitude / count;
    int64_t coordinate = extent < 0 ? int64_t{start} - offset : int64_t{start} + offset;
    map[static_cast<size_t>(i)] =
        coordinate < 0 || coordinate >= limit ? -1 : static_cast<int32_t>(coordinate);
  }
  return map;
}

}  // namespace

bool StretchCopy(DrawingContext& destinationContext, int x, int y, int width, int height,
                 const DrawingContext& sourceContext, int sourceX, int sourceY,
                 int sourceWidth, int sourceHeight) {
  if (!destinationContext.HoldsSurface() || !sourceContext.HoldsSurface()) return false;
  Surface& destination = *destinationContext.selected;
  Surface& source = *sourceContext.selected;
  if (!CanCopy(destination, source) || width <= 0 || height <= 0) return false;
  if (sourceWidth == 0 || sourceHeight == 0) return true;
  std::vector<int32_t> columnMap, rowMap;
  try {
    columnMap = MapAxis(width, sourceX, sourceWidth, source.Width());
    rowMap = MapAxis(height, sourceY, sourceHeight, source.Height());
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::vector<int32_t> run;
  for (int32_t i = 0; i < height; ++i) {
    int64_t toRow = int64_t{y} + i;
    int32_t fromRow = rowMap[static_cast<size_t>(i)];
    if (toRow < 0 || toRow >= destination.Height() || fromRow < 0) continue;
    uint8_t* destinationRow = destination.PictureRow(static_cast<int32_t>(toRow));
    const uint8_t* sourceRow = source.PictureRow(fromRow);
    for (int32_t j = 0; j < width; ++j) {
      int64_t toColumn = int64_t{x} + j;
      int32_t fromColumn = columnMap[static_cast<size_t>(j)];
      if (toColumn < 0 || toColumn >= destination.Width() || fromColumn < 0) continue;
      CopyPixels(destination, destinationRow, static_cast<int32_t>(toColumn), source,
                 sourceRow, 0, 1, &fromColumn);
    }
  }
  return true;
}

bool DescribeSelectedSurface(const DrawingContext& context, SurfaceView* view) {
  if (!context.HoldsSurface() || view == nullptr) return false;
  Surface& surface = *context.selected;
  *view = {surface.Pixels(), surface.Width(), surface.Height(), surface.Stride(),
           surface.BitsPerPixel(), surface.TopDown(), surface.Colors()};
  return true;
}

}  // namespace zirvo::platform
