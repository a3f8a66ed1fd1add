// Slot rotation and the lock-free hand-off between producer and consumer.
#include "device/frame_slots.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zirvo {

bool FrameSlots::Allocate(uint32_t bytes) {
  Release();
  for (Slot& slot : slots_) {
    platform::DiskBuffer buffer = platform::AllocateDiskBuffer(bytes);
    try {
      if (buffer) slot.buffer = std::shared_ptr<uint8_t>(buffer.release(), platform::DiskBufferDeleter{});
    } catch (const std::bad_alloc&) {
      // The shared pointer's own block: it has freed the buffer already.
    }
    if (!slot.buffer) {
      Release();
      return false;
    }
  }
  capacity_ = bytes;
  return true;
}

void FrameSlots::Release() {
  for (Slot& slot : slots_) {
    slot.buffer.reset();
    slot.sequence.store(0);
    slot.geometry = FrameGeometry{};
    slot.bytesRead = 0;
  }
  capacity_ = 0;
  copying_.store(kNoSlot);
  published_.store(false);
}

int FrameSlots::NewestIndex() const {
  int newest = 0;
  int largest = std::max(slots_[0].sequence.load(), -1);
  for (int slot = 1; slot < kSlotCount; ++slot) {
    const int sequence = slots_[slot].sequence.load();
    if (sequence > largest) {
      largest = sequence;
      newest = slot;
    }
  }
  return newest;
}

bool FrameSlots::HasNewerThan(int sequence) const {
  for (const Slot& slot : slots_) {
    if (slot.sequence.load() > sequence) return true;
  }
  return false;
}

int FrameSlots::ClaimTarget() {
  const int newest = NewestIndex();
  const int target = (newest + 1) % kSlotCount;
  const int previous = slots_[target].sequence.exchange(0);
  // Store-then-check against the consumer's mark-then-check: one of the two
  // always sees the other, so a slot being copied is never refilled.
  if (copying_.load() != target) return target;
  slots_[target].sequence.store(previous);
  const int remaining = (newest + 2) % kSlotCount;
  slots_[remaining].sequence.store(0);
  return remaining;
}

int FrameSlots::ClaimFirst() {
  slots_[0].sequence.store(0);
  return 0;
}

void FrameSlots::Publish(int slot, int sequence, const FrameGeometry& geometry, uint32_t bytesRead) {
  slots_[slot].geometry = geometry;
  slots_[slot].bytesRead = bytesRead;
  slots_[slot].sequence.store(sequence);
  published_.store(true);
}

int FrameSlots::MarkNewest(int& sequence) {
  for (;;) {
    const int newest = NewestIndex();
    const int seen = slots_[newest].sequence.load();
    // Before the first frame a slot being filled also reads 0, so the check
    // below could not tell it from an empty one. After it, a scan that saw
    // only zeros raced the producer through two refills and looks again.
    if (seen <= 0) {
      if (published_.load()) continue;
      sequence = 0;
      return kNoSlot;
    }
    copying_.store(newest);
    // A refill that began before the mark shows as a changed sequence.
    if (slots_[newest].sequence.load() == seen) {
      sequence = seen;
      return newest;
    }
    copying_.store(kNoSlot);
  }
}

void FrameSlots::Unmark() { copying_.store(kNoSlot); }

int FrameSlots::CopyNewest(uint8_t* destination, uint32_t destinationBytes) {
  if (!IsAllocated()) return 0;
  int sequence = 0;
  const int slot = MarkNewest(sequence);
  if (slot == kNoSlot) return 0;
  CopyOut(slots_[slot], destination, destinationBytes);
  Unmark();
  return sequence;
}

HeldFrame FrameSlots::HoldNewest() {
  HeldFrame held;
  if (!IsAllocated()) return held;
  const int slot = MarkNewest(held.sequence);
  if (slot == kNoSlot) return held;
  held.owner = slots_[slot].buffer;
  held.pixels = held.owner.get();
  held.geometry = slots_[slot].geometry;
  held.bytes = slots_[slot].bytesRead;
  return held;
}

int FrameSlots::CopySlot(int slot, uint8_t* destination, uint32_t destinationBytes) {
  if (!IsAllocated()) return 0;
  CopyOut(slots_[slot], destination, destinationBytes);
  return slots_[slot].sequence.load();
}

namespace {

// Position in the frame of output column or row `index` when every `step`-th
// pair is kept: 0, 1, 2 step, 2 step + 1, ...
uint64_t PairedSource(int index, int step) { return uint64_t(index / 2) * 2u * uint64_t(step) + uint64_t(index % 2); }

}  // namespace

uint32_t FrameSlots::CopyOut(const Slot& slot, uint8_t* destination, uint32_t destinationBytes) const {
  if (destination == nullptr || slot.buffer == nullptr) return 0;
  const FrameGeometry& geometry = slot.geometry;
  const uint64_t stride = uint64_t(geometry.transferWidth);
  const uint64_t rowBytes = uint64_t(geometry.copyWidth);
  if (geometry.sampleStep > 1) return CopySampled(slot, destination, destinationBytes);
  if (rowBytes == stride) {
    const uint64_t bytes = std::min({rowBytes * uint64_t(geometry.copyHeight), uint64_t(slot.bytesRead),
                                     uint64_t(destinationBytes)});
    std::memcpy(destination, slot.buffer.get(), bytes);
    return uint32_t(bytes);
  }
  uint64_t copied = 0;
  for (int row = 0; row < geometry.copyHeight; ++row) {
    const uint64_t source = uint64_t(row) * stride;
    if (source >= slot.bytesRead || copied >= destinationBytes) break;
    const uint64_t bytes = std::min({rowBytes, slot.bytesRead - source, destinationBytes - copied});
    std::memcpy(destination + copied, slot.buffer.get() + source, bytes);
    copied += bytes;
  }
  return uint32_t(copied);
}

uint32_t FrameSlots::CopySampled(const Slot& slot, uint8_t* destination, uint32_t destinationBytes) const {
  const FrameGeometry& geometry = slot.geometry;
  const int step = geometry.sampleStep;
  const uint64_t stride = uint64_t(geometry.transferWidth);
  const uint8_t* frame = slot.buffer.get();
  uint64_t copied = 0;
  for (int row = 0; row < geometry.copyHeight; ++row) {
    const uint64_t rowStart = PairedSource(row, step) * stride;
    for (int column = 0; column < geometry.copyWidth; ++column) {
      const uint64_t source = rowStart + PairedSource(column, step);
      if (source >= slot.bytesRead || copied >= destinationBytes) return uint32_t(copied);
      destination[copied++] = frame[source];
    }
  }
  return uint32_t(copied);
}

}  // namespace zirvo
