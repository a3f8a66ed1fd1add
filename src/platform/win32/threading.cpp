// Windows threads and manual-reset events: CreateThread, CreateEventA, WaitForSingleObject.
#include "platform/threading.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>

#include "platform/clock.h"

namespace zirvo::platform {

struct Thread::State {
  HANDLE handle = nullptr;  // owner's thread only
  // Read by any thread (IsCurrent from the body itself), written by the owner.
  std::atomic<DWORD> id{0};
};

namespace {

// The thread owns its body, so a body that destroys its own Thread runs on safely.
DWORD WINAPI RunThreadBody(LPVOID parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

}  // namespace

Thread::Thread() : state_(std::make_unique<State>()) {}

Thread::~Thread() {
  Join();
}

bool Thread::Start(std::function<void()> body) {
  if (state_->handle != nullptr || !body) return false;
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  DWORD id = 0;
  // Created suspended so that the id is stored before the body can ask for it.
  HANDLE handle = ::CreateThread(nullptr, 0, RunThreadBody, owned.get(), CREATE_SUSPENDED, &id);
  if (handle == nullptr) return false;
  owned.release();  // now the thread's
  state_->handle = handle;
  state_->id.store(id);
  ::ResumeThread(handle);
  return true;
}

bool Thread::IsStarted() const { return state_->id.load() != 0; }

uint32_t Thread::Id() const { return state_->id.load(); }

void Thread::Join() {
  if (state_->handle == nullptr) return;
  // A body that ends its own owner cannot wait for itself: the thread runs on detached.
  if (!IsCurrent()) ::WaitForSingleObject(state_->handle, INFINITE);
  ::CloseHandle(state_->handle);
  state_->handle = nullptr;
  state_->id.store(0);
}

void Thread::Detach() {
  if (state_->handle == nullptr) return;
  ::CloseHandle(state_->handle);
  state_->handle = nullptr;
  state_->id.store(0);
}

bool Thread::IsCurrent() const {
  DWORD id = state_->id.load();
  return id != 0 && id == ::GetCurrentThreadId();
}

struct ManualResetEvent::State {
  HANDLE handle = nullptr;
};

ManualResetEvent::ManualResetEvent(bool initiallySignalled) : state_(std::make_unique<State>()) {
  state_->handle = ::CreateEventA(nullptr, TRUE, initiallySignalled ? TRUE : FALSE, nullptr);
}

ManualResetEvent::~ManualResetEvent() {
  if (state_->handle != nullptr) ::CloseHandle(state_->handle);
}

void ManualResetEvent::Set() {
  if (state_->handle != nullptr) ::SetEvent(state_->handle);
}

void ManualResetEvent::Reset() {
  if (state_->handle != nullptr) ::ResetEvent(state_->handle);
}

bool ManualResetEvent::IsSet() const {
  return state_->handle != nullptr && ::WaitForSingleObject(state_->handle, 0) == WAIT_OBJECT_0;
}

namespace {

// Steps a replaced clock one millisecond at a time, so that this wait and the
// other threads sleeping on the same manual clock share one time line. Should
// the clock be put back meanwhile, the rest is waited on the system clock.
bool WaitOnReplacedClock(HANDLE handle, uint32_t milliseconds) {
  // Over its first half second the wait lingers a real millisecond per step,
  // so that a wait which alone drives the clock still gives a busy or slowed
  // thread real time to answer; afterwards it only yields.
  const auto firstStepsEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  uint32_t waited = 0;
  uint32_t last = CurrentClock().TimeGetTime();
  while (::WaitForSingleObject(handle, 0) != WAIT_OBJECT_0) {
    if (UsingSystemClock()) {
      return ::WaitForSingleObject(handle, milliseconds - waited) == WAIT_OBJECT_0;
    }
    Clock& clock = CurrentClock();
    const uint32_t now = clock.TimeGetTime();
    waited = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{waited} + (now - last), milliseconds));
    last = now;
    if (waited >= milliseconds) return false;
    clock.Sleep(1);
    const bool early = std::chrono::steady_clock::now() < firstStepsEnd;
    if (early && ::WaitForSingleObject(handle, 1) == WAIT_OBJECT_0) break;
  }
  return true;
}

}  // namespace

bool ManualResetEvent::Wait(uint32_t milliseconds) {
  if (state_->handle == nullptr) return false;
  static_assert(kInfinite == INFINITE);
  if (UsingSystemClock() || milliseconds == kInfinite) {
    return ::WaitForSingleObject(state_->handle, milliseconds) == WAIT_OBJECT_0;
  }
  return WaitOnReplacedClock(state_->handle, milliseconds);
}

}  // namespace zirvo::platform
