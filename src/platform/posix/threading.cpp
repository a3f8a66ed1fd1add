// Threads on std::thread; manual-reset events on a mutex and a condition variable.
#include "platform/threading.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/clock.h"

namespace zirvo::platform {
namespace {

// Identifiers handed to started threads; 0 stays "no thread".
std::atomic<uint32_t> nextThreadId{1};

uint32_t TakeThreadId() {
  uint32_t id = nextThreadId.fetch_add(1, std::memory_order_relaxed);
  if (id == 0) id = nextThreadId.fetch_add(1, std::memory_order_relaxed);
  return id;
}

// Real time a finite wait under a replaced clock lingers per step of that
// clock: a whole millisecond over its first half second, so that a wait which
// alone drives the clock still gives a busy or slowed thread real time to
// answer; a tenth of that afterwards, so that long time-outs stay quick.
constexpr auto kReplacedClockFirstStep = std::chrono::microseconds(1000);
constexpr auto kReplacedClockStep = std::chrono::microseconds(100);
constexpr auto kReplacedClockFirstSteps = std::chrono::milliseconds(500);

}  // namespace

struct Thread::State {
  // Held by Start until the thread's fields are published; the body waits for
  // it. Shared with the body, which may outlive a detached State.
  std::shared_ptr<std::mutex> starting = std::make_shared<std::mutex>();
  std::thread thread;
  // Written by the owner at start, read by any thread that asks.
  std::atomic<uint32_t> id{0};
  std::atomic<std::thread::id> nativeId{};
};

Thread::Thread() : state_(std::make_unique<State>()) {}

Thread::~Thread() { Join(); }

bool Thread::Start(std::function<void()> body) {
  if (state_->thread.joinable()) return false;
  std::unique_lock published(*state_->starting);
  try {
    state_->thread = std::thread([gate = state_->starting, body = std::move(body)] {
      { std::lock_guard wait(*gate); }
      body();
    });
  } catch (const std::system_error&) {
    return false;
  }
  state_->nativeId.store(state_->thread.get_id(), std::memory_order_release);
  state_->id.store(TakeThreadId(), std::memory_order_release);
  return true;
}

bool Thread::IsStarted() const { return state_->id.load(std::memory_order_acquire) != 0; }

uint32_t Thread::Id() const { return state_->id.load(std::memory_order_acquire); }

void Thread::Join() {
  if (!state_->thread.joinable()) return;
  if (IsCurrent()) {
    // A body that ends its own owner cannot wait for itself.
    state_->thread.detach();
  } else {
    state_->thread.join();
  }
  state_->id.store(0, std::memory_order_release);
  state_->nativeId.store(std::thread::id{}, std::memory_order_release);
}

void Thread::Detach() {
  if (!state_->thread.joinable()) return;
  state_->thread.detach();
  state_->id.store(0, std::memory_order_release);
  state_->nativeId.store(std::thread::id{}, std::memory_order_release);
}

bool Thread::IsCurrent() const {
  return IsStarted() &&
         state_->nativeId.load(std::memory_order_acquire) == std::this_thread::get_id();
}

struct ManualResetEvent::State {
  mutable std::mutex mutex;
  std::condition_variable changed;
  bool signalled = false;  // guarded by mutex; any thread sets, resets or waits
};

ManualResetEvent::ManualResetEvent(bool initiallySignalled) : state_(std::make_unique<State>()) {
  state_->signalled = initiallySignalled;
}

ManualResetEvent::~ManualResetEvent() = default;

// Notifies under the lock: a waiter may destroy the event as soon as it sees
// the signal (a thread's finished event is its last act).
void ManualResetEvent::Set() {
  std::lock_guard lock(state_->mutex);
  state_->signalled = true;
  state_->changed.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard lock(state_->mutex);
  state_->signalled = false;
}

bool ManualResetEvent::IsSet() const {
  std::lock_guard lock(state_->mutex);
  return state_->signalled;
}

namespace {

bool WaitOnSystemClock(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                       const bool& signalled, uint32_t milliseconds) {
  if (milliseconds == kInfinite) {
    changed.wait(lock, [&] { return signalled; });
    return true;
  }
  return changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                          [&] { return signalled; });
}

// Steps the replaced clock one millisecond at a time so that other threads
// sleeping on the same manual clock and this wait share one time line. Should
// the clock be put back meanwhile, the rest is waited on the system clock.
bool WaitOnReplacedClock(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                         const bool& signalled, uint32_t milliseconds) {
  const auto firstStepsEnd = std::chrono::steady_clock::now() + kReplacedClockFirstSteps;
  uint32_t waited = 0;
  uint32_t last = CurrentClock().TimeGetTime();
  while (!signalled) {
    if (UsingSystemClock()) {
      return WaitOnSystemClock(lock, changed, signalled, milliseconds - waited);
    }
    Clock& clock = CurrentClock();
    const uint32_t now = clock.TimeGetTime();
    waited = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{waited} + (now - last), milliseconds));
    last = now;
    if (waited >= milliseconds) return false;
    lock.unlock();
    clock.Sleep(1);
    lock.lock();
    if (signalled) break;
    const bool early = std::chrono::steady_clock::now() < firstStepsEnd;
    changed.wait_for(lock, early ? kReplacedClockFirstStep : kReplacedClockStep);
  }
  return true;
}

}  // namespace

bool ManualResetEvent::Wait(uint32_t milliseconds) {
  std::unique_lock lock(state_->mutex);
  if (UsingSystemClock() || milliseconds == kInfinite) {
    return WaitOnSystemClock(lock, state_->changed, state_->signalled, milliseconds);
  }
  return WaitOnReplacedClock(lock, state_->changed, state_->signalled, milliseconds);
}

}  // namespace zirvo::platform
