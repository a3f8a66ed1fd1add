// Frames of the simulator's chart for conversion tests: a simulated camera on
// its own drive, read out small, with the exposure and gains under test control.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "convert/auto_iris.h"
#include "platform/raw_disk.h"
#include "support/sim_fixture.h"

namespace zirvo {
class FrameBitmap;
}

namespace zirvo::testing {

class SimScene {
 public:
  // The simulator's Bayer phase as the kernels count it: red at even rows
  // and even columns.
  static constexpr int32_t kBayerMode = 1;

  // The whole chart, every n-th pair of rows and columns so that it fits
  // width x height (both at least 8); `hotPixels` stuck-bright photosites.
  SimScene(int width, int height, unsigned hotPixels = 16, int drive = 3);
  ~SimScene();
  SimScene(const SimScene&) = delete;
  SimScene& operator=(const SimScene&) = delete;

  bool Ready() const { return disk_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  void SetExposure(int lines);
  void SetGlobalGain(int gain);
  void SetChannelGains(int red, int green1, int green2, int blue);
  // Output column and row of a point of the chart given in sensor pixels.
  int ColumnOf(int sensorColumn) const;
  int RowOf(int sensorRow) const;

  // The next frame: Width() x Height() samples, rows packed, in the order sent.
  std::vector<uint8_t> Frame();

 private:
  void Write(uint16_t address, uint16_t value);

  int width_;
  int height_;
  int pairPeriod_;
  std::unique_ptr<SimulatedCameraOnDrive> camera_;
  std::unique_ptr<platform::RawDisk> disk_;
};

// Writes packed 8-bit samples into a raw bitmap of the same size: as they are
// into an 8-bit one, times 4 (10-bit levels) into a 16-bit one.
void LoadRawFrame(FrameBitmap& raw, const std::vector<uint8_t>& samples);

// Automatic exposure's device, played by the scene: what it writes, the next
// frame shows. Like the device it reports 0 / "unknown" until first written.
class SceneExposureControl final : public ExposureControl {
 public:
  explicit SceneExposureControl(SimScene& scene) : scene_(scene) {}
  int GetGlobalGain() override { return gain_ < 0 ? 0 : gain_; }
  int SetGlobalGain(int value) override;
  int GetExposure(int* value) override;
  int SetExposure(int value) override;
  int Writes() const { return writes_; }

 private:
  SimScene& scene_;
  int gain_ = -1;
  int exposure_ = -1;
  int writes_ = 0;
};

}  // namespace zirvo::testing
