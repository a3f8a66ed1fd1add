// Gamma tables (searched over extended-precision logarithms, cached per setting) and the gamma kernels.
#include "convert/gamma.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

#include "convert/parameter_blocks.h"
#include "convert/processor.h"

namespace zirvo {

double GammaExponent(int32_t gamma) {
  const double g = static_cast<double>(gamma);
  const double e = gamma > 100 ? (g - 100) * 0.1 + 1 : g * 0.01;
  return std::clamp(e, 0.001, 99.999);
}

namespace {

// Every Gamma at or below 0 has the exponent of 0, every one from 1090 up that of 1090.
constexpr int32_t kGammaKeyCount = 1091;

int32_t GammaKey(int32_t gamma) { return std::clamp<int32_t>(gamma, 0, kGammaKeyCount - 1); }

std::vector<long double> DecimalLogarithms(int top) {
  std::vector<long double> logarithm(static_cast<size_t>(top) + 1, 0.0L);
  for (int j = 1; j <= top; ++j) logarithm[j] = std::log10(static_cast<long double>(j));
  return logarithm;
}

bool IsStrictlyIncreasing(const std::vector<long double>& values) {
  return std::adjacent_find(values.begin() + 1, values.end(),
                            [](long double a, long double b) { return a >= b; }) == values.end();
}

// The first j in 3..top with log(j - 2) <= m <= log(j), or 0.
int FirstBracket(const std::vector<long double>& logarithm, int top, long double m, bool increasing) {
  if (increasing) {
    // With increasing logarithms the first j with m <= log(j) has log(j - 2) < m.
    const auto found = std::lower_bound(logarithm.begin() + 3, logarithm.end(), m);
    if (found == logarithm.end()) return 0;
    const int j = static_cast<int>(found - logarithm.begin());
    return logarithm[j - 2] <= m ? j : 0;
  }
  for (int j = 3; j <= top; ++j) {
    if (logarithm[j - 2] <= m && m <= logarithm[j]) return j;
  }
  return 0;
}

template <typename Entry>
void BuildGammaTable(int32_t gamma, Entry* table, int top) {
  const std::vector<long double> logarithm = DecimalLogarithms(top);
  const bool increasing = IsStrictlyIncreasing(logarithm);
  const long double exponent = GammaExponent(gamma);
  const long double maximum = logarithm[top];
  table[0] = 0;
  for (int i = 1; i <= top; ++i) {
    const long double m = maximum + exponent * (logarithm[i] - maximum);
    if (m < 0) {
      table[i] = 1;
      continue;
    }
    const int j = FirstBracket(logarithm, top, m, increasing);
    table[i] = static_cast<Entry>(j == 0 ? top : j - 1);
  }
}

// Tables are published through atomics so readers never lock; builders
// (any converting thread) serialise on the mutex.
template <typename Entry, int Size>
class GammaTableCache {
 public:
  const Entry* Get(int32_t gamma) {
    const int32_t key = GammaKey(gamma);
    const Entry* table = published_[key].load(std::memory_order_acquire);
    return table != nullptr ? table : Build(key);
  }

 private:
  const Entry* Build(int32_t key) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!owned_[key]) {
      auto table = std::make_unique<std::array<Entry, Size>>();
      BuildGammaTable(key, table->data(), Size - 1);
      owned_[key] = std::move(table);
      published_[key].store(owned_[key]->data(), std::memory_order_release);
    }
    return owned_[key]->data();
  }

  std::array<std::atomic<const Entry*>, kGammaKeyCount> published_{};
  std::array<std::unique_ptr<std::array<Entry, Size>>, kGammaKeyCount> owned_;
  std::mutex mutex_;
};

GammaTableCache<uint8_t, kGammaTable8Size>& Cache8() {
  static GammaTableCache<uint8_t, kGammaTable8Size> cache;
  return cache;
}

GammaTableCache<uint16_t, kGammaTable16Size>& Cache16() {
  static GammaTableCache<uint16_t, kGammaTable16Size> cache;
  return cache;
}

int Gamma8(const PixelWalk& walk, void* parameter, int channels, ByteTablePass pass) {
  if (parameter == nullptr) return 0;
  const auto* block = static_cast<const ValueBlock*>(parameter);
  return RunByteTablePass(walk, channels, GammaTable8(block->value), pass);
}

int Gamma16(const PixelWalk& walk, void* parameter, int channels) {
  if (parameter == nullptr) return 0;
  const auto* block = static_cast<const ValueBlock*>(parameter);
  return RunWordTablePass(walk, channels, GammaTable16(block->value), kGammaTable16Size);
}

}  // namespace

const uint8_t* GammaTable8(int32_t gamma) { return Cache8().Get(gamma); }

const uint16_t* GammaTable16(int32_t gamma) { return Cache16().Get(gamma); }

int GammaMono8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
               int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
               void* parameter, void*) {
  return Gamma8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                              sourceStep, destinationStride, sourceStride),
                parameter, 1, MapByteTable);
}

int GammaBgr8(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
              int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
              void* parameter, void*) {
  return Gamma8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                              sourceStep, destinationStride, sourceStride),
                parameter, 3, MapByteTable);
}

int GammaMono8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                   int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                   void* parameter, void*) {
  return Gamma8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                              destinationStride, sourceStride),
                parameter, 1, MapByteTableAvx2);
}

int GammaBgr8Avx2(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                  int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
                  void* parameter, void*) {
  return Gamma8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                              destinationStride, sourceStride),
                parameter, 3, MapByteTableAvx2);
}

int GammaMono8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                         int destinationX, int destinationY, int destinationStep, int sourceStep,
                         int destinationStride, int sourceStride, void* parameter, void*) {
  return Gamma8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                              sourceStep, destinationStride, sourceStride),
                parameter, 1, MapByteTableAvx512Vbmi);
}

int GammaBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                        int destinationY, int destinationStep, int sourceStep, int destinationStride,
                        int sourceStride, void* parameter, void*) {
  return Gamma8(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                              sourceStep, destinationStride, sourceStride),
                parameter, 3, MapByteTableAvx512Vbmi);
}

int GammaMono16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
                int destinationY, int destinationStep, int sourceStep, int destinationStride,
                int sourceStride, void* parameter, void*) {
  return Gamma16(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                               sourceStep, destinationStride, sourceStride),
                 parameter, 1);
}

int GammaBgr16(uint8_t* destination, const uint8_t* source, const KernelRect& rect, int destinationX,
               int destinationY, int destinationStep, int sourceStep, int destinationStride, int sourceStride,
               void* parameter, void*) {
  return Gamma16(MakePixelWalk(destination, source, rect, destinationX, destinationY, destinationStep,
                               sourceStep, destinationStride, sourceStride),
                 parameter, 3);
}

ToneKernels SelectGammaKernels(uint32_t usableFeatures) {
  if (HasAvx512Vbmi(usableFeatures)) {
    return {GammaMono8Avx512Vbmi, GammaMono16, GammaBgr8Avx512Vbmi, GammaBgr16};
  }
  if ((usableFeatures & kFeatureAvx2) != 0) {
    return {GammaMono8Avx2, GammaMono16, GammaBgr8Avx2, GammaBgr16};
  }
  return {GammaMono8, GammaMono16, GammaBgr8, GammaBgr16};
}

}  // namespace zirvo
