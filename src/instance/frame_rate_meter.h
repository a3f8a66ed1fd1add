// FrameRateMeter: frames per second x 10 over intervals of just over a second.
#pragma once

#include <cstdint>

namespace zirvo {

// Counts frames and, once more than a second has passed since the last
// update, sets the rate to frames x 10000 / elapsed milliseconds (truncated)
// and starts a new interval. The rate stays until the next update; it is 0
// until the first one. Times are wrapping milliseconds.
class FrameRateMeter {
 public:
  static constexpr uint32_t kIntervalMilliseconds = 1000;

  // Forgets the rate and starts an interval at `now`.
  void Restart(uint32_t now);
  // Counts one frame that arrived at `now`; returns the rate x 10.
  int32_t CountFrame(uint32_t now);
  int32_t RateTimes10() const { return rateTimes10_; }

 private:
  int32_t framesSinceUpdate_ = 0;
  uint32_t updateTime_ = 0;
  int32_t rateTimes10_ = 0;
};

}  // namespace zirvo
