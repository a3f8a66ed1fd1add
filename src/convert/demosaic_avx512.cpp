// AVX-512 demosaic inner kernels: 32 pixels (8-bit) or 16 pixels (16-bit) per step.
// GCC 12's AVX-512 headers trip its own uninitialised-value warning.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#include <array>

#include "convert/demosaic.h"
#include "convert/demosaic_cell.h"

namespace zirvo {
namespace {

// Byte (8-bit) or word (16-bit) gather indices that interleave a packed
// blue/red table (first operand) with a green table (second operand) into
// pixels of `channels` channels. Blue and red sit in 128-bit lanes of
// `perLane` values each: blue first, then red.
template <int kEntries, int kSecondTable, int kPerLane>
constexpr std::array<uint16_t, kEntries> InterleaveIndices(int channels, int firstOutput) {
  std::array<uint16_t, kEntries> indices{};
  for (int k = 0; k < kEntries; ++k) {
    const int output = firstOutput + k;
    const int pixel = output / channels;
    const int channel = output % channels;
    const int packed = 2 * kPerLane * (pixel / kPerLane) + pixel % kPerLane;
    if (channel == 0) {
      indices[k] = static_cast<uint16_t>(packed);
    } else if (channel == 1) {
      indices[k] = static_cast<uint16_t>(kSecondTable + 2 * pixel);
    } else if (channel == 2) {
      indices[k] = static_cast<uint16_t>(packed + kPerLane);
    } else {
      indices[k] = 0;
    }
  }
  return indices;
}

template <size_t kSize>
constexpr std::array<uint8_t, kSize> Narrowed(const std::array<uint16_t, kSize>& wide) {
  std::array<uint8_t, kSize> narrow{};
  for (size_t k = 0; k < kSize; ++k) narrow[k] = static_cast<uint8_t>(wide[k]);
  return narrow;
}

alignas(64) constexpr auto kBgr24First = Narrowed(InterleaveIndices<64, 64, 8>(3, 0));
alignas(64) constexpr auto kBgr24Second = Narrowed(InterleaveIndices<64, 64, 8>(3, 64));
alignas(64) constexpr auto kBgr32First = Narrowed(InterleaveIndices<64, 64, 8>(4, 0));
alignas(64) constexpr auto kBgr32Second = Narrowed(InterleaveIndices<64, 64, 8>(4, 64));
alignas(64) constexpr auto kBgr48First = InterleaveIndices<32, 32, 4>(3, 0);
alignas(64) constexpr auto kBgr48Second = InterleaveIndices<32, 32, 4>(3, 32);
alignas(64) constexpr auto kBgr64First = InterleaveIndices<32, 32, 4>(4, 0);
alignas(64) constexpr auto kBgr64Second = InterleaveIndices<32, 32, 4>(4, 32);

constexpr uint64_t kFirstThreeOfFour = 0x7777777777777777ull;

inline uint64_t LowBits(int32_t count) {
  if (count <= 0) return 0;
  return count >= 64 ? ~0ull : (1ull << count) - 1;
}

inline __m512i LoadIndices(const void* table) { return _mm512_load_si512(table); }

// ---- 8-bit samples, 16-bit lanes ----

struct Planes {
  __m512i blue;
  __m512i green;
  __m512i red;
};

inline __m512i Widen8(const uint8_t* samples, __mmask32 lanes) {
  return _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(lanes, samples));
}

inline __m512i ThreePlus16(__m512i three, __m512i one) {
  return _mm512_add_epi16(_mm512_add_epi16(three, _mm512_slli_epi16(three, 1)), one);
}

inline __m512i Gain16(__m512i sum, __m512i doubledFactor) {
  return _mm512_mulhi_epu16(_mm512_slli_epi16(sum, 4), doubledFactor);
}

// `oddLanes`: lanes whose column phase is 1.
template <int kRowPhase>
Planes Block8(const InnerRowJob<uint8_t>& job, int32_t j, __mmask32 lanes, __mmask32 oddLanes,
              __m512i redFactor, __m512i blueFactor) {
  const uint8_t* a = job.rows[0] + j;
  const uint8_t* b = job.rows[1] + j;
  const uint8_t* c = job.rows[2] + j;
  const uint8_t* d = job.rows[3] + j;
  const __m512i bLeft = Widen8(b - 1, lanes);
  const __m512i bHere = Widen8(b, lanes);
  const __m512i cLeft = Widen8(c - 1, lanes);
  const __m512i cHere = Widen8(c, lanes);
  // Vertical 3:1 pairs: rows y and y − 2, rows y − 1 and y + 1.
  const __m512i vFar = ThreePlus16(Widen8(c - 2, lanes), Widen8(a - 2, lanes));
  const __m512i vLeft = ThreePlus16(cLeft, Widen8(a - 1, lanes));
  const __m512i vHere = ThreePlus16(cHere, Widen8(a, lanes));
  const __m512i vRight = ThreePlus16(Widen8(c + 1, lanes), Widen8(a + 1, lanes));
  const __m512i uFar = ThreePlus16(Widen8(b - 2, lanes), Widen8(d - 2, lanes));
  const __m512i uLeft = ThreePlus16(bLeft, Widen8(d - 1, lanes));
  const __m512i uHere = ThreePlus16(bHere, Widen8(d, lanes));
  const __m512i uRight = ThreePlus16(Widen8(b + 1, lanes), Widen8(d + 1, lanes));
  const __m512i rowCurrent = ThreePlus16(vHere, vFar);
  const __m512i rowLeft = ThreePlus16(vLeft, vRight);
  const __m512i aboveCurrent = ThreePlus16(uHere, uFar);
  const __m512i aboveLeft = ThreePlus16(uLeft, uRight);
  const __m512i greenDiagonal = _mm512_srli_epi16(_mm512_add_epi16(bLeft, cHere), 1);
  const __m512i greenCross = _mm512_srli_epi16(_mm512_add_epi16(cLeft, bHere), 1);
  __m512i redSum;
  __m512i blueSum;
  Planes planes;
  if constexpr (kRowPhase == 0) {
    redSum = _mm512_mask_blend_epi16(oddLanes, aboveCurrent, aboveLeft);
    blueSum = _mm512_mask_blend_epi16(oddLanes, rowLeft, rowCurrent);
    planes.green = _mm512_mask_blend_epi16(oddLanes, greenDiagonal, greenCross);
  } else {
    redSum = _mm512_mask_blend_epi16(oddLanes, rowCurrent, rowLeft);
    blueSum = _mm512_mask_blend_epi16(oddLanes, aboveLeft, aboveCurrent);
    planes.green = _mm512_mask_blend_epi16(oddLanes, greenCross, greenDiagonal);
  }
  planes.red = Gain16(redSum, redFactor);
  planes.blue = Gain16(blueSum, blueFactor);
  return planes;
}

template <int kBytesPerPixel>
void Store8(uint8_t* output, const Planes& planes, int32_t pixels) {
  // Saturating pack clamps blue and red to 255.
  const __m512i blueRed = _mm512_packus_epi16(planes.blue, planes.red);
  if constexpr (kBytesPerPixel == 3) {
    const __m512i first =
        _mm512_permutex2var_epi8(blueRed, LoadIndices(kBgr24First.data()), planes.green);
    const __m512i second =
        _mm512_permutex2var_epi8(blueRed, LoadIndices(kBgr24Second.data()), planes.green);
    const int32_t bytes = 3 * pixels;
    _mm512_mask_storeu_epi8(output, LowBits(bytes), first);
    _mm512_mask_storeu_epi8(output + 64, LowBits(bytes - 64), second);
  } else {
    const __m512i first =
        _mm512_permutex2var_epi8(blueRed, LoadIndices(kBgr32First.data()), planes.green);
    const __m512i second =
        _mm512_permutex2var_epi8(blueRed, LoadIndices(kBgr32Second.data()), planes.green);
    const int32_t bytes = 4 * pixels;
    _mm512_mask_storeu_epi8(output, LowBits(bytes) & kFirstThreeOfFour, first);
    _mm512_mask_storeu_epi8(output + 64, LowBits(bytes - 64) & kFirstThreeOfFour, second);
  }
}

template <int kRowPhase, int kBytesPerPixel>
void Row8(const InnerRowJob<uint8_t>& job) {
  const __m512i redFactor = _mm512_set1_epi16(static_cast<int16_t>(2 * job.factors.red));
  const __m512i blueFactor = _mm512_set1_epi16(static_cast<int16_t>(2 * job.factors.blue));
  const __mmask32 oddLanes = job.columnPhase ? 0x55555555u : 0xAAAAAAAAu;
  int32_t j = 0;
  for (; j + 32 <= job.count; j += 32) {
    const Planes planes = Block8<kRowPhase>(job, j, ~0u, oddLanes, redFactor, blueFactor);
    Store8<kBytesPerPixel>(job.output + j * kBytesPerPixel, planes, 32);
  }
  if (j < job.count) {
    const int32_t pixels = job.count - j;
    const auto lanes = static_cast<__mmask32>(LowBits(pixels));
    const Planes planes = Block8<kRowPhase>(job, j, lanes, oddLanes, redFactor, blueFactor);
    Store8<kBytesPerPixel>(job.output + j * kBytesPerPixel, planes, pixels);
  }
}

void DispatchRow8(const InnerRowJob<uint8_t>& job) {
  const bool fourBytes = job.outputBytesPerPixel == 4;
  if (job.rowPhase == 0) {
    fourBytes ? Row8<0, 4>(job) : Row8<0, 3>(job);
  } else {
    fourBytes ? Row8<1, 4>(job) : Row8<1, 3>(job);
  }
}

// ---- 16-bit samples, 32-bit lanes ----

inline __m512i Widen16(const uint16_t* samples, __mmask16 lanes) {
  return _mm512_cvtepu16_epi32(_mm256_maskz_loadu_epi16(lanes, samples));
}

inline __m512i ThreePlus32(__m512i three, __m512i one) {
  return _mm512_add_epi32(_mm512_add_epi32(three, _mm512_slli_epi32(three, 1)), one);
}

inline __m512i Gain32(__m512i sum, __m512i factor, __m512i maximum) {
  return _mm512_min_epu32(_mm512_srli_epi32(_mm512_mullo_epi32(sum, factor), 11), maximum);
}

template <int kRowPhase>
Planes Block16(const InnerRowJob<uint16_t>& job, int32_t j, __mmask16 lanes,
               __mmask16 oddLanes, __m512i redFactor, __m512i blueFactor) {
  const uint16_t* a = job.rows[0] + j;
  const uint16_t* b = job.rows[1] + j;
  const uint16_t* c = job.rows[2] + j;
  const uint16_t* d = job.rows[3] + j;
  const __m512i maximum = _mm512_set1_epi32(4095);
  const __m512i bLeft = Widen16(b - 1, lanes);
  const __m512i bHere = Widen16(b, lanes);
  const __m512i cLeft = Widen16(c - 1, lanes);
  const __m512i cHere = Widen16(c, lanes);
  const __m512i vFar = ThreePlus32(Widen16(c - 2, lanes), Widen16(a - 2, lanes));
  const __m512i vLeft = ThreePlus32(cLeft, Widen16(a - 1, lanes));
  const __m512i vHere = ThreePlus32(cHere, Widen16(a, lanes));
  const __m512i vRight = ThreePlus32(Widen16(c + 1, lanes), Widen16(a + 1, lanes));
  const __m512i uFar = ThreePlus32(Widen16(b - 2, lanes), Widen16(d - 2, lanes));
  const __m512i uLeft = ThreePlus32(bLeft, Widen16(d - 1, lanes));
  const __m512i uHere = ThreePlus32(bHere, Widen16(d, lanes));
  const __m512i uRight = ThreePlus32(Widen16(b + 1, lanes), Widen16(d + 1, lanes));
  const __m512i rowCurrent = ThreePlus32(vHere, vFar);
  const __m512i rowLeft = ThreePlus32(vLeft, vRight);
  const __m512i aboveCurrent = ThreePlus32(uHere, uFar);
  const __m512i aboveLeft = ThreePlus32(uLeft, uRight);
  const __m512i greenDiagonal =
      _mm512_min_epu32(_mm512_srli_epi32(_mm512_add_epi32(bLeft, cHere), 1), maximum);
  const __m512i greenCross =
      _mm512_min_epu32(_mm512_srli_epi32(_mm512_add_epi32(cLeft, bHere), 1), maximum);
  __m512i redSum;
  __m512i blueSum;
  Planes planes;
  if constexpr (kRowPhase == 0) {
    redSum = _mm512_mask_blend_epi32(oddLanes, aboveCurrent, aboveLeft);
    blueSum = _mm512_mask_blend_epi32(oddLanes, rowLeft, rowCurrent);
    planes.green = _mm512_mask_blend_epi32(oddLanes, greenDiagonal, greenCross);
  } else {
    redSum = _mm512_mask_blend_epi32(oddLanes, rowCurrent, rowLeft);
    blueSum = _mm512_mask_blend_epi32(oddLanes, aboveLeft, aboveCurrent);
    planes.green = _mm512_mask_blend_epi32(oddLanes, greenCross, greenDiagonal);
  }
  planes.red = Gain32(redSum, redFactor, maximum);
  planes.blue = Gain32(blueSum, blueFactor, maximum);
  return planes;
}

template <int kBytesPerPixel>
void Store16(uint8_t* output, const Planes& planes, int32_t pixels) {
  const __m512i blueRed = _mm512_packus_epi32(planes.blue, planes.red);
  const uint16_t* firstIndices = kBytesPerPixel == 6 ? kBgr48First.data() : kBgr64First.data();
  const uint16_t* secondIndices = kBytesPerPixel == 6 ? kBgr48Second.data() : kBgr64Second.data();
  const __m512i first =
      _mm512_permutex2var_epi16(blueRed, LoadIndices(firstIndices), planes.green);
  const __m512i second =
      _mm512_permutex2var_epi16(blueRed, LoadIndices(secondIndices), planes.green);
  const int32_t words = (kBytesPerPixel / 2) * pixels;
  const uint64_t keep = kBytesPerPixel == 6 ? ~0ull : kFirstThreeOfFour;
  _mm512_mask_storeu_epi16(output, static_cast<__mmask32>(LowBits(words) & keep), first);
  _mm512_mask_storeu_epi16(output + 64, static_cast<__mmask32>(LowBits(words - 32) & keep),
                           second);
}

template <int kRowPhase, int kBytesPerPixel>
void Row16(const InnerRowJob<uint16_t>& job) {
  const __m512i redFactor = _mm512_set1_epi32(job.factors.red);
  const __m512i blueFactor = _mm512_set1_epi32(job.factors.blue);
  const __mmask16 oddLanes = job.columnPhase ? 0x5555u : 0xAAAAu;
  int32_t j = 0;
  for (; j + 16 <= job.count; j += 16) {
    const Planes planes = Block16<kRowPhase>(job, j, 0xFFFFu, oddLanes, redFactor, blueFactor);
    Store16<kBytesPerPixel>(job.output + j * kBytesPerPixel, planes, 16);
  }
  if (j < job.count) {
    const int32_t pixels = job.count - j;
    const auto lanes = static_cast<__mmask16>(LowBits(pixels));
    const Planes planes = Block16<kRowPhase>(job, j, lanes, oddLanes, redFactor, blueFactor);
    Store16<kBytesPerPixel>(job.output + j * kBytesPerPixel, planes, pixels);
  }
}

void DispatchRow16(const InnerRowJob<uint16_t>& job) {
  const bool eightBytes = job.outputBytesPerPixel == 8;
  if (job.rowPhase == 0) {
    eightBytes ? Row16<0, 8>(job) : Row16<0, 6>(job);
  } else {
    eightBytes ? Row16<1, 8>(job) : Row16<1, 6>(job);
  }
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

}  // namespace zirvo
