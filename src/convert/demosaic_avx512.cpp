// AVX-512 demosaic inner kernels: 64 pixels (8-bit) or 32 pixels (16-bit) per step.
//
// Each step splits its source rows into even and odd columns: all even
// pixels of a row share one column phase and all odd pixels the other, so
// each half computes only the sums of its own colour case, without blends.

// GCC 12's AVX-512 headers trip its own uninitialised-value warning.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <array>

#include "convert/demosaic.h"
#include "convert/demosaic_cell.h"

namespace zirvo {
namespace {

inline uint64_t LowBits(int32_t count) {
  if (count <= 0) return 0;
  return count >= 64 ? ~0ull : (1ull << count) - 1;
}

// Gather indices that interleave three planes (blue, green, red; one value
// per pixel, `kValues` per register) into pixels of `kChannels` channels:
// blue at p, green at kValues + p (the second table), red at p (applied by a
// second, masked gather).
template <int kValues, int kChannels>
struct InterleavePlan {
  std::array<uint8_t, kValues> indices[kChannels];
  uint64_t redLanes[kChannels];
};

template <int kValues, int kChannels>
constexpr InterleavePlan<kValues, kChannels> MakeInterleavePlan() {
  InterleavePlan<kValues, kChannels> plan{};
  for (int part = 0; part < kChannels; ++part) {
    plan.redLanes[part] = 0;
    for (int lane = 0; lane < kValues; ++lane) {
      const int output = part * kValues + lane;
      const int pixel = output / kChannels;
      const int channel = output % kChannels;
      plan.indices[part][lane] = static_cast<uint8_t>(channel == 1 ? kValues + pixel : pixel);
      if (channel == 2) plan.redLanes[part] |= 1ull << lane;
    }
  }
  return plan;
}

template <typename T, size_t kSize>
struct alignas(64) AlignedTable {
  T values[kSize];
};

template <int kValues, int kChannels>
constexpr auto MakeIndexTables() {
  constexpr auto plan = MakeInterleavePlan<kValues, kChannels>();
  std::array<AlignedTable<uint16_t, 32>, kChannels> wide{};
  std::array<AlignedTable<uint8_t, 64>, kChannels> narrow{};
  for (int part = 0; part < kChannels; ++part) {
    for (int lane = 0; lane < kValues; ++lane) {
      if constexpr (kValues == 64) {
        narrow[part].values[lane] = plan.indices[part][lane];
      } else {
        wide[part].values[lane] = plan.indices[part][lane];
      }
    }
  }
  if constexpr (kValues == 64) {
    return narrow;
  } else {
    return wide;
  }
}

constexpr auto kPlan24 = MakeInterleavePlan<64, 3>();
constexpr auto kPlan32 = MakeInterleavePlan<64, 4>();
constexpr auto kPlan48 = MakeInterleavePlan<32, 3>();
constexpr auto kPlan64 = MakeInterleavePlan<32, 4>();
alignas(64) constexpr auto kIndices24 = MakeIndexTables<64, 3>();
alignas(64) constexpr auto kIndices32 = MakeIndexTables<64, 4>();
alignas(64) constexpr auto kIndices48 = MakeIndexTables<32, 3>();
alignas(64) constexpr auto kIndices64 = MakeIndexTables<32, 4>();

constexpr uint64_t kFirstThreeOfFour = 0x7777777777777777ull;

// Columns of one source row around a step: even and odd columns of the step
// (`even`, `odd`), one pair to the left, and the even column one pair on.
struct SplitRow {
  __m512i leftEven;
  __m512i leftOdd;
  __m512i even;
  __m512i odd;
  __m512i rightEven;
};

// Loads of a step: columns j − 2, j and j + 2 on; in the last step only what
// the remaining pixels need.
struct StepMasks {
  uint64_t left = ~0ull;
  uint64_t here = ~0ull;
  uint64_t right = ~0ull;
};

inline StepMasks TailMasks(int32_t pixels) {
  return {LowBits(pixels + 3), LowBits(pixels + 1), LowBits(pixels - 1)};
}

// The sums of one half (even or odd pixels) for its colour case.
struct HalfSums {
  __m512i red;
  __m512i blue;
  __m512i green;
};

// Four 16-weight sums and two green pairs at one half's pixels, as in the
// plain kernel's case table, from vertical 3:1 pairs at the half's columns
// x − 2, x − 1, x, x + 1.
template <int kKind, typename Ops>
HalfSums SumsOfCase(const __m512i (&v)[4], const __m512i (&u)[4], __m512i diagonal,
                    __m512i cross) {
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

// Both halves of a step from the four split rows (y − 2, y − 1, y, y + 1).
template <int kEvenKind, int kOddKind, typename Ops>
void StepSums(const SplitRow& a, const SplitRow& b, const SplitRow& c, const SplitRow& d,
              HalfSums* evenHalf, HalfSums* oddHalf) {
  auto v = [](__m512i three, __m512i one) { return Ops::ThreePlus(three, one); };
  const __m512i vLeftEven = v(c.leftEven, a.leftEven);
  const __m512i vLeftOdd = v(c.leftOdd, a.leftOdd);
  const __m512i vEven = v(c.even, a.even);
  const __m512i vOdd = v(c.odd, a.odd);
  const __m512i vRightEven = v(c.rightEven, a.rightEven);
  const __m512i uLeftEven = v(b.leftEven, d.leftEven);
  const __m512i uLeftOdd = v(b.leftOdd, d.leftOdd);
  const __m512i uEven = v(b.even, d.even);
  const __m512i uOdd = v(b.odd, d.odd);
  const __m512i uRightEven = v(b.rightEven, d.rightEven);
  const __m512i evenV[4] = {vLeftEven, vLeftOdd, vEven, vOdd};
  const __m512i evenU[4] = {uLeftEven, uLeftOdd, uEven, uOdd};
  const __m512i oddV[4] = {vLeftOdd, vEven, vOdd, vRightEven};
  const __m512i oddU[4] = {uLeftOdd, uEven, uOdd, uRightEven};
  *evenHalf = SumsOfCase<kEvenKind, Ops>(evenV, evenU, Ops::Average(b.leftOdd, c.even),
                                         Ops::Average(c.leftOdd, b.even));
  *oddHalf = SumsOfCase<kOddKind, Ops>(oddV, oddU, Ops::Average(b.even, c.odd),
                                       Ops::Average(c.even, b.odd));
}

// ---- 8-bit samples: 16-bit lanes, 64 pixels a step ----

struct Ops8 {
  static __m512i ThreePlus(__m512i three, __m512i one) {
    return _mm512_add_epi16(_mm512_add_epi16(three, _mm512_slli_epi16(three, 1)), one);
  }
  static __m512i Average(__m512i first, __m512i second) {
    return _mm512_srli_epi16(_mm512_add_epi16(first, second), 1);
  }
};

template <bool kTail>
SplitRow Split8(const uint8_t* row, const StepMasks& masks) {
  __m512i left;
  __m512i here;
  __m512i right;
  if constexpr (kTail) {
    left = _mm512_maskz_loadu_epi8(masks.left, row - 2);
    here = _mm512_maskz_loadu_epi8(masks.here, row);
    right = _mm512_maskz_loadu_epi8(masks.right, row + 2);
  } else {
    left = _mm512_loadu_si512(row - 2);
    here = _mm512_loadu_si512(row);
    right = _mm512_loadu_si512(row + 2);
  }
  const __m512i low = _mm512_set1_epi16(0x00FF);
  return {_mm512_and_si512(left, low), _mm512_srli_epi16(left, 8), _mm512_and_si512(here, low),
          _mm512_srli_epi16(here, 8), _mm512_and_si512(right, low)};
}

// (S × F) >> 11 as (16 S × 2 F) >> 16, clamped to 255.
inline __m512i Gain8(__m512i sum, __m512i doubledFactor) {
  return _mm512_min_epu16(_mm512_mulhi_epu16(_mm512_slli_epi16(sum, 4), doubledFactor),
                          _mm512_set1_epi16(255));
}

inline __m512i Interleave8(__m512i evenHalf, __m512i oddHalf) {
  return _mm512_or_si512(evenHalf, _mm512_slli_epi16(oddHalf, 8));
}

template <int kChannels, typename Plan, typename Tables>
void StorePlanes8(uint8_t* output, __m512i blue, __m512i green, __m512i red, int32_t pixels,
                  const Plan& plan, const Tables& tables) {
  const int32_t bytes = kChannels * pixels;
  for (int part = 0; part < kChannels; ++part) {
    const __m512i indices = _mm512_load_si512(tables[part].values);
    const __m512i blueGreen = _mm512_permutex2var_epi8(blue, indices, green);
    const __m512i pixelsOut =
        _mm512_mask_permutexvar_epi8(blueGreen, plan.redLanes[part], indices, red);
    uint64_t lanes = LowBits(bytes - 64 * part);
    if constexpr (kChannels == 4) lanes &= kFirstThreeOfFour;
    _mm512_mask_storeu_epi8(output + 64 * part, lanes, pixelsOut);
  }
}

template <int kEvenKind, int kOddKind, int kBytesPerPixel, bool kTail>
void Step8(const InnerRowJob<uint8_t>& job, int32_t j, int32_t pixels, __m512i redFactor,
           __m512i blueFactor) {
  const StepMasks masks = kTail ? TailMasks(pixels) : StepMasks{};
  const SplitRow a = Split8<kTail>(job.rows[0] + j, masks);
  const SplitRow b = Split8<kTail>(job.rows[1] + j, masks);
  const SplitRow c = Split8<kTail>(job.rows[2] + j, masks);
  const SplitRow d = Split8<kTail>(job.rows[3] + j, masks);
  HalfSums even;
  HalfSums odd;
  StepSums<kEvenKind, kOddKind, Ops8>(a, b, c, d, &even, &odd);
  const __m512i blue =
      Interleave8(Gain8(even.blue, blueFactor), Gain8(odd.blue, blueFactor));
  const __m512i green = Interleave8(even.green, odd.green);
  const __m512i red = Interleave8(Gain8(even.red, redFactor), Gain8(odd.red, redFactor));
  uint8_t* output = job.output + static_cast<intptr_t>(j) * kBytesPerPixel;
  if constexpr (kBytesPerPixel == 3) {
    StorePlanes8<3>(output, blue, green, red, pixels, kPlan24, kIndices24);
  } else {
    StorePlanes8<4>(output, blue, green, red, pixels, kPlan32, kIndices32);
  }
}

template <int kEvenKind, int kOddKind, int kBytesPerPixel>
void Row8(const InnerRowJob<uint8_t>& job) {
  constexpr int32_t kStep = 64;
  const __m512i redFactor = _mm512_set1_epi16(static_cast<int16_t>(2 * job.factors.red));
  const __m512i blueFactor = _mm512_set1_epi16(static_cast<int16_t>(2 * job.factors.blue));
  int32_t j = 0;
  for (; j + kStep <= job.count; j += kStep) {
    Step8<kEvenKind, kOddKind, kBytesPerPixel, false>(job, j, kStep, redFactor, blueFactor);
  }
  if (j < job.count) {
    Step8<kEvenKind, kOddKind, kBytesPerPixel, true>(job, j, job.count - j, redFactor,
                                                     blueFactor);
  }
}

// ---- 16-bit samples: 32-bit lanes, 32 pixels a step ----

struct Ops16 {
  static __m512i ThreePlus(__m512i three, __m512i one) {
    return _mm512_add_epi32(_mm512_add_epi32(three, _mm512_slli_epi32(three, 1)), one);
  }
  static __m512i Average(__m512i first, __m512i second) {
    return _mm512_min_epu32(_mm512_srli_epi32(_mm512_add_epi32(first, second), 1),
                            _mm512_set1_epi32(4095));
  }
};

template <bool kTail>
SplitRow Split16(const uint16_t* row, const StepMasks& masks) {
  __m512i left;
  __m512i here;
  __m512i right;
  if constexpr (kTail) {
    left = _mm512_maskz_loadu_epi16(static_cast<__mmask32>(masks.left), row - 2);
    here = _mm512_maskz_loadu_epi16(static_cast<__mmask32>(masks.here), row);
    right = _mm512_maskz_loadu_epi16(static_cast<__mmask32>(masks.right), row + 2);
  } else {
    left = _mm512_loadu_si512(row - 2);
    here = _mm512_loadu_si512(row);
    right = _mm512_loadu_si512(row + 2);
  }
  const __m512i low = _mm512_set1_epi32(0xFFFF);
  return {_mm512_and_si512(left, low), _mm512_srli_epi32(left, 16), _mm512_and_si512(here, low),
          _mm512_srli_epi32(here, 16), _mm512_and_si512(right, low)};
}

inline __m512i Gain16(__m512i sum, __m512i factor) {
  return _mm512_min_epu32(_mm512_srli_epi32(_mm512_mullo_epi32(sum, factor), 11),
                          _mm512_set1_epi32(4095));
}

inline __m512i Interleave16(__m512i evenHalf, __m512i oddHalf) {
  return _mm512_or_si512(evenHalf, _mm512_slli_epi32(oddHalf, 16));
}

template <int kChannels, typename Plan, typename Tables>
void StorePlanes16(uint8_t* output, __m512i blue, __m512i green, __m512i red, int32_t pixels,
                   const Plan& plan, const Tables& tables) {
  const int32_t words = kChannels * pixels;
  for (int part = 0; part < kChannels; ++part) {
    const __m512i indices = _mm512_load_si512(tables[part].values);
    const __m512i blueGreen = _mm512_permutex2var_epi16(blue, indices, green);
    const __m512i pixelsOut = _mm512_mask_permutexvar_epi16(
        blueGreen, static_cast<__mmask32>(plan.redLanes[part]), indices, red);
    uint64_t lanes = LowBits(words - 32 * part);
    if constexpr (kChannels == 4) lanes &= kFirstThreeOfFour;
    _mm512_mask_storeu_epi16(output + 64 * part, static_cast<__mmask32>(lanes), pixelsOut);
  }
}

template <int kEvenKind, int kOddKind, int kBytesPerPixel, bool kTail>
void Step16(const InnerRowJob<uint16_t>& job, int32_t j, int32_t pixels, __m512i redFactor,
            __m512i blueFactor) {
  const StepMasks masks = kTail ? TailMasks(pixels) : StepMasks{};
  const SplitRow a = Split16<kTail>(job.rows[0] + j, masks);
  const SplitRow b = Split16<kTail>(job.rows[1] + j, masks);
  const SplitRow c = Split16<kTail>(job.rows[2] + j, masks);
  const SplitRow d = Split16<kTail>(job.rows[3] + j, masks);
  HalfSums even;
  HalfSums odd;
  StepSums<kEvenKind, kOddKind, Ops16>(a, b, c, d, &even, &odd);
  const __m512i blue =
      Interleave16(Gain16(even.blue, blueFactor), Gain16(odd.blue, blueFactor));
  const __m512i green = Interleave16(even.green, odd.green);
  const __m512i red = Interleave16(Gain16(even.red, redFactor), Gain16(odd.red, redFactor));
  uint8_t* output = job.output + static_cast<intptr_t>(j) * kBytesPerPixel;
  if constexpr (kBytesPerPixel == 6) {
    StorePlanes16<3>(output, blue, green, red, pixels, kPlan48, kIndices48);
  } else {
    StorePlanes16<4>(output, blue, green, red, pixels, kPlan64, kIndices64);
  }
}

template <int kEvenKind, int kOddKind, int kBytesPerPixel>
void Row16(const InnerRowJob<uint16_t>& job) {
  constexpr int32_t kStep = 32;
  const __m512i redFactor = _mm512_set1_epi32(job.factors.red);
  const __m512i blueFactor = _mm512_set1_epi32(job.factors.blue);
  int32_t j = 0;
  for (; j + kStep <= job.count; j += kStep) {
    Step16<kEvenKind, kOddKind, kBytesPerPixel, false>(job, j, kStep, redFactor, blueFactor);
  }
  if (j < job.count) {
    Step16<kEvenKind, kOddKind, kBytesPerPixel, true>(job, j, job.count - j, redFactor,
                                                      blueFactor);
  }
}

// One row function per (row phase, first column phase, pixel size).
template <typename Sample>
using RowFunction = void (*)(const InnerRowJob<Sample>&);

template <int kRowPhase, int kColumnPhase, int kBytesPerPixel>
constexpr RowFunction<uint8_t> RowOf8() {
  return Row8<CellKindOf(kRowPhase, kColumnPhase), CellKindOf(kRowPhase, kColumnPhase ^ 1),
              kBytesPerPixel>;
}

template <int kRowPhase, int kColumnPhase, int kBytesPerPixel>
constexpr RowFunction<uint16_t> RowOf16() {
  return Row16<CellKindOf(kRowPhase, kColumnPhase), CellKindOf(kRowPhase, kColumnPhase ^ 1),
               kBytesPerPixel>;
}

void DispatchRow8(const InnerRowJob<uint8_t>& job) {
  static constexpr RowFunction<uint8_t> kRows[2][2][2] = {
      {{RowOf8<0, 0, 3>(), RowOf8<0, 0, 4>()}, {RowOf8<0, 1, 3>(), RowOf8<0, 1, 4>()}},
      {{RowOf8<1, 0, 3>(), RowOf8<1, 0, 4>()}, {RowOf8<1, 1, 3>(), RowOf8<1, 1, 4>()}}};
  kRows[job.rowPhase][job.columnPhase][job.outputBytesPerPixel == 4](job);
}

void DispatchRow16(const InnerRowJob<uint16_t>& job) {
  static constexpr RowFunction<uint16_t> kRows[2][2][2] = {
      {{RowOf16<0, 0, 6>(), RowOf16<0, 0, 8>()}, {RowOf16<0, 1, 6>(), RowOf16<0, 1, 8>()}},
      {{RowOf16<1, 0, 6>(), RowOf16<1, 0, 8>()}, {RowOf16<1, 1, 6>(), RowOf16<1, 1, 8>()}}};
  kRows[job.rowPhase][job.columnPhase][job.outputBytesPerPixel == 8](job);
}

}  // namespace

int DemosaicInner8Avx512(uint8_t* destination, const uint8_t* source,
                         const KernelRect& sourceRect, int destinationX, int destinationY,
                         int destinationBytesPerPixel, int sourceBytesPerPixel,
                         int destinationStride, int sourceStride, void* parameter,
                         void* /*extra*/) {
  return ForEachInnerRow<uint8_t>(destination, source, sourceRect, destinationX, destinationY,
                                  destinationBytesPerPixel, sourceBytesPerPixel,
                                  destinationStride, sourceStride, parameter, DispatchRow8);
}

int DemosaicInner16Avx512(uint8_t* destination, const uint8_t* source,
                          const KernelRect& sourceRect, int destinationX, int destinationY,
                          int destinationBytesPerPixel, int sourceBytesPerPixel,
                          int destinationStride, int sourceStride, void* parameter,
                          void* /*extra*/) {
  return ForEachInnerRow<uint16_t>(destination, source, sourceRect, destinationX, destinationY,
                                   destinationBytesPerPixel, sourceBytesPerPixel,
                                   destinationStride, sourceStride, parameter, DispatchRow16);
}

int DemosaicBorder8Avx512(uint8_t* destination, const uint8_t* source,
                      const KernelRect& sourceRect, int destinationX, int destinationY,
                      int destinationBytesPerPixel, int sourceBytesPerPixel,
                      int destinationStride, int sourceStride, void* parameter,
                      void* /*extra*/) {
  return DemosaicBorderWithRows<uint8_t>(destination, source, sourceRect, destinationX,
                                         destinationY, destinationBytesPerPixel,
                                         sourceBytesPerPixel, destinationStride, sourceStride,
                                         parameter, DispatchRow8);
}

int DemosaicBorder16Avx512(uint8_t* destination, const uint8_t* source,
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
