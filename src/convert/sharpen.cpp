// Sharpening kernels: checks, row scheduling, the in-place row ring and the variant choice.
#include "convert/sharpen.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "convert/parameter_blocks.h"
#include "convert/processor.h"

namespace zirvo {

void SharpenRowBaseline8(const SharpenRowInput<uint8_t>& in, void* sums, int amount, bool narrow) {
  SharpenRowWith<uint8_t, 255>(in, sums, amount, narrow);
}

void SharpenRowBaseline16(const SharpenRowInput<uint16_t>& in, void* sums, int amount, bool narrow) {
  SharpenRowWith<uint16_t, 1023>(in, sums, amount, narrow);
}

#if !(defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86))
// Without the vector files the names still link; they are never selected.
void SharpenRowAvx2For8(const SharpenRowInput<uint8_t>& in, void* sums, int amount, bool narrow) {
  SharpenRowBaseline8(in, sums, amount, narrow);
}
void SharpenRowAvx2For16(const SharpenRowInput<uint16_t>& in, void* sums, int amount, bool narrow) {
  SharpenRowBaseline16(in, sums, amount, narrow);
}
void SharpenRowAvx512For8(const SharpenRowInput<uint8_t>& in, void* sums, int amount, bool narrow) {
  SharpenRowBaseline8(in, sums, amount, narrow);
}
void SharpenRowAvx512For16(const SharpenRowInput<uint16_t>& in, void* sums, int amount, bool narrow) {
  SharpenRowBaseline16(in, sums, amount, narrow);
}
#endif

namespace {

// Limits the setting so a * difference stays in 32 bits; beyond it every
// non-zero correction already saturates the result.
constexpr int kAmountLimit = 1 << 20;

// Row work space kept per converting thread, so steady conversion never allocates.
std::vector<uint32_t>& RowWorkSpace(size_t words) {
  thread_local std::vector<uint32_t> space;
  if (space.size() < words) space.resize(words);
  return space;
}

template <typename Sample>
bool IsAligned(const void* pointer) {
  return reinterpret_cast<uintptr_t>(pointer) % alignof(Sample) == 0;
}

template <typename Sample>
bool IsUsableSharpenWalk(const PixelWalk& walk, int channels) {
  constexpr int size = sizeof(Sample);
  return IsUsableWalk(walk, channels * size) && walk.sourceStep % size == 0 &&
         walk.destinationStep % size == 0 && walk.sourceStride % size == 0 &&
         walk.destinationStride % size == 0 && IsAligned<Sample>(walk.source) &&
         IsAligned<Sample>(walk.destination);
}

bool IsExactlyInPlace(const PixelWalk& walk) {
  return walk.source == walk.destination && walk.sourceStride == walk.destinationStride &&
         walk.sourceStep == walk.destinationStep && walk.destinationX == walk.rect.left &&
         walk.destinationY == walk.rect.top;
}

template <typename Sample>
const Sample* SourceRowOf(const PixelWalk& walk, int row) {
  return reinterpret_cast<const Sample*>(walk.SourceRow(row));
}

bool WritesRowsDirectly(const PixelWalk& walk, int channels, int sampleBytes) {
  return walk.destinationStep == walk.sourceStep && walk.sourceStep == channels * sampleBytes;
}

// Writes columns 2 .. width - 3 of the sharpened row, first `channels` samples per pixel.
template <typename Sample>
void StoreRow(const PixelWalk& walk, int row, const Sample* output, int channels, int p) {
  uint8_t* destination = walk.DestinationRow(row);
  for (int x = 2; x < walk.rect.Width() - 2; ++x) {
    std::memcpy(destination + static_cast<intptr_t>(x) * walk.destinationStep, output + x * p,
                channels * sizeof(Sample));
  }
}

// Beyond this many written bytes a frame would only evict what the next stage reads.
constexpr size_t kStreamingBytes = size_t{32} << 20;

bool OutgrowsTheCache(const PixelWalk& walk) {
  const size_t rowBytes = static_cast<size_t>(walk.rect.Width()) * walk.destinationStep;
  return rowBytes * walk.rect.Height() >= kStreamingBytes;
}

template <typename Sample>
struct SharpenPlan {
  int width;
  int p;  // samples per source pixel
  Sample* output;
  Sample* ring[4];  // originals of the rows in flight when working in place
  void* sums;
  bool inPlace;
};

size_t RoundUpTo64(size_t bytes) { return (bytes + 63) / 64 * 64; }

// Carves the thread's work space into the sums, the output row and, in place, the ring.
template <typename Sample>
SharpenPlan<Sample> PlanRows(const PixelWalk& walk) {
  SharpenPlan<Sample> plan{};
  plan.width = walk.rect.Width();
  plan.p = walk.sourceStep / int(sizeof(Sample));
  plan.inPlace = IsExactlyInPlace(walk);
  const size_t rowSamples = static_cast<size_t>(plan.width) * plan.p;
  const size_t sumBytes = RoundUpTo64(rowSamples * sizeof(uint32_t));
  const size_t rowBytes = RoundUpTo64(rowSamples * sizeof(Sample));
  const size_t ringRows = plan.inPlace ? 4 : 0;
  const size_t totalBytes = sumBytes + rowBytes * (1 + ringRows);
  uint8_t* base = reinterpret_cast<uint8_t*>(RowWorkSpace(totalBytes / sizeof(uint32_t)).data());
  plan.sums = base;
  plan.output = reinterpret_cast<Sample*>(base + sumBytes);
  for (size_t k = 0; k < ringRows; ++k) {
    plan.ring[k] = reinterpret_cast<Sample*>(base + sumBytes + rowBytes * (1 + k));
  }
  return plan;
}

template <typename Sample>
void KeepOriginal(const PixelWalk& walk, const SharpenPlan<Sample>& plan, int row) {
  std::memcpy(plan.ring[(row - walk.rect.top) % 4], SourceRowOf<Sample>(walk, row),
              static_cast<size_t>(plan.width) * plan.p * sizeof(Sample));
}

template <typename Sample>
const Sample* OriginalRow(const PixelWalk& walk, const SharpenPlan<Sample>& plan, int row) {
  return plan.inPlace ? plan.ring[(row - walk.rect.top) % 4] : SourceRowOf<Sample>(walk, row);
}

template <typename Sample, int Top, typename RowFunction>
int Sharpen(const PixelWalk& walk, void* parameter, int channels, RowFunction sharpenRow) {
  if (parameter == nullptr || !IsUsableSharpenWalk<Sample>(walk, channels)) return 0;
  if (walk.rect.Width() < 5 || walk.rect.Height() < 5) return 1;
  const int amount =
      std::clamp(static_cast<const ValueBlock*>(parameter)->value, -kAmountLimit, kAmountLimit);
  const bool narrow = std::abs(amount) <= (Top == 255 ? 128 : 31);
  const SharpenPlan<Sample> plan = PlanRows<Sample>(walk);
  const bool direct = WritesRowsDirectly(walk, channels, sizeof(Sample));
  const bool streaming = OutgrowsTheCache(walk);
  if (plan.inPlace) {
    for (int row = walk.rect.top; row < walk.rect.top + 4; ++row) KeepOriginal(walk, plan, row);
  }
  for (int y = walk.rect.top + 2; y <= walk.rect.bottom - 3; ++y) {
    // Packed rows take the results in place: the row function writes only columns 2 .. width - 3.
    Sample* output = direct ? reinterpret_cast<Sample*>(walk.DestinationRow(y)) : plan.output;
    SharpenRowInput<Sample> in{{OriginalRow(walk, plan, y - 2), OriginalRow(walk, plan, y - 1),
                                OriginalRow(walk, plan, y), OriginalRow(walk, plan, y + 1)},
                               OriginalRow(walk, plan, y),
                               output,
                               plan.width,
                               plan.p};
    in.streaming = direct && streaming;
    if (y + 2 < walk.rect.bottom) in.next = SourceRowOf<Sample>(walk, y + 2);
    sharpenRow(in, plan.sums, amount, narrow);
    if (!direct) StoreRow(walk, y, plan.output, channels, plan.p);
    if (plan.inPlace && y + 2 <= walk.rect.bottom - 1) KeepOriginal(walk, plan, y + 2);
  }
  return 1;
}

PixelWalk WalkOf(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                 int destinationY, int destinationStep, int sourceStep, int destinationStride,
                 int sourceStride) {
  return MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                       destinationStride, sourceStride);
}

}  // namespace

int SharpenMono8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                 int destinationY, int destinationStep, int sourceStep, int destinationStride,
                 int sourceStride, void* parameter, void*) {
  return Sharpen<uint8_t, 255>(WalkOf(destination, source, rect, destinationX, destinationY, destinationStep,
                                      sourceStep, destinationStride, sourceStride),
                               parameter, 1, SharpenRowBaseline8);
}

int SharpenMono16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                  int destinationY, int destinationStep, int sourceStep, int destinationStride,
                  int sourceStride, void* parameter, void*) {
  return Sharpen<uint16_t, 1023>(WalkOf(destination, source, rect, destinationX, destinationY,
                                        destinationStep, sourceStep, destinationStride, sourceStride),
                                 parameter, 1, SharpenRowBaseline16);
}

int SharpenBgr8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                int destinationY, int destinationStep, int sourceStep, int destinationStride,
                int sourceStride, void* parameter, void*) {
  return Sharpen<uint8_t, 255>(WalkOf(destination, source, rect, destinationX, destinationY, destinationStep,
                                      sourceStep, destinationStride, sourceStride),
                               parameter, 3, SharpenRowBaseline8);
}

int SharpenBgr16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                 int destinationY, int destinationStep, int sourceStep, int destinationStride,
                 int sourceStride, void* parameter, void*) {
  return Sharpen<uint16_t, 1023>(WalkOf(destination, source, rect, destinationX, destinationY,
                                        destinationStep, sourceStep, destinationStride, sourceStride),
                                 parameter, 3, SharpenRowBaseline16);
}

int SharpenMono8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                     int destinationY, int destinationStep, int sourceStep, int destinationStride,
                     int sourceStride, void* parameter, void*) {
  return Sharpen<uint8_t, 255>(WalkOf(destination, source, rect, destinationX, destinationY, destinationStep,
                                      sourceStep, destinationStride, sourceStride),
                               parameter, 1, SharpenRowAvx2For8);
}

int SharpenMono16Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                      int destinationY, int destinationStep, int sourceStep, int destinationStride,
                      int sourceStride, void* parameter, void*) {
  return Sharpen<uint16_t, 1023>(WalkOf(destination, source, rect, destinationX, destinationY,
                                        destinationStep, sourceStep, destinationStride, sourceStride),
                                 parameter, 1, SharpenRowAvx2For16);
}

int SharpenBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                    int destinationY, int destinationStep, int sourceStep, int destinationStride,
                    int sourceStride, void* parameter, void*) {
  return Sharpen<uint8_t, 255>(WalkOf(destination, source, rect, destinationX, destinationY, destinationStep,
                                      sourceStep, destinationStride, sourceStride),
                               parameter, 3, SharpenRowAvx2For8);
}

int SharpenBgr16Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                     int destinationY, int destinationStep, int sourceStep, int destinationStride,
                     int sourceStride, void* parameter, void*) {
  return Sharpen<uint16_t, 1023>(WalkOf(destination, source, rect, destinationX, destinationY,
                                        destinationStep, sourceStep, destinationStride, sourceStride),
                                 parameter, 3, SharpenRowAvx2For16);
}

int SharpenMono8Avx512(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                       int destinationY, int destinationStep, int sourceStep, int destinationStride,
                       int sourceStride, void* parameter, void*) {
  return Sharpen<uint8_t, 255>(WalkOf(destination, source, rect, destinationX, destinationY, destinationStep,
                                      sourceStep, destinationStride, sourceStride),
                               parameter, 1, SharpenRowAvx512For8);
}

int SharpenMono16Avx512(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                        int destinationY, int destinationStep, int sourceStep, int destinationStride,
                        int sourceStride, void* parameter, void*) {
  return Sharpen<uint16_t, 1023>(WalkOf(destination, source, rect, destinationX, destinationY,
                                        destinationStep, sourceStep, destinationStride, sourceStride),
                                 parameter, 1, SharpenRowAvx512For16);
}

int SharpenBgr8Avx512(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                      int destinationY, int destinationStep, int sourceStep, int destinationStride,
                      int sourceStride, void* parameter, void*) {
  return Sharpen<uint8_t, 255>(WalkOf(destination, source, rect, destinationX, destinationY, destinationStep,
                                      sourceStep, destinationStride, sourceStride),
                               parameter, 3, SharpenRowAvx512For8);
}

int SharpenBgr16Avx512(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                       int destinationY, int destinationStep, int sourceStep, int destinationStride,
                       int sourceStride, void* parameter, void*) {
  return Sharpen<uint16_t, 1023>(WalkOf(destination, source, rect, destinationX, destinationY,
                                        destinationStep, sourceStep, destinationStride, sourceStride),
                                 parameter, 3, SharpenRowAvx512For16);
}

ToneKernels SelectSharpenKernels(uint32_t usableFeatures) {
  // The AVX-512 file is compiled with VBMI as well, and the compiler does use its byte permutes.
  if (HasAvx512Vbmi(usableFeatures)) {
    return {SharpenMono8Avx512, SharpenMono16Avx512, SharpenBgr8Avx512, SharpenBgr16Avx512};
  }
  if ((usableFeatures & kFeatureAvx2) != 0) {
    return {SharpenMono8Avx2, SharpenMono16Avx2, SharpenBgr8Avx2, SharpenBgr16Avx2};
  }
  return {SharpenMono8, SharpenMono16, SharpenBgr8, SharpenBgr16};
}

}  // namespace zirvo
