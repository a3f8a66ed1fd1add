// Message windows as queues in a process-wide handle table.
#include "platform/message_window.h"

#include <unordered_map>

#include "platform/never_destroyed.h"

namespace zirvo::platform {
namespace {

class WindowTable {
 public:
  WindowHandle Add() {
    std::lock_guard lock(mutex_);
    // Even numbers above any small integer an application might confuse with a handle.
    nextHandle_ += 2;
    auto handle = reinterpret_cast<WindowHandle>(nextHandle_);
    windows_.emplace(nextHandle_, std::make_shared<MessageWindow>(handle));
    return handle;
  }
  std::shared_ptr<MessageWindow> Find(WindowHandle window) {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(reinterpret_cast<uintptr_t>(window));
    return found == windows_.end() ? nullptr : found->second;
  }
  std::shared_ptr<MessageWindow> Remove(WindowHandle window) {
    std::lock_guard lock(mutex_);
    auto found = windows_.find(reinterpret_cast<uintptr_t>(window));
    if (found == windows_.end()) return nullptr;
    std::shared_ptr<MessageWindow> removed = std::move(found->second);
    windows_.erase(found);
    return removed;
  }

 private:
  std::mutex mutex_;  // every thread that creates, finds or destroys a window
  uintptr_t nextHandle_ = 0x10000;
  std::unordered_map<uintptr_t, std::shared_ptr<MessageWindow>> windows_;
};

// Never destroyed: threads still posting at process exit find a live table.
WindowTable& Windows() {
  static NeverDestroyed<WindowTable> table;
  return table.get();
}

}  // namespace

WindowHandle CreateMessageWindow() { return Windows().Add(); }

bool DestroyMessageWindow(WindowHandle window) {
  std::shared_ptr<MessageWindow> removed = Windows().Remove(window);
  if (!removed) return false;
  removed->MarkDestroyed();
  return true;
}

bool IsMessageWindow(WindowHandle window) { return Windows().Find(window) != nullptr; }

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::shared_ptr<MessageWindow> target = Windows().Find(window);
  return target && target->Post(message, wParam, lParam);
}

int GetWindowMessage(WindowHandle window, WindowMessage& message, int timeoutMilliseconds) {
  std::shared_ptr<MessageWindow> source = Windows().Find(window);
  return source ? source->Take(message, timeoutMilliseconds) : -1;
}

std::shared_ptr<MessageWindow> FindMessageWindow(WindowHandle window) { return Windows().Find(window); }

}  // namespace zirvo::platform
