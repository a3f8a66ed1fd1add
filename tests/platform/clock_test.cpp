// The process clock: system time, replacement, wrap-around and the manual clock.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/sim_fixture.h"

namespace zirvo::platform {
namespace {

TEST(SystemClockTest, SleepLetsTimeGetTimeAdvance) {
  ASSERT_TRUE(UsingSystemClock());
  const uint32_t before = TimeGetTime();
  Sleep(15);
  const uint32_t elapsed = TimeGetTime() - before;
  EXPECT_GE(elapsed, 14u);
  EXPECT_LT(elapsed, 5000u);
}

TEST(SystemClockTest, TickCountFollowsTheSameClock) {
  const uint32_t time = TimeGetTime();
  const uint32_t ticks = GetTickCount();
  const int32_t apart = static_cast<int32_t>(ticks - time);
  EXPECT_LT(apart < 0 ? -apart : apart, 1000);
}

TEST(SetClockTest, ReplacedClockServesTheFreeFunctionsUntilPutBack) {
  ManualClock manual(1234);
  Clock* previous = SetClock(&manual);
  EXPECT_EQ(&CurrentClock(), &manual);
  EXPECT_FALSE(UsingSystemClock());
  EXPECT_EQ(1234u, TimeGetTime());
  EXPECT_EQ(1234u, GetTickCount());
  Sleep(66);
  EXPECT_EQ(1300u, TimeGetTime());
  SetClock(previous);
  EXPECT_TRUE(UsingSystemClock());
  EXPECT_EQ(&CurrentClock(), &SystemClock());
}

TEST(SetClockTest, NullOrTheSystemClockRestoresTheSystemClock) {
  ManualClock manual;
  SetClock(&manual);
  EXPECT_EQ(&manual, SetClock(nullptr));
  EXPECT_TRUE(UsingSystemClock());
  SetClock(&manual);
  SetClock(&SystemClock());
  EXPECT_TRUE(UsingSystemClock());
}

TEST(ManualClockTest, SleepAdvancesByTheTimeSlept) {
  ManualClock clock(100);
  clock.Sleep(250);
  EXPECT_EQ(350u, clock.TimeGetTime());
  clock.Sleep(0);
  EXPECT_EQ(350u, clock.GetTickCount());
}

TEST(ManualClockTest, WrapsAroundAtTwoToTheThirtyTwo) {
  ManualClock clock(0xFFFFFFF0u);
  const uint32_t start = clock.TimeGetTime();
  clock.Advance(0x20);
  EXPECT_EQ(0x10u, clock.TimeGetTime());
  EXPECT_EQ(0x20u, clock.TimeGetTime() - start);
}

TEST(ManualClockTest, SetJumpsToAGivenTime) {
  ManualClock clock;
  clock.Set(0xFFFFFFFFu);
  EXPECT_EQ(0xFFFFFFFFu, clock.TimeGetTime());
  clock.Advance(1);
  EXPECT_EQ(0u, clock.TimeGetTime());
}

TEST(ManualClockTest, SleepsFromManyThreadsAllCount) {
  ManualClock clock;
  std::vector<std::thread> sleepers;
  for (int t = 0; t < 4; ++t) {
    sleepers.emplace_back([&clock] {
      for (int i = 0; i < 1000; ++i) clock.Sleep(3);
    });
  }
  for (auto& sleeper : sleepers) sleeper.join();
  EXPECT_EQ(12000u, clock.TimeGetTime());
}

TEST(ManualClockTest, ScopedClockIsInstalledAndRemoved) {
  {
    testing::ScopedManualClock scoped(5000);
    EXPECT_EQ(5000u, TimeGetTime());
    Sleep(10000);
    EXPECT_EQ(15000u, scoped.clock().TimeGetTime());
  }
  EXPECT_TRUE(UsingSystemClock());
}

}  // namespace
}  // namespace zirvo::platform
