// Demo of the library through its public interface: opens the camera (or the
// simulated one when none is attached), prints its information, takes
// snapshots in several colour modes and saves them, runs a callback preview
// printing the frame rate, records a short AVI, and lists the files it left.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "ZirvoSdk_USB3_7730QX.h"
#include "zirvo_camsim.h"
#include "zirvo_port.h"

namespace {

constexpr int kSimulatorDrive = 1;
constexpr int kSensorWidth = 4384;
constexpr int kSensorHeight = 3288;

struct Options {
  int previewSeconds = 4;
  int recordMilliseconds = 2000;
  int width = 2048;
  int height = 1536;
  bool unpaced = false;
  bool simulatorOnly = false;
  std::filesystem::path outputFolder = "demo-output";
};

void PrintUsage(const char* program) {
  std::printf(
      "usage: %s [--out DIR] [--seconds N] [--record-ms N] [--window WxH | --full-frame]\n"
      "          [--unpaced] [--simulator]\n"
      "  --out DIR        where the pictures and the recording go (default ./demo-output)\n"
      "  --seconds N      callback preview for N seconds (default 4)\n"
      "  --record-ms N    length of the recording in milliseconds (default 2000)\n"
      "  --window WxH     capture window, centred on the sensor (default 2048x1536)\n"
      "  --full-frame     the whole sensor, 4384x3288\n"
      "  --unpaced        the simulated camera serves frames as fast as they are read\n"
      "  --simulator      use the simulated camera even if a real one is attached\n",
      program);
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--out" && hasValue) {
      options.outputFolder = argv[++i];
    } else if (argument == "--seconds" && hasValue) {
      options.previewSeconds = std::atoi(argv[++i]);
      if (options.previewSeconds < 1 || options.previewSeconds > 3600) return false;
    } else if (argument == "--record-ms" && hasValue) {
      options.recordMilliseconds = std::atoi(argv[++i]);
      if (options.recordMilliseconds < 100 || options.recordMilliseconds > 600000) return false;
    } else if (argument == "--window" && hasValue) {
      if (std::sscanf(argv[++i], "%dx%d", &options.width, &options.height) != 2) return false;
      if (options.width < 8 || options.height < 8 || options.width > kSensorWidth ||
          options.height > kSensorHeight)
        return false;
    } else if (argument == "--full-frame") {
      options.width = kSensorWidth;
      options.height = kSensorHeight;
    } else if (argument == "--unpaced") {
      options.unpaced = true;
    } else if (argument == "--simulator") {
      options.simulatorOnly = true;
    } else {
      return false;
    }
  }
  return true;
}

// The simulated camera, attached only when no real camera answers.
class SimulatorAttachment {
 public:
  explicit SimulatorAttachment(bool unpaced) {
    // Only virtual disks from here on: nothing can reach a host disk.
    ZirvoSim_HideHostDisks(1);
    ZirvoSimConfig config;
    ZirvoSim_DefaultConfig(&config);
    config.paced = unpaced ? 0 : 1;
    config.animated = 1;
    camera_ = ZirvoSim_Attach(kSimulatorDrive, &config);
  }
  ~SimulatorAttachment() { ZirvoSim_Detach(camera_); }
  SimulatorAttachment(const SimulatorAttachment&) = delete;
  SimulatorAttachment& operator=(const SimulatorAttachment&) = delete;
  bool IsAttached() const { return camera_ != nullptr; }

 private:
  ZirvoSimCamera* camera_ = nullptr;
};

std::string ErrorText(int handle) {
  std::string codes;
  for (int code, n = 0; n < 20 && (code = Zirvo_GetLastError(handle)) != 0; ++n) {
    codes += (codes.empty() ? "" : ", ") + std::to_string(code);
  }
  return codes.empty() ? "no error code" : "error " + codes;
}

int CameraCount(int handle) {
  std::vector<char> names(std::size_t(ZIRVO_DEVICE_NAME_ENTRY) * 16);
  return Zirvo_EnumDevice(handle, names.data());
}

// Opens a camera handle on an attached camera, attaching the simulated one
// when asked to or when none answers.
int OpenCamera(const Options& options, std::unique_ptr<SimulatorAttachment>& simulator) {
  if (!options.simulatorOnly) {
    // The probe only reads each disk's identity sector; nothing is written to
    // a disk that does not answer as a camera.
    const int handle = Zirvo_Initialize(nullptr);
    if (handle != 0 && CameraCount(handle) > 0) return handle;
    if (handle != 0) Zirvo_Release(handle);
  }
  simulator = std::make_unique<SimulatorAttachment>(options.unpaced);
  if (!simulator->IsAttached()) return 0;
  const int handle = Zirvo_Initialize(nullptr);
  if (handle != 0 && CameraCount(handle) > 0) return handle;
  if (handle != 0) Zirvo_Release(handle);
  return 0;
}

void PrintCameraInformation(int handle, bool simulated, const Options& options) {
  char name[64] = "";
  Zirvo_GetDeviceName(handle, 0, name, int(sizeof name));
  CameraInfo info{};
  info.recordSize = int32_t(sizeof info);
  Zirvo_GetCameraInfo(handle, &info);
  const int version = Zirvo_GetDllVersion();
  std::printf("library         : version %d.%d.%d.%d\n", (version >> 24) & 0xFF, (version >> 16) & 0xFF,
              (version >> 8) & 0xFF, version & 0xFF);
  std::printf("camera          : %s (%s), %d attached\n", name,
              simulated ? (options.unpaced ? "simulated, unpaced" : "simulated") : "attached", CameraCount(handle));
  std::printf("sensor          : %d x %d, gain %d..%d, colour gain %d..%d, exposure %d..%d lines\n",
              info.maxWidth, info.maxHeight, info.gainMin, info.gainMax, info.colorGainMin, info.colorGainMax,
              info.exposureMin, info.exposureMax);
  int totalWidth = 0, left = 0, width = 0, totalHeight = 0, top = 0, height = 0;
  Zirvo_GetCaptureWindowEx(handle, &totalWidth, &left, &width, &totalHeight, &top, &height);
  int ok = 0;
  std::printf("capture window  : %d x %d at %d, %d; exposure %d lines = %d us, gain %d\n", width, height, left, top,
              Zirvo_GetExposureTime(handle, &ok), Zirvo_GetRealExposureTime(handle, &ok),
              Zirvo_GetGlobalGain(handle, &ok));
}

struct SavedFile {
  std::filesystem::path path;
  std::string what;
};

bool Save(int handle, const std::filesystem::path& path, int format, const char* what,
          std::vector<SavedFile>& saved) {
  if (Zirvo_SaveImage(handle, path.string().c_str(), format) != 1) {
    std::fprintf(stderr, "saving %s failed (%s)\n", path.string().c_str(), ErrorText(handle).c_str());
    return false;
  }
  saved.push_back({path, what});
  return true;
}

// One snapshot per colour mode, each saved in the formats that suit it.
bool TakeSnapshots(int handle, const std::filesystem::path& folder, std::vector<SavedFile>& saved) {
  struct Shot {
    int bits;
    const char* stem;
    std::vector<std::pair<int, const char*>> formats;
  };
  const std::vector<Shot> shots = {
      {24, "colour24", {{SAVE_FORMAT_PNG, ".png"}, {SAVE_FORMAT_JPEG_100, ".jpg"}, {SAVE_FORMAT_TIFF, ".tif"},
                        {SAVE_FORMAT_BMP, ".bmp"}}},
      {8, "mono8", {{SAVE_FORMAT_PNG, ".png"}, {SAVE_FORMAT_BMP, ".bmp"}}},
      {48, "colour48", {{SAVE_FORMAT_PNG, ".png"}, {SAVE_FORMAT_TIFF, ".tif"}}},
      {32, "colour32", {{SAVE_FORMAT_JPEG_70, ".jpg"}}},
  };
  bool complete = true;
  for (const Shot& shot : shots) {
    if (Zirvo_SetColorMode(handle, shot.bits) != 1 || Zirvo_SnapShot(handle, nullptr, 0, 1) != 1) {
      std::fprintf(stderr, "snapshot in %d-bit colour mode failed (%s)\n", shot.bits, ErrorText(handle).c_str());
      complete = false;
      continue;
    }
    std::printf("snapshot        : %d-bit colour mode\n", shot.bits);
    for (const auto& [format, extension] : shot.formats) {
      const std::string what = std::to_string(shot.bits) + "-bit snapshot";
      complete = Save(handle, folder / (std::string(shot.stem) + extension), format, what.c_str(), saved) &&
                 complete;
    }
  }
  return complete;
}

// A callback preview: frames arrive as WM_CAMERA_FRAME messages pointing at
// FrameInfo, with the image already copied into our buffer.
bool RunCallbackPreview(int handle, int seconds) {
  if (Zirvo_SetColorMode(handle, 24) != 1) return false;
  int width = Zirvo_Width(handle);
  int height = Zirvo_Height(handle);
  const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t{3};
  std::vector<uint8_t> buffer(stride * std::size_t(height));
  HWND window = ZirvoPort_CreateMessageWindow();
  if (window == nullptr) return false;
  if (Zirvo_CallBackPreview(handle, window, buffer.data(), int(buffer.size()), 1) != 1) {
    std::fprintf(stderr, "callback preview failed (%s)\n", ErrorText(handle).c_str());
    ZirvoPort_DestroyWindow(window);
    return false;
  }
  std::printf("callback preview: %d s, 24-bit colour, %d x %d\n", seconds, width, height);
  int frames = 0;
  int failures = 0;
  int rateTimes10 = 0;
  const uint32_t start = ZirvoPort_TimeGetTime();
  uint32_t nextReport = start + 1000;
  for (;;) {
    const uint32_t now = ZirvoPort_TimeGetTime();
    if (int32_t(now - start) >= seconds * 1000) break;
    if (int32_t(now - nextReport) >= 0) {
      std::printf("  after %2u s    : %4d frames received, %5.2f frames/s (FrameInfo)\n", (now - start) / 1000,
                  frames, rateTimes10 / 10.0);
      nextReport += 1000;
    }
    ZirvoPortMessage message{};
    if (ZirvoPort_GetMessage(window, &message, 50) != 1 || message.message != WM_CAMERA_FRAME) continue;
    if (message.wParam == 0) {
      ++failures;
      std::fprintf(stderr, "  frame failure %ld\n", long(message.lParam));
      continue;
    }
    const FrameInfo* info = reinterpret_cast<const FrameInfo*>(message.wParam);
    rateTimes10 = info->frameRateTimes10;
    ++frames;
  }
  Zirvo_StopPreview(handle);
  ZirvoPort_DestroyWindow(window);
  std::printf("callback preview: %d frames received, last rate %.1f frames/s, %d failures\n", frames,
              rateTimes10 / 10.0, failures);
  return frames > 0 && failures == 0;
}

// Uncompressed frames are large: the clip is recorded at a quarter of the
// window's width and height (sub-sample mode 2).
bool RecordClip(int handle, const std::filesystem::path& path, int milliseconds, std::vector<SavedFile>& saved) {
  if (Zirvo_SetColorMode(handle, 24) != 1 || Zirvo_SetSubSample(handle, 2) != 1) return false;
  if (Zirvo_Record(handle, path.string().c_str(), unsigned(milliseconds), 1) != 1) {
    std::fprintf(stderr, "recording failed (%s)\n", ErrorText(handle).c_str());
    return false;
  }
  std::printf("recording       : %d ms, 24-bit colour, %d x %d (sub-sampled by 4)\n", milliseconds,
              Zirvo_Width(handle) / 4, Zirvo_Height(handle) / 4);
  // The recording ends by itself after its duration; some slack for the
  // first frame to arrive.
  ZirvoPort_Sleep(uint32_t(milliseconds) + 1500);
  Zirvo_StopPreview(handle);
  Zirvo_Close(handle);
  Zirvo_SetSubSample(handle, 0);
  saved.push_back({path, "AVI recording"});
  return true;
}

void CentreCaptureWindow(int handle, const Options& options) {
  const int left = (kSensorWidth - options.width) / 2 & ~1;
  const int top = (kSensorHeight - options.height) / 2 & ~1;
  Zirvo_SetCaptureWindowEx(handle, kSensorWidth, left, options.width, kSensorHeight, top, options.height);
  Zirvo_SetSubSample(handle, 0);
  // A bright, neutral picture: exposure and gains the chart was made for.
  Zirvo_SetExposureTime(handle, 600);
  Zirvo_SetGlobalGain(handle, 100);
}

int RunDemo(const Options& options) {
  std::unique_ptr<SimulatorAttachment> simulator;
  const int handle = OpenCamera(options, simulator);
  if (handle == 0) {
    std::fprintf(stderr, "no camera found, and the simulated camera could not be attached\n");
    return 1;
  }
  std::error_code error;
  std::filesystem::create_directories(options.outputFolder, error);
  const std::filesystem::path folder = std::filesystem::absolute(options.outputFolder, error);
  CentreCaptureWindow(handle, options);
  // The simulated sensor's colour filter starts with a red site at an even
  // window origin.
  if (simulator) Zirvo_SetBayerMode(handle, 1);
  while (Zirvo_GetLastError(handle) != 0) {
  }
  PrintCameraInformation(handle, simulator != nullptr, options);

  std::vector<SavedFile> saved;
  bool complete = TakeSnapshots(handle, folder, saved);
  complete = RunCallbackPreview(handle, options.previewSeconds) && complete;
  Zirvo_Close(handle);
  complete = RecordClip(handle, folder / "recording.avi", options.recordMilliseconds, saved) && complete;
  Zirvo_Release(handle);

  std::printf("\nfiles left:\n");
  for (const SavedFile& file : saved) {
    const auto size = std::filesystem::file_size(file.path, error);
    std::printf("  %-60s %10llu bytes  %s\n", file.path.string().c_str(),
                error ? 0ull : static_cast<unsigned long long>(size), file.what.c_str());
  }
  return complete ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Progress lines as they happen, also into a pipe or a file.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    PrintUsage(argv[0]);
    return 2;
  }
  return RunDemo(options);
}
