// Threads, manual-reset events and sleeps.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace zirvo::platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// A thread that runs one body. The owner decides when it has ended (the
// bodies signal their own finished events) and then joins it; destroying a
// Thread that was started and not joined joins it.
class Thread {
 public:
  Thread();
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // False when the thread could not be created, or when an earlier start has
  // not been joined yet.
  bool Start(std::function<void()> body);
  bool IsStarted() const;
  // Non-zero identifier of a started thread, 0 otherwise.
  uint32_t Id() const;
  // Waits for the body to return. No effect on a thread not started.
  void Join();
  // Lets the body run on to its end unowned; it must touch nothing that its
  // starter may free. The Thread can then be started again or destroyed.
  void Detach();
  // True when called from this thread itself.
  bool IsCurrent() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A manual-reset event: stays signalled until reset.
class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initiallySignalled = false);
  ~ManualResetEvent();
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set();
  void Reset();
  // True when signalled within `milliseconds` (kInfinite waits without limit).
  // Under a replaced clock the time-out runs on that clock and the wait counts
  // as sleeping: a ManualClock moves on while a finite wait lasts.
  bool Wait(uint32_t milliseconds);
  bool IsSet() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zirvo::platform
