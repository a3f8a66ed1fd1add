#include "instance/side_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/threading.h"

namespace zirvo {
namespace {

TEST(SideWorkerTest, JobRunsOnAnotherThreadAndFinishWaitsForIt) {
  SideWorker worker;
  for (int round = 0; round < 50; ++round) {
    std::thread::id ranOn;
    platform::ManualResetEvent release(false);
    std::atomic<bool> returned{false};
    worker.Begin([&] {
      ranOn = std::this_thread::get_id();
      // Held until this thread has seen that the job runs beside it; a job
      // run inline would wait here in vain and return late.
      release.Wait(10000);
      returned.store(true);
    });
    EXPECT_FALSE(returned.load());
    release.Set();
    worker.Finish();
    EXPECT_TRUE(returned.load());
    EXPECT_NE(ranOn, std::this_thread::get_id());
  }
}

TEST(SideWorkerTest, LeavingScopeFinishesTheJobFirst) {
  std::atomic<int> runs{0};
  {
    SideWorker worker;
    SideJob job(worker, [&] { runs.fetch_add(1); });
  }
  {
    SideWorker worker;
    worker.Begin([&] { runs.fetch_add(1); });
    // Destroyed with the job begun and not finished.
  }
  EXPECT_EQ(runs.load(), 2);
}

TEST(SideWorkerTest, FinishWithNothingBegunReturns) {
  SideWorker worker;
  worker.Finish();
  int runs = 0;
  worker.Begin([&] { ++runs; });
  worker.Finish();
  worker.Finish();
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace zirvo
