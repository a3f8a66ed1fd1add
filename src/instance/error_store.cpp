// The camera's last-in, first-out store of error codes and its notifications.
#include "instance/error_store.h"

#include <algorithm>

namespace zirvo {

void ErrorStore::SetNotificationWindow(platform::WindowHandle window) {
  std::lock_guard lock(mutex_);
  notificationWindow_ = window;
}

platform::WindowHandle ErrorStore::NotificationWindow() const {
  std::lock_guard lock(mutex_);
  return notificationWindow_;
}

void ErrorStore::RecordError(int code) {
  std::lock_guard lock(mutex_);
  std::move_backward(codes_.begin(), codes_.end() - 1, codes_.end());
  codes_.front() = code;
  // Posted under the lock so that messages arrive in the order codes are stored.
  if (notificationWindow_) platform::PostWindowMessage(notificationWindow_, kMessageCameraError, 0, code);
}

int ErrorStore::PopError() {
  std::lock_guard lock(mutex_);
  int newest = codes_.front();
  std::move(codes_.begin() + 1, codes_.end(), codes_.begin());
  codes_.back() = 0;
  return newest;
}

}  // namespace zirvo
