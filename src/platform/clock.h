// Millisecond time and sleeps, replaceable in tests.
#pragma once

#include <atomic>
#include <cstdint>

namespace zirvo::platform {

// Source of time for every timeGetTime, GetTickCount and Sleep in the library.
// Both clocks count milliseconds and wrap around at 2^32.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t TimeGetTime() = 0;
  virtual uint32_t GetTickCount() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
};

uint32_t TimeGetTime();
uint32_t GetTickCount();
void Sleep(uint32_t milliseconds);

// Replaces the process clock until the returned previous clock is put back.
// Tests only; `clock` must outlive its use. Null restores the system clock.
Clock* SetClock(Clock* clock);

// The clock in force now, and the operating system's own.
Clock& CurrentClock();
Clock& SystemClock();
bool UsingSystemClock();

// A clock that stands still until told to move; Sleep advances it by the
// time slept (and yields), so code that sleeps sees time pass at once.
class ManualClock : public Clock {
 public:
  explicit ManualClock(uint32_t start = 0) : now_(start) {}
  uint32_t TimeGetTime() override;
  uint32_t GetTickCount() override;
  void Sleep(uint32_t milliseconds) override;
  void Advance(uint32_t milliseconds);
  void Set(uint32_t now);

 private:
  // Read and advanced by every thread that asks for time or sleeps.
  std::atomic<uint32_t> now_;
};

}  // namespace zirvo::platform
