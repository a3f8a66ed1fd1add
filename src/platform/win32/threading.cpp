// Windows threads and manual-reset events: CreateThread, CreateEventA, WaitForSingleObject.
#include "platform/threading.h"

#include <windows.h>

#include <atomic>
#include <utility>

#include "platform/clock.h"

namespace zirvo::platform {

struct Thread::State {
  std::function<void()> body;
  HANDLE handle = nullptr;  // owner's thread only
  // Read by any thread (IsCurrent from the body itself), written by the owner.
  std::atomic<DWORD> id{0};
};

namespace {

DWORD WINAPI RunThreadBody(LPVOID parameter) {
  auto* body = static_cast<std::function<void()>*>(parameter);
  (*body)();
  return 0;
}

}  // namespace

Thread::Thread() : state_(std::make_unique<State>()) {}

Thread::~Thread() {
  if (state_->handle == nullptr) return;
  // A thread that destroys its own Thread object cannot wait for itself.
  if (IsCurrent()) {
    ::CloseHandle(state_->handle);
    state_->handle = nullptr;
    return;
  }
  Join();
}

bool Thread::Start(std::function<void()> body) {
  if (state_->handle != nullptr || !body) return false;
  state_->body = std::move(body);
  DWORD id = 0;
  // Created suspended so that the id is stored before the body can ask for it.
  HANDLE handle = ::CreateThread(nullptr, 0, RunThreadBody, &state_->body, CREATE_SUSPENDED, &id);
  if (handle == nullptr) {
    state_->body = nullptr;
    return false;
  }
  state_->handle = handle;
  state_->id.store(id);
  ::ResumeThread(handle);
  return true;
}

bool Thread::IsStarted() const { return state_->id.load() != 0; }

uint32_t Thread::Id() const { return state_->id.load(); }

void Thread::Join() {
  if (state_->handle == nullptr) return;
  ::WaitForSingleObject(state_->handle, INFINITE);
  ::CloseHandle(state_->handle);
  state_->handle = nullptr;
  state_->id.store(0);
  state_->body = nullptr;
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
// other threads sleeping on the same manual clock share one time line.
bool WaitOnReplacedClock(HANDLE handle, uint32_t milliseconds) {
  Clock& clock = CurrentClock();
  const uint32_t start = clock.TimeGetTime();
  while (::WaitForSingleObject(handle, 0) != WAIT_OBJECT_0) {
    if (clock.TimeGetTime() - start >= milliseconds) return false;
    clock.Sleep(1);
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
