// Frames of the simulator's chart, read over the simulated disk.
#include "support/sim_scene.h"

#include <algorithm>
#include <cstring>

#include "display/frame_bitmap.h"

namespace zirvo::testing {
namespace {

constexpr int kSensorWidth = 4384;
constexpr int kSensorHeight = 3288;
constexpr uint16_t kExposureRegister = 0x0202;
constexpr uint16_t kOutputWidthRegister = 0x034C;
constexpr uint16_t kOutputHeightRegister = 0x034E;
constexpr uint16_t kReadModeRegister = 0x3040;
constexpr uint16_t kGainGreen1Register = 0x3056;
constexpr uint16_t kGainBlueRegister = 0x3058;
constexpr uint16_t kGainRedRegister = 0x305A;
constexpr uint16_t kGainGreen2Register = 0x305C;
constexpr uint16_t kGlobalGainRegister = 0x305E;

// Output index of a sensor position under paired read-out with `period`.
int PairedIndex(int position, int period) { return (position / period) * 2 + std::min(position % period, 1); }

}  // namespace

SimScene::SimScene(int width, int height, unsigned hotPixels, int drive)
    : width_(std::max(width, 8)), height_(std::max(height, 8)) {
  pairPeriod_ = std::max(2, std::min(2 * kSensorWidth / width_, 2 * kSensorHeight / height_) & ~1);
  ZirvoSimConfig config = FastSimConfig();
  config.hot_pixels = hotPixels;
  camera_ = std::make_unique<SimulatedCameraOnDrive>(drive, config);
  if (camera_->get() == nullptr) return;
  disk_ = platform::OpenRawDisk(drive);
  if (!disk_) return;
  const int oddIncrement = pairPeriod_ - 1;
  Write(kReadModeRegister, static_cast<uint16_t>(oddIncrement | (oddIncrement << 6)));
  Write(kOutputWidthRegister, static_cast<uint16_t>(width_));
  Write(kOutputHeightRegister, static_cast<uint16_t>(height_));
}

SimScene::~SimScene() {
  disk_.reset();
  camera_.reset();
}

void SimScene::Write(uint16_t address, uint16_t value) {
  if (disk_) WriteRegisterOverWire(*disk_, address, value);
}

void SimScene::SetExposure(int lines) { Write(kExposureRegister, static_cast<uint16_t>(lines)); }
void SimScene::SetGlobalGain(int gain) { Write(kGlobalGainRegister, static_cast<uint16_t>(gain)); }

void SimScene::SetChannelGains(int red, int green1, int green2, int blue) {
  Write(kGainRedRegister, static_cast<uint16_t>(red));
  Write(kGainGreen1Register, static_cast<uint16_t>(green1));
  Write(kGainGreen2Register, static_cast<uint16_t>(green2));
  Write(kGainBlueRegister, static_cast<uint16_t>(blue));
}

int SimScene::ColumnOf(int sensorColumn) const { return PairedIndex(sensorColumn, pairPeriod_); }
int SimScene::RowOf(int sensorRow) const { return PairedIndex(sensorRow, pairPeriod_); }

std::vector<uint8_t> SimScene::Frame() {
  std::vector<uint8_t> frame;
  const auto bytes = static_cast<uint32_t>(width_ * height_);
  if (!disk_ || !SendCommand(*disk_, 0x10) || !ReadFrameArea(*disk_, frame, bytes)) frame.clear();
  return frame;
}

void LoadRawFrame(FrameBitmap& raw, const std::vector<uint8_t>& samples) {
  const auto width = static_cast<size_t>(raw.Width());
  for (int32_t row = 0; row < raw.Height(); ++row) {
    uint8_t* line = raw.Pixels() + static_cast<size_t>(row) * raw.Stride();
    const uint8_t* in = samples.data() + static_cast<size_t>(row) * width;
    if (raw.BitsPerPixel() == 8) {
      std::memcpy(line, in, width);
      continue;
    }
    for (size_t i = 0; i < width; ++i) {
      const auto word = static_cast<uint16_t>(in[i] * 4);
      line[2 * i] = static_cast<uint8_t>(word);
      line[2 * i + 1] = static_cast<uint8_t>(word >> 8);
    }
  }
}

int SceneExposureControl::SetGlobalGain(int value) {
  gain_ = std::min(value & 0xFFFF, 127);
  scene_.SetGlobalGain(gain_);
  ++writes_;
  return 1;
}

int SceneExposureControl::GetExposure(int* value) {
  if (exposure_ < 0) return 0;
  if (value) *value = exposure_;
  return 1;
}

int SceneExposureControl::SetExposure(int value) {
  exposure_ = value & 0xFFFF;
  scene_.SetExposure(exposure_);
  ++writes_;
  return 1;
}

}  // namespace zirvo::testing
