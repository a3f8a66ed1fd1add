// Slot rotation, the consumer's mark and bounded copies.
#include "device/frame_slots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace zirvo {
namespace {

class FrameSlotsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    geometry_ = ComputeFrameGeometry(8, 4, 0);
    ASSERT_TRUE(slots_.Allocate(FrameReadBytes(geometry_)));
  }

  // Fills the next target with bytes of value `sequence` and publishes it.
  int Produce(int sequence) {
    const int target = slots_.ClaimTarget();
    std::memset(slots_.Buffer(target), sequence, slots_.Capacity());
    slots_.Publish(target, sequence, geometry_, slots_.Capacity());
    return target;
  }

  FrameGeometry geometry_;
  FrameSlots slots_;
};

TEST_F(FrameSlotsTest, FramesRotateThroughSlotsOneTwoZero) {
  std::vector<int> order;
  for (int sequence = 1; sequence <= 5; ++sequence) order.push_back(Produce(sequence));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 0, 1, 2}));
}

TEST_F(FrameSlotsTest, NewestTiesGoToTheLowerSlot) {
  EXPECT_EQ(slots_.NewestIndex(), 0);
  EXPECT_FALSE(slots_.HasNewerThan(0));
}

TEST_F(FrameSlotsTest, ProducerSkipsTheSlotTheConsumerCopies) {
  Produce(1);  // slot 1
  int sequence = 0;
  EXPECT_EQ(slots_.MarkNewest(sequence), 1);
  EXPECT_EQ(sequence, 1);
  EXPECT_EQ(Produce(2), 2);
  EXPECT_EQ(Produce(3), 0);
  // Slot 1 would be next; it is marked, so the remaining slot 2 is refilled.
  EXPECT_EQ(Produce(4), 2);
  EXPECT_EQ(slots_.Sequence(1), 1);
  EXPECT_EQ(slots_.Buffer(1)[0], 1);
  slots_.Unmark();
  EXPECT_EQ(Produce(5), 0);
  EXPECT_EQ(Produce(6), 1);
}

TEST_F(FrameSlotsTest, NothingIsMarkedOrCopiedBeforeTheFirstFrame) {
  // Slot 1 is being filled, its sequence 0 like the empty ones.
  const int target = slots_.ClaimTarget();
  std::memset(slots_.Buffer(target), 0x5A, slots_.Capacity());
  int sequence = -1;
  EXPECT_EQ(slots_.MarkNewest(sequence), FrameSlots::kNoSlot);
  EXPECT_EQ(sequence, 0);
  std::vector<uint8_t> destination(32, 0xEE);
  EXPECT_EQ(slots_.CopyNewest(destination.data(), uint32_t(destination.size())), 0);
  EXPECT_EQ(destination, std::vector<uint8_t>(32, 0xEE));
  // Nothing was left marked: the rotation goes on from the target.
  slots_.Publish(target, 1, geometry_, slots_.Capacity());
  EXPECT_EQ(Produce(2), 2);
  EXPECT_EQ(Produce(3), 0);
  EXPECT_EQ(Produce(4), 1);
}

TEST_F(FrameSlotsTest, CopyNewestReturnsItsSequenceAndBytes) {
  Produce(1);
  Produce(2);
  std::vector<uint8_t> out(32, 0);
  EXPECT_EQ(slots_.CopyNewest(out.data(), uint32_t(out.size())), 2);
  EXPECT_EQ(out, std::vector<uint8_t>(32, 2));
}

TEST_F(FrameSlotsTest, CopyStopsAtTheDestinationSize) {
  Produce(7);
  std::vector<uint8_t> out(40, 0xEE);
  slots_.CopyNewest(out.data(), 13);
  EXPECT_EQ(out[12], 7);
  EXPECT_EQ(out[13], 0xEE);
}

TEST_F(FrameSlotsTest, CopyStopsAtTheBytesRead) {
  const int target = slots_.ClaimTarget();
  std::memset(slots_.Buffer(target), 9, slots_.Capacity());
  slots_.Publish(target, 1, ComputeFrameGeometry(8, 4, 0), 10);
  std::vector<uint8_t> out(32, 0xEE);
  slots_.CopyNewest(out.data(), uint32_t(out.size()));
  EXPECT_EQ(out[9], 9);
  EXPECT_EQ(out[10], 0xEE);
}

TEST_F(FrameSlotsTest, CopyTakesTopLeftRowsAtTheTransferStride) {
  // Half mode of a 9 x 4 window: 5 columns sent per row, 4 copied.
  const FrameGeometry odd = ComputeFrameGeometry(9, 4, 1);
  const int target = slots_.ClaimTarget();
  for (int i = 0; i < 10; ++i) slots_.Buffer(target)[i] = uint8_t(i);
  slots_.Publish(target, 1, odd, 10);
  std::vector<uint8_t> out(8, 0xEE);
  slots_.CopyNewest(out.data(), uint32_t(out.size()));
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 1, 2, 3, 5, 6, 7, 8}));
}

TEST_F(FrameSlotsTest, ReleasedSlotsCopyNothing) {
  slots_.Release();
  uint8_t out = 0xEE;
  EXPECT_EQ(slots_.CopyNewest(&out, 1), 0);
  EXPECT_EQ(out, 0xEE);
}

TEST_F(FrameSlotsTest, HeldFrameIsTheNewestInPlaceAndNeverRefilledUntilReleased) {
  EXPECT_EQ(slots_.HoldNewest().pixels, nullptr);  // before the first frame
  Produce(1);
  const int newest = Produce(2);
  const HeldFrame held = slots_.HoldNewest();
  ASSERT_EQ(held.pixels, slots_.Buffer(newest));
  EXPECT_EQ(held.sequence, 2);
  EXPECT_EQ(held.bytes, slots_.Capacity());
  EXPECT_EQ(held.geometry.copyWidth, 8);
  EXPECT_EQ(held.geometry.copyHeight, 4);
  // The holder may write into it; ten frames later it is still its own.
  std::memset(held.pixels, 0x77, slots_.Capacity());
  for (int sequence = 3; sequence < 13; ++sequence) EXPECT_NE(Produce(sequence), newest);
  EXPECT_EQ(slots_.Sequence(newest), 2);
  EXPECT_EQ(std::count(held.pixels, held.pixels + slots_.Capacity(), 0x77), std::ptrdiff_t(slots_.Capacity()));
  slots_.ReleaseHeld();
  bool refilled = false;
  for (int sequence = 13; sequence < 16; ++sequence) refilled = refilled || Produce(sequence) == newest;
  EXPECT_TRUE(refilled);
}

TEST_F(FrameSlotsTest, HeldBufferOutlivesReleasedSlots) {
  Produce(1);
  const HeldFrame held = slots_.HoldNewest();
  slots_.Release();
  // Still the holder's to read and write (the sanitizer builds check it).
  ASSERT_NE(held.owner, nullptr);
  held.pixels[0] = 3;
  EXPECT_EQ(held.pixels[0], 3);
}

}  // namespace
}  // namespace zirvo
