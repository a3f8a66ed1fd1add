// FrameRateMeter: rate updates at most once a second.
#include "instance/frame_rate_meter.h"

namespace zirvo {

void FrameRateMeter::Restart(uint32_t now) {
  framesSinceUpdate_ = 0;
  updateTime_ = now;
  rateTimes10_ = 0;
}

int32_t FrameRateMeter::CountFrame(uint32_t now) {
  ++framesSinceUpdate_;
  const uint32_t elapsed = now - updateTime_;
  if (elapsed > kIntervalMilliseconds) {
    rateTimes10_ = static_cast<int32_t>(double(framesSinceUpdate_) * 10000.0 / double(elapsed));
    framesSinceUpdate_ = 0;
    updateTime_ = now;
  }
  return rateTimes10_;
}

}  // namespace zirvo
