// The process-wide ring of open cameras keyed by handle.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "instance/camera_instance.h"

namespace zirvo {

struct CameraNode {
  int32_t key;
  std::unique_ptr<CameraInstance> camera;  // null only while the camera is released
  CameraNode* prev;
  CameraNode* next;
};

// A circular doubly-linked ring whose head moves to each node found. The ring
// owns its nodes. Callers hold Lock() around every use, so that exports from
// several threads are safe; a single thread sees the same heads and results
// as without it.
class CameraRegistry {
 public:
  CameraRegistry() = default;
  // Frees the nodes only: the cameras of handles never released are left to
  // the process's end.
  ~CameraRegistry();
  CameraRegistry(const CameraRegistry&) = delete;
  CameraRegistry& operator=(const CameraRegistry&) = delete;

  // Recursive: a dialog's message loop may call back into the library.
  std::recursive_mutex& Lock() { return mutex_; }

  // A new node for `key`, made the head (it sits just before the old head).
  CameraNode* Insert(int32_t key, std::unique_ptr<CameraInstance> camera);
  // Walks from the head, moving it; a failed search leaves the head at the
  // node that preceded it.
  CameraNode* Find(int32_t key);
  int UnlinkHead();
  int Remove(int32_t key);
  // A new camera instance (defaults only) under a fresh non-zero handle; 0
  // when it cannot be allocated.
  int32_t Create();
  int Release(int32_t key);

  CameraNode* Head() const { return head_; }
  int32_t Count() const { return count_; }

 private:
  // Looks for `key` without moving the head.
  bool Contains(int32_t key) const;
  int32_t DrawKey() const;

  std::recursive_mutex mutex_;
  CameraNode* head_ = nullptr;
  int32_t count_ = 0;
};

// The registry of this process, constructed on first use and never destroyed.
CameraRegistry& TheCameraRegistry();

}  // namespace zirvo
