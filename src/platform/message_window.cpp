// A message window's queue, the same on every platform.
#include "platform/message_window.h"

#include <chrono>

namespace zirvo::platform {

bool MessageWindow::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard lock(mutex_);
    if (destroyed_) return false;
    queue_.push_back(WindowMessage{handle_, message, wParam, lParam});
  }
  arrived_.notify_one();
  return true;
}

int MessageWindow::Take(WindowMessage& message, int timeoutMilliseconds) {
  std::unique_lock lock(mutex_);
  auto ready = [this] { return destroyed_ || !queue_.empty(); };
  if (timeoutMilliseconds < 0) {
    arrived_.wait(lock, ready);
  } else if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds), ready)) {
    return 0;
  }
  if (destroyed_) return -1;
  message = queue_.front();
  queue_.pop_front();
  return 1;
}

void MessageWindow::MarkDestroyed() {
  {
    std::lock_guard lock(mutex_);
    destroyed_ = true;
    queue_.clear();
  }
  arrived_.notify_all();
}

}  // namespace zirvo::platform
