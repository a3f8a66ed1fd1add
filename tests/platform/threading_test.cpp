// Threads and manual-reset events, on the system clock and on a manual clock.
#include "platform/threading.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/clock.h"
#include "support/sim_fixture.h"

namespace zirvo::platform {
namespace {

TEST(ThreadTest, RunsItsBodyAndJoins) {
  std::atomic<int> runs{0};
  Thread thread;
  EXPECT_FALSE(thread.IsStarted());
  EXPECT_EQ(0u, thread.Id());
  ASSERT_TRUE(thread.Start([&] { runs.fetch_add(1); }));
  EXPECT_TRUE(thread.IsStarted());
  EXPECT_NE(0u, thread.Id());
  thread.Join();
  EXPECT_EQ(1, runs.load());
  EXPECT_FALSE(thread.IsStarted());
}

TEST(ThreadTest, StartedThreadsHaveDistinctIds) {
  ManualResetEvent release;
  Thread first;
  Thread second;
  ASSERT_TRUE(first.Start([&] { release.Wait(kInfinite); }));
  ASSERT_TRUE(second.Start([&] { release.Wait(kInfinite); }));
  EXPECT_NE(first.Id(), second.Id());
  release.Set();
}

TEST(ThreadTest, KnowsWhenItIsTheCurrentThread) {
  Thread thread;
  std::atomic<bool> insideIsCurrent{false};
  ManualResetEvent started;
  ManualResetEvent release;
  ASSERT_TRUE(thread.Start([&] {
    started.Wait(kInfinite);
    insideIsCurrent.store(thread.IsCurrent());
    release.Set();
  }));
  started.Set();
  ASSERT_TRUE(release.Wait(kInfinite));
  EXPECT_FALSE(thread.IsCurrent());
  thread.Join();
  EXPECT_TRUE(insideIsCurrent.load());
}

TEST(ThreadTest, RefusesASecondStartWhileRunning) {
  ManualResetEvent release;
  Thread thread;
  ASSERT_TRUE(thread.Start([&] { release.Wait(kInfinite); }));
  EXPECT_FALSE(thread.Start([] {}));
  release.Set();
  thread.Join();
  EXPECT_TRUE(thread.Start([] {}));
}

TEST(ThreadTest, DestroyingAStartedThreadWaitsForItsBody) {
  std::atomic<bool> finished{false};
  {
    Thread thread;
    ASSERT_TRUE(thread.Start([&] {
      Sleep(20);
      finished.store(true);
    }));
  }
  EXPECT_TRUE(finished.load());
}

TEST(ThreadTest, BodyMayJoinItsOwnThread) {
  ManualResetEvent done;
  Thread thread;
  ASSERT_TRUE(thread.Start([&] {
    thread.Join();
    done.Set();
  }));
  ASSERT_TRUE(done.Wait(10000));
  EXPECT_FALSE(thread.IsStarted());
}

TEST(ThreadTest, DetachedBodyRunsOnAfterItsThreadIsGone) {
  auto release = std::make_shared<ManualResetEvent>();
  auto finished = std::make_shared<ManualResetEvent>();
  {
    Thread thread;
    ASSERT_TRUE(thread.Start([release, finished] {
      release->Wait(kInfinite);
      finished->Set();
    }));
    thread.Detach();
    EXPECT_FALSE(thread.IsStarted());
    // Free to start again at once, while the first body still waits.
    ASSERT_TRUE(thread.Start([] {}));
  }
  EXPECT_FALSE(finished->IsSet());
  release->Set();
  EXPECT_TRUE(finished->Wait(5000));
}

TEST(ManualResetEventTest, StaysSignalledUntilReset) {
  ManualResetEvent event;
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_TRUE(event.Wait(0));
  EXPECT_TRUE(event.IsSet());
  event.Reset();
  EXPECT_FALSE(event.Wait(0));
  EXPECT_FALSE(event.IsSet());
}

TEST(ManualResetEventTest, CanStartSignalled) {
  ManualResetEvent event(true);
  EXPECT_TRUE(event.Wait(0));
}

TEST(ManualResetEventTest, TimedWaitRunsOutWithoutSignal) {
  ManualResetEvent event;
  const uint32_t before = TimeGetTime();
  EXPECT_FALSE(event.Wait(25));
  EXPECT_GE(TimeGetTime() - before, 24u);
}

TEST(ManualResetEventTest, WaitEndsWhenAnotherThreadSets) {
  ManualResetEvent event;
  std::thread setter([&] {
    Sleep(10);
    event.Set();
  });
  EXPECT_TRUE(event.Wait(10000));
  setter.join();
}

TEST(ManualResetEventTest, InfiniteWaitEndsWhenSet) {
  ManualResetEvent event;
  std::thread setter([&] { event.Set(); });
  EXPECT_TRUE(event.Wait(kInfinite));
  setter.join();
}

TEST(ManualResetEventTest, ManualClockRunsWhileAWaitTimesOut) {
  testing::ScopedManualClock scoped(0xFFFFFF00u);
  ManualResetEvent event;
  const uint32_t before = TimeGetTime();
  EXPECT_FALSE(event.Wait(1000));
  const uint32_t elapsed = TimeGetTime() - before;
  EXPECT_GE(elapsed, 1000u);
  EXPECT_LT(elapsed, 1010u);
}

TEST(ManualResetEventTest, ManualClockWaitSeesASignalBeforeItsTimeOut) {
  testing::ScopedManualClock scoped;
  ManualResetEvent event;
  std::thread setter([&] { event.Set(); });
  EXPECT_TRUE(event.Wait(1000000));
  setter.join();
}

// A wait that alone drives the manual clock still gives a thread that is slow
// to answer (preempted, under a sanitizer) real time before it times out.
TEST(ManualResetEventTest, ManualClockWaitGivesASlowAnswerRealTime) {
  testing::ScopedManualClock scoped;
  ManualResetEvent event;
  std::thread slow([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    event.Set();
  });
  EXPECT_TRUE(event.Wait(1000));
  slow.join();
}

// A thread sleeping on the manual clock toward a deadline past the wait's
// time-out must not beat that time-out: both share one time line.
TEST(ManualResetEventTest, ManualClockWaitTimesOutBeforeALaterSignal) {
  testing::ScopedManualClock scoped;
  ManualResetEvent event;
  std::atomic<bool> stop{false};
  std::thread late([&] {
    const uint32_t start = TimeGetTime();
    while (!stop.load() && TimeGetTime() - start < 200000) Sleep(1);
    event.Set();
  });
  EXPECT_FALSE(event.Wait(1000));
  stop.store(true);
  late.join();
}

}  // namespace
}  // namespace zirvo::platform
