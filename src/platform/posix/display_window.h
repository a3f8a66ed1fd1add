// The windows behind display-window handles on Linux: off-screen pictures
// and X11 windows share this interface.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/surface.h"
#include "platform/window.h"

namespace zirvo::platform {

// Each window serialises its own calls: the application's thread creates,
// moves and destroys it while a capture thread draws into it.
class DisplayWindow {
 public:
  virtual ~DisplayWindow() = default;
  virtual bool Show(bool shown) = 0;
  virtual bool Visible() = 0;
  virtual bool ClientSize(int32_t* width, int32_t* height) = 0;
  virtual bool Position(int32_t* x, int32_t* y) = 0;
  virtual bool Resize(int32_t width, int32_t height) = 0;
  // Copies the surface to the client origin, clipped to the client area.
  virtual bool Present(const SurfaceView& source, RowPlacement placement) = 0;
  // The client area as blue, green, red, 0 words, rows from the top.
  virtual bool Read(std::vector<uint32_t>* pixels, int32_t* width, int32_t* height) = 0;
  // Takes the window off the screen at once; drawing fails from then on,
  // also through contexts still held.
  virtual void Close() = 0;
  // The X11 id, 0 for off-screen windows.
  virtual unsigned long Xid() const { return 0; }
};

// Surfaces the windows can show: 8 bits through the colour table, 24 and 32.
bool IsPresentable(const SurfaceView& source);

// The memory row of `source` that `placement` puts at window row `row`.
const uint8_t* PictureRow(const SurfaceView& source, RowPlacement placement, int32_t row);

// `count` pixels of one row at `bitsPerPixel` (8 through `colors`, 24 or 32)
// as blue | green << 8 | red << 16.
void RowToBgrx(int bitsPerPixel, const ColorEntry* colors, const uint8_t* in, int32_t count,
               uint32_t* out);

// `count` pixels of the picture row that `placement` puts at window row `row`.
inline void PictureRowToBgrx(const SurfaceView& source, RowPlacement placement, int32_t row,
                             int32_t count, uint32_t* out) {
  RowToBgrx(source.bitsPerPixel, source.colors, PictureRow(source, placement, row), count, out);
}

}  // namespace zirvo::platform
