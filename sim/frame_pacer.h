// When the sensor has a frame ready: its frame time, its free-running schedule and slowed frames.
#pragma once

#include <cstdint>

#include "sensor_registers.h"

namespace zirvo::sim {

// Not thread-safe: the camera's lock guards it. Times are microseconds on the
// camera's own time line, extended from the SDK's wrapping millisecond clock
// so that frame times need not be whole milliseconds.
class FramePacer {
 public:
  explicit FramePacer(bool paced) : paced_(paced) {}

  uint64_t Now();
  // (line length / 2) x max(frame length, exposure + 1) at a 96 MHz pixel clock.
  static uint64_t FrameTime(const SensorRegisters& registers);

  // The sensor runs free from the first time it is asked for a frame.
  void Start(uint64_t now, const SensorRegisters& registers);
  bool Ready(uint64_t now, const SensorRegisters& registers);
  // When a frame read arriving now can be answered.
  uint64_t Due(uint64_t now, const SensorRegisters& registers);
  void Served(uint64_t now, const SensorRegisters& registers);

  // Each of the next `count` frame reads takes at least `milliseconds`.
  void SetSlowFrames(unsigned count, unsigned milliseconds);

 private:
  const bool paced_;
  bool running_ = false;
  uint64_t nextFrame_ = 0;
  bool clockSeen_ = false;
  uint32_t lastClock_ = 0;
  uint64_t elapsed_ = 0;
  unsigned slowFrames_ = 0;
  unsigned slowFrameMilliseconds_ = 0;
};

}  // namespace zirvo::sim
