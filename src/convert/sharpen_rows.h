// Unsharp-mask row loops for the compiler to vectorise, compiled once per instruction set.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace zirvo {

// One output row: the rows y - 2 .. y + 1 of the source, the row y itself and
// where the sharpened samples of columns 2 .. width - 3 go.
template <typename Sample>
struct SharpenRowInput {
  const Sample* rows[4];
  const Sample* centre;
  Sample* output;  // element 0 is column 0; columns 0, 1 are not written
  int width;       // pixels
  int elementsPerPixel;
  // Whole cache lines of the output may bypass the cache: the frame outgrows it.
  bool streaming = false;
  // The source row the next call adds, to fetch while this one runs; may be null.
  const Sample* next = nullptr;
};

// Sharpens one row; `sums` holds (width - 1) * elementsPerPixel sums (16-bit
// for byte samples, 32-bit for words); `narrow` when |amount| * difference fits 16 bits.
using SharpenRow8 = void (*)(const SharpenRowInput<uint8_t>& in, void* sums, int amount, bool narrow);
using SharpenRow16 = void (*)(const SharpenRowInput<uint16_t>& in, void* sums, int amount, bool narrow);

// Internal linkage: a copy built with wider instructions must never stand in
// for the baseline one at link time.
namespace {

// Vertical sums of four rows over columns 0 .. width - 2.
template <typename Sample, typename Sum>
void SumFourRows(const SharpenRowInput<Sample>& in, Sum* __restrict__ sums) {
  const int count = (in.width - 1) * in.elementsPerPixel;
  const Sample* __restrict__ r0 = in.rows[0];
  const Sample* __restrict__ r1 = in.rows[1];
  const Sample* __restrict__ r2 = in.rows[2];
  const Sample* __restrict__ r3 = in.rows[3];
  for (int e = 0; e < count; ++e) {
    sums[e] = static_cast<Sum>(Sum(r0[e]) + Sum(r1[e]) + Sum(r2[e]) + Sum(r3[e]));
  }
}

// o + (a * (o - u)) / 10 limited to 0..Top, u the 4 x 4 mean; differences are
// limited to the correction table's span -Top..Top + 1. `Product` is int16_t
// only when the caller has checked that a * difference fits.
template <typename Sample, typename Sum, typename Product, int Top>
void SharpenFromSums(const SharpenRowInput<Sample>& in, const Sum* __restrict__ sums, int amount) {
  const int p = in.elementsPerPixel;
  const int begin = 2 * p;
  const int end = (in.width - 2) * p;
  const Sample* __restrict__ centre = in.centre;
  Sample* __restrict__ output = in.output;
  const Product a = static_cast<Product>(amount);
  for (int e = begin; e < end; ++e) {
    const int blurred = (int(sums[e - 2 * p]) + int(sums[e - p]) + int(sums[e]) + int(sums[e + p])) >> 4;
    const int original = centre[e];
    const int difference = std::clamp(original - blurred, -Top, Top + 1);
    const Product correction =
        static_cast<Product>(static_cast<Product>(a * static_cast<Product>(difference)) / 10);
    output[e] = static_cast<Sample>(std::clamp(original + int(correction), 0, Top));
  }
}

// The byte case with |amount| <= 128 entirely in 16-bit lanes: sums of 16
// bytes fit, differences need no limit, a * difference and o + correction fit.
inline void SharpenBytesNarrow(const SharpenRowInput<uint8_t>& in, const uint16_t* __restrict__ sums,
                               int amount) {
  const int p = in.elementsPerPixel;
  const int begin = 2 * p;
  const int end = (in.width - 2) * p;
  const uint8_t* __restrict__ centre = in.centre;
  uint8_t* __restrict__ output = in.output;
  const int16_t a = static_cast<int16_t>(amount);
  for (int e = begin; e < end; ++e) {
    const uint16_t box = static_cast<uint16_t>(sums[e - 2 * p] + sums[e - p] + sums[e] + sums[e + p]);
    const int16_t original = centre[e];
    const int16_t difference = static_cast<int16_t>(original - static_cast<int16_t>(box >> 4));
    const int16_t correction = static_cast<int16_t>(static_cast<int16_t>(a * difference) / 10);
    const int16_t value = static_cast<int16_t>(original + correction);
    output[e] = static_cast<uint8_t>(std::clamp<int16_t>(value, 0, 255));
  }
}

template <typename Sample, int Top>
void SharpenRowWith(const SharpenRowInput<Sample>& in, void* sums, int amount, bool narrow) {
  using Sum = std::conditional_t<sizeof(Sample) == 1, uint16_t, uint32_t>;
  Sum* typed = static_cast<Sum*>(sums);
  SumFourRows(in, typed);
  if constexpr (sizeof(Sample) == 1) {
    if (narrow) {
      SharpenBytesNarrow(in, typed, amount);
      return;
    }
  }
  if (narrow) {
    SharpenFromSums<Sample, Sum, int16_t, Top>(in, typed, amount);
  } else {
    SharpenFromSums<Sample, Sum, int32_t, Top>(in, typed, amount);
  }
}

}  // namespace
}  // namespace zirvo
