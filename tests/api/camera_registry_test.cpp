// Tests of the camera registry: the ring, its moving head, handles and release.
#include "api/camera_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "support/sim_fixture.h"
#include "support/temporary_config.h"

namespace zirvo {
namespace {

class CameraRegistryTest : public ::testing::Test {
 protected:
  // The registry's destructor leaves cameras alive on purpose; a test releases them.
  void TearDown() override {
    while (registry_.Head()) registry_.Release(registry_.Head()->key);
  }

  // Node keys in ring order from the head.
  std::vector<int32_t> RingFromHead() const {
    std::vector<int32_t> keys;
    if (const CameraNode* node = registry_.Head()) {
      do {
        keys.push_back(node->key);
        EXPECT_EQ(node->next->prev, node);
        node = node->next;
      } while (node != registry_.Head());
    }
    return keys;
  }

  void InsertThree() {
    registry_.Insert(3, nullptr);
    registry_.Insert(2, nullptr);
    registry_.Insert(1, nullptr);
  }

  test::TemporaryConfig config_;
  CameraRegistry registry_;
};

TEST_F(CameraRegistryTest, EmptyRegistryFindsNothing) {
  EXPECT_EQ(registry_.Find(1), nullptr);
  EXPECT_EQ(registry_.UnlinkHead(), 0);
  EXPECT_EQ(registry_.Remove(1), 0);
  EXPECT_EQ(registry_.Release(1), 0);
  EXPECT_EQ(registry_.Count(), 0);
}

TEST_F(CameraRegistryTest, SingleNodePointsAtItself) {
  CameraNode* node = registry_.Insert(5, nullptr);
  EXPECT_EQ(node->next, node);
  EXPECT_EQ(node->prev, node);
  EXPECT_EQ(registry_.Head(), node);
  EXPECT_EQ(registry_.Count(), 1);
}

TEST_F(CameraRegistryTest, NewNodeBecomesHeadJustBeforeTheOldHead) {
  registry_.Insert(10, nullptr);
  registry_.Insert(20, nullptr);
  EXPECT_EQ(RingFromHead(), (std::vector<int32_t>{20, 10}));
  registry_.Insert(30, nullptr);
  EXPECT_EQ(RingFromHead(), (std::vector<int32_t>{30, 20, 10}));
  EXPECT_EQ(registry_.Head()->prev->key, 10);
  EXPECT_EQ(registry_.Count(), 3);
}

TEST_F(CameraRegistryTest, FindMovesTheHeadToTheFoundNode) {
  InsertThree();  // ring 1, 2, 3 from the head
  ASSERT_NE(registry_.Find(2), nullptr);
  EXPECT_EQ(registry_.Head()->key, 2);
  ASSERT_NE(registry_.Find(3), nullptr);
  EXPECT_EQ(registry_.Head()->key, 3);
  // The ring itself keeps its order; only the head moved.
  EXPECT_EQ(RingFromHead(), (std::vector<int32_t>{3, 1, 2}));
  ASSERT_NE(registry_.Find(3), nullptr);
  EXPECT_EQ(registry_.Head()->key, 3);
}

TEST_F(CameraRegistryTest, FailedLookupLeavesHeadAtThePredecessorOfTheOldHead) {
  InsertThree();
  // Ring order from the head: 1, 2, 3; the node before 1 is 3.
  EXPECT_EQ(registry_.Find(99), nullptr);
  EXPECT_EQ(registry_.Head()->key, 3);
  EXPECT_EQ(registry_.Count(), 3);
}

TEST_F(CameraRegistryTest, RemoveUnlinksOnlyThatNode) {
  InsertThree();
  EXPECT_EQ(registry_.Remove(3), 1);
  EXPECT_EQ(registry_.Count(), 2);
  EXPECT_EQ(registry_.Find(3), nullptr);
  EXPECT_NE(registry_.Find(1), nullptr);
  EXPECT_NE(registry_.Find(2), nullptr);
  EXPECT_EQ(RingFromHead().size(), 2u);
}

TEST_F(CameraRegistryTest, RemovingTheLastNodeEmptiesTheRing) {
  registry_.Insert(7, nullptr);
  EXPECT_EQ(registry_.Remove(7), 1);
  EXPECT_EQ(registry_.Head(), nullptr);
  EXPECT_EQ(registry_.Count(), 0);
  registry_.Insert(8, nullptr);
  EXPECT_EQ(RingFromHead(), std::vector<int32_t>{8});
}

TEST_F(CameraRegistryTest, CreateMakesADistinctNonZeroHandleWithACamera) {
  int32_t first = registry_.Create();
  int32_t second = registry_.Create();
  EXPECT_NE(first, 0);
  EXPECT_NE(second, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(registry_.Head()->key, second);
  ASSERT_NE(registry_.Find(first), nullptr);
  EXPECT_NE(registry_.Head()->camera, nullptr);
  EXPECT_EQ(registry_.Head()->camera->Device(), nullptr);
}

TEST_F(CameraRegistryTest, HandleIsRandPlusTickCountPlusTheCountBeforeInsertion) {
  testing::ScopedManualClock clock(0xFFFFFF00u);  // the sum wraps around 32 bits
  std::srand(1234);
  uint32_t first = static_cast<uint32_t>(std::rand());
  uint32_t second = static_cast<uint32_t>(std::rand());
  std::srand(1234);
  EXPECT_EQ(registry_.Create(), static_cast<int32_t>(first + 0xFFFFFF00u + 0u));
  EXPECT_EQ(registry_.Create(), static_cast<int32_t>(second + 0xFFFFFF00u + 1u));
}

TEST_F(CameraRegistryTest, HandleEqualToOneInTheRingIsDrawnAgain) {
  testing::ScopedManualClock clock(500);
  std::srand(77);
  int32_t drawn = static_cast<int32_t>(static_cast<uint32_t>(std::rand()) + 500u + 1u);
  std::srand(77);
  registry_.Insert(drawn, nullptr);
  int32_t created = registry_.Create();
  EXPECT_NE(created, drawn);
  EXPECT_NE(created, 0);
  EXPECT_EQ(registry_.Count(), 2);
}

TEST_F(CameraRegistryTest, HandleOfZeroIsDrawnAgain) {
  std::srand(91);
  uint32_t first = static_cast<uint32_t>(std::rand());
  // A tick count that makes the first sum wrap around to exactly 0.
  testing::ScopedManualClock clock(0u - first);
  std::srand(91);
  int32_t created = registry_.Create();
  EXPECT_NE(created, 0);
  EXPECT_NE(registry_.Find(created), nullptr);
}

TEST_F(CameraRegistryTest, ReleaseDestroysTheCameraAndSecondReleaseFails) {
  int32_t handle = registry_.Create();
  EXPECT_EQ(registry_.Release(handle), 1);
  EXPECT_EQ(registry_.Count(), 0);
  EXPECT_EQ(registry_.Release(handle), 0);
}

TEST(ProcessRegistry, IsOneObjectForTheWholeProcess) {
  EXPECT_EQ(&TheCameraRegistry(), &TheCameraRegistry());
}

}  // namespace
}  // namespace zirvo
