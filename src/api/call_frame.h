// The frame of every export that takes a camera handle: find, forward, never throw.
#pragma once

#include <mutex>
#include <utility>

#include "api/camera_registry.h"

namespace zirvo {

// Finds `handle` (moving the registry's head) and runs `operation` on its
// camera; `failure` when the handle is unknown or its camera is gone, or when
// anything escapes. Nothing is recorded for an unknown handle.
template <typename Result, typename Operation>
Result WithCamera(int handle, Result failure, Operation&& operation) noexcept {
  try {
    CameraRegistry& registry = TheCameraRegistry();
    std::lock_guard lock(registry.Lock());
    CameraNode* node = registry.Find(handle);
    if (!node || !node->camera) return failure;
    return std::forward<Operation>(operation)(*node->camera);
  } catch (...) {
    return failure;
  }
}

}  // namespace zirvo
