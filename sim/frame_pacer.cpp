// The sensor's frame schedule on the SDK's clock.
#include "frame_pacer.h"

#include <algorithm>

#include "zirvo_port.h"

namespace zirvo::sim {
namespace {

constexpr uint64_t kPixelClockMegahertz = 96;
constexpr uint64_t kShortestFrameMicroseconds = 100;

}  // namespace

uint64_t FramePacer::Now() {
  const uint32_t clock = ZirvoPort_TimeGetTime();
  if (clockSeen_) elapsed_ += static_cast<uint64_t>(static_cast<uint32_t>(clock - lastClock_)) * 1000u;
  clockSeen_ = true;
  lastClock_ = clock;
  return elapsed_;
}

uint64_t FramePacer::FrameTime(const SensorRegisters& registers) {
  const uint64_t lineLength = registers.Get(reg::kLineLength);
  const uint64_t lines = std::max<uint64_t>(registers.Get(reg::kFrameLength),
                                            uint64_t{registers.Get(reg::kExposure)} + 1u);
  return std::max(kShortestFrameMicroseconds, lineLength / 2u * lines / kPixelClockMegahertz);
}

void FramePacer::Start(uint64_t now, const SensorRegisters& registers) {
  if (running_) return;
  running_ = true;
  nextFrame_ = now + FrameTime(registers);
}

bool FramePacer::Ready(uint64_t now, const SensorRegisters& registers) {
  if (!paced_) return true;
  Start(now, registers);
  return now >= nextFrame_;
}

uint64_t FramePacer::Due(uint64_t now, const SensorRegisters& registers) {
  uint64_t due = now;
  if (paced_) {
    Start(now, registers);
    due = std::max(now, nextFrame_);
  }
  if (slowFrames_ > 0) {
    --slowFrames_;
    due = std::max(due, now + uint64_t{slowFrameMilliseconds_} * 1000u);
  }
  return due;
}

// Frames stay on whole frame times from the start; a frame a late reader
// missed is gone, the reader gets the next.
void FramePacer::Served(uint64_t now, const SensorRegisters& registers) {
  if (!paced_) return;
  const uint64_t frameTime = FrameTime(registers);
  if (nextFrame_ <= now) nextFrame_ += ((now - nextFrame_) / frameTime + 1u) * frameTime;
}

void FramePacer::SetSlowFrames(unsigned count, unsigned milliseconds) {
  slowFrames_ = count;
  slowFrameMilliseconds_ = milliseconds;
}

}  // namespace zirvo::sim
