// Model7730Device: the 7730QX camera, with 16-bit sensor registers, register
// caches and the sensor's window, flip, gain and exposure programming.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "device/disk_camera_device.h"

namespace zirvo {

class Model7730Device : public DiskCameraDevice {
 public:
  static constexpr uint16_t kVerifiedChip = 0x2E00;
  static constexpr int kSensorWidth = 4384;
  static constexpr int kSensorHeight = 3288;

  // Scans the enumeration and opens the first camera found.
  Model7730Device();
  ~Model7730Device() override;

  int StartStreaming() override;
  int SetCaptureWindow(int x, int y, int width, int height, int mode) override;
  int SetMirrorH(int flag) override;
  int SetMirrorV(int flag) override;
  int GetMirrorH() override;
  int GetMirrorV() override;
  int Open() override;
  int ReadFrame(void* destination, uint32_t bytes) override;
  int WriteRegister16(int address, int value) override;
  int ReadRegister16(int address, uint16_t* value) override;

  int WriteSensorRegister(int address, int value);
  int ReadSensorRegister(int address, uint16_t* value);
  int SetChannelGain(int address, int value);
  int GetChannelGain(int address, uint16_t* value);
  int SetGlobalGain(int value);
  int GetGlobalGain();
  int SetExposure(int value);
  int GetExposure(int* value);

  uint16_t GetChipId() const { return chipId_.load(); }

 private:
  // Pauses the transfer for one register change and resumes it on every path.
  class PauseScope;

  bool IsVerifiedChip() const { return chipId_.load() == kVerifiedChip; }
  static int ChannelGainSlot(int address);
  void WriteWindowRegisters(int x, int y, int width, int height, int mode);

  // Written by Open on the application thread, read by the transfer thread.
  std::atomic<uint16_t> chipId_{0};
  // Automatic exposure programs gain and exposure from the capture thread
  // while the application's thread programs the sensor: one programming
  // operation at a time, so a two-block register write is never split and
  // the caches below stay consistent. Recursive: operations build on each other.
  std::recursive_mutex programmingMutex_;
  // The rest: guarded by programmingMutex_.
  bool verification_ = false;
  int readModeCache_ = 0x41;
  int globalGainCache_ = -1;
  std::array<int, 4> channelGainCaches_{-1, -1, -1, -1};
  int exposureCache_ = -1;
};

}  // namespace zirvo
