// Straightforward readings of the Bayer kernels, written from the text of their rules.
#include "support/bayer_reference.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace zirvo::testing {
namespace {

int ChannelBytes(int bytesPerPixel) {
  return (bytesPerPixel == 2 || bytesPerPixel == 6 || bytesPerPixel == 8) ? 2 : 1;
}

enum Colour { kGreen, kBlue, kRed };

// The phase table by BayerMode: [mode][row phase][column phase].
constexpr Colour kPhaseTable[4][2][2] = {
    {{kGreen, kBlue}, {kRed, kGreen}},
    {{kRed, kGreen}, {kGreen, kBlue}},
    {{kBlue, kGreen}, {kGreen, kRed}},
    {{kGreen, kRed}, {kBlue, kGreen}},
};

struct Offset {
  int dx;
  int dy;
};

// Samples of one colour: weight 9, the two of weight 3, weight 1.
struct Quad {
  Offset nine;
  Offset threeA;
  Offset threeB;
  Offset one;
};

struct CaseRow {
  Offset greenA;
  Offset greenB;
  Quad red;
  Quad blue;
};

constexpr CaseRow kGreenRedInColumn = {{-1, -1}, {0, 0},
                                       {{0, -1}, {-2, -1}, {0, +1}, {-2, +1}},
                                       {{-1, 0}, {+1, 0}, {-1, -2}, {+1, -2}}};
constexpr CaseRow kGreenRedInRow = {{-1, -1}, {0, 0},
                                    {{-1, 0}, {+1, 0}, {-1, -2}, {+1, -2}},
                                    {{0, -1}, {-2, -1}, {0, +1}, {-2, +1}}};
constexpr CaseRow kRedCase = {{-1, 0}, {0, -1},
                              {{0, 0}, {-2, 0}, {0, -2}, {-2, -2}},
                              {{-1, -1}, {+1, -1}, {-1, +1}, {+1, +1}}};
constexpr CaseRow kBlueCase = {{-1, 0}, {0, -1},
                               {{-1, -1}, {+1, -1}, {-1, +1}, {+1, +1}},
                               {{0, 0}, {-2, 0}, {0, -2}, {-2, -2}}};

const CaseRow& CaseFor(int mode, int rowPhase, int columnPhase) {
  const Colour here = kPhaseTable[mode & 3][rowPhase][columnPhase];
  if (here == kRed) return kRedCase;
  if (here == kBlue) return kBlueCase;
  return kPhaseTable[mode & 3][rowPhase ^ 1][columnPhase] == kRed ? kGreenRedInColumn
                                                                  : kGreenRedInRow;
}

int32_t Factor(int32_t gain) {
  return static_cast<int32_t>(std::trunc(std::clamp(gain, 0, 1600) * 1.28));
}

// Neighbour position inside [0, size) by the border rule (and folding below 4).
int Substitute(int position, int offset, int size) {
  int p = position + offset;
  if (p < 0) p += 4;
  if (p >= size) p -= 4;
  while (p < 0) p += 2;
  while (p >= size) p -= 2;
  return p < 0 ? position : p;
}

struct Estimate {
  int32_t green;
  int32_t redSum;
  int32_t blueSum;
};

// (column, row) relative to the rectangle; `substitute` decides neighbours.
template <typename Substitution>
Estimate EstimateAt(const TestImage& source, const KernelRect& rect, int column, int row,
                    const CaseRow& which, Substitution substitute) {
  auto s = [&](Offset o) {
    const int x = rect.left + substitute(column, o.dx, rect.Width());
    const int y = rect.top + substitute(row, o.dy, rect.Height());
    return static_cast<int32_t>(source.Sample(x, y));
  };
  auto quad = [&](const Quad& q) {
    return 9 * s(q.nine) + 3 * s(q.threeA) + 3 * s(q.threeB) + s(q.one);
  };
  return {(s(which.greenA) + s(which.greenB)) >> 1, quad(which.red), quad(which.blue)};
}

int NoSubstitution(int position, int offset, int /*size*/) { return position + offset; }

void WritePixel(TestImage& destination, int x, int y, const Estimate& e, const BayerBlock& block,
                int32_t maximum) {
  const int64_t red = (static_cast<int64_t>(e.redSum) * Factor(block.gainRed)) >> 11;
  const int64_t blue = (static_cast<int64_t>(e.blueSum) * Factor(block.gainBlue)) >> 11;
  const uint32_t values[3] = {static_cast<uint32_t>(std::min<int64_t>(blue, maximum)),
                              static_cast<uint32_t>(std::min<int32_t>(e.green, maximum)),
                              static_cast<uint32_t>(std::min<int64_t>(red, maximum))};
  const int channelBytes = ChannelBytes(destination.bytesPerPixel);
  uint8_t* pixel = destination.Bits() + y * destination.stride + x * destination.bytesPerPixel;
  for (int c = 0; c < 3; ++c) {
    if (channelBytes == 1) {
      pixel[c] = static_cast<uint8_t>(values[c]);
    } else {
      const auto word = static_cast<uint16_t>(values[c]);
      std::memcpy(pixel + 2 * c, &word, 2);
    }
  }
}

int32_t MaximumFor(const TestImage& source) { return source.bytesPerPixel == 1 ? 255 : 4095; }

}  // namespace

TestImage::TestImage(int w, int h, int bpp, int extraStride, uint8_t fill)
    : width(w), height(h), bytesPerPixel(bpp), stride((w * bpp + 3) / 4 * 4 + extraStride) {
  storage.assign(static_cast<size_t>(stride) * std::max(h, 0) + 2 * kGuard, fill);
}

uint32_t TestImage::Sample(int x, int y) const {
  const uint8_t* p = Bits() + y * stride + x * bytesPerPixel;
  if (bytesPerPixel == 1) return *p;
  uint16_t word;
  std::memcpy(&word, p, 2);
  return word;
}

void TestImage::SetSample(int x, int y, uint32_t value) {
  uint8_t* p = Bits() + y * stride + x * bytesPerPixel;
  if (bytesPerPixel == 1) {
    *p = static_cast<uint8_t>(value);
  } else {
    const auto word = static_cast<uint16_t>(value);
    std::memcpy(p, &word, 2);
  }
}

uint32_t TestImage::Channel(int x, int y, int channel) const {
  const int channelBytes = ChannelBytes(bytesPerPixel);
  const uint8_t* p = Bits() + y * stride + x * bytesPerPixel + channel * channelBytes;
  if (channelBytes == 1) return *p;
  uint16_t word;
  std::memcpy(&word, p, 2);
  return word;
}

bool TestImage::GuardsIntact(uint8_t fill) const {
  const auto* end = storage.data() + storage.size();
  return std::all_of(storage.data(), storage.data() + kGuard, [&](uint8_t b) { return b == fill; }) &&
         std::all_of(end - kGuard, end, [&](uint8_t b) { return b == fill; });
}

void FillRandom(TestImage& image, uint32_t limit, std::mt19937& random) {
  std::uniform_int_distribution<uint32_t> value(0, limit - 1);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) image.SetSample(x, y, value(random));
  }
}

void ReferenceDemosaicInner(TestImage& destination, const TestImage& source,
                            const KernelRect& rect, int destinationX, int destinationY,
                            const BayerBlock& block) {
  const int w = rect.Width();
  const int h = rect.Height();
  if (w <= 4 || h <= 4) return;
  int rowPhase = 0;
  int columnPhase = 0;
  for (int row = 2; row <= h - 3; ++row) {
    for (int column = 2; column <= w - 3; ++column) {
      const CaseRow& which = CaseFor(block.bayerMode, rowPhase, columnPhase);
      const Estimate e = EstimateAt(source, rect, column, row, which, NoSubstitution);
      WritePixel(destination, destinationX + column, destinationY + row, e, block,
                 MaximumFor(source));
      columnPhase ^= 1;
    }
    rowPhase ^= 1;
  }
}

void ReferenceDemosaicBorder(TestImage& destination, const TestImage& source,
                             const KernelRect& rect, int destinationX, int destinationY,
                             const BayerBlock& block) {
  const int w = rect.Width();
  const int h = rect.Height();
  if (w <= 0 || h <= 0) return;
  auto write = [&](int column, int row, int rowPhase, int columnPhase) {
    const CaseRow& which = CaseFor(block.bayerMode, rowPhase, columnPhase);
    const Estimate e = EstimateAt(source, rect, column, row, which, Substitute);
    WritePixel(destination, destinationX + column, destinationY + row, e, block,
               MaximumFor(source));
  };
  if (w < 4 || h < 4) {
    for (int row = 0; row < h; ++row) {
      for (int column = 0; column < w; ++column) write(column, row, row & 1, column & 1);
    }
    return;
  }
  struct Strip {
    int rowFirst, rowLast, columnFirst, columnLast;
  };
  const Strip strips[4] = {
      {0, 1, 0, w - 1}, {h - 2, h - 1, 0, w - 1}, {0, h - 1, 0, 1}, {0, h - 1, w - 2, w - 1}};
  int rowPhase = 0;
  int columnPhase = 0;
  for (const Strip& strip : strips) {
    for (int row = strip.rowFirst; row <= strip.rowLast; ++row) {
      for (int column = strip.columnFirst; column <= strip.columnLast; ++column) {
        write(column, row, rowPhase, columnPhase);
        columnPhase ^= 1;
      }
      rowPhase ^= 1;
    }
  }
}

int ReferenceWhiteBalance(const TestImage& source, const KernelRect& rect,
                          WhiteBalanceResult& result) {
  uint64_t sum[3] = {0, 0, 0};  // first colour, green, second colour
  uint64_t count[3] = {0, 0, 0};
  int rowPhase = 0;
  int columnPhase = 0;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) {
      // Mode-0 terms: the mode's row and column swaps applied to the phases.
      const int r = rowPhase ^ (result.bayerMode & 1);
      const int c = columnPhase ^ ((result.bayerMode >> 1) & 1);
      const int slot = r == c ? 1 : (r == 0 ? 0 : 2);
      sum[slot] += source.Sample(x, y);
      ++count[slot];
      columnPhase ^= 1;
    }
    rowPhase ^= 1;
  }
  int bits = 1;
  result.gainGreen = 100;
  if (count[1] == 0 || sum[1] == 0) return bits | 2 | 4;
  const double mG = static_cast<double>(sum[1]) / static_cast<double>(count[1]);
  const bool haveX = count[0] > 0 && sum[0] > 0;
  const bool haveY = count[2] > 0 && sum[2] > 0;
  const double mX = haveX ? static_cast<double>(sum[0]) / static_cast<double>(count[0]) : 0.0;
  const double mY = haveY ? static_cast<double>(sum[2]) / static_cast<double>(count[2]) : 0.0;
  const double t = mG + mY + mX;
  const double k = 1.0 / ((t / mG) * (1.0 / 3.0));
  auto gain = [](double v) {
    return v >= 2147483647.0 ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(v);
  };
  if (haveX) {
    result.gainBlue = gain((t / mX) * (1.0 / 3.0) * k * 100.0);
  } else {
    bits |= 2;
  }
  if (haveY) {
    result.gainRed = gain((t / mY) * (1.0 / 3.0) * k * 100.0);
  } else {
    bits |= 4;
  }
  return bits;
}

int ReferenceHotPixel(TestImage& image, const KernelRect& rect, const BayerBlock& block,
                      int threshold) {
  const int scale = image.bytesPerPixel == 1 ? 1 : 4;
  const int limit = 30 * scale;
  const int scaledThreshold = threshold * scale;
  int replaced = 0;
  for (int y = rect.top + 2; y <= rect.bottom - 3; ++y) {
    for (int x = rect.left + 2; x <= rect.right - 3; ++x) {
      const int32_t s = static_cast<int32_t>(image.Sample(x, y));
      const int32_t a = (static_cast<int32_t>(image.Sample(x, y - 2)) + image.Sample(x, y + 2) +
                         image.Sample(x - 2, y) + image.Sample(x + 2, y)) >>
                        2;
      if (s - a < scaledThreshold) continue;
      const CaseRow& which = CaseFor(block.bayerMode, (y - rect.top) & 1, (x - rect.left) & 1);
      const Estimate e = EstimateAt(image, rect, x - rect.left, y - rect.top, which,
                                    NoSubstitution);
      int32_t red = static_cast<int32_t>((static_cast<int64_t>(e.redSum) * Factor(block.gainRed)) >> 11);
      int32_t blue =
          static_cast<int32_t>((static_cast<int64_t>(e.blueSum) * Factor(block.gainBlue)) >> 11);
      if (image.bytesPerPixel == 1) {
        red &= 0xFF;
        blue &= 0xFF;
      }
      const int32_t green = e.green;
      const int over = (std::abs(red - green) > limit) + (std::abs(red - blue) > limit) +
                       (std::abs(green - blue) > limit);
      if (over >= 2) {
        image.SetSample(x, y, static_cast<uint32_t>(a));
        ++replaced;
      }
    }
  }
  return replaced;
}

}  // namespace zirvo::testing
