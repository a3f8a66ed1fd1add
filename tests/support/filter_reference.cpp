// Literal references of the tone and colour filters and the random test images they run on.
#include "support/filter_reference.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "convert/processor.h"

namespace zirvo::test {

uint32_t TestImage::Sample(int x, int y, int channel, int sampleBytes) const {
  const size_t offset =
      static_cast<size_t>(y) * stride + static_cast<size_t>(x) * step + channel * sampleBytes;
  if (sampleBytes == 1) return bytes[offset];
  return bytes[offset] | (uint32_t{bytes[offset + 1]} << 8);
}

void TestImage::SetSample(int x, int y, int channel, int sampleBytes, uint32_t value) {
  const size_t offset =
      static_cast<size_t>(y) * stride + static_cast<size_t>(x) * step + channel * sampleBytes;
  bytes[offset] = static_cast<uint8_t>(value);
  if (sampleBytes == 2) bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

TestImage RandomImage(int width, int height, int step, std::mt19937& random) {
  TestImage image;
  image.width = width;
  image.height = height;
  image.step = step;
  image.stride = (width * step + 3) / 4 * 4;
  image.bytes.resize(static_cast<size_t>(image.stride) * height);
  std::uniform_int_distribution<int> byte(0, 255);
  for (uint8_t& b : image.bytes) b = static_cast<uint8_t>(byte(random));
  return image;
}

TestImage RandomWordImage(int width, int height, int step, uint32_t maximum, std::mt19937& random) {
  TestImage image = RandomImage(width, height, step, random);
  std::uniform_int_distribution<uint32_t> sample(0, maximum);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < step / 2; ++c) image.SetSample(x, y, c, 2, sample(random));
    }
  }
  return image;
}

std::vector<uint32_t> RunnableFeatureSets() {
  std::vector<uint32_t> sets{0};
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi2")) {
    sets.push_back(kFeatureAvx2);
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq")) {
      sets.push_back(kFeatureAvx2 | kFeatureAvx512);
      if (__builtin_cpu_supports("avx512vbmi")) {
        sets.push_back(kFeatureAvx2 | kFeatureAvx512 | kFeatureAvx512Vbmi);
      }
    }
  }
  return sets;
}

int RunKernel(RectangleKernel kernel, TestImage& destination, const TestImage& source, const KernelRect& rect,
              int destinationX, int destinationY, void* parameter) {
  return kernel(destination.data(), source.data(), rect, destinationX, destinationY, destination.step,
                source.step, destination.stride, source.stride, parameter, nullptr);
}

std::vector<uint32_t> ReferenceGammaTable(int32_t gamma, int top) {
  double e = gamma > 100 ? (gamma - 100) * 0.1 + 1 : gamma * 0.01;
  if (e <= 0.001) e = 0.001;
  if (e >= 99.999) e = 99.999;
  std::vector<uint32_t> table(static_cast<size_t>(top) + 1);
  const long double lmax = std::log10(static_cast<long double>(top));
  table[0] = 0;
  for (int i = 1; i <= top; ++i) {
    const long double m = lmax + e * (std::log10(static_cast<long double>(i)) - lmax);
    if (m < 0) {
      table[i] = 1;
      continue;
    }
    table[i] = top;
    for (int j = 3; j <= top; ++j) {
      if (std::log10(static_cast<long double>(j - 2)) <= m && m <= std::log10(static_cast<long double>(j))) {
        table[i] = j - 1;
        break;
      }
    }
  }
  return table;
}

std::vector<uint32_t> ReferenceContrastTable8(int32_t ct) {
  std::vector<uint32_t> table(256);
  for (int i = 0; i < 256; ++i) {
    if (i < ct) {
      table[i] = 0;
    } else if (i > 255 - ct) {
      table[i] = 255;
    } else {
      table[i] = static_cast<uint32_t>(std::trunc(256.0 / (2 * (128 - ct)) * (i - ct)));
    }
  }
  return table;
}

std::vector<uint32_t> ReferenceContrastTable16(int32_t contrast) {
  const int ct16 = contrast * 16;
  std::vector<uint32_t> table(4096);
  for (int i = 0; i < 4096; ++i) {
    if (i < ct16) {
      table[i] = 0;
    } else if (i > 4095 - ct16) {
      table[i] = 4095;
    } else {
      table[i] = static_cast<uint32_t>(std::trunc(4096.0 / (2 * (2048 - ct16)) * (i - ct16)));
    }
  }
  return table;
}

uint32_t ReferenceBrightness(int32_t b, uint32_t sample, uint32_t top) {
  double k = 1;
  if (b < 0) k = 1 - std::abs(b) * (1.0 / 255);
  if (b > 0) k = 1 + b * (10.0 / 255);
  const double value = std::trunc(k * sample);
  if (value < 0) return 0;
  if (value > top) return top;
  return static_cast<uint32_t>(value);
}

void ReferenceMap(TestImage& destination, const TestImage& source, const KernelRect& rect, int destinationX,
                  int destinationY, int channels, int sampleBytes, const std::vector<uint32_t>& table) {
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) {
      for (int c = 0; c < channels; ++c) {
        const uint32_t sample = std::min<uint32_t>(source.Sample(x, y, c, sampleBytes), table.size() - 1);
        destination.SetSample(destinationX + x - rect.left, destinationY + y - rect.top, c, sampleBytes,
                              table[sample]);
      }
    }
  }
}

void ReferenceSharpen(TestImage& destination, const TestImage& source, const KernelRect& rect,
                      int destinationX, int destinationY, int channels, int sampleBytes, int32_t a) {
  const int top = sampleBytes == 1 ? 255 : 1023;
  std::vector<int32_t> d(2 * top + 2);
  for (int n = 0; n < static_cast<int>(d.size()); ++n) d[n] = (a * (n - top)) / 10;
  const int w = rect.Width();
  const int h = rect.Height();
  const auto dx = [&](int x) { return destinationX + x; };
  const auto dy = [&](int y) { return destinationY + y; };
  for (int y = 2; y <= h - 3; ++y) {
    for (int x = 2; x <= w - 3; ++x) {
      for (int c = 0; c < channels; ++c) {
        uint32_t sum = 0;
        for (int v = y - 2; v <= y + 1; ++v) {
          for (int u = x - 2; u <= x + 1; ++u)
            sum += source.Sample(rect.left + u, rect.top + v, c, sampleBytes);
        }
        destination.SetSample(dx(x), dy(y), c, sampleBytes, sum >> 4);
      }
    }
  }
  for (int y = 2; y <= h - 3; ++y) {
    for (int x = 2; x <= w - 3; ++x) {
      for (int c = 0; c < channels; ++c) {
        const int o = static_cast<int>(source.Sample(rect.left + x, rect.top + y, c, sampleBytes));
        const int u = static_cast<int>(destination.Sample(dx(x), dy(y), c, sampleBytes));
        // Differences beyond the table's span read its end entries.
        const int index = std::clamp(o - u + top, 0, 2 * top + 1);
        destination.SetSample(dx(x), dy(y), c, sampleBytes, std::clamp(o + d[index], 0, top));
      }
    }
  }
}

namespace {

constexpr int32_t kMask[12] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
                               0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
constexpr int32_t kMultiplier[12] = {-1, 256, -65536, 1, -256, 65536, -1, 256, -65536, 1, -256, 65536};

}  // namespace

ReferenceHueSaturation::ReferenceHueSaturation(int32_t hue, int32_t lightness, int32_t saturation) {
  q[0] = 0;
  for (int i = 1; i < 256; ++i) q[i] = 0xFF0000u / i;
  for (int i = 0; i < 256; ++i) g3[i] = i * 0x10101;
  const int32_t satParam = (saturation + 256) * 256;
  const int32_t lightParam = lightness * 256;
  const int32_t l = (lightParam + 128) >> 8;
  const int32_t x = l <= 0 ? 0 : 0x1FF;
  const int32_t d = l <= 0 ? l + 256 : 256 - l;
  for (int k = 0; k < 512; ++k) {
    const int32_t v = (((k ^ x) * d + 128) >> 8) ^ x;
    tSum[k] = v;
    tCap[k] = v < 256 ? v : 511 - v;
  }
  for (int n = 0; n < 256; ++n) s[n] = (0x8000 + n * satParam) >> 16;
  const int32_t h = (((hue * 256) & 0xFFFF) * 6) >> 8;
  const int32_t third = (h + 256) / 512;
  int32_t am = h % 512;
  if (am >= 256) am -= 512;
  int32_t shift = (third % 3) * 510 + am;
  if (shift < 0) shift += 1530;
  if (shift >= 1530) shift -= 1530;
  shiftQuotient = shift / 255;
  shiftRemainder = shift % 255;
}

uint32_t ReferenceHueSaturation::Pixel(int32_t b, int32_t g, int32_t r) const {
  int32_t max, min, num, base;
  if (r >= g) {
    max = r;
    min = g;
    num = g - b;
    base = 1;
  } else {
    max = g;
    min = r;
    num = b - r;
    base = 3;
  }
  if (b > max) {
    max = b;
    num = r - g;
    base = 5;
  }
  if (b < min) min = b;
  const int32_t delta = max - min;
  if (num < 0) {
    base = base - 1;
    num = num + delta;
  }
  const int32_t sum = max + min;
  int32_t sc = s[delta];
  if (sc > tCap[sum]) sc = tCap[sum];
  const int32_t lo = (tSum[sum] - sc) >> 1;
  const int32_t chroma = ((tSum[sum] + sc) >> 1) - lo;
  if (delta == 0) return static_cast<uint32_t>(g3[lo]);
  int32_t p = static_cast<int32_t>((q[delta] * static_cast<uint32_t>(num) + 0x8000) >> 16) + shiftRemainder;
  int32_t sextant = base + shiftQuotient;
  if (p >= 255) {
    p = p - 255;
    sextant = sextant + 1;
  }
  return static_cast<uint32_t>(g3[lo] + (g3[chroma] & kMask[sextant]) +
                               ((chroma * p + 128) >> 8) * kMultiplier[sextant]);
}

void ReferenceHueSaturation8(TestImage& destination, const TestImage& source, const KernelRect& rect,
                             int destinationX, int destinationY, int32_t hue, int32_t saturation) {
  const ReferenceHueSaturation reference(hue, 0, saturation);
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) {
      const uint32_t result = reference.Pixel(static_cast<int32_t>(source.Sample(x, y, 0, 1)),
                                              static_cast<int32_t>(source.Sample(x, y, 1, 1)),
                                              static_cast<int32_t>(source.Sample(x, y, 2, 1)));
      for (int c = 0; c < 3; ++c) {
        destination.SetSample(destinationX + x - rect.left, destinationY + y - rect.top, c, 1,
                              (result >> (8 * c)) & 0xFF);
      }
    }
  }
}

}  // namespace zirvo::test
