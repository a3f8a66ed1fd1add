// Windows clock: timeGetTime, GetTickCount and Sleep behind the replaceable Clock.
#include "platform/clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace zirvo::platform {
namespace {

class SystemClock final : public Clock {
 public:
  uint32_t TimeGetTime() override { return ::timeGetTime(); }
  uint32_t GetTickCount() override { return ::GetTickCount(); }
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

SystemClock systemClock;
// Null means the system clock. Swapped by tests, read by every thread.
std::atomic<Clock*> replacementClock{nullptr};

Clock& CurrentClock() {
  Clock* clock = replacementClock.load(std::memory_order_acquire);
  return clock != nullptr ? *clock : systemClock;
}

}  // namespace

uint32_t TimeGetTime() { return CurrentClock().TimeGetTime(); }
uint32_t GetTickCount() { return CurrentClock().GetTickCount(); }
void Sleep(uint32_t milliseconds) { CurrentClock().Sleep(milliseconds); }

Clock* SetClock(Clock* clock) {
  return replacementClock.exchange(clock, std::memory_order_acq_rel);
}

uint32_t ManualClock::TimeGetTime() { return now_.load(); }
uint32_t ManualClock::GetTickCount() { return now_.load(); }

void ManualClock::Sleep(uint32_t milliseconds) {
  now_.fetch_add(milliseconds);
  ::SwitchToThread();
}

void ManualClock::Advance(uint32_t milliseconds) { now_.fetch_add(milliseconds); }
void ManualClock::Set(uint32_t now) { now_.store(now); }

}  // namespace zirvo::platform
