// Reductions, expansions and reorderings of sample depth and channel layout.
#include "convert/sample_depth.h"

#include <bit>

#include "convert/kernel_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// 16-bit words to bytes ((w >> kShift) & 0xFF), `count` words in a row.
template <int kShift>
void ReduceWords(uint8_t* out, const uint8_t* in, int32_t count) {
  int32_t j = 0;
#if defined(__SSE2__)
  const __m128i lowByte = _mm_set1_epi16(0xFF);
  for (; j + 16 <= count; j += 16) {
    __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * j));
    __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * j + 16));
    first = _mm_and_si128(_mm_srli_epi16(first, kShift), lowByte);
    second = _mm_and_si128(_mm_srli_epi16(second, kShift), lowByte);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_packus_epi16(first, second));
  }
#endif
  for (; j < count; ++j) out[j] = static_cast<uint8_t>(LoadSample16(in + 2 * j) >> kShift);
}

template <int kShift>
void ReducePixel(uint8_t* out, const uint8_t* pixel) {
  for (int channel = 0; channel < 3; ++channel) {
    out[channel] = static_cast<uint8_t>(LoadSample16(pixel + 2 * channel) >> kShift);
  }
}

// 64-bit pixels to 24-bit: blocks of four pixels reduced together, each
// stored as four bytes of which the next pixel overwrites the fourth; the
// row's last pixel is stored as three bytes so nothing past it is touched.
template <int kShift>
void ReduceQuadWordPixels(uint8_t* out, const uint8_t* in, int32_t width) {
  int32_t j = 0;
#if defined(__SSE2__)
  if constexpr (std::endian::native == std::endian::little) {
    const __m128i lowByte = _mm_set1_epi16(0xFF);
    for (; j + 5 <= width; j += 4) {
      __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8 * j));
      __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8 * j + 16));
      first = _mm_and_si128(_mm_srli_epi16(first, kShift), lowByte);
      second = _mm_and_si128(_mm_srli_epi16(second, kShift), lowByte);
      __m128i bytes = _mm_packus_epi16(first, second);
      for (int k = 0; k < 4; ++k) {
        StoreFourBytes(out + 3 * (j + k), static_cast<uint32_t>(_mm_cvtsi128_si32(bytes)));
        bytes = _mm_srli_si128(bytes, 4);
      }
    }
  }
#endif
  for (; j < width; ++j) ReducePixel<kShift>(out + 3 * j, in + 8 * j);
}

template <int kShift>
int ReduceMono(const RowWalk& walk, bool flipped) {
  if (walk.sourceBytesPerPixel != 2 || walk.destinationBytesPerPixel != 1) return 0;
  return ForEachRow(walk, flipped, [](uint8_t* out, const uint8_t* in, int32_t width) {
    ReduceWords<kShift>(out, in, width);
  });
}

template <int kShift>
int ReduceBgr(const RowWalk& walk, bool flipped) {
  int step = walk.sourceBytesPerPixel;
  if (walk.destinationBytesPerPixel != 3) return 0;
  if (step == 6) {
    // Every word of a 48-bit row is a channel: the row is one run of words.
    return ForEachRow(walk, flipped, [](uint8_t* out, const uint8_t* in, int32_t width) {
      ReduceWords<kShift>(out, in, 3 * width);
    });
  }
  if (step != 8) return 0;
  return ForEachRow(walk, flipped, [](uint8_t* out, const uint8_t* in, int32_t width) {
    ReduceQuadWordPixels<kShift>(out, in, width);
  });
}

// Shifts `count` words left in place or into `out`; with kOpaqueFourth every
// fourth word (word 3 of 64-bit pixels) becomes 0xFFFF instead.
template <int kShift, bool kOpaqueFourth>
void ShiftWords(uint8_t* out, const uint8_t* in, int32_t count) {
  int32_t j = 0;
#if defined(__SSE2__)
  const __m128i opaque = kOpaqueFourth ? _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0)
                                       : _mm_setzero_si128();
  for (; j + 8 <= count; j += 8) {
    __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * j));
    words = _mm_or_si128(_mm_slli_epi16(words, kShift), opaque);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * j), words);
  }
#endif
  for (; j < count; ++j) {
    bool fourth = kOpaqueFourth && (j & 3) == 3;
    StoreSample16(out + 2 * j, fourth ? 0xFFFFu : uint32_t{LoadSample16(in + 2 * j)} << kShift);
  }
}

void SwapShiftPixel(uint8_t* out, const uint8_t* in, bool opaque) {
  uint32_t blue = LoadSample16(in);
  uint32_t green = LoadSample16(in + 2);
  uint32_t red = LoadSample16(in + 4);
  StoreSample16(out, red << 6);
  StoreSample16(out + 2, green << 6);
  StoreSample16(out + 4, blue << 6);
  if (opaque) StoreSample16(out + 6, 0xFFFF);
}

void SwapShiftRow64(uint8_t* out, const uint8_t* in, int32_t width) {
  int32_t j = 0;
#if defined(__SSE2__)
  const __m128i opaque = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  for (; j + 2 <= width; j += 2) {
    __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8 * j));
    words = _mm_shufflelo_epi16(words, _MM_SHUFFLE(3, 0, 1, 2));
    words = _mm_shufflehi_epi16(words, _MM_SHUFFLE(3, 0, 1, 2));
    words = _mm_or_si128(_mm_slli_epi16(words, 6), opaque);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * j), words);
  }
#endif
  for (; j < width; ++j) SwapShiftPixel(out + 8 * j, in + 8 * j, true);
}

int ExpandBgr(const RowWalk& walk, int bytesPerPixel, bool swap) {
  if (walk.sourceBytesPerPixel != bytesPerPixel || walk.destinationBytesPerPixel != bytesPerPixel) {
    return 0;
  }
  if (!swap && bytesPerPixel == 6) {
    return ForEachRow(walk, false, [](uint8_t* out, const uint8_t* in, int32_t width) {
      ShiftWords<6, false>(out, in, 3 * width);
    });
  }
  if (!swap) {
    return ForEachRow(walk, false, [](uint8_t* out, const uint8_t* in, int32_t width) {
      ShiftWords<6, true>(out, in, 4 * width);
    });
  }
  if (bytesPerPixel == 8) return ForEachRow(walk, false, SwapShiftRow64);
  return ForEachRow(walk, false, [](uint8_t* out, const uint8_t* in, int32_t width) {
    for (int32_t j = 0; j < width; ++j) SwapShiftPixel(out + 6 * j, in + 6 * j, false);
  });
}

void InvertAlphaRow(uint8_t* out, const uint8_t* in, int32_t width) {
  int32_t j = 0;
#if defined(__SSE2__)
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; j + 4 <= width; j += 4) {
    __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * j));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * j), _mm_xor_si128(pixels, alpha));
  }
#endif
  for (; j < width; ++j) {
    uint8_t inverted = static_cast<uint8_t>(255 - in[4 * j + 3]);
    out[4 * j] = in[4 * j];
    out[4 * j + 1] = in[4 * j + 1];
    out[4 * j + 2] = in[4 * j + 2];
    out[4 * j + 3] = inverted;
  }
}

// Bytes 0 and 2 of every 32-bit pixel exchanged, byte 3 kept.
void SwapRow32(uint8_t* out, const uint8_t* in, int32_t width) {
  int32_t j = 0;
#if defined(__SSE2__)
  const __m128i green = _mm_set1_epi32(0xFF00);
  const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i low = _mm_set1_epi32(0xFF);
  for (; j + 4 <= width; j += 4) {
    __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * j));
    // The fourth byte is the destination's own, as in the scalar loop.
    __m128i existing = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + 4 * j));
    __m128i kept = _mm_or_si128(_mm_and_si128(pixels, green), _mm_and_si128(existing, fourth));
    __m128i blue = _mm_slli_epi32(_mm_and_si128(pixels, low), 16);
    __m128i red = _mm_and_si128(_mm_srli_epi32(pixels, 16), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * j),
                     _mm_or_si128(kept, _mm_or_si128(blue, red)));
  }
#endif
  for (; j < width; ++j) {
    uint8_t blue = in[4 * j];
    uint8_t red = in[4 * j + 2];
    out[4 * j + 1] = in[4 * j + 1];
    out[4 * j] = red;
    out[4 * j + 2] = blue;
  }
}

void SwapRow24(uint8_t* out, const uint8_t* in, int32_t width) {
  for (int32_t j = 0; j < width; ++j) {
    uint8_t blue = in[3 * j];
    uint8_t red = in[3 * j + 2];
    out[3 * j + 1] = in[3 * j + 1];
    out[3 * j] = red;
    out[3 * j + 2] = blue;
  }
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
  return ForEachRow(walk, false, ShiftWords<4, false>);
}

ZIRVO_RECTANGLE_KERNEL(ExpandBgr48Shift6) {
  ZIRVO_ROW_WALK;
  return ExpandBgr(walk, 6, false);
}

ZIRVO_RECTANGLE_KERNEL(ExpandBgr64Shift6) {
  ZIRVO_ROW_WALK;
  return ExpandBgr(walk, 8, false);
}

ZIRVO_RECTANGLE_KERNEL(ExpandSwapRgb48Shift6) {
  ZIRVO_ROW_WALK;
  return ExpandBgr(walk, 6, true);
}

ZIRVO_RECTANGLE_KERNEL(ExpandSwapRgb64Shift6) {
  ZIRVO_ROW_WALK;
  return ExpandBgr(walk, 8, true);
}

ZIRVO_RECTANGLE_KERNEL(SwapBgrToRgb24) {
  ZIRVO_ROW_WALK;
  int step = sourceBytesPerPixel;
  if ((step != 3 && step != 4) || destinationBytesPerPixel != step) return 0;
  return ForEachRow(walk, false, step == 4 ? SwapRow32 : SwapRow24);
}

ZIRVO_RECTANGLE_KERNEL(CopyBgra32InvertAlpha) {
  ZIRVO_ROW_WALK;
  if (sourceBytesPerPixel != 4 || destinationBytesPerPixel != 4) return 0;
  return ForEachRow(walk, false, InvertAlphaRow);
}

#undef ZIRVO_RECTANGLE_KERNEL
#undef ZIRVO_ROW_WALK

}  // namespace zirvo
