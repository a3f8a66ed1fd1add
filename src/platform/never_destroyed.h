// Storage for process-wide objects that must outlive every thread still running at exit.
#pragma once

#include <memory>
#include <new>
#include <utility>

namespace zirvo::platform {

// Constructs T in place and never runs its destructor, so code still running
// while the process exits (worker threads, exit handlers) never meets a
// destroyed object. What T holds stays reachable and is not reported as leaked.
template <typename T>
class NeverDestroyed {
 public:
  template <typename... Arguments>
  explicit NeverDestroyed(Arguments&&... arguments) {
    std::construct_at(reinterpret_cast<T*>(storage_), std::forward<Arguments>(arguments)...);
  }
  NeverDestroyed(const NeverDestroyed&) = delete;
  NeverDestroyed& operator=(const NeverDestroyed&) = delete;

  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace zirvo::platform
