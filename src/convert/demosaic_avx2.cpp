// AVX2 demosaic kernels: 32 pixels (8-bit) or 16 pixels (16-bit) per step.
//
// As in the AVX-512 file, each step splits its source rows into even and odd
// columns, so each half computes only the sums of its own colour case.
#include <immintrin.h>

#include <array>

#include "convert/demosaic.h"
#include "convert/demosaic_cell.h"

namespace zirvo {
namespace {

// Byte shuffles that turn three planes (blue, green, red; 16 bytes each per
// 128-bit lane) into three 16-byte parts of interleaved B, G, R pixels.
// `kValueBytes` is 1 for 8-bit channels, 2 for 16-bit ones.
struct alignas(32) ShuffleTable {
  int8_t bytes[32];
};

template <int kValueBytes>
constexpr std::array<std::array<ShuffleTable, 3>, 3> MakeInterleaveShuffles() {
  std::array<std::array<ShuffleTable, 3>, 3> tables{};
  for (int part = 0; part < 3; ++part) {
    for (int plane = 0; plane < 3; ++plane) {
      for (int t = 0; t < 32; ++t) {
        const int output = 16 * part + t % 16;
        const int value = output / kValueBytes;
        const int pixel = value / 3;
        const int channel = value % 3;
        const int source = kValueBytes * pixel + output % kValueBytes;
        tables[part][plane].bytes[t] = static_cast<int8_t>(channel == plane ? source : -128);
      }
    }
  }
  return tables;
}

alignas(32) constexpr auto kInterleave8 = MakeInterleaveShuffles<1>();
alignas(32) constexpr auto kInterleave16 = MakeInterleaveShuffles<2>();

inline __m256i Table(const ShuffleTable& table) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(table.bytes));
}

// 96 bytes of B, G, R pixels from three planes of 32 bytes each.
template <int kValueBytes>
void StoreInterleaved(uint8_t* output, __m256i blue, __m256i green, __m256i red) {
  const auto& tables = kValueBytes == 1 ? kInterleave8 : kInterleave16;
  __m256i parts[3];
  for (int part = 0; part < 3; ++part) {
    parts[part] = _mm256_or_si256(
        _mm256_or_si256(_mm256_shuffle_epi8(blue, Table(tables[part][0])),
                        _mm256_shuffle_epi8(green, Table(tables[part][1]))),
        _mm256_shuffle_epi8(red, Table(tables[part][2])));
  }
  auto* target = reinterpret_cast<__m256i*>(output);
  _mm256_storeu_si256(target, _mm256_permute2x128_si256(parts[0], parts[1], 0x20));
  _mm256_storeu_si256(target + 1, _mm256_permute2x128_si256(parts[2], parts[0], 0x30));
  _mm256_storeu_si256(target + 2, _mm256_permute2x128_si256(parts[1], parts[2], 0x31));
}

// Writes 32 bytes, taking from `fresh` the bytes whose `take` byte has its
// high bit set; the fourth channel is written back unchanged.
inline void StoreMerged(uint8_t* output, __m256i fresh, __m256i take) {
  auto* target = reinterpret_cast<__m256i*>(output);
  _mm256_storeu_si256(target, _mm256_blendv_epi8(_mm256_loadu_si256(target), fresh, take));
}

// Pixels of four channels from three planes; `kValueBytes` as above.
template <int kValueBytes>
void StoreFourChannels(uint8_t* output, __m256i blue, __m256i green, __m256i red) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i quarters[4];
  if constexpr (kValueBytes == 1) {
    const __m256i blueGreenLow = _mm256_unpacklo_epi8(blue, green);
    const __m256i blueGreenHigh = _mm256_unpackhi_epi8(blue, green);
    const __m256i redLow = _mm256_unpacklo_epi8(red, zero);
    const __m256i redHigh = _mm256_unpackhi_epi8(red, zero);
    quarters[0] = _mm256_unpacklo_epi16(blueGreenLow, redLow);
    quarters[1] = _mm256_unpackhi_epi16(blueGreenLow, redLow);
    quarters[2] = _mm256_unpacklo_epi16(blueGreenHigh, redHigh);
    quarters[3] = _mm256_unpackhi_epi16(blueGreenHigh, redHigh);
  } else {
    const __m256i blueGreenLow = _mm256_unpacklo_epi16(blue, green);
    const __m256i blueGreenHigh = _mm256_unpackhi_epi16(blue, green);
    const __m256i redLow = _mm256_unpacklo_epi16(red, zero);
    const __m256i redHigh = _mm256_unpackhi_epi16(red, zero);
    quarters[0] = _mm256_unpacklo_epi32(blueGreenLow, redLow);
    quarters[1] = _mm256_unpackhi_epi32(blueGreenLow, redLow);
    quarters[2] = _mm256_unpacklo_epi32(blueGreenHigh, redHigh);
    quarters[3] = _mm256_unpackhi_epi32(blueGreenHigh, redHigh);
  }
  const __m256i take = kValueBytes == 1 ? _mm256_set1_epi32(0x00FFFFFF)
                                        : _mm256_set1_epi64x(0x0000FFFFFFFFFFFFll);
  StoreMerged(output, _mm256_permute2x128_si256(quarters[0], quarters[1], 0x20), take);
  StoreMerged(output + 32, _mm256_permute2x128_si256(quarters[2], quarters[3], 0x20), take);
  StoreMerged(output + 64, _mm256_permute2x128_si256(quarters[0], quarters[1], 0x31), take);
  StoreMerged(output + 96, _mm256_permute2x128_si256(quarters[2], quarters[3], 0x31), take);
}

// Columns of one source row around a step: even and odd columns of the
// step, one pair to the left, and the even column one pair on.
struct SplitRow {
  __m256i leftEven;
  __m256i leftOdd;
  __m256i even;
  __m256i odd;
  __m256i rightEven;
};

struct HalfSums {
  __m256i red;
  __m256i blue;
  __m256i green;
};

// The sums of one half for its colour case, from vertical 3:1 pairs at the
// half's columns x − 2, x − 1, x, x + 1.
template <int kKind, typename Ops>
HalfSums SumsOfCase(const __m256i (&v)[4], const __m256i (&u)[4], __m256i diagonal,
                    __m256i cross) {
  const auto rowCurrent = [&] { return Ops::ThreePlus(v[2], v[0]); };
  const auto rowLeft = [&] { return Ops::ThreePlus(v[1], v[3]); };
  const auto aboveCurrent = [&] { return Ops::ThreePlus(u[2], u[0]); };
  const auto aboveLeft = [&] { return Ops::ThreePlus(u[1], u[3]); };
  if constexpr (kKind == kCellGreenRedInColumn) {
    return {aboveCurrent(), rowLeft(), diagonal};
  } else if constexpr (kKind == kCellBlue) {
    return {aboveLeft(), rowCurrent(), cross};
  } else if constexpr (kKind == kCellRed) {
    return {rowCurrent(), aboveLeft(), cross};
  } else {
    return {rowLeft(), aboveCurrent(), diagonal};
  }
}

template <int kEvenKind, int kOddKind, typename Ops>
void StepSums(const SplitRow& a, const SplitRow& b, const SplitRow& c, const SplitRow& d,
              HalfSums* evenHalf, HalfSums* oddHalf) {
  auto v = [](__m256i three, __m256i one) { return Ops::ThreePlus(three, one); };
  const __m256i vLeftEven = v(c.leftEven, a.leftEven);
  const __m256i vLeftOdd = v(c.leftOdd, a.leftOdd);
  const __m256i vEven = v(c.even, a.even);
  const __m256i vOdd = v(c.odd, a.odd);
  const __m256i vRightEven = v(c.rightEven, a.rightEven);
  const __m256i uLeftEven = v(b.leftEven, d.leftEven);
  const __m256i uLeftOdd = v(b.leftOdd, d.leftOdd);
  const __m256i uEven = v(b.even, d.even);
  const __m256i uOdd = v(b.odd, d.odd);
  const __m256i uRightEven = v(b.rightEven, d.rightEven);
  const __m256i evenV[4] = {vLeftEven, vLeftOdd, vEven, vOdd};
  const __m256i evenU[4] = {uLeftEven, uLeftOdd, uEven, uOdd};
  const __m256i oddV[4] = {vLeftOdd, vEven, vOdd, vRightEven};
  const __m256i oddU[4] = {uLeftOdd, uEven, uOdd, uRightEven};
  *evenHalf = SumsOfCase<kEvenKind, Ops>(evenV, evenU, Ops::Average(b.leftOdd, c.even),
                                         Ops::Average(c.leftOdd, b.even));
  *oddHalf = SumsOfCase<kOddKind, Ops>(oddV, oddU, Ops::Average(b.even, c.odd),
                                       Ops::Average(c.even, b.odd));
}

// ---- 8-bit samples: 16-bit lanes, 32 pixels a step ----

struct Ops8 {
  static constexpr int32_t kStep = 32;
  using Sample = uint8_t;
  static __m256i ThreePlus(__m256i three, __m256i one) {
    return _mm256_add_epi16(_mm256_add_epi16(three, _mm256_slli_epi16(three, 1)), one);
  }
  static __m256i Average(__m256i first, __m256i second) {
    return _mm256_srli_epi16(_mm256_add_epi16(first, second), 1);
  }
  static SplitRow Split(const uint8_t* row) {
    const __m256i left = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row - 2));
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row));
    const __m256i right = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 2));
    const __m256i low = _mm256_set1_epi16(0x00FF);
    return {_mm256_and_si256(left, low), _mm256_srli_epi16(left, 8), _mm256_and_si256(here, low),
            _mm256_srli_epi16(here, 8), _mm256_and_si256(right, low)};
  }
  static __m256i Factor(int32_t factor) {
    return _mm256_set1_epi16(static_cast<int16_t>(2 * factor));
  }
  // (S × F) >> 11 as (16 S × 2 F) >> 16, clamped to 255.
  static __m256i Gain(__m256i sum, __m256i doubledFactor) {
    return _mm256_min_epu16(_mm256_mulhi_epu16(_mm256_slli_epi16(sum, 4), doubledFactor),
                            _mm256_set1_epi16(255));
  }
  static __m256i Interleave(__m256i evenHalf, __m256i oddHalf) {
    return _mm256_or_si256(evenHalf, _mm256_slli_epi16(oddHalf, 8));
  }
};

// ---- 16-bit samples: 32-bit lanes, 16 pixels a step ----

struct Ops16 {
  static constexpr int32_t kStep = 16;
  using Sample = uint16_t;
  static __m256i ThreePlus(__m256i three, __m256i one) {
    return _mm256_add_epi32(_mm256_add_epi32(three, _mm256_slli_epi32(three, 1)), one);
  }
  static __m256i Average(__m256i first, __m256i second) {
    return _mm256_min_epu32(_mm256_srli_epi32(_mm256_add_epi32(first, second), 1),
                            _mm256_set1_epi32(4095));
  }
  static SplitRow Split(const uint16_t* row) {
    const __m256i left = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row - 2));
    const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row));
    const __m256i right = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 2));
    const __m256i low = _mm256_set1_epi32(0xFFFF);
    return {_mm256_and_si256(left, low), _mm256_srli_epi32(left, 16), _mm256_and_si256(here, low),
            _mm256_srli_epi32(here, 16), _mm256_and_si256(right, low)};
  }
  static __m256i Factor(int32_t factor) { return _mm256_set1_epi32(factor); }
  static __m256i Gain(__m256i sum, __m256i factor) {
    return _mm256_min_epu32(_mm256_srli_epi32(_mm256_mullo_epi32(sum, factor), 11),
                            _mm256_set1_epi32(4095));
  }
  static __m256i Interleave(__m256i evenHalf, __m256i oddHalf) {
    return _mm256_or_si256(evenHalf, _mm256_slli_epi32(oddHalf, 16));
  }
};

template <typename Ops, int kEvenKind, int kOddKind, int kBytesPerPixel>
void Step(const InnerRowJob<typename Ops::Sample>& job, int32_t j, __m256i redFactor,
          __m256i blueFactor) {
  const SplitRow a = Ops::Split(job.rows[0] + j);
  const SplitRow b = Ops::Split(job.rows[1] + j);
  const SplitRow c = Ops::Split(job.rows[2] + j);
  const SplitRow d = Ops::Split(job.rows[3] + j);
  HalfSums even;
  HalfSums odd;
  StepSums<kEvenKind, kOddKind, Ops>(a, b, c, d, &even, &odd);
  const __m256i blue =
      Ops::Interleave(Ops::Gain(even.blue, blueFactor), Ops::Gain(odd.blue, blueFactor));
  const __m256i green = Ops::Interleave(even.green, odd.green);
  const __m256i red =
      Ops::Interleave(Ops::Gain(even.red, redFactor), Ops::Gain(odd.red, redFactor));
  constexpr int kValueBytes = sizeof(typename Ops::Sample);
  uint8_t* output = job.output + static_cast<intptr_t>(j) * kBytesPerPixel;
  if constexpr (kBytesPerPixel == 3 * kValueBytes) {
    StoreInterleaved<kValueBytes>(output, blue, green, red);
  } else {
    StoreFourChannels<kValueBytes>(output, blue, green, red);
  }
}

// Steps of kStep pixels; the last one ends at the row's end and may overlap
// the one before, which then swaps the halves' colour cases when it starts
// on an odd pixel. Rows shorter than a step go the plain way.
template <typename Ops, int kRowPhase, int kBytesPerPixel>
void Row(const InnerRowJob<typename Ops::Sample>& job) {
  constexpr int32_t kStep = Ops::kStep;
  if (job.count < kStep) {
    InnerPixelsPlain(job, 0, job.count);
    return;
  }
  const __m256i redFactor = Ops::Factor(job.factors.red);
  const __m256i blueFactor = Ops::Factor(job.factors.blue);
  constexpr int kEvenFirst = CellKindOf(kRowPhase, 0);
  constexpr int kOddFirst = CellKindOf(kRowPhase, 1);
  const int32_t last = job.count - kStep;
  for (int32_t j = 0;; j = std::min(j + kStep, last)) {
    if ((job.columnPhase ^ (j & 1)) == 0) {
      Step<Ops, kEvenFirst, kOddFirst, kBytesPerPixel>(job, j, redFactor, blueFactor);
    } else {
      Step<Ops, kOddFirst, kEvenFirst, kBytesPerPixel>(job, j, redFactor, blueFactor);
    }
    if (j == last) break;
  }
}

template <typename Ops, int kBytesPerPixel>
void DispatchByRowPhase(const InnerRowJob<typename Ops::Sample>& job) {
  if (job.rowPhase == 0) {
    Row<Ops, 0, kBytesPerPixel>(job);
  } else {
    Row<Ops, 1, kBytesPerPixel>(job);
  }
}

void DispatchRow8(const InnerRowJob<uint8_t>& job) {
  if (job.outputBytesPerPixel == 4) {
    DispatchByRowPhase<Ops8, 4>(job);
  } else {
    DispatchByRowPhase<Ops8, 3>(job);
  }
}

void DispatchRow16(const InnerRowJob<uint16_t>& job) {
  if (job.outputBytesPerPixel == 8) {
    DispatchByRowPhase<Ops16, 8>(job);
  } else {
    DispatchByRowPhase<Ops16, 6>(job);
  }
}

}  // namespace

int DemosaicInner8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                       int destinationX, int destinationY, int destinationBytesPerPixel,
                       int sourceBytesPerPixel, int destinationStride, int sourceStride,
                       void* parameter, void* /*extra*/) {
  return ForEachInnerRow<uint8_t>(destination, source, sourceRect, destinationX, destinationY,
                                  destinationBytesPerPixel, sourceBytesPerPixel,
                                  destinationStride, sourceStride, parameter, DispatchRow8);
}

int DemosaicInner16Avx2(uint8_t* destination, const uint8_t* source,
                        const KernelRect& sourceRect, int destinationX, int destinationY,
                        int destinationBytesPerPixel, int sourceBytesPerPixel,
                        int destinationStride, int sourceStride, void* parameter,
                        void* /*extra*/) {
  return ForEachInnerRow<uint16_t>(destination, source, sourceRect, destinationX, destinationY,
                                   destinationBytesPerPixel, sourceBytesPerPixel,
                                   destinationStride, sourceStride, parameter, DispatchRow16);
}

int DemosaicBorder8Avx2(uint8_t* destination, const uint8_t* source,
                        const KernelRect& sourceRect, int destinationX, int destinationY,
                        int destinationBytesPerPixel, int sourceBytesPerPixel,
                        int destinationStride, int sourceStride, void* parameter,
                        void* /*extra*/) {
  return DemosaicBorderWithRows<uint8_t>(destination, source, sourceRect, destinationX,
                                         destinationY, destinationBytesPerPixel,
                                         sourceBytesPerPixel, destinationStride, sourceStride,
                                         parameter, DispatchRow8);
}

int DemosaicBorder16Avx2(uint8_t* destination, const uint8_t* source,
                         const KernelRect& sourceRect, int destinationX, int destinationY,
                         int destinationBytesPerPixel, int sourceBytesPerPixel,
                         int destinationStride, int sourceStride, void* parameter,
                         void* /*extra*/) {
  return DemosaicBorderWithRows<uint16_t>(destination, source, sourceRect, destinationX,
                                          destinationY, destinationBytesPerPixel,
                                          sourceBytesPerPixel, destinationStride, sourceStride,
                                          parameter, DispatchRow16);
}

}  // namespace zirvo
