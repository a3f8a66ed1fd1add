// The operating system's millisecond clocks: timeGetTime, GetTickCount and Sleep.
#include <windows.h>
#include <mmsystem.h>

#include "platform/clock.h"

namespace zirvo::platform {
namespace {

class WindowsClock final : public Clock {
 public:
  uint32_t TimeGetTime() override { return ::timeGetTime(); }
  uint32_t GetTickCount() override { return ::GetTickCount(); }
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace

Clock& SystemClock() {
  static WindowsClock clock;
  return clock;
}

}  // namespace zirvo::platform
