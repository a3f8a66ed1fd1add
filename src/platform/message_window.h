// Windows that receive posted messages, looked up by handle.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

struct HWND__;  // the window handle type of the public header (and of Win32)

namespace zirvo::platform {

using WindowHandle = HWND__*;

struct WindowMessage {
  WindowHandle window;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

// One window's message queue. Later parts add drawing to the same object.
// Posted to from any thread, read by the application's thread.
class MessageWindow {
 public:
  explicit MessageWindow(WindowHandle handle) : handle_(handle) {}

  WindowHandle Handle() const { return handle_; }
  // Never blocks for longer than the queue's lock and never drops a message.
  bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam);
  // 1 with the oldest message, 0 on time-out, -1 once the window is destroyed.
  // A negative time-out waits without limit.
  int Take(WindowMessage& message, int timeoutMilliseconds);
  // Refuses further posts and wakes every waiting reader.
  void MarkDestroyed();

 private:
  const WindowHandle handle_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<WindowMessage> queue_;  // guarded by mutex_
  bool destroyed_ = false;           // guarded by mutex_
};

// A new window; handles are never reused within a process. Null when it
// cannot be created.
WindowHandle CreateMessageWindow();
// False for a handle that names no window (never created or destroyed).
bool DestroyMessageWindow(WindowHandle window);
bool IsMessageWindow(WindowHandle window);
// Posting to a handle that names no window fails quietly.
bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// As MessageWindow::Take; -1 for a handle that names no window.
int GetWindowMessage(WindowHandle window, WindowMessage& message, int timeoutMilliseconds);
// The window object behind a handle, kept alive while the caller holds it.
std::shared_ptr<MessageWindow> FindMessageWindow(WindowHandle window);

}  // namespace zirvo::platform
