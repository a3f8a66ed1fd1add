// The camera's last-in, first-out store of error codes and its notifications.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "platform/message_window.h"
#include "settings/error_recorder.h"

namespace zirvo {

inline constexpr uint32_t kMessageCameraError = 0x8003;  // WM_CAMERA_ERROR

class ErrorStore final : public ErrorRecorder {
 public:
  static constexpr int kCapacity = 20;

  // Where each recorded code is posted as WM_CAMERA_ERROR; null posts nothing.
  void SetNotificationWindow(platform::WindowHandle window);
  platform::WindowHandle NotificationWindow() const;

  // Stores `code` first (the oldest of a full store is lost) and posts it.
  void RecordError(int code) override;
  // The newest code, removed; 0 when the store is empty.
  int PopError();

 private:
  // Recorded by the caller's thread and the worker threads, read by the caller.
  mutable std::mutex mutex_;
  std::array<int32_t, kCapacity> codes_{};        // guarded by mutex_
  platform::WindowHandle notificationWindow_{};  // guarded by mutex_
};

}  // namespace zirvo
