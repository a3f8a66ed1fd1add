// Gray filter kernels: site gains and offsets, measurement, luminance.
#include "convert/gray_filter.h"

#include <algorithm>
#include <cstring>

#include "convert/gray_filter_internal.h"
#include "convert/kernel_rows.h"
#include "convert/parameter_blocks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zirvo {

namespace {

enum Site { kSiteG1 = 0, kSiteR = 1, kSiteB = 2, kSiteG2 = 3, kSiteCount = 4 };

// BayerMode 0 layout by row parity, then column parity.
constexpr Site kModeZeroSites[2][2] = {{kSiteG1, kSiteR}, {kSiteB, kSiteG2}};

Site SiteOf(int32_t bayerMode, int32_t rowParity, int32_t columnParity) {
  return kModeZeroSites[(rowParity ^ bayerMode) & 1][(columnParity ^ (bayerMode >> 1)) & 1];
}

// The plain filter and the measurement flip the column phase after every
// sample and never reset it at a row start, so over an odd width each row
// starts on the other phase; even widths give plain column parity.
int32_t RowStartColumnPhase(int32_t row, int32_t width) {
  return static_cast<int32_t>((static_cast<int64_t>(row) * width) & 1);
}

int32_t GainOf(const GrayBlock& block, Site site) {
  switch (site) {
    case kSiteG1: return block.gainG1;
    case kSiteR: return block.gainR;
    case kSiteB: return block.gainB;
    default: return block.gainG2;
  }
}

int32_t OffsetOf(const GrayBlock& block, Site site) {
  switch (site) {
    case kSiteG1: return block.offsetG1;
    case kSiteR: return block.offsetR;
    case kSiteB: return block.offsetB;
    default: return block.offsetG2;
  }
}

// One table per site: the filter of every sample value, built once per call.
struct SiteTables {
  uint8_t value[kSiteCount][256];
};

void BuildPlainTables(const GrayBlock& block, SiteTables* tables) {
  for (int site = 0; site < kSiteCount; ++site) {
    int64_t gain = GainOf(block, static_cast<Site>(site));
    int64_t offset = OffsetOf(block, static_cast<Site>(site));
    for (int sample = 0; sample < 256; ++sample) {
      int64_t level = gain * sample / 128 + offset;
      tables->value[site][sample] = static_cast<uint8_t>(std::clamp<int64_t>(level, 0, 255));
    }
  }
}

// Applies two alternating tables along a row, the first to even columns.
void MapRow(uint8_t* out, const uint8_t* in, int32_t width, const uint8_t* even,
            const uint8_t* odd) {
  int32_t j = 0;
  for (; j + 1 < width; j += 2) {
    uint8_t first = in[j];
    uint8_t second = in[j + 1];
    out[j] = even[first];
    out[j + 1] = odd[second];
  }
  if (j < width) out[j] = even[in[j]];
}

struct VectorGains {
  int32_t even;
  int32_t odd;
};

int32_t LimitGain(int32_t gain) { return std::clamp(gain, 0, 255); }

// The vector variants' gains for one row: BayerMode decides the row parity
// only.
VectorGains VectorGainsForRow(const GrayBlock& block, int32_t row) {
  bool secondRow = ((row ^ block.bayerMode) & 1) != 0;
  return secondRow ? VectorGains{LimitGain(block.gainB), LimitGain(block.gainG2)}
                   : VectorGains{LimitGain(block.gainG1), LimitGain(block.gainR)};
}

uint8_t ScaleSample(int32_t gain, uint8_t sample) {
  return static_cast<uint8_t>(std::min(255, (gain * sample) >> 7));
}

void ScaleTail(uint8_t* out, const uint8_t* in, int32_t from, int32_t width, VectorGains gains) {
  for (int32_t j = from; j < width; ++j) {
    out[j] = ScaleSample((j & 1) ? gains.odd : gains.even, in[j]);
  }
}

#if defined(__SSE2__)
__m128i GainLanes(VectorGains gains) {
  return _mm_set_epi16(static_cast<short>(gains.odd), static_cast<short>(gains.even),
                       static_cast<short>(gains.odd), static_cast<short>(gains.even),
                       static_cast<short>(gains.odd), static_cast<short>(gains.even),
                       static_cast<short>(gains.odd), static_cast<short>(gains.even));
}

// (gain x s) fits 16 unsigned bits; the pack saturates at 255.
__m128i ScaleLanes(__m128i samples, __m128i gains) {
  return _mm_srli_epi16(_mm_mullo_epi16(samples, gains), 7);
}

void ScaleRowBlocks16(uint8_t* out, const uint8_t* in, int32_t width, VectorGains gains) {
  const __m128i lanes = GainLanes(gains);
  const __m128i zero = _mm_setzero_si128();
  int32_t j = 0;
  for (; j + 16 <= width; j += 16) {
    __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j));
    __m128i low = ScaleLanes(_mm_unpacklo_epi8(samples, zero), lanes);
    __m128i high = ScaleLanes(_mm_unpackhi_epi8(samples, zero), lanes);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_packus_epi16(low, high));
  }
  ScaleTail(out, in, j, width, gains);
}

void ScaleRowBlocks8(uint8_t* out, const uint8_t* in, int32_t width, VectorGains gains) {
  const __m128i lanes = GainLanes(gains);
  const __m128i zero = _mm_setzero_si128();
  int32_t j = 0;
  for (; j + 8 <= width; j += 8) {
    __m128i samples = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + j));
    __m128i scaled = ScaleLanes(_mm_unpacklo_epi8(samples, zero), lanes);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + j), _mm_packus_epi16(scaled, scaled));
  }
  ScaleTail(out, in, j, width, gains);
}
#else
void ScaleRowBlocks16(uint8_t* out, const uint8_t* in, int32_t width, VectorGains gains) {
  ScaleTail(out, in, 0, width, gains);
}

void ScaleRowBlocks8(uint8_t* out, const uint8_t* in, int32_t width, VectorGains gains) {
  ScaleTail(out, in, 0, width, gains);
}
#endif

using ScaleRow = void (*)(uint8_t*, const uint8_t*, int32_t, VectorGains);

int VectorFilter(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                 int destinationX, int destinationY, int destinationStride, int sourceStride,
                 const void* parameter, ScaleRow scaleRow) {
  if (parameter == nullptr) return 0;
  const GrayBlock& block = *static_cast<const GrayBlock*>(parameter);
  for (int32_t i = 0; i < rect.Height(); ++i) {
    scaleRow(PixelAt(destination, destinationY + i, destinationStride, destinationX, 1),
             PixelAt(source, rect.top + i, sourceStride, rect.left, 1), rect.Width(),
             VectorGainsForRow(block, i));
  }
  return 1;
}

struct SiteSums {
  uint64_t sum[kSiteCount] = {};
  uint64_t count[kSiteCount] = {};
};

// Histograms per site keep the row walk free of branches; the saturated
// values 0 and 255 are dropped afterwards.
SiteSums MeasureSites(const uint8_t* source, const KernelRect& rect, int sourceStride,
                      int32_t bayerMode) {
  static thread_local uint64_t histogram[kSiteCount][256];
  std::memset(histogram, 0, sizeof(histogram));
  int32_t width = rect.Width();
  for (int32_t i = 0; i < rect.Height(); ++i) {
    const uint8_t* row = PixelAt(source, rect.top + i, sourceStride, rect.left, 1);
    int32_t phase = RowStartColumnPhase(i, width);
    uint64_t* even = histogram[SiteOf(bayerMode, i & 1, phase)];
    uint64_t* odd = histogram[SiteOf(bayerMode, i & 1, phase ^ 1)];
    int32_t j = 0;
    for (; j + 1 < width; j += 2) {
      ++even[row[j]];
      ++odd[row[j + 1]];
    }
    if (j < width) ++even[row[j]];
  }
  SiteSums sums;
  for (int site = 0; site < kSiteCount; ++site) {
    for (int value = 1; value < 255; ++value) {
      sums.sum[site] += histogram[site][value] * static_cast<uint64_t>(value);
      sums.count[site] += histogram[site][value];
    }
  }
  return sums;
}

long double MeanOf(const SiteSums& sums, Site site) {
  return static_cast<long double>(sums.sum[site]) / static_cast<long double>(sums.count[site]);
}

}  // namespace

int GrayGainMeasure8(uint8_t*, const uint8_t* source, const KernelRect& sourceRect, int, int,
                     int, int, int, int sourceStride, void* parameter, void*) {
  if (parameter == nullptr) return 0;
  GrayBlock& block = *static_cast<GrayBlock*>(parameter);
  SiteSums sums = MeasureSites(source, sourceRect, sourceStride, block.bayerMode);
  block.gainG1 = 128;
  struct Target {
    Site site;
    int32_t* gain;
    int keptBit;
  };
  const Target targets[] = {{kSiteR, &block.gainR, kGrayGainKeptR},
                            {kSiteG2, &block.gainG2, kGrayGainKeptG2},
                            {kSiteB, &block.gainB, kGrayGainKeptB}};
  int result = 1;
  for (const Target& target : targets) {
    if (sums.count[kSiteG1] == 0 || sums.count[target.site] == 0) {
      result |= target.keptBit;
      continue;
    }
    long double ratio = MeanOf(sums, kSiteG1) / MeanOf(sums, target.site) * 128;
    *target.gain = static_cast<int32_t>(std::min<long double>(ratio, 255));
  }
  return result;
}

int GrayFilter8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                int destinationX, int destinationY, int, int, int destinationStride,
                int sourceStride, void* parameter, void*) {
  if (parameter == nullptr) return 0;
  const GrayBlock& block = *static_cast<const GrayBlock*>(parameter);
  SiteTables tables;
  BuildPlainTables(block, &tables);
  for (int32_t i = 0; i < sourceRect.Height(); ++i) {
    int32_t phase = RowStartColumnPhase(i, sourceRect.Width());
    MapRow(PixelAt(destination, destinationY + i, destinationStride, destinationX, 1),
           PixelAt(source, sourceRect.top + i, sourceStride, sourceRect.left, 1),
           sourceRect.Width(), tables.value[SiteOf(block.bayerMode, i & 1, phase)],
           tables.value[SiteOf(block.bayerMode, i & 1, phase ^ 1)]);
  }
  return 1;
}

int GrayFilter8Mmx(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                   int destinationX, int destinationY, int, int, int destinationStride,
                   int sourceStride, void* parameter, void*) {
  return VectorFilter(destination, source, sourceRect, destinationX, destinationY,
                      destinationStride, sourceStride, parameter, &ScaleRowBlocks8);
}

int GrayFilter8Sse2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int, int, int destinationStride,
                    int sourceStride, void* parameter, void*) {
  return VectorFilter(destination, source, sourceRect, destinationX, destinationY,
                      destinationStride, sourceStride, parameter, &ScaleRowBlocks16);
}

RectangleKernel SelectGrayFilter8(const ProcessorInfo& processor) {
  auto inBoth = [&processor](uint32_t feature) {
    return (processor.reportedFeatures & feature) && (processor.verifiedFeatures & feature);
  };
  if (inBoth(kFeatureSse2)) return &GrayFilter8Sse2;
  if (inBoth(kFeatureMmx)) return &GrayFilter8Mmx;
  return &GrayFilter8;
}

void LuminanceRowScalar(uint8_t* out, const uint8_t* in, int32_t width, int step) {
  for (int32_t j = 0; j < width; ++j) {
    const uint8_t* pixel = in + static_cast<ptrdiff_t>(j) * step;
    uint32_t level = (59u * pixel[1] + 30u * pixel[2] + 11u * pixel[0]) / 100u;
    out[j] = static_cast<uint8_t>(level);
  }
}

namespace {

using LuminanceRow = void (*)(uint8_t*, const uint8_t*, int32_t);

void LuminanceRow24(uint8_t* out, const uint8_t* in, int32_t width) {
  LuminanceRowScalar(out, in, width, 3);
}

void LuminanceRow32(uint8_t* out, const uint8_t* in, int32_t width) {
  LuminanceRowScalar(out, in, width, 4);
}

int Luminance(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
              int destinationX, int destinationY, int destinationBytesPerPixel,
              int sourceBytesPerPixel, int destinationStride, int sourceStride,
              LuminanceRow row24) {
  int step = sourceBytesPerPixel;
  if ((step != 3 && step != 4) || destinationBytesPerPixel != 1) return 0;
  LuminanceRow row = step == 3 ? row24 : &LuminanceRow32;
  for (int32_t i = 0; i < rect.Height(); ++i) {
    row(PixelAt(destination, destinationY + i, destinationStride, destinationX, 1),
        PixelAt(source, rect.top + i, sourceStride, rect.left, step), rect.Width());
  }
  return 1;
}

}  // namespace

int BgrToGray8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
               int destinationX, int destinationY, int destinationBytesPerPixel,
               int sourceBytesPerPixel, int destinationStride, int sourceStride, void*, void*) {
  return Luminance(destination, source, sourceRect, destinationX, destinationY,
                   destinationBytesPerPixel, sourceBytesPerPixel, destinationStride,
                   sourceStride, &LuminanceRow24);
}

#if defined(__x86_64__) || defined(__i386__)
int BgrToGray8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                   int destinationX, int destinationY, int destinationBytesPerPixel,
                   int sourceBytesPerPixel, int destinationStride, int sourceStride, void*,
                   void*) {
  return Luminance(destination, source, sourceRect, destinationX, destinationY,
                   destinationBytesPerPixel, sourceBytesPerPixel, destinationStride,
                   sourceStride, &LuminanceRow24Avx2);
}
#endif

RectangleKernel SelectBgrToGray8(const ProcessorInfo& processor) {
#if defined(__x86_64__) || defined(__i386__)
  if (UsableFeatures(processor) & kFeatureAvx2) return &BgrToGray8Avx2;
#endif
  (void)processor;
  return &BgrToGray8;
}

}  // namespace zirvo
