// Output files on full frames: SaveImage/<format>/<bits> for every format and
// depth, the conversions that precede the encoders, and AviAppend beside a
// plain write of the same bytes. Files go to bench-output/ in the current
// folder (the build disk) and are removed afterwards.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "bench_frames.h"
#include "convert/sample_depth.h"
#include "display/frame_bitmap.h"
#include "output/avi_recorder.h"
#include "output/record_frame.h"
#include "output/still_image_saver.h"
#include "platform/file.h"

namespace zirvo::bench {
namespace {

std::string OutputFolder() {
  std::filesystem::path folder = std::filesystem::current_path() / "bench-output";
  std::filesystem::create_directories(folder);
  return folder.string();
}

// A camera-like picture: smooth gradients with a little noise, 10-bit
// samples at 16 bits per sample.
std::unique_ptr<FrameBitmap> CameraLikeFrame(int bits) {
  auto frame = std::make_unique<FrameBitmap>();
  if (frame->Create(kFrameWidth, kFrameHeight, bits) != 1) return nullptr;
  std::mt19937 random(7);
  const int samples = bits == 16 ? 1 : bits <= 32 ? bits / 8 : bits / 16;
  const bool wide = bits == 16 || bits >= 48;
  for (int32_t y = 0; y < kFrameHeight; ++y) {
    uint8_t* row = frame->Pixels() + static_cast<std::size_t>(y) * frame->Stride();
    for (int32_t x = 0; x < kFrameWidth; ++x) {
      for (int s = 0; s < samples; ++s) {
        const uint32_t base = (x * (s + 1) / 8 + y / 6) % 1024;
        const uint32_t value = (base + random() % 8) % 1024;
        if (wide) {
          row[(x * samples + s) * 2] = static_cast<uint8_t>(value);
          row[(x * samples + s) * 2 + 1] = static_cast<uint8_t>(value >> 8);
        } else {
          row[x * samples + s] = static_cast<uint8_t>(value >> 2);
        }
      }
    }
  }
  return frame;
}

void SaveImage(benchmark::State& state, int code, int bits) {
  auto frame = CameraLikeFrame(bits);
  if (!frame) {
    state.SkipWithError("no frame");
    return;
  }
  if (!StillImageSaver::supports(code)) {
    state.SkipWithError("encoder not in this build");
    return;
  }
  const std::string name = OutputFolder() + "/still-" + std::to_string(code) + "-" + std::to_string(bits);
  int64_t bytes = 0;
  for (auto _ : state) {
    if (StillImageSaver::save(name.c_str(), frame.get(), code) != 1) {
      state.SkipWithError("save failed");
      break;
    }
    bytes += platform::FileSize(name.c_str());
  }
  state.SetBytesProcessed(bytes);
  platform::RemoveFile(name.c_str());
}

// The conversion that the PNG writer makes before encoding: a fresh frame-
// sized buffer filled by the kernel.
void PngConversion(benchmark::State& state, RectangleKernel kernel, int bits) {
  auto frame = CameraLikeFrame(bits);
  const std::size_t size = static_cast<std::size_t>(frame->Stride()) * frame->Height();
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> converted(new uint8_t[size]);
    kernel(converted.get(), frame->Pixels(), {0, 0, frame->Width(), frame->Height()}, 0, 0,
           frame->BytesPerPixel(), frame->BytesPerPixel(), frame->Stride(), frame->Stride(), nullptr,
           nullptr);
    benchmark::DoNotOptimize(converted.get());
  }
}

void RecordFrame(benchmark::State& state, int bits) {
  auto frame = CameraLikeFrame(bits);
  FrameBitmap record;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ConvertFrameForRecording(*frame, record));
  }
  state.SetBytesProcessed(state.iterations() * int64_t{record.Stride()} * record.Height());
}

constexpr int kAppendFrames = 24;  // about 1 GiB a run

void AviAppend(benchmark::State& state) {
  auto frame = CameraLikeFrame(24);
  FrameBitmap record;
  ConvertFrameForRecording(*frame, record);
  const std::string name = OutputFolder() + "/append.avi";
  AviRecorder recorder;
  for (auto _ : state) {
    state.PauseTiming();
    recorder.begin(name.c_str(), kFrameWidth, kFrameHeight, 24);
    state.ResumeTiming();
    for (int i = 0; i < kAppendFrames; ++i) {
      if (recorder.append(record.Pixels()) != 0) state.SkipWithError("append failed");
    }
    recorder.finish(3000);
  }
  state.SetBytesProcessed(state.iterations() * kAppendFrames * int64_t{recorder.frameDataSize()});
  platform::RemoveFile(name.c_str());
}

// The same bytes with nothing but whole-frame writes and a final flush.
void PlainWrite(benchmark::State& state) {
  BenchFrame frame = MakeBenchFrame(3);
  const std::string name = OutputFolder() + "/plain.bin";
  for (auto _ : state) {
    auto file = platform::OpenFileForWriting(name.c_str(), platform::FileCreation::kCreateOrTruncate);
    for (int i = 0; i < kAppendFrames; ++i) file->Write(frame.Data(), frame.bytes.size());
    file->Flush();
    file->Close();
  }
  state.SetBytesProcessed(state.iterations() * kAppendFrames * frame.Bytes());
  platform::RemoveFile(name.c_str());
}

void RegisterAll() {
  const struct {
    const char* name;
    int code;
    int iterations;  // 0: as many as the library wants
  } formats[] = {{"bmp", SaveBmp, 0},       {"raw", SaveRaw, 0},       {"jpeg100", SaveJpeg100, 2},
                 {"jpeg70", SaveJpeg70, 2}, {"jpeg20", SaveJpeg20, 2}, {"png", SavePng, 1},
                 {"tiff", SaveTiff, 0}};
  for (const auto& format : formats) {
    for (int bits : {8, 16, 24, 32, 48, 64}) {
      auto* run = benchmark::RegisterBenchmark(
          ("SaveImage/" + std::string(format.name) + "/" + std::to_string(bits)).c_str(),
          [code = format.code, bits](benchmark::State& state) { SaveImage(state, code, bits); });
      run->Unit(benchmark::kMillisecond)->UseRealTime();
      if (format.iterations > 0) run->Iterations(format.iterations);
    }
  }
  const struct {
    const char* name;
    RectangleKernel kernel;
    int bits;
  } conversions[] = {{"16", &ExpandMono16Shift4, 16},
                     {"32", &CopyBgra32InvertAlpha, 32},
                     {"48", &ExpandBgr48Shift6, 48},
                     {"64", &ExpandBgr64Shift6, 64}};
  for (const auto& conversion : conversions) {
    benchmark::RegisterBenchmark(
        ("SaveConversion/png/" + std::string(conversion.name)).c_str(),
        [kernel = conversion.kernel, bits = conversion.bits](benchmark::State& state) {
          PngConversion(state, kernel, bits);
        })
        ->Unit(benchmark::kMillisecond);
  }
  for (int bits : {8, 16, 24, 32, 48, 64}) {
    benchmark::RegisterBenchmark(("RecordFrame/" + std::to_string(bits)).c_str(),
                                 [bits](benchmark::State& state) { RecordFrame(state, bits); })
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("AviAppend", AviAppend)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
  benchmark::RegisterBenchmark("AviAppend/PlainWrite", PlainWrite)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(2);
}

const bool registered = (RegisterAll(), true);

}  // namespace
}  // namespace zirvo::bench
