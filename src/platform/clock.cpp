// The replaceable process clock and the manual clock for tests.
#include "platform/clock.h"

#include <thread>

namespace zirvo::platform {
namespace {

// Read by every thread that asks for time; replaced by tests between runs.
std::atomic<Clock*> replacedClock{nullptr};

}  // namespace

Clock& CurrentClock() {
  Clock* clock = replacedClock.load(std::memory_order_acquire);
  return clock != nullptr ? *clock : SystemClock();
}

bool UsingSystemClock() { return replacedClock.load(std::memory_order_acquire) == nullptr; }

Clock* SetClock(Clock* clock) {
  if (clock == &SystemClock()) clock = nullptr;
  return replacedClock.exchange(clock, std::memory_order_acq_rel);
}

uint32_t TimeGetTime() { return CurrentClock().TimeGetTime(); }
uint32_t GetTickCount() { return CurrentClock().GetTickCount(); }
void Sleep(uint32_t milliseconds) { CurrentClock().Sleep(milliseconds); }

uint32_t ManualClock::TimeGetTime() { return now_.load(std::memory_order_acquire); }
uint32_t ManualClock::GetTickCount() { return now_.load(std::memory_order_acquire); }

void ManualClock::Sleep(uint32_t milliseconds) {
  Advance(milliseconds);
  std::this_thread::yield();
}

void ManualClock::Advance(uint32_t milliseconds) {
  now_.fetch_add(milliseconds, std::memory_order_acq_rel);
}

void ManualClock::Set(uint32_t now) { now_.store(now, std::memory_order_release); }

}  // namespace zirvo::platform
