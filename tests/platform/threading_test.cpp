// Threads and manual-reset events of the platform layer.
#include "platform/threading.h"

#include <gtest/gtest.h>

#include <atomic>

namespace zirvo::platform {
namespace {

TEST(ThreadTest, RunsTheBodyAndJoins) {
  std::atomic<int> runs{0};
  Thread thread;
  ASSERT_TRUE(thread.Start([&] { runs.fetch_add(1); }));
  EXPECT_TRUE(thread.IsStarted());
  EXPECT_NE(thread.Id(), 0u);
  thread.Join();
  EXPECT_EQ(runs.load(), 1);
  EXPECT_FALSE(thread.IsStarted());
  EXPECT_EQ(thread.Id(), 0u);
}

TEST(ThreadTest, BodySeesItselfAsCurrent) {
  std::atomic<bool> currentInside{false};
  Thread thread;
  ASSERT_TRUE(thread.Start([&] { currentInside.store(thread.IsCurrent()); }));
  EXPECT_FALSE(thread.IsCurrent());
  thread.Join();
  EXPECT_TRUE(currentInside.load());
}

TEST(ThreadTest, SecondStartBeforeJoinIsRefused) {
  ManualResetEvent release;
  Thread thread;
  ASSERT_TRUE(thread.Start([&] { release.Wait(kInfinite); }));
  EXPECT_FALSE(thread.Start([] {}));
  release.Set();
  thread.Join();
  EXPECT_TRUE(thread.Start([] {}));
}

TEST(ThreadTest, JoinWithoutStartDoesNothing) {
  Thread thread;
  thread.Join();
  EXPECT_FALSE(thread.IsStarted());
}

TEST(ThreadTest, DestructionJoinsARunningThread) {
  std::atomic<bool> finished{false};
  ManualResetEvent release;
  {
    Thread thread;
    ASSERT_TRUE(thread.Start([&] {
      release.Wait(kInfinite);
      finished.store(true);
    }));
    release.Set();
  }
  EXPECT_TRUE(finished.load());
}

TEST(ManualResetEventTest, StaysSignalledUntilReset) {
  ManualResetEvent event;
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_TRUE(event.Wait(0));
  event.Reset();
  EXPECT_FALSE(event.Wait(0));
}

TEST(ManualResetEventTest, StartsSignalledWhenAsked) {
  ManualResetEvent event(true);
  EXPECT_TRUE(event.Wait(0));
}

TEST(ManualResetEventTest, TimesOutWhenNeverSet) {
  ManualResetEvent event;
  EXPECT_FALSE(event.Wait(5));
}

TEST(ManualResetEventTest, WakesEveryWaiterOfAnotherThread) {
  ManualResetEvent event;
  std::atomic<int> woken{0};
  Thread first;
  Thread second;
  ASSERT_TRUE(first.Start([&] { if (event.Wait(kInfinite)) woken.fetch_add(1); }));
  ASSERT_TRUE(second.Start([&] { if (event.Wait(kInfinite)) woken.fetch_add(1); }));
  event.Set();
  first.Join();
  second.Join();
  EXPECT_EQ(woken.load(), 2);
}

}  // namespace
}  // namespace zirvo::platform
