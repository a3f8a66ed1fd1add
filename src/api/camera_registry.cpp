// The process-wide ring of open cameras keyed by handle.
#include "api/camera_registry.h"

#include <cstdlib>
#include <new>

#include "platform/clock.h"
#include "platform/never_destroyed.h"

namespace zirvo {

CameraRegistry::~CameraRegistry() {
  while (head_) {
    // Deliberately leaked: its threads may still run while the process ends.
    static_cast<void>(head_->camera.release());
    UnlinkHead();
  }
}

CameraNode* CameraRegistry::Insert(int32_t key, std::unique_ptr<CameraInstance> camera) {
  auto owned = std::make_unique<CameraNode>(CameraNode{key, std::move(camera), nullptr, nullptr});
  CameraNode* node = owned.release();  // adopted by the ring, freed by UnlinkHead
  if (!head_) {
    node->prev = node->next = node;
    count_ = 1;
  } else {
    ++count_;
    node->prev = head_->prev;
    node->next = head_;
    head_->prev->next = node;
    head_->prev = node;
  }
  head_ = node;
  return node;
}

CameraNode* CameraRegistry::Find(int32_t key) {
  if (!head_) return nullptr;
  const int32_t last = head_->prev->key;
  CameraNode* current = head_;
  while (current->key != key) {
    if (current->key == last) return nullptr;
    current = current->next;
    head_ = current;
  }
  return current;
}

int CameraRegistry::UnlinkHead() {
  if (!head_) return 0;
  std::unique_ptr<CameraNode> old(head_);
  if (head_->next == head_) {
    count_ = 0;
    head_ = nullptr;
  } else {
    --count_;
    head_->prev->next = head_->next;
    head_->next->prev = head_->prev;
    head_ = head_->next;
  }
  return 1;
}

int CameraRegistry::Remove(int32_t key) { return Find(key) ? UnlinkHead() : 0; }

bool CameraRegistry::Contains(int32_t key) const {
  if (!head_) return false;
  const CameraNode* current = head_;
  do {
    if (current->key == key) return true;
    current = current->next;
  } while (current != head_);
  return false;
}

int32_t CameraRegistry::DrawKey() const {
  uint32_t sum = static_cast<uint32_t>(std::rand()) + platform::GetTickCount() + static_cast<uint32_t>(count_);
  return static_cast<int32_t>(sum);
}

int32_t CameraRegistry::Create() {
  // 0 means "no camera" to the caller, and a key already in the ring would hide one.
  int32_t key = DrawKey();
  while (key == 0 || Contains(key)) key = DrawKey();
  std::unique_ptr<CameraInstance> camera;
  try {
    camera = std::make_unique<CameraInstance>();
  } catch (const std::bad_alloc&) {
    return 0;
  }
  Insert(key, std::move(camera));
  return key;
}

int CameraRegistry::Release(int32_t key) {
  CameraNode* node = Find(key);
  if (!node) return 0;
  node->camera.reset();
  return Remove(key);
}

CameraRegistry& TheCameraRegistry() {
  static platform::NeverDestroyed<CameraRegistry> registry;
  return registry.get();
}

}  // namespace zirvo
