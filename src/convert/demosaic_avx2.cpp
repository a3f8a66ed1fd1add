// AVX2 demosaic inner kernels: 16 pixels (8-bit) or 8 pixels (16-bit) per step.
#include <immintrin.h>

#include "convert/demosaic.h"
#include "convert/demosaic_cell.h"

namespace zirvo {
namespace {

struct Planes {
  __m256i blue;
  __m256i green;
  __m256i red;
};

// Byte shuffles that turn 8 pixels of blue|green words and red words (one
// 128-bit lane) into 24 bytes of B, G, R: the first 16 and the last 8.
constexpr int8_t kZ = -128;
alignas(32) const int8_t kBlueGreenTo24First[32] = {
    0, 1, kZ, 2, 3, kZ, 4, 5, kZ, 6, 7, kZ, 8, 9, kZ, 10,
    0, 1, kZ, 2, 3, kZ, 4, 5, kZ, 6, 7, kZ, 8, 9, kZ, 10};
alignas(32) const int8_t kRedTo24First[32] = {
    kZ, kZ, 0, kZ, kZ, 2, kZ, kZ, 4, kZ, kZ, 6, kZ, kZ, 8, kZ,
    kZ, kZ, 0, kZ, kZ, 2, kZ, kZ, 4, kZ, kZ, 6, kZ, kZ, 8, kZ};
alignas(32) const int8_t kBlueGreenTo24Second[32] = {
    11, kZ, 12, 13, kZ, 14, 15, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ,
    11, kZ, 12, 13, kZ, 14, 15, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ};
alignas(32) const int8_t kRedTo24Second[32] = {
    kZ, 10, kZ, kZ, 12, kZ, kZ, 14, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ,
    kZ, 10, kZ, kZ, 12, kZ, kZ, 14, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ};

// The same for 4 pixels of 16-bit channels per lane: blue words 0–3 and
// green words 4–7 in one register, red words 0–3 in the other.
alignas(32) const int8_t kBlueGreenTo48First[32] = {
    0, 1, 8, 9, kZ, kZ, 2, 3, 10, 11, kZ, kZ, 4, 5, 12, 13,
    0, 1, 8, 9, kZ, kZ, 2, 3, 10, 11, kZ, kZ, 4, 5, 12, 13};
alignas(32) const int8_t kRedTo48First[32] = {
    kZ, kZ, kZ, kZ, 0, 1, kZ, kZ, kZ, kZ, 2, 3, kZ, kZ, kZ, kZ,
    kZ, kZ, kZ, kZ, 0, 1, kZ, kZ, kZ, kZ, 2, 3, kZ, kZ, kZ, kZ};
alignas(32) const int8_t kBlueGreenTo48Second[32] = {
    kZ, kZ, 6, 7, 14, 15, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ,
    kZ, kZ, 6, 7, 14, 15, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ};
alignas(32) const int8_t kRedTo48Second[32] = {
    4, 5, kZ, kZ, kZ, kZ, 6, 7, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ,
    4, 5, kZ, kZ, kZ, kZ, 6, 7, kZ, kZ, kZ, kZ, kZ, kZ, kZ, kZ};

inline __m256i Table(const int8_t* bytes) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes));
}

// Two lanes of 24 bytes each, from shuffles of `first` and `second` parts.
inline void StoreTwoLanesOf24(uint8_t* output, __m256i first, __m256i second) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(output), _mm256_castsi256_si128(first));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(output + 16), _mm256_castsi256_si128(second));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(output + 24), _mm256_extracti128_si256(first, 1));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(output + 40), _mm256_extracti128_si256(second, 1));
}

// Writes 32 bytes whose `keep` bytes (high bit set in `take`) come from `fresh`.
inline void StoreMerged(uint8_t* output, __m256i fresh, __m256i take) {
  auto* target = reinterpret_cast<__m256i*>(output);
  _mm256_storeu_si256(target, _mm256_blendv_epi8(_mm256_loadu_si256(target), fresh, take));
}

// ---- 8-bit samples, 16-bit lanes ----

inline __m256i Widen8(const uint8_t* samples) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples)));
}

inline __m256i ThreePlus16(__m256i three, __m256i one) {
  return _mm256_add_epi16(_mm256_add_epi16(three, _mm256_slli_epi16(three, 1)), one);
}

inline __m256i Gain16(__m256i sum, __m256i doubledFactor) {
  return _mm256_min_epu16(_mm256_mulhi_epu16(_mm256_slli_epi16(sum, 4), doubledFactor),
                          _mm256_set1_epi16(255));
}

// kOddLanes: blend pattern of the lanes whose column phase is 1.
template <int kRowPhase, int kOddLanes>
Planes Block8(const InnerRowJob<uint8_t>& job, int32_t j, __m256i redFactor,
              __m256i blueFactor) {
  const uint8_t* a = job.rows[0] + j;
  const uint8_t* b = job.rows[1] + j;
  const uint8_t* c = job.rows[2] + j;
  const uint8_t* d = job.rows[3] + j;
  const __m256i bLeft = Widen8(b - 1);
  const __m256i bHere = Widen8(b);
  const __m256i cLeft = Widen8(c - 1);
  const __m256i cHere = Widen8(c);
  const __m256i vFar = ThreePlus16(Widen8(c - 2), Widen8(a - 2));
  const __m256i vLeft = ThreePlus16(cLeft, Widen8(a - 1));
  const __m256i vHere = ThreePlus16(cHere, Widen8(a));
  const __m256i vRight = ThreePlus16(Widen8(c + 1), Widen8(a + 1));
  const __m256i uFar = ThreePlus16(Widen8(b - 2), Widen8(d - 2));
  const __m256i uLeft = ThreePlus16(bLeft, Widen8(d - 1));
  const __m256i uHere = ThreePlus16(bHere, Widen8(d));
  const __m256i uRight = ThreePlus16(Widen8(b + 1), Widen8(d + 1));
  const __m256i rowCurrent = ThreePlus16(vHere, vFar);
  const __m256i rowLeft = ThreePlus16(vLeft, vRight);
  const __m256i aboveCurrent = ThreePlus16(uHere, uFar);
  const __m256i aboveLeft = ThreePlus16(uLeft, uRight);
  const __m256i greenDiagonal = _mm256_srli_epi16(_mm256_add_epi16(bLeft, cHere), 1);
  const __m256i greenCross = _mm256_srli_epi16(_mm256_add_epi16(cLeft, bHere), 1);
  __m256i redSum;
  __m256i blueSum;
  Planes planes;
  if constexpr (kRowPhase == 0) {
    redSum = _mm256_blend_epi16(aboveCurrent, aboveLeft, kOddLanes);
    blueSum = _mm256_blend_epi16(rowLeft, rowCurrent, kOddLanes);
    planes.green = _mm256_blend_epi16(greenDiagonal, greenCross, kOddLanes);
  } else {
    redSum = _mm256_blend_epi16(rowCurrent, rowLeft, kOddLanes);
    blueSum = _mm256_blend_epi16(aboveLeft, aboveCurrent, kOddLanes);
    planes.green = _mm256_blend_epi16(greenCross, greenDiagonal, kOddLanes);
  }
  planes.red = Gain16(redSum, redFactor);
  planes.blue = Gain16(blueSum, blueFactor);
  return planes;
}

template <int kBytesPerPixel>
void Store8(uint8_t* output, const Planes& planes) {
  const __m256i blueGreen = _mm256_or_si256(planes.blue, _mm256_slli_epi16(planes.green, 8));
  if constexpr (kBytesPerPixel == 3) {
    const __m256i first =
        _mm256_or_si256(_mm256_shuffle_epi8(blueGreen, Table(kBlueGreenTo24First)),
                        _mm256_shuffle_epi8(planes.red, Table(kRedTo24First)));
    const __m256i second =
        _mm256_or_si256(_mm256_shuffle_epi8(blueGreen, Table(kBlueGreenTo24Second)),
                        _mm256_shuffle_epi8(planes.red, Table(kRedTo24Second)));
    StoreTwoLanesOf24(output, first, second);
  } else {
    const __m256i low = _mm256_unpacklo_epi16(blueGreen, planes.red);
    const __m256i high = _mm256_unpackhi_epi16(blueGreen, planes.red);
    const __m256i take = _mm256_set1_epi32(0x00FFFFFF);
    StoreMerged(output, _mm256_permute2x128_si256(low, high, 0x20), take);
    StoreMerged(output + 32, _mm256_permute2x128_si256(low, high, 0x31), take);
  }
}

template <int kRowPhase, int kBytesPerPixel>
void Row8(const InnerRowJob<uint8_t>& job) {
  constexpr int32_t kStep = 16;
  const __m256i redFactor = _mm256_set1_epi16(static_cast<int16_t>(2 * job.factors.red));
  const __m256i blueFactor = _mm256_set1_epi16(static_cast<int16_t>(2 * job.factors.blue));
  if (job.count < kStep) {
    InnerPixelsPlain(job, 0, job.count);
    return;
  }
  // The last step ends at the row's end and may overlap the one before.
  const int32_t last = job.count - kStep;
  for (int32_t j = 0;; j = std::min(j + kStep, last)) {
    const bool oddFirst = (job.columnPhase ^ (j & 1)) != 0;
    const Planes planes = oddFirst ? Block8<kRowPhase, 0x55>(job, j, redFactor, blueFactor)
                                   : Block8<kRowPhase, 0xAA>(job, j, redFactor, blueFactor);
    Store8<kBytesPerPixel>(job.output + j * kBytesPerPixel, planes);
    if (j == last) break;
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

inline __m256i Widen16(const uint16_t* samples) {
  return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples)));
}

inline __m256i ThreePlus32(__m256i three, __m256i one) {
  return _mm256_add_epi32(_mm256_add_epi32(three, _mm256_slli_epi32(three, 1)), one);
}

inline __m256i Gain32(__m256i sum, __m256i factor, __m256i maximum) {
  return _mm256_min_epu32(_mm256_srli_epi32(_mm256_mullo_epi32(sum, factor), 11), maximum);
}

template <int kRowPhase, int kOddLanes>
Planes Block16(const InnerRowJob<uint16_t>& job, int32_t j, __m256i redFactor,
               __m256i blueFactor) {
  const uint16_t* a = job.rows[0] + j;
  const uint16_t* b = job.rows[1] + j;
  const uint16_t* c = job.rows[2] + j;
  const uint16_t* d = job.rows[3] + j;
  const __m256i maximum = _mm256_set1_epi32(4095);
  const __m256i bLeft = Widen16(b - 1);
  const __m256i bHere = Widen16(b);
  const __m256i cLeft = Widen16(c - 1);
  const __m256i cHere = Widen16(c);
  const __m256i vFar = ThreePlus32(Widen16(c - 2), Widen16(a - 2));
  const __m256i vLeft = ThreePlus32(cLeft, Widen16(a - 1));
  const __m256i vHere = ThreePlus32(cHere, Widen16(a));
  const __m256i vRight = ThreePlus32(Widen16(c + 1), Widen16(a + 1));
  const __m256i uFar = ThreePlus32(Widen16(b - 2), Widen16(d - 2));
  const __m256i uLeft = ThreePlus32(bLeft, Widen16(d - 1));
  const __m256i uHere = ThreePlus32(bHere, Widen16(d));
  const __m256i uRight = ThreePlus32(Widen16(b + 1), Widen16(d + 1));
  const __m256i rowCurrent = ThreePlus32(vHere, vFar);
  const __m256i rowLeft = ThreePlus32(vLeft, vRight);
  const __m256i aboveCurrent = ThreePlus32(uHere, uFar);
  const __m256i aboveLeft = ThreePlus32(uLeft, uRight);
  const __m256i greenDiagonal =
      _mm256_min_epu32(_mm256_srli_epi32(_mm256_add_epi32(bLeft, cHere), 1), maximum);
  const __m256i greenCross =
      _mm256_min_epu32(_mm256_srli_epi32(_mm256_add_epi32(cLeft, bHere), 1), maximum);
  __m256i redSum;
  __m256i blueSum;
  Planes planes;
  if constexpr (kRowPhase == 0) {
    redSum = _mm256_blend_epi32(aboveCurrent, aboveLeft, kOddLanes);
    blueSum = _mm256_blend_epi32(rowLeft, rowCurrent, kOddLanes);
    planes.green = _mm256_blend_epi32(greenDiagonal, greenCross, kOddLanes);
  } else {
    redSum = _mm256_blend_epi32(rowCurrent, rowLeft, kOddLanes);
    blueSum = _mm256_blend_epi32(aboveLeft, aboveCurrent, kOddLanes);
    planes.green = _mm256_blend_epi32(greenCross, greenDiagonal, kOddLanes);
  }
  planes.red = Gain32(redSum, redFactor, maximum);
  planes.blue = Gain32(blueSum, blueFactor, maximum);
  return planes;
}

template <int kBytesPerPixel>
void Store16(uint8_t* output, const Planes& planes) {
  if constexpr (kBytesPerPixel == 6) {
    const __m256i blueGreen = _mm256_packus_epi32(planes.blue, planes.green);
    const __m256i red = _mm256_packus_epi32(planes.red, planes.red);
    const __m256i first =
        _mm256_or_si256(_mm256_shuffle_epi8(blueGreen, Table(kBlueGreenTo48First)),
                        _mm256_shuffle_epi8(red, Table(kRedTo48First)));
    const __m256i second =
        _mm256_or_si256(_mm256_shuffle_epi8(blueGreen, Table(kBlueGreenTo48Second)),
                        _mm256_shuffle_epi8(red, Table(kRedTo48Second)));
    StoreTwoLanesOf24(output, first, second);
  } else {
    const __m256i blueGreen = _mm256_or_si256(planes.blue, _mm256_slli_epi32(planes.green, 16));
    const __m256i low = _mm256_unpacklo_epi32(blueGreen, planes.red);
    const __m256i high = _mm256_unpackhi_epi32(blueGreen, planes.red);
    const __m256i take = _mm256_set1_epi64x(0x0000FFFFFFFFFFFFll);
    StoreMerged(output, _mm256_permute2x128_si256(low, high, 0x20), take);
    StoreMerged(output + 32, _mm256_permute2x128_si256(low, high, 0x31), take);
  }
}

template <int kRowPhase, int kBytesPerPixel>
void Row16(const InnerRowJob<uint16_t>& job) {
  constexpr int32_t kStep = 8;
  const __m256i redFactor = _mm256_set1_epi32(job.factors.red);
  const __m256i blueFactor = _mm256_set1_epi32(job.factors.blue);
  if (job.count < kStep) {
    InnerPixelsPlain(job, 0, job.count);
    return;
  }
  const int32_t last = job.count - kStep;
  for (int32_t j = 0;; j = std::min(j + kStep, last)) {
    const bool oddFirst = (job.columnPhase ^ (j & 1)) != 0;
    const Planes planes = oddFirst ? Block16<kRowPhase, 0x55>(job, j, redFactor, blueFactor)
                                   : Block16<kRowPhase, 0xAA>(job, j, redFactor, blueFactor);
    Store16<kBytesPerPixel>(job.output + j * kBytesPerPixel, planes);
    if (j == last) break;
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
