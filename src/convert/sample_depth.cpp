// Reductions, expansions and reorderings of sample depth and channel layout.
#include "convert/sample_depth.h"

#include "convert/kernel_rows.h"

namespace zirvo {

namespace {

struct RowWalk {
  uint8_t* destination;
  const uint8_t* source;
  const KernelRect& rect;
  int destinationX;
  int destinationY;
  int destinationBytesPerPixel;
  int sourceBytesPerPixel;
  int destinationStride;
  int sourceStride;
};

// Runs `convertRow(out, in, width)` for each rectangle row; flipped takes
// the source rows bottom-up.
template <typename ConvertRow>
int ForEachRow(const RowWalk& walk, bool flipped, ConvertRow convertRow) {
  const KernelRect& rect = walk.rect;
  for (int32_t i = 0; i < rect.Height(); ++i) {
    int32_t row = flipped ? rect.bottom - 1 - i : rect.top + i;
    convertRow(PixelAt(walk.destination, walk.destinationY + i, walk.destinationStride,
                       walk.destinationX, walk.destinationBytesPerPixel),
               PixelAt(walk.source, row, walk.sourceStride, rect.left, walk.sourceBytesPerPixel),
               rect.Width());
  }
  return 1;
}

template <int kShift>
int ReduceMono(const RowWalk& walk, bool flipped) {
  if (walk.sourceBytesPerPixel != 2 || walk.destinationBytesPerPixel != 1) return 0;
  return ForEachRow(walk, flipped, [](uint8_t* out, const uint8_t* in, int32_t width) {
    for (int32_t j = 0; j < width; ++j) {
      out[j] = static_cast<uint8_t>(LoadSample16(in + 2 * j) >> kShift);
    }
  });
}

template <int kShift>
int ReduceBgr(const RowWalk& walk, bool flipped) {
  int step = walk.sourceBytesPerPixel;
  if ((step != 6 && step != 8) || walk.destinationBytesPerPixel != 3) return 0;
  return ForEachRow(walk, flipped, [step](uint8_t* out, const uint8_t* in, int32_t width) {
    for (int32_t j = 0; j < width; ++j) {
      const uint8_t* pixel = in + static_cast<ptrdiff_t>(j) * step;
      for (int channel = 0; channel < 3; ++channel) {
        out[3 * j + channel] = static_cast<uint8_t>(LoadSample16(pixel + 2 * channel) >> kShift);
      }
    }
  });
}

// Words 0-2 shifted left by six, optionally swapped, word 3 opaque for 64-bit.
template <bool kSwap, bool kOpaque>
int ExpandBgr(const RowWalk& walk, int bytesPerPixel) {
  if (walk.sourceBytesPerPixel != bytesPerPixel || walk.destinationBytesPerPixel != bytesPerPixel) {
    return 0;
  }
  return ForEachRow(walk, false, [bytesPerPixel](uint8_t* out, const uint8_t* in, int32_t width) {
    for (int32_t j = 0; j < width; ++j) {
      const uint8_t* pixel = in + static_cast<ptrdiff_t>(j) * bytesPerPixel;
      uint8_t* target = out + static_cast<ptrdiff_t>(j) * bytesPerPixel;
      uint32_t blue = LoadSample16(pixel);
      uint32_t green = LoadSample16(pixel + 2);
      uint32_t red = LoadSample16(pixel + 4);
      StoreSample16(target, (kSwap ? red : blue) << 6);
      StoreSample16(target + 2, green << 6);
      StoreSample16(target + 4, (kSwap ? blue : red) << 6);
      if constexpr (kOpaque) StoreSample16(target + 6, 0xFFFF);
    }
  });
}

}  // namespace

#define ZIRVO_ROW_WALK                                                                      \
  RowWalk walk {                                                                            \
    destination, source, sourceRect, destinationX, destinationY, destinationBytesPerPixel,  \
        sourceBytesPerPixel, destinationStride, sourceStride                                \
  }

#define ZIRVO_RECTANGLE_KERNEL(name)                                                        \
  int name(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,       \
           int destinationX, int destinationY, int destinationBytesPerPixel,                \
           int sourceBytesPerPixel, int destinationStride, int sourceStride, void*, void*)

ZIRVO_RECTANGLE_KERNEL(ReduceMono16Shift4) {
  ZIRVO_ROW_WALK;
  return ReduceMono<4>(walk, false);
}

ZIRVO_RECTANGLE_KERNEL(ReduceMono16Shift2) {
  ZIRVO_ROW_WALK;
  return ReduceMono<2>(walk, true);
}

ZIRVO_RECTANGLE_KERNEL(ReduceBgr16Shift4) {
  ZIRVO_ROW_WALK;
  return ReduceBgr<4>(walk, false);
}

ZIRVO_RECTANGLE_KERNEL(ReduceBgr16Shift2) {
  ZIRVO_ROW_WALK;
  return ReduceBgr<2>(walk, true);
}

ZIRVO_RECTANGLE_KERNEL(ExpandMono16Shift4) {
  ZIRVO_ROW_WALK;
  if (sourceBytesPerPixel != 2 || destinationBytesPerPixel != 2) return 0;
  return ForEachRow(walk, false, [](uint8_t* out, const uint8_t* in, int32_t width) {
    for (int32_t j = 0; j < width; ++j) StoreSample16(out + 2 * j, LoadSample16(in + 2 * j) << 4);
  });
}

ZIRVO_RECTANGLE_KERNEL(ExpandBgr48Shift6) {
  ZIRVO_ROW_WALK;
  return ExpandBgr<false, false>(walk, 6);
}

ZIRVO_RECTANGLE_KERNEL(ExpandBgr64Shift6) {
  ZIRVO_ROW_WALK;
  return ExpandBgr<false, true>(walk, 8);
}

ZIRVO_RECTANGLE_KERNEL(ExpandSwapRgb48Shift6) {
  ZIRVO_ROW_WALK;
  return ExpandBgr<true, false>(walk, 6);
}

ZIRVO_RECTANGLE_KERNEL(ExpandSwapRgb64Shift6) {
  ZIRVO_ROW_WALK;
  return ExpandBgr<true, true>(walk, 8);
}

ZIRVO_RECTANGLE_KERNEL(SwapBgrToRgb24) {
  ZIRVO_ROW_WALK;
  int step = sourceBytesPerPixel;
  if ((step != 3 && step != 4) || destinationBytesPerPixel != step) return 0;
  return ForEachRow(walk, false, [step](uint8_t* out, const uint8_t* in, int32_t width) {
    for (int32_t j = 0; j < width; ++j) {
      const uint8_t* pixel = in + static_cast<ptrdiff_t>(j) * step;
      uint8_t* target = out + static_cast<ptrdiff_t>(j) * step;
      uint8_t blue = pixel[0];
      uint8_t green = pixel[1];
      uint8_t red = pixel[2];
      target[0] = red;
      target[1] = green;
      target[2] = blue;
    }
  });
}

ZIRVO_RECTANGLE_KERNEL(CopyBgra32InvertAlpha) {
  ZIRVO_ROW_WALK;
  if (sourceBytesPerPixel != 4 || destinationBytesPerPixel != 4) return 0;
  return ForEachRow(walk, false, [](uint8_t* out, const uint8_t* in, int32_t width) {
    for (int32_t j = 0; j < 4 * width; j += 4) {
      uint8_t alpha = in[j + 3];
      out[j] = in[j];
      out[j + 1] = in[j + 1];
      out[j + 2] = in[j + 2];
      out[j + 3] = static_cast<uint8_t>(255 - alpha);
    }
  });
}

#undef ZIRVO_RECTANGLE_KERNEL
#undef ZIRVO_ROW_WALK

}  // namespace zirvo
