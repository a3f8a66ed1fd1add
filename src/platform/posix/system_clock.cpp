// The operating system's millisecond clock: monotonic time as wrapping 32-bit milliseconds.
#include <cerrno>
#include <ctime>

#include <sched.h>

#include "platform/clock.h"

namespace zirvo::platform {
namespace {

uint32_t MonotonicMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t milliseconds =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(milliseconds);
}

class MonotonicClock final : public Clock {
 public:
  uint32_t TimeGetTime() override { return MonotonicMilliseconds(); }
  uint32_t GetTickCount() override { return MonotonicMilliseconds(); }
  void Sleep(uint32_t milliseconds) override {
    // As on Windows, no time at all still gives the processor to any other
    // thread ready to run: a loop polling with a wait of 0 must not starve
    // the threads it waits for.
    if (milliseconds == 0) {
      sched_yield();
      return;
    }
    timespec remaining{static_cast<time_t>(milliseconds / 1000u),
                       static_cast<long>(milliseconds % 1000u) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
  }
};

}  // namespace

Clock& SystemClock() {
  static MonotonicClock clock;
  return clock;
}

}  // namespace zirvo::platform
