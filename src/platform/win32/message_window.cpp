// Message windows on Windows: our own message-only windows keep a queue like
// every platform's; any other window handle gets PostMessageA.
#include "platform/message_window.h"

#include <windows.h>

#include <unordered_map>

#include "platform/never_destroyed.h"

namespace zirvo::platform {
namespace {

constexpr const char* kWindowClass = "ZirvoMessageWindow";

// Messages that reach the window's procedure (a PostMessageA from any code)
// land in the same queue as those posted through PostWindowMessage.
LRESULT CALLBACK QueueingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = QueueingProcedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassA(&windowClass) != 0 ||
           ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

class WindowTable {
 public:
  void Add(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    windows_.emplace(handle, std::make_shared<MessageWindow>(handle));
  }
  std::shared_ptr<MessageWindow> Find(WindowHandle window) {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(window);
    return found == windows_.end() ? nullptr : found->second;
  }
  std::shared_ptr<MessageWindow> Remove(WindowHandle window) {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(window);
    if (found == windows_.end()) return nullptr;
    std::shared_ptr<MessageWindow> removed = std::move(found->second);
    windows_.erase(found);
    return removed;
  }

 private:
  std::mutex mutex_;  // every thread that creates, finds, posts to or destroys a window
  std::unordered_map<WindowHandle, std::shared_ptr<MessageWindow>> windows_;
};

// Never destroyed: threads still posting at process exit find a live table.
WindowTable& Windows() {
  static NeverDestroyed<WindowTable> table;
  return table.get();
}

LRESULT CALLBACK QueueingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER) {
    if (std::shared_ptr<MessageWindow> target = Windows().Find(window)) {
      target->Post(message, wParam, lParam);
      return 0;
    }
  }
  return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

// A real message-only window, so its handle can never equal another window's.
// It belongs to the creating thread, which must also destroy it.
WindowHandle CreateMessageWindow() {
  if (!RegisterWindowClass()) return nullptr;
  HWND window = ::CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) return nullptr;
  Windows().Add(window);
  return window;
}

bool DestroyMessageWindow(WindowHandle window) {
  std::shared_ptr<MessageWindow> removed = Windows().Remove(window);
  if (!removed) return false;
  removed->MarkDestroyed();
  ::DestroyWindow(window);
  return true;
}

bool IsMessageWindow(WindowHandle window) { return Windows().Find(window) != nullptr; }

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (window == nullptr) return false;
  // Straight into our own queue, so a reader sees it the moment this returns.
  if (std::shared_ptr<MessageWindow> target = Windows().Find(window)) {
    return target->Post(message, wParam, lParam);
  }
  return ::PostMessageA(window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) !=
         FALSE;
}

int GetWindowMessage(WindowHandle window, WindowMessage& message, int timeoutMilliseconds) {
  std::shared_ptr<MessageWindow> source = Windows().Find(window);
  return source ? source->Take(message, timeoutMilliseconds) : -1;
}

std::shared_ptr<MessageWindow> FindMessageWindow(WindowHandle window) { return Windows().Find(window); }

}  // namespace zirvo::platform
