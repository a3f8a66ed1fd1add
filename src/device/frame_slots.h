// The three rotating frame buffers shared by the transfer thread and the
// thread that copies frames out.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "device/frame_geometry.h"
#include "platform/raw_disk.h"

namespace zirvo {

// The newest frame where the transfer left it, for a consumer that works on
// it in place: rows `geometry.transferWidth` bytes apart, `bytes` read.
struct HeldFrame {
  uint8_t* pixels = nullptr;  // null: no frame was held
  FrameGeometry geometry;
  uint32_t bytes = 0;
  int sequence = 0;
  // Keeps the buffer alive should the slots be released meanwhile.
  std::shared_ptr<uint8_t> owner;
};

class FrameSlots {
 public:
  static constexpr int kSlotCount = 3;
  static constexpr int kNoSlot = -1;

  // Allocates three zeroed buffers of `bytes` each, releasing any held.
  // False when an allocation failed (no buffers are then held).
  bool Allocate(uint32_t bytes);
  void Release();
  bool IsAllocated() const { return capacity_ != 0; }
  uint32_t Capacity() const { return capacity_; }

  // The slot with the largest sequence number; ties go to the lower slot.
  int NewestIndex() const;
  int Sequence(int slot) const { return slots_[slot].sequence.load(); }
  bool HasNewerThan(int sequence) const;

  // Producer side. Marks the slot to fill next as empty and returns it: the
  // slot after the newest, or, while the consumer copies from that one, the
  // remaining slot, so that the producer never waits for the consumer.
  int ClaimTarget();
  // Single capture always fills slot 0.
  int ClaimFirst();
  uint8_t* Buffer(int slot) { return slots_[slot].buffer.get(); }
  // Shares the buffer with a read that may outlive the slots.
  std::shared_ptr<uint8_t> BufferOwner(int slot) const { return slots_[slot].buffer; }
  void Publish(int slot, int sequence, const FrameGeometry& geometry, uint32_t bytesRead);

  // Consumer side. Copies the newest frame (its copy dimensions, never more
  // than `destinationBytes`, never beyond what was read into it) and returns
  // its sequence number; copies nothing and returns 0 before the first frame.
  // The slot stays marked while it is copied.
  int CopyNewest(uint8_t* destination, uint32_t destinationBytes);
  // Copies slot `slot` without marking it; the producer must have ended.
  int CopySlot(int slot, uint8_t* destination, uint32_t destinationBytes);

  // Marks the newest frame and hands it out in place until ReleaseHeld: the
  // producer fills only the other two slots meanwhile, so the frame stays
  // whole however long the consumer takes, and the consumer may write into
  // it. Nothing is held (null pixels) before the first frame.
  HeldFrame HoldNewest();
  void ReleaseHeld() { Unmark(); }

  // The marking that CopyNewest uses, open for a consumer that holds a slot.
  // Returns the marked slot, whose sequence is in `sequence`, or kNoSlot
  // (nothing marked) while no slot holds a frame.
  int MarkNewest(int& sequence);
  void Unmark();

 private:
  struct Slot {
    // Shared with a frame read in flight; a read given up by a stop keeps
    // its buffer until it ends.
    std::shared_ptr<uint8_t> buffer;
    // Written by the producer (0 while filling), read by both threads.
    std::atomic<int> sequence{0};
    // What the frame in the buffer holds; written by the producer before it
    // publishes the sequence number, read by the consumer after it.
    FrameGeometry geometry;
    uint32_t bytesRead = 0;
  };

  uint32_t CopyOut(const Slot& slot, uint8_t* destination, uint32_t destinationBytes) const;
  uint32_t CopySampled(const Slot& slot, uint8_t* destination, uint32_t destinationBytes) const;

  std::array<Slot, kSlotCount> slots_;
  // Set only while no transfer thread runs.
  uint32_t capacity_ = 0;
  // The slot the consumer copies from, kNoSlot when none; written by the
  // consumer, read by the producer.
  std::atomic<int> copying_{kNoSlot};
  // Set by the first publish after allocation: from then on some slot always
  // holds a frame, even when a scan of the three happened to miss it.
  std::atomic<bool> published_{false};
};

}  // namespace zirvo
