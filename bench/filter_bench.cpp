// Full-frame timings of the image filter kernels beside a plain 256-entry table pass.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "convert/brightness.h"
#include "convert/contrast.h"
#include "convert/gamma.h"
#include "convert/hue_saturation.h"
#include "convert/parameter_blocks.h"
#include "convert/processor.h"
#include "convert/sharpen.h"

namespace {

using zirvo::KernelRect;
using zirvo::RectangleKernel;

constexpr int kWidth = 4384;
constexpr int kHeight = 3288;

uint32_t MachineFeatures() {
  uint32_t features = 0;
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && __builtin_cpu_supports("bmi2")) {
    features |= zirvo::kFeatureAvx2;
  }
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq")) {
    features |= zirvo::kFeatureAvx512;
    if (__builtin_cpu_supports("avx512vbmi")) features |= zirvo::kFeatureAvx512Vbmi;
  }
  return features;
}

struct Frame {
  int bytesPerPixel;
  int stride;
  std::vector<uint8_t> bytes;
};

// Random samples; 16-bit frames hold 10-bit values like the widened camera data.
Frame MakeFrame(int bytesPerPixel) {
  Frame frame{bytesPerPixel, (kWidth * bytesPerPixel + 3) / 4 * 4, {}};
  frame.bytes.resize(static_cast<size_t>(frame.stride) * kHeight);
  std::minstd_rand random(7730);
  if (bytesPerPixel <= 4) {
    for (uint8_t& b : frame.bytes) b = static_cast<uint8_t>(random() >> 8);
  } else {
    for (size_t i = 0; i + 1 < frame.bytes.size(); i += 2) {
      const uint32_t sample = random() & 1023;
      frame.bytes[i] = static_cast<uint8_t>(sample);
      frame.bytes[i + 1] = static_cast<uint8_t>(sample >> 8);
    }
  }
  return frame;
}

void RunKernel(benchmark::State& state, RectangleKernel kernel, int bytesPerPixel, void* parameter,
               bool fromCopy) {
  Frame frame = MakeFrame(bytesPerPixel);
  const Frame copy = frame;
  const KernelRect rect{0, 0, kWidth, kHeight};
  for (auto _ : state) {
    const uint8_t* source = fromCopy ? copy.bytes.data() : frame.bytes.data();
    benchmark::DoNotOptimize(kernel(frame.bytes.data(), source, rect, 0, 0, bytesPerPixel, bytesPerPixel,
                                    frame.stride, frame.stride, parameter, nullptr));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * frame.stride * kHeight);
}

void TablePass8Baseline(benchmark::State& state) {
  Frame frame = MakeFrame(3);
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(255 - i);
  for (auto _ : state) {
    uint8_t* bytes = frame.bytes.data();
    const size_t count = frame.bytes.size();
    for (size_t i = 0; i < count; ++i) bytes[i] = table[bytes[i]];
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * frame.stride * kHeight);
}
BENCHMARK(TablePass8Baseline)->Unit(benchmark::kMillisecond);

zirvo::ValueBlock gammaBlock{140};
zirvo::ValueBlock contrastBlock{40};
zirvo::ValueBlock sharpnessBlock{12};
zirvo::ValueBlock brightnessBlock{-60};
zirvo::HueBlock hueBlock8{60, 0, 80, 8};
zirvo::HueBlock hueBlock16{60, 0, 80, 12};

void GammaBgr8(benchmark::State& state) {
  RunKernel(state, zirvo::SelectGammaKernels(MachineFeatures()).bgr8, 3, &gammaBlock, false);
}
void GammaBgr8Scalar(benchmark::State& state) { RunKernel(state, zirvo::GammaBgr8, 3, &gammaBlock, false); }
void GammaBgr16(benchmark::State& state) { RunKernel(state, zirvo::GammaBgr16, 6, &gammaBlock, false); }
void ContrastBgr8(benchmark::State& state) {
  RunKernel(state, zirvo::SelectContrastKernels(MachineFeatures()).bgr8, 3, &contrastBlock, false);
}
void ContrastBgr16(benchmark::State& state) {
  RunKernel(state, zirvo::ContrastBgr16, 6, &contrastBlock, false);
}
void BrightnessBgr8(benchmark::State& state) {
  RunKernel(state, zirvo::SelectBrightnessKernels(MachineFeatures()).bgr8, 3, &brightnessBlock, false);
}
void BrightnessBgr32(benchmark::State& state) {
  RunKernel(state, zirvo::SelectBrightnessKernels(MachineFeatures()).bgr8, 4, &brightnessBlock, false);
}
void BrightnessBgr16(benchmark::State& state) {
  RunKernel(state, zirvo::BrightnessBgr16, 6, &brightnessBlock, false);
}
void SharpenBgr8(benchmark::State& state) {
  RunKernel(state, zirvo::SelectSharpenKernels(MachineFeatures()).bgr8, 3, &sharpnessBlock, true);
}
void SharpenBgr8Avx2(benchmark::State& state) {
  RunKernel(state, zirvo::SelectSharpenKernels(zirvo::kFeatureAvx2).bgr8, 3, &sharpnessBlock, true);
}
void SharpenBgr8Baseline(benchmark::State& state) {
  RunKernel(state, zirvo::SharpenBgr8, 3, &sharpnessBlock, true);
}
void SharpenBgr16(benchmark::State& state) {
  RunKernel(state, zirvo::SelectSharpenKernels(MachineFeatures()).bgr16, 6, &sharpnessBlock, true);
}
void HueSaturationBgr8(benchmark::State& state) {
  RunKernel(state, zirvo::SelectHueSaturationBgr8(MachineFeatures()), 3, &hueBlock8, false);
}
void HueSaturationBgr8Scalar(benchmark::State& state) {
  RunKernel(state, zirvo::HueSaturationBgr8, 3, &hueBlock8, false);
}
void HueSaturationBgr16(benchmark::State& state) {
  RunKernel(state, zirvo::SelectHueSaturationBgr16(MachineFeatures()), 6, &hueBlock16, false);
}
void HueSaturationBgr16Scalar(benchmark::State& state) {
  RunKernel(state, zirvo::HueSaturationBgr16, 6, &hueBlock16, false);
}

BENCHMARK(GammaBgr8)->Unit(benchmark::kMillisecond);
BENCHMARK(GammaBgr8Scalar)->Unit(benchmark::kMillisecond);
BENCHMARK(GammaBgr16)->Unit(benchmark::kMillisecond);
BENCHMARK(ContrastBgr8)->Unit(benchmark::kMillisecond);
BENCHMARK(ContrastBgr16)->Unit(benchmark::kMillisecond);
BENCHMARK(BrightnessBgr8)->Unit(benchmark::kMillisecond);
BENCHMARK(BrightnessBgr32)->Unit(benchmark::kMillisecond);
BENCHMARK(BrightnessBgr16)->Unit(benchmark::kMillisecond);
BENCHMARK(SharpenBgr8)->Unit(benchmark::kMillisecond);
BENCHMARK(SharpenBgr8Avx2)->Unit(benchmark::kMillisecond);
BENCHMARK(SharpenBgr8Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(SharpenBgr16)->Unit(benchmark::kMillisecond);
BENCHMARK(HueSaturationBgr8)->Unit(benchmark::kMillisecond);
BENCHMARK(HueSaturationBgr8Scalar)->Unit(benchmark::kMillisecond);
BENCHMARK(HueSaturationBgr16)->Unit(benchmark::kMillisecond);
BENCHMARK(HueSaturationBgr16Scalar)->Unit(benchmark::kMillisecond);

}  // namespace
